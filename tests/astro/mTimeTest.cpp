#include "astro/mTime.h"

#include "astro/mMath.h"

#include "AstroTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

using namespace astro;
using astro_test::DateValue;

namespace {

TEST(mTime, JulianDayOfCalendarDates)
{
    struct Case {
        const char *what;
        double date;
        bool beforeChrist;
        double expected;
    };
    const Case cases[] = {
        {"2000-01-01 00:00", DateValue(2000, 1, 1), false, 2451544.5},
        {"2000-01-01 12:00", DateValue(2000, 1, 1, 12), false, 2451545.0},
        {"1957-10-04 19:26:24", DateValue(1957, 10, 4, 0.81 * 24), false, 2436116.31},
        {"1899-12-29 06:00, negative date value", -1.25, false, 2415017.75},
        {"1582-10-15", DateValue(1582, 10, 15), false, 2299160.5},
        {"1582-10-04", DateValue(1582, 10, 4), false, 2299159.5},
        {"333-01-27 12:00, Julian calendar", DateValue(333, 1, 27, 12), false, 1842713.0},
        {"year 1001 with the before-Christ flag", DateValue(1001, 7, 12, 12), true, 1356001.0},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(JulianDay(c.date, c.beforeChrist, true), c.expected, 1e-6) << c.what;

    const double noon = DateValue(2000, 1, 1, 12);
    EXPECT_EQ(JulianDay(noon, false, true), 2451545.0);
    EXPECT_NEAR(JulianDay(noon, false, false), 2451545.0 + 0.00075231, 1e-8);
}

TEST(mTime, JulianDayOverflowsBeyondSixteenBitYears)
{
    // Y + 4800 - a must fit 16 bits: February of 27968 still does (a = 1).
    EXPECT_NO_THROW(JulianDay(DateValue(27968, 2, 28), false, true));
    EXPECT_THROW(JulianDay(DateValue(27968, 3, 1), false, true), OverflowError);
    EXPECT_THROW(JulianDay(std::nan(""), false, true), InvalidArgumentError);
}

TEST(mTime, DeltaTYearBands)
{
    // Decimal years on both sides of every band edge, in seconds.
    struct Case {
        double year, seconds;
    };
    const Case cases[] = {
        {947.5, 1831.2800625},
        {948.5, 1826.7701925},
        {1600.5, 98.2986325},
        {1601.5, 75.34100875},
        {1799.5, -18.08034125},
        {1800.5, 12.977643430960597},
        {1900.7, -0.6215370526144824}, // still the 1800 to 1900 polynomial
        {1901.5, -0.9577406540123203},
        {1997.5, 62.76468988198758},
        {1998.5, 63.86711},
        {2035.5, 97.27589},
        {2036.5, 118.7073125},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(DeltaT(2451545.0 + (c.year - 2000.0) * 365.25) * 86400.0, c.seconds, 1e-6) << c.year;
}

TEST(mTime, SiderealTime)
{
    // 1987-04-10 at 0h UT and at 19:21 UT, published: 13h10m46.1351s and
    // 8h34m56.853s. The mean sidereal polynomial used here has a linear
    // coefficient 0.0187 s per century below the one behind those examples
    // (about 0.0024 s in 1987), so they agree to a few hundredths of a
    // second, not to the last digit.
    struct Case {
        double jd, seconds;
    };
    const Case cases[] = {{2446895.5, 13 * 3600 + 10 * 60 + 46.1351}, {2446896.30625, 8 * 3600 + 34 * 60 + 56.853}};
    for (const Case &c : cases)
        EXPECT_NEAR(SiderealTime(c.jd + DeltaT(c.jd), 0) * 240.0, c.seconds, 0.02) << c.jd;

    for (double jde : {2451545.0, 2415020.25, 1842713.0, 2816787.7}) {
        for (double lon : {-179.99, -77.07, 37.6, 720.0}) {
            const double s = SiderealTime(jde, lon);
            EXPECT_GE(s, 0.0);
            EXPECT_LT(s, 360.0);
            EXPECT_LT(astro_test::AngleGap(s, SiderealTime(jde, 0) + lon), 1e-8) << jde << " " << lon;
        }
    }
}

TEST(mTime, MomentArithmeticBeforeTheEpoch)
{
    EXPECT_DOUBLE_EQ(DateToSerial(-1.25), -0.75);
    EXPECT_DOUBLE_EQ(SerialToDate(-1.25), -2.75);
    // Six hours after 1899-12-29 18:00 is 1899-12-30 00:00.
    EXPECT_DOUBLE_EQ(DateAddDays(-1.75, 0.25), 0.0);
    EXPECT_DOUBLE_EQ(DateAddDays(0.125, -0.25), -1.875);
}

TEST(mTime, WholeSecondsDaysAndSecondsOfTheDay)
{
    // Date values on both sides of the epoch: -1.25 is 1899-12-29 06:00.
    struct Case {
        double date;
        std::int64_t seconds, days;
        int second;
    };
    const Case cases[] = {
        {0.0, 0, 0, 0},
        {1.5, 129600, 1, 43200},
        {-1.25, -64800, -1, 21600},
        {-2.75, -108000, -2, 64800}, // 1899-12-28 18:00
        {-0.5, 43200, 0, 43200},     // 1899-12-30 12:00, the epoch day itself
        {45999.0 + 86399.4 / 86400.0, 45999LL * 86400 + 86399, 45999, 86399},
        {45999.0 + 86399.6 / 86400.0, 46000LL * 86400, 46000, 0}, // rounds into the next day
    };
    for (const Case &c : cases) {
        EXPECT_EQ(DateToSeconds(c.date), c.seconds) << c.date;
        const DaySecond ds = SplitDate(c.date);
        EXPECT_EQ(ds.days, c.days) << c.date;
        EXPECT_EQ(ds.second, c.second) << c.date;
        EXPECT_EQ(DateToSeconds(JoinDate(ds.days, ds.second)), c.seconds) << c.date;
        EXPECT_EQ(DateToSeconds(SecondsToDate(c.seconds)), c.seconds) << c.date;
    }
    // Before the epoch the whole part counts back while the time of day stays
    // positive: the second 21600 of day -1 is -1.25, not -0.75.
    EXPECT_DOUBLE_EQ(JoinDate(-1, 21600), -1.25);
    EXPECT_DOUBLE_EQ(SecondsToDate(-64800), -1.25);
}

} // namespace
