// Autoscroll and middle-button panning, called directly, against glo_autoscroll_target (a program
// with the click and held scrolling of office programs): the origins and cursor placements of
// each function, the bounded capture waits, the line fallback under an open menu, and after
// every way out of a gesture the user has everything back.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/InputRecorder.h"
#include "tests/support/MessageBoxAnswerer.h"
#include "tests/functions/PluginProbe.h"
#include "tests/fixtures/autoscroll_target/AutoscrollTarget.h"
#include "functions/GloInput.h"

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

// A program handles the input it was sent, and a message that outlasted the core's bounded wait,
// in its own time: on a machine busy with other work it has been seen seconds behind. Checks of
// what it did wait that long for it, asking at a pace that leaves it time for its input.
const int kSettleMs = 15000;
const int kPollMs = 50;

// Whether `done` holds, at once or within kSettleMs.
template <class Done> bool settles(Done done) {
    for (int waited = 0; !done() && waited < kSettleMs; waited += kPollMs)
        Sleep(kPollMs);
    return done();
}

// What `read` gives once it gives `expected`, or after kSettleMs.
template <class Read, class T> T settled(Read read, const T& expected) {
    T value = read();
    settles([&] { return (value = read()) == expected; });
    return value;
}

// The view's log of button messages, its latest cursor offset from where its scrolling began,
// its line steps (horizontal, vertical).
std::wstring settledLog(HWND view, const std::wstring& expected) {
    return settled([view] { return logOf(view); }, expected);
}
std::wstring settledOffset(HWND view, const std::wstring& expected) {
    return settled([view] { return at(askPoint(view, kQueryOffset)); }, expected);
}
LRESULT settledLines(HWND view, int horizontal, int vertical) {
    return settled([view] { return ask(view, kQueryLines); },
                   static_cast<LRESULT>(MAKELONG(horizontal, vertical)));
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
    // Everything a gesture took from the user is back: no button or modifier down but the Ctrl
    // key the user holds, the cursor where the user left it and shown, the input detached.
    void expectUserHasAll(WORD userCtrl = 0) {
        for (int vk : {VK_LBUTTON, VK_MBUTTON, VK_RBUTTON, VK_SHIFT, VK_MENU})
            EXPECT_FALSE(isDown(vk)) << "key " << vk;
        for (WORD ctrl : {VK_LCONTROL, VK_RCONTROL})
            EXPECT_EQ(isDown(ctrl), ctrl == userCtrl) << "key " << ctrl;
        const POINT cursor = cursorPos();
        EXPECT_TRUE(cursor.x == home.x && cursor.y == home.y) << at(cursor);
        EXPECT_EQ(displayCount(), 0);
        EXPECT_EQ(Access::hiddenCursors(probe), 0);
        EXPECT_FALSE(Access::attached(probe, nullptr));
    }
    // ... and the program has left its scrolling, with no button down as it sees them.
    void expectRestored(HWND view, WORD userCtrl = 0) {
        const LRESULT busy = Scrolling | HasCapture | MiddleDown | LeftDown;
        EXPECT_EQ(settled([view] { return ask(view, kQueryState) & busy; }, LRESULT(0)), 0);
        expectUserHasAll(userCtrl);
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
    EXPECT_EQ(settledOffset(view, L"28,38"), L"28,38");
    for (int i = 0; i < 50 && (ask(view, kQueryState) & MarkerShown); ++i)
        pump(20);
    EXPECT_EQ(ask(view, kQueryState) & (MarkerExists | MarkerShown), MarkerExists);

    probe.IPanWindow(motion(29, 39)); // within the dead band: the cursor stays
    EXPECT_EQ(at(cursorPos()), L"228,188");
    probe.IPanWindow(motion(5000, -5000)); // limited to the client area
    EXPECT_EQ(at(cursorPos()), L"300,0");
    EXPECT_EQ(settledOffset(view, L"100,-150"), L"100,-150");
    EXPECT_EQ(displayCount(), -1); // hidden once, however many events

    probe.IPanWindow(kZero);
    EXPECT_EQ(settledLog(view, L"M200,150 m L196,146 l"), L"M200,150 m L196,146 l");
    EXPECT_EQ(probe.getPanFocus().GetHWND(), nullptr);
    expectRestored(view);
    EXPECT_EQ(ask(view, kQueryState) & MarkerExists, 0);
}

// A program whose autoscroll follows the cursor in a loop of its own (it reads the cursor's place
// when woken, before it handles its input) must not see the cursor back at the user's place while
// it still scrolls: the end moves it back only once the program has let go.
TEST_F(Autoscroll, ALoopFollowingTheCursorNeverSeesItGoBackWhileScrolling) {
    start({L"GloAutoscrollView:loop:100:100:500:400"});
    const HWND view = use(0);
    for (int gesture = 0; gesture < 5; ++gesture) {
        SCOPED_TRACE(gesture);
        probe.autoScroll(motion(60));
        EXPECT_EQ(settledOffset(view, L"58,0"), L"58,0");
        probe.autoScroll(kZero);
        EXPECT_EQ(settledLog(view, L"M400,250 m L396,246 l"), L"M400,250 m L396,246 l");
        // The end's click, or the scrolling place when the loop read the cursor just before the
        // click came in; never the user's place.
        const std::wstring seen = at(askPoint(view, kQueryOffset));
        EXPECT_TRUE(seen == L"-4,-4" || seen == L"58,0") << std::string(seen.begin(), seen.end());
        expectRestored(view);
        ask(view, kClearLog);
    }
}

// A left-handed user swapped the buttons: the click that ends click mode is the physical right
// button, which the system delivers as the primary one. (Wine 8 delivers injected buttons
// unswapped, so the program here goes on scrolling: what counts is what was injected.)
TEST_F(Autoscroll, TheEndClickIsThePrimaryButton) {
    start({L"GloAutoscrollView:click:100:100:500:400"});
    const HWND view = use(0);
    struct Swapped {
        Swapped() { SwapMouseButton(TRUE); }
        ~Swapped() { SwapMouseButton(FALSE); }
    } swapped;
    InputRecorder input;
    probe.autoScroll(motion(60));
    input.clear();
    probe.autoScroll(kZero);
    std::vector<UINT> buttons;
    for (const RecordedInput& e : input.events())
        if (e.kind == RecordedInput::Mouse && e.message != WM_MOUSEMOVE)
            buttons.push_back(e.message);
    EXPECT_EQ(buttons, (std::vector<UINT>{WM_RBUTTONDOWN, WM_RBUTTONUP}));
    ask(view, kSetSticky, 0); // ends the scrolling Wine did not end
    expectRestored(view);
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

// Held mode ends through a zero or button event, around a Ctrl the user holds on either side,
// after its window is gone, when the program never takes the capture, when it never lets go
// (the message box then comes from a thread of its own), when the gesture moves on to a window
// it cannot attach to, and over a middle button the user holds; click mode's end that times out
// still gives everything back, and so does its start, whose late capture it then takes up (but
// not a capture of another program).
TEST_F(Autoscroll, EveryWayOutGivesEverythingBack) {
    start({L"GloAutoscrollView:held:100:100:500:400", L"GloAutoscrollView:none:560:100:960:400",
           L"GloAutoscrollView:click:560:420:960:720", L"GloAutoscrollView:late:100:420:500:720"});
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

    for (WORD ctrl : {VK_LCONTROL, VK_RCONTROL}) { // held by the user: not tapped nor released
        injectKey(ctrl, false);
        probe.mbuttonPan(motion(60));
        input.clear();
        probe.mbuttonPan(kZero);
        EXPECT_TRUE(input.events().empty());
        expectRestored(view, ctrl);
        injectKey(ctrl, true);
    }

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
    probe.mbuttonPan(motion(80)); // no second click (and so no second wait)
    EXPECT_EQ(settledLog(deaf, L"M860,250 m"), L"M860,250 m");
    probe.mbuttonPan(kZero);
    expectRestored(deaf);

    const HWND late = use(3); // the capture comes after the wait: given back at once
    probe.autoScroll(motion(60));
    expectUserHasAll();
    settles([late] { return (ask(late, kQueryState) & HasCapture) != 0; });
    probe.autoScroll(motion(60)); // the program answered the gesture's click: steered and ended
    EXPECT_EQ(settledOffset(late, L"58,0"), L"58,0");
    EXPECT_EQ(Access::hiddenCursors(probe), 1);
    probe.autoScroll(kZero);
    EXPECT_EQ(settledLog(late, L"M400,570 m L396,566 l"), L"M400,570 m L396,566 l");
    expectRestored(late);

    use(1); // refused; then the user middle-drags in another program: that capture is not ours
    probe.autoScroll(motion(60));
    {
        TestProgram other(std::wstring(kProgram) + L" --parent " +
                          std::to_wstring(GetCurrentProcessId()) +
                          L" GloAutoscrollView:held:100:420:500:720");
        const HWND dragged = findView(other.id(), 0);
        ASSERT_NE(dragged, nullptr);
        ASSERT_TRUE(bringToFront(GetParent(dragged)));
        home = POINT{300, 570};
        SetCursorPos(home.x, home.y);
        INPUT drag = {INPUT_MOUSE};
        drag.mi.dwFlags = MOUSEEVENTF_MIDDLEDOWN;
        SendInput(1, &drag, sizeof(drag));
        settles([dragged] { return (ask(dragged, kQueryState) & HasCapture) != 0; });
        ASSERT_TRUE(ask(dragged, kQueryState) & HasCapture);
        probe.autoScroll(motion(60));
        EXPECT_FALSE(Access::attached(probe, nullptr));
        EXPECT_EQ(Access::hiddenCursors(probe), 0);
        drag.mi.dwFlags = MOUSEEVENTF_MIDDLEUP;
        SendInput(1, &drag, sizeof(drag));
        probe.autoScroll(kZero);
        EXPECT_EQ(settledLog(dragged, L"M300,570 m"), L"M300,570 m");
        expectRestored(dragged);
        home = POINT{900, 700};
    }

    view = use(0); // on to a window whose input cannot be attached (one of this thread)
    probe.mbuttonPan(motion(60));
    ask(view, kSetSticky, 0); // the program lets go of the capture; the button is still down
    const HWND own = makeWindow(L"GloTestView", WS_POPUP | WS_VISIBLE, 600, 450, 200, 200, nullptr);
    probe.setPanFocus(CGloWindow(own));
    probe.mbuttonPan(motion(60));
    expectUserHasAll();
    probe.mbuttonPan(kZero);
    expectRestored(view);
    DestroyWindow(own);

    home = POINT{700, 200}; // the user holds the middle button on a program that does not pan
    const HWND still = use(1);
    INPUT press = {INPUT_MOUSE};
    press.mi.dwFlags = MOUSEEVENTF_MIDDLEDOWN;
    SendInput(1, &press, sizeof(press));
    probe.mbuttonPan(motion(60)); // no press of ours, which would end with the user's release
    probe.mbuttonPan(kZero);
    EXPECT_TRUE(isDown(VK_MBUTTON));
    EXPECT_EQ(at(cursorPos()), L"860,250"); // on the origin, as for the user's own held pan
    press.mi.dwFlags = MOUSEEVENTF_MIDDLEUP;
    SendInput(1, &press, sizeof(press));
    SetCursorPos(home.x, home.y);
    EXPECT_EQ(settledLog(still, L"M700,200 m"), L"M700,200 m");
    expectRestored(still);
    home = POINT{900, 700};

    view = use(0); // the window goes while the button is held
    probe.mbuttonPan(motion(60));
    PostMessageW(view, kDestroy, 0, 0);
    ASSERT_TRUE(settles([view] { return !IsWindow(view); }));
    probe.mbuttonPan(kZero);
    expectRestored(view);
}

// A busy program takes the capture for a click-mode start only after the start gave up waiting:
// when that comes with the end, or after it (while the worker watches for it, or while the
// application stops), the program is still clicked out of its scrolling and the cursor goes back
// to where the user has it then. While the user holds a button (an X button too) the capture is
// the user's.
TEST_F(Autoscroll, ALateCaptureIsEndedWhenItComes) {
    start({L"GloAutoscrollView:busy:100:100:500:400"});
    const HWND busy = use(0);
    const std::wstring clicked = L"M400,250 m L396,246 l";
    // The worker's end clicks first and detaches last.
    auto workerEnded = [this] { settles([this] { return !Access::attached(probe, nullptr); }); };

    probe.autoScroll(motion(60)); // no capture within a second: given back at once
    expectUserHasAll();
    home = POINT{880, 680}; // the user moves on
    SetCursorPos(home.x, home.y);
    probe.autoScroll(kZero); // a flick, over before the program answers
    ask(busy, kAnswerClick);
    EXPECT_EQ(settledLog(busy, clicked), clicked);
    workerEnded();
    expectRestored(busy);

    use(0);
    probe.autoScroll(motion(60));
    ask(busy, kAnswerClick);
    probe.autoScroll(kZero); // the end comes after the capture
    EXPECT_EQ(settledLog(busy, clicked), clicked);
    expectRestored(busy);

    home = POINT{300, 300}; // on the program: the button goes to it
    use(0);
    probe.autoScroll(motion(60));
    INPUT x = {};
    x.type = INPUT_MOUSE;
    x.mi.mouseData = XBUTTON1;
    x.mi.dwFlags = MOUSEEVENTF_XDOWN;
    SendInput(1, &x, sizeof(x));
    ask(busy, kAnswerClick);
    probe.autoScroll(kZero);
    Sleep(300);
    EXPECT_EQ(logOf(busy), L"M400,250 m"); // not clicked while the user holds the button
    x.mi.dwFlags = MOUSEEVENTF_XUP;
    SendInput(1, &x, sizeof(x));
    EXPECT_EQ(settledLog(busy, clicked), clicked);
    workerEnded();
    expectRestored(busy);

    use(0);
    std::unique_ptr<Probe> stopping(new Probe);
    stopping->setPanFocus(CGloWindow(busy));
    stopping->autoScroll(motion(60));
    stopping->autoScroll(kZero);
    ask(busy, kAnswerClick);
    stopping.reset(); // its worker's last look: whether or not it saw the capture before
    EXPECT_EQ(settledLog(busy, clicked), clicked);
    expectRestored(busy);
}

// With a menu open nothing is clicked: line functions run instead, linePan for the held
// left-right function.
TEST_F(Autoscroll, WhileAMenuIsOpenOnlyLinesScroll) {
    start({L"GloAutoscrollView:click:100:100:500:400"});
    const HWND view = use(0);
    PostMessageW(view, kOpenMenu, 0, 0);
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    settles([&info] { return GetGUIThreadInfo(0, &info) && info.hwndMenuOwner != nullptr; });
    ASSERT_NE(info.hwndMenuOwner, nullptr) << "the menu never opened";
    InputRecorder input;
    probe.autoScroll(motion(350, 350));
    EXPECT_EQ(settledLines(view, 1, 1), MAKELONG(1, 1));
    probe.mbuttonUpDown(kZero); // restarts the vertical line trigger
    probe.mbuttonUpDown(motion(350));
    EXPECT_EQ(settledLines(view, 1, 2), MAKELONG(1, 2));
    probe.mbuttonLeftRight(kZero); // linePan, a plug-in's own if it has one: both triggers
    probe.mbuttonLeftRight(motion(350, 350));
    EXPECT_EQ(settledLines(view, 2, 3), MAKELONG(2, 3));
    pump(20);
    EXPECT_TRUE(input.events().empty());
    SendMessageTimeoutW(view, WM_CANCELMODE, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    expectRestored(view);
}

namespace {

// While set, the system refuses every button release, as with a secure desktop in front; the
// rest goes through.
bool g_refuseReleases = false;

UINT WINAPI refusingReleases(UINT count, LPINPUT inputs, int size) {
    const DWORD ups = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_MIDDLEUP | MOUSEEVENTF_RIGHTUP;
    for (UINT i = 0; g_refuseReleases && i < count; ++i)
        if (inputs[i].type == INPUT_MOUSE && (inputs[i].mi.dwFlags & ups) != 0)
            return i > 0 ? SendInput(i, inputs, size) : 0;
    return SendInput(count, inputs, size);
}

} // namespace

// A release the system refuses stays owed, while the user gets everything else back: the
// worker releases the button as soon as the system takes it, or when the application goes.
TEST_F(Autoscroll, AReleaseTheSystemRefusesIsTriedAgain) {
    start({L"GloAutoscrollView:held:100:100:500:400", L"GloAutoscrollView:click:560:100:960:400"});
    Access::setSender(probe, &refusingReleases);
    HWND view = use(0);
    probe.mbuttonPan(motion(60));
    g_refuseReleases = true;
    {
        MessageBoxAnswerer answerer; // the program keeps the capture while the button is down
        probe.mbuttonPan(kZero);
        EXPECT_TRUE(answerer.waitFor(1));
    }
    EXPECT_TRUE(isDown(VK_MBUTTON));
    EXPECT_EQ(at(cursorPos()), at(home));
    EXPECT_FALSE(Access::attached(probe, nullptr));
    g_refuseReleases = false; // no event comes: the worker tries again on its own
    EXPECT_TRUE(settles([] { return !isDown(VK_MBUTTON); }));
    expectRestored(view);

    view = use(1);
    std::unique_ptr<Probe> other(new Probe);
    Access::setSender(*other, &refusingReleases);
    other->setPanFocus(CGloWindow(view));
    other->autoScroll(motion(60));
    g_refuseReleases = true;
    other->autoScroll(kZero); // the end's click stays down
    EXPECT_TRUE(isDown(VK_LBUTTON));
    g_refuseReleases = false;
    other.reset();
    expectRestored(view);
}

// An absolute move reaches a point on any monitor: the virtual desktop may begin left of and
// above the primary screen.
TEST(MouseInput, AbsoluteMovesCountFromTheVirtualDesktopsCorner) {
    const RECT desktop = {-1280, -200, 1920, 1080};
    using glo_functions::normalisedPoint;
    EXPECT_EQ(at(normalisedPoint(POINT{-1280, -200}, desktop, 65536)), L"0,0");
    EXPECT_EQ(at(normalisedPoint(POINT{0, 0}, desktop, 65536)), L"26214,10240");
    EXPECT_EQ(at(normalisedPoint(POINT{1919, 1079}, desktop, 65536)), L"65515,65484");
}
