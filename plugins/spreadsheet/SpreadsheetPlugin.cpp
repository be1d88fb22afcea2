// Spreadsheet (main window "XLMAIN"): the cap pans the sheet by lines, a tilt moves the active
// cell, a twist switches to the next or previous sheet, a lift or press zooms; the buttons copy
// and paste.
#include "GloPluginKit.h"
#include "common/OfficeEntries.h"

namespace {

using namespace glo_kit;
using namespace office_entries;

CGlo_PluginFunction s_functions[] = {
    linePan(),
    cursorUpDown(),
    oneShotFunction(L"NextSheet", GLO_CALL(ctrlPageDown), GLO_TEXT_NEXT_SHEET),
    oneShotFunction(L"PreviousSheet", GLO_CALL(ctrlPageUp), GLO_TEXT_PREVIOUS_SHEET),
    zoomInOut(),
    zoomOutIn(),
    copyButton(),
    pasteButton(),
};

CGlo_FunctionSetup s_defaults[] = {
    panSetup(L"LinePan", AxisX, 1, AxisZ, 1, 0),
    axisSetup(L"CursorUpDown", AxisA, 1, 30),
    pushSetup(L"NextSheet", AxisB, 1, 60),
    pushSetup(L"PreviousSheet", AxisB, -1, 60),
    zoomSetup(),
};

CGlo_FunctionSetup s_buttons[] = {
    pressSetup(L"Copy", 0),
    pressSetup(L"Paste", 1),
};

int matchSpreadsheet(HWND window) {
    return topLevelIs(window, L"XLMAIN") ? 10 : 0;
}

} // namespace

GLO_OFFICE_PLUGIN(L"Spreadsheet", matchSpreadsheet, s_functions, s_defaults, s_buttons)
