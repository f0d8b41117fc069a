#include "diary/store/StoreConnection.h"

#include "diary/DiaryStore.h"
#include "diary/store/StoreErrors.h"

namespace somnex::diary::store {

sql::Statement &StoreConnection::cached(const char *sql)
{
    auto found = statements_.find(sql);
    if (found != statements_.end()) {
        found->second->reset();
        return *found->second;
    }
    auto s = std::make_unique<sql::Statement>(db, sql);
    if (s->prepareCode() != SQLITE_OK)
        failWrite(s->prepareCode());
    return *statements_.emplace(sql, std::move(s)).first->second;
}

void StoreConnection::resetCached()
{
    for (auto &entry : statements_)
        entry.second->reset();
}

void StoreConnection::failWrite(int rc) const
{
    throw fileError(kErrorWrite, path, sql::reason(db.handle(), rc));
}

void StoreConnection::failRead(int rc) const
{
    throw readError(path, rc, db.message(), sqlite3_system_errno(db.handle()));
}

void StoreConnection::begin()
{
    if (readOnly)
        throw storeError(kErrorReadOnly,
                         QStringLiteral("Дневник снов «%1» открыт только для чтения (%2): изменение не сохранено.")
                             .arg(path, readOnlyWhy));
    must(db.exec("BEGIN IMMEDIATE"), SQLITE_OK);
    stemRows.clear();
}

void StoreConnection::commit()
{
    resetCached();
    stemRows.clear();
    must(db.exec("COMMIT"), SQLITE_OK);
}

void StoreConnection::rollback()
{
    resetCached();
    stemRows.clear();
    // SQLite may have rolled back by itself (a full disk); then there is
    // nothing left to roll back.
    if (!sqlite3_get_autocommit(db.handle()))
        db.exec("ROLLBACK");
}

} // namespace somnex::diary::store
