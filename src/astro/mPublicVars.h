#pragma once
// Types and shared state of the astronomy engine: the triple and the
// observer, the engine-wide observer record, the planetary series records and
// the hooks through which the engine reaches the application.

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace astro {

// Three reals: (x, y, z), (longitude, latitude, distance),
// (right ascension, declination, distance) or (azimuth, altitude, distance).
// Angles in degrees unless a routine says radians, distances in astronomical
// units.
struct Triple {
    double First = 0.0;
    double Second = 0.0;
    double Third = 0.0;
};

// An observer's place in degrees, north and east positive.
struct ObserverPosition {
    double Latitude = 0.0;
    double Longitude = 0.0;
};

// The engine-wide observer: the calendar fills it before it asks for rise
// and set times; the diurnal aberration reads its latitude.
extern ObserverPosition Observer;

// Body indices.
inline constexpr int Sun = 0;
inline constexpr int Mercury = 1;
inline constexpr int Venus = 2;
inline constexpr int Earth = 3;
inline constexpr int Mars = 4;
inline constexpr int Jupiter = 5;
inline constexpr int Saturn = 6;
inline constexpr int Uranus = 7;
inline constexpr int Neptune = 8;
inline constexpr int Moon = 9;

inline constexpr double EarthRadiusKm = 6378.137;
inline constexpr double AstronomicalUnitKm = 149597870.691;
// Light time for one astronomical unit, days.
inline constexpr double LightTimeDays = 0.00577551830441213;

// One periodic term of a planetary series: A cos(B + C tau), tau in Julian
// millennia from J2000.0.
struct PlanetTerm {
    double A = 0.0;
    double B = 0.0;
    double C = 0.0;
};

// The series of one body: the heliocentric longitude L and latitude B in
// radians and the radius vector R in astronomical units, each a sum over
// powers 0 to 5 of tau^k times its terms of that power. Counts[k] holds how
// many of the terms of L, B and R belong to power k; each term array lists
// its terms power after power.
struct PlanetSeries {
    std::array<char, 20> Name{};
    std::array<std::array<std::int32_t, 3>, 6> Counts{};
    std::vector<PlanetTerm> L;
    std::vector<PlanetTerm> B;
    std::vector<PlanetTerm> R;
};

// Series records indexed 1 to 9 by body index (3 is the Earth); element 0 is
// not used. They start empty, which puts every body at (0, 0, 0).
extern std::array<PlanetSeries, 10> PlanetSeriesRecords;

enum class MessageIcon { Error, Warning, Information, Question };

// Shows a message to the user: text, title, icon. Does nothing until the
// application connects its message service.
using MessageHook = std::function<void(std::string_view text, std::string_view title, MessageIcon icon)>;
extern MessageHook ShowMessage;

} // namespace astro
