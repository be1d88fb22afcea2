// Helpers shared by the scroll-bar finders and the plug-in base's window searches.
#pragma once

#include <windows.h>

#include "GloScrollbarFinder.h"

namespace glo_windows {

// Control kinds by the style bits SBS_VERT | SBS_SIZEBOX | SBS_SIZEGRIP.
enum ScrollbarKind : unsigned long {
    KindHorizontal = 0,
    KindVertical = SBS_VERT,
    KindSizeBox = SBS_SIZEBOX,
    KindSizeGrip = SBS_SIZEGRIP,
};
const unsigned long kKindMask = SBS_VERT | SBS_SIZEBOX | SBS_SIZEGRIP;
const unsigned long kOrientationBits = WS_HSCROLL | WS_VSCROLL;

// Sibling and ancestor walks stop here: a window tree that is rearranged while it is walked can
// form a cycle.
const int kMaxWalk = 4096;

// A bar that cannot be used: disabled, or not visible.
inline bool isUnusable(HWND window, DWORD style) {
    return (style & WS_DISABLED) != 0 || !IsWindowVisible(window);
}

// Screen rectangle of a window; false when it does not exist. (One query: each one costs a
// round trip to the window system under Wine, which the search does per event.)
inline bool windowRect(HWND window, RECT& rect) {
    if (window == nullptr || !GetWindowRect(window, &rect)) {
        rect = RECT{0, 0, 0, 0};
        return false;
    }
    return true;
}

inline unsigned long windowStyle(HWND window) {
    return static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE));
}

// Valid search record, or null.
inline GLO_ScrollbarSearch* searchRecord(LPARAM search) {
    GLO_ScrollbarSearch* record = reinterpret_cast<GLO_ScrollbarSearch*>(search);
    if (record == nullptr || record->size != sizeof(GLO_ScrollbarSearch) ||
        record->window == nullptr)
        return nullptr;
    return record;
}

// One step of the scroll-bar enumerations: TRUE goes on, FALSE stops. With `directChildOnly`
// a bar counts only as a direct child of the record's window.
BOOL matchScrollbar(HWND window, LPARAM search, bool directChildOnly);

} // namespace glo_windows
