#pragma once
// Calendar dates and time scales: the calendar-date formula for the Julian
// day, Delta-T and the apparent sidereal time.
//
// A date value is a count of days since 1899-12-30 00:00 whose fraction is
// the time of day. Before that epoch the integer part counts the days
// backwards while the fraction stays the positive time of day: -1.25 is
// 1899-12-29 06:00.

#include <cstdint>

namespace astro {

// The calendar fields of a date value, as the Date type reads them
// (proleptic Gregorian calendar).
struct DateFields {
    std::int16_t Year = 0;
    std::int16_t Month = 0;
    std::int16_t Day = 0;
};

// Raises OverflowError when the year does not fit 16 bits.
DateFields DateParts(double date);

// A date value as a plain count of days that grows with time (-1.25 becomes
// -0.75), and back. Arithmetic on moments goes through these two.
double DateToSerial(double date);
double SerialToDate(double serial);
// The date value that lies the given number of days after date.
double DateAddDays(double date, double days);

// Moments to the whole second. A date value as a count of seconds since the
// epoch that grows with time (rounded to the nearest second), and back.
std::int64_t DateToSeconds(double date);
double SecondsToDate(std::int64_t seconds);

// A date value rounded to whole seconds, split into the whole days since the
// epoch (negative before it) and the second of that day, [0, 86400).
struct DaySecond {
    std::int64_t days = 0;
    int second = 0;
};
DaySecond SplitDate(double date);
// The date value of a day counted from the epoch and a second of that day.
double JoinDate(std::int64_t days, int second);

// The Julian day of the date value's calendar date and time of day; the
// year is turned into astronomical numbering (1 - year) when beforeChrist is
// set. The calendar fields count as Julian-calendar dates before 1582-10-15.
// Returns JDE = JD + DeltaT(JD) unless universalOnly is set. Years that the
// 16-bit day-number arithmetic cannot hold raise OverflowError.
double JulianDay(double date, bool beforeChrist, bool universalOnly);

// Delta-T = TD - UT in days for the Julian day given.
double DeltaT(double jd);

// Local apparent sidereal time in degrees, [0, 360), at the dynamical
// instant jde and the longitude given (east positive).
double SiderealTime(double jde, double longitude);
// The two parts of it: the equation of the equinoxes (nutation in right
// ascension) in seconds of time at the Julian day jd (universal time), and
// the sidereal time at jd with the equation of the equinoxes given.
double EquationOfTheEquinoxes(double jd);
double SiderealTimeAt(double jd, double longitude, double equinoxes);

} // namespace astro
