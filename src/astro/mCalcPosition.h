#pragma once
// Apparent places: geocentric equatorial, then horizontal for an observer.

#include "astro/mPublicVars.h"

namespace astro {

// (right ascension in [0, 360), declination, distance in astronomical units)
// of a body at the dynamical instant jde: corrected for light time (planets
// and the Sun), the FK5 frame, nutation in longitude, and referred to the
// true equator and equinox of date. Body 9, the Moon, is taken directly from
// its own series.
Triple ApparentPosition(double jde, int body);

// (azimuth from north through east in [0, 360), altitude, distance) of an
// apparent place seen by the observer at jde, corrected for diurnal
// aberration. The caller's triple is not changed.
Triple EquatorialToHorizontal(double jde, const Triple &position, const ObserverPosition &observer);
// The same for the local sidereal time theta (degrees) of the moment.
Triple EquatorialToHorizontalAt(double theta, const Triple &position, const ObserverPosition &observer);

} // namespace astro
