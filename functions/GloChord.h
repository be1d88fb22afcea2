// Key chords with modifiers, planned from the modifier keys the user holds: which of them are let
// go around the chord, which of the chord's own modifiers still need pressing once they are, and
// how everything is given back. A plan is a pure function of the held keys and of whether the
// keyboard layout has AltGr, so that every chord (page keys, clipboard, later zoom and the
// user's own combinations) decides this in one place.
#pragma once

#include <windows.h>

#include "functions/GloInput.h"

namespace glo_functions {

// Modifiers of a chord, as a set.
enum ChordModifier : unsigned { kCtrl = 1, kAlt = 2, kShift = 4 };

const WORD kMenuMaskKey = kUnassignedKey;

struct KeyStroke {
    WORD vk;
    bool release;
};

// The generic, left and right key of each modifier, in the order in which a chord lets them go.
struct ModifierKeys {
    ChordModifier modifier;
    WORD generic, left, right;
};
const ModifierKeys kModifierKeys[3] = {{kCtrl, VK_CONTROL, VK_LCONTROL, VK_RCONTROL},
                                       {kAlt, VK_MENU, VK_LMENU, VK_RMENU},
                                       {kShift, VK_SHIFT, VK_LSHIFT, VK_RSHIFT}};

// The six modifier keys, each side on its own.
class CModifierState {
public:
    CModifierState() : down() {}

    // What GetAsyncKeyState reports now.
    static CModifierState held() {
        CModifierState state;
        for (const ModifierKeys& keys : kModifierKeys) {
            state.set(keys.left, isKeyHeld(keys.left));
            state.set(keys.right, isKeyHeld(keys.right));
        }
        return state;
    }

    // `vk` is a side's key; a generic one stands for the left key, as the system takes it.
    bool isDown(WORD vk) const {
        const int i = slot(vk);
        return i >= 0 && down[i];
    }
    void set(WORD vk, bool isDown) {
        const int i = slot(vk);
        if (i >= 0)
            down[i] = isDown;
    }
    // Either side of any of `modifiers`.
    bool holds(unsigned modifiers) const {
        for (const ModifierKeys& keys : kModifierKeys)
            if ((modifiers & keys.modifier) != 0 && (isDown(keys.left) || isDown(keys.right)))
                return true;
        return false;
    }
    // A stroke as the system carries it out: with AltGr, Right Alt comes and goes together with
    // Left Ctrl.
    void apply(const KeyStroke& stroke, bool altGr) {
        if (altGr && stroke.vk == VK_RMENU)
            set(VK_LCONTROL, !stroke.release);
        set(stroke.vk, !stroke.release);
    }
    bool operator==(const CModifierState& other) const {
        for (int i = 0; i < 6; ++i)
            if (down[i] != other.down[i])
                return false;
        return true;
    }

private:
    static int slot(WORD vk) {
        for (int m = 0; m < 3; ++m) {
            const ModifierKeys& keys = kModifierKeys[m];
            if (vk == keys.left || vk == keys.generic)
                return 2 * m;
            if (vk == keys.right)
                return 2 * m + 1;
        }
        return -1;
    }
    bool down[6];
};

// The key strokes around one chord. The user's `released` modifiers that would change it are let
// go first (Ctrl, Alt, Shift; left side first); then the chord's modifiers are pressed that the
// state after those releases lacks; after the chord's key they are released, and the user's keys
// are pressed again in reverse order. With AltGr, letting go of Right Alt lets go of Left Ctrl
// too, and pressing it presses both. Where the user's Alt is let go or given back, the menu mask
// key keeps the program's menu shut.
class CChordPlan {
public:
    CChordPlan(const CModifierState& held, bool altGrLayout, unsigned chord, unsigned released)
        : count(0), keyAt(0), state(held), altGr(altGrLayout) {
        bool masked = false;
        for (const ModifierKeys& keys : kModifierKeys) {
            if ((released & keys.modifier) == 0)
                continue;
            const WORD sides[2] = {keys.left, keys.right};
            for (const WORD side : sides) {
                if (!state.isDown(side))
                    continue;
                if (keys.modifier == kAlt && !masked) {
                    addMenuMask(); // the user's Alt press must not be followed by a lone release
                    masked = true;
                }
                add(side, true);
            }
        }
        unsigned pressed = 0;
        for (const ModifierKeys& keys : kModifierKeys)
            if ((chord & keys.modifier) != 0 && !state.holds(keys.modifier)) {
                add(keys.generic, false);
                pressed |= keys.modifier;
            }
        keyAt = count;
        for (int m = 2; m >= 0; --m)
            if ((pressed & kModifierKeys[m].modifier) != 0)
                add(kModifierKeys[m].generic, true);
        bool altGivenBack = false;
        for (int m = 2; m >= 0; --m) {
            const WORD sides[2] = {kModifierKeys[m].right, kModifierKeys[m].left};
            for (const WORD side : sides)
                if (held.isDown(side) && !state.isDown(side)) {
                    add(side, false);
                    altGivenBack = altGivenBack || kModifierKeys[m].modifier == kAlt;
                }
        }
        if (altGivenBack)
            addMenuMask(); // so that the user's own release of Alt does not open the menu
    }

    int size() const { return count; }
    const KeyStroke& operator[](int i) const { return strokes[i]; }
    // Strokes before this index lead in to the chord's key, the rest come after it.
    int keyIndex() const { return keyAt; }

    // The lead-in or the strokes after the key into `keys`, one SendInput call each where asked.
    void addLeadIn(CKeySequence& keys, bool callPerInput) const {
        addRange(keys, 0, keyAt, callPerInput);
    }
    void addLeadOut(CKeySequence& keys, bool callPerInput) const {
        addRange(keys, keyAt, count, callPerInput);
    }

private:
    void add(WORD vk, bool release) {
        if (count == kMaxKeys)
            return;
        strokes[count++] = KeyStroke{vk, release};
        state.apply(KeyStroke{vk, release}, altGr);
    }
    void addMenuMask() {
        add(kMenuMaskKey, false);
        add(kMenuMaskKey, true);
    }
    void addRange(CKeySequence& keys, int from, int to, bool callPerInput) const {
        for (int i = from; i < to; ++i) {
            keys.key(strokes[i].vk, strokes[i].release);
            if (callPerInput)
                keys.endCall();
        }
    }

    KeyStroke strokes[kMaxKeys];
    int count;
    int keyAt;
    CModifierState state; // as the strokes so far leave it
    bool altGr;
};

// Whether `layout` types characters with AltGr, which the system sends as Left Ctrl and Right Alt
// together: some character then needs both Ctrl and Alt (Latin, Greek, Cyrillic, the euro sign).
inline bool layoutHasAltGr(HKL layout) {
    const wchar_t ranges[][2] = {{0x21, 0x24F}, {0x370, 0x4FF}, {0x20AC, 0x20AC}};
    for (const auto& range : ranges)
        for (wchar_t c = range[0]; c <= range[1]; ++c) {
            const SHORT key = VkKeyScanExW(c, layout);
            if (key != -1 && (HIBYTE(key) & 6) == 6)
                return true;
        }
    return false;
}

// The layout of the thread that receives the keys: the one of the foreground window.
inline HKL foregroundLayout() {
    const HWND foreground = GetForegroundWindow();
    return GetKeyboardLayout(foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr)
                                                   : 0);
}

// A key that a key combination can send: not a modifier, a Windows key or a mouse button.
inline bool isCombinationKey(unsigned key) {
    if (key == 0 || key > 0xFE)
        return false;
    switch (key) {
    case VK_LBUTTON:
    case VK_RBUTTON:
    case VK_MBUTTON:
    case VK_XBUTTON1:
    case VK_XBUTTON2:
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
        return false;
    default:
        return true;
    }
}

// Keys of the extended block, which a keyboard tells from their keypad twins by the extended
// flag: the navigation keys, the keypad's divide and Enter aside, Num Lock, Print, Break, the
// menu key and the browser and media keys.
inline bool isExtendedKey(unsigned key) {
    return (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_INSERT || key == VK_DELETE ||
           key == VK_DIVIDE || key == VK_NUMLOCK || key == VK_SNAPSHOT || key == VK_CANCEL ||
           key == VK_APPS || (key >= VK_BROWSER_BACK && key <= VK_LAUNCH_APP2);
}

// `key` pressed and released with exactly the `modifiers` (GLO_KeyModifier) down: the user's
// other modifiers are let go around it, one SendInput call per input as the clipboard chords.
// The number of inputs the system took; 0 for a key that cannot be sent.
int sendKeyCombination(unsigned modifiers, unsigned key, SendInputProc sendInput);

} // namespace glo_functions
