// The figures of a benchmark, printed in the form scripts/bench gathers into its table:
//
//   @figure | <name> | <value> | <unit> | <bound>
//
// one line per figure, anywhere in the benchmark's output. The bound is "<= x", ">= x",
// "x .. y" or empty (a figure without a bound). docs/performance.md describes the format.
#pragma once

#include <cstdio>

inline void benchFigure(const char* name, double value, int decimals, const char* unit,
                        const char* bound = "") {
    std::printf("@figure | %s | %.*f | %s | %s\n", name, decimals, value, unit, bound);
    std::fflush(stdout);
}
