// Repeat trigger: derived parameters, firing counts over many calls, degenerate settings.
#include <gtest/gtest.h>

#include "GloTrigger.h"

#include <climits>
#include <cstring>
#include <vector>

namespace {

// The exported layout: nine signed 64-bit fields in this order.
struct Fields {
    long long eventRate, threshold, accumulator, minRepeat, maxRepeat, inputMin, inputMax, slope,
        offset;
};
static_assert(sizeof(CTrigger) == sizeof(Fields), "plug-ins rely on the trigger layout");

Fields fieldsOf(const CTrigger& trigger) {
    Fields f;
    std::memcpy(&f, &trigger, sizeof f);
    return f;
}

// 1-based numbers of the calls that fired.
std::vector<int> firingCalls(CTrigger& trigger, long deflection, int calls) {
    std::vector<int> result;
    for (int i = 1; i <= calls; ++i)
        if (trigger.IsTriggered(deflection))
            result.push_back(i);
    return result;
}

size_t countFires(CTrigger& trigger, long deflection, int calls) {
    return firingCalls(trigger, deflection, calls).size();
}

CTrigger makeTrigger(long minRepeat, long maxRepeat, long minInput, long maxInput) {
    CTrigger t;
    t.SetRepeatRate(minRepeat, maxRepeat);
    t.SetInputRange(minInput, maxInput);
    return t;
}

} // namespace

TEST(Trigger, DerivesWorkedParameters) {
    const struct {
        CTrigger trigger;
        long long threshold, slope, offset;
    } cases[] = {{CTrigger(), 20000000, 47500, 1000000},
                 {makeTrigger(1, 50, 60, 350), 1450000, 2450, -132500},
                 {makeTrigger(1, 5, 60, 350), 145000, 20, 250},
                 {makeTrigger(-5, -100, -0, -400), 20000000, 47500, 1000000}};
    for (const auto& c : cases) {
        const Fields f = fieldsOf(c.trigger);
        EXPECT_EQ(f.threshold, c.threshold);
        EXPECT_EQ(f.slope, c.slope);
        EXPECT_EQ(f.offset, c.offset);
        EXPECT_EQ(f.accumulator, c.threshold / 2);
    }
}

TEST(Trigger, RateFollowsTheDeflection) {
    CTrigger idle;
    std::vector<int> calls = firingCalls(idle, 0, 1000);
    ASSERT_EQ(calls.size(), 50u); // 5 per second, the first after half an interval
    EXPECT_EQ(calls[0], 10);
    EXPECT_EQ(calls[49] - calls[48], 20);

    CTrigger full, beyond, half, positive, negative;
    EXPECT_EQ(countFires(full, 400, 1000), 1000u);
    EXPECT_EQ(countFires(beyond, 800, 1000), 1000u); // never more than once per call
    EXPECT_EQ(countFires(half, 200, 10000), 5250u);  // 52.5 per second, exact over 100 s
    EXPECT_EQ(firingCalls(positive, 137, 3000), firingCalls(negative, -137, 3000));

    CTrigger fast = makeTrigger(1, 50, 60, 350), slow = fast, below = fast;
    EXPECT_EQ(countFires(fast, 350, 1000), 500u);
    std::vector<int> atMinimum = firingCalls(slow, 60, 1000);
    EXPECT_EQ(atMinimum.size(), 10u);
    EXPECT_EQ(firingCalls(below, -20, 1000), atMinimum);
}

TEST(Trigger, ResetAndZeroPlaceTheFirstRepeat) {
    CTrigger t;
    countFires(t, 123, 77);
    t.ZeroTrigger();
    EXPECT_EQ(firingCalls(t, 0, 20).front(), 20);
    countFires(t, 321, 13);
    t.ResetTrigger();
    EXPECT_EQ(firingCalls(t, 0, 20).front(), 10);
}

TEST(Trigger, DegenerateSettingsNeverDivideByZero) {
    CTrigger noEvents, emptyRange = makeTrigger(5, 100, 100, 100);
    CTrigger reversed = makeTrigger(5, 100, 400, 0);
    CTrigger huge = makeTrigger(LONG_MAX, LONG_MAX, 0, LONG_MAX); // threshold beyond 64 bits
    noEvents.SetEventRate(0);
    for (CTrigger* t : {&noEvents, &emptyRange, &reversed, &huge}) {
        EXPECT_EQ(fieldsOf(*t).threshold, 0);
        for (long d : {0L, 400L, LONG_MIN})
            EXPECT_EQ(countFires(*t, d, 200), 0u) << d;
    }
    noEvents.SetEventRate(100);
    EXPECT_EQ(countFires(noEvents, 400, 100), 100u);

    // A zero repeat rate is an end of the rate line.
    CTrigger fromZero = makeTrigger(0, 100, 0, 400), toZero = makeTrigger(5, 0, 0, 400);
    EXPECT_EQ(countFires(fromZero, 0, 1000), 0u);
    EXPECT_EQ(countFires(fromZero, 200, 1000), 500u);
    EXPECT_EQ(countFires(toZero, 0, 1000), 50u);
    toZero.ResetTrigger();
    EXPECT_EQ(countFires(toZero, 400, 1000), 0u);

    // LONG_MIN times this slope exceeds 64 bits: saturates and fires once per call.
    CTrigger steep = makeTrigger(1, 2000000, 0, 400);
    EXPECT_EQ(countFires(steep, LONG_MIN, 50), 50u);
    EXPECT_GE(fieldsOf(steep).accumulator, 0);
}
