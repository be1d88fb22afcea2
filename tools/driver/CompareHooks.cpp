#include "CompareHooks.h"

#include <atomic>
#include <cstring>
#include <cwchar>

namespace probe {

namespace {

// The plug-in's own threads compare too, through the same imports: only the recording thread's
// comparisons are noted, and only it touches the lists.
struct Recording {
    std::atomic<DWORD> thread{0};
    std::vector<std::wstring> classes;
    std::vector<std::wstring> seen;
} s_recording;

const size_t kMaxSeen = 32;
const size_t kMaxChars = 255;

bool isClass(const wchar_t* text, bool ignoreCase) {
    for (const std::wstring& name : s_recording.classes)
        if ((ignoreCase ? _wcsicmp(text, name.c_str()) : std::wcscmp(text, name.c_str())) == 0)
            return true;
    return false;
}

void keep(const wchar_t* text) {
    if (text == nullptr || text[0] == L'\0' || std::wcslen(text) > kMaxChars ||
        s_recording.seen.size() >= kMaxSeen)
        return;
    for (const std::wstring& known : s_recording.seen)
        if (known == text)
            return;
    s_recording.seen.push_back(text);
}

bool recording() {
    return s_recording.thread == GetCurrentThreadId();
}

// A comparison of `a` with `b`: the side that is not one of the classes is what was looked for.
// A class the plug-in turned to lower or upper case first still counts as the class.
void note(const wchar_t* a, const wchar_t* b) {
    if (!recording() || a == nullptr || b == nullptr)
        return;
    for (bool ignoreCase : {false, true}) {
        if (isClass(a, ignoreCase)) {
            keep(b);
            break;
        }
        if (isClass(b, ignoreCase)) {
            keep(a);
            break;
        }
    }
}

typedef int(__cdecl* Compare)(const wchar_t*, const wchar_t*);
typedef int(__cdecl* CompareN)(const wchar_t*, const wchar_t*, size_t);
typedef const wchar_t*(__cdecl* Find)(const wchar_t*, const wchar_t*);
typedef int(WINAPI* SystemCompare)(LPCWSTR, LPCWSTR);

Compare s_wcscmp = nullptr, s_wcsicmp = nullptr;
CompareN s_wcsncmp = nullptr, s_wcsnicmp = nullptr;
Find s_wcsstr = nullptr;
SystemCompare s_lstrcmpW = nullptr, s_lstrcmpiW = nullptr;

int __cdecl recordWcscmp(const wchar_t* a, const wchar_t* b) {
    note(a, b);
    return s_wcscmp(a, b);
}
int __cdecl recordWcsicmp(const wchar_t* a, const wchar_t* b) {
    note(a, b);
    return s_wcsicmp(a, b);
}
int __cdecl recordWcsncmp(const wchar_t* a, const wchar_t* b, size_t n) {
    note(a, b);
    return s_wcsncmp(a, b, n);
}
int __cdecl recordWcsnicmp(const wchar_t* a, const wchar_t* b, size_t n) {
    note(a, b);
    return s_wcsnicmp(a, b, n);
}
const wchar_t* __cdecl recordWcsstr(const wchar_t* text, const wchar_t* part) {
    note(text, part);
    return s_wcsstr(text, part);
}
int WINAPI recordLstrcmpW(LPCWSTR a, LPCWSTR b) {
    note(a, b);
    return s_lstrcmpW(a, b);
}
int WINAPI recordLstrcmpiW(LPCWSTR a, LPCWSTR b) {
    note(a, b);
    return s_lstrcmpiW(a, b);
}

// CGloHWND::IsWindowClass(part) of the core: a test whether the window's class contains `part`.
#if defined(_WIN64)
#define GLO_MEMBER
#else
#define GLO_MEMBER __attribute__((thiscall))
#endif
typedef bool(GLO_MEMBER* ClassTest)(const void* window, const wchar_t* part);
ClassTest s_isWindowClass = nullptr;
bool GLO_MEMBER recordIsWindowClass(const void* window, const wchar_t* part) {
    if (recording())
        keep(part);
    return s_isWindowClass(window, part);
}

struct Hook {
    const char* name;
    void** original;
    void* recorder;
};

template <class F> void** slot(F& f) {
    return reinterpret_cast<void**>(&f);
}
template <class F> void* address(F f) {
    return reinterpret_cast<void*>(f);
}

const Hook kHooks[] = {
    {"wcscmp", slot(s_wcscmp), address(&recordWcscmp)},
    {"_wcsicmp", slot(s_wcsicmp), address(&recordWcsicmp)},
    {"wcsncmp", slot(s_wcsncmp), address(&recordWcsncmp)},
    {"_wcsnicmp", slot(s_wcsnicmp), address(&recordWcsnicmp)},
    {"wcsstr", slot(s_wcsstr), address(&recordWcsstr)},
    {"lstrcmpW", slot(s_lstrcmpW), address(&recordLstrcmpW)},
    {"lstrcmpiW", slot(s_lstrcmpiW), address(&recordLstrcmpiW)},
    {"_ZNK8CGloHWND13IsWindowClassEPKw", slot(s_isWindowClass), address(&recordIsWindowClass)},
};

void patch(void** entry, void* value) {
    DWORD old = 0;
    if (VirtualProtect(entry, sizeof(void*), PAGE_READWRITE, &old)) {
        *entry = value;
        VirtualProtect(entry, sizeof(void*), old, &old);
    }
}

} // namespace

void hookComparisons(HMODULE plugin) {
    auto* base = reinterpret_cast<BYTE*>(plugin);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0)
        return;
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         import->Name != 0; ++import) {
        if (import->OriginalFirstThunk == 0)
            continue; // names not kept: nothing to recognise
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* entries = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++entries) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const char* name = reinterpret_cast<const char*>(
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            for (const Hook& hook : kHooks) {
                if (std::strcmp(name, hook.name) != 0)
                    continue;
                void** entry = reinterpret_cast<void**>(&entries->u1.Function);
                // One original per name: a library that imports it from elsewhere stays as is.
                if (*hook.original == nullptr)
                    *hook.original = *entry;
                if (*entry == *hook.original)
                    patch(entry, hook.recorder);
                break;
            }
        }
    }
}

void startRecording(const std::vector<std::wstring>& classes) {
    s_recording.classes = classes;
    s_recording.seen.clear();
    s_recording.thread = GetCurrentThreadId();
}

std::vector<std::wstring> stopRecording() {
    s_recording.thread = 0;
    return s_recording.seen;
}

} // namespace probe
