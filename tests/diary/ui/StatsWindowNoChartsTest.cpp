// The statistics window when its charts' module cannot be loaded: the figures,
// lists and tables are all there, and the charts' tab says why it is empty.
// This test does not link Qt Charts, like the program.
#include "diary/ui/StatsWindow.h"

#include "diary/DiaryStore.h"
#include "diary/ui/StatsChartsLoader.h"
#include "platform/core/Messages.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace somnex;
using namespace somnex::diary;

namespace {

TEST(StatsWindowNoCharts, OpensWithTablesAndSaysWhyChartsAreMissing)
{
    QTemporaryDir dir;
    DiaryStore store(dir.path() + "/diary.sqlite");
    for (int day : {1, 2, 3}) {
        Entry e;
        e.at = QDateTime(QDate(2026, 3, day), QTime(7, 0), Qt::OffsetFromUTC, 3 * 3600);
        e.text = QStringLiteral("Река");
        e.fulfilment.mark = Mark::Yes;
        store.add(e);
    }
    QStringList messages;
    const MessageHandler previous = SetMessageHandler([&messages](const Message &m) {
        messages << m.text;
        return MsgResult::Ok;
    });

    struct Case {
        const char *name;
        const char *moduleFile; // what the folder holds under the module's name; nullptr: nothing
        const char *reason;     // how the note goes on
    };
    const Case cases[] = {
        {"no module", nullptr, "нет модуля "},
        {"a broken module", "not a shared object", "не загружается"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = dir.path() + "/" + c.name;
        ASSERT_TRUE(QDir().mkpath(folder));
        if (c.moduleFile) {
            QFile f(folder + "/" SOMNEX_CHARTS_MODULE);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.moduleFile);
        }
        qputenv("SOMNEX_CHARTS_DIR", folder.toLocal8Bit());
        EXPECT_EQ(statsChartsFolders(), QStringList{folder});

        StatsWindow *w = StatsWindow::open(&store, nullptr);
        w->setNow(QDateTime(QDate(2026, 12, 9), QTime(12, 0), Qt::OffsetFromUTC, 3 * 3600));
        EXPECT_EQ(w->findChild<QLabel *>("dreamsValue")->text(), "3");
        QTableWidget *lunar = w->findChild<QTableWidget *>("byLunarDayTable");
        ASSERT_NE(lunar, nullptr);
        EXPECT_EQ(lunar->rowCount(), 30);
        QTableWidget *weekdays = w->findChild<QTableWidget *>("byWeekdayTable");
        ASSERT_NE(weekdays, nullptr);
        EXPECT_EQ(weekdays->item(0, 0)->text(), "Понедельник");

        QWidget *page = w->findChild<QWidget *>("chartsPage");
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(w->findChild<QWidget *>("dreamsChart"), nullptr);
        const QLabel *note = page->findChild<QLabel *>("chartsUnavailable");
        ASSERT_NE(note, nullptr);
        EXPECT_TRUE(note->text().startsWith("Графики недоступны: ")) << note->text().toStdString();
        EXPECT_TRUE(note->text().contains(QString::fromUtf8(c.reason))) << note->text().toStdString();
        EXPECT_TRUE(note->text().contains(folder)) << note->text().toStdString();
        EXPECT_FALSE(w->findChild<QPushButton *>("savePngButton")->isEnabled());

        // A palette change and printing do without the charts too. The
        // printing is done in a child: the print support the printer loads
        // now and then crashes the leak checker's tracer at exit (the
        // statistics with charts print in their own test, leaks checked).
        w->setPalette(QPalette(QColor(30, 30, 30)));
        const QString pdfPath = dir.path() + "/" + c.name + ".pdf";
        EXPECT_EXIT(
            {
                QPrinter printer;
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(pdfPath);
                w->printTo(&printer);
                QFile pdf(pdfPath);
                std::_Exit(pdf.open(QIODevice::ReadOnly) && pdf.read(5).startsWith("%PDF") ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");

        w->close();
        delete StatsWindow::instance();
    }
    qunsetenv("SOMNEX_CHARTS_DIR");
    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
    SetMessageHandler(previous);
}

} // namespace
