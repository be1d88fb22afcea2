// Autoscroll and middle-button panning, called directly, against glo_autoscroll_target (a program
// with the click and held scrolling of office programs): the origins and cursor placements of
// each function, the bounded capture waits, the line fallback under an open menu, and after
// every way out of a gesture the user has everything back.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "InputRecorder.h"
#include "MessageBoxAnswerer.h"
#include "PluginProbe.h"
#include "fixtures/autoscroll_target/AutoscrollTarget.h"

using namespace glotest;
using namespace autoscroll_target;

namespace {

using Access = CGlo_PluginTestAccess;
using Clock = std::chrono::steady_clock;

const CGlo_Event kPress(0, 0, 0, 0, 0, 0, 3, 1);

// This thread's cursor display count (0: shown).
int displayCount() {
    const int below = ShowCursor(FALSE);
    ShowCursor(TRUE);
    return below + 1;
}

POINT cursorPos() {
    POINT p = {};
    GetCursorPos(&p);
    return p;
}

std::wstring at(POINT p) {
    return std::to_wstring(p.x) + L"," + std::to_wstring(p.y);
}

int msSince(Clock::time_point start) {
    return int((Clock::now() - start) / std::chrono::milliseconds(1));
}

typedef void (Probe::*Function)(const CGlo_Event&);

// The view's log, once it reads `expected` or a second has passed: the program handles the
// input it was sent in its own time.
std::wstring settledLog(HWND view, const std::wstring& expected) {
    std::wstring log = logOf(view);
    for (int i = 0; i < 100 && log != expected; ++i, Sleep(10))
        log = logOf(view);
    return log;
}

class Autoscroll : public ::testing::Test {
protected:
    // The test program with these views (CLASS:MODE:LEFT:TOP:RIGHT:BOTTOM).
    void start(const std::vector<std::wstring>& layouts) {
        std::wstring command =
            std::wstring(kProgram) + L" --parent " + std::to_wstring(GetCurrentProcessId());
        for (const std::wstring& layout : layouts)
            command += L" " + layout;
        program.reset(new TestProgram(command));
        ASSERT_TRUE(program->started());
        for (size_t i = 0; i < layouts.size(); ++i) {
            views.push_back(findView(program->id(), int(i)));
            ASSERT_NE(views.back(), nullptr) << "view " << i;
        }
    }
    // View `i` in front and the pan focus; the user's cursor at `home`.
    HWND use(int i) {
        const HWND view = views[i];
        EXPECT_TRUE(bringToFront(GetParent(view)));
        probe.setPanFocus(CGloWindow(view));
        SetCursorPos(home.x, home.y);
        ask(view, kClearLog);
        return view;
    }
    // Everything a gesture took is back: no button or modifier down (as the system and the
    // program see it), the cursor where the user left it and shown, the input detached.
    void expectRestored(HWND view, bool userHoldsCtrl = false) {
        for (int vk : {VK_LBUTTON, VK_MBUTTON, VK_RBUTTON, VK_SHIFT, VK_MENU})
            EXPECT_FALSE(isDown(vk)) << "key " << vk;
        EXPECT_EQ(isDown(VK_CONTROL), userHoldsCtrl);
        // The program handles the input it was sent in its own time.
        const LRESULT busy = Scrolling | HasCapture | MiddleDown | LeftDown;
        for (int i = 0; i < 100 && (ask(view, kQueryState) & busy) != 0; ++i)
            Sleep(10);
        EXPECT_EQ(ask(view, kQueryState) & busy, 0);
        const POINT cursor = cursorPos();
        EXPECT_TRUE(cursor.x == home.x && cursor.y == home.y) << at(cursor);
        EXPECT_EQ(displayCount(), 0);
        EXPECT_EQ(Access::hiddenCursors(probe), 0);
        EXPECT_FALSE(Access::attached(probe, nullptr));
    }
    void TearDown() override { Access::detach(probe); }

    std::unique_ptr<TestProgram> program;
    std::vector<HWND> views;
    POINT home = {900, 700}; // outside every view
    Probe probe;
};

} // namespace

// Through IPanWindow on a view whose client area is 300 x 300 at the screen's corner: the
// origin is (300 - 100, min(200, 150)); small motion stays in the dead band; the cursor stays in
// the window; the end clicks 4 px up-left of the origin and returns the cursor.
TEST_F(Autoscroll, ClickModeGestureFromStartToEnd) {
    start({L"GloAutoscrollView:click:0:0:300:300"});
    home = POINT{120, 240}; // on the view: IPanWindow takes the window under the cursor
    const HWND view = use(0);
    probe.setPanFocus(CGloWindow());

    probe.IPanWindow(motion(30, 40)); // the dead band takes 2 off the length: (28, 38)
    EXPECT_EQ(probe.getPanFocus().GetHWND(), view);
    EXPECT_EQ(ask(view, kQueryState) & (Scrolling | HasCapture), Scrolling | HasCapture);
    EXPECT_EQ(at(askPoint(view, kQueryOrigin)), L"200,150");
    EXPECT_EQ(at(cursorPos()), L"228,188");
    EXPECT_EQ(at(askPoint(view, kQueryOffset)), L"28,38");
    for (int i = 0; i < 50 && (ask(view, kQueryState) & MarkerShown); ++i)
        pump(20);
    EXPECT_EQ(ask(view, kQueryState) & (MarkerExists | MarkerShown), MarkerExists);

    probe.IPanWindow(motion(29, 39)); // within the dead band: the cursor stays
    EXPECT_EQ(at(cursorPos()), L"228,188");
    probe.IPanWindow(motion(5000, -5000)); // limited to the client area
    EXPECT_EQ(at(cursorPos()), L"300,0");
    EXPECT_EQ(at(askPoint(view, kQueryOffset)), L"100,-150");
    EXPECT_EQ(displayCount(), -1); // hidden once, however many events

    probe.IPanWindow(kZero);
    EXPECT_EQ(settledLog(view, L"M200,150 m L196,146 l"), L"M200,150 m L196,146 l");
    EXPECT_EQ(probe.getPanFocus().GetHWND(), nullptr);
    expectRestored(view);
    EXPECT_EQ(ask(view, kQueryState) & MarkerExists, 0);
}

// The worked origins and a first placement of each function: Word's view and rich-edit
// controls start at the right edge, halfway down; the held mode moves two thirds; every
// moving coordinate stays within the client area.
TEST_F(Autoscroll, OriginsAndPlacementsOfEachFunction) {
    start({L"_WwG:click:0:0:800:600", L"GloAutoscrollView:click:100:100:500:400",
           L"GloAutoscrollView:held:100:100:500:400", L"RichEdit20W:held:100:100:500:400"});
    struct Row {
        int view;
        Function function;
        CGlo_Event event;
        const wchar_t* origin;
        const wchar_t* cursor;
    } rows[] = {
        {0, &Probe::autoScroll, motion(30, 40), L"790,300", L"800,338"},
        {1, &Probe::autoScrollUpDown, motion(1000), L"490,250", L"490,400"},
        {1, &Probe::autoScrollLeftRight, motion(-50), L"300,390", L"252,390"},
        {2, &Probe::mbuttonPan, motion(-9, 4), L"400,250", L"396,252"}, // filtered (-7, 3)
        {3, &Probe::mbuttonPan, motion(30), L"490,250", L"500,250"},
        {2, &Probe::mbuttonUpDown, motion(30), L"490,250", L"490,268"},
        {2, &Probe::mbuttonLeftRight, motion(-30), L"300,390", L"282,390"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.origin);
        const HWND view = use(row.view);
        (probe.*row.function)(row.event);
        const POINT o = askPoint(view, kQueryOrigin);
        EXPECT_EQ(at(o), row.origin);
        EXPECT_EQ(at(cursorPos()), row.cursor);
        (probe.*row.function)(kZero);
        const std::wstring end = row.view >= 2 ? L"" : L" L" + at(POINT{o.x - 4, o.y - 4}) + L" l";
        const std::wstring log = L"M" + at(o) + L" m" + end;
        EXPECT_EQ(settledLog(view, log), log);
        expectRestored(view);
    }
}

// Held mode ends through a zero or button event, around a Ctrl the user holds, after its
// window is gone, when the program never takes the capture, and when it never lets go (the
// message box then comes from a thread of its own); click mode's end that times out still
// gives everything back.
TEST_F(Autoscroll, EveryWayOutGivesEverythingBack) {
    start({L"GloAutoscrollView:held:100:100:500:400", L"GloAutoscrollView:none:560:100:960:400",
           L"GloAutoscrollView:click:560:420:960:720"});
    InputRecorder input(false); // keys only
    ASSERT_TRUE(input.active());
    HWND view = use(0);

    for (const CGlo_Event& end : {kZero, kPress}) {
        probe.mbuttonPan(motion(60));
        EXPECT_EQ(ask(view, kQueryState) & (Scrolling | MiddleDown), Scrolling | MiddleDown);
        input.clear();
        probe.mbuttonPan(end);
        EXPECT_EQ(settledLog(view, L"M400,250 m"), L"M400,250 m");
        const std::vector<RecordedInput> tap = input.events(); // the Ctrl tap
        ASSERT_EQ(tap.size(), 2u);
        EXPECT_TRUE(tap[0].vkCode == VK_CONTROL && tap[0].message == WM_KEYDOWN);
        EXPECT_TRUE(tap[1].vkCode == VK_CONTROL && tap[1].message == WM_KEYUP);
        expectRestored(view);
        ask(view, kClearLog);
    }

    injectKey(VK_CONTROL, false); // the user holds Ctrl: it is neither tapped nor released
    probe.mbuttonPan(motion(60));
    input.clear();
    probe.mbuttonPan(kZero);
    EXPECT_TRUE(input.events().empty());
    expectRestored(view, true);
    injectKey(VK_CONTROL, true);

    ask(view, kSetSticky, 1); // the program keeps the capture after the release
    {
        MessageBoxAnswerer answerer;
        probe.mbuttonPan(motion(60));
        const Clock::time_point endAt = Clock::now();
        probe.mbuttonPan(kZero);
        EXPECT_GE(msSince(endAt), 950);
        EXPECT_LT(msSince(endAt), 3000);
        ASSERT_TRUE(answerer.waitFor(1));
        EXPECT_EQ(answerer.answered()[0].caption, L"Error");
        EXPECT_EQ(answerer.answered()[0].text, L"mbuttonpan cannot exit\n");
        EXPECT_NE(answerer.answered()[0].thread, GetCurrentThreadId());
    }
    ask(view, kSetSticky, 0);
    expectRestored(view);

    const HWND clickView = use(2);
    ask(clickView, kSetSticky, 1);
    probe.autoScroll(motion(60));
    probe.autoScroll(kZero); // the capture stays: a second's wait, no box
    ask(clickView, kSetSticky, 0);
    expectRestored(clickView);

    const HWND deaf = use(1); // no capture within a second: given back at once, no more clicks
    const Clock::time_point startAt = Clock::now();
    probe.mbuttonPan(motion(60));
    EXPECT_GE(msSince(startAt), 950);
    EXPECT_LT(msSince(startAt), 2500);
    expectRestored(deaf);
    const Clock::time_point againAt = Clock::now();
    probe.mbuttonPan(motion(80));
    EXPECT_LT(msSince(againAt), 500);
    EXPECT_EQ(settledLog(deaf, L"M860,250 m"), L"M860,250 m");
    probe.mbuttonPan(kZero);
    expectRestored(deaf);

    view = use(0); // the window goes while the button is held
    probe.mbuttonPan(motion(60));
    PostMessageW(view, kDestroy, 0, 0);
    for (int i = 0; i < 100 && IsWindow(view); ++i)
        Sleep(10);
    ASSERT_FALSE(IsWindow(view));
    probe.mbuttonPan(kZero);
    expectRestored(view);
}

// With a menu open nothing is clicked: the line functions of the same axes run instead.
TEST_F(Autoscroll, WhileAMenuIsOpenOnlyLinesScroll) {
    start({L"GloAutoscrollView:click:100:100:500:400"});
    const HWND view = use(0);
    PostMessageW(view, kOpenMenu, 0, 0);
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    for (int i = 0; i < 200 && !(GetGUIThreadInfo(0, &info) && info.hwndMenuOwner); ++i)
        Sleep(10);
    ASSERT_NE(info.hwndMenuOwner, nullptr) << "the menu never opened";
    InputRecorder input;
    probe.autoScroll(motion(350, 350));
    EXPECT_EQ(ask(view, kQueryLines), MAKELONG(1, 1));
    probe.mbuttonUpDown(kZero); // restarts the vertical line trigger
    probe.mbuttonUpDown(motion(350));
    EXPECT_EQ(ask(view, kQueryLines), MAKELONG(1, 2));
    pump(20);
    EXPECT_TRUE(input.events().empty());
    SendMessageTimeoutW(view, WM_CANCELMODE, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    expectRestored(view);
}
