// The diary as a "book of dreams": one HTML page, the nights as headings.
#include "diary/Exchange.h"
#include "diary/exchange/ExchangeSupport.h"
#include "platform/core/RussianDates.h"

namespace somnex::diary {

namespace {

using exchange::kindNames;
using exchange::withoutNul;

QString russianDate(const QDate &d)
{
    return dates::format(d, QStringLiteral("d MMMM yyyy 'г.'"));
}

// The night as the diary names it everywhere: "Ночь на 8 декабря 2026".
QString nightHeading(const QDate &night)
{
    return dates::nightCaption(night);
}

QString html(const QString &s)
{
    return withoutNul(s).toHtmlEscaped();
}

QString dreamHtml(const Entry &e)
{
    QString h = QStringLiteral("<article>\n<h3>") + html(e.displayTitle()) + QStringLiteral("</h3>\n");
    QStringList meta;
    meta << e.at.toString(QStringLiteral("HH:mm"));
    if (e.lunar.found)
        meta << QStringLiteral("лунный день %1").arg(e.lunar.lunarDay);
    if (e.lucid)
        meta << QStringLiteral("осознанный");
    meta << kindNames(e);
    if (e.fulfilment.mark != Mark::None)
        meta << markName(e.fulfilment.mark);
    h += QStringLiteral("<p class=\"meta\">") + html(meta.join(QStringLiteral(" · "))) + QStringLiteral("</p>\n");
    for (const QString &para : e.text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!para.trimmed().isEmpty())
            h += QStringLiteral("<p>") + html(para) + QStringLiteral("</p>\n");
    if (!e.symbolHeadwords().isEmpty())
        h += QStringLiteral("<p class=\"symbols\">Символы: ") + html(e.symbolHeadwords().join(QStringLiteral(", ")))
             + QStringLiteral("</p>\n");
    if (e.lunar.found && !e.lunar.lunarDayText.isEmpty())
        h += QStringLiteral("<p class=\"lunar\">") + html(e.lunar.lunarDayText) + QStringLiteral("</p>\n");
    return h + QStringLiteral("</article>\n");
}

} // namespace

QByteArray diaryHtml(const QList<Entry> &entries, const QDate &from, const QDate &to)
{
    QString title = QStringLiteral("Книга снов");
    if (from.isValid() && to.isValid())
        title += QStringLiteral(": ночи с %1 по %2").arg(russianDate(from), russianDate(to));
    else if (from.isValid())
        title += QStringLiteral(": ночи с %1").arg(russianDate(from));
    else if (to.isValid())
        title += QStringLiteral(": ночи по %1").arg(russianDate(to));
    QString h = QStringLiteral("<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n<title>")
                + html(title)
                + QStringLiteral("</title>\n<style>\nbody { max-width: 42em; margin: 2em auto; font-family: serif; "
                                 "line-height: 1.5; }\n.meta, .symbols, .lunar { color: #555; font-size: 0.9em; }\n"
                                 "article { margin-bottom: 1.5em; }\n</style>\n</head>\n<body>\n<h1>")
                + html(title) + QStringLiteral("</h1>\n");
    if (entries.isEmpty())
        h += QStringLiteral("<p>За этот период снов нет.</p>\n");
    QDate night;
    for (const Entry &e : entries) {
        if (e.night != night) {
            night = e.night;
            h += QStringLiteral("<h2>") + html(nightHeading(night)) + QStringLiteral("</h2>\n");
        }
        h += dreamHtml(e);
    }
    h += QStringLiteral("</body>\n</html>\n");
    return h.toUtf8();
}

} // namespace somnex::diary
