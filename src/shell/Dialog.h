#pragma once
// The exit confirmation window shown when the user quits from the tray while
// the program starts with the desktop session.

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace somnex {

class Dialog : public QDialog {
    Q_OBJECT
public:
    explicit Dialog(QWidget *parent = nullptr);

    void Form_Load();
    void Command1_Click(); // "Завершить"
    void Command2_Click(); // "Отмена"

    QLabel *Label1 = nullptr;
    QRadioButton *Option1[2] = {nullptr, nullptr};
    QCheckBox *Check1 = nullptr;
    QPushButton *Command1 = nullptr, *Command2 = nullptr;
};

} // namespace somnex
