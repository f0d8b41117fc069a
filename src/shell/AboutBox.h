#pragma once
// The about box: the program's name, version and a link.

#include <QDialog>

#include <functional>

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

class Splash : public QWidget {
    Q_OBJECT
public:
    Splash();
    QString versionText() const;

protected:
    void paintEvent(QPaintEvent *) override;
};

} // namespace somnex
