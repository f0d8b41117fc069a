#include "diary/store/StoreSchema.h"

#include "diary/DiaryStore.h"
#include "diary/store/StoreConnection.h"
#include "diary/store/StoreErrors.h"
#include "platform/core/AtomicFile.h"
#include "platform/core/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <array>
#include <cerrno>
#include <unistd.h>
#include <vector>

namespace somnex::diary::store {

namespace {

// The schema this program writes; user_version of the file.
constexpr int kSchemaVersion = 3;
// "SnxD": what tells our diary from any other SQLite file.
constexpr qint64 kApplicationId = 0x536E7844;
constexpr int kBusyTimeoutMs = 5000;

const char *const kSchema = R"(
CREATE TABLE entry (
    n INTEGER PRIMARY KEY,
    id TEXT NOT NULL UNIQUE,
    created INTEGER NOT NULL,            -- ms since 1970, UTC
    updated INTEGER NOT NULL,
    at_local TEXT NOT NULL,              -- yyyy-MM-ddTHH:mm:ss, local
    at_offset INTEGER NOT NULL,          -- seconds east of Greenwich
    at_utc INTEGER NOT NULL,             -- seconds since 1970
    zone TEXT NOT NULL DEFAULT '',
    night TEXT NOT NULL,                 -- yyyy-MM-dd
    title TEXT NOT NULL DEFAULT '',
    display_title TEXT NOT NULL,
    lucid INTEGER NOT NULL DEFAULT 0 CHECK (lucid IN (0, 1)),
    clarity INTEGER CHECK (clarity BETWEEN 1 AND 4),
    mood INTEGER CHECK (mood BETWEEN -2 AND 2),
    kinds TEXT NOT NULL DEFAULT '',      -- codes, space-separated
    place_name TEXT,
    place_lat REAL,
    place_lon REAL,
    mark TEXT NOT NULL DEFAULT 'none' CHECK (mark IN ('none', 'yes', 'partly', 'no')),
    marked_on TEXT,
    mark_note TEXT NOT NULL DEFAULT '',
    lunar_found INTEGER NOT NULL DEFAULT 0,
    lunar_day INTEGER NOT NULL DEFAULT 0,
    lunar_start TEXT,
    lunar_end TEXT,
    phase_picture INTEGER NOT NULL DEFAULT 0,
    deleted_at INTEGER                   -- ms since 1970, UTC; in the trash when set
);
CREATE INDEX entry_order ON entry (night DESC, at_utc DESC);
-- The long texts apart, so that the list reads a small table.
CREATE TABLE body (
    n INTEGER PRIMARY KEY REFERENCES entry (n) ON DELETE CASCADE,
    text TEXT NOT NULL DEFAULT '',
    lunar_text TEXT NOT NULL DEFAULT '',
    weekday_text TEXT NOT NULL DEFAULT '',
    month_day_text TEXT NOT NULL DEFAULT ''
);
CREATE TABLE tag (
    n INTEGER NOT NULL REFERENCES entry (n) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    text TEXT NOT NULL,
    folded TEXT NOT NULL,
    kind TEXT NOT NULL CHECK (kind IN ('plain', 'person', 'place')),
    PRIMARY KEY (n, folded)
) WITHOUT ROWID;
CREATE INDEX tag_folded ON tag (folded);
CREATE TABLE symbol (
    n INTEGER NOT NULL REFERENCES entry (n) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    headword TEXT NOT NULL,
    folded TEXT NOT NULL,
    origin TEXT NOT NULL CHECK (origin IN ('found', 'added', 'removed')),
    PRIMARY KEY (n, folded)
) WITHOUT ROWID;
CREATE INDEX symbol_folded ON symbol (folded);
CREATE TABLE stem (
    s INTEGER PRIMARY KEY,
    text TEXT NOT NULL UNIQUE
);
CREATE TABLE word (
    s INTEGER NOT NULL REFERENCES stem (s),
    n INTEGER NOT NULL REFERENCES entry (n) ON DELETE CASCADE,
    PRIMARY KEY (s, n)
) WITHOUT ROWID;
CREATE INDEX word_entry ON word (n);
)";

// A private diary's data key, wrapped under the password and under the
// recovery key; empty for a diary in plain text. Part of the schema, and the
// upgrade to version 3 adds it.
constexpr const char *kKeyringTable = R"(
CREATE TABLE IF NOT EXISTS keyring (
    kind TEXT PRIMARY KEY CHECK (kind IN ('password', 'recovery')),
    salt BLOB,
    passes INTEGER NOT NULL DEFAULT 0,
    memory INTEGER NOT NULL DEFAULT 0,
    nonce BLOB NOT NULL,
    wrapped BLOB NOT NULL
) WITHOUT ROWID;
)";

// The whole schema of a new diary.
QByteArray schemaText()
{
    return QByteArray(kSchema) + kKeyringTable;
}

// The tables of the schema and the version that brought each.
struct SchemaTable {
    const char *name;
    int since;
};
constexpr SchemaTable kSchemaTables[] = {{"entry", 1}, {"tag", 1},  {"symbol", 1}, {"stem", 1},
                                         {"word", 1},  {"body", 2}, {"keyring", 3}};

QStringList columnsOf(sql::Connection &db, const char *table)
{
    QStringList names;
    sql::Statement s(db, "SELECT name FROM pragma_table_info(?1)");
    s.bind(1, QString::fromLatin1(table));
    while (s.step() == SQLITE_ROW)
        names << s.text(0);
    return names;
}

// The columns of every table as this program creates them, in the order of
// kSchemaTables; read once from the schema itself.
const std::vector<QStringList> &schemaColumns()
{
    static const std::vector<QStringList> columns = [] {
        std::vector<QStringList> all;
        sql::Connection memory;
        if (memory.open(QStringLiteral(":memory:"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY) != SQLITE_OK
            || memory.exec(schemaText().constData()) != SQLITE_OK)
            return all;
        for (const SchemaTable &table : kSchemaTables)
            all.push_back(columnsOf(memory, table.name));
        return all;
    }();
    return columns;
}

// The steps from one schema to the next: kUpgrades[v - 1] takes version v to
// v + 1, run in one transaction after a copy of the file is taken.
constexpr std::array<const char *, kSchemaVersion - 1> kUpgrades{
    // 1 -> 2: the long texts move out of entry into body.
    R"(
CREATE TABLE body (
    n INTEGER PRIMARY KEY REFERENCES entry (n) ON DELETE CASCADE,
    text TEXT NOT NULL DEFAULT '',
    lunar_text TEXT NOT NULL DEFAULT '',
    weekday_text TEXT NOT NULL DEFAULT '',
    month_day_text TEXT NOT NULL DEFAULT ''
);
INSERT INTO body (n, text, lunar_text, weekday_text, month_day_text)
    SELECT n, text, lunar_text, weekday_text, month_day_text FROM entry;
ALTER TABLE entry DROP COLUMN text;
ALTER TABLE entry DROP COLUMN lunar_text;
ALTER TABLE entry DROP COLUMN weekday_text;
ALTER TABLE entry DROP COLUMN month_day_text;
)",
    // 2 -> 3: the keyring of a private diary.
    kKeyringTable,
};

quint32 bigEndian32(const QByteArray &b, int at)
{
    return (quint32(quint8(b[at])) << 24) | (quint32(quint8(b[at + 1])) << 16) | (quint32(quint8(b[at + 2])) << 8)
           | quint32(quint8(b[at + 3]));
}

// Looks at the first bytes of an existing file before SQLite opens it for
// writing, so that a foreign or cut file is refused without being touched
// (SQLite would replay a foreign journal into it).
void checkHeader(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw fileError(kErrorUnreadable, path, QStringLiteral("файл не читается (%1)").arg(f.errorString()));
    const qint64 size = f.size();
    const QByteArray h = f.read(100);
    static const QByteArray magic("SQLite format 3\0", 16);
    if (size == 0)
        throw fileError(kErrorDamaged, path, QStringLiteral("файл пуст"));
    if (!h.startsWith(magic)) {
        if (magic.startsWith(h))
            throw fileError(kErrorDamaged, path, QStringLiteral("файл обрезан"));
        throw fileError(kErrorForeign, path, QStringLiteral("это не база данных SQLite"));
    }
    if (h.size() < 100)
        throw fileError(kErrorDamaged, path, QStringLiteral("файл обрезан"));
    if (bigEndian32(h, 68) != kApplicationId)
        throw fileError(kErrorForeign, path, QStringLiteral("это база данных другой программы"));
    quint32 pageSize = (quint32(quint8(h[16])) << 8) | quint32(quint8(h[17]));
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        throw fileError(kErrorDamaged, path, QStringLiteral("неверный размер страницы"));
    // Pages are written whole. Without a write-ahead log the file holds the
    // whole database, so it may not be shorter than its header says.
    const bool sizeValid = bigEndian32(h, 24) == bigEndian32(h, 92);
    const qint64 pages = bigEndian32(h, 28);
    const bool hasLog = QFileInfo(path + QStringLiteral("-wal")).size() > 0;
    if (size % pageSize != 0 || (!hasLog && sizeValid && size < pages * qint64(pageSize)))
        throw fileError(kErrorDamaged, path, QStringLiteral("файл обрезан"));
}

// New diaries left half-made by a process killed while it made one (a
// minute is far longer than making one takes).
void removeStaleTemporaries(const QString &folder, const QString &prefix)
{
    const QDateTime old = Clock::current().nowUtc().addSecs(-60);
    const QFileInfoList files =
        QDir(folder).entryInfoList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &f : files)
        if (f.lastModified().toUTC() < old)
            QFile::remove(f.absoluteFilePath());
}

// A table missing, or altered by another program, would fail every
// statement that names it in the middle of a write: refuse it when opening.
// Only the tables a file of that version has are checked, so that a file
// refused is never written, not even by an upgrade.
void checkTables(StoreConnection &c, qint64 version)
{
    const std::vector<QStringList> &expected = schemaColumns();
    for (size_t i = 0; i < std::size(kSchemaTables); ++i) {
        const SchemaTable &table = kSchemaTables[i];
        if (table.since > version)
            continue;
        const QString name = QString::fromLatin1(table.name);
        sql::Statement s(c.db, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?1");
        s.bind(1, name);
        if (s.step() != SQLITE_ROW)
            throw fileError(kErrorDamaged, c.path, QStringLiteral("нет таблицы «%1»").arg(name));
        const QStringList present = columnsOf(c.db, table.name);
        for (const QString &column : i < expected.size() ? expected[i] : QStringList())
            if (!present.contains(column))
                throw fileError(kErrorDamaged, c.path,
                                QStringLiteral("в таблице «%1» нет столбца «%2»").arg(name, column));
    }
}

void migrate(StoreConnection &c, int from)
{
    // A copy first, so that a migration gone wrong loses nothing.
    const QString copy =
        c.path + QStringLiteral(".v%1-%2").arg(from).arg(Clock::current().now().toString("yyyyMMdd-HHmmss"));
    {
        sql::Connection target;
        const int rc = target.open(copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
        if (rc != SQLITE_OK)
            throw fileError(kErrorWrite, c.path, QStringLiteral("не удаётся сохранить копию перед обновлением"));
        makePrivate(copy);
        sqlite3_backup *b = sqlite3_backup_init(target.handle(), "main", c.db.handle(), "main");
        const int step = b ? sqlite3_backup_step(b, -1) : SQLITE_ERROR;
        sqlite3_backup_finish(b);
        if (step != SQLITE_DONE)
            throw fileError(kErrorWrite, c.path, sql::reason(target.handle(), step));
        // The copy is one file of its own, without a log beside it.
        target.exec("PRAGMA journal_mode = DELETE");
    }
    c.transaction([&] {
        // Another process may have migrated in the meantime.
        int v = static_cast<int>(c.db.integer("PRAGMA user_version").value_or(from));
        for (; v < kSchemaVersion; ++v)
            c.must(c.db.exec(kUpgrades[static_cast<size_t>(v - 1)]), SQLITE_OK);
        c.must(c.db.exec(QByteArray("PRAGMA user_version = " + QByteArray::number(kSchemaVersion)).constData()),
               SQLITE_OK);
    });
}

// The schema version of a file fit to open; nothing is written here.
qint64 checkSchema(StoreConnection &c)
{
    // The log may hold a newer header than the file: ask the engine.
    const std::optional<qint64> app = c.db.integer("PRAGMA application_id");
    if (!app)
        c.failRead(sqlite3_extended_errcode(c.db.handle()));
    if (*app != kApplicationId)
        throw fileError(kErrorForeign, c.path, QStringLiteral("это база данных другой программы"));
    const qint64 version = c.db.integer("PRAGMA user_version").value_or(0);
    if (version > kSchemaVersion)
        throw fileError(
            kErrorNewer, c.path,
            QStringLiteral("версия схемы %1, эта программа знает версии до %2").arg(version).arg(kSchemaVersion));
    if (version < 1)
        throw fileError(kErrorDamaged, c.path, QStringLiteral("нет версии схемы"));
    {
        sql::Statement check(c.db, "PRAGMA quick_check(1)");
        const int rc = check.step();
        if (rc != SQLITE_ROW)
            c.failRead(rc);
        const QString result = check.text(0);
        if (result != QLatin1String("ok"))
            throw fileError(kErrorDamaged, c.path, QStringLiteral("проверка нашла ошибку (%1)").arg(result));
    }
    checkTables(c, version);
    return version;
}

void configure(StoreConnection &c)
{
    c.db.exec("PRAGMA foreign_keys = ON");
    c.db.exec("PRAGMA synchronous = FULL");
    // What is deleted or rewritten is overwritten, not left in free pages.
    c.db.exec("PRAGMA secure_delete = ON");
    // Nor left in temporary files beside it.
    c.db.exec("PRAGMA temp_store = MEMORY");
    // Write-ahead log: readers never wait for the writer. Kept in the file;
    // asking again changes nothing.
    sql::Statement wal(c.db, "PRAGMA journal_mode = WAL");
    if (wal.step() != SQLITE_ROW || wal.text(0) != QLatin1String("wal"))
        throw fileError(kErrorUnreadable, c.path, QStringLiteral("не включается журнал записи (WAL)"));
}

// The diary, its log and its folder are the user's alone: put right what an
// older version or another program left readable to others.
void keepPrivate(const QString &path)
{
    for (const char *suffix : {"", "-wal", "-shm"})
        makePrivate(path + QLatin1String(suffix));
    const QString folder = QFileInfo(path).absolutePath();
    if (folder == QFileInfo(DiaryStore::defaultPath()).absolutePath())
        makePrivate(folder);
}

} // namespace

// Why the diary cannot be written, in Russian; empty when it can: the file
// and its folder (where the log goes) must both take writes.
QString whyReadOnly(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    for (const QString &p : {path, folder}) {
        if (::access(QFile::encodeName(p).constData(), W_OK) == 0)
            continue;
        const int e = errno;
        if (e == EROFS)
            return QStringLiteral("файловая система только для чтения");
        return p == path ? QStringLiteral("нет прав на запись в файл")
                         : QStringLiteral("нет прав на запись в папку «%1»").arg(folder);
    }
    return {};
}

// A diary that cannot be written, opened for reading: without its log
// beside it (nobody can write one there) it is read as it stands.
int openForReading(StoreConnection &c)
{
    const bool logBeside =
        QFileInfo::exists(c.path + QStringLiteral("-wal")) && QFileInfo::exists(c.path + QStringLiteral("-shm"));
    QUrl uri = QUrl::fromLocalFile(c.path);
    uri.setQuery(logBeside ? QStringLiteral("mode=ro") : QStringLiteral("mode=ro&immutable=1"));
    return c.db.open(QString::fromUtf8(uri.toEncoded()), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX);
}

void openFile(StoreConnection &c)
{
    checkHeader(c.path);
    c.readOnlyWhy = whyReadOnly(c.path);
    c.readOnly = !c.readOnlyWhy.isEmpty();
    if (!c.readOnly)
        keepPrivate(c.path);
    const int rc = c.readOnly ? openForReading(c) : c.db.open(c.path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    if (rc != SQLITE_OK)
        throw readError(c.path, rc, sqlite3_errstr(rc));
    sqlite3_busy_timeout(c.db.handle(), kBusyTimeoutMs);
    try {
        const qint64 version = checkSchema(c);
        if (c.readOnly) {
            if (version < kSchemaVersion)
                throw fileError(kErrorReadOnly, c.path,
                                QStringLiteral("дневник старой версии нельзя обновить: %1").arg(c.readOnlyWhy));
            return;
        }
        // Upgraded only once the file is known to open: a file refused is
        // never written.
        configure(c);
        if (version < kSchemaVersion) {
            migrate(c, static_cast<int>(version));
            checkTables(c, kSchemaVersion);
        }
    } catch (...) {
        c.forgetCached();
        c.db.close();
        throw;
    }
}

void createFile(const QString &path)
{
    const QFileInfo fi(path);
    const QString folder = fi.absolutePath();
    if (!makePrivateFolders(folder))
        throw fileError(kErrorWrite, path, QStringLiteral("не удаётся создать папку «%1»").arg(folder));
    // The new file is made whole under another name and then linked into
    // place, so that no process ever sees a half-made diary; when another
    // process linked its own first, that one is used.
    const QString tempPrefix = QStringLiteral(".") + fi.fileName() + QStringLiteral(".new-");
    removeStaleTemporaries(folder, tempPrefix);
    const QString temp = folder + QLatin1Char('/') + tempPrefix + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        sql::Connection fresh;
        int rc = fresh.open(temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
        if (rc != SQLITE_OK)
            throw fileError(kErrorWrite, path, sql::reason(rc, sqlite3_errstr(rc), errno));
        // before a byte is written: the log and the index take the file's mode
        makePrivate(temp);
        const QByteArray setup = QByteArray("PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL; BEGIN;")
                                 + schemaText() + "PRAGMA application_id = " + QByteArray::number(kApplicationId)
                                 + "; PRAGMA user_version = " + QByteArray::number(kSchemaVersion) + "; COMMIT;";
        rc = fresh.exec(setup.constData());
        if (rc != SQLITE_OK) {
            const Error e = fileError(kErrorWrite, path, sql::reason(fresh.handle(), rc));
            fresh.close();
            QFile::remove(temp);
            QFile::remove(temp + QStringLiteral("-wal"));
            QFile::remove(temp + QStringLiteral("-shm"));
            throw e;
        }
    }
    const int linked = ::link(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData());
    const int linkErrno = errno;
    QFile::remove(temp);
    if (linked != 0 && linkErrno != EEXIST)
        throw fileError(kErrorWrite, path, systemErrorText(linkErrno));
    syncFolder(folder);
}

} // namespace somnex::diary::store
