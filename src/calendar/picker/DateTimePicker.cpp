#include "calendar/picker/DateTimePicker.h"

#include "calendar/picker/PickerFormat.h"
#include "platform/core/Clock.h"
#include "platform/core/RussianDates.h"

#include <QCalendarWidget>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QFontInfo>
#include <QLocale>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace somnex::calendar {

namespace {

const QDateTime &earliest()
{
    static const QDateTime v(QDate(1601, 1, 1), QTime(0, 0), Qt::UTC);
    return v;
}

const QDateTime &latest()
{
    static const QDateTime v(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC);
    return v;
}

qint32 toColourRef(const QColor &c)
{
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

// A colour value as 0x00BBGGRR, or 0x80000000 + a system colour index.
QColor fromColourRef(qint32 v, const QPalette &pal)
{
    if (static_cast<quint32>(v) & 0x80000000u) {
        switch (v & 0xFF) {
        case 1:
        case 2:
        case 13: return pal.color(QPalette::Highlight); // desktop, caption, highlight
        case 9:
        case 14: return pal.color(QPalette::HighlightedText); // caption text, highlighted text
        case 5: return pal.color(QPalette::Base);             // window
        case 6: return pal.color(QPalette::Shadow);           // window frame
        case 7:
        case 8: return pal.color(QPalette::Text);                      // menu text, window text
        case 15: return pal.color(QPalette::Button);                   // button face
        case 16: return pal.color(QPalette::Dark);                     // button shadow
        case 17: return pal.color(QPalette::Disabled, QPalette::Text); // grey text
        case 18: return pal.color(QPalette::ButtonText);
        case 20: return pal.color(QPalette::Light);  // button highlight
        case 21: return pal.color(QPalette::Shadow); // 3-D dark shadow
        case 23: return pal.color(QPalette::ToolTipText);
        case 24: return pal.color(QPalette::ToolTipBase);
        default: return pal.color(QPalette::Window);
        }
    }
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

QFont toQFont(const FontDescription &d)
{
    QFont f(d.face);
    // Whole points, as the font is made for the display.
    f.setPointSize(qMax(1, static_cast<int>(std::lround(qBound(1.0, d.size, 1000.0)))));
    const int weight = d.weight <= 0 ? 400 : qBound(1, d.weight, 1000);
    f.setWeight(static_cast<QFont::Weight>(weight));
    f.setItalic(d.italic);
    f.setUnderline(d.underline);
    f.setStrikeOut(d.strikethrough);
    return f;
}

FontDescription fromQFont(const QFont &f, int charset)
{
    const QFontInfo info(f);
    FontDescription d;
    d.face = info.family();
    d.size = std::round(f.pointSizeF() > 0 ? f.pointSizeF() : info.pointSizeF());
    d.weight = info.weight();
    d.italic = info.italic();
    d.underline = f.underline();
    d.strikethrough = f.strikeOut();
    d.charset = charset;
    return d;
}

// The picker window. It tells its wrapper before it starts going away, so
// that none of the events sent while a widget is taken down is taken for a
// notification.
class PickerEdit final : public QDateTimeEdit {
public:
    using QDateTimeEdit::QDateTimeEdit;
    ~PickerEdit() override
    {
        if (auto gone = std::exchange(onDestroy, nullptr))
            gone();
    }
    std::function<void()> onDestroy;
};

} // namespace

// ---------------------------------------------------------------------------
// The registry

namespace mDateTimePicker {

namespace {

bool PickerParentProc(QObject *parent, QEvent *event);

// Stands in for the parent's replaced window procedure: it sees every event
// of the parent before the parent does and lets each one through.
class ParentWatcher final : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override { return PickerParentProc(watched, event); }
};

struct PickerEntry {
    QWidget *window;
    QWidget *parent;
    cDateTimePicker *object; // not owned
};

struct ParentEntry {
    QWidget *parent;
    QPointer<QWidget> alive;
    std::unique_ptr<ParentWatcher> watcher;
};

struct Registry {
    std::vector<PickerEntry> pickers;
    std::vector<ParentEntry> parents;
    // Watchers released while a notification is being passed on are kept
    // until it has been.
    int dispatching = 0;
    std::vector<std::unique_ptr<ParentWatcher>> released;
};

Registry &registry()
{
    static Registry r;
    return r;
}

bool PickerParentProc(QObject *, QEvent *event)
{
    if (event->type() != NotifyEvent::eventType())
        return false;
    const auto *n = static_cast<const NotifyEvent *>(event);
    Registry &r = registry();
    cDateTimePicker *target = nullptr;
    for (const PickerEntry &e : r.pickers)
        if (e.window == n->sender()) {
            target = e.object;
            break;
        }
    if (target) {
        ++r.dispatching;
        target->zRaiseEvents(n->code());
        if (--r.dispatching == 0)
            r.released.clear();
    }
    return false; // the parent handles the notification as well
}

} // namespace

NotifyEvent::NotifyEvent(QWidget *sender, int code) : QEvent(eventType()), sender_(sender), code_(code) {}

QEvent::Type NotifyEvent::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void SendNotify(QWidget *from, int code)
{
    if (!from)
        return;
    QWidget *parent = from->parentWidget();
    if (!parent)
        return;
    NotifyEvent e(from, code);
    QCoreApplication::sendEvent(parent, &e);
}

void RegisterPicker(cDateTimePicker *picker)
{
    if (!picker || !picker->hWnd())
        return;
    Registry &r = registry();
    QWidget *window = picker->hWnd();
    for (const PickerEntry &e : r.pickers)
        if (e.window == window)
            return;
    QWidget *parent = window->parentWidget();
    r.pickers.push_back({window, parent, picker});
    if (!parent)
        return;
    for (const ParentEntry &p : r.parents)
        if (p.parent == parent)
            return;
    ParentEntry entry{parent, parent, std::make_unique<ParentWatcher>()};
    parent->installEventFilter(entry.watcher.get());
    r.parents.push_back(std::move(entry));
}

void UnregisterPicker(cDateTimePicker *picker)
{
    Registry &r = registry();
    auto it =
        std::find_if(r.pickers.begin(), r.pickers.end(), [&](const PickerEntry &e) { return e.object == picker; });
    if (it == r.pickers.end())
        return;
    QWidget *parent = it->parent;
    r.pickers.erase(it);
    const bool shared =
        std::any_of(r.pickers.begin(), r.pickers.end(), [&](const PickerEntry &e) { return e.parent == parent; });
    if (shared)
        return;
    auto p = std::find_if(r.parents.begin(), r.parents.end(), [&](const ParentEntry &e) { return e.parent == parent; });
    if (p == r.parents.end())
        return;
    if (p->alive)
        p->alive->removeEventFilter(p->watcher.get());
    if (r.dispatching > 0)
        r.released.push_back(std::move(p->watcher));
    r.parents.erase(p);
}

int pickerCount()
{
    return static_cast<int>(registry().pickers.size());
}
int parentCount()
{
    return static_cast<int>(registry().parents.size());
}

bool isWatched(const QWidget *parent)
{
    const Registry &r = registry();
    return std::any_of(r.parents.begin(), r.parents.end(), [&](const ParentEntry &e) { return e.parent == parent; });
}

} // namespace mDateTimePicker

// ---------------------------------------------------------------------------
// The picker

cDateTimePicker::cDateTimePicker(QObject *parent) : QObject(parent)
{
    colours_.fill(0);
}

cDateTimePicker::~cDateTimePicker()
{
    Destroy();
}

bool cDateTimePicker::Create(QWidget *parent, qint32 style, qint32 left, qint32 top, qint32 width, qint32 height)
{
    if (!parent)
        return false;
    if (window_)
        Destroy();
    style_ = style;
    hasDate_ = true;

    auto *edit = new PickerEdit(parent);
    edit->setLocale(dates::russian());
    // The picker holds a wall-clock date and time; as UTC it has no
    // daylight-saving gaps to fall into.
    edit->setTimeSpec(Qt::UTC);
    edit->setCalendarPopup(!(style & DTS_UPDOWN));
    edit->setDisplayFormat(toQtDisplayFormat(defaultPickerFormat(style)));
    edit->setDateTimeRange(earliest(), latest());
    edit->setGeometry(left, top, qMax(0, width), qMax(0, height));
    edit->setFocusPolicy(Qt::StrongFocus);
    window_ = edit;

    const QDateTime now = Clock::current().now();
    const QTime t = now.time();
    buffer_ = SystemTime::from(now.date(), t);
    {
        const QSignalBlocker quiet(edit);
        edit->setDateTime(QDateTime(now.date(), QTime(t.hour(), t.minute(), t.second()), Qt::UTC));
    }

    connect(edit, &QDateTimeEdit::dateTimeChanged, this, [this] {
        // Program writes are made with the edit's signals blocked, so this
        // is the user's own edit.
        if (!hasDate_) {
            hasDate_ = true;
            if (window_)
                window_->setPalette(QPalette());
        }
        notify(DTN_DATETIMECHANGE);
    });
    connect(edit, &QAbstractSpinBox::editingFinished, this, [this] { notify(DTN_USERSTRING); });
    edit->onDestroy = [this] { windowGone(); };
    edit->installEventFilter(this);

    const QPalette pal = edit->palette();
    colours_ = {toColourRef(pal.color(QPalette::Window)),
                toColourRef(pal.color(QPalette::Text)),
                toColourRef(pal.color(QPalette::Highlight)),
                toColourRef(pal.color(QPalette::HighlightedText)),
                toColourRef(pal.color(QPalette::Base)),
                toColourRef(pal.color(QPalette::Disabled, QPalette::Text))};
    calendarFont_ = parent->font();
    watchPopup();
    edit->show();

    mDateTimePicker::RegisterPicker(this);
    return true;
}

void cDateTimePicker::Destroy()
{
    mDateTimePicker::UnregisterPicker(this);
    if (popup_)
        popup_->removeEventFilter(this);
    popup_ = nullptr;
    if (!window_)
        return;
    auto *w = static_cast<PickerEdit *>(window_.data());
    window_ = nullptr;
    w->onDestroy = nullptr;
    disconnect(w, nullptr, this, nullptr);
    w->removeEventFilter(this);
    if (inWindowEvent_ > 0) {
        // Destroyed from a handler of the edit's own event: the edit is
        // still inside it.
        w->hide();
        w->deleteLater();
    } else {
        delete w;
    }
}

void cDateTimePicker::windowGone()
{
    // The edit goes with its parent before the owner called Destroy.
    mDateTimePicker::UnregisterPicker(this);
    if (popup_)
        popup_->removeEventFilter(this);
    popup_ = nullptr;
    if (window_) {
        window_->removeEventFilter(this);
        disconnect(window_.data(), nullptr, this, nullptr);
    }
    window_ = nullptr;
}

QWidget *cDateTimePicker::parentWindow() const
{
    return window_ ? window_->parentWidget() : nullptr;
}

void cDateTimePicker::notify(int code)
{
    const QPointer<cDateTimePicker> self(this);
    ++inWindowEvent_;
    mDateTimePicker::SendNotify(window_, code);
    if (self)
        --inWindowEvent_;
}

bool cDateTimePicker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window_ && window_) {
        if (event->type() == QEvent::FocusIn)
            notify(NM_SETFOCUS);
        else if (event->type() == QEvent::FocusOut)
            notify(NM_KILLFOCUS);
    } else if (watched == popup_ && popup_) {
        if (event->type() == QEvent::Show)
            notify(DTN_DROPDOWN);
        else if (event->type() == QEvent::Hide)
            notify(DTN_CLOSEUP);
    }
    return false;
}

void cDateTimePicker::watchPopup()
{
    if (!window_ || !window_->calendarPopup())
        return;
    QCalendarWidget *calendar = window_->calendarWidget();
    if (!calendar)
        return;
    QWidget *popup = calendar->window();
    if (popup != popup_) {
        if (popup_)
            popup_->removeEventFilter(this);
        popup_ = popup;
        if (popup != window_)
            popup->installEventFilter(this);
    }
    calendar->setFont(calendarFont_);
    applyColours();
}

void cDateTimePicker::applyColours()
{
    if (!window_ || !window_->calendarPopup())
        return;
    QCalendarWidget *calendar = window_->calendarWidget();
    if (!calendar)
        return;
    QPalette pal = calendar->palette();
    const QPalette base = window_->palette();
    auto colour = [&](int i) { return fromColourRef(colours_[static_cast<std::size_t>(i)], base); };
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Window, colour(MCSC_BACKGROUND));
        pal.setColor(group, QPalette::WindowText, colour(MCSC_TEXT));
        pal.setColor(group, QPalette::Text, colour(MCSC_TEXT));
        pal.setColor(group, QPalette::Base, colour(MCSC_MONTHBK));
    }
    pal.setColor(QPalette::Disabled, QPalette::Text, colour(MCSC_TRAILINGTEXT));
    calendar->setPalette(pal);
    if (auto *bar = calendar->findChild<QWidget *>(QStringLiteral("qt_calendar_navigationbar"))) {
        QPalette bp = bar->palette();
        for (auto role : {QPalette::Window, QPalette::Button})
            bp.setColor(role, colour(MCSC_TITLEBK));
        for (auto role : {QPalette::WindowText, QPalette::ButtonText})
            bp.setColor(role, colour(MCSC_TITLETEXT));
        bar->setAutoFillBackground(true);
        bar->setPalette(bp);
    }
}

qint32 cDateTimePicker::Colors(int index) const
{
    if (index < 0 || index >= static_cast<int>(colours_.size()))
        return -1;
    return colours_[static_cast<std::size_t>(index)];
}

void cDateTimePicker::Colors(int index, qint32 colour)
{
    if (index < 0 || index >= static_cast<int>(colours_.size()))
        return;
    colours_[static_cast<std::size_t>(index)] = colour;
    applyColours();
}

void cDateTimePicker::readControl() const
{
    if (!window_ || !hasDate_)
        return; // no date shown: the working copy stays as it is
    const QDateTime v = window_->dateTime();
    buffer_ = SystemTime::from(v.date(), v.time());
}

bool cDateTimePicker::writeControl(bool hasDate)
{
    if (!window_)
        return false;
    if (!hasDate) {
        hasDate_ = false;
        QPalette pal;
        pal.setColor(QPalette::Active, QPalette::Text, window_->palette().color(QPalette::Disabled, QPalette::Text));
        pal.setColor(QPalette::Inactive, QPalette::Text, window_->palette().color(QPalette::Disabled, QPalette::Text));
        window_->setPalette(pal);
        return true;
    }
    const QDate d = buffer_.date();
    const QTime t = buffer_.time();
    if (!d.isValid() || !t.isValid())
        return false;
    const QDateTime v(d, t, Qt::UTC);
    if (v < earliest() || v > latest())
        return false;
    {
        const QSignalBlocker quiet(window_.data());
        window_->setDateTime(v);
    }
    if (!hasDate_) {
        hasDate_ = true;
        window_->setPalette(QPalette());
    }
    return true;
}

qint32 cDateTimePicker::Data(int part) const
{
    readControl();
    switch (part) {
    case Year: return buffer_.year;
    case Month: return buffer_.month;
    case DayOfWeek: return buffer_.dayOfWeek;
    case Day: return buffer_.day;
    case Hour: return buffer_.hour;
    case Minute: return buffer_.minute;
    case Second: return buffer_.second;
    default: return 0;
    }
}

bool cDateTimePicker::Data(int part, qint32 value)
{
    if (part < Year || part > Second || value < 0 || value > 0xFFFF)
        return false;
    readControl();
    const auto v = static_cast<quint16>(value);
    switch (part) {
    case Year: buffer_.year = v; break;
    case Month: buffer_.month = v; break;
    case DayOfWeek: buffer_.dayOfWeek = v; break; // the edit works the weekday out itself
    case Day: buffer_.day = v; break;
    case Hour: buffer_.hour = v; break;
    case Minute: buffer_.minute = v; break;
    case Second: buffer_.second = v; break;
    }
    return writeControl(hasDate_);
}

bool cDateTimePicker::SetMoment(const QDate &date, const QTime &time)
{
    if (!date.isValid() || !time.isValid() || date.year() < 1 || date.year() > 0xFFFF)
        return false;
    readControl();
    const quint16 milliseconds = buffer_.milliseconds; // the control's, kept
    buffer_ = SystemTime::from(date, time);
    buffer_.milliseconds = milliseconds;
    return writeControl(hasDate_);
}

bool cDateTimePicker::dtpFlag() const
{
    return window_ && hasDate_;
}

void cDateTimePicker::dtpFlag(bool hasDate)
{
    if (!hasDate && !(style_ & DTS_SHOWNONE))
        return; // only a picker made to show no date can
    writeControl(hasDate);
}

FontDescription cDateTimePicker::CalendarFont() const
{
    QFont f = calendarFont_;
    if (window_ && window_->calendarPopup())
        if (QCalendarWidget *calendar = window_->calendarWidget())
            f = calendar->font();
    return fromQFont(f, calendarCharset_);
}

void cDateTimePicker::CalendarFont(const FontDescription &font)
{
    calendarFont_ = toQFont(font);
    calendarCharset_ = font.charset;
    if (window_ && window_->calendarPopup())
        if (QCalendarWidget *calendar = window_->calendarWidget())
            calendar->setFont(calendarFont_);
}

FontDescription cDateTimePicker::EditFont() const
{
    return fromQFont(window_ ? window_->font() : QFont(), editCharset_);
}

void cDateTimePicker::EditFont(const FontDescription &font)
{
    editCharset_ = font.charset;
    if (window_)
        window_->setFont(toQFont(font));
}

void cDateTimePicker::Format(const QString &format)
{
    if (!window_)
        return;
    const QString display = toQtDisplayFormat(format.isEmpty() ? defaultPickerFormat(style_) : format);
    const QSignalBlocker quiet(window_.data());
    const QDateTime value = window_->dateTime();
    window_->setDisplayFormat(display);
    // A format without date parts narrows the edit's range to the shown day
    // and one without time parts drops the time: both parts are kept whole.
    window_->setDateTimeRange(earliest(), latest());
    window_->setDateTime(value);
    watchPopup();
}

void cDateTimePicker::zRaiseEvents(int code)
{
    switch (code) {
    case DTN_CLOSEUP: emit ClouseUp(); break;
    case DTN_DATETIMECHANGE: emit Change(); break;
    case DTN_DROPDOWN: emit DropDown(); break;
    case DTN_USERSTRING: emit EndUserChange(); break;
    case NM_SETFOCUS: emit GotFocus(); break;
    case NM_KILLFOCUS: emit LostFocus(); break;
    default: break;
    }
}

} // namespace somnex::calendar
