// Motion shaping of the plug-in base: the worked values, and the rules recomputed here from
// their definitions over many inputs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

#include "PluginProbe.h"

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
    std::pair<int, int> exponential(int a0, int a1, int base, double scale) {
        CGlo_Event e(a0, a1, 0, 0, 0, 0, -1, 0);
        probe.nonLinearTransformationExp(e, base, scale);
        return {e.getAxis(0), e.getAxis(1)};
    }
};

// The quadratic rule with the truncations where they are written.
int quadraticReference(int a, int a0, int a1) {
    int m = (a0 * a0 + a1 * a1) / 1225;
    if (m > 100)
        m = 100;
    return (a + (a * m) / 8) / 13;
}

// Low and high steps per cycle from the rounding rule (not from a table).
void ratio(int r, int& p, int& q) {
    const int t = 20 - r;
    if (r == 0) {
        p = 20, q = 0;
    } else if (r <= 10) {
        q = 1, p = (t + r / 2) / r;
        if (r > 1 && 2 * (t % r) == r)
            p = 2 * (t / r) + 1, q = 2;
    } else {
        p = 1, q = (r + t / 2) / t;
        if (2 * (r % t) == t)
            q = 2 * (r / t) + 1, p = 2;
    }
    if (p > 3)
        p = 1, q = 0;
    if (q > 3)
        p = 0, q = 1;
}

// One axis of the quantiser, written from its definition.
struct QuantiserReference {
    int lows = 0, highs = 0;
    int step(int value) {
        const int v = 2 * value / 3, sign = v >= 0 ? 1 : -1, k = v / 20, r = std::abs(v) % 20;
        int p, q;
        ratio(r, p, q);
        if (lows >= p && highs >= q) {
            lows = p ? lows % p : 0;
            highs = q ? highs % q : 0;
        }
        const bool high = lows >= p || (highs < q && lows > highs);
        (high ? highs : lows) += 1;
        return 20 * k + (high ? 24 : 4) * sign;
    }
};

} // namespace

TEST_F(Shaping, QuadraticGainMatchesTheWorkedValuesAndTheRule) {
    EXPECT_EQ(quadratic(100, 0), std::make_pair(15, 0));
    EXPECT_EQ(quadratic(350, 0), std::make_pair(363, 0));
    EXPECT_EQ(quadratic(13, 0), std::make_pair(1, 0));
    EXPECT_EQ(quadratic(50, 50), std::make_pair(5, 5));
    for (int a0 = -420; a0 <= 420; a0 += 13)
        for (int a1 = -420; a1 <= 420; a1 += 29) {
            const int e0 = quadraticReference(a0, a0, a1), e1 = quadraticReference(a1, a0, a1);
            ASSERT_EQ(quadratic(a0, a1), std::make_pair(e0, e1)) << a0 << "," << a1;
        }
    // Everything else stays; a result of nothing is no event; a button event carries no motion.
    CGlo_Event e(12, 5, 7, 8, 9, 10, -1, 0);
    probe.nonLinearTransformation(e);
    EXPECT_EQ(e.getAxis(0) + e.getAxis(1), 0);
    EXPECT_EQ(e.getAxis(5), 10);
    EXPECT_TRUE(e.isMotionEvent());
    CGlo_Event small(5, 5, 0, 0, 0, 0, -1, 0);
    EXPECT_TRUE(probe.nonLinearTransformation(small).isZeroEvent());
    // Extreme values saturate instead of wrapping.
    EXPECT_GT(quadratic(2000000000, 0).first, 0);
}

TEST_F(Shaping, ExponentialCurveMatchesTheWorkedValuesAndKeepsTheDirection) {
    EXPECT_EQ(exponential(100, 0, 0, 1.0), std::make_pair(13, 0));
    EXPECT_EQ(exponential(349, 0, 0, 1.0), std::make_pair(345, 0));
    EXPECT_EQ(exponential(350, 0, 0, 1.0), std::make_pair(350, 0));
    EXPECT_EQ(exponential(100, 0, 10, 1.0), std::make_pair(23, 0));
    CGlo_Event tiny(3, 4, 0, 0, 0, 0, -1, 0);
    EXPECT_TRUE(probe.nonLinearTransformationExp(tiny, 0, 1.0).isZeroEvent());
    CGlo_Event button(0, 0, 0, 0, 0, 0, 3, 1);
    EXPECT_TRUE(probe.nonLinearTransformationExp(button, 0, 1.0).isButtonEvent());

    const double e4 = std::exp(4.0);
    for (double scale : {0.5, 1.0, 2.0})
        for (int base : {0, 10, 60})
            for (int a0 = -400; a0 <= 400; a0 += 17)
                for (int a1 = -400; a1 <= 400; a1 += 23) {
                    const double x = a0 * scale, y = a1 * scale, l = std::hypot(x, y);
                    int want0 = a0, want1 = a1;
                    if (l > 0 && l < 350) {
                        const double m =
                            350 + (350 - base * scale) * (std::exp(4 * l / 350) - e4) / (e4 - 1);
                        want0 = a0 ? int(x * m / (l * scale)) : 0;
                        want1 = a1 ? int(y * m / (l * scale)) : 0;
                    }
                    const auto got = exponential(a0, a1, base, scale);
                    ASSERT_EQ(got, std::make_pair(want0, want1))
                        << a0 << "," << a1 << " base " << base << " scale " << scale;
                    ASSERT_TRUE(got.first * a0 >= 0 && got.second * a1 >= 0); // same direction
                }
    // A zero scale has no direction to keep: nothing becomes undefined.
    EXPECT_EQ(exponential(100, 50, 0, 0.0), std::make_pair(100, 50));
}

TEST_F(Shaping, DeadBandTrailsTheInputAndResets) {
    int v[2] = {1, 1};
    EXPECT_TRUE(probe.motionDeadband(v)); // within 2 of (0, 0)
    EXPECT_EQ(v[0] + v[1], 0);
    int w[2] = {10, 0};
    EXPECT_FALSE(probe.motionDeadband(w));
    EXPECT_EQ(w[0], 8);
    int back[2] = {9, 1}; // within 2 of (8, 0): the output stays
    EXPECT_TRUE(probe.motionDeadband(back));
    EXPECT_EQ(back[0], 8);
    int rest[2] = {0, 0};
    EXPECT_FALSE(probe.motionDeadband(rest));
    int again[2] = {1, 1};
    EXPECT_TRUE(probe.motionDeadband(again)); // the point was reset to (0, 0)
    EXPECT_EQ(again[0], 0);
    EXPECT_FALSE(probe.motionDeadband(nullptr));

    // Random walks against the rule in plain doubles, with several dead bands.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> step(-9, 9);
    for (double band : {2.0, 5.5, 0.0}) {
        probe.setMotionDeadband(band);
        probe.motionDeadband(nullptr);
        double px = 0, py = 0;
        int x = 0, y = 0;
        for (int i = 0; i < 3000; ++i) {
            x += step(random), y += step(random);
            if (i % 500 == 499)
                x = y = 0;
            int values[2] = {x, y};
            const bool inside = probe.motionDeadband(values);
            bool want = false;
            if (x == 0 && y == 0) {
                px = py = 0;
            } else {
                // The same operations in the same order as the vector class.
                const double dx = x - px, dy = y - py, d = std::sqrt(dy * dy + dx * dx);
                want = d <= band;
                const double factor = want ? 0.0 : (d - band) / d;
                px += dx * factor, py += dy * factor;
            }
            ASSERT_EQ(inside, want) << i;
            ASSERT_EQ(values[0], x == 0 && y == 0 ? 0 : int(px)) << i;
            ASSERT_EQ(values[1], x == 0 && y == 0 ? 0 : int(py)) << i;
        }
    }
}

TEST_F(Shaping, QuantiserCyclesFollowTheirRatioAndRestart) {
    auto run = [&](int a0, int a1, int n) {
        std::vector<int> out;
        for (int i = 0; i < n; ++i) {
            int v[2] = {a0, a1};
            probe.ieMotionTransformation(v);
            out.push_back(v[0]);
        }
        return out;
    };
    EXPECT_EQ(run(15, 7, 6), (std::vector<int>{4, 24, 4, 24, 4, 24}));
    probe.ieMotionTransformation(nullptr);
    EXPECT_EQ(run(45, 7, 4), (std::vector<int>{24, 44, 24, 44}));
    EXPECT_EQ(run(90, 7, 3), (std::vector<int>{64, 64, 64}));
    EXPECT_EQ(run(-30, 7, 3), (std::vector<int>{-24, -24, -24}));
    EXPECT_EQ(run(0, 7, 2), (std::vector<int>{4, 4}));
    int axis1[2] = {0, 7};
    probe.ieMotionTransformation(axis1);
    EXPECT_EQ(axis1[1], 4);

    // Each remainder's cycle holds its low and high steps in the table's ratio.
    for (int r = 0; r < 20; ++r) {
        int p, q;
        ratio(r, p, q);
        probe.ieMotionTransformation(nullptr);
        const int value = 3 * (40 + r) / 2 + (3 * (40 + r)) % 2; // 2 * value / 3 == 40 + r
        const std::vector<int> out = run(value, 0, 12 * (p + q));
        int lows = 0, highs = 0;
        for (int v : out) {
            if (v == 44)
                ++lows;
            else if (v == 64)
                ++highs;
            else
                ADD_FAILURE() << "r " << r << " gave " << v;
        }
        EXPECT_EQ(lows * q, highs * p) << "r " << r;
    }

    // Sequences with changing values, restarts by (0, 0) and by null, against the definition.
    std::mt19937 random(11);
    std::uniform_int_distribution<int> value(-200, 200);
    probe.ieMotionTransformation(nullptr);
    QuantiserReference reference[2];
    for (int i = 0; i < 5000; ++i) {
        int v[2] = {value(random), value(random)};
        if (i % 97 == 0)
            v[0] = v[1] = 0;
        const bool dropped = i % 251 == 0;
        if (dropped || (v[0] == 0 && v[1] == 0)) {
            probe.ieMotionTransformation(dropped ? nullptr : v);
            reference[0] = reference[1] = QuantiserReference();
            continue;
        }
        const int want0 = reference[0].step(v[0]), want1 = reference[1].step(v[1]);
        probe.ieMotionTransformation(v);
        ASSERT_EQ(v[0], want0) << i;
        ASSERT_EQ(v[1], want1) << i;
    }
}
