// The month window from the click to its month on screen: the window built,
// the month computed on the worker and laid into the grid, painted once.

#include "calendar/month/MonthWindow.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDate>

#include <cstdlib>
#include <ctime>

namespace {

void BM_MonthWindowShown(benchmark::State &state)
{
    setenv("TZ", "Europe/Moscow", 1);
    tzset();
    int month = 0;
    for (auto _ : state) {
        auto *w = new somnex::calendar::MonthWindow(nullptr);
        // Another month each run, so that nothing computed is kept.
        w->selectDate(QDate(2027 + month / 12, 1 + month % 12, 15));
        w->show();
        w->waitForMonth();
        w->repaint();
        benchmark::DoNotOptimize(w->shownMonth());
        state.PauseTiming();
        delete w;
        QApplication::processEvents();
        month = (month + 1) % 120;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MonthWindowShown)->Unit(benchmark::kMillisecond);

} // namespace
