#include <gtest/gtest.h>

#include <climits>

#include "GloEvent.h"

namespace {

void expectAxes(const CGlo_Event& e, int a0, int a1, int a2, int a3, int a4, int a5) {
    const int want[6] = {a0, a1, a2, a3, a4, a5};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(e.getAxis(i), want[i]) << "axis " << i;
}

TEST(Event, ConstructionKeepsTheInvariantsOfEachKind) {
    CGlo_Event motion(3, 4, 0, 0, 0, 0, -1, 9);
    EXPECT_TRUE(motion.isMotionEvent());
    EXPECT_EQ(motion.getVectorLength(), 5);
    EXPECT_EQ(motion.getButtonState(), 0);
    EXPECT_EQ(CGlo_Event(1, 1, 1, 0, 0, 0, -1, 0).getVectorLength(), 1); // sqrt(3) truncated
    EXPECT_TRUE(CGlo_Event(0, 0, 0, 0, 0, 0, -1, 0).isZeroEvent());

    CGlo_Event press(5, 6, 7, 8, 9, 10, 4, 1);
    EXPECT_TRUE(press.isButtonPressEvent());
    EXPECT_TRUE(press.isZeroMotionEvent());
    EXPECT_EQ(press.getVectorLength(), 0);
    expectAxes(press, 0, 0, 0, 0, 0, 0);

    // The two-argument form keeps the state for the empty event; the eight-argument one not.
    press.setData(-1, 7);
    EXPECT_TRUE(press.isZeroEvent());
    EXPECT_EQ(press.getButtonState(), 1);
    press.setData(0, 0, 0, 0, 0, 0, -1, 7);
    EXPECT_EQ(press.getButtonState(), 0);
}

TEST(Event, RescalingDominanceAndSwapping) {
    CGlo_Event e(300, 400, 0, 0, 0, 0, -1, 0);
    e.setVectorLength(100);
    expectAxes(e, 60, 80, 0, 0, 0, 0);
    EXPECT_EQ(e.getVectorLength(), 100);
    CGlo_Event spread(30, 30, 0, 0, 0, 0, -1, 0);
    spread.setVectorLength(1); // truncation loses the whole vector
    EXPECT_TRUE(spread.isZeroEvent());
    expectAxes(spread, 0, 0, 0, 0, 0, 0);
    CGlo_Event button(0, 0, 0, 0, 0, 0, 3, 1);
    button.setVectorLength(5);
    EXPECT_TRUE(button.isButtonEvent());
    button.setVectorLength(0);
    EXPECT_TRUE(button.isZeroEvent());
    EXPECT_EQ(button.getButton(), 3);

    EXPECT_EQ(CGlo_Event(-7, 7, 0, 0, 0, 0, -1, 0).getDominantAxis(), 0);
    EXPECT_EQ(CGlo_Event(0, -9, 9, 0, 0, 0, -1, 0).getDominantAxis(), 1);
    EXPECT_EQ(CGlo_Event(0, -9, 9, 0, 0, 0, -1, 0).getDominantAxisVectorLength(), 9);
    EXPECT_TRUE(CGlo_Event(1, 0, 0, 0, 0, 0, -1, 0).isRegisterEvent());
    EXPECT_FALSE(CGlo_Event(2, 0, 0, 0, 0, 0, -1, 0).isRegisterEvent());
    EXPECT_FALSE(CGlo_Event(1, 0, 0, 0, 0, 1, -1, 0).isRegisterEvent());

    CGlo_Event s(1, 0, 0, 0, 0, 2, -1, 0);
    s.swapAxes(0, 5);
    s.swapAxes(0, 6); // out of range: ignored
    expectAxes(s, 2, 0, 0, 0, 0, 1);
    EXPECT_EQ(s.getAxis(6), 0);
}

// Sums of squares beyond 32 bits used to wrap: the length must stay the true (truncated)
// length, saturating only where it no longer fits an int.
TEST(Event, VectorLengthBeyondThirtyTwoBitSums) {
    struct Case {
        int a0, a1, a2, length;
    } cases[] = {
        {46340, 0, 0, 46340},        // sum just inside the range: unchanged
        {46341, 0, 0, 46341},        // first sum past INT_MAX
        {65536, 65536, 0, 92681},    // sqrt(2^33) = 92681.9
        {300000, 400000, 0, 500000}, // 2.5e11
        {INT_MAX, 0, 0, INT_MAX},
        {INT_MIN, 0, 0, INT_MAX}, // 2^31 does not fit: saturates
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
    };
    for (const Case& c : cases) {
        CGlo_Event e(c.a0, c.a1, c.a2, 0, 0, 0, -1, 0);
        EXPECT_TRUE(e.isMotionEvent()) << c.a0;
        EXPECT_EQ(e.getVectorLength(), c.length) << c.a0 << " " << c.a1 << " " << c.a2;
    }
    CGlo_Event big(300000, 400000, 0, 0, 0, 0, -1, 0);
    big.setVectorLength(100000); // the products must not wrap either
    expectAxes(big, 60000, 80000, 0, 0, 0, 0);
    EXPECT_EQ(CGlo_Event(INT_MIN, 0, 0, 0, 0, 0, -1, 0).getDominantAxisVectorLength(), INT_MAX);
}

} // namespace
