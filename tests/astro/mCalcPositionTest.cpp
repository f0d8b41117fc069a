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

struct Message {
    std::string text, title;
    MessageIcon icon;
};

// Empty series records and a message recorder around each test.
class Planets : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedHook = ShowMessage;
        ShowMessage = [this](std::string_view text, std::string_view title, MessageIcon icon) {
            messages.push_back({std::string(text), std::string(title), icon});
        };
        PlanetSeriesRecords = {};
    }
    void TearDown() override
    {
        ShowMessage = savedHook;
        PlanetSeriesRecords = {};
    }
    MessageHook savedHook;
    std::vector<Message> messages;
};

TEST_F(Planets, InvalidIndexShowsOneMessageAndGivesZero)
{
    for (int index : {10, -1, 1000}) {
        messages.clear();
        const Triple p = PlanetPosition(index, 2451545.0);
        ASSERT_EQ(messages.size(), 1u) << index;
        EXPECT_EQ(messages[0].text, "Invalid planet index!");
        EXPECT_EQ(messages[0].title, "Error");
        EXPECT_EQ(messages[0].icon, MessageIcon::Error);
        EXPECT_EQ(p.First, 0.0);
        EXPECT_EQ(p.Second, 0.0);
        EXPECT_EQ(p.Third, 0.0);
    }
}

TEST_F(Planets, EmptyRecordsPutPlanetsAtZeroAndTheSunOpposite)
{
    for (int index = 1; index <= 9; ++index) {
        const Triple p = PlanetPosition(index, 2455000.5);
        EXPECT_EQ(p.First, 0.0) << index;
        EXPECT_EQ(p.Second, 0.0) << index;
        EXPECT_EQ(p.Third, 0.0) << index;
    }
    const Triple sun = PlanetPosition(Sun, 2455000.5);
    EXPECT_NEAR(sun.First, 180.0, 1e-12);
    EXPECT_EQ(sun.Second, 0.0);
    EXPECT_EQ(sun.Third, 0.0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Planets, EvaluatorSumsPowerAfterPower)
{
    // L = 1 + 2 tau (radians), B = 0.1 cos(pi tau), R = 1.5 + tau^2.
    PlanetSeries &earth = PlanetSeriesRecords[Earth];
    earth.Counts[0] = {1, 1, 1};
    earth.Counts[1] = {1, 0, 0};
    earth.Counts[2] = {0, 0, 1};
    earth.L = {{1, 0, 0}, {2, 0, 0}};
    earth.B = {{0.1, 0, astro_test::kPi}};
    earth.R = {{1.5, 0, 0}, {1, 0, 0}};
    const double jde = 2451545.0 + 365250.0; // tau = 1
    struct Case {
        int index;
        double l, b, r;
    };
    const Case cases[] = {
        {Earth, RadToDeg(3.0), RadToDeg(-0.1), 2.5},
        {Sun, RadToDeg(3.0) + 180.0, RadToDeg(0.1), 2.5},
    };
    for (const Case &c : cases) {
        const Triple p = PlanetPosition(c.index, jde);
        EXPECT_NEAR(p.First, Norm360(c.l), 1e-9) << c.index;
        EXPECT_NEAR(p.Second, c.b, 1e-9) << c.index;
        EXPECT_NEAR(p.Third, c.r, 1e-12) << c.index;
    }
}

TEST_F(Planets, CountsBeyondTheTermsAreRefused)
{
    PlanetSeries &mars = PlanetSeriesRecords[Mars];
    mars.Counts[0] = {2, 0, 0};
    mars.L = {{1, 0, 0}};
    EXPECT_THROW(PlanetPosition(Mars, 2451545.0), std::out_of_range);
    mars.Counts[0] = {-1, 0, 0};
    EXPECT_THROW(PlanetPosition(Mars, 2451545.0), std::out_of_range);
    mars.Counts[0] = {1, 0, 0};
    EXPECT_NO_THROW(PlanetPosition(Mars, 2451545.0));
}

TEST_F(Planets, ApparentPlaceAllowsForLightTime)
{
    // The Earth fixed at longitude 0, 1 au from the Sun; Mars 2 au out at
    // longitude 0 at the instant, moving 0.01 radian a day. Seen from the
    // Earth 1 au away, it shows where it was one light time earlier:
    // twice the angle it moved in that time, referred to the equator.
    PlanetSeries &earth = PlanetSeriesRecords[Earth];
    earth.Counts[0] = {0, 0, 1};
    earth.R = {{1, 0, 0}};
    PlanetSeries &mars = PlanetSeriesRecords[Mars];
    mars.Counts[0] = {0, 0, 1};
    mars.Counts[1] = {1, 0, 0};
    mars.R = {{2, 0, 0}};
    mars.L = {{3652.5, 0, 0}}; // 0.01 rad/day x 365250 days, times tau

    const double jde = 2451545.0;
    const Triple moving = ApparentPosition(jde, Mars);
    mars.Counts[1] = {0, 0, 0};
    const Triple still = ApparentPosition(jde, Mars);

    EXPECT_NEAR(moving.Third, 1.0, 1e-12);
    const double lag = RadToDeg(2.0 * 0.01 * LightTimeDays);
    const double expected = lag * CosD(Obliquity(jde, true));
    EXPECT_NEAR(Norm360(still.First - moving.First), expected, expected * 1e-3);
}

TEST(mCalcPosition, MoonApparentPlaceWorkedExample)
{
    // 1992-04-12 0h TD: alpha 134.688470, delta +13.768368 in the published
    // example, which leaves out the FK5 frame correction (about 0.1").
    const Triple p = ApparentPosition(2448724.5, Moon);
    EXPECT_NEAR(p.First, 134.688470, 1e-4);
    EXPECT_NEAR(p.Second, 13.768368, 1e-4);
    EXPECT_NEAR(p.Third, 0.00246267, 5e-9);
}

TEST(mCalcPosition, RightAscensionInRange)
{
    for (double jde = 2460000.5; jde < 2460030.5; jde += 0.5) {
        const Triple p = ApparentPosition(jde, Moon);
        EXPECT_GE(p.First, 0.0);
        EXPECT_LT(p.First, 360.0);
        EXPECT_LT(std::fabs(p.Second), 29.0);
    }
}

TEST(mCalcPosition, HorizontalWorkedExample)
{
    // Venus from Washington, 1987-04-10 19:21 UT: alpha 347.3193375,
    // delta -6.719892 give azimuth 68.0337 west of south and altitude
    // 15.1249. Diurnal aberration and the slightly different sidereal
    // polynomial move the result by well under 0.001 degree.
    const ObserverPosition washington{Dms(38, 55, 17), -Dms(77, 3, 56)};
    const ObserverPosition saved = Observer;
    Observer = washington;
    const double jd = 2446896.30625;
    const Triple venus{347.3193375, -6.719892, 0.6};
    const Triple h = EquatorialToHorizontal(jd + DeltaT(jd), venus, washington);
    EXPECT_NEAR(h.First, 68.0337 + 180.0, 1e-3);
    EXPECT_NEAR(h.Second, 15.1249, 1e-3);
    EXPECT_EQ(h.Third, 0.6);
    Observer = saved;
}

TEST(mCalcPosition, MeridianAndPrimeVertical)
{
    // Hour angle 0 south of the zenith: azimuth 180 and altitude
    // 90 - latitude + declination; north of it, azimuth 0. Hour angle -90
    // and +90 put an equatorial object at the east and west points.
    struct Case {
        double latitude, hourAngle, dec, azimuth, altitude;
    };
    const Case cases[] = {
        {55.75, 0, 20, 180, 54.25},
        {55.75, 0, -10, 180, 24.25},
        {55.75, 0, 70, 0, 75.75},
        {-33.9, 0, -60, 180, 63.9},
        {-33.9, 0, 0, 0, 56.1},
        {0, -90, 0, 90, 0},
        {40, 90, 0, 270, 0},
    };
    const double jde = 2460300.25;
    const ObserverPosition saved = Observer;
    for (const Case &c : cases) {
        const ObserverPosition where{c.latitude, 37.6};
        Observer = where;
        const double ra = Norm360(SiderealTime(jde, where.Longitude) - c.hourAngle);
        const Triple h = EquatorialToHorizontal(jde, Triple{ra, c.dec, 1}, where);
        EXPECT_LT(AngleGap(h.First, c.azimuth), 1e-3) << c.latitude << " " << c.hourAngle << " " << c.dec;
        EXPECT_GE(h.First, 0.0);
        EXPECT_LT(h.First, 360.0);
        EXPECT_NEAR(h.Second, c.altitude, 1e-3) << c.latitude << " " << c.hourAngle << " " << c.dec;
    }
    Observer = saved;
}

} // namespace
