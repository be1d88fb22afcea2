// Application base: the abstract interface every plug-in application implements, with its
// name, configuration file name, connection table and the four configuration transfers.
#pragma once

#include <windows.h>

#include "GloExport.h"
#include "GloEvent.h"
#include "GloEventMultiplexer.h"
#include "GloFunctionSetup.h"
#include "GloPluginFunction.h"
#include "GloSaveReport.h"

class CGdrProxy;

// The order of the virtual operations is part of the plug-in interface. There is no virtual
// destructor: an application is destroyed through its most derived type.
class GLO_API CGlo_Application {
public:
    // Empty name, empty file name, empty multiplexer.
    CGlo_Application();
    // Copy name, file name and connections.
    CGlo_Application(const CGlo_Application& other);
    CGlo_Application& operator=(const CGlo_Application& other);
    ~CGlo_Application();

    // Slot 0: how well the application recognises the window (0: not at all).
    virtual int match(HWND window) = 0;
    // Slot 1.
    virtual int init() = 0;
    // Slot 2: delivers a device event; may be called from any thread.
    virtual int sendevent(CGlo_Event& event) = 0;
    // Slot 3.
    virtual int getNumberOfFunctions() = 0;
    // Slot 4: the application's function of that exact name, or null.
    virtual CGlo_PluginFunction* queryFunction(const wchar_t* name) = 0;
    // Slot 5.
    virtual CGlo_PluginFunction* queryFunction(int index) = 0;
    // Slot 6: writes the name and the setups through the driver's configuration exchange. Like
    // the file, it leaves out the button setups: every load rebuilds them.
    virtual void serialize(CGdrProxy& proxy);
    // Slot 7: writes the configuration file, all setups but the button setups; nothing when
    // there is no connection. The file is replaced only once the new content is completely
    // written; the outcome is reported (reportSave). Opened by its wide name.
    virtual void serialize();
    // Slot 8: replaces the connections; size is the array size in bytes.
    virtual int setConfiguration(CGlo_FunctionSetup* setups, int size) = 0;
    // Slot 9: fills the connections with the built-in setups.
    virtual int setDefaultConfiguration() = 0;
    // Slot 10: reloads from the configuration exchange when it holds this application.
    virtual void deserialize(CGdrProxy& proxy);
    // Slot 11: reloads from the configuration file (button setups first, then the file's
    // valid records of known functions); without a readable file the default configuration.
    virtual void deserialize();
    // Slot 12: adds the fixed button setups; called right after the connections were emptied.
    virtual int setButtonConfiguration() = 0;

    // Keeps at most 251 characters; the file name becomes the name followed by ".cfg".
    void setName(const wchar_t* name);
    const wchar_t* getName() const;
    CGlo_EventMultiplexer& getMultiplexer();
    int getNumberOfConnections();
    // Setup of connection index, or null.
    CGlo_FunctionSetup* queryFunctionSetup(int index);

    // The save report of this application (see GLO_SaveOutcome), kept by the core apart from
    // the object; any thread. A report replaces the previous one.
    void reportSave(int outcome, int failure, unsigned long error, const wchar_t* file);
    // The last report since clearSaveReport(); its outcome is GLO_SaveNotReported when none.
    GLO_SaveReport getSaveReport() const;
    void clearSaveReport();

protected:
    wchar_t name[256];
    wchar_t configFileName[256];
    CGlo_EventMultiplexer multiplexer;
};
