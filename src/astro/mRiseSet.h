#pragma once
// Rising and setting of a body during one day, from hourly altitudes.

#include "astro/mPublicVars.h"

#include <array>
#include <vector>

namespace astro {

// Rise and set of one day as date values in universal time, 0 for an event
// not found. When neither was found: (s, -1) with s the sign of the noon
// sample, 1 for a body above the horizon all day, -1 for one below it.
struct RiseSetResult {
    double Rise = 0.0;
    double Set = 0.0;
};

using AltitudeSampleSet = std::array<double, 25>;

// Standard altitude of the body's centre at rising and setting, degrees.
double StandardAltitude(int body);

// Sample k (0 to 24) is taken at hour k (universal time) of the day:
// the altitude minus h0 in degrees; when h0 is exactly 0, the apparent
// altitude of the upper limb (refraction, parallax and semidiameter
// applied).
AltitudeSampleSet AltitudeSamples(double day, const ObserverPosition &observer, int body, double h0);

// Rise and set from the 25 samples, through parabolas fitted to every three
// consecutive samples.
RiseSetResult FindRiseSet(double day, const AltitudeSampleSet &samples);

// Rise and set of the body on the day at the observer's place.
RiseSetResult RiseSet(double day, const ObserverPosition &observer, int body);

// Rise and set of count consecutive days from firstDay (a whole date value),
// element i for day firstDay + i: what RiseSet gives day by day, to well
// within a second. For the Moon the hourly samples come from Chebyshev
// series of its apparent right ascension and declination and of the
// equation of the equinoxes, fitted to exact values over the days; other
// bodies are computed day by day.
std::vector<RiseSetResult> RiseSetDays(double firstDay, int count, const ObserverPosition &observer, int body);

// How many exact places RiseSetDays fits to a stretch of the given number
// of days, and the longest stretch one fit covers.
int ChebyshevNodes(int days);
inline constexpr int MaxDaysPerFit = 40;

} // namespace astro
