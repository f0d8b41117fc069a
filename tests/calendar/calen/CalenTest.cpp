#include "calendar/calen/Calen.h"
#include "calendar/phase/PhasePicture.h"

#include "appstate/AppState.h"
#include "calendar/picker/DateTimePicker.h"
#include "calendar/tables/DreamTables.h"
#include "options/optionsform/OptionsForm.h"
#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "platform/core/Worker.h"
#include "support/ClickLabel.h"
#include "support/FormParts.h"
#include "support/Process.h"
#include "support/QtPrint.h"
#include "support/TempProfile.h"
#include "support/TzScope.h"

#include "astro/mMath.h"
#include "astro/mPublicVars.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace somnex;
using namespace somnex::calendar;

namespace {

constexpr qint64 kHour = 3600;

double at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return toDateValue(QDate(y, mo, d), QTime(h, mi, s));
}

double plus(double date, qint64 seconds)
{
    return fromSeconds(toSeconds(date) + seconds);
}

// New moons at 12:00 on day 46000 (2025-12-09) and 18:00 on day 46029,
// moonrise at 06:00 every day, local time universal time. Counts the
// lunations asked for.
LunarEngine constructedEngine(const std::shared_ptr<int> &calls = nullptr)
{
    return {[calls](double) {
                if (calls)
                    ++*calls;
                return 46000.5;
            },
            [](double) { return 46029.75; },
            [](double day, const astro::ObserverPosition &, int) {
                return astro::RiseSetResult{plus(day, 6 * kHour), plus(day, 18 * kHour)};
            },
            [](double d) { return d; }};
}

// What the window shows.
struct Shown {
    QString weekday, weekdayText, day, dayText, lunarDay, bounds, lunarText, tag, firstBoundary;
    int picture = 0;
    int boundaries = 0;
    friend bool operator==(const Shown &, const Shown &) = default;
};

Shown shown(const Calen &c)
{
    const QListWidget *boundaries = part<QListWidget>(c, "List2");
    return {part<QLabel>(c, "Label12")->text(),
            part<QPlainTextEdit>(c, "Text1")->toPlainText(),
            part<QLabel>(c, "Label5")->text(),
            part<QPlainTextEdit>(c, "Text2")->toPlainText(),
            part<QLabel>(c, "Label16")->text(),
            part<QLabel>(c, "Label3")->text(),
            part<QPlainTextEdit>(c, "Text3")->toPlainText(),
            c.picture2Tag(),
            boundaries->count() ? boundaries->item(0)->text() : QString(),
            c.shownPicture(),
            boundaries->count()};
}

class CalenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = SetMessageHandler([this](const Message &m) {
            messages.append(m);
            return MsgResult::Ok;
        });
        app().ObserverLatitude = 55.75;
        app().ObserverLongitude = 37.5833;
    }
    void TearDown() override
    {
        SetMessageHandler(previous_);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    TempProfile profile;
    TzScope tz{"UTC"};
    QList<Message> messages;

private:
    MessageHandler previous_;
};

void save(const char *key, const QString &value)
{
    SaveSetting(AppState::App, AppState::Location, QString::fromLatin1(key), value);
}

} // namespace

TEST_F(CalenTest, LoadShowsTheAnswerForNowAndTheFixedTexts)
{
    Calen c;
    c.waitForAnswer();
    EXPECT_EQ(c.windowTitle(), u"Календарь сбываемости снов"_qs);
    EXPECT_EQ(part<QLabel>(c, "Heading")->text(), u"Календарь сбываемости снов"_qs);
    EXPECT_EQ(part<QAction>(c, "now")->text(), u"Сейчас "_qs);
    EXPECT_EQ(part<QLabel>(c, "LabelLunarDay")->text(), u"Лунный день:"_qs);
    EXPECT_EQ(part<ClickLabel>(c, "Label7")->toolTip(), u"Настройки точного расчета"_qs);
    EXPECT_EQ(part<ClickLabel>(c, "Image6")->toolTip(),
              u"Расчёт лунных дней производится на базе движка ZUL Selenar 2.0"_qs);
    EXPECT_EQ(c.NoDate, 2.0);

    const QDate today = QDate::currentDate();
    EXPECT_EQ(part<QLabel>(c, "Label12")->text(), WeekDayStr(qint16(today.dayOfWeek())));
    EXPECT_EQ(part<QLabel>(c, "Label5")->text(), QString::number(today.day()));
    EXPECT_GE(c.LunarDay(), 1);
    EXPECT_LE(c.LunarDay(), 31);
    EXPECT_EQ(part<QLabel>(c, "Label16")->text(), QString::number(c.LunarDay()));
    EXPECT_EQ(part<QPlainTextEdit>(c, "Text3")->toPlainText(), DreamByMoon(c.LunarDay()));
    EXPECT_EQ(part<QLabel>(c, "Label3")->text(), boundsText(c.LunarDayStart(), c.LunarDayEnd()));
    EXPECT_TRUE(part<QLabel>(c, "Label3")->isVisibleTo(&c));
    EXPECT_EQ(c.shownPicture(), phasePictureFor(c.LunarDay()));
    EXPECT_FALSE(part<QListWidget>(c, "List2")->isVisibleTo(&c)) << "the boundary list is working storage";
    EXPECT_GE(part<QListWidget>(c, "List2")->count(), 29);
    EXPECT_EQ(part<ClickLabel>(c, "Label7")->text(), u"Москва"_qs);
    EXPECT_EQ(part<QLabel>(c, "Label9")->text(), u"55°45' с.ш.  37°35' в.д. 0 GMT"_qs);
    EXPECT_EQ(part<QAction>(c, "now")->toolTip(),
              formatMoment(toDateValue(today, QTime::currentTime()), u"dd MMMM yyyy г., HH:mm"_qs));
    EXPECT_EQ(part<cDateTimePicker>(c, "DTPicker1")->Data(cDateTimePicker::Day), today.day());
    EXPECT_EQ(part<cDateTimePicker>(c, "DTPicker2")->Data(cDateTimePicker::Day), today.day());
    EXPECT_TRUE(part<QTimer>(c, "Timer1")->isActive());
    EXPECT_TRUE(part<QTimer>(c, "Timer2")->isActive()) << "the busy animation stops 300 ms after the calculation";
    c.Timer2_Timer();
    EXPECT_FALSE(part<Process>(c, "Process1")->isVisibleTo(&c));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(CalenTest, WeekdayDayAndLunarDayForAMoment)
{
    Calen c;
    c.waitForAnswer();
    struct Case {
        const char *what;
        double moment;
        const char16_t *weekday;
        qint16 weekdayKey;
        int day;
    } cases[] = {
        {"a Sunday", at(2026, 12, 6, 9, 0), u"Воскресенье", 7, 6},
        {"a 31st", at(2026, 12, 31, 23, 0), u"Четверг", 4, 31},
    };
    for (const Case &k : cases) {
        c.SelectedMoment = k.moment;
        c.Calculate();
        c.waitForAnswer();
        EXPECT_EQ(part<QLabel>(c, "Label12")->text(), QString::fromUtf16(k.weekday)) << k.what;
        EXPECT_EQ(part<QPlainTextEdit>(c, "Text1")->toPlainText(), DreamByWeekDay(k.weekdayKey)) << k.what;
        EXPECT_EQ(part<QLabel>(c, "Label5")->text(), QString::number(k.day)) << k.what;
        EXPECT_EQ(part<QPlainTextEdit>(c, "Text2")->toPlainText(), DreamByDay(qint16(k.day))) << k.what;
    }
    // 2026-12-08 09:05 at Moscow's coordinates, universal time: lunar day 29
    // from the moonrise at 05:48:46 to the new moon at 00:53.
    c.SelectedMoment = at(2026, 12, 8, 9, 5);
    c.Calculate();
    c.waitForAnswer();
    EXPECT_EQ(c.LunarDay(), 29);
    EXPECT_EQ(part<QLabel>(c, "Label3")->text(), u" (08 дек. 2026 05:48 - 09 дек. 2026 00:53)"_qs);
    const QListWidget *boundaries = part<QListWidget>(c, "List2");
    EXPECT_EQ(boundaries->item(boundaries->count() - 1)->text(), u"2026-12-09 00:53:00"_qs);
}

TEST_F(CalenTest, LunarDayThirtyShowsTheLastPicture)
{
    Calen c;
    c.waitForAnswer();
    c.setEngine(constructedEngine());
    c.SelectedMoment = 46029.5;
    c.Calculate();
    c.waitForAnswer();
    EXPECT_EQ(c.LunarDay(), 30);
    EXPECT_EQ(c.picture2Tag(), u"30"_qs);
    EXPECT_EQ(c.shownPicture(), 29);
    EXPECT_EQ(part<QPlainTextEdit>(c, "Text3")->toPlainText(), DreamByMoon(30));
    ASSERT_FALSE(part<QLabel>(c, "Picture2")->pixmap().isNull());
    const QImage img = part<QLabel>(c, "Picture2")->pixmap().toImage();
    EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0) << "the black sky is keyed transparent";
    EXPECT_EQ(qAlpha(img.pixel(16, 16)), 255);
}

// A waxing Moon is lit on the right as the north sees it, on the left from
// south of the equator (Sydney).
TEST_F(CalenTest, TheMoonIsMirroredSouthOfTheEquator)
{
    Calen c;
    c.waitForAnswer();
    const auto litSide = [&] {
        const QImage img = part<QLabel>(c, "Picture2")->pixmap().toImage();
        double sum = 0, count = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qAlpha(img.pixel(x, y)) == 255 && qGray(img.pixel(x, y)) > 128) {
                    sum += x;
                    ++count;
                }
        EXPECT_GT(count, 0);
        return count > 0 ? sum / count - img.width() / 2.0 : 0.0;
    };
    // the place as the settings keep it: Moscow by default, then Sydney
    c.ShowMoonPhase(6);
    EXPECT_GT(litSide(), 0) << "Moscow: lit on the right";
    save("SGraduses", u"33"_qs);
    save("SMinutes", u"52"_qs);
    save("SM", u"-1"_qs);
    c.CheckGeo();
    c.ShowMoonPhase(6);
    EXPECT_LT(litSide(), 0) << "Sydney: lit on the left";
}

TEST_F(CalenTest, AnEngineFaultIsShownAndThePreviousAnswerStays)
{
    Calen c;
    c.waitForAnswer();
    c.setEngine(constructedEngine());
    c.SelectedMoment = 46010.5;
    c.Calculate();
    c.waitForAnswer();
    const Shown before = shown(c);
    ASSERT_EQ(before.lunarDay, u"11"_qs);

    const LunarEngine good = constructedEngine();
    struct Case {
        const char *what;
        LunarEngine engine;
        const char16_t *text;
    } cases[] = {
        {"overflow in the moonrise",
         {good.lastNewMoon, good.nextNewMoon,
          [](double, const astro::ObserverPosition &, int) -> astro::RiseSetResult { throw astro::OverflowError(); },
          good.universalToLocal},
         u"Переполнение"},
        {"invalid argument in the new moon",
         {[](double) -> double { throw astro::InvalidArgumentError(); }, good.nextNewMoon, good.riseSet,
          good.universalToLocal},
         u"Недопустимый вызов процедуры или аргумент"},
    };
    for (const Case &k : cases) {
        messages.clear();
        c.setEngine(k.engine);
        c.SelectedMoment = at(2026, 12, 31, 12, 0);
        part<QTimer>(c, "Timer2")->stop();
        c.Calculate();
        c.waitForAnswer();
        EXPECT_EQ(shown(c), before) << k.what;
        ASSERT_EQ(messages.size(), 1) << k.what;
        EXPECT_EQ(messages[0].text, QString::fromUtf16(k.text));
        EXPECT_EQ(messages[0].title, u"Calculate"_qs);
        EXPECT_EQ(messages[0].icon, MsgIcon::Error);
        EXPECT_TRUE(part<QTimer>(c, "Timer2")->isActive()) << k.what;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << k.what;
    }
}

TEST_F(CalenTest, TheNoDateMomentChangesNothing)
{
    Calen c;
    c.waitForAnswer();
    const Shown before = shown(c);
    // Chosen in the date picker: 1 January 1900, 00:00:00.
    c.SetPicker(part<cDateTimePicker>(c, "DTPicker1"), at(1900, 1, 2, 0, 0, 0));
    c.SetPicker(part<cDateTimePicker>(c, "DTPicker2"), at(1900, 1, 2, 0, 0, 0));
    part<cDateTimePicker>(c, "DTPicker1")->hWnd()->setDate(QDate(1900, 1, 1));
    EXPECT_EQ(c.SelectedMoment, c.NoDate);
    c.Timer3_Timer();
    c.waitForAnswer();
    EXPECT_EQ(shown(c), before);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(CalenTest, ChangingTheDateKeepsTheTimeInBothPickers)
{
    Calen c;
    c.waitForAnswer();
    auto calls = std::make_shared<int>(0);
    c.setEngine(constructedEngine(calls));
    cDateTimePicker *datePicker = part<cDateTimePicker>(c, "DTPicker1");
    cDateTimePicker *timePicker = part<cDateTimePicker>(c, "DTPicker2");
    c.SetPicker(datePicker, at(2026, 3, 31, 10, 20, 30));
    c.SetPicker(timePicker, at(2026, 3, 31, 10, 20, 30));
    EXPECT_FALSE(part<QTimer>(c, "Timer3")->isActive()) << "a write by the program raises no Change";

    datePicker->hWnd()->setDate(QDate(2026, 2, 28)); // as the user would
    for (cDateTimePicker *p : {datePicker, timePicker}) {
        EXPECT_EQ(p->Data(cDateTimePicker::Month), 2);
        EXPECT_EQ(p->Data(cDateTimePicker::Day), 28);
        EXPECT_EQ(p->Data(cDateTimePicker::Hour), 10);
        EXPECT_EQ(p->Data(cDateTimePicker::Minute), 20);
        EXPECT_EQ(p->Data(cDateTimePicker::Second), 30);
    }
    EXPECT_EQ(c.SelectedMoment, at(2026, 2, 28, 10, 20, 30));

    // The time picker the other way, twice more in quick succession.
    timePicker->hWnd()->setTime(QTime(23, 59, 58));
    timePicker->hWnd()->setTime(QTime(23, 59, 59));
    EXPECT_EQ(datePicker->Data(cDateTimePicker::Hour), 23);
    EXPECT_EQ(datePicker->Data(cDateTimePicker::Second), 59);
    EXPECT_EQ(*calls, 0) << "nothing is computed before the delay ends";
    EXPECT_TRUE(part<QTimer>(c, "Timer3")->isActive());
    EXPECT_EQ(part<QTimer>(c, "Timer3")->interval(), 500);
    c.Timer3_Timer();
    c.waitForAnswer();
    EXPECT_FALSE(part<QTimer>(c, "Timer3")->isActive());
    EXPECT_EQ(*calls, 1) << "three changes, one calculation";
    EXPECT_EQ(part<QLabel>(c, "Label5")->text(), u"28"_qs);
    EXPECT_EQ(part<QLabel>(c, "Label12")->text(), u"Суббота"_qs);
}

TEST_F(CalenTest, LocationLine)
{
    struct Case {
        const char *what;
        const char *zone;
        std::vector<std::pair<const char *, QString>> settings;
        QString place, line;
    } cases[] = {
        {"defaults", "UTC", {}, u"Москва"_qs, u"55°45' с.ш.  37°35' в.д. 0 GMT"_qs},
        {"west of Greenwich",
         "America/Bogota",
         {{"CityName", u"Богота"_qs},
          {"SGraduses", "4"},
          {"SMinutes", "36"},
          {"DGraduses", "74"},
          {"DMinutes", "5"},
          {"DM", "-1"}},
         u"Богота"_qs,
         u"4°36' с.ш.  74°5' з.д. -5 GMT"_qs},
        {"south and far east", "Asia/Vladivostok", {{"SM", "-1"}}, u"Москва"_qs, u"55°45' ю.ш.  37°35' в.д. 10 GMT"_qs},
        {"an empty name stays empty",
         "Europe/Moscow",
         {{"CityName", QString()}},
         QString(),
         u"55°45' с.ш.  37°35' в.д. 3 GMT"_qs},
        {"a name that looks like markup is shown as typed",
         "Europe/Moscow",
         {{"CityName", u"<b>Сочи</b> & <img src=x>"_qs}, {"SGraduses", "90"}, {"SMinutes", "30"}},
         u"<b>Сочи</b> & <img src=x>"_qs,
         u"90°0' с.ш.  37°35' в.д. 3 GMT"_qs},
    };
    for (const Case &k : cases) {
        TempProfile fresh;
        TzScope zone(k.zone);
        for (const auto &[key, value] : k.settings)
            save(key, value);
        Calen c;
        c.waitForAnswer();
        EXPECT_EQ(part<ClickLabel>(c, "Label7")->text(), k.place) << k.what;
        EXPECT_EQ(part<QLabel>(c, "Label9")->text(), k.line) << k.what;
        EXPECT_EQ(part<ClickLabel>(c, "Label7")->textFormat(), Qt::PlainText) << k.what;
        EXPECT_EQ(part<QLabel>(c, "Label9")->textFormat(), Qt::PlainText) << k.what;
    }
}

// The name, the line of coordinates and the answer come from one reading of
// the place: a place stored while the window is open (the options opened from
// the main window) shows whole at the next calculation, and the engine never
// computes for a place other than the one shown.
TEST_F(CalenTest, TheAnswerIsForThePlaceShown)
{
    const double moment = at(2026, 12, 8, 9, 5);
    const auto boundsAt = [&](double latitude, double longitude) {
        const CalendarAnswer a = computeCalendar(moment, astro::ObserverPosition{latitude, longitude});
        EXPECT_TRUE(a.moon.found);
        return boundsText(a.moon.start, a.moon.end);
    };
    const QString moscow = boundsAt(55.75, 37.5833);
    const QString ushuaia = boundsAt(-54.8, -68.3);
    ASSERT_NE(moscow, ushuaia);

    app().ObserverLatitude = -54.8; // a place taken earlier, not the stored one
    app().ObserverLongitude = -68.3;
    Calen c;
    c.waitForAnswer();
    c.SelectedMoment = moment;
    c.Calculate();
    c.waitForAnswer();
    EXPECT_EQ(part<ClickLabel>(c, "Label7")->text(), u"Москва"_qs);
    EXPECT_EQ(part<QLabel>(c, "Label3")->text(), moscow) << "the stored place, the one shown";

    const std::pair<const char *, QString> stored[] = {
        {"CityName", u"Ушуайя"_qs}, {"SGraduses", u"54"_qs}, {"SMinutes", u"48"_qs}, {"SM", u"-1"_qs},
        {"DGraduses", u"68"_qs},    {"DMinutes", u"18"_qs},  {"DM", u"-1"_qs}};
    for (const auto &[key, value] : stored)
        save(key, value);
    app().ObserverLatitude = 55.75;
    app().ObserverLongitude = 37.5833;
    c.Calculate();
    c.waitForAnswer();
    EXPECT_EQ(part<ClickLabel>(c, "Label7")->text(), u"Ушуайя"_qs) << "the name with its coordinates";
    EXPECT_EQ(part<QLabel>(c, "Label9")->text(), u"54°48' ю.ш.  68°18' з.д. 0 GMT"_qs);
    EXPECT_EQ(part<QLabel>(c, "Label3")->text(), ushuaia);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(CalenTest, ThePhaseAnimationRunsOnceAndEndsOnThePhase)
{
    Calen c;
    c.waitForAnswer();
    c.setEngine(constructedEngine());
    c.SelectedMoment = 46012.5;
    c.Calculate();
    c.waitForAnswer();
    ASSERT_EQ(c.shownPicture(), 13);
    c.Picture2_DblClick();
    EXPECT_TRUE(part<QTimer>(c, "Timer4")->isActive());
    EXPECT_EQ(part<QTimer>(c, "Timer4")->interval(), 100);
    std::vector<int> pictures;
    for (int i = 0; i < 5; ++i) {
        c.Timer4_Timer();
        pictures.push_back(c.shownPicture());
    }
    c.Picture2_DblClick(); // during the animation: not restarted
    EXPECT_EQ(c.PhaseFrame, 5);
    while (part<QTimer>(c, "Timer4")->isActive() && pictures.size() < 100) {
        c.Timer4_Timer();
        pictures.push_back(c.shownPicture());
    }
    ASSERT_EQ(pictures.size(), 29u);
    for (int i = 0; i < 28; ++i)
        EXPECT_EQ(pictures[size_t(i)], i + 1);
    EXPECT_EQ(pictures.back(), 13) << "ends on the current phase";
    EXPECT_EQ(c.PhaseFrame, 0);
}

TEST_F(CalenTest, NowButtonTakesThePresentMoment)
{
    Calen c;
    c.waitForAnswer();
    c.SelectedMoment = at(2001, 5, 5, 5, 5, 5);
    c.SetPicker(part<cDateTimePicker>(c, "DTPicker1"), c.SelectedMoment);
    c.SetPicker(part<cDateTimePicker>(c, "DTPicker2"), c.SelectedMoment);
    c.Calculate();
    c.waitForAnswer();
    ASSERT_EQ(part<QLabel>(c, "Label5")->text(), u"5"_qs);
    c.Toolbar1_ButtonClick();
    c.waitForAnswer();
    const QDateTime now = QDateTime::currentDateTime();
    EXPECT_LE(std::abs(toSeconds(c.SelectedMoment) - toSeconds(toDateValue(now.date(), now.time()))), 5);
    EXPECT_EQ(part<cDateTimePicker>(c, "DTPicker1")->Data(cDateTimePicker::Year), now.date().year());
    EXPECT_EQ(part<cDateTimePicker>(c, "DTPicker2")->Data(cDateTimePicker::Day), now.date().day());
    EXPECT_EQ(part<QLabel>(c, "Label5")->text(), QString::number(now.date().day())) << "calculated at once";
    EXPECT_FALSE(part<QTimer>(c, "Timer3")->isActive());
}

TEST_F(CalenTest, EscapeAnywhereClosesAndReleasesTheButton)
{
    auto *c = new Calen;
    c->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<Calen> guard(c);
    int released = 0;
    QObject::connect(c, &Calen::unloaded, [&] { ++released; });
    c->show();
    QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, u"a"_qs);
    QApplication::sendEvent(part<cDateTimePicker>(*c, "DTPicker2")->hWnd(), &other);
    EXPECT_TRUE(c->isVisible());
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(part<cDateTimePicker>(*c, "DTPicker2")->hWnd(), &esc);
    EXPECT_EQ(released, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull()) << "closing unloads the window";
}

TEST_F(CalenTest, ThePlaceNameOpensTheLocationTabAndRecalculatesAfterIt)
{
    Calen c;
    c.waitForAnswer();
    const QString moscowBounds = part<QLabel>(c, "Label3")->text();
    c.Label7_Click();
    options::OptionsForm *f = options::OptionsForm::instance();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->TabStrip1->currentIndex(), 1);
    EXPECT_TRUE(f->Picture1[1]->isVisibleTo(f));
    EXPECT_EQ(f->windowModality(), Qt::ApplicationModal);
    f->Text1->setText(u"Ушуайя"_qs);
    f->Combo7->setCurrentIndex(54);
    f->Combo8->setCurrentIndex(48);
    f->Combo9->setCurrentIndex(1);
    f->Combo12->setCurrentIndex(68);
    f->Combo11->setCurrentIndex(18);
    f->Combo10->setCurrentIndex(1);
    // "Ок" clicked from the event loop: the options window is deleted while
    // the calendar computes for the new place on its worker
    QEventLoop loop;
    QTimer::singleShot(0, f, [f] { f->Command1->click(); });
    QTimer::singleShot(200, &loop, &QEventLoop::quit);
    loop.exec();
    c.waitForAnswer();
    EXPECT_EQ(part<ClickLabel>(c, "Label7")->text(), u"Ушуайя"_qs);
    EXPECT_EQ(part<QLabel>(c, "Label9")->text(), u"54°48' ю.ш.  68°18' з.д. 0 GMT"_qs);
    EXPECT_DOUBLE_EQ(app().ObserverLatitude, -54.8);
    EXPECT_DOUBLE_EQ(app().ObserverLongitude, -68.3);
    EXPECT_NE(part<QLabel>(c, "Label3")->text(), moscowBounds)
        << "the lunar day's bounds at the new place: " << moscowBounds.toStdString();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(options::OptionsForm::instance(), nullptr);
}

TEST_F(CalenTest, TheLogoOpensTheEnginePage)
{
    Calen c;
    c.waitForAnswer();
    QStringList opened;
    auto &opener = Calen::urlOpener();
    const auto saved = opener;
    for (bool works : {true, false}) {
        messages.clear();
        opener = [&](const QString &url) {
            opened << url;
            return works;
        };
        c.Image6_Click();
        EXPECT_EQ(opened.last(), Calen::engineUrl());
        EXPECT_EQ(messages.size(), works ? 0 : 1);
    }
    opener = saved;
    EXPECT_TRUE(Calen::engineUrl().startsWith(u"https://"_qs));
}

TEST_F(CalenTest, WriteADreamOnThisDateOnlyWhereTheProgramHasADiary)
{
    {
        Calen bare;
        bare.waitForAnswer();
        EXPECT_FALSE(part<QAction>(bare, "diary")->isVisible()) << "no diary, no button";
    }
    QList<double> asked;
    Calen::diaryOpener() = [&](double moment) { asked << moment; };
    Calen c;
    c.waitForAnswer();
    c.show();
    EXPECT_TRUE(part<QAction>(c, "diary")->isVisible());
    EXPECT_EQ(part<QAction>(c, "diary")->text(), "Записать сон на эту дату");
    const double chosen = toDateValue(QDate(2026, 3, 5), QTime(4, 30));
    c.SelectedMoment = chosen;
    part<QAction>(c, "diary")->trigger();
    Calen::diaryOpener() = nullptr;
    EXPECT_EQ(asked, QList<double>({chosen})) << "the moment the calendar shows";
}

TEST_F(CalenTest, MomentsChangedWhileCalculationsRunShowTheLastOne)
{
    // The user holds an arrow key in the time picker: a calculation starts
    // twenty times a second while earlier ones are still on the worker. The
    // window answers every event meanwhile and ends on the last moment.
    Calen c;
    c.waitForAnswer();
    c.show();
    const double first = at(2026, 12, 8, 9, 5);
    double last = first;
    for (int i = 0; i < 40; ++i) {
        last = plus(first, qint64(i) * 3 * kHour);
        c.SetPicker(part<cDateTimePicker>(c, "DTPicker1"), last);
        c.SetPicker(part<cDateTimePicker>(c, "DTPicker2"), last);
        c.SelectedMoment = last;
        c.Calculate();
        EXPECT_TRUE(c.calculating());
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 50)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5); // the window stays responsive
    }
    c.waitForAnswer();
    const CalendarAnswer expected =
        computeCalendar(last, astro::ObserverPosition{app().ObserverLatitude, app().ObserverLongitude});
    ASSERT_TRUE(expected.moon.found);
    EXPECT_EQ(c.LunarDay(), expected.moon.lunarDay);
    EXPECT_EQ(part<QLabel>(c, "Label3")->text(), boundsText(expected.moon.start, expected.moon.end));
    EXPECT_EQ(part<QLabel>(c, "Label5")->text(), QString::number(dateOf(last).day()));
    EXPECT_EQ(part<QListWidget>(c, "List2")->count(), expected.moon.boundaries.size());
    EXPECT_FALSE(c.calculating());
    EXPECT_TRUE(part<QTimer>(c, "Timer2")->isActive()) << "the busy animation stops after the last answer";
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(CalenTest, ACalculationStartedDuringAnotherOneShowsTheLaterMoment)
{
    // The first request's engine is held while the user asks for another
    // moment; whichever answer comes first, the window ends on the second.
    Calen c;
    c.waitForAnswer();
    const LunarEngine base = constructedEngine();
    auto release = std::make_shared<std::atomic<bool>>(false);
    c.setEngine({[release, base](double d) {
                     while (!release->load())
                         std::this_thread::sleep_for(std::chrono::milliseconds(1));
                     return base.lastNewMoon(d);
                 },
                 base.nextNewMoon, base.riseSet, base.universalToLocal});
    c.SelectedMoment = 46005.5;
    c.Calculate();
    c.setEngine(base);
    c.SelectedMoment = 46020.5;
    c.Calculate();
    release->store(true);
    c.waitForAnswer();
    EXPECT_EQ(c.LunarDay(), 21);
    EXPECT_EQ(part<QLabel>(c, "Label16")->text(), u"21"_qs);
    EXPECT_EQ(part<QLabel>(c, "Label5")->text(), QString::number(dateOf(46020.5).day()));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(CalenTest, TheWindowClosedDuringACalculationIsLeftAlone)
{
    // The window is deleted while its calculation runs on the worker; the
    // answer arrives afterwards and touches nothing (AddressSanitizer).
    auto *c = new Calen;
    c->waitForAnswer();
    const LunarEngine base = constructedEngine();
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto started = std::make_shared<std::atomic<bool>>(false);
    c->setEngine({[=](double d) {
                      started->store(true);
                      while (!release->load())
                          std::this_thread::sleep_for(std::chrono::milliseconds(1));
                      return base.lastNewMoon(d);
                  },
                  base.nextNewMoon, base.riseSet, base.universalToLocal});
    c->SelectedMoment = 46005.5;
    c->Calculate();
    while (!started->load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    delete c;
    release->store(true);
    settleWorkers();
    QCoreApplication::processEvents();
    EXPECT_TRUE(messages.isEmpty());
}

TEST(PhasePictures, DrawnFromThePhase)
{
    const QList<QImage> pics = makeMoonPics(64);
    ASSERT_EQ(pics.size(), 29);
    auto brightness = [](const QImage &img, int x0, int x1) {
        long sum = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = x0; x < x1; ++x)
                sum += qGray(img.pixel(x, y));
        return sum;
    };
    // Waxing to the full moon near lunar day 15, waning after it.
    for (int n = 2; n <= 15; ++n)
        EXPECT_GT(brightness(pics[n - 1], 0, 64), brightness(pics[n - 2], 0, 64)) << n;
    for (int n = 16; n <= 29; ++n)
        EXPECT_LT(brightness(pics[n - 1], 0, 64), brightness(pics[n - 2], 0, 64)) << n;
    struct Case {
        int picture;
        bool rightLit;
    } sides[] = {{4, true}, {8, true}, {12, true}, {19, false}, {23, false}, {27, false}};
    for (const Case &c : sides) {
        const QImage &img = pics[c.picture - 1];
        EXPECT_EQ(brightness(img, 32, 64) > brightness(img, 0, 32), c.rightLit) << c.picture;
    }
    EXPECT_EQ(pics[0].pixel(0, 0) & 0xFFFFFFu, 0u) << "the sky is black";
    EXPECT_NE(pics[0].pixel(32, 32) & 0xFFFFFFu, 0u) << "the dark side is not black, so it is not keyed away";
    EXPECT_NEAR(litFraction(15), 1.0, 0.01);
    EXPECT_LT(litFraction(1), 0.01);

    const QImage keyed = keyedPhaseImage(pics[14], 32);
    EXPECT_EQ(keyed.size(), QSize(32, 32));
    EXPECT_EQ(qAlpha(keyed.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(keyed.pixel(16, 16)), 255);
    EXPECT_EQ(keyedPhaseImage(QImage(64, 48, QImage::Format_RGB32), 32).size(), QSize(32, 24));
}
