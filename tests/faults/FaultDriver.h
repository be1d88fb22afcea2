// The driver's side of the fault tests: the callbacks (the log is kept), the entry points, and a
// window in the foreground under the cursor that the test plug-ins claim.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "PluginHome.h"
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

    // ZuVidInit with a table of the current layout.
    void start() {
        ZuVidCallbackTable table = {sizeof(table), &log,           &registerWindow,
                                    nullptr,       &getDeviceName, &getVersion};
        ZuVidInit(7, &table);
    }
    void close() {
        ZuVidCloseHdl(s_core);
        s_core = nullptr;
    }
    static HWND core() { return s_core; }

    // A window of the class the test plug-ins claim, in the foreground under the cursor.
    void showTarget() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = e2e::kTargetClass;
        RegisterClassW(&wc);
        window = CreateWindowExW(0, e2e::kTargetClass, L"fault target", WS_POPUP | WS_VISIBLE, 150,
                                 120, 400, 300, nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(window);
        SetCursorPos(350, 270);
        pump(20);
        ASSERT_EQ(GetForegroundWindow(), window);
    }

    void send(int type, int x = 0, unsigned pressed = 0, unsigned released = 0) {
        const ZuVidEventRecord record = {type, {}, pressed, released, {x, 0, 0, 0, 0, 0}};
        EXPECT_EQ(ZuVidSendEvent(window, &record), 0);
    }

    static void pump(int ms) {
        const DWORD start = GetTickCount();
        do {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            Sleep(1);
        } while (GetTickCount() - start < DWORD(ms));
    }

    // Lines of the driver's log that contain `text`.
    static std::vector<std::wstring> logLines(const std::wstring& text) {
        std::lock_guard<std::mutex> lock(s_logMutex);
        std::vector<std::wstring> found;
        for (const std::wstring& line : s_log)
            if (line.find(text) != std::wstring::npos)
                found.push_back(line);
        return found;
    }

    // Waits (generously) until the condition holds.
    template <class F> static bool eventually(F condition, int ms = 3000) {
        for (int waited = 0; waited < ms && !condition(); waited += 5)
            pump(5);
        return condition();
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
    static std::int32_t WINAPI registerWindow(std::uint32_t, const wchar_t*, HWND window,
                                              std::int32_t* status) {
        if (!s_core)
            s_core = window;
        *status = 0;
        return 0;
    }
    static std::int32_t WINAPI getDeviceName(HWND, wchar_t* buffer, std::int32_t capacity) {
        lstrcpynW(buffer, L"USB 3D Cap", capacity);
        return 0;
    }
    static std::int32_t WINAPI getVersion(ZuVidVersionInfo* info) {
        *info = {4, 0, 6, {}};
        return 0;
    }

    static inline std::mutex s_logMutex;
    static inline std::vector<std::wstring> s_log;
    static inline HWND s_core = nullptr;
};

} // namespace faults
