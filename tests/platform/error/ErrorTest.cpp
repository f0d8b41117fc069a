// Failures the program goes on after leave a trace in the log.
#include "platform/error/Error.h"

#include "support/QtPrint.h"

#include <QLoggingCategory>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

using namespace somnex;

namespace {

QStringList g_traces;

void recordTrace(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg && context.category && QLatin1String(context.category) == QLatin1String("somnex.ignored"))
        g_traces << text;
}

class IgnoredErrorsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_traces.clear();
        previous_ = qInstallMessageHandler(recordTrace);
    }
    void TearDown() override
    {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules(QString());
    }

private:
    QtMessageHandler previous_ = nullptr;
};

} // namespace

TEST_F(IgnoredErrorsTest, AFailedStepLeavesATraceNamingWhereAndWhy)
{
    struct Case {
        const char *what;
        std::function<void()> step;
        QString trace; // empty: none
    };
    const Case cases[] = {
        {"the program's error", [] { throw Error(3021, "BuildTolk", "Текущая запись отсутствует."); },
         "ErrorTest.cpp:%1 ignored [BuildTolk 3021]: Текущая запись отсутствует."},
        {"a standard exception", [] { throw std::runtime_error("bad value"); }, "ErrorTest.cpp:%1 ignored: bad value"},
        {"anything else", [] { throw 42; }, "ErrorTest.cpp:%1 ignored: Неизвестная ошибка"},
        {"a step that completes", [] {}, QString()},
    };
    for (const Case &c : cases) {
        g_traces.clear();
        const int line = __LINE__ + 1;
        const bool completed = tryStep(c.step);
        EXPECT_EQ(completed, c.trace.isEmpty()) << c.what;
        const QStringList expected = c.trace.isEmpty() ? QStringList() : QStringList{c.trace.arg(line)};
        EXPECT_EQ(g_traces, expected) << c.what;
    }
}

TEST_F(IgnoredErrorsTest, TheTraceGoesThroughItsOwnCategory)
{
    QLoggingCategory::setFilterRules(QStringLiteral("somnex.ignored.warning=false"));
    EXPECT_FALSE(tryStep([] { throw Error(1, "Src", "Описание"); }));
    EXPECT_TRUE(g_traces.isEmpty()) << "silenced by the logging rules";

    QLoggingCategory::setFilterRules(QString());
    try {
        throw Error(5, "Src", "Описание");
    } catch (...) {
        traceIgnored(std::current_exception(), "/some/where/File.cpp", 12);
    }
    EXPECT_EQ(g_traces, QStringList{"File.cpp:12 ignored [Src 5]: Описание"});
}
