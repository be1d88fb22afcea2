// Starting programs: office programs are brought to the front when running, else started from
// their App Paths entry; the default mail and calendar clients from their registered command.
// Only a program given by its absolute path is started: a relative name would be looked for in
// the current directory (the host makes it the plug-in folder), and an unquoted path with blanks
// would try "C:\Program.exe" first.
#include "GloPlugin.h"

#include <cwchar>

#include "functions/GloHandles.h"
#include "functions/GloInput.h"
#include "log/GdrLog.h"

using glo_functions::actsOnce;
using glo_functions::CScopedHandle;
using glo_functions::CScopedKey;

namespace {

const wchar_t kAppPaths[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const wchar_t kOpenCommand[] = L"\\shell\\open\\command";
const size_t kKeyPathChars = 520;
const DWORD kAppPathBytes = 520;
const DWORD kValueBytes = 1040;
// Room for a value with its environment variables expanded.
const DWORD kExpandedChars = 2048;
const size_t kCommandLineChars = 2 * kExpandedChars + 128; // a quoted program and its arguments
const size_t kLogLineChars = 511;
const DWORD kCreationFlags =
    DETACHED_PROCESS | NORMAL_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP | CREATE_DEFAULT_ERROR_MODE;

// `first` then `second` into `path` (capacity kKeyPathChars); false when they do not fit: a key
// path cut short would name another key.
bool joinPath(wchar_t* path, const wchar_t* first, const wchar_t* second,
              const wchar_t* third = L"") {
    const size_t a = std::wcslen(first), b = std::wcslen(second), c = std::wcslen(third);
    if (a + b + c >= kKeyPathChars)
        return false;
    std::wmemcpy(path, first, a);
    std::wmemcpy(path + a, second, b);
    std::wmemcpy(path + a + b, third, c + 1);
    return true;
}

LONG readAppPath(const wchar_t* exeName, unsigned char* data, unsigned long* dataLen, DWORD* type) {
    if (dataLen == nullptr)
        return ERROR_INVALID_PARAMETER;
    wchar_t path[kKeyPathChars];
    if (exeName == nullptr || !joinPath(path, kAppPaths, exeName)) {
        *dataLen = 0;
        return ERROR_INVALID_PARAMETER;
    }
    CScopedKey key;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.receive());
    if (opened != ERROR_SUCCESS) {
        *dataLen = 0;
        return opened;
    }
    DWORD length = data != nullptr ? *dataLen : 0;
    const LONG read = RegQueryValueExW(key.get(), nullptr, nullptr, type, data, &length);
    *dataLen = length;
    return read;
}

// A string as stored in the registry, made usable: terminated within the buffer (a stored value
// need not end with its terminator; `text` has room for one more character after `bytes`), and
// with environment variables expanded where the value is of the expandable kind.
bool usableString(wchar_t* text, DWORD bytes, DWORD type, wchar_t* out) {
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return false;
    text[bytes / sizeof(wchar_t)] = L'\0';
    if (type == REG_EXPAND_SZ) {
        const DWORD length = ExpandEnvironmentStringsW(text, out, kExpandedChars);
        return length != 0 && length <= kExpandedChars;
    }
    const size_t length = std::wcslen(text);
    if (length >= kExpandedChars)
        return false;
    std::wmemcpy(out, text, length + 1);
    return true;
}

// The default value of HKEY `root`\`path` as a usable string (capacity kExpandedChars).
bool readDefaultString(HKEY root, const wchar_t* path, wchar_t* out) {
    CScopedKey key;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
        return false;
    wchar_t value[kValueBytes / sizeof(wchar_t) + 1];
    DWORD type = REG_NONE, length = kValueBytes;
    if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value),
                         &length) != ERROR_SUCCESS)
        return false;
    return usableString(value, length, type, out);
}

// Launches run on the worker, and the driver's log is written on the driver's thread only: what
// was not started goes to the debugger's output.
void logLaunch(const wchar_t* outcome, const wchar_t* what, const wchar_t* value) {
    wchar_t line[kLogLineChars + 1];
    gdrFormatLine(line, kLogLineChars, GDR_LOG_TAG L"%ls: %ls (%ls)\n", outcome, value, what);
    OutputDebugStringW(line);
}

// "X:\..." or "\\server\...".
bool isAbsolutePath(const wchar_t* path) {
    const wchar_t c = path[0];
    const bool letter = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
    return (letter && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
           (path[0] == L'\\' && path[1] == L'\\');
}

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

bool isFile(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Splits a registered command line into its program (into `program`, capacity kExpandedChars)
// and the arguments after it, which it returns. A quoted program ends at its closing quote. An
// unquoted one may hold blanks ("C:\Program Files\..."): it is the longest stretch before a
// blank, or the whole text, that names an existing file, so that a file planted at a shorter
// stretch ("C:\Program") is never taken first. When no stretch names one, null: starting the
// text up to the first blank would start what is not the registered program. A relative program
// ends at the first blank (and is refused by the caller).
const wchar_t* splitCommand(const wchar_t* command, wchar_t* program) {
    while (isBlank(*command))
        ++command;
    size_t end = 0;
    const wchar_t* arguments = nullptr;
    if (*command == L'"') {
        ++command;
        const wchar_t* close = std::wcschr(command, L'"');
        end = close != nullptr ? static_cast<size_t>(close - command) : std::wcslen(command);
        arguments = close != nullptr ? close + 1 : command + end;
    } else if (!isAbsolutePath(command)) {
        end = std::wcscspn(command, L" \t");
        arguments = command + end;
    } else {
        const size_t length = std::wcslen(command);
        const size_t first = std::wcscspn(command, L" \t");
        for (size_t candidate = length; candidate >= first && candidate > 0; --candidate) {
            if (candidate < length && !isBlank(command[candidate]))
                continue;
            std::wmemcpy(program, command, candidate);
            program[candidate] = L'\0';
            if (isFile(program)) {
                end = candidate;
                arguments = command + end;
                break;
            }
        }
        if (arguments == nullptr)
            return nullptr;
    }
    std::wmemcpy(program, command, end);
    program[end] = L'\0';
    return arguments;
}

// Starts `application` (an absolute path) with `arguments`; the program is quoted in the command
// line. The process runs on its own; its handles are not kept.
void launch(const wchar_t* application, const wchar_t* arguments, const wchar_t* what) {
    if (!isAbsolutePath(application)) {
        logLaunch(L"Not started, the program is not an absolute path", what, application);
        return;
    }
    wchar_t commandLine[kCommandLineChars + 1]; // CreateProcessW may write to it
    const bool spaced = arguments[0] != L'\0' && !isBlank(arguments[0]);
    gdrFormatLine(commandLine, kCommandLineChars, L"\"%ls\"%ls%ls", application,
                  spaced ? L" " : L"", arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(application, commandLine, nullptr, nullptr, FALSE, kCreationFlags, nullptr,
                        nullptr, &startup, &process)) {
        wchar_t outcome[64];
        gdrFormatLine(outcome, 63, L"Not started, error %d", static_cast<int>(GetLastError()));
        logLaunch(outcome, what, application);
        return;
    }
    const CScopedHandle processHandle(process.hProcess), threadHandle(process.hThread);
}

// `clientKey` below `root` names the client; its command is registered below HKLM `clients`.
void startClient(HKEY root, const wchar_t* clientKey, const wchar_t* clients) {
    wchar_t name[kExpandedChars];
    if (!readDefaultString(root, clientKey, name) || name[0] == L'\0')
        return;
    wchar_t path[kKeyPathChars];
    wchar_t command[kExpandedChars];
    if (!joinPath(path, clients, name, kOpenCommand) ||
        !readDefaultString(HKEY_LOCAL_MACHINE, path, command))
        return;
    // The arguments as registered, placeholders and all.
    wchar_t program[kExpandedChars];
    const wchar_t* arguments = splitCommand(command, program);
    if (arguments == nullptr) {
        logLaunch(L"Not started, no part of the command names an existing program", path, command);
        return;
    }
    launch(program, arguments, path);
}

} // namespace

LONG CGlo_Plugin::getAppPath(const wchar_t* exeName, unsigned char* data, unsigned long* dataLen) {
    DWORD type = REG_NONE;
    return readAppPath(exeName, data, dataLen, &type);
}

void CGlo_Plugin::startProgram(const CGlo_Event& event, const wchar_t* windowClass,
                               const wchar_t* exeName) {
    if (!actsOnce(event))
        return;
    if (const HWND running = FindWindowW(windowClass, nullptr)) {
        SetForegroundWindow(running);
        return;
    }
    wchar_t value[kAppPathBytes / sizeof(wchar_t) + 1];
    unsigned long length = kAppPathBytes;
    DWORD type = REG_NONE;
    wchar_t application[kExpandedChars];
    if (readAppPath(exeName, reinterpret_cast<unsigned char*>(value), &length, &type) !=
            ERROR_SUCCESS ||
        !usableString(value, length, type, application))
        return;
    // An application name is taken as it stands: quotes around the path are not part of it.
    const wchar_t* name = application;
    if (application[0] == L'"') {
        wchar_t* close = std::wcschr(application + 1, L'"');
        if (close != nullptr)
            *close = L'\0';
        ++name;
    }
    wchar_t what[kKeyPathChars];
    joinPath(what, kAppPaths, exeName);
    launch(name, L"", what);
}

void CGlo_Plugin::startWord(const CGlo_Event& event) {
    startProgram(event, L"OpusApp", L"winword.exe");
}

void CGlo_Plugin::startExcel(const CGlo_Event& event) {
    startProgram(event, L"XLMAIN", L"excel.exe");
}

void CGlo_Plugin::startCalculator(const CGlo_Event& event) {
    startProgram(event, L"SciCalc", L"calc.exe");
}

void CGlo_Plugin::startExplorer(const CGlo_Event& event) {
    startProgram(event, L"ExploreWClass", L"explorer.exe");
}

void CGlo_Plugin::startPowerpoint(const CGlo_Event& event) {
    startProgram(event, L"PP9FrameClass", L"powerpnt.exe");
}

void CGlo_Plugin::startOutlook(const CGlo_Event& event) {
    startProgram(event, L"rctrl_renwnd32", L"outlook.exe");
}

void CGlo_Plugin::startMail(const CGlo_Event& event) {
    if (actsOnce(event))
        startClient(HKEY_CURRENT_USER, L"Software\\Clients\\Mail", L"SOFTWARE\\Clients\\Mail\\");
}

void CGlo_Plugin::startCalendar(const CGlo_Event& event) {
    if (actsOnce(event))
        startClient(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Clients\\Calendar",
                    L"SOFTWARE\\Clients\\Calendar\\");
}
