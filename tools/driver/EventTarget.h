// Which window the core's window matching works on, worked out from outside the same way: the
// foreground window, the window under the cursor, the keyboard focus, and the window that
// match() finally receives.
#pragma once

#include <windows.h>

#include <string>

namespace driver {

struct EventTarget {
    HWND foreground = nullptr; // null: no visible, restored foreground window; nothing matches
    HWND window = nullptr;     // the window the user works in
    HWND given = nullptr;      // what every plug-in's match() receives
    const char* how = "";      // how `window` was found
};

// The core's gloWindowFromPoint (GloWindowFromPoint.h), taken from the core library the tool
// loads; without it no window is found under the cursor.
typedef HWND (*WindowFromPointProc)(HWND active, POINT screen);
void useWindowFromPoint(WindowFromPointProc proc);
// The window under the cursor below the foreground program's active window, as the core finds
// it; null over no child window.
HWND windowUnderCursor();

// The target of a first event, as the core finds it without any earlier event.
EventTarget currentTarget();
// The target the core would use if `window` (a top-level window or a control) were where the
// user works: a top-level window's keyboard focus, or the control itself.
EventTarget targetOf(HWND window);
// The first visible window of class `name`: a top-level window, else a control of one.
HWND findWindowOfClass(const std::wstring& name);

// The core's cache between events: matching runs again only when the foreground window or the
// target window changes.
class TargetTracker {
public:
    // The target of the next event; `changed` when the core asks the plug-ins again.
    EventTarget next(bool& changed);

private:
    HWND cachedForeground = nullptr;
    HWND cachedFocus = nullptr;
};

// "0x1a2b "Edit" "title"": a window for a reader.
std::string describe(HWND window);

} // namespace driver
