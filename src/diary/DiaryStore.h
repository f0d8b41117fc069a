#pragma once
// The dream diary's file: one SQLite database per user,
// $XDG_DATA_HOME/ZUL Programming/ZUL Somnex/3.1/Diary/diary.sqlite.
//
// The file is created on the first entry written, never before: a store over
// an absent file lists nothing and creates nothing. Every write is one
// transaction, so a process killed at any moment leaves each entry either
// wholly written or not at all; several processes (the window and somnex-cli)
// may write at once, each waiting up to a few seconds for the other.
//
// A file that is damaged, truncated, foreign (not a diary) or of a newer
// schema than this program knows is never written: opening it throws
// somnex::Error with a Russian description naming the file and what is wrong
// (number one of ErrorNumber). The window may then offer to move the file
// aside (moveAside) and start a new diary.
//
// One store is used by one thread at a time; another thread opens its own.
// Reads see what other stores and processes have committed. A store says
// what it wrote (changed) once the write is committed; what other stores and
// processes write it does not see.
//
// The words the user wrote pass the store's TextCodec on their way into the
// file and out of it (plain text unless setCodec says otherwise).

#include "diary/Entry.h"
#include "diary/Symbols.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace somnex::diary {

// The numbers of the errors the store throws (somnex::Error::number()).
enum ErrorNumber : long {
    kErrorUnreadable = 3101,    // the file or its folder cannot be opened or read
    kErrorDamaged = 3102,       // damaged or truncated: moveAside may help
    kErrorForeign = 3103,       // a file that is not a dream diary: moveAside may help
    kErrorNewer = 3104,         // written by a newer version of the program: leave it alone
    kErrorNotFound = 3105,      // no entry with the id given
    kErrorBadValue = 3106,      // an entry's value out of range (text too long, bad moment, ...)
    kErrorWrite = 3107,         // writing failed (disk full, read-only folder, busy): nothing was written
    kErrorWrongPassword = 3108, // not the password (or the recovery key) of this private diary
    kErrorLocked = 3109,        // a private diary not yet opened with its password
    kErrorReadOnly = 3110,      // the diary is open for reading only: nothing was written
};

// What to look for in the diary (DiaryStore::search). Every condition given
// must hold; an empty filter matches every entry not in the trash.
struct Filter {
    // Every word of the text, in any of its forms ("собаку" finds "собака",
    // "собаки"), in the title or the text. Empty: no condition.
    QString text;
    QStringList tags;          // each of these tags (letter case ignored)
    QList<DreamKind> kinds;    // each of these kinds
    std::optional<bool> lucid; // lucid or not
    std::optional<Mark> mark;  // this fulfilment mark (Mark::None: unmarked)
    QString symbol;            // this headword among the shown symbols (case and ё/е ignored)
    QDate nightFrom;           // nights from this date on (invalid: no bound)
    QDate nightTo;             // nights up to this date (invalid: no bound)
};

// A stretch of a text a search query matched, to mark it (queryRanges).
struct TextRange {
    qsizetype start = 0;  // in UTF-16 code units
    qsizetype length = 0; // in UTF-16 code units

    friend bool operator==(const TextRange &, const TextRange &) = default;
};

// The words of a text that match a query's words in any form, in text order:
// what the window marks in the title and the text of an entry found.
QList<TextRange> queryRanges(QStringView text, const QString &query);

class TextCodec;
struct KeyCost;

class DiaryStore : public QObject {
    Q_OBJECT
public:
    // What a write did to the entries it names (changed).
    enum class Change {
        Added,    // new entries (add, addAll)
        Updated,  // an entry rewritten or its mark set (update, setFulfilment)
        Trashed,  // moved to the trash
        Restored, // back from the trash
        Purged,   // deleted for good (purgeTrash names none: several went)
        Imported, // written as given (putAll): added or replacing older ones
    };
    Q_ENUM(Change)

    // The user's diary file (the folder and file need not exist).
    static QString defaultPath();

    // A store over the file at path. When the file exists it is opened and
    // checked at once (and entries in the trash for more than 30 days are
    // purged); when it does not, nothing is created until the first write.
    // Throws somnex::Error (ErrorNumber) when the file cannot be used.
    explicit DiaryStore(const QString &path = defaultPath());
    ~DiaryStore() override;
    DiaryStore(const DiaryStore &) = delete;
    DiaryStore &operator=(const DiaryStore &) = delete;

    const QString &path() const;
    // Whether the file exists (an entry was ever written).
    bool exists() const;

    // Finds the symbols of an entry's title and text on add and whenever its
    // text or title changes on update (merged with hand edits by
    // mergeSymbols). Without one the symbols given are stored as they are.
    void setSymbolSource(SymbolSource source);
    // How the user's words are kept in the file (plain text by default).
    void setCodec(std::shared_ptr<const TextCodec> codec);
    const std::shared_ptr<const TextCodec> &codec() const;

    // ---- writing (each call one transaction; throws somnex::Error) --------

    // Stores a new entry and returns its id (the one given, or a new UUID when
    // empty). Sets created, updated, night and the lunar snapshot; an invalid
    // `at` becomes momentNow() with systemZoneName(). Refuses a text over
    // kMaxTextBytes, a moment outside the years kFirstYear to kLastYear,
    // clarity or mood out of range, or an id already present.
    QString add(Entry entry);
    // Stores several new entries in one transaction (all or none), as add
    // does each; returns their ids in order. For imports and benchmarks.
    QStringList addAll(QList<Entry> entries);
    // Writes entries as they are given, for imports and restoring copies, in
    // one transaction (all or none): an entry whose id is absent is added; a
    // stored entry is replaced only when the given one's updated time is
    // later, so that nothing newer is ever overwritten. Created, updated, the
    // symbols, the lunar snapshot and the trash state are kept as given (an
    // invalid created or updated time becomes now, an empty snapshot is
    // computed, no symbols are found by the symbol source). Checks each as
    // add does; returns how many entries were written.
    int putAll(QList<Entry> entries);
    // Throws, as add and putAll would, when an entry's values cannot be
    // stored (a bad moment, a text too long, a scale out of range ...), so
    // that an import can name the entry before anything is written.
    static void checkEntry(const Entry &entry);
    // Replaces a stored entry (by id) with this one, keeping its created time
    // and trash state; sets updated and night, and recomputes the lunar
    // snapshot when the moment or the place changed (else keeps the stored).
    void update(const Entry &entry);
    // Sets the fulfilment mark of an entry (markedOn defaults to today when
    // the mark is not None).
    void setFulfilment(const QString &id, const Fulfilment &fulfilment);
    // Moves an entry to the trash / back out of it.
    void moveToTrash(const QString &id);
    void restore(const QString &id);
    // Deletes an entry for good (from the trash or not).
    void purge(const QString &id);
    // Deletes for good the entries moved to the trash before the moment given
    // (UTC); returns how many. Opening a file does this for 30 days ago.
    int purgeTrash(const QDateTime &before);

    // ---- reading -----------------------------------------------------------

    // The entry with this id (in the trash or not), none when there is none.
    std::optional<Entry> entry(const QString &id) const;
    // The id an unambiguous beginning of an id stands for (at least 4
    // characters; the whole id works too). Throws somnex::Error
    // (kErrorNotFound) when none or several ids begin so.
    QString resolveId(const QString &idOrPrefix) const;
    // Every entry not in the trash, newest night first (then newest moment).
    QList<EntrySummary> list() const;
    // The same entries in full, in the same order, read at once (three
    // queries in all): what the statistics read.
    QList<Entry> entries() const;
    // Every entry whole, in the trash or not, oldest moment first: what an
    // export and a merge read.
    QList<Entry> allEntries() const;
    // The entries in the trash, most recently deleted first.
    QList<EntrySummary> trash() const;
    // The ids of the entries not in the trash that match, in list() order.
    QStringList search(const Filter &filter) const;
    // Every tag in use (entries in the trash included), ordered by text.
    QList<Tag> allTags() const;

    // ---- a private diary ------------------------------------------------------
    //
    // A private diary keeps every word the user wrote sealed under a key the
    // password (or the recovery key) opens; moments, nights, lunar days,
    // marks, kinds, mood and clarity stay in plain text. Until it is opened
    // the store reads and writes nothing (kErrorLocked).

    // Why the diary is open for reading only ("нет прав на запись в папку
    // «…»", "файловая система только для чтения"); empty when it can be
    // written. Reading, searching and exporting work; writes refuse.
    QString readOnlyReason() const;

    // Whether the diary is private.
    bool isPrivate() const;
    // Whether it is private and not opened.
    bool isLocked() const;
    // Opens a private diary. Throws kErrorWrongPassword.
    void unlock(const QString &password);
    void unlockWithRecoveryKey(const QString &recoveryKey);
    // Forgets the key (wiped); the store is locked again.
    void lock();
    // Throws kErrorWrongPassword unless the text is this private diary's
    // password or recovery key (asked again before its dreams leave it).
    void checkSecret(const QString &passwordOrRecoveryKey);
    // What deriving the password's key costs (as calibrated when it was
    // set); the default cost for a diary that is not private.
    KeyCost passwordCost();
    // Makes the diary private under a password, every entry sealed in one
    // transaction and the pages once holding plain text overwritten; returns
    // the recovery key, to be shown once. The cost of the password's key
    // derivation is calibrated to this computer unless given.
    QString protect(const QString &password, const KeyCost *cost = nullptr);
    // Back to plain text (the password asked again), in one transaction.
    void unprotect(const QString &password);
    // A new password for the same key: only its wrap is rewritten. The
    // current password or the recovery key opens the change.
    void changePassword(const QString &currentOrRecoveryKey, const QString &next, const KeyCost *cost = nullptr);

    // ---- the file ------------------------------------------------------------

    // Copies the diary, as it is at this moment, to a new file (SQLite's
    // online backup; other writers may go on). Throws somnex::Error.
    void backupTo(const QString &target) const;
    // Renames a damaged or foreign diary file (with its -wal and -shm files)
    // to "<file>.damaged-YYYYMMDD-HHMMSS" (local time) beside it and returns
    // the new path of the main file, so that a new diary can start. Throws
    // somnex::Error when the file cannot be renamed. No store may have the
    // file open.
    static QString moveAside(const QString &path);

signals:
    // After a write is committed: what it did and to which entries.
    void changed(somnex::diary::DiaryStore::Change change, const QStringList &ids);

private:
    void updateOnce(Entry e, const std::optional<LunarSnapshot> &fresh);

    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace somnex::diary
