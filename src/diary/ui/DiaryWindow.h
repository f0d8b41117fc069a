#pragma once
// "Дневник снов": the list of dreams by night on the left, the dream on the
// right with its symbols, its lunar day and whether it came true.
//
// The window saves by itself: soon after a pause in typing and at least
// every second while the typing goes on, when the text loses the focus,
// when another dream is opened, when the window closes and when the program
// quits. There
// is no Save button. A write that fails (a full disk, a read-only folder)
// is said once; the text stays in the window and the next save tries again.

#include "diary/Backup.h"
#include "diary/DiaryStore.h"
#include "diary/Entry.h"
#include "diary/EntryEditor.h"
#include "diary/Exchange.h"
#include "dictionary/LineRanker.h"
#include "dictionary/SymbolFinder.h"
#include "dictionary/WordIndex.h"
#include "reading/DreamReading.h"
#include "reading/TolkDocument.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QPrinter;
class QComboBox;
class QDateEdit;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QVBoxLayout;
class QTabWidget;
class QToolBar;

namespace somnex::diary {

class EntryListModel;
class ListCompleter;
class SpellHighlighter;
class Speller;
class StatsWindow;

// What the window needs of the program around it.
class DiaryHost {
public:
    virtual ~DiaryHost() = default;
    // The merged headwords of the enabled books; symbols are found among
    // them. The generation changes whenever the list is rebuilt.
    virtual const dictionary::WordIndex &diaryWords() = 0;
    virtual int diaryWordsGeneration() = 0;
    // The enabled books, to say what each gives for a symbol.
    virtual std::vector<TolkBook> diaryBooks() = 0;
    // Opens the interpretation window on a headword.
    virtual void openInterpretation(const QString &headword) = 0;
    // Opens the interpretation window on a whole dream ("Ваш сон").
    virtual void interpretDream(const QString &text) = 0;
    // The place the program's calendar computes for.
    virtual Place diaryPlace() = 0;
    // The city directory's file a dream's place is chosen from (empty: the
    // program's City.csv).
    virtual QString diaryCityFile() { return {}; }
};

// Where a click at a text position falls among the marks (-1: none).
int markAt(const std::vector<dictionary::SymbolMark> &marks, qsizetype position);

// Each book's entry for a headword as lines: (the book's heading, its lines).
using EntryLinesOfBooks = std::vector<std::pair<QString, QStringList>>;
EntryLinesOfBooks entryLinesOf(const QString &headword, const std::vector<TolkBook> &books);

// The line each book gives that fits this dream best, "Book: line": the
// symbol is the one at [start, start + length) of the dream.
QStringList bestLines(const dictionary::DreamText &dream, qsizetype start, qsizetype length, const QString &headword,
                      const EntryLinesOfBooks &entries);

class DiaryWindow : public QWidget {
    Q_OBJECT
public:
    // The diary of the program: created when none is open (on the file at
    // path, the user's diary by default), shown and raised.
    static DiaryWindow *open(DiaryHost *host, QWidget *owner = nullptr, const QString &path = QString());
    static DiaryWindow *instance();
    ~DiaryWindow() override;

    // A new dream dated to a moment (when invalid, the end of the night just
    // past: now before noon, this morning at 07:00 after), the text box ready
    // for typing. The dream is stored once it holds a word.
    void newEntry(const QDateTime &at = QDateTime());
    // Shows a stored dream (saving the one shown first).
    void showEntry(const QString &id);
    // Saves the dream shown when it changed; false when the write failed
    // (the text stays, the next save tries again).
    bool saveNow();
    // Moves the dream shown to the trash; "Вернуть" in the strip below undoes it.
    void moveShownToTrash();
    void undoTrash();
    // "Корзина" among the quick filters: the dreams in the trash, read-only,
    // with "Вернуть", "Удалить навсегда" (after a question) and "Очистить
    // корзину" (after a question) under the list.
    void openTrash();
    bool showingTrash() const;
    bool restoreShown();
    bool purgeShown();
    int emptyTrash();
    // Runs the search box and the filters again.
    void applyFilter();
    // "Статистика дневника" over this diary (null when it has none).
    StatsWindow *openStatistics();
    // "Экспорт…": the period shown by the filter's dates (all when off) to a
    // file or folder of the format; asks before replacing files.
    bool exportTo(ExportFormat format, const QString &path);
    // "Импорт…" and "Восстановить из копии…": shows what the merge would do,
    // then merges when the user agrees. Returns the entries written (-1 when
    // refused or failed).
    int importFrom(const QString &path);
    // "Печать…" (Ctrl+P): the dreams of the filter's period when it is on,
    // else the dream shown, as the "book of dreams" pages; the printer's
    // dialog offers a PDF file too. savePdf writes the same pages to a file.
    void print();
    bool savePdf(const QString &path);
    int restoreFrom(const QString &backupPath);
    // Lists only the dreams with this symbol ("" lists all again).
    void filterBySymbol(const QString &headword);
    // Shows only the dreams with a tag (a person or a place too); empty: all.
    void filterByTag(const QString &tag);
    // The spelling checker, once loaded (none while loading, when it is
    // off or without the dictionary).
    const Speller *speller() const { return speller_.get(); }
    // Lists the dreams of one night (the period filter set to it).
    void filterByNight(const QDate &night);
    // "Пароль…": the diary made private, its password changed or taken off.
    void editPrivacy();
    // Closes a private diary: the dream saved, the statistics and this
    // window closed, the key wiped. A diary in plain text stays open.
    void lockPrivate();

    // The dream shown ("" for a new one not yet stored) and the store.
    QString shownId() const { return editor_.entry().id; }
    DiaryStore *store() const { return store_.get(); }
    const std::vector<dictionary::SymbolMark> &marks() const { return marks_; }
    EntryListModel *listModel() const { return model_; }
    // Clicks on the text at a position (what a mouse release does there).
    void textClicked(qsizetype position);

    // Waits for the lunar day of the moment last chosen (it is computed on
    // a worker) and shows it.
    void waitForLunarDay();

signals:
    void unloaded();

protected:
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    // A journal read from path; a sealed one opened with the password the
    // user types (asked again after a wrong one).
    ImportedJournal readSealedOrNot(const QString &path);
    // Marks text copied out of a private dream with the clipboard managers'
    // "x-kde-passwordManagerHint".
    void markCopiedDreamText();
    // A diary that cannot be written: shown for reading, said once.
    void showReadOnly(const QString &why);
    // The pages print() prints, on the printer given.
    bool printTo(QPrinter *printer);
    DiaryWindow(DiaryHost *host, QWidget *owner, const QString &path);
    bool openStore(const QString &path);
    void buildControls();
    void buildToolbar();
    QWidget *buildListPanel();
    void buildFilters(QWidget *panel, QVBoxLayout *v);
    void buildEntryList(QWidget *panel);
    QWidget *buildEntryPanel();
    QWidget *buildDetailsRow();
    QWidget *buildSymbolsTab();
    QWidget *buildTrashRow(QWidget *panel);
    void showTrash();
    void listEntries(QList<EntrySummary> entries);
    void saved(bool added);
    QWidget *buildLunarTab();
    QWidget *buildMarkTab();
    void restoreGeometry();
    void storeGeometry();
    void reloadList(const QString &select = QString());
    void findSigns();
    void startSpeller(const QString &storePath);
    void textMenu(const QPoint &at);
    void titleMenu(const QPoint &at);
    void addSpellingActions(QMenu *menu, const QString &word, const std::function<void(const QString &)> &replace);
    void respell();
    int signDreams(const dictionary::SymbolMark &m) const;
    QString markTip(const dictionary::SymbolMark &m) const;
    void loadEntry(const Entry &e);
    Entry entryFromControls() const;
    void changed();
    void textChanged();
    void findSymbols();
    void showSymbols();
    void showLunar();
    void showNight();
    void momentOrPlaceChanged();
    void requestLunarDay();
    // The city directory, a dream's place chosen from it.
    void choosePlaceFromDirectory();
    void addSymbol();
    void removeSymbol();
    // The mark chosen by the user / the mark's line as the dream has it.
    void markChanged();
    void showMark();
    void listClicked(const QModelIndex &index);
    void updateListed(const EntrySummary &e);
    void reportWriteFailure(const QString &why);
    int mergeAsked(const MergePlan &plan, const QString &what);
    void chooseExport();
    void chooseImport();
    void chooseRestore();
    void setEditable(bool on);
    // A private diary closes after a while without input, when the screen
    // locks and before sleep.
    void armLocking();
    const dictionary::SymbolFinder &finder();

    DiaryHost *host_;
    std::unique_ptr<DiaryStore> store_;
    EntryEditor editor_;              // the dream being written, saving, the trash, the list
    Entry &entry_ = editor_.edited(); // what is shown, as last loaded or saved
    bool loading_ = false;
    QHash<QString, int> signs_; // the dream signs: folded headword -> dreams in 90 days
    SpellHighlighter *spell_ = nullptr;
    std::shared_ptr<Speller> speller_; // loaded on a worker when the diary opens
    std::vector<dictionary::SymbolMark> marks_;
    dictionary::SymbolFinder finder_;
    int finderGeneration_ = -1;
    QHash<QString, EntryLinesOfBooks> lines_; // the books' lines of a headword
    QTimer symbolsTimer_;                     // the best lines follow the typing after a pause
    int linesGeneration_ = -1;
    QTimer idleLock_; // a private diary's time without input
    QObject *screenLock_ = nullptr;
    int lunarRequest_ = 0;  // generation of the latest lunar-day computation
    int lunarAnswered_ = 0; // and of the one shown

    QToolBar *toolbar_ = nullptr;
    QSplitter *splitter_ = nullptr;
    QLineEdit *searchBox_ = nullptr;
    QComboBox *filterBox_ = nullptr;
    QComboBox *tagFilter_ = nullptr;
    QCheckBox *periodBox_ = nullptr;
    QDateEdit *fromDate_ = nullptr;
    QDateEdit *toDate_ = nullptr;
    QListView *list_ = nullptr;
    EntryListModel *model_ = nullptr;
    QLabel *statusLine_ = nullptr;
    QLabel *symbolFilter_ = nullptr; // "Символ: …", with a link that clears it
    QString symbol_;

    QLineEdit *titleBox_ = nullptr;
    QDateTimeEdit *momentBox_ = nullptr;
    QLabel *nightLabel_ = nullptr;
    QPlainTextEdit *textBox_ = nullptr;
    QCheckBox *lucidBox_ = nullptr;
    QList<QCheckBox *> kindBoxes_;
    QComboBox *clarityBox_ = nullptr;
    QComboBox *moodBox_ = nullptr;
    QLineEdit *tagsBox_ = nullptr;
    ListCompleter *tagsCompleter_ = nullptr, *peopleCompleter_ = nullptr, *placesCompleter_ = nullptr;
    QLineEdit *peopleBox_ = nullptr;
    QLineEdit *placesBox_ = nullptr;
    QTabWidget *tabs_ = nullptr;
    QListWidget *symbolList_ = nullptr;
    QWidget *trashRow_ = nullptr;
    QLineEdit *symbolToAdd_ = nullptr;
    QLabel *phasePicture_ = nullptr;
    QLabel *lunarDayLabel_ = nullptr;
    QLabel *lunarTexts_ = nullptr;
    QLabel *placeLabel_ = nullptr;
    QComboBox *markBox_ = nullptr;
    QLabel *markedOn_ = nullptr;
    QLineEdit *markNote_ = nullptr;
};

} // namespace somnex::diary
