// A whole dream read against the bundled books: its symbols found and every
// line of every book ranked, for dreams of 1 000 and 10 000 characters; and
// what the diary's symbol tab does after a pause in typing a 5 000-character
// dream (the entries already read, the lines ranked again).
#include "dictionary/Catalogue.h"
#include "dictionary/LineRanker.h"
#include "dictionary/MergedWords.h"
#include "reading/CatalogueTolk.h"
#include "reading/DreamReading.h"

#include <benchmark/benchmark.h>

#include <stdexcept>

using namespace somnex;
using namespace somnex::dictionary;

namespace {

struct Books {
    CatalogueLoad load;
    WordIndex words;
    SymbolFinder finder;
    std::vector<ReadingBook> reading;
    Books()
    {
        load = LoadCatalogue(QStringLiteral(SOMNEX_BUNDLED_BOOKS), [](const QString &) { return 1; });
        if (load.failure != CatalogueLoad::None)
            throw std::runtime_error("no bundled books in " SOMNEX_BUNDLED_BOOKS);
        words = std::move(mergeWords(load.books, [](size_t) { return true; })->words);
        finder.build(words);
        reading = ReadingBooksOf(load.books, [](size_t) { return true; });
    }
};

Books &books()
{
    static Books b;
    return b;
}

// A dream of about n characters, told with the usual words and many symbols.
QString dreamOf(qsizetype n)
{
    static const QString parts[] = {
        QStringLiteral("Снилось, что за мной по тёмному лесу гналась чёрная собака. "),
        QStringLiteral("Потом у меня выпал зуб с кровью, и я испугалась. "),
        QStringLiteral("Я стояла у реки, вода была мутная, а на берегу лежала змея. "),
        QStringLiteral("Покойная бабушка звала меня в старый дом, где горел огонь. "),
        QStringLiteral("Мы с мужем опоздали на поезд и долго искали билеты. "),
    };
    QString s;
    for (size_t i = 0; s.size() < n; ++i)
        s += parts[i % std::size(parts)];
    return s.left(n);
}

void BM_ReadDream(benchmark::State &state)
{
    Books &b = books();
    const QString dream = dreamOf(state.range(0));
    size_t symbols = 0;
    for (auto _ : state) {
        const DreamReading r = ReadDream(dream, b.finder, b.words, b.reading);
        symbols = r.symbols.size();
        benchmark::DoNotOptimize(symbols);
    }
    state.counters["symbols"] = double(symbols);
}
BENCHMARK(BM_ReadDream)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_DiaryBestLines(benchmark::State &state)
{
    Books &b = books();
    const QString dream = dreamOf(5000);
    // what the tab keeps between refreshes: each symbol's place and its books' lines
    struct Symbol {
        qsizetype start, length;
        QString headword;
        std::vector<QStringList> lines;
    };
    std::vector<Symbol> symbols;
    for (const SymbolReading &s : ReadDream(dream, b.finder, b.words, b.reading).symbols) {
        Symbol k{s.start, s.length, s.headword, {}};
        for (const BookReading &book : s.books) {
            QStringList lines;
            for (const RankedLine &l : book.lines)
                lines << l.text;
            k.lines.push_back(lines);
        }
        symbols.push_back(k);
    }
    for (auto _ : state) {
        const DreamText text(dream);
        for (const Symbol &s : symbols)
            for (const QStringList &lines : s.lines)
                benchmark::DoNotOptimize(text.rank(s.start, s.length, s.headword, lines).front().score);
    }
    state.counters["symbols"] = double(symbols.size());
}
BENCHMARK(BM_DiaryBestLines)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
