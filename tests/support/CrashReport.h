// A fault that nothing handles ends the test's process at once (under Wine the debugger would
// start and hold the run up) and says on standard error what it was and where: the exception,
// the thread and the frames of its stack as module+offset, which addr2line turns into lines
// (x86_64-w64-mingw32-addr2line -e <module>, the offset added to its ImageBase).
#pragma once

#include <windows.h>

namespace glotest {

void endProcessOnFault(UINT exitCode = 3);

} // namespace glotest
