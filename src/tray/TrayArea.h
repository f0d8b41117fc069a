#pragma once
// One icon in the desktop's notification area, with the mouse activity on it
// turned into events. The desktop reports activations; they are translated
// into the mouse message numbers 512-518 and dispatched as MouseMove,
// MouseDown, MouseUp and DblClick.

#include <QIcon>
#include <QObject>
#include <QRect>
#include <QString>

#include <optional>

class QSystemTrayIcon;

namespace somnex::tray {

class TrayArea : public QObject {
    Q_OBJECT
public:
    explicit TrayArea(QObject *parent = nullptr);
    ~TrayArea() override;

    // No picture at all (nullopt) hides the icon; an empty QIcon keeps it
    // shown without an image.
    void setIcon(const std::optional<QIcon> &icon);
    const std::optional<QIcon> &icon() const { return icon_; }

    // Stored trimmed; the shown tip is cut to what fits the 64-byte field.
    void setToolTip(const QString &tip);
    QString toolTip() const { return toolTip_; }
    // The tip as the notification area gets it.
    QString shownToolTip() const;

    // Whether the desktop shows notification-area icons now. Qt looks for a
    // StatusNotifierWatcher once, at its first question, and keeps that
    // answer for the life of the process; so it is asked only once a watcher
    // or an X11 notification area is there, and a panel that starts after
    // the program is still found.
    static bool desktopOffersTray();

    // Where the icon is on the screen; invalid when the desktop does not say
    // (a StatusNotifierItem panel never does).
    QRect iconGeometry() const;

    void setVisible(bool visible);
    bool isVisible() const { return visible_; }

    // A message beside the icon (the desktop's balloon); false when the icon
    // is not shown or the desktop shows no messages. A click on it is
    // messageClicked().
    bool showMessage(const QString &title, const QString &text);

    // The identifier drawn for the current icon (1..65535) and how many times
    // an icon was added, for diagnostics.
    int identifier() const { return identifier_; }
    int addCount() const { return addCount_; }

    // Dispatches one callback: the mouse message number 512..518.
    void dispatch(int message);
    // The shell's callback arrives as a mouse move whose horizontal
    // coordinate, in twips, is the message number times the twips per pixel.
    void callback(double xTwips);

    // The tip cut to what fits in `bytes` bytes of the ANSI code page,
    // terminator included.
    static QString fitTip(const QString &tip, int bytes = 64);

signals:
    void MouseMove();
    void MouseDown(short button);
    void MouseUp(short button);
    void DblClick();
    void messageClicked();

private:
    void add();
    void remove();

    std::optional<QIcon> icon_;
    QString toolTip_;
    bool visible_ = false;
    int identifier_ = 0;
    int addCount_ = 0;
    QSystemTrayIcon *tray_ = nullptr;
};

} // namespace somnex::tray
