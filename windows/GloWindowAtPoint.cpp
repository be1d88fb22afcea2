#include "GloWindowAtPoint.h"

#include <cwchar>

#include "GloHWND.h"
#include "GloScrollbarSearch.h"

namespace glo_windows {

namespace {

// Deeper than any real window tree; a descent that gets this far has met a cycle.
const int kMaxDepth = 256;

bool isGroupBox(HWND window) {
    wchar_t name[8] = L"";
    return GetClassNameW(window, name, 8) == 6 && _wcsicmp(name, L"Button") == 0 &&
           (windowStyle(window) & BS_TYPEMASK) == BS_GROUPBOX;
}

bool usableAt(HWND window, POINT screen) {
    const unsigned long style = windowStyle(window);
    RECT rect;
    return (style & WS_VISIBLE) != 0 && (style & WS_DISABLED) == 0 &&
           GetWindowRect(window, &rect) && PtInRect(&rect, screen);
}

HWND rawChildAt(HWND parent, POINT screen) {
    ScreenToClient(parent, &screen);
    return ChildWindowFromPointEx(parent, screen, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
}

// A frame that holds controls of its own (some programs make them its children, not its
// siblings) is descended into like any other window.
bool framesOnly(HWND window, POINT screen) {
    if (!isGroupBox(window))
        return false;
    const HWND inside = rawChildAt(window, screen);
    return inside == nullptr || inside == window;
}

} // namespace

HWND childAtPoint(HWND parent, POINT screen) {
    const HWND child = rawChildAt(parent, screen);
    if (child == nullptr || child == parent || !framesOnly(child, screen))
        return child;
    HWND below = child;
    for (int n = 0; n < kMaxWalk && (below = GetWindow(below, GW_HWNDNEXT)) != nullptr; ++n)
        if (usableAt(below, screen) && !framesOnly(below, screen))
            return below;
    return child;
}

// "The child is the window itself" is tested before the origin pane: an origin pane with no
// window after it ends the descent there instead of finding itself again and again.
HWND windowAtPoint(HWND active, POINT screen) {
    if (active == nullptr)
        return nullptr;
    HWND window = active;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        const HWND child = childAtPoint(window, screen);
        if (child == nullptr || child == window)
            break;
        if (CGloHWND(child).IsWindowClass(L"MSHTML40_Origin_Class")) {
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
