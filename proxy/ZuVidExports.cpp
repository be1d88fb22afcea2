// Entry points called by the device driver. Placeholders until the proxy lands.
#include <windows.h>

#include <cstdint>

extern "C" {

void WINAPI ZuVidInit(std::uint32_t, void*) {}

int WINAPI ZuVidTerm() {
    return 1;
}

int WINAPI ZuVidSendEvent(HWND, void*) {
    return 0;
}

int WINAPI ZuVidIsValidHdl(HWND) {
    return 0;
}

void WINAPI ZuVidGetInfo(const wchar_t** info) {
    static const wchar_t kInfo[] = L"Glidora Proxy ... office work horse";
    if (info)
        *info = kInfo;
}

void WINAPI ZuVidCloseHdl(HWND) {}

void WINAPI ZuVidServiceRequest() {}
}
