#pragma once
// The database interface the dream-book windows use: one engine object, one
// open database per book file, table-type recordsets with the index "List",
// equality seeks and scans in index order.
//
// A database is read in full when it is opened (or, opened on use, when one
// of its tables is first used): the file is read into memory, the Jet header
// is put in place of the book signature in that image (the file itself is
// never written), every table is read once, and the image is let go.
// Recordsets then work on what was read. A database of some rows only reads
// just those rows of one table.
//
// Headword order of the index "List" (the collation):
//  1. letters compared without regard to case, Russian letters in the order
//     of the alphabet with ё taken as е ("ёж" between "еда" and "жар"),
//     Latin letters before Cyrillic ones, other characters by code;
//  2. on a tie, е before ё at the first place where they differ;
//  3. on a tie, lower case before upper case at the first place they differ;
//  4. on a tie, by UTF-16 code units; identical headwords keep the order in
//     which they are stored.
// Seek "=" matches headwords equal under levels 1 and 2, that is ignoring
// case but not the difference between е and ё. Among several such records it
// lands on one spelled exactly like the word if there is one, otherwise on
// the first of them in index order.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace somnex::dictionary {

// <0, 0, >0 in the order described above (levels 1 to 4).
int compareHeadwords(QStringView a, QStringView b);
// Equality of Seek "=" (levels 1 and 2).
bool sameHeadword(QStringView a, QStringView b);

struct DatabaseData;
struct TableState;

class Recordset {
public:
    // The current index: empty (storage order) or "List".
    const QString &Index() const { return index_; }
    // Sets the index; raises somnex::Error for an index the table lacks. The
    // first record in the new order becomes current.
    void setIndex(const QString &name);

    qsizetype RecordCount() const;
    void MoveFirst();
    void MoveNext();
    // Makes the i-th record of the current order the current one; past the
    // end there is no current record.
    void setAbsolutePosition(qsizetype i);
    bool Eof() const;

    // The current record's value; std::nullopt is Null. Raises somnex::Error
    // when there is no current record or no such field.
    std::optional<QString> Field(const QString &name) const;
    // The same by column number (fieldIndex).
    std::optional<QString> Field(int column) const;
    // Without copying, for fields held as UTF-16 (text fields, such as
    // "List"); raises somnex::Error for a memo value held as bytes. Null and
    // empty text differ by fieldIsNull.
    int fieldIndex(const QString &name) const; // -1 when absent
    int FieldCount() const;
    QStringView fieldView(int column) const;
    bool fieldIsNull(int column) const;

    // Seek with comparison "=" only; needs an index. On success the cursor is
    // on the match and NoMatch() is false; otherwise NoMatch() is true and
    // there is no current record.
    void Seek(const QString &comparison, const QString &word);
    bool NoMatch() const { return noMatch_; }

    // For walking all headwords in index order without moving the cursor:
    // the "List" of the i-th record in the current order.
    QStringView headword(qsizetype i) const;
    // Where the i-th record in the current order lies in the file (data
    // page, row); nothing past the end or once released.
    std::optional<std::pair<uint32_t, uint16_t>> place(qsizetype i) const;

private:
    friend class Database;
    void requireCurrent() const;
    const std::vector<uint32_t> *order() const; // null: storage order
    std::shared_ptr<const TableState> table_;
    QString index_;
    bool indexed_ = false;
    qsizetype pos_ = 0;
    bool noMatch_ = false;
};

class Database {
public:
    // A table-type recordset on the first record of the table. Raises
    // somnex::Error when there is no such table.
    Recordset OpenRecordset(const QString &table) const;
    const QString &Name() const;
    // The tables (user tables of the file), lower-case names.
    QStringList TableNames() const;
    // Bytes held for the tables' values.
    std::size_t bytesHeld() const;
    // False while a database opened on use has not been read yet.
    bool isRead() const;
    // A database opened on use that, when read, was no longer the file it
    // was opened for (or could not be read at all; it then has no records).
    bool stale() const;
    // Forgets where the rows lie (place() answers nothing after).
    void releasePlaces();

private:
    friend class DBEngine;
    std::shared_ptr<DatabaseData> d_;
};

class DBEngine {
public:
    static DBEngine &instance();

    // Opens a book file: its first 22 bytes (the book signature, or the Jet
    // header of a plain database) are replaced by the Jet header in memory.
    // Raises somnex::Error with a description for an unreadable file or one
    // that is not a readable Jet 4 database.
    Database OpenDatabase(const QString &path) const;
    // The same for a file's bytes already in memory.
    Database OpenDatabaseImage(QByteArray image, const QString &name) const;
    // A book of which nothing is read now: the whole file is read when one
    // of its tables is first used, on whichever thread that is. table is
    // the one recordsets are opened on before then; any other reads the
    // file at once. unchanged is asked whether the file's bytes are still
    // those the caller knows; when not, the database is stale(). A file
    // that cannot be read then leaves the database stale and empty.
    Database OpenDatabaseOnUse(const QString &path, const QString &table,
                               std::function<bool(const QByteArray &)> unchanged) const;
    // Only the given rows (data page, row) of one table, in that order;
    // nothing when unchanged refuses the file's bytes. Raises somnex::Error
    // like OpenDatabase, and when a place holds no row of that table.
    std::optional<Database> OpenDatabaseRows(const QString &path, const QString &table,
                                             const std::vector<std::pair<uint32_t, uint16_t>> &rows,
                                             const std::function<bool(const QByteArray &)> &unchanged) const;
};

} // namespace somnex::dictionary
