// The morning reminder through a day on a settable clock, against a
// notification server of the test's own on a private session bus: the time
// and the days, "Позже" twice at most, "Записать сон", "Сегодня не снилось"
// recorded for the night, a night that already has an entry, a start within
// three hours after the time and later than that, a clock set back and
// forward, no server (the tray's message), and values that cannot be read.

#include "diary/DiaryStore.h"
#include "diary/ui/MorningReminder.h"
#include "platform/core/Clock.h"
#include "platform/core/Identity.h"
#include "platform/core/Settings.h"
#include "platform/ui/DesktopNotifier.h"
#include "session/SessionFixtures.h"
#include "support/NotificationServer.h"
#include "support/TempProfile.h"
#include "support/TzScope.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace somnex;
using namespace somnex::diary;
using session_test::PrivateBus;
using session_test::waitUntil;

namespace {

class Host : public MorningHost {
public:
    void writeMorningDream() override { ++written; }
    Place morningPlace() override { return {QStringLiteral("Москва"), 55.75, 37.5833}; }
    void showTrayMessage(const QString &title, const QString &text) override { tray << title + " | " + text; }
    int written = 0;
    QStringList tray;
};

void setting(const char *key, const QString &value)
{
    SaveSetting(settings::kApp, settings::kMain, QString::fromLatin1(key), value);
}

QDateTime at(int day, int h, int m)
{
    return QDateTime(QDate(2026, 12, day), QTime(h, m)); // 7 December 2026 is a Monday
}

class MorningReminderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.connected());
        serverBus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus.address(), "morning-server"));
        ASSERT_TRUE(registerNotificationServer(*serverBus, server));
        notifier = std::make_unique<DesktopNotifier>(bus.connection(), nullptr);
        notifier->setFallback([this](const Notification &n) { host.showTrayMessage(n.summary, n.bodyWithoutActions); });
        setting(settings::key::Remind, "1");
        setting(settings::key::RemindTime, "07:30");
        setting(settings::key::RemindDays, "12345");
    }
    void TearDown() override
    {
        reminder.reset();
        notifier.reset();
        serverBus.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("morning-server"));
    }
    MorningReminder &start()
    {
        reminder = std::make_unique<MorningReminder>(&host, notifier.get(), diary());
        return *reminder;
    }
    QString diary() const { return dir.path() + "/diary.sqlite"; }
    // The notifications so far, once the bus has carried them.
    qsizetype sent(qsizetype expected)
    {
        waitUntil([&] { return server.calls.size() >= expected; }, 5000);
        waitUntil([] { return false; }, 100);
        return server.calls.size();
    }
    void press(const QString &key)
    {
        emit server.ActionInvoked(uint(server.calls.size()) + 40, key);
        waitUntil([] { return false; }, 150);
    }

    TempProfile profile;
    TzScope tz{"Europe/Moscow"};
    QTemporaryDir dir;
    SettableClock clock{at(9, 6, 0)}; // Wednesday
    ClockScope scope{clock};
    PrivateBus bus;
    std::unique_ptr<QDBusConnection> serverBus;
    NotificationServer server;
    std::unique_ptr<DesktopNotifier> notifier;
    std::unique_ptr<MorningReminder> reminder;
    Host host;
};

} // namespace

TEST_F(MorningReminderTest, ComesAtTheTimeOnceAndAgainLaterTwiceAtMost)
{
    MorningReminder &r = start();
    EXPECT_EQ(sent(0), 0) << "not before the time";
    clock.set(at(9, 7, 30));
    r.check();
    ASSERT_EQ(sent(1), 1);
    const NotificationServer::Call &c = server.calls[0];
    EXPECT_EQ(c.summary, QStringLiteral("Запишите сон, пока он не забылся"));
    EXPECT_TRUE(c.body.startsWith(QStringLiteral("Ночь на 9 декабря 2026, "))) << c.body.toStdString();
    EXPECT_TRUE(c.body.contains(QStringLiteral("лунный день"))) << c.body.toStdString();
    EXPECT_TRUE(c.actions.contains(QStringLiteral("Записать сон")));
    EXPECT_TRUE(c.actions.contains(QStringLiteral("Позже")));
    EXPECT_TRUE(c.actions.contains(QStringLiteral("Сегодня не снилось")));
    clock.set(at(9, 7, 31));
    r.check();
    EXPECT_EQ(sent(1), 1) << "once a day";

    press(QStringLiteral("later"));
    clock.set(at(9, 7, 45));
    r.check();
    EXPECT_EQ(sent(1), 1) << "fifteen minutes are not up";
    clock.set(at(9, 7, 47));
    r.check();
    ASSERT_EQ(sent(2), 2);
    press(QStringLiteral("later"));
    clock.advance(16LL * 60);
    r.check();
    ASSERT_EQ(sent(3), 3);
    EXPECT_FALSE(server.calls[2].actions.contains(QStringLiteral("Позже"))) << "twice at most";
    press(QStringLiteral("later"));
    clock.advance(16LL * 60);
    r.check();
    EXPECT_EQ(sent(3), 3);

    press(QStringLiteral("write"));
    EXPECT_EQ(host.written, 1);
    // A clock set back an hour and forward again: still once that day.
    clock.set(at(9, 6, 30));
    r.check();
    clock.set(at(9, 7, 40));
    r.check();
    EXPECT_EQ(sent(3), 3);
    // The next weekday at its time; not on Saturday.
    clock.set(at(10, 7, 30));
    r.check();
    EXPECT_EQ(sent(4), 4);
    clock.set(at(12, 7, 30));
    r.check();
    EXPECT_EQ(sent(4), 4) << "Saturday is not among 12345";
}

TEST_F(MorningReminderTest, NoDreamIsRecordedForTheNightAndANightWithAnEntryIsLeftAlone)
{
    clock.set(at(9, 7, 35));
    start();
    ASSERT_EQ(sent(1), 1);
    press(QStringLiteral("none"));
    {
        const DiaryStore store(diary());
        const QList<Entry> all = store.entries();
        ASSERT_EQ(all.size(), 1);
        EXPECT_EQ(all[0].night, QDate(2026, 12, 8));
        EXPECT_TRUE(all[0].text.isEmpty());
        EXPECT_TRUE(all[0].title.isEmpty());
    }
    press(QStringLiteral("none"));
    EXPECT_EQ(DiaryStore(diary()).entries().size(), 1) << "one such entry a night";

    // The next night has a dream already: no reminder in the morning.
    {
        DiaryStore store(diary());
        Entry e;
        e.text = QStringLiteral("Снилась вода");
        e.at = momentIn(QDate(2026, 12, 10), QTime(5, 0));
        store.add(e);
    }
    clock.set(at(10, 7, 30));
    reminder->check();
    EXPECT_EQ(sent(1), 1);
}

TEST_F(MorningReminderTest, AStartWithinThreeHoursRemindsOnceAndLaterDoesNot)
{
    clock.set(at(9, 10, 0)); // two and a half hours after
    start();
    EXPECT_EQ(sent(1), 1);
    reminder.reset();
    server.calls.clear();
    clock.set(at(10, 11, 0)); // three and a half hours after
    start();
    EXPECT_EQ(sent(0), 0);
    // Woken from sleep past the time, within the hours: the next tick reminds.
    clock.set(at(11, 6, 0));
    reminder->check();
    clock.set(at(11, 9, 15));
    reminder->check();
    EXPECT_EQ(sent(1), 1);
    // A clock moved forward past the hours brings nothing.
    clock.set(at(14, 6, 0));
    reminder->check();
    clock.set(at(14, 12, 0));
    reminder->check();
    EXPECT_EQ(sent(1), 1);
}

TEST_F(MorningReminderTest, WithoutAServerTheTraySaysItAndItsClickOpensTheDiary)
{
    serverBus->unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    clock.set(at(9, 7, 30));
    MorningReminder &r = start();
    ASSERT_TRUE(waitUntil([&] { return !host.tray.isEmpty(); }, DesktopNotifier::kCallTimeoutMs + 3000));
    EXPECT_TRUE(host.tray[0].startsWith(QStringLiteral("Запишите сон, пока он не забылся | Ночь на 9 декабря 2026")));
    EXPECT_TRUE(host.tray[0].contains(QStringLiteral("откройте дневник")));
    r.trayMessageClicked();
    EXPECT_EQ(host.written, 1);
}

TEST_F(MorningReminderTest, ValuesThatCannotBeReadTurnItOffAndSaySo)
{
    setting(settings::key::RemindTime, "25:99");
    MorningReminder &r = start();
    EXPECT_FALSE(r.settings().on);
    EXPECT_TRUE(r.settings().problem.contains(QStringLiteral("«25:99»"))) << r.settings().problem.toStdString();
    clock.set(at(9, 7, 30));
    r.check();
    EXPECT_EQ(sent(0), 0);
    setting(settings::key::RemindTime, "07:30");
    setting(settings::key::RemindDays, "1x3");
    r.reload();
    EXPECT_FALSE(r.settings().on);
    EXPECT_TRUE(r.settings().problem.contains(QStringLiteral("Дни напоминания")));
    setting(settings::key::RemindDays, "135");
    setting(settings::key::Remind, "0");
    r.reload();
    EXPECT_FALSE(r.settings().on);
    EXPECT_TRUE(r.settings().problem.isEmpty()) << "off by choice says nothing";
    EXPECT_EQ(r.settings().daysText(), QStringLiteral("135"));
    // "Проверить": one now, whatever the settings.
    r.sendNow();
    EXPECT_EQ(sent(1), 1);
}
