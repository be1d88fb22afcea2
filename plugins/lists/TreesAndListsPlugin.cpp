// Trees and lists: tree views, list views and list boxes, a combo box's list too (regedit,
// winefile, file dialogs). Pushing the cap scrolls the list by lines and a twist by pages,
// through its own scroll bar (a list laid out in columns sideways; a list without a bar as if it
// had one); a tilt moves the selection; a slide scrolls a list sideways where it can and opens
// and closes tree branches (the arrow keys); the buttons copy and paste. The page keys would
// move the selection to the edge of the page first.
#include "GloPluginKit.h"
#include "common/OfficeEntries.h"

namespace {

using namespace glo_kit;
using namespace office_entries;

CGlo_PluginFunction s_functions[] = {
    cursorUpDown(),
    axisFunction(L"CursorLeftRight", GLO_CALL(cursorLeftRight), GLO_TEXT_CURSOR_LEFT_RIGHT,
                 GLO_TEXT_CURSOR_LEFT_RIGHT, GLO_TEXT_CURSOR_RIGHT_LEFT),
    axisFunction(L"ScrollSideways", GLO_CALL(IScrollSideways), GLO_TEXT_LINE_SCROLL_LEFT_RIGHT,
                 GLO_TEXT_LINE_SCROLL_LEFT_RIGHT, GLO_TEXT_LINE_SCROLL_RIGHT_LEFT),
    linePan(),
    axisFunction(L"ScrollLines", GLO_CALL(IScrollLines), GLO_TEXT_LINE_SCROLL_WINDOW,
                 GLO_TEXT_LINE_SCROLL_UP_DOWN, GLO_TEXT_LINE_SCROLL_DOWN_UP),
    pageDown(),
    pageUp(),
    scrollPageDown(),
    scrollPageUp(),
    copyButton(),
    pasteButton(),
};

CGlo_FunctionSetup s_defaults[] = {
    axisSetup(L"ScrollLines", AxisZ, 1, 0),    axisSetup(L"ScrollSideways", AxisX, 1, 0),
    axisSetup(L"CursorUpDown", AxisA, 1, 30),  pushSetup(L"ScrollPageDown", AxisB, 1, 60),
    pushSetup(L"ScrollPageUp", AxisB, -1, 60),
};

CGlo_FunctionSetup s_buttons[] = {
    pressSetup(L"Copy", 0),
    pressSetup(L"Paste", 1),
};

int matchTreesAndLists(HWND window) {
    return hasClassAbove(window, L"SysTreeView32") || hasClassAbove(window, L"SysListView32") ||
                   hasClassAbove(window, L"ListBox") || hasClassAbove(window, L"ComboLBox")
               ? 5
               : 0;
}

} // namespace

GLO_OFFICE_PLUGIN(L"TreesAndLists", matchTreesAndLists, s_functions, s_defaults, s_buttons)
