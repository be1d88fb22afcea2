// The core's side of the user settings (GloUserSettings.h): reading the file when the core
// starts, and the speed as the worker applies it, without allocating or touching a file.
#pragma once

namespace glo_config {

// Speeds in thousandths of the normal speed.
const int kNormalSpeed = 1000;
const int kSlowestSpeed = 250;
const int kFastestSpeed = 4000;

// A program's speed from the factor for all programs and its own: their product, rounded, within
// the limits.
inline int combineSpeeds(int all, int own) {
    const long long speed = (static_cast<long long>(all) * own + kNormalSpeed / 2) / kNormalSpeed;
    return static_cast<int>(speed < kSlowestSpeed   ? kSlowestSpeed
                            : speed > kFastestSpeed ? kFastestSpeed
                                                    : speed);
}

// What reading the file found; `file` and `aside` (where an unreadable one was put) for the log.
struct SettingsLoad {
    enum Outcome {
        Read,      // read in full, or there was none
        SetAside,  // not all of it could be read: renamed to `aside`, what could be read is used
        HeldBack,  // could not be read nor renamed: not used, and never written over
        NoFileName // no user folder known
    } outcome;
    wchar_t file[300];
    wchar_t aside[320];
};

// Replaces what is in memory by the user's file. Driver's thread (ZuVidInit), not per event.
SettingsLoad loadUserSettings();

// Counts every change of the settings in memory, so that a reader can keep what it derived.
unsigned userSettingsGeneration();

// The speed of `program` as its worker applies it: the factor of all programs times its own,
// within kSlowestSpeed..kFastestSpeed. Takes a shared lock; allocates nothing.
int effectiveSpeed(const wchar_t* program);

} // namespace glo_config
