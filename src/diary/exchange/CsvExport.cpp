// The diary as a CSV table for a spreadsheet: a header and one row a dream.
#include "diary/Exchange.h"
#include "diary/exchange/ExchangeSupport.h"

#include <QRegularExpression>

namespace somnex::diary {

namespace {

using exchange::kindNames;
using exchange::tagTexts;
using exchange::utcText;
using exchange::withoutNul;

// A spreadsheet opening the table takes a cell beginning with =, +, - or @
// (or a tab or carriage return before one) for a formula and runs it: text
// imported from another journal could call out to the network or another
// program. Such a cell gets an apostrophe first, which spreadsheets show as
// a text cell; a plain number ("-2") stays a number.
QString spreadsheetSafe(QString cell)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+([.][0-9]+)?$"));
    if (!cell.isEmpty() && QStringLiteral("=+-@\t\r").contains(cell.front()) && !number.match(cell).hasMatch())
        cell.prepend(QLatin1Char('\''));
    return cell;
}

QString csvField(const QString &s)
{
    QString clean = spreadsheetSafe(withoutNul(s));
    if (!clean.contains(QLatin1Char('"')) && !clean.contains(QLatin1Char(',')) && !clean.contains(QLatin1Char('\n'))
        && !clean.contains(QLatin1Char('\r')))
        return clean;
    QString quoted = clean;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QByteArray diaryCsv(const QList<Entry> &entries)
{
    const QStringList header = {
        QStringLiteral("Номер"),        QStringLiteral("Ночь"),     QStringLiteral("Время"),
        QStringLiteral("Часовой пояс"), QStringLiteral("Название"), QStringLiteral("Текст"),
        QStringLiteral("Осознанный"),   QStringLiteral("Ясность"),  QStringLiteral("Настроение"),
        QStringLiteral("Вид"),          QStringLiteral("Метки"),    QStringLiteral("Символы"),
        QStringLiteral("Место"),        QStringLiteral("Широта"),   QStringLiteral("Долгота"),
        QStringLiteral("Лунный день"),  QStringLiteral("Отметка"),  QStringLiteral("Дата отметки"),
        QStringLiteral("Заметка"),      QStringLiteral("Создан"),   QStringLiteral("Изменён")};
    QString csv = header.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (const Entry &e : entries) {
        const QStringList row = {e.id,
                                 e.night.addDays(1).toString(Qt::ISODate), // the night by its morning
                                 isoWithOffset(e.at),
                                 e.zone,
                                 e.title,
                                 e.text,
                                 e.lucid ? QStringLiteral("да") : QStringLiteral("нет"),
                                 e.clarity ? QString::number(*e.clarity) : QString(),
                                 e.mood ? QString::number(*e.mood) : QString(),
                                 kindNames(e).join(QStringLiteral("; ")),
                                 tagTexts(e).join(QStringLiteral("; ")),
                                 e.symbolHeadwords().join(QStringLiteral("; ")),
                                 e.place ? e.place->name : QString(),
                                 e.place ? QString::number(e.place->latitude, 'f', 4) : QString(),
                                 e.place ? QString::number(e.place->longitude, 'f', 4) : QString(),
                                 e.lunar.found ? QString::number(e.lunar.lunarDay) : QString(),
                                 markName(e.fulfilment.mark),
                                 e.fulfilment.markedOn.toString(Qt::ISODate),
                                 e.fulfilment.note,
                                 utcText(e.created),
                                 utcText(e.updated)};
        QStringList fields;
        for (const QString &f : row)
            fields << csvField(f);
        csv += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + csv.toUtf8();
}

} // namespace somnex::diary
