// Window wrappers against real windows: class and text tests, caching, dead handles, and the
// filing and selection of separate scroll-bar controls.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "GloWindow.h"

namespace {

CGloHWND marked(HWND hwnd, unsigned long style) {
    CGloHWND bar(hwnd);
    bar.SetStyle(style);
    return bar;
}

} // namespace

// A frame with a multi-line edit, two scroll-bar controls and a panel holding a button.
class RealWindows : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Glo_Test_Frame";
        RegisterClassW(&wc); // already registered after the first test
        frame = CreateWindowExW(0, wc.lpszClassName, L"Glidora Test Frame", WS_OVERLAPPEDWINDOW, 0,
                                0, 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(frame, nullptr);
        edit = child(L"Edit", WS_VSCROLL | ES_MULTILINE, frame);
        vbar = child(L"ScrollBar", SBS_VERT, frame);
        hbar = child(L"ScrollBar", SBS_HORZ, frame);
        panel = child(L"Static", 0, frame);
        button = child(L"Button", 0, panel);
    }
    void TearDown() override { DestroyWindow(frame); }

    HWND child(const wchar_t* cls, DWORD style, HWND parent) {
        HWND hwnd = CreateWindowExW(0, cls, nullptr, WS_CHILD | WS_VISIBLE | style, 0, 0, 100, 100,
                                    parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(hwnd, nullptr);
        return hwnd;
    }

    HWND frame = nullptr, edit = nullptr, vbar = nullptr, hbar = nullptr, panel = nullptr,
         button = nullptr;
};

TEST_F(RealWindows, ClassAndTitleTests) {
    CGloHWND bar(vbar), view(frame), editor(edit);
    EXPECT_STREQ(bar.GetClassNameW(), L"scrollbar");
    EXPECT_TRUE(bar.IsScrollbar());
    EXPECT_TRUE(view.IsWindowClass(L"Test_F"));
    EXPECT_FALSE(view.IsWindowClass(L"Glo_Test_Frame_"));
    EXPECT_FALSE(view.IsWindowClass(std::wstring(400, L'x').c_str()));
    EXPECT_FALSE(editor.IsScrollbar()); // WS_VSCROLL does not make a scroll-bar control

    EXPECT_TRUE(view.IsWindowTitle(L"Test"));
    EXPECT_FALSE(view.IsWindowTitle(L"test"));
    EXPECT_FALSE(view.IsWindowText(L"Test"));
    EXPECT_TRUE(view.IsWindowText(L"Glidora Test Frame"));
    EXPECT_TRUE(bar.IsWindowText(L"")); // a live window without text

    EXPECT_TRUE(editor.IsChild(frame));
    EXPECT_FALSE(CGloHWND(button).IsChild(frame)); // direct parent only
    EXPECT_TRUE(view.IsChild(GetDesktopWindow()));
}

TEST_F(RealWindows, CachesLastUntilTheHandleIsReplaced) {
    std::wstring text;
    for (int i = 0; i < 300; ++i)
        text += static_cast<wchar_t>(L'a' + i % 26);
    SetWindowTextW(frame, text.c_str());
    CGloHWND view(frame);
    EXPECT_EQ(std::wstring(view.GetWindowTextW()), text.substr(0, 259));
    SetWindowTextW(frame, L"Renamed");
    EXPECT_EQ(std::wstring(CGloHWND(view).GetWindowTextW()), text.substr(0, 259));

    view.SetStyle(WS_VSCROLL);
    view = frame;
    EXPECT_STREQ(view.GetWindowTextW(), L"Renamed");
    EXPECT_EQ(view.GetStyle(), 0u);

    // Copies answer from the caches once the window is gone.
    HWND doomed = child(L"ScrollBar", SBS_HORZ, frame);
    CGloHWND original = marked(doomed, WS_HSCROLL);
    original.GetClassNameW();
    DestroyWindow(doomed);
    CGloHWND copy;
    copy = original;
    EXPECT_TRUE(copy.IsScrollbar());
    EXPECT_TRUE(copy.IsScrollable(WS_HSCROLL));
}

TEST_F(RealWindows, EmptyAndDestroyedHandlesAnswerNeutrally) {
    HWND dead = child(L"Edit", 0, frame);
    DestroyWindow(dead);
    CGloHWND empty, gone(dead);
    for (const CGloHWND* w : {&empty, &gone}) {
        EXPECT_STREQ(w->GetClassNameW(), L"");
        EXPECT_STREQ(w->GetWindowTextW(), L"");
        EXPECT_FALSE(w->IsWindowClass(L""));
        EXPECT_FALSE(w->IsScrollbar());
        EXPECT_FALSE(w->IsWindowTitle(L""));
        EXPECT_FALSE(w->IsWindowText(L""));
        EXPECT_FALSE(w->IsChild(frame));
        EXPECT_FALSE(w->IsChild(nullptr));
    }
    EXPECT_FALSE(CGloHWND(frame).IsWindowTitle(nullptr));
}

TEST_F(RealWindows, ScrollbarsAreFiledAndSelectedByOrientation) {
    CGloWindow view(edit);
    view.SetScrollbar(CGloHWND(vbar)); // no orientation mark: not stored
    EXPECT_EQ(view.GetVScrollbar().GetHWND(), nullptr);
    view.SetScrollbar(marked(vbar, WS_VSCROLL));
    EXPECT_EQ(view.GetScrollbar(WS_VSCROLL | WS_HSCROLL).GetHWND(), vbar);
    view.SetScrollbar(marked(hbar, WS_HSCROLL));
    EXPECT_EQ(view.GetScrollbar(WS_VSCROLL | WS_HSCROLL).GetHWND(), hbar);
    EXPECT_EQ(view.GetScrollbar(WS_VSCROLL).GetHWND(), vbar);
    const CGloHWND& none = view.GetScrollbar(WS_DISABLED);
    EXPECT_EQ(&none, &CGloWindow().GetScrollbar(0)); // the shared empty wrapper
    EXPECT_EQ(none.GetHWND(), nullptr);

    CGloWindow both(frame);
    both.SetScrollbar(marked(vbar, WS_VSCROLL | WS_HSCROLL));
    EXPECT_EQ(both.GetHScrollbar().GetHWND(), vbar);
    EXPECT_EQ(both.GetVScrollbar().GetHWND(), vbar);

    // Scrollable through the window's own style word, else either bar; the window's real
    // WS_VSCROLL and the argument are not consulted.
    CGloWindow own(edit);
    const CGloHWND& asBase = own;
    EXPECT_FALSE(asBase.IsScrollable(WS_VSCROLL));
    own.SetHScrollbar(marked(hbar, WS_HSCROLL));
    EXPECT_TRUE(asBase.IsScrollable(WS_VSCROLL)); // through the virtual slot
    own.SetHScrollbar(marked(hbar, WS_HSCROLL | WS_DISABLED));
    EXPECT_FALSE(own.IsScrollable(WS_HSCROLL));
    own.SetStyle(WS_VSCROLL);
    EXPECT_TRUE(own.IsScrollable(0));
}

TEST_F(RealWindows, CopyKeepsEachPartInItsSlotAndHandleAssignmentForgetsThem) {
    CGloWindow view(edit);
    view.SetScrollbar(marked(vbar, WS_VSCROLL));
    view.SetScrollbar(marked(hbar, WS_HSCROLL));
    view.SetVScrollbarParent(frame);
    view.SetHScrollbarParent(panel);

    CGloWindow copy(frame);
    copy = view;
    EXPECT_EQ(copy.GetHWND(), edit);
    EXPECT_EQ(copy.GetVScrollbar().GetHWND(), vbar);
    EXPECT_EQ(copy.GetHScrollbar().GetStyle(), static_cast<unsigned long>(WS_HSCROLL));
    EXPECT_EQ(CGloWindow(view).GetVScrollbarParent(), frame);
    EXPECT_EQ(copy.GetHScrollbarParent(), panel);

    copy = frame;
    EXPECT_STREQ(copy.GetClassNameW(), L"glo_test_frame");
    EXPECT_EQ(copy.GetVScrollbar().GetHWND(), nullptr);
    EXPECT_EQ(copy.GetHScrollbar().GetHWND(), nullptr);
    EXPECT_EQ(copy.GetVScrollbarParent(), nullptr);
    EXPECT_EQ(copy.GetHScrollbarParent(), nullptr);
    EXPECT_FALSE(copy.IsScrollable(WS_VSCROLL | WS_HSCROLL));
}
