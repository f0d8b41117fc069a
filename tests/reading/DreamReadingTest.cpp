// A whole dream read against books: what the reading and its document hold,
// what bad input gets, and how often the bundled books' best line is the one
// a careful reader picks (the set in tests/data/dream-readings.tsv).
#include "dictionary/Catalogue.h"
#include "dictionary/MergedWords.h"
#include "reading/CatalogueTolk.h"
#include "reading/DreamDocument.h"
#include "reading/DreamReading.h"

#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <stdexcept>

using namespace somnex;
using namespace somnex::dictionary;

namespace {

WordIndex indexOf(std::vector<QString> words)
{
    WordIndex w;
    w.addRun(std::move(words));
    w.finish();
    return w;
}

ReadingBook bookOf(const QString &heading, const QString &file, const QHash<QString, QString> &entries)
{
    TolkBook b{heading, QStringLiteral("139"),
               [entries](const QString &word) -> std::optional<std::pair<QString, std::optional<QString>>> {
                   if (word == QStringLiteral("Лестница"))
                       throw std::runtime_error("damaged entry");
                   if (!entries.contains(word))
                       return std::nullopt;
                   return std::make_pair(entries.value(word), std::nullopt);
               }};
    return {b, file};
}

struct Fixture {
    WordIndex words = indexOf({QStringLiteral("Зубы"), QStringLiteral("Лестница"), QStringLiteral("Собака")});
    SymbolFinder finder;
    std::vector<ReadingBook> books;
    Fixture()
    {
        finder.build(words);
        books.push_back(bookOf(QStringLiteral("Первый сонник"), QStringLiteral("one.book"),
                               {{QStringLiteral("Собака"),
                                 QStringLiteral("Приснилась собака – к другу.\r\nСобака укусила – к обиде.\r\n"
                                                "Собака гонится за вами – к долгу.\r\nСобака лает – к спору.\r\n"
                                                "Белая собака – к помощи.")},
                                {QStringLiteral("Зубы"), QStringLiteral("Выпал зуб – к разлуке.")}}));
        books.push_back(bookOf(QStringLiteral("Второй сонник"), QStringLiteral("two.book"),
                               {{QStringLiteral("Собака"), QStringLiteral("Собака <Друг> – к верности.")}}));
    }
};

} // namespace

TEST(DreamReading, EachSymbolOnceWithEveryBookAndADamagedOneNamed)
{
    Fixture f;
    const DreamReading r =
        ReadDream(QStringLiteral("За мной гналась собака, потом собака лаяла, и на лестнице зуб выпал."), f.finder,
                  f.words, f.books);
    ASSERT_EQ(r.symbols.size(), 3u);
    EXPECT_EQ(r.symbols[0].headword, QStringLiteral("Собака"));
    EXPECT_EQ(r.symbols[0].start, 16);
    ASSERT_EQ(r.symbols[0].books.size(), 2u);
    EXPECT_EQ(r.symbols[0].books[0].file, QStringLiteral("one.book"));
    EXPECT_EQ(r.symbols[0].books[0].lines.front().text, QStringLiteral("Собака гонится за вами – к долгу."));
    EXPECT_EQ(r.symbols[0].books[0].lines.size(), 5u);
    EXPECT_EQ(r.symbols[0].books[1].lines.front().text, QStringLiteral("Собака Друг – к верности."))
        << "the link markers are taken out of a line";
    // the damaged entry leaves its book out and says which
    EXPECT_EQ(r.symbols[1].headword, QStringLiteral("Лестница"));
    EXPECT_TRUE(r.symbols[1].books.empty());
    EXPECT_EQ(r.symbols[1].unreadable, (QStringList{QStringLiteral("Первый сонник"), QStringLiteral("Второй сонник")}));
    EXPECT_EQ(r.symbols[2].headword, QStringLiteral("Зубы"));
    EXPECT_FALSE(r.cut);
}

TEST(DreamReading, APhrasesOwnWordsAreSymbolsToo)
{
    const WordIndex words = indexOf({QStringLiteral("Кольцо"), QStringLiteral("Обручальное кольцо")});
    SymbolFinder finder;
    finder.build(words);
    const ReadingBook book =
        bookOf(QStringLiteral("Сонник"), QStringLiteral("one.book"),
               {{QStringLiteral("Кольцо"), QStringLiteral("Кольцо сломалось – к ссоре.")},
                {QStringLiteral("Обручальное кольцо"), QStringLiteral("Обручальное кольцо – к браку.")}});
    const QString text = QStringLiteral("Снилось, что обручальное кольцо лопнуло.");
    const DreamReading r = ReadDream(text, finder, words, {book});
    ASSERT_EQ(r.symbols.size(), 2u);
    EXPECT_EQ(r.symbols[0].headword, QStringLiteral("Обручальное кольцо"));
    EXPECT_EQ(r.symbols[1].headword, QStringLiteral("Кольцо"));
    EXPECT_EQ(text.mid(r.symbols[1].start, r.symbols[1].length), QStringLiteral("кольцо"));
}

TEST(DreamReading, AWordThatDescribesIsNoSymbolOfThePhrase)
{
    // "золотая" in "золотая рыбка" tells the fish, not gold
    const WordIndex words = indexOf({QStringLiteral("Золото"), QStringLiteral("Золотая рыбка")});
    SymbolFinder finder;
    finder.build(words);
    const ReadingBook book =
        bookOf(QStringLiteral("Сонник"), QStringLiteral("one.book"),
               {{QStringLiteral("Золото"), QStringLiteral("Найти золото – к удаче.")},
                {QStringLiteral("Золотая рыбка"), QStringLiteral("Поймать золотую рыбку – к желанию.")}});
    const DreamReading r = ReadDream(QStringLiteral("Снилась золотая рыбка."), finder, words, {book});
    ASSERT_EQ(r.symbols.size(), 1u);
    EXPECT_EQ(r.symbols[0].headword, QStringLiteral("Золотая рыбка"));
}

TEST(DreamReading, OddTextsAreReadWithinBounds)
{
    Fixture f;
    for (const QString &text : {QString(), QStringLiteral("Сегодня ничего не снилось"), QStringLiteral("12345"),
                                QStringLiteral("😀 dog <b>"), QString(QChar(0xD83D))}) {
        const DreamReading r = ReadDream(text, f.finder, f.words, f.books);
        EXPECT_TRUE(r.symbols.empty()) << text.toStdString();
        const DreamDocument doc = BuildDreamDocument(r);
        EXPECT_TRUE(doc.text.contains(QStringLiteral("В этом сне не нашлось слов из сонников.")));
        EXPECT_EQ(doc.formats.size(), size_t(doc.text.size()));
    }
    // a huge text: its beginning is read, and the reading says so
    QString huge;
    while (huge.size() < 10'000'000)
        huge += QStringLiteral("Мне снилась белая собака. ");
    const DreamReading r = ReadDream(huge, f.finder, f.words, f.books);
    EXPECT_TRUE(r.cut);
    EXPECT_EQ(r.text.size(), kDreamReadLimit);
    ASSERT_EQ(r.symbols.size(), 1u);
    EXPECT_EQ(r.symbols[0].books[0].lines.front().text, QStringLiteral("Белая собака – к помощи."));
    EXPECT_TRUE(BuildDreamDocument(r).text.contains(QStringLiteral("прочитаны первые 20")));
    // a cut never splits a surrogate pair
    const QString emoji = QString(kDreamReadLimit - 1, u'а') + QStringLiteral("😀😀");
    const DreamReading e = ReadDream(emoji, f.finder, f.words, f.books);
    EXPECT_FALSE(e.text.back().isHighSurrogate());
}

TEST(DreamReading, TheDocumentLinksSymbolsAndUnfoldsTheRest)
{
    Fixture f;
    const DreamReading r = ReadDream(QStringLiteral("Собака <гналась> за мной."), f.finder, f.words, {f.books[0]});
    const DreamDocument folded = BuildDreamDocument(r);
    EXPECT_EQ(folded.formats.size(), size_t(folded.text.size()));
    EXPECT_TRUE(folded.text.contains(QStringLiteral("‹гналась›"))) << "a reader's angle brackets are no markers";
    // the dream's own word is a link to its symbol, and so is the heading
    const qsizetype inDream = folded.text.indexOf(QStringLiteral("Собака"));
    const DreamLink *l = folded.linkAt(inDream + 1);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->kind, DreamLink::Symbol);
    EXPECT_EQ(r.symbols[size_t(l->symbol)].headword, QStringLiteral("Собака"));
    EXPECT_TRUE(folded.formats[size_t(l->open)].hidden);
    // three lines shown, the best marked, the other two behind a link
    EXPECT_TRUE(folded.text.contains(QStringLiteral("★ Собака гонится за вами")));
    EXPECT_FALSE(folded.text.contains(QStringLiteral("Белая собака")));
    const qsizetype more = folded.text.indexOf(QStringLiteral("ещё 2 толкования"));
    ASSERT_GE(more, 0);
    const DreamLink *unfold = folded.linkAt(more + 1);
    ASSERT_NE(unfold, nullptr);
    EXPECT_EQ(unfold->kind, DreamLink::Unfold);
    const DreamDocument all = BuildDreamDocument(r, {{unfold->symbol, unfold->book}});
    EXPECT_TRUE(all.text.contains(QStringLiteral("Белая собака")));
    EXPECT_FALSE(all.text.contains(QStringLiteral("ещё ")));
    // the matched word is bold
    const qsizetype matched = all.text.indexOf(QStringLiteral("гонится"));
    EXPECT_TRUE(all.formats[size_t(matched)].bold);
    EXPECT_FALSE(all.formats[size_t(all.text.indexOf(QStringLiteral("за вами")))].bold);

    // the user's own dreams with the symbol, a link to them; none without a diary or dreams
    EXPECT_FALSE(folded.text.contains(QStringLiteral("В вашем дневнике")));
    DreamReading withHistory = r;
    withHistory.symbols[0].history = DiaryHistory{5, 3, 2};
    const DreamDocument history = BuildDreamDocument(withHistory);
    const qsizetype line =
        history.text.indexOf(QStringLiteral("В вашем дневнике: 5 снов с этим символом, сбылось 2 из 3 отмеченных"));
    ASSERT_GE(line, 0);
    ASSERT_NE(history.linkAt(line + 1), nullptr);
    EXPECT_EQ(history.linkAt(line + 1)->kind, DreamLink::Diary);
    withHistory.symbols[0].history = DiaryHistory{1, 0, 0};
    const QString one = BuildDreamDocument(withHistory).text;
    EXPECT_TRUE(one.contains(QStringLiteral("В вашем дневнике: 1 сон с этим символом")));
    EXPECT_FALSE(one.contains(QStringLiteral("сбылось"))) << "nothing marked, nothing said of it";
    withHistory.symbols[0].history = DiaryHistory{};
    EXPECT_FALSE(BuildDreamDocument(withHistory).text.contains(QStringLiteral("В вашем дневнике")));
    EXPECT_EQ(dreamsCount(2), QStringLiteral("2 сна"));
    EXPECT_EQ(dreamsCount(12), QStringLiteral("12 снов"));
    EXPECT_EQ(dreamsCount(21), QStringLiteral("21 сон"));

    EXPECT_EQ(interpretationsCount(1), QStringLiteral("1 толкование"));
    EXPECT_EQ(interpretationsCount(3), QStringLiteral("3 толкования"));
    EXPECT_EQ(interpretationsCount(11), QStringLiteral("11 толкований"));
    EXPECT_EQ(interpretationsCount(22), QStringLiteral("22 толкования"));
    EXPECT_EQ(interpretationsCount(25), QStringLiteral("25 толкований"));
}

TEST(DreamReading, ADreamIsOfferedForSeveralWordsThatAreNoHeadword)
{
    const WordIndex words = indexOf({QStringLiteral("Обручальное кольцо"), QStringLiteral("Собака")});
    EXPECT_TRUE(LooksLikeDream(QStringLiteral("за мной гналась собака"), words));
    EXPECT_TRUE(LooksLikeDream(QStringLiteral("чёрная собака"), words));
    EXPECT_FALSE(LooksLikeDream(QStringLiteral("собака"), words));
    EXPECT_FALSE(LooksLikeDream(QStringLiteral("  Обручальное  кольцо "), words));
    EXPECT_FALSE(LooksLikeDream(QString(), words));
    EXPECT_FALSE(LooksLikeDream(QStringLiteral("!!! ???"), words));
}

// ---- the bundled books against a careful reader's picks ----------------------

namespace {

// Reached on the set; a change that reads worse fails.
constexpr double kMinTop1 = 0.86;
constexpr double kMinTop3 = 0.97;

struct Pick {
    QString headword, file, situation;
};
struct Dream {
    QString text;
    std::vector<Pick> picks;
};

std::vector<Dream> readSet(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    std::vector<Dream> out;
    for (const QString &line : QString::fromUtf8(f.readAll()).split(u'\n')) {
        const QStringList cells = line.split(u'\t');
        if (cells[0] == QLatin1String("dream") && cells.size() == 2)
            out.push_back({cells[1].trimmed(), {}});
        else if (cells[0] == QLatin1String("pick") && cells.size() == 4 && !out.empty())
            out.back().picks.push_back({cells[1].trimmed(), cells[2].trimmed(), cells[3].trimmed()});
    }
    return out;
}

} // namespace

struct Figures {
    double top1 = 0, top3 = 0;
};

Figures measure(const std::vector<Dream> &set);

// A set of dreams measured against the figures it has reached: a change
// that reads worse fails.
void ratchet(const char *file, size_t dreams, double top1, double top3)
{
    const std::vector<Dream> set = readSet(QStringLiteral(SOMNEX_TEST_DATA_DIR "/") + QLatin1String(file));
    ASSERT_GE(set.size(), dreams) << file;
    const Figures f = measure(set);
    EXPECT_GE(f.top1, top1) << file;
    EXPECT_GE(f.top3, top3) << file;
}

TEST(DreamReading, TheBestLineIsTheOneAReaderPicks)
{
    ratchet("dream-readings.tsv", 60, kMinTop1, kMinTop3);
}

// A second set, written after the ranker and measured first without any
// change to it (65.8 % and 90.6 % then); kept as a ratchet of its own.
TEST(DreamReading, TheBestLineOnDreamsWrittenAfterTheRanker)
{
    ratchet("dream-readings-later.tsv", 25, 0.76, 0.96);
}

// A third set, written by someone who never saw the ranker nor its misses
// (58.0 % and 79.3 % on the ranker of its day); its own ratchet.
TEST(DreamReading, TheBestLineOnDreamsNeverSeenWhileTuning)
{
    ratchet("dream-readings-third.tsv", 45, 0.73, 0.91);
}

// A fourth set, written by someone who never saw the ranker nor the other
// sets (62.9 % and 89.4 % when it came, the entry's first line 43.8 %); its
// misses are read while tuning, the third set's are not.
TEST(DreamReading, TheBestLineOnAFourthSet)
{
    ratchet("dream-readings-fourth.tsv", 45, 0.75, 0.93);
}

// The book's reading of a pick's symbol, or null when the dream's symbols
// do not hold it.
const BookReading *bookOf(const DreamReading &r, const Pick &p)
{
    for (const SymbolReading &s : r.symbols)
        if (s.headword == p.headword)
            for (const BookReading &b : s.books)
                if (b.file == p.file + QStringLiteral(".book"))
                    return &b;
    return nullptr;
}

bool isPicked(const RankedLine &l, const Pick &p)
{
    return situationOf(l.text) == p.situation || l.text.startsWith(p.situation);
}

struct Tally {
    int pairs = 0, top1 = 0, top3 = 0, firstLine = 0, notFound = 0;
    QStringList misses;

    void count(const Dream &d, const Pick &p, const BookReading *book)
    {
        ++pairs;
        if (!book) {
            ++notFound;
            misses << QStringLiteral("not found: %1 / %2 in «%3»").arg(p.headword, p.file, d.text);
            return;
        }
        const auto at =
            std::find_if(book->lines.begin(), book->lines.end(), [&](const RankedLine &l) { return isPicked(l, p); });
        const int rank = at == book->lines.end() ? -1 : int(at - book->lines.begin());
        top1 += rank == 0;
        top3 += rank >= 0 && rank < 3;
        firstLine += at != book->lines.end() && at->index == 0;
        // each with its score and the words it matched, to see why
        const auto told = [](const RankedLine &l) {
            return QStringLiteral("%1 [%2]").arg(l.score, 0, 'f', 3).arg(l.matched.join(u' '));
        };
        if (rank != 0)
            misses << QStringLiteral("%1 / %2 at %3: «%4» — picked «%5» %6, ranked first «%7» %8")
                          .arg(p.headword, p.file)
                          .arg(rank + 1)
                          .arg(d.text, p.situation, at == book->lines.end() ? QString() : told(*at),
                               book->lines.front().text.left(80), told(book->lines.front()));
    }
};

Figures measure(const std::vector<Dream> &set)
{
    Figures result;
    CatalogueLoad load = LoadCatalogue(QStringLiteral(SOMNEX_BUNDLED_BOOKS), [](const QString &) { return 1; });
    EXPECT_EQ(load.failure, CatalogueLoad::None) << load.error.toStdString();
    std::optional<MergedWords> merged = mergeWords(load.books, [](size_t) { return true; });
    if (load.failure != CatalogueLoad::None || !merged || merged->failure) {
        ADD_FAILURE() << "the bundled books cannot be read";
        return result;
    }
    SymbolFinder finder;
    finder.build(merged->words);
    const std::vector<ReadingBook> books = ReadingBooksOf(load.books, [](size_t) { return true; });

    Tally t;
    for (const Dream &d : set) {
        const DreamReading r = ReadDream(d.text, finder, merged->words, books);
        for (const Pick &p : d.picks)
            t.count(d, p, bookOf(r, p));
    }
    if (t.pairs == 0) {
        ADD_FAILURE() << "no pairs";
        return result;
    }
    result.top1 = double(t.top1) / t.pairs;
    result.top3 = double(t.top3) / t.pairs;
    std::cout << "pairs " << t.pairs << ", top-1 " << 100 * result.top1 << " %, top-3 " << 100 * result.top3
              << " %, the entry's first line " << 100.0 * t.firstLine / t.pairs << " %, symbol not found " << t.notFound
              << "\n";
    for (const QString &m : t.misses)
        std::cout << "  " << m.toStdString() << "\n";
    return result;
}
