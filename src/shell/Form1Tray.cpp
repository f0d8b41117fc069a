// The main window's notification-area side: the icon's clicks and its
// quick-lookup menu, going to the tray and coming back, and quitting from it.
#include "shell/Form1.h"

#include "appstate/Autostart.h"
#include "calendar/calen/Calen.h"
#include "diary/DiaryStore.h"
#include "diary/ui/DiaryWindow.h"
#include "options/optionsform/OptionsForm.h"
#include "platform/core/Settings.h"
#include "platform/error/Error.h"
#include "shell/AboutBox.h"
#include "shell/Dialog.h"
#include "shell/DictionaryPanel.h"
#include "shell/HeaderBar.h"
#include "shell/TraySide.h"
#include "tray/menu/TrayMenu.h"

#include <QCursor>
#include <QTimer>
#include <QWindow>

namespace somnex {

void Form1::trayMouseDown(short button)
{
    if (button == TraySide::kLeftButton)
        FromTray();
    else if (button == TraySide::kRightButton)
        trayMenu();
}

namespace {

// The about box the quick-lookup menu opened, while it is open.
QPointer<AboutBox> &trayAbout()
{
    static QPointer<AboutBox> about;
    return about;
}

} // namespace

// The windows the quick-lookup menu opens.
void Form1::trayMenuWindows(tray::TrayMenuHost &host)
{
    host.calendar = [this] { Toolbar1_ButtonClick(toolbarKey::Calen); };
    host.diary = [this] { writeNewDream(); };
    host.month = [this] { openMonth(); };
    // a private diary open in its window can be closed from here
    if (diary::DiaryWindow *w = diary::DiaryWindow::instance(); w && w->store() && w->store()->isPrivate())
        host.lockDiary = [] {
            if (diary::DiaryWindow *open = diary::DiaryWindow::instance())
                open->lockPrivate();
        };
    host.options = [this] {
        registerSecondaryWindow(options::OptionsForm::open(options::OptionsTab::General, Qt::NonModal, this));
    };
    host.about = [this] {
        QPointer<AboutBox> &about = trayAbout();
        if (!about) {
            about = new AboutBox(this);
            about->setAttribute(Qt::WA_DeleteOnClose);
            registerSecondaryWindow(about); // the return from the tray closes it
        }
        about->show();
        about->raise();
    };
}

// The quick-lookup menu. One at a time; a new right click starts afresh.
void Form1::trayMenu()
{
    static QPointer<tray::TrayMenu> menu;
    if (menu)
        menu->close();
    tray::TrayMenuHost host;
    host.search = [this](const QString &text) { dictionary_->setSearchText(text); };
    host.selectedWord = [this] { return dictionary_->selectedWord(); };
    host.bestMatch = [this](const QString &text) { return dictionary_->bestMatch(text); };
    host.looksLikeDream = [this](const QString &text) { return LooksLikeDream(text, dictionary_->words()); };
    host.interpretDream = [this](const QString &text) { interpretDream(text); };
    host.literatureActive = [] { return app().LiteratureActive; };
    host.showTolk = [this](const QString &word) {
        if (Tolk *tolk = ensureTolk(nullptr)) {
            tolk->show();
            tolk->raise();
            tolk->ShowWord(word, QStringLiteral("TrayMenu"));
        }
    };
    host.listDblClick = [this] { interpretSelection(); };
    host.restore = [this] {
        FromTray();
        dictionary_->SetVisible(dictionary_->selectedItem());
    };
    trayMenuWindows(host);
    host.exitAsks = [] {
        return GetSettingInt(settings::kApp, settings::kMain, settings::key::UnloadQ, 0) != 1 && IsAutostart();
    };
    host.exitDialog = [this] {
        Dialog d(this);
        d.exec();
    };
    host.exitApp = [] { ExitApp(ExitMode::StoreState); };
    host.secondaryWindows = [this] {
        QList<QWidget *> w;
        w << trayAbout().data();
        options::OptionsForm *o = options::OptionsForm::instance();
        w << (o ? static_cast<QWidget *>(o->cityDirectory()) : nullptr) << o << calendar::Calen::instance()
          << calendar::MonthWindow::instance() << tolk_.data();
        w.removeAll(nullptr);
        return w;
    };
    menu = new tray::TrayMenu(std::move(host));
    menu->popupAt(QCursor::pos(), tray_->iconGeometry());
}

void Form1::ToTray()
{
    if (!TraySide::available()) {
        // Without a notification area a hidden window could not be
        // brought back: it stays minimised on the taskbar instead.
        showMinimized();
        return;
    }
    // Hidden straight away rather than minimised first: on X11 a window
    // that was iconified before it was withdrawn comes back iconified
    // when shown again, out of reach without a taskbar.
    tray_->showIcon(windowIcon());
    hide();
    tray_->setInTray(true);
    // A window that goes to the tray at load is never activated: the
    // splash screen would stay on top for good. It closes as it would at
    // the first activation.
    if (app().FirstActivation && splash_ && !Timer2->isActive())
        Timer2->start();
}

void Form1::toTrayAtStart()
{
    tray_->goToTrayAtStart();
}

bool Form1::inTray() const
{
    return tray_->inTray();
}

void Form1::FromTray()
{
    tray_->stopRetrying();
    for (const QPointer<QWidget> &w : secondary_)
        if (w)
            w->close();
    // The normal state first, so that the window is mapped as a normal
    // window: mapped while still marked minimised, a window manager keeps
    // it iconified, and without a taskbar it could not be reached.
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    if (QWindow *w = windowHandle())
        w->setWindowState(Qt::WindowNoState);
    showNormal();
    raise();
    activateWindow();
    tray_->hideIcon();
    tray_->setInTray(false);
}

void Form1::activate()
{
    if (inTray() || isHidden()) {
        FromTray();
        return;
    }
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void Form1::registerSecondaryWindow(QWidget *w)
{
    secondary_.removeAll(nullptr);
    secondary_.append(w);
}

void Form1::CheckAdminSet()
{
    if (app().AdminCommands.contains(QLatin1String("Go_to_tray;")))
        ToTray();
}

void Form1::hideTrayIcon()
{
    tray_->hideIcon();
}

void QuitFromTray(QWidget *parent)
{
    if (GetSettingInt(settings::kApp, settings::kMain, settings::key::UnloadQ, 0) != 1 && IsAutostart()) {
        Dialog d(parent);
        d.exec();
        return;
    }
    ExitApp(ExitMode::StoreState);
}

} // namespace somnex
