#include "reading/DreamReading.h"

#include "dictionary/SymbolForms.h"
#include "dictionary/WordFinder.h"

#include <QSet>

#include <exception>

namespace somnex {

QStringList EntryLines(const QString &entryText)
{
    QStringList out;
    for (QStringView raw : QStringView(entryText).split(u'\n')) {
        QString line;
        line.reserve(raw.size());
        for (qsizetype i = 0; i < raw.size(); ++i) {
            const QChar c = raw[i];
            // the document's markers: links <…>, headings &…§, "F^" of the see-also line
            if (c == u'<' || c == u'>' || c == u'§' || c == u'^' || c == u'\r')
                continue;
            if (c == u'&' && line.trimmed().isEmpty())
                continue;
            if (c == u'F' && i + 1 < raw.size() && raw[i + 1] == u'^')
                continue;
            line += c;
        }
        line = line.trimmed();
        if (!line.isEmpty())
            out << line;
    }
    return out;
}

namespace {

// The symbols of a text, and after a phrase the symbols its own nouns are:
// "обручальное кольцо" is Кольцо too, for the books that have no phrase;
// a word that describes ("золотая рыбка") is none of the thing's.
std::vector<dictionary::SymbolMark> symbolsOf(const QString &text, const dictionary::SymbolFinder &finder)
{
    std::vector<dictionary::SymbolMark> out;
    for (const dictionary::SymbolMark &m : finder.find(text)) {
        out.push_back(m);
        const QStringView phrase = QStringView(text).mid(m.start, m.length);
        qsizetype from = 0;
        for (qsizetype i = 0; i <= phrase.size(); ++i) {
            if (i < phrase.size() && !phrase[i].isSpace())
                continue;
            const QStringView word = phrase.mid(from, i - from);
            if (i > from && (from > 0 || i < phrase.size()) && !dictionary::isAdjectival(dictionary::foldWord(word)))
                for (dictionary::SymbolMark inner : finder.find(word)) {
                    inner.start += m.start + from;
                    out.push_back(std::move(inner));
                }
            from = i + 1;
        }
    }
    return out;
}

} // namespace

DreamReading ReadDream(const QString &text, const dictionary::SymbolFinder &finder, const dictionary::WordIndex &words,
                       const std::vector<ReadingBook> &books)
{
    DreamReading out;
    out.cut = text.size() > kDreamReadLimit;
    out.text = out.cut ? text.left(kDreamReadLimit) : text;
    // a surrogate pair is not cut in two
    if (out.cut && !out.text.isEmpty() && out.text.back().isHighSurrogate())
        out.text.chop(1);
    const dictionary::DreamText dream(out.text);
    QSet<QString> seen;
    for (const dictionary::SymbolMark &m : symbolsOf(out.text, finder)) {
        if (m.item < 0 || m.item >= words.size())
            continue;
        const QString &headword = words.word(m.item);
        if (seen.contains(headword))
            continue;
        seen.insert(headword);
        SymbolReading s;
        s.headword = headword;
        s.start = m.start;
        s.length = m.length;
        for (const ReadingBook &b : books) {
            std::optional<std::pair<QString, std::optional<QString>>> entry;
            try {
                entry = b.book.lookup(headword);
            } catch (...) {
                // a damaged entry leaves the book out; the reading says which
                s.unreadable << b.book.tag;
                continue;
            }
            if (!entry)
                continue;
            s.books.push_back({b.book.tag, b.book.description, b.file,
                               dream.rank(m.start, m.length, headword, EntryLines(entry->first))});
        }
        if (!s.books.empty() || !s.unreadable.isEmpty())
            out.symbols.push_back(std::move(s));
    }
    return out;
}

bool LooksLikeDream(const QString &text, const dictionary::WordIndex &words)
{
    const QStringList folded = dictionary::foldedWords(text);
    if (folded.size() < 2)
        return false;
    const QString joined = folded.join(u' ');
    const int at = words.findPrefix(joined);
    return at < 0 || dictionary::foldWord(words.word(at)) != joined;
}

} // namespace somnex
