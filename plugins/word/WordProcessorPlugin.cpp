// Word processor (main window "OpusApp", document view "_WwG"): smooth panning through the
// program's own autoscroll, the caret on a tilt, the view by pages on a twist; the buttons copy
// and paste.
#include "GloPluginKit.h"

namespace {

using namespace glo_kit;

CGlo_PluginFunction s_functions[] = {
    panFunction(L"SmoothPan", GLO_CALL(IPanWindow), 56, 44, 45, 46, 47),
    panFunction(L"LinePan", GLO_CALL(ILinePan), 9, 11, 13, 10, 12),
    axisFunction(L"CursorUpDown", GLO_CALL(cursorUpDown), 37, 37, 38),
    oneShotFunction(L"PageDown", GLO_CALL(pageDown), 26),
    oneShotFunction(L"PageUp", GLO_CALL(pageUp), 25),
    oneShotFunction(L"ScrollPageDown", GLO_CALL(IScrollPageDown), 59),
    oneShotFunction(L"ScrollPageUp", GLO_CALL(IScrollPageUp), 58),
    buttonFunction(L"Copy", GLO_CALL(copy), 0),
    buttonFunction(L"Paste", GLO_CALL(paste), 0),
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
