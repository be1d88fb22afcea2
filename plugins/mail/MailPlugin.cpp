// Mail program (main window "rctrl_renwnd32"): the cap pans the message or list by lines and a
// twist by pages, a tilt goes to the next or previous item; the buttons copy and paste.
#include "GloPluginKit.h"

namespace {

using namespace glo_kit;

CGlo_PluginFunction s_functions[] = {
    panFunction(L"LinePan", GLO_CALL(ILinePan), GLO_TEXT_LINE_SCROLL_WINDOW,
                GLO_TEXT_LINE_SCROLL_LEFT_RIGHT, GLO_TEXT_LINE_SCROLL_RIGHT_LEFT,
                GLO_TEXT_LINE_SCROLL_UP_DOWN, GLO_TEXT_LINE_SCROLL_DOWN_UP),
    axisFunction(L"NextItem", GLO_CALL(cursorUpDown), GLO_TEXT_NEXT_ITEM, GLO_TEXT_NEXT_ITEM,
                 GLO_TEXT_PREVIOUS_ITEM),
    oneShotFunction(L"PageDown", GLO_CALL(pageDown), GLO_TEXT_PAGE_DOWN),
    oneShotFunction(L"PageUp", GLO_CALL(pageUp), GLO_TEXT_PAGE_UP),
    oneShotFunction(L"ScrollPageDown", GLO_CALL(IScrollPageDown), GLO_TEXT_SCROLL_PAGE_DOWN),
    oneShotFunction(L"ScrollPageUp", GLO_CALL(IScrollPageUp), GLO_TEXT_SCROLL_PAGE_UP),
    buttonFunction(L"Copy", GLO_CALL(copy), GLO_TEXT_NONE),
    buttonFunction(L"Paste", GLO_CALL(paste), GLO_TEXT_NONE),
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
