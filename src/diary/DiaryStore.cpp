#include "diary/DiaryStore.h"

#include "diary/LunarSnapshot.h"
#include "diary/Sqlite.h"
#include "diary/TextWords.h"
#include "dictionary/WordFinder.h"
#include "dictionary/WordIndex.h"
#include "platform/core/AtomicFile.h"
#include "platform/core/Clock.h"
#include "platform/core/DataFolders.h"
#include "platform/error/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QUuid>
#include <QVariant>

#include <sqlite3.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <span>
#include <unistd.h>
#include <unordered_map>
#include <variant>
#include <vector>

namespace somnex::diary {

namespace {

// The schema this program writes; user_version of the file.
constexpr int kSchemaVersion = 2;
// "SnxD": what tells our diary from any other SQLite file.
constexpr qint64 kApplicationId = 0x536E7844;
constexpr int kBusyTimeoutMs = 5000;
constexpr qint64 kTrashDays = 30;
constexpr int kMaxOffsetSeconds = 18 * 3600;

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

// The tables of every schema, checked before an upgrade touches the file,
// and those an upgrade adds, checked after it.
const char *const kTables[] = {"entry", "tag", "symbol", "stem", "word"};
const char *const kTablesSince2[] = {"body"};

QStringList columnsOf(sql::Connection &db, const char *table)
{
    QStringList names;
    sql::Statement s(db, "SELECT name FROM pragma_table_info(?1)");
    s.bind(1, QString::fromLatin1(table));
    while (s.step() == SQLITE_ROW)
        names << s.text(0);
    return names;
}

// The columns of every table as this program creates them, by table, in the
// order of kTables then kTablesSince2; read once from the schema itself.
const std::vector<QStringList> &schemaColumns()
{
    static const std::vector<QStringList> columns = [] {
        std::vector<QStringList> all;
        sql::Connection memory;
        if (memory.open(QStringLiteral(":memory:"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY) != SQLITE_OK
            || memory.exec(kSchema) != SQLITE_OK)
            return all;
        for (const char *table : kTables)
            all.push_back(columnsOf(memory, table));
        for (const char *table : kTablesSince2)
            all.push_back(columnsOf(memory, table));
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
};

const QString kSource = QStringLiteral("Diary");

// ---- errors --------------------------------------------------------------

Error fileError(long number, const QString &path, const QString &why)
{
    switch (number) {
    case kErrorDamaged:
        return Error(number, kSource,
                     QStringLiteral("Файл дневника снов «%1» повреждён: %2. Файл не изменён.").arg(path, why));
    case kErrorForeign:
        return Error(number, kSource,
                     QStringLiteral("Файл «%1» не является дневником снов: %2. Файл не изменён.").arg(path, why));
    case kErrorNewer:
        return Error(number, kSource,
                     QStringLiteral("Дневник снов «%1» записан более новой версией программы (%2). "
                                    "Эта версия его не изменяет.")
                         .arg(path, why));
    case kErrorWrite:
        return Error(number, kSource,
                     QStringLiteral("Не удалось записать в дневник снов «%1»: %2. Ничего не записано.").arg(path, why));
    default: break;
    }
    return Error(number, kSource, QStringLiteral("Не удаётся открыть дневник снов «%1»: %2.").arg(path, why));
}

Error badValue(const QString &why)
{
    return Error(kErrorBadValue, kSource, why);
}

Error notFound(const QString &id)
{
    return Error(kErrorNotFound, kSource, QStringLiteral("В дневнике снов нет записи «%1».").arg(id));
}

// The error of a failed SQLite call while opening or reading.
Error readError(const QString &path, int rc, const char *message, int systemErrno = 0)
{
    const int primary = rc & 0xff;
    if (primary == SQLITE_CORRUPT)
        return fileError(kErrorDamaged, path, sql::reason(rc, message));
    if (primary == SQLITE_NOTADB)
        return fileError(kErrorForeign, path, sql::reason(rc, message));
    return fileError(kErrorUnreadable, path, sql::reason(rc, message, systemErrno));
}

// ---- values in the file ----------------------------------------------------

constexpr const char *kLocalFormat = "yyyy-MM-ddTHH:mm:ss";

QString localText(const QDateTime &at)
{
    return at.toString(QLatin1String(kLocalFormat));
}

int digits(QStringView s, qsizetype from, qsizetype count, bool &ok)
{
    int v = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = s[i].unicode();
        if (c < u'0' || c > u'9') {
            ok = false;
            return 0;
        }
        v = v * 10 + (c - u'0');
    }
    return v;
}

// "yyyy-MM-dd" (and "THH:mm:ss" when withTime); quicker than QDateTime's
// parser, which matters for the list.
QDate parseDate(QStringView s, bool &ok)
{
    ok = s.size() >= 10;
    if (!ok)
        return {};
    const QDate d(digits(s, 0, 4, ok), digits(s, 5, 2, ok), digits(s, 8, 2, ok));
    ok = ok && d.isValid();
    return d;
}

QDateTime parseLocal(QStringView s, int offset)
{
    bool ok = s.size() == 19;
    if (!ok)
        return {};
    const QDate d = parseDate(s, ok);
    const QTime t(digits(s, 11, 2, ok), digits(s, 14, 2, ok), digits(s, 17, 2, ok));
    if (!ok || !t.isValid())
        return {};
    return QDateTime(d, t, Qt::OffsetFromUTC, offset);
}

QDate dateOfText(const QString &s)
{
    bool ok = false;
    const QDate d = parseDate(s, ok);
    return ok ? d : QDate();
}

QDateTime fromMs(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

QString kindsText(const QList<DreamKind> &kinds)
{
    QStringList codes;
    for (DreamKind k : kAllKinds)
        if (kinds.contains(k))
            codes << kindCode(k);
    return codes.join(QLatin1Char(' '));
}

QList<DreamKind> kindsOf(QStringView text)
{
    QList<DreamKind> kinds;
    for (QStringView code : text.split(u' ', Qt::SkipEmptyParts))
        if (const auto k = kindFromCode(code))
            kinds << *k;
    return kinds;
}

QString originCode(Symbol::Origin o)
{
    switch (o) {
    case Symbol::Origin::AddedByHand: return QStringLiteral("added");
    case Symbol::Origin::RemovedByHand: return QStringLiteral("removed");
    case Symbol::Origin::Found: break;
    }
    return QStringLiteral("found");
}

Symbol::Origin originOf(QStringView code)
{
    if (code == u"added")
        return Symbol::Origin::AddedByHand;
    if (code == u"removed")
        return Symbol::Origin::RemovedByHand;
    return Symbol::Origin::Found;
}

// ---- checking an entry -------------------------------------------------------

QString megabytes(qsizetype bytes)
{
    return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1);
}

void checkMoment(const QDateTime &at)
{
    if (!at.isValid())
        throw badValue(QStringLiteral("Неверный момент сна."));
    if (at.date().year() < kFirstYear || at.date().year() > kLastYear)
        throw badValue(QStringLiteral("Дата сна %1 вне допустимых пределов (годы %2–%3).")
                           .arg(at.date().toString(QStringLiteral("dd.MM.yyyy")))
                           .arg(kFirstYear)
                           .arg(kLastYear));
    if (std::abs(at.offsetFromUtc()) > kMaxOffsetSeconds)
        throw badValue(QStringLiteral("Неверное смещение от всемирного времени: %1 с.").arg(at.offsetFromUtc()));
}

void checkTexts(const Entry &e)
{
    if (!QStringView(e.text).isValidUtf16() || !QStringView(e.title).isValidUtf16())
        throw badValue(QStringLiteral("Текст сна содержит испорченные символы (половину суррогатной пары)."));
    const qsizetype bytes = e.text.toUtf8().size();
    if (bytes > kMaxTextBytes)
        throw badValue(QStringLiteral("Текст сна слишком длинный: %1 МБ, допускается не больше %2 МБ.")
                           .arg(megabytes(bytes), megabytes(kMaxTextBytes)));
    if (e.title.size() > kMaxTitleLength)
        throw badValue(QStringLiteral("Название сна слишком длинное: %1 знаков, допускается не больше %2.")
                           .arg(e.title.size())
                           .arg(kMaxTitleLength));
    if (e.id.size() > 100)
        throw badValue(QStringLiteral("Слишком длинный идентификатор записи."));
}

void checkScales(const Entry &e)
{
    if (e.clarity && (*e.clarity < 1 || *e.clarity > 4))
        throw badValue(QStringLiteral("Ясность сна задаётся от 1 до 4, а не %1.").arg(*e.clarity));
    if (e.mood && (*e.mood < -2 || *e.mood > 2))
        throw badValue(QStringLiteral("Настроение сна задаётся от -2 до +2, а не %1.").arg(*e.mood));
    if (e.place) {
        const Place &p = *e.place;
        if (!std::isfinite(p.latitude) || p.latitude < -90.0 || p.latitude > 90.0)
            throw badValue(QStringLiteral("Неверная широта: %1 (допускается от -90 до 90).").arg(p.latitude));
        if (!std::isfinite(p.longitude) || p.longitude < -180.0 || p.longitude > 180.0)
            throw badValue(QStringLiteral("Неверная долгота: %1 (допускается от -180 до 180).").arg(p.longitude));
    }
}

// The entry as it is stored: moment to whole seconds in its own offset, kinds
// and tags each once, tags trimmed, the night and the title shown.
Entry normalised(Entry e)
{
    checkMoment(e.at);
    const int offset = e.at.offsetFromUtc();
    const QTime t = e.at.time();
    e.at = QDateTime(e.at.date(), QTime(t.hour(), t.minute(), t.second()), Qt::OffsetFromUTC, offset);
    checkTexts(e);
    checkScales(e);
    e.night = nightOf(e.at);
    QList<DreamKind> kinds;
    for (DreamKind k : kAllKinds)
        if (e.kinds.contains(k))
            kinds << k;
    e.kinds = kinds;
    QList<Tag> tags;
    QSet<QString> seen;
    for (Tag tag : e.tags) {
        tag.text = tag.text.simplified();
        const QString k = dictionary::foldWord(tag.text);
        if (k.isEmpty() || seen.contains(k))
            continue;
        seen.insert(k);
        tags << tag;
    }
    e.tags = tags;
    if (e.fulfilment.mark == Mark::None)
        e.fulfilment.markedOn = QDate();
    else if (!e.fulfilment.markedOn.isValid())
        e.fulfilment.markedOn = Clock::current().today();
    return e;
}

using Value = std::variant<QString, qint64>;

// ---- the file header -------------------------------------------------------

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

} // namespace

// ---- the store -----------------------------------------------------------------

struct DiaryStore::Impl {
    QString path;
    sql::Connection db;
    SymbolSource symbols;
    dictionary::Stemmer stemmer;
    // The statements of the write path, prepared once per connection (an
    // import writes thousands of entries in one transaction); reset before
    // each use and when a write ends, so that none holds a read open.
    std::unordered_map<const char *, std::unique_ptr<sql::Statement>> statements;
    sql::Statement &cached(const char *sql);
    void resetCached();
    // The rows of the stems met in the write under way (no other writer can
    // change them meanwhile); emptied when it ends.
    QHash<QString, qint64> stemRows;

    bool open();
    void openChecked();
    void checkSchema();
    void migrate(int from);
    void configure();
    void create();
    void purgeOld();

    [[noreturn]] void failWrite(int rc);
    void must(int rc, int wanted = SQLITE_DONE)
    {
        if (rc != wanted)
            failWrite(rc);
    }
    template <class F>
    void write(F &&change);

    qint64 rowOf(const QString &id);
    // Whether the entry's moment or place differs from the stored one (read
    // outside any transaction; false when it is not stored).
    bool movedFromStored(const Entry &e);
    void bindEntry(sql::Statement &s, const Entry &e, qint64 created, qint64 updated, const QVariant &deleted);
    void writeChildren(qint64 n, const Entry &e);
    void writeWords(qint64 n, const Entry &e);
    // An entry as stored: defaults, id, symbols and (unless asked not to) its lunar snapshot.
    Entry prepared(Entry entry, bool lunar = true) const;
    void insert(const Entry &e, qint64 created, qint64 updated, const QVariant &deleted);
    bool put(const Entry &e);
    QList<Entry> wholeEntries(const char *tail);
    void changeOne(const QString &id, const char *query, std::optional<qint64> value);
    Entry readEntry(sql::Statement &s);
    QList<EntrySummary> summaries(const char *sql);
    QList<Symbol> withFoundSymbols(const Entry &e) const;
};

bool DiaryStore::Impl::open()
{
    if (db.isOpen())
        return true;
    if (!QFileInfo::exists(path))
        return false;
    openChecked();
    return true;
}

void DiaryStore::Impl::openChecked()
{
    checkHeader(path);
    const int rc = db.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    if (rc != SQLITE_OK)
        throw readError(path, rc, sqlite3_errstr(rc));
    sqlite3_busy_timeout(db.handle(), kBusyTimeoutMs);
    try {
        checkSchema();
        configure();
    } catch (...) {
        statements.clear();
        db.close();
        throw;
    }
    tryStep([&] { purgeOld(); });
}

namespace {

// A table altered by another program would fail every statement that names
// the missing column, in the middle of a write: refuse it when opening.
void checkColumns(sql::Connection &db, const QString &path)
{
    const std::vector<QStringList> &expected = schemaColumns();
    size_t i = 0;
    for (const auto &tables : {std::span<const char *const>(kTables), std::span<const char *const>(kTablesSince2)})
        for (const char *table : tables) {
            const QStringList present = columnsOf(db, table);
            for (const QString &column : i < expected.size() ? expected[i] : QStringList())
                if (!present.contains(column))
                    throw fileError(
                        kErrorDamaged, path,
                        QStringLiteral("в таблице «%1» нет столбца «%2»").arg(QLatin1String(table), column));
            ++i;
        }
}

} // namespace

void DiaryStore::Impl::checkSchema()
{
    // The log may hold a newer header than the file: ask the engine.
    const std::optional<qint64> app = db.integer("PRAGMA application_id");
    if (!app)
        throw readError(path, sqlite3_extended_errcode(db.handle()), db.message(), sqlite3_system_errno(db.handle()));
    if (*app != kApplicationId)
        throw fileError(kErrorForeign, path, QStringLiteral("это база данных другой программы"));
    const qint64 version = db.integer("PRAGMA user_version").value_or(0);
    if (version > kSchemaVersion)
        throw fileError(
            kErrorNewer, path,
            QStringLiteral("версия схемы %1, эта программа знает версии до %2").arg(version).arg(kSchemaVersion));
    if (version < 1)
        throw fileError(kErrorDamaged, path, QStringLiteral("нет версии схемы"));
    {
        sql::Statement check(db, "PRAGMA quick_check(1)");
        const int rc = check.step();
        if (rc != SQLITE_ROW)
            throw readError(path, rc, db.message(), sqlite3_system_errno(db.handle()));
        const QString result = check.text(0);
        if (result != QLatin1String("ok"))
            throw fileError(kErrorDamaged, path, QStringLiteral("проверка нашла ошибку (%1)").arg(result));
    }
    const auto checkTables = [&](const auto &tables) {
        for (const char *table : tables) {
            sql::Statement s(db, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?1");
            s.bind(1, QString::fromLatin1(table));
            if (s.step() != SQLITE_ROW)
                throw fileError(kErrorDamaged, path, QStringLiteral("нет таблицы «%1»").arg(QLatin1String(table)));
        }
    };
    checkTables(kTables);
    if (version < kSchemaVersion)
        migrate(static_cast<int>(version));
    checkTables(kTablesSince2);
    checkColumns(db, path);
}

void DiaryStore::Impl::migrate(int from)
{
    // A copy first, so that a migration gone wrong loses nothing.
    const QString copy =
        path + QStringLiteral(".v%1-%2").arg(from).arg(Clock::current().now().toString("yyyyMMdd-HHmmss"));
    {
        sql::Connection target;
        const int rc = target.open(copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
        if (rc != SQLITE_OK)
            throw fileError(kErrorWrite, path, QStringLiteral("не удаётся сохранить копию перед обновлением"));
        sqlite3_backup *b = sqlite3_backup_init(target.handle(), "main", db.handle(), "main");
        const int step = b ? sqlite3_backup_step(b, -1) : SQLITE_ERROR;
        sqlite3_backup_finish(b);
        if (step != SQLITE_DONE)
            throw fileError(kErrorWrite, path, sql::reason(target.handle(), step));
        // The copy is one file of its own, without a log beside it.
        target.exec("PRAGMA journal_mode = DELETE");
    }
    write([&] {
        // Another process may have migrated in the meantime.
        int v = static_cast<int>(db.integer("PRAGMA user_version").value_or(from));
        for (; v < kSchemaVersion; ++v)
            must(db.exec(kUpgrades[static_cast<size_t>(v - 1)]), SQLITE_OK);
        must(db.exec(QByteArray("PRAGMA user_version = " + QByteArray::number(kSchemaVersion)).constData()), SQLITE_OK);
    });
}

void DiaryStore::Impl::configure()
{
    db.exec("PRAGMA foreign_keys = ON");
    db.exec("PRAGMA synchronous = FULL");
    // Write-ahead log: readers never wait for the writer. Kept in the file;
    // asking again changes nothing.
    sql::Statement wal(db, "PRAGMA journal_mode = WAL");
    if (wal.step() != SQLITE_ROW || wal.text(0) != QLatin1String("wal"))
        throw fileError(kErrorUnreadable, path, QStringLiteral("не включается журнал записи (WAL)"));
}

void DiaryStore::Impl::create()
{
    const QFileInfo fi(path);
    const QString folder = fi.absolutePath();
    if (!QDir().mkpath(folder))
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
        const QByteArray setup = QByteArray("PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL; BEGIN;") + kSchema
                                 + "PRAGMA application_id = " + QByteArray::number(kApplicationId)
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

void DiaryStore::Impl::purgeOld()
{
    const qint64 before = Clock::current().msecsSinceEpoch() - kTrashDays * 86400 * 1000;
    sql::Statement any(db, "SELECT 1 FROM entry WHERE deleted_at IS NOT NULL AND deleted_at < ?1 LIMIT 1");
    any.bind(1, before);
    if (any.step() != SQLITE_ROW)
        return; // nothing to purge: no write lock taken
    write([&] {
        sql::Statement s(db, "DELETE FROM entry WHERE deleted_at IS NOT NULL AND deleted_at < ?1");
        must(s.bind(1, before).step());
    });
}

void DiaryStore::Impl::failWrite(int rc)
{
    throw fileError(kErrorWrite, path, sql::reason(db.handle(), rc));
}

sql::Statement &DiaryStore::Impl::cached(const char *sql)
{
    auto found = statements.find(sql);
    if (found != statements.end()) {
        found->second->reset();
        return *found->second;
    }
    auto s = std::make_unique<sql::Statement>(db, sql);
    if (s->prepareCode() != SQLITE_OK)
        failWrite(s->prepareCode());
    return *statements.emplace(sql, std::move(s)).first->second;
}

void DiaryStore::Impl::resetCached()
{
    for (auto &entry : statements)
        entry.second->reset();
}

template <class F>
void DiaryStore::Impl::write(F &&change)
{
    if (!open()) {
        create();
        openChecked();
    }
    must(db.exec("BEGIN IMMEDIATE"), SQLITE_OK);
    stemRows.clear();
    try {
        change();
        resetCached();
        stemRows.clear();
        must(db.exec("COMMIT"), SQLITE_OK);
    } catch (...) {
        resetCached();
        stemRows.clear();
        // SQLite may have rolled back by itself (a full disk); then there is
        // nothing left to roll back.
        if (!sqlite3_get_autocommit(db.handle()))
            db.exec("ROLLBACK");
        throw;
    }
}

qint64 DiaryStore::Impl::rowOf(const QString &id)
{
    sql::Statement s(db, "SELECT n FROM entry WHERE id = ?1");
    s.bind(1, id);
    const int rc = s.step();
    if (rc == SQLITE_ROW)
        return s.integer(0);
    if (rc != SQLITE_DONE)
        throw readError(path, rc, db.message(), sqlite3_system_errno(db.handle()));
    throw notFound(id);
}

// An entry's columns in the order bindEntry numbers them and readEntry reads
// them (e: entry, b: body).
const char *const kEntryColumns =
    "e.id, e.created, e.updated, e.at_local, e.at_offset, e.at_utc, e.zone, e.night, e.title, b.text, "
    "e.display_title, e.lucid, e.clarity, e.mood, e.kinds, e.place_name, e.place_lat, e.place_lon, e.mark, "
    "e.marked_on, e.mark_note, e.lunar_found, e.lunar_day, e.lunar_start, e.lunar_end, e.phase_picture, "
    "b.lunar_text, b.weekday_text, b.month_day_text, e.deleted_at, e.n";
const char *const kEntryFrom = " FROM entry e JOIN body b ON b.n = e.n";

void DiaryStore::Impl::bindEntry(sql::Statement &s, const Entry &e, qint64 created, qint64 updated,
                                 const QVariant &deleted)
{
    s.bind(1, e.id).bind(2, created).bind(3, updated);
    s.bind(4, localText(e.at)).bind(5, qint64(e.at.offsetFromUtc())).bind(6, e.at.toSecsSinceEpoch());
    s.bind(7, e.zone).bind(8, e.night.toString(Qt::ISODate)).bind(9, e.title).bind(10, e.text);
    s.bind(11, e.displayTitle()).bind(12, qint64(e.lucid)).bindOptional(13, e.clarity).bindOptional(14, e.mood);
    s.bind(15, kindsText(e.kinds));
    if (e.place)
        s.bind(16, e.place->name).bind(17, e.place->latitude).bind(18, e.place->longitude);
    else
        s.bindNull(16).bindNull(17).bindNull(18);
    s.bind(19, markCode(e.fulfilment.mark));
    if (e.fulfilment.markedOn.isValid())
        s.bind(20, e.fulfilment.markedOn.toString(Qt::ISODate));
    else
        s.bindNull(20);
    s.bind(21, e.fulfilment.note);
    const LunarSnapshot &l = e.lunar;
    s.bind(22, qint64(l.found)).bind(23, qint64(l.lunarDay));
    if (l.found)
        s.bind(24, localText(l.start)).bind(25, localText(l.end));
    else
        s.bindNull(24).bindNull(25);
    s.bind(26, qint64(l.phasePicture)).bind(27, l.lunarDayText).bind(28, l.weekdayText).bind(29, l.monthDayText);
    if (deleted.isValid())
        s.bind(30, deleted.toLongLong());
    else
        s.bindNull(30);
}

void DiaryStore::Impl::writeChildren(qint64 n, const Entry &e)
{
    sql::Statement &clearTags = cached("DELETE FROM tag WHERE n = ?1");
    must(clearTags.bind(1, n).step());
    sql::Statement &tag = cached("INSERT INTO tag (n, position, text, folded, kind) VALUES (?1, ?2, ?3, ?4, ?5)");
    for (qsizetype i = 0; i < e.tags.size(); ++i) {
        const Tag &t = e.tags[i];
        tag.bind(1, n)
            .bind(2, qint64(i))
            .bind(3, t.text)
            .bind(4, dictionary::foldWord(t.text))
            .bind(5, tagKindCode(t.kind));
        must(tag.step());
        tag.reset();
    }
    sql::Statement &clearSymbols = cached("DELETE FROM symbol WHERE n = ?1");
    must(clearSymbols.bind(1, n).step());
    sql::Statement &sym = cached("INSERT OR IGNORE INTO symbol (n, position, headword, folded, origin) "
                                 "VALUES (?1, ?2, ?3, ?4, ?5)");
    for (qsizetype i = 0; i < e.symbols.size(); ++i) {
        const Symbol &s = e.symbols[i];
        const QString headword = s.headword.trimmed();
        if (headword.isEmpty())
            continue;
        sym.bind(1, n)
            .bind(2, qint64(i))
            .bind(3, headword)
            .bind(4, dictionary::foldWord(headword))
            .bind(5, originCode(s.origin));
        must(sym.step());
        sym.reset();
    }
}

void DiaryStore::Impl::writeWords(qint64 n, const Entry &e)
{
    sql::Statement &clear = cached("DELETE FROM word WHERE n = ?1");
    must(clear.bind(1, n).step());
    QSet<QString> stems = stemsOf(e.title, stemmer);
    stems.unite(stemsOf(e.text, stemmer));
    sql::Statement &find = cached("SELECT s FROM stem WHERE text = ?1");
    sql::Statement &addStem = cached("INSERT INTO stem (text) VALUES (?1)");
    sql::Statement &add = cached("INSERT INTO word (s, n) VALUES (?1, ?2)");
    for (const QString &stem : stems) {
        qint64 s = stemRows.value(stem);
        if (s == 0) {
            find.bind(1, stem);
            const int rc = find.step();
            if (rc == SQLITE_ROW) {
                s = find.integer(0);
            } else {
                must(rc);
                must(addStem.bind(1, stem).step());
                addStem.reset();
                s = sqlite3_last_insert_rowid(db.handle());
            }
            find.reset();
            stemRows.insert(stem, s);
        }
        must(add.bind(1, s).bind(2, n).step());
        add.reset();
    }
}

QList<Symbol> DiaryStore::Impl::withFoundSymbols(const Entry &e) const
{
    if (!symbols)
        return e.symbols;
    const QString text = e.title.isEmpty() ? e.text : e.title + QLatin1Char('\n') + e.text;
    return mergeSymbols(e.symbols, symbols(text));
}

Entry DiaryStore::Impl::readEntry(sql::Statement &s)
{
    Entry e;
    e.id = s.text(0);
    e.created = fromMs(s.integer(1));
    e.updated = fromMs(s.integer(2));
    e.at = parseLocal(s.text(3), static_cast<int>(s.integer(4)));
    e.zone = s.text(6);
    e.night = dateOfText(s.text(7));
    e.title = s.text(8);
    e.text = s.text(9);
    e.lucid = s.integer(11) != 0;
    if (!s.isNull(12))
        e.clarity = static_cast<int>(s.integer(12));
    if (!s.isNull(13))
        e.mood = static_cast<int>(s.integer(13));
    e.kinds = kindsOf(s.text(14));
    if (!s.isNull(16))
        e.place = Place{s.text(15), s.real(16), s.real(17)};
    e.fulfilment.mark = markFromCode(s.text(18)).value_or(Mark::None);
    e.fulfilment.markedOn = dateOfText(s.text(19));
    e.fulfilment.note = s.text(20);
    LunarSnapshot &l = e.lunar;
    l.found = s.integer(21) != 0;
    l.lunarDay = static_cast<int>(s.integer(22));
    const int offset = e.at.isValid() ? e.at.offsetFromUtc() : 0;
    l.start = parseLocal(s.text(23), offset);
    l.end = parseLocal(s.text(24), offset);
    l.phasePicture = static_cast<int>(s.integer(25));
    l.lunarDayText = s.text(26);
    l.weekdayText = s.text(27);
    l.monthDayText = s.text(28);
    if (!s.isNull(29))
        e.deletedAt = fromMs(s.integer(29));
    return e;
}

QList<EntrySummary> DiaryStore::Impl::summaries(const char *query)
{
    QList<EntrySummary> out;
    if (!open())
        return out;
    sql::Statement s(db, query);
    int rc = 0;
    while ((rc = s.step()) == SQLITE_ROW) {
        EntrySummary e;
        e.id = s.text(0);
        e.at = parseLocal(s.text(1), static_cast<int>(s.integer(2)));
        e.night = dateOfText(s.text(3));
        e.displayTitle = s.text(4);
        e.lunarDay = static_cast<int>(s.integer(5));
        e.lucid = s.integer(6) != 0;
        e.kinds = kindsOf(s.text(7));
        e.mark = markFromCode(s.text(8)).value_or(Mark::None);
        if (!s.isNull(9))
            e.deletedAt = fromMs(s.integer(9));
        out << e;
    }
    if (rc != SQLITE_DONE)
        throw readError(path, rc, db.message(), sqlite3_system_errno(db.handle()));
    return out;
}

// ---- public calls ------------------------------------------------------------

QString DiaryStore::defaultPath()
{
    return userDataFolder() + QStringLiteral("/Diary/diary.sqlite");
}

DiaryStore::DiaryStore(const QString &path) : d_(std::make_unique<Impl>())
{
    d_->path = path;
    d_->open();
}

DiaryStore::~DiaryStore() = default;
DiaryStore::DiaryStore(DiaryStore &&) noexcept = default;
DiaryStore &DiaryStore::operator=(DiaryStore &&) noexcept = default;

const QString &DiaryStore::path() const
{
    return d_->path;
}

bool DiaryStore::exists() const
{
    return d_->db.isOpen() || QFileInfo::exists(d_->path);
}

void DiaryStore::setSymbolSource(SymbolSource source)
{
    d_->symbols = std::move(source);
}

Entry DiaryStore::Impl::prepared(Entry entry, bool lunar) const
{
    if (!entry.at.isValid()) {
        entry.at = momentNow();
        entry.zone = systemZoneName();
    }
    Entry e = normalised(std::move(entry));
    if (e.id.isEmpty())
        e.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (lunar)
        e.lunar = computeSnapshot(e.at, e.place);
    e.symbols = withFoundSymbols(e);
    return e;
}

void DiaryStore::Impl::insert(const Entry &e, qint64 created, qint64 updated, const QVariant &deleted)
{
    sql::Statement &exists = cached("SELECT 1 FROM entry WHERE id = ?1");
    if (exists.bind(1, e.id).step() == SQLITE_ROW)
        throw badValue(QStringLiteral("Запись «%1» уже есть в дневнике.").arg(e.id));
    sql::Statement &s = cached("INSERT INTO entry (id, created, updated, at_local, at_offset, at_utc, zone, night, "
                               "title, display_title, lucid, clarity, mood, kinds, place_name, place_lat, place_lon, "
                               "mark, marked_on, mark_note, lunar_found, lunar_day, lunar_start, lunar_end, "
                               "phase_picture, deleted_at) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?11, ?12, "
                               "?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21, ?22, ?23, ?24, ?25, ?26, ?30)");
    bindEntry(s, e, created, updated, deleted);
    must(s.step());
    const qint64 n = sqlite3_last_insert_rowid(db.handle());
    sql::Statement &body = cached("INSERT INTO body (n, text, lunar_text, weekday_text, month_day_text) "
                                  "VALUES (?31, ?10, ?27, ?28, ?29)");
    bindEntry(body, e, created, updated, deleted);
    must(body.bind(31, n).step());
    writeChildren(n, e);
    writeWords(n, e);
}

QString DiaryStore::add(Entry entry)
{
    const Entry e = d_->prepared(std::move(entry));
    d_->write([&] {
        const qint64 now = Clock::current().msecsSinceEpoch();
        d_->insert(e, now, now, {});
    });
    return e.id;
}

QStringList DiaryStore::addAll(QList<Entry> entries)
{
    QList<Entry> ready;
    ready.reserve(entries.size());
    QList<DatedPlace> moments;
    moments.reserve(entries.size());
    for (Entry &e : entries) {
        ready << d_->prepared(std::move(e), false);
        moments.append({ready.last().at, ready.last().place});
    }
    // the lunar days of many dreams, each lunation computed once
    const QList<LunarSnapshot> lunar = computeSnapshots(moments);
    for (qsizetype i = 0; i < ready.size(); ++i)
        ready[i].lunar = lunar[i];
    QStringList ids;
    if (ready.isEmpty())
        return ids;
    d_->write([&] {
        const qint64 now = Clock::current().msecsSinceEpoch();
        for (const Entry &e : ready)
            d_->insert(e, now, now, {});
    });
    for (const Entry &e : ready)
        ids << e.id;
    return ids;
}

// Adds the entry, or replaces the stored one of its id when this one was
// updated later; whether it wrote.
bool DiaryStore::Impl::put(const Entry &e)
{
    const QVariant deleted = e.deletedAt.isValid() ? QVariant(e.deletedAt.toMSecsSinceEpoch()) : QVariant();
    sql::Statement &old = cached("SELECT n, updated FROM entry WHERE id = ?1");
    const int rc = old.bind(1, e.id).step();
    if (rc != SQLITE_ROW) {
        must(rc);
        old.reset();
        insert(e, e.created.toMSecsSinceEpoch(), e.updated.toMSecsSinceEpoch(), deleted);
        return true;
    }
    if (old.integer(1) >= e.updated.toMSecsSinceEpoch())
        return false;
    const qint64 n = old.integer(0);
    old.reset();
    sql::Statement &s = cached("UPDATE entry SET created = ?2, updated = ?3, at_local = ?4, at_offset = ?5, "
                               "at_utc = ?6, zone = ?7, night = ?8, title = ?9, display_title = ?11, "
                               "lucid = ?12, clarity = ?13, mood = ?14, kinds = ?15, place_name = ?16, "
                               "place_lat = ?17, place_lon = ?18, mark = ?19, marked_on = ?20, mark_note = ?21, "
                               "lunar_found = ?22, lunar_day = ?23, lunar_start = ?24, lunar_end = ?25, "
                               "phase_picture = ?26, deleted_at = ?30 WHERE id = ?1");
    bindEntry(s, e, e.created.toMSecsSinceEpoch(), e.updated.toMSecsSinceEpoch(), deleted);
    must(s.step());
    sql::Statement &body = cached("UPDATE body SET text = ?10, lunar_text = ?27, weekday_text = ?28, "
                                  "month_day_text = ?29 WHERE n = ?31");
    bindEntry(body, e, e.created.toMSecsSinceEpoch(), e.updated.toMSecsSinceEpoch(), deleted);
    must(body.bind(31, n).step());
    writeChildren(n, e);
    writeWords(n, e);
    return true;
}

void DiaryStore::checkEntry(const Entry &entry)
{
    if (!entry.at.isValid())
        throw badValue(QStringLiteral("Неверный момент сна."));
    (void)normalised(entry);
}

int DiaryStore::putAll(QList<Entry> entries)
{
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(Clock::current().msecsSinceEpoch(), Qt::UTC);
    QList<Entry> ready;
    ready.reserve(entries.size());
    QList<DatedPlace> unknown; // the moments whose snapshot the file did not keep
    QList<qsizetype> unknownAt;
    for (Entry &given : entries) {
        if (!given.at.isValid())
            throw badValue(QStringLiteral("Неверный момент сна."));
        Entry e = normalised(std::move(given));
        if (e.id.isEmpty())
            e.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (!e.created.isValid())
            e.created = now;
        if (!e.updated.isValid())
            e.updated = now;
        if (e.lunar == LunarSnapshot()) {
            unknown.append({e.at, e.place});
            unknownAt.append(ready.size());
        }
        ready << std::move(e);
    }
    // an import's lunar days lunation by lunation
    const QList<LunarSnapshot> lunar = computeSnapshots(unknown);
    for (qsizetype i = 0; i < unknownAt.size(); ++i)
        ready[unknownAt[i]].lunar = lunar[i];
    int written = 0;
    if (ready.isEmpty())
        return written;
    d_->write([&] {
        for (const Entry &e : ready)
            written += d_->put(e) ? 1 : 0;
    });
    return written;
}

bool DiaryStore::Impl::movedFromStored(const Entry &e)
{
    sql::Statement old(db, "SELECT at_local, at_offset, place_name, place_lat, place_lon FROM entry WHERE id = ?1");
    old.bind(1, e.id);
    const int rc = old.step();
    if (rc != SQLITE_ROW) {
        must(rc);
        return false; // the write itself says the entry is missing
    }
    const std::optional<Place> oldPlace =
        old.isNull(3) ? std::nullopt : std::optional<Place>(Place{old.text(2), old.real(3), old.real(4)});
    return old.text(0) != localText(e.at) || old.integer(1) != e.at.offsetFromUtc() || oldPlace != e.place;
}

namespace {

// Raised inside an update's transaction when the stored moment or place
// turned out to differ after all (another writer moved it meanwhile): the
// transaction is given up, the lunar day computed outside, and the update
// run again.
struct SnapshotNeeded {};

} // namespace

void DiaryStore::update(const Entry &entry)
{
    Entry e = normalised(entry);
    if (!d_->open())
        throw notFound(e.id);
    // A moved moment or place needs the lunar day anew. The engine runs
    // before the write transaction opens, never inside it: a transaction is
    // held for as short a time as the statements take.
    std::optional<LunarSnapshot> fresh;
    if (d_->movedFromStored(e))
        fresh = computeSnapshot(e.at, e.place);
    for (;;) {
        try {
            updateOnce(e, fresh);
            return;
        } catch (const SnapshotNeeded &) {
            fresh = computeSnapshot(e.at, e.place);
        }
    }
}

void DiaryStore::updateOnce(Entry e, const std::optional<LunarSnapshot> &fresh)
{
    d_->write([&] {
        sql::Statement old(d_->db, "SELECT e.n, e.created, e.at_local, e.at_offset, e.title, b.text, e.place_name, "
                                   "e.place_lat, e.place_lon, e.deleted_at FROM entry e JOIN body b ON b.n = e.n "
                                   "WHERE e.id = ?1");
        old.bind(1, e.id);
        const int rc = old.step();
        if (rc != SQLITE_ROW) {
            d_->must(rc);
            throw notFound(e.id);
        }
        const qint64 n = old.integer(0);
        const bool momentChanged = old.text(2) != localText(e.at) || old.integer(3) != e.at.offsetFromUtc();
        const std::optional<Place> oldPlace =
            old.isNull(7) ? std::nullopt : std::optional<Place>(Place{old.text(6), old.real(7), old.real(8)});
        const bool placeChanged = oldPlace != e.place;
        const bool textChanged = old.text(4) != e.title || old.text(5) != e.text;
        if (momentChanged || placeChanged) {
            if (!fresh)
                throw SnapshotNeeded{};
            e.lunar = *fresh;
        } else {
            sql::Statement keep(d_->db, QByteArray("SELECT ") + kEntryColumns + kEntryFrom + " WHERE e.n = ?1");
            keep.bind(1, n);
            d_->must(keep.step(), SQLITE_ROW);
            e.lunar = d_->readEntry(keep).lunar;
        }
        if (textChanged)
            e.symbols = d_->withFoundSymbols(e);
        const QVariant deleted = old.isNull(9) ? QVariant() : QVariant(old.integer(9));
        const qint64 created = old.integer(1);
        sql::Statement s(d_->db, "UPDATE entry SET created = ?2, updated = ?3, at_local = ?4, at_offset = ?5, "
                                 "at_utc = ?6, zone = ?7, night = ?8, title = ?9, display_title = ?11, "
                                 "lucid = ?12, clarity = ?13, mood = ?14, kinds = ?15, place_name = ?16, "
                                 "place_lat = ?17, place_lon = ?18, mark = ?19, marked_on = ?20, mark_note = ?21, "
                                 "lunar_found = ?22, lunar_day = ?23, lunar_start = ?24, lunar_end = ?25, "
                                 "phase_picture = ?26, deleted_at = ?30 WHERE id = ?1");
        const qint64 now = Clock::current().msecsSinceEpoch();
        d_->bindEntry(s, e, created, now, deleted);
        d_->must(s.step());
        sql::Statement body(d_->db, "UPDATE body SET text = ?10, lunar_text = ?27, weekday_text = ?28, "
                                    "month_day_text = ?29 WHERE n = ?31");
        d_->bindEntry(body, e, created, now, deleted);
        d_->must(body.bind(31, n).step());
        d_->writeChildren(n, e);
        if (textChanged)
            d_->writeWords(n, e);
    });
}

void DiaryStore::setFulfilment(const QString &id, const Fulfilment &fulfilment)
{
    Fulfilment f = fulfilment;
    if (f.mark == Mark::None)
        f.markedOn = QDate();
    else if (!f.markedOn.isValid())
        f.markedOn = Clock::current().today();
    if (!d_->open())
        throw notFound(id);
    d_->write([&] {
        sql::Statement s(d_->db, "UPDATE entry SET mark = ?2, marked_on = ?3, mark_note = ?4, updated = ?5 "
                                 "WHERE id = ?1");
        s.bind(1, id).bind(2, markCode(f.mark)).bind(4, f.note).bind(5, Clock::current().msecsSinceEpoch());
        if (f.markedOn.isValid())
            s.bind(3, f.markedOn.toString(Qt::ISODate));
        else
            s.bindNull(3);
        d_->must(s.step());
        if (sqlite3_changes(d_->db.handle()) == 0)
            throw notFound(id);
    });
}

// One statement over one entry by id; the entry must exist.
void DiaryStore::Impl::changeOne(const QString &id, const char *query, std::optional<qint64> value)
{
    if (!open())
        throw notFound(id);
    write([&] {
        sql::Statement s(db, query);
        s.bind(1, id);
        if (value)
            s.bind(2, *value);
        must(s.step());
        if (sqlite3_changes(db.handle()) == 0)
            throw notFound(id);
    });
}

void DiaryStore::moveToTrash(const QString &id)
{
    d_->changeOne(id, "UPDATE entry SET deleted_at = coalesce(deleted_at, ?2) WHERE id = ?1",
                  Clock::current().msecsSinceEpoch());
}

void DiaryStore::restore(const QString &id)
{
    d_->changeOne(id, "UPDATE entry SET deleted_at = NULL WHERE id = ?1", std::nullopt);
}

void DiaryStore::purge(const QString &id)
{
    d_->changeOne(id, "DELETE FROM entry WHERE id = ?1", std::nullopt);
}

int DiaryStore::purgeTrash(const QDateTime &before)
{
    if (!d_->open())
        return 0;
    int count = 0;
    d_->write([&] {
        sql::Statement s(d_->db, "DELETE FROM entry WHERE deleted_at IS NOT NULL AND deleted_at < ?1");
        d_->must(s.bind(1, before.toMSecsSinceEpoch()).step());
        count = sqlite3_changes(d_->db.handle());
    });
    return count;
}

std::optional<Entry> DiaryStore::entry(const QString &id) const
{
    if (!d_->open())
        return std::nullopt;
    sql::Statement s(d_->db, QByteArray("SELECT ") + kEntryColumns + kEntryFrom + " WHERE e.id = ?1");
    s.bind(1, id);
    const int rc = s.step();
    if (rc == SQLITE_DONE)
        return std::nullopt;
    if (rc != SQLITE_ROW)
        throw readError(d_->path, rc, d_->db.message(), sqlite3_system_errno(d_->db.handle()));
    Entry e = d_->readEntry(s);
    const qint64 n = s.integer(30);
    sql::Statement tags(d_->db, "SELECT text, kind FROM tag WHERE n = ?1 ORDER BY position");
    tags.bind(1, n);
    while (tags.step() == SQLITE_ROW)
        e.tags << Tag{tags.text(0), tagKindFromCode(tags.text(1)).value_or(TagKind::Plain)};
    sql::Statement symbols(d_->db, "SELECT headword, origin FROM symbol WHERE n = ?1 ORDER BY position");
    symbols.bind(1, n);
    while (symbols.step() == SQLITE_ROW)
        e.symbols << Symbol{symbols.text(0), originOf(symbols.text(1))};
    return e;
}

QString DiaryStore::resolveId(const QString &idOrPrefix) const
{
    const QString p = idOrPrefix.trimmed().toLower();
    if (p.size() < 4 || !d_->open())
        throw notFound(idOrPrefix);
    sql::Statement exact(d_->db, "SELECT id FROM entry WHERE id = ?1");
    if (exact.bind(1, idOrPrefix.trimmed()).step() == SQLITE_ROW)
        return exact.text(0);
    // Ids are made of hex digits and hyphens: a prefix range needs no escaping.
    sql::Statement s(d_->db, "SELECT id FROM entry WHERE id >= ?1 AND id < ?2 LIMIT 2");
    s.bind(1, p).bind(2, p + QChar(0xffff));
    QStringList found;
    while (s.step() == SQLITE_ROW)
        found << s.text(0);
    if (found.size() == 1)
        return found.first();
    if (found.isEmpty())
        throw notFound(idOrPrefix);
    throw Error(
        kErrorNotFound, kSource,
        QStringLiteral("Начало «%1» подходит к нескольким записям дневника; укажите больше знаков.").arg(idOrPrefix));
}

QList<EntrySummary> DiaryStore::list() const
{
    return d_->summaries("SELECT id, at_local, at_offset, night, display_title, lunar_day * lunar_found, lucid, "
                         "kinds, mark, deleted_at FROM entry WHERE deleted_at IS NULL "
                         "ORDER BY night DESC, at_utc DESC, id");
}

// Entries whole, read at once: the entry rows in the order the query's tail
// gives, then every tag and symbol in one pass each.
QList<Entry> DiaryStore::Impl::wholeEntries(const char *tail)
{
    QList<Entry> all;
    if (!open())
        return all;
    QHash<qint64, qsizetype> index;
    sql::Statement s(db, QByteArray("SELECT ") + kEntryColumns + kEntryFrom + tail);
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) {
        index.insert(s.integer(30), all.size());
        all.append(readEntry(s));
    }
    if (rc != SQLITE_DONE)
        throw readError(path, rc, db.message(), sqlite3_system_errno(db.handle()));
    sql::Statement tags(db, "SELECT n, text, kind FROM tag ORDER BY n, position");
    while (tags.step() == SQLITE_ROW)
        if (const auto it = index.constFind(tags.integer(0)); it != index.constEnd())
            all[*it].tags << Tag{tags.text(1), tagKindFromCode(tags.text(2)).value_or(TagKind::Plain)};
    sql::Statement marks(db, "SELECT n, headword, origin FROM symbol ORDER BY n, position");
    while (marks.step() == SQLITE_ROW)
        if (const auto it = index.constFind(marks.integer(0)); it != index.constEnd())
            all[*it].symbols << Symbol{marks.text(1), originOf(marks.text(2))};
    return all;
}

QList<Entry> DiaryStore::entries() const
{
    return d_->wholeEntries(" WHERE e.deleted_at IS NULL ORDER BY e.night DESC, e.at_utc DESC, e.id");
}

QList<Entry> DiaryStore::allEntries() const
{
    return d_->wholeEntries(" ORDER BY e.at_utc, e.id");
}

QList<EntrySummary> DiaryStore::trash() const
{
    return d_->summaries("SELECT id, at_local, at_offset, night, display_title, lunar_day * lunar_found, lucid, "
                         "kinds, mark, deleted_at FROM entry WHERE deleted_at IS NOT NULL "
                         "ORDER BY deleted_at DESC, id");
}

namespace {

// The query of a search, its parameters in values; std::nullopt when the
// text holds no word to find (punctuation only).
std::optional<QByteArray> searchQuery(const Filter &filter, dictionary::Stemmer &stemmer, std::vector<Value> &values)
{
    QByteArray q = "SELECT e.id FROM entry e WHERE e.deleted_at IS NULL";
    auto param = [&](Value v) {
        values.push_back(std::move(v));
        return "?" + QByteArray::number(qsizetype(values.size()));
    };
    if (!filter.text.trimmed().isEmpty()) {
        const QStringList stems = queryStems(filter.text, stemmer);
        if (stems.isEmpty())
            return std::nullopt;
        for (const QString &stem : stems)
            q += " AND e.n IN (SELECT w.n FROM word w JOIN stem s ON s.s = w.s WHERE s.text = " + param(stem) + ")";
    }
    for (const QString &tag : filter.tags)
        q += " AND e.n IN (SELECT n FROM tag WHERE folded = " + param(dictionary::foldWord(tag.simplified())) + ")";
    for (DreamKind k : filter.kinds)
        q += " AND instr(' ' || e.kinds || ' ', ' ' || " + param(kindCode(k)) + " || ' ') > 0";
    if (filter.lucid)
        q += " AND e.lucid = " + param(qint64(*filter.lucid));
    if (filter.mark)
        q += " AND e.mark = " + param(markCode(*filter.mark));
    if (!filter.symbol.trimmed().isEmpty())
        q += " AND e.n IN (SELECT n FROM symbol WHERE origin <> 'removed' AND folded = "
             + param(dictionary::foldWord(filter.symbol.trimmed())) + ")";
    if (filter.nightFrom.isValid())
        q += " AND e.night >= " + param(filter.nightFrom.toString(Qt::ISODate));
    if (filter.nightTo.isValid())
        q += " AND e.night <= " + param(filter.nightTo.toString(Qt::ISODate));
    q += " ORDER BY e.night DESC, e.at_utc DESC, e.id";
    return q;
}

void bindValues(sql::Statement &s, const std::vector<Value> &values)
{
    for (size_t i = 0; i < values.size(); ++i) {
        const int index = static_cast<int>(i + 1);
        if (const auto *text = std::get_if<QString>(&values[i]))
            s.bind(index, *text);
        else
            s.bind(index, std::get<qint64>(values[i]));
    }
}

} // namespace

QStringList DiaryStore::search(const Filter &filter) const
{
    QStringList ids;
    if (!d_->open())
        return ids;
    std::vector<Value> values;
    const std::optional<QByteArray> q = searchQuery(filter, d_->stemmer, values);
    if (!q)
        return ids;
    sql::Statement s(d_->db, q->constData());
    bindValues(s, values);
    int rc = 0;
    while ((rc = s.step()) == SQLITE_ROW)
        ids << s.text(0);
    if (rc != SQLITE_DONE)
        throw readError(d_->path, rc, d_->db.message(), sqlite3_system_errno(d_->db.handle()));
    return ids;
}

QList<Tag> DiaryStore::allTags() const
{
    QList<Tag> tags;
    if (!d_->open())
        return tags;
    sql::Statement s(d_->db, "SELECT min(text), kind FROM tag GROUP BY folded, kind ORDER BY folded, kind");
    while (s.step() == SQLITE_ROW)
        tags << Tag{s.text(0), tagKindFromCode(s.text(1)).value_or(TagKind::Plain)};
    return tags;
}

void DiaryStore::backupTo(const QString &target) const
{
    if (!d_->open())
        throw Error(kErrorNotFound, kSource, QStringLiteral("Дневник снов ещё пуст: копировать нечего."));
    const QString temp = target + QStringLiteral(".part");
    QFile::remove(temp);
    int step = SQLITE_ERROR;
    QString why;
    {
        sql::Connection copy;
        int rc = copy.open(temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
        if (rc == SQLITE_OK) {
            sqlite3_backup *b = sqlite3_backup_init(copy.handle(), "main", d_->db.handle(), "main");
            step = b ? sqlite3_backup_step(b, -1) : sqlite3_errcode(copy.handle());
            sqlite3_backup_finish(b);
            if (step == SQLITE_DONE)
                copy.exec("PRAGMA journal_mode = DELETE");
            why = sql::reason(step, copy.message());
        } else {
            why = sql::reason(rc, sqlite3_errstr(rc));
        }
    }
    if (step != SQLITE_DONE || !(QFile::remove(target) || !QFileInfo::exists(target)) || !QFile::rename(temp, target)) {
        QFile::remove(temp);
        throw Error(kErrorWrite, kSource,
                    QStringLiteral("Не удалось сохранить копию дневника снов в «%1»: %2.")
                        .arg(target, why.isEmpty() ? QStringLiteral("файл не переименовывается") : why));
    }
}

QString DiaryStore::moveAside(const QString &path)
{
    const QString stamp = Clock::current().now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path + QStringLiteral(".damaged-") + stamp;
    for (int i = 2; QFileInfo::exists(target); ++i)
        target = path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(i);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0)
        throw Error(
            kErrorWrite, kSource,
            QStringLiteral("Не удалось переименовать файл дневника снов «%1»: %2.").arg(path, systemErrorText(errno)));
    // The log belongs to the file moved: left behind it would be replayed
    // into the new diary.
    for (const char *suffix : {"-wal", "-shm"}) {
        const QString from = path + QLatin1String(suffix);
        if (QFileInfo::exists(from))
            ::rename(QFile::encodeName(from).constData(),
                     QFile::encodeName(target + QLatin1String(suffix)).constData());
    }
    syncFolder(QFileInfo(path).absolutePath());
    return target;
}

} // namespace somnex::diary
