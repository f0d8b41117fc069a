#pragma once
// Work that must not hold up the window: it runs on a thread of the
// application's pool, and its result is handed to the window on the
// window's own thread, in the order of the window's event queue. When the
// window is gone by then, the result is dropped: nothing touches it.

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QRunnable>
#include <QThreadPool>

#include <type_traits>
#include <utility>

namespace somnex {

// Runs work() on a worker, then done(result) on the application's main
// thread, where context lives, while context lives. work must not throw
// (catch inside and return the fault).
template <class Work, class Done>
void runOnWorker(QObject *context, Work work, Done done)
{
    const QPointer<QObject> receiver(context);
    QThreadPool::globalInstance()->start(
        QRunnable::create([receiver, work = std::move(work), done = std::move(done)]() mutable {
            auto result = work();
            // The receiver is only looked at on its own thread: the result
            // travels by the application object, which outlives every
            // window, and the pointer is checked there.
            QCoreApplication *carrier = QCoreApplication::instance();
            if (!carrier)
                return;
            QMetaObject::invokeMethod(
                carrier,
                [receiver, done = std::move(done), result = std::move(result)]() mutable {
                    if (receiver)
                        done(std::move(result));
                },
                Qt::QueuedConnection);
        }));
}

// Waits until every piece of work started so far has ended and its result
// has been handed over (tests, and a window that must show its answer now).
inline void settleWorkers()
{
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
}

} // namespace somnex
