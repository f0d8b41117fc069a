// jrnl's JSON export: {"tags": {...}, "entries": [...]}, each entry with its
// date, time, title, body, tags and star; the @words of the title and the
// body are its tags too.
#include "diary/Importers.h"
#include "diary/exchange/ForeignReaders.h"
#include "diary/exchange/ImportSupport.h"

#include <QRegularExpression>

namespace somnex::diary {

namespace exchange {

namespace {

// The @words of a text, without the "@".
QStringList atWords(const QString &text)
{
    static const QRegularExpression kAtWord(QStringLiteral(R"((?<![\w@])@(\w[\w\-]*))"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    QStringList found;
    for (auto it = kAtWord.globalMatch(text); it.hasNext();)
        found << it.next().captured(1);
    return found;
}

ImportedJournal jrnlFromJson(const QJsonObject &root, const QString &file)
{
    const QJsonArray entries = array(root, QStringLiteral("entries"), Where{file, {}}, true);
    ImportedJournal j = journal("jrnl", file);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Where where = Where::entry(file, i);
        const QJsonObject o = object(entries[i], where);
        Entry e;
        const QString date = str(o, QStringLiteral("date"), where, true);
        const QString time = str(o, QStringLiteral("time"), where);
        const QTime clock = clockTime(time);
        if (!time.trimmed().isEmpty() && !clock.isValid())
            throw where.error(QStringLiteral("неверное время «%1»").arg(shown(time)));
        e.at = localMoment(QDate::fromString(date.trimmed(), Qt::ISODate), clock, date, where);
        e.title = str(o, QStringLiteral("title"), where).trimmed();
        e.text = str(o, QStringLiteral("body"), where);
        QStringList tags = words(o, QStringLiteral("tags"), where);
        for (QString &t : tags)
            if (t.startsWith(QLatin1Char('@')))
                t.remove(0, 1);
        addTags(e, tags, TagKind::Plain);
        addTags(e, atWords(e.title + QLatin1Char('\n') + e.text), TagKind::Plain);
        Extras extras;
        if (flag(o, QStringLiteral("starred"), where))
            extras.addLine(QStringLiteral("Отмечено звёздочкой."));
        finish(e, extras, where);
        j.entries << e;
    }
    return j;
}

} // namespace

FormatMatch sniffJrnl(const JournalProbe &probe)
{
    const std::optional<QJsonObject> first = firstEntry(probe);
    if (!first)
        return FormatMatch::No;
    if (first->contains(QStringLiteral("body")) || first->contains(QStringLiteral("date")))
        return FormatMatch::Certain;
    // An export without entries still has its list of tags.
    return probe.json()->value(QStringLiteral("tags")).isObject() ? FormatMatch::Likely : FormatMatch::No;
}

ImportedJournal readJrnl(const JournalProbe &probe)
{
    return jrnlFromJson(jsonOf(probe), probe.path());
}

} // namespace exchange

ImportedJournal parseJrnl(const QByteArray &bytes, const QString &fileName)
{
    return exchange::jrnlFromJson(exchange::jsonRoot(bytes, fileName), fileName);
}

} // namespace somnex::diary
