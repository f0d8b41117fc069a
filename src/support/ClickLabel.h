#pragma once
// A label that reports clicks and mouse moves, for the header strips, the
// arrow pictures and the "О программе" link.

#include <QLabel>
#include <QMouseEvent>

namespace somnex {

class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();
    void mouseMoved();

protected:
    void mousePressEvent(QMouseEvent *e) override
    {
        if (e->button() == Qt::LeftButton)
            emit clicked();
        QLabel::mousePressEvent(e);
    }
    void mouseMoveEvent(QMouseEvent *e) override
    {
        emit mouseMoved();
        QLabel::mouseMoveEvent(e);
    }
};

} // namespace somnex
