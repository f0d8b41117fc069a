#pragma once
// The main window: the main toolbar row, the literature and dictionary panels
// stacked one above the other (one open at a time), the status strip, and the
// tray side. The window puts its parts in place and carries what passes
// between them; each part keeps its own controls.

#include "appstate/AppState.h"
#include "calendar/month/MonthWindow.h"
#include "diary/ui/DiaryWindow.h"
#include "diary/ui/MorningReminder.h"
#include "reading/Tolk.h"
#include "shell/DictionaryPanel.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class QTimer;

namespace somnex {

namespace tray {
struct TrayMenuHost;
} // namespace tray

class DesktopNotifier;
class HeaderBar;
class LiteraturePanel;
class SearchTexts;
class StatusPanel;
class TraySide;

class Form1 : public QWidget,
              public TolkHost,
              public diary::DiaryHost,
              private DictionaryHost,
              private calendar::MonthHost,
              private diary::MorningHost {
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
    void Image4_Click(); // open the literature panel
    void Image5_Click(); // open the dictionary panel
    bool literatureOpen() const;
    void StatusBar1_Resize();
    void Timer2_Timer();
    // The interpretation window, on the selected word or article.
    void ShowTolk();
    Tolk *tolk() const { return tolk_; }
    // Search in the interpretations (Ctrl+F).
    SearchTexts *openTextSearch();
    // The dream diary: opened on the dream last shown, or on a new dream (at
    // the moment given, else now).
    diary::DiaryWindow *openDiary();
    diary::DiaryWindow *writeNewDream(const QDateTime &at = QDateTime());
    // "Лунный календарь на месяц" (Ctrl+Shift+M, the calendar's "Месяц",
    // the tray menu).
    calendar::MonthWindow *openMonth();
    // Book files handed to the program (its command line, a file manager).
    int offerBooks(const QStringList &files);

    // The tray: the icon's clicks (TraySide's buttons), going there and coming back.
    void trayMouseDown(short button);
    void ToTray();
    void toTrayAtStart();
    void FromTray();
    void CheckAdminSet();
    bool inTray() const;
    // Brings the window to the front, out of the tray when it is there.
    void activate();
    // The word list left for after the first paint: set before Form_Load,
    // then loadDeferredList makes the list and selects the last word.
    void setListDeferred(bool deferred);
    void loadDeferredList();
    // Position (frame) and size the window last had in the normal state.
    QRect lastNormalGeometry() const { return lastNormal_; }
    // Secondary windows that the tray return closes; registered by their owners.
    void registerSecondaryWindow(QWidget *w);
    // The splash screen the first activation closes.
    void setSplash(QWidget *splash) { splash_ = splash; }

    // The orderly exit's steps: the user's state stored, the icon taken away.
    void storeState();
    void hideTrayIcon();

Q_SIGNALS:
    // The worker has indexed the texts of the books of the current list.
    void textIndexReady();

public:
    // The running font's size against the one the twips were laid out for.
    static double fontScale();
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
    // DiaryHost
    const dictionary::WordIndex &diaryWords() override;
    int diaryWordsGeneration() override;
    std::vector<TolkBook> diaryBooks() override { return tolkBooks(); }
    void openInterpretation(const QString &headword) override;
    diary::Place diaryPlace() override;

    // TolkHost
    std::vector<TolkBook> tolkBooks() override;
    std::vector<TolkButton> tolkButtons() override;
    QString currentWord() override;
    bool literatureActive() override { return app().LiteratureActive; }
    double mainTopTwips() override;
    void tolkClosed() override;
    void showDiaryDreamsWith(const QString &headword) override;
    void searchInterpretations(const QString &text) override;

    // MorningHost
    void writeMorningDream() override { writeNewDream(); }
    diary::Place morningPlace() override { return diaryPlace(); }
    void showTrayMessage(const QString &title, const QString &text) override;
    void startMorningReminder();

    // MonthHost
    QMap<QDate, int> dreamsByMorning(const QDate &first, const QDate &last) override;
    void openDreamsOfMorning(const QDate &morning) override;
    void openCalendarAt(double localMoment) override;

    // DictionaryHost
    Tolk *interpretation() override { return tolk_; }
    void interpretSelection() override;
    // "Ваш сон": the dream read against the books in the interpretation window.
    void interpretDream(const QString &text) override;
    bool literatureShown() override { return literatureOpen(); }
    QWidget *splashScreen() override { return splash_; }

    void connectParts();
    void connectDiary();
    void loadPlace();
    void loadGeometry();
    void loadOptions();
    Tolk *ensureTolk(QWidget *owner);
    void toggleCalendar();
    void trayMenu();
    void trayMenuWindows(tray::TrayMenuHost &host);
    void noteNormalGeometry();

    HeaderBar *header_ = nullptr;
    LiteraturePanel *literature_ = nullptr;
    DictionaryPanel *dictionary_ = nullptr;
    StatusPanel *status_ = nullptr;
    TraySide *tray_ = nullptr;
    QTimer *Timer2 = nullptr;
    QPointer<Tolk> tolk_;
    QPointer<SearchTexts> search_;
    QRect lastNormal_;
    bool shownOnce_ = false;
    QPointer<QWidget> splash_;
    QList<QPointer<QWidget>> secondary_;
    std::unique_ptr<DesktopNotifier> notifier_;
    std::unique_ptr<diary::MorningReminder> morning_;
};

// The main window of the running program (null before it exists).
Form1 *mainForm();

// The orderly exit: the user's state stored first, or (Fast) not at all when
// nothing of the run is worth keeping. Ends the run: callers return at once.
enum class ExitMode { StoreState, Fast };
void ExitApp(ExitMode mode);
// The orderly exit's storing steps (window geometry, books, literature tree,
// list mode, last word), run once per process; also when the desktop session
// or a signal ends the run.
void StoreUserState();

// Quitting from the tray: asks with the exit confirmation window when
// "UnloadQ" is not 1 and the autostart entry exists; otherwise exits.
void QuitFromTray(QWidget *parent);

} // namespace somnex
