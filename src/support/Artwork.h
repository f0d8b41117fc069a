#pragma once
// The program's pictures (SVG, compiled into the program).

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace somnex {

// ":/artwork/<name>.svg"
QString artworkPath(const QString &name);
QIcon artworkIcon(const QString &name);
// The picture rendered at the given size in device-independent pixels.
QPixmap artworkPixmap(const QString &name, QSize size, qreal devicePixelRatio = 1.0);
// The program's own icon.
QIcon appIcon();

} // namespace somnex
