// Cost of what the calendar window computes for one moment: the weekday and
// day texts and the lunar day with its whole boundary list (one lunation of
// moonrises), and of a diary's worth of moments at once.

#include "calendar/lunarday/LunarDay.h"

#include "astro/mRiseSet.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

const astro::ObserverPosition kMoscow{55.75, 37.5833};

// One refresh of the calendar window, again and again for the same moment:
// after the first, the lunation's moonrises are the ones kept for it.
void BM_Calculate(benchmark::State &state)
{
    const double moment = somnex::calendar::toDateValue(QDate(2026, 12, 8), QTime(9, 5));
    int boundaries = 0;
    for (auto _ : state) {
        const somnex::calendar::CalendarAnswer a = somnex::calendar::computeCalendar(moment, kMoscow);
        boundaries = int(a.moon.boundaries.size());
        benchmark::DoNotOptimize(a.moon.lunarDay);
    }
    state.counters["boundaries"] = boundaries;
}
BENCHMARK(BM_Calculate)->Unit(benchmark::kMillisecond);

// The same refresh with nothing kept from the one before: the whole
// lunation is searched every time.
void BM_CalculateUncached(benchmark::State &state)
{
    const double moment = somnex::calendar::toDateValue(QDate(2026, 12, 8), QTime(9, 5));
    somnex::calendar::LunarEngine engine = somnex::calendar::LunarEngine::standard();
    engine.riseSetDays = [](double firstDay, int count, const astro::ObserverPosition &o, int body) {
        return astro::RiseSetDays(firstDay, count, o, body);
    };
    for (auto _ : state)
        benchmark::DoNotOptimize(somnex::calendar::computeCalendar(moment, kMoscow, engine).moon.lunarDay);
}
BENCHMARK(BM_CalculateUncached)->Unit(benchmark::kMillisecond);

// The refresh as it was computed before the lunation was searched at once:
// the moonrise of each day by itself (RiseSet), for comparison.
void BM_CalculateDayByDay(benchmark::State &state)
{
    const double moment = somnex::calendar::toDateValue(QDate(2026, 12, 8), QTime(9, 5));
    somnex::calendar::LunarEngine engine = somnex::calendar::LunarEngine::standard();
    engine.riseSetDays = {};
    for (auto _ : state)
        benchmark::DoNotOptimize(somnex::calendar::computeCalendar(moment, kMoscow, engine).moon.lunarDay);
}
BENCHMARK(BM_CalculateDayByDay)->Unit(benchmark::kMillisecond);

// Moments spread over a year, so that each run meets another lunation.
void BM_CalculateAcrossAYear(benchmark::State &state)
{
    double moment = somnex::calendar::toDateValue(QDate(2026, 1, 1), QTime(12, 0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(somnex::calendar::computeCalendar(moment, kMoscow).moon.lunarDay);
        moment += 11.3;
        if (moment > 46400)
            moment -= 365;
    }
}
BENCHMARK(BM_CalculateAcrossAYear)->Unit(benchmark::kMillisecond);

// A diary's import: 10 000 moments over ten years at one place, in one
// batch (each lunation's boundary list computed once).
void BM_MoonListBatch(benchmark::State &state)
{
    const double first = somnex::calendar::toDateValue(QDate(2016, 1, 1), QTime(0, 0));
    std::vector<double> moments;
    for (int i = 0; i < 10000; ++i)
        moments.push_back(first + i * 0.36525 + (i * 7919 % 1000) / 1000.0 * 0.3);
    somnex::calendar::LunarEngine engine = somnex::calendar::LunarEngine::standard();
    // Nothing kept from the run before: every run computes all lunations.
    engine.riseSetDays = [](double firstDay, int count, const astro::ObserverPosition &o, int body) {
        return astro::RiseSetDays(firstDay, count, o, body);
    };
    for (auto _ : state)
        benchmark::DoNotOptimize(somnex::calendar::MoonListBatch(moments, kMoscow, engine).size());
    state.counters["moments"] = double(moments.size());
}
BENCHMARK(BM_MoonListBatch)->Unit(benchmark::kMillisecond);

} // namespace
