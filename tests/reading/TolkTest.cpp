#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "platform/error/Error.h"
#include "reading/PrintDialog.h"
#include "reading/Tolk.h"
#include "support/QtPrint.h"
#include "support/TempProfile.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <map>

using namespace somnex;

namespace {

using Entry = std::pair<QString, std::optional<QString>>;

struct FakeHost : TolkHost {
    std::vector<std::map<QString, Entry>> books;
    QString current;
    int closed = 0;
    QStringList damaged; // reading these entries raises, as a damaged packed value does
    std::vector<TolkBook> tolkBooks() override
    {
        std::vector<TolkBook> out;
        for (size_t i = 0; i < books.size(); ++i)
            out.push_back({QString("Книга %1").arg(i + 1), QString::number(0x0000C0 << (8 * i)),
                           [this, i](const QString &w) -> std::optional<Entry> {
                               if (damaged.contains(w))
                                   throw Error(3021, "BuildTolk", "Запись повреждена: " + w);
                               auto it = books[i].find(w);
                               if (it == books[i].end())
                                   return std::nullopt;
                               return it->second;
                           }});
        return out;
    }
    std::vector<TolkButton> tolkButtons() override
    {
        std::vector<TolkButton> out;
        for (const auto &b : tolkBooks())
            out.push_back({b.tag, b.description});
        return out;
    }
    QString currentWord() override { return current; }
    bool literatureActive() override { return false; }
    double mainTopTwips() override { return 1500; }
    void tolkClosed() override { ++closed; }
    void searchInterpretations(const QString &text) override { searched << text; }
    QStringList searched;
};

class TolkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.books = {
            {{"Вода", {"Чистая вода – к радости.\r\nМутная вода – к хлопотам.", QString("Река; Море; Пропавшее.")}},
             {"Река", {"Плыть по реке – к дороге.", QString("Вода.")}},
             {"Море", {"Спокойное море – к покою.", std::nullopt}}},
            {{"Вода", {"Пить воду – к здоровью.", QString("Река; Рыба.")}},
             {"Рыба", {"Ловить рыбу – к прибыли.", QString("Рыба; Вода.")}}},
        };
        host.current = "Вода";
        SetMessageHandler([this](const Message &m) {
            messages << m.text + "|" + m.title;
            return MsgResult::Ok;
        });
        tolk = new Tolk(&host);
        tolk->resize(500, 500);
        ASSERT_TRUE(tolk->Form_Load());
        tolk->show();
    }
    void TearDown() override
    {
        delete tolk.data();
        SetMessageHandler({});
    }
    // A point over the character at a built-text index.
    QPoint pointAt(int builtIndex)
    {
        TolkView *v = tolk->RichTextBox1;
        QTextCursor c(v->document());
        c.setPosition(v->toDocument(builtIndex));
        const QRect left = v->cursorRect(c);
        c.setPosition(v->toDocument(builtIndex) + 1);
        const QRect right = v->cursorRect(c);
        return QPoint((left.x() + right.x()) / 2, left.center().y());
    }
    void clickLink(const QString &word)
    {
        const int at = static_cast<int>(tolk->RichTextBox1->builtText().indexOf("<" + word + ">") + 1);
        ASSERT_GT(at, 0) << word.toStdString();
        tolk->RichTextBox1_MouseMove(pointAt(at));
        tolk->RichTextBox1_MouseUp(Qt::LeftButton, pointAt(at));
    }

    TempProfile profile;
    FakeHost host;
    QPointer<Tolk> tolk;
    QStringList messages;
};

} // namespace

TEST_F(TolkTest, ShowsTheWordOfTheMainList)
{
    EXPECT_EQ(tolk->RichTextBox1->Tag, "Вода");
    EXPECT_EQ(tolk->windowTitle(), "Вода");
    const QString t = tolk->RichTextBox1->builtText();
    EXPECT_TRUE(t.startsWith(" Вода\r\n\r\n& Книга 1:§\r\n"));
    EXPECT_TRUE(t.endsWith("F^<Река>, <Море>, <Пропавшее>, <Рыба>\r\n"));
    // one document position per built character, a CR LF counting once
    const QString plain = tolk->RichTextBox1->document()->toPlainText();
    EXPECT_EQ(plain.size(), t.size() - t.count("\r\n"));
    EXPECT_FALSE(tolk->btnBack->isEnabled());
    EXPECT_FALSE(tolk->btnHome->isEnabled());
}

TEST_F(TolkTest, TheTextHasTheKeyboardWhenTheWindowOpensAndAfterEachWord)
{
    QApplication::setActiveWindow(tolk);
    EXPECT_EQ(tolk->focusWidget(), tolk->RichTextBox1) << "not the first tool button: Enter would print";
    QWidget *copy = tolk->Toolbar1->widgetForAction(tolk->btnCopy);
    copy->setFocus();
    ASSERT_EQ(tolk->focusWidget(), copy);
    tolk->BuildTolk("Река");
    EXPECT_EQ(tolk->focusWidget(), tolk->RichTextBox1);
}

TEST_F(TolkTest, PositionMappingRoundTrips)
{
    TolkView *v = tolk->RichTextBox1;
    const QString t = v->builtText();
    for (int i = 0; i <= t.size(); ++i) {
        if (i > 0 && t[i - 1] == '\r' && i < t.size() && t[i] == '\n')
            continue; // the LF of a pair has no document position of its own
        ASSERT_EQ(v->toBuilt(v->toDocument(i)), i) << i;
    }
    v->setSel(static_cast<int>(t.indexOf("Мутная")), 6);
    EXPECT_EQ(v->selText(), "Мутная");
    v->setSel(static_cast<int>(t.indexOf("радости.")), 12); // across a line break
    EXPECT_EQ(v->selText(), "радости.\r\nМу");
}

TEST_F(TolkTest, PointerOverLinksAndTheirHiddenMarkers)
{
    TolkView *v = tolk->RichTextBox1;
    const QString t = v->builtText();
    const int lt = static_cast<int>(t.indexOf("<Море>"));
    EXPECT_EQ(v->charFromPos(pointAt(lt + 2)), lt + 2);
    tolk->RichTextBox1_MouseMove(pointAt(lt + 2));
    EXPECT_EQ(v->toolTip(), "Перейти к «Море»");
    tolk->RichTextBox1_MouseMove(pointAt(static_cast<int>(t.indexOf("Чистая"))));
    EXPECT_EQ(v->toolTip(), "");
}

TEST_F(TolkTest, FollowingLinksAndWalkingBack)
{
    clickLink("Река");
    EXPECT_EQ(tolk->RichTextBox1->Tag, "Река");
    EXPECT_EQ(tolk->Back, QStringList({"Вода"}));
    EXPECT_TRUE(tolk->btnBack->isEnabled());
    EXPECT_TRUE(tolk->btnHome->isEnabled());

    clickLink("Вода");
    clickLink("Река");
    EXPECT_EQ(tolk->Back, QStringList({"Вода", "Река", "Вода"}));
    QStringList listed;
    for (QAction *a : tolk->backMenu->actions())
        listed << a->text();
    EXPECT_EQ(listed, QStringList({"Вода", "Река"})) << "each word once, oldest first";

    // a link to a word no book has: the history grows, the page stays
    clickLink("Вода");
    const QString before = tolk->RichTextBox1->builtText();
    ASSERT_TRUE(before.contains("<Пропавшее>")) << before.toStdString();
    clickLink("Пропавшее");
    EXPECT_EQ(tolk->RichTextBox1->builtText(), before);
    EXPECT_EQ(tolk->RichTextBox1->Tag, "Вода");
    EXPECT_EQ(tolk->Back.size(), 5);
    tolk->Toolbar1_ButtonClick("Back"); // removes that entry, nothing visible changes
    EXPECT_EQ(tolk->RichTextBox1->Tag, "Вода");
    EXPECT_EQ(tolk->Back.size(), 4);
    tolk->Toolbar1_ButtonClick("Back");
    EXPECT_EQ(tolk->RichTextBox1->Tag, "Река");

    // a link to the word shown does nothing
    tolk->BuildTolk("Рыба"); // a page that links to itself
    const int n = static_cast<int>(tolk->Back.size());
    clickLink("Рыба");
    EXPECT_EQ(tolk->Back.size(), n);
    EXPECT_EQ(tolk->RichTextBox1->Tag, "Рыба");

    tolk->Toolbar1_ButtonClick("Home");
    EXPECT_EQ(tolk->RichTextBox1->Tag, "Вода");
    EXPECT_TRUE(tolk->Back.isEmpty());
    EXPECT_FALSE(tolk->btnBack->isEnabled());
    tolk->Form_KeyDown(Qt::Key_Backspace, Qt::ControlModifier, true); // disabled: nothing
    tolk->Form_KeyDown(Qt::Key_H, Qt::ControlModifier, false);
    EXPECT_EQ(tolk->RichTextBox1->Tag, "Вода");
}

// "Ваш сон": a symbol's link opens its interpretation, "Назад" comes back
// to the dream, "ещё N толкований" unfolds the book's other lines, and the
// keyboard walks the links too.
TEST_F(TolkTest, TheDreamDocumentLinksToItsSymbolsAndComesBack)
{
    DreamReading reading;
    reading.text = "Мне снилась мутная вода.";
    SymbolReading water;
    water.headword = "Вода";
    water.start = reading.text.indexOf("вода");
    water.length = 4;
    BookReading book{"Книга 1", "192", "one.book", {}};
    for (int i = 0; i < 5; ++i)
        book.lines.push_back({QString("Строка %1 – к делу.").arg(i + 1), i, 0.5 - i * 0.1, {}, {}});
    water.books.push_back(book);
    reading.symbols.push_back(water);

    tolk->ShowDream(reading);
    EXPECT_TRUE(tolk->showingDream());
    EXPECT_EQ(tolk->windowTitle(), kDreamCaption);
    EXPECT_EQ(tolk->Back, QStringList({"Вода"})) << "the word shown before is in the history";
    const QString &text = tolk->RichTextBox1->builtText();
    EXPECT_FALSE(text.contains("Строка 4"));
    const int more = int(text.indexOf("ещё 2 толкования"));
    ASSERT_GE(more, 0);
    EXPECT_TRUE(tolk->followDreamLink(more + 1));
    EXPECT_TRUE(tolk->RichTextBox1->builtText().contains("Строка 5"));
    EXPECT_TRUE(tolk->showingDream());

    // the keyboard: Tab selects the dream's first link, Enter opens its symbol
    tolk->RichTextBox1->setSel(0, 0);
    ASSERT_TRUE(tolk->selectLink(true));
    EXPECT_EQ(tolk->RichTextBox1->selText(), "вода");
    EXPECT_TRUE(tolk->followSelectedLink());
    EXPECT_EQ(tolk->RichTextBox1->Tag, "Вода");
    EXPECT_FALSE(tolk->showingDream());
    EXPECT_EQ(tolk->windowTitle(), "Вода");

    tolk->Toolbar1_ButtonClick("Back");
    EXPECT_TRUE(tolk->showingDream());
    EXPECT_TRUE(tolk->RichTextBox1->builtText().contains("Строка 5")) << "the unfolded lines stay unfolded";
    EXPECT_FALSE(tolk->followDreamLink(0)) << "the caption is no link";

    // a dream with no word of the books offers the search in the interpretations
    DreamReading none;
    none.text = "Ничего особенного";
    tolk->ShowDream(none);
    const int search = int(tolk->RichTextBox1->builtText().indexOf("поиск по толкованиям"));
    ASSERT_GE(search, 0);
    EXPECT_TRUE(tolk->followDreamLink(search + 1));
    EXPECT_EQ(host.searched, QStringList({"Ничего особенного"}));
}

// Without a mouse: Tab and Shift+Tab in the text go from link to link,
// Enter opens the selected one, and past the last link Tab leaves the text.
TEST_F(TolkTest, TheKeyboardReachesAndFollowsTheLinks)
{
    TolkView *v = tolk->RichTextBox1;
    v->setSel(0, 0);
    auto key = [&](int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, k, mods);
        QApplication::sendEvent(v, &press);
    };
    const QString t = v->builtText();
    QStringList links;
    for (qsizetype open = t.indexOf('<'); open >= 0; open = t.indexOf('<', open + 1))
        links << t.mid(open + 1, t.indexOf('>', open) - open - 1);
    ASSERT_GE(links.size(), 3) << t.toStdString();
    QStringList selected;
    for (int i = 0; i < links.size(); ++i) {
        key(Qt::Key_Tab);
        selected << v->selText();
    }
    EXPECT_EQ(selected, links) << "every link in turn";
    EXPECT_EQ(v->toolTip(), "Перейти к «" + links.last() + "»");
    EXPECT_FALSE(tolk->selectLink(true)) << "past the last link the focus moves on";
    key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(v->selText(), links[links.size() - 2]);

    v->setSel(0, 0);
    key(Qt::Key_Return); // nothing selected: no link followed
    EXPECT_EQ(v->Tag, "Вода");
    key(Qt::Key_Tab);
    ASSERT_EQ(v->selText(), "Река");
    key(Qt::Key_Return);
    EXPECT_EQ(v->Tag, "Река");
    EXPECT_EQ(tolk->Back, QStringList({"Вода"}));
}

TEST_F(TolkTest, TheSameWordTwiceChangesNothing)
{
    clickLink("Река");
    TolkView *v = tolk->RichTextBox1;
    v->setSel(3, 4);
    const QString text = v->builtText();
    tolk->BuildTolk("Река");
    EXPECT_EQ(v->builtText(), text);
    EXPECT_EQ(v->selStart(), 3);
    EXPECT_EQ(v->selLength(), 4);
    EXPECT_EQ(tolk->Back, QStringList({"Вода"}));
}

TEST_F(TolkTest, FindOpensBesideItsWindowWithTheKeyboardInItsBox)
{
    // Ctrl+F, the find key of other programs, opens it as F3 does
    EXPECT_TRUE(tolk->Form_KeyDown(Qt::Key_F, Qt::ControlModifier, true));
    ASSERT_TRUE(tolk->searchForm);
    EXPECT_TRUE(tolk->searchForm->isVisible());
    EXPECT_EQ(tolk->searchForm->focusWidget(), tolk->searchForm->Text1) << "typed text goes into the box";
    EXPECT_TRUE(tolk->searchForm->isActiveWindow() || QGuiApplication::platformName() == "offscreen")
        << "the window takes the keyboard";

    struct Case {
        QRect owner, screen;
        QPoint place;
        const char *why;
    };
    const QSize form(300, 150);
    const Case cases[] = {
        {{100, 100, 600, 500}, {0, 0, 1920, 1080}, {375, 172}, "top right of the document"},
        {{1700, 100, 600, 500}, {0, 0, 1920, 1080}, {1619, 172}, "kept on the screen on the right"},
        {{100, 1000, 600, 500}, {0, 0, 1920, 1080}, {375, 929}, "and at the bottom"},
        {{100, 100, 200, 200}, {0, 0, 1920, 1080}, {100, 172}, "never left of a narrow window"},
        {{100, 100, 600, 500}, {}, {375, 172}, "no screen known"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(findFormPlace(c.owner, form, c.screen), c.place) << c.why;
}

TEST_F(TolkTest, FindWrapsAndReportsAMissOnce)
{
    TolkView *v = tolk->RichTextBox1;
    tolk->ShowFind();
    ASSERT_TRUE(tolk->searchForm);
    tolk->searchForm->Text1->setText("чистая");
    v->setSel(static_cast<int>(v->builtText().indexOf("Пить")), 0); // caret after the only match
    tolk->searchForm->FND();
    EXPECT_EQ(v->selText(), "Чистая") << "found after wrapping, case ignored";
    tolk->searchForm->FND();
    EXPECT_EQ(v->selText(), "Чистая") << "the only match again";
    EXPECT_TRUE(messages.isEmpty());
    tolk->searchForm->Text1->setText("нет такого");
    tolk->searchForm->FND();
    EXPECT_EQ(messages, QStringList({"Строка не найдена.|Результат поиска"}));
    tolk->ShowFind(); // visible already: finds again
    EXPECT_EQ(messages.size(), 2);
}

TEST_F(TolkTest, CopyOffersRichPlainAndHtmlTextWithoutMarkers)
{
    TolkView *v = tolk->RichTextBox1;
    tolk->mnuCopy_Click();
    const QMimeData *m = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(m);
    const QByteArray all = m->data("text/rtf");
    ASSERT_FALSE(all.isEmpty());
    // a plain text field takes the text; markers and CR are left out
    ASSERT_TRUE(m->hasText());
    const QString plain = m->text();
    EXPECT_TRUE(plain.contains("Чистая вода")) << plain.toStdString();
    EXPECT_TRUE(plain.contains("Река"));
    EXPECT_FALSE(plain.contains("<Река>")) << plain.toStdString();
    EXPECT_FALSE(plain.contains(u'\r'));
    EXPECT_FALSE(plain.contains(":§"));
    ASSERT_TRUE(m->hasHtml());
    EXPECT_TRUE(m->html().contains("Чистая вода"));
    EXPECT_FALSE(m->html().contains("&lt;Река&gt;"));

    v->setSel(static_cast<int>(v->builtText().indexOf("Мутная")), 6);
    tolk->mnuCopy_Click();
    const QMimeData *sel = QGuiApplication::clipboard()->mimeData();
    EXPECT_LT(sel->data("text/rtf").size(), all.size());
    EXPECT_EQ(sel->text(), "Мутная") << "the selection alone";

    const QString unrtf = QStandardPaths::findExecutable("unrtf");
    if (unrtf.isEmpty())
        GTEST_SKIP() << "unrtf is not installed";
    QTemporaryDir dir;
    QFile f(dir.path() + "/copy.rtf");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(all);
    f.close();
    QProcess p;
    p.start(unrtf, {"--html", f.fileName()});
    ASSERT_TRUE(p.waitForFinished(20000));
    QString html = QString::fromUtf8(p.readAllStandardOutput());
    // unrtf writes characters outside ASCII as numeric entities
    QString decoded;
    for (qsizetype i = 0; i < html.size(); ++i) {
        const qsizetype end = html.indexOf(';', i);
        if (html.mid(i, 2) == "&#" && end > i) {
            const int code = html.mid(i + 2, end - i - 2).toInt();
            if (code > 0 && (code < 0xD800 || code > 0xDFFF))
                decoded += QChar(code);
            i = end;
        } else {
            decoded += html[i];
        }
    }
    html = decoded;
    EXPECT_TRUE(html.contains("Чистая вода")) << html.toStdString();
    EXPECT_TRUE(html.contains("Река"));
    EXPECT_TRUE(html.contains("#0000ff", Qt::CaseInsensitive)) << "the blue situation text";
    EXPECT_TRUE(html.contains("#008000", Qt::CaseInsensitive)) << "the green links";
    EXPECT_FALSE(html.contains("&lt;Река&gt;")) << "hidden markers stay hidden";
    EXPECT_FALSE(html.contains(":§"));
}

// No print server here: the dialog opens all the same, on "Файл PDF…".
TEST_F(TolkTest, PrintingWithoutPrintersOffersAPdfFile)
{
    qputenv("CUPS_SERVER", "/nonexistent/cups.sock"); // never the machine's own server
    QStringList listed;
    bool copies = true;
    QTimer::singleShot(0, [&] {
        auto *d = qobject_cast<PrintDialog *>(QApplication::activeModalWidget());
        if (!d)
            return;
        for (int i = 0; i < d->ImageCombo1->count(); ++i)
            listed << d->ImageCombo1->itemText(i);
        copies = d->Frame3->isEnabled();
        d->reject();
    });
    tolk->Form_KeyDown(Qt::Key_P, Qt::ControlModifier, false);
    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
    EXPECT_EQ(listed, QStringList{"Файл PDF…"});
    EXPECT_FALSE(copies) << "one file, no copies";
}

TEST_F(TolkTest, GeometryIsSavedInTheNormalStateOnly)
{
    tolk->move(150, 120);
    tolk->resize(420, 380);
    tolk->close();
    EXPECT_EQ(host.closed, 1) << "the main toolbar's button is released";
    EXPECT_EQ(GetSetting("ZUL_Programming", "Somnex3", "TWidth"), "6300");
    EXPECT_EQ(GetSetting("ZUL_Programming", "Somnex3", "THeight"), "5700");

    auto *t2 = new Tolk(&host);
    ASSERT_TRUE(t2->Form_Load());
    EXPECT_EQ(t2->width(), 420);
    t2->showMaximized();
    t2->close();
    EXPECT_EQ(GetSetting("ZUL_Programming", "Somnex3", "TWidth"), "6300") << "maximised: kept";

    SaveSetting("ZUL_Programming", "Somnex3", "TTop", "0");
    SaveSetting("ZUL_Programming", "Somnex3", "TWidth", "2000");
    auto *t3 = new Tolk(&host);
    ASSERT_TRUE(t3->Form_Load());
    EXPECT_EQ(t3->width(), 267) << "raised to 4000 twips";
    const QRect screen = t3->screen()->availableGeometry();
    EXPECT_NEAR(t3->y() + t3->height() / 2.0, screen.height() / 2.0, 2) << "top 0 centres";
    delete t3;
}

TEST_F(TolkTest, ALoadFailureSaysSoAndCloses)
{
    host.books.push_back({});
    FakeHost broken = host;
    struct Throwing : FakeHost {
        std::vector<TolkBook> tolkBooks() override { throw std::runtime_error("broken"); }
    } bad;
    bad.current = "Вода";
    auto *t = new Tolk(&bad);
    QPointer<Tolk> guard(t);
    EXPECT_FALSE(t->Form_Load());
    EXPECT_EQ(messages, QStringList({"Нечего отображать|TolkLoad"}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
}

TEST_F(TolkTest, ADamagedEntryIsReportedWhereverItIsReached)
{
    clickLink("Река");
    ASSERT_EQ(tolk->RichTextBox1->Tag, "Река");
    host.damaged = QStringList{"Вода", "Рыба"};
    struct Case {
        const char *what;
        std::function<void()> act;
        const char *title;
    } cases[] = {
        {"link", [&] { clickLink("Вода"); }, "RichTextBox1_MouseUp"},
        {"history list", [&] { tolk->BackMenu_Click("Вода"); }, "BackMenu_Click"},
        {"Home", [&] { tolk->Toolbar1_ButtonClick("Home"); }, "Toolbar1_ButtonClick"},
    };
    for (const Case &c : cases) {
        messages.clear();
        c.act();
        ASSERT_EQ(messages.size(), 1) << c.what;
        EXPECT_EQ(messages[0], QStringLiteral("Запись повреждена: Вода|") + c.title) << c.what;
        EXPECT_EQ(tolk->RichTextBox1->Tag, "Река") << c.what << ": the shown word stays";
        EXPECT_TRUE(tolk->RichTextBox1->updatesEnabled()) << c.what;
    }
    // Back to a word that became unreadable: reported, and the history moves on.
    host.damaged = QStringList{"Река"};
    clickLink("Вода"); // readable again: Река goes into the history
    ASSERT_EQ(tolk->RichTextBox1->Tag, "Вода");
    messages.clear();
    host.damaged = QStringList{"Река"};
    const qsizetype before = tolk->Back.size();
    tolk->Toolbar1_ButtonClick("Back");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], "Запись повреждена: Река|Toolbar1_ButtonClick");
    EXPECT_EQ(tolk->Back.size(), before - 1);
    // the window still works
    host.damaged.clear();
    clickLink("Река");
    EXPECT_EQ(tolk->RichTextBox1->Tag, "Река");
}

TEST_F(TolkTest, TheRightButtonShowsTheWindowsOwnMenu)
{
    TolkView *v = tolk->RichTextBox1;
    v->setSel(1, 4);
    ASSERT_GT(v->selLength(), 0);
    const QPoint at = pointAt(2);
    // A real right click: press and release over the text, and the context
    // menu request the desktop sends with them.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), v->viewport()->mapToGlobal(QPointF(at)), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(v->viewport(), &press);
    QContextMenuEvent context(QContextMenuEvent::Mouse, at, v->viewport()->mapToGlobal(at));
    QApplication::sendEvent(v->viewport(), &context);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), v->viewport()->mapToGlobal(QPointF(at)),
                        Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(v->viewport(), &release);
    QCoreApplication::processEvents();
    QList<QMenu *> menus;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *m = qobject_cast<QMenu *>(w); m && m->isVisible())
            menus << m;
    ASSERT_EQ(menus.size(), 1) << "one menu, the window's own, not QTextEdit's";
    QMenu *shown = menus[0];
    EXPECT_EQ(shown, tolk->Menu);
    shown->close();
    QStringList texts;
    for (QAction *a : shown->actions())
        if (!a->isSeparator())
            texts << a->text();
    EXPECT_EQ(texts, QStringList({"Копировать", "Печатать"}));
}

TEST(TolkColours, ReadableOnTheBackground)
{
    const QColor dark(0x23, 0x23, 0x26), light(Qt::white), lightText(0xe6, 0xe6, 0xe6), darkText(Qt::black);
    struct Case {
        const char *what;
        QColor colour, background, text;
        bool unchanged;
    } cases[] = {
        {"no colour on dark", Qt::black, dark, lightText, false},
        {"navy on dark", QColor(0, 0, 128), dark, lightText, false},
        {"book red on dark", QColor(192, 0, 0), dark, lightText, false},
        {"green link on dark (3.05:1)", QColor(0, 128, 0), dark, lightText, true},
        {"dark green on dark", QColor(0, 80, 0), dark, lightText, false},
        {"yellow on dark", QColor(255, 255, 0), dark, lightText, true},
        {"navy on white", QColor(0, 0, 128), light, darkText, true},
        {"teal on white", QColor(0, 128, 128), light, darkText, true},
        {"pale yellow on white", QColor(255, 255, 128), light, darkText, false},
    };
    for (const Case &c : cases) {
        const QColor got = ReadableColour(c.colour, c.background, c.text);
        EXPECT_GE(ContrastRatio(got, c.background), 3.0) << c.what;
        if (c.unchanged)
            EXPECT_EQ(got, c.colour) << c.what;
        else
            EXPECT_NE(got, c.colour) << c.what;
    }
    EXPECT_EQ(ReadableColour(Qt::black, dark, lightText), lightText) << "text with no colour takes the palette's";
    EXPECT_NEAR(ContrastRatio(Qt::black, Qt::white), 21.0, 0.01);
}

TEST_F(TolkTest, ADarkPaletteKeepsEveryCharacterReadable)
{
    QPalette dark = tolk->palette();
    dark.setColor(QPalette::Base, QColor(0x23, 0x23, 0x26));
    dark.setColor(QPalette::Text, QColor(0xe6, 0xe6, 0xe6));
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x33));
    dark.setColor(QPalette::WindowText, QColor(0xe6, 0xe6, 0xe6));
    tolk->setPalette(dark);
    tolk->BuildTolk("Рыба");
    ASSERT_EQ(tolk->RichTextBox1->Tag, "Рыба");
    const QColor base = tolk->RichTextBox1->palette().color(QPalette::Base);
    const QString built = tolk->RichTextBox1->builtText();
    const qsizetype body = built.indexOf("прибыли"); // after the dash: no colour of its own
    ASSERT_GE(body, 0);
    int checked = 0;
    for (QTextBlock b = tolk->RichTextBox1->document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.isImageFormat() || f.fontPointSize() <= 1) // the hidden markers
                continue;
            ++checked;
            EXPECT_GE(ContrastRatio(f.foreground().color(), base), 3.0) << it.fragment().text().toStdString();
        }
    EXPECT_GT(checked, 3);
    QTextCursor c(tolk->RichTextBox1->document());
    c.setPosition(tolk->RichTextBox1->toDocument(int(body)) + 1);
    EXPECT_EQ(c.charFormat().foreground().color(), QColor(0xe6, 0xe6, 0xe6)) << "body text in the palette's colour";
}
