#pragma once
// Date values and Julian days, local and universal time, and the instants of
// the Moon's phases with the new moons that open and close a lunation.

#include <array>
#include <cstdint>

namespace astro {

// The Julian day of a date value. The date's calendar fields count as
// Julian-calendar dates before 1582-10-15 (a shift of 10 days).
double DateToJulianDay(double date);
// The date value of a Julian day; 0 when IsValidJulianDay fails.
double JulianDayToDate(double jd);
// The span of the Date type, years 100 to 9999.
bool IsValidJulianDay(double jd);

// Minutes to add to local clock time to get universal time, from the
// system's time zone as it is now (TZ respected): the standard offset in
// standard time, the daylight offset otherwise.
int UtcBiasMinutes();
// Local clock time to universal time and back with the offset in force at
// the moment converted (the system's time-zone rules, TZ respected): a July
// date in Berlin is two hours ahead of universal time, a January one one.
// A local time the clock skips when it goes forward is read with the offset
// before the change (02:30 becomes 03:30 summer time); one it shows twice
// when it goes back is taken the second time, in standard time, as the
// diary takes it.
double LocalToUniversal(double date);
double UniversalToLocal(double date);

// The state one phase computation works on: the phase instant being built
// (JDE), the eccentricity factor E, the arguments M, M', F, Omega and the
// planetary arguments A1 to A14 (element 0 unused), all in radians.
struct PhaseWorkingState {
    double JDE = 0.0;
    double E = 0.0;
    double M = 0.0;
    double Mp = 0.0;
    double F = 0.0;
    double Omega = 0.0;
    std::array<double, 15> A{};
};
extern PhaseWorkingState PhaseWork;

// Lunation 0 opened with the new moon of 1922-12-17.
inline constexpr double FirstLunationDate = 8388.51399305556;

// JDE of the phase (0 new moon, 1 first quarter, 2 full moon, 3 last
// quarter) of lunation n.
double MoonPhaseTime(std::int32_t n, std::int16_t phase);
// Adds the periodic and planetary corrections of the phase to
// PhaseWork.JDE; other phases than 0 to 3 get the planetary ones only.
void MoonPhaseCorrections(std::int16_t phase);

// The lunation whose new moon is at or before the moment and whose
// successor's new moon is after it. Lets pending events run before each
// pass of the search; raises OverflowError if n leaves 32 bits.
std::int32_t LunationNumber(double date);
// The new moon that opened the lunation holding the moment.
double LastNewMoon(double date);
// The first new moon after the moment.
double NextNewMoon(double date);

} // namespace astro
