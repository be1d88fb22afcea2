// How the core's readers and writers of configuration files find the file, and the saving of an
// application's motion setups with its report.
#pragma once

#include <windows.h>

class CGlo_Application;
class CGlo_EventMultiplexer;

namespace glo_events {

// Room for a configuration file's path: a folder and a name of up to 255 characters.
const int kConfigPathChars = MAX_PATH + 256;

// For calls into a plug-in on the configuration dialog's thread, as long as it lives: a relative
// file name is taken relative to `folder`, where the plug-in was loaded, and not to the
// process's working directory, which plug-in workers share and nobody may change under them;
// with `holdWrites` the core's writers write nothing (the dialog only asks for setups then).
// Other threads are not affected. `folder` must outlive the scope.
class CConfigFileScope {
public:
    CConfigFileScope(const wchar_t* folder, bool holdWrites);
    ~CConfigFileScope();
    CConfigFileScope(const CConfigFileScope&) = delete;
    CConfigFileScope& operator=(const CConfigFileScope&) = delete;

private:
    const wchar_t* previousFolder;
    bool previousHold;
};

// The path the core opens for the configuration file name `name`; false (and "") when it does
// not fit.
bool configFilePath(const wchar_t* name, wchar_t (&path)[kConfigPathChars]);

// Replaces the file `name` by the motion setups of `multiplexer` (button setups are rebuilt on
// every load) and reports the outcome for `application`.
void saveMotionSetups(CGlo_Application& application, const wchar_t* name,
                      CGlo_EventMultiplexer& multiplexer);

} // namespace glo_events
