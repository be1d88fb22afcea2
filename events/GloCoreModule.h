// The core library's own module handle, for its string table.
#pragma once

#include <windows.h>

// Handle of the module that holds this code (the core DLL; the test executable in static
// builds). Valid from the first call on, process attach need not have run.
HINSTANCE gloCoreModule();
