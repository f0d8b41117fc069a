#include "platform/ui/Desktop.h"

#include "platform/core/Messages.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

namespace somnex {

namespace {

// A message box is laid out for its text alone; with a short text its
// window is narrower than its title, which the window manager then elides
// ("Резул… оиска"). Room for the title and the frame's buttons keeps it whole.
void widenForTitle(QMessageBox &box)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int wanted = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + 140;
    grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

} // namespace

void InstallMessageBoxes()
{
    SetMessageHandler([](const Message &m) {
        QMessageBox box(QApplication::activeWindow());
        if (!box.parentWidget()) // e.g. at start-up, over the splash screen
            box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        box.setWindowTitle(messageCaption(m.title));
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
        widenForTitle(box);
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

namespace {

// Whether anything on the desktop opens web pages. Without one, xdg-open
// starts, finds nothing and says so on standard error only, and Qt reports
// the page as opened.
bool haveWebBrowser()
{
    if (!qEnvironmentVariableIsEmpty("BROWSER"))
        return true;
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/https")});
    if (query.waitForFinished(2000) && !query.readAllStandardOutput().trimmed().isEmpty())
        return true;
    for (const char *browser : {"x-www-browser", "firefox", "firefox-esr", "chromium", "google-chrome",
                                "epiphany-browser", "konqueror", "falkon", "qutebrowser"})
        if (!QStandardPaths::findExecutable(QString::fromLatin1(browser)).isEmpty())
            return true;
    return false;
}

} // namespace

bool OpenUrl(const QString &url)
{
    const QUrl u(url);
    if ((u.scheme() == QLatin1String("http") || u.scheme() == QLatin1String("https")) && !haveWebBrowser())
        return false;
    return QDesktopServices::openUrl(u);
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
