#pragma once
// The boundary between the diary's statistics window and the module that
// draws its charts (somnex_diary_charts). The module links Qt Charts, and
// through it OpenGL, which the program does not need to start: the window
// loads it with QLibrary when it is first opened (see StatsChartsLoader.h).
//
// Only plain structs and Qt's own classes cross the boundary; the module
// links nothing of ours. A change of any of these structs or of the table
// raises kStatsChartsVersion, so that a module of another build is refused
// instead of misread.

class QFont;
class QPalette;
class QWidget;

namespace somnex::diary {

inline constexpr int kStatsChartsVersion = 1;

// One month of the period. A share or an average the month does not have
// (no dreams, no mood given) is NaN.
struct StatsChartMonth {
    int year;
    int month; // 1–12
    int dreams;
    double lucidShare;     // 0–1
    double nightmareShare; // 0–1
    double moodAverage;    // −2…+2
};

// One lunar day: how often its dreams came true, in per cent; NaN when too
// few were marked.
struct StatsChartLunarDay {
    int day;
    double percent;
};

struct StatsChartData {
    const StatsChartMonth *months;
    int monthCount;
    const StatsChartLunarDay *lunarDays;
    int lunarDayCount;
};

struct StatsChartsApi {
    int version; // kStatsChartsVersion
    // A new page with the four charts (children named dreamsChart,
    // sharesChart, moodChart and lunarChart), empty until showCharts().
    QWidget *(*createPage)();
    // Draws the data into a page of createPage() anew.
    void (*showCharts)(QWidget *page, const StatsChartData *data);
    // Gives the page's charts the window's colours and font: the dark theme
    // when its window colour is dark.
    void (*applyTheme)(QWidget *page, const QPalette *palette, const QFont *font);
};

} // namespace somnex::diary

// The module's one entry point: its table of functions.
#define SOMNEX_STATS_CHARTS_ENTRY "somnex_diary_charts_api"
extern "C" {
using SomnexStatsChartsEntry = const somnex::diary::StatsChartsApi *(*)();
}
