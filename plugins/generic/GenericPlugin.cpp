// Any window that scrolls, when no other plug-in knows it (lowest score), in a dialog or property
// sheet too: the cap pans by lines and a twist by pages, through the scroll bars of the window
// under the cursor; a tilt moves the caret or selection; the buttons copy and paste.
#include "GloPluginKit.h"
#include "common/OfficeEntries.h"

namespace {

using namespace glo_kit;
using namespace office_entries;

CGlo_PluginFunction s_functions[] = {
    linePan(),        wheel(),        cursorUpDown(), pageDown(),    pageUp(),
    scrollPageDown(), scrollPageUp(), copyButton(),   pasteButton(),
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
