#include "calendar/picker/DateTimePicker.h"
#include "calendar/picker/PickerFormat.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QSignalSpy>

#include <memory>

using namespace somnex::calendar;
namespace reg = somnex::calendar::mDateTimePicker;
using P = cDateTimePicker;

namespace {

// A container that records the picker notifications it gets to handle itself,
// and what the pickers' owner had seen by then.
class Box : public QWidget {
public:
    QList<int> codes;
    QList<int> raisedBefore;
    int *raised = nullptr;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == reg::NotifyEvent::eventType()) {
            codes << static_cast<reg::NotifyEvent *>(e)->code();
            raisedBefore << (raised ? *raised : -1);
            return true;
        }
        return QWidget::event(e);
    }
};

struct PickerTest : ::testing::Test {
    void TearDown() override
    {
        EXPECT_EQ(reg::pickerCount(), 0) << "a picker outlived its test";
        EXPECT_EQ(reg::parentCount(), 0);
    }
};

void key(QDateTimeEdit *w, int k)
{
    if (w && w->currentSectionIndex() < 0)
        w->setCurrentSectionIndex(0);
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

QDateTime shown(const P &p)
{
    return QDateTime(QDate(p.Data(P::Year), p.Data(P::Month), p.Data(P::Day)),
                     QTime(p.Data(P::Hour), p.Data(P::Minute), p.Data(P::Second)));
}

} // namespace

TEST_F(PickerTest, EachParentIsWatchedOnceAndReleasedWithItsLastPicker)
{
    Box one, two;
    P a, b, c;
    ASSERT_TRUE(a.Create(&one, P::DTS_SHORTDATECENTURYFORMAT, 0, 0, 120, 20));
    ASSERT_TRUE(b.Create(&one, P::DTS_UPDOWN, 0, 30, 120, 20));
    ASSERT_TRUE(c.Create(&two, P::DTS_UPDOWN, 0, 0, 120, 20));
    EXPECT_EQ(reg::pickerCount(), 3);
    EXPECT_EQ(reg::parentCount(), 2);

    // Watched once: a notification raises the picker's event exactly once.
    QSignalSpy changeB(&b, &P::Change);
    reg::SendNotify(b.hWnd(), P::DTN_DATETIMECHANGE);
    EXPECT_EQ(changeB.size(), 1);

    a.Destroy();
    EXPECT_TRUE(reg::isWatched(&one));
    EXPECT_TRUE(reg::isWatched(&two));
    EXPECT_EQ(a.hWnd(), nullptr);
    c.Destroy(); // releases only its own parent
    EXPECT_TRUE(reg::isWatched(&one));
    EXPECT_FALSE(reg::isWatched(&two));
    b.Destroy();
    EXPECT_FALSE(reg::isWatched(&one));
    EXPECT_EQ(reg::pickerCount(), 0);
    b.Destroy(); // twice is harmless

    // Released means released: nothing reaches the old wrapper.
    QWidget stray(&one);
    reg::SendNotify(&stray, P::DTN_DATETIMECHANGE);
    EXPECT_EQ(changeB.size(), 1);
}

TEST_F(PickerTest, NotificationsReachTheOwnerFirstAndThenTheParent)
{
    Box box;
    P picker;
    ASSERT_TRUE(picker.Create(&box, P::DTS_SHORTDATECENTURYFORMAT, 0, 0, 120, 20));
    int raised = 0;
    box.raised = &raised;
    QList<int> raisedFor;
    const std::pair<int, void (P::*)()> events[] = {
        {P::DTN_CLOSEUP, &P::ClouseUp},         {P::DTN_DATETIMECHANGE, &P::Change}, {P::DTN_DROPDOWN, &P::DropDown},
        {P::DTN_USERSTRING, &P::EndUserChange}, {P::NM_SETFOCUS, &P::GotFocus},      {P::NM_KILLFOCUS, &P::LostFocus},
    };
    for (const auto &[code, signal] : events)
        QObject::connect(&picker, signal, [&, code = code] {
            ++raised;
            raisedFor << code;
        });

    const int codes[] = {P::DTN_CLOSEUP,
                         P::DTN_DATETIMECHANGE,
                         P::DTN_DROPDOWN,
                         P::DTN_USERSTRING,
                         P::NM_SETFOCUS,
                         P::NM_KILLFOCUS,
                         -1,
                         -760};
    for (int code : codes)
        reg::SendNotify(picker.hWnd(), code);
    EXPECT_EQ(raisedFor, QList<int>(std::begin(codes), std::begin(codes) + 6));
    EXPECT_EQ(box.codes, QList<int>(std::begin(codes), std::end(codes)));
    EXPECT_EQ(box.raisedBefore, (QList<int>{1, 2, 3, 4, 5, 6, 6, 6}));

    // Another child of the same parent: only passed on.
    QWidget other(&box);
    reg::SendNotify(&other, P::DTN_DATETIMECHANGE);
    EXPECT_EQ(raised, 6);
    EXPECT_EQ(box.codes.size(), 9);
    picker.Destroy();
}

TEST_F(PickerTest, OnlyTheUsersEditsRaiseChange)
{
    Box box;
    P picker;
    ASSERT_TRUE(picker.Create(&box, P::DTS_SHORTDATECENTURYFORMAT, 0, 0, 160, 20));
    picker.Format(QStringLiteral("dd MMMM yyyy"));
    QSignalSpy change(&picker, &P::Change);

    ASSERT_TRUE(picker.SetMoment(QDate(2024, 3, 31), QTime(22, 15, 30)));
    EXPECT_TRUE(picker.Data(P::Hour, 5));
    picker.dtpFlag(true);
    picker.Format(QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(change.size(), 0);

    key(picker.hWnd(), Qt::Key_Down); // the user steps the day back
    EXPECT_EQ(change.size(), 1);
    EXPECT_EQ(shown(picker), QDateTime(QDate(2024, 3, 30), QTime(5, 15, 30)));
    picker.Destroy();
}

TEST_F(PickerTest, PartsAreWrittenSeparatelyOrTogether)
{
    Box box;
    P date, time;
    ASSERT_TRUE(date.Create(&box, P::DTS_SHORTDATECENTURYFORMAT, 0, 0, 160, 20));
    ASSERT_TRUE(time.Create(&box, P::DTS_UPDOWN, 0, 30, 160, 20));
    date.Format(QStringLiteral("dd MMMM yyyy"));
    time.Format(QStringLiteral("HH : mm : ss"));
    EXPECT_EQ(date.hWnd()->displayFormat(), QStringLiteral("dd MMMM yyyy"));

    for (P *p : {&date, &time}) {
        // A date picker keeps the time it does not show, a time picker the date.
        ASSERT_TRUE(p->SetMoment(QDate(2024, 3, 31), QTime(22, 15, 30)));
        EXPECT_EQ(shown(*p), QDateTime(QDate(2024, 3, 31), QTime(22, 15, 30)));
        EXPECT_EQ(p->Data(P::DayOfWeek), 0); // a Sunday

        // One part at a time, 31 March cannot become February...
        EXPECT_FALSE(p->Data(P::Month, 2));
        EXPECT_EQ(shown(*p), QDateTime(QDate(2024, 3, 31), QTime(22, 15, 30)));
        // ...written together it can, keeping the time.
        ASSERT_TRUE(p->SetMoment(QDate(2024, 2, 28), QTime(22, 15, 30)));
        EXPECT_EQ(shown(*p), QDateTime(QDate(2024, 2, 28), QTime(22, 15, 30)));

        EXPECT_TRUE(p->Data(P::Year, 1900));
        EXPECT_TRUE(p->Data(P::Minute, 0));
        EXPECT_EQ(shown(*p), QDateTime(QDate(1900, 2, 28), QTime(22, 0, 30)));

        struct Bad {
            int part;
            qint32 value;
        } bad[] = {{P::Hour, 24},    {P::Minute, 60}, {P::Day, 0}, {P::Month, 13}, {P::Year, 1500},
                   {P::Year, 70000}, {P::Second, -1}, {0, 5},      {8, 5}};
        for (const Bad &b : bad)
            EXPECT_FALSE(p->Data(b.part, b.value)) << b.part << " " << b.value;
        EXPECT_EQ(shown(*p), QDateTime(QDate(1900, 2, 28), QTime(22, 0, 30)));
        EXPECT_EQ(p->Data(0), 0);
        EXPECT_EQ(p->Data(8), 0);
    }
    date.Destroy();
    time.Destroy();
}

TEST_F(PickerTest, NoDateStateSurvivesPartWrites)
{
    Box box;
    P plain, none;
    ASSERT_TRUE(plain.Create(&box, 0, 0, 0, 120, 20));
    ASSERT_TRUE(none.Create(&box, P::DTS_SHOWNONE, 0, 30, 120, 20));
    plain.dtpFlag(false); // refused without DTS_SHOWNONE
    EXPECT_TRUE(plain.dtpFlag());

    ASSERT_TRUE(none.SetMoment(QDate(2020, 6, 1), QTime(8, 0, 0)));
    none.dtpFlag(false);
    EXPECT_FALSE(none.dtpFlag());
    EXPECT_TRUE(none.Data(P::Hour, 17));
    EXPECT_FALSE(none.dtpFlag());
    none.dtpFlag(true); // the working copy comes back with its new hour
    EXPECT_TRUE(none.dtpFlag());
    EXPECT_EQ(shown(none), QDateTime(QDate(2020, 6, 1), QTime(17, 0, 0)));

    // An edit by the user shows a date again.
    none.dtpFlag(false);
    QSignalSpy change(&none, &P::Change);
    key(none.hWnd(), Qt::Key_Up);
    EXPECT_EQ(change.size(), 1);
    EXPECT_TRUE(none.dtpFlag());
    plain.Destroy();
    none.Destroy();
}

TEST_F(PickerTest, FocusAndTheDropDownCalendarRaiseTheirEvents)
{
    Box box;
    box.resize(200, 100);
    P picker;
    ASSERT_TRUE(picker.Create(&box, P::DTS_SHORTDATECENTURYFORMAT, 0, 0, 160, 20));
    QSignalSpy got(&picker, &P::GotFocus), lost(&picker, &P::LostFocus), down(&picker, &P::DropDown),
        up(&picker, &P::ClouseUp);
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason), out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(picker.hWnd(), &in);
    QApplication::sendEvent(picker.hWnd(), &out);
    EXPECT_EQ(got.size(), 1);
    EXPECT_EQ(lost.size(), 1);

    QWidget *popup = picker.hWnd()->calendarWidget()->window();
    ASSERT_NE(popup, picker.hWnd());
    popup->show();
    popup->hide();
    EXPECT_EQ(down.size(), 1);
    EXPECT_EQ(up.size(), 1);
    picker.Destroy();
}

TEST_F(PickerTest, OwnersMayGoFirstOrLeaveFromAHandler)
{
    {
        // The container goes first: its pickers leave the registry with it.
        auto box = std::make_unique<Box>();
        P picker;
        ASSERT_TRUE(picker.Create(box.get(), 0, 0, 0, 120, 20));
        box.reset();
        EXPECT_EQ(reg::pickerCount(), 0);
        EXPECT_EQ(picker.hWnd(), nullptr);
        picker.Destroy();
    }
    {
        // A wrapper dropped without Destroy does not stay registered.
        Box box;
        auto picker = std::make_unique<P>();
        ASSERT_TRUE(picker->Create(&box, 0, 0, 0, 120, 20));
        picker.reset();
        EXPECT_EQ(reg::pickerCount(), 0);
    }
    {
        // Destroyed from the handler of its own user edit, the last picker of
        // its parent.
        Box box;
        auto picker = std::make_unique<P>();
        ASSERT_TRUE(picker->Create(&box, 0, 0, 0, 120, 20));
        QObject::connect(picker.get(), &P::Change, [&] { picker.reset(); });
        key(picker ? picker->hWnd() : nullptr, Qt::Key_Up);
        EXPECT_EQ(picker, nullptr);
        EXPECT_FALSE(reg::isWatched(&box));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    {
        // Created twice: one registration, the first edit gone.
        Box box;
        P picker;
        ASSERT_TRUE(picker.Create(&box, 0, 0, 0, 120, 20));
        QPointer<QDateTimeEdit> first = picker.hWnd();
        ASSERT_TRUE(picker.Create(&box, P::DTS_UPDOWN, 0, 0, 120, 20));
        EXPECT_TRUE(first.isNull());
        EXPECT_EQ(reg::pickerCount(), 1);
        EXPECT_FALSE(picker.Create(nullptr, 0, 0, 0, 1, 1));
        picker.Destroy();
    }
}

TEST_F(PickerTest, ColoursAndFonts)
{
    Box box;
    P picker;
    ASSERT_TRUE(picker.Create(&box, P::DTS_SHORTDATECENTURYFORMAT, 0, 0, 120, 20));
    picker.Colors(P::MCSC_TITLEBK, 0x00336699);
    EXPECT_EQ(picker.Colors(P::MCSC_TITLEBK), 0x00336699);
    auto *bar = picker.hWnd()->calendarWidget()->findChild<QWidget *>(QStringLiteral("qt_calendar_navigationbar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->palette().color(QPalette::Window), QColor(0x99, 0x66, 0x33)); // 0x00BBGGRR
    EXPECT_EQ(picker.Colors(6), -1);
    EXPECT_EQ(picker.Colors(-1), -1);
    picker.Colors(6, 0x123456); // ignored

    FontDescription f;
    f.face = QApplication::font().family();
    f.size = 12.6; // made in whole points
    f.weight = 700;
    f.italic = true;
    f.charset = 204;
    picker.CalendarFont(f);
    const FontDescription back = picker.CalendarFont();
    EXPECT_EQ(back.size, 13);
    EXPECT_EQ(back.weight, 700);
    EXPECT_TRUE(back.italic);
    EXPECT_EQ(back.charset, 204);
    EXPECT_EQ(picker.hWnd()->calendarWidget()->font().pointSize(), 13);
    f.size = -5; // nonsense sizes still make a font
    picker.EditFont(f);
    EXPECT_GE(picker.EditFont().size, 1);
    picker.Destroy();
}

TEST(PickerFormat, PickerNotationBecomesQtNotation)
{
    struct Case {
        const char *picker;
        const char *qt;
    } cases[] = {
        {"dd MMMM yyyy", "dd MMMM yyyy"},
        {"HH : mm : ss", "HH : mm : ss"},
        {"hh:mm tt", "hh:mm AP"},
        {"h:mm t", "h:mm AP"},
        {"yyyyy", "yyyy"},
        {"y.M.d", "yy.M.d"},
        {"'Day' d", "'D''a''y' d"},
        {"dddd, d 'of' MMMM", "dddd, d 'o''f' MMMM"},
        {"'It''s' H", "'I''t''''s' H"},
        {"''", "''"},
        {"zap", "'z''a''p'"},
        {"ddddd", "ddddd"},
        {"'unclosed", "'u''n''c''l''o''s''e''d'"},
        {"", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(toQtDisplayFormat(QString::fromUtf8(c.picker)), QString::fromUtf8(c.qt)) << c.picker;
    EXPECT_EQ(defaultPickerFormat(P::DTS_SHORTDATECENTURYFORMAT), QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(defaultPickerFormat(P::DTS_TIMEFORMAT), QStringLiteral("H:mm:ss"));
    EXPECT_EQ(defaultPickerFormat(P::DTS_UPDOWN), QStringLiteral("dd.MM.yy"));
}
