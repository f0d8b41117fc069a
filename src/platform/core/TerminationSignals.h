#pragma once
// SIGTERM and SIGHUP (a logout, a shutdown, `kill`) turned into a Qt signal.
// The signal handler only writes the signal's number into a pipe; a socket
// notifier on the pipe's other end emits terminationRequested in the event
// loop, where the program may do anything.

#include <QObject>

class QSocketNotifier;

namespace somnex {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one object at a time. The previous handlers come
    // back when it is destroyed.
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readPipe();
    QSocketNotifier *notifier_ = nullptr;
};

} // namespace somnex
