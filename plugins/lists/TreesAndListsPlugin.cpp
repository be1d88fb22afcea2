// Trees and lists: tree views, list views and list boxes (regedit, winefile, file dialogs).
// Pushing the cap scrolls the list by lines and a twist by pages, through its own scroll bar (a
// list laid out in columns sideways); a tilt moves the selection, sideways opens and closes tree
// branches (the arrow keys); the buttons copy and paste. The page keys would move the selection
// to the edge of the page first.
#include "GloPluginKit.h"

namespace {

using namespace glo_kit;

CGlo_PluginFunction s_functions[] = {
    axisFunction(L"CursorUpDown", GLO_CALL(cursorUpDown), GLO_TEXT_CURSOR_UP_DOWN,
                 GLO_TEXT_CURSOR_UP_DOWN, GLO_TEXT_CURSOR_DOWN_UP),
    axisFunction(L"CursorLeftRight", GLO_CALL(cursorLeftRight), GLO_TEXT_CURSOR_LEFT_RIGHT,
                 GLO_TEXT_CURSOR_LEFT_RIGHT, GLO_TEXT_CURSOR_RIGHT_LEFT),
    panFunction(L"LinePan", GLO_CALL(ILinePan), GLO_TEXT_LINE_SCROLL_WINDOW,
                GLO_TEXT_LINE_SCROLL_LEFT_RIGHT, GLO_TEXT_LINE_SCROLL_RIGHT_LEFT,
                GLO_TEXT_LINE_SCROLL_UP_DOWN, GLO_TEXT_LINE_SCROLL_DOWN_UP),
    axisFunction(L"ScrollLines", GLO_CALL(IScrollLines), GLO_TEXT_LINE_SCROLL_WINDOW,
                 GLO_TEXT_LINE_SCROLL_UP_DOWN, GLO_TEXT_LINE_SCROLL_DOWN_UP),
    oneShotFunction(L"PageDown", GLO_CALL(pageDown), GLO_TEXT_PAGE_DOWN),
    oneShotFunction(L"PageUp", GLO_CALL(pageUp), GLO_TEXT_PAGE_UP),
    oneShotFunction(L"ScrollPageDown", GLO_CALL(IScrollPageDown), GLO_TEXT_SCROLL_PAGE_DOWN),
    oneShotFunction(L"ScrollPageUp", GLO_CALL(IScrollPageUp), GLO_TEXT_SCROLL_PAGE_UP),
    buttonFunction(L"Copy", GLO_CALL(copy), GLO_TEXT_NONE),
    buttonFunction(L"Paste", GLO_CALL(paste), GLO_TEXT_NONE),
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
