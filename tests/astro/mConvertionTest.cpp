#include "astro/mConvertion.h"

#include "astro/mMath.h"

#include "AstroTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace astro;
using astro_test::kPi;

namespace {

TEST(mConvertion, RectToSphericalLongitudeRange)
{
    struct Case {
        Triple rect;
        double lon, lat, r;
    };
    const Case cases[] = {
        {{1, 0, 0}, 0, 0, 1},
        {{0, 2, 0}, 90, 0, 2},
        {{-1, -1, 0}, 225, 0, std::sqrt(2.0)},
        {{1, -1, 0}, -45, 0, std::sqrt(2.0)}, // not reduced: (-90, 270)
        {{0, 0, 3}, 0, 90, 3},
        {{0, 0, -3}, 0, -90, 3},
        {{0, 0, 0}, 0, 0, 0},
        {{1, 1, std::sqrt(2.0)}, 45, 45, 2},
    };
    for (const Case &c : cases) {
        const Triple s = RectToSpherical(c.rect, true);
        EXPECT_NEAR(s.First, c.lon, 1e-12) << c.rect.First << " " << c.rect.Second << " " << c.rect.Third;
        EXPECT_NEAR(s.Second, c.lat, 1e-12) << c.rect.First << " " << c.rect.Second << " " << c.rect.Third;
        EXPECT_NEAR(s.Third, c.r, 1e-12);
        const Triple radians = RectToSpherical(c.rect, false);
        EXPECT_NEAR(radians.First, c.lon * kPi / 180, 1e-12);
    }
}

TEST(mConvertion, SphericalToRectConvertsTheCallersAnglesInPlace)
{
    Triple spherical{225, 30, 2};
    const Triple rect = SphericalToRect(spherical, true);
    EXPECT_NEAR(spherical.First, 225 * kPi / 180, 1e-15);
    EXPECT_NEAR(spherical.Second, 30 * kPi / 180, 1e-15);
    EXPECT_EQ(spherical.Third, 2);
    EXPECT_NEAR(rect.First, -std::sqrt(1.5), 1e-12);
    EXPECT_NEAR(rect.Second, -std::sqrt(1.5), 1e-12);
    EXPECT_NEAR(rect.Third, 1, 1e-12);
    // Already radians: the triple is left alone and the same point results.
    const Triple again = SphericalToRect(spherical, false);
    EXPECT_NEAR(spherical.First, 225 * kPi / 180, 1e-15);
    EXPECT_NEAR(again.First, rect.First, 1e-15);
    // And back.
    const Triple back = RectToSpherical(rect, true);
    EXPECT_NEAR(back.First, 225, 1e-12);
    EXPECT_NEAR(back.Second, 30, 1e-12);
    EXPECT_NEAR(back.Third, 2, 1e-12);
}

TEST(mConvertion, EclipticToEquatorial)
{
    struct Case {
        double lambda, beta, eps, ra, dec;
    };
    const Case cases[] = {
        // Pollux, J2000.0 (published worked example).
        {113.215630, 6.684170, 23.4392911, 116.328942, 28.026183},
        // The solstice points lie on the colures; RA is not reduced.
        {90, 0, 23.44, 90, 23.44},
        {270, 0, 23.44, 270, -23.44},
        {-30, 0, 0, -30, 0},
        // An ecliptic pole.
        {0, 90, 23.44, -90, 90 - 23.44}, // 18h, as -90
    };
    for (const Case &c : cases) {
        Triple p{c.lambda, c.beta, 7};
        EclipticToEquatorial(p, c.eps);
        EXPECT_NEAR(p.First, c.ra, 1e-6) << c.lambda << " " << c.beta;
        EXPECT_NEAR(p.Second, c.dec, 1e-6) << c.lambda << " " << c.beta;
        EXPECT_EQ(p.Third, 7);
    }
}

} // namespace
