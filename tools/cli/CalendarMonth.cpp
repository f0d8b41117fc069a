// calendar --month: a month of the Moon at a place, a table per day or JSON.
#include "tools/cli/Commands.h"

#include "calendar/lunarday/LunarMonth.h"
#include "diary/DiaryStore.h"
#include "platform/core/RussianDates.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

namespace somnex::cli {

namespace {

QJsonValue momentOrNull(const std::optional<double> &m)
{
    return m ? QJsonValue(calendar::isoMoment(*m)) : QJsonValue(QJsonValue::Null);
}

QString clock(double moment)
{
    return calendar::formatMoment(moment, QStringLiteral("HH:mm:ss"));
}

// A moment beside the date it is shown under: the time alone on that date,
// the day and month before it otherwise.
QString clockOn(double moment, const QDate &date)
{
    const QDate d = calendar::dateOf(moment);
    return d == date ? clock(moment) : dates::dayAndMonth(d) + QStringLiteral(", ") + clock(moment);
}

// The dreams of the diary by the date their night ends on (the night "на"
// that date), for the dates of the month. An unreadable diary counts none,
// said on standard error.
QMap<QDate, int> diaryDreams(const QDate &first, const QDate &last)
{
    QMap<QDate, int> counts;
    try {
        counts = diary::dreamsByMorning(diary::DiaryStore().list(), first, last);
    } catch (const std::exception &e) {
        err(QStringLiteral("Дневник не прочитан, сны не сосчитаны: ") + QString::fromLocal8Bit(e.what())
            + QLatin1Char('\n'));
    }
    return counts;
}

QJsonObject dayJson(const calendar::MonthDay &d, int dreams)
{
    QJsonArray lunarDays;
    for (const calendar::LunarDaySpan &s : d.lunarDays)
        lunarDays.append(QJsonObject{{QStringLiteral("number"), s.number},
                                     {QStringLiteral("start"), calendar::isoMoment(s.start)},
                                     {QStringLiteral("end"), calendar::isoMoment(s.end)}});
    QJsonObject o;
    o[QStringLiteral("date")] = d.date.toString(Qt::ISODate);
    o[QStringLiteral("weekday")] = dates::weekdayName(d.weekday);
    o[QStringLiteral("lunarDays")] = lunarDays;
    o[QStringLiteral("moonrise")] = momentOrNull(d.moon.rise);
    o[QStringLiteral("moonset")] = momentOrNull(d.moon.set);
    o[QStringLiteral("sunrise")] = momentOrNull(d.sun.rise);
    o[QStringLiteral("sunset")] = momentOrNull(d.sun.set);
    o[QStringLiteral("polar")] = d.sun.aboveAllDay   ? QJsonValue(QStringLiteral("day"))
                                 : d.sun.belowAllDay ? QJsonValue(QStringLiteral("night"))
                                                     : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("illumination")] = d.illumination;
    o[QStringLiteral("waxing")] = d.elongation < 180.0;
    o[QStringLiteral("sign")] = calendar::signName(d.sign);
    o[QStringLiteral("signEntry")] =
        d.signEntry ? QJsonValue(QJsonObject{{QStringLiteral("sign"), calendar::signName(d.signEntry->sign)},
                                             {QStringLiteral("at"), calendar::isoMoment(d.signEntry->at)}})
                    : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("fulfilment")] = QJsonObject{{QStringLiteral("lunarDay"), d.lunarDayText},
                                                  {QStringLiteral("weekday"), d.weekdayText},
                                                  {QStringLiteral("monthDay"), d.monthDayText}};
    o[QStringLiteral("dreams")] = dreams;
    return o;
}

QString monthJson(const calendar::LunarMonth &m, const QMap<QDate, int> &dreams)
{
    QJsonArray days, phases, signs;
    for (const calendar::MonthDay &d : m.days)
        days.append(dayJson(d, dreams.value(d.date)));
    for (const calendar::PhaseInstant &p : m.phases)
        phases.append(QJsonObject{{QStringLiteral("kind"), calendar::phaseCode(p.phase)},
                                  {QStringLiteral("at"), calendar::isoMoment(p.at)}});
    for (const calendar::SignEntry &s : m.signs)
        signs.append(QJsonObject{{QStringLiteral("sign"), calendar::signName(s.sign)},
                                 {QStringLiteral("from"), calendar::isoMoment(s.at)}});
    QJsonObject o;
    o[QStringLiteral("month")] =
        QStringLiteral("%1-%2").arg(m.year, 4, 10, QLatin1Char('0')).arg(m.month, 2, 10, QLatin1Char('0'));
    o[QStringLiteral("zone")] = m.zone;
    o[QStringLiteral("latitude")] = m.place.Latitude;
    o[QStringLiteral("longitude")] = m.place.Longitude;
    o[QStringLiteral("days")] = days;
    o[QStringLiteral("phases")] = phases;
    o[QStringLiteral("signs")] = signs;
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented));
}

QString riseSetText(const calendar::RiseSetOfDate &r, const QDate &date, const QString &above, const QString &below)
{
    if (r.aboveAllDay)
        return above;
    if (r.belowAllDay)
        return below;
    return QStringLiteral("восход ") + (r.rise ? clockOn(*r.rise, date) : QStringLiteral("—"))
           + QStringLiteral(", заход ") + (r.set ? clockOn(*r.set, date) : QStringLiteral("—"));
}

QString dayText(const calendar::MonthDay &d, int dreams)
{
    QString t =
        dates::longDate(d.date) + QStringLiteral(", ") + dates::weekdayName(d.weekday).toLower() + QLatin1Char('\n');
    QStringList lunar;
    for (const calendar::LunarDaySpan &s : d.lunarDays)
        lunar << QString::number(s.number) + QStringLiteral("-й с ") + clockOn(s.start, d.date);
    t += QStringLiteral("  Лунные дни: ") + lunar.join(QStringLiteral("; ")) + QLatin1Char('\n');
    for (const calendar::PhaseInstant &p : d.phases)
        t += QStringLiteral("  ") + calendar::phaseName(p.phase) + QStringLiteral(" в ") + clock(p.at)
             + QLatin1Char('\n');
    t += QStringLiteral("  Луна: ")
         + riseSetText(d.moon, d.date, QStringLiteral("над горизонтом весь день"), QStringLiteral("не восходит"))
         + QStringLiteral("; освещено ") + dates::number(d.illumination, 1) + QStringLiteral("\u00a0%; ")
         + calendar::signName(d.sign);
    if (d.signEntry)
        t += QStringLiteral(", с ") + clock(d.signEntry->at) + QStringLiteral(" — ")
             + calendar::signName(d.signEntry->sign);
    t += QLatin1Char('\n');
    t += QStringLiteral("  Солнце: ")
         + riseSetText(d.sun, d.date, QStringLiteral("полярный день"), QStringLiteral("полярная ночь"))
         + QLatin1Char('\n');
    if (d.noonLunarDay > 0)
        t += QStringLiteral("  Сон по лунному дню (") + QString::number(d.noonLunarDay) + QStringLiteral("-й): ")
             + d.lunarDayText + QLatin1Char('\n');
    t += QStringLiteral("  По дню недели: ") + d.weekdayText + QLatin1Char('\n');
    t += QStringLiteral("  По числу месяца: ") + d.monthDayText + QLatin1Char('\n');
    if (dreams > 0)
        t += QStringLiteral("  Снов в дневнике: ") + QString::number(dreams) + QLatin1Char('\n');
    return t;
}

QString monthText(const calendar::LunarMonth &m, const QString &placeName, const QMap<QDate, int> &dreams)
{
    QString t = QStringLiteral("Лунный календарь на месяц: ") + dates::monthTitle(m.year, m.month) + QLatin1Char('\n');
    t += QStringLiteral("Место: ") + (placeName.isEmpty() ? QString() : placeName + QStringLiteral(", "))
         + QStringLiteral("%1, %2").arg(m.place.Latitude, 0, 'f', 4).arg(m.place.Longitude, 0, 'f', 4)
         + QLatin1Char('\n');
    t += QStringLiteral("Время: ") + calendar::zoneLabel(m.year, m.month) + QLatin1Char('\n');
    t += QStringLiteral("Фазы Луны:\n");
    for (const calendar::PhaseInstant &p : m.phases)
        t += QStringLiteral("  ") + calendar::phaseName(p.phase) + QStringLiteral(" — ")
             + dates::dayAndMonth(calendar::dateOf(p.at)) + QStringLiteral(", ") + clock(p.at) + QLatin1Char('\n');
    for (const calendar::MonthDay &d : m.days)
        t += QLatin1Char('\n') + dayText(d, dreams.value(d.date));
    return t;
}

} // namespace

std::optional<std::pair<int, int>> parseMonth(const QString &text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('-'));
    if (parts.size() != 2 || parts[0].size() != 4 || parts[1].size() != 2)
        return std::nullopt;
    bool okYear = false, okMonth = false;
    const int year = parts[0].toInt(&okYear), month = parts[1].toInt(&okMonth);
    if (!okYear || !okMonth || !calendar::isComputableMonth(year, month))
        return std::nullopt;
    return std::pair{year, month};
}

int calendarMonth(int year, int month, const astro::ObserverPosition &place, const QString &placeName, bool json)
{
    calendar::LunarMonth m;
    try {
        m = calendar::computeMonth(year, month, place);
    } catch (const std::exception &e) {
        err(QStringLiteral("Ошибка расчёта: ") + calendar::engineFaultText(e) + QLatin1Char('\n'));
        return 1;
    }
    const QMap<QDate, int> dreams = diaryDreams(m.days.first().date, m.days.last().date);
    out(json ? monthJson(m, dreams) : monthText(m, placeName, dreams));
    return 0;
}

} // namespace somnex::cli
