#include "diary/Symbols.h"

#include "dictionary/WordIndex.h"

#include <QSet>

namespace somnex::diary {

namespace {

QString key(const QString &headword)
{
    return dictionary::foldWord(headword.trimmed());
}

qsizetype indexOf(const QList<Symbol> &symbols, const QString &k)
{
    for (qsizetype i = 0; i < symbols.size(); ++i)
        if (key(symbols[i].headword) == k)
            return i;
    return -1;
}

} // namespace

QList<Symbol> mergeSymbols(const QList<Symbol> &stored, const QStringList &found)
{
    QSet<QString> removed;
    for (const Symbol &s : stored)
        if (s.origin == Symbol::Origin::RemovedByHand)
            removed.insert(key(s.headword));

    QList<Symbol> out;
    QSet<QString> seen;
    for (const QString &h : found) {
        const QString k = key(h);
        if (k.isEmpty() || seen.contains(k) || removed.contains(k))
            continue;
        seen.insert(k);
        out.append({h.trimmed(), Symbol::Origin::Found});
    }
    // The hand edits after the symbols found, each once; one added by hand
    // that is found now too stays the user's.
    QSet<QString> hand;
    for (const Symbol &s : stored) {
        const QString k = key(s.headword);
        if (s.origin == Symbol::Origin::Found || k.isEmpty() || hand.contains(k))
            continue;
        hand.insert(k);
        if (const qsizetype i = indexOf(out, k); i >= 0)
            out.removeAt(i);
        out.append(s);
    }
    return out;
}

QList<Symbol> addSymbolByHand(QList<Symbol> symbols, const QString &headword)
{
    const QString k = key(headword);
    if (k.isEmpty())
        return symbols;
    const qsizetype i = indexOf(symbols, k);
    if (i >= 0) {
        // A found one is shown already; a removed one comes back as the user's.
        if (symbols[i].origin == Symbol::Origin::RemovedByHand)
            symbols[i] = {headword.trimmed(), Symbol::Origin::AddedByHand};
        return symbols;
    }
    symbols.append({headword.trimmed(), Symbol::Origin::AddedByHand});
    return symbols;
}

QList<Symbol> removeSymbolByHand(QList<Symbol> symbols, const QString &headword)
{
    const qsizetype i = indexOf(symbols, key(headword));
    if (i < 0)
        return symbols;
    if (symbols[i].origin == Symbol::Origin::AddedByHand)
        symbols.removeAt(i);
    else
        symbols[i].origin = Symbol::Origin::RemovedByHand;
    return symbols;
}

} // namespace somnex::diary
