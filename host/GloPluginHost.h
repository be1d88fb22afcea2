// The plug-in host: loads the plug-in libraries and delivers events to the
// application that serves the window the user works in.
#pragma once

#include <windows.h>

#include <vector>

#include "GloDLLApplication.h"
#include "GloEvent.h"
#include "GloExport.h"

// One instance for the library (getPluginHost()). No locks: the driver does not
// call the exports concurrently. Pointers to table entries (current application,
// cached match) live only until the table changes, and every change resets them.
class GLO_API CGlo_PluginHost {
public:
    CGlo_PluginHost();
    virtual ~CGlo_PluginHost();
    CGlo_PluginHost(const CGlo_PluginHost&) = delete;
    CGlo_PluginHost& operator=(const CGlo_PluginHost&) = delete;

    // Unloads everything, then loads every plug-in of `folder` below the home
    // directory, in the order the folder lists them. Always 1.
    int loadPlugins(const wchar_t* folder);
    // Unloads every plug-in and empties the table. Always 1.
    int freeAllPlugins();
    // The home directory from the registry into `buffer` (`size` in bytes, cut to
    // fit, always terminated); null, after message box 54, when it cannot be read or is
    // not text. Environment variables in a value of the expandable type are expanded.
    wchar_t* getHomeDirectory(wchar_t* buffer, int size);
    // Index of the first entry whose application name equals `name` exactly; -1 if none.
    int findApplication(const wchar_t* name);
    // The entry's application name, "NIL" past the end. One static buffer,
    // overwritten by the next call.
    const wchar_t* getApplicationName(int index);
    // The entry's application object; null when there is none or the index is out of range.
    CGlo_Application* getLoadedPlugin(int index);
    int getNumberOfPlugins() const { return static_cast<int>(plugins.size()); }

    // Delivers one decoded event (button -1: motion) to the matching application.
    void dispatchEvent(int x, int y, int z, int a, int b, int c, int button, int state);
    // The entry that serves the window the user works in, or null. Cached while
    // the foreground and target windows stay the same.
    CGlo_DLLApplication* findEventTarget(CGlo_Event& event);
    // The entry with the highest score above 0 for `window`; ties go to table order.
    CGlo_DLLApplication* matchApplication(HWND window);
    // Deepest visible, enabled descendant of the foreground thread's active window
    // under the cursor, group boxes looked through; null over no child at all.
    HWND windowUnderCursor();
    // 1 when a loaded plug-in serves `window` (then it is announced to the driver).
    int isValidHandle(HWND window);

    // The entry that received the last event, or null.
    CGlo_DLLApplication* getCurrentApplication() const { return currentApplication; }
    // Index of an entry pointer in the table; -1 for null or a foreign pointer.
    int indexOf(const CGlo_DLLApplication* entry) const;

    // Writes the waiting reports of plug-ins that crashed to the driver's log, and takes those
    // plug-ins out of use: they are asked and sent nothing more, and getLoadedPlugin answers
    // null for them; they are still unloaded. Runs on the host's own thread.
    void reportFaults();
    // The entry's plug-in crashed and is out of use.
    bool isBroken(const CGlo_DLLApplication& entry) const;
    // Goes up with every change of the table (plug-ins loaded, unloaded or taken out of use), so
    // that whoever keeps an application pointer can tell it may be gone. An open configuration
    // dialog is told of each change.
    unsigned getTableGeneration() const { return tableGeneration; }
    // The generation with which the entry joined the table: an application loaded again, even at
    // the same address, has another one. 0 past the end.
    unsigned getLoadGeneration(int index) const;

protected:
    // Loads every "*.dll" of the working directory, whose full path is `directory`.
    void loadFolder(const wchar_t* directory, DWORD length);
    // Loads one library by its full path and appends it when it is a plug-in.
    void loadPlugin(const wchar_t* path);
    // Logs once each connected setup that does not fit its function (GloSetupFit.h).
    void reportSetupFit(CGlo_DLLApplication& entry, const wchar_t* path);
    void deliver(CGlo_DLLApplication* entry, CGlo_Event& event);
    void dispatch(int x, int y, int z, int a, int b, int c, int button, int state);
    // Takes an entry out of use after a crash (see reportFaults).
    void markBroken(CGlo_DLLApplication& entry);
    // Before an application is freed or taken out of use, and after one was added.
    void tableChanged();
    // The configuration dialog, or a window it owns: served by no plug-in.
    static bool isConfigurationWindow(HWND window);

    std::vector<CGlo_DLLApplication> plugins;
    CGlo_DLLApplication* currentApplication;
    CGlo_DLLApplication* cachedMatch;
    HWND cachedForeground;
    HWND cachedFocus;
    std::vector<const CGlo_Application*> broken; // applications out of use after a crash
    long reportsSeen;
    unsigned tableGeneration;
    std::vector<unsigned> loadedAt; // per entry, see getLoadGeneration
};

// The library's single host.
GLO_API CGlo_PluginHost& getPluginHost();
