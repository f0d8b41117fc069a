#include "platform/core/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QUrl>

#include <cerrno>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace somnex {

namespace {
constexpr int kConnectTimeoutMs = 1500;
// How long a later start keeps trying to reach an instance that holds the
// lock but is not listening yet (it is still starting).
constexpr int kReachTimeoutMs = 10000;
const QByteArray kActivate = QByteArrayLiteral("activate\n");
// Longest request kept while waiting for its end of line.
constexpr qsizetype kLongestRequest = 1 << 20;

// A folder of ours that only we may enter (not a link).
bool isPrivateFolder(const QByteArray &path)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}
} // namespace

SingleInstance::SingleInstance(QString folder, QObject *parent) : QObject(parent), folder_(std::move(folder)) {}

SingleInstance::~SingleInstance()
{
    if (server_) {
        server_->close();
        delete server_;
        server_ = nullptr;
    }
    if (lockFd_ >= 0)
        ::close(lockFd_); // releases the lock
}

QString SingleInstance::defaultFolder()
{
    const QByteArray xdg = qgetenv("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty() && xdg.startsWith('/') && isPrivateFolder(xdg))
        return QString::fromLocal8Bit(xdg);
    const QByteArray own =
        QFile::encodeName(QDir::tempPath()) + QByteArray("/zul-somnex-") + QByteArray::number(::getuid());
    if (::mkdir(own.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    // Someone else's folder, or one others may enter, is never used.
    if (!isPrivateFolder(own))
        return {};
    return QString::fromLocal8Bit(own);
}

QString SingleInstance::socketPath() const
{
    return folder_ + QStringLiteral("/zul-somnex3.socket");
}

QString SingleInstance::lockPath() const
{
    return folder_ + QStringLiteral("/zul-somnex3.lock");
}

bool SingleInstance::start(const QStringList &files)
{
    if (folder_.isEmpty())
        return true; // no private place: cannot guard against a second start, but can run
    const QByteArray lock = QFile::encodeName(lockPath());
    lockFd_ = ::open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd_ < 0)
        return true;
    int rc;
    do
        rc = ::flock(lockFd_, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        listen();
        return true;
    }
    const int err = errno;
    ::close(lockFd_);
    lockFd_ = -1;
    if (err != EWOULDBLOCK)
        return true; // locks do not work here: run
    askRunningInstance(files);
    return false;
}

bool SingleInstance::askRunningInstance(const QStringList &files)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < kReachTimeoutMs) {
        QLocalSocket probe;
        probe.connectToServer(socketPath());
        if (probe.waitForConnected(kConnectTimeoutMs)) {
            for (const QString &f : files)
                probe.write("open " + QUrl::toPercentEncoding(f) + '\n');
            const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
            if (!token.isEmpty())
                probe.write("token " + token.toPercentEncoding() + '\n');
            probe.write(kActivate);
            probe.waitForBytesWritten(kConnectTimeoutMs);
            // Wait for the first instance to take the request before leaving.
            probe.waitForReadyRead(kConnectTimeoutMs);
            probe.disconnectFromServer();
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

void SingleInstance::listen()
{
    // We hold the lock: whatever socket file is there is left over.
    QLocalServer::removeServer(socketPath());
    server_ = new QLocalServer;
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socketPath()))
        return;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *s = server_->nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            auto files = std::make_shared<QStringList>();
            auto token = std::make_shared<QByteArray>();
            connect(s, &QLocalSocket::readyRead, this, [this, s, buffer, files, token] {
                *buffer += s->readAll();
                if (buffer->size() > kLongestRequest) {
                    s->abort(); // not one of ours
                    return;
                }
                qsizetype end;
                while ((end = buffer->indexOf('\n')) >= 0) {
                    const QByteArray line = buffer->left(end).trimmed();
                    buffer->remove(0, end + 1);
                    if (line == "ping") {
                        // a check that the running instance answers, nothing more
                        s->write("pong\n");
                        s->flush();
                    } else if (line.startsWith("open ")) {
                        files->append(QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(5))));
                    } else if (line.startsWith("token ")) {
                        *token = QByteArray::fromPercentEncoding(line.mid(6));
                    } else if (line == "activate") {
                        s->write("ok\n");
                        s->flush();
                        emit activationRequested(std::exchange(*token, {}));
                        if (!files->isEmpty())
                            emit filesRequested(std::exchange(*files, {}));
                    }
                }
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
}

} // namespace somnex
