#pragma once
// The diary file's connection as the store's parts use it: the statements of
// the write path prepared once, the failures of a write turned into the
// store's error, and one write as one transaction.

#include "diary/Sqlite.h"

#include <QHash>
#include <QString>

#include <sqlite3.h>

#include <memory>
#include <unordered_map>

namespace somnex::diary::store {

class StoreConnection {
public:
    QString path;
    sql::Connection db;
    // Opened for reading only (the file or its folder cannot be written),
    // and why, in Russian; every write then refuses (kErrorReadOnly).
    bool readOnly = false;
    QString readOnlyWhy;

    // A statement of the write path, prepared on first use and reset for
    // this one (an import writes thousands of entries in one transaction).
    sql::Statement &cached(const char *sql);
    // Resets every cached statement, so that none holds a read open.
    void resetCached();
    void forgetCached() { statements_.clear(); }

    // Throws the store's write error (kErrorWrite) for a failed call.
    [[noreturn]] void failWrite(int rc) const;
    void must(int rc, int wanted = SQLITE_DONE) const
    {
        if (rc != wanted)
            failWrite(rc);
    }
    // Throws the store's read error for the last failed call.
    [[noreturn]] void failRead(int rc) const;

    // Runs change in one immediate transaction: committed whole, or rolled
    // back and the error passed on.
    template <class F>
    void transaction(F &&change)
    {
        begin();
        try {
            change();
            commit();
        } catch (...) {
            rollback();
            throw;
        }
    }

    // The rows of the stems met in the write under way (no other writer can
    // change them meanwhile); emptied when it ends.
    QHash<QString, qint64> stemRows;

private:
    void begin();
    void commit();
    void rollback();

    std::unordered_map<const char *, std::unique_ptr<sql::Statement>> statements_;
};

} // namespace somnex::diary::store
