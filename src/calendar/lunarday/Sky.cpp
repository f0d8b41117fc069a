#include "calendar/lunarday/Sky.h"

#include "astro/mCalcPosition.h"
#include "astro/mCorrection.h"
#include "astro/mMath.h"
#include "astro/mTime.h"
#include "calendar/lunarday/EngineLock.h"

#include <libnova/earth.h>
#include <libnova/precession.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace somnex::calendar {

namespace {

constexpr double kJ2000 = 2451545.0;
// The mean obliquity of the ecliptic at J2000, the frame of libnova's VSOP87.
constexpr double kObliquityJ2000 = 23.4392911;
// The constant of aberration, degrees (20.4898 seconds of arc at 1 au).
constexpr double kAberration = 20.4898 / 3600.0;
// The Julian day of the date values' epoch, 1899-12-30 00:00.
constexpr double kEpochJulianDay = 2415018.5;

double rad(double degrees)
{
    return degrees * std::numbers::pi / 180.0;
}

double deg(double radians)
{
    return radians * 180.0 / std::numbers::pi;
}

double norm360(double angle)
{
    const double a = std::fmod(angle, 360.0);
    return a < 0.0 ? a + 360.0 : a;
}

// Equatorial (right ascension, declination) of an ecliptic place for the
// obliquity given, degrees.
void eclipticToEquatorial(SkyPlace &p, double obliquity)
{
    const double l = rad(p.longitude), b = rad(p.latitude), e = rad(obliquity);
    p.rightAscension = norm360(deg(std::atan2(std::sin(l) * std::cos(e) - std::tan(b) * std::sin(e), std::cos(l))));
    p.declination = deg(std::asin(std::sin(b) * std::cos(e) + std::cos(b) * std::sin(e) * std::sin(l)));
}

// The reverse: the ecliptic place of (right ascension, declination).
void equatorialToEcliptic(SkyPlace &p, double obliquity)
{
    const double a = rad(p.rightAscension), d = rad(p.declination), e = rad(obliquity);
    p.longitude = norm360(deg(std::atan2(std::sin(a) * std::cos(e) + std::tan(d) * std::sin(e), std::cos(a))));
    p.latitude = deg(std::asin(std::sin(d) * std::cos(e) - std::cos(d) * std::sin(e) * std::sin(a)));
}

} // namespace

double jdeOfUniversal(double universalDate)
{
    const double jd = kEpochJulianDay + astro::DateToSerial(universalDate);
    // Delta-T: from 2005 to 2050 Espenak and Meeus's polynomial, within a few
    // seconds of the measured values of the 2020s (about 69 s), where the
    // engine's older fit runs some twenty seconds ahead and would move every
    // phase and sign entry that much earlier; the engine's elsewhere.
    const double year = 2000.0 + (jd - kJ2000) / 365.25;
    if (year >= 2005.0 && year < 2050.0) {
        const double t = year - 2000.0;
        return jd + (62.92 + 0.32217 * t + 0.005589 * t * t) / 86400.0;
    }
    return jd + astro::DeltaT(jd);
}

SkyPlace apparentSun(double jde)
{
    const EngineGuard guard(engineLock());
    // The Earth seen from the Sun, turned round: the Sun's geometric place
    // in the ecliptic and equinox of J2000.
    ln_helio_posn earth{};
    ln_get_earth_helio_coords(jde, &earth);
    const double l = rad(earth.L + 180.0), b = rad(-earth.B), e0 = rad(kObliquityJ2000);
    const double x = std::cos(b) * std::cos(l), y = std::cos(b) * std::sin(l), z = std::sin(b);
    ln_equ_posn j2000{norm360(deg(std::atan2(y * std::cos(e0) - z * std::sin(e0), x))),
                      deg(std::asin(y * std::sin(e0) + z * std::cos(e0)))};
    ln_equ_posn ofDate{};
    ln_get_equ_prec2(&j2000, kJ2000, jde, &ofDate);

    const astro::NutationValues nutation = astro::NutationPair(jde);
    const double meanObliquity = astro::Obliquity(jde, false);
    SkyPlace p;
    p.rightAscension = ofDate.ra;
    p.declination = ofDate.dec;
    p.distance = earth.R;
    equatorialToEcliptic(p, meanObliquity);
    // Apparent: nutation in longitude and the annual aberration.
    p.longitude = norm360(p.longitude + nutation.longitude - kAberration / earth.R);
    eclipticToEquatorial(p, meanObliquity + nutation.obliquity);
    return p;
}

SkyPlace apparentMoon(double jde)
{
    const EngineGuard guard(engineLock());
    const astro::Triple eq = astro::ApparentPosition(jde, astro::Moon);
    SkyPlace p;
    p.rightAscension = eq.First;
    p.declination = eq.Second;
    p.distance = eq.Third;
    equatorialToEcliptic(p, astro::Obliquity(jde, true));
    return p;
}

double elongationInLongitude(double jde)
{
    return norm360(apparentMoon(jde).longitude - apparentSun(jde).longitude);
}

double illuminatedFraction(double jde)
{
    const SkyPlace sun = apparentSun(jde), moon = apparentMoon(jde);
    const double ds = rad(sun.declination), dm = rad(moon.declination);
    const double cosPsi = std::sin(ds) * std::sin(dm)
                          + std::cos(ds) * std::cos(dm) * std::cos(rad(sun.rightAscension - moon.rightAscension));
    const double psi = std::acos(std::clamp(cosPsi, -1.0, 1.0));
    const double phaseAngle = std::atan2(sun.distance * std::sin(psi), moon.distance - sun.distance * std::cos(psi));
    return (1.0 + std::cos(phaseAngle)) / 2.0;
}

namespace {

SkyPlace apparentPlace(int body, double jde)
{
    return body == astro::Moon ? apparentMoon(jde) : apparentSun(jde);
}

// A body's place over one universal day from five exact places (every six
// hours) and the polynomial through them: within a second of arc for the
// Moon, far better for the Sun.
class DayTrack {
public:
    DayTrack(int body, double jde0) : jde0_(jde0)
    {
        for (std::size_t i = 0; i < kNodes; ++i) {
            const SkyPlace p = apparentPlace(body, jde0 + double(i) / double(kNodes - 1));
            ra_[i] = i == 0 ? p.rightAscension : ra_[i - 1] + std::remainder(p.rightAscension - ra_[i - 1], 360.0);
            dec_[i] = p.declination;
            distance_[i] = p.distance;
        }
    }

    // The place at the fraction t (0 to 1) of the day.
    astro::Triple at(double t) const { return {norm360(through(ra_, t)), through(dec_, t), through(distance_, t)}; }

    double jde0() const { return jde0_; }

private:
    static constexpr std::size_t kNodes = 5;
    using Nodes = std::array<double, kNodes>;

    static double through(const Nodes &y, double t)
    {
        // Lagrange's form over the nodes 0, 1/4, 1/2, 3/4, 1.
        double sum = 0.0;
        for (std::size_t i = 0; i < kNodes; ++i) {
            double term = y[i];
            const double xi = double(i) / double(kNodes - 1);
            for (std::size_t j = 0; j < kNodes; ++j) {
                if (j == i)
                    continue;
                const double xj = double(j) / double(kNodes - 1);
                term *= (t - xj) / (xi - xj);
            }
            sum += term;
        }
        return sum;
    }

    double jde0_;
    Nodes ra_{}, dec_{}, distance_{};
};

double altitudeOn(const DayTrack &track, double t, const astro::ObserverPosition &observer, double h0)
{
    return astro::EquatorialToHorizontal(track.jde0() + t, track.at(t), observer).Second - h0;
}

} // namespace

std::vector<HorizonCrossing> horizonCrossings(int body, double firstDay, int count,
                                              const astro::ObserverPosition &observer)
{
    const EngineGuard guard(engineLock());
    astro::Observer = observer;
    const double h0 = astro::StandardAltitude(body);
    std::vector<HorizonCrossing> out;
    for (int d = 0; d < count; ++d) {
        const double day = astro::SerialToDate(astro::DateToSerial(firstDay) + d);
        const DayTrack track(body, astro::JulianDay(day, false, false));
        constexpr int kSteps = 48; // half-hour steps: no rise and set both fall between two
        double previous = altitudeOn(track, 0.0, observer, h0);
        for (int k = 1; k <= kSteps; ++k) {
            double b = double(k) / kSteps;
            const double current = altitudeOn(track, b, observer, h0);
            // A crossing at the very end of the day is the next day's first.
            if ((previous < 0.0) != (current < 0.0) && !(k == kSteps && current == 0.0)) {
                const bool rising = current >= 0.0;
                double a = double(k - 1) / kSteps;
                while ((b - a) * 86400.0 > 0.25) {
                    const double m = (a + b) / 2.0;
                    ((altitudeOn(track, m, observer, h0) >= 0.0) == rising ? b : a) = m;
                }
                out.push_back({astro::SerialToDate(astro::DateToSerial(day) + (a + b) / 2.0), rising});
            }
            previous = current;
        }
    }
    return out;
}

double altitudeAboveStandard(int body, double universal, const astro::ObserverPosition &observer)
{
    const EngineGuard guard(engineLock());
    astro::Observer = observer;
    const double jde = astro::JulianDay(universal, false, false);
    const SkyPlace p = apparentPlace(body, jde);
    const astro::Triple eq{p.rightAscension, p.declination, p.distance};
    return astro::EquatorialToHorizontal(jde, eq, observer).Second - astro::StandardAltitude(body);
}

} // namespace somnex::calendar
