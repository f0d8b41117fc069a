#pragma once
// The words of a dream's title and text as the diary's search sees them:
// folded as the dictionary folds its headwords and cut by the same rule as
// foldedWords (runs of letters and digits, a hyphen or an apostrophe between
// letters inside the word), with their places in the text, and their stems.

#include <QList>
#include <QSet>
#include <QString>
#include <QStringView>

namespace somnex::dictionary {
class Stemmer;
}

namespace somnex::diary {

struct WordSpan {
    qsizetype start = 0;  // in the text, UTF-16 code units
    qsizetype length = 0; // ditto
};

// Every word of the text in order (folding keeps the length, so the spans
// are those of the original text too).
QList<WordSpan> wordSpans(QStringView foldedText);

// The distinct stems of the words of a text.
QSet<QString> stemsOf(QStringView text, dictionary::Stemmer &stemmer);

// The distinct stems of a query's words, in the order they first occur.
QStringList queryStems(QStringView query, dictionary::Stemmer &stemmer);

} // namespace somnex::diary
