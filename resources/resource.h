// Identifiers of the core library's resources.
#pragma once

// The texts that plug-ins name too: one list for the SDK and the resource script.
#include "GloTextIds.h"

#define IDS_HOME_DIRECTORY_NOT_FOUND GLO_TEXT_HOME_NOT_FOUND
#define IDS_NO_USB_DEVICE GLO_TEXT_NO_USB_DEVICE

// Labels of the configuration dialog.
#define IDS_PLUGIN_FUNCTIONS GLO_TEXT_PLUGIN_FUNCTIONS
#define IDS_BUTTON GLO_TEXT_BUTTON
#define IDS_LINE GLO_TEXT_LINE
#define IDS_PLANE GLO_TEXT_PLANE
#define IDS_SPACE GLO_TEXT_SPACE
#define IDS_SETUP_THRESHOLD 100
#define IDS_BUTTON_PRESS 101
#define IDS_BUTTON_RELEASE 102
#define IDS_BUTTON_ANY_EVENT 103
#define IDS_ANY_BUTTON 104
#define IDS_REMOVE 105
#define IDS_TRANSLATION 106
#define IDS_ROTATION 107
#define IDS_NO_PLUGINS 108
#define IDS_ONE_SHOT 109
#define IDS_CAP_NOT_FOUND 110
#define IDS_CAP_UNREADABLE 111
#define IDS_CAP_TOO_LARGE 112
#define IDS_CAP_TRUNCATED 113
#define IDS_CAP_BAD_NUMBER 114
#define IDS_CAP_GARBAGE 115
#define IDS_CAP_EMPTY 116
#define IDS_CAP_PUCK 117

// The configuration dialog and its controls.
#define IDD_CONFIG_DIALOG 200
#define IDC_FUNCTIONS_LABEL 1001
#define IDC_FUNCTION_TREE 1002
#define IDC_AXIS_MAPPING 1003
#define IDC_CAP_VIEW 1004
#define IDC_HINT 1005
#define IDC_APPLY 1006
#define IDC_AXES_LABEL 1007
#define IDC_CAP_LABEL 1008
