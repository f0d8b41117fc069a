#pragma once
// The program's pictures (SVG, compiled into the program).

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>

namespace somnex {

// ":/artwork/<name>.svg"
QString artworkPath(const QString &name);
QIcon artworkIcon(const QString &name);
// The picture rendered at the given size in device-independent pixels.
QPixmap artworkPixmap(const QString &name, QSize size, qreal devicePixelRatio = 1.0);
// The image format of a picture's bytes ("PNG", "BMP", "GIF", "JPEG", "ICO",
// "CUR"), from its first bytes; null when none of these.
const char *imageFormatOf(const QByteArray &data);
// A picture in any format Qt reads. The reader its first bytes name is asked
// alone; Qt's own way asks every image format plugin, loading each.
QImage readPicture(const QByteArray &data);
// The program's own icon.
QIcon appIcon();
// Puts a style over the application's that gives every toolbar's overflow
// button a picture of ours. The style's own is read from image files when
// the toolbar is made, and the first such read loads every image format
// plugin: a start-up cost for a button that seldom shows.
void UseArtworkStyle();

} // namespace somnex
