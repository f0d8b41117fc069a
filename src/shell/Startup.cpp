#include "shell/Startup.h"

#include "appstate/AppState.h"
#include "astro/mPublicVars.h"
#include "platform/core/Identity.h"
#include "platform/core/Messages.h"
#include "platform/core/SingleInstance.h"
#include "platform/core/TerminationSignals.h"
#include "platform/error/Error.h"
#include "platform/ui/Application.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/Session.h"
#include "platform/ui/Translations.h"
#include "shell/AboutBox.h"
#include "shell/Form1.h"
#include "support/Accessibility.h"
#include "support/Artwork.h"
#include "support/FirstPaint.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>

#include <cstdlib>

#include <malloc.h>

namespace somnex {

namespace {

// The astronomy engine reports through the program's message service. Its
// searches never let window events run: the windows compute on a worker and
// take the answer when it is ready.
void connectAstronomy()
{
    astro::ShowMessage = [](std::string_view text, std::string_view title, astro::MessageIcon icon) {
        MsgIcon i = MsgIcon::Error;
        switch (icon) {
        case astro::MessageIcon::Error: i = MsgIcon::Error; break;
        case astro::MessageIcon::Warning: i = MsgIcon::Warning; break;
        case astro::MessageIcon::Information: i = MsgIcon::Information; break;
        case astro::MessageIcon::Question: i = MsgIcon::Question; break;
        }
        ShowMessage(QString::fromUtf8(text.data(), qsizetype(text.size())),
                    QString::fromUtf8(title.data(), qsizetype(title.size())), i);
    };
}

// For the start-up benchmarks (bench/startup.sh): with SOMNEX_STARTUP_PROBE
// set to "shown" the program ends once the main window has been painted, with
// "ready" once the worker has indexed the books' texts.
class StartupProbe : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            QTimer::singleShot(0, [] { std::_Exit(0); });
        return false;
    }
};

void watchStartupProbe(Form1 &form)
{
    const QByteArray probe = qgetenv("SOMNEX_STARTUP_PROBE");
    if (probe == "shown" && form.isVisible())
        form.installEventFilter(new StartupProbe(&form));
    else if (probe == "ready")
        QObject::connect(&form, &Form1::textIndexReady, [] { std::_Exit(0); });
}

// The splash screen, shown at the middle of the primary screen.
QWidget *showSplash(Splash *splash)
{
    if (QScreen *s = QGuiApplication::primaryScreen()) {
        const QRect g = s->availableGeometry();
        splash->move(g.center() - QPoint(splash->width() / 2, splash->height() / 2));
    }
    splash->show();
    splash->repaint();
    return splash;
}

// The application's name, icon, style, language, message boxes and screen
// reader names.
void setUpApplication(Application &qapp)
{
    QApplication::setApplicationName(QStringLiteral("somnex"));
    QApplication::setDesktopFileName(QString::fromLatin1(kDesktopName));
    QApplication::setWindowIcon(appIcon());
    UseArtworkStyle();
    QApplication::setQuitOnLastWindowClosed(false);
    UseRussianFormats();
    LoadQtTranslations(qapp);
    InstallMessageBoxes();
    InstallAccessibility();
    connectAstronomy();
}

// Loads the main window: into the tray when there is no splash, else shown
// behind the splash, with the word list made once it has been painted.
void loadMainWindow(Form1 &form, Splash *splash)
{
    if (!splash) {
        form.Form_Load();
        if (!app().QuitRequested)
            form.toTrayAtStart();
        return;
    }
    form.setSplash(showSplash(splash));
    form.setListDeferred(true);
    form.Form_Load();
    if (!app().QuitRequested && !form.inTray())
        form.show();
    // the word list once the window has been painted (at once when it does
    // not show)
    if (!app().QuitRequested)
        afterFirstPaint(&form, [&form] { form.loadDeferredList(); });
}

} // namespace

std::unique_ptr<TerminationSignals> WatchSessionEnd()
{
#ifndef QT_NO_SESSIONMANAGER
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, qGuiApp, [] { StoreUserState(); });
#endif
    QObject::connect(qGuiApp, &QCoreApplication::aboutToQuit, qGuiApp, [] { StoreUserState(); });
    auto termination = std::make_unique<TerminationSignals>();
    QObject::connect(termination.get(), &TerminationSignals::terminationRequested, qGuiApp,
                     [] { ExitApp(ExitMode::StoreState); });
    return termination;
}

void AnswerLaterStarts(SingleInstance &instance, Form1 &form)
{
    QObject::connect(&instance, &SingleInstance::activationRequested, &form, [&form](const QByteArray &token) {
        // The later start's launcher token lets the compositor give us the
        // focus (xdg-activation); without one the window is still raised.
        UseActivationToken(token);
        form.activate();
    });
    QObject::connect(&instance, &SingleInstance::filesRequested, &form, [&form](const QStringList &more) {
        QTimer::singleShot(0, &form, [&form, more] { form.offerBooks(more); });
    });
    QObject::connect(&instance, &SingleInstance::newDreamRequested, &form,
                     [&form] { QTimer::singleShot(0, &form, [&form] { form.writeNewDream(); }); });
}

int Main(int argc, char **argv)
{
    // One malloc arena for all threads: the worker that reads the books and
    // indexes their texts would otherwise keep an arena of its own, whose
    // freed pages stay resident beside the main thread's.
    mallopt(M_ARENA_MAX, 1);
    Application qapp(argc, argv);
    setUpApplication(qapp);

    // Files on the command line (a file manager opening books with us).
    QStringList files;
    for (const QString &arg : QCoreApplication::arguments().mid(1))
        if (QFileInfo(arg).isFile())
            files.append(QFileInfo(arg).absoluteFilePath());

    // "Записать сон" of the desktop entry: the diary on a new dream.
    const bool newDream = QCoreApplication::arguments().mid(1).contains(QStringLiteral("--new-dream"));

    SingleInstance instance;
    if (!instance.start(files, newDream))
        return 0; // the running instance comes to the front and takes the files

    app().FirstActivation = true;
    SetProcessEnd([] { QCoreApplication::exit(0); });
    const std::unique_ptr<TerminationSignals> termination = WatchSessionEnd();

    const QString commandLine = QCoreApplication::arguments().mid(1).join(QLatin1Char(' '));
    const bool toTray = CommandLineWantsTray(commandLine);
    // made before the main window, so that its picture is drawn while the
    // window is being built
    Splash *splash = toTray ? nullptr : new Splash;
    Form1 form;
    AnswerLaterStarts(instance, form);

    loadMainWindow(form, splash);
    if (app().QuitRequested)
        return 0;
    watchStartupProbe(form);
    if (!files.isEmpty())
        QTimer::singleShot(0, &form, [&form, files] { form.offerBooks(files); });
    if (newDream)
        QTimer::singleShot(0, &form, [&form] { form.writeNewDream(); });
    return qapp.exec();
}

} // namespace somnex
