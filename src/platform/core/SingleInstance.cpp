#include "platform/core/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace somnex {

namespace {
constexpr int kConnectTimeoutMs = 1500;
const QByteArray kActivate = QByteArrayLiteral("activate\n");
} // namespace

SingleInstance::SingleInstance(QString name, QObject *parent) : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName()
{
    return QStringLiteral("zul-somnex3-%1").arg(getuid());
}

bool SingleInstance::start()
{
    {
        QLocalSocket probe;
        probe.connectToServer(name_);
        if (probe.waitForConnected(kConnectTimeoutMs)) {
            probe.write(kActivate);
            probe.waitForBytesWritten(kConnectTimeoutMs);
            // Wait for the first instance to take the request before leaving.
            probe.waitForReadyRead(kConnectTimeoutMs);
            probe.disconnectFromServer();
            return false;
        }
    }
    // Nobody answered: whatever socket file is there is left over.
    QLocalServer::removeServer(name_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_))
        return true; // cannot guard against a second start, but can run
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                const QByteArray data = s->readAll();
                if (data.contains("activate")) {
                    s->write("ok\n");
                    s->flush();
                    emit activationRequested();
                }
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    return true;
}

} // namespace somnex
