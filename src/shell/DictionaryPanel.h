#pragma once
// The dictionary panel of the main window: its header strip, the book bar
// (BookBar), the list-mode buttons, the search box with the suggestion line
// under it, and the merged word list of the books switched on. It owns the
// word list and the full-text index built over it.

#include "dictionary/Catalogue.h"
#include "dictionary/SymbolFinder.h"
#include "dictionary/TextIndex.h"
#include "dictionary/WordFinder.h"
#include "dictionary/WordIndex.h"
#include "reading/DreamReading.h"
#include "reading/Tolk.h"

#include <QSet>
#include <QWidget>

#include <memory>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QListView;
class QMimeData;
class QToolBar;

namespace somnex {

class BookBar;
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
    // A whole dream typed or pasted in the search box, read against the books.
    virtual void interpretDream(const QString &text) = 0;
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
    // Set before LoadBooks, the load leaves the word list (LoadList) to its
    // caller, who makes it once the window shows.
    void setListDeferred(bool deferred) { listDeferred_ = deferred; }
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
    const dictionary::WordFinder &finder();
    QString bestMatch(const QString &text);
    void showSuggestions(const QString &text);
    // Whether the suggestion line offers "Толковать сон целиком" for what
    // the search box holds (several words, no headword).
    bool dreamOffered() const { return dreamOffered_; }
    // When no headword begins with what was typed and the line offers words,
    // selects the first one offered (as though it was typed) and says so.
    bool takeOfferedWord();
    QString searchText() const;
    bool searchHasFocus() const;
    // A dream read against the books switched on.
    DreamReading readDream(const QString &text);

    // The list mode (Toolbar4).
    void Toolbar4_ButtonClick(ListMode mode);
    void setListMode(ListMode mode);
    ListMode listMode() const;

    // A book switched on or off on the book bar: the word list is rebuilt.
    void Toolbar2_ButtonClick(int button); // 1-based
    // Book files added to the user's books (see BookBar::addBooks); the word
    // list is rebuilt keeping the reader's place. Returns the number added.
    int addBooks(const QStringList &files);
    // Book files handed to the program: asks for each whether to add it.
    int offerBooks(const QStringList &files);
    // Whether books may be added (the book bar is up).
    bool takesBooks() const;
    // Each book button's state into the settings.
    void storeBooks() const;

    const dictionary::WordIndex &words() const { return words_; }
    int generation() const { return rebuild_; }
    std::vector<TolkBook> tolkBooks();
    std::vector<TolkButton> tolkButtons() const;

    // The full-text index of the books switched on (null until ready).
    std::shared_ptr<const dictionary::TextIndex> textIndex() const;
    bool textIndexBuilding() const;
    void stopTextIndex();

signals:
    void openClicked();       // the header, its caption or the down arrow
    void literatureClicked(); // the up arrow: the literature opens
    void textSearchClicked(); // "Искать в толкованиях"
    void textIndexChanged(std::shared_ptr<const dictionary::TextIndex> index);
    // The worker has indexed the texts of the books of the current list.
    void textIndexReady();

private:
    HeaderBar *header_;
    StatusPanel *status_;
    DictionaryHost *host_;

    QWidget *Picture5 = nullptr; // header strip
    ClickLabel *Label1 = nullptr, *Image6 = nullptr, *Image7 = nullptr;
    ClickLabel *textSearchLink_ = nullptr; // "Искать в толкованиях"
    BookBar *Toolbar2 = nullptr;
    QToolBar *Toolbar4 = nullptr;
    QAction *reportView_ = nullptr, *listView_ = nullptr;
    QFrame *Text2 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLabel *suggestionLine_ = nullptr; // "Возможно, вы искали: " and links
    QListView *ListView1 = nullptr;

    void buildHeader();
    void buildToolbars();
    void buildSearch();
    void connectControls();
    void connectList();
    void connectSearch();
    bool failBookLoad(const dictionary::CatalogueLoad &load, const QString &skipped);
    void startTextIndex();
    void closeInterpretation();

    dictionary::WordIndex words_;
    dictionary::WordFinder finder_;
    dictionary::SymbolFinder symbols_;
    int symbolsOf_ = -1; // the rebuild the symbol finder was built for
    bool dreamOffered_ = false;
    int offered_ = -1;                          // the first word the suggestion line offers, or -1
    int finderOf_ = -1;                         // the rebuild the finder was built for
    static constexpr int kFinderInline = 20000; // larger lists are indexed by the worker
    TextIndexService *index_ = nullptr;
    bool listDeferred_ = false;
    QSet<QString> toldSkipped_; // the book files left out already said ("path\nreason")
    WordListModel *wordModel_ = nullptr;
    int rebuild_ = 0;           // generation of the word-list rebuild
    bool keepTolk_ = false;     // a rebuild that leaves the interpretation window open
    bool programmatic_ = false; // selection made by the program, not the user
};

// The book files (*.book) among what is dropped on the window.
QStringList droppedBookFiles(const QMimeData *mime);

} // namespace somnex
