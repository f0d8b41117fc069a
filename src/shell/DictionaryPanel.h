#pragma once
// The dictionary panel of the main window: its header strip, the book bar
// with its menu, the list-mode buttons, the search box with the suggestion
// line under it, and the merged word list of the books switched on. It owns
// the books, the word list and the full-text index built over them.

#include "dictionary/Catalogue.h"
#include "dictionary/TextIndex.h"
#include "dictionary/WordFinder.h"
#include "dictionary/WordIndex.h"
#include "reading/Tolk.h"

#include <QWidget>

#include <memory>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QMimeData;
class QToolBar;

namespace somnex {

class ClickLabel;
class HeaderBar;
class StatusPanel;
class TextIndexService;
class WordListModel;

// The list-mode buttons of Toolbar4.
enum class ListMode { Report = 1, List = 2 };

// What the panel asks of the window it sits in.
class DictionaryHost {
public:
    virtual ~DictionaryHost() = default;
    // The interpretation window when it exists.
    virtual Tolk *interpretation() = 0;
    // The selected word (or article) in the interpretation window.
    virtual void interpretSelection() = 0;
    virtual bool literatureShown() = 0;
    virtual QWidget *splashScreen() = 0;
};

class DictionaryPanel : public QWidget {
    Q_OBJECT
public:
    DictionaryPanel(HeaderBar *header, StatusPanel *status, DictionaryHost *host, QWidget *parent);
    ~DictionaryPanel() override;

    // The open panel shows the arrow that opens the literature and takes typing.
    void setOpen(bool open);
    // The word list shown and focused, the status strip on its word.
    void showList();
    void focusList();
    void layoutControls();
    int wordCount() const;
    void setSearchEnabled(bool enabled);
    void setSearchText(const QString &text);

    // The books and the word list. False when the books could not be loaded
    // (the program is ending).
    bool LoadBooks();
    void LoadList();
    void Listcheck();
    // The word list rebuilt for a book added while the user reads: the list,
    // the search box and an open interpretation stay on the word they showed.
    void reloadKeepingPlace();

    // The search box and the word list.
    void Text1_Change();
    void Text1_Click();
    void Text1_GotFocus();
    bool Text1_KeyDown(int keyCode);
    void ListView1_GotFocus();
    bool ListView1_KeyPress(const QString &text);
    void ListView1_ItemClick(int row);
    void ListView1_DblClick();
    void SetVisible(int item); // 1-based
    void SaveLastWord();
    void LoadLastWord();
    // The selected word (empty when none); 1-based selected item, 0 when none.
    QString selectedWord() const;
    int selectedItem() const;
    void selectItem(int item); // 1-based, without the click handling
    // Selects the word and opens its interpretation; false when it is no headword.
    bool openWord(const QString &word);

    // Suggestions: headwords for what was typed, built over the current list
    // on first need; the one a text means when it is no headword as written
    // (empty when none); the "Возможно, вы искали" line.
    const WordFinder &finder();
    QString bestMatch(const QString &text);
    void showSuggestions(const QString &text);

    // The list mode (Toolbar4).
    void Toolbar4_ButtonClick(ListMode mode);
    void setListMode(ListMode mode);
    ListMode listMode() const;

    // The book bar and its menu.
    void Toolbar2_ButtonClick(int button); // 1-based
    void Toolbar2_MouseUp(Qt::MouseButton button, const QPoint &globalPos);
    void mnuBooksAll_Click(int index);
    void mnuSelBook_Click(int index);
    void mnuBook_Click(int index);
    // "Добавить сонник…": the user picks book files, addBooks takes them.
    void chooseBooksToAdd();
    // Checks each file and copies it into the user's books folder (the
    // original is left as it is); each new book gets its button, enabled,
    // and the word list is rebuilt. Returns the number of books added.
    int addBooks(const QStringList &files);
    // Book files handed to the program: asks for each whether to add it.
    int offerBooks(const QStringList &files);
    // Whether books may be added (the book bar is up).
    bool takesBooks() const;
    // Each book button's state into the settings.
    void storeBooks() const;

    // The catalogue: slot k belongs to book button k+1.
    std::vector<dictionary::CatalogueBook> &books() { return books_; }
    QList<QAction *> bookButtons() const { return bookButtons_; }
    const WordIndex &words() const { return words_; }
    int generation() const { return rebuild_; }
    std::vector<TolkBook> tolkBooks();
    std::vector<TolkButton> tolkButtons() const;

    // The full-text index of the books switched on (null until ready).
    std::shared_ptr<const TextIndex> textIndex() const;
    bool textIndexBuilding() const;
    void stopTextIndex();

signals:
    void openClicked();       // the header, its caption or the down arrow
    void literatureClicked(); // the up arrow: the literature opens
    void textSearchClicked(); // "Искать в толкованиях"
    void textIndexChanged(std::shared_ptr<const TextIndex> index);

private:
    HeaderBar *header_;
    StatusPanel *status_;
    DictionaryHost *host_;

    QWidget *Picture5 = nullptr; // header strip
    ClickLabel *Label1 = nullptr, *Image6 = nullptr, *Image7 = nullptr;
    ClickLabel *textSearchLink_ = nullptr; // "Искать в толкованиях"
    QToolBar *Toolbar2 = nullptr;
    QToolBar *Toolbar4 = nullptr;
    QAction *reportView_ = nullptr, *listView_ = nullptr;
    QFrame *Text2 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLabel *suggestionLine_ = nullptr; // "Возможно, вы искали: " and links
    QListView *ListView1 = nullptr;
    QMenu *mnuBooks = nullptr, *mnuSel = nullptr, *mnuOneBook = nullptr;
    QAction *mnuBooksAll[2] = {nullptr, nullptr};
    QAction *addBookItem_ = nullptr;
    QList<QAction *> mnuSelBook, mnuBook; // index 0: the "<Пусто>" templates

    void buildHeader();
    void buildToolbars();
    void buildSearch();
    void buildBookMenu();
    void connectControls();
    void connectList();
    void connectSearch();
    void connectBookBar();
    QIcon bookIcon(const dictionary::CatalogueBook &b) const;
    std::vector<QIcon> takeBookIcons(dictionary::CatalogueLoad &load) const;
    bool failBookLoad(const dictionary::CatalogueLoad &load, const QString &skipped);
    void addBookButton(const dictionary::CatalogueBook &b, const QIcon &icon, int index);
    void applyBook(QAction *button, const dictionary::CatalogueBook &b);
    void renumberBookMenus();
    void placeAddedBook(dictionary::CatalogueBook b, const QString &name, const QIcon &icon);
    bool bookOn(size_t k) const;
    void startTextIndex();
    void closeInterpretation();

    std::vector<dictionary::CatalogueBook> books_;
    QList<QAction *> bookButtons_;
    WordIndex words_;
    WordFinder finder_;
    int finderOf_ = -1;                         // the rebuild the finder was built for
    static constexpr int kFinderInline = 20000; // larger lists are indexed by the worker
    TextIndexService *index_ = nullptr;
    WordListModel *wordModel_ = nullptr;
    QObject *barMouse_ = nullptr; // takes the book toolbar's mouse releases
    int rebuild_ = 0;             // generation of the word-list rebuild
    bool keepTolk_ = false;       // a rebuild that leaves the interpretation window open
    bool programmatic_ = false;   // selection made by the program, not the user
};

// The book files (*.book) among what is dropped on the window.
QStringList droppedBookFiles(const QMimeData *mime);

} // namespace somnex
