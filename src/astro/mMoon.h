#pragma once
// Geocentric position of the Moon from the truncated ELP-2000/82 series:
// 60 periodic terms in longitude and distance, 60 in latitude.

#include "astro/mPublicVars.h"

#include <array>
#include <cstdint>

namespace astro {

using MoonTermColumn = std::array<std::int32_t, 60>;

// Longitude and distance terms: multipliers of D, M, M', F; the sine
// amplitude in longitude (0.000001 degree) and the cosine amplitude in
// distance (0.001 km).
extern MoonTermColumn MoonLrD, MoonLrM, MoonLrMp, MoonLrF, MoonLCoef, MoonRCoef;
// Latitude terms: multipliers of D, M, M', F; the sine amplitude
// (0.000001 degree).
extern MoonTermColumn MoonBD, MoonBM, MoonBMp, MoonBF, MoonBCoef;

// Set once the term tables have been filled.
extern bool MoonTermsReady;

// Fills the term tables (again, when called again) and sets MoonTermsReady.
void InitMoonTerms();

// (longitude, latitude, distance) at the dynamical instant jde: geocentric,
// mean equinox of date, without nutation; both angles in [0, 360) (a
// southern latitude of 5 degrees is 355), the distance in astronomical units.
Triple MoonPosition(double jde);

} // namespace astro
