// Plug-in loading from a driver home of the test's own, and matching and dispatch with real
// windows, foreground and cursor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/MessageBoxAnswerer.h"
#include "tests/support/PluginHome.h"
#include "tests/support/TestWindow.h"
#include "bench/HeapCallCounter.h"
#include "tests/fixtures/RecordingApplication.h"
#include "host/GloPluginHost.h"
#include "tests/support/FakeDriver.h"
#include "GdrProxy.h"
#include "log/GdrLog.h"

namespace {

CGlo_PluginHost& host = getPluginHost();

using glotest::PluginHome;

fixture::RecordingApplication* application(const wchar_t* name) {
    const int index = host.findApplication(name);
    return static_cast<fixture::RecordingApplication*>(host.getLoadedPlugin(index));
}

struct Home : PluginHome {
    explicit Home(bool withFolder = true) : PluginHome(L"glohost", withFolder) {}
    ~Home() { host.freeAllPlugins(); }
};

} // namespace

TEST(PluginLoading, LoadsEachPluginOnceByItsFullPath) {
    Home home;
    // A system library's name: Wine prefers its builtin even for a full path unless told
    // otherwise for that path (a bare name would still find the builtin).
    const std::wstring version = home.add(L"host_alpha", home.plugins + L"version.dll");
    home.add(L"host_loadonly", home.plugins + L"b.dll");
    home.add(L"host_gamma", home.plugins + L"c.dll");
    home.add(L"host_nullapp", home.plugins + L"d.dll");
    home.add(L"host_beta", home.plugins + L"e.dll.bak");
    home.files.push_back(home.plugins + L"f.dll");
    std::ofstream(home.files.back().c_str()) << "no library";
    const wchar_t overrides[] = L"Software\\Wine\\DllOverrides";
    const std::wstring overridePath = home.plugins + L"version";
    RegSetKeyValueW(HKEY_CURRENT_USER, overrides, overridePath.c_str(), REG_SZ, L"native",
                    sizeof(L"native"));
    EXPECT_EQ(host.loadPlugins(L"Office/Plugins"), 1);
    EXPECT_EQ(host.loadPlugins(L"Office/Plugins"), 1);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, overrides, overridePath.c_str());

    EXPECT_EQ(host.getNumberOfPlugins(), 3);
    EXPECT_GE(host.findApplication(L"Gamma"), 0);
    ASSERT_NE(application(L"Alpha"), nullptr);
    wchar_t loaded[MAX_PATH] = L"";
    GetModuleFileNameW(application(L"Alpha")->module, loaded, MAX_PATH);
    EXPECT_EQ(lstrcmpiW(loaded, version.c_str()), 0);
    EXPECT_EQ(host.getLoadedPlugin(host.findApplication(L"")), nullptr); // "load" gave null
    // Without "unload" the library is released at once; the one without an object stays.
    EXPECT_EQ(GetModuleHandleW((home.plugins + L"b.dll").c_str()), nullptr);
    EXPECT_NE(GetModuleHandleW((home.plugins + L"d.dll").c_str()), nullptr);
    // One release frees them all: the second load did not load them again.
    host.freeAllPlugins();
    for (const wchar_t* name : {L"version.dll", L"c.dll", L"d.dll"})
        EXPECT_EQ(GetModuleHandleW((home.plugins + name).c_str()), nullptr) << name;
}

// (No home at all: RegistryFaults.KeyMissing.)
TEST(PluginLoading, WithoutAFolderNothingIsLoadedAndTheHomeIsReadInFull) {
    glotest::MessageBoxAnswerer answerer;
    {
        // Libraries in the home and the working directory are no plug-ins.
        Home home(false);
        home.add(L"host_alpha", home.home + L"\\a.dll");
        wchar_t before[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, before);
        SetCurrentDirectoryW(home.home.c_str());
        host.loadPlugins(L"Office/Plugins");
        EXPECT_EQ(host.getNumberOfPlugins(), 0);
        SetCurrentDirectoryW(before);
    }

    const std::wstring longest(259, L'h');
    PluginHome::setHome(longest);
    wchar_t buffer[520], small[8] = L"zzzzzzz";
    ASSERT_EQ(host.getHomeDirectory(buffer, sizeof(buffer)), buffer);
    EXPECT_EQ(std::wstring(buffer), longest);
    ASSERT_EQ(host.getHomeDirectory(small, 10), small); // 10 bytes: four characters and the end
    EXPECT_STREQ(small, L"hhhh");
    EXPECT_EQ(small[5], L'z');
    // (Longer values, and no value: RegistryFaults.)
    PluginHome::removeHome();
    EXPECT_TRUE(answerer.answered().empty());
}

// Alpha, Beta and Gamma loaded; windows of classes that name their scores.
class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        for (const wchar_t* name : {L"host_alpha", L"host_beta", L"host_gamma"})
            home.add(name);
        host.loadPlugins(L"Office/Plugins");
        ASSERT_EQ(host.getNumberOfPlugins(), 3);
        alpha = application(L"Alpha");
        beta = application(L"Beta");
    }
    void TearDown() override {
        for (HWND w : windows)
            DestroyWindow(w);
    }
    HWND window(const wchar_t* className, int x, int width, HWND parent = nullptr) {
        HWND w = glotest::makeWindow(className, (parent ? 0 : WS_POPUP) | WS_VISIBLE, x,
                                     parent ? 0 : 100, width, 200, parent);
        if (!parent)
            windows.push_back(w);
        return w;
    }
    void focusAndPoint(HWND top, HWND under) { glotest::focusAndPoint(top, under); }
    void motion(int x = 0, int y = 40) { host.dispatchEvent(x, y, 0, 0, 0, 0, -1, 0); }

    Home home;
    fixture::RecordingApplication *alpha = nullptr, *beta = nullptr;
    std::vector<HWND> windows;
};

TEST_F(Dispatch, MatchIsCachedUntilTheTargetChanges) {
    HWND frame = window(L"hosttest_plain", 100, 300);
    HWND left = window(L"hosttest_a4", 0, 150, frame),
         right = window(L"hosttest_b4", 150, 150, frame);
    focusAndPoint(frame, left);
    motion();
    host.dispatchEvent(1, 0, 0, 0, 0, 0, -1, 0); // the driver's registration sample: dropped
    host.dispatchEvent(0, 1, 0, 0, 0, 0, -1, 0);
    // Cached: no plug-in is asked again and the core makes no heap call.
    ASSERT_GT(heap_call_counter::install(GetModuleHandleW(L"Glo_core_proxy.dll")), 0);
    const LONG heapCalls = heap_call_counter::count();
    for (int i = 0; i < 50; ++i)
        motion(i % 50, 30);
    EXPECT_EQ(heap_call_counter::count(), heapCalls);
    EXPECT_EQ(alpha->matchCalls, 1);
    // Plug-ins see z and c with the device's sign inverted.
    host.dispatchEvent(10, 20, 30, 40, 50, 60, -1, 0);
    EXPECT_EQ(std::vector<int>(alpha->lastAxes, alpha->lastAxes + 6),
              (std::vector<int>{10, 20, -30, 40, 50, -60}));

    // Onto another child: asked again, and the previous application is stopped first.
    focusAndPoint(frame, right);
    motion();
    EXPECT_EQ(alpha->matchCalls, 2);
    EXPECT_EQ(std::wstring(alpha->kinds), std::wstring(53, L'M') + L'0');
    EXPECT_EQ(std::wstring(beta->kinds), L"M");

    // A window nobody serves: Beta is stopped, and later events go nowhere and ask nobody.
    HWND other = window(L"hosttest_plain2", 500, 300);
    focusAndPoint(other, other);
    motion();
    motion();
    EXPECT_EQ(std::wstring(beta->kinds), L"M0");
    EXPECT_EQ(beta->matchCalls, 3);
    EXPECT_EQ(host.getCurrentApplication(), nullptr);
}

// The target found is kept while it is shown and not minimised, also when the pointer leaves it
// for a part of the window without a child; a minimised foreground window serves nothing.
TEST_F(Dispatch, TheTargetIsKeptOnlyWhileShownAndNotMinimised) {
    HWND frame = window(L"hosttest_plain", 100, 300);
    HWND left = window(L"hosttest_a4", 0, 150, frame);
    ASSERT_TRUE(glotest::focusAndPoint(frame, left));
    motion();
    auto pointAt = [](HWND window, int dx) {
        RECT r;
        GetWindowRect(window, &r);
        SetCursorPos((r.left + r.right) / 2 + dx, (r.top + r.bottom) / 2);
    };
    pointAt(frame, 75); // beside the child
    motion();
    EXPECT_EQ(alpha->matchCalls, 1);
    EXPECT_EQ(std::wstring(alpha->kinds), L"MM");

    // Minimised, under the pointer: asked anew at every event; used again once restored.
    ShowWindow(left, SW_MINIMIZE);
    pointAt(left, 0);
    motion();
    motion();
    EXPECT_EQ(alpha->matchCalls, 3);
    ShowWindow(left, SW_RESTORE);
    pointAt(left, 0);
    motion();
    motion();
    EXPECT_EQ(alpha->matchCalls, 3);
    EXPECT_EQ(std::wstring(alpha->kinds), L"MMMMMM");

    // Hidden, with the pointer beside it: the frame itself is the target, which nobody serves.
    ShowWindow(left, SW_HIDE);
    pointAt(frame, 75);
    motion();
    EXPECT_EQ(std::wstring(alpha->kinds), L"MMMMMM0");
    EXPECT_EQ(host.getCurrentApplication(), nullptr);

    // Shown again and under the pointer, until the foreground window is minimised.
    ShowWindow(left, SW_SHOWNA);
    pointAt(left, 0);
    motion();
    ShowWindow(frame, SW_MINIMIZE);
    EXPECT_EQ(GetForegroundWindow(), frame);
    motion();
    EXPECT_EQ(std::wstring(alpha->kinds), L"MMMMMM0M0");
    EXPECT_EQ(host.getCurrentApplication(), nullptr);
}

TEST_F(Dispatch, HighestScoreWinsTiesGoToTableOrderAndValidHandleAsksTheSame) {
    HWND tie = window(L"hosttest_a5_b5", 100, 300), unequal = window(L"hosttest_a3_b7", 500, 300);
    HWND unserved = window(L"hosttest_plain", 100, 100);
    EXPECT_EQ(host.indexOf(host.matchApplication(tie)),
              std::min(host.findApplication(L"Alpha"), host.findApplication(L"Beta")));
    EXPECT_EQ(host.indexOf(host.matchApplication(unequal)), host.findApplication(L"Beta"));
    EXPECT_EQ(host.isValidHandle(tie), 1);
    EXPECT_EQ(host.isValidHandle(unserved), 0);
    EXPECT_EQ(alpha->matchCalls, 4);
    EXPECT_EQ(alpha->eventCount + beta->eventCount, 0);
    EXPECT_EQ(host.getCurrentApplication(), nullptr);
}

namespace {
std::vector<std::wstring> g_logged;
void WINAPI logLine(const wchar_t* line) {
    g_logged.push_back(line);
}
} // namespace

// The host reaches the driver only through the core object: while the driver gives a log
// callback each question is logged and a served window announced; the open configuration dialog
// hears of every change of the table.
TEST_F(Dispatch, ReachesTheDriverAndTheDialogThroughTheCoreObject) {
    HWND served = window(L"hosttest_a5_b5", 100, 300), unserved = window(L"hosttest_plain", 0, 90);
    const ZuVidCallbackTable table = glotest::fakeDriverTable(&logLine);
    ZuVidInit(1, &table);
    const HWND core = glotest::announcedCoreWindow();
    ASSERT_NE(core, nullptr);
    g_logged.clear();
    EXPECT_EQ(host.isValidHandle(served), 1);
    EXPECT_EQ(glotest::lastAnnouncedWindow(), served);
    EXPECT_EQ(host.isValidHandle(unserved), 0);
    EXPECT_EQ(glotest::lastAnnouncedWindow(), served);
    // Each question, and the announcement of the served window in between.
    wchar_t asked[3][64];
    std::swprintf(asked[0], 64, GDR_LOG_TAG L"IsValidHdl(0x%x)\n", gdrHex(served));
    std::swprintf(asked[1], 64, GDR_LOG_TAG L"Registering HWND 0x%x:", gdrHex(served));
    std::swprintf(asked[2], 64, GDR_LOG_TAG L"IsValidHdl(0x%x)\n", gdrHex(unserved));
    EXPECT_EQ(g_logged.size(), 3u);
    g_logged.resize(3);
    EXPECT_EQ(g_logged[0], asked[0]);
    EXPECT_EQ(g_logged[1].rfind(asked[1], 0), 0u) << g_logged[1];
    EXPECT_EQ(g_logged[2], asked[2]);

    const HWND dialog = window(L"hosttest_plain", 0, 10);
    getCoreProxy().setConfigDialog(dialog);
    host.freeAllPlugins();
    getCoreProxy().setConfigDialog(nullptr);
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, dialog, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0x00020418u); // the table changed

    ZuVidCloseHdl(core); // the driver's callbacks are forgotten: nothing more is logged
    g_logged.clear();
    EXPECT_EQ(host.isValidHandle(served), 0);
    EXPECT_TRUE(g_logged.empty());
}
