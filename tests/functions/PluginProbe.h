// A plug-in base opened up for the tests, and windows of the test's own that record the scroll
// messages they receive.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "GloPlugin.h"

// Declared a friend by the plug-in base.
struct CGlo_PluginTestAccess {
    static bool attach(CGlo_Plugin& p, HWND w) { return p.attachThread(w); }
    static void detach(CGlo_Plugin& p) { p.detachThread(); }
    static bool attached(CGlo_Plugin& p, HWND w) { return p.isThreadAttached(w); }
    static HWND originMarker(CGlo_Plugin& p, HWND w) { return p.findOriginMarker(w); }
    static bool safeIEPos(CGlo_Plugin& p, HWND view) { return p.findSafeIEPos(view); }
    static POINT origin(const CGlo_Plugin& p) { return p.autoscrollOrigin; }
    static POINT savedCursor(const CGlo_Plugin& p) { return p.savedCursorPos; }
    static RECT bounds(const CGlo_Plugin& p) { return p.autoscrollBounds; }
    static DWORD waitCapture(CGlo_Plugin& p, HWND w, unsigned long ms) {
        return p.waitForMouseCapture(w, ms);
    }
    static int hiddenCursors(const CGlo_Plugin& p) { return p.hiddenCursorCount; }
};

namespace glotest {

// Protected operations made public; no window is matched.
class Probe : public CGlo_Plugin {
public:
    int match(HWND) override { return 0; }
    using CGlo_Plugin::autoScroll;
    using CGlo_Plugin::autoScrollLeftRight;
    using CGlo_Plugin::autoScrollUpDown;
    using CGlo_Plugin::FindChildScrollbar;
    using CGlo_Plugin::getActiveWindowFromPoint;
    using CGlo_Plugin::getMouseCursorPanFocus;
    using CGlo_Plugin::getPanFocus;
    using CGlo_Plugin::getPreviousPanFocus;
    using CGlo_Plugin::getWindowUnderCursor;
    using CGlo_Plugin::ieMotionTransformation;
    using CGlo_Plugin::isAutoscrollPossible;
    using CGlo_Plugin::isWindowScrollable;
    using CGlo_Plugin::IsWindowScrollbar;
    using CGlo_Plugin::lineLeftRight;
    using CGlo_Plugin::linePan;
    using CGlo_Plugin::lineUpDown;
    using CGlo_Plugin::mbuttonLeftRight;
    using CGlo_Plugin::mbuttonPan;
    using CGlo_Plugin::mbuttonUpDown;
    using CGlo_Plugin::motionDeadband;
    using CGlo_Plugin::nonLinearTransformation;
    using CGlo_Plugin::nonLinearTransformationExp;
    using CGlo_Plugin::setPanFocus;
    using CGlo_Plugin::thumbLeftRight;
    using CGlo_Plugin::thumbPan;
    using CGlo_Plugin::thumbUpDown;
};

inline CGlo_Event motion(int a0, int a1 = 0) {
    return CGlo_Event(a0, a1, 0, 0, 0, 0, -1, 0);
}

struct ScrollMessage {
    HWND to;
    UINT message; // WM_HSCROLL or WM_VSCROLL
    WPARAM wParam;
    LPARAM lParam;
    WORD code() const { return LOWORD(wParam); }
    int position() const { return HIWORD(wParam); }
};

// Scroll messages received by the recording windows of this process, in order.
std::vector<ScrollMessage>& received();

// Window class whose windows record WM_HSCROLL and WM_VSCROLL and move the scrolled bar (the
// control named by lParam, else their own) to a SB_THUMBTRACK position, as programs do.
const wchar_t* recordingClass();

HWND makeWindow(const wchar_t* className, DWORD style, int x, int y, int width, int height,
                HWND parent, const wchar_t* text = L"");
// A scroll-bar control (SBS_VERT / SBS_HORZ / SBS_SIZEBOX in `kind`) with the given range.
HWND makeBar(HWND parent, DWORD kind, int x, int y, int width, int height, int min = 0,
             int max = 99, UINT page = 0, int pos = 0, DWORD style = WS_VISIBLE);
void setRange(HWND window, int bar, int min, int max, UINT page, int pos);
int scrollPos(HWND window, int bar);
// Handles this thread's messages for about `ms` milliseconds.
void pump(int ms = 0);
// Brings a top-level window of this thread to the foreground, active as the system reports it.
bool toForeground(HWND window);
// Puts the cursor on the centre of a window.
void cursorOn(HWND window);
CGloHWND marked(HWND bar, unsigned long style);

} // namespace glotest
