// Browser views ("Internet Explorer_Server", also inside other programs): smooth panning
// through the view's autoscroll, the arrow keys on a tilt, zoom on a lift or press, history on
// a twist and on the buttons.
#include "GloPluginKit.h"
#include "common/OfficeEntries.h"

namespace {

using namespace glo_kit;
using namespace office_entries;

CGlo_PluginFunction s_functions[] = {
    smoothPan(),
    wheel(),
    cursorUpDown(),
    zoomInOut(),
    zoomOutIn(),
    oneShotFunction(L"HistoryBack", GLO_CALL(back), GLO_TEXT_HISTORY_BACK),
    oneShotFunction(L"HistoryForward", GLO_CALL(forward), GLO_TEXT_HISTORY_FORWARD),
    buttonFunction(L"Back", GLO_CALL(back), GLO_TEXT_HISTORY_BACK),
    buttonFunction(L"Forward", GLO_CALL(forward), GLO_TEXT_HISTORY_FORWARD),
};

CGlo_FunctionSetup s_defaults[] = {
    panSetup(L"SmoothPan", AxisX, 1, AxisZ, 1, 0),
    axisSetup(L"CursorUpDown", AxisA, 1, 30),
    pushSetup(L"HistoryBack", AxisB, -1, 60),
    pushSetup(L"HistoryForward", AxisB, 1, 60),
    zoomSetup(),
};

CGlo_FunctionSetup s_buttons[] = {
    pressSetup(L"Back", 0),
    pressSetup(L"Forward", 1),
};

// The view itself, wherever it is embedded, beats the program around it.
int matchBrowser(HWND window) {
    return hasClassAbove(window, L"Internet Explorer_Server") ? 12 : 0;
}

} // namespace

GLO_OFFICE_PLUGIN(L"Browser", matchBrowser, s_functions, s_defaults, s_buttons)
