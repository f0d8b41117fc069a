#include "tray/TrayArea.h"

#include "platform/ansi/AnsiCodePage.h"
#include "platform/core/Twips.h"
#include "platform/ui/Session.h"

#include <QRandomGenerator>
#include <QSystemTrayIcon>

namespace somnex::tray {

namespace {
enum : int {
    WM_MOUSEMOVE = 512,
    WM_LBUTTONDOWN,
    WM_LBUTTONUP,
    WM_LBUTTONDBLCLK,
    WM_RBUTTONDOWN,
    WM_RBUTTONUP,
    WM_RBUTTONDBLCLK,
};
} // namespace

TrayArea::TrayArea(QObject *parent) : QObject(parent) {}

TrayArea::~TrayArea()
{
    remove();
}

QString TrayArea::fitTip(const QString &tip, int bytes)
{
    // One byte per character in the ANSI code page; characters it lacks are
    // sent as '?', one byte as well. The last byte is the terminator.
    return tip.left(std::max(0, bytes - 1));
}

QString TrayArea::shownToolTip() const
{
    return fitTip(toolTip_);
}

void TrayArea::setIcon(const std::optional<QIcon> &icon)
{
    icon_ = icon;
    if (!icon_) {
        setVisible(false);
        return;
    }
    if (visible_ && tray_)
        tray_->setIcon(*icon_);
}

void TrayArea::setToolTip(const QString &tip)
{
    toolTip_ = tip.trimmed();
    if (tray_)
        tray_->setToolTip(shownToolTip());
}

bool TrayArea::desktopOffersTray()
{
    if (!StatusNotifierHostPresent() && !X11NotificationAreaPresent())
        return false;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

QRect TrayArea::iconGeometry() const
{
    return tray_ ? tray_->geometry() : QRect();
}

void TrayArea::setVisible(bool visible)
{
    if (visible == visible_)
        return;
    visible_ = visible;
    if (visible)
        add();
    else
        remove();
}

void TrayArea::add()
{
    identifier_ = QRandomGenerator::global()->bounded(1, 65536);
    ++addCount_;
    tray_ = new QSystemTrayIcon(this);
    if (icon_)
        tray_->setIcon(*icon_);
    if (!toolTip_.isEmpty())
        tray_->setToolTip(shownToolTip());
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        switch (r) {
        case QSystemTrayIcon::Trigger:
            dispatch(WM_LBUTTONDOWN);
            dispatch(WM_LBUTTONUP);
            break;
        case QSystemTrayIcon::Context:
            dispatch(WM_RBUTTONDOWN);
            dispatch(WM_RBUTTONUP);
            break;
        case QSystemTrayIcon::DoubleClick: dispatch(WM_LBUTTONDBLCLK); break;
        case QSystemTrayIcon::MiddleClick:
        case QSystemTrayIcon::Unknown: break;
        }
    });
    connect(tray_, &QSystemTrayIcon::messageClicked, this, &TrayArea::messageClicked);
    tray_->show();
}

bool TrayArea::showMessage(const QString &title, const QString &text)
{
    if (!tray_ || !QSystemTrayIcon::supportsMessages())
        return false;
    tray_->showMessage(title, text, icon_ ? *icon_ : QIcon());
    return true;
}

void TrayArea::remove()
{
    if (tray_) {
        // Later, not now: this may run inside the icon's own activation.
        tray_->hide();
        tray_->disconnect(this);
        tray_->deleteLater();
        tray_ = nullptr;
    }
}

void TrayArea::dispatch(int message)
{
    switch (message) {
    case WM_MOUSEMOVE: emit MouseMove(); break;
    case WM_LBUTTONDOWN: emit MouseDown(1); break;
    case WM_RBUTTONDOWN: emit MouseDown(2); break;
    case WM_LBUTTONUP: emit MouseUp(1); break;
    case WM_RBUTTONUP: emit MouseUp(2); break;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK: emit DblClick(); break;
    default: break; // the middle button raises nothing
    }
}

void TrayArea::callback(double xTwips)
{
    dispatch(static_cast<int>(xTwips / kTwipsPerPixel));
}

} // namespace somnex::tray
