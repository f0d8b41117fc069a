#include "astro/mConvertion.h"

#include "AstroTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace astro;
using astro_test::kPi;

namespace {

TEST(mConvertion, RectToSphericalLongitudeIsNotReduced)
{
    struct Case {
        Triple rect;
        double lon, lat, r;
    };
    const Case cases[] = {
        {{-1, -1, 0}, 225, 0, std::sqrt(2.0)},
        {{1, -1, 0}, -45, 0, std::sqrt(2.0)},
        {{0, 0, -3}, 0, -90, 3},
        {{0, 0, 0}, 0, 0, 0},
        {{1, 1, std::sqrt(2.0)}, 45, 45, 2},
    };
    for (const Case &c : cases) {
        const Triple s = RectToSpherical(c.rect, true);
        EXPECT_NEAR(s.First, c.lon, 1e-12) << c.lon;
        EXPECT_NEAR(s.Second, c.lat, 1e-12) << c.lon;
        EXPECT_NEAR(s.Third, c.r, 1e-12) << c.lon;
    }
}

TEST(mConvertion, SphericalToRectLeavesTheCallersAnglesInRadians)
{
    Triple spherical{225, 30, 2};
    const Triple rect = SphericalToRect(spherical, true);
    EXPECT_NEAR(spherical.First, 225 * kPi / 180, 1e-15);
    EXPECT_NEAR(spherical.Second, 30 * kPi / 180, 1e-15);
    EXPECT_NEAR(rect.First, -std::sqrt(1.5), 1e-12);
    EXPECT_NEAR(rect.Second, -std::sqrt(1.5), 1e-12);
    EXPECT_NEAR(rect.Third, 1, 1e-12);
}

TEST(mConvertion, EclipticToEquatorial)
{
    struct Case {
        double lambda, beta, eps, ra, dec;
    };
    const Case cases[] = {
        {113.215630, 6.684170, 23.4392911, 116.328942, 28.026183}, // Pollux, published example
        {270, 0, 23.44, 270, -23.44},
        {0, 90, 23.44, -90, 90 - 23.44}, // the ecliptic pole at 18h, not reduced
    };
    for (const Case &c : cases) {
        Triple p{c.lambda, c.beta, 7};
        EclipticToEquatorial(p, c.eps);
        EXPECT_NEAR(p.First, c.ra, 1e-6) << c.lambda;
        EXPECT_NEAR(p.Second, c.dec, 1e-6) << c.lambda;
        EXPECT_EQ(p.Third, 7);
    }
}

} // namespace
