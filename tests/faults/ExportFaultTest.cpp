// The driver entry points with records a driver should not send: tables of every size, event
// records that end where the memory ends, random records, unknown types, stray window handles,
// and calls out of order. Nothing may crash, hang or be read beyond a record.
#include "tests/support/DriverTest.h"

#include <climits>
#include <cstddef>
#include <random>

#include "bench/HeapCallCounter.h"
#include "host/GloPluginHost.h"

namespace {

using glotest::eventually;

using ExportFaults = glotest::DriverTest;

// Which callbacks a table of each size lets the core call: only whole entries within the size.
volatile LONG g_called[6];
template <int I> void note() {
    InterlockedIncrement(&g_called[I]);
}
void WINAPI logEntry(const wchar_t*) {
    note<1>();
}
std::int32_t WINAPI registerEntry(std::uint32_t, const wchar_t*, HWND, std::int32_t* status) {
    note<2>();
    *status = 0;
    return 0;
}
std::int32_t WINAPI deviceInfoEntry(HWND, ZuVidDeviceInfo*) {
    note<3>();
    return 1;
}
std::int32_t WINAPI deviceNameEntry(HWND, wchar_t* buffer, std::int32_t capacity) {
    note<4>();
    lstrcpynW(buffer, L"USB", capacity);
    return 0;
}
std::int32_t WINAPI versionEntry(ZuVidVersionInfo* info) {
    note<5>();
    *info = {4, 0, 6, {}};
    return 0;
}

TEST_F(ExportFaults, CallbackTablesOfEverySize) {
    const std::size_t offsets[] = {0,
                                   offsetof(ZuVidCallbackTable, log),
                                   offsetof(ZuVidCallbackTable, registerWindow),
                                   offsetof(ZuVidCallbackTable, getDeviceInfo),
                                   offsetof(ZuVidCallbackTable, getDeviceName),
                                   offsetof(ZuVidCallbackTable, getVersion)};
    for (std::uint32_t size = 0; size <= sizeof(ZuVidCallbackTable) + 8; ++size) {
        SCOPED_TRACE(size);
        for (LONG& n : const_cast<LONG(&)[6]>(g_called))
            n = 0;
        ZuVidCallbackTable table = {
            size, &logEntry, &registerEntry, &deviceInfoEntry, &deviceNameEntry, &versionEntry};
        ZuVidInit(1, &table);
        for (int entry = 1; entry < 6; ++entry)
            EXPECT_TRUE(offsets[entry] + sizeof(void*) <= size || g_called[entry] == 0) << entry;
        ZuVidTerm();
    }
    // The largest size word of the current layout: the table is taken whole. (Larger words
    // mean an old driver's table, Proxy.StartsOnlyWithARecentDriverAndAUsbDevice.)
    for (LONG& n : const_cast<LONG(&)[6]>(g_called))
        n = 0;
    ZuVidCallbackTable table = {0xFFFF,           &logEntry,        &registerEntry,
                                &deviceInfoEntry, &deviceNameEntry, &versionEntry};
    ZuVidInit(1, &table);
    EXPECT_GT(g_called[4], 0); // started: the device name was asked after the version
    ZuVidTerm();
}

// Records that end where readable memory ends: the core reads a button record's masks and a
// zero or unknown record's type, nothing beyond.
TEST_F(ExportFaults, ShortEventRecords) {
    startWithRecorder();
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    char* pages = static_cast<char*>(
        VirtualAlloc(nullptr, 2 * system.dwPageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    DWORD old;
    ASSERT_TRUE(VirtualProtect(pages + system.dwPageSize, system.dwPageSize, PAGE_NOACCESS, &old));
    char* end = pages + system.dwPageSize;
    const auto record = [&](std::size_t bytes) {
        return reinterpret_cast<ZuVidEventRecord*>(end - bytes);
    };
    const std::int32_t types[] = {ZUVID_EVENT_ZERO, 0, 3, 8, -1};
    for (std::int32_t type : types) {
        record(sizeof(std::int32_t))->type = type;
        EXPECT_EQ(ZuVidSendEvent(window, record(sizeof(std::int32_t))), 0);
    }
    const std::size_t button = offsetof(ZuVidEventRecord, motion);
    ZuVidEventRecord* press = record(button);
    press->type = ZUVID_EVENT_BUTTON;
    press->pressed = 1;
    press->released = 0;
    EXPECT_EQ(ZuVidSendEvent(window, press), 0);
    ASSERT_TRUE(eventually([&] { return trace() == "Cb"; })) << trace(); // only the latest counts
    press->pressed = 0;
    press->released = 1;
    EXPECT_EQ(ZuVidSendEvent(window, press), 0);
    EXPECT_TRUE(eventually([&] { return trace() == "CbCz"; })) << trace();
    VirtualFree(pages, 0, MEM_RELEASE);
}

// Random records, extreme values included, with a plug-in serving: no crash, no allocation on
// the way, and the plug-in ends at rest when the driver's zero event comes.
TEST_F(ExportFaults, GarbageEventRecords) {
    startWithRecorder();
    ASSERT_GT(heap_call_counter::install(GetModuleHandleW(L"Glo_core_proxy.dll")), 0);
    std::mt19937 random(13);
    const std::int32_t extremes[] = {INT_MIN, INT_MIN + 1, -1, 0, 1, INT_MAX, 200, -200};
    const std::int32_t types[] = {ZUVID_EVENT_BUTTON, ZUVID_EVENT_MOTION, ZUVID_EVENT_ZERO, 3};
    const LONG heapCalls = heap_call_counter::count();
    for (int i = 0; i < 3000; ++i) {
        ZuVidEventRecord r;
        std::uint32_t* words = reinterpret_cast<std::uint32_t*>(&r);
        for (std::size_t w = 0; w < sizeof(r) / sizeof(*words); ++w)
            words[w] = random();
        if (i % 4 != 3)
            r.type = types[random() % 4];
        for (std::int32_t& v : r.motion)
            if (random() % 3 == 0)
                v = extremes[random() % 8];
        EXPECT_EQ(ZuVidSendEvent(window, &r), 0);
    }
    EXPECT_EQ(heap_call_counter::count(), heapCalls);
    send(ZUVID_EVENT_ZERO);
    EXPECT_TRUE(eventually([&] {
        const std::string t = trace();
        return t.size() >= 2 && t.back() == 'z';
    })) << trace();
}

// Window handles that are no windows, or no longer are: answered, never acted on.
TEST_F(ExportFaults, StrayWindowHandles) {
    startWithRecorder();
    const HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr,
                                      nullptr, nullptr);
    DestroyWindow(gone);
    for (HWND stray : {reinterpret_cast<HWND>(0xDEADBEEF), gone, reinterpret_cast<HWND>(-1),
                       GetDesktopWindow()}) {
        const ZuVidEventRecord zero = {ZUVID_EVENT_ZERO, {}, 0, 0, {}};
        EXPECT_EQ(ZuVidSendEvent(stray, &zero), 0);
        EXPECT_EQ(ZuVidIsValidHdl(stray), 0);
        ZuVidCloseHdl(stray);
    }
    EXPECT_EQ(getPluginHost().getNumberOfPlugins(), 1); // still running
    EXPECT_TRUE(IsWindow(core()));
}

// Calls before the start, a second start, a second end, a close after the end, a new start.
TEST_F(ExportFaults, CallsOutOfOrder) {
    const std::wstring plugin = home.add(L"e2e_recorder");
    showTarget();
    send(ZUVID_EVENT_MOTION, 200);
    EXPECT_EQ(ZuVidIsValidHdl(window), 0);
    EXPECT_EQ(ZuVidTerm(), 1);
    start();
    start();
    EXPECT_EQ(getPluginHost().getNumberOfPlugins(), 1);
    EXPECT_EQ(ZuVidIsValidHdl(window), 1);
    const HWND first = core();
    EXPECT_EQ(ZuVidTerm(), 1);
    EXPECT_EQ(ZuVidTerm(), 1);
    ZuVidCloseHdl(first);
    EXPECT_EQ(GetModuleHandleW(plugin.c_str()), nullptr);
    send(ZUVID_EVENT_MOTION, 200);
    EXPECT_EQ(ZuVidIsValidHdl(window), 0);
    close();
    start();
    EXPECT_EQ(ZuVidIsValidHdl(window), 1);
}

} // namespace
