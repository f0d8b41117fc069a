#pragma once
// What a journal file or folder held, turned into diary entries: the meeting
// point of the readers of each format and the merge into the diary.

#include "diary/Entry.h"

#include <QList>
#include <QString>

#include <functional>

namespace somnex::diary {

// The largest journal file read (64 MiB), checked before it is read: a
// larger one is refused with a message.
inline constexpr qint64 kMaxJournalBytes = 64LL * 1024 * 1024;

struct ImportedJournal {
    // The format read: "somnex-json", "dreamdir", "webdreamjournal", "jrnl",
    // "dayone" or "dream-journal-app".
    QString format;
    // The file or folder read, as the user named it (for messages).
    QString source;
    // The entries in the file's order. An entry carries an id when the format
    // has one (the same file read twice gives the same ids: a format's own id
    // becomes a UUID derived from it, QUuid::createUuidV5 with a namespace per
    // format), else an empty id. What has no field of ours is in the text.
    QList<Entry> entries;
};

// Gives every entry of the journal that names no place the one given (the
// program's place): a dream's lunar day needs one, and other journals keep none.
inline void placeUnplaced(ImportedJournal &journal, const Place &place)
{
    for (Entry &e : journal.entries)
        if (!e.place)
            e.place = place;
}

// Reads one journal; throws somnex::Error with a Russian message naming the
// file (and the entry or line) when it cannot, and then returns nothing.
using JournalReader = std::function<ImportedJournal(const QString &path)>;

} // namespace somnex::diary
