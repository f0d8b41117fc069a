#pragma once
// The literature panel of the main window: its header strip with the caption
// and the arrows, the favourites toolbar, and the tree of articles and
// favourites.

#include <QWidget>

class QAction;
class QFrame;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace somnex {

class ClickLabel;
class HeaderBar;
class StatusPanel;

// The favourites toolbar's buttons (a separator stands between them).
enum class FavouriteButton { Add = 1, Remove = 3 };

class LiteraturePanel : public QWidget {
    Q_OBJECT
public:
    LiteraturePanel(HeaderBar *header, StatusPanel *status, QWidget *parent);

    // The open panel shows its tree and the arrow that closes it.
    bool isOpen() const;
    void setOpen(bool open);
    void showTree();
    void layoutControls();

    // The tree of articles from the texts folder, marks from the settings.
    void ShowLit();
    // The count of articles in the status strip.
    void AboutLit();
    void TreeView1_GotFocus();
    void TreeView1_NodeClick(QTreeWidgetItem *node);
    void TreeView1_DblClick();
    void Toolbar3_ButtonClick(FavouriteButton button);

    // The node with the key (null when none); a node's key and Tag.
    QTreeWidgetItem *litNode(const QString &key) const;
    QTreeWidgetItem *currentNode() const;
    static QString nodeKey(const QTreeWidgetItem *node);
    static QString nodeTag(const QTreeWidgetItem *node);
    // Every node's mark and both groups' expansion into the settings.
    void storeState() const;

signals:
    void openClicked();      // the header, its caption or the down arrow
    void closeClicked();     // the up arrow: the dictionary opens again
    void articleActivated(); // a double click on a node

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    HeaderBar *header_;
    StatusPanel *status_;
    QWidget *Picture1 = nullptr; // header strip
    ClickLabel *Label5 = nullptr, *Image4 = nullptr, *Image5 = nullptr;
    QFrame *Text3 = nullptr;
    QTreeWidget *TreeView1 = nullptr;
    QToolBar *Toolbar3 = nullptr;
    QAction *addFavourite_ = nullptr, *removeFavourite_ = nullptr;
    void buildHeader();
    void buildTree();
    void buildToolbar();
    void addFavourite(QTreeWidgetItem *sel);
    void removeFavourite(QTreeWidgetItem *sel);
};

} // namespace somnex
