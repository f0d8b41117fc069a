#pragma once
// One running instance per user. The first start listens on a local socket
// named after the user; a later start connects, asks the first to come to
// the front and ends. A socket left behind by a crashed instance is removed.

#include <QObject>
#include <QString>

class QLocalServer;

namespace somnex {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString name = defaultName(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the running instance. False when another
    // instance answered; it has been asked to come to the front.
    bool start();

    static QString defaultName();

signals:
    void activationRequested();

private:
    QString name_;
    QLocalServer *server_ = nullptr;
};

} // namespace somnex
