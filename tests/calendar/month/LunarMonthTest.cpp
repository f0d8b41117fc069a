// The month of the Moon against an independent ephemeris (the table in
// tests/data/month-reference.tsv, made by reference.js beside this file):
// the principal phases, the Moon's entries into the signs, the lit share of
// the disc and the rises and sets over twelve months at four places in
// their own zones, the polar day and night at Murmansk; and the lunar days
// of every date against the one-moment calendar.

#include "astro/Moonday.h"
#include "calendar/lunarday/LunarMonth.h"
#include "calendar/tables/DreamTables.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QMap>
#include <QTextStream>
#include <QTimeZone>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <optional>
#include <string>

using namespace somnex::calendar;

namespace {

struct Place {
    QString name;
    astro::ObserverPosition position;
    QByteArray zone;
};

struct Reference {
    QList<Place> places;
    QList<QPair<QString, qint64>> phases;               // kind, universal seconds
    QList<QPair<int, qint64>> signs;                    // sign, universal seconds
    QMap<QString, QMap<QDate, double>> illum;           // place -> date -> percent
    QMap<QString, QMap<QString, QList<qint64>>> events; // kind -> place -> universal seconds
};

qint64 universalSeconds(const QString &iso)
{
    QDateTime t = QDateTime::fromString(iso, Qt::ISODateWithMs);
    t = t.toUTC();
    return toSeconds(toDateValue(t.date(), t.time()));
}

const Reference &reference()
{
    static const Reference r = [] {
        Reference ref;
        QFile f(QStringLiteral(SOMNEX_TEST_DATA_DIR "/month-reference.tsv"));
        if (!f.open(QIODevice::ReadOnly))
            return ref;
        QTextStream in(&f);
        while (!in.atEnd()) {
            const QString line = in.readLine();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const QStringList c = line.split(QLatin1Char('\t'));
            const QString &kind = c[0];
            if (kind == QLatin1String("place") && c.size() == 5)
                ref.places.append({c[1], {c[2].toDouble(), c[3].toDouble()}, c[4].toLatin1()});
            else if (kind == QLatin1String("phase"))
                ref.phases.append({c[1], universalSeconds(c[2])});
            else if (kind == QLatin1String("sign"))
                ref.signs.append({c[1].toInt(), universalSeconds(c[2])});
            else if (kind == QLatin1String("illum"))
                ref.illum[c[1]][QDate::fromString(c[2], Qt::ISODate)] = c[3].toDouble();
            else
                ref.events[kind][c[1]].append(universalSeconds(c[2]));
        }
        return ref;
    }();
    return r;
}

// TZ for one test, restored afterwards.
class Zone {
public:
    explicit Zone(const QByteArray &zone)
    {
        if (const char *tz = std::getenv("TZ"))
            saved_ = tz;
        setenv("TZ", zone.constData(), 1);
        tzset();
    }
    ~Zone()
    {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    Zone(const Zone &) = delete;
    Zone &operator=(const Zone &) = delete;

private:
    std::optional<std::string> saved_;
};

qint64 universalOf(double local)
{
    return toSeconds(astro::LocalToUniversal(local));
}

// The twelve months of the table.
QList<LunarMonth> yearAt(const Place &p)
{
    QList<LunarMonth> months;
    for (int i = 0; i < 12; ++i) {
        const QDate first = QDate(2026, 12, 1).addMonths(i);
        months.append(computeMonth(first.year(), first.month(), p.position));
    }
    return months;
}

// The nearest reference instant to t, in seconds (a large number for none).
qint64 nearest(const QList<qint64> &list, qint64 t)
{
    qint64 best = std::numeric_limits<qint64>::max();
    for (qint64 r : list)
        best = std::min(best, std::abs(r - t));
    return best;
}

struct Worst {
    qint64 seconds = 0;
    QString what;
    void take(qint64 s, const QString &w)
    {
        if (s > seconds) {
            seconds = s;
            what = w;
        }
    }
};

const Place *placeNamed(const QString &name)
{
    for (const Place &p : reference().places)
        if (p.name == name)
            return &p;
    return nullptr;
}

} // namespace

TEST(LunarMonth, ReferenceTableIsThere)
{
    const Reference &r = reference();
    ASSERT_EQ(r.places.size(), 5);
    EXPECT_GE(r.phases.size(), 48);
    EXPECT_GE(r.signs.size(), 160);
}

// Phases within a minute, sign entries within two minutes with the right
// sign, the lit share within a percentage point, moonrise and moonset within
// four minutes; every event of the table's months found, none invented.
TEST(LunarMonth, AgreesWithAnIndependentEphemerisAtFourPlaces)
{
    const Reference &r = reference();
    for (const QString &name : {QStringLiteral("moscow"), QStringLiteral("novosibirsk"), QStringLiteral("sydney"),
                                QStringLiteral("buenosaires")}) {
        const Place *p = placeNamed(name);
        ASSERT_NE(p, nullptr) << name.toStdString();
        const Zone zone(p->zone);
        const QList<LunarMonth> months = yearAt(*p);
        Worst phase, sign, rise, set, sun;
        double worstIllum = 0.0;
        int phases = 0, signs = 0, rises = 0, sets = 0;
        QList<qint64> phaseTimes, signTimes;
        for (const auto &[kind, t] : r.phases)
            phaseTimes.append(t);
        for (const auto &[s, t] : r.signs)
            signTimes.append(t);
        for (const LunarMonth &m : months) {
            EXPECT_EQ(m.zone, QString::fromLatin1(p->zone));
            for (const PhaseInstant &ph : m.phases) {
                ++phases;
                const qint64 t = universalOf(ph.at);
                bool same = false;
                for (const auto &[kind, rt] : r.phases)
                    if (std::abs(rt - t) < 3600)
                        same = kind == phaseCode(ph.phase);
                EXPECT_TRUE(same) << name.toStdString() << " " << isoMoment(ph.at).toStdString();
                phase.take(nearest(phaseTimes, t), isoMoment(ph.at));
            }
            for (const SignEntry &s : m.signs) {
                ++signs;
                const qint64 t = universalOf(s.at);
                bool same = false;
                for (const auto &[rs, rt] : r.signs)
                    if (std::abs(rt - t) < 3600)
                        same = rs == s.sign;
                EXPECT_TRUE(same) << name.toStdString() << " " << isoMoment(s.at).toStdString();
                sign.take(nearest(signTimes, t), isoMoment(s.at));
            }
            for (const MonthDay &d : m.days) {
                ASSERT_TRUE(r.illum[name].contains(d.date));
                const double diff = std::fabs(d.illumination - r.illum[name][d.date]);
                worstIllum = std::max(worstIllum, diff);
                EXPECT_LE(diff, 1.0) << name.toStdString() << " " << d.date.toString(Qt::ISODate).toStdString();
                if (d.moon.rise) {
                    ++rises;
                    rise.take(nearest(r.events[QStringLiteral("moonrise")][name], universalOf(*d.moon.rise)),
                              isoMoment(*d.moon.rise));
                }
                if (d.moon.set) {
                    ++sets;
                    set.take(nearest(r.events[QStringLiteral("moonset")][name], universalOf(*d.moon.set)),
                             isoMoment(*d.moon.set));
                }
                ASSERT_TRUE(d.sun.rise && d.sun.set) << d.date.toString(Qt::ISODate).toStdString();
                sun.take(nearest(r.events[QStringLiteral("sunrise")][name], universalOf(*d.sun.rise)),
                         isoMoment(*d.sun.rise));
                sun.take(nearest(r.events[QStringLiteral("sunset")][name], universalOf(*d.sun.set)),
                         isoMoment(*d.sun.set));
            }
        }
        // Every reference event of the months has one of ours: as many of each.
        auto countWithin = [&](const QList<qint64> &list) {
            const qint64 from = universalOf(toDateValue(QDate(2026, 12, 1), QTime(0, 0)));
            const qint64 to = universalOf(toDateValue(QDate(2027, 12, 1), QTime(0, 0)));
            return std::count_if(list.begin(), list.end(), [&](qint64 t) { return t >= from && t < to; });
        };
        EXPECT_EQ(phases, countWithin(phaseTimes)) << name.toStdString();
        EXPECT_EQ(signs, countWithin(signTimes)) << name.toStdString();
        EXPECT_EQ(rises, countWithin(r.events[QStringLiteral("moonrise")][name])) << name.toStdString();
        EXPECT_EQ(sets, countWithin(r.events[QStringLiteral("moonset")][name])) << name.toStdString();
        EXPECT_LE(phase.seconds, 60) << phase.what.toStdString();
        EXPECT_LE(sign.seconds, 120) << sign.what.toStdString();
        EXPECT_LE(rise.seconds, 240) << rise.what.toStdString();
        EXPECT_LE(set.seconds, 240) << set.what.toStdString();
        EXPECT_LE(sun.seconds, 120) << sun.what.toStdString();
        std::cout << name.toStdString() << ": worst phase " << phase.seconds << " s, sign " << sign.seconds
                  << " s, illumination " << worstIllum << " pp, moonrise " << rise.seconds << " s, moonset "
                  << set.seconds << " s, sun " << sun.seconds << " s\n";
    }
}

// Murmansk: the polar night of December and the midnight sun of June shown
// as such; every moonrise and moonset shown is a real one.
TEST(LunarMonth, PolarDaysHaveNoSunriseAndNoWrongMoonrise)
{
    const Reference &r = reference();
    const Place *p = placeNamed(QStringLiteral("murmansk"));
    ASSERT_NE(p, nullptr);
    const Zone zone(p->zone);
    const LunarMonth december = computeMonth(2026, 12, p->position);
    const LunarMonth june = computeMonth(2027, 6, p->position);
    for (int day : {10, 21, 31}) {
        const MonthDay &d = december.days[day - 1];
        EXPECT_FALSE(d.sun.rise || d.sun.set) << day;
        EXPECT_TRUE(d.sun.belowAllDay);
        EXPECT_FALSE(d.sun.aboveAllDay);
    }
    for (int day : {1, 21, 30}) {
        const MonthDay &d = june.days[day - 1];
        EXPECT_FALSE(d.sun.rise || d.sun.set) << day;
        EXPECT_TRUE(d.sun.aboveAllDay);
    }
    int withoutMoonrise = 0;
    for (const LunarMonth *m : {&december, &june}) {
        for (const MonthDay &d : m->days) {
            if (!d.moon.rise)
                ++withoutMoonrise;
            if (d.moon.rise) {
                EXPECT_LE(nearest(r.events[QStringLiteral("moonrise")][p->name], universalOf(*d.moon.rise)), 900)
                    << isoMoment(*d.moon.rise).toStdString();
            }
            if (d.moon.set) {
                EXPECT_LE(nearest(r.events[QStringLiteral("moonset")][p->name], universalOf(*d.moon.set)), 900)
                    << isoMoment(*d.moon.set).toStdString();
            }
            EXPECT_FALSE(d.moon.aboveAllDay && d.moon.belowAllDay);
        }
    }
    EXPECT_GT(withoutMoonrise, 15);
}

// Each date's lunar days are the ones the one-moment calendar finds at
// moments of that date, with the same starts and ends; the noon lunar day
// and its text are the calendar's at 12:00.
TEST(LunarMonth, LunarDaysAreTheOneMomentCalendars)
{
    for (const QByteArray &tz : {QByteArray("Europe/Moscow"), QByteArray("Australia/Sydney")}) {
        const Zone zone(tz);
        const astro::ObserverPosition place = tz.startsWith("Europe") ? astro::ObserverPosition{55.7558, 37.6173}
                                                                      : astro::ObserverPosition{-33.8688, 151.2093};
        for (const QDate first : {QDate(2026, 12, 1), QDate(2027, 4, 1), QDate(2027, 10, 1)}) {
            const LunarMonth m = computeMonth(first.year(), first.month(), place);
            ASSERT_EQ(m.days.size(), first.daysInMonth());
            for (const MonthDay &d : m.days) {
                ASSERT_FALSE(d.lunarDays.isEmpty()) << d.date.toString(Qt::ISODate).toStdString();
                const qint64 midnight = toSeconds(toDateValue(d.date, QTime(0, 0)));
                const qint64 nextMidnight = toSeconds(toDateValue(d.date.addDays(1), QTime(0, 0)));
                for (const LunarDaySpan &s : d.lunarDays) {
                    // A moment of the date inside the span.
                    const qint64 inside = std::max(toSeconds(s.start) + 1, midnight);
                    ASSERT_LT(inside, nextMidnight);
                    const CalendarAnswer a = computeCalendar(fromSeconds(inside), place);
                    ASSERT_TRUE(a.moon.found);
                    EXPECT_EQ(a.moon.lunarDay, s.number) << d.date.toString(Qt::ISODate).toStdString();
                    EXPECT_EQ(toSeconds(a.moon.start), toSeconds(s.start));
                    EXPECT_EQ(toSeconds(a.moon.end), toSeconds(s.end));
                }
                const CalendarAnswer noon = computeCalendar(toDateValue(d.date, QTime(12, 0)), place);
                EXPECT_EQ(noon.moon.lunarDay, d.noonLunarDay);
                EXPECT_EQ(d.lunarDayText, DreamByMoon(noon.moon.lunarDay));
                EXPECT_EQ(d.weekdayText, noon.weekdayText);
                EXPECT_EQ(d.monthDayText, noon.dayText);
                // Consecutive lunar days of a date follow each other.
                for (qsizetype i = 1; i < d.lunarDays.size(); ++i)
                    EXPECT_EQ(toSeconds(d.lunarDays[i].start), toSeconds(d.lunarDays[i - 1].end));
            }
        }
    }
}

TEST(LunarMonth, MonthsOutsideTheCalendarAreRefused)
{
    EXPECT_FALSE(isComputableMonth(1600, 12));
    EXPECT_FALSE(isComputableMonth(10000, 1));
    EXPECT_FALSE(isComputableMonth(2026, 13));
    EXPECT_FALSE(isComputableMonth(2026, 0));
    EXPECT_TRUE(isComputableMonth(1601, 1));
    EXPECT_TRUE(isComputableMonth(9999, 12));
    EXPECT_THROW(computeMonth(2026, 13, {55.75, 37.62}), std::out_of_range);
}

TEST(LunarMonth, TheZoneIsNamedWithItsOffsets)
{
    {
        const Zone zone("Europe/Moscow");
        EXPECT_EQ(zoneLabel(2026, 12), QStringLiteral("Europe/Moscow, UTC+3"));
    }
    {
        const Zone zone("Australia/Sydney");
        EXPECT_EQ(zoneLabel(2027, 4), QStringLiteral("Australia/Sydney, UTC+11, с 4 апреля UTC+10"));
        EXPECT_EQ(zoneLabel(2027, 3), QStringLiteral("Australia/Sydney, UTC+11"));
    }
    {
        const Zone zone("Asia/Kolkata");
        EXPECT_EQ(zoneLabel(2027, 1), QStringLiteral("Asia/Kolkata, UTC+5:30"));
    }
    EXPECT_EQ(signName(0), QStringLiteral("Овен"));
    EXPECT_EQ(signName(11), QStringLiteral("Рыбы"));
    EXPECT_TRUE(signName(12).isEmpty());
}
