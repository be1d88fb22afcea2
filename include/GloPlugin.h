// Plug-in base: the application base class of office plug-ins, with everything the navigation
// functions share (pan focus, input attachment, autoscroll detection, motion shaping, repeat
// triggers, the window searches) and the scroll-bar functions.
#pragma once

#include <windows.h>

#include "GloEvent.h"
#include "GloExport.h"
#include "GloKeys.h"
#include "GloPluginThread.h"
#include "GloScrollbarFinder.h"
#include "GloTrigger.h"
#include "GloVector2D.h"
#include "GloWindow.h"

// A plug-in library derives its application from this class, supplies match(), its function
// table and its configurations, and binds the functions below through plain callbacks of its
// own (a CGlo_PluginFunction holds a plain function pointer). All functions run on the
// application's worker thread and take the event the multiplexer rewrote into their axes. A
// zero event (or a button event) ends what a function was doing and sends nothing.
//
// Messages to the target program are sent with a bound (200 ms) and give up on a program that
// does not respond, so a hung program does not stop the device for the others. After a scroll
// message that timed out, the program gets the next one only once it has handled it.
//
// The base order (the finder first, so a plug-in is itself a scroll-bar finder) and the order
// of the virtual operations are part of the plug-in interface.
class GLO_API CGlo_Plugin : public CGlo_WindowClass, public CGlo_PluginThread {
public:
    // Calls init(); the worker thread (CGlo_PluginThread) starts with the first event.
    CGlo_Plugin();
    CGlo_Plugin(const CGlo_Plugin&) = delete;
    CGlo_Plugin& operator=(const CGlo_Plugin&) = delete;

    // Motion within this distance of the trailing dead-band point leaves the output unchanged.
    void setMotionDeadband(double deadband);

    // Focus-choosing functions: on a motion event the pan focus becomes the window under the
    // cursor (or a recent one) that scrolls in the named direction; then the scroll function of
    // the same name runs with the event. A delegate whose focus changes first gets a zero event;
    // the focus is dropped when the motion ends.
    void ILineLeftRight(const CGlo_Event& event);
    void ILinePan(const CGlo_Event& event);
    void ILineUpDown(const CGlo_Event& event);
    void IThumbLeftRight(const CGlo_Event& event);
    void IThumbPan(const CGlo_Event& event);
    void IThumbUpDown(const CGlo_Event& event);
    // The window under the cursor (chosen as for ILinePan) scrolled along the way it scrolls:
    // vertically, or sideways when it only scrolls sideways (a list laid out in columns).
    // IScrollLines: line steps as lineUpDown (lineLeftRight), down or right for a positive
    // axis 0. IScrollPageDown / IScrollPageUp: one page down (right) or up (left) per push or
    // button press; the view moves whatever window has the keyboard focus, and a list's
    // selection stays where it is.
    void IScrollLines(const CGlo_Event& event);
    void IScrollPageDown(const CGlo_Event& event);
    void IScrollPageUp(const CGlo_Event& event);
    // Sideways in lists, branches in trees: the window under the cursor scrolls sideways by
    // lines as with ILineLeftRight when it can (a list with columns wider than itself, a list
    // laid out in columns); a tree view, or a window that does not scroll sideways, gets the
    // arrow keys of cursorLeftRight instead, which open and close a tree's branches. A gesture
    // that started scrolling goes on scrolling.
    void IScrollSideways(const CGlo_Event& event);
    // A wheel movement of a tenth of axis 0 per motion event (positive: away from the user),
    // delivered wherever the system sends wheel input; what a tenth leaves over is carried to
    // the next motion event of the gesture.
    void mouseWheel(const CGlo_Event& event);

    // Middle-button autoscroll in the window under the cursor: the pan focus is chosen as for
    // ILinePan, then autoScroll runs on it.
    void IPanWindow(const CGlo_Event& event);

    // Keys for the window with the keyboard focus. A modifier the user holds is released around
    // a chord that must not have it and pressed again afterwards; a chord's own modifier is
    // pressed only when the user does not hold it. The one-shot functions act on a button press
    // and on every motion event; a zero event or a button release sends nothing.
    //
    // Arrow keys, paced by the cursor triggers (1 to 5 a second with the deflection of axis 0;
    // down or right for a positive value). They bring the pan focus, if any, to the front.
    void cursorUpDown(const CGlo_Event& event);
    void cursorLeftRight(const CGlo_Event& event);
    // cursorLeftRight by axis 0, cursorUpDown by axis 1.
    void cursor(const CGlo_Event& event);
    // Page Up / Page Down, with Ctrl (next or previous sheet or tab) or Alt.
    void pageUp(const CGlo_Event& event);
    void pageDown(const CGlo_Event& event);
    void ctrlPageUp(const CGlo_Event& event);
    void ctrlPageDown(const CGlo_Event& event);
    void altPageUp(const CGlo_Event& event);
    void altPageDown(const CGlo_Event& event);
    // History: Alt+Left and Alt+Right.
    void back(const CGlo_Event& event);
    void forward(const CGlo_Event& event);
    // Ctrl+C, Ctrl+X, Ctrl+V and Escape.
    void copy(const CGlo_Event& event);
    void cut(const CGlo_Event& event);
    void paste(const CGlo_Event& event);
    void escape(const CGlo_Event& event);
    // Any key with modifiers (GLO_KeyModifier): `key` is a virtual-key code, pressed and
    // released with exactly the `modifiers` down, whatever the user holds; the user's own
    // modifiers are let go around it and given back side by side, a lone Alt never reaches the
    // program, and a sequence the system refuses part way is undone. Keys that have a left and
    // a right one (Ctrl, Alt, Shift, Windows) and mouse buttons cannot be the key: nothing is
    // sent for them. Acts as the one-shot functions do.
    void sendKeyCombination(const CGlo_Event& event, unsigned modifiers, unsigned key);

    // Zoom about the pointer, as Windows programs zoom: the wheel turned a notch with Ctrl down,
    // wherever the system sends wheel input (the window under the cursor). A gesture's first
    // motion event turns it at once; then the zoom trigger paces it, from 1 notch a second at
    // the low end of the input range to 10 at the top, with the deflection of axis 0. zoomInOut
    // zooms in for a positive value, zoomOutIn out. Ctrl is pressed only when the user holds
    // neither Ctrl; it stays down while the gesture lasts (a program reads it when it handles
    // the wheel, which may be after the step) and is released when it ends: a zero or button
    // event, another function taking over, the worker's stop. A release the system refuses is
    // tried again before the next event and when the worker stops. The user's Shift and Alt
    // are let go around each notch and given back in the same SendInput call; a notch that
    // finds one of them held brings its own Ctrl and takes it back in that call.
    void zoomInOut(const CGlo_Event& event);
    void zoomOutIn(const CGlo_Event& event);

    // Brings the program's main window to the front, or starts the program named in the
    // registry's App Paths when none is running. Only an absolute path is started; what is
    // refused is written to the debugger's output.
    void startWord(const CGlo_Event& event);
    void startExcel(const CGlo_Event& event);
    void startCalculator(const CGlo_Event& event);
    void startExplorer(const CGlo_Event& event);
    void startPowerpoint(const CGlo_Event& event);
    void startOutlook(const CGlo_Event& event);
    // Starts the user's default mail client, or the machine's default calendar, with the
    // command line registered for it; its program (quoted, or unquoted with blanks in its path)
    // must be an absolute path. Without one configured nothing happens.
    void startMail(const CGlo_Event& event);
    void startCalendar(const CGlo_Event& event);
    // The default value of the App Paths entry of `exeName` into `data` (capacity *dataLen
    // bytes; *dataLen receives the length read). A registry error code, 0 on success; when the
    // entry does not exist, *dataLen becomes 0.
    static LONG getAppPath(const wchar_t* exeName, unsigned char* data, unsigned long* dataLen);

    // Searches below `parent`. Each changes only the CGloWindow it is given.
    // The general child search of the finder base, then the "AVL_AVScrollBar" frames.
    HWND findChildScrollbar(HWND parent, unsigned long bars, CGloWindow& window);
    // A bar anywhere below `parent` beside `window`, filed into it; the handle of
    // window.GetScrollbar(bars), or null.
    HWND findDescendantScrollbar(HWND parent, unsigned long bars, CGloWindow& window);
    // The first descendant whose style has an orientation bit of `bars` (or `parent` with the
    // first matching scroll bar below it filed in); an empty window when there is none.
    CGloWindow findScrollableWindow(HWND parent, unsigned long bars);
    // The window directly beside a scroll-bar control (diagonally beside a size box), as
    // getActiveWindowFromPoint finds it; null when there is none.
    HWND findScrollbarParent(HWND bar);

protected:
    // First-base slots 2 and 3 (after FindChildScrollbar and IsWindowScrollbar).
    // The window scrolls in a direction of `bars`: its own style, or a usable scroll-bar
    // control beside it (for a top-level window, among its own children only), or, vertically,
    // it is a list box made without scroll bars that holds more entries than it shows (such a
    // list follows scroll messages as if it had a bar). Browser views
    // ("Internet Explorer_Server") always scroll; scroll-bar controls and toolbars
    // ("MsoCommand") never do.
    virtual bool isWindowScrollable(CGloWindow& window, unsigned long bars);
    // The window to pan, tried in order: the window under the cursor (for a scroll-bar control
    // the window it serves), the current and the two previous pan focus windows while they lie
    // inside the active window, visible and enabled, the focus window. Fills `focus` (empty when
    // nothing scrolls) and returns its handle. The focus-choosing functions ask on every motion
    // event; this search reuses its last result while nothing it reads has changed, within a
    // gesture.
    virtual HWND getMouseCursorPanFocus(CGloWindow& focus, unsigned long bars);

    // Slots 4 to 9: the scroll functions on the current pan focus.
    // One line step (SB_LINELEFT / SB_LINERIGHT) per firing of the horizontal line trigger,
    // whose rate grows with axis 0.
    virtual void lineLeftRight(const CGlo_Event& event);
    // lineLeftRight with the event, then lineUpDown with axes 0 and 1 swapped.
    virtual void linePan(const CGlo_Event& event);
    virtual void lineUpDown(const CGlo_Event& event);
    // Moves the thumb (SB_THUMBTRACK) by the deflection accumulated over events: a whole
    // traverse of any range takes about 20000 units of axis 0; a range of 0 moves one
    // position per 80 units. The position stays within what the bar can show. A window whose
    // own bar gives no range (another program's, under Wine) is scrolled by line steps
    // instead, which the debugger's output names once per window.
    virtual void thumbLeftRight(const CGlo_Event& event);
    virtual void thumbPan(const CGlo_Event& event);
    virtual void thumbUpDown(const CGlo_Event& event);

    // Autoscroll through the program's own middle-button scrolling, on the current pan focus
    // (else the focus window). Click mode (autoScroll...) starts it with a middle click and ends
    // it with a left click; held mode (mbutton...) holds the middle button down while the cap
    // is deflected. Each motion event places the hidden cursor at the origin plus the
    // deflection (two thirds of it in held mode), within the window. A zero or button event
    // ends it: the button is released, the cursor shown again where the user had it, the input
    // detached; a release the system refuses is tried again by the worker every 50 ms until it
    // goes through. A program that answers a click-mode start only after a second is ended
    // too, also when it does so up to 5 s after the end. The end's click is the user's primary
    // button. While a menu is open, or another window holds the mouse capture, a line function
    // runs instead: lineLeftRight for autoScrollLeftRight, lineUpDown for the two up-down
    // functions, linePan for the others (a plug-in's own line functions count as its code).
    void autoScroll(const CGlo_Event& event);
    void autoScrollLeftRight(const CGlo_Event& event);
    void autoScrollUpDown(const CGlo_Event& event);
    void mbuttonPan(const CGlo_Event& event);
    void mbuttonLeftRight(const CGlo_Event& event);
    void mbuttonUpDown(const CGlo_Event& event);

    // Resets the autoscroll state, the input attachment, the dead band (2.0), the quantiser and
    // the triggers (line: 1 to rate / 2 repeats per second, cursor: 1 to 5, zoom: 1 to 10, all
    // over the input range 60 to 350); leaves the pan focus and a Ctrl held by zoom alone.
    // Returns 1.
    int init() override;

public:
    // Stops the worker before any member a function uses is destroyed.
    ~CGlo_Plugin() override;

protected:
    // The current pan focus (two names for the same).
    const CGloWindow& getPanFocus() const;
    const CGloWindow& getCurrentPanFocus() const;
    // Makes `window` the pan focus; the one it replaces goes into the history of the last two
    // distinct windows. The same handle again changes nothing.
    void setPanFocus(const CGloWindow& window);
    // History element 0 (more recent) or 1 while that window exists, is visible and enabled;
    // otherwise an empty window.
    const CGloWindow& getPreviousPanFocus(int index) const;
    // The next pan focus search looks afresh (done at the end of every gesture).
    void forgetPanFocusSearch();

    // getActiveWindowFromPoint at the cursor.
    HWND getWindowUnderCursor();
    // The deepest visible, enabled window at the screen point below the foreground thread's
    // active window, looking through group boxes as the system's hit-testing does (behind a
    // browser's origin pane, the window after it); null when that is the active window itself
    // or there is no active window.
    HWND getActiveWindowFromPoint(const POINT& point);

    // No menu is open, and either nothing holds the mouse capture, the attached window does,
    // or the capture window shows an autoscroll origin marker, whose centre and the capture
    // window's client area are then adopted as the running autoscroll.
    bool isAutoscrollPossible();

    // Quadratic gain on axes 0 and 1: from 1/13 below length 35 to 13.5/13 from 350 on.
    CGlo_Event& nonLinearTransformation(CGlo_Event& event);
    // Exponential curve for motion events: a scaled length L below 350 becomes
    // 350 + (350 - base * scale) * (e^(4L/350) - e^4) / (e^4 - 1), the direction kept.
    CGlo_Event& nonLinearTransformationExp(CGlo_Event& event, int base, double scale);
    // Dead band on values[0..1] in place: true when the input stays within the dead band of the
    // trailing point (the output then repeats it). Null or (0, 0) resets the point.
    bool motionDeadband(int* values);
    // Browser autoscroll quantiser on values[0..1] in place: each value becomes one of two
    // points 4 pixels into neighbouring 20-pixel bands, alternating so that the average follows
    // two thirds of the input. Null or (0, 0) restarts the cycles.
    void ieMotionTransformation(int* values);

private:
    // White-box access for the core's own tests.
    friend struct CGlo_PluginTestAccess;

    // Input of the worker thread attached to the thread that owns the window; detach must run
    // on the same (worker) thread.
    bool attachThread(HWND window);
    void detachThread();
    bool isThreadAttached(HWND window);
    bool hideThreadCursor(HWND window);
    bool hideAutoScrollOrigin(HWND window, POINT point);
    HWND findOriginMarker(HWND window);
    bool assertNotAutoscroll(HWND window);
    // Moves the cursor to a point of the view where the plain arrow cursor shows.
    bool findSafeIEPos(HWND view);
    // Waits up to min(timeoutMs, 1000) ms until some window of the foreground thread holds the
    // mouse capture (`target` not null) or none does (null): 0, or WAIT_TIMEOUT.
    DWORD waitForMouseCapture(HWND target, unsigned long timeoutMs);

    static BOOL CALLBACK EnumOriginMarkerProc(HWND window, LPARAM marker);
    static BOOL CALLBACK EnumScrollBarProc(HWND window, LPARAM search);
    static BOOL CALLBACK EnumScrollableWindowProc(HWND window, LPARAM search);

    typedef void (CGlo_Plugin::*ScrollFunction)(const CGlo_Event&);
    void choosePanFocus(const CGlo_Event& event, unsigned long bars, ScrollFunction delegate);
    void lineStep(const CGlo_Event& event, CTrigger& trigger, UINT message, const CGloHWND& bar);
    void thumbStep(const CGlo_Event& event, bool vertical);
    void pageStep(const CGlo_Event& event, WPARAM code);
    void lineAlong(const CGlo_Event& event);
    bool scrollsSidewaysUnderCursor();
    static bool scrollsVertically(const CGloWindow& window);
    bool sendScroll(UINT message, WPARAM code, const CGloHWND& bar);
    void forgetVanishedPanFocus(HWND bar);

    enum AutoscrollKind {
        ClickPan,
        ClickLeftRight,
        ClickUpDown,
        HeldPan,
        HeldLeftRight,
        HeldUpDown
    };
    void autoscroll(const CGlo_Event& event, AutoscrollKind kind);
    bool steerAutoscroll(const CGlo_Event& event, AutoscrollKind kind);
    void followRefusedStart(bool gestureGoesOn, bool held);
    void resumeLateCapture();
    void endLateCapture();
    bool startAutoscroll(AutoscrollKind kind, GUITHREADINFO& info);
    void stepAutoscroll(const CGlo_Event& event, AutoscrollKind kind, HWND capture);
    void endClickMode(HWND capture);
    void endHeldMode(HWND capture, bool userMiddle);
    // Releases the buttons still held, returns the cursor, shows it and detaches.
    void restoreUser();
    void releaseButtons();
    static bool giveBackToUser(CGlo_PluginThread& application);
    // What the worker gives back between functions: buttons, a late capture and a Ctrl zoom still
    // owes. True while something is still owed.
    static bool giveBackInput(CGlo_PluginThread& application);
    // The longest a gesture may wait for a program now: all of `wantedMs`, or what a stop that
    // was asked for leaves for it.
    LONGLONG waitAllowance(LONGLONG wantedMs);
    // The worker's control when called on the worker, else null.
    CGlo_WorkerControl* workerGestureControl();
    void showHiddenCursor();
    void cursorStep(const CGlo_Event& event, CTrigger& trigger, WORD positive, WORD negative);
    void startProgram(const CGlo_Event& event, const wchar_t* windowClass, const wchar_t* exeName);
    void zoom(const CGlo_Event& event, int inDelta);
    void sendZoomNotch(int delta);
    void releaseZoomCtrl();

    POINT autoscrollOrigin;
    POINT savedCursorPos;
    RECT autoscrollBounds;
    CGloWindow previousPanFocus[2]; // [0] is the more recent
    CGloWindow currentPanFocus;
    CGloWindow emptyWindow; // never assigned
    HWND attachedWindow;
    CVector2D deadbandPoint;
    double motionDeadbandDistance;
    int lowStepCount[2];
    int highStepCount[2];
    CGlo_AcrobatClass acrobatFinder;
    CGlo_PageMakerClass pageMakerFinder;
    CTrigger hLineTrigger;
    CTrigger vLineTrigger;
    CTrigger hCursorTrigger;
    CTrigger vCursorTrigger;
    // Owner thread of the attached window, kept so that the input can be detached after the
    // window is gone.
    DWORD attachedThreadId;
    // What an autoscroll gesture has to give back: cursor hides not yet undone, the buttons it
    // pressed whose release the system has not taken yet (their MOUSEEVENTF_..UP flags), the
    // user's cursor moved away from savedCursorPos.
    int hiddenCursorCount;
    DWORD buttonsDown;
    bool cursorMoved;
    // The window whose program did not take the capture after this gesture's click: no more
    // clicks until the gesture ends; a capture its thread takes later is joined, or ended after
    // the end. Null if none.
    HWND refusedStartWindow;
    // The last pan focus search and what it read (the result's step: 0 under the cursor, 1 to 3
    // the current and previous pan focus, 4 the focus window). Its result is reused only while
    // all of that is unchanged, which every search checks first, and only within a gesture.
    CGloWindow lastSearchFound;
    POINT lastSearchCursor;
    HWND lastSearchActive;
    HWND lastSearchFocus;
    HWND lastSearchAtPoint;
    HWND lastSearchCandidates[3];
    unsigned long lastSearchBars;
    int lastSearchStep;
    // A scroll message that timed out is still handled later: until this window has answered,
    // it gets no further one.
    HWND unansweredScrollTarget;
    // Shared with the worker: whether this object may still be touched, and how much of a
    // stop's budget is left; null without a worker.
    CGlo_WorkerControl* gestureControl;
    // SendInput, or what a test puts in its place to play a system that refuses input.
    UINT(WINAPI* inputSender)(UINT count, LPINPUT inputs, int size);
    // Until when (getMilliSeconds) an ended gesture's unanswered click (refusedStartWindow) is
    // watched for a late capture; 0 when none is.
    LONGLONG lateCaptureDeadline;
    // Zoom: the pace of its notches, whether a gesture runs (its first notch went), and the Left
    // Ctrl it pressed: up, held for the gesture, or owed (its release was refused).
    enum ZoomCtrl { ZoomCtrlUp, ZoomCtrlHeld, ZoomCtrlOwed };
    CTrigger zoomTrigger;
    bool zooming;
    ZoomCtrl zoomCtrl;
};
