#pragma once
// A strip painted with the header picture, holding a caption and arrows: the
// header of the main window's literature and dictionary panels.

#include <QSvgRenderer>
#include <QWidget>

#include <functional>

namespace somnex {

class HeaderStrip : public QWidget {
public:
    explicit HeaderStrip(QWidget *parent);

    // Called on a left click anywhere on the strip.
    std::function<void()> onClick;

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;

private:
    QSvgRenderer picture_;
};

} // namespace somnex
