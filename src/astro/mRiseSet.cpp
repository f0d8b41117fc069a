#include "astro/mRiseSet.h"

#include "astro/mCalcPosition.h"
#include "astro/mCorrection.h"
#include "astro/mMath.h"
#include "astro/mTime.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace astro {

double StandardAltitude(int body)
{
    switch (body) {
    case Sun: return -50.3 / 60.0;
    case Moon: return 8.0 / 60.0;
    default: return -34.0 / 60.0;
    }
}

AltitudeSampleSet AltitudeSamples(double day, const ObserverPosition &observer, int body, double h0)
{
    const double jde0 = JulianDay(day, false, false);
    AltitudeSampleSet samples{};
    for (int k = 0; k <= 24; ++k) {
        const double t = jde0 + k / 24.0;
        const Triple position = ApparentPosition(t, body);
        const Triple horizontal = EquatorialToHorizontal(t, position, observer);
        const double altitude = horizontal.Second;
        if (h0 != 0.0) {
            samples[k] = Checked(altitude - h0);
        } else {
            const double distance = horizontal.Third;
            samples[k] = Checked(altitude + Refraction(altitude) - ParallaxInAltitude(distance, altitude)
                                 + SemiDiameter(body, distance));
        }
    }
    return samples;
}

namespace {

// An event of the day, kept as a serial day count so that days before the
// date epoch (whose date values run backwards) average correctly.
struct Event {
    bool found = false;
    double serial = 0.0;
};

void Record(Event &event, double serial)
{
    if (event.found) {
        event.serial = (event.serial + serial) / 2.0;
    } else {
        event.found = true;
        event.serial = serial;
    }
}

void Replace(Event &event, double serial)
{
    event.found = true;
    event.serial = serial;
}

// The moment of a crossing at root hours from sample i of the day whose
// serial is base.
double HourMoment(double base, int i, double root)
{
    return Checked(base + (i + root) / 24.0);
}

// The crossings of the parabola through samples i-1, i, i+1 (a y^2 + b y + c
// around sample i) that fall within an hour of sample i.
void HourCrossings(const AltitudeSampleSet &y, int i, double base, Event &rise, Event &set)
{
    const double a = Checked(0.5 * (y[i + 1] + y[i - 1]) - y[i]);
    const double b = Checked(0.5 * (y[i + 1] - y[i - 1]));
    const double c = y[i];
    if (a == 0.0) {
        // Three collinear samples: the straight line through them, with
        // at most one crossing.
        if (b == 0.0)
            return;
        const double root = -c / b;
        if (std::fabs(root) < 1.0)
            Record(b > 0.0 ? rise : set, HourMoment(base, i, root));
        return;
    }
    const double xe = -b / (2.0 * a);
    const double ye = Checked((a * xe + b) * xe + c);
    const double d = Checked(b * b - 4.0 * a * c);
    if (d < 0.0)
        return;
    const double dx = 0.5 * std::sqrt(d) / std::fabs(a);
    const double root1 = xe - dx, root2 = xe + dx;
    const bool in1 = std::fabs(root1) < 1.0, in2 = std::fabs(root2) < 1.0;
    const int n = (in1 ? 1 : 0) + (in2 ? 1 : 0);
    if (n == 1) {
        const double root = in1 ? root1 : root2;
        // Rising where the parabola climbs through zero. Apart from a
        // sample exactly on the horizon this is the same as y[i-1] < 0.
        const bool rising = 2.0 * a * root + b > 0.0;
        Record(rising ? rise : set, HourMoment(base, i, root));
    } else if (n == 2) {
        if (ye < 0.0) {
            Replace(rise, HourMoment(base, i, root2));
            Replace(set, HourMoment(base, i, root1));
        } else {
            Replace(rise, HourMoment(base, i, root1));
            Replace(set, HourMoment(base, i, root2));
        }
    }
}

} // namespace

RiseSetResult FindRiseSet(double day, const AltitudeSampleSet &y)
{
    const double base = DateToSerial(day);
    Event rise, set;
    for (int i = 1; i <= 23; ++i)
        HourCrossings(y, i, base, rise, set);
    if (!rise.found && !set.found) {
        const double s = y[12] > 0.0 ? 1.0 : (y[12] < 0.0 ? -1.0 : 0.0);
        return RiseSetResult{s, -1.0};
    }
    RiseSetResult r;
    if (rise.found)
        r.Rise = SerialToDate(rise.serial);
    if (set.found)
        r.Set = SerialToDate(set.serial);
    return r;
}

RiseSetResult RiseSet(double day, const ObserverPosition &observer, int body)
{
    return FindRiseSet(day, AltitudeSamples(day, observer, body, StandardAltitude(body)));
}

namespace {

// The Chebyshev nodes of [mid - half, mid + half]: mid + half x_j with
// x_j = cos(pi (j + 1/2) / n).
std::vector<double> ChebyshevNodeTimes(double mid, double half, std::size_t n)
{
    std::vector<double> x(n);
    for (std::size_t j = 0; j < n; ++j)
        x[j] = mid + half * std::cos(std::numbers::pi * (double(j) + 0.5) / double(n));
    return x;
}

// A Chebyshev series on [mid - half, mid + half] through values at the n
// nodes of ChebyshevNodeTimes.
class Chebyshev {
public:
    Chebyshev(double mid, double half, const std::vector<double> &values) : mid_(mid), half_(half)
    {
        const std::size_t n = values.size();
        c_.assign(n, 0.0);
        // c_k = 2/n sum_j f_j T_k(x_j), the T_k(x_j) by their recurrence.
        for (std::size_t j = 0; j < n; ++j) {
            const double x = std::cos(std::numbers::pi * (double(j) + 0.5) / double(n));
            double t0 = 1.0, t1 = x;
            c_[0] += values[j];
            if (n > 1)
                c_[1] += values[j] * x;
            for (std::size_t k = 2; k < n; ++k) {
                const double t2 = 2.0 * x * t1 - t0;
                c_[k] += values[j] * t2;
                t0 = t1;
                t1 = t2;
            }
        }
        for (double &c : c_)
            c *= 2.0 / double(n);
    }

    double operator()(double t) const
    {
        const double x = (t - mid_) / half_;
        double b1 = 0.0, b2 = 0.0;
        for (std::size_t k = c_.size() - 1; k >= 1; --k) {
            const double b0 = 2.0 * x * b1 - b2 + c_[k];
            b2 = b1;
            b1 = b0;
        }
        return x * b1 - b2 + 0.5 * c_[0];
    }

private:
    double mid_, half_;
    std::vector<double> c_;
};

// The Moon's apparent place (right ascension unwrapped, declination, both
// in radians) and the equation of the equinoxes (seconds) over one stretch
// of dynamical time.
struct MoonTrack {
    Chebyshev ra, dec, equinoxes;
};

// Nodes of the equation of the equinoxes, which changes slowly: its terms
// of shortest period (9 and 14 days) come to a few thousandths of a second
// of time.
constexpr std::size_t kEquinoxNodes = 24;

MoonTrack FitMoonTrack(double from, double to, int nodes)
{
    const double mid = 0.5 * (from + to), half = 0.5 * (to - from);
    const std::vector<double> times = ChebyshevNodeTimes(mid, half, static_cast<std::size_t>(nodes));
    std::vector<double> ra(times.size()), dec(times.size());
    // The nodes run backwards in time (the cosine falls); the right
    // ascension is unwrapped along them so that the series sees no jump
    // at 360 degrees.
    for (std::size_t j = 0; j < times.size(); ++j) {
        const Triple p = ApparentPosition(times[j], Moon);
        ra[j] = p.First;
        if (j > 0)
            ra[j] += 360.0 * std::nearbyint((ra[j - 1] - ra[j]) / 360.0);
        dec[j] = p.Second;
    }
    for (std::size_t j = 0; j < times.size(); ++j) {
        ra[j] = DegToRad(ra[j]);
        dec[j] = DegToRad(dec[j]);
    }
    const std::vector<double> eqTimes = ChebyshevNodeTimes(mid, half, kEquinoxNodes);
    std::vector<double> eq(eqTimes.size());
    for (std::size_t j = 0; j < eqTimes.size(); ++j)
        eq[j] = EquationOfTheEquinoxes(Checked(eqTimes[j] - DeltaT(eqTimes[j])));
    return MoonTrack{Chebyshev(mid, half, ra), Chebyshev(mid, half, dec), Chebyshev(mid, half, eq)};
}

// The samples of AltitudeSamples for the Moon, from the fitted track: the
// same formulas as EquatorialToHorizontal with the diurnal aberration
// (a few millionths of a radian) applied to first order.
AltitudeSampleSet TrackSamples(double jde0, const MoonTrack &track, const ObserverPosition &observer, double h0)
{
    constexpr double kAberration = 0.0000015472;
    const double phi = DegToRad(observer.Latitude);
    const double sinPhi = std::sin(phi), cosPhi = std::cos(phi);
    // The diurnal aberration takes the latitude of the engine's observer.
    const double aberration = kAberration * CosD(Observer.Latitude);
    AltitudeSampleSet samples{};
    for (int k = 0; k <= 24; ++k) {
        const double t = jde0 + k / 24.0;
        const double ra = Checked(track.ra(t)), dec = Checked(track.dec(t));
        const double jd = Checked(t - DeltaT(t));
        const double theta = SiderealTimeAt(jd, observer.Longitude, Checked(track.equinoxes(t)));
        const double h = DegToRad(theta) - ra;
        const double sinH = std::sin(h), cosH = std::cos(h);
        const double sinDec = std::sin(dec), cosDec = std::cos(dec);
        const double dRa = Div(aberration * cosH, cosDec);
        const double dDec = aberration * sinH * sinDec;
        const double cosH1 = cosH + dRa * sinH;
        const double sinDec1 = sinDec + dDec * cosDec, cosDec1 = cosDec - dDec * sinDec;
        const double x = Checked(sinPhi * sinDec1 + cosPhi * cosDec1 * cosH1);
        samples[k] = Checked(RadToDeg(ArcSin(std::clamp(x, -1.0, 1.0))) - h0);
    }
    return samples;
}

} // namespace

int ChebyshevNodes(int days)
{
    return 12 + days * 5 / 4;
}

std::vector<RiseSetResult> RiseSetDays(double firstDay, int count, const ObserverPosition &observer, int body)
{
    std::vector<RiseSetResult> out;
    if (count <= 0)
        return out;
    out.reserve(static_cast<std::size_t>(count));
    if (body != Moon) {
        for (int i = 0; i < count; ++i)
            out.push_back(RiseSet(firstDay + i, observer, body));
        return out;
    }
    const double h0 = StandardAltitude(Moon);
    for (int done = 0; done < count;) {
        const int days = std::min(MaxDaysPerFit, count - done);
        const double first = firstDay + done;
        const double from = JulianDay(first, false, false);
        const double to = JulianDay(first + (days - 1), false, false) + 1.0;
        const MoonTrack track = FitMoonTrack(from, to, ChebyshevNodes(days));
        for (int i = 0; i < days; ++i) {
            const double day = first + i;
            const double jde0 = i == 0 ? from : JulianDay(day, false, false);
            out.push_back(FindRiseSet(day, TrackSamples(jde0, track, observer, h0)));
        }
        done += days;
    }
    return out;
}

} // namespace astro
