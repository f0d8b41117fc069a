#pragma once
// Helpers shared by the engine's tests.

#include <chrono>
#include <cmath>

namespace astro_test {

// The date value of a proleptic Gregorian calendar date and time of day,
// built with the standard calendar so that it does not depend on the
// engine's own date arithmetic.
inline double DateValue(int y, unsigned m, unsigned d, double hours = 0.0)
{
    using namespace std::chrono;
    const auto days = (sys_days{year{y} / month{m} / day{d}} - sys_days{year{1899} / December / day{30}}).count();
    const double fraction = hours / 24.0;
    const auto whole = static_cast<double>(days);
    return days >= 0 ? whole + fraction : whole - fraction;
}

inline constexpr double kPi = 3.14159265358979323846;

// Degrees from degrees, arc-minutes and arc-seconds.
inline double Dms(double d, double m, double s)
{
    return d + m / 60.0 + s / 3600.0;
}

// The smaller distance between two angles in degrees.
inline double AngleGap(double a, double b)
{
    double g = std::fmod(std::fabs(a - b), 360.0);
    return g > 180.0 ? 360.0 - g : g;
}

} // namespace astro_test
