// Word processor (main window "OpusApp", document view "_WwG"): smooth panning through the
// program's own autoscroll, the caret on a tilt, the view by pages on a twist; the buttons copy
// and paste.
#include "GloPluginKit.h"

namespace {

using namespace glo_kit;

CGlo_PluginFunction s_functions[] = {
    panFunction(L"SmoothPan", GLO_CALL(IPanWindow), GLO_TEXT_SMOOTH_PAN,
                GLO_TEXT_SMOOTH_SCROLL_LEFT_RIGHT, GLO_TEXT_SMOOTH_SCROLL_RIGHT_LEFT,
                GLO_TEXT_SMOOTH_SCROLL_UP_DOWN, GLO_TEXT_SMOOTH_SCROLL_DOWN_UP),
    panFunction(L"LinePan", GLO_CALL(ILinePan), GLO_TEXT_LINE_SCROLL_WINDOW,
                GLO_TEXT_LINE_SCROLL_LEFT_RIGHT, GLO_TEXT_LINE_SCROLL_RIGHT_LEFT,
                GLO_TEXT_LINE_SCROLL_UP_DOWN, GLO_TEXT_LINE_SCROLL_DOWN_UP),
    axisFunction(L"CursorUpDown", GLO_CALL(cursorUpDown), GLO_TEXT_CURSOR_UP_DOWN,
                 GLO_TEXT_CURSOR_UP_DOWN, GLO_TEXT_CURSOR_DOWN_UP),
    oneShotFunction(L"PageDown", GLO_CALL(pageDown), GLO_TEXT_PAGE_DOWN),
    oneShotFunction(L"PageUp", GLO_CALL(pageUp), GLO_TEXT_PAGE_UP),
    oneShotFunction(L"ScrollPageDown", GLO_CALL(IScrollPageDown), GLO_TEXT_SCROLL_PAGE_DOWN),
    oneShotFunction(L"ScrollPageUp", GLO_CALL(IScrollPageUp), GLO_TEXT_SCROLL_PAGE_UP),
    buttonFunction(L"Copy", GLO_CALL(copy), GLO_TEXT_NONE),
    buttonFunction(L"Paste", GLO_CALL(paste), GLO_TEXT_NONE),
};

CGlo_FunctionSetup s_defaults[] = {
    panSetup(L"SmoothPan", AxisX, 1, AxisZ, 1, 0),
    axisSetup(L"CursorUpDown", AxisA, 1, 30),
    pushSetup(L"ScrollPageDown", AxisB, 1, 60),
    pushSetup(L"ScrollPageUp", AxisB, -1, 60),
};

CGlo_FunctionSetup s_buttons[] = {
    pressSetup(L"Copy", 0),
    pressSetup(L"Paste", 1),
};

// The document view beats the rest of the main window (its rulers, task panes).
int matchWordProcessor(HWND window) {
    if (hasClassAbove(window, L"_WwG"))
        return 12;
    return topLevelIs(window, L"OpusApp") ? 10 : 0;
}

} // namespace

GLO_OFFICE_PLUGIN(L"WordProcessor", matchWordProcessor, s_functions, s_defaults, s_buttons)
