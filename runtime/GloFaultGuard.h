// Calls into plug-in code whose faults end the call instead of the driver's process, and the
// reports of such faults, which the plug-in host writes to the driver's log on its own thread.
#pragma once

#include <windows.h>

#include <cstddef>

namespace glo_guard {

// What ended a guarded call early.
struct Fault {
    DWORD code;          // exception code; kCppException for a C++ exception
    const void* address; // where it was raised (for a C++ exception: the function called)
};

// The code reported for a C++ exception that left the called function.
const DWORD kCppException = 0xE0474C4F;

// Runs function(context). An exception that nothing inside the call handles (an access
// violation, an illegal instruction, a division by zero, a C++ exception, ...) ends the call:
// the frames inside are abandoned without their clean-ups, `fault` describes the exception and
// the result is false. A C++ exception carries no address: `origin` stands for it (the plug-in
// code called). Not caught: a stack overflow (the stack's guard page would stay spent) and
// faults that end the process directly (fail-fast, abort, exit).
bool call(void (*function)(void*), void* context, Fault& fault, const void* origin);

template <class F> bool call(F& callable, Fault& fault, const void* origin) {
    return call([](void* c) { (*static_cast<F*>(c))(); },
                const_cast<void*>(static_cast<const void*>(&callable)), fault, origin);
}

// "module+0xoffset" for an address inside a module, else "0xaddress".
void describeAddress(const void* address, wchar_t* buffer, std::size_t capacity);

// One fault of a plug-in, waiting to be logged.
struct Report {
    const void* owner;    // the plug-in's application object; null when it had none
    wchar_t plugin[64];   // the application's name; empty when unknown
    wchar_t file[64];     // the library's file name; empty when unknown
    const wchar_t* where; // what was called: a static text ("load", "match", ...)
    Fault fault;
};

// Keeps a report for the host (any thread, no allocation; `plugin` and `library` may be
// null). The oldest reports are kept when more are waiting than fit.
void postReport(const void* owner, const wchar_t* plugin, HMODULE library, const wchar_t* where,
                const Fault& fault);
// Takes the oldest waiting report; false when there is none.
bool takeReport(Report& report);
// Reports posted so far (cheap to poll: one read).
long reportCount();

} // namespace glo_guard
