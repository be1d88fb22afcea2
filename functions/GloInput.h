// Synthesised input of the navigation functions: key sequences that never leave a key down, and
// mouse input that never leaves a button down or the cursor on the wrong monitor.
#pragma once

#include <windows.h>

#include "GloEvent.h"

namespace glo_functions {

// The one-shot key and launch functions act on a button press and on every motion event.
inline bool actsOnce(const CGlo_Event& event) {
    return event.isMotionEvent() || event.isButtonPressEvent();
}

typedef UINT(WINAPI* SendInputProc)(UINT count, LPINPUT inputs, int size);

// The longest sequence: a chord of one key and one modifier with two held modifiers released
// and pressed again around it.
const int kMaxKeys = 8;

inline bool isKeyHeld(int vk) {
    return (GetAsyncKeyState(vk) & 0x8000) != 0;
}

// Key inputs sent in one or more SendInput calls, with a pause after a call where asked. The
// system may refuse input (another desktop in front, a program of higher integrity): the
// sequence then stops, and what it already did is undone in one more call, so that no key it
// pressed stays down and no modifier the user held stays released.
class CKeySequence {
public:
    CKeySequence() : count(0), calls(0) {}

    // A press or release of `vk`, its scan code from the keyboard layout, or 0 where asked.
    void key(WORD vk, bool release, bool withScanCode = true) {
        if (count == kMaxKeys)
            return;
        INPUT& input = inputs[count++];
        input = INPUT();
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = withScanCode ? static_cast<WORD>(MapVirtualKeyW(vk, 0)) : 0;
        input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
    }
    // The inputs since the last call go together in one SendInput call, followed by a pause.
    void endCall(DWORD pauseMs = 0) {
        if (calls == kMaxKeys || (calls > 0 && callEnd[calls - 1] == count))
            return;
        callEnd[calls] = count;
        pauseAfter[calls++] = pauseMs;
    }
    int size() const { return count; }

    // Sends the calls in order; returns the inputs the system took (all of them, or the ones it
    // took before it refused, which are then undone).
    int send(SendInputProc sendInput = &SendInput) {
        endCall();
        int sent = 0;
        for (int call = 0; call < calls; ++call) {
            const int length = callEnd[call] - sent;
            const UINT taken = sendInput(length, &inputs[sent], sizeof(INPUT));
            if (taken < static_cast<UINT>(length)) {
                sent += static_cast<int>(taken);
                undo(sent, sendInput);
                return sent;
            }
            sent += length;
            if (pauseAfter[call] != 0)
                Sleep(pauseAfter[call]);
        }
        return sent;
    }

private:
    // Keys pressed and not yet released are released, most recent first; modifiers released and
    // not yet pressed again are pressed again, most recently released first.
    void undo(int sent, SendInputProc sendInput) {
        INPUT releases[kMaxKeys], presses[kMaxKeys];
        int releaseCount = 0, pressCount = 0;
        for (int i = sent - 1; i >= 0; --i) {
            const WORD vk = inputs[i].ki.wVk;
            bool seen = false;
            for (int j = i + 1; j < sent && !seen; ++j)
                seen = inputs[j].ki.wVk == vk;
            if (seen)
                continue; // counted at its latest input
            int balance = 0;
            for (int j = 0; j < sent; ++j)
                if (inputs[j].ki.wVk == vk)
                    balance += (inputs[j].ki.dwFlags & KEYEVENTF_KEYUP) ? -1 : 1;
            INPUT opposite = inputs[i];
            if (balance > 0) {
                opposite.ki.dwFlags = KEYEVENTF_KEYUP;
                releases[releaseCount++] = opposite;
            } else if (balance < 0) {
                opposite.ki.dwFlags = 0;
                presses[pressCount++] = opposite;
            }
        }
        for (int i = 0; i < pressCount; ++i)
            releases[releaseCount++] = presses[i];
        if (releaseCount > 0)
            sendInput(releaseCount, releases, sizeof(INPUT));
    }

    INPUT inputs[kMaxKeys];
    int count;
    int callEnd[kMaxKeys];
    DWORD pauseAfter[kMaxKeys];
    int calls;
};

// One mouse input without movement (a button); true when the system took it.
inline bool sendMouseButton(DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return SendInput(1, &input, sizeof(input)) == 1;
}

// A button release the system refused is tried once more: a button must not stay down.
inline void releaseMouseButton(DWORD upFlag) {
    if (!sendMouseButton(upFlag))
        sendMouseButton(upFlag);
}

// One absolute move of the mouse to a screen point. The coordinates are normalised over the
// virtual desktop, so that a point on any monitor is reached; with one monitor they are those
// of the primary screen: pixel * `scale` / screen size.
inline void moveMouseTo(POINT point, long long scale) {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0)
        return;
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((static_cast<long long>(point.x) - left) * scale / width);
    input.mi.dy = static_cast<LONG>((static_cast<long long>(point.y) - top) * scale / height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    SendInput(1, &input, sizeof(input));
}

} // namespace glo_functions
