#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "FakeDriver.h"

using namespace fake;

namespace {

// A driver home directory with an empty plug-in folder, so that a started proxy
// loads no plug-ins and shows no message box.
class HomeDirectory : public ::testing::Environment {
public:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        home_ = std::wstring(temp) + L"glo_proxy_home_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(home_.c_str(), nullptr);
        CreateDirectoryW((home_ + L"\\Office").c_str(), nullptr);
        CreateDirectoryW((home_ + L"\\Office\\Plugins").c_str(), nullptr);
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        wchar_t previous[MAX_PATH];
        DWORD size = sizeof(previous);
        hadValue_ = RegQueryValueExW(key, L"Home Directory", nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(previous), &size) == ERROR_SUCCESS;
        if (hadValue_)
            previous_.assign(previous, size / sizeof(wchar_t));
        RegSetValueExW(key, L"Home Directory", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(home_.c_str()),
                       static_cast<DWORD>((home_.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    void TearDown() override {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            if (hadValue_)
                RegSetValueExW(key, L"Home Directory", 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(previous_.c_str()),
                               static_cast<DWORD>(previous_.size() * sizeof(wchar_t)));
            else
                RegDeleteValueW(key, L"Home Directory");
            RegCloseKey(key);
        }
        RemoveDirectoryW((home_ + L"\\Office\\Plugins").c_str());
        RemoveDirectoryW((home_ + L"\\Office").c_str());
        RemoveDirectoryW(home_.c_str());
    }

private:
    static constexpr const wchar_t* kKey = L"SOFTWARE\\Veltrana\\Halcyra";
    std::wstring home_;
    std::wstring previous_;
    bool hadValue_ = false;
};

::testing::Environment* const g_home = ::testing::AddGlobalTestEnvironment(new HomeDirectory);

std::wstring hex(HWND hwnd) {
    wchar_t text[32];
    swprintf(text, 32, L"%x", static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(hwnd)));
    return text;
}

std::wstring className(HWND hwnd) {
    wchar_t name[64] = L"";
    GetClassNameW(hwnd, name, 64);
    return name;
}

const wchar_t kNoUsbLine[] =
    L"Vex_Core_Proxy.dll: No USB 3D-Input device found\nGlidora cannot load\n\n";

class Init : public ProxyTest {};

TEST_F(Init, SucceedsWithARecentDriverAndRegistersTheHiddenCoreWindow) {
    ZuVidCallbackTable t = table();
    ZuVidInit(0x1234, &t);

    CGdrProxy& proxy = getCoreProxy();
    ASSERT_EQ(proxy.isInitialised(), 1);
    HWND core = coreWindow();
    ASSERT_TRUE(IsWindow(core));
    EXPECT_EQ(className(core), GDR_CORE_WINDOW_CLASS);
    EXPECT_FALSE(IsWindowVisible(core));
    EXPECT_EQ(GetWindowLongW(core, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(FindWindowW(GDR_CORE_WINDOW_CLASS, nullptr), core);

    EXPECT_EQ(driver().registerCalls, 1);
    EXPECT_EQ(driver().registeredId, 0x1234u);
    EXPECT_EQ(driver().registeredModule, L"glidora_core.dll");
    EXPECT_EQ(driver().registeredWindow, core);
    // Then the plug-ins are loaded (none here) and the driver's configuration is looked up.
    ASSERT_EQ(driver().lines.size(), 2u);
    EXPECT_EQ(driver().lines[0],
              L"Vex_Core_Proxy.dll: Registering HWND 0x" + hex(core) + L": Application \n");
    EXPECT_EQ(driver().lines[1], L"Vex_Core_Proxy.dll: Loading Configuration for Plugin  ID=0x0\n");

    // Another window changes nothing; the core window shuts the proxy down.
    ZuVidCloseHdl(GetDesktopWindow());
    ZuVidCloseHdl(nullptr);
    EXPECT_EQ(proxy.isInitialised(), 1);
    ZuVidCloseHdl(core);
    EXPECT_EQ(proxy.isInitialised(), 0);
    EXPECT_FALSE(IsWindow(core));
    EXPECT_EQ(coreWindow(), nullptr);
    EXPECT_EQ(proxy.getCallbacks().log, nullptr);

    // A second start begins from scratch with a new window.
    ZuVidInit(0x99, &t);
    EXPECT_EQ(proxy.isInitialised(), 1);
    EXPECT_EQ(driver().registeredId, 0x99u);
}

TEST_F(Init, FailuresShutTheProxyDown) {
    struct Case {
        const char* what;
        void (*arrange)(Driver&);
        bool initialised;
    } cases[] = {
        {"registration refused", [](Driver& d) { d.registerStatus = 3; }, false},
        {"driver 4.0.5", [](Driver& d) { d.version[2] = 5; }, false},
        {"driver 3.255.255", [](Driver& d) { d.version[0] = 3, d.version[1] = d.version[2] = 255; },
         false},
        {"driver 4.1.0", [](Driver& d) { d.version[1] = 1, d.version[2] = 0; }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        driver() = Driver();
        c.arrange(driver());
        ZuVidCallbackTable t = table();
        ZuVidInit(1, &t);
        EXPECT_EQ(getCoreProxy().isInitialised(), c.initialised ? 1 : 0);
        EXPECT_EQ(coreWindow() != nullptr, c.initialised);
        EXPECT_NE(driver().registeredWindow, nullptr);
        if (!c.initialised) {
            EXPECT_FALSE(IsWindow(driver().registeredWindow));
        }
        ZuVidTerm();
    }
}

TEST_F(Init, WithoutAUsbDeviceLogsString57AndShutsDown) {
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(variant);
        driver() = Driver();
        ZuVidCallbackTable t = table();
        if (variant == 0)
            driver().deviceName = L"usb serial cap"; // the test is case-sensitive
        else if (variant == 1)
            t.getDeviceName = nullptr;
        else
            driver().fillNameUnterminated = true; // 32 characters, no terminator
        ZuVidInit(1, &t);
        EXPECT_EQ(getCoreProxy().isInitialised(), 0);
        EXPECT_EQ(coreWindow(), nullptr);
        ASSERT_EQ(driver().lines.size(), 2u);
        EXPECT_EQ(driver().lines[1], kNoUsbLine);
    }
}

TEST_F(Init, CopiesTheCallbackTableByItsSizeWord) {
    CGdrProxy& proxy = getCoreProxy();

    // A table that ends before getVersion leaves it null: version 0, init fails.
    ZuVidCallbackTable t = table();
    t.size = offsetof(ZuVidCallbackTable, getVersion);
    ZuVidInit(1, &t);
    EXPECT_EQ(proxy.isInitialised(), 0);
    EXPECT_EQ(driver().registerCalls, 1);

    // A longer table is copied up to the known entries; its size word is kept.
    t = table();
    t.size = 0x400;
    ZuVidInit(1, &t);
    EXPECT_EQ(proxy.isInitialised(), 1);
    EXPECT_EQ(proxy.getCallbacks().size, 0x400u);
    ZuVidTerm();

    // A table without size word (first word above 0xFFFF) starts with the log entry.
    ZuVidLegacyCallbackTable legacy = {};
    legacy.log = &logLine;
    legacy.registerWindow = &registerWindow;
    legacy.getDeviceInfo = &getDeviceInfo;
    legacy.getDeviceName = &getDeviceName;
    legacy.getVersion = &getVersion;
    legacy.driverId = 0xBEEF;
    legacy.nonLinear = {12, 1, 1.0f};
    legacy.instance = GetModuleHandleW(nullptr);
    ASSERT_GT(*reinterpret_cast<const std::uint32_t*>(&legacy), 0xFFFFu);
    ZuVidInit(1, reinterpret_cast<const ZuVidCallbackTable*>(&legacy));
    EXPECT_EQ(proxy.isInitialised(), 1);
    EXPECT_EQ(proxy.getCallbacks().size, sizeof(std::uint32_t) + sizeof(legacy));
    EXPECT_EQ(proxy.getDriverId(), 0xBEEFu);
    EXPECT_EQ(driver().registeredId, 0xBEEFu);
    EXPECT_EQ(proxy.getCallbacks().getVersion, &getVersion);
    ZuVidTerm();

    // No table at all: nothing to register with.
    ZuVidInit(1, nullptr);
    EXPECT_EQ(proxy.isInitialised(), 0);
    EXPECT_EQ(coreWindow(), nullptr);
}

TEST_F(Init, ShutdownResetsTheDriverState) {
    driver().deviceType = 21;
    start(42);
    CGdrProxy& proxy = getCoreProxy();
    proxy.setLoadedConfigurationIndex(3);
    HWND dialog = CreateWindowExW(0, L"STATIC", L"dialog", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    proxy.setConfigDialog(dialog);
    EXPECT_NE(proxy.getGain(), 1.0f);

    EXPECT_EQ(ZuVidTerm(), 1);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(proxy.getConfigDialog(), nullptr);
    EXPECT_EQ(proxy.getLoadedConfigurationIndex(), -1);
    EXPECT_EQ(proxy.getDriverId(), 0u);
    EXPECT_EQ(proxy.getGain(), 1.0f);
    EXPECT_EQ(proxy.getInverseExponent(), 1.0f);
    EXPECT_EQ(proxy.getCallbacks().size, sizeof(ZuVidCallbackTable));
    EXPECT_EQ(proxy.getCallbacks().registerWindow, nullptr);
    EXPECT_EQ(proxy.getNonLinearInformation().size, 12u);
    EXPECT_EQ(proxy.getNonLinearInformation().linear, 1);
    EXPECT_EQ(proxy.getNonLinearInformation().exponent, 1.0f);
    EXPECT_STREQ(proxy.getModuleName(), L"glidora_core.dll");
    EXPECT_TRUE(driver().lines.empty()); // nothing is logged once the callbacks are gone
}

TEST_F(Init, RegisterWindowLogsTheTitleCutToTheLineCapacity) {
    start();
    std::wstring title(600, L'T');
    HWND window = CreateWindowExW(0, L"STATIC", title.c_str(), WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    EXPECT_EQ(getCoreProxy().registerWindow(window), 1);
    ASSERT_EQ(driver().lines.size(), 1u);
    const std::wstring full =
        L"Vex_Core_Proxy.dll: Registering HWND 0x" + hex(window) + L": Application " + title;
    EXPECT_EQ(driver().lines[0], full.substr(0, 511));

    driver().registerStatus = 1;
    EXPECT_EQ(getCoreProxy().registerWindow(window), 0);
    DestroyWindow(window);
}

TEST_F(Init, StateCopyOwnsNoWindow) {
    struct Copy : CGdrProxy {
        explicit Copy(const CGdrProxy& p) : CGdrProxy(p) {}
    };
    start(5);
    HWND core = coreWindow();
    {
        Copy copy(getCoreProxy());
        EXPECT_EQ(copy.GetSafeHwnd(), nullptr);
        EXPECT_EQ(copy.getDriverId(), 5u);
        EXPECT_EQ(copy.getCallbacks().log, &logLine);
        EXPECT_EQ(copy.isInitialised(), 1);
        EXPECT_EQ(copy.shutdown(), 1);
    }
    EXPECT_TRUE(IsWindow(core));
    EXPECT_EQ(coreWindow(), core);
    EXPECT_EQ(getCoreProxy().isInitialised(), 1);
}

TEST(Info, TextAndNullPointer) {
    const wchar_t* info = nullptr;
    ZuVidGetInfo(&info);
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info, L"Glidora Proxy ... office work horse");
    ZuVidGetInfo(nullptr);
    ZuVidServiceRequest();
}

TEST(Attach, RegistersTheControlClassesAndSetsRealtimePriority) {
    HMODULE dll = GetModuleHandleW(L"Glo_core_proxy.dll");
    ASSERT_TRUE(dll);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    EXPECT_TRUE(GetClassInfoExW(dll, L"GdrAxisMappingCtl", &wc));
    EXPECT_TRUE(GetClassInfoExW(dll, L"GdrCapWrapperCtl", &wc));
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(REALTIME_PRIORITY_CLASS));
}

TEST(Priority, ExistingThreadsByBasePriority) {
    EXPECT_EQ(CGdrProxy::priorityForBasePriority(14), -5);
    EXPECT_EQ(CGdrProxy::priorityForBasePriority(15), -4);
    for (int base : {0, 1, 8, 13, 16, 31})
        EXPECT_EQ(CGdrProxy::priorityForBasePriority(base), THREAD_PRIORITY_IDLE) << base;
}

TEST(Priority, NewThreadsUnderTheRealtimeClass) {
    const int table[][2] = {{-15, -15}, {-2, -15}, {-1, -15}, {0, -15}, {1, -5},
                            {2, -4},    {15, -4},  {3, 3},    {-7, -7}, {6, 6}};
    for (const auto& row : table)
        EXPECT_EQ(CGdrProxy::adjustedThreadPriority(row[0]), row[1]) << row[0];
}

} // namespace
