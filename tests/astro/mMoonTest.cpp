#include "astro/mMoon.h"

#include "astro/mPublicVars.h"

#include <gtest/gtest.h>

using namespace astro;

namespace {

TEST(mMoon, WorkedExample)
{
    // 1992-04-12 0h TD; the latitude is south of the ecliptic.
    const Triple p = MoonPosition(2448724.5);
    EXPECT_NEAR(p.First, 133.16266, 5e-6);
    EXPECT_NEAR(p.Second, 356.77087, 5e-6);
    EXPECT_NEAR(p.Third * AstronomicalUnitKm, 368409.68, 0.01);
    EXPECT_NEAR(p.Third, 0.00246267, 5e-9);
}

TEST(mMoon, TellingRows)
{
    InitMoonTerms();
    struct Row {
        const MoonTermColumn *d, *m, *mp, *f, *coef;
        int index;
        int values[5];
    };
    const Row rows[] = {
        {&MoonLrD, &MoonLrM, &MoonLrMp, &MoonLrF, &MoonLCoef, 0, {0, 0, 1, 0, 6288774}},
        {&MoonLrD, &MoonLrM, &MoonLrMp, &MoonLrF, &MoonLCoef, 1, {2, 0, -1, 0, 1274027}},
        {&MoonLrD, &MoonLrM, &MoonLrMp, &MoonLrF, &MoonLCoef, 4, {0, 1, 0, 0, -185116}},
        {&MoonLrD, &MoonLrM, &MoonLrMp, &MoonLrF, &MoonRCoef, 2, {2, 0, 0, 0, -2955968}},
        {&MoonLrD, &MoonLrM, &MoonLrMp, &MoonLrF, &MoonRCoef, 59, {2, 0, -1, -2, 8752}},
        {&MoonBD, &MoonBM, &MoonBMp, &MoonBF, &MoonBCoef, 0, {0, 0, 0, 1, 5128122}},
        {&MoonBD, &MoonBM, &MoonBMp, &MoonBF, &MoonBCoef, 2, {0, 0, 1, -1, 277693}},
        {&MoonBD, &MoonBM, &MoonBMp, &MoonBF, &MoonBCoef, 3, {2, 0, 0, -1, 173237}},
        {&MoonBD, &MoonBM, &MoonBMp, &MoonBF, &MoonBCoef, 59, {2, -2, 0, 1, 107}},
    };
    for (const Row &r : rows) {
        const int i = r.index;
        const int got[5] = {(*r.d)[i], (*r.m)[i], (*r.mp)[i], (*r.f)[i], (*r.coef)[i]};
        for (int j = 0; j < 5; ++j)
            EXPECT_EQ(got[j], r.values[j]) << "row " << i << " column " << j;
    }
    EXPECT_EQ(MoonLCoef[59], 0);
    EXPECT_EQ(MoonRCoef[0], -20905355);
}

TEST(mMoon, FirstCallBuildsTheTables)
{
    const Triple before = MoonPosition(2451545.0);
    MoonLCoef.fill(0);
    MoonTermsReady = false;
    const Triple after = MoonPosition(2451545.0);
    EXPECT_TRUE(MoonTermsReady);
    EXPECT_EQ(after.First, before.First);
    EXPECT_EQ(after.Second, before.Second);
}

} // namespace
