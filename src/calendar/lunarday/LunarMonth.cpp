#include "calendar/lunarday/LunarMonth.h"

#include "astro/Moonday.h"
#include "astro/mTime.h"
#include "calendar/lunarday/EngineLock.h"
#include "calendar/lunarday/Sky.h"
#include "calendar/tables/DreamTables.h"
#include "platform/core/RussianDates.h"

#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <stdexcept>
#include <utility>

namespace somnex::calendar {

namespace {

// Root searches stop when the bracket is this narrow, in days (0.05 s).
constexpr double kRootTolerance = 0.05 / 86400.0;

constexpr std::array<const char16_t *, kSignCount> kSigns = {u"Овен",    u"Телец",   u"Близнецы", u"Рак",
                                                             u"Лев",     u"Дева",    u"Весы",     u"Скорпион",
                                                             u"Стрелец", u"Козерог", u"Водолей",  u"Рыбы"};

// An angle reduced to (-180, 180].
double wrap180(double angle)
{
    double a = std::fmod(angle, 360.0);
    if (a <= -180.0)
        a += 360.0;
    else if (a > 180.0)
        a -= 360.0;
    return a;
}

// Universal serial days (days since 1899-12-30 that grow with time) and
// the engine's date values, local and universal.
double universalSerialOf(double local)
{
    return astro::DateToSerial(astro::LocalToUniversal(local));
}

double localOfUniversalSerial(double serial)
{
    const double local = astro::UniversalToLocal(astro::SerialToDate(serial));
    return fromSeconds(toSeconds(local));
}

double jdeOfSerial(double serial)
{
    return jdeOfUniversal(astro::SerialToDate(serial));
}

// The root of f in [a, b], f(a) < 0 <= f(b), f smooth and close to linear
// there (an angle that grows through a target): false position with the
// Illinois step, until two estimates agree within the tolerance.
double rootBetween(const std::function<double(double)> &f, double a, double b)
{
    double fa = f(a), fb = f(b);
    double c = a;
    int side = 0;
    for (int pass = 0; pass < 100; ++pass) {
        const double previous = c;
        c = fb != fa ? b - fb * (b - a) / (fb - fa) : (a + b) / 2.0;
        if (!(c >= a && c <= b))
            c = (a + b) / 2.0;
        const double fc = f(c);
        if (fc == 0.0 || std::fabs(c - previous) < kRootTolerance || b - a < kRootTolerance)
            break;
        if (fc < 0.0) {
            a = c;
            fa = fc;
            if (side == -1)
                fb /= 2.0;
            side = -1;
        } else {
            b = c;
            fb = fc;
            if (side == 1)
                fa /= 2.0;
            side = 1;
        }
    }
    return c;
}

struct Midnight {
    double local = 0.0;
    double serial = 0.0; // universal
    double moonLongitude = 0.0;
    double elongation = 0.0;
};

// The principal phases and the sign entries between two local midnights.
void findEvents(const Midnight &from, const Midnight &to, LunarMonth &m)
{
    const int q0 = int(from.elongation / 90.0) % 4, q1 = int(to.elongation / 90.0) % 4;
    if (q0 != q1) {
        const double target = 90.0 * q1;
        const double at =
            rootBetween([target](double s) { return wrap180(elongationInLongitude(jdeOfSerial(s)) - target); },
                        from.serial, to.serial);
        m.phases.append({static_cast<PrincipalPhase>(q1), localOfUniversalSerial(at)});
    }
    const int s0 = int(from.moonLongitude / 30.0) % kSignCount, s1 = int(to.moonLongitude / 30.0) % kSignCount;
    if (s0 != s1) {
        const double target = 30.0 * s1;
        const double at =
            rootBetween([target](double s) { return wrap180(apparentMoon(jdeOfSerial(s)).longitude - target); },
                        from.serial, to.serial);
        m.signs.append({s1, localOfUniversalSerial(at)});
    }
}

// The rises and sets of a body around the month, as local moments.
struct Events {
    std::vector<double> rises, sets;
};

Events collectEvents(int body, double firstDay, int count, const astro::ObserverPosition &place)
{
    Events e;
    for (const HorizonCrossing &c : horizonCrossings(body, firstDay, count, place))
        (c.rising ? e.rises : e.sets).push_back(fromSeconds(toSeconds(astro::UniversalToLocal(c.universal))));
    return e;
}

// A moonrise shown beside the lunar day it opens is the boundary the
// calendar computed for it, to the second, where the two agree.
void alignWithBoundaries(std::vector<double> &rises, const QList<LunarDaySpan> &spans)
{
    for (double &rise : rises)
        for (const LunarDaySpan &s : spans)
            if (std::abs(toSeconds(s.start) - toSeconds(rise)) <= 120)
                rise = s.start;
}

std::optional<double> firstWithin(const std::vector<double> &list, qint64 from, qint64 to)
{
    for (double t : list) {
        const qint64 s = toSeconds(t);
        if (s >= from && s < to)
            return t;
    }
    return std::nullopt;
}

RiseSetOfDate ofDate(const Events &e, qint64 from, qint64 to, bool aboveAtNoon)
{
    RiseSetOfDate r;
    r.rise = firstWithin(e.rises, from, to);
    r.set = firstWithin(e.sets, from, to);
    if (!r.rise && !r.set) {
        r.aboveAllDay = aboveAtNoon;
        r.belowAllDay = !aboveAtNoon;
    }
    return r;
}

// The lunar days of the lunations from the one holding the first moment
// to the one holding the last, as the one-moment calendar lists them.
QList<LunarDaySpan> lunarDaysBetween(double firstLocal, double lastLocal, const astro::ObserverPosition &place,
                                     const LunarEngine &engine)
{
    QList<LunarDaySpan> spans;
    double universal = astro::LocalToUniversal(firstLocal);
    const qint64 last = toSeconds(lastLocal);
    for (int lunation = 0; lunation < 4; ++lunation) {
        const MoonListResult r = MoonList(universal, place, engine);
        if (!r.found || r.boundaries.size() < 2)
            break;
        for (qsizetype k = 1; k < r.boundaries.size(); ++k)
            spans.append({qint16(k), r.boundaries[k - 1], r.boundaries[k]});
        if (toSeconds(r.boundaries.last()) > last)
            break;
        // The next lunation: a second after the new moon that closes this one.
        universal = fromSeconds(toSeconds(engine.nextNewMoon(universal)) + 1);
    }
    return spans;
}

void fillLunarDays(MonthDay &d, const QList<LunarDaySpan> &spans, qint64 from, qint64 to, qint64 noon)
{
    for (const LunarDaySpan &s : spans) {
        const qint64 start = toSeconds(s.start), end = toSeconds(s.end);
        if (start < to && end >= from && start < end)
            d.lunarDays.append(s);
        if (start < noon && noon <= end)
            d.noonLunarDay = s.number;
    }
}

MonthDay dayOf(const QDate &date, double noonLocal)
{
    MonthDay d;
    d.date = date;
    d.weekday = static_cast<qint16>(date.dayOfWeek());
    const double jde = jdeOfUniversal(astro::LocalToUniversal(noonLocal));
    d.illumination = std::round(illuminatedFraction(jde) * 1000.0) / 10.0;
    d.elongation = elongationInLongitude(jde);
    d.sign = int(apparentMoon(jde).longitude / 30.0) % kSignCount;
    d.weekdayText = DreamByWeekDay(d.weekday);
    d.monthDayText = DreamByDay(static_cast<qint16>(date.day()));
    return d;
}

// The local midnights from the first of the month to the first of the next,
// with the Moon's longitude and elongation there.
std::vector<Midnight> midnightsOf(const QDate &first, int days)
{
    std::vector<Midnight> midnights(std::size_t(days) + 1);
    for (int i = 0; i <= days; ++i) {
        Midnight &n = midnights[std::size_t(i)];
        n.local = toDateValue(first.addDays(i), QTime(0, 0));
        n.serial = universalSerialOf(n.local);
        const double jde = jdeOfSerial(n.serial);
        n.moonLongitude = apparentMoon(jde).longitude;
        n.elongation = elongationInLongitude(jde);
    }
    return midnights;
}

// The month's sign entry and phases that fall on a date.
void takeEventsOfDate(MonthDay &d, const LunarMonth &m, qint64 from, qint64 to)
{
    for (const SignEntry &s : m.signs)
        if (toSeconds(s.at) >= from && toSeconds(s.at) < to)
            d.signEntry = s;
    for (const PhaseInstant &p : m.phases)
        if (toSeconds(p.at) >= from && toSeconds(p.at) < to)
            d.phases.append(p);
}

} // namespace

QString phaseCode(PrincipalPhase phase)
{
    switch (phase) {
    case PrincipalPhase::New: return QStringLiteral("new");
    case PrincipalPhase::FirstQuarter: return QStringLiteral("firstQuarter");
    case PrincipalPhase::Full: return QStringLiteral("full");
    case PrincipalPhase::LastQuarter: return QStringLiteral("lastQuarter");
    }
    return QString();
}

QString phaseName(PrincipalPhase phase)
{
    switch (phase) {
    case PrincipalPhase::New: return QStringLiteral("Новолуние");
    case PrincipalPhase::FirstQuarter: return QStringLiteral("Первая четверть");
    case PrincipalPhase::Full: return QStringLiteral("Полнолуние");
    case PrincipalPhase::LastQuarter: return QStringLiteral("Последняя четверть");
    }
    return QString();
}

QString signName(int sign)
{
    if (sign < 0 || sign >= kSignCount)
        return QString();
    return QString::fromUtf16(kSigns[std::size_t(sign)]);
}

bool isComputableMonth(int year, int month)
{
    return year >= 1601 && year <= 9999 && month >= 1 && month <= 12;
}

LunarMonth computeMonth(int year, int month, const astro::ObserverPosition &place, const LunarEngine &engine)
{
    if (!isComputableMonth(year, month))
        throw std::out_of_range("month outside 1601-01..9999-12");
    const EngineGuard guard(engineLock());
    astro::Observer = place;
    LunarMonth m;
    m.year = year;
    m.month = month;
    m.place = place;
    m.zone = QString::fromLatin1(QTimeZone::systemTimeZoneId());

    const QDate first(year, month, 1);
    const int days = first.daysInMonth();
    const double firstLocal = toDateValue(first, QTime(0, 0));

    const std::vector<Midnight> midnights = midnightsOf(first, days);
    for (int i = 0; i < days; ++i)
        findEvents(midnights[std::size_t(i)], midnights[std::size_t(i) + 1], m);

    // Rising and setting: the universal days from two before the month to
    // two after it hold every event of its local dates in any zone.
    const double firstDay = astro::SerialToDate(std::floor(midnights.front().serial) - 2.0);
    const int count = days + 5;
    const QList<LunarDaySpan> spans = lunarDaysBetween(firstLocal, midnights.back().local, place, engine);
    Events moon = collectEvents(astro::Moon, firstDay, count, place);
    alignWithBoundaries(moon.rises, spans);
    const Events sun = collectEvents(astro::Sun, firstDay, count, place);

    for (int i = 0; i < days; ++i) {
        const QDate date = first.addDays(i);
        const qint64 from = toSeconds(midnights[std::size_t(i)].local);
        const qint64 to = toSeconds(midnights[std::size_t(i) + 1].local);
        const double noon = toDateValue(date, QTime(12, 0));
        MonthDay d = dayOf(date, noon);
        fillLunarDays(d, spans, from, to, toSeconds(noon));
        d.lunarDayText = d.noonLunarDay > 0 ? DreamByMoon(d.noonLunarDay) : QString();
        const double noonUniversal = astro::LocalToUniversal(noon);
        d.moon = ofDate(moon, from, to, altitudeAboveStandard(astro::Moon, noonUniversal, place) > 0.0);
        d.sun = ofDate(sun, from, to, altitudeAboveStandard(astro::Sun, noonUniversal, place) > 0.0);
        takeEventsOfDate(d, m, from, to);
        m.days.append(std::move(d));
    }
    return m;
}

QString zoneLabel(int year, int month)
{
    const QTimeZone zone = QTimeZone::systemTimeZone();
    auto offsetText = [](int seconds) {
        const int minutes = std::abs(seconds) / 60;
        QString t =
            QStringLiteral("UTC") + (seconds < 0 ? QLatin1Char('-') : QLatin1Char('+')) + QString::number(minutes / 60);
        if (minutes % 60 != 0)
            t += QLatin1Char(':') + QStringLiteral("%1").arg(minutes % 60, 2, 10, QLatin1Char('0'));
        return t;
    };
    if (!isComputableMonth(year, month))
        return QString::fromLatin1(zone.id());
    const QDateTime start(QDate(year, month, 1), QTime(0, 0), zone);
    const QDateTime end = start.addMonths(1);
    QString label = QString::fromLatin1(zone.id()) + QStringLiteral(", ") + offsetText(zone.offsetFromUtc(start));
    for (const QTimeZone::OffsetData &t : zone.transitions(start, end)) {
        if (!t.atUtc.isValid() || t.atUtc < start || t.atUtc >= end)
            continue;
        label += QStringLiteral(", с ") + dates::dayAndMonth(t.atUtc.toTimeZone(zone).date()) + QLatin1Char(' ')
                 + offsetText(t.offsetFromUtc);
    }
    return label;
}

} // namespace somnex::calendar
