// Loaded plug-in wrapper: the host's record of one plug-in library and the application object
// its "load" returned. Every application operation is forwarded; without a loaded plug-in the
// answer is neutral (0, null or nothing).
#pragma once

#include <windows.h>

#include "GloApplication.h"
#include "GloExport.h"

// Copies share the library and the application object: exactly one copy may call freePlugin.
// Destroying a wrapper releases nothing.
class GLO_API CGlo_DLLApplication : public CGlo_Application {
public:
    CGlo_DLLApplication();
    // Takes over the application's name when application is not null.
    CGlo_DLLApplication(CGlo_Application* application, HINSTANCE module);
    CGlo_DLLApplication(const CGlo_DLLApplication& other);
    CGlo_DLLApplication& operator=(const CGlo_DLLApplication& other);

    int match(HWND window) override;
    int init() override;
    int sendevent(CGlo_Event& event) override;
    int getNumberOfFunctions() override;
    CGlo_PluginFunction* queryFunction(const wchar_t* name) override;
    CGlo_PluginFunction* queryFunction(int index) override;
    void serialize(CGdrProxy& proxy) override;
    void serialize() override;
    int setConfiguration(CGlo_FunctionSetup* setups, int size) override;
    int setDefaultConfiguration() override;
    void deserialize(CGdrProxy& proxy) override;
    void deserialize() override;
    int setButtonConfiguration() override;

    // Calls the library's "unload" (when there is an application and the export exists),
    // releases the library, and leaves the wrapper inert. The focus is kept. The application's
    // worker is stopped first; one still inside a function after a second unloads the
    // application and its library itself once the function returns. An "unload" that crashes
    // is reported (see CGlo_PluginHost::reportFaults) and its library stays loaded.
    void freePlugin();
    // Asks the application's worker to stop, without waiting (before several unloads).
    void requestStop();
    CGlo_Application* getLoadedPlugin() const;
    // The library; null when none.
    HINSTANCE getModule() const { return module; }
    HWND getFocus();
    // Ignored without a loaded plug-in.
    void setFocus(HWND window);
    // Null without a loaded plug-in.
    HWND getRegisteredWindow();
    // Ignored without a loaded plug-in.
    void setRegisteredWindow(HWND window);

protected:
    CGlo_Application* loadedPlugin; // not owned: the library frees it in "unload"
    HINSTANCE module;               // owned, released by freePlugin
    HWND registeredWindow;
    HWND focus;
};
