#include "platform/ui/Session.h"

#include "platform/ui/Desktop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QGuiApplication>

namespace somnex {

namespace {
QString g_platformOverride;
constexpr qsizetype kLongestToken = 4096;
} // namespace

void setSessionPlatformOverride(const QString &platformName)
{
    g_platformOverride = platformName;
}

SessionTraits SessionTraitsFor(const QString &platformName, bool compositing)
{
    SessionTraits t;
    if (platformName.startsWith(QLatin1String("wayland"))) {
        t.placesWindows = false;
        t.knowsPointer = false;
        t.translucentWindows = false;
        t.translucencyNote = QStringLiteral(" (в сеансе Wayland прозрачность окон недоступна)");
    } else if (!compositing) {
        t.translucencyNote = QStringLiteral(" (требуется композитный менеджер окон)");
    }
    return t;
}

SessionTraits CurrentSessionTraits()
{
    const QString platform = g_platformOverride.isEmpty() ? QGuiApplication::platformName() : g_platformOverride;
    return SessionTraitsFor(platform, CompositingAvailable());
}

bool StatusNotifierHostPresent()
{
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(watcher).value())
        return false;
    QDBusInterface host(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
    return host.isValid() && host.property("IsStatusNotifierHostRegistered").toBool();
}

bool IsActivationToken(const QByteArray &token)
{
    if (token.isEmpty() || token.size() > kLongestToken)
        return false;
    for (const char c : token)
        if (c <= ' ' || c > '~')
            return false;
    return true;
}

bool UseActivationToken(const QByteArray &token)
{
    if (!IsActivationToken(token))
        return false;
    qputenv("XDG_ACTIVATION_TOKEN", token);
    return true;
}

} // namespace somnex
