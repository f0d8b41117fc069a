// Cost of what the calendar window computes for one moment: the weekday and
// day texts and the lunar day with its whole boundary list (one lunation of
// moonrises).

#include "calendar/calen/LunarDay.h"

#include <benchmark/benchmark.h>

namespace {

const astro::ObserverPosition kMoscow{55.75, 37.5833};

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

} // namespace
