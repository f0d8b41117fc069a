#pragma once
// The word cache: what the catalogue needs of a book without reading it,
// one file per book under $XDG_CACHE_HOME/ZUL Programming/ZUL Somnex/3.1/words.
// A cache file holds the book's path, its size, modification time and a
// hash of sampled parts of its bytes, its configuration, its headwords in
// index order and, for each, where its row lies in the file (data page,
// row). A book whose stamp differs from the one stored, and a file that is
// damaged, cut short or not ours, is read again; the cache is never trusted
// over the book. Files are written whole to a temporary name and renamed.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace somnex::dictionary {

struct CatalogueBook;

// What identifies the content of a book file.
struct BookStamp {
    qint64 size = -1;
    qint64 modified = 0; // nanoseconds since the epoch
    quint64 hash = 0;    // of the sampled parts (sampledHash)
    friend bool operator==(const BookStamp &, const BookStamp &) = default;
};

// The hash of a file's first and last 64 KiB and of 4 KiB at every MiB
// between: cheap, and with the size and time it catches a changed book.
quint64 sampledHash(QByteArrayView bytes);
// The stamp of a file as it is now; size -1 when it cannot be read.
BookStamp stampOf(const QString &path);

// The headwords of a cache file and where their rows lie, decoded when first
// asked for (on whichever thread that is): reading a catalogue from the
// cache costs only the books' configurations.
class CachedWords {
public:
    using Place = std::pair<uint32_t, uint16_t>; // data page, row
    // count words after a header of headerLength bytes, in file (checked
    // already), or else in the cache file at path, checked when decoded.
    CachedWords(QByteArray file, QString path, uint32_t headerLength, uint32_t count);
    uint32_t size() const { return count_; }
    // Null when the words are damaged or not in index order: the cache is
    // not used (a damaged file is removed).
    const std::vector<QString> *words() const;
    // Where each word's row lies; as long as words().
    const std::vector<Place> &places() const;
    // Lets the decoded words go (the merged list shares their text); words()
    // answers null after, and the book is read when its words are needed
    // again.
    void release() const;

private:
    friend std::optional<struct CachedBook> readCache(const QString &path, const struct BookStamp &stamp);
    void decode() const;
    mutable QByteArray file_; // let go once decoded
    QString path_;
    uint32_t headerLength_ = 0;
    uint64_t headerSum_ = 0; // of the header read at start (path_ only)
    uint32_t count_ = 0;
    mutable std::once_flag once_;
    mutable bool ordered_ = false;
    mutable bool released_ = false;
    mutable std::vector<QString> words_;
    mutable std::vector<Place> places_;
};

struct CachedBook {
    QString path;
    BookStamp stamp;
    QString toolName, tolkName;
    std::optional<QString> colour; // Config.Color
    QByteArray icon;
    // for encodeCache: the headwords in index order and their rows
    std::vector<QString> words;
    std::vector<CachedWords::Place> places;
    // from decodeCache
    std::shared_ptr<const CachedWords> cached;
};

// The bytes of a cache file, and back; decodeCache answers nothing for bytes
// that are not a whole, intact cache file of this version (the order of the
// words is checked when they are decoded).
QByteArray encodeCache(const CachedBook &book);
// A cache file's body with its lengths and checksums filled in (the header's,
// where its length field points inside the body, and the whole file's).
QByteArray sealCache(QByteArray body);
std::optional<CachedBook> decodeCache(QByteArrayView bytes);

// The folder of the cache files (not created here).
QString wordCacheFolder();
// The cache of the book at path when it is stored and made from the file as
// it is now (stamp); nothing otherwise.
std::optional<CachedBook> readCache(const QString &path, const BookStamp &stamp);
// Stores a book just opened; a folder that cannot be written leaves it
// unstored. Returns whether it was stored.
bool writeCache(const CatalogueBook &book, const BookStamp &stamp);
// A catalogue entry from a cache: nothing of the book is read until its
// records are used (Database::OpenDatabaseOnUse).
CatalogueBook bookFromCache(CachedBook cached);
// Gives a book opened from the cache a database of only the records of
// word (Seek "=" finds the same record as in the whole book); a book read
// whole, or changed since its cache was made, is left as it is (read on
// use). Raises somnex::Error when the book cannot be read.
void narrowToWord(CatalogueBook &book, const QString &word);

} // namespace somnex::dictionary
