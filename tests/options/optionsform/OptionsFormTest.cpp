#include "options/optionsform/OptionsForm.h"

#include "appstate/AppState.h"
#include "appstate/Autostart.h"
#include "location/spravcity/SpravCity.h"
#include "options/slider/Slider.h"
#include "platform/core/Messages.h"
#include "platform/core/Registry.h"
#include "platform/core/Settings.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/Session.h"
#include "support/QtPrint.h"
#include "support/TempProfile.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTime>
#include <QTimeEdit>
#include <QTreeWidget>
#include <QtTest/QTest>

using namespace somnex;
using namespace somnex::options;

namespace {

class Options : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = SetMessageHandler([this](const Message &m) {
            messages.append(m);
            return MsgResult::Ok;
        });
        AppState &s = app();
        s.CloseToTray = false;
        s.MenuAlpha = 205;
        s.ObserverLatitude = 55.75;
        s.ObserverLongitude = 37.5833;
    }
    void TearDown() override { SetMessageHandler(previous_); }

    static QString stored(const QString &section, const char *key)
    {
        return GetSetting(AppState::App, section, QString::fromLatin1(key), u"<absent>"_qs);
    }
    static QByteArray store()
    {
        QFile f(settingsFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    TempProfile profile;
    QList<Message> messages;

private:
    MessageHandler previous_;
};

} // namespace

TEST_F(Options, LoadShowsTheStoredStateAndOkStoresItAgain)
{
    OptionsForm f;
    EXPECT_EQ(f.windowTitle(), u"Настройки"_qs);
    EXPECT_EQ(f.Heading->text(), u"Настройки программы"_qs);
    EXPECT_EQ(f.TabStrip1->tabText(0), u"Общие"_qs);
    EXPECT_EQ(f.TabStrip1->tabText(1), u"Настройки местности"_qs);
    EXPECT_EQ(f.Check1->text(), u"&При закрытии сворачиваться в область уведомлений"_qs);
    EXPECT_EQ(f.Check2->text(), u"&Автоматически загружаться при входе в систему"_qs);
    EXPECT_EQ(f.Command4->text(), u"Настройка даты, &времени и часового пояса"_qs);
    EXPECT_EQ(f.btnCities->text(), u">>>"_qs);
    EXPECT_EQ(f.btnCities->toolTip(), u"Справочник городов"_qs);
    EXPECT_EQ(f.Slider1->Max(), 220);
    EXPECT_EQ(f.Slider1->Min(), 0);
    EXPECT_EQ(f.Slider1->Value(), 50) << "MenuTransp 205";
    EXPECT_EQ(f.Label1->text(), u"19 %"_qs);
    EXPECT_FALSE(f.Check1->isChecked());
    EXPECT_FALSE(f.Image4->isVisibleTo(&f)) << "the tray picture follows Check1";
    EXPECT_EQ(f.Label2->text(), u"1:23"_qs);

    // The location tab from fresh settings.
    struct Box {
        QComboBox *box;
        int count, index;
        QString text;
    } boxes[] = {
        {f.Combo7, 91, 55, u"55°"_qs},   {f.Combo8, 60, 45, u"45'"_qs},  {f.Combo9, 2, 0, u"С.ш."_qs},
        {f.Combo12, 181, 37, u"37°"_qs}, {f.Combo11, 60, 35, u"35'"_qs}, {f.Combo10, 2, 0, u"В.д."_qs},
    };
    for (const Box &b : boxes) {
        EXPECT_EQ(b.box->count(), b.count) << b.text.toStdString();
        EXPECT_EQ(b.box->currentIndex(), b.index) << b.text.toStdString();
        EXPECT_EQ(b.box->currentText(), b.text);
    }
    EXPECT_EQ(f.Text1->text(), u"Москва"_qs);

    f.Command1_Click();
    EXPECT_EQ(stored(AppState::Main, "MenuTransp"), u"205"_qs);
    EXPECT_EQ(stored(AppState::Main, "ToTray"), u"False"_qs);
    struct Key {
        const char *key;
        QString value;
    } keys[] = {{"CityName", u"Москва"_qs}, {"SGraduses", u"55"_qs}, {"SMinutes", u"45"_qs}, {"SM", u"1"_qs},
                {"DGraduses", u"37"_qs},    {"DMinutes", u"35"_qs},  {"DM", u"1"_qs}};
    for (const Key &k : keys)
        EXPECT_EQ(stored(AppState::Location, k.key), k.value) << k.key;
    EXPECT_FALSE(IsAutostart());
}

TEST_F(Options, StoredPlaceIsPresetAndConfirmedPlaceIsStored)
{
    struct Case {
        const char *what;
        std::vector<std::pair<const char *, QString>> settings;
        QList<int> indices; // 7, 8, 9, 12, 11, 10
        QString name;
    } cases[] = {
        {"south and west",
         {{"SGraduses", u"34"_qs},
          {"SMinutes", u"36"_qs},
          {"SM", u"-1"_qs},
          {"DGraduses", u"58"_qs},
          {"DMinutes", u"22"_qs},
          {"DM", u"-1"_qs},
          {"CityName", u"Буэнос-Айрес"_qs}},
         {34, 36, 1, 58, 22, 1},
         u"Буэнос-Айрес"_qs},
        {"out of range and broken values",
         {{"SGraduses", u"120"_qs},
          {"SMinutes", u"-4"_qs},
          {"DGraduses", u"x"_qs},
          {"DMinutes", u"75"_qs},
          {"SM", u"7"_qs}},
         {90, 0, 0, 37, 59, 0},
         u"Москва"_qs},
        {"an empty name", {{"CityName", QString()}}, {55, 45, 0, 37, 35, 0}, QString()},
    };
    for (const Case &c : cases) {
        TempProfile fresh;
        for (const auto &[k, v] : c.settings)
            SaveSetting(AppState::App, AppState::Location, QString::fromLatin1(k), v);
        OptionsForm f;
        const QList<int> got = {f.Combo7->currentIndex(),  f.Combo8->currentIndex(),  f.Combo9->currentIndex(),
                                f.Combo12->currentIndex(), f.Combo11->currentIndex(), f.Combo10->currentIndex()};
        EXPECT_EQ(got, c.indices) << c.what;
        EXPECT_EQ(f.Text1->text(), c.name) << c.what;
        f.Command1_Click();
        EXPECT_EQ(stored(AppState::Location, "CityName"), c.name) << c.what << ": an empty name is stored empty";
    }

    // A place chosen on the tab: the decimal coordinates follow.
    OptionsForm f;
    f.Combo7->setCurrentIndex(55);
    f.Combo8->setCurrentIndex(45);
    f.Combo9->setCurrentIndex(1);
    f.Combo12->setCurrentIndex(37);
    f.Combo11->setCurrentIndex(35);
    f.Combo10->setCurrentIndex(1);
    f.Command1_Click();
    EXPECT_DOUBLE_EQ(app().ObserverLatitude, -55.75);
    EXPECT_DOUBLE_EQ(app().ObserverLongitude, -37.5833);
    EXPECT_EQ(stored(AppState::Location, "SM"), u"-1"_qs);
    EXPECT_EQ(stored(AppState::Location, "DM"), u"-1"_qs);
}

TEST_F(Options, TrayAndAutostartBoxes)
{
    SetAutostart(true);
    {
        OptionsForm f;
        EXPECT_TRUE(f.Check2->isChecked());
        EXPECT_TRUE(f.Check1->isChecked()) << "starting with the session implies closing to the tray";
        EXPECT_FALSE(f.Check1->isEnabled());
        EXPECT_TRUE(f.Image4->isVisibleTo(&f));
        f.Check2->setChecked(false);
        EXPECT_TRUE(f.Check1->isEnabled());
        EXPECT_TRUE(f.Check1->isChecked()) << "its tick stays";
        f.Command1_Click();
    }
    EXPECT_FALSE(IsAutostart());
    EXPECT_TRUE(app().CloseToTray);
    EXPECT_EQ(stored(AppState::Main, "ToTray"), u"True"_qs);

    OptionsForm f;
    EXPECT_TRUE(f.Check1->isChecked());
    EXPECT_FALSE(f.Check2->isChecked());
    f.Check1->setChecked(false);
    EXPECT_FALSE(f.Image4->isVisibleTo(&f));
    f.Check2->setChecked(true);
    f.Command1_Click();
    EXPECT_TRUE(IsAutostart());
    SetAutostart(false);
}

TEST_F(Options, TheSliderSetsTheTransparencyLive)
{
    struct Case {
        int menuAlpha;
        int value;
        const char16_t *label;
    } cases[] = {{205, 50, u"19 %"}, {35, 220, u"86 %"}, {0, 0, u"0 %"}, {255, 0, u"0 %"}};
    for (const Case &c : cases) {
        app().MenuAlpha = c.menuAlpha;
        OptionsForm f;
        EXPECT_EQ(f.Slider1->Value(), c.value) << c.menuAlpha;
        EXPECT_EQ(f.Label1->text(), QString::fromUtf16(c.label)) << c.menuAlpha;
    }
    // Right at the end of the track stays there and still reports.
    app().MenuAlpha = 35;
    OptionsForm f;
    QTest::keyClick(f.Slider1, Qt::Key_Right);
    EXPECT_EQ(f.Slider1->Value(), 220);
    EXPECT_EQ(app().MenuAlpha, 35);
    QTest::keyClick(f.Slider1, Qt::Key_Left);
    EXPECT_EQ(app().MenuAlpha, 36) << "the running program follows at once";
    EXPECT_EQ(f.Label1->text(), u"85 %"_qs);
    f.Command2_Click();
    EXPECT_EQ(stored(AppState::Main, "MenuTransp"), u"<absent>"_qs) << "Отмена stores nothing";
    EXPECT_EQ(app().MenuAlpha, 36);
}

TEST_F(Options, EveryPageSitsAtTheSamePlace)
{
    OptionsForm f;
    f.SetTab(2);
    EXPECT_TRUE(f.Picture1[1]->isVisibleTo(&f));
    EXPECT_FALSE(f.Picture1[0]->isVisibleTo(&f));
    f.TabStrip1->setCurrentIndex(0); // a click on "Общие"
    EXPECT_TRUE(f.Picture1[0]->isVisibleTo(&f));
    EXPECT_FALSE(f.Picture1[1]->isVisibleTo(&f));
    EXPECT_EQ(f.Picture1[0]->pos(), f.Picture1[1]->pos());
    EXPECT_EQ(f.Picture1[0]->pos(), QPoint(13, 80)) << "200 and 1200 twips";
    f.SetTab(3); // "Дневник"
    EXPECT_TRUE(f.Picture1[2]->isVisibleTo(&f));
    EXPECT_FALSE(f.Picture1[0]->isVisibleTo(&f));
    EXPECT_EQ(f.Picture1[2]->pos(), f.Picture1[0]->pos());
    f.SetTab(4); // no such tab
    EXPECT_TRUE(f.Picture1[2]->isVisibleTo(&f));
}

// The diary's page: the reminder's settings read, shown and stored as the
// strings the settings store keeps; a value that cannot be read is said.
TEST_F(Options, TheReminderIsSetOnTheDiarysPage)
{
    SaveSetting(AppState::App, AppState::Main, "RemindTime", "25:99");
    SaveSetting(AppState::App, AppState::Main, "Remind", "1");
    {
        OptionsForm f;
        EXPECT_FALSE(f.remindBox->isChecked()) << "a time that cannot be read turns it off";
        EXPECT_TRUE(f.remindNote->text().contains(u"«25:99»"_qs)) << f.remindNote->text().toStdString();
        int tested = 0;
        OptionsForm::reminderTester() = [&] { ++tested; };
        f.remindTest->click();
        EXPECT_EQ(tested, 1);
        OptionsForm::reminderTester() = nullptr;
        f.remindBox->setChecked(true);
        f.remindTime->setTime(QTime(6, 45));
        for (int d = 6; d <= 7; ++d)
            f.remindDays[std::size_t(d - 1)]->setChecked(false);
        int saved = 0;
        OptionsForm::reminderSaved() = [&] { ++saved; };
        f.Command1_Click();
        OptionsForm::reminderSaved() = nullptr;
        EXPECT_EQ(saved, 1);
    }
    EXPECT_EQ(stored(AppState::Main, "Remind"), u"1"_qs);
    EXPECT_EQ(stored(AppState::Main, "RemindTime"), u"06:45"_qs);
    EXPECT_EQ(stored(AppState::Main, "RemindDays"), u"12345"_qs);
    OptionsForm again;
    EXPECT_TRUE(again.remindBox->isChecked());
    EXPECT_TRUE(again.remindNote->isHidden());
    EXPECT_EQ(again.remindTime->time(), QTime(6, 45));
    EXPECT_FALSE(again.remindDays[6]->isChecked());
}

// Spelling is on unless turned off; without the dictionary the page says so.
TEST_F(Options, SpellingIsOnAndTheMissingDictionaryIsNamed)
{
    {
        OptionsForm f;
        EXPECT_TRUE(f.spellBox->isChecked());
        f.spellBox->setChecked(false);
        f.Command1_Click();
    }
    EXPECT_EQ(stored(AppState::Main, "Spell"), u"0"_qs);
    QTemporaryDir empty;
    qputenv("SOMNEX_HUNSPELL_DIR", empty.path().toLocal8Bit());
    OptionsForm f;
    qunsetenv("SOMNEX_HUNSPELL_DIR");
    EXPECT_FALSE(f.spellBox->isChecked());
    EXPECT_FALSE(f.spellNote->isHidden());
    EXPECT_EQ(f.spellNote->text(), u"Словарь русского языка не установлен (hunspell-ru)"_qs);
}

TEST_F(Options, ChoosingInTheDirectoryThenCancellingStoresNothing)
{
    OptionsForm f;
    f.Text1->setText(u"Новосиб"_qs);
    f.Toolbar1_ButtonClick();
    location::SpravCity *d = f.cityDirectory();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowModality(), Qt::ApplicationModal);
    // The directory reads the shipped file when the build put it beside us;
    // otherwise the test gives it one.
    if (d->ListView1->topLevelItemCount() == 0) {
        d->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        d = new location::SpravCity(f.locationControls(), &f, QStringLiteral(SOMNEX_SHIPPED_CITY_CSV));
    }
    ASSERT_GT(d->ListView1->topLevelItemCount(), 300);
    d->Text1->setText(u"Новосибирск"_qs);
    d->Command1_Click();
    EXPECT_EQ(f.Text1->text(), u"Новосибирск"_qs);
    EXPECT_EQ(f.Combo7->currentIndex(), 55);
    EXPECT_EQ(f.Combo12->currentIndex(), 82);
    const QByteArray before = store();
    f.Command2_Click();
    EXPECT_EQ(store(), before);
    EXPECT_EQ(stored(AppState::Location, "CityName"), u"<absent>"_qs);
    EXPECT_DOUBLE_EQ(app().ObserverLatitude, 55.75);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(Options, DateAndTimeSettingsAndTheClock)
{
    OptionsForm f;
    auto &launcher = OptionsForm::dateTimeSettingsLauncher();
    const auto saved = launcher;
    int started = 0;
    for (bool found : {true, false}) {
        messages.clear();
        launcher = [&] {
            ++started;
            return found;
        };
        f.Command4_Click();
        EXPECT_EQ(messages.size(), found ? 0 : 1);
    }
    launcher = saved;
    EXPECT_EQ(started, 2);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].icon, MsgIcon::Warning);

    const QString before = QTime::currentTime().toString(u"HH:mm"_qs);
    f.Label2_DblClick();
    const QString after = QTime::currentTime().toString(u"HH:mm"_qs);
    EXPECT_TRUE(f.Label2->text() == before || f.Label2->text() == after) << f.Label2->text().toStdString();
}

TEST_F(Options, OneWindowOpenedOnTheTabAsked)
{
    OptionsForm *a = OptionsForm::open(OptionsTab::General, Qt::ApplicationModal, nullptr);
    EXPECT_EQ(a->TabStrip1->currentIndex(), 0);
    EXPECT_EQ(a->windowModality(), Qt::ApplicationModal);
    OptionsForm *b = OptionsForm::open(OptionsTab::Place, Qt::NonModal, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(b->TabStrip1->currentIndex(), 1);
    EXPECT_EQ(b->windowModality(), Qt::NonModal);
    b->Command2_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(OptionsForm::instance(), nullptr) << "closing unloads it";
}

TEST_F(Options, AnAutostartEntryTheDesktopTurnedOffCountsAsOff)
{
    const QString file = autostartFilePath(QString::fromLatin1(kAutostartName));
    struct Case {
        const char *what;
        const char *extra; // appended to the entry the program writes
        bool on;
    } cases[] = {
        {"as written", "", true},
        {"Hidden=true", "Hidden=true\n", false},
        {"Hidden=TRUE", "Hidden=TRUE\n", false},
        {"Hidden=false", "Hidden=false\n", true},
        {"GNOME switch off", "X-GNOME-Autostart-enabled=false\n", false},
        {"in another group", "[Desktop Action x]\nHidden=true\n", true},
    };
    for (const Case &c : cases) {
        SetAutostart(true);
        {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            QByteArray text = f.readAll();
            f.close();
            // the desktop's switch replaces the line the program wrote
            if (QByteArray(c.extra).startsWith("X-GNOME"))
                text.replace("X-GNOME-Autostart-enabled=true\n", "");
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(text + c.extra);
        }
        EXPECT_EQ(IsAutostart(), c.on) << c.what;
        OptionsForm form;
        EXPECT_EQ(form.Check2->isChecked(), c.on) << c.what;
        if (!c.on) {
            // ticking it again really turns it on
            form.Check2->setChecked(true);
            form.Command1_Click();
            EXPECT_TRUE(IsAutostart()) << c.what;
        }
    }
    SetAutostart(false);
}

TEST_F(Options, TheTranslucencyNoteSaysWhyItCannotBeHad)
{
    struct Case {
        const char *platform;
        int compositing;
        QString note; // empty: no note shown
    };
    const Case cases[] = {
        {"xcb", 0, u" (требуется композитный менеджер окон)"_qs},
        {"xcb", 1, {}},
        {"wayland", 1, u" (в сеансе Wayland прозрачность окон недоступна)"_qs},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.platform) + " " + std::to_string(c.compositing));
        setSessionPlatformOverride(QString::fromLatin1(c.platform));
        setCompositingOverride(c.compositing);
        OptionsForm f;
        EXPECT_EQ(f.TranspNote->isVisibleTo(&f), !c.note.isEmpty());
        if (!c.note.isEmpty()) {
            EXPECT_EQ(f.TranspNote->text(), c.note);
        }
    }
    setSessionPlatformOverride({});
    setCompositingOverride(-1);
}

TEST_F(Options, NoMinutesCanBeEnteredAtThePoleOrTheAntimeridian)
{
    OptionsForm f;
    f.Combo7->setCurrentIndex(89);
    f.Combo8->setCurrentIndex(30);
    EXPECT_EQ(f.Combo8->currentIndex(), 30) << "89°30' is a latitude";
    f.Combo7->setCurrentIndex(90);
    EXPECT_EQ(f.Combo8->currentIndex(), 0) << "90° takes no minutes";
    f.Combo8->setCurrentIndex(20);
    EXPECT_EQ(f.Combo8->currentIndex(), 0);
    f.Combo12->setCurrentIndex(180);
    f.Combo11->setCurrentIndex(40);
    EXPECT_EQ(f.Combo11->currentIndex(), 0);
    f.Command1_Click();
    EXPECT_EQ(stored(AppState::Location, "SMinutes"), u"0"_qs);
    EXPECT_EQ(stored(AppState::Location, "DMinutes"), u"0"_qs);
    EXPECT_DOUBLE_EQ(app().ObserverLatitude, 90.0);
    EXPECT_DOUBLE_EQ(app().ObserverLongitude, 180.0);
}
