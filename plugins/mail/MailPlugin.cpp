// Mail program (main window "rctrl_renwnd32"): the cap pans the message or list by lines and a
// twist by pages, a tilt goes to the next or previous item; the buttons copy and paste.
#include "GloPluginKit.h"

namespace {

using namespace glo_kit;

CGlo_PluginFunction s_functions[] = {
    panFunction(L"LinePan", GLO_CALL(ILinePan), 9, 11, 13, 10, 12),
    axisFunction(L"NextItem", GLO_CALL(cursorUpDown), 43, 43, 42),
    oneShotFunction(L"PageDown", GLO_CALL(pageDown), 26),
    oneShotFunction(L"PageUp", GLO_CALL(pageUp), 25),
    oneShotFunction(L"ScrollPageDown", GLO_CALL(IScrollPageDown), 59),
    oneShotFunction(L"ScrollPageUp", GLO_CALL(IScrollPageUp), 58),
    buttonFunction(L"Copy", GLO_CALL(copy), 0),
    buttonFunction(L"Paste", GLO_CALL(paste), 0),
};

CGlo_FunctionSetup s_defaults[] = {
    panSetup(L"LinePan", AxisX, 1, AxisZ, 1, 0),
    axisSetup(L"NextItem", AxisA, 1, 30),
    pushSetup(L"ScrollPageDown", AxisB, 1, 60),
    pushSetup(L"ScrollPageUp", AxisB, -1, 60),
};

CGlo_FunctionSetup s_buttons[] = {
    pressSetup(L"Copy", 0),
    pressSetup(L"Paste", 1),
};

int matchMail(HWND window) {
    return topLevelIs(window, L"rctrl_renwnd32") ? 10 : 0;
}

} // namespace

GLO_OFFICE_PLUGIN(L"Mail", matchMail, s_functions, s_defaults, s_buttons)
