// The print dialog against a real print server of the test's own.
#include "platform/core/Messages.h"
#include "platform/ui/Translations.h"
#include "reading/PageSetup.h"
#include "reading/PrintDialog.h"
#include "reading/Tolk.h"
#include "support/PrintServer.h"
#include "support/QtPrint.h"
#include "support/TempProfile.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <map>

using namespace somnex;

namespace {

PrintServer *g_server = nullptr;

// One scheduler for the whole test program, started before any test asks
// Qt about printers (Qt's print support reads CUPS_SERVER once).
class PrintServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        g_server = new PrintServer;
        g_server->start({{"Hall", "Hall Laser 2000", "Прихожая, у окна"}, {"Study", "Study Inkjet 7", "", true}},
                        "Hall");
    }
    void TearDown() override
    {
        delete g_server;
        g_server = nullptr;
    }
};
const auto *const g_environment = ::testing::AddGlobalTestEnvironment(new PrintServerEnvironment);

using Entry = std::pair<QString, std::optional<QString>>;

struct Host : TolkHost {
    std::map<QString, Entry> book{{"Вода",
                                   {"Чистая вода – к радости.\r\nМутная вода – к хлопотам.", QString("Река; Море.")}},
                                  {"Река", {"Плыть по реке – к дороге.", QString("Вода.")}},
                                  {"Море", {"Спокойное море – к покою.", std::nullopt}}};
    std::vector<TolkBook> tolkBooks() override
    {
        return {{"Сонник Миллера", QString::number(0x0000C0), [this](const QString &w) -> std::optional<Entry> {
                     auto it = book.find(w);
                     return it == book.end() ? std::nullopt : std::optional<Entry>(it->second);
                 }}};
    }
    std::vector<TolkButton> tolkButtons() override { return {{"Сонник Миллера", QString::number(0x0000C0)}}; }
    QString currentWord() override { return "Вода"; }
    bool literatureActive() override { return false; }
    double mainTopTwips() override { return 1500; }
    void tolkClosed() override {}
};

// The text of a PDF, blanks and line breaks folded into single blanks.
QString pdfText(const QString &file)
{
    QProcess p;
    p.start("pdftotext", {"-enc", "UTF-8", file, "-"});
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput()).simplified();
}

QString folded(QString s)
{
    return s.replace("\r\n", " ").simplified();
}

// Runs what on the next modal dialog that opens.
void onModal(const std::function<void(QWidget *)> &what)
{
    QTimer::singleShot(0, [what] {
        QWidget *w = QApplication::activeModalWidget();
        for (int i = 0; !w && i < 100; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            w = QApplication::activeModalWidget();
        }
        what(w);
    });
}

class PrintingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(g_server && g_server->error().isEmpty())
            << (g_server ? g_server->error() : QString()).toStdString();
        ForgetCurrentPrinter();
        ForgetPageSetup();
        SetMessageHandler([this](const Message &m) {
            messages << m.text;
            return MsgResult::Ok;
        });
        tolk = new Tolk(&host);
        tolk->resize(500, 400);
        ASSERT_TRUE(tolk->Form_Load());
        tolk->show();
        hallBefore = g_server->jobs("Hall").size();
        studyBefore = g_server->jobs("Study").size();
    }
    void TearDown() override
    {
        delete tolk.data();
        SetMessageHandler({});
    }
    void select(const QString &what)
    {
        const int at = static_cast<int>(tolk->RichTextBox1->builtText().indexOf(what));
        ASSERT_GE(at, 0);
        tolk->RichTextBox1->setSel(at, static_cast<int>(what.size()));
    }

    TempProfile profile;
    Host host;
    QPointer<Tolk> tolk;
    QStringList messages;
    qsizetype hallBefore = 0, studyBefore = 0;
};

} // namespace

TEST_F(PrintingTest, ListsTheServersQueuesInOrderAndMarksTheDefault)
{
    EXPECT_EQ(QPrinterInfo::defaultPrinterName(), "Hall") << "Qt sees the private server";
    PrintDialog d(tolk->RichTextBox1);
    EXPECT_EQ(d.windowTitle(), "Печать");
    EXPECT_EQ(d.heading->text(), "Печать");
    EXPECT_EQ(d.Frame1->title(), "Принтер");
    EXPECT_EQ(d.Frame2->title(), "Диапазон печати");
    EXPECT_EQ(d.Frame3->title(), "Копии");
    EXPECT_EQ(d.Command3->text(), "Настройки &страницы");
    EXPECT_EQ(d.Command1->text(), "Ok");
    EXPECT_EQ(d.Command2->text(), "Отмена");
    ASSERT_EQ(d.ImageCombo1->count(), 3) << "the queues, then the PDF file";
    EXPECT_EQ(d.ImageCombo1->itemText(0), "Hall");
    EXPECT_EQ(d.ImageCombo1->itemText(1), "Study");
    EXPECT_EQ(d.ImageCombo1->currentIndex(), 0);
    EXPECT_TRUE(d.ImageCombo1->itemData(0).toBool()) << "the default is the current printer";
    EXPECT_FALSE(d.ImageCombo1->itemData(1).toBool());
    EXPECT_EQ(d.Label6->text(), "Hall Laser 2000");
    EXPECT_EQ(d.Label5->text(), "Прихожая, у окна");
    EXPECT_EQ(d.Text1->text(), "1");
    EXPECT_TRUE(d.Option1->isChecked()) << "nothing selected";
    EXPECT_FALSE(d.Option2->isEnabled());

    // a queue without a location shows its device URI
    d.ImageCombo1->setCurrentIndex(1);
    d.ImageCombo1_Click();
    EXPECT_EQ(d.Label6->text(), "Study Inkjet 7");
    EXPECT_TRUE(d.Label5->text().startsWith("testfile:/")) << d.Label5->text().toStdString();
    EXPECT_TRUE(d.ImageCombo1->itemData(1).toBool());
    EXPECT_FALSE(d.ImageCombo1->itemData(0).toBool());
}

TEST_F(PrintingTest, ThreeCopiesOfTheSelectionAreThreeJobsOnTheChosenQueue)
{
    select("Мутная вода – к хлопотам.");
    const QString selected = tolk->RichTextBox1->selText();
    PrintDialog d(tolk->RichTextBox1);
    EXPECT_TRUE(d.Option2->isChecked());
    d.ImageCombo1->setCurrentIndex(1);
    d.ImageCombo1_Click();
    d.Text1->setText("3");
    EXPECT_EQ(d.VScroll1->value(), 3);
    bool eventsRan = false;
    QTimer::singleShot(0, [&] { eventsRan = true; });
    d.Davay();
    EXPECT_TRUE(eventsRan) << "events run while printing";
    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();

    const QStringList jobs = g_server->waitForJobs("Study", static_cast<int>(studyBefore + 3));
    ASSERT_EQ(jobs.size(), studyBefore + 3);
    for (qsizetype i = studyBefore; i < jobs.size(); ++i)
        EXPECT_EQ(pdfText(jobs[i]), folded(selected)) << jobs[i].toStdString();
    EXPECT_EQ(g_server->jobs("Hall").size(), hallBefore) << "nothing on the other queue";
    EXPECT_EQ(tolk->RichTextBox1->selText(), selected) << "the selection stays";
}

// "Файл PDF…" after the printers: the same pages, in a file of the user's
// choosing, and nothing sent to a queue.
TEST_F(PrintingTest, ThePagesGoToAPdfFileAsTheyWouldToAPrinter)
{
    select("Мутная вода – к хлопотам.");
    const QString selected = tolk->RichTextBox1->selText();
    PrintDialog d(tolk->RichTextBox1);
    ASSERT_EQ(d.ImageCombo1->count(), 3);
    EXPECT_EQ(d.ImageCombo1->itemText(2), "Файл PDF…");
    d.ImageCombo1->setCurrentIndex(2);
    d.ImageCombo1_Click();
    EXPECT_TRUE(d.pdfChosen());
    EXPECT_EQ(d.Label6->text(), "Документ PDF");
    EXPECT_FALSE(d.Frame3->isEnabled());
    EXPECT_EQ(GetCurrentPrinter().name, "Hall") << "the current printer stays";
    QTemporaryDir dir;
    QString suggested;
    d.askPdfPath = [&](QWidget *, const QString &s) {
        suggested = s;
        return dir.filePath("толкование");
    };
    d.Davay();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
    EXPECT_TRUE(suggested.endsWith(".pdf")) << suggested.toStdString();
    const QString file = dir.filePath("толкование.pdf");
    ASSERT_TRUE(QFileInfo::exists(file)) << "the extension is added";
    EXPECT_EQ(pdfText(file), folded(selected));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"толкование.pdf"})
        << "nothing left beside it";
    EXPECT_EQ(g_server->jobs("Hall").size(), hallBefore);
    EXPECT_EQ(g_server->jobs("Study").size(), studyBefore);

    PrintDialog again(tolk->RichTextBox1);
    QString why;
    EXPECT_FALSE(again.savePdf(dir.filePath("нет такой папки/x.pdf"), &why));
    EXPECT_TRUE(why.contains("Не удалось записать файл")) << why.toStdString();
}

TEST_F(PrintingTest, WholeContentPrintsEverythingAndClearsTheSelection)
{
    select("радости");
    PrintDialog d(tolk->RichTextBox1);
    ASSERT_TRUE(d.Option2->isChecked());
    d.Option1->setChecked(true);
    d.Davay();
    EXPECT_EQ(tolk->RichTextBox1->selLength(), 0);

    const QStringList jobs = g_server->waitForJobs("Hall", static_cast<int>(hallBefore + 1));
    ASSERT_EQ(jobs.size(), hallBefore + 1);
    const QString text = pdfText(jobs.last());
    for (const char *part :
         {"Вода", "Сонник Миллера", "Чистая вода – к радости.", "Мутная вода – к хлопотам.", "Река", "Море"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part << " in " << text.toStdString();
    EXPECT_FALSE(text.contains('<') || text.contains('>') || text.contains("§"))
        << "hidden markers are not printed: " << text.toStdString();
}

TEST_F(PrintingTest, TheChosenPrinterStaysCurrentAtTheNextOpening)
{
    {
        PrintDialog d(tolk->RichTextBox1);
        d.ImageCombo1->setCurrentIndex(1);
        d.ImageCombo1_Click();
        d.Command2_Click();
    }
    PrintDialog again(tolk->RichTextBox1);
    EXPECT_EQ(again.ImageCombo1->currentIndex(), 1);
    EXPECT_TRUE(again.ImageCombo1->itemData(1).toBool());
    EXPECT_EQ(QPrinterInfo::defaultPrinterName(), "Hall") << "the server's default is left alone";
    again.Davay();
    EXPECT_EQ(g_server->waitForJobs("Study", studyBefore + 1).size(), studyBefore + 1);
}

TEST_F(PrintingTest, CopiesAreClampedToTheSpinBarsRange)
{
    PrintDialog d(tolk->RichTextBox1);
    const struct {
        const char *typed;
        int value;
        const char *shown;
    } cases[] = {{"150", 99, "99"}, {"7", 7, "7"}, {"0", 1, "1"}, {"абв", 1, "1"}, {"12шт", 12, "12"}, {"-4", 1, "1"}};
    for (const auto &c : cases) {
        d.VScroll1->setValue(50);
        d.Text1->setText(QString::fromUtf8(c.typed));
        EXPECT_EQ(d.VScroll1->value(), c.value) << c.typed;
        EXPECT_EQ(d.Text1->text(), QString::fromUtf8(c.shown)) << c.typed;
    }
    d.VScroll1->setValue(42);
    EXPECT_EQ(d.Text1->text(), "42");
}

TEST_F(PrintingTest, OpenedFromTheWindowWithASelection)
{
    select("Чистая вода");
    bool seen = false;
    onModal([&](QWidget *w) {
        auto *d = qobject_cast<PrintDialog *>(w);
        ASSERT_NE(d, nullptr);
        seen = true;
        EXPECT_TRUE(d->Option2->isChecked());
        EXPECT_TRUE(d->Option2->isEnabled());
        d->Command2_Click();
    });
    tolk->Form_KeyDown(Qt::Key_P, Qt::ControlModifier, false);
    EXPECT_TRUE(seen);
    EXPECT_EQ(g_server->jobs("Hall").size(), hallBefore) << "cancelled: nothing printed";
}

TEST_F(PrintingTest, PageSetupStartsFromTheFirstMarginsAndKeepsWhatWasAccepted)
{
    ASSERT_TRUE(LoadQtTranslations(*qApp)) << "Qt's Russian texts (qt6-translations-l10n)";
    PrintDialog d(tolk->RichTextBox1);
    auto margins = [](QWidget *w) {
        QStringList out;
        for (const char *name : {"leftMargin", "topMargin", "rightMargin", "bottomMargin"}) {
            auto *box = w->findChild<QDoubleSpinBox *>(name);
            out << (box ? QString::number(box->value()) : QString("?"));
        }
        return out.join(' ');
    };
    QString shown, title;
    onModal([&](QWidget *w) {
        ASSERT_NE(qobject_cast<QPageSetupDialog *>(w), nullptr);
        shown = margins(w);
        title = w->windowTitle();
        w->findChild<QDoubleSpinBox *>("leftMargin")->setValue(25);
        qobject_cast<QDialog *>(w)->accept();
    });
    d.Command3_Click();
    EXPECT_EQ(shown, "30 20 15 20") << "millimetres";
    EXPECT_EQ(title, "Параметры страницы") << title.toStdString();
    ASSERT_TRUE(SavedPageSetup().has_value());
    EXPECT_DOUBLE_EQ(SavedPageSetup()->margins(QPageLayout::Millimeter).left(), 25);

    // cancelled: the accepted setup stays
    onModal([&](QWidget *w) {
        shown = margins(w);
        w->findChild<QDoubleSpinBox *>("leftMargin")->setValue(40);
        qobject_cast<QDialog *>(w)->reject();
    });
    d.Command3_Click();
    EXPECT_EQ(shown, "25 20 15 20");
    EXPECT_DOUBLE_EQ(SavedPageSetup()->margins(QPageLayout::Millimeter).left(), 25);

    // printed inside the accepted margins: the text starts 25 mm from the left
    d.Davay();
    const QStringList jobs = g_server->waitForJobs("Hall", static_cast<int>(hallBefore + 1));
    ASSERT_EQ(jobs.size(), hallBefore + 1);
    QProcess p;
    p.start("pdftotext", {"-bbox", jobs.last(), "-"});
    p.waitForFinished(20000);
    const QString bbox = QString::fromUtf8(p.readAllStandardOutput());
    const QRegularExpressionMatch m = QRegularExpression("<word xMin=\"([0-9.]+)\"").match(bbox);
    ASSERT_TRUE(m.hasMatch()) << bbox.toStdString();
    EXPECT_NEAR(m.captured(1).toDouble(), 25 / 25.4 * 72, 3) << "points from the left edge";
}

TEST_F(PrintingTest, APageTheChosenPrinterCannotTakeIsToldOnceAndPrintingGoesOn)
{
    PrintDialog d(tolk->RichTextBox1);
    onModal([](QWidget *w) {
        auto *sizes = w->findChild<QComboBox *>("pageSizeCombo");
        ASSERT_NE(sizes, nullptr);
        const int letter = sizes->findText("Letter", Qt::MatchStartsWith);
        ASSERT_GE(letter, 0);
        sizes->setCurrentIndex(letter);
        qobject_cast<QDialog *>(w)->accept();
    });
    d.Command3_Click();
    ASSERT_TRUE(SavedPageSetup().has_value());
    EXPECT_EQ(SavedPageSetup()->pageSize().id(), QPageSize::Letter);
    EXPECT_TRUE(messages.isEmpty()) << "Hall takes Letter";

    d.ImageCombo1->setCurrentIndex(1); // Study has A4 only
    d.ImageCombo1_Click();
    d.Text1->setText("2");
    d.Davay();
    EXPECT_EQ(messages, QStringList({"Принтер не поддерживает данный формат страницы."}));
    EXPECT_EQ(g_server->waitForJobs("Study", studyBefore + 2).size(), studyBefore + 2)
        << "printed on the printer's own page";
}
