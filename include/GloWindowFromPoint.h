// The window under a screen point, as the core finds it when it matches plug-ins and chooses
// the window to scroll.
#pragma once

#include <windows.h>

#include "GloExport.h"

// The deepest visible, enabled window at the screen point below `active` (the foreground
// thread's active window, say). A group box is looked through to the control below it, as the
// system's own hit-testing does; behind a browser's origin pane ("MSHTML40_Origin_Class") the
// window after it is taken. Null when that is `active` itself or `active` is null.
GLO_API HWND gloWindowFromPoint(HWND active, POINT screen);
