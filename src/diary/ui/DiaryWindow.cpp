#include "diary/ui/DiaryWindow.h"
#include "diary/ui/DiaryUnlock.h"
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

namespace {

DiaryWindow *g_instance = nullptr;

} // namespace

namespace diary_window {

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

} // namespace diary_window

using namespace diary_window;

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
    if (usable && !store_->readOnlyReason().isEmpty())
        showReadOnly(store_->readOnlyReason());
    if (usable) {
        reloadList();
        newEntry();
        startSpeller(path);
    }
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
    // a private diary opens with its password, or not at all
    if (store_->isLocked() && !unlockDiary(*store_, this)) {
        store_.reset();
        return false;
    }
    editor_.setStore(store_.get());
    armLocking();
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
