#pragma once
// The dictionary panel's book bar: one checkable button per dream book (a
// book is in the word list while its button is pressed), the menu its right
// click opens, and the user's books added to it.

#include "dictionary/Catalogue.h"
#include "dictionary/TextIndex.h"
#include "reading/Tolk.h"

#include <QToolBar>

#include <vector>

class QMenu;

namespace somnex {

class BookBar : public QToolBar {
    Q_OBJECT
public:
    explicit BookBar(QWidget *parent);

    // The menu and the mouse handling, set up when the books first load.
    void prepare();
    bool prepared() const { return mnuBooks != nullptr; }

    // Each book's picture; a book whose picture cannot be loaded is moved to
    // the skipped ones like an unreadable book.
    std::vector<QIcon> takeBookIcons(dictionary::CatalogueLoad &load) const;
    // The catalogue's books, slot k on button k+1, and their menu items.
    void setBooks(const std::vector<dictionary::CatalogueBook> &books, const std::vector<QIcon> &icons);

    // "Добавить сонник…": the user picks book files, addBooks takes them.
    void chooseBooksToAdd();
    // Checks each file and copies it into the user's books folder (the
    // original is left as it is); each new book gets its button, pressed.
    // Returns the number of books added; booksAdded follows when any was.
    int addBooks(const QStringList &files);

    // The menu.
    void Toolbar2_MouseUp(Qt::MouseButton button, const QPoint &globalPos);
    void mnuBooksAll_Click(int index);
    void mnuSelBook_Click(int index);
    void mnuBook_Click(int index);

    // The catalogue: slot k belongs to book button k+1.
    std::vector<dictionary::CatalogueBook> &books() { return books_; }
    QList<QAction *> bookButtons() const { return bookButtons_; }
    bool isOn(size_t slot) const;
    // The texts of the books switched on, for the full-text index.
    std::vector<dictionary::TextSource> textSources() const;
    std::vector<TolkBook> tolkBooks();
    // Each button's state into the settings.
    void storeBooks() const;

signals:
    // A book was switched on or off (its 1-based button).
    void buttonClicked(int button);
    void booksAdded();

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    QMenu *mnuBooks = nullptr, *mnuSel = nullptr, *mnuOneBook = nullptr;
    QAction *mnuBooksAll[2] = {nullptr, nullptr};
    QAction *addBookItem_ = nullptr;
    QList<QAction *> mnuSelBook, mnuBook; // index 0: the "<Пусто>" templates
    std::vector<dictionary::CatalogueBook> books_;
    QList<QAction *> bookButtons_;

    QIcon bookIcon(const dictionary::CatalogueBook &b) const;
    void addBookButton(const dictionary::CatalogueBook &b, const QIcon &icon, int index);
    void applyBook(QAction *button, const dictionary::CatalogueBook &b);
    void renumberBookMenus();
    void placeAddedBook(dictionary::CatalogueBook b, const QString &name, const QIcon &icon);
};

} // namespace somnex
