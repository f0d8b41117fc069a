// The diary window's symbols: found as the dream is typed, marked in the
// text with the dream signs and the spelling, listed with the books' lines.
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

} // namespace somnex::diary
