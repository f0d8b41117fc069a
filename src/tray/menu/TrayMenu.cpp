#include "tray/menu/TrayMenu.h"

#include "appstate/AppState.h"
#include "platform/core/Messages.h"
#include "platform/core/Twips.h"
#include "platform/error/Error.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/Session.h"
#include "support/Artwork.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

namespace somnex::tray {

namespace {

QRect twipRect(double left, double top, double width, double height)
{
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

const QString kNotDecent =
    QStringLiteral("Извините, но такого слова нет в ZUL Somnex.") + QStringLiteral("\r\n")
    + QStringLiteral("Если вам действительно это приснилось, попытайтесь подобрать более благозвучный синоним.");
const QString kNotFound =
    QStringLiteral("Извините, но толкование по данному слову не найдено.") + QStringLiteral("\r\n")
    + QStringLiteral("Попробуйте найти синонимы или однокоренные слова для искомого слова.")
    + QStringLiteral("\r\n\r\n")
    + QStringLiteral(
        "Вы также можете попытаться включить отключенные словари или установить дополнительные словари с сайта программы.");

// Holds off the close on deactivation while a command or a message runs.
struct Busy {
    explicit Busy(int &n) : n_(n) { ++n_; }
    ~Busy() { --n_; }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;
    int &n_;
};

} // namespace

TrayMenu::TrayMenu(TrayMenuHost host, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), host_(std::move(host))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("TrayMenu"));
    const SessionTraits session = CurrentSessionTraits();
    placesItself_ = session.placesWindows;
    knowsPointer_ = session.knowsPointer;
    translucent_ = session.translucentWindows;
    setMouseTracking(true);
    // Shape2, the border, gives the menu its size.
    setFixedSize(TwipsToPixels(kWidth), TwipsToPixels(kHeight));
    // The menu paints its own light background: its texts and word box keep
    // light-theme colours on a dark desktop theme too.
    {
        QPalette pal = palette();
        pal.setColor(QPalette::WindowText, QColor(0x10, 0x10, 0x10));
        pal.setColor(QPalette::Text, QColor(0x10, 0x10, 0x10));
        pal.setColor(QPalette::Base, Qt::white);
        setPalette(pal);
    }

    Image111 = new QLabel(this);
    Image111->setGeometry(twipRect(30, 0, kWidth - 60, kAreaHeight + 60));
    Image111->setPixmap(artworkPixmap(QStringLiteral("tray-highlight"), Image111->size(), devicePixelRatioF()));
    Image111->setScaledContents(true);
    Image111->setAttribute(Qt::WA_TransparentForMouseEvents);
    Image111->hide();

    for (const MenuItem &item : kMenuItems) {
        auto *area = new QLabel(QString::fromUtf8(item.caption), this);
        area->setGeometry(twipRect(kAreaLeft, item.top, kAreaWidth, kAreaHeight));
        area->setIndent(24);
        area->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        area->setMouseTracking(true);
        area->setCursor(Qt::PointingHandCursor);
        area->setObjectName(QStringLiteral("Label18_%1").arg(item.label));
        auto *icon = new QLabel(area);
        icon->setGeometry(3, (area->height() - 16) / 2, 16, 16);
        icon->setPixmap(artworkPixmap(QString::fromUtf8(item.icon), QSize(16, 16), devicePixelRatioF()));
        icon->setAttribute(Qt::WA_TransparentForMouseEvents);
        area->installEventFilter(this);
        Label18[item.label] = area;
    }

    if (host_.diary || host_.month || host_.lockDiary)
        addDiaryRow();

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twipRect(435, 780, 1740, 285));
    Text1->setToolTip(QStringLiteral("Введите искомое слово."));
    Text1->setMouseTracking(true);
    Text1->installEventFilter(this);
    setFocusProxy(Text1);

    Timer1.setInterval(10);
    connect(&Timer1, &QTimer::timeout, this, &TrayMenu::Timer1_Timer);
    Timer1.start();
}

TrayMenu::~TrayMenu() = default;

// A row below the items: the diary's, the month's.
QLabel *TrayMenu::addRow(const QString &caption, const QString &icon, const QString &tip, double top)
{
    auto *area = new QLabel(caption, this);
    area->setGeometry(twipRect(kAreaLeft, top, kAreaWidth, kAreaHeight));
    area->setIndent(24);
    area->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    area->setMouseTracking(true);
    area->setCursor(Qt::PointingHandCursor);
    area->setToolTip(tip);
    auto *picture = new QLabel(area);
    picture->setGeometry(3, (area->height() - 16) / 2, 16, 16);
    picture->setPixmap(artworkPixmap(icon, QSize(16, 16), devicePixelRatioF()));
    picture->setAttribute(Qt::WA_TransparentForMouseEvents);
    area->installEventFilter(this);
    return area;
}

void TrayMenu::addDiaryRow()
{
    double height = kHeight;
    double top = kDiaryTop;
    if (host_.diary) {
        diaryArea = addRow(QStringLiteral("Записать сон…"), QStringLiteral("diary"),
                           QStringLiteral("Записать сон в дневник, пока он не забылся (Ctrl+N)"), top);
        diaryArea->setObjectName(QStringLiteral("diaryArea"));
        height += kDiaryRowHeight;
        top += kDiaryRowHeight - 45;
    }
    if (host_.month) {
        monthArea = addRow(QStringLiteral("Лунный календарь на месяц"), QStringLiteral("calen"),
                           QStringLiteral("Лунные дни, фазы и знаки Луны, восходы и заходы на весь месяц"), top);
        monthArea->setObjectName(QStringLiteral("monthArea"));
        height += kMonthRowHeight;
        top += kMonthRowHeight;
    }
    if (host_.lockDiary) {
        lockArea = addRow(QStringLiteral("Закрыть дневник"), QStringLiteral("diary-lock"),
                          QStringLiteral("Сохранить и закрыть дневник, закрытый паролем: чтобы открыть его снова, "
                                         "понадобится пароль"),
                          top);
        lockArea->setObjectName(QStringLiteral("lockArea"));
        height += kMonthRowHeight;
    }
    setFixedSize(TwipsToPixels(kWidth), TwipsToPixels(height));
}

// A row's action runs with the menu hidden; then the menu closes (unless the
// action took it away).
void TrayMenu::rowClick(const std::function<void()> &action)
{
    if (!action)
        return;
    QPointer<TrayMenu> self(this);
    {
        Busy busy(busy_);
        hide();
        action();
    }
    if (self)
        close();
}

void TrayMenu::MonthClick()
{
    rowClick(host_.month);
}

void TrayMenu::DiaryClick()
{
    rowClick(host_.diary);
}

void TrayMenu::LockDiaryClick()
{
    rowClick(host_.lockDiary);
}

void TrayMenu::popupAt(const QPoint &bottomRight, const QRect &icon)
{
    if (placesItself_) {
        iconArea_ = IconArea(icon, bottomRight);
        QScreen *screen = QGuiApplication::screenAt(bottomRight);
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen)
            move(MenuPosition(bottomRight, size(), screen->availableGeometry(), screen->geometry(), icon));
        else
            move(bottomRight.x() - width(), bottomRight.y() - height());
    }
    // Otherwise the compositor places the window (and neither the pointer's
    // nor the icon's position is known here): it opens where the compositor
    // puts new windows, with the focus in the word box all the same.
    show();
    raise();
    activateWindow();
    Text1->setFocus();
}

void TrayMenu::Form_Activate()
{
    // SetTransparency: opaque at 0 and 255, translucent in between.
    const int alpha = app().MenuAlpha;
    if (translucent_)
        setWindowOpacity(alpha > 0 && alpha < 255 ? alpha / 255.0 : 1.0);
    idle_.reset();
    SetRus();
}

void TrayMenu::Form_Deactivate()
{
    if (busy_ == 0)
        close();
}

bool TrayMenu::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        Form_Activate();
    else if (e->type() == QEvent::WindowDeactivate)
        Form_Deactivate();
    return QWidget::event(e);
}

void TrayMenu::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, QColor(0xfd, 0xfd, 0xff));
    g.setColorAt(1, QColor(0xe4, 0xe8, 0xf6));
    p.fillRect(rect(), g);
    p.setPen(QColor(0xb8, 0xc0, 0xdc));
    // Rules that set the word box apart from the items around it.
    const int above = TwipsToPixels(kMenuItems[1].top + kAreaHeight + 45);
    const int below = TwipsToPixels(kMenuItems[2].top - 45);
    p.drawLine(8, above, width() - 9, above);
    p.drawLine(8, below, width() - 9, below);
    if (diaryArea || monthArea || lockArea) {
        const int diary = TwipsToPixels(kDiaryTop - 45);
        p.drawLine(8, diary, width() - 9, diary);
    }
    p.setPen(QColor(0x1b, 0x2a, 0x66));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TrayMenu::mouseMoveEvent(QMouseEvent *)
{
    HideCur();
}

void TrayMenu::ShowCur(QLabel *area)
{
    Image111->move(TwipsToPixels(30), area->y() - TwipsToPixels(30));
    Image111->show();
    Image111->lower();
}

void TrayMenu::HideCur()
{
    Image111->hide();
}

int TrayMenu::highlighted() const
{
    if (Image111->isHidden())
        return 0;
    for (std::size_t i = 0; i < kMenuItems.size(); ++i)
        if (Label18[kMenuItems[i].label]->y() - TwipsToPixels(30) == Image111->y())
            return int(i) + 1;
    return 0;
}

void TrayMenu::Unloadall()
{
    if (!host_.secondaryWindows)
        return;
    QList<QWidget *> windows;
    tryStep([&] { windows = host_.secondaryWindows(); });
    for (QWidget *w : windows) {
        QPointer<QWidget> guard(w);
        tryStep([&] {
            if (guard)
                guard->close();
        });
    }
}

bool TrayMenu::wordTyped() const
{
    return !Text1->text().trimmed().isEmpty();
}

void TrayMenu::Timer1_Timer()
{
    // A command's own window (the exit dialog) or a message is up: the menu
    // waits for it rather than counting.
    if (busy_ > 0)
        return;
    if (wordTyped())
        idle_.reset();
    if (!knowsPointer_) {
        // Only the pointer's entering and leaving this window are reported,
        // and the compositor may have opened the menu away from the pointer:
        // the time away counts once the pointer has been over the menu.
        pointerCame_ = pointerCame_ || underMouse();
        if (idle_.tick(false, underMouse() || !pointerCame_))
            close();
        return;
    }
    const QPoint p = QCursor::pos();
    const QRect r = frameGeometry();
    // Edges included: the right and bottom edges lie at left + width and
    // top + height.
    // The pointer still on the icon counts as with the menu: a menu opened
    // away from the icon (below a top panel) waits for it to come over.
    const bool inside = (p.x() >= r.x() && p.x() <= r.x() + r.width() && p.y() >= r.y() && p.y() <= r.y() + r.height())
                        || iconArea_.contains(p);
    if (idle_.tick(false, inside))
        close();
}

void TrayMenu::Label18_Click(int screenOrder)
{
    if (screenOrder < 1 || screenOrder > int(kMenuItems.size()))
        return;
    QPointer<TrayMenu> self(this);
    {
        Busy busy(busy_);
        hide();
        runCommand(kMenuItems[std::size_t(screenOrder - 1)].command);
    }
    if (self)
        close();
}

void TrayMenu::runCommand(MenuCommand c)
{
    auto call = [](const std::function<void()> &f) {
        if (f)
            f();
    };
    switch (c) {
    case MenuCommand::Restore: call(host_.restore); break;
    case MenuCommand::Calendar:
        Unloadall();
        call(host_.calendar);
        break;
    case MenuCommand::Options:
        Unloadall();
        call(host_.options);
        break;
    case MenuCommand::About:
        Unloadall();
        call(host_.about);
        break;
    case MenuCommand::Quit:
        if (host_.exitAsks && host_.exitAsks()) {
            Unloadall();
            call(host_.exitDialog);
        } else {
            call(host_.exitApp);
        }
        break;
    }
}

void TrayMenu::Lookup()
{
    const QString typed = Text1->text();
    if (host_.looksLikeDream && host_.interpretDream && host_.looksLikeDream(typed)) {
        QPointer<TrayMenu> self(this);
        {
            Busy busy(busy_);
            host_.interpretDream(typed);
        }
        if (self)
            close();
        return;
    }
    QString selected = host_.selectedWord ? host_.selectedWord() : QString();
    const auto found = [&] { return !selected.isEmpty() && selected.compare(Text1->text(), Qt::CaseInsensitive) == 0; };
    QString typedWord = typed;
    if (!found() && !IsMat(typedWord) && host_.bestMatch && host_.search && host_.selectedWord) {
        // The word in another form or misspelt: open the headword it means.
        const QString meant = host_.bestMatch(typed);
        if (!meant.isEmpty()) {
            host_.search(meant);
            selected = host_.selectedWord();
            if (selected.compare(meant, Qt::CaseInsensitive) == 0)
                Text1->setText(selected);
        }
    }
    if (!found()) {
        // Not in the dictionary: say so and stay open.
        QString word = typed;
        QPointer<TrayMenu> self(this);
        {
            Busy busy(busy_);
            ShowMessage(IsMat(word) ? kNotDecent : kNotFound, QString(), MsgIcon::Warning);
        }
        if (self && isVisible()) {
            activateWindow();
            Text1->setFocus();
        }
        return;
    }
    QPointer<TrayMenu> self(this);
    {
        Busy busy(busy_);
        if (host_.literatureActive && host_.literatureActive()) {
            if (host_.showTolk)
                host_.showTolk(selected);
        } else if (host_.listDblClick) {
            host_.listDblClick();
        }
    }
    if (self)
        close();
}

bool TrayMenu::keyPressed(int key)
{
    switch (key) {
    case Qt::Key_Down:
    case Qt::Key_Up:
        position_ = StepPosition(position_, key == Qt::Key_Down ? 1 : -1);
        ShowCur(Label18[ItemAtPosition(position_).label]);
        // the keyboard stays in the word box: a screen reader learns the
        // highlighted item from the box's description
        Text1->setAccessibleDescription(QStringLiteral("Выбран пункт «%1»; Enter выполняет его")
                                            .arg(QString::fromUtf8(ItemAtPosition(position_).caption)));
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (wordTyped())
            Lookup();
        else
            Label18_Click(position_ >= 1 && position_ <= 5 ? position_ : 1);
        return true;
    case Qt::Key_Escape: close(); return true;
    default:
        if (wordTyped())
            idle_.reset();
        return false;
    }
}

void TrayMenu::keyReleased(int key)
{
    if (key == Qt::Key_Escape || key == Qt::Key_Delete || key == Qt::Key_Backspace)
        return;
    const QString typed = Text1->text();
    if (typed.isEmpty() || !isVisible())
        return;
    if (host_.looksLikeDream && host_.looksLikeDream(typed)) {
        Text1->setToolTip(QStringLiteral("Enter — толковать сон целиком"));
        Text1->setAccessibleDescription(QStringLiteral("Enter толкует сон целиком"));
        return; // a dream is no word to complete
    }
    Text1->setToolTip(QString());
    if (host_.search)
        host_.search(typed);
    const QString w = host_.selectedWord ? host_.selectedWord() : QString();
    const std::optional<Completion> c = Complete(typed, Text1->cursorPosition(), Text1->hasSelectedText(), w);
    if (!c)
        return;
    Text1->setText(c->text);
    Text1->setSelection(c->selectionStart, c->selectionLength);
}

// Keys in the word box: Ctrl+N writes a dream where the diary is offered,
// other keys complete and run.
bool TrayMenu::wordBoxEvent(QEvent *e)
{
    if (e->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(e);
        if (diaryArea && k->key() == Qt::Key_N
            && (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == Qt::ControlModifier) {
            DiaryClick();
            return true;
        }
        if (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            return false;
        return keyPressed(k->key());
    }
    if (e->type() == QEvent::KeyRelease) {
        auto *k = static_cast<QKeyEvent *>(e);
        if (!k->isAutoRepeat())
            keyReleased(k->key());
        return false;
    }
    if (e->type() == QEvent::MouseMove)
        HideCur();
    return false;
}

// The pointer over an item (the diary's or item number of kMenuItems) and
// a click on it.
bool TrayMenu::itemEvent(QLabel *area, std::optional<std::size_t> item, QEvent *e)
{
    if (e->type() == QEvent::MouseMove || e->type() == QEvent::Enter) {
        ShowCur(area);
        if (item)
            position_ = std::int16_t(*item + 1);
        // Not on to the background, which would hide the highlight again.
        return e->type() == QEvent::MouseMove;
    }
    if (e->type() != QEvent::MouseButtonRelease)
        return false;
    const auto *m = static_cast<QMouseEvent *>(e);
    if (m->button() != Qt::LeftButton || !area->rect().contains(m->position().toPoint()))
        return false;
    if (item)
        Label18_Click(int(*item) + 1);
    else if (area == monthArea)
        MonthClick();
    else if (area == lockArea)
        LockDiaryClick();
    else
        DiaryClick();
    return true;
}

bool TrayMenu::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == Text1)
        return wordBoxEvent(e);
    if (watched == diaryArea || (watched == monthArea && monthArea) || (watched == lockArea && lockArea))
        return itemEvent(static_cast<QLabel *>(watched), std::nullopt, e);
    for (std::size_t i = 0; i < kMenuItems.size(); ++i)
        if (watched == Label18[kMenuItems[i].label])
            return itemEvent(Label18[kMenuItems[i].label], i, e);
    return QWidget::eventFilter(watched, e);
}

} // namespace somnex::tray
