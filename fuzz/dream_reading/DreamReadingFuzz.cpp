// Feeds arbitrary UTF-16 text to the line ranker and the dream document:
// the first half is the dream, the second an entry's lines (split at line
// feeds). Every non-empty line must come back once, best first, with a score
// in 0..1 and its matched words lying in it; the document must keep one
// format a character and links inside its text.
#include "dictionary/LineRanker.h"
#include "reading/DreamDocument.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace somnex;
using namespace somnex::dictionary;

namespace {

// Every non-empty line once, best first, its score in 0..1 and its matched
// words lying in it.
void checkRanked(const QStringList &lines, const std::vector<RankedLine> &ranked)
{
    qsizetype nonEmpty = 0;
    for (const QString &l : lines)
        nonEmpty += !l.trimmed().isEmpty();
    if (qsizetype(ranked.size()) != nonEmpty)
        std::abort();
    std::vector<bool> seen(size_t(lines.size()), false);
    for (size_t i = 0; i < ranked.size(); ++i) {
        const RankedLine &r = ranked[i];
        if (r.score < 0 || r.score > 1 || (i > 0 && r.score > ranked[i - 1].score))
            std::abort();
        if (r.index < 0 || r.index >= lines.size() || seen[size_t(r.index)] || lines[r.index] != r.text)
            std::abort();
        seen[size_t(r.index)] = true;
        if (r.matched.size() != qsizetype(r.spans.size()))
            std::abort();
        for (qsizetype k = 0; k < r.matched.size(); ++k) {
            const auto [at, n] = r.spans[size_t(k)];
            if (at < 0 || n <= 0 || at + n > r.text.size() || r.text.mid(at, n) != r.matched[k])
                std::abort();
        }
    }
}

// One format a character, and every link between its markers inside the text.
void checkDocument(const DreamDocument &doc)
{
    if (doc.formats.size() != size_t(doc.text.size()))
        std::abort();
    for (const DreamLink &l : doc.links)
        if (l.open < 0 || l.close <= l.open || l.close >= doc.text.size() || doc.text[l.open] != u'<'
            || doc.text[l.close] != u'>' || doc.linkAt(l.open + 1) != &l)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const qsizetype units = qsizetype((size - 4) / 2);
    QString all(units, Qt::Uninitialized);
    std::memcpy(all.data(), data + 4, size_t(units) * 2);
    const QString dream = all.left(units / 2);
    const QStringList lines = all.mid(units / 2).split(u'\n');
    const qsizetype start = dream.isEmpty() ? 0 : qsizetype((data[0] | data[1] << 8) % dream.size());
    const qsizetype length = qsizetype(data[2] % 16);
    const QString headword = dream.mid(start, length);

    const std::vector<RankedLine> ranked = DreamText(dream).rank(start, length, headword, lines);
    checkRanked(lines, ranked);

    DreamReading reading;
    reading.text = dream;
    SymbolReading symbol;
    symbol.headword = headword.isEmpty() ? QStringLiteral("?") : headword;
    symbol.start = start;
    symbol.length = length;
    symbol.books.push_back({QStringLiteral("Сонник"), QStringLiteral("139"), QStringLiteral("a.book"), ranked});
    reading.symbols.push_back(symbol);
    checkDocument(BuildDreamDocument(reading, {{0, 0}}));
    return 0;
}
