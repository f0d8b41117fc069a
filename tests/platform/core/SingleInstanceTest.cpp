#include "platform/core/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include <fcntl.h>
#include <sys/file.h>
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

// "somnex --new-dream" against a running instance: it asks for a new dream
// once, after coming to the front; a plain later start asks for none.
TEST(SingleInstance, ANewDreamAskedByALaterStartReachesTheRunningInstance)
{
    coreApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SingleInstance first(dir.path());
    ASSERT_TRUE(first.start());
    QStringList heard;
    QObject::connect(&first, &SingleInstance::activationRequested, [&] { heard << "activate"; });
    QObject::connect(&first, &SingleInstance::newDreamRequested, [&] { heard << "new-dream"; });
    auto waitFor = [&](qsizetype n) {
        QElapsedTimer t;
        t.start();
        while (heard.size() < n && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    };
    SingleInstance second(dir.path());
    EXPECT_FALSE(second.start({}, true));
    waitFor(2);
    EXPECT_EQ(heard, QStringList({"activate", "new-dream"}));
    SingleInstance third(dir.path());
    EXPECT_FALSE(third.start());
    waitFor(3);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_EQ(heard, QStringList({"activate", "new-dream", "activate"}));
}

// A later start passes its launcher's activation token in a line of its own
// before "activate": an older instance, which knows the "activate" line
// alone, still comes to the front, and a newer instance takes what an older
// start sends.
TEST(SingleInstance, TheActivationTokenTravelsAndOldRequestsStillWork)
{
    coreApp();
    struct Case {
        const char *what;
        QByteArray request; // raw bytes of a later start; empty: a SingleInstance of today
        QByteArray env;     // its XDG_ACTIVATION_TOKEN (null: unset)
        QByteArray token;   // what the running instance receives
    };
    const Case cases[] = {
        {"today's start with a token", {}, "kwin-4711_abc:def", "kwin-4711_abc:def"},
        {"today's start without one", {}, QByteArray(), ""},
        {"an older start", "activate\n", {}, ""},
        {"lines unknown to us are skipped", "token t%20x\nhello there\nactivate\n", {}, "t x"},
        {"a token for one activation only", "token one\nactivate\nactivate\n", {}, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        SingleInstance first(dir.path());
        ASSERT_TRUE(first.start());
        QList<QByteArray> tokens;
        QObject::connect(&first, &SingleInstance::activationRequested,
                         [&](const QByteArray &token) { tokens.append(token); });
        if (c.request.isEmpty()) {
            ScopedEnv token("XDG_ACTIVATION_TOKEN", c.env);
            SingleInstance second(dir.path());
            EXPECT_FALSE(second.start());
        } else {
            QLocalSocket s;
            s.connectToServer(first.socketPath());
            ASSERT_TRUE(s.waitForConnected(2000));
            s.write(c.request);
            s.flush();
        }
        QElapsedTimer t;
        t.start();
        const qsizetype wanted = c.request.count("activate\n") ? c.request.count("activate\n") : 1;
        while (tokens.size() < wanted && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        ASSERT_EQ(tokens.size(), wanted);
        EXPECT_EQ(tokens.last(), c.token);
    }
}

// What a start of today writes, read as an older instance reads it: an
// "activate" line exactly, after the token line.
TEST(SingleInstance, ALaterStartWritesAnActivateLineOlderInstancesKnow)
{
    coreApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SingleInstance layout(dir.path());
    // The older instance: the lock held, a plain server on the socket.
    const int lock = ::open(QFile::encodeName(layout.lockPath()).constData(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    QLocalServer older;
    ASSERT_TRUE(older.listen(layout.socketPath()));
    {
        ScopedEnv token("XDG_ACTIVATION_TOKEN", "abc 1");
        SingleInstance second(dir.path());
        EXPECT_FALSE(second.start());
    }
    ASSERT_TRUE(older.waitForNewConnection(2000));
    QLocalSocket *s = older.nextPendingConnection();
    ASSERT_NE(s, nullptr);
    s->waitForReadyRead(1000);
    const QList<QByteArray> lines = s->readAll().split('\n');
    EXPECT_EQ(lines, (QList<QByteArray>{"token abc%201", "activate", ""}));
    ::close(lock);
}

namespace {

// Runs the event loop until the condition holds or the time is up.
template <class Condition>
bool processEventsUntil(Condition done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// A peer on the instance's socket as any local program may be one, served by
// the event loop of this same thread while it waits.
class RawPeer {
public:
    explicit RawPeer(const QString &socketPath)
    {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        qstrncpy(addr.sun_path, QFile::encodeName(socketPath).constData(), sizeof addr.sun_path);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    }
    ~RawPeer() { close(); }
    bool connected() const { return connected_; }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    // False when the instance closed the connection before all was taken.
    bool send(const QByteArray &data)
    {
        qsizetype done = 0;
        return processEventsUntil(
                   [&] {
                       while (done < data.size()) {
                           const ssize_t n =
                               ::send(fd_, data.constData() + done, size_t(data.size() - done), MSG_NOSIGNAL);
                           if (n < 0)
                               return errno != EAGAIN && errno != EINTR;
                           done += n;
                       }
                       return true;
                   },
                   10000)
               && done == data.size();
    }
    // What arrives until the instance closes the connection or the time is
    // up; closed() tells which.
    QByteArray receive(int timeoutMs)
    {
        QByteArray got;
        processEventsUntil(
            [&] {
                char buf[4096];
                const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
                if (n > 0)
                    got.append(buf, n);
                closed_ = n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR);
                return closed_;
            },
            timeoutMs);
        return got;
    }
    bool closed() const { return closed_; }

private:
    int fd_ = -1;
    bool connected_ = false;
    bool closed_ = false;
};

} // namespace

// Whatever a local program does on the socket, the next start is still
// served: peers that say nothing, that never end their line, or that leave
// before their answer.
TEST(SingleInstance, MisbehavingPeersDoNotStopTheInstance)
{
    coreApp();
    enum class Then { Nothing, StaySilent, Leave, ReadTheDrop };
    struct Case {
        const char *what;
        QByteArray request;
        Then then;
        int activations; // asked by the peer itself
    } cases[] = {
        {"connects, sends nothing and leaves", {}, Then::Leave, 0},
        {"connects and stays silent meanwhile", {}, Then::StaySilent, 0},
        {"half a line, then leaves", "acti", Then::Leave, 0},
        {"2 MiB without an end of line", QByteArray(2 << 20, 'x'), Then::ReadTheDrop, 0},
        {"leaves before reading its answer", "activate\n", Then::Leave, 1},
        {"pings without reading and leaves", QByteArray("ping\n").repeated(1000), Then::Leave, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        SingleInstance first(dir.path());
        ASSERT_TRUE(first.start());
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(first.socketPath()).constData(), &st), 0);
        EXPECT_TRUE(S_ISSOCK(st.st_mode));
        EXPECT_EQ(st.st_mode & 077, 0u) << "only the user may connect";
        int activations = 0;
        QObject::connect(&first, &SingleInstance::activationRequested, [&] { ++activations; });

        RawPeer peer(first.socketPath());
        ASSERT_TRUE(peer.connected());
        if (c.then == Then::ReadTheDrop) {
            peer.send(c.request); // may fail part way: the instance drops it
            peer.receive(5000);
            EXPECT_TRUE(peer.closed()) << "the instance keeps a peer that never ends its line";
        } else {
            ASSERT_TRUE(peer.send(c.request));
            if (c.then == Then::Leave)
                peer.close();
        }
        // This process dies here of SIGPIPE if the answer to a peer gone is
        // written carelessly.
        processEventsUntil([&] { return activations == c.activations; }, 2000);
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(activations, c.activations);

        RawPeer next(first.socketPath());
        ASSERT_TRUE(next.connected());
        ASSERT_TRUE(next.send("ping\nactivate\n"));
        EXPECT_TRUE(processEventsUntil([&] { return activations == c.activations + 1; }, 5000));
        EXPECT_EQ(next.receive(300), "pong\nok\n");
    }
}

// A socket address holds a path of at most 107 bytes and its ending zero. In
// a folder whose socket path is longer, no instance can listen, so every
// start runs; one byte shorter, the guard works.
TEST(SingleInstance, ASocketPathTooLongForAnAddressRunsEveryStart)
{
    coreApp();
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    struct Case {
        qsizetype socketPathBytes;
        bool secondRuns;
    } cases[] = {{107, false}, {108, true}, {200, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.socketPathBytes);
        const qsizetype base = QFile::encodeName(SingleInstance(tmp.path() + "/").socketPath()).size();
        ASSERT_LT(base, c.socketPathBytes);
        const QString path = tmp.path() + "/" + QString(c.socketPathBytes - base, QChar(u'd'));
        ASSERT_TRUE(QDir().mkpath(path));
        ::chmod(QFile::encodeName(path).constData(), 0700);
        SingleInstance first(path);
        ASSERT_EQ(QFile::encodeName(first.socketPath()).size(), c.socketPathBytes);
        EXPECT_TRUE(first.start());
        int activations = 0;
        QObject::connect(&first, &SingleInstance::activationRequested, [&] { ++activations; });
        SingleInstance second(path);
        EXPECT_EQ(second.start(), c.secondRuns);
        processEventsUntil([&] { return activations > 0; }, c.secondRuns ? 200 : 5000);
        EXPECT_EQ(activations, c.secondRuns ? 0 : 1);
    }
}
