// Repeat trigger: firing counts over many calls, and degenerate settings that stay inert.
#include <gtest/gtest.h>

#include "GloTrigger.h"

#include <climits>
#include <vector>

static_assert(sizeof(CTrigger) == 9 * sizeof(long long), "plug-ins rely on the trigger layout");

namespace {

// 1-based numbers of the calls that fired.
std::vector<int> firingCalls(CTrigger& trigger, long deflection, int calls) {
    std::vector<int> result;
    for (int i = 1; i <= calls; ++i)
        if (trigger.IsTriggered(deflection))
            result.push_back(i);
    return result;
}

CTrigger make(long minRepeat, long maxRepeat, long minInput, long maxInput, long eventRate = 100) {
    CTrigger t;
    t.SetRepeatRate(minRepeat, maxRepeat);
    t.SetInputRange(minInput, maxInput);
    t.SetEventRate(eventRate);
    return t;
}

} // namespace

TEST(Trigger, FiresAtTheRateOfTheDeflection) {
    // Over 2000 calls, 20 s at the event rate of 100.
    struct {
        CTrigger trigger;
        long deflection;
        size_t fires;
    } cases[] = {{CTrigger(), 400, 2000},
                 {CTrigger(), 800, 2000}, // never more than once per call
                 {CTrigger(), 200, 1050}, // 52.5 per second, exact
                 {make(1, 50, 60, 350), 350, 1000},
                 {make(1, 50, 60, 350), 60, 20},
                 {make(1, 50, 60, 350), -20, 20}, // below the range: the minimum rate
                 {make(0, 100, 0, 400), 0, 0},    // a zero repeat rate ends the line
                 {make(0, 100, 0, 400), 200, 1000},
                 {make(5, 0, 0, 400), 0, 100},
                 {make(5, 0, 0, 400), 400, 0},
                 {make(1, 2000000, 0, 400), LONG_MIN, 2000}}; // saturates beyond 64 bits
    for (auto& c : cases)
        EXPECT_EQ(firingCalls(c.trigger, c.deflection, 2000).size(), c.fires) << c.deflection;

    CTrigger idle, positive, negative;
    const std::vector<int> calls = firingCalls(idle, 0, 1000);
    ASSERT_EQ(calls.size(), 50u); // 5 per second, the first after half an interval
    EXPECT_EQ(calls[0], 10);
    EXPECT_EQ(calls[49] - calls[48], 20);
    EXPECT_EQ(firingCalls(positive, 137, 3000), firingCalls(negative, -137, 3000));
}

TEST(Trigger, DegenerateSettingsNeverFireNorDivideByZero) {
    // No events, an empty or reversed input range, a threshold beyond 64 bits.
    for (CTrigger t : {make(5, 100, 0, 400, 0), make(5, 100, 100, 100), make(5, 100, 400, 0),
                       make(LONG_MAX, LONG_MAX, 0, LONG_MAX)})
        for (long d : {0L, 400L, LONG_MIN})
            EXPECT_EQ(firingCalls(t, d, 200).size(), 0u) << d;
}
