// The loaded programs through the core's plain exports, as the configuration dialog reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>

#include "GdrProxy.h"
#include "GloLoadedPrograms.h"
#include "host/GloPluginHost.h"
#include "tests/support/PluginHome.h"

namespace {

CGlo_PluginHost& host = getPluginHost();

struct Home : glotest::PluginHome {
    Home() : PluginHome(L"glolisted", true) {}
    ~Home() { host.freeAllPlugins(); }
};

HWND plainWindow() {
    return CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 9, 9, nullptr, nullptr,
                           nullptr, nullptr);
}

bool tableChangedPosted(HWND window) {
    MSG msg;
    bool posted = false;
    while (PeekMessageW(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE))
        posted = posted || msg.wParam == MAKEWPARAM(GLO_ProgramsNotifyId, GLO_ProgramsChanged);
    return posted;
}

HWND s_liveWindow = nullptr;
int s_live[6];
void takeLive(HWND window, const int values[6]) {
    s_liveWindow = window;
    std::copy(values, values + 6, s_live);
}
void otherLive(HWND, const int*) {}

} // namespace

TEST(LoadedPrograms, ReadTheHostsTable) {
    Home home;
    home.add(L"host_alpha", home.plugins + L"a.dll");
    home.add(L"host_nullapp", home.plugins + L"b.dll");
    home.add(L"host_gamma", home.plugins + L"c.dll");
    const unsigned empty = gloLoadedProgramTableGeneration();
    ASSERT_EQ(host.loadPlugins(L"Office/Plugins"), 1);
    EXPECT_NE(gloLoadedProgramTableGeneration(), empty);

    ASSERT_EQ(gloLoadedProgramCount(), 3);
    const int alpha = host.findApplication(L"Alpha"), none = host.findApplication(L"");
    wchar_t name[64];
    EXPECT_EQ(gloLoadedProgramName(alpha, name, 64), 5);
    EXPECT_STREQ(name, L"Alpha");
    EXPECT_EQ(gloLoadedProgramApplication(alpha), host.getLoadedPlugin(alpha));
    EXPECT_NE(gloLoadedProgramApplication(alpha), nullptr);
    EXPECT_EQ(gloLoadedProgramApplication(none), nullptr); // its "load" gave none

    // A name cut to fit is still terminated; past the end there is none, and no buffer is
    // written past its capacity.
    wchar_t cut[4] = {L'x', L'x', L'x', L'#'};
    EXPECT_EQ(gloLoadedProgramName(alpha, cut, 3), 2);
    EXPECT_STREQ(cut, L"Al");
    EXPECT_EQ(cut[3], L'#');
    EXPECT_EQ(gloLoadedProgramName(3, name, 64), -1);
    EXPECT_STREQ(name, L"");
    EXPECT_EQ(gloLoadedProgramName(-1, name, 64), -1);
    EXPECT_EQ(gloLoadedProgramName(alpha, nullptr, 64), -1);
    EXPECT_EQ(gloLoadedProgramName(alpha, cut, 0), -1);
    EXPECT_EQ(cut[0], L'A');
    EXPECT_EQ(gloLoadedProgramApplication(3), nullptr);
    EXPECT_EQ(gloLoadedProgramGeneration(3), 0u);

    // Loaded again, a program is another one, even at the same index and address.
    const unsigned before = gloLoadedProgramGeneration(alpha);
    const unsigned table = gloLoadedProgramTableGeneration();
    ASSERT_EQ(host.loadPlugins(L"Office/Plugins"), 1);
    EXPECT_NE(gloLoadedProgramGeneration(host.findApplication(L"Alpha")), before);
    EXPECT_NE(gloLoadedProgramTableGeneration(), table);
    host.freeAllPlugins();
    EXPECT_EQ(gloLoadedProgramCount(), 0);
}

// The window attached is the core object's dialog: told of table changes, given the live motion
// and the program reloaded last. A window going late leaves a newer one attached.
TEST(LoadedPrograms, AttachedWindowIsTheCoreObjectsDialog) {
    const HWND older = plainWindow(), newer = plainWindow();
    gloAttachConfigurationWindow(older, &otherLive);
    gloAttachConfigurationWindow(newer, &takeLive);
    EXPECT_EQ(getCoreProxy().getConfigDialog(), newer);
    gloDetachConfigurationWindow(older, &otherLive);
    EXPECT_EQ(getCoreProxy().getConfigDialog(), newer);
    EXPECT_EQ(CGdrProxy::getLiveMotionProc(), &takeLive);

    Home home;
    home.add(L"host_alpha");
    tableChangedPosted(newer);
    ASSERT_EQ(host.loadPlugins(L"Office/Plugins"), 1);
    EXPECT_TRUE(tableChangedPosted(newer));
    EXPECT_FALSE(tableChangedPosted(older));

    s_liveWindow = nullptr;
    forwardMotion(0, 0, 0, 0, 0, 0);
    EXPECT_EQ(s_liveWindow, newer);

    getCoreProxy().setLoadedConfigurationIndex(2);
    EXPECT_EQ(gloReloadedProgram(), 2);
    getCoreProxy().setLoadedConfigurationIndex(-1);
    EXPECT_EQ(gloReloadedProgram(), -1);

    gloDetachConfigurationWindow(newer, &takeLive);
    EXPECT_EQ(getCoreProxy().getConfigDialog(), nullptr);
    EXPECT_EQ(CGdrProxy::getLiveMotionProc(), nullptr);
    host.freeAllPlugins();
    EXPECT_FALSE(tableChangedPosted(newer));
    DestroyWindow(older);
    DestroyWindow(newer);
}
