#pragma once
// Heliocentric positions from the planetary series records.

#include "astro/mPublicVars.h"

namespace astro {

// (L, B, R) of a body at the dynamical instant jde: heliocentric longitude in
// [0, 360) and latitude in degrees, radius vector in astronomical units,
// evaluated from PlanetSeriesRecords; for index 0 the Sun seen from the
// Earth. An index outside 0 to 9 shows "Invalid planet index!" through
// ShowMessage and gives (0, 0, 0). A record whose counts ask for more terms
// than it holds, or for a negative number of them, raises
// std::out_of_range.
Triple PlanetPosition(int index, double jde);

} // namespace astro
