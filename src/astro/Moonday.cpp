#include "astro/Moonday.h"

#include "astro/mMath.h"
#include "astro/mPublicVars.h"
#include "astro/mTime.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>

namespace astro {

PhaseWorkingState PhaseWork;

namespace {

// 1582-10-15, the first day of the Gregorian calendar, as a date value.
constexpr double kGregorianStartDate = -115858.0;

std::int32_t ToInt32(double v)
{
    if (!(v >= static_cast<double>(std::numeric_limits<std::int32_t>::min())
          && v <= static_cast<double>(std::numeric_limits<std::int32_t>::max())))
        throw OverflowError();
    return static_cast<std::int32_t>(v);
}

std::int32_t Step(std::int32_t n, int by)
{
    return ToInt32(static_cast<double>(n) + by);
}

} // namespace

double DateToJulianDay(double date)
{
    Checked(date);
    if (date >= 0.0)
        return date + 2415018.5;
    const double n = std::trunc(date);
    const double f = date - n;
    if (n < kGregorianStartDate)
        return n + 2415028.0 + 0.5 - f;
    return n + 2415018.0 + 0.5 - f;
}

bool IsValidJulianDay(double jd)
{
    return jd >= 1757593.50001 && jd <= 5373484.49998843;
}

double JulianDayToDate(double jd)
{
    if (!IsValidJulianDay(jd))
        return 0.0;
    const double x = jd >= 2299160.5 ? jd - 2415018.5 : jd - 2415028.5;
    if (x < 0.0 && x != std::trunc(x)) {
        const double f = x - std::trunc(x);
        return std::trunc(x) - 2.0 - f;
    }
    return x;
}

int UtcBiasMinutes()
{
    tzset();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &local) == nullptr)
        return 0;
    // tm_gmtoff is local minus universal time, daylight saving included
    // when it is in force (tm_isdst > 0): bias + daylight bias then, the
    // standard bias alone otherwise.
    return static_cast<int>(-local.tm_gmtoff / 60);
}

namespace {

// 1970-01-01 00:00 in seconds since the date values' epoch 1899-12-30.
constexpr std::int64_t kUnixEpoch = 25569LL * 86400;

// Local minus universal time in seconds at a universal instant (seconds
// since 1899-12-30); 0 where the system cannot say.
long offsetAt(std::int64_t universal)
{
    const auto t = static_cast<std::time_t>(universal - kUnixEpoch);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr)
        return 0;
    return local.tm_gmtoff;
}

} // namespace

double LocalToUniversal(double date)
{
    tzset();
    const std::int64_t wall = DateToSeconds(date);
    // the offsets a day either side: they differ only around a change
    const long before = offsetAt(wall - 86400), after = offsetAt(wall + 86400);
    const bool beforeHolds = offsetAt(wall - before) == before, afterHolds = offsetAt(wall - after) == after;
    long offset = before; // the skipped hour: read with the offset before the change
    if (beforeHolds && afterHolds)
        offset = std::min(before, after); // shown twice: the later, standard-time one
    else if (afterHolds)
        offset = after;
    return DateAddDays(date, -static_cast<double>(offset) / 86400.0);
}

double UniversalToLocal(double date)
{
    tzset();
    return DateAddDays(date, static_cast<double>(offsetAt(DateToSeconds(date))) / 86400.0);
}

double MoonPhaseTime(std::int32_t n, std::int16_t phase)
{
    const double k = (static_cast<double>(n) - 953.0) + phase / 4.0;
    const double t = k / 1236.85;
    const double t2 = t * t, t3 = t2 * t, t4 = t3 * t;
    PhaseWorkingState &w = PhaseWork;
    w.JDE = Checked(2451550.09765 + 29.530588853 * k + 0.0001337 * t2 - 0.00000015 * t3 + 0.00000000073 * t4);
    w.E = 1.0 - 0.002516 * t - 0.0000074 * t2;
    w.M = ReduceToRadians(2.5534 + 29.10535669 * k - 0.0000218 * t2 - 0.00000011 * t3);
    w.Mp = ReduceToRadians(201.5643 + 385.81693528 * k + 0.0107438 * t2 + 0.00001239 * t3 - 0.000000058 * t4);
    w.F = ReduceToRadians(160.7108 + 390.67050274 * k - 0.0016341 * t2 - 0.00000227 * t3 + 0.000000011 * t4);
    w.Omega = ReduceToRadians(124.7746 - 1.5637558 * k + 0.0020691 * t2 + 0.00000215 * t3);
    w.A[0] = 0.0;
    w.A[1] = ReduceToRadians(299.77 + 0.107408 * k - 0.009173 * t2);
    w.A[2] = ReduceToRadians(251.88 + 0.016321 * k);
    w.A[3] = ReduceToRadians(251.83 + 26.651886 * k);
    w.A[4] = ReduceToRadians(349.42 + 36.412478 * k);
    w.A[5] = ReduceToRadians(84.66 + 18.206239 * k);
    w.A[6] = ReduceToRadians(141.74 + 53.303771 * k);
    w.A[7] = ReduceToRadians(207.14 + 2.453732 * k);
    w.A[8] = ReduceToRadians(154.84 + 7.30686 * k);
    w.A[9] = ReduceToRadians(34.52 + 27.261239 * k);
    w.A[10] = ReduceToRadians(207.19 + 0.121824 * k);
    w.A[11] = ReduceToRadians(291.34 + 1.844379 * k);
    w.A[12] = ReduceToRadians(161.72 + 24.198154 * k);
    w.A[13] = ReduceToRadians(239.56 + 25.513099 * k);
    w.A[14] = ReduceToRadians(331.55 + 3.592518 * k);
    MoonPhaseCorrections(phase);
    return w.JDE;
}

void MoonPhaseCorrections(std::int16_t phase)
{
    PhaseWorkingState &w = PhaseWork;
    const double e = w.E, m = w.M, mp = w.Mp, f = w.F, om = w.Omega;
    using std::sin;
    using std::cos;
    double c = 0.0;
    if (phase == 0 || phase == 2) {
        if (phase == 0)
            c = -0.4072 * sin(mp) + 0.17241 * e * sin(m) + 0.01608 * sin(2 * mp) + 0.01039 * sin(2 * f)
                + 0.00739 * e * sin(mp - m) - 0.00514 * e * sin(mp + m) + 0.00208 * e * e * sin(2 * m);
        else
            c = -0.40614 * sin(mp) + 0.17302 * e * sin(m) + 0.01614 * sin(2 * mp) + 0.01043 * sin(2 * f)
                + 0.00734 * e * sin(mp - m) - 0.00515 * e * sin(mp + m) + 0.00209 * e * e * sin(2 * m);
        c += -0.00111 * sin(mp - 2 * f) - 0.00057 * sin(mp + 2 * f) + 0.00056 * e * sin(2 * mp + m)
             - 0.00042 * sin(3 * mp) + 0.00042 * e * sin(m + 2 * f) + 0.00038 * e * sin(m - 2 * f)
             - 0.00024 * e * sin(2 * mp - m) - 0.00017 * sin(om) - 0.00007 * sin(mp + 2 * m)
             + 0.00004 * sin(2 * mp - 2 * f) + 0.00004 * sin(3 * m) + 0.00003 * sin(mp + m - 2 * f)
             + 0.00003 * sin(2 * mp + 2 * f) - 0.00003 * sin(mp + m + 2 * f) + 0.00003 * sin(mp - m + 2 * f)
             - 0.00002 * sin(mp - m - 2 * f) - 0.00002 * sin(3 * mp + m) + 0.00002 * sin(4 * mp);
    } else if (phase == 1 || phase == 3) {
        c = -0.62801 * sin(mp) + 0.17172 * e * sin(m) - 0.01183 * e * sin(mp + m) + 0.00862 * sin(2 * mp)
            + 0.00804 * sin(2 * f) + 0.00454 * e * sin(mp - m) + 0.00204 * e * e * sin(2 * m) - 0.0018 * sin(mp - 2 * f)
            - 0.0007 * sin(mp + 2 * f) - 0.0004 * sin(3 * mp) - 0.00034 * e * sin(2 * mp - m)
            + 0.00032 * e * sin(m + 2 * f) + 0.00032 * e * sin(m - 2 * f) - 0.00028 * e * e * sin(mp + 2 * m)
            + 0.00027 * e * sin(2 * mp + m) - 0.00017 * sin(om) - 0.00005 * sin(mp - m - 2 * f)
            + 0.00004 * sin(2 * mp + 2 * f) - 0.00004 * sin(mp + m + 2 * f) + 0.00004 * sin(mp - 2 * m)
            + 0.00003 * sin(mp + m - 2 * f) + 0.00003 * sin(3 * m) + 0.00002 * sin(2 * mp - 2 * f)
            + 0.00002 * sin(mp - m + 2 * f) - 0.00002 * sin(3 * mp + m);
        const double wq = 0.00306 - 0.00038 * e * cos(m) + 0.00026 * cos(mp) - 0.00002 * cos(mp - m)
                          + 0.00002 * cos(mp + m) + 0.00002 * cos(2 * f);
        c += phase == 1 ? wq : -wq;
    }
    const std::array<double, 15> &a = w.A;
    c += 0.000325 * sin(a[1]) + 0.000165 * sin(a[2]) + 0.000164 * sin(a[3]) + 0.000126 * sin(a[4]) + 0.00011 * sin(a[5])
         + 0.000062 * sin(a[6]) + 0.00006 * sin(a[7]) + 0.000056 * sin(a[8]) + 0.000047 * sin(a[9])
         + 0.000042 * sin(a[10]) + 0.00004 * sin(a[11]) + 0.000037 * sin(a[12]) + 0.000035 * sin(a[13])
         + 0.000023 * sin(a[14]);
    // A fault here (only possible from a working state that holds no
    // finite angles) is raised, not swallowed: a phase instant without its
    // corrections would pass for a correct one.
    w.JDE = Checked(w.JDE + Checked(c));
}

std::int32_t LunationNumber(double date)
{
    Checked(date);
    const double e = std::nearbyint(date - FirstLunationDate);
    std::int32_t n = ToInt32(std::nearbyint(e / 29.530589));
    const double t = DateToJulianDay(date) + 0.00000579;
    for (;;) {
        const double a = MoonPhaseTime(n, 0);
        const double b = MoonPhaseTime(Step(n, 1), 0);
        if (t < a)
            n = Step(n, -1);
        else if (t >= b)
            n = Step(n, 1);
        else
            return n;
    }
}

double LastNewMoon(double date)
{
    return JulianDayToDate(MoonPhaseTime(LunationNumber(date), 0));
}

double NextNewMoon(double date)
{
    const std::int32_t n = LunationNumber(date);
    const double last = JulianDayToDate(MoonPhaseTime(n, 0));
    // Date values before the epoch do not grow with time within a day, so
    // moments are compared as serial days.
    if (DateToSerial(last) > DateToSerial(date))
        return last;
    return JulianDayToDate(MoonPhaseTime(Step(n, 1), 0));
}

} // namespace astro
