#include "diary/ui/StatsWindow.h"

#include "diary/DiaryStore.h"
#include "diary/LunarSnapshot.h"
#include "diary/charts/StatsCharts.h"
#include "diary/ui/StatsChartsLoader.h"
#include "platform/core/Clock.h"
#include "platform/core/Messages.h"
#include "platform/core/RussianDates.h"
#include "platform/error/Error.h"

#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
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

#include <limits>
#include <vector>

namespace somnex::diary {

namespace {

const QString kTitle = QStringLiteral("Статистика дневника");

QPointer<StatsWindow> g_window;

// The size the charts are printed and saved at (logical pixels).
constexpr QSize kChartsPicture(1200, 800);
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
    const QString n = dates::number(*v, 2);
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

double orNaN(const std::optional<double> &v)
{
    return v.value_or(std::numeric_limits<double>::quiet_NaN());
}

} // namespace

StatsWindow *StatsWindow::open(DiaryStore *store, QWidget *owner)
{
    if (!g_window)
        g_window = new StatsWindow(store, owner);
    else
        g_window->follow(store);
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

StatsWindow::StatsWindow(DiaryStore *store, QWidget *owner) : QWidget(owner, Qt::Window)
{
    refreshSoon_.setSingleShot(true);
    refreshSoon_.setInterval(1500);
    connect(&refreshSoon_, &QTimer::timeout, this, [this] {
        if (isVisible())
            refresh();
    });
    follow(store);
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
    const QDate today = Clock::current().today();
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
    if (!charts_) {
        png->setEnabled(false);
        png->setToolTip(QStringLiteral("Графики недоступны"));
    }
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
    signList_ = buildList(QStringLiteral("signList"));
    signList_->setToolTip(QStringLiteral("Символы, которые приснились не меньше трёх раз за последние 90 дней. "
                                         "Щёлкните символ, чтобы увидеть эти сны в дневнике"));
    tagList_->setToolTip(QStringLiteral("Щёлкните метку, чтобы увидеть сны с ней в дневнике"));
    peopleList_->setToolTip(QStringLiteral("Щёлкните имя, чтобы увидеть сны с этим человеком в дневнике"));
    placeList_->setToolTip(QStringLiteral("Щёлкните место, чтобы увидеть сны о нём в дневнике"));
    for (QListWidget *list : {symbolList_, signList_, tagList_, peopleList_, placeList_}) {
        const bool symbol = list == symbolList_ || list == signList_;
        connect(list, &QListWidget::itemClicked, this,
                [this, symbol](QListWidgetItem *i) { itemChosen(i, true, symbol); });
        connect(list, &QListWidget::itemActivated, this,
                [this, symbol](QListWidgetItem *i) { itemChosen(i, false, symbol); });
    }

    auto *lists = new QGridLayout;
    const std::pair<const char *, QListWidget *> columns[] = {
        {"Символы, которые снятся чаще всего", symbolList_},
        {"Ваши знаки сна", signList_},
        {"Метки", tagList_},
        {"Люди", peopleList_},
        {"Места", placeList_},
    };
    int column = 0;
    for (const auto &[caption, list] : columns) {
        lists->addWidget(new QLabel(QString::fromUtf8(caption)), 0, column);
        lists->addWidget(list, 1, column);
        lists->setColumnStretch(column, column <= 1 ? 2 : 1);
        ++column;
    }

    auto *v = new QVBoxLayout(page);
    v->addLayout(form);
    v->addLayout(lists, 1);
    return page;
}

QWidget *StatsWindow::buildCharts()
{
    QString reason;
    charts_ = loadStatsCharts(&reason);
    if (charts_) {
        chartsPage_ = charts_->createPage();
    } else {
        // The rest of the window does without them.
        chartsPage_ = new QWidget;
        auto *note = new QLabel(QStringLiteral("Графики недоступны: ") + reason);
        note->setObjectName(QStringLiteral("chartsUnavailable"));
        note->setAlignment(Qt::AlignCenter);
        note->setWordWrap(true);
        note->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto *v = new QVBoxLayout(chartsPage_);
        v->addWidget(note);
    }
    chartsPage_->setObjectName(QStringLiteral("chartsPage"));
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

void StatsWindow::follow(DiaryStore *store)
{
    disconnect(following_);
    store_ = store;
    if (store)
        following_ = connect(store, &DiaryStore::changed, this, [this] { refreshSoon_.start(); });
}

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
        period += QStringLiteral(" (записи с ночи на %1 по ночь на %2)")
                      .arg(dateText(s.firstNight.addDays(1)), dateText(s.lastNight.addDays(1)));
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
    const QList<Recurrence> signs = dreamSigns(entries_, now_.isValid() ? now_ : momentNow());
    const std::pair<QListWidget *, const QList<Recurrence> *> lists[] = {
        {symbolList_, &stats_.symbols}, {signList_, &signs},          {tagList_, &stats_.tags},
        {peopleList_, &stats_.people},  {placeList_, &stats_.places},
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

void StatsWindow::showCharts()
{
    if (!charts_)
        return;
    std::vector<StatsChartMonth> months;
    months.reserve(static_cast<size_t>(stats_.months.size()));
    for (const MonthStats &m : stats_.months)
        months.push_back(
            {m.year, m.month, m.dreams, orNaN(m.lucidShare), orNaN(m.nightmareShare), orNaN(m.moodAverage)});
    std::vector<StatsChartLunarDay> lunar;
    lunar.reserve(static_cast<size_t>(stats_.fulfilment.byLunarDay.size()));
    for (const FulfilmentRow &r : stats_.fulfilment.byLunarDay)
        lunar.push_back({r.key, orNaN(r.percent)});
    const StatsChartData chartData{months.data(), static_cast<int>(months.size()), lunar.data(),
                                   static_cast<int>(lunar.size())};
    charts_->showCharts(chartsPage_, &chartData);
    applyChartTheme();
}

void StatsWindow::applyChartTheme()
{
    if (!charts_)
        return;
    const QPalette palette = this->palette();
    const QFont font = this->font();
    charts_->applyTheme(chartsPage_, &palette, &font);
}

void StatsWindow::changeEvent(QEvent *e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        applyChartTheme();
}

// ---- the user's actions --------------------------------------------------------

void StatsWindow::itemChosen(QListWidgetItem *item, bool byMouse, bool symbol)
{
    // A double click is a click too: activation counts only from the keyboard.
    if (!item || (!byMouse && QGuiApplication::mouseButtons() != Qt::NoButton))
        return;
    const QString name = item->data(Qt::UserRole).toString();
    if (symbol)
        emit showDreamsWithSymbol(name);
    else
        emit showDreamsWithTag(name);
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
