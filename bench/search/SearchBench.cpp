// Finding what people type, on ten synthetic books of 20 000 headwords: the
// suggestions for a keystroke with no prefix match, the full-text index
// build and one full-text query. The counters report the memory the indexes
// hold beside the packed text they were built from.
#include "BenchShelf.h"
#include "dictionary/MergedWords.h"
#include "dictionary/TextIndex.h"
#include "dictionary/WordFinder.h"
#include "dictionary/WordIndex.h"

#include <benchmark/benchmark.h>

#include <vector>

using namespace somnex;
using namespace somnex::dictionary;

namespace {

// The shelf and its merged word list, as the main window holds them.
struct Set {
    bench::Shelf shelf = bench::makeShelf(false);
    dictionary::WordIndex words = std::move(mergeWords(shelf.books, [](size_t) { return true; })->words);
};

Set &books()
{
    static Set s;
    return s;
}

std::vector<dictionary::TextSource> sources()
{
    std::vector<dictionary::TextSource> out;
    for (size_t i = 0; i < books().shelf.books.size(); ++i)
        out.push_back({QStringLiteral("Книга %1").arg(i), books().shelf.rs(i)});
    return out;
}

// A typed text with no prefix match: a headword with two letters changed.
QString misspelt(int i)
{
    QString w = dictionary::foldWord(books().words.word((i * 7919) % books().words.size()));
    if (w.size() > 3) {
        w[1] = u'ы';
        std::swap(w[2], w[3]);
    }
    return w;
}

void BM_WordFinderBuild(benchmark::State &state)
{
    for (auto _ : state) {
        dictionary::WordFinder f;
        f.build(books().words);
        benchmark::DoNotOptimize(f.empty());
        state.counters["bytes"] = double(f.bytesHeld());
    }
}
BENCHMARK(BM_WordFinderBuild)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SuggestKeystroke(benchmark::State &state)
{
    static dictionary::WordFinder f = [] {
        dictionary::WordFinder w;
        w.build(books().words);
        return w;
    }();
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(f.suggest(misspelt(i++)));
}
BENCHMARK(BM_SuggestKeystroke)->Unit(benchmark::kMicrosecond);

void BM_TextIndexBuild(benchmark::State &state)
{
    for (auto _ : state) {
        const dictionary::TextIndex index = dictionary::TextIndex::build(sources());
        state.counters["index_bytes"] = double(index.bytesHeld());
        state.counters["packed_bytes"] = double(index.packedBytes());
    }
}
BENCHMARK(BM_TextIndexBuild)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TextQuery(benchmark::State &state)
{
    static const dictionary::TextIndex index = dictionary::TextIndex::build(sources());
    const QString queries[] = {QStringLiteral("радость"), QStringLiteral("дальней дороге"),
                               QStringLiteral("солнце желаний"), QStringLiteral("хлопоты")};
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(index.search(queries[i++ % 4]));
}
BENCHMARK(BM_TextQuery)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
