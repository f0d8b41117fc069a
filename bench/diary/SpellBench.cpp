// Spelling of a dream in the diary's editor: a 5 000-character dream
// checked whole (as it is opened) and one paragraph checked again after a
// keystroke, with the real Russian dictionary.

#include "diary/Speller.h"
#include "diary/ui/SpellHighlighter.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

using somnex::diary::SpellHighlighter;
using somnex::diary::Speller;

QString dream()
{
    const QString paragraph = QStringLiteral(
        "Мне снилось, что я иду по старому лесу к реке, а за мной бежит большая сабака. У воды стоял дом с "
        "разбитыми окнами, и в нём горел свет. Я вошла внутрь и увидела маму, которая пекла хлеб и пела "
        "песню, которую я слышала в детстве. Потом всё изменилось: пошёл снег, и ёлка во дворе засветилась. ");
    QString text;
    while (text.size() < 5000)
        text += paragraph + (text.size() % 3 == 0 ? QStringLiteral("\n") : QString());
    return text.left(5000);
}

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<Speller> speller = Speller::load(dir.path() + "/words.txt");
};

void BM_SpellWholeDream(benchmark::State &state)
{
    Fixture f;
    if (!f.speller) {
        state.SkipWithError("no Russian dictionary (hunspell-ru)");
        return;
    }
    const QString text = dream();
    for (auto _ : state) {
        QTextDocument doc(text);
        SpellHighlighter h(&doc);
        h.setSpeller(f.speller.get()); // checks every paragraph
        benchmark::DoNotOptimize(doc.blockCount());
    }
}
BENCHMARK(BM_SpellWholeDream)->Unit(benchmark::kMillisecond);

void BM_SpellAfterAKeystroke(benchmark::State &state)
{
    Fixture f;
    if (!f.speller) {
        state.SkipWithError("no Russian dictionary (hunspell-ru)");
        return;
    }
    QTextDocument doc(dream());
    SpellHighlighter h(&doc);
    h.setSpeller(f.speller.get());
    QTextCursor c(doc.firstBlock()); // the longest paragraph
    c.movePosition(QTextCursor::EndOfBlock);
    for (auto _ : state) {
        c.insertText(QStringLiteral("к")); // the highlighter checks this paragraph again
        c.deletePreviousChar();
    }
}
BENCHMARK(BM_SpellAfterAKeystroke)->Unit(benchmark::kMicrosecond);

} // namespace
