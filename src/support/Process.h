#pragma once
// The busy animation: a ring of dots turning while the program works.

#include <QTimer>
#include <QWidget>

namespace somnex {

class Process : public QWidget {
    Q_OBJECT
public:
    explicit Process(QWidget *parent = nullptr);

    void ProgressPlay();
    void ProgressStop();
    void ProgressReset();
    bool isPlaying() const { return timer_.isActive(); }
    int frame() const { return frame_; }

    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QTimer timer_;
    int frame_ = 0;
};

} // namespace somnex
