// Writes the events a clone window receives as a device trace that glo_driver replays
// (docs/trace-format.md). The copies carry the values after the core's scaling, z and c negated;
// a trace holds the driver's raw values, so each value is taken back through the same scaling:
// the raw value that the core scales to exactly the value seen (or the nearest one).
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "GdrProxy.h"

// The core's own scaling of raw values for one device type (SDK class CGdrProxy).
class CReplayScaling : public CGdrProxy {
public:
    explicit CReplayScaling(int deviceType) {
        m_deviceType = deviceType;
        updateMotionScaling();
    }
    // The smallest raw value that scales to `scaled`, or the one that comes nearest.
    int rawValue(int scaled) const;
};

class CTraceRecorder {
public:
    // Writes to `file` (kept open by the caller); `deviceType` as glo_driver --device-type.
    CTraceRecorder(FILE* file, int deviceType);
    ~CTraceRecorder() { finish(); }
    CTraceRecorder(const CTraceRecorder&) = delete;
    CTraceRecorder& operator=(const CTraceRecorder&) = delete;

    // A motion as the clone window got it (z and c negated), posted at `time` (milliseconds).
    void motion(const int copied[6], DWORD time);
    void button(int index, bool pressed, DWORD time);
    // Writes what is still held back; later events continue the trace.
    void finish();

    long inexactValues() const { return inexact; }

private:
    void add(const std::string& line, DWORD time);

    FILE* file;
    CReplayScaling scaling;
    bool started = false;
    DWORD lastTime = 0;
    // Equal events at equal intervals are written as one repeat block.
    std::string pendingLine;
    DWORD pendingWait = 0; // of the block's first event
    unsigned long pendingWaitSum = 0;
    long pendingCount = 0;
    long inexact = 0;
};
