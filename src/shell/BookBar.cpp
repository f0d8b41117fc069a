#include "shell/BookBar.h"

#include "platform/core/Identity.h"
#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "platform/error/Error.h"
#include "platform/jet/BookSignature.h"
#include "platform/ui/Translations.h"
#include "reading/CatalogueTolk.h"
#include "support/Artwork.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>

#include <optional>

namespace somnex {

using dictionary::CatalogueBook;
using dictionary::CatalogueLoad;

BookBar::BookBar(QWidget *parent) : QToolBar(parent)
{
    setObjectName(QStringLiteral("Toolbar2"));
    setAccessibleName(QStringLiteral("Сонники"));
    setIconSize({24, 24});
    setMovable(false);
}

void BookBar::prepare()
{
    mnuBooks = new QMenu(QStringLiteral("BooksMenu"), this);
    mnuBooks->setObjectName(QStringLiteral("mnuBooks"));
    mnuBooksAll[0] = mnuBooks->addAction(QStringLiteral("Включить все"), this, [this] { mnuBooksAll_Click(0); });
    mnuBooksAll[1] = mnuBooks->addAction(QStringLiteral("Выключить все"), this, [this] { mnuBooksAll_Click(1); });
    mnuBooks->addSeparator();
    mnuSel = mnuBooks->addMenu(QStringLiteral("Выбрать"));
    mnuOneBook = mnuBooks->addMenu(QStringLiteral("Оставить один"));
    mnuBooks->addSeparator();
    addBookItem_ = mnuBooks->addAction(QStringLiteral("Добавить сонник…"), this, [this] { chooseBooksToAdd(); });
    addBookItem_->setObjectName(QStringLiteral("addBook"));
    mnuSel->setObjectName(QStringLiteral("mnuSel"));
    mnuOneBook->setObjectName(QStringLiteral("mnuOneBook"));
    mnuSelBook = {mnuSel->addAction(QStringLiteral("<Пусто>"))};
    mnuBook = {mnuOneBook->addAction(QStringLiteral("<Пусто>"))};
    mnuSelBook[0]->setCheckable(true);
    mnuSelBook[0]->setObjectName(QStringLiteral("mnuSelBook(0)"));
    mnuBook[0]->setObjectName(QStringLiteral("mnuBook(0)"));
    // every mouse release over the bar or a button reaches Toolbar2_MouseUp
    installEventFilter(this);
    setContextMenuPolicy(Qt::PreventContextMenu);
    connect(this, &QToolBar::actionTriggered, this, [this](QAction *a) {
        const qsizetype i = bookButtons_.indexOf(a);
        if (i >= 0)
            emit buttonClicked(static_cast<int>(i) + 1);
    });
}

bool BookBar::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::MouseButtonRelease) {
        auto *m = static_cast<QMouseEvent *>(e);
        Toolbar2_MouseUp(m->button(), m->globalPosition().toPoint());
    }
    return QToolBar::eventFilter(watched, e);
}

QIcon BookBar::bookIcon(const CatalogueBook &b) const
{
    const QSize size(24, 24);
    const qreal dpr = devicePixelRatioF();
    if (b.icon.isEmpty())
        return QIcon(artworkPixmap(QStringLiteral("book-generic"), size, dpr));
    const QImage img = readPicture(b.icon);
    if (img.isNull())
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
std::vector<QIcon> BookBar::takeBookIcons(CatalogueLoad &load) const
{
    std::vector<QIcon> icons;
    std::vector<CatalogueBook> loaded;
    for (CatalogueBook &b : load.books) {
        try {
            icons.push_back(bookIcon(b));
            loaded.push_back(std::move(b));
        } catch (const Error &e) {
            load.skipped.push_back({b.Key, QStringLiteral("файл повреждён или обрезан"), e.description()});
        }
    }
    load.books = std::move(loaded);
    if (load.failure == CatalogueLoad::None && load.books.empty())
        load.failure = CatalogueLoad::FolderOrBook;
    return icons;
}

// A book's button shows the book: its picture, its name as the tip, its
// state, and the catalogue's fields the interpretation window reads.
void BookBar::applyBook(QAction *button, const CatalogueBook &b)
{
    button->setCheckable(true);
    button->setData(b.Key);
    button->setToolTip(b.ToolTipText);
    button->setChecked(b.Value == 1);
    button->setProperty("Tag", b.Tag);
    button->setProperty("Description", b.Description);
    button->setProperty("Image", b.Image);
}

void BookBar::addBookButton(const CatalogueBook &b, const QIcon &icon, int index)
{
    QAction *a = new QAction(icon, QString(), this);
    applyBook(a, b);
    insertAction(index - 1 < bookButtons_.size() ? bookButtons_[index - 1] : nullptr, a);
    bookButtons_.insert(index - 1, a);
    QAction *one = new QAction(b.ToolTipText, mnuOneBook);
    QAction *sel = new QAction(b.ToolTipText, mnuSel);
    sel->setCheckable(true);
    mnuOneBook->addAction(one);
    mnuSel->addAction(sel);
    mnuBook.append(one);
    mnuSelBook.append(sel);
    renumberBookMenus();
    if (QWidget *w = widgetForAction(a); w && prepared())
        w->installEventFilter(this);
}

// Menu item k belongs to button k; after a button is inserted the items'
// captions and actions follow the buttons again.
void BookBar::renumberBookMenus()
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

void BookBar::chooseBooksToAdd()
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
void BookBar::placeAddedBook(CatalogueBook b, const QString &name, const QIcon &icon)
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

int BookBar::addBooks(const QStringList &files)
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
    if (added > 0)
        emit booksAdded();
    return added;
}

void BookBar::Toolbar2_MouseUp(Qt::MouseButton button, const QPoint &globalPos)
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

void BookBar::mnuBooksAll_Click(int index)
{
    for (QAction *b : bookButtons_)
        b->setChecked(index == 0);
    if (!bookButtons_.isEmpty())
        emit buttonClicked(1);
}

void BookBar::mnuSelBook_Click(int index)
{
    if (index < 1 || index >= mnuSelBook.size() || index > bookButtons_.size())
        return;
    // The item's own toggle has already flipped its check mark.
    bookButtons_[index - 1]->setChecked(mnuSelBook[index]->isChecked());
    emit buttonClicked(index);
}

void BookBar::mnuBook_Click(int index)
{
    if (index < 1 || index > bookButtons_.size())
        return;
    for (QAction *b : bookButtons_)
        b->setChecked(false);
    bookButtons_[index - 1]->setChecked(true);
    emit buttonClicked(index);
}

void BookBar::storeBooks() const
{
    for (QAction *b : bookButtons_)
        SaveSetting(settings::kApp, settings::kBooks, b->data().toString(), b->isChecked() ? "1" : "0");
}

void BookBar::setBooks(const std::vector<CatalogueBook> &books, const std::vector<QIcon> &icons)
{
    books_ = books;
    for (size_t k = 0; k < books_.size(); ++k)
        addBookButton(books_[k], icons[k], static_cast<int>(k) + 1);
    mnuBook[0]->setVisible(false);
    mnuSelBook[0]->setVisible(false);
}

bool BookBar::isOn(size_t slot) const
{
    return slot < static_cast<size_t>(bookButtons_.size()) && bookButtons_[static_cast<int>(slot)]->isChecked();
}

std::vector<dictionary::TextSource> BookBar::textSources() const
{
    std::vector<dictionary::TextSource> sources;
    for (size_t k = 0; k < books_.size(); ++k)
        if (isOn(k))
            sources.push_back({books_[k].ToolTipText, books_[k].recordset});
    return sources;
}

std::vector<TolkBook> BookBar::tolkBooks()
{
    return TolkBooksOf(books_, [this](size_t k) { return isOn(k); });
}

} // namespace somnex
