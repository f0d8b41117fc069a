#pragma once
// The about box: the program's name, version and a link.

#include <QDialog>
#include <QImage>
#include <QPixmap>

#include <functional>
#include <future>

namespace somnex {

class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget *parent = nullptr);
    static QString homePage();
    // Opens the home page; when nothing can open it, says so, with the
    // address put on the clipboard for the user to paste.
    void openHomePage();
    // What opens a page (tests put their own in its place).
    static std::function<bool(const QString &)> &urlOpener();
};

// The splash screen. Its picture is drawn on a thread of its own from the
// moment the splash is made, so making it early lets the drawing run beside
// the main window's construction; the first paint then only copies it.
class Splash : public QWidget {
    Q_OBJECT
public:
    Splash();
    ~Splash() override;
    QString versionText() const;
    // The picture at a device pixel ratio, version line included.
    QPixmap picture(qreal devicePixelRatio);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    std::future<QImage> drawing_;
    qreal drawingRatio_ = 1;
    QPixmap picture_;
};

} // namespace somnex
