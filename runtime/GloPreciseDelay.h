// Sleeps shorter than a millisecond, where the system keeps them short.
#pragma once

#include <windows.h>

namespace glo_runtime {

// A sleep of `interval` (negative: relative, in 100 ns units).
typedef LONG(NTAPI* DelayProc)(BOOLEAN alertable, const LARGE_INTEGER* interval);

// The system's own sleep where a sleep of 0.2 ms takes well under a millisecond (Wine), else
// null: Windows rounds short sleeps up to its clock tick unless the timer resolution was raised,
// and waits on objects are rounded up to whole milliseconds on some systems either way. Measured
// once per process (about 1 ms, the first time).
DelayProc preciseDelay();

} // namespace glo_runtime
