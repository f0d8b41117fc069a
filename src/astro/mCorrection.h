#pragma once
// Nutation and the obliquity of the ecliptic, and the small corrections of
// an apparent place: the FK5 frame, diurnal aberration, refraction, parallax
// in altitude and the semidiameter.

#include "astro/mPublicVars.h"

namespace astro {

// Selector 0: nutation in longitude; selector 1: nutation in obliquity.
// Degrees, at the dynamical instant jde (1980 IAU theory, 63 terms). Any
// other selector raises std::invalid_argument.
double Nutation(double jde, int selector);
// Both at once (the terms share their arguments), degrees.
struct NutationValues {
    double longitude = 0.0;
    double obliquity = 0.0;
};
NutationValues NutationPair(double jde);

// Mean obliquity of the ecliptic in degrees; with trueObliquity the
// nutation in obliquity is added.
double Obliquity(double jde, bool trueObliquity);

// Converts (longitude, latitude, ...) in degrees to the FK5 frame, in place.
void FK5Correction(double jde, Triple &position);

// Diurnal aberration at hour angle h (degrees) for the latitude of the
// engine-wide Observer; changes (right ascension, declination, ...) in place.
void DiurnalAberration(double h, Triple &position);

// Atmospheric refraction in degrees for an altitude in degrees.
double Refraction(double altitude);

// Parallax in altitude, degrees, for a distance in astronomical units and an
// altitude in degrees.
double ParallaxInAltitude(double distance, double altitude);

// Angular semidiameter in degrees of a body at a distance in astronomical
// units; 0 for the Earth and for indices that name no body.
double SemiDiameter(int body, double distance);

} // namespace astro
