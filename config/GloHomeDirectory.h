// The driver's home directory as the registry names it.
#pragma once

#include <windows.h>

namespace glo_config {

// What the registry value may hold (259 characters and the terminator, or 260 stored without
// one), and a terminator.
const int kHomeChars = 261;

// The value "Home Directory" of HKLM\SOFTWARE\Veltrana\Halcyra, with the environment variables
// of an expandable value expanded (an installer may store "%ProgramFiles%\..."). False, and
// quietly, when there is none, it is no text, or it or its expansion does not fit.
bool readHomeDirectory(wchar_t (&home)[kHomeChars]);

} // namespace glo_config
