// 2-D vector: the cached length follows every change; a zero vector cannot be stretched.
#include <gtest/gtest.h>

#include "GloVector2D.h"

#include <cmath>

TEST(Vector2D, LengthFollowsEveryChangeAndZeroKeepsNoDirection) {
    CVector2D v(3, 4), one(1, 1);
    EXPECT_DOUBLE_EQ(v.setLen(10), 10.0);
    EXPECT_DOUBLE_EQ(v.getX(), 6.0);
    v.scaleLen(0.5);
    const CVector2D difference = v - one;
    EXPECT_DOUBLE_EQ(difference.getLen(), std::sqrt(13.0));
    v += one;
    EXPECT_DOUBLE_EQ(v.getLen(), std::sqrt(41.0));
    v -= one;
    EXPECT_DOUBLE_EQ(v.getLen(), 5.0);

    EXPECT_EQ(v.setLen(0), 0.0);
    EXPECT_EQ(v.setLen(5), 0.0); // instead of NaN coordinates
    EXPECT_EQ(v.getX() + v.getY(), 0.0);
}
