// Autoscroll and middle-button panning through the target program's own autoscroll: started
// with a synthesised middle click (click mode) or press (held mode) at an origin inside the
// window, steered by placing the hidden cursor at the origin plus the deflection, ended with a
// left click or the release. Whatever a gesture took from the user (a button, the cursor's
// place and visibility, the input attachment) is given back on every way out.
#include "GloPlugin.h"

#include <algorithm>

#include "windows/GloBoundedSend.h"
#include "functions/GloGestureScope.h"
#include "functions/GloHandles.h"
#include "functions/GloInput.h"
#include "runtime/GloPreciseDelay.h"

using glo_functions::CGestureScope;
using glo_functions::isKeyHeld;
using glo_functions::stopAsked;
using glo_windows::sendBounded;

namespace {

const unsigned long kCaptureWaitMs = 1000;
// How long after a gesture's end a click it made that no program answered yet is watched for: a
// busy program may still take it up.
const LONGLONG kLateCaptureWatchMs = 5000;
// What a gesture's end still does after its waits (moves, releases, detaching): the waits leave
// this much of a stop's budget for it.
const LONGLONG kGiveBackReserveMs = 250;
// The end's click lands this far up and left of the origin, off the origin marker.
const int kEndClickOffset = 4;
// The capture waits poll every 0.1 ms (100 ns units) for their first 20 ms.
const LONGLONG kShortPoll = 1000;
const LONGLONG kShortPollMs = 20;

LONG clampTo(long long value, LONG low, LONG high) {
    if (value < low)
        return low;
    return value > high ? high : static_cast<LONG>(value);
}

LONG centre(LONG a, LONG b) {
    return static_cast<LONG>((static_cast<long long>(a) + b) / 2);
}

// The held-mode end could not make the program let go of the mouse. The user is told from a
// thread of its own, so that the worker goes on; one box at a time.
volatile LONG g_cannotExitShown = 0;

DWORD WINAPI cannotExitProc(LPVOID module) {
    MessageBoxW(nullptr, L"mbuttonpan cannot exit\n", L"Error", MB_OK);
    InterlockedExchange(&g_cannotExitShown, 0);
    if (module != nullptr)
        FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
    return 0;
}

void showCannotExit() {
    if (InterlockedCompareExchange(&g_cannotExitShown, 1, 0) != 0)
        return;
    // The thread runs this library's code: the library stays loaded until the box is closed.
    HMODULE module = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCWSTR>(&cannotExitProc), &module) &&
        module == GetModuleHandleW(nullptr)) {
        FreeLibrary(module); // linked into the program: nothing to keep
        module = nullptr;
    }
    const glo_functions::CScopedHandle thread(
        CreateThread(nullptr, 0, &cannotExitProc, module, 0, nullptr));
    if (thread.get() == nullptr) {
        if (module != nullptr)
            FreeLibrary(module);
        InterlockedExchange(&g_cannotExitShown, 0);
    }
}

// A button the user holds: one of the gesture's own whose release the system has not taken yet
// does not count.
bool userHoldsAButton(DWORD buttonsDown) {
    const struct {
        int vk;
        DWORD up;
    } buttons[] = {{VK_LBUTTON, MOUSEEVENTF_LEFTUP},
                   {VK_RBUTTON, MOUSEEVENTF_RIGHTUP},
                   {VK_MBUTTON, MOUSEEVENTF_MIDDLEUP},
                   {VK_XBUTTON1, 0},
                   {VK_XBUTTON2, 0}};
    for (const auto& button : buttons)
        if (isKeyHeld(button.vk) && (buttonsDown & button.up) == 0)
            return true;
    return false;
}

} // namespace

void CGlo_Plugin::IPanWindow(const CGlo_Event& event) {
    choosePanFocus(event, WS_HSCROLL | WS_VSCROLL, &CGlo_Plugin::autoScroll);
}

void CGlo_Plugin::autoScroll(const CGlo_Event& event) {
    autoscroll(event, ClickPan);
}

void CGlo_Plugin::autoScrollLeftRight(const CGlo_Event& event) {
    autoscroll(event, ClickLeftRight);
}

void CGlo_Plugin::autoScrollUpDown(const CGlo_Event& event) {
    autoscroll(event, ClickUpDown);
}

void CGlo_Plugin::mbuttonPan(const CGlo_Event& event) {
    autoscroll(event, HeldPan);
}

void CGlo_Plugin::mbuttonLeftRight(const CGlo_Event& event) {
    autoscroll(event, HeldLeftRight);
}

void CGlo_Plugin::mbuttonUpDown(const CGlo_Event& event) {
    autoscroll(event, HeldUpDown);
}

CGlo_WorkerControl* CGlo_Plugin::workerGestureControl() {
    return GetCurrentThreadId() == workerThreadId ? gestureControl : nullptr;
}

void CGlo_Plugin::autoscroll(const CGlo_Event& event, AutoscrollKind kind) {
    bool lines;
    {
        const CGestureScope scope(workerGestureControl());
        if (!scope.mayTouch())
            return;
        // A stopping application scrolls no lines: the line functions may be a plug-in's own.
        lines = !steerAutoscroll(event, kind) && !scope.stopping();
    }
    if (!lines)
        return;
    if (kind == ClickLeftRight)
        lineLeftRight(event);
    else if (kind == ClickUpDown || kind == HeldUpDown)
        lineUpDown(event); // the vertical axis keeps scrolling vertically
    else
        linePan(event);
}

// False when no autoscroll is possible now (a menu is open, another window holds the capture):
// the line function of the same axes runs instead.
bool CGlo_Plugin::steerAutoscroll(const CGlo_Event& event, AutoscrollKind kind) {
    const bool held = kind >= HeldPan;
    if (refusedStartWindow != nullptr)
        followRefusedStart(event.isMotionEvent(), held);
    // The user's own middle button, read before anything is released.
    const bool userMiddle =
        held && isKeyHeld(VK_MBUTTON) && (buttonsDown & MOUSEEVENTF_MIDDLEUP) == 0;
    // isAutoscrollPossible may adopt an autoscroll running under an origin marker; while a
    // gesture of ours runs, the place to return the user's cursor to stays the one it saved.
    const POINT userCursor = savedCursorPos;
    const bool ours = cursorMoved;
    const bool possible = isAutoscrollPossible();
    if (ours)
        savedCursorPos = userCursor;
    if (!possible) {
        restoreUser();
        return false;
    }
    GUITHREADINFO info;
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(0, &info)) {
        if (!event.isMotionEvent())
            restoreUser(); // nothing in front any more, but the gesture still ends
        return true;
    }
    if (!event.isMotionEvent()) {
        motionDeadband(nullptr);
        ieMotionTransformation(nullptr);
        if (held)
            endHeldMode(info.hwndCapture, userMiddle);
        else
            endClickMode(info.hwndCapture);
        return true;
    }
    // A program that did not answer the gesture's click with the capture gets no more clicks
    // (a middle click may open a link or paste).
    if (info.hwndCapture == nullptr &&
        (refusedStartWindow != nullptr || !startAutoscroll(kind, info)))
        return true;
    stepAutoscroll(event, kind, info.hwndCapture);
    return true;
}

// A start whose click the program did not answer in time gave everything back at once. Held
// mode let go of its press with it: there is nothing left to end. In click mode a busy program
// may still take the capture for the click: the gesture then takes it up as its own (steers
// it, ends it), also when it comes with the end; one that comes after the end is watched for a
// while and ended by the worker's give-back. A new gesture clicks afresh.
void CGlo_Plugin::followRefusedStart(bool gestureGoesOn, bool held) {
    const bool watched = lateCaptureDeadline != 0;
    lateCaptureDeadline = 0;
    if (held) {
        if (!gestureGoesOn || watched)
            refusedStartWindow = nullptr;
        return;
    }
    resumeLateCapture();
    const bool takenUp = attachedWindow != nullptr;
    if (gestureGoesOn) {
        if (watched && !takenUp)
            refusedStartWindow = nullptr;
        return;
    }
    if (takenUp) {
        refusedStartWindow = nullptr; // the end below ends it
        return;
    }
    lateCaptureDeadline = getMilliSeconds() + kLateCaptureWatchMs;
    if (gestureControl != nullptr)
        gestureControl->giveBackSoon();
}

// A capture of another program, or one taken while the user holds a button (a drag or an
// autoscroll of the user's own), is not the gesture's to steer or end with a click. The cursor
// goes back to where the user has it then, which may not be where the gesture gave it back.
void CGlo_Plugin::resumeLateCapture() {
    GUITHREADINFO info;
    info.cbSize = sizeof(info);
    if (attachedWindow != nullptr || !GetGUIThreadInfo(0, &info) || info.hwndCapture == nullptr)
        return;
    const DWORD clicked = GetWindowThreadProcessId(refusedStartWindow, nullptr);
    if (clicked == 0 || GetWindowThreadProcessId(info.hwndCapture, nullptr) != clicked ||
        userHoldsAButton(buttonsDown))
        return;
    POINT cursor;
    if (!cursorMoved && GetCursorPos(&cursor))
        savedCursorPos = cursor;
    attachThread(info.hwndCapture);
}

// After the gesture's end, on the worker: a capture the clicked program took since is ended as
// the end would have. A stopping worker is the last to look: it waits for the capture within
// the stop's budget.
void CGlo_Plugin::endLateCapture() {
    const bool last = stopAsked(workerGestureControl());
    if (last)
        waitForMouseCapture(refusedStartWindow, kCaptureWaitMs);
    resumeLateCapture();
    if (attachedWindow != nullptr) {
        GUITHREADINFO info;
        info.cbSize = sizeof(info);
        endClickMode(GetGUIThreadInfo(0, &info) ? info.hwndCapture : nullptr);
    } else if (!last && IsWindow(refusedStartWindow) && getMilliSeconds() < lateCaptureDeadline) {
        return; // watched on
    }
    lateCaptureDeadline = 0;
    refusedStartWindow = nullptr;
}

// False when this event goes no further (no window, no attachment, no capture in time).
bool CGlo_Plugin::startAutoscroll(AutoscrollKind kind, GUITHREADINFO& info) {
    const bool held = kind >= HeldPan;
    HWND target = currentPanFocus.GetHWND();
    if (target == nullptr)
        target = info.hwndFocus;
    WINDOWINFO window;
    window.cbSize = sizeof(window);
    if (target == nullptr || !GetWindowInfo(target, &window)) {
        restoreUser(); // the window of a running gesture may be gone
        return false;
    }
    const RECT bounds = window.rcClient;
    autoscrollBounds = bounds;
    const LONG cx = centre(bounds.left, bounds.right);
    const LONG cy = centre(bounds.top, bounds.bottom);
    const CGloHWND targetClass(target);
    const bool pan = kind == ClickPan || kind == HeldPan;
    POINT origin;
    if (pan) {
        // Word's document view and rich-edit controls: near the right edge, halfway down.
        const bool edge = targetClass.IsWindowClass(L"_WwG") ||
                          targetClass.IsWindowClass(held ? L"RichEdit20W" : L"RichEditW");
        origin.x = (std::max)(bounds.right - (edge ? 10 : 100), cx);
        origin.y = edge ? cy : (std::min)(bounds.top + 200, cy);
    } else if (kind == ClickLeftRight || kind == HeldLeftRight) {
        origin = POINT{cx, (std::max)(bounds.bottom - 10, cy)};
    } else {
        origin = POINT{(std::max)(bounds.right - 10, cx), cy};
    }
    autoscrollOrigin = origin;
    // The user holds the middle button: a press or click of ours would end with its release.
    if (isKeyHeld(VK_MBUTTON) && (buttonsDown & MOUSEEVENTF_MIDDLEUP) == 0) {
        restoreUser();
        return false;
    }
    if (stopAsked(workerGestureControl())) {
        restoreUser(); // a stopping application clicks no program into a scroll it cannot end
        return false;
    }
    if (!cursorMoved)
        GetCursorPos(&savedCursorPos); // the user's place, not the one a retry left behind

    if (!attachThread(target)) {
        restoreUser(); // a gesture that moved on to this window gives back what it held
        return false;  // no click, nothing moves
    }
    hideThreadCursor(target);
    cursorMoved = true;
    if (pan && targetClass.IsWindowClass(L"Internet Explorer")) {
        if (!findSafeIEPos(target) && stopAsked(workerGestureControl())) {
            restoreUser(); // the search gave up for a stop: no click
            return false;
        }
    } else {
        SetCursorPos(origin.x, origin.y);
        if (!held) {
            POINT client = origin;
            ScreenToClient(target, &client);
            sendBounded(target, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
        }
    }
    if (held) {
        releaseButtons(); // the press of an earlier start whose capture was lost
        if (glo_functions::sendMouseButton(MOUSEEVENTF_MIDDLEDOWN, inputSender))
            buttonsDown |= MOUSEEVENTF_MIDDLEUP;
    } else {
        INPUT click[2] = {};
        click[0].type = click[1].type = INPUT_MOUSE;
        click[0].mi.dwFlags = MOUSEEVENTF_MIDDLEDOWN;
        click[1].mi.dwFlags = MOUSEEVENTF_MIDDLEUP;
        if (inputSender(2, click, sizeof(INPUT)) == 1) {
            buttonsDown |= MOUSEEVENTF_MIDDLEUP;
            releaseButtons();
        }
    }
    if (waitForMouseCapture(target, kCaptureWaitMs) != 0) {
        // A program that does not scroll now gets no more clicks, and the user gets everything
        // back now, not at the end of the motion.
        refusedStartWindow = target;
        restoreUser();
        return false;
    }
    GetCursorPos(&autoscrollOrigin); // where the click really happened
    hideAutoScrollOrigin(target, autoscrollOrigin);
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(0, &info) != FALSE;
}

void CGlo_Plugin::stepAutoscroll(const CGlo_Event& event, AutoscrollKind kind, HWND capture) {
    if (capture == nullptr)
        return;
    int axes[6];
    event.getMotionData(axes);
    hideThreadCursor(capture);
    hideAutoScrollOrigin(capture, autoscrollOrigin);
    const bool browser = CGloHWND(capture).IsWindowClass(L"Internet Explorer");
    if (motionDeadband(axes) && !browser)
        return;
    if (browser)
        ieMotionTransformation(axes);
    // Held mode moves two thirds of the deflection, except in a browser, whose quantiser has
    // already scaled it.
    const bool scaled = kind >= HeldPan && !browser;
    auto offset = [scaled](int value) -> long long {
        return scaled ? 2LL * value / 3 : static_cast<long long>(value);
    };
    const RECT& b = autoscrollBounds;
    POINT point = autoscrollOrigin;
    if (kind == ClickPan || kind == HeldPan) {
        point.x = clampTo(point.x + offset(axes[0]), b.left, b.right);
        point.y = clampTo(point.y + offset(axes[1]), b.top, b.bottom);
    } else if (kind == ClickLeftRight || kind == HeldLeftRight) {
        point.x = clampTo(point.x + offset(axes[0]), b.left, b.right);
    } else {
        point.y = clampTo(point.y + offset(axes[0]), b.top, b.bottom);
    }
    SetCursorPos(point.x, point.y);
    cursorMoved = true;
    POINT client = point;
    ScreenToClient(capture, &client);
    sendBounded(capture, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
}

// The click that ends it is the user's primary button, the right one when the buttons are
// swapped: a left click would open a context menu there.
void CGlo_Plugin::endClickMode(HWND capture) {
    if (capture != nullptr && attachedWindow != nullptr) {
        SetCursorPos(autoscrollOrigin.x - kEndClickOffset, autoscrollOrigin.y - kEndClickOffset);
        cursorMoved = true;
        const glo_functions::MouseButton primary =
            glo_functions::primaryButton(GetSystemMetrics(SM_SWAPBUTTON) != 0);
        if (glo_functions::sendMouseButton(primary.down, inputSender)) {
            buttonsDown |= primary.up;
            releaseButtons();
        }
        // The one wait of the end: a program whose autoscroll follows the cursor's position
        // (read in a loop of its own, not taken from its mouse messages) would scroll towards
        // the user's place if the cursor went back before it handled the click.
        waitForMouseCapture(nullptr, kCaptureWaitMs);
        // A move in the input stream, after the click, so the program sees the cursor leave.
        glo_functions::moveMouseTo(savedCursorPos, 65536, inputSender);
        // The normalised coordinates can land a pixel short: the cursor goes back exactly. (The
        // move has taken effect when SendInput returns.)
        POINT now;
        if (GetCursorPos(&now) && (now.x != savedCursorPos.x || now.y != savedCursorPos.y))
            SetCursorPos(savedCursorPos.x, savedCursorPos.y);
        cursorMoved = false;
    }
    restoreUser();
}

// The Ctrl tap after the release ends what some programs start on a held middle button; a
// user who holds Ctrl (either side) keeps it held, and no Ctrl is left down. The program takes
// the release and the tap in the order of the input stream: no pause between them.
void CGlo_Plugin::endHeldMode(HWND capture, bool userMiddle) {
    const bool ours = (buttonsDown & MOUSEEVENTF_MIDDLEUP) != 0;
    if (attachedWindow != nullptr && (capture != nullptr || ours || userMiddle)) {
        const bool ctrlHeld = isKeyHeld(VK_CONTROL);
        SetCursorPos(autoscrollOrigin.x - kEndClickOffset, autoscrollOrigin.y - kEndClickOffset);
        cursorMoved = true;
        releaseButtons();
        if (!ctrlHeld) {
            glo_functions::CKeySequence tap;
            tap.key(VK_CONTROL, false);
            tap.key(VK_CONTROL, true);
            tap.send(inputSender);
        }
        // The program's held pan follows the cursor: it goes back once the program let go.
        // Unless a stop cut the wait short, the program had its time to let go.
        if (waitForMouseCapture(nullptr, kCaptureWaitMs) != 0 && !stopAsked(workerGestureControl()))
            showCannotExit();
        SetCursorPos(savedCursorPos.x, savedCursorPos.y);
        cursorMoved = false;
    } else if (attachedWindow == nullptr && (capture != nullptr || userMiddle)) {
        SetCursorPos(autoscrollOrigin.x, autoscrollOrigin.y); // the user's own held pan
        cursorMoved = false;
    }
    restoreUser();
}

// A release the system refuses (a secure desktop in front) is kept as owed: the worker tries
// again on its give-back timer until it goes through, before its next event and when it stops.
void CGlo_Plugin::releaseButtons() {
    for (const DWORD up : {MOUSEEVENTF_MIDDLEUP, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_RIGHTUP})
        if ((buttonsDown & up) != 0 && glo_functions::releaseMouseButton(up, inputSender))
            buttonsDown &= ~up;
    if (buttonsDown != 0 && gestureControl != nullptr)
        gestureControl->giveBackSoon();
}

// On the worker, between functions: only what no gesture holds any more is given back (a
// running gesture gives back at its end). True while something is still owed.
bool CGlo_Plugin::giveBackToUser(CGlo_PluginThread& application) {
    CGlo_Plugin& plugin = static_cast<CGlo_Plugin&>(application);
    if (plugin.attachedWindow != nullptr)
        return false;
    if (plugin.lateCaptureDeadline != 0)
        plugin.endLateCapture();
    if (plugin.buttonsDown != 0)
        plugin.releaseButtons();
    return plugin.buttonsDown != 0 || plugin.lateCaptureDeadline != 0;
}

void CGlo_Plugin::restoreUser() {
    releaseButtons();
    if (cursorMoved) {
        SetCursorPos(savedCursorPos.x, savedCursorPos.y);
        cursorMoved = false;
    }
    detachThread(); // shows the cursor it hid
}

// The gesture's waits end in time for what still follows them before the stop gives up on it.
LONGLONG CGlo_Plugin::waitAllowance(LONGLONG wantedMs) {
    CGlo_WorkerControl* const control = workerGestureControl();
    const DWORD left = control != nullptr ? control->timeBeforeStop() : INFINITE;
    if (left == INFINITE)
        return wantedMs;
    const LONGLONG allowed = static_cast<LONGLONG>(left) - kGiveBackReserveMs;
    return allowed < 0 ? 0 : (std::min)(allowed, wantedMs);
}

// Counts the time really spent. A program usually answers within a fraction of a millisecond,
// and the gesture's end waits for that answer before it moves the cursor: the first
// milliseconds are polled in short sleeps where the system keeps them short, the rest in 1 ms
// slices that wake on any input.
DWORD CGlo_Plugin::waitForMouseCapture(HWND target, unsigned long timeoutMs) {
    auto reached = [target] {
        GUITHREADINFO info;
        info.cbSize = sizeof(info);
        const HWND capture = GetGUIThreadInfo(0, &info) ? info.hwndCapture : nullptr;
        return target != nullptr ? capture != nullptr : capture == nullptr;
    };
    if (reached())
        return 0;
    LONGLONG budget = waitAllowance(static_cast<LONGLONG>(timeoutMs < 1000 ? timeoutMs : 1000) + 1);
    const LONGLONG first = getMilliSeconds();
    const glo_runtime::DelayProc shortSleep = glo_runtime::preciseDelay();
    LONGLONG last = first;
    for (;;) {
        if (budget <= 0)
            return WAIT_TIMEOUT;
        if (shortSleep != nullptr && last - first < kShortPollMs) {
            LARGE_INTEGER interval;
            interval.QuadPart = -kShortPoll;
            shortSleep(FALSE, &interval);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        }
        const LONGLONG now = getMilliSeconds();
        budget = (std::min)(budget - (now - last), waitAllowance(budget)); // a stop asked since
        last = now;
        if (reached())
            return 0;
    }
}
