// The example plug-in, built out of tree against the installed SDK package with and without
// UNICODE, is loaded by the host, serves its window, names its function with its own text, runs
// it on its worker and keeps a window of its own on the core's window layer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "GloEvent.h"
#include "tests/support/PluginHome.h"
#include "tests/support/TestWindow.h"
#include "host/GloPluginHost.h"

namespace {

template <class T> T entry(HMODULE module, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

TEST(SdkExample, BuiltEitherWayItLoadsAndRuns) {
    const char* examples = std::getenv("GLO_SDK_EXAMPLES");
    ASSERT_NE(examples, nullptr) << "the package check did not run";
    HWND target = glotest::makeWindow(L"HelloTarget", WS_POPUP, 0, 0, 9, 9);
    CGlo_PluginHost& host = getPluginHost();
    for (const char* variant : {"unicode-ON", "unicode-OFF"}) {
        SCOPED_TRACE(variant);
        const std::string dir = std::string(examples) + "/" + variant + "/hello_plugin.dll";
        glotest::PluginHome home(L"glo_sdk");
        const std::wstring plugin =
            home.addFile(std::wstring(dir.begin(), dir.end()), L"hello_plugin.dll");
        host.loadPlugins(L"Office/Plugins");
        ASSERT_EQ(host.getNumberOfPlugins(), 1);
        EXPECT_STREQ(host.getApplicationName(0), L"Hello");
        EXPECT_EQ(host.matchApplication(target), host.matchApplication(target));
        ASSERT_NE(host.matchApplication(target), nullptr);

        const HMODULE module = GetModuleHandleW(plugin.c_str());
        const auto steps = entry<LONG (*)()>(module, "helloSteps");
        const auto ends = entry<LONG (*)()>(module, "helloEnds");
        const auto window = entry<HWND (*)()>(module, "helloWindow");
        ASSERT_TRUE(steps && ends && window);
        EXPECT_EQ(SendMessageW(window(), WM_APP, 0, 0), 42); // through its message map

        CGlo_Application* application = host.getLoadedPlugin(0);
        // Its own function carries its own text (the tests run under an English interface).
        wchar_t text[64] = L"";
        ASSERT_NE(application->queryFunction(L"Step"), nullptr);
        EXPECT_STREQ(application->queryFunction(L"Step")->getFunctionCbDescription(text, 128),
                     L"Count Steps");
        CGlo_Event push(200, 0, 0, 0, 0, 0, -1, 0), rest;
        application->sendevent(push);
        EXPECT_TRUE(glotest::eventually([&] { return steps() >= 2; })); // repeated on the worker
        application->sendevent(rest);
        EXPECT_TRUE(glotest::eventually([&] { return ends() == 1; }));
        host.freeAllPlugins();
        EXPECT_EQ(GetModuleHandleW(plugin.c_str()), nullptr);
    }
    DestroyWindow(target);
}

} // namespace
