// Word processor (main window "OpusApp", document view "_WwG"): smooth panning through the
// program's own autoscroll, the caret on a tilt, the view by pages on a twist, zoom on a lift or
// press; the buttons copy and paste.
#include "GloPluginKit.h"
#include "common/OfficeEntries.h"

namespace {

using namespace glo_kit;
using namespace office_entries;

CGlo_PluginFunction s_functions[] = {
    smoothPan(),    linePan(),   cursorUpDown(), pageDown(),   pageUp(),      scrollPageDown(),
    scrollPageUp(), zoomInOut(), zoomOutIn(),    copyButton(), pasteButton(),
};

CGlo_FunctionSetup s_defaults[] = {
    panSetup(L"SmoothPan", AxisX, 1, AxisZ, 1, 0),
    axisSetup(L"CursorUpDown", AxisA, 1, 30),
    pushSetup(L"ScrollPageDown", AxisB, 1, 60),
    pushSetup(L"ScrollPageUp", AxisB, -1, 60),
    zoomSetup(),
};

CGlo_FunctionSetup s_buttons[] = {
    pressSetup(L"Copy", 0),
    pressSetup(L"Paste", 1),
};

// The document view beats the rest of the main window (its rulers, task panes).
int matchWordProcessor(HWND window) {
    if (hasClassAbove(window, L"_WwG"))
        return 12;
    return topLevelIs(window, L"OpusApp") ? 10 : 0;
}

} // namespace

GLO_OFFICE_PLUGIN(L"WordProcessor", matchWordProcessor, s_functions, s_defaults, s_buttons)
