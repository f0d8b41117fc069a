#pragma once
// A month of the Moon as a lunar calendar sheet shows it, for a place and
// the system's time zone (each moment with the offset in force then): for
// every date its lunar days with their starts, moonrise and moonset,
// sunrise and sunset, the lit share of the disc and the Moon's sign at
// noon, the day the Moon enters a sign, and the fulfilment texts of the
// lunar day at noon, the weekday and the date; for the month, the four
// principal phases and every entry of the Moon into a sign.
//
// Moments are local date values kept to whole seconds (see LunarDay.h).
// The lunar days are the one-moment calendar's own boundary lists, so a
// start here is exactly what the calendar shows for the same moment.
// Everything is computed under the engine's lock, without letting window
// events run: call it from a worker.

#include "astro/mPublicVars.h"
#include "calendar/lunarday/LunarDay.h"

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

namespace somnex::calendar {

enum class PrincipalPhase { New, FirstQuarter, Full, LastQuarter };

// "new", "firstQuarter", "full", "lastQuarter".
QString phaseCode(PrincipalPhase phase);
// "Новолуние", "Первая четверть", "Полнолуние", "Последняя четверть".
QString phaseName(PrincipalPhase phase);

// The signs of the tropical zodiac, 0 Овен ... 11 Рыбы.
inline constexpr int kSignCount = 12;
QString signName(int sign);

struct PhaseInstant {
    PrincipalPhase phase = PrincipalPhase::New;
    double at = 0.0; // local
};

struct SignEntry {
    int sign = 0;
    double at = 0.0; // local: the Moon enters the sign
};

struct LunarDaySpan {
    qint16 number = 0;
    double start = 0.0; // local; the lunar day runs from start (excluded) to end
    double end = 0.0;
};

// Rising and setting of a body on a local date: the local moments, or
// nothing; with neither, whether the body stays above the horizon all day
// (polar day) or below it (polar night).
struct RiseSetOfDate {
    std::optional<double> rise;
    std::optional<double> set;
    bool aboveAllDay = false;
    bool belowAllDay = false;
};

struct MonthDay {
    QDate date;
    qint16 weekday = 0; // 1 Monday ... 7 Sunday
    // Every lunar day current at some moment of the date, in order.
    QList<LunarDaySpan> lunarDays;
    qint16 noonLunarDay = 0; // 0 when the engine found none
    RiseSetOfDate moon;
    RiseSetOfDate sun;
    // At 12:00 local time: the lit share in percent, the Moon's ecliptic
    // longitude minus the Sun's (degrees, 0 to 360: below 180 waxing), the
    // Moon's sign.
    double illumination = 0.0;
    double elongation = 0.0;
    int sign = 0;
    // The Moon's entry into a sign during the date.
    std::optional<SignEntry> signEntry;
    // The principal phases that fall on the date.
    QList<PhaseInstant> phases;
    // How far dreams come true: by the lunar day current at noon, by the
    // weekday, by the day of the month.
    QString lunarDayText;
    QString weekdayText;
    QString monthDayText;
};

struct LunarMonth {
    int year = 0;
    int month = 0;
    astro::ObserverPosition place;
    QString zone; // the system's IANA zone, "Europe/Moscow"
    QList<MonthDay> days;
    QList<PhaseInstant> phases;
    QList<SignEntry> signs;
};

// The months the calendar can compute: 1601-01 to 9999-12.
bool isComputableMonth(int year, int month);

// The month at the place. Engine faults (astro::FloatError) are raised to
// the caller; a month outside isComputableMonth raises std::out_of_range.
LunarMonth computeMonth(int year, int month, const astro::ObserverPosition &place,
                        const LunarEngine &engine = LunarEngine::standard());

// The zone as a sheet names it: "Europe/Moscow, UTC+3"; where the offset
// changes during the month, each offset with the date it takes effect
// ("Australia/Sydney, UTC+11, с 5 апреля UTC+10").
QString zoneLabel(int year, int month);

} // namespace somnex::calendar
