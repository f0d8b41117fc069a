#pragma once
// The calendar of dream fulfilment: the user enters the date and approximate
// time of a dream; the window shows the weekday, the day of the month and the
// lunar day at the user's place with their texts, the bounds of the lunar day
// and the Moon's phase.

#include "calendar/lunarday/LunarDay.h"
#include "location/core/Location.h"

#include <QImage>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

class QAction;
class QLabel;
class QLayout;
class QListWidget;
class QPlainTextEdit;
class QToolBar;
class QToolButton;

namespace somnex {
class ClickLabel;
class Process;
} // namespace somnex

namespace somnex::calendar {

class cDateTimePicker;

class Calen : public QWidget {
    Q_OBJECT

public:
    // Builds the window, owned by the given window (it stays a window of its
    // own), and runs its load.
    explicit Calen(QWidget *owner = nullptr);
    ~Calen() override;

    // The calendar of the program: created when none is open, shown
    // modeless in the normal state and brought to the front.
    static Calen *open(QWidget *owner);
    static Calen *instance();

    // Opens a web page; tests put a recorder in its place.
    static std::function<bool(const QString &)> &urlOpener();
    // What "Записать сон на эту дату" does with the chosen moment (local
    // date value); the button shows only when the program sets one.
    static std::function<void(double)> &diaryOpener();
    // What "Месяц" does (the month window); the button shows only when the
    // program sets one.
    static std::function<void()> &monthOpener();
    // The engine's page the logo opens.
    static QString engineUrl();

    void Form_Load();
    // Shows the calendar for a local moment (a date value) as if it had been
    // picked: the month window's "calendar at this date".
    void showMoment(double localMoment);
    void CheckGeo();
    void ShowPoint();
    // Starts the engine on a worker for the chosen moment; the answer is
    // shown when it comes, unless a later Calculate has started meanwhile.
    void Calculate();
    // Waits until every calculation started has been answered and shown.
    void waitForAnswer();
    bool calculating() const { return pending_ > 0; }
    void BCalculate();
    void MoonList(double momentUniversal);
    void ShowMoonPhase(int n);
    void SetPicker(cDateTimePicker *picker, double moment);
    double GetPicker(const cDateTimePicker *picker) const;

    void DTPicker1_Change();
    void DTPicker2_Change();
    void DTPicker1_ClouseUp();
    void Toolbar1_ButtonClick();
    void Label7_Click();
    void Image6_Click();
    void Picture2_DblClick();
    // True when the key was the window's own (Escape closes it).
    bool Form_KeyDown(int keyCode);
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void Timer4_Timer();

    // State.
    double SelectedMoment = 0.0;
    double NoDate = 0.0;
    qint16 LunarDay() const { return lunar_.lunarDay; }
    double LunarDayStart() const { return lunar_.start; }
    double LunarDayEnd() const { return lunar_.end; }
    qint16 PhaseFrame = 0;
    QString CurrentCityName;
    // The picture drawn last into Picture2 (1 to 29).
    int shownPicture() const { return shownPicture_; }
    // Picture2's tag: the lunar day as text.
    QString picture2Tag() const { return picture2Tag_; }
    // The engine to compute with (tests give constructed ones).
    void setEngine(const LunarEngine &engine) { engine_ = engine; }

    QList<QImage> MoonPics;

signals:
    // The window is unloading: the main window releases its button.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    QWidget *buildHeadingStrip();
    QLayout *buildPickerRow();
    QLayout *buildAnswerGrid();
    QLayout *buildPlaceRow();
    void optionsClosed();
    void showAnswer(bool computed, const CalendarAnswer &a, const QString &fault);
    // The engine's observer at the place last read.
    astro::ObserverPosition observer() const;

    // Controls. Each carries its member's name as its object name (unless
    // noted), by which the accessibility texts and the tests find it.
    QLabel *Heading = nullptr;
    ClickLabel *Image6 = nullptr;
    QWidget *Picture3 = nullptr, *Picture4 = nullptr; // the pickers' boxes
    // The wrappers share their edits' names ("DTPicker1", "DTPicker2").
    cDateTimePicker *DTPicker1 = nullptr, *DTPicker2 = nullptr;
    QToolBar *Toolbar1 = nullptr;
    QAction *btnNow = nullptr;          // "now"
    QAction *btnDiary = nullptr;        // "diary": "Записать сон на эту дату"
    QToolButton *monthButton = nullptr; // "month": the month window
    QLabel *LabelWeekDay = nullptr, *LabelDay = nullptr, *LabelLunarDay = nullptr; // the fixed captions
    QLabel *Label12 = nullptr, *Label5 = nullptr, *Label16 = nullptr, *Label3 = nullptr;
    QPlainTextEdit *Text1 = nullptr, *Text2 = nullptr, *Text3 = nullptr;
    QLabel *Picture2 = nullptr;
    ClickLabel *Label7 = nullptr;
    QLabel *Label9 = nullptr;
    Process *Process1 = nullptr;
    QListWidget *List2 = nullptr;
    // The "now" tip's refresh, the busy animation's end, the delay after a
    // change in a picker and the phase animation's frames.
    QTimer *Timer1 = nullptr, *Timer2 = nullptr, *Timer3 = nullptr, *Timer4 = nullptr;

    // The place of observation as the settings keep it, read once for its
    // name and coordinates shown, the engine's observer and the hemisphere
    // the Moon is seen from.
    location::Location place_;
    LunarEngine engine_ = LunarEngine::standard();
    LunarState lunar_;
    QString picture2Tag_;
    int shownPicture_ = 0;
    int calculation_ = 0; // generation of the latest Calculate
    int pending_ = 0;     // calculations on the worker not yet answered
    bool unloaded_ = false;
};

} // namespace somnex::calendar
