#include "GloTrigger.h"

#include <climits>

#include "runtime/GloSpeed.h"

namespace {

// Magnitude in 64 bits, so that LONG_MIN has one.
long long magnitude(long value) {
    const long long v = value;
    return v < 0 ? -v : v;
}

long long saturatingAdd(long long a, long long b) {
    long long sum;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? LLONG_MAX : LLONG_MIN;
    return sum;
}

long long saturatingMul(long long a, long long b) {
    long long product;
    if (__builtin_mul_overflow(a, b, &product))
        return (a < 0) != (b < 0) ? LLONG_MIN : LLONG_MAX;
    return product;
}

} // namespace

CTrigger::CTrigger()
    : m_eventRate(100), m_threshold(0), m_accumulator(0), m_minRepeat(5), m_maxRepeat(100),
      m_inputMin(0), m_inputMax(400), m_slope(0), m_offset(0) {
    CalculateParameters();
    ResetTrigger();
}

void CTrigger::SetRepeatRate(long minimum, long maximum) {
    m_minRepeat = magnitude(minimum);
    m_maxRepeat = magnitude(maximum);
    CalculateParameters();
    ResetTrigger();
}

void CTrigger::SetInputRange(long minimum, long maximum) {
    m_inputMin = magnitude(minimum);
    m_inputMax = magnitude(maximum);
    CalculateParameters();
    ResetTrigger();
}

void CTrigger::SetEventRate(long rate) {
    m_eventRate = magnitude(rate);
    CalculateParameters();
    ResetTrigger();
}

// T = rate * min * max * R, slope = (max - min) * T / (rate * R) and
// offset = T * min / rate - slope * input min. Both quotients are exact, so
// they are computed in their cancelled form, which cannot overflow where the
// long form would.
void CTrigger::CalculateParameters() {
    m_threshold = m_slope = m_offset = 0;
    const long long range = m_inputMax - m_inputMin;
    if (m_eventRate < 1 || range < 1)
        return;

    // A zero repeat rate stays in the rate line but must not zero the threshold.
    const long long minFactor = m_minRepeat > 0 ? m_minRepeat : 1;
    const long long maxFactor = m_maxRepeat > 0 ? m_maxRepeat : 1;

    long long factors, perRate, threshold, slope, base, shift, offset;
    bool overflow = __builtin_mul_overflow(minFactor, maxFactor, &factors);
    overflow |= __builtin_mul_overflow(factors, range, &perRate);
    overflow |= __builtin_mul_overflow(m_eventRate, perRate, &threshold);
    overflow |= __builtin_mul_overflow(m_maxRepeat - m_minRepeat, factors, &slope);
    overflow |= __builtin_mul_overflow(m_minRepeat, perRate, &base);
    overflow |= __builtin_mul_overflow(slope, m_inputMin, &shift);
    overflow |= __builtin_sub_overflow(base, shift, &offset);
    if (overflow)
        return;

    m_threshold = threshold;
    m_slope = slope;
    m_offset = offset;
}

// At a speed s other than the normal one the worker hands over the deflection d as s * d. The
// rate line's slope part then grows by s already; scaling the offset and the input minimum by
// s as well makes the whole rate s times the rate of d, which scaling the input alone would not
// (the offset would stay, and the low end would not move below the input minimum).
bool CTrigger::IsTriggered(long deflection) {
    if (m_threshold <= 0)
        return false;

    const long long speed = glo_runtime::speedInEffect();
    long long minimum = m_inputMin, offset = m_offset;
    if (speed != glo_runtime::kNormalSpeed) {
        minimum = saturatingMul(m_inputMin, speed) / glo_runtime::kNormalSpeed;
        offset = saturatingMul(m_offset, speed) / glo_runtime::kNormalSpeed;
    }
    long long a = magnitude(deflection);
    if (a < minimum)
        a = minimum;
    // No upper clamp: a deflection beyond the range raises the rate further.
    const long long increment = saturatingAdd(saturatingMul(a, m_slope), offset);
    m_accumulator = saturatingAdd(m_accumulator, increment);
    if (m_accumulator < m_threshold)
        return false;
    m_accumulator %= m_threshold;
    return true;
}

void CTrigger::ResetTrigger() {
    m_accumulator = m_threshold >> 1;
}

void CTrigger::ZeroTrigger() {
    m_accumulator = 0;
}
