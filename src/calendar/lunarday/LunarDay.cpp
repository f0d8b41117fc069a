#include "calendar/lunarday/LunarDay.h"

#include "calendar/lunarday/EngineLock.h"

#include "astro/Moonday.h"
#include "astro/mMath.h"
#include "astro/mTime.h"
#include "calendar/tables/DreamTables.h"
#include "platform/core/RussianDates.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <utility>

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
    return dates::format(QDateTime(d, timeOf(date), QTimeZone::utc()), format);
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

namespace {

// The last answers of the engine's RiseSetDays on this thread, so that the
// moments of one lunation at one place share its moonrises.
class RiseSetDaysCache {
public:
    std::vector<astro::RiseSetResult> get(double firstDay, int count, const astro::ObserverPosition &o, int body)
    {
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            Entry &e = entries_[i];
            if (e.firstDay == firstDay && e.count == count && e.latitude == o.Latitude && e.longitude == o.Longitude
                && e.body == body) {
                std::rotate(entries_.begin(), entries_.begin() + std::ptrdiff_t(i),
                            entries_.begin() + std::ptrdiff_t(i) + 1);
                return entries_.front().days;
            }
        }
        Entry e{firstDay, count, o.Latitude, o.Longitude, body, astro::RiseSetDays(firstDay, count, o, body)};
        entries_.insert(entries_.begin(), e);
        if (entries_.size() > kSize)
            entries_.pop_back();
        return entries_.front().days;
    }

private:
    static constexpr std::size_t kSize = 8;
    struct Entry {
        double firstDay;
        int count;
        double latitude, longitude;
        int body;
        std::vector<astro::RiseSetResult> days;
    };
    std::vector<Entry> entries_;
};

} // namespace

std::recursive_mutex &engineLock()
{
    static std::recursive_mutex lock;
    return lock;
}

const LunarEngine &LunarEngine::standard()
{
    static const LunarEngine engine{
        [](double d) { return astro::LastNewMoon(d); },
        [](double d) { return astro::NextNewMoon(d); },
        [](double day, const astro::ObserverPosition &o, int body) { return astro::RiseSet(day, o, body); },
        [](double d) { return astro::UniversalToLocal(d); },
        [](double firstDay, int count, const astro::ObserverPosition &o, int body) {
            thread_local RiseSetDaysCache cache;
            return cache.get(firstDay, count, o, body);
        },
    };
    return engine;
}

namespace {

// The opening and the closing new moon of the lunation that holds the
// moment, local, in seconds; end <= start when there is none.
struct Lunation {
    qint64 start = 0;
    qint64 end = 0;
};

Lunation lunationOf(double momentUniversal, const LunarEngine &engine)
{
    Lunation l;
    l.start = toSeconds(engine.universalToLocal(engine.lastNewMoon(momentUniversal)));
    l.end = toSeconds(engine.universalToLocal(engine.nextNewMoon(momentUniversal)));
    if (l.end <= l.start) {
        // A moment a fraction of a second before a new moon: both searches
        // find that new moon. The moment still belongs to the lunation the
        // new moon closes; its opening new moon is found from a day earlier.
        const double dayBefore = fromSeconds(toSeconds(momentUniversal) - kSecondsPerDay);
        l.start = toSeconds(engine.universalToLocal(engine.lastNewMoon(dayBefore)));
    }
    return l;
}

// The boundary list of a lunation: the opening new moon, the moonrises
// after it and the closing new moon, local seconds.
QList<qint64> boundariesOf(const Lunation &l, const astro::ObserverPosition &observer, const LunarEngine &engine)
{
    const qint64 start = l.start, end = l.end;
    QList<qint64> list{start};
    // The moonrise of every day from the one before the opening new moon to
    // the one after the closing new moon. The day before matters east of
    // Greenwich: there the universal day before the local date of the new
    // moon can still hold a moonrise after it.
    const qint64 first = start - kSecondsPerDay, last = end + kSecondsPerDay;
    const double firstDay = std::trunc(fromSeconds(first));
    std::vector<astro::RiseSetResult> days;
    if (engine.riseSetDays)
        days = engine.riseSetDays(firstDay, int((last - first) / kSecondsPerDay) + 1, observer, astro::Moon);
    std::size_t i = 0;
    for (qint64 t = first; t <= last; t += kSecondsPerDay, ++i) {
        const double day = std::trunc(fromSeconds(t));
        const astro::RiseSetResult rs =
            i < days.size() && day == firstDay + double(i) ? days[i] : engine.riseSet(day, observer, astro::Moon);
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
    return list;
}

// The lunar day of the local moment x in the boundary list.
MoonListResult lunarDayIn(const QList<qint64> &list, qint64 x)
{
    MoonListResult r;
    r.boundaries.reserve(list.size());
    for (qint64 v : list)
        r.boundaries.append(fromSeconds(v));

    qint64 previous = list.first();
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

} // namespace

MoonListResult MoonList(double momentUniversal, const astro::ObserverPosition &observer, const LunarEngine &engine)
{
    const EngineGuard guard(engineLock());
    astro::Observer = observer;
    const Lunation l = lunationOf(momentUniversal, engine);
    if (l.end <= l.start)
        return {}; // no lunation to place the moment in
    return lunarDayIn(boundariesOf(l, observer, engine), toSeconds(engine.universalToLocal(momentUniversal)));
}

namespace {

// The boundary lists a batch has computed, by lunation (local seconds) and
// the offset its boundaries were turned into local time by.
using SharedLists = std::map<std::tuple<qint64, qint64, int>, QList<qint64>>;

MoonListResult sharedMoonList(double momentUniversal, const astro::ObserverPosition &observer,
                              const LunarEngine &engine, int zoneKey, SharedLists &lists)
{
    const Lunation l = lunationOf(momentUniversal, engine);
    if (l.end <= l.start)
        return {};
    auto it = lists.find({l.start, l.end, zoneKey});
    if (it == lists.end()) {
        astro::Observer = observer;
        it = lists.emplace(std::tuple{l.start, l.end, zoneKey}, boundariesOf(l, observer, engine)).first;
    }
    return lunarDayIn(it->second, toSeconds(engine.universalToLocal(momentUniversal)));
}

LunarEngine atOffset(const LunarEngine &engine, int utcOffsetSeconds)
{
    LunarEngine fixed = engine;
    fixed.universalToLocal = [utcOffsetSeconds](double d) { return fromSeconds(toSeconds(d) + utcOffsetSeconds); };
    return fixed;
}

} // namespace

std::vector<MoonListResult> MoonListBatch(const std::vector<double> &momentsUniversal,
                                          const astro::ObserverPosition &observer, const LunarEngine &engine)
{
    const EngineGuard guard(engineLock());
    astro::Observer = observer;
    SharedLists lists;
    std::vector<MoonListResult> out;
    out.reserve(momentsUniversal.size());
    for (double m : momentsUniversal)
        out.push_back(sharedMoonList(m, observer, engine, 0, lists));
    return out;
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
    const EngineGuard guard(engineLock());
    a.moon = MoonList(astro::LocalToUniversal(localMoment), observer, engine);
    return a;
}

CalendarAnswer computeCalendarAtOffset(double localMoment, int utcOffsetSeconds,
                                       const astro::ObserverPosition &observer, const LunarEngine &engine)
{
    CalendarAnswer a = dayAnswer(localMoment);
    a.moon =
        MoonList(fromSeconds(toSeconds(localMoment) - utcOffsetSeconds), observer, atOffset(engine, utcOffsetSeconds));
    return a;
}

std::vector<CalendarAnswer> computeCalendarAtOffsetBatch(const std::vector<OffsetMoment> &moments,
                                                         const astro::ObserverPosition &observer,
                                                         const LunarEngine &engine)
{
    const EngineGuard guard(engineLock());
    astro::Observer = observer;
    SharedLists lists;
    std::map<int, LunarEngine> engines;
    std::vector<CalendarAnswer> out;
    out.reserve(moments.size());
    for (const OffsetMoment &m : moments) {
        auto e = engines.find(m.utcOffsetSeconds);
        if (e == engines.end())
            e = engines.emplace(m.utcOffsetSeconds, atOffset(engine, m.utcOffsetSeconds)).first;
        CalendarAnswer a = dayAnswer(m.local);
        a.moon = sharedMoonList(fromSeconds(toSeconds(m.local) - m.utcOffsetSeconds), observer, e->second,
                                m.utcOffsetSeconds, lists);
        out.push_back(std::move(a));
    }
    return out;
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
