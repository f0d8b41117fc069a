#pragma once
// The program's error model: an error carries a number, the name of its source
// and a description text meant for the user. Operations raise it; loaders and
// handlers catch it and show the description, or ignore it and go on.

#include <QString>

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

// Runs one step whose failure is to be ignored ("errors are ignored, the next
// step runs"). Returns whether the step completed.
template <class F>
bool tryStep(F &&step) noexcept
{
    try {
        step();
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace somnex
