// Marking dream symbols while a report is typed, with the bundled books (as
// the build makes them): the finder's build, the whole of a 5 000-character
// report, and the sentences around one keystroke in it. The report is made
// of the test set's dream reports, so it reads like a real one.
#include "dictionary/BookDatabase.h"
#include "dictionary/SymbolFinder.h"
#include "dictionary/WordIndex.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <benchmark/benchmark.h>

#include <stdexcept>

using namespace somnex;
using namespace somnex::dictionary;

namespace {

constexpr qsizetype kReportLength = 5000;

dictionary::WordIndex bundledWords()
{
    dictionary::WordIndex words = dictionary::WordIndex::ofBooksIn(QStringLiteral(SOMNEX_BUNDLED_BOOKS));
    if (words.empty())
        throw std::runtime_error("no bundled books in " SOMNEX_BUNDLED_BOOKS);
    return words;
}

// The reports' text without their titles and marks, cut to the length at a
// space.
QString dreamReport()
{
    QFile f(QStringLiteral(SOMNEX_DREAM_REPORTS));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error("cannot read " SOMNEX_DREAM_REPORTS);
    static const QRegularExpression mark(QStringLiteral("\\[([^|\\]]*)\\|[^\\]]*\\]"));
    QString text;
    for (QString line : QString::fromUtf8(f.readAll()).split(u'\n')) {
        if (line.startsWith(u'#') || line.startsWith(u"===") || line.trimmed().isEmpty())
            continue;
        text += line.replace(mark, QStringLiteral("\\1")) + u'\n';
    }
    while (text.size() < kReportLength)
        text += text;
    text.truncate(text.lastIndexOf(u' ', kReportLength));
    return text;
}

struct Set {
    dictionary::WordIndex words = bundledWords();
    dictionary::SymbolFinder finder;
    QString report = dreamReport();
    Set() { finder.build(words); }
};

Set &set()
{
    static Set s;
    return s;
}

void BM_SymbolFinderBuild(benchmark::State &state)
{
    for (auto _ : state) {
        dictionary::SymbolFinder f;
        f.build(set().words);
        benchmark::DoNotOptimize(f.empty());
    }
    state.counters["headwords"] = double(set().words.size());
}
BENCHMARK(BM_SymbolFinderBuild)->Unit(benchmark::kMillisecond);

// What a keystroke costs when the whole report is marked again.
void BM_SymbolFindWholeReport(benchmark::State &state)
{
    size_t marks = 0;
    for (auto _ : state)
        marks = set().finder.find(set().report).size();
    state.counters["chars"] = double(set().report.size());
    state.counters["marks"] = double(marks);
}
BENCHMARK(BM_SymbolFindWholeReport)->Unit(benchmark::kMicrosecond);

// What a keystroke costs when only the sentences around it are marked again,
// at positions spread over the report.
void BM_SymbolFindKeystroke(benchmark::State &state)
{
    const QString &text = set().report;
    qsizetype at = 0;
    for (auto _ : state) {
        at = (at + 997) % text.size();
        dictionary::SymbolFinder::Range range;
        benchmark::DoNotOptimize(set().finder.find(text, at, at + 1, &range));
    }
}
BENCHMARK(BM_SymbolFindKeystroke)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
