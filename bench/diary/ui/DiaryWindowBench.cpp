// The diary window on a diary of 10 000 synthetic dreams, with the bundled
// books' headwords: opening it until its list shows, opening one dream, a
// search, and one keystroke in a 5 000-character dream (symbols found again
// and marked).
#include "diary/DiaryStore.h"
#include "diary/Synthetic.h"
#include "diary/ui/DiaryWindow.h"
#include "diary/ui/EntryListModel.h"
#include "dictionary/BookDatabase.h"

#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextCursor>

#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>

using namespace somnex;
using namespace somnex::diary;

namespace {

constexpr int kEntries = 10000;

class BundledHost : public DiaryHost {
public:
    BundledHost() : words_(dictionary::WordIndex::ofBooksIn(QStringLiteral(SOMNEX_BUNDLED_BOOKS)))
    {
        if (words_.empty())
            throw std::runtime_error("no bundled books in " SOMNEX_BUNDLED_BOOKS);
    }
    const dictionary::WordIndex &diaryWords() override { return words_; }
    int diaryWordsGeneration() override { return 1; }
    std::vector<TolkBook> diaryBooks() override { return {}; }
    void openInterpretation(const QString &) override {}
    void interpretDream(const QString &) override {}
    Place diaryPlace() override { return {QStringLiteral("Москва"), 55.75, 37.5833}; }

private:
    dictionary::WordIndex words_;
};

struct Shelf {
    QTemporaryDir dir;
    QString path;
    QStringList ids;
    BundledHost host;
    Shelf()
    {
        path = dir.path() + QStringLiteral("/Diary/diary.sqlite");
        DiaryStore store(path);
        ids = store.addAll(syntheticEntries(kEntries, 7));
    }
};

Shelf &shelf()
{
    static Shelf s;
    return s;
}

void closeWindow()
{
    if (DiaryWindow *w = DiaryWindow::instance()) {
        w->close();
        delete w;
    }
}

void BM_OpenWithItsList(benchmark::State &state)
{
    Shelf &s = shelf();
    for (auto _ : state) {
        DiaryWindow *w = DiaryWindow::open(&s.host, nullptr, s.path);
        benchmark::DoNotOptimize(w->listModel()->rowCount());
        state.PauseTiming();
        closeWindow();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenWithItsList)->Unit(benchmark::kMillisecond);

void BM_OpenOneDream(benchmark::State &state)
{
    Shelf &s = shelf();
    DiaryWindow *w = DiaryWindow::open(&s.host, nullptr, s.path);
    int k = 0;
    for (auto _ : state) {
        w->showEntry(s.ids[(k++ * 7919) % s.ids.size()]);
        benchmark::DoNotOptimize(w->shownId());
    }
    closeWindow();
}
BENCHMARK(BM_OpenOneDream)->Unit(benchmark::kMillisecond);

void BM_SearchByWordForm(benchmark::State &state)
{
    Shelf &s = shelf();
    DiaryWindow *w = DiaryWindow::open(&s.host, nullptr, s.path);
    auto *box = w->findChild<QLineEdit *>(QStringLiteral("searchBox"));
    int k = 0;
    for (auto _ : state) {
        box->setText((k++ % 2) ? QStringLiteral("собаку") : QStringLiteral("в лесу"));
        benchmark::DoNotOptimize(w->listModel()->rowCount());
    }
    closeWindow();
}
BENCHMARK(BM_SearchByWordForm)->Unit(benchmark::kMillisecond);

void BM_KeystrokeInALongDream(benchmark::State &state)
{
    Shelf &s = shelf();
    DiaryWindow *w = DiaryWindow::open(&s.host, nullptr, s.path);
    auto *text = w->findChild<QPlainTextEdit *>(QStringLiteral("textBox"));
    QString dream;
    while (dream.size() < 5000)
        dream += QStringLiteral("Мне снилось, что я шла по лесу к реке, а за мной бежала собака. "
                                "Потом у меня выпали зубы, и я увидела в зеркале свою мать. ");
    text->setPlainText(dream.left(5000));
    QTextCursor cursor(text->document());
    cursor.setPosition(2500);
    for (auto _ : state) {
        cursor.insertText(QStringLiteral("к"));
        benchmark::DoNotOptimize(w->marks().size());
    }
    w->saveNow();
    closeWindow();
}
BENCHMARK(BM_KeystrokeInALongDream)->Unit(benchmark::kMillisecond);

} // namespace
