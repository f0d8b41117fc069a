#include "platform/ui/Application.h"

#include "platform/core/Messages.h"
#include "platform/error/Error.h"

namespace somnex {

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        const QString text = describe(std::current_exception());
        // The box runs an event loop of its own; a failure in it must not
        // escape either.
        tryStep([&] { ShowMessage(text, QString(), MsgIcon::Error); });
        return false;
    }
}

} // namespace somnex
