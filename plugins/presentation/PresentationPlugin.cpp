// Presentation program (main window "PP9FrameClass"): a twist goes to the next or previous
// slide, the cap pans the slide by lines, a lift or press zooms; the buttons copy and paste.
#include "GloPluginKit.h"
#include "common/OfficeEntries.h"

namespace {

using namespace glo_kit;
using namespace office_entries;

CGlo_PluginFunction s_functions[] = {
    oneShotFunction(L"NextSlide", GLO_CALL(pageDown), GLO_TEXT_NEXT_PAGE),
    oneShotFunction(L"PreviousSlide", GLO_CALL(pageUp), GLO_TEXT_PREVIOUS_PAGE),
    linePan(),
    zoomInOut(),
    zoomOutIn(),
    copyButton(),
    pasteButton(),
};

CGlo_FunctionSetup s_defaults[] = {
    pushSetup(L"NextSlide", AxisB, 1, 60),
    pushSetup(L"PreviousSlide", AxisB, -1, 60),
    panSetup(L"LinePan", AxisX, 1, AxisZ, 1, 0),
    zoomSetup(),
};

CGlo_FunctionSetup s_buttons[] = {
    pressSetup(L"Copy", 0),
    pressSetup(L"Paste", 1),
};

int matchPresentation(HWND window) {
    return topLevelIs(window, L"PP9FrameClass") ? 10 : 0;
}

} // namespace

GLO_OFFICE_PLUGIN(L"Presentation", matchPresentation, s_functions, s_defaults, s_buttons)
