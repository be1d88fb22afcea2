// The shipped plug-ins, loaded together by the host as a user installs them: each claims the
// windows of its programs above every other plug-in, and keeps each user's configuration in a
// file of the user's own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GloFunctionSetup.h"
#include "PluginHome.h"
#include "TestWindow.h"
#include "host/GloPluginHost.h"

namespace {

const wchar_t* const kShipped[] = {L"glo_text_editor", L"glo_trees_lists",  L"glo_word_processor",
                                   L"glo_spreadsheet", L"glo_presentation", L"glo_mail",
                                   L"glo_browser",     L"glo_pdf_viewer",   L"glo_layout",
                                   L"glo_generic"};

CGlo_PluginHost& host = getPluginHost();

struct Installed : glotest::PluginHome {
    Installed() : PluginHome(L"glo_shipped") {
        for (const wchar_t* plugin : kShipped)
            add(plugin);
        host.loadPlugins(L"Office/Plugins");
    }
    ~Installed() { host.freeAllPlugins(); }
};

HWND make(const wchar_t* className, HWND parent = nullptr, DWORD style = 0) {
    return glotest::makeWindow(className, style | (parent ? 0 : WS_POPUP), 0, 0, 50, 50, parent);
}

// The name of the plug-in the host gives `window` to, or "" when none takes it.
std::wstring servedBy(HWND window) {
    const int index = host.indexOf(host.matchApplication(window));
    return index < 0 ? L"" : host.getApplicationName(index);
}

TEST(ShippedPlugins, EachClaimsTheWindowsOfItsPrograms) {
    Installed installed;
    ASSERT_EQ(host.getNumberOfPlugins(), 10);
    std::vector<HWND> tops;
    auto program = [&](const wchar_t* top) {
        tops.push_back(make(top));
        return tops.back();
    };
    HWND word = program(L"OpusApp");
    HWND excel = program(L"XLMAIN");
    HWND outlook = program(L"rctrl_renwnd32");
    HWND plain = program(L"GloPlainProgram");
    const struct {
        HWND window;
        const wchar_t* plugin;
    } cases[] = {
        {make(L"Edit", program(L"Notepad"), WS_VSCROLL), L"TextEditor"},
        {make(L"RichEdit20W", program(L"WORDPADTOP")), L"TextEditor"},
        {make(L"SysTreeView32", program(L"RegEdit_RegEdit")), L"TreesAndLists"},
        {make(L"ListBox", program(L"WFS_Frame"), WS_VSCROLL), L"TreesAndLists"},
        {make(L"_WwG", make(L"_WwB", make(L"_WwF", word))), L"WordProcessor"},
        {make(L"RichEdit20W", word), L"WordProcessor"}, // a field of the program, not a document
        {make(L"EXCEL7", make(L"XLDESK", excel)), L"Spreadsheet"},
        {make(L"EXCEL<", excel), L"Spreadsheet"},
        {make(L"paneClassDC", make(L"MDIClient", program(L"PP9FrameClass"))), L"Presentation"},
        {make(L"RichEdit20WPT", outlook), L"Mail"},
        {make(L"Internet Explorer_Server", outlook), L"Browser"},
        {make(L"Internet Explorer_Server", make(L"Shell DocObject View", program(L"IEFrame"))),
         L"Browser"},
        {make(L"AVL_AVView", program(L"AcrobatSDIWindow")), L"PdfViewer"},
        {make(L"PageMaker7View", program(L"PageMaker7")), L"Layout"},
        {make(L"GloCustomView", plain, WS_VSCROLL | WS_HSCROLL), L"Generic"},
        {make(L"GloStaticPicture", plain), L""},
    };
    for (const auto& c : cases) {
        wchar_t name[64] = L"";
        GetClassNameW(c.window, name, 64);
        EXPECT_EQ(servedBy(c.window), c.plugin) << "window class " << testing::PrintToString(name);
    }
    for (HWND top : tops)
        DestroyWindow(top);
}

// Setups replaced while the plug-in runs are written to the user's file at once and come back
// when it is loaded again; button setups are never stored.
TEST(ShippedPlugins, ConfigurationRoundTripThroughTheirOwnFiles) {
    Installed installed;
    for (int i = 0; i < host.getNumberOfPlugins(); ++i) {
        CGlo_Application* application = host.getLoadedPlugin(i);
        const std::wstring name = host.getApplicationName(i);
        SCOPED_TRACE(testing::PrintToString(name));
        const int builtIn = application->getNumberOfConnections();
        ASSERT_GT(builtIn, 2);
        // Keep every second motion setup of the built-in ones, with a dead zone of 77.
        std::vector<CGlo_FunctionSetup> kept;
        int motion = 0;
        for (int k = 0; k < builtIn; ++k) {
            CGlo_FunctionSetup* setup = application->queryFunctionSetup(k);
            if (!setup->isButton() && motion++ % 2 == 0)
                kept.push_back(*setup);
        }
        for (CGlo_FunctionSetup& setup : kept)
            setup.setThreshold(77);
        application->setConfiguration(kept.data(), int(kept.size() * sizeof(CGlo_FunctionSetup)));
        const std::string text = glotest::readFile(installed.userSettings + name + L".cfg");
        EXPECT_NE(text.find("77"), std::string::npos) << text;
        EXPECT_EQ(text.find("button"), std::string::npos) << text;
    }
    const int before = host.getNumberOfPlugins();
    std::vector<int> counts;
    for (int i = 0; i < before; ++i)
        counts.push_back(host.getLoadedPlugin(i)->getNumberOfConnections());
    host.loadPlugins(L"Office/Plugins");
    ASSERT_EQ(host.getNumberOfPlugins(), before);
    for (int i = 0; i < before; ++i) {
        CGlo_Application* application = host.getLoadedPlugin(i);
        EXPECT_EQ(application->getNumberOfConnections(), counts[i]);
        for (int k = 0; k < application->getNumberOfConnections(); ++k) {
            const CGlo_FunctionSetup* setup = application->queryFunctionSetup(k);
            if (!setup->isButton())
                EXPECT_EQ(setup->getThreshold(), 77);
        }
    }
}

} // namespace
