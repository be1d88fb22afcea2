// Text editors: programs whose document is an Edit or RichEdit control (notepad, wordpad, write
// and the text fields of many others). The cap pans the text by lines and a twist by pages, a
// tilt moves the caret; the buttons copy and paste.
#include "GloPluginKit.h"

namespace {

using namespace glo_kit;

CGlo_PluginFunction s_functions[] = {
    panFunction(L"LinePan", GLO_CALL(ILinePan), GLO_TEXT_LINE_SCROLL_WINDOW,
                GLO_TEXT_LINE_SCROLL_LEFT_RIGHT, GLO_TEXT_LINE_SCROLL_RIGHT_LEFT,
                GLO_TEXT_LINE_SCROLL_UP_DOWN, GLO_TEXT_LINE_SCROLL_DOWN_UP),
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

// The text control itself: "Edit", or a RichEdit of any version ("RichEdit20W", ...). Not every
// class that contains "edit" (a registry editor's frame) is one.
int matchTextEditor(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return _wcsicmp(name, L"Edit") == 0 || _wcsnicmp(name, L"RichEdit", 8) == 0 ? 5 : 0;
}

} // namespace

GLO_OFFICE_PLUGIN(L"TextEditor", matchTextEditor, s_functions, s_defaults, s_buttons)
