#include "options/slider/Slider.h"

#include "options/slider/SliderGeometry.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace somnex::options {

namespace {

constexpr double kThumbTwips = kThumbWidthPx * kTwipsPerPixel;

Qt::CursorShape shapeFor(qint16 pointer)
{
    switch (pointer) {
    case 2: return Qt::CrossCursor;
    case 3: return Qt::IBeamCursor;
    case 5:
    case 15: return Qt::SizeAllCursor;
    case 6: return Qt::SizeBDiagCursor;
    case 7: return Qt::SizeVerCursor;
    case 8: return Qt::SizeFDiagCursor;
    case 9: return Qt::SizeHorCursor;
    case 10: return Qt::UpArrowCursor;
    case 11: return Qt::WaitCursor;
    case 12: return Qt::ForbiddenCursor;
    case 13: return Qt::BusyCursor;
    case 14: return Qt::WhatsThisCursor;
    case 99: return Qt::PointingHandCursor;
    default: return Qt::ArrowCursor;
    }
}

// The thumb picture: a small pointer, raised when enabled, flat grey when
// not.
void paintThumb(QPainter &p, const QRect &r, const QPalette &pal, bool enabled)
{
    QPainterPath shape;
    const double l = r.left() + 0.5, t = r.top() + 0.5, w = r.width() - 1.0, h = r.height() - 1.0;
    shape.moveTo(l, t);
    shape.lineTo(l + w, t);
    shape.lineTo(l + w, t + h * 0.6);
    shape.lineTo(l + w / 2, t + h);
    shape.lineTo(l, t + h * 0.6);
    shape.closeSubpath();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setBrush(enabled ? pal.color(QPalette::Active, QPalette::Button)
                       : pal.color(QPalette::Disabled, QPalette::Button));
    p.setPen(
        QPen(enabled ? pal.color(QPalette::Active, QPalette::Shadow) : pal.color(QPalette::Disabled, QPalette::Mid),
             1));
    p.drawPath(shape);
    if (enabled) {
        p.setPen(QPen(pal.color(QPalette::Active, QPalette::Light), 1));
        p.drawLine(QPointF(l + 1, t + 1), QPointF(l + w - 1, t + 1));
        p.drawLine(QPointF(l + 1, t + 1), QPointF(l + 1, t + h * 0.6));
    }
    p.setRenderHint(QPainter::Antialiasing, false);
}

// What assistive technology sees: a slider with its value, its bounds and a
// step of one.
class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SliderAccessible(Slider *s) : QAccessibleWidget(s, QAccessible::Slider) {}
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return slider()->valueText();
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return slider()->Value(); }
    void setCurrentValue(const QVariant &v) override
    {
        const int value = std::clamp(v.toInt(), slider()->Min(), slider()->Max());
        slider()->Value(value);
        emit slider()->Scroll(value);
    }
    QVariant maximumValue() const override { return slider()->Max(); }
    QVariant minimumValue() const override { return slider()->Min(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    Slider *slider() const { return static_cast<Slider *>(widget()); }
};

QAccessibleInterface *sliderFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("somnex::options::Slider"))
        if (auto *s = qobject_cast<Slider *>(object))
            return new SliderAccessible(s);
    return nullptr;
}

} // namespace

Slider::Slider(QWidget *parent) : QWidget(parent)
{
    static const bool factory = [] {
        QAccessible::installFactory(sliderFactory);
        return true;
    }();
    Q_UNUSED(factory);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover, false);
    placeForValue();
}

QSize Slider::sizeHint() const
{
    return QSize(150, 24);
}

double Slider::innerWidthTwips() const
{
    return pixelsToTwips(width());
}

void Slider::Max(int v)
{
    max_ = v;
    emit propertyChanged(QStringLiteral("Max"));
}

void Slider::Min(int v)
{
    min_ = v;
    emit propertyChanged(QStringLiteral("Min"));
}

void Slider::Value(int v)
{
    value_ = v;
    placeForValue();
    update();
    announceValue();
    emit propertyChanged(QStringLiteral("Value"));
}

void Slider::Enable(bool on)
{
    setEnabled(on); // the line's colour and the thumb picture follow in paintEvent
    update();
    emit propertyChanged(QStringLiteral("Enable"));
}

void Slider::Cursor(qint16 pointer)
{
    cursor_ = pointer;
    if (pointer == 0)
        unsetCursor();
    else
        setCursor(shapeFor(pointer));
    emit propertyChanged(QStringLiteral("Cursor"));
}

void Slider::UserControl_GotFocus()
{
    focusShown_ = true;
    update();
}

void Slider::UserControl_LostFocus()
{
    focusShown_ = false;
    update();
}

void Slider::announceValue()
{
    if (!QAccessible::isActive())
        return;
    QAccessibleValueChangeEvent e(this, value_);
    QAccessible::updateAccessibility(&e);
}

void Slider::placeForValue()
{
    thumb_ = thumbForValue(value_, min_, max_, innerWidthTwips(), kThumbTwips, false);
}

void Slider::dragTo(double xTwips)
{
    const DragResult r = options::dragTo(xTwips, min_, max_, innerWidthTwips(), kThumbTwips);
    thumb_ = r.thumb;
    value_ = r.value;
    update();
    announceValue();
    emit Scroll(value_);
}

void Slider::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(e);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    dragTo(pixelsToTwips(e->position().x()));
}

void Slider::mouseMoveEvent(QMouseEvent *e)
{
    if (!(e->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(e);
        return;
    }
    dragTo(pixelsToTwips(e->position().x()));
}

void Slider::keyPressEvent(QKeyEvent *e)
{
    int v;
    if (e->key() == Qt::Key_Left)
        v = stepLeft(value_, min_, max_);
    else if (e->key() == Qt::Key_Right)
        v = stepRight(value_, min_, max_);
    else {
        QWidget::keyPressEvent(e);
        return;
    }
    value_ = v;
    placeForValue();
    update();
    announceValue();
    emit propertyChanged(QStringLiteral("Value"));
    emit Scroll(value_);
}

void Slider::focusInEvent(QFocusEvent *e)
{
    UserControl_GotFocus();
    QWidget::focusInEvent(e);
}

void Slider::focusOutEvent(QFocusEvent *e)
{
    UserControl_LostFocus();
    QWidget::focusOutEvent(e);
}

void Slider::resizeEvent(QResizeEvent *e)
{
    // The track and the focus rectangle span the new width. A layout sizes
    // the control after its host has set the value, so the thumb is placed
    // again for the new width.
    QWidget::resizeEvent(e);
    placeForValue();
    update();
}

void Slider::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(e);
}

void Slider::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette &pal = palette();
    const bool enabled = isEnabled();
    const int w = width(), h = height();
    const int margin = twipsToPixels(kSliderMargin);
    const int thumbX = twipsToPixels(thumb_);
    const int thumbY = qMax(0, (h - kThumbHeightPx) / 2 - 2);
    const int trackY = thumbY + kThumbHeightPx - 3;

    // Track panel: a flat sunken groove across the control.
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(margin, trackY, w - margin - 1, trackY);
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(margin, trackY + 1, w - margin - 1, trackY + 1);

    // The line from the left stop up to the thumb.
    p.setPen(
        QPen(enabled ? pal.color(QPalette::Active, QPalette::Dark) : pal.color(QPalette::Active, QPalette::Button), 1));
    p.drawLine(margin, trackY - 3, thumbX, trackY - 3);

    paintThumb(p, QRect(thumbX, thumbY, kThumbWidthPx, kThumbHeightPx), pal, enabled);

    if (focusShown_) {
        // The focus rectangle, dotted, around the whole control.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(pal.color(QPalette::WindowText), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

} // namespace somnex::options
