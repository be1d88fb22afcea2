// The core driven hard through the driver entry points for a long time: motion, rest, button
// presses, switches of the target between two plug-ins and away from both, the driver's
// configuration notifications and the plug-ins' configuration reloads, restarts, and a plug-in
// whose function is slower than the repeat period. Afterwards the process holds as many threads
// and windows as before, and handles and memory within a small bound; every gesture ended.
// GLO_SOAK_EVENTS sets the number of events (100,000 by default; scripts/bench --long: 10^6).
// The soak runs on a desktop of its own, whose foreground window and cursor no other test moves
// (under Wine each desktop has both), so that it need not keep the other tests waiting. That
// thread only drives and measures; the checks are made on the test's own thread once it has
// ended, and the process ends with no thread of the core or of the test left running.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/BenchFigures.h"
#include "bench/ProcessCounters.h"
#include "tests/support/CrashReport.h"
#include "tests/support/FakeDriver.h"
#include "GdrProxy.h"
#include "tests/support/PluginHome.h"
#include "tests/support/TestWindow.h"
#include "ZuVidDriver.h"
#include "tests/fixtures/e2e_recorder/E2eRecording.h"
#include "host/GloPluginHost.h"

namespace {

HWND g_core = nullptr;
volatile LONG g_logLines = 0;

void WINAPI logLine(const wchar_t*) {
    InterlockedIncrement(&g_logLines);
}
void start() {
    ZuVidCallbackTable table = glotest::fakeDriverTable(&logLine);
    ZuVidInit(3, &table);
    g_core = glotest::announcedCoreWindow();
}

HWND makeWindow(const wchar_t* className, DWORD style, int x, int width, HWND parent) {
    return glotest::makeWindow(className, style | WS_VISIBLE, x, parent ? 0 : 100, width, 300,
                               parent);
}

struct Resources {
    long handles, threads, windows;
    long long heap, privateBytes;
};

Resources measure(const process_counters::LinuxView& linux) {
    return {process_counters::handleCount(), process_counters::threadCount(),
            process_counters::windowCount(), process_counters::heapBytes(),
            process_counters::privateBytes(linux)};
}

// What the soak thread saw, for the checks on the test's thread.
struct SoakResult {
    std::string failure; // why the soak could not run; empty when it ran
    long events = 0, sent = 0;
    double seconds = 0;
    Resources before = {}, after = {};
    int restarts = 0, reloads = 0, switches = 0;
    e2e::Recording counts[2] = {}; // SoakA's and SoakB's, copied before they are unloaded
    long threadsBeforeStart = 0, threadsAfterClose = 0;
};

long soakEvents() {
    const char* text = std::getenv("GLO_SOAK_EVENTS");
    return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : 100000;
}

void runSoak(SoakResult& result) {
    const long events = result.events = soakEvents();
    process_counters::LinuxView linux;

    glotest::PluginHome home(L"glo_soak");
    const std::wstring pluginA = home.add(L"soak_a"), pluginB = home.add(L"soak_b");
    const HWND frame = makeWindow(L"GloSoak_frame", WS_POPUP, 100, 600, nullptr);
    const HWND a = makeWindow(L"GloSoak_a", WS_CHILD, 0, 300, frame);
    const HWND b = makeWindow(L"GloSoak_b", WS_CHILD, 300, 300, frame);
    const HWND other = makeWindow(L"GloSoak_other", WS_POPUP, 750, 200, nullptr);
    if (!glotest::focusAndPoint(frame, a)) {
        result.failure = "the soak's window is not in the foreground";
        return;
    }

    // The plug-ins read their configuration files from the working directory.
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(home.home.c_str());
    result.threadsBeforeStart = process_counters::threadCount();
    start();
    CGlo_PluginHost& host = getPluginHost();
    if (host.getNumberOfPlugins() != 2) {
        result.failure = "plug-ins loaded: " + std::to_string(host.getNumberOfPlugins());
        ZuVidCloseHdl(g_core);
        SetCurrentDirectoryW(previous);
        return;
    }
    for (int i = 0; i < host.getNumberOfPlugins(); ++i)
        host.getLoadedPlugin(i)->serialize(); // the files the reloads read
    home.files.push_back(home.home + L"\\SoakA.cfg");
    home.files.push_back(home.home + L"\\SoakB.cfg");
    // Kept loaded across the restarts, so that the counts add up.
    HMODULE modules[2] = {};
    e2e::Recording* counts[2] = {};
    for (int i = 0; i < 2; ++i) {
        const auto recorded = GetModuleHandleExW(0, (i ? pluginB : pluginA).c_str(), &modules[i])
                                  ? reinterpret_cast<e2e::Recording* (*)()>(reinterpret_cast<void*>(
                                        GetProcAddress(modules[i], "recorded")))
                                  : nullptr;
        counts[i] = recorded ? recorded() : &result.counts[i]; // counts nothing: fails the check
    }

    const UINT configChanged = RegisterWindowMessageW(GDR_MSG_CONFIGCHANGED);
    const long warmUp = events / 20;
    Resources& before = result.before;
    int &restarts = result.restarts, &reloads = result.reloads, &switches = result.switches;
    const DWORD begin = GetTickCount();
    // Bounded: a hang shows as a failure, not as a run that never ends.
    const DWORD limit = static_cast<DWORD>(events) * 3 + 60000;
    long& sent = result.sent;
    // A plug-in's worker starts with its first event: both get one before each count, so that
    // both counts see both workers.
    const auto eventToBoth = [&] {
        const ZuVidEventRecord push = {ZUVID_EVENT_MOTION, {}, 0, 0, {0, 0, 0, 250, 0, 0}};
        const ZuVidEventRecord zero = {ZUVID_EVENT_ZERO, {}, 0, 0, {}};
        for (const HWND at : {a, b}) {
            glotest::focusAndPoint(frame, at);
            ZuVidSendEvent(frame, &push);
            ZuVidSendEvent(frame, &zero);
        }
        glotest::pumpMessages(300);
    };
    for (long i = 0; i < events; ++i, ++sent) {
        if (i == warmUp) {
            eventToBoth();
            before = measure(linux);
        }
        if (i % 64 == 0) {
            glotest::pumpMessages(0);
            if (GetTickCount() - begin > limit)
                break;
        }
        // The target moves between the two plug-ins, and now and then away from both.
        if (i % 2000 == 0) {
            glotest::focusAndPoint(frame, (i / 2000) % 2 ? b : a);
            ++switches;
        }
        if (i % 20000 == 10000) {
            SetForegroundWindow(other);
            glotest::pumpMessages(0);
        } else if (i % 20000 == 10200) {
            SetForegroundWindow(frame);
            glotest::pumpMessages(0);
        }
        if (i % 10000 == 5000) { // the driver's notification, then each plug-in's own reload
            SendMessageW(g_core, configChanged, 0, 0);
            ZuVidServiceRequest();
            for (int k = 0; k < host.getNumberOfPlugins(); ++k)
                if (CGlo_Application* application = host.getLoadedPlugin(k))
                    application->deserialize();
            ++reloads;
        }
        if (i % 25000 == 24999) {
            ZuVidCloseHdl(g_core);
            start();
            ++restarts;
            continue;
        }
        ZuVidEventRecord record = {ZUVID_EVENT_MOTION, {}, 0, 0, {}};
        if (i % 97 == 0) {
            record.type = ZUVID_EVENT_BUTTON;
            record.pressed = 1u << (i % 4);
        } else if (i % 97 == 1) {
            record.type = ZUVID_EVENT_BUTTON;
            record.released = 1u << ((i - 1) % 4);
        } else if (i % 500 == 2) {
            record.type = ZUVID_EVENT_ZERO;
        } else if (i % 300 < 40) {
            record.motion[3] = 250; // a push of the one-shot
        } else {
            const int phase = static_cast<int>(i % 200);
            const int level = phase < 100 ? phase * 3 : (200 - phase) * 3; // rises and falls
            record.motion[0] = level;
            record.motion[2] = (phase % 7) - 3 + level / 4;
        }
        ZuVidSendEvent(frame, &record);
        if (i % 1000 == 500)
            ZuVidIsValidHdl(a);
    }
    result.seconds = (GetTickCount() - begin) / 1000.0;
    eventToBoth();
    glotest::pumpMessages(200);
    result.after = measure(linux);

    ZuVidCloseHdl(g_core);
    SetCurrentDirectoryW(previous);
    for (int i = 0; i < 2; ++i) {
        result.counts[i] = *counts[i];
        FreeLibrary(modules[i]);
    }
    for (HWND window : {frame, other})
        DestroyWindow(window);
    // The workers end once they have left their plug-ins: none may outlive the close.
    glotest::eventually(
        [&] { return process_counters::threadCount() <= result.threadsBeforeStart; }, 5000);
    result.threadsAfterClose = process_counters::threadCount();
}

void check(const SoakResult& result) {
    ASSERT_EQ(result.failure, "");
    const Resources &before = result.before, &after = result.after;
    EXPECT_EQ(result.sent, result.events) << "stopped after " << result.seconds << " s";
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.windows, before.windows);
    if (before.handles >= 0) {
        EXPECT_LE(after.handles - before.handles, 3);
    }
    EXPECT_LE(after.heap - before.heap, 64 * 1024);
    if (before.privateBytes >= 0) {
        EXPECT_LE(after.privateBytes - before.privateBytes, 8 * 1024 * 1024);
    }
    for (int i = 0; i < 2; ++i) {
        const e2e::Recording& counts = result.counts[i];
        const char* name = i ? "SoakB" : "SoakA";
        EXPECT_EQ(counts.loads, result.restarts + 1) << name;
        EXPECT_GT(counts.panMotions, 100) << name;
        EXPECT_GT(counts.flips, 0) << name;
        EXPECT_GT(counts.clicks, 0) << name;
        EXPECT_GT(counts.panZeros, 0) << name;
        EXPECT_EQ(counts.open, 0) << name; // the last gesture heard its zero
    }
    EXPECT_GT(g_logLines, 2 * result.events - 10);
    EXPECT_LE(result.threadsAfterClose, result.threadsBeforeStart) << "threads after the close";

    std::printf("%ld events in %.1f s: %d target switches, %d reloads, %d restarts; "
                "runs A %ld, B %ld (slow)\n",
                result.sent, result.seconds, result.switches, result.reloads, result.restarts,
                long(result.counts[0].panMotions), long(result.counts[1].panMotions));
    const double sent = double(result.sent);
    benchFigure("soak: events through the exports", sent, 0, "events");
    benchFigure("soak: events per second", sent / result.seconds, 0, "events/s");
    benchFigure("soak: handles gained", double(after.handles - before.handles), 0, "handles",
                "<= 3");
    benchFigure("soak: threads gained", double(after.threads - before.threads), 0, "threads",
                "<= 0");
    benchFigure("soak: heap gained", (after.heap - before.heap) / 1024.0, 1, "KiB", "<= 64");
    benchFigure("soak: private memory gained", (after.privateBytes - before.privateBytes) / 1024.0,
                0, "KiB", "<= 8192");
}

} // namespace

TEST(Soak, ResourcesStayFlatAndEveryGestureEnds) {
    glotest::endProcessOnFault();
    // A thread with no window yet can move to another desktop.
    SoakResult result;
    const HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            SoakResult& result = *static_cast<SoakResult*>(parameter);
            const std::wstring name = L"glo_soak_" + std::to_wstring(GetCurrentProcessId());
            const HDESK desktop =
                CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
            if (desktop == nullptr || !SetThreadDesktop(desktop)) {
                result.failure = "no desktop of its own (" + std::to_string(GetLastError()) + ")";
                return 1;
            }
            // And a registry of its own: the other tests name their homes in the same value.
            HKEY machine = nullptr;
            const std::wstring key = L"Software\\glo_soak_machine_" + name;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &machine, nullptr) != ERROR_SUCCESS ||
                RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine) != ERROR_SUCCESS) {
                result.failure = "no registry of its own";
                return 1;
            }
            runSoak(result); // destroys its windows before the desktop goes
            RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
            RegCloseKey(machine);
            RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
            RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
            CloseDesktop(desktop);
            return 0;
        },
        &result, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    // The soak bounds its own time; this only keeps a hang from outliving CTest's limit.
    const DWORD ended = WaitForSingleObject(thread, DWORD(soakEvents()) * 4 + 120000);
    CloseHandle(thread);
    ASSERT_EQ(ended, WAIT_OBJECT_0);
    check(result);
}
