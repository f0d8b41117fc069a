// The word cache: a catalogue loaded through it gives the word list read from
// the books whatever became of the cache or the books, and a lookup that
// reads only a word's rows finds what the whole book gives.
#include "dictionary/BookCache.h"
#include "dictionary/BookSource.h"
#include "dictionary/Catalogue.h"
#include "dictionary/MergedWords.h"
#include "dictionary/SyntheticBook.h"
#include "platform/error/Error.h"
#include "support/QtPrint.h"
#include "support/TestShare.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utime.h>

using namespace somnex;
using namespace somnex::dictionary;

namespace {

// XDG_CACHE_HOME points into a temporary folder for the test's lifetime.
class TempCache {
public:
    TempCache()
    {
        old_ = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", dir_.path().toLocal8Bit());
    }
    ~TempCache() { qputenv("XDG_CACHE_HOME", old_); }
    QString path() const { return dir_.path(); }
    QStringList files() const
    {
        QStringList out;
        for (const QString &f : QDir(wordCacheFolder()).entryList({QStringLiteral("*.words")}, QDir::Files))
            out << wordCacheFolder() + QLatin1Char('/') + f;
        return out;
    }

private:
    QTemporaryDir dir_;
    QByteArray old_;
};

QStringList all(const dictionary::WordIndex &w)
{
    QStringList l;
    for (int i = 0; i < w.size(); ++i)
        l << w.word(i);
    return l;
}

QStringList wordsOf(const CatalogueLoad &load)
{
    const auto merged = mergeWords(load.books, [](size_t) { return true; });
    return merged ? all(merged->words) : QStringList();
}

CatalogueLoad load(const TestShare &share, bool cache)
{
    return LoadCatalogue(share.books(), {}, QString(), cache);
}

void rewrite(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void setTime(const QString &path, time_t t)
{
    utimbuf times{t, t};
    ASSERT_EQ(utime(QFile::encodeName(path).constData(), &times), 0);
}

QByteArray bookImage(std::initializer_list<const char *> words)
{
    BookContent b;
    b.name = b.heading = QStringLiteral("Книга");
    for (const char *w : words)
        b.entries.push_back({QString::fromUtf8(w), QStringLiteral("Видеть во сне – к добру."), std::nullopt, 0});
    return buildBookImage(b);
}

} // namespace

// Whatever happened to the cache or the books between two starts, the
// second start's list is the one read from the books.
TEST(BookCache, ListEqualsTheBooksAfterAnyChange)
{
    struct Case {
        const char *what;
        std::function<void(TestShare &, TempCache &)> change;
        bool readFromCache;                // whether the first book is still taken from the cache
        bool readToMerge = !readFromCache; // whether its list needed the book read
    };
    const auto eachCacheFile = [](TempCache &c, const std::function<QByteArray(QByteArray)> &f) {
        for (const QString &file : c.files())
            rewrite(file, f(readAll(file)));
    };
    const Case cases[] = {
        {"nothing changed", [](TestShare &, TempCache &) {}, true},
        {"book rewritten with other words",
         [](TestShare &s, TempCache &) {
             rewrite(s.books() + "/a.book", bookImage({"кит", "дом", "жаба"}));
         },
         false},
        {"same size and time, other content",
         [](TestShare &s, TempCache &) {
             const QString p = s.books() + "/a.book";
             QByteArray bytes = bookImage({"кит", "дом"}); // as long as "кот", "дом"
             ASSERT_EQ(bytes.size(), QFileInfo(p).size());
             rewrite(p, bytes);
             setTime(p, 1500000000);
         },
         false},
        {"time changed only", [](TestShare &s, TempCache &) { setTime(s.books() + "/a.book", 1000000000); }, false},
        {"cache cut short",
         [&](TestShare &, TempCache &c) { eachCacheFile(c, [](const QByteArray &b) { return b.left(b.size() / 2); }); },
         false},
        {"cache emptied",
         [&](TestShare &, TempCache &c) { eachCacheFile(c, [](const QByteArray &) { return QByteArray(); }); }, false},
        {"a byte of the cache changed",
         [&](TestShare &, TempCache &c) {
             eachCacheFile(c, [](QByteArray b) {
                 b[b.size() / 2] = char(b[b.size() / 2] ^ 0x20);
                 return b;
             });
         },
         false},
        {"a word of the cache changed",
         [&](TestShare &, TempCache &c) {
             eachCacheFile(c, [](QByteArray b) {
                 b[b.size() - 12] = char(b[b.size() - 12] ^ 0x01); // the last word's place
                 return b;
             });
         },
         true, true},
        {"foreign bytes",
         [&](TestShare &, TempCache &c) {
             eachCacheFile(c, [](const QByteArray &b) { return QByteArray(b.size(), 'x'); });
         },
         false},
        {"caches of the books swapped",
         [](TestShare &, TempCache &c) {
             const QStringList f = c.files();
             ASSERT_EQ(f.size(), 2);
             const QByteArray first = readAll(f[0]);
             rewrite(f[0], readAll(f[1]));
             rewrite(f[1], first);
         },
         false},
        {"book removed", [](TestShare &s, TempCache &) { QFile::remove(s.books() + "/b.book"); }, true},
        {"book added",
         [](TestShare &s, TempCache &) {
             s.writeBook("c.book", {"ёж", "арбуз"});
         },
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestShare share;
        TempCache cache;
        setTime(share.writeBook("a.book", {"кот", "дом"}), 1500000000);
        setTime(share.writeBook("b.book", {"Дом", "ель"}), 1500000000);
        const CatalogueLoad first = load(share, true);
        ASSERT_EQ(first.books.size(), 2u);
        ASSERT_EQ(cache.files().size(), 2) << "both books stored";
        c.change(share, cache);
        const CatalogueLoad again = load(share, true);
        ASSERT_FALSE(again.books.empty());
        EXPECT_EQ(again.books[0].cachedWords != nullptr, c.readFromCache);
        // a book taken from the cache has not been read
        EXPECT_EQ(again.books[0].database.isRead(), !c.readFromCache);
        EXPECT_EQ(wordsOf(again), wordsOf(load(share, false)));
        EXPECT_EQ(again.books[0].database.isRead(), c.readToMerge);
        // and what was read again is stored again (a damaged file at the
        // next start)
        load(share, true);
        EXPECT_FALSE(load(share, true).books[0].database.isRead());
    }
}

TEST(BookCache, AFolderThatCannotBeWrittenLeavesTheBooksRead)
{
    TestShare share;
    QTemporaryDir dir;
    QFile blocker(dir.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QByteArray old = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", blocker.fileName().toLocal8Bit()); // a file where the folder would be
    share.writeBook("a.book", {"кот", "дом"});
    for (int start = 0; start < 2; ++start) {
        const CatalogueLoad l = load(share, true);
        ASSERT_EQ(l.books.size(), 1u);
        EXPECT_TRUE(l.books[0].database.isRead());
        EXPECT_EQ(wordsOf(l), QStringList({"дом", "кот"}));
    }
    qputenv("XDG_CACHE_HOME", old);
}

// A book changed or removed while the program runs, after its words came
// from the cache: once read it is stale, its records are what the file now
// holds (none when it is gone), and the list made again is the books'.
TEST(BookCache, BookChangedWhileRunningIsReadAsItIsNow)
{
    struct Case {
        const char *what;
        bool remove;
        QStringList words; // of the rebuilt list
        qsizetype records;
    };
    const Case cases[] = {
        {"rewritten", false, {"дом", "жаба", "кит"}, 3},
        {"removed", true, {}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestShare share;
        TempCache cache;
        const QString path = share.writeBook("a.book", {"кот", "дом"});
        load(share, true);
        CatalogueLoad l = load(share, true);
        ASSERT_EQ(l.books.size(), 1u);
        ASSERT_FALSE(l.books[0].database.isRead());
        if (c.remove)
            QFile::remove(path);
        else
            rewrite(path, bookImage({"кит", "дом", "жаба"}));
        EXPECT_EQ(l.books[0].recordset.RecordCount(), c.records); // reads the book
        EXPECT_TRUE(l.books[0].database.stale());
        EXPECT_TRUE(dropStaleWords(l.books));
        EXPECT_FALSE(dropStaleWords(l.books)) << "dropped once";
        EXPECT_EQ(wordsOf(l), c.words);
    }
}

namespace {

struct Found {
    bool match = false;
    std::optional<QString> text, links, list;
    friend bool operator==(const Found &, const Found &) = default;
};

Found seek(Recordset &rs, const QString &word)
{
    Found f;
    if (rs.RecordCount() == 0)
        return f;
    rs.setIndex(QStringLiteral("List"));
    rs.Seek(QStringLiteral("="), word);
    f.match = !rs.NoMatch();
    if (f.match) {
        f.text = rs.Field(QStringLiteral("Text"));
        f.links = rs.Field(QStringLiteral("Links"));
        f.list = rs.Field(QStringLiteral("List"));
    }
    return f;
}

// For every step-th headword of each book of the folder (and words no book
// has), the record a seek finds in the rows read alone equals the one in the
// whole book. Each gtest assertion counts as several statements.
// NOLINTNEXTLINE(readability-function-size)
void expectRowsAgreeWithBooks(const QString &folder, int step)
{
    TempCache cache;
    LoadCatalogue(folder, {}, QString(), true); // stores the caches
    const CatalogueLoad cached = LoadCatalogue(folder, {}, QString(), true);
    const CatalogueLoad whole = LoadCatalogue(folder, {}, QString(), false);
    ASSERT_EQ(cached.books.size(), whole.books.size());
    ASSERT_FALSE(cached.books.empty());
    for (size_t k = 0; k < cached.books.size(); ++k) {
        ASSERT_TRUE(cached.books[k].cachedWords);
        Recordset all = whole.books[k].recordset;
        QStringList words = {QStringLiteral("нетакогослова"), QStringLiteral("ЖАБА")};
        for (qsizetype i = 0; i < all.RecordCount(); i += step)
            words << all.headword(i).toString() << all.headword(i).toString().toUpper();
        for (const QString &w : words) {
            CatalogueBook b = cached.books[k];
            narrowToWord(b, w);
            ASSERT_TRUE(b.database.isRead());
            EXPECT_LT(b.recordset.RecordCount(), 10) << "only the word's rows";
            EXPECT_EQ(seek(b.recordset, w), seek(all, w)) << qPrintable(w);
        }
    }
}

} // namespace

TEST(BookCache, RowsOfAWordAgreeWithTheBundledBooks)
{
    expectRowsAgreeWithBooks(QStringLiteral(SOMNEX_BUNDLED_BOOKS), 5);
}

TEST(BookCache, RowsOfAWordAgreeWithSyntheticAndLookAlikeBooks)
{
    TestShare share;
    for (uint32_t seed : {1u, 2u}) {
        QFile f(share.books() + QStringLiteral("/synth%1.book").arg(seed));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(buildBookImage(syntheticBook(3000, seed, QStringLiteral("Синтетический"))));
    }
    // headwords equal but for letter case and ё: a seek lands on the exact
    // spelling, else on the first in index order
    share.writeBook("alike.book", {"Кот", "кот", "КОТ", "ёж", "еж", "Ёж", "жаба"});
    expectRowsAgreeWithBooks(share.books(), 13);
}

TEST(BookCache, RowsThatAreNotTheTablesAreRefused)
{
    TestShare share;
    TempCache cache;
    const QString path = share.writeBook("a.book", {"кот", "дом"});
    const std::vector<std::vector<std::pair<uint32_t, uint16_t>>> bad = {
        {{0, 0}}, {{1, 0}}, {{2, 0}}, {{100000, 0}}, {{0xFFFFFFFFu, 0xFFFF}}};
    for (const auto &rows : bad)
        EXPECT_THROW(DBEngine::instance().OpenDatabaseRows(path, QStringLiteral("Book"), rows, {}), Error)
            << rows[0].first;
}

TEST(BookCache, DecodeRefusesWhatEncodeDidNotWrite)
{
    CachedBook b;
    b.path = QStringLiteral("/книги/a.book");
    b.stamp = {8192, 123456789, 42};
    b.toolName = QStringLiteral("Сонник");
    b.colour = QStringLiteral("255");
    b.words = {QStringLiteral("дом"), QStringLiteral("Дом"), QStringLiteral("кот")};
    b.places = {{3, 0}, {3, 1}, {4, 0}};
    const QByteArray good = encodeCache(b);
    const auto back = decodeCache(good);
    ASSERT_TRUE(back);
    ASSERT_TRUE(back->cached && back->cached->words());
    EXPECT_EQ(*back->cached->words(), b.words);
    EXPECT_EQ(back->cached->places(), b.places);
    EXPECT_EQ(back->colour, b.colour);
    EXPECT_TRUE(back->stamp == b.stamp);

    CachedBook unordered = b;
    std::swap(unordered.words[0], unordered.words[2]);
    const auto disordered = decodeCache(encodeCache(unordered));
    ASSERT_TRUE(disordered);
    EXPECT_FALSE(disordered->cached->words()) << "words out of order are not used";
    struct Case {
        const char *what;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"empty", QByteArray()},
        {"cut", good.left(good.size() - 1)},
        {"longer", good + QByteArray(1, '\0')},
        {"another magic", QByteArray("SMXWORDX") + good.mid(8)},
    };
    for (const Case &c : cases)
        EXPECT_FALSE(decodeCache(c.bytes)) << c.what;
}

// The window lets the cached words go once merged: a later merge reads the
// book and gives the same list.
TEST(BookCache, ReleasedWordsAreReadFromTheBook)
{
    TestShare share;
    TempCache cache;
    share.writeBook("a.book", {"кот", "дом", "Дом"});
    load(share, true);
    const CatalogueLoad l = load(share, true);
    ASSERT_EQ(l.books.size(), 1u);
    const auto every = [](size_t) { return true; };
    const auto first = mergeWords(l.books, every, {}, true);
    ASSERT_TRUE(first);
    EXPECT_FALSE(l.books[0].database.isRead());
    EXPECT_FALSE(l.books[0].cachedWords->words()) << "let go";
    const auto again = mergeWords(l.books, every);
    ASSERT_TRUE(again);
    EXPECT_TRUE(l.books[0].database.isRead());
    EXPECT_EQ(all(again->words), all(first->words));
    EXPECT_EQ(all(first->words), QStringList({"дом", "Дом", "кот"}));
}
