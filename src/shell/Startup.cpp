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
#include "platform/ui/Translations.h"
#include "shell/AboutBox.h"
#include "shell/Form1.h"
#include "support/Artwork.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>

namespace somnex {

std::unique_ptr<TerminationSignals> WatchSessionEnd()
{
#ifndef QT_NO_SESSIONMANAGER
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, qGuiApp, [] { StoreUserState(); });
#endif
    QObject::connect(qGuiApp, &QCoreApplication::aboutToQuit, qGuiApp, [] { StoreUserState(); });
    auto termination = std::make_unique<TerminationSignals>();
    QObject::connect(termination.get(), &TerminationSignals::terminationRequested, qGuiApp, [] { ExitApp(false); });
    return termination;
}

int Main(int argc, char **argv)
{
    Application qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("somnex"));
    QApplication::setDesktopFileName(QString::fromLatin1(kDesktopName));
    QApplication::setWindowIcon(appIcon());
    QApplication::setQuitOnLastWindowClosed(false);
    UseRussianFormats();
    LoadQtTranslations(qapp);
    InstallMessageBoxes();
    // The astronomy engine lets pending events run during its searches and
    // reports through the program's message service.
    astro::ProcessPendingEvents = [] { QCoreApplication::processEvents(); };
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

    // Files on the command line (a file manager opening books with us).
    QStringList files;
    for (const QString &arg : QCoreApplication::arguments().mid(1))
        if (QFileInfo(arg).isFile())
            files.append(QFileInfo(arg).absoluteFilePath());

    SingleInstance instance;
    if (!instance.start(files))
        return 0; // the running instance comes to the front and takes the files

    app().FirstActivation = true;
    SetProcessEnd([] { QCoreApplication::exit(0); });
    const std::unique_ptr<TerminationSignals> termination = WatchSessionEnd();

    const QString commandLine = QCoreApplication::arguments().mid(1).join(QLatin1Char(' '));
    Form1 form;
    QObject::connect(&instance, &SingleInstance::activationRequested, &form, &Form1::Activate);
    QObject::connect(&instance, &SingleInstance::filesRequested, &form, [&form](const QStringList &more) {
        QTimer::singleShot(0, &form, [&form, more] { form.OfferBooks(more); });
    });

    if (CommandLineWantsTray(commandLine)) {
        form.Form_Load();
        if (!app().QuitRequested)
            form.ToTrayAtStart();
    } else {
        auto *splash = new Splash;
        if (QScreen *s = QGuiApplication::primaryScreen()) {
            const QRect g = s->availableGeometry();
            splash->move(g.center() - QPoint(splash->width() / 2, splash->height() / 2));
        }
        splash->show();
        splash->repaint();
        form.setSplash(splash);
        form.Form_Load();
        if (!app().QuitRequested && !form.inTray())
            form.show();
    }
    if (app().QuitRequested)
        return 0;
    if (!files.isEmpty())
        QTimer::singleShot(0, &form, [&form, files] { form.OfferBooks(files); });
    return qapp.exec();
}

} // namespace somnex
