#pragma once
// The about box: the program's name, version and a link.

#include <QDialog>

namespace somnex {

class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget *parent = nullptr);
    static QString homePage();
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
