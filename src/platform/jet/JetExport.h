#pragma once
// A table of any Jet 4 database as JSON Lines: one object per row, in
// storage order, keys the column names in table order. Text and memo values
// are JSON strings with every character kept (U+0000 as \u0000), Null is
// null; whole numbers, money, decimals and floating-point numbers are JSON
// numbers, Yes/No values booleans, dates "YYYY-MM-DD HH:MM:SS", replication
// ids "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", binary and OLE values base64
// strings.

#include "platform/jet/JetFile.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace somnex::jet {

// Writes each row's line (with its trailing newline) to out. Raises
// somnex::Error like JetFile::readTable.
void exportJsonLines(JetFile &db, const QString &table, const std::function<void(const QByteArray &)> &out);

// One value as JSON text.
QByteArray jsonValue(const ColumnInfo &column, const RawField &field);

} // namespace somnex::jet
