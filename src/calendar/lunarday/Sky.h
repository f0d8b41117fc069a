#pragma once
// The Sun and the Moon as a lunar calendar sheet needs them: their apparent
// geocentric places of date (true equator, equinox and ecliptic of date),
// the angle between them, the lit share of the Moon's disc, and their
// rising and setting.
//
// The Moon comes from the engine's lunar series; the Sun from the VSOP87
// theory of the Earth (libnova), precessed from J2000 to the date and
// corrected for nutation and aberration. libnova keeps working values in
// statics, so these run under the engine's lock like everything else that
// computes (see LunarDay.h).
//
// Instants are Julian ephemeris days (JDE) unless a name says otherwise.

#include "astro/mPublicVars.h"
#include "astro/mRiseSet.h"

#include <vector>

namespace somnex::calendar {

// An apparent geocentric place of date: ecliptic longitude [0, 360) and
// latitude, right ascension [0, 360) and declination, all in degrees, and
// the distance in astronomical units.
struct SkyPlace {
    double longitude = 0.0;
    double latitude = 0.0;
    double rightAscension = 0.0;
    double declination = 0.0;
    double distance = 0.0;
};

SkyPlace apparentSun(double jde);
SkyPlace apparentMoon(double jde);

// The Moon's ecliptic longitude minus the Sun's, [0, 360): 0 at new moon,
// 90 at first quarter, 180 at full moon, 270 at last quarter.
double elongationInLongitude(double jde);

// The lit share of the Moon's disc, 0 to 1, from the phase angle (the angle
// Sun-Moon-Earth) of the two places.
double illuminatedFraction(double jde);

// The JDE of a universal date value (days since 1899-12-30, time of day as
// the fraction).
double jdeOfUniversal(double universalDate);

// The rises and sets of the Sun or the Moon (astro::Sun, astro::Moon) at the
// observer's place from the universal day firstDay (a whole date value) to
// count days later, in order: every crossing of the body's standard
// altitude (astro::StandardAltitude) by its centre, to a second. Days with
// two rises or two sets (near the poles) keep both.
struct HorizonCrossing {
    double universal = 0.0; // date value
    bool rising = false;
};
std::vector<HorizonCrossing> horizonCrossings(int body, double firstDay, int count,
                                              const astro::ObserverPosition &observer);

// The body's apparent altitude (degrees) above its standard altitude at a
// universal moment: above zero when it is up.
double altitudeAboveStandard(int body, double universal, const astro::ObserverPosition &observer);

} // namespace somnex::calendar
