#include "platform/core/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace somnex;

namespace {

QCoreApplication &coreApp()
{
    static int argc = 1;
    static char name[] = "test";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *a = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)a;
    return *QCoreApplication::instance();
}

QString probe()
{
    return QString::fromLocal8Bit(qgetenv("SOMNEX_BUILD_DIR")) + QStringLiteral("/tests/single_instance_probe");
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const QByteArray &value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char *name_;
    bool had_;
    QByteArray old_;
};

} // namespace

TEST(SingleInstance, LeftoverSocketFileDoesNotBlockTheStart)
{
    coreApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SingleInstance first(dir.path());
    // A socket file with nobody listening, as a crashed instance leaves it.
    {
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        qstrncpy(addr.sun_path, first.socketPath().toLocal8Bit().constData(), sizeof addr.sun_path);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
        ::close(fd);
    }
    EXPECT_TRUE(first.start());

    // A second start (another process) hands over and is told no.
    int activations = 0;
    QObject::connect(&first, &SingleInstance::activationRequested, [&] { ++activations; });
    QProcess second;
    second.start(probe(), {dir.path(), QStringLiteral("0")});
    QElapsedTimer t;
    t.start();
    while ((activations == 0 || second.state() != QProcess::NotRunning) && t.elapsed() < 15000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(activations, 1);
    EXPECT_EQ(second.exitCode(), 3) << "the second start must not become an instance";
}

TEST(SingleInstance, SimultaneousStartsLeaveExactlyOne)
{
    coreApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    constexpr int kStarts = 10;
    for (int round = 0; round < 20; ++round) {
        std::vector<std::unique_ptr<QProcess>> procs;
        for (int i = 0; i < kStarts; ++i) {
            procs.push_back(std::make_unique<QProcess>());
            procs.back()->start(probe(), {dir.path(), QString::number(kStarts - 1)});
        }
        int first = 0, handedOver = 0;
        QString report;
        for (auto &p : procs) {
            ASSERT_TRUE(p->waitForFinished(30000)) << "round " << round;
            if (p->exitCode() == 0) {
                ++first;
                report = QString::fromLocal8Bit(p->readAllStandardOutput());
            } else if (p->exitCode() == 3) {
                ++handedOver;
            }
        }
        ASSERT_EQ(first, 1) << "round " << round;
        ASSERT_EQ(handedOver, kStarts - 1) << "round " << round;
        // every later start reached the running instance
        EXPECT_EQ(report, QStringLiteral("first\nactivations %1\n").arg(kStarts - 1).toStdString().c_str())
            << "round " << round;
    }
}

TEST(SingleInstance, RuntimeFolderIsPrivate)
{
    QTemporaryDir tmp; // stands in for the system's temporary folder
    ASSERT_TRUE(tmp.isValid());
    const QString own = tmp.path() + QStringLiteral("/zul-somnex-%1").arg(getuid());
    const QString shared = tmp.path() + QStringLiteral("/shared");
    ASSERT_TRUE(QDir().mkpath(shared));
    ::chmod(QFile::encodeName(shared).constData(), 0755);
    const QString priv = tmp.path() + QStringLiteral("/private");
    ASSERT_TRUE(QDir().mkpath(priv));
    ::chmod(QFile::encodeName(priv).constData(), 0700);
    ScopedEnv tmpdir("TMPDIR", QFile::encodeName(tmp.path()));

    struct Case {
        const char *what;
        QByteArray runtime; // null: unset
        QString expected;
    } cases[] = {
        {"private runtime folder", QFile::encodeName(priv), priv},
        {"no runtime folder", QByteArray(), own},
        {"runtime folder others may enter", QFile::encodeName(shared), own},
        {"relative runtime folder", QByteArray("private"), own},
    };
    for (const Case &c : cases) {
        ScopedEnv runtime("XDG_RUNTIME_DIR", c.runtime);
        EXPECT_EQ(SingleInstance::defaultFolder(), c.expected) << c.what;
    }
    const QFileInfo fi(own);
    EXPECT_TRUE(fi.isDir());
    EXPECT_EQ(fi.permissions()
                  & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther
                     | QFile::ExeOther),
              QFile::Permissions());

    // A folder of that name that others may enter is refused, not used.
    ::chmod(QFile::encodeName(own).constData(), 0777);
    ScopedEnv runtime("XDG_RUNTIME_DIR", QByteArray());
    EXPECT_EQ(SingleInstance::defaultFolder(), QString());
}

TEST(SingleInstance, FilesOfALaterStartGoToTheRunningInstance)
{
    coreApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SingleInstance first(dir.path());
    ASSERT_TRUE(first.start());
    int activations = 0;
    QStringList received;
    QObject::connect(&first, &SingleInstance::activationRequested, [&] { ++activations; });
    QObject::connect(&first, &SingleInstance::filesRequested, [&](const QStringList &f) { received += f; });

    // Any character a path may hold travels, a line break and spaces too.
    const QStringList files = {QStringLiteral("/home/u/Загрузки/Старый сонник.book"),
                               QStringLiteral("/tmp/a\nb%20c.book")};
    SingleInstance second(dir.path());
    EXPECT_FALSE(second.start(files));
    QElapsedTimer t;
    t.start();
    while (received.isEmpty() && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(received, files);
    EXPECT_EQ(activations, 1);
}
