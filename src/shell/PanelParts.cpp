#include "shell/PanelParts.h"

#include "support/Artwork.h"

namespace somnex {

ClickLabel *panelArrow(QWidget *strip, const char *name)
{
    auto *l = new ClickLabel(strip);
    l->setPixmap(artworkPixmap(QString::fromLatin1(name), {14, 14}, strip->devicePixelRatioF()));
    l->setFixedSize(14, 14);
    l->setCursor(Qt::PointingHandCursor);
    return l;
}

ClickLabel *panelCaption(QWidget *strip, const QString &text)
{
    auto *l = new ClickLabel(text, strip);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    l->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    l->setCursor(Qt::PointingHandCursor);
    return l;
}

} // namespace somnex
