// Motion shaping of the plug-in base against worked values: both curves, the dead band and the
// browser quantiser with its state carried across calls and reset.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tests/functions/PluginProbe.h"

using glotest::motion;
using glotest::Probe;

namespace {

struct Shaping : ::testing::Test {
    Probe probe;

    std::pair<int, int> quadratic(int a0, int a1) {
        CGlo_Event e = motion(a0, a1);
        probe.nonLinearTransformation(e);
        return {e.getAxis(0), e.getAxis(1)};
    }
    std::pair<int, int> exponential(int a0, int a1, int base = 0, double scale = 1.0) {
        CGlo_Event e = motion(a0, a1);
        probe.nonLinearTransformationExp(e, base, scale);
        return {e.getAxis(0), e.getAxis(1)};
    }
    std::pair<int, int> deadband(int x, int y) {
        int v[2] = {x, y};
        probe.motionDeadband(v);
        return {v[0], v[1]};
    }
    // Both axes get `value`: each keeps a cycle of its own.
    std::vector<int> quantised(int value, int n) {
        std::vector<int> out;
        for (int i = 0; i < n; ++i) {
            int v[2] = {value, value};
            probe.ieMotionTransformation(v);
            EXPECT_EQ(v[1], v[0]);
            out.push_back(v[0]);
        }
        return out;
    }
};

using Pair = std::pair<int, int>;

} // namespace

// Worked values of both curves; the exponential one takes a base and a scale (-1: quadratic).
TEST_F(Shaping, CurvesMatchTheWorkedValues) {
    const struct {
        int a0, a1, base;
        double scale;
        Pair out;
    } rows[] = {
        {100, 0, 0, -1, {15, 0}},   {-100, 0, 0, -1, {-15, 0}}, {350, 0, 0, -1, {363, 0}},
        {420, 0, 0, -1, {436, 0}},                           // the gain saturates
        {13, 0, 0, -1, {1, 0}},     {50, 50, 0, -1, {5, 5}}, // the gain takes both axes
        {100, 0, 0, 1, {13, 0}},    {-100, 0, 0, 1, {-13, 0}},  {349, 0, 0, 1, {345, 0}},
        {350, 0, 0, 1, {350, 0}},   {100, 0, 10, 1, {23, 0}},   {0, -300, 10, 1, {0, -199}},
        {100, 0, 0, 2, {28, 0}},    {200, 150, 0, 1, {85, 64}}, // one gain on the length
        {100, 50, 0, 0, {100, 50}},                             // no direction to keep
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.scale < 0 ? quadratic(row.a0, row.a1)
                                : exponential(row.a0, row.a1, row.base, row.scale),
                  row.out)
            << row.a0 << "," << row.a1 << " base " << row.base << " scale " << row.scale;
    EXPECT_GT(quadratic(2000000000, 0).first, 0); // saturates instead of wrapping
    // Other axes stay; a result of nothing is no event, a button event stays one.
    CGlo_Event e(12, 5, 7, 8, 9, 10, -1, 0);
    probe.nonLinearTransformation(e);
    EXPECT_EQ(e.getAxis(0) + e.getAxis(1), 0);
    EXPECT_EQ(e.getAxis(5), 10);
    EXPECT_TRUE(e.isMotionEvent());
    CGlo_Event small = motion(5, 5), tiny = motion(3, 4);
    EXPECT_TRUE(probe.nonLinearTransformation(small).isZeroEvent());
    EXPECT_TRUE(probe.nonLinearTransformationExp(tiny, 0, 1.0).isZeroEvent());
    CGlo_Event button(0, 0, 0, 0, 0, 0, 3, 1);
    EXPECT_TRUE(probe.nonLinearTransformationExp(button, 0, 1.0).isButtonEvent());
    for (int a0 = -400; a0 <= 400; a0 += 17)
        for (int a1 = -400; a1 <= 400; a1 += 23) {
            const Pair got = exponential(a0, a1, 60, 0.5);
            ASSERT_TRUE(got.first * a0 >= 0 && got.second * a1 >= 0) << a0 << "," << a1;
        }
}

TEST_F(Shaping, DeadBandTrailsTheInputAndResets) {
    int v[2] = {1, 1};
    EXPECT_TRUE(probe.motionDeadband(v)); // within 2 of (0, 0)
    EXPECT_EQ(Pair(v[0], v[1]), Pair(0, 0));
    EXPECT_EQ(deadband(10, 0), Pair(8, 0));
    int back[2] = {9, 1}; // within 2 of (8, 0): the output stays
    EXPECT_TRUE(probe.motionDeadband(back));
    EXPECT_EQ(Pair(back[0], back[1]), Pair(8, 0));
    EXPECT_EQ(deadband(0, 0), Pair(0, 0)); // resets
    EXPECT_EQ(deadband(1, 1), Pair(0, 0));
    EXPECT_EQ(deadband(10, 10), Pair(8, 8));     // along the line to the input
    EXPECT_FALSE(probe.motionDeadband(nullptr)); // resets too
    probe.setMotionDeadband(5.5);
    EXPECT_EQ(deadband(10, 0), Pair(4, 0));
    probe.setMotionDeadband(0.0);
    EXPECT_EQ(deadband(3, 4), Pair(3, 4));
    int same[2] = {3, 4};
    EXPECT_TRUE(probe.motionDeadband(same));
}

TEST_F(Shaping, QuantiserCyclesAndRestarts) {
    const struct {
        int value; // 2 * value / 3 = 20 * band + remainder
        std::vector<int> steps;
    } rows[] = {
        {15, {4, 24, 4, 24}},                   // remainder 10: 1 low, 1 high
        {68, {44, 64, 44, 44, 44, 64, 44, 44}}, // 5: 3 low, 1 high
        {78, {44, 64, 44, 64, 64, 44, 64}},     // 12: 2 low, 3 high
        {86, {64, 64, 64}},                     // 17: high only
        {90, {64, 64, 64}},                     // 0: low only
        {-30, {-24, -24}},
    };
    for (const auto& row : rows) {
        probe.ieMotionTransformation(nullptr);
        EXPECT_EQ(quantised(row.value, int(row.steps.size())), row.steps) << row.value;
    }
    // (0, 0) restarts the cycle as null does.
    probe.ieMotionTransformation(nullptr);
    EXPECT_EQ(quantised(15, 1), std::vector<int>{4});
    int rest[2] = {0, 0};
    probe.ieMotionTransformation(rest);
    EXPECT_EQ(quantised(15, 1), std::vector<int>{4});
}
