#pragma once
// Runs a test in the time zone given (TZ), restoring the previous one.

#include <QByteArray>

#include <cstdlib>
#include <ctime>

class TzScope {
public:
    explicit TzScope(const char *zone)
    {
        had_ = qEnvironmentVariableIsSet("TZ");
        old_ = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
    }
    ~TzScope()
    {
        if (had_)
            qputenv("TZ", old_);
        else
            qunsetenv("TZ");
        tzset();
    }
    TzScope(const TzScope &) = delete;
    TzScope &operator=(const TzScope &) = delete;

private:
    QByteArray old_;
    bool had_ = false;
};
