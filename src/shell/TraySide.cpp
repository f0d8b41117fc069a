#include "shell/TraySide.h"

#include "appstate/AppState.h"
#include "tray/TrayArea.h"

#include <QIcon>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace somnex {

namespace {

int g_trayOverride = -1;

} // namespace

bool TraySide::available()
{
    return g_trayOverride >= 0 ? g_trayOverride != 0 : tray::TrayArea::desktopOffersTray();
}

void TraySide::setAvailableOverride(int available)
{
    g_trayOverride = available;
}

TraySide::TraySide(QWidget *window) : QObject(window), window_(window)
{
    setObjectName(QStringLiteral("TraySide"));
    Tray1 = new tray::TrayArea(this);
    Tray1->setObjectName(QStringLiteral("Tray1"));
    Tray1->setToolTip(QStringLiteral("ZUL Somnex 3 — сонник"));
    connect(Tray1, &tray::TrayArea::MouseDown, this, &TraySide::clicked);
    connect(Tray1, &tray::TrayArea::messageClicked, this, &TraySide::messageClicked);
    retry_ = new QTimer(this);
    retry_->setObjectName(QStringLiteral("trayRetry"));
    retry_->setInterval(1000);
    connect(retry_, &QTimer::timeout, this, &TraySide::retryTick);
}

void TraySide::showIcon(const QIcon &icon)
{
    Tray1->setIcon(icon);
    Tray1->setVisible(true);
}

void TraySide::hideIcon()
{
    Tray1->setVisible(false);
}

QRect TraySide::iconGeometry() const
{
    return Tray1->iconGeometry();
}

void TraySide::goToTrayAtStart()
{
    if (available()) {
        toTray();
        return;
    }
    retries_ = 0;
    window_->hide();
    retry_->start();
}

void TraySide::retryTick()
{
    if (window_->isVisible() || app().Exiting) {
        retry_->stop(); // brought to the front meanwhile (a second start)
        return;
    }
    if (available()) {
        retry_->stop();
        toTray();
    } else if (++retries_ >= kTrayRetries) {
        retry_->stop();
        window_->showMinimized();
    }
}

void TraySide::stopRetrying()
{
    retry_->stop();
}

bool TraySide::showMessage(const QString &title, const QString &text)
{
    return Tray1->showMessage(title, text);
}

} // namespace somnex
