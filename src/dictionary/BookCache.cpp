#include "dictionary/BookCache.h"

#include "dictionary/Catalogue.h"
#include "platform/ansi/AnsiCodePage.h"
#include "platform/core/Identity.h"
#include "platform/error/Error.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstring>

#include <sys/stat.h>

namespace somnex::dictionary {

namespace {

constexpr char kMagic[8] = {'S', 'M', 'X', 'W', 'O', 'R', 'D', 'S'};
constexpr uint32_t kVersion = 1;
constexpr qint64 kEdge = 64 * 1024;
constexpr qint64 kStride = 1024 * 1024;
constexpr qint64 kSample = 4096;
constexpr uint32_t kMaxWords = 1u << 24;
constexpr uint32_t kMaxText = 1u << 20; // UTF-16 units of one text

// A 64-bit mix of 8-byte words (the tail padded with zeros).
class Hasher {
public:
    void add(const char *p, qint64 n)
    {
        qint64 i = 0;
        for (; i + 8 <= n; i += 8) {
            uint64_t w;
            std::memcpy(&w, p + i, 8);
            mix(w);
        }
        if (i < n) {
            uint64_t w = 0;
            std::memcpy(&w, p + i, static_cast<size_t>(n - i));
            mix(w ^ (uint64_t(n - i) << 56));
        }
    }
    quint64 value() const { return h_ ^ (h_ >> 29); }

private:
    void mix(uint64_t w)
    {
        h_ ^= w * 0x9E3779B97F4A7C15ull;
        h_ = (h_ << 27 | h_ >> 37) * 0xBF58476D1CE4E5B9ull + 0x94D049BB133111EBull;
    }
    uint64_t h_ = 0x243F6A8885A308D3ull;
};

// The sampled ranges of a file of size bytes: [start, length].
std::vector<std::pair<qint64, qint64>> sampledRanges(qint64 size)
{
    std::vector<std::pair<qint64, qint64>> out;
    if (size <= 2 * kEdge) {
        out.push_back({0, size});
        return out;
    }
    out.push_back({0, kEdge});
    for (qint64 at = kStride; at + kSample <= size - kEdge; at += kStride)
        out.push_back({at, kSample});
    out.push_back({size - kEdge, kEdge});
    return out;
}

quint64 checksum(QByteArrayView bytes)
{
    Hasher h;
    h.add(bytes.data(), bytes.size());
    return h.value();
}

class Writer {
public:
    void u8(uint8_t v) { out.append(static_cast<char>(v)); }
    void u16(uint16_t v) { raw(&v, 2); }
    void u32(uint32_t v) { raw(&v, 4); }
    void u64(uint64_t v) { raw(&v, 8); }
    void text(const QString &s)
    {
        u32(static_cast<uint32_t>(s.size()));
        raw(s.constData(), s.size() * 2);
    }
    void bytes(const QByteArray &b)
    {
        u32(static_cast<uint32_t>(b.size()));
        out.append(b);
    }
    QByteArray out;

private:
    void raw(const void *p, qsizetype n) { out.append(static_cast<const char *>(p), n); }
};

// Reads what a Writer wrote; any read past the end sets failed.
class Reader {
public:
    explicit Reader(QByteArrayView b) : b_(b) {}
    bool failed = false;
    bool atEnd() const { return at_ == b_.size(); }
    qsizetype position() const { return at_; }
    // A word as text() reads it and its place, passed over.
    void skipWord()
    {
        const uint32_t n = u32();
        if (n > kMaxText || !take(qsizetype(n) * 2 + 6))
            failed = true;
    }
    uint8_t u8() { return static_cast<uint8_t>(take(1) ? b_[at_ - 1] : 0); }
    uint16_t u16() { return num<uint16_t>(); }
    uint32_t u32() { return num<uint32_t>(); }
    uint64_t u64() { return num<uint64_t>(); }
    QString text()
    {
        const uint32_t n = u32();
        if (n > kMaxText || !take(qsizetype(n) * 2))
            return fail<QString>();
        QString s(static_cast<qsizetype>(n), Qt::Uninitialized);
        std::memcpy(s.data(), b_.data() + at_ - qsizetype(n) * 2, size_t(n) * 2);
        return s;
    }
    QByteArray bytes()
    {
        const uint32_t n = u32();
        if (!take(n))
            return fail<QByteArray>();
        return QByteArray(b_.data() + at_ - n, n);
    }

private:
    template <typename T>
    T fail()
    {
        failed = true;
        return T();
    }
    template <typename T>
    T num()
    {
        T v{};
        if (take(sizeof(T)))
            std::memcpy(&v, b_.data() + at_ - qsizetype(sizeof(T)), sizeof(T));
        return v;
    }
    bool take(qsizetype n)
    {
        if (failed || n > b_.size() - at_) {
            failed = true;
            return false;
        }
        at_ += n;
        return true;
    }
    QByteArrayView b_;
    qsizetype at_ = 0;
};

QString cacheFileOf(const QString &path)
{
    const QByteArray id = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(24);
    return wordCacheFolder() + QLatin1Char('/') + QString::fromLatin1(id) + QStringLiteral(".words");
}

} // namespace

quint64 sampledHash(QByteArrayView bytes)
{
    Hasher h;
    for (const auto &[at, n] : sampledRanges(bytes.size()))
        h.add(bytes.data() + at, n);
    return h.value();
}

BookStamp stampOf(const QString &path)
{
    BookStamp s;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return s;
    const qint64 size = f.size();
    Hasher h;
    QByteArray buf;
    for (const auto &[at, n] : sampledRanges(size)) {
        buf.resize(n);
        if (!f.seek(at) || f.read(buf.data(), n) != n)
            return s;
        h.add(buf.constData(), n);
    }
    struct stat st;
    if (::fstat(f.handle(), &st) != 0)
        return s;
    s.size = size;
    s.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.hash = h.value();
    return s;
}

QByteArray encodeCache(const CachedBook &book)
{
    Writer w;
    w.out.append(kMagic, sizeof kMagic);
    w.u32(kVersion);
    w.text(book.path);
    w.u64(static_cast<uint64_t>(book.stamp.size));
    w.u64(static_cast<uint64_t>(book.stamp.modified));
    w.u64(book.stamp.hash);
    w.text(book.toolName);
    w.text(book.tolkName);
    w.u8(book.colour ? 1 : 0);
    w.text(book.colour.value_or(QString()));
    w.bytes(book.icon);
    w.u32(static_cast<uint32_t>(book.words.size()));
    for (size_t i = 0; i < book.words.size(); ++i) {
        w.text(book.words[i]);
        w.u32(book.places[i].first);
        w.u16(book.places[i].second);
    }
    return sealCache(std::move(w.out));
}

QByteArray sealCache(QByteArray body)
{
    const uint64_t sum = checksum(body);
    body.append(reinterpret_cast<const char *>(&sum), 8);
    return body;
}

namespace {

// decodeCache on a file's bytes, which the words decoded later share.
std::optional<CachedBook> decodeFile(const QByteArray &file)
{
    const QByteArrayView bytes(file);
    if (bytes.size() < qsizetype(sizeof kMagic) + 12 || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    const QByteArrayView body = bytes.first(bytes.size() - 8);
    uint64_t stored;
    std::memcpy(&stored, bytes.data() + body.size(), 8);
    if (stored != checksum(body))
        return std::nullopt;
    Reader r(body.sliced(sizeof kMagic));
    if (r.u32() != kVersion)
        return std::nullopt;
    CachedBook b;
    b.path = r.text();
    b.stamp.size = static_cast<qint64>(r.u64());
    b.stamp.modified = static_cast<qint64>(r.u64());
    b.stamp.hash = r.u64();
    b.toolName = r.text();
    b.tolkName = r.text();
    const uint8_t hasColour = r.u8();
    QString colour = r.text();
    if (hasColour > 1 || (!hasColour && !colour.isEmpty()))
        return std::nullopt;
    if (hasColour)
        b.colour = std::move(colour);
    b.icon = r.bytes();
    const uint32_t n = r.u32();
    // every word takes at least 10 bytes
    if (r.failed || n > kMaxWords || qsizetype(n) * 10 > body.size())
        return std::nullopt;
    const qsizetype wordsAt = r.position() + qsizetype(sizeof kMagic);
    for (uint32_t i = 0; i < n && !r.failed; ++i)
        r.skipWord();
    if (r.failed || !r.atEnd())
        return std::nullopt;
    b.cached = std::make_shared<const CachedWords>(file, wordsAt, n);
    return b;
}

} // namespace

std::optional<CachedBook> decodeCache(QByteArrayView bytes)
{
    return decodeFile(bytes.toByteArray());
}

CachedWords::CachedWords(QByteArray file, qsizetype at, uint32_t count) : file_(std::move(file)), at_(at), count_(count)
{
}

void CachedWords::decode() const
{
    std::call_once(once_, [this] {
        Reader r(QByteArrayView(file_).sliced(at_));
        words_.reserve(count_);
        places_.reserve(count_);
        ordered_ = true;
        for (uint32_t i = 0; i < count_ && !r.failed; ++i) {
            words_.push_back(r.text());
            const uint32_t page = r.u32();
            places_.emplace_back(page, r.u16());
            if (i > 0 && compareHeadwords(words_[i - 1], words_[i]) > 0)
                ordered_ = false;
        }
        if (r.failed || !ordered_) {
            ordered_ = false;
            words_ = {};
            places_ = {};
        }
        file_ = QByteArray();
    });
}

const std::vector<QString> *CachedWords::words() const
{
    decode();
    return ordered_ && !released_ ? &words_ : nullptr;
}

void CachedWords::release() const
{
    decode();
    released_ = true;
    words_ = {};
    places_ = {};
}

const std::vector<CachedWords::Place> &CachedWords::places() const
{
    decode();
    return places_;
}

QString wordCacheFolder()
{
    QString base = QString::fromLocal8Bit(qgetenv("XDG_CACHE_HOME"));
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return QDir::cleanPath(base + QLatin1Char('/') + QLatin1String(kDataSubfolder) + QStringLiteral("/words"));
}

std::optional<CachedBook> readCache(const QString &path, const BookStamp &stamp)
{
    if (stamp.size < 0)
        return std::nullopt;
    QFile f(cacheFileOf(path));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::optional<CachedBook> b = decodeFile(f.readAll());
    if (!b || b->path != path || !(b->stamp == stamp))
        return std::nullopt;
    return b;
}

bool writeCache(const CatalogueBook &book, const BookStamp &stamp)
{
    if (stamp.size < 0)
        return false;
    return tryStep([&] {
        CachedBook c;
        c.path = book.Key;
        c.stamp = stamp;
        c.toolName = book.ToolTipText;
        c.tolkName = book.Tag;
        Recordset config = book.database.OpenRecordset(QStringLiteral("Config"));
        config.MoveFirst();
        c.colour = config.Field(QStringLiteral("Color"));
        c.icon = book.icon;
        const Recordset &rs = book.recordset;
        const qsizetype n = rs.RecordCount();
        c.words.reserve(static_cast<size_t>(n));
        c.places.reserve(static_cast<size_t>(n));
        for (qsizetype i = 0; i < n; ++i) {
            const std::optional<std::pair<uint32_t, uint16_t>> place = rs.place(i);
            if (!place)
                return; // where the rows lie is not known: nothing to store
            c.words.push_back(rs.headword(i).toString());
            c.places.push_back(*place);
        }
        const QString folder = wordCacheFolder();
        QSaveFile out(cacheFileOf(book.Key));
        const QByteArray bytes = encodeCache(c);
        if (!QDir().mkpath(folder) || !out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()
            || !out.commit())
            throw Error(75, QStringLiteral("writeCache"),
                        QStringLiteral("Не удаётся записать кэш слов в папку «%1»: %2").arg(folder, out.errorString()));
    });
}

CatalogueBook bookFromCache(CachedBook cached)
{
    CatalogueBook b;
    b.Key = cached.path;
    b.ToolTipText = std::move(cached.toolName);
    b.Tag = std::move(cached.tolkName);
    b.Description = cached.colour ? *cached.colour : QStringLiteral("0");
    b.icon = std::move(cached.icon);
    const QString path = cached.path;
    const BookStamp stamp = cached.stamp;
    b.database =
        DBEngine::instance().OpenDatabaseOnUse(path, QStringLiteral("Book"), [path, stamp](const QByteArray &bytes) {
            return bytes.size() == stamp.size && sampledHash(bytes) == stamp.hash && stampOf(path) == stamp;
        });
    b.recordset = b.database.OpenRecordset(QStringLiteral("Book"));
    b.recordset.setIndex(QStringLiteral("List"));
    b.cachedWords = std::move(cached.cached);
    b.cachedStamp = stamp;
    return b;
}

void narrowToWord(CatalogueBook &book, const QString &word)
{
    if (!book.cachedWords || !book.cachedWords->words() || book.database.stale())
        return;
    const std::vector<QString> &words = *book.cachedWords->words();
    auto first = std::partition_point(words.begin(), words.end(), [&](const QString &w) {
        return compareHeadwords(w, word) < 0 && !sameHeadword(w, word);
    });
    std::vector<std::pair<uint32_t, uint16_t>> rows;
    for (auto it = first; it != words.end() && sameHeadword(*it, word); ++it)
        rows.push_back(book.cachedWords->places()[static_cast<size_t>(it - words.begin())]);
    std::sort(rows.begin(), rows.end()); // storage order
    const QString path = book.Key;
    const BookStamp stamp = book.cachedStamp;
    if (!(stampOf(path) == stamp))
        return; // changed since: the whole book is read on use
    const auto unchanged = [&](const QByteArray &bytes) {
        return bytes.size() == stamp.size && sampledHash(bytes) == stamp.hash;
    };
    std::optional<Database> only = DBEngine::instance().OpenDatabaseRows(path, QStringLiteral("Book"), rows, unchanged);
    if (!only)
        return; // changed since: the whole book is read on use
    book.database = *only;
    book.recordset = book.database.OpenRecordset(QStringLiteral("Book"));
    if (!rows.empty())
        book.recordset.setIndex(QStringLiteral("List"));
}

} // namespace somnex::dictionary
