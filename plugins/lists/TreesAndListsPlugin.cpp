// Trees and lists: tree views, list views and list boxes (regedit, winefile, file dialogs).
// Pushing the cap scrolls the list by lines and a twist by pages, through its own scroll bar (a
// list laid out in columns sideways); a tilt moves the selection, sideways opens and closes tree
// branches (the arrow keys); the buttons copy and paste. The page keys would move the selection
// to the edge of the page first.
#include "GloPluginKit.h"

namespace {

using namespace glo_kit;

CGlo_PluginFunction s_functions[] = {
    axisFunction(L"CursorUpDown", GLO_CALL(cursorUpDown), 37, 37, 38),
    axisFunction(L"CursorLeftRight", GLO_CALL(cursorLeftRight), 35, 35, 36),
    panFunction(L"LinePan", GLO_CALL(ILinePan), 9, 11, 13, 10, 12),
    axisFunction(L"ScrollLines", GLO_CALL(IScrollLines), 9, 10, 12),
    oneShotFunction(L"PageDown", GLO_CALL(pageDown), 26),
    oneShotFunction(L"PageUp", GLO_CALL(pageUp), 25),
    oneShotFunction(L"ScrollPageDown", GLO_CALL(IScrollPageDown), 59),
    oneShotFunction(L"ScrollPageUp", GLO_CALL(IScrollPageUp), 58),
    buttonFunction(L"Copy", GLO_CALL(copy), 0),
    buttonFunction(L"Paste", GLO_CALL(paste), 0),
};

CGlo_FunctionSetup s_defaults[] = {
    axisSetup(L"ScrollLines", AxisZ, 1, 0),    axisSetup(L"CursorLeftRight", AxisX, 1, 0),
    axisSetup(L"CursorUpDown", AxisA, 1, 30),  pushSetup(L"ScrollPageDown", AxisB, 1, 60),
    pushSetup(L"ScrollPageUp", AxisB, -1, 60),
};

CGlo_FunctionSetup s_buttons[] = {
    pressSetup(L"Copy", 0),
    pressSetup(L"Paste", 1),
};

int matchTreesAndLists(HWND window) {
    return hasClassAbove(window, L"SysTreeView32") || hasClassAbove(window, L"SysListView32") ||
                   hasClassAbove(window, L"ListBox")
               ? 5
               : 0;
}

} // namespace

GLO_OFFICE_PLUGIN(L"TreesAndLists", matchTreesAndLists, s_functions, s_defaults, s_buttons)
