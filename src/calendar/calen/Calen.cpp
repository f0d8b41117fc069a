#include "calendar/calen/Calen.h"

#include "calendar/phase/PhasePicture.h"
#include "calendar/picker/DateTimePicker.h"
#include "calendar/tables/DreamTables.h"
#include "location/core/Location.h"
#include "options/optionsform/OptionsForm.h"
#include "platform/core/Clock.h"
#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "platform/core/Worker.h"
#include "platform/error/Error.h"
#include "platform/ui/Desktop.h"
#include "support/Artwork.h"
#include "support/ClickLabel.h"
#include "support/Process.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace somnex::calendar {

namespace {

QPointer<Calen> g_instance;

constexpr int kPictureSize = 64; // the phase pictures as drawn
constexpr int kShownWidth = 32;  // as shown

double nowLocal()
{
    const QDateTime now = Clock::current().now();
    return toDateValue(now.date(), now.time());
}

FontDescription describeFont(const QFont &f)
{
    const QFontInfo info(f);
    FontDescription d;
    d.face = info.family();
    d.size = f.pointSizeF() > 0 ? f.pointSizeF() : info.pointSizeF();
    d.weight = info.weight();
    d.italic = info.italic();
    d.underline = f.underline();
    d.strikethrough = f.strikeOut();
    return d;
}

QPlainTextEdit *textBox(QWidget *parent, int lines)
{
    auto *t = new QPlainTextEdit(parent);
    t->setReadOnly(true);
    // read with the keyboard too: Tab stops here and leaves again
    t->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    t->setFocusPolicy(Qt::StrongFocus);
    t->setTabChangesFocus(true);
    t->setFrameShape(QFrame::StyledPanel);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int lineHeight = t->fontMetrics().lineSpacing();
    t->setFixedHeight(lines * lineHeight + 12);
    return t;
}

QFrame *rule(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

Calen::Calen(QWidget *owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("Calen"));
    setWindowTitle(QStringLiteral("Календарь сбываемости снов"));
    setWindowIcon(artworkIcon(QStringLiteral("calen")));
    buildControls();

    // the timers are found by their names like the controls
    const std::pair<QTimer **, const char *> timers[] = {{&Timer1, "Timer1"},
                                                         {&Timer2, "Timer2"},
                                                         {&Timer3, "Timer3"},
                                                         {&Timer4, "Timer4"}};
    for (auto [timer, name] : timers) {
        *timer = new QTimer(this);
        (*timer)->setObjectName(QString::fromLatin1(name));
    }
    Timer1->setInterval(2000);
    Timer2->setInterval(300);
    Timer3->setInterval(500);
    Timer4->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &Calen::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &Calen::Timer2_Timer);
    connect(Timer3, &QTimer::timeout, this, &Calen::Timer3_Timer);
    connect(Timer4, &QTimer::timeout, this, &Calen::Timer4_Timer);

    // The window sees keys before its controls do.
    qApp->installEventFilter(this);
    // Known as the calendar before the load: the load lets events run, and a
    // second request to open the calendar must find this one.
    g_instance = this;
    Form_Load();
}

Calen::~Calen()
{
    if (DTPicker1)
        DTPicker1->Destroy();
    if (DTPicker2)
        DTPicker2->Destroy();
}

void Calen::buildControls()
{
    QWidget *strip = buildHeadingStrip();
    auto *prompt = new QLabel(QStringLiteral("Введите дату и приблизительное время, когда приснился сон:"), this);
    prompt->setWordWrap(true);
    QLayout *pickers = buildPickerRow();
    QLayout *grid = buildAnswerGrid();
    QLayout *place = buildPlaceRow();
    auto *note =
        new QLabel(QStringLiteral(
                       "Сны, приснившиеся в канун больших церковных праздников зачастую обладают важным смыслом."),
                   this);
    note->setWordWrap(true);
    QFont nf = note->font();
    nf.setItalic(true);
    note->setFont(nf);

    // Working storage of the boundaries, never shown.
    List2 = new QListWidget(this);
    List2->setObjectName(QStringLiteral("List2"));
    List2->hide();

    auto *body = new QVBoxLayout;
    body->setContentsMargins(10, 8, 10, 10);
    body->setSpacing(6);
    body->addWidget(prompt);
    body->addLayout(pickers);
    body->addWidget(rule(this));
    body->addLayout(grid);
    body->addWidget(rule(this));
    body->addLayout(place);
    body->addWidget(note);

    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    v->addWidget(strip);
    v->addLayout(body);
    v->addStretch(1);
    // every button of the tool bar in sight, whatever the font
    Toolbar1->setMinimumWidth(Toolbar1->sizeHint().width());
    resize(std::max(470, sizeHint().width()), sizeHint().height());

    connect(btnNow, &QAction::triggered, this, &Calen::Toolbar1_ButtonClick);
    connect(btnDiary, &QAction::triggered, this, [this] {
        if (diaryOpener())
            diaryOpener()(SelectedMoment);
    });
    connect(monthButton, &QToolButton::clicked, this, [] {
        if (monthOpener())
            monthOpener()();
    });
    connect(Label7, &ClickLabel::clicked, this, &Calen::Label7_Click);
    connect(Image6, &ClickLabel::clicked, this, &Calen::Image6_Click);
}

// The heading strip with the engine's logo.
QWidget *Calen::buildHeadingStrip()
{
    auto *strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("HeadingStrip"));
    strip->setAttribute(Qt::WA_StyledBackground);
    strip->setStyleSheet(QStringLiteral("#HeadingStrip { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                                        " stop:0 #4a67c2, stop:0.5 #2c438f, stop:1 #1d2d68); }"
                                        " #HeadingStrip QLabel { color: white; }"));
    Heading = new QLabel(QStringLiteral("Календарь сбываемости снов"), strip);
    Heading->setObjectName(QStringLiteral("Heading"));
    QFont hf = Heading->font();
    hf.setBold(true);
    hf.setPointSizeF(hf.pointSizeF() * 1.25);
    Heading->setFont(hf);
    Image6 = new ClickLabel(strip);
    Image6->setObjectName(QStringLiteral("Image6"));
    Image6->setPixmap(artworkPixmap(QStringLiteral("selenar"), {88, 32}, devicePixelRatioF()));
    Image6->setCursor(Qt::PointingHandCursor);
    Image6->setToolTip(QStringLiteral("Расчёт лунных дней производится на базе движка ZUL Selenar 2.0"));
    auto *stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(10, 4, 6, 4);
    stripLayout->addWidget(Heading, 1);
    stripLayout->addWidget(Image6);
    return strip;
}

// The date and time pickers' boxes and the toolbar beside them.
QLayout *Calen::buildPickerRow()
{
    Picture3 = new QWidget(this);
    Picture3->setObjectName(QStringLiteral("Picture3"));
    Picture3->setFixedSize(180, 26);
    Picture4 = new QWidget(this);
    Picture4->setObjectName(QStringLiteral("Picture4"));
    Picture4->setFixedSize(120, 26);
    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setAccessibleName(QStringLiteral("Панель календаря"));
    Toolbar1->setIconSize({20, 20});
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Toolbar1->setStyleSheet(QStringLiteral("QToolBar { border: none; background: transparent; }"));
    btnNow = Toolbar1->addAction(artworkIcon(QStringLiteral("now")), QStringLiteral("Сейчас "));
    btnNow->setObjectName(QStringLiteral("now"));
    btnDiary = Toolbar1->addAction(artworkIcon(QStringLiteral("diary")), QStringLiteral("Записать сон на эту дату"));
    btnDiary->setObjectName(QStringLiteral("diary"));
    btnDiary->setToolTip(QStringLiteral("Записать в дневник сон, приснившийся в выбранные день и час"));
    btnDiary->setVisible(static_cast<bool>(diaryOpener()));
    // "Месяц" stands beside the tool bar, not in it: the bar's own buttons
    // stay as they are.
    monthButton = new QToolButton(this);
    monthButton->setObjectName(QStringLiteral("month"));
    monthButton->setText(QStringLiteral("Месяц"));
    monthButton->setIcon(artworkIcon(QStringLiteral("calen")));
    monthButton->setIconSize({20, 20});
    monthButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    monthButton->setAutoRaise(true);
    monthButton->setToolTip(QStringLiteral("Лунный календарь на месяц"));
    monthButton->setAccessibleName(QStringLiteral("Лунный календарь на месяц"));
    monthButton->setVisible(static_cast<bool>(monthOpener()));
    auto *pickers = new QHBoxLayout;
    pickers->addWidget(Picture3);
    pickers->addWidget(Picture4);
    pickers->addWidget(Toolbar1);
    pickers->addWidget(monthButton);
    pickers->addStretch();
    return pickers;
}

// The weekday, the day of the month and the lunar day with their texts and
// the moon's phase.
QLayout *Calen::buildAnswerGrid()
{
    LabelWeekDay = new QLabel(QStringLiteral("День недели:"), this);
    LabelDay = new QLabel(QStringLiteral("Число месяца:"), this);
    LabelLunarDay = new QLabel(QStringLiteral("Лунный день:"), this);
    QFont bold = font();
    bold.setBold(true);
    Label12 = new QLabel(this);
    Label5 = new QLabel(this);
    Label16 = new QLabel(this);
    Label3 = new QLabel(this);
    for (auto [label, name] : {std::pair{LabelWeekDay, "LabelWeekDay"},
                               {LabelDay, "LabelDay"},
                               {LabelLunarDay, "LabelLunarDay"},
                               {Label12, "Label12"},
                               {Label5, "Label5"},
                               {Label16, "Label16"},
                               {Label3, "Label3"}})
        label->setObjectName(QString::fromLatin1(name));
    for (QLabel *l : {Label12, Label5, Label16})
        l->setFont(bold);
    Label3->setStyleSheet(QStringLiteral("QLabel { color: #404a70; }"));
    Label3->hide();
    Text1 = textBox(this, 2);
    Text2 = textBox(this, 2);
    Text3 = textBox(this, 4);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text2->setObjectName(QStringLiteral("Text2"));
    Text3->setObjectName(QStringLiteral("Text3"));
    Picture2 = new QLabel(this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setFixedSize(kShownWidth, kShownWidth);
    Picture2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture2->setToolTip(QStringLiteral("Фаза Луны"));
    Picture2->installEventFilter(this);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    grid->setColumnStretch(2, 1);
    grid->addWidget(LabelWeekDay, 0, 0);
    grid->addWidget(Label12, 0, 1, 1, 2);
    grid->addWidget(Text1, 1, 0, 1, 4);
    grid->addWidget(LabelDay, 2, 0);
    grid->addWidget(Label5, 2, 1, 1, 2);
    grid->addWidget(Text2, 3, 0, 1, 4);
    grid->addWidget(LabelLunarDay, 4, 0);
    grid->addWidget(Label16, 4, 1);
    grid->addWidget(Label3, 4, 2);
    grid->addWidget(Picture2, 4, 3, Qt::AlignRight | Qt::AlignBottom);
    grid->addWidget(Text3, 5, 0, 1, 4);
    return grid;
}

// The place of observation, its coordinates and the busy indicator.
QLayout *Calen::buildPlaceRow()
{
    Label7 = new ClickLabel(this);
    Label7->setObjectName(QStringLiteral("Label7"));
    QFont link = font();
    link.setUnderline(true);
    Label7->setFont(link);
    Label7->setStyleSheet(QStringLiteral("QLabel { color: #1d3a9e; }"));
    Label7->setCursor(Qt::PointingHandCursor);
    Label7->setToolTip(QStringLiteral("Настройки точного расчета"));
    Label9 = new QLabel(this);
    Label9->setObjectName(QStringLiteral("Label9"));
    // the place's name is the user's text, never markup
    Label7->setTextFormat(Qt::PlainText);
    Label9->setTextFormat(Qt::PlainText);
    Process1 = new Process(this);
    Process1->setObjectName(QStringLiteral("Process1"));
    Process1->hide();
    auto *place = new QHBoxLayout;
    place->addWidget(Label7);
    place->addSpacing(8);
    place->addWidget(Label9);
    place->addStretch();
    place->addWidget(Process1);
    return place;
}

Calen *Calen::instance()
{
    return g_instance;
}

Calen *Calen::open(QWidget *owner)
{
    if (!g_instance) {
        g_instance = new Calen(owner);
        g_instance->setAttribute(Qt::WA_DeleteOnClose);
    }
    Calen *c = g_instance;
    c->show();
    c->setWindowState(c->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    c->raise();
    c->activateWindow();
    return c;
}

std::function<bool(const QString &)> &Calen::urlOpener()
{
    static std::function<bool(const QString &)> opener = [](const QString &url) { return OpenUrl(url); };
    return opener;
}

std::function<void()> &Calen::monthOpener()
{
    static std::function<void()> opener;
    return opener;
}

std::function<void(double)> &Calen::diaryOpener()
{
    static std::function<void(double)> opener;
    return opener;
}

QString Calen::engineUrl()
{
    return QStringLiteral("https://ru.wikipedia.org/wiki/Лунный_календарь");
}

void Calen::Form_Load()
{
    // No date chosen yet: the moment is now.
    NoDate = toDateValue(QDate(1900, 1, 1), QTime(0, 0));
    SelectedMoment = nowLocal();
    // The moon pictures and the date and time pickers.
    MoonPics = makeMoonPics(kPictureSize);
    DTPicker1 = new cDateTimePicker(this);
    DTPicker2 = new cDateTimePicker(this);
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker2->setObjectName(QStringLiteral("DTPicker2"));
    DTPicker1->Create(Picture3, cDateTimePicker::DTS_SHORTDATECENTURYFORMAT, 0, 0, Picture3->width(),
                      Picture3->height());
    DTPicker2->Create(Picture4, cDateTimePicker::DTS_UPDOWN, 0, 0, Picture4->width(), Picture4->height());
    // The pickers' formats.
    DTPicker1->Format(QStringLiteral("dd MMMM yyyy"));
    DTPicker2->Format(QStringLiteral("HH : mm : ss"));
    // The pickers' fonts.
    for (cDateTimePicker *p : {DTPicker1, DTPicker2}) {
        p->CalendarFont(describeFont(font()));
        p->EditFont(describeFont(LabelLunarDay->font()));
    }
    // The boxes pass the focus on into their pickers.
    Picture3->setFocusPolicy(Qt::StrongFocus);
    Picture4->setFocusPolicy(Qt::StrongFocus);
    Picture3->setFocusProxy(DTPicker1->hWnd());
    Picture4->setFocusProxy(DTPicker2->hWnd());
    DTPicker1->hWnd()->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker2->hWnd()->setObjectName(QStringLiteral("DTPicker2"));
    // Tab goes down the window: the date, the time, the buttons beside
    // them, the three answers, the place; the date has the focus first.
    QWidget *order[] = {DTPicker1->hWnd(),
                        DTPicker2->hWnd(),
                        Toolbar1->widgetForAction(btnNow),
                        Toolbar1->widgetForAction(btnDiary),
                        monthButton,
                        Text1,
                        Text2,
                        Text3,
                        Label7};
    for (QWidget *w : order)
        if (w && w->focusPolicy() == Qt::NoFocus) // the tool buttons and the place's link
            w->setFocusPolicy(Qt::TabFocus);
    for (size_t i = 1; i < std::size(order); ++i)
        if (order[i - 1] && order[i])
            QWidget::setTabOrder(order[i - 1], order[i]);
    DTPicker1->hWnd()->setFocus();
    connect(DTPicker1, &cDateTimePicker::Change, this, &Calen::DTPicker1_Change);
    connect(DTPicker2, &cDateTimePicker::Change, this, &Calen::DTPicker2_Change);
    connect(DTPicker1, &cDateTimePicker::ClouseUp, this, &Calen::DTPicker1_ClouseUp);
    // The place of observation.
    CheckGeo();
    // The pickers show the chosen moment.
    SetPicker(DTPicker1, SelectedMoment);
    SetPicker(DTPicker2, SelectedMoment);
    // The "now" button's tip, kept current by the timer.
    Timer1_Timer();
    Timer1->start();
    // Before any lunar day is found the picture is the first one.
    ShowMoonPhase(1);
    // The answer for the chosen moment.
    Calculate();
}

void Calen::CheckGeo()
{
    ShowPoint();
}

// The place is read afresh before every calculation: the name, the line of
// coordinates and the engine's observer always come from one reading.
void Calen::ShowPoint()
{
    place_ = location::Location::load(GetSetting);
    CurrentCityName = place_.cityName;
    Label7->setText(CurrentCityName);
    // the offset in force at the moment chosen (summer or winter time)
    const double at = toSeconds(SelectedMoment) == toSeconds(NoDate) ? nowLocal() : SelectedMoment;
    Label9->setText(location::locationLine(place_, UtcOffsetHours(at)));
}

astro::ObserverPosition Calen::observer() const
{
    return {place_.latitude().toDouble(), place_.longitude().toDouble()};
}

namespace {

// What a calculation on the worker brings back.
struct Outcome {
    CalendarAnswer answer;
    bool computed = false;
    QString fault;
};

} // namespace

void Calen::Calculate()
{
    const int generation = ++calculation_;
    ShowPoint();
    // The busy animation while the engine works; the window stays usable.
    Process1->ProgressPlay();
    Process1->show();
    // A moment is chosen: the engine answers for it.
    if (toSeconds(SelectedMoment) == toSeconds(NoDate)) {
        Timer2->start(); // the busy animation stops after a moment
        return;
    }
    const double moment = SelectedMoment;
    const astro::ObserverPosition observer = this->observer();
    // The worker computes with copies: the window (and its engine) may be
    // gone, or the moment changed again, before it returns.
    const LunarEngine engine = engine_;
    ++pending_;
    runOnWorker(
        this,
        [moment, observer, engine] {
            Outcome o;
            try {
                o.answer = computeCalendar(moment, observer, engine);
                o.computed = true;
            } catch (const std::exception &e) {
                o.fault = engineFaultText(e);
            } catch (...) {
                o.fault = describe(std::current_exception());
            }
            return o;
        },
        [this, generation](const Outcome &o) {
            --pending_;
            // Only the latest request is shown; an earlier one that ends
            // after it changes nothing.
            if (generation == calculation_)
                showAnswer(o.computed, o.answer, o.fault);
            if (pending_ == 0)
                Timer2->start(); // the busy animation stops after a moment
        });
}

void Calen::showAnswer(bool computed, const CalendarAnswer &a, const QString &fault)
{
    if (!computed) {
        // The displays keep the previous answer.
        ShowMessage(fault, QStringLiteral("Calculate"), MsgIcon::Error);
        return;
    }
    // The weekday and the day of the month, with what they mean.
    Label12->setText(a.weekdayName);
    Text1->setPlainText(a.weekdayText);
    Label5->setText(QString::number(a.day));
    Text2->setPlainText(a.dayText);
    // The lunar-day boundaries found.
    List2->clear();
    for (double b : a.moon.boundaries)
        List2->addItem(isoMoment(b));
    lunar_.take(a.moon);
    // The bounds of the lunar day.
    if (lunar_.lunarDay != 0) {
        Label3->setText(boundsText(lunar_.start, lunar_.end));
        Label3->show();
    } else {
        Label3->hide(); // no bounds of an earlier answer beside "0"
    }
    // The lunar day, what it means for a dream, its moon picture.
    Label16->setText(QString::number(lunar_.lunarDay));
    Text3->setPlainText(DreamByMoon(lunar_.lunarDay));
    picture2Tag_ = QString::number(lunar_.lunarDay);
    ShowMoonPhase(lunar_.lunarDay);
}

void Calen::waitForAnswer()
{
    while (pending_ > 0)
        settleWorkers();
}

void Calen::BCalculate()
{
    Timer3->stop();
    Timer3->start();
}

void Calen::MoonList(double momentUniversal)
{
    const MoonListResult r = calendar::MoonList(momentUniversal, observer(), engine_);
    List2->clear();
    for (double b : r.boundaries)
        List2->addItem(isoMoment(b));
    lunar_.take(r);
}

void Calen::ShowMoonPhase(int n)
{
    n = phasePictureFor(n);
    if (n > MoonPics.size())
        return;
    const QImage shown = seenFrom(keyedPhaseImage(MoonPics.at(n - 1), kShownWidth), place_.latitude().toDouble());
    QPixmap canvas(Picture2->size() * Picture2->devicePixelRatioF());
    canvas.setDevicePixelRatio(Picture2->devicePixelRatioF());
    canvas.fill(Qt::transparent);
    {
        QPainter p(&canvas);
        p.drawImage(QPoint(0, 0), shown);
    }
    Picture2->setPixmap(canvas);
    shownPicture_ = n;
}

void Calen::SetPicker(cDateTimePicker *picker, double moment)
{
    if (picker)
        picker->SetMoment(dateOf(moment), timeOf(moment));
}

double Calen::GetPicker(const cDateTimePicker *picker) const
{
    if (!picker)
        return SelectedMoment;
    const QDate d(picker->Data(cDateTimePicker::Year), picker->Data(cDateTimePicker::Month),
                  picker->Data(cDateTimePicker::Day));
    const QTime t(picker->Data(cDateTimePicker::Hour), picker->Data(cDateTimePicker::Minute),
                  picker->Data(cDateTimePicker::Second));
    if (!d.isValid() || !t.isValid())
        return SelectedMoment;
    return toDateValue(d, t);
}

void Calen::DTPicker1_Change()
{
    SelectedMoment = GetPicker(DTPicker1);
    SetPicker(DTPicker2, SelectedMoment);
    BCalculate();
}

void Calen::DTPicker2_Change()
{
    SelectedMoment = GetPicker(DTPicker2);
    SetPicker(DTPicker1, SelectedMoment);
    BCalculate();
}

void Calen::DTPicker1_ClouseUp()
{
    if (DTPicker1 && DTPicker1->hWnd())
        DTPicker1->hWnd()->setFocus();
}

void Calen::showMoment(double localMoment)
{
    SelectedMoment = localMoment;
    SetPicker(DTPicker1, SelectedMoment);
    SetPicker(DTPicker2, SelectedMoment);
    Calculate();
}

void Calen::Toolbar1_ButtonClick()
{
    SelectedMoment = nowLocal();
    SetPicker(DTPicker1, SelectedMoment);
    SetPicker(DTPicker2, SelectedMoment);
    Calculate();
}

void Calen::Label7_Click()
{
    options::OptionsForm *f = options::OptionsForm::open(options::OptionsTab::Place, Qt::ApplicationModal, this);
    // Queued: the calculation lets events through, among them the options
    // window's own deletion, which must not come while it is still closing.
    connect(f, &QDialog::finished, this, &Calen::optionsClosed,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
}

void Calen::optionsClosed()
{
    CheckGeo();
    Calculate();
}

void Calen::Image6_Click()
{
    bool opened = false;
    tryStep([&] { opened = urlOpener() && urlOpener()(engineUrl()); });
    if (!opened)
        ShowMessage(QStringLiteral("Не удалось открыть страницу ") + engineUrl(), windowTitle(), MsgIcon::Warning);
}

void Calen::Picture2_DblClick()
{
    if (!Timer4->isActive())
        Timer4->start();
}

bool Calen::Form_KeyDown(int keyCode)
{
    if (keyCode == Qt::Key_Escape) {
        close();
        return true;
    }
    return false;
}

void Calen::Timer1_Timer()
{
    btnNow->setToolTip(formatMoment(nowLocal(), QStringLiteral("dd MMMM yyyy г., HH:mm")));
}

void Calen::Timer2_Timer()
{
    Timer2->stop();
    Process1->hide();
    Process1->ProgressStop();
}

void Calen::Timer3_Timer()
{
    Timer3->stop();
    Calculate();
}

void Calen::Timer4_Timer()
{
    ++PhaseFrame;
    if (PhaseFrame < 29) {
        ShowMoonPhase(PhaseFrame);
        return;
    }
    Timer4->stop();
    ShowMoonPhase(picture2Tag_.toInt());
    PhaseFrame = 0;
}

void Calen::closeEvent(QCloseEvent *event)
{
    // Form_Unload
    if (!unloaded_) {
        unloaded_ = true;
        for (QTimer *t : {Timer1, Timer2, Timer3, Timer4})
            t->stop();
        emit unloaded();
        DTPicker1->Destroy();
        DTPicker2->Destroy();
    }
    event->accept();
}

bool Calen::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->window() == this) {
        if (Form_KeyDown(static_cast<QKeyEvent *>(event)->key()))
            return true;
    } else if (watched == Picture2 && event->type() == QEvent::MouseButtonDblClick) {
        Picture2_DblClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace somnex::calendar
