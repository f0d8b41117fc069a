#include "shell/DictionaryPanel.h"

#include "appstate/AppState.h"
#include "platform/core/Messages.h"
#include "platform/core/Settings.h"
#include "platform/error/Error.h"
#include "platform/ui/Desktop.h"
#include "reading/CatalogueTolk.h"
#include "shell/BookBar.h"
#include "shell/Form1.h"
#include "shell/HeaderBar.h"
#include "shell/PanelGeometry.h"
#include "shell/PanelParts.h"
#include "shell/StatusPanel.h"
#include "shell/TextIndexService.h"
#include "shell/WordListModel.h"
#include "support/Artwork.h"
#include "support/HeaderStrip.h"

#include "dictionary/MergedWords.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QFrame>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>
#include <QToolBar>

#include <optional>

namespace somnex {

using dictionary::CatalogueBook;
using dictionary::CatalogueLoad;

namespace {

class KeyWatcher : public QObject {
public:
    std::function<bool(QKeyEvent *)> onKey;
    std::function<void()> onFocus;
    std::function<void(QMouseEvent *)> onRelease;
    using QObject::QObject;

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress && onKey && onKey(static_cast<QKeyEvent *>(e)))
            return true;
        if (e->type() == QEvent::FocusIn && onFocus)
            onFocus();
        if (e->type() == QEvent::MouseButtonRelease && onRelease)
            onRelease(static_cast<QMouseEvent *>(e));
        return QObject::eventFilter(o, e);
    }
};

} // namespace

DictionaryPanel::DictionaryPanel(HeaderBar *header, StatusPanel *status, DictionaryHost *host, QWidget *parent)
    : QWidget(parent), header_(header), status_(status), host_(host)
{
    setObjectName(QStringLiteral("Picture2"));
    buildHeader();
    buildToolbars();
    buildSearch();
    index_ = new TextIndexService(this);
    index_->onIndex = [this](std::shared_ptr<const dictionary::TextIndex> index) {
        emit textIndexChanged(std::move(index));
        // a book changed since its cached words were taken: the list is made from the book
        if (dictionary::dropStaleWords(Toolbar2->books()))
            reloadKeepingPlace();
        else
            emit textIndexReady();
    };
    index_->onFinder = [this](dictionary::WordFinder &&finder, int generation) {
        if (rebuild_ == generation) {
            finder_ = std::move(finder);
            finderOf_ = generation;
        }
    };
    // open after load
    setOpen(true);
}

DictionaryPanel::~DictionaryPanel()
{
    stopTextIndex();
}

void DictionaryPanel::buildHeader()
{
    auto *strip = new HeaderStrip(this);
    Picture5 = strip;
    Label1 = panelCaption(Picture5, QStringLiteral("Словарь"));
    Image6 = panelArrow(Picture5, "arrow-up");
    Image7 = panelArrow(Picture5, "arrow-down");
    textSearchLink_ = new ClickLabel(Picture5);
    textSearchLink_->setObjectName(QStringLiteral("LabelSearch"));
    textSearchLink_->setTextFormat(Qt::PlainText);
    textSearchLink_->setText(QStringLiteral("Искать в толкованиях"));
    textSearchLink_->setCursor(Qt::PointingHandCursor);
    textSearchLink_->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    textSearchLink_->setToolTip(QStringLiteral("Искать слова в текстах толкований (Ctrl+F)"));
    QFont f = textSearchLink_->font();
    f.setUnderline(true);
    textSearchLink_->setFont(f);
    connect(textSearchLink_, &ClickLabel::clicked, this, &DictionaryPanel::textSearchClicked);
    strip->onClick = [this] { emit openClicked(); };
    connect(Label1, &ClickLabel::clicked, this, &DictionaryPanel::openClicked);
    connect(Image7, &ClickLabel::clicked, this, &DictionaryPanel::openClicked);
    // The open dictionary's arrow opens the literature panel.
    connect(Image6, &ClickLabel::clicked, this, &DictionaryPanel::literatureClicked);
}

void DictionaryPanel::buildToolbars()
{
    Toolbar2 = new BookBar(this);
    connect(Toolbar2, &BookBar::buttonClicked, this, &DictionaryPanel::Toolbar2_ButtonClick);
    connect(Toolbar2, &BookBar::booksAdded, this, [this] {
        layoutControls();
        reloadKeepingPlace();
    });
    Toolbar4 = new QToolBar(this);
    Toolbar4->setObjectName(QStringLiteral("Toolbar4"));
    Toolbar4->setAccessibleName(QStringLiteral("Вид списка"));
    Toolbar4->setIconSize({16, 16});
    Toolbar4->setMovable(false);
    reportView_ = Toolbar4->addAction(artworkIcon(QStringLiteral("view-report")), QStringLiteral("Список"));
    reportView_->setObjectName(QStringLiteral("reportView"));
    reportView_->setToolTip(QStringLiteral("Слова одним столбцом"));
    listView_ = Toolbar4->addAction(artworkIcon(QStringLiteral("view-list")), QStringLiteral("Колонки"));
    listView_->setObjectName(QStringLiteral("listView"));
    listView_->setToolTip(QStringLiteral("Слова в несколько колонок"));
    reportView_->setCheckable(true);
    listView_->setCheckable(true);
    auto *modes = new QActionGroup(this);
    modes->addAction(reportView_);
    modes->addAction(listView_);
    connect(reportView_, &QAction::triggered, this, [this] { Toolbar4_ButtonClick(ListMode::Report); });
    connect(listView_, &QAction::triggered, this, [this] { Toolbar4_ButtonClick(ListMode::List); });
}

void DictionaryPanel::buildSearch()
{
    Text2 = new QFrame(this);
    Text2->setFrameShape(QFrame::StyledPanel);
    Text1 = new QLineEdit(Text2);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setFrame(false);
    Text1->setPlaceholderText(QStringLiteral("Поиск слова"));
    suggestionLine_ = new QLabel(this);
    suggestionLine_->setObjectName(QStringLiteral("LabelSuggest"));
    suggestionLine_->setTextFormat(Qt::RichText);
    suggestionLine_->setWordWrap(true);
    suggestionLine_->hide();
    connect(suggestionLine_, &QLabel::linkActivated, this, [this](const QString &link) {
        if (link == QLatin1String("dream")) {
            host_->interpretDream(Text1->text());
            return;
        }
        const int item = link.toInt();
        if (item >= 0 && item < words_.size())
            openWord(words_.word(item));
    });
    ListView1 = new QListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setUniformItemSizes(true);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void DictionaryPanel::setOpen(bool open)
{
    Image6->setVisible(open);
    Image7->setVisible(!open);
    if (!open)
        ListView1->hide();
    Text1->setEnabled(open);
}

void DictionaryPanel::showList()
{
    ListView1->show();
    ListView1->setFocus();
    app().LiteratureActive = false;
    status_->StText();
    if (wordCount() == 0) {
        Text1->setEnabled(false);
        header_->setTolkEnabled(false);
    } else if (ListView1->currentIndex().isValid()) {
        status_->showWord(IfLong(ListView1->currentIndex().data().toString(), 20));
    }
}

void DictionaryPanel::focusList()
{
    ListView1->setFocus();
}

int DictionaryPanel::wordCount() const
{
    const QAbstractItemModel *model = ListView1->model();
    return model ? model->rowCount() : 0;
}

void DictionaryPanel::setSearchEnabled(bool enabled)
{
    Text1->setEnabled(enabled);
}

void DictionaryPanel::setSearchText(const QString &text)
{
    Text1->setText(text);
}

void DictionaryPanel::layoutControls()
{
    const double w = twipsWidth(this), h = twipsHeight(this);
    setTwips(Picture5, {0, 0, w, kClosedPanelHeight});
    const int capH = Label1->sizeHint().height();
    Label1->setGeometry(TwipsToPixels(120), (Picture5->height() - capH) / 2, Label1->sizeHint().width(), capH);
    for (QWidget *a : {static_cast<QWidget *>(Image6), static_cast<QWidget *>(Image7)})
        a->move(TwipsToPixels(w - 300), (Picture5->height() - a->height()) / 2);
    const QSize searchSize = textSearchLink_->sizeHint();
    textSearchLink_->setGeometry(TwipsToPixels(w - 420) - searchSize.width(),
                                 (Picture5->height() - searchSize.height()) / 2, searchSize.width(),
                                 searchSize.height());
    const double barTop = kClosedPanelHeight + 30;
    const double barH = 480;
    const double t4w = PixelsToTwips(Toolbar4->sizeHint().width());
    setTwips(Toolbar4, {w - t4w, barTop, t4w, barH});
    setTwips(Toolbar2, {0, barTop, std::max(0.0, w - t4w - 30), barH});
    const double frameTop = barTop + barH + 30;
    const double frameH = 390;
    setTwips(Text2, {30, frameTop, w - 60, frameH});
    setTwips(Text1, {30, 30, twipsWidth(Text2) - 60, twipsHeight(Text2) - 60});
    double listTop = frameTop + frameH + 30;
    if (!suggestionLine_->isHidden()) {
        const double lineH = PixelsToTwips(suggestionLine_->heightForWidth(TwipsToPixels(w - 60)));
        setTwips(suggestionLine_, {30, listTop, w - 60, lineH});
        listTop += lineH + 30;
    }
    setTwips(ListView1, {30, listTop, w - 60, h - listTop - 45});
}

// The word list, the search box and the book bar answer the user from here on.
void DictionaryPanel::connectControls()
{
    Toolbar2->prepare();
    window()->setAcceptDrops(true);
    wordModel_ = new WordListModel(&words_, this);
    ListView1->setModel(wordModel_);
    connectList();
    connectSearch();
}

void DictionaryPanel::connectList()
{
    connect(ListView1, &QListView::clicked, this, [this](const QModelIndex &i) { ListView1_ItemClick(i.row() + 1); });
    connect(ListView1, &QListView::doubleClicked, this, [this] { ListView1_DblClick(); });
    connect(ListView1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &cur) {
        if (!programmatic_ && cur.isValid() && ListView1->hasFocus())
            ListView1_ItemClick(cur.row() + 1);
    });
    auto *listKeys = new KeyWatcher(this);
    listKeys->onKey = [this](QKeyEvent *e) {
        return !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && ListView1_KeyPress(e->text());
    };
    listKeys->onFocus = [this] { ListView1_GotFocus(); };
    ListView1->installEventFilter(listKeys);
}

void DictionaryPanel::connectSearch()
{
    connect(Text1, &QLineEdit::textChanged, this, &DictionaryPanel::Text1_Change);
    auto *textKeys = new KeyWatcher(this);
    textKeys->onKey = [this](QKeyEvent *e) { return Text1_KeyDown(e->key()); };
    textKeys->onFocus = [this] { Text1_GotFocus(); };
    textKeys->onRelease = [this](QMouseEvent *) { Text1_Click(); };
    Text1->installEventFilter(textKeys);
}

void DictionaryPanel::Toolbar4_ButtonClick(ListMode mode)
{
    ListView1->setViewMode(QListView::ListMode);
    ListView1->setFlow(QListView::TopToBottom);
    ListView1->setWrapping(mode == ListMode::List);
    if (mode == ListMode::List)
        ListView1->setResizeMode(QListView::Adjust);
    ListView1->setAlternatingRowColors(false);
}

void DictionaryPanel::setListMode(ListMode mode)
{
    (mode == ListMode::Report ? reportView_ : listView_)->setChecked(true);
    Toolbar4_ButtonClick(mode);
}

ListMode DictionaryPanel::listMode() const
{
    return reportView_->isChecked() ? ListMode::Report : ListMode::List;
}

void DictionaryPanel::Listcheck()
{
    const bool any = wordModel_ && wordModel_->rowCount() > 0;
    if (any) {
        selectItem(1);
        Text1->setText(words_.word(0));
        header_->setTolkEnabled(true);
        Text1->setEnabled(!host_->literatureShown());
        ListView1->setEnabled(true);
        ListView1_ItemClick(1);
    } else {
        header_->setTolkEnabled(false);
        Text1->clear();
        Text1->setEnabled(false);
        ListView1->setEnabled(false);
    }
}

QString DictionaryPanel::selectedWord() const
{
    const int i = selectedItem();
    return i > 0 ? words_.word(i - 1) : QString();
}

int DictionaryPanel::selectedItem() const
{
    if (!wordModel_ || !ListView1->selectionModel())
        return 0;
    const QModelIndexList sel = ListView1->selectionModel()->selectedIndexes();
    if (sel.isEmpty() || sel.first().row() >= words_.size())
        return 0;
    return sel.first().row() + 1;
}

void DictionaryPanel::selectItem(int item)
{
    if (!wordModel_ || item < 1 || item > wordModel_->rowCount())
        return;
    programmatic_ = true;
    const QModelIndex idx = wordModel_->index(item - 1);
    ListView1->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
    programmatic_ = false;
    // the status strip names the word the list shows selected
    if (!host_->literatureShown())
        status_->showWord(IfLong(words_.word(item - 1), 22));
}

bool DictionaryPanel::openWord(const QString &word)
{
    const int item = words_.indexOf(word);
    if (item < 0)
        return false;
    Text1->setText(word);
    selectItem(item + 1);
    SetVisible(item + 1);
    ListView1_DblClick();
    return true;
}

void DictionaryPanel::Text1_Change()
{
    const int i = words_.findPrefix(Text1->text());
    showSuggestions(i < 0 ? Text1->text() : QString());
    if (i < 0)
        return;
    selectItem(i + 1);
    SetVisible(i + 1);
}

const dictionary::WordFinder &DictionaryPanel::finder()
{
    // A list of ordinary size is indexed at once (a few milliseconds); a
    // larger one by the worker that builds the text index, and until it is
    // done there are no suggestions.
    if (finderOf_ != rebuild_ && words_.size() <= kFinderInline) {
        finder_.build(words_);
        finderOf_ = rebuild_;
    } else if (finderOf_ != rebuild_) {
        static const dictionary::WordFinder none;
        return none;
    }
    return finder_;
}

QString DictionaryPanel::bestMatch(const QString &text)
{
    const int item = finder().bestMatch(text);
    return item < 0 ? QString() : words_.word(item);
}

void DictionaryPanel::showSuggestions(const QString &text)
{
    std::vector<dictionary::Suggestion> found;
    if (!text.trimmed().isEmpty())
        found = finder().suggest(text);
    dreamOffered_ = LooksLikeDream(text, words_);
    offered_ = found.empty() ? -1 : found.front().item;
    QString links;
    for (const dictionary::Suggestion &s : found) {
        if (!links.isEmpty())
            links += QStringLiteral(", ");
        links += QStringLiteral("<a href=\"%1\">%2</a>").arg(s.item).arg(words_.word(s.item).toHtmlEscaped());
    }
    const bool show = !links.isEmpty() || dreamOffered_;
    if (show) {
        QString line;
        if (dreamOffered_)
            line = QStringLiteral("<a href=\"dream\"><b>Толковать сон целиком</b></a> (Enter)");
        if (!links.isEmpty())
            line +=
                (line.isEmpty() ? QString() : QStringLiteral("<br>")) + QStringLiteral("Возможно, вы искали: ") + links;
        suggestionLine_->setText(line);
    }
    if (show != !suggestionLine_->isHidden()) {
        suggestionLine_->setVisible(show);
        layoutControls();
        // the line takes room from the list: the selected word stays in view
        if (const int item = selectedItem(); item > 0)
            ListView1->scrollTo(wordModel_->index(item - 1));
    }
}

bool DictionaryPanel::takeOfferedWord()
{
    if (offered_ < 0 || offered_ >= words_.size() || suggestionLine_->isHidden())
        return false;
    const int item = offered_;
    Text1->setText(words_.word(item)); // the line goes: a headword has this beginning
    selectItem(item + 1);
    SetVisible(item + 1);
    return true;
}

QString DictionaryPanel::searchText() const
{
    return Text1->text();
}

bool DictionaryPanel::searchHasFocus() const
{
    return Text1->hasFocus();
}

DreamReading DictionaryPanel::readDream(const QString &text)
{
    if (symbolsOf_ != rebuild_) {
        symbols_.build(words_);
        symbolsOf_ = rebuild_;
    }
    return ReadDream(text, symbols_, words_,
                     ReadingBooksOf(Toolbar2->books(), [this](size_t k) { return Toolbar2->isOn(k); }));
}

void DictionaryPanel::Text1_Click()
{
    SetRus();
    if (Text1->text().size() == 1)
        Text1->setCursorPosition(1);
    else
        Text1->selectAll();
}

void DictionaryPanel::Text1_GotFocus()
{
    Text1_Click();
    app().LiteratureActive = false;
}

bool DictionaryPanel::Text1_KeyDown(int keyCode)
{
    if (keyCode != Qt::Key_Up && keyCode != Qt::Key_Down && keyCode != Qt::Key_PageUp && keyCode != Qt::Key_PageDown)
        return false;
    ListView1->setFocus();
    int i = selectedItem();
    const int count = wordModel_ ? wordModel_->rowCount() : 0;
    const int before = i;
    if (keyCode == Qt::Key_Up && i > 1)
        --i;
    else if (keyCode == Qt::Key_Down && i < count)
        ++i;
    if (i != before && i >= 1) {
        selectItem(i);
        SetVisible(i);
    }
    return true;
}

void DictionaryPanel::ListView1_GotFocus()
{
    if (wordModel_ && wordModel_->rowCount() > 0)
        header_->setTolkEnabled(true);
    SetRus();
    app().LiteratureActive = false;
}

bool DictionaryPanel::ListView1_KeyPress(const QString &text)
{
    // Printable characters only: Delete gives U+007F, which is no character to search for.
    if (text.size() != 1 || text[0].unicode() < 34 || !text[0].isPrint())
        return false;
    Text1->setText(text);
    Text1->setFocus();
    Text1->setCursorPosition(1);
    return true;
}

void DictionaryPanel::ListView1_ItemClick(int row)
{
    // the open interpretation reads the word's entries from the books, which
    // may be damaged: the status strip then keeps the word it showed
    tryStep([&] {
        header_->setTolkEnabled(true);
        if (Tolk *tolk = host_->interpretation()) {
            tolk->Back.clear();
            tolk->CheckBack();
            if (tolk->isVisible())
                tolk->BuildTolk(words_.word(row - 1));
        }
        status_->showWord(IfLong(words_.word(row - 1), 22));
    });
}

void DictionaryPanel::ListView1_DblClick()
{
    host_->interpretSelection();
}

void DictionaryPanel::SetVisible(int item)
{
    const int count = wordModel_ ? wordModel_->rowCount() : 0;
    const int target = (3 < item && item < count) ? item + 1 : item;
    if (target >= 1 && target <= count)
        ListView1->scrollTo(wordModel_->index(target - 1));
}

void DictionaryPanel::SaveLastWord()
{
    const QString w = selectedWord();
    if (!w.isEmpty())
        SaveSetting(settings::kApp, settings::kMain, settings::key::LastWord, w);
}

void DictionaryPanel::LoadLastWord()
{
    const QString w = GetSetting(settings::kApp, settings::kMain, settings::key::LastWord, QString());
    if (!w.trimmed().isEmpty()) {
        Text1->setText(w);
        Text1_Change();
    }
}

} // namespace somnex
