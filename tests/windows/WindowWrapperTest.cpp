// Window wrappers against real windows: class and text tests, caching, dead handles, and the
// filing and selection of separate scroll-bar controls.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "GloWindow.h"
#include "tests/support/HungWindow.h"

namespace {

// Top-level windows are shown without activation: tests that use the foreground run meanwhile.
HWND create(const wchar_t* cls, DWORD style, HWND parent) {
    HWND window = CreateWindowExW(0, cls, L"Glidora Test Frame", (parent ? WS_VISIBLE : 0) | style,
                                  0, 0, 100, 100, parent, nullptr, nullptr, nullptr);
    if (parent == nullptr)
        ShowWindow(window, SW_SHOWNA);
    return window;
}

CGloHWND marked(HWND hwnd, unsigned long style) {
    CGloHWND bar(hwnd);
    bar.SetStyle(style);
    return bar;
}

// A frame with a multi-line edit (holding a button) and two scroll-bar controls.
class RealWindows : public ::testing::Test {
protected:
    void TearDown() override { DestroyWindow(frame); }

    HWND frame = create(L"Static", WS_OVERLAPPEDWINDOW, nullptr);
    HWND edit = create(L"Edit", WS_CHILD | WS_VSCROLL | ES_MULTILINE, frame);
    HWND button = create(L"Button", WS_CHILD, edit);
    HWND vbar = create(L"ScrollBar", WS_CHILD | SBS_VERT, frame);
    HWND hbar = create(L"ScrollBar", WS_CHILD | SBS_HORZ, frame);
};

} // namespace

TEST_F(RealWindows, ClassAndTextAreCachedUntilTheHandleIsReplaced) {
    CGloHWND bar(vbar), view(frame);
    EXPECT_STREQ(view.GetClassNameW(), L"static");
    EXPECT_TRUE(view.IsWindowClass(L"TAT") && bar.IsScrollbar() && view.IsWindowTitle(L"Test"));
    EXPECT_FALSE(view.IsWindowClass(L"statics") || view.IsWindowTitle(L"test") ||
                 view.IsWindowText(L"Test") || view.IsWindowClass(std::wstring(400, L'x').c_str()));
    EXPECT_FALSE(CGloHWND(edit).IsScrollbar()); // WS_VSCROLL makes no scroll-bar control
    EXPECT_TRUE(CGloHWND(edit).IsChild(frame) && view.IsChild(GetDesktopWindow()));
    EXPECT_FALSE(CGloHWND(button).IsChild(frame)); // direct parent only

    SetWindowTextW(frame, std::wstring(300, L'x').c_str());
    EXPECT_TRUE(CGloHWND(view).IsWindowText(L"Glidora Test Frame")); // cached, copies too
    view.SetStyle(WS_VSCROLL);
    view = frame;
    EXPECT_EQ(std::wstring(view.GetWindowTextW()), std::wstring(259, L'x'));
    EXPECT_EQ(view.GetStyle(), 0u);

    // Empty wrappers and destroyed windows answer neutrally; a copy of a dead window's wrapper
    // still answers from the caches it filled (the class was read above).
    bar.SetStyle(WS_VSCROLL);
    DestroyWindow(vbar);
    CGloHWND copy, empty, gone(vbar);
    copy = bar;
    EXPECT_TRUE(copy.IsScrollbar() && copy.IsScrollable(WS_VSCROLL));
    for (const CGloHWND* w : {&empty, &gone}) {
        EXPECT_EQ(std::wstring(w->GetClassNameW()) + w->GetWindowTextW(), L"");
        EXPECT_FALSE(w->IsWindowClass(L"") || w->IsScrollbar() || w->IsWindowTitle(L""));
        EXPECT_FALSE(w->IsWindowText(L"") || w->IsChild(frame) || w->IsChild(nullptr));
    }
    EXPECT_FALSE(view.IsWindowTitle(nullptr));
}

TEST_F(RealWindows, ScrollbarsAreFiledByOrientationAndForgottenWithTheHandle) {
    CGloWindow view(edit);
    const CGloHWND& asBase = view;
    view.SetScrollbar(CGloHWND(vbar)); // no orientation mark: not stored
    EXPECT_EQ(view.GetVScrollbar().GetHWND(), nullptr);
    EXPECT_FALSE(asBase.IsScrollable(WS_VSCROLL)); // the window's real WS_VSCROLL does not count
    view.SetScrollbar(marked(vbar, WS_VSCROLL));
    EXPECT_EQ(view.GetScrollbar(WS_VSCROLL | WS_HSCROLL).GetHWND(), vbar);
    EXPECT_TRUE(asBase.IsScrollable(WS_HSCROLL)); // either bar, through the virtual slot
    view.SetScrollbar(marked(hbar, WS_HSCROLL | WS_DISABLED));
    EXPECT_EQ(view.GetScrollbar(WS_VSCROLL | WS_HSCROLL).GetHWND(), hbar);
    EXPECT_EQ(view.GetScrollbar(WS_VSCROLL).GetHWND(), vbar);
    view.SetVScrollbarParent(frame);

    CGloWindow copy(frame);
    copy = view;
    EXPECT_EQ(copy.GetHScrollbar().GetHWND(), hbar);
    EXPECT_EQ(CGloWindow(view).GetVScrollbarParent(), frame);
    copy.SetVScrollbar(CGloHWND());
    EXPECT_FALSE(copy.IsScrollable(WS_HSCROLL)); // the horizontal bar is disabled
    copy.SetStyle(WS_VSCROLL);
    EXPECT_TRUE(copy.IsScrollable(0));

    CGloWindow both(frame);
    both.SetScrollbar(marked(vbar, WS_VSCROLL | WS_HSCROLL));
    EXPECT_TRUE(both.GetHScrollbar().GetHWND() == vbar && both.GetVScrollbar().GetHWND() == vbar);
    view = frame;
    EXPECT_EQ(view.GetVScrollbarParent(), nullptr);
    EXPECT_FALSE(view.IsScrollable(WS_VSCROLL | WS_HSCROLL));
}

// A window whose program has stopped answering holds up nobody who reads its text: the wait is
// bounded and the text the system keeps for the window stands in.
TEST(HungWindows, TheTextOfAHungWindowIsReadWithoutWaitingForIt) {
    glotest::HungWindow hung;
    CGloHWND wrapper(hung.window());
    const DWORD start = GetTickCount();
    EXPECT_STREQ(wrapper.GetWindowTextW(), L"hung");
    EXPECT_LT(GetTickCount() - start, 2000u);
}
