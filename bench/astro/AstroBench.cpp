// Cost of the engine's calendar path: one Moon position, one day's rise and
// set, and the whole computation behind one calendar refresh.

#include "astro/Moonday.h"
#include "astro/mMoon.h"
#include "astro/mPublicVars.h"
#include "astro/mRiseSet.h"

#include <benchmark/benchmark.h>

namespace {

const astro::ObserverPosition kMoscow{55.75, 37.62};
constexpr double kMoment = 46000.8; // 2025-12-09 19:12 UT

void BM_MoonPosition(benchmark::State &state)
{
    double jde = 2460000.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(astro::MoonPosition(jde));
        jde += 0.01;
    }
}
BENCHMARK(BM_MoonPosition);

void BM_RiseSet(benchmark::State &state)
{
    astro::Observer = kMoscow;
    double day = 46000.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(astro::RiseSet(day, kMoscow, astro::Moon));
        day += 1.0;
    }
}
BENCHMARK(BM_RiseSet)->Unit(benchmark::kMicrosecond);

// What the calendar does for one moment: the two new moons around it and
// the moonrise of every day between them.
void BM_CalendarRefresh(benchmark::State &state)
{
    astro::Observer = kMoscow;
    for (auto _ : state) {
        const double start = astro::LastNewMoon(kMoment);
        const double end = astro::NextNewMoon(kMoment);
        int days = 0;
        for (double t = start; t <= end + 1.0; t += 1.0, ++days)
            benchmark::DoNotOptimize(astro::RiseSet(static_cast<double>(static_cast<long>(t)), kMoscow, astro::Moon));
        state.counters["RiseSet calls"] = days;
    }
}
BENCHMARK(BM_CalendarRefresh)->Unit(benchmark::kMillisecond);

// The moonrises of one lunation's days at once, as the calendar asks for
// them (34 days).
void BM_RiseSetDays(benchmark::State &state)
{
    astro::Observer = kMoscow;
    for (auto _ : state)
        benchmark::DoNotOptimize(astro::RiseSetDays(45994.0, 34, kMoscow, astro::Moon));
}
BENCHMARK(BM_RiseSetDays)->Unit(benchmark::kMillisecond);

} // namespace
