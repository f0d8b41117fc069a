// The dictionary in the main window, on books the book library writes.
#include "appstate/AppState.h"
#include "dictionary/BookSource.h"
#include "platform/core/Messages.h"
#include "platform/core/RussianDates.h"
#include "platform/core/Settings.h"
#include "platform/jet/BookSignature.h"
#include "reading/Tolk.h"
#include "shell/BookBar.h"
#include "shell/DictionaryPanel.h"
#include "shell/Form1.h"
#include "shell/LiteraturePanel.h"
#include "shell/SearchTexts.h"
#include "shell/StatusPanel.h"
#include "shell/TraySide.h"
#include "support/Artwork.h"
#include "support/FormParts.h"
#include "support/MainWindowFixture.h"
#include "support/QtPrint.h"
#include "support/TestPictures.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QSet>
#include <QStyle>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

using namespace somnex;
using dictionary::BookContent;
using dictionary::BookEntry;

namespace {

BookContent book(const QString &name, std::initializer_list<std::pair<const char *, const char *>> entries,
                 std::optional<QString> colour = QString("255"), bool withIcon = false)
{
    BookContent b;
    b.name = name;
    b.heading = name;
    b.color = std::move(colour);
    if (withIcon) {
        QImage img(16, 16, QImage::Format_ARGB32);
        img.fill(Qt::red);
        QByteArray bytes;
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, "BMP");
        b.icon = bytes;
    }
    for (const auto &[w, links] : entries)
        b.entries.push_back({QString::fromUtf8(w), QString::fromUtf8(w) + " во сне – к добру.",
                             links ? std::optional<QString>(QString::fromUtf8(links)) : std::nullopt, 0});
    return b;
}

class DictionaryTest : public MainWindowFixture {
public:
    void putStandard()
    {
        putBook("a.book", book("Первая", {{"Вода", "Река; Море."}, {"Ворона", nullptr}, {"Дом", nullptr}}));
        putBook("b.book",
                book("Вторая", {{"Вода", "Рыба."}, {"Рыба", nullptr}, {"Волк", nullptr}}, std::nullopt, true));
    }
    QStringList listed(Form1 &f)
    {
        QStringList out;
        for (int i = 0; i < part<DictionaryPanel>(f, "Picture2")->words().size(); ++i)
            out << part<DictionaryPanel>(f, "Picture2")->words().word(i);
        return out;
    }
    void key(QWidget *w, int k, const QString &text = {})
    {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
        QCoreApplication::sendEvent(w, &press);
    }

    const QString folder = share.books();
    const QString userFolder = share.userBooks();
};

} // namespace

TEST_F(DictionaryTest, CatalogueButtonsAndMergedList)
{
    putStandard();
    Form1 &f = load();
    ASSERT_EQ(ended, 0) << messages.join("; ").toStdString();
    ASSERT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons().size(), 2);
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[0]->toolTip(), "Первая");
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[0]->data().toString(), folder + "/a.book");
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[0]->property("Image").toString(), "default");
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[1]->property("Image").toString(), "k1");
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[1]->property("Description").toString(), "0") << "Null colour";
    EXPECT_TRUE(part<BookBar>(f, "Toolbar2")->bookButtons()[0]->isChecked()
                && part<BookBar>(f, "Toolbar2")->bookButtons()[1]->isChecked())
        << "first run: all enabled";
    EXPECT_EQ(listed(f), QStringList({"Вода", "Волк", "Ворона", "Дом", "Рыба"}));
    EXPECT_EQ(app().WordEntryTotal, 6) << "Вода counted in both books";
    EXPECT_EQ(part<QLabel>(f, "Label7")->toolTip(), "6 словарных статей; ~30 толкований");
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Вода") << "item 1 selected";
    EXPECT_EQ(part<QLineEdit>(f, "Text1")->text(), "Вода");
    EXPECT_TRUE(part<QAction>(f, "Tolk")->isEnabled());
    EXPECT_EQ(part<QMenu>(f, "mnuSel")->actions().size(), 3);
    EXPECT_FALSE(part<QAction>(f, "mnuSelBook(0)")->isVisible()) << "the template is hidden";
    EXPECT_EQ(part<QAction>(f, "mnuBook(2)")->text(), "Вторая");
}

TEST_F(DictionaryTest, ForeignAndShortFilesAreLeftOutAndNamed)
{
    putBook("b.book", book("Вторая", {{"Вода", nullptr}}));
    putBook("c.book", book("Третья", {{"Огонь", nullptr}}));
    // a.book: an ordinary database with its Jet header in place
    QByteArray plain = dictionary::buildBookImage(book("Чужая", {{"Чужое", nullptr}}));
    jet::restoreJetHeader(plain);
    QFile a(folder + "/a.book");
    ASSERT_TRUE(a.open(QIODevice::WriteOnly));
    a.write(plain);
    a.close();
    QFile s(folder + "/0short.book");
    ASSERT_TRUE(s.open(QIODevice::WriteOnly));
    s.write("DB1 ZUL Somnex");
    s.close();
    Form1 &f = load();
    ASSERT_EQ(messages.size(), 1) << messages.join("; ").toStdString();
    for (const char *name : {"a.book", "0short.book"})
        EXPECT_TRUE(messages[0].contains(QString("/%1» не загружен: это не файл сонника.").arg(name)))
            << messages[0].toStdString();
    ASSERT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons().size(), 2);
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[0]->toolTip(), "Вторая");
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[1]->toolTip(), "Третья");
    EXPECT_EQ(listed(f), QStringList({"Вода", "Огонь"}));
}

TEST_F(DictionaryTest, LoadFailuresSayWhyAndExitFast)
{
    struct Case {
        const char *what;
        std::function<void(DictionaryTest &)> prepare;
        QString message;
    };
    const Case cases[] = {
        {"no folder", [](DictionaryTest &t) { QDir(t.folder).removeRecursively(); },
         "Невозможно найти папку с данными:\r\n"},
        {"no book files", [](DictionaryTest &) {},
         "В папке данных программы не найдено ни одного сонника! Переустановите программу или добавьте файлы сонников!"},
        {"no signed book",
         [](DictionaryTest &t) {
             QFile f(t.folder + "/x.book");
             f.open(QIODevice::WriteOnly);
             f.write(QByteArray(4096, 'x'));
         },
         "Среди файлов программы нет сонников совместимых с текущей версией! Переустановите программу или добавьте файлы сонников!"},
        {"a corrupt signed book",
         [](DictionaryTest &t) {
             QFile f(t.folder + "/x.book");
             f.open(QIODevice::WriteOnly);
             f.write(QByteArray(jet::BookSignature.data(), jet::kSignatureLength) + QByteArray(5000, '\x7f'));
         },
         "Сонник «"},
    };
    for (const auto &c : cases) {
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        messages.clear();
        ended = 0;
        app() = AppState{};
        c.prepare(*this);
        load();
        // a book that could not be read is named before the program ends
        const bool named = c.message.startsWith(QStringLiteral("Сонник"));
        ASSERT_EQ(messages.size(), named ? 2 : 1) << c.what;
        EXPECT_TRUE(messages[0].startsWith(c.message)) << c.what << ": " << messages[0].toStdString();
        if (named) {
            EXPECT_TRUE(messages[1].startsWith("Невозможно найти папку с данными:\r\n")) << c.what;
        }
        EXPECT_EQ(ended, 1) << c.what;
        EXPECT_FALSE(QFile::exists(settingsFilePath())) << "a fast exit stores nothing: " << c.what;
    }
}

TEST_F(DictionaryTest, LoadingNeverWritesTheBooks)
{
    putStandard();
    const QString path = folder + "/a.book";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    const QDateTime mtime = QFileInfo(path).lastModified();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    load();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(part<BookBar>(*form, "Toolbar2")->bookButtons().size(), 2) << "a read-only folder loads";
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(QFileInfo(path).lastModified(), mtime);
    EXPECT_FALSE(QFile::exists(folder + "/icon.tmp"));
}

TEST_F(DictionaryTest, SwitchingBooksRebuildsTheList)
{
    putStandard();
    Form1 &f = load();
    part<BookBar>(f, "Toolbar2")->mnuBooksAll_Click(1); // "Выключить все"
    EXPECT_FALSE(part<BookBar>(f, "Toolbar2")->bookButtons()[0]->isChecked()
                 || part<BookBar>(f, "Toolbar2")->bookButtons()[1]->isChecked());
    EXPECT_TRUE(part<DictionaryPanel>(f, "Picture2")->words().empty());
    EXPECT_FALSE(part<QListView>(f, "ListView1")->isEnabled());
    EXPECT_FALSE(part<QLineEdit>(f, "Text1")->isEnabled());
    EXPECT_EQ(part<QLineEdit>(f, "Text1")->text(), "");
    EXPECT_FALSE(part<QAction>(f, "Tolk")->isEnabled());
    EXPECT_FALSE(f.Form_KeyDown(Qt::Key_Return, Qt::NoModifier)) << "Enter does nothing without words";

    part<BookBar>(f, "Toolbar2")->mnuBook_Click(2); // "Оставить один": the second book alone
    EXPECT_FALSE(part<BookBar>(f, "Toolbar2")->bookButtons()[0]->isChecked());
    EXPECT_TRUE(part<BookBar>(f, "Toolbar2")->bookButtons()[1]->isChecked());
    EXPECT_EQ(listed(f), QStringList({"Вода", "Волк", "Рыба"}));
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Вода");
    EXPECT_EQ(app().WordEntryTotal, 3);

    part<QAction>(f, "mnuSelBook(1)")->setChecked(true); // as the menu's own toggle does
    part<BookBar>(f, "Toolbar2")->mnuSelBook_Click(1);
    EXPECT_TRUE(part<BookBar>(f, "Toolbar2")->bookButtons()[0]->isChecked());
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->words().size(), 5);

    // the menu's check marks follow the buttons on every release, either button
    part<BookBar>(f, "Toolbar2")->bookButtons()[1]->setChecked(false);
    part<BookBar>(f, "Toolbar2")->Toolbar2_MouseUp(Qt::LeftButton, {});
    EXPECT_TRUE(part<QAction>(f, "mnuSelBook(1)")->isChecked());
    EXPECT_FALSE(part<QAction>(f, "mnuSelBook(2)")->isChecked());
    EXPECT_FALSE(part<QMenu>(f, "mnuBooks")->isVisible()) << "the popup is for the right button only";

    // the states are stored at the orderly exit
    ExitApp(ExitMode::StoreState);
    EXPECT_EQ(GetSetting(AppState::App, AppState::Books, folder + "/a.book"), "1");
    EXPECT_EQ(GetSetting(AppState::App, AppState::Books, folder + "/b.book"), "0");
    app() = AppState{};
    Form1 &g = load();
    EXPECT_FALSE(part<BookBar>(g, "Toolbar2")->bookButtons()[1]->isChecked()) << "restored at the next start";
}

TEST_F(DictionaryTest, SearchBoxAndListKeys)
{
    putBook("a.book", book("Первая", {{"Аист", nullptr},
                                      {"Вишня", nullptr},
                                      {"Вода", nullptr},
                                      {"Волк", nullptr},
                                      {"Ворона", nullptr},
                                      {"Гора", nullptr},
                                      {"Дом", nullptr},
                                      {"Ель", nullptr},
                                      {"Жук", nullptr},
                                      {"Яма", nullptr}}));
    Form1 &f = load();
    f.show();
    part<QLineEdit>(f, "Text1")->setText("во");
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Вода");
    part<QLineEdit>(f, "Text1")->setText("вот");
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Вода") << "no match keeps the selection";
    part<QLineEdit>(f, "Text1")->setText("   ");
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Вода") << "blanks do nothing";
    part<QLineEdit>(f, "Text1")->setText("ЯМ");
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Яма");
    EXPECT_EQ(part<QLabel>(f, "Label6")->text(), "Яма") << "the status strip follows the selection";

    key(part<QLineEdit>(f, "Text1"), Qt::Key_Down);
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Яма") << "Down on the last item";
    part<DictionaryPanel>(f, "Picture2")->selectItem(1);
    key(part<QLineEdit>(f, "Text1"), Qt::Key_Up);
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Аист") << "Up on the first item";
    key(part<QLineEdit>(f, "Text1"), Qt::Key_Down);
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Вишня");
    key(part<QLineEdit>(f, "Text1"), Qt::Key_PageDown);
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Вишня") << "Page Down only moves the focus";

    EXPECT_TRUE(part<DictionaryPanel>(f, "Picture2")->ListView1_KeyPress("ж"));
    EXPECT_EQ(part<QLineEdit>(f, "Text1")->text(), "ж");
    EXPECT_EQ(part<QLineEdit>(f, "Text1")->cursorPosition(), 1);
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Жук");
    EXPECT_FALSE(part<DictionaryPanel>(f, "Picture2")->ListView1_KeyPress(" "));
    EXPECT_FALSE(part<DictionaryPanel>(f, "Picture2")->ListView1_KeyPress("!"));
    EXPECT_FALSE(part<DictionaryPanel>(f, "Picture2")->ListView1_KeyPress("\r"));
    EXPECT_EQ(part<QLineEdit>(f, "Text1")->text(), "ж");
    // Keys whose text is no printable character leave the search box alone.
    for (const char16_t c : {u'\x7f', u'\x85', u'\x9f', u'\xad', u'\x200b', u'\xfeff'}) {
        EXPECT_FALSE(part<DictionaryPanel>(f, "Picture2")->ListView1_KeyPress(QString(QChar(c)))) << int(c);
        EXPECT_EQ(part<QLineEdit>(f, "Text1")->text(), "ж") << int(c);
    }
    key(part<QListView>(f, "ListView1"), Qt::Key_Delete, QString(QChar(0x7f))); // as the desktop sends Delete
    EXPECT_EQ(part<QLineEdit>(f, "Text1")->text(), "ж");
    EXPECT_TRUE(part<DictionaryPanel>(f, "Picture2")->ListView1_KeyPress("\""));
    EXPECT_EQ(part<QLineEdit>(f, "Text1")->text(), "\"");
    part<QLineEdit>(f, "Text1")->setText("ж");

    part<DictionaryPanel>(f, "Picture2")->ListView1_ItemClick(9);
    EXPECT_EQ(part<QLabel>(f, "Label6")->text(), "Жук");
    // words and counts from the books are shown as text, never as markup
    EXPECT_EQ(part<QLabel>(f, "Label6")->textFormat(), Qt::PlainText);
    EXPECT_EQ(part<QLabel>(f, "Label7")->textFormat(), Qt::PlainText);
}

TEST_F(DictionaryTest, LastWordIsRestoredByPrefix)
{
    putStandard();
    struct Case {
        const char *stored;
        const char *selected;
    };
    const Case cases[] = {{"Рыба", "Рыба"}, {"Вор", "Ворона"}, {"Ворота", "Вода"}, {"   ", "Вода"}};
    for (const auto &c : cases) {
        SaveSetting(AppState::App, AppState::Main, "LastWord", QString::fromUtf8(c.stored));
        app() = AppState{};
        EXPECT_EQ(part<DictionaryPanel>(load(), "Picture2")->selectedWord(), QString::fromUtf8(c.selected)) << c.stored;
    }
    Form1 &f = load();
    part<DictionaryPanel>(f, "Picture2")->selectItem(4);
    ExitApp(ExitMode::StoreState);
    EXPECT_EQ(GetSetting(AppState::App, AppState::Main, "LastWord"), "Дом");
}

TEST_F(DictionaryTest, InterpretationWindowFromTheList)
{
    putStandard();
    Form1 &f = load();
    f.show();
    part<QLineEdit>(f, "Text1")->setText("вод");
    EXPECT_TRUE(f.Form_KeyDown(Qt::Key_Return, Qt::NoModifier));
    ASSERT_TRUE(f.tolk());
    EXPECT_TRUE(part<QAction>(f, "Tolk")->isChecked());
    EXPECT_EQ(f.tolk()->RichTextBox1->Tag, "Вода");
    const QString text = f.tolk()->RichTextBox1->builtText();
    EXPECT_TRUE(text.contains("& Первая:§\r\nВода во сне – к добру."));
    EXPECT_TRUE(text.contains("& Вторая:§"));
    EXPECT_TRUE(text.contains("F^<Река>, <Море>, <Рыба>"));

    // a click on another word refreshes the open window and clears its history
    f.tolk()->Back << "Вода";
    part<DictionaryPanel>(f, "Picture2")->ListView1_ItemClick(5);
    EXPECT_EQ(f.tolk()->RichTextBox1->Tag, "Рыба");
    EXPECT_TRUE(f.tolk()->Back.isEmpty());

    // Escape with the button pressed closes the window and releases the button
    QPointer<Tolk> t = f.tolk();
    EXPECT_TRUE(f.Form_KeyDown(Qt::Key_Escape, Qt::NoModifier));
    EXPECT_FALSE(part<QAction>(f, "Tolk")->isChecked());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(t.isNull());
}

TEST_F(DictionaryTest, ARebuildStartedInsideARebuild)
{
    for (int i = 0; i < 4; ++i)
        putBook(QString("b%1.book").arg(i),
                book(QString("Книга %1").arg(i),
                     {{"Общее", nullptr}, {qPrintable(QString("Слово%1").arg(i)), nullptr}}));
    Form1 &f = load();
    ASSERT_EQ(part<DictionaryPanel>(f, "Picture2")->words().size(), 5);
    // While the first rebuild lets events run, the user switches a book off.
    bool nested = false;
    QObject ctx;
    QTimer::singleShot(0, &ctx, [&] {
        nested = true;
        part<BookBar>(f, "Toolbar2")->bookButtons()[3]->setChecked(false);
        part<DictionaryPanel>(f, "Picture2")->Toolbar2_ButtonClick(4);
    });
    part<DictionaryPanel>(f, "Picture2")->Toolbar2_ButtonClick(1);
    EXPECT_TRUE(nested);
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->words().size(), 4) << "the later state wins";
    EXPECT_EQ(app().WordEntryTotal, 6) << "counted once";
    EXPECT_TRUE(part<QListView>(f, "ListView1")->isVisible() || !f.isVisible());
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Общее");
}

TEST_F(DictionaryTest, SetVisibleShowsTheItemAndTheOneAfterIt)
{
    std::initializer_list<std::pair<const char *, const char *>> ten = {{"Аист", nullptr}, {"Баня", nullptr},
                                                                        {"Вода", nullptr}, {"Гора", nullptr},
                                                                        {"Дом", nullptr},  {"Ель", nullptr},
                                                                        {"Жук", nullptr},  {"Заяц", nullptr},
                                                                        {"Ива", nullptr},  {"Кот", nullptr}};
    putBook("a.book", book("Первая", ten));
    Form1 &f = load();
    f.show();
    QListView *v = part<QListView>(f, "ListView1");
    const int row = v->sizeHintForRow(0);
    v->setFixedHeight(row * 2 + 2 * v->frameWidth() + 2); // room for two items
    QCoreApplication::processEvents();
    auto visible = [&](int item) {
        const QRect r = v->visualRect(v->model()->index(item - 1, 0));
        return v->viewport()->rect().contains(r);
    };
    struct Case {
        int item;
        int mustSee;
    };
    const Case cases[] = {{3, 3}, {4, 5}, {9, 10}, {10, 10}, {1, 1}};
    for (const auto &c : cases) {
        part<DictionaryPanel>(f, "Picture2")->selectItem(c.item);
        part<DictionaryPanel>(f, "Picture2")->SetVisible(c.item);
        EXPECT_TRUE(visible(c.mustSee)) << "SetVisible(" << c.item << ")";
    }
}

TEST_F(DictionaryTest, SuggestionsForWordFormsAndTypos)
{
    putBook("a.book",
            book("Первая", {{"Таракан", nullptr}, {"Вода", nullptr}, {"Зеркало", nullptr}, {"Лес", nullptr}}));
    Form1 &f = load();
    f.show();
    const QString before = part<DictionaryPanel>(f, "Picture2")->selectedWord();

    // No prefix match: the selection stays, the line offers the headword.
    part<QLineEdit>(f, "Text1")->setText("тараканов");
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), before);
    EXPECT_FALSE(part<QLabel>(f, "LabelSuggest")->isHidden());
    EXPECT_TRUE(part<QLabel>(f, "LabelSuggest")->text().startsWith("Возможно, вы искали: "));
    EXPECT_TRUE(part<QLabel>(f, "LabelSuggest")->text().contains(">Таракан</a>"));

    part<QLineEdit>(f, "Text1")->setText("зеркла");
    EXPECT_TRUE(part<QLabel>(f, "LabelSuggest")->text().contains(">Зеркало</a>"));
    EXPECT_FALSE(part<QLabel>(f, "LabelSuggest")->text().contains("Таракан"));

    // A prefix match or an empty box hides it; so does text that means nothing.
    part<QLineEdit>(f, "Text1")->setText("ле");
    EXPECT_TRUE(part<QLabel>(f, "LabelSuggest")->isHidden());
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Лес");
    part<QLineEdit>(f, "Text1")->setText("синхрофазотрон");
    EXPECT_TRUE(part<QLabel>(f, "LabelSuggest")->isHidden());
    part<QLineEdit>(f, "Text1")->setText("");
    EXPECT_TRUE(part<QLabel>(f, "LabelSuggest")->isHidden());

    // A click selects the word and opens its interpretation.
    part<QLineEdit>(f, "Text1")->setText("в лесу");
    ASSERT_FALSE(part<QLabel>(f, "LabelSuggest")->isHidden());
    emit part<QLabel>(f, "LabelSuggest")
        ->linkActivated(QString::number(part<DictionaryPanel>(f, "Picture2")->words().indexOf("Лес")));
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Лес");
    ASSERT_TRUE(f.tolk());
    EXPECT_EQ(f.tolk()->RichTextBox1->Tag, "Лес");
    EXPECT_TRUE(part<QLabel>(f, "LabelSuggest")->isHidden());
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->bestMatch("зубами"), QString());
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->bestMatch("водой"), "Вода");
}

TEST_F(DictionaryTest, EnterOpensTheOfferedWordWhenNoHeadwordHasTheBeginning)
{
    putBook("a.book", book("Первая", {{"Сабля", nullptr},
                                      {"Собака", nullptr},
                                      {"Змей Горыныч", nullptr},
                                      {"Змея", nullptr},
                                      {"Лес", nullptr}}));
    Form1 &f = load();
    f.show();
    auto *box = part<QLineEdit>(f, "Text1");
    box->setFocus();
    box->setText("саб");
    box->setText("сабака"); // the list stays at Сабля, the line offers Собака
    ASSERT_TRUE(part<QLabel>(f, "LabelSuggest")->text().contains(">Собака</a>"));
    f.Form_KeyDown(Qt::Key_Return, Qt::NoModifier);
    ASSERT_TRUE(f.tolk());
    EXPECT_EQ(f.tolk()->RichTextBox1->Tag, "Собака");
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Собака");

    box->setFocus();
    box->setText("змии");
    f.Form_KeyDown(Qt::Key_Return, Qt::NoModifier);
    EXPECT_EQ(f.tolk()->RichTextBox1->Tag, "Змея");

    // a headword with the beginning: the list's word, as always
    box->setFocus();
    box->setText("са");
    f.Form_KeyDown(Qt::Key_Return, Qt::NoModifier);
    EXPECT_EQ(f.tolk()->RichTextBox1->Tag, "Сабля");
}

// The window shows before its list is made; once the list has words it
// takes the keys, so a word typed at once is searched and Enter opens it.
TEST_F(DictionaryTest, TypingRightAfterStartSearchesTheList)
{
    putBook("a.book", book("Первая", {{"Вода", nullptr}, {"Кошка", nullptr}, {"Лес", nullptr}}));
    form = std::make_unique<Form1>();
    Form1 &f = *form;
    f.setListDeferred(true);
    f.Form_Load();
    f.show();
    QApplication::setActiveWindow(&f);
    f.Form_Activate(); // the list is still empty: the focus stays where it was
    // the calendar's tool button has the focus, as the first activation left it
    QToolButton *button = nullptr;
    for (QObject *o : part<QAction>(f, "Calen")->associatedObjects())
        if (auto *b = qobject_cast<QToolButton *>(o))
            button = b;
    ASSERT_TRUE(button);
    button->setFocus();
    ASSERT_EQ(f.focusWidget(), button);
    f.loadDeferredList();
    auto *list = part<QListView>(f, "ListView1");
    ASSERT_EQ(f.focusWidget(), list) << "not the tool button: Space would open the calendar";
    for (const QChar c : QStringLiteral("кошка"))
        key(f.focusWidget(), Qt::Key_A, QString(c));
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Кошка");
    f.Form_KeyDown(Qt::Key_Return, Qt::NoModifier);
    ASSERT_TRUE(f.tolk());
    EXPECT_EQ(f.tolk()->RichTextBox1->Tag, "Кошка");
}

TEST_F(DictionaryTest, SearchInTheInterpretations)
{
    BookContent a = book("Первая", {{"Вода", nullptr}, {"Палец", nullptr}, {"Свадьба", nullptr}});
    a.entries[1].text = "Кольцо на пальце – к помолвке.";
    a.entries[2].text = "Обменяться кольцами – к долгому союзу. Потерять кольцо – к ссоре.";
    putBook("a.book", a);
    BookContent b = book("Вторая", {{"Палец", nullptr}, {"Река", nullptr}});
    b.entries[0].text = "Золотое кольцо – к достатку.";
    putBook("b.book", b);
    Form1 &f = load();
    f.show();

    // Ctrl+F opens the window; it says so while the index is being built.
    EXPECT_TRUE(f.Form_KeyDown(Qt::Key_F, Qt::ControlModifier));
    SearchTexts *s = f.openTextSearch();
    ASSERT_TRUE(s);
    for (int i = 0; i < 500 && !part<DictionaryPanel>(f, "Picture2")->textIndex(); ++i) {
        QThread::msleep(10);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(part<DictionaryPanel>(f, "Picture2")->textIndex());
    s->Text1->setText("кольцо");
    s->Text1_Change();
    ASSERT_EQ(s->List1->count(), 2);
    EXPECT_TRUE(s->List1->item(0)->text().startsWith("Палец — Первая, Вторая")); // two books first
    EXPECT_TRUE(s->List1->item(1)->text().startsWith("Свадьба — Первая"));
    EXPECT_EQ(s->Label1->text(), "Найдено слов: 2");

    // A click opens the interpretation with every form of the word marked.
    s->List1_Click(s->List1->item(1));
    ASSERT_TRUE(f.tolk());
    EXPECT_EQ(f.tolk()->RichTextBox1->Tag, "Свадьба");
    EXPECT_EQ(f.tolk()->RichTextBox1->extraSelections().size(), 2);

    s->Text1->setText("кольцо трамвай");
    s->Text1_Change();
    EXPECT_EQ(s->List1->count(), 0);
    EXPECT_EQ(s->Label1->text(), "Ничего не найдено.");

    // Switching a book off rebuilds the index without it.
    part<BookBar>(f, "Toolbar2")->bookButtons()[1]->setChecked(false);
    part<DictionaryPanel>(f, "Picture2")->Toolbar2_ButtonClick(2);
    EXPECT_FALSE(part<DictionaryPanel>(f, "Picture2")->textIndex());
    for (int i = 0; i < 500 && !part<DictionaryPanel>(f, "Picture2")->textIndex(); ++i) {
        QThread::msleep(10);
        QCoreApplication::processEvents();
    }
    s->Text1->setText("золотое кольцо");
    s->Text1_Change();
    EXPECT_EQ(s->List1->count(), 0);
}

TEST_F(DictionaryTest, ADamagedBookIsLeftOutAndNamed)
{
    putStandard();
    putBook("c.book", book("Третья", {{"Огонь", nullptr}}));
    BookContent badIcon = book("Четвёртая", {{"Лес", nullptr}});
    badIcon.icon = QByteArray("not a picture");
    putBook("d.book", badIcon);
    QFile b(folder + "/b.book"); // cut in the middle of a page
    ASSERT_TRUE(b.open(QIODevice::ReadWrite));
    ASSERT_TRUE(b.resize(b.size() - 1000));
    b.close();
    Form1 &f = load();
    EXPECT_EQ(ended, 0);
    ASSERT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons().size(), 2);
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[0]->toolTip(), "Первая");
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[1]->toolTip(), "Третья");
    EXPECT_EQ(part<QAction>(f, "mnuBook(2)")->text(), "Третья");
    EXPECT_EQ(listed(f), QStringList({"Вода", "Ворона", "Дом", "Огонь"}));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "LoadBooks");
    EXPECT_EQ(boxes[0].icon, MsgIcon::Error);
    const QString full = QDir(folder).absolutePath();
    EXPECT_TRUE(boxes[0].text.startsWith("Сонник «" + full + "/b.book» не загружен: файл повреждён или обрезан.\n    "))
        << "the full path and a plain reason: " << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[0].text.contains("не кратна размеру страницы")) << "the detail below it";
    EXPECT_TRUE(boxes[0].text.contains(
        "\nСонник «" + full + "/d.book» не загружен: файл повреждён или обрезан.\n    Недопустимое изображение"))
        << "one message for every book left out: " << boxes[0].text.toStdString();
}

// Files named as books that are none (empty, text, random bytes) are left
// out with a word too, and a reload does not say it again.
TEST_F(DictionaryTest, FilesThatAreNoBooksAreNamedOnceAStart)
{
    putStandard();
    const QString full = QDir(folder).absolutePath();
    const std::pair<const char *, QByteArray> files[] = {
        {"empty.book", QByteArray()},
        {"notes.book", QByteArray("Это просто текст, а не сонник.\n")},
        {"random.book", QByteArray(3000, '\x9c')},
    };
    for (const auto &[name, bytes] : files) {
        QFile f(folder + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    Form1 &f = load();
    EXPECT_EQ(ended, 0);
    ASSERT_EQ(boxes.size(), 1u);
    const QString &text = boxes[0].text;
    EXPECT_TRUE(text.contains("Сонник «" + full + "/empty.book» не загружен: это не файл сонника.\n    Файл пуст."))
        << text.toStdString();
    for (const char *name : {"notes.book", "random.book"})
        EXPECT_TRUE(text.contains("Сонник «" + full + "/" + name
                                  + "» не загружен: это не файл сонника.\n    В начале файла нет подписи сонника."))
            << name << ": " << text.toStdString();
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons().size(), 2) << "the real books serve";
    boxes.clear();
    ASSERT_TRUE(part<DictionaryPanel>(f, "Picture2")->LoadBooks());
    EXPECT_TRUE(boxes.empty()) << "said once a start";
}

// Image format plugins mapped into this process.
QStringList imagePluginsLoaded()
{
    QFile maps("/proc/self/maps");
    if (!maps.open(QIODevice::ReadOnly))
        return {QStringLiteral("/proc/self/maps unreadable")};
    QStringList found;
    for (const QByteArray &line : maps.readAll().split('\n'))
        if (line.contains("/imageformats/"))
            found << QString::fromUtf8(line.mid(line.lastIndexOf(' ') + 1));
    found.removeDuplicates();
    return found;
}

// Asking Qt for an image without naming its reader, or for a style icon,
// loads every image format plugin (and their libraries) on the way to the
// first paint. Books with pictures in the formats Qt reads itself, more of
// them than the window has room for, so the toolbar shows its overflow
// button: the window shows and paints with no plugin loaded.
TEST_F(DictionaryTest, TheWindowShowsWithoutLoadingAnImagePlugin)
{
    QStyle *before = QApplication::style();
    const QString beforeName = before->name();
    UseArtworkStyle();
    for (int i = 0; i < 12; ++i) {
        BookContent b = book(QStringLiteral("Книга %1").arg(i), {{"Вода", nullptr}});
        b.icon = i % 2 == 0 ? tinyPng() : tinyBmp(); // not made with Qt's writer, which loads every plugin
        putBook(QStringLiteral("k%1.book").arg(i, 2, 10, QLatin1Char('0')), b);
    }
    Form1 &f = load();
    f.resize(300, f.height());
    f.show();
    QCoreApplication::processEvents();
    const QImage shown = f.grab().toImage();
    auto *bar = part<BookBar>(f, "Toolbar2");
    ASSERT_EQ(bar->bookButtons().size(), 12);
    QToolButton *more = bar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button"));
    ASSERT_NE(more, nullptr);
    EXPECT_TRUE(more->isVisible()) << "twelve books overflow a 300-pixel window";
    const QImage arrow = more->icon().pixmap(16, 16).toImage();
    EXPECT_FALSE(arrow.isNull());
    EXPECT_GT(arrow.pixelColor(5, 8).alpha(), 0) << "the overflow button has its picture";
    EXPECT_EQ(imagePluginsLoaded(), QStringList()) << "shown " << shown.width() << "x" << shown.height();
    form.reset();
    QApplication::setStyle(beforeName);
}

TEST_F(DictionaryTest, TheUsersOwnBooksBesideTheInstallations)
{
    putStandard();
    putBook("b.book", book("Моя вторая", {{"Сад", nullptr}}), userFolder);
    putBook("aa.book", book("Моя", {{"Лес", nullptr}}), userFolder);
    Form1 &f = load();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
    ASSERT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons().size(), 3);
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[0]->data().toString(), folder + "/a.book");
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[1]->data().toString(), userFolder + "/aa.book");
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[2]->data().toString(), userFolder + "/b.book")
        << "the user's copy wins";
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[2]->toolTip(), "Моя вторая");
    EXPECT_EQ(listed(f), QStringList({"Вода", "Ворона", "Дом", "Лес", "Сад"}));
}

TEST_F(DictionaryTest, AddingBooksByMenuAndByDropping)
{
    putBook("a.book", book("Первая", {{"Вода", nullptr}}));
    Form1 &f = load();
    ASSERT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons().size(), 1);
    ASSERT_NE(part<QAction>(f, "addBook"), nullptr);
    const auto items = part<QMenu>(f, "mnuBooks")->actions();
    EXPECT_EQ(items.last(), part<QAction>(f, "addBook"));
    EXPECT_EQ(part<QAction>(f, "addBook")->text(), "Добавить сонник…");
    EXPECT_TRUE(items[items.size() - 2]->isSeparator());
    part<BookBar>(f, "Toolbar2")->bookButtons()[0]->setChecked(false);

    QTemporaryDir elsewhere;
    putBook("new.book", book("Новая", {{"Ягода", nullptr}}), elsewhere.path());
    putBook("b.book", book("Вторая", {{"Рыба", nullptr}}), elsewhere.path());
    QFile junk(elsewhere.path() + "/junk.book");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(jet::BookSignature.data(), jet::kSignatureLength) + QByteArray(9000, '\x11'));
    junk.close();
    const QString original = elsewhere.path() + "/new.book";
    QFile in(original);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray before = in.readAll();
    in.close();

    // not books: a message each, nothing copied
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")
                  ->addBooks({elsewhere.path() + "/junk.book", folder + "/../Texts/none.book"}),
              0);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(
        boxes[0].text.startsWith("Файл «junk.book» не является сонником программы: файл повреждён или обрезан: "))
        << boxes[0].text.toStdString();
    EXPECT_EQ(boxes[1].text, "Файл «none.book» не является сонником программы. Ничего не скопировано.");
    EXPECT_EQ(boxes[1].icon, MsgIcon::Error);
    EXPECT_FALSE(QFileInfo::exists(userFolder + "/junk.book"));

    // through the menu's handler
    boxes.clear();
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->addBooks({original}), 1);
    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons().size(), 2);
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[1]->data().toString(), userFolder + "/new.book");
    EXPECT_TRUE(part<BookBar>(f, "Toolbar2")->bookButtons()[1]->isChecked()) << "a new book is enabled";
    EXPECT_EQ(part<QAction>(f, "mnuBook(2)")->text(), "Новая");
    EXPECT_EQ(listed(f), QStringList({"Ягода"})) << "the first book stays off";
    QFile copy(userFolder + "/new.book");
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), before);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll(), before) << "the original is left as it was";
    in.close();

    // dropped on the window: b.book goes between a and new
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(elsewhere.path() + "/b.book")});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&f, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&f, &drop);
    ASSERT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons().size(), 3);
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[1]->toolTip(), "Вторая");
    EXPECT_EQ(part<QAction>(f, "mnuBook(2)")->text(), "Вторая");
    EXPECT_EQ(part<QAction>(f, "mnuBook(3)")->text(), "Новая");
    EXPECT_EQ(listed(f), QStringList({"Рыба", "Ягода"}));

    // the same name again: asked first; "No" keeps the copy there
    boxes.clear();
    yesNoAnswer = MsgResult::No;
    putBook("new.book", book("Другая", {{"Гора", nullptr}}), elsewhere.path());
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->addBooks({original}), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Сонник «new.book» уже есть в папке ваших сонников. Заменить его?");
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[2]->toolTip(), "Новая");
    yesNoAnswer = MsgResult::Yes;
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->addBooks({original}), 1);
    ASSERT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons().size(), 3);
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[2]->toolTip(), "Другая");
    EXPECT_EQ(listed(f), QStringList({"Гора", "Рыба"}));
}

TEST_F(DictionaryTest, AddingABookKeepsTheReadersPlace)
{
    putStandard();
    Form1 &f = load();
    f.show();
    part<QLineEdit>(f, "Text1")->setText("рыб");
    EXPECT_TRUE(f.Form_KeyDown(Qt::Key_Return, Qt::NoModifier));
    ASSERT_TRUE(f.tolk());
    f.tolk()->Back << "Вода";
    QPointer<Tolk> window = f.tolk();

    QTemporaryDir elsewhere;
    putBook("c.book", book("Третья", {{"Рыба", nullptr}, {"Аист", nullptr}}), elsewhere.path());
    ASSERT_EQ(part<DictionaryPanel>(f, "Picture2")->addBooks({elsewhere.path() + "/c.book"}), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(listed(f).first(), "Аист") << "the new book's words are in";
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Рыба") << "the list stays on its word";
    EXPECT_EQ(part<QLineEdit>(f, "Text1")->text(), "рыб") << "and the search box on what was typed";
    EXPECT_EQ(part<QLabel>(f, "Label6")->text(), "Рыба");
    ASSERT_FALSE(window.isNull()) << "the interpretation window stays open";
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->RichTextBox1->Tag, "Рыба");
    EXPECT_TRUE(window->RichTextBox1->builtText().contains("& Третья:§")) << "with the new book's reading";
    EXPECT_EQ(window->Back, QStringList({"Вода"}));
}

TEST_F(DictionaryTest, TheStatusStripFollowsTheSelectedWord)
{
    putStandard();
    SaveSetting(AppState::App, AppState::Main, "LastWord", "Рыба");
    Form1 &f = load();
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Рыба");
    EXPECT_EQ(part<QLabel>(f, "Label6")->text(), "Рыба") << "the last word restored at start";
    part<QLineEdit>(f, "Text1")->setText("дом");
    EXPECT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Дом");
    EXPECT_EQ(part<QLabel>(f, "Label6")->text(), "Дом") << "typed in the search box";
    key(part<QLineEdit>(f, "Text1"), Qt::Key_Down);
    EXPECT_EQ(part<QLabel>(f, "Label6")->text(), part<DictionaryPanel>(f, "Picture2")->selectedWord())
        << "moved with the arrow keys";
}

// A long word beside the counts: they give way whole, to a shorter form of
// their own, before they are cut ("6 словарных статей; ~…" says nothing).
TEST_F(DictionaryTest, TheCountsGiveWayWholeToALongWord)
{
    putStandard();
    Form1 &f = load();
    auto *status = part<StatusPanel>(f, "StatusBar1");
    auto *counts = part<QLabel>(f, "Label7");
    const QString full = "6 словарных статей; ~30 толкований";
    status->resize(QFontMetrics(counts->font()).horizontalAdvance(full) * 2 + 200, status->height());
    status->showWord("Рыба");
    EXPECT_EQ(counts->text(), full) << "room for all of it";
    status->showWord(QString("Очень длинное заглавное слово ").repeated(4));
    QSet<QString> shown;
    for (int width = 900; width >= 150; width -= 5) {
        status->resize(width, status->height());
        status->layoutLabels(); // as the strip's resize does when shown
        const QString text = counts->text();
        shown << text;
        const bool lastCut = text.endsWith(QChar(0x2026)) && QString("6 статей").startsWith(text.chopped(1));
        EXPECT_TRUE(text == full || text == "6 словарных статей" || text == "6 статей" || lastCut || text.isEmpty())
            << "a whole form, or cut only when none fits: " << text.toStdString() << " at " << width;
    }
    EXPECT_TRUE(shown.contains("6 словарных статей"))
        << "the shorter form in its turn: " << QStringList(shown.begin(), shown.end()).join(" | ").toStdString();
    EXPECT_EQ(counts->toolTip(), full) << "the whole text a hover away";
    EXPECT_EQ(dates::counted(2315, "статья", "статьи", "статей"), "2315 статей");
    EXPECT_EQ(dates::counted(21, "статья", "статьи", "статей"), "21 статья");
    EXPECT_EQ(dates::counted(112, "статья", "статьи", "статей"), "112 статей");
    EXPECT_EQ(dates::counted(3, "статья", "статьи", "статей"), "3 статьи");
}

TEST_F(DictionaryTest, TheSuggestionLineKeepsTheSelectedWordInView)
{
    std::vector<std::string> names;
    names.reserve(60);
    for (int i = 0; i < 60; ++i)
        names.push_back(QString("Слово%1").arg(i, 2, 10, QChar('0')).toStdString());
    BookContent b = book("Длинная", {{"Зубы", nullptr}});
    for (const std::string &n : names)
        b.entries.push_back({QString::fromStdString(n), "к добру.", std::nullopt, 0});
    putBook("long.book", b);
    Form1 &f = load();
    f.resize(f.width(), 400);
    f.show();
    part<QLineEdit>(f, "Text1")->setText("Слово59");
    ASSERT_EQ(part<DictionaryPanel>(f, "Picture2")->selectedWord(), "Слово59");
    part<QLineEdit>(f, "Text1")->setText("зубами"); // no such beginning: the suggestion line appears
    ASSERT_TRUE(part<QLabel>(f, "LabelSuggest")->isVisible());
    const QRect row = part<QListView>(f, "ListView1")->visualRect(part<QListView>(f, "ListView1")->currentIndex());
    EXPECT_TRUE(part<QListView>(f, "ListView1")->viewport()->rect().contains(row)) << "the selected row is in view";
}

TEST_F(DictionaryTest, BooksHandedToTheProgramAreOfferedOneByOne)
{
    putStandard();
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    const auto make = [&](const QString &file, const char *name, const char *word) {
        QFile f(elsewhere.filePath(file));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(dictionary::buildBookImage(book(QString::fromUtf8(name), {{word, nullptr}})));
        return f.fileName();
    };
    const QString yes = make("yes.book", "Принятая", "Гора");
    const QString no = make("no.book", "Отклонённая", "Поле");
    Form1 &f = load();
    QStringList asked;
    SetMessageHandler([&](const Message &m) {
        asked << m.text;
        return m.text.contains("no.book") ? MsgResult::No : MsgResult::Yes;
    });
    EXPECT_EQ(f.offerBooks({yes, no}), 1);
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[0], "Добавить сонник «yes.book» в ваши сонники?");
    ASSERT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons().size(), 3);
    EXPECT_EQ(part<BookBar>(f, "Toolbar2")->bookButtons()[2]->toolTip(), "Принятая");
    EXPECT_TRUE(part<DictionaryPanel>(f, "Picture2")->words().indexOf("Гора") >= 0);
    EXPECT_LT(part<DictionaryPanel>(f, "Picture2")->words().indexOf("Поле"), 0);
    EXPECT_TRUE(QFile::exists(yes) && QFile::exists(no)); // the originals stay
}
