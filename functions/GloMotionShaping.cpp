// Motion shaping of the plug-in base: the two curves, the dead band and the browser quantiser.
#include "GloPlugin.h"

#include <cmath>

#include "events/GloEventMath.h"

using glo_events::clampToInt;
using glo_events::truncToInt;

namespace {

// Low and high steps per cycle of the quantiser, by the input's remainder within its 20-pixel
// band.
const int kLowSteps[20] = {1, 1, 1, 1, 1, 3, 2, 2, 3, 1, 1, 1, 2, 1, 1, 1, 0, 0, 0, 0};
const int kHighSteps[20] = {0, 0, 0, 0, 0, 1, 1, 1, 2, 1, 1, 1, 3, 2, 2, 3, 1, 1, 1, 1};

} // namespace

// Squares and products are formed in 64 bits: the results equal the 32-bit rule wherever that
// does not overflow, and stay defined for extreme values.
CGlo_Event& CGlo_Plugin::nonLinearTransformation(CGlo_Event& event) {
    int values[6];
    event.getMotionData(values);
    const long long a0 = values[0], a1 = values[1];
    long long m = (a0 * a0 + a1 * a1) / 1225;
    if (m > 100)
        m = 100;
    values[0] = clampToInt((a0 + a0 * m / 8) / 13);
    values[1] = clampToInt((a1 + a1 * m / 8) / 13);
    event.setData(values);
    return event;
}

CGlo_Event& CGlo_Plugin::nonLinearTransformationExp(CGlo_Event& event, int base, double scale) {
    if (!event.isMotionEvent())
        return event;
    int values[6];
    event.getMotionData(values);
    const double x = values[0] * scale;
    const double y = values[1] * scale;
    const double length = std::sqrt(x * x + y * y);
    // A zero length (or scale) has no direction to keep: the values stay.
    if (!(length < 350.0) || !(length > 0.0))
        return event;
    const double e4 = std::exp(4.0);
    const double target =
        350.0 + (350.0 - base * scale) * (std::exp(4.0 * length / 350.0) - e4) / (e4 - 1.0);
    if (values[0] != 0)
        values[0] = truncToInt(x * target / (length * scale));
    if (values[1] != 0)
        values[1] = truncToInt(y * target / (length * scale));
    event.setData(values);
    return event;
}

bool CGlo_Plugin::motionDeadband(int* values) {
    if (values == nullptr || (values[0] == 0 && values[1] == 0)) {
        deadbandPoint.set(0.0, 0.0);
        return false;
    }
    CVector2D input(values[0], values[1]);
    CVector2D delta = input - deadbandPoint;
    bool inside = true;
    if (delta.getLen() > motionDeadbandDistance) {
        // The point trails the input at the dead-band distance.
        delta.setLen(delta.getLen() - motionDeadbandDistance);
        deadbandPoint += delta;
        inside = false;
    }
    values[0] = truncToInt(deadbandPoint.getX());
    values[1] = truncToInt(deadbandPoint.getY());
    return inside;
}

void CGlo_Plugin::ieMotionTransformation(int* values) {
    for (int i = 0; i < 2; ++i) {
        if (values == nullptr || (values[0] == 0 && values[1] == 0)) {
            lowStepCount[i] = 0;
            highStepCount[i] = 0;
            continue;
        }
        const int v = static_cast<int>(2LL * values[i] / 3);
        const int sign = v >= 0 ? 1 : -1;
        const int band = v / 20;
        const int remainder = (v < 0 ? -(v % 20) : v % 20);
        const int low = kLowSteps[remainder];
        const int high = kHighSteps[remainder];
        int& lows = lowStepCount[i];
        int& highs = highStepCount[i];
        if (lows >= low && highs >= high) { // a new cycle
            lows = low != 0 ? lows % low : 0;
            highs = high != 0 ? highs % high : 0;
        }
        if (lows >= low || (highs < high && lows > highs)) {
            values[i] = 20 * band + 24 * sign;
            ++highs;
        } else {
            values[i] = 20 * band + 4 * sign;
            ++lows;
        }
    }
}
