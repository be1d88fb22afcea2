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
// Zoom about the pointer (Ctrl with the wheel): ZoomInOut zooms in on a deflection in its
// positive direction, ZoomOutIn out.
inline CGlo_PluginFunction zoomInOut() {
    return axisFunction(L"ZoomInOut", GLO_CALL(zoomInOut), GLO_TEXT_ZOOM_IN_OUT,
                        GLO_TEXT_ZOOM_IN_OUT, GLO_TEXT_ZOOM_OUT_IN);
}
inline CGlo_PluginFunction zoomOutIn() {
    return axisFunction(L"ZoomOutIn", GLO_CALL(zoomOutIn), GLO_TEXT_ZOOM_OUT_IN,
                        GLO_TEXT_ZOOM_OUT_IN, GLO_TEXT_ZOOM_IN_OUT);
}
// Lifting the cap (y+) zooms out, pressing it (y-) zooms in: pressing goes into the page, lifting
// rises above it to see more. No dead zone, as for the other moves of the cap.
inline CGlo_FunctionSetup zoomSetup() {
    return axisSetup(L"ZoomOutIn", AxisY, 1, 0);
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
