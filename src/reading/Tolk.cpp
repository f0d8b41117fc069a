#include "reading/Tolk.h"

#include "platform/core/Identity.h"
#include "platform/core/Messages.h"
#include "platform/core/ProgramFolders.h"
#include "platform/core/Settings.h"
#include "platform/core/Twips.h"
#include "platform/error/Error.h"
#include "platform/rtf/RtfReader.h"
#include "platform/rtf/RtfWriter.h"
#include "platform/ui/Session.h"
#include "reading/PrintDialog.h"
#include "support/Artwork.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace somnex {

namespace {

// The base font of articles: "Courier New", or an installed monospace font.
QStringList articleFamilies()
{
    return {QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono"),
            QStringLiteral("Noto Mono"), QStringLiteral("monospace")};
}

} // namespace

QPoint findFormPlace(const QRect &owner, const QSize &form, const QRect &screen)
{
    // over the document's top right corner, below the toolbar, so the text
    // it finds stays in view on the left
    QPoint p(owner.right() - form.width() - 24, owner.top() + 72);
    p.setX(std::max(p.x(), owner.left()));
    if (screen.isValid()) {
        p.setX(std::clamp(p.x(), screen.left(), std::max(screen.left(), screen.right() - form.width())));
        p.setY(std::clamp(p.y(), screen.top(), std::max(screen.top(), screen.bottom() - form.height())));
    }
    return p;
}

Tolk::Tolk(TolkHost *host, QWidget *owner) : QWidget(owner, Qt::Window), host_(host)
{
    setObjectName(QStringLiteral("Tolk"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Толкование сна"));
    setWindowIcon(appIcon());
    const bool underOwnName = ExeBaseName().toUpper() == QLatin1String("SOMNEX");

    Toolbar1 = new QToolBar(this);
    Toolbar1->setAccessibleName(QStringLiteral("Панель толкования"));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Toolbar1->setIconSize({16, 16});
    Toolbar1->setMovable(false);
    auto add = [&](const char *key, const char *caption, const char *tip, const char *icon) {
        QAction *a = Toolbar1->addAction(artworkIcon(QString::fromLatin1(icon)), QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(key));
        a->setToolTip(QString::fromUtf8(tip));
        connect(a, &QAction::triggered, this, [this, a] { Toolbar1_ButtonClick(a->objectName()); });
        return a;
    };
    btnBack = add("Back", "Назад", "Вернуться к предыдущему слову (Ctrl+BackSpaсe)", "back");
    btnHome = add("Home", "В начало", "Вернуться к выбранному слову (Ctrl+H)", "home");
    btnPrnt = add("Prnt", "Печать", "Распечатать толкование (Ctrl+P)", "print");
    btnCopy = add("Copy", "Копировать", "Скопировать в буфер (Ctrl+C)", "copy");
    btnFind = add("find", "Найти", "Искать в тексте (F3)", "find");
    backButton = qobject_cast<QToolButton *>(Toolbar1->widgetForAction(btnBack));
    if (underOwnName)
        setMinimumSize(std::max(380, Toolbar1->sizeHint().width()), 200);
    backMenu = new QMenu(this);
    if (backButton) {
        backButton->setMenu(backMenu);
        backButton->setPopupMode(QToolButton::MenuButtonPopup);
    }

    Text2 = new QFrame(this);
    Text2->setFrameShape(QFrame::StyledPanel);
    RichTextBox1 = new TolkView(Text2);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    RichTextBox1->setFrameShape(QFrame::NoFrame);
    connect(RichTextBox1, &TolkView::hovered, this, &Tolk::RichTextBox1_MouseMove);
    connect(RichTextBox1, &TolkView::released, this, &Tolk::RichTextBox1_MouseUp);

    Menu = new QMenu(this);
    mnuCopy = Menu->addAction(QStringLiteral("Копировать"), this, &Tolk::mnuCopy_Click);
    Menu->addSeparator();
    mnuPrint = Menu->addAction(QStringLiteral("Печатать"), this, &Tolk::mnuPrint_Click);

    installEventFilter(this);
    RichTextBox1->installEventFilter(this);
    RichTextBox1->viewport()->installEventFilter(this);
    CheckBack();
}

Tolk::~Tolk() = default;

bool Tolk::Form_Load()
{
    try {
        const QRect screen = (this->screen() ? this->screen() : QGuiApplication::primaryScreen())->availableGeometry();
        double top =
            GetSettingReal(settings::kApp, settings::kMain, settings::key::TTop, host_ ? host_->mainTopTwips() : 0);
        double left = GetSettingReal(settings::kApp, settings::kMain, settings::key::TLeft, 15);
        double height = GetSettingReal(settings::kApp, settings::kMain, settings::key::THeight, kDesignHeight);
        // the first opening shows every tool button, however large the font
        const double designWidth = std::max(kDesignWidth, PixelsToTwips(Toolbar1->sizeHint().width()));
        double width = GetSettingReal(settings::kApp, settings::kMain, settings::key::TWidth, designWidth);
        const double sw = PixelsToTwips(screen.width()), sh = PixelsToTwips(screen.height());
        // centred in the screen's available area (a top or left panel moves its origin)
        if (top < 1)
            top = PixelsToTwips(screen.y()) + (sh - height) / 2;
        if (left < 1)
            left = PixelsToTwips(screen.x()) + (sw - width) / 2;
        width = std::max(width, 4000.0);
        height = std::max(height, 4000.0);
        move(TwipsToPixels(left), TwipsToPixels(top));
        resize(TwipsToPixels(width), TwipsToPixels(height));
        if (host_ && !host_->literatureActive())
            BuildTolk(host_->currentWord());
        return true;
    } catch (...) {
        ShowMessage(QStringLiteral("Нечего отображать"), QStringLiteral("TolkLoad"), MsgIcon::Error);
        close();
        return false;
    }
}

void Tolk::Form_Resize()
{
    const double tbBottom = PixelsToTwips(Toolbar1->y() + Toolbar1->height());
    const double w = PixelsToTwips(width()), h = PixelsToTwips(height());
    const double top = tbBottom + 15;
    Text2->setGeometry(0, TwipsToPixels(top), std::max(0, TwipsToPixels(w - 30)),
                       std::max(0, TwipsToPixels(h - top - 15)));
    RichTextBox1->setGeometry(TwipsToPixels(30), TwipsToPixels(30), std::max(0, Text2->width() - TwipsToPixels(60)),
                              std::max(0, Text2->height() - TwipsToPixels(60)));
}

void Tolk::resizeEvent(QResizeEvent *)
{
    Toolbar1->setGeometry(0, 0, width(), Toolbar1->sizeHint().height());
    tryStep([&] { Form_Resize(); });
}

void Tolk::closeEvent(QCloseEvent *e)
{
    if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) && isVisible()) {
        SettingsBatch batch;
        // Where the compositor places the windows the position read back
        // means nothing: the one stored before is kept.
        if (CurrentSessionTraits().placesWindows) {
            SaveSetting(settings::kApp, settings::kMain, settings::key::TTop, realText(PixelsToTwips(y())));
            SaveSetting(settings::kApp, settings::kMain, settings::key::TLeft, realText(PixelsToTwips(x())));
        }
        SaveSetting(settings::kApp, settings::kMain, settings::key::THeight, realText(PixelsToTwips(height())));
        SaveSetting(settings::kApp, settings::kMain, settings::key::TWidth, realText(PixelsToTwips(width())));
    }
    if (searchForm)
        searchForm->close();
    if (host_)
        host_->tolkClosed();
    e->accept();
}

void Tolk::BuildTolk(const QString &word)
{
    if (RichTextBox1->Tag == word)
        return;
    const std::vector<TolkBook> books = host_ ? host_->tolkBooks() : std::vector<TolkBook>{};
    const QString text = BuildTolkText(word, books);
    if (text.isEmpty())
        return;
    RichTextBox1->setUpdatesEnabled(false);
    const std::vector<TolkFormat> formats =
        MarkupTolk(text, word, host_ ? host_->tolkButtons() : std::vector<TolkButton>{});
    std::vector<TolkFormat> all = formats;
    all.resize(all.size() + 2);
    RichTextBox1->setTolk(text + QStringLiteral("\r\n"), all);
    RichTextBox1->Tag = word;
    RichTextBox1->viewport()->unsetCursor();
    RichTextBox1->setSel(0, 0);
    CheckBack();
    setWindowTitle(word);
    RichTextBox1->setUpdatesEnabled(true);
    // the text takes the keys at once (Ctrl+A, Ctrl+C, Tab to the links), not a tool button
    RichTextBox1->setFocus();
}

void Tolk::ReloadWord(const QString &word)
{
    RichTextBox1->Tag.clear();
    BuildTolk(word);
}

void Tolk::ShowArticle(const QString &path, const QString &caption)
{
    RichTextBox1->setTolk(QString(), {});
    QFile file(path);
    if (!QFileInfo(file).isFile())
        throw Error(53, QStringLiteral("ShowArticle"), QStringLiteral("Файл не найден: ") + path);
    const RtfReadLimits limits;
    if (file.size() > limits.maxBytes)
        throw Error(7, QStringLiteral("ShowArticle"), QStringLiteral("Статья слишком велика: ") + path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(75, QStringLiteral("ShowArticle"), QStringLiteral("Не удаётся прочитать файл: ") + path);
    const QByteArray bytes = file.read(limits.maxBytes + 1);
    RtfRun base;
    base.font = QStringLiteral("Courier New");
    base.pointSize = 10;
    const RtfReadResult article = ReadRtf(bytes, base, limits);
    if (!article.ok())
        throw Error(321, QStringLiteral("ShowArticle"), article.error + QStringLiteral(": ") + path);
    RichTextBox1->setUpdatesEnabled(false);
    RichTextBox1->setArticle(article.document, articleFamilies());
    RichTextBox1->viewport()->unsetCursor();
    RichTextBox1->setSel(0, 0);
    RichTextBox1->setUpdatesEnabled(true);
    setWindowTitle(caption);
}

void Tolk::AddBack(const QString &)
{
    Back.append(RichTextBox1->Tag);
}

void Tolk::CheckBack()
{
    btnBack->setEnabled(!Back.isEmpty());
    btnHome->setEnabled(!Back.isEmpty());
    if (backButton)
        backButton->setPopupMode(QToolButton::DelayedPopup);
    backMenu->clear();
    QStringList listed;
    for (const QString &w : Back) {
        if (w.isEmpty() || listed.contains(w))
            continue;
        listed << w;
        QAction *a = backMenu->addAction(w);
        connect(a, &QAction::triggered, this, [this, w] { BackMenu_Click(w); });
    }
    if (backButton)
        backButton->setPopupMode(QToolButton::MenuButtonPopup);
}

namespace {

// The tag of the dream document in the history: no headword begins with a
// word joiner.
const QString kDreamTag = QStringLiteral("\u2060") + kDreamCaption;

} // namespace

void Tolk::ShowDream(const DreamReading &reading)
{
    if (showingDream() || !RichTextBox1->Tag.isEmpty()) {
        AddBack(RichTextBox1->Tag);
    }
    dream_ = reading;
    unfolded_.clear();
    renderDream();
    RichTextBox1->setSel(0, 0);
    CheckBack();
}

bool Tolk::showingDream() const
{
    return dream_ && RichTextBox1->Tag == kDreamTag;
}

void Tolk::renderDream()
{
    dreamDoc_ = BuildDreamDocument(*dream_, unfolded_);
    RichTextBox1->setUpdatesEnabled(false);
    std::vector<TolkFormat> all = dreamDoc_.formats;
    all.resize(all.size() + 2);
    RichTextBox1->setTolk(dreamDoc_.text + QStringLiteral("\r\n"), all);
    RichTextBox1->Tag = kDreamTag;
    RichTextBox1->viewport()->unsetCursor();
    setWindowTitle(kDreamCaption);
    RichTextBox1->setUpdatesEnabled(true);
    RichTextBox1->setFocus();
}

bool Tolk::followDreamLink(int position)
{
    if (!showingDream())
        return false;
    const DreamLink *link = dreamDoc_.linkAt(position);
    if (!link)
        return false;
    if (link->kind == DreamLink::Unfold) {
        const int scroll = RichTextBox1->verticalScrollBar()->value();
        const qsizetype open = link->open;
        unfolded_.insert({link->symbol, link->book});
        renderDream();
        RichTextBox1->setSel(int(open), 0);
        RichTextBox1->verticalScrollBar()->setValue(scroll);
        return true;
    }
    if (link->kind == DreamLink::Search) {
        if (host_)
            host_->searchInterpretations(dream_->text);
        return true;
    }
    const QString headword = dream_->symbols[size_t(link->symbol)].headword;
    if (link->kind == DreamLink::Diary) {
        if (host_)
            host_->showDiaryDreamsWith(headword);
        return true;
    }
    AddBack(headword);
    CheckBack();
    if (ShowWord(headword, QStringLiteral("RichTextBox1_MouseUp")))
        RichTextBox1->setSel(0, 0);
    return true;
}

bool Tolk::ShowWord(const QString &word, const QString &source)
{
    if (word == kDreamTag) {
        if (dream_)
            renderDream();
        return bool(dream_);
    }
    try {
        BuildTolk(word);
        return true;
    } catch (...) {
        // A damaged entry: reported, and the window stays as it was.
        RichTextBox1->setUpdatesEnabled(true);
        ShowMessage(describe(std::current_exception()), source, MsgIcon::Error);
        return false;
    }
}

void Tolk::BackMenu_Click(const QString &word)
{
    if (!ShowWord(word, QStringLiteral("BackMenu_Click")))
        return;
    tryStep([&] {
        for (QAction *a : backMenu->actions())
            if (a->text() == word) {
                backMenu->removeAction(a);
                a->deleteLater();
                break;
            }
    });
}

QString Tolk::GetWord(int index) const
{
    return somnex::GetWord(RichTextBox1->builtText(), index);
}

bool Tolk::selectLink(bool forward)
{
    // a link is its word between the hidden markers < and >
    const QString &t = RichTextBox1->builtText();
    const int at = RichTextBox1->selStart();
    const qsizetype open =
        forward ? t.indexOf(QLatin1Char('<'), at) : (at >= 2 ? t.lastIndexOf(QLatin1Char('<'), at - 2) : -1);
    if (open < 0)
        return false;
    const qsizetype close = t.indexOf(QLatin1Char('>'), open);
    if (close < 0)
        return false;
    RichTextBox1->setSel(static_cast<int>(open + 1), static_cast<int>(close - open - 1));
    RichTextBox1->ensureCursorVisible();
    const QString word = GetWord(static_cast<int>(open + 2));
    RichTextBox1->setToolTip(QStringLiteral("Перейти к «") + word + QStringLiteral("»"));
    return true;
}

bool Tolk::followSelectedLink()
{
    if (RichTextBox1->selLength() == 0)
        return false;
    if (followDreamLink(RichTextBox1->selStart() + 1))
        return true;
    const QString w = GetWord(RichTextBox1->selStart() + 1);
    if (w.isEmpty())
        return false;
    if (w != RichTextBox1->Tag) {
        AddBack(w);
        CheckBack();
        if (!ShowWord(w, QStringLiteral("RichTextBox1_KeyDown")))
            return true;
        RichTextBox1->setSel(0, 0);
    }
    return true;
}

// The Back button: the last word left is shown again and leaves the history.
void Tolk::goBack()
{
    const QString last = Back.isEmpty() ? QString() : Back.last();
    const QString shown = RichTextBox1->Tag;
    if (last.isEmpty() && shown.isEmpty()) {
        if (!Back.isEmpty())
            Back.removeLast();
        CheckBack();
        if (!Back.isEmpty()) {
            ShowWord(Back.last(), QStringLiteral("Toolbar1_ButtonClick"));
            Back.removeLast();
        }
        CheckBack();
    } else if (last.isEmpty()) {
        if (!Back.isEmpty())
            Back.removeLast();
        CheckBack();
    } else {
        ShowWord(last, QStringLiteral("Toolbar1_ButtonClick"));
        Back.removeLast();
        CheckBack();
    }
}

void Tolk::Toolbar1_ButtonClick(const QString &key)
{
    QAction *button = nullptr;
    for (QAction *a : {btnBack, btnHome, btnPrnt, btnCopy, btnFind})
        if (a->objectName() == key)
            button = a;
    if (!button || !button->isEnabled())
        return;
    if (key == QLatin1String("Back")) {
        goBack();
    } else if (key == QLatin1String("Home")) {
        if (!Back.isEmpty())
            ShowWord(Back.first(), QStringLiteral("Toolbar1_ButtonClick"));
        Back.clear();
        CheckBack();
    } else if (key == QLatin1String("Prnt")) {
        mnuPrint_Click();
    } else if (key == QLatin1String("Copy")) {
        mnuCopy_Click();
    } else if (key == QLatin1String("find")) {
        ShowFind();
    }
}

void Tolk::RichTextBox1_MouseMove(const QPoint &pos)
{
    pointer = pos;
    const int idx = RichTextBox1->charFromPos(pos);
    const QString w = idx >= 0 ? GetWord(idx) : QString();
    if (!w.isEmpty()) {
        RichTextBox1->viewport()->setCursor(Qt::PointingHandCursor);
        const QString tip = QStringLiteral("Перейти к «") + w + QStringLiteral("»");
        RichTextBox1->setToolTip(tip);
    } else {
        RichTextBox1->viewport()->setCursor(Qt::IBeamCursor);
        RichTextBox1->setToolTip(QString());
    }
}

void Tolk::RichTextBox1_MouseUp(Qt::MouseButton button, const QPoint &)
{
    if (button == Qt::RightButton) {
        if (RichTextBox1->selLength() > 0)
            Menu->popup(QCursor::pos());
        return;
    }
    const int idx = RichTextBox1->charFromPos(pointer);
    if (idx >= 0 && followDreamLink(idx))
        return;
    const QString w = idx >= 0 ? GetWord(idx) : QString();
    if (!w.isEmpty() && w != RichTextBox1->Tag) {
        AddBack(w);
        CheckBack();
        if (!ShowWord(w, QStringLiteral("RichTextBox1_MouseUp")))
            return;
        RichTextBox1->setSel(RichTextBox1->selStart(), 0);
    }
}

void Tolk::mnuCopy_Click()
{
    QClipboard *cb = QGuiApplication::clipboard();
    cb->clear();
    const bool selection = RichTextBox1->selLength() > 0;
    const QByteArray rtf = RichTextBox1->rtf(selection);
    auto *mime = new QMimeData;
    mime->setData(QStringLiteral("text/rtf"), rtf);
    mime->setData(QStringLiteral("application/rtf"), rtf);
    mime->setData(QStringLiteral("text/richtext"), rtf);
    // a plain text field, a terminal or a messenger takes one of these
    mime->setHtml(RichTextBox1->html(selection));
    mime->setText(RichTextBox1->plainText(selection));
    cb->setMimeData(mime);
}

void Tolk::mnuPrint_Click()
{
    // without a printer the dialog still writes the pages to a PDF file
    PrintDialog dialog(RichTextBox1, this);
    dialog.exec();
}

void Tolk::ShowFind()
{
    if (searchForm && searchForm->isVisible()) {
        searchForm->FND();
        return;
    }
    if (!searchForm)
        searchForm = new SearchForm(this);
    searchForm->adjustSize();
    const QScreen *sc = screen();
    searchForm->move(
        findFormPlace(frameGeometry(), searchForm->frameGeometry().size(), sc ? sc->availableGeometry() : QRect()));
    searchForm->show();
    searchForm->raise();
    searchForm->activateWindow();
    searchForm->Text1->setText(RichTextBox1->selText());
    searchForm->Text1->selectAll();
    searchForm->Text1->setFocus();
}

bool Tolk::Form_KeyDown(int key, Qt::KeyboardModifiers mods, bool inDocument)
{
    const bool ctrl = mods & Qt::ControlModifier;
    if (key == Qt::Key_Escape && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
        close();
        return true;
    }
    if (ctrl && key == Qt::Key_H) {
        Toolbar1_ButtonClick(QStringLiteral("Home"));
        return true;
    }
    if (ctrl && key == Qt::Key_P) {
        Toolbar1_ButtonClick(QStringLiteral("Prnt"));
        return true;
    }
    // F3, and Ctrl+F as in other programs' find
    if (key == Qt::Key_F3 || (ctrl && key == Qt::Key_F)) {
        Toolbar1_ButtonClick(QStringLiteral("find"));
        return true;
    }
    if (inDocument && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
            return selectLink(key == Qt::Key_Tab && !(mods & Qt::ShiftModifier));
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && followSelectedLink())
            return true;
    }
    if (inDocument && ctrl && key == Qt::Key_Backspace) {
        Toolbar1_ButtonClick(QStringLiteral("Back"));
        return true;
    }
    if (inDocument && ctrl && key == Qt::Key_C) {
        Toolbar1_ButtonClick(QStringLiteral("Copy"));
        return true;
    }
    return false;
}

bool Tolk::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride) {
        auto *k = static_cast<QKeyEvent *>(e);
        const bool inDoc = watched == RichTextBox1 || watched == RichTextBox1->viewport();
        if (e->type() == QEvent::ShortcutOverride) {
            // keep the document's own Ctrl+C from taking the key first
            if (inDoc && (k->modifiers() & Qt::ControlModifier) && k->key() == Qt::Key_C) {
                e->accept();
                return true;
            }
            return false;
        }
        if (Form_KeyDown(k->key(), k->modifiers(), inDoc))
            return true;
    }
    return QWidget::eventFilter(watched, e);
}

// ---------------------------------------------------------------- SearchForm

SearchForm::SearchForm(Tolk *owner) : QWidget(owner, Qt::Tool), tolk_(owner)
{
    setObjectName(QStringLiteral("SearchForm"));
    setWindowTitle(QStringLiteral("Поиск"));
    setAttribute(Qt::WA_DeleteOnClose);
    heading = new QLabel(QStringLiteral("Поиск на странице"), this);
    QFont hf = heading->font();
    hf.setBold(true);
    heading->setFont(hf);
    label = new QLabel(QStringLiteral("&Что искать:"), this);
    Text1 = new QLineEdit(this);
    label->setBuddy(Text1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Command1 = new QPushButton(QStringLiteral("&Искать"), this);
    Command2 = new QPushButton(QStringLiteral("Отмена"), this);
    Command1->setDefault(true);
    auto *v = new QVBoxLayout(this);
    v->addWidget(heading);
    v->addWidget(label);
    v->addWidget(Text1);
    auto *h = new QHBoxLayout;
    h->addStretch();
    h->addWidget(Command1);
    h->addWidget(Command2);
    v->addLayout(h);
    connect(Command1, &QPushButton::clicked, this, &SearchForm::FND);
    connect(Text1, &QLineEdit::returnPressed, this, &SearchForm::FND);
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
}

void SearchForm::FND()
{
    TolkView *view = tolk_->RichTextBox1;
    int attempts = 0;
    for (;;) {
        ++attempts;
        const QString s = Text1->text();
        tolk_->activateWindow();
        view->setFocus();
        const int from = view->selStart() + view->selLength();
        const int r = FindInText(view->builtText(), s, from);
        if (r >= 0)
            view->setSel(r, static_cast<int>(s.size()));
        if (attempts > 3) {
            ShowMessage(QStringLiteral("Строка не найдена."), QStringLiteral("Результат поиска"), MsgIcon::Warning);
            return;
        }
        if (r >= 0) {
            tolk_->activateWindow();
            return;
        }
        view->setSel(0, 0);
    }
}

} // namespace somnex
