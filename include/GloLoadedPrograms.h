// The loaded programs, as the configuration dialog (or a tool in the driver's process) reads them:
// the plug-in host's table through plain exports, so that a reader needs none of the core's
// classes but the application it edits.
//
// Call from the thread that called ZuVidInit, where plug-ins are loaded and configurations
// reloaded; nothing here locks. An index means a program only while the table's generation is
// the one it was read with: plug-ins may be loaded, unloaded or taken out of use (after a crash)
// at any message the reader's thread pumps.
#pragma once

#include <windows.h>

#include "GloExport.h"

class CGlo_Application;

// The attached window is told, as WM_COMMAND with control GLO_ProgramsNotifyId, of a reload of one
// program's configuration (GLO_ConfigurationReloaded, sent; gloReloadedProgram names it) and of a
// change of the table (GLO_ProgramsChanged, posted).
enum GLO_ProgramsNotification {
    GLO_ProgramsNotifyId = 1048,
    GLO_ConfigurationReloaded = 1,
    GLO_ProgramsChanged = 2
};

// Called on the driver's thread with every motion while the attached window is visible: the
// scaled values in the plug-ins' sign convention. It must not wait.
typedef void (*GloLiveMotionProc)(HWND window, const int values[6]);

extern "C" {

// How many programs the table holds, those out of use included.
GLO_API int gloLoadedProgramCount();
// The program's name into `name` (`capacity` characters, cut to fit, always terminated); its
// length, or -1 (and "") past the end.
GLO_API int gloLoadedProgramName(int index, wchar_t* name, int capacity);
// The program's application object; null past the end, for a library that gave none and for a
// plug-in out of use.
GLO_API CGlo_Application* gloLoadedProgramApplication(int index);
// The generation with which the program joined the table: loaded again, even at the same address,
// it has another one. 0 past the end.
GLO_API unsigned gloLoadedProgramGeneration(int index);
// Goes up with every change of the table.
GLO_API unsigned gloLoadedProgramTableGeneration();

// The program that serves the window the user works in, found as an event would find it; -1 for
// none.
GLO_API int gloProgramInFront();
// The program whose configuration the core reloaded last; -1 for none.
GLO_API int gloReloadedProgram();
// Writes the reports of plug-ins that crashed in a guarded call to the driver's log and takes
// them out of use (the table changes).
GLO_API void gloReportProgramFaults();

// Attaches the one configuration window: it is told of reloads and table changes, no plug-in is
// asked about it or the windows it owns, and it gets the live motion through `proc` (may be
// null). Detach clears each of the two only while it is still the one given, so that a window
// going late leaves a newer one attached.
GLO_API void gloAttachConfigurationWindow(HWND window, GloLiveMotionProc proc);
GLO_API void gloDetachConfigurationWindow(HWND window, GloLiveMotionProc proc);

} // extern "C"
