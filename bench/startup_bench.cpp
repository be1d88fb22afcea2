// Start-up as the user waits for it: from ZuVidInit, with the ten shipped plug-ins in the home
// (each with a user's settings file), to the first event served, that is the line-scroll message
// of a push arriving in a text window of the bench's own (an "Edit" control, on a thread of its
// own, in the foreground under the cursor). The driver calls ZuVidInit when the user's session
// starts; the first push after it should scroll at once.
//
// What start-up cannot avoid is timed in the same run, in rounds alternating with the core's:
// finding the ten libraries (the home named in the registry, the plug-in folder listed), loading
// them and reading their settings files, without the core doing anything else. The core's figure is
// reported as a ratio to it, round by round (a core start over the baseline timed next to it), the
// median of those: a slow stretch of the machine then weighs on both sides of a ratio alike.
// Between rounds the core is closed (ZuVidCloseHdl) and the bench waits
// until its worker threads have ended and every plug-in library is unloaded, so that each round
// loads the libraries afresh.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchDriver.h"
#include "bench/BenchFigures.h"
#include "bench/BenchHome.h"
#include "GloApplication.h"
#include "bench/ProcessCounters.h"
#include "ZuVidDriver.h"

#include "host/GloPluginHost.h"

namespace {

const int kRounds = 25;

LONGLONG gFrequency = 1;
HANDLE gServed = nullptr;
WNDPROC gEditProc = nullptr;

LONGLONG counter() {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}

double ms(LONGLONG from, LONGLONG to) {
    return (to - from) * 1000.0 / gFrequency;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

LRESULT CALLBACK editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_VSCROLL)
        SetEvent(gServed);
    return CallWindowProcW(gEditProc, window, message, wParam, lParam);
}

// The text window on a thread of its own, as a program's is.
class TextProgram {
public:
    TextProgram() : ready(CreateEventW(nullptr, TRUE, FALSE, nullptr)), thread([this] { run(); }) {
        WaitForSingleObject(ready, 10000);
    }
    ~TextProgram() {
        PostThreadMessageW(threadId, WM_QUIT, 0, 0);
        thread.join();
        CloseHandle(ready);
    }
    HWND text() const { return edit; }

private:
    void run() {
        threadId = GetCurrentThreadId();
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"GloStartupBenchFrame";
        RegisterClassW(&wc);
        const HWND frame =
            CreateWindowExW(0, wc.lpszClassName, L"text", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                            100, 500, 400, nullptr, nullptr, nullptr, nullptr);
        edit = CreateWindowExW(0, L"Edit", L"",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL,
                               0, 0, 480, 360, frame, nullptr, nullptr, nullptr);
        std::wstring document;
        for (int line = 1; line <= 400; ++line)
            document += L"Line " + std::to_wstring(line) + L" of a long document\r\n";
        SetWindowTextW(edit, document.c_str());
        gEditProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&editProc)));
        SetForegroundWindow(frame);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        SetEvent(ready);
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
        DestroyWindow(frame);
    }

    HANDLE ready;
    DWORD threadId = 0;
    HWND edit = nullptr;
    std::thread thread;
};

// The threads that a start of the core added to the process: its workers.
class NewThreads {
public:
    explicit NewThreads(const std::vector<DWORD>& before) {
        for (DWORD id : process_counters::threadIds()) {
            if (std::find(before.begin(), before.end(), id) != before.end())
                continue;
            if (const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id))
                handles.push_back(thread);
        }
    }
    ~NewThreads() {
        for (HANDLE thread : handles)
            CloseHandle(thread);
    }
    NewThreads(const NewThreads&) = delete;
    NewThreads& operator=(const NewThreads&) = delete;

    std::size_t count() const { return handles.size(); }
    // True when all have ended within 10 s.
    bool ended() const {
        for (HANDLE thread : handles)
            if (WaitForSingleObject(thread, 10000) != WAIT_OBJECT_0)
                return false;
        return true;
    }

private:
    std::vector<HANDLE> handles;
};

// Waits until no shipped library is loaded any more; false after 10 s.
bool librariesUnloaded() {
    for (int i = 0; i < 1000 && !bench::ShippedHome::noneLoaded(); ++i)
        Sleep(10);
    return bench::ShippedHome::noneLoaded();
}

struct CoreRound {
    double init;         // ZuVidInit returned
    double served;       // the push's scroll message arrived
    double cpu;          // CPU time of the process meanwhile, every thread
    const char* failure; // null when the round went as it should
};

// The process's CPU time in ms, as Linux counts it for all its threads (0 when not under Wine).
double processCpu() {
    static process_counters::LinuxView linux;
    return linux.available() ? linux.processCpuNanoseconds() / 1e6 : 0.0;
}

// One start of the core to the first push served, then its close: the next round finds the
// process as this one did. Only the served plug-in's worker has started by then. `whileStarted`
// runs before the close.
CoreRound runCore(HWND text, void (*whileStarted)() = nullptr) {
    const ZuVidEventRecord push = {ZUVID_EVENT_MOTION, {}, 0, 0, {0, 0, -400, 0, 0, 0}};
    const ZuVidEventRecord rest = {ZUVID_EVENT_ZERO, {}, 0, 0, {}};
    const std::vector<DWORD> before = process_counters::threadIds();
    ResetEvent(gServed);
    bench::coreWindow() = nullptr;
    const double cpuBefore = processCpu();
    const LONGLONG start = counter();
    bench::startCore();
    const LONGLONG initialised = counter();
    ZuVidSendEvent(text, &push);
    const bool served = WaitForSingleObject(gServed, 10000) == WAIT_OBJECT_0;
    const LONGLONG end = counter();
    const double cpu = processCpu() - cpuBefore;

    const NewThreads workers(before);
    const int plugins = getPluginHost().getNumberOfPlugins();
    if (whileStarted != nullptr)
        whileStarted();
    ZuVidSendEvent(text, &rest);
    ZuVidCloseHdl(bench::coreWindow());
    CoreRound round = {ms(start, initialised), ms(start, end), cpu, nullptr};
    if (plugins != bench::kShippedCount)
        round.failure = "the ten plug-ins were not loaded";
    else if (!served)
        round.failure = "the push was not served within 10 s";
    else if (workers.count() == 0)
        round.failure = "no worker thread served the push";
    else if (!workers.ended() || !librariesUnloaded())
        round.failure = "the core did not close within 10 s";
    return round;
}

// What start-up cannot avoid: the libraries found (the home from the registry, the plug-in folder
// listed), loaded as the core loads them with their two entries looked up, and their settings
// read.
double loadAndRead(const std::vector<std::wstring>& files, double& cpu, const char*& failure) {
    std::vector<HMODULE> modules;
    std::vector<char> bytes(1 << 16);
    bool homeRead = true, loaded = true, read = true;
    const double cpuBefore = processCpu();
    const LONGLONG start = counter();
    wchar_t home[MAX_PATH] = L"";
    DWORD size = sizeof(home) - sizeof(wchar_t);
    homeRead = RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Veltrana\\Halcyra", L"Home Directory",
                            RRF_RT_REG_SZ, nullptr, home, &size) == ERROR_SUCCESS;
    const std::wstring folder = std::wstring(home) + L"\\Office\\Plugins\\";
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((folder + L"*.dll").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const HMODULE module =
                LoadLibraryExW((folder + found.cFileName).c_str(), nullptr,
                               LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
            loaded &= module != nullptr && GetProcAddress(module, "load") != nullptr &&
                      GetProcAddress(module, "unload") != nullptr;
            modules.push_back(module);
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    for (const std::wstring& file : files) {
        const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD got = 0;
        read &= handle != INVALID_HANDLE_VALUE &&
                ReadFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
                got > 0;
        CloseHandle(handle);
    }
    const LONGLONG end = counter();
    cpu = processCpu() - cpuBefore;
    for (HMODULE module : modules)
        if (module != nullptr)
            FreeLibrary(module);
    if (!homeRead)
        failure = "the home was not found in the registry";
    else if (modules.size() != static_cast<std::size_t>(bench::kShippedCount))
        failure = "the plug-in folder did not list the ten libraries";
    else if (!loaded)
        failure = "a library could not be loaded";
    else if (!read)
        failure = "a settings file could not be read";
    else if (!librariesUnloaded())
        failure = "the libraries were not unloaded";
    return ms(start, end);
}

} // namespace

int main() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    gFrequency = f.QuadPart;
    gServed = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    bench::ShippedHome home(L"glo_startup_bench");
    if (!home.isComplete()) {
        std::printf("shipped plug-ins missing in ../plugins (build plugins/)\n");
        return 1;
    }
    TextProgram program;
    // The driver's thread runs a message loop with windows of its own, as a driver's does: the
    // core window is not the first window of the thread.
    WNDCLASSW driverClass = {};
    driverClass.lpfnWndProc = DefWindowProcW;
    driverClass.lpszClassName = L"GloStartupBenchDriver";
    RegisterClassW(&driverClass);
    const HWND driverWindow =
        CreateWindowExW(0, driverClass.lpszClassName, L"driver", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                        100, nullptr, nullptr, nullptr, nullptr);
    RECT r;
    GetWindowRect(program.text(), &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);

    // A first start, which also leaves each plug-in's settings in a user's file, as after the
    // user changed them in the configuration dialog.
    const CoreRound first = runCore(program.text(), [] {
        CGlo_PluginHost& host = getPluginHost();
        for (int i = 0; i < host.getNumberOfPlugins(); ++i)
            if (CGlo_Application* application = host.getLoadedPlugin(i))
                application->serialize();
    });
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((home.userSettings + L"*.cfg").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do
            files.push_back(home.userSettings + found.cFileName);
        while (FindNextFileW(find, &found));
        FindClose(find);
    }
    if (first.failure != nullptr ||
        files.size() != static_cast<std::size_t>(bench::kShippedCount)) {
        std::printf("the first start failed (%s) or left %zu settings files of 10\n",
                    first.failure != nullptr ? first.failure : "no", files.size());
        return 1;
    }

    // Rounds alternate which of the two goes first, so that neither always follows the other.
    std::vector<double> inits, served, floors, coreCpu, floorCpu;
    const char* failure = nullptr;
    for (int round = 0; round < kRounds && failure == nullptr; ++round) {
        for (int half = 0; half < 2 && failure == nullptr; ++half) {
            if ((round + half) % 2 == 0) {
                double cpu = 0;
                floors.push_back(loadAndRead(files, cpu, failure));
                floorCpu.push_back(cpu);
            } else {
                SendMessageW(program.text(), EM_LINESCROLL, 0, -1000); // back to the top
                const CoreRound core = runCore(program.text());
                failure = core.failure;
                inits.push_back(core.init);
                served.push_back(core.served);
                coreCpu.push_back(core.cpu);
            }
        }
    }
    if (failure != nullptr) {
        std::printf("a round failed: %s\n", failure);
        return 1;
    }

    DestroyWindow(driverWindow);
    const double init = median(inits), toServed = median(served), floor = median(floors);
    std::vector<double> ratios;
    for (std::size_t i = 0; i < served.size() && i < floors.size(); ++i)
        ratios.push_back(served[i] / floors[i]);
    const double ratio = median(ratios);
    std::printf("over %d rounds, medians: ZuVidInit returned after %.2f ms, the first push was "
                "served after %.2f ms; loading the ten libraries and reading their settings "
                "took %.2f ms; ratio of each round %.2f (target <= 1.3), of the medians %.2f\n",
                kRounds, init, toServed, floor, ratio, toServed / floor);
    std::printf("CPU time of the process meanwhile (every thread): start-up %.2f ms, loading and "
                "reading %.2f ms\n",
                median(coreCpu), median(floorCpu));
    benchFigure("start-up to the first event served", toServed, 2, "ms");
    benchFigure("libraries loaded and settings read", floor, 2, "ms");
    benchFigure("start-up ratio", ratio, 2, "x", "<= 1.3");
    return 0;
}
