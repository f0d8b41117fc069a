#pragma once
// "Статистика дневника": the diary's figures over a period (all the time, a
// year or a month), charts of the months and of how often the user's dreams
// came true by lunar day, the fulfilment tables beside the calendar's texts,
// and the symbols, tags, people and places that come back most.
//
// The window reads the diary when opened and on "Обновить"; choosing another
// period counts again what was read. The charts take the dark theme when the
// window's palette is dark. They can be printed or saved as a PNG picture.
// They are drawn by a module loaded when a window is built (StatsChartsLoader.h);
// without it the charts' tab says why, and the rest of the window is the same.

#include "diary/DiaryStore.h"
#include "diary/Entry.h"
#include "diary/Stats.h"

#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPainter;
class QPrinter;
class QSpinBox;
class QTableWidget;
class QTabWidget;

namespace somnex::diary {

struct StatsChartsApi;

class StatsWindow : public QWidget {
    Q_OBJECT
public:
    // The statistics of the store's diary: created when none is open (a
    // window of its own above owner, closed with it), read again, shown and
    // raised. The window follows the store: a while after the store says
    // it wrote, the figures are counted again (refresh() at once).
    static StatsWindow *open(DiaryStore *store, QWidget *owner = nullptr);
    static StatsWindow *instance();
    ~StatsWindow() override;

    // Reads the diary again and counts the period chosen. A diary that cannot
    // be read is said in a message; the window then shows an empty diary.
    void refresh();
    // Chooses a period in the chooser and counts it.
    void showAllTime();
    void showYear(int year);
    void showMonth(int year, int month);
    // The moment the current run is counted up to (now by default).
    void setNow(const QDateTime &now);

    const DiaryStats &stats() const { return stats_; }
    // The charts as one picture, 1200 by 800, whatever the window's size.
    QImage chartsImage() const;
    // Saves chartsImage() as PNG; false when the file cannot be written.
    bool savePng(const QString &path) const;
    // Prints the title, the main figures and the charts on one page.
    void printTo(QPrinter *printer) const;

signals:
    // The user clicked a symbol of the list: the diary shows its dreams.
    void showDreamsWithSymbol(const QString &headword);
    // The user clicked a tag, a person or a place: the diary shows the
    // dreams that carry it.
    void showDreamsWithTag(const QString &tag);

protected:
    void changeEvent(QEvent *e) override;

private:
    StatsWindow(DiaryStore *store, QWidget *owner);
    QWidget *buildPeriodRow();
    QWidget *buildOverview();
    QWidget *buildCharts();
    QWidget *buildFulfilment();
    QTableWidget *buildTable(const QString &objectName, const QString &keyTitle, int rows);
    QListWidget *buildList(const QString &objectName);
    void periodChanged();
    StatsPeriod chosenPeriod() const;
    void recompute();
    void showFigures();
    void showLists();
    void showTables();
    void showCharts();
    void fillTable(QTableWidget *table, const QList<FulfilmentRow> &rows, bool weekdays);
    void renderCharts(QPainter *painter) const;
    void applyChartTheme();
    // A click (byMouse) or Enter on an item of a list: its dreams are asked
    // for (symbol: of the symbols' list, else of a tags' list).
    void itemChosen(QListWidgetItem *item, bool byMouse, bool symbol);
    void saveAsPng();
    void print();

    void follow(DiaryStore *store);

    QPointer<DiaryStore> store_;
    QMetaObject::Connection following_;
    QTimer refreshSoon_; // a write to the diary counts again after a pause
    QList<Entry> entries_;
    DiaryStats stats_;
    QDateTime now_;
    bool choosing_ = false; // the chooser is being set from code

    QComboBox *periodKind_ = nullptr;
    QSpinBox *yearBox_ = nullptr;
    QComboBox *monthBox_ = nullptr;
    QTabWidget *tabs_ = nullptr;
    QList<QLabel *> figures_;
    QLabel *periodLabel_ = nullptr;
    QListWidget *symbolList_ = nullptr;
    QListWidget *tagList_ = nullptr;
    QListWidget *peopleList_ = nullptr;
    QListWidget *placeList_ = nullptr;
    QListWidget *signList_ = nullptr; // "Ваши знаки сна": the last 90 days, whatever the period
    // The charts' module, loaded when the window is built; nullptr when it
    // cannot be, and then chartsPage_ says why instead of the charts.
    const StatsChartsApi *charts_ = nullptr;
    QWidget *chartsPage_ = nullptr;
    QTableWidget *byLunarDay_ = nullptr;
    QTableWidget *byWeekday_ = nullptr;
    QTableWidget *byMonthDay_ = nullptr;
    QLabel *fulfilmentNote_ = nullptr;
};

} // namespace somnex::diary
