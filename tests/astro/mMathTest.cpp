#include "astro/mMath.h"

#include "AstroTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace astro;
using astro_test::kPi;

namespace {

TEST(mMath, AngleFunctions)
{
    struct Case {
        const char *what;
        double got, expected;
    };
    const Case cases[] = {
        {"ArcTan2(0, 0)", ArcTan2(0, 0), 0},
        {"ArcTan2(1, -1)", ArcTan2(1, -1), 3 * kPi / 4},
        {"ArcTan2(-1, -1), not -3pi/4", ArcTan2(-1, -1), 5 * kPi / 4},
        {"ArcTan2(-1, 1)", ArcTan2(-1, 1), -kPi / 4},
        {"ArcTan2(0, -1)", ArcTan2(0, -1), kPi},
        {"ArcTan2(1, 0), the limit", ArcTan2(1, 0), kPi / 2},
        {"ArcTan2(-2.5, -0), the limit", ArcTan2(-2.5, -0.0), -kPi / 2},
        {"ArcSin(1)", ArcSin(1), kPi / 2},
        {"ArcSin(-1)", ArcSin(-1), 3 * kPi / 2},
        {"ArcSin(-0.5)", ArcSin(-0.5), -kPi / 6},
        {"RealMod(725.3, 360)", RealMod(725.3, 360), 5.3},
        {"RealMod(-725.3, 360)", RealMod(-725.3, 360), -5.3},
        {"RealMod(7.5, -2)", RealMod(7.5, -2), 1.5},
        {"Norm360(-30)", Norm360(-30), 330},
        {"Norm360(360)", Norm360(360), 0},
        {"Norm360(-1e-20), not 360", Norm360(-1e-20), 0},
        {"ReduceToRadians(450)", ReduceToRadians(450), kPi / 2},
        {"ReduceToRadians(-450)", ReduceToRadians(-450), -kPi / 2},
        {"TanD(-135)", TanD(-135), 1},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(c.got, c.expected, 1e-12) << c.what;
    EXPECT_EQ(RealMod(359.6, 360), 359.6);
}

TEST(mMath, FaultsRaiseTheirKind)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(ArcSin(1.0000001), InvalidArgumentError);
    EXPECT_THROW(ArcSin(nan), InvalidArgumentError);
    EXPECT_THROW(RealMod(1, 0), DivisionByZeroError);
    EXPECT_THROW(Div(1e300, 1e-300), OverflowError);
    EXPECT_THROW(Sqrt(-1), InvalidArgumentError);
    EXPECT_THROW(Norm360(inf), OverflowError);
    EXPECT_THROW(SinD(nan), InvalidArgumentError);
    EXPECT_EQ(OverflowError().number(), 6);
    EXPECT_EQ(DivisionByZeroError().number(), 11);
    EXPECT_EQ(InvalidArgumentError().number(), 5);
    EXPECT_STREQ(OverflowError().what(), "Overflow");
}

} // namespace
