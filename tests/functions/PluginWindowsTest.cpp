// The plug-in base's window work against windows of the test's own in the foreground: the
// window under a point, scrollability, the pan focus and its history, the searches and
// autoscroll detection.
#include <gtest/gtest.h>

#include "tests/functions/PluginProbe.h"

using namespace glotest;

namespace {

// A frame in the foreground (client coordinates):
//   view:   WS_VSCROLL of its own               10, 10 .. 190, 140
//   sideView with a vertical bar on its right  210, 10 .. 370, 140, bar 370 .. 386
//              and a horizontal bar below        210 .. 370, 140 .. 156, size box in the corner
//   plain:  nothing to scroll                   10, 170 .. 190, 260
//   editor: the focus window, WS_VSCROLL        210, 180 .. 370, 260
class Desk : public ::testing::Test {
protected:
    void SetUp() override {
        RECT r = {0, 0, 420, 300};
        AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
        frame = makeWindow(L"GloTestFrame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100 + r.left,
                           100 + r.top, r.right - r.left, r.bottom - r.top, nullptr);
        view = makeWindow(L"GloTestView", WS_VISIBLE | WS_VSCROLL, 10, 10, 180, 130, frame);
        sideView = makeWindow(L"GloTestView", WS_VISIBLE, 210, 10, 160, 130, frame);
        vbar = makeBar(frame, SBS_VERT, 370, 10, 16, 130);
        hbar = makeBar(frame, SBS_HORZ, 210, 140, 160, 16);
        box = makeBar(frame, SBS_SIZEBOX, 370, 140, 16, 16);
        plain = makeWindow(L"GloTestView", WS_VISIBLE, 10, 170, 180, 90, frame);
        editor =
            makeWindow(L"Edit", WS_VISIBLE | WS_VSCROLL | ES_MULTILINE, 210, 180, 160, 80, frame);
        ASSERT_TRUE(bringToFront(frame));
        SetFocus(editor);
        pump(10);
        ClientToScreen(frame, &origin);
    }
    void TearDown() override { DestroyWindow(frame); }

    POINT onScreen(int x, int y) const { return POINT{origin.x + x, origin.y + y}; }

    HWND frame, view, sideView, vbar, hbar, box, plain, editor;
    POINT origin = {0, 0}; // of the frame's client area
    Probe probe;
};

} // namespace

TEST_F(Desk, WindowUnderAPointIsTheDeepestBelowTheActiveWindow) {
    EXPECT_EQ(probe.getActiveWindowFromPoint(onScreen(50, 50)), view);
    EXPECT_EQ(probe.getActiveWindowFromPoint(onScreen(400, 280)), nullptr); // the frame itself
    cursorOn(plain);
    EXPECT_EQ(probe.getWindowUnderCursor(), plain);
    EnableWindow(plain, FALSE);
    EXPECT_EQ(probe.getWindowUnderCursor(), nullptr); // skipped: the frame remains
    EnableWindow(plain, TRUE);

    // A browser's origin pane stands for the window after it; with none after it the descent
    // ends on the pane instead of finding it again for ever.
    HWND pane = makeWindow(L"MSHTML40_Origin_Class", WS_VISIBLE, 0, 0, 180, 130, view);
    HWND document = makeWindow(L"GloTestView", WS_VISIBLE, 0, 0, 180, 130, view);
    SetWindowPos(pane, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ASSERT_EQ(GetWindow(pane, GW_HWNDNEXT), document);
    EXPECT_EQ(probe.getActiveWindowFromPoint(onScreen(50, 50)), document);
    DestroyWindow(document);
    EXPECT_EQ(probe.getActiveWindowFromPoint(onScreen(50, 50)), pane);
}

// A group box is a frame above the controls it frames (dialogs list it first): the descent looks
// through it, and through one framed inside it, to the control below at the point.
TEST_F(Desk, WindowUnderAPointLooksThroughGroupBoxes) {
    auto groupBox = [&](int x, int y, int width, int height, HWND parent) {
        HWND box = CreateWindowExW(0, L"Button", L"", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, x, y,
                                   width, height, parent, nullptr, nullptr, nullptr);
        SetWindowPos(box, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        return box;
    };
    HWND inner = groupBox(5, 5, 190, 140, frame);
    HWND outer = groupBox(2, 2, 196, 146, frame); // nested: above the inner one
    EXPECT_EQ(probe.getActiveWindowFromPoint(onScreen(50, 50)), view);
    cursorOn(view);
    EXPECT_EQ(probe.getWindowUnderCursor(), view);
    // Nothing but frames at the point, or only a disabled control: the topmost frame.
    EXPECT_EQ(probe.getActiveWindowFromPoint(onScreen(7, 7)), outer);
    EnableWindow(view, FALSE);
    EXPECT_EQ(probe.getActiveWindowFromPoint(onScreen(50, 50)), outer);
    EnableWindow(view, TRUE);
    // A button that is no group box is a control like any other.
    SetWindowLongW(inner, GWL_STYLE, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON);
    EXPECT_EQ(probe.getActiveWindowFromPoint(onScreen(50, 50)), inner);
    // A frame with controls of its own is descended into.
    HWND own = groupBox(10, 170, 180, 90, frame);
    HWND inside = makeWindow(L"GloTestView", WS_VISIBLE, 20, 20, 100, 50, own);
    EXPECT_EQ(probe.getActiveWindowFromPoint(onScreen(50, 210)), inside);
    EXPECT_EQ(probe.getActiveWindowFromPoint(onScreen(15, 175)), plain);
}

TEST_F(Desk, ScrollabilityReadsTheRealStyleAndTheBarsBeside) {
    CGloWindow own(view), side(sideView), none(plain);
    EXPECT_TRUE(probe.isWindowScrollable(own, WS_VSCROLL));
    EXPECT_FALSE(probe.isWindowScrollable(own, WS_HSCROLL));
    none.SetStyle(WS_VSCROLL); // the wrapper's own word is not the window's style
    EXPECT_FALSE(probe.isWindowScrollable(none, WS_VSCROLL | WS_HSCROLL));

    EXPECT_TRUE(probe.isWindowScrollable(side, WS_VSCROLL));
    EXPECT_EQ(side.GetVScrollbar().GetHWND(), vbar);
    EnableWindow(hbar, FALSE);
    CGloWindow sideH(sideView);
    EXPECT_FALSE(probe.isWindowScrollable(sideH, WS_HSCROLL)); // its only bar is disabled
    EXPECT_EQ(sideH.GetHScrollbar().GetHWND(), hbar);

    CGloWindow bar(vbar);
    EXPECT_FALSE(probe.isWindowScrollable(bar, WS_VSCROLL | WS_HSCROLL));
    CGloWindow browser(makeWindow(L"Internet Explorer_Server", WS_VISIBLE, 0, 0, 5, 5, plain));
    EXPECT_TRUE(probe.isWindowScrollable(browser, 0));
    HWND toolbar = makeWindow(L"MsoCommandBar", WS_VISIBLE | WS_VSCROLL, 0, 0, 50, 20, plain);
    CGloWindow tool(toolbar), inTool(makeWindow(L"Edit", WS_VSCROLL, 0, 0, 5, 5, toolbar));
    EXPECT_FALSE(probe.isWindowScrollable(tool, WS_VSCROLL));
    EXPECT_FALSE(probe.isWindowScrollable(inTool, WS_VSCROLL));

    // A list box made without bars scrolls vertically once it holds more than it shows.
    HWND list = makeWindow(L"ListBox", WS_VISIBLE | LBS_NOINTEGRALHEIGHT, 0, 0, 180, 90, plain);
    CGloWindow barless(list);
    for (int entries = 0; entries < 40; ++entries) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"entry"));
        if (entries == 1)
            EXPECT_FALSE(probe.isWindowScrollable(barless, WS_VSCROLL)) << "two entries fit";
    }
    EXPECT_TRUE(probe.isWindowScrollable(barless, WS_VSCROLL));
    EXPECT_FALSE(probe.isWindowScrollable(barless, WS_HSCROLL));

    // A top-level window's parent is the desktop: another program's bar beside it is not its own.
    HWND program = makeWindow(L"GloTestFrame", WS_VISIBLE, 0, 0, 50, 600, nullptr);
    makeBar(program, SBS_VERT, 0, 0, 16, 600);
    CGloWindow top(frame);
    DestroyWindow(vbar);
    EXPECT_FALSE(probe.isWindowScrollable(top, WS_VSCROLL));
    EXPECT_EQ(top.GetVScrollbar().GetHWND(), nullptr);
    DestroyWindow(program);
}

TEST_F(Desk, PanFocusComesFromTheCursorThenTheHistoryThenTheFocusWindow) {
    CGloWindow focus;
    cursorOn(view);
    EXPECT_EQ(probe.getMouseCursorPanFocus(focus, WS_VSCROLL), view);
    // On a scroll bar (or its size box) the window it serves, with the bar filed in.
    for (HWND control : {vbar, hbar, box}) {
        cursorOn(control);
        EXPECT_EQ(probe.getMouseCursorPanFocus(focus, WS_VSCROLL), sideView);
        EXPECT_EQ(focus.GetVScrollbar().GetHWND(), vbar);
    }
    // Nothing scrolls under the cursor: the current focus, then the history, then the focus
    // window; candidates outside the active window do not count.
    cursorOn(plain);
    probe.setPanFocus(CGloWindow(sideView));
    EXPECT_EQ(probe.getMouseCursorPanFocus(focus, WS_VSCROLL), sideView);
    probe.setPanFocus(CGloWindow());
    EXPECT_EQ(probe.getMouseCursorPanFocus(focus, WS_VSCROLL), sideView); // history 0
    probe.setPanFocus(CGloWindow(view));
    probe.setPanFocus(CGloWindow());
    EXPECT_EQ(probe.getMouseCursorPanFocus(focus, WS_HSCROLL), sideView); // history 1
    EXPECT_EQ(focus.GetHScrollbar().GetHWND(), hbar);

    HWND other = makeWindow(L"GloTestView", WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_VISIBLE, 0, 0, 50,
                            50, nullptr);
    SetWindowPos(frame, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ASSERT_TRUE(bringToFront(frame));
    SetFocus(editor);
    pump(10);
    Probe fresh;
    fresh.setPanFocus(CGloWindow(other));
    EXPECT_EQ(fresh.getMouseCursorPanFocus(focus, WS_VSCROLL), editor);
    DestroyWindow(other);
    SetFocus(plain);
    EXPECT_EQ(fresh.getMouseCursorPanFocus(focus, WS_VSCROLL), nullptr);
    EXPECT_EQ(focus.GetHWND(), nullptr);
}

TEST_F(Desk, PanFocusHistoryKeepsTheLastTwoDistinctLiveWindows) {
    HWND w1 = view, w2 = sideView, w3 = plain;
    probe.setPanFocus(CGloWindow(w1));
    probe.setPanFocus(CGloWindow(w2));
    CGloWindow w3withBar(w3);
    w3withBar.SetVScrollbar(marked(vbar, WS_VSCROLL));
    probe.setPanFocus(w3withBar);
    probe.setPanFocus(CGloWindow(w3)); // the same handle: nothing changes, not even the bars
    EXPECT_EQ(probe.getPanFocus().GetVScrollbar().GetHWND(), vbar);
    EXPECT_EQ(probe.getPreviousPanFocus(0).GetHWND(), w2);
    EXPECT_EQ(probe.getPreviousPanFocus(1).GetHWND(), w1);
    probe.setPanFocus(CGloWindow(w2));
    EXPECT_EQ(probe.getPreviousPanFocus(0).GetHWND(), w3);
    EXPECT_EQ(probe.getPreviousPanFocus(1).GetHWND(), w2);
    EXPECT_EQ(probe.getPreviousPanFocus(2).GetHWND(), nullptr);
    probe.setPanFocus(probe.getPreviousPanFocus(0)); // back to the last one: a history slot itself
    EXPECT_EQ(probe.getPanFocus().GetHWND(), w3);
    EXPECT_EQ(probe.getPreviousPanFocus(0).GetHWND(), w2);

    ShowWindow(w2, SW_HIDE);
    EXPECT_EQ(probe.getPreviousPanFocus(0).GetHWND(), nullptr);
    ShowWindow(w2, SW_SHOW);
    EnableWindow(w2, FALSE);
    EXPECT_EQ(probe.getPreviousPanFocus(0).GetHWND(), nullptr);
    EnableWindow(w2, TRUE);
    EXPECT_EQ(probe.getPreviousPanFocus(0).GetHWND(), w2);
    DestroyWindow(w2);
    EXPECT_EQ(probe.getPreviousPanFocus(0).GetHWND(), nullptr);
}

TEST_F(Desk, ScrollBarParentsLieBesideTheBar) {
    // A bar filling a panel of its own: the panel leaves no room, the frame does.
    HWND panel = makeWindow(L"GloTestView", WS_VISIBLE, 190, 10, 16, 130, frame);
    HWND filling = makeBar(panel, SBS_VERT, 0, 0, 16, 130);
    EXPECT_EQ(probe.findScrollbarParent(filling), view);
    EXPECT_EQ(probe.findScrollbarParent(makeBar(frame, SBS_VERT | SBS_SIZEBOX, 0, 0, 5, 5)),
              nullptr);
    EXPECT_EQ(probe.findScrollbarParent(nullptr), nullptr);
}

TEST_F(Desk, ChildSearchTakesFirstChildrenOfFramesAndTheDescendantSearchAnyDepth) {
    DestroyWindow(vbar);
    // Beside sideView, right of its own bar: a frame holding a bar as its first child, after
    // another child, or two frames deeper. Only the first is a child search's.
    for (int layout = 0; layout < 3; ++layout) {
        SCOPED_TRACE(layout);
        HWND holder = makeWindow(L"GloTestView", WS_VISIBLE, 390, 10, 16, 130, frame);
        HWND parent = holder;
        for (int i = 0; layout == 2 && i < 2; ++i)
            parent = makeWindow(L"GloTestView", WS_VISIBLE, 0, 0, 16, 130, parent);
        HWND bar = makeBar(parent, SBS_VERT, 0, 0, 16, 130);
        if (layout == 1)
            SetWindowPos(makeWindow(L"GloTestView", WS_VISIBLE, 0, 0, 4, 4, parent), HWND_TOP, 0, 0,
                         0, 0, SWP_NOMOVE | SWP_NOSIZE);
        CGloWindow child(sideView), descendant(sideView);
        EXPECT_EQ(probe.findChildScrollbar(frame, WS_VSCROLL, child), layout == 0 ? bar : nullptr);
        EXPECT_EQ(probe.findDescendantScrollbar(frame, WS_VSCROLL, descendant), bar);
        EXPECT_EQ(descendant.GetVScrollbar().GetHWND(), bar);
        DestroyWindow(holder);
    }
    CGloWindow window(sideView);
    EXPECT_EQ(probe.findDescendantScrollbar(nullptr, WS_VSCROLL, window), nullptr);
}

TEST_F(Desk, ScrollableWindowSearchFindsStylesOrBars) {
    EXPECT_EQ(probe.findScrollableWindow(plain, WS_VSCROLL).GetHWND(), nullptr);
    HWND deep = makeWindow(L"GloTestView", WS_VISIBLE, 0, 0, 50, 50, plain);
    HWND scrolling = makeWindow(L"GloTestView", WS_VISIBLE | WS_HSCROLL, 0, 0, 40, 40, deep);
    EXPECT_EQ(probe.findScrollableWindow(plain, WS_HSCROLL).GetHWND(), scrolling);
    EXPECT_EQ(probe.findScrollableWindow(plain, WS_VSCROLL).GetHWND(), nullptr);
    // WS_DISABLED admits disabled bars; it does not make a disabled window scrollable.
    EnableWindow(scrolling, FALSE);
    SetWindowLongW(scrolling, GWL_STYLE, GetWindowLongW(scrolling, GWL_STYLE) & ~WS_HSCROLL);
    EXPECT_EQ(probe.findScrollableWindow(plain, WS_VSCROLL | WS_DISABLED).GetHWND(), nullptr);
    // A bar below the parent ends the search with the parent itself, the bar filed in.
    HWND inner = makeBar(deep, SBS_VERT, 30, 0, 16, 50);
    const CGloWindow found = probe.findScrollableWindow(plain, WS_VSCROLL);
    EXPECT_EQ(found.GetHWND(), plain);
    EXPECT_EQ(found.GetVScrollbar().GetHWND(), inner);
    EXPECT_EQ(probe.findScrollableWindow(nullptr, WS_VSCROLL).GetHWND(), nullptr);
}

TEST_F(Desk, AutoscrollIsPossibleWithoutCaptureOrWithAnOriginMarker) {
    using Access = CGlo_PluginTestAccess;
    EXPECT_TRUE(probe.isAutoscrollPossible());
    SetCapture(plain);
    EXPECT_FALSE(probe.isAutoscrollPossible()); // a capture, no marker
    HWND marker = makeWindow(L"Origin", WS_VISIBLE, 40, 30, 31, 21, plain);
    EXPECT_EQ(Access::originMarker(probe, editor), marker); // anywhere below the root
    EXPECT_TRUE(probe.isAutoscrollPossible());
    const POINT adopted = Access::origin(probe);
    EXPECT_EQ(adopted.x, origin.x + 10 + 40 + 15); // centre of the marker
    EXPECT_EQ(adopted.y, origin.y + 170 + 30 + 10);
    EXPECT_EQ(Access::savedCursor(probe).x, adopted.x);
    const RECT bounds = Access::bounds(probe); // the capture window's client area
    EXPECT_EQ(bounds.left, origin.x + 10);
    EXPECT_EQ(bounds.bottom, origin.y + 260);
    ReleaseCapture();
    EXPECT_EQ(Access::originMarker(probe, nullptr), nullptr);
}

// The arrow test reads this thread's cursor (the worker's, attached to the view's thread, in
// use); a view under 2 pixels is only centred on.
TEST_F(Desk, SafeBrowserPositionNeedsRoomAndTheArrow) {
    HWND tiny = makeWindow(L"GloTestView", WS_VISIBLE, 20, 180, 1, 40, frame);
    EXPECT_FALSE(CGlo_PluginTestAccess::safeIEPos(probe, tiny));
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_TRUE(cursor.x == origin.x + 20 && cursor.y == origin.y + 200);
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_FALSE(CGlo_PluginTestAccess::safeIEPos(probe, view));
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_TRUE(CGlo_PluginTestAccess::safeIEPos(probe, view));
}
