#include "support/Accessibility.h"

#include "support/ClickLabel.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPen>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

#include <array>

namespace somnex {

namespace {

// clang-format off
const std::array kTexts = {
    // The main window.
    AccessibleText{"Form1", "Text1", "Поиск слова",
                   "Введите слово из сна: список слов переходит к ближайшему, Enter открывает толкование"},
    AccessibleText{"Form1", "ListView1", "Слова сонника",
                   "Слова включённых сонников; Enter открывает толкование выбранного слова"},
    AccessibleText{"Form1", "TreeView1", "Полка статей о снах",
                   "Статьи и избранное; выбранная статья открывается в окне толкования"},
    AccessibleText{"Form1", "LabelSuggest", "Возможно, вы искали", ""},
    AccessibleText{"Form1", "Toolbar2", "Сонники", "Кнопки сонников: включённый сонник даёт свои толкования"},
    // The interpretation window and its search on the page.
    AccessibleText{"Tolk", "RichTextBox1", "Текст толкования",
                   "Толкования включённых сонников; ссылки «см. также» выбираются клавишей Tab и "
                   "открываются клавишей Enter"},
    AccessibleText{"SearchForm", "Text1", "Что искать", "Текст, который нужно найти на странице толкования"},
    // Search in the interpretations.
    AccessibleText{"SearchTexts", "Text1", "Искать в толкованиях",
                   "Слова, которые есть в тексте толкования; найденные слова появляются в списке ниже"},
    AccessibleText{"SearchTexts", "List1", "Найденные толкования",
                   "Слово и сонники, в толковании которых есть искомые слова; Enter открывает толкование"},
    // The calendar.
    AccessibleText{"Calen", "DTPicker1", "Дата сна", "День, когда приснился сон; F4 открывает календарь месяца"},
    AccessibleText{"Calen", "DTPicker2", "Время сна", "Приблизительное время сна: часы, минуты, секунды"},
    AccessibleText{"Calen", "Text1", "Сбываемость по дню недели", ""},
    AccessibleText{"Calen", "Text2", "Сбываемость по числу месяца", ""},
    AccessibleText{"Calen", "Text3", "Сбываемость по лунному дню", ""},
    AccessibleText{"Calen", "Label7", "Место наблюдения",
                   "Открывает настройки места, по которому рассчитываются лунные дни"},
    // The options.
    AccessibleText{"OptionsForm", "TabStrip1", "Разделы настроек", ""},
    AccessibleText{"OptionsForm", "Check1", "При закрытии сворачиваться в область уведомлений",
                   "Кнопка закрытия окна оставляет программу значком в области уведомлений"},
    AccessibleText{"OptionsForm", "Check2", "Автоматически загружаться при входе в систему",
                   "Программа запускается в области уведомлений при входе в систему"},
    AccessibleText{"OptionsForm", "Slider1", "Прозрачность контекстного меню",
                   "Насколько прозрачно меню быстрого поиска; стрелки влево и вправо меняют значение"},
    AccessibleText{"OptionsForm", "Text1", "Название населённого пункта", ""},
    AccessibleText{"OptionsForm", "btnCities", "Справочник городов",
                   "Выбрать населённый пункт и его координаты из справочника"},
    AccessibleText{"OptionsForm", "Combo7", "Широта, градусы", ""},
    AccessibleText{"OptionsForm", "Combo8", "Широта, минуты", ""},
    AccessibleText{"OptionsForm", "Combo9", "Широта: северная или южная", ""},
    AccessibleText{"OptionsForm", "Combo12", "Долгота, градусы", ""},
    AccessibleText{"OptionsForm", "Combo11", "Долгота, минуты", ""},
    AccessibleText{"OptionsForm", "Combo10", "Долгота: восточная или западная", ""},
    AccessibleText{"OptionsForm", "Command4", "Настройка даты, времени и часового пояса",
                   "Открывает системные настройки даты и времени"},
    AccessibleText{"SpravCity", "Text1", "Быстрый поиск города", "Начало названия; список переходит к первому подходящему"},
    AccessibleText{"SpravCity", "ListView1", "Города", "Enter выбирает город и его координаты"},
    // The print dialog.
    AccessibleText{"PrintDialog", "ImageCombo1", "Принтер", ""},
    AccessibleText{"PrintDialog", "Text1", "Число копий", ""},
    AccessibleText{"PrintDialog", "VScroll1", "Число копий", "Стрелки вверх и вниз меняют число копий"},
    AccessibleText{"PrintDialog", "Command3", "Настройки страницы", "Поля, размер и ориентация листа"},
    // The quick-lookup menu.
    AccessibleText{"TrayMenu", "Text1", "Поиск слова",
                   "Введите слово из сна, Enter открывает его толкование"},
};
// clang-format on

QString utf8(const char *s)
{
    return QString::fromUtf8(s);
}

QString windowName(const QWidget *w)
{
    const QWidget *top = w->window();
    return top ? top->objectName() : QString();
}

// A tool button of one of the dream books: its name is the book's, its
// description says whether the book is on.
bool isBookButton(const QToolButton *b)
{
    const QWidget *bar = b->parentWidget();
    return bar && bar->objectName() == QLatin1String("Toolbar2") && windowName(b) == QLatin1String("Form1")
           && b->defaultAction() && b->defaultAction()->isCheckable();
}

void nameBookButton(QToolButton *b)
{
    QAction *a = b->defaultAction();
    if (!a)
        return;
    const QString book = a->toolTip().isEmpty() ? a->text() : a->toolTip();
    b->setAccessibleName(book);
    b->setAccessibleDescription(bookStateText(a->isChecked()));
}

void applyToolButton(QToolButton *b)
{
    QAction *a = b->defaultAction();
    if (qobject_cast<QToolBar *>(b->parentWidget())) {
        // a Tab stop like any other button (the tool bar leaves them to the mouse)
        if (!b->inherits("QToolBarExtension"))
            b->setFocusPolicy(Qt::TabFocus);
        else if (b->accessibleName().isEmpty())
            b->setAccessibleName(QStringLiteral("Другие кнопки"));
    }
    if (isBookButton(b)) {
        if (!b->property("somnexBookNamed").toBool()) {
            b->setProperty("somnexBookNamed", true);
            const QPointer<QToolButton> guard(b);
            QObject::connect(a, &QAction::changed, b, [guard] {
                if (guard)
                    nameBookButton(guard);
            });
        }
        nameBookButton(b);
        return;
    }
    // a button whose caption is no words (an icon alone, ">>>") is named by its tip
    if (a && b->accessibleName().isEmpty() && !a->toolTip().isEmpty()) {
        const QString text = a->text();
        if (std::none_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); }))
            b->setAccessibleName(a->toolTip());
    }
}

void applyRules(QWidget *w)
{
    if (auto *b = qobject_cast<QToolButton *>(w)) {
        applyToolButton(b);
    } else if (auto *label = qobject_cast<ClickLabel *>(w)) {
        // a label that does something when clicked is a link the keyboard reaches
        if (label->clickable() && !label->text().isEmpty())
            label->setFocusPolicy(Qt::TabFocus);
    } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        if (edit->accessibleName().isEmpty() && !edit->placeholderText().isEmpty())
            edit->setAccessibleName(edit->placeholderText());
    } else if (auto *bar = qobject_cast<QScrollBar *>(w)) {
        if (bar->accessibleName().isEmpty())
            bar->setAccessibleName(bar->orientation() == Qt::Vertical ? QStringLiteral("Вертикальная прокрутка")
                                                                      : QStringLiteral("Горизонтальная прокрутка"));
    }
}

// A clickable label with a caption is a link with one action, press; a
// picture that only repeats a captioned link beside it stays a picture. The
// role is asked each time: the caption and the handler come after the label.
class ClickLabelAccessible : public QAccessibleWidget {
public:
    explicit ClickLabelAccessible(ClickLabel *label) : QAccessibleWidget(label, QAccessible::StaticText) {}
    bool isLink() const
    {
        const auto *label = static_cast<const ClickLabel *>(widget());
        return label->clickable() && !label->text().isEmpty();
    }
    QAccessible::Role role() const override { return isLink() ? QAccessible::Link : QAccessible::StaticText; }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (isLink())
            s.linked = true;
        return s;
    }
    QString text(QAccessible::Text t) const override
    {
        const auto *label = static_cast<const ClickLabel *>(widget());
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return label->pixmap().isNull() ? label->text() : label->toolTip();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return isLink() ? QStringList{pressAction()} : QStringList{}; }
    void doAction(const QString &action) override
    {
        if (action == pressAction() && isLink())
            emit static_cast<ClickLabel *>(widget())->clicked();
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }
};

QAccessibleInterface *clickLabelFactory(const QString &className, QObject *object)
{
    if (className != QLatin1String("somnex::ClickLabel"))
        return nullptr;
    auto *label = qobject_cast<ClickLabel *>(object);
    return label ? new ClickLabelAccessible(label) : nullptr;
}

// A ring around the focused tool button: the style draws its focus too
// faintly to be followed, and not at all on the flat tool bars. It lies over
// the button, takes no mouse and follows the focus.
class FocusRing : public QWidget {
public:
    FocusRing() : QWidget(nullptr)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        QObject::connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { follow(now); });
    }
    void follow(QWidget *now)
    {
        if (target_ && target_ != now)
            target_->removeEventFilter(this);
        auto *button = qobject_cast<QToolButton *>(now);
        if (!button || !button->parentWidget() || !button->isVisible()) {
            target_ = nullptr;
            hide();
            return;
        }
        if (target_ != button) {
            target_ = button;
            button->installEventFilter(this);
        }
        if (parentWidget() != button->parentWidget())
            setParent(button->parentWidget());
        setGeometry(button->geometry());
        raise();
        show();
    }
    ~FocusRing() override
    {
        if (target_)
            target_->removeEventFilter(this);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.drawRect(rect().adjusted(1, 1, -1, -1));
    }
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (watched == target_
            && (e->type() == QEvent::Move || e->type() == QEvent::Resize || e->type() == QEvent::Hide
                || e->type() == QEvent::Show))
            follow(target_);
        return false;
    }

private:
    QPointer<QWidget> target_;
};

// Windows whose controls are placed by hand rather than by a layout: their
// Tab order is taken from where the controls are.
bool placedByHand(const QWidget *window)
{
    return window && window->objectName() == QLatin1String("Form1");
}

class AccessibilityFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (!watched->isWidgetType())
            return false;
        auto *w = static_cast<QWidget *>(watched);
        switch (e->type()) {
        case QEvent::Polish:
        case QEvent::Show:
            applyAccessibility(w);
            reorderLater(w);
            break;
        case QEvent::Hide:
        case QEvent::Move: reorderLater(w); break;
        default: break;
        }
        return false;
    }

private:
    // Once the events in the queue have moved and shown what they will.
    void reorderLater(QWidget *w)
    {
        QWidget *top = w->window();
        if (!placedByHand(top) || pending_.contains(top))
            return;
        pending_.append(top);
        QTimer::singleShot(0, this, [this, window = QPointer<QWidget>(top)] {
            pending_.removeAll(window);
            if (window)
                orderTabsByPosition(window);
        });
    }
    QList<QPointer<QWidget>> pending_;
};

} // namespace

std::span<const AccessibleText> accessibleTexts()
{
    return kTexts;
}

const AccessibleText *findAccessibleText(const QString &window, const QString &object)
{
    if (object.isEmpty())
        return nullptr;
    for (const AccessibleText &t : kTexts)
        if (window == QLatin1String(t.window) && object == QLatin1String(t.object))
            return &t;
    return nullptr;
}

QString bookStateText(bool enabled)
{
    return enabled ? QStringLiteral("Сонник включён") : QStringLiteral("Сонник выключен");
}

void applyAccessibility(QWidget *w)
{
    if (!w)
        return;
    if (const AccessibleText *t = findAccessibleText(windowName(w), w->objectName())) {
        if (w->accessibleName() != utf8(t->name))
            w->setAccessibleName(utf8(t->name));
        if (*t->description && w->accessibleDescription() != utf8(t->description))
            w->setAccessibleDescription(utf8(t->description));
    }
    applyRules(w);
}

void applyAccessibilityTree(QWidget *window)
{
    if (!window)
        return;
    applyAccessibility(window);
    for (QWidget *w : window->findChildren<QWidget *>())
        applyAccessibility(w);
}

QList<QWidget *> tabStopsByPosition(QWidget *window)
{
    QList<QWidget *> stops;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->window() != window || !w->isVisibleTo(window) || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy())
            continue;
        stops.append(w);
    }
    // by rows from the top (controls whose tops are within a few pixels
    // share a row), each row from the left
    constexpr int kRow = 6;
    auto place = [window](const QWidget *w) { return w->mapTo(window, QPoint(0, 0)); };
    std::stable_sort(stops.begin(), stops.end(), [&](const QWidget *a, const QWidget *b) {
        const QPoint pa = place(a), pb = place(b);
        if (std::abs(pa.y() - pb.y()) > kRow)
            return pa.y() < pb.y();
        return pa.x() < pb.x();
    });
    return stops;
}

void orderTabsByPosition(QWidget *window)
{
    const QList<QWidget *> stops = tabStopsByPosition(window);
    for (qsizetype i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(stops[i - 1], stops[i]);
}

void InstallAccessibility()
{
    static bool installed = false;
    if (installed || !qApp)
        return;
    installed = true;
    QAccessible::installFactory(clickLabelFactory);
    qApp->installEventFilter(new AccessibilityFilter(qApp));
    // owned by whichever window holds it; made again if that window goes
    static QPointer<FocusRing> ring;
    QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget *, QWidget *now) {
        if (!ring && qobject_cast<QToolButton *>(now)) {
            ring = new FocusRing;
            ring->follow(now);
        }
    });
    for (QWidget *w : QApplication::topLevelWidgets())
        applyAccessibilityTree(w);
}

} // namespace somnex
