// The month window offscreen: the grid's days and what they say, the keys
// that move the day and the month, the diary's counts and what a click on
// them opens, the latest month asked for winning, a window closed while it
// computes, and the page written to PDF as pdftotext reads it.

#include "calendar/month/MonthSheet.h"
#include "calendar/month/MonthWindow.h"
#include "location/core/Location.h"
#include "platform/core/Settings.h"
#include "platform/core/Worker.h"
#include "support/TempProfile.h"
#include "support/TzScope.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

using namespace somnex;
using namespace somnex::calendar;

namespace {

class FakeHost : public MonthHost {
public:
    QMap<QDate, int> dreamsByMorning(const QDate &first, const QDate &last) override
    {
        asked << qMakePair(first, last);
        QMap<QDate, int> in;
        for (auto it = dreams.begin(); it != dreams.end(); ++it)
            if (it.key() >= first && it.key() <= last)
                in.insert(it.key(), it.value());
        return in;
    }
    void openDreamsOfMorning(const QDate &morning) override { opened << morning; }
    void openCalendarAt(double localMoment) override { calendars << localMoment; }

    QMap<QDate, int> dreams;
    QList<QPair<QDate, QDate>> asked;
    QList<QDate> opened;
    QList<double> calendars;
};

class MonthWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.dreams = {{QDate(2026, 12, 10), 2}, {QDate(2026, 12, 21), 1}, {QDate(2027, 1, 3), 4}};
        window = new MonthWindow(&host);
        window->setToday(QDate(2026, 12, 9));
        window->selectDate(QDate(2026, 12, 9));
        window->waitForMonth();
    }
    void TearDown() override
    {
        delete window.data();
        settleWorkers();
    }
    QTableWidget *grid() const { return window->findChild<QTableWidget *>(QStringLiteral("monthGrid")); }
    QString cellText(int row, int column) const
    {
        return grid()->item(row, column)->data(Qt::AccessibleTextRole).toString();
    }
    void key(int k)
    {
        QTest::keyClick(grid(), Qt::Key(k));
        window->waitForMonth();
    }

    TempProfile profile;
    TzScope tz{"Europe/Moscow"};
    FakeHost host;
    QPointer<MonthWindow> window;
};

} // namespace

TEST_F(MonthWindowTest, TheGridHoldsTheMonthFromMonday)
{
    const LunarMonth *m = window->shownMonth();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->month, 12);
    ASSERT_EQ(m->days.size(), 31);
    QTableWidget *g = grid();
    ASSERT_EQ(g->columnCount(), 7);
    EXPECT_EQ(g->rowCount(), 5);
    EXPECT_EQ(g->horizontalHeaderItem(0)->text(), QStringLiteral("Пн"));
    // 1 December 2026 is a Tuesday; the Monday before it is empty.
    EXPECT_EQ(g->item(0, 0)->data(Qt::UserRole).toInt(), 0);
    EXPECT_EQ(g->item(0, 0)->flags(), Qt::NoItemFlags);
    EXPECT_TRUE(cellText(0, 1).startsWith(QStringLiteral("1 декабря 2026, вторник"))) << cellText(0, 1).toStdString();
    // The new moon on the 9th, a Wednesday; the dreams of the night on the 10th.
    EXPECT_TRUE(cellText(1, 2).contains(QStringLiteral("Новолуние"))) << cellText(1, 2).toStdString();
    EXPECT_TRUE(cellText(1, 3).contains(QStringLiteral("снов в дневнике: 2")));
    EXPECT_FALSE(cellText(1, 2).contains(QStringLiteral("снов в дневнике")));
    EXPECT_EQ(window->dreams().value(QDate(2026, 12, 21)), 1);
    EXPECT_FALSE(window->dreams().contains(QDate(2027, 1, 3))) << "only the month's dates are asked for";
    const auto *details = window->findChild<QTextBrowser *>(QStringLiteral("dayDetails"));
    ASSERT_NE(details, nullptr);
    EXPECT_TRUE(details->toPlainText().contains(QStringLiteral("9 декабря 2026, среда")));
    EXPECT_TRUE(details->toPlainText().contains(QStringLiteral("Новолуние в 03:51")));
    EXPECT_TRUE(details->toPlainText().contains(QStringLiteral("По дню недели:")));
    // Every date of the month has a lunar day, a sign and a lit share.
    for (const MonthDay &d : m->days) {
        EXPECT_FALSE(d.lunarDays.isEmpty());
        EXPECT_FALSE(signName(d.sign).isEmpty());
        EXPECT_GE(d.illumination, 0.0);
        EXPECT_LE(d.illumination, 100.0);
    }
}

TEST_F(MonthWindowTest, KeysMoveTheDayAndTheMonth)
{
    grid()->setFocus();
    key(Qt::Key_Right);
    EXPECT_EQ(window->selectedDate(), QDate(2026, 12, 10));
    key(Qt::Key_Down);
    EXPECT_EQ(window->selectedDate(), QDate(2026, 12, 17));
    key(Qt::Key_PageDown);
    EXPECT_EQ(window->selectedDate(), QDate(2027, 1, 17));
    ASSERT_NE(window->shownMonth(), nullptr);
    EXPECT_EQ(window->shownMonth()->month, 1);
    EXPECT_EQ(window->dreams().value(QDate(2027, 1, 3)), 4);
    key(Qt::Key_Home);
    EXPECT_EQ(window->selectedDate(), QDate(2026, 12, 9));
    EXPECT_EQ(window->shownMonth()->month, 12);
    for (int i = 0; i < 9; ++i)
        key(Qt::Key_Left);
    EXPECT_EQ(window->selectedDate(), QDate(2026, 11, 30));
    EXPECT_EQ(window->shownMonth()->month, 11);
    key(Qt::Key_PageUp);
    EXPECT_EQ(window->selectedDate(), QDate(2026, 10, 30));
    // The current cell follows the selected date.
    const int offset = QDate(2026, 10, 1).dayOfWeek() - 1;
    EXPECT_EQ(grid()->currentRow(), (offset + 29) / 7);
    EXPECT_EQ(grid()->currentColumn(), (offset + 29) % 7);
    key(Qt::Key_Return);
    ASSERT_EQ(host.calendars.size(), 1);
    EXPECT_EQ(dateOf(host.calendars[0]), QDate(2026, 10, 30));
    EXPECT_EQ(timeOf(host.calendars[0]), QTime(12, 0));
}

TEST_F(MonthWindowTest, TheDreamsCountOpensTheDiaryOnThatNight)
{
    window->resize(1400, 900);
    window->show();
    QTableWidget *g = grid();
    const QRect cell = g->visualRect(g->model()->index(1, 3)); // 10 December
    ASSERT_TRUE(cell.isValid());
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + 10, cell.bottom() - 4));
    ASSERT_EQ(host.opened.size(), 1);
    EXPECT_EQ(host.opened[0], QDate(2026, 12, 10));
    // A click elsewhere on the date selects it without opening anything.
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell.center() - QPoint(0, cell.height() / 4));
    EXPECT_EQ(window->selectedDate(), QDate(2026, 12, 10));
    EXPECT_EQ(host.opened.size(), 1);
    auto *details = window->findChild<QTextBrowser *>(QStringLiteral("dayDetails"));
    EXPECT_TRUE(details->toPlainText().contains(QStringLiteral("Снов этой ночи в дневнике: 2")));
    emit details->anchorClicked(QUrl(QStringLiteral("dreams:")));
    ASSERT_EQ(host.opened.size(), 2);
    EXPECT_EQ(host.opened[1], QDate(2026, 12, 10));
    // A date without dreams opens nothing.
    const QRect empty = g->visualRect(g->model()->index(1, 2));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, QPoint(empty.left() + 10, empty.bottom() - 4));
    EXPECT_EQ(host.opened.size(), 2);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, empty.center());
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, empty.center());
    ASSERT_FALSE(host.calendars.isEmpty());
    EXPECT_EQ(dateOf(host.calendars.last()), QDate(2026, 12, 9));
}

TEST_F(MonthWindowTest, TheLatestMonthAskedForIsShown)
{
    window->selectDate(QDate(2027, 3, 5));
    window->selectDate(QDate(2027, 5, 6));
    window->selectDate(QDate(1600, 1, 1)); // outside the calendar: ignored
    EXPECT_TRUE(window->computing());
    window->waitForMonth();
    ASSERT_NE(window->shownMonth(), nullptr);
    EXPECT_EQ(window->shownMonth()->month, 5);
    EXPECT_EQ(window->selectedDate(), QDate(2027, 5, 6));
    EXPECT_FALSE(window->computing());
}

// A place changed while a month computes: the month of the new place is the
// one shown.
TEST_F(MonthWindowTest, APlaceChangedWhileItComputesIsTheOneShown)
{
    window->selectDate(QDate(2027, 2, 1));
    location::Location murmansk;
    murmansk.cityName = QStringLiteral("Мурманск");
    murmansk.latDegrees = 68;
    murmansk.latMinutes = 58;
    murmansk.lonDegrees = 33;
    murmansk.lonMinutes = 5;
    murmansk.save(SaveSetting);
    window->refresh();
    window->waitForMonth();
    ASSERT_NE(window->shownMonth(), nullptr);
    EXPECT_EQ(window->shownMonth()->month, 2);
    EXPECT_NEAR(window->shownMonth()->place.Latitude, 68.9667, 1e-3);
}

TEST_F(MonthWindowTest, AWindowClosedWhileItComputesIsLeftAlone)
{
    window->selectDate(QDate(2027, 7, 1));
    window->close(); // deletes itself
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    settleWorkers();
    EXPECT_TRUE(window.isNull());
}

TEST_F(MonthWindowTest, ThePageInPdfSaysWhatTheGridSays)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("месяц.pdf"));
    QString why;
    ASSERT_TRUE(window->savePdf(pdf, &why)) << why.toStdString();
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(text.contains(QStringLiteral("Лунный календарь на месяц: Декабрь 2026"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Europe/Moscow, UTC+3")));
    EXPECT_TRUE(text.contains(QStringLiteral("Новолуние 9 декабря 03:51")));
    EXPECT_TRUE(text.contains(QStringLiteral("Полнолуние 24 декабря")));
    for (const char *day : {"Пн", "Вс", "Снов: 2"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(day))) << day;
    // The sign entries of the cells, as the grid shows them.
    const LunarMonth *m = window->shownMonth();
    for (const MonthDay &d : m->days) {
        if (d.signEntry) {
            EXPECT_TRUE(text.contains(signName(d.signEntry->sign))) << signName(d.signEntry->sign).toStdString();
        }
    }
    // One landscape page.
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    ASSERT_TRUE(info.waitForFinished(30000));
    const QString facts = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(facts.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\b")))) << facts.toStdString();
    EXPECT_TRUE(facts.contains(QRegularExpression(QStringLiteral("Page size:\\s+84[12](\\.\\d+)? x 59[45]"))))
        << facts.toStdString();

    EXPECT_FALSE(window->savePdf(dir.filePath(QStringLiteral("нет/такой/папки.pdf")), &why));
    EXPECT_TRUE(why.contains(QStringLiteral("Не удалось записать файл")));
}

// South of the equator the Moon is drawn mirrored and the zone named with
// its summer offset.
TEST(MonthWindowSouth, SydneysMarch)
{
    TempProfile profile;
    TzScope tz("Australia/Sydney");
    location::Location sydney;
    sydney.cityName = QStringLiteral("Сидней");
    sydney.latDegrees = 33;
    sydney.latMinutes = 52;
    sydney.latHemisphere = -1;
    sydney.lonDegrees = 151;
    sydney.lonMinutes = 12;
    sydney.lonHemisphere = 1;
    sydney.save(SaveSetting);
    FakeHost host;
    MonthWindow w(&host);
    w.selectDate(QDate(2027, 3, 15));
    w.waitForMonth();
    ASSERT_NE(w.shownMonth(), nullptr);
    EXPECT_LT(w.shownMonth()->place.Latitude, -33.0);
    EXPECT_EQ(w.shownMonth()->zone, QStringLiteral("Australia/Sydney"));
    const QImage north = phaseImage(60.0, 55.0, 32), south = phaseImage(60.0, -33.0, 32);
    EXPECT_EQ(south, north.mirrored(true, false));
    bool named = false;
    for (QLabel *l : w.findChildren<QLabel *>())
        named |= l->text().contains(QStringLiteral("Сидней")) && l->text().contains(QStringLiteral("UTC+11"));
    EXPECT_TRUE(named);
}

TEST(MonthSheet, CellsGrowWithTheFont)
{
    QFont small = QApplication::font(), large = small;
    small.setPointSizeF(9);
    large.setPointSizeF(14);
    const QSize a = cellSize(small), b = cellSize(large);
    EXPECT_GT(b.width(), a.width());
    EXPECT_GT(b.height(), a.height());
    // The longest lines fit a cell in any font: a sign entry, a quarter in bold.
    for (const QFont &f : {small, large}) {
        QFont bold = f;
        bold.setBold(true);
        EXPECT_LT(QFontMetrics(f).horizontalAdvance(QStringLiteral("→ Скорпион 23:59")), cellSize(f).width());
        EXPECT_LT(QFontMetrics(bold).horizontalAdvance(QStringLiteral("III четверть 21:59")), cellSize(f).width());
    }
}
