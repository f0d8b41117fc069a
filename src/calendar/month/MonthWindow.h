#pragma once
// "Лунный календарь на месяц": a month of the Moon as a grid Пн…Вс, each
// date with its lunar days, phase, lit share, sign, rises and sets and the
// diary's dreams of its night, and the selected date in full beside it.
// The month is computed on a worker; the latest request alone is shown.

#include "calendar/lunarday/LunarMonth.h"

#include <QDate>
#include <QMap>
#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QPrinter;
class QPushButton;
class QTableWidget;
class QTextBrowser;

namespace somnex::calendar {

// What the month window asks of the program around it.
class MonthHost {
public:
    virtual ~MonthHost() = default;
    // The diary's dreams by the date their night ends on, for the dates
    // from first to last (empty when the diary cannot be read).
    virtual QMap<QDate, int> dreamsByMorning(const QDate &first, const QDate &last) = 0;
    // Opens the diary on the dreams of the night that ends on the date.
    virtual void openDreamsOfMorning(const QDate &morning) = 0;
    // Opens the one-moment calendar at a local moment (a date value).
    virtual void openCalendarAt(double localMoment) = 0;
};

class MonthWindow : public QWidget {
    Q_OBJECT

public:
    explicit MonthWindow(MonthHost *host, QWidget *owner = nullptr);
    ~MonthWindow() override;

    // The program's month window: made when none is open, shown and
    // brought to the front, on the current month.
    static MonthWindow *open(MonthHost *host, QWidget *owner);
    static MonthWindow *instance();

    // Selects a date, computing its month when another is shown.
    void selectDate(const QDate &date);
    QDate selectedDate() const { return selected_; }
    // Computes the selected date's month anew (the place may have changed).
    void refresh();
    // The month shown, none before the first answer.
    const LunarMonth *shownMonth() const { return month_.get(); }
    const QMap<QDate, int> &dreams() const { return dreams_; }
    bool computing() const { return pending_ > 0; }
    // Waits until every month asked for has been answered and shown (tests).
    void waitForMonth();
    // The date "today" is for the grid's mark and Home (tests set it).
    void setToday(const QDate &today);
    QDate today() const { return today_; }

    // The month on one A4 landscape page; false when nothing was drawn.
    bool printTo(QPrinter *printer) const;
    // The same page written to a PDF file; false, with the reason, when it
    // could not be written.
    bool savePdf(const QString &path, QString *why = nullptr) const;

signals:
    // A month arrived and is shown.
    void monthShown();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Back to the window after the place was changed elsewhere: the month
    // is computed anew for the new place.
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildGrid();
    void layOut();
    void connectControls();
    void compute(int year, int month);
    void showMonth(LunarMonth m);
    void fillGrid();
    void selectCell();
    void showDetails();
    void cellActivated(int row, int column);
    std::optional<QDate> dateAt(int row, int column) const;
    void print();
    void choosePdf();
    void detailsLink(const QUrl &url);

    MonthHost *host_;
    QDate selected_;
    QDate today_;
    std::unique_ptr<LunarMonth> month_;
    QMap<QDate, int> dreams_;
    QString placeName_;
    int generation_ = 0;
    int pending_ = 0;

    QLabel *title_ = nullptr;
    QLabel *place_ = nullptr;
    QLabel *busy_ = nullptr;
    QTableWidget *grid_ = nullptr;
    QTextBrowser *details_ = nullptr;
    QPushButton *previous_ = nullptr, *next_ = nullptr, *todayButton_ = nullptr;
    QPushButton *printButton_ = nullptr, *pdfButton_ = nullptr, *calendarButton_ = nullptr;
};

// The text of one date's cell, as the grid shows it and as assistive
// technology reads it.
QString cellSummary(const MonthDay &d, int dreams);

} // namespace somnex::calendar
