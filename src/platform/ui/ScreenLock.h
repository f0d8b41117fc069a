#pragma once
// Says when the desktop locks or the computer goes to sleep, so that what
// must not be read at an unattended screen is closed: the screen saver's
// ActiveChanged (org.freedesktop.ScreenSaver, org.gnome.ScreenSaver) on the
// session bus, logind's Lock of a session and PrepareForSleep on the system
// bus. A bus that is not there says nothing.

#include <QDBusConnection>
#include <QObject>

namespace somnex {

class ScreenLockWatcher : public QObject {
    Q_OBJECT
public:
    // The user's buses, or those given (tests run private ones).
    explicit ScreenLockWatcher(QObject *parent = nullptr);
    ScreenLockWatcher(const QDBusConnection &session, const QDBusConnection &system, QObject *parent = nullptr);

signals:
    // The screen locks or the computer is about to sleep.
    void locking();

private slots:
    void activeChanged(bool active);
    void lockAsked();
    void prepareForSleep(bool start);

private:
    void listen(QDBusConnection session, QDBusConnection system);
};

} // namespace somnex
