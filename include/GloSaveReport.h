// The outcome of saving a configuration or settings file, as the writers report it to the user.
#pragma once

// How the last save of an application's configuration file went. Whoever writes the file says
// so with CGlo_Application::reportSave: the core's own writers (serialize() of CGlo_Application
// and CGlo_PluginThread) always do, the kit (GloPluginKit.h) reports the saves it refuses, and a
// plug-in with a writer of its own should do the same. The configuration dialog clears the
// report, has the application save, and reads it: on GLO_SaveFailed it keeps the user's edits
// and says why. Nothing reported is taken as saved, as before.
enum GLO_SaveOutcome {
    GLO_SaveNotReported = 0, // nothing reported since clearSaveReport()
    GLO_SaveWritten = 1,     // `file` holds the setups
    GLO_SaveFailed = 2,      // nothing was written; `failure` says why
};
enum GLO_SaveFailure {
    GLO_SaveNoFailure = 0,
    GLO_SaveCannotWrite = 1, // `file` cannot be written; `error` is the system's error code
    GLO_SaveNoFolder = 2,    // the folder `file` cannot be made; `error` as above
    GLO_SaveHeldBack = 3,    // `file` could not be read at load and is not written over
    GLO_SaveNoFileName = 4,  // no file name can be formed (no user folder, a path too long)
};
struct GLO_SaveReport {
    int outcome;         // GLO_SaveOutcome
    int failure;         // GLO_SaveFailure
    unsigned long error; // the system's error code, 0 when there is none
    wchar_t file[260];   // the file or folder concerned, cut to fit; may be empty
};
