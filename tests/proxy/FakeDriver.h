// A driver's callback table for the proxy's tests: records what the proxy logs
// and registers, and answers with settable device data.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "GdrProxy.h"
#include "ZuVidDriver.h"

namespace fake {

struct Driver {
    std::vector<std::wstring> lines;
    std::int32_t registerStatus = 0;
    int registerCalls = 0;
    std::uint32_t registeredId = 0;
    std::wstring registeredModule;
    HWND registeredWindow = nullptr;
    std::int32_t version[3] = {4, 0, 6};
    std::int32_t deviceType = 0;
    std::int32_t deviceInfoResult = 0;
    std::wstring deviceName = L"USB 3D Cap";
    bool fillNameUnterminated = false;
};

// The one driver the callbacks answer for; reset by each test.
inline Driver& driver() {
    static Driver d;
    return d;
}

inline void WINAPI logLine(const wchar_t* text) {
    driver().lines.push_back(text ? text : L"?");
}

inline std::int32_t WINAPI registerWindow(std::uint32_t id, const wchar_t* module, HWND window,
                                          std::int32_t* status) {
    Driver& d = driver();
    ++d.registerCalls;
    d.registeredId = id;
    d.registeredModule = module ? module : L"";
    d.registeredWindow = window;
    *status = d.registerStatus;
    return 0;
}

inline std::int32_t WINAPI getDeviceInfo(HWND, ZuVidDeviceInfo* info) {
    info->deviceType = driver().deviceType;
    return driver().deviceInfoResult;
}

inline std::int32_t WINAPI getDeviceName(HWND, wchar_t* buffer, std::int32_t capacity) {
    const std::wstring& name = driver().deviceName;
    if (driver().fillNameUnterminated) {
        for (int i = 0; i < capacity; ++i)
            buffer[i] = L'X';
        return 0;
    }
    wcsncpy(buffer, name.c_str(), capacity - 1);
    buffer[capacity - 1] = L'\0';
    return 0;
}

inline std::int32_t WINAPI getVersion(ZuVidVersionInfo* info) {
    info->major = driver().version[0];
    info->minor = driver().version[1];
    info->build = driver().version[2];
    return 0;
}

inline ZuVidCallbackTable table() {
    ZuVidCallbackTable t;
    t.size = sizeof(t);
    t.log = &logLine;
    t.registerWindow = &registerWindow;
    t.getDeviceInfo = &getDeviceInfo;
    t.getDeviceName = &getDeviceName;
    t.getVersion = &getVersion;
    return t;
}

inline HWND coreWindow() {
    return getCoreProxy().GetSafeHwnd();
}

inline UINT message(const wchar_t* name) {
    return RegisterWindowMessageW(name);
}

// Starts every test from an idle proxy and a fresh driver, and leaves the proxy
// idle without a clone window.
class ProxyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZuVidTerm();
        driver() = Driver();
    }
    void TearDown() override {
        if (coreWindow())
            SendMessageW(coreWindow(), message(GDR_MSG_REGISTERCLONE), 0, 0);
        ZuVidTerm();
    }
    void start(std::uint32_t id = 7) {
        ZuVidCallbackTable t = table();
        ZuVidInit(id, &t);
        driver().lines.clear();
    }
};

} // namespace fake
