// The driver's home directory as the core reads it, checked before the core is loaded: a core
// that cannot read it shows a message box, which nobody answers on a display without a screen.
#pragma once

#include <windows.h>

#include <string>

namespace driver {

const wchar_t kHomeKey[] = L"SOFTWARE\\Veltrana\\Halcyra";
const wchar_t kHomeValue[] = L"Home Directory";
const wchar_t kPluginFolder[] = L"Office\\Plugins";

// The home folder, or why the core could not use it (`problem`, one sentence). Same rules as the
// core: text of at most 259 characters, environment variables of an expandable value expanded.
inline bool readHomeDirectory(std::wstring& home, std::wstring& problem) {
    const std::wstring where =
        std::wstring(L"HKLM\\") + kHomeKey + L", value \"" + kHomeValue + L"\"";
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kHomeKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        problem = L"the registry has no key " + where;
        return false;
    }
    wchar_t value[261] = L"";
    DWORD bytes = 260 * sizeof(wchar_t);
    DWORD type = REG_NONE;
    const LONG read =
        RegQueryValueExW(key, kHomeValue, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(key);
    if (read == ERROR_MORE_DATA) {
        problem = where + L" is longer than 259 characters";
        return false;
    }
    if (read != ERROR_SUCCESS) {
        problem = L"the registry has no " + where;
        return false;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        problem = where + L" is not text";
        return false;
    }
    value[bytes / sizeof(wchar_t)] = L'\0';
    home = value;
    if (type == REG_EXPAND_SZ) {
        wchar_t expanded[261];
        const DWORD length = ExpandEnvironmentStringsW(value, expanded, 260);
        if (length == 0 || length > 260) {
            problem = where + L" is longer than 259 characters once expanded";
            return false;
        }
        home = expanded;
    }
    const DWORD attributes = GetFileAttributesW(home.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        problem = where + L" names \"" + home + L"\", which is no folder";
        return false;
    }
    return true;
}

// "<home>\Office\Plugins".
inline std::wstring pluginFolder(const std::wstring& home) {
    std::wstring folder = home;
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    return folder + kPluginFolder;
}

} // namespace driver
