// The orderly exit of the program and the storing of the user's state on the way out.
#include "shell/Form1.h"

#include "calendar/calen/Calen.h"
#include "platform/core/Identity.h"
#include "platform/core/ProgramFolders.h"
#include "platform/core/Settings.h"
#include "platform/core/Twips.h"
#include "platform/error/Error.h"
#include "platform/ui/Session.h"
#include "shell/DictionaryPanel.h"
#include "shell/LiteraturePanel.h"

#include <QFile>

namespace somnex {

void Form1::storeState()
{
    const Qt::WindowStates st = windowState();
    QRect g;
    if (inTray() || isHidden())
        g = lastNormalGeometry(); // quitting from the tray
    else if (!(st & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
        g = QRect(pos(), size());
    if (g.isValid()) {
        // Where the compositor places the windows (Wayland) the position
        // read back means nothing: the one stored before is kept.
        if (CurrentSessionTraits().placesWindows) {
            SaveSetting(settings::kApp, settings::kMain, settings::key::Top, realText(PixelsToTwips(g.y())));
            SaveSetting(settings::kApp, settings::kMain, settings::key::Left, realText(PixelsToTwips(g.x())));
        }
        SaveSetting(settings::kApp, settings::kMain, settings::key::Height, realText(PixelsToTwips(g.height())));
        SaveSetting(settings::kApp, settings::kMain, settings::key::Width, realText(PixelsToTwips(g.width())));
    }
    dictionary_->storeBooks();
    literature_->storeState();
    SaveSetting(settings::kApp, settings::kMain, settings::key::ListMode,
                dictionary_->listMode() == ListMode::Report ? "1" : "0");
    dictionary_->SaveLastWord();
}

void StoreUserState()
{
    AppState &s = app();
    Form1 *f = mainForm();
    if (s.StateStored || !f)
        return;
    s.StateStored = true;
    SettingsBatch batch;
    f->storeState();
}

void ExitApp(ExitMode mode)
{
    AppState &s = app();
    if (s.Exiting)
        return;
    s.Exiting = true;
    Form1 *f = mainForm();
    if (f)
        f->hideTrayIcon();
    if (mode == ExitMode::Fast)
        s.StateStored = true; // nothing of this run is worth keeping
    else
        StoreUserState();
    const QString doc = AddSlash(ProgramFolder()) + QStringLiteral("article.doc");
    if (QFile::exists(doc))
        QFile::remove(doc);
    s.CloseToTray = false;
    if (f) {
        if (Tolk *t = f->tolk())
            t->close();
        if (calendar::Calen *c = calendar::Calen::instance())
            c->close();
        f->close();
    }
    EndProcess();
}

} // namespace somnex
