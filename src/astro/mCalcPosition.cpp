#include "astro/mCalcPosition.h"

#include "astro/mConvertion.h"
#include "astro/mCorrection.h"
#include "astro/mMath.h"
#include "astro/mMoon.h"
#include "astro/mPlanet.h"
#include "astro/mTime.h"

namespace astro {

namespace {

Triple RectPosition(int body, double jde)
{
    Triple spherical = PlanetPosition(body, jde);
    return SphericalToRect(spherical, true);
}

Triple Minus(const Triple &a, const Triple &b)
{
    return Triple{Checked(a.First - b.First), Checked(a.Second - b.Second), Checked(a.Third - b.Third)};
}

} // namespace

Triple ApparentPosition(double jde, int body)
{
    Triple position;
    if (body == Moon) {
        // Already geocentric; the Earth's own position plays no part.
        position = MoonPosition(jde);
    } else {
        Triple earth;
        if (body > 0)
            earth = RectPosition(Earth, jde);
        Triple geo = Minus(RectPosition(body, jde), earth);
        const double distance = RectToSpherical(geo, false).Third;
        const double tLight = Checked(jde - distance * LightTimeDays);
        earth = body > 0 ? RectPosition(Earth, tLight) : Triple{};
        geo = Minus(RectPosition(body, tLight), earth);
        position = RectToSpherical(geo, true);
        position.Third = distance;
    }
    FK5Correction(jde, position);
    const NutationValues nutation = NutationPair(jde);
    position.First = Checked(position.First + nutation.longitude);
    EclipticToEquatorial(position, Obliquity(jde, false) + nutation.obliquity);
    position.First = Norm360(position.First);
    return position;
}

Triple EquatorialToHorizontal(double jde, const Triple &position, const ObserverPosition &observer)
{
    return EquatorialToHorizontalAt(SiderealTime(jde, observer.Longitude), position, observer);
}

Triple EquatorialToHorizontalAt(double theta, const Triple &position, const ObserverPosition &observer)
{
    Triple work = position;
    const double phi = observer.Latitude;
    double h = Checked(theta - work.First);
    const double raBefore = work.First;
    DiurnalAberration(h, work);
    h = Checked(h - (work.First - raBefore));
    const double dec = work.Second;
    Triple out;
    out.First = Norm360(RadToDeg(ArcTan2(SinD(h), Checked(CosD(h) * SinD(phi) - TanD(dec) * CosD(phi)))) + 180.0);
    out.Second = RadToDeg(ArcSin(Checked(SinD(phi) * SinD(dec) + CosD(phi) * CosD(dec) * CosD(h))));
    out.Third = position.Third;
    return out;
}

} // namespace astro
