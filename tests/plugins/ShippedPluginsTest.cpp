// The shipped plug-ins, loaded together by the host as a user installs them: each claims the
// windows of its programs above every other plug-in, and keeps each user's configuration in a
// file of the user's own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GloFunctionSetup.h"
#include "tests/support/PluginHome.h"
#include "tests/support/TestWindow.h"
#include "host/GloPluginHost.h"

namespace {

CGlo_PluginHost& host = getPluginHost();

struct Installed : glotest::PluginHome {
    // `settings` runs before the plug-ins are loaded.
    explicit Installed(void (*settings)(PluginHome&) = nullptr) : PluginHome(L"glo_shipped") {
        addShipped();
        if (settings)
            settings(*this);
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
    // A view of a dialog's page whose scroll bar is a control (its own, or beside it) is the
    // generic plug-in's while the bar is shown.
    HWND dialog = program(L"GloDialogFrame");
    ShowWindow(dialog, SW_SHOWNOACTIVATE);
    HWND page = make(L"GloPropertyPage", dialog, WS_VISIBLE);
    for (bool shown : {true, false}) {
        HWND holder = make(L"GloFramedView", page, WS_VISIBLE);
        HWND beside = make(L"GloStaticPicture", holder, WS_VISIBLE);
        CreateWindowExW(0, L"ScrollBar", L"", WS_CHILD | SBS_VERT | (shown ? WS_VISIBLE : 0), 0, 0,
                        10, 50, holder, nullptr, nullptr, nullptr);
        EXPECT_EQ(servedBy(holder), shown ? L"Generic" : L"");
        EXPECT_EQ(servedBy(beside), shown ? L"Generic" : L"");
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

// One motion setup as the plug-ins write it.
std::string record(const char* function, int count, const char* axes, const char* polarities,
                   int threshold) {
    return std::string("[Function]\r\nFunction=") + function +
           "\r\nEventType=motion\r\nNumberOfAxis=" + std::to_string(count) + "\r\nAxis=" + axes +
           "\r\nAxisPolarity=" + polarities + "\r\nThreshold=" + std::to_string(threshold) + "\r\n";
}

// The built-in setups of the plug-ins whose defaults changed when every motion got one meaning,
// as that earlier version stored them.
const struct {
    const wchar_t* plugin;
    std::string file;
} kEarlierSetups[] = {
    {L"TextEditor", record("LinePan", 2, "0 2", "1 1", 0) +
                        record("CursorUpDown", 1, "3", "1", 30) +
                        record("PageDown", 0, "4", "1", 60) + record("PageUp", 0, "4", "-1", 60)},
    {L"TreesAndLists",
     record("CursorUpDown", 1, "2", "1", 0) + record("CursorLeftRight", 1, "0", "1", 0) +
         record("PageDown", 0, "4", "1", 60) + record("PageUp", 0, "4", "-1", 60)},
    {L"WordProcessor",
     record("SmoothPan", 2, "0 2", "1 1", 0) + record("LinePan", 2, "5 3", "1 1", 30) +
         record("PageDown", 0, "4", "1", 60) + record("PageUp", 0, "4", "-1", 60)},
    {L"Mail", record("LinePan", 2, "0 2", "1 1", 0) + record("NextItem", 1, "3", "1", 30) +
                  record("PageDown", 0, "4", "1", 60) + record("PageUp", 0, "4", "-1", 60)},
    {L"Browser", record("SmoothPan", 2, "0 2", "1 1", 0) + record("Wheel", 1, "3", "-1", 30) +
                     record("HistoryBack", 0, "4", "-1", 60) +
                     record("HistoryForward", 0, "4", "1", 60)},
    {L"Generic", record("LinePan", 2, "0 2", "1 1", 0) + record("Wheel", 1, "3", "-1", 30) +
                     record("PageDown", 0, "4", "1", 60) + record("PageUp", 0, "4", "-1", 60)},
};

// Only the built-in setups changed: a user's file of the earlier mapping is read as it was (every
// function it names is still there) and written back the same.
TEST(ShippedPlugins, SetupsStoredByTheEarlierMappingAreReadAsTheyWere) {
    Installed installed([](glotest::PluginHome& home) {
        CreateDirectoryW(home.userSettings.c_str(), nullptr);
        for (const auto& earlier : kEarlierSetups) {
            home.files.push_back(home.userSettings + earlier.plugin + L".cfg");
            glotest::writeFile(home.files.back(), earlier.file);
        }
    });
    for (const auto& earlier : kEarlierSetups) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(earlier.plugin)));
        CGlo_Application* application = host.getLoadedPlugin(host.findApplication(earlier.plugin));
        ASSERT_NE(application, nullptr);
        const std::wstring file = installed.userSettings + earlier.plugin + L".cfg";
        DeleteFileW(file.c_str());
        application->serialize();
        EXPECT_EQ(glotest::readFile(file), earlier.file);
    }
}

} // namespace
