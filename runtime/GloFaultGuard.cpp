#include "runtime/GloFaultGuard.h"

#include <cwchar>

#include "log/GdrLog.h"

namespace {

// Exceptions that would otherwise end the process. A stack overflow is left alone: recovering
// from it would leave the stack without its guard page. Informational codes are left to the
// debugger and the system.
bool recoverable(DWORD code) {
    const DWORD kGccThrow = 0x20474343; // a C++ exception of the GCC runtime, past every catch
    if (code == EXCEPTION_STACK_OVERFLOW)
        return false;
    return (code & 0x80000000u) != 0 || code == kGccThrow;
}

bool isUnwinding(const EXCEPTION_RECORD* record) {
    return (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0;
}

struct Thunk {
    void (*function)(void*);
    void* context;
    bool threw;
};

// C++ exceptions are caught here; everything else by the frame around this call.
void callCatchingExceptions(void* argument) {
    Thunk& thunk = *static_cast<Thunk*>(argument);
    try {
        thunk.function(thunk.context);
    } catch (...) {
        thunk.threw = true;
    }
}

} // namespace

#if defined(__x86_64__)

// The frame: a function whose unwind information names a handler. The handler is asked only
// for exceptions that no frame inside the call handled; it unwinds to the resume point, where
// the function returns 1, the nonvolatile registers restored by the unwind.
extern "C" int gloGuardedCall(void (*function)(void*), void* argument, glo_guard::Fault* fault);
extern "C" void gloGuardedCallResume();

asm(R"(
    .text
    .p2align 4
    .globl gloGuardedCall
    .def gloGuardedCall; .scl 2; .type 32; .endef
    .seh_proc gloGuardedCall
gloGuardedCall:
    pushq %rbx
    .seh_pushreg %rbx
    subq $48, %rsp
    .seh_stackalloc 48
    .seh_endprologue
    .seh_handler gloGuardHandler, @except
    movq %r8, 32(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    nop
    xorl %eax, %eax
    .globl gloGuardedCallResume
gloGuardedCallResume:
    addq $48, %rsp
    popq %rbx
    retq
    .seh_endproc
)");

extern "C" __attribute__((used)) EXCEPTION_DISPOSITION
gloGuardHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT*, DISPATCHER_CONTEXT* dispatcher) {
    if (isUnwinding(record) || !recoverable(record->ExceptionCode))
        return ExceptionContinueSearch;
    // The fault record's address was stored 32 bytes into the frame.
    glo_guard::Fault* fault = *reinterpret_cast<glo_guard::Fault**>(static_cast<char*>(frame) + 32);
    fault->code = record->ExceptionCode;
    fault->address = record->ExceptionAddress;
    RtlUnwindEx(frame, reinterpret_cast<void*>(&gloGuardedCallResume), record,
                reinterpret_cast<void*>(1), dispatcher->ContextRecord, dispatcher->HistoryTable);
    return ExceptionContinueSearch; // not reached
}

namespace {
bool guardedCall(void (*function)(void*), void* argument, glo_guard::Fault& fault) {
    return gloGuardedCall(function, argument, &fault) == 0;
}
} // namespace

#elif defined(__i386__)

// The frame: a registration on the thread's chain of exception handlers. The handler is asked
// only for exceptions that no handler registered inside the call took; it unwinds those
// registrations and jumps back into guardedCall.
namespace {

struct GuardFrame {
    EXCEPTION_REGISTRATION_RECORD registration; // first: the handler gets its address
    glo_guard::Fault* fault;
    void* resume[5]; // __builtin_setjmp
};

void* chainHead() {
    void* head;
    __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void setChainHead(void* head) {
    __asm__ __volatile__("movl %0, %%fs:0" : : "r"(head) : "memory");
}

EXCEPTION_DISPOSITION NTAPI guardHandler(EXCEPTION_RECORD* record, void* establisher, CONTEXT*,
                                         void*) {
    if (isUnwinding(record) || !recoverable(record->ExceptionCode))
        return ExceptionContinueSearch;
    GuardFrame* frame = static_cast<GuardFrame*>(establisher);
    frame->fault->code = record->ExceptionCode;
    frame->fault->address = record->ExceptionAddress;
    RtlUnwind(establisher, nullptr, record, nullptr);
    __builtin_longjmp(frame->resume, 1);
}

__attribute__((noinline)) bool guardedCall(void (*function)(void*), void* argument,
                                           glo_guard::Fault& fault) {
    GuardFrame frame;
    frame.fault = &fault;
    frame.registration.Handler = &guardHandler;
    frame.registration.Next = static_cast<EXCEPTION_REGISTRATION_RECORD*>(chainHead());
    if (__builtin_setjmp(frame.resume)) {
        setChainHead(frame.registration.Next);
        return false;
    }
    setChainHead(&frame.registration);
    function(argument);
    setChainHead(frame.registration.Next);
    return true;
}

} // namespace

#else
#error "exception frames are written for x86 and x86-64 only"
#endif

namespace glo_guard {

bool call(void (*function)(void*), void* context, Fault& fault, const void* origin) {
    fault.code = 0;
    fault.address = nullptr;
    Thunk thunk = {function, context, false};
    if (!guardedCall(&callCatchingExceptions, &thunk, fault))
        return false;
    if (thunk.threw) {
        fault.code = kCppException;
        fault.address = origin;
        return false;
    }
    return true;
}

void describeAddress(const void* address, wchar_t* buffer, std::size_t capacity) {
    if (capacity == 0)
        return;
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH] = L"";
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(address), &module) &&
        GetModuleFileNameW(module, path, MAX_PATH) != 0) {
        path[MAX_PATH - 1] = L'\0';
        const wchar_t* file = std::wcsrchr(path, L'\\');
        const std::size_t offset =
            static_cast<const char*>(address) - reinterpret_cast<const char*>(module);
        gdrFormatLine(buffer, capacity - 1, L"%s+0x%x", file ? file + 1 : path,
                      static_cast<unsigned>(offset));
    } else {
        gdrFormatLine(buffer, capacity - 1, L"0x%x", gdrHex(address));
    }
}

namespace {
const int kReports = 16;
SRWLOCK s_reportLock = SRWLOCK_INIT;
Report s_reports[kReports];
int s_first = 0;
int s_waiting = 0;
volatile LONG s_posted = 0;
} // namespace

namespace {
template <std::size_t N> void copyText(wchar_t (&to)[N], const wchar_t* from) {
    std::size_t i = 0;
    for (; from != nullptr && i + 1 < N && from[i] != L'\0'; ++i)
        to[i] = from[i];
    to[i] = L'\0';
}
} // namespace

void postReport(const void* owner, const wchar_t* plugin, HMODULE library, const wchar_t* where,
                const Fault& fault) {
    wchar_t path[MAX_PATH] = L"";
    if (library != nullptr && GetModuleFileNameW(library, path, MAX_PATH) != 0)
        path[MAX_PATH - 1] = L'\0';
    const wchar_t* file = std::wcsrchr(path, L'\\');
    AcquireSRWLockExclusive(&s_reportLock);
    if (s_waiting < kReports) {
        Report& report = s_reports[(s_first + s_waiting) % kReports];
        report.owner = owner;
        copyText(report.plugin, plugin);
        copyText(report.file, file ? file + 1 : path);
        report.where = where;
        report.fault = fault;
        ++s_waiting;
    }
    ReleaseSRWLockExclusive(&s_reportLock);
    InterlockedIncrement(&s_posted);
}

bool takeReport(Report& report) {
    AcquireSRWLockExclusive(&s_reportLock);
    const bool found = s_waiting > 0;
    if (found) {
        report = s_reports[s_first];
        s_first = (s_first + 1) % kReports;
        --s_waiting;
    }
    ReleaseSRWLockExclusive(&s_reportLock);
    return found;
}

long reportCount() {
    return s_posted;
}

} // namespace glo_guard
