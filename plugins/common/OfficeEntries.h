// Function-table entries that several shipped plug-ins share, under the same name everywhere:
// a setup names its function, so a .cfg written for one program reads the same in another.
#pragma once

#include "GloPluginKit.h"

namespace office_entries {

using namespace glo_kit;

inline CGlo_PluginFunction linePan() {
    return panFunction(L"LinePan", GLO_CALL(ILinePan), GLO_TEXT_LINE_SCROLL_WINDOW,
                       GLO_TEXT_LINE_SCROLL_LEFT_RIGHT, GLO_TEXT_LINE_SCROLL_RIGHT_LEFT,
                       GLO_TEXT_LINE_SCROLL_UP_DOWN, GLO_TEXT_LINE_SCROLL_DOWN_UP);
}
inline CGlo_PluginFunction smoothPan() {
    return panFunction(L"SmoothPan", GLO_CALL(IPanWindow), GLO_TEXT_SMOOTH_PAN,
                       GLO_TEXT_SMOOTH_SCROLL_LEFT_RIGHT, GLO_TEXT_SMOOTH_SCROLL_RIGHT_LEFT,
                       GLO_TEXT_SMOOTH_SCROLL_UP_DOWN, GLO_TEXT_SMOOTH_SCROLL_DOWN_UP);
}
inline CGlo_PluginFunction wheel() {
    return axisFunction(L"Wheel", GLO_CALL(mouseWheel), GLO_TEXT_MOUSE_WHEEL,
                        GLO_TEXT_MOUSE_WHEEL_UP_DOWN, GLO_TEXT_MOUSE_WHEEL_DOWN_UP);
}
inline CGlo_PluginFunction cursorUpDown() {
    return axisFunction(L"CursorUpDown", GLO_CALL(cursorUpDown), GLO_TEXT_CURSOR_UP_DOWN,
                        GLO_TEXT_CURSOR_UP_DOWN, GLO_TEXT_CURSOR_DOWN_UP);
}
// The page keys (they move the caret or selection a page) and the scroll bar's own page steps
// (they move the view under the cursor).
inline CGlo_PluginFunction pageDown() {
    return oneShotFunction(L"PageDown", GLO_CALL(pageDown), GLO_TEXT_PAGE_DOWN);
}
inline CGlo_PluginFunction pageUp() {
    return oneShotFunction(L"PageUp", GLO_CALL(pageUp), GLO_TEXT_PAGE_UP);
}
inline CGlo_PluginFunction scrollPageDown() {
    return oneShotFunction(L"ScrollPageDown", GLO_CALL(IScrollPageDown), GLO_TEXT_SCROLL_PAGE_DOWN);
}
inline CGlo_PluginFunction scrollPageUp() {
    return oneShotFunction(L"ScrollPageUp", GLO_CALL(IScrollPageUp), GLO_TEXT_SCROLL_PAGE_UP);
}
inline CGlo_PluginFunction copyButton() {
    return buttonFunction(L"Copy", GLO_CALL(copy), GLO_TEXT_NONE);
}
inline CGlo_PluginFunction pasteButton() {
    return buttonFunction(L"Paste", GLO_CALL(paste), GLO_TEXT_NONE);
}

} // namespace office_entries
