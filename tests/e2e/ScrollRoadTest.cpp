// Scrolling on the whole road: the substitute driver (glo_driver) replays a trace through the
// core's entry points in a process of its own; the core loads the scroll_plugin test plug-in
// from the home folder named in the registry, and its worker scrolls Wine's notepad and windows
// of this test.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const wchar_t kKey[] = L"SOFTWARE\\Veltrana\\Halcyra";

int msSince(Clock::time_point start) {
    return int((Clock::now() - start) / std::chrono::milliseconds(1));
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

void pumpFor(int ms) {
    const Clock::time_point start = Clock::now();
    while (msSince(start) < ms) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
        pump();
    }
}

// Starts a program with standard handles of its own (the null device), so that it never holds
// on to the test's output.
bool startProgram(std::wstring commandLine, PROCESS_INFORMATION& process) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE nul =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    const bool started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process) != FALSE;
    CloseHandle(nul);
    return started;
}

int firstVisibleLine(HWND edit) {
    DWORD_PTR line = 0;
    SendMessageTimeoutW(edit, EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_ABORTIFHUNG, 1000, &line);
    return int(line);
}

// Other tests may run meanwhile; they do not take the foreground, but programs starting up do.
bool toForeground(HWND window) {
    for (int i = 0; i < 100 && GetForegroundWindow() != window; ++i) {
        SetForegroundWindow(window);
        pumpFor(20);
    }
    return GetForegroundWindow() == window;
}

void cursorOn(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// Wine's notepad holding a document of 400 numbered lines.
struct Notepad {
    PROCESS_INFORMATION process = {};
    HWND top = nullptr, edit = nullptr;

    Notepad() {
        if (!startProgram(L"notepad.exe", process))
            return;
        WaitForInputIdle(process.hProcess, 10000);
        for (int i = 0; i < 500 && !edit; ++i, Sleep(20)) {
            top = nullptr;
            while ((top = FindWindowExW(nullptr, top, L"Notepad", nullptr)) != nullptr) {
                DWORD pid = 0;
                GetWindowThreadProcessId(top, &pid);
                if (pid == process.dwProcessId)
                    break;
            }
            if (top)
                edit = FindWindowExW(top, nullptr, L"Edit", nullptr);
        }
        std::wstring text;
        for (int i = 1; i <= 400; ++i)
            text += L"line " + std::to_wstring(i) + L"\r\n";
        if (edit)
            SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    ~Notepad() {
        if (process.hProcess) {
            TerminateProcess(process.hProcess, 0);
            WaitForSingleObject(process.hProcess, 5000);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    }
};

// A top-level window whose class the test plug-in claims; it counts the scroll messages it
// receives and keeps the thumb messages, moving the bar they name as programs do.
struct Target {
    struct Thumb {
        UINT message;
        HWND to;
        HWND bar;
        int position;
    };
    static std::vector<Thumb>& thumbs() {
        static std::vector<Thumb> all;
        return all;
    }
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if ((message == WM_VSCROLL || message == WM_HSCROLL) && GetWindowLongPtrW(window, 0)) {
            if (LOWORD(wParam) == SB_THUMBTRACK) {
                HWND bar = reinterpret_cast<HWND>(lParam);
                SetScrollPos(bar, SB_CTL, HIWORD(wParam), FALSE);
                thumbs().push_back({message, window, bar, HIWORD(wParam)});
            } else {
                ++*reinterpret_cast<std::atomic<int>*>(GetWindowLongPtrW(window, 0));
            }
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    static HWND create(const wchar_t* cls, DWORD style, int x, int y, std::atomic<int>* counter) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = proc;
        wc.cbWndExtra = sizeof(LONG_PTR);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = cls;
        RegisterClassW(&wc);
        HWND window =
            CreateWindowExW(0, cls, L"scroll target", WS_OVERLAPPEDWINDOW | WS_VISIBLE | style, x,
                            y, 360, 300, nullptr, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(counter));
        return window;
    }
};

class ScrollRoad : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        home = temp + (L"glo_e2e_scroll_" + std::to_wstring(GetCurrentProcessId()));
        for (const wchar_t* folder : {L"", L"\\Office", L"\\Office\\Plugins"})
            CreateDirectoryW((home + folder).c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(L"..\\plugins\\scroll_plugin.dll", plugin().c_str(), FALSE));
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"Home Directory", REG_SZ, home.c_str(),
                        DWORD((home.size() + 1) * sizeof(wchar_t)));
        Target::thumbs().clear();
    }
    void TearDown() override {
        for (const std::wstring& file : {plugin(), tracePath(), logPath()})
            DeleteFileW(file.c_str());
        for (const wchar_t* folder : {L"\\Office\\Plugins", L"\\Office", L""})
            RemoveDirectoryW((home + folder).c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Veltrana"); // only when empty
    }

    std::wstring plugin() const { return home + L"\\Office\\Plugins\\scroll_plugin.dll"; }
    std::wstring tracePath() const { return home + L"\\scroll.trace"; }
    std::wstring logPath() const { return home + L"\\driver.log"; }

    // Events the driver has handed to the core so far (one log line each).
    int eventsSent() const {
        HANDLE file = CreateFileW(logPath().c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return 0;
        std::string text;
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
            text.append(buffer, read);
        CloseHandle(file);
        int n = 0;
        for (size_t at = text.find("Handling message"); at != std::string::npos;
             at = text.find("Handling message", at + 1))
            ++n;
        return n;
    }

    // Replays the trace with glo_driver (device scaling 1:1) while this thread's windows are
    // served; `during` runs between rounds. Returns the driver's exit code.
    DWORD drive(
        const std::string& trace, const std::function<void()>& during = [] {}) {
        std::ofstream(tracePath().c_str(), std::ios::binary) << trace;
        std::wstring command =
            L"glo_driver.exe --device-type 6 --log \"" + logPath() + L"\" \"" + tracePath() + L"\"";
        PROCESS_INFORMATION driver = {};
        if (!startProgram(command, driver)) {
            ADD_FAILURE() << "glo_driver did not start";
            return 1;
        }
        const Clock::time_point start = Clock::now();
        while (MsgWaitForMultipleObjects(1, &driver.hProcess, FALSE, 2, QS_ALLINPUT) !=
                   WAIT_OBJECT_0 &&
               msSince(start) < 30000) {
            pump();
            during();
        }
        DWORD code = 1;
        if (WaitForSingleObject(driver.hProcess, 0) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "glo_driver did not finish";
            TerminateProcess(driver.hProcess, 1);
            WaitForSingleObject(driver.hProcess, 5000);
        }
        GetExitCodeProcess(driver.hProcess, &code);
        CloseHandle(driver.hProcess);
        CloseHandle(driver.hThread);
        pump();
        return code;
    }

    std::wstring home;
};

// "motion" lines: `count` events of the given six raw values, 16 ms apart.
std::string hold(int count, const char* values) {
    return "repeat " + std::to_string(count) + "\n  motion " + values + "\nend\n";
}

} // namespace

// Pushing the cap forward (z negative) runs the line function down notepad's text; once the
// cap is at rest nothing more moves.
TEST_F(ScrollRoad, NotepadScrollsByLinesAndStopsWhenTheCapIsReleased) {
    Notepad notepad;
    ASSERT_NE(notepad.edit, nullptr) << "notepad did not start";
    ASSERT_TRUE(toForeground(notepad.top));
    cursorOn(notepad.edit);
    const int before = firstVisibleLine(notepad.edit);

    int atRest = -1;
    const DWORD code =
        drive("rate 16\nwait 200\n" + hold(60, "0 0 -400 0 0 0") + "zero\nwait 800\n", [&] {
            // Read once the zero event has gone in (61 events).
            if (atRest < 0 && eventsSent() >= 61)
                atRest = firstVisibleLine(notepad.edit);
        });
    EXPECT_EQ(code, 0u);
    const int after = firstVisibleLine(notepad.edit);
    EXPECT_EQ(before, 0);
    // About 0.6 steps per 10 ms period for a second at full deflection.
    EXPECT_GE(atRest - before, 10);
    EXPECT_LE(atRest - before, 150);
    // At most the one step already under way when the cap came to rest.
    ASSERT_GE(atRest, 0) << "the zero event was not seen";
    EXPECT_LE(after - atRest, 1);
}

// Rotation a drives the vertical thumb of a view whose bars are separate controls: down to
// the last position the page allows, back up to the very first.
TEST_F(ScrollRoad, SeparateScrollBarsAreScrolledByThumb) {
    std::atomic<int> lines{0};
    HWND frame = Target::create(L"GloScrollThumbFrame", 0, 120, 100, &lines);
    HWND view = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 10, 10, 280, 200, frame,
                                nullptr, nullptr, nullptr);
    HWND vbar = CreateWindowExW(0, L"ScrollBar", L"", WS_CHILD | WS_VISIBLE | SBS_VERT, 290, 10, 16,
                                200, frame, nullptr, nullptr, nullptr);
    HWND hbar = CreateWindowExW(0, L"ScrollBar", L"", WS_CHILD | WS_VISIBLE | SBS_HORZ, 10, 210,
                                280, 16, frame, nullptr, nullptr, nullptr);
    SCROLLINFO range = {sizeof(range), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 1000, 100, 0, 0};
    SetScrollInfo(vbar, SB_CTL, &range, FALSE);
    SetScrollInfo(hbar, SB_CTL, &range, FALSE);
    ASSERT_TRUE(toForeground(frame));
    cursorOn(view);

    const DWORD code = drive("rate 16\nwait 200\n" + hold(80, "0 0 0 400 0 0") +
                             hold(80, "0 0 0 -400 0 0") + "zero\nwait 200\n");
    EXPECT_EQ(code, 0u);
    const std::vector<Target::Thumb> thumbs = Target::thumbs();
    DestroyWindow(frame);

    ASSERT_GE(thumbs.size(), 10u);
    EXPECT_EQ(lines, 0); // no line steps
    size_t peak = 0;
    for (size_t i = 0; i < thumbs.size(); ++i) {
        EXPECT_TRUE(thumbs[i].message == WM_VSCROLL && thumbs[i].to == frame &&
                    thumbs[i].bar == vbar)
            << i;
        if (thumbs[i].position > thumbs[peak].position)
            peak = i;
    }
    EXPECT_EQ(thumbs[peak].position, 901); // 1000 - (100 - 1): the last position there is
    EXPECT_EQ(thumbs.back().position, 0);  // and the very first
    for (size_t i = 1; i < thumbs.size(); ++i)
        EXPECT_TRUE(i <= peak ? thumbs[i].position > thumbs[i - 1].position
                              : thumbs[i].position < thumbs[i - 1].position)
            << "down, then up: " << i;
}

// While the device serves a window, that window's thread stops handling messages; the user
// moves to another window, which the device serves within about a second.
TEST_F(ScrollRoad, AHungWindowDoesNotStopTheDeviceServingAnother) {
    std::atomic<int> hungLines{0}, otherLines{0};
    std::atomic<HWND> hung{nullptr};
    HANDLE hangNow = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread owner([&] {
        HWND window = Target::create(L"GloScrollHung", WS_VSCROLL, 60, 60, &hungLines);
        SetForegroundWindow(window);
        hung = window;
        while (MsgWaitForMultipleObjects(1, &hangNow, FALSE, INFINITE, QS_ALLINPUT) != 0)
            pump();
        WaitForSingleObject(release, INFINITE); // not handling anything
        pumpFor(100);
        DestroyWindow(window);
    });
    while (!hung)
        Sleep(1);
    HWND other = Target::create(L"GloScrollOther", WS_VSCROLL, 460, 60, &otherLines);
    ASSERT_TRUE(toForeground(hung));
    cursorOn(hung);

    enum { Serving, Hanging, Switched } phase = Serving;
    Clock::time_point hangAt, switchAt;
    int servedAfterMs = -1;
    const DWORD code =
        drive("rate 16\nwait 200\n" + hold(250, "0 0 -400 0 0 0") + "zero\nwait 100\n", [&] {
            if (phase == Serving && hungLines >= 3) {
                SetEvent(hangNow);
                hangAt = Clock::now();
                phase = Hanging;
            } else if (phase == Hanging && msSince(hangAt) > 500) {
                SetForegroundWindow(other);
                cursorOn(other);
                switchAt = Clock::now();
                phase = Switched;
            } else if (phase == Switched && servedAfterMs < 0 && otherLines > 0) {
                servedAfterMs = msSince(switchAt);
            }
        });
    SetEvent(release);
    owner.join();
    DestroyWindow(other);
    CloseHandle(hangNow);
    CloseHandle(release);

    EXPECT_EQ(code, 0u);
    ASSERT_EQ(phase, Switched) << "the hung window was never served";
    ASSERT_GE(servedAfterMs, 0) << "the other window was never served";
    EXPECT_LT(servedAfterMs, 1000);
    EXPECT_GE(otherLines, 5); // and it goes on being served
}
