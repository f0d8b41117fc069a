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

// A Chebyshev series on [mid - half, mid + half] fitted at the n nodes
// mid + half cos(pi (j + 1/2) / n).
class Chebyshev {
public:
    Chebyshev(double mid, double half, const std::vector<double> &values) : mid_(mid), half_(half)
    {
        const std::size_t n = values.size();
        c_.assign(n, 0.0);
        for (std::size_t k = 0; k < n; ++k) {
            double sum = 0.0;
            for (std::size_t j = 0; j < n; ++j)
                sum += values[j] * std::cos(std::numbers::pi * double(k) * (double(j) + 0.5) / double(n));
            c_[k] = 2.0 * sum / double(n);
        }
    }

    static double node(double mid, double half, std::size_t j, std::size_t n)
    {
        return mid + half * std::cos(std::numbers::pi * (double(j) + 0.5) / double(n));
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

// The Moon's apparent place and the equation of the equinoxes over one
// stretch of dynamical time.
struct MoonTrack {
    Chebyshev ra, dec, equinoxes;
};

MoonTrack FitMoonTrack(double from, double to, int nodes)
{
    const double mid = 0.5 * (from + to), half = 0.5 * (to - from);
    const std::size_t n = static_cast<std::size_t>(nodes);
    std::vector<double> ra(n), dec(n), eq(n);
    // The nodes run backwards in time (the cosine falls); the right
    // ascension is unwrapped along them so that the series sees no jump
    // at 360 degrees.
    for (std::size_t j = 0; j < n; ++j) {
        const double t = Chebyshev::node(mid, half, j, n);
        const Triple p = ApparentPosition(t, Moon);
        ra[j] = p.First;
        if (j > 0)
            ra[j] += 360.0 * std::nearbyint((ra[j - 1] - ra[j]) / 360.0);
        dec[j] = p.Second;
        eq[j] = EquationOfTheEquinoxes(Checked(t - DeltaT(t)));
    }
    return MoonTrack{Chebyshev(mid, half, ra), Chebyshev(mid, half, dec), Chebyshev(mid, half, eq)};
}

// The samples of AltitudeSamples for the Moon, from the fitted track.
AltitudeSampleSet TrackSamples(double jde0, const MoonTrack &track, const ObserverPosition &observer, double h0)
{
    AltitudeSampleSet samples{};
    for (int k = 0; k <= 24; ++k) {
        const double t = jde0 + k / 24.0;
        const Triple position{Norm360(Checked(track.ra(t))), Checked(track.dec(t)), 0.0};
        const double jd = Checked(t - DeltaT(t));
        const double theta = SiderealTimeAt(jd, observer.Longitude, Checked(track.equinoxes(t)));
        samples[k] = Checked(EquatorialToHorizontalAt(theta, position, observer).Second - h0);
    }
    return samples;
}

} // namespace

int ChebyshevNodes(int days)
{
    return 16 + days * 3 / 2;
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
