#include "diary/DiaryStore.h"

#include "diary/LunarSnapshot.h"
#include "diary/TextCodec.h"
#include "diary/seal/DiaryKey.h"
#include "diary/store/EntryChecks.h"
#include "diary/store/EntryColumns.h"
#include "diary/store/StoreConnection.h"
#include "diary/store/StoreErrors.h"
#include "diary/store/StoreIndex.h"
#include "diary/store/StoreSchema.h"
#include "dictionary/WordFinder.h"
#include "dictionary/WordIndex.h"
#include "platform/core/AtomicFile.h"
#include "platform/core/Clock.h"
#include "platform/core/DataFolders.h"
#include "platform/error/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>

namespace somnex::diary {

using namespace store;

namespace {

constexpr qint64 kTrashDays = 30;

QByteArray selectWhere(const char *tail)
{
    return QByteArray("SELECT ") + selectColumns() + joinedTables() + tail;
}

} // namespace

struct DiaryStore::Impl {
    StoreConnection c;
    SymbolSource symbols;
    std::shared_ptr<const TextCodec> codec = plainTextCodec();
    bool keyed = false; // the codec is this private diary's key
    dictionary::Stemmer stemmer;

    bool open();
    void openChecked();
    void purgeOld();
    template <class F>
    void write(F &&change);

    // A private diary: its keyring, and the refusal to read or write it
    // without its key (or to seal into a diary another process made plain).
    qint64 keyringRows();
    void checkKey();
    std::optional<KeyWrap> wrapOf(const char *kind);
    void putWrap(const char *kind, const KeyWrap &w);
    DataKey keyFrom(const QString &passwordOrRecoveryKey);
    // Every entry written again under another codec, the index with it.
    void rewriteAll(const std::shared_ptr<const TextCodec> &next);
    // Overwrites what the log and the free pages still hold of the old.
    void scrub();
    QList<std::pair<qint64, StoredEntry>> wholeRows(const char *tail);

    // Whether the entry's moment or place differs from the stored one (read
    // outside any transaction; false when it is not stored).
    bool movedFromStored(const Entry &e);
    // An entry as stored: defaults, id, symbols and (unless asked not to) its lunar snapshot.
    Entry prepared(Entry entry, bool lunar = true) const;
    void writeRow(const StoredEntry &row, std::optional<qint64> n, bool words = true);
    void insert(const StoredEntry &row);
    bool put(const Entry &e);
    StoredEntry readRow(const QString &id);
    QList<Entry> wholeEntries(const char *tail);
    void changeOne(const QString &id, const char *query, std::optional<qint64> value);
    QList<EntrySummary> summaries(const char *sql);
    QList<Symbol> withFoundSymbols(const Entry &e) const;
};

bool DiaryStore::Impl::open()
{
    if (c.db.isOpen())
        return true;
    if (!QFileInfo::exists(c.path))
        return false;
    openChecked();
    return true;
}

void DiaryStore::Impl::openChecked()
{
    openFile(c);
    if (!c.readOnly)
        tryStep([&] { purgeOld(); });
}

void DiaryStore::Impl::purgeOld()
{
    const qint64 before = Clock::current().msecsSinceEpoch() - kTrashDays * 86400 * 1000;
    sql::Statement any(c.db, "SELECT 1 FROM entry WHERE deleted_at IS NOT NULL AND deleted_at < ?1 LIMIT 1");
    any.bind(1, before);
    if (any.step() != SQLITE_ROW)
        return; // nothing to purge: no write lock taken
    write([&] {
        sql::Statement s(c.db, "DELETE FROM entry WHERE deleted_at IS NOT NULL AND deleted_at < ?1");
        c.must(s.bind(1, before).step());
    });
}

template <class F>
void DiaryStore::Impl::write(F &&change)
{
    if (!open()) {
        createFile(c.path);
        openChecked();
    }
    c.transaction([&] {
        checkKey();
        change();
    });
}

qint64 DiaryStore::Impl::keyringRows()
{
    return c.db.integer("SELECT count(*) FROM keyring").value_or(0);
}

void DiaryStore::Impl::checkKey()
{
    const qint64 rows = keyringRows();
    if (rows > 0 && !keyed)
        throw storeError(kErrorLocked, QStringLiteral("Дневник снов закрыт паролем: сначала откройте его."));
    if (rows == 0 && keyed)
        throw storeError(kErrorLocked, QStringLiteral("Дневник снов больше не закрыт паролем: откройте его заново."));
}

std::optional<KeyWrap> DiaryStore::Impl::wrapOf(const char *kind)
{
    sql::Statement s(c.db, "SELECT salt, passes, memory, nonce, wrapped FROM keyring WHERE kind = ?1");
    s.bind(1, QString::fromLatin1(kind));
    if (s.step() != SQLITE_ROW)
        return std::nullopt;
    KeyWrap w;
    w.salt = s.blob(0);
    w.cost.passes = static_cast<unsigned long long>(std::max<qint64>(0, s.integer(1)));
    w.cost.memory = static_cast<size_t>(std::max<qint64>(0, s.integer(2)));
    w.nonce = s.blob(3);
    w.wrapped = s.blob(4);
    return w;
}

void DiaryStore::Impl::putWrap(const char *kind, const KeyWrap &w)
{
    sql::Statement s(c.db, "INSERT OR REPLACE INTO keyring (kind, salt, passes, memory, nonce, wrapped) "
                           "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    s.bind(1, QString::fromLatin1(kind))
        .bindBlob(2, w.salt)
        .bind(3, qint64(w.cost.passes))
        .bind(4, qint64(w.cost.memory))
        .bindBlob(5, w.nonce)
        .bindBlob(6, w.wrapped);
    c.must(s.step());
}

// The data key the password or the recovery key opens.
DataKey DiaryStore::Impl::keyFrom(const QString &secret)
{
    if (const std::optional<KeyWrap> w = wrapOf("password"))
        if (std::optional<DataKey> k = unwrapWithPassword(*w, secret))
            return std::move(*k);
    if (const std::optional<KeyWrap> w = wrapOf("recovery"))
        if (std::optional<DataKey> k = unwrapWithRecoveryKey(*w, secret))
            return std::move(*k);
    throw storeError(kErrorWrongPassword, QStringLiteral("Неверный пароль"));
}

void DiaryStore::Impl::rewriteAll(const std::shared_ptr<const TextCodec> &next)
{
    const QList<std::pair<qint64, StoredEntry>> rows = wholeRows(" ORDER BY e.n");
    c.must(c.db.exec("DELETE FROM word; DELETE FROM stem;"), SQLITE_OK);
    c.stemRows.clear();
    codec = next;
    for (const auto &[n, row] : rows)
        writeRow(row, n);
}

void DiaryStore::Impl::scrub()
{
    c.db.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    c.db.exec("VACUUM");
    c.db.exec("PRAGMA wal_checkpoint(TRUNCATE)");
}

// Writes both tables of a row, the children and (when asked) the stems: an
// UPDATE of the row numbered n, or an INSERT when there is none yet.
void DiaryStore::Impl::writeRow(const StoredEntry &row, std::optional<qint64> n, bool words)
{
    sql::Statement &entry = c.cached(n ? updateStatement(Table::Entry) : insertStatement(Table::Entry));
    bindColumns(entry, Table::Entry, row, *codec);
    c.must(entry.step());
    const qint64 number = n ? *n : sqlite3_last_insert_rowid(c.db.handle());
    sql::Statement &body = c.cached(n ? updateStatement(Table::Body) : insertStatement(Table::Body));
    bindColumns(body, Table::Body, row, *codec);
    c.must(body.bind(1, number).step());
    writeTagsAndSymbols(c, *codec, number, row.entry);
    if (words)
        writeWords(c, *codec, stemmer, number, row.entry);
}

void DiaryStore::Impl::insert(const StoredEntry &row)
{
    sql::Statement &exists = c.cached("SELECT 1 FROM entry WHERE id = ?1");
    if (exists.bind(1, row.entry.id).step() == SQLITE_ROW)
        throw badValue(QStringLiteral("Запись «%1» уже есть в дневнике.").arg(row.entry.id));
    writeRow(row, std::nullopt);
}

// Adds the entry, or replaces the stored one of its id when this one was
// updated later; whether it wrote.
bool DiaryStore::Impl::put(const Entry &e)
{
    StoredEntry row{e, e.created.toMSecsSinceEpoch(), e.updated.toMSecsSinceEpoch(), std::nullopt};
    if (e.deletedAt.isValid())
        row.deleted = e.deletedAt.toMSecsSinceEpoch();
    sql::Statement &old = c.cached("SELECT n, updated FROM entry WHERE id = ?1");
    const int rc = old.bind(1, e.id).step();
    if (rc != SQLITE_ROW) {
        c.must(rc);
        old.reset();
        insert(row);
        return true;
    }
    if (old.integer(1) >= row.updated)
        return false;
    const qint64 n = old.integer(0);
    old.reset();
    writeRow(row, n);
    return true;
}

QList<Symbol> DiaryStore::Impl::withFoundSymbols(const Entry &e) const
{
    if (!symbols)
        return e.symbols;
    const QString text = e.title.isEmpty() ? e.text : e.title + QLatin1Char('\n') + e.text;
    return mergeSymbols(e.symbols, symbols(text));
}

// The entry of this id with its tags and symbols; the entry's id empty when
// there is none.
StoredEntry DiaryStore::Impl::readRow(const QString &id)
{
    sql::Statement s(c.db, selectWhere(" WHERE e.id = ?1").constData());
    s.bind(1, id);
    const int rc = s.step();
    if (rc == SQLITE_DONE)
        return {};
    if (rc != SQLITE_ROW)
        c.failRead(rc);
    StoredEntry row = readColumns(s, *codec);
    const qint64 n = s.integer(columnOfRow());
    sql::Statement tags(c.db, "SELECT text, kind FROM tag WHERE n = ?1 ORDER BY position");
    tags.bind(1, n);
    while (tags.step() == SQLITE_ROW)
        row.entry.tags << Tag{codec->open(tags.text(0), {id, QLatin1StringView("tag")}),
                              tagKindFromCode(tags.text(1)).value_or(TagKind::Plain)};
    sql::Statement marks(c.db, "SELECT headword, origin FROM symbol WHERE n = ?1 ORDER BY position");
    marks.bind(1, n);
    while (marks.step() == SQLITE_ROW)
        row.entry.symbols << Symbol{codec->open(marks.text(0), {id, QLatin1StringView("symbol")}),
                                    originOf(marks.text(1))};
    return row;
}

QList<EntrySummary> DiaryStore::Impl::summaries(const char *query)
{
    QList<EntrySummary> out;
    if (!open())
        return out;
    checkKey();
    sql::Statement s(c.db, query);
    int rc = 0;
    while ((rc = s.step()) == SQLITE_ROW) {
        EntrySummary e;
        e.id = s.text(0);
        e.at = parseLocal(s.text(1), static_cast<int>(s.integer(2)));
        e.night = dateOfText(s.text(3));
        try {
            e.displayTitle = codec->open(s.text(4), {e.id, QLatin1StringView("display_title")});
        } catch (const Error &) {
            // one damaged entry leaves the others listed; opening it says why
            e.displayTitle = QStringLiteral("Запись повреждена");
        }
        e.lunarDay = static_cast<int>(s.integer(5));
        e.lucid = s.integer(6) != 0;
        e.kinds = kindsOf(s.text(7));
        e.mark = markFromCode(s.text(8)).value_or(Mark::None);
        if (!s.isNull(9))
            e.deletedAt = fromMs(s.integer(9));
        out << e;
    }
    if (rc != SQLITE_DONE)
        c.failRead(rc);
    return out;
}

// ---- public calls ------------------------------------------------------------

QString DiaryStore::defaultPath()
{
    return userDataFolder() + QStringLiteral("/Diary/diary.sqlite");
}

DiaryStore::DiaryStore(const QString &path) : d_(std::make_unique<Impl>())
{
    d_->c.path = path;
    d_->open();
}

DiaryStore::~DiaryStore() = default;

const QString &DiaryStore::path() const
{
    return d_->c.path;
}

QString DiaryStore::readOnlyReason() const
{
    return d_->open() && d_->c.readOnly ? d_->c.readOnlyWhy : QString();
}

bool DiaryStore::exists() const
{
    return d_->c.db.isOpen() || QFileInfo::exists(d_->c.path);
}

void DiaryStore::setSymbolSource(SymbolSource source)
{
    d_->symbols = std::move(source);
}

void DiaryStore::setCodec(std::shared_ptr<const TextCodec> codec)
{
    d_->codec = codec ? std::move(codec) : plainTextCodec();
    // A private diary's codec handed on (to a copy of it) opens the copy;
    // whether it is the right key, each field says as it opens.
    d_->keyed = !d_->codec->plain() && d_->open() && d_->keyringRows() > 0;
}

const std::shared_ptr<const TextCodec> &DiaryStore::codec() const
{
    return d_->codec;
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

QString DiaryStore::add(Entry entry)
{
    const Entry e = d_->prepared(std::move(entry));
    d_->write([&] {
        const qint64 now = Clock::current().msecsSinceEpoch();
        d_->insert({e, now, now, std::nullopt});
    });
    emit changed(Change::Added, {e.id});
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
            d_->insert({e, now, now, std::nullopt});
    });
    for (const Entry &e : ready)
        ids << e.id;
    emit changed(Change::Added, ids);
    return ids;
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
    QStringList written;
    if (ready.isEmpty())
        return 0;
    d_->write([&] {
        written.clear();
        for (const Entry &e : ready)
            if (d_->put(e))
                written << e.id;
    });
    if (!written.isEmpty())
        emit changed(Change::Imported, written);
    return static_cast<int>(written.size());
}

bool DiaryStore::Impl::movedFromStored(const Entry &e)
{
    sql::Statement old(c.db, "SELECT at_local, at_offset, place_name, place_lat, place_lon FROM entry WHERE id = ?1");
    old.bind(1, e.id);
    const int rc = old.step();
    if (rc != SQLITE_ROW) {
        c.must(rc);
        return false; // the write itself says the entry is missing
    }
    const std::optional<Place> oldPlace =
        old.isNull(3) ? std::nullopt
                      : std::optional<Place>(Place{codec->open(old.text(2), {e.id, QLatin1StringView("place_name")}),
                                                   old.real(3), old.real(4)});
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
    d_->checkKey();
    // A moved moment or place needs the lunar day anew. The engine runs
    // before the write transaction opens, never inside it: a transaction is
    // held for as short a time as the statements take.
    std::optional<LunarSnapshot> fresh;
    if (d_->movedFromStored(e))
        fresh = computeSnapshot(e.at, e.place);
    for (;;) {
        try {
            updateOnce(e, fresh);
            emit changed(Change::Updated, {e.id});
            return;
        } catch (const SnapshotNeeded &) {
            fresh = computeSnapshot(e.at, e.place);
        }
    }
}

void DiaryStore::updateOnce(Entry e, const std::optional<LunarSnapshot> &fresh)
{
    d_->write([&] {
        const StoredEntry old = d_->readRow(e.id);
        if (old.entry.id.isEmpty())
            throw notFound(e.id);
        const Entry &was = old.entry;
        const bool moved = localText(was.at) != localText(e.at) || was.at.offsetFromUtc() != e.at.offsetFromUtc()
                           || was.place != e.place;
        const bool textChanged = was.title != e.title || was.text != e.text;
        if (moved) {
            if (!fresh)
                throw SnapshotNeeded{};
            e.lunar = *fresh;
        } else {
            e.lunar = was.lunar;
        }
        if (textChanged)
            e.symbols = d_->withFoundSymbols(e);
        sql::Statement &row = d_->c.cached("SELECT n FROM entry WHERE id = ?1");
        d_->c.must(row.bind(1, e.id).step(), SQLITE_ROW);
        const qint64 n = row.integer(0);
        row.reset();
        d_->writeRow({e, old.created, Clock::current().msecsSinceEpoch(), old.deleted}, n, textChanged);
    });
}

void DiaryStore::setFulfilment(const QString &id, const Fulfilment &fulfilment)
{
    const Fulfilment f = datedFulfilment(fulfilment, Clock::current().today());
    if (!d_->open())
        throw notFound(id);
    d_->write([&] {
        sql::Statement s(d_->c.db, "UPDATE entry SET mark = ?2, marked_on = ?3, mark_note = ?4, updated = ?5 "
                                   "WHERE id = ?1");
        s.bind(1, id)
            .bind(2, markCode(f.mark))
            .bind(4, d_->codec->seal(f.note, {id, QLatin1StringView("mark_note")}))
            .bind(5, Clock::current().msecsSinceEpoch());
        if (f.markedOn.isValid())
            s.bind(3, f.markedOn.toString(Qt::ISODate));
        else
            s.bindNull(3);
        d_->c.must(s.step());
        if (sqlite3_changes(d_->c.db.handle()) == 0)
            throw notFound(id);
    });
    emit changed(Change::Updated, {id});
}

// One statement over one entry by id; the entry must exist.
void DiaryStore::Impl::changeOne(const QString &id, const char *query, std::optional<qint64> value)
{
    if (!open())
        throw notFound(id);
    write([&] {
        sql::Statement s(c.db, query);
        s.bind(1, id);
        if (value)
            s.bind(2, *value);
        c.must(s.step());
        if (sqlite3_changes(c.db.handle()) == 0)
            throw notFound(id);
    });
}

void DiaryStore::moveToTrash(const QString &id)
{
    d_->changeOne(id, "UPDATE entry SET deleted_at = coalesce(deleted_at, ?2) WHERE id = ?1",
                  Clock::current().msecsSinceEpoch());
    emit changed(Change::Trashed, {id});
}

void DiaryStore::restore(const QString &id)
{
    d_->changeOne(id, "UPDATE entry SET deleted_at = NULL WHERE id = ?1", std::nullopt);
    emit changed(Change::Restored, {id});
}

void DiaryStore::purge(const QString &id)
{
    d_->changeOne(id, "DELETE FROM entry WHERE id = ?1", std::nullopt);
    emit changed(Change::Purged, {id});
}

int DiaryStore::purgeTrash(const QDateTime &before)
{
    if (!d_->open())
        return 0;
    int count = 0;
    d_->write([&] {
        sql::Statement s(d_->c.db, "DELETE FROM entry WHERE deleted_at IS NOT NULL AND deleted_at < ?1");
        d_->c.must(s.bind(1, before.toMSecsSinceEpoch()).step());
        count = sqlite3_changes(d_->c.db.handle());
    });
    if (count > 0)
        emit changed(Change::Purged, {});
    return count;
}

std::optional<Entry> DiaryStore::entry(const QString &id) const
{
    if (!d_->open())
        return std::nullopt;
    d_->checkKey();
    StoredEntry row = d_->readRow(id);
    if (row.entry.id.isEmpty())
        return std::nullopt;
    return std::move(row.entry);
}

QString DiaryStore::resolveId(const QString &idOrPrefix) const
{
    const QString p = idOrPrefix.trimmed().toLower();
    if (p.size() < 4 || !d_->open())
        throw notFound(idOrPrefix);
    sql::Statement exact(d_->c.db, "SELECT id FROM entry WHERE id = ?1");
    if (exact.bind(1, idOrPrefix.trimmed()).step() == SQLITE_ROW)
        return exact.text(0);
    // Ids are made of hex digits and hyphens: a prefix range needs no escaping.
    sql::Statement s(d_->c.db, "SELECT id FROM entry WHERE id >= ?1 AND id < ?2 LIMIT 2");
    s.bind(1, p).bind(2, p + QChar(0xffff));
    QStringList found;
    while (s.step() == SQLITE_ROW)
        found << s.text(0);
    if (found.size() == 1)
        return found.first();
    if (found.isEmpty())
        throw notFound(idOrPrefix);
    throw storeError(
        kErrorNotFound,
        QStringLiteral("Начало «%1» подходит к нескольким записям дневника; укажите больше знаков.").arg(idOrPrefix));
}

QList<EntrySummary> DiaryStore::list() const
{
    return d_->summaries("SELECT id, at_local, at_offset, night, display_title, lunar_day * lunar_found, lucid, "
                         "kinds, mark, deleted_at FROM entry WHERE deleted_at IS NULL "
                         "ORDER BY night DESC, at_utc DESC, id");
}

// Entries whole, read at once: the entry rows in the order the query's tail
// gives, then every tag and symbol in one pass each; with their row numbers.
QList<std::pair<qint64, StoredEntry>> DiaryStore::Impl::wholeRows(const char *tail)
{
    QList<std::pair<qint64, StoredEntry>> all;
    if (!open())
        return all;
    QHash<qint64, qsizetype> index;
    sql::Statement s(c.db, selectWhere(tail).constData());
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) {
        const qint64 n = s.integer(columnOfRow());
        index.insert(n, all.size());
        all.append({n, readColumns(s, *codec)});
    }
    if (rc != SQLITE_DONE)
        c.failRead(rc);
    sql::Statement tags(c.db, "SELECT n, text, kind FROM tag ORDER BY n, position");
    while (tags.step() == SQLITE_ROW)
        if (const auto it = index.constFind(tags.integer(0)); it != index.constEnd()) {
            Entry &e = all[*it].second.entry;
            e.tags << Tag{codec->open(tags.text(1), {e.id, QLatin1StringView("tag")}),
                          tagKindFromCode(tags.text(2)).value_or(TagKind::Plain)};
        }
    sql::Statement marks(c.db, "SELECT n, headword, origin FROM symbol ORDER BY n, position");
    while (marks.step() == SQLITE_ROW)
        if (const auto it = index.constFind(marks.integer(0)); it != index.constEnd()) {
            Entry &e = all[*it].second.entry;
            e.symbols << Symbol{codec->open(marks.text(1), {e.id, QLatin1StringView("symbol")}),
                                originOf(marks.text(2))};
        }
    return all;
}

QList<Entry> DiaryStore::Impl::wholeEntries(const char *tail)
{
    if (open())
        checkKey();
    QList<Entry> all;
    for (auto &row : wholeRows(tail))
        all.append(std::move(row.second.entry));
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

QStringList DiaryStore::search(const Filter &filter) const
{
    QStringList ids;
    if (!d_->open())
        return ids;
    d_->checkKey();
    const std::optional<SearchQuery> q = searchQuery(filter, *d_->codec, d_->stemmer);
    if (!q)
        return ids;
    sql::Statement s(d_->c.db, q->text.constData());
    bindValues(s, *q);
    int rc = 0;
    while ((rc = s.step()) == SQLITE_ROW)
        ids << s.text(0);
    if (rc != SQLITE_DONE)
        d_->c.failRead(rc);
    return ids;
}

QList<Tag> DiaryStore::allTags() const
{
    QList<Tag> tags;
    if (!d_->open())
        return tags;
    d_->checkKey();
    // Each tag once in each of its kinds, under the spelling that sorts first.
    if (d_->codec->plain()) {
        sql::Statement s(d_->c.db, "SELECT min(text), kind FROM tag GROUP BY folded, kind ORDER BY folded, kind");
        while (s.step() == SQLITE_ROW)
            tags << Tag{s.text(0), tagKindFromCode(s.text(1)).value_or(TagKind::Plain)};
        return tags;
    }
    // sealed: the keys are tokens, so the texts are grouped and ordered here
    std::map<std::pair<QString, QString>, Tag> first;
    sql::Statement s(d_->c.db, "SELECT t.kind, t.text, e.id FROM tag t JOIN entry e ON e.n = t.n");
    while (s.step() == SQLITE_ROW) {
        const Tag tag{d_->codec->open(s.text(1), {s.text(2), QLatin1StringView("tag")}),
                      tagKindFromCode(s.text(0)).value_or(TagKind::Plain)};
        const auto [it, added] = first.try_emplace({dictionary::foldWord(tag.text), tagKindCode(tag.kind)}, tag);
        if (!added && tag.text < it->second.text)
            it->second = tag;
    }
    for (const auto &kept : first)
        tags << kept.second;
    return tags;
}

void DiaryStore::backupTo(const QString &target) const
{
    if (!d_->open())
        throw storeError(kErrorNotFound, QStringLiteral("Дневник снов ещё пуст: копировать нечего."));
    const QString temp = target + QStringLiteral(".part");
    QFile::remove(temp);
    int step = SQLITE_ERROR;
    QString why;
    {
        sql::Connection copy;
        int rc = copy.open(temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
        if (rc == SQLITE_OK) {
            makePrivate(temp);
            sqlite3_backup *b = sqlite3_backup_init(copy.handle(), "main", d_->c.db.handle(), "main");
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
        throw storeError(kErrorWrite,
                         QStringLiteral("Не удалось сохранить копию дневника снов в «%1»: %2.")
                             .arg(target, why.isEmpty() ? QStringLiteral("файл не переименовывается") : why));
    }
}

bool DiaryStore::isPrivate() const
{
    return d_->open() && d_->keyringRows() > 0;
}

bool DiaryStore::isLocked() const
{
    return isPrivate() && !d_->keyed;
}

void DiaryStore::unlock(const QString &password)
{
    if (!d_->open())
        return;
    d_->codec = sealingCodec(d_->keyFrom(password));
    d_->keyed = true;
}

void DiaryStore::unlockWithRecoveryKey(const QString &recoveryKey)
{
    unlock(recoveryKey);
}

void DiaryStore::lock()
{
    d_->codec = plainTextCodec(); // the last holder of the key wipes it
    d_->keyed = false;
    d_->c.forgetCached();
}

void DiaryStore::checkSecret(const QString &secret)
{
    if (!isPrivate())
        return;
    (void)d_->keyFrom(secret);
}

KeyCost DiaryStore::passwordCost()
{
    const std::optional<KeyWrap> w = d_->open() ? d_->wrapOf("password") : std::nullopt;
    return w ? w->cost : KeyCost();
}

QString DiaryStore::protect(const QString &password, const KeyCost *cost)
{
    if (isPrivate())
        throw storeError(kErrorBadValue, QStringLiteral("Дневник снов уже закрыт паролем."));
    if (password.isEmpty())
        throw badValue(QStringLiteral("Пароль не может быть пустым."));
    const KeyCost chosen = cost ? *cost : calibratedCost();
    const DataKey key = DataKey::random();
    QString recovery = newRecoveryKey();
    const KeyWrap byPassword = wrapWithPassword(key, password, chosen);
    const KeyWrap byRecovery = wrapWithRecoveryKey(key, recovery);
    const std::shared_ptr<const TextCodec> sealed = sealingCodec(DataKey::fromBytes(key.bytes()));
    const std::shared_ptr<const TextCodec> before = d_->codec;
    try {
        d_->write([&] {
            d_->rewriteAll(sealed);
            d_->putWrap("password", byPassword);
            d_->putWrap("recovery", byRecovery);
            d_->keyed = true;
        });
    } catch (...) {
        d_->codec = before;
        d_->keyed = false;
        throw;
    }
    d_->scrub();
    return recovery;
}

void DiaryStore::unprotect(const QString &password)
{
    if (!isPrivate())
        return;
    const std::shared_ptr<const TextCodec> sealed = sealingCodec(d_->keyFrom(password));
    const std::shared_ptr<const TextCodec> before = d_->codec;
    const bool wasKeyed = d_->keyed;
    d_->codec = sealed;
    d_->keyed = true;
    try {
        d_->write([&] {
            d_->rewriteAll(plainTextCodec());
            d_->c.must(d_->c.db.exec("DELETE FROM keyring"), SQLITE_OK);
            d_->keyed = false;
        });
    } catch (...) {
        d_->codec = before;
        d_->keyed = wasKeyed;
        throw;
    }
    d_->scrub();
}

void DiaryStore::changePassword(const QString &currentOrRecoveryKey, const QString &next, const KeyCost *cost)
{
    if (!isPrivate())
        throw storeError(kErrorBadValue, QStringLiteral("Дневник снов не закрыт паролем."));
    if (next.isEmpty())
        throw badValue(QStringLiteral("Пароль не может быть пустым."));
    const DataKey key = d_->keyFrom(currentOrRecoveryKey);
    const KeyWrap wrap = wrapWithPassword(key, next, cost ? *cost : calibratedCost());
    d_->c.transaction([&] { d_->putWrap("password", wrap); });
    d_->scrub();
}

QString DiaryStore::moveAside(const QString &path)
{
    const QString stamp = Clock::current().now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path + QStringLiteral(".damaged-") + stamp;
    for (int i = 2; QFileInfo::exists(target); ++i)
        target = path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(i);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0)
        throw storeError(kErrorWrite, QStringLiteral("Не удалось переименовать файл дневника снов «%1»: %2.")
                                          .arg(path, systemErrorText(errno)));
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
