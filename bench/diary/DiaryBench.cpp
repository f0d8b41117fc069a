// The dream diary on 10 000 synthetic dreams: the window's list (opening the
// file included), search by word forms and filters, and one entry opened;
// the same diary made private: opened with its password, listed, searched,
// one entry read and one saved as the window saves a keystroke.
#include "diary/DiaryStore.h"
#include "diary/Synthetic.h"
#include "diary/seal/DiaryKey.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace somnex::diary;

namespace {

constexpr int kEntries = 10000;

// One diary for every benchmark of the run, written once (in one
// transaction per thousand, as somnex-cli diary synth writes it).
struct BenchDiary {
    QTemporaryDir dir;
    QString path;
    QStringList ids;

    BenchDiary() : path(dir.path() + "/diary.sqlite")
    {
        DiaryStore store(path);
        const QList<Entry> all = syntheticEntries(kEntries, 1);
        for (qsizetype i = 0; i < all.size(); i += 1000)
            ids << store.addAll(all.mid(i, 1000));
    }
};

BenchDiary &diary()
{
    static BenchDiary d;
    return d;
}

void ListWithOpening(benchmark::State &state)
{
    const QString path = diary().path;
    qsizetype n = 0;
    for (auto _ : state) {
        DiaryStore store(path);
        n = store.list().size();
        benchmark::DoNotOptimize(n);
    }
    state.counters["entries"] = static_cast<double>(n);
}
BENCHMARK(ListWithOpening)->Unit(benchmark::kMillisecond);

void OpenFile(benchmark::State &state)
{
    const QString path = diary().path;
    for (auto _ : state) {
        DiaryStore store(path);
        benchmark::DoNotOptimize(store.exists());
    }
}
BENCHMARK(OpenFile)->Unit(benchmark::kMillisecond);

void Search(benchmark::State &state, Filter filter)
{
    DiaryStore store(diary().path);
    qsizetype n = 0;
    for (auto _ : state) {
        n = store.search(filter).size();
        benchmark::DoNotOptimize(n);
    }
    state.counters["found"] = static_cast<double>(n);
}
BENCHMARK_CAPTURE(Search, oneWordForm, Filter{.text = "собаку"})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, threeWords, Filter{.text = "собака в реке"})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, rareWords, Filter{.text = "змею зеркале ключи"})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, wordAndFilters,
                  Filter{.text = "кошки", .tags = {"Маша"}, .mark = Mark::None, .nightFrom = QDate(2010, 1, 1)})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, filtersOnly, Filter{.kinds = {DreamKind::Nightmare}, .lucid = true})
    ->Unit(benchmark::kMillisecond);

void OpenOneEntry(benchmark::State &state)
{
    const BenchDiary &d = diary();
    DiaryStore store(d.path);
    qsizetype i = 0;
    for (auto _ : state) {
        const std::optional<Entry> e = store.entry(d.ids[i++ % d.ids.size()]);
        benchmark::DoNotOptimize(e->text.size());
    }
}
BENCHMARK(OpenOneEntry)->Unit(benchmark::kMillisecond);

void AddOne(benchmark::State &state)
{
    QTemporaryDir dir;
    DiaryStore store(dir.path() + "/diary.sqlite");
    const QList<Entry> entries = syntheticEntries(1000, 2);
    qsizetype i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.add(entries[i++ % entries.size()]));
}
BENCHMARK(AddOne)->Unit(benchmark::kMillisecond)->Iterations(200);

// The same dreams in a private diary (its password's key derived at the
// least cost the diary takes: the derivation itself is timed apart).
struct PrivateDiary {
    QTemporaryDir dir;
    QString path;
    QStringList ids;
    static constexpr const char *kPassword = "пароль";

    PrivateDiary() : path(dir.path() + "/diary.sqlite")
    {
        QFile::copy(diary().path, path);
        ids = diary().ids;
        const KeyCost least{3, 64u << 20};
        DiaryStore(path).protect(kPassword, &least);
    }
};

PrivateDiary &privateDiary()
{
    static PrivateDiary d;
    return d;
}

void PrivateUnlockAtTheLeastCost(benchmark::State &state)
{
    const QString path = privateDiary().path;
    for (auto _ : state) {
        DiaryStore store(path);
        store.unlock(PrivateDiary::kPassword);
        benchmark::DoNotOptimize(store.isLocked());
    }
}
BENCHMARK(PrivateUnlockAtTheLeastCost)->Unit(benchmark::kMillisecond);

void PrivateList(benchmark::State &state)
{
    DiaryStore store(privateDiary().path);
    store.unlock(PrivateDiary::kPassword);
    qsizetype n = 0;
    for (auto _ : state) {
        n = store.list().size();
        benchmark::DoNotOptimize(n);
    }
    state.counters["entries"] = static_cast<double>(n);
}
BENCHMARK(PrivateList)->Unit(benchmark::kMillisecond);

void PrivateSearch(benchmark::State &state)
{
    DiaryStore store(privateDiary().path);
    store.unlock(PrivateDiary::kPassword);
    qsizetype n = 0;
    for (auto _ : state) {
        n = store.search(Filter{.text = "собаку"}).size();
        benchmark::DoNotOptimize(n);
    }
    state.counters["found"] = static_cast<double>(n);
}
BENCHMARK(PrivateSearch)->Unit(benchmark::kMillisecond);

void PrivateOpenOneEntry(benchmark::State &state)
{
    const PrivateDiary &d = privateDiary();
    DiaryStore store(d.path);
    store.unlock(PrivateDiary::kPassword);
    qsizetype i = 0;
    for (auto _ : state) {
        const std::optional<Entry> e = store.entry(d.ids[i++ % d.ids.size()]);
        benchmark::DoNotOptimize(e->text.size());
    }
}
BENCHMARK(PrivateOpenOneEntry)->Unit(benchmark::kMillisecond);

// A keystroke's save: one dream's text a letter longer.
void PrivateSaveAKeystroke(benchmark::State &state)
{
    const PrivateDiary &d = privateDiary();
    DiaryStore store(d.path);
    store.unlock(PrivateDiary::kPassword);
    Entry e = *store.entry(d.ids.first());
    for (auto _ : state) {
        e.text += QLatin1Char('a');
        store.update(e);
    }
}
BENCHMARK(PrivateSaveAKeystroke)->Unit(benchmark::kMillisecond)->Iterations(200);

} // namespace
