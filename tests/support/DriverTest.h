// The driver's side of the tests that play it through the entry points: the fake driver's
// callbacks (the log is kept), a window in the foreground under the cursor that the test
// plug-ins claim, and the e2e_recorder plug-in's recording.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/CrashReport.h"
#include "tests/support/FakeDriver.h"
#include "tests/support/PluginHome.h"
#include "tests/support/TestWindow.h"
#include "ZuVidDriver.h"
#include "tests/fixtures/e2e_recorder/E2eRecording.h"

namespace glotest {

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        endProcessOnFault();
        s_log.clear();
        s_core = nullptr;
    }
    void TearDown() override {
        if (s_core)
            ZuVidCloseHdl(s_core);
        for (HMODULE module : pinned)
            FreeLibrary(module);
        if (window)
            DestroyWindow(window);
    }

    // ZuVidInit with the fake driver's table; the log is kept.
    void start() {
        ZuVidCallbackTable table = fakeDriverTable(&log);
        ZuVidInit(7, &table);
        if (!s_core) // a second start announces nothing
            s_core = announcedCoreWindow();
    }
    void close() {
        ZuVidCloseHdl(s_core);
        s_core = nullptr;
    }
    static HWND core() { return s_core; }

    // A window of the class the test plug-ins claim, in the foreground under the cursor.
    void showTarget() {
        window = makeWindow(e2e::kTargetClass, WS_POPUP | WS_VISIBLE, 150, 120, 400, 300);
        ASSERT_TRUE(focusAndPoint(window));
    }
    // The core started with e2e_recorder serving the target window.
    void startWithRecorder() {
        const std::wstring plugin = home.add(L"e2e_recorder");
        showTarget();
        start();
        const auto recorded = exported<e2e::Recording* (*)()>(plugin, "recorded");
        ASSERT_NE(recorded, nullptr);
        recording = recorded();
    }
    // An export of a loaded library, which stays loaded until the test ends (so that what it
    // recorded outlives the core's unloading of it).
    template <class T> T exported(const std::wstring& path, const char* name) {
        HMODULE module = nullptr;
        EXPECT_TRUE(GetModuleHandleExW(0, path.c_str(), &module)) << "not loaded";
        if (!module)
            return nullptr;
        pinned.push_back(module);
        return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
    std::string trace() const { return std::string(recording->trace, recording->length); }

    void send(int type, int x = 0, int a = 0, unsigned pressed = 0, unsigned released = 0,
              int y = 0) {
        const ZuVidEventRecord record = {type, {}, pressed, released, {x, y, 0, a, 0, 0}};
        EXPECT_EQ(ZuVidSendEvent(window, &record), 0);
    }

    static void pump(int ms) { pumpMessages(ms); }

    // Lines of the driver's log that contain `text`.
    static std::vector<std::wstring> logLines(const std::wstring& text) {
        std::lock_guard<std::mutex> lock(s_logMutex);
        std::vector<std::wstring> found;
        for (const std::wstring& line : s_log)
            if (line.find(text) != std::wstring::npos)
                found.push_back(line);
        return found;
    }

    // A home of each test's own: a library that crashed stays loaded, and its file with it.
    static std::wstring homeName() {
        const char* test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return L"glo_driver_" + std::wstring(test, test + std::strlen(test));
    }
    PluginHome home{homeName()};
    HWND window = nullptr;
    e2e::Recording* recording = nullptr;
    std::vector<HMODULE> pinned;

private:
    static void WINAPI log(const wchar_t* text) {
        std::lock_guard<std::mutex> lock(s_logMutex);
        s_log.push_back(text ? text : L"(null)");
    }
    static inline std::mutex s_logMutex;
    static inline std::vector<std::wstring> s_log;
    static inline HWND s_core = nullptr;
};

} // namespace glotest
