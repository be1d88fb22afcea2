// 2-D vector: the cached length follows every change; a zero vector cannot be stretched.
#include <gtest/gtest.h>

#include "GloVector2D.h"

#include <cmath>

TEST(Vector2D, LengthFollowsEveryChange) {
    CVector2D v(3, 4);
    EXPECT_DOUBLE_EQ(v.getLen(), 5.0);
    EXPECT_DOUBLE_EQ(v.setLen(10), 10.0);
    EXPECT_DOUBLE_EQ(v.getX(), 6.0);
    EXPECT_DOUBLE_EQ(v.getY(), 8.0);
    v.scaleLen(0.5);
    EXPECT_DOUBLE_EQ(v.getLen(), 5.0);

    CVector2D one(1, 1);
    CVector2D difference = v - one;
    EXPECT_DOUBLE_EQ(difference.getX(), 2.0);
    EXPECT_DOUBLE_EQ(difference.getY(), 3.0);
    EXPECT_DOUBLE_EQ(difference.getLen(), std::sqrt(13.0));
    v += one;
    EXPECT_DOUBLE_EQ(v.getLen(), std::sqrt(41.0));
    v -= one;
    EXPECT_DOUBLE_EQ(v.getLen(), 5.0);
}

TEST(Vector2D, ZeroVectorKeepsNoDirection) {
    CVector2D v(3, 4);
    EXPECT_EQ(v.setLen(0), 0.0);
    EXPECT_EQ(v.setLen(5), 0.0); // instead of NaN coordinates
    EXPECT_EQ(v.getX(), 0.0);
    EXPECT_EQ(v.getY(), 0.0);
}
