#include "diary/TextWords.h"

#include "diary/DiaryStore.h"
#include "dictionary/WordFinder.h"
#include "dictionary/WordIndex.h"

namespace somnex::diary {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber();
}

} // namespace

QList<WordSpan> wordSpans(QStringView folded)
{
    QList<WordSpan> spans;
    qsizetype start = -1;
    for (qsizetype i = 0; i < folded.size(); ++i) {
        const QChar c = folded[i];
        if (isWordChar(c)) {
            if (start < 0)
                start = i;
        } else if ((c == u'-' || c == u'\'') && start >= 0 && i + 1 < folded.size() && isWordChar(folded[i + 1])) {
            continue;
        } else if (start >= 0) {
            spans.append({start, i - start});
            start = -1;
        }
    }
    if (start >= 0)
        spans.append({start, folded.size() - start});
    return spans;
}

QSet<QString> stemsOf(QStringView text, dictionary::Stemmer &stemmer)
{
    const QString folded = dictionary::foldWord(text);
    // Stem each distinct word once: a long text repeats most of its words.
    QSet<QStringView> words;
    for (const WordSpan &w : wordSpans(folded))
        words.insert(QStringView(folded).mid(w.start, w.length));
    QSet<QString> stems;
    stems.reserve(words.size());
    for (QStringView w : words)
        stems.insert(stemmer.stem(w));
    return stems;
}

QStringList queryStems(QStringView query, dictionary::Stemmer &stemmer)
{
    QStringList stems;
    for (const QString &w : dictionary::foldedWords(query)) {
        const QString s = stemmer.stem(w);
        if (!stems.contains(s))
            stems << s;
    }
    return stems;
}

QList<TextRange> queryRanges(QStringView text, const QString &query)
{
    dictionary::Stemmer stemmer;
    const QStringList wanted = queryStems(query, stemmer);
    QList<TextRange> ranges;
    if (wanted.isEmpty())
        return ranges;
    const QString folded = dictionary::foldWord(text);
    for (const WordSpan &w : wordSpans(folded))
        if (wanted.contains(stemmer.stem(QStringView(folded).mid(w.start, w.length))))
            ranges.append({w.start, w.length});
    return ranges;
}

} // namespace somnex::diary
