#include "platform/core/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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
// What one wake-up of a connection reads at most, so that a peer that keeps
// writing does not hold the event loop.
constexpr qsizetype kReadChunk = qsizetype{64} * 1024;
constexpr int kChunksPerWakeUp = 16;
// Pause of the listener when the process runs out of descriptors.
constexpr int kAcceptPauseMs = 100;

// A folder of ours that only we may enter (not a link).
bool isPrivateFolder(const QByteArray &path)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

// The socket's address; false when the path does not fit (with its ending
// zero) in sun_path.
bool socketAddress(const QString &path, sockaddr_un &addr)
{
    const QByteArray encoded = QFile::encodeName(path);
    addr = {};
    addr.sun_family = AF_UNIX;
    if (encoded.isEmpty() || encoded.size() >= qsizetype(sizeof addr.sun_path))
        return false;
    std::memcpy(addr.sun_path, encoded.constData(), size_t(encoded.size()));
    return true;
}

int closeKeepingErrno(int fd)
{
    const int err = errno;
    ::close(fd);
    errno = err;
    return -1;
}

// Milliseconds left of a timeout, never below zero.
int remaining(const QElapsedTimer &t, int timeoutMs)
{
    return int(std::max<qint64>(0, timeoutMs - t.elapsed()));
}

// Waits until the descriptor is ready for the events or the time is up.
bool waitFor(int fd, short events, const QElapsedTimer &t, int timeoutMs)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, 1, remaining(t, timeoutMs));
        if (rc > 0)
            return true;
        if (rc == 0 || errno != EINTR)
            return false;
    }
}

// A connected non-blocking socket to the address, or -1 after the timeout.
int connectWithin(const sockaddr_un &addr, int timeoutMs)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    QElapsedTimer t;
    t.start();
    for (;;) {
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0 || errno == EISCONN)
            return fd;
        if (errno == EINTR)
            continue;
        if (errno == EINPROGRESS) {
            int err = 0;
            socklen_t len = sizeof err;
            if (waitFor(fd, POLLOUT, t, timeoutMs) && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0
                && err == 0)
                return fd;
            return closeKeepingErrno(fd);
        }
        // The instance's backlog is full: it is busy taking other starts.
        if (errno != EAGAIN || remaining(t, timeoutMs) == 0)
            return closeKeepingErrno(fd);
        ::poll(nullptr, 0, 10);
    }
}

// Writes all of the data; false when the peer is gone or the time is up.
bool sendAll(int fd, const QByteArray &data, const QElapsedTimer &t, int timeoutMs)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.constData() + done, size_t(data.size() - done), MSG_NOSIGNAL);
        if (n >= 0) {
            done += n;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitFor(fd, POLLOUT, t, timeoutMs))
                return false;
        } else if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

// A short answer on a non-blocking socket. It is not retried: a peer whose
// buffer is full does not read its answers and is not one of ours.
bool answer(int fd, const char *line)
{
    const size_t size = std::strlen(line);
    ssize_t n;
    do
        n = ::send(fd, line, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    return n == ssize_t(size);
}
} // namespace

// A connection taken by the running instance and what it has sent so far.
struct SingleInstance::Peer {
    int fd = -1;
    QSocketNotifier *notifier = nullptr;
    QByteArray buffer;
    QStringList files;
    QByteArray token;
    bool newDream = false;

    ~Peer()
    {
        if (notifier) {
            // Not deleted here: this may run inside its own signal.
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
        if (fd >= 0)
            ::close(fd);
    }
};

SingleInstance::SingleInstance(QString folder, QObject *parent) : QObject(parent), folder_(std::move(folder)) {}

SingleInstance::~SingleInstance()
{
    peers_.clear();
    if (listenFd_ >= 0) {
        delete listener_;
        listener_ = nullptr;
        ::close(listenFd_);
        listenFd_ = -1;
        // Still ours while we hold the lock.
        ::unlink(QFile::encodeName(socketPath()).constData());
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

bool SingleInstance::start(const QStringList &files, bool newDream)
{
    if (folder_.isEmpty())
        return true; // no private place: cannot guard against a second start, but can run
    sockaddr_un addr;
    if (!socketAddress(socketPath(), addr))
        return true; // no instance can listen here, so none can be asked: run
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
    askRunningInstance(files, newDream);
    return false;
}

bool SingleInstance::askRunningInstance(const QStringList &files, bool newDream)
{
    sockaddr_un addr;
    if (!socketAddress(socketPath(), addr))
        return false;
    QByteArray request;
    for (const QString &f : files)
        request += "open " + QUrl::toPercentEncoding(f) + '\n';
    if (newDream)
        request += "new-dream\n";
    const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
    if (!token.isEmpty())
        request += "token " + token.toPercentEncoding() + '\n';
    request += kActivate;

    QElapsedTimer t;
    t.start();
    while (t.elapsed() < kReachTimeoutMs) {
        const int fd = connectWithin(addr, kConnectTimeoutMs);
        if (fd >= 0) {
            QElapsedTimer io;
            io.start();
            if (sendAll(fd, request, io, kConnectTimeoutMs)) {
                // Wait for the first instance to take the request before leaving.
                io.restart();
                if (waitFor(fd, POLLIN, io, kConnectTimeoutMs)) {
                    char reply[16];
                    while (::recv(fd, reply, sizeof reply, MSG_DONTWAIT) < 0 && errno == EINTR) {
                    }
                }
            }
            ::close(fd);
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

void SingleInstance::listen()
{
    const QByteArray path = QFile::encodeName(socketPath());
    sockaddr_un addr;
    if (!socketAddress(socketPath(), addr))
        return;
    // We hold the lock: whatever socket file is there is left over.
    ::unlink(path.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return;
    }
    // Nobody can connect before listen(), so the file is the user's alone
    // from the first connection on.
    if (::chmod(path.constData(), 0600) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        ::close(fd);
        ::unlink(path.constData());
        return;
    }
    listenFd_ = fd;
    listener_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(listener_, &QSocketNotifier::activated, this, &SingleInstance::acceptPeers);
}

void SingleInstance::acceptPeers()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // The pending start stays queued; the listener would wake us
                // again at once, so it rests a moment.
                listener_->setEnabled(false);
                QTimer::singleShot(kAcceptPauseMs, listener_, [n = listener_] { n->setEnabled(true); });
            }
            return; // EAGAIN: all taken
        }
        auto peer = std::make_unique<Peer>();
        peer->fd = fd;
        peer->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        Peer *p = peer.get();
        connect(peer->notifier, &QSocketNotifier::activated, this, [this, p] { readPeer(p); });
        peers_.push_back(std::move(peer));
    }
}

void SingleInstance::readPeer(Peer *peer)
{
    // The handlers of our signals may run an event loop: no second read of
    // this peer meanwhile.
    peer->notifier->setEnabled(false);
    bool closed = false;
    for (int chunk = 0; chunk < kChunksPerWakeUp; ++chunk) {
        const qsizetype had = peer->buffer.size();
        peer->buffer.resize(had + kReadChunk);
        ssize_t n;
        do
            n = ::recv(peer->fd, peer->buffer.data() + had, size_t(kReadChunk), 0);
        while (n < 0 && errno == EINTR);
        peer->buffer.resize(had + std::max<ssize_t>(n, 0));
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n <= 0) {
            closed = true; // gone, or broken
            break;
        }
        if (!handleLines(*peer))
            return dropPeer(peer);
        if (peer->buffer.size() > kLongestRequest)
            return dropPeer(peer); // not one of ours
    }
    if (closed)
        return dropPeer(peer);
    peer->notifier->setEnabled(true);
}

bool SingleInstance::handleLines(Peer &peer)
{
    qsizetype start = 0;
    qsizetype end;
    // A peer that is gone or does not read its answers is dropped, but the
    // lines it sent before are still carried out.
    bool keep = true;
    while ((end = peer.buffer.indexOf('\n', start)) >= 0) {
        const QByteArray line = peer.buffer.mid(start, end - start).trimmed();
        start = end + 1;
        if (line == "ping") {
            // a check that the running instance answers, nothing more
            keep = answer(peer.fd, "pong\n") && keep;
        } else if (line.startsWith("open ")) {
            peer.files.append(QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(5))));
        } else if (line == "new-dream") {
            peer.newDream = true;
        } else if (line.startsWith("token ")) {
            peer.token = QByteArray::fromPercentEncoding(line.mid(6));
        } else if (line == "activate") {
            keep = answer(peer.fd, "ok\n") && keep;
            emit activationRequested(std::exchange(peer.token, {}));
            if (!peer.files.isEmpty())
                emit filesRequested(std::exchange(peer.files, {}));
            if (std::exchange(peer.newDream, false))
                emit newDreamRequested();
        }
    }
    peer.buffer.remove(0, start);
    return keep;
}

void SingleInstance::dropPeer(Peer *peer)
{
    const auto it = std::find_if(peers_.begin(), peers_.end(), [peer](const auto &p) { return p.get() == peer; });
    if (it != peers_.end())
        peers_.erase(it);
}

} // namespace somnex
