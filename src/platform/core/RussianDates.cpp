#include "platform/core/RussianDates.h"

#include <array>

namespace somnex::dates {

namespace {

constexpr std::array<const char16_t *, 12> kMonths = {u"Январь",   u"Февраль", u"Март",   u"Апрель",
                                                      u"Май",      u"Июнь",    u"Июль",   u"Август",
                                                      u"Сентябрь", u"Октябрь", u"Ноябрь", u"Декабрь"};
constexpr std::array<const char16_t *, 12> kMonthsOfDay = {u"января",   u"февраля", u"марта",  u"апреля",
                                                           u"мая",      u"июня",    u"июля",   u"августа",
                                                           u"сентября", u"октября", u"ноября", u"декабря"};
constexpr std::array<const char16_t *, 7> kWeekdays = {u"Понедельник", u"Вторник", u"Среда",      u"Четверг",
                                                       u"Пятница",     u"Суббота", u"Воскресенье"};
constexpr std::array<const char16_t *, 7> kWeekdaysShort = {u"Пн", u"Вт", u"Ср", u"Чт", u"Пт", u"Сб", u"Вс"};

template <std::size_t N>
QString pick(const std::array<const char16_t *, N> &names, int oneBased)
{
    if (oneBased < 1 || oneBased > int(N))
        return QString();
    return QString::fromUtf16(names[std::size_t(oneBased - 1)]);
}

} // namespace

const QLocale &russian()
{
    static const QLocale locale(QLocale::Russian, QLocale::Russia);
    return locale;
}

QString monthName(int month)
{
    return pick(kMonths, month);
}

QString monthOfDay(int month)
{
    return pick(kMonthsOfDay, month);
}

QString monthTitle(int year, int month)
{
    const QString name = monthName(month);
    return name.isEmpty() ? QString() : name + QLatin1Char(' ') + QString::number(year);
}

QString weekdayName(int weekday)
{
    return pick(kWeekdays, weekday);
}

QString weekdayShort(int weekday)
{
    return pick(kWeekdaysShort, weekday);
}

QString dayAndMonth(const QDate &date)
{
    if (!date.isValid())
        return QString();
    return QString::number(date.day()) + QLatin1Char(' ') + monthOfDay(date.month());
}

QString longDate(const QDate &date)
{
    if (!date.isValid())
        return QString();
    return dayAndMonth(date) + QLatin1Char(' ') + QString::number(date.year());
}

QString nightCaption(const QDate &night)
{
    if (!night.isValid())
        return QString();
    return QStringLiteral("Ночь на ") + longDate(night.addDays(1));
}

QString format(const QDate &date, const QString &pattern)
{
    return russian().toString(date, pattern);
}

QString format(const QDateTime &moment, const QString &pattern)
{
    return russian().toString(moment, pattern);
}

QString number(double value, int decimals)
{
    return russian().toString(value, 'f', decimals);
}

QString counted(qint64 n, const QString &one, const QString &few, const QString &many)
{
    const qint64 tens = n % 100, units = n % 10;
    const QString &noun = (tens >= 11 && tens <= 14)   ? many
                          : units == 1                 ? one
                          : (units >= 2 && units <= 4) ? few
                                                       : many;
    return QString::number(n) + QLatin1Char(' ') + noun;
}

} // namespace somnex::dates
