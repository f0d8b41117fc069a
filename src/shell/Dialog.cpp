#include "shell/Dialog.h"

#include "appstate/AppState.h"
#include "appstate/Autostart.h"
#include "platform/core/Identity.h"
#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "platform/error/Error.h"
#include "shell/Form1.h"
#include "support/Artwork.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace somnex {

Dialog::Dialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Завершение работы ZUL Somnex"));
    setWindowIcon(appIcon());
    auto *icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    Label1 = new QLabel(QStringLiteral("Вы действительно хотите завершить работу ZUL Somnex 3 ?"), this);
    Label1->setWordWrap(true);
    Option1[0] =
        new QRadioButton(QStringLiteral("Завершить, но автоматически запустить при следующем входе в систему"), this);
    Option1[1] = new QRadioButton(QStringLiteral("Закрыть, и отключить автозапуск при входе в систему"), this);
    Option1[0]->setChecked(true);
    Check1 = new QCheckBox(QStringLiteral("Больше не показывать это окно"), this);
    Command1 = new QPushButton(QStringLiteral("Завершить"), this);
    Command2 = new QPushButton(QStringLiteral("Отмена"), this);
    Command1->setDefault(true);

    auto *top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(Label1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto *v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addSpacing(6);
    v->addWidget(Option1[0]);
    v->addWidget(Option1[1]);
    v->addSpacing(6);
    v->addWidget(Check1);
    v->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, &Dialog::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Dialog::Command2_Click);
    Form_Load();
}

void Dialog::Form_Load()
{
    Command1->setFlat(false);
    Command2->setFlat(false);
}

void Dialog::Command1_Click()
{
    if (Option1[1]->isChecked()) {
        try {
            SetAutostart(false);
        } catch (...) {
            // The user asked for no more autostarts: say it did not happen
            // and leave the choice open (nothing stored, nothing ended).
            ShowMessage(QStringLiteral("Не удалось отключить автозапуск ZUL Somnex 3:\n")
                            + describe(std::current_exception()),
                        QString(), MsgIcon::Error);
            return;
        }
        SaveSetting(settings::kApp, settings::kMain, settings::key::ToTray, boolText(false));
    }
    SaveSetting(settings::kApp, settings::kMain, settings::key::UnloadQ, Check1->isChecked() ? "1" : "0");
    accept();
    ExitApp(ExitMode::StoreState);
}

void Dialog::Command2_Click()
{
    reject();
}

} // namespace somnex
