// Webdreamjournal's JSON export: {"data": {"dreams": [...]}}, each dream with
// its id, title, content, timestamp (ISO 8601 or milliseconds), lucid flag,
// tags, dream signs and emotions.
#include "diary/Importers.h"
#include "diary/LunarSnapshot.h"
#include "diary/exchange/ForeignReaders.h"
#include "diary/exchange/ImportSupport.h"

#include <QJsonValue>

#include <cmath>

namespace somnex::diary {

namespace exchange {

namespace {

QDateTime webMoment(const QJsonObject &o, const Where &where)
{
    const QJsonValue v = o.value(QStringLiteral("timestamp"));
    if (v.isString())
        return isoMoment(v.toString(), where);
    if (v.isDouble()) { // milliseconds since 1970 UTC
        const double ms = v.toDouble();
        const QString raw = QString::number(ms, 'f', 0);
        if (!(std::abs(ms) < 4e14))
            throw where.error(QStringLiteral("дата «%1» вне допустимых пределов (годы %2–%3)")
                                  .arg(shown(raw))
                                  .arg(kFirstYear)
                                  .arg(kLastYear));
        return inRange(instantIn(QDateTime::fromMSecsSinceEpoch(qint64(ms), Qt::UTC), {}), raw, where);
    }
    if (v.isUndefined() || v.isNull())
        throw where.error(QStringLiteral("нет поля «timestamp»"));
    throw where.error(QStringLiteral("поле «timestamp» должно быть строкой или числом"));
}

ImportedJournal webDreamJournalFromJson(const QJsonObject &root, const QString &file)
{
    const Where top{file, {}};
    if (!root.contains(QStringLiteral("data")))
        throw top.error(QStringLiteral("нет поля «data»"));
    const QJsonObject data = object(root.value(QStringLiteral("data")), Where{file, QStringLiteral("поле «data»")});
    const QJsonArray dreams = array(data, QStringLiteral("dreams"), top, true);
    ImportedJournal j = journal("webdreamjournal", file);
    QStringList ids;
    for (qsizetype i = 0; i < dreams.size(); ++i) {
        const Where where = Where::entry(file, i);
        const QJsonObject o = object(dreams[i], where);
        Entry e;
        ids << ownId(o, QStringLiteral("id"), where);
        e.id = stableId("webdreamjournal", ids.last());
        e.title = str(o, QStringLiteral("title"), where);
        e.text = str(o, QStringLiteral("content"), where, true);
        e.at = webMoment(o, where);
        e.lucid = flag(o, QStringLiteral("isLucid"), where);
        addTags(e, words(o, QStringLiteral("tags"), where), TagKind::Plain);
        Extras extras;
        extras.add(QStringLiteral("Знаки сна"), words(o, QStringLiteral("dreamSigns"), where));
        extras.add(QStringLiteral("Эмоции"), words(o, QStringLiteral("emotions"), where));
        finish(e, extras, where);
        j.entries << e;
    }
    checkIdsUnique(j.entries, ids, file);
    return j;
}

} // namespace

FormatMatch sniffWebDreamJournal(const JournalProbe &probe)
{
    const QJsonObject *root = probe.json();
    if (!root)
        return FormatMatch::No;
    const QJsonValue data = root->value(QStringLiteral("data"));
    return data.isObject() && data.toObject().contains(QStringLiteral("dreams")) ? FormatMatch::Certain
                                                                                 : FormatMatch::No;
}

ImportedJournal readWebDreamJournal(const JournalProbe &probe)
{
    return webDreamJournalFromJson(jsonOf(probe), probe.path());
}

} // namespace exchange

ImportedJournal parseWebDreamJournal(const QByteArray &bytes, const QString &fileName)
{
    return exchange::webDreamJournalFromJson(exchange::jsonRoot(bytes, fileName), fileName);
}

} // namespace somnex::diary
