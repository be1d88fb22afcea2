// The figures of a benchmark, printed in the form scripts/bench gathers into its table:
//
//   @figure | <name> | <value> | <unit> | <bound>
//
// one line per figure, anywhere in the benchmark's output. The bound is "<= x", ">= x",
// "x .. y" or empty (a figure without a bound). docs/performance.md describes the format.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <vector>

inline void benchFigure(const char* name, double value, int decimals, const char* unit,
                        const char* bound = "") {
    std::printf("@figure | %s | %.*f | %s | %s\n", name, decimals, value, unit, bound);
    std::fflush(stdout);
}

// The sample at fraction p (0 to 1) of the sorted samples; p 1 is the largest.
inline double percentile(std::vector<double> samples, double p) {
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(p * (samples.size() - 1))];
}
