// Text editors: programs whose document is an Edit or RichEdit control (notepad, wordpad, write
// and the text fields of many others). The cap pans the text by lines and a twist by pages, a
// tilt moves the caret, a lift or press zooms (where the control zooms: RichEdit does); the
// buttons copy and paste.
#include "GloPluginKit.h"
#include "common/OfficeEntries.h"

namespace {

using namespace glo_kit;
using namespace office_entries;

CGlo_PluginFunction s_functions[] = {
    linePan(),      cursorUpDown(), pageDown(),  pageUp(),     scrollPageDown(),
    scrollPageUp(), zoomInOut(),    zoomOutIn(), copyButton(), pasteButton(),
};

CGlo_FunctionSetup s_defaults[] = {
    panSetup(L"LinePan", AxisX, 1, AxisZ, 1, 0),
    axisSetup(L"CursorUpDown", AxisA, 1, 30),
    pushSetup(L"ScrollPageDown", AxisB, 1, 60),
    pushSetup(L"ScrollPageUp", AxisB, -1, 60),
    zoomSetup(),
};

CGlo_FunctionSetup s_buttons[] = {
    pressSetup(L"Copy", 0),
    pressSetup(L"Paste", 1),
};

// The text control itself: "Edit", or a RichEdit of any version ("RichEdit20W", ...). Not every
// class that contains "edit" (a registry editor's frame) is one.
int matchTextEditor(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return _wcsicmp(name, L"Edit") == 0 || _wcsnicmp(name, L"RichEdit", 8) == 0 ? 5 : 0;
}

} // namespace

GLO_OFFICE_PLUGIN(L"TextEditor", matchTextEditor, s_functions, s_defaults, s_buttons)
