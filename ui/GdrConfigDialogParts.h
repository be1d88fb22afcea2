// What the panes of the configuration dialog (GdrConfigDialog*.cpp) share: the dialog's own
// messages, the commands of its menus, the speed steps, and texts more than one pane shows.
#pragma once

#include <windows.h>

#include "GloSaveReport.h"
#include "ui/GdrEditedApplication.h"

#include <string>

namespace glo_ui {
namespace dialog {

const UINT kLiveMotionMessage = WM_APP + 1;
const UINT kRemoveSetupMessage = WM_APP + 2;
const WPARAM kRebuildOnly = 1; // kRemoveSetupMessage after a key combination was removed
const int kLargestDeadZone = 200;

// The speed sliders' positions: a factor of about the square root of two apart, 0.25x to 4x.
const int kSpeedSteps[] = {250, 350, 500, 700, 1000, 1400, 2000, 2800, 4000};
const int kSpeedPositions = sizeof(kSpeedSteps) / sizeof(kSpeedSteps[0]);

// Commands of the context menus.
const UINT kRemoveCommand = 1;
const UINT kRestoreCommand = 2;
const UINT kKeysCommand = 3;
const UINT kAssignCommand = 100;    // + direction
const UINT kReverseCommand = 200;   // + function axis
const UINT kRemoveOneCommand = 300; // + setup listed

// "x+" for direction 0 and so on.
inline std::wstring badgeOf(int direction) {
    return directionBadge(direction / 2, direction % 2 ? -1 : 1);
}

// The speed stored for `program` (null: all programs), in thousandths.
int storedSpeed(const wchar_t* program);
// Why a save failed, in the user's words.
std::wstring saveFailureText(const GLO_SaveReport& report);
// The last part of a path: the status line has room for a file's name, not for its folder.
std::wstring fileNameOf(const wchar_t* path);

} // namespace dialog
} // namespace glo_ui
