#include "platform/ui/DesktopNotifier.h"

#include "platform/core/Identity.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace somnex {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

QDBusConnection sessionBus()
{
    return QDBusConnection::sessionBus();
}

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent) : DesktopNotifier(sessionBus(), parent) {}

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, QObject *parent) : QObject(parent), bus_(bus) {}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::notify(const Notification &n)
{
    if (!bus_.isConnected()) {
        fallBack(n, QStringLiteral("нет сеансовой шины D-Bus"));
        return;
    }
    if (hasActions_ || n.actions.isEmpty()) {
        send(n);
        return;
    }
    // Whether the server shows buttons decides the body: ask once.
    QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(ask, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, n](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isError()) {
            fallBack(n, reply.error().message());
            return;
        }
        hasActions_ = reply.value().contains(QStringLiteral("actions"));
        send(n);
    });
}

void DesktopNotifier::send(const Notification &n)
{
    listen();
    const bool buttons = hasActions_.value_or(true) && !n.actions.isEmpty();
    QStringList actions;
    if (buttons)
        for (const auto &[key, caption] : n.actions)
            actions << key << caption;
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("zul-somnex"));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("ZUL Somnex") << uint(0) << n.icon << n.summary
         << (buttons || n.bodyWithoutActions.isEmpty() || n.actions.isEmpty() ? n.body : n.bodyWithoutActions)
         << actions << hints << qint32(n.expireMs);
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, n](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError()) {
            fallBack(n, reply.error().message());
            return;
        }
        ours_.insert(reply.value());
        emit shown(reply.value());
    });
}

void DesktopNotifier::listen()
{
    if (listening_)
        return;
    listening_ = bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                              SLOT(onActionInvoked(uint, QString)))
                 && bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                                 SLOT(onClosed(uint, uint)));
}

void DesktopNotifier::fallBack(const Notification &n, const QString &why)
{
    if (fallback_)
        fallback_(n);
    emit fellBack(why);
}

void DesktopNotifier::onActionInvoked(uint id, const QString &action)
{
    if (ours_.contains(id))
        emit actionInvoked(id, action);
}

void DesktopNotifier::onClosed(uint id, uint reason)
{
    if (ours_.remove(id))
        emit closed(id, reason);
}

} // namespace somnex
