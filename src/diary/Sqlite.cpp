#include "diary/Sqlite.h"

#include <sqlite3.h>

#include <cerrno>
#include <utility>

namespace somnex::diary::sql {

QString reason(int code, const char *engineMessage, int systemErrno)
{
    switch (systemErrno) {
    case ENOSPC:
    case EDQUOT: return QStringLiteral("на диске нет места");
    case EROFS: return QStringLiteral("диск доступен только для чтения");
    case EACCES:
    case EPERM: return QStringLiteral("нет права записи в файл или папку");
    default: break;
    }
    switch (code & 0xff) {
    case SQLITE_FULL: return QStringLiteral("на диске нет места");
    case SQLITE_READONLY: return QStringLiteral("нет права записи в файл или папку");
    case SQLITE_PERM:
    case SQLITE_AUTH: return QStringLiteral("нет доступа к файлу");
    case SQLITE_CANTOPEN: return QStringLiteral("файл не открывается (нет доступа к файлу или папке)");
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return QStringLiteral("дневник занят другой программой слишком долго");
    case SQLITE_CORRUPT: return QStringLiteral("файл повреждён");
    case SQLITE_NOTADB: return QStringLiteral("это не файл дневника снов");
    case SQLITE_NOMEM: return QStringLiteral("не хватает памяти");
    case SQLITE_IOERR: return QStringLiteral("ошибка чтения или записи диска");
    case SQLITE_TOOBIG: return QStringLiteral("запись слишком велика");
    default: break;
    }
    return QStringLiteral("ошибка базы данных (%1)").arg(QString::fromUtf8(engineMessage ? engineMessage : "?"));
}

QString reason(sqlite3 *db, int code)
{
    return reason(code, db ? sqlite3_errmsg(db) : sqlite3_errstr(code), db ? sqlite3_system_errno(db) : 0);
}

Connection::~Connection()
{
    close();
}

Connection::Connection(Connection &&other) noexcept : db_(std::exchange(other.db_, nullptr)) {}

Connection &Connection::operator=(Connection &&other) noexcept
{
    if (this != &other) {
        close();
        db_ = std::exchange(other.db_, nullptr);
    }
    return *this;
}

int Connection::open(const QString &path, int flags)
{
    close();
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    } else {
        sqlite3_extended_result_codes(db_, 1);
    }
    return rc;
}

void Connection::close()
{
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

int Connection::exec(const char *sql)
{
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
}

const char *Connection::message() const
{
    return db_ ? sqlite3_errmsg(db_) : "";
}

std::optional<qint64> Connection::integer(const char *sql)
{
    Statement s(*this, sql);
    if (s.prepareCode() != SQLITE_OK || s.step() != SQLITE_ROW)
        return std::nullopt;
    return s.integer(0);
}

Statement::Statement(Connection &db, const char *sql)
{
    prepareCode_ = sqlite3_prepare_v2(db.handle(), sql, -1, &stmt_, nullptr);
}

Statement::~Statement()
{
    sqlite3_finalize(stmt_);
}

Statement &Statement::bind(int index, const QString &text)
{
    const QByteArray b = text.toUtf8();
    // An empty QString has no data; bind an empty text, not NULL.
    sqlite3_bind_text64(stmt_, index, b.isEmpty() ? "" : b.constData(), static_cast<sqlite3_uint64>(b.size()),
                        SQLITE_TRANSIENT, SQLITE_UTF8);
    return *this;
}

Statement &Statement::bind(int index, qint64 value)
{
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

Statement &Statement::bind(int index, double value)
{
    sqlite3_bind_double(stmt_, index, value);
    return *this;
}

Statement &Statement::bindNull(int index)
{
    sqlite3_bind_null(stmt_, index);
    return *this;
}

Statement &Statement::bindOptional(int index, const std::optional<int> &value)
{
    return value ? bind(index, static_cast<qint64>(*value)) : bindNull(index);
}

int Statement::step()
{
    if (!stmt_)
        return prepareCode_ != SQLITE_OK ? prepareCode_ : SQLITE_MISUSE;
    return sqlite3_step(stmt_);
}

void Statement::reset()
{
    // The engine takes no statement that failed to prepare here.
    if (!stmt_)
        return;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

Statement &Statement::bindBlob(int index, const QByteArray &bytes)
{
    sqlite3_bind_blob64(stmt_, index, bytes.isEmpty() ? "" : bytes.constData(),
                        static_cast<sqlite3_uint64>(bytes.size()), SQLITE_TRANSIENT);
    return *this;
}

QByteArray Statement::blob(int column) const
{
    const auto *p = static_cast<const char *>(sqlite3_column_blob(stmt_, column));
    const int n = sqlite3_column_bytes(stmt_, column);
    return p ? QByteArray(p, n) : QByteArray();
}

QString Statement::text(int column) const
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
    const int n = sqlite3_column_bytes(stmt_, column);
    return p ? QString::fromUtf8(p, n) : QString();
}

qint64 Statement::integer(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}

double Statement::real(int column) const
{
    return sqlite3_column_double(stmt_, column);
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

} // namespace somnex::diary::sql
