// diary stats: the diary's statistics over a period, as text or JSON.
#include "tools/cli/Commands.h"

#include "diary/DiaryStore.h"
#include "diary/LunarSnapshot.h"
#include "diary/Stats.h"
#include "platform/core/RussianDates.h"
#include "platform/error/Error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>

#include <optional>

namespace somnex::cli {

namespace {

using namespace somnex::diary;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
// How many symbols, tags, people and places the text form names.
constexpr int kTopInText = 10;

const QString kStatsUsage =
    QStringLiteral("Использование: somnex-cli diary stats [--from ДАТА] [--to ДАТА] [--json]\n"
                   "  статистика дневника за ночи с --from по --to включительно (по умолчанию за всё время);\n"
                   "  ДАТА: ГГГГ-ММ-ДД, ГГГГ-ММ (месяц) или ГГГГ (год): --from берёт первую ночь, --to последнюю.\n");

int usageError(const QString &why)
{
    err(why + QLatin1Char('\n') + kStatsUsage);
    return kUsage;
}

// A date, a month or a year; `last` picks the last night of a month or year.
std::optional<QDate> parseNight(const QString &text, bool last)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{4})(?:-(\\d{2})(?:-(\\d{2}))?)?$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const int year = m.captured(1).toInt();
    if (year < kFirstYear || year > kLastYear)
        return std::nullopt;
    if (m.captured(2).isEmpty())
        return last ? StatsPeriod::year(year).to : StatsPeriod::year(year).from;
    const int month = m.captured(2).toInt();
    if (month < 1 || month > 12)
        return std::nullopt;
    if (m.captured(3).isEmpty())
        return last ? StatsPeriod::month(year, month).to : StatsPeriod::month(year, month).from;
    const QDate d(year, month, m.captured(3).toInt());
    return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
}

QJsonValue number(const std::optional<double> &v)
{
    return v ? QJsonValue(*v) : QJsonValue();
}

QJsonValue dateJson(const QDate &d)
{
    return d.isValid() ? QJsonValue(d.toString(Qt::ISODate)) : QJsonValue();
}

QJsonObject runJson(const Run &r)
{
    return {{"nights", r.nights}, {"from", dateJson(r.first)}, {"to", dateJson(r.last)}};
}

QJsonArray recurrenceJson(const QList<Recurrence> &list)
{
    QJsonArray a;
    for (const Recurrence &r : list)
        a.append(QJsonObject{{"name", r.name}, {"count", r.count}, {"ids", QJsonArray::fromStringList(r.dreams)}});
    return a;
}

QJsonArray rowsJson(const QList<FulfilmentRow> &rows, bool weekdays)
{
    QJsonArray a;
    for (const FulfilmentRow &r : rows) {
        QJsonObject o{{"day", r.key},         {"marked", r.marked},
                      {"yes", r.yes},         {"partly", r.partly},
                      {"no", r.no},           {"percent", number(r.percent)},
                      {"tooFew", r.tooFew()}, {"calendar", r.calendarText}};
        if (weekdays)
            o.insert("name", weekdayName(r.key));
        a.append(o);
    }
    return a;
}

QJsonArray signsJson(const QList<Recurrence> &signs)
{
    QJsonArray a;
    for (const Recurrence &r : signs)
        a.append(QJsonObject{{"headword", r.name}, {"dreams", r.count}, {"ids", QJsonArray::fromStringList(r.dreams)}});
    return a;
}

QJsonObject statsJson(const DiaryStats &s, const QList<Recurrence> &signs)
{
    QJsonArray months;
    for (const MonthStats &m : s.months)
        months.append(QJsonObject{{"month", QStringLiteral("%1-%2").arg(m.year).arg(m.month, 2, 10, QLatin1Char('0'))},
                                  {"dreams", m.dreams},
                                  {"lucid", m.lucid},
                                  {"nightmares", m.nightmares},
                                  {"lucidShare", number(m.lucidShare)},
                                  {"nightmareShare", number(m.nightmareShare)},
                                  {"mood", number(m.moodAverage)}});
    const FulfilmentTables &f = s.fulfilment;
    return {{"from", dateJson(s.period.from)},
            {"to", dateJson(s.period.to)},
            {"entries", s.entries},
            {"nights", s.nights},
            {"dreamNights", s.dreamNights},
            {"dreams", s.dreams},
            {"recall", number(s.recall)},
            {"dreamsPerNight", number(s.dreamsPerNight)},
            {"longestRun", runJson(s.longestRun)},
            {"currentRun", runJson(s.currentRun)},
            {"lucid", s.lucid},
            {"nightmares", s.nightmares},
            {"lucidShare", number(s.lucidShare)},
            {"nightmareShare", number(s.nightmareShare)},
            {"mood", number(s.moodAverage)},
            {"months", months},
            {"symbols", recurrenceJson(s.symbols)},
            {"tags", recurrenceJson(s.tags)},
            {"people", recurrenceJson(s.people)},
            {"places", recurrenceJson(s.places)},
            {"signs", signsJson(signs)},
            {"fulfilment", QJsonObject{{"marked", f.marked},
                                       {"markedWithoutLunarDay", f.markedWithoutLunarDay},
                                       {"byLunarDay", rowsJson(f.byLunarDay, false)},
                                       {"byWeekday", rowsJson(f.byWeekday, true)},
                                       {"byMonthDay", rowsJson(f.byMonthDay, false)}}}};
}

QString shareText(const std::optional<double> &share)
{
    return share ? percentText(*share * 100.0) : QStringLiteral("—");
}

QString moodText(const std::optional<double> &mood)
{
    if (!mood)
        return QStringLiteral("—");
    const QString n = dates::number(*mood, 2);
    return *mood > 0 ? QLatin1Char('+') + n : n;
}

QString topText(const QString &title, const QList<Recurrence> &list)
{
    QStringList items;
    for (const Recurrence &r : list.mid(0, kTopInText))
        items << QStringLiteral("%1 (%2)").arg(r.name).arg(r.count);
    return title + QStringLiteral(": ") + (items.isEmpty() ? QStringLiteral("нет") : items.join(QStringLiteral(", ")))
           + QLatin1Char('\n');
}

QString tableText(const QString &title, const QList<FulfilmentRow> &rows, bool weekdays)
{
    QString t = title + QLatin1Char('\n');
    for (const FulfilmentRow &r : rows) {
        if (r.marked == 0)
            continue;
        const QString key = weekdays ? weekdayName(r.key) : QString::number(r.key);
        const QString pct = r.percent ? percentText(*r.percent) : QStringLiteral("мало отметок");
        t += QStringLiteral("  %1: отмечено %2, сбылось %3, частично %4, не сбылось %5 - %6. Календарь: %7\n")
                 .arg(key)
                 .arg(r.marked)
                 .arg(r.yes)
                 .arg(r.partly)
                 .arg(r.no)
                 .arg(pct, r.calendarText.trimmed());
    }
    return t;
}

QString statsText(const DiaryStats &s)
{
    QString t = QStringLiteral("Статистика дневника: %1\n").arg(periodText(s.period));
    if (s.entries == 0)
        return t + QStringLiteral("За этот период записей нет.\n");
    const QLocale &ru = dates::russian();
    t += QStringLiteral("Ночей с записями: %1 (с ночи на %2 по ночь на %3), из них со снами: %4; запоминаемость: %5\n")
             .arg(s.nights)
             .arg(dateText(s.firstNight.addDays(1)), dateText(s.lastNight.addDays(1)))
             .arg(s.dreamNights)
             .arg(shareText(s.recall));
    t += QStringLiteral("Записей: %1, снов: %2, снов за ночь: %3\n")
             .arg(s.entries)
             .arg(s.dreams)
             .arg(s.dreamsPerNight ? ru.toString(*s.dreamsPerNight, 'f', 2) : QStringLiteral("—"));
    t += QStringLiteral("Самая длинная серия ночей со снами: %1\n").arg(runText(s.longestRun));
    t += QStringLiteral("Текущая серия: %1\n").arg(runText(s.currentRun));
    t += QStringLiteral("Осознанных снов: %1, кошмаров: %2, среднее настроение: %3\n")
             .arg(shareText(s.lucidShare), shareText(s.nightmareShare), moodText(s.moodAverage));
    // the months with dreams: over a long period most months have none
    t += QStringLiteral("По месяцам (со снами):\n");
    for (const MonthStats &m : s.months)
        if (m.dreams > 0)
            t += QStringLiteral("  %1: снов %2, осознанных %3, кошмаров %4, настроение %5\n")
                     .arg(monthText(m.year, m.month))
                     .arg(m.dreams)
                     .arg(shareText(m.lucidShare), shareText(m.nightmareShare), moodText(m.moodAverage));
    t += topText(QStringLiteral("Чаще всего снится"), s.symbols);
    t += topText(QStringLiteral("Метки"), s.tags);
    t += topText(QStringLiteral("Люди"), s.people);
    t += topText(QStringLiteral("Места"), s.places);
    const FulfilmentTables &f = s.fulfilment;
    static_assert(kMinMarked == 3, "the text below says \"трёх\"");
    t += QStringLiteral("Отмечено, сбылся ли сон: %1. Процент: (сбылось + частично / 2) / отмечено; "
                        "при отметках меньше трёх - \"мало отметок\".\n")
             .arg(f.marked);
    if (f.marked == 0)
        return t;
    t += tableText(QStringLiteral("По лунным дням:"), f.byLunarDay, false);
    if (f.markedWithoutLunarDay > 0)
        t += QStringLiteral("  без лунного дня (место не задано): %1\n").arg(f.markedWithoutLunarDay);
    t += tableText(QStringLiteral("По дням недели:"), f.byWeekday, true);
    t += tableText(QStringLiteral("По числам месяца:"), f.byMonthDay, false);
    return t;
}

} // namespace

int diaryStats(const QStringList &args)
{
    StatsPeriod period;
    bool json = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--json")) {
            json = true;
            continue;
        }
        if (a != QLatin1String("--from") && a != QLatin1String("--to"))
            return usageError(QStringLiteral("Неизвестный параметр: %1").arg(a));
        if (i + 1 >= args.size())
            return usageError(QStringLiteral("Не указано значение после %1.").arg(a));
        const bool to = a == QLatin1String("--to");
        const std::optional<QDate> night = parseNight(args[++i], to);
        if (!night)
            return usageError(QStringLiteral("Неверная дата: %1").arg(args[i]));
        (to ? period.to : period.from) = *night;
    }
    if (period.from.isValid() && period.to.isValid() && period.from > period.to)
        return usageError(QStringLiteral("Начало периода (%1) позже его конца (%2).")
                              .arg(dateText(period.from), dateText(period.to)));
    try {
        const auto opened = openDiary();
        const DiaryStore &store = *opened;
        const QList<Entry> entries = readAllEntries(store);
        const QDateTime now = momentNow();
        const DiaryStats s = computeStats(entries, period, now);
        const QList<Recurrence> signs = dreamSigns(entries, now);
        if (json)
            out(QString::fromUtf8(QJsonDocument(statsJson(s, signs)).toJson(QJsonDocument::Indented)));
        else
            out(statsText(s) + topText(QStringLiteral("Ваши знаки сна (в 3 снах и больше за 90 дней)"), signs));
    } catch (...) {
        return diaryFailure(std::current_exception(), kFailed);
    }
    return kOk;
}

} // namespace somnex::cli
