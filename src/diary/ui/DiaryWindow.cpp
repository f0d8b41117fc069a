#include "diary/ui/DiaryWindow.h"

#include "appstate/Reminder.h"
#include "calendar/lunarday/LunarDay.h"
#include "calendar/phase/PhasePicture.h"
#include "diary/Importers.h"
#include "diary/LunarSnapshot.h"
#include "diary/Speller.h"
#include "diary/ui/EntryListModel.h"
#include "diary/ui/ListCompleter.h"
#include "diary/ui/SpellHighlighter.h"
#include "diary/ui/StatsWindow.h"
#include "location/spravcity/SpravCity.h"
#include "platform/core/Clock.h"
#include "platform/core/Identity.h"
#include "platform/core/Messages.h"
#include "platform/core/RussianDates.h"
#include "platform/core/Settings.h"
#include "platform/core/Twips.h"
#include "platform/core/Worker.h"
#include "platform/error/Error.h"
#include "platform/ui/Session.h"
#include "support/Artwork.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColor>
#include <QComboBox>
#include <QCompleter>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStringListModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace somnex::diary {

namespace {

DiaryWindow *g_instance = nullptr;

const QString kTitle = QStringLiteral("Дневник снов");

// The filter box's choices, in order.
struct QuickFilter {
    const char16_t *caption;
    std::optional<bool> lucid;
    std::optional<DreamKind> kind;
    std::optional<Mark> mark;
    bool trash = false; // the dreams in the trash instead
};
const QuickFilter kQuickFilters[] = {
    {u"Все сны", {}, {}, {}},
    {u"Осознанные", true, {}, {}},
    {u"Кошмары", {}, DreamKind::Nightmare, {}},
    {u"Повторяющиеся", {}, DreamKind::Recurring, {}},
    {u"Ложные пробуждения", {}, DreamKind::FalseAwakening, {}},
    {u"Сонный паралич", {}, DreamKind::SleepParalysis, {}},
    {u"Сбылись", {}, {}, Mark::Yes},
    {u"Сбылись частично", {}, {}, Mark::Partly},
    {u"Не сбылись", {}, {}, Mark::No},
    {u"Не отмечены", {}, {}, Mark::None},
    {u"Корзина", {}, {}, {}, true},
};

const Mark kMarkChoices[] = {Mark::None, Mark::Yes, Mark::Partly, Mark::No};

QString russianDate(const QDate &d, const char *format)
{
    return dates::format(d, QString::fromLatin1(format));
}

QString russianMoment(const QDateTime &t)
{
    return dates::format(t, QStringLiteral("d MMM yyyy HH:mm"));
}

// Tags of one kind as the user types them: comma-separated.
QString tagsText(const QList<Tag> &tags, TagKind kind)
{
    QStringList out;
    for (const Tag &t : tags)
        if (t.kind == kind)
            out << t.text;
    return out.join(QStringLiteral(", "));
}

void addTags(QList<Tag> &tags, const QString &text, TagKind kind)
{
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString word = part.trimmed();
        const bool known = std::any_of(tags.begin(), tags.end(),
                                       [&](const Tag &t) { return t.text.compare(word, Qt::CaseInsensitive) == 0; });
        if (!word.isEmpty() && !known)
            tags.append({word, kind});
    }
}

QString placeText(const std::optional<Place> &place)
{
    if (!place)
        return QStringLiteral("Место не задано: лунный день не рассчитан.");
    const QString where = place->name.isEmpty() ? QString() : place->name + QStringLiteral(", ");
    return QStringLiteral("Место: ") + where
           + QStringLiteral("%1° %2, %3° %4")
                 .arg(std::abs(place->latitude), 0, 'f', 2)
                 .arg(place->latitude < 0 ? QStringLiteral("ю.ш.") : QStringLiteral("с.ш."))
                 .arg(std::abs(place->longitude), 0, 'f', 2)
                 .arg(place->longitude < 0 ? QStringLiteral("з.д.") : QStringLiteral("в.д."));
}

} // namespace

int markAt(const std::vector<dictionary::SymbolMark> &marks, qsizetype position)
{
    for (size_t i = 0; i < marks.size(); ++i)
        if (position >= marks[i].start && position < marks[i].start + marks[i].length)
            return int(i);
    return -1;
}

EntryLinesOfBooks entryLinesOf(const QString &headword, const std::vector<TolkBook> &books)
{
    EntryLinesOfBooks out;
    for (const Interpretation::Part &p : CollectTolk(headword, books).parts)
        out.emplace_back(p.heading, EntryLines(p.text));
    return out;
}

QStringList bestLines(const dictionary::DreamText &dream, qsizetype start, qsizetype length, const QString &headword,
                      const EntryLinesOfBooks &entries)
{
    QStringList out;
    for (const auto &[heading, lines] : entries) {
        const std::vector<dictionary::RankedLine> ranked = dream.rank(start, length, headword, lines);
        if (!ranked.empty())
            out << heading + QStringLiteral(": ") + ranked.front().text;
    }
    return out;
}

DiaryWindow *DiaryWindow::open(DiaryHost *host, QWidget *owner, const QString &path)
{
    if (!g_instance) {
        g_instance = new DiaryWindow(host, owner, path.isEmpty() ? DiaryStore::defaultPath() : path);
        g_instance->setAttribute(Qt::WA_DeleteOnClose);
    }
    DiaryWindow *w = g_instance;
    w->show();
    w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    w->raise();
    w->activateWindow();
    return w;
}

DiaryWindow *DiaryWindow::instance()
{
    return g_instance;
}

DiaryWindow::DiaryWindow(DiaryHost *host, QWidget *owner, const QString &path) : QWidget(owner, Qt::Window), host_(host)
{
    setWindowTitle(kTitle);
    setWindowIcon(artworkIcon("diary"));
    setObjectName(QStringLiteral("Diary"));
    buildControls();
    restoreGeometry();
    editor_.setShown([this] { return entryFromControls(); });
    connect(&editor_, &EntryEditor::listStale, this, [this] { reloadList(); });
    connect(&editor_, &EntryEditor::saved, this, &DiaryWindow::saved);
    connect(&editor_, &EntryEditor::saveFailed, this, [this](const QString &why, bool first) {
        reportWriteFailure(why);
        if (first)
            ShowMessage(QStringLiteral("Не удалось сохранить запись дневника: ") + why
                            + QStringLiteral("\nТекст остаётся в окне, программа попробует сохранить его снова."),
                        kTitle, MsgIcon::Warning);
    });
    connect(&editor_, &EntryEditor::backupFailed, this,
            [](const QString &why) { ShowMessage(why, kTitle, MsgIcon::Warning); });
    // quitting by any path (the exit dialog, the session's end, SIGTERM)
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { saveNow(); });
    const bool usable = openStore(path);
    setEditable(usable);
    if (usable) {
        reloadList();
        newEntry();
        startSpeller(path);
    }
}

// The Russian dictionary takes a moment to load: on a worker, once the
// window is up; the text is checked when it comes.
void DiaryWindow::startSpeller(const QString &storePath)
{
    if (GetSetting(settings::kApp, settings::kMain, QString::fromLatin1(settings::key::Spell), QStringLiteral("1"))
        == QLatin1String("0"))
        return;
    const QString list = QFileInfo(storePath).absolutePath() + QStringLiteral("/words.txt");
    runOnWorker(
        this, [list] { return std::shared_ptr<Speller>(Speller::load(list)); },
        [this](std::shared_ptr<Speller> s) {
            if (!s)
                return;
            QStringList known;
            const dictionary::WordIndex &words = host_->diaryWords();
            for (int i = 0; i < words.size(); ++i)
                known << words.word(i);
            try {
                for (const Tag &t : store_->allTags())
                    known << t.text;
            } catch (const Error &) {
            }
            s->addKnown(known);
            if (!s->personalProblem().isEmpty())
                statusLine_->setText(s->personalProblem().toHtmlEscaped());
            speller_ = std::move(s);
            spell_->setSpeller(speller_.get());
            underlineMisspelt(titleBox_, speller_.get());
        });
}

// A menu's spelling part for a misspelt word, above its usual commands: the
// corrections, "Добавить в словарь" and "Пропустить".
void DiaryWindow::addSpellingActions(QMenu *menu, const QString &word,
                                     const std::function<void(const QString &)> &replace)
{
    QAction *first = menu->actions().value(0);
    const QStringList offered = speller_->suggestions(word);
    for (const QString &s : offered) {
        QAction *a = new QAction(s, menu);
        QFont bold = a->font();
        bold.setBold(true);
        a->setFont(bold);
        connect(a, &QAction::triggered, this, [replace, s] { replace(s); });
        menu->insertAction(first, a);
    }
    if (offered.isEmpty()) {
        QAction *none = new QAction(QStringLiteral("Нет вариантов"), menu);
        none->setEnabled(false);
        menu->insertAction(first, none);
    }
    menu->insertSeparator(first);
    QAction *add = new QAction(QStringLiteral("Добавить в словарь"), menu);
    connect(add, &QAction::triggered, this, [this, word] {
        QString why;
        if (!speller_->addToPersonal(word, &why))
            statusLine_->setText(QStringLiteral("Личный словарь не записан: ") + why.toHtmlEscaped());
        respell();
    });
    QAction *skip = new QAction(QStringLiteral("Пропустить"), menu);
    connect(skip, &QAction::triggered, this, [this, word] {
        speller_->ignore(word);
        respell();
    });
    menu->insertAction(first, add);
    menu->insertAction(first, skip);
    menu->insertSeparator(first);
}

// The underline of the text and the title again (a word added or skipped).
void DiaryWindow::respell()
{
    spell_->rehighlight();
    underlineMisspelt(titleBox_, speller_.get());
}

void DiaryWindow::textMenu(const QPoint &at)
{
    std::unique_ptr<QMenu> menu(textBox_->createStandardContextMenu(at));
    const SpellHighlighter::Word word = spell_->misspeltAt(textBox_->cursorForPosition(at).position());
    if (word.length > 0 && speller_)
        addSpellingActions(menu.get(), word.text, [this, word](const QString &by) {
            QTextCursor c(textBox_->document());
            c.setPosition(word.start);
            c.setPosition(word.start + word.length, QTextCursor::KeepAnchor);
            c.insertText(by);
        });
    menu->exec(textBox_->viewport()->mapToGlobal(at));
}

void DiaryWindow::titleMenu(const QPoint &at)
{
    std::unique_ptr<QMenu> menu(titleBox_->createStandardContextMenu());
    const int position = titleBox_->cursorPositionAt(at);
    if (speller_) {
        for (const MisspeltWord &w : misspeltWords(titleBox_->text(), *speller_)) {
            if (position < w.start || position > w.start + w.length)
                continue;
            addSpellingActions(menu.get(), w.text, [this, w](const QString &by) {
                QString t = titleBox_->text();
                titleBox_->setText(t.replace(w.start, w.length, by));
            });
            break;
        }
    }
    menu->exec(titleBox_->mapToGlobal(at));
}

DiaryWindow::~DiaryWindow()
{
    if (g_instance == this)
        g_instance = nullptr;
}

bool DiaryWindow::openStore(const QString &path)
{
    try {
        store_ = std::make_unique<DiaryStore>(path);
    } catch (const Error &e) {
        const bool aside = e.number() == kErrorDamaged || e.number() == kErrorForeign;
        if (!aside) {
            ShowMessage(e.description() + QStringLiteral("\nДневник открыт не будет; файл оставлен как есть."), kTitle,
                        MsgIcon::Error);
            return false;
        }
        const MsgResult answer =
            ShowMessage(e.description()
                            + QStringLiteral("\nНачать новый дневник? Прежний файл останется рядом под новым именем."),
                        kTitle, MsgIcon::Question, MsgButtons::YesNo);
        if (answer != MsgResult::Yes)
            return false;
        try {
            const QString kept = DiaryStore::moveAside(path);
            store_ = std::make_unique<DiaryStore>(path);
            ShowMessage(QStringLiteral("Прежний файл дневника сохранён как «%1».").arg(kept), kTitle,
                        MsgIcon::Information);
        } catch (const Error &again) {
            ShowMessage(again.description(), kTitle, MsgIcon::Error);
            return false;
        }
    }
    editor_.setStore(store_.get());
    store_->setSymbolSource([this](QStringView text) {
        QStringList found;
        const dictionary::WordIndex &words = host_->diaryWords();
        for (const dictionary::SymbolMark &m : finder().find(text))
            if (!found.contains(words.word(m.item)))
                found << words.word(m.item);
        return found;
    });
    return true;
}

void DiaryWindow::buildControls()
{
    toolbar_ = new QToolBar(this);
    toolbar_->setObjectName(QStringLiteral("diaryToolbar"));
    toolbar_->setAccessibleName(QStringLiteral("Панель дневника"));
    toolbar_->setIconSize({24, 24});
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction *add = toolbar_->addAction(artworkIcon("diary"), QStringLiteral("&Записать сон"));
    add->setObjectName(QStringLiteral("newEntry"));
    add->setShortcut(QKeySequence::New);
    add->setToolTip(QStringLiteral("Новая запись о сне (Ctrl+N)"));
    connect(add, &QAction::triggered, this, [this] { newEntry(); });
    QAction *trash = toolbar_->addAction(QStringLiteral("В &корзину"));
    trash->setObjectName(QStringLiteral("toTrash"));
    trash->setToolTip(QStringLiteral("Переместить запись в корзину (Delete)"));
    connect(trash, &QAction::triggered, this, &DiaryWindow::moveShownToTrash);
    QAction *stats = toolbar_->addAction(QStringLiteral("&Статистика"));
    stats->setObjectName(QStringLiteral("statistics"));
    stats->setToolTip(QStringLiteral("Статистика дневника: сны по месяцам, символы и ваша таблица сбываемости"));
    connect(stats, &QAction::triggered, this, &DiaryWindow::openStatistics);
    QAction *exportIt = toolbar_->addAction(QStringLiteral("&Экспорт…"));
    exportIt->setObjectName(QStringLiteral("export"));
    exportIt->setToolTip(QStringLiteral("Выгрузить сны в JSON, Markdown, CSV или HTML"));
    connect(exportIt, &QAction::triggered, this, &DiaryWindow::chooseExport);
    QAction *importIt = toolbar_->addAction(QStringLiteral("&Импорт…"));
    importIt->setObjectName(QStringLiteral("import"));
    importIt->setToolTip(QStringLiteral("Добавить сны из файла этой программы или другого дневника снов"));
    connect(importIt, &QAction::triggered, this, &DiaryWindow::chooseImport);
    QAction *restoreIt = toolbar_->addAction(QStringLiteral("Восстановить из &копии…"));
    restoreIt->setObjectName(QStringLiteral("restoreBackup"));
    restoreIt->setToolTip(QStringLiteral("Добавить в дневник сны из ежедневной копии; дневник не заменяется"));
    connect(restoreIt, &QAction::triggered, this, &DiaryWindow::chooseRestore);
    QAction *find = new QAction(this);
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, this, [this] {
        searchBox_->setFocus();
        searchBox_->selectAll();
    });
    addAction(find);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName(QStringLiteral("diarySplitter"));
    splitter_->addWidget(buildListPanel());
    splitter_->addWidget(buildEntryPanel());
    splitter_->setStretchFactor(1, 1);
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("diaryStatus"));
    statusLine_->setTextFormat(Qt::RichText);
    connect(statusLine_, &QLabel::linkActivated, this, [this] { undoTrash(); });
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(4, 0, 4, 4);
    v->addWidget(toolbar_);
    v->addWidget(splitter_, 1);
    v->addWidget(statusLine_);
}

QWidget *DiaryWindow::buildListPanel()
{
    auto *panel = new QWidget(this);
    auto *v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 0, 0);
    buildFilters(panel, v);
    buildEntryList(panel);
    v->addWidget(list_, 1);
    v->addWidget(buildTrashRow(panel));
    return panel;
}

// Under the list while it shows the trash: give a dream back, delete it for
// good, or empty the trash.
QWidget *DiaryWindow::buildTrashRow(QWidget *panel)
{
    trashRow_ = new QWidget(panel);
    trashRow_->setObjectName(QStringLiteral("trashRow"));
    auto *h = new QHBoxLayout(trashRow_);
    h->setContentsMargins(0, 0, 0, 0);
    const auto button = [&](const QString &name, const QString &caption, auto slot) {
        auto *b = new QPushButton(caption, trashRow_);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, slot);
        h->addWidget(b);
        return b;
    };
    button(QStringLiteral("restoreFromTrash"), QStringLiteral("&Вернуть"), [this] { restoreShown(); });
    button(QStringLiteral("deleteForGood"), QStringLiteral("Удалить &навсегда"), [this] { purgeShown(); });
    button(QStringLiteral("emptyTrash"), QStringLiteral("&Очистить корзину"), [this] { emptyTrash(); });
    trashRow_->hide();
    return trashRow_;
}

// The search box, the quick filter, the tag filter, the period and the
// symbol being filtered by, above the list.
void DiaryWindow::buildFilters(QWidget *panel, QVBoxLayout *v)
{
    searchBox_ = new QLineEdit(panel);
    searchBox_->setObjectName(QStringLiteral("searchBox"));
    searchBox_->setPlaceholderText(QStringLiteral("Искать в снах (Ctrl+F)"));
    searchBox_->setClearButtonEnabled(true);
    searchBox_->setAccessibleName(QStringLiteral("Поиск по снам"));
    filterBox_ = new QComboBox(panel);
    filterBox_->setObjectName(QStringLiteral("filterBox"));
    filterBox_->setAccessibleName(QStringLiteral("Какие сны показать"));
    for (const QuickFilter &f : kQuickFilters)
        filterBox_->addItem(QString::fromUtf16(f.caption));
    tagFilter_ = new QComboBox(panel);
    tagFilter_->setObjectName(QStringLiteral("tagFilter"));
    tagFilter_->setAccessibleName(QStringLiteral("Метка или символ"));
    periodBox_ = new QCheckBox(QStringLiteral("С"), panel);
    periodBox_->setObjectName(QStringLiteral("periodBox"));
    periodBox_->setToolTip(QStringLiteral("Только сны за период"));
    fromDate_ = new QDateEdit(Clock::current().today().addMonths(-1), panel);
    toDate_ = new QDateEdit(Clock::current().today(), panel);
    for (QDateEdit *d : {fromDate_, toDate_}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        d->setEnabled(false);
    }
    fromDate_->setAccessibleName(QStringLiteral("Начало периода"));
    toDate_->setAccessibleName(QStringLiteral("Конец периода"));
    symbolFilter_ = new QLabel(panel);
    symbolFilter_->setObjectName(QStringLiteral("symbolFilter"));
    symbolFilter_->setTextFormat(Qt::RichText);
    symbolFilter_->hide();
    connect(symbolFilter_, &QLabel::linkActivated, this, [this] { filterBySymbol(QString()); });
    auto *period = new QHBoxLayout;
    period->addWidget(periodBox_);
    period->addWidget(fromDate_, 1);
    period->addWidget(new QLabel(QStringLiteral("по"), panel));
    period->addWidget(toDate_, 1);

    v->addWidget(searchBox_);
    v->addWidget(filterBox_);
    v->addWidget(tagFilter_);
    v->addLayout(period);
    v->addWidget(symbolFilter_);
    connect(searchBox_, &QLineEdit::textChanged, this, &DiaryWindow::applyFilter);
    connect(filterBox_, &QComboBox::currentIndexChanged, this, &DiaryWindow::applyFilter);
    connect(tagFilter_, &QComboBox::currentIndexChanged, this, &DiaryWindow::applyFilter);
    connect(periodBox_, &QCheckBox::toggled, this, [this](bool on) {
        fromDate_->setEnabled(on);
        toDate_->setEnabled(on);
        applyFilter();
    });
    connect(fromDate_, &QDateEdit::dateChanged, this, &DiaryWindow::applyFilter);
    connect(toDate_, &QDateEdit::dateChanged, this, &DiaryWindow::applyFilter);
}

// The entries, night by night.
void DiaryWindow::buildEntryList(QWidget *panel)
{
    model_ = new EntryListModel(this);
    list_ = new QListView(panel);
    list_->setObjectName(QStringLiteral("entryList"));
    list_->setAccessibleName(QStringLiteral("Сны по ночам"));
    list_->setModel(model_);
    list_->setUniformItemSizes(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // long titles end in "…"
    list_->setResizeMode(QListView::Adjust);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->installEventFilter(this);
    // the list's own menu: what can be done with the dream under it
    list_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *toTrash = new QAction(QStringLiteral("В корзину"), list_);
    auto *giveBack = new QAction(QStringLiteral("Вернуть из корзины"), list_);
    auto *forGood = new QAction(QStringLiteral("Удалить навсегда…"), list_);
    toTrash->setObjectName(QStringLiteral("listToTrash"));
    giveBack->setObjectName(QStringLiteral("listRestore"));
    forGood->setObjectName(QStringLiteral("listDeleteForGood"));
    list_->addActions({toTrash, giveBack, forGood});
    connect(toTrash, &QAction::triggered, this, [this] { moveShownToTrash(); });
    connect(giveBack, &QAction::triggered, this, [this] { restoreShown(); });
    connect(forGood, &QAction::triggered, this, [this] { purgeShown(); });
    connect(list_, &QListView::clicked, this, &DiaryWindow::listClicked);
    connect(list_, &QListView::activated, this, &DiaryWindow::listClicked);
}

QWidget *DiaryWindow::buildEntryPanel()
{
    auto *panel = new QWidget(this);
    titleBox_ = new QLineEdit(panel);
    titleBox_->setObjectName(QStringLiteral("titleBox"));
    titleBox_->setPlaceholderText(QStringLiteral("Название (можно не писать)"));
    titleBox_->setAccessibleName(QStringLiteral("Название сна"));
    // The title's misspelt words underlined as the text's are, again as the
    // text or the cursor moves (the underline is placed from the cursor).
    connect(titleBox_, &QLineEdit::textChanged, this, [this] { underlineMisspelt(titleBox_, speller_.get()); });
    connect(titleBox_, &QLineEdit::cursorPositionChanged, this,
            [this] { underlineMisspelt(titleBox_, speller_.get()); });
    titleBox_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(titleBox_, &QWidget::customContextMenuRequested, this, &DiaryWindow::titleMenu);
    momentBox_ = new QDateTimeEdit(panel);
    momentBox_->setObjectName(QStringLiteral("momentBox"));
    momentBox_->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm"));
    momentBox_->setCalendarPopup(true);
    momentBox_->setAccessibleName(QStringLiteral("Когда приснился сон"));
    nightLabel_ = new QLabel(panel);
    nightLabel_->setObjectName(QStringLiteral("nightLabel"));
    nightLabel_->setWordWrap(true);
    nightLabel_->setToolTip(QStringLiteral("Сон, увиденный до полудня, относится к ночи, которая началась накануне "
                                           "вечером."));
    auto *when = new QHBoxLayout;
    when->addWidget(new QLabel(QStringLiteral("Когда:"), panel));
    when->addWidget(momentBox_);
    when->addWidget(nightLabel_, 1);

    textBox_ = new QPlainTextEdit(panel);
    textBox_->setObjectName(QStringLiteral("textBox"));
    textBox_->setAccessibleName(QStringLiteral("Текст сна"));
    textBox_->setAccessibleDescription(QStringLiteral("Символы сонников в тексте подчёркнуты; щелчок по символу "
                                                      "открывает его толкование."));
    textBox_->setPlaceholderText(QStringLiteral("Что вам приснилось? Запишите сон, пока он не забылся."));
    textBox_->viewport()->installEventFilter(this);
    textBox_->installEventFilter(this);
    textBox_->viewport()->setMouseTracking(true);
    spell_ = new SpellHighlighter(textBox_->document());
    textBox_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(textBox_, &QWidget::customContextMenuRequested, this, &DiaryWindow::textMenu);

    tabs_ = new QTabWidget(panel);
    tabs_->setObjectName(QStringLiteral("entryTabs"));
    tabs_->addTab(buildSymbolsTab(), QStringLiteral("Символы"));
    tabs_->addTab(buildLunarTab(), QStringLiteral("Лунный день"));
    tabs_->addTab(buildMarkTab(), QStringLiteral("Сбылся ли"));

    auto *texts = new QSplitter(Qt::Vertical, panel);
    texts->addWidget(textBox_);
    texts->addWidget(tabs_);
    texts->setStretchFactor(0, 3);
    texts->setStretchFactor(1, 2);
    auto *v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(titleBox_);
    v->addLayout(when);
    v->addWidget(texts, 1);
    v->addWidget(buildDetailsRow());

    connect(titleBox_, &QLineEdit::textEdited, this, &DiaryWindow::changed);
    connect(textBox_, &QPlainTextEdit::textChanged, this, &DiaryWindow::textChanged);
    connect(momentBox_, &QDateTimeEdit::dateTimeChanged, this, &DiaryWindow::momentOrPlaceChanged);
    return panel;
}

QWidget *DiaryWindow::buildDetailsRow()
{
    auto *row = new QWidget(this);
    lucidBox_ = new QCheckBox(QStringLiteral("&Осознанный"), row);
    lucidBox_->setObjectName(QStringLiteral("lucidBox"));
    lucidBox_->setToolTip(QStringLiteral("Во сне вы понимали, что спите"));
    connect(lucidBox_, &QCheckBox::toggled, this, &DiaryWindow::changed);
    auto *checks = new QHBoxLayout;
    checks->addWidget(lucidBox_);
    for (DreamKind k : kAllKinds) {
        auto *box = new QCheckBox(kindName(k), row);
        box->setObjectName(QStringLiteral("kind-") + kindCode(k));
        connect(box, &QCheckBox::toggled, this, &DiaryWindow::changed);
        kindBoxes_ << box;
        checks->addWidget(box);
    }
    checks->addStretch();
    clarityBox_ = new QComboBox(row);
    clarityBox_->setObjectName(QStringLiteral("clarityBox"));
    clarityBox_->setAccessibleName(QStringLiteral("Ясность сна"));
    clarityBox_->addItems({QStringLiteral("—"), QStringLiteral("1 — смутный"), QStringLiteral("2"), QStringLiteral("3"),
                           QStringLiteral("4 — яркий")});
    moodBox_ = new QComboBox(row);
    moodBox_->setObjectName(QStringLiteral("moodBox"));
    moodBox_->setAccessibleName(QStringLiteral("Настроение сна"));
    moodBox_->addItems({QStringLiteral("—"), QStringLiteral("очень плохое"), QStringLiteral("плохое"),
                        QStringLiteral("ровное"), QStringLiteral("хорошее"), QStringLiteral("очень хорошее")});
    for (QComboBox *c : {clarityBox_, moodBox_})
        connect(c, &QComboBox::currentIndexChanged, this, &DiaryWindow::changed);
    tagsBox_ = new QLineEdit(row);
    peopleBox_ = new QLineEdit(row);
    placesBox_ = new QLineEdit(row);
    const std::pair<QLineEdit *, const char *> tagBoxes[] = {{tagsBox_, "tagsBox"},
                                                             {peopleBox_, "peopleBox"},
                                                             {placesBox_, "placesBox"}};
    for (const auto &[box, name] : tagBoxes) {
        box->setObjectName(QString::fromLatin1(name));
        box->setPlaceholderText(QStringLiteral("через запятую"));
        connect(box, &QLineEdit::textEdited, this, &DiaryWindow::changed);
    }
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Я&сность:"), clarityBox_);
    form->addRow(QStringLiteral("&Настроение:"), moodBox_);
    tagsCompleter_ = new ListCompleter(tagsBox_);
    peopleCompleter_ = new ListCompleter(peopleBox_);
    placesCompleter_ = new ListCompleter(placesBox_);
    form->addRow(QStringLiteral("&Метки:"), tagsBox_);
    form->addRow(QStringLiteral("&Люди:"), peopleBox_);
    form->addRow(QStringLiteral("Мес&та:"), placesBox_);
    auto *v = new QVBoxLayout(row);
    v->setContentsMargins(0, 0, 0, 0);
    v->addLayout(checks);
    v->addLayout(form);
    return row;
}

QWidget *DiaryWindow::buildSymbolsTab()
{
    auto *tab = new QWidget(this);
    symbolList_ = new QListWidget(tab);
    symbolList_->setObjectName(QStringLiteral("symbolList"));
    symbolList_->setAccessibleName(QStringLiteral("Символы сна"));
    symbolList_->setWordWrap(true);
    connect(symbolList_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { host_->openInterpretation(item->data(Qt::UserRole).toString()); });
    symbolList_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *readIt = new QAction(QStringLiteral("Прочитать толкование"), symbolList_);
    auto *sameSymbol = new QAction(QStringLiteral("Все сны с этим символом"), symbolList_);
    sameSymbol->setObjectName(QStringLiteral("dreamsWithSymbol"));
    symbolList_->addActions({readIt, sameSymbol});
    connect(readIt, &QAction::triggered, this, [this] {
        if (const QListWidgetItem *item = symbolList_->currentItem())
            host_->openInterpretation(item->data(Qt::UserRole).toString());
    });
    connect(sameSymbol, &QAction::triggered, this, [this] {
        if (const QListWidgetItem *item = symbolList_->currentItem())
            filterBySymbol(item->data(Qt::UserRole).toString());
    });
    symbolToAdd_ = new QLineEdit(tab);
    symbolToAdd_->setObjectName(QStringLiteral("symbolToAdd"));
    symbolToAdd_->setPlaceholderText(QStringLiteral("Слово из сонника"));
    symbolToAdd_->setAccessibleName(QStringLiteral("Символ, который добавить"));
    auto *add = new QPushButton(QStringLiteral("&Добавить"), tab);
    add->setObjectName(QStringLiteral("addSymbol"));
    auto *remove = new QPushButton(QStringLiteral("&Убрать"), tab);
    remove->setObjectName(QStringLiteral("removeSymbol"));
    remove->setToolTip(QStringLiteral("Убрать выбранный символ из этого сна"));
    connect(add, &QPushButton::clicked, this, &DiaryWindow::addSymbol);
    connect(symbolToAdd_, &QLineEdit::returnPressed, this, &DiaryWindow::addSymbol);
    connect(remove, &QPushButton::clicked, this, &DiaryWindow::removeSymbol);
    auto *row = new QHBoxLayout;
    row->addWidget(symbolToAdd_, 1);
    row->addWidget(add);
    row->addWidget(remove);
    auto *v = new QVBoxLayout(tab);
    auto *readDream = new QPushButton(QStringLiteral("&Толкование сна"), tab);
    readDream->setObjectName(QStringLiteral("interpretDream"));
    readDream->setToolTip(QStringLiteral("Прочитать весь сон по сонникам: для каждого символа — толкования, "
                                         "подходящие к этому сну"));
    connect(readDream, &QPushButton::clicked, this, [this] { host_->interpretDream(textBox_->toPlainText()); });
    row->addWidget(readDream);
    symbolsTimer_.setSingleShot(true);
    symbolsTimer_.setInterval(300);
    connect(&symbolsTimer_, &QTimer::timeout, this, &DiaryWindow::showSymbols);
    v->addWidget(symbolList_, 1);
    v->addLayout(row);
    return tab;
}

QWidget *DiaryWindow::buildLunarTab()
{
    auto *tab = new QWidget(this);
    phasePicture_ = new QLabel(tab);
    phasePicture_->setObjectName(QStringLiteral("phasePicture"));
    phasePicture_->setFixedSize(64, 64);
    lunarDayLabel_ = new QLabel(tab);
    lunarDayLabel_->setObjectName(QStringLiteral("lunarDayLabel"));
    lunarDayLabel_->setWordWrap(true);
    QFont bold = lunarDayLabel_->font();
    bold.setBold(true);
    lunarDayLabel_->setFont(bold);
    lunarTexts_ = new QLabel(tab);
    lunarTexts_->setObjectName(QStringLiteral("lunarTexts"));
    lunarTexts_->setWordWrap(true);
    lunarTexts_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    placeLabel_ = new QLabel(tab);
    placeLabel_->setObjectName(QStringLiteral("placeLabel"));
    placeLabel_->setWordWrap(true);
    auto *here = new QPushButton(QStringLiteral("Место из &настроек"), tab);
    here->setObjectName(QStringLiteral("placeFromSettings"));
    here->setToolTip(QStringLiteral("Считать лунный день для места, заданного в настройках программы"));
    connect(here, &QPushButton::clicked, this, [this] {
        entry_.place = host_->diaryPlace();
        momentOrPlaceChanged();
    });
    auto *directory = new QPushButton(QStringLiteral("&Город из справочника…"), tab);
    directory->setObjectName(QStringLiteral("placeFromDirectory"));
    directory->setToolTip(QStringLiteral("Выбрать место сна в справочнике городов"));
    connect(directory, &QPushButton::clicked, this, &DiaryWindow::choosePlaceFromDirectory);
    auto *top = new QHBoxLayout;
    top->addWidget(phasePicture_);
    top->addWidget(lunarDayLabel_, 1);
    auto *placeRow = new QHBoxLayout;
    placeRow->addWidget(placeLabel_, 1);
    placeRow->addWidget(directory);
    placeRow->addWidget(here);
    auto *v = new QVBoxLayout(tab);
    v->addLayout(top);
    v->addWidget(lunarTexts_, 1);
    v->addLayout(placeRow);
    return tab;
}

QWidget *DiaryWindow::buildMarkTab()
{
    auto *tab = new QWidget(this);
    markBox_ = new QComboBox(tab);
    markBox_->setObjectName(QStringLiteral("markBox"));
    markBox_->setAccessibleName(QStringLiteral("Сбылся ли сон"));
    markBox_->addItems({QStringLiteral("не отмечено"), QStringLiteral("сбылся"), QStringLiteral("сбылся частично"),
                        QStringLiteral("не сбылся")});
    markedOn_ = new QLabel(tab);
    markedOn_->setObjectName(QStringLiteral("markedOn"));
    markNote_ = new QLineEdit(tab);
    markNote_->setObjectName(QStringLiteral("markNote"));
    markNote_->setPlaceholderText(QStringLiteral("Как сбылся (можно не писать)"));
    markNote_->setAccessibleName(QStringLiteral("Заметка о том, как сбылся сон"));
    connect(markBox_, &QComboBox::currentIndexChanged, this, &DiaryWindow::markChanged);
    connect(markNote_, &QLineEdit::textEdited, this, &DiaryWindow::changed);
    auto *form = new QFormLayout(tab);
    form->addRow(QStringLiteral("&Сон:"), markBox_);
    form->addRow(QString(), markedOn_);
    form->addRow(QStringLiteral("За&метка:"), markNote_);
    return tab;
}

void DiaryWindow::restoreGeometry()
{
    const QRect screen = (this->screen() ? this->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    const double nan = std::nan("");
    double width = GetSettingReal(settings::kApp, settings::kMain, settings::key::DWidth, nan);
    double height = GetSettingReal(settings::kApp, settings::kMain, settings::key::DHeight, nan);
    const double top = GetSettingReal(settings::kApp, settings::kMain, settings::key::DTop, nan);
    const double left = GetSettingReal(settings::kApp, settings::kMain, settings::key::DLeft, nan);
    const int w = std::isnan(width) ? std::min(980, screen.width() - 40) : std::max(480, TwipsToPixels(width));
    const int h = std::isnan(height) ? std::min(680, screen.height() - 40) : std::max(360, TwipsToPixels(height));
    resize(w, h);
    if (!std::isnan(top) && !std::isnan(left)) {
        const QRect want(TwipsToPixels(left), TwipsToPixels(top), w, h);
        if (screen.intersects(want.adjusted(0, 0, 0, -h + 30))) // its title bar is on the screen
            move(want.topLeft());
    } else {
        move(screen.center() - QPoint(w / 2, h / 2));
    }
    const double split = GetSettingReal(settings::kApp, settings::kMain, settings::key::DSplit, nan);
    const int listWidth = std::isnan(split) ? w * 3 / 10 : std::clamp(TwipsToPixels(split), 120, w - 240);
    splitter_->setSizes({listWidth, w - listWidth});
}

void DiaryWindow::storeGeometry()
{
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    SettingsBatch batch;
    // Where the compositor places the windows the position read back means
    // nothing: the one stored before is kept.
    if (CurrentSessionTraits().placesWindows) {
        SaveSetting(settings::kApp, settings::kMain, settings::key::DTop, realText(PixelsToTwips(y())));
        SaveSetting(settings::kApp, settings::kMain, settings::key::DLeft, realText(PixelsToTwips(x())));
    }
    SaveSetting(settings::kApp, settings::kMain, settings::key::DHeight, realText(PixelsToTwips(height())));
    SaveSetting(settings::kApp, settings::kMain, settings::key::DWidth, realText(PixelsToTwips(width())));
    SaveSetting(settings::kApp, settings::kMain, settings::key::DSplit,
                realText(PixelsToTwips(splitter_->sizes().value(0))));
}

void DiaryWindow::setEditable(bool on)
{
    splitter_->setEnabled(on);
    for (QAction *a : toolbar_->actions())
        a->setEnabled(on);
    if (!on)
        statusLine_->setText(QStringLiteral("Дневник недоступен."));
}

const dictionary::SymbolFinder &DiaryWindow::finder()
{
    const int generation = host_->diaryWordsGeneration();
    if (generation != finderGeneration_) {
        finder_.build(host_->diaryWords());
        finderGeneration_ = generation;
        QStringList words;
        const dictionary::WordIndex &index = host_->diaryWords();
        words.reserve(index.size());
        for (int i = 0; i < index.size(); ++i)
            words << index.word(i);
        auto *completer = new QCompleter(words, symbolToAdd_);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        symbolToAdd_->setCompleter(completer);
    }
    return finder_;
}

// ---------------------------------------------------------------- the list

void DiaryWindow::reloadList(const QString &select)
{
    if (!store_)
        return;
    editor_.forgetListed(); // read the store again
    const QString keepTag = tagFilter_->currentData().toString();
    {
        const QSignalBlocker quiet(tagFilter_);
        tagFilter_->clear();
        tagFilter_->addItem(QStringLiteral("Все метки"), QString());
        QStringList byKind[3];
        for (const Tag &t : store_->allTags()) {
            tagFilter_->addItem(t.text, t.text);
            byKind[int(t.kind)] << t.text;
        }
        tagsCompleter_->setWords(byKind[int(TagKind::Plain)]);
        peopleCompleter_->setWords(byKind[int(TagKind::Person)]);
        placesCompleter_->setWords(byKind[int(TagKind::Place)]);
        tagFilter_->setCurrentIndex(std::max(0, tagFilter_->findData(keepTag)));
    }
    findSigns();
    applyFilter();
    const int row = model_->rowOf(select.isEmpty() ? entry_.id : select);
    if (row >= 0)
        list_->setCurrentIndex(model_->index(row));
}

// The user's dream signs, from the dreams of the last 90 days alone.
void DiaryWindow::findSigns()
{
    signs_.clear();
    const QDateTime now = momentNow();
    Filter recent;
    recent.nightFrom = nightOf(now).addDays(1 - kSignDays);
    try {
        QList<Entry> entries;
        for (const QString &id : store_->search(recent))
            if (std::optional<Entry> e = store_->entry(id))
                entries << *e;
        for (const Recurrence &r : dreamSigns(entries, now))
            signs_.insert(dictionary::foldWord(r.name), r.count);
    } catch (const Error &) {
        // no signs: the list says why it cannot be read
    }
}

void DiaryWindow::applyFilter()
{
    if (!store_)
        return;
    const QuickFilter &quick = kQuickFilters[std::max(0, filterBox_->currentIndex())];
    trashRow_->setVisible(quick.trash);
    for (QAction *a : list_->actions())
        a->setVisible((a->objectName() == QLatin1String("listToTrash")) != quick.trash);
    if (quick.trash) {
        showTrash();
        return;
    }
    ListQuery q;
    Filter &f = q.filter;
    f.text = searchBox_->text().trimmed();
    f.lucid = quick.lucid;
    if (quick.kind)
        f.kinds << *quick.kind;
    f.mark = quick.mark;
    if (const QString tag = tagFilter_->currentData().toString(); !tag.isEmpty())
        f.tags << tag;
    if (periodBox_->isChecked()) {
        f.nightFrom = fromDate_->date();
        f.nightTo = toDate_->date();
    }
    f.symbol = symbol_;
    try {
        listEntries(editor_.listed(q));
    } catch (const Error &e) {
        statusLine_->setText(e.description().toHtmlEscaped());
    }
    findSymbols(); // the hits of the new query
}

StatsWindow *DiaryWindow::openStatistics()
{
    if (!store_)
        return nullptr;
    saveNow(); // the figures count the dream being written
    const bool opening = StatsWindow::instance() == nullptr;
    StatsWindow *w = StatsWindow::open(store_.get(), this);
    if (opening) {
        connect(w, &StatsWindow::showDreamsWithSymbol, this, [this](const QString &headword) {
            filterBySymbol(headword);
            raise();
            activateWindow();
        });
        connect(w, &StatsWindow::showDreamsWithTag, this, [this](const QString &tag) {
            filterByTag(tag);
            raise();
            activateWindow();
        });
    }
    return w;
}

bool DiaryWindow::exportTo(ExportFormat format, const QString &path)
{
    if (!store_ || path.isEmpty())
        return false;
    saveNow();
    try {
        const QDate from = periodBox_->isChecked() ? fromDate_->date() : QDate();
        const QDate to = periodBox_->isChecked() ? toDate_->date() : QDate();
        const QList<Entry> chosen = entriesForExport(store_->allEntries(), format, from, to);
        const QStringList replaced = exportWouldReplace(format, path, chosen);
        if (!replaced.isEmpty()
            && ShowMessage(QStringLiteral("Заменить %1 существующих файлов (%2)?")
                               .arg(replaced.size())
                               .arg(QFileInfo(replaced.first()).fileName()),
                           kTitle, MsgIcon::Question, MsgButtons::YesNo)
                   != MsgResult::Yes)
            return false;
        const int written = exportDiary(format, path, chosen, from, to, true);
        statusLine_->setText(QStringLiteral("Выгружено снов: %1.").arg(written));
        return true;
    } catch (const Error &e) {
        ShowMessage(e.description(), kTitle, MsgIcon::Error);
        return false;
    }
}

int DiaryWindow::mergeAsked(const MergePlan &plan, const QString &what)
{
    if (ShowMessage(what + QStringLiteral("\n") + plan.preview() + QStringLiteral("\nПродолжить?"), kTitle,
                    MsgIcon::Question, MsgButtons::YesNo)
        != MsgResult::Yes)
        return -1;
    const int written = applyMerge(*store_, plan);
    statusLine_->setText(plan.done().toHtmlEscaped());
    return written;
}

int DiaryWindow::importFrom(const QString &path)
{
    if (!store_ || path.isEmpty())
        return -1;
    saveNow();
    try {
        ImportedJournal journal = readAnyJournal(path, [](const QString &p) { return readForeignJournal(p); });
        placeUnplaced(journal, host_->diaryPlace());
        return mergeAsked(planMerge(*store_, journal), QStringLiteral("Импорт из «%1».").arg(path));
    } catch (const Error &e) {
        ShowMessage(e.description(), kTitle, MsgIcon::Error);
        return -1;
    }
}

int DiaryWindow::restoreFrom(const QString &backupPath)
{
    if (!store_ || backupPath.isEmpty())
        return -1;
    saveNow();
    try {
        // the copy is read through a copy of its own (opening a diary may tidy
        // its trash) and merged, never put in the diary's place
        QTemporaryDir scratch;
        const QString readable = scratch.filePath(QStringLiteral("copy.sqlite"));
        if (!scratch.isValid() || !QFile::copy(backupPath, readable))
            throw Error(kErrorUnreadable, QStringLiteral("restoreFrom"),
                        QStringLiteral("Не удаётся прочитать копию «%1».").arg(backupPath));
        DiaryStore copy(readable);
        copy.setCodec(store_->codec());
        ImportedJournal journal;
        journal.format = QStringLiteral("somnex-backup");
        journal.source = backupPath;
        journal.entries = copy.allEntries();
        return mergeAsked(planMerge(*store_, journal),
                          QStringLiteral("Восстановление из копии «%1».").arg(QFileInfo(backupPath).fileName()));
    } catch (const Error &e) {
        ShowMessage(e.description(), kTitle, MsgIcon::Error);
        return -1;
    }
}

void DiaryWindow::chooseExport()
{
    struct Choice {
        const char16_t *filter;
        ExportFormat format;
        bool folder;
    };
    static const Choice choices[] = {
        {u"Дневник снов, JSON (*.json)", ExportFormat::Json, false},
        {u"Заметки Markdown, папка (*.md)", ExportFormat::Markdown, true},
        {u"Таблица CSV (*.csv)", ExportFormat::Csv, false},
        {u"Книга снов, HTML (*.html)", ExportFormat::Html, false},
    };
    QStringList filters;
    for (const Choice &c : choices)
        filters << QString::fromUtf16(c.filter);
    QString chosenFilter;
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт дневника"), QStringLiteral("дневник-снов"),
                                     filters.join(QStringLiteral(";;")), &chosenFilter,
                                     QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return;
    const Choice &c = choices[std::max<qsizetype>(0, filters.indexOf(chosenFilter))];
    QString target = withExportExtension(c.format, path);
    if (c.folder && target.endsWith(QStringLiteral(".md")))
        target.chop(3);
    exportTo(c.format, target);
}

void DiaryWindow::chooseImport()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Импорт снов"), QString(),
                                     QStringLiteral("Дневники снов (*.json *.dre .dreamdir);;Все файлы (*)"));
    importFrom(QFileInfo(path).fileName() == QLatin1String(".dreamdir") ? QFileInfo(path).absolutePath() : path);
}

void DiaryWindow::chooseRestore()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Восстановить из копии"), backupFolder(store_->path()),
                                     QStringLiteral("Копии дневника (diary-*.sqlite)"));
    restoreFrom(path);
}

void DiaryWindow::filterBySymbol(const QString &headword)
{
    symbol_ = headword;
    symbolFilter_->setText(
        QStringLiteral("Сны с символом «%1» · <a href=\"all\">все сны</a>").arg(headword.toHtmlEscaped()));
    symbolFilter_->setVisible(!headword.isEmpty());
    applyFilter();
}

void DiaryWindow::filterByTag(const QString &tag)
{
    int index = tagFilter_->findData(tag);
    if (index < 0) { // a tag written since the list was made
        reloadList();
        index = tagFilter_->findData(tag);
    }
    tagFilter_->setCurrentIndex(std::max(0, index)); // filters the list
}

void DiaryWindow::filterByNight(const QDate &night)
{
    if (!night.isValid())
        return;
    {
        const QSignalBlocker from(fromDate_), to(toDate_), box(periodBox_);
        fromDate_->setDate(night);
        toDate_->setDate(night);
        periodBox_->setChecked(true);
        fromDate_->setEnabled(true);
        toDate_->setEnabled(true);
    }
    applyFilter();
}

void DiaryWindow::updateListed(const EntrySummary &e)
{
    model_->updateEntry(e);
    editor_.updateListed(e);
}

void DiaryWindow::listClicked(const QModelIndex &index)
{
    const QString id = index.data(EntryListModel::IdRole).toString();
    if (!id.isEmpty() && id != entry_.id)
        showEntry(id);
}

// ---------------------------------------------------------------- one dream

void DiaryWindow::newEntry(const QDateTime &at)
{
    saveNow();
    Entry e;
    // a dream is written down after the night: from noon on, this morning's
    // The end of the night just past: now before noon, else this morning at
    // the waking time, the reminder's where one is set.
    const ReminderSettings reminder = ReminderSettings::load(
        [](const QString &key, const QString &def) { return GetSetting(settings::kApp, settings::kMain, key, def); });
    e.at = at.isValid() ? at : newDreamMoment(momentNow(), reminder.on ? reminder.time : QTime());
    e.zone = systemZoneName();
    e.night = nightOf(e.at);
    e.place = host_->diaryPlace();
    loadEntry(e);
    requestLunarDay();
    list_->clearSelection();
    textBox_->setFocus();
}

void DiaryWindow::showEntry(const QString &id)
{
    saveNow();
    if (!store_)
        return;
    try {
        const std::optional<Entry> e = store_->entry(id);
        if (!e)
            return;
        loadEntry(*e);
        const int row = model_->rowOf(id);
        if (row >= 0)
            list_->setCurrentIndex(model_->index(row));
    } catch (const Error &err) {
        ShowMessage(err.description(), kTitle, MsgIcon::Error);
    }
}

void DiaryWindow::loadEntry(const Entry &e)
{
    loading_ = true;
    editor_.load(e);
    titleBox_->setText(e.title);
    momentBox_->setDateTime(e.at);
    textBox_->setPlainText(e.text);
    lucidBox_->setChecked(e.lucid);
    for (int k = 0; k < kindBoxes_.size(); ++k)
        kindBoxes_[k]->setChecked(e.kinds.contains(kAllKinds[k]));
    clarityBox_->setCurrentIndex(e.clarity.value_or(0));
    moodBox_->setCurrentIndex(e.mood ? *e.mood + 3 : 0);
    tagsBox_->setText(tagsText(e.tags, TagKind::Plain));
    peopleBox_->setText(tagsText(e.tags, TagKind::Person));
    placesBox_->setText(tagsText(e.tags, TagKind::Place));
    markBox_->setCurrentIndex(
        int(std::find(std::begin(kMarkChoices), std::end(kMarkChoices), e.fulfilment.mark) - std::begin(kMarkChoices)));
    markNote_->setText(e.fulfilment.note);
    // a dream in the trash is read, not written: give it back to change it
    const bool inTrash = e.deletedAt.isValid();
    textBox_->setReadOnly(inTrash);
    titleBox_->setReadOnly(inTrash);
    loading_ = false;
    findSymbols();
    showSymbols();
    showLunar();
    showNight();
    showMark();
}

Entry DiaryWindow::entryFromControls() const
{
    Entry e = entry_;
    e.title = titleBox_->text();
    e.text = textBox_->toPlainText();
    QDateTime at = momentBox_->dateTime();
    at.setOffsetFromUtc(entry_.at.offsetFromUtc());
    e.at = at;
    e.lucid = lucidBox_->isChecked();
    e.kinds.clear();
    for (int k = 0; k < kindBoxes_.size(); ++k)
        if (kindBoxes_[k]->isChecked())
            e.kinds << kAllKinds[k];
    e.clarity = clarityBox_->currentIndex() > 0 ? std::optional<int>(clarityBox_->currentIndex()) : std::nullopt;
    e.mood = moodBox_->currentIndex() > 0 ? std::optional<int>(moodBox_->currentIndex() - 3) : std::nullopt;
    e.tags.clear();
    addTags(e.tags, tagsBox_->text(), TagKind::Plain);
    addTags(e.tags, peopleBox_->text(), TagKind::Person);
    addTags(e.tags, placesBox_->text(), TagKind::Place);
    e.fulfilment.mark = kMarkChoices[std::max(0, markBox_->currentIndex())];
    e.fulfilment.note = markNote_->text();
    e.fulfilment = datedFulfilment(e.fulfilment, Clock::current().today());
    return e;
}

void DiaryWindow::changed()
{
    if (!loading_)
        editor_.changed();
}

void DiaryWindow::textChanged()
{
    if (loading_)
        return;
    findSymbols();
    changed();
}

bool DiaryWindow::saveNow()
{
    return editor_.save();
}

// The dream shown was written: what the store keeps of it is shown.
void DiaryWindow::saved(bool added)
{
    statusLine_->clear();
    showSymbols();
    if (added) {
        if (const int row = model_->rowOf(entry_.id); row >= 0)
            list_->setCurrentIndex(model_->index(row));
    } else {
        model_->updateEntry(summaryOf(entry_));
    }
}

void DiaryWindow::reportWriteFailure(const QString &why)
{
    statusLine_->setText(QStringLiteral("Запись не сохранена: ") + why.toHtmlEscaped()
                         + QStringLiteral(" Текст остаётся в окне; программа попробует снова."));
}

void DiaryWindow::moveShownToTrash()
{
    if (!store_)
        return;
    saveNow();
    if (entry_.id.isEmpty()) {
        newEntry();
        return;
    }
    try {
        const QString title = editor_.moveToTrash().toHtmlEscaped(); // the list follows
        const QList<EntrySummary> &rest = model_->entries();
        if (rest.isEmpty())
            newEntry();
        else
            showEntry(rest.first().id);
        statusLine_->setText(QStringLiteral("Сон «%1» перемещён в корзину. <a href=\"undo\">Вернуть</a>").arg(title));
    } catch (const Error &err) {
        ShowMessage(err.description(), kTitle, MsgIcon::Error);
    }
}

// The list shows these dreams, the one shown selected when among them.
void DiaryWindow::listEntries(QList<EntrySummary> entries)
{
    model_->setEntries(std::move(entries));
    if (const int row = model_->rowOf(entry_.id); row >= 0)
        list_->setCurrentIndex(model_->index(row));
}

bool DiaryWindow::showingTrash() const
{
    return kQuickFilters[std::max(0, filterBox_->currentIndex())].trash;
}

void DiaryWindow::openTrash()
{
    filterBox_->setCurrentIndex(int(std::size(kQuickFilters)) - 1);
    applyFilter();
}

// The dreams in the trash, the search box's words in their titles.
void DiaryWindow::showTrash()
{
    try {
        ListQuery q;
        q.trash = true;
        q.filter.text = searchBox_->text();
        listEntries(editor_.listed(q));
    } catch (const Error &e) {
        statusLine_->setText(e.description().toHtmlEscaped());
    }
    statusLine_->setText(
        model_->entries().isEmpty()
            ? QStringLiteral("Корзина пуста.")
            : QStringLiteral("В корзине снов: %1. Через 30 дней они удаляются сами.").arg(model_->entries().size()));
}

bool DiaryWindow::restoreShown()
{
    if (!store_ || entry_.id.isEmpty() || !entry_.deletedAt.isValid())
        return false;
    try {
        const QString id = entry_.id;
        editor_.restoreShown();
        showEntry(id);
        statusLine_->setText(
            QStringLiteral("Сон «%1» возвращён из корзины.").arg(entry_.displayTitle().toHtmlEscaped()));
        return true;
    } catch (const Error &err) {
        ShowMessage(err.description(), kTitle, MsgIcon::Error);
        return false;
    }
}

bool DiaryWindow::purgeShown()
{
    if (!store_ || entry_.id.isEmpty() || !entry_.deletedAt.isValid())
        return false;
    if (ShowMessage(QStringLiteral("Удалить сон «%1» навсегда? Вернуть его будет нельзя.").arg(entry_.displayTitle()),
                    kTitle, MsgIcon::Question, MsgButtons::YesNo)
        != MsgResult::Yes)
        return false;
    try {
        editor_.purgeShown();
        const QList<EntrySummary> &rest = model_->entries();
        rest.isEmpty() ? newEntry() : showEntry(rest.first().id);
        return true;
    } catch (const Error &err) {
        ShowMessage(err.description(), kTitle, MsgIcon::Error);
        return false;
    }
}

int DiaryWindow::emptyTrash()
{
    if (!store_)
        return 0;
    try {
        const int count = int(store_->trash().size());
        if (count == 0
            || ShowMessage(
                   QStringLiteral("Удалить навсегда все сны из корзины (%1)? Вернуть их будет нельзя.").arg(count),
                   kTitle, MsgIcon::Question, MsgButtons::YesNo)
                   != MsgResult::Yes)
            return 0;
        const int purged = editor_.emptyTrash();
        if (entry_.deletedAt.isValid())
            newEntry();
        statusLine_->setText(QStringLiteral("Корзина очищена: удалено снов %1.").arg(purged));
        return purged;
    } catch (const Error &err) {
        ShowMessage(err.description(), kTitle, MsgIcon::Error);
        return 0;
    }
}

void DiaryWindow::undoTrash()
{
    if (!store_ || editor_.trashed().isEmpty())
        return;
    try {
        const QString id = editor_.undoTrash();
        statusLine_->clear();
        showEntry(id);
    } catch (const Error &err) {
        ShowMessage(err.description(), kTitle, MsgIcon::Error);
    }
}

// ---------------------------------------------------------------- symbols

void DiaryWindow::findSymbols()
{
    const QString text = textBox_->toPlainText();
    marks_ = finder().find(text);
    QList<QTextEdit::ExtraSelection> selections;
    // what the search box found, marked as the dictionary marks its hits
    QTextCharFormat hit;
    hit.setBackground(QColor(0xff, 0xe8, 0x80));
    hit.setForeground(QColor(0x10, 0x10, 0x10));
    for (const TextRange &r : queryRanges(text, searchBox_->text())) {
        QTextEdit::ExtraSelection s;
        s.cursor = QTextCursor(textBox_->document());
        s.cursor.setPosition(int(r.start));
        s.cursor.setPosition(int(r.start + r.length), QTextCursor::KeepAnchor);
        s.format = hit;
        selections << s;
    }
    QTextCharFormat marked;
    marked.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    marked.setUnderlineColor(palette().color(QPalette::Link));
    marked.setForeground(palette().color(QPalette::Link));
    // the user's dream signs underlined in a colour of their own
    QTextCharFormat sign = marked;
    sign.setUnderlineStyle(QTextCharFormat::DashUnderline);
    sign.setUnderlineColor(QColor(0xd0, 0x60, 0x00));
    for (const dictionary::SymbolMark &m : marks_) {
        QTextEdit::ExtraSelection s;
        s.cursor = QTextCursor(textBox_->document());
        s.cursor.setPosition(int(m.start));
        s.cursor.setPosition(int(m.start + m.length), QTextCursor::KeepAnchor);
        s.format = signDreams(m) > 0 ? sign : marked;
        selections << s;
    }
    textBox_->setExtraSelections(selections);
    if (!loading_) {
        QStringList found;
        const dictionary::WordIndex &words = host_->diaryWords();
        for (const dictionary::SymbolMark &m : marks_)
            if (!found.contains(words.word(m.item)))
                found << words.word(m.item);
        const QStringList before = entry_.symbolHeadwords();
        entry_.symbols = mergeSymbols(entry_.symbols, found);
        // most keystrokes change no symbol: the list stays, and its best
        // lines follow what the dream says once the typing pauses
        if (entry_.symbolHeadwords() != before)
            showSymbols();
        else if (!marks_.empty())
            symbolsTimer_.start();
    }
}

int DiaryWindow::signDreams(const dictionary::SymbolMark &m) const
{
    return signs_.value(dictionary::foldWord(host_->diaryWords().word(m.item)));
}

QString DiaryWindow::markTip(const dictionary::SymbolMark &m) const
{
    const QString read =
        QStringLiteral("Щёлкните, чтобы прочитать толкование «%1»").arg(host_->diaryWords().word(m.item));
    const int dreams = signDreams(m);
    return dreams > 0 ? signText(dreams) + QLatin1Char('\n') + read : read;
}

void DiaryWindow::showSymbols()
{
    if (linesGeneration_ != host_->diaryWordsGeneration()) {
        lines_.clear(); // other books, other lines
        linesGeneration_ = host_->diaryWordsGeneration();
    }
    symbolsTimer_.stop();
    std::optional<std::vector<TolkBook>> books;
    const int row = symbolList_->currentRow();
    symbolList_->clear();
    const QString dreamText = textBox_->toPlainText();
    const dictionary::DreamText dream(QStringView(dreamText).left(kDreamReadLimit));
    const dictionary::WordIndex &words = host_->diaryWords();
    for (const QString &headword : entry_.symbolHeadwords()) {
        auto cached = lines_.find(headword);
        if (cached == lines_.end()) {
            if (!books)
                books = host_->diaryBooks();
            EntryLinesOfBooks lines;
            tryStep([&] { lines = entryLinesOf(headword, *books); }); // a damaged entry shows no line
            cached = lines_.insert(headword, lines);
        }
        // the symbol where the dream first names it (one added by hand: nowhere)
        qsizetype start = dreamText.size(), length = 0;
        for (const dictionary::SymbolMark &m : marks_)
            if (m.item >= 0 && m.item < words.size() && words.word(m.item) == headword) {
                start = m.start;
                length = m.length;
                break;
            }
        QString text = headword;
        for (const QString &line : bestLines(dream, start, length, headword, *cached))
            text += QStringLiteral("\n    ") + line;
        auto *item = new QListWidgetItem(text, symbolList_);
        item->setData(Qt::UserRole, headword);
        item->setToolTip(QStringLiteral("Дважды щёлкните, чтобы прочитать толкование «%1»").arg(headword));
    }
    if (row >= 0 && row < symbolList_->count())
        symbolList_->setCurrentRow(row);
}

void DiaryWindow::addSymbol()
{
    const QString typed = symbolToAdd_->text().trimmed();
    if (typed.isEmpty())
        return;
    const dictionary::WordIndex &words = host_->diaryWords();
    const int item = words.findPrefix(typed);
    if (item < 0 || dictionary::foldWord(words.word(item)) != dictionary::foldWord(typed)) {
        statusLine_->setText(QStringLiteral("В сонниках нет слова «%1».").arg(typed.toHtmlEscaped()));
        return;
    }
    entry_.symbols = addSymbolByHand(entry_.symbols, words.word(item));
    symbolToAdd_->clear();
    showSymbols();
    editor_.changed();
    saveNow();
}

void DiaryWindow::removeSymbol()
{
    const QListWidgetItem *item = symbolList_->currentItem();
    if (!item)
        return;
    entry_.symbols = removeSymbolByHand(entry_.symbols, item->data(Qt::UserRole).toString());
    showSymbols();
    editor_.changed();
    saveNow();
}

void DiaryWindow::textClicked(qsizetype position)
{
    const int m = markAt(marks_, position);
    if (m >= 0)
        host_->openInterpretation(host_->diaryWords().word(marks_[size_t(m)].item));
}

// ---------------------------------------------------------------- the moment

void DiaryWindow::choosePlaceFromDirectory()
{
    auto *d = new location::SpravCity({}, this, host_->diaryCityFile());
    d->setAttribute(Qt::WA_DeleteOnClose);
    if (entry_.place && !entry_.place->name.isEmpty())
        d->Text1->setText(entry_.place->name); // the list opens on the dream's place
    connect(d, &QDialog::accepted, this, [this, d] {
        const std::optional<location::ChosenCity> city = d->chosen();
        if (!city)
            return;
        // Once the directory has closed: the lunar day's search lets events
        // through, among them the directory's own deletion, which must not
        // come while it is still finishing.
        QTimer::singleShot(0, this, [this, place = Place{city->name, city->latitude, city->longitude}] {
            entry_.place = place;
            momentOrPlaceChanged();
        });
    });
    d->open();
}

void DiaryWindow::momentOrPlaceChanged()
{
    if (loading_)
        return;
    QDateTime at = momentBox_->dateTime();
    at.setOffsetFromUtc(entry_.at.offsetFromUtc());
    entry_.at = at;
    entry_.night = nightOf(at);
    showNight();
    changed();
    requestLunarDay();
}

void DiaryWindow::requestLunarDay()
{
    // The lunar day on a worker: the window answers keys meanwhile, and only
    // the answer for the latest moment and place is taken.
    const QDateTime at = entry_.at;
    const int generation = ++lunarRequest_;
    const std::optional<Place> place = entry_.place;
    runOnWorker(
        this, [at, place] { return computeSnapshot(at, place); },
        [this, generation, at, place](LunarSnapshot l) {
            if (generation != lunarRequest_ || entry_.at != at || entry_.place != place)
                return;
            entry_.lunar = std::move(l);
            lunarAnswered_ = generation;
            showLunar();
        });
}

void DiaryWindow::waitForLunarDay()
{
    settleWorkers();
}

void DiaryWindow::showNight()
{
    nightLabel_->setText(
        nightCaption(entry_.night)
        + (entry_.at.time().hour() < 12 ? QStringLiteral(" (сон до полудня — ночь накануне)") : QString()));
}

void DiaryWindow::showLunar()
{
    const LunarSnapshot &l = entry_.lunar;
    if (l.found) {
        // drawn once a picture and hemisphere: opening a dream stays quick;
        // south of the equator the Moon is seen mirrored
        static QHash<int, QPixmap> pictures;
        const int n = std::clamp(l.phasePicture, 1, calendar::kPhasePictureCount);
        const double latitude = entry_.place ? entry_.place->latitude : host_->diaryPlace().latitude;
        const int key = latitude < 0 ? -n : n;
        auto it = pictures.find(key);
        if (it == pictures.end())
            it = pictures.insert(key, QPixmap::fromImage(calendar::seenFrom(
                                          calendar::keyedPhaseImage(calendar::drawMoonPhase(n, 128), 64), latitude)));
        phasePicture_->setPixmap(*it);
        lunarDayLabel_->setText(QStringLiteral("%1-й лунный день\n%2 – %3")
                                    .arg(l.lunarDay)
                                    .arg(russianMoment(l.start), russianMoment(l.end)));
    } else {
        phasePicture_->clear();
        lunarDayLabel_->setText(lunarAnswered_ != lunarRequest_ ? QStringLiteral("Лунный день рассчитывается…")
                                                                : QStringLiteral("Лунный день не рассчитан"));
    }
    QStringList texts;
    if (!l.lunarDayText.isEmpty())
        texts << QStringLiteral("По лунному дню: ") + l.lunarDayText;
    if (!l.weekdayText.isEmpty())
        texts << QStringLiteral("По дню недели: ") + l.weekdayText;
    if (!l.monthDayText.isEmpty())
        texts << QStringLiteral("По числу месяца: ") + l.monthDayText;
    lunarTexts_->setText(texts.join(QStringLiteral("\n\n")));
    placeLabel_->setText(placeText(entry_.place));
}

void DiaryWindow::showMark()
{
    const Mark mark = kMarkChoices[std::max(0, markBox_->currentIndex())];
    const QDate on = datedFulfilment({mark, entry_.fulfilment.markedOn, {}}, Clock::current().today()).markedOn;
    markedOn_->setText(mark == Mark::None ? QString() : QStringLiteral("Отмечено ") + russianDate(on, "d MMMM yyyy"));
}

void DiaryWindow::markChanged()
{
    showMark();
    if (loading_)
        return;
    editor_.changed();
    saveNow();
}

// ---------------------------------------------------------------- events

void DiaryWindow::closeEvent(QCloseEvent *e)
{
    saveNow();
    storeGeometry();
    emit unloaded();
    e->accept();
}

bool DiaryWindow::eventFilter(QObject *watched, QEvent *e)
{
    // Leaving the text (another window, another control) writes what was typed.
    if (e->type() == QEvent::FocusOut && (watched == textBox_ || watched == titleBox_) && editor_.dirty())
        saveNow();
    const bool inText = textBox_ && watched == textBox_->viewport();
    if (inText && e->type() == QEvent::MouseButtonRelease) {
        auto *m = static_cast<QMouseEvent *>(e);
        if (m->button() == Qt::LeftButton && !textBox_->textCursor().hasSelection())
            textClicked(textBox_->cursorForPosition(m->position().toPoint()).position());
    } else if (inText && e->type() == QEvent::MouseMove) {
        auto *m = static_cast<QMouseEvent *>(e);
        const int hit = markAt(marks_, textBox_->cursorForPosition(m->position().toPoint()).position());
        textBox_->viewport()->setCursor(hit >= 0 ? Qt::PointingHandCursor : Qt::IBeamCursor);
        textBox_->viewport()->setToolTip(hit >= 0 ? markTip(marks_[size_t(hit)]) : QString());
    } else if (watched == list_ && e->type() == QEvent::KeyPress
               && static_cast<QKeyEvent *>(e)->key() == Qt::Key_Delete) {
        moveShownToTrash();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

} // namespace somnex::diary
