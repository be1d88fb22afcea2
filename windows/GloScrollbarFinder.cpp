#include "GloScrollbarFinder.h"

#include "windows/GloScrollbarSearch.h"

using namespace glo_windows;

namespace glo_windows {

BOOL matchScrollbar(HWND window, LPARAM search, bool directChildOnly) {
    if (!CGloHWND(window).IsScrollbar())
        return TRUE;
    GLO_ScrollbarSearch* record = searchRecord(search);
    if (record == nullptr)
        return FALSE;
    if (directChildOnly && GetAncestor(window, GA_PARENT) != record->window->GetHWND())
        return TRUE;
    const unsigned long style = windowStyle(window);
    if ((record->bars & WS_DISABLED) == 0 && isUnusable(window, style))
        return TRUE;
    const unsigned long kind = style & kKindMask;
    const bool vertical = kind == KindVertical;
    if ((kind != KindVertical && kind != KindHorizontal) ||
        (record->bars & (vertical ? WS_VSCROLL : WS_HSCROLL)) == 0)
        return TRUE; // size boxes, or not wanted
    const RECT& view = record->rect;
    if (view.right != 0 || view.bottom != 0) {
        RECT bar;
        if (!windowRect(window, bar))
            return TRUE; // gone meanwhile
        if (vertical ? bar.top >= view.bottom || bar.bottom <= view.top
                     : bar.left >= view.right || bar.right <= view.left)
            return TRUE;
    }
    record->found = window;
    if (vertical)
        record->window->SetVScrollbar(CGloHWND(window));
    else
        record->window->SetHScrollbar(CGloHWND(window));
    return FALSE;
}

} // namespace glo_windows

CGlo_WindowClass::CGlo_WindowClass() {}

CGlo_WindowClass::~CGlo_WindowClass() {}

BOOL CALLBACK CGlo_WindowClass::EnumChildScrollbarProc(HWND window, LPARAM search) {
    return matchScrollbar(window, search, true);
}

// The cheap tests (class, kind, orientation) come before the rectangle is read.
bool CGlo_WindowClass::IsWindowScrollbar(CGloHWND& bar, RECT& rect, unsigned long bars) {
    if (bar.GetHWND() == nullptr || !bar.IsScrollbar())
        return false;
    const unsigned long style = windowStyle(bar);
    const unsigned long kind = style & kKindMask;
    const bool vertical = kind == KindVertical;
    if ((kind != KindVertical && kind != KindHorizontal) ||
        (bars & (vertical ? WS_VSCROLL : WS_HSCROLL)) == 0)
        return false;
    RECT r;
    if (!windowRect(bar, r))
        return false;
    if (vertical ? r.top >= rect.bottom || r.bottom <= rect.top
                 : r.left >= rect.right || r.right <= rect.left)
        return false;
    const unsigned long mark = isUnusable(bar, style) ? WS_DISABLED : 0;
    bar.SetStyle(mark | (vertical ? WS_VSCROLL : WS_HSCROLL));
    return true;
}

// The view's rectangle is read only once a scroll bar turns up.
HWND CGlo_WindowClass::FindChildScrollbar(HWND parent, unsigned long bars, CGloWindow& window) {
    if (parent == nullptr || window.GetHWND() == nullptr)
        return nullptr;
    RECT rect;
    bool haveRect = false;
    HWND found[2] = {nullptr, nullptr}; // vertical, horizontal
    const unsigned long passes[2] = {WS_VSCROLL, WS_HSCROLL};
    for (int pass = 0; pass < 2; ++pass) {
        if ((bars & passes[pass]) == 0)
            continue;
        HWND child = GetWindow(parent, GW_CHILD);
        for (int n = 0; child != nullptr && n < kMaxWalk;
             ++n, child = GetWindow(child, GW_HWNDNEXT)) {
            if (child == window.GetHWND())
                continue;
            CGloHWND bar(child);
            if (!bar.IsScrollbar()) {
                // A frame around the bar: only its first child is looked at.
                bar = GetWindow(child, GW_CHILD);
                if (bar.GetHWND() == nullptr || !bar.IsScrollbar())
                    continue;
            }
            if (!haveRect && !(haveRect = windowRect(window, rect)))
                return nullptr; // the view is gone
            if (IsWindowScrollbar(bar, rect, passes[pass])) {
                window.SetScrollbar(bar);
                found[pass] = bar;
                break;
            }
        }
    }
    return found[1] != nullptr ? found[1] : found[0];
}

HWND CGlo_AcrobatClass::FindChildScrollbar(HWND parent, unsigned long bars, CGloWindow& window) {
    // FindWindowEx with a null parent would search the top-level windows.
    if (parent == nullptr || window.GetHWND() == nullptr)
        return nullptr;
    RECT rect;
    bool haveRect = false;
    HWND frame = nullptr;
    for (int n = 0; n < kMaxWalk; ++n) {
        frame = FindWindowExW(parent, frame, L"AVL_AVScrollBar", nullptr);
        if (frame == nullptr)
            break;
        CGloHWND bar(FindWindowExW(frame, nullptr, L"ScrollBar", nullptr));
        if (bar.GetHWND() == nullptr)
            continue;
        if (!haveRect && !(haveRect = windowRect(window, rect)))
            return nullptr;
        if (IsWindowScrollbar(bar, rect, bars)) {
            window.SetScrollbar(bar);
            return bar;
        }
    }
    return nullptr;
}

bool CGlo_AcrobatClass::IsThisWindowClass(const CGloHWND& window) {
    return window.IsWindowClass(L"AVL_AV") ||
           CGloHWND(GetAncestor(window, GA_PARENT)).IsWindowClass(L"AVL_AV");
}

HWND CGlo_PageMakerClass::FindChildScrollbar(HWND parent, unsigned long bars, CGloWindow& window) {
    if (parent == nullptr) // EnumChildWindows would walk every top-level window
        return nullptr;
    CGloWindow temporary(parent);
    GLO_ScrollbarSearch search = {sizeof(GLO_ScrollbarSearch), static_cast<unsigned>(bars), nullptr,
                                  RECT{0, 0, 0, 0}, &temporary};
    windowRect(window, search.rect);
    EnumChildWindows(parent, &CGlo_WindowClass::EnumChildScrollbarProc,
                     reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool CGlo_PageMakerClass::IsThisWindowClass(const CGloHWND& window) {
    return window.IsWindowClass(L"pagemaker");
}
