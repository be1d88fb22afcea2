// What the plug-in host needs of the driver's side, given by the core object while the library
// loads, so that the host does not know the proxy.
#pragma once

#include <windows.h>

#include "GloLoadedPrograms.h"

namespace glo_host {

struct DriverSide {
    // The open configuration dialog, or null: told of table changes, never acted on.
    HWND (*configDialog)();
    // Announces a window the core serves to the driver.
    void (*registerWindow)(HWND window);
    // The dialog and its live motion are the core object's: it hands the motion over.
    void (*setConfigDialog)(HWND dialog);
    GloLiveMotionProc (*liveMotionProc)();
    void (*setLiveMotionProc)(GloLiveMotionProc proc);
    // The program whose configuration the core reloaded last, or -1.
    int (*reloadedProgram)();
};

// Set once while the library loads, before any thread of ours runs.
void setDriverSide(const DriverSide& side);

HWND configDialog();
void registerWindow(HWND window);
void setConfigDialog(HWND dialog);
GloLiveMotionProc liveMotionProc();
void setLiveMotionProc(GloLiveMotionProc proc);
int reloadedProgram();

} // namespace glo_host
