// glo_driver's plug-in probe: loads the plug-ins of a folder as the core does, in a process of
// its own (a plug-in that crashes or hangs takes only the probe with it), and answers over two
// pipes what the core would: each library loaded or why not, each plug-in's score for a window,
// and the function a plug-in's setups choose for an event. Protocol: ProbeClient.h.
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "CompareHooks.h"
#include "GloApplication.h"
#include "GloEvent.h"
#include "GloEventMultiplexer.h"
#include "GloPluginFunction.h"
#include "Utf8.h"
#include "WindowClasses.h"

namespace {

typedef CGlo_Application* (*LoadProc)(HINSTANCE);
typedef void (*UnloadProc)();

using driver::utf8;

HANDLE s_out = nullptr;

// One answer line; the reader sees it before the next call into a plug-in, which may crash.
void say(const std::string& line) {
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(s_out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool hear(HANDLE in, std::string& line) {
    line.clear();
    char c;
    DWORD read = 0;
    while (ReadFile(in, &c, 1, &read, nullptr) && read == 1) {
        if (c == '\n')
            return true;
        line += c;
    }
    return false;
}

struct Plugin {
    std::wstring file;
    HMODULE module = nullptr;
    UnloadProc unload = nullptr;
    CGlo_Application* application = nullptr;
    bool asked = true; // false: crashed in match before, the core asks it no more
};

// What the file is when the system refuses to load it.
std::string whyNotLoaded(const std::wstring& path, DWORD error) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    unsigned char head[4096] = {};
    DWORD got = 0;
    if (file != INVALID_HANDLE_VALUE) {
        ReadFile(file, head, sizeof head, &got, nullptr);
        CloseHandle(file);
    }
    std::uint32_t pe = 0;
    if (got >= 64 && head[0] == 'M' && head[1] == 'Z')
        std::memcpy(&pe, head + 60, 4);
    if (pe == 0 || pe + 24 > got || std::memcmp(head + pe, "PE\0\0", 4) != 0)
        return "not a Windows library (no executable header)";
    std::uint16_t machine = 0, characteristics = 0;
    std::memcpy(&machine, head + pe + 4, 2);
    std::memcpy(&characteristics, head + pe + 22, 2);
#if defined(_WIN64)
    const std::uint16_t ours = 0x8664;
#else
    const std::uint16_t ours = 0x14c;
#endif
    if (machine != ours)
        return machine == 0x14c    ? "built for 32-bit Windows (i686); this core is 64-bit"
               : machine == 0x8664 ? "built for 64-bit Windows (x86_64); this core is 32-bit"
                                   : "built for another processor";
    if (!(characteristics & 0x2000))
        return "a program, not a library";
    char text[64];
    if (error == ERROR_MOD_NOT_FOUND)
        return "a library it needs cannot be found (error 126): link with -static, and put "
               "any other library it needs beside it";
    if (error == ERROR_PROC_NOT_FOUND)
        return "it imports a function this core does not export (error 127): built against "
               "another version of the SDK?";
    if (error == ERROR_DLL_INIT_FAILED)
        return "its DllMain failed (error 1114)";
    std::snprintf(text, sizeof text, "the system cannot load it (error %lu)",
                  static_cast<unsigned long>(error));
    return text;
}

// Exported names that contain "load", for a hint when "load" or "unload" is missing.
std::string similarExports(HMODULE module) {
    auto* base = reinterpret_cast<const BYTE*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dir.VirtualAddress == 0)
        return "";
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::string found;
    for (DWORD i = 0; i < exports->NumberOfNames && found.size() < 200; ++i) {
        const char* name = reinterpret_cast<const char*>(base + names[i]);
        if (std::strstr(name, "load") && std::strcmp(name, "load") != 0 &&
            std::strcmp(name, "unload") != 0)
            found += std::string(found.empty() ? "" : ", ") + "\"" + name + "\"";
    }
    return found;
}

// Loads one library exactly as the core does; a plug-in when it has both exports. Each stage is
// announced before it runs: a library whose DllMain or global constructor hangs or ends the
// process is named all the same.
void loadPlugin(const std::wstring& folder, int index, Plugin& plugin) {
    const std::wstring path = folder + L"\\" + plugin.file;
    const std::string at = std::to_string(index) + " ";
    say("loading " + at);
    HMODULE module = LoadLibraryExW(
        path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
        module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) {
        say("skip " + at + whyNotLoaded(path, GetLastError()));
        return;
    }
    FARPROC load = GetProcAddress(module, "load");
    FARPROC unload = GetProcAddress(module, "unload");
    if (!load || !unload) {
        std::string why = !load && !unload ? "exports neither \"load\" nor \"unload\""
                          : !load          ? "exports \"unload\" but no \"load\""
                                           : "exports \"load\" but no \"unload\"";
        const std::string similar = similarExports(module);
        if (!similar.empty())
            why += " (it exports " + similar + ": declare both extern \"C\", without WINAPI)";
        FreeLibrary(module);
        say("skip " + at + why);
        return;
    }
    say("calling " + at);
    CGlo_Application* application = nullptr;
    try {
        application = reinterpret_cast<LoadProc>(reinterpret_cast<void*>(load))(module);
    } catch (...) {
        say("threw " + at);
        ExitProcess(0xE06D7363); // as a crash: the core would not have it either
    }
    plugin.module = module;
    plugin.unload = reinterpret_cast<UnloadProc>(reinterpret_cast<void*>(unload));
    plugin.application = application;
    if (!application) {
        say("noapp " + at);
        return;
    }
    probe::hookComparisons(module);
    say("plugin " + at + std::to_string(application->getNumberOfFunctions()) + " " +
        utf8(application->getName()));
}

// The libraries of the folder in the order the file system lists them, as the core finds them.
std::vector<std::wstring> libraries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*.dll").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const size_t length = std::wcslen(found.cFileName);
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && length > 4 &&
            _wcsicmp(found.cFileName + length - 4, L".dll") == 0)
            names.push_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
}

LONG WINAPI endAtOnce(EXCEPTION_POINTERS* pointers) {
    // A fault would start the debugger and keep the process; its code tells the driver what.
    ExitProcess(pointers && pointers->ExceptionRecord ? pointers->ExceptionRecord->ExceptionCode
                                                      : 1);
}

// Handles of an inherited pipe, written as hexadecimal numbers.
HANDLE handleArgument(const wchar_t* text) {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::wcstoull(text, nullptr, 16)));
}

// The small-movement filter of the worker: a motion shorter than 5 is rest.
void filterSmallMovements(CGlo_Event& event) {
    if (event.getEventType() != GLO_MotionEvent)
        return;
    double sum = 0;
    for (int i = 0; i < 6; ++i)
        sum += double(event.getAxis(i)) * event.getAxis(i);
    if (sum < 25.0)
        event.zeroEventData();
}

// "LinePan (Line Scroll Window)": the function's name and, where it has one, the dialog's text.
std::string shownName(CGlo_PluginFunction& function) {
    wchar_t text[128] = L"";
    function.getFunctionCbDescription(text, sizeof(text));
    std::string shown = utf8(function.getName());
    if (text[0] != L'\0' && std::wcscmp(text, function.getName()) != 0)
        shown += " (" + utf8(text) + ")";
    return shown;
}

// The setup's number of axes, which it has no getter for (read through a member pointer).
struct SetupFields : CGlo_FunctionSetup {
    static int axesOf(const CGlo_FunctionSetup& s) { return s.*(&SetupFields::numberOfAxes); }
};

// How far `raw` goes along the setup's directions, in the event's units: the length of the
// device values it feeds its function axes with; for a one-directional setup only a deflection
// its way counts.
int lengthAlong(const CGlo_FunctionSetup& setup, const CGlo_Event& raw) {
    const int axes = SetupFields::axesOf(setup);
    if (axes <= 0) {
        const int value = raw.getAxis(setup.getAxis(0));
        return value * setup.getPolarity(0) > 0 ? (value < 0 ? -value : value) : 0;
    }
    double sum = 0;
    for (int i = 0; i < axes && i < 6; ++i)
        sum += double(raw.getAxis(setup.getAxis(i))) * raw.getAxis(setup.getAxis(i));
    return static_cast<int>(std::sqrt(sum));
}

// The smallest push, from rest and along the setup's first direction, at which the setup alone
// chooses its function: where it starts beyond its dead zone (the mark in the dialog's cell).
// -1 when no push up to the device's largest does.
int startLength(CGlo_FunctionSetup setup, CGlo_PluginFunction function) {
    const int axis = setup.getAxis(0), sign = setup.getPolarity(0) < 0 ? -1 : 1;
    if (axis < 0 || axis > 5)
        return -1;
    auto starts = [&](int length) {
        CGlo_EventMultiplexer alone;
        alone.addConnection(setup, &function);
        int values[6] = {0, 0, 0, 0, 0, 0};
        values[axis] = sign * length;
        CGlo_Event push(values[0], values[1], values[2], values[3], values[4], values[5], -1, 0);
        return alone.getFunction(push) != nullptr;
    };
    int below = 0, from = 2000;
    if (!starts(from))
        return -1;
    while (from - below > 1) {
        const int middle = (below + from) / 2;
        (starts(middle) ? from : below) = middle;
    }
    return from;
}

// What the setups made of a motion: for the function chosen, or else for the setup nearest to
// choosing one, the length along the setup's directions (what its dead zone is compared with),
// the dead zone and the length from which it starts ("none": no push along it starts it).
std::string motionDetail(CGlo_EventMultiplexer& multiplexer, CGlo_Event& raw,
                         CGlo_PluginFunction* chosen) {
    int best = -1, bestLength = 0, bestZone = 0, bestStart = 0, bestRank = 0;
    for (int i = 0; i < multiplexer.getNumberOfConnections(); ++i) {
        CGlo_FunctionSetup* setup = multiplexer.getFunctionSetup(i);
        CGlo_PluginFunction* function = multiplexer.getConnectionFunction(i);
        if (setup == nullptr || function == nullptr || setup->isButton() ||
            setup->getEventType() != GLO_MotionEvent)
            continue;
        if (chosen != nullptr && function != chosen)
            continue;
        CGlo_EventConnection connection(*setup);
        connection.setEventData(raw);
        const int length = lengthAlong(*setup, raw);
        const int start = startLength(*setup, *function);
        // The chosen function's strongest setup; otherwise the one closest to its start.
        const int rank = chosen != nullptr ? connection.getVectorLength()
                         : start >= 0      ? length - start
                                           : length - 100000;
        if (best < 0 || rank > bestRank) {
            best = i;
            bestLength = length;
            bestZone = setup->getThreshold();
            bestStart = start;
            bestRank = rank;
        }
    }
    if (best < 0)
        return chosen != nullptr ? shownName(*chosen) : "no function runs; no setup takes a motion";
    CGlo_PluginFunction& function = *multiplexer.getConnectionFunction(best);
    const std::string figures =
        "len=" + std::to_string(bestLength) + " zone=" + std::to_string(bestZone) +
        " start=" + (bestStart >= 0 ? std::to_string(bestStart) : std::string("none"));
    if (chosen != nullptr)
        return shownName(function) + ", " + figures;
    std::string text = "no function runs; nearest " + shownName(function) + ": " + figures;
    if (bestStart >= 0 && bestLength >= bestStart)
        text += function.getFunctionType() == GLO_TriggerFunction
                    ? " (a one-shot runs once per push, again after the cap came back)"
                    : " (held back: the motion is not mainly along this setup, or another setup "
                      "is about as strong)";
    return text;
}

void answer(std::vector<Plugin>& plugins, const std::string& line) {
    char command[16] = "";
    if (std::sscanf(line.c_str(), "%15s", command) != 1)
        return;
    if (std::strcmp(command, "match") == 0) {
        const HWND window = reinterpret_cast<HWND>(
            static_cast<std::uintptr_t>(std::strtoull(line.c_str() + 6, nullptr, 16)));
        const std::vector<std::wstring> classes = classesAbove(window);
        for (size_t i = 0; i < plugins.size(); ++i) {
            if (!plugins[i].application || !plugins[i].asked)
                continue;
            say("matching " + std::to_string(i));
            int score = 0;
            probe::startRecording(classes);
            try {
                score = plugins[i].application->match(window);
            } catch (...) {
                say("threw " + std::to_string(i));
                ExitProcess(0xE06D7363);
            }
            const std::vector<std::wstring> compared = probe::stopRecording();
            say("score " + std::to_string(i) + " " + std::to_string(score));
            for (const std::wstring& text : compared)
                say("compared " + std::to_string(i) + " " + utf8(text));
        }
        say("done");
    } else if (std::strcmp(command, "event") == 0) {
        int index = -1, v[6] = {}, button = -1, state = 0;
        const int n = std::sscanf(line.c_str() + 6, "%d %d %d %d %d %d %d %d %d", &index, &v[0],
                                  &v[1], &v[2], &v[3], &v[4], &v[5], &button, &state);
        CGlo_PluginFunction* function = nullptr;
        CGlo_Event event(v[0], v[1], v[2], v[3], v[4], v[5], button, state);
        filterSmallMovements(event);
        std::string detail;
        if (n == 9 && index >= 0 && size_t(index) < plugins.size() && plugins[index].application) {
            CGlo_EventMultiplexer& multiplexer = plugins[index].application->getMultiplexer();
            CGlo_Event raw = event;
            try {
                function = multiplexer.getFunction(event);
                if (raw.getEventType() == GLO_MotionEvent)
                    detail = motionDetail(multiplexer, raw, function);
                else if (function != nullptr)
                    detail = shownName(*function);
            } catch (...) {
                function = nullptr;
            }
        }
        say("function " + std::to_string(int(event.getEventType())) + " " +
            (function ? utf8(function->getName()) : std::string("-")) + "\t" + detail);
    }
}

} // namespace

// glo_plugin_probe --in H --out H [--skip N]... [--unasked N]... FOLDER
int wmain(int argc, wchar_t** argv) {
    SetUnhandledExceptionFilter(endAtOnce);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    HANDLE in = nullptr;
    std::set<int> skip, unasked;
    std::wstring folder;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool valued = i + 1 < argc;
        if (arg == L"--in" && valued)
            in = handleArgument(argv[++i]);
        else if (arg == L"--out" && valued)
            s_out = handleArgument(argv[++i]);
        else if (arg == L"--skip" && valued)
            skip.insert(static_cast<int>(std::wcstol(argv[++i], nullptr, 10)));
        else if (arg == L"--unasked" && valued)
            unasked.insert(static_cast<int>(std::wcstol(argv[++i], nullptr, 10)));
        else
            folder = arg;
    }
    if (!in || !s_out || folder.empty()) {
        std::fputs("glo_plugin_probe: started by glo_driver only\n", stderr);
        return 2;
    }
    std::vector<Plugin> plugins;
    for (const std::wstring& name : libraries(folder)) {
        plugins.emplace_back();
        plugins.back().file = name;
    }
    // All names first: the driver knows every file even if the first "load" crashes.
    for (size_t i = 0; i < plugins.size(); ++i)
        say("file " + std::to_string(i) + " " + utf8(plugins[i].file));
    for (size_t i = 0; i < plugins.size(); ++i) {
        plugins[i].asked = unasked.count(int(i)) == 0;
        if (skip.count(int(i)) == 0)
            loadPlugin(folder, int(i), plugins[i]);
    }
    say("ready");
    std::string line;
    while (hear(in, line) && line != "quit")
        answer(plugins, line);
    // As the core unloads: every application first, in table order.
    for (Plugin& plugin : plugins) {
        if (plugin.application)
            plugin.unload();
        if (plugin.module)
            FreeLibrary(plugin.module);
    }
    say("bye");
    return 0;
}
