#include "calendar/calen/LunarDay.h"

#include "astro/Moonday.h"
#include "astro/mMath.h"
#include "astro/mTime.h"
#include "calendar/tables/DreamTables.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <cmath>

namespace somnex::calendar {

namespace {

constexpr qint64 kSecondsPerDay = 86400;
const QDate kEpoch(1899, 12, 30);

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

} // namespace

double toDateValue(const QDate &date, const QTime &time)
{
    return astro::JoinDate(kEpoch.daysTo(date), time.isValid() ? time.msecsSinceStartOfDay() / 1000 : 0);
}

QDate dateOf(double date)
{
    if (!std::isfinite(date))
        return {};
    const QDate d = kEpoch.addDays(astro::SplitDate(date).days);
    if (!d.isValid() || d.year() < 100 || d.year() > 9999)
        return {};
    return d;
}

QTime timeOf(double date)
{
    if (!std::isfinite(date))
        return {};
    return QTime::fromMSecsSinceStartOfDay(astro::SplitDate(date).second * 1000);
}

QString formatMoment(double date, const QString &format)
{
    const QDate d = dateOf(date);
    if (!d.isValid())
        return {};
    return QLocale(QLocale::Russian, QLocale::Russia).toString(QDateTime(d, timeOf(date), QTimeZone::utc()), format);
}

QString isoMoment(double date)
{
    return formatMoment(date, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

int UtcOffsetHours(double localNow)
{
    const qint64 local = toSeconds(localNow);
    const qint64 universal = toSeconds(astro::LocalToUniversal(localNow));
    return static_cast<int>(floorDiv(local, 3600) - floorDiv(universal, 3600));
}

const LunarEngine &LunarEngine::standard()
{
    static const LunarEngine engine{
        [](double d) { return astro::LastNewMoon(d); },
        [](double d) { return astro::NextNewMoon(d); },
        [](double day, const astro::ObserverPosition &o, int body) { return astro::RiseSet(day, o, body); },
        [](double d) { return astro::UniversalToLocal(d); },
    };
    return engine;
}

MoonListResult MoonList(double momentUniversal, const astro::ObserverPosition &observer, const LunarEngine &engine)
{
    astro::Observer = observer;
    qint64 start = toSeconds(engine.universalToLocal(engine.lastNewMoon(momentUniversal)));
    const qint64 end = toSeconds(engine.universalToLocal(engine.nextNewMoon(momentUniversal)));
    if (end <= start) {
        // A moment a fraction of a second before a new moon: both searches
        // find that new moon. The moment still belongs to the lunation the
        // new moon closes; its opening new moon is found from a day earlier.
        const double dayBefore = fromSeconds(toSeconds(momentUniversal) - kSecondsPerDay);
        start = toSeconds(engine.universalToLocal(engine.lastNewMoon(dayBefore)));
        if (end <= start)
            return {}; // no lunation to place the moment in
    }

    QList<qint64> list{start};
    // The moonrise of every day from the one before the opening new moon to
    // the one after the closing new moon. The day before matters east of
    // Greenwich: there the universal day before the local date of the new
    // moon can still hold a moonrise after it.
    for (qint64 t = start - kSecondsPerDay; t <= end + kSecondsPerDay; t += kSecondsPerDay) {
        const double day = std::trunc(fromSeconds(t));
        const astro::RiseSetResult rs = engine.riseSet(day, observer, astro::Moon);
        // Rise 0 is a day without a moonrise, set -1 a day without either
        // event; neither is a moment to list.
        if (rs.Rise == 0.0 || rs.Set == -1.0)
            continue;
        const qint64 rise = toSeconds(engine.universalToLocal(rs.Rise));
        if (rise < start)
            continue;
        list.append(rise);
        // The first moonrise after the closing new moon ends the list (it
        // becomes that new moon below); later ones would only open lunar
        // days of the next lunation.
        if (rise > end)
            break;
    }
    // The list ends with the closing new moon: it takes the place of a
    // moonrise after it, or follows the last moonrise when the days scanned
    // held none after it (the last lunar day still ends at the new moon).
    if (list.last() > end)
        list.last() = end;
    else if (list.last() < end)
        list.append(end);

    MoonListResult r;
    r.boundaries.reserve(list.size());
    for (qint64 v : list)
        r.boundaries.append(fromSeconds(v));

    const qint64 x = toSeconds(engine.universalToLocal(momentUniversal));
    qint64 previous = start;
    qint16 counter = 0;
    for (qint64 v : list) {
        // Lunar day 1 begins at the new moon itself: the moment of the
        // opening new moon belongs to it, not to no day at all.
        const bool after = x > previous || (counter == 1 && x == previous);
        if (after && x <= v) {
            r.found = true;
            r.lunarDay = counter;
            r.start = fromSeconds(previous);
            r.end = fromSeconds(v);
            break;
        }
        previous = v;
        ++counter;
    }
    return r;
}

int phasePictureFor(int lunarDay)
{
    return qBound(1, lunarDay, 29);
}

namespace {

// The weekday and the day of the month of a local moment, with their texts.
CalendarAnswer dayAnswer(double localMoment)
{
    CalendarAnswer a;
    a.moment = localMoment;
    const QDate d = dateOf(localMoment);
    a.weekday = static_cast<qint16>(d.dayOfWeek());
    a.weekdayName = WeekDayStr(a.weekday);
    a.weekdayText = DreamByWeekDay(a.weekday);
    a.day = static_cast<qint16>(d.day());
    a.dayText = DreamByDay(a.day);
    return a;
}

} // namespace

CalendarAnswer computeCalendar(double localMoment, const astro::ObserverPosition &observer, const LunarEngine &engine)
{
    CalendarAnswer a = dayAnswer(localMoment);
    a.moon = MoonList(astro::LocalToUniversal(localMoment), observer, engine);
    return a;
}

CalendarAnswer computeCalendarAtOffset(double localMoment, int utcOffsetSeconds,
                                       const astro::ObserverPosition &observer, const LunarEngine &engine)
{
    CalendarAnswer a = dayAnswer(localMoment);
    LunarEngine fixed = engine;
    fixed.universalToLocal = [utcOffsetSeconds](double d) { return fromSeconds(toSeconds(d) + utcOffsetSeconds); };
    a.moon = MoonList(fromSeconds(toSeconds(localMoment) - utcOffsetSeconds), observer, fixed);
    return a;
}

QString boundsText(double start, double end)
{
    const QString f = QStringLiteral("dd MMM yyyy hh:mm");
    return QStringLiteral(" (") + formatMoment(start, f) + QStringLiteral(" - ") + formatMoment(end, f)
           + QStringLiteral(")");
}

QString engineFaultText(const std::exception &e)
{
    if (const auto *f = dynamic_cast<const astro::FloatError *>(&e)) {
        switch (f->number()) {
        case 5: return QStringLiteral("Недопустимый вызов процедуры или аргумент");
        case 6: return QStringLiteral("Переполнение");
        case 11: return QStringLiteral("Деление на ноль");
        default: break;
        }
    }
    return QString::fromLocal8Bit(e.what());
}

} // namespace somnex::calendar
