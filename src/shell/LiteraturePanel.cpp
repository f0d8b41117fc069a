#include "shell/LiteraturePanel.h"

#include "appstate/AppState.h"
#include "literature/Shelf.h"
#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "platform/error/Error.h"
#include "shell/HeaderBar.h"
#include "shell/PanelGeometry.h"
#include "shell/PanelParts.h"
#include "shell/StatusPanel.h"
#include "support/Artwork.h"
#include "support/ClickLabel.h"
#include "support/HeaderStrip.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QSignalBlocker>
#include <QToolBar>
#include <QTreeWidget>

namespace somnex {

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kTagRole = Qt::UserRole + 1;

} // namespace

LiteraturePanel::LiteraturePanel(HeaderBar *header, StatusPanel *status, QWidget *parent)
    : QWidget(parent), header_(header), status_(status)
{
    setObjectName(QStringLiteral("Picture3"));
    buildHeader();
    Text3 = new QFrame(this);
    Text3->setFrameShape(QFrame::StyledPanel);
    buildTree();
    buildToolbar();
    // closed after load: the dictionary panel is open
    setOpen(false);
}

void LiteraturePanel::buildHeader()
{
    auto *strip = new HeaderStrip(this);
    Picture1 = strip;
    Label5 = panelCaption(Picture1, QStringLiteral("Литература"));
    Image4 = panelArrow(Picture1, "arrow-down");
    Image5 = panelArrow(Picture1, "arrow-up");
    strip->onClick = [this] { emit openClicked(); };
    connect(Label5, &ClickLabel::clicked, this, &LiteraturePanel::openClicked);
    connect(Image4, &ClickLabel::clicked, this, &LiteraturePanel::openClicked);
    connect(Image5, &ClickLabel::clicked, this, &LiteraturePanel::closeClicked);
}

void LiteraturePanel::buildTree()
{
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
    TreeView1->installEventFilter(this);
}

void LiteraturePanel::buildToolbar()
{
    Toolbar3 = new QToolBar(this);
    Toolbar3->setObjectName(QStringLiteral("Toolbar3"));
    Toolbar3->setAccessibleName(QStringLiteral("Литература"));
    Toolbar3->setIconSize({16, 16});
    Toolbar3->setMovable(false);
    addFavourite_ =
        Toolbar3->addAction(artworkIcon(QStringLiteral("favourite-add")), QStringLiteral("Добавить в избранное"));
    addFavourite_->setObjectName(QStringLiteral("addFavourite"));
    addFavourite_->setToolTip(QStringLiteral("Добавить в избранное"));
    Toolbar3->addSeparator();
    removeFavourite_ =
        Toolbar3->addAction(artworkIcon(QStringLiteral("favourite-remove")), QStringLiteral("Удалить из избранного"));
    removeFavourite_->setObjectName(QStringLiteral("removeFavourite"));
    removeFavourite_->setToolTip(QStringLiteral("Удалить из избранного"));
    addFavourite_->setEnabled(false);
    removeFavourite_->setEnabled(false);
    connect(addFavourite_, &QAction::triggered, this, [this] { Toolbar3_ButtonClick(FavouriteButton::Add); });
    connect(removeFavourite_, &QAction::triggered, this, [this] { Toolbar3_ButtonClick(FavouriteButton::Remove); });
}

bool LiteraturePanel::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == TreeView1 && e->type() == QEvent::FocusIn)
        TreeView1_GotFocus();
    return QWidget::eventFilter(watched, e);
}

bool LiteraturePanel::isOpen() const
{
    return Image5->isVisibleTo(Picture1);
}

void LiteraturePanel::setOpen(bool open)
{
    Image4->setVisible(!open);
    Image5->setVisible(open);
    if (!open)
        TreeView1->hide();
}

void LiteraturePanel::showTree()
{
    TreeView1->show();
    TreeView1->setFocus();
}

void LiteraturePanel::layoutControls()
{
    const double w = twipsWidth(this), h = twipsHeight(this);
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
    setTwips(TreeView1, {30, 30, twipsWidth(Text3) - 60, twipsHeight(Text3) - 60});
}

QString LiteraturePanel::nodeKey(const QTreeWidgetItem *node)
{
    return node ? node->data(0, kKeyRole).toString() : QString();
}

QString LiteraturePanel::nodeTag(const QTreeWidgetItem *node)
{
    return node ? node->data(0, kTagRole).toString() : QString();
}

QTreeWidgetItem *LiteraturePanel::litNode(const QString &key) const
{
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it)
        if (nodeKey(*it) == key)
            return *it;
    return nullptr;
}

QTreeWidgetItem *LiteraturePanel::currentNode() const
{
    return TreeView1->currentItem();
}

void LiteraturePanel::ShowLit()
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
    auto *all = node(nullptr, kAllKey, kAllText, artworkIcon(QStringLiteral("folder")));
    TreeView1->addTopLevelItem(all);
    all->setExpanded(GetSettingBool(settings::kApp, settings::kMain, settings::key::LitAExpanded, true));
    auto *fav = node(nullptr, kFavKey, kFavText, artworkIcon(QStringLiteral("folder-favourites")));
    TreeView1->addTopLevelItem(fav);
    fav->setExpanded(GetSettingBool(settings::kApp, settings::kMain, settings::key::LitFExpanded, true));
    // a missing or unreadable texts folder lists no articles
    const QIcon article = artworkIcon(QStringLiteral("article"));
    const Shelf shelf = BuildShelf(app().TextsFolder, [](const QString &key) {
        return GetSetting(settings::kApp, settings::kBooks, key, QString());
    });
    for (const Node &a : shelf.articles)
        node(all, a.key, a.text, article)->setData(0, kTagRole, a.tag);
    for (const Node &c : shelf.favourites)
        node(fav, c.key, c.text, article);
}

void LiteraturePanel::AboutLit()
{
    const QTreeWidgetItem *all = litNode(literature::kAllKey);
    status_->showCounts(literature::CountText(all ? all->childCount() : 0));
}

void LiteraturePanel::TreeView1_GotFocus()
{
    app().LiteratureActive = true;
    AboutLit();
    if (QTreeWidgetItem *n = TreeView1->currentItem())
        TreeView1_NodeClick(n);
}

void LiteraturePanel::TreeView1_NodeClick(QTreeWidgetItem *node)
{
    if (!node)
        return;
    using literature::NodeKind;
    const NodeKind kind = !node->parent()                                  ? NodeKind::Group
                          : nodeKey(node->parent()) == literature::kFavKey ? NodeKind::Favourite
                                                                           : NodeKind::Article;
    const literature::NodeButtons b = literature::ButtonsFor(kind, nodeTag(node));
    header_->setTolkEnabled(b.tolk);
    addFavourite_->setEnabled(b.add);
    removeFavourite_->setEnabled(b.remove);
    status_->showWord(IfLong(node->text(0), 20));
}

void LiteraturePanel::TreeView1_DblClick()
{
    emit articleActivated();
}

void LiteraturePanel::Toolbar3_ButtonClick(FavouriteButton button)
{
    QTreeWidgetItem *sel = TreeView1->currentItem();
    if (!sel)
        return;
    switch (button) {
    case FavouriteButton::Add: addFavourite(sel); break;
    case FavouriteButton::Remove: removeFavourite(sel); break;
    }
}

void LiteraturePanel::addFavourite(QTreeWidgetItem *sel)
{
    using namespace literature;
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
    addFavourite_->setEnabled(false);
}

void LiteraturePanel::removeFavourite(QTreeWidgetItem *sel)
{
    using namespace literature;
    const QString key = nodeKey(sel);
    {
        const QSignalBlocker quiet(TreeView1);
        if (IsFavouriteKey(key))
            delete sel;
    }
    if (QTreeWidgetItem *article = litNode(key.chopped(key.isEmpty() ? 0 : 1)))
        article->setData(0, kTagRole, QString());
    removeFavourite_->setEnabled(false);
}

void LiteraturePanel::storeState() const
{
    // every node after the first keeps its Tag
    QTreeWidgetItemIterator it(TreeView1);
    if (*it)
        ++it;
    for (; *it; ++it)
        SaveSetting(settings::kApp, settings::kBooks, nodeKey(*it), nodeTag(*it));
    const QTreeWidgetItem *all = litNode(literature::kAllKey);
    const QTreeWidgetItem *fav = litNode(literature::kFavKey);
    SaveSetting(settings::kApp, settings::kMain, settings::key::LitAExpanded, boolText(all && all->isExpanded()));
    SaveSetting(settings::kApp, settings::kMain, settings::key::LitFExpanded, boolText(fav && fav->isExpanded()));
}

} // namespace somnex
