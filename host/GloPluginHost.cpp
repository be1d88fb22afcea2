#include "host/GloPluginHost.h"
#include "host/GloDriverSide.h"
#include "config/GloHomeDirectory.h"

#include "GloHWND.h"
#include "GloTextIds.h"
#include "GloWnd.h"
#include "events/GloConfigFiles.h"
#include "events/GloEventMath.h"
#include "events/GloSetupFit.h"
#include "log/GdrLog.h"
#include "log/GdrLogSink.h"
#include "runtime/GloFaultGuard.h"
#include "windows/GloWindowAtPoint.h"

#include <cwchar>
#include <new>

// Constructed after the registered messages and the core object (same priority
// scheme as proxy/GdrProxy.cpp), destroyed before them.
static CGlo_PluginHost s_pluginHost __attribute__((init_priority(203)));

CGlo_PluginHost& getPluginHost() {
    return s_pluginHost;
}

namespace {

// A plug-in's "load": its own module handle in, its application object out
// (caller-cleans convention).
typedef CGlo_Application* (*LoadProc)(HINSTANCE);

const UINT kHomeMissingString = GLO_TEXT_HOME_NOT_FOUND;
const int kPathChars = 520;
const std::size_t kLogLineCapacity = 511;
const WPARAM kTableChanged = MAKEWPARAM(GLO_ProgramsNotifyId, GLO_ProgramsChanged);

// Existing, visible and not minimised (IsWindowVisible is false for a dead handle).
bool isUsable(HWND window) {
    return window && IsWindowVisible(window) && !IsIconic(window);
}

// isUsable for a window whose parents are known to be visible: its own style answers both, one
// question to the system instead of one per parent and one more (for another program's window
// each is a round trip). A dead handle has no style.
bool isShownAndRestored(HWND window) {
    const LONG style = window ? GetWindowLongW(window, GWL_STYLE) : 0;
    return (style & WS_VISIBLE) != 0 && (style & WS_MINIMIZE) == 0;
}

// The window under the cursor (see windowUnderCursor), and the foreground thread's active window
// it was looked for below.
HWND underCursor(HWND& active) {
    active = nullptr;
    POINT cursor;
    if (!GetCursorPos(&cursor))
        return nullptr;
    GUITHREADINFO info;
    info.cbSize = sizeof(info);
    // Thread 0: the foreground thread.
    if (!GetGUIThreadInfo(0, &info))
        return nullptr;
    active = info.hwndActive;
    return glo_windows::windowAtPoint(active, cursor);
}

// The contract is "*.dll"; the pattern alone also matches 8.3 aliases of other names.
bool hasDllExtension(const wchar_t* name) {
    const std::size_t length = std::wcslen(name);
    return length > 4 && _wcsicmp(name + length - 4, L".dll") == 0;
}

// Only the process-exit path runs destructors while the loader is shutting down:
// the plug-ins that import this library have been detached already then.
bool processIsExiting() {
    typedef BOOLEAN(WINAPI * ShutdownProc)();
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    FARPROC proc = ntdll ? GetProcAddress(ntdll, "RtlDllShutdownInProgress") : nullptr;
    return proc && reinterpret_cast<ShutdownProc>(reinterpret_cast<void*>(proc))() != 0;
}

} // namespace

CGlo_PluginHost::CGlo_PluginHost()
    : currentApplication(nullptr), cachedMatch(nullptr), cachedForeground(nullptr),
      cachedFocus(nullptr), reportsSeen(0), tableGeneration(0) {}

CGlo_PluginHost::~CGlo_PluginHost() {
    if (processIsExiting()) {
        // Calling into detached plug-ins or releasing them now could crash the
        // exiting process; the system reclaims everything anyway.
        currentApplication = nullptr;
        cachedMatch = nullptr;
        return;
    }
    freeAllPlugins();
}

// The folder by its full path: the process's working directory is the driver's and is left
// alone (another of its threads may be using it), and the start spares entering directories.
int CGlo_PluginHost::loadPlugins(const wchar_t* folder) {
    freeAllPlugins();

    wchar_t home[kPathChars];
    if (!getHomeDirectory(home, sizeof(home)))
        return 1;
    if (folder == nullptr || folder[0] == L'\0')
        return 1;

    // A folder named from the home, unless it names a drive or a share of its own.
    const bool absolute = folder[0] == L'\\' || folder[0] == L'/' || folder[1] == L':';
    wchar_t joined[2 * kPathChars];
    const int written = absolute ? std::swprintf(joined, 2 * kPathChars, L"%ls", folder)
                                 : std::swprintf(joined, 2 * kPathChars, L"%ls\\%ls", home, folder);
    if (written <= 0)
        return 1;
    wchar_t directory[kPathChars];
    const DWORD length = GetFullPathNameW(joined, kPathChars, directory, nullptr);
    if (length == 0 || length >= static_cast<DWORD>(kPathChars))
        return 1;
    // Plug-ins are looked for in their folder only: without it there are none.
    const DWORD attributes = GetFileAttributesW(directory);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 1;
    // No system error box may block the driver's thread on a bad file.
    DWORD oldMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
    // A plug-in's relative settings file name means its folder while it loads.
    const glo_events::CConfigFileScope files(directory, false);
    loadFolder(directory, length);
    SetThreadErrorMode(oldMode, nullptr);
    reportFaults();
    return 1;
}

void CGlo_PluginHost::loadFolder(const wchar_t* directory, DWORD length) {
    // The folder with its separator, then each name: the search pattern and every library.
    wchar_t path[kPathChars + MAX_PATH + 2];
    std::wmemcpy(path, directory, length);
    std::size_t at = length;
    if (at > 0 && path[at - 1] != L'\\' && path[at - 1] != L'/')
        path[at++] = L'\\';
    std::wmemcpy(path + at, L"*.dll", 6);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(path, &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !hasDllExtension(found.cFileName))
            continue;
        const std::size_t nameLength = std::wcslen(found.cFileName);
        if (at + nameLength >= sizeof(path) / sizeof(path[0]))
            continue;
        std::wmemcpy(path + at, found.cFileName, nameLength + 1);
        loadPlugin(path);
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

void CGlo_PluginHost::loadPlugin(const wchar_t* path) {
    // By full path, and the plug-in's own dependencies from its folder: a library
    // of the same name elsewhere (system, the driver's folder) must not stand in.
    HMODULE module = LoadLibraryExW(
        path, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER) // systems without those flags
        module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module)
        return;
    FARPROC load = GetProcAddress(module, "load");
    FARPROC unload = load ? GetProcAddress(module, "unload") : nullptr;
    if (!load || !unload) {
        FreeLibrary(module);
        return;
    }
    // A library whose "load" crashed stays loaded: threads it started may still run its code.
    const LoadProc loadProc = reinterpret_cast<LoadProc>(reinterpret_cast<void*>(load));
    CGlo_Application* application = nullptr;
    auto callLoad = [&] { application = loadProc(module); };
    glo_guard::Fault fault;
    if (!glo_guard::call(callLoad, fault, reinterpret_cast<const void*>(load))) {
        glo_guard::postReport(nullptr, nullptr, module, L"load", fault);
        return;
    }
    CGlo_DLLApplication entry(application, module);
    try {
        loadedAt.push_back(tableGeneration + 1);
        plugins.push_back(entry);
    } catch (const std::bad_alloc&) {
        loadedAt.resize(plugins.size());
        entry.freePlugin(); // not in the table: nobody else would release it
        return;
    }
    tableChanged();
    reportSetupFit(plugins.back(), path);
}

void CGlo_PluginHost::reportSetupFit(CGlo_DLLApplication& entry, const wchar_t* path) {
    CGlo_Application* application = entry.getLoadedPlugin();
    if (application == nullptr || !glo_log::canLog())
        return;
    const wchar_t* file = std::wcsrchr(path, L'\\');
    file = file ? file + 1 : path;
    // The plug-in's tables are read, not called; a fault there only ends the check.
    CGlo_EventMultiplexer& multiplexer = application->getMultiplexer();
    int count = 0;
    glo_guard::Fault fault;
    auto counted = [&] { count = multiplexer.getNumberOfConnections(); };
    if (!glo_guard::call(counted, fault, entry.getModule()))
        return;
    for (int i = 0; i < count; ++i) {
        wchar_t line[kLogLineCapacity + 1];
        bool misfit = false;
        auto check = [&] {
            const CGlo_FunctionSetup* setup = multiplexer.getFunctionSetup(i);
            CGlo_PluginFunction* function = multiplexer.getConnectionFunction(i);
            wchar_t why[200], shown[160], kind[64], text[128];
            if (setup == nullptr || function == nullptr ||
                !glo_events::setupMisfit(*setup, *function, why, 200))
                return;
            glo_events::describeSetup(*setup, shown, 160);
            glo_events::describeKind(*function, kind, 64);
            function->getFunctionCbDescription(text, sizeof(text));
            gdrFormatLine(line, kLogLineCapacity,
                          GDR_LOG_TAG L"Plug-in %s (%s): the setup of \"%s\" (%s) does not fit the "
                                      L"function \"%s\" (%s%s%s): %s\n",
                          entry.getName(), file, setup->getName(), shown, function->getName(), text,
                          text[0] ? L"; " : L"", kind, why);
            misfit = true;
        };
        if (!glo_guard::call(check, fault, entry.getModule()))
            return;
        if (misfit)
            glo_log::write(line);
    }
}

int CGlo_PluginHost::freeAllPlugins() {
    reportFaults(); // a crash of a worker is logged with its plug-in's file
    currentApplication = nullptr;
    cachedMatch = nullptr;
    if (!plugins.empty())
        tableChanged();
    // All workers end their gestures side by side; then each library is unloaded.
    for (CGlo_DLLApplication& entry : plugins)
        entry.requestStop();
    for (CGlo_DLLApplication& entry : plugins)
        entry.freePlugin();
    plugins.clear();
    loadedAt.clear();
    broken.clear();
    cachedForeground = nullptr;
    cachedFocus = nullptr;
    reportFaults();
    return 1;
}

wchar_t* CGlo_PluginHost::getHomeDirectory(wchar_t* buffer, int size) {
    wchar_t value[glo_config::kHomeChars];
    if (!glo_config::readHomeDirectory(value)) {
        CWnd::MessageBoxFromString(kHomeMissingString);
        return nullptr;
    }
    if (!buffer)
        return nullptr;
    if (size < 2)
        return buffer;
    const int capacity = size / 2 - 1;
    int i = 0;
    for (; i < capacity && value[i] != L'\0'; ++i)
        buffer[i] = value[i];
    buffer[i] = L'\0';
    return buffer;
}

int CGlo_PluginHost::findApplication(const wchar_t* name) {
    if (!name)
        name = L"";
    for (std::size_t i = 0; i < plugins.size(); ++i) {
        if (std::wcscmp(getApplicationName(static_cast<int>(i)), name) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

const wchar_t* CGlo_PluginHost::getApplicationName(int index) {
    static wchar_t name[kPathChars];
    const wchar_t* source =
        index >= 0 && index < getNumberOfPlugins() ? plugins[index].getName() : L"NIL";
    int i = 0;
    for (; i < kPathChars - 1 && source[i] != L'\0'; ++i)
        name[i] = source[i];
    name[i] = L'\0';
    return name;
}

unsigned CGlo_PluginHost::getLoadGeneration(int index) const {
    return index >= 0 && index < static_cast<int>(loadedAt.size()) ? loadedAt[index] : 0;
}

CGlo_Application* CGlo_PluginHost::getLoadedPlugin(int index) {
    if (index < 0 || index >= getNumberOfPlugins() || isBroken(plugins[index]))
        return nullptr;
    return plugins[index].getLoadedPlugin();
}

int CGlo_PluginHost::indexOf(const CGlo_DLLApplication* entry) const {
    if (!entry || plugins.empty() || entry < plugins.data() ||
        entry >= plugins.data() + plugins.size())
        return -1;
    return static_cast<int>(entry - plugins.data());
}

void CGlo_PluginHost::deliver(CGlo_DLLApplication* entry, CGlo_Event& event) {
    if (isBroken(*entry))
        return;
    auto send = [&] { entry->sendevent(event); };
    glo_guard::Fault fault;
    if (!glo_guard::call(send, fault, entry->getModule())) {
        glo_guard::postReport(entry->getLoadedPlugin(), entry->getName(), entry->getModule(),
                              L"sendevent", fault);
        markBroken(*entry);
    }
}

bool CGlo_PluginHost::isBroken(const CGlo_DLLApplication& entry) const {
    for (const CGlo_Application* application : broken)
        if (application == entry.getLoadedPlugin())
            return true;
    return false;
}

void CGlo_PluginHost::markBroken(CGlo_DLLApplication& entry) {
    if (isBroken(entry))
        return;
    try {
        broken.push_back(entry.getLoadedPlugin());
    } catch (const std::bad_alloc&) {
        return; // out of memory: it stays in use
    }
    // The cached match may be this entry: the next event matches again.
    cachedMatch = nullptr;
    cachedForeground = nullptr;
    cachedFocus = nullptr;
    tableChanged();
}

// Posted: the dialog may live on another thread, and nothing here may wait for it.
void CGlo_PluginHost::tableChanged() {
    ++tableGeneration;
    const HWND dialog = glo_host::configDialog();
    if (dialog)
        PostMessageW(dialog, WM_COMMAND, kTableChanged, 0);
}

void CGlo_PluginHost::reportFaults() {
    const long posted = glo_guard::reportCount();
    if (posted == reportsSeen)
        return;
    reportsSeen = posted;
    glo_guard::Report report;
    while (glo_guard::takeReport(report)) {
        // A crash on a worker is known only by its application.
        const wchar_t* file = report.file;
        wchar_t path[MAX_PATH] = L"";
        for (CGlo_DLLApplication& entry : plugins) {
            if (report.owner == nullptr || entry.getLoadedPlugin() != report.owner)
                continue;
            markBroken(entry);
            if (file[0] == L'\0' && entry.getModule() != nullptr &&
                GetModuleFileNameW(entry.getModule(), path, MAX_PATH) != 0) {
                path[MAX_PATH - 1] = L'\0';
                const wchar_t* base = std::wcsrchr(path, L'\\');
                file = base ? base + 1 : path;
            }
        }
        if (!glo_log::canLog())
            continue;
        const wchar_t* outcome =
            std::wcscmp(report.where, L"load") == 0     ? L"its library stays loaded, unused"
            : std::wcscmp(report.where, L"unload") == 0 ? L"its library stays loaded"
                                                        : L"it is no longer used";
        wchar_t where[MAX_PATH + 32];
        glo_guard::describeAddress(report.fault.address, where, sizeof(where) / sizeof(where[0]));
        // The application's name and its library; either may be unknown.
        wchar_t who[160];
        if (report.plugin[0] != L'\0' && file[0] != L'\0')
            gdrFormatLine(who, 159, L"%s (%s)", report.plugin, file);
        else
            gdrFormatLine(who, 159, L"%s", report.plugin[0] != L'\0' ? report.plugin : file);
        wchar_t line[kLogLineCapacity + 1];
        gdrFormatLine(line, kLogLineCapacity,
                      GDR_LOG_TAG L"Plug-in %s crashed in %s: exception 0x%x at %s; %s\n", who,
                      report.where, static_cast<unsigned>(report.fault.code), where, outcome);
        glo_log::write(line);
    }
}

void CGlo_PluginHost::dispatchEvent(int x, int y, int z, int a, int b, int c, int button,
                                    int state) {
    reportFaults();
    dispatch(x, y, z, a, b, c, button, state);
    reportFaults();
}

void CGlo_PluginHost::dispatch(int x, int y, int z, int a, int b, int c, int button, int state) {
    // The most negative value has no opposite: it saturates.
    const int nz = glo_events::clampToInt(-static_cast<long long>(z));
    const int nc = glo_events::clampToInt(-static_cast<long long>(c));
    CGlo_Event event(x, y, nz, a, b, nc, button, state);

    if (event.getEventType() == GLO_NoEvent) {
        if (currentApplication)
            deliver(currentApplication, event);
        currentApplication = nullptr;
        return;
    }
    // The driver's registration sample carries no motion of the user.
    if (event.isRegisterEvent())
        return;

    CGlo_DLLApplication* target = findEventTarget(event);
    if (target != currentApplication) {
        if (currentApplication) {
            CGlo_Event empty(0, 0, 0, 0, 0, 0, -1, 0);
            deliver(currentApplication, empty);
        }
        currentApplication = target;
    }
    if (currentApplication)
        deliver(currentApplication, event);
}

// Every event asks, so the questions to the system are few. The foreground window is a top-level
// window (the system brings the root of a window to the front): its own style says whether it is
// usable. The cached focus matters only when it would be used or compared with the window under
// the cursor; when it is that window, found below the foreground window, its parents are visible
// (the descent takes visible children, and their siblings), and its own style says it too.
CGlo_DLLApplication* CGlo_PluginHost::findEventTarget(CGlo_Event&) {
    HWND foreground = GetForegroundWindow();
    if (!isShownAndRestored(foreground) || isConfigurationWindow(foreground))
        return nullptr;

    HWND active = nullptr;
    HWND target = underCursor(active);
    if (foreground != cachedForeground) {
        cachedFocus = nullptr;
    } else if (cachedFocus && (!target || target == cachedFocus)) {
        const bool found = target == cachedFocus && active == foreground;
        if (!(found ? isShownAndRestored(cachedFocus) : isUsable(cachedFocus)))
            cachedFocus = nullptr;
    }
    if (!target) {
        target = cachedFocus;
        if (!target) {
            GUITHREADINFO info;
            info.cbSize = sizeof(info);
            const DWORD thread = GetWindowThreadProcessId(foreground, nullptr);
            if (thread && GetGUIThreadInfo(thread, &info))
                target = info.hwndFocus;
        }
        if (!target)
            target = foreground;
    }
    if (foreground == cachedForeground && target == cachedFocus)
        return cachedMatch;

    cachedForeground = foreground;
    cachedFocus = target;
    cachedMatch = matchApplication(target);
    return cachedMatch;
}

// The user tries the cap on the configuration dialog (and on the questions it asks): its lights
// show the motion, and no function may act on the dialog itself.
bool CGlo_PluginHost::isConfigurationWindow(HWND window) {
    const HWND dialog = glo_host::configDialog();
    for (int depth = 0; dialog && window && depth < 8;
         ++depth, window = GetWindow(window, GW_OWNER))
        if (window == dialog)
            return true;
    return false;
}

CGlo_DLLApplication* CGlo_PluginHost::matchApplication(HWND window) {
    HWND under = windowUnderCursor();
    if (under && GetAncestor(under, GA_PARENT) == window)
        window = under;
    int best = 0;
    CGlo_DLLApplication* result = nullptr;
    for (CGlo_DLLApplication& entry : plugins) {
        if (isBroken(entry))
            continue;
        int score = 0;
        auto match = [&] { score = entry.match(window); };
        glo_guard::Fault fault;
        if (!glo_guard::call(match, fault, entry.getModule())) {
            glo_guard::postReport(entry.getLoadedPlugin(), entry.getName(), entry.getModule(),
                                  L"match", fault);
            markBroken(entry);
            continue;
        }
        if (score > best) {
            best = score;
            result = &entry;
        }
    }
    return result;
}

HWND CGlo_PluginHost::windowUnderCursor() {
    HWND active = nullptr;
    return underCursor(active);
}

int CGlo_PluginHost::isValidHandle(HWND window) {
    if (glo_log::canLog()) {
        wchar_t line[260];
        gdrFormatLine(line, 259, GDR_LOG_TAG L"IsValidHdl(0x%x)\n", gdrHex(window));
        glo_log::write(line);
    }
    reportFaults();
    const bool served = matchApplication(window) != nullptr;
    reportFaults();
    if (!served)
        return 0;
    glo_host::registerWindow(window);
    return 1;
}
