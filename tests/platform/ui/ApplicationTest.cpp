#include "platform/ui/Application.h"

#include "platform/core/Messages.h"
#include "platform/error/Error.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace somnex;

TEST(Application, AnExceptionEscapingASlotBecomesTheErrorBox)
{
    int argc = 1;
    char name[] = "test";
    char *argv[] = {name, nullptr};
    Application a(argc, argv);
    QList<Message> shown;
    SetMessageHandler([&](const Message &m) {
        shown << m;
        return MsgResult::Ok;
    });
    struct Case {
        const char *what;
        std::function<void()> thrower;
        QString text;
    } cases[] = {
        {"the program's error", [] { throw Error(3021, "BuildTolk", "Текущая запись отсутствует."); },
         QStringLiteral("Текущая запись отсутствует.")},
        {"a standard exception", [] { throw std::runtime_error("bad value"); }, QStringLiteral("bad value")},
        {"anything else", [] { throw 42; }, QStringLiteral("Неизвестная ошибка")},
    };
    for (const Case &c : cases) {
        shown.clear();
        // a slot run by the event loop (a queued call, as a timer's or a
        // socket's slot is)
        QMetaObject::invokeMethod(&a, c.thrower, Qt::QueuedConnection);
        QCoreApplication::processEvents();
        ASSERT_EQ(shown.size(), 1) << c.what;
        EXPECT_EQ(shown[0].text, c.text) << c.what;
        EXPECT_EQ(shown[0].icon, MsgIcon::Error) << c.what;
    }
    // The program goes on: events are still delivered.
    bool ran = false;
    QTimer::singleShot(0, &a, [&] { ran = true; });
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran);
    SetMessageHandler({});
}
