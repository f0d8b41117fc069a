#include "calendar/lunarday/LunarDay.h"

#include "astro/Moonday.h"
#include "astro/mMath.h"
#include "astro/mRiseSet.h"
#include "calendar/tables/DreamTables.h"
#include "support/TzScope.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include <cmath>
#include <memory>
#include <vector>

using namespace somnex::calendar;

namespace {

constexpr qint64 kMinute = 60;
constexpr qint64 kHour = 3600;
constexpr qint64 kDay = 86400;

double at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return toDateValue(QDate(y, mo, d), QTime(h, mi, s));
}

double plus(double date, qint64 seconds)
{
    return fromSeconds(toSeconds(date) + seconds);
}

// A constructed engine: fixed new moons (universal), a moonrise rule per
// universal day and a fixed zone offset.
struct FakeEngine {
    double opening = 0, closing = 0;
    qint64 zoneSeconds = 0;
    std::function<astro::RiseSetResult(double day)> rise;

    LunarEngine engine() const
    {
        const FakeEngine f = *this;
        return {[f](double) { return f.opening; }, [f](double) { return f.closing; },
                [f](double day, const astro::ObserverPosition &, int) { return f.rise(day); },
                [f](double d) { return plus(d, f.zoneSeconds); }};
    }
};

// Moonrise every universal day at the given second of the day.
std::function<astro::RiseSetResult(double)> dailyRise(qint64 secondOfDay)
{
    return [secondOfDay](double day) {
        return astro::RiseSetResult{plus(day, secondOfDay), plus(day, secondOfDay + 12 * kHour)};
    };
}

void expectIncreasingWithin(const MoonListResult &r, const char *what)
{
    ASSERT_FALSE(r.boundaries.isEmpty()) << what;
    for (qsizetype i = 1; i < r.boundaries.size(); ++i)
        EXPECT_LT(toSeconds(r.boundaries[i - 1]), toSeconds(r.boundaries[i])) << what << " entry " << i;
}

} // namespace

TEST(DateValue, CalendarFieldsAndSeconds)
{
    struct Case {
        QDate date;
        QTime time;
        double value;
    } cases[] = {
        {{1899, 12, 30}, {0, 0}, 0.0},    {{1900, 1, 1}, {0, 0}, 2.0},       {{1899, 12, 29}, {6, 0}, -1.25},
        {{1899, 12, 28}, {18, 0}, -2.75}, {{2026, 12, 8}, {12, 0}, 46364.5}, {{1601, 1, 1}, {0, 0}, -109205.0},
    };
    for (const Case &c : cases) {
        const double v = toDateValue(c.date, c.time);
        EXPECT_NEAR(v, c.value, 1e-9) << c.date.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(dateOf(c.value), c.date);
        EXPECT_EQ(timeOf(c.value), c.time);
    }
    // Seconds grow with time across the epoch, where date values do not.
    EXPECT_LT(toSeconds(-1.25), toSeconds(-1.75)) << "06:00 comes before 18:00 of 1899-12-29";
    EXPECT_EQ(toSeconds(-1.75) - toSeconds(-1.25), 12 * kHour);
    EXPECT_EQ(toSeconds(0.0) - toSeconds(-1.75), 6 * kHour);
    EXPECT_FALSE(dateOf(std::nan("")).isValid());
}

TEST(DateValue, RussianFormats)
{
    const double d = at(2026, 12, 8, 9, 5, 7);
    struct Case {
        const char *format;
        const char16_t *text;
    } cases[] = {
        {"dd MMMM yyyy", u"08 декабря 2026"},
        {"dd MMM yyyy hh:mm", u"08 дек. 2026 09:05"},
        {"dd MMMM yyyy г., HH:mm", u"08 декабря 2026 г., 09:05"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(formatMoment(d, QString::fromUtf8(c.format)), QString::fromUtf16(c.text)) << c.format;
    EXPECT_EQ(formatMoment(at(2026, 5, 1, 23, 59), u"dd MMMM yyyy"_qs), u"01 мая 2026"_qs);
    EXPECT_EQ(isoMoment(d), u"2026-12-08 09:05:07"_qs);
    EXPECT_EQ(boundsText(at(2026, 3, 1, 7, 3), at(2026, 3, 2, 8, 15)),
              u" (01 мар. 2026 07:03 - 02 мар. 2026 08:15)"_qs);
}

// The calendar turns a moment into universal time with the offset in force
// then, as the diary does with the offset it keeps: both give the same lunar
// day and bounds in either season, under past rules too.
TEST(UtcOffset, TheCalendarAndTheDiaryAgreeInEitherSeason)
{
    struct Case {
        const char *zone;
        int y, mo, d, h, mi;
        int offsetHours;
        double lat, lon;
    } cases[] = {
        {"Europe/Berlin", 2027, 1, 10, 14, 0, 1, 52.52, 13.40},
        {"Europe/Berlin", 2027, 7, 10, 14, 0, 2, 52.52, 13.40},
        {"Europe/Moscow", 1990, 1, 14, 23, 0, 3, 55.75, 37.58},
        {"Europe/Moscow", 1990, 7, 14, 23, 0, 4, 55.75, 37.58},
        {"Europe/Moscow", 2010, 1, 14, 12, 0, 3, 55.75, 37.58},
        {"Europe/Moscow", 2010, 7, 14, 12, 0, 4, 55.75, 37.58},
        {"Europe/Moscow", 2026, 7, 14, 12, 0, 3, 55.75, 37.58},
        {"Australia/Sydney", 2027, 1, 10, 20, 0, 11, -33.87, 151.21},
        {"Australia/Sydney", 2027, 7, 10, 20, 0, 10, -33.87, 151.21},
    };
    for (const Case &c : cases) {
        TzScope tz(c.zone);
        const double local = at(c.y, c.mo, c.d, c.h, c.mi);
        const std::string what = std::string(c.zone) + " " + std::to_string(c.y) + "-" + std::to_string(c.mo);
        EXPECT_EQ(UtcOffsetHours(local), c.offsetHours) << what;
        const QDateTime inZone(QDate(c.y, c.mo, c.d), QTime(c.h, c.mi), QTimeZone(c.zone));
        EXPECT_EQ(inZone.offsetFromUtc(), c.offsetHours * 3600) << what << ": the diary's offset";
        const astro::ObserverPosition place{c.lat, c.lon};
        const CalendarAnswer calendar = computeCalendar(local, place);
        const CalendarAnswer diary = computeCalendarAtOffset(local, c.offsetHours * 3600, place);
        EXPECT_EQ(calendar.moon.lunarDay, diary.moon.lunarDay) << what;
        EXPECT_EQ(toSeconds(calendar.moon.start), toSeconds(diary.moon.start)) << what;
        EXPECT_EQ(toSeconds(calendar.moon.end), toSeconds(diary.moon.end)) << what;
    }
    // Moscow, 14 July 1990, 23:00, then UTC+4: the 22nd lunar day, not the 23rd
    {
        TzScope tz("Europe/Moscow");
        EXPECT_EQ(computeCalendar(at(1990, 7, 14, 23, 0), {55.75, 37.58}).moon.lunarDay, 22);
    }
    // the hour skipped in spring is read in winter time: 02:30 is 03:30 summer time;
    // the one shown twice in autumn is taken the second time, in winter time, as the diary takes it
    TzScope tz("Europe/Berlin");
    const QDateTime twice(QDate(2026, 10, 25), QTime(2, 30), QTimeZone("Europe/Berlin"));
    EXPECT_EQ(twice.offsetFromUtc(), 3600);
    EXPECT_EQ(toSeconds(astro::LocalToUniversal(at(2026, 10, 25, 2, 30))), toSeconds(at(2026, 10, 25, 1, 30)));
    EXPECT_EQ(computeCalendar(at(2026, 10, 25, 2, 30), {52.52, 13.40}).moon.lunarDay,
              computeCalendarAtOffset(at(2026, 10, 25, 2, 30), 3600, {52.52, 13.40}).moon.lunarDay);
    EXPECT_EQ(toSeconds(astro::UniversalToLocal(astro::LocalToUniversal(at(2026, 3, 29, 2, 30)))),
              toSeconds(at(2026, 3, 29, 3, 30)));
    EXPECT_EQ(toSeconds(astro::LocalToUniversal(at(2026, 7, 10, 14, 0))), toSeconds(at(2026, 7, 10, 12, 0)));
    EXPECT_EQ(toSeconds(astro::UniversalToLocal(at(2026, 1, 10, 12, 0))), toSeconds(at(2026, 1, 10, 13, 0)));
}

TEST(UtcOffset, WholeHoursCrossedFromUniversalToLocal)
{
    struct Case {
        const char *zone;
        std::initializer_list<int> allowed;
    } cases[] = {
        {"UTC", {0}},
        {"Europe/Moscow", {3}},
        {"Asia/Vladivostok", {10}},
        {"America/Bogota", {-5}},
        {"Asia/Kolkata", {5, 6}},
        {"Asia/Kathmandu", {5, 6}},
        {"Pacific/Marquesas", {-9, -10}},
    };
    for (const Case &c : cases) {
        TzScope tz(c.zone);
        const QDateTime now = QDateTime::currentDateTime();
        const int h = UtcOffsetHours(toDateValue(now.date(), now.time()));
        EXPECT_NE(std::find(c.allowed.begin(), c.allowed.end(), h), c.allowed.end()) << c.zone << " gave " << h;
    }
    // The half-hour zone at a known minute: 10:10 local is 04:40 universal
    // (6 hour boundaries), 10:40 local is 05:10 (5).
    TzScope tz("Asia/Kolkata");
    EXPECT_EQ(UtcOffsetHours(at(2026, 6, 1, 10, 10)), 6);
    EXPECT_EQ(UtcOffsetHours(at(2026, 6, 1, 10, 40)), 5);
}

TEST(MoonList, LunarDaysOfAConstructedLunation)
{
    // New moons at 12:00 on day 46000 and 18:00 on day 46029, moonrise at
    // 06:00 every day, universal time as local time.
    FakeEngine f;
    f.opening = 46000.5;
    f.closing = 46029.75;
    f.rise = dailyRise(6 * kHour);
    const LunarEngine e = f.engine();

    struct Case {
        const char *what;
        double moment;
        bool found;
        int lunarDay;
        double start, end;
    } cases[] = {
        {"a minute after the new moon", plus(46000.5, 60), true, 1, 46000.5, 46001.25},
        {"exactly at a moonrise: the day that ends there", 46005.25, true, 5, 46004.25, 46005.25},
        {"a second after that moonrise", plus(46005.25, 1), true, 6, 46005.25, 46006.25},
        {"the last lunar day ends at the closing new moon", plus(46029.75, -60), true, 30, 46029.25, 46029.75},
        {"exactly at the opening new moon: the first lunar day", 46000.5, true, 1, 46000.5, 46001.25},
    };
    for (const Case &c : cases) {
        const MoonListResult r = MoonList(c.moment, {55.75, 37.5833}, e);
        EXPECT_EQ(r.found, c.found) << c.what;
        if (!c.found)
            continue;
        EXPECT_EQ(r.lunarDay, c.lunarDay) << c.what;
        EXPECT_EQ(toSeconds(r.start), toSeconds(c.start)) << c.what;
        EXPECT_EQ(toSeconds(r.end), toSeconds(c.end)) << c.what;
    }
    const MoonListResult r = MoonList(46010.0, {}, e);
    ASSERT_EQ(r.boundaries.size(), 31);
    EXPECT_EQ(r.boundaries.first(), 46000.5);
    EXPECT_EQ(toSeconds(r.boundaries[1]), toSeconds(46001.25));
    EXPECT_EQ(toSeconds(r.boundaries.last()), toSeconds(46029.75));
}

TEST(MoonList, DaysWithoutAMoonriseListNothing)
{
    // Day 46010 has a set only; 46011 neither event (below the horizon),
    // 46012 neither (above it).
    FakeEngine f;
    f.opening = 46000.5;
    f.closing = 46029.75;
    const auto daily = dailyRise(6 * kHour);
    f.rise = [daily](double day) -> astro::RiseSetResult {
        if (day == 46010.0)
            return {0.0, 46010.7};
        if (day == 46011.0)
            return {-1.0, -1.0};
        if (day == 46012.0)
            return {1.0, -1.0};
        return daily(day);
    };
    const MoonListResult r = MoonList(46011.5, {}, f.engine());
    EXPECT_EQ(r.boundaries.size(), 28);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.lunarDay, 10) << "the lunar day after the ninth moonrise";
    EXPECT_EQ(toSeconds(r.start), toSeconds(46009.25));
    EXPECT_EQ(toSeconds(r.end), toSeconds(46013.25));
}

TEST(MoonList, BeforeTheDateEpochNoRiseIsTakenForOne)
{
    // In 1850 the "no moonrise" results (rise 0, or the sign with set -1)
    // read as dates of 1899 lie after the opening new moon.
    const double opening = at(1850, 3, 1, 12, 0);
    const double closing = plus(opening, 29 * kDay + 6 * kHour);
    const double noRise = std::trunc(plus(opening, 10 * kDay));
    const double neither = std::trunc(plus(opening, 11 * kDay));
    FakeEngine f;
    f.opening = opening;
    f.closing = closing;
    const auto daily = dailyRise(6 * kHour);
    f.rise = [=](double day) -> astro::RiseSetResult {
        if (day == noRise)
            return {0.0, plus(day, 17 * kHour)};
        if (day == neither)
            return {1.0, -1.0};
        return daily(day);
    };
    const MoonListResult r = MoonList(plus(opening, 15 * kDay), {}, f.engine());
    expectIncreasingWithin(r, "1850");
    EXPECT_EQ(toSeconds(r.boundaries.first()), toSeconds(opening));
    EXPECT_EQ(toSeconds(r.boundaries.last()), toSeconds(closing));
    EXPECT_EQ(r.boundaries.size(), 29) << "29 moonrises less the two days without one, and the two new moons";
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.lunarDay, 14);
}

TEST(MoonList, EastOfGreenwichTheFirstMoonriseIsNotMissed)
{
    // Ten hours east: the new moon at 16:00 universal is 02:00 local of the
    // next day, and the moonrise at 20:00 universal that same universal day
    // is 06:00 local, after the new moon.
    FakeEngine f;
    f.zoneSeconds = 10 * kHour;
    f.opening = plus(46000.0, 16 * kHour);
    f.closing = plus(46029.0, 14 * kHour);
    f.rise = dailyRise(20 * kHour);
    const MoonListResult r = MoonList(plus(f.opening, 3 * kHour), {}, f.engine());
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.lunarDay, 1);
    EXPECT_EQ(isoMoment(r.start), u"2025-12-10 02:00:00"_qs);
    EXPECT_EQ(isoMoment(r.end), u"2025-12-10 06:00:00"_qs) << "lunar day 1 ends at the first moonrise";
}

TEST(MoonList, NoLunarDayEndsAfterTheClosingNewMoon)
{
    // The closing new moon at 01:12, before that day's moonrise at 02:24,
    // and the lunation opening at 00:28 so that the scan of days reaches the
    // day after it: two moonrises lie after the closing new moon.
    FakeEngine f;
    f.opening = plus(46000.0, 28 * kMinute + 48);
    f.closing = plus(46029.0, kHour + 12 * kMinute);
    f.rise = dailyRise(2 * kHour + 24 * kMinute);
    const MoonListResult r = MoonList(plus(f.closing, -30 * kMinute), {}, f.engine());
    expectIncreasingWithin(r, "closing");
    EXPECT_EQ(toSeconds(r.boundaries.last()), toSeconds(f.closing));
    ASSERT_TRUE(r.found);
    EXPECT_EQ(toSeconds(r.end), toSeconds(f.closing));
    EXPECT_EQ(toSeconds(r.start), toSeconds(plus(46028.0, 2 * kHour + 24 * kMinute)));
}

TEST(MoonList, TheLastLunarDayEndsAtTheClosingNewMoon)
{
    // The lunation opens at 18:00 and closes at 12:00: the days scanned end
    // with the closing day, whose moonrise at 06:00 comes before the new
    // moon. The span from that moonrise to the new moon is the last lunar day.
    FakeEngine f;
    f.opening = 46000.75;
    f.closing = 46029.5;
    f.rise = dailyRise(6 * kHour);
    const MoonListResult r = MoonList(plus(46029.5, -kHour), {}, f.engine());
    expectIncreasingWithin(r, "closing at noon");
    EXPECT_EQ(toSeconds(r.boundaries.last()), toSeconds(46029.5));
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.lunarDay, 30);
    EXPECT_EQ(toSeconds(r.start), toSeconds(46029.25));
    EXPECT_EQ(toSeconds(r.end), toSeconds(46029.5));
}

TEST(MoonList, EngineFaultsReachTheCaller)
{
    FakeEngine f;
    f.opening = 46000.5;
    f.closing = 46029.75;
    f.rise = [](double) -> astro::RiseSetResult { throw astro::OverflowError(); };
    try {
        MoonList(46010.0, {}, f.engine());
        FAIL() << "no fault raised";
    } catch (const astro::FloatError &e) {
        EXPECT_EQ(engineFaultText(e), u"Переполнение"_qs);
    }
    EXPECT_EQ(engineFaultText(astro::DivisionByZeroError()), u"Деление на ноль"_qs);
    EXPECT_EQ(engineFaultText(std::runtime_error("disk")), u"disk"_qs);
}

// The real engine over a year of lunations, in zones east and west and at a
// northern place: the list runs from new moon to new moon in order and holds
// every moonrise between them, found day by universal day.
TEST(MoonList, RealLunationsHoldEveryMoonriseInOrder)
{
    struct Place {
        const char *zone;
        astro::ObserverPosition at;
    } places[] = {
        {"UTC", {51.4769, 0.0}},
        {"Europe/Moscow", {55.75, 37.5833}},
        {"Asia/Vladivostok", {43.1167, 131.9}},
        {"Asia/Kamchatka", {53.0167, 158.65}},
        {"America/Bogota", {4.6, -74.0833}},
        {"Europe/Moscow", {68.9667, 33.0833}}, // Murmansk
    };
    for (const Place &p : places) {
        TzScope tz(p.zone);
        for (int k = 0; k < 13; ++k) {
            const double local = plus(at(2026, 1, 10, 21, 0), qint64(k) * (29 * kDay + 12 * kHour + 44 * kMinute));
            const double universal = astro::LocalToUniversal(local);
            const MoonListResult r = MoonList(universal, p.at);
            const std::string what = std::string(p.zone) + " lunation " + std::to_string(k);
            expectIncreasingWithin(r, what.c_str());
            const double sUt = astro::LastNewMoon(universal), eUt = astro::NextNewMoon(universal);
            EXPECT_EQ(toSeconds(r.boundaries.first()), toSeconds(astro::UniversalToLocal(sUt))) << what;
            EXPECT_EQ(toSeconds(r.boundaries.last()), toSeconds(astro::UniversalToLocal(eUt))) << what;
            int rises = 0;
            for (double day = std::trunc(sUt) - 1; day <= std::trunc(eUt) + 1; day += 1) {
                const astro::RiseSetResult rs = astro::RiseSet(day, p.at, astro::Moon);
                if (rs.Rise != 0.0 && rs.Set != -1.0 && toSeconds(rs.Rise) >= toSeconds(sUt)
                    && toSeconds(rs.Rise) <= toSeconds(eUt))
                    ++rises;
            }
            EXPECT_EQ(r.boundaries.size(), rises + 2) << what;
            EXPECT_TRUE(r.found) << what;
            EXPECT_GT(toSeconds(astro::UniversalToLocal(universal)), toSeconds(r.start)) << what;
            EXPECT_LE(toSeconds(astro::UniversalToLocal(universal)), toSeconds(r.end)) << what;
        }
    }
}

TEST(Calendar, WeekdayAndDayOfMonthWithTheirTexts)
{
    TzScope tz("UTC");
    struct Case {
        double moment;
        qint16 weekday;
        const char16_t *name;
        qint16 day;
    } cases[] = {
        {at(2026, 12, 6, 23, 59, 59), 7, u"Воскресенье", 6},
        {at(2026, 12, 7, 0, 0, 0), 1, u"Понедельник", 7},
        {at(2026, 12, 31, 12, 0), 4, u"Четверг", 31},
        {at(1850, 3, 31, 3, 0), 7, u"Воскресенье", 31},
    };
    for (const Case &c : cases) {
        const CalendarAnswer a = computeCalendar(c.moment, {55.75, 37.5833});
        EXPECT_EQ(a.weekday, c.weekday) << isoMoment(c.moment).toStdString();
        EXPECT_EQ(a.weekdayName, QString::fromUtf16(c.name));
        EXPECT_EQ(a.weekdayText, DreamByWeekDay(c.weekday));
        EXPECT_EQ(a.day, c.day);
        EXPECT_EQ(a.dayText, DreamByDay(c.day));
        EXPECT_TRUE(a.moon.found);
    }
}

TEST(Calendar, PhasePictureOfALunarDay)
{
    const int cases[][2] = {{0, 1}, {1, 1}, {15, 15}, {29, 29}, {30, 29}, {31, 29}, {-3, 1}};
    for (const auto &c : cases)
        EXPECT_EQ(phasePictureFor(c[0]), c[1]) << c[0];
}

TEST(Calendar, KeepsThePreviousLunarDayWhenNoneIsFound)
{
    LunarState s;
    MoonListResult none;
    s.take(none);
    EXPECT_EQ(s.lunarDay, 0);
    MoonListResult found;
    found.found = true;
    found.lunarDay = 12;
    found.start = 46000.25;
    found.end = 46001.25;
    s.take(found);
    s.take(none);
    EXPECT_EQ(s.lunarDay, 12);
    EXPECT_EQ(s.end, 46001.25);
}

TEST(MoonList, AMomentJustBeforeANewMoonEndsTheLunation)
{
    // Constructed: new moons at 2024-01-11 11:57:00 and 2023-12-13 00:33:00
    // (universal); both searches from a moment just before the later one find it.
    const double previous = at(2023, 12, 13, 0, 33, 0), newMoon = at(2024, 1, 11, 11, 57, 0);
    FakeEngine f;
    f.rise = dailyRise(9 * kHour);
    LunarEngine e = f.engine();
    e.lastNewMoon = [=](double d) { return toSeconds(d) >= toSeconds(newMoon) ? newMoon : previous; };
    e.nextNewMoon = [=](double) { return newMoon; };
    const MoonListResult r = MoonList(newMoon, {55.75, 37.5833}, e);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(toSeconds(r.end), toSeconds(newMoon));
    EXPECT_LT(toSeconds(r.start), toSeconds(r.end)) << "a lunar day with no length";
    EXPECT_EQ(isoMoment(r.start), "2024-01-11 09:00:00") << "the last moonrise before the new moon";
    EXPECT_GT(r.lunarDay, 28);
    EXPECT_EQ(toSeconds(r.boundaries.first()), toSeconds(previous));

    // The real engine at the moment the calendar met it: Moscow, 2023-12-13 02:33:08 local.
    TzScope tz("Europe/Moscow");
    const double local = at(2023, 12, 13, 2, 33, 8);
    // the case itself: both searches give the same new moon
    ASSERT_EQ(toSeconds(astro::LastNewMoon(astro::LocalToUniversal(local))),
              toSeconds(astro::NextNewMoon(astro::LocalToUniversal(local))));
    const MoonListResult real = MoonList(astro::LocalToUniversal(local), {55.75, 37.5833});
    ASSERT_TRUE(real.found);
    EXPECT_LT(toSeconds(real.start), toSeconds(real.end));
    EXPECT_GE(toSeconds(local), toSeconds(real.start));
    EXPECT_LE(toSeconds(local), toSeconds(real.end));
    EXPECT_GT(real.lunarDay, 28) << "the last lunar day of the ending lunation, not day 1";
    // A second later the new lunation has begun.
    const MoonListResult after = MoonList(astro::LocalToUniversal(plus(local, 2)), {55.75, 37.5833});
    ASSERT_TRUE(after.found);
    EXPECT_EQ(after.lunarDay, 1);
}

namespace {

// The standard engine with the moonrises found day by day, exactly as
// RiseSet gives them (no fitted series, nothing kept between calls).
LunarEngine dayByDayEngine()
{
    LunarEngine e = LunarEngine::standard();
    e.riseSetDays = {};
    return e;
}

void expectSameBoundaries(const MoonListResult &got, const MoonListResult &want, const std::string &what)
{
    ASSERT_EQ(got.boundaries.size(), want.boundaries.size()) << what;
    for (qsizetype i = 0; i < want.boundaries.size(); ++i)
        EXPECT_LE(std::llabs(toSeconds(got.boundaries[i]) - toSeconds(want.boundaries[i])), 1) << what << " " << i;
    EXPECT_EQ(got.found, want.found) << what;
    EXPECT_EQ(got.lunarDay, want.lunarDay) << what;
}

} // namespace

// The lunation's moonrises are kept per thread for the place they were found
// for: the same days at another place, and the same place again after
// others, give what the day-by-day search gives there (a pole where the Moon
// neither rises nor sets for days, the ends of the date range included).
TEST(MoonList, KeptMoonrisesFollowThePlace)
{
    TzScope tz("UTC");
    const astro::ObserverPosition places[] = {{55.75, 37.5833}, {43.1167, 131.9}, {68.9667, 33.0833},
                                              {-34.6, -58.38},  {89.9, 0.0},      {55.75, 37.5833}};
    // Years 100 and 9999 are the ends of the date range.
    const double moments[] = {at(2026, 3, 3, 12), at(2026, 3, 20, 1), at(1985, 7, 7, 7),
                              at(1850, 2, 2, 22), at(100, 3, 1, 12),  at(9999, 11, 1)};
    for (double m : moments) {
        for (const astro::ObserverPosition &p : places) {
            const std::string what = isoMoment(m).toStdString() + " at " + std::to_string(p.Latitude);
            const MoonListResult want = MoonList(m, p, dayByDayEngine());
            expectSameBoundaries(MoonList(m, p), want, what);
            expectSameBoundaries(MoonList(m, p), want, what + " again");
        }
    }
}

// The batch gives, moment by moment, what MoonList gives: moments in no
// order, several in one lunation, at a boundary, in 1850 (before the date
// epoch) and just before a new moon.
TEST(MoonListBatch, EqualsMoonListMomentByMoment)
{
    TzScope tz("Europe/Moscow");
    const astro::ObserverPosition moscow{55.75, 37.5833};
    std::vector<double> moments;
    moments.reserve(46);
    for (int k = 0; k < 40; ++k)
        moments.push_back(plus(at(2024, 1, 1), qint64(k) * 7 * kDay + qint64(k * 7919 % 86400)));
    moments.push_back(at(2024, 3, 1, 12));
    moments.push_back(at(2023, 12, 12, 23, 33, 8)); // both searches find the same new moon
    moments.push_back(at(1850, 3, 3, 3));
    moments.push_back(at(2024, 2, 1, 12));
    const MoonListResult one = MoonList(moments[3], moscow);
    moments.push_back(astro::LocalToUniversal(one.end)); // exactly at a moonrise
    moments.push_back(moments[3]);

    const std::vector<MoonListResult> batch = MoonListBatch(moments, moscow);
    ASSERT_EQ(batch.size(), moments.size());
    for (std::size_t i = 0; i < moments.size(); ++i) {
        const MoonListResult want = MoonList(moments[i], moscow);
        const std::string what = "moment " + std::to_string(i) + " " + isoMoment(moments[i]).toStdString();
        ASSERT_EQ(batch[i].boundaries, want.boundaries) << what;
        EXPECT_EQ(batch[i].found, want.found) << what;
        EXPECT_EQ(batch[i].lunarDay, want.lunarDay) << what;
        EXPECT_EQ(batch[i].start, want.start) << what;
        EXPECT_EQ(batch[i].end, want.end) << what;
    }
    EXPECT_TRUE(MoonListBatch({}, moscow).empty());
}

TEST(MoonListBatch, EachLunationOnceAndFaultsReachTheCaller)
{
    // Constructed: every moment in the one lunation; moonrises counted.
    FakeEngine f;
    f.opening = 46000.5;
    f.closing = 46029.75;
    auto calls = std::make_shared<int>(0);
    const auto daily = dailyRise(6 * kHour);
    f.rise = [calls, daily](double day) {
        ++*calls;
        return daily(day);
    };
    MoonList(46010.0, {}, f.engine());
    const int perList = *calls;
    *calls = 0;
    const std::vector<MoonListResult> r = MoonListBatch({46003.0, 46010.0, 46020.9, 46003.0}, {}, f.engine());
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].lunarDay, 3);
    EXPECT_EQ(r[1].lunarDay, 10);
    EXPECT_EQ(r[2].lunarDay, 21);
    EXPECT_EQ(r[3].lunarDay, 3);
    EXPECT_GT(perList, 29);
    EXPECT_EQ(*calls, perList) << "the days of one lunation, scanned once";

    // A fault in the moonrises, day by day or for the lunation at once.
    LunarEngine failing = f.engine();
    failing.riseSet = [](double, const astro::ObserverPosition &, int) -> astro::RiseSetResult {
        throw astro::OverflowError();
    };
    EXPECT_THROW(MoonListBatch({46010.0}, {}, failing), astro::OverflowError);
    LunarEngine failingDays = f.engine();
    failingDays.riseSetDays = [](double, int, const astro::ObserverPosition &,
                                 int) -> std::vector<astro::RiseSetResult> { throw astro::DivisionByZeroError(); };
    EXPECT_THROW(MoonList(46010.0, {}, failingDays), astro::DivisionByZeroError);
    EXPECT_THROW(MoonListBatch({46010.0}, {}, failingDays), astro::DivisionByZeroError);
    // The real engine on a moment it cannot place.
    EXPECT_THROW(MoonListBatch({46010.0, std::nan("")}, {55.75, 37.5833}), astro::InvalidArgumentError);
}

// The diary's batch: moments with their own offsets (summer and winter
// time, another zone), several in one lunation, give what
// computeCalendarAtOffset gives for each; the same lunation in two offsets
// keeps two boundary lists.
TEST(MoonListBatch, AtOffsetEqualsComputeCalendarAtOffset)
{
    const astro::ObserverPosition moscow{55.75, 37.5833};
    const std::vector<OffsetMoment> moments = {
        {at(2010, 7, 1, 23, 30), 4 * 3600}, {at(2010, 7, 1, 23, 30), 3 * 3600}, {at(2010, 7, 5, 8, 0), 4 * 3600},
        {at(2010, 12, 25, 3, 0), 3 * 3600}, {at(2010, 7, 3, 12, 0), -5 * 3600}, {at(1850, 1, 1, 0, 0), 0},
        {at(2010, 7, 9, 20, 15), 4 * 3600}, {at(2010, 12, 26, 3, 0), 3 * 3600},
    };
    const std::vector<CalendarAnswer> batch = computeCalendarAtOffsetBatch(moments, moscow);
    ASSERT_EQ(batch.size(), moments.size());
    for (std::size_t i = 0; i < moments.size(); ++i) {
        const CalendarAnswer want = computeCalendarAtOffset(moments[i].local, moments[i].utcOffsetSeconds, moscow);
        const std::string what = "moment " + std::to_string(i);
        EXPECT_EQ(batch[i].moment, want.moment) << what;
        EXPECT_EQ(batch[i].weekday, want.weekday) << what;
        EXPECT_EQ(batch[i].dayText, want.dayText) << what;
        EXPECT_EQ(batch[i].moon.boundaries, want.moon.boundaries) << what;
        EXPECT_EQ(batch[i].moon.lunarDay, want.moon.lunarDay) << what;
        EXPECT_EQ(batch[i].moon.start, want.moon.start) << what;
        EXPECT_EQ(batch[i].moon.end, want.moon.end) << what;
    }
    EXPECT_EQ(toSeconds(batch[0].moon.boundaries.first()) - toSeconds(batch[1].moon.boundaries.first()), 3600)
        << "one lunation seen an hour apart";
}
