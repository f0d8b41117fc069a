#include "astro/mCorrection.h"

#include "astro/mMath.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace astro {

namespace {

// The periodic terms of the 1980 IAU theory of nutation: multipliers of
// D, M, M', F, Omega; the sine coefficient of the longitude and its part
// proportional to T; the cosine coefficient of the obliquity and its part
// proportional to T. Units of 0.0001 arc-second.
struct NutationTerm {
    std::int8_t d, m, mp, f, om;
    double psi, psiT, eps, epsT;
};

// clang-format off
constexpr NutationTerm kNutation[63] = {
    {0, 0, 0, 0, 1, -171996, -174.2, 92025, 8.9},
    {-2, 0, 0, 2, 2, -13187, -1.6, 5736, -3.1},
    {0, 0, 0, 2, 2, -2274, -0.2, 977, -0.5},
    {0, 0, 0, 0, 2, 2062, 0.2, -895, 0.5},
    {0, 1, 0, 0, 0, 1426, -3.4, 54, -0.1},
    {0, 0, 1, 0, 0, 712, 0.1, -7, 0},
    {-2, 1, 0, 2, 2, -517, 1.2, 224, -0.6},
    {0, 0, 0, 2, 1, -386, -0.4, 200, 0},
    {0, 0, 1, 2, 2, -301, 0, 129, -0.1},
    {-2, -1, 0, 2, 2, 217, -0.5, -95, 0.3},
    {-2, 0, 1, 0, 0, -158, 0, 0, 0},
    {-2, 0, 0, 2, 1, 129, 0.1, -70, 0},
    {0, 0, -1, 2, 2, 123, 0, -53, 0},
    {2, 0, 0, 0, 0, 63, 0, 0, 0},
    {0, 0, 1, 0, 1, 63, 0.1, -33, 0},
    {2, 0, -1, 2, 2, -59, 0, 26, 0},
    {0, 0, -1, 0, 1, -58, -0.1, 32, 0},
    {0, 0, 1, 2, 1, -51, 0, 27, 0},
    {-2, 0, 2, 0, 0, 48, 0, 0, 0},
    {0, 0, -2, 2, 1, 46, 0, -24, 0},
    {2, 0, 0, 2, 2, -38, 0, 16, 0},
    {0, 0, 2, 2, 2, -31, 0, 13, 0},
    {0, 0, 2, 0, 0, 29, 0, 0, 0},
    {-2, 0, 1, 2, 2, 29, 0, -12, 0},
    {0, 0, 0, 2, 0, 26, 0, 0, 0},
    {-2, 0, 0, 2, 0, -22, 0, 0, 0},
    {0, 0, -1, 2, 1, 21, 0, -10, 0},
    {0, 2, 0, 0, 0, 17, -0.1, 0, 0},
    {2, 0, -1, 0, 1, 16, 0, -8, 0},
    {-2, 2, 0, 2, 2, -16, 0.1, 7, 0},
    {0, 1, 0, 0, 1, -15, 0, 9, 0},
    {-2, 0, 1, 0, 1, -13, 0, 7, 0},
    {0, -1, 0, 0, 1, -12, 0, 6, 0},
    {0, 0, 2, -2, 0, 11, 0, 0, 0},
    {2, 0, -1, 2, 1, -10, 0, 5, 0},
    {2, 0, 1, 2, 2, -8, 0, 3, 0},
    {0, 1, 0, 2, 2, 7, 0, -3, 0},
    {-2, 1, 1, 0, 0, -7, 0, 0, 0},
    {0, -1, 0, 2, 2, -7, 0, 3, 0},
    {2, 0, 0, 2, 1, -7, 0, 3, 0},
    {2, 0, 1, 0, 0, 6, 0, 0, 0},
    {-2, 0, 2, 2, 2, 6, 0, -3, 0},
    {-2, 0, 1, 2, 1, 6, 0, -3, 0},
    {2, 0, -2, 0, 1, -6, 0, 3, 0},
    {2, 0, 0, 0, 1, -6, 0, 3, 0},
    {0, -1, 1, 0, 0, 5, 0, 0, 0},
    {-2, -1, 0, 2, 1, -5, 0, 3, 0},
    {-2, 0, 0, 0, 1, -5, 0, 3, 0},
    {0, 0, 2, 2, 1, -5, 0, 3, 0},
    {-2, 0, 2, 0, 1, 4, 0, 0, 0},
    {-2, 1, 0, 2, 1, 4, 0, 0, 0},
    {0, 0, 1, -2, 0, 4, 0, 0, 0},
    {-1, 0, 1, 0, 0, -4, 0, 0, 0},
    {-2, 1, 0, 0, 0, -4, 0, 0, 0},
    {1, 0, 0, 0, 0, -4, 0, 0, 0},
    {0, 0, 1, 2, 0, 3, 0, 0, 0},
    {0, 0, -2, 2, 2, -3, 0, 0, 0},
    {-1, -1, 1, 0, 0, -3, 0, 0, 0},
    {0, 1, 1, 0, 0, -3, 0, 0, 0},
    {0, -1, 1, 2, 2, -3, 0, 0, 0},
    {2, -1, -1, 2, 2, -3, 0, 0, 0},
    {0, 0, 3, 2, 2, -3, 0, 0, 0},
    {2, -1, 0, 2, 2, -3, 0, 0, 0},
};
// clang-format on

// Mean diameters in km by body index; 0 for the Earth.
constexpr double kDiameterKm[10] = {1392000, 4879, 12104, 0, 6794, 142980, 120540, 51120, 49530, 3475};

} // namespace

NutationValues NutationPair(double jde)
{
    const double t = (Checked(jde) - 2451545.0) / 36525.0;
    const double t2 = t * t, t3 = t2 * t;
    const double d = DegToRad(297.85036 + 445267.11148 * t - 0.0019142 * t2 + t3 / 189474.0);
    const double m = DegToRad(357.52772 + 35999.05034 * t - 0.0001603 * t2 - t3 / 300000.0);
    const double mp = DegToRad(134.96298 + 477198.867398 * t + 0.0086972 * t2 + t3 / 56250.0);
    const double f = DegToRad(93.27191 + 483202.017538 * t - 0.0036825 * t2 + t3 / 327270.0);
    const double om = DegToRad(125.04452 - 1934.136261 * t + 0.0020708 * t2 + t3 / 450000.0);
    double psi = 0.0, eps = 0.0;
    for (const NutationTerm &term : kNutation) {
        const double arg = term.d * d + term.m * m + term.mp * mp + term.f * f + term.om * om;
        psi += (term.psi + term.psiT * t) * std::sin(arg);
        eps += (term.eps + term.epsT * t) * std::cos(arg);
    }
    return NutationValues{Checked(psi) / 36000000.0, Checked(eps) / 36000000.0};
}

double Nutation(double jde, int selector)
{
    if (selector != 0 && selector != 1)
        throw std::invalid_argument("Nutation: selector must be 0 (longitude) or 1 (obliquity)");
    const NutationValues n = NutationPair(jde);
    return selector == 0 ? n.longitude : n.obliquity;
}

double Obliquity(double jde, bool trueObliquity)
{
    const double u = (Checked(jde) - 2451545.0) / 3652500.0;
    // clang-format off
    const double seconds = 84381.448 + u * (-4680.93 + u * (-1.55 + u * (1999.25 + u * (-51.38 + u * (-249.67
                           + u * (-39.05 + u * (7.12 + u * (27.87 + u * (5.79 + u * 2.45)))))))));
    // clang-format on
    double eps = Checked(seconds) / 3600.0;
    if (trueObliquity)
        eps += Nutation(jde, 1);
    return eps;
}

void FK5Correction(double jde, Triple &position)
{
    const double t = (Checked(jde) - 2451545.0) / 36525.0;
    const double lon = position.First, lat = position.Second;
    const double lp = Checked(lon - 1.397 * t - 0.00031 * t * t);
    const double dl = Checked(-0.09033 + 0.03916 * (CosD(lp) + SinD(lp)) * TanD(lat));
    const double db = 0.03916 * (CosD(lp) - SinD(lp));
    position.First = Checked(lon + dl / 3600.0);
    position.Second = Checked(lat + db / 3600.0);
}

void DiurnalAberration(double h, Triple &position)
{
    constexpr double k = 0.0000015472;
    const double phi = Observer.Latitude;
    const double dec = position.Second;
    if (std::fabs(dec) != 90.0)
        position.First = Checked(position.First + RadToDeg(Div(k * CosD(phi) * CosD(h), CosD(dec))));
    position.Second = Checked(dec + RadToDeg(k * CosD(phi) * SinD(h) * SinD(dec)));
}

double Refraction(double altitude)
{
    const double h = Checked(altitude);
    if (h < -0.575)
        return Div(-20.774, TanD(h)) / 3600.0;
    if (h <= 5.0)
        return (1735.0 + h * (-518.2 + h * (103.4 + h * (-12.79 + h * 0.711)))) / 3600.0;
    if (h <= 15.0) {
        const double th = TanD(h);
        return Checked(58.1 / th - 0.07 / (th * th * th) + 0.000086 / (th * th * th * th * th)) / 3600.0;
    }
    const double tz = TanD(90.0 - h);
    return Checked(0.9716 * tz - 0.0011 * tz * tz * tz) / 60.0;
}

double ParallaxInAltitude(double distance, double altitude)
{
    const double km = Checked(distance * AstronomicalUnitKm);
    return Checked(RadToDeg(ArcSin(Div(EarthRadiusKm, km))) * CosD(altitude));
}

double SemiDiameter(int body, double distance)
{
    if (body < 0 || body > 9 || kDiameterKm[body] == 0.0)
        return 0.0;
    const double km = Checked(distance * AstronomicalUnitKm);
    return RadToDeg(Div(kDiameterKm[body], km)) / 2.0;
}

} // namespace astro
