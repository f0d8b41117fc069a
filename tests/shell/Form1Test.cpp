#include "appstate/AppState.h"
#include "appstate/Autostart.h"
#include "astro/mPublicVars.h"
#include "calendar/calen/Calen.h"
#include "dictionary/BookSource.h"
#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "platform/core/Twips.h"
#include "shell/AboutBox.h"
#include "shell/Dialog.h"
#include "shell/DictionaryPanel.h"
#include "shell/Form1.h"
#include "shell/LiteraturePanel.h"
#include "shell/Startup.h"
#include "shell/TraySide.h"
#include "support/FormParts.h"
#include "support/MainWindowFixture.h"
#include "tray/TrayArea.h"
#include "tray/menu/TrayMenu.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QRadioButton>
#include <QScreen>
#include <QSessionManager>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include "support/QtPrint.h"

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

using namespace somnex;

namespace {

const QString A = AppState::App, M = AppState::Main;

class Form1Test : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        // one small dream book in a data folder of the test's own
        bookPath = share.writeBook("a.book", {"Вода", "Дом", "Огонь"});
        app().ObserverLatitude = app().ObserverLongitude = -1; // must come from the load
        TraySide::setAvailableOverride(1);
    }

    QString bookPath;
};

} // namespace

TEST_F(Form1Test, FreshProfileDefaults)
{
    Form1 &f = load();
    // 4100 x 6100 twips at the design font, grown with the running one
    EXPECT_GE(Form1::fontScale(), 1.0);
    EXPECT_EQ(f.width(), TwipsToPixels(4100 * Form1::fontScale()));
    EXPECT_EQ(f.height(), TwipsToPixels(6100 * Form1::fontScale()));
    const QRect screen = f.screen()->availableGeometry();
    EXPECT_NEAR(f.x() + f.width() / 2.0, screen.width() / 2.0, 2);
    EXPECT_NEAR(f.y() + f.height() / 2.0, screen.height() / 2.0, 2);
    EXPECT_TRUE(part<QAction>(f, "reportView")->isChecked()) << "report view by default";
    EXPECT_FALSE(app().CloseToTray);
    EXPECT_EQ(app().MenuAlpha, 205);
    EXPECT_DOUBLE_EQ(app().ObserverLatitude, 55.75) << "Москва, 55°45' N";
    EXPECT_DOUBLE_EQ(app().ObserverLongitude, 37.5833) << "37°35' E";
    EXPECT_EQ(f.windowTitle(), "Сонник ZUL Somnex 3.2.144");
    EXPECT_EQ(f.minimumSize(), QSize(0, 0)) << "the test binary is not named somnex";
    EXPECT_FALSE(QFile::exists(settingsFilePath())) << "loading writes nothing";
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Form1Test, StoredBooleansAndModes)
{
    struct Case {
        const char *toTray;
        bool closeToTray;
        const char *listMode;
        bool report;
    };
    const Case cases[] = {
        {"False", false, "1", true}, {"0", false, "0", false},     {"True", true, "7", false},
        {"1", true, "abc", true},    {"junk", false, "1.0", true},
    };
    for (const auto &c : cases) {
        SaveSetting(A, M, "ToTray", c.toTray);
        SaveSetting(A, M, "ListMode", c.listMode);
        app() = AppState{};
        Form1 &f = load();
        EXPECT_EQ(app().CloseToTray, c.closeToTray) << c.toTray;
        EXPECT_EQ(part<QAction>(f, "reportView")->isChecked(), c.report) << c.listMode;
        EXPECT_EQ(part<QAction>(f, "listView")->isChecked(), !c.report) << c.listMode;
    }
}

TEST_F(Form1Test, OrderlyExitStoresStateOnceAndOnlyInTheNormalState)
{
    Form1 &f = load();
    f.show();
    f.move(120, 90);
    f.resize(300, 420);
    part<QAction>(f, "listView")->trigger();
    ExitApp(ExitMode::StoreState);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(GetSetting(A, M, "Width"), "4500");
    EXPECT_EQ(GetSetting(A, M, "Height"), "6300");
    EXPECT_EQ(GetSetting(A, M, "Left"), "1800");
    EXPECT_EQ(GetSetting(A, M, "Top"), "1350");
    EXPECT_EQ(GetSetting(A, M, "ListMode"), "0");
    EXPECT_TRUE(f.isHidden());
    ExitApp(ExitMode::StoreState); // a second exit does nothing more
    EXPECT_EQ(ended, 1);

    // Quitting while maximised keeps the previous geometry.
    app() = AppState{};
    Form1 &g = load();
    g.showMaximized();
    ExitApp(ExitMode::StoreState);
    EXPECT_EQ(GetSetting(A, M, "Width"), "4500");
    EXPECT_EQ(GetSetting(A, M, "Top"), "1350");
}

TEST_F(Form1Test, FastExitStoresNothing)
{
    Form1 &f = load();
    f.show();
    ExitApp(ExitMode::Fast);
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(QFile::exists(settingsFilePath()));
}

TEST_F(Form1Test, ClosingGoesToTheTrayOrExits)
{
    Form1 &f = load();
    f.show();
    app().CloseToTray = true;
    f.close();
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(f.inTray());
    EXPECT_TRUE(f.isHidden());
    EXPECT_TRUE(part<tray::TrayArea>(f, "Tray1")->isVisible());

    part<tray::TrayArea>(f, "Tray1")->dispatch(513); // left button on the tray icon
    EXPECT_FALSE(f.inTray());
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(part<tray::TrayArea>(f, "Tray1")->isVisible());

    app().CloseToTray = false;
    f.close();
    EXPECT_EQ(ended, 1);
}

TEST_F(Form1Test, WithoutANotificationAreaTheWindowIsNotLost)
{
    TraySide::setAvailableOverride(0);
    Form1 &f = load();
    f.show();
    f.ToTray();
    EXPECT_FALSE(f.inTray());
    EXPECT_FALSE(f.isHidden());
    EXPECT_FALSE(part<tray::TrayArea>(f, "Tray1")->isVisible());
}

TEST_F(Form1Test, AdminCommandSendsTheWindowToTheTray)
{
    SaveSetting(A, M, "AdminCommands", "Foo;Go_to_tray;Bar;");
    Form1 &f = load();
    EXPECT_TRUE(f.inTray());
    SaveSetting(A, M, "AdminCommands", "Go_to_tray");
    app() = AppState{};
    EXPECT_FALSE(load().inTray()) << "a command needs its ';'";
}

TEST_F(Form1Test, PanelsSwitchAndTheClosedOneKeepsItsHeight)
{
    SaveSetting(A, AppState::Books, bookPath, "0"); // no word in the list
    Form1 &f = load();
    f.show();
    EXPECT_FALSE(f.literatureOpen());
    EXPECT_EQ(part<QWidget>(f, "Picture3")->height(), 330 / 15);
    f.Image4_Click();
    EXPECT_TRUE(f.literatureOpen());
    EXPECT_FALSE(part<QLineEdit>(f, "Text1")->isEnabled());
    for (int h : {400, 520, 700}) {
        f.resize(300, h);
        EXPECT_EQ(part<QWidget>(f, "Picture2")->height(), 330 / 15) << h;
        EXPECT_EQ(part<QWidget>(f, "Picture2")->y() + part<QWidget>(f, "Picture2")->height(),
                  part<QWidget>(f, "StatusBar1")->y())
            << h;
        EXPECT_TRUE(part<QTreeWidget>(f, "TreeView1")->isVisible());
    }
    f.Image5_Click();
    EXPECT_FALSE(f.literatureOpen());
    EXPECT_EQ(part<QWidget>(f, "Picture3")->height(), 330 / 15);
    EXPECT_FALSE(part<QLineEdit>(f, "Text1")->isEnabled()) << "an empty word list keeps the search box disabled";
    EXPECT_FALSE(part<QAction>(f, "Tolk")->isEnabled());
}

TEST_F(Form1Test, ShortcutsNeedTheInterpretationButton)
{
    Form1 &f = load();
    part<QAction>(f, "Tolk")->setEnabled(true);
    part<QAction>(f, "Tolk")->setChecked(true);
    EXPECT_TRUE(f.Form_KeyDown(Qt::Key_Escape, Qt::NoModifier));
    EXPECT_FALSE(part<QAction>(f, "Tolk")->isChecked());
    EXPECT_FALSE(f.Form_KeyDown(Qt::Key_Escape, Qt::NoModifier)) << "released already";
    EXPECT_TRUE(f.Form_KeyDown(Qt::Key_M, Qt::ControlModifier));
    EXPECT_TRUE(f.Form_KeyDown(Qt::Key_O, Qt::ControlModifier));
    EXPECT_FALSE(f.Form_KeyDown(Qt::Key_M, Qt::NoModifier));
    part<QAction>(f, "Tolk")->setEnabled(false);
    EXPECT_FALSE(f.Form_KeyDown(Qt::Key_M, Qt::ControlModifier));
    EXPECT_FALSE(f.Form_KeyDown(Qt::Key_O, Qt::ControlModifier));
}

TEST_F(Form1Test, SplashClosesAtTheFirstTick)
{
    Form1 &f = load();
    auto *splash = new QWidget;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();
    QPointer<QWidget> guard(splash);
    f.setSplash(splash);
    app().FirstActivation = true;
    f.Form_Activate();
    EXPECT_TRUE(part<QTimer>(f, "Timer2")->isActive());
    f.Timer2_Timer();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull() || !guard->isVisible());
    f.Timer2_Timer(); // later ticks find no splash
}

// The splash picture is drawn on a thread from the splash's making; asked
// for at the scale it was drawn for or another, it is the artwork with the
// version line, at that scale. A splash closed before it is painted waits for
// its drawing.
TEST(Splash, ItsPictureAtAnyScaleHoldsTheArtworkAndTheVersion)
{
    delete new Splash; // never painted
    Splash splash;
    for (qreal dpr : {1.0, 2.0, 1.0}) {
        const QImage pic = splash.picture(dpr).toImage();
        ASSERT_EQ(pic.size(), QSize(420, 260) * dpr) << dpr;
        EXPECT_EQ(pic.devicePixelRatio(), dpr);
        EXPECT_EQ(pic.pixelColor(0, 0).alpha(), 0) << "rounded corners are see-through";
        EXPECT_EQ(pic.pixelColor(QPoint(20, 40) * dpr).alpha(), 255) << "the night sky";
        // the version line, right-aligned at the foot, in its pale blue
        int versionPixels = 0;
        for (int y = int(226 * dpr); y < int(250 * dpr); ++y)
            for (int x = int(220 * dpr); x < int(396 * dpr); ++x) {
                const QColor c = pic.pixelColor(x, y);
                versionPixels += c.red() > 0xb0 && c.green() > 0xb0 && c.blue() > 0xd0;
            }
        EXPECT_GT(versionPixels, 20 * dpr) << dpr;
    }
}

TEST_F(Form1Test, ExitDialogOptions)
{
    Form1 &f = load();
    f.show();
    SetAutostart(true);
    SaveSetting(A, M, "ToTray", "True");
    {
        Dialog d;
        EXPECT_TRUE(d.Option1[0]->isChecked());
        d.Check1->setChecked(false);
        d.Command1_Click();
    }
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(IsAutostart()) << "the first option keeps the autostart entry";
    EXPECT_EQ(GetSetting(A, M, "ToTray"), "True");
    EXPECT_EQ(GetSetting(A, M, "UnloadQ"), "0");

    app() = AppState{};
    load().show();
    {
        Dialog d;
        d.Option1[1]->setChecked(true);
        d.Check1->setChecked(true);
        d.Command1_Click();
    }
    EXPECT_EQ(ended, 2);
    EXPECT_FALSE(IsAutostart());
    EXPECT_EQ(GetSetting(A, M, "ToTray"), "False");
    EXPECT_EQ(GetSetting(A, M, "UnloadQ"), "1");

    app() = AppState{};
    load();
    {
        Dialog d;
        d.Option1[1]->setChecked(true);
        d.Command2_Click();
    }
    EXPECT_EQ(ended, 2) << "cancel quits nothing";
}

TEST_F(Form1Test, QuittingFromTheTrayAsksOnlyWhenItShould)
{
    Form1 &f = load();
    int asked = 0;
    auto answerCancel = [&] {
        QTimer::singleShot(0, [&] {
            if (auto *d = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
                ++asked;
                d->Command2_Click();
            }
        });
    };
    // autostart on, never answered: asks
    SetAutostart(true);
    answerCancel();
    QuitFromTray(&f);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ended, 0);
    // "do not ask again" stored: quits at once
    SaveSetting(A, M, "UnloadQ", "1");
    QuitFromTray(&f);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ended, 1);
    // no autostart entry: quits at once
    app() = AppState{};
    Form1 &g = load();
    SaveSetting(A, M, "UnloadQ", "0");
    SetAutostart(false);
    QuitFromTray(&g);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ended, 2);
}

TEST_F(Form1Test, TheCalendarOpensOnceEvenWhenAskedAgainWhileLoading)
{
    Form1 &f = load();
    f.show();
    // A second click arrives while the first calendar still computes on its
    // worker.
    int asked = 0;
    QTimer::singleShot(0, &f, [&] {
        ++asked;
        f.Toolbar1_ButtonClick("Calen");
    });
    f.Toolbar1_ButtonClick("Calen");
    ASSERT_TRUE(calendar::Calen::instance());
    QCoreApplication::processEvents();
    calendar::Calen::instance()->waitForAnswer();
    EXPECT_EQ(asked, 1);
    int calendars = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        calendars += qobject_cast<calendar::Calen *>(w) != nullptr && !w->isHidden();
    EXPECT_EQ(calendars, 1);
    ASSERT_TRUE(calendar::Calen::instance());
    EXPECT_TRUE(part<QAction>(f, "Calen")->isChecked());
    calendar::Calen::instance()->close();
    EXPECT_FALSE(part<QAction>(f, "Calen")->isChecked()) << "closing the calendar releases the button";
}

TEST_F(Form1Test, QuittingFromTheTrayStoresTheLastNormalGeometry)
{
    Form1 &f = load();
    f.show();
    f.move(120, 90);
    f.resize(300, 420);
    f.ToTray();
    ASSERT_TRUE(f.inTray());
    ExitApp(ExitMode::StoreState);
    EXPECT_EQ(GetSetting(A, M, "Width"), "4500");
    EXPECT_EQ(GetSetting(A, M, "Height"), "6300");
    EXPECT_EQ(GetSetting(A, M, "Left"), "1800");
    EXPECT_EQ(GetSetting(A, M, "Top"), "1350");

    // Started in the tray and never shown: the loaded geometry is kept as it was.
    app() = AppState{};
    Form1 &g = load();
    g.toTrayAtStart();
    ExitApp(ExitMode::StoreState);
    EXPECT_EQ(GetSetting(A, M, "Width"), "4500");
    EXPECT_EQ(GetSetting(A, M, "Left"), "1800");
}

TEST_F(Form1Test, TheSessionsEndStoresTheStateOnce)
{
    Form1 &f = load();
    f.show();
    f.resize(300, 420);
    part<QAction>(f, "listView")->trigger();
    f.ToTray();
    const auto watch = WatchSessionEnd();
#ifndef QT_NO_SESSIONMANAGER
    // The session manager asks to save. The request's manager cannot be made
    // outside Qt; the handler never looks at it.
    alignas(QSessionManager) unsigned char manager[sizeof(QSessionManager)] = {};
    emit qGuiApp->commitDataRequest(*reinterpret_cast<QSessionManager *>(manager));
    EXPECT_EQ(GetSetting(A, M, "ListMode"), "0");
    EXPECT_EQ(GetSetting(A, M, "Width"), "4500");
    // Then the application quits: nothing is stored a second time.
    part<QAction>(f, "reportView")->trigger();
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    qApp->exec();
    EXPECT_EQ(GetSetting(A, M, "ListMode"), "0") << "stored once";
    EXPECT_EQ(ended, 0) << "saving for the session does not end the run";
#endif

    // Without the request, quitting alone stores.
    app() = AppState{};
    Form1 &g = load();
    part<QAction>(g, "listView")->trigger();
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    qApp->exec();
    EXPECT_EQ(GetSetting(A, M, "ListMode"), "0");
}

TEST_F(Form1Test, TerminationSignalsRunTheOrderlyExit)
{
    for (int sig : {SIGTERM, SIGHUP}) {
        app() = AppState{};
        QFile::remove(settingsFilePath());
        ended = 0;
        Form1 &f = load();
        part<QAction>(f, "listView")->trigger();
        f.ToTray();
        const auto watch = WatchSessionEnd();
        ::raise(sig);
        for (int i = 0; i < 50 && ended == 0; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_EQ(ended, 1) << sig;
        EXPECT_EQ(GetSetting(A, M, "ListMode"), "0") << sig;
    }
}

TEST_F(Form1Test, StartedInTheTrayItWaitsForTheNotificationArea)
{
    // The panel comes up after a few seconds.
    TraySide::setAvailableOverride(0);
    Form1 &f = load();
    f.toTrayAtStart();
    EXPECT_TRUE(f.isHidden());
    EXPECT_FALSE(f.inTray());
    EXPECT_TRUE(part<QTimer>(f, "trayRetry")->isActive());
    EXPECT_EQ(part<QTimer>(f, "trayRetry")->interval(), 1000);
    for (int i = 0; i < 5; ++i)
        part<TraySide>(f, "TraySide")->retryTick();
    EXPECT_TRUE(f.isHidden());
    TraySide::setAvailableOverride(1);
    part<TraySide>(f, "TraySide")->retryTick();
    EXPECT_TRUE(f.inTray());
    EXPECT_TRUE(part<tray::TrayArea>(f, "Tray1")->isVisible());
    EXPECT_FALSE(part<QTimer>(f, "trayRetry")->isActive());

    // No panel at all: after 30 s the window is there, minimised.
    app() = AppState{};
    TraySide::setAvailableOverride(0);
    Form1 &g = load();
    g.toTrayAtStart();
    for (int i = 0; i < 29; ++i)
        part<TraySide>(g, "TraySide")->retryTick();
    EXPECT_TRUE(g.isHidden()) << "still waiting at 29 s";
    part<TraySide>(g, "TraySide")->retryTick();
    EXPECT_FALSE(g.isHidden());
    EXPECT_TRUE(g.isMinimized());
    EXPECT_FALSE(part<QTimer>(g, "trayRetry")->isActive());
}

TEST_F(Form1Test, TheSplashClosesWhenTheWindowGoesToTheTrayAtLoad)
{
    SaveSetting(A, M, "AdminCommands", "Go_to_tray;");
    auto *splash = new QWidget;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();
    QPointer<QWidget> guard(splash);
    app().FirstActivation = true;
    form = std::make_unique<Form1>();
    form->setSplash(splash);
    form->Form_Load();
    ASSERT_TRUE(form->inTray());
    EXPECT_TRUE(part<QTimer>(*form, "Timer2")->isActive()) << "the splash waits for its tick as usual";
    form->Timer2_Timer();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull() || !guard->isVisible());
}

TEST_F(Form1Test, TheReturnFromTheTrayClosesTheAboutBoxOfTheTrayMenu)
{
    Form1 &f = load();
    f.ToTray();
    f.trayMouseDown(TraySide::kRightButton);
    tray::TrayMenu *menu = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *m = qobject_cast<tray::TrayMenu *>(w); m && m->isVisible())
            menu = m;
    ASSERT_NE(menu, nullptr);
    menu->Label18_Click(4); // "О программе"
    QWidget *about = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<AboutBox *>(w) && w->isVisible())
            about = w;
    ASSERT_NE(about, nullptr);
    QPointer<QWidget> guard(about);
    f.trayMouseDown(TraySide::kLeftButton);
    EXPECT_FALSE(f.inTray());
    EXPECT_TRUE(guard.isNull() || !guard->isVisible());
}

TEST_F(Form1Test, TheAboutBoxLinkWithoutABrowserTellsTheUser)
{
    auto &opener = AboutBox::urlOpener();
    const auto saved = opener;
    QStringList opened;
    struct Case {
        bool opens;
        int boxes;
    };
    for (const Case c : {Case{true, 0}, Case{false, 1}}) {
        messages.clear();
        boxes.clear();
        QGuiApplication::clipboard()->clear();
        opener = [&](const QString &url) {
            opened << url;
            return c.opens;
        };
        AboutBox about;
        about.openHomePage();
        EXPECT_EQ(opened.last(), AboutBox::homePage());
        ASSERT_EQ(int(boxes.size()), c.boxes);
        if (c.boxes) {
            EXPECT_TRUE(messages[0].startsWith("Не удалось открыть страницу: в системе не найден веб-браузер."));
            EXPECT_TRUE(messages[0].endsWith(AboutBox::homePage()));
            EXPECT_EQ(boxes[0].title, "О программе");
            EXPECT_EQ(QGuiApplication::clipboard()->text(), AboutBox::homePage()) << "ready to paste";
        }
    }
    opener = saved;
}

TEST_F(Form1Test, AnAutostartEntryThatCannotBeRemovedIsReported)
{
    Form1 &f = load();
    f.show();
    SetAutostart(true);
    // What stands in the entry's place cannot be removed (not even by root).
    const QString entry = profile.path() + "/autostart/ZULSomnex3.desktop";
    ASSERT_TRUE(QFile::remove(entry));
    ASSERT_TRUE(QDir().mkpath(entry + "/inside"));
    SaveSetting(A, M, "ToTray", "True");
    {
        Dialog d;
        d.Option1[1]->setChecked(true);
        d.Command1_Click();
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].startsWith("Не удалось отключить автозапуск ZUL Somnex 3:\n"))
            << messages[0].toStdString();
        EXPECT_EQ(ended, 0) << "the choice stays open";
        EXPECT_EQ(GetSetting(A, M, "ToTray"), "True");
    }
    QDir(entry).removeRecursively();
}

TEST_F(Form1Test, TheExitDialogSpeaksOfTheDesktopSession)
{
    Dialog d;
    EXPECT_EQ(d.Option1[0]->text(), "Завершить, но автоматически запустить при следующем входе в систему");
    EXPECT_EQ(d.Option1[1]->text(), "Закрыть, и отключить автозапуск при входе в систему");
}
