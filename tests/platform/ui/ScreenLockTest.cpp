// The screen's lock and the computer's sleep as the buses say them: a
// private bus plays the screen saver and logind, each signal that means
// "nobody is watching" is heard once, the others not at all.

#include "platform/ui/ScreenLock.h"
#include "session/SessionFixtures.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>

using namespace somnex;
using session_test::PrivateBus;

namespace {

void send(QDBusConnection &bus, const char *path, const char *iface, const char *member, const QVariantList &args)
{
    QDBusMessage m =
        QDBusMessage::createSignal(QString::fromLatin1(path), QString::fromLatin1(iface), QString::fromLatin1(member));
    m.setArguments(args);
    ASSERT_TRUE(bus.send(m));
}

} // namespace

TEST(ScreenLockWatcher, TheScreenSaverLogindsLockAndSleepCloseWhatIsOpen)
{
    PrivateBus session, system;
    ASSERT_TRUE(session.connected() && system.connected());
    QDBusConnection sessionPeer = QDBusConnection::connectToBus(session.address(), "lock-session-peer");
    QDBusConnection systemPeer = QDBusConnection::connectToBus(system.address(), "lock-system-peer");
    {
        ScreenLockWatcher watcher(session.connection(), system.connection());
        QSignalSpy locking(&watcher, &ScreenLockWatcher::locking);
        const auto heard = [&] {
            const bool got = locking.wait(2000);
            locking.clear();
            return got;
        };
        send(sessionPeer, "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", "ActiveChanged", {true});
        EXPECT_TRUE(heard()) << "the screen saver came on";
        send(sessionPeer, "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", "ActiveChanged", {true});
        EXPECT_TRUE(heard()) << "GNOME's screen saver came on";
        send(systemPeer, "/org/freedesktop/login1/session/_32", "org.freedesktop.login1.Session", "Lock", {});
        EXPECT_TRUE(heard()) << "logind locks the session";
        send(systemPeer, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep", {true});
        EXPECT_TRUE(heard()) << "the computer goes to sleep";

        send(sessionPeer, "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", "ActiveChanged", {false});
        send(systemPeer, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep", {false});
        send(systemPeer, "/org/freedesktop/login1/session/_32", "org.freedesktop.login1.Session", "Unlock", {});
        EXPECT_FALSE(locking.wait(500)) << "the screen coming back, waking and unlocking close nothing";
    }
    QDBusConnection::disconnectFromBus("lock-session-peer");
    QDBusConnection::disconnectFromBus("lock-system-peer");

    // no bus at all: nothing heard, nothing hangs
    ScreenLockWatcher alone(QDBusConnection(QStringLiteral("nowhere")), QDBusConnection(QStringLiteral("nowhere")));
    QSignalSpy locking(&alone, &ScreenLockWatcher::locking);
    EXPECT_FALSE(locking.wait(100));
}
