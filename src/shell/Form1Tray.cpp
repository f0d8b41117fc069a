// The main window's notification-area side: the icon's clicks and its
// quick-lookup menu, going to the tray and coming back, and quitting from it.
#include "shell/Form1.h"

#include "appstate/Autostart.h"
#include "calendar/calen/Calen.h"
#include "options/optionsform/OptionsForm.h"
#include "platform/core/Identity.h"
#include "platform/core/Settings.h"
#include "platform/error/Error.h"
#include "shell/AboutBox.h"
#include "shell/Dialog.h"
#include "tray/TrayArea.h"
#include "tray/menu/TrayMenu.h"

#include <QCursor>
#include <QLineEdit>
#include <QSystemTrayIcon>
#include <QWindow>

namespace somnex {

namespace {

int g_trayOverride = -1;

bool trayAvailable()
{
    return g_trayOverride >= 0 ? g_trayOverride != 0 : TrayArea::desktopOffersTray();
}

} // namespace

void Form1::setTrayAvailableOverride(int available)
{
    g_trayOverride = available;
}

void Form1::Tray1_MouseDown(short button)
{
    tryStep([&] {
        if (button == 1) {
            FromTray();
        } else if (button == 2) {
            // One quick-lookup menu at a time; a new right click starts afresh.
            static QPointer<tray::TrayMenu> menu;
            static QPointer<AboutBox> about;
            if (menu)
                menu->close();
            tray::TrayMenuHost host;
            host.search = [this](const QString &text) { Text1->setText(text); };
            host.selectedWord = [this] { return selectedWord(); };
            host.bestMatch = [this](const QString &text) { return bestMatch(text); };
            host.literatureActive = [] { return app().LiteratureActive; };
            host.showTolk = [this](const QString &word) {
                if (!tolk_) {
                    tolk_ = new Tolk(this, nullptr);
                    registerSecondaryWindow(tolk_);
                    if (!tolk_->Form_Load())
                        return;
                }
                tolk_->show();
                tolk_->raise();
                tolk_->ShowWord(word, QStringLiteral("TrayMenu"));
            };
            host.listDblClick = [this] { ListView1_DblClick(); };
            host.restore = [this] {
                FromTray();
                SetVisible(selectedItem());
            };
            host.calendar = [this] { Toolbar1_ButtonClick(QStringLiteral("Calen")); };
            host.diary = [this] { openDiary(QDateTime(), true); };
            host.options = [this] { registerSecondaryWindow(options::OptionsForm::open(1, false, this)); };
            host.about = [this] {
                if (!about) {
                    about = new AboutBox(this);
                    about->setAttribute(Qt::WA_DeleteOnClose);
                    registerSecondaryWindow(about); // the return from the tray closes it
                }
                about->show();
                about->raise();
            };
            host.exitAsks = [] {
                return GetSettingInt(settings::kApp, settings::kMain, settings::key::UnloadQ, 0) != 1 && IsAutostart();
            };
            host.exitDialog = [this] {
                Dialog d(this);
                d.exec();
            };
            host.exitApp = [] { ExitApp(false); };
            host.secondaryWindows = [this] {
                QList<QWidget *> w;
                w << about.data();
                options::OptionsForm *o = options::OptionsForm::instance();
                w << (o ? static_cast<QWidget *>(o->cityDirectory()) : nullptr) << o << calendar::Calen::instance()
                  << tolk_.data();
                w.removeAll(nullptr);
                return w;
            };
            menu = new tray::TrayMenu(std::move(host));
            menu->popupAt(QCursor::pos(), Tray1 ? Tray1->iconGeometry() : QRect());
        }
    });
}

void Form1::ToTray()
{
    tryStep([&] {
        if (!trayAvailable()) {
            // Without a notification area a hidden window could not be
            // brought back: it stays minimised on the taskbar instead.
            showMinimized();
            return;
        }
        // Hidden straight away rather than minimised first: on X11 a window
        // that was iconified before it was withdrawn comes back iconified
        // when shown again, out of reach without a taskbar.
        Tray1->setIcon(windowIcon());
        Tray1->setVisible(true);
        hide();
        inTray_ = true;
        // A window that goes to the tray at load is never activated: the
        // splash screen would stay on top for good. It closes as it would at
        // the first activation.
        if (app().FirstActivation && splash_ && !Timer2.isActive())
            Timer2.start();
    });
}

void Form1::ToTrayAtStart()
{
    if (trayAvailable()) {
        ToTray();
        return;
    }
    trayRetries_ = 0;
    hide();
    TrayRetry.start();
}

void Form1::TrayRetry_Timer()
{
    if (isVisible() || app().Exiting) {
        TrayRetry.stop(); // brought to the front meanwhile (a second start)
        return;
    }
    if (trayAvailable()) {
        TrayRetry.stop();
        ToTray();
    } else if (++trayRetries_ >= kTrayRetries) {
        TrayRetry.stop();
        showMinimized();
    }
}

void Form1::FromTray()
{
    TrayRetry.stop();
    for (const QPointer<QWidget> &w : secondary_)
        if (w)
            tryStep([&] { w->close(); });
    tryStep([&] {
        // The normal state first, so that the window is mapped as a normal
        // window: mapped while still marked minimised, a window manager keeps
        // it iconified, and without a taskbar it could not be reached.
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        if (QWindow *w = windowHandle())
            w->setWindowState(Qt::WindowNoState);
        showNormal();
        raise();
        activateWindow();
    });
    tryStep([&] { Tray1->setVisible(false); });
    inTray_ = false;
}

void Form1::Activate()
{
    if (inTray_ || isHidden()) {
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

void QuitFromTray(QWidget *parent)
{
    if (GetSettingInt(settings::kApp, settings::kMain, settings::key::UnloadQ, 0) != 1 && IsAutostart()) {
        Dialog d(parent);
        d.exec();
        return;
    }
    ExitApp(false);
}

} // namespace somnex
