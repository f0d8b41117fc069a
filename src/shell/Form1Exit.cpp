// The orderly exit of the program and the storing of the user's state on the way out.
#include "shell/Form1.h"

#include "calendar/calen/Calen.h"
#include "literature/Shelf.h"
#include "platform/core/Settings.h"
#include "platform/core/Shell.h"
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
            SaveSetting(AppState::App, AppState::Main, "Top", realText(PixelsToTwips(g.y())));
            SaveSetting(AppState::App, AppState::Main, "Left", realText(PixelsToTwips(g.x())));
            SaveSetting(AppState::App, AppState::Main, "Height", realText(PixelsToTwips(g.height())));
            SaveSetting(AppState::App, AppState::Main, "Width", realText(PixelsToTwips(g.width())));
        }
    });
    for (QAction *b : f->bookButtons())
        tryStep([&] { SaveSetting(AppState::App, AppState::Books, b->data().toString(), b->isChecked() ? "1" : "0"); });
    tryStep([&] {
        // the literature tree: every node after the first keeps its Tag
        QTreeWidgetItemIterator it(f->TreeView1);
        if (*it)
            ++it;
        for (; *it; ++it)
            SaveSetting(AppState::App, AppState::Books, Form1::nodeKey(*it), Form1::nodeTag(*it));
    });
    tryStep([&] {
        const QTreeWidgetItem *all = f->litNode(literature::kAllKey);
        const QTreeWidgetItem *fav = f->litNode(literature::kFavKey);
        SaveSetting(AppState::App, AppState::Main, "LitAExpanded", boolText(all && all->isExpanded()));
        SaveSetting(AppState::App, AppState::Main, "LitFExpanded", boolText(fav && fav->isExpanded()));
    });
    tryStep([&] { SaveSetting(AppState::App, AppState::Main, "ListMode", f->btnReport->isChecked() ? "1" : "0"); });
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
