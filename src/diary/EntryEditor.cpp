#include "diary/EntryEditor.h"

#include "platform/core/Clock.h"
#include "platform/error/Error.h"

#include <QSet>

#include <algorithm>

namespace somnex::diary {

EntrySummary summaryOf(const Entry &e)
{
    EntrySummary s;
    s.id = e.id;
    s.at = e.at;
    s.night = e.night;
    s.displayTitle = e.displayTitle();
    s.lunarDay = e.lunar.found ? e.lunar.lunarDay : 0;
    s.lucid = e.lucid;
    s.kinds = e.kinds;
    s.mark = e.fulfilment.mark;
    return s;
}

EntryEditor::EntryEditor(QObject *parent) : QObject(parent)
{
    clock_.start();
    autosave_.setSingleShot(true);
    connect(&autosave_, &QTimer::timeout, this, [this] { save(); });
}

void EntryEditor::setStore(DiaryStore *store)
{
    disconnect(listening_);
    store_ = store;
    all_.reset();
    if (!store)
        return;
    listening_ = connect(store, &DiaryStore::changed, this, [this](DiaryStore::Change change, const QStringList &ids) {
        // the dream shown, saved again: its row follows without a new reading
        if (change == DiaryStore::Change::Updated && ids == QStringList{entry_.id})
            return;
        all_.reset();
        emit listStale();
    });
}

void EntryEditor::load(const Entry &e)
{
    entry_ = e;
    dirty_ = false;
    autosave_.stop();
}

void EntryEditor::changed()
{
    dirty_ = true;
    const qint64 now = clock_.elapsed();
    autosave_.start(int(std::max<qint64>(0, policy_.changed(now) - now)));
}

bool EntryEditor::save()
{
    autosave_.stop();
    if (!dirty_ || !store_ || !shown_)
        return true;
    Entry e = shown_();
    // a dream not yet stored waits for its first word
    if (e.id.isEmpty() && e.text.trimmed().isEmpty() && e.title.trimmed().isEmpty())
        return true;
    try {
        const bool added = e.id.isEmpty();
        if (added)
            e.id = store_->add(e);
        else
            store_->update(e);
        if (const std::optional<Entry> stored = store_->entry(e.id))
            entry_ = *stored;
        dirty_ = false;
        policy_.saved();
        failureShown_ = false;
        if (!added)
            updateListed(summaryOf(entry_));
        emit saved(added);
        // the first change of the day copies the diary; a failed copy is said once
        if (const QString why = backup_.afterSave(*store_, Clock::current().today()); !why.isEmpty())
            emit backupFailed(why);
        return true;
    } catch (const Error &err) {
        const bool first = !failureShown_;
        failureShown_ = true;
        const qint64 now = clock_.elapsed();
        autosave_.start(int(policy_.failed(now) - now));
        emit saveFailed(err.description(), first);
        return false;
    }
}

QString EntryEditor::moveToTrash()
{
    if (!store_ || entry_.id.isEmpty())
        return {};
    store_->moveToTrash(entry_.id);
    trashed_ = entry_.id;
    dirty_ = false;
    return entry_.displayTitle();
}

QString EntryEditor::undoTrash()
{
    if (!store_ || trashed_.isEmpty())
        return {};
    QString id = trashed_;
    store_->restore(id);
    trashed_.clear();
    return id;
}

void EntryEditor::restoreShown()
{
    if (store_ && entry_.deletedAt.isValid())
        store_->restore(entry_.id);
}

void EntryEditor::purgeShown()
{
    if (!store_ || !entry_.deletedAt.isValid())
        return;
    store_->purge(entry_.id);
    if (trashed_ == entry_.id)
        trashed_.clear();
}

int EntryEditor::emptyTrash()
{
    if (!store_)
        return 0;
    const int purged = store_->purgeTrash(Clock::current().nowUtc().addSecs(1));
    trashed_.clear();
    return purged;
}

QList<EntrySummary> EntryEditor::listed(const ListQuery &query)
{
    if (!store_)
        return {};
    const Filter &f = query.filter;
    if (query.trash) {
        QList<EntrySummary> all = store_->trash();
        const QString words = f.text.trimmed();
        if (!words.isEmpty())
            all.removeIf([&](const EntrySummary &e) { return !e.displayTitle.contains(words, Qt::CaseInsensitive); });
        return all;
    }
    const bool everything = f.text.trimmed().isEmpty() && !f.lucid && f.kinds.isEmpty() && !f.mark && f.tags.isEmpty()
                            && !f.nightFrom.isValid() && !f.nightTo.isValid() && f.symbol.trimmed().isEmpty();
    if (!all_)
        all_ = store_->list();
    QList<EntrySummary> all = *all_;
    if (!everything) {
        const QStringList ids = store_->search(f);
        const QSet<QString> wanted(ids.begin(), ids.end());
        all.removeIf([&](const EntrySummary &e) { return !wanted.contains(e.id); });
    }
    return all;
}

void EntryEditor::updateListed(const EntrySummary &e)
{
    if (all_)
        for (EntrySummary &s : *all_)
            if (s.id == e.id)
                s = e;
}

} // namespace somnex::diary
