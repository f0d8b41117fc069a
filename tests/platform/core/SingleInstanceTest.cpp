#include "platform/core/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace somnex;

namespace {
QString uniqueName(const char *tag)
{
    return QStringLiteral("somnex-test-%1-%2").arg(QLatin1String(tag)).arg(getpid());
}
} // namespace

TEST(SingleInstance, LeftoverSocketFileDoesNotBlockTheStart)
{
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    const QString name = uniqueName("stale");
    // A socket file with nobody listening, as a crashed instance leaves it.
    const QString path = QDir::tempPath() + QLatin1Char('/') + name;
    {
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        qstrncpy(addr.sun_path, path.toLocal8Bit().constData(), sizeof addr.sun_path);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
        ::close(fd);
    }
    SingleInstance first(name);
    EXPECT_TRUE(first.start());

    // A second start hands over and is told no.
    int activations = 0;
    QObject::connect(&first, &SingleInstance::activationRequested, [&] { ++activations; });
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int c = 0;
        QCoreApplication childApp(c, nullptr);
        SingleInstance second(name);
        _exit(second.start() ? 1 : 0);
    }
    QElapsedTimer t;
    t.start();
    while (activations == 0 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(activations, 1);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the second start must not become an instance";
}
