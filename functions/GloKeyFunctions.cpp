// Keystroke functions of the plug-in base: arrow keys paced by the cursor triggers, page keys
// with and without modifiers, history, clipboard and Escape. The keys go to whatever window
// has the keyboard focus.
#include "GloPlugin.h"

#include "GloInput.h"

using glo_functions::actsOnce;
using glo_functions::CKeySequence;
using glo_functions::isKeyHeld;

namespace {

// The modifiers the user holds, read once before a sequence is built.
class CHeldModifiers {
public:
    CHeldModifiers()
        : ctrl(isKeyHeld(VK_CONTROL)), shift(isKeyHeld(VK_SHIFT)), alt(isKeyHeld(VK_MENU)) {}
    bool holds(WORD vk) const {
        return vk == VK_CONTROL ? ctrl : vk == VK_SHIFT ? shift : vk == VK_MENU && alt;
    }

private:
    bool ctrl, shift, alt;
};

// `key` pressed and released with `modifier` (0: none), which is pressed only when the user
// does not hold it. The user's `released` modifiers that would change the chord are let go
// before it and pressed again after it, in reverse order, so the user's state is as it was.
void sendChord(WORD key, WORD modifier, const WORD (&released)[2], bool callPerInput) {
    const CHeldModifiers held;
    CKeySequence keys;
    auto add = [&](WORD vk, bool release) {
        keys.key(vk, release);
        if (callPerInput)
            keys.endCall();
    };
    const bool pressModifier = modifier != 0 && !held.holds(modifier);
    for (const WORD vk : released)
        if (vk != 0 && held.holds(vk))
            add(vk, true);
    if (pressModifier)
        add(modifier, false);
    add(key, false);
    add(key, true);
    if (pressModifier)
        add(modifier, true);
    for (int i = 1; i >= 0; --i)
        if (released[i] != 0 && held.holds(released[i]))
            add(released[i], false);
    keys.send();
}

// Alt+arrow, paced: the Alt press alone, then the arrow, then the Alt release alone. When the
// system refuses a part, the rest is not sent and Alt is not left down.
void sendHistory(WORD arrow) {
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
    keys.send();
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
    keys.send();
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
        sendChord(VK_PRIOR, 0, kNone, false);
}

void CGlo_Plugin::pageDown(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_NEXT, 0, kNone, false);
}

void CGlo_Plugin::ctrlPageUp(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_PRIOR, VK_CONTROL, kAltShift, false);
}

void CGlo_Plugin::ctrlPageDown(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_NEXT, VK_CONTROL, kAltShift, false);
}

void CGlo_Plugin::altPageUp(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_PRIOR, VK_MENU, kCtrlShift, false);
}

void CGlo_Plugin::altPageDown(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_NEXT, VK_MENU, kCtrlShift, false);
}

void CGlo_Plugin::back(const CGlo_Event& event) {
    if (actsOnce(event))
        sendHistory(VK_LEFT);
}

void CGlo_Plugin::forward(const CGlo_Event& event) {
    if (actsOnce(event))
        sendHistory(VK_RIGHT);
}

void CGlo_Plugin::copy(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord('C', VK_CONTROL, kAlt, true);
}

void CGlo_Plugin::cut(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord('X', VK_CONTROL, kAlt, true);
}

void CGlo_Plugin::paste(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord('V', VK_CONTROL, kAlt, true);
}

void CGlo_Plugin::escape(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_ESCAPE, 0, kCtrlAlt, true);
}
