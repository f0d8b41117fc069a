// Day One's JSON export: {"metadata": {...}, "entries": [...]}, each entry
// with its uuid, creation date, time zone, text, tags and star.
#include "diary/Importers.h"
#include "diary/exchange/ForeignReaders.h"
#include "diary/exchange/ImportSupport.h"

namespace somnex::diary {

namespace exchange {

namespace {

ImportedJournal dayOneFromJson(const QJsonObject &root, const QString &file)
{
    const QJsonArray entries = array(root, QStringLiteral("entries"), Where{file, {}}, true);
    ImportedJournal j = journal("dayone", file);
    QStringList ids;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Where where = Where::entry(file, i);
        const QJsonObject o = object(entries[i], where);
        Entry e;
        ids << ownId(o, QStringLiteral("uuid"), where);
        e.id = stableId("dayone", ids.last());
        Extras extras;
        const QString zoneName = str(o, QStringLiteral("timeZone"), where).trimmed();
        QTimeZone zone;
        if (!zoneName.isEmpty()) {
            zone = QTimeZone(zoneName.toUtf8());
            if (zone.isValid())
                e.zone = QString::fromUtf8(zone.id());
            else
                extras.add(QStringLiteral("Часовой пояс"), zoneName);
        }
        e.at = isoMoment(str(o, QStringLiteral("creationDate"), where, true), where, zone);
        e.text = str(o, QStringLiteral("text"), where);
        addTags(e, words(o, QStringLiteral("tags"), where), TagKind::Plain);
        if (flag(o, QStringLiteral("starred"), where))
            extras.addLine(QStringLiteral("Отмечено звёздочкой."));
        finish(e, extras, where);
        j.entries << e;
    }
    checkIdsUnique(j.entries, ids, file);
    return j;
}

} // namespace

FormatMatch sniffDayOne(const JournalProbe &probe)
{
    const std::optional<QJsonObject> first = firstEntry(probe);
    if (!first)
        return FormatMatch::No;
    if (first->contains(QStringLiteral("uuid")) || first->contains(QStringLiteral("creationDate")))
        return FormatMatch::Certain;
    // An export without entries still has its metadata.
    return probe.json()->contains(QStringLiteral("metadata")) ? FormatMatch::Likely : FormatMatch::No;
}

ImportedJournal readDayOne(const JournalProbe &probe)
{
    return dayOneFromJson(jsonOf(probe), probe.path());
}

} // namespace exchange

ImportedJournal parseDayOne(const QByteArray &bytes, const QString &fileName)
{
    return exchange::dayOneFromJson(exchange::jsonRoot(bytes, fileName), fileName);
}

} // namespace somnex::diary
