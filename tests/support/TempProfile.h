#pragma once
// A fresh per-user profile for one test: XDG_CONFIG_HOME points into a
// temporary folder for the test's lifetime.

#include <QByteArray>
#include <QTemporaryDir>

#include <cstdlib>

class TempProfile {
public:
    TempProfile()
    {
        old_ = qgetenv("XDG_CONFIG_HOME");
        had_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
    }
    ~TempProfile()
    {
        if (had_)
            qputenv("XDG_CONFIG_HOME", old_);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QByteArray old_;
    bool had_ = false;
};
