#pragma once
// A shared data folder of the test's own: SOMNEX_DATA_DIR points at it for
// the test's lifetime, with the product's Books and Texts folders below it,
// and a one-line way to put a small dream book there.

#include "dictionary/BookSource.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <initializer_list>

class TestShare {
public:
    TestShare()
    {
        qputenv("SOMNEX_DATA_DIR", dir_.path().toLocal8Bit());
        QDir().mkpath(books());
        hadDataHome_ = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        oldDataHome_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", (dir_.path() + QStringLiteral("/home-data")).toLocal8Bit());
    }
    ~TestShare()
    {
        qunsetenv("SOMNEX_DATA_DIR");
        if (hadDataHome_)
            qputenv("XDG_DATA_HOME", oldDataHome_);
        else
            qunsetenv("XDG_DATA_HOME");
    }

    QString path() const { return dir_.path(); }
    QString root() const { return dir_.path() + QStringLiteral("/ZUL Programming/ZUL Somnex/3.1"); }
    QString books() const { return root() + QStringLiteral("/Books"); }
    QString texts() const { return root() + QStringLiteral("/Texts"); }
    // The user's own books folder (not created until a book is added).
    QString userBooks() const
    {
        return dir_.path() + QStringLiteral("/home-data/ZUL Programming/ZUL Somnex/3.1/Books");
    }

    // Writes a book named "Книга" whose entries are the given headwords;
    // returns its full path.
    QString writeBook(const QString &file, std::initializer_list<const char *> words)
    {
        somnex::dictionary::BookContent b;
        b.name = b.heading = QStringLiteral("Книга");
        for (const char *w : words)
            b.entries.push_back({QString::fromUtf8(w), QStringLiteral("Видеть во сне – к добру."), std::nullopt, 0});
        QString path = books() + QLatin1Char('/') + file;
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(somnex::dictionary::buildBookImage(b));
        return path;
    }

private:
    QTemporaryDir dir_;
    QByteArray oldDataHome_;
    bool hadDataHome_ = false;
};
