// The quick-lookup menu opened from the main window's tray icon, on a book
// written in the test.
#include "appstate/AppState.h"
#include "appstate/Autostart.h"
#include "calendar/calen/Calen.h"
#include "calendar/month/MonthWindow.h"
#include "diary/DiaryStore.h"
#include "diary/seal/DiaryKey.h"
#include "diary/ui/DiaryWindow.h"
#include "dictionary/BookSource.h"
#include "options/optionsform/OptionsForm.h"
#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "reading/Tolk.h"
#include "shell/AboutBox.h"
#include "shell/Dialog.h"
#include "shell/DictionaryPanel.h"
#include "shell/Form1.h"
#include "shell/LiteraturePanel.h"
#include "shell/TraySide.h"
#include "support/FormParts.h"
#include "support/MainWindowFixture.h"
#include "support/QtPrint.h"
#include "tray/menu/TrayMenu.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace somnex;
using tray::TrayMenu;

namespace {

const QString A = AppState::App;
const QString M = AppState::Main;

class TrayMenuShellTest : public MainWindowFixture {
public:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        dictionary::BookContent b;
        b.name = b.heading = "Книга";
        for (const char *w : {"Вода", "Ворона", "Дом", "Огонь"})
            b.entries.push_back({QString::fromUtf8(w), QString::fromUtf8(w) + " во сне – к добру.", std::nullopt, 0});
        putBook("a.book", b);
        TraySide::setAvailableOverride(1);
        load();
        ASSERT_EQ(ended, 0) << messages.join("; ").toStdString();
        form->ToTray();
        ASSERT_TRUE(form->inTray());
    }
    void TearDown() override
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != form.get() && (qobject_cast<TrayMenu *>(w) || qobject_cast<AboutBox *>(w)))
                delete w;
        if (calendar::Calen *c = calendar::Calen::instance())
            c->close();
        if (options::OptionsForm *o = options::OptionsForm::instance())
            o->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        form.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        MainWindowFixture::TearDown();
    }
    static QList<TrayMenu *> menus()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QList<TrayMenu *> out;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *m = qobject_cast<TrayMenu *>(w))
                out << m;
        return out;
    }
    TrayMenu *rightClick(QPoint at = QPoint(700, 600))
    {
        QCursor::setPos(at);
        form->trayMouseDown(TraySide::kRightButton);
        const QList<TrayMenu *> m = menus();
        EXPECT_EQ(m.size(), 1);
        if (m.isEmpty())
            return nullptr;
        m[0]->Timer1.stop();
        return m[0];
    }
    static void key(TrayMenu *m, int k, const QString &text = {})
    {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
        QCoreApplication::sendEvent(m->Text1, &press);
        QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier, text);
        QCoreApplication::sendEvent(m->Text1, &release);
    }
    static void type(TrayMenu *m, const QString &s)
    {
        for (QChar c : s)
            key(m, Qt::Key_A, QString(c));
    }
    // Runs the item at a screen position with the keyboard.
    static void choose(TrayMenu *m, int order)
    {
        for (int i = 0; i < order; ++i)
            key(m, Qt::Key_Down);
        key(m, Qt::Key_Return);
    }
    static AboutBox *aboutBox()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *a = qobject_cast<AboutBox *>(w); a && a->isVisible())
                return a;
        return nullptr;
    }
};

} // namespace

TEST_F(TrayMenuShellTest, RightClickOpensOneMenuTopmostAtThePointer)
{
    TrayMenu *m = rightClick(QPoint(700, 600));
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->isVisible());
    EXPECT_TRUE(m->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(m->frameGeometry().bottomRight() + QPoint(1, 1), QPoint(700, 600));
    EXPECT_EQ(m->size(), QSize(151, 196))
        << "the border shape, 2265 x 2250 twips, the diary's row of 360 and the month's of 330";
    EXPECT_EQ(m->Text1->toolTip(), "Введите искомое слово.");
    TrayMenu *again = rightClick(QPoint(650, 640));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->frameGeometry().bottomRight() + QPoint(1, 1), QPoint(650, 640));
    EXPECT_TRUE(again->Text1->text().isEmpty()) << "starts afresh";
    form->trayMouseDown(TraySide::kLeftButton);
    EXPECT_FALSE(form->inTray());
}

TEST_F(TrayMenuShellTest, WriteADreamOpensTheDiaryOnANewDream)
{
    struct Case {
        const char *how;
        std::function<void(TrayMenu *)> act;
    };
    const Case cases[] = {
        {"a click on the row", [](TrayMenu *m) { m->DiaryClick(); }},
        {"Ctrl+N in the word box",
         [](TrayMenu *m) {
             QKeyEvent press(QEvent::KeyPress, Qt::Key_N, Qt::ControlModifier);
             QCoreApplication::sendEvent(m->Text1, &press);
         }},
    };
    for (const Case &c : cases) {
        TrayMenu *m = rightClick();
        ASSERT_TRUE(m);
        ASSERT_TRUE(m->diaryArea);
        EXPECT_EQ(m->diaryArea->text(), "Записать сон…");
        QPointer<TrayMenu> guard(m);
        c.act(m);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(guard.isNull() || !guard->isVisible()) << c.how << ": the menu closes";
        diary::DiaryWindow *d = diary::DiaryWindow::instance();
        ASSERT_TRUE(d) << c.how;
        EXPECT_TRUE(d->isVisible());
        EXPECT_TRUE(d->shownId().isEmpty()) << c.how << ": a new dream";
        EXPECT_TRUE(form->inTray()) << c.how << ": the main window stays in the tray";
        d->close();
        delete d;
    }
}

// The month's row opens the month window from the tray; the menu closes and
// the main window stays where it was.
TEST_F(TrayMenuShellTest, TheMonthsRowOpensTheMonthWindow)
{
    TrayMenu *m = rightClick();
    ASSERT_TRUE(m);
    ASSERT_TRUE(m->monthArea);
    EXPECT_EQ(m->monthArea->text(), "Лунный календарь на месяц");
    EXPECT_GT(m->monthArea->geometry().top(), m->diaryArea->geometry().bottom());
    QPointer<TrayMenu> guard(m);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(20, 5), m->monthArea->mapToGlobal(QPointF(20, 5)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m->monthArea, &release);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull() || !guard->isVisible()) << "the menu closes";
    calendar::MonthWindow *w = calendar::MonthWindow::instance();
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->isVisible());
    w->waitForMonth();
    ASSERT_TRUE(w->shownMonth());
    EXPECT_EQ(w->shownMonth()->month, QDate::currentDate().month());
    EXPECT_TRUE(form->inTray());
    delete w;
}

// "Закрыть дневник" is offered only while a private diary is open, and
// takes its window (and with it the key) away.
TEST_F(TrayMenuShellTest, ThePrivateDiarysRowClosesIt)
{
    diary::DiaryWindow *d = form->writeNewDream();
    ASSERT_TRUE(d && d->store());
    TrayMenu *m = rightClick();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->lockArea, nullptr) << "a plain diary has nothing to close";
    m->close();

    const diary::KeyCost cheap{1, 8192};
    d->store()->protect("пароль", &cheap);
    QPointer<diary::DiaryWindow> window(d);
    m = rightClick();
    ASSERT_TRUE(m);
    ASSERT_TRUE(m->lockArea);
    EXPECT_EQ(m->lockArea->text(), "Закрыть дневник");
    EXPECT_GT(m->lockArea->geometry().top(), m->monthArea->geometry().bottom());
    QPointer<TrayMenu> guard(m);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(20, 5), m->lockArea->mapToGlobal(QPointF(20, 5)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m->lockArea, &release);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull() || !guard->isVisible()) << "the menu closes";
    EXPECT_TRUE(window.isNull()) << "the diary's window went, and its key with it";
    EXPECT_EQ(diary::DiaryWindow::instance(), nullptr);
    EXPECT_TRUE(form->inTray());
}

TEST_F(TrayMenuShellTest, TypedWordCompletesFromTheMainListAndOpensItsInterpretation)
{
    struct Case {
        bool literature;
        bool owned;
    };
    for (const Case c : {Case{false, true}, Case{true, false}}) {
        app().LiteratureActive = c.literature;
        TrayMenu *m = rightClick();
        ASSERT_TRUE(m);
        type(m, "вор");
        EXPECT_EQ(m->Text1->text(), "ворона");
        EXPECT_EQ(m->Text1->selectedText(), "она");
        EXPECT_EQ(part<QLineEdit>(*form, "Text1")->text(), "вор") << "the search box took the typed text";
        EXPECT_EQ(part<DictionaryPanel>(*form, "Picture2")->selectedWord(), "Ворона");
        key(m, Qt::Key_Return);
        EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
        ASSERT_TRUE(form->tolk()) << c.literature;
        EXPECT_TRUE(form->tolk()->isVisible());
        EXPECT_EQ(form->tolk()->RichTextBox1->Tag, "Ворона");
        EXPECT_EQ(form->tolk()->parentWidget() != nullptr, c.owned) << c.literature;
        EXPECT_EQ(part<QAction>(*form, "Tolk")->isChecked(), !c.literature);
        EXPECT_TRUE(menus().isEmpty());
        form->tolk()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        part<QAction>(*form, "Tolk")->setChecked(false);
    }
}

TEST_F(TrayMenuShellTest, RestoreBringsTheWindowBackWithTheSelectionInView)
{
    TrayMenu *m = rightClick();
    ASSERT_TRUE(m);
    part<DictionaryPanel>(*form, "Picture2")->selectItem(4);
    key(m, Qt::Key_Return); // nothing chosen: the first item
    EXPECT_FALSE(form->inTray());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(part<DictionaryPanel>(*form, "Picture2")->selectedWord(), "Огонь");
    EXPECT_TRUE(menus().isEmpty());
}

TEST_F(TrayMenuShellTest, WindowItemsCloseTheOthersAndOpenTheirOwnModeless)
{
    TrayMenu *m = rightClick();
    ASSERT_TRUE(m);
    choose(m, 4);
    AboutBox *about = aboutBox();
    ASSERT_TRUE(about);
    EXPECT_FALSE(about->isModal());
    QPointer<AboutBox> aboutGuard(about);

    m = rightClick();
    ASSERT_TRUE(m);
    choose(m, 2);
    calendar::Calen *c = calendar::Calen::instance();
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->isVisible());
    EXPECT_EQ(c->parentWidget(), form.get());
    EXPECT_TRUE(part<QAction>(*form, "Calen")->isChecked());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(aboutGuard.isNull() || !aboutGuard->isVisible()) << "the about box was closed first";

    m = rightClick();
    ASSERT_TRUE(m);
    choose(m, 3);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(calendar::Calen::instance()) << "the calendar was closed first";
    EXPECT_FALSE(part<QAction>(*form, "Calen")->isChecked());
    options::OptionsForm *o = options::OptionsForm::instance();
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->isVisible());
    EXPECT_FALSE(o->isModal());
    EXPECT_EQ(o->TabStrip1->currentIndex(), 0) << "the first page";
    EXPECT_TRUE(menus().isEmpty());
    EXPECT_EQ(ended, 0);
}

TEST_F(TrayMenuShellTest, ExitAsksOnlyWithAutostartAndNoStandingAnswer)
{
    struct Case {
        bool autostart;
        const char *unloadQ;
        bool asks;
    };
    const Case cases[] = {{true, "0", true}, {true, "1", false}, {false, "0", false}};
    for (const Case &c : cases) {
        SetAutostart(c.autostart);
        SaveSetting(A, M, "UnloadQ", c.unloadQ);
        ended = 0;
        app().Exiting = false;
        TrayMenu *m = rightClick();
        ASSERT_TRUE(m);
        choose(m, 2); // a calendar open behind the menu
        ASSERT_TRUE(calendar::Calen::instance());
        m = rightClick();
        ASSERT_TRUE(m);
        int asked = 0;
        bool calendarOpenWhileAsking = true;
        QTimer::singleShot(0, [&] {
            if (auto *d = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
                ++asked;
                calendarOpenWhileAsking = calendar::Calen::instance() && calendar::Calen::instance()->isVisible();
                d->Command2_Click();
            }
        });
        choose(m, 5);
        QCoreApplication::processEvents();
        EXPECT_EQ(asked, c.asks ? 1 : 0) << c.autostart << c.unloadQ;
        EXPECT_EQ(ended, c.asks ? 0 : 1) << c.autostart << c.unloadQ;
        if (c.asks) {
            EXPECT_FALSE(calendarOpenWhileAsking) << "secondary windows closed before asking";
        }
        EXPECT_TRUE(menus().isEmpty());
        if (calendar::Calen *cal = calendar::Calen::instance())
            cal->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (!c.asks) {
            // The exit closed the main window; load it again for the next case.
            form.reset();
            app() = AppState{};
            form = std::make_unique<Form1>();
            form->Form_Load();
            form->ToTray();
        }
    }
    SetAutostart(false);
}
