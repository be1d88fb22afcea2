// The worker's repeat grid: late runs shorten the next wait, missed ticks are skipped, and the
// next tick is never in the past.
#include <gtest/gtest.h>

#include "runtime/GloRepeatSchedule.h"

using glo_runtime::nextRepeatDue;

TEST(RepeatSchedule, StaysOnTheGridOfTheFirstRun) {
    const long long period = 100000; // 10 ms in 100 ns units
    const long long start = 5000000000LL;
    // On time, and woken or finished late within the period: the next grid point.
    EXPECT_EQ(nextRepeatDue(start, start + 10, period), start + period);
    EXPECT_EQ(nextRepeatDue(start, start + 30000, period), start + period);
    EXPECT_EQ(nextRepeatDue(start, start + period - 1, period), start + period);
    // Exactly at or past the next point: that tick is missed and skipped, not made up.
    EXPECT_EQ(nextRepeatDue(start, start + period, period), start + 2 * period);
    EXPECT_EQ(nextRepeatDue(start, start + 250000, period), start + 3 * period);
    // A long stall keeps the phase: 100 ticks later the grid is the same.
    const long long late = nextRepeatDue(start, start + 100 * period + 7, period);
    EXPECT_EQ(late, start + 101 * period);
    EXPECT_EQ(nextRepeatDue(late, late + 20, period), start + 102 * period);
    // A clock reading before the tick that just fired still moves on by one period.
    EXPECT_EQ(nextRepeatDue(start, start - 50, period), start + period);
}
