#pragma once
// The main window's notification-area side: the icon, whether the window is
// in the tray, and the start in the tray on a desktop whose notification area
// comes up late.

#include <QObject>
#include <QRect>

#include <functional>

class QIcon;
class QTimer;
class QWidget;

namespace somnex {

namespace tray {
class TrayArea;
}

class TraySide : public QObject {
    Q_OBJECT
public:
    explicit TraySide(QWidget *window);

    // The icon's mouse buttons as its clicks report them.
    static constexpr short kLeftButton = 1;
    static constexpr short kRightButton = 2;

    // Whether the desktop shows a notification area (tests may pretend).
    static bool available();
    static void setAvailableOverride(int available); // -1 asks the desktop

    void showIcon(const QIcon &icon);
    void hideIcon();
    // A message beside the icon; false when the icon is not shown or the
    // desktop shows no messages.
    bool showMessage(const QString &title, const QString &text);
    QRect iconGeometry() const;
    bool inTray() const { return inTray_; }
    void setInTray(bool in) { inTray_ = in; }

    // The start in the tray: without a notification area yet the window is
    // hidden and the area asked again every second for up to 30 s before the
    // window falls back to a minimised one.
    void goToTrayAtStart();
    void retryTick();
    void stopRetrying();
    static constexpr int kTrayRetries = 30;

    // The window goes to the tray (set by the window).
    std::function<void()> toTray;

signals:
    // The icon was clicked (kLeftButton, kRightButton).
    void clicked(short button);
    // The icon's message was clicked.
    void messageClicked();

private:
    QWidget *window_;
    tray::TrayArea *Tray1 = nullptr;
    QTimer *retry_ = nullptr;
    int retries_ = 0;
    bool inTray_ = false;
};

} // namespace somnex
