#include "HostTestSupport.h"

#include <gtest/gtest.h>

#include "GdrProxy.h"
#include "ZuVidDriver.h"

#include <fstream>
#include <set>

namespace hosttest {

namespace {
const wchar_t kKey[] = L"SOFTWARE\\Veltrana\\Halcyra";

std::wstring uniqueFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    return std::wstring(temp) + L"glohost_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(++counter) + L"\\";
}

void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(folder + name + L"\\");
            else
                DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}
} // namespace

std::wstring executableFolder() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring fixturePath(const wchar_t* name) {
    return executableFolder() + L"..\\plugins\\" + name + L".dll";
}

void setHomeValue(const std::wstring& value) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueExW(key, L"Home Directory", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void removeHomeKey() {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Veltrana"); // only when empty
}

Home::Home(bool withFolder) : home(uniqueFolder()), plugins(home + L"Office\\Plugins\\") {
    CreateDirectoryW(home.c_str(), nullptr);
    if (withFolder) {
        CreateDirectoryW((home + L"Office").c_str(), nullptr);
        CreateDirectoryW(plugins.c_str(), nullptr);
    }
    // The registry value is stored without the trailing backslash, as an installer writes it.
    setHomeValue(home.substr(0, home.size() - 1));
}

Home::~Home() {
    getPluginHost().freeAllPlugins();
    removeHomeKey();
    removeTree(home);
}

void Home::add(const wchar_t* fixtureName, const std::wstring& as) {
    const std::wstring target = plugins + (as.empty() ? std::wstring(fixtureName) + L".dll" : as);
    ASSERT_TRUE(CopyFileW(fixturePath(fixtureName).c_str(), target.c_str(), FALSE))
        << "fixture missing: "
        << std::string(fixturePath(fixtureName).begin(), fixturePath(fixtureName).end());
}

void Home::addText(const std::wstring& as, const char* text) {
    std::ofstream((plugins + as).c_str(), std::ios::binary) << text;
}

std::vector<std::wstring> Home::listing() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((plugins + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
}

fixture::RecordingApplication* application(int index) {
    return static_cast<fixture::RecordingApplication*>(getPluginHost().getLoadedPlugin(index));
}

fixture::RecordingApplication* application(const wchar_t* name) {
    const int index = getPluginHost().findApplication(name);
    return index < 0 ? nullptr : application(index);
}

void pump() {
    for (int round = 0; round < 3; ++round) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

WindowMessages& windowMessages() {
    static WindowMessages messages;
    return messages;
}

Driver& driver() {
    static Driver d;
    return d;
}

namespace {
void WINAPI logLine(const wchar_t* text) {
    driver().lines.push_back(text);
}

std::int32_t WINAPI registerWindow(std::uint32_t, const wchar_t*, HWND window,
                                   std::int32_t* status) {
    driver().registered.push_back(window);
    *status = 0;
    return 0;
}

std::int32_t WINAPI getDeviceName(HWND, wchar_t* buffer, std::int32_t capacity) {
    lstrcpynW(buffer, L"USB cap", capacity);
    return 0;
}

std::int32_t WINAPI getVersion(ZuVidVersionInfo* info) {
    info->major = 4;
    info->minor = 0;
    info->build = 6;
    return 0;
}

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowMessages& m = windowMessages();
    if (message == WM_GETTEXT)
        ++m.getTextCalls;
    if (message == WM_COMMAND) {
        ++m.commandCalls;
        m.commandWParam = wParam;
        m.commandLParam = lParam;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void registerClass(const std::wstring& name) {
    static std::set<std::wstring> registered;
    if (!registered.insert(name).second)
        return;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = recordingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = name.c_str();
    RegisterClassW(&wc);
}
} // namespace

HWND createWindow(const std::wstring& className, int x, int y, int width, int height, HWND parent) {
    registerClass(className);
    HWND window = CreateWindowExW(0, className.c_str(), L"host test",
                                  (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE, x, y, width, height,
                                  parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    pump();
    return window;
}

void startProxy(bool withLog) {
    driver() = Driver();
    ZuVidCallbackTable table = {};
    table.size = sizeof(table);
    table.log = withLog ? &logLine : nullptr;
    table.registerWindow = &registerWindow;
    table.getDeviceName = &getDeviceName;
    table.getVersion = &getVersion;
    ZuVidInit(7, &table);
    ASSERT_TRUE(getCoreProxy().isInitialised());
    driver().registered.clear();
}

void stopProxy() {
    ZuVidCloseHdl(getCoreProxy().GetSafeHwnd());
}

void focusAndPoint(HWND top, HWND under) {
    SetForegroundWindow(top);
    pump();
    RECT r;
    GetWindowRect(under ? under : top, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    pump();
}

} // namespace hosttest
