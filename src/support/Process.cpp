#include "support/Process.h"

#include <QPainter>

#include <cmath>

namespace somnex {

namespace {
constexpr int kDots = 8;
}

Process::Process(QWidget *parent) : QWidget(parent)
{
    timer_.setInterval(90);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kDots;
        update();
    });
}

void Process::ProgressPlay()
{
    timer_.start();
}

void Process::ProgressStop()
{
    timer_.stop();
}

void Process::ProgressReset()
{
    frame_ = 0;
    update();
}

void Process::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double r = std::min(width(), height()) / 2.0;
    const QPointF c(width() / 2.0, height() / 2.0);
    for (int i = 0; i < kDots; ++i) {
        const double a = 2 * M_PI * i / kDots - M_PI / 2;
        const int age = (frame_ - i + kDots) % kDots;
        QColor col(0x2c, 0x43, 0x8f);
        col.setAlphaF(static_cast<float>(1.0 - age / double(kDots) * 0.85));
        p.setPen(Qt::NoPen);
        p.setBrush(col);
        p.drawEllipse(c + QPointF(std::cos(a), std::sin(a)) * (r * 0.68), r * 0.2, r * 0.2);
    }
}

} // namespace somnex
