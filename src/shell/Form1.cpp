#include "shell/Form1.h"

#include "appstate/Autostart.h"
#include "calendar/calen/Calen.h"
#include "literature/Shelf.h"
#include "location/core/Location.h"
#include "options/optionsform/OptionsForm.h"
#include "platform/core/Identity.h"
#include "platform/core/Messages.h"
#include "platform/core/ProgramFolders.h"
#include "platform/core/Settings.h"
#include "platform/core/Twips.h"
#include "platform/error/Error.h"
#include "platform/ui/Desktop.h"
#include "shell/AboutBox.h"
#include "shell/Dialog.h"
#include "support/Artwork.h"
#include "support/ClickLabel.h"
#include "support/HeaderStrip.h"
#include "support/Process.h"
#include "support/StatusStrip.h"
#include "tray/TrayArea.h"
#include "tray/menu/TrayMenu.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFontMetricsF>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>

#include <cmath>

namespace somnex {

namespace {

Form1 *g_mainForm = nullptr;

void setTwips(QWidget *w, const TwipRect &r)
{
    w->setGeometry(TwipsToPixels(r.left), TwipsToPixels(r.top), std::max(0, TwipsToPixels(r.width)),
                   std::max(0, TwipsToPixels(r.height)));
}

double twW(const QWidget *w)
{
    return PixelsToTwips(w->width());
}
double twH(const QWidget *w)
{
    return PixelsToTwips(w->height());
}

ClickLabel *arrow(QWidget *parent, const char *name)
{
    auto *l = new ClickLabel(parent);
    l->setPixmap(artworkPixmap(QString::fromLatin1(name), {14, 14}, parent->devicePixelRatioF()));
    l->setFixedSize(14, 14);
    l->setCursor(Qt::PointingHandCursor);
    return l;
}

ClickLabel *caption(QWidget *parent, const QString &text)
{
    auto *l = new ClickLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    l->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    l->setCursor(Qt::PointingHandCursor);
    return l;
}

const QColor kLinkDark(0, 0, 128);
const QColor kLinkBlue(0, 0, 255);

void setLinkColour(QLabel *l, const QColor &c)
{
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, c);
    l->setPalette(pal);
}

} // namespace

Form1 *mainForm()
{
    return g_mainForm;
}

Form1::Form1(QWidget *parent) : QWidget(parent)
{
    g_mainForm = this;
    setObjectName(QStringLiteral("Form1"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowIcon(appIcon());
    buildControls();
    Timer1.setInterval(500);
    Timer2.setInterval(500);
    connect(&Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(&Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    TrayRetry.setInterval(1000);
    connect(&TrayRetry, &QTimer::timeout, this, &Form1::TrayRetry_Timer);
    connectDiary();
    qApp->installEventFilter(this);
}

Form1::~Form1()
{
    stopTextIndex();
    calendar::Calen::diaryOpener() = nullptr;
    if (diary::DiaryWindow *d = diary::DiaryWindow::instance()) {
        d->saveNow();
        delete d; // it asks this window for its words and books
    }
    if (qApp)
        qApp->removeEventFilter(this);
    if (g_mainForm == this)
        g_mainForm = nullptr;
}

void Form1::buildControls()
{
    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setIconSize({32, 32});
    Toolbar1->setMovable(false);
    Toolbar1->setStyleSheet(QStringLiteral("QToolBar { background: transparent; border: none; }"));
    btnTolk = Toolbar1->addAction(artworkIcon("tolk"), QStringLiteral("Толкование"));
    btnTolk->setObjectName(QStringLiteral("Tolk"));
    btnTolk->setCheckable(true);
    btnTolk->setToolTip(QStringLiteral("Толкование выбранного слова (Enter)"));
    btnCalen = Toolbar1->addAction(artworkIcon("calen"), QStringLiteral("Лунный календарь"));
    btnCalen->setObjectName(QStringLiteral("Calen"));
    btnCalen->setCheckable(true); // pressed while the calendar is open
    btnCalen->setToolTip(QStringLiteral("Лунный календарь снов (Ctrl+M)"));
    btnDiary = Toolbar1->addAction(artworkIcon("diary"), QStringLiteral("Дневник снов"));
    btnDiary->setObjectName(QStringLiteral("Diary"));
    btnDiary->setToolTip(QStringLiteral("Дневник снов: записать сон и прочитать его символы (Ctrl+D)"));
    btnHLP = Toolbar1->addAction(artworkIcon("hlp"), QStringLiteral("Настройки"));
    btnHLP->setObjectName(QStringLiteral("HLP"));
    btnHLP->setToolTip(QStringLiteral("Настройки программы (Ctrl+O)"));
    for (QAction *a : {btnTolk, btnCalen, btnDiary, btnHLP})
        connect(a, &QAction::triggered, this, [this, a] { Toolbar1_ButtonClick(a->objectName()); });

    Label2 = new ClickLabel(QStringLiteral("О программе"), this);
    setLinkColour(Label2, QColor(0xc8, 0xd0, 0xe8));
    Label3 = new ClickLabel(QStringLiteral("О программе"), this);
    QFont lf = Label3->font();
    lf.setUnderline(true);
    Label3->setFont(lf);
    Label2->setFont(lf);
    setLinkColour(Label3, kLinkDark);
    Label3->setCursor(Qt::PointingHandCursor);
    Label3->setMouseTracking(true);
    connect(Label3, &ClickLabel::clicked, this, &Form1::Label3_Click);
    connect(Label3, &ClickLabel::mouseMoved, this, &Form1::Label3_MouseMove);
    Image8 = new ClickLabel(this);
    Image8->setPixmap(artworkPixmap("about", {16, 16}, devicePixelRatioF()));
    connect(Image8, &ClickLabel::clicked, this, &Form1::Label3_Click);
    Toolbar1->setMouseTracking(true);
    setMouseTracking(true);

    // Literature panel.
    Picture3 = new QWidget(this);
    Picture3->setObjectName(QStringLiteral("Picture3"));
    auto *litHeader = new HeaderStrip(Picture3);
    Picture1 = litHeader;
    Label5 = caption(Picture1, QStringLiteral("Литература"));
    Image4 = arrow(Picture1, "arrow-down");
    Image5 = arrow(Picture1, "arrow-up");
    Text3 = new QFrame(Picture3);
    Text3->setFrameShape(QFrame::StyledPanel);
    TreeView1 = new QTreeWidget(Text3);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setFrameShape(QFrame::NoFrame);
    TreeView1->setExpandsOnDoubleClick(true);
    connect(TreeView1, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *n) { TreeView1_NodeClick(n); });
    connect(TreeView1, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *n) {
        if (n)
            TreeView1_NodeClick(n);
    });
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this, [this] { TreeView1_DblClick(); });
    Toolbar3 = new QToolBar(Picture3);
    Toolbar3->setObjectName(QStringLiteral("Toolbar3"));
    Toolbar3->setIconSize({16, 16});
    Toolbar3->setMovable(false);
    btnAddFav = Toolbar3->addAction(QIcon::fromTheme(QStringLiteral("bookmark-new"),
                                                     style()->standardIcon(QStyle::SP_DialogApplyButton)),
                                    QStringLiteral("Добавить в избранное"));
    btnAddFav->setToolTip(QStringLiteral("Добавить в избранное"));
    Toolbar3->addSeparator();
    btnDelFav = Toolbar3->addAction(QIcon::fromTheme(QStringLiteral("edit-delete"),
                                                     style()->standardIcon(QStyle::SP_DialogDiscardButton)),
                                    QStringLiteral("Удалить из избранного"));
    btnDelFav->setToolTip(QStringLiteral("Удалить из избранного"));
    btnAddFav->setEnabled(false);
    btnDelFav->setEnabled(false);
    connect(btnAddFav, &QAction::triggered, this, [this] { Toolbar3_ButtonClick(1); });
    connect(btnDelFav, &QAction::triggered, this, [this] { Toolbar3_ButtonClick(3); });
    litHeader->onClick = [this] { Image4_Click(); };
    connect(Label5, &ClickLabel::clicked, this, &Form1::Image4_Click);
    connect(Image4, &ClickLabel::clicked, this, &Form1::Image4_Click);
    connect(Image5, &ClickLabel::clicked, this, &Form1::Image5_Click);

    // Dictionary panel.
    Picture2 = new QWidget(this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    auto *dictHeader = new HeaderStrip(Picture2);
    Picture5 = dictHeader;
    Label1 = caption(Picture5, QStringLiteral("Словарь"));
    Image6 = arrow(Picture5, "arrow-up");
    Image7 = arrow(Picture5, "arrow-down");
    LabelSearch = new ClickLabel(Picture5);
    LabelSearch->setObjectName(QStringLiteral("LabelSearch"));
    LabelSearch->setTextFormat(Qt::PlainText);
    LabelSearch->setText(QStringLiteral("Искать в толкованиях"));
    LabelSearch->setCursor(Qt::PointingHandCursor);
    LabelSearch->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    LabelSearch->setToolTip(QStringLiteral("Искать слова в текстах толкований (Ctrl+F)"));
    {
        QFont f = LabelSearch->font();
        f.setUnderline(true);
        LabelSearch->setFont(f);
    }
    connect(LabelSearch, &ClickLabel::clicked, this, [this] { SearchTexts_Open(); });
    dictHeader->onClick = [this] { Image5_Click(); };
    connect(Label1, &ClickLabel::clicked, this, &Form1::Image5_Click);
    connect(Image7, &ClickLabel::clicked, this, &Form1::Image5_Click);
    // The open dictionary's arrow opens the literature panel.
    connect(Image6, &ClickLabel::clicked, this, &Form1::Image4_Click);

    Toolbar2 = new QToolBar(Picture2);
    Toolbar2->setObjectName(QStringLiteral("Toolbar2"));
    Toolbar2->setIconSize({24, 24});
    Toolbar2->setMovable(false);
    Toolbar4 = new QToolBar(Picture2);
    Toolbar4->setObjectName(QStringLiteral("Toolbar4"));
    Toolbar4->setIconSize({16, 16});
    Toolbar4->setMovable(false);
    btnReport = Toolbar4->addAction(style()->standardIcon(QStyle::SP_FileDialogDetailedView), QStringLiteral("Список"));
    btnReport->setToolTip(QStringLiteral("Слова одним столбцом"));
    btnList = Toolbar4->addAction(style()->standardIcon(QStyle::SP_FileDialogListView), QStringLiteral("Колонки"));
    btnList->setToolTip(QStringLiteral("Слова в несколько колонок"));
    btnReport->setCheckable(true);
    btnList->setCheckable(true);
    auto *modes = new QActionGroup(this);
    modes->addAction(btnReport);
    modes->addAction(btnList);
    connect(btnReport, &QAction::triggered, this, [this] { Toolbar4_ButtonClick(1); });
    connect(btnList, &QAction::triggered, this, [this] { Toolbar4_ButtonClick(2); });

    Text2 = new QFrame(Picture2);
    Text2->setFrameShape(QFrame::StyledPanel);
    Text1 = new QLineEdit(Text2);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setFrame(false);
    Text1->setPlaceholderText(QStringLiteral("Поиск слова"));
    LabelSuggest = new QLabel(Picture2);
    LabelSuggest->setObjectName(QStringLiteral("LabelSuggest"));
    LabelSuggest->setTextFormat(Qt::RichText);
    LabelSuggest->setWordWrap(true);
    LabelSuggest->hide();
    connect(LabelSuggest, &QLabel::linkActivated, this, [this](const QString &link) {
        const int item = link.toInt();
        if (item >= 0 && item < words_.size())
            Suggestion_Click(words_.word(item));
    });
    ListView1 = new QListView(Picture2);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setUniformItemSizes(true);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);

    // Status strip.
    auto *status = new StatusStrip(this);
    StatusBar1 = status;
    status->onResize = [this] { StatusBar1_Resize(); };
    Label7 = new QLabel(StatusBar1);
    Label6 = new QLabel(StatusBar1);
    // words, book and article names are shown as they are, never as markup
    Label7->setTextFormat(Qt::PlainText);
    Label6->setTextFormat(Qt::PlainText);
    // the strip paints its own light colours: its text is dark on any theme
    for (QLabel *l : {Label7, Label6}) {
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, QColor(0x10, 0x10, 0x10));
        l->setPalette(pal);
    }
    QFont bf = Label6->font();
    bf.setBold(true);
    Label6->setFont(bf);
    Label6->setAlignment(Qt::AlignLeft | Qt::AlignVCenter); // a long word is cut at its end
    Image11 = new QLabel(StatusBar1);                       // painted by the strip; kept for its extent
    Image11->setFixedSize(TwipsToPixels(255), 1);
    Image11->hide();
    Process1 = new Process(StatusBar1);
    Process1->hide();

    Tray1 = new TrayArea(this);
    Tray1->setToolTip(QStringLiteral("ZUL Somnex 3 — сонник"));
    connect(Tray1, &TrayArea::MouseDown, this, &Form1::Tray1_MouseDown);

    // The dictionary panel is open after load.
    Image4->show();
    Image5->hide();
    Image6->show();
    Image7->hide();
    TreeView1->hide();
}

bool Form1::literatureOpen() const
{
    return Image5->isVisibleTo(Picture1);
}

double Form1::fontScale()
{
    const QFontMetricsF fm(QApplication::font());
    const double letters = fm.horizontalAdvance(kFontScaleLetters.toString());
    return FontScale(letters / double(kFontScaleLetters.size()), fm.height());
}

void Form1::Form_Load()
{
    AppState &s = app();
    // The data folders.
    const QString shared = SharedDataFolder();
    s.BooksFolder = BooksFolderFor(shared);
    s.TextsFolder = TextsFolderFor(shared);
    // A minimum size for the program under its own name.
    if (ExeBaseName().toUpper() == QLatin1String("SOMNEX"))
        setMinimumSize(260, 360);
    // The stored position and size, kept on a screen.
    auto twips = [](const QRect &r) {
        return TwipRect{PixelsToTwips(r.x()), PixelsToTwips(r.y()), PixelsToTwips(r.width()),
                        PixelsToTwips(r.height())};
    };
    const TwipRect primary = twips(QGuiApplication::primaryScreen()->availableGeometry());
    std::vector<TwipRect> areas;
    for (const QScreen *sc : QGuiApplication::screens())
        areas.push_back(twips(sc->availableGeometry()));
    const double nan = std::nan("");
    const TwipRect g =
        KeepOnScreens(LoadMainGeometry(GetSettingReal(settings::kApp, settings::kMain, settings::key::Top, nan),
                                       GetSettingReal(settings::kApp, settings::kMain, settings::key::Left, nan),
                                       GetSettingReal(settings::kApp, settings::kMain, settings::key::Height, nan),
                                       GetSettingReal(settings::kApp, settings::kMain, settings::key::Width, nan),
                                       primary, fontScale()),
                      areas, primary);
    move(TwipsToPixels(g.left), TwipsToPixels(g.top));
    resize(TwipsToPixels(g.width), TwipsToPixels(g.height));
    lastNormal_ = QRect(pos(), size());
    // The title with the version.
    setWindowTitle(QStringLiteral("Сонник ZUL Somnex ") + VersionText());
    // The place of observation.
    tryStep([&] {
        const location::Location place = location::Location::load(GetSetting);
        s.ObserverLatitude = place.latitude().toDouble();
        s.ObserverLongitude = place.longitude().toDouble();
    });
    // Closing to the tray, the menu's transparency, the administrator's commands.
    s.CloseToTray = GetSettingBool(settings::kApp, settings::kMain, settings::key::ToTray, false);
    s.MenuAlpha = std::clamp(GetSettingInt(settings::kApp, settings::kMain, settings::key::MenuTransp, 205), 0, 255);
    s.AdminCommands = GetSetting(settings::kApp, settings::kMain, settings::key::AdminCommands, QString());
    // The word list's view.
    const int mode = GetSettingInt(settings::kApp, settings::kMain, settings::key::ListMode, 1);
    (mode == 1 ? btnReport : btnList)->setChecked(true);
    Toolbar4_ButtonClick(mode == 1 ? 1 : 2);
    // The administrator's commands (going to the tray).
    CheckAdminSet();
    // The busy animation while the books load.
    Process1->show();
    Process1->ProgressPlay();
    // The dream books and the word list.
    if (!LoadBooks())
        return;
    // The literature shelf.
    ShowLit();
    // The word selected when the program last ended.
    LoadLastWord();
    // The busy animation stops after half a second.
    Timer1.start();
    Form_Resize();
}

void Form1::Form_Resize()
{
    tryStep([&] {
        const double W = twW(this), H = twH(this);
        const QSize linkSize = Label3->sizeHint();
        const MainLayout m = LayoutMain(W, H, 0, kToolbarHeight, kStatusHeight, literatureOpen(),
                                        PixelsToTwips(linkSize.width()), PixelsToTwips(linkSize.height()));
        setTwips(Toolbar1, {m.toolbar.left, m.toolbar.top, m.aboutPicture.left - 30, m.toolbar.height});
        setTwips(Label3, m.aboutLink);
        setTwips(Label2, m.aboutShadow);
        setTwips(Image8, m.aboutPicture);
        Label2->lower();
        setTwips(Picture3, m.literature);
        setTwips(Picture2, m.dictionary);
        Picture2->raise();
        setTwips(StatusBar1, m.status);
        layoutLiteraturePanel();
        layoutDictionaryPanel();
        update();
    });
}

void Form1::layoutLiteraturePanel()
{
    const double w = twW(Picture3), h = twH(Picture3);
    setTwips(Picture1, {0, 0, w, kClosedPanelHeight});
    const int capH = Label5->sizeHint().height();
    Label5->setGeometry(TwipsToPixels(120), (Picture1->height() - capH) / 2, Label5->sizeHint().width(), capH);
    for (QWidget *a : {static_cast<QWidget *>(Image4), static_cast<QWidget *>(Image5)})
        a->move(TwipsToPixels(w - 300), (Picture1->height() - a->height()) / 2);
    const double barTop = kClosedPanelHeight + 30;
    const double barH = 480;
    setTwips(Toolbar3, {30, barTop, w - 60, barH});
    const double frameTop = barTop + barH + 30;
    setTwips(Text3, {30, frameTop, w - 60, h - frameTop - 45});
    setTwips(TreeView1, {30, 30, twW(Text3) - 60, twH(Text3) - 60});
}

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kTagRole = Qt::UserRole + 1;

} // namespace

QString Form1::nodeKey(const QTreeWidgetItem *node)
{
    return node ? node->data(0, kKeyRole).toString() : QString();
}

QString Form1::nodeTag(const QTreeWidgetItem *node)
{
    return node ? node->data(0, kTagRole).toString() : QString();
}

QTreeWidgetItem *Form1::litNode(const QString &key) const
{
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it)
        if (nodeKey(*it) == key)
            return *it;
    return nullptr;
}

void Form1::ShowLit()
{
    using namespace literature;
    const QSignalBlocker quiet(TreeView1);
    TreeView1->clear();
    auto node = [](QTreeWidgetItem *parent, const QString &key, const QString &text, const QIcon &icon) {
        auto *n = new QTreeWidgetItem(parent);
        n->setText(0, text);
        n->setIcon(0, icon);
        n->setData(0, kKeyRole, key);
        n->setData(0, kTagRole, QString());
        return n;
    };
    auto *all = node(nullptr, kAllKey, kAllText, style()->standardIcon(QStyle::SP_DirIcon));
    TreeView1->addTopLevelItem(all);
    all->setExpanded(GetSettingBool(settings::kApp, settings::kMain, settings::key::LitAExpanded, true));
    auto *fav = node(nullptr, kFavKey, kFavText, style()->standardIcon(QStyle::SP_DirLinkIcon));
    TreeView1->addTopLevelItem(fav);
    fav->setExpanded(GetSettingBool(settings::kApp, settings::kMain, settings::key::LitFExpanded, true));
    tryStep([&] {
        const QIcon article = style()->standardIcon(QStyle::SP_FileIcon);
        const Shelf shelf = BuildShelf(app().TextsFolder, [](const QString &key) {
            return GetSetting(settings::kApp, settings::kBooks, key, QString());
        });
        for (const Node &a : shelf.articles)
            node(all, a.key, a.text, article)->setData(0, kTagRole, a.tag);
        for (const Node &c : shelf.favourites)
            node(fav, c.key, c.text, article);
    });
}

void Form1::AboutLit()
{
    const QTreeWidgetItem *all = litNode(literature::kAllKey);
    const QString text = literature::CountText(all ? all->childCount() : 0);
    Label7->setProperty("fullText", IfLong(text, WhatLong()));
    layoutStatus();
}

void Form1::TreeView1_GotFocus()
{
    tryStep([&] {
        app().LiteratureActive = true;
        AboutLit();
        if (QTreeWidgetItem *n = TreeView1->currentItem())
            TreeView1_NodeClick(n);
    });
}

void Form1::TreeView1_NodeClick(QTreeWidgetItem *node)
{
    if (!node)
        return;
    using literature::NodeKind;
    const NodeKind kind = !node->parent()                                  ? NodeKind::Group
                          : nodeKey(node->parent()) == literature::kFavKey ? NodeKind::Favourite
                                                                           : NodeKind::Article;
    const literature::NodeButtons b = literature::ButtonsFor(kind, nodeTag(node));
    btnTolk->setEnabled(b.tolk);
    btnAddFav->setEnabled(b.add);
    btnDelFav->setEnabled(b.remove);
    Label6->setText(IfLong(node->text(0), 20));
    layoutStatus();
}

void Form1::TreeView1_DblClick()
{
    ListView1_DblClick();
}

void Form1::Toolbar3_ButtonClick(int button)
{
    using namespace literature;
    QTreeWidgetItem *sel = TreeView1->currentItem();
    if (!sel)
        return;
    if (button == 1) {
        const QString key = FavouriteKey(nodeKey(sel));
        if (litNode(key)) {
            ShowMessage(sel->text(0) + QStringLiteral(" уже есть в избранном!"), QStringLiteral("Литература"),
                        MsgIcon::Warning);
            return;
        }
        QTreeWidgetItem *fav = litNode(kFavKey);
        if (!fav)
            return;
        auto *copy = new QTreeWidgetItem(fav);
        copy->setText(0, sel->text(0));
        copy->setIcon(0, sel->icon(0));
        copy->setData(0, kKeyRole, key);
        copy->setData(0, kTagRole, QString());
        sel->setData(0, kTagRole, kFavouriteTag);
        btnAddFav->setEnabled(false);
    } else if (button == 3) {
        const QString key = nodeKey(sel);
        {
            const QSignalBlocker quiet(TreeView1);
            if (IsFavouriteKey(key))
                delete sel;
        }
        if (QTreeWidgetItem *article = litNode(key.chopped(key.isEmpty() ? 0 : 1)))
            article->setData(0, kTagRole, QString());
        btnDelFav->setEnabled(false);
    }
}

void Form1::layoutDictionaryPanel()
{
    const double w = twW(Picture2), h = twH(Picture2);
    setTwips(Picture5, {0, 0, w, kClosedPanelHeight});
    const int capH = Label1->sizeHint().height();
    Label1->setGeometry(TwipsToPixels(120), (Picture5->height() - capH) / 2, Label1->sizeHint().width(), capH);
    for (QWidget *a : {static_cast<QWidget *>(Image6), static_cast<QWidget *>(Image7)})
        a->move(TwipsToPixels(w - 300), (Picture5->height() - a->height()) / 2);
    const QSize searchSize = LabelSearch->sizeHint();
    LabelSearch->setGeometry(TwipsToPixels(w - 420) - searchSize.width(),
                             (Picture5->height() - searchSize.height()) / 2, searchSize.width(), searchSize.height());
    const double barTop = kClosedPanelHeight + 30;
    const double barH = 480;
    const double t4w = PixelsToTwips(Toolbar4->sizeHint().width());
    setTwips(Toolbar4, {w - t4w, barTop, t4w, barH});
    setTwips(Toolbar2, {0, barTop, std::max(0.0, w - t4w - 30), barH});
    const double frameTop = barTop + barH + 30;
    const double frameH = 390;
    setTwips(Text2, {30, frameTop, w - 60, frameH});
    setTwips(Text1, {30, 30, twW(Text2) - 60, twH(Text2) - 60});
    double listTop = frameTop + frameH + 30;
    if (LabelSuggest && !LabelSuggest->isHidden()) {
        const double lineH = PixelsToTwips(LabelSuggest->heightForWidth(TwipsToPixels(w - 60)));
        setTwips(LabelSuggest, {30, listTop, w - 60, lineH});
        listTop += lineH + 30;
    }
    setTwips(ListView1, {30, listTop, w - 60, h - listTop - 45});
}

void Form1::noteNormalGeometry()
{
    if (isVisible() && !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
        lastNormal_ = QRect(pos(), size());
}

void Form1::moveEvent(QMoveEvent *e)
{
    QWidget::moveEvent(e);
    noteNormalGeometry();
}

void Form1::resizeEvent(QResizeEvent *)
{
    noteNormalGeometry();
    Form_Resize();
}

void Form1::paintEvent(QPaintEvent *)
{
    // The window's background: the toolbar picture behind the main toolbar row.
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    QSvgRenderer bg(artworkPath("toolbar"));
    bg.render(&p, QRectF(0, 0, width(), TwipsToPixels(kToolbarHeight)));
}

void Form1::Toolbar1_ButtonClick(const QString &key)
{
    if (key == QLatin1String("Tolk")) {
        ShowTolk();
    } else if (key == QLatin1String("Calen")) {
        // Modeless, owned by this window; the button stays pressed while the
        // calendar is open and is released when it unloads.
        const bool opening = calendar::Calen::instance() == nullptr;
        calendar::Calen *c = calendar::Calen::open(this);
        btnCalen->setChecked(true);
        if (opening) {
            registerSecondaryWindow(c);
            connect(c, &calendar::Calen::unloaded, this, [this] { btnCalen->setChecked(false); });
        }
    } else if (key == QLatin1String("HLP")) {
        registerSecondaryWindow(options::OptionsForm::open(1, true, this));
    } else if (key == QLatin1String("Diary")) {
        openDiary();
    }
}

void Form1::connectDiary()
{
    // the calendar's "Записать сон на эту дату": a new dream at its moment
    calendar::Calen::diaryOpener() = [this](double moment) {
        openDiary(diary::momentIn(calendar::dateOf(moment), calendar::timeOf(moment)), true);
    };
}

diary::DiaryWindow *Form1::openDiary(const QDateTime &newDreamAt, bool newDream)
{
    const bool opening = diary::DiaryWindow::instance() == nullptr;
    diary::DiaryWindow *d = diary::DiaryWindow::open(this, nullptr);
    if (opening)
        registerSecondaryWindow(d);
    if (newDream || newDreamAt.isValid())
        d->newEntry(newDreamAt);
    return d;
}

void Form1::openInterpretation(const QString &headword)
{
    if (const int item = words_.indexOf(headword); item >= 0 && !literatureOpen()) {
        selectItem(item + 1);
        SetVisible(item + 1);
    }
    if (!tolk_) {
        tolk_ = new Tolk(this, nullptr);
        registerSecondaryWindow(tolk_);
        if (!tolk_->Form_Load())
            return;
    }
    btnTolk->setChecked(true);
    tolk_->show();
    tolk_->raise();
    tolk_->activateWindow();
    tolk_->ShowWord(headword, QStringLiteral("ShowTolk"));
}

diary::Place Form1::diaryPlace()
{
    const location::Location place = location::Location::load(GetSetting);
    return {place.cityName, place.latitude().toDouble(), place.longitude().toDouble()};
}

void Form1::Toolbar4_ButtonClick(int button)
{
    if (button == 1) {
        ListView1->setViewMode(QListView::ListMode);
        ListView1->setFlow(QListView::TopToBottom);
        ListView1->setWrapping(false);
        ListView1->setAlternatingRowColors(false);
    } else if (button == 2) {
        ListView1->setViewMode(QListView::ListMode);
        ListView1->setFlow(QListView::TopToBottom);
        ListView1->setWrapping(true);
        ListView1->setResizeMode(QListView::Adjust);
        ListView1->setAlternatingRowColors(false);
    }
}

void Form1::Image4_Click()
{
    Image4->hide();
    Image5->show();
    Image6->hide();
    Image7->show();
    ListView1->hide();
    Text1->setEnabled(false);
    Form_Resize();
    TreeView1->show();
    TreeView1->setFocus();
}

void Form1::Image5_Click()
{
    tryStep([&] {
        Image5->hide();
        Image4->show();
        Image7->hide();
        Image6->show();
        TreeView1->hide();
        Text1->setEnabled(true);
        Form_Resize();
        ListView1->show();
        ListView1->setFocus();
        app().LiteratureActive = false;
        StText();
        const QAbstractItemModel *model = ListView1->model();
        if (!model || model->rowCount() == 0) {
            Text1->setEnabled(false);
            btnTolk->setEnabled(false);
        } else if (ListView1->currentIndex().isValid()) {
            Label6->setText(IfLong(ListView1->currentIndex().data().toString(), 20));
            layoutStatus();
        }
    });
}

void Form1::StatusBar1_Resize()
{
    layoutStatus();
    if (app().LiteratureActive)
        return; // the literature count comes with the shelf
    StText();
}

void Form1::layoutStatus()
{
    // The counts label on the left, the current word on the right; the
    // counts give way where both do not fit, ending in "...".
    const int h = StatusBar1->height();
    const int imgLeft = StatusBar1->width() - TwipsToPixels(255);
    Process1->setGeometry(imgLeft - 22, (h - 16) / 2 + 1, 16, 16);
    const int left = TwipsToPixels(90);
    const int wordWidth = std::min(Label6->sizeHint().width(), std::max(0, (imgLeft - left) / 2));
    const int wordLeft = imgLeft - 26 - wordWidth;
    Label6->setGeometry(wordLeft, 2, wordWidth, h - 2);
    const int countsWidth = std::max(0, wordLeft - 8 - left);
    Label7->setGeometry(left, 2, countsWidth, h - 2);
    const QString full = Label7->property("fullText").toString();
    Label7->setText(Label7->fontMetrics().elidedText(full, Qt::ElideRight, countsWidth));
}

void Form1::Form_Activate()
{
    tryStep([&] {
        if (app().FirstActivation)
            Timer2.start();
        const QAbstractItemModel *model = ListView1->model();
        const int count = model ? model->rowCount() : 0;
        if (count > 0 && !app().LiteratureActive)
            ListView1->setFocus();
        if (count == 0) {
            Text1->setEnabled(false);
            btnTolk->setEnabled(false);
        }
    });
}

bool Form1::Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift)
{
    if (!btnTolk->isEnabled())
        return false;
    const bool ctrl = (shift & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier)) == Qt::ControlModifier;
    if ((keyCode == Qt::Key_Return || keyCode == Qt::Key_Enter) && !(shift & Qt::ControlModifier)) {
        ListView1_DblClick();
        return true;
    }
    if (keyCode == Qt::Key_Escape && btnTolk->isChecked()) {
        btnTolk->setChecked(false);
        if (tolk_)
            tolk_->close();
        return true;
    }
    if (ctrl && keyCode == Qt::Key_M) {
        Toolbar1_ButtonClick(QStringLiteral("Calen"));
        return true;
    }
    if (ctrl && keyCode == Qt::Key_D) {
        Toolbar1_ButtonClick(QStringLiteral("Diary"));
        return true;
    }
    if (ctrl && keyCode == Qt::Key_O) {
        Toolbar1_ButtonClick(QStringLiteral("HLP"));
        return true;
    }
    if (ctrl && keyCode == Qt::Key_F) {
        SearchTexts_Open();
        return true;
    }
    return false;
}

bool Form1::eventFilter(QObject *watched, QEvent *e)
{
    // The window sees keys before its controls.
    if (e->type() == QEvent::KeyPress) {
        auto *w = qobject_cast<QWidget *>(watched);
        if (w && w->window() == this && w->isVisible()) {
            auto *k = static_cast<QKeyEvent *>(e);
            if (Form_KeyDown(k->key(), k->modifiers()))
                return true;
        }
    } else if (e->type() == QEvent::FocusIn && watched == TreeView1) {
        TreeView1_GotFocus();
    } else if (e->type() == QEvent::MouseMove) {
        if (watched == this || watched == Toolbar1 || (watched && watched->parent() == Toolbar1))
            setLinkColour(Label3, kLinkDark);
    }
    return QWidget::eventFilter(watched, e);
}

bool Form1::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        Form_Activate();
    return QWidget::event(e);
}

void Form1::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    // Without a window manager the window may never be activated; the first
    // showing then stands in for the first activation so the splash closes.
    if (!shownOnce_) {
        shownOnce_ = true;
        if (app().FirstActivation && splash_)
            Timer2.start();
    }
}

void Form1::Label3_Click()
{
    Label3->unsetCursor();
    setLinkColour(Label3, kLinkDark);
    AboutBox box(this);
    box.exec();
    Label3->setCursor(Qt::PointingHandCursor);
}

void Form1::Label3_MouseMove()
{
    setLinkColour(Label3, kLinkBlue);
}

void Form1::Timer1_Timer()
{
    Timer1.stop();
    Process1->hide();
    Process1->ProgressStop();
}

void Form1::Timer2_Timer()
{
    tryStep([&] {
        // Later activations find no splash screen and change nothing, so the
        // timer has done its work once the splash is gone.
        Timer2.stop();
        if (splash_)
            splash_->close();
    });
}

short Form1::WhatLong() const
{
    return somnex::WhatLong(twW(this), 255, PixelsToTwips(Label7->x()));
}

void Form1::closeEvent(QCloseEvent *e)
{
    // Form_Unload
    if (app().Exiting) {
        e->accept();
        return;
    }
    if (app().CloseToTray) {
        e->ignore();
        ToTray();
        return;
    }
    e->ignore();
    ExitApp(false);
}

} // namespace somnex
