#include "astro/mTime.h"

#include "astro/mMath.h"

#include "AstroTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>

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
        {"1987-04-10 00:00", DateValue(1987, 4, 10), false, 2446895.5},
        {"1957-10-04 19:26:24", DateValue(1957, 10, 4, 0.81 * 24), false, 2436116.31},
        {"1899-12-29 06:00 (negative date value)", -1.25, false, 2415017.75},
        {"1582-10-15, first Gregorian day", DateValue(1582, 10, 15), false, 2299160.5},
        {"1582-10-04, last Julian day", DateValue(1582, 10, 4), false, 2299159.5},
        // Before the reform the calendar fields are Julian-calendar dates.
        {"333-01-27 12:00 (Julian calendar)", DateValue(333, 1, 27, 12), false, 1842713.0},
        {"-1000-07-12 12:00 (year 1001 before Christ flag)", DateValue(1001, 7, 12, 12), true, 1356001.0},
        {"1 BC = year 0, 01-01", DateValue(1, 1, 1), true, 1721057.5},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(JulianDay(c.date, c.beforeChrist, true), c.expected, 1e-6) << c.what;
}

TEST(mTime, JulianDayAddsDeltaTUnlessUniversalOnly)
{
    const double noon = DateValue(2000, 1, 1, 12);
    EXPECT_EQ(JulianDay(noon, false, true), 2451545.0);
    EXPECT_NEAR(JulianDay(noon, false, false), 2451545.0 + 0.00075231, 1e-8);
    EXPECT_NEAR(JulianDay(noon, false, false) - 2451545.0, 65.0 / 86400.0, 1e-9);
}

TEST(mTime, JulianDayOverflowsBeyondSixteenBitYears)
{
    // The year sum Y + 4800 - a must fit 16 bits: 27968-01 and -02 still
    // do (a = 1), 27968-03-01 does not.
    EXPECT_NO_THROW(JulianDay(DateValue(27967, 12, 31), false, true));
    EXPECT_NO_THROW(JulianDay(DateValue(27968, 2, 28), false, true));
    EXPECT_THROW(JulianDay(DateValue(27968, 3, 1), false, true), OverflowError);
    EXPECT_THROW(JulianDay(1e12, false, true), OverflowError);
    EXPECT_THROW(JulianDay(std::nan(""), false, true), InvalidArgumentError);
}

TEST(mTime, DeltaTYearBands)
{
    // Decimal years on both sides of every band edge, with the value of the
    // band's polynomial in seconds.
    struct Case {
        double year, seconds;
    };
    const Case cases[] = {
        {500, 4644.5},
        {947.5, 1831.2800625},
        {948.5, 1826.7701925},
        {1600.5, 98.2986325},
        {1601.5, 75.34100875},
        {1799.5, -18.08034125},
        {1800.5, 12.977643430960597},
        {1900.5, -1.217543537136508},
        {1900.7, -0.6215370526144824}, // still the 1800 to 1900 polynomial
        {1901.5, -0.9577406540123203},
        {1997.5, 62.76468988198758},
        {1998.5, 63.86711},
        {2000.0, 65.0},
        {2035.5, 97.27589},
        {2036.5, 118.7073125},
        {2100, 225.3},
    };
    for (const Case &c : cases) {
        const double jd = 2451545.0 + (c.year - 2000.0) * 365.25;
        EXPECT_NEAR(DeltaT(jd) * 86400.0, c.seconds, 1e-6) << c.year;
    }
}

TEST(mTime, SiderealTimeWorkedExamples)
{
    // 1987-04-10 0h UT: apparent sidereal time at Greenwich 13h10m46.1351s
    // in the published example, and 8h34m56.853s at 19:21 UT. The mean
    // sidereal polynomial used here has a linear coefficient 0.0187 s per
    // century below the one behind those examples (and a slightly different
    // T^2 term), about 0.0024 s in 1987, so agreement is to a few
    // hundredths of a second, not to the last digit.
    struct Case {
        double jd;
        double hours, minutes, seconds;
    };
    const Case cases[] = {
        {2446895.5, 13, 10, 46.1351},
        {2446896.30625, 8, 34, 56.853},
    };
    for (const Case &c : cases) {
        const double jde = c.jd + DeltaT(c.jd);
        const double expected = (c.hours + c.minutes / 60.0 + c.seconds / 3600.0) * 15.0;
        EXPECT_NEAR(SiderealTime(jde, 0), expected, 0.02 / 240.0) << c.jd;
    }
}

TEST(mTime, SiderealTimeStaysInRangeAndFollowsLongitude)
{
    const double jdes[] = {2451545.0, 2446895.5, 2415020.25, 2299160.9, 1842713.0, 2816787.7, 2460000.999};
    const double longitudes[] = {0, 37.6, -77.07, -179.99, 179.99, -360, 720};
    for (double jde : jdes) {
        const double greenwich = SiderealTime(jde, 0);
        for (double lon : longitudes) {
            const double s = SiderealTime(jde, lon);
            EXPECT_GE(s, 0.0) << jde << " " << lon;
            EXPECT_LT(s, 360.0) << jde << " " << lon;
            EXPECT_LT(astro_test::AngleGap(s, greenwich + lon), 1e-8) << jde << " " << lon;
        }
    }
    // One mean solar day later the sidereal time has gained 3m56.555s.
    const double a = SiderealTime(2451545.0, 0), b = SiderealTime(2451546.0, 0);
    EXPECT_NEAR(Norm360(b - a) * 240.0, 236.555, 0.01);
}

TEST(mTime, DateValuesAsSerialDays)
{
    struct Case {
        double date, serial;
    };
    const Case cases[] = {
        {0, 0}, {1.5, 1.5}, {-1.25, -0.75}, {-0.5, 0.5}, {-2, -2}, {-2.75, -1.25},
    };
    for (const Case &c : cases) {
        EXPECT_DOUBLE_EQ(DateToSerial(c.date), c.serial) << c.date;
        if (c.date != -0.5) { // -0.5 and 0.5 are the same moment
            EXPECT_DOUBLE_EQ(SerialToDate(c.serial), c.date) << c.serial;
        }
    }
    // Six hours after 1899-12-29 18:00 is 1899-12-30 00:00.
    EXPECT_DOUBLE_EQ(DateAddDays(-1.75, 0.25), 0.0);
    EXPECT_DOUBLE_EQ(DateAddDays(0.125, -0.25), -1.875);
}

} // namespace
