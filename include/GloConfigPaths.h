// Where a plug-in keeps its configuration file.
//
// A plug-in installed under "Program Files" cannot write beside its library: a standard user has
// no right to, and an upgrade or uninstall would take the file away. So each user has a file of
// his own, and the file beside the library is the shipped default:
//
//   user file     %APPDATA%\Glidora\<application name>.cfg   read first, written on every save
//   default file  <folder of the plug-in library>\<application name>.cfg
//                 read when the user has no file (or an unreadable one), never written
//
// The recommended pattern (the shipped plug-ins follow it, docs/plugin-sdk.md):
//   - read the user file when it exists, else the default file, else the built-in setups;
//   - a user file of which nothing can be read is renamed aside (setUserFileAside), never
//     deleted, the default is used and the driver's log says so;
//   - every save goes to the user file (createUserFolder first), never to the default file.
//
// Header-only and independent of the rest of the SDK.
#pragma once

#include <windows.h>

#include <cwchar>

// The two files of one application. Paths are empty when they cannot be formed (no user
// folder known, a path longer than a configuration file name may be). They are given as they
// are, in whatever script: the core opens configuration files by their wide names.
class CGlo_ConfigPaths {
public:
    // Room for a configuration file name of CGlo_Application (255 characters and terminator).
    enum { Capacity = 256 };

    // The files of the application `name` served by the library `module`. The user folder is
    // the environment's APPDATA, else the shell's application-data folder of the user.
    CGlo_ConfigPaths(HINSTANCE module, const wchar_t* name) {
        userFolder[0] = userFile[0] = defaultFile[0] = L'\0';
        if (name == nullptr || name[0] == L'\0')
            return;
        wchar_t folder[MAX_PATH];
        if (libraryFolder(module, folder))
            joinFile(defaultFile, folder, name);
        if (!appDataFolder(folder))
            return;
        const int n = std::swprintf(userFolder, Capacity, L"%ls\\Glidora", folder);
        if (n <= 0 || n >= Capacity || !joinFile(userFile, userFolder, name))
            userFolder[0] = L'\0';
    }

    const wchar_t* getUserFile() const { return userFile; }
    const wchar_t* getDefaultFile() const { return defaultFile; }
    // The folder of the user file, "%APPDATA%\Glidora".
    const wchar_t* getUserFolder() const { return userFolder; }

    // Creates the user folder when it is missing; true when it exists. Otherwise the system's
    // last error says why it could not be made.
    bool createUserFolder() const {
        if (userFolder[0] == L'\0') {
            SetLastError(ERROR_BAD_PATHNAME);
            return false;
        }
        const DWORD error = CreateDirectoryW(userFolder, nullptr) ? 0 : GetLastError();
        const DWORD attributes = GetFileAttributesW(userFolder);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return true;
        SetLastError(error != 0 ? error : ERROR_DIRECTORY);
        return false;
    }

    // Renames the user file to "<user file>.unreadable" (or ".unreadable.2" up to ".99" when
    // that name is taken), so that nothing of it is lost and the next save starts afresh. The
    // new name goes to `aside` (capacity in characters, "" on failure). True when renamed.
    bool setUserFileAside(wchar_t* aside, size_t capacity) const {
        if (aside == nullptr || capacity == 0)
            return false;
        aside[0] = L'\0';
        if (userFile[0] == L'\0')
            return false;
        wchar_t candidate[Capacity + 16];
        for (int n = 1; n < 100; ++n) {
            if (n == 1)
                std::swprintf(candidate, Capacity + 16, L"%ls.unreadable", userFile);
            else
                std::swprintf(candidate, Capacity + 16, L"%ls.unreadable.%d", userFile, n);
            if (MoveFileExW(userFile, candidate, MOVEFILE_WRITE_THROUGH)) {
                if (std::wcslen(candidate) < capacity)
                    std::wcscpy(aside, candidate);
                return true;
            }
            if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
                return false;
        }
        return false;
    }

    // True when `path` names an existing file (not a folder).
    static bool fileExists(const wchar_t* path) {
        if (path == nullptr || path[0] == L'\0')
            return false;
        const DWORD attributes = GetFileAttributesW(path);
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

private:
    static bool libraryFolder(HINSTANCE module, wchar_t (&folder)[MAX_PATH]) {
        const DWORD length = GetModuleFileNameW(module, folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return false;
        wchar_t* slash = std::wcsrchr(folder, L'\\');
        if (slash == nullptr)
            return false;
        *slash = L'\0';
        return true;
    }

    static bool appDataFolder(wchar_t (&folder)[MAX_PATH]) {
        const DWORD length = GetEnvironmentVariableW(L"APPDATA", folder, MAX_PATH);
        if (length > 0 && length < MAX_PATH && folder[0] != L'\0')
            return true;
        // CSIDL_APPDATA, without the shell's headers.
        typedef HRESULT(WINAPI * FolderPathProc)(HWND, int, HANDLE, DWORD, wchar_t*);
        HMODULE shell = LoadLibraryW(L"shell32.dll");
        if (shell == nullptr)
            return false;
        const FolderPathProc folderPath = reinterpret_cast<FolderPathProc>(
            reinterpret_cast<void (*)()>(GetProcAddress(shell, "SHGetFolderPathW")));
        const bool found = folderPath != nullptr &&
                           folderPath(nullptr, 0x001a, nullptr, 0, folder) == S_OK &&
                           folder[0] != L'\0';
        FreeLibrary(shell);
        return found;
    }

    // "<folder>\<name>.cfg" into `file`; false (and "") when it does not fit.
    static bool joinFile(wchar_t (&file)[Capacity], const wchar_t* folder, const wchar_t* name) {
        const int n = std::swprintf(file, Capacity, L"%ls\\%ls.cfg", folder, name);
        if (n <= 0 || n >= Capacity) {
            file[0] = L'\0';
            return false;
        }
        return true;
    }

    wchar_t userFolder[Capacity];
    wchar_t userFile[Capacity];
    wchar_t defaultFile[Capacity];
};
