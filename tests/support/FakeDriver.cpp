#include "tests/support/FakeDriver.h"

#include <chrono>

namespace glotest {

namespace {
HWND s_first = nullptr;
HWND s_last = nullptr;

std::int32_t WINAPI registerWindow(std::uint32_t, const wchar_t*, HWND window,
                                   std::int32_t* status) {
    if (!s_first)
        s_first = window;
    s_last = window;
    *status = 0;
    return 0;
}
std::int32_t WINAPI getDeviceName(HWND, wchar_t* buffer, std::int32_t capacity) {
    lstrcpynW(buffer, L"USB 3D Cap", capacity);
    return 0;
}
std::int32_t WINAPI getVersion(ZuVidVersionInfo* info) {
    *info = {4, 0, 6, {}};
    return 0;
}
} // namespace

ZuVidCallbackTable fakeDriverTable(ZuVidLogProc log) {
    s_first = s_last = nullptr;
    return {sizeof(ZuVidCallbackTable), log, &registerWindow, nullptr, &getDeviceName, &getVersion};
}

HWND announcedCoreWindow() {
    return s_first;
}

HWND lastAnnouncedWindow() {
    return s_last;
}

void pumpMessages(int ms) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    for (MSG msg;; MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT)) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (Clock::now() >= end)
            return;
    }
}

} // namespace glotest
