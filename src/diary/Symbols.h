#pragma once
// The dream's symbols when its text is searched again: what the finder found
// now, with the user's hand edits kept.

#include "diary/Entry.h"

#include <QStringList>
#include <QStringView>

#include <functional>

namespace somnex::diary {

// Finds the headwords of the dream books in a text, in text order, each once.
// The program and somnex-cli build one over somnex::dictionary::SymbolFinder and the
// merged word index of the enabled books.
using SymbolSource = std::function<QStringList(QStringView text)>;

// The symbols of a dream after its text was searched again:
//  - each headword found, in the order found, as Found, unless the user
//    removed it by hand (then it stays RemovedByHand, not shown);
//  - every headword the user added by hand, after them, as AddedByHand
//    (once, even when it is also found now);
//  - every RemovedByHand mark of the stored list is kept, found now or not.
// Headwords compare ignoring letter case and ё/е. Found symbols of the stored
// list that are not found any more go away.
QList<Symbol> mergeSymbols(const QList<Symbol> &stored, const QStringList &found);

// The user's edits: adding a headword (by hand; clears a RemovedByHand mark
// of it) and removing one (a found one becomes RemovedByHand, one added by
// hand goes away).
QList<Symbol> addSymbolByHand(QList<Symbol> symbols, const QString &headword);
QList<Symbol> removeSymbolByHand(QList<Symbol> symbols, const QString &headword);

} // namespace somnex::diary
