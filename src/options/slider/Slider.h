#pragma once
// The options window's horizontal slider: a flat track, a small thumb picture,
// a line along the track up to the thumb and a focus rectangle. Dragged with
// the left mouse button or moved a step with the Left and Right keys; every
// such movement raises Scroll. Positions are worked out in twips of the
// control (see SliderGeometry.h) and turned into pixels only for painting.

#include <QWidget>
#include <QtGlobal>

#include <functional>

namespace somnex::options {

class Slider : public QWidget {
    Q_OBJECT

public:
    explicit Slider(QWidget *parent = nullptr);

    // Mouse and keys hold Value within Min..Max; a value set from outside is
    // taken as it is and raises no Scroll.
    int Max() const { return max_; }
    void Max(int v);
    bool Enable() const { return isEnabled(); }
    void Enable(bool on);
    int Min() const { return min_; }
    void Min(int v);
    int Value() const { return value_; }
    void Value(int v);
    // The mouse pointer over the control, as a pointer number (0 default,
    // 1 arrow, 2 cross, 3 I-beam, 5 and 15 size all, 6-9 the sizing arrows,
    // 10 up arrow, 11 hourglass, 12 no drop, 13 arrow and hourglass,
    // 14 arrow and question mark, 99 custom: the control's own hand).
    qint16 Cursor() const { return cursor_; }
    void Cursor(qint16 pointer);

    // Show and hide the focus rectangle; the control's own focus changes
    // call them too.
    void UserControl_GotFocus();
    void UserControl_LostFocus();
    bool focusRectVisible() const { return focusShown_; }

    // Left edge of the thumb, twips, and the inner width the arithmetic uses.
    double thumbTwips() const { return thumb_; }
    double innerWidthTwips() const;

    QSize sizeHint() const override;

    // How a screen reader reads a value ("19 %"); the number when unset.
    void setValueText(std::function<QString(int)> text) { valueText_ = std::move(text); }
    QString valueText() const { return valueText_ ? valueText_(value_) : QString::number(value_); }

signals:
    void Scroll(int value);
    // A property changed ("Max", "Enable", "Min", "Value", "Cursor").
    void propertyChanged(const QString &name);

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseMoveEvent(QMouseEvent *) override;
    void keyPressEvent(QKeyEvent *) override;
    void focusInEvent(QFocusEvent *) override;
    void focusOutEvent(QFocusEvent *) override;
    void resizeEvent(QResizeEvent *) override;
    void changeEvent(QEvent *) override;

private:
    void placeForValue();
    void announceValue();
    std::function<QString(int)> valueText_;
    void dragTo(double xTwips);

    int max_ = 10;
    int min_ = 0;
    int value_ = 0;
    qint16 cursor_ = 0;
    double thumb_ = 30;
    bool focusShown_ = false;
};

} // namespace somnex::options
