#include "astro/mCalcPosition.h"

#include "astro/mCorrection.h"
#include "astro/mMath.h"
#include "astro/mPlanet.h"
#include "astro/mPublicVars.h"
#include "astro/mTime.h"

#include "AstroTestUtil.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace astro;
using astro_test::AngleGap;
using astro_test::Dms;

namespace {

// Empty series records and a message recorder around each test.
class Planets : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = ShowMessage;
        ShowMessage = [this](std::string_view text, std::string_view title, MessageIcon icon) {
            messages.push_back(std::string(text) + "|" + std::string(title)
                               + (icon == MessageIcon::Error ? "|error" : ""));
        };
        PlanetSeriesRecords = {};
    }
    void TearDown() override
    {
        ShowMessage = saved;
        PlanetSeriesRecords = {};
    }
    MessageHook saved;
    std::vector<std::string> messages;
};

TEST_F(Planets, InvalidIndexAndEmptyRecords)
{
    for (int index : {10, -1}) {
        messages.clear();
        const Triple p = PlanetPosition(index, 2451545.0);
        EXPECT_EQ(messages, std::vector<std::string>{"Invalid planet index!|Error|error"}) << index;
        EXPECT_EQ(p.First + p.Second + p.Third, 0.0);
    }
    messages.clear();
    const Triple mars = PlanetPosition(Mars, 2455000.5), sun = PlanetPosition(Sun, 2455000.5);
    EXPECT_EQ(mars.First + mars.Second + mars.Third, 0.0);
    EXPECT_NEAR(sun.First, 180.0, 1e-12);
    EXPECT_EQ(sun.Second + sun.Third, 0.0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Planets, EvaluatorSumsPowerAfterPower)
{
    // L = 1 + 2 tau (radians), B = 0.1 cos(pi tau), R = 1.5 + tau^2; tau = 1.
    PlanetSeries &earth = PlanetSeriesRecords[Earth];
    earth.Counts[0] = {1, 1, 1};
    earth.Counts[1] = {1, 0, 0};
    earth.Counts[2] = {0, 0, 1};
    earth.L = {{1, 0, 0}, {2, 0, 0}};
    earth.B = {{0.1, 0, astro_test::kPi}};
    earth.R = {{1.5, 0, 0}, {1, 0, 0}};
    const double jde = 2451545.0 + 365250.0;
    const Triple e = PlanetPosition(Earth, jde), sun = PlanetPosition(Sun, jde);
    EXPECT_NEAR(e.First, RadToDeg(3.0), 1e-9);
    EXPECT_NEAR(e.Second, RadToDeg(-0.1), 1e-9);
    EXPECT_NEAR(e.Third, 2.5, 1e-12);
    EXPECT_NEAR(sun.First, RadToDeg(3.0) + 180.0, 1e-9);
    EXPECT_NEAR(sun.Second, RadToDeg(0.1), 1e-9);

    earth.Counts[3] = {0, 0, 1}; // more terms than the record holds
    EXPECT_THROW(PlanetPosition(Earth, jde), std::out_of_range);
}

TEST_F(Planets, ApparentPlaceAllowsForLightTime)
{
    // The Earth fixed 1 au out at longitude 0; Mars 2 au out at longitude 0
    // at the instant, moving 0.01 radian a day. Seen from 1 au it shows where
    // it was one light time earlier: twice that angle as seen from the Sun,
    // referred to the equator.
    PlanetSeries &earth = PlanetSeriesRecords[Earth];
    earth.Counts[0] = {0, 0, 1};
    earth.R = {{1, 0, 0}};
    PlanetSeries &mars = PlanetSeriesRecords[Mars];
    mars.Counts[0] = {0, 0, 1};
    mars.Counts[1] = {1, 0, 0};
    mars.R = {{2, 0, 0}};
    mars.L = {{3652.5, 0, 0}}; // 0.01 rad/day times 365250 days per tau

    const double jde = 2451545.0;
    const Triple moving = ApparentPosition(jde, Mars);
    mars.Counts[1] = {0, 0, 0};
    const Triple still = ApparentPosition(jde, Mars);
    EXPECT_NEAR(moving.Third, 1.0, 1e-12);
    const double expected = RadToDeg(2.0 * 0.01 * LightTimeDays) * CosD(Obliquity(jde, true));
    EXPECT_NEAR(Norm360(still.First - moving.First), expected, expected * 1e-3);
}

TEST(mCalcPosition, MoonApparentPlaceWorkedExample)
{
    // 1992-04-12 0h TD, published without the FK5 correction (about 0.1").
    const Triple p = ApparentPosition(2448724.5, Moon);
    EXPECT_NEAR(p.First, 134.688470, 1e-4);
    EXPECT_NEAR(p.Second, 13.768368, 1e-4);
    EXPECT_NEAR(p.Third, 0.00246267, 5e-9);
}

TEST(mCalcPosition, Horizontal)
{
    const ObserverPosition saved = Observer;
    // Venus from Washington, 1987-04-10 19:21 UT, published: azimuth 68.0337
    // west of south, altitude 15.1249.
    const ObserverPosition washington{Dms(38, 55, 17), -Dms(77, 3, 56)};
    Observer = washington;
    const double jd = 2446896.30625;
    const Triple h = EquatorialToHorizontal(jd + DeltaT(jd), Triple{347.3193375, -6.719892, 0.6}, washington);
    EXPECT_NEAR(h.First, 68.0337 + 180.0, 1e-3);
    EXPECT_NEAR(h.Second, 15.1249, 1e-3);
    EXPECT_EQ(h.Third, 0.6);

    // On the meridian south of the zenith: azimuth 180, altitude
    // 90 - latitude + declination; north of it azimuth 0. Hour angles -90
    // and 90 on the equator: the east and west points.
    struct Case {
        double latitude, hourAngle, dec, azimuth, altitude;
    };
    const Case cases[] = {
        {55.75, 0, 20, 180, 54.25}, {55.75, 0, 70, 0, 75.75}, {-33.9, 0, -60, 180, 63.9},
        {-33.9, 0, 0, 0, 56.1},     {0, -90, 0, 90, 0},       {40, 90, 0, 270, 0},
    };
    const double jde = 2460300.25;
    for (const Case &c : cases) {
        const ObserverPosition where{c.latitude, 37.6};
        Observer = where;
        const double ra = Norm360(SiderealTime(jde, where.Longitude) - c.hourAngle);
        const Triple t = EquatorialToHorizontal(jde, Triple{ra, c.dec, 1}, where);
        EXPECT_LT(AngleGap(t.First, c.azimuth), 1e-3) << c.latitude << " " << c.hourAngle << " " << c.dec;
        EXPECT_NEAR(t.Second, c.altitude, 1e-3) << c.latitude << " " << c.hourAngle << " " << c.dec;
    }
    Observer = saved;
}

} // namespace
