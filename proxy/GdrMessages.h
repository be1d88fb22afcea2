// Identifiers of the registered window messages, in registration order.
#pragma once

#include <windows.h>

struct GdrMessages {
    GdrMessages();
    UINT debugEvent;
    UINT configChanged;
    UINT registerClone;
    UINT motionXYZ;
    UINT motionABC;
    UINT buttonData;
    UINT nonLinearInfoChanged;
};

extern GdrMessages g_gdrMessages;

// The clone window that receives copies of decoded events; null when none.
extern HWND g_gdrCloneWindow;
