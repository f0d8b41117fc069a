// The dictionary half of the main window: the book toolbar and its menus,
// the merged word list with its search box, and the interpretation window.

#include "shell/Form1.h"
#include "shell/SearchTexts.h"

#include "dictionary/MergedWords.h"
#include "literature/Shelf.h"
#include "platform/core/Identity.h"
#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "platform/core/Twips.h"
#include "platform/error/Error.h"
#include "platform/jet/BookSignature.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/Translations.h"
#include "reading/CatalogueTolk.h"
#include "support/Artwork.h"
#include "support/Process.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <optional>

namespace somnex {

using dictionary::CatalogueBook;
using dictionary::CatalogueLoad;

// The word list as the list view shows it.
class WordListModel : public QAbstractListModel {
public:
    explicit WordListModel(const dictionary::WordIndex *words, QObject *parent)
        : QAbstractListModel(parent), words_(words)
    {
    }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() || hidden_ ? 0 : words_->size();
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= words_->size())
            return {};
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
            return words_->word(index.row());
        return {};
    }
    void beginRebuild()
    {
        beginResetModel();
        hidden_ = true;
        endResetModel();
    }
    void endRebuild()
    {
        beginResetModel();
        hidden_ = false;
        endResetModel();
    }

private:
    const dictionary::WordIndex *words_;
    bool hidden_ = false;
};

namespace {

class KeyWatcher : public QObject {
public:
    std::function<bool(QKeyEvent *)> onKey;
    std::function<void()> onFocus;
    std::function<void(QMouseEvent *)> onRelease;
    using QObject::QObject;

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress && onKey && onKey(static_cast<QKeyEvent *>(e)))
            return true;
        if (e->type() == QEvent::FocusIn && onFocus)
            onFocus();
        if (e->type() == QEvent::MouseButtonRelease && onRelease)
            onRelease(static_cast<QMouseEvent *>(e));
        return QObject::eventFilter(o, e);
    }
};

QString booksSection()
{
    return settings::kBooks;
}

} // namespace

QIcon Form1::bookIcon(const CatalogueBook &b) const
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

void Form1::buildBookMenu()
{
    mnuBooks = new QMenu(QStringLiteral("BooksMenu"), this);
    mnuBooksAll[0] = mnuBooks->addAction(QStringLiteral("Включить все"), this, [this] { mnuBooksAll_Click(0); });
    mnuBooksAll[1] = mnuBooks->addAction(QStringLiteral("Выключить все"), this, [this] { mnuBooksAll_Click(1); });
    mnuBooks->addSeparator();
    mnuSel = mnuBooks->addMenu(QStringLiteral("Выбрать"));
    mnuOneBook = mnuBooks->addMenu(QStringLiteral("Оставить один"));
    mnuBooks->addSeparator();
    mnuAddBook = mnuBooks->addAction(QStringLiteral("Добавить сонник…"), this, [this] { mnuAddBook_Click(); });
    setAcceptDrops(true);
    mnuSelBook = {mnuSel->addAction(QStringLiteral("<Пусто>"))};
    mnuBook = {mnuOneBook->addAction(QStringLiteral("<Пусто>"))};
    mnuSelBook[0]->setCheckable(true);
}

// The word list, the search box and the book bar answer the user from here on.
void Form1::connectDictionaryControls()
{
    buildBookMenu();
    wordModel_ = new WordListModel(&words_, this);
    ListView1->setModel(wordModel_);
    connect(ListView1, &QListView::clicked, this, [this](const QModelIndex &i) { ListView1_ItemClick(i.row() + 1); });
    connect(ListView1, &QListView::doubleClicked, this, [this] { ListView1_DblClick(); });
    connect(ListView1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &cur) {
        if (!programmatic_ && cur.isValid() && ListView1->hasFocus())
            ListView1_ItemClick(cur.row() + 1);
    });
    connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    auto *textKeys = new KeyWatcher(this);
    textKeys->onKey = [this](QKeyEvent *e) { return Text1_KeyDown(e->key()); };
    textKeys->onFocus = [this] { Text1_GotFocus(); };
    textKeys->onRelease = [this](QMouseEvent *) { Text1_Click(); };
    Text1->installEventFilter(textKeys);
    auto *listKeys = new KeyWatcher(this);
    listKeys->onKey = [this](QKeyEvent *e) {
        return !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && ListView1_KeyPress(e->text());
    };
    listKeys->onFocus = [this] { ListView1_GotFocus(); };
    ListView1->installEventFilter(listKeys);
    barMouse_ = new KeyWatcher(this);
    static_cast<KeyWatcher *>(barMouse_)->onRelease = [this](QMouseEvent *e) {
        Toolbar2_MouseUp(e->button(), e->globalPosition().toPoint());
    };
    Toolbar2->installEventFilter(barMouse_);
    Toolbar2->setContextMenuPolicy(Qt::PreventContextMenu);
    connect(Toolbar2, &QToolBar::actionTriggered, this, [this](QAction *a) {
        const int i = bookButtons_.indexOf(a);
        if (i >= 0)
            Toolbar2_ButtonClick(i + 1);
    });
}

// Each book's picture; a book whose picture cannot be loaded is left out like
// an unreadable one.
std::vector<QIcon> Form1::takeBookIcons(CatalogueLoad &load) const
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
bool Form1::failBookLoad(const CatalogueLoad &load, const QString &skipped)
{
    const AppState &s = app();
    auto fail = [&](const QString &text, bool closeSplash) {
        if (closeSplash && splash())
            splash()->close();
        ShowMessage(text, QString(), MsgIcon::Error);
        ExitApp(true);
        return false;
    };
    if (load.failure == CatalogueLoad::FolderOrBook && !skipped.isEmpty()) {
        if (splash())
            splash()->close();
        ShowMessage(skipped, QStringLiteral("LoadBooks"), MsgIcon::Error);
    }
    switch (load.failure) {
    case CatalogueLoad::FolderOrBook:
        return fail(QStringLiteral("Невозможно найти папку с данными:\r\n") + s.BooksFolder, true);
    case CatalogueLoad::NoBookFiles:
        Listcheck();
        return fail(QStringLiteral("В папке данных программы не найдено ни одного сонника! "
                                   "Переустановите программу или добавьте файлы сонников!"),
                    false);
    case CatalogueLoad::NoSignedBooks:
        return fail(QStringLiteral("Среди файлов программы нет сонников совместимых с текущей версией! "
                                   "Переустановите программу или добавьте файлы сонников!"),
                    false);
    case CatalogueLoad::None: break;
    }
    return true;
}

bool Form1::LoadBooks()
{
    if (!mnuBooks)
        connectDictionaryControls();

    const AppState &s = app();
    CatalogueLoad load = dictionary::LoadCatalogue(
        s.BooksFolder,
        [](const QString &key) { return GetSettingInt(settings::kApp, booksSection(), key, 1) == 0 ? 0 : 1; },
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
    layoutDictionaryPanel();
    LoadList();
    unsetCursor();
    if (!skipped.isEmpty()) {
        if (splash())
            splash()->close();
        ShowMessage(skipped, QStringLiteral("LoadBooks"), MsgIcon::Error);
    }
    return true;
}

void Form1::addBookButton(const CatalogueBook &b, const QIcon &icon, int index)
{
    QAction *a = new QAction(icon, QString(), Toolbar2);
    a->setCheckable(true);
    a->setData(b.Key);
    a->setToolTip(b.ToolTipText);
    a->setChecked(b.Value == 1);
    a->setProperty("Tag", b.Tag);
    a->setProperty("Description", b.Description);
    a->setProperty("Image", b.Image);
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
void Form1::renumberBookMenus()
{
    for (int k = 1; k < mnuBook.size() && k <= bookButtons_.size(); ++k) {
        const QString caption = bookButtons_[k - 1]->toolTip();
        mnuBook[k]->setText(caption);
        mnuSelBook[k]->setText(caption);
        mnuBook[k]->disconnect(this);
        mnuSelBook[k]->disconnect(this);
        connect(mnuBook[k], &QAction::triggered, this, [this, k] { mnuBook_Click(k); });
        connect(mnuSelBook[k], &QAction::triggered, this, [this, k] { mnuSelBook_Click(k); });
    }
}

void Form1::mnuAddBook_Click()
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
        AddBooks(files);
}

namespace {

QStringList droppedBooks(const QMimeData *mime)
{
    QStringList files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl &u : mime->urls())
        if (u.isLocalFile() && u.toLocalFile().endsWith(QStringLiteral(".book"), Qt::CaseInsensitive))
            files << u.toLocalFile();
    return files;
}

} // namespace

void Form1::dragEnterEvent(QDragEnterEvent *e)
{
    if (mnuBooks && !droppedBooks(e->mimeData()).isEmpty())
        e->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent *e)
{
    const QStringList files = droppedBooks(e->mimeData());
    if (files.isEmpty())
        return;
    e->acceptProposedAction();
    AddBooks(files);
}

int Form1::OfferBooks(const QStringList &files)
{
    int added = 0;
    for (const QString &file : files) {
        const QString name = QFileInfo(file).fileName();
        if (ShowMessage(QStringLiteral("Добавить сонник «%1» в ваши сонники?").arg(name),
                        QStringLiteral("Добавить сонник"), MsgIcon::Question, MsgButtons::YesNo)
            == MsgResult::Yes)
            added += AddBooks({file});
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
void Form1::placeAddedBook(CatalogueBook b, const QString &name, const QIcon &icon)
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
        a->setData(b.Key);
        a->setToolTip(b.ToolTipText);
        a->setChecked(true);
        a->setProperty("Tag", b.Tag);
        a->setProperty("Description", b.Description);
        a->setProperty("Image", b.Image);
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

int Form1::AddBooks(const QStringList &files)
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
        layoutDictionaryPanel();
        reloadKeepingPlace();
    }
    return added;
}

// The word list rebuilt for a book added while the user reads: the list, the
// search box and an open interpretation stay on the word they showed.
void Form1::reloadKeepingPlace()
{
    const QString word = selectedWord();
    const QString typed = Text1->text();
    const bool reading = tolk_ && tolk_->isVisible() && !app().LiteratureActive;
    const QString shown = reading ? tolk_->RichTextBox1->Tag : QString();
    const QStringList back = reading ? tolk_->Back : QStringList();
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
    if (reading && tolk_ && !shown.isEmpty()) {
        tolk_->ReloadWord(shown);
        tolk_->Back = back;
        tolk_->CheckBack();
    }
}

void Form1::LoadList()
{
    const int generation = ++rebuild_;
    setCursor(Qt::WaitCursor);
    app().WordEntryTotal = 0;
    wordModel_->beginRebuild();
    ListView1->hide();
    words_.clear();
    std::optional<dictionary::MergedWords> merged = dictionary::mergeWords(
        books_,
        [this](size_t k) {
            return k < static_cast<size_t>(bookButtons_.size()) && bookButtons_[static_cast<int>(k)]->isChecked();
        },
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
    ListView1->setVisible(!literatureOpen());
    StText();
    tryStep([&] {
        if (tolk_ && !keepTolk_)
            tolk_->close();
    });
    tryStep([&] { Listcheck(); });
    unsetCursor();
    startTextIndex();
}

void Form1::stopTextIndex()
{
    if (indexCancel_)
        indexCancel_->store(true);
    if (indexThread_) {
        indexThread_->wait();
        delete indexThread_.data(); // its finished notice, if still queued, finds it gone
    }
}

void Form1::startTextIndex()
{
    stopTextIndex();
    textIndex_.reset();
    if (search_)
        search_->setIndex(nullptr);
    std::vector<dictionary::TextSource> sources;
    for (size_t k = 0; k < books_.size() && k < static_cast<size_t>(bookButtons_.size()); ++k)
        if (bookButtons_[static_cast<int>(k)]->isChecked())
            sources.push_back({books_[k].ToolTipText, books_[k].recordset});
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    indexCancel_ = cancel;
    auto result = std::make_shared<dictionary::TextIndex>();
    auto finder = std::make_shared<dictionary::WordFinder>();
    const int generation = rebuild_;
    std::optional<dictionary::WordIndex> words;
    if (words_.size() > kFinderInline)
        words = words_;
    // The worker reads only what the books already hold in memory, through
    // recordsets of its own; the result comes back to this thread.
    QThread *worker =
        QThread::create([sources = std::move(sources), words = std::move(words), cancel, result, finder]() mutable {
            if (words)
                finder->build(*words);
            *result = dictionary::TextIndex::build(std::move(sources), cancel.get());
        });
    indexThread_ = worker;
    connect(worker, &QThread::finished, this,
            [this, done = QPointer<QThread>(worker), cancel, result, finder, generation] {
                if (indexThread_ == done)
                    indexThread_ = nullptr;
                if (done)
                    done->deleteLater();
                if (cancel->load())
                    return;
                if (!finder->empty() && rebuild_ == generation) {
                    finder_ = std::move(*finder);
                    finderOf_ = generation;
                }
                textIndex_ = result;
                if (search_)
                    search_->setIndex(textIndex_);
            });
    worker->start(QThread::LowPriority);
}

SearchTexts *Form1::SearchTexts_Open()
{
    if (!search_) {
        search_ = new SearchTexts(
            [this](const QString &word) -> QTextEdit * {
                const int item = words_.indexOf(word);
                if (item < 0)
                    return nullptr;
                ListView1_GotFocus();
                Text1->setText(word);
                selectItem(item + 1);
                SetVisible(item + 1);
                ListView1_DblClick();
                return tolk_ ? tolk_->RichTextBox1 : nullptr;
            },
            this);
        search_->setAttribute(Qt::WA_DeleteOnClose);
        search_->setWindowFlag(Qt::Window);
        registerSecondaryWindow(search_);
        search_->setIndex(textIndex_);
    }
    search_->show();
    search_->raise();
    search_->activateWindow();
    search_->Text1->setFocus();
    return search_;
}

void Form1::Listcheck()
{
    const bool any = wordModel_ && wordModel_->rowCount() > 0;
    if (any) {
        selectItem(1);
        Text1->setText(words_.word(0));
        btnTolk->setEnabled(true);
        Text1->setEnabled(!literatureOpen());
        ListView1->setEnabled(true);
        ListView1_ItemClick(1);
    } else {
        btnTolk->setEnabled(false);
        Text1->clear();
        Text1->setEnabled(false);
        ListView1->setEnabled(false);
    }
}

QString Form1::selectedWord() const
{
    const int i = selectedItem();
    return i > 0 ? words_.word(i - 1) : QString();
}

int Form1::selectedItem() const
{
    if (!wordModel_ || !ListView1->selectionModel())
        return 0;
    const QModelIndexList sel = ListView1->selectionModel()->selectedIndexes();
    if (sel.isEmpty() || sel.first().row() >= words_.size())
        return 0;
    return sel.first().row() + 1;
}

void Form1::selectItem(int item)
{
    if (!wordModel_ || item < 1 || item > wordModel_->rowCount())
        return;
    programmatic_ = true;
    const QModelIndex idx = wordModel_->index(item - 1);
    ListView1->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
    programmatic_ = false;
    // the status strip names the word the list shows selected
    if (!literatureOpen()) {
        Label6->setText(IfLong(words_.word(item - 1), 22));
        layoutStatus();
    }
}

void Form1::Text1_Change()
{
    const int i = words_.findPrefix(Text1->text());
    showSuggestions(i < 0 ? Text1->text() : QString());
    if (i < 0)
        return;
    selectItem(i + 1);
    SetVisible(i + 1);
}

const dictionary::WordFinder &Form1::finder()
{
    // A list of ordinary size is indexed at once (a few milliseconds); a
    // larger one by the worker that builds the text index, and until it is
    // done there are no suggestions.
    if (finderOf_ != rebuild_ && words_.size() <= kFinderInline) {
        finder_.build(words_);
        finderOf_ = rebuild_;
    } else if (finderOf_ != rebuild_) {
        static const dictionary::WordFinder none;
        return none;
    }
    return finder_;
}

QString Form1::bestMatch(const QString &text)
{
    const int item = finder().bestMatch(text);
    return item < 0 ? QString() : words_.word(item);
}

void Form1::showSuggestions(const QString &text)
{
    std::vector<dictionary::Suggestion> found;
    if (!text.trimmed().isEmpty())
        found = finder().suggest(text);
    QString links;
    for (const dictionary::Suggestion &s : found) {
        if (!links.isEmpty())
            links += QStringLiteral(", ");
        links += QStringLiteral("<a href=\"%1\">%2</a>").arg(s.item).arg(words_.word(s.item).toHtmlEscaped());
    }
    const bool show = !links.isEmpty();
    if (show)
        LabelSuggest->setText(QStringLiteral("Возможно, вы искали: ") + links);
    if (show != !LabelSuggest->isHidden()) {
        LabelSuggest->setVisible(show);
        layoutDictionaryPanel();
        // the line takes room from the list: the selected word stays in view
        if (const int item = selectedItem(); item > 0)
            ListView1->scrollTo(wordModel_->index(item - 1));
    }
}

void Form1::Suggestion_Click(const QString &word)
{
    const int item = words_.indexOf(word);
    if (item < 0)
        return;
    Text1->setText(word);
    selectItem(item + 1);
    SetVisible(item + 1);
    ListView1_DblClick();
}

void Form1::Text1_Click()
{
    SetRus();
    if (Text1->text().size() == 1)
        Text1->setCursorPosition(1);
    else
        Text1->selectAll();
}

void Form1::Text1_GotFocus()
{
    Text1_Click();
    app().LiteratureActive = false;
}

bool Form1::Text1_KeyDown(int keyCode)
{
    if (keyCode != Qt::Key_Up && keyCode != Qt::Key_Down && keyCode != Qt::Key_PageUp && keyCode != Qt::Key_PageDown)
        return false;
    ListView1->setFocus();
    int i = selectedItem();
    const int count = wordModel_ ? wordModel_->rowCount() : 0;
    const int before = i;
    if (keyCode == Qt::Key_Up && i > 1)
        --i;
    else if (keyCode == Qt::Key_Down && i < count)
        ++i;
    if (i != before && i >= 1) {
        selectItem(i);
        SetVisible(i);
    }
    return true;
}

void Form1::ListView1_GotFocus()
{
    if (wordModel_ && wordModel_->rowCount() > 0)
        btnTolk->setEnabled(true);
    SetRus();
    app().LiteratureActive = false;
}

bool Form1::ListView1_KeyPress(const QString &text)
{
    // Printable characters only: Delete gives U+007F, which is no character to search for.
    if (text.size() != 1 || text[0].unicode() < 34 || !text[0].isPrint())
        return false;
    Text1->setText(text);
    Text1->setFocus();
    Text1->setCursorPosition(1);
    return true;
}

void Form1::ListView1_ItemClick(int row)
{
    tryStep([&] {
        btnTolk->setEnabled(true);
        if (tolk_) {
            tolk_->Back.clear();
            tolk_->CheckBack();
            if (tolk_->isVisible())
                tolk_->BuildTolk(words_.word(row - 1));
        }
        Label6->setText(IfLong(words_.word(row - 1), 22));
        layoutStatus();
    });
}

void Form1::ListView1_DblClick()
{
    if (btnTolk->isEnabled())
        btnTolk->setChecked(true);
    ShowTolk();
}

void Form1::SetVisible(int item)
{
    const int count = wordModel_ ? wordModel_->rowCount() : 0;
    const int target = (3 < item && item < count) ? item + 1 : item;
    if (target >= 1 && target <= count)
        ListView1->scrollTo(wordModel_->index(target - 1));
}

void Form1::SaveLastWord()
{
    const QString w = selectedWord();
    if (!w.isEmpty())
        SaveSetting(settings::kApp, settings::kMain, settings::key::LastWord, w);
}

void Form1::LoadLastWord()
{
    tryStep([&] {
        const QString w = GetSetting(settings::kApp, settings::kMain, settings::key::LastWord, QString());
        if (!w.trimmed().isEmpty()) {
            Text1->setText(w);
            Text1_Change();
        }
    });
}

void Form1::Toolbar2_ButtonClick(int)
{
    Process1->show();
    Process1->ProgressPlay();
    LoadList();
    Timer1.start();
}

void Form1::Toolbar2_MouseUp(Qt::MouseButton button, const QPoint &globalPos)
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

void Form1::mnuBooksAll_Click(int index)
{
    for (QAction *b : bookButtons_)
        b->setChecked(index == 0);
    if (!bookButtons_.isEmpty())
        Toolbar2_ButtonClick(1);
}

void Form1::mnuSelBook_Click(int index)
{
    if (index < 1 || index >= mnuSelBook.size() || index > bookButtons_.size())
        return;
    // The item's own toggle has already flipped its check mark.
    bookButtons_[index - 1]->setChecked(mnuSelBook[index]->isChecked());
    Toolbar2_ButtonClick(index);
}

void Form1::mnuBook_Click(int index)
{
    if (index < 1 || index > bookButtons_.size())
        return;
    for (QAction *b : bookButtons_)
        b->setChecked(false);
    bookButtons_[index - 1]->setChecked(true);
    Toolbar2_ButtonClick(index);
}

void Form1::ShowTolk()
{
    try {
        if (btnTolk->isChecked()) {
            if (!tolk_) {
                tolk_ = new Tolk(this, this);
                registerSecondaryWindow(tolk_);
                if (!tolk_->Form_Load())
                    return;
            }
            tolk_->btnBack->setEnabled(false);
            tolk_->show();
            tolk_->raise();
            if (!app().LiteratureActive) {
                tolk_->BuildTolk(selectedWord());
            } else {
                // an article or its favourite copy; the group nodes have no file
                const QTreeWidgetItem *n = TreeView1->currentItem();
                if (n && n->parent())
                    tolk_->ShowArticle(literature::ArticlePath(nodeKey(n)), n->text(0));
            }
        } else if (tolk_) {
            tolk_->close();
        }
    } catch (...) {
        ShowMessage(describe(std::current_exception()), QStringLiteral("ShowTolk"), MsgIcon::Error);
    }
}

void Form1::StText()
{
    if (app().LiteratureActive)
        return;
    const long n = app().WordEntryTotal;
    const QString text = QString::number(n) + QStringLiteral(" словарных статей; ~") + QString::number(5 * n)
                         + QStringLiteral(" толкований");
    Label7->setToolTip(text);
    Label7->setProperty("fullText", IfLong(text, WhatLong()));
    layoutStatus();
}

std::vector<TolkBook> Form1::tolkBooks()
{
    return TolkBooksOf(books_, [this](size_t k) {
        return k < static_cast<size_t>(bookButtons_.size()) && bookButtons_[static_cast<int>(k)]->isChecked();
    });
}

std::vector<TolkButton> Form1::tolkButtons()
{
    return TolkButtonsOf(books_);
}

double Form1::mainTopTwips()
{
    return PixelsToTwips(y());
}

void Form1::tolkClosed()
{
    btnTolk->setChecked(false);
}

} // namespace somnex
