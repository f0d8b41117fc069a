#include "shell/HeaderBar.h"

#include "shell/AboutBox.h"
#include "shell/PanelGeometry.h"
#include "support/Artwork.h"
#include "support/ClickLabel.h"

#include <QAction>
#include <QToolBar>

namespace somnex {

namespace {

const QColor kLinkDark(0, 0, 128);
const QColor kLinkBlue(0, 0, 255);

void setLinkColour(QLabel *l, const QColor &c)
{
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, c);
    l->setPalette(pal);
}

QAction *button(QToolBar *bar, const char *art, const QString &text, const QString &key, const QString &tip)
{
    QAction *a = bar->addAction(artworkIcon(art), text);
    a->setObjectName(key);
    a->setToolTip(tip);
    return a;
}

} // namespace

HeaderBar::HeaderBar(QWidget *window) : QObject(window), window_(window)
{
    setObjectName(QStringLiteral("HeaderBar"));
    buildToolbar();
    buildAboutLink();
    window->setMouseTracking(true);
}

void HeaderBar::buildToolbar()
{
    Toolbar1 = new QToolBar(window_);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setAccessibleName(QStringLiteral("Панель инструментов"));
    Toolbar1->setIconSize({32, 32});
    Toolbar1->setMovable(false);
    Toolbar1->setStyleSheet(QStringLiteral("QToolBar { background: transparent; border: none; }"));
    Toolbar1->setMouseTracking(true);
    btnTolk = button(Toolbar1, "tolk", QStringLiteral("Толкование"), toolbarKey::Tolk,
                     QStringLiteral("Толкование выбранного слова (Enter)"));
    btnTolk->setCheckable(true);
    btnCalen = button(Toolbar1, "calen", QStringLiteral("Лунный календарь"), toolbarKey::Calen,
                      QStringLiteral("Лунный календарь снов (Ctrl+M)"));
    btnCalen->setCheckable(true); // pressed while the calendar is open
    btnDiary = button(Toolbar1, "diary", QStringLiteral("Дневник снов"), toolbarKey::Diary,
                      QStringLiteral("Дневник снов: записать сон и прочитать его символы (Ctrl+D)"));
    btnHLP = button(Toolbar1, "hlp", QStringLiteral("Настройки"), toolbarKey::Options,
                    QStringLiteral("Настройки программы (Ctrl+O)"));
    for (QAction *a : {btnTolk, btnCalen, btnDiary, btnHLP})
        connect(a, &QAction::triggered, this, [this, a] { emit buttonClicked(a->objectName()); });
}

void HeaderBar::buildAboutLink()
{
    Label2 = new ClickLabel(QStringLiteral("О программе"), window_);
    setLinkColour(Label2, QColor(0xc8, 0xd0, 0xe8));
    Label3 = new ClickLabel(QStringLiteral("О программе"), window_);
    QFont lf = Label3->font();
    lf.setUnderline(true);
    Label3->setFont(lf);
    Label2->setFont(lf);
    setLinkColour(Label3, kLinkDark);
    Label3->setCursor(Qt::PointingHandCursor);
    Label3->setMouseTracking(true);
    connect(Label3, &ClickLabel::clicked, this, &HeaderBar::Label3_Click);
    connect(Label3, &ClickLabel::mouseMoved, this, &HeaderBar::Label3_MouseMove);
    Image8 = new ClickLabel(window_);
    Image8->setPixmap(artworkPixmap("about", {16, 16}, window_->devicePixelRatioF()));
    connect(Image8, &ClickLabel::clicked, this, &HeaderBar::Label3_Click);
}

QSize HeaderBar::aboutLinkSize() const
{
    return Label3->sizeHint();
}

void HeaderBar::place(const MainLayout &m)
{
    setTwips(Toolbar1, {m.toolbar.left, m.toolbar.top, m.aboutPicture.left - 30, m.toolbar.height});
    setTwips(Label3, m.aboutLink);
    setTwips(Label2, m.aboutShadow);
    setTwips(Image8, m.aboutPicture);
    Label2->lower();
}

bool HeaderBar::holds(const QObject *o) const
{
    return o == window_ || o == Toolbar1 || (o && o->parent() == Toolbar1);
}

bool HeaderBar::tolkEnabled() const
{
    return btnTolk->isEnabled();
}

void HeaderBar::setTolkEnabled(bool enabled)
{
    btnTolk->setEnabled(enabled);
}

bool HeaderBar::tolkChecked() const
{
    return btnTolk->isChecked();
}

void HeaderBar::setTolkChecked(bool checked)
{
    btnTolk->setChecked(checked);
}

void HeaderBar::setCalendarPressed(bool pressed)
{
    btnCalen->setChecked(pressed);
}

void HeaderBar::Label3_Click()
{
    Label3->unsetCursor();
    setLinkColour(Label3, kLinkDark);
    AboutBox box(window_);
    box.exec();
    Label3->setCursor(Qt::PointingHandCursor);
}

void HeaderBar::Label3_MouseMove()
{
    setLinkColour(Label3, kLinkBlue);
}

void HeaderBar::dimAboutLink()
{
    setLinkColour(Label3, kLinkDark);
}

} // namespace somnex
