// The plug-in base's window searches: which window under the cursor scrolls, with which
// scroll-bar controls, and which window a scroll-bar control serves.
#include "GloPlugin.h"

#include "windows/GloBarlessList.h"
#include "windows/GloScrollbarSearch.h"
#include "windows/GloWindowAtPoint.h"

using namespace glo_windows;

namespace {

// Screen rectangle of the window's client area; false when the window does not exist.
bool clientRect(HWND window, RECT& rect) {
    if (window == nullptr || !GetClientRect(window, &rect))
        return false;
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return true;
}

// Walks the ancestors from `from` (inclusive) until one leaves room on either side of the
// span [low, high] along an axis (left/right or top/bottom of its client area); the probe
// coordinate is the first free pixel outside the span. Returns that ancestor, or null.
HWND besideSpan(HWND from, LONG low, LONG high, bool horizontalAxis, LONG& probe) {
    HWND ancestor = from;
    for (int n = 0; ancestor != nullptr && n < kMaxWalk; ++n) {
        RECT client;
        if (clientRect(ancestor, client)) {
            const LONG first = horizontalAxis ? client.left : client.top;
            const LONG last = horizontalAxis ? client.right : client.bottom;
            if (low - 1 > first) {
                probe = low - 1;
                return ancestor;
            }
            if (high + 1 < last) {
                probe = high + 1;
                return ancestor;
            }
        }
        ancestor = GetAncestor(ancestor, GA_PARENT);
    }
    return nullptr;
}

} // namespace

// The style test reads the window's real style; the wrapper's style word is the caller's own. A
// top-level window has the desktop for its parent, whose children are other programs' windows:
// it has no parent to search.
bool CGlo_Plugin::isWindowScrollable(CGloWindow& window, unsigned long bars) {
    HWND parent = GetAncestor(window, GA_PARENT);
    if (parent == GetDesktopWindow())
        parent = nullptr;
    if (window.IsWindowClass(L"MsoCommand") || CGloHWND(parent).IsWindowClass(L"MsoCommand"))
        return false;
    if (window.IsWindowClass(L"Internet Explorer_Server"))
        return true;
    if (window.IsScrollbar())
        return false;
    const unsigned long mask = bars & kOrientationBits;
    if ((static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)) & mask) != 0)
        return true;
    if (findChildScrollbar(window, mask, window) != nullptr ||
        (parent != nullptr && findChildScrollbar(parent, mask, window) != nullptr))
        return window.IsScrollable(mask);
    // No bar anywhere, yet a list box made without one scrolls all the same (vertically).
    return (mask & WS_VSCROLL) != 0 && scrollsWithoutBar(window);
}

// The search is a descent through the window tree and scroll-bar searches beside the windows
// met, each query a round trip to the window system (about 2 ms for another program under Wine,
// against a step every 10 ms). Its last result is reused while nothing it read has changed: the
// active and focus window, the cursor, the window at the cursor, the pan focus windows tried
// before the result, and the result's own existence (and its bars'), visibility, enabled state
// and place in the active window.
HWND CGlo_Plugin::getMouseCursorPanFocus(CGloWindow& focus, unsigned long bars) {
    enum Step { UnderCursor, Current, Previous0, Previous1, FocusWindow };
    GUITHREADINFO info;
    info.cbSize = sizeof(info);
    const bool haveInfo = GetGUIThreadInfo(0, &info) != FALSE;
    POINT cursor = {0, 0};
    const bool haveCursor = haveInfo && GetCursorPos(&cursor) != FALSE;
    // One query tells whether anything at the cursor was shown, hidden, moved or raised.
    const HWND atPoint = haveCursor ? WindowFromPoint(cursor) : nullptr;
    const HWND candidates[3] = {currentPanFocus.GetHWND(), previousPanFocus[0].GetHWND(),
                                previousPanFocus[1].GetHWND()};

    auto inside = [&](HWND candidate) {
        return haveInfo && info.hwndActive != nullptr && candidate != nullptr &&
               IsChild(info.hwndActive, candidate);
    };
    auto lastResultHolds = [&] {
        const HWND found = lastSearchFound.GetHWND();
        if (found == nullptr || !haveCursor || bars != lastSearchBars ||
            info.hwndActive != lastSearchActive || atPoint != lastSearchAtPoint ||
            cursor.x != lastSearchCursor.x || cursor.y != lastSearchCursor.y)
            return false;
        if (lastSearchStep == FocusWindow && info.hwndFocus != lastSearchFocus)
            return false;
        // A candidate tried before the result gives the same answer while it is the one
        // refused then, none, or the result itself; the result's own slot must still hold it.
        for (int slot = 0; slot + 1 < lastSearchStep && slot < 3; ++slot)
            if (candidates[slot] != lastSearchCandidates[slot] && candidates[slot] != nullptr &&
                candidates[slot] != found)
                return false;
        if (lastSearchStep >= Current && lastSearchStep <= Previous1 &&
            candidates[lastSearchStep - 1] != found)
            return false;
        const HWND vertical = lastSearchFound.GetVScrollbar().GetHWND();
        const HWND horizontal = lastSearchFound.GetHScrollbar().GetHWND();
        return IsWindowVisible(found) && IsWindowEnabled(found) &&
               (found == info.hwndActive || inside(found)) &&
               (vertical == nullptr || IsWindow(vertical)) &&
               (horizontal == nullptr || IsWindow(horizontal));
    };
    if (lastResultHolds()) {
        focus = lastSearchFound;
        return focus.GetHWND();
    }

    auto accept = [&](HWND candidate) {
        if (candidate == nullptr)
            return false;
        focus = candidate;
        return isWindowScrollable(focus, bars);
    };
    int step = UnderCursor;
    // The same GUI state serves the descent too.
    HWND under = haveCursor ? windowAtPoint(info.hwndActive, cursor) : nullptr;
    if (under != nullptr && CGloHWND(under).IsScrollbar())
        under = findScrollbarParent(under);
    bool found = accept(under);
    // A pan focus from earlier counts only while it can still be scrolled: inside the active
    // window (any depth), visible and enabled.
    if (!found) {
        step = Current;
        const HWND current = candidates[0];
        found = inside(current) && IsWindowVisible(current) && IsWindowEnabled(current) &&
                accept(current);
    }
    for (int i = 0; i < 2 && !found; ++i) {
        step = Previous0 + i;
        const HWND previous = getPreviousPanFocus(i).GetHWND();
        found = inside(previous) && accept(previous);
    }
    if (!found) {
        step = FocusWindow;
        found = haveInfo && accept(info.hwndFocus);
    }
    if (!found)
        focus = static_cast<HWND>(nullptr);

    lastSearchFound = focus;
    lastSearchCursor = cursor;
    lastSearchActive = haveInfo ? info.hwndActive : nullptr;
    lastSearchFocus = haveInfo ? info.hwndFocus : nullptr;
    lastSearchAtPoint = atPoint;
    for (int slot = 0; slot < 3; ++slot)
        lastSearchCandidates[slot] = candidates[slot];
    lastSearchBars = bars;
    lastSearchStep = step;
    return focus.GetHWND();
}

HWND CGlo_Plugin::findChildScrollbar(HWND parent, unsigned long bars, CGloWindow& window) {
    if (const HWND bar = CGlo_WindowClass::FindChildScrollbar(parent, bars, window))
        return bar;
    return acrobatFinder.FindChildScrollbar(parent, bars, window);
}

HWND CGlo_Plugin::findDescendantScrollbar(HWND parent, unsigned long bars, CGloWindow& window) {
    if (parent == nullptr) // EnumChildWindows would walk every top-level window
        return nullptr;
    GLO_ScrollbarSearch search = {sizeof(GLO_ScrollbarSearch), static_cast<unsigned>(bars), nullptr,
                                  RECT{0, 0, 0, 0}, &window};
    windowRect(window, search.rect);
    EnumChildWindows(parent, &CGlo_Plugin::EnumScrollBarProc, reinterpret_cast<LPARAM>(&search));
    return window.GetScrollbar(bars).GetHWND();
}

CGloWindow CGlo_Plugin::findScrollableWindow(HWND parent, unsigned long bars) {
    CGloWindow window(parent);
    GLO_ScrollbarSearch search = {sizeof(GLO_ScrollbarSearch), static_cast<unsigned>(bars), nullptr,
                                  RECT{0, 0, 0, 0}, &window};
    windowRect(parent, search.rect);
    if (parent != nullptr)
        EnumChildWindows(parent, &CGlo_Plugin::EnumScrollableWindowProc,
                         reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr)
        window = static_cast<HWND>(nullptr);
    return window;
}

HWND CGlo_Plugin::findScrollbarParent(HWND bar) {
    RECT r;
    if (!windowRect(bar, r))
        return nullptr;
    const HWND parent = GetAncestor(bar, GA_PARENT);
    POINT probe;
    switch (windowStyle(bar) & kKindMask) {
    case KindHorizontal:
        probe.x = (r.left + r.right) / 2;
        if (besideSpan(parent, r.top, r.bottom, false, probe.y) == nullptr)
            return nullptr;
        break;
    case KindVertical:
        probe.y = (r.top + r.bottom) / 2;
        if (besideSpan(parent, r.left, r.right, true, probe.x) == nullptr)
            return nullptr;
        break;
    case KindSizeBox:
    case KindSizeGrip: {
        const HWND across = besideSpan(parent, r.left, r.right, true, probe.x);
        if (across == nullptr || besideSpan(across, r.top, r.bottom, false, probe.y) == nullptr)
            return nullptr;
        break;
    }
    default:
        return nullptr;
    }
    return getActiveWindowFromPoint(probe);
}

BOOL CALLBACK CGlo_Plugin::EnumScrollBarProc(HWND window, LPARAM search) {
    return matchScrollbar(window, search, false);
}

// Only the orientation bits of the mask are compared with the style: WS_DISABLED there admits
// disabled bars and must not make every disabled window scrollable.
BOOL CALLBACK CGlo_Plugin::EnumScrollableWindowProc(HWND window, LPARAM search) {
    GLO_ScrollbarSearch* record = searchRecord(search);
    if (record == nullptr)
        return FALSE;
    const unsigned long style = static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE));
    if ((style & record->bars & kOrientationBits) != 0) {
        *record->window = CGloWindow(window);
        record->found = window;
        return FALSE;
    }
    return EnumScrollBarProc(window, search);
}
