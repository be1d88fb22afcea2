// The driver's side of the entry points for a benchmark that starts the core as the driver
// does: a USB device, a driver recent enough, and the first window announced kept, which is
// the core window that ZuVidCloseHdl wants at the end.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ZuVidDriver.h"

namespace bench {

inline HWND& coreWindow() {
    static HWND window = nullptr;
    return window;
}

inline std::int32_t WINAPI registerWindow(std::uint32_t, const wchar_t*, HWND window,
                                          std::int32_t* status) {
    if (coreWindow() == nullptr)
        coreWindow() = window;
    *status = 0;
    return 0;
}

inline std::int32_t WINAPI getDeviceName(HWND, wchar_t* buffer, std::int32_t capacity) {
    lstrcpynW(buffer, L"USB cap", capacity);
    return 0;
}

inline std::int32_t WINAPI getVersion(ZuVidVersionInfo* info) {
    info->major = 4;
    info->minor = 0;
    info->build = 6;
    return 0;
}

// ZuVidInit with the entries above; `log` may be null.
inline void startCore(ZuVidLogProc log = nullptr) {
    ZuVidCallbackTable table = {};
    table.size = sizeof(table);
    table.log = log;
    table.registerWindow = &registerWindow;
    table.getDeviceName = &getDeviceName;
    table.getVersion = &getVersion;
    ZuVidInit(1, &table);
}

} // namespace bench
