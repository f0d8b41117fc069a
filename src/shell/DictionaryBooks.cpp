// The dictionary panel's books: loading the catalogue onto the book bar,
// and the merged word list of the books switched on with the full-text
// index built over it.

#include "shell/DictionaryPanel.h"

#include "appstate/AppState.h"
#include "dictionary/MergedWords.h"
#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "platform/error/Error.h"
#include "platform/jet/BookSignature.h"
#include "platform/ui/Translations.h"
#include "reading/CatalogueTolk.h"
#include "shell/BookBar.h"
#include "shell/Form1.h"
#include "shell/HeaderBar.h"
#include "shell/StatusPanel.h"
#include "shell/TextIndexService.h"
#include "shell/WordListModel.h"
#include "support/Artwork.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QToolBar>

#include <optional>

namespace somnex {

using dictionary::CatalogueBook;
using dictionary::CatalogueLoad;

// Says why no book could be loaded and ends the program; always false.
bool DictionaryPanel::failBookLoad(const CatalogueLoad &load, const QString &skipped)
{
    const AppState &s = app();
    QWidget *splash = host_->splashScreen();
    // the splash screen stays up until the process ends, unless closed first
    auto fail = [&](const QString &text) {
        ShowMessage(text, QString(), MsgIcon::Error);
        ExitApp(ExitMode::Fast);
        return false;
    };
    if (load.failure == CatalogueLoad::FolderOrBook && !skipped.isEmpty()) {
        if (splash)
            splash->close();
        ShowMessage(skipped, QStringLiteral("LoadBooks"), MsgIcon::Error);
    }
    switch (load.failure) {
    case CatalogueLoad::FolderOrBook:
        if (splash)
            splash->close();
        return fail(QStringLiteral("Невозможно найти папку с данными:\r\n") + s.BooksFolder);
    case CatalogueLoad::NoBookFiles:
        Listcheck();
        return fail(QStringLiteral("В папке данных программы не найдено ни одного сонника! "
                                   "Переустановите программу или добавьте файлы сонников!"));
    case CatalogueLoad::NoSignedBooks:
        return fail(QStringLiteral("Среди файлов программы нет сонников совместимых с текущей версией! "
                                   "Переустановите программу или добавьте файлы сонников!"));
    case CatalogueLoad::None: break;
    }
    return true;
}

bool DictionaryPanel::LoadBooks()
{
    if (!Toolbar2->prepared())
        connectControls();

    const AppState &s = app();
    CatalogueLoad load = dictionary::LoadCatalogue(
        s.BooksFolder,
        [](const QString &key) { return GetSettingInt(settings::kApp, settings::kBooks, key, 1) == 0 ? 0 : 1; },
        dictionary::userBooksFolder(), true);
    const std::vector<QIcon> icons = Toolbar2->takeBookIcons(load);
    // each file left out is said once a start, not at every reload
    QSet<QString> &told = toldSkipped_;
    std::vector<dictionary::SkippedBook> untold;
    for (const dictionary::SkippedBook &b : load.skipped)
        if (!told.contains(b.path + QLatin1Char('\n') + b.reason)) {
            told.insert(b.path + QLatin1Char('\n') + b.reason);
            untold.push_back(b);
        }
    const QString skipped = dictionary::skippedMessage(untold);
    if (load.failure != CatalogueLoad::None)
        return failBookLoad(load, skipped);
    Toolbar2->setBooks(load.books, icons);
    layoutControls();
    if (!listDeferred_)
        LoadList();
    window()->unsetCursor();
    if (!skipped.isEmpty()) {
        if (QWidget *splash = host_->splashScreen())
            splash->close();
        ShowMessage(skipped, QStringLiteral("LoadBooks"), MsgIcon::Error);
    }
    return true;
}

bool DictionaryPanel::takesBooks() const
{
    return Toolbar2->prepared();
}

int DictionaryPanel::addBooks(const QStringList &files)
{
    return Toolbar2->addBooks(files);
}

int DictionaryPanel::offerBooks(const QStringList &files)
{
    int added = 0;
    for (const QString &file : files) {
        const QString name = QFileInfo(file).fileName();
        if (ShowMessage(QStringLiteral("Добавить сонник «%1» в ваши сонники?").arg(name),
                        QStringLiteral("Добавить сонник"), MsgIcon::Question, MsgButtons::YesNo)
            == MsgResult::Yes)
            added += addBooks({file});
    }
    return added;
}

void DictionaryPanel::reloadKeepingPlace()
{
    const QString word = selectedWord();
    const QString typed = Text1->text();
    Tolk *tolk = host_->interpretation();
    const bool reading = tolk && tolk->isVisible() && !app().LiteratureActive;
    const QString shown = reading ? tolk->RichTextBox1->Tag : QString();
    const QStringList back = reading ? tolk->Back : QStringList();
    keepTolk_ = reading;
    LoadList();
    keepTolk_ = false;
    if (const int item = words_.indexOf(word); item >= 0) {
        {
            const QSignalBlocker quiet(Text1);
            Text1->setText(typed);
        }
        selectItem(item + 1);
        SetVisible(item + 1);
    }
    tolk = host_->interpretation();
    if (reading && tolk && !shown.isEmpty()) {
        tolk->ReloadWord(shown);
        tolk->Back = back;
        tolk->CheckBack();
    }
}

void DictionaryPanel::LoadList()
{
    const int generation = ++rebuild_;
    window()->setCursor(Qt::WaitCursor);
    app().WordEntryTotal = 0;
    wordModel_->beginRebuild();
    ListView1->hide();
    words_.clear();
    std::optional<dictionary::MergedWords> merged = dictionary::mergeWords(
        Toolbar2->books(), [this](size_t k) { return Toolbar2->isOn(k); },
        [this, generation] {
            QCoreApplication::processEvents();
            return rebuild_ == generation;
        },
        true);
    if (!merged)
        return; // a newer rebuild ran meanwhile and left the list complete
    words_ = std::move(merged->words);
    app().WordEntryTotal = merged->entries;
    if (merged->failure)
        ShowMessage(QStringLiteral("Ошибка")); // the list shows what was read so far
    wordModel_->endRebuild();
    ListView1->setVisible(!host_->literatureShown());
    status_->StText();
    closeInterpretation();
    Listcheck();
    window()->unsetCursor();
    startTextIndex();
}

// A rebuilt list closes the interpretation of a word it may no longer hold,
// unless the rebuild keeps the reader's place.
void DictionaryPanel::closeInterpretation()
{
    if (Tolk *tolk = host_->interpretation(); tolk && !keepTolk_)
        tolk->close();
}

void DictionaryPanel::startTextIndex()
{
    std::optional<dictionary::WordIndex> words;
    if (words_.size() > kFinderInline)
        words = words_;
    index_->start(Toolbar2->textSources(), std::move(words), rebuild_);
}

void DictionaryPanel::stopTextIndex()
{
    index_->stop();
}

std::shared_ptr<const dictionary::TextIndex> DictionaryPanel::textIndex() const
{
    return index_->index();
}

bool DictionaryPanel::textIndexBuilding() const
{
    return index_->building();
}

void DictionaryPanel::Toolbar2_ButtonClick(int)
{
    status_->startBusy();
    LoadList();
    status_->stopBusySoon();
}

void DictionaryPanel::storeBooks() const
{
    Toolbar2->storeBooks();
}

std::vector<TolkBook> DictionaryPanel::tolkBooks()
{
    return Toolbar2->tolkBooks();
}

std::vector<TolkButton> DictionaryPanel::tolkButtons() const
{
    return TolkButtonsOf(Toolbar2->books());
}

// Book files among what is dropped on the window.
QStringList droppedBookFiles(const QMimeData *mime)
{
    QStringList files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl &u : mime->urls())
        if (u.isLocalFile() && u.toLocalFile().endsWith(QStringLiteral(".book"), Qt::CaseInsensitive))
            files << u.toLocalFile();
    return files;
}

} // namespace somnex
