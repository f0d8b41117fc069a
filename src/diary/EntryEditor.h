#pragma once
// The editing of the diary below its window: the dream being written and
// whether it changed, when it goes to disk (SavePolicy), the trash and its
// undo, and the list as the filters choose it. The window shows what this
// holds and hands it what the user does; tests drive it without a widget.
//
// A write that fails keeps the dream as it is (nothing is lost) and is tried
// again later; saveFailed says so, the first time of a run of failures with
// firstTime set, so that a window asks the user once.

#include "diary/Backup.h"
#include "diary/DiaryStore.h"
#include "diary/Entry.h"
#include "diary/SavePolicy.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <optional>

namespace somnex::diary {

// What the list shows: the dreams the filter finds, or the trash (the
// filter's text then looks in the titles alone).
struct ListQuery {
    Filter filter;
    bool trash = false;
};

class EntryEditor : public QObject {
    Q_OBJECT
public:
    explicit EntryEditor(QObject *parent = nullptr);

    // The diary written to; none (null) writes nothing. The editor listens
    // to it: the list is read again after any write.
    void setStore(DiaryStore *store);
    DiaryStore *store() const { return store_; }
    // What the window shows now, read when a save is due.
    void setShown(std::function<Entry()> shown) { shown_ = std::move(shown); }

    // The dream as last loaded or saved.
    const Entry &entry() const { return entry_; }
    // The same, for the window to follow what it shows that is not read
    // from a control (symbols edited, the place, the lunar day).
    Entry &edited() { return entry_; }
    // Starts on a dream: nothing is waiting to be written.
    void load(const Entry &e);
    // Something shown changed: a save becomes due (SavePolicy).
    void changed();
    bool dirty() const { return dirty_; }
    // Writes the dream shown when it changed (a new one once it holds a
    // word) and takes back what was stored; false when the write failed.
    bool save();

    // The dream shown to the trash; its display title, empty when there was
    // no stored dream to move. Throws somnex::Error.
    QString moveToTrash();
    // Gives back the dream last moved to the trash; its id, empty when none.
    QString undoTrash();
    // The dream shown, from the trash: given back, or deleted for good.
    void restoreShown();
    void purgeShown();
    // Deletes the whole trash for good; how many went.
    int emptyTrash();
    const QString &trashed() const { return trashed_; }

    // The dreams the query lists, in the list's order. Throws somnex::Error.
    QList<EntrySummary> listed(const ListQuery &query);
    // The list keeps a dream's new summary without reading the diary again.
    void updateListed(const EntrySummary &e);
    // The next listed() reads the diary again.
    void forgetListed() { all_.reset(); }

signals:
    // The diary changed so that the list must be read again (anything but
    // the shown dream's own save, which updateListed follows).
    void listStale();
    // A save wrote the dream (added: it was new).
    void saved(bool added);
    void saveFailed(const QString &why, bool firstTime);
    // The day's copy of the diary could not be made (said once a run).
    void backupFailed(const QString &why);

private:
    QPointer<DiaryStore> store_;
    QMetaObject::Connection listening_;
    std::function<Entry()> shown_;
    Entry entry_;
    bool dirty_ = false;
    bool failureShown_ = false;
    QString trashed_;
    std::optional<QList<EntrySummary>> all_; // every dream not in the trash, as last read
    QTimer autosave_;
    SavePolicy policy_;
    QElapsedTimer clock_;
    DailyBackup backup_;
};

// The summary the list shows of a whole entry.
EntrySummary summaryOf(const Entry &e);

} // namespace somnex::diary
