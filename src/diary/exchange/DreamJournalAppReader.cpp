// dream-journal-app's JSON export: {"entries": [...]}, one entry a night
// (its date, bedtime, notes before sleep and after waking, star) holding
// that night's dreams (title, notes, dream signs, lucid flag and method).
#include "diary/Importers.h"
#include "diary/exchange/ForeignReaders.h"
#include "diary/exchange/ImportSupport.h"

#include <QJsonValue>

namespace somnex::diary {

namespace exchange {

namespace {

ImportedJournal dreamJournalAppFromJson(const QJsonObject &root, const QString &file)
{
    const QJsonArray entries = array(root, QStringLiteral("entries"), Where{file, {}}, true);
    ImportedJournal j = journal("dream-journal-app", file);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Where where = Where::entry(file, i);
        const QJsonObject o = object(entries[i], where);
        const QString date = str(o, QStringLiteral("entryDate"), where, true);
        const QDateTime at = localMoment(QDate::fromString(date.trimmed(), Qt::ISODate), QTime(0, 0), date, where);
        Extras night;
        night.add(QStringLiteral("Время отхода ко сну"), str(o, QStringLiteral("bedTime"), where));
        night.add(QStringLiteral("Заметки перед сном"), str(o, QStringLiteral("notesPrep"), where));
        night.add(QStringLiteral("Заметки после пробуждения"), str(o, QStringLiteral("notesWake"), where));
        if (flag(o, QStringLiteral("starred"), where))
            night.addLine(QStringLiteral("Отмечено звёздочкой."));
        const QJsonArray dreams = array(o, QStringLiteral("dreams"), where, false);
        if (dreams.isEmpty() && !night.lines().isEmpty()) {
            // A night written down without a dream still has its notes.
            Entry e;
            e.at = at;
            finish(e, night, where);
            j.entries << e;
        }
        for (qsizetype d = 0; d < dreams.size(); ++d) {
            const Where dreamWhere{file, QStringLiteral("запись %1, сон %2").arg(i + 1).arg(d + 1)};
            const QJsonObject dream = object(dreams[d], dreamWhere);
            Entry e;
            e.at = at;
            e.title = str(dream, QStringLiteral("title"), dreamWhere).trimmed();
            e.text = str(dream, QStringLiteral("notes"), dreamWhere);
            e.lucid = flag(dream, QStringLiteral("isLucidDream"), dreamWhere);
            Extras extras;
            extras.add(QStringLiteral("Знаки сна"), words(dream, QStringLiteral("dreamSigns"), dreamWhere));
            const QJsonValue method = dream.value(QStringLiteral("lucidMethod"));
            if (method.isString())
                extras.add(QStringLiteral("Способ осознания"), method.toString());
            else if (method.isDouble())
                extras.add(QStringLiteral("Способ осознания"), QString::number(method.toDouble()));
            for (const QString &line : night.lines())
                extras.addLine(line);
            finish(e, extras, dreamWhere);
            j.entries << e;
        }
    }
    return j;
}

} // namespace

FormatMatch sniffDreamJournalApp(const JournalProbe &probe)
{
    const std::optional<QJsonObject> first = firstEntry(probe);
    return first && (first->contains(QStringLiteral("entryDate")) || first->contains(QStringLiteral("dreams")))
               ? FormatMatch::Certain
               : FormatMatch::No;
}

ImportedJournal readDreamJournalApp(const JournalProbe &probe)
{
    return dreamJournalAppFromJson(jsonOf(probe), probe.path());
}

} // namespace exchange

ImportedJournal parseDreamJournalApp(const QByteArray &bytes, const QString &fileName)
{
    return exchange::dreamJournalAppFromJson(exchange::jsonRoot(bytes, fileName), fileName);
}

} // namespace somnex::diary
