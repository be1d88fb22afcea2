// A driver home of the test's own: a temporary folder with "Office\Plugins", named in the
// registry while the object lives, filled with copies of the fixture plug-ins.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "fixtures/RecordingApplication.h"
#include "host/GloPluginHost.h"

namespace hosttest {

// Folder of the test executable, with a trailing backslash.
std::wstring executableFolder();
// Full path of a fixture plug-in built beside the tests.
std::wstring fixturePath(const wchar_t* name);

void setHomeValue(const std::wstring& value);
// Removes the value and the key (and its parent when empty).
void removeHomeKey();

class Home {
public:
    // withFolder false: the plug-in folder does not exist.
    explicit Home(bool withFolder = true);
    ~Home();
    Home(const Home&) = delete;
    Home& operator=(const Home&) = delete;

    // Copies a fixture plug-in into the plug-in folder, under its own or another name.
    void add(const wchar_t* fixtureName, const std::wstring& as = L"");
    void addText(const std::wstring& as, const char* text);
    // Names of the plug-in folder in the order the file system lists them.
    std::vector<std::wstring> listing() const;

    std::wstring home;    // with trailing backslash
    std::wstring plugins; // with trailing backslash
};

// The host's entry as the fixture's application object (null without one).
fixture::RecordingApplication* application(int index);
// The entry whose application has that name; null when none.
fixture::RecordingApplication* application(const wchar_t* name);

// Pumps this thread's messages, so the window system sees the windows' state.
void pump();

// A visible window of a class of that name (registered on first use); top-level without parent.
HWND createWindow(const std::wstring& className, int x, int y, int width, int height,
                  HWND parent = nullptr);
// Every window made here counts what it is asked.
struct WindowMessages {
    int getTextCalls = 0;
    int commandCalls = 0;
    WPARAM commandWParam = 0;
    LPARAM commandLParam = 0;
};
WindowMessages& windowMessages();

// A driver that accepts everything: version 4.0.6, a USB device, and an optional log.
struct Driver {
    std::vector<std::wstring> lines;
    std::vector<HWND> registered;
};
Driver& driver();
// ZuVidInit with that driver (which loads the plug-ins and the configuration).
void startProxy(bool withLog);
// ZuVidCloseHdl with the core window: plug-ins unloaded, proxy idle.
void stopProxy();

// Foreground and cursor: the pointer goes to the centre of `under` (or `top`).
void focusAndPoint(HWND top, HWND under = nullptr);

} // namespace hosttest
