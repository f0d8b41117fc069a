#pragma once
// The least a panel's StatusNotifierWatcher does: it takes the items'
// registrations and says that a host (a panel showing them) is there.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

namespace session_test {

class StatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    explicit StatusNotifierWatcher(QDBusConnection bus) : bus_(std::move(bus)) {}
    ~StatusNotifierWatcher() override { withdraw(); }

    // Takes the watcher's name on the bus; false when it could not.
    bool publish()
    {
        return bus_.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties
                                       | QDBusConnection::ExportAllSignals)
               && bus_.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }
    // The panel goes away.
    void withdraw()
    {
        bus_.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
        bus_.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
    }

    QStringList items() const { return items_; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    // Each registration as it came: the item's service and the sender's unique name.
    struct Registration {
        QString service, sender;
    };
    QList<Registration> registrations;

public slots:
    void RegisterStatusNotifierItem(const QString &service, const QDBusMessage &message)
    {
        registrations.append({service, message.service()});
        items_.append(service);
        emit StatusNotifierItemRegistered(service);
    }
    void RegisterStatusNotifierHost(const QString &) {}

signals:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierHostRegistered();

private:
    QDBusConnection bus_;
    QStringList items_;
};

} // namespace session_test
