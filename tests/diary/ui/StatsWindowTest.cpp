// The statistics window on a small diary: the figures, the tables, the period
// chooser, a click on a symbol, the charts' theme and saving them.
#include "diary/ui/StatsWindow.h"

#include "diary/DiaryStore.h"
#include "platform/core/Messages.h"
#include "support/QtPrint.h"

#include <QApplication>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QPrinter>
#include <QSet>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QValueAxis>

#include <gtest/gtest.h>

using namespace somnex;
using namespace somnex::diary;

namespace {

QDateTime at(int y, int mo, int d, int h, int offsetHours = 3)
{
    return QDateTime(QDate(y, mo, d), QTime(h, 0), Qt::OffsetFromUTC, offsetHours * 3600);
}

class StatsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = SetMessageHandler([this](const Message &m) {
            messages << m.text;
            return MsgResult::Ok;
        });
        store = std::make_unique<DiaryStore>(dir.path() + "/diary.sqlite");
        struct Spec {
            QDateTime at;
            const char *text;
            Mark mark;
            const char *symbol;
            bool lucid;
        };
        // Nights 2026-03-01 (two dreams), 03-02 (empty), 03-03; one in April.
        // Mondays: 03-02 03:00 (night 03-01) and 03-02 23:00; 03-09 is a Monday too.
        const Spec specs[] = {
            {at(2026, 3, 1, 23), "Река", Mark::Yes, "Река", true},           // Sunday
            {at(2026, 3, 2, 3), "Снова река", Mark::Yes, "Река", false},     // Monday, night 03-01
            {at(2026, 3, 2, 22), "", Mark::No, nullptr, false},              // empty: counts nowhere
            {at(2026, 3, 3, 1), "Луна", Mark::Partly, "Луна", false},        // Tuesday, night 03-02
            {at(2026, 3, 9, 8), "Река и луна", Mark::No, "Река", false},     // Monday, night 03-08
            {at(2026, 4, 6, 9), "Апрельский сон", Mark::Yes, nullptr, true}, // Monday
        };
        for (const Spec &s : specs) {
            Entry e;
            e.at = s.at;
            e.text = QString::fromUtf8(s.text);
            e.fulfilment.mark = s.mark;
            e.lucid = s.lucid;
            if (s.symbol)
                e.symbols = {Symbol{QString::fromUtf8(s.symbol), Symbol::Origin::Found}};
            ids << store->add(e);
        }
    }
    void TearDown() override
    {
        if (StatsWindow *w = StatsWindow::instance()) {
            w->close();
            delete w;
        }
        SetMessageHandler(previous_);
    }
    StatsWindow *openWindow()
    {
        StatsWindow *w = StatsWindow::open(store.get(), nullptr);
        w->setNow(at(2026, 12, 9, 12));
        return w;
    }
    template <typename T>
    T *child(StatsWindow *w, const char *name)
    {
        T *c = w->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QString text(StatsWindow *w, const char *name) { return child<QLabel>(w, name)->text(); }

    QTemporaryDir dir;
    std::unique_ptr<DiaryStore> store;
    QStringList ids;
    QStringList messages;
    MessageHandler previous_;
};

TEST_F(StatsWindowTest, FiguresAndTablesFollowThePeriod)
{
    StatsWindow *w = openWindow();
    EXPECT_EQ(w->windowTitle(), "Статистика дневника");
    // The chooser starts at the newest dream's month (April 2026).
    child<QComboBox>(w, "periodKind")->setCurrentIndex(2);
    EXPECT_EQ(text(w, "dreamsValue"), "1");
    EXPECT_EQ(child<QComboBox>(w, "monthBox")->currentIndex(), 3);

    struct Case {
        const char *name;
        std::function<void()> choose;
        const char *nights, *dreams, *recall, *lucid, *longest;
        int mondayMarked, mondayYes;
        const char *mondayPercent;
    };
    const Case cases[] = {
        // nights 03-01, 03-02 (empty + the 01:00 dream of the 3rd), 03-08, 04-05
        {"all", [w] { w->showAllTime(); }, "4", "5", "100\u00a0%", "40\u00a0%",
         "2 ночи, с ночи на 2 марта 2026 по ночь на 3 марта 2026", 3, 2, "67\u00a0%"},
        {"March", [w] { w->showMonth(2026, 3); }, "3", "4", "100\u00a0%", "25\u00a0%",
         "2 ночи, с ночи на 2 марта 2026 по ночь на 3 марта 2026", 2, 1, "мало отметок"},
        {"April", [w] { w->showMonth(2026, 4); }, "1", "1", "100\u00a0%", "100\u00a0%", "1 ночь, на 6 апреля 2026", 1,
         1, "мало отметок"},
        {"2025", [w] { w->showYear(2025); }, "0", "0", "—", "—", "нет", 0, 0, "мало отметок"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.choose();
        EXPECT_EQ(text(w, "nightsValue"), QString::fromUtf8(c.nights));
        EXPECT_EQ(text(w, "dreamsValue"), QString::fromUtf8(c.dreams));
        EXPECT_EQ(text(w, "recallValue"), QString::fromUtf8(c.recall));
        EXPECT_TRUE(text(w, "lucidShareValue").startsWith(QString::fromUtf8(c.lucid)))
            << text(w, "lucidShareValue").toStdString();
        EXPECT_EQ(text(w, "longestRunValue"), QString::fromUtf8(c.longest));
        QTableWidget *t = child<QTableWidget>(w, "byWeekdayTable");
        ASSERT_EQ(t->rowCount(), 7);
        EXPECT_EQ(t->item(0, 0)->text(), "Понедельник");
        EXPECT_EQ(t->item(0, 1)->text(), QString::number(c.mondayMarked));
        EXPECT_EQ(t->item(0, 2)->text(), QString::number(c.mondayYes));
        EXPECT_EQ(t->item(0, 5)->text(), QString::fromUtf8(c.mondayPercent));
    }
    EXPECT_TRUE(child<QSpinBox>(w, "yearBox")->isVisibleTo(w));
    EXPECT_EQ(child<QSpinBox>(w, "yearBox")->value(), 2025);
    EXPECT_FALSE(child<QComboBox>(w, "monthBox")->isVisibleTo(w));
    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
}

TEST_F(StatsWindowTest, LunarAndMonthDayTablesCarryTheCalendar)
{
    StatsWindow *w = openWindow();
    QTableWidget *lunar = child<QTableWidget>(w, "byLunarDayTable");
    QTableWidget *days = child<QTableWidget>(w, "byMonthDayTable");
    ASSERT_EQ(lunar->rowCount(), 30);
    ASSERT_EQ(days->rowCount(), 31);
    EXPECT_EQ(lunar->horizontalHeaderItem(2)->text(), "Сбылось");
    EXPECT_EQ(lunar->item(29, 0)->text(), "30");
    EXPECT_FALSE(lunar->item(0, 6)->text().isEmpty());
    // Day 2: the 03:00 dream (yes) and the Monday one of the 9th is day 9.
    EXPECT_EQ(days->item(1, 1)->text(), "1");
    EXPECT_EQ(days->item(1, 2)->text(), "1");
    EXPECT_EQ(days->item(2, 3)->text(), "1"); // the 3rd: partly
    // No place was given: no lunar day, all five marked dreams said so.
    int lunarMarked = 0;
    for (int r = 0; r < 30; ++r)
        lunarMarked += lunar->item(r, 1)->text().toInt();
    EXPECT_EQ(lunarMarked, 0);
    EXPECT_TRUE(child<QLabel>(w, "fulfilmentNote")->text().contains("Без лунного дня (место не задано): 5."))
        << child<QLabel>(w, "fulfilmentNote")->text().toStdString();
}

TEST_F(StatsWindowTest, SymbolClickAsksForItsDreamsAndRefreshReadsAgain)
{
    StatsWindow *w = openWindow();
    QListWidget *symbols = child<QListWidget>(w, "symbolList");
    ASSERT_EQ(symbols->count(), 2);
    EXPECT_EQ(symbols->item(0)->text(), "Река — 3");
    EXPECT_EQ(symbols->item(1)->text(), "Луна — 1");
    QStringList asked;
    QObject::connect(w, &StatsWindow::showDreamsWithSymbol, [&](const QString &h) { asked << h; });
    emit symbols->itemClicked(symbols->item(0));
    emit symbols->itemActivated(symbols->item(1)); // Enter on the second
    EXPECT_EQ(asked, QStringList({"Река", "Луна"}));

    // A dream moved to the trash counts after "Обновить", not before.
    store->moveToTrash(ids[0]);
    EXPECT_EQ(text(w, "dreamsValue"), "5");
    w->refresh();
    EXPECT_EQ(text(w, "dreamsValue"), "4");
    EXPECT_EQ(symbols->item(0)->text(), "Река — 2");
    // Opening again reuses the window.
    EXPECT_EQ(StatsWindow::open(store.get(), nullptr), w);
}

// "Ваши знаки сна" are the last 90 days' symbols of three dreams, whatever
// period the figures are of; a click asks for their dreams.
TEST_F(StatsWindowTest, DreamSignsAreTheLastNinetyDays)
{
    StatsWindow *w = openWindow();
    QListWidget *signs = child<QListWidget>(w, "signList");
    EXPECT_EQ(signs->count(), 0) << "in December the March dreams are too old";
    w->setNow(at(2026, 4, 10, 12));
    ASSERT_EQ(signs->count(), 1);
    EXPECT_EQ(signs->item(0)->text(), "Река — 3");
    QStringList asked;
    QObject::connect(w, &StatsWindow::showDreamsWithSymbol, [&](const QString &h) { asked << h; });
    emit signs->itemClicked(signs->item(0));
    EXPECT_EQ(asked, QStringList({"Река"}));
}

// One dream in 1990 beside those of 2026: thirty-seven years go by year,
// the count axis in whole numbers, and the lines break where no dream was.
TEST_F(StatsWindowTest, ALongPeriodGoesByYearInWholeNumbersWithBrokenLines)
{
    Entry old;
    old.at = at(1990, 7, 15, 4);
    old.text = "Давний сон";
    old.lucid = true;
    store->add(old);
    StatsWindow *w = openWindow();
    w->showAllTime();
    ASSERT_GT(w->stats().months.size(), 400);
    QChart *dreams = child<QChartView>(w, "dreamsChart")->chart();
    EXPECT_EQ(dreams->title(), "Снов в год");
    auto *bars = qobject_cast<QBarSeries *>(dreams->series().constFirst());
    ASSERT_TRUE(bars);
    EXPECT_EQ(bars->barSets().constFirst()->count(), 37) << "a bar a year, 1990 to 2026";
    EXPECT_EQ(bars->barSets().constFirst()->at(0), 1);
    EXPECT_EQ(bars->barSets().constFirst()->at(36), 5);
    auto *x = qobject_cast<QCategoryAxis *>(dreams->axes(Qt::Horizontal).constFirst());
    ASSERT_TRUE(x);
    EXPECT_TRUE(x->titleText().startsWith("по годам")) << x->titleText().toStdString();
    EXPECT_LE(x->count(), 13);
    for (const QString &label : x->categoriesLabels())
        EXPECT_EQ(label.size(), 4) << label.toStdString();
    auto *y = qobject_cast<QValueAxis *>(dreams->axes(Qt::Vertical).constFirst());
    ASSERT_TRUE(y);
    EXPECT_EQ(y->tickType(), QValueAxis::TicksDynamic);
    EXPECT_EQ(y->tickInterval(), 1.0) << "five dreams at most: a tick a dream";
    EXPECT_EQ(y->max(), 5.0);

    QChart *shares = child<QChartView>(w, "sharesChart")->chart();
    EXPECT_EQ(shares->series().size(), 4) << "each line in two pieces: 1990 and 2026, nothing between";
    int shownMarkers = 0;
    for (QLegendMarker *m : shares->legend()->markers())
        shownMarkers += m->isVisible() ? 1 : 0;
    EXPECT_EQ(shownMarkers, 2) << "one legend entry a line";
    auto *a = qobject_cast<QLineSeries *>(shares->series()[0]);
    auto *b = qobject_cast<QLineSeries *>(shares->series()[1]);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->name(), b->name());
    EXPECT_EQ(a->color(), b->color()) << "the pieces of a line in its colour";
}

TEST_F(StatsWindowTest, ChartsFollowThePaletteAndSave)
{
    StatsWindow *w = openWindow();
    w->resize(900, 700);
    w->show();
    QChartView *dreams = child<QChartView>(w, "dreamsChart");
    EXPECT_EQ(dreams->chart()->series().size(), 1);
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::Base, QColor(20, 20, 20));
    dark.setColor(QPalette::Text, Qt::white);
    w->setPalette(dark);
    EXPECT_EQ(dreams->chart()->theme(), QChart::ChartThemeDark);
    EXPECT_EQ(child<QChartView>(w, "lunarChart")->chart()->theme(), QChart::ChartThemeDark);
    w->setPalette(QPalette(Qt::white));
    EXPECT_EQ(dreams->chart()->theme(), QChart::ChartThemeLight);

    const QString png = dir.path() + "/charts.png";
    ASSERT_TRUE(w->savePng(png));
    const QImage image(png);
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(1200, 800));
    QSet<QRgb> colours; // drawn charts, not an empty page
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 20);
    EXPECT_FALSE(w->savePng(dir.path() + "/no/such/folder/charts.png"));

    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.path() + "/stats.pdf");
    w->printTo(&printer);
    QFile pdf(dir.path() + "/stats.pdf");
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5).startsWith("%PDF"));
    EXPECT_GT(pdf.size(), 2000);
}

} // namespace
