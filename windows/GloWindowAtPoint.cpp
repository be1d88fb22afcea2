#include "windows/GloWindowAtPoint.h"

#include <cwchar>

#include "GloHWND.h"
#include "GloWindowFromPoint.h"
#include "windows/GloScrollbarSearch.h"

namespace glo_windows {

namespace {

// Deeper than any real window tree; a descent that gets this far has met a cycle.
const int kMaxDepth = 256;

// The class name is the one query the descent makes of every window anyway (for the origin
// pane); the style is read only for buttons.
bool isGroupBox(const CGloHWND& window) {
    return std::wcscmp(window.GetClassNameW(), L"button") == 0 &&
           (windowStyle(window) & BS_TYPEMASK) == BS_GROUPBOX;
}

HWND rawChildAt(HWND parent, POINT screen) {
    ScreenToClient(parent, &screen);
    return ChildWindowFromPointEx(parent, screen, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
}

// A group box with no control of its own at the point (most dialogs make the controls its
// siblings; a frame that holds them is descended into like any other window).
bool framesOnly(const CGloHWND& window, POINT screen) {
    if (!isGroupBox(window))
        return false;
    const HWND inside = rawChildAt(window, screen);
    return inside == nullptr || inside == window.GetHWND();
}

bool usableAt(HWND window, POINT screen) {
    const unsigned long style = windowStyle(window);
    RECT rect;
    return (style & WS_VISIBLE) != 0 && (style & WS_DISABLED) == 0 &&
           GetWindowRect(window, &rect) && PtInRect(&rect, screen);
}

// `child` (of the window descended into) itself, or for a frame the window below it in Z order
// at the point; `child` is reset to the window returned.
void lookThrough(CGloHWND& child, POINT screen) {
    if (!framesOnly(child, screen))
        return;
    HWND below = child;
    for (int n = 0; n < kMaxWalk && (below = GetWindow(below, GW_HWNDNEXT)) != nullptr; ++n) {
        if (!usableAt(below, screen))
            continue;
        CGloHWND candidate(below);
        if (!framesOnly(candidate, screen)) {
            child = candidate;
            return;
        }
    }
}

} // namespace

HWND childAtPoint(HWND parent, POINT screen) {
    CGloHWND child(rawChildAt(parent, screen));
    if (child.GetHWND() != nullptr && child.GetHWND() != parent)
        lookThrough(child, screen);
    return child;
}

// "The child is the window itself" is tested before the origin pane: an origin pane with no
// window after it ends the descent there instead of finding itself again and again.
HWND windowAtPoint(HWND active, POINT screen) {
    if (active == nullptr)
        return nullptr;
    HWND window = active;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        CGloHWND child(rawChildAt(window, screen));
        if (child.GetHWND() == nullptr || child.GetHWND() == window)
            break;
        lookThrough(child, screen);
        if (child.IsWindowClass(L"MSHTML40_Origin_Class")) {
            if (const HWND next = GetWindow(child, GW_HWNDNEXT)) {
                window = next;
                break;
            }
        }
        window = child;
    }
    return window == active ? nullptr : window;
}

} // namespace glo_windows

HWND gloWindowFromPoint(HWND active, POINT screen) {
    return glo_windows::windowAtPoint(active, screen);
}
