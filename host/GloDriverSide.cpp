#include "host/GloDriverSide.h"

namespace glo_host {

namespace {
DriverSide s_side = {nullptr, nullptr};
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

} // namespace glo_host
