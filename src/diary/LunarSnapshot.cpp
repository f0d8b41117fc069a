#include "diary/LunarSnapshot.h"

#include "calendar/lunarday/LunarDay.h"
#include "calendar/tables/DreamTables.h"
#include "platform/error/Error.h"

#include <exception>
#include <map>

namespace somnex::diary {

namespace {

// A local date value of the calendar engine as a moment in the offset given.
QDateTime momentOf(double local, int offset)
{
    const QDate d = calendar::dateOf(local);
    if (!d.isValid())
        return {};
    return QDateTime(d, calendar::timeOf(local), Qt::OffsetFromUTC, offset);
}

// The lunar part of a snapshot from the calendar's answer.
void takeLunarDay(LunarSnapshot &s, const calendar::CalendarAnswer &a, int offset)
{
    if (!a.moon.found)
        return;
    s.found = true;
    s.lunarDay = a.moon.lunarDay;
    s.start = momentOf(a.moon.start, offset);
    s.end = momentOf(a.moon.end, offset);
    s.phasePicture = calendar::phasePictureFor(a.moon.lunarDay);
    s.lunarDayText = calendar::DreamByMoon(a.moon.lunarDay);
}

// The weekday's and the day of the month's texts of a moment.
LunarSnapshot dayTexts(const QDateTime &at)
{
    LunarSnapshot s;
    if (!at.isValid())
        return s;
    s.weekdayText = calendar::DreamByWeekDay(static_cast<qint16>(at.date().dayOfWeek()));
    s.monthDayText = calendar::DreamByDay(static_cast<qint16>(at.date().day()));
    return s;
}

} // namespace

LunarSnapshot computeSnapshot(const QDateTime &at, const std::optional<Place> &place)
{
    LunarSnapshot s;
    if (!at.isValid())
        return s;
    const int offset = at.offsetFromUtc();
    const double local = calendar::toDateValue(at.date(), at.time());
    s = dayTexts(at);
    if (!place)
        return s;
    calendar::CalendarAnswer a;
    try {
        a = calendar::computeCalendarAtOffset(local, offset, {place->latitude, place->longitude});
    } catch (const std::exception &) {
        // The engine gives up at the ends of its range: the lunar day stays
        // unknown, the entry is kept.
        traceIgnored(std::current_exception());
        return s;
    }
    takeLunarDay(s, a, offset);
    return s;
}

QList<LunarSnapshot> computeSnapshots(const QList<DatedPlace> &moments)
{
    QList<LunarSnapshot> out;
    out.reserve(moments.size());
    std::map<std::pair<double, double>, std::vector<qsizetype>> byPlace;
    for (qsizetype i = 0; i < moments.size(); ++i) {
        out << dayTexts(moments[i].at);
        if (moments[i].at.isValid() && moments[i].place)
            byPlace[{moments[i].place->latitude, moments[i].place->longitude}].push_back(i);
    }
    for (const auto &[where, indexes] : byPlace) {
        std::vector<calendar::OffsetMoment> batch;
        batch.reserve(indexes.size());
        for (qsizetype i : indexes) {
            const QDateTime &at = moments[i].at;
            batch.push_back({calendar::toDateValue(at.date(), at.time()), at.offsetFromUtc()});
        }
        std::vector<calendar::CalendarAnswer> answers;
        try {
            answers = calendar::computeCalendarAtOffsetBatch(batch, {where.first, where.second});
        } catch (const std::exception &) {
            // a moment at the ends of the engine's range: each on its own,
            // so that only that one stays without its lunar day
            traceIgnored(std::current_exception());
            for (qsizetype i : indexes)
                out[i] = computeSnapshot(moments[i].at, moments[i].place);
            continue;
        }
        for (size_t k = 0; k < indexes.size() && k < answers.size(); ++k)
            takeLunarDay(out[indexes[k]], answers[k], moments[indexes[k]].at.offsetFromUtc());
    }
    return out;
}

} // namespace somnex::diary
