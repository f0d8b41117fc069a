#include "astro/mCorrection.h"

#include "astro/mMath.h"
#include "astro/mPublicVars.h"

#include "AstroTestUtil.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace astro;
using astro_test::Dms;

namespace {

TEST(mCorrection, NutationAndObliquityWorkedExample)
{
    // 1987-04-10 0h TD. The published true obliquity is the sum of the two
    // rounded values.
    const double jde = 2446895.5;
    EXPECT_NEAR(Nutation(jde, 0) * 3600.0, -3.788, 0.0006);
    EXPECT_NEAR(Nutation(jde, 1) * 3600.0, 9.443, 0.0006);
    EXPECT_NEAR(Obliquity(jde, false) * 3600.0, Dms(23, 26, 27.407) * 3600.0, 0.0006);
    EXPECT_NEAR(Obliquity(jde, true) * 3600.0, Dms(23, 26, 36.850) * 3600.0, 0.0011);
    EXPECT_THROW(Nutation(jde, 2), std::invalid_argument);
}

TEST(mCorrection, Refraction)
{
    struct Seam {
        double altitude, maxJumpArcsec;
    };
    const Seam seams[] = {{-0.575, 1.0}, {5.0, 2.5}, {15.0, 1.0}};
    for (const Seam &s : seams) {
        const double jump = std::max(std::fabs(Refraction(s.altitude) - Refraction(s.altitude - 1e-9)),
                                     std::fabs(Refraction(s.altitude + 1e-9) - Refraction(s.altitude)));
        EXPECT_LT(jump * 3600.0, s.maxJumpArcsec) << s.altitude;
    }
    EXPECT_GT(std::fabs(Refraction(5.0 + 1e-9) - Refraction(5.0)) * 3600.0, 1.0); // the rough seam
    EXPECT_NEAR(Refraction(0) * 3600.0, 1735, 1e-9);
    EXPECT_NEAR(Refraction(90), 0, 1e-15);
    EXPECT_NEAR(Refraction(45) * 60.0, 0.9716 - 0.0011, 1e-12);
}

TEST(mCorrection, ParallaxAndSemiDiameter)
{
    struct Case {
        const char *what;
        double got, expected;
    };
    const Case cases[] = {
        {"SemiDiameter Moon at 0.00257 au", SemiDiameter(Moon, 0.00257), 0.259},
        {"SemiDiameter Earth", SemiDiameter(Earth, 1), 0},
        {"SemiDiameter index 10", SemiDiameter(10, 1), 0},
        {"SemiDiameter Sun at 1 au", SemiDiameter(Sun, 1), 0.26656},
        {"Parallax Moon on the horizon", ParallaxInAltitude(0.00257, 0), 0.9506},
        {"Parallax Moon at 60 degrees", ParallaxInAltitude(0.00257, 60), 0.4753},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(c.got, c.expected, 5e-4) << c.what;
    EXPECT_THROW(SemiDiameter(Moon, 0), DivisionByZeroError);
    EXPECT_THROW(ParallaxInAltitude(1e-6, 0), InvalidArgumentError); // inside the Earth
}

TEST(mCorrection, FK5AndDiurnalAberration)
{
    struct Fk5 {
        double lon, lat, dLon, dLat; // corrections in arc-seconds at J2000.0
    };
    const Fk5 fk5[] = {{45, 0, -0.09033, 0}, {0, 45, -0.09033 + 0.03916, 0.03916}, {180, 0, -0.09033, -0.03916}};
    for (const Fk5 &c : fk5) {
        Triple p{c.lon, c.lat, 2.5};
        FK5Correction(2451545.0, p);
        EXPECT_NEAR((p.First - c.lon) * 3600.0, c.dLon, 1e-9) << c.lon;
        EXPECT_NEAR((p.Second - c.lat) * 3600.0, c.dLat, 1e-9) << c.lon;
    }

    const double k = RadToDeg(0.0000015472);
    struct Aberration {
        double latitude, h, dec, dRa, dDec;
    };
    const Aberration cases[] = {
        {0, 0, 0, k, 0},
        {60, 0, 0, k / 2, 0},
        {0, 90, 30, 0, k / 2},
        {0, 90, 90, 0, k} /* pole: declination only */,
    };
    const ObserverPosition saved = Observer;
    for (const Aberration &c : cases) {
        Observer = ObserverPosition{c.latitude, 12};
        Triple p{100, c.dec, 1};
        DiurnalAberration(c.h, p);
        EXPECT_NEAR(p.First - 100, c.dRa, 1e-12) << c.latitude << " " << c.h << " " << c.dec;
        EXPECT_NEAR(p.Second - c.dec, c.dDec, 1e-12) << c.latitude << " " << c.h << " " << c.dec;
    }
    Observer = saved;
}

} // namespace
