// The user settings in memory and in their file (GloUserSettings.h).
#include "GloUserSettings.h"

#include <windows.h>

#include <atomic>
#include <cmath>
#include <cwchar>
#include <cwctype>
#include <map>
#include <string>
#include <string_view>

#include "GloConfigPaths.h"
#include "config/AtomicFileWriter.h"
#include "config/SettingsText.h"
#include "config/UserSettingsStore.h"

namespace {

using glo_config::kFastestSpeed;
using glo_config::kNormalSpeed;
using glo_config::kSlowestSpeed;

const wchar_t kFileName[] = L"Settings.ini";
const wchar_t kSpeedKey[] = L"Speed";

typedef std::map<std::wstring, std::wstring, std::less<>> Values;
typedef std::map<std::wstring, Values, std::less<>> Programs; // "" for all programs

// Destroyed after the plug-in host (and so after every worker), whose priority is higher.
struct Store {
    SRWLOCK lock = SRWLOCK_INIT;
    Programs programs;
    bool heldBack = false; // a file that could not be read nor set aside is not written over
    std::atomic<unsigned> generation{0};
};
Store s_store __attribute__((init_priority(200)));

class CReadLock {
public:
    CReadLock() { AcquireSRWLockShared(&s_store.lock); }
    ~CReadLock() { ReleaseSRWLockShared(&s_store.lock); }
    CReadLock(const CReadLock&) = delete;
    CReadLock& operator=(const CReadLock&) = delete;
};

class CWriteLock {
public:
    CWriteLock() { AcquireSRWLockExclusive(&s_store.lock); }
    ~CWriteLock() { ReleaseSRWLockExclusive(&s_store.lock); }
    CWriteLock(const CWriteLock&) = delete;
    CWriteLock& operator=(const CWriteLock&) = delete;
};

std::wstring_view programOf(const wchar_t* program) {
    return program != nullptr ? std::wstring_view(program) : std::wstring_view();
}

// Under a lock; null when not set.
const std::wstring* find(std::wstring_view program, std::wstring_view key) {
    const Programs::const_iterator values = s_store.programs.find(program);
    if (values == s_store.programs.end())
        return nullptr;
    const Values::const_iterator value = values->second.find(key);
    return value != values->second.end() ? &value->second : nullptr;
}

int clampSpeed(long long speed) {
    return static_cast<int>(speed < kSlowestSpeed   ? kSlowestSpeed
                            : speed > kFastestSpeed ? kFastestSpeed
                                                    : speed);
}

// A plain decimal ("1.4", "0.25", "2") in thousandths, whatever the process's locale; -1 for
// anything else.
int parseSpeed(const std::wstring* text) {
    if (text == nullptr || text->empty())
        return -1;
    long long whole = 0, fraction = 0, scale = 1000;
    bool point = false, digits = false;
    for (wchar_t c : *text) {
        if (c == L'.' && !point) {
            point = true;
        } else if (c >= L'0' && c <= L'9') {
            digits = true;
            if (!point)
                whole = whole < 100000 ? whole * 10 + (c - L'0') : whole;
            else if (scale > 1)
                fraction += (c - L'0') * (scale /= 10);
        } else {
            return -1;
        }
    }
    return digits ? clampSpeed(whole * 1000 + fraction) : -1;
}

std::wstring formatSpeed(int speed) {
    std::wstring text = std::to_wstring(speed / 1000);
    int fraction = speed % 1000;
    if (fraction != 0) {
        text += L'.';
        for (int digit = 100; fraction != 0; digit /= 10) {
            text += static_cast<wchar_t>(L'0' + fraction / digit);
            fraction %= digit;
        }
    }
    return text;
}

// Under a lock: the stored factor of `program`, the normal speed when none (or none readable).
int storedSpeed(std::wstring_view program) {
    const int speed = parseSpeed(find(program, kSpeedKey));
    return speed > 0 ? speed : kNormalSpeed;
}

void changed() {
    s_store.generation.fetch_add(1, std::memory_order_release);
}

bool settingsPath(wchar_t* path, std::size_t capacity, CGlo_ConfigPaths& paths) {
    const wchar_t* folder = paths.getUserFolder();
    if (path == nullptr || capacity == 0)
        return false;
    path[0] = L'\0';
    if (folder[0] == L'\0' || std::wcslen(folder) + 1 + std::wcslen(kFileName) >= capacity)
        return false;
    std::swprintf(path, capacity, L"%ls\\%ls", folder, kFileName);
    return true;
}

void fillReport(GLO_SaveReport* report, int outcome, int failure, unsigned long error,
                const wchar_t* file) {
    if (report == nullptr)
        return;
    report->outcome = outcome;
    report->failure = failure;
    report->error = error;
    const std::size_t capacity = sizeof(report->file) / sizeof(report->file[0]);
    std::size_t i = 0;
    for (; file != nullptr && i + 1 < capacity && file[i] != L'\0'; ++i)
        report->file[i] = file[i];
    report->file[i] = L'\0';
}

void copyText(wchar_t* to, std::size_t capacity, const wchar_t* from) {
    std::size_t i = 0;
    for (; from != nullptr && i + 1 < capacity && from[i] != L'\0'; ++i)
        to[i] = from[i];
    to[i] = L'\0';
}

// The file's bytes; Missing when there is none, Unreadable when it cannot be opened, read in
// full, or is longer than a settings file can be.
enum FileState { Missing, Unreadable, Present };
FileState readBytes(const wchar_t* path, std::string& bytes) {
    const HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Missing
                                                                              : Unreadable;
    }
    FileState state = Unreadable;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size) && size.QuadPart >= 0 &&
        static_cast<unsigned long long>(size.QuadPart) <= glo_config::kLargestSettingsFile) {
        try {
            bytes.resize(static_cast<std::size_t>(size.QuadPart));
            DWORD got = 0;
            if (bytes.empty() ||
                (ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr) &&
                 got == bytes.size()))
                state = Present;
        } catch (...) {
            bytes.clear();
        }
    }
    CloseHandle(file);
    return state;
}

} // namespace

namespace glo_config {

SettingsLoad loadUserSettings() {
    SettingsLoad load = {SettingsLoad::Read, L"", L""};
    CGlo_ConfigPaths paths(nullptr, L"Settings");
    Programs programs;
    bool heldBack = false;
    if (!settingsPath(load.file, sizeof(load.file) / sizeof(load.file[0]), paths)) {
        load.outcome = SettingsLoad::NoFileName;
    } else {
        std::string bytes;
        const FileState state = readBytes(load.file, bytes);
        ParsedSettings parsed;
        try {
            if (state == Present)
                parsed = parseSettings(bytes);
        } catch (...) {
            parsed = ParsedSettings();
            parsed.complete = false;
        }
        if (state == Unreadable || !parsed.complete) {
            // Nothing of it is lost: the file is kept aside, and the next save starts afresh
            // with what could be read.
            wchar_t aside[CGlo_ConfigPaths::Capacity + 64];
            bool renamed = false;
            for (int n = 1; n < 100 && !renamed; ++n) {
                if (n == 1)
                    std::swprintf(aside, sizeof(aside) / sizeof(aside[0]), L"%ls.unreadable",
                                  load.file);
                else
                    std::swprintf(aside, sizeof(aside) / sizeof(aside[0]), L"%ls.unreadable.%d",
                                  load.file, n);
                renamed = MoveFileExW(load.file, aside, MOVEFILE_WRITE_THROUGH) != FALSE;
                if (!renamed && GetLastError() != ERROR_ALREADY_EXISTS &&
                    GetLastError() != ERROR_FILE_EXISTS)
                    break;
            }
            load.outcome = renamed ? SettingsLoad::SetAside : SettingsLoad::HeldBack;
            if (renamed)
                copyText(load.aside, sizeof(load.aside) / sizeof(load.aside[0]), aside);
            heldBack = !renamed;
        }
        try {
            for (const SettingsEntry& entry : parsed.entries)
                programs[entry.program][entry.key] = entry.value;
        } catch (...) {
            programs.clear();
        }
    }
    {
        CWriteLock lock;
        s_store.programs.swap(programs);
        s_store.heldBack = heldBack;
        changed();
    }
    return load; // the old settings go here, outside the lock
}

unsigned userSettingsGeneration() {
    return s_store.generation.load(std::memory_order_acquire);
}

int effectiveSpeed(const wchar_t* program) {
    CReadLock lock;
    const std::wstring_view own = programOf(program);
    const int all = storedSpeed(std::wstring_view());
    // A program without a name has nothing of its own: the empty name stands for all programs.
    const int mine = own.empty() ? kNormalSpeed : storedSpeed(own);
    return glo_config::combineSpeeds(all, mine);
}

} // namespace glo_config

bool CGlo_UserSettings::getValue(const wchar_t* program, const wchar_t* key, wchar_t* value,
                                 int capacity) {
    if (value == nullptr || capacity <= 0)
        return false;
    value[0] = L'\0';
    if (key == nullptr)
        return false;
    CReadLock lock;
    const std::wstring* found = find(programOf(program), key);
    if (found == nullptr)
        return false;
    copyText(value, static_cast<std::size_t>(capacity), found->c_str());
    return found->size() < static_cast<std::size_t>(capacity);
}

bool CGlo_UserSettings::setValue(const wchar_t* program, const wchar_t* key, const wchar_t* value) {
    const std::wstring_view name = programOf(program);
    if (key == nullptr || key[0] == L'\0' || value == nullptr || std::wcslen(key) > MaxKeyChars ||
        std::wcslen(value) > MaxValueChars || name.size() > MaxProgramChars)
        return false;
    try {
        CWriteLock lock;
        std::wstring& stored = s_store.programs[std::wstring(name)][key];
        if (stored != value) {
            stored = value;
            changed();
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool CGlo_UserSettings::removeValue(const wchar_t* program, const wchar_t* key) {
    if (key == nullptr)
        return false;
    CWriteLock lock;
    const Programs::iterator values = s_store.programs.find(programOf(program));
    if (values == s_store.programs.end())
        return false;
    const Values::iterator value = values->second.find(std::wstring_view(key));
    if (value == values->second.end())
        return false;
    values->second.erase(value);
    if (values->second.empty())
        s_store.programs.erase(values);
    changed();
    return true;
}

double CGlo_UserSettings::getSpeed(const wchar_t* program) {
    CReadLock lock;
    return storedSpeed(programOf(program)) / static_cast<double>(kNormalSpeed);
}

double CGlo_UserSettings::getEffectiveSpeed(const wchar_t* program) {
    return glo_config::effectiveSpeed(program) / static_cast<double>(kNormalSpeed);
}

void CGlo_UserSettings::setSpeed(const wchar_t* program, double factor) {
    const int speed =
        std::isfinite(factor) ? clampSpeed(std::llround(factor * kNormalSpeed)) : kNormalSpeed;
    if (speed == kNormalSpeed)
        removeValue(program, kSpeedKey);
    else
        setValue(program, kSpeedKey, formatSpeed(speed).c_str());
}

namespace {

// The modifier names of the stored text, in the order written.
const struct {
    unsigned modifier;
    const wchar_t* name;
} kModifierNames[] = {{GLO_KeyCtrl, L"Ctrl"}, {GLO_KeyAlt, L"Alt"}, {GLO_KeyShift, L"Shift"}};

// Keys that have a side (and so cannot be sent as one), mouse buttons, nothing.
bool isSendableKey(unsigned key) {
    if (key == 0 || key > 0xFE || key == VK_LBUTTON || key == VK_RBUTTON || key == VK_MBUTTON ||
        key == VK_XBUTTON1 || key == VK_XBUTTON2 || key == VK_LWIN || key == VK_RWIN)
        return false;
    return !(key >= VK_SHIFT && key <= VK_MENU) && !(key >= VK_LSHIFT && key <= VK_RMENU);
}

// "Button 3" into `name`.
void buttonKeyName(int button, wchar_t (&name)[16]) {
    std::swprintf(name, 16, L"Button %d", button);
}

} // namespace

bool CGlo_UserSettings::formatKeys(unsigned modifiers, unsigned key, wchar_t* text, int capacity) {
    if (text == nullptr || capacity <= 0)
        return false;
    text[0] = L'\0';
    wchar_t made[48] = L"";
    std::size_t length = 0;
    for (const auto& m : kModifierNames)
        if ((modifiers & m.modifier) != 0)
            length += std::swprintf(made + length, 48 - length, L"%ls+", m.name);
    if ((key >= L'A' && key <= L'Z') || (key >= L'0' && key <= L'9'))
        std::swprintf(made + length, 48 - length, L"%lc", static_cast<wchar_t>(key));
    else if (key >= VK_F1 && key <= VK_F24)
        std::swprintf(made + length, 48 - length, L"F%u", key - VK_F1 + 1);
    else
        std::swprintf(made + length, 48 - length, L"0x%02X", key & 0xFF);
    if (!isSendableKey(key) || std::wcslen(made) >= static_cast<std::size_t>(capacity))
        return false;
    copyText(text, static_cast<std::size_t>(capacity), made);
    return true;
}

bool CGlo_UserSettings::parseKeys(const wchar_t* text, unsigned* modifiers, unsigned* key) {
    if (text == nullptr)
        return false;
    unsigned foundModifiers = 0;
    const wchar_t* rest = text;
    for (bool more = true; more;) {
        more = false;
        for (const auto& m : kModifierNames) {
            const std::size_t n = std::wcslen(m.name);
            if (_wcsnicmp(rest, m.name, n) == 0 && rest[n] == L'+' && rest[n + 1] != L'\0') {
                foundModifiers |= m.modifier;
                rest += n + 1;
                more = true;
            }
        }
    }
    unsigned found = 0;
    const std::size_t length = std::wcslen(rest);
    const wchar_t upper = static_cast<wchar_t>(std::towupper(rest[0]));
    if (length == 1 && ((upper >= L'A' && upper <= L'Z') || (upper >= L'0' && upper <= L'9'))) {
        found = upper;
    } else if (length >= 2 && length <= 3 && upper == L'F' && std::iswdigit(rest[1]) &&
               (length == 2 || std::iswdigit(rest[2]))) {
        const unsigned n = static_cast<unsigned>(std::wcstoul(rest + 1, nullptr, 10));
        found = n >= 1 && n <= 24 ? VK_F1 + n - 1 : 0;
    } else if (length == 4 && rest[0] == L'0' && (rest[1] == L'x' || rest[1] == L'X') &&
               std::iswxdigit(rest[2]) && std::iswxdigit(rest[3])) {
        found = static_cast<unsigned>(std::wcstoul(rest + 2, nullptr, 16));
    }
    if (!isSendableKey(found))
        return false;
    if (modifiers != nullptr)
        *modifiers = foundModifiers;
    if (key != nullptr)
        *key = found;
    return true;
}

bool CGlo_UserSettings::getButtonKeys(const wchar_t* program, int button, unsigned* modifiers,
                                      unsigned* key) {
    if (program == nullptr || program[0] == L'\0' || button < 0 || button >= MaxButtons)
        return false;
    wchar_t name[16];
    buttonKeyName(button, name);
    wchar_t value[48];
    return getValue(program, name, value, 48) && parseKeys(value, modifiers, key);
}

bool CGlo_UserSettings::setButtonKeys(const wchar_t* program, int button, unsigned modifiers,
                                      unsigned key) {
    if (program == nullptr || program[0] == L'\0' || button < 0 || button >= MaxButtons)
        return false;
    wchar_t name[16];
    buttonKeyName(button, name);
    if (key == 0) {
        removeValue(program, name);
        return true;
    }
    wchar_t value[48];
    return formatKeys(modifiers & GLO_KeyAllModifiers, key, value, 48) &&
           setValue(program, name, value);
}

bool CGlo_UserSettings::save(GLO_SaveReport* report) {
    CGlo_ConfigPaths paths(nullptr, L"Settings");
    wchar_t path[CGlo_ConfigPaths::Capacity + 16];
    if (!settingsPath(path, sizeof(path) / sizeof(path[0]), paths)) {
        fillReport(report, GLO_SaveFailed, GLO_SaveNoFileName, 0, nullptr);
        return false;
    }
    std::string text;
    try {
        CReadLock lock;
        if (s_store.heldBack) {
            fillReport(report, GLO_SaveFailed, GLO_SaveHeldBack, 0, path);
            return false;
        }
        std::vector<glo_config::SettingsEntry> entries;
        for (const auto& program : s_store.programs)
            for (const auto& value : program.second)
                entries.push_back({program.first, value.first, value.second});
        text = glo_config::formatSettings(entries);
    } catch (...) {
        fillReport(report, GLO_SaveFailed, GLO_SaveCannotWrite, ERROR_NOT_ENOUGH_MEMORY, path);
        return false;
    }
    if (!paths.createUserFolder()) {
        fillReport(report, GLO_SaveFailed, GLO_SaveNoFolder, GetLastError(), paths.getUserFolder());
        return false;
    }
    glo_config::AtomicWriteFailure failure = {0, false};
    if (!glo_config::writeBytesAtomically(path, text, &failure)) {
        if (failure.temporaryFile && std::wcslen(path) + 4 < sizeof(path) / sizeof(path[0]))
            std::wcscat(path, L".tmp");
        fillReport(report, GLO_SaveFailed, GLO_SaveCannotWrite, failure.error, path);
        return false;
    }
    fillReport(report, GLO_SaveWritten, GLO_SaveNoFailure, 0, path);
    return true;
}

bool CGlo_UserSettings::getFileName(wchar_t* path, int capacity) {
    CGlo_ConfigPaths paths(nullptr, L"Settings");
    return capacity > 0 && settingsPath(path, static_cast<std::size_t>(capacity), paths);
}
