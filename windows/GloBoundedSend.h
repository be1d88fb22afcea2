// Messages to target programs with a bound: the worker and the window wrappers never wait for
// good on a program that does not answer.
#pragma once

#include <windows.h>

namespace glo_windows {

// How long the worker waits for a target program to handle one message. A program that is
// merely busy (repainting a long document) answers well within it; one that has stopped
// pumping costs the device at most this long per event, so the user can move on to another
// window within a fraction of a second. Once the system takes the program for hung, the send
// gives up at once (SMTO_ABORTIFHUNG). A message that timed out is still handled when the
// program recovers.
const UINT kSendBoundMs = 200;

// SendMessageW with the bound (or less). False when the window does not exist, did not answer in
// time or is hung; `result` is then 0.
inline bool sendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                        LRESULT* result = nullptr, UINT boundMs = kSendBoundMs) {
    DWORD_PTR answer = 0;
    const bool sent = window != nullptr &&
                      SendMessageTimeoutW(window, message, wParam, lParam,
                                          SMTO_NORMAL | SMTO_ABORTIFHUNG, boundMs, &answer) != 0;
    if (result != nullptr)
        *result = sent ? static_cast<LRESULT>(answer) : 0;
    return sent;
}

// GetScrollInfo of a scroll-bar control sends the control a message on some systems (Wine),
// which would wait for good on a hung program: the control's thread must first answer a
// bounded WM_NULL. A window's own bars are read without a message.
inline bool readScrollInfo(HWND window, int bar, SCROLLINFO& info) {
    if (window == nullptr)
        return false;
    if (bar == SB_CTL && !sendBounded(window, WM_NULL, 0, 0))
        return false;
    return GetScrollInfo(window, bar, &info) != FALSE;
}

} // namespace glo_windows
