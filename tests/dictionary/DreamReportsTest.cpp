// The symbol finder over dream reports as people write them, with the
// bundled books: it must find what a reader would look up (recall) and mark
// little else (precision). The reports and their symbols are in
// dreams/reports.txt; its header describes the format.
#include "dictionary/BookDatabase.h"
#include "dictionary/SymbolFinder.h"
#include "dictionary/WordFinder.h"
#include "dictionary/WordIndex.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <gtest/gtest.h>

#include <iostream>

using namespace somnex;
using namespace somnex::dictionary;

namespace {

constexpr double kMinRecall = 0.95;
constexpr double kMaxFalseShare = 1.0 / 20; // marks that are no annotated symbol
constexpr int kListed = 60;                 // misses and false marks printed in full

struct Annotation {
    qsizetype start = 0;
    qsizetype length = 0;
    QStringList headwords; // any of them is right
};

struct Report {
    QString title;
    QString text;
    std::vector<Annotation> symbols;
};

std::vector<Report> readReports(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    std::vector<Report> out;
    for (const QString &line : QString::fromUtf8(f.readAll()).split(u'\n')) {
        if (line.startsWith(u'#'))
            continue;
        if (line.startsWith(u"===")) {
            out.push_back({line.mid(3).trimmed(), {}, {}});
            continue;
        }
        if (out.empty() || line.trimmed().isEmpty())
            continue;
        Report &r = out.back();
        if (!r.text.isEmpty())
            r.text += u'\n';
        for (qsizetype i = 0; i < line.size();) {
            const qsizetype open = line.indexOf(u'[', i);
            if (open < 0) {
                r.text += line.mid(i);
                break;
            }
            const qsizetype bar = line.indexOf(u'|', open), close = line.indexOf(u']', open);
            if (bar < 0 || close < bar) {
                ADD_FAILURE() << "unclosed mark in " << r.title.toStdString() << ": " << line.toStdString();
                return {};
            }
            r.text += line.mid(i, open - i);
            const QString words = line.mid(open + 1, bar - open - 1);
            r.symbols.push_back({r.text.size(), words.size(), line.mid(bar + 1, close - bar - 1).split(u'/')});
            r.text += words;
            i = close + 1;
        }
    }
    return out;
}

dictionary::WordIndex bundledWords()
{
    return dictionary::WordIndex::ofBooksIn(QStringLiteral(SOMNEX_BUNDLED_BOOKS));
}

// Whether a found headword is the one a reader named: the same words, or the
// same stems word by word, one fleeting vowel apart ("Вши" and "Вошь", "Гость"
// and "Гости"), so that the books may merge or rename such pairs.
class SameSymbol {
public:
    bool operator()(const QString &named, const QString &found)
    {
        const QStringList a = stems(named), b = stems(found); // copies: a lookup may rehash
        if (a.size() != b.size())
            return false;
        for (qsizetype i = 0; i < a.size(); ++i)
            if (a[i] != b[i] && !oneLetterApart(a[i], b[i]) && !oneLetterApart(b[i], a[i]))
                return false;
        return true;
    }

private:
    // Whether longer is shorter with one fleeting letter put in ("вош" and
    // "вш"); a changed letter is another word ("мел" and "мыл").
    static bool oneLetterApart(const QString &longer, const QString &shorter)
    {
        if (longer.size() != shorter.size() + 1)
            return false;
        for (qsizetype i = 0; i < longer.size(); ++i)
            if (QStringView(u"еоьйиы").contains(longer[i]) && QString(longer).remove(i, 1) == shorter)
                return true;
        return false;
    }

    const QStringList &stems(const QString &headword)
    {
        auto it = cache_.find(headword);
        if (it == cache_.end()) {
            QStringList out;
            for (const QString &w : dictionary::foldedWords(headword))
                out << stemmer_.stem(w);
            it = cache_.insert(headword, out);
        }
        return *it;
    }

    dictionary::Stemmer stemmer_;
    QHash<QString, QStringList> cache_;
};

std::string s(const QString &t)
{
    return t.toStdString();
}

} // namespace

TEST(DreamReports, FindsTheSymbolsAReaderWouldLookUp)
{
    const std::vector<Report> reports = readReports(QStringLiteral("dreams/reports.txt"));
    ASSERT_GE(reports.size(), 60u);
    const dictionary::WordIndex words = bundledWords();
    ASSERT_GT(words.size(), 500) << "the bundled books are missing from " << SOMNEX_BUNDLED_BOOKS;
    dictionary::SymbolFinder finder;
    finder.build(words);
    SameSymbol same;

    const auto inBooks = [&](const Annotation &a) {
        for (int i = 0; i < words.size(); ++i)
            for (const QString &h : a.headwords)
                if (same(h, words.word(i)))
                    return true;
        return false;
    };
    const auto names = [&](const Annotation &a, const dictionary::SymbolMark &m) {
        for (int item : m.items)
            for (const QString &h : a.headwords)
                if (same(h, words.word(item)))
                    return true;
        return false;
    };

    int expected = 0, found = 0, marks = 0, falseMarks = 0, notInBooks = 0, listed = 0;
    for (const Report &r : reports) {
        const std::vector<dictionary::SymbolMark> got = finder.find(r.text);
        marks += int(got.size());
        for (const Annotation &a : r.symbols) {
            // A thing the books have no headword for is no symbol to find,
            // but no false mark either should a book add it.
            if (!inBooks(a)) {
                ++notInBooks;
                continue;
            }
            ++expected;
            const bool hit = std::any_of(got.begin(), got.end(), [&](const dictionary::SymbolMark &m) {
                return m.start == a.start && m.length == a.length && names(a, m);
            });
            found += hit ? 1 : 0;
            if (!hit && listed++ < kListed)
                std::cout << "missed  [" << s(r.title) << "] " << s(r.text.mid(a.start, a.length)) << " -> "
                          << s(a.headwords.join(u'/')) << '\n';
        }
        for (const dictionary::SymbolMark &m : got) {
            const bool right = std::any_of(r.symbols.begin(), r.symbols.end(), [&](const Annotation &a) {
                return m.start == a.start && m.length == a.length && (names(a, m) || !inBooks(a));
            });
            if (right)
                continue;
            ++falseMarks;
            if (listed++ < kListed)
                std::cout << "false   [" << s(r.title) << "] " << s(r.text.mid(m.start, m.length)) << " -> "
                          << s(words.word(m.item)) << '\n';
        }
    }
    const double recall = expected ? double(found) / expected : 0;
    const double falseShare = marks ? double(falseMarks) / marks : 0;
    std::cout << "reports " << reports.size() << ", symbols " << expected << " (+" << notInBooks
              << " with no headword in the books), found " << found << ", marks " << marks << ", false " << falseMarks
              << '\n'
              << "recall " << recall * 100 << " %, false marks " << falseShare * 100 << " % (1 in "
              << (falseMarks ? marks / falseMarks : 0) << ")\n";
    EXPECT_GE(recall, kMinRecall);
    EXPECT_LE(falseShare, kMaxFalseShare);
}
