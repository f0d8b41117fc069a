// The dictionary panel's books: the book bar and its menu, loading the
// catalogue, adding the user's books, and the merged word list with the
// full-text index built over it.

#include "shell/DictionaryPanel.h"

#include "appstate/AppState.h"
#include "dictionary/MergedWords.h"
#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "platform/error/Error.h"
#include "platform/jet/BookSignature.h"
#include "platform/ui/Translations.h"
#include "reading/CatalogueTolk.h"
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

QIcon DictionaryPanel::bookIcon(const CatalogueBook &b) const
{
    const QSize size(24, 24);
    const qreal dpr = devicePixelRatioF();
    if (b.icon.isEmpty())
        return QIcon(artworkPixmap(QStringLiteral("book-generic"), size, dpr));
    QImage img;
    if (!img.loadFromData(b.icon))
        throw Error(481, QStringLiteral("LoadBooks"), QStringLiteral("Недопустимое изображение"));
    // the book's icon with the default picture drawn over it
    QPixmap composite(size * dpr);
    composite.setDevicePixelRatio(dpr);
    composite.fill(Qt::transparent);
    QPainter p(&composite);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), img);
    p.drawPixmap(0, 0, artworkPixmap(QStringLiteral("book-default"), size, dpr));
    p.end();
    return QIcon(composite);
}

// Each book's picture; a book whose picture cannot be loaded is left out like
// an unreadable one.
std::vector<QIcon> DictionaryPanel::takeBookIcons(CatalogueLoad &load) const
{
    std::vector<QIcon> icons;
    std::vector<CatalogueBook> loaded;
    for (CatalogueBook &b : load.books) {
        try {
            icons.push_back(bookIcon(b));
            loaded.push_back(std::move(b));
        } catch (const Error &e) {
            load.skipped.push_back({b.Key, QStringLiteral("файл повреждён (%1)").arg(e.description())});
        }
    }
    load.books = std::move(loaded);
    if (load.failure == CatalogueLoad::None && load.books.empty())
        load.failure = CatalogueLoad::FolderOrBook;
    return icons;
}

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
    if (!mnuBooks)
        connectControls();

    const AppState &s = app();
    CatalogueLoad load = dictionary::LoadCatalogue(
        s.BooksFolder,
        [](const QString &key) { return GetSettingInt(settings::kApp, settings::kBooks, key, 1) == 0 ? 0 : 1; },
        dictionary::userBooksFolder());
    const std::vector<QIcon> icons = takeBookIcons(load);
    const QString skipped = dictionary::skippedMessage(load.skipped);
    if (load.failure != CatalogueLoad::None)
        return failBookLoad(load, skipped);
    books_ = load.books;
    for (size_t k = 0; k < books_.size(); ++k)
        addBookButton(books_[k], icons[k], static_cast<int>(k) + 1);
    mnuBook[0]->setVisible(false);
    mnuSelBook[0]->setVisible(false);
    // every button's release reaches the toolbar's mouse-up handling
    for (QAction *a : bookButtons_)
        if (QWidget *w = Toolbar2->widgetForAction(a))
            w->installEventFilter(barMouse_);
    layoutControls();
    LoadList();
    window()->unsetCursor();
    if (!skipped.isEmpty()) {
        if (QWidget *splash = host_->splashScreen())
            splash->close();
        ShowMessage(skipped, QStringLiteral("LoadBooks"), MsgIcon::Error);
    }
    return true;
}

// A book's button shows the book: its picture, its name as the tip, its
// state, and the catalogue's fields the interpretation window reads.
void DictionaryPanel::applyBook(QAction *button, const CatalogueBook &b)
{
    button->setCheckable(true);
    button->setData(b.Key);
    button->setToolTip(b.ToolTipText);
    button->setChecked(b.Value == 1);
    button->setProperty("Tag", b.Tag);
    button->setProperty("Description", b.Description);
    button->setProperty("Image", b.Image);
}

void DictionaryPanel::addBookButton(const CatalogueBook &b, const QIcon &icon, int index)
{
    QAction *a = new QAction(icon, QString(), Toolbar2);
    applyBook(a, b);
    Toolbar2->insertAction(index - 1 < bookButtons_.size() ? bookButtons_[index - 1] : nullptr, a);
    bookButtons_.insert(index - 1, a);
    QAction *one = new QAction(b.ToolTipText, mnuOneBook);
    QAction *sel = new QAction(b.ToolTipText, mnuSel);
    sel->setCheckable(true);
    mnuOneBook->addAction(one);
    mnuSel->addAction(sel);
    mnuBook.append(one);
    mnuSelBook.append(sel);
    renumberBookMenus();
    if (QWidget *w = Toolbar2->widgetForAction(a); w && barMouse_)
        w->installEventFilter(barMouse_);
}

// Menu item k belongs to button k; after a button is inserted the items'
// captions and actions follow the buttons again.
void DictionaryPanel::renumberBookMenus()
{
    for (int k = 1; k < mnuBook.size() && k <= bookButtons_.size(); ++k) {
        const QString caption = bookButtons_[k - 1]->toolTip();
        mnuBook[k]->setText(caption);
        mnuSelBook[k]->setText(caption);
        mnuBook[k]->setObjectName(QStringLiteral("mnuBook(%1)").arg(k));
        mnuSelBook[k]->setObjectName(QStringLiteral("mnuSelBook(%1)").arg(k));
        mnuBook[k]->disconnect(this);
        mnuSelBook[k]->disconnect(this);
        connect(mnuBook[k], &QAction::triggered, this, [this, k] { mnuBook_Click(k); });
        connect(mnuSelBook[k], &QAction::triggered, this, [this, k] { mnuSelBook_Click(k); });
    }
}

void DictionaryPanel::chooseBooksToAdd()
{
    QFileDialog dialog(this, QStringLiteral("Добавить сонник"), QString(), QStringLiteral("Сонники (*.book)"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // sizes and dates in Russian forms whatever the session's locale
    auto *columns = new RussianFileColumns(&dialog);
    dialog.setProxyModel(columns);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList files = dialog.selectedFiles();
    if (!files.isEmpty())
        addBooks(files);
}

bool DictionaryPanel::takesBooks() const
{
    return mnuBooks != nullptr;
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

namespace {

// A book file the user offers, read whole once it has opened as a book;
// nothing when it is not one (the user is told why).
std::optional<QByteArray> readOfferedBook(const QString &file, const QString &title)
{
    const QString name = QFileInfo(file).fileName();
    if (!name.endsWith(QStringLiteral(".book"), Qt::CaseInsensitive) || !jet::IsValidVersion(file)) {
        ShowMessage(QStringLiteral("Файл «%1» не является сонником программы. Ничего не скопировано.").arg(name), title,
                    MsgIcon::Error);
        return std::nullopt;
    }
    try {
        dictionary::openBook(file); // readable as a book
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            throw Error(3044, title, in.errorString());
        return in.readAll();
    } catch (const Error &e) {
        ShowMessage(QStringLiteral("Файл «%1» не является сонником программы: %2. Ничего не скопировано.")
                        .arg(name, e.description()),
                    title, MsgIcon::Error);
        return std::nullopt;
    }
}

// Copies a book into the user's books folder, asking before it replaces one
// of the same name; whether the copy is there (and not the file itself).
bool copyToUserBooks(const QString &file, const QByteArray &bytes, const QString &folder, const QString &title)
{
    const QString name = QFileInfo(file).fileName();
    const QString target = folder + QLatin1Char('/') + name;
    if (QFileInfo(file).canonicalFilePath() == QFileInfo(target).canonicalFilePath())
        return false; // already the user's own book
    if (QFileInfo::exists(target)
        && ShowMessage(QStringLiteral("Сонник «%1» уже есть в папке ваших сонников. Заменить его?").arg(name), title,
                       MsgIcon::Question, MsgButtons::YesNo)
               != MsgResult::Yes)
        return false;
    QSaveFile out(target);
    if (!QDir().mkpath(folder) || !out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()
        || !out.commit()) {
        ShowMessage(
            QStringLiteral("Не удаётся скопировать сонник «%1» в папку «%2»: %3").arg(name, folder, out.errorString()),
            title, MsgIcon::Error);
        return false;
    }
    return true;
}

} // namespace

// The user's copy takes the place of a book of the same file name, or joins
// the bar in file-name order.
void DictionaryPanel::placeAddedBook(CatalogueBook b, const QString &name, const QIcon &icon)
{
    int slot = -1;
    for (size_t k = 0; k < books_.size(); ++k)
        if (QFileInfo(books_[k].Key).fileName() == name)
            slot = static_cast<int>(k);
    if (slot >= 0) {
        b.Image = b.icon.isEmpty() ? QStringLiteral("default") : books_[static_cast<size_t>(slot)].Image;
        books_[static_cast<size_t>(slot)] = b;
        QAction *a = bookButtons_[slot];
        a->setIcon(icon);
        applyBook(a, b);
        renumberBookMenus();
        return;
    }
    size_t at = 0;
    while (at < books_.size()) {
        const QString other = QFileInfo(books_[at].Key).fileName();
        const int c = other.compare(name, Qt::CaseInsensitive);
        if (c > 0 || (c == 0 && other > name))
            break;
        ++at;
    }
    b.Image = b.icon.isEmpty() ? QStringLiteral("default") : QStringLiteral("k") + QString::number(at);
    books_.insert(books_.begin() + static_cast<std::ptrdiff_t>(at), b);
    addBookButton(b, icon, static_cast<int>(at) + 1);
}

int DictionaryPanel::addBooks(const QStringList &files)
{
    const QString title = QStringLiteral("Добавить сонник");
    const QString folder = dictionary::userBooksFolder();
    int added = 0;
    for (const QString &file : files) {
        const std::optional<QByteArray> bytes = readOfferedBook(file, title);
        if (!bytes || !copyToUserBooks(file, *bytes, folder, title))
            continue;
        const QString name = QFileInfo(file).fileName();
        dictionary::CatalogueBook b;
        QIcon icon;
        try {
            b = dictionary::openBook(folder + QLatin1Char('/') + name);
            b.Value = 1;
            icon = bookIcon(b);
        } catch (const Error &e) {
            ShowMessage(QStringLiteral("Сонник «%1» не загружен: %2").arg(name, e.description()), title,
                        MsgIcon::Error);
            continue;
        }
        placeAddedBook(std::move(b), name, icon);
        ++added;
    }
    if (added > 0) {
        layoutControls();
        reloadKeepingPlace();
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

bool DictionaryPanel::bookOn(size_t k) const
{
    return k < static_cast<size_t>(bookButtons_.size()) && bookButtons_[static_cast<int>(k)]->isChecked();
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
        books_, [this](size_t k) { return bookOn(k); },
        [this, generation] {
            QCoreApplication::processEvents();
            return rebuild_ == generation;
        });
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
    std::vector<TextSource> sources;
    for (size_t k = 0; k < books_.size() && k < static_cast<size_t>(bookButtons_.size()); ++k)
        if (bookOn(k))
            sources.push_back({books_[k].ToolTipText, books_[k].recordset});
    std::optional<WordIndex> words;
    if (words_.size() > kFinderInline)
        words = words_;
    index_->start(std::move(sources), std::move(words), rebuild_);
}

void DictionaryPanel::stopTextIndex()
{
    index_->stop();
}

std::shared_ptr<const TextIndex> DictionaryPanel::textIndex() const
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

void DictionaryPanel::Toolbar2_MouseUp(Qt::MouseButton button, const QPoint &globalPos)
{
    if (!mnuBooks)
        return;
    mnuBooksAll[0]->setEnabled(!bookButtons_.isEmpty());
    mnuBooksAll[1]->setEnabled(!bookButtons_.isEmpty());
    for (int k = 1; k < mnuSelBook.size() && k <= bookButtons_.size(); ++k)
        mnuSelBook[k]->setChecked(bookButtons_[k - 1]->isChecked());
    for (QAction *a : mnuBook)
        a->setChecked(false);
    if (button == Qt::RightButton)
        mnuBooks->popup(globalPos);
}

void DictionaryPanel::mnuBooksAll_Click(int index)
{
    for (QAction *b : bookButtons_)
        b->setChecked(index == 0);
    if (!bookButtons_.isEmpty())
        Toolbar2_ButtonClick(1);
}

void DictionaryPanel::mnuSelBook_Click(int index)
{
    if (index < 1 || index >= mnuSelBook.size() || index > bookButtons_.size())
        return;
    // The item's own toggle has already flipped its check mark.
    bookButtons_[index - 1]->setChecked(mnuSelBook[index]->isChecked());
    Toolbar2_ButtonClick(index);
}

void DictionaryPanel::mnuBook_Click(int index)
{
    if (index < 1 || index > bookButtons_.size())
        return;
    for (QAction *b : bookButtons_)
        b->setChecked(false);
    bookButtons_[index - 1]->setChecked(true);
    Toolbar2_ButtonClick(index);
}

void DictionaryPanel::storeBooks() const
{
    for (QAction *b : bookButtons_)
        SaveSetting(settings::kApp, settings::kBooks, b->data().toString(), b->isChecked() ? "1" : "0");
}

std::vector<TolkBook> DictionaryPanel::tolkBooks()
{
    return TolkBooksOf(books_, [this](size_t k) { return bookOn(k); });
}

std::vector<TolkButton> DictionaryPanel::tolkButtons() const
{
    return TolkButtonsOf(books_);
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
