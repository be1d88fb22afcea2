// Windows the tests put on the desktop for the core to find, and waiting for what follows.
#pragma once

#include <windows.h>

#include "tests/support/FakeDriver.h"

namespace glotest {

// A window of `className` (registered with the default procedure on first use); a child when
// `parent` is given.
HWND makeWindow(const wchar_t* className, DWORD style, int x, int y, int width, int height,
                HWND parent = nullptr);

// `top` in the foreground and the cursor on the centre of `under` (default: `top`), then this
// thread's messages pumped; true when `top` is in the foreground.
bool focusAndPoint(HWND top, HWND under = nullptr);

// Pumps this thread's messages until `condition` holds or `ms` passed; whether it holds.
template <class F> bool eventually(F condition, int ms = 3000) {
    for (DWORD start = GetTickCount(); !condition() && GetTickCount() - start < DWORD(ms);)
        pumpMessages(5);
    return condition();
}

} // namespace glotest
