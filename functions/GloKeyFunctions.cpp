// Keystroke functions of the plug-in base: arrow keys paced by the cursor triggers, page keys
// with and without modifiers, history, clipboard and Escape. The keys go to whatever window
// has the keyboard focus.
#include "GloPlugin.h"

#include "functions/GloChord.h"
#include "functions/GloInput.h"
#include "runtime/GloUserKeys.h"

using glo_functions::actsOnce;
using glo_functions::CKeySequence;
using glo_functions::isKeyHeld;

namespace {

using glo_functions::CChordPlan;
using glo_functions::CModifierState;
using glo_functions::kAlt;
using glo_functions::kCtrl;
using glo_functions::kShift;
using glo_functions::SendInputProc;

// `key` pressed and released with the `chord` modifiers, the user's `released` modifiers let go
// around it. The keyboard layout matters only while Right Alt is down: with AltGr it brings a
// Left Ctrl that goes when it goes.
int sendChord(WORD key, unsigned chord, unsigned released, bool callPerInput,
              SendInputProc sendInput, bool extended = false) {
    const CModifierState held = CModifierState::held();
    const bool altGr =
        held.isDown(VK_RMENU) && glo_functions::layoutHasAltGr(glo_functions::foregroundLayout());
    const CChordPlan plan(held, altGr, chord, released);
    CKeySequence keys;
    plan.addLeadIn(keys, callPerInput);
    keys.key(key, false, true, extended);
    if (callPerInput)
        keys.endCall();
    keys.key(key, true, true, extended);
    if (callPerInput)
        keys.endCall();
    plan.addLeadOut(keys, callPerInput);
    return keys.send(sendInput);
}

// The user's key combinations on buttons are sent by the worker through this (the keys stay
// the user's to choose, so the real system's SendInput).
void sendUserKeys(unsigned modifiers, unsigned key) {
    glo_functions::sendKeyCombination(modifiers, key, &SendInput);
}
const bool s_userKeysSent = (glo_runtime::setKeySender(&sendUserKeys), true);

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
        sendChord(VK_PRIOR, 0, 0, false, inputSender);
}

void CGlo_Plugin::pageDown(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_NEXT, 0, 0, false, inputSender);
}

void CGlo_Plugin::ctrlPageUp(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_PRIOR, kCtrl, kAlt | kShift, false, inputSender);
}

void CGlo_Plugin::ctrlPageDown(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_NEXT, kCtrl, kAlt | kShift, false, inputSender);
}

void CGlo_Plugin::altPageUp(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_PRIOR, kAlt, kCtrl | kShift, false, inputSender);
}

void CGlo_Plugin::altPageDown(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_NEXT, kAlt, kCtrl | kShift, false, inputSender);
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
        sendChord('C', kCtrl, kAlt, true, inputSender);
}

void CGlo_Plugin::cut(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord('X', kCtrl, kAlt, true, inputSender);
}

void CGlo_Plugin::paste(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord('V', kCtrl, kAlt, true, inputSender);
}

void CGlo_Plugin::escape(const CGlo_Event& event) {
    if (actsOnce(event))
        sendChord(VK_ESCAPE, 0, kCtrl | kAlt, true, inputSender);
}

void CGlo_Plugin::sendKeyCombination(const CGlo_Event& event, unsigned modifiers, unsigned key) {
    if (actsOnce(event))
        glo_functions::sendKeyCombination(modifiers, key, inputSender);
}

// The modifiers the combination does not name are the user's that would change it: let go.
int glo_functions::sendKeyCombination(unsigned modifiers, unsigned key, SendInputProc sendInput) {
    if (!isCombinationKey(key))
        return 0;
    const unsigned chord = ((modifiers & GLO_KeyCtrl) ? unsigned(kCtrl) : 0u) |
                           ((modifiers & GLO_KeyAlt) ? unsigned(kAlt) : 0u) |
                           ((modifiers & GLO_KeyShift) ? unsigned(kShift) : 0u);
    return sendChord(static_cast<WORD>(key), chord, (kCtrl | kAlt | kShift) & ~chord, true,
                     sendInput, isExtendedKey(key));
}
