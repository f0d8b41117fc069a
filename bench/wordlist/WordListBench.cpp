// The dictionary's hot paths on ten synthetic books of 20 000 headwords:
// the word-list rebuild, one search keystroke (against a plain scan of the
// same list), and the interpretation of a word that all ten books hold.
#include "BenchShelf.h"
#include "dictionary/BookSchema.h"
#include "dictionary/MergedWords.h"
#include "dictionary/PackedText.h"
#include "dictionary/WordIndex.h"
#include "reading/Tolk.h"
#include "reading/TolkDocument.h"

#include <benchmark/benchmark.h>

#include <vector>

using namespace somnex;
using namespace somnex::dictionary;

namespace {

using bench::Shelf;

Shelf &distinctBooks()
{
    static Shelf s = bench::makeShelf(false);
    return s;
}

// Ten books with the same headwords, so that every word is in all of them.
Shelf &sameBooks()
{
    static Shelf s = bench::makeShelf(true);
    return s;
}

// The word list of the main window, every book enabled. Like the window, the
// previous list is let go before the new one is built.
void build(dictionary::WordIndex &index, const Shelf &s)
{
    index.clear();
    index = std::move(mergeWords(s.books, [](size_t) { return true; })->words);
}

void BM_LoadList(benchmark::State &state)
{
    Shelf &s = distinctBooks();
    dictionary::WordIndex index;
    for (auto _ : state) {
        build(index, s);
        benchmark::DoNotOptimize(index.size());
    }
    state.counters["words"] = index.size();
}
BENCHMARK(BM_LoadList)->Unit(benchmark::kMillisecond);

std::vector<QString> prefixes(const dictionary::WordIndex &index)
{
    std::vector<QString> p;
    for (int i = 0; i < index.size(); i += index.size() / 97)
        p.push_back(index.word(i).left(1 + i % 4));
    p.push_back(QStringLiteral("яяяя"));
    return p;
}

void BM_SearchKeystroke(benchmark::State &state)
{
    dictionary::WordIndex index;
    build(index, distinctBooks());
    const auto p = prefixes(index);
    size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(index.findPrefix(p[k++ % p.size()]));
    }
}
BENCHMARK(BM_SearchKeystroke)->Unit(benchmark::kMicrosecond);

// What a list control's own prefix search does: compare every item.
void BM_SearchKeystrokeLinearScan(benchmark::State &state)
{
    dictionary::WordIndex index;
    build(index, distinctBooks());
    const auto p = prefixes(index);
    size_t k = 0;
    for (auto _ : state) {
        const QString &pre = p[k++ % p.size()];
        int found = -1;
        for (int i = 0; i < index.size(); ++i)
            if (index.word(i).startsWith(pre, Qt::CaseInsensitive)) {
                found = i;
                break;
            }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_SearchKeystrokeLinearScan)->Unit(benchmark::kMicrosecond);

std::vector<TolkBook> tolkBooks(Shelf &s)
{
    std::vector<TolkBook> out;
    for (size_t i = 0; i < s.books.size(); ++i) {
        Recordset *r = &s.rs(i);
        out.push_back({QStringLiteral("Книга %1").arg(i), QString::number(0x800000 >> i),
                       [r](const QString &w) -> std::optional<std::pair<QString, std::optional<QString>>> {
                           r->Seek(QStringLiteral("="), w);
                           if (r->NoMatch())
                               return std::nullopt;
                           const auto links = r->Field(dictionary::kLinksColumn);
                           return std::make_pair(dictionary::UnpackText(*r->Field(dictionary::kTextColumn)),
                                                 links ? std::optional<QString>(dictionary::UnpackText(*links))
                                                       : std::nullopt);
                       }});
    }
    return out;
}

void BM_BuildTolkText(benchmark::State &state)
{
    Shelf &s = sameBooks();
    const auto books = tolkBooks(s);
    std::vector<TolkButton> buttons;
    for (const auto &b : books)
        buttons.push_back({b.tag, b.description});
    const QString word = s.rs(0).headword(bench::kShelfWords / 2).toString();
    qsizetype chars = 0;
    for (auto _ : state) {
        const QString text = BuildTolkText(word, books);
        const auto f = MarkupTolk(text, word, buttons);
        chars = text.size();
        benchmark::DoNotOptimize(f.data());
    }
    state.counters["chars"] = double(chars);
}
BENCHMARK(BM_BuildTolkText)->Unit(benchmark::kMicrosecond);

// The whole BuildTolk of the window: text, markup and the formatted document.
struct Host : TolkHost {
    std::vector<TolkBook> books;
    std::vector<TolkButton> buttons;
    std::vector<TolkBook> tolkBooks() override { return books; }
    std::vector<TolkButton> tolkButtons() override { return buttons; }
    QString currentWord() override { return {}; }
    bool literatureActive() override { return true; }
    double mainTopTwips() override { return 0; }
    void tolkClosed() override {}
};

void BM_BuildTolkWindow(benchmark::State &state)
{
    Shelf &s = sameBooks();
    Host host;
    host.books = tolkBooks(s);
    for (const auto &b : host.books)
        host.buttons.push_back({b.tag, b.description});
    Tolk tolk(&host);
    tolk.resize(500, 600);
    const QString a = s.rs(0).headword(bench::kShelfWords / 2).toString();
    const QString b = s.rs(0).headword(bench::kShelfWords / 3).toString();
    bool flip = false;
    for (auto _ : state) {
        tolk.BuildTolk((flip = !flip) ? a : b); // a new word each time
        benchmark::DoNotOptimize(tolk.RichTextBox1->document());
    }
}
BENCHMARK(BM_BuildTolkWindow)->Unit(benchmark::kMillisecond);

} // namespace
