// Key combinations: a virtual-key code with modifiers, as the plug-in base sends them and as the
// user puts them on the device's buttons (GloUserSettings.h).
#pragma once

// Modifiers of a key combination, as a set; the values are those of the system's hot-key control
// (HOTKEYF_SHIFT, HOTKEYF_CONTROL, HOTKEYF_ALT), so that what it captures is used as it stands.
enum GLO_KeyModifier : unsigned {
    GLO_KeyShift = 1,
    GLO_KeyCtrl = 2,
    GLO_KeyAlt = 4,
    GLO_KeyAllModifiers = 7
};
