#pragma once
// The lunar day of a moment at a place, computed below any window so that the
// calendar window, the command-line calendar and the benchmark compute the
// same thing.
//
// A lunar day runs from one boundary to the next: the first from the new
// moon that opened the lunation to the first moonrise after it, each later
// one from a moonrise to the next, the last from the last moonrise to the
// new moon that closes the lunation. A moment exactly at a boundary belongs
// to the lunar day that ends there.
//
// Every function that computes takes the engine's lock (the engine keeps its
// observer and working values in globals): any thread may call them, one
// computes at a time, and none lets window events run meanwhile.
//
// Moments are date values (days since 1899-12-30 with the time of day as the
// fraction, see astro/mTime.h). Boundaries are kept to whole seconds, as the
// calendar lists them.

#include "astro/mPublicVars.h"
#include "astro/mRiseSet.h"
#include "astro/mTime.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QTime>
#include <QtGlobal>

#include <functional>
#include <vector>

namespace somnex::calendar {

// ---- date values -------------------------------------------------------

// The date value of a calendar date and time of day (whole seconds).
double toDateValue(const QDate &date, const QTime &time);
// The calendar date and the time of day (rounded to whole seconds) of a date
// value; an invalid date for a value outside years 100 to 9999.
QDate dateOf(double date);
QTime timeOf(double date);
// A date value as a count of whole seconds that grows with time, and back.
inline qint64 toSeconds(double date)
{
    return astro::DateToSeconds(date);
}
inline double fromSeconds(qint64 seconds)
{
    return astro::SecondsToDate(seconds);
}

// Russian text of a date value in a date-time format ("dd MMMM yyyy",
// "dd MMM yyyy hh:mm", "dd MMMM yyyy г., HH:mm").
QString formatMoment(double date, const QString &format);
// "YYYY-MM-DD HH:MM:SS", the form the boundary list and the command line use.
QString isoMoment(double date);

// Hour boundaries crossed from universal to local time at the moment given
// (local): 3 in a zone three hours east of Greenwich, -5 five hours west;
// a half-hour zone gives one of its two neighbouring whole hours.
int UtcOffsetHours(double localNow);

// ---- the lunar day -----------------------------------------------------

// The engine procedures the computation uses; the standard set is the
// astronomy engine's. Tests put failing or constructed ones in their place.
struct LunarEngine {
    std::function<double(double)> lastNewMoon; // universal in, universal out
    std::function<double(double)> nextNewMoon; // universal in, universal out
    std::function<astro::RiseSetResult(double day, const astro::ObserverPosition &, int body)> riseSet;
    std::function<double(double)> universalToLocal;
    // Rise and set of count consecutive days from firstDay, as riseSet gives
    // them day by day; when set, the boundary list takes its moonrises from
    // here instead of from riseSet. The standard one computes a lunation's
    // days at once and keeps the last few answers per thread. Whoever puts
    // another riseSet in place clears this one.
    std::function<std::vector<astro::RiseSetResult>(double firstDay, int count, const astro::ObserverPosition &,
                                                    int body)>
        riseSetDays = {};

    static const LunarEngine &standard();
};

struct MoonListResult {
    // The opening new moon, the moonrises after it and the closing new moon,
    // local, whole seconds, in order.
    QList<double> boundaries;
    bool found = false;
    qint16 lunarDay = 0;
    double start = 0.0; // local
    double end = 0.0;   // local
};

// Rebuilds the boundary list for the moment m (universal time) at the
// observer's place and finds the lunar day that holds it. Fills the engine's
// Observer record. Engine faults (astro::FloatError) are raised to the caller.
MoonListResult MoonList(double momentUniversal, const astro::ObserverPosition &observer,
                        const LunarEngine &engine = LunarEngine::standard());

// MoonList of every moment given (universal time) at one place, in the
// same order: each lunation's boundary list is computed once and shared by
// all the moments in it, so a long series of moments (a diary's dreams)
// costs about one list per lunation. Fills the engine's Observer record;
// engine faults (astro::FloatError) are raised to the caller.
std::vector<MoonListResult> MoonListBatch(const std::vector<double> &momentsUniversal,
                                          const astro::ObserverPosition &observer,
                                          const LunarEngine &engine = LunarEngine::standard());

// The lunar day as the calendar keeps it: lunar day 0 until the first find,
// and the previous values whenever a search finds nothing.
struct LunarState {
    qint16 lunarDay = 0;
    double start = 0.0;
    double end = 0.0;

    void take(const MoonListResult &r)
    {
        if (!r.found)
            return;
        lunarDay = r.lunarDay;
        start = r.start;
        end = r.end;
    }
};

// The phase picture of a lunar day: 1 to 29, later days showing 29.
int phasePictureFor(int lunarDay);

// Everything the calendar shows for a local moment, apart from the picture.
struct CalendarAnswer {
    double moment = 0.0; // local
    qint16 weekday = 0;  // 1 Monday ... 7 Sunday
    QString weekdayName;
    QString weekdayText;
    qint16 day = 0;
    QString dayText;
    MoonListResult moon;
};

// The weekday and day of the month with their texts, and MoonList of the
// moment turned into universal time by the system's time zone.
CalendarAnswer computeCalendar(double localMoment, const astro::ObserverPosition &observer,
                               const LunarEngine &engine = LunarEngine::standard());

// The same for a local moment whose offset from universal time is known
// (seconds east of Greenwich; a dream keeps the offset it was written in):
// the moment is turned into universal time, and the boundaries back into
// local time, by that offset instead of the system's zone (the engine's
// universalToLocal is not used).
CalendarAnswer computeCalendarAtOffset(double localMoment, int utcOffsetSeconds,
                                       const astro::ObserverPosition &observer,
                                       const LunarEngine &engine = LunarEngine::standard());

// computeCalendarAtOffset of every moment given, in the same order, at one
// place: as MoonListBatch, each lunation's boundary list is computed once
// per offset and shared by the moments in it. Engine faults are raised to
// the caller, as for one moment.
struct OffsetMoment {
    double local = 0.0;
    int utcOffsetSeconds = 0;
};
std::vector<CalendarAnswer> computeCalendarAtOffsetBatch(const std::vector<OffsetMoment> &moments,
                                                         const astro::ObserverPosition &observer,
                                                         const LunarEngine &engine = LunarEngine::standard());

// " (" start " - " end ")" in "dd MMM yyyy hh:mm".
QString boundsText(double start, double end);

// The description of an engine fault for the user.
QString engineFaultText(const std::exception &e);

} // namespace somnex::calendar
