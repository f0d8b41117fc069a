// The diary's statistics over 10 000 synthetic dreams: counting alone,
// reading the diary and counting, and the window's whole refresh (reading,
// counting, the tables, lists and charts).
#include "diary/DiaryStore.h"
#include "diary/Stats.h"
#include "diary/Synthetic.h"
#include "diary/ui/StatsWindow.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

using namespace somnex::diary;

namespace {

constexpr int kDreams = 10000;

// One diary for every benchmark of the run, written once.
struct Diary {
    QTemporaryDir dir;
    std::unique_ptr<DiaryStore> store;
    QList<Entry> entries;

    Diary()
    {
        store = std::make_unique<DiaryStore>(dir.path() + "/diary.sqlite");
        constexpr int kPortion = 1000;
        const QList<Entry> all = syntheticEntries(kDreams, 23);
        for (qsizetype i = 0; i < all.size(); i += kPortion)
            store->addAll(all.mid(i, kPortion));
        entries = readAllEntries(*store);
    }
};

Diary &diary()
{
    static Diary d;
    return d;
}

const QDateTime kNow(QDate(2026, 12, 9), QTime(12, 0), Qt::OffsetFromUTC, 3 * 3600);

void BM_StatsCompute(benchmark::State &state)
{
    const QList<Entry> &entries = diary().entries;
    for (auto _ : state) {
        const DiaryStats s = computeStats(entries, StatsPeriod::allTime(), kNow);
        benchmark::DoNotOptimize(s.dreams);
    }
    state.counters["entries"] = static_cast<double>(entries.size());
}
BENCHMARK(BM_StatsCompute)->Unit(benchmark::kMillisecond);

void BM_StatsReadAndCompute(benchmark::State &state)
{
    const DiaryStore &store = *diary().store;
    for (auto _ : state) {
        const DiaryStats s = computeStats(readAllEntries(store), StatsPeriod::allTime(), kNow);
        benchmark::DoNotOptimize(s.dreams);
    }
}
BENCHMARK(BM_StatsReadAndCompute)->Unit(benchmark::kMillisecond);

// What "Обновить" does: read, count, fill the tables and lists, build the charts.
void BM_StatsWindowRefresh(benchmark::State &state)
{
    StatsWindow *w = StatsWindow::open(diary().store.get(), nullptr);
    w->resize(1100, 760);
    for (auto _ : state)
        w->refresh();
    w->close();
}
BENCHMARK(BM_StatsWindowRefresh)->Unit(benchmark::kMillisecond);

// Choosing another period: count what was read and show it.
void BM_StatsWindowPeriod(benchmark::State &state)
{
    StatsWindow *w = StatsWindow::open(diary().store.get(), nullptr);
    bool year = false;
    for (auto _ : state) {
        year = !year;
        if (year)
            w->showYear(2020);
        else
            w->showAllTime();
    }
    w->close();
}
BENCHMARK(BM_StatsWindowPeriod)->Unit(benchmark::kMillisecond);

} // namespace
