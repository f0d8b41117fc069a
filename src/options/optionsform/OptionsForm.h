#pragma once
// The options window: closing to the notification area, starting with the
// desktop session and the tray menu's transparency on the "Общие" tab, the
// observer's place on the "Настройки местности" tab. "Ok" stores both tabs,
// "Отмена" stores nothing (the transparency follows the slider live either
// way, for the running program).

#include "location/spravcity/SpravCity.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QLayout;
class QPushButton;
class QSpinBox;
class QTabBar;

class QTimeEdit;
class QToolBar;
class QAction;

namespace somnex::options {

class Slider;

// The options window's tabs.
enum class OptionsTab : qint16 { General = 1, Place = 2, Diary = 3 };

class OptionsForm : public QDialog {
    Q_OBJECT

public:
    // Builds the window and runs its load.
    explicit OptionsForm(QWidget *parent = nullptr);
    ~OptionsForm() override;

    // The one options window of the program, created on first use, shown on
    // the tab given, application-modal or modeless. It unloads when it closes.
    static OptionsForm *open(OptionsTab tab, Qt::WindowModality modality, QWidget *owner);
    static OptionsForm *instance();

    // Opens the desktop's date and time settings; false when none was found.
    // Tests put a recorder in its place.
    static std::function<bool()> &dateTimeSettingsLauncher();

    void Form_Load();
    void SetTab(qint16 n);
    void TabStrip1_Click();
    void Check1_Click();
    void Check2_Click();
    void Slider1_Scroll(int value);
    void Slider1_GotFocus();
    void Slider1_LostFocus();
    void Command1_Click(); // "Ok"
    void Command2_Click(); // "Отмена"
    void Command4_Click(); // the date and time settings
    void Toolbar1_ButtonClick();
    void Label2_DblClick();
    void ApplySettings();
    void CityIni();

    // The city directory while it is open over this window.
    location::SpravCity *cityDirectory() const { return cityDirectory_; }
    location::LocationControls locationControls() const;

    // Page placement, twips.
    static constexpr int kPageLeft = 200;
    static constexpr int kPageTop = 1200;

    QLabel *Heading = nullptr;
    QTabBar *TabStrip1 = nullptr;
    std::array<QWidget *, 3> Picture1{}; // the pages: 0 "Общие", 1 "Настройки местности", 2 "Дневник"
    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QLabel *Label3 = nullptr;     // "Прозрачность контекстного меню:"
    QLabel *TranspNote = nullptr; // shown when the desktop cannot draw translucency
    Slider *Slider1 = nullptr;
    QLabel *Label1 = nullptr; // the percentage
    QLabel *Image4 = nullptr; // the notification-area illustration
    QLabel *Label2 = nullptr; // its clock
    QLineEdit *Text1 = nullptr;
    QComboBox *Combo7 = nullptr, *Combo8 = nullptr, *Combo9 = nullptr;
    QComboBox *Combo10 = nullptr, *Combo11 = nullptr, *Combo12 = nullptr;
    QToolBar *Toolbar1 = nullptr;
    QAction *btnCities = nullptr;
    QPushButton *Command4 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    // The diary's page: the morning reminder.
    QCheckBox *remindBox = nullptr;
    QTimeEdit *remindTime = nullptr;
    std::array<QCheckBox *, 7> remindDays{}; // Monday first
    QPushButton *remindTest = nullptr;       // "Проверить"
    QLabel *remindNote = nullptr;            // why a stored value was not taken
    QCheckBox *spellBox = nullptr;           // "Проверять орфографию"
    QLabel *spellNote = nullptr;             // the dictionary is not installed
    QSpinBox *lockMinutes = nullptr;         // a private diary closes after this idle time (0: never)
    QPushButton *privacyButton = nullptr;    // "Пароль дневника…"

    // What "Проверить" does (one reminder now) and what follows saving the
    // reminder's settings; the program sets them.
    static std::function<void()> &reminderTester();
    static std::function<void()> &reminderSaved();
    // What "Пароль дневника…" opens; the program sets it.
    static std::function<void()> &privacyOpener();

public slots:
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildGeneralPage(QWidget *page);
    void buildLocationPage(QWidget *page);
    void buildDiaryPage(QWidget *page);
    void buildReminderControls(QWidget *page);
    QLayout *buildPrivacyControls(QWidget *page);
    void loadDiaryPage();
    void saveDiaryPage();
    void placeControls();
    int pageTop_ = 0; // where the pages start, below the tabs

    QPointer<location::SpravCity> cityDirectory_;
};

} // namespace somnex::options
