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

// The longest sequence: a key without modifiers with both sides of all three held modifiers
// released and pressed again around it, and a menu mask key tapped before and after (18).
const int kMaxKeys = 24;

// An Alt key, either side.
inline bool isAltKey(WORD vk) {
    return vk == VK_MENU || vk == VK_LMENU || vk == VK_RMENU;
}

// An unassigned virtual key: tapped between an Alt press and its release, it keeps the program
// from taking the lone Alt for the key that opens its menu.
const WORD kUnassignedKey = 0xE8;

inline bool isKeyHeld(int vk) {
    return (GetAsyncKeyState(vk) & 0x8000) != 0;
}

// Right Ctrl, AltGr and Right Shift: systems tell them from the left keys by the extended flag
// (a right key injected without it is taken for the left one).
inline bool isRightModifier(WORD vk) {
    return vk == VK_RCONTROL || vk == VK_RMENU || vk == VK_RSHIFT;
}

// Key inputs, and wheel movements among them, sent in one or more SendInput calls, with a pause
// after a call where asked. The system may refuse input (another desktop in front, a program of
// higher integrity): the sequence then stops, and what it already did is undone in one more
// call, so that no key it pressed stays down and no modifier the user held stays released.
class CKeySequence {
public:
    CKeySequence() : count(0), calls(0) {}

    // A press or release of `vk`, its scan code from the keyboard layout, or 0 where asked;
    // `extended` marks a key of the extended block (Delete rather than the keypad's).
    void key(WORD vk, bool release, bool withScanCode = true, bool extended = false) {
        if (count < kMaxKeys)
            inputs[count++] = keyInput(vk, release, withScanCode, extended);
    }
    static INPUT keyInput(WORD vk, bool release, bool withScanCode = true, bool extended = false) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = withScanCode ? static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) : 0;
        input.ki.dwFlags = (release ? KEYEVENTF_KEYUP : 0) |
                           (extended || isRightModifier(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
        return input;
    }
    // A turn of the wheel by `delta` (WHEEL_DELTA a notch, positive away from the user), wherever
    // the system sends wheel input; an undo leaves it as it is.
    void wheel(int delta) {
        if (count == kMaxKeys)
            return;
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.mouseData = static_cast<DWORD>(delta);
        input.mi.dwFlags = MOUSEEVENTF_WHEEL;
        inputs[count++] = input;
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
    // not yet pressed again are pressed again, most recently released first. An Alt pressed
    // again, or one left as the last key pressed, is followed by a tap of an unassigned key, so
    // that the user's own release of it does not open the program's menu; an Alt the sequence
    // pressed last is released after such a tap, for the same reason.
    void undo(int sent, SendInputProc sendInput) {
        INPUT releases[kMaxKeys + 4], presses[kMaxKeys];
        int releaseCount = 0, pressCount = 0;
        bool armed = false; // the last key pressed is an Alt: its release alone opens the menu
        for (int i = 0; i < sent; ++i)
            if (isKey(i) && !(inputs[i].ki.dwFlags & KEYEVENTF_KEYUP))
                armed = isAltKey(inputs[i].ki.wVk);
        for (int i = sent - 1; i >= 0; --i) {
            if (!isKey(i))
                continue;
            const WORD vk = inputs[i].ki.wVk;
            bool seen = false;
            for (int j = i + 1; j < sent && !seen; ++j)
                seen = isKey(j) && inputs[j].ki.wVk == vk;
            if (seen)
                continue; // counted at its latest input
            int balance = 0;
            for (int j = 0; j < sent; ++j)
                if (isKey(j) && inputs[j].ki.wVk == vk)
                    balance += (inputs[j].ki.dwFlags & KEYEVENTF_KEYUP) ? -1 : 1;
            INPUT opposite = inputs[i];
            opposite.ki.dwFlags &= ~static_cast<DWORD>(KEYEVENTF_KEYUP);
            if (balance > 0) {
                opposite.ki.dwFlags |= KEYEVENTF_KEYUP;
                if (armed && isAltKey(vk)) {
                    releases[releaseCount++] = keyInput(kUnassignedKey, false);
                    releases[releaseCount++] = keyInput(kUnassignedKey, true);
                    armed = false;
                }
                releases[releaseCount++] = opposite;
            } else if (balance < 0) {
                presses[pressCount++] = opposite;
            }
        }
        bool altPressed = armed;
        for (int i = 0; i < pressCount; ++i) {
            releases[releaseCount++] = presses[i];
            altPressed = altPressed || isAltKey(presses[i].ki.wVk);
        }
        if (altPressed) {
            releases[releaseCount++] = keyInput(kUnassignedKey, false);
            releases[releaseCount++] = keyInput(kUnassignedKey, true);
        }
        if (releaseCount > 0)
            sendInput(releaseCount, releases, sizeof(INPUT));
    }

    bool isKey(int i) const { return inputs[i].type == INPUT_KEYBOARD; }

    INPUT inputs[kMaxKeys];
    int count;
    int callEnd[kMaxKeys];
    DWORD pauseAfter[kMaxKeys];
    int calls;
};

// The press and release of a mouse button.
struct MouseButton {
    DWORD down;
    DWORD up;
};

// The user's primary button: injected input names the physical buttons, and a left-handed user
// who swapped them clicks with the right one.
inline MouseButton primaryButton(bool swapped) {
    return swapped ? MouseButton{MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP}
                   : MouseButton{MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
}

// One mouse input without movement (a button); true when the system took it.
inline bool sendMouseButton(DWORD flags, SendInputProc sendInput) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return sendInput(1, &input, sizeof(input)) == 1;
}

// A button release the system refused is tried once more at once; true when one went through.
inline bool releaseMouseButton(DWORD upFlag, SendInputProc sendInput) {
    return sendMouseButton(upFlag, sendInput) || sendMouseButton(upFlag, sendInput);
}

// A screen point in the coordinates of an absolute move over the virtual desktop `desktop`
// (left, top, width, height; a monitor left of or above the primary one makes left or top
// negative): pixel * `scale` / size from the desktop's corner.
inline POINT normalisedPoint(POINT point, const RECT& desktop, long long scale) {
    const long long width = desktop.right - desktop.left;
    const long long height = desktop.bottom - desktop.top;
    if (width <= 0 || height <= 0)
        return POINT{0, 0};
    return POINT{
        static_cast<LONG>((point.x - static_cast<long long>(desktop.left)) * scale / width),
        static_cast<LONG>((point.y - static_cast<long long>(desktop.top)) * scale / height)};
}

// One absolute move of the mouse to a screen point on any monitor; with one monitor the
// coordinates are those of the primary screen.
inline void moveMouseTo(POINT point, long long scale, SendInputProc sendInput) {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const RECT desktop = {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                          top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    if (desktop.right <= left || desktop.bottom <= top)
        return;
    const POINT normalised = normalisedPoint(point, desktop, scale);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = normalised.x;
    input.mi.dy = normalised.y;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    sendInput(1, &input, sizeof(input));
}

} // namespace glo_functions
