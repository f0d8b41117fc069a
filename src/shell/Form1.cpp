#include "shell/Form1.h"

#include "calendar/calen/Calen.h"
#include "diary/DiaryStore.h"
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
#include "platform/ui/DesktopNotifier.h"
#include "shell/DictionaryPanel.h"
#include "shell/HeaderBar.h"
#include "shell/LiteraturePanel.h"
#include "shell/PanelGeometry.h"
#include "shell/SearchTexts.h"
#include "shell/StatusPanel.h"
#include "shell/TraySide.h"
#include "support/Artwork.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidgetItem>

#include <cmath>

namespace somnex {

namespace {

Form1 *g_mainForm = nullptr;

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
    header_ = new HeaderBar(this);
    status_ = new StatusPanel(this);
    literature_ = new LiteraturePanel(header_, status_, this);
    dictionary_ = new DictionaryPanel(header_, status_, this, this);
    status_->raise(); // the strip stands above both panels, as it was laid last
    tray_ = new TraySide(this);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(500);
    connectParts();
    connectDiary();
    qApp->installEventFilter(this);
}

Form1::~Form1()
{
    dictionary_->stopTextIndex();
    calendar::Calen::diaryOpener() = nullptr;
    calendar::Calen::monthOpener() = nullptr;
    options::OptionsForm::reminderTester() = nullptr;
    options::OptionsForm::reminderSaved() = nullptr;
    options::OptionsForm::privacyOpener() = nullptr;
    if (diary::DiaryWindow *d = diary::DiaryWindow::instance()) {
        d->saveNow();
        delete d; // it asks this window for its words and books
    }
    if (qApp)
        qApp->removeEventFilter(this);
    if (g_mainForm == this)
        g_mainForm = nullptr;
}

void Form1::connectParts()
{
    connect(header_, &HeaderBar::buttonClicked, this, &Form1::Toolbar1_ButtonClick);
    connect(literature_, &LiteraturePanel::openClicked, this, &Form1::Image4_Click);
    connect(literature_, &LiteraturePanel::closeClicked, this, &Form1::Image5_Click);
    connect(literature_, &LiteraturePanel::articleActivated, this, &Form1::interpretSelection);
    connect(dictionary_, &DictionaryPanel::openClicked, this, &Form1::Image5_Click);
    connect(dictionary_, &DictionaryPanel::literatureClicked, this, &Form1::Image4_Click);
    connect(dictionary_, &DictionaryPanel::textSearchClicked, this, [this] { openTextSearch(); });
    connect(dictionary_, &DictionaryPanel::textIndexChanged, this,
            [this](std::shared_ptr<const dictionary::TextIndex> index) {
                if (search_)
                    search_->setIndex(std::move(index));
            });
    connect(dictionary_, &DictionaryPanel::textIndexReady, this, &Form1::textIndexReady);
    status_->onResize = [this] { StatusBar1_Resize(); };
    tray_->toTray = [this] { ToTray(); };
    connect(tray_, &TraySide::clicked, this, &Form1::trayMouseDown);
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
}

bool Form1::literatureOpen() const
{
    return literature_->isOpen();
}

double Form1::fontScale()
{
    const QFontMetricsF fm(QApplication::font());
    const double letters = fm.horizontalAdvance(kFontScaleLetters.toString());
    return FontScale(letters / double(kFontScaleLetters.size()), fm.height());
}

// The stored position and size, kept on a screen.
void Form1::loadGeometry()
{
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
}

// The place of observation.
void Form1::loadPlace()
{
    // stored values out of range are held to the nearest valid place
    const location::Location place = location::Location::load(GetSetting);
    app().ObserverLatitude = place.latitude().toDouble();
    app().ObserverLongitude = place.longitude().toDouble();
}

// Closing to the tray, the menu's transparency, the administrator's commands
// and the word list's view.
void Form1::loadOptions()
{
    AppState &s = app();
    s.CloseToTray = GetSettingBool(settings::kApp, settings::kMain, settings::key::ToTray, false);
    s.MenuAlpha = std::clamp(GetSettingInt(settings::kApp, settings::kMain, settings::key::MenuTransp, 205), 0, 255);
    s.AdminCommands = GetSetting(settings::kApp, settings::kMain, settings::key::AdminCommands, QString());
    const int mode = GetSettingInt(settings::kApp, settings::kMain, settings::key::ListMode, 1);
    dictionary_->setListMode(mode == 1 ? ListMode::Report : ListMode::List);
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
    loadGeometry();
    // The title with the version.
    setWindowTitle(QStringLiteral("Сонник ZUL Somnex ") + VersionText());
    loadPlace();
    loadOptions();
    // The administrator's commands (going to the tray).
    CheckAdminSet();
    // The busy animation while the books load.
    status_->startBusy();
    // The dream books and the word list.
    if (!dictionary_->LoadBooks())
        return;
    // The literature shelf.
    literature_->ShowLit();
    // The word selected when the program last ended.
    dictionary_->LoadLastWord();
    // The busy animation stops after half a second.
    status_->stopBusySoon();
    Form_Resize();
    // A second after the window is up: the session bus is not asked while
    // the program starts.
    QTimer::singleShot(1000, this, &Form1::startMorningReminder);
}

// The morning reminder runs while the program does, window or tray; its
// notifications fall back to the tray icon's message.
void Form1::startMorningReminder()
{
    if (morning_)
        return;
    notifier_ = std::make_unique<DesktopNotifier>();
    notifier_->setFallback([this](const Notification &n) { showTrayMessage(n.summary, n.bodyWithoutActions); });
    morning_.reset(new diary::MorningReminder(static_cast<diary::MorningHost *>(this), notifier_.get(),
                                              diary::DiaryStore::defaultPath()));
    options::OptionsForm::reminderTester() = [this] { morning_->sendNow(); };
    options::OptionsForm::reminderSaved() = [this] { morning_->reload(); };
    options::OptionsForm::privacyOpener() = [this] { openDiary()->editPrivacy(); };
    connect(tray_, &TraySide::messageClicked, this, [this] { morning_->trayMessageClicked(); });
}

void Form1::showTrayMessage(const QString &title, const QString &text)
{
    if (!tray_->showMessage(title, text))
        ShowMessage(text, title, MsgIcon::Information);
}

void Form1::setListDeferred(bool deferred)
{
    dictionary_->setListDeferred(deferred);
}

void Form1::loadDeferredList()
{
    dictionary_->LoadList();
    dictionary_->LoadLastWord();
    // The window showed before its list: the first activation found it
    // empty and left the focus on a tool button, where Space would open the
    // calendar. Now that it has words the list takes the keys (typing
    // searches), unless the user has put the focus somewhere meanwhile.
    const QWidget *focus = QApplication::focusWidget();
    const bool untouched =
        !focus || focus == this || qobject_cast<const QAbstractButton *>(focus) || focus->window() != this;
    if (untouched && dictionary_->wordCount() > 0 && !app().LiteratureActive)
        dictionary_->focusList();
}

void Form1::Form_Resize()
{
    const double W = twipsWidth(this), H = twipsHeight(this);
    const QSize linkSize = header_->aboutLinkSize();
    const MainLayout m = LayoutMain(W, H, 0, kToolbarHeight, kStatusHeight, literatureOpen(),
                                    PixelsToTwips(linkSize.width()), PixelsToTwips(linkSize.height()));
    header_->place(m);
    setTwips(literature_, m.literature);
    setTwips(dictionary_, m.dictionary);
    dictionary_->raise();
    setTwips(status_, m.status);
    literature_->layoutControls();
    dictionary_->layoutControls();
    update();
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
    if (key == toolbarKey::Tolk)
        ShowTolk();
    else if (key == toolbarKey::Calen)
        toggleCalendar();
    else if (key == toolbarKey::Options)
        registerSecondaryWindow(options::OptionsForm::open(options::OptionsTab::General, Qt::ApplicationModal, this));
    else if (key == toolbarKey::Diary)
        openDiary();
}

// Modeless, owned by this window; the button stays pressed while the calendar
// is open and is released when it unloads.
void Form1::toggleCalendar()
{
    const bool opening = calendar::Calen::instance() == nullptr;
    calendar::Calen *c = calendar::Calen::open(this);
    header_->setCalendarPressed(true);
    if (opening) {
        registerSecondaryWindow(c);
        connect(c, &calendar::Calen::unloaded, this, [this] { header_->setCalendarPressed(false); });
    }
}

calendar::MonthWindow *Form1::openMonth()
{
    const bool opening = calendar::MonthWindow::instance() == nullptr;
    calendar::MonthWindow *m = calendar::MonthWindow::open(this, this);
    if (opening)
        registerSecondaryWindow(m);
    return m;
}

QMap<QDate, int> Form1::dreamsByMorning(const QDate &first, const QDate &last)
{
    QMap<QDate, int> counts;
    // The diary is read only when it exists: a month looked at writes nothing.
    if (!QFileInfo::exists(diary::DiaryStore::defaultPath()))
        return counts;
    try {
        counts = diary::dreamsByMorning(diary::DiaryStore().list(), first, last);
    } catch (const Error &) {
        // A diary that cannot be read counts no dreams; the diary window
        // says why when it is opened.
    }
    return counts;
}

void Form1::openDreamsOfMorning(const QDate &morning)
{
    openDiary()->filterByNight(morning.addDays(-1));
}

void Form1::openCalendarAt(double localMoment)
{
    toggleCalendar();
    if (calendar::Calen *c = calendar::Calen::instance())
        c->showMoment(localMoment);
}

void Form1::connectDiary()
{
    calendar::Calen::monthOpener() = [this] { openMonth(); };
    // the calendar's "Записать сон на эту дату": a new dream at its moment
    calendar::Calen::diaryOpener() = [this](double moment) {
        writeNewDream(diary::momentIn(calendar::dateOf(moment), calendar::timeOf(moment)));
    };
}

diary::DiaryWindow *Form1::openDiary()
{
    const bool opening = diary::DiaryWindow::instance() == nullptr;
    diary::DiaryWindow *d = diary::DiaryWindow::open(this, nullptr);
    if (opening)
        registerSecondaryWindow(d);
    return d;
}

diary::DiaryWindow *Form1::writeNewDream(const QDateTime &at)
{
    diary::DiaryWindow *d = openDiary();
    d->newEntry(at);
    return d;
}

// The interpretation window, made on first need: owned by this window when
// opened from it, a window of its own otherwise.
Tolk *Form1::ensureTolk(QWidget *owner)
{
    if (!tolk_) {
        tolk_ = new Tolk(this, owner);
        registerSecondaryWindow(tolk_);
        if (!tolk_->Form_Load())
            return nullptr;
    }
    return tolk_;
}

void Form1::openInterpretation(const QString &headword)
{
    if (const int item = dictionary_->words().indexOf(headword); item >= 0 && !literatureOpen()) {
        dictionary_->selectItem(item + 1);
        dictionary_->SetVisible(item + 1);
    }
    Tolk *tolk = ensureTolk(nullptr);
    if (!tolk)
        return;
    header_->setTolkChecked(true);
    tolk->show();
    tolk->raise();
    tolk->activateWindow();
    tolk->ShowWord(headword, QStringLiteral("ShowTolk"));
}

diary::Place Form1::diaryPlace()
{
    const location::Location place = location::Location::load(GetSetting);
    return {place.cityName, place.latitude().toDouble(), place.longitude().toDouble()};
}

const dictionary::WordIndex &Form1::diaryWords()
{
    return dictionary_->words();
}

int Form1::diaryWordsGeneration()
{
    return dictionary_->generation();
}

void Form1::Image4_Click()
{
    literature_->setOpen(true);
    dictionary_->setOpen(false);
    Form_Resize();
    literature_->showTree();
}

void Form1::Image5_Click()
{
    literature_->setOpen(false);
    dictionary_->setOpen(true);
    Form_Resize();
    dictionary_->showList();
}

void Form1::StatusBar1_Resize()
{
    status_->layoutLabels();
    if (app().LiteratureActive)
        return; // the literature count comes with the shelf
    status_->StText();
}

void Form1::Form_Activate()
{
    if (app().FirstActivation)
        Timer2->start();
    const int count = dictionary_->wordCount();
    if (count > 0 && !app().LiteratureActive)
        dictionary_->focusList();
    if (count == 0) {
        dictionary_->setSearchEnabled(false);
        header_->setTolkEnabled(false);
    }
}

bool Form1::Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift)
{
    if (!header_->tolkEnabled())
        return false;
    const bool ctrl = (shift & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier)) == Qt::ControlModifier;
    if ((keyCode == Qt::Key_Return || keyCode == Qt::Key_Enter) && !(shift & Qt::ControlModifier)) {
        if (dictionary_->dreamOffered() && dictionary_->searchHasFocus())
            interpretDream(dictionary_->searchText());
        else
            interpretSelection();
        return true;
    }
    if (keyCode == Qt::Key_Escape && header_->tolkChecked()) {
        header_->setTolkChecked(false);
        if (tolk_)
            tolk_->close();
        return true;
    }
    static const std::pair<int, const QString *> shortcuts[] = {{Qt::Key_M, &toolbarKey::Calen},
                                                                {Qt::Key_D, &toolbarKey::Diary},
                                                                {Qt::Key_O, &toolbarKey::Options}};
    for (const auto &[shortcut, key] : shortcuts)
        if (ctrl && keyCode == shortcut) {
            Toolbar1_ButtonClick(*key);
            return true;
        }
    if (ctrl && keyCode == Qt::Key_F) {
        openTextSearch();
        return true;
    }
    const bool ctrlShift = (shift & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier))
                           == (Qt::ControlModifier | Qt::ShiftModifier);
    if (ctrlShift && keyCode == Qt::Key_M) {
        openMonth();
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
    } else if (e->type() == QEvent::MouseMove && header_->holds(watched)) {
        header_->dimAboutLink();
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
            Timer2->start();
    }
}

void Form1::Timer2_Timer()
{
    // Later activations find no splash screen and change nothing, so the
    // timer has done its work once the splash is gone.
    Timer2->stop();
    if (splash_)
        splash_->close();
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
    ExitApp(ExitMode::StoreState);
}

void Form1::dragEnterEvent(QDragEnterEvent *e)
{
    if (dictionary_->takesBooks() && !droppedBookFiles(e->mimeData()).isEmpty())
        e->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent *e)
{
    const QStringList files = droppedBookFiles(e->mimeData());
    if (files.isEmpty())
        return;
    e->acceptProposedAction();
    dictionary_->addBooks(files);
}

int Form1::offerBooks(const QStringList &files)
{
    return dictionary_->offerBooks(files);
}

// The interpretation of the selection (Enter, a double click): the button
// pressed when it may be, and the window shown or closed with it.
void Form1::interpretSelection()
{
    if (header_->tolkEnabled())
        header_->setTolkChecked(true);
    ShowTolk();
}

void Form1::ShowTolk()
{
    try {
        if (header_->tolkChecked()) {
            // "сабака": the word the line offers, not the one the list stopped at
            if (!app().LiteratureActive)
                dictionary_->takeOfferedWord();
            Tolk *tolk = ensureTolk(this);
            if (!tolk)
                return;
            tolk->btnBack->setEnabled(false);
            tolk->show();
            tolk->raise();
            if (!app().LiteratureActive) {
                tolk->BuildTolk(dictionary_->selectedWord());
            } else {
                // an article or its favourite copy; the group nodes have no file
                const QTreeWidgetItem *n = literature_->currentNode();
                if (n && n->parent())
                    tolk->ShowArticle(literature::ArticlePath(LiteraturePanel::nodeKey(n)), n->text(0));
            }
        } else if (tolk_) {
            tolk_->close();
        }
    } catch (...) {
        ShowMessage(describe(std::current_exception()), QStringLiteral("ShowTolk"), MsgIcon::Error);
    }
}

namespace {

// What the user's diary holds of each symbol: read from the open diary, or
// from the diary file when there is one (none is made for it). A diary that
// cannot be read leaves the reading without it.
void addDiaryHistory(DreamReading &reading)
{
    std::unique_ptr<diary::DiaryStore> own;
    diary::DiaryStore *store = nullptr;
    if (diary::DiaryWindow *w = diary::DiaryWindow::instance())
        store = w->store();
    if (!store) {
        if (!QFileInfo::exists(diary::DiaryStore::defaultPath()))
            return;
        tryStep([&] { own = std::make_unique<diary::DiaryStore>(diary::DiaryStore::defaultPath()); });
        store = own.get();
    }
    if (!store || !store->exists())
        return;
    tryStep([&] {
        QHash<QString, diary::Mark> marks;
        for (const diary::EntrySummary &e : store->list())
            marks.insert(e.id, e.mark);
        for (SymbolReading &s : reading.symbols) {
            diary::Filter f;
            f.symbol = s.headword;
            DiaryHistory h;
            for (const QString &id : store->search(f)) {
                ++h.dreams;
                const diary::Mark m = marks.value(id, diary::Mark::None);
                h.marked += m != diary::Mark::None;
                h.cameTrue += m == diary::Mark::Yes || m == diary::Mark::Partly;
            }
            s.history = h;
        }
    });
}

} // namespace

void Form1::showDiaryDreamsWith(const QString &headword)
{
    openDiary()->filterBySymbol(headword);
}

void Form1::searchInterpretations(const QString &text)
{
    if (SearchTexts *s = openTextSearch())
        s->Text1->setText(text.simplified().left(200));
}

void Form1::interpretDream(const QString &text)
{
    try {
        DreamReading reading = dictionary_->readDream(text);
        addDiaryHistory(reading);
        if (header_->tolkEnabled())
            header_->setTolkChecked(true);
        Tolk *tolk = ensureTolk(this);
        if (!tolk)
            return;
        tolk->show();
        tolk->raise();
        tolk->ShowDream(reading);
    } catch (...) {
        ShowMessage(describe(std::current_exception()), QStringLiteral("interpretDream"), MsgIcon::Error);
    }
}

SearchTexts *Form1::openTextSearch()
{
    if (!search_) {
        search_ = new SearchTexts(
            [this](const QString &word) -> QTextEdit * {
                if (dictionary_->words().indexOf(word) < 0)
                    return nullptr;
                dictionary_->ListView1_GotFocus();
                dictionary_->openWord(word);
                return tolk_ ? tolk_->RichTextBox1 : nullptr;
            },
            this);
        search_->setAttribute(Qt::WA_DeleteOnClose);
        search_->setWindowFlag(Qt::Window);
        registerSecondaryWindow(search_);
        search_->setIndex(dictionary_->textIndex());
    }
    search_->show();
    search_->raise();
    search_->activateWindow();
    search_->Text1->setFocus();
    return search_;
}

std::vector<TolkBook> Form1::tolkBooks()
{
    return dictionary_->tolkBooks();
}

std::vector<TolkButton> Form1::tolkButtons()
{
    return dictionary_->tolkButtons();
}

QString Form1::currentWord()
{
    return dictionary_->selectedWord();
}

double Form1::mainTopTwips()
{
    return PixelsToTwips(y());
}

void Form1::tolkClosed()
{
    header_->setTolkChecked(false);
}

} // namespace somnex
