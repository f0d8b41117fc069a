#include "calendar/month/MonthWindow.h"

#include "calendar/month/MonthSheet.h"
#include "location/core/Location.h"
#include "platform/core/Clock.h"
#include "platform/core/Messages.h"
#include "platform/core/RussianDates.h"
#include "platform/core/Settings.h"
#include "platform/core/Worker.h"
#include "support/PdfFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace somnex::calendar {

namespace {

const QString kTitle = QStringLiteral("Лунный календарь на месяц");

QPointer<MonthWindow> &theWindow()
{
    static QPointer<MonthWindow> w;
    return w;
}

QString seconds(double moment)
{
    return formatMoment(moment, QStringLiteral("HH:mm:ss"));
}

// A moment beside the date it belongs to: the time alone on that date, the
// day and month before it otherwise.
QString momentOn(double moment, const QDate &date)
{
    const QDate d = dateOf(moment);
    return d == date ? seconds(moment) : dates::dayAndMonth(d) + QStringLiteral(", ") + seconds(moment);
}

QString riseSetHtml(const RiseSetOfDate &r, const QDate &date, const QString &above, const QString &below)
{
    if (r.aboveAllDay)
        return above;
    if (r.belowAllDay)
        return below;
    return QStringLiteral("восход ") + (r.rise ? momentOn(*r.rise, date) : QStringLiteral("нет"))
           + QStringLiteral(", заход ") + (r.set ? momentOn(*r.set, date) : QStringLiteral("нет"));
}

// Paints each date's cell from the month the window shows.
class DayDelegate : public QStyledItemDelegate {
public:
    DayDelegate(const MonthWindow *window, QObject *parent) : QStyledItemDelegate(parent), window_(window) {}

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const LunarMonth *m = window_->shownMonth();
        const int i = index.data(Qt::UserRole).toInt() - 1;
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette &pal = option.palette;
        p->save();
        p->fillRect(option.rect, selected ? pal.highlight() : pal.base());
        p->setPen(pal.color(QPalette::Mid));
        p->drawRect(option.rect.adjusted(0, 0, -1, -1));
        if (m && i >= 0 && i < m->days.size()) {
            const QColor text = pal.color(selected ? QPalette::HighlightedText : QPalette::Text);
            QColor dim = text;
            dim.setAlphaF(0.75);
            const QColor accent = selected ? text : pal.color(QPalette::Link);
            p->setFont(option.font);
            const MonthDay &d = m->days[i];
            paintDayCell(*p, option.rect, d, window_->dreams().value(d.date), m->place.Latitude,
                         {text, dim, accent, pal.color(QPalette::Link)}, d.date == window_->today());
        }
        p->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return cellSize(option.font);
    }

private:
    const MonthWindow *window_;
};

} // namespace

QString cellSummary(const MonthDay &d, int dreams)
{
    const CellLines c = cellLines(d, dreams);
    QStringList parts{dates::longDate(d.date) + QStringLiteral(", ") + dates::weekdayName(d.weekday).toLower()};
    QStringList lunar;
    for (const LunarDaySpan &s : d.lunarDays)
        lunar << QString::number(s.number) + QStringLiteral("-й");
    parts << QStringLiteral("лунные дни ") + lunar.join(QStringLiteral(", "));
    parts << QStringLiteral("освещено ") + c.illumination;
    parts << QStringLiteral("Луна в знаке ") + signName(d.sign);
    for (const PhaseInstant &p : d.phases)
        parts << phaseName(p.phase) + QStringLiteral(" в ") + formatMoment(p.at, QStringLiteral("HH:mm"));
    if (dreams > 0)
        parts << QStringLiteral("снов в дневнике: ") + QString::number(dreams);
    return parts.join(QStringLiteral("; "));
}

MonthWindow::MonthWindow(MonthHost *host, QWidget *owner)
    : QWidget(owner, Qt::Window), host_(host), selected_(Clock::current().today()), today_(Clock::current().today())
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kTitle);
    buildControls();
    compute(selected_.year(), selected_.month());
}

MonthWindow::~MonthWindow() = default;

MonthWindow *MonthWindow::instance()
{
    return theWindow();
}

MonthWindow *MonthWindow::open(MonthHost *host, QWidget *owner)
{
    MonthWindow *w = theWindow();
    if (!w) {
        w = new MonthWindow(host, owner);
        theWindow() = w;
    }
    w->show();
    w->setWindowState((w->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    w->raise();
    w->activateWindow();
    w->grid_->setFocus();
    return w;
}

void MonthWindow::buildControls()
{
    previous_ = new QPushButton(QStringLiteral("◀"), this);
    previous_->setAccessibleName(QStringLiteral("Предыдущий месяц"));
    previous_->setToolTip(QStringLiteral("Предыдущий месяц (Page Up)"));
    next_ = new QPushButton(QStringLiteral("▶"), this);
    next_->setAccessibleName(QStringLiteral("Следующий месяц"));
    next_->setToolTip(QStringLiteral("Следующий месяц (Page Down)"));
    todayButton_ = new QPushButton(QStringLiteral("Сегодня"), this);
    todayButton_->setToolTip(QStringLiteral("Сегодняшний день (Home)"));
    title_ = new QLabel(this);
    QFont tf = title_->font();
    tf.setBold(true);
    tf.setPointSizeF(tf.pointSizeF() * 1.3);
    title_->setFont(tf);
    busy_ = new QLabel(QStringLiteral("Расчёт…"), this);
    busy_->setVisible(false);
    printButton_ = new QPushButton(QStringLiteral("Печать…"), this);
    pdfButton_ = new QPushButton(QStringLiteral("Файл PDF…"), this);
    calendarButton_ = new QPushButton(QStringLiteral("Календарь на этот день"), this);
    calendarButton_->setToolTip(QStringLiteral("Календарь сбываемости снов на полдень выбранного дня (Enter)"));
    place_ = new QLabel(this);
    place_->setWordWrap(true);

    buildGrid();
    details_ = new QTextBrowser(this);
    details_->setObjectName(QStringLiteral("dayDetails"));
    details_->setAccessibleName(QStringLiteral("Выбранный день"));
    details_->setOpenLinks(false);
    layOut();
    connectControls();
    const QSize cell = cellSize(font());
    resize(cell.width() * 7 + cell.width() * 3, cell.height() * 6 + 160);
}

void MonthWindow::buildGrid()
{
    grid_ = new QTableWidget(this);
    grid_->setObjectName(QStringLiteral("monthGrid"));
    grid_->setAccessibleName(QStringLiteral("Дни месяца"));
    grid_->setColumnCount(7);
    QStringList heads;
    for (int wd = 1; wd <= 7; ++wd)
        heads << dates::weekdayShort(wd);
    grid_->setHorizontalHeaderLabels(heads);
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid_->horizontalHeader()->setMinimumSectionSize(cellSize(font()).width() / 2);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setShowGrid(false);
    grid_->setItemDelegate(new DayDelegate(this, grid_));
    grid_->installEventFilter(this);
    grid_->viewport()->installEventFilter(this);
}

void MonthWindow::layOut()
{
    auto *top = new QHBoxLayout;
    top->addWidget(previous_);
    top->addWidget(title_);
    top->addWidget(next_);
    top->addWidget(todayButton_);
    top->addWidget(busy_);
    top->addStretch(1);
    top->addWidget(printButton_);
    top->addWidget(pdfButton_);

    auto *side = new QWidget(this);
    auto *sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(details_, 1);
    sideLayout->addWidget(calendarButton_);

    auto *split = new QSplitter(this);
    split->addWidget(grid_);
    split->addWidget(side);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);

    auto *v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addWidget(place_);
    v->addWidget(split, 1);
}

void MonthWindow::connectControls()
{
    connect(previous_, &QPushButton::clicked, this, [this] { selectDate(selected_.addMonths(-1)); });
    connect(next_, &QPushButton::clicked, this, [this] { selectDate(selected_.addMonths(1)); });
    connect(todayButton_, &QPushButton::clicked, this, [this] { selectDate(today_); });
    connect(printButton_, &QPushButton::clicked, this, &MonthWindow::print);
    connect(pdfButton_, &QPushButton::clicked, this, &MonthWindow::choosePdf);
    connect(calendarButton_, &QPushButton::clicked, this, [this] {
        if (host_)
            host_->openCalendarAt(toDateValue(selected_, QTime(12, 0)));
    });
    connect(grid_, &QTableWidget::cellClicked, this, [this](int row, int column) {
        if (const auto d = dateAt(row, column))
            selectDate(*d);
    });
    connect(grid_, &QTableWidget::cellDoubleClicked, this, &MonthWindow::cellActivated);
    connect(details_, &QTextBrowser::anchorClicked, this, &MonthWindow::detailsLink);
}

void MonthWindow::setToday(const QDate &today)
{
    today_ = today;
    grid_->viewport()->update();
}

void MonthWindow::selectDate(const QDate &date)
{
    if (!date.isValid() || !isComputableMonth(date.year(), date.month()))
        return;
    const bool sameMonth = month_ && month_->year == date.year() && month_->month == date.month();
    selected_ = date;
    if (sameMonth) {
        selectCell();
        showDetails();
    } else {
        compute(date.year(), date.month());
    }
}

void MonthWindow::refresh()
{
    compute(selected_.year(), selected_.month());
}

void MonthWindow::compute(int year, int month)
{
    title_->setText(dates::monthTitle(year, month));
    const location::Location place = location::Location::load(GetSetting);
    const astro::ObserverPosition observer{place.latitude().toDouble(), place.longitude().toDouble()};
    placeName_ = place.cityName;
    const int generation = ++generation_;
    ++pending_;
    busy_->setVisible(true);
    struct Outcome {
        std::optional<LunarMonth> month;
        QString fault;
    };
    runOnWorker(
        this,
        [year, month, observer] {
            Outcome o;
            try {
                o.month = computeMonth(year, month, observer);
            } catch (const std::exception &e) {
                o.fault = engineFaultText(e);
            }
            return o;
        },
        [this, generation](Outcome o) {
            --pending_;
            busy_->setVisible(pending_ > 0);
            // Only the latest request is shown: a month or a place asked for
            // later wins over one still computing.
            if (generation != generation_)
                return;
            if (!o.month) {
                ShowMessage(o.fault, kTitle, MsgIcon::Error);
                return;
            }
            showMonth(std::move(*o.month));
        });
}

void MonthWindow::waitForMonth()
{
    while (pending_ > 0)
        settleWorkers();
}

void MonthWindow::showMonth(LunarMonth m)
{
    month_ = std::make_unique<LunarMonth>(std::move(m));
    dreams_ = host_ && !month_->days.isEmpty()
                  ? host_->dreamsByMorning(month_->days.first().date, month_->days.last().date)
                  : QMap<QDate, int>();
    if (selected_.year() != month_->year || selected_.month() != month_->month)
        selected_ = QDate(month_->year, month_->month, 1);
    place_->setText(placeName_ + QStringLiteral(", ") + QString::number(month_->place.Latitude, 'f', 4)
                    + QStringLiteral(", ") + QString::number(month_->place.Longitude, 'f', 4)
                    + QStringLiteral(" · время: ") + zoneLabel(month_->year, month_->month));
    fillGrid();
    showDetails();
    emit monthShown();
}

void MonthWindow::fillGrid()
{
    if (!month_)
        return;
    const QDate first(month_->year, month_->month, 1);
    const int offset = first.dayOfWeek() - 1;
    const int weeks = (offset + int(month_->days.size()) + 6) / 7;
    grid_->clearContents();
    grid_->setRowCount(weeks);
    for (int cell = 0; cell < weeks * 7; ++cell) {
        auto *item = new QTableWidgetItem;
        const int day = cell - offset + 1;
        if (day >= 1 && day <= month_->days.size()) {
            const MonthDay &d = month_->days[day - 1];
            item->setData(Qt::UserRole, day);
            item->setData(Qt::AccessibleTextRole, cellSummary(d, dreams_.value(d.date)));
            item->setToolTip(cellSummary(d, dreams_.value(d.date)));
        } else {
            item->setData(Qt::UserRole, 0);
            item->setFlags(Qt::NoItemFlags);
        }
        grid_->setItem(cell / 7, cell % 7, item);
    }
    const QSize cell = cellSize(font());
    for (int r = 0; r < weeks; ++r)
        grid_->setRowHeight(r, cell.height());
    // Every cell as wide as its longest line, whatever the font.
    grid_->setMinimumWidth(cell.width() * 7 + 2 * grid_->frameWidth() + grid_->verticalScrollBar()->sizeHint().width());
    selectCell();
}

void MonthWindow::selectCell()
{
    if (!month_)
        return;
    const int cell = QDate(month_->year, month_->month, 1).dayOfWeek() - 1 + selected_.day() - 1;
    if (grid_->currentRow() != cell / 7 || grid_->currentColumn() != cell % 7)
        grid_->setCurrentCell(cell / 7, cell % 7);
}

std::optional<QDate> MonthWindow::dateAt(int row, int column) const
{
    const QTableWidgetItem *item = grid_->item(row, column);
    if (!month_ || !item)
        return std::nullopt;
    const int day = item->data(Qt::UserRole).toInt();
    if (day < 1)
        return std::nullopt;
    return QDate(month_->year, month_->month, day);
}

void MonthWindow::showDetails()
{
    if (!month_ || selected_.day() > month_->days.size())
        return;
    const MonthDay &d = month_->days[selected_.day() - 1];
    QString h = QStringLiteral("<h3>") + dates::longDate(d.date) + QStringLiteral(", ")
                + dates::weekdayName(d.weekday).toLower() + QStringLiteral("</h3>");
    for (const PhaseInstant &p : d.phases)
        h += QStringLiteral("<p><b>") + phaseName(p.phase) + QStringLiteral("</b> в ") + seconds(p.at)
             + QStringLiteral("</p>");
    h += QStringLiteral("<p><b>Лунные дни</b>");
    for (const LunarDaySpan &s : d.lunarDays)
        h += QStringLiteral("<br>") + QString::number(s.number) + QStringLiteral("-й: с ") + momentOn(s.start, d.date)
             + QStringLiteral(" до ") + momentOn(s.end, d.date);
    h += QStringLiteral("</p>");
    if (d.noonLunarDay > 0)
        h += QStringLiteral("<p><b>Сон по лунному дню (") + QString::number(d.noonLunarDay)
             + QStringLiteral("-й):</b> ") + d.lunarDayText.toHtmlEscaped() + QStringLiteral("</p>");
    h += QStringLiteral("<p><b>По дню недели:</b> ") + d.weekdayText.toHtmlEscaped() + QStringLiteral("</p>");
    h += QStringLiteral("<p><b>По числу месяца:</b> ") + d.monthDayText.toHtmlEscaped() + QStringLiteral("</p>");
    h += QStringLiteral("<p><b>Луна:</b> ")
         + riseSetHtml(d.moon, d.date, QStringLiteral("весь день над горизонтом"), QStringLiteral("не восходит"))
         + QStringLiteral("; освещено ") + dates::number(d.illumination, 1) + QStringLiteral("\u00a0% (")
         + (d.elongation < 180.0 ? QStringLiteral("растущая") : QStringLiteral("убывающая"))
         + QStringLiteral("); в полдень в знаке ") + signName(d.sign);
    if (d.signEntry)
        h += QStringLiteral(", с ") + seconds(d.signEntry->at) + QStringLiteral(" — ") + signName(d.signEntry->sign);
    h += QStringLiteral("</p><p><b>Солнце:</b> ")
         + riseSetHtml(d.sun, d.date, QStringLiteral("полярный день"), QStringLiteral("полярная ночь"))
         + QStringLiteral("</p>");
    if (const int n = dreams_.value(d.date); n > 0)
        h += QStringLiteral("<p><a href=\"dreams:\">Снов этой ночи в дневнике: ") + QString::number(n)
             + QStringLiteral("</a></p>");
    details_->setHtml(h);
}

void MonthWindow::cellActivated(int row, int column)
{
    if (const auto d = dateAt(row, column); d && host_)
        host_->openCalendarAt(toDateValue(*d, QTime(12, 0)));
}

void MonthWindow::detailsLink(const QUrl &url)
{
    if (url.scheme() == QLatin1String("dreams") && host_)
        host_->openDreamsOfMorning(selected_);
}

bool MonthWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == grid_ && event->type() == QEvent::KeyPress) {
        const auto *k = static_cast<QKeyEvent *>(event);
        int days = 0, months = 0;
        switch (k->key()) {
        case Qt::Key_Left: days = -1; break;
        case Qt::Key_Right: days = 1; break;
        case Qt::Key_Up: days = -7; break;
        case Qt::Key_Down: days = 7; break;
        case Qt::Key_PageUp: months = -1; break;
        case Qt::Key_PageDown: months = 1; break;
        case Qt::Key_Home: selectDate(today_); return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (host_)
                host_->openCalendarAt(toDateValue(selected_, QTime(12, 0)));
            return true;
        default: return QWidget::eventFilter(watched, event);
        }
        selectDate(months != 0 ? selected_.addMonths(months) : selected_.addDays(days));
        return true;
    }
    if (watched == grid_->viewport() && event->type() == QEvent::MouseButtonRelease && month_) {
        // A click on a date's count of dreams opens them in the diary.
        const auto *m = static_cast<QMouseEvent *>(event);
        const QModelIndex index = grid_->indexAt(m->position().toPoint());
        const auto d = index.isValid() ? dateAt(index.row(), index.column()) : std::nullopt;
        if (d && dreams_.value(*d) > 0 && host_) {
            const QRect rect = grid_->visualRect(index);
            const QFontMetrics fm(font());
            if (m->position().y() > rect.bottom() - fm.height() * 1.6) {
                host_->openDreamsOfMorning(*d);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MonthWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && month_ && pending_ == 0) {
        const location::Location place = location::Location::load(GetSetting);
        if (place.latitude().toDouble() != month_->place.Latitude
            || place.longitude().toDouble() != month_->place.Longitude || place.cityName != placeName_)
            refresh();
    }
    QWidget::changeEvent(event);
}

void MonthWindow::closeEvent(QCloseEvent *event)
{
    ++generation_; // nothing computing is shown any more
    QWidget::closeEvent(event);
}

bool MonthWindow::printTo(QPrinter *printer) const
{
    if (!month_)
        return false;
    printer->setPageOrientation(QPageLayout::Landscape);
    printer->setPageSize(QPageSize(QPageSize::A4));
    QPainter p(printer);
    if (!p.isActive())
        return false;
    paintMonthPage(p, p.viewport(), *month_, dreams_, place_->text(), today_);
    return true;
}

bool MonthWindow::savePdf(const QString &path, QString *why) const
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setCreator(kTitle);
    printer.setDocName(kTitle + QStringLiteral(": ") + title_->text());
    const bool drawn = printTo(&printer);
    if (!drawn || !QFileInfo(path).exists() || QFileInfo(path).size() == 0) {
        if (why)
            *why = QStringLiteral("Не удалось записать файл «%1».").arg(path);
        return false;
    }
    return true;
}

void MonthWindow::print()
{
    if (!month_)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Печать: ") + kTitle);
    if (dialog.exec() == QDialog::Accepted && !printTo(&printer))
        ShowMessage(QStringLiteral("Не удалось начать печать."), kTitle, MsgIcon::Warning);
}

void MonthWindow::choosePdf()
{
    if (!month_)
        return;
    const QString suggested = QDir::home().filePath(
        QStringLiteral("Лунный календарь %1-%2.pdf").arg(month_->year).arg(month_->month, 2, 10, QLatin1Char('0')));
    const QString path = askPdfFile(this, QStringLiteral("Сохранить месяц в PDF"), suggested);
    if (path.isEmpty())
        return;
    QString why;
    if (!savePdf(path, &why))
        ShowMessage(why, kTitle, MsgIcon::Warning);
}

} // namespace somnex::calendar
