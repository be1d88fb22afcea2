// A substitute device driver: loads the proxy library, hands it a callback
// table, replays a device trace through ZuVidSendEvent with real timing and
// closes the proxy again. With --config it opens the core's configuration dialog on a window of
// its own first and keeps running until the dialog is closed. For plug-in authors it shows
// which plug-ins the core loads and chooses (--list-plugins) and, while a trace plays, which
// plug-in and function each event reaches (--verbose).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EventTarget.h"
#include "GdrProxy.h"
#include "HomeDirectory.h"
#include "PluginReport.h"
#include "ProbeClient.h"
#include "TraceParser.h"
#include "Utf8.h"
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
    bool listPlugins = false;
    std::wstring windowClass; // with --list-plugins: the window to match instead of the foreground
    bool verbose = false;
};

// Exit codes besides 0 (done), 1 (failed) and 2 (usage).
const int kExitNoHome = 3;

// The core's function that opens the configuration dialog. It is part of the C++ interface, not
// of the driver's entry points, so it is found by its C++ name.
const char kCreateConfigDialog[] = "_Z18createConfigDialogP6HWND__";
// The core's descent to the window under a point (gloWindowFromPoint), found the same way.
const char kWindowFromPoint[] = "_Z18gloWindowFromPointP6HWND__8tagPOINT";
typedef int (*CreateConfigDialogProc)(HWND parent);

Options g_options;
FILE* g_log = stdout;
HWND g_coreWindow = nullptr;
// With --list-plugins the core's log is kept for the report instead of printed.
std::mutex g_keptLogMutex;
std::vector<std::string>* g_keptLog = nullptr;

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
    {
        std::lock_guard<std::mutex> lock(g_keptLogMutex);
        if (g_keptLog) {
            std::string line = driver::utf8(text);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
                line.pop_back();
            g_keptLog->push_back(line);
            return;
        }
    }
    std::fputs(driver::utf8(text).c_str(), g_log);
    std::fflush(g_log);
}

std::int32_t WINAPI registerWindowCallback(std::uint32_t id, const wchar_t* module, HWND window,
                                           std::int32_t* status) {
    if (!g_options.listPlugins)
        note("registerWindow(id %u, %s, 0x%llx) -> status %d", id,
             driver::utf8(module ? module : L"").c_str(),
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
               "       glo_driver --list-plugins [--window CLASS] [--dll PATH]\n"
               "  --list-plugins       the plug-ins the core loads (or why not), and which one it\n"
               "                       chooses for the window in the foreground, and why\n"
               "  --window CLASS       with --list-plugins: for the first visible window of CLASS\n"
               "  --verbose            per new target the plug-in chosen and its score, per\n"
               "                       event the function chosen\n"
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
    // --window takes a class only when plug-ins are listed; it stands alone while a trace plays.
    for (int i = 1; i < argc; ++i)
        g_options.listPlugins =
            g_options.listPlugins || std::strcmp(argv[i], "--list-plugins") == 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (arg == "--dll" && (v = value())) {
            g_options.dll = driver::widen(v);
        } else if (arg == "--log" && (v = value())) {
            g_options.logPath = v;
        } else if (arg == "--driver-id" && (v = value())) {
            g_options.driverId = static_cast<std::uint32_t>(std::strtoul(v, nullptr, 0));
        } else if (arg == "--device-type" && (v = value())) {
            g_options.deviceType = static_cast<std::int32_t>(std::strtol(v, nullptr, 0));
        } else if (arg == "--device-name" && (v = value())) {
            g_options.deviceName = driver::widen(v);
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
        } else if (arg == "--list-plugins") {
        } else if (arg == "--window" && g_options.listPlugins) {
            if (!(v = value()))
                return false;
            g_options.windowClass = driver::widen(v);
        } else if (arg == "--window") {
            g_options.ownWindow = true;
        } else if (arg == "--verbose") {
            g_options.verbose = true;
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
    if (g_options.listPlugins)
        return g_options.tracePath.empty() && !g_options.config;
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

// The entry points of the loaded proxy library.
struct Core {
    HMODULE dll = nullptr;
    ZuVidInitProc init = nullptr;
    ZuVidSendEventProc sendEvent = nullptr;
    ZuVidCloseHdlProc closeHdl = nullptr;
    ZuVidTermProc term = nullptr;
    ZuVidGetInfoProc getInfo = nullptr;
    ZuVidIsValidHdlProc isValidHdl = nullptr;

    ~Core() {
        if (dll)
            FreeLibrary(dll);
    }
    bool load() {
        dll = LoadLibraryW(g_options.dll.c_str());
        if (!dll) {
            std::fprintf(stderr, "glo_driver: cannot load %s (error %lu)\n",
                         driver::utf8(g_options.dll.c_str()).c_str(), GetLastError());
            return false;
        }
        init = entry<ZuVidInitProc>(dll, "ZuVidInit");
        sendEvent = entry<ZuVidSendEventProc>(dll, "ZuVidSendEvent");
        closeHdl = entry<ZuVidCloseHdlProc>(dll, "ZuVidCloseHdl");
        term = entry<ZuVidTermProc>(dll, "ZuVidTerm");
        getInfo = entry<ZuVidGetInfoProc>(dll, "ZuVidGetInfo");
        isValidHdl = entry<ZuVidIsValidHdlProc>(dll, "ZuVidIsValidHdl");
        if (init && sendEvent && closeHdl && term && getInfo && isValidHdl)
            return true;
        std::fprintf(stderr, "glo_driver: the library lacks the driver entry points\n");
        return false;
    }
    void start() {
        ZuVidCallbackTable table = {};
        table.size = sizeof(table);
        table.log = &logCallback;
        table.registerWindow = &registerWindowCallback;
        table.getDeviceInfo = &getDeviceInfoCallback;
        table.getDeviceName = &getDeviceNameCallback;
        table.getVersion = &getVersionCallback;
        init(g_options.driverId, &table);
    }
};

// The plug-in probe lies beside this program.
std::wstring probeProgram() {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring program = path;
    return program.substr(0, program.find_last_of(L"\\/") + 1) + L"glo_plugin_probe.exe";
}

bool startProbe(driver::ProbeClient& probe) {
    if (GetFileAttributesW(probeProgram().c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "glo_driver: %s is missing beside glo_driver.exe\n",
                     driver::utf8(probeProgram().c_str()).c_str());
        return false;
    }
    std::string problem;
    if (probe.start(problem))
        return true;
    std::fprintf(stderr, "glo_driver: %s\n", problem.c_str());
    return false;
}

// What the core did on the thread that loaded it; shared until the thread ends.
struct CoreThread {
    driver::EventTarget target;
    driver::CoreRun run;
};

DWORD WINAPI runCore(LPVOID param) {
    auto* state = static_cast<CoreThread*>(param);
    Core core;
    if (!core.load())
        return 1;
    core.start();
    if (state->target.window)
        state->run.serves = core.isValidHdl(state->target.window) ? 1 : 0;
    core.closeHdl(g_coreWindow);
    return 0;
}

// --list-plugins: the probe loads the plug-ins first and answers for each; then, unless a library
// would hang or end this process as it loads, the core loads them too (its log is kept).
int listPlugins(const std::wstring& home) {
    const std::wstring folder = driver::pluginFolder(home);
    HWND named = nullptr;
    if (!g_options.windowClass.empty() &&
        !(named = driver::findWindowOfClass(g_options.windowClass))) {
        std::fprintf(stderr, "glo_driver: no visible window of class \"%s\"\n",
                     driver::utf8(g_options.windowClass.c_str()).c_str());
        return 1;
    }
    // The window is taken before anything loads: a plug-in's window must not come in between.
    const driver::EventTarget target = named ? driver::targetOf(named) : driver::currentTarget();
    driver::ProbeClient probe(probeProgram(), folder);
    if (!startProbe(probe))
        return 1;
    driver::CoreRun run;
    for (const driver::PluginFile& file : probe.files())
        run.ran = run.ran && !file.breaksLoading;
    if (!run.ran)
        return driver::listPlugins(stdout, folder, probe, target, run);
    auto* state = new CoreThread;
    state->target = target;
    std::vector<std::string> kept;
    {
        std::lock_guard<std::mutex> lock(g_keptLogMutex);
        g_keptLog = &kept;
    }
    // On a thread of its own: a plug-in whose "load" hangs must not hold up the report.
    HANDLE thread = CreateThread(nullptr, 0, runCore, state, 0, nullptr);
    const bool finished = thread && WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0;
    DWORD loaded = 1;
    if (thread && finished)
        GetExitCodeThread(thread, &loaded);
    {
        std::lock_guard<std::mutex> lock(g_keptLogMutex);
        g_keptLog = nullptr;
        for (const std::string& line : kept)
            if (line.find("IsValidHdl(") == std::string::npos &&
                line.find("Registering HWND") == std::string::npos)
                run.log.push_back(line);
    }
    run.finished = finished;
    if (finished) {
        run.serves = state->run.serves;
        delete state; // else the hung thread still uses it
    }
    if (thread)
        CloseHandle(thread);
    if (finished && loaded != 0)
        return 1;
    return driver::listPlugins(stdout, folder, probe, target, run);
}

// With --verbose the core's copies of each event come to this window.
struct Clone {
    UINT motionXYZ = 0, motionABC = 0, buttonData = 0;
    int values[6] = {};
    long events = 0;
    driver::VerboseReport* report = nullptr;
} g_clone;

int high16(WPARAM value) {
    return static_cast<std::int16_t>((static_cast<std::uintptr_t>(value) >> 16) & 0xFFFF);
}
int low16(WPARAM value) {
    return static_cast<std::int16_t>(static_cast<std::uintptr_t>(value) & 0xFFFF);
}

LRESULT CALLBACK cloneProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const WPARAM l = static_cast<WPARAM>(lParam);
    if (message == g_clone.motionXYZ) {
        g_clone.values[0] = high16(wParam), g_clone.values[1] = low16(wParam);
        g_clone.values[2] = high16(l);
    } else if (message == g_clone.motionABC) {
        g_clone.values[3] = high16(wParam), g_clone.values[4] = low16(wParam);
        g_clone.values[5] = high16(l);
        ++g_clone.events;
        g_clone.report->onEvent(g_clone.values, -1, 0);
    } else if (message == g_clone.buttonData) {
        const int zero[6] = {0, 0, 0, 0, 0, 0};
        ++g_clone.events;
        g_clone.report->onEvent(zero, static_cast<int>(wParam), lParam ? 1 : 0);
    } else {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return 0;
}

// Registers a clone window with the core window, so that every event comes back as the plug-ins
// see it.
HWND registerClone() {
    g_clone.motionXYZ = RegisterWindowMessageW(GDR_MSG_MOTIONXYZ);
    g_clone.motionABC = RegisterWindowMessageW(GDR_MSG_MOTIONABC);
    g_clone.buttonData = RegisterWindowMessageW(GDR_MSG_BUTTONDATA);
    HWND core = g_coreWindow ? g_coreWindow : FindWindowW(GDR_CORE_WINDOW_CLASS, nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = cloneProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"GloDriverClone";
    RegisterClassW(&wc);
    HWND clone = CreateWindowExW(0, wc.lpszClassName, L"glo_driver", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                 nullptr, wc.hInstance, nullptr);
    if (!core || !clone ||
        SendMessageW(core, RegisterWindowMessageW(GDR_MSG_REGISTERCLONE),
                     reinterpret_cast<WPARAM>(clone), 0) != 1) {
        if (clone)
            DestroyWindow(clone);
        return nullptr;
    }
    return clone;
}

// Handles the messages waiting now, the core's copies of the event just sent among them.
void pumpNow() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
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
    // Checked before the core is loaded: the core's own message box would wait for ever.
    std::wstring home, problem;
    if (!driver::readHomeDirectory(home, problem)) {
        std::fprintf(stderr,
                     "glo_driver: the core would find no home directory: %s.\n"
                     "  The home is the folder with Office\\Plugins; name it with\n"
                     "  reg add \"HKLM\\%s\" /v \"%s\" /d FOLDER /f\n",
                     driver::utf8(problem.c_str()).c_str(), driver::utf8(driver::kHomeKey).c_str(),
                     driver::utf8(driver::kHomeValue).c_str());
        return kExitNoHome;
    }
    // Loading the library starts nothing (the plug-ins load with ZuVidInit): it lends the tool
    // the core's own descent to the window under the cursor.
    const HMODULE descent = LoadLibraryW(g_options.dll.c_str());
    driver::useWindowFromPoint(
        descent ? entry<driver::WindowFromPointProc>(descent, kWindowFromPoint) : nullptr);
    struct Unload {
        HMODULE module;
        ~Unload() {
            if (module)
                FreeLibrary(module);
        }
    } unloadDescent{descent};
    if (g_options.listPlugins)
        return listPlugins(home);
    if (!g_options.logPath.empty()) {
        g_log = std::fopen(g_options.logPath.c_str(), "wb");
        if (!g_log) {
            std::fprintf(stderr, "glo_driver: cannot write %s\n", g_options.logPath.c_str());
            return 1;
        }
    }
    const std::wstring folder = driver::pluginFolder(home);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        note("no folder %s: the core loads no plug-in", driver::utf8(folder.c_str()).c_str());

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

    Core core;
    if (!core.load())
        return 1;
    const wchar_t* info = nullptr;
    core.getInfo(&info);
    note("loaded %s: %s", driver::utf8(g_options.dll.c_str()).c_str(),
         info ? driver::utf8(info).c_str() : "(no info)");
    core.start();

    std::unique_ptr<driver::ProbeClient> probe;
    std::unique_ptr<driver::VerboseReport> report;
    HWND clone = nullptr;
    if (g_options.verbose) {
        probe.reset(new driver::ProbeClient(probeProgram(), folder));
        clone = startProbe(*probe) ? registerClone() : nullptr;
        if (clone) {
            report.reset(new driver::VerboseReport(g_log, *probe));
            g_clone.report = report.get();
        } else {
            note("--verbose: no plug-in choices can be shown");
        }
    }

    LARGE_INTEGER frequency, due;
    QueryPerformanceFrequency(&frequency);
    if (g_options.config) {
        auto createConfigDialog = entry<CreateConfigDialogProc>(core.dll, kCreateConfigDialog);
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
    bool cloneLost = false;
    for (const trace::Step& step : parsed.steps) {
        if (step.isEvent) {
            ZuVidEventRecord record = {};
            record.type = step.type;
            record.pressed = step.pressed;
            record.released = step.released;
            std::memcpy(record.motion, step.motion, sizeof(record.motion));
            const long copies = g_clone.events;
            core.sendEvent(g_options.targetForeground ? GetForegroundWindow() : nullptr, &record);
            ++events;
            if (report) {
                pumpNow();
                // A motion always comes back, unless another program took the clone window.
                const bool motion = step.type == 2 || step.type == 4;
                if (motion && g_clone.events == copies && !cloneLost) {
                    report->flush();
                    note("--verbose: the core's copies of the events go to another window now "
                         "(glo_monitor?): no more choices are shown");
                    cloneLost = true;
                }
            }
        }
        // Deadlines add up from the start, so slow calls do not stretch the trace.
        due.QuadPart += static_cast<LONGLONG>(double(step.delayMs) * frequency.QuadPart /
                                              (1000.0 * g_options.speed));
        pumpUntil(due, frequency);
    }
    if (report)
        report->flush();
    note("replayed %zu events", events);
    if (g_options.config)
        runConfigDialog(frequency);

    if (g_options.terminate) {
        core.term();
        note("ZuVidTerm");
    } else {
        core.closeHdl(g_coreWindow);
        note("ZuVidCloseHdl(0x%llx)",
             static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(g_coreWindow)));
    }
    g_clone.report = nullptr;
    report.reset();
    probe.reset();
    if (clone)
        DestroyWindow(clone);
    FreeLibrary(core.dll);
    core.dll = nullptr;
    if (target)
        DestroyWindow(target);
    if (g_log != stdout)
        std::fclose(g_log);
    return 0;
}
