#pragma once
// Finds and loads the module that draws the statistics window's charts
// (diary/charts/StatsCharts.h). The program does not link Qt Charts: the
// module is loaded when the statistics window is first built.
//
// It is looked for in one folder: SOMNEX_CHARTS_DIR when that is set,
// otherwise the private library folder beside the executable's
// (<prefix>/bin → <prefix>/lib/<triplet>/somnex), which the build tree mirrors for its
// programs, tests and benchmarks alike.

#include <QString>
#include <QStringList>

namespace somnex::diary {

struct StatsChartsApi;

// The folders the module is looked for in.
QStringList statsChartsFolders();

// The module's table of functions, or nullptr with, in reason, why the charts
// cannot be drawn (in Russian, for the user). A module once loaded stays
// loaded for the life of the process: its widgets live in its code.
const StatsChartsApi *loadStatsCharts(QString *reason);

} // namespace somnex::diary
