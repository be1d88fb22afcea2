// Discovery and loading of plug-in libraries, the home directory, the table's lookups and the
// configuration reload.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>

#include "GdrProxy.h"
#include "HostTestSupport.h"
#include "MessageBoxAnswerer.h"

using namespace hosttest;

namespace {

std::wstring currentDirectory() {
    wchar_t path[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, path);
    return path;
}

std::wstring moduleFile(HMODULE module) {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

bool sameFile(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

std::vector<std::wstring> tableNames() {
    std::vector<std::wstring> names;
    for (int i = 0; i < getPluginHost().getNumberOfPlugins(); ++i)
        names.push_back(getPluginHost().getApplicationName(i));
    return names;
}

} // namespace

TEST(PluginLoading, LoadsLibrariesWithBothExportsInFolderOrder) {
    Home home;
    home.add(L"host_alpha", L"a.dll");
    home.add(L"host_loadonly", L"b.dll");
    home.add(L"host_gamma", L"c.dll");
    home.add(L"host_nullapp", L"d.dll");
    home.addText(L"e.dll", "no library at all");
    CreateDirectoryW((home.plugins + L"f.dll").c_str(), nullptr);
    home.add(L"host_beta", L"g.dll.bak"); // not a ".dll" name

    const std::wstring before = currentDirectory();
    CGlo_PluginHost& host = getPluginHost();
    EXPECT_EQ(host.loadPlugins(L"Office/Plugins"), 1);
    EXPECT_EQ(currentDirectory(), before);

    // The table follows the folder's own listing, keeping only the plug-ins.
    std::vector<std::wstring> expected;
    for (const std::wstring& name : home.listing()) {
        if (name == L"a.dll")
            expected.push_back(L"Alpha");
        else if (name == L"c.dll")
            expected.push_back(L"Gamma");
        else if (name == L"d.dll")
            expected.push_back(L"");
    }
    EXPECT_EQ(tableNames(), expected);
    EXPECT_STREQ(host.getApplicationName(host.getNumberOfPlugins()), L"NIL");
    EXPECT_STREQ(host.getApplicationName(-1), L"NIL");

    // Each application got its own module handle, loaded from the plug-in folder.
    fixture::RecordingApplication* alpha = application(L"Alpha");
    ASSERT_NE(alpha, nullptr);
    EXPECT_TRUE(sameFile(moduleFile(alpha->module), home.plugins + L"a.dll"));
    // The entry without an application object is found by its empty name.
    const int nullIndex = host.findApplication(L"");
    ASSERT_GE(nullIndex, 0);
    EXPECT_EQ(host.getLoadedPlugin(nullIndex), nullptr);
    EXPECT_EQ(host.getLoadedPlugin(-1), nullptr);
    EXPECT_EQ(host.getLoadedPlugin(host.getNumberOfPlugins()), nullptr);
    EXPECT_EQ(host.findApplication(L"alpha"), -1); // case-sensitive
    // The library without "unload" was released at once; the null one stays loaded.
    EXPECT_EQ(GetModuleHandleW((home.plugins + L"b.dll").c_str()), nullptr);
    EXPECT_NE(GetModuleHandleW((home.plugins + L"d.dll").c_str()), nullptr);

    host.freeAllPlugins();
    EXPECT_EQ(host.getNumberOfPlugins(), 0);
    for (const wchar_t* name : {L"a.dll", L"c.dll", L"d.dll"})
        EXPECT_EQ(GetModuleHandleW((home.plugins + name).c_str()), nullptr);
}

TEST(PluginLoading, LoadingTwiceKeepsEachLibraryOnce) {
    Home home;
    home.add(L"host_alpha");
    home.add(L"host_beta");
    CGlo_PluginHost& host = getPluginHost();
    host.loadPlugins(L"Office/Plugins");
    host.loadPlugins(L"Office/Plugins");
    EXPECT_EQ(host.getNumberOfPlugins(), 2);
    // One release frees the libraries: they were not loaded a second time.
    host.freeAllPlugins();
    EXPECT_EQ(GetModuleHandleW((home.plugins + L"host_alpha.dll").c_str()), nullptr);
    EXPECT_EQ(GetModuleHandleW((home.plugins + L"host_beta.dll").c_str()), nullptr);
}

TEST(PluginLoading, LibrariesOfTheSameNameElsewhereDoNotStandIn) {
    Home home;
    // A system library's name, and a name that a different library has beside the executable
    // (where a search by bare name looks first).
    home.add(L"host_alpha", L"version.dll");
    home.add(L"host_gamma", L"glohost_shadowed.dll");
    const std::wstring beside = executableFolder() + L"glohost_shadowed.dll";
    ASSERT_TRUE(CopyFileW(fixturePath(L"host_beta").c_str(), beside.c_str(), FALSE));

    // Wine prefers its own builtin of a system library's name even for a full path unless told
    // otherwise for that path; Windows loads the file named. (A bare name still finds the
    // system library, so the check keeps its point.)
    const std::wstring overridePath = home.plugins + L"version";
    HKEY overrides = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_WRITE,
                    nullptr, &overrides, nullptr);
    RegSetValueExW(overrides, overridePath.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(L"native"), sizeof(L"native"));

    getPluginHost().loadPlugins(L"Office/Plugins");
    RegDeleteValueW(overrides, overridePath.c_str());
    RegCloseKey(overrides);
    std::vector<std::wstring> names = tableNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Alpha", L"Gamma"}));
    if (fixture::RecordingApplication* alpha = application(L"Alpha")) {
        EXPECT_TRUE(sameFile(moduleFile(alpha->module), home.plugins + L"version.dll"));
    }
    getPluginHost().freeAllPlugins();
    DeleteFileW(beside.c_str());
}

TEST(PluginLoading, MissingFolderLoadsNothingFromElsewhere) {
    Home home(false);
    // Libraries in the home directory and in the working directory are no plug-ins.
    ASSERT_TRUE(
        CopyFileW(fixturePath(L"host_alpha").c_str(), (home.home + L"a.dll").c_str(), FALSE));
    const std::wstring before = currentDirectory();
    SetCurrentDirectoryW(home.home.c_str());
    const std::wstring inHome = currentDirectory();
    getPluginHost().loadPlugins(L"Office/Plugins");
    EXPECT_EQ(getPluginHost().getNumberOfPlugins(), 0);
    EXPECT_EQ(currentDirectory(), inHome);
    SetCurrentDirectoryW(before.c_str());
}

TEST(HomeDirectory, MissingKeyShowsOneMessageAndLoadsNothing) {
    removeHomeKey();
    glotest::MessageBoxAnswerer answerer;
    const std::wstring before = currentDirectory();
    EXPECT_EQ(getPluginHost().loadPlugins(L"Office/Plugins"), 1);
    ASSERT_TRUE(answerer.waitFor(1));
    EXPECT_EQ(getPluginHost().getNumberOfPlugins(), 0);
    EXPECT_EQ(currentDirectory(), before);
    Sleep(100);
    ASSERT_EQ(answerer.answered().size(), 1u);
    EXPECT_EQ(answerer.answered()[0].text, L"Halcyra Home Directory not found");
}

TEST(HomeDirectory, ValueUpTo259CharactersIsReadAndCutToTheBuffer) {
    CGlo_PluginHost& host = getPluginHost();
    const std::wstring longest(259, L'h');
    setHomeValue(longest);
    wchar_t buffer[520];
    ASSERT_EQ(host.getHomeDirectory(buffer, sizeof(buffer)), buffer);
    EXPECT_EQ(std::wstring(buffer), longest);
    // A buffer of 10 bytes takes four characters and the terminator.
    wchar_t small[8] = L"zzzzzzz";
    ASSERT_EQ(host.getHomeDirectory(small, 10), small);
    EXPECT_STREQ(small, L"hhhh");
    EXPECT_EQ(small[5], L'z');

    // 300 characters do not fit; neither does a missing value.
    glotest::MessageBoxAnswerer answerer;
    setHomeValue(std::wstring(300, L'h'));
    EXPECT_EQ(host.getHomeDirectory(buffer, sizeof(buffer)), nullptr);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Veltrana\\Halcyra", 0, KEY_WRITE, &key),
              ERROR_SUCCESS);
    RegDeleteValueW(key, L"Home Directory");
    RegCloseKey(key);
    EXPECT_EQ(host.getHomeDirectory(buffer, sizeof(buffer)), nullptr);
    ASSERT_EQ(answerer.answered().size(), 2u);
    EXPECT_EQ(answerer.answered()[0].text, L"Halcyra Home Directory not found");
    removeHomeKey();
}

TEST(Configuration, ReloadSelectsTheNamedApplicationAndTellsTheDialog) {
    // The exchange names no application here: the empty name.
    Home home;
    home.add(L"host_alpha");
    startProxy(true);
    CGdrProxy& proxy = getCoreProxy();
    EXPECT_EQ(proxy.getLoadedConfigurationIndex(), -1);
    EXPECT_EQ(driver().lines.back(),
              L"Vex_Core_Proxy.dll: Loading Configuration for Plugin  ID=0x0\n");
    EXPECT_EQ(application(L"Alpha")->deserializeCalls, 0);
    stopProxy();

    // An application without a name is the one the empty name selects.
    home.add(L"host_unnamed");
    startProxy(true);
    fixture::RecordingApplication* unnamed = application(L"");
    ASSERT_NE(unnamed, nullptr);
    EXPECT_EQ(unnamed->deserializeCalls, 1); // at the end of ZuVidInit
    HWND dialog = createWindow(L"hosttest_dialog", 0, 0, 50, 50);
    proxy.setConfigDialog(dialog);
    windowMessages() = WindowMessages();
    driver().lines.clear();
    EXPECT_EQ(proxy.loadConfiguration(), 1);
    EXPECT_EQ(proxy.getLoadedConfigurationIndex(), getPluginHost().findApplication(L""));
    EXPECT_EQ(unnamed->deserializeCalls, 2);
    EXPECT_EQ(unnamed->lastProxy, &proxy);
    wchar_t expected[128];
    swprintf(expected, 128, L"Vex_Core_Proxy.dll: Loading Configuration for Plugin  ID=0x%x\n",
             static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(unnamed)));
    EXPECT_EQ(driver().lines, std::vector<std::wstring>{expected});
    // The dialog hears of it through WM_COMMAND, notification 1 of control 1048.
    EXPECT_EQ(windowMessages().commandCalls, 1);
    EXPECT_EQ(windowMessages().commandWParam, WPARAM(0x00010418));
    EXPECT_EQ(windowMessages().commandLParam, reinterpret_cast<LPARAM>(proxy.GetSafeHwnd()));
    proxy.setConfigDialog(nullptr);
    DestroyWindow(dialog);
    stopProxy();
}
