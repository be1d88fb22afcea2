#include "tests/support/PluginHome.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace glotest {

namespace {
const wchar_t kKey[] = L"SOFTWARE\\Veltrana\\Halcyra";
} // namespace

std::wstring programFolder() {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring exe = path;
    return exe.substr(0, exe.rfind(L'\\'));
}

std::string readFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc) << bytes;
}

namespace {
// Removes the files (not the folders) in `folder`, which ends with a backslash.
void removeFiles(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
}
} // namespace

PluginHome::PluginHome(const std::wstring& name, bool withFolder) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    home = temp + (name + L"_" + std::to_wstring(GetCurrentProcessId()));
    plugins = home + L"\\Office\\Plugins\\";
    appData = home + L"\\AppData";
    userSettings = appData + L"\\Glidora\\";
    for (const std::wstring& folder : {plugins, home + L"\\", userSettings})
        removeFiles(folder);
    CreateDirectoryW(home.c_str(), nullptr);
    if (withFolder) {
        CreateDirectoryW((home + L"\\Office").c_str(), nullptr);
        CreateDirectoryW(plugins.c_str(), nullptr);
    }
    CreateDirectoryW(appData.c_str(), nullptr);
    wchar_t previous[MAX_PATH] = L"";
    if (GetEnvironmentVariableW(L"APPDATA", previous, MAX_PATH) < MAX_PATH)
        previousAppData = previous;
    SetEnvironmentVariableW(L"APPDATA", appData.c_str());
    setHome(home);
}

PluginHome::~PluginHome() {
    removeHome();
    SetEnvironmentVariableW(L"APPDATA",
                            previousAppData.empty() ? nullptr : previousAppData.c_str());
    for (const std::wstring& file : files)
        DeleteFileW(file.c_str());
    removeFiles(userSettings);
    for (const std::wstring& folder : {userSettings, appData, plugins, home + L"\\Office", home})
        RemoveDirectoryW(folder.c_str());
}

std::wstring PluginHome::add(const wchar_t* fixture, std::wstring path) {
    const std::wstring source = programFolder() + L"\\..\\plugins\\" + fixture + L".dll";
    files.push_back(path.empty() ? plugins + fixture + L".dll" : path);
    EXPECT_TRUE(CopyFileW(source.c_str(), files.back().c_str(), FALSE)) << "no " << fixture;
    return files.back();
}

void PluginHome::addShipped() {
    for (const wchar_t* plugin : {L"glo_text_editor", L"glo_trees_lists", L"glo_word_processor",
                                  L"glo_spreadsheet", L"glo_presentation", L"glo_mail",
                                  L"glo_browser", L"glo_pdf_viewer", L"glo_layout", L"glo_generic"})
        add(plugin);
}

std::wstring PluginHome::addFile(const std::wstring& source, const std::wstring& name) {
    files.push_back(plugins + name);
    EXPECT_TRUE(CopyFileW(source.c_str(), files.back().c_str(), FALSE));
    return files.back();
}

void PluginHome::setHome(const std::wstring& value) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"Home Directory", REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void PluginHome::removeHome() {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Veltrana"); // only when empty
}

} // namespace glotest
