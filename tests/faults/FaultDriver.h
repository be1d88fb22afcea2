// The driver's side of the fault tests: the callbacks (the log is kept), the entry points, and a
// window in the foreground under the cursor that the test plug-ins claim.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "FakeDriver.h"
#include "PluginHome.h"
#include "TestWindow.h"
#include "ZuVidDriver.h"
#include "fixtures/e2e_recorder/E2eRecording.h"

namespace faults {

class Driver : public ::testing::Test {
protected:
    void SetUp() override {
        // A fault would start the debugger and hang the run: end at once instead.
        SetUnhandledExceptionFilter([](EXCEPTION_POINTERS*) -> LONG { ExitProcess(3); });
        s_log.clear();
        s_core = nullptr;
    }
    void TearDown() override {
        if (s_core)
            ZuVidCloseHdl(s_core);
        if (window)
            DestroyWindow(window);
    }

    // ZuVidInit with the fake driver's table; the log is kept.
    void start() {
        ZuVidCallbackTable table = glotest::fakeDriverTable(&log);
        ZuVidInit(7, &table);
        if (!s_core) // a second start announces nothing
            s_core = glotest::announcedCoreWindow();
    }
    void close() {
        ZuVidCloseHdl(s_core);
        s_core = nullptr;
    }
    static HWND core() { return s_core; }

    // A window of the class the test plug-ins claim, in the foreground under the cursor.
    void showTarget() {
        window = glotest::makeWindow(e2e::kTargetClass, WS_POPUP | WS_VISIBLE, 150, 120, 400, 300);
        ASSERT_TRUE(glotest::focusAndPoint(window));
    }

    void send(int type, int x = 0, unsigned pressed = 0, unsigned released = 0) {
        const ZuVidEventRecord record = {type, {}, pressed, released, {x, 0, 0, 0, 0, 0}};
        EXPECT_EQ(ZuVidSendEvent(window, &record), 0);
    }

    static void pump(int ms) { glotest::pumpMessages(ms); }

    // Lines of the driver's log that contain `text`.
    static std::vector<std::wstring> logLines(const std::wstring& text) {
        std::lock_guard<std::mutex> lock(s_logMutex);
        std::vector<std::wstring> found;
        for (const std::wstring& line : s_log)
            if (line.find(text) != std::wstring::npos)
                found.push_back(line);
        return found;
    }

    template <class F> static bool eventually(F condition) {
        return glotest::eventually(condition);
    }

    // A home of each test's own: a library that crashed stays loaded, and its file with it.
    static std::wstring homeName() {
        const char* test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return L"glo_faults_" + std::wstring(test, test + std::strlen(test));
    }
    glotest::PluginHome home{homeName()};
    HWND window = nullptr;

private:
    static void WINAPI log(const wchar_t* text) {
        std::lock_guard<std::mutex> lock(s_logMutex);
        s_log.push_back(text ? text : L"(null)");
    }
    static inline std::mutex s_logMutex;
    static inline std::vector<std::wstring> s_log;
    static inline HWND s_core = nullptr;
};

} // namespace faults
