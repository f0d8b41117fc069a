#pragma once
// The calendar's date-time picker: a QDateTimeEdit (a date with a drop-down
// month calendar, or spin buttons) created inside a container widget, its
// value exposed part by part, its format, fonts and colours, and its
// notifications turned into signals of the wrapper object.
//
// As with the pickers the program was written for, the edit reports to its
// parent widget, and the registry (mDateTimePicker) watches each parent that
// hosts pickers and forwards the notifications of registered pickers to their
// wrappers. A write by the program raises no Change.

#include <QDate>
#include <QDateTimeEdit>
#include <QEvent>
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTime>
#include <QtGlobal>

#include <QWidget>

#include <array>

namespace somnex::calendar {

struct FontDescription {
    QString face;
    double size = 8;  // points
    int weight = 400; // 100 thin ... 400 normal ... 700 bold ... 900
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    int charset = 1; // kept as given; Qt fonts have no character sets

    friend bool operator==(const FontDescription &, const FontDescription &) = default;
};

// The value buffer, field by field.
struct SystemTime {
    quint16 year = 0, month = 0, dayOfWeek = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;

    // The fields of a date and a time of day (the weekday 0 for Sunday); the
    // year is taken to lie in 1..65535.
    static SystemTime from(const QDate &date, const QTime &time)
    {
        return {static_cast<quint16>(date.year()),          static_cast<quint16>(date.month()),
                static_cast<quint16>(date.dayOfWeek() % 7), static_cast<quint16>(date.day()),
                static_cast<quint16>(time.hour()),          static_cast<quint16>(time.minute()),
                static_cast<quint16>(time.second()),        static_cast<quint16>(time.msec())};
    }
    // The date and the time to the second the fields hold; invalid where a
    // field is out of its range.
    QDate date() const { return QDate(year, month, day); }
    QTime time() const { return QTime(hour, minute, second); }
};

class cDateTimePicker : public QObject {
    Q_OBJECT

public:
    // Style flags.
    static constexpr qint32 DTS_UPDOWN = 0x0001;
    static constexpr qint32 DTS_SHOWNONE = 0x0002;
    static constexpr qint32 DTS_SHORTDATEFORMAT = 0x0000;
    static constexpr qint32 DTS_LONGDATEFORMAT = 0x0004;
    static constexpr qint32 DTS_SHORTDATECENTURYFORMAT = 0x000C;
    static constexpr qint32 DTS_TIMEFORMAT = 0x0009;
    static constexpr qint32 DTS_RIGHTALIGN = 0x0020;

    // Notification codes.
    static constexpr int DTN_CLOSEUP = -753;
    static constexpr int DTN_DATETIMECHANGE = -759;
    static constexpr int DTN_DROPDOWN = -754;
    static constexpr int DTN_USERSTRING = -758;
    static constexpr int NM_SETFOCUS = -7;
    static constexpr int NM_KILLFOCUS = -8;

    // Colour indices of the drop-down calendar.
    static constexpr int MCSC_BACKGROUND = 0;
    static constexpr int MCSC_TEXT = 1;
    static constexpr int MCSC_TITLEBK = 2;
    static constexpr int MCSC_TITLETEXT = 3;
    static constexpr int MCSC_MONTHBK = 4;
    static constexpr int MCSC_TRAILINGTEXT = 5;

    // Value parts for Data.
    enum Part { Year = 1, Month = 2, DayOfWeek = 3, Day = 4, Hour = 5, Minute = 6, Second = 7 };

    explicit cDateTimePicker(QObject *parent = nullptr);
    // Destroys the picker if its owner has not: a wrapper that went away
    // while registered would leave the registry pointing at nothing.
    ~cDateTimePicker() override;

    // Creates the edit inside parent at the given place and size (pixels) and
    // registers it. A picker already created is destroyed first. False when
    // there is no parent.
    bool Create(QWidget *parent, qint32 style, qint32 left, qint32 top, qint32 width, qint32 height);
    void Destroy();

    // Drop-down calendar colours as 0x00BBGGRR (a system colour 0x80000000 +
    // index is shown as that colour of the palette); -1 for an unknown index.
    qint32 Colors(int index) const;
    void Colors(int index, qint32 colour);

    // One part of the shown value (0 for a part outside 1 to 7). With no date
    // shown, the part of the working copy.
    qint32 Data(int part) const;
    // Changes one part and keeps the others and the "no date" state. False
    // when the resulting date does not exist (the edit keeps its value), the
    // value is not a 16-bit number, or the part is outside 1 to 7.
    bool Data(int part, qint32 value);
    // Writes date and time together, so that no part is checked against the
    // others' old values (31 March -> 28 February). Keeps the "no date" state.
    bool SetMoment(const QDate &date, const QTime &time);

    // True when a date is shown; false shows none (only with DTS_SHOWNONE).
    bool dtpFlag() const;
    void dtpFlag(bool hasDate);

    FontDescription CalendarFont() const;
    void CalendarFont(const FontDescription &font);
    FontDescription EditFont() const;
    void EditFont(const FontDescription &font);

    // Custom display format ("dd MMMM yyyy", "HH : mm : ss"); empty restores
    // the style's own.
    void Format(const QString &format);

    QDateTimeEdit *hWnd() const { return window_; }
    QWidget *parentWindow() const;

    // Raises the signal for a notification code; other codes raise nothing.
    void zRaiseEvents(int code);

signals:
    void ClouseUp();
    void Change();
    void DropDown();
    void EndUserChange();
    void GotFocus();
    void LostFocus();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void readControl() const;
    bool writeControl(bool hasDate);
    void notify(int code);
    void watchPopup();
    void applyColours();
    void windowGone();

    QPointer<QDateTimeEdit> window_;
    QPointer<QWidget> popup_;
    qint32 style_ = 0;
    bool hasDate_ = true;
    int inWindowEvent_ = 0;
    mutable SystemTime buffer_;
    std::array<qint32, 6> colours_{};
    QFont calendarFont_;
    int calendarCharset_ = 1;
    int editCharset_ = 1;
};

// The registry of live pickers and the parents it watches.
namespace mDateTimePicker {

void RegisterPicker(cDateTimePicker *picker);
void UnregisterPicker(cDateTimePicker *picker);

// The notification a picker sends to its parent (sender, identifier, code).
class NotifyEvent : public QEvent {
public:
    NotifyEvent(QWidget *sender, int code);
    static QEvent::Type eventType();
    QWidget *sender() const { return sender_; }
    int code() const { return code_; }

private:
    QWidget *sender_;
    int code_;
};

// Sends a notification from a child to its parent widget, as a picker does.
void SendNotify(QWidget *from, int code);

// What the registry holds, for the program's checks and its tests.
int pickerCount();
int parentCount();
bool isWatched(const QWidget *parent);

} // namespace mDateTimePicker

} // namespace somnex::calendar
