#pragma once
// A whole dream read against the books: its symbols in text order and, for
// each, every enabled book's lines for it ranked by what happened in this
// dream (dictionary/LineRanker.h).

#include "dictionary/LineRanker.h"
#include "dictionary/SymbolFinder.h"
#include "dictionary/WordIndex.h"
#include "reading/TolkDocument.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace somnex {

// What one book says of one symbol of the dream.
struct BookReading {
    QString heading;                           // the book's interpretation heading
    QString description;                       // its colour, as TolkBook::description
    QString file;                              // the book's file name ("narodny.book"); empty when unknown
    std::vector<dictionary::RankedLine> lines; // all lines of the entry, best first
};

// The user's own dreams with a symbol, from the diary.
struct DiaryHistory {
    int dreams = 0;   // dreams with the symbol, not in the trash
    int marked = 0;   // of them, marked as come true, partly or not
    int cameTrue = 0; // of the marked, come true (wholly or partly)
};

struct SymbolReading {
    QString headword;
    qsizetype start = 0; // where the dream names it, in the text read
    qsizetype length = 0;
    std::vector<BookReading> books;      // the books that have the headword, in catalogue order
    QStringList unreadable;              // headings of the books whose entry could not be read
    std::optional<DiaryHistory> history; // none when there is no diary to ask
};

struct DreamReading {
    QString text;                       // the text read: the dream, or its beginning when it was too long
    bool cut = false;                   // the dream was longer than kDreamReadLimit and only its beginning was read
    std::vector<SymbolReading> symbols; // in text order, each headword once (at its first place)
};

// Dreams are read up to this many characters; the rest is left out (and
// DreamReading::cut says so).
inline constexpr qsizetype kDreamReadLimit = 20000;

// A book as the reading sees it: the interpretation book and its file name.
struct ReadingBook {
    TolkBook book;
    QString file;
};

// Reads a dream: finds its symbols among words (the merged headwords the
// finder was built from) and ranks each book's lines for each.
DreamReading ReadDream(const QString &text, const dictionary::SymbolFinder &finder, const dictionary::WordIndex &words,
                       const std::vector<ReadingBook> &books);

// The lines of an entry's text as a reader sees them: split at its line
// breaks, the document's in-band markers taken out, empty ones dropped.
QStringList EntryLines(const QString &entryText);

// Whether a text typed in a search box is a dream told rather than a word
// looked up: several words and no headword spelled whole.
bool LooksLikeDream(const QString &text, const dictionary::WordIndex &words);

} // namespace somnex
