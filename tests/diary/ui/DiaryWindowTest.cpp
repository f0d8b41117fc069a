#include "diary/ui/DiaryWindow.h"

#include "diary/seal/DiaryKey.h"
#include "diary/ui/DiaryUnlock.h"

#include "diary/LunarSnapshot.h"
#include "diary/Speller.h"
#include "diary/ui/EntryListModel.h"
#include "diary/ui/ListCompleter.h"
#include "diary/ui/SpellHighlighter.h"
#include "diary/ui/StatsWindow.h"
#include "location/spravcity/SpravCity.h"
#include "platform/ansi/AnsiCodePage.h"
#include "platform/core/Clock.h"
#include "platform/core/Identity.h"
#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "platform/core/Worker.h"
#include "platform/error/Error.h"
#include "platform/ui/Session.h"
#include "support/TempProfile.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <map>

using namespace somnex;
using namespace somnex::diary;

namespace {

// The program around the window: a word list of a few headwords and one
// book that gives a line for each.
class Host : public DiaryHost {
public:
    Host()
    {
        std::vector<QString> run;
        for (const char *w :
             {"Вода", "Дом", "Змея", "Зубы", "Кольцо", "Кошка", "Лес", "Нога", "Обручальное кольцо", "Собака"})
            run.push_back(QString::fromUtf8(w));
        words.addRun(run);
        words.finish();
    }
    const dictionary::WordIndex &diaryWords() override { return words; }
    int diaryWordsGeneration() override { return 1; }
    std::vector<TolkBook> diaryBooks() override
    {
        TolkBook b;
        b.tag = QStringLiteral("Народный сонник");
        b.description = QStringLiteral("0");
        b.lookup = [](const QString &w) -> std::optional<std::pair<QString, std::optional<QString>>> {
            if (w == QStringLiteral("Кошка"))
                return std::pair<QString, std::optional<QString>>{
                    QStringLiteral("Кошка во сне – к хитрости.\r\nКошка гонится за вами – к долгу.\r\n"
                                   "Кошка спит – к покою."),
                    std::nullopt};
            return std::pair<QString, std::optional<QString>>{
                w + QStringLiteral(" во сне – к добру.\r\nВторая строка."), std::nullopt};
        };
        return {b};
    }
    void openInterpretation(const QString &headword) override { opened << headword; }
    void interpretDream(const QString &text) override { dreamsRead << text; }
    Place diaryPlace() override { return {QStringLiteral("Москва"), 55.75, 37.5833}; }
    QString diaryCityFile() override { return cityFile; }

    dictionary::WordIndex words;
    QStringList opened;
    QStringList dreamsRead;
    QString cityFile;
};

class DiaryWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = SetMessageHandler([this](const Message &m) {
            messages << m.text;
            return answer;
        });
        path = dir.path() + "/Diary/diary.sqlite";
    }
    void TearDown() override
    {
        if (DiaryWindow *w = DiaryWindow::instance()) {
            w->close();
            delete w;
        }
        SetMessageHandler(previous_);
    }
    DiaryWindow &open() { return *DiaryWindow::open(&host, nullptr, path); }
    static void type(DiaryWindow &w, const QString &text)
    {
        w.findChild<QPlainTextEdit *>("textBox")->setPlainText(text);
    }
    static QString shownText(DiaryWindow &w) { return w.findChild<QPlainTextEdit *>("textBox")->toPlainText(); }
    // Two dreams of the night on 10 December, one of the night on 11.
    static void writeTwoNights(DiaryWindow &w)
    {
        for (const auto &[at, text] : {std::pair{QDateTime(QDate(2026, 12, 10), QTime(6, 30)), "Собака у реки"},
                                       std::pair{QDateTime(QDate(2026, 12, 10), QTime(7, 10)), "Плыл по морю"},
                                       std::pair{QDateTime(QDate(2026, 12, 11), QTime(7, 0)), "Видел дом"}}) {
            w.newEntry(at);
            type(w, QString::fromUtf8(text));
            ASSERT_TRUE(w.saveNow());
        }
    }
    QStringList marked(DiaryWindow &w)
    {
        QStringList out;
        for (const dictionary::SymbolMark &m : w.marks())
            out << shownText(w).mid(m.start, m.length) + "=" + host.words.word(m.item);
        return out;
    }

    TempProfile profile;
    QTemporaryDir dir;
    QString path;
    Host host;
    QStringList messages;
    MsgResult answer = MsgResult::Ok;

private:
    MessageHandler previous_;
};

} // namespace

TEST_F(DiaryWindowTest, NothingIsWrittenUntilTheDreamHoldsAWord)
{
    DiaryWindow &w = open();
    EXPECT_EQ(w.windowTitle(), "Дневник снов");
    EXPECT_FALSE(QFile::exists(path)) << "opening creates no file";
    w.findChild<QCheckBox *>("lucidBox")->setChecked(true);
    EXPECT_TRUE(w.saveNow());
    EXPECT_FALSE(QFile::exists(path)) << "a tick without a word stores nothing";
    type(w, "Снилась вода");
    EXPECT_TRUE(w.saveNow());
    ASSERT_TRUE(QFile::exists(path));
    ASSERT_FALSE(w.shownId().isEmpty());
    const std::optional<Entry> e = w.store()->entry(w.shownId());
    ASSERT_TRUE(e);
    EXPECT_EQ(e->text, "Снилась вода");
    EXPECT_TRUE(e->lucid);
    EXPECT_EQ(e->symbolHeadwords(), QStringList({"Вода"}));
    EXPECT_TRUE(e->lunar.found) << "the lunar day of the moment at the program's place";
    EXPECT_EQ(w.listModel()->rowCount(), 1);
    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
}

TEST_F(DiaryWindowTest, SymbolsAreMarkedAsTypedAndOpenTheirInterpretation)
{
    DiaryWindow &w = open();
    type(w, "Мне снилось обручальное кольцо, а потом собаки в лесу 🐍 и зубы.");
    EXPECT_EQ(marked(w),
              QStringList({"обручальное кольцо=Обручальное кольцо", "собаки=Собака", "лесу=Лес", "зубы=Зубы"}))
        << "the longest phrase, forms of the headwords, positions past an emoji";
    const QString text = shownText(w);
    w.textClicked(text.indexOf("собаки") + 2);
    w.textClicked(text.indexOf("снилось"));
    EXPECT_EQ(host.opened, QStringList({"Собака"})) << "a click on a mark opens it, elsewhere nothing";

    auto *symbols = w.findChild<QListWidget *>("symbolList");
    ASSERT_EQ(symbols->count(), 4);
    EXPECT_EQ(symbols->item(1)->text(), "Собака\n    Народный сонник: Собака во сне – к добру.")
        << "a symbol the dream says nothing particular of shows the book's general line";
}

TEST_F(DiaryWindowTest, EachBookShowsTheLineThatFitsThisDream)
{
    DiaryWindow &w = open();
    auto *symbols = w.findChild<QListWidget *>("symbolList");
    const auto lineShown = [&] { return symbols->count() > 0 ? symbols->item(0)->text() : QString(); };
    type(w, "За мной гналась кошка.");
    EXPECT_EQ(lineShown(), "Кошка\n    Народный сонник: Кошка гонится за вами – к долгу.");
    // the same symbol, another dream: the line follows once the typing pauses
    type(w, "Мне снилось, что кошка спала.");
    QElapsedTimer waited;
    waited.start();
    while (!lineShown().contains("спит") && waited.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(lineShown(), "Кошка\n    Народный сонник: Кошка спит – к покою.");

    QMetaObject::invokeMethod(w.findChild<QObject *>("interpretDream"), "click");
    EXPECT_EQ(host.dreamsRead, QStringList({"Мне снилось, что кошка спала."}));
}

TEST_F(DiaryWindowTest, HandEditsOfTheSymbolsSurviveRetyping)
{
    DiaryWindow &w = open();
    type(w, "Собака и лес");
    auto *symbols = w.findChild<QListWidget *>("symbolList");
    symbols->setCurrentRow(1); // Лес
    QMetaObject::invokeMethod(w.findChild<QObject *>("removeSymbol"), "click");
    w.findChild<QLineEdit *>("symbolToAdd")->setText("дом");
    QMetaObject::invokeMethod(w.findChild<QObject *>("addSymbol"), "click");
    w.findChild<QLineEdit *>("symbolToAdd")->setText("Тараканище");
    QMetaObject::invokeMethod(w.findChild<QObject *>("addSymbol"), "click");
    type(w, "Собака, лес и снова лес");
    ASSERT_TRUE(w.saveNow());
    const QString id = w.shownId();
    w.newEntry();
    w.showEntry(id);
    EXPECT_EQ(w.store()->entry(id)->symbolHeadwords(), QStringList({"Собака", "Дом"}))
        << "removed stays removed, added stays, no word of no book";
    ASSERT_EQ(symbols->count(), 2);
}

TEST_F(DiaryWindowTest, EveryWayOfLeavingADreamSavesIt)
{
    DiaryWindow &w = open();
    type(w, "Первый сон");
    w.newEntry(); // Ctrl+N
    type(w, "Второй сон");
    const QString second = w.shownId();
    EXPECT_TRUE(second.isEmpty()) << "not yet saved";
    w.close(); // closing saves
    DiaryStore store(path);
    QStringList texts;
    for (const EntrySummary &s : store.list())
        texts << store.entry(s.id)->text;
    texts.sort();
    EXPECT_EQ(texts, QStringList({"Второй сон", "Первый сон"}));
}

// Reading a dream is not writing it: its updated time (what a merge of two
// copies of the diary goes by) stays, marked or not.
TEST_F(DiaryWindowTest, ShowingADreamDoesNotRewriteIt)
{
    QStringList ids;
    {
        DiaryStore store(path);
        Entry plain, marked;
        plain.text = "Лес и дом";
        marked.text = "Кошка на крыше";
        marked.fulfilment = {Mark::Yes, QDate(2026, 12, 1), "сбылся"};
        ids = store.addAll({plain, marked});
    }
    const auto updated = [&](const QString &id) { return DiaryStore(path).entry(id)->updated; };
    const QDateTime before[] = {updated(ids[0]), updated(ids[1])};
    DiaryWindow &w = open();
    for (int round = 0; round < 2; ++round)
        for (const QString &id : ids) {
            w.showEntry(id);
            ASSERT_EQ(w.shownId(), id);
        }
    w.close();
    EXPECT_EQ(updated(ids[0]), before[0]);
    EXPECT_EQ(updated(ids[1]), before[1]);
}

// A private diary opens in the window with its password, asked again after
// a wrong one; "Забыли пароль?" takes the recovery key and a new password;
// given up, the window writes nothing.
TEST_F(DiaryWindowTest, APrivateDiaryOpensWithItsPasswordOrItsRecoveryKey)
{
    const KeyCost cost{3, 64u << 20};
    QString id, recovery;
    {
        DiaryStore store(path);
        Entry e;
        e.text = "Тайный сон про кошку";
        id = store.add(e);
        recovery = store.protect("пароль", &cost);
    }
    QList<SecretQuestion> asked;
    QStringList answers = {"не тот", "пароль"};
    setSecretAsker([&](QWidget *, const SecretQuestion &q) -> std::optional<SecretAnswer> {
        asked << q;
        if (answers.isEmpty())
            return std::nullopt;
        const QString next = answers.takeFirst();
        return SecretAnswer{next, next == "?"};
    });
    setNewPasswordAsker([](QWidget *) { return std::optional<QString>("новый"); });
    struct Restore {
        ~Restore()
        {
            setSecretAsker({});
            setNewPasswordAsker({});
        }
    } restore;
    {
        DiaryWindow &w = open();
        ASSERT_EQ(asked.size(), 2);
        EXPECT_TRUE(asked[0].error.isEmpty());
        EXPECT_EQ(asked[1].error, "Неверный пароль");
        ASSERT_NE(w.store(), nullptr);
        w.showEntry(id);
        EXPECT_EQ(shownText(w), "Тайный сон про кошку");
        w.close();
        delete DiaryWindow::instance();
    }

    asked.clear();
    answers = {"?", recovery};
    {
        DiaryWindow &w = open();
        ASSERT_EQ(asked.size(), 2);
        EXPECT_TRUE(asked[1].recovery) << "the recovery key asked for";
        ASSERT_NE(w.store(), nullptr);
        w.close();
        delete DiaryWindow::instance();
    }
    DiaryStore check(path);
    check.unlock("новый"); // the forgotten password replaced

    asked.clear();
    answers.clear(); // the user gives up
    const QByteArray before = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    DiaryWindow &w = open();
    EXPECT_EQ(w.store(), nullptr);
    type(w, "Новый сон");
    w.close();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

// Closing a private diary (the screen locked, the idle time out) saves the
// dream being typed and takes the window and the statistics away with the
// key; a diary in plain text stays as it is.
TEST_F(DiaryWindowTest, APrivateDiaryClosesWhenLockedAndAPlainOneStays)
{
    {
        DiaryWindow &w = open();
        type(w, "Открытый сон");
        auto *text = w.findChild<QPlainTextEdit *>("textBox");
        text->selectAll();
        text->copy();
        EXPECT_FALSE(QApplication::clipboard()->mimeData()->hasFormat("x-kde-passwordManagerHint"));
        w.lockPrivate();
        EXPECT_EQ(DiaryWindow::instance(), &w) << "nothing to lock in a plain diary";
        w.close();
        delete DiaryWindow::instance();
    }
    const KeyCost cost{3, 64u << 20};
    {
        DiaryStore store(path);
        store.protect("пароль", &cost);
    }
    setSecretAsker([](QWidget *, const SecretQuestion &) { return std::optional<SecretAnswer>({"пароль", false}); });
    struct Restore {
        ~Restore() { setSecretAsker({}); }
    } restore;
    DiaryWindow &w = open();
    ASSERT_NE(w.store(), nullptr);
    w.openStatistics();
    ASSERT_NE(StatsWindow::instance(), nullptr);
    type(w, "Сон, набранный перед блокировкой");
    auto *text = w.findChild<QPlainTextEdit *>("textBox");
    text->setFocus();
    text->selectAll();
    text->copy();
    EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasFormat("x-kde-passwordManagerHint"))
        << "clipboard managers keep no history of it";
    EXPECT_EQ(QApplication::clipboard()->text(), "Сон, набранный перед блокировкой");
    QPointer<DiaryWindow> window(&w);
    w.lockPrivate();
    EXPECT_TRUE(QApplication::clipboard()->text().isEmpty()) << "the copy went with the diary";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull()) << "the window went, and its store with the key";
    EXPECT_EQ(StatsWindow::instance(), nullptr);
    DiaryStore check(path);
    check.unlock("пароль");
    QStringList texts;
    for (const Entry &e : check.allEntries())
        texts << e.text;
    EXPECT_TRUE(texts.contains("Сон, набранный перед блокировкой")) << texts.join(" | ").toStdString();
}

TEST_F(DiaryWindowTest, AFailedSaveKeepsTheTextSaysSoOnceAndTriesAgain)
{
    // the diary's folder cannot be made: a file stands in its place
    QFile blocker(dir.path() + "/Diary");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    DiaryWindow &w = open();
    type(w, "Сон, который нельзя потерять");
    EXPECT_FALSE(w.saveNow());
    type(w, "Сон, который нельзя потерять, и ещё строка");
    EXPECT_FALSE(w.saveNow());
    ASSERT_EQ(messages.size(), 1) << "said once, not at every try";
    EXPECT_TRUE(messages[0].startsWith("Не удалось сохранить запись дневника: ")) << messages[0].toStdString();
    EXPECT_EQ(shownText(w), "Сон, который нельзя потерять, и ещё строка") << "the text stays in the window";
    EXPECT_TRUE(w.findChild<QLabel *>("diaryStatus")->text().contains("программа попробует снова"));

    ASSERT_TRUE(QFile::remove(dir.path() + "/Diary"));
    EXPECT_TRUE(w.saveNow()) << "the next try, once the folder can be made";
    EXPECT_EQ(DiaryStore(path).entry(w.shownId())->text, "Сон, который нельзя потерять, и ещё строка");
}

TEST_F(DiaryWindowTest, ADamagedDiaryIsKeptAsideOnlyWhenTheUserAgrees)
{
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/Diary"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const QByteArray junk = QByteArray("SQLite format 3") + QByteArray(4000, '\x5a');
    f.write(junk);
    f.close();

    struct Case {
        MsgResult answer;
        bool usable;
    };
    for (const Case c : {Case{MsgResult::No, false}, Case{MsgResult::Yes, true}}) {
        messages.clear();
        answer = c.answer;
        DiaryWindow &w = open();
        ASSERT_FALSE(messages.isEmpty());
        EXPECT_TRUE(messages[0].contains(QDir::toNativeSeparators(path)) || messages[0].contains(path))
            << "the message names the file: " << messages[0].toStdString();
        EXPECT_EQ(w.store() != nullptr, c.usable);
        if (!c.usable) {
            QFile again(path);
            ASSERT_TRUE(again.open(QIODevice::ReadOnly));
            EXPECT_EQ(again.readAll(), junk) << "never written";
        } else {
            type(w, "Новый дневник");
            EXPECT_TRUE(w.saveNow());
            const QStringList aside = QDir(dir.path() + "/Diary").entryList({"diary.sqlite.damaged-*"});
            ASSERT_EQ(aside.size(), 1) << "the damaged file kept beside it";
            QFile kept(dir.path() + "/Diary/" + aside[0]);
            ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
            EXPECT_EQ(kept.readAll(), junk);
        }
        w.close();
        delete &w;
    }
}

// The trash as a view: its dreams read-only, given back, deleted for good
// after a question, emptied after a question.
TEST_F(DiaryWindowTest, TheTrashIsAViewOfItsOwn)
{
    DiaryWindow &w = open();
    QStringList ids;
    for (const char *t : {"Собака лаяла во дворе", "Плыл по реке", "Видел собаку у дома"}) {
        w.newEntry();
        type(w, QString::fromUtf8(t));
        ASSERT_TRUE(w.saveNow());
        ids << w.shownId();
    }
    w.showEntry(ids[0]);
    w.moveShownToTrash();
    w.showEntry(ids[1]);
    w.moveShownToTrash();
    w.openTrash();
    ASSERT_TRUE(w.showingTrash());
    EXPECT_EQ(w.listModel()->rowCount(), 2);
    EXPECT_TRUE(w.findChild<QWidget *>("trashRow")->isVisibleTo(&w));
    w.showEntry(ids[0]);
    EXPECT_TRUE(w.findChild<QPlainTextEdit *>("textBox")->isReadOnly()) << "a dream in the trash is read, not written";

    EXPECT_TRUE(w.restoreShown());
    EXPECT_FALSE(w.store()->entry(ids[0])->deletedAt.isValid());
    EXPECT_FALSE(w.findChild<QPlainTextEdit *>("textBox")->isReadOnly());
    EXPECT_EQ(w.listModel()->rowCount(), 1);

    w.showEntry(ids[1]);
    answer = MsgResult::No;
    EXPECT_FALSE(w.purgeShown()) << "«no» keeps it";
    EXPECT_TRUE(w.store()->entry(ids[1]).has_value());
    answer = MsgResult::Yes;
    EXPECT_TRUE(w.purgeShown());
    EXPECT_FALSE(w.store()->entry(ids[1]).has_value());

    w.showEntry(ids[2]);
    w.moveShownToTrash();
    w.openTrash();
    EXPECT_EQ(w.emptyTrash(), 1);
    EXPECT_TRUE(w.store()->trash().isEmpty());
    EXPECT_EQ(w.emptyTrash(), 0) << "an empty trash asks nothing";
    w.findChild<QComboBox *>("filterBox")->setCurrentIndex(0);
    EXPECT_FALSE(w.findChild<QWidget *>("trashRow")->isVisibleTo(&w));
    EXPECT_EQ(w.listModel()->rowCount(), 1);
}

TEST_F(DiaryWindowTest, TrashWithUndoSearchAndTheMark)
{
    DiaryWindow &w = open();
    for (const char *t : {"Собака лаяла во дворе", "Плыл по реке", "Видел собаку у дома"}) {
        w.newEntry();
        type(w, QString::fromUtf8(t));
        ASSERT_TRUE(w.saveNow());
    }
    ASSERT_EQ(w.listModel()->rowCount(), 3);
    w.findChild<QLineEdit *>("searchBox")->setText("собаки");
    EXPECT_EQ(w.listModel()->rowCount(), 2) << "every form of the word";
    w.showEntry(w.listModel()->entries().last().id);
    int hits = 0;
    for (const QTextEdit::ExtraSelection &sel : w.findChild<QPlainTextEdit *>("textBox")->extraSelections())
        if (sel.format.hasProperty(QTextFormat::BackgroundBrush))
            hits += sel.cursor.selectedText().toLower().startsWith("собак") ? 1 : 100;
    EXPECT_EQ(hits, 1) << "the word found is marked in the dream: "
                       << w.findChild<QPlainTextEdit *>("textBox")->toPlainText().toStdString();
    w.findChild<QLineEdit *>("searchBox")->clear();

    const QString last = w.shownId();
    w.findChild<QComboBox *>("markBox")->setCurrentIndex(1); // сбылся: saved at once
    EXPECT_EQ(w.store()->entry(last)->fulfilment.mark, Mark::Yes);
    EXPECT_EQ(w.store()->entry(last)->fulfilment.markedOn, QDate::currentDate());
    w.findChild<QComboBox *>("filterBox")->setCurrentText("Сбылись");
    EXPECT_EQ(w.listModel()->rowCount(), 1);
    w.findChild<QComboBox *>("filterBox")->setCurrentIndex(0);

    w.filterBySymbol("Собака");
    EXPECT_EQ(w.listModel()->rowCount(), 2) << "the dreams with the symbol";
    EXPECT_TRUE(w.findChild<QLabel *>("symbolFilter")->isVisibleTo(&w));
    w.filterBySymbol(QString());
    EXPECT_EQ(w.listModel()->rowCount(), 3);

    w.moveShownToTrash();
    EXPECT_EQ(w.listModel()->rowCount(), 2);
    EXPECT_TRUE(w.findChild<QLabel *>("diaryStatus")->text().contains("Вернуть"));
    w.undoTrash();
    EXPECT_EQ(w.listModel()->rowCount(), 3);
    EXPECT_EQ(w.shownId(), last);
}

// The month window's count of a night's dreams opens the list on that night.
TEST_F(DiaryWindowTest, ANightsDreamsAreListedByThemselves)
{
    DiaryWindow &w = open();
    writeTwoNights(w);
    ASSERT_EQ(w.listModel()->rowCount(), 3);
    w.filterByNight(QDate(2026, 12, 9));
    EXPECT_EQ(w.listModel()->rowCount(), 2) << "the night that ends on the morning of 10 December";
    EXPECT_TRUE(w.findChild<QCheckBox *>("periodBox")->isChecked());
    w.filterByNight(QDate(2026, 12, 10));
    EXPECT_EQ(w.listModel()->rowCount(), 1);
    w.findChild<QCheckBox *>("periodBox")->setChecked(false);
    EXPECT_EQ(w.listModel()->rowCount(), 3);
}

// "Печать…": the dream shown, or the night's dreams when the period is on;
// the same pages go to a PDF file, read back with pdftotext.
TEST_F(DiaryWindowTest, ADreamOrAPeriodPrintsAndSavesToPdf)
{
    DiaryWindow &w = open();
    writeTwoNights(w);
    EXPECT_NE(w.findChild<QAction *>("print"), nullptr);
    const auto pdfText = [&](const QString &file) {
        QProcess p;
        p.start("pdftotext", {"-enc", "UTF-8", file, "-"});
        p.waitForFinished(20000);
        return QString::fromUtf8(p.readAllStandardOutput()).simplified();
    };
    const QString one = dir.path() + "/one.pdf";
    ASSERT_TRUE(w.savePdf(one));
    QString text = pdfText(one);
    EXPECT_TRUE(text.contains("Видел дом")) << text.toStdString();
    EXPECT_FALSE(text.contains("Собака")) << "the dream shown only";

    w.filterByNight(QDate(2026, 12, 9));
    const QString night = dir.path() + "/night.pdf";
    ASSERT_TRUE(w.savePdf(night));
    text = pdfText(night);
    EXPECT_TRUE(text.contains("Собака у реки") && text.contains("Плыл по морю")) << text.toStdString();
    EXPECT_FALSE(text.contains("Видел дом"));
    EXPECT_TRUE(text.contains("10 декабря 2026")) << "the night named by its morning: " << text.toStdString();
}

// Tags, people and places complete from those the diary has, each list from
// its own kind, the part after the last comma, letter case and ё ignored.
TEST_F(DiaryWindowTest, TagsPeopleAndPlacesCompleteFromTheDiary)
{
    DiaryWindow &w = open();
    w.newEntry();
    type(w, QStringLiteral("Снилась ёлка"));
    w.findChild<QLineEdit *>("tagsBox")->setText(QStringLiteral("Ёлка, Работа"));
    w.findChild<QLineEdit *>("peopleBox")->setText(QStringLiteral("Мама"));
    ASSERT_TRUE(w.saveNow());
    w.newEntry();
    type(w, QStringLiteral("Снова сон"));
    auto *tags = w.findChild<QLineEdit *>("tagsBox");
    auto *completer = tags->findChild<ListCompleter *>();
    ASSERT_TRUE(completer);
    tags->setFocus();
    // Typed as a keyboard types: each letter a key event with its text.
    const auto typeInto = [](QLineEdit *box, const QString &text) {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(box, &press);
        }
    };
    typeInto(tags, QStringLiteral("раб"));
    ASSERT_EQ(completer->completionCount(), 1);
    completer->setCurrentRow(0);
    EXPECT_EQ(completer->pathFromIndex(completer->currentIndex()), QStringLiteral("Работа"));
    tags->clear();
    typeInto(tags, QStringLiteral("Работа, ел"));
    ASSERT_EQ(completer->completionCount(), 1) << "ё and е are one letter";
    completer->setCurrentRow(0);
    EXPECT_EQ(completer->pathFromIndex(completer->currentIndex()), QStringLiteral("Работа, Ёлка"));
    EXPECT_EQ(w.findChild<QLineEdit *>("peopleBox")->findChild<ListCompleter *>()->words(),
              QStringList{QStringLiteral("Мама")})
        << "people complete from people only";
    EXPECT_TRUE(w.findChild<QLineEdit *>("placesBox")->findChild<ListCompleter *>()->words().isEmpty());
}

// A symbol of three dreams in the last 90 days is a dream sign: underlined
// in a colour of its own in the text; a symbol of two dreams is not.
TEST_F(DiaryWindowTest, DreamSignsAreMarkedInTheText)
{
    DiaryWindow &w = open();
    for (const char *t : {"Собака у дома", "Опять собака и вода", "Собака и вода"}) {
        w.newEntry();
        type(w, QString::fromUtf8(t));
        ASSERT_TRUE(w.saveNow());
    }
    w.close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    DiaryWindow &again = open();
    again.newEntry();
    type(again, QStringLiteral("Собака пила воду"));
    auto underline = [&](const QString &word) {
        for (const QTextEdit::ExtraSelection &sel : again.findChild<QPlainTextEdit *>("textBox")->extraSelections())
            if (sel.cursor.selectedText().toLower().startsWith(word))
                return sel.format.underlineStyle();
        return QTextCharFormat::NoUnderline;
    };
    EXPECT_EQ(underline(QStringLiteral("собак")), QTextCharFormat::DashUnderline) << "three dreams: a sign";
    EXPECT_EQ(underline(QStringLiteral("вод")), QTextCharFormat::SingleUnderline) << "two dreams: a symbol";
}

// Spelling with the real Russian dictionary: the misspelt word underlined
// as typed, the right ones (ё or е) not; a tag of the diary is known.
TEST_F(DiaryWindowTest, MisspeltWordsAreUnderlined)
{
    {
        DiaryWindow &w = open();
        w.newEntry();
        type(w, QStringLiteral("Сон"));
        w.findChild<QLineEdit *>("tagsBox")->setText(QStringLiteral("Квазиморда"));
        ASSERT_TRUE(w.saveNow());
        w.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    DiaryWindow &w = open();
    settleWorkers();
    ASSERT_TRUE(w.speller()) << "the Russian dictionary (hunspell-ru) is not installed";
    w.newEntry();
    type(w, QStringLiteral("Снилась сабака у ёлки, елка и Квазиморда"));
    QStringList underlined;
    const QTextBlock block = w.findChild<QPlainTextEdit *>("textBox")->document()->firstBlock();
    for (const QTextLayout::FormatRange &r : block.layout()->formats())
        if (r.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline)
            underlined << block.text().mid(r.start, r.length);
    EXPECT_EQ(underlined, QStringList{QStringLiteral("сабака")});
    EXPECT_TRUE(w.speller()->suggestions(QStringLiteral("сабака")).contains(QStringLiteral("собака")));
    // The title is checked the same way; its underline leaves the text and
    // the cursor where they were as the user types on.
    QStringList inTitle;
    for (const MisspeltWord &m : misspeltWords(QStringLiteral("Сабака и ёлка у рики"), *w.speller()))
        inTitle << m.text;
    EXPECT_EQ(inTitle, QStringList({"Сабака", "рики"}));
    auto *title = w.findChild<QLineEdit *>("titleBox");
    title->setFocus();
    title->setText(QStringLiteral("Сабака у"));
    title->setCursorPosition(3);
    title->insert(QStringLiteral("б"));
    EXPECT_EQ(title->text(), QStringLiteral("Саббака у"));
    EXPECT_EQ(title->cursorPosition(), 4);
}

// A dream written in the afternoon is last night's, at the waking time: the
// reminder's time where it is set, else 07:00.
TEST_F(DiaryWindowTest, AnAfternoonsNewDreamIsLastNightsAtTheWakingTime)
{
    SettableClock clock(QDateTime(QDate(2026, 12, 9), QTime(13, 7)));
    const ClockScope scope(clock);
    DiaryWindow &w = open();
    w.newEntry();
    auto *moment = w.findChild<QDateTimeEdit *>("momentBox");
    EXPECT_EQ(moment->dateTime(), QDateTime(QDate(2026, 12, 9), QTime(7, 0)));
    SaveSetting(settings::kApp, settings::kMain, "Remind", "1");
    SaveSetting(settings::kApp, settings::kMain, "RemindTime", "06:45");
    w.newEntry();
    EXPECT_EQ(moment->dateTime(), QDateTime(QDate(2026, 12, 9), QTime(6, 45)));
}

// A dream's place is chosen in the city directory: the list opens on the
// dream's place, a choice (south and west included) gives the lunar day of
// that place and is stored with the dream; a directory closed without a
// choice changes nothing.
TEST_F(DiaryWindowTest, ThePlaceOfADreamFromTheCityDirectory)
{
    host.cityFile = dir.path() + "/City.csv";
    QFile csv(host.cityFile);
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write(ansi::fromUnicode(u"Город,ДолготаГ,ДолготаМ,ШиротаГ,ШиротаМ,Юг,Запад\r\n"
                                u"Буэнос-Айрес,58,22,34,36,1,1\r\nМосква,37,35,55,45,0,0\r\n"
                                u"Новосибирск,82,55,55,2,0,0\r\n"));
    csv.close();
    // a key pressed in the directory, delivered by the event loop as a
    // desktop delivers it (Return chooses, Escape closes)
    // (until the directory has closed: a loaded machine may take longer than a moment)
    const auto pressInLoop = [](QWidget *d, Qt::Key key) {
        QPointer<QWidget> dialog(d);
        QCoreApplication::postEvent(d, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
        QElapsedTimer waited;
        waited.start();
        do {
            QEventLoop loop;
            QTimer::singleShot(50, &loop, &QEventLoop::quit);
            loop.exec();
        } while (dialog && dialog->isVisible() && waited.elapsed() < 5000);
    };
    DiaryWindow &w = open();
    type(w, "Шёл по лесу");
    auto directory = [&w] {
        w.findChild<QPushButton *>("placeFromDirectory")->click();
        auto *d = w.findChild<location::SpravCity *>();
        EXPECT_NE(d, nullptr);
        return d;
    };
    location::SpravCity *d = directory();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->ListView1->topLevelItemCount(), 3);
    EXPECT_EQ(d->ListView1->currentItem()->text(0), "Москва") << "opens on the dream's place";
    d->ListView1->setCurrentItem(d->ListView1->topLevelItem(2));
    // the directory must outlive its own closing: deleted before it has
    // said it finished, it is used after it is freed
    bool finished = false;
    bool goneWhileClosing = false;
    QObject::connect(d, &QDialog::finished, [&finished] { finished = true; });
    QObject::connect(d, &QObject::destroyed, [&] { goneWhileClosing = !finished; });
    pressInLoop(d, Qt::Key_Return);
    EXPECT_FALSE(goneWhileClosing);
    // the place is taken once the directory has closed, and its lunar day computed on the pool
    auto *placeLabel = w.findChild<QLabel *>("placeLabel");
    QElapsedTimer waited;
    waited.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        w.waitForLunarDay();
    } while (!placeLabel->text().contains("Новосибирск") && waited.elapsed() < 5000);
    EXPECT_EQ(placeLabel->text(), "Место: Новосибирск, 55.03° с.ш., 82.92° в.д.");
    EXPECT_FALSE(w.findChild<QLabel *>("lunarDayLabel")->text().isEmpty()) << "the lunar day of that place";

    d = directory();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->ListView1->currentItem()->text(0), "Новосибирск");
    d->ListView1->setCurrentItem(d->ListView1->topLevelItem(0));
    pressInLoop(d, Qt::Key_Return);
    ASSERT_TRUE(w.saveNow());
    const std::optional<Entry> saved = w.store()->entry(w.shownId());
    ASSERT_TRUE(saved && saved->place);
    EXPECT_EQ(saved->place->name, "Буэнос-Айрес");
    EXPECT_NEAR(saved->place->latitude, -34.6, 1e-9);
    EXPECT_NEAR(saved->place->longitude, -(58 + 22 / 60.0), 1e-9);
    EXPECT_TRUE(saved->lunar.found) << "the lunar day of that place";

    d = directory();
    ASSERT_NE(d, nullptr);
    pressInLoop(d, Qt::Key_Escape); // closed without a choice
    EXPECT_EQ(w.store()->entry(w.shownId())->place->name, "Буэнос-Айрес");
    EXPECT_TRUE(w.findChild<QLabel *>("placeLabel")->text().startsWith("Место: Буэнос-Айрес, 34.60° ю.ш."));
}

TEST_F(DiaryWindowTest, StatisticsOpenOnThisDiaryAndLeadBackToTheDreams)
{
    DiaryWindow &w = open();
    const std::pair<const char *, const char *> dreams[] = {{"Собака у реки", "Маша"},
                                                            {"Собака в доме", ""},
                                                            {"Только лес", "Маша, Петя"}};
    for (const auto &[t, people] : dreams) {
        w.newEntry();
        type(w, QString::fromUtf8(t));
        auto *box = w.findChild<QLineEdit *>("peopleBox");
        box->setText(QString::fromUtf8(people));
        emit box->textEdited(box->text()); // as typed
    }
    StatsWindow *stats = w.openStatistics();
    ASSERT_TRUE(stats);
    EXPECT_EQ(w.listModel()->rowCount(), 3) << "the dream being written was saved first";
    emit stats->showDreamsWithSymbol("Собака"); // a click in its list of symbols
    EXPECT_EQ(w.listModel()->rowCount(), 2);
    w.filterBySymbol(QString());

    // a click on a person of the statistics: that person's dreams
    auto *people = stats->findChild<QListWidget *>("peopleList");
    ASSERT_NE(people, nullptr);
    ASSERT_EQ(people->count(), 2);
    EXPECT_EQ(people->item(0)->text(), "Маша — 2");
    emit people->itemClicked(people->item(0));
    EXPECT_EQ(w.listModel()->rowCount(), 2);
    EXPECT_EQ(w.findChild<QComboBox *>("tagFilter")->currentText(), "Маша");
    emit people->itemActivated(people->item(1)); // Enter on Петя
    EXPECT_EQ(w.listModel()->rowCount(), 1);
    w.filterByTag(QString());
    EXPECT_EQ(w.listModel()->rowCount(), 3);
}

TEST_F(DiaryWindowTest, ExportImportAndTheDailyCopyFromTheWindow)
{
    DiaryWindow &w = open();
    for (const char *t : {"Собака у реки", "Дом с красной дверью"}) {
        w.newEntry();
        type(w, QString::fromUtf8(t));
        ASSERT_TRUE(w.saveNow());
    }
    const QStringList copies = QDir(dir.path() + "/Diary/backups").entryList({"diary-*.sqlite"});
    ASSERT_EQ(copies.size(), 1) << "the first change of the day made a copy";

    const QString file = dir.path() + "/export.json";
    ASSERT_TRUE(w.exportTo(ExportFormat::Json, file));
    answer = MsgResult::No;
    messages.clear();
    EXPECT_FALSE(w.exportTo(ExportFormat::Json, file)) << "an existing file is replaced only when the user agrees";
    ASSERT_EQ(messages.size(), 1);
    answer = MsgResult::Yes;

    messages.clear();
    EXPECT_EQ(w.importFrom(file), 0) << "the same dreams again add nothing";
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("Будет добавлено 0 записей, обновлено 0, уже есть 2"))
        << messages[0].toStdString();
    EXPECT_EQ(w.restoreFrom(dir.path() + "/Diary/backups/" + copies[0]), 0) << "nor does the day's copy";
    EXPECT_EQ(w.listModel()->rowCount(), 2);

    // into another diary: both dreams arrive
    w.close();
    delete &w;
    path = dir.path() + "/Other/diary.sqlite";
    DiaryWindow &other = open();
    EXPECT_EQ(other.importFrom(file), 2);
    EXPECT_EQ(other.listModel()->rowCount(), 2);
    // another journal keeps no place: its dreams get the program's, and so their lunar day
    const int before = other.listModel()->rowCount();
    ASSERT_GT(other.importFrom("../import/dayone.json"), 0);
    for (const Entry &e : other.store()->allEntries())
        if (e.text.contains("зимний лес")) {
            ASSERT_TRUE(e.place);
            EXPECT_EQ(e.place->name, "Москва");
            EXPECT_TRUE(e.lunar.found);
        }
    EXPECT_GT(other.listModel()->rowCount(), before);
    messages.clear();
    EXPECT_EQ(other.importFrom(dir.path() + "/nothing.json"), -1);
    ASSERT_EQ(messages.size(), 1) << "a file that cannot be read is said, nothing merged";
}

// A private diary's dreams leave the window sealed, or in plain text only
// after the password is typed again; a sealed file comes back with its
// password, asked again after a wrong one.
TEST_F(DiaryWindowTest, APrivateDiaryExportsSealedAndPlainTextOnlyWithItsPassword)
{
    const KeyCost cost{1, 8192};
    {
        DiaryStore store(path);
        Entry e;
        e.text = "Тайный сон про кошку";
        store.add(e);
        store.protect("пароль", &cost);
    }
    QList<SecretQuestion> asked;
    QStringList answers = {"пароль"};
    setSecretAsker([&](QWidget *, const SecretQuestion &q) -> std::optional<SecretAnswer> {
        asked << q;
        if (answers.isEmpty())
            return std::nullopt;
        return SecretAnswer{answers.takeFirst(), false};
    });
    struct Restore {
        ~Restore() { setSecretAsker({}); }
    } restore;
    DiaryWindow &w = open();
    ASSERT_NE(w.store(), nullptr);

    asked.clear();
    const QString csv = dir.path() + "/table.csv";
    EXPECT_FALSE(w.exportTo(ExportFormat::Csv, csv)) << "the user gave up on the password";
    EXPECT_FALSE(QFileInfo::exists(csv));
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].prompt.contains("открытым текстом")) << asked[0].prompt.toStdString();
    answers = {"не тот", "пароль"};
    asked.clear();
    EXPECT_TRUE(w.exportTo(ExportFormat::Csv, csv));
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[1].error, "Неверный пароль");

    const QString sealed = dir.path() + "/dreams.sealed";
    answers = {"пароль"};
    ASSERT_TRUE(w.exportTo(ExportFormat::Sealed, sealed));
    QFile f(sealed);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("somnex-diary-sealed\n"));
    EXPECT_FALSE(bytes.contains("кошк"));
    w.close();
    delete &w;

    path = dir.path() + "/Other/diary.sqlite";
    DiaryWindow &other = open();
    answers = {"не тот", "пароль"};
    asked.clear();
    answer = MsgResult::Yes; // to the merge
    EXPECT_EQ(other.importFrom(sealed), 1);
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[0].prompt.contains("dreams.sealed")) << asked[0].prompt.toStdString();
    EXPECT_EQ(asked[1].error, "Неверный пароль");
    EXPECT_EQ(other.store()->allEntries().first().text, "Тайный сон про кошку");
    messages.clear();
    answers.clear();
    EXPECT_EQ(other.importFrom(sealed), -1);
    EXPECT_TRUE(messages.isEmpty()) << "giving up on the password needs no message";
}

TEST(DiaryList, NightsAreNamedAfterTheMorningTheyEndIn)
{
    EntrySummary e;
    e.night = QDate(2026, 12, 8);
    e.lunarDay = 29;
    e.lucid = true;
    e.kinds = {DreamKind::Nightmare};
    e.mark = Mark::Partly;
    EXPECT_EQ(summaryLine(e), "Ночь на 9 декабря 2026 · частично · 29-й лунный день · осознанный · кошмар");
    e.displayTitle = "Лес";
    EXPECT_EQ(listRowText(e), "Лес\nНочь на 9 декабря 2026 · частично\n29-й лунный день · осознанный · кошмар")
        << "the mark on the night's line, which a narrow list does not cut";
    EXPECT_EQ(listRowText(EntrySummary{}).count('\n'), 2) << "every row three lines";
    EXPECT_EQ(nightCaption(QDate(2026, 12, 31)), "Ночь на 1 января 2027");
    EXPECT_EQ(nightCaption(QDate()), "");
    EXPECT_EQ(markAt({{5, 4, 0}, {12, 2, 1}}, 8), 0);
    EXPECT_EQ(markAt({{5, 4, 0}, {12, 2, 1}}, 9), -1) << "the end is outside";
    EXPECT_EQ(markAt({{5, 4, 0}, {12, 2, 1}}, 13), 1);
}

// Closing stores where the window was, except where the compositor places
// the windows (Wayland): there the position read back means nothing and the
// one stored before is kept; the size is stored in both.
TEST_F(DiaryWindowTest, ThePositionIsStoredOnlyWhereTheProgramPlacesWindows)
{
    for (const char *platform : {"xcb", "wayland"}) {
        SCOPED_TRACE(platform);
        const bool places = QLatin1String(platform) == QLatin1String("xcb");
        setSessionPlatformOverride(QString::fromLatin1(platform));
        SaveSetting(settings::kApp, settings::kMain, settings::key::DTop, "99999");
        SaveSetting(settings::kApp, settings::kMain, settings::key::DLeft, "88888");
        SaveSetting(settings::kApp, settings::kMain, settings::key::DWidth, "1");
        DiaryWindow &w = open();
        w.show();
        w.close();
        EXPECT_EQ(GetSetting(settings::kApp, settings::kMain, settings::key::DTop) == "99999", !places);
        EXPECT_EQ(GetSetting(settings::kApp, settings::kMain, settings::key::DLeft) == "88888", !places);
        EXPECT_NE(GetSetting(settings::kApp, settings::kMain, settings::key::DWidth), "1");
        delete &w;
    }
    setSessionPlatformOverride({});
}

// The user holds an arrow key in the moment box: its value changes twenty
// times a second while lunar days are computed on the worker. The window
// answers every event, and ends on the lunar day of the last moment, shown
// and stored.
TEST_F(DiaryWindowTest, MomentsChangedWhileTheLunarDayComputesEndOnTheLast)
{
    DiaryWindow &w = open();
    type(w, "Снилась вода");
    ASSERT_TRUE(w.saveNow());
    auto *moment = w.findChild<QDateTimeEdit *>("momentBox");
    ASSERT_NE(moment, nullptr);
    const QDateTime first = moment->dateTime();
    QDateTime last = first;
    for (int i = 1; i <= 40; ++i) {
        last = first.addSecs(qint64(i) * 5 * 3600);
        moment->setDateTime(last);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 50)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    w.waitForLunarDay();
    QDateTime at = last;
    at.setOffsetFromUtc(first.offsetFromUtc());
    const LunarSnapshot expected = computeSnapshot(at, host.diaryPlace());
    ASSERT_TRUE(expected.found);
    EXPECT_TRUE(w.findChild<QLabel *>("lunarDayLabel")
                    ->text()
                    .startsWith(QStringLiteral("%1-й лунный день").arg(expected.lunarDay)));
    ASSERT_TRUE(w.saveNow());
    const std::optional<Entry> saved = w.store()->entry(w.shownId());
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->lunar.lunarDay, expected.lunarDay);
    EXPECT_EQ(saved->lunar.start, expected.start);
    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
}

// The window is closed and deleted while its lunar day is computed: the
// answer arrives afterwards and touches nothing (AddressSanitizer).
TEST_F(DiaryWindowTest, TheWindowDeletedWhileItsLunarDayComputesIsLeftAlone)
{
    DiaryWindow *w = &open();
    type(*w, "Снилась вода");
    auto *moment = w->findChild<QDateTimeEdit *>("momentBox");
    for (int i = 1; i <= 5; ++i)
        moment->setDateTime(moment->dateTime().addDays(3));
    w->close();
    delete w;
    settleWorkers();
    QCoreApplication::processEvents();
    EXPECT_EQ(DiaryWindow::instance(), nullptr);
}
