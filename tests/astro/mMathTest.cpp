#include "astro/mMath.h"

#include "AstroTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace astro;
using astro_test::kPi;

namespace {

TEST(mMath, ArcTan2CoversMinusHalfPiToThreeHalvesPi)
{
    struct Case {
        double y, x, expected;
    };
    const Case cases[] = {
        {0, 0, 0},
        {1, 1, kPi / 4},
        {-1, 1, -kPi / 4},
        {1, -1, 3 * kPi / 4},
        {-1, -1, 5 * kPi / 4}, // not -3pi/4
        {0, -1, kPi},
        {0, 1, 0},
        // On the y axis: the limit from the right half-plane.
        {1, 0, kPi / 2},
        {-1, 0, -kPi / 2},
        {-2.5, -0.0, -kPi / 2},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(ArcTan2(c.y, c.x), c.expected, 1e-15) << c.y << ", " << c.x;
}

TEST(mMath, ArcSinEndsAndDomain)
{
    struct Case {
        double x, expected;
    };
    const Case cases[] = {
        {1, kPi / 2}, {-1, 3 * kPi / 2}, {0, 0}, {0.5, kPi / 6}, {-0.5, -kPi / 6}, {0.999999, std::asin(0.999999)},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(ArcSin(c.x), c.expected, 1e-12) << c.x;
    EXPECT_THROW(ArcSin(1.0000001), InvalidArgumentError);
    EXPECT_THROW(ArcSin(-2), InvalidArgumentError);
    EXPECT_THROW(ArcSin(std::numeric_limits<double>::quiet_NaN()), InvalidArgumentError);
}

TEST(mMath, RealModKeepsTheSignOfTheDividend)
{
    struct Case {
        double a, m, expected;
    };
    const Case cases[] = {
        {725.3, 360, 5.3}, {-725.3, 360, -5.3}, {359.6, 360, 359.6}, {720, 360, 0}, {-10, 360, -10}, {7.5, -2, 1.5},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(RealMod(c.a, c.m), c.expected, 1e-12) << c.a << " mod " << c.m;
    EXPECT_EQ(RealMod(359.6, 360), 359.6);
    EXPECT_THROW(RealMod(1, 0), DivisionByZeroError);
}

TEST(mMath, Norm360AndReduceToRadians)
{
    struct Case {
        double a, norm, radians;
    };
    const Case cases[] = {
        {0, 0, 0},
        {360, 0, 0},
        {-30, 330, -kPi / 6},
        {725, 5, 5 * kPi / 180},
        {-720, 0, 0},
        {450, 90, kPi / 2},
        {-450, 270, -kPi / 2},
        {359.5, 359.5, 359.5 * kPi / 180},
    };
    for (const Case &c : cases) {
        EXPECT_NEAR(Norm360(c.a), c.norm, 1e-12) << c.a;
        EXPECT_NEAR(ReduceToRadians(c.a), c.radians, 1e-12) << c.a;
    }
    // A tiny negative angle must not come back as 360.
    const double tiny = Norm360(-1e-20);
    EXPECT_GE(tiny, 0.0);
    EXPECT_LT(tiny, 360.0);
}

TEST(mMath, DegreeFunctions)
{
    EXPECT_NEAR(DegToRad(180), kPi, 1e-15);
    EXPECT_NEAR(RadToDeg(kPi / 2), 90, 1e-13);
    EXPECT_NEAR(SinD(30), 0.5, 1e-15);
    EXPECT_NEAR(CosD(60), 0.5, 1e-15);
    EXPECT_NEAR(TanD(45), 1, 1e-15);
    EXPECT_NEAR(TanD(-135), 1, 1e-14);
}

TEST(mMath, FaultsRaiseTheirKind)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(Checked(inf), OverflowError);
    EXPECT_THROW(Checked(nan), InvalidArgumentError);
    EXPECT_THROW(Div(1, 0), DivisionByZeroError);
    EXPECT_THROW(Div(1e300, 1e-300), OverflowError);
    EXPECT_THROW(Sqrt(-1), InvalidArgumentError);
    EXPECT_THROW(Norm360(inf), OverflowError);
    EXPECT_THROW(SinD(nan), InvalidArgumentError);

    struct Case {
        const FloatError &error;
        int number;
        const char *text;
    };
    const OverflowError overflow;
    const DivisionByZeroError zero;
    const InvalidArgumentError invalid;
    const Case cases[] = {
        {overflow, 6, "Overflow"},
        {zero, 11, "Division by zero"},
        {invalid, 5, "Invalid procedure call or argument"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.error.number(), c.number);
        EXPECT_STREQ(c.error.what(), c.text);
    }
}

} // namespace
