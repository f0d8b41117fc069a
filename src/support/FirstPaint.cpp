#include "support/FirstPaint.h"

#include <QEvent>
#include <QMetaObject>

namespace somnex {

namespace {

class FirstPaint : public QObject {
public:
    FirstPaint(QWidget *w, std::function<void()> f) : QObject(w), widget_(w), f_(std::move(f)) {}
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && f_) {
            widget_->removeEventFilter(this);
            QMetaObject::invokeMethod(widget_, std::move(f_), Qt::QueuedConnection);
            f_ = nullptr;
            deleteLater();
        }
        return false;
    }

private:
    QWidget *widget_;
    std::function<void()> f_;
};

} // namespace

void afterFirstPaint(QWidget *w, std::function<void()> f)
{
    if (!w->isVisible()) {
        f();
        return;
    }
    w->installEventFilter(new FirstPaint(w, std::move(f)));
}

} // namespace somnex
