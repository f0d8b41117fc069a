#pragma once
// The dream symbols of a running text: every word or phrase of the text that
// is a headword of the books in one of its own forms ("тараканов" for
// "Таракан", "в лесу" for "Лес", "обручальное кольцо" for the phrase).
//
// Unlike the word finder's suggestions, which offer what a person may have
// meant under a search box, symbols are marked in a whole text, so only
// sure forms count: the forms of the headword's own paradigm, word by word
// (SymbolForms.h). No near spellings, no stems shared by chance, and no
// function words (pronouns, auxiliaries, prepositions, particles,
// conjunctions, numerals, adverbs of time) ever become a symbol. A word that
// is both a form of a headword and, more often, a verb ("пила", "мыла",
// "ели", "еду") is a symbol only where the words before it make it a noun
// ("ржавая пила", "без мыла"); one that is more often the noun ("печь",
// "стекло") only loses that where they make it a verb ("стала печь",
// "стекло по стене"). Where phrases overlap, the longest one wins.
//
// Finding is a lookup per word in a table of forms built once, so it keeps
// up with typing on a long report.

#include "dictionary/WordIndex.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace somnex::dictionary {

struct WordForm;

// One place in a text where a headword was found.
struct SymbolMark {
    qsizetype start = 0;    // position in the text, in UTF-16 code units
    qsizetype length = 0;   // from the first letter of the first word to the last of the last
    int item = -1;          // index in the word index the finder was built from: the best headword
    std::vector<int> items; // every headword the words are a form of, item first

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

    // The symbols of a text in text order, none overlapping. A phrase lies
    // within one run of words: no punctuation or line break inside it.
    std::vector<SymbolMark> find(QStringView text) const;

    // The symbols of the part of a text an edit touched: the sentences
    // around [from, to) (positions in the text after the edit), whose bounds
    // go to range. Replacing the marks that start inside that range with
    // these gives the marks find() gives for the whole text.
    struct Range {
        qsizetype start = 0;
        qsizetype end = 0;
    };
    std::vector<SymbolMark> find(QStringView text, qsizetype from, qsizetype to, Range *range = nullptr) const;

    // Whether a folded word can never be a symbol (a pronoun, a form of
    // "быть", a preposition, a particle, a number…).
    static bool isFunctionWord(QStringView foldedWord);
    static bool isFunctionWord(const QString &foldedWord);

private:
    struct Phrase {
        std::vector<int> items;
        QString folded; // the headword's words, folded, space-joined
        int words = 1;
        bool adjectival = false; // one adjective-like word ("Пожарный")
    };
    struct Slot {
        int phrase = 0;
        std::uint8_t position = 0; // word of the phrase
        bool derived = false;
    };
    struct Token;
    struct Match;

    void addForms(int phrase, int position, const std::vector<WordForm> &forms);
    void dropShadowedForms();
    std::vector<Token> tokens(QStringView text) const;
    static void pushParts(QStringView text, const Token &t, std::vector<Token> &out);
    static size_t reciprocalEnd(const std::vector<Token> &words, size_t i);
    bool keeps(const std::vector<Token> &words, size_t i, const Match &m) const;
    SymbolMark markOf(const std::vector<Token> &words, size_t i, const Match &m) const;
    bool matchAt(const std::vector<Token> &words, size_t i, Match &m) const;
    bool slotAt(const Token &t, int phrase, int position) const;
    bool startsSymbol(QStringView word) const;

    std::vector<Phrase> phrases_;
    std::unordered_map<QString, std::vector<Slot>> forms_; // folded word form -> its places in phrases
};

} // namespace somnex::dictionary
