#pragma once
// An entry's columns in the file, written once: each field of an Entry with
// the columns that keep it, how it is bound and how it is read back. The
// SELECT list, the INSERT and the UPDATE of both tables (entry, and body for
// the long texts) are built from this one table, so that no statement
// numbers its parameters by hand and a column added here reaches them all.
// The words the user wrote pass the diary's TextCodec on the way.

#include "diary/Entry.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace somnex::diary {
class TextCodec;
namespace sql {
class Statement;
}
} // namespace somnex::diary

namespace somnex::diary::store {

// An entry with what the file keeps beside it.
struct StoredEntry {
    Entry entry;
    qint64 created = 0; // ms since 1970, UTC
    qint64 updated = 0;
    std::optional<qint64> deleted; // ms since 1970, UTC; in the trash when set
};

enum class Table { Entry, Body };

// "e.id, e.created, …, b.text, …, e.n": every column of both tables (e the
// entry, b its body), the row number last, at columnOfRow().
const char *selectColumns();
// " FROM entry e JOIN body b ON b.n = e.n"
const char *joinedTables();
int columnOfRow();

// INSERT of one table's columns: the entry's from ?1 on; the body's with its
// row number as ?1 and its columns from ?2 on.
const char *insertStatement(Table table);
// UPDATE of every column of one table: the entry's by its id (?1), the
// body's by its row number (?1); the parameters as in insertStatement.
const char *updateStatement(Table table);

// Binds the columns of one table as insertStatement and updateStatement
// number them (the body's row number is the caller's to bind).
void bindColumns(sql::Statement &s, Table table, const StoredEntry &row, const TextCodec &codec);
// Reads a row of selectColumns().
StoredEntry readColumns(const sql::Statement &s, const TextCodec &codec);

// ---- values as the file writes them ----------------------------------------

QString localText(const QDateTime &at); // yyyy-MM-ddTHH:mm:ss
QDateTime parseLocal(QStringView s, int offset);
QDate dateOfText(QStringView s); // yyyy-MM-dd; invalid when it is not one
QDateTime fromMs(qint64 ms);
QString kindsText(const QList<DreamKind> &kinds);
QList<DreamKind> kindsOf(QStringView text);
QString originCode(Symbol::Origin o);
Symbol::Origin originOf(QStringView code);

} // namespace somnex::diary::store
