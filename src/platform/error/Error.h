#pragma once
// The program's error model: an error carries a number, the name of its source
// and a description text meant for the user. Operations raise it; loaders and
// handlers catch it and show the description, or ignore it and go on.

#include <QLoggingCategory>
#include <QString>

#include <cstring>
#include <exception>
#include <string>
#include <utility>

namespace somnex {

class Error : public std::exception {
public:
    Error(long number, QString source, QString description)
        : number_(number), source_(std::move(source)), description_(std::move(description)),
          what_(description_.toStdString())
    {
    }
    explicit Error(QString description) : Error(0, QString(), std::move(description)) {}

    long number() const noexcept { return number_; }
    const QString &source() const noexcept { return source_; }
    const QString &description() const noexcept { return description_; }
    const char *what() const noexcept override { return what_.c_str(); }

private:
    long number_;
    QString source_;
    QString description_;
    std::string what_;
};

// The description of whatever was thrown, for a message box.
inline QString describe(const std::exception_ptr &e)
{
    try {
        if (e)
            std::rethrow_exception(e);
    } catch (const Error &err) {
        return err.description();
    } catch (const std::exception &ex) {
        return QString::fromLocal8Bit(ex.what());
    } catch (...) {
    }
    return QStringLiteral("Неизвестная ошибка");
}

// Failures the program goes on after are reported as warnings in the logging
// category "somnex.ignored" (QT_LOGGING_RULES="somnex.ignored=false" silences
// them): nothing reaches the user, but nothing is lost without a trace.
inline const QLoggingCategory &ignoredErrors()
{
    static const QLoggingCategory category("somnex.ignored");
    return category;
}

// Leaves the trace of an ignored failure: where it was ignored (the caller's
// file name and line), the error's source and number when it is the
// program's error, and its description.
inline void traceIgnored(const std::exception_ptr &e, const char *file = __builtin_FILE(),
                         int line = __builtin_LINE()) noexcept
{
    try {
        const char *name = std::strrchr(file, '/');
        const QString where = QStringLiteral("%1:%2").arg(QString::fromUtf8(name ? name + 1 : file)).arg(line);
        QString origin;
        try {
            if (e)
                std::rethrow_exception(e);
        } catch (const Error &err) {
            origin = QStringLiteral(" [%1 %2]").arg(err.source()).arg(err.number());
        } catch (...) {
            origin.clear(); // any other exception has neither
        }
        qCWarning(ignoredErrors).noquote() << where << QStringLiteral("ignored%1:").arg(origin) << describe(e);
    } catch (...) {
        // Writing the trace failed (no memory): there is nowhere left to report it.
    }
}

// Runs one step whose failure is to be ignored ("errors are ignored, the next
// step runs"); a failure leaves a trace naming the caller's line
// (traceIgnored). Returns whether the step completed.
template <class F>
bool tryStep(F &&step, const char *file = __builtin_FILE(), int line = __builtin_LINE()) noexcept
{
    try {
        step();
        return true;
    } catch (...) {
        traceIgnored(std::current_exception(), file, line);
        return false;
    }
}

} // namespace somnex
