#include "dictionary/BookCache.h"

#include "dictionary/BookSchema.h"
#include "dictionary/Catalogue.h"
#include "platform/ansi/AnsiCodePage.h"
#include "platform/core/AtomicFile.h"
#include "platform/core/Identity.h"
#include "platform/error/Error.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstring>

#include <sys/stat.h>

namespace somnex::dictionary {

namespace {

constexpr char kMagic[8] = {'S', 'M', 'X', 'W', 'O', 'R', 'D', 'S'};
constexpr uint32_t kVersion = 2;
constexpr qsizetype kHeaderLengthAt = 12;
constexpr qsizetype kFileLengthAt = 16;
constexpr qsizetype kFixedHeader = 24;
constexpr qint64 kEdge = qint64(64) * 1024;
constexpr qint64 kStride = qint64(1024) * 1024;
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

// A cache file: magic, version, the header's length and the file's, the
// path, stamp and configuration and the count of words, the header's
// checksum; then the words with their places, and a checksum of the whole
// file. The catalogue reads the header only; the words are checked when
// they are decoded.
QByteArray encodeCache(const CachedBook &book)
{
    Writer w;
    w.out.append(kMagic, sizeof kMagic);
    w.u32(kVersion);
    w.u32(0); // header length, filled in by sealCache
    w.u64(0); // file length, likewise
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
    const auto headerLength = static_cast<uint32_t>(w.out.size());
    std::memcpy(w.out.data() + kHeaderLengthAt, &headerLength, 4);
    w.u64(0); // header checksum, likewise
    for (size_t i = 0; i < book.words.size(); ++i) {
        w.text(book.words[i]);
        w.u32(book.places[i].first);
        w.u16(book.places[i].second);
    }
    return sealCache(std::move(w.out));
}

QByteArray sealCache(QByteArray body)
{
    uint32_t headerLength = 0;
    if (body.size() >= kFixedHeader)
        std::memcpy(&headerLength, body.constData() + kHeaderLengthAt, 4);
    if (body.size() >= kFixedHeader && headerLength >= kFixedHeader && qsizetype(headerLength) + 8 <= body.size()) {
        const uint64_t fileLength = uint64_t(body.size()) + 8;
        std::memcpy(body.data() + kFileLengthAt, &fileLength, 8);
        const uint64_t headerSum = checksum(QByteArrayView(body).first(headerLength));
        std::memcpy(body.data() + headerLength, &headerSum, 8);
    }
    const uint64_t sum = checksum(body);
    body.append(reinterpret_cast<const char *>(&sum), 8);
    return body;
}

namespace {

// The header of a cache file of fileLength bytes from its first bytes (at
// least the header and its checksum); what it says, with no words yet.
std::optional<CachedBook> decodeHeader(QByteArrayView head, qint64 fileLength, uint32_t &count, uint32_t &headerLength)
{
    if (head.size() < kFixedHeader || std::memcmp(head.data(), kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    Reader r(head.first(kFixedHeader).sliced(sizeof kMagic));
    const uint32_t version = r.u32();
    headerLength = r.u32();
    const uint64_t length = r.u64();
    if (version != kVersion || headerLength < kFixedHeader || qint64(headerLength) + 16 > fileLength
        || qsizetype(headerLength) + 8 > head.size() || length != uint64_t(fileLength))
        return std::nullopt;
    uint64_t headerSum;
    std::memcpy(&headerSum, head.data() + headerLength, 8);
    if (headerSum != checksum(head.first(headerLength)))
        return std::nullopt;
    Reader h(head.first(headerLength).sliced(kFixedHeader));
    CachedBook b;
    b.path = h.text();
    b.stamp.size = static_cast<qint64>(h.u64());
    b.stamp.modified = static_cast<qint64>(h.u64());
    b.stamp.hash = h.u64();
    b.toolName = h.text();
    b.tolkName = h.text();
    const uint8_t hasColour = h.u8();
    QString colour = h.text();
    if (hasColour > 1 || (!hasColour && !colour.isEmpty()))
        return std::nullopt;
    if (hasColour)
        b.colour = std::move(colour);
    b.icon = h.bytes();
    count = h.u32();
    // every word takes at least 10 bytes
    if (h.failed || !h.atEnd() || count > kMaxWords || qint64(count) * 10 > fileLength)
        return std::nullopt;
    return b;
}

// Whether file is a whole cache file whose header is the one of headerSum's
// checksum, with count words after it.
bool wholeFile(QByteArrayView file, uint32_t headerLength, uint32_t count)
{
    if (file.size() < qsizetype(headerLength) + 16)
        return false;
    uint64_t stored;
    std::memcpy(&stored, file.data() + file.size() - 8, 8);
    if (stored != checksum(file.first(file.size() - 8)))
        return false;
    Reader r(file.first(file.size() - 8).sliced(qsizetype(headerLength) + 8));
    for (uint32_t i = 0; i < count && !r.failed; ++i)
        r.skipWord();
    return !r.failed && r.atEnd();
}

// decodeCache on a file's bytes, which the words decoded later share.
std::optional<CachedBook> decodeFile(const QByteArray &file)
{
    uint32_t count = 0, headerLength = 0;
    std::optional<CachedBook> b = decodeHeader(file, file.size(), count, headerLength);
    if (!b || !wholeFile(file, headerLength, count))
        return std::nullopt;
    b->cached = std::make_shared<const CachedWords>(file, QString(), headerLength, count);
    return b;
}

} // namespace

std::optional<CachedBook> decodeCache(QByteArrayView bytes)
{
    return decodeFile(bytes.toByteArray());
}

CachedWords::CachedWords(QByteArray file, QString path, uint32_t headerLength, uint32_t count)
    : file_(std::move(file)), path_(std::move(path)), headerLength_(headerLength), count_(count)
{
}

void CachedWords::decode() const
{
    std::call_once(once_, [this] {
        ordered_ = false;
        if (!path_.isEmpty()) {
            // the header was read at start; the rest is read and checked now
            QFile f(path_);
            if (f.open(QIODevice::ReadOnly))
                file_ = f.readAll();
            uint64_t headerSum = 0;
            if (file_.size() >= qsizetype(headerLength_) + 8)
                std::memcpy(&headerSum, file_.constData() + headerLength_, 8);
            if (headerSum != headerSum_ || !wholeFile(file_, headerLength_, count_)) {
                QFile::remove(path_); // written anew when the book is next read at start
                file_ = QByteArray();
                return;
            }
        }
        Reader r(QByteArrayView(file_).first(file_.size() - 8).sliced(qsizetype(headerLength_) + 8));
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
    const QString file = cacheFileOf(path);
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    // the header only: the words are read when the list is made
    QByteArray head = f.read(kFixedHeader);
    uint32_t headerLength = 0;
    if (head.size() == kFixedHeader)
        std::memcpy(&headerLength, head.constData() + kHeaderLengthAt, 4);
    if (headerLength < kFixedHeader || qint64(headerLength) + 8 > f.size())
        return std::nullopt;
    head += f.read(qint64(headerLength) + 8 - kFixedHeader);
    uint32_t count = 0;
    std::optional<CachedBook> b = decodeHeader(head, f.size(), count, headerLength);
    if (!b || b->path != path || !(b->stamp == stamp))
        return std::nullopt;
    auto words = std::make_shared<CachedWords>(QByteArray(), file, headerLength, count);
    std::memcpy(&words->headerSum_, head.constData() + headerLength, 8);
    b->cached = std::move(words);
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
        const QByteArray bytes = encodeCache(c);
        if (!QDir().mkpath(folder))
            throw Error(75, QStringLiteral("writeCache"),
                        QStringLiteral("Не удаётся создать папку кэша слов «%1»").arg(folder));
        writeFileAtomically(cacheFileOf(book.Key), bytes);
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
    b.recordset.setIndex(kListIndex);
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
        book.recordset.setIndex(kListIndex);
}

} // namespace somnex::dictionary
