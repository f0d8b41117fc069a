#pragma once
// The dream symbols of a running text: every word or phrase of the text that
// is a headword of the books in one of its own forms ("тараканов" for
// "Таракан", "в лесу" for "Лес", "обручальное кольцо" for the phrase).
//
// Unlike the word finder's suggestions, which offer what a person may have
// meant under a search box, symbols are marked in a whole text, so only
// sure forms count: the headword itself or the same stems word by word. No
// near spellings, and no function words (pronouns, auxiliaries,
// prepositions) ever become a symbol. Where phrases overlap, the longest one
// found first wins.

#include "dictionary/WordIndex.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <unordered_map>
#include <vector>

namespace somnex {

// One place in a text where a headword was found.
struct SymbolMark {
    qsizetype start = 0;  // position in the text, in UTF-16 code units
    qsizetype length = 0; // from the first letter of the first word to the last of the last
    int item = -1;        // index in the word index the finder was built from

    friend bool operator==(const SymbolMark &, const SymbolMark &) = default;
};

class SymbolFinder {
public:
    SymbolFinder();
    ~SymbolFinder();
    SymbolFinder(SymbolFinder &&) noexcept;
    SymbolFinder &operator=(SymbolFinder &&) noexcept;

    // Indexes every headword of the list (keeps no reference to it).
    void build(const WordIndex &words);
    bool empty() const { return phrases_.empty(); }

    // The symbols of a text in text order, none overlapping.
    std::vector<SymbolMark> find(QStringView text) const;

private:
    std::unordered_map<QString, std::vector<int>> phrases_; // stems of a headword's words, space-joined -> items
    int longestPhrase_ = 0;                                 // in words
};

} // namespace somnex
