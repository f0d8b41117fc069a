// The diary's exchange on 10 000 synthetic dreams: JSON export (read the
// diary, write the file), JSON import (read, parse, merge into an empty
// diary) and Markdown export (a note per dream).
#include "diary/DiaryStore.h"
#include "diary/Exchange.h"
#include "diary/Synthetic.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace somnex::diary;

namespace {

constexpr int kEntries = 10000;

struct Diary {
    QTemporaryDir dir;
    QString path;
    QString json;
    Diary()
    {
        path = dir.filePath("diary.sqlite");
        DiaryStore store(path);
        store.addAll(syntheticEntries(kEntries, 2026));
        json = dir.filePath("diary.json");
        exportDiary(ExportFormat::Json, json, store.allEntries(), {}, {}, true);
    }
};

Diary &diary()
{
    static Diary d;
    return d;
}

void BM_ExportJson(benchmark::State &state)
{
    const DiaryStore store(diary().path);
    const QString out = diary().dir.filePath("out.json");
    for (auto _ : state) {
        const QList<Entry> entries = entriesForExport(store.allEntries(), ExportFormat::Json, {}, {});
        benchmark::DoNotOptimize(exportDiary(ExportFormat::Json, out, entries, {}, {}, true));
    }
    state.counters["bytes"] = static_cast<double>(QFile(out).size());
}
BENCHMARK(BM_ExportJson)->Unit(benchmark::kMillisecond);

void BM_ImportJsonIntoEmpty(benchmark::State &state)
{
    const QString json = diary().json;
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString target = diary().dir.filePath(QString("import-%1.sqlite").arg(round++));
        state.ResumeTiming();
        DiaryStore store(target);
        const MergePlan plan = planMerge(store, readAnyJournal(json, {}));
        benchmark::DoNotOptimize(applyMerge(store, plan));
        state.PauseTiming();
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(target + suffix);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportJsonIntoEmpty)->Unit(benchmark::kMillisecond);

// The reading alone, without the diary: where the import's time goes.
void BM_ParseJson(benchmark::State &state)
{
    const QString json = diary().json;
    for (auto _ : state)
        benchmark::DoNotOptimize(readAnyJournal(json, {}).entries.size());
}
BENCHMARK(BM_ParseJson)->Unit(benchmark::kMillisecond);

void BM_ExportMarkdown(benchmark::State &state)
{
    const DiaryStore store(diary().path);
    const QString out = diary().dir.filePath("notes");
    for (auto _ : state) {
        const QList<Entry> entries = entriesForExport(store.allEntries(), ExportFormat::Markdown, {}, {});
        benchmark::DoNotOptimize(exportDiary(ExportFormat::Markdown, out, entries, {}, {}, true));
    }
}
BENCHMARK(BM_ExportMarkdown)->Unit(benchmark::kMillisecond);

} // namespace
