// The core as a driver uses it: loaded with LoadLibrary, started on one thread, shut down and
// unloaded from another, with plug-ins and their workers. Nothing of it may stay behind: no
// window whose procedure is gone, no plug-in, no worker thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "tests/support/CrashReport.h"
#include "tests/support/FakeDriver.h"
#include "tests/support/PluginHome.h"
#include "tests/support/TestProgram.h"
#include "tests/support/TestWindow.h"
#include "ZuVidDriver.h"
#include "bench/ProcessCounters.h"
#include "tests/fixtures/e2e_recorder/E2eRecording.h"

namespace {

template <class T> T entry(HMODULE module, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The library as the driver holds it.
struct Core {
    Core() : module(LoadLibraryW(L"Glo_core_proxy.dll")) {
        init = entry<ZuVidInitProc>(module, "ZuVidInit");
        term = entry<ZuVidTermProc>(module, "ZuVidTerm");
        close = entry<ZuVidCloseHdlProc>(module, "ZuVidCloseHdl");
    }
    ~Core() { unload(); }
    void start() {
        ZuVidCallbackTable table = glotest::fakeDriverTable();
        init(1, &table);
    }
    void unload() {
        if (module)
            FreeLibrary(module);
        module = nullptr;
    }
    HMODULE module;
    ZuVidInitProc init = nullptr;
    ZuVidTermProc term = nullptr;
    ZuVidCloseHdlProc close = nullptr;
};

using process_counters::threadCount;

bool coreLoaded() {
    return GetModuleHandleW(L"Glo_core_proxy.dll") != nullptr;
}

// A thread of the driver that starts the core and then pumps messages until told to end. While
// `busy` is set it does not pump.
class DriverThread {
public:
    explicit DriverThread(Core& core, bool exitAfterStart = false) {
        thread = std::thread([this, &core, exitAfterStart] {
            core.start();
            SetEvent(started);
            if (exitAfterStart)
                return;
            const HANDLE events[2] = {end, busy};
            for (;;) {
                const DWORD result =
                    MsgWaitForMultipleObjects(2, events, FALSE, INFINITE, QS_ALLINPUT);
                if (result == WAIT_OBJECT_0)
                    break;
                if (result == WAIT_OBJECT_0 + 1) {
                    WaitForSingleObject(idle, INFINITE);
                    continue;
                }
                MSG message;
                while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                    DispatchMessageW(&message);
            }
        });
        WaitForSingleObject(started, INFINITE);
    }
    ~DriverThread() {
        SetEvent(idle);
        SetEvent(end);
        thread.join();
        for (HANDLE h : {started, end, busy, idle})
            CloseHandle(h);
    }
    // Stops pumping until resume().
    void block() { SetEvent(busy); }
    void resume() {
        ResetEvent(busy);
        SetEvent(idle);
    }

private:
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE end = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE busy = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE idle = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::thread thread;
};

// Messages for every top-level window, as the system sends them (a settings change, say).
void broadcast() {
    static const UINT message = RegisterWindowMessageW(L"GloLifecycleBroadcast");
    DWORD_PTR result;
    SendMessageTimeoutW(HWND_BROADCAST, message, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
    PostMessageW(HWND_BROADCAST, message, 0, 0);
}

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        glotest::endProcessOnFault();
        ASSERT_FALSE(coreLoaded());
    }
    void TearDown() override {
        EXPECT_TRUE(glotest::eventually([] { return !coreLoaded(); }));
    }

    glotest::PluginHome home{L"glo_life"};
};

// The core window lives on the thread that started the core; shut down and unloaded from
// another thread, it must go with the library, whose window procedure goes too.
TEST_F(Lifecycle, ShutdownFromAnotherThreadLeavesNoWindowBehind) {
    Core core;
    DriverThread driver(core);
    const HWND window = glotest::lastAnnouncedWindow();
    ASSERT_TRUE(IsWindow(window));
    core.term();
    core.unload();
    EXPECT_TRUE(glotest::eventually([] { return !coreLoaded(); }));
    EXPECT_FALSE(IsWindow(window));
    broadcast();
    PostMessageW(window, WM_CLOSE, 0, 0);
    Sleep(200); // the thread takes what is queued for it
}

// When the starting thread does not answer, the window is cut loose from the library and
// closes itself later; the library can be loaded and started again meanwhile.
TEST_F(Lifecycle, ShutdownWhileTheStartingThreadIsBusy) {
    {
        Core core;
        DriverThread driver(core);
        const HWND window = glotest::lastAnnouncedWindow();
        driver.block();
        core.term();
        core.unload();
        EXPECT_TRUE(glotest::eventually([] { return !coreLoaded(); }));
        broadcast();

        Core again;
        again.start();
        ASSERT_TRUE(IsWindow(glotest::lastAnnouncedWindow()));
        const UINT changed = RegisterWindowMessageW(L"WM_VEX_CONFIGCHANGED");
        EXPECT_EQ(SendMessageW(glotest::lastAnnouncedWindow(), changed, 0, 0),
                  1); // its handler is reached
        again.term();
        again.unload();

        driver.resume();
        EXPECT_TRUE(glotest::eventually([&] { return !IsWindow(window); }));
        broadcast();
        Sleep(200); // the thread takes what is queued for it
    }
    EXPECT_EQ(FindWindowW(L"glidora_wind_class", nullptr), nullptr);
}

// ZuVidTerm unloads the plug-ins: each imports the core, so otherwise neither the core nor the
// plug-ins and their worker threads would ever leave the driver's process.
TEST_F(Lifecycle, TermUnloadsPluginsAndTheirWorkers) {
    const std::wstring plugin = home.add(L"e2e_recorder");
    const HWND target =
        glotest::makeWindow(e2e::kTargetClass, WS_POPUP | WS_VISIBLE, 150, 120, 400, 300);
    ASSERT_TRUE(glotest::focusAndPoint(target));
    const long threadsBefore = threadCount();
    {
        Core core;
        core.start();
        ASSERT_NE(GetModuleHandleW(plugin.c_str()), nullptr);
        // A plug-in's worker starts with its first event.
        EXPECT_EQ(threadCount(), threadsBefore);
        const auto send = entry<ZuVidSendEventProc>(core.module, "ZuVidSendEvent");
        ASSERT_NE(send, nullptr);
        const ZuVidEventRecord motion = {ZUVID_EVENT_MOTION, {}, 0, 0, {200, 0, 200, 0, 0, 0}};
        const ZuVidEventRecord zero = {ZUVID_EVENT_ZERO, {}, 0, 0, {}};
        send(target, &motion);
        send(target, &zero);
        EXPECT_GT(threadCount(), threadsBefore);
        core.term();
    }
    DestroyWindow(target);
    EXPECT_TRUE(glotest::eventually([] { return !coreLoaded(); }));
    EXPECT_EQ(GetModuleHandleW(plugin.c_str()), nullptr);
    EXPECT_TRUE(glotest::eventually([&] { return threadCount() == threadsBefore; }));
}

// The user's speeds outlive the library: saved, it is unloaded and loaded again, and the next
// start reads them back; what was changed and not saved is gone. (What the file may hold:
// SettingsFile tests.)
TEST_F(Lifecycle, SavedSpeedsComeBackWhenTheLibraryIsLoadedAgain) {
    typedef void (*SetSpeed)(const wchar_t*, double);
    typedef double (*GetSpeed)(const wchar_t*);
    typedef bool (*Save)(void*);
    {
        Core core;
        core.start();
        const auto setSpeed = entry<SetSpeed>(core.module, "_ZN17CGlo_UserSettings8setSpeedEPKwd");
        const auto save = entry<Save>(core.module, "_ZN17CGlo_UserSettings4saveEP14GLO_SaveReport");
        ASSERT_TRUE(setSpeed && save);
        setSpeed(L"Alpha", 2.8);
        EXPECT_TRUE(save(nullptr));
        setSpeed(L"Alpha", 0.25);
        core.term();
    }
    ASSERT_TRUE(glotest::eventually([] { return !coreLoaded(); }));
    Core again;
    again.start();
    const auto getSpeed = entry<GetSpeed>(again.module, "_ZN17CGlo_UserSettings8getSpeedEPKw");
    ASSERT_TRUE(getSpeed);
    EXPECT_EQ(getSpeed(L"Alpha"), 2.8);
    again.term();
}

// The driver's close names the window the core announced, also after that window died with
// the thread that started the core.
TEST_F(Lifecycle, CloseAfterTheStartingThreadEnded) {
    const std::wstring plugin = home.add(L"e2e_recorder");
    Core core;
    { DriverThread driver(core, true); }
    ASSERT_NE(GetModuleHandleW(plugin.c_str()), nullptr);
    EXPECT_FALSE(IsWindow(glotest::lastAnnouncedWindow()));
    core.close(glotest::lastAnnouncedWindow());
    EXPECT_EQ(GetModuleHandleW(plugin.c_str()), nullptr);
}

// The driver's process may end at any time, the core started and a gesture running on a
// plug-in's worker: it ends at once (the system has ended the workers already, so the core must
// not wait for them nor call the plug-ins), and without a fault. The driver is a process of
// its own, this program again in the role below.
TEST_F(Lifecycle, TheDriversProcessEndsAtOnceWhileTheCoreServes) {
    home.add(L"e2e_recorder");
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring output = home.home + L"\\driver.txt";
    home.files.push_back(output);
    SetEnvironmentVariableW(L"GLO_LIFECYCLE_DRIVER", L"1");
    glotest::TestProgram driver(L"\"" + std::wstring(self) +
                                    L"\" --gtest_filter=DriverProcess.EndsWhileTheCoreServes",
                                output);
    SetEnvironmentVariableW(L"GLO_LIFECYCLE_DRIVER", nullptr);
    ASSERT_TRUE(driver.started());
    const DWORD code = driver.wait(60000);
    const ULONGLONG ended = GetTickCount64();
    const std::string said = glotest::readFile(output);
    EXPECT_EQ(code, 0u) << said;
    const std::size_t at = said.find("ending at ");
    ASSERT_NE(at, std::string::npos) << said;
    EXPECT_LT(ended - std::strtoull(said.c_str() + at + 10, nullptr, 10), 3000u) << said;
}

// The driver of the test above: the core started with the recorder's window in the
// foreground, motion on it, then the process's end.
TEST(DriverProcess, EndsWhileTheCoreServes) {
    if (GetEnvironmentVariableW(L"GLO_LIFECYCLE_DRIVER", nullptr, 0) == 0)
        GTEST_SKIP() << "the driver of Lifecycle.TheDriversProcessEndsAtOnceWhileTheCoreServes";
    glotest::endProcessOnFault();
    const HWND target =
        glotest::makeWindow(e2e::kTargetClass, WS_POPUP | WS_VISIBLE, 150, 120, 400, 300);
    ASSERT_TRUE(glotest::focusAndPoint(target));
    Core core;
    core.start();
    const auto send = entry<ZuVidSendEventProc>(core.module, "ZuVidSendEvent");
    ASSERT_NE(send, nullptr);
    const ZuVidEventRecord motion = {ZUVID_EVENT_MOTION, {}, 0, 0, {200, 0, 200, 0, 0, 0}};
    for (int i = 0; i < 20; ++i) {
        send(target, &motion);
        glotest::pumpMessages(5);
    }
    std::printf("ending at %llu\n", GetTickCount64());
    std::fflush(stdout);
    ExitProcess(0);
}

} // namespace
