#pragma once
// A notification server of the test's own for a private session bus: it
// records every notification it is sent, answers GetCapabilities with what
// the test sets, can stay silent (never answer), and sends the signals a
// real server sends when a button is pressed or a notification closes.

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

class NotificationServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call {
        QString app, icon, summary, body;
        QStringList actions;
        QVariantMap hints;
    };
    QStringList capabilities{QStringLiteral("body"), QStringLiteral("actions")};
    bool silent = false; // never answers
    QList<Call> calls;

public slots:
    QStringList GetCapabilities()
    {
        if (silent)
            setDelayedReply(true);
        return capabilities;
    }
    uint Notify(const QString &app, uint, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int)
    {
        if (silent) {
            setDelayedReply(true);
            return 0;
        }
        calls.append({app, icon, summary, body, actions, hints});
        return uint(calls.size()) + 40;
    }

signals:
    void ActionInvoked(uint id, const QString &action);
    void NotificationClosed(uint id, uint reason);
};

// Puts the server on the bus under the notification service's name.
inline bool registerNotificationServer(QDBusConnection &bus, NotificationServer &server)
{
    return bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)
           && bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
}
