// The charts of the diary's statistics window, built as a module of their own
// (see StatsCharts.h): the dreams of each month, the shares of lucid dreams
// and nightmares, the mood, and how often dreams came true by lunar day.
#include "diary/charts/StatsCharts.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QHash>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPalette>
#include <QValueAxis>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <optional>
#include <span>
#include <vector>

namespace somnex::diary {

namespace {

// How many months the month charts label one by one; beyond, by year.
constexpr int kMonthLabels = 18;
// How many months the charts show one by one; a longer period goes by year.
constexpr size_t kMonthsShown = 36;
// How many years the axis labels at most.
constexpr size_t kYearLabels = 12;
// How many lunar days the lunar chart labels together.
constexpr qsizetype kLunarLabelStep = 5;

const char *const kShortMonths[] = {"янв", "фев", "мар", "апр", "май", "июн", "июл", "авг", "сен", "окт", "ноя", "дек"};
const char *const kChartNames[] = {"dreamsChart", "sharesChart", "moodChart", "lunarChart"};

using Months = std::span<const StatsChartMonth>;

std::optional<double> present(double v)
{
    return std::isnan(v) ? std::nullopt : std::optional<double>(v);
}

// Whether the months are years (a long period summed up by byYear).
bool byYears(Months months)
{
    return !months.empty() && months.front().month == 0;
}

// A long period's months summed up by year (month 0): the dreams added, the
// shares and the mood weighted by each month's dreams.
std::vector<StatsChartMonth> byYear(Months months)
{
    struct Sums {
        double lucid = 0, nightmares = 0, mood = 0;
        int shared = 0, moody = 0;
    };
    std::vector<StatsChartMonth> years;
    std::vector<Sums> sums;
    for (const StatsChartMonth &m : months) {
        if (years.empty() || years.back().year != m.year) {
            years.push_back({m.year, 0, 0, NAN, NAN, NAN});
            sums.emplace_back();
        }
        years.back().dreams += m.dreams;
        Sums &s = sums.back();
        if (present(m.lucidShare) && present(m.nightmareShare)) {
            s.lucid += m.lucidShare * m.dreams;
            s.nightmares += m.nightmareShare * m.dreams;
            s.shared += m.dreams;
        }
        if (present(m.moodAverage)) {
            s.mood += m.moodAverage * m.dreams;
            s.moody += m.dreams;
        }
    }
    for (size_t i = 0; i < years.size(); ++i) {
        const Sums &s = sums[i];
        if (s.shared > 0) {
            years[i].lucidShare = s.lucid / s.shared;
            years[i].nightmareShare = s.nightmares / s.shared;
        }
        if (s.moody > 0)
            years[i].moodAverage = s.mood / s.moody;
    }
    return years;
}

// The year axis of a long period: a year a bar, a label every few years.
QCategoryAxis *yearAxis(Months years)
{
    auto *axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
    axis->setRange(-0.5, static_cast<double>(years.size()) - 0.5);
    const size_t step = (years.size() + kYearLabels - 1) / kYearLabels;
    for (size_t i = 0; i < years.size(); ++i)
        if ((i + 1) % step == 0 || i + 1 == years.size())
            axis->append(QString::number(years[i].year), static_cast<double>(i) + 0.5);
    axis->setTitleText(QStringLiteral("по годам, %1–%2").arg(years.front().year).arg(years.back().year));
    return axis;
}

// The month axis: a value axis over the months' indexes, labelled by month
// (the years in its title) for a short period and by year for a long one.
QCategoryAxis *monthAxis(Months months)
{
    if (byYears(months))
        return yearAxis(months);
    auto *axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
    const auto n = static_cast<double>(months.size());
    axis->setRange(-0.5, std::max(0.5, n - 0.5));
    if (months.empty())
        return axis;
    if (months.size() <= kMonthLabels) {
        for (size_t i = 0; i < months.size(); ++i)
            axis->append(QString::fromUtf8(kShortMonths[months[i].month - 1]), static_cast<double>(i) + 0.5);
        const int first = months.front().year;
        const int last = months.back().year;
        axis->setTitleText(first == last ? QString::number(first) : QStringLiteral("%1–%2").arg(first).arg(last));
        return axis;
    }
    for (size_t i = 0; i < months.size(); ++i) {
        const StatsChartMonth &m = months[i];
        if (m.month == 12 || i + 1 == months.size())
            axis->append(QString::number(m.year), static_cast<double>(i) + 0.5);
    }
    return axis;
}

QChart *newChart(const QString &title)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setVisible(false);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

QValueAxis *valueAxis(double min, double max, const QString &format)
{
    auto *axis = new QValueAxis;
    axis->setRange(min, max);
    axis->setLabelFormat(format);
    return axis;
}

// A count axis from 0 in whole numbers: a tick every 1, 2, 5, 10, 20, 50…
QValueAxis *countAxis(int most)
{
    int step = 1;
    for (int k = 0; most / step > 8; ++k)
        step = (k % 3 == 1) ? step / 2 * 5 : step * 2;
    const int top = std::max(step, (most + step - 1) / step * step);
    QValueAxis *axis = valueAxis(0, top, QStringLiteral("%d"));
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(step);
    return axis;
}

QChart *dreamsChart(Months months)
{
    QChart *chart = newChart(byYears(months) ? QStringLiteral("Снов в год") : QStringLiteral("Снов в месяц"));
    auto *set = new QBarSet(QStringLiteral("Снов"));
    int most = 0;
    for (const StatsChartMonth &m : months) {
        *set << m.dreams;
        most = std::max(most, m.dreams);
    }
    auto *series = new QBarSeries;
    series->setBarWidth(0.8);
    series->append(set);
    chart->addSeries(series);
    QCategoryAxis *x = monthAxis(months);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    chart->addAxis(countAxis(most), Qt::AlignLeft);
    QAbstractAxis *y = chart->axes(Qt::Vertical).constFirst();
    series->attachAxis(y);
    return chart;
}

// The lines through the months that have the value (scaled by factor), one
// for each stretch of months in a row: a month without it breaks the line.
// A month alone is a point.
QList<QLineSeries *> monthLines(Months months, const QString &name, double StatsChartMonth::*value, double factor = 1.0)
{
    QList<QLineSeries *> lines;
    bool open = false;
    for (size_t i = 0; i < months.size(); ++i) {
        const std::optional<double> v = present(months[i].*value);
        if (!v) {
            open = false;
            continue;
        }
        if (!open) {
            lines << new QLineSeries;
            lines.last()->setName(name);
            lines.last()->setPointsVisible(true);
            open = true;
        }
        lines.last()->append(static_cast<double>(i), *v * factor);
    }
    return lines;
}

void addLines(QChart *chart, const QList<QLineSeries *> &lines, QAbstractAxis *x, QAbstractAxis *y)
{
    for (QLineSeries *line : lines) {
        chart->addSeries(line);
        line->attachAxis(x);
        line->attachAxis(y);
    }
}

// The pieces of one line in one colour, and one legend entry for them.
void joinPieces(QChart *chart)
{
    QHash<QString, QColor> colours;
    for (QAbstractSeries *series : chart->series()) {
        auto *line = qobject_cast<QLineSeries *>(series);
        if (!line)
            continue;
        const auto known = colours.constFind(line->name());
        if (known == colours.constEnd()) {
            colours.insert(line->name(), line->color());
            continue;
        }
        line->setColor(*known);
        for (QLegendMarker *marker : chart->legend()->markers(line))
            marker->setVisible(false);
    }
}

QChart *sharesChart(Months months)
{
    QChart *chart = newChart(byYears(months) ? QStringLiteral("Осознанные сны и кошмары, % снов года")
                                             : QStringLiteral("Осознанные сны и кошмары, % снов месяца"));
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignBottom);
    QCategoryAxis *x = monthAxis(months);
    QValueAxis *y = valueAxis(0, 100, QStringLiteral("%d"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    addLines(chart, monthLines(months, QStringLiteral("осознанные"), &StatsChartMonth::lucidShare, 100), x, y);
    addLines(chart, monthLines(months, QStringLiteral("кошмары"), &StatsChartMonth::nightmareShare, 100), x, y);
    joinPieces(chart);
    return chart;
}

QChart *moodChart(Months months)
{
    QChart *chart = newChart(byYears(months) ? QStringLiteral("Настроение снов, среднее за год (от −2 до +2)")
                                             : QStringLiteral("Настроение снов, среднее за месяц (от −2 до +2)"));
    QCategoryAxis *x = monthAxis(months);
    QValueAxis *y = valueAxis(-2, 2, QStringLiteral("%+d"));
    y->setTickCount(5);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    addLines(chart, monthLines(months, QStringLiteral("настроение"), &StatsChartMonth::moodAverage), x, y);
    joinPieces(chart);
    return chart;
}

QChart *lunarChart(std::span<const StatsChartLunarDay> rows)
{
    QChart *chart = newChart(QStringLiteral("Сбылось по лунным дням, % (дни с тремя отметками и больше)"));
    auto *set = new QBarSet(QStringLiteral("Сбылось, %"));
    for (const StatsChartLunarDay &r : rows)
        *set << present(r.percent).value_or(0.0);
    auto *series = new QBarSeries;
    series->setBarWidth(0.8);
    series->append(set);
    chart->addSeries(series);
    // Thirty labels do not fit under the bars: five days a label.
    auto *x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
    const auto n = static_cast<qsizetype>(rows.size());
    x->setRange(-0.5, static_cast<double>(n) - 0.5);
    for (qsizetype first = 0; first < n; first += kLunarLabelStep) {
        const qsizetype last = std::min(first + kLunarLabelStep, n) - 1;
        x->append(QStringLiteral("%1–%2").arg(rows[first].day).arg(rows[last].day), static_cast<double>(last) + 0.5);
    }
    x->setTitleText(QStringLiteral("лунный день"));
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    QValueAxis *y = valueAxis(0, 100, QStringLiteral("%d"));
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
    return chart;
}

QChartView *chartView(QWidget *page, int i)
{
    return page->findChild<QChartView *>(QString::fromLatin1(kChartNames[i]), Qt::FindDirectChildrenOnly);
}

void setChart(QChartView *view, QChart *chart)
{
    QChart *old = view->chart();
    view->setChart(chart);
    delete old;
}

QWidget *createPage()
{
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    for (int i = 0; i < 4; ++i) {
        auto *v = new QChartView(new QChart, page);
        v->setObjectName(QString::fromLatin1(kChartNames[i]));
        v->setRenderHint(QPainter::Antialiasing);
        v->setMinimumSize(300, 220);
        grid->addWidget(v, i / 2, i % 2);
    }
    return page;
}

void showCharts(QWidget *page, const StatsChartData *data)
{
    const Months all(data->months, static_cast<size_t>(std::max(0, data->monthCount)));
    const std::vector<StatsChartMonth> years = all.size() > kMonthsShown ? byYear(all) : std::vector<StatsChartMonth>();
    const Months months = years.empty() ? all : Months(years);
    const std::span<const StatsChartLunarDay> lunar(data->lunarDays,
                                                    static_cast<size_t>(std::max(0, data->lunarDayCount)));
    QChart *const charts[] = {dreamsChart(months), sharesChart(months), moodChart(months), lunarChart(lunar)};
    for (int i = 0; i < 4; ++i)
        setChart(chartView(page, i), charts[i]);
}

void applyTheme(QWidget *page, const QPalette *palette, const QFont *font)
{
    const bool dark = palette->color(QPalette::Window).lightness() < 128;
    for (int i = 0; i < 4; ++i) {
        QChart *chart = chartView(page, i)->chart();
        chart->setTheme(dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
        joinPieces(chart); // the theme gave each piece a colour of its own
        chart->setBackgroundBrush(palette->brush(QPalette::Base));
        chart->setTitleBrush(palette->brush(QPalette::Text));
        chart->setTitleFont(*font);
        chart->legend()->setLabelColor(palette->color(QPalette::Text));
        for (QAbstractAxis *axis : chart->axes()) {
            axis->setLabelsColor(palette->color(QPalette::Text));
            axis->setLabelsFont(*font);
            axis->setTitleBrush(palette->brush(QPalette::Text));
            axis->setTitleFont(*font);
        }
    }
}

constexpr StatsChartsApi kApi{kStatsChartsVersion, &createPage, &showCharts, &applyTheme};

} // namespace

} // namespace somnex::diary

extern "C" Q_DECL_EXPORT const somnex::diary::StatsChartsApi *somnex_diary_charts_api()
{
    return &somnex::diary::kApi;
}
