#pragma once
// Helpers of the diary's tests: the file's hash, SQLite's own integrity
// check, direct changes to a file as another program would make them, and
// the error a call throws.

#include "platform/error/Error.h"

#include <QCryptographicHash>
#include <QFile>
#include <QString>

#include <sqlite3.h>

namespace diary_test {

// What the call throws, or an error numbered 0 when it throws nothing.
template <class F>
somnex::Error thrown(F &&f)
{
    try {
        f();
    } catch (const somnex::Error &e) {
        return e;
    }
    return somnex::Error(0, {}, "ничего не брошено");
}

inline QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result().toHex();
}

// Runs SQL on the file as another program would; returns SQLite's code.
inline int execOn(const QString &path, const char *sql, int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
{
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close_v2(db);
    return rc;
}

// The first row of PRAGMA integrity_check ("ok" for a sound file), after a
// killed writer's journal is rolled back as the program would.
inline QString integrity(const QString &path, int flags = SQLITE_OPEN_READONLY)
{
    sqlite3 *db = nullptr;
    QString result;
    bool recover = false;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr) == SQLITE_OK) {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK
            && sqlite3_step(s) == SQLITE_ROW)
            result = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
        else
            result = QString::fromUtf8(sqlite3_errmsg(db));
        // a writer killed mid-transaction leaves a journal that only a writer
        // may roll back, as the program does when it next opens the diary
        recover = (sqlite3_errcode(db) & 0xff) == SQLITE_READONLY && flags == SQLITE_OPEN_READONLY;
        sqlite3_finalize(s);
    }
    sqlite3_close_v2(db);
    return recover ? integrity(path, SQLITE_OPEN_READWRITE) : result;
}

// The number of entries, in the trash or not (-1 when it cannot be read).
inline int entryCount(const QString &path)
{
    sqlite3 *db = nullptr;
    int n = -1;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM entry", -1, &s, nullptr) == SQLITE_OK
            && sqlite3_step(s) == SQLITE_ROW)
            n = sqlite3_column_int(s, 0);
        sqlite3_finalize(s);
    }
    sqlite3_close_v2(db);
    return n;
}

} // namespace diary_test
