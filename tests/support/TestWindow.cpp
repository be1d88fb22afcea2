#include "tests/support/TestWindow.h"

#include "tests/support/FakeDriver.h"

namespace glotest {

HWND makeWindow(const wchar_t* className, DWORD style, int x, int y, int width, int height,
                HWND parent) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc); // fails harmlessly when registered before
    return CreateWindowExW(0, className, L"", style | (parent ? WS_CHILD : 0), x, y, width, height,
                           parent, nullptr, wc.hInstance, nullptr);
}

bool focusAndPoint(HWND top, HWND under) {
    RECT r;
    GetWindowRect(under ? under : top, &r);
    SetForegroundWindow(top);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    pumpMessages(20); // the window system learns the foreground once its messages are pumped
    return GetForegroundWindow() == top;
}

} // namespace glotest
