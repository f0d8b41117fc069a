#pragma once
// A writer of new Jet 4 database files: 4 KiB pages, the database page with
// its encrypted header area, the MSysObjects catalogue, one table definition
// per table, data pages, usage maps and long-value pages for memo values.
// Text is always stored as UCS-2 (never in the compressed form). No index is
// written: readers find every row through the tables' usage maps.

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace somnex::jet {

enum class ColumnKind {
    Text, // up to 255 characters
    Memo, // any length
};

struct ColumnDefinition {
    QString name;
    ColumnKind kind = ColumnKind::Text;
};

using Row = std::vector<std::optional<QString>>; // std::nullopt is Null

struct TableDefinition {
    QString name;
    std::vector<ColumnDefinition> columns;
    std::vector<Row> rows;
};

// The bytes of a new database holding these tables, rows in the given order.
// Raises somnex::Error when a table or row does not fit the format (more than
// 255 columns, a text longer than its column allows, a value beginning with
// U+FEFF, which readers would take for the compressed form, a row with the
// wrong number of values, a file beyond 2 GiB).
QByteArray writeDatabase(const std::vector<TableDefinition> &tables);

} // namespace somnex::jet
