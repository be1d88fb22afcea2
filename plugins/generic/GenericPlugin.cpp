// Any window that scrolls, when no other plug-in knows it (lowest score), in a dialog or property
// sheet too: the cap pans by lines and a twist by pages, through the scroll bars of the window
// under the cursor; a tilt moves the caret or selection; the buttons copy and paste.
#include "GloPluginKit.h"

namespace {

using namespace glo_kit;

CGlo_PluginFunction s_functions[] = {
    panFunction(L"LinePan", GLO_CALL(ILinePan), GLO_TEXT_LINE_SCROLL_WINDOW,
                GLO_TEXT_LINE_SCROLL_LEFT_RIGHT, GLO_TEXT_LINE_SCROLL_RIGHT_LEFT,
                GLO_TEXT_LINE_SCROLL_UP_DOWN, GLO_TEXT_LINE_SCROLL_DOWN_UP),
    axisFunction(L"Wheel", GLO_CALL(mouseWheel), GLO_TEXT_MOUSE_WHEEL, GLO_TEXT_MOUSE_WHEEL_UP_DOWN,
                 GLO_TEXT_MOUSE_WHEEL_DOWN_UP),
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
    panSetup(L"LinePan", AxisX, 1, AxisZ, 1, 0),
    axisSetup(L"CursorUpDown", AxisA, 1, 30),
    pushSetup(L"ScrollPageDown", AxisB, 1, 60),
    pushSetup(L"ScrollPageUp", AxisB, -1, 60),
};

CGlo_FunctionSetup s_buttons[] = {
    pressSetup(L"Copy", 0),
    pressSetup(L"Paste", 1),
};

// A scroll-bar control that is shown, among the children of `parent`.
bool hasBar(HWND parent) {
    for (HWND bar = FindWindowExW(parent, nullptr, L"ScrollBar", nullptr); bar != nullptr;
         bar = FindWindowExW(parent, bar, L"ScrollBar", nullptr))
        if (IsWindowVisible(bar))
            return true;
    return false;
}

// Scrolls by its own style, or has scroll-bar controls of its own or beside it below the same
// parent (a top-level window's "parent" would be its owner, another window altogether).
bool scrolls(HWND window) {
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    if (style & (WS_VSCROLL | WS_HSCROLL))
        return true;
    return hasBar(window) || ((style & WS_CHILD) && hasBar(GetParent(window)));
}

int matchGeneric(HWND window) {
    for (int depth = 0; window != nullptr && depth < 64; ++depth) {
        if (scrolls(window))
            return 1;
        if (!(GetWindowLongW(window, GWL_STYLE) & WS_CHILD))
            break;
        window = GetParent(window);
    }
    return 0;
}

} // namespace

GLO_OFFICE_PLUGIN(L"Generic", matchGeneric, s_functions, s_defaults, s_buttons)
