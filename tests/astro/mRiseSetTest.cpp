#include "astro/mRiseSet.h"

#include "astro/mCalcPosition.h"
#include "astro/mMath.h"
#include "astro/mPublicVars.h"
#include "astro/mTime.h"

#include "AstroTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace astro;
using astro_test::DateValue;

namespace {

AltitudeSampleSet Sample(const std::function<double(double)> &f)
{
    AltitudeSampleSet y{};
    for (int k = 0; k <= 24; ++k)
        y[k] = f(k);
    return y;
}

constexpr double kDay = 45000.0;
constexpr double kHour = 1.0 / 24.0;

TEST(mRiseSet, FindRiseSetOnConstructedSamples)
{
    struct Case {
        const char *what;
        AltitudeSampleSet samples;
        double rise, set; // hours of the day; for (s, -1) the raw values
        bool raw;
    };
    const Case cases[] = {
        {"rises, does not set", Sample([](double k) { return (k - 10.3) * (k + 40); }), 10.3, 0, false},
        {"sets, does not rise", Sample([](double k) { return -(k - 15.6) * (k + 40); }), 0, 15.6, false},
        {"rises and sets", Sample([](double k) { return -(k - 6.2) * (k - 18.7); }), 6.2, 18.7, false},
        {"sets and rises", Sample([](double k) { return (k - 3.5) * (k - 21.25); }), 21.25, 3.5, false},
        {"never above", Sample([](double k) { return -5 - 0.01 * (k - 12) * (k - 12); }), -1, -1, true},
        {"never below", Sample([](double k) { return 5 + std::sin(k); }), 1, -1, true},
        {"collinear samples all day", Sample([](double k) { return k - 6.5; }), 6.5, 0, false},
        {"exactly on a whole hour", Sample([](double k) { return (k - 12) * (k + 30); }), 12, 0, false},
        // Only triple 1 sees the crossing: root (3 - sqrt 17) / 2 of hour 1.
        {"in the first hour", Sample([](double k) { return k == 0 ? -1 : k; }), 1 + (3 - std::sqrt(17.0)) / 2, 0,
         false},
        // Only triple 23: root sqrt 2 - 1 of hour 23.
        {"in the last hour", Sample([](double k) { return k < 23 ? k - 23 : (k == 23 ? -0.5 : 1); }),
         23 + std::sqrt(2.0) - 1, 0, false},
    };
    for (const Case &c : cases) {
        const RiseSetResult r = FindRiseSet(kDay, c.samples);
        if (c.raw) {
            EXPECT_EQ(r.Rise, c.rise) << c.what;
            EXPECT_EQ(r.Set, c.set) << c.what;
            continue;
        }
        EXPECT_NEAR(r.Rise, c.rise == 0 ? 0 : kDay + c.rise * kHour, 1e-9) << c.what;
        EXPECT_NEAR(r.Set, c.set == 0 ? 0 : kDay + c.set * kHour, 1e-9) << c.what;
    }
}

TEST(mRiseSet, SingleCrossingsAverageAndDoubleCrossingsReplace)
{
    // A dip below the horizon around hour 12. Triple 11 finds a set at
    // 11.618; triple 12 holds both crossings (+-0.7071 around 12) and
    // replaces that set and the rise; triple 13 then finds the rise at
    // 12.382, which is averaged with the 12.7071 of triple 12.
    AltitudeSampleSet y;
    y.fill(1.0);
    y[12] = -1.0;
    const RiseSetResult r = FindRiseSet(kDay, y);
    const double s2 = std::sqrt(0.5);
    EXPECT_NEAR(r.Set, kDay + (12.0 - s2) * kHour, 1e-10);
    EXPECT_NEAR(r.Rise, kDay + ((12.0 + s2) + (13.0 + (1.0 - std::sqrt(5.0)) / 2.0)) / 2.0 * kHour, 1e-10);
}

TEST(mRiseSet, SampleOnTheHorizonDoesNotHideTheNextCrossing)
{
    // Set exactly at hour 10, then a rise between hours 11 and 12. Triple
    // 11 has roots -1 (hour 10, already found) and 2/3; the crossing inside
    // the interval is the rise.
    AltitudeSampleSet y;
    y.fill(2.0);
    for (int k = 0; k <= 9; ++k)
        y[k] = 1.0;
    y[10] = 0.0;
    y[11] = -1.0;
    y[12] = 1.0;
    const RiseSetResult r = FindRiseSet(kDay, y);
    EXPECT_NEAR(r.Set, kDay + 10.0 * kHour, 1e-10);
    const double fromTriple11 = 11.0 + 2.0 / 3.0;
    const double fromTriple12 = 12.0 + (1.5 - std::sqrt(1.5 * 1.5 + 2.0)) / 1.0;
    EXPECT_NEAR(r.Rise, kDay + (fromTriple11 + fromTriple12) / 2.0 * kHour, 1e-10);
}

TEST(mRiseSet, DaysBeforeTheDateEpoch)
{
    // 1899-12-25 (-5): a rise at 06:00 is the date value -5.25.
    const AltitudeSampleSet y = Sample([](double k) { return (k - 6) * (k + 30); });
    const RiseSetResult r = FindRiseSet(-5.0, y);
    EXPECT_NEAR(r.Rise, -5.25, 1e-12);
    EXPECT_EQ(r.Set, 0.0);
}

// The Moon's altitude above h0 at a universal-time date value.
double MoonAboveH0(double date, const ObserverPosition &where)
{
    const double jde = JulianDay(date, false, false);
    const Triple h = EquatorialToHorizontal(jde, ApparentPosition(jde, Moon), where);
    return h.Second - StandardAltitude(Moon);
}

TEST(mRiseSet, MoonriseAndMoonsetLieOnTheHorizon)
{
    struct Place {
        const char *name;
        ObserverPosition where;
    };
    const Place places[] = {
        {"Moscow", {55.75, 37.62}},
        {"New York", {40.71, -74.01}},
        {"Sydney", {-33.87, 151.21}},
        {"Quito", {-0.18, -78.47}},
    };
    const ObserverPosition saved = Observer;
    for (const Place &p : places) {
        Observer = p.where;
        int rises = 0, sets = 0, riseOnly = 0, setOnly = 0;
        for (int i = 0; i < 31; ++i) {
            const double day = DateValue(2025, 12, 1) + i;
            const RiseSetResult r = RiseSet(day, p.where, Moon);
            ASSERT_NE(r.Set, -1.0) << p.name << " day " << i;
            for (double event : {r.Rise, r.Set}) {
                if (event == 0.0)
                    continue;
                EXPECT_GE(event, day) << p.name;
                EXPECT_LT(event, day + 1) << p.name;
                EXPECT_NEAR(MoonAboveH0(event, p.where), 0.0, 0.05) << p.name << " day " << i;
            }
            if (r.Rise != 0) {
                ++rises;
                EXPECT_LT(MoonAboveH0(r.Rise - 0.01, p.where), 0.0) << p.name << " day " << i;
            }
            if (r.Set != 0) {
                ++sets;
                EXPECT_GT(MoonAboveH0(r.Set - 0.01, p.where), 0.0) << p.name << " day " << i;
            }
            riseOnly += (r.Rise != 0 && r.Set == 0);
            setOnly += (r.Rise == 0 && r.Set != 0);
        }
        // The Moon rises about 50 minutes later each day, so in a month one
        // day misses its rise and one its set.
        EXPECT_GE(rises, 29) << p.name;
        EXPECT_GE(sets, 29) << p.name;
        EXPECT_GE(riseOnly, 1) << p.name;
        EXPECT_GE(setOnly, 1) << p.name;
    }
    Observer = saved;
}

TEST(mRiseSet, PolarDaysWithoutRiseOrSet)
{
    // Near the pole the Moon stays up while its declination is north and
    // down while it is south, for about two weeks each.
    const ObserverPosition where{89.5, 20.0};
    const ObserverPosition saved = Observer;
    Observer = where;
    int up = 0, down = 0;
    for (int i = 0; i < 30; ++i) {
        const double day = DateValue(2026, 1, 1) + i;
        const RiseSetResult r = RiseSet(day, where, Moon);
        if (r.Set != -1.0)
            continue;
        const AltitudeSampleSet y = AltitudeSamples(day, where, Moon, StandardAltitude(Moon));
        if (r.Rise == 1.0) {
            ++up;
            for (double v : y)
                EXPECT_GT(v, 0.0) << "day " << i;
        } else {
            ASSERT_EQ(r.Rise, -1.0) << "day " << i;
            ++down;
            for (double v : y)
                EXPECT_LT(v, 0.0) << "day " << i;
        }
    }
    EXPECT_GE(up, 10);
    EXPECT_GE(down, 10);
    Observer = saved;
}

} // namespace

namespace {

// The days RiseSetDays computes at once agree with RiseSet day by day: the
// same kind of answer each day, the events within a tenth of a second; over
// more days than one fit covers, before the date epoch, at a polar place
// where the Moon stays up or down for days, and south of the equator.
TEST(mRiseSet, RiseSetDaysAgreesWithRiseSetDayByDay)
{
    struct Case {
        const char *name;
        ObserverPosition where;
        double firstDay;
        int count;
    } cases[] = {
        {"Moscow 2026", {55.75, 37.62}, DateValue(2026, 1, 3), 34},
        {"Murmansk 2025, two fits", {68.97, 33.08}, DateValue(2025, 12, 1), MaxDaysPerFit + 9},
        {"Svalbard", {78.22, 15.65}, DateValue(2031, 6, 1), 33},
        {"Buenos Aires 1850", {-34.6, -58.38}, DateValue(1850, 3, 1), 31},
        {"Vladivostok across the epoch", {43.12, 131.9}, DateValue(1899, 12, 10), 35},
        {"one day", {55.75, 37.62}, DateValue(2000, 1, 1), 1},
    };
    const ObserverPosition saved = Observer;
    for (const Case &c : cases) {
        Observer = c.where;
        const std::vector<RiseSetResult> days = RiseSetDays(c.firstDay, c.count, c.where, Moon);
        ASSERT_EQ(days.size(), static_cast<std::size_t>(c.count)) << c.name;
        int events = 0, without = 0;
        for (int i = 0; i < c.count; ++i) {
            const RiseSetResult want = RiseSet(c.firstDay + i, c.where, Moon);
            const RiseSetResult &got = days[static_cast<std::size_t>(i)];
            const std::string what = std::string(c.name) + " day " + std::to_string(i);
            if (want.Set == -1.0) {
                ++without;
                EXPECT_EQ(got.Set, -1.0) << what;
                EXPECT_EQ(got.Rise, want.Rise) << what;
                continue;
            }
            for (auto [g, w] : {std::pair{got.Rise, want.Rise}, std::pair{got.Set, want.Set}}) {
                if (w == 0.0) {
                    EXPECT_EQ(g, 0.0) << what;
                    continue;
                }
                ++events;
                EXPECT_NEAR(DateToSerial(g), DateToSerial(w), 0.1 / 86400.0) << what;
            }
        }
        EXPECT_GT(events + without, 0) << c.name;
        if (c.where.Latitude > 75.0) {
            EXPECT_GT(without, 0) << "days the Moon neither rises nor sets";
        }
    }
    EXPECT_TRUE(RiseSetDays(DateValue(2026, 1, 1), 0, {55.75, 37.62}, Moon).empty());
    EXPECT_THROW(RiseSetDays(std::nan(""), 3, {55.75, 37.62}, Moon), FloatError);
    Observer = saved;
}

} // namespace
