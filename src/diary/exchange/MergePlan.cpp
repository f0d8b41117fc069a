#include "diary/exchange/MergePlan.h"

#include "diary/Exchange.h"
#include "diary/exchange/ExchangeSupport.h"

#include <QCryptographicHash>
#include <QHash>
#include <QSet>
#include <QUuid>

#include <utility>

namespace somnex::diary {

namespace {

// What tells a dream without an id: its moment and its text.
QByteArray momentKey(const Entry &e)
{
    QCryptographicHash h(QCryptographicHash::Sha1);
    const qint64 secs = e.at.toSecsSinceEpoch();
    h.addData(QByteArrayView(reinterpret_cast<const char *>(&secs), sizeof secs));
    h.addData(QByteArrayView(reinterpret_cast<const char *>(e.text.constData()), e.text.size() * 2));
    return h.result();
}

QString entriesWord(qsizetype n)
{
    const qsizetype tens = n % 100;
    const qsizetype ones = n % 10;
    if (tens >= 11 && tens <= 14)
        return QStringLiteral("записей");
    if (ones == 1)
        return QStringLiteral("запись");
    if (ones >= 2 && ones <= 4)
        return QStringLiteral("записи");
    return QStringLiteral("записей");
}

} // namespace

QString MergePlan::preview() const
{
    return QStringLiteral("Будет добавлено %1 %2, обновлено %3, уже есть %4")
        .arg(toAdd.size())
        .arg(entriesWord(toAdd.size()))
        .arg(toUpdate.size())
        .arg(unchanged);
}

QString MergePlan::done() const
{
    return QStringLiteral("Добавлено %1 %2, обновлено %3, уже есть %4")
        .arg(toAdd.size())
        .arg(entriesWord(toAdd.size()))
        .arg(toUpdate.size())
        .arg(unchanged);
}

MergePlan planMerge(const DiaryStore &store, const ImportedJournal &journal)
{
    const QList<Entry> stored = store.allEntries();
    QHash<QString, QDateTime> updatedById;
    QSet<QByteArray> moments;
    for (const Entry &e : stored) {
        updatedById.insert(e.id, e.updated);
        moments.insert(momentKey(e));
    }
    MergePlan plan;
    // Each id once in the plan: where it is and whether it adds.
    QHash<QString, std::pair<bool, qsizetype>> planned;
    for (qsizetype i = 0; i < journal.entries.size(); ++i) {
        Entry e = journal.entries[i];
        try {
            DiaryStore::checkEntry(e);
        } catch (const Error &error) {
            throw exchange::exchangeError(kErrorJournalBad,
                                          QStringLiteral("Файл «%1», запись %2: %3 Ничего не импортировано.")
                                              .arg(journal.source)
                                              .arg(i + 1)
                                              .arg(error.description()));
        }
        if (e.id.isEmpty()) {
            const QByteArray key = momentKey(e);
            if (moments.contains(key)) {
                ++plan.unchanged;
                continue;
            }
            moments.insert(key);
            e.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        }
        if (const auto it = planned.constFind(e.id); it != planned.cend()) {
            // The same entry twice in one journal: the later version counts.
            Entry &earlier = it->first ? plan.toAdd[it->second] : plan.toUpdate[it->second];
            if (e.updated > earlier.updated)
                earlier = std::move(e);
            ++plan.unchanged;
            continue;
        }
        if (const auto it = updatedById.constFind(e.id); it != updatedById.cend()) {
            if (e.updated.isValid() && e.updated > *it) {
                planned.insert(e.id, {false, plan.toUpdate.size()});
                plan.toUpdate << std::move(e);
            } else {
                ++plan.unchanged;
            }
            continue;
        }
        moments.insert(momentKey(e));
        planned.insert(e.id, {true, plan.toAdd.size()});
        plan.toAdd << std::move(e);
    }
    return plan;
}

int applyMerge(DiaryStore &store, const MergePlan &plan)
{
    QList<Entry> all = plan.toAdd;
    all << plan.toUpdate;
    return store.putAll(std::move(all));
}

} // namespace somnex::diary
