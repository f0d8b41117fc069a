#pragma once
// Russian dates and numbers, written one way by every window, the command
// line and the exports: month and weekday names, "9 декабря 2026", the
// night a dream belongs to, date-time formats in the Russian locale.

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace somnex::dates {

// The Russian locale (Russia) every date and number of the program is
// written in.
const QLocale &russian();

// Month 1 to 12: "Декабрь" (standalone, capitalised), "декабря" (the form
// after a day number). Empty outside 1..12.
QString monthName(int month);
QString monthOfDay(int month);
// "Декабрь 2026".
QString monthTitle(int year, int month);

// Weekday 1 Monday ... 7 Sunday: "Понедельник", "Пн". Empty outside 1..7.
QString weekdayName(int weekday);
QString weekdayShort(int weekday);

// "9 декабря 2026", "9 декабря"; empty for an invalid date.
QString longDate(const QDate &date);
QString dayAndMonth(const QDate &date);

// The night that begins on the evening of the date, named after the
// morning it ends in: "Ночь на 10 декабря 2026".
QString nightCaption(const QDate &night);

// A date, time or moment in a Qt format string, in Russian.
QString format(const QDate &date, const QString &pattern);
QString format(const QDateTime &moment, const QString &pattern);

// A number with the decimals given, in Russian ("63,2").
QString number(double value, int decimals);

// A count with its noun in the Russian plural: "1 статья", "3 статьи",
// "11 статей", "2315 статей".
QString counted(qint64 n, const QString &one, const QString &few, const QString &many);

} // namespace somnex::dates
