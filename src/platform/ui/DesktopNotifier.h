#pragma once
// Desktop notifications: a summary, a body, the program's icon and buttons
// ("actions") sent to the session's notification service
// (org.freedesktop.Notifications over D-Bus). Every call is asynchronous
// with a timeout, so a service that never answers holds nothing up; where
// no service answers (no session bus, no server, a bus gone away) the
// notification goes to a fallback instead, the tray icon's message.

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QDBusMessage;
class QDBusPendingCallWatcher;

namespace somnex {

struct Notification {
    QString summary;
    QString body;
    // Used instead of body by a server that shows no buttons: it must say
    // what to do without them.
    QString bodyWithoutActions;
    QString icon; // an icon name or an absolute file path
    // Key and caption of each button; "default" is a click on the
    // notification itself, where the server supports it.
    QList<QPair<QString, QString>> actions;
    int expireMs = -1; // -1: the server's default
};

class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    // A notifier on the session bus, or on the connection given (tests).
    explicit DesktopNotifier(QObject *parent = nullptr);
    DesktopNotifier(const QDBusConnection &bus, QObject *parent);
    ~DesktopNotifier() override;

    // Where a notification goes when no server takes it.
    void setFallback(std::function<void(const Notification &)> fallback) { fallback_ = std::move(fallback); }

    // Sends the notification; the answer comes later as shown() or, after a
    // fault or kCallTimeoutMs without an answer, through the fallback
    // (fellBack()).
    void notify(const Notification &n);

    // Whether the server shows buttons, once it has said (GetCapabilities).
    std::optional<bool> serverHasActions() const { return hasActions_; }

    static constexpr int kCallTimeoutMs = 3000;

signals:
    void shown(uint id);
    void fellBack(const QString &why);
    // A button of one of our notifications was pressed (its key).
    void actionInvoked(uint id, const QString &action);
    void closed(uint id, uint reason);

private slots:
    void onActionInvoked(uint id, const QString &action);
    void onClosed(uint id, uint reason);

private:
    void send(const Notification &n);
    void fallBack(const Notification &n, const QString &why);
    void listen();

    QDBusConnection bus_;
    std::function<void(const Notification &)> fallback_;
    std::optional<bool> hasActions_;
    QSet<uint> ours_;
    bool listening_ = false;
};

} // namespace somnex
