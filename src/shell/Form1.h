#pragma once
// The main window: the main toolbar, the literature and dictionary panels
// stacked one above the other (one open at a time), the status strip, and the
// tray state.

#include "appstate/AppState.h"
#include "diary/ui/DiaryWindow.h"
#include "dictionary/Catalogue.h"
#include "dictionary/TextIndex.h"
#include "dictionary/WordFinder.h"
#include "dictionary/WordIndex.h"
#include "reading/Tolk.h"

#include <QAction>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <memory>

class QLineEdit;
class QListView;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QFrame;
class QMenu;
class QLabel;

namespace somnex {

class ClickLabel;
class Process;
class SearchTexts;
class TrayArea;

class WordListModel;

class Form1 : public QWidget, public TolkHost, public diary::DiaryHost {
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // The load sequence of the main window.
    void Form_Load();
    void Form_Resize();
    void Form_Activate();
    // True when the key was a shortcut of the whole window and was used.
    bool Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift);

    void Toolbar1_ButtonClick(const QString &key);
    void Toolbar4_ButtonClick(int button);
    void Image4_Click(); // open the literature panel
    void Image5_Click(); // open the dictionary panel
    void Label3_Click();
    void Label3_MouseMove();
    void StatusBar1_Resize();
    void Timer1_Timer();
    void Timer2_Timer();
    void Tray1_MouseDown(short button);

    void ToTray();
    // The start in the tray (/tray). A desktop whose panel comes up after the
    // programs started with the session has no notification area yet: it is
    // asked again every second for up to 30 s, the window hidden meanwhile,
    // before the window falls back to a minimised one.
    void ToTrayAtStart();
    void TrayRetry_Timer();
    QTimer TrayRetry;
    static constexpr int kTrayRetries = 30;
    void FromTray();
    void CheckAdminSet();
    short WhatLong() const;

    // Brings the window to the front, out of the tray when it is there.
    void Activate();
    bool inTray() const { return inTray_; }
    // Position (frame) and size the window last had in the normal state.
    QRect lastNormalGeometry() const { return lastNormal_; }

    // Secondary windows that the tray return closes; registered by their owners.
    void registerSecondaryWindow(QWidget *w);

    // The splash screen the first activation closes.
    void setSplash(QWidget *splash) { splash_ = splash; }
    QWidget *splash() const { return splash_; }

    bool literatureOpen() const;

    // The dictionary: book catalogue, word list, search box, interpretation.
    // False when the books could not be loaded (the program is ending).
    bool LoadBooks();
    void LoadList();
    void Listcheck();
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
    void Toolbar2_ButtonClick(int button); // 1-based
    void Toolbar2_MouseUp(Qt::MouseButton button, const QPoint &globalPos);
    void mnuBooksAll_Click(int index);
    void mnuSelBook_Click(int index);
    void mnuBook_Click(int index);
    // "Добавить сонник…": the user picks book files, AddBooks takes them.
    void mnuAddBook_Click();
    // Checks each file and copies it into the user's books folder (the
    // original is left as it is); each new book gets its button, enabled,
    // and the word list is rebuilt. Returns the number of books added.
    int AddBooks(const QStringList &files);
    // Book files handed to the program (its command line, a file manager):
    // asks for each whether to add it to the user's books.
    int OfferBooks(const QStringList &files);
    void ShowTolk();
    void StText();

    // The literature shelf: the tree of articles and favourites.
    void ShowLit();
    void AboutLit();
    void TreeView1_GotFocus();
    void TreeView1_NodeClick(QTreeWidgetItem *node);
    void TreeView1_DblClick();
    void Toolbar3_ButtonClick(int button); // 1 add, 3 remove
    // The node with the key (null when none); a node's key and Tag.
    QTreeWidgetItem *litNode(const QString &key) const;
    static QString nodeKey(const QTreeWidgetItem *node);
    static QString nodeTag(const QTreeWidgetItem *node);

    // The catalogue: slot k belongs to book button k+1.
    std::vector<dictionary::CatalogueBook> &books() { return books_; }
    QList<QAction *> bookButtons() const { return bookButtons_; }
    const dictionary::WordIndex &words() const { return words_; }
    // Headwords for what was typed, built over the current list on first need.
    const dictionary::WordFinder &finder();
    // The headword a text means when it is no headword as written; empty when none.
    QString bestMatch(const QString &text);
    // The "Возможно, вы искали" line under the search box.
    void showSuggestions(const QString &text);
    void Suggestion_Click(const QString &word);
    // Search in the interpretations: the window, and its index, built on a
    // worker thread after each rebuild of the word list (null until ready).
    SearchTexts *SearchTexts_Open();
    std::shared_ptr<const dictionary::TextIndex> textIndex() const { return textIndex_; }
    bool textIndexBuilding() const { return indexThread_ != nullptr; }
    // The selected word of the list (empty when none); 1-based selected item, 0 when none.
    QString selectedWord() const;
    int selectedItem() const;
    void selectItem(int item); // 1-based, without the click handling
    void reloadKeepingPlace();
    // The running font's size against the one the twips were laid out for.
    static double fontScale();
    Tolk *tolk() const { return tolk_; }

    // The dream diary: opened (a new dream at the moment given, or the one
    // last shown when none is given and it is open).
    diary::DiaryWindow *openDiary(const QDateTime &newDreamAt = QDateTime(), bool newDream = false);
    void connectDiary();

    // DiaryHost
    const dictionary::WordIndex &diaryWords() override { return words_; }
    int diaryWordsGeneration() override { return rebuild_; }
    std::vector<TolkBook> diaryBooks() override { return tolkBooks(); }
    void openInterpretation(const QString &headword) override;
    diary::Place diaryPlace() override;

    // TolkHost
    std::vector<TolkBook> tolkBooks() override;
    std::vector<TolkButton> tolkButtons() override;
    QString currentWord() override { return selectedWord(); }
    bool literatureActive() override { return app().LiteratureActive; }
    double mainTopTwips() override;
    void tolkClosed() override;

    QMenu *mnuBooks = nullptr, *mnuSel = nullptr, *mnuOneBook = nullptr;
    QAction *mnuBooksAll[2] = {nullptr, nullptr};
    QAction *mnuAddBook = nullptr;
    QList<QAction *> mnuSelBook, mnuBook; // index 0: the "<Пусто>" templates

    // Whether the desktop shows a notification area (tests may pretend).
    static void setTrayAvailableOverride(int available); // -1 asks the desktop

    // Controls, named as the program's other parts know them.
    QToolBar *Toolbar1 = nullptr;
    QAction *btnTolk = nullptr, *btnCalen = nullptr, *btnDiary = nullptr, *btnHLP = nullptr;
    ClickLabel *Label3 = nullptr, *Label2 = nullptr, *Image8 = nullptr;
    QWidget *Picture3 = nullptr; // literature panel
    QWidget *Picture1 = nullptr; // its header strip
    ClickLabel *Label5 = nullptr, *Image4 = nullptr, *Image5 = nullptr;
    QFrame *Text3 = nullptr;
    QTreeWidget *TreeView1 = nullptr;
    QToolBar *Toolbar3 = nullptr;
    QAction *btnAddFav = nullptr, *btnDelFav = nullptr; // buttons 1 and 3
    QWidget *Picture2 = nullptr;                        // dictionary panel
    QWidget *Picture5 = nullptr;                        // its header strip
    ClickLabel *Label1 = nullptr, *Image6 = nullptr, *Image7 = nullptr;
    ClickLabel *LabelSearch = nullptr; // "Искать в толкованиях"
    QToolBar *Toolbar2 = nullptr;
    QToolBar *Toolbar4 = nullptr;
    QAction *btnReport = nullptr, *btnList = nullptr;
    QFrame *Text2 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLabel *LabelSuggest = nullptr; // "Возможно, вы искали: " and links
    QListView *ListView1 = nullptr;
    QWidget *StatusBar1 = nullptr;
    QLabel *Label7 = nullptr, *Label6 = nullptr, *Image11 = nullptr;
    Process *Process1 = nullptr;
    QTimer Timer1, Timer2;
    TrayArea *Tray1 = nullptr;

    // Geometry in twips of the toolbar and status strip.
    static constexpr double kToolbarHeight = 660;
    static constexpr double kStatusHeight = 345;

protected:
    void resizeEvent(QResizeEvent *) override;
    void moveEvent(QMoveEvent *) override;
    void paintEvent(QPaintEvent *) override;
    void closeEvent(QCloseEvent *) override;
    bool event(QEvent *) override;
    void showEvent(QShowEvent *) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dropEvent(QDropEvent *e) override;

private:
    void buildControls();
    void layoutLiteraturePanel();
    void layoutDictionaryPanel();
    void buildBookMenu();
    void layoutStatus();
    QIcon bookIcon(const dictionary::CatalogueBook &b) const;
    void addBookButton(const dictionary::CatalogueBook &b, const QIcon &icon, int index);
    void renumberBookMenus();
    void connectDictionaryControls();
    std::vector<QIcon> takeBookIcons(dictionary::CatalogueLoad &load) const;
    bool failBookLoad(const dictionary::CatalogueLoad &load, const QString &skipped);
    void placeAddedBook(dictionary::CatalogueBook b, const QString &name, const QIcon &icon);

    std::vector<dictionary::CatalogueBook> books_;
    QList<QAction *> bookButtons_;
    dictionary::WordIndex words_;
    dictionary::WordFinder finder_;
    int finderOf_ = -1;                         // the rebuild the finder was built for
    static constexpr int kFinderInline = 20000; // larger lists are indexed by the worker
    void startTextIndex();
    void stopTextIndex();
    std::shared_ptr<const dictionary::TextIndex> textIndex_;
    std::shared_ptr<std::atomic<bool>> indexCancel_;
    QPointer<QThread> indexThread_;
    QPointer<SearchTexts> search_;
    WordListModel *wordModel_ = nullptr;
    QObject *barMouse_ = nullptr; // takes the book toolbar's mouse releases
    QPointer<Tolk> tolk_;
    int rebuild_ = 0;           // generation of the word-list rebuild
    bool keepTolk_ = false;     // a rebuild that leaves the interpretation window open
    bool programmatic_ = false; // selection made by the program, not the user

    bool inTray_ = false;
    int trayRetries_ = 0;
    QRect lastNormal_;
    void noteNormalGeometry();
    bool shownOnce_ = false;
    QPointer<QWidget> splash_;
    QList<QPointer<QWidget>> secondary_;
};

// The main window of the running program (null before it exists).
Form1 *mainForm();

// The orderly exit. fastexit skips storing the user's state. Ends the run:
// callers return at once.
void ExitApp(bool fastexit);
// The orderly exit's storing steps (window geometry, books, literature tree,
// list mode, last word), run once per process; also when the desktop session
// or a signal ends the run.
void StoreUserState();

// Quitting from the tray: asks with the exit confirmation window when
// "UnloadQ" is not 1 and the autostart entry exists; otherwise exits.
void QuitFromTray(QWidget *parent);

} // namespace somnex
