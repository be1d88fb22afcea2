#include "host/GloDriverSide.h"

namespace glo_host {

namespace {
DriverSide s_side = {};
} // namespace

void setDriverSide(const DriverSide& side) {
    s_side = side;
}

HWND configDialog() {
    return s_side.configDialog != nullptr ? s_side.configDialog() : nullptr;
}

void registerWindow(HWND window) {
    if (s_side.registerWindow != nullptr)
        s_side.registerWindow(window);
}

void setConfigDialog(HWND dialog) {
    if (s_side.setConfigDialog != nullptr)
        s_side.setConfigDialog(dialog);
}

GloLiveMotionProc liveMotionProc() {
    return s_side.liveMotionProc != nullptr ? s_side.liveMotionProc() : nullptr;
}

void setLiveMotionProc(GloLiveMotionProc proc) {
    if (s_side.setLiveMotionProc != nullptr)
        s_side.setLiveMotionProc(proc);
}

int reloadedProgram() {
    return s_side.reloadedProgram != nullptr ? s_side.reloadedProgram() : -1;
}

} // namespace glo_host
