#include "astro/Moonday.h"

#include "astro/mMath.h"
#include "astro/mPublicVars.h"
#include "astro/mTime.h"

#include "AstroTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

using namespace astro;
using astro_test::DateValue;

namespace {

TEST(Moonday, DateValueAndJulianDayPairs)
{
    struct Case {
        double date, jd;
    };
    const Case cases[] = {
        {0, 2415018.5},
        {-1.25, 2415017.75}, /* 1899-12-29 06:00 */
        {-1.75, 2415018.25},
        {36526.75, 2451545.25},
        {DateValue(1582, 10, 15), 2299160.5},
        {DateValue(1582, 10, 4, 6), 2299159.75}, // ten days shifted: Julian calendar
        {DateValue(1000, 6, 1, 18), 2086464.25}, // the fixed ten-day shift
        {DateValue(9999, 12, 31), 5373483.5},
    };
    for (const Case &c : cases) {
        EXPECT_DOUBLE_EQ(DateToJulianDay(c.date), c.jd) << c.date;
        EXPECT_NEAR(JulianDayToDate(c.jd), c.date, 1e-9) << c.jd;
    }
}

TEST(Moonday, JulianDayPairAgreesWithTheCalendarFormula)
{
    // Two independent routes from a date value to its Julian day: the
    // calendar fields (JulianDay) and the epoch offset with its ten-day
    // shift (DateToJulianDay), on both sides of the reform and the epoch.
    // They agree from 1500-03-01, where the Julian calendar runs ten days
    // behind; the fixed shift does not follow the calendars further back.
    for (double s = DateValue(1500, 3, 1) + 7.5 / 24.0; s < DateValue(9999, 1, 1); s += 3101.37) {
        // The Date type's form: before the epoch the fraction is the time
        // of day behind the minus sign.
        const double day = std::floor(s), time = s - day;
        const double date = s >= 0 || time == 0 ? s : day - time;
        EXPECT_NEAR(DateToJulianDay(date), JulianDay(date, false, true), 1e-6) << date;
        EXPECT_NEAR(JulianDayToDate(DateToJulianDay(date)), date, 1e-6) << date;
    }
}

TEST(Moonday, OutsideTheDateRangeIsZero)
{
    for (double jd : {1757593.5, 5373484.5, -1.0, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(JulianDayToDate(jd), 0.0) << jd;
    EXPECT_TRUE(IsValidJulianDay(1757593.50001));
    EXPECT_TRUE(IsValidJulianDay(5373484.49998843));
}

// Sets TZ for one test and restores it afterwards.
class TimeZone : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char *tz = std::getenv("TZ"))
            saved = tz;
    }
    void TearDown() override
    {
        if (saved)
            setenv("TZ", saved->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static void Use(const char *tz)
    {
        setenv("TZ", tz, 1);
        tzset();
    }
    std::optional<std::string> saved;
};

TEST_F(TimeZone, ConversionsUseTheOffsetInForceAtTheMomentConverted)
{
    struct Case {
        const char *tz;
        int localMinusUniversal;
    };
    const Case cases[] = {
        {"UTC0", 0},
        {"MSK-3", 180},
        {"<-05>5", -300},
        {"<+0530>-5:30", 330},
        {"EST5EDT,0/0,J365/25", -240}, // daylight time all year: bias + daylight bias
    };
    for (const Case &c : cases) {
        Use(c.tz);
        EXPECT_EQ(UtcBiasMinutes(), -c.localMinusUniversal) << c.tz;
        const double shift = c.localMinusUniversal / 1440.0;
        // A zone without seasons gives a summer and a winter date one offset.
        for (double utc : {45000.5, 45150.25}) {
            EXPECT_NEAR(UniversalToLocal(utc), utc + shift, 1e-9) << c.tz;
            EXPECT_NEAR(LocalToUniversal(utc + shift), utc, 1e-9) << c.tz;
        }
    }
    // One with seasons gives each date its own: 2023-03-15 (45000) is winter
    // in Berlin, 2023-08-12 (45150) summer.
    Use("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_NEAR(UniversalToLocal(45000.5), 45000.5 + 1.0 / 24, 1e-9);
    EXPECT_NEAR(UniversalToLocal(45150.25), 45150.25 + 2.0 / 24, 1e-9);
    EXPECT_NEAR(LocalToUniversal(45150.25 + 2.0 / 24), 45150.25, 1e-9);
}

TEST_F(TimeZone, ConversionsAcrossTheDateEpoch)
{
    Use("MSK-3");
    // 1899-12-29 06:00 UT is 09:00 in Moscow; 1899-12-29 22:00 UT is
    // 1899-12-30 01:00.
    EXPECT_NEAR(UniversalToLocal(-1.25), -1.375, 1e-12);
    EXPECT_NEAR(UniversalToLocal(-1.0 - 22.0 / 24.0), 1.0 / 24.0, 1e-12);
    EXPECT_NEAR(LocalToUniversal(1.0 / 24.0), -1.0 - 22.0 / 24.0, 1e-12);
}

TEST(Moonday, PhaseInstantsWorkedExamples)
{
    struct Case {
        std::int32_t n;
        std::int16_t phase;
        double jde, tolerance;
    };
    const Case cases[] = {
        {953, 0, 2451550.2602, 5e-5},   // 2000-01-06 new moon
        {670, 0, 2443192.6512, 5e-5},   // 1977-02-18 new moon (k = -283)
        {1497, 3, 2467636.49186, 5e-5}, // 2044-01 last quarter (k = 544.75)
    };
    for (const Case &c : cases)
        EXPECT_NEAR(MoonPhaseTime(c.n, c.phase), c.jde, c.tolerance) << c.n << "/" << c.phase;
    EXPECT_NEAR(MoonPhaseTime(953, 2) - MoonPhaseTime(953, 0), 14.435, 5e-4);
    // A phase outside 0 to 3 gets the planetary corrections only, within
    // 0.0014 day of the mean phase.
    EXPECT_NEAR(MoonPhaseTime(953, 4), 2451550.09765 + 29.530588853, 0.0014);
}

TEST(Moonday, NewMoonsBracketEveryMoment)
{
    int checked = 0;
    for (double d = DateValue(1700, 1, 1); d < DateValue(2300, 1, 1); d += 173.37, ++checked) {
        const double last = LastNewMoon(d), next = NextNewMoon(d);
        EXPECT_LE(DateToSerial(last), DateToSerial(d)) << d;
        EXPECT_GT(DateToSerial(next), DateToSerial(d)) << d;
        const double length = DateToSerial(next) - DateToSerial(last);
        EXPECT_GT(length, 29.2) << d;
        EXPECT_LT(length, 29.9) << d;
    }
    EXPECT_GT(checked, 1000);
    // Before the date epoch the date value of a day counts backwards: late
    // on the day of a new moon the moment is numerically below it.
    for (std::int32_t n : {-300, -301, -302}) {
        const double newMoon = JulianDayToDate(MoonPhaseTime(n, 0));
        ASSERT_LT(newMoon, 0.0);
        const double d = std::trunc(newMoon) - 0.9999;
        const double last = LastNewMoon(d), next = NextNewMoon(d);
        EXPECT_NEAR(last, newMoon, 1e-9);
        EXPECT_LE(DateToSerial(last), DateToSerial(d)) << d;
        EXPECT_GT(DateToSerial(next), DateToSerial(d)) << d;
    }
}

TEST(Moonday, MomentAtANewMoonOpensItsLunation)
{
    for (std::int32_t n : {0, 953, 1200, -500}) {
        const double newMoon = JulianDayToDate(MoonPhaseTime(n, 0));
        const double following = JulianDayToDate(MoonPhaseTime(n + 1, 0));
        EXPECT_EQ(LunationNumber(newMoon), n);
        EXPECT_NEAR(LastNewMoon(newMoon), newMoon, 1e-9);
        EXPECT_NEAR(NextNewMoon(newMoon), following, 1e-9);
        // A quarter of a second before, inside the half-second tolerance,
        // both give the new moon ahead.
        const double justBefore = DateAddDays(newMoon, -0.25 / 86400.0);
        EXPECT_NEAR(NextNewMoon(justBefore), newMoon, 1e-9);
        // Two seconds before, it belongs to the lunation before.
        const double before = DateAddDays(newMoon, -2.0 / 86400.0);
        EXPECT_EQ(LunationNumber(before), n - 1);
        EXPECT_NEAR(NextNewMoon(before), newMoon, 1e-9);
    }
    // The new moon of 1922-12-17 opened lunation 0.
    EXPECT_EQ(LunationNumber(FirstLunationDate + 1), 0);
    EXPECT_NEAR(LastNewMoon(DateValue(2000, 1, 10)), JulianDayToDate(2451550.2602), 1e-4);
}

TEST(Moonday, SearchConvergesFarFrom1922)
{
    for (double d : {DateValue(100, 3, 1), DateValue(1000, 1, 1), DateValue(5000, 7, 1), DateValue(9999, 12, 1)}) {
        const std::int32_t n = LunationNumber(d);
        const double t = DateToJulianDay(d);
        EXPECT_LE(MoonPhaseTime(n, 0), t + 0.00000579) << d;
        EXPECT_GT(MoonPhaseTime(n + 1, 0), t + 0.00000579) << d;
    }
}

TEST(Moonday, SearchFaults)
{
    EXPECT_THROW(LunationNumber(1e12), OverflowError);
    EXPECT_THROW(LunationNumber(std::numeric_limits<double>::quiet_NaN()), InvalidArgumentError);
    EXPECT_THROW(LunationNumber(-1e12), OverflowError);
}

} // namespace
