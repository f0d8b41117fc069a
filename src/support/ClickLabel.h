#pragma once
// A label that reports clicks and mouse moves, for the header strips, the
// arrow pictures and the "О программе" link. One that does something when
// clicked and has a caption is a link for the keyboard too: Space, Enter and
// Return click it when it has the focus, and the focus is drawn around it.

#include <QKeyEvent>
#include <QLabel>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

namespace somnex {

class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // True when something listens to its clicks.
    bool clickable() const { return isSignalConnected(QMetaMethod::fromSignal(&ClickLabel::clicked)); }

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
    void keyPressEvent(QKeyEvent *e) override
    {
        const bool plain = !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plain && (e->key() == Qt::Key_Space || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
            emit clicked();
            return;
        }
        QLabel::keyPressEvent(e);
    }
    void paintEvent(QPaintEvent *e) override
    {
        QLabel::paintEvent(e);
        if (!hasFocus())
            return;
        // in the caption's own colour, which is readable on the label's background
        QPainter p(this);
        p.setPen(QPen(palette().color(foregroundRole()), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

} // namespace somnex
