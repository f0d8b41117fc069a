// calendar: the lunar day of a moment at a place, as the calendar window
// computes it.
#include "tools/cli/Commands.h"

#include "astro/Moonday.h"
#include "calendar/lunarday/LunarDay.h"
#include "calendar/tables/DreamTables.h"
#include "location/core/Location.h"
#include "platform/core/Clock.h"
#include "platform/core/Settings.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <optional>

namespace somnex::cli {

namespace {

const QString kUsage = QStringLiteral(
    "Использование: somnex-cli calendar [--at \"ГГГГ-ММ-ДД ЧЧ:ММ[:СС]\" | --month ГГГГ-ММ] [--lat ГРАД --lon ГРАД] "
    "[--json]\n"
    "  --at    местное время сна (по часовому поясу системы, TZ учитывается); по умолчанию сейчас\n"
    "  --month лунный календарь на месяц: лунные дни, фазы, знаки, восходы и заходы, сны по дням\n"
    "  --lat   широта в градусах, север положительный (-90..90)\n"
    "  --lon   долгота в градусах, восток положительный (-180..180)\n"
    "          без --lat и --lon берётся место из настроек программы\n"
    "  --json  ответ в виде JSON\n");

int usageError(const QString &why)
{
    err(why + QLatin1Char('\n') + kUsage);
    return 2;
}

std::optional<double> parseMoment(const QString &text)
{
    for (const char *format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm"}) {
        const QDateTime dt = QDateTime::fromString(text.trimmed(), QString::fromLatin1(format));
        if (!dt.isValid())
            continue;
        // The calendar's pickers hold moments from 1601 to 9999.
        if (dt.date().year() < 1601 || dt.date().year() > 9999)
            return std::nullopt;
        return calendar::toDateValue(dt.date(), dt.time());
    }
    return std::nullopt;
}

QJsonValue momentOrNull(bool present, double date)
{
    return present ? QJsonValue(calendar::isoMoment(date)) : QJsonValue(QJsonValue::Null);
}

struct CalendarOptions {
    std::optional<double> moment;
    std::optional<std::pair<int, int>> month;
    std::optional<double> lat, lon;
    bool json = false;
    bool help = false;
};

// --at or --month with its value; an exit status when it is wrong.
std::optional<int> readWhenOption(const QString &a, const std::optional<QString> &v, CalendarOptions &o)
{
    if (a == QLatin1String("--at")) {
        if (!v)
            return usageError(QStringLiteral("Не указано время после --at."));
        o.moment = parseMoment(*v);
        if (!o.moment)
            return usageError(QStringLiteral("Неверное время: ") + *v
                              + QStringLiteral(" (нужно ГГГГ-ММ-ДД ЧЧ:ММ[:СС], годы 1601-9999)."));
        return std::nullopt;
    }
    if (!v)
        return usageError(QStringLiteral("Не указан месяц после --month."));
    o.month = parseMonth(*v);
    if (!o.month)
        return usageError(QStringLiteral("Неверный месяц: ") + *v
                          + QStringLiteral(" (нужно ГГГГ-ММ, с 1601-01 по 9999-12)."));
    return std::nullopt;
}

// Reads one option (and its value) at args[i]; an exit status when it is wrong.
std::optional<int> readCalendarOption(const QStringList &args, qsizetype &i, CalendarOptions &o)
{
    const QString &a = args[i];
    auto value = [&]() -> std::optional<QString> {
        if (i + 1 >= args.size())
            return std::nullopt;
        return args[++i];
    };
    if (a == QLatin1String("--json")) {
        o.json = true;
    } else if (a == QLatin1String("--at") || a == QLatin1String("--month")) {
        return readWhenOption(a, value(), o);
    } else if (a == QLatin1String("--lat") || a == QLatin1String("--lon")) {
        const bool isLat = a == QLatin1String("--lat");
        const auto v = value();
        if (!v)
            return usageError(QStringLiteral("Не указано значение после ") + a + QLatin1Char('.'));
        const auto d = parseDegrees(*v, isLat ? 90.0 : 180.0);
        if (!d)
            return usageError((isLat ? QStringLiteral("Неверная широта: ") : QStringLiteral("Неверная долгота: "))
                              + *v);
        (isLat ? o.lat : o.lon) = d;
    } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
        o.help = true;
    } else {
        return usageError(QStringLiteral("Неизвестный параметр: ") + a);
    }
    return std::nullopt;
}

QString calendarJson(const calendar::CalendarAnswer &a, const QString &lunarText)
{
    const bool found = a.moon.found;
    QJsonArray boundaries;
    for (double b : a.moon.boundaries)
        boundaries.append(calendar::isoMoment(b));
    QJsonObject o;
    o[QStringLiteral("moment")] = calendar::isoMoment(a.moment);
    o[QStringLiteral("weekday")] = a.weekdayName;
    o[QStringLiteral("weekdayText")] = a.weekdayText;
    o[QStringLiteral("day")] = a.day;
    o[QStringLiteral("dayText")] = a.dayText;
    o[QStringLiteral("lunarDay")] = found ? a.moon.lunarDay : 0;
    o[QStringLiteral("lunarDayStart")] = momentOrNull(found, a.moon.start);
    o[QStringLiteral("lunarDayEnd")] = momentOrNull(found, a.moon.end);
    o[QStringLiteral("lunarDayText")] = lunarText;
    o[QStringLiteral("boundaries")] = boundaries;
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented));
}

QString calendarText(const calendar::CalendarAnswer &a, const astro::ObserverPosition &observer,
                     const QString &placeName, const QString &lunarText)
{
    QString text;
    text += QStringLiteral("Момент: ") + calendar::formatMoment(a.moment, QStringLiteral("dd MMMM yyyy г., HH:mm:ss"))
            + QLatin1Char('\n');
    text += QStringLiteral("Место: ") + (placeName.isNull() ? QString() : placeName + QStringLiteral(", "))
            + QStringLiteral("%1, %2").arg(observer.Latitude, 0, 'f', 4).arg(observer.Longitude, 0, 'f', 4)
            + QLatin1Char('\n');
    text += QStringLiteral("День недели: ") + a.weekdayName + QLatin1Char('\n');
    text += QStringLiteral("  ") + a.weekdayText + QLatin1Char('\n');
    text += QStringLiteral("Число месяца: ") + QString::number(a.day) + QLatin1Char('\n');
    text += QStringLiteral("  ") + a.dayText + QLatin1Char('\n');
    if (a.moon.found) {
        text += QStringLiteral("Лунный день: ") + QString::number(a.moon.lunarDay)
                + calendar::boundsText(a.moon.start, a.moon.end) + QLatin1Char('\n');
        text += QStringLiteral("  ") + lunarText + QLatin1Char('\n');
    } else {
        text += QStringLiteral("Лунный день: не определён\n");
    }
    return text;
}

} // namespace

// Degrees in the range given, kept to four decimals as the program keeps the
// observer's place.
std::optional<double> parseDegrees(const QString &text, double limit)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < -limit || v > limit)
        return std::nullopt;
    return std::nearbyint(v * 10000.0) / 10000.0;
}

int calendar(const QStringList &args)
{
    CalendarOptions o;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (const std::optional<int> status = readCalendarOption(args, i, o))
            return *status;
        if (o.help) {
            out(kUsage);
            return 0;
        }
    }
    if (o.lat.has_value() != o.lon.has_value())
        return usageError(QStringLiteral("Широта и долгота задаются вместе: --lat и --lon."));
    if (o.month && o.moment)
        return usageError(QStringLiteral("--at и --month вместе не задаются."));

    if (!o.moment) {
        const QDateTime now = Clock::current().now();
        o.moment = calendar::toDateValue(now.date(), now.time());
    }
    QString placeName;
    astro::ObserverPosition observer;
    if (o.lat) {
        observer = {*o.lat, *o.lon};
    } else {
        const location::Location place = location::Location::load(GetSetting);
        observer = {place.latitude().toDouble(), place.longitude().toDouble()};
        placeName = place.cityName;
    }

    if (o.month)
        return calendarMonth(o.month->first, o.month->second, observer, placeName, o.json);
    calendar::CalendarAnswer a;
    try {
        a = calendar::computeCalendar(*o.moment, observer);
    } catch (const std::exception &e) {
        err(QStringLiteral("Ошибка расчёта: ") + calendar::engineFaultText(e) + QLatin1Char('\n'));
        return 1;
    }
    const QString lunarText = a.moon.found ? calendar::DreamByMoon(a.moon.lunarDay) : QString();
    out(o.json ? calendarJson(a, lunarText) : calendarText(a, observer, placeName, lunarText));
    return 0;
}

} // namespace somnex::cli
