// The program's windows in a real desktop session, driven from inside: the
// session tests start this program on a private compositor (and a private
// D-Bus session bus) and read what it reports, one line per fact, on its
// standard output. A message box is reported ("message <text>"), never shown.
//
//   session_probe windows <folder>  opens, uses and closes each window,
//                                   saving each window's picture in <folder>
//   session_probe tray              starts in the notification area as
//                                   "/tray" does and reports the icon, the
//                                   quick-lookup menu and the main window
//                                   as they come and go; "quit" on the
//                                   standard input ends it
#include "calendar/calen/Calen.h"
#include "diary/ui/DiaryWindow.h"
#include "options/optionsform/OptionsForm.h"
#include "platform/core/Identity.h"
#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "platform/core/SingleInstance.h"
#include "reading/Tolk.h"
#include "shell/DictionaryPanel.h"
#include "shell/Form1.h"
#include "shell/Startup.h"
#include "shell/TraySide.h"
#include "support/FormParts.h"
#include "tray/TrayArea.h"
#include "tray/menu/TrayMenu.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

#include <cstdio>
#include <exception>
#include <functional>

#include <fcntl.h>
#include <unistd.h>

using namespace somnex;

namespace {

void say(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Types text as the keyboard would, one key event per character.
void type(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
    }
}

bool waitFor(const std::function<bool()> &done, int ms = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Shown and given a surface by the compositor.
bool exposed(QWidget *w)
{
    return waitFor([w] { return w->isVisible() && w->windowHandle() && w->windowHandle()->isExposed(); });
}

tray::TrayMenu *trayMenu()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *m = qobject_cast<tray::TrayMenu *>(w); m && m->isVisible())
            return m;
    return nullptr;
}

class WindowRun {
public:
    explicit WindowRun(QString folder) : folder_(std::move(folder)) {}

    // One window: `use` returns an empty string when all went as expected,
    // else what did not.
    void step(const QString &name, const std::function<QWidget *()> &open, const std::function<QString(QWidget *)> &use)
    {
        QWidget *w = open();
        if (!w || !exposed(w)) {
            say(QStringLiteral("fail %1 not shown").arg(name));
            return;
        }
        const QString problem = use(w);
        const QString file = folder_ + QStringLiteral("/wayland-%1.png").arg(name);
        if (!problem.isEmpty())
            say(QStringLiteral("fail %1 %2").arg(name, problem));
        else if (!w->grab().save(file))
            say(QStringLiteral("fail %1 picture not saved").arg(name));
        else
            say(QStringLiteral("ok %1").arg(name));
        if (!problem.isEmpty())
            w->grab().save(file); // to be looked at
    }

private:
    QString folder_;
};

// The dictionary side: the main window typed into, the interpretation,
// the calendar and the options.
void useDictionaryWindows(WindowRun &run, Form1 &form, DictionaryPanel *dictionary)
{
    run.step(
        QStringLiteral("main"),
        [&] {
            form.show();
            return &form;
        },
        [&](QWidget *) {
            auto *box = part<QLineEdit>(form, QStringLiteral("Text1"));
            box->setFocus();
            box->clear();
            type(box, QStringLiteral("Вод"));
            // a long list is searched after a pause in the typing
            waitFor([&] { return dictionary->selectedWord() == QStringLiteral("Вода"); }, 5000);
            return dictionary->selectedWord() == QStringLiteral("Вода")
                       ? QString()
                       : QStringLiteral("typing selected '%1'").arg(dictionary->selectedWord());
        });
    run.step(
        QStringLiteral("interpretation"),
        [&] {
            dictionary->ListView1_DblClick();
            return static_cast<QWidget *>(form.tolk());
        },
        [&](QWidget *w) {
            auto *t = static_cast<Tolk *>(w);
            const QString text = t->RichTextBox1->toPlainText();
            return text.contains(QStringLiteral("Вода")) && text.contains(QStringLiteral("во сне"))
                       ? QString()
                       : QStringLiteral("shows '%1'").arg(t->RichTextBox1->toPlainText().left(80));
        });
    if (form.tolk())
        form.tolk()->close();
    run.step(
        QStringLiteral("calendar"),
        [&] {
            form.Toolbar1_ButtonClick(QStringLiteral("Calen"));
            return static_cast<QWidget *>(calendar::Calen::instance());
        },
        [](QWidget *) { return QString(); });
    if (calendar::Calen *c = calendar::Calen::instance())
        c->close();
}

// The literature shelf and the quick-lookup menu.
void useShelfAndMenu(WindowRun &run, Form1 &form)
{
    run.step(
        QStringLiteral("options"),
        [&] {
            return static_cast<QWidget *>(
                options::OptionsForm::open(options::OptionsTab::General, Qt::NonModal, &form));
        },
        [](QWidget *w) {
            auto *o = static_cast<options::OptionsForm *>(w);
            return o->TranspNote->isVisibleTo(o) && o->TranspNote->text().contains(QStringLiteral("Wayland"))
                       ? QString()
                       : QStringLiteral("the translucency note is missing");
        });
    if (options::OptionsForm *o = options::OptionsForm::instance())
        o->close();
    run.step(
        QStringLiteral("literature"),
        [&] {
            form.Image4_Click();
            return &form;
        },
        [&](QWidget *) {
            const auto *tree = part<QTreeWidget>(form, QStringLiteral("TreeView1"));
            return form.literatureOpen() && tree->isVisible() && tree->topLevelItemCount() > 0
                       ? QString()
                       : QStringLiteral("the shelf is empty or closed");
        });
    form.Image5_Click();
    run.step(
        QStringLiteral("traymenu"),
        [&] {
            form.trayMouseDown(TraySide::kRightButton);
            return static_cast<QWidget *>(trayMenu());
        },
        [&](QWidget *w) {
            auto *m = static_cast<tray::TrayMenu *>(w);
            if (m->focusWidget() != m->Text1)
                return QStringLiteral("the focus is not in the word box");
            type(m->Text1, QStringLiteral("Ого"));
            // still open after the idle time: the pointer never came over it
            QTest::qWait(1500);
            m->Text1->clear();
            QTest::qWait(1500);
            if (trayMenu() != m)
                return QStringLiteral("closed by itself");
            return m->Text1->text().isEmpty() ? QString() : QStringLiteral("word box kept '%1'").arg(m->Text1->text());
        });
    if (tray::TrayMenu *m = trayMenu()) {
        m->close();
        QCoreApplication::processEvents();
    }
}

int runWindows(const QString &folder)
{
    // The position stored by an earlier X11 session, which the compositor
    // does not use and the exit must not overwrite.
    SaveSetting(settings::kApp, settings::kMain, settings::key::Top, "1234");
    SaveSetting(settings::kApp, settings::kMain, settings::key::Left, "2345");
    SaveSetting(settings::kApp, settings::kMain, settings::key::TTop, "3456");
    SaveSetting(settings::kApp, settings::kMain, settings::key::TLeft, "4567");
    Form1 form;
    form.Form_Load();
    auto *dictionary = part<DictionaryPanel>(form, QStringLiteral("Picture2"));
    WindowRun run(folder);
    useDictionaryWindows(run, form, dictionary);
    useShelfAndMenu(run, form);
    form.resize(form.width() + 10, form.height());
    StoreUserState();
    const bool kept = GetSetting(settings::kApp, settings::kMain, settings::key::Top) == QStringLiteral("1234")
                      && GetSetting(settings::kApp, settings::kMain, settings::key::Left) == QStringLiteral("2345")
                      && GetSetting(settings::kApp, settings::kMain, settings::key::TTop) == QStringLiteral("3456")
                      && GetSetting(settings::kApp, settings::kMain, settings::key::TLeft) == QStringLiteral("4567");
    say(kept ? QStringLiteral("ok position kept") : QStringLiteral("fail position overwritten"));
    form.hide();
    return 0;
}

// What of the program is on the screen: "state icon menu main diary".
QString trayState(Form1 &form)
{
    QStringList state;
    const auto *icon = form.findChild<tray::TrayArea *>(QStringLiteral("Tray1"));
    if (form.inTray() && icon && icon->isVisible())
        state << QStringLiteral("icon");
    if (tray::TrayMenu *m = trayMenu())
        state << (m->focusWidget() == m->Text1 ? QStringLiteral("menu-with-focus") : QStringLiteral("menu"));
    if (form.isVisible())
        state << QStringLiteral("main");
    if (diary::DiaryWindow *d = diary::DiaryWindow::instance(); d && d->isVisible())
        state << QStringLiteral("diary");
    return QStringLiteral("state ") + state.join(QLatin1Char(' '));
}

int runTray(bool answering)
{
    Form1 form;
    // As the program: the running instance answers later starts.
    SingleInstance instance;
    if (answering) {
        if (!instance.start()) {
            say(QStringLiteral("fail another instance runs"));
            return 1;
        }
        AnswerLaterStarts(instance, form);
    }
    form.Form_Load();
    form.toTrayAtStart();
    say(QStringLiteral("running"));
    QString last;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QString now = trayState(form);
        if (now != last)
            say(last = now);
    });
    poll.start(50);
    // Never blocks: the notifier may fire again while the program ends.
    ::fcntl(STDIN_FILENO, F_SETFL, ::fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buf[256];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf - 1);
        if (n < 0)
            return; // nothing after all
        const QByteArray cmd = n > 0 ? QByteArray(buf, int(n)).trimmed() : QByteArray("quit");
        if (cmd == "quit") {
            input.setEnabled(false);
            // Not quit(): that first asks the windows to close, and the main
            // window answers by going to the tray.
            QCoreApplication::exit(0);
        } else if (cmd == "close-menu") {
            if (tray::TrayMenu *m = trayMenu())
                m->close();
        } else if (cmd == "to-tray") {
            form.ToTray();
        }
    });
    return QApplication::exec();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    SetMessageHandler([](const Message &m) {
        say(QStringLiteral("message ") + QString(m.text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        return MsgResult::Ok;
    });
    SetProcessEnd([] { say(QStringLiteral("ended")); });
    say(QStringLiteral("platform ") + QGuiApplication::platformName());
    const QStringList args = QCoreApplication::arguments();
    try {
        if (args.size() >= 3 && args[1] == QLatin1String("windows"))
            return runWindows(args[2]);
        if (args.size() >= 2 && args[1] == QLatin1String("tray"))
            return runTray(args.size() >= 3 && args[2] == QLatin1String("answering"));
    } catch (const std::exception &e) {
        // a part the probe looks for is missing
        say(QStringLiteral("fail ") + QString::fromUtf8(e.what()));
        return 1;
    }
    say(QStringLiteral("usage: session_probe windows <folder> | tray"));
    return 2;
}
