// What ships with the program: every dream book built from its source as the
// build does, and every article of the shelf, held to the size and quality
// the program promises out of the box.
#include "dictionary/BookDatabase.h"
#include "dictionary/BookSource.h"
#include "dictionary/WordIndex.h"
#include "literature/Shelf.h"
#include "platform/error/Error.h"
#include "platform/rtf/RtfReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <iostream>
#include <map>

using namespace somnex;
using namespace somnex::dictionary;

namespace {

constexpr int kMinHeadwordsPerBook = 600;
constexpr int kMinDistinctHeadwords = 900; // in the merged word list of all books
constexpr int kMinInterpretations = 3;     // non-blank lines of an entry
constexpr int kMaxInterpretations = 6;
constexpr int kMaxLineLength = 400; // characters of an interpretation line or a see-also list
constexpr int kMinArticles = 10;
constexpr qint64 kMinArticleBytes = 3 * 1024;
constexpr qint64 kMaxArticleBytes = 8 * 1024;

// Failures listed in full up to this many; past it, counted.
constexpr int kListed = 40;

struct Book {
    QString file;
    BookContent source;  // as parsed
    BookContent built;   // read back from the built book
    QStringList ordered; // headwords in index order
    qsizetype bytes = 0;
};

std::string s(const QString &t)
{
    return t.toStdString();
}

const std::vector<Book> &books()
{
    static const std::vector<Book> all = [] {
        std::vector<Book> out;
        const QDir dir(QStringLiteral(SOMNEX_BOOKS_SOURCE_DIR));
        for (const QString &name : dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name)) {
            if (name == QLatin1String("CMakeLists.txt"))
                continue;
            QFile f(dir.filePath(name));
            if (!f.open(QIODevice::ReadOnly))
                throw Error(1, QStringLiteral("test"), QStringLiteral("cannot read %1").arg(name));
            Book b;
            b.file = name;
            b.source = parseBookSource(f.readAll(), name).content;
            const QByteArray image = buildBookImage(b.source);
            b.bytes = image.size();
            const Database db = DBEngine::instance().OpenDatabaseImage(image, name);
            b.built = readBook(db);
            Recordset rs = db.OpenRecordset(QStringLiteral("Book"));
            rs.setIndex(QStringLiteral("List"));
            for (qsizetype i = 0; i < rs.RecordCount(); ++i)
                b.ordered << rs.headword(i).toString();
            out.push_back(std::move(b));
        }
        return out;
    }();
    return all;
}

QStringList interpretationLines(const BookEntry &e)
{
    QStringList lines;
    for (const QString &l : e.text.split(QStringLiteral("\r\n")))
        if (!l.trimmed().isEmpty())
            lines << l.trimmed();
    return lines;
}

// Reports what failed, one line each, the first kListed in full.
class Findings {
public:
    explicit Findings(const char *what) : what_(what) {}
    void add(const QString &line)
    {
        if (++count_ <= kListed)
            text_ += "\n  " + s(line);
    }
    ~Findings()
    {
        if (count_ > kListed)
            text_ += "\n  … and " + std::to_string(count_ - kListed) + " more";
        EXPECT_EQ(count_, 0) << what_ << ":" << text_;
    }

private:
    const char *what_;
    int count_ = 0;
    std::string text_;
};

} // namespace

TEST(BundledData, ThreeBooksBuildAndReadBackWhole)
{
    ASSERT_EQ(books().size(), 3u);
    for (const Book &b : books()) {
        ASSERT_EQ(b.built.entries.size(), b.source.entries.size()) << s(b.file);
        for (std::size_t i = 0; i < b.built.entries.size(); ++i) {
            EXPECT_EQ(b.built.entries[i].headword, b.source.entries[i].headword) << s(b.file);
            EXPECT_EQ(b.built.entries[i].text, b.source.entries[i].text) << s(b.file);
        }
        std::cout << s(b.file) << ": " << b.built.entries.size() << " headwords, " << b.bytes << " bytes built\n";
    }
}

TEST(BundledData, EveryBookHasEnoughHeadwordsAndAllTogetherMore)
{
    WordIndex list;
    for (const Book &b : books()) {
        EXPECT_GE(b.ordered.size(), kMinHeadwordsPerBook) << s(b.file);
        list.addRun(std::vector<QString>(b.ordered.begin(), b.ordered.end()));
    }
    list.finish();
    std::cout << "distinct headwords in the word list: " << list.size() << "\n";
    EXPECT_GE(list.size(), kMinDistinctHeadwords);
}

TEST(BundledData, NoHeadwordTwiceInABook)
{
    Findings f("headwords a seek cannot tell apart");
    for (const Book &b : books())
        for (qsizetype i = 1; i < b.ordered.size(); ++i)
            if (sameHeadword(b.ordered[i - 1], b.ordered[i]))
                f.add(QStringLiteral("%1: «%2» / «%3»").arg(b.file, b.ordered[i - 1], b.ordered[i]));
}

TEST(BundledData, EverySeeAlsoNameIsAHeadwordOfItsBook)
{
    Findings f("see-also names that lead nowhere");
    for (const Book &b : books())
        for (const DanglingLink &d : danglingSeeAlso(b.source))
            f.add(QStringLiteral("%1:%2: «%3» → «%4»").arg(b.file).arg(d.line).arg(d.headword, d.name));
}

TEST(BundledData, EveryEntryHasThreeToSixInterpretations)
{
    Findings f("entries with too few or too many interpretation lines");
    for (const Book &b : books())
        for (const BookEntry &e : b.source.entries) {
            const qsizetype n = interpretationLines(e).size();
            if (n < kMinInterpretations || n > kMaxInterpretations)
                f.add(QStringLiteral("%1:%2: «%3» has %4").arg(b.file).arg(e.line).arg(e.headword).arg(n));
        }
}

TEST(BundledData, NoLineIsTooLong)
{
    Findings f("lines longer than the limit");
    for (const Book &b : books())
        for (const BookEntry &e : b.source.entries) {
            QStringList lines = e.text.split(QStringLiteral("\r\n"));
            if (e.links)
                lines << *e.links;
            for (const QString &l : lines)
                if (l.size() > kMaxLineLength)
                    f.add(QStringLiteral("%1:%2: «%3»: %4 characters")
                              .arg(b.file)
                              .arg(e.line)
                              .arg(e.headword)
                              .arg(l.size()));
        }
}

TEST(BundledData, NoInterpretationLineIsRepeatedAnywhere)
{
    Findings f("interpretation lines written twice");
    std::map<QString, QString> first; // line (blanks collapsed) -> where it was first
    for (const Book &b : books())
        for (const BookEntry &e : b.source.entries)
            for (const QString &l : interpretationLines(e)) {
                const QString where = QStringLiteral("%1:%2 «%3»").arg(b.file).arg(e.line).arg(e.headword);
                const auto [it, fresh] = first.emplace(l.simplified(), where);
                if (!fresh)
                    f.add(QStringLiteral("%1 repeats %2: %3").arg(where, it->second, l.left(60)));
            }
}

TEST(BundledData, TheShelfHasEnoughArticlesOfARealLength)
{
    const QString folder = QStringLiteral(SOMNEX_TEXTS_DIR);
    const QStringList files = literature::ArticleFiles(folder);
    EXPECT_GE(files.size(), kMinArticles);
    for (const QString &name : files) {
        QFile file(QDir(folder).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << s(name);
        const QByteArray data = file.readAll();
        EXPECT_GE(data.size(), kMinArticleBytes) << s(name);
        EXPECT_LE(data.size(), kMaxArticleBytes) << s(name);
        const RtfReadResult r = ReadRtf(data);
        ASSERT_TRUE(r.ok()) << s(name) << ": " << s(r.error);
        ASSERT_FALSE(r.runs.empty()) << s(name);
        EXPECT_TRUE(r.runs[0].bold) << s(name) << ": the heading comes first, in bold";
        EXPECT_EQ(r.runs[0].text.trimmed(), literature::NameWithoutExtension(name)) << s(name);
        // a heading and at least three paragraphs of body text
        const QStringList paragraphs = RtfPlainText(r.runs).split(u'\n', Qt::SkipEmptyParts);
        EXPECT_GE(paragraphs.size(), 4) << s(name);
    }
}
