#pragma once
// The tray quick-lookup menu: a small always-on-top popup with five command
// items and a word box. Typing completes the word from the main word list,
// Enter opens its interpretation. It closes itself when it loses the
// activation, after a command, and after about a second of the pointer being
// outside it while the word box is empty. Each close destroys it.

#include "tray/menu/TrayMenuLogic.h"

#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;

namespace somnex::tray {

// What the menu asks of the main window. A missing function is skipped.
struct TrayMenuHost {
    std::function<void(const QString &)> search; // the main search box takes the text
    std::function<QString()> selectedWord;       // the main list's selected word
    // The headword a text means when it is no headword as written (a form or
    // a near spelling); empty when it means none.
    std::function<QString(const QString &)> bestMatch;
    std::function<bool()> literatureActive;
    // A whole dream typed in the word box (several words, no headword) is
    // read against the books in the interpretation window.
    std::function<bool(const QString &)> looksLikeDream;
    std::function<void(const QString &)> interpretDream;
    std::function<void(const QString &)> showTolk;  // the interpretation window, no owner
    std::function<void()> listDblClick;             // the main list's double-click action
    std::function<void()> restore;                  // out of the tray
    std::function<void()> calendar, options, about; // show those windows modeless
    // "Записать сон…": a new dream in the diary. With it the menu has a row
    // of its own below the items.
    std::function<void()> diary;
    // "Лунный календарь на месяц": the month window. With it the menu has a
    // row of its own below the diary's.
    std::function<void()> month;
    // "Закрыть дневник": a private diary open in its window is closed (saved,
    // its key wiped). Set only while there is one; then the menu has a row
    // of its own below the others.
    std::function<void()> lockDiary;
    std::function<bool()> exitAsks; // quitting asks with the exit dialog
    std::function<void()> exitDialog, exitApp;
    // The secondary windows in the order they are closed.
    std::function<QList<QWidget *>()> secondaryWindows;
};

class TrayMenu : public QWidget {
    Q_OBJECT
public:
    explicit TrayMenu(TrayMenuHost host, QWidget *parent = nullptr);
    ~TrayMenu() override;

    // Shows the menu with its bottom-right corner at the given screen point,
    // kept on the screen under it (MenuPosition).
    // icon: where the tray icon is on the screen, when the desktop says.
    // Where the session does not let a window place itself (Wayland) the
    // compositor places it and the idle close follows the pointer's leaving.
    void popupAt(const QPoint &bottomRight, const QRect &icon = QRect());

    void Form_Activate();
    void Form_Deactivate();
    void ShowCur(QLabel *area);
    void HideCur();
    void Unloadall();
    void Timer1_Timer();
    // Runs the item with the given screen order (1..5), then closes.
    void Label18_Click(int screenOrder);
    void Lookup();
    // "Записать сон…": the diary opens on a new dream, the menu closes.
    void DiaryClick();
    // "Лунный календарь на месяц": the month window opens, the menu closes.
    void MonthClick();
    // "Закрыть дневник": the private diary closes, then the menu.
    void LockDiaryClick();

    std::int16_t keyboardPosition() const { return position_; }
    std::int32_t idleCount() const { return idle_.count(); }
    // The screen order of the highlighted item, 0 when the highlight is hidden.
    int highlighted() const;

    static constexpr double kWidth = 2265, kHeight = 2250;
    static constexpr double kAreaLeft = 60, kAreaWidth = 2175, kAreaHeight = 270;
    // The diary's row below the items, when the host has a diary.
    static constexpr double kDiaryTop = 2265, kDiaryRowHeight = 360;
    // The month's row below that, when the host has a month window.
    static constexpr double kMonthRowHeight = 330;

    QLineEdit *Text1 = nullptr;
    QLabel *Label18[5] = {};
    QLabel *Image111 = nullptr;
    QLabel *diaryArea = nullptr; // "Записать сон…", when the host has a diary
    QLabel *monthArea = nullptr; // "Лунный календарь на месяц", when the host has one
    QLabel *lockArea = nullptr;  // "Закрыть дневник", while a private diary is open
    QTimer Timer1;
    QRect iconArea_; // where the pointer is still with the menu

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    void paintEvent(QPaintEvent *) override;
    void addDiaryRow();
    void rowClick(const std::function<void()> &action);
    QLabel *addRow(const QString &caption, const QString &icon, const QString &tip, double top);
    void mouseMoveEvent(QMouseEvent *) override;

private:
    bool wordBoxEvent(QEvent *e);
    bool itemEvent(QLabel *area, std::optional<std::size_t> item, QEvent *e);
    // True when the key was used.
    bool keyPressed(int key);
    void keyReleased(int key);
    void runCommand(MenuCommand c);
    bool wordTyped() const;

    TrayMenuHost host_;
    // What the session allows (Session.h), taken when the menu is made.
    bool placesItself_ = true, knowsPointer_ = true, translucent_ = true;
    bool pointerCame_ = false; // the pointer has been over the menu (where only that is known)
    std::int16_t position_ = 0;
    IdleCounter idle_;
    int busy_ = 0; // a command or a message is running: deactivation does not close
};

} // namespace somnex::tray
