// Keystroke functions of the plug-in base: arrow keys paced by the cursor triggers, page keys
// with and without modifiers, history, clipboard and Escape. The keys go to whatever window
// has the keyboard focus.
#include "GloPlugin.h"

#include "GloInput.h"

using glo_functions::actsOnce;
using glo_functions::CKeySequence;
using glo_functions::isKeyHeld;

namespace {

using glo_functions::SendInputProc;

// The left and right key of a modifier.
struct ModifierSides {
    WORD generic, left, right;
};
const ModifierSides kSides[] = {{VK_CONTROL, VK_LCONTROL, VK_RCONTROL},
                                {VK_SHIFT, VK_LSHIFT, VK_RSHIFT},
                                {VK_MENU, VK_LMENU, VK_RMENU}};

const ModifierSides* sidesOf(WORD vk) {
    for (const ModifierSides& sides : kSides)
        if (sides.generic == vk)
            return &sides;
    return nullptr;
}

// The modifier keys the user holds, each side on its own, read once before a sequence is built:
// a key released around a chord is pressed again as the same key, so the user's state is what
// it was.
class CHeldModifiers {
public:
    CHeldModifiers() {
        for (int i = 0; i < 3; ++i) {
            left[i] = isKeyHeld(kSides[i].left);
            right[i] = isKeyHeld(kSides[i].right);
        }
    }
    // Either side of the generic key `vk`.
    bool holds(WORD vk) const {
        const ModifierSides* sides = sidesOf(vk);
        return sides != nullptr && (left[sides - kSides] || right[sides - kSides]);
    }
    // Calls `add`(key) for each held side of `vk`: left first, or right first when `reversed`.
    template <class Add> void forEachHeldSide(WORD vk, bool reversed, Add add) const {
        const ModifierSides* sides = sidesOf(vk);
        if (sides == nullptr)
            return;
        const bool l = left[sides - kSides], r = right[sides - kSides];
        if (reversed && r)
            add(sides->right);
        if (l)
            add(sides->left);
        if (!reversed && r)
            add(sides->right);
    }

private:
    bool left[3], right[3];
};

// `key` pressed and released with `modifier` (0: none), which is pressed only when the user
// holds neither side of it. The user's `released` modifiers that would change the chord are let
// go before it and pressed again after it, in reverse order.
void sendChord(WORD key, WORD modifier, const WORD (&released)[2], bool callPerInput,
               SendInputProc sendInput) {
    const CHeldModifiers held;
    CKeySequence keys;
    auto add = [&](WORD vk, bool release) {
        keys.key(vk, release);
        if (callPerInput)
            keys.endCall();
    };
    const bool pressModifier = modifier != 0 && !held.holds(modifier);
    for (const WORD vk : released)
        held.forEachHeldSide(vk, false, [&](WORD side) { add(side, true); });
    if (pressModifier)
        add(modifier, false);
    add(key, false);
    add(key, true);
    if (pressModifier)
        add(modifier, true);
    for (int i = 1; i >= 0; --i)
        held.forEachHeldSide(released[i], true, [&](WORD side) { add(side, false); });
    keys.send(sendInput);
}

// Alt+arrow, paced: the Alt press alone, then the arrow, then the Alt release alone. When the
// system refuses a part, the rest is not sent and Alt is not left down.
void sendHistory(WORD arrow, SendInputProc sendInput) {
    const bool altHeld = isKeyHeld(VK_MENU);
    CKeySequence keys;
    if (!altHeld) {
        keys.key(VK_MENU, false);
        keys.endCall(1);
    }
    keys.key(arrow, false);
    keys.key(arrow, true);
    keys.endCall(altHeld ? 0 : 1);
    if (!altHeld)
        keys.key(VK_MENU, true);
    keys.send(sendInput);
}

const WORD kNone[2] = {0, 0};
const WORD kAltShift[2] = {VK_MENU, VK_SHIFT};
const WORD kCtrlShift[2] = {VK_CONTROL, VK_SHIFT};
const WORD kAlt[2] = {VK_MENU, 0};
const WORD kCtrlAlt[2] = {VK_CONTROL, VK_MENU};

} // namespace

// An arrow key (scan code 0) per firing of the trigger; a zero or button event restarts it.
void CGlo_Plugin::cursorStep(const CGlo_Event& event, CTrigger& trigger, WORD positive,
                             WORD negative) {
    if (!event.isMotionEvent())
        trigger.ResetTrigger();
    else if (!trigger.IsTriggered(event.getAxis(0)))
        return;
    GUITHREADINFO info;
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(0, &info))
        return;
    const int axis = event.getAxis(0);
    if (axis == 0)
        return;
    const HWND focus = currentPanFocus.GetHWND();
    if (focus != nullptr && focus != info.hwndFocus)
        SetForegroundWindow(focus);
    const WORD vk = axis > 0 ? positive : negative;
    CKeySequence keys;
    keys.key(vk, false, false);
    keys.endCall();
    keys.key(vk, true, false);
    keys.send(inputSender);
}

void CGlo_Plugin::cursorUpDown(const CGlo_Event& event) {
    cursorStep(event, vCursorTrigger, VK_DOWN, VK_UP);
}

void CGlo_Plugin::cursorLeftRight(const CGlo_Event& event) {
    cursorStep(event, hCursorTrigger, VK_RIGHT, VK_LEFT);
}

void CGlo_Plugin::cursor(const CGlo_Event& event) {
    cursorLeftRight(event);
    CGlo_Event swapped(event);
    swapped.swapAxes(0, 1);
    cursorUpDown(swapped);
}

void CGlo_Plugin::pageUp(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_PRIOR, 0, kNone, false, inputSender);
}

void CGlo_Plugin::pageDown(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_NEXT, 0, kNone, false, inputSender);
}

void CGlo_Plugin::ctrlPageUp(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_PRIOR, VK_CONTROL, kAltShift, false, inputSender);
}

void CGlo_Plugin::ctrlPageDown(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_NEXT, VK_CONTROL, kAltShift, false, inputSender);
}

void CGlo_Plugin::altPageUp(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_PRIOR, VK_MENU, kCtrlShift, false, inputSender);
}

void CGlo_Plugin::altPageDown(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_NEXT, VK_MENU, kCtrlShift, false, inputSender);
}

void CGlo_Plugin::back(const CGlo_Event& event) {
    if (actsOnce(event))
        sendHistory(VK_LEFT, inputSender);
}

void CGlo_Plugin::forward(const CGlo_Event& event) {
    if (actsOnce(event))
        sendHistory(VK_RIGHT, inputSender);
}

void CGlo_Plugin::copy(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord('C', VK_CONTROL, kAlt, true, inputSender);
}

void CGlo_Plugin::cut(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord('X', VK_CONTROL, kAlt, true, inputSender);
}

void CGlo_Plugin::paste(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord('V', VK_CONTROL, kAlt, true, inputSender);
}

void CGlo_Plugin::escape(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_ESCAPE, 0, kCtrlAlt, true, inputSender);
}
