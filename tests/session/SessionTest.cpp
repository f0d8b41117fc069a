// The program on a Wayland compositor and with a panel that shows icons
// through StatusNotifierItem: each window opened and used there, the icon
// registered with its tip, its activations, a panel that comes late or goes
// away and comes back, and no session bus at all.
#include "session/SessionFixtures.h"
#include "session/StatusNotifierWatcher.h"
#include "support/TempProfile.h"
#include "support/TestShare.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

using namespace session_test;

namespace {

const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!compositor.error().isEmpty())
            GTEST_SKIP() << compositor.error().toStdString();
        share.writeBook("a.book", {"Вода", "Дом", "Огонь"});
        QDir().mkpath(share.texts());
        const QDir texts(QStringLiteral(SOMNEX_SOURCE_DIR "/data/texts"));
        for (const QString &f : texts.entryList({QStringLiteral("*.lit")}).mid(0, 3))
            QFile::copy(texts.filePath(f), share.texts() + QLatin1Char('/') + f);
    }
    void TearDown() override
    {
        if (probe && probe->state() != QProcess::NotRunning) {
            probe->write("quit\n");
            if (!probe->waitForFinished(20000)) {
                ADD_FAILURE() << "the probe does not end";
                stop(*probe);
            }
        }
    }

    // The probe on the compositor; busAddress: the session bus it uses.
    void startProbe(const QStringList &args, const QString &busAddress)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        compositor.addTo(env);
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        env.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
        // The headless compositor has no seat, and Qt's Wayland text-input
        // context reads the missing keyboard: the plain compose context
        // stands in for it.
        env.insert(QStringLiteral("QT_IM_MODULE"), QStringLiteral("compose"));
        // A system library the Wayland platform loads and unloads again
        // leaves a block the leak checker can no longer attribute; the same
        // windows are checked for leaks by their own tests.
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS"))
                       .replace(QStringLiteral("detect_leaks=1"), QStringLiteral("detect_leaks=0")));
        probe = std::make_unique<QProcess>();
        probe->setProcessEnvironment(env);
        probe->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        probe->start(QString::fromLocal8Bit(qgetenv("SOMNEX_BUILD_DIR")) + QStringLiteral("/tests/session_probe"),
                     args);
        ASSERT_TRUE(probe->waitForStarted(10000));
    }
    // Reads the probe's lines until one equals `line` (or starts with it
    // when prefix); false when the time runs out or the probe ends first.
    bool expectLine(const QString &line, int ms = 30000, bool prefix = false)
    {
        const bool found = waitUntil(
            [&] {
                while (probe->canReadLine()) {
                    const QString l = QString::fromUtf8(probe->readLine()).trimmed();
                    lines << l;
                    if (l == line || (prefix && l.startsWith(line)))
                        return true;
                }
                return probe->state() == QProcess::NotRunning && !probe->canReadLine();
            },
            ms);
        return found && !lines.isEmpty() && (lines.last() == line || (prefix && lines.last().startsWith(line)));
    }
    QStringList messages() const { return lines.filter(QRegularExpression(QStringLiteral("^message "))); }

    QDBusMessage callItem(PrivateBus &bus, const QString &item, const QString &method, const QVariantList &args)
    {
        QDBusMessage m = QDBusMessage::createMethodCall(item, kItemPath, kItemInterface, method);
        m.setArguments(args);
        return bus.connection().call(m, QDBus::Block, 10000);
    }
    // The item's tip: (icon name, icon pixmaps, title, description).
    QString toolTipTitle(PrivateBus &bus, const QString &item)
    {
        QDBusMessage m =
            QDBusMessage::createMethodCall(item, kItemPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                           QStringLiteral("Get"));
        m.setArguments({kItemInterface, QStringLiteral("ToolTip")});
        const QDBusMessage reply = bus.connection().call(m, QDBus::Block, 10000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return QStringLiteral("<no reply: %1>").arg(reply.errorMessage());
        const QDBusArgument arg = reply.arguments().first().value<QDBusVariant>().variant().value<QDBusArgument>();
        QString iconName, title, description;
        arg.beginStructure();
        arg >> iconName;
        arg.beginArray();
        while (!arg.atEnd()) {
            int w = 0, h = 0;
            QByteArray data;
            arg.beginStructure();
            arg >> w >> h >> data;
            arg.endStructure();
        }
        arg.endArray();
        arg >> title >> description;
        arg.endStructure();
        return title;
    }

    // Starts the program in the tray, then again with a launcher token; the
    // first must leave the tray and the second end. Each gtest assertion
    // counts as several statements.
    // NOLINTNEXTLINE(readability-function-size)
    void bringForward(QProcessEnvironment env, StatusNotifierWatcher &watcher, PrivateBus &bus)
    {
        const QString program = QString::fromLocal8Bit(qgetenv("SOMNEX_BUILD_DIR")) + QStringLiteral("/bin/somnex");
        QProcess first;
        first.setProcessEnvironment(env);
        first.setProcessChannelMode(QProcess::ForwardedChannels);
        first.start(program, {QStringLiteral("/tray")});
        ASSERT_TRUE(first.waitForStarted(10000));
        ASSERT_TRUE(waitUntil([&] { return !watcher.registrations.isEmpty(); }, 60000)) << "the icon never came";
        const QString item = watcher.registrations.last().sender;
        // In the tray while the icon's object answers on the bus.
        const auto iconShown = [&] {
            QDBusMessage get =
                QDBusMessage::createMethodCall(item, kItemPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                               QStringLiteral("Get"));
            get.setArguments({kItemInterface, QStringLiteral("Status")});
            return bus.connection().call(get, QDBus::Block, 2000).type() == QDBusMessage::ReplyMessage;
        };
        ASSERT_TRUE(iconShown());

        env.insert(QStringLiteral("XDG_ACTIVATION_TOKEN"), QStringLiteral("launcher-token-1"));
        QProcess second;
        second.setProcessEnvironment(env);
        second.setProcessChannelMode(QProcess::ForwardedChannels);
        second.start(program, {});
        ASSERT_TRUE(second.waitForStarted(10000));
        EXPECT_TRUE(waitUntil([&] { return second.state() == QProcess::NotRunning; }, 30000));
        EXPECT_EQ(second.exitCode(), 0);
        EXPECT_TRUE(waitUntil([&] { return !iconShown(); }, 20000)) << "still in the tray";
        EXPECT_EQ(first.state(), QProcess::Running);
        first.terminate();
        EXPECT_TRUE(first.waitForFinished(30000));
    }

    PrivateCompositor compositor;
    TempProfile profile;
    TestShare share;
    std::unique_ptr<QProcess> probe;
    QStringList lines;
};

} // namespace

TEST_F(SessionTest, EveryWindowOpensAndWorksOnWayland)
{
    PrivateBus bus;
    QTemporaryDir pictures;
    startProbe({QStringLiteral("windows"), pictures.path()}, bus.address());
    ASSERT_TRUE(expectLine(QStringLiteral("platform wayland"))) << lines.join('\n').toStdString();
    for (const char *step : {"ok main", "ok interpretation", "ok calendar", "ok options", "ok literature",
                             "ok traymenu", "ok position kept"})
        EXPECT_TRUE(expectLine(QString::fromLatin1(step), 60000)) << step << "\n" << lines.join('\n').toStdString();
    ASSERT_TRUE(probe->waitForFinished(30000));
    EXPECT_EQ(probe->exitCode(), 0);
    EXPECT_EQ(messages(), QStringList()) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.filter(QRegularExpression(QStringLiteral("^fail "))).isEmpty()) << lines.join('\n').toStdString();
    // Each window's own picture: drawn, not blank.
    for (const char *name : {"main", "interpretation", "calendar", "options", "traymenu"}) {
        const QImage image(pictures.filePath(QStringLiteral("wayland-%1.png").arg(QString::fromLatin1(name))));
        ASSERT_FALSE(image.isNull()) << name;
        const QImage small = image.scaled(32, 32);
        QSet<QRgb> colours;
        for (int y = 0; y < small.height(); ++y)
            for (int x = 0; x < small.width(); ++x)
                colours.insert(small.pixel(x, y));
        EXPECT_GT(colours.size(), 8) << name << " looks blank";
    }
}

TEST_F(SessionTest, TheIconReachesAStatusNotifierWatcherAndItsActivationsWork)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.connected());
    StatusNotifierWatcher watcher(bus.connection());
    ASSERT_TRUE(watcher.publish());
    startProbe({QStringLiteral("tray")}, bus.address());
    ASSERT_TRUE(expectLine(QStringLiteral("running"))) << lines.join('\n').toStdString();
    ASSERT_TRUE(expectLine(QStringLiteral("state icon"))) << lines.join('\n').toStdString();
    ASSERT_TRUE(waitUntil([&] { return !watcher.registrations.isEmpty(); }, 10000)) << "no registration";
    const QString item = watcher.registrations.last().sender;
    EXPECT_EQ(toolTipTitle(bus, item), QStringLiteral("ZUL Somnex 3 — сонник"));

    // The panel's right click asks for the item's own menu: the quick-lookup
    // menu, with the focus in its word box.
    EXPECT_EQ(callItem(bus, item, QStringLiteral("ContextMenu"), {100, 10}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(expectLine(QStringLiteral("state icon menu-with-focus"))) << lines.join('\n').toStdString();
    probe->write("close-menu\n");
    EXPECT_TRUE(expectLine(QStringLiteral("state icon"))) << lines.join('\n').toStdString();
    // The left click (Activate) brings the main window back, the icon goes.
    EXPECT_EQ(callItem(bus, item, QStringLiteral("Activate"), {100, 10}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(expectLine(QStringLiteral("state main"))) << lines.join('\n').toStdString();
    EXPECT_EQ(messages(), QStringList());
}

TEST_F(SessionTest, TrayStartWaitsForAWatcherAndSurvivesItsRestart)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.connected());
    startProbe({QStringLiteral("tray")}, bus.address());
    ASSERT_TRUE(expectLine(QStringLiteral("running"))) << lines.join('\n').toStdString();
    // No panel yet: no icon, and the program waits rather than showing itself.
    QThread::msleep(2500);
    EXPECT_FALSE(expectLine(QStringLiteral("state icon"), 500));
    EXPECT_TRUE(lines.filter(QStringLiteral("main")).isEmpty()) << lines.join('\n').toStdString();

    StatusNotifierWatcher watcher(bus.connection());
    ASSERT_TRUE(watcher.publish());
    ASSERT_TRUE(expectLine(QStringLiteral("state icon"), 15000)) << lines.join('\n').toStdString();
    ASSERT_TRUE(waitUntil([&] { return watcher.registrations.size() == 1; }, 10000));

    // The panel restarts: the icon registers again with the new one and
    // still answers.
    watcher.withdraw();
    waitUntil([] { return false; }, 1000);
    ASSERT_TRUE(watcher.publish());
    ASSERT_TRUE(waitUntil([&] { return watcher.registrations.size() >= 2; }, 15000)) << "no second registration";
    const QString item = watcher.registrations.last().sender;
    EXPECT_EQ(toolTipTitle(bus, item), QStringLiteral("ZUL Somnex 3 — сонник"));
    EXPECT_EQ(callItem(bus, item, QStringLiteral("ContextMenu"), {1, 1}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(expectLine(QStringLiteral("state icon menu"), 15000, true)) << lines.join('\n').toStdString();
    EXPECT_EQ(probe->state(), QProcess::Running);
    EXPECT_EQ(messages(), QStringList());
}

// The program itself: started in the notification area, then started again
// from a launcher with an activation token; the running one comes out of the
// tray (its icon leaves the panel) and the second start ends. On Wayland and
// on X11 (Xvfb), each with a StatusNotifierItem panel.
TEST_F(SessionTest, ASecondStartBringsTheRunningProgramForward)
{
    PrivateX11 x11;
    for (const bool wayland : {true, false}) {
        SCOPED_TRACE(wayland ? "Wayland" : "X11");
        if (!wayland && !x11.error().isEmpty()) {
            ADD_FAILURE() << x11.error().toStdString();
            continue;
        }
        PrivateBus bus;
        ASSERT_TRUE(bus.connected());
        StatusNotifierWatcher watcher(bus.connection());
        ASSERT_TRUE(watcher.publish());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (wayland)
            compositor.addTo(env);
        else
            x11.addTo(env);
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        env.insert(QStringLiteral("QT_IM_MODULE"), QStringLiteral("compose"));
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS"))
                       .replace(QStringLiteral("detect_leaks=1"), QStringLiteral("detect_leaks=0")));
        bringForward(env, watcher, bus);
    }
}

// A session that calls itself Wayland with no compositor to be reached, no
// session bus and so no accessibility bus: the program comes up on X11 all
// the same, answers a later start, and ends in order.
TEST_F(SessionTest, NoCompositorNoBusTheProgramRunsOnX11)
{
    PrivateX11 x11;
    ASSERT_TRUE(x11.error().isEmpty()) << x11.error().toStdString();
    QTemporaryDir nowhere;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    x11.addTo(env);
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), nowhere.filePath(QStringLiteral("wayland-0")));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
               QStringLiteral("unix:path=") + nowhere.filePath(QStringLiteral("bus")));
    env.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS"))
                   .replace(QStringLiteral("detect_leaks=1"), QStringLiteral("detect_leaks=0")));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QString::fromLocal8Bit(qgetenv("SOMNEX_BUILD_DIR")) + QStringLiteral("/bin/somnex"), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    const QString socket = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR")) + QStringLiteral("/zul-somnex3.socket");
    const bool answers = waitUntil(
        [&] {
            QLocalSocket s;
            s.connectToServer(socket);
            if (!s.waitForConnected(200))
                return program.state() == QProcess::NotRunning;
            s.write("ping\n");
            s.waitForBytesWritten(500);
            return s.waitForReadyRead(2000) && s.readAll().contains("pong");
        },
        60000);
    EXPECT_TRUE(answers && program.state() == QProcess::Running) << "the program did not come up";
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(30000)) << "hangs";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

// "Записать сон" of the desktop entry (somnex --new-dream): a fresh start
// opens with the diary on a new dream, and so does a running program asked
// by a later start, which ends.
TEST_F(SessionTest, ANewDreamFromTheLauncherOpensTheDiary)
{
    PrivateX11 x11;
    ASSERT_TRUE(x11.error().isEmpty()) << x11.error().toStdString();
    PrivateBus bus;
    ASSERT_TRUE(bus.connected());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    x11.addTo(env);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS"))
                   .replace(QStringLiteral("detect_leaks=1"), QStringLiteral("detect_leaks=0")));
    const QString program = QString::fromLocal8Bit(qgetenv("SOMNEX_BUILD_DIR")) + QStringLiteral("/bin/somnex");
    const auto diaryShown = [&] {
        QProcess x;
        x.setProcessEnvironment(env);
        x.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                            QStringLiteral("--name"), QStringLiteral("Дневник снов")});
        x.waitForFinished(5000);
        return !x.readAllStandardOutput().trimmed().isEmpty();
    };
    const auto mainShown = [&] {
        QProcess x;
        x.setProcessEnvironment(env);
        x.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                            QStringLiteral("--name"), QStringLiteral("ZUL Somnex")});
        x.waitForFinished(5000);
        return !x.readAllStandardOutput().trimmed().isEmpty();
    };
    for (const bool running : {false, true}) {
        SCOPED_TRACE(running ? "a running program" : "a fresh start");
        QProcess first;
        first.setProcessEnvironment(env);
        first.setProcessChannelMode(QProcess::ForwardedChannels);
        first.start(program, running ? QStringList() : QStringList{QStringLiteral("--new-dream")});
        ASSERT_TRUE(first.waitForStarted(10000));
        if (running) {
            ASSERT_TRUE(waitUntil(mainShown, 60000)) << "the main window never came; " << x11.state().toStdString();
            EXPECT_FALSE(diaryShown());
            QProcess second;
            second.setProcessEnvironment(env);
            second.setProcessChannelMode(QProcess::ForwardedChannels);
            second.start(program, {QStringLiteral("--new-dream")});
            ASSERT_TRUE(second.waitForFinished(30000));
            EXPECT_EQ(second.exitCode(), 0);
        }
        EXPECT_TRUE(waitUntil(diaryShown, 60000)) << "no diary window; " << x11.state().toStdString();
        first.terminate();
        EXPECT_TRUE(first.waitForFinished(30000));
    }
}

// The same on Wayland: the program in the tray answers a later
// `somnex --new-dream` by coming back with the diary on a new dream.
TEST_F(SessionTest, ANewDreamFromTheLauncherReachesTheProgramOnWayland)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.connected());
    StatusNotifierWatcher watcher(bus.connection());
    ASSERT_TRUE(watcher.publish());
    startProbe({QStringLiteral("tray"), QStringLiteral("answering")}, bus.address());
    ASSERT_TRUE(expectLine(QStringLiteral("running"), 60000)) << lines.join('\n').toStdString();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    compositor.addTo(env);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS"))
                   .replace(QStringLiteral("detect_leaks=1"), QStringLiteral("detect_leaks=0")));
    QProcess later;
    later.setProcessEnvironment(env);
    later.setProcessChannelMode(QProcess::ForwardedChannels);
    later.start(QString::fromLocal8Bit(qgetenv("SOMNEX_BUILD_DIR")) + QStringLiteral("/bin/somnex"),
                {QStringLiteral("--new-dream")});
    ASSERT_TRUE(later.waitForFinished(30000));
    EXPECT_EQ(later.exitCode(), 0) << "the later start hands over and ends";
    const bool diary = waitUntil(
        [&] {
            while (probe->canReadLine()) {
                lines << QString::fromUtf8(probe->readLine()).trimmed();
                if (lines.last().startsWith(QStringLiteral("state "))
                    && lines.last().endsWith(QStringLiteral(" diary")))
                    return true;
            }
            return false;
        },
        30000);
    EXPECT_TRUE(diary) << lines.join('\n').toStdString();
}

TEST_F(SessionTest, NoSessionBusNoBoxNoHang)
{
    QTemporaryDir nowhere;
    startProbe({QStringLiteral("tray")}, QStringLiteral("unix:path=") + nowhere.filePath(QStringLiteral("bus")));
    ASSERT_TRUE(expectLine(QStringLiteral("running"))) << lines.join('\n').toStdString();
    EXPECT_FALSE(expectLine(QStringLiteral("state icon"), 2000));
    probe->write("quit\n");
    ASSERT_TRUE(probe->waitForFinished(20000)) << "hangs";
    EXPECT_EQ(probe->exitCode(), 0);
    EXPECT_EQ(messages(), QStringList());
}
