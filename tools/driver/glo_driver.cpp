// A substitute device driver: loads the proxy library, hands it a callback
// table, replays a device trace through ZuVidSendEvent with real timing and
// closes the proxy again. With --config it opens the core's configuration dialog on a window of
// its own first and keeps running until the dialog is closed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "TraceParser.h"
#include "ZuVidDriver.h"

namespace {

struct Options {
    std::wstring dll = L"Glo_core_proxy.dll";
    std::string tracePath;
    std::string logPath;
    std::uint32_t driverId = 1;
    std::int32_t deviceType = 21;
    std::wstring deviceName = L"USB 3D Input Device";
    std::int32_t version[3] = {4, 0, 6};
    std::int32_t registerStatus = 0;
    double speed = 1.0;
    bool terminate = false; // ZuVidTerm instead of ZuVidCloseHdl
    bool targetForeground = true;
    bool ownWindow = false; // a window of its own stands in for the user's application
    bool config = false;    // open the configuration dialog
    long closeAfterMs = -1; // with --config: cancel the dialog this long after the trace
};

// The core's function that opens the configuration dialog. It is part of the C++ interface, not
// of the driver's entry points, so it is found by its C++ name.
const char kCreateConfigDialog[] = "_Z18createConfigDialogP6HWND__";
typedef int (*CreateConfigDialogProc)(HWND parent);

Options g_options;
FILE* g_log = stdout;
HWND g_coreWindow = nullptr;

std::wstring widen(const char* text) {
    int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1)
        MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], n);
    return out;
}

std::string narrow(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    return out;
}

void note(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::fputs("glo_driver: ", g_log);
    std::vfprintf(g_log, format, args);
    std::fputc('\n', g_log);
    std::fflush(g_log);
    va_end(args);
}

// The callbacks the proxy calls.

void WINAPI logCallback(const wchar_t* text) {
    if (!text)
        return;
    std::fputs(narrow(text).c_str(), g_log);
    std::fflush(g_log);
}

std::int32_t WINAPI registerWindowCallback(std::uint32_t id, const wchar_t* module, HWND window,
                                           std::int32_t* status) {
    note("registerWindow(id %u, %s, 0x%llx) -> status %d", id,
         narrow(module ? module : L"").c_str(),
         static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)),
         g_options.registerStatus);
    if (status)
        *status = g_options.registerStatus;
    if (g_options.registerStatus == 0 && !g_coreWindow)
        g_coreWindow = window;
    return 0;
}

std::int32_t WINAPI getDeviceInfoCallback(HWND, ZuVidDeviceInfo* info) {
    if (!info)
        return 1;
    info->deviceType = g_options.deviceType;
    return 0;
}

std::int32_t WINAPI getDeviceNameCallback(HWND, wchar_t* buffer, std::int32_t capacity) {
    if (!buffer || capacity <= 0)
        return 1;
    wcsncpy(buffer, g_options.deviceName.c_str(), capacity - 1);
    buffer[capacity - 1] = L'\0';
    return 0;
}

std::int32_t WINAPI getVersionCallback(ZuVidVersionInfo* info) {
    if (!info)
        return 1;
    info->major = g_options.version[0];
    info->minor = g_options.version[1];
    info->build = g_options.version[2];
    return 0;
}

// Handles the core window's messages (it lives on this thread) until `until`.
void pumpUntil(LARGE_INTEGER until, LARGE_INTEGER frequency) {
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        if (now.QuadPart >= until.QuadPart)
            return;
        const DWORD ms =
            static_cast<DWORD>((until.QuadPart - now.QuadPart) * 1000 / frequency.QuadPart);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
    }
}

// A visible top-level window, brought to the foreground with the cursor on it, so that the
// proxy's window matching has something to find while the trace plays.
HWND createTargetWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"GloDriverTarget";
    RegisterClassW(&wc);
    HWND window =
        CreateWindowExW(0, wc.lpszClassName, L"glo_driver target", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                        100, 100, 500, 350, nullptr, nullptr, wc.hInstance, nullptr);
    if (!window)
        return nullptr;
    SetForegroundWindow(window);
    RECT r;
    GetWindowRect(window, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    return window;
}

bool readFile(const std::string& path, std::string& text) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
        text.append(buffer, n);
    std::fclose(file);
    return true;
}

void usage() {
    std::fputs("usage: glo_driver [options] TRACE\n"
               "       glo_driver --config [options] [TRACE]\n"
               "  --dll PATH           proxy library (default Glo_core_proxy.dll)\n"
               "  --log FILE           write the proxy's log there instead of standard output\n"
               "  --driver-id N        first argument of ZuVidInit (default 1)\n"
               "  --device-type N      device-type code (default 21)\n"
               "  --device-name TEXT   device name (default \"USB 3D Input Device\")\n"
               "  --version A.B.C      driver version (default 4.0.6)\n"
               "  --refuse             refuse the proxy's window registration\n"
               "  --speed F            replay F times faster (default 1)\n"
               "  --term               end with ZuVidTerm instead of ZuVidCloseHdl\n"
               "  --no-target          hand no window to ZuVidSendEvent (default: foreground)\n"
               "  --window             create a window of its own, in the foreground under the\n"
               "                       cursor, for the plug-ins to serve\n"
               "  --config             open the configuration dialog on that window, replay the\n"
               "                       trace (if any) as live motion, run until it is closed\n"
               "  --close-after MS     with --config: cancel the dialog MS after the trace\n",
               stderr);
}

bool parseArguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (arg == "--dll" && (v = value())) {
            g_options.dll = widen(v);
        } else if (arg == "--log" && (v = value())) {
            g_options.logPath = v;
        } else if (arg == "--driver-id" && (v = value())) {
            g_options.driverId = static_cast<std::uint32_t>(std::strtoul(v, nullptr, 0));
        } else if (arg == "--device-type" && (v = value())) {
            g_options.deviceType = static_cast<std::int32_t>(std::strtol(v, nullptr, 0));
        } else if (arg == "--device-name" && (v = value())) {
            g_options.deviceName = widen(v);
        } else if (arg == "--version" && (v = value())) {
            int a, b, c;
            if (std::sscanf(v, "%d.%d.%d", &a, &b, &c) != 3)
                return false;
            g_options.version[0] = a, g_options.version[1] = b, g_options.version[2] = c;
        } else if (arg == "--refuse") {
            g_options.registerStatus = 1;
        } else if (arg == "--speed" && (v = value())) {
            g_options.speed = std::atof(v);
            if (g_options.speed <= 0)
                return false;
        } else if (arg == "--term") {
            g_options.terminate = true;
        } else if (arg == "--no-target") {
            g_options.targetForeground = false;
        } else if (arg == "--window") {
            g_options.ownWindow = true;
        } else if (arg == "--config") {
            g_options.config = true;
            g_options.ownWindow = true;
        } else if (arg == "--close-after" && (v = value())) {
            g_options.closeAfterMs = std::strtol(v, nullptr, 0);
            if (g_options.closeAfterMs < 0)
                return false;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return false;
        } else if (g_options.tracePath.empty()) {
            g_options.tracePath = arg;
        } else {
            return false;
        }
    }
    return !g_options.tracePath.empty() || g_options.config;
}

template <typename F> F entry(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

BOOL CALLBACK findDialogProc(HWND window, LPARAM found) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    if (lstrcmpW(name, L"GdrConfigDialog") != 0 || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The configuration dialog lives on this thread, like the core window.
HWND findConfigDialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findDialogProc, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Until the user closes the dialog, or until --close-after cancels it.
void runConfigDialog(LARGE_INTEGER frequency) {
    LARGE_INTEGER start, now;
    QueryPerformanceCounter(&start);
    bool cancelled = false;
    while (HWND dialog = findConfigDialog()) {
        QueryPerformanceCounter(&now);
        const long long ms = (now.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart;
        if (g_options.closeAfterMs >= 0 && ms >= g_options.closeAfterMs && !cancelled) {
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            cancelled = true;
        }
        if (cancelled && ms >= g_options.closeAfterMs + 5000) {
            note("the configuration dialog does not close");
            return;
        }
        now.QuadPart += frequency.QuadPart / 50;
        pumpUntil(now, frequency);
    }
    note("configuration dialog closed");
}

} // namespace

int main(int argc, char** argv) {
    if (!parseArguments(argc, argv)) {
        usage();
        return 2;
    }
    std::string text;
    if (!g_options.tracePath.empty() && !readFile(g_options.tracePath, text)) {
        std::fprintf(stderr, "glo_driver: cannot read %s\n", g_options.tracePath.c_str());
        return 1;
    }
    const trace::Result parsed = trace::parse(text);
    if (!parsed.ok) {
        std::fprintf(stderr, "glo_driver: %s:%d: %s\n", g_options.tracePath.c_str(),
                     parsed.errorLine, parsed.error.c_str());
        return 1;
    }
    if (!g_options.logPath.empty()) {
        g_log = std::fopen(g_options.logPath.c_str(), "wb");
        if (!g_log) {
            std::fprintf(stderr, "glo_driver: cannot write %s\n", g_options.logPath.c_str());
            return 1;
        }
    }

    HWND target = nullptr;
    if (g_options.ownWindow) {
        target = createTargetWindow();
        if (!target)
            note("cannot create a window (error %lu)", GetLastError());
        else
            note("window 0x%llx in the foreground: %s",
                 static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(target)),
                 GetForegroundWindow() == target ? "yes" : "no");
    }

    HMODULE dll = LoadLibraryW(g_options.dll.c_str());
    if (!dll) {
        std::fprintf(stderr, "glo_driver: cannot load %s (error %lu)\n",
                     narrow(g_options.dll.c_str()).c_str(), GetLastError());
        return 1;
    }
    auto init = entry<ZuVidInitProc>(dll, "ZuVidInit");
    auto sendEvent = entry<ZuVidSendEventProc>(dll, "ZuVidSendEvent");
    auto closeHdl = entry<ZuVidCloseHdlProc>(dll, "ZuVidCloseHdl");
    auto term = entry<ZuVidTermProc>(dll, "ZuVidTerm");
    auto getInfo = entry<ZuVidGetInfoProc>(dll, "ZuVidGetInfo");
    if (!init || !sendEvent || !closeHdl || !term || !getInfo) {
        std::fprintf(stderr, "glo_driver: the library lacks the driver entry points\n");
        FreeLibrary(dll);
        return 1;
    }
    const wchar_t* info = nullptr;
    getInfo(&info);
    note("loaded %s: %s", narrow(g_options.dll.c_str()).c_str(),
         info ? narrow(info).c_str() : "(no info)");

    ZuVidCallbackTable table = {};
    table.size = sizeof(table);
    table.log = &logCallback;
    table.registerWindow = &registerWindowCallback;
    table.getDeviceInfo = &getDeviceInfoCallback;
    table.getDeviceName = &getDeviceNameCallback;
    table.getVersion = &getVersionCallback;
    init(g_options.driverId, &table);

    LARGE_INTEGER frequency, due;
    QueryPerformanceFrequency(&frequency);
    if (g_options.config) {
        auto createConfigDialog = entry<CreateConfigDialogProc>(dll, kCreateConfigDialog);
        if (!createConfigDialog || !createConfigDialog(target)) {
            note("cannot open the configuration dialog%s",
                 createConfigDialog ? "" : ": the library has no such function");
        } else if (HWND dialog = findConfigDialog()) {
            RECT r;
            GetWindowRect(dialog, &r);
            note("configuration dialog open at %ld,%ld size %ldx%ld", r.left, r.top,
                 r.right - r.left, r.bottom - r.top);
        }
    }
    QueryPerformanceCounter(&due);
    size_t events = 0;
    for (const trace::Step& step : parsed.steps) {
        if (step.isEvent) {
            ZuVidEventRecord record = {};
            record.type = step.type;
            record.pressed = step.pressed;
            record.released = step.released;
            std::memcpy(record.motion, step.motion, sizeof(record.motion));
            sendEvent(g_options.targetForeground ? GetForegroundWindow() : nullptr, &record);
            ++events;
        }
        // Deadlines add up from the start, so slow calls do not stretch the trace.
        due.QuadPart += static_cast<LONGLONG>(double(step.delayMs) * frequency.QuadPart /
                                              (1000.0 * g_options.speed));
        pumpUntil(due, frequency);
    }
    note("replayed %zu events", events);
    if (g_options.config)
        runConfigDialog(frequency);

    if (g_options.terminate) {
        term();
        note("ZuVidTerm");
    } else {
        closeHdl(g_coreWindow);
        note("ZuVidCloseHdl(0x%llx)",
             static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(g_coreWindow)));
    }
    FreeLibrary(dll);
    if (target)
        DestroyWindow(target);
    if (g_log != stdout)
        std::fclose(g_log);
    return 0;
}
