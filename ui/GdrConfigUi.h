// What the configuration dialog and its two controls answer to from outside: identifiers of the
// dialog's controls, the order of the axis directions and the controls' query messages.
#pragma once

#include <windows.h>

#include "GloLoadedPrograms.h"
#include "resources/resource.h"

// Window classes: the dialog's own, and the two controls registered when the library attaches.
#define GDR_CONFIG_DIALOG_CLASS L"GdrConfigDialog"
#define GDR_AXIS_MAPPING_CLASS L"GdrAxisMappingCtl"
#define GDR_CAP_VIEW_CLASS L"GdrCapWrapperCtl"

// WM_COMMAND of the core after a configuration was reloaded, and after the table of programs
// changed (plug-ins loaded, unloaded or taken out of use after a crash).
const WORD kGdrConfigReloadedId = GLO_ProgramsNotifyId;
const WORD kGdrConfigReloadedCode = GLO_ConfigurationReloaded;
const WORD kGdrPluginsChangedCode = GLO_ProgramsChanged;

// The twelve axis directions: device axis i (x, y, z, a, b, c) positive at 2i, negative at 2i+1.
const int kGdrDirections = 12;
inline int gdrDirection(int axis, bool negative) {
    return 2 * axis + (negative ? 1 : 0);
}

// Axis-mapping control. GETTARGETRECT: wParam direction, lParam RECT* in client coordinates;
// TRUE when the direction exists. GETLEVEL: wParam direction; live strength 0..1000.
// GETTEXT: wParam direction, lParam a buffer of GDR_CELL_TEXT_CHARS; what the direction does.
// GETSTART: wParam direction; the strength from which a push selects a function, -1 for none.
// GETCLAIMS: wParam direction; the setups a push reaches (more than one: a conflict).
// GETLIT: wParam direction; where its light ends as drawn, 0..1000: the live strength, with the
// part beyond the start scaled by the user's speed for what the direction drives.
#define GDR_AMM_GETTARGETRECT (WM_USER + 1)
#define GDR_AMM_GETLEVEL (WM_USER + 2)
#define GDR_AMM_GETTEXT (WM_USER + 3)
#define GDR_AMM_GETSTART (WM_USER + 4)
#define GDR_AMM_GETCLAIMS (WM_USER + 5)
#define GDR_AMM_GETLIT (WM_USER + 6)
#define GDR_CELL_TEXT_CHARS 256

// Cap view. GETSTATUS: the GdrCapModelStatus of the model file; GETTRIANGLES: triangles drawn;
// GETPOSE: lParam float[6] receives the shown translation (model units) and rotation (degrees).
// The window text says why the plain puck is shown, and is empty while the model is.
#define GDR_CVM_GETSTATUS (WM_USER + 1)
#define GDR_CVM_GETTRIANGLES (WM_USER + 2)
#define GDR_CVM_GETPOSE (WM_USER + 3)
