// Records and entry points shared between the device driver and the proxy library.
//
// Every record is little-endian with 32-bit fields. The sizes and offsets in the
// comments are those of the 32-bit driver; a 64-bit build follows the same
// rules with the natural layout of these structures (pointers widen).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

extern "C" {

// Callbacks offered by the driver. All report success as 0.
typedef void(WINAPI* ZuVidLogProc)(const wchar_t* text);
typedef std::int32_t(WINAPI* ZuVidRegisterWindowProc)(std::uint32_t driverId,
                                                      const wchar_t* moduleName, HWND window,
                                                      std::int32_t* status);
struct ZuVidDeviceInfo;
struct ZuVidVersionInfo;
typedef std::int32_t(WINAPI* ZuVidGetDeviceInfoProc)(HWND coreWindow, ZuVidDeviceInfo* info);
typedef std::int32_t(WINAPI* ZuVidGetDeviceNameProc)(HWND coreWindow, wchar_t* buffer,
                                                     std::int32_t capacity);
typedef std::int32_t(WINAPI* ZuVidGetVersionProc)(ZuVidVersionInfo* info);

// Handed to ZuVidInit; the proxy copies it. `size` is the byte size the driver
// built (24 on 32-bit, sizeof on 64-bit); a shorter table leaves the entries
// past it unset. Any entry may be null.
struct ZuVidCallbackTable {
    std::uint32_t size;                     // 0
    ZuVidLogProc log;                       // 4
    ZuVidRegisterWindowProc registerWindow; // 8
    ZuVidGetDeviceInfoProc getDeviceInfo;   // 12
    ZuVidGetDeviceNameProc getDeviceName;   // 16
    ZuVidGetVersionProc getVersion;         // 20
};

// Non-linear motion setting of the device.
struct ZuVidNonLinearInfo {
    std::uint32_t size;  // 12
    std::int32_t linear; // 1 = linear scaling
    float exponent;      // curve exponent of the non-linear mode
};

// Table of old drivers, which start with the log entry instead of a size word
// (recognised by a first word above 0xFFFF).
struct ZuVidLegacyCallbackTable {
    ZuVidLogProc log;
    ZuVidRegisterWindowProc registerWindow;
    ZuVidGetDeviceInfoProc getDeviceInfo;
    ZuVidGetDeviceNameProc getDeviceName;
    ZuVidGetVersionProc getVersion;
    std::uint32_t driverId;
    ZuVidNonLinearInfo nonLinear;
    HINSTANCE instance;
};

// Device description; only the device-type code is read.
struct ZuVidDeviceInfo {
    std::uint8_t reserved[128];
    std::int32_t deviceType; // 128
    std::uint8_t reserved2[20];
};

// Driver version; only the first three words are read.
struct ZuVidVersionInfo {
    std::int32_t major; // 0
    std::int32_t minor; // 4
    std::int32_t build; // 8
    std::uint8_t reserved[256];
};

// Event types of ZuVidEventRecord::type.
enum {
    ZUVID_EVENT_BUTTON = 1,
    ZUVID_EVENT_MOTION = 2,
    ZUVID_EVENT_ZERO = 4,
};

// One device event, handed to ZuVidSendEvent.
struct ZuVidEventRecord {
    std::int32_t type; // 0
    std::uint32_t reserved[2];
    std::uint32_t pressed;  // 12: bit n = button n pressed by this event
    std::uint32_t released; // 16
    std::int32_t motion[6]; // 20: x, y, z, a, b, c
};

// Entry points of the proxy library (plain exported names).
void WINAPI ZuVidInit(std::uint32_t driverId, const ZuVidCallbackTable* callbacks);
int WINAPI ZuVidTerm();
int WINAPI ZuVidSendEvent(HWND window, const ZuVidEventRecord* event);
int WINAPI ZuVidIsValidHdl(HWND window);
void WINAPI ZuVidGetInfo(const wchar_t** info);
void WINAPI ZuVidCloseHdl(HWND window);
void WINAPI ZuVidServiceRequest();

typedef void(WINAPI* ZuVidInitProc)(std::uint32_t, const ZuVidCallbackTable*);
typedef int(WINAPI* ZuVidTermProc)();
typedef int(WINAPI* ZuVidSendEventProc)(HWND, const ZuVidEventRecord*);
typedef int(WINAPI* ZuVidIsValidHdlProc)(HWND);
typedef void(WINAPI* ZuVidGetInfoProc)(const wchar_t**);
typedef void(WINAPI* ZuVidCloseHdlProc)(HWND);
typedef void(WINAPI* ZuVidServiceRequestProc)();
}

static_assert(sizeof(ZuVidDeviceInfo) == 152, "device record size");
static_assert(offsetof(ZuVidDeviceInfo, deviceType) == 128, "device type offset");
static_assert(sizeof(ZuVidVersionInfo) == 268, "version record size");
static_assert(sizeof(ZuVidEventRecord) == 44, "event record size");
static_assert(offsetof(ZuVidEventRecord, pressed) == 12 &&
                  offsetof(ZuVidEventRecord, released) == 16 &&
                  offsetof(ZuVidEventRecord, motion) == 20,
              "event record layout");
static_assert(sizeof(ZuVidNonLinearInfo) == 12, "non-linear record size");
#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(ZuVidCallbackTable) == 24, "callback table size");
static_assert(offsetof(ZuVidCallbackTable, log) == 4 &&
                  offsetof(ZuVidCallbackTable, registerWindow) == 8 &&
                  offsetof(ZuVidCallbackTable, getDeviceInfo) == 12 &&
                  offsetof(ZuVidCallbackTable, getDeviceName) == 16 &&
                  offsetof(ZuVidCallbackTable, getVersion) == 20,
              "callback table layout");
static_assert(sizeof(ZuVidLegacyCallbackTable) == 40, "legacy table size");
#endif
