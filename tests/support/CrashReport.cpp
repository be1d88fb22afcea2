#include "tests/support/CrashReport.h"

#include <cstdio>
#include <cstring>

namespace glotest {

namespace {

UINT s_exitCode = 3;

// Appends " module+0xoffset" (or " 0xaddress" outside every module) to `line`.
void describe(char* line, std::size_t capacity, const void* address) {
    const std::size_t used = std::strlen(line);
    HMODULE module = nullptr;
    char path[MAX_PATH] = "";
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCSTR>(address), &module) &&
        GetModuleFileNameA(module, path, MAX_PATH) != 0) {
        const char* file = std::strrchr(path, '\\');
        std::snprintf(line + used, capacity - used, " %s+0x%llx", file ? file + 1 : path,
                      static_cast<unsigned long long>(static_cast<const char*>(address) -
                                                      reinterpret_cast<const char*>(module)));
    } else {
        std::snprintf(line + used, capacity - used, " %p", address);
    }
}

void write(const char* text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written,
              nullptr);
}

LONG WINAPI reportAndEnd(EXCEPTION_POINTERS* pointers) {
    // Written from the stack alone: the heap may be what broke.
    char line[2048];
    std::snprintf(line, sizeof line, "fault 0x%08lx on thread 0x%lx at",
                  pointers->ExceptionRecord->ExceptionCode, GetCurrentThreadId());
    describe(line, sizeof line, pointers->ExceptionRecord->ExceptionAddress);
#if defined(_WIN64)
    // The callers, unwound from the fault's context.
    std::strncat(line, "\nstack:", sizeof line - std::strlen(line) - 1);
    CONTEXT context = *pointers->ContextRecord;
    for (int frame = 0; frame < 24 && context.Rip != 0; ++frame) {
        if (frame > 0)
            describe(line, sizeof line, reinterpret_cast<void*>(context.Rip));
        DWORD64 base = 0;
        const PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &base, nullptr);
        if (function == nullptr) { // a leaf function: its return address is on top
            context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
            context.Rsp += 8;
            continue;
        }
        void* handlerData = nullptr;
        DWORD64 establisher = 0;
        RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, context.Rip, function, &context, &handlerData,
                         &establisher, nullptr);
    }
#endif
    std::strncat(line, "\n", sizeof line - std::strlen(line) - 1);
    write(line);
    ExitProcess(s_exitCode);
}

} // namespace

void endProcessOnFault(UINT exitCode) {
    s_exitCode = exitCode;
    SetUnhandledExceptionFilter(&reportAndEnd);
}

} // namespace glotest
