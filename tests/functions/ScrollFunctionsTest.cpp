// The scroll functions on windows of the test's own that record every scroll message: line
// steps paced by the trigger, thumb arithmetic and the ends of a range, separate bars, the pan
// variants, the focus-choosing functions, the wheel, and windows that vanish or hang.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "tests/support/InputRecorder.h"
#include "tests/functions/PluginProbe.h"

using namespace glotest;

namespace {

const CGlo_Event kButton(0, 0, 0, 0, 0, 0, 3, 1);

// A frame in the foreground with
//   view:     its own bars (WS_VSCROLL | WS_HSCROLL), range 0..99 at 50 both ways
//   sideView: separate bars beside it, children of the frame, range 0..99 at 50
//   other:    another view with its own vertical bar
//   plain:    nothing to scroll (and the focus window)
class Scrolling : public ::testing::Test {
protected:
    void SetUp() override {
        frame = makeWindow(L"GloTestFrame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 560, 360,
                           nullptr);
        view = makeWindow(L"GloTestView", WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, 10, 10, 180, 130,
                          frame);
        sideView = makeWindow(L"GloTestView", WS_VISIBLE, 210, 10, 160, 130, frame);
        vbar = makeBar(frame, SBS_VERT, 370, 10, 16, 130, 0, 99, 0, 50);
        hbar = makeBar(frame, SBS_HORZ, 210, 140, 160, 16, 0, 99, 0, 50);
        other = makeWindow(L"GloTestView", WS_VISIBLE | WS_VSCROLL, 400, 10, 140, 130, frame);
        plain = makeWindow(L"GloTestView", WS_VISIBLE, 10, 170, 180, 90, frame);
        setRange(view, SB_VERT, 0, 99, 0, 50);
        setRange(view, SB_HORZ, 0, 99, 0, 50);
        ASSERT_TRUE(bringToFront(frame));
        SetFocus(plain);
        // The thumb remainders are shared by every plug-in object: start from none.
        probe.thumbUpDown(kZero);
        probe.thumbLeftRight(kZero);
        received().clear();
    }
    void TearDown() override { DestroyWindow(frame); }

    std::vector<ScrollMessage> take() {
        pump();
        std::vector<ScrollMessage> messages = received();
        received().clear();
        return messages;
    }
    void focusOn(HWND window, HWND vertical = nullptr) {
        CGloWindow focus(window);
        if (vertical)
            focus.SetVScrollbar(marked(vertical, WS_VSCROLL));
        probe.setPanFocus(focus);
    }
    // Runs lineUpDown n times with the same event (n worker periods); returns the messages.
    std::vector<ScrollMessage> lines(int n, const CGlo_Event& e) {
        for (int i = 0; i < n; ++i)
            probe.lineUpDown(e);
        return take();
    }

    Probe probe;
    HWND frame, view, sideView, vbar, hbar, other, plain;
};

bool all(const std::vector<ScrollMessage>& messages, HWND to, UINT message, WORD code, HWND bar) {
    for (const ScrollMessage& m : messages)
        if (m.to != to || m.message != message || m.code() != code ||
            m.lParam != reinterpret_cast<LPARAM>(bar))
            return false;
    return true;
}

} // namespace

TEST_F(Scrolling, OneLineStepPerTriggerFiring) {
    focusOn(view);
    // Full deflection: 50 steps a second at 100 calls a second, the first at once.
    std::vector<ScrollMessage> m = lines(100, motion(350));
    EXPECT_EQ(m.size(), 50u);
    EXPECT_TRUE(all(m, view, WM_VSCROLL, SB_LINEDOWN, nullptr));
    probe.lineUpDown(kZero);
    m = lines(1, motion(-350));
    ASSERT_EQ(m.size(), 1u);
    EXPECT_TRUE(all(m, view, WM_VSCROLL, SB_LINEUP, nullptr));
    // Axis 0 at rest sends nothing even where the trigger fires.
    EXPECT_TRUE(lines(200, motion(0, 300)).empty());
    // A zero or button event restarts the trigger and sends nothing.
    for (const CGlo_Event& restart : {kZero, kButton}) {
        probe.lineUpDown(restart);
        EXPECT_TRUE(lines(49, motion(60)).empty());
    }
    EXPECT_EQ(lines(1, motion(60)).size(), 1u);

    // Pan: axis 0 horizontal, axis 1 vertical.
    probe.linePan(kZero);
    probe.linePan(motion(-350, 350));
    m = take();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_TRUE(all({m[0]}, view, WM_HSCROLL, SB_LINELEFT, nullptr));
    EXPECT_TRUE(all({m[1]}, view, WM_VSCROLL, SB_LINEDOWN, nullptr));
}

TEST_F(Scrolling, SeparateBarsAreScrolledThroughTheirParentWithTheirHandle) {
    cursorOn(sideView);
    probe.ILineUpDown(motion(350));
    std::vector<ScrollMessage> m = take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_TRUE(all(m, frame, WM_VSCROLL, SB_LINEDOWN, vbar));
    EXPECT_EQ(probe.getPanFocus().GetHWND(), sideView);
    probe.ILineUpDown(kZero);
    EXPECT_EQ(probe.getPanFocus().GetHWND(), nullptr); // dropped when the motion ends

    probe.ILineLeftRight(motion(350));
    m = take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_TRUE(all(m, frame, WM_HSCROLL, SB_LINERIGHT, hbar));
}

TEST_F(Scrolling, ThumbMovesByTheAccumulatedDeflectionWithinTheRealRange) {
    focusOn(sideView, vbar);
    auto thumb = [&](int deflection) {
        probe.thumbUpDown(deflection ? motion(deflection) : kZero);
        const std::vector<ScrollMessage> m = take();
        EXPECT_TRUE(all(m, frame, WM_VSCROLL, SB_THUMBTRACK, vbar));
        return m.empty() ? -1 : m.back().position();
    };
    // Range 0..99: 20000 / 99 = 202 units a position.
    EXPECT_EQ(thumb(500), 52); // 2 positions, 96 carried
    EXPECT_EQ(scrollPos(vbar, SB_CTL), 52);
    EXPECT_EQ(thumb(106), 53); // 96 + 106 = 202
    EXPECT_EQ(thumb(201), -1); // not yet a position
    EXPECT_EQ(thumb(0), -1);   // the zero event clears the remainder
    EXPECT_EQ(thumb(1), -1);   // 1, not 202
    thumb(0);
    // Ranges of 20000 and more: one position per unit.
    for (int max : {20000, 50000}) {
        setRange(vbar, SB_CTL, 0, max, 0, 100);
        EXPECT_EQ(thumb(7), 107);
    }
    setRange(vbar, SB_CTL, 5, 5, 0, 5); // a range of 0 has nowhere to go
    EXPECT_EQ(thumb(500), -1);
    thumb(0);
    // The ends: the very first position and the last one a page allows, then nothing more.
    setRange(vbar, SB_CTL, 0, 99, 0, 3);
    EXPECT_EQ(thumb(-2000), 0);
    EXPECT_EQ(thumb(-2000), -1);
    thumb(0);
    setRange(vbar, SB_CTL, 0, 99, 10, 85);
    EXPECT_EQ(thumb(2000), 90); // 99 - (10 - 1)
    EXPECT_EQ(thumb(2000), -1);
    thumb(0);
    setRange(vbar, SB_CTL, 0, 99, 0, 95);
    EXPECT_EQ(thumb(2000), 99);
    thumb(0);
    // A position that does not fit the message's 16 bits is not sent as another one.
    setRange(vbar, SB_CTL, 0, 200000, 0, 65530);
    EXPECT_EQ(thumb(5), 65535);
    EXPECT_EQ(thumb(5), -1);
    thumb(0);

    // The window's own bar: the message goes to the window itself.
    focusOn(view);
    probe.thumbPan(motion(404, -606));
    std::vector<ScrollMessage> m = take();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_TRUE(all({m[0]}, view, WM_HSCROLL, SB_THUMBTRACK, nullptr));
    EXPECT_TRUE(all({m[1]}, view, WM_VSCROLL, SB_THUMBTRACK, nullptr));
    EXPECT_EQ(scrollPos(view, SB_HORZ), 52);
    EXPECT_EQ(scrollPos(view, SB_VERT), 47);
}

// Another program's own bars give no range under Wine (the plain window's here give none
// either): the thumb functions scroll by line steps at the line functions' pace instead, and the
// debugger's output names each such window once, not once per gesture.
TEST_F(Scrolling, WithoutARangeTheThumbScrollsByLinesAndSaysSoOncePerWindow) {
    DebugOutput output;
    HWND second = makeWindow(L"GloTestView", WS_VISIBLE, 210, 170, 180, 90, frame);
    for (int gesture = 0; gesture < 2; ++gesture) {
        for (HWND window : {plain, second}) {
            focusOn(window);
            for (int i = 0; i < 100; ++i)
                probe.thumbUpDown(motion(350));
            std::vector<ScrollMessage> m = take();
            EXPECT_EQ(m.size(), 50u);
            EXPECT_TRUE(all(m, window, WM_VSCROLL, SB_LINEDOWN, nullptr));
            probe.thumbLeftRight(motion(-350));
            m = take();
            ASSERT_EQ(m.size(), 1u);
            EXPECT_TRUE(all(m, window, WM_HSCROLL, SB_LINELEFT, nullptr));
            probe.thumbPan(kZero); // restarts the pace: the next gesture's first step comes at once
        }
    }
    ASSERT_EQ(output.lines().size(), 2u);
    EXPECT_NE(output.lines()[0].find("GloTestView"), std::string::npos) << output.lines()[0];
    EXPECT_NE(output.lines()[0].find("scrolled by lines"), std::string::npos);

    // A separate bar that no longer answers is no such window: nothing is sent.
    focusOn(sideView, vbar);
    DestroyWindow(vbar);
    probe.thumbUpDown(motion(2000));
    EXPECT_TRUE(take().empty());
}

// The view under the cursor scrolls along the way it scrolls, whatever window has the keyboard
// focus (the plain one here): vertically, or sideways when it only scrolls sideways.
TEST_F(Scrolling, LinesAndPagesGoAlongTheWayTheViewUnderTheCursorScrolls) {
    HWND sideways = makeWindow(L"GloTestView", WS_VISIBLE | WS_HSCROLL, 210, 170, 180, 90, frame);
    setRange(sideways, SB_HORZ, 0, 99, 10, 0);
    const struct {
        HWND under, to, bar;
        UINT message;
    } cases[] = {{other, other, nullptr, WM_VSCROLL},
                 {sideView, frame, vbar, WM_VSCROLL},
                 {sideways, sideways, nullptr, WM_HSCROLL}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message == WM_VSCROLL ? "vertical" : "sideways");
        cursorOn(c.under);
        for (int direction : {350, -350}) { // the first step of a gesture comes at once
            probe.IScrollLines(motion(direction));
            probe.IScrollLines(kZero);
        }
        probe.IScrollPageDown(motion(350));
        probe.IScrollPageUp(kButton);
        const CGlo_Event release(0, 0, 0, 0, 0, 0, 3, 0);
        probe.IScrollPageUp(release); // one page per press: the release sends nothing
        probe.IScrollPageDown(kZero);
        const std::vector<ScrollMessage> m = take();
        ASSERT_EQ(m.size(), 4u);
        const WORD codes[] = {SB_LINEDOWN, SB_LINEUP, SB_PAGEDOWN, SB_PAGEUP};
        for (int i = 0; i < 4; ++i) {
            EXPECT_TRUE(all({m[i]}, c.to, c.message, codes[i], c.bar)) << i;
        }
        EXPECT_EQ(probe.getPanFocus().GetHWND(), nullptr); // a page holds no focus
    }
}

namespace {

// Records what lineUpDown receives: 'm'otion, 'z'ero, 'b'utton.
struct Recording : Probe {
    std::string log;
    void lineUpDown(const CGlo_Event& e) override {
        log += e.isMotionEvent() ? 'm' : e.isButtonEvent() ? 'b' : 'z';
        Probe::lineUpDown(e);
    }
};

} // namespace

namespace {

// A plug-in that chooses the window itself: the answer it is given, counting the questions.
struct Choosing : Recording {
    HWND answer = nullptr;
    int asked = 0;
    HWND getMouseCursorPanFocus(CGloWindow& focus, unsigned long) override {
        ++asked;
        focus = answer;
        return answer;
    }
};

} // namespace

// The focus is asked for on every motion event, ended first when it changes, and dropped (into
// the history) when the motion ends.
TEST_F(Scrolling, EveryMotionEventAsksForTheFocusAndASwitchEndsTheOldOneFirst) {
    Choosing plugin;
    cursorOn(plain); // at rest throughout
    plugin.answer = view;
    for (int i = 0; i < 4; ++i)
        plugin.ILineUpDown(motion(350));
    plugin.answer = other;
    for (int i = 0; i < 2; ++i)
        plugin.ILineUpDown(motion(350));
    const std::vector<ScrollMessage> m = take();
    ASSERT_EQ(m.size(), 3u); // every other event at full deflection; the zero restarts the trigger
    EXPECT_TRUE(m[0].to == view && m[1].to == view && m[2].to == other);
    plugin.ILineUpDown(kZero);
    EXPECT_EQ(plugin.getPanFocus().GetHWND(), nullptr);
    plugin.ILineUpDown(kZero); // no focus: no delegate
    plugin.ILineUpDown(motion(350));
    plugin.ILineUpDown(kButton);
    EXPECT_EQ(plugin.asked, 7);
    EXPECT_EQ(plugin.log, "mmmmzmmzmb");
    EXPECT_EQ(plugin.getPanFocus().GetHWND(), nullptr);
    EXPECT_EQ(plugin.getPreviousPanFocus(0).GetHWND(), other);
}

// The base search's answer holds only while the window can still be scrolled there: hidden,
// disabled, moved out of the active window or without its bar, it is dropped (and ended first);
// a window raised over it takes over. With nothing to scroll under the cursor, a move of the
// keyboard focus is followed.
TEST_F(Scrolling, TheFocusFoundIsDroppedWhenItCannotBeScrolledAndFollowsTheKeyboardFocus) {
    Recording recording;
    auto step = [&] {
        recording.ILineUpDown(motion(350));
        return recording.getPanFocus().GetHWND();
    };
    HWND elsewhere = makeWindow(L"GloTestFrame", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr);
    for (int way = 0; way < 4; ++way) {
        SCOPED_TRACE(way);
        const HWND window = way < 3 ? view : sideView;
        cursorOn(window);
        EXPECT_EQ(step(), window);
        cursorOn(plain); // nothing scrolls here: the focus stays
        EXPECT_EQ(step(), window);
        recording.log.clear();
        if (way == 0)
            ShowWindow(view, SW_HIDE);
        else if (way == 1)
            EnableWindow(view, FALSE);
        else if (way == 2)
            SetParent(view, elsewhere);
        else
            DestroyWindow(vbar);
        EXPECT_NE(step(), window); // (the last one goes back to `view`, from the history)
        EXPECT_EQ(recording.log.substr(0, 1), "z");
        ShowWindow(view, SW_SHOW);
        EnableWindow(view, TRUE);
        SetParent(view, frame);
        recording.ILineUpDown(kZero);
    }
    DestroyWindow(elsewhere);
    // A window raised over it under the resting cursor takes over.
    cursorOn(view);
    EXPECT_EQ(step(), view);
    HWND cover = makeWindow(L"GloTestView", WS_VISIBLE | WS_VSCROLL, 10, 10, 180, 130, frame);
    SetWindowPos(cover, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(step(), cover);
    recording.ILineUpDown(kZero);
    DestroyWindow(cover);

    // What a window scrolls is read afresh by the next gesture, though nothing else changed.
    Recording fresh;
    SetFocus(other);
    cursorOn(plain);
    fresh.ILineUpDown(motion(350));
    EXPECT_EQ(fresh.getPanFocus().GetHWND(), other);
    fresh.ILineUpDown(kZero);
    setRange(plain, SB_VERT, 0, 99, 0, 50);
    SetWindowPos(plain, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    fresh.ILineUpDown(motion(350));
    EXPECT_EQ(fresh.getPanFocus().GetHWND(), plain);
    fresh.ILineUpDown(kZero);

    HWND top = makeWindow(L"GloTestView", WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_VISIBLE, 600, 60,
                          300, 300, nullptr);
    HWND child = makeWindow(L"GloTestView", WS_VISIBLE | WS_VSCROLL, 0, 0, 80, 80, top);
    ASSERT_TRUE(bringToFront(top));
    SetFocus(top);
    pump(10);
    cursorOn(top); // away from the child
    take();
    recording.log.clear();
    EXPECT_EQ(step(), top);
    SetFocus(child);
    pump(10);
    EXPECT_EQ(step(), child);
    EXPECT_EQ(recording.log, "mzm");
    const std::vector<ScrollMessage> m = take();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_TRUE(m[0].to == top && m[1].to == child);
    DestroyWindow(top);
}

namespace {

// A program that takes longer over each line step than the device waits for it.
const int kSlowStepMs = 300;
std::atomic<int> g_slowSteps{0};
LRESULT CALLBACK slowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_VSCROLL)
        return DefWindowProcW(window, message, wParam, lParam);
    Sleep(kSlowStepMs);
    ++g_slowSteps;
    return 0;
}

} // namespace

// Steps that timed out are still handled later: they must not collect and scroll on after the
// cap is released.
TEST_F(Scrolling, ASlowProgramGetsOneStepAtATime) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = slowProc;
    wc.lpszClassName = L"GloSlowView";
    RegisterClassW(&wc);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> slow{nullptr};
    std::thread owner([&] {
        HWND window = CreateWindowExW(0, L"GloSlowView", L"", WS_OVERLAPPEDWINDOW | WS_VSCROLL, 0,
                                      0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        slow = window;
        while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
            pump();
        DestroyWindow(window);
    });
    while (!slow)
        Sleep(1);
    probe.setPanFocus(CGloWindow(slow));
    g_slowSteps = 0;
    // Two seconds at full deflection, a call every 10 ms as the worker makes them.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < end) {
        probe.lineUpDown(motion(350));
        Sleep(10);
    }
    probe.lineUpDown(kZero);
    const int atRelease = g_slowSteps;
    Sleep(5 * kSlowStepMs);
    EXPECT_GE(atRelease, 3);
    EXPECT_LE(g_slowSteps - atRelease, 1); // only the step under way at the release
    SetEvent(done);
    owner.join();
    CloseHandle(done);
}

// What a tenth leaves over comes with the next motion of the gesture (so a slow deflection
// turns the wheel too); the end of the gesture drops it.
TEST_F(Scrolling, WheelTurnsByATenthOfAxis0) {
    InputRecorder input;
    ASSERT_TRUE(input.active());
    probe.mouseWheel(motion(-25));
    probe.mouseWheel(motion(-25));
    probe.mouseWheel(motion(-7));
    probe.mouseWheel(kZero);
    probe.mouseWheel(motion(7));
    probe.mouseWheel(motion(300));
    ASSERT_TRUE(input.waitFor(3));
    pump(20);
    const std::vector<RecordedInput> events = input.events();
    ASSERT_EQ(events.size(), 3u);
    for (const RecordedInput& e : events)
        EXPECT_TRUE(e.message == WM_MOUSEWHEEL && e.injected);
    EXPECT_EQ(short(HIWORD(events[0].mouseData)), -2);
    EXPECT_EQ(short(HIWORD(events[1].mouseData)), -3);
    EXPECT_EQ(short(HIWORD(events[2].mouseData)), 30);
}

TEST_F(Scrolling, VanishedWindowsAreDroppedAndHungOnesCostOnlyTheBound) {
    HWND doomed = makeWindow(L"GloTestView", WS_VISIBLE | WS_VSCROLL, 10, 170, 50, 50, frame);
    focusOn(doomed);
    DestroyWindow(doomed);
    probe.lineUpDown(motion(350));
    EXPECT_EQ(probe.getPanFocus().GetHWND(), nullptr);
    EXPECT_EQ(probe.getPreviousPanFocus(0).GetHWND(), nullptr);
    HWND lostBar = makeBar(frame, SBS_VERT, 370, 10, 16, 130);
    focusOn(sideView, lostBar);
    DestroyWindow(lostBar);
    probe.thumbUpDown(motion(5000));
    EXPECT_EQ(probe.getPanFocus().GetHWND(), nullptr);
    EXPECT_TRUE(take().empty());

    // A window, and its bar, whose thread has stopped handling messages.
    HANDLE hang = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> hungView{nullptr}, hungBar{nullptr};
    std::thread owner([&] {
        HWND top = makeWindow(L"GloTestView", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr);
        hungBar = makeBar(top, SBS_VERT, 0, 0, 16, 100, 0, 99, 0, 50);
        hungView = top;
        WaitForSingleObject(hang, INFINITE);
        pump(50);
        DestroyWindow(top);
    });
    while (!hungView)
        Sleep(1);
    focusOn(hungView, hungBar);
    const auto start = std::chrono::steady_clock::now();
    probe.lineUpDown(motion(350));
    probe.thumbUpDown(motion(5000));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took / std::chrono::milliseconds(1), 1500);      // two bounded waits, not for ever
    EXPECT_EQ(probe.getPanFocus().GetHWND(), hungView.load()); // it still exists
    SetEvent(hang);
    owner.join();
    CloseHandle(hang);
}

namespace {

// Counts the thumb messages of windows that never move (so every step is sent).
std::atomic<int> g_thumbMessages{0};
LRESULT CALLBACK countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_VSCROLL && LOWORD(wParam) == SB_THUMBTRACK) {
        ++g_thumbMessages;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

TEST_F(Scrolling, ThumbRemaindersAreSharedByAllPluginsWithoutLosingUnits) {
    Probe second;
    focusOn(sideView, vbar);
    CGloWindow same(sideView);
    same.SetVScrollbar(marked(vbar, WS_VSCROLL));
    second.setPanFocus(same);
    probe.thumbUpDown(motion(150));
    EXPECT_TRUE(take().empty());
    second.thumbUpDown(motion(60)); // 150 + 60 passes 202
    EXPECT_EQ(take().size(), 1u);
    second.thumbUpDown(kZero);

    // Two workers at once: 2 x 50000 units on ranges of 0..100 (200 units a position) make
    // exactly 500 positions, however the updates interleave.
    WNDCLASSW wc = {};
    wc.lpfnWndProc = countingProc;
    wc.lpszClassName = L"GloCountingView";
    RegisterClassW(&wc);
    g_thumbMessages = 0;
    std::atomic<int> ready{0};
    std::thread workers[2];
    for (std::thread& t : workers)
        t = std::thread([&ready] {
            Probe plugin;
            HWND window = CreateWindowExW(0, L"GloCountingView", L"", WS_VSCROLL, 0, 0, 50, 50,
                                          nullptr, nullptr, nullptr, nullptr);
            setRange(window, SB_VERT, 0, 100, 0, 50);
            plugin.setPanFocus(CGloWindow(window));
            for (++ready; ready < 2;) // both start together
                ;
            for (int i = 0; i < 50000; ++i)
                plugin.thumbUpDown(motion(1));
            DestroyWindow(window);
        });
    for (std::thread& t : workers)
        t.join();
    EXPECT_EQ(g_thumbMessages.load(), 500);
    probe.thumbUpDown(kZero);
}
