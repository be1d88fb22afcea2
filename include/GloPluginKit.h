// The plug-in author's kit: readable tables, window-class tests, texts of the plug-in's own and
// a complete office plug-in in one macro. The shipped plug-ins are written with it.
//
// A whole plug-in:
//
//   #include "GloPluginKit.h"
//   using namespace glo_kit;
//
//   CGlo_PluginFunction s_functions[] = {
//       panFunction(L"LinePan", GLO_CALL(ILinePan), GLO_TEXT_LINE_SCROLL_WINDOW,
//                   GLO_TEXT_LINE_SCROLL_LEFT_RIGHT, GLO_TEXT_LINE_SCROLL_RIGHT_LEFT,
//                   GLO_TEXT_LINE_SCROLL_UP_DOWN, GLO_TEXT_LINE_SCROLL_DOWN_UP),
//       oneShotFunction(L"PageDown", GLO_CALL(pageDown), GLO_TEXT_PAGE_DOWN),
//       buttonFunction(L"Escape", GLO_CALL(escape), GLO_TEXT_BUTTON),
//       buttonFunction(L"Save", GLO_KEYS(GLO_KeyCtrl, 'S'), GLO_TEXT_BUTTON),
//   };
//   CGlo_FunctionSetup s_defaults[] = {
//       panSetup(L"LinePan", AxisX, 1, AxisZ, 1, 0), // slide sideways, push away scrolls down
//       pushSetup(L"PageDown", AxisB, 1, 60),        // twist clockwise
//   };
//   CGlo_FunctionSetup s_buttons[] = {pressSetup(L"Escape", 0), pressSetup(L"Save", 1)};
//
//   int matchMine(HWND window) { return hasClassAbove(window, L"MyFrame") ? 10 : 0; }
//
//   GLO_OFFICE_PLUGIN(L"Mine", matchMine, s_functions, s_defaults, s_buttons)
//
// The macro exports "load" and "unload"; the application keeps each user's setups in
// %APPDATA%\Glidora\<name>.cfg with the file beside the library as the default
// (CGlo_ConfigPaths). Header-only: nothing of it is exported by the core.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <new>

#include "GloPluginSDK.h"

namespace glo_kit {

// ---- Window-class tests, for match() ----
// Window classes are not case-sensitive ("Edit" and "EDIT" are one class): none of these is.

// The class of `window` is exactly `name` (not case-sensitive).
inline bool classIs(HWND window, const wchar_t* name) {
    wchar_t found[256] = L"";
    return window != nullptr && GetClassNameW(window, found, 256) > 0 && _wcsicmp(found, name) == 0;
}

// `window` or one of its ancestors (up to the top-level window) has a class name containing
// `part` (not case-sensitive).
inline bool hasClassAbove(HWND window, const wchar_t* part) {
    for (int depth = 0; window != nullptr && depth < 64; ++depth) {
        if (CGloHWND(window).IsWindowClass(part))
            return true;
        if (!(GetWindowLongW(window, GWL_STYLE) & WS_CHILD))
            break;
        window = GetParent(window);
    }
    return false;
}

// The top-level window of `window` has exactly the class `name` (not case-sensitive).
inline bool topLevelIs(HWND window, const wchar_t* name) {
    HWND top = window ? GetAncestor(window, GA_ROOT) : nullptr;
    return top != nullptr && classIs(top, name);
}

// ---- Device axes, as setups name them ----

// Translations x (slide right +), y, z (push away +); rotations a (tilt forward +), b (twist
// clockwise +), c (tilt right +). These are the signs a plug-in's event has; a device trace
// spells z and c the other way round (docs/plugin-sdk.md).
enum DeviceAxis { AxisX = 0, AxisY = 1, AxisZ = 2, AxisA = 3, AxisB = 4, AxisC = 5 };

// ---- Function table entries ----
// Texts are identifiers of the core's string table (GLO_TEXT_..., GloTextIds.h; 0: none) or of
// texts of the plug-in's own (text() below).

// A text of the plug-in's own, in English and German, for a function or a direction; the
// configuration dialog shows it in the user's language. German may be left out.
//   axisFunction(L"Count", &count, text(L"Count Steps", L"Schritte zählen"),
//                text(L"More", L"Mehr"), text(L"Fewer", L"Weniger"))
inline int text(const wchar_t* english, const wchar_t* german = nullptr) {
    return gloRegisterText(english, german);
}

// Continuous, two function axes: texts of the function, then of the first axis's positive and
// negative direction and of the second axis's.
inline CGlo_PluginFunction panFunction(const wchar_t* name, GLO_FunctionCallback callback, int text,
                                       int firstPositive, int firstNegative, int secondPositive,
                                       int secondNegative) {
    return CGlo_PluginFunction(name, GLO_TwoAxisFunction, callback, text, firstPositive,
                               firstNegative, secondPositive, secondNegative, 0, 0, 0, 0, 0, 0, 0,
                               0);
}
// Continuous, one function axis.
inline CGlo_PluginFunction axisFunction(const wchar_t* name, GLO_FunctionCallback callback,
                                        int text, int positiveText, int negativeText) {
    return CGlo_PluginFunction(name, GLO_OneAxisFunction, callback, text, positiveText,
                               negativeText, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
}
// Once per push of the cap (or per button press).
inline CGlo_PluginFunction oneShotFunction(const wchar_t* name, GLO_FunctionCallback callback,
                                           int text) {
    return CGlo_PluginFunction(name, GLO_TriggerFunction, callback, text, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                               0, 0, 0);
}
// Only a button runs it.
inline CGlo_PluginFunction buttonFunction(const wchar_t* name, GLO_FunctionCallback callback,
                                          int text) {
    return CGlo_PluginFunction(name, GLO_ButtonFunction, callback, text, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                               0, 0, 0);
}

// ---- Setups: which motion or button runs a function ----
// A polarity of -1 turns the axis round; the dead zone (0 to 200) is the deflection the cap must
// pass before the function starts.

// Two function axes from the device axes `horizontal` and `vertical`.
inline CGlo_FunctionSetup panSetup(const wchar_t* name, int horizontal, int horizontalPolarity,
                                   int vertical, int verticalPolarity, int deadZone) {
    return CGlo_FunctionSetup(name, GLO_MotionEvent, 2, horizontal, vertical, 0, 0, 0, 0,
                              horizontalPolarity, verticalPolarity, 1, 1, 1, 1, deadZone);
}
// One function axis from the device axis `axis`.
inline CGlo_FunctionSetup axisSetup(const wchar_t* name, int axis, int polarity, int deadZone) {
    return CGlo_FunctionSetup(name, GLO_MotionEvent, 1, axis, 0, 0, 0, 0, 0, polarity, 1, 1, 1, 1,
                              1, deadZone);
}
// A one-shot that fires when `axis` is pushed in the direction of `polarity`.
inline CGlo_FunctionSetup pushSetup(const wchar_t* name, int axis, int polarity, int deadZone) {
    return CGlo_FunctionSetup(name, GLO_MotionEvent, 0, axis, 0, 0, 0, 0, 0, polarity, 1, 1, 1, 1,
                              1, deadZone);
}
// A press of button 0 to 31.
inline CGlo_FunctionSetup pressSetup(const wchar_t* name, int button) {
    return CGlo_FunctionSetup(name, GLO_ButtonEvent, button, GLO_ButtonPress);
}

// ---- The office plug-in ----

// What makes one plug-in: its name, how it recognises its programs' windows, and its tables
// (sizes in bytes).
struct PluginTables {
    const wchar_t* name;
    int (*match)(HWND window);
    CGlo_PluginFunction* functions;
    int functionBytes;
    CGlo_FunctionSetup* defaults;
    int defaultBytes;
    CGlo_FunctionSetup* buttons;
    int buttonBytes;
};

// A CGlo_Plugin built from PluginTables. Its configuration: the user's file, else the default
// beside the library, else the built-in setups; saves go to the user's file only, and a user's
// file of which nothing can be read is set aside, never overwritten.
class COfficePlugin : public CGlo_Plugin {
public:
    COfficePlugin(HINSTANCE module, const PluginTables& tables)
        : matcher(tables.match), paths(module, tables.name) {
        current() = this;
        setName(tables.name);
        useFile(paths.getUserFile());
        setFunctions(tables.functions, tables.functionBytes);
        initButtonConfiguration(tables.buttons, tables.buttonBytes);
        initDefaultConfiguration(tables.defaults, tables.defaultBytes);
        deserialize();
        loaded = true;
    }
    ~COfficePlugin() override {
        stopWorkerThread(); // no function may run into a half-destroyed object
        current() = nullptr;
    }

    int match(HWND window) override { return window != nullptr ? matcher(window) : 0; }

    // Replaced setups are kept: the user's file is written at once (atomically).
    int setConfiguration(CGlo_FunctionSetup* setups, int size) override {
        const int result = CGlo_Plugin::setConfiguration(setups, size);
        if (reading)
            tookDefaults = true;
        if (loaded && !reading)
            serialize();
        return result;
    }

    // A user file of which nothing can be read is renamed aside (never deleted) and the shipped
    // default takes its place; the next save writes a new user file.
    void deserialize() override {
        _Vex::CSingleLock lock(&configLock, TRUE);
        reading = true;
        userFileHeld = false;
        const Outcome user = readFile(paths.getUserFile());
        if (user == Unreadable)
            setUserFileAside();
        if (user != Read) {
            const Outcome shipped = readFile(paths.getDefaultFile());
            if (shipped == Unreadable)
                report(paths.getDefaultFile(), L"cannot be read; the built-in setups are used");
            if (shipped != Read)
                setDefaultConfiguration();
        }
        useFile(paths.getUserFile());
        reading = false;
    }

    // Only ever the user's file: the folder of the library may not be written. A user file that
    // could neither be read nor set aside is never written over. Every refusal is reported
    // (reportSave), so that the configuration dialog does not take it for a save.
    void serialize() override {
        if (userFileHeld) {
            reportSave(GLO_SaveFailed, GLO_SaveHeldBack, 0, paths.getUserFile());
            return;
        }
        if (!paths.createUserFolder()) {
            const DWORD error = GetLastError();
            report(paths.getUserFolder(), L"cannot be made; the setups are not kept");
            if (paths.getUserFolder()[0] == L'\0')
                reportSave(GLO_SaveFailed, GLO_SaveNoFileName, 0, nullptr);
            else
                reportSave(GLO_SaveFailed, GLO_SaveNoFolder, error, paths.getUserFolder());
            return;
        }
        CGlo_Plugin::serialize();
    }

    const wchar_t* getConfigFileName() const { return configFileName; }
    const CGlo_ConfigPaths& getConfigPaths() const { return paths; }

    // The library's one application, for the callbacks of its function table.
    static COfficePlugin*& current() {
        static COfficePlugin* application = nullptr;
        return application;
    }

private:
    enum Outcome { Missing, Unreadable, Read };

    void useFile(const wchar_t* path) {
        const size_t capacity = sizeof(configFileName) / sizeof(configFileName[0]);
        std::swprintf(configFileName, capacity, L"%ls", path);
    }

    // Loads `path` through the base's reader. A file that cannot be opened, or that is not empty
    // yet gives no setup, is unreadable (an empty one is a user who removed every motion setup).
    // The file is opened once, by the base: one that it cannot open makes it take the built-in
    // setups, which the override above notes. Every plug-in reads its file while the driver
    // starts: only a file that gave no setup is looked at further.
    Outcome readFile(const wchar_t* path) {
        if (path == nullptr || path[0] == L'\0')
            return Missing;
        useFile(path);
        tookDefaults = false;
        CGlo_Plugin::deserialize();
        // What the file gave: its motion setups (the buttons are the plug-in's own and the
        // user's key combinations).
        int motion = 0;
        for (int i = 0; i < getNumberOfConnections(); ++i)
            if (!queryFunctionSetup(i)->isButton())
                ++motion;
        if (!tookDefaults && motion > 0)
            return Read;
        WIN32_FILE_ATTRIBUTE_DATA found;
        if (!GetFileAttributesExW(path, GetFileExInfoStandard, &found) ||
            (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return Missing;
        const bool empty = found.nFileSizeHigh == 0 && found.nFileSizeLow == 0;
        return !tookDefaults && empty ? Read : Unreadable;
    }

    void setUserFileAside() {
        wchar_t aside[CGlo_ConfigPaths::Capacity + 16];
        wchar_t what[CGlo_ConfigPaths::Capacity + 64];
        userFileHeld = !paths.setUserFileAside(aside, sizeof(aside) / sizeof(aside[0]));
        if (!userFileHeld)
            std::swprintf(what, sizeof(what) / sizeof(what[0]),
                          L"cannot be read; kept as %ls, the default setups are used", aside);
        else
            std::swprintf(what, sizeof(what) / sizeof(what[0]),
                          L"cannot be read nor renamed; the default setups are used and changes "
                          L"are not kept");
        report(paths.getUserFile(), what);
    }

    // One line in the driver's log, in the core's format: "<file> <what happened>".
    void report(const wchar_t* file, const wchar_t* what) {
        wchar_t line[1024];
        std::swprintf(line, 1024, L"Vex_Core_Proxy.dll: Plugin %ls: %ls %ls\n", getName(), file,
                      what);
        getCoreProxy().log(line);
    }

    int (*matcher)(HWND);
    CGlo_ConfigPaths paths;
    bool loaded = false;
    bool reading = false;
    bool tookDefaults = false; // the base's reader could not open the file
    bool userFileHeld = false;
};

// A function table holds plain callbacks; each forwards to the library's one application.
template <auto F> void call(const CGlo_Event& event) {
    if (COfficePlugin* application = COfficePlugin::current())
        (application->*F)(event);
}

// The same for a key combination (CGlo_Plugin::sendKeyCombination).
template <unsigned Modifiers, unsigned Key> void keys(const CGlo_Event& event) {
    if (COfficePlugin* application = COfficePlugin::current())
        application->sendKeyCombination(event, Modifiers, Key);
}

} // namespace glo_kit

// The callback of a table entry that presses `key` (a virtual-key code: 'S', VK_F5) with the
// `modifiers` (GLO_KeyCtrl | GLO_KeyShift, or 0) in the window with the keyboard focus, with the
// user's own modifiers let go around it: GLO_KEYS(GLO_KeyCtrl, 'S').
#define GLO_KEYS(modifiers, key) (&glo_kit::keys<(modifiers), (key)>)

// The callback of a table entry for the navigation function `function` of CGlo_Plugin
// (GLO_CALL(ILinePan), GLO_CALL(copy), ...).
#define GLO_CALL(function) (&glo_kit::call<&CGlo_Plugin::function>)

// The exports of a plug-in library: its one application, made on "load" from its name, its
// match function and its three tables, gone on "unload".
#define GLO_OFFICE_PLUGIN(name, match, functions, defaults, buttons)                               \
    namespace {                                                                                    \
    const glo_kit::PluginTables s_tables = {                                                       \
        name,    match,          functions, sizeof(functions), defaults, sizeof(defaults),         \
        buttons, sizeof(buttons)};                                                                 \
    glo_kit::COfficePlugin* s_application = nullptr;                                               \
    }                                                                                              \
    extern "C" __declspec(dllexport) CGlo_Application* load(HINSTANCE module) {                    \
        if (!s_application)                                                                        \
            s_application = new (std::nothrow) glo_kit::COfficePlugin(module, s_tables);           \
        return s_application;                                                                      \
    }                                                                                              \
    extern "C" __declspec(dllexport) void unload() {                                               \
        delete s_application;                                                                      \
        s_application = nullptr;                                                                   \
    }
