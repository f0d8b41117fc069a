#pragma once
// The program's QApplication. Its event delivery is the last guard against an
// exception that escaped a slot or an event handler: such an exception would
// cross Qt's event loop and abort the process. Here it becomes the error box
// with the exception's description, and the program goes on.

#include <QApplication>

namespace somnex {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace somnex
