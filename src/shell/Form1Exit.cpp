// The orderly exit of the program and the storing of the user's state on the way out.
#include "shell/Form1.h"

#include "calendar/calen/Calen.h"
#include "literature/Shelf.h"
#include "platform/core/Identity.h"
#include "platform/core/ProgramFolders.h"
#include "platform/core/Settings.h"
#include "platform/core/Twips.h"
#include "platform/error/Error.h"
#include "tray/TrayArea.h"

#include <QFile>
#include <QTreeWidget>

namespace somnex {

void StoreUserState()
{
    AppState &s = app();
    Form1 *f = mainForm();
    if (s.StateStored || !f)
        return;
    s.StateStored = true;
    SettingsBatch batch;
    tryStep([&] {
        const Qt::WindowStates st = f->windowState();
        QRect g;
        if (f->inTray() || f->isHidden())
            g = f->lastNormalGeometry(); // quitting from the tray
        else if (!(st & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
            g = QRect(f->pos(), f->size());
        if (g.isValid()) {
            SaveSetting(settings::kApp, settings::kMain, settings::key::Top, realText(PixelsToTwips(g.y())));
            SaveSetting(settings::kApp, settings::kMain, settings::key::Left, realText(PixelsToTwips(g.x())));
            SaveSetting(settings::kApp, settings::kMain, settings::key::Height, realText(PixelsToTwips(g.height())));
            SaveSetting(settings::kApp, settings::kMain, settings::key::Width, realText(PixelsToTwips(g.width())));
        }
    });
    for (QAction *b : f->bookButtons())
        tryStep(
            [&] { SaveSetting(settings::kApp, settings::kBooks, b->data().toString(), b->isChecked() ? "1" : "0"); });
    tryStep([&] {
        // the literature tree: every node after the first keeps its Tag
        QTreeWidgetItemIterator it(f->TreeView1);
        if (*it)
            ++it;
        for (; *it; ++it)
            SaveSetting(settings::kApp, settings::kBooks, Form1::nodeKey(*it), Form1::nodeTag(*it));
    });
    tryStep([&] {
        const QTreeWidgetItem *all = f->litNode(literature::kAllKey);
        const QTreeWidgetItem *fav = f->litNode(literature::kFavKey);
        SaveSetting(settings::kApp, settings::kMain, settings::key::LitAExpanded, boolText(all && all->isExpanded()));
        SaveSetting(settings::kApp, settings::kMain, settings::key::LitFExpanded, boolText(fav && fav->isExpanded()));
    });
    tryStep([&] {
        SaveSetting(settings::kApp, settings::kMain, settings::key::ListMode, f->btnReport->isChecked() ? "1" : "0");
    });
    tryStep([&] { f->SaveLastWord(); });
}

void ExitApp(bool fastexit)
{
    AppState &s = app();
    if (s.Exiting)
        return;
    s.Exiting = true;
    Form1 *f = mainForm();
    tryStep([&] {
        if (f)
            f->Tray1->setVisible(false);
    });
    if (fastexit)
        s.StateStored = true; // nothing of this run is worth keeping
    else
        StoreUserState();
    tryStep([&] {
        const QString doc = AddSlash(ProgramFolder()) + QStringLiteral("article.doc");
        if (QFile::exists(doc))
            QFile::remove(doc);
    });
    s.CloseToTray = false;
    tryStep([&] {
        if (f) {
            if (Tolk *t = f->tolk())
                t->close();
            if (calendar::Calen *c = calendar::Calen::instance())
                c->close();
            f->close();
        }
    });
    EndProcess();
}

} // namespace somnex
