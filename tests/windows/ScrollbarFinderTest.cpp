// Scroll-bar finders against layouts of real windows: bars beside a view, below it, hidden or
// disabled, inside application frames, and the enumeration record.
#include <gtest/gtest.h>

#include <windows.h>

#include "GloScrollbarFinder.h"

namespace {

struct Finder : CGlo_WindowClass {
    using CGlo_WindowClass::FindChildScrollbar;
};

HWND child(const wchar_t* cls, DWORD style, int x, int y, int w, int h, HWND parent) {
    static const bool registered = [] {
        for (const wchar_t* name :
             {L"GloFinderView", L"AVL_AVView", L"AVL_AVScrollBar", L"GloPageMakerView"}) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DefWindowProcW;
            wc.lpszClassName = name;
            RegisterClassW(&wc);
        }
        return true;
    }();
    (void)registered;
    if (parent != nullptr)
        return CreateWindowExW(0, cls, L"", WS_CHILD | style, x, y, w, h, parent, nullptr, nullptr,
                               nullptr);
    // Shown without activation: tests that use the foreground run meanwhile.
    HWND top = CreateWindowExW(0, cls, L"", WS_OVERLAPPEDWINDOW | (style & ~WS_VISIBLE), x, y, w, h,
                               nullptr, nullptr, nullptr, nullptr);
    if (style & WS_VISIBLE)
        ShowWindow(top, SW_SHOWNA);
    return top;
}

HWND bar(DWORD kind, int x, int y, int w, int h, HWND parent, DWORD style = WS_VISIBLE) {
    return child(L"ScrollBar", kind | style, x, y, w, h, parent);
}

// A view with a vertical bar on its right and a horizontal one below it, plus a vertical bar
// lying entirely below the view, first in Z order.
class Layout : public ::testing::Test {
protected:
    void SetUp() override { SetWindowPos(below, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }
    void TearDown() override { DestroyWindow(frame); }

    Finder finder;
    HWND frame = child(L"GloFinderView", WS_VISIBLE, 40, 40, 500, 400, nullptr);
    HWND view = child(L"GloFinderView", WS_VISIBLE, 20, 20, 200, 150, frame);
    HWND vbar = bar(SBS_VERT, 220, 20, 16, 150, frame);
    HWND hbar = bar(SBS_HORZ, 20, 170, 200, 16, frame);
    HWND below = bar(SBS_VERT, 240, 200, 16, 60, frame);
};

} // namespace

TEST_F(Layout, SiblingBarsAreFiledIntoTheViewAndTheHorizontalIsReturned) {
    CGloWindow window(view);
    EXPECT_EQ(finder.FindChildScrollbar(frame, WS_HSCROLL | WS_VSCROLL, window), hbar);
    EXPECT_EQ(window.GetVScrollbar().GetHWND(), vbar); // not the one below the view
    EXPECT_EQ(window.GetVScrollbar().GetStyle(), unsigned(WS_VSCROLL));
    EXPECT_EQ(window.GetHScrollbar().GetStyle(), unsigned(WS_HSCROLL));
    EXPECT_TRUE(window.IsScrollable(WS_VSCROLL));

    CGloWindow vertical(view);
    EXPECT_EQ(finder.FindChildScrollbar(frame, WS_VSCROLL, vertical), vbar);
    EXPECT_EQ(vertical.GetHScrollbar().GetHWND(), nullptr);

    // Moved beside the lower bar, the view gets that one; no parent, no window: nothing.
    SetWindowPos(view, nullptr, 20, 200, 200, 60, SWP_NOZORDER);
    CGloWindow moved(view);
    EXPECT_EQ(finder.FindChildScrollbar(frame, WS_VSCROLL, moved), below);
    CGloWindow nothing;
    EXPECT_EQ(finder.FindChildScrollbar(frame, WS_VSCROLL, nothing), nullptr);
    EXPECT_EQ(finder.FindChildScrollbar(nullptr, WS_VSCROLL, moved), nullptr);
}

TEST_F(Layout, HiddenAndDisabledBarsAreFoundButMarkedUnusable) {
    ShowWindow(vbar, SW_HIDE);
    EnableWindow(hbar, FALSE);
    CGloWindow window(view);
    EXPECT_EQ(finder.FindChildScrollbar(frame, WS_HSCROLL | WS_VSCROLL, window), hbar);
    EXPECT_EQ(window.GetVScrollbar().GetStyle(), unsigned(WS_VSCROLL | WS_DISABLED));
    EXPECT_EQ(window.GetHScrollbar().GetStyle(), unsigned(WS_HSCROLL | WS_DISABLED));
    EXPECT_FALSE(window.IsScrollable(WS_HSCROLL | WS_VSCROLL));
}

TEST_F(Layout, AcrobatBarsAreFoundInsideTheirFramesOnly) {
    CGlo_AcrobatClass acrobat;
    HWND pdfView = child(L"AVL_AVView", WS_VISIBLE, 20, 20, 200, 150, frame);
    HWND inner = child(L"GloFinderView", WS_VISIBLE, 0, 0, 50, 50, pdfView);
    // Z order from the top: the horizontal frame, then the vertical one.
    HWND vframe = child(L"AVL_AVScrollBar", WS_VISIBLE, 300, 20, 16, 150, frame);
    HWND vinner = bar(SBS_VERT, 0, 0, 16, 150, vframe);
    HWND hframe = child(L"AVL_AVScrollBar", WS_VISIBLE, 20, 300, 200, 16, frame);
    HWND hinner = bar(SBS_HORZ, 0, 0, 200, 16, hframe);
    SetWindowPos(hframe, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    CGloWindow window(pdfView);
    EXPECT_EQ(acrobat.FindChildScrollbar(frame, WS_VSCROLL, window), vinner);
    EXPECT_EQ(window.GetVScrollbar().GetHWND(), vinner);
    CGloWindow both(pdfView);
    EXPECT_EQ(acrobat.FindChildScrollbar(frame, WS_VSCROLL | WS_HSCROLL, both), hinner);
    EXPECT_EQ(acrobat.FindChildScrollbar(pdfView, WS_VSCROLL, window), nullptr);
    EXPECT_EQ(acrobat.FindChildScrollbar(nullptr, WS_VSCROLL, window), nullptr);

    EXPECT_TRUE(acrobat.IsThisWindowClass(CGloHWND(pdfView)));
    EXPECT_TRUE(acrobat.IsThisWindowClass(CGloHWND(inner))); // by its parent
    EXPECT_FALSE(acrobat.IsThisWindowClass(CGloHWND(view)));
}

TEST_F(Layout, PageMakerTakesDirectChildrenBesideTheViewAndLeavesTheViewAlone) {
    CGlo_PageMakerClass pageMaker;
    HWND nest = child(L"GloFinderView", WS_VISIBLE, 300, 0, 50, 400, frame);
    bar(SBS_VERT, 0, 0, 16, 400, nest); // a grandchild: not taken
    SetWindowPos(nest, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    CGloWindow window(view);
    EXPECT_EQ(pageMaker.FindChildScrollbar(frame, WS_VSCROLL, window), vbar);
    EXPECT_EQ(window.GetVScrollbar().GetHWND(), nullptr);
    EXPECT_EQ(pageMaker.FindChildScrollbar(frame, WS_HSCROLL, window), hbar);
    EXPECT_EQ(pageMaker.FindChildScrollbar(nullptr, WS_HSCROLL, window), nullptr);

    HWND pm = child(L"GloPageMakerView", 0, 0, 0, 10, 10, frame);
    EXPECT_TRUE(pageMaker.IsThisWindowClass(CGloHWND(pm)));
    EXPECT_FALSE(pageMaker.IsThisWindowClass(CGloHWND(view)));
}

// The record's size is checked before it is used; a search over the frame stops at the first
// direct child that fits, and takes disabled bars only when asked.
TEST_F(Layout, EnumerationRecordIsCheckedAtTheFirstScrollBar) {
    CGloWindow window(frame);
    GLO_ScrollbarSearch search = {sizeof(search), WS_HSCROLL, nullptr, {}, &window};
    GetWindowRect(view, &search.rect);
    const LPARAM record = reinterpret_cast<LPARAM>(&search);
    const auto proc = &CGlo_WindowClass::EnumChildScrollbarProc;
    EXPECT_TRUE(proc(view, 0));  // not a bar: go on, whatever the record
    EXPECT_FALSE(proc(vbar, 0)); // a bar with no record: stop
    search.size = 32 + 1;
    EXPECT_FALSE(proc(hbar, record));
    EXPECT_EQ(search.found, nullptr);

    search.size = sizeof(search);
    HWND box = bar(SBS_SIZEBOX, 20, 170, 9, 9, frame); // first, beside the view, no orientation
    SetWindowPos(box, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EnableWindow(hbar, FALSE);
    EnumChildWindows(frame, proc, record);
    EXPECT_EQ(search.found, nullptr);
    search.bars |= WS_DISABLED;
    EnumChildWindows(frame, proc, record);
    EXPECT_EQ(search.found, hbar);
    EXPECT_EQ(window.GetHScrollbar().GetHWND(), hbar);
}
