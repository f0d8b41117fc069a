#include "diary/ui/StatsWindow.h"

#include "diary/DiaryStore.h"
#include "diary/LunarSnapshot.h"
#include "platform/core/Messages.h"
#include "platform/error/Error.h"

#include <QAbstractBarSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

namespace somnex::diary {

namespace {

const QString kTitle = QStringLiteral("Статистика дневника");

QPointer<StatsWindow> g_window;

// How many months the month charts label one by one; beyond, by year.
constexpr int kMonthLabels = 18;
// The size the charts are printed and saved at (logical pixels).
constexpr QSize kChartsPicture(1200, 800);
// How many lunar days the lunar chart labels together.
constexpr qsizetype kLunarLabelStep = 5;
// How many names each list shows.
constexpr int kListLength = 50;

// The figures of the overview: object name and caption.
struct Figure {
    const char *name;
    const char *caption;
};
constexpr Figure kFigures[] = {
    {"nightsValue", "Ночей с записями:"},     {"dreamNightsValue", "Из них ночей со снами:"},
    {"recallValue", "Запоминаемость снов:"},  {"dreamsValue", "Снов:"},
    {"dreamsPerNightValue", "Снов за ночь:"}, {"longestRunValue", "Самая длинная серия:"},
    {"currentRunValue", "Текущая серия:"},    {"lucidShareValue", "Осознанных снов:"},
    {"nightmareShareValue", "Кошмаров:"},     {"moodValue", "Среднее настроение:"},
};

const char *const kShortMonths[] = {"янв", "фев", "мар", "апр", "май", "июн", "июл", "авг", "сен", "окт", "ноя", "дек"};
const char *const kMonths[] = {"январь", "февраль", "март",     "апрель",  "май",    "июнь",
                               "июль",   "август",  "сентябрь", "октябрь", "ноябрь", "декабрь"};

QString shareText(const std::optional<double> &share)
{
    return share ? percentText(*share * 100.0) : QStringLiteral("—");
}

QString numberText(const std::optional<double> &v, bool sign = false)
{
    if (!v)
        return QStringLiteral("—");
    const QString n = QLocale(QLocale::Russian).toString(*v, 'f', 2);
    return sign && *v > 0 ? QLatin1Char('+') + n : n;
}

QTableWidgetItem *cell(const QString &text, bool number = true)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

// The month axis: a value axis over the months' indexes, labelled by month
// (the years in its title) for a short period and by year for a long one.
QCategoryAxis *monthAxis(const QList<MonthStats> &months)
{
    auto *axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
    const auto n = static_cast<double>(months.size());
    axis->setRange(-0.5, std::max(0.5, n - 0.5));
    if (months.isEmpty())
        return axis;
    if (months.size() <= kMonthLabels) {
        for (qsizetype i = 0; i < months.size(); ++i)
            axis->append(QString::fromUtf8(kShortMonths[months[i].month - 1]), static_cast<double>(i) + 0.5);
        const int first = months.constFirst().year;
        const int last = months.constLast().year;
        axis->setTitleText(first == last ? QString::number(first) : QStringLiteral("%1–%2").arg(first).arg(last));
        return axis;
    }
    for (qsizetype i = 0; i < months.size(); ++i) {
        const MonthStats &m = months[i];
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

QChart *dreamsChart(const QList<MonthStats> &months)
{
    QChart *chart = newChart(QStringLiteral("Снов в месяц"));
    auto *set = new QBarSet(QStringLiteral("Снов"));
    int most = 0;
    for (const MonthStats &m : months) {
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
    QValueAxis *y = valueAxis(0, std::max(1, most), QStringLiteral("%d"));
    y->applyNiceNumbers();
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
    return chart;
}

QLineSeries *monthLine(const QList<MonthStats> &months, const QString &name,
                       std::optional<double> (*value)(const MonthStats &))
{
    auto *line = new QLineSeries;
    line->setName(name);
    for (qsizetype i = 0; i < months.size(); ++i)
        if (const std::optional<double> v = value(months[i]))
            line->append(static_cast<double>(i), *v);
    return line;
}

QChart *sharesChart(const QList<MonthStats> &months)
{
    QChart *chart = newChart(QStringLiteral("Осознанные сны и кошмары, % снов месяца"));
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignBottom);
    QCategoryAxis *x = monthAxis(months);
    QValueAxis *y = valueAxis(0, 100, QStringLiteral("%d"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    const auto lucid = [](const MonthStats &m) {
        return m.lucidShare ? std::optional<double>(*m.lucidShare * 100) : std::nullopt;
    };
    const auto nightmare = [](const MonthStats &m) {
        return m.nightmareShare ? std::optional<double>(*m.nightmareShare * 100) : std::nullopt;
    };
    for (QLineSeries *line : {monthLine(months, QStringLiteral("осознанные"), lucid),
                              monthLine(months, QStringLiteral("кошмары"), nightmare)}) {
        chart->addSeries(line);
        line->attachAxis(x);
        line->attachAxis(y);
    }
    return chart;
}

QChart *moodChart(const QList<MonthStats> &months)
{
    QChart *chart = newChart(QStringLiteral("Настроение снов, среднее за месяц (от −2 до +2)"));
    QCategoryAxis *x = monthAxis(months);
    QValueAxis *y = valueAxis(-2, 2, QStringLiteral("%+d"));
    y->setTickCount(5);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    QLineSeries *line =
        monthLine(months, QStringLiteral("настроение"), [](const MonthStats &m) { return m.moodAverage; });
    line->setPointsVisible(true);
    chart->addSeries(line);
    line->attachAxis(x);
    line->attachAxis(y);
    return chart;
}

QChart *lunarChart(const QList<FulfilmentRow> &rows)
{
    QChart *chart = newChart(QStringLiteral("Сбылось по лунным дням, % (дни с тремя отметками и больше)"));
    auto *set = new QBarSet(QStringLiteral("Сбылось, %"));
    for (const FulfilmentRow &r : rows)
        *set << r.percent.value_or(0.0);
    auto *series = new QBarSeries;
    series->setBarWidth(0.8);
    series->append(set);
    chart->addSeries(series);
    // Thirty labels do not fit under the bars: five days a label.
    auto *x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
    x->setRange(-0.5, static_cast<double>(rows.size()) - 0.5);
    for (qsizetype first = 0; first < rows.size(); first += kLunarLabelStep) {
        const qsizetype last = std::min(first + kLunarLabelStep, rows.size()) - 1;
        x->append(QStringLiteral("%1–%2").arg(rows[first].key).arg(rows[last].key), static_cast<double>(last) + 0.5);
    }
    x->setTitleText(QStringLiteral("лунный день"));
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    QValueAxis *y = valueAxis(0, 100, QStringLiteral("%d"));
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
    return chart;
}

} // namespace

StatsWindow *StatsWindow::open(DiaryStore *store, QWidget *owner)
{
    if (!g_window)
        g_window = new StatsWindow(store, owner);
    else
        g_window->store_ = store;
    g_window->refresh();
    g_window->show();
    g_window->raise();
    g_window->activateWindow();
    return g_window;
}

StatsWindow *StatsWindow::instance()
{
    return g_window;
}

StatsWindow::StatsWindow(DiaryStore *store, QWidget *owner) : QWidget(owner, Qt::Window), store_(store)
{
    setObjectName(QStringLiteral("StatsWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kTitle);
    resize(1100, 760);

    tabs_ = new QTabWidget;
    tabs_->setObjectName(QStringLiteral("statsTabs"));
    tabs_->addTab(buildOverview(), QStringLiteral("Обзор"));
    tabs_->addTab(buildCharts(), QStringLiteral("Графики"));
    tabs_->addTab(buildFulfilment(), QStringLiteral("Сбываемость"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildPeriodRow());
    layout->addWidget(tabs_, 1);
}

StatsWindow::~StatsWindow() = default;

QWidget *StatsWindow::buildPeriodRow()
{
    auto *row = new QWidget;
    auto *h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(QStringLiteral("&Период:"));
    periodKind_ = new QComboBox;
    periodKind_->setObjectName(QStringLiteral("periodKind"));
    periodKind_->addItems({QStringLiteral("всё время"), QStringLiteral("год"), QStringLiteral("месяц")});
    label->setBuddy(periodKind_);
    monthBox_ = new QComboBox;
    monthBox_->setObjectName(QStringLiteral("monthBox"));
    for (const char *m : kMonths)
        monthBox_->addItem(QString::fromUtf8(m));
    yearBox_ = new QSpinBox;
    yearBox_->setObjectName(QStringLiteral("yearBox"));
    yearBox_->setRange(kFirstYear, kLastYear);
    const QDate today = QDate::currentDate();
    yearBox_->setValue(today.year());
    monthBox_->setCurrentIndex(today.month() - 1);
    monthBox_->hide();
    yearBox_->hide();

    auto *refresh = new QPushButton(QStringLiteral("&Обновить"));
    refresh->setObjectName(QStringLiteral("refreshButton"));
    auto *png = new QPushButton(QStringLiteral("Сохранить как &PNG…"));
    png->setObjectName(QStringLiteral("savePngButton"));
    auto *print = new QPushButton(QStringLiteral("Пе&чать…"));
    print->setObjectName(QStringLiteral("printButton"));

    h->addWidget(label);
    h->addWidget(periodKind_);
    h->addWidget(monthBox_);
    h->addWidget(yearBox_);
    h->addStretch(1);
    h->addWidget(refresh);
    h->addWidget(png);
    h->addWidget(print);

    connect(periodKind_, &QComboBox::currentIndexChanged, this, &StatsWindow::periodChanged);
    connect(monthBox_, &QComboBox::currentIndexChanged, this, &StatsWindow::periodChanged);
    connect(yearBox_, &QSpinBox::valueChanged, this, &StatsWindow::periodChanged);
    connect(refresh, &QPushButton::clicked, this, &StatsWindow::refresh);
    connect(png, &QPushButton::clicked, this, &StatsWindow::saveAsPng);
    connect(print, &QPushButton::clicked, this, &StatsWindow::print);
    return row;
}

QListWidget *StatsWindow::buildList(const QString &objectName)
{
    auto *list = new QListWidget;
    list->setObjectName(objectName);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

QWidget *StatsWindow::buildOverview()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout;
    periodLabel_ = new QLabel;
    periodLabel_->setObjectName(QStringLiteral("periodLabel"));
    QFont bold = periodLabel_->font();
    bold.setBold(true);
    periodLabel_->setFont(bold);
    form->addRow(periodLabel_);
    for (const Figure &f : kFigures) {
        auto *value = new QLabel;
        value->setObjectName(QString::fromLatin1(f.name));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(QString::fromUtf8(f.caption), value);
        figures_.append(value);
    }
    auto *note = new QLabel(
        QStringLiteral("Сном считается запись, в названии или тексте которой что-то написано. Пустая запись (сон не "
                       "запомнился) делает ночь ночью с записью, но сном не считается. Ночь записи — та, что началась "
                       "накануне вечером: сон в 3 часа утра относится к предыдущей ночи."));
    note->setWordWrap(true);
    note->setObjectName(QStringLiteral("overviewNote"));
    form->addRow(note);

    symbolList_ = buildList(QStringLiteral("symbolList"));
    symbolList_->setToolTip(QStringLiteral("Щёлкните символ, чтобы увидеть сны с ним в дневнике"));
    tagList_ = buildList(QStringLiteral("tagList"));
    peopleList_ = buildList(QStringLiteral("peopleList"));
    placeList_ = buildList(QStringLiteral("placeList"));
    connect(symbolList_, &QListWidget::itemClicked, this, [this](QListWidgetItem *i) { symbolActivated(i, true); });
    connect(symbolList_, &QListWidget::itemActivated, this, [this](QListWidgetItem *i) { symbolActivated(i, false); });

    auto *lists = new QGridLayout;
    const std::pair<const char *, QListWidget *> columns[] = {
        {"Символы, которые снятся чаще всего", symbolList_},
        {"Метки", tagList_},
        {"Люди", peopleList_},
        {"Места", placeList_},
    };
    int column = 0;
    for (const auto &[caption, list] : columns) {
        lists->addWidget(new QLabel(QString::fromUtf8(caption)), 0, column);
        lists->addWidget(list, 1, column);
        lists->setColumnStretch(column, column == 0 ? 2 : 1);
        ++column;
    }

    auto *v = new QVBoxLayout(page);
    v->addLayout(form);
    v->addLayout(lists, 1);
    return page;
}

QWidget *StatsWindow::buildCharts()
{
    chartsPage_ = new QWidget;
    chartsPage_->setObjectName(QStringLiteral("chartsPage"));
    auto *grid = new QGridLayout(chartsPage_);
    const auto view = [](const char *name) {
        auto *v = new QChartView(new QChart);
        v->setObjectName(QString::fromLatin1(name));
        v->setRenderHint(QPainter::Antialiasing);
        v->setMinimumSize(300, 220);
        return v;
    };
    dreamsChart_ = view("dreamsChart");
    sharesChart_ = view("sharesChart");
    moodChart_ = view("moodChart");
    lunarChart_ = view("lunarChart");
    grid->addWidget(dreamsChart_, 0, 0);
    grid->addWidget(sharesChart_, 0, 1);
    grid->addWidget(moodChart_, 1, 0);
    grid->addWidget(lunarChart_, 1, 1);
    return chartsPage_;
}

QTableWidget *StatsWindow::buildTable(const QString &objectName, const QString &keyTitle, int rows)
{
    auto *t = new QTableWidget(rows, 7);
    t->setObjectName(objectName);
    t->setHorizontalHeaderLabels({keyTitle, QStringLiteral("Отмечено"), QStringLiteral("Сбылось"),
                                  QStringLiteral("Частично"), QStringLiteral("Не сбылось"), QStringLiteral("%"),
                                  QStringLiteral("По календарю")});
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setWordWrap(true);
    t->horizontalHeader()->setSectionResizeMode(6, QHeaderView::Stretch);
    return t;
}

QWidget *StatsWindow::buildFulfilment()
{
    auto *page = new QWidget;
    auto *inner = new QTabWidget;
    inner->setObjectName(QStringLiteral("fulfilmentTabs"));
    byLunarDay_ = buildTable(QStringLiteral("byLunarDayTable"), QStringLiteral("Лунный день"), 30);
    byWeekday_ = buildTable(QStringLiteral("byWeekdayTable"), QStringLiteral("День недели"), 7);
    byMonthDay_ = buildTable(QStringLiteral("byMonthDayTable"), QStringLiteral("Число"), 31);
    inner->addTab(byLunarDay_, QStringLiteral("По лунным дням"));
    inner->addTab(byWeekday_, QStringLiteral("По дням недели"));
    inner->addTab(byMonthDay_, QStringLiteral("По числам месяца"));
    fulfilmentNote_ = new QLabel;
    fulfilmentNote_->setObjectName(QStringLiteral("fulfilmentNote"));
    fulfilmentNote_->setWordWrap(true);
    auto *v = new QVBoxLayout(page);
    v->addWidget(fulfilmentNote_);
    v->addWidget(inner, 1);
    return page;
}

// ---- counting --------------------------------------------------------------------

void StatsWindow::refresh()
{
    entries_.clear();
    if (store_) {
        try {
            entries_ = readAllEntries(*store_);
        } catch (...) {
            traceIgnored(std::current_exception());
            entries_.clear();
            ShowMessage(describe(std::current_exception()), kTitle, MsgIcon::Warning);
        }
    }
    // While all the time is shown, a year or month chosen next starts at the
    // newest night's (the entries come newest first).
    if (periodKind_->currentIndex() == 0 && !entries_.isEmpty() && entries_.constFirst().night.isValid()) {
        const QDate newest = entries_.constFirst().night;
        choosing_ = true;
        yearBox_->setValue(newest.year());
        monthBox_->setCurrentIndex(newest.month() - 1);
        choosing_ = false;
    }
    recompute();
}

void StatsWindow::setNow(const QDateTime &now)
{
    now_ = now;
    recompute();
}

void StatsWindow::showAllTime()
{
    periodKind_->setCurrentIndex(0);
}

void StatsWindow::showYear(int year)
{
    choosing_ = true;
    yearBox_->setValue(year);
    choosing_ = false;
    if (periodKind_->currentIndex() == 1)
        periodChanged();
    else
        periodKind_->setCurrentIndex(1);
}

void StatsWindow::showMonth(int year, int month)
{
    choosing_ = true;
    yearBox_->setValue(year);
    monthBox_->setCurrentIndex(month - 1);
    choosing_ = false;
    if (periodKind_->currentIndex() == 2)
        periodChanged();
    else
        periodKind_->setCurrentIndex(2);
}

StatsPeriod StatsWindow::chosenPeriod() const
{
    switch (periodKind_->currentIndex()) {
    case 1: return StatsPeriod::year(yearBox_->value());
    case 2: return StatsPeriod::month(yearBox_->value(), monthBox_->currentIndex() + 1);
    default: return StatsPeriod::allTime();
    }
}

void StatsWindow::periodChanged()
{
    if (choosing_)
        return;
    const int kind = periodKind_->currentIndex();
    yearBox_->setVisible(kind != 0);
    monthBox_->setVisible(kind == 2);
    recompute();
}

void StatsWindow::recompute()
{
    stats_ = computeStats(entries_, chosenPeriod(), now_.isValid() ? now_ : momentNow());
    showFigures();
    showLists();
    showTables();
    showCharts();
}

void StatsWindow::showFigures()
{
    const DiaryStats &s = stats_;
    QString period = QStringLiteral("Период: ") + periodText(s.period);
    if (s.firstNight.isValid())
        period += QStringLiteral(" (записи с %1 по %2)").arg(dateText(s.firstNight), dateText(s.lastNight));
    else
        period += QStringLiteral(" — записей нет");
    periodLabel_->setText(period);
    const QString values[] = {
        QString::number(s.nights),
        QString::number(s.dreamNights),
        shareText(s.recall),
        QString::number(s.dreams),
        numberText(s.dreamsPerNight),
        runText(s.longestRun),
        runText(s.currentRun),
        shareText(s.lucidShare) + (s.dreams ? QStringLiteral(" (%1)").arg(s.lucid) : QString()),
        shareText(s.nightmareShare) + (s.dreams ? QStringLiteral(" (%1)").arg(s.nightmares) : QString()),
        numberText(s.moodAverage, true),
    };
    for (qsizetype i = 0; i < figures_.size(); ++i)
        figures_[i]->setText(values[i]);
}

void StatsWindow::showLists()
{
    const std::pair<QListWidget *, const QList<Recurrence> *> lists[] = {
        {symbolList_, &stats_.symbols},
        {tagList_, &stats_.tags},
        {peopleList_, &stats_.people},
        {placeList_, &stats_.places},
    };
    for (const auto &[list, items] : lists) {
        list->clear();
        for (const Recurrence &r : items->mid(0, kListLength)) {
            auto *item = new QListWidgetItem(QStringLiteral("%1 — %2").arg(r.name).arg(r.count), list);
            item->setData(Qt::UserRole, r.name);
            item->setData(Qt::UserRole + 1, r.dreams);
        }
    }
}

void StatsWindow::fillTable(QTableWidget *table, const QList<FulfilmentRow> &rows, bool weekdays)
{
    table->setUpdatesEnabled(false);
    table->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        const FulfilmentRow &r = rows[i];
        table->setItem(i, 0, cell(weekdays ? weekdayName(r.key) : QString::number(r.key), !weekdays));
        table->setItem(i, 1, cell(QString::number(r.marked)));
        table->setItem(i, 2, cell(QString::number(r.yes)));
        table->setItem(i, 3, cell(QString::number(r.partly)));
        table->setItem(i, 4, cell(QString::number(r.no)));
        table->setItem(i, 5, cell(r.percent ? percentText(*r.percent) : QStringLiteral("мало отметок")));
        table->setItem(i, 6, cell(r.calendarText.trimmed(), false));
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setSectionResizeMode(6, QHeaderView::Stretch);
    table->setUpdatesEnabled(true);
}

void StatsWindow::showTables()
{
    fillTable(byLunarDay_, stats_.fulfilment.byLunarDay, false);
    fillTable(byWeekday_, stats_.fulfilment.byWeekday, true);
    fillTable(byMonthDay_, stats_.fulfilment.byMonthDay, false);
    const FulfilmentTables &f = stats_.fulfilment;
    QString note = QStringLiteral("Отмечено снов: %1. Процент — (сбылось + половина «частично») / отмечено; при "
                                  "отметках меньше трёх он не считается: «мало отметок». День недели и число — "
                                  "те, что были в момент сна по его собственному часовому поясу.")
                       .arg(f.marked);
    if (f.markedWithoutLunarDay > 0)
        note += QStringLiteral(" Без лунного дня (место не задано): %1.").arg(f.markedWithoutLunarDay);
    fulfilmentNote_->setText(note);
}

void StatsWindow::setChart(QChartView *view, QChart *chart)
{
    QChart *old = view->chart();
    view->setChart(chart);
    delete old;
}

void StatsWindow::showCharts()
{
    setChart(dreamsChart_, dreamsChart(stats_.months));
    setChart(sharesChart_, sharesChart(stats_.months));
    setChart(moodChart_, moodChart(stats_.months));
    setChart(lunarChart_, lunarChart(stats_.fulfilment.byLunarDay));
    applyChartTheme();
}

void StatsWindow::applyChartTheme()
{
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    for (QChartView *v : {dreamsChart_, sharesChart_, moodChart_, lunarChart_}) {
        QChart *chart = v->chart();
        chart->setTheme(dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
        chart->setBackgroundBrush(palette().brush(QPalette::Base));
        chart->setTitleBrush(palette().brush(QPalette::Text));
        const QFont font = this->font();
        chart->setTitleFont(font);
        chart->legend()->setLabelColor(palette().color(QPalette::Text));
        for (QAbstractAxis *axis : chart->axes()) {
            axis->setLabelsColor(palette().color(QPalette::Text));
            axis->setLabelsFont(font);
            axis->setTitleBrush(palette().brush(QPalette::Text));
            axis->setTitleFont(font);
        }
    }
}

void StatsWindow::changeEvent(QEvent *e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange && dreamsChart_)
        applyChartTheme();
}

// ---- the user's actions --------------------------------------------------------

void StatsWindow::symbolActivated(QListWidgetItem *item, bool byMouse)
{
    // A double click is a click too: activation counts only from the keyboard.
    if (!item || (!byMouse && QGuiApplication::mouseButtons() != Qt::NoButton))
        return;
    emit showDreamsWithSymbol(item->data(Qt::UserRole).toString());
}

void StatsWindow::renderCharts(QPainter *painter) const
{
    // At a size of their own, whatever tab is shown and however small the
    // window is; then back as they were.
    const QSize old = chartsPage_->size();
    chartsPage_->resize(kChartsPicture);
    chartsPage_->layout()->activate();
    chartsPage_->render(painter, QPoint(), QRegion(), QWidget::DrawChildren);
    chartsPage_->resize(old);
    chartsPage_->layout()->activate();
}

QImage StatsWindow::chartsImage() const
{
    QImage image(kChartsPicture, QImage::Format_ARGB32);
    image.fill(palette().color(QPalette::Window));
    QPainter p(&image);
    renderCharts(&p);
    return image;
}

bool StatsWindow::savePng(const QString &path) const
{
    return chartsImage().save(path, "PNG");
}

void StatsWindow::saveAsPng()
{
    QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить графики"),
                                     QStringLiteral("Статистика дневника.png"), QStringLiteral("Рисунки PNG (*.png)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        path += QStringLiteral(".png");
    if (!savePng(path))
        ShowMessage(QStringLiteral("Не удалось записать файл «%1».").arg(path), kTitle, MsgIcon::Warning);
}

void StatsWindow::printTo(QPrinter *printer) const
{
    QPainter p(printer);
    if (!p.isActive())
        return;
    const QRect page = p.viewport();
    QFont font = this->font();
    font.setPointSizeF(11);
    p.setFont(font);
    QStringList lines{kTitle + QStringLiteral(". ") + periodLabel_->text()};
    for (qsizetype i = 0; i < figures_.size(); ++i)
        lines << QString::fromUtf8(kFigures[i].caption) + QLatin1Char(' ') + figures_[i]->text();
    const QRect textRect = p.boundingRect(page, Qt::TextWordWrap, lines.join(QLatin1Char('\n')));
    p.drawText(page, Qt::TextWordWrap, lines.join(QLatin1Char('\n')));
    // The charts drawn at the printer's resolution, scaled to the room left.
    const QSize charts = kChartsPicture;
    const QRect room(page.left(), textRect.bottom() + page.height() / 40, page.width(),
                     page.bottom() - textRect.bottom() - page.height() / 40);
    const double scale = std::min(double(room.width()) / charts.width(), double(room.height()) / charts.height());
    p.translate(room.topLeft());
    p.scale(scale, scale);
    renderCharts(&p);
}

void StatsWindow::print()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Печать статистики"));
    if (dialog.exec() == QDialog::Accepted)
        printTo(&printer);
}

} // namespace somnex::diary
