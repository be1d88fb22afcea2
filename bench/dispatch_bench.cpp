// Cost of one ZuVidSendEvent motion event with 8 plug-ins loaded and the window match cached,
// as a ratio to the window-system queries that matching cannot avoid (foreground window,
// cursor position, GUI thread information, child window from point at each level of the
// walk), both timed in the same run; and a check that the core allocates nothing on that path.
// Needs the test plug-ins (tests/fixtures) built beside it in ../plugins.
#include <windows.h>

#include "bench/BenchClock.h"
#include "bench/BenchDriver.h"
#include "bench/BenchFigures.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "GdrProxy.h"
#include "bench/HeapCallCounter.h"
#include "ZuVidDriver.h"

#include "host/GloPluginHost.h"
#include "tests/fixtures/RecordingApplication.h"

namespace {

const wchar_t kKey[] = L"SOFTWARE\\Veltrana\\Halcyra";
const int kRounds = 15;
const int kCalls = 1000;

volatile LONG g_logLines = 0;
void WINAPI logLine(const wchar_t*) {
    InterlockedIncrement(&g_logLines);
}

void pump() {
    for (int i = 0; i < 3; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(5);
    }
}

HWND makeWindow(const wchar_t* className, DWORD style, int x, int y, int w, int h, HWND parent) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    return CreateWindowExW(0, className, L"bench", style | WS_VISIBLE, x, y, w, h, parent, nullptr,
                           wc.hInstance, nullptr);
}

// The queries every event needs, for the window tree of this run.
struct Baseline {
    std::vector<HWND> levels; // the windows the walk asks, from the top-level window down
    std::vector<POINT> points;

    void run() const {
        volatile HWND sink;
        sink = GetForegroundWindow();
        POINT cursor;
        GetCursorPos(&cursor);
        GUITHREADINFO info;
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(0, &info);
        for (std::size_t i = 0; i < levels.size(); ++i)
            sink =
                ChildWindowFromPointEx(levels[i], points[i], CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
        (void)sink;
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Figures {
    double baseline;
    double dispatch;
    LONG heapCalls;
};

// The two are timed call by call, alternating, so that a burst of load on the machine meets
// both alike; each figure is the median of its calls.
Figures measure(const Baseline& baseline, HWND window) {
    ZuVidEventRecord record = {};
    record.type = ZUVID_EVENT_MOTION;
    std::vector<double> base, send;
    base.reserve(kRounds * kCalls);
    send.reserve(kRounds * kCalls);
    const LONG heapBefore = heap_call_counter::count();
    for (int i = 0; i < kRounds * kCalls; ++i) {
        record.motion[0] = 20 + (i & 15);
        record.motion[4] = -(i & 7);
        const double start = benchSeconds();
        baseline.run();
        const double between = benchSeconds();
        ZuVidSendEvent(window, &record);
        const double end = benchSeconds();
        base.push_back(between - start);
        send.push_back(end - between);
    }
    return {median(base), median(send), heap_call_counter::count() - heapBefore};
}

bool start(bool withLog) {
    bench::startCore(withLog ? &logLine : nullptr);
    return getCoreProxy().isInitialised() != 0;
}

} // namespace

int main() {
    // A driver home with 8 plug-ins.
    wchar_t temp[MAX_PATH], exe[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring fixtures = exe;
    fixtures = fixtures.substr(0, fixtures.find_last_of(L'\\') + 1) + L"..\\plugins\\";
    const std::wstring home = std::wstring(temp) + L"glo_dispatch_bench";
    const std::wstring plugins = home + L"\\Office\\Plugins\\";
    CreateDirectoryW(home.c_str(), nullptr);
    CreateDirectoryW((home + L"\\Office").c_str(), nullptr);
    CreateDirectoryW(plugins.c_str(), nullptr);
    const wchar_t* sources[] = {L"host_beta",  L"host_gamma", L"host_alpha", L"host_beta",
                                L"host_gamma", L"host_beta",  L"host_gamma", L"host_beta"};
    std::vector<std::wstring> copies;
    for (int i = 0; i < 8; ++i) {
        copies.push_back(plugins + L"p" + std::to_wstring(i) + L".dll");
        if (!CopyFileW((fixtures + sources[i] + L".dll").c_str(), copies.back().c_str(), FALSE)) {
            std::printf("test plug-ins missing in ../plugins (build tests/fixtures)\n");
            return 1;
        }
    }
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    RegSetValueExW(key, L"Home Directory", 0, REG_SZ, reinterpret_cast<const BYTE*>(home.c_str()),
                   DWORD((home.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    // A document window two levels below a top-level window, served by "Alpha".
    HWND top = makeWindow(L"bench_frame", WS_POPUP, 100, 100, 600, 400, nullptr);
    HWND panel = makeWindow(L"bench_panel", WS_CHILD, 0, 0, 600, 400, top);
    HWND document = makeWindow(L"bench_a5_b3", WS_CHILD, 50, 50, 400, 250, panel);
    SetForegroundWindow(top);
    pump();
    RECT r;
    GetWindowRect(document, &r);
    POINT cursor = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    SetCursorPos(cursor.x, cursor.y);
    pump();

    Baseline baseline;
    for (HWND level : {top, panel, document}) {
        POINT p = cursor;
        ScreenToClient(level, &p);
        baseline.levels.push_back(level);
        baseline.points.push_back(p);
    }

    int status = 0;
    CGlo_PluginHost& host = getPluginHost();
    const int hooked = heap_call_counter::install(GetModuleHandleW(L"Glo_core_proxy.dll"));
    for (bool withLog : {false, true}) {
        if (!start(withLog) || host.getNumberOfPlugins() != 8) {
            std::printf("proxy not started or plug-ins not loaded (%d)\n",
                        host.getNumberOfPlugins());
            status = 1;
            break;
        }
        auto* alpha = static_cast<fixture::RecordingApplication*>(
            host.getLoadedPlugin(host.findApplication(L"Alpha")));
        ZuVidEventRecord prime = {};
        prime.type = ZUVID_EVENT_MOTION;
        prime.motion[1] = 30;
        ZuVidSendEvent(top, &prime); // matches and caches
        const int matchCalls = alpha ? alpha->matchCalls : -1;
        const int eventsBefore = alpha ? alpha->eventCount : -1;

        const Figures f = measure(baseline, top);
        const bool cached = alpha && alpha->matchCalls == matchCalls &&
                            alpha->eventCount - eventsBefore == kRounds * kCalls;
        const double ratio = f.dispatch / f.baseline;
        std::printf("log entry %-7s: ZuVidSendEvent %.2f us, unavoidable queries %.2f us, "
                    "ratio %.2f%s\n",
                    withLog ? "present" : "null", f.dispatch * 1e6, f.baseline * 1e6, ratio,
                    cached ? "" : "  [match not cached or events lost]");
        if (!withLog) {
            std::printf("heap calls by the core during dispatch: %ld (allocator imports "
                        "observed: %d)\n",
                        static_cast<long>(f.heapCalls), hooked);
            benchFigure("ZuVidSendEvent, cached match", f.dispatch * 1e6, 1, "us");
            benchFigure("window queries an event needs", f.baseline * 1e6, 1, "us");
            benchFigure("dispatch ratio", ratio, 2, "x", "<= 1.1");
            char name[64];
            std::snprintf(name, sizeof name, "heap calls in %d dispatched events",
                          kRounds * kCalls);
            benchFigure(name, f.heapCalls, 0, "calls", "<= 0");
            if (f.heapCalls != 0 || hooked == 0)
                status = 1;
        } else {
            std::printf("log lines written: %ld\n", static_cast<long>(g_logLines));
            benchFigure("dispatch ratio, log entry present", ratio, 2, "x", "<= 1.1");
        }
        if (!cached)
            status = 1;
        ZuVidCloseHdl(getCoreProxy().GetSafeHwnd());
    }

    DestroyWindow(top);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Veltrana");
    for (const std::wstring& copy : copies)
        DeleteFileW(copy.c_str());
    RemoveDirectoryW(plugins.c_str());
    RemoveDirectoryW((home + L"\\Office").c_str());
    RemoveDirectoryW(home.c_str());
    return status;
}
