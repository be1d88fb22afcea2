// Mail program (main window "rctrl_renwnd32"): the cap pans the message or list by lines and a
// twist by pages, a tilt goes to the next or previous item; the buttons copy and paste.
#include "GloPluginKit.h"
#include "common/OfficeEntries.h"

namespace {

using namespace glo_kit;
using namespace office_entries;

CGlo_PluginFunction s_functions[] = {
    linePan(),
    axisFunction(L"NextItem", GLO_CALL(cursorUpDown), GLO_TEXT_NEXT_ITEM, GLO_TEXT_NEXT_ITEM,
                 GLO_TEXT_PREVIOUS_ITEM),
    pageDown(),
    pageUp(),
    scrollPageDown(),
    scrollPageUp(),
    copyButton(),
    pasteButton(),
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
