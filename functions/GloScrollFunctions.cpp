// The scroll-bar functions of the plug-in base: line steps, thumb tracking, wheel, and the
// focus-choosing functions that pick the window to scroll under the cursor.
#include "GloPlugin.h"

#include <atomic>
#include <climits>

#include "windows/GloBarlessList.h"
#include "windows/GloBoundedSend.h"
#include "functions/GloGestureScope.h"
#include "functions/GloInput.h"
#include "log/GdrLog.h"

using glo_functions::actsOnce;
using glo_functions::CGestureScope;
using glo_windows::isListWithoutBar;
using glo_windows::kSendBoundMs;
using glo_windows::readScrollInfo;
using glo_windows::sendBounded;

namespace {

// Library-wide remainders of thumb tracking, shared by the workers of every plug-in.
std::atomic<int> g_horizontalThumb{0};
std::atomic<int> g_verticalThumb{0};
// And of the wheel: the part of a tenth that a motion event leaves over.
std::atomic<int> g_wheelRest{0};

// A whole traverse of a range takes about this much accumulated deflection.
const long long kTraverse = 20000;
const int kDivisorWithoutRange = 80;

int saturatedSum(long long sum) {
    return sum > INT_MAX ? INT_MAX : sum < INT_MIN ? INT_MIN : static_cast<int>(sum);
}

// Adds the deflection and takes the whole steps out in one atomic update, so that workers
// sharing the accumulator never take the same units twice; returns the steps.
long long takeSteps(std::atomic<int>& accumulator, int deflection, long long divisor) {
    int old = accumulator.load();
    long long steps;
    int rest;
    do {
        const int total = saturatedSum(static_cast<long long>(old) + deflection);
        steps = total / divisor;
        rest = static_cast<int>(total - steps * divisor);
    } while (!accumulator.compare_exchange_weak(old, rest));
    return steps;
}

// The windows named in the log as scrolled by lines for want of a range, the latest few: a
// window's bars do not start answering between gestures, so each is named once, not per gesture.
const int kNamedWindows = 8;
std::atomic<HWND> g_namedByLines[kNamedWindows];
std::atomic<unsigned> g_nextNamed{0};

// Workers write to the debugger's output: the driver's log is written on the driver's thread.
void nameScrolledByLines(const wchar_t* plugin, HWND window) {
    for (const std::atomic<HWND>& named : g_namedByLines)
        if (named.load() == window)
            return;
    g_namedByLines[g_nextNamed++ % kNamedWindows].store(window);
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    wchar_t line[256];
    gdrFormatLine(line, 255,
                  GDR_LOG_TAG L"Plugin %ls: the scroll range of window 0x%x (%ls) cannot be read; "
                              L"it is scrolled by lines\n",
                  plugin, gdrHex(window), name);
    OutputDebugStringW(line);
}

} // namespace

// The message goes to a separate bar's own parent with the bar's handle, else to the focus.
// False when it could not be delivered; a vanished focus is then dropped.
//
// A message that timed out is still handled when the program gets to it. A program slower per
// step than the bound would collect steps and go on scrolling after the cap is released, so the
// next message goes only after a WM_NULL has come back (messages are handled in the order sent),
// and both together wait no longer than the bound.
bool CGlo_Plugin::sendScroll(UINT message, WPARAM code, const CGloHWND& bar) {
    const HWND control = bar.GetHWND();
    const HWND target =
        control != nullptr ? GetAncestor(control, GA_PARENT) : currentPanFocus.GetHWND();
    UINT bound = kSendBoundMs;
    if (unansweredScrollTarget != nullptr && unansweredScrollTarget == target) {
        const DWORD start = GetTickCount();
        if (!sendBounded(target, WM_NULL, 0, 0)) {
            forgetVanishedPanFocus(control);
            return false;
        }
        const DWORD waited = GetTickCount() - start;
        bound = waited < kSendBoundMs ? kSendBoundMs - waited : 1;
    }
    unansweredScrollTarget = nullptr;
    if (sendBounded(target, message, code, reinterpret_cast<LPARAM>(control), nullptr, bound))
        return true;
    if (target != nullptr && IsWindow(target))
        unansweredScrollTarget = target;
    forgetVanishedPanFocus(control);
    return false;
}

void CGlo_Plugin::lineStep(const CGlo_Event& event, CTrigger& trigger, UINT message,
                           const CGloHWND& bar) {
    if (!event.isMotionEvent())
        trigger.ResetTrigger();
    else if (!trigger.IsTriggered(event.getAxis(0)))
        return;
    const int axis = event.getAxis(0);
    if (axis == 0)
        return;
    // SB_LINEDOWN and SB_LINERIGHT are both 1, SB_LINEUP and SB_LINELEFT 0.
    if (!sendScroll(message, axis > 0 ? SB_LINEDOWN : SB_LINEUP, bar) &&
        currentPanFocus.GetHWND() == nullptr)
        trigger.ResetTrigger(); // the window is gone: the next one starts afresh
}

void CGlo_Plugin::lineLeftRight(const CGlo_Event& event) {
    lineStep(event, hLineTrigger, WM_HSCROLL, currentPanFocus.GetHScrollbar());
}

void CGlo_Plugin::lineUpDown(const CGlo_Event& event) {
    lineStep(event, vLineTrigger, WM_VSCROLL, currentPanFocus.GetVScrollbar());
}

void CGlo_Plugin::linePan(const CGlo_Event& event) {
    lineLeftRight(event);
    CGlo_Event swapped(event);
    swapped.swapAxes(0, 1);
    lineUpDown(swapped);
}

// The thumb stays within the positions the bar really has, nMin to nMax - (nPage - 1), and
// nothing is sent when it is already at that end. A window's own bars in another program may
// give no range at all (Wine answers nothing across processes): the window is then scrolled by
// line steps at the deflection's pace. Without scroll information otherwise (a separate bar
// that is gone or hung, a vanished window) nothing is sent and the deflection is not kept: it
// would all arrive at once when the program recovers.
void CGlo_Plugin::thumbStep(const CGlo_Event& event, bool vertical) {
    std::atomic<int>& accumulator = vertical ? g_verticalThumb : g_horizontalThumb;
    CTrigger& lines = vertical ? vLineTrigger : hLineTrigger;
    if (!event.isMotionEvent()) {
        accumulator.store(0);
        lines.ResetTrigger();
        return;
    }
    const CGloHWND& bar =
        vertical ? currentPanFocus.GetVScrollbar() : currentPanFocus.GetHScrollbar();
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
    const bool read = bar.GetHWND() != nullptr ? readScrollInfo(bar.GetHWND(), SB_CTL, info)
                                               : readScrollInfo(currentPanFocus.GetHWND(),
                                                                vertical ? SB_VERT : SB_HORZ, info);
    if (!read) {
        forgetVanishedPanFocus(bar);
        const HWND window = currentPanFocus.GetHWND();
        if (window == nullptr || bar.GetHWND() != nullptr) {
            accumulator.store(0);
            return;
        }
        nameScrolledByLines(getName(), window);
        lineStep(event, lines, vertical ? WM_VSCROLL : WM_HSCROLL, bar);
        return;
    }
    const long long range = static_cast<long long>(info.nMax) - info.nMin;
    long long divisor = kDivisorWithoutRange;
    if (range > 0) {
        divisor = kTraverse / range;
        if (divisor == 0)
            divisor = 1;
    }
    const long long steps = takeSteps(accumulator, event.getAxis(0), divisor);
    if (steps == 0)
        return;

    const long long page = info.nPage > 0 ? static_cast<long long>(info.nPage) - 1 : 0;
    long long last = static_cast<long long>(info.nMax) - page;
    if (last < info.nMin)
        last = info.nMin;
    long long position = static_cast<long long>(info.nPos) + steps;
    if (position < info.nMin)
        position = info.nMin;
    if (position > last)
        position = last;
    // The position travels in 16 bits: one that does not fit would arrive as another position.
    if (position == info.nPos || position < SHRT_MIN || position > USHRT_MAX)
        return;
    const WPARAM code = MAKEWPARAM(SB_THUMBTRACK, static_cast<WORD>(position));
    if (!sendScroll(vertical ? WM_VSCROLL : WM_HSCROLL, code, bar) &&
        currentPanFocus.GetHWND() == nullptr)
        accumulator.store(0);
}

void CGlo_Plugin::thumbLeftRight(const CGlo_Event& event) {
    thumbStep(event, false);
}

void CGlo_Plugin::thumbUpDown(const CGlo_Event& event) {
    thumbStep(event, true);
}

void CGlo_Plugin::thumbPan(const CGlo_Event& event) {
    thumbLeftRight(event);
    CGlo_Event swapped(event);
    swapped.swapAxes(0, 1);
    thumbUpDown(swapped);
}

// A view scrolls vertically when it can; one that only scrolls sideways (a list laid out in
// columns) has its items in that direction. A list box without bars lists them one below the
// other.
bool CGlo_Plugin::scrollsVertically(const CGloWindow& window) {
    return (GetWindowLongW(window, GWL_STYLE) & WS_VSCROLL) != 0 ||
           window.GetVScrollbar().IsScrollable(WS_VSCROLL) || isListWithoutBar(window);
}

void CGlo_Plugin::lineAlong(const CGlo_Event& event) {
    if (!event.isMotionEvent()) { // either may have run in this gesture
        lineUpDown(event);
        lineLeftRight(event);
    } else if (scrollsVertically(currentPanFocus)) {
        lineUpDown(event);
    } else {
        lineLeftRight(event);
    }
}

// One page per push, whatever window has the keyboard focus: page keys would move a list's
// selection to the edge of the page first and scroll nothing. (SB_PAGEDOWN is SB_PAGERIGHT.)
void CGlo_Plugin::pageStep(const CGlo_Event& event, WPARAM code) {
    if (!actsOnce(event))
        return;
    CGloWindow found;
    getMouseCursorPanFocus(found, WS_VSCROLL | WS_HSCROLL);
    setPanFocus(found);
    if (currentPanFocus.GetHWND() != nullptr) {
        if (scrollsVertically(currentPanFocus))
            sendScroll(WM_VSCROLL, code, currentPanFocus.GetVScrollbar());
        else
            sendScroll(WM_HSCROLL, code, currentPanFocus.GetHScrollbar());
    }
    setPanFocus(emptyWindow);
    forgetPanFocusSearch();
}

void CGlo_Plugin::IScrollLines(const CGlo_Event& event) {
    choosePanFocus(event, WS_VSCROLL | WS_HSCROLL, &CGlo_Plugin::lineAlong);
}

// Trees open and close branches with these keys, whatever scroll bars they show. The
// decision is made where no window is being scrolled yet: a gesture that started scrolling
// goes on (the pan focus is kept until the cap comes to rest).
bool CGlo_Plugin::scrollsSidewaysUnderCursor() {
    HWND under = getWindowUnderCursor();
    if (under != nullptr && CGloHWND(under).IsScrollbar())
        under = findScrollbarParent(under);
    if (under == nullptr)
        return false;
    CGloWindow view(under);
    return !view.IsWindowClass(L"treeview") && isWindowScrollable(view, WS_HSCROLL);
}

void CGlo_Plugin::IScrollSideways(const CGlo_Event& event) {
    if (!event.isMotionEvent()) { // either may have run in this gesture
        ILineLeftRight(event);
        cursorLeftRight(event);
    } else if (currentPanFocus.GetHWND() != nullptr || scrollsSidewaysUnderCursor()) {
        ILineLeftRight(event);
    } else {
        cursorLeftRight(event);
    }
}

void CGlo_Plugin::IScrollPageDown(const CGlo_Event& event) {
    pageStep(event, SB_PAGEDOWN);
}

void CGlo_Plugin::IScrollPageUp(const CGlo_Event& event) {
    pageStep(event, SB_PAGEUP);
}

// The remainder is carried within a gesture: dropped, a deflection below 10 would turn nothing at
// all and every other one would lose up to a tenth, so the wheel would neither start where the
// other functions start nor follow the user's speed in proportion.
void CGlo_Plugin::mouseWheel(const CGlo_Event& event) {
    if (!event.isMotionEvent()) {
        g_wheelRest.store(0);
        return;
    }
    const long long turn = takeSteps(g_wheelRest, event.getAxis(0), 10);
    if (turn == 0)
        return;
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_WHEEL;
    input.mi.mouseData = static_cast<DWORD>(turn);
    SendInput(1, &input, sizeof(input));
}

// Every motion event asks the (virtual) search again: a plug-in's own choice may change while
// the cursor rests, and the base search keeps its own result only while nothing it reads has
// changed, and never beyond the gesture (what a window scrolls is not among what it reads).
// The search and the delegate may be a plug-in's own and run outside the worker's guard; a stop
// that gave up on this object meanwhile leaves it untouched.
void CGlo_Plugin::choosePanFocus(const CGlo_Event& event, unsigned long bars,
                                 ScrollFunction delegate) {
    CGestureScope scope(workerGestureControl());
    if (!scope.mayTouch())
        return;
    if (event.isMotionEvent()) {
        const HWND previous = currentPanFocus.GetHWND();
        CGloWindow found;
        if (!scope.outside([&] { getMouseCursorPanFocus(found, bars); }))
            return;
        if (previous != nullptr && previous != found.GetHWND() &&
            !scope.outside([&] { (this->*delegate)(CGlo_Event()); })) // ends its old focus' work
            return;
        setPanFocus(found);
    }
    if (currentPanFocus.GetHWND() == nullptr)
        return;
    if (!scope.outside([&] { (this->*delegate)(event); }))
        return;
    if (event.isZeroEvent() || event.isButtonEvent()) {
        setPanFocus(emptyWindow);
        forgetPanFocusSearch();
    }
}

void CGlo_Plugin::ILineLeftRight(const CGlo_Event& event) {
    choosePanFocus(event, WS_HSCROLL, &CGlo_Plugin::lineLeftRight);
}

void CGlo_Plugin::ILinePan(const CGlo_Event& event) {
    choosePanFocus(event, WS_HSCROLL | WS_VSCROLL, &CGlo_Plugin::linePan);
}

void CGlo_Plugin::ILineUpDown(const CGlo_Event& event) {
    choosePanFocus(event, WS_VSCROLL, &CGlo_Plugin::lineUpDown);
}

void CGlo_Plugin::IThumbLeftRight(const CGlo_Event& event) {
    choosePanFocus(event, WS_HSCROLL, &CGlo_Plugin::thumbLeftRight);
}

void CGlo_Plugin::IThumbPan(const CGlo_Event& event) {
    choosePanFocus(event, WS_HSCROLL | WS_VSCROLL, &CGlo_Plugin::thumbPan);
}

void CGlo_Plugin::IThumbUpDown(const CGlo_Event& event) {
    choosePanFocus(event, WS_VSCROLL, &CGlo_Plugin::thumbUpDown);
}
