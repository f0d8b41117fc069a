// The menu window on a recording host: keys, highlight, commands, lookup
// messages, the idle close and the close on deactivation.
#include "tray/menu/TrayMenu.h"
#include "tray/menu/TrayMenuLogic.h"

#include "appstate/AppState.h"
#include "platform/core/Messages.h"
#include "platform/ui/Session.h"
#include "support/QtPrint.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <vector>

using namespace somnex;
using namespace somnex::tray;

namespace {

// A secondary window that notes when it is closed.
class Secondary : public QWidget {
public:
    explicit Secondary(QStringList *log) : log_(log) { setAttribute(Qt::WA_DeleteOnClose); }

protected:
    void closeEvent(QCloseEvent *e) override
    {
        *log_ << "closed " + objectName();
        QWidget::closeEvent(e);
    }

private:
    QStringList *log_;
};

class TrayMenuTest : public ::testing::Test {
public:
    void SetUp() override
    {
        app() = AppState{};
        SetMessageHandler([this](const Message &m) {
            messages.push_back(m);
            return MsgResult::Ok;
        });
        for (int i = 0; i < 3; ++i) {
            secondary[i] = new Secondary(&log);
            secondary[i]->setObjectName(QString("w%1").arg(i));
            secondary[i]->show();
        }
    }
    void TearDown() override
    {
        if (menu)
            delete menu.data();
        for (auto &w : secondary)
            delete w.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetMessageHandler({});
    }
    TrayMenuHost host()
    {
        TrayMenuHost h;
        h.search = [this](const QString &t) {
            log << "search " + t;
            for (const QString &w : list)
                if (w.startsWith(t, Qt::CaseInsensitive)) {
                    selected = w;
                    break;
                }
        };
        h.selectedWord = [this] { return selected; };
        h.literatureActive = [this] { return literature; };
        h.showTolk = [this](const QString &w) { log << "tolk " + w; };
        h.listDblClick = [this] { log << "dblclick " + selected; };
        h.restore = [this] { log << "restore"; };
        h.calendar = [this] { log << "calendar"; };
        h.options = [this] { log << "options"; };
        h.about = [this] { log << "about"; };
        h.exitAsks = [this] { return asks; };
        h.exitDialog = [this] { log << "dialog"; };
        h.exitApp = [this] { log << "exit"; };
        h.secondaryWindows = [this] {
            QList<QWidget *> w;
            for (auto &p : secondary)
                if (p)
                    w << p.data();
            return w;
        };
        return h;
    }
    TrayMenu &open()
    {
        menu = new TrayMenu(host());
        menu->Timer1.stop(); // the tests tick it themselves
        menu->popupAt(QPoint(600, 500));
        return *menu;
    }
    void key(int k, const QString &text = {})
    {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
        QCoreApplication::sendEvent(menu->Text1, &press);
        if (!menu)
            return;
        QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier, text);
        QCoreApplication::sendEvent(menu->Text1, &release);
    }
    void type(const QString &s)
    {
        for (QChar c : s)
            key(Qt::Key_A, QString(c)); // the key code does not matter to the box
    }
    // Runs the deferred deletes; true when the menu is gone.
    bool closed()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return menu.isNull();
    }

    QPointer<TrayMenu> menu;
    QPointer<QWidget> secondary[3];
    QStringList log;
    std::vector<Message> messages;
    QStringList list = {"Вода", "Волк", "Ворона", "Дом"};
    QString selected = "Вода";
    bool literature = false;
    bool asks = false;
};

} // namespace

TEST_F(TrayMenuTest, OpacityFollowsMenuAlpha)
{
    struct Case {
        int alpha;
        double opacity;
    };
    for (const Case c :
         {Case{0, 1.0}, Case{255, 1.0}, Case{205, 205.0 / 255}, Case{1, 1.0 / 255}, Case{-5, 1.0}, Case{300, 1.0}}) {
        app().MenuAlpha = c.alpha;
        TrayMenu &m = open();
        m.Form_Activate();
        EXPECT_NEAR(m.windowOpacity(), c.opacity, 0.005) << c.alpha;
        delete menu.data();
    }
}

TEST_F(TrayMenuTest, ArrowKeysMoveTheHighlightAndEnterRunsThatItem)
{
    struct Case {
        std::vector<int> keys;
        int highlighted;
        const char *ran;
    };
    const Case cases[] = {
        {{}, 0, "restore"},                    // nothing chosen: the first item
        {{Qt::Key_Up}, 1, "restore"},          // Up first: the first item
        {{Qt::Key_Up, Qt::Key_Up}, 5, "exit"}, // from the first, Up wraps to the last
        {{Qt::Key_Down}, 1, "restore"},
        {{Qt::Key_Down, Qt::Key_Down}, 2, "calendar"},
        {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}, 3, "options"},
        {{Qt::Key_Up, Qt::Key_Up, Qt::Key_Up}, 4, "about"},
        {{Qt::Key_Up, Qt::Key_Up, Qt::Key_Down}, 1, "restore"}, // from the last, Down wraps to the first
    };
    for (const Case &c : cases) {
        log.clear();
        open();
        for (int k : c.keys)
            key(k);
        EXPECT_EQ(menu->highlighted(), c.highlighted) << c.ran;
        if (c.highlighted > 0) {
            const QString caption = QString::fromUtf8(tray::kMenuItems[size_t(c.highlighted - 1)].caption);
            EXPECT_EQ(menu->Text1->accessibleDescription(), "Выбран пункт «" + caption + "»; Enter выполняет его")
                << c.ran;
        }
        type("  "); // blanks only: still a command
        key(Qt::Key_Return);
        EXPECT_TRUE(log.contains(c.ran)) << c.ran << " " << log.join(", ").toStdString();
        EXPECT_TRUE(closed()) << c.ran;
    }
}

TEST_F(TrayMenuTest, CommandsCloseTheSecondaryWindowsFirstExceptRestoreAndPlainExit)
{
    struct Case {
        int order;
        bool asks;
        QStringList expected;
    };
    const QStringList unload = {"closed w0", "closed w1", "closed w2"};
    const Case cases[] = {
        {1, false, {"restore"}},
        {2, false, unload + QStringList{"calendar"}},
        {3, false, unload + QStringList{"options"}},
        {4, false, unload + QStringList{"about"}},
        {5, true, unload + QStringList{"dialog"}},
        {5, false, {"exit"}},
    };
    for (const Case &c : cases) {
        SetUp();
        log.clear();
        asks = c.asks;
        open();
        bool hiddenDuring = false;
        int idleDuring = -1;
        const auto watch = [&] {
            hiddenDuring = menu && menu->isHidden();
            // A command's window may stay up for long: the menu does not count meanwhile.
            QCursor::setPos(QPoint(5, 5));
            for (int i = 0; i < 150 && menu; ++i)
                menu->Timer1_Timer();
            idleDuring = menu ? menu->idleCount() : -1;
        };
        TrayMenuHost h = host();
        h.restore = [&, f = h.restore] {
            watch();
            f();
        };
        h.calendar = [&, f = h.calendar] {
            watch();
            f();
        };
        h.options = [&, f = h.options] {
            watch();
            f();
        };
        h.about = [&, f = h.about] {
            watch();
            f();
        };
        h.exitDialog = [&, f = h.exitDialog] {
            watch();
            f();
        };
        h.exitApp = [&, f = h.exitApp] {
            watch();
            f();
        };
        delete menu.data();
        menu = new TrayMenu(h);
        menu->Timer1.stop();
        menu->popupAt(QPoint(600, 500));
        QLabel *area = menu->Label18[kMenuItems[std::size_t(c.order - 1)].label];
        const QPoint at(10, 9);
        QMouseEvent move(QEvent::MouseMove, at, area->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(area, &move);
        EXPECT_EQ(menu->highlighted(), c.order);
        EXPECT_EQ(menu->keyboardPosition(), c.order);
        QMouseEvent press(QEvent::MouseButtonPress, at, area->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(area, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, area->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(area, &release);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(log, c.expected) << c.order << " asks " << c.asks;
        EXPECT_TRUE(hiddenDuring) << c.order;
        EXPECT_EQ(idleDuring, 0) << c.order;
        EXPECT_TRUE(closed()) << c.order;
        TearDown();
    }
}

TEST_F(TrayMenuTest, HighlightHidesOverTheWordBoxAndTheBackground)
{
    TrayMenu &m = open();
    key(Qt::Key_Down);
    ASSERT_EQ(m.highlighted(), 1);
    QMouseEvent overBox(QEvent::MouseMove, QPointF(5, 5), m.Text1->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m.Text1, &overBox);
    EXPECT_EQ(m.highlighted(), 0);
    key(Qt::Key_Down);
    EXPECT_EQ(m.highlighted(), 2);
    QMouseEvent overBackground(QEvent::MouseMove, QPointF(2, 145), m.mapToGlobal(QPointF(2, 145)), Qt::NoButton,
                               Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&m, &overBackground);
    EXPECT_EQ(m.highlighted(), 0);
}

TEST_F(TrayMenuTest, TypingCompletesAndEnterOpensTheWord)
{
    struct Case {
        bool literature;
        const char *opened;
    };
    for (const Case c : {Case{false, "dblclick Ворона"}, Case{true, "tolk Ворона"}}) {
        log.clear();
        literature = c.literature;
        open();
        type("вор");
        EXPECT_EQ(menu->Text1->text(), "ворона");
        EXPECT_EQ(menu->Text1->selectedText(), "она");
        EXPECT_EQ(log.first(), "search в");
        EXPECT_EQ(log.last(), "search вор");
        key(Qt::Key_Return);
        EXPECT_EQ(log.last(), c.opened);
        EXPECT_TRUE(messages.empty());
        EXPECT_TRUE(closed());
    }
}

TEST_F(TrayMenuTest, ADreamTypedInTheBoxIsReadWhole)
{
    menu = new TrayMenu([this] {
        TrayMenuHost h = host();
        h.looksLikeDream = [](const QString &t) { return t.count(u' ') >= 1; };
        h.interpretDream = [this](const QString &t) { log << "dream " + t; };
        return h;
    }());
    menu->Timer1.stop();
    menu->popupAt(QPoint(600, 500));
    type("ворона каркала");
    EXPECT_EQ(menu->Text1->text(), "ворона каркала") << "a dream is not completed to a headword";
    key(Qt::Key_Return);
    EXPECT_EQ(log.last(), "dream ворона каркала");
    EXPECT_TRUE(messages.empty()) << "no «not found» for a dream";
    EXPECT_TRUE(closed());
}

TEST_F(TrayMenuTest, BackspaceAndDeleteDoNotComplete)
{
    TrayMenu &m = open();
    type("во");
    ASSERT_EQ(m.Text1->text(), "вода");
    key(Qt::Key_Backspace); // removes the selected completion
    EXPECT_EQ(m.Text1->text(), "во");
    m.Text1->setCursorPosition(0);
    key(Qt::Key_Delete);
    EXPECT_EQ(m.Text1->text(), "о");
}

TEST_F(TrayMenuTest, AWordNotInTheListGetsAMessageAndTheMenuStays)
{
    const QString notDecent =
        "Извините, но такого слова нет в ZUL Somnex.\r\n"
        "Если вам действительно это приснилось, попытайтесь подобрать более благозвучный синоним.";
    const QString notFound = "Извините, но толкование по данному слову не найдено.\r\n"
                             "Попробуйте найти синонимы или однокоренные слова для искомого слова.\r\n\r\n"
                             "Вы также можете попытаться включить отключенные словари или установить дополнительные "
                             "словари с сайта программы.";
    struct Case {
        const char *typed;
        bool emptyList;
        QString text;
    };
    const Case cases[] = {
        {"ПиЗдЕц", false, notDecent}, {"  сука", false, notDecent},
        {"Жираф", false, notFound},   {"Водяной", false, notFound}, // the list keeps Вода selected
        {"Вода", true, notFound},                                   // no word list at all
    };
    for (const Case &c : cases) {
        messages.clear();
        log.clear();
        if (c.emptyList) {
            list.clear();
            selected.clear();
        }
        open();
        type(QString::fromUtf8(c.typed));
        key(Qt::Key_Return);
        ASSERT_EQ(messages.size(), 1u) << c.typed;
        EXPECT_EQ(messages[0].text, c.text) << c.typed;
        EXPECT_EQ(messages[0].icon, MsgIcon::Warning);
        EXPECT_TRUE(messages[0].title.isEmpty());
        EXPECT_FALSE(closed()) << c.typed;
        EXPECT_TRUE(menu->isVisible());
        EXPECT_FALSE(log.filter(QRegularExpression("^(tolk|dblclick)")).size()) << c.typed;
        delete menu.data();
    }
}

TEST_F(TrayMenuTest, DeactivationClosesButNotDuringAMessage)
{
    TrayMenu &m = open();
    SetMessageHandler([&](const Message &) {
        QEvent away(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(&m, &away);
        return MsgResult::Ok;
    });
    type("Жираф");
    key(Qt::Key_Return);
    EXPECT_FALSE(closed()) << "the message box took the activation";
    QEvent away(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(menu, &away);
    EXPECT_TRUE(closed());
}

TEST_F(TrayMenuTest, EscapeCloses)
{
    open();
    type("во");
    key(Qt::Key_Escape);
    EXPECT_TRUE(closed());
    EXPECT_TRUE(log.filter("tolk").isEmpty() && log.filter("dblclick").isEmpty());
}

TEST_F(TrayMenuTest, IdleCloseWithTheBoxEmptyAndThePointerOutside)
{
    struct Case {
        const char *typed;
        QPoint pointer;
        bool closes;
    };
    // The menu covers 449..600 x 350..500 (the right and bottom edges
    // included); the pointer opened it at 600,500, where the icon is taken
    // to be (584..615 x 484..515, the desktop not saying).
    const Case cases[] = {
        {"", QPoint(10, 10), true},    {"   ", QPoint(10, 10), true}, // blanks are no word
        {"в", QPoint(10, 10), false},  {"", QPoint(500, 400), false}, {"", QPoint(600, 500), false}, // on the edge
        {"", QPoint(610, 510), false},                                                               // on the icon
        {"", QPoint(616, 500), true},  {"", QPoint(449, 349), true},
    };
    for (const Case &c : cases) {
        TrayMenu &m = open();
        ASSERT_EQ(m.frameGeometry().topLeft(), QPoint(449, 350));
        type(QString::fromUtf8(c.typed));
        QCursor::setPos(c.pointer);
        ASSERT_EQ(QCursor::pos(), c.pointer);
        for (int i = 0; i < 99; ++i)
            m.Timer1_Timer();
        ASSERT_FALSE(closed()) << "99 ticks " << c.typed << " " << c.pointer.x() << "," << c.pointer.y();
        m.Timer1_Timer();
        EXPECT_EQ(closed(), c.closes) << c.typed << " " << c.pointer.x() << "," << c.pointer.y();
        if (menu)
            delete menu.data();
    }
}

TEST_F(TrayMenuTest, BelowATopPanelThePointerOnTheIconKeepsTheMenu)
{
    menu = new TrayMenu(host());
    menu->Timer1.stop();
    const QRect icon(580, 2, 24, 24); // in a top panel that reserves no space
    menu->popupAt(QPoint(590, 12), icon);
    TrayMenu &m = *menu;
    EXPECT_GT(m.frameGeometry().top(), icon.bottom()) << "opens below the panel's icon, not over it";
    QCursor::setPos(QPoint(590, 12));
    for (int i = 0; i < 300; ++i)
        m.Timer1_Timer();
    EXPECT_FALSE(closed()) << "the pointer resting on the icon";
    QCursor::setPos(QPoint(10, 700));
    for (int i = 0; i < 100; ++i)
        m.Timer1_Timer();
    EXPECT_TRUE(closed()) << "left alone elsewhere, it closes as before";
}

TEST_F(TrayMenuTest, AKeyInANonEmptyBoxAndActivationRestartTheIdleCount)
{
    TrayMenu &m = open();
    QCursor::setPos(QPoint(10, 10));
    for (int i = 0; i < 90; ++i)
        m.Timer1_Timer();
    m.Form_Activate();
    for (int i = 0; i < 90; ++i)
        m.Timer1_Timer();
    ASSERT_FALSE(closed());
    type("Жир"); // no completion: the box keeps the three letters
    m.Text1->clear();
    for (int i = 0; i < 90; ++i)
        m.Timer1_Timer();
    EXPECT_FALSE(closed()) << "the typing held the counter";
    for (int i = 0; i < 20; ++i)
        m.Timer1_Timer();
    EXPECT_TRUE(closed());
}

TEST(TrayMenuColours, ReadableOnItsOwnBackgroundUnderADarkTheme)
{
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Window, QColor(0x31, 0x36, 0x3b));
    dark.setColor(QPalette::WindowText, QColor(0xef, 0xf0, 0xf1));
    dark.setColor(QPalette::Base, QColor(0x23, 0x26, 0x29));
    dark.setColor(QPalette::Text, QColor(0xef, 0xf0, 0xf1));
    QApplication::setPalette(dark);
    {
        somnex::tray::TrayMenu menu({});
        // the menu's own background is near white: every caption is dark
        for (QLabel *l : menu.Label18)
            EXPECT_LT(l->palette().color(QPalette::WindowText).lightness(), 64) << l->text().toStdString();
        EXPECT_LT(menu.Text1->palette().color(QPalette::Text).lightness(), 64);
        EXPECT_GT(menu.Text1->palette().color(QPalette::Base).lightness(), 200);
    }
    QApplication::setPalette(before);
}

// Where the compositor places windows and the pointer is known only over our
// own (Wayland): the menu is not moved, stays opaque (a whole window cannot
// be made translucent there), and the time away from it counts only once the
// pointer has been over it.
TEST_F(TrayMenuTest, OnWaylandTheCompositorPlacesItAndThePointerMustHaveCome)
{
    struct Case {
        const char *what;
        std::vector<bool> overMenu; // per tick: the pointer is over the menu
        bool closes;
    };
    const std::vector<bool> never(100, false);
    std::vector<bool> cameAndLeft(101, false);
    cameAndLeft[0] = true;
    std::vector<bool> stays(150, true);
    const Case cases[] = {
        {"the pointer never came", never, false},
        {"it came and left", cameAndLeft, true},
        {"it stays over the menu", stays, false},
    };
    setSessionPlatformOverride(QStringLiteral("wayland"));
    app().MenuAlpha = 205;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        menu = new TrayMenu(host());
        menu->Timer1.stop();
        const QPoint before = menu->pos();
        menu->popupAt(QPoint(600, 500));
        EXPECT_EQ(menu->pos(), before);
        menu->Form_Activate();
        EXPECT_EQ(menu->windowOpacity(), 1.0);
        for (bool over : c.overMenu) {
            if (!menu)
                break;
            menu->setAttribute(Qt::WA_UnderMouse, over);
            menu->Timer1_Timer();
        }
        EXPECT_EQ(closed(), c.closes);
        if (menu)
            delete menu.data();
    }
    setSessionPlatformOverride({});
}
