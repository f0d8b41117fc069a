#pragma once
// Coordinate conversions: rectangular and spherical, ecliptic to equatorial.

#include "astro/mPublicVars.h"

namespace astro {

// (x, y, z) to (longitude, latitude, distance). With inDegrees the angles are
// converted to degrees but not reduced: the longitude lies in (-90, 270).
Triple RectToSpherical(const Triple &rect, bool inDegrees);

// (longitude, latitude, distance) to (x, y, z). With inDegrees the two angles
// of the given triple are converted to radians in place first, so the
// caller's triple holds radians afterwards.
Triple SphericalToRect(Triple &spherical, bool inDegrees);

// (longitude, latitude, distance) becomes (right ascension, declination,
// distance) in place, for the obliquity given; all angles in degrees. The
// right ascension is not reduced.
void EclipticToEquatorial(Triple &position, double obliquity);

} // namespace astro
