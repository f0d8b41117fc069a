#pragma once
// Private desktop sessions for one test: a headless Wayland compositor
// (weston) with its own runtime folder and display name, a D-Bus session bus
// of its own, and a minimal notification-area watcher on that bus. Each is
// stopped when its object goes.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <functional>
#include <memory>

#include <unistd.h>

namespace session_test {

inline bool waitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

inline void stop(QProcess &p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

// weston on its headless backend; empty error() when it runs.
class PrivateCompositor {
public:
    PrivateCompositor()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("weston")).isEmpty()) {
            error_ = QStringLiteral("weston is not installed (scripts/deps.sh installs it)");
            return;
        }
        QFile::setPermissions(runtime_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        display_ = QStringLiteral("somnex-test-%1").arg(::getpid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("DISPLAY"));
        weston_.setProcessEnvironment(env);
        weston_.setProcessChannelMode(QProcess::MergedChannels);
        weston_.start(QStringLiteral("weston"),
                      {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--socket=") + display_,
                       QStringLiteral("--width=1024"), QStringLiteral("--height=768"), QStringLiteral("--idle-time=0"),
                       QStringLiteral("--no-config")});
        const QString socket = runtime_.path() + QLatin1Char('/') + display_;
        if (!weston_.waitForStarted(10000)
            || !waitUntil([&] { return QFile::exists(socket) || weston_.state() == QProcess::NotRunning; }, 20000)
            || !QFile::exists(socket))
            error_ = QStringLiteral("weston did not start: ") + QString::fromLocal8Bit(weston_.readAll());
    }
    ~PrivateCompositor() { stop(weston_); }
    QString error() const { return error_; }
    // What a client of this compositor needs in its environment.
    void addTo(QProcessEnvironment &env) const
    {
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), display_);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        env.remove(QStringLiteral("DISPLAY"));
    }
    QString log() { return QString::fromLocal8Bit(weston_.readAll()); }

private:
    QTemporaryDir runtime_;
    QString display_;
    QProcess weston_;
    QString error_;
};

// Xvfb on a display number of its own; empty error() when it runs. The
// server picks the number itself (-displayfd), so two tests starting at once
// never share one, and it tells the number only once it listens. -noreset
// keeps it from resetting each time its last client goes, between one start
// of the program and the next.
class PrivateX11 {
public:
    PrivateX11()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
            error_ = QStringLiteral("Xvfb is not installed (scripts/deps.sh installs it)");
            return;
        }
        xvfb_.start(QStringLiteral("Xvfb"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                     QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                     QStringLiteral("1024x768x24")});
        if (xvfb_.waitForStarted(10000)
            && waitUntil([&] { return xvfb_.canReadLine() || xvfb_.state() == QProcess::NotRunning; }, 30000)
            && xvfb_.state() == QProcess::Running) {
            bool ok = false;
            const int n = QString::fromLocal8Bit(xvfb_.readLine()).trimmed().toInt(&ok);
            if (ok) {
                display_ = QStringLiteral(":%1").arg(n);
                return;
            }
        }
        error_ = QStringLiteral("Xvfb did not start: ") + log();
        stop(xvfb_);
    }
    ~PrivateX11() { stop(xvfb_); }
    QString error() const { return error_; }
    // Whether the server still runs, and what it said: for a test's message.
    QString state()
    {
        return (xvfb_.state() == QProcess::Running ? QStringLiteral("Xvfb %1 runs").arg(display_)
                                                   : QStringLiteral("Xvfb %1 has ended").arg(display_))
               + QStringLiteral("; its output: ") + log();
    }
    void addTo(QProcessEnvironment &env) const
    {
        env.insert(QStringLiteral("DISPLAY"), display_);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    }

private:
    QString log() { return QString::fromLocal8Bit(xvfb_.readAllStandardOutput() + xvfb_.readAllStandardError()); }
    QString display_;
    QProcess xvfb_;
    QString error_;
};

// dbus-daemon with a session configuration, listening in a folder of its own.
class PrivateBus {
public:
    PrivateBus()
    {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                       QStringLiteral("--address=unix:dir=") + dir_.path()});
        if (daemon_.waitForStarted(10000) && waitUntil([&] { return daemon_.canReadLine(); }, 10000))
            address_ = QString::fromLocal8Bit(daemon_.readLine()).trimmed();
        if (address_.isEmpty())
            return;
        name_ = QStringLiteral("somnex-test-bus-%1").arg(++count());
        connection_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address_, name_));
    }
    ~PrivateBus()
    {
        connection_.reset();
        if (!name_.isEmpty())
            QDBusConnection::disconnectFromBus(name_);
        stop(daemon_);
    }
    QString address() const { return address_; }
    bool connected() const { return connection_ && connection_->isConnected(); }
    QDBusConnection &connection() { return *connection_; }

private:
    static int &count()
    {
        static int n = 0;
        return n;
    }
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_, name_;
    std::unique_ptr<QDBusConnection> connection_;
};

} // namespace session_test
