// The configuration dialog's only calls into a plug-in's application object. Each runs guarded:
// a plug-in that crashes in one is reported to the host, which takes it out of use, and the call
// answers so.
#pragma once

#include "GloApplication.h"
#include "ui/GdrEditedApplication.h"

#include <string>
#include <vector>

namespace glo_ui {

// Copies the application's function table and setups into `into`.
bool readApplication(CGlo_Application& object, CGdrEditedApplication& into);

// How handing setups to an application went.
struct SaveOutcome {
    enum Kind { Saved, NotSaved, Crashed } kind;
    GLO_SaveReport report; // NotSaved: what its writer reported
};

// Hands the motion setups to the application (it rebuilds its button setups itself, as on every
// load) and has it write its configuration file. `folder` is where a relative file name
// resolves: the plug-in folder, where the host loads the application and it reads its file.
// An application that reports nothing is taken as saved.
SaveOutcome applySetups(CGlo_Application& object, const std::wstring& name,
                        const std::vector<CGdrEditableSetup>& setups, const std::wstring& folder);

// The application's built-in setups, as its setDefaultConfiguration() makes them. The plug-in
// interface hands them out only by installing them, so the application gets its own setups back
// at once; nothing is written meanwhile. A plug-in that writes its file by itself gets the file
// back as it was (replaced whole, as a save does), or left alone when it could not be read.
bool readDefaults(CGlo_Application& object, const std::wstring& name, const std::wstring& folder,
                  std::vector<CGdrEditableSetup>& defaults);

// Has the application build its connections again from its own setups, so that its buttons
// take the user's key combinations as they are now; like readDefaults, nothing is written.
bool rebuildConnections(CGlo_Application& object, const std::wstring& name,
                        const std::wstring& folder);

} // namespace glo_ui
