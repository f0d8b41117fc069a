// Cost of a month of the Moon as the month window and `calendar --month`
// compute it: every date's lunar days, rises and sets of the Moon and the
// Sun, the lit share and sign at noon, the phases and sign entries.

#include "calendar/lunarday/LunarMonth.h"

#include "astro/mRiseSet.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>

namespace {

const astro::ObserverPosition kMoscow{55.75, 37.5833};

// Nothing kept from the run before: the lunations' moonrises are searched
// anew every time.
void BM_MonthUncached(benchmark::State &state)
{
    setenv("TZ", "Europe/Moscow", 1);
    tzset();
    somnex::calendar::LunarEngine engine = somnex::calendar::LunarEngine::standard();
    engine.riseSetDays = [](double firstDay, int count, const astro::ObserverPosition &o, int body) {
        return astro::RiseSetDays(firstDay, count, o, body);
    };
    int month = 0;
    for (auto _ : state) {
        // Another month each run.
        const somnex::calendar::LunarMonth m =
            somnex::calendar::computeMonth(2026 + month / 12, 1 + month % 12, kMoscow, engine);
        benchmark::DoNotOptimize(m.days.size());
        month = (month + 1) % 120;
    }
}
BENCHMARK(BM_MonthUncached)->Unit(benchmark::kMillisecond);

} // namespace
