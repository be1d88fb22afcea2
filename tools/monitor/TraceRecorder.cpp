#include "TraceRecorder.h"

#include <cstdlib>

namespace {
// Far beyond any device's range; the scaled values of a copy have 16 bits.
const int kMaxRaw = 1 << 24;
const long kJitterMs = 3;
} // namespace

int CReplayScaling::rawValue(int scaled) const {
    if (scaled == 0)
        return 0;
    const long long wanted = std::llabs(static_cast<long long>(scaled));
    // The scaling grows with the raw value: search the first that reaches the value.
    int low = 1, high = kMaxRaw;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (scaleAxis(middle) >= wanted)
            high = middle;
        else
            low = middle + 1;
    }
    int raw = low;
    if (scaleAxis(raw) != wanted && raw > 1 &&
        wanted - scaleAxis(raw - 1) < scaleAxis(raw) - wanted)
        raw -= 1;
    return scaled < 0 ? -raw : raw;
}

CTraceRecorder::CTraceRecorder(FILE* file, int deviceType) : file(file), scaling(deviceType) {
    std::fprintf(
        file,
        "# Recorded by glo_monitor from the core's copies of the device's events: raw\n"
        "# values of device type %d (glo_driver --device-type, 21 by default), and the\n"
        "# pauses between the events. Replay: glo_driver FILE\n"
        "rate 0\n"
        "wait 500                      # time for a monitor to register its clone window\n",
        deviceType);
    std::fflush(file);
}

void CTraceRecorder::motion(const int copied[6], DWORD time) {
    bool still = true;
    for (int i = 0; i < 6; ++i)
        still = still && copied[i] == 0;
    if (still) {
        add("zero", time);
        return;
    }
    std::string line = "motion";
    for (int i = 0; i < 6; ++i) {
        // The copy carries z and c as the plug-ins see them: the driver sent them negated.
        const int seen = i == 2 || i == 5 ? -copied[i] : copied[i];
        const int raw = scaling.rawValue(seen);
        if (scaling.scaleAxis(raw) != seen)
            ++inexact;
        line += " " + std::to_string(raw);
    }
    add(line, time);
}

void CTraceRecorder::button(int index, bool pressed, DWORD time) {
    add((pressed ? "press " : "release ") + std::to_string(index), time);
}

void CTraceRecorder::add(const std::string& line, DWORD time) {
    const DWORD wait = started ? time - lastTime : 0;
    started = true;
    lastTime = time;
    // A device reports at a steady rate give or take the scheduler: equal events a few
    // milliseconds apart share one mean pause, which keeps the gesture's length.
    const long apart = static_cast<long>(wait) - static_cast<long>(pendingWait);
    if (pendingCount > 0 && line == pendingLine && apart >= -kJitterMs && apart <= kJitterMs) {
        ++pendingCount;
        pendingWaitSum += wait;
        return;
    }
    finish();
    pendingLine = line;
    pendingWait = wait;
    pendingWaitSum = wait;
    pendingCount = 1;
}

void CTraceRecorder::finish() {
    if (pendingCount == 0)
        return;
    const unsigned long mean = (pendingWaitSum + pendingCount / 2) / pendingCount;
    const std::string wait = mean > 0 ? "wait " + std::to_string(mean) : "";
    if (pendingCount == 1) {
        if (!wait.empty())
            std::fprintf(file, "%s\n", wait.c_str());
        std::fprintf(file, "%s\n", pendingLine.c_str());
    } else {
        std::fprintf(file, "repeat %ld\n", pendingCount);
        if (!wait.empty())
            std::fprintf(file, "  %s\n", wait.c_str());
        std::fprintf(file, "  %s\nend\n", pendingLine.c_str());
    }
    std::fflush(file);
    pendingCount = 0;
}
