#include "runtime/GloPreciseDelay.h"

namespace glo_runtime {

namespace {

LONGLONG counterNow100ns() {
    LARGE_INTEGER counter, frequency;
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 ||
        !QueryPerformanceCounter(&counter))
        return 0;
    const LONGLONG c = counter.QuadPart, f = frequency.QuadPart;
    return (c / f) * 10000000 + (c % f) * 10000000 / f;
}

} // namespace

DelayProc preciseDelay() {
    static volatile LONG state = 0; // 0 not measured, 1 precise, 2 not precise
    static DelayProc delay = nullptr;
    if (state == 0) {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        const DelayProc proc = ntdll != nullptr
                                   ? reinterpret_cast<DelayProc>(reinterpret_cast<void*>(
                                         GetProcAddress(ntdll, "NtDelayExecution")))
                                   : nullptr;
        LONGLONG best = 20000;
        for (int i = 0; i < 3 && proc != nullptr; ++i) {
            LARGE_INTEGER interval;
            interval.QuadPart = -2000; // 0.2 ms
            const LONGLONG start = counterNow100ns();
            proc(FALSE, &interval);
            const LONGLONG took = counterNow100ns() - start;
            best = took < best ? took : best;
        }
        delay = proc;
        InterlockedExchange(&state, best < 6000 ? 1 : 2);
    }
    return state == 1 ? delay : nullptr;
}

} // namespace glo_runtime
