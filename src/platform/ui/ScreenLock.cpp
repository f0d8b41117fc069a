#include "platform/ui/ScreenLock.h"

namespace somnex {

ScreenLockWatcher::ScreenLockWatcher(QObject *parent) : QObject(parent)
{
    listen(QDBusConnection::sessionBus(), QDBusConnection::systemBus());
}

ScreenLockWatcher::ScreenLockWatcher(const QDBusConnection &session, const QDBusConnection &system, QObject *parent)
    : QObject(parent)
{
    listen(session, system);
}

void ScreenLockWatcher::listen(QDBusConnection session, QDBusConnection system)
{
    if (session.isConnected())
        for (const char *iface : {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver"})
            session.connect(QString(), QString(), QString::fromLatin1(iface), QStringLiteral("ActiveChanged"), this,
                            SLOT(activeChanged(bool)));
    if (system.isConnected()) {
        system.connect(QString(), QString(), QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("Lock"),
                       this, SLOT(lockAsked()));
        system.connect(QString(), QString(), QStringLiteral("org.freedesktop.login1.Manager"),
                       QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
    }
}

void ScreenLockWatcher::activeChanged(bool active)
{
    if (active)
        emit locking();
}

void ScreenLockWatcher::lockAsked()
{
    emit locking();
}

void ScreenLockWatcher::prepareForSleep(bool start)
{
    if (start)
        emit locking();
}

} // namespace somnex
