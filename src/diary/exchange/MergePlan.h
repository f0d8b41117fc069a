#pragma once
// A journal read in, merged into the diary: what it would add and update is
// worked out first, shown, and then written in one go, never deleting an
// entry or overwriting a newer one.

#include "diary/DiaryStore.h"
#include "diary/Entry.h"
#include "diary/Journal.h"

#include <QList>
#include <QString>

namespace somnex::diary {

// What importing a journal would do, worked out before anything is written.
struct MergePlan {
    QList<Entry> toAdd;    // new entries (with their own or a new id)
    QList<Entry> toUpdate; // entries of the diary the journal holds a newer version of
    int unchanged = 0;     // entries the diary already has (as new or newer)

    // "Будет добавлено N записей, обновлено M, уже есть K".
    QString preview() const;
    // "Добавлено N записей, обновлено M, уже есть K": what applying did.
    QString done() const;
};

// Compares a journal with the diary:
//  - an entry with an id the diary has updates it only when the journal's
//    version was updated later, else it is already there;
//  - an entry without an id the diary already has when one of the diary's
//    entries has the same moment and the same text; it gets a new id else;
//  - every other entry is added (the same entry twice in one journal counts
//    once, the later version).
// An entry the diary could not keep throws somnex::Error (kErrorJournalBad,
// Exchange.h) naming the file and the entry, and nothing is planned.
MergePlan planMerge(const DiaryStore &store, const ImportedJournal &journal);
// Writes the plan in one transaction (all or none); a diary entry changed
// since the plan was made is never overwritten by an older one. Returns how
// many entries were written.
int applyMerge(DiaryStore &store, const MergePlan &plan);

} // namespace somnex::diary
