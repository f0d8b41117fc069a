#include "support/HeaderStrip.h"

#include "support/Artwork.h"

#include <QMouseEvent>
#include <QPainter>

namespace somnex {

HeaderStrip::HeaderStrip(QWidget *parent) : QWidget(parent), picture_(artworkPath("header")) {}

void HeaderStrip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    picture_.render(&p, rect());
}

void HeaderStrip::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && onClick)
        onClick();
}

} // namespace somnex
