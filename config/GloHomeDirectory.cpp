#include "config/GloHomeDirectory.h"

#include <cwchar>

namespace glo_config {

namespace {
const wchar_t kRegistryKey[] = L"SOFTWARE\\Veltrana\\Halcyra";
const wchar_t kHomeValue[] = L"Home Directory";
} // namespace

bool readHomeDirectory(wchar_t (&home)[kHomeChars]) {
    home[0] = L'\0';
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const DWORD valueChars = kHomeChars - 1;
    wchar_t value[kHomeChars];
    DWORD bytes = valueChars * sizeof(wchar_t);
    DWORD type = REG_NONE;
    const LONG result =
        RegQueryValueExW(key, kHomeValue, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(key);
    // Only text names a folder: a number or binary data read as text is a path nobody meant.
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    // A stored string need not carry its terminator.
    value[bytes / sizeof(wchar_t)] = L'\0';
    if (type == REG_SZ) {
        std::wmemcpy(home, value, kHomeChars);
        return true;
    }
    // The expansion must fit like the value.
    const DWORD length = ExpandEnvironmentStringsW(value, home, valueChars);
    if (length == 0 || length > valueChars) {
        home[0] = L'\0';
        return false;
    }
    return true;
}

} // namespace glo_config
