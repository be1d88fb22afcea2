// The proxy against a fake driver: start-up, event decoding, axis scaling and the
// registered messages, with the event path checked for heap allocation.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "GdrProxy.h"
#include "ZuVidDriver.h"
#include "bench/HeapCallCounter.h"
#include "proxy/GdrTestHooks.h"

namespace {

struct Driver {
    std::vector<std::wstring> lines;
    std::int32_t registerStatus = 0, deviceType = 0, version[3] = {4, 0, 6};
    std::uint32_t registeredId = 0;
    HWND registeredWindow = nullptr;
    std::wstring deviceName = L"USB 3D Cap";
} g_driver;

std::vector<std::string> g_log; // what reached the plug-in host and the clone, in order
HWND g_clone = nullptr;

struct Fake {
    static void WINAPI log(const wchar_t* text) { g_driver.lines.push_back(text ? text : L"?"); }
    static std::int32_t WINAPI registerWindow(std::uint32_t id, const wchar_t* module, HWND window,
                                              std::int32_t* status) {
        EXPECT_STREQ(module, L"glidora_core.dll");
        g_driver.registeredId = id;
        g_driver.registeredWindow = window;
        *status = g_driver.registerStatus;
        return 0;
    }
    static std::int32_t WINAPI deviceInfo(HWND, ZuVidDeviceInfo* info) {
        info->deviceType = g_driver.deviceType;
        return 0;
    }
    static std::int32_t WINAPI deviceName(HWND, wchar_t* buffer, std::int32_t capacity) {
        std::wstring name = g_driver.deviceName;
        name.resize(capacity); // a longer name fills the buffer without terminator
        std::wmemcpy(buffer, name.data(), capacity);
        return 0;
    }
    static std::int32_t WINAPI version(ZuVidVersionInfo* info) {
        std::memcpy(info, g_driver.version, sizeof(g_driver.version));
        return 0;
    }
    static ZuVidCallbackTable table() {
        return {
            sizeof(ZuVidCallbackTable), &log, &registerWindow, &deviceInfo, &deviceName, &version};
    }
};

// The core's heap calls on this thread while `events` run: the event path makes none.
template <class F> LONG heapCallsDuring(F events) {
    EXPECT_GT(heap_call_counter::install(GetModuleHandleW(L"Glo_core_proxy.dll")), 0);
    const LONG before = heap_call_counter::count();
    events();
    return heap_call_counter::count() - before;
}

class Proxy : public ::testing::Test {
protected:
    void SetUp() override {
        // A home that does not exist: no plug-ins load and no message box appears.
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"Home Directory", REG_SZ, L"C:\\glo-no-home",
                        sizeof(L"C:\\glo-no-home"));
        ZuVidTerm();
        g_driver = Driver();
        g_log.clear();
        gdrSetDispatchObserver(&observe);
    }
    void TearDown() override {
        gdrSetDispatchObserver(nullptr);
        ZuVidTerm();
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"Home Directory");
        DestroyWindow(g_clone);
        g_clone = nullptr;
    }

    static constexpr const wchar_t* kKey = L"SOFTWARE\\Veltrana\\Halcyra";
    static CGdrProxy& proxy() { return getCoreProxy(); }
    static HWND core() { return getCoreProxy().GetSafeHwnd(); }
    static UINT message(const wchar_t* name) { return RegisterWindowMessageW(name); }
    static HWND makeWindow(const wchar_t* title) {
        return CreateWindowExW(0, L"STATIC", title, WS_POPUP, 0, 0, 9, 9, 0, 0, 0, 0);
    }
    static std::wstring tagged(const wchar_t* format, HWND hwnd = nullptr) {
        wchar_t text[128];
        swprintf(text, 128, format, static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(hwnd)));
        return L"Vex_Core_Proxy.dll: " + std::wstring(text);
    }
    template <typename... A> static void note(const char* format, A... args) {
        char text[128];
        std::snprintf(text, sizeof(text), format, args...);
        g_log.push_back(text);
    }
    static void pumpClone() { // registered messages share the clipboard format names
        MSG m;
        char name[64];
        while (g_clone && PeekMessageW(&m, g_clone, 0, 0, PM_REMOVE))
            if (GetClipboardFormatNameA(m.message, name, 64))
                note("%s %08x %08x", name + 7 /* WM_VEX_ */, unsigned(m.wParam),
                     unsigned(m.lParam));
    }
    static void observe(int x, int y, int z, int a, int b, int c, int button, int state) {
        pumpClone(); // the clone's copies are posted before the dispatch
        note("%d %d %d %d %d %d / %d %d", x, y, z, a, b, c, button, state);
    }

    void start() {
        ZuVidCallbackTable t = Fake::table();
        ZuVidInit(7, &t);
        g_driver.lines.clear();
    }
    void send(std::int32_t type, std::uint32_t pressed, std::uint32_t released,
              std::initializer_list<int> motion = {}, HWND window = nullptr) {
        ZuVidEventRecord record = {type, {0xDEADBEEF, 0xDEADBEEF}, pressed, released, {}};
        std::copy(motion.begin(), motion.end(), record.motion);
        EXPECT_EQ(ZuVidSendEvent(window, &record), 0);
    }
};

using Log = std::vector<std::string>;

TEST_F(Proxy, StartsOnlyWithARecentDriverAndAUsbDevice) {
    enum Outcome { Fails, Starts, NoUsb };
    const std::tuple<const char*, void (*)(ZuVidCallbackTable&), Outcome> cases[] = {
        {"driver 4.0.6", [](auto&) {}, Starts},
        {"driver 4.1.0", [](auto&) { g_driver.version[1] = 1, g_driver.version[2] = 0; }, Starts},
        {"size 0x400", [](auto& t) { t.size = 0x400; }, Starts},
        {"registration refused", [](auto&) { g_driver.registerStatus = 3; }, Fails},
        {"driver 4.0.5", [](auto&) { g_driver.version[2] = 5; }, Fails},
        {"driver 3.255.255", [](auto&) { g_driver.version[0] = 3; }, Fails},
        // (Sizes that end inside an entry: ExportFaults.CallbackTablesOfEverySize.)
        {"size 20 (32-bit)", [](auto& t) { t.size = offsetof(ZuVidCallbackTable, getVersion); },
         Fails},
        {"driver 4.0.256", [](auto&) { g_driver.version[2] = 256; }, Starts},
        {"driver 3.256.6 (no spill into the major)",
         [](auto&) { g_driver.version[0] = 3, g_driver.version[1] = 256; }, Fails},
        {"driver 4.0.-1", [](auto&) { g_driver.version[2] = -1; }, Fails},
        {"driver -1.0.6", [](auto&) { g_driver.version[0] = -1; }, Fails},
        {"lower-case usb", [](auto&) { g_driver.deviceName = L"usb cap"; }, NoUsb},
        {"no getDeviceName", [](auto& t) { t.getDeviceName = nullptr; }, NoUsb},
        {"unterminated", [](auto&) { g_driver.deviceName = std::wstring(40, L'X'); }, NoUsb},
    };
    for (const auto& [what, arrange, outcome] : cases) {
        SCOPED_TRACE(what);
        g_driver = Driver();
        ZuVidCallbackTable t = Fake::table();
        arrange(t);
        ZuVidInit(0x1234, &t);
        HWND window = g_driver.registeredWindow;
        EXPECT_EQ(g_driver.registeredId, 0x1234u);
        EXPECT_EQ(IsWindow(window) && window == core() && !IsWindowVisible(window),
                  outcome == Starts);
        if (outcome == Starts) {
            // A hidden framed top-level window, as found by a search for its class.
            EXPECT_EQ(FindWindowW(L"glidora_wind_class", nullptr), window);
            EXPECT_EQ(GetAncestor(window, GA_PARENT), GetDesktopWindow());
            EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) &
                          ~DWORD(WS_CLIPSIBLINGS),
                      DWORD(WS_OVERLAPPEDWINDOW));
        }
        if (outcome != Fails) {
            EXPECT_EQ(g_driver.lines,
                      (std::vector<std::wstring>{
                          tagged(L"Registering HWND 0x%x: Application \n", window),
                          tagged(outcome == Starts
                                     ? L"Loading Configuration for Plugin  ID=0x0\n"
                                     : L"No USB 3D-Input device found\nGlidora cannot load\n\n")}));
        }
        ZuVidCloseHdl(GetDesktopWindow()); // only the core window's end shuts the proxy down
        ZuVidCloseHdl(nullptr);
        SendMessageW(window, WM_CLOSE, 0, 0); // nor does a stray close of the window
        EXPECT_EQ(IsWindow(window) && proxy().isInitialised(), outcome == Starts);
        DestroyWindow(window); // the driver's close still ends the core
        ZuVidCloseHdl(window);
        EXPECT_EQ(proxy().isInitialised(), 0);
    }
    ZuVidInit(1, nullptr);
    EXPECT_EQ(proxy().isInitialised(), 0);
    ZuVidGetInfo(nullptr);

    // An old driver's table starts with the log entry instead of a size word.
    g_driver = Driver();
    ZuVidLegacyCallbackTable legacy = {&Fake::log,        &Fake::registerWindow,
                                       &Fake::deviceInfo, &Fake::deviceName,
                                       &Fake::version,    0xBEEF,
                                       {12, 1, 1.0f},     nullptr};
    ASSERT_GT(*reinterpret_cast<const std::uint32_t*>(&legacy), 0xFFFFu);
    ZuVidInit(1, reinterpret_cast<const ZuVidCallbackTable*>(&legacy));
    EXPECT_EQ(proxy().isInitialised(), 1);
    EXPECT_EQ(g_driver.registeredId, 0xBEEFu);
    EXPECT_EQ(proxy().getCallbacks().getVersion, &Fake::version);
}

TEST_F(Proxy, DecodesEventsAndWritesTwoLinesForEach) {
    start();
    HWND window = makeWindow(L"Sheet 1 - Calc");
    EXPECT_EQ(heapCallsDuring([&] {
                  send(1, 0x0000000C, 0x00000001, {}, window); // the lowest pressed button wins
                  send(1, 0, 0x80000000u);
                  send(1, 0, 0);
                  send(1, 0x80000000u, 0);
                  send(2, 0, 0, {1, -2, 3, -4, 5, -6});
                  send(4, 0, 0, {9, 9, 9, 9, 9, 9});
                  for (int unknown : {0, 3, 8})
                      send(unknown, 1, 0, {9, 9, 9, 9, 9, 9});
                  EXPECT_EQ(ZuVidSendEvent(nullptr, nullptr), 0);
              }),
              0);
    EXPECT_EQ(g_log, (Log{"0 0 0 0 0 0 / 2 1", "0 0 0 0 0 0 / 31 0", "0 0 0 0 0 0 / 31 1",
                          "1 -2 3 -4 5 -6 / -1 0", "0 0 0 0 0 0 / -1 0"}));
    ASSERT_EQ(g_driver.lines.size(), 20u);
    EXPECT_EQ(g_driver.lines[0], tagged(L"Handling message for HWND 0x%x\n", window));
    EXPECT_EQ(g_driver.lines[1], L"Application Sheet 1 - Calc\n");
    EXPECT_EQ(g_driver.lines[3], L"Application \n");
    DestroyWindow(window);
}

TEST_F(Proxy, ScalesAxesByDeviceType) {
    const int linear[][3] = {{14, 100, 120}, {15, -7, -8}, {16, 1, 1}, {19, -1000, -1200},
                             {3, -77, -77},  {0, 5, 5},    {14, 0, 0}};
    for (const auto& c : linear) {
        g_driver.deviceType = 0; // not known yet: the driver announces it later
        start();
        g_driver.deviceType = c[0];
        EXPECT_EQ(SendMessageW(core(), message(GDR_MSG_NONLINEARINFOCHANGED), 0, 0), 1);
        EXPECT_EQ(proxy().scaleAxis(c[1]), c[2]) << "type " << c[0] << " raw " << c[1];
        ZuVidTerm();
    }
    g_driver.deviceType = 21; // non-linear: gain * raw^(1/1.7), slope 1.5 up to 40, 32/33 above
    start();
    const CGdrProxy& p = proxy();
    for (const auto& row : {std::make_pair(40, 60), {73, 92}, {700, 700}, {12, 18}}) {
        int raw = 1;
        while (raw < 4000 && int(p.getGain() * std::pow(raw, p.getInverseExponent())) != row.first)
            ++raw;
        ASSERT_LT(raw, 4000) << row.first;
        EXPECT_EQ(p.scaleAxis(raw), row.second) << "intermediate " << row.first;
        EXPECT_EQ(p.scaleAxis(-raw), -row.second) << "intermediate " << -row.first;
    }
    EXPECT_EQ(p.scaleAxis(0), 0);
    EXPECT_EQ(heapCallsDuring([&] { send(2, 0, 0, {-900, -600, -300, 0, 300, 600}); }), 0);
}

// Values beyond the int range saturate, and the most negative one is turned into the largest.
TEST_F(Proxy, ExtremeValuesSaturate) {
    g_driver.deviceType = 14; // gain 1.2
    start();
    EXPECT_EQ(proxy().scaleAxis(2000000000), INT_MAX);
    EXPECT_EQ(proxy().scaleAxis(-2000000000), INT_MIN);
    static int live[6];
    CGdrProxy::setLiveMotionProc(
        [](HWND, const int values[6]) { std::copy(values, values + 6, live); });
    HWND dialog = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 9, 9, 0, 0, 0, 0);
    proxy().setConfigDialog(dialog);
    send(2, 0, 0, {0, 0, -2000000000, 0, 0, 2000000000});
    EXPECT_EQ(live[2], INT_MAX);
    EXPECT_EQ(live[5], -INT_MAX);
    EXPECT_EQ(g_log.back(), "0 0 -2147483648 0 0 2147483647 / -1 0");
    proxy().setConfigDialog(nullptr);
    CGdrProxy::setLiveMotionProc(nullptr);
    DestroyWindow(dialog);
}

TEST_F(Proxy, RegisteredMessagesAndCloneCopies) {
    start();
    g_clone = makeWindow(L"clone");
    EXPECT_EQ(SendMessageW(core(), message(GDR_MSG_REGISTERCLONE), WPARAM(g_clone), 0), 1);
    EXPECT_EQ(SendMessageW(core(), message(GDR_MSG_CONFIGCHANGED), 0, 0), 1);
    const UINT debug = message(GDR_MSG_DEBUGEVENT);
    EXPECT_EQ(heapCallsDuring([&] {
                  EXPECT_EQ(SendMessageW(core(), debug, 0x00030201, 0x7F80FF05), 1); // scale 5
                  EXPECT_EQ(SendMessageW(core(), debug, 0x00030201, 0x7F80FF00), 1); // scale 0
                  send(2, 0, 0, {-1, 2, 3, 4, -5, 6});
                  send(1, 0x80000000u, 0);
                  send(1, 0, 0x10);
              }),
              0);
    pumpClone();
    EXPECT_EQ(
        g_log,
        (Log{"MOTIONXYZ fffbfd80 fd850000", "MOTIONABC 0005000a fff10000",
             "-5 -640 635 5 10 15 / -1 0", "MOTIONXYZ 00000000 00000000",
             "MOTIONABC 00000000 00000000", "0 0 0 0 0 0 / -1 0", "MOTIONXYZ ffff0002 fffd0000",
             "MOTIONABC 0004fffb fffa0000", "-1 2 3 4 -5 6 / -1 0", "BUTTONDATA 0000001f 00000001",
             "0 0 0 0 0 0 / 31 1", "BUTTONDATA 00000004 00000000", "0 0 0 0 0 0 / 4 0"}));
    SendMessageW(core(), message(GDR_MSG_REGISTERCLONE), 0, 0);
}

} // namespace

// Every thread that starts in the driver's realtime process is moved by the table, so that only
// the event path stays high; a level the table keeps (a plug-in worker's) stays, and outside the
// realtime class nothing changes.
TEST(ThreadAttach, NewThreadsGetTheirLevelFromTheTable) {
    auto startedAt = [](int level) {
        static int seen = 0;
        seen = INT_MIN;
        const HANDLE thread = CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                seen = GetThreadPriority(GetCurrentThread());
                return 0;
            },
            nullptr, CREATE_SUSPENDED, nullptr);
        SetThreadPriority(thread, level);
        ResumeThread(thread);
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
        return seen;
    };
    const HANDLE process = GetCurrentProcess();
    const DWORD before = GetPriorityClass(process);
    ASSERT_TRUE(SetPriorityClass(process, REALTIME_PRIORITY_CLASS));
    EXPECT_EQ(startedAt(THREAD_PRIORITY_NORMAL), THREAD_PRIORITY_IDLE);
    EXPECT_EQ(startedAt(THREAD_PRIORITY_ABOVE_NORMAL), -5);
    EXPECT_EQ(startedAt(THREAD_PRIORITY_TIME_CRITICAL), -4);
    EXPECT_EQ(startedAt(-6), -6);
    ASSERT_TRUE(SetPriorityClass(process, NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(startedAt(THREAD_PRIORITY_NORMAL), THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(startedAt(THREAD_PRIORITY_ABOVE_NORMAL), THREAD_PRIORITY_ABOVE_NORMAL);
    SetPriorityClass(process, before);
}
