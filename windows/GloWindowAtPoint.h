// The window under a screen point, found the way the system's own hit-testing finds it.
#pragma once

#include <windows.h>

namespace glo_windows {

// The visible, enabled child of `parent` at the screen point: `parent` itself when none lies
// there, null when the point lies outside `parent`. A group box is only a frame drawn around
// the controls after it: the point is looked up among the windows below it in Z order (group
// boxes inside it included), and the group box is the answer only when it has a child of its
// own there or nothing else lies at the point.
HWND childAtPoint(HWND parent, POINT screen);

// The deepest visible, enabled window at the screen point below `active`, descending with
// childAtPoint; behind a browser's origin pane ("MSHTML40_Origin_Class") the window after it.
// Null when that is `active` itself or `active` is null.
HWND windowAtPoint(HWND active, POINT screen);

} // namespace glo_windows
