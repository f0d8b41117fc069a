#pragma once
// The status strip along the bottom of the main window: the header picture
// along its top and the status picture at its right end.

#include <QSvgRenderer>
#include <QWidget>

#include <functional>

namespace somnex {

class StatusStrip : public QWidget {
public:
    explicit StatusStrip(QWidget *parent);

    // Called after every change of size, to lay out what the strip holds.
    std::function<void()> onResize;

protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;

private:
    QSvgRenderer header_;
    QSvgRenderer image_;
};

} // namespace somnex
