// Zoom functions of the plug-in base: Ctrl with the wheel, the gesture by which Windows programs
// (word processors, spreadsheets, browsers, document viewers, rich-text views) zoom about the
// pointer.
#include "GloPlugin.h"

#include "functions/GloChord.h"
#include "functions/GloInput.h"
#include "runtime/GloWorkerControl.h"

using glo_functions::CChordPlan;
using glo_functions::CKeySequence;
using glo_functions::CModifierState;
using glo_functions::kAlt;
using glo_functions::kCtrl;
using glo_functions::kShift;

void CGlo_Plugin::zoomInOut(const CGlo_Event& event) {
    zoom(event, WHEEL_DELTA);
}

void CGlo_Plugin::zoomOutIn(const CGlo_Event& event) {
    zoom(event, -WHEEL_DELTA);
}

// The first notch comes at once, so that a short lift or press zooms one step; the trigger then
// starts empty, and the next notch follows a whole interval later at the pace of the deflection.
void CGlo_Plugin::zoom(const CGlo_Event& event, int inDelta) {
    if (!event.isMotionEvent()) {
        zooming = false;
        if (zoomCtrl != ZoomCtrlUp)
            releaseZoomCtrl();
        return;
    }
    const int axis = event.getAxis(0);
    if (axis == 0)
        return;
    if (!zooming) {
        zooming = true;
        zoomTrigger.ZeroTrigger();
    } else if (!zoomTrigger.IsTriggered(axis)) {
        return;
    }
    sendZoomNotch(axis > 0 ? inDelta : -inDelta);
}

// Ctrl, once pressed, stays down until the gesture ends: a program reads it with GetKeyState
// when it handles the wheel, and a view whose thread is not the keyboard focus's sees only what
// is down then, after the SendInput call has returned. The user's Shift and Alt (Ctrl+Shift+wheel
// scrolls sideways in many programs) are let go around the notch in the same call. While the
// user holds one of them, the notch brings its own Ctrl and takes it back: a Ctrl pressed and
// kept beside the user's Shift could switch the keyboard layout (Ctrl+Shift, a system hotkey).
void CGlo_Plugin::sendZoomNotch(int delta) {
    const CModifierState held = CModifierState::held();
    if (zoomCtrl != ZoomCtrlUp && !held.holds(kCtrl))
        zoomCtrl = ZoomCtrlUp; // the user's own press and release of Left Ctrl took ours along
    const bool altGr =
        held.isDown(VK_RMENU) && glo_functions::layoutHasAltGr(glo_functions::foregroundLayout());
    const CChordPlan plan(held, altGr, kCtrl, kShift | kAlt);
    // The plan presses Ctrl and lets go of nothing of the user's: the Ctrl is the gesture's.
    const bool keepCtrl =
        plan.size() == 2 && plan.keyIndex() == 1 && plan[0].vk == VK_CONTROL && !plan[0].release;
    CKeySequence inputs;
    plan.addLeadIn(inputs, false);
    inputs.wheel(delta);
    if (!keepCtrl)
        plan.addLeadOut(inputs, false);
    const int count = inputs.size();
    // A call the system refused part way was undone, the Ctrl it pressed released with it.
    if (inputs.send(inputSender) == count && keepCtrl)
        zoomCtrl = ZoomCtrlHeld;
}

// Only the Left Ctrl that zoom pressed: a Right Ctrl the user holds stays down.
void CGlo_Plugin::releaseZoomCtrl() {
    if (!glo_functions::isKeyHeld(VK_LCONTROL)) {
        zoomCtrl = ZoomCtrlUp;
        return;
    }
    CKeySequence release;
    release.key(VK_CONTROL, true);
    zoomCtrl = release.send(inputSender) == 1 ? ZoomCtrlUp : ZoomCtrlOwed;
    if (zoomCtrl == ZoomCtrlOwed && gestureControl != nullptr)
        gestureControl->giveBackSoon();
}

// On the worker, between functions: a Ctrl is released only once its gesture has ended.
bool CGlo_Plugin::giveBackInput(CGlo_PluginThread& application) {
    const bool owed = giveBackToUser(application);
    CGlo_Plugin& plugin = static_cast<CGlo_Plugin&>(application);
    if (plugin.zoomCtrl == ZoomCtrlOwed)
        plugin.releaseZoomCtrl();
    return owed || plugin.zoomCtrl == ZoomCtrlOwed;
}
