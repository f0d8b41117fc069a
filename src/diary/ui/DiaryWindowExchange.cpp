// The diary window's exchange: export, import, restoring a copy, and the
// statistics over the diary.
#include "diary/ui/DiaryPrivacy.h"
#include "diary/ui/DiaryUnlock.h"
#include "diary/ui/DiaryWindow.h"
#include "diary/ui/DiaryWindowParts.h"
#include "platform/ui/ScreenLock.h"

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
#include <QClipboard>
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
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStringListModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace somnex::diary {

using namespace diary_window;

void DiaryWindow::editPrivacy()
{
    if (!store_)
        return;
    saveNow();
    editDiaryPrivacy(*store_, this);
    armLocking();
}

namespace {

// Input anywhere in the program, seen on its way: what keeps a private diary
// open while the user works in it.
class InputSeen : public QObject {
public:
    InputSeen(QObject *parent, std::function<void(QObject *)> seen) : QObject(parent), seen_(std::move(seen))
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress || e->type() == QEvent::MouseButtonPress || e->type() == QEvent::Wheel)
            seen_(watched);
        return false;
    }

private:
    std::function<void(QObject *)> seen_;
};

} // namespace

void DiaryWindow::armLocking()
{
    if (!store_ || !store_->isPrivate()) {
        idleLock_.stop();
        return;
    }
    if (!screenLock_) {
        auto *watcher = new ScreenLockWatcher(this);
        connect(watcher, &ScreenLockWatcher::locking, this, &DiaryWindow::lockPrivate);
        screenLock_ = watcher;
        idleLock_.setSingleShot(true);
        connect(&idleLock_, &QTimer::timeout, this, &DiaryWindow::lockPrivate);
        new InputSeen(watcher, [this](QObject *watched) {
            auto *w = qobject_cast<QWidget *>(watched);
            if (idleLock_.isActive() && w && (w->window() == this || w->window() == StatsWindow::instance()))
                idleLock_.start();
        });
        // Text copied out of a private dream is marked for clipboard
        // managers, which then keep no history of it.
        connect(QApplication::clipboard(), &QClipboard::dataChanged, watcher, [this] { markCopiedDreamText(); });
    }
    bool ok = false;
    const int minutes =
        GetSetting(settings::kApp, settings::kMain, QString::fromLatin1(settings::key::DiaryLock), QStringLiteral("10"))
            .toInt(&ok);
    if (ok && minutes == 0) {
        idleLock_.stop();
        return;
    }
    idleLock_.start(std::chrono::minutes(ok && minutes > 0 ? std::min(minutes, 1440) : 10));
}

void DiaryWindow::markCopiedDreamText()
{
    static const QString kHint = QStringLiteral("x-kde-passwordManagerHint");
    QClipboard *clipboard = QApplication::clipboard();
    const QMimeData *held = clipboard->mimeData();
    if (!store_ || !store_->isPrivate() || !held || held->hasFormat(kHint) || !held->hasText())
        return;
    const QString copied = held->text();
    if (copied.trimmed().isEmpty() || !(textBox_->toPlainText().contains(copied) || titleBox_->text().contains(copied)))
        return;
    auto *marked = new QMimeData;
    marked->setText(copied);
    if (held->hasHtml())
        marked->setHtml(held->html());
    marked->setData(kHint, QByteArrayLiteral("secret"));
    clipboard->setMimeData(marked); // comes back here marked, and stops
}

void DiaryWindow::lockPrivate()
{
    if (!store_ || !store_->isPrivate())
        return;
    saveNow();
    // text of the dream shown left on the clipboard does not outlive the diary
    QClipboard *clipboard = QApplication::clipboard();
    const QString copied = clipboard->text().trimmed();
    if (!copied.isEmpty() && (textBox_->toPlainText().contains(copied) || titleBox_->text().contains(copied)))
        clipboard->clear();
    if (StatsWindow *stats = StatsWindow::instance())
        stats->close();
    close(); // the store goes with the window, and the key with it
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
        // A private diary's dreams leave it sealed, or in plain text only
        // once its password is typed again.
        std::optional<ExportSeal> seal;
        if (store_->isPrivate()) {
            const std::optional<QString> password =
                confirmSecret(*store_, this,
                              format == ExportFormat::Sealed
                                  ? QStringLiteral("Выгрузка будет запечатана паролем дневника. Введите его ещё раз:")
                                  : QStringLiteral(
                                      "Выгрузка будет открытым текстом: сны прочтёт любой, у кого окажется файл. "
                                      "Чтобы всё же выгрузить, введите пароль дневника:"));
            if (!password)
                return false;
            seal = ExportSeal{*password, store_->passwordCost()};
        } else if (format == ExportFormat::Sealed) {
            const std::optional<QString> password = askNewPassword(this);
            if (!password)
                return false;
            seal = ExportSeal{*password, calibratedCost()};
        }
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
        const int written = exportDiary(format, path, chosen, from, to, true, seal ? &*seal : nullptr);
        statusLine_->setText(QStringLiteral("Выгружено снов: %1.").arg(written));
        return true;
    } catch (const Error &e) {
        ShowMessage(e.description(), kTitle, MsgIcon::Error);
        return false;
    }
}

bool DiaryWindow::printTo(QPrinter *printer)
{
    if (!store_)
        return false;
    saveNow();
    QList<Entry> chosen;
    QDate from, to;
    if (periodBox_->isChecked()) {
        from = fromDate_->date();
        to = toDate_->date();
        chosen = entriesForExport(store_->allEntries(), ExportFormat::Html, from, to);
    } else if (const std::optional<Entry> shown = store_->entry(shownId())) {
        chosen << *shown;
    }
    if (chosen.isEmpty())
        return false;
    QTextDocument doc;
    doc.setHtml(QString::fromUtf8(diaryHtml(chosen, from, to)));
    printer->setDocName(windowTitle());
    doc.print(printer);
    return true;
}

void DiaryWindow::print()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Печать: ") + kTitle);
    if (dialog.exec() == QDialog::Accepted && !printTo(&printer))
        ShowMessage(QStringLiteral("Нечего печатать: выберите сон или включите период."), kTitle, MsgIcon::Information);
}

bool DiaryWindow::savePdf(const QString &path)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return printTo(&printer) && QFileInfo(path).size() > 0;
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
        ImportedJournal journal = readSealedOrNot(path);
        placeUnplaced(journal, host_->diaryPlace());
        return mergeAsked(planMerge(*store_, journal), QStringLiteral("Импорт из «%1».").arg(path));
    } catch (const Error &e) {
        if (e.number() != kErrorJournalSealed) // the user gave up on the password: nothing to say
            ShowMessage(e.description(), kTitle, MsgIcon::Error);
        return -1;
    }
}

ImportedJournal DiaryWindow::readSealedOrNot(const QString &path)
{
    SecretQuestion q;
    q.prompt = QStringLiteral("Файл «%1» запечатан паролем. Введите пароль, с которым его выгрузили:")
                   .arg(QFileInfo(path).fileName());
    for (;;) {
        try {
            return readAnyJournal(
                path, [](const QString &p) { return readForeignJournal(p); },
                [&](const QString &) -> std::optional<QString> {
                    const std::optional<SecretAnswer> a = askSecret(this, q);
                    return a ? std::optional<QString>(a->secret) : std::nullopt;
                });
        } catch (const Error &e) {
            if (e.number() != kErrorWrongPassword)
                throw;
            q.error = e.description();
        }
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
    QList<Choice> choices = {
        {u"Дневник снов, JSON (*.json)", ExportFormat::Json, false},
        {u"Заметки Markdown, папка (*.md)", ExportFormat::Markdown, true},
        {u"Таблица CSV (*.csv)", ExportFormat::Csv, false},
        {u"Книга снов, HTML (*.html)", ExportFormat::Html, false},
    };
    // A private diary is offered its sealed form first; the rest is plain text.
    if (store_ && store_->isPrivate())
        choices.prepend({u"Дневник снов, запечатанный паролем (*.sealed)", ExportFormat::Sealed, false});
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
                                     QStringLiteral("Дневники снов (*.json *.sealed *.dre .dreamdir);;Все файлы (*)"));
    importFrom(QFileInfo(path).fileName() == QLatin1String(".dreamdir") ? QFileInfo(path).absolutePath() : path);
}

void DiaryWindow::chooseRestore()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Восстановить из копии"), backupFolder(store_->path()),
                                     QStringLiteral("Копии дневника (diary-*.sqlite)"));
    restoreFrom(path);
}

} // namespace somnex::diary
