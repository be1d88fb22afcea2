// The user's speed as the worker applies it to a continuous function: the motion it hands over
// is scaled, and while the function runs the speed is in effect on the worker's thread, where
// the repeat triggers read it (CTrigger::IsTriggered).
#pragma once

#include "GloEvent.h"

namespace glo_runtime {

// Thousandths of the normal speed.
const int kNormalSpeed = 1000;

// The speed in effect on the calling thread: kNormalSpeed outside a function run at a speed.
int speedInEffect();

// Puts a speed in effect on this thread for one scope, and the previous one back after it.
class CSpeedScope {
public:
    explicit CSpeedScope(int speed);
    ~CSpeedScope();
    CSpeedScope(const CSpeedScope&) = delete;
    CSpeedScope& operator=(const CSpeedScope&) = delete;

private:
    int previous;
};

// Each axis of a motion times speed / 1000, rounded to the nearest; an axis that moves keeps
// moving (at least one count its way), so a slow speed never turns a motion into a rest. Other
// events and the normal speed leave the event as it is.
inline void scaleMotion(CGlo_Event& event, int speed) {
    if (!event.isMotionEvent() || speed == kNormalSpeed)
        return;
    int values[6];
    event.getMotionData(values);
    for (int& value : values) {
        if (value == 0)
            continue;
        const long long v = value;
        long long scaled =
            (v * speed + (v < 0 ? -kNormalSpeed / 2 : kNormalSpeed / 2)) / kNormalSpeed;
        if (scaled == 0)
            scaled = v < 0 ? -1 : 1;
        value = scaled > 0x7fffffffLL    ? 0x7fffffff
                : scaled < -0x7fffffffLL ? -0x7fffffff
                                         : static_cast<int>(scaled);
    }
    event.setData(values);
}

} // namespace glo_runtime
