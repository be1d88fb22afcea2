// A driver home of a benchmark's own holding the ten shipped plug-ins, as a user's installation
// has them, named in the registry; and a user's application-data folder of its own, where the
// plug-ins keep each user's setups. Everything is removed again at the end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace bench {

const wchar_t* const kShippedPlugins[] = {
    L"glo_text_editor",  L"glo_trees_lists", L"glo_word_processor", L"glo_spreadsheet",
    L"glo_presentation", L"glo_mail",        L"glo_browser",        L"glo_pdf_viewer",
    L"glo_layout",       L"glo_generic"};
const int kShippedCount = sizeof(kShippedPlugins) / sizeof(kShippedPlugins[0]);

class ShippedHome {
public:
    // A folder `name`_<process id> in the temporary folder.
    explicit ShippedHome(const wchar_t* name) {
        wchar_t temp[MAX_PATH], exe[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring built = exe;
        built = built.substr(0, built.find_last_of(L'\\') + 1) + L"..\\plugins\\";
        home = temp + (name + (L"_" + std::to_wstring(GetCurrentProcessId())));
        plugins = home + L"\\Office\\Plugins\\";
        appData = home + L"\\AppData";
        userSettings = appData + L"\\Glidora\\";
        for (const std::wstring& folder :
             {home, home + L"\\Office", plugins, appData, userSettings})
            CreateDirectoryW(folder.c_str(), nullptr);
        complete = true;
        for (const wchar_t* plugin : kShippedPlugins) {
            libraries.push_back(plugins + plugin + L".dll");
            complete &= CopyFileW((built + plugin + L".dll").c_str(), libraries.back().c_str(),
                                  FALSE) != FALSE;
        }
        wchar_t previous[MAX_PATH] = L"";
        const DWORD length = GetEnvironmentVariableW(L"APPDATA", previous, MAX_PATH);
        hadAppData = length > 0 && length < MAX_PATH;
        previousAppData = previous;
        SetEnvironmentVariableW(L"APPDATA", appData.c_str());
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"Home Directory", REG_SZ, home.c_str(),
                        static_cast<DWORD>((home.size() + 1) * sizeof(wchar_t)));
    }

    ~ShippedHome() {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Veltrana"); // only when empty
        SetEnvironmentVariableW(L"APPDATA", hadAppData ? previousAppData.c_str() : nullptr);
        for (const std::wstring& library : libraries)
            DeleteFileW(library.c_str());
        WIN32_FIND_DATAW found;
        const HANDLE find = FindFirstFileW((userSettings + L"*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do
                DeleteFileW((userSettings + found.cFileName).c_str());
            while (FindNextFileW(find, &found));
            FindClose(find);
        }
        for (const std::wstring& folder :
             {userSettings, appData, plugins, home + L"\\Office", home})
            RemoveDirectoryW(folder.c_str());
    }

    ShippedHome(const ShippedHome&) = delete;
    ShippedHome& operator=(const ShippedHome&) = delete;

    // True when every shipped plug-in was found beside the benchmark (built in ../plugins).
    bool isComplete() const { return complete; }

    // True while none of the shipped libraries is loaded in this process.
    static bool noneLoaded() {
        for (const wchar_t* plugin : kShippedPlugins)
            if (GetModuleHandleW((std::wstring(plugin) + L".dll").c_str()) != nullptr)
                return false;
        return true;
    }

    std::wstring home, plugins, userSettings; // the two folders end with a backslash
    std::vector<std::wstring> libraries;      // full paths, in the order of kShippedPlugins

private:
    static constexpr const wchar_t* kKey = L"SOFTWARE\\Veltrana\\Halcyra";
    std::wstring appData, previousAppData;
    bool hadAppData = false;
    bool complete = false;
};

} // namespace bench
