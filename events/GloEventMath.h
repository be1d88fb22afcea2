// Integer helpers of the event model: vector lengths and conversions that saturate instead of
// overflowing, so that extreme device values cannot turn into garbage or negative lengths.
#pragma once

#include <climits>
#include <cmath>
#include <cstdint>

namespace glo_events {

inline long long absWide(long long v) {
    return v < 0 ? -v : v;
}

inline int clampToInt(long long v) {
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

// Truncates toward zero; NaN reads as 0, values beyond the int range saturate.
inline int truncToInt(double v) {
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return INT_MAX;
    if (v <= -2147483648.0)
        return INT_MIN;
    return static_cast<int>(v);
}

// Truncated Euclidean length of n values. The squares are summed in 64 bits and the root is
// corrected to the exact integer floor, which equals a double square root truncated for every
// sum inside the 32-bit range; lengths beyond the int range saturate.
inline int vectorLength(const int* values, int n) {
    uint64_t sum = 0;
    for (int i = 0; i < n; ++i) {
        const uint64_t a = static_cast<uint64_t>(absWide(values[i]));
        const uint64_t sq = a * a; // at most 2^62
        if (sum > UINT64_MAX - sq)
            return INT_MAX;
        sum += sq;
    }
    // (INT_MAX + 1)^2 = 2^62: any sum from there on has a length outside the int range.
    if (sum >= (uint64_t(1) << 62))
        return INT_MAX;
    uint64_t r = static_cast<uint64_t>(std::sqrt(static_cast<double>(sum)));
    while (r * r > sum)
        --r;
    while ((r + 1) * (r + 1) <= sum)
        ++r;
    return static_cast<int>(r);
}

} // namespace glo_events
