// The windows as assistive technology sees them: every interactive control
// named, the name table in step with the windows, the book buttons saying
// their book and whether it is on, the slider's value, the main window's Tab
// order, and no caption clipped with a large font (the scale factor comes
// from the environment: the test runs again at QT_SCALE_FACTOR 1.5 and 2).
#include "calendar/calen/Calen.h"
#include "location/spravcity/SpravCity.h"
#include "options/optionsform/OptionsForm.h"
#include "options/slider/Slider.h"
#include "reading/PrintDialog.h"
#include "shell/AboutBox.h"
#include "shell/BookBar.h"
#include "shell/SearchTexts.h"
#include "support/Accessibility.h"
#include "support/FormParts.h"
#include "support/MainWindowFixture.h"
#include "support/QtPrint.h"
#include "tray/menu/TrayMenu.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QRegularExpression>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <functional>
#include <set>

using namespace somnex;
using somnex::location::SpravCity;
using somnex::options::OptionsForm;

namespace {

const std::set<QAccessible::Role> kInteractive = {
    QAccessible::PushButton,     QAccessible::CheckBox, QAccessible::RadioButton, QAccessible::EditableText,
    QAccessible::List,           QAccessible::ListItem, QAccessible::ComboBox,    QAccessible::Slider,
    QAccessible::SpinBox,        QAccessible::MenuItem, QAccessible::PageTab,     QAccessible::ButtonMenu,
    QAccessible::ButtonDropDown, QAccessible::Link,     QAccessible::Tree,        QAccessible::TreeItem,
    QAccessible::ScrollBar,      QAccessible::ToolBar};

// "Role objectName" of every shown interactive control under iface without a name.
void unnamed(QAccessibleInterface *iface, QStringList &out, int depth = 0)
{
    if (!iface || depth > 40)
        return;
    const int n = iface->childCount();
    for (int i = 0; i < n && i < 60; ++i) { // the first items of a long list stand for all
        QAccessibleInterface *c = iface->child(i);
        if (!c || c->state().invisible)
            continue;
        if (kInteractive.count(c->role()) && c->role() != QAccessible::ToolBar
            && c->text(QAccessible::Name).trimmed().isEmpty()) {
            const QObject *o = c->object();
            out << QStringLiteral("%1 %2 %3")
                       .arg(int(c->role()))
                       .arg(o ? QString::fromLatin1(o->metaObject()->className()) : QStringLiteral("(item)"))
                       .arg(o ? o->objectName() : QString());
        }
        unnamed(c, out, depth + 1);
    }
}

QStringList unnamedIn(QWidget *window)
{
    applyAccessibilityTree(window);
    QStringList out;
    unnamed(QAccessible::queryAccessibleInterface(window), out);
    return out;
}

// A label's caption that does not fit it (empty when it fits).
QString clippedLabel(const QLabel *l)
{
    if (l->text().isEmpty() || l->wordWrap() || l->textFormat() == Qt::RichText || Qt::mightBeRichText(l->text()))
        return {};
    const QRect box = l->contentsRect();
    const QFontMetrics fm = l->fontMetrics();
    QString text = l->text();
    if (l->buddy()) // the mnemonic's ampersand is not drawn
        text.replace(QRegularExpression(QStringLiteral("&(.)")), QStringLiteral("\\1"));
    const int wide = fm.horizontalAdvance(text);
    if (wide <= box.width() && fm.height() <= box.height() + 1)
        return {};
    return QStringLiteral("%1 «%2» %3×%4 needs %5×%6")
        .arg(l->objectName(), l->text())
        .arg(box.width())
        .arg(box.height())
        .arg(wide)
        .arg(fm.height());
}

// A button's caption that does not fit it (empty when it fits).
QString clippedButton(const QAbstractButton *b)
{
    // a tool bar too narrow for its buttons hides the last behind its »
    if (b->inherits("QToolBarExtension"))
        return QStringLiteral("%1: buttons hidden behind »").arg(b->parentWidget()->objectName());
    if (b->text().isEmpty())
        return {};
    const QSize hint = b->sizeHint();
    if (hint.width() <= b->width() && hint.height() <= b->height())
        return {};
    return QStringLiteral("%1 «%2» %3×%4 needs %5×%6")
        .arg(b->objectName(), b->text())
        .arg(b->width())
        .arg(b->height())
        .arg(hint.width())
        .arg(hint.height());
}

// The captions of a window that do not fit their controls.
QStringList clipped(QWidget *window)
{
    QStringList out;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window) || w->width() <= 0)
            continue;
        QString fault;
        if (const auto *l = qobject_cast<QLabel *>(w))
            fault = clippedLabel(l);
        else if (const auto *b = qobject_cast<QAbstractButton *>(w))
            fault = clippedButton(b);
        if (!fault.isEmpty())
            out << fault;
    }
    return out;
}

class AccessibilityTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        InstallAccessibility();
        share.writeBook("a.book", {"Вода", "Дом", "Огонь"});
        share.writeBook("b.book", {"Вода", "Лес"});
    }
    void TearDown() override
    {
        QApplication::setFont(QFont());
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != form.get() && w->isVisible())
                w->close();
        MainWindowFixture::TearDown();
    }
    Form1 &shown()
    {
        Form1 &f = load();
        f.show();
        QCoreApplication::processEvents();
        return f;
    }
    Tolk *openTolk(Form1 &f)
    {
        part<QLineEdit>(f, "Text1")->setText("вод");
        f.Form_KeyDown(Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::processEvents();
        return f.tolk();
    }
    tray::TrayMenuHost trayHost()
    {
        tray::TrayMenuHost h;
        h.search = [](const QString &) {};
        h.selectedWord = [] { return QString(); };
        h.bestMatch = [](const QString &) { return QString(); };
        h.literatureActive = [] { return false; };
        h.showTolk = [](const QString &) {};
        h.listDblClick = [] {};
        h.restore = [] {};
        h.calendar = h.options = h.about = [] {};
        return h;
    }
    // Every window the program has, each opened as the program opens it;
    // what must see the window while it is open runs in check.
    void eachWindow(const std::function<void(const QString &label, QWidget *window)> &check)
    {
        Form1 &f = shown();
        check(QStringLiteral("главное окно, словарь"), &f);
        f.Image4_Click();
        QCoreApplication::processEvents();
        check(QStringLiteral("главное окно, литература"), &f);
        f.Image5_Click();
        Tolk *tolk = openTolk(f);
        check(QStringLiteral("толкование"), tolk);
        if (tolk) {
            tolk->ShowFind();
            check(QStringLiteral("поиск на странице"), tolk->searchForm);
            PrintDialog print(tolk->RichTextBox1, tolk);
            print.show();
            check(QStringLiteral("печать"), &print);
        }
        auto *calen = calendar::Calen::open(&f);
        if (calen) {
            // the answer comes from the pool; the window is looked at once it is shown
            calen->waitForAnswer();
            QCoreApplication::processEvents();
        }
        check(QStringLiteral("календарь"), calen);
        if (calen)
            calen->close();
        auto *options = OptionsForm::open(options::OptionsTab::General, Qt::NonModal, &f);
        check(QStringLiteral("настройки, общие"), options);
        if (options) {
            options->TabStrip1->setCurrentIndex(1);
            check(QStringLiteral("настройки, местность"), options);
            location::LocationControls target;
            target.name = options->Text1;
            target.latDegrees = options->Combo7;
            target.latMinutes = options->Combo8;
            target.latHemisphere = options->Combo9;
            target.lonHemisphere = options->Combo10;
            target.lonMinutes = options->Combo11;
            target.lonDegrees = options->Combo12;
            SpravCity cities(target, options);
            cities.show();
            check(QStringLiteral("справочник городов"), &cities);
            options->close();
        }
        check(QStringLiteral("поиск в толкованиях"), f.openTextSearch());
        AboutBox about(&f);
        about.show();
        check(QStringLiteral("о программе"), &about);
        tray::TrayMenu menu(trayHost());
        menu.show();
        check(QStringLiteral("меню быстрого поиска"), &menu);
        check(QStringLiteral("дневник снов"), f.openDiary());
    }
};

TEST_F(AccessibilityTest, EveryInteractiveControlOfEveryWindowHasAName)
{
    eachWindow([](const QString &label, QWidget *window) {
        ASSERT_TRUE(window) << label.toStdString();
        window->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(unnamedIn(window), QStringList()) << label.toStdString();
    });
}

// A renamed control would silently lose its name: every row of the table
// must find its control in a window that exists.
TEST_F(AccessibilityTest, TheNameTableNamesControlsThatExist)
{
    std::set<QString> windows, missing;
    eachWindow([&](const QString &, QWidget *window) {
        if (!window)
            return;
        windows.insert(window->objectName());
        for (const AccessibleText &t : accessibleTexts())
            if (window->objectName() == QLatin1String(t.window)
                && !window->findChild<QObject *>(QString::fromLatin1(t.object)))
                missing.insert(QStringLiteral("%1/%2").arg(QLatin1String(t.window), QLatin1String(t.object)));
    });
    for (const AccessibleText &t : accessibleTexts()) {
        EXPECT_TRUE(windows.count(QString::fromLatin1(t.window))) << "no window " << t.window;
        EXPECT_FALSE(QString::fromUtf8(t.name).trimmed().isEmpty()) << t.window << "/" << t.object;
    }
    EXPECT_TRUE(missing.empty())
        << QStringList(missing.begin(), missing.end()).join(QStringLiteral(", ")).toStdString();
}

TEST_F(AccessibilityTest, BookButtonsSayTheirBookAndWhetherItIsOn)
{
    Form1 &f = shown();
    auto *bar = part<BookBar>(f, "Toolbar2");
    ASSERT_EQ(bar->bookButtons().size(), 2);
    for (QAction *a : bar->bookButtons()) {
        auto *b = qobject_cast<QToolButton *>(bar->widgetForAction(a));
        ASSERT_TRUE(b);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(b);
        ASSERT_TRUE(iface);
        EXPECT_EQ(iface->text(QAccessible::Name), a->toolTip());
        EXPECT_FALSE(a->toolTip().isEmpty());
        EXPECT_EQ(iface->text(QAccessible::Description), bookStateText(a->isChecked()));
        EXPECT_TRUE(b->focusPolicy() & Qt::TabFocus) << "the keyboard reaches " << a->toolTip().toStdString();
        b->click(); // off (or on): the word list is rebuilt, the description follows
        QCoreApplication::processEvents();
        EXPECT_EQ(iface->text(QAccessible::Description), bookStateText(a->isChecked()));
        b->click();
        QCoreApplication::processEvents();
        EXPECT_EQ(iface->text(QAccessible::Description), bookStateText(a->isChecked()));
    }
    EXPECT_NE(bookStateText(true), bookStateText(false));
}

TEST_F(AccessibilityTest, TheSliderAnnouncesItsValue)
{
    Form1 &f = shown();
    OptionsForm *o = OptionsForm::open(options::OptionsTab::General, Qt::NonModal, &f);
    ASSERT_TRUE(o);
    QCoreApplication::processEvents();
    options::Slider *s = o->Slider1;
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(s);
    ASSERT_TRUE(iface);
    EXPECT_EQ(iface->role(), QAccessible::Slider);
    EXPECT_EQ(iface->text(QAccessible::Name), "Прозрачность контекстного меню");
    QAccessibleValueInterface *value = iface->valueInterface();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->minimumValue().toInt(), s->Min());
    EXPECT_EQ(value->maximumValue().toInt(), s->Max());
    for (int key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Left}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(s, &press);
        EXPECT_EQ(value->currentValue().toInt(), s->Value());
        EXPECT_EQ(iface->text(QAccessible::Value), o->Label1->text()) << "read as the window shows it";
    }
    value->setCurrentValue(s->Max() + 50); // held to the bounds, and the window follows
    EXPECT_EQ(s->Value(), s->Max());
    EXPECT_EQ(iface->text(QAccessible::Value), o->Label1->text());
    o->close();
}

// The main window's controls are placed by hand; Tab goes through them by
// rows from the top, each row from the left, whichever panel is open.
TEST_F(AccessibilityTest, TabGoesThroughTheMainWindowAsItIsLaidOut)
{
    Form1 &f = shown();
    for (bool literature : {false, true}) {
        literature ? f.Image4_Click() : f.Image5_Click();
        QCoreApplication::processEvents();
        const QList<QWidget *> stops = tabStopsByPosition(&f);
        ASSERT_GE(stops.size(), 8) << literature;
        QList<QWidget *> chain{stops.first()};
        for (QWidget *w = stops.first()->nextInFocusChain(); w != stops.first() && chain.size() < 200;
             w = w->nextInFocusChain())
            if (stops.contains(w))
                chain << w;
        EXPECT_EQ(chain, stops) << (literature ? "литература" : "словарь");
        // the open panel's list; the search box always, above the word list
        QWidget *tree = part<QWidget>(f, "TreeView1");
        QWidget *list = part<QWidget>(f, "ListView1");
        QWidget *box = part<QWidget>(f, "Text1");
        EXPECT_EQ(stops.contains(tree), literature);
        EXPECT_EQ(stops.contains(list), !literature);
        EXPECT_TRUE(stops.contains(box));
        if (!literature) {
            EXPECT_LT(stops.indexOf(box), stops.indexOf(list)) << "the search box above its list";
        }
    }
}

// Tab through the windows laid out in rows goes down them too (the print
// dialog's groups stand side by side and are gone through a group at a
// time), and the calendar starts at its date.
TEST_F(AccessibilityTest, TabGoesDownTheOtherWindows)
{
    eachWindow([](const QString &label, QWidget *window) {
        static const QStringList checked = {QStringLiteral("календарь"), QStringLiteral("настройки, общие"),
                                            QStringLiteral("поиск в толкованиях")};
        if (!checked.contains(label) || !window)
            return;
        window->show();
        QCoreApplication::processEvents();
        const QList<QWidget *> stops = tabStopsByPosition(window);
        ASSERT_GE(stops.size(), 2) << label.toStdString();
        QList<QWidget *> chain{stops.first()};
        for (QWidget *w = stops.first()->nextInFocusChain(); w != stops.first() && chain.size() < 200;
             w = w->nextInFocusChain())
            if (stops.contains(w) && !chain.contains(w))
                chain << w;
        QStringList want, got;
        for (QWidget *w : stops)
            want << QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
        for (QWidget *w : chain)
            got << QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
        EXPECT_EQ(got, want) << label.toStdString();
        if (auto *calen = qobject_cast<calendar::Calen *>(window)) {
            EXPECT_EQ(calen->focusWidget(), calen->findChild<QWidget *>(QStringLiteral("DTPicker1")));
        }
    });
}

// A screen reader names every tool bar of every window ("Панель
// инструментов", "Сонники", "Вид списка"…), not "tool bar" four times.
TEST_F(AccessibilityTest, EveryToolBarHasAName)
{
    eachWindow([](const QString &label, QWidget *window) {
        if (!window)
            return;
        for (const QToolBar *bar : window->findChildren<QToolBar *>())
            EXPECT_FALSE(bar->accessibleName().isEmpty())
                << label.toStdString() << ": " << bar->objectName().toStdString();
    });
}

// With the system font at 14 pt no caption of the main window, the options,
// the calendar or the interpretation window is cut off.
TEST_F(AccessibilityTest, NoCaptionIsClippedWithALargeFont)
{
    QFont big = QApplication::font();
    big.setPointSizeF(14);
    QApplication::setFont(big);
    eachWindow([](const QString &label, QWidget *window) {
        static const QStringList checked = {QStringLiteral("главное окно, словарь"),
                                            QStringLiteral("главное окно, литература"),
                                            QStringLiteral("толкование"),
                                            QStringLiteral("календарь"),
                                            QStringLiteral("настройки, общие"),
                                            QStringLiteral("настройки, местность")};
        if (!checked.contains(label) || !window)
            return;
        window->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(clipped(window), QStringList())
            << label.toStdString() << " at scale " << qgetenv("QT_SCALE_FACTOR").constData();
    });
}

} // namespace
