// The driver's side of the entry points, for tests that play the driver: a callback table that
// accepts every window the core announces, names a USB device and a recent driver version.
#pragma once

#include <windows.h>

#include "ZuVidDriver.h"

namespace glotest {

// A table for ZuVidInit; forgets the windows announced before.
ZuVidCallbackTable fakeDriverTable(ZuVidLogProc log = nullptr);
// The first window the core announced since the table was made (its core window), and the latest.
HWND announcedCoreWindow();
HWND lastAnnouncedWindow();

// Handles this thread's messages for about `ms` milliseconds, at least those waiting now (the
// core window and the test's own windows live on the test's thread: waiting means pumping).
void pumpMessages(int ms);

} // namespace glotest
