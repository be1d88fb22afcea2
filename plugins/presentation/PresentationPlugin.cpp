// Presentation program (main window "PP9FrameClass"): a twist goes to the next or previous
// slide, the cap pans the slide by lines; the buttons copy and paste.
#include "GloPluginKit.h"

namespace {

using namespace glo_kit;

CGlo_PluginFunction s_functions[] = {
    oneShotFunction(L"NextSlide", GLO_CALL(pageDown), GLO_TEXT_NEXT_PAGE),
    oneShotFunction(L"PreviousSlide", GLO_CALL(pageUp), GLO_TEXT_PREVIOUS_PAGE),
    panFunction(L"LinePan", GLO_CALL(ILinePan), GLO_TEXT_LINE_SCROLL_WINDOW,
                GLO_TEXT_LINE_SCROLL_LEFT_RIGHT, GLO_TEXT_LINE_SCROLL_RIGHT_LEFT,
                GLO_TEXT_LINE_SCROLL_UP_DOWN, GLO_TEXT_LINE_SCROLL_DOWN_UP),
    buttonFunction(L"Copy", GLO_CALL(copy), GLO_TEXT_NONE),
    buttonFunction(L"Paste", GLO_CALL(paste), GLO_TEXT_NONE),
};

CGlo_FunctionSetup s_defaults[] = {
    pushSetup(L"NextSlide", AxisB, 1, 60),
    pushSetup(L"PreviousSlide", AxisB, -1, 60),
    panSetup(L"LinePan", AxisX, 1, AxisZ, 1, 0),
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
