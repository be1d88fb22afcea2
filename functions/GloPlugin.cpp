#include "GloPlugin.h"

#include <cmath>

#include "functions/GloGestureScope.h"
#include "functions/GloInput.h"
#include "windows/GloWindowAtPoint.h"

namespace {

// Shared arrow cursor, or the value the system uses for it when it cannot be loaded.
HCURSOR arrowCursor() {
    HANDLE arrow = LoadImageW(nullptr, MAKEINTRESOURCEW(32512), IMAGE_CURSOR, 0, 0,
                              LR_DEFAULTSIZE | LR_SHARED);
    return arrow != nullptr ? static_cast<HCURSOR>(arrow)
                            : reinterpret_cast<HCURSOR>(static_cast<ULONG_PTR>(0x10011));
}

} // namespace

CGlo_Plugin::CGlo_Plugin()
    : CGlo_WindowClass(),
      CGlo_PluginThread(), autoscrollOrigin{0, 0}, savedCursorPos{0, 0}, autoscrollBounds{0, 0, 0,
                                                                                          0},
      attachedWindow(nullptr), deadbandPoint(0.0, 0.0),
      motionDeadbandDistance(2.0), lowStepCount{0, 0}, highStepCount{0, 0}, attachedThreadId(0),
      hiddenCursorCount(0), buttonsDown(0), cursorMoved(false),
      refusedStartWindow(nullptr), lastSearchCursor{0, 0}, lastSearchActive(nullptr),
      lastSearchFocus(nullptr), lastSearchAtPoint(nullptr), lastSearchCandidates{},
      lastSearchBars(0), lastSearchStep(0), unansweredScrollTarget(nullptr),
      gestureControl(nullptr), inputSender(&SendInput), lateCaptureDeadline(0), zooming(false),
      zoomCtrl(ZoomCtrlUp) {
    CGlo_Plugin::init();
    // What a gesture could not give back at its end (a button, a zoom's Ctrl), the worker gives
    // back when it can.
    gestureControl = CGlo_WorkerControl::find(this);
    if (gestureControl != nullptr)
        gestureControl->setGiveBack(&CGlo_Plugin::giveBackInput);
}

// The worker may be inside a function that uses the members below: it is stopped first.
CGlo_Plugin::~CGlo_Plugin() {
    stopWorkerThread();
    if (gestureControl != nullptr)
        gestureControl->release();
    gestureControl = nullptr;
}

int CGlo_Plugin::init() {
    autoscrollOrigin = POINT{0, 0};
    savedCursorPos = POINT{0, 0};
    autoscrollBounds = RECT{0, 0, 0, 0};
    attachedWindow = nullptr;
    attachedThreadId = 0;
    motionDeadbandDistance = 2.0;
    lowStepCount[0] = lowStepCount[1] = 0;
    highStepCount[0] = highStepCount[1] = 0;

    const long rate = getEventRate();
    hLineTrigger.SetRepeatRate(1, rate / 2);
    hLineTrigger.SetEventRate(rate);
    hLineTrigger.SetInputRange(getMinCapValue(), getMaxCapValue());
    vLineTrigger = hLineTrigger;
    hCursorTrigger = hLineTrigger;
    hCursorTrigger.SetRepeatRate(1, 5);
    vCursorTrigger = hCursorTrigger;
    zoomTrigger = hCursorTrigger;
    zoomTrigger.SetRepeatRate(1, 10);
    return 1;
}

void CGlo_Plugin::setMotionDeadband(double deadband) {
    motionDeadbandDistance = deadband;
}

// Pan focus

const CGloWindow& CGlo_Plugin::getPanFocus() const {
    return currentPanFocus;
}

const CGloWindow& CGlo_Plugin::getCurrentPanFocus() const {
    return currentPanFocus;
}

// The argument may be one of the history slots (setPanFocus(getPreviousPanFocus(0))), which the
// history update overwrites: it is copied first.
void CGlo_Plugin::setPanFocus(const CGloWindow& window) {
    const HWND current = currentPanFocus.GetHWND();
    if (current == window.GetHWND())
        return;
    const CGloWindow chosen(window);
    if (current != nullptr && previousPanFocus[0].GetHWND() != current) {
        if (previousPanFocus[0].GetHWND() != nullptr)
            previousPanFocus[1] = previousPanFocus[0];
        previousPanFocus[0] = currentPanFocus;
    }
    currentPanFocus = chosen;
}

const CGloWindow& CGlo_Plugin::getPreviousPanFocus(int index) const {
    if (index < 0 || index > 1)
        return emptyWindow;
    const HWND window = previousPanFocus[index].GetHWND();
    if (window == nullptr || !IsWindow(window) || !IsWindowVisible(window) ||
        !IsWindowEnabled(window))
        return emptyWindow;
    return previousPanFocus[index];
}

void CGlo_Plugin::forgetPanFocusSearch() {
    lastSearchFound = emptyWindow;
}

// A message found the focus, or the bar it was sent through, gone: the focus is dropped without
// entering the history, and the next event searches anew.
void CGlo_Plugin::forgetVanishedPanFocus(HWND bar) {
    const HWND window = currentPanFocus.GetHWND();
    if ((window != nullptr && !IsWindow(window)) || (bar != nullptr && !IsWindow(bar)))
        currentPanFocus = emptyWindow;
}

// Window under a point

HWND CGlo_Plugin::getWindowUnderCursor() {
    POINT cursor;
    if (!GetCursorPos(&cursor))
        return nullptr;
    return getActiveWindowFromPoint(cursor);
}

HWND CGlo_Plugin::getActiveWindowFromPoint(const POINT& point) {
    GUITHREADINFO info;
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(0, &info))
        return nullptr;
    return glo_windows::windowAtPoint(info.hwndActive, point);
}

// Input attachment

bool CGlo_Plugin::attachThread(HWND window) {
    if (attachedWindow != window)
        detachThread();
    if (attachedWindow != nullptr)
        return true;
    const DWORD owner = window != nullptr ? GetWindowThreadProcessId(window, nullptr) : 0;
    if (owner == 0 || !AttachThreadInput(GetCurrentThreadId(), owner, TRUE))
        return false;
    attachedWindow = window;
    attachedThreadId = owner;
    return true;
}

// The cursor hidden while attached is shown again first: the hides count on this thread.
void CGlo_Plugin::detachThread() {
    showHiddenCursor();
    if (attachedWindow == nullptr)
        return;
    AttachThreadInput(GetCurrentThreadId(), attachedThreadId, FALSE);
    attachedWindow = nullptr;
    attachedThreadId = 0;
}

bool CGlo_Plugin::isThreadAttached(HWND window) {
    return window != nullptr ? window == attachedWindow : attachedWindow != nullptr;
}

// Autoscroll detection

bool CGlo_Plugin::isAutoscrollPossible() {
    GUITHREADINFO info;
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(0, &info) || info.hwndMenuOwner != nullptr)
        return false;
    if (info.hwndCapture == nullptr || info.hwndCapture == attachedWindow)
        return true;
    const HWND marker = findOriginMarker(info.hwndCapture);
    if (marker == nullptr)
        return false;
    RECT rect;
    if (!GetWindowRect(marker, &rect))
        return false;
    autoscrollOrigin = POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    savedCursorPos = autoscrollOrigin;
    RECT client;
    if (GetClientRect(info.hwndCapture, &client)) {
        MapWindowPoints(info.hwndCapture, nullptr, reinterpret_cast<POINT*>(&client), 2);
        autoscrollBounds = client;
    }
    return true;
}

BOOL CALLBACK CGlo_Plugin::EnumOriginMarkerProc(HWND window, LPARAM marker) {
    if (!CGloHWND(window).IsWindowClass(L"Origin"))
        return TRUE;
    if (marker != 0)
        *reinterpret_cast<CGloHWND*>(marker) = window;
    return FALSE;
}

HWND CGlo_Plugin::findOriginMarker(HWND window) {
    if (window == nullptr)
        return nullptr;
    const HWND root = GetAncestor(window, GA_ROOT);
    if (root == nullptr)
        return nullptr;
    CGloHWND marker;
    EnumChildWindows(root, &CGlo_Plugin::EnumOriginMarkerProc, reinterpret_cast<LPARAM>(&marker));
    return marker.GetHWND();
}

bool CGlo_Plugin::hideThreadCursor(HWND window) {
    if (!isThreadAttached(window))
        return false;
    CURSORINFO cursor;
    cursor.cbSize = sizeof(cursor);
    if (GetCursorInfo(&cursor) && cursor.flags == CURSOR_SHOWING) {
        ShowCursor(FALSE);
        ++hiddenCursorCount; // shown again exactly as often when the gesture ends
    }
    return true;
}

void CGlo_Plugin::showHiddenCursor() {
    for (; hiddenCursorCount > 0; --hiddenCursorCount)
        ShowCursor(TRUE);
}

// Programs draw the marker as a child of the scrolling window or as a sibling laid over it: both
// are looked for, each with the point in its own parent's client coordinates.
bool CGlo_Plugin::hideAutoScrollOrigin(HWND window, POINT point) {
    if (!isThreadAttached(window))
        return false;
    const HWND scrolling = window != nullptr ? window : attachedWindow;
    const HWND parents[2] = {scrolling, GetAncestor(scrolling, GA_PARENT)};
    for (const HWND parent : parents) {
        if (parent == nullptr)
            continue;
        const HWND child = glo_windows::childAtPoint(parent, point);
        if (child == nullptr || child == scrolling || child == parent || !IsWindowVisible(child) ||
            !CGloHWND(child).IsWindowClass(L"Origin"))
            continue;
        ShowWindowAsync(child, SW_HIDE);
        return true;
    }
    return false;
}

bool CGlo_Plugin::assertNotAutoscroll(HWND) {
    return true;
}

// Probes along both diagonals through the centre, widening by 4 pixels per pass. GetCursor
// reports the view's cursor only while the input is attached to the view's thread. Hundreds of
// probes of a millisecond or more each: a stop asked meanwhile ends the search.
bool CGlo_Plugin::findSafeIEPos(HWND view) {
    const HCURSOR arrow = arrowCursor();
    WINDOWINFO info;
    info.cbSize = sizeof(info);
    if (view == nullptr || !GetWindowInfo(view, &info))
        return false;
    const RECT& client = info.rcClient;
    const int cx = (client.left + client.right) / 2;
    const int cy = (client.top + client.bottom) / 2;
    SetCursorPos(cx, cy);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    const int radius = (width < height ? width : height) / 2;
    if (radius < 1)
        return false;
    auto probe = [this, arrow](int x, int y) {
        glo_functions::moveMouseTo(POINT{x, y}, 65535, inputSender);
        Sleep(1);
        return GetCursor() == arrow;
    };
    CGlo_WorkerControl* const control = workerGestureControl();
    for (int r = 0; r < radius; r += 4) {
        int step = static_cast<int>(std::sqrt(static_cast<double>(r * r / 2)));
        if (step < 1)
            step = 1;
        for (int i = -r; i <= r; i += step) {
            if (glo_functions::stopAsked(control))
                return false;
            if (probe(cx + i, cy - i))
                return true;
            if (i != 0 && probe(cx + i, cy + i))
                return true;
        }
    }
    return false;
}
