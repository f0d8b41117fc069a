#include "options/optionsform/OptionsForm.h"

#include "appstate/AppState.h"
#include "appstate/Autostart.h"
#include "appstate/Reminder.h"
#include "location/core/Location.h"
#include "options/slider/Slider.h"
#include "options/slider/SliderGeometry.h"
#include "platform/core/Clock.h"
#include "platform/core/Identity.h"
#include "platform/core/Messages.h"
#include "platform/core/ProgramFolders.h"
#include "platform/core/RussianDates.h"
#include "platform/core/Settings.h"
#include "platform/core/Twips.h"
#include "platform/error/Error.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/Session.h"
#include "support/Artwork.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTime>
#include <QTimeEdit>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace somnex::options {

namespace {

QPointer<OptionsForm> g_instance;

constexpr int kWidthPx = 460;
constexpr int kHeightPx = 330;
constexpr int kPageWidthPx = kWidthPx - 2 * 13;
constexpr int kPageHeightPx = 200;

void fillNumbers(QComboBox *box, int last, const QString &mark)
{
    box->clear();
    QStringList items;
    items.reserve(last + 1);
    for (int i = 0; i <= last; ++i)
        items << QString::number(i) + mark;
    box->addItems(items);
}

} // namespace

OptionsForm::OptionsForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OptionsForm"));
    setWindowTitle(QStringLiteral("Настройки"));
    setWindowIcon(appIcon());

    Heading = new QLabel(QStringLiteral("Настройки программы"), this);
    Heading->setStyleSheet(QStringLiteral(
        "QLabel { color: white; font-weight: bold; padding: 4px 8px;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4a67c2, stop:0.5 #2c438f, stop:1 #1d2d68); }"));

    TabStrip1 = new QTabBar(this);
    TabStrip1->addTab(artworkIcon(QStringLiteral("hlp")), QStringLiteral("Общие"));
    TabStrip1->addTab(QStringLiteral("Настройки местности"));
    TabStrip1->addTab(QStringLiteral("Дневник"));
    TabStrip1->setExpanding(false);
    TabStrip1->setDrawBase(true);

    for (int i = 0; i < int(Picture1.size()); ++i) {
        Picture1[i] = new QWidget(this);
        Picture1[i]->setObjectName(QStringLiteral("Picture1_%1").arg(i));
    }
    buildGeneralPage(Picture1[0]);
    buildLocationPage(Picture1[1]);
    buildDiaryPage(Picture1[2]);

    Command1 = new QPushButton(QStringLiteral("Ok"), this);
    Command2 = new QPushButton(QStringLiteral("Отмена"), this);
    Command1->setDefault(true);
    placeControls();

    connect(TabStrip1, &QTabBar::currentChanged, this, [this] { TabStrip1_Click(); });
    connect(Check1, &QCheckBox::toggled, this, [this] { Check1_Click(); });
    connect(Check2, &QCheckBox::toggled, this, [this] { Check2_Click(); });
    connect(Slider1, &Slider::Scroll, this, &OptionsForm::Slider1_Scroll);
    connect(Command1, &QPushButton::clicked, this, &OptionsForm::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &OptionsForm::Command2_Click);
    connect(Command4, &QPushButton::clicked, this, &OptionsForm::Command4_Click);
    connect(btnCities, &QAction::triggered, this, &OptionsForm::Toolbar1_ButtonClick);
    Slider1->installEventFilter(this);
    Label2->installEventFilter(this);
    const std::pair<QObject *, const char *> names[] = {
        {TabStrip1, "TabStrip1"}, {Check1, "Check1"},       {Check2, "Check2"},    {Slider1, "Slider1"},
        {Text1, "Text1"},         {btnCities, "btnCities"}, {Combo7, "Combo7"},    {Combo8, "Combo8"},
        {Combo9, "Combo9"},       {Combo10, "Combo10"},     {Combo11, "Combo11"},  {Combo12, "Combo12"},
        {Command1, "Command1"},   {Command2, "Command2"},   {Command4, "Command4"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));

    Form_Load();
    TabStrip1_Click();
}

OptionsForm::~OptionsForm() = default;

void OptionsForm::placeControls()
{
    // The window's size at the usual font; a larger font makes it grow
    // until every caption fits.
    const int headH = std::max(26, Heading->sizeHint().height());
    const int tabTop = headH + 20;
    const int tabH = TabStrip1->sizeHint().height();
    pageTop_ = std::max(TwipsToPixels(kPageTop), tabTop + tabH + 4);
    QSize page(kPageWidthPx, kPageHeightPx);
    for (QWidget *p : Picture1)
        page = page.expandedTo(p->sizeHint());
    const int bw = std::max({90, Command1->sizeHint().width(), Command2->sizeHint().width()});
    const int bh = Command1->sizeHint().height();
    const int width = std::max(kWidthPx, page.width() + 2 * 13);
    const int height = std::max(kHeightPx, pageTop_ + page.height() + 12 + bh + 12);
    setFixedSize(width, height);
    Heading->setGeometry(0, 0, width, headH);
    TabStrip1->setGeometry(TwipsToPixels(kPageLeft), tabTop, width - 2 * 13, tabH);
    for (QWidget *p : Picture1)
        p->resize(width - 2 * 13, page.height());
    Command2->setGeometry(width - 13 - bw, height - 12 - bh, bw, bh);
    Command1->setGeometry(width - 13 - 2 * bw - 8, height - 12 - bh, bw, bh);
}

void OptionsForm::buildGeneralPage(QWidget *page)
{
    Check1 = new QCheckBox(QStringLiteral("&При закрытии сворачиваться в область уведомлений"), page);
    Check2 = new QCheckBox(QStringLiteral("&Автоматически загружаться при входе в систему"), page);
    Image4 = new QLabel(page);
    Image4->setPixmap(artworkPixmap(QStringLiteral("tray-area"), {150, 30}, devicePixelRatioF()));
    Image4->setFixedSize(150, 30);
    Image4->setToolTip(QStringLiteral("При закрытии программа остаётся значком в области уведомлений"));
    Label2 = new QLabel(QStringLiteral("1:23"), Image4);
    Label2->setStyleSheet(QStringLiteral("QLabel { color: white; }"));
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setGeometry(106, 0, 44, 30);
    Label3 = new QLabel(QStringLiteral("Про&зрачность контекстного меню:"), page);
    // Translucency needs a compositing manager on X11 and cannot be had on
    // Wayland; the note says why where the slider would change nothing.
    const QString note = CurrentSessionTraits().translucencyNote;
    TranspNote = new QLabel(note.isEmpty() ? QStringLiteral(" (требуется композитный менеджер окон)") : note, page);
    TranspNote->setVisible(!note.isEmpty());
    Slider1 = new Slider(page);
    Label3->setBuddy(Slider1);
    Slider1->setFixedHeight(24);
    Slider1->setValueText([](int v) { return QString::number(transparencyPercent(v)) + QStringLiteral(" %"); });
    Label1 = new QLabel(QStringLiteral("0 %"), page);
    Label1->setMinimumWidth(48);

    auto *v = new QVBoxLayout(page);
    v->setContentsMargins(10, 10, 10, 6);
    v->addWidget(Check1);
    auto *tray = new QHBoxLayout;
    tray->addSpacing(22);
    tray->addWidget(Image4);
    tray->addStretch();
    v->addLayout(tray);
    v->addSpacing(6);
    v->addWidget(Check2);
    v->addSpacing(12);
    v->addWidget(Label3);
    v->addWidget(TranspNote);
    auto *slider = new QHBoxLayout;
    slider->addWidget(Slider1, 1);
    slider->addWidget(Label1);
    v->addLayout(slider);
    v->addStretch();
}

void OptionsForm::buildDiaryPage(QWidget *page)
{
    buildReminderControls(page);
    spellBox = new QCheckBox(QStringLiteral("Проверять &орфографию в тексте сна"), page);
    spellBox->setObjectName(QStringLiteral("spellBox"));
    spellNote = new QLabel(QStringLiteral("Словарь русского языка не установлен (hunspell-ru)"), page);
    spellNote->setObjectName(QStringLiteral("spellNote"));
    spellNote->setVisible(!SpellingDictionaryInstalled());
    auto *about = new QLabel(QStringLiteral("Утром, пока сон не забылся, программа напомнит записать его, если за "
                                            "прошедшую ночь в дневнике ещё нет записи."),
                             page);
    about->setWordWrap(true);

    auto *timeLabel = new QLabel(QStringLiteral("&Время:"), page);
    timeLabel->setBuddy(remindTime);
    auto *time = new QHBoxLayout;
    time->addSpacing(22);
    time->addWidget(timeLabel);
    time->addWidget(remindTime);
    time->addStretch();
    time->addWidget(remindTest);
    auto *days = new QHBoxLayout;
    days->addSpacing(22);
    days->addWidget(new QLabel(QStringLiteral("Дни:"), page));
    for (QCheckBox *d : remindDays)
        days->addWidget(d);
    days->addStretch();
    auto *v = new QVBoxLayout(page);
    v->setContentsMargins(10, 10, 10, 6);
    v->addWidget(about);
    v->addSpacing(6);
    v->addWidget(remindBox);
    v->addLayout(time);
    v->addLayout(days);
    v->addWidget(remindNote);
    v->addSpacing(12);
    v->addWidget(spellBox);
    v->addWidget(spellNote);
    v->addSpacing(12);
    v->addLayout(buildPrivacyControls(page));
    v->addStretch();
    loadDiaryPage();
}

// A private diary: its password (in the diary's own dialog) and the idle
// time after which it closes.
QLayout *OptionsForm::buildPrivacyControls(QWidget *page)
{
    privacyButton = new QPushButton(QStringLiteral("&Пароль дневника…"), page);
    privacyButton->setObjectName(QStringLiteral("privacyButton"));
    privacyButton->setToolTip(QStringLiteral("Закрыть дневник паролем, сменить или снять пароль"));
    connect(privacyButton, &QPushButton::clicked, this, [] {
        if (privacyOpener())
            privacyOpener()();
    });
    lockMinutes = new QSpinBox(page);
    lockMinutes->setObjectName(QStringLiteral("lockMinutes"));
    lockMinutes->setRange(0, 1440);
    lockMinutes->setSuffix(QStringLiteral(" мин"));
    lockMinutes->setSpecialValueText(QStringLiteral("никогда"));
    auto *lockLabel = new QLabel(QStringLiteral("Закрывать личный дневник без действий через:"), page);
    lockLabel->setBuddy(lockMinutes);
    auto *note = new QLabel(QStringLiteral("В личном дневнике шифруется всё, что вы написали; открытыми остаются "
                                           "моменты снов, лунные дни и отметки. Он закрывается и при блокировке "
                                           "экрана."),
                            page);
    note->setWordWrap(true);
    auto *row = new QHBoxLayout;
    row->addWidget(privacyButton);
    row->addStretch();
    row->addWidget(lockLabel);
    row->addWidget(lockMinutes);
    auto *v = new QVBoxLayout;
    v->addLayout(row);
    v->addWidget(note);
    return v;
}

// The reminder's controls: on or off, the time, the days, "Проверить".
void OptionsForm::buildReminderControls(QWidget *page)
{
    remindBox = new QCheckBox(QStringLiteral("&Напоминать записать сон"), page);
    remindBox->setObjectName(QStringLiteral("remindBox"));
    remindTime = new QTimeEdit(page);
    remindTime->setObjectName(QStringLiteral("remindTime"));
    remindTime->setDisplayFormat(QStringLiteral("HH:mm"));
    remindTime->setAccessibleName(QStringLiteral("Время напоминания"));
    for (int d = 0; d < 7; ++d) {
        remindDays[std::size_t(d)] = new QCheckBox(dates::weekdayShort(d + 1), page);
        remindDays[std::size_t(d)]->setObjectName(QStringLiteral("remindDay%1").arg(d + 1));
        remindDays[std::size_t(d)]->setAccessibleName(dates::weekdayName(d + 1));
    }
    remindTest = new QPushButton(QStringLiteral("П&роверить"), page);
    remindTest->setObjectName(QStringLiteral("remindTest"));
    remindTest->setToolTip(QStringLiteral("Показать напоминание сейчас"));
    remindNote = new QLabel(page);
    remindNote->setObjectName(QStringLiteral("remindNote"));
    remindNote->setWordWrap(true);
    connect(remindTest, &QPushButton::clicked, this, [] {
        if (reminderTester())
            reminderTester()();
    });
    connect(remindBox, &QCheckBox::toggled, this, [this](bool on) {
        remindTime->setEnabled(on);
        for (QCheckBox *d : remindDays)
            d->setEnabled(on);
    });
}

void OptionsForm::loadDiaryPage()
{
    const ReminderSettings r = ReminderSettings::load(
        [](const QString &key, const QString &def) { return GetSetting(settings::kApp, settings::kMain, key, def); });
    remindBox->setChecked(r.on);
    remindTime->setTime(r.time);
    for (int d = 0; d < 7; ++d)
        remindDays[std::size_t(d)]->setChecked(r.days.contains(d + 1));
    remindNote->setText(r.problem);
    remindNote->setVisible(!r.problem.isEmpty());
    remindTime->setEnabled(r.on);
    for (QCheckBox *d : remindDays)
        d->setEnabled(r.on);
    spellBox->setChecked(
        GetSetting(settings::kApp, settings::kMain, QString::fromLatin1(settings::key::Spell), QStringLiteral("1"))
        != QLatin1String("0"));
    bool ok = false;
    const int minutes =
        GetSetting(settings::kApp, settings::kMain, QString::fromLatin1(settings::key::DiaryLock), QStringLiteral("10"))
            .toInt(&ok);
    lockMinutes->setValue(ok && minutes >= 0 && minutes <= 1440 ? minutes : 10);
}

void OptionsForm::saveDiaryPage()
{
    ReminderSettings r;
    r.on = remindBox->isChecked();
    r.time = remindTime->time();
    r.days.clear();
    for (int d = 0; d < 7; ++d)
        if (remindDays[std::size_t(d)]->isChecked())
            r.days.insert(d + 1);
    if (r.days.isEmpty())
        r.on = false; // no day to remind on
    r.save([](const QString &key, const QString &value) { SaveSetting(settings::kApp, settings::kMain, key, value); });
    SaveSetting(settings::kApp, settings::kMain, QString::fromLatin1(settings::key::Spell),
                spellBox->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    SaveSetting(settings::kApp, settings::kMain, QString::fromLatin1(settings::key::DiaryLock),
                QString::number(lockMinutes->value()));
    if (reminderSaved())
        reminderSaved()();
}

std::function<void()> &OptionsForm::privacyOpener()
{
    static std::function<void()> f;
    return f;
}

std::function<void()> &OptionsForm::reminderTester()
{
    static std::function<void()> f;
    return f;
}

std::function<void()> &OptionsForm::reminderSaved()
{
    static std::function<void()> f;
    return f;
}

void OptionsForm::buildLocationPage(QWidget *page)
{
    auto *group = new QLabel(QStringLiteral("Населенный пункт"), page);
    QFont bold = group->font();
    bold.setBold(true);
    group->setFont(bold);
    auto *nameLabel = new QLabel(QStringLiteral("&Название:"), page);
    Text1 = new QLineEdit(page);
    nameLabel->setBuddy(Text1);
    Toolbar1 = new QToolBar(page);
    Toolbar1->setAccessibleName(QStringLiteral("Справочник городов"));
    Toolbar1->setIconSize({16, 16});
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    btnCities = Toolbar1->addAction(QStringLiteral(">>>"));
    btnCities->setToolTip(QStringLiteral("Справочник городов"));
    auto *latLabel = new QLabel(QStringLiteral("&Широта:"), page);
    auto *lonLabel = new QLabel(QStringLiteral("&Долгота:"), page);
    for (QComboBox **c : {&Combo7, &Combo8, &Combo9, &Combo12, &Combo11, &Combo10}) {
        *c = new QComboBox(page);
        (*c)->setMaxVisibleItems(15);
    }
    // At 90° of latitude or 180° of longitude the minutes are held to 0.
    auto holdMinutes = [](QComboBox *degrees, QComboBox *minutes, qint16 max) {
        auto hold = [=] {
            if (minutes->count() > 0 && location::leadingNumber(degrees->currentText()) >= max
                && minutes->currentIndex() != 0)
                minutes->setCurrentIndex(0);
        };
        connect(degrees, &QComboBox::currentIndexChanged, minutes, hold);
        connect(minutes, &QComboBox::currentIndexChanged, minutes, hold);
    };
    holdMinutes(Combo7, Combo8, location::kMaxLatitudeDegrees);
    holdMinutes(Combo12, Combo11, location::kMaxLongitudeDegrees);
    latLabel->setBuddy(Combo7);
    lonLabel->setBuddy(Combo12);
    Command4 = new QPushButton(QStringLiteral("Настройка даты, &времени и часового пояса"), page);

    auto *g = new QGridLayout;
    g->setHorizontalSpacing(6);
    g->addWidget(nameLabel, 0, 0);
    g->addWidget(Text1, 0, 1, 1, 3);
    g->addWidget(Toolbar1, 0, 4);
    g->addWidget(latLabel, 1, 0);
    g->addWidget(Combo7, 1, 1);
    g->addWidget(Combo8, 1, 2);
    g->addWidget(Combo9, 1, 3);
    g->addWidget(lonLabel, 2, 0);
    g->addWidget(Combo12, 2, 1);
    g->addWidget(Combo11, 2, 2);
    g->addWidget(Combo10, 2, 3);
    g->setColumnStretch(5, 1);

    auto *v = new QVBoxLayout(page);
    v->setContentsMargins(10, 8, 10, 6);
    v->addWidget(group);
    v->addLayout(g);
    v->addSpacing(10);
    auto *zone = new QHBoxLayout;
    zone->addWidget(Command4);
    zone->addStretch();
    v->addLayout(zone);
    v->addStretch();
}

OptionsForm *OptionsForm::instance()
{
    return g_instance;
}

OptionsForm *OptionsForm::open(OptionsTab tab, Qt::WindowModality modality, QWidget *owner)
{
    if (!g_instance) {
        g_instance = new OptionsForm(owner);
        g_instance->setAttribute(Qt::WA_DeleteOnClose);
    }
    OptionsForm *f = g_instance;
    f->SetTab(static_cast<qint16>(tab));
    if (f->windowModality() != modality) {
        // The modality of a shown window changes only when it is shown again.
        const bool wasVisible = f->isVisible();
        if (wasVisible)
            f->hide();
        f->setWindowModality(modality);
    }
    f->show();
    f->raise();
    f->activateWindow();
    return f;
}

std::function<bool()> &OptionsForm::dateTimeSettingsLauncher()
{
    static std::function<bool()> launcher = [] { return OpenDateTimeSettings(); };
    return launcher;
}

void OptionsForm::Form_Load()
{
    AppState &s = app();
    // The transparency slider's range.
    Slider1->Max(220);
    Slider1->Min(0);
    // The second tab's caption, without a picture.
    TabStrip1->setTabText(1, QStringLiteral("Настройки местности"));
    TabStrip1->setTabIcon(1, QIcon());
    // The two boxes from the stored state; setting a box runs its handler
    // when the value changes.
    Check1->setChecked(s.CloseToTray);
    bool autostart = false;
    tryStep([&] { autostart = IsAutostart(); });
    Check2->setChecked(autostart);
    // The picture beside the tray box follows it.
    Check1_Click();
    // The menu's transparency on the slider; a stored 0 counts as opaque.
    if (s.MenuAlpha == 0)
        s.MenuAlpha = 255;
    Slider1->Value(sliderValueForMenuAlpha(s.MenuAlpha));
    Slider1_Scroll(Slider1->Value());
    // The place of observation.
    CityIni();
}

void OptionsForm::SetTab(qint16 n)
{
    const int index = n - 1;
    if (index < 0 || index >= TabStrip1->count())
        return;
    if (TabStrip1->currentIndex() == index)
        TabStrip1_Click();
    else
        TabStrip1->setCurrentIndex(index); // runs TabStrip1_Click
}

void OptionsForm::TabStrip1_Click()
{
    for (QWidget *p : Picture1) {
        p->hide();
        p->move(TwipsToPixels(kPageLeft), pageTop_);
    }
    const int index = TabStrip1->currentIndex();
    if (index >= 0 && index < int(Picture1.size()))
        Picture1[index]->show();
}

void OptionsForm::Check1_Click()
{
    Image4->setVisible(Check1->isChecked());
}

void OptionsForm::Check2_Click()
{
    if (Check2->isChecked()) {
        Check1->setChecked(true);
        Check1->setEnabled(false);
    } else {
        Check1->setEnabled(true);
    }
}

void OptionsForm::Slider1_Scroll(int value)
{
    app().MenuAlpha = menuAlphaForSliderValue(value);
    Label1->setText(QString::number(transparencyPercent(value)) + QStringLiteral(" %"));
}

void OptionsForm::Slider1_GotFocus()
{
    Slider1->UserControl_GotFocus();
}

void OptionsForm::Slider1_LostFocus()
{
    Slider1->UserControl_LostFocus();
}

void OptionsForm::Command1_Click()
{
    try {
        ApplySettings();
    } catch (...) {
        ShowMessage(describe(std::current_exception()), QStringLiteral("ApplySettings"), MsgIcon::Error);
    }
    Command2_Click();
}

void OptionsForm::Command2_Click()
{
    done(QDialog::Rejected);
}

void OptionsForm::Command4_Click()
{
    bool started = false;
    tryStep([&] { started = dateTimeSettingsLauncher() && dateTimeSettingsLauncher()(); });
    if (!started)
        ShowMessage(QStringLiteral("Не найдена программа настройки даты, времени и часового пояса.\n"
                                   "Измените их средствами вашего рабочего стола."),
                    QStringLiteral("Настройки"), MsgIcon::Warning);
}

location::LocationControls OptionsForm::locationControls() const
{
    return {Text1, Combo7, Combo8, Combo9, Combo10, Combo11, Combo12};
}

void OptionsForm::Toolbar1_ButtonClick()
{
    if (cityDirectory_) {
        cityDirectory_->raise();
        cityDirectory_->activateWindow();
        return;
    }
    auto *d = new location::SpravCity(locationControls(), this);
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->setWindowModality(Qt::ApplicationModal);
    cityDirectory_ = d;
    d->show();
}

void OptionsForm::Label2_DblClick()
{
    Label2->setText(Clock::current().now().time().toString(QStringLiteral("HH:mm")));
}

void OptionsForm::CityIni()
{
    const location::Location place = location::Location::load(GetSetting);
    // Latitude: degrees and minutes.
    fillNumbers(Combo8, location::kMaxMinutes, QStringLiteral("'"));
    fillNumbers(Combo11, location::kMaxMinutes, QStringLiteral("'"));
    fillNumbers(Combo7, location::kMaxLatitudeDegrees, QStringLiteral("°"));
    Combo7->setCurrentIndex(location::clampIndex(place.latDegrees, Combo7->count() - 1));
    Combo8->setCurrentIndex(location::clampIndex(place.latMinutes, Combo8->count() - 1));
    // Latitude: the hemisphere.
    Combo9->clear();
    Combo9->addItems({QStringLiteral("С.ш."), QStringLiteral("Ю.ш.")});
    Combo9->setCurrentIndex(place.latHemisphere == 1 ? 0 : 1);
    // Longitude: degrees and minutes.
    fillNumbers(Combo12, location::kMaxLongitudeDegrees, QStringLiteral("°"));
    Combo11->setCurrentIndex(location::clampIndex(place.lonMinutes, Combo11->count() - 1));
    Combo12->setCurrentIndex(location::clampIndex(place.lonDegrees, Combo12->count() - 1));
    // Longitude: the hemisphere.
    Combo10->clear();
    Combo10->addItems({QStringLiteral("В.д."), QStringLiteral("З.д.")});
    Combo10->setCurrentIndex(place.lonHemisphere == 1 ? 0 : 1);
    // The city's name.
    Text1->setText(location::readCityName(GetSetting));
}

void OptionsForm::ApplySettings()
{
    SettingsBatch batch;
    AppState &s = app();
    // The place from the location tab.
    location::Location place;
    place.cityName = Text1->text();
    place.lonDegrees = location::leadingNumber(Combo12->currentText());
    place.lonMinutes = location::leadingNumber(Combo11->currentText());
    place.lonHemisphere = location::SignOf(Combo10->currentIndex());
    place.latDegrees = location::leadingNumber(Combo7->currentText());
    place.latMinutes = location::leadingNumber(Combo8->currentText());
    place.latHemisphere = location::SignOf(Combo9->currentIndex());
    place.hold();
    place.save(SaveSetting);
    s.ObserverLongitude = place.longitude().toDouble();
    s.ObserverLatitude = place.latitude().toDouble();
    // Closing to the tray.
    s.CloseToTray = Check1->isChecked();
    SaveSetting(settings::kApp, settings::kMain, settings::key::ToTray, boolText(s.CloseToTray));
    // The menu's transparency.
    SaveSetting(settings::kApp, settings::kMain, settings::key::MenuTransp, QString::number(s.MenuAlpha));
    // Starting with the desktop session.
    SetAutostart(Check2->isChecked());
    saveDiaryPage();
}

void OptionsForm::done(int result)
{
    if (cityDirectory_)
        cityDirectory_->close();
    // Whoever hears the window close may let events through, the window's
    // deletion among them: nothing of it is touched once it is gone.
    const QPointer<OptionsForm> self(this);
    const bool deleteOnClose = testAttribute(Qt::WA_DeleteOnClose);
    QDialog::done(result);
    if (self && deleteOnClose)
        deleteLater();
}

bool OptionsForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Slider1) {
        if (event->type() == QEvent::FocusIn)
            Slider1_GotFocus();
        else if (event->type() == QEvent::FocusOut)
            Slider1_LostFocus();
    } else if (watched == Label2 && event->type() == QEvent::MouseButtonDblClick) {
        Label2_DblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace somnex::options
