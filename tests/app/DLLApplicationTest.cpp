#include <gtest/gtest.h>

#include "GloDLLApplication.h"
#include "TestApplication.h"

using apptest::TestApplication;

// The test program itself plays the plug-in library: it exports "unload".
static int gUnloadCalls = 0;
extern "C" __declspec(dllexport) void unload() {
    ++gUnloadCalls;
}

namespace {

HWND window(int n) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(n));
}

// Another reference to this program's module, as "load" is handed its library.
HINSTANCE loadSelf() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return LoadLibraryW(path);
}

void expectInert(CGlo_DLLApplication& w) {
    CGlo_Event event(9, 9, 9, 0, 0, 0, -1, 0);
    CGlo_FunctionSetup setup(L"Pan", GLO_MotionEvent);
    EXPECT_EQ(w.match(window(4)) + w.init() + w.sendevent(event) + w.getNumberOfFunctions(), 0);
    EXPECT_EQ(w.queryFunction(L"Pan"), nullptr);
    EXPECT_EQ(w.queryFunction(0), nullptr);
    EXPECT_EQ(w.setConfiguration(&setup, sizeof setup) + w.setDefaultConfiguration() +
                  w.setButtonConfiguration(),
              0);
    w.serialize();
    w.deserialize();
    EXPECT_EQ(w.getNumberOfConnections(), 0);
    w.setRegisteredWindow(window(8));
    EXPECT_EQ(w.getRegisteredWindow(), nullptr);
}

TEST(DLLApplication, EmptyWrapperAnswersNeutrallyAndIgnoresSetters) {
    CGlo_DLLApplication w;
    EXPECT_EQ(w.getLoadedPlugin(), nullptr);
    expectInert(w);
    w.setFocus(window(5));
    EXPECT_EQ(w.getFocus(), nullptr);
    w.freePlugin();
    expectInert(w);
}

TEST(DLLApplication, ForwardsEveryOperationUnchanged) {
    TestApplication app;
    app.setName(L"Forwarded");
    CGlo_DLLApplication w(&app, nullptr);
    EXPECT_STREQ(w.getName(), L"Forwarded");
    EXPECT_EQ(w.match(window(3)), 7);
    EXPECT_EQ(app.lastWindow, window(3));
    EXPECT_EQ(w.init(), 11);
    CGlo_Event event(1, 2, 3, 4, 5, 6, -1, 0);
    EXPECT_EQ(w.sendevent(event), 13);
    EXPECT_EQ(app.lastEvent.getAxis(5), 6);
    EXPECT_EQ(w.getNumberOfFunctions(), 3);
    EXPECT_EQ(w.queryFunction(L"Zoom"), app.queryFunction(1));
    EXPECT_EQ(w.queryFunction(2), app.queryFunction(2));
    CGlo_FunctionSetup setups[2] = {{L"A", GLO_NoEvent}, {L"B", GLO_NoEvent}};
    EXPECT_EQ(w.setConfiguration(setups, sizeof setups), 17);
    EXPECT_EQ(app.lastSetups, setups);
    EXPECT_EQ(app.lastSize, static_cast<int>(sizeof setups));
    EXPECT_EQ(w.setDefaultConfiguration(), 19);
    EXPECT_EQ(w.setButtonConfiguration(), 23);
    // The work happened in the application; the wrapper's own table stays empty.
    EXPECT_EQ(app.connections(), L"Zoom Key");
    EXPECT_EQ(w.getNumberOfConnections(), 0);

    apptest::FileGuard file(L"Forwarded.cfg");
    w.serialize();
    app.getMultiplexer().clear();
    w.deserialize();
    EXPECT_EQ(app.connections(), L"Key Zoom Key");

    w.setRegisteredWindow(window(6));
    w.setFocus(window(7));
    EXPECT_EQ(w.getRegisteredWindow(), window(6));
    EXPECT_EQ(w.getFocus(), window(7));
}

TEST(DLLApplication, CopiesShareTheLibraryAndFreePluginUnloadsOnce) {
    TestApplication app;
    app.setName(L"Lib");
    gUnloadCalls = 0;
    {
        CGlo_DLLApplication temporary(&app, loadSelf());
        CGlo_DLLApplication entry(temporary);
        CGlo_DLLApplication other;
        other = entry;
        EXPECT_EQ(other.getLoadedPlugin(), &app);
        EXPECT_STREQ(other.getName(), L"Lib");

        entry.setRegisteredWindow(window(2));
        entry.setFocus(window(3));
        entry.freePlugin();
        EXPECT_EQ(gUnloadCalls, 1);
        EXPECT_EQ(entry.getFocus(), window(3)); // kept, but no longer settable
        expectInert(entry);
        entry.setFocus(window(9));
        EXPECT_EQ(entry.getFocus(), window(3));
        entry.freePlugin();
        EXPECT_EQ(gUnloadCalls, 1);
        // The other copies still name the application: the host frees one entry per library.
        EXPECT_EQ(other.match(nullptr), 7);
    }
    EXPECT_EQ(gUnloadCalls, 1); // destroying copies releases nothing
}

TEST(DLLApplication, FreePluginReleasesTheLibraryWithOrWithoutUnload) {
    // A system library without "unload" that nothing else here keeps loaded.
    const wchar_t* library = nullptr;
    for (const wchar_t* candidate : {L"msimg32.dll", L"mpr.dll", L"credui.dll", L"usp10.dll"})
        if (library == nullptr && GetModuleHandleW(candidate) == nullptr)
            library = candidate;
    if (library == nullptr)
        GTEST_SKIP() << "every candidate library is loaded already";
    TestApplication app;
    CGlo_DLLApplication withApp(&app, LoadLibraryW(library));
    ASSERT_NE(GetModuleHandleW(library), nullptr);
    withApp.freePlugin();
    EXPECT_EQ(GetModuleHandleW(library), nullptr);
    EXPECT_EQ(withApp.getLoadedPlugin(), nullptr);

    // "load" returned null: the library is released without calling "unload".
    gUnloadCalls = 0;
    CGlo_DLLApplication empty(nullptr, loadSelf());
    EXPECT_STREQ(empty.getName(), L"");
    empty.freePlugin();
    EXPECT_EQ(gUnloadCalls, 0);
}

} // namespace
