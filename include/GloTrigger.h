// Repeat trigger: turns a stream of cap deflections into discrete repeats.
#pragma once

#include "GloExport.h"

// Fires at a rate that grows linearly with the deflection: the minimum repeat
// rate at the input minimum, the maximum repeat rate at the input maximum, and
// further along the same line above it (at most once per call). The caller
// calls IsTriggered event-rate times per second. Exact 64-bit integer
// arithmetic; the accumulator keeps the remainder so the average rate is exact.
//
// The user's speed: a continuous function that a worker runs at a speed other than the normal
// one (CGlo_UserSettings) is handed its motion scaled by that speed, and while it runs, a
// trigger it asks fires at that many times the rate of the unscaled deflection (its input
// minimum and offset follow the speed), up to once per call. Elsewhere the speed is normal.
//
// Degenerate settings never divide by zero:
// - An event rate of 0, or an input maximum not above the input minimum, makes
//   the trigger inert: threshold, slope and offset are 0 and IsTriggered is
//   always false.
// - A repeat rate of 0 is a valid end of the line (0 repeats per second at that
//   end); only the threshold uses 1 in its place so that it stays nonzero.
// - Settings whose threshold does not fit in 64 bits also make it inert.
// - Increments beyond the 64-bit range saturate instead of overflowing.
class GLO_API CTrigger {
public:
    // Event rate 100, repeats 5 to 100 per second, input range 0 to 400.
    CTrigger();

    // Each setter stores absolute values, recomputes the parameters and sets
    // the accumulator to half the threshold.
    void SetRepeatRate(long minimum, long maximum);
    void SetInputRange(long minimum, long maximum);
    void SetEventRate(long rate);

    // One step of the stream; the sign of the deflection does not matter.
    bool IsTriggered(long deflection);

    // The next repeat after half an interval (Reset) or a full one (Zero).
    void ResetTrigger();
    void ZeroTrigger();

private:
    void CalculateParameters();

    long long m_eventRate;
    long long m_threshold;
    long long m_accumulator;
    long long m_minRepeat;
    long long m_maxRepeat;
    long long m_inputMin;
    long long m_inputMax;
    long long m_slope;
    long long m_offset;
};
