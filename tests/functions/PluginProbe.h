// A plug-in base opened up for the tests, and windows of the test's own that record the scroll
// messages they receive.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/FakeDriver.h"
#include "GloPlugin.h"
#include "tests/support/TestProgram.h"

// Declared a friend by the plug-in base.
struct CGlo_PluginTestAccess {
    static void detach(CGlo_Plugin& p) { p.detachThread(); }
    static bool attached(CGlo_Plugin& p, HWND w) { return p.isThreadAttached(w); }
    static HWND originMarker(CGlo_Plugin& p, HWND w) { return p.findOriginMarker(w); }
    static bool safeIEPos(CGlo_Plugin& p, HWND view) { return p.findSafeIEPos(view); }
    static POINT origin(const CGlo_Plugin& p) { return p.autoscrollOrigin; }
    static POINT savedCursor(const CGlo_Plugin& p) { return p.savedCursorPos; }
    static RECT bounds(const CGlo_Plugin& p) { return p.autoscrollBounds; }
    static int hiddenCursors(const CGlo_Plugin& p) { return p.hiddenCursorCount; }
    static DWORD buttonsDown(const CGlo_Plugin& p) { return p.buttonsDown; }
    typedef UINT(WINAPI* Sender)(UINT, LPINPUT, int);
    static void setSender(CGlo_Plugin& p, Sender sender) { p.inputSender = sender; }
};

namespace glotest {

// Protected operations made public; no window is matched. Its worker runs, as a plug-in's does
// once an event came: what a function called here could not give back, the worker retries.
class Probe : public CGlo_Plugin {
public:
    Probe() {
        CGlo_Event zero;
        sendevent(zero);
    }
    int match(HWND) override { return 0; }
    using CGlo_Plugin::autoScroll;
    using CGlo_Plugin::autoScrollLeftRight;
    using CGlo_Plugin::autoScrollUpDown;
    using CGlo_Plugin::getActiveWindowFromPoint;
    using CGlo_Plugin::getMouseCursorPanFocus;
    using CGlo_Plugin::getPanFocus;
    using CGlo_Plugin::getPreviousPanFocus;
    using CGlo_Plugin::getWindowUnderCursor;
    using CGlo_Plugin::ieMotionTransformation;
    using CGlo_Plugin::isAutoscrollPossible;
    using CGlo_Plugin::isWindowScrollable;
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
const CGlo_Event kZero;

struct ScrollMessage {
    HWND to;
    UINT message; // WM_HSCROLL or WM_VSCROLL
    WPARAM wParam;
    LPARAM lParam;
    WORD code() const { return LOWORD(wParam); }
    int position() const { return HIWORD(wParam); }
};

// Scroll messages received by the windows of makeWindow, in order. They move the scrolled bar
// (the control named by lParam, else their own) to a SB_THUMBTRACK position, as programs do.
std::vector<ScrollMessage>& received();

HWND makeWindow(const wchar_t* className, DWORD style, int x, int y, int width, int height,
                HWND parent);
// A scroll-bar control (SBS_VERT / SBS_HORZ / SBS_SIZEBOX in `kind`) with the given range.
HWND makeBar(HWND parent, DWORD kind, int x, int y, int width, int height, int min = 0,
             int max = 99, UINT page = 0, int pos = 0);
void setRange(HWND window, int bar, int min, int max, UINT page, int pos);
int scrollPos(HWND window, int bar);
inline void pump(int ms = 0) {
    pumpMessages(ms);
}
inline bool isDown(int vk) {
    return (GetAsyncKeyState(vk) & 0x8000) != 0;
}
// Presses or releases a key as the user would; the right-hand modifiers come extended, as
// from a keyboard.
inline void injectKey(WORD vk, bool up) {
    INPUT key = {};
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = vk;
    key.ki.wScan = WORD(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    const bool right = vk == VK_RCONTROL || vk == VK_RMENU || vk == VK_RSHIFT;
    key.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (right ? KEYEVENTF_EXTENDEDKEY : 0);
    SendInput(1, &key, sizeof(key));
}
// The six modifier keys, each side on its own.
const WORD kSideModifiers[6] = {VK_LCONTROL, VK_RCONTROL, VK_LSHIFT, VK_RSHIFT, VK_LMENU, VK_RMENU};
// The sides the user holds, bits over kSideModifiers.
enum Held { None = 0, LCtrl = 1, RCtrl = 2, LShift = 4, RShift = 8, LAlt = 16, RAlt = 32 };
// Presses (or with `up` releases) the sides of `held` as the user would.
inline void hold(int held, bool up) {
    for (int i = 0; i < 6; ++i)
        if (held & (1 << i))
            injectKey(kSideModifiers[i], up);
}
inline int heldNow() {
    int held = 0;
    for (int i = 0; i < 6; ++i)
        held |= isDown(kSideModifiers[i]) ? 1 << i : 0;
    return held;
}
// The core's lines given to OutputDebugString while it lives: it raises an exception for a
// debugger (a wide one first where the system has it, then this narrow one).
class DebugOutput {
public:
    DebugOutput() : handler(AddVectoredExceptionHandler(1, &DebugOutput::seen)) { lines().clear(); }
    ~DebugOutput() { RemoveVectoredExceptionHandler(handler); }
    static std::vector<std::string>& lines() {
        static std::vector<std::string> all;
        return all;
    }

private:
    static LONG CALLBACK seen(EXCEPTION_POINTERS* pointers) {
        const EXCEPTION_RECORD& r = *pointers->ExceptionRecord;
        const std::string line = r.ExceptionCode == DBG_PRINTEXCEPTION_C && r.NumberParameters >= 2
                                     ? reinterpret_cast<const char*>(r.ExceptionInformation[1])
                                     : "";
        if (line.rfind("Vex_Core_Proxy.dll: ", 0) == 0)
            lines().push_back(line);
        return EXCEPTION_CONTINUE_SEARCH;
    }
    void* handler;
};

// A window wrapper of `bar` marked with `style` (WS_VSCROLL or WS_HSCROLL), as the finders file it.
CGloHWND marked(HWND bar, unsigned long style);

} // namespace glotest
