#include "astro/mConvertion.h"

#include "astro/mMath.h"

#include <cmath>

namespace astro {

Triple RectToSpherical(const Triple &rect, bool inDegrees)
{
    const double x = rect.First, y = rect.Second, z = rect.Third;
    const double xy2 = Checked(x * x + y * y);
    Triple r;
    r.First = ArcTan2(y, x);
    r.Second = ArcTan2(z, Sqrt(xy2));
    r.Third = Sqrt(Checked(xy2 + z * z));
    if (inDegrees) {
        r.First = RadToDeg(r.First);
        r.Second = RadToDeg(r.Second);
    }
    return r;
}

Triple SphericalToRect(Triple &spherical, bool inDegrees)
{
    if (inDegrees) {
        spherical.First = DegToRad(spherical.First);
        spherical.Second = DegToRad(spherical.Second);
    }
    const double lon = spherical.First, lat = spherical.Second, r = Checked(spherical.Third);
    const double cosLat = std::cos(lat);
    Triple out;
    out.First = Checked(r * cosLat * std::cos(lon));
    out.Second = Checked(r * cosLat * std::sin(lon));
    out.Third = Checked(r * std::sin(lat));
    return out;
}

void EclipticToEquatorial(Triple &position, double obliquity)
{
    const double lambda = position.First, beta = position.Second;
    const double ra = ArcTan2(Checked(SinD(lambda) * CosD(obliquity) - TanD(beta) * SinD(obliquity)), CosD(lambda));
    const double dec = ArcSin(Checked(SinD(beta) * CosD(obliquity) + CosD(beta) * SinD(obliquity) * SinD(lambda)));
    position.First = RadToDeg(ra);
    position.Second = RadToDeg(dec);
}

} // namespace astro
