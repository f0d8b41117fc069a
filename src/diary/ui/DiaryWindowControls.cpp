// The diary window's controls: how they are built, laid out and kept.
#include "diary/ui/DiaryPrivacy.h"
#include "diary/ui/DiaryWindow.h"
#include "diary/ui/DiaryWindowParts.h"

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

using namespace diary_window;

void DiaryWindow::buildToolbar()
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
    QAction *printIt = toolbar_->addAction(QStringLiteral("Пе&чать…"));
    printIt->setObjectName(QStringLiteral("print"));
    printIt->setShortcut(QKeySequence::Print);
    printIt->setToolTip(QStringLiteral("Напечатать сон или сны периода, или сохранить их в PDF (Ctrl+P)"));
    connect(printIt, &QAction::triggered, this, &DiaryWindow::print);
    QAction *importIt = toolbar_->addAction(QStringLiteral("&Импорт…"));
    importIt->setObjectName(QStringLiteral("import"));
    importIt->setToolTip(QStringLiteral("Добавить сны из файла этой программы или другого дневника снов"));
    connect(importIt, &QAction::triggered, this, &DiaryWindow::chooseImport);
    QAction *restoreIt = toolbar_->addAction(QStringLiteral("Восстановить из &копии…"));
    restoreIt->setObjectName(QStringLiteral("restoreBackup"));
    restoreIt->setToolTip(QStringLiteral("Добавить в дневник сны из ежедневной копии; дневник не заменяется"));
    connect(restoreIt, &QAction::triggered, this, &DiaryWindow::chooseRestore);
    QAction *privacy = toolbar_->addAction(QStringLiteral("&Пароль…"));
    privacy->setObjectName(QStringLiteral("privacy"));
    privacy->setToolTip(QStringLiteral("Закрыть дневник паролем, сменить или снять пароль"));
    connect(privacy, &QAction::triggered, this, &DiaryWindow::editPrivacy);
}

void DiaryWindow::buildControls()
{
    buildToolbar();
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
    list_->setAlternatingRowColors(true);                        // a dream's three lines read as one row
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

void DiaryWindow::showReadOnly(const QString &why)
{
    // read, searched, exported and printed; nothing typed that cannot be kept
    textBox_->setReadOnly(true);
    titleBox_->setReadOnly(true);
    for (const char *name : {"newEntry", "toTrash", "import", "restoreBackup", "privacy"})
        if (QAction *a = toolbar_->findChild<QAction *>(QString::fromLatin1(name)))
            a->setEnabled(false);
    statusLine_->setText(QStringLiteral("Дневник открыт только для чтения.").toHtmlEscaped());
    ShowMessage(QStringLiteral("Дневник открыт только для чтения: %1.\nСны можно читать, искать, выгружать и "
                               "печатать; изменить их нельзя.")
                    .arg(why),
                kTitle, MsgIcon::Information);
}

void DiaryWindow::setEditable(bool on)
{
    splitter_->setEnabled(on);
    for (QAction *a : toolbar_->actions())
        a->setEnabled(on);
    if (!on)
        statusLine_->setText(QStringLiteral("Дневник недоступен."));
}

} // namespace somnex::diary
