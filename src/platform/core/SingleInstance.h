#pragma once
// One running instance per user. The running instance holds an exclusive
// lock on a file in the user's runtime folder for its whole life and listens
// on a local socket beside it; a later start finds the lock taken, connects,
// asks the first to come to the front and ends. The lock goes with the
// process that held it, so a socket left behind by a crash never blocks a
// start, and starts at the same moment cannot both win.
//
// The folder is $XDG_RUNTIME_DIR when it is a folder of the user's own that
// nobody else may enter; otherwise a private folder (mode 0700) of the user's
// in the temporary folder.
//
// Requests on the socket, one line each: "open <path>" (the path
// percent-encoded) hands a file to the instance, "new-dream" asks it to open
// the diary on a new dream, "token <token>" (percent-
// encoded) the launcher's activation token of the later start
// ($XDG_ACTIVATION_TOKEN) for the activation that follows, "activate" brings
// it to the front (answered "ok"), "ping" is only answered ("pong"). Unknown
// lines are ignored, so an older instance still comes to the front when a
// newer start sends a token, and a newer instance when an older start sends
// none. A request that grows past 1 MiB without an end of line is not one of
// ours: its connection is dropped.
//
// The socket is a plain AF_UNIX stream socket, readable by the user alone. A
// folder whose socket path does not fit a socket address cannot guard
// against a second start: every start there runs.

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QSocketNotifier;

namespace somnex {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString folder = defaultFolder(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the running instance. False when another
    // instance runs; it has been handed the files and asked to come to the
    // front.
    bool start(const QStringList &files = {}, bool newDream = false);

    // The runtime folder as described above, created when needed; empty when
    // no private folder can be had.
    static QString defaultFolder();
    QString socketPath() const;
    QString lockPath() const;

signals:
    // token: the later start's activation token, empty when it had none.
    void activationRequested(const QByteArray &token);
    void filesRequested(const QStringList &files);
    // A later start asked for a new dream in the diary (somnex --new-dream).
    void newDreamRequested();

private:
    struct Peer;

    bool askRunningInstance(const QStringList &files, bool newDream);
    void listen();
    void acceptPeers();
    void readPeer(Peer *peer);
    // Handles the complete lines in the peer's buffer; false when the peer
    // is to be dropped.
    bool handleLines(Peer &peer);
    void dropPeer(Peer *peer);

    QString folder_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    QSocketNotifier *listener_ = nullptr;
    std::vector<std::unique_ptr<Peer>> peers_;
};

} // namespace somnex
