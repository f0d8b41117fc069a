#include "platform/ui/Desktop.h"

#include "platform/core/Messages.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

namespace somnex {

void InstallMessageBoxes()
{
    SetMessageHandler([](const Message &m) {
        QMessageBox box(QApplication::activeWindow());
        if (!box.parentWidget()) // e.g. at start-up, over the splash screen
            box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        box.setWindowTitle(m.title.isEmpty() ? defaultMessageTitle() : m.title);
        box.setText(m.text);
        switch (m.icon) {
        case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
        case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
        case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
        case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
        case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
        }
        auto add = [&](QMessageBox::StandardButton b, const char *text) {
            box.addButton(b)->setText(QString::fromUtf8(text));
        };
        switch (m.buttons) {
        case MsgButtons::Ok: add(QMessageBox::Ok, "ОК"); break;
        case MsgButtons::OkCancel:
            add(QMessageBox::Ok, "ОК");
            add(QMessageBox::Cancel, "Отмена");
            break;
        case MsgButtons::YesNo:
            add(QMessageBox::Yes, "Да");
            add(QMessageBox::No, "Нет");
            break;
        case MsgButtons::YesNoCancel:
            add(QMessageBox::Yes, "Да");
            add(QMessageBox::No, "Нет");
            add(QMessageBox::Cancel, "Отмена");
            break;
        case MsgButtons::RetryCancel:
            add(QMessageBox::Retry, "Повтор");
            add(QMessageBox::Cancel, "Отмена");
            break;
        }
        box.exec();
        switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Cancel: return MsgResult::Cancel;
        case QMessageBox::Yes: return MsgResult::Yes;
        case QMessageBox::No: return MsgResult::No;
        case QMessageBox::Retry: return MsgResult::Retry;
        default: return MsgResult::Ok;
        }
    });
}

bool OpenUrl(const QString &url)
{
    return QDesktopServices::openUrl(QUrl(url));
}

bool OpenDateTimeSettings()
{
    struct Candidate {
        const char *program;
        QStringList args;
    };
    const Candidate candidates[] = {
        {"gnome-control-center", {QStringLiteral("datetime")}},
        {"systemsettings", {QStringLiteral("kcm_clock")}},
        {"systemsettings5", {QStringLiteral("clock")}},
        {"kcmshell6", {QStringLiteral("kcm_clock")}},
        {"kcmshell5", {QStringLiteral("clock")}},
        {"cinnamon-settings", {QStringLiteral("calendar")}},
        {"mate-time-admin", {}},
        {"time-admin", {}},
        {"lxqt-config-datetime", {}},
        {"xfce4-datetime-settings", {}},
        {"timedate-kcm", {}},
    };
    for (const auto &c : candidates) {
        const QString exe = QStandardPaths::findExecutable(QString::fromLatin1(c.program));
        if (!exe.isEmpty() && QProcess::startDetached(exe, c.args))
            return true;
    }
    return false;
}

} // namespace somnex
