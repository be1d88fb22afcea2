// Any window that scrolls, when no other plug-in knows it (lowest score): the cap pans by lines,
// a tilt turns the wheel, a twist pages; the buttons copy and paste.
#include "GloPluginKit.h"

namespace {

using namespace glo_kit;

CGlo_PluginFunction s_functions[] = {
    panFunction(L"LinePan", GLO_CALL(ILinePan), 9, 11, 13, 10, 12),
    axisFunction(L"Wheel", GLO_CALL(mouseWheel), 6, 7, 8),
    oneShotFunction(L"PageDown", GLO_CALL(pageDown), 26),
    oneShotFunction(L"PageUp", GLO_CALL(pageUp), 25),
    buttonFunction(L"Copy", GLO_CALL(copy), 0),
    buttonFunction(L"Paste", GLO_CALL(paste), 0),
};

CGlo_FunctionSetup s_defaults[] = {
    panSetup(L"LinePan", AxisX, 1, AxisZ, 1, 0),
    axisSetup(L"Wheel", AxisA, -1, 30),
    pushSetup(L"PageDown", AxisB, 1, 60),
    pushSetup(L"PageUp", AxisB, -1, 60),
};

CGlo_FunctionSetup s_buttons[] = {
    pressSetup(L"Copy", 0),
    pressSetup(L"Paste", 1),
};

// Scrolls by its own style, or has scroll-bar controls beside it below the same parent.
bool scrolls(HWND window) {
    if (GetWindowLongW(window, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL))
        return true;
    HWND parent = GetParent(window);
    return parent != nullptr && FindWindowExW(parent, nullptr, L"ScrollBar", nullptr) != nullptr;
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
