#include "tests/functions/PluginProbe.h"

namespace glotest {

std::vector<ScrollMessage>& received() {
    static std::vector<ScrollMessage> messages;
    return messages;
}

namespace {

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_VSCROLL || message == WM_HSCROLL) {
        received().push_back({window, message, wParam, lParam});
        if (LOWORD(wParam) == SB_THUMBTRACK) {
            const HWND bar = reinterpret_cast<HWND>(lParam);
            const int kind = bar ? SB_CTL : message == WM_VSCROLL ? SB_VERT : SB_HORZ;
            SetScrollPos(bar ? bar : window, kind, HIWORD(wParam), FALSE);
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

HWND makeWindow(const wchar_t* className, DWORD style, int x, int y, int width, int height,
                HWND parent) {
    static const bool registered = [] {
        // Plain classes named for the tests; the recording procedure serves them all.
        for (const wchar_t* name :
             {L"GloTestFrame", L"GloTestView", L"Internet Explorer_Server", L"MsoCommandBar",
              L"MSHTML40_Origin_Class", L"Origin", L"XLMAIN"}) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = recordingProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.lpszClassName = name;
            RegisterClassW(&wc);
        }
        return true;
    }();
    (void)registered;
    if (parent != nullptr)
        style |= WS_CHILD;
    return CreateWindowExW(0, className, L"", style, x, y, width, height, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

void setRange(HWND window, int bar, int min, int max, UINT page, int pos) {
    SCROLLINFO info = {sizeof(info), SIF_RANGE | SIF_PAGE | SIF_POS, min, max, page, pos, 0};
    SetScrollInfo(window, bar, &info, FALSE);
}

HWND makeBar(HWND parent, DWORD kind, int x, int y, int width, int height, int min, int max,
             UINT page, int pos) {
    HWND bar = CreateWindowExW(0, L"ScrollBar", L"", WS_CHILD | WS_VISIBLE | kind, x, y, width,
                               height, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    setRange(bar, SB_CTL, min, max, page, pos);
    return bar;
}

int scrollPos(HWND window, int bar) {
    SCROLLINFO info = {sizeof(info), SIF_POS, 0, 0, 0, 0, 0};
    GetScrollInfo(window, bar, &info);
    return info.nPos;
}

CGloHWND marked(HWND bar, unsigned long style) {
    CGloHWND wrapper(bar);
    wrapper.SetStyle(style);
    return wrapper;
}

} // namespace glotest
