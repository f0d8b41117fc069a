#pragma once
// The dream-fulfilment tables of the lunar calendar: the weekday names and
// three traditional tables of how far a dream comes true, keyed by the day of
// the week, the day of the month and the lunar day. The lookups hold no state;
// a key outside a table's range answers with an empty string.

#include <QString>
#include <QtGlobal>

namespace somnex::calendar {

// Weekday 1 = Monday ... 7 = Sunday (the week starts on Monday).
QString WeekDayStr(const qint16 &weekday);
QString DreamByWeekDay(const qint16 &weekday);

// Day of the month, 1 to 31.
QString DreamByDay(const qint16 &day);

// Lunar day, 1 to 31.
QString DreamByMoon(const qint16 &lunarDay);

} // namespace somnex::calendar
