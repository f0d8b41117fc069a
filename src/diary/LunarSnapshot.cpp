#include "diary/LunarSnapshot.h"

#include "calendar/calen/LunarDay.h"
#include "calendar/tables/DreamTables.h"
#include "platform/error/Error.h"

#include <exception>
#include <mutex>

namespace somnex::diary {

namespace {

// The astronomy engine keeps the observer and its working values in globals:
// two threads of the diary (the window's worker and its own, or a test's
// writers) compute one at a time.
std::mutex g_engine;

// A local date value of the calendar engine as a moment in the offset given.
QDateTime momentOf(double local, int offset)
{
    const QDate d = calendar::dateOf(local);
    if (!d.isValid())
        return {};
    return QDateTime(d, calendar::timeOf(local), Qt::OffsetFromUTC, offset);
}

} // namespace

LunarSnapshot computeSnapshot(const QDateTime &at, const std::optional<Place> &place)
{
    LunarSnapshot s;
    if (!at.isValid())
        return s;
    const int offset = at.offsetFromUtc();
    const double local = calendar::toDateValue(at.date(), at.time());
    const qint16 weekday = static_cast<qint16>(at.date().dayOfWeek());
    const qint16 day = static_cast<qint16>(at.date().day());
    s.weekdayText = calendar::DreamByWeekDay(weekday);
    s.monthDayText = calendar::DreamByDay(day);
    if (!place)
        return s;
    calendar::CalendarAnswer a;
    try {
        const std::lock_guard<std::mutex> lock(g_engine);
        a = calendar::computeCalendarAtOffset(local, offset, {place->latitude, place->longitude});
    } catch (const std::exception &) {
        // The engine gives up at the ends of its range: the lunar day stays
        // unknown, the entry is kept.
        traceIgnored(std::current_exception());
        return s;
    }
    if (!a.moon.found)
        return s;
    s.found = true;
    s.lunarDay = a.moon.lunarDay;
    s.start = momentOf(a.moon.start, offset);
    s.end = momentOf(a.moon.end, offset);
    s.phasePicture = calendar::phasePictureFor(a.moon.lunarDay);
    s.lunarDayText = calendar::DreamByMoon(a.moon.lunarDay);
    return s;
}

} // namespace somnex::diary
