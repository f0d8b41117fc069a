// Desktop notifications over a private session bus, against a notification
// server of the test's own: what is sent, buttons pressed, a server without
// buttons, one that never answers, none at all, and a bus gone away.

#include "platform/ui/DesktopNotifier.h"
#include "session/SessionFixtures.h"
#include "support/NotificationServer.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QVariantMap>

using namespace somnex;
using session_test::PrivateBus;
using session_test::waitUntil;
using Server = NotificationServer;

namespace {

Notification reminder()
{
    Notification n;
    n.summary = QStringLiteral("Запишите сон, пока он не забылся");
    n.body = QStringLiteral("Ночь на 10 декабря 2026");
    n.bodyWithoutActions = QStringLiteral("Ночь на 10 декабря 2026: откройте дневник");
    n.icon = QStringLiteral("zul-somnex");
    n.actions = {{QStringLiteral("write"), QStringLiteral("Записать сон")},
                 {QStringLiteral("later"), QStringLiteral("Позже")}};
    return n;
}

class DesktopNotifierTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.connected()) << "dbus-daemon did not start";
        serverBus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus.address(), "notify-server"));
        ASSERT_TRUE(serverBus->isConnected());
    }
    void TearDown() override
    {
        serverBus.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("notify-server"));
    }
    void startServer()
    {
        ASSERT_TRUE(serverBus->registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        ASSERT_TRUE(serverBus->registerService(QStringLiteral("org.freedesktop.Notifications")));
    }

    PrivateBus bus;
    std::unique_ptr<QDBusConnection> serverBus;
    Server server;
    QList<Notification> fallen;
};

} // namespace

TEST_F(DesktopNotifierTest, SendsTheNotificationAndHearsItsButtons)
{
    startServer();
    DesktopNotifier n(bus.connection(), nullptr);
    n.setFallback([this](const Notification &x) { fallen << x; });
    QList<uint> shown;
    QList<QPair<uint, QString>> pressed;
    QObject::connect(&n, &DesktopNotifier::shown, [&](uint id) { shown << id; });
    QObject::connect(&n, &DesktopNotifier::actionInvoked,
                     [&](uint id, const QString &a) { pressed << qMakePair(id, a); });
    n.notify(reminder());
    ASSERT_TRUE(waitUntil([&] { return !shown.isEmpty(); }, 5000));
    ASSERT_EQ(server.calls.size(), 1);
    const NotificationServer::Call &c = server.calls[0];
    EXPECT_EQ(c.summary, QStringLiteral("Запишите сон, пока он не забылся"));
    EXPECT_EQ(c.body, QStringLiteral("Ночь на 10 декабря 2026"));
    EXPECT_EQ(c.actions, QStringList({"write", "Записать сон", "later", "Позже"}));
    EXPECT_EQ(c.icon, QStringLiteral("zul-somnex"));
    EXPECT_EQ(c.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("zul-somnex"));
    EXPECT_EQ(n.serverHasActions(), std::optional<bool>(true));
    // A button of ours is heard; one of another program's notification is not.
    emit server.ActionInvoked(shown[0], QStringLiteral("write"));
    emit server.ActionInvoked(999, QStringLiteral("write"));
    ASSERT_TRUE(waitUntil([&] { return !pressed.isEmpty(); }, 5000));
    waitUntil([] { return false; }, 200);
    ASSERT_EQ(pressed.size(), 1);
    EXPECT_EQ(pressed[0], qMakePair(shown[0], QStringLiteral("write")));
    EXPECT_TRUE(fallen.isEmpty());
}

TEST_F(DesktopNotifierTest, AServerWithoutButtonsGetsTheBodyThatSaysWhatToDo)
{
    server.capabilities = {QStringLiteral("body")};
    startServer();
    DesktopNotifier n(bus.connection(), nullptr);
    bool shown = false;
    QObject::connect(&n, &DesktopNotifier::shown, [&] { shown = true; });
    n.notify(reminder());
    ASSERT_TRUE(waitUntil([&] { return shown; }, 5000));
    ASSERT_EQ(server.calls.size(), 1);
    EXPECT_TRUE(server.calls[0].actions.isEmpty());
    EXPECT_EQ(server.calls[0].body, QStringLiteral("Ночь на 10 декабря 2026: откройте дневник"));
}

TEST_F(DesktopNotifierTest, NoServerOrOneThatNeverAnswersFallsBackWithoutHanging)
{
    for (const bool silent : {false, true}) {
        fallen.clear();
        if (silent) {
            server.silent = true;
            startServer();
        }
        DesktopNotifier n(bus.connection(), nullptr);
        n.setFallback([this](const Notification &x) { fallen << x; });
        QElapsedTimer t;
        t.start();
        n.notify(reminder());
        EXPECT_LT(t.elapsed(), 500) << "notify() returns at once";
        ASSERT_TRUE(waitUntil([&] { return !fallen.isEmpty(); }, DesktopNotifier::kCallTimeoutMs + 3000)) << silent;
        EXPECT_EQ(fallen[0].summary, reminder().summary);
        EXPECT_TRUE(server.calls.isEmpty());
    }
}

TEST(DesktopNotifierBus, ABusGoneAwayFallsBack)
{
    auto bus = std::make_unique<PrivateBus>();
    ASSERT_TRUE(bus->connected());
    DesktopNotifier n(bus->connection(), nullptr);
    QList<Notification> fallen;
    n.setFallback([&](const Notification &x) { fallen << x; });
    bus.reset(); // the daemon stops
    n.notify(reminder());
    ASSERT_TRUE(waitUntil([&] { return !fallen.isEmpty(); }, DesktopNotifier::kCallTimeoutMs + 3000));
    // Without any session bus at all the same.
    DesktopNotifier none(QDBusConnection(QStringLiteral("no-such-connection")), nullptr);
    QList<Notification> fallenToo;
    none.setFallback([&](const Notification &x) { fallenToo << x; });
    none.notify(reminder());
    EXPECT_EQ(fallenToo.size(), 1) << "at once: nothing to wait for";
}
