#include "astro/mTime.h"

#include "astro/mCorrection.h"
#include "astro/mMath.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace astro {

namespace {

constexpr std::int64_t kInt16Min = std::numeric_limits<std::int16_t>::min();
constexpr std::int64_t kInt16Max = std::numeric_limits<std::int16_t>::max();

std::int16_t ToInt16(std::int64_t v)
{
    if (v < kInt16Min || v > kInt16Max)
        throw OverflowError();
    return static_cast<std::int16_t>(v);
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

constexpr std::int64_t kSecondsPerDay = 86400;

// Days of 1899-12-30 counted from 1970-01-01.
constexpr std::int64_t kEpochFromUnix = -25569;

// The time of day of a date value, [0, 1).
double TimeOfDay(double date)
{
    return date >= 0.0 ? date - std::floor(date) : std::fabs(date - std::trunc(date));
}

} // namespace

DateFields DateParts(double date)
{
    Checked(date);
    const double whole = std::trunc(date);
    // Far outside what 16-bit years can hold; keeps the integer maths exact.
    if (std::fabs(whole) > 4.0e7)
        throw OverflowError();
    // Civil date from a day count (proleptic Gregorian, eras of 400 years).
    std::int64_t z = static_cast<std::int64_t>(whole) + kEpochFromUnix + 719468;
    const std::int64_t era = FloorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    DateFields f;
    f.Year = ToInt16(year);
    f.Month = static_cast<std::int16_t>(month);
    f.Day = static_cast<std::int16_t>(day);
    return f;
}

double DateToSerial(double date)
{
    Checked(date);
    if (date >= 0.0)
        return date;
    const double whole = std::trunc(date);
    return whole + (whole - date);
}

double SerialToDate(double serial)
{
    Checked(serial);
    if (serial >= 0.0)
        return serial;
    const double day = std::floor(serial);
    const double time = serial - day;
    return time == 0.0 ? day : day - time;
}

double DateAddDays(double date, double days)
{
    return SerialToDate(Checked(DateToSerial(date) + days));
}

std::int64_t DateToSeconds(double date)
{
    return static_cast<std::int64_t>(std::llround(DateToSerial(date) * kSecondsPerDay));
}

double SecondsToDate(std::int64_t seconds)
{
    const std::int64_t days = FloorDiv(seconds, kSecondsPerDay);
    const std::int64_t rest = seconds - days * kSecondsPerDay;
    return SerialToDate(static_cast<double>(days) + static_cast<double>(rest) / kSecondsPerDay);
}

DaySecond SplitDate(double date)
{
    const std::int64_t s = DateToSeconds(date);
    const std::int64_t days = FloorDiv(s, kSecondsPerDay);
    return {days, static_cast<int>(s - days * kSecondsPerDay)};
}

double JoinDate(std::int64_t days, int second)
{
    return SecondsToDate(days * kSecondsPerDay + second);
}

double JulianDay(double date, bool beforeChrist, bool universalOnly)
{
    const DateFields f = DateParts(date);
    std::int64_t y = f.Year;
    if (beforeChrist)
        y = ToInt16(1 - y);
    const std::int64_t m0 = f.Month, d = f.Day;
    const std::int64_t a = (14 - m0) / 12;
    const std::int64_t m = m0 + 12 * a;
    // The year sum is 16-bit arithmetic: years above 27967 overflow here.
    const std::int64_t ySum = ToInt16(y + 4800 - a);
    std::int64_t n = FloorDiv(1461 * ySum, 4) + FloorDiv(367 * (m - 2), 12) + d - 32113;
    if (n > 2299160) {
        const std::int64_t century = FloorDiv(ToInt16(y + 100 - a), 100);
        n -= FloorDiv(3 * century, 4) - 2;
    }
    const double jd = static_cast<double>(n) - 0.5 + TimeOfDay(date);
    if (universalOnly)
        return jd;
    return Checked(jd + DeltaT(jd));
}

double DeltaT(double jd)
{
    Checked(jd);
    const double y = (jd - 2451545.0) / 365.25 + 2000.0;
    const double whole = std::floor(y);
    double s;
    if (whole < 948.0) {
        const double t = (y - 2000.0) / 100.0;
        s = 2177.0 + 497.0 * t + 44.1 * t * t;
    } else if (whole <= 1600.0) {
        const double t = (y - 2000.0) / 100.0;
        s = 102.0 + 102.0 * t + 25.3 * t * t;
    } else if (whole <= 1799.0) {
        const double t = (y - 1900.0) / 100.0;
        s = 24.349 + 72.318 * t + 29.95 * t * t;
    } else if (whole <= 1900.0) {
        const double t = (y - 1900.0) / 100.0;
        // clang-format off
        s = -2.5 + t * (228.95 + t * (5218.61 + t * (56282.84 + t * (324011.78 + t * (1061660.75
            + t * (2087298.89 + t * (2513807.78 + t * (1818961.41 + t * (727058.63 + t * 123563.95)))))))));
        // clang-format on
    } else if (whole <= 1997.0) {
        const double t = (y - 1900.0) / 100.0;
        // clang-format off
        s = -2.44 + t * (87.24 + t * (815.2 + t * (-2637.8 + t * (-18756.33 + t * (124906.15
            + t * (-303191.19 + t * (372919.88 + t * (-232424.66 + t * 58353.42))))))));
        // clang-format on
    } else if (whole <= 2035.0) {
        const double t = (y - 2000.0) / 100.0;
        s = 65.0 + 76.15 * t + 41.6 * t * t;
    } else {
        const double t = (y - 2000.0) / 100.0;
        s = 69.3 + 123.5 * t + 32.5 * t * t;
    }
    return Checked(s) / 86400.0;
}

double EquationOfTheEquinoxes(double jd)
{
    const NutationValues nutation = NutationPair(jd);
    return 240.0 * nutation.longitude * CosD(Obliquity(jd, false) + nutation.obliquity);
}

double SiderealTimeAt(double jd, double longitude, double equinoxes)
{
    Checked(longitude);
    const double f = jd - std::floor(jd);
    double jd0, seconds;
    if (f >= 0.5) {
        jd0 = std::floor(jd) + 0.5;
        seconds = (f - 0.5) * 86400.0;
    } else {
        jd0 = std::floor(jd) - 0.5;
        seconds = (f + 0.5) * 86400.0;
    }
    const double t = (jd0 - 2451545.0) / 36525.0;
    const double s0 = 24110.54841 + t * (8640184.7942063 + t * (0.0927701 + t * (-0.0000003 - 0.000002 * t)));
    const double k = 1.0 + (8640184.7942063 + t * (0.1855402 + t * (-0.0000009 - 0.000008 * t))) / 3155760000.0;
    double s = Checked(s0 + seconds * k + equinoxes + 240.0 * longitude);
    s = s - 86400.0 * std::floor(s / 86400.0);
    const double deg = s / 240.0;
    return deg >= 360.0 ? 0.0 : deg;
}

double SiderealTime(double jde, double longitude)
{
    Checked(longitude);
    const double jd = Checked(jde - DeltaT(jde));
    return SiderealTimeAt(jd, longitude, EquationOfTheEquinoxes(jd));
}

} // namespace astro
