#pragma once
// A window's parts as a test reaches them: by the names the program's other
// parts know them under (their objectName), never through the window's
// members. A missing part fails the test with its name.
//
//   part<QLineEdit>(f, "Text1")->setText("Вода");

#include <QObject>
#include <QString>

#include <stdexcept>
#include <string>

template <class T>
T *part(const QObject &window, const QString &name)
{
    T *p = window.findChild<T *>(name);
    if (!p)
        throw std::runtime_error("the window has no part named " + name.toStdString());
    return p;
}
