#include "GloScrollbarFinder.h"

#include "GloScrollbarSearch.h"

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
    WINDOWINFO info;
    info.cbSize = sizeof(info);
    if (!GetWindowInfo(window, &info))
        return TRUE; // gone meanwhile
    if ((record->bars & WS_DISABLED) == 0 && isUnusable(window, info.dwStyle))
        return TRUE;
    const RECT& bar = info.rcWindow;
    const RECT& view = record->rect;
    const bool anyRect = view.right != 0 || view.bottom != 0;
    switch (info.dwStyle & kKindMask) {
    case KindVertical:
        if ((record->bars & WS_VSCROLL) == 0 ||
            (anyRect && (bar.top >= view.bottom || bar.bottom <= view.top)))
            return TRUE;
        record->found = window;
        record->window->SetVScrollbar(CGloHWND(window));
        return FALSE;
    case KindHorizontal:
        if ((record->bars & WS_HSCROLL) == 0 ||
            (anyRect && (bar.left >= view.right || bar.right <= view.left)))
            return TRUE;
        record->found = window;
        record->window->SetHScrollbar(CGloHWND(window));
        return FALSE;
    default:
        return TRUE; // size boxes
    }
}

} // namespace glo_windows

CGlo_WindowClass::CGlo_WindowClass() {}

CGlo_WindowClass::~CGlo_WindowClass() {}

BOOL CALLBACK CGlo_WindowClass::EnumChildScrollbarProc(HWND window, LPARAM search) {
    return matchScrollbar(window, search, true);
}

bool CGlo_WindowClass::IsWindowScrollbar(CGloHWND& bar, RECT& rect, unsigned long bars) {
    if (bar.GetHWND() == nullptr)
        return false;
    WINDOWINFO info;
    info.cbSize = sizeof(info);
    if (!GetWindowInfo(bar, &info) || !bar.IsScrollbar())
        return false;
    const unsigned long mark = isUnusable(bar, info.dwStyle) ? WS_DISABLED : 0;
    const RECT& r = info.rcWindow;
    switch (info.dwStyle & kKindMask) {
    case KindVertical:
        if ((bars & WS_VSCROLL) == 0 || r.top >= rect.bottom || r.bottom <= rect.top)
            return false;
        bar.SetStyle(mark | WS_VSCROLL);
        return true;
    case KindHorizontal:
        if ((bars & WS_HSCROLL) == 0 || r.left >= rect.right || r.right <= rect.left)
            return false;
        bar.SetStyle(mark | WS_HSCROLL);
        return true;
    default:
        return false;
    }
}

HWND CGlo_WindowClass::FindChildScrollbar(HWND parent, unsigned long bars, CGloWindow& window) {
    RECT rect;
    if (parent == nullptr || !windowRect(window, rect))
        return nullptr;
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
    RECT rect;
    // FindWindowEx with a null parent would search the top-level windows.
    if (parent == nullptr || !windowRect(window, rect))
        return nullptr;
    HWND frame = nullptr;
    for (int n = 0; n < kMaxWalk; ++n) {
        frame = FindWindowExW(parent, frame, L"AVL_AVScrollBar", nullptr);
        if (frame == nullptr)
            break;
        CGloHWND bar(FindWindowExW(frame, nullptr, L"ScrollBar", nullptr));
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
