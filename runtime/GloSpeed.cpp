#include "runtime/GloSpeed.h"

#include <windows.h>

namespace glo_runtime {

namespace {

// A slot of the thread's own storage: unlike a thread_local of the compiler's, reading and
// writing it never allocates, also on a thread's first use. 0 stands for the normal speed.
struct SpeedSlot {
    SpeedSlot() : index(TlsAlloc()) {}
    ~SpeedSlot() {
        if (index != TLS_OUT_OF_INDEXES)
            TlsFree(index);
    }
    const DWORD index;
};
// Before the plug-in host, whose workers use it, and gone after it.
SpeedSlot s_slot __attribute__((init_priority(199)));

} // namespace

int speedInEffect() {
    if (s_slot.index == TLS_OUT_OF_INDEXES)
        return kNormalSpeed;
    // Read between a plug-in's failing call and its GetLastError, which TlsGetValue clears.
    const DWORD error = GetLastError();
    const int speed = static_cast<int>(reinterpret_cast<INT_PTR>(TlsGetValue(s_slot.index)));
    SetLastError(error);
    return speed > 0 ? speed : kNormalSpeed;
}

CSpeedScope::CSpeedScope(int speed) : previous(speedInEffect()) {
    if (s_slot.index != TLS_OUT_OF_INDEXES)
        TlsSetValue(s_slot.index, reinterpret_cast<void*>(static_cast<INT_PTR>(speed)));
}

CSpeedScope::~CSpeedScope() {
    if (s_slot.index != TLS_OUT_OF_INDEXES)
        TlsSetValue(s_slot.index, reinterpret_cast<void*>(static_cast<INT_PTR>(previous)));
}

} // namespace glo_runtime
