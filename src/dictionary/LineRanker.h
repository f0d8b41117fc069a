#pragma once
// Which line of an entry fits a dream best.
//
// An entry's lines each tell a situation and its meaning ("Собака гонится
// за вами – к тому, что…"). For one symbol of a dream the ranker orders
// them by how well the situation, the part before the dash, matches what the
// dream says: the dream's words near the symbol count most, the rest of its
// sentence less, the other sentences (and so the other symbols) least. Two
// words match when they are one word in two forms (the same stem, or one
// stem beginning the other), when they share a long beginning, or when a
// small table of synonyms and aspect pairs joins them ("гналась" and
// "гонится", "выпал" and "выпадают", "покойный" and "умерший"). A word said
// with "не" in the dream and without it in the line (or the other way round)
// counts against the line.
//
// Each line gets a score in 0..1: lines whose situation matches score above
// 0.3, more and closer matches higher, a line matched whole above one matched
// in part; a general line ("Кошка во сне", "Видеть собаку") scores 0.3; a
// line whose situation has nothing of the dream scores below it. Equal scores
// keep the book's order. The words of the line that matched are returned, so
// a reader can see why.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>
#include <utility>
#include <vector>

namespace somnex::dictionary {

class Stemmer;

struct RankedLine {
    QString text;  // the line as the book has it
    int index = 0; // its place among the entry's lines
    double score = 0;
    QStringList matched; // the line's words that matched the dream, as the line writes them
    // where each matched word lies in text (start, length), in the order of matched
    std::vector<std::pair<qsizetype, qsizetype>> spans;
};

// A dream prepared for ranking: its words with their stems, sentences and
// negations. Built once per text; ranking any number of entries against it
// is then cheap.
class DreamText {
public:
    DreamText();
    ~DreamText();
    DreamText(DreamText &&) noexcept;
    DreamText &operator=(DreamText &&) noexcept;

    // The words of text (which it keeps no reference to).
    explicit DreamText(QStringView text);

    // The entry's lines for the symbol at [start, start + length) of the
    // text, best first. Not for two threads at once (it stems with its own
    // stemmer). headword is the symbol's headword: its own words in
    // a line are the symbol, not a situation. Empty lines are left out.
    std::vector<RankedLine> rank(qsizetype start, qsizetype length, const QString &headword,
                                 const QStringList &lines) const;

    struct Word;

private:
    struct Focus;
    struct Match {
        double best = 0;      // the closest kin of a line's word among the dream's, by closeness
        bool against = false; // a close kin said the other way ("не укусила")
    };
    Focus focusOn(qsizetype start, qsizetype length, const QString &headword) const;
    bool isSymbol(const Focus &f, const Word &w) const;
    double closeness(const Focus &f, int i) const;
    Match matchOf(const Focus &f, const Word &s) const;
    RankedLine rankLine(const Focus &f, const QString &line, int index) const;

    std::vector<Word> words_;
    // the words by the first three letters of their folded form
    QHash<QString, std::vector<int>> byBeginning_;
    // the words by their groups of synonyms
    QHash<int, std::vector<int>> byGroup_;
    // and by their roots (LineRanker.cpp, rootOf)
    QHash<QString, std::vector<int>> byRoot_;
    std::unique_ptr<Stemmer> stemmer_;
    // what is known of each word form met so far (a book's lines repeat their words)
    struct Known;
    std::unique_ptr<Known> known_;
};

// Score of a general line, one whose situation is only the symbol itself.
inline constexpr double kGeneralLineScore = 0.3;

// The situation of a line: the part before its dash (an en or em dash, or a
// hyphen standing between spaces); in a line told as one sentence, the part
// before the meaning is named ("…, означает", "…, это предвещает") or, in
// "Если …, …", the condition; the whole line where none of these is found.
QStringView situationOf(QStringView line);

// Whether two folded words are joined by the table of synonyms and aspect
// pairs.
bool synonymous(QStringView a, QStringView b);

// Builds the tables the ranker looks words up in (some milliseconds, once a
// process), so that a caller can have it done on another thread while it
// does something else; ranking builds them itself when none did.
void prepareRanking();

} // namespace somnex::dictionary
