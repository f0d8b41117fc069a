#include "support/Artwork.h"

#include <QPainter>
#include <QSvgRenderer>

namespace somnex {

QString artworkPath(const QString &name)
{
    return QStringLiteral(":/artwork/") + name + QStringLiteral(".svg");
}

QPixmap artworkPixmap(const QString &name, QSize size, qreal dpr)
{
    QSvgRenderer r(artworkPath(name));
    QPixmap pm(size * dpr);
    pm.fill(Qt::transparent);
    if (r.isValid()) {
        QPainter p(&pm);
        r.render(&p);
    }
    pm.setDevicePixelRatio(dpr);
    return pm;
}

QIcon artworkIcon(const QString &name)
{
    // Rendered sizes rather than the SVG itself, so that no icon-engine
    // plugin is needed and window managers get real pixmaps.
    QIcon icon;
    const QSize base = QSvgRenderer(artworkPath(name)).defaultSize();
    for (int s : {16, 22, 24, 32, 48, 64}) {
        const QSize size = base.isValid() ? base.scaled(s, s, Qt::KeepAspectRatio) : QSize(s, s);
        icon.addPixmap(artworkPixmap(name, size));
        icon.addPixmap(artworkPixmap(name, size, 2.0));
    }
    return icon;
}

QIcon appIcon()
{
    QIcon icon;
    for (int s : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(artworkPixmap(QStringLiteral("zul-somnex"), {s, s}));
    return icon;
}

} // namespace somnex
