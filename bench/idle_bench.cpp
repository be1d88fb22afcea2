// Cost of the core while the cap rests: four plug-ins are loaded through the driver entry points,
// a gesture runs (starting the worker of the plug-in that serves it) and ends with the zero
// event, and then for 10 s the process's CPU time and the wake-ups (context switches) of every
// thread but the driver's own are counted. The driver's thread waits for messages meanwhile, as
// a driver's loop does, and counts what wakes it. Needs the test plug-ins (tests/fixtures) built
// beside it in ../plugins.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchDriver.h"
#include "bench/BenchFigures.h"
#include "bench/ProcessCounters.h"
#include "ZuVidDriver.h"

#include "tests/fixtures/e2e_recorder/E2eRecording.h"

namespace {

const wchar_t kKey[] = L"SOFTWARE\\Veltrana\\Halcyra";
const DWORD kRestMs = 10000;
const int kPlugins = 4;

void pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(1);
    } while (GetTickCount() - start < ms);
}

} // namespace

int main() {
    process_counters::LinuxView linux;
    if (!linux.available()) {
        std::printf("the process's threads are not visible in /proc (not under Wine?)\n");
        return 1;
    }

    // A driver home with four copies of the recording plug-in: four workers.
    wchar_t temp[MAX_PATH], exe[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring fixture = exe;
    fixture = fixture.substr(0, fixture.find_last_of(L'\\') + 1) + L"..\\plugins\\e2e_recorder.dll";
    const std::wstring home =
        std::wstring(temp) + L"glo_idle_bench_" + std::to_wstring(GetCurrentProcessId());
    const std::wstring plugins = home + L"\\Office\\Plugins\\";
    CreateDirectoryW(home.c_str(), nullptr);
    CreateDirectoryW((home + L"\\Office").c_str(), nullptr);
    CreateDirectoryW(plugins.c_str(), nullptr);
    std::vector<std::wstring> copies;
    for (int i = 0; i < kPlugins; ++i) {
        copies.push_back(plugins + L"idle" + std::to_wstring(i) + L".dll");
        if (!CopyFileW(fixture.c_str(), copies.back().c_str(), FALSE)) {
            std::printf("test plug-in missing in ../plugins (build tests/fixtures)\n");
            return 1;
        }
    }
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"Home Directory", REG_SZ, home.c_str(),
                    static_cast<DWORD>((home.size() + 1) * sizeof(wchar_t)));

    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = e2e::kTargetClass;
    RegisterClassW(&wc);
    const HWND window = CreateWindowExW(0, e2e::kTargetClass, L"idle", WS_POPUP | WS_VISIBLE, 100,
                                        100, 400, 300, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(window);
    SetCursorPos(300, 250);
    pump(50);

    bench::startCore();
    const long threadsWithPlugins = process_counters::threadCount();

    // A gesture (the first plug-in serves the window and repeats its function), then rest.
    for (int i = 0; i < 60; ++i) {
        const ZuVidEventRecord motion = {ZUVID_EVENT_MOTION, {}, 0, 0, {200, 0, 0, 0, 0, 0}};
        ZuVidSendEvent(window, &motion);
        pump(8);
    }
    const ZuVidEventRecord zero = {ZUVID_EVENT_ZERO, {}, 0, 0, {}};
    ZuVidSendEvent(window, &zero);
    pump(1000);

    std::vector<std::pair<std::string, long long>> before = linux.allSwitches();
    const double cpuBefore = process_counters::cpuMilliseconds();
    // The driver's loop: messages wake it, nothing else.
    int messages = 0;
    const DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < kRestMs; elapsed = GetTickCount() - start) {
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, kRestMs - elapsed, QS_ALLINPUT) ==
            WAIT_OBJECT_0) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ++messages;
                DispatchMessageW(&msg);
            }
        }
    }
    const double cpu = process_counters::cpuMilliseconds() - cpuBefore;
    const std::vector<std::pair<std::string, long long>> after = linux.allSwitches();

    long long wakeUps = 0;
    int threads = 0;
    const std::string selfTask = linux.selfFolder().substr(linux.selfFolder().rfind('\\') + 1);
    for (const auto& thread : after) {
        if (thread.first == selfTask)
            continue;
        for (const auto& earlier : before) {
            if (earlier.first == thread.first) {
                wakeUps += thread.second - earlier.second;
                ++threads;
            }
        }
    }
    std::printf("%d threads besides the driver's (%ld Windows threads with the plug-ins loaded); "
                "over %.0f s of rest: %lld wake-ups, process CPU time %.1f ms; the driver's thread "
                "handled %d messages\n",
                threads, threadsWithPlugins, kRestMs / 1000.0, wakeUps, cpu, messages);
    benchFigure("idle: wake-ups of the core's threads in 10 s", static_cast<double>(wakeUps), 0,
                "wake-ups", "<= 0");
    benchFigure("idle: process CPU time in 10 s", cpu, 0, "ms", "<= 10");

    ZuVidCloseHdl(bench::coreWindow());
    DestroyWindow(window);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Veltrana");
    for (const std::wstring& copy : copies)
        DeleteFileW(copy.c_str());
    RemoveDirectoryW(plugins.c_str());
    RemoveDirectoryW((home + L"\\Office").c_str());
    RemoveDirectoryW(home.c_str());
    return threads > 0 ? 0 : 1;
}
