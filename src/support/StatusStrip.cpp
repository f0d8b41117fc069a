#include "support/StatusStrip.h"

#include "platform/core/Twips.h"
#include "support/Artwork.h"

#include <QPainter>

namespace somnex {

StatusStrip::StatusStrip(QWidget *parent)
    : QWidget(parent), header_(artworkPath("header")), image_(artworkPath("status-moon"))
{
}

void StatusStrip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0xe9, 0xed, 0xf8));
    header_.render(&p, QRectF(0, TwipsToPixels(30) - 2, width(), 2));
    const int x = width() - TwipsToPixels(255);
    image_.render(&p, QRectF(x, TwipsToPixels(75) - 2, 16, 16));
}

void StatusStrip::resizeEvent(QResizeEvent *)
{
    if (onResize)
        onResize();
}

} // namespace somnex
