#include "astro/mMoon.h"

#include "astro/mPublicVars.h"

#include <gtest/gtest.h>

using namespace astro;

namespace {

TEST(mMoon, WorkedExample)
{
    // 1992-04-12 0h TD.
    const Triple p = MoonPosition(2448724.5);
    EXPECT_NEAR(p.First, 133.16266, 5e-6);
    EXPECT_NEAR(p.Second, 356.77087, 5e-6); // -3.22913, south of the ecliptic
    EXPECT_NEAR(p.Third * AstronomicalUnitKm, 368409.68, 0.01);
    EXPECT_NEAR(p.Third, 0.00246267, 5e-9);
}

TEST(mMoon, TellingRowsInPublishedOrder)
{
    InitMoonTerms();
    ASSERT_TRUE(MoonTermsReady);
    struct LrRow {
        int index, d, m, mp, f, l, r;
    };
    const LrRow lr[] = {
        {0, 0, 0, 1, 0, 6288774, -20905355},
        {1, 2, 0, -1, 0, 1274027, -3699111},
        {2, 2, 0, 0, 0, 658314, -2955968},
        {4, 0, 1, 0, 0, -185116, 48888},
        {59, 2, 0, -1, -2, 0, 8752},
    };
    for (const LrRow &row : lr) {
        const int i = row.index;
        EXPECT_EQ(MoonLrD[i], row.d) << i;
        EXPECT_EQ(MoonLrM[i], row.m) << i;
        EXPECT_EQ(MoonLrMp[i], row.mp) << i;
        EXPECT_EQ(MoonLrF[i], row.f) << i;
        EXPECT_EQ(MoonLCoef[i], row.l) << i;
        EXPECT_EQ(MoonRCoef[i], row.r) << i;
    }
    struct BRow {
        int index, d, m, mp, f, b;
    };
    const BRow b[] = {
        {0, 0, 0, 0, 1, 5128122}, {1, 0, 0, 1, 1, 280602}, {2, 0, 0, 1, -1, 277693},
        {3, 2, 0, 0, -1, 173237}, {59, 2, -2, 0, 1, 107},
    };
    for (const BRow &row : b) {
        const int i = row.index;
        EXPECT_EQ(MoonBD[i], row.d) << i;
        EXPECT_EQ(MoonBM[i], row.m) << i;
        EXPECT_EQ(MoonBMp[i], row.mp) << i;
        EXPECT_EQ(MoonBF[i], row.f) << i;
        EXPECT_EQ(MoonBCoef[i], row.b) << i;
    }
}

TEST(mMoon, FirstCallBuildsTheTables)
{
    const Triple before = MoonPosition(2451545.0);
    MoonLCoef.fill(0);
    MoonRCoef.fill(0);
    MoonTermsReady = false;
    const Triple after = MoonPosition(2451545.0);
    EXPECT_TRUE(MoonTermsReady);
    EXPECT_EQ(after.First, before.First);
    EXPECT_EQ(after.Second, before.Second);
    EXPECT_EQ(after.Third, before.Third);
    EXPECT_EQ(MoonLCoef[0], 6288774);
}

TEST(mMoon, AnglesStayInRangeOverAMonth)
{
    bool south = false, north = false;
    for (double jde = 2460000.5; jde < 2460030.5; jde += 0.37) {
        const Triple p = MoonPosition(jde);
        EXPECT_GE(p.First, 0.0);
        EXPECT_LT(p.First, 360.0);
        // |beta| stays below 5.3 degrees: near 0 or near 360.
        EXPECT_TRUE(p.Second < 5.3 || p.Second > 354.7) << jde << " " << p.Second;
        south = south || p.Second > 180.0;
        north = north || p.Second < 180.0;
        // Perigee and apogee bound the distance.
        EXPECT_GT(p.Third * AstronomicalUnitKm, 356000.0);
        EXPECT_LT(p.Third * AstronomicalUnitKm, 407000.0);
    }
    EXPECT_TRUE(south);
    EXPECT_TRUE(north);
}

} // namespace
