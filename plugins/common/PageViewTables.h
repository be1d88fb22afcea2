// Functions and setups of the programs that show pages in a view of their own (PDF viewer,
// layout program): the cap moves the page by thumb, a twist turns pages, a lift or press zooms,
// the buttons copy and paste. Included by one source file of each such plug-in.
#pragma once

#include "GloPluginKit.h"
#include "common/OfficeEntries.h"

namespace {

using namespace glo_kit;
using namespace office_entries;

CGlo_PluginFunction s_functions[] = {
    panFunction(L"Pan", GLO_CALL(IThumbPan), GLO_TEXT_PAN_WINDOW, GLO_TEXT_PAN_LEFT_RIGHT,
                GLO_TEXT_PAN_RIGHT_LEFT, GLO_TEXT_PAN_UP_DOWN, GLO_TEXT_PAN_DOWN_UP),
    oneShotFunction(L"NextPage", GLO_CALL(pageDown), GLO_TEXT_NEXT_PAGE),
    oneShotFunction(L"PreviousPage", GLO_CALL(pageUp), GLO_TEXT_PREVIOUS_PAGE),
    zoomInOut(),
    zoomOutIn(),
    copyButton(),
    pasteButton(),
};

CGlo_FunctionSetup s_defaults[] = {
    panSetup(L"Pan", AxisX, 1, AxisZ, 1, 0),
    pushSetup(L"NextPage", AxisB, 1, 60),
    pushSetup(L"PreviousPage", AxisB, -1, 60),
    zoomSetup(),
};

CGlo_FunctionSetup s_buttons[] = {
    pressSetup(L"Copy", 0),
    pressSetup(L"Paste", 1),
};

} // namespace
