#pragma once
// Finding a headword from what a person types: the word in another form
// ("зубами" for "Зубы", "в лесу" for "Лес") or misspelt ("зеркла" for
// "Зеркало"). Prefix search stays the word list's own; this only adds.
//
// Word forms come from the Snowball Russian stemmer, applied word by word
// after folding (case, ё as е). Near spellings are headwords within a
// Damerau–Levenshtein distance (adjacent transpositions count one) of 1 when
// the shorter of the two words has up to 5 letters and of 2 beyond; they are
// found through a deletion index, never by scanning the list.
//
// A word whose stem differs from a headword's stem by one fleeting vowel is a
// form too: Russian drops or changes a vowel inside some stems ("церкви" and
// "церковь", "денег" and "деньги", "яиц" and "яйцо"), which the stemmer
// leaves apart.

#include "dictionary/WordIndex.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

struct sb_stemmer;

namespace somnex::dictionary {

// One Snowball Russian stemmer. Not shareable between threads: each thread
// makes its own (they are cheap).
class Stemmer {
public:
    Stemmer();
    ~Stemmer();
    Stemmer(const Stemmer &) = delete;
    Stemmer &operator=(const Stemmer &) = delete;
    // The stem of one folded word.
    QString stem(QStringView foldedWord);

private:
    sb_stemmer *stemmer_ = nullptr;
    QByteArray buffer_;
};

// The words of a text, folded: runs of letters and digits (a hyphen or an
// apostrophe between letters stays inside the word).
QStringList foldedWords(QStringView text);

// Short function words a phrase may carry around the thing dreamt of
// ("в лесу", "про кошку").
bool isStopWord(QStringView foldedWord);

// The stems one fleeting letter away from a stem (a vowel or soft sign
// inserted, dropped or changed); none for stems under three letters.
QStringList fleetingVariants(const QString &stem);

// Restricted Damerau–Levenshtein distance; any result above limit is
// reported as limit + 1 (the computation stops early).
int editDistance(QStringView a, QStringView b, int limit);

// Largest distance at which two words count as spellings of each other.
int spellingTolerance(qsizetype shorterLength);

// Whether the text is something a person could have meant as a word: it has
// letters, no control characters, not both Cyrillic and Latin letters, and
// at most longest characters.
bool isSearchableText(QStringView text, qsizetype longest);

struct Suggestion {
    enum Kind { Exact, Form, Spelling };
    int item = -1; // index in the word index
    Kind kind = Exact;
    int distance = 0; // edit distance of the folded texts
};

class WordFinder {
public:
    WordFinder();
    ~WordFinder();
    WordFinder(WordFinder &&) noexcept;
    WordFinder &operator=(WordFinder &&) noexcept;

    // Indexes every headword of the list (keeps no reference to it).
    void build(const WordIndex &words);
    void clear();
    bool empty() const { return folded_.empty(); }

    // Headwords the text may mean, best first: an exact headword (ignoring
    // letter case and ё/е), then headwords of the same word forms, then near
    // spellings; at most max of them, each once.
    std::vector<Suggestion> suggest(QStringView text, int max = 5) const;

    // The one headword to open for a text that is not a headword itself:
    // the best form, else the best spelling; -1 when there is none.
    int bestMatch(QStringView text) const;

    // Memory held by the indexes, in bytes (for measurement).
    std::size_t bytesHeld() const;

private:
    QString stemKey(const QStringList &words) const;
    void addForms(const QString &folded, std::vector<Suggestion> &out) const;
    void addSpellings(const QString &folded, std::vector<Suggestion> &out) const;

    std::unique_ptr<Stemmer> stemmer_;
    std::vector<QString> folded_;                              // per item
    std::unordered_map<QString, std::vector<int>> exact_;      // folded text -> items
    std::unordered_map<QString, std::vector<int>> byStems_;    // stems of all words -> items
    std::unordered_map<QString, std::vector<int>> byWordStem_; // stem of a one-word headword -> items
    std::vector<std::pair<uint32_t, uint32_t>> deletions_;     // (hash of a deletion variant, item), sorted
};

} // namespace somnex::dictionary
