// The end of an autoscroll gesture on the whole road: how long from the zero event (the cap at
// rest) until the button is released, the cursor is back where the user left it and the worker's
// input is detached. The core with the autoscroll_plugin test plug-in (tests/fixtures, built in
// ../plugins) runs IPanWindow against a view of glo_autoscroll_target, which scrolls on a middle
// click and stops on any click, as office programs do. Each of 1,000 gestures starts from rest,
// scrolls until the program scrolls, then rests; after each the bench checks that nothing was
// left behind. The plug-in stamps the performance counter around the function's zero-event call,
// which splits each figure into the worker's pickup and the function's own end. The heap calls
// the core makes meanwhile, on any thread, are counted: the gestures need none.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchDriver.h"
#include "bench/BenchFigures.h"
#include "bench/HeapCallCounter.h"
#include "ZuVidDriver.h"
#include "tests/fixtures/autoscroll_plugin/AutoscrollRecord.h"
#include "tests/fixtures/autoscroll_target/AutoscrollTarget.h"

namespace {

const wchar_t kKey[] = L"SOFTWARE\\Veltrana\\Halcyra";
const int kGestures = 1000;
const int kWarmUp = 20;

LONGLONG gFrequency = 1;

LONGLONG counter() {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}

double ms(LONGLONG from, LONGLONG to) {
    return (to - from) * 1000.0 / gFrequency;
}

bool isDown(int vk) {
    return (GetAsyncKeyState(vk) & 0x8000) != 0;
}

} // namespace

int main() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    gFrequency = f.QuadPart;

    // The plug-in's record, shared through the environment it inherits.
    SetEnvironmentVariableW(autoscroll_fixture::kRecordVariable, L"Local\\GloAutoscrollEndBench");
    autoscroll_fixture::Record* record = autoscroll_fixture::openRecord();

    // A driver home holding the test plug-in.
    wchar_t temp[MAX_PATH], exe[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring folder = exe;
    folder = folder.substr(0, folder.find_last_of(L'\\') + 1);
    const std::wstring home = std::wstring(temp) + L"glo_autoscroll_end_bench";
    const std::wstring plugins = home + L"\\Office\\Plugins\\";
    CreateDirectoryW(home.c_str(), nullptr);
    CreateDirectoryW((home + L"\\Office").c_str(), nullptr);
    CreateDirectoryW(plugins.c_str(), nullptr);
    const std::wstring copy = plugins + L"autoscroll_plugin.dll";
    if (record == nullptr ||
        !CopyFileW((folder + L"..\\plugins\\autoscroll_plugin.dll").c_str(), copy.c_str(), FALSE)) {
        std::printf("test plug-in missing in ../plugins (build tests/fixtures)\n");
        return 1;
    }
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"Home Directory", REG_SZ, home.c_str(),
                    DWORD((home.size() + 1) * sizeof(wchar_t)));

    // The program, its view in front, the user's cursor on it.
    std::wstring command = folder + autoscroll_target::kProgram + L" --parent " +
                           std::to_wstring(GetCurrentProcessId()) +
                           L" GloAutoscrollView:click:100:100:500:400";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION program = {};
    int status = 0;
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &program)) {
        std::printf("glo_autoscroll_target did not start\n");
        return 1;
    }
    const HWND view = autoscroll_target::findView(program.dwProcessId, 0);
    for (int i = 0; i < 100 && view && GetForegroundWindow() != GetParent(view); ++i) {
        SetForegroundWindow(GetParent(view));
        Sleep(20);
    }
    const POINT userCursor = {300, 300};
    SetCursorPos(userCursor.x, userCursor.y);

    bench::startCore();

    ZuVidEventRecord push = {};
    push.type = ZUVID_EVENT_MOTION;
    push.motion[0] = 300; // to the right: the view scrolls right
    ZuVidEventRecord rest = {};
    rest.type = ZUVID_EVENT_ZERO;

    std::vector<double> totals, ends;
    int notStarted = 0, lost = 0, leftBehind = 0;
    const int hooked = heap_call_counter::install(GetModuleHandleW(L"Glo_core_proxy.dll"), true);
    LONG heapBefore = 0;
    for (int gesture = 0; view && gesture < kGestures + kWarmUp; ++gesture) {
        if (gesture == kWarmUp) // the first ones warm up the plug-in's searches
            heapBefore = heap_call_counter::count();
        // Scroll until the program scrolls and has seen the cursor move, then two events more.
        int extra = -1;
        for (int i = 0; i < 200 && extra != 0; ++i) {
            ZuVidSendEvent(view, &push);
            Sleep(10);
            const LRESULT state = autoscroll_target::ask(view, autoscroll_target::kQueryState);
            if (extra < 0 && (state & autoscroll_target::Scrolling) &&
                autoscroll_target::askPoint(view, autoscroll_target::kQueryOffset).x > 0)
                extra = 2;
            else if (extra > 0)
                --extra;
        }
        if (extra != 0) {
            ++notStarted;
            ZuVidSendEvent(view, &rest);
            Sleep(300);
            continue;
        }
        const LONG before = record->zeroCalls;
        const LONGLONG sent = counter();
        ZuVidSendEvent(view, &rest);
        while (record->zeroCalls == before && ms(sent, counter()) < 3000)
            Sleep(0);
        if (record->zeroCalls == before) {
            ++lost;
            continue;
        }
        if (gesture >= kWarmUp) {
            totals.push_back(ms(sent, record->zeroEnd));
            ends.push_back(ms(record->zeroStart, record->zeroEnd));
        }
        // Nothing left behind: the program has stopped, no button is down, the cursor is back,
        // the worker's cursor shown and its input detached.
        LRESULT state = 0;
        for (int i = 0; i < 50; ++i, Sleep(2))
            if (((state = autoscroll_target::ask(view, autoscroll_target::kQueryState)) &
                 (autoscroll_target::Scrolling | autoscroll_target::HasCapture)) == 0)
                break;
        POINT cursor;
        GetCursorPos(&cursor);
        if ((state & (autoscroll_target::Scrolling | autoscroll_target::HasCapture)) != 0 ||
            isDown(VK_LBUTTON) || isDown(VK_MBUTTON) || cursor.x != userCursor.x ||
            cursor.y != userCursor.y || record->cursorCount != 0 || record->attached != 0)
            ++leftBehind;
        Sleep(20);
    }

    const LONG heapCalls = heap_call_counter::count() - heapBefore;

    if (totals.empty()) {
        std::printf("no gesture ended (plug-in not loaded, program not scrolling)\n");
        status = 1;
    } else {
        std::printf("autoscroll end, zero event to button released, cursor back and input "
                    "detached, over %zu gestures: p50 %.3f ms, p99 %.3f ms, max %.3f ms\n",
                    totals.size(), percentile(totals, 0.50), percentile(totals, 0.99),
                    percentile(totals, 1.0));
        std::printf("of which the function's own end (after the worker took the zero event): "
                    "p50 %.3f ms, p99 %.3f ms, max %.3f ms\n",
                    percentile(ends, 0.50), percentile(ends, 0.99), percentile(ends, 1.0));
        std::printf("gestures that did not start: %d, ends not seen: %d, ends that left "
                    "something behind: %d; heap calls by the core: %ld (allocator imports "
                    "observed: %d)\n",
                    notStarted, lost, leftBehind, static_cast<long>(heapCalls), hooked);
        benchFigure("autoscroll end to all given back, p50", percentile(totals, 0.50), 3, "ms");
        benchFigure("autoscroll end to all given back, p99", percentile(totals, 0.99), 3, "ms");
        benchFigure("autoscroll end, the function's own share, p50", percentile(ends, 0.50), 3,
                    "ms");
        benchFigure("autoscroll end, the function's own share, p99", percentile(ends, 0.99), 3,
                    "ms");
        benchFigure("autoscroll ends that left something behind", leftBehind + lost, 0, "gestures",
                    "<= 0");
        benchFigure("heap calls in 1000 autoscroll gestures", heapCalls, 0, "calls", "<= 0");
        if (lost > 0 || leftBehind > 0 || heapCalls != 0 || hooked == 0)
            status = 1;
    }

    ZuVidCloseHdl(bench::coreWindow()); // unloads the plug-in
    TerminateProcess(program.hProcess, 0);
    WaitForSingleObject(program.hProcess, 5000);
    CloseHandle(program.hProcess);
    CloseHandle(program.hThread);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Veltrana");
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(plugins.c_str());
    RemoveDirectoryW((home + L"\\Office").c_str());
    RemoveDirectoryW(home.c_str());
    return status;
}
