#include "runtime/GloSpeed.h"

#include <windows.h>

#include "runtime/GloThreadSlot.h"

namespace glo_runtime {

namespace {

// The speed in effect on this thread; 0 (unset) stands for the normal speed. Before the plug-in
// host, whose workers use it, and gone after it.
CThreadSlot s_slot __attribute__((init_priority(199)));

} // namespace

int speedInEffect() {
    const int speed = static_cast<int>(reinterpret_cast<INT_PTR>(s_slot.get()));
    return speed > 0 ? speed : kNormalSpeed;
}

CSpeedScope::CSpeedScope(int speed) : previous(speedInEffect()) {
    s_slot.set(reinterpret_cast<void*>(static_cast<INT_PTR>(speed)));
}

CSpeedScope::~CSpeedScope() {
    s_slot.set(reinterpret_cast<void*>(static_cast<INT_PTR>(previous)));
}

} // namespace glo_runtime
