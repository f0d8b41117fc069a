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
    // 1987-04-10 0h TD.
    const double jde = 2446895.5;
    EXPECT_NEAR(Nutation(jde, 0) * 3600.0, -3.788, 0.0006);
    EXPECT_NEAR(Nutation(jde, 1) * 3600.0, 9.443, 0.0006);
    EXPECT_NEAR(Obliquity(jde, false), Dms(23, 26, 27.407), 0.0006 / 3600.0);
    // The published true obliquity is the sum of the two rounded values.
    EXPECT_NEAR(Obliquity(jde, true), Dms(23, 26, 36.850), 0.0011 / 3600.0);
    // At J2000.0 the mean obliquity is the constant term.
    EXPECT_DOUBLE_EQ(Obliquity(2451545.0, false), 84381.448 / 3600.0);
    EXPECT_THROW(Nutation(jde, 2), std::invalid_argument);
    EXPECT_THROW(Nutation(jde, -1), std::invalid_argument);
}

TEST(mCorrection, NutationStaysWithinItsAmplitude)
{
    // The 18.6-year term dominates: |dpsi| < 17.3" + 1.4", |deps| < 9.2" + 0.6".
    for (double jde = 2440000.5; jde < 2447000.0; jde += 97.3) {
        EXPECT_LT(std::fabs(Nutation(jde, 0) * 3600.0), 19.0) << jde;
        EXPECT_LT(std::fabs(Nutation(jde, 1) * 3600.0), 10.5) << jde;
    }
}

TEST(mCorrection, RefractionBranchesMeet)
{
    struct Edge {
        double altitude, maxJumpArcsec;
    };
    const Edge edges[] = {{-0.575, 1.0}, {5.0, 2.5}, {15.0, 1.0}};
    for (const Edge &e : edges) {
        const double below = Refraction(e.altitude - 1e-9);
        const double at = Refraction(e.altitude);
        const double above = Refraction(e.altitude + 1e-9);
        const double jump = std::max(std::fabs(at - below), std::fabs(above - at)) * 3600.0;
        EXPECT_LT(jump, e.maxJumpArcsec) << e.altitude;
    }
    // The 5 degree seam is the roughest: about two arc-seconds.
    EXPECT_GT(std::fabs(Refraction(5.0 + 1e-9) - Refraction(5.0)) * 3600.0, 1.0);

    struct Value {
        double altitude, arcsec, tolerance;
    };
    const Value values[] = {
        {0, 1735, 1e-9}, {90, 0, 1e-9}, {45, 0.9716 * 60 - 0.0011 * 60, 1e-9}, {-2, 20.774 / std::tan(2 * astro_test::kPi / 180), 1e-9},
    };
    for (const Value &v : values)
        EXPECT_NEAR(Refraction(v.altitude) * 3600.0, v.arcsec, v.tolerance) << v.altitude;
    EXPECT_NEAR(Refraction(0), 0.482, 0.0005);
}

TEST(mCorrection, ParallaxAndSemiDiameter)
{
    // The Moon at its mean distance.
    EXPECT_NEAR(SemiDiameter(Moon, 0.00257), 0.259, 0.0005);
    EXPECT_NEAR(ParallaxInAltitude(0.00257, 0), 0.9506, 0.0005);
    EXPECT_NEAR(ParallaxInAltitude(0.00257, 60), 0.9506 / 2, 0.0005);
    EXPECT_NEAR(ParallaxInAltitude(0.00257, 90), 0, 1e-12);

    struct Case {
        int body;
        double distance, degrees;
    };
    const Case cases[] = {
        {Earth, 1, 0}, {10, 1, 0}, {-1, 1, 0}, {Earth, 0, 0}, {Sun, 1, 0.26656}, {Jupiter, 4.2, 0.00651},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(SemiDiameter(c.body, c.distance), c.degrees, 5e-5) << c.body << " at " << c.distance;

    EXPECT_THROW(SemiDiameter(Moon, 0), DivisionByZeroError);
    EXPECT_THROW(ParallaxInAltitude(0, 0), DivisionByZeroError);
    // Closer than the Earth's radius: no such angle.
    EXPECT_THROW(ParallaxInAltitude(1e-6, 0), InvalidArgumentError);
}

TEST(mCorrection, FK5Correction)
{
    // At J2000.0 the corrected frame longitude equals the longitude.
    struct Case {
        double lon, lat, dLonArcsec, dLatArcsec;
    };
    const Case cases[] = {
        {45, 0, -0.09033, 0},
        {0, 45, -0.09033 + 0.03916, 0.03916},
        {90, -45, -0.09033 - 0.03916, -0.03916},
        {180, 0, -0.09033, -0.03916},
    };
    for (const Case &c : cases) {
        Triple p{c.lon, c.lat, 2.5};
        FK5Correction(2451545.0, p);
        EXPECT_NEAR((p.First - c.lon) * 3600.0, c.dLonArcsec, 1e-9) << c.lon << " " << c.lat;
        EXPECT_NEAR((p.Second - c.lat) * 3600.0, c.dLatArcsec, 1e-9) << c.lon << " " << c.lat;
        EXPECT_EQ(p.Third, 2.5);
    }
    // A century later lambda' has moved by 1.397 degrees.
    Triple p{1.397 + 0.00031, 0, 1};
    FK5Correction(2451545.0 + 36525.0, p);
    EXPECT_NEAR(p.Second * 3600.0, 0.03916, 1e-9);
}

TEST(mCorrection, DiurnalAberrationUsesTheSharedObserver)
{
    const double k = 0.0000015472 * 180.0 / astro_test::kPi;
    struct Case {
        double latitude, h, ra, dec, dRa, dDec;
    };
    const Case cases[] = {
        {0, 0, 100, 0, k, 0},
        {60, 0, 100, 0, k / 2, 0},
        {0, 90, 100, 30, 0, k * 0.5},
        {0, 90, 100, 90, 0, k}, // at the pole only the declination moves
        {0, 0, 100, -90, 0, 0},
    };
    const ObserverPosition saved = Observer;
    for (const Case &c : cases) {
        Observer = ObserverPosition{c.latitude, 12};
        Triple p{c.ra, c.dec, 1};
        DiurnalAberration(c.h, p);
        EXPECT_NEAR(p.First - c.ra, c.dRa, 1e-12) << c.latitude << " " << c.h << " " << c.dec;
        EXPECT_NEAR(p.Second - c.dec, c.dDec, 1e-12) << c.latitude << " " << c.h << " " << c.dec;
    }
    Observer = saved;
}

} // namespace
