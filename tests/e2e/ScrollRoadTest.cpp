// Scrolling on the whole road: the substitute driver (glo_driver) replays a trace through the
// core's entry points in a process of its own; the core loads the scroll_plugin test plug-in
// from the home folder named in the registry, and its worker scrolls windows of this test.
// (Scrolling Wine's notepad on that road is the real-program tests' part.)
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/FakeDriver.h"
#include "tests/support/PluginHome.h"
#include "tests/support/TestProgram.h"
#include "tests/fixtures/views_dialog/ViewsDialog.h"

using namespace glotest;

namespace {

using Clock = std::chrono::steady_clock;

int msSince(Clock::time_point start) {
    return int((Clock::now() - start) / std::chrono::milliseconds(1));
}

// Thumb messages to this thread's targets: the bar they name and its new position.
struct Thumb {
    HWND bar;
    int position;
};
std::vector<Thumb> g_thumbs;

// A top-level window whose class the test plug-in claims ("GloScroll..."); it counts the line
// messages it receives and moves the bar a thumb message names, as programs do.
LRESULT CALLBACK targetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* lines = reinterpret_cast<std::atomic<int>*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if ((message != WM_VSCROLL && message != WM_HSCROLL) || lines == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    if (LOWORD(wParam) != SB_THUMBTRACK) {
        ++*lines;
        return 0;
    }
    HWND bar = reinterpret_cast<HWND>(lParam);
    SetScrollPos(bar, SB_CTL, HIWORD(wParam), FALSE);
    g_thumbs.push_back({bar, HIWORD(wParam)});
    return 0;
}

HWND target(const wchar_t* cls, DWORD style, int x, std::atomic<int>* lines) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = targetProc;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = cls;
    RegisterClassW(&wc);
    HWND window =
        CreateWindowExW(0, cls, L"scroll target", WS_OVERLAPPEDWINDOW | WS_VISIBLE | style, x, 80,
                        360, 300, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(lines));
    return window;
}

} // namespace

// Rotation a drives the vertical thumb of a view whose bars are separate controls: down to the
// last position the page allows, back up to the very first.
TEST(ScrollRoad, SeparateScrollBarsAreScrolledByThumb) {
    PluginHome home{L"glo_e2e_thumb"};
    home.add(L"scroll_plugin");
    std::atomic<int> lines{0};
    HWND frame = target(L"GloScrollThumbFrame", 0, 120, &lines);
    HWND view = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 10, 10, 280, 200, frame,
                                nullptr, nullptr, nullptr);
    HWND bar = CreateWindowExW(0, L"ScrollBar", L"", WS_CHILD | WS_VISIBLE | SBS_VERT, 290, 10, 16,
                               200, frame, nullptr, nullptr, nullptr);
    SCROLLINFO range = {sizeof(range), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 1000, 100, 0, 0};
    SetScrollInfo(bar, SB_CTL, &range, FALSE);
    ASSERT_TRUE(bringToFront(frame));
    cursorOn(view);
    g_thumbs.clear();

    // How far the thumb goes while the cap is held follows the worker's pace, which a loaded
    // machine slows: the cap is held again until the thumb is at the end (ten times at most).
    auto holdUntil = [&](const char* values, int position) {
        for (int i = 0; i < 10 && GetScrollPos(bar, SB_CTL) != position; ++i)
            EXPECT_EQ(runDriver(home.home, "rate 16\nwait 100\n" + hold(40, values) + "zero\n", L"",
                                [] {}),
                      0u);
    };
    holdUntil("0 0 0 400 0 0", 901);
    holdUntil("0 0 0 -400 0 0", 0);
    DestroyWindow(frame);

    ASSERT_GE(g_thumbs.size(), 10u);
    EXPECT_EQ(lines, 0);
    size_t peak = 0;
    for (size_t i = 0; i < g_thumbs.size(); ++i) {
        EXPECT_EQ(g_thumbs[i].bar, bar) << i;
        if (g_thumbs[i].position > g_thumbs[peak].position)
            peak = i;
    }
    EXPECT_EQ(g_thumbs[peak].position, 901); // 1000 - (100 - 1): the last position there is
    EXPECT_EQ(g_thumbs.back().position, 0);  // and the very first
}

// Another program's own scroll bars give no range under Wine: rotation a (the thumb function)
// scrolls its window by line steps instead, on and back again.
TEST(ScrollRoad, AnotherProgramsOwnBarsAreScrolledByLinesWhereTheirRangeCannotBeRead) {
    PluginHome home{L"glo_e2e_remote"};
    home.add(L"scroll_plugin");
    TestProgram program(std::wstring(views_dialog::kProgram) + L" frame");
    HWND frame = nullptr;
    for (int waited = 0; waited < 15000 && !frame; waited += 50, pumpMessages(50))
        frame = FindWindowW(views_dialog::kFrameClass, nullptr);
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(bringToFront(frame));
    cursorOn(frame);
    auto position = [frame] {
        return int(SendMessageW(frame, views_dialog::kQueryPosition, SB_VERT, 0));
    };
    int peak = 0;
    const std::string trace = "rate 16\nwait 200\n" + hold(60, "0 0 0 400 0 0") +
                              "zero\nwait 300\n" + hold(60, "0 0 0 -400 0 0") + "zero\nwait 300\n";
    EXPECT_EQ(runDriver(home.home, trace, L"", [&] { peak = std::max(peak, position()); }), 0u);
    // Each way by at least as much: how far follows the time the cap is held, which a loaded
    // machine stretches or cuts short.
    EXPECT_GE(peak, 10);
    EXPECT_GE(peak - position(), 10);
}

// While the device serves a window, that window's thread stops handling messages; the user
// moves to another window, which the device serves within about a second.
TEST(ScrollRoad, AHungWindowDoesNotStopTheDeviceServingAnother) {
    PluginHome home{L"glo_e2e_scroll"};
    home.add(L"scroll_plugin");
    std::atomic<int> hungLines{0}, otherLines{0};
    std::atomic<HWND> hung{nullptr};
    HANDLE hangNow = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread owner([&] {
        HWND window = target(L"GloScrollHung", WS_VSCROLL, 60, &hungLines);
        hung = window;
        while (MsgWaitForMultipleObjects(1, &hangNow, FALSE, INFINITE, QS_ALLINPUT) != 0)
            pumpMessages(1);
        WaitForSingleObject(release, INFINITE); // not handling anything
        pumpMessages(100);
        DestroyWindow(window);
    });
    while (!hung)
        Sleep(1);
    HWND other = target(L"GloScrollOther", WS_VSCROLL, 460, &otherLines);
    ASSERT_TRUE(bringToFront(hung));
    cursorOn(hung);

    enum { Serving, Hanging, Switched } phase = Serving;
    Clock::time_point hangAt, switchAt;
    int servedAfterMs = -1;
    const std::string trace =
        "rate 16\nwait 200\n" + hold(250, "0 0 -400 0 0 0") + "zero\nwait 100\n";
    const DWORD code = runDriver(home.home, trace, L"", [&] {
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
