#pragma once
// A thin layer over SQLite's C API for the diary: a connection, prepared
// statements with QString binding (lengths given, so a NUL inside a text is
// kept), and SQLite's failures turned into somnex::Error with a Russian
// description.

#include <QByteArray>
#include <QString>

#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace somnex::diary::sql {

// What an SQLite result code means for the user, in Russian ("на диске нет
// места"); the engine's own message is added for codes without one. The
// system's error number behind an input-output failure (ENOSPC, EROFS...)
// says more than the code when given.
QString reason(int code, const char *engineMessage, int systemErrno = 0);

// reason() for the last failure on a connection.
QString reason(sqlite3 *db, int code);

class Statement;

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(Connection &&other) noexcept;
    Connection &operator=(Connection &&other) noexcept;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Opens the file (flags: SQLITE_OPEN_*). Returns the SQLite result code;
    // the connection stays closed on failure.
    int open(const QString &path, int flags);
    void close();
    bool isOpen() const { return db_ != nullptr; }
    sqlite3 *handle() const { return db_; }

    // Runs statements without results; returns the SQLite result code.
    int exec(const char *sql);
    // The engine's message of the last failure.
    const char *message() const;
    // The single integer a pragma or query returns (none when it fails).
    std::optional<qint64> integer(const char *sql);

private:
    sqlite3 *db_ = nullptr;
};

class Statement {
public:
    Statement(Connection &db, const char *sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    int prepareCode() const { return prepareCode_; }

    Statement &bind(int index, const QString &text);
    Statement &bind(int index, qint64 value);
    Statement &bind(int index, double value);
    Statement &bindNull(int index);
    Statement &bindBlob(int index, const QByteArray &bytes);
    Statement &bindOptional(int index, const std::optional<int> &value);

    // SQLITE_ROW, SQLITE_DONE or a failure code.
    int step();
    void reset();

    QString text(int column) const;
    QByteArray blob(int column) const;
    qint64 integer(int column) const;
    double real(int column) const;
    bool isNull(int column) const;

private:
    sqlite3_stmt *stmt_ = nullptr;
    int prepareCode_ = 0;
};

} // namespace somnex::diary::sql
