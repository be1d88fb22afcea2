// The rate curve benchmark's plug-in: one continuous function of each family on a device axis of
// its own, serving the benchmark's window (class "GloRateTarget"), with the shipped plug-ins'
// navigation functions and no dead zones of its own.
#include "GloPluginKit.h"

using namespace glo_kit;

namespace {

CGlo_PluginFunction s_functions[] = {
    axisFunction(L"Lines", GLO_CALL(ILineUpDown), GLO_TEXT_LINE_SCROLL_WINDOW,
                 GLO_TEXT_LINE_SCROLL_UP_DOWN, GLO_TEXT_LINE_SCROLL_DOWN_UP),
    axisFunction(L"Pan", GLO_CALL(IThumbUpDown), GLO_TEXT_SMOOTH_PAN,
                 GLO_TEXT_SMOOTH_SCROLL_UP_DOWN, GLO_TEXT_SMOOTH_SCROLL_DOWN_UP),
    axisFunction(L"Wheel", GLO_CALL(mouseWheel), GLO_TEXT_MOUSE_WHEEL, GLO_TEXT_MOUSE_WHEEL_UP_DOWN,
                 GLO_TEXT_MOUSE_WHEEL_DOWN_UP),
    axisFunction(L"Cursor", GLO_CALL(cursorUpDown), GLO_TEXT_CURSOR_UP_DOWN,
                 GLO_TEXT_CURSOR_UP_DOWN, GLO_TEXT_CURSOR_DOWN_UP),
    axisFunction(L"Zoom", GLO_CALL(zoomInOut), GLO_TEXT_ZOOM_IN_OUT, GLO_TEXT_ZOOM_IN_OUT,
                 GLO_TEXT_ZOOM_OUT_IN),
};

// The device axes the benchmark holds: x lines, y pan, z zoom, a wheel, b cursor (none of them
// turned round by the core, so a positive value is a positive function axis).
CGlo_FunctionSetup s_defaults[] = {
    axisSetup(L"Lines", AxisX, 1, 0), axisSetup(L"Pan", AxisY, 1, 0),
    axisSetup(L"Wheel", AxisA, 1, 0), axisSetup(L"Cursor", AxisB, 1, 0),
    axisSetup(L"Zoom", AxisZ, 1, 0),
};

// The kit wants a button table; the benchmark presses no button.
CGlo_FunctionSetup s_buttons[] = {pressSetup(L"Lines", 31)};

int matchTarget(HWND window) {
    return hasClassAbove(window, L"GloRateTarget") ? 20 : 0;
}

} // namespace

GLO_OFFICE_PLUGIN(L"RateBench", matchTarget, s_functions, s_defaults, s_buttons)
