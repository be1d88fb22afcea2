// Autoscroll and middle-button panning through the target program's own autoscroll: started
// with a synthesised middle click (click mode) or press (held mode) at an origin inside the
// window, steered by placing the hidden cursor at the origin plus the deflection, ended with a
// left click or the release. Whatever a gesture took from the user (a button, the cursor's
// place and visibility, the input attachment) is given back on every way out.
#include "GloPlugin.h"

#include <algorithm>

#include "GloBoundedSend.h"
#include "GloHandles.h"
#include "GloInput.h"

using glo_functions::isKeyHeld;
using glo_functions::sendBounded;

namespace {

const unsigned long kCaptureWaitMs = 1000;
// The end's click lands this far up and left of the origin, off the origin marker.
const int kEndClickOffset = 4;

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

void CGlo_Plugin::autoscroll(const CGlo_Event& event, AutoscrollKind kind) {
    if (!event.isMotionEvent())
        startRefused = false; // the gesture ends: the next one may click again
    const bool held = kind >= HeldPan;
    const bool middleDown = held && isKeyHeld(VK_MBUTTON); // before anything is released
    // isAutoscrollPossible may adopt an autoscroll running under an origin marker; while a
    // gesture of ours runs, the place to return the user's cursor to stays the one it saved.
    const POINT userCursor = savedCursorPos;
    const bool ours = cursorMoved;
    const bool possible = isAutoscrollPossible();
    if (ours)
        savedCursorPos = userCursor;
    if (!possible) {
        restoreUser();
        if (kind == ClickLeftRight || kind == HeldLeftRight)
            lineLeftRight(event);
        else if (kind == ClickUpDown || kind == HeldUpDown)
            lineUpDown(event);
        else
            linePan(event);
        return;
    }
    GUITHREADINFO info;
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(0, &info)) {
        if (!event.isMotionEvent())
            restoreUser(); // nothing in front any more, but the gesture still ends
        return;
    }
    if (!event.isMotionEvent()) {
        motionDeadband(nullptr);
        ieMotionTransformation(nullptr);
        if (held)
            endHeldMode(info.hwndCapture, middleDown);
        else
            endClickMode(info.hwndCapture);
        return;
    }
    // A program that did not answer the gesture's click with the capture gets no more clicks
    // (a middle click may open a link or paste); one that takes it late is still steered.
    if (info.hwndCapture == nullptr && (startRefused || !startAutoscroll(kind, info)))
        return;
    stepAutoscroll(event, kind, info.hwndCapture);
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
    if (!cursorMoved)
        GetCursorPos(&savedCursorPos); // the user's place, not the one a retry left behind

    if (!attachThread(target))
        return false; // no click, nothing moves
    hideThreadCursor(target);
    cursorMoved = true;
    if (pan && targetClass.IsWindowClass(L"Internet Explorer")) {
        findSafeIEPos(target);
    } else {
        SetCursorPos(origin.x, origin.y);
        if (!held) {
            POINT client = origin;
            ScreenToClient(target, &client);
            sendBounded(target, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
        }
    }
    if (held) {
        releaseSyntheticMiddle(); // the press of an earlier start whose capture was lost
        syntheticMiddleDown = glo_functions::sendMouseButton(MOUSEEVENTF_MIDDLEDOWN);
    } else {
        INPUT click[2] = {};
        click[0].type = click[1].type = INPUT_MOUSE;
        click[0].mi.dwFlags = MOUSEEVENTF_MIDDLEDOWN;
        click[1].mi.dwFlags = MOUSEEVENTF_MIDDLEUP;
        if (SendInput(2, click, sizeof(INPUT)) == 1)
            glo_functions::releaseMouseButton(MOUSEEVENTF_MIDDLEUP);
    }
    if (waitForMouseCapture(target, kCaptureWaitMs) != 0) {
        // A program that does not pan while the button is held gets everything back now, not
        // at the end of the motion.
        startRefused = true;
        if (held)
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

void CGlo_Plugin::endClickMode(HWND capture) {
    if (capture != nullptr && attachedWindow != nullptr) {
        SetCursorPos(autoscrollOrigin.x - kEndClickOffset, autoscrollOrigin.y - kEndClickOffset);
        cursorMoved = true;
        if (glo_functions::sendMouseButton(MOUSEEVENTF_LEFTDOWN))
            glo_functions::releaseMouseButton(MOUSEEVENTF_LEFTUP);
        waitForMouseCapture(nullptr, kCaptureWaitMs);
        // A move in the input stream, after the click, so the program sees the cursor leave.
        glo_functions::moveMouseTo(savedCursorPos, 65536);
        Sleep(1);
        // The normalised coordinates can land a pixel short: the cursor goes back exactly.
        POINT now;
        if (GetCursorPos(&now) && (now.x != savedCursorPos.x || now.y != savedCursorPos.y))
            SetCursorPos(savedCursorPos.x, savedCursorPos.y);
        cursorMoved = false;
    }
    restoreUser();
}

// The Ctrl tap after the release ends what some programs start on a held middle button; a
// user who holds Ctrl keeps it held.
void CGlo_Plugin::endHeldMode(HWND capture, bool middleDown) {
    if (capture == nullptr && !middleDown && !syntheticMiddleDown) {
        restoreUser();
        return;
    }
    if (attachedWindow != nullptr) {
        const bool ctrlHeld = isKeyHeld(VK_CONTROL);
        SetCursorPos(autoscrollOrigin.x - kEndClickOffset, autoscrollOrigin.y - kEndClickOffset);
        cursorMoved = true;
        releaseSyntheticMiddle();
        Sleep(1);
        if (!ctrlHeld) {
            glo_functions::CKeySequence tap;
            tap.key(VK_CONTROL, false);
            tap.endCall(1);
            tap.key(VK_CONTROL, true);
            tap.endCall(1);
            tap.send();
        }
        if (waitForMouseCapture(nullptr, kCaptureWaitMs) != 0)
            showCannotExit();
        SetCursorPos(savedCursorPos.x, savedCursorPos.y);
    } else {
        SetCursorPos(autoscrollOrigin.x, autoscrollOrigin.y); // the user's own held pan
    }
    cursorMoved = false;
    restoreUser();
}

void CGlo_Plugin::releaseSyntheticMiddle() {
    if (!syntheticMiddleDown)
        return;
    glo_functions::releaseMouseButton(MOUSEEVENTF_MIDDLEUP);
    syntheticMiddleDown = false;
}

void CGlo_Plugin::restoreUser() {
    releaseSyntheticMiddle();
    if (cursorMoved) {
        SetCursorPos(savedCursorPos.x, savedCursorPos.y);
        cursorMoved = false;
    }
    detachThread(); // shows the cursor it hid
}

// Wakes on any input, in 1 ms slices, and counts the time really spent.
DWORD CGlo_Plugin::waitForMouseCapture(HWND target, unsigned long timeoutMs) {
    auto reached = [target] {
        GUITHREADINFO info;
        info.cbSize = sizeof(info);
        const HWND capture = GetGUIThreadInfo(0, &info) ? info.hwndCapture : nullptr;
        return target != nullptr ? capture != nullptr : capture == nullptr;
    };
    if (reached())
        return 0;
    LONGLONG budget = static_cast<LONGLONG>(timeoutMs < 1000 ? timeoutMs : 1000) + 1;
    LONGLONG last = getMilliSeconds();
    for (;;) {
        if (budget <= 0)
            return WAIT_TIMEOUT;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        const LONGLONG now = getMilliSeconds();
        budget -= now - last;
        last = now;
        if (reached())
            return 0;
    }
}
