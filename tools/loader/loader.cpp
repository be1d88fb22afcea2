// Loads the core library the way the driver does and shows what it offers:
// the text of ZuVidGetInfo and the library's export table.
#include <windows.h>

#include <cstdio>

namespace {

// Walks the export directory of a loaded module.
void printExports(HMODULE module) {
    auto* base = reinterpret_cast<const BYTE*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dir.VirtualAddress == 0) {
        std::printf("no exports\n");
        return;
    }
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    DWORD plain = 0;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        const char* name = reinterpret_cast<const char*>(base + names[i]);
        if (name[0] == '_' && name[1] == 'Z')
            continue; // the C++ plug-in interface; counted below
        std::printf("  %s\n", name);
        ++plain;
    }
    std::printf("%lu entry points, %lu symbols of the plug-in interface\n",
                static_cast<unsigned long>(plain),
                static_cast<unsigned long>(exports->NumberOfNames - plain));
}

} // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "Glo_core_proxy.dll";
    wchar_t widePath[MAX_PATH];
    MultiByteToWideChar(CP_UTF8, 0, path, -1, widePath, MAX_PATH);
    HMODULE module = LoadLibraryW(widePath);
    if (!module) {
        std::fprintf(stderr, "cannot load %s (error %lu)\n", path, GetLastError());
        return 1;
    }
    using GetInfo = void(WINAPI*)(const wchar_t**);
    auto getInfo =
        reinterpret_cast<GetInfo>(reinterpret_cast<void*>(GetProcAddress(module, "ZuVidGetInfo")));
    if (!getInfo) {
        std::fprintf(stderr, "%s has no ZuVidGetInfo\n", path);
        FreeLibrary(module);
        return 1;
    }
    const wchar_t* info = nullptr;
    getInfo(&info);
    std::printf("ZuVidGetInfo: %ls\n", info ? info : L"(null)");
    std::printf("exports of %s:\n", path);
    printExports(module);
    FreeLibrary(module);
    return 0;
}
