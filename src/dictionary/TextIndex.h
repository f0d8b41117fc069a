#pragma once
// Search in the interpretations: which headwords' texts speak of every word
// of a query, in any of its forms. An inverted index from word stems to the
// entries whose text holds them, built once from the enabled books (on a
// worker thread: it only reads what the books hold in memory).
//
// Postings are kept compact: per stem, a byte string of entries as
// variable-length gaps, the lowest bit telling whether a hit count other
// than one follows.

#include "dictionary/BookDatabase.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <atomic>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace somnex::dictionary {

struct TextSource {
    QString bookName;              // as the user knows the book
    dictionary::Recordset records; // table "Book"; its own cursor
};

struct TextHit {
    QString headword;
    QStringList books; // the books whose text matches, in catalogue order
    int hits = 0;      // occurrences of the query's words, all books together
    QString snippet;   // a piece of text around the first hit
};

class TextIndex {
public:
    // Reads and indexes every entry's "Text". A damaged entry is left out.
    // Returns early, with an empty index, when cancel becomes true.
    static TextIndex build(std::vector<TextSource> books, const std::atomic<bool> *cancel = nullptr);

    // Headwords whose texts hold every word of the query in some form (short
    // function words are dropped when the query has others): more matching
    // books first, then more hits, then the word list's order. At most max.
    std::vector<TextHit> search(QStringView query, int max = 200) const;

    // The indexed stems a query is searched by (for highlighting the hits):
    // its words' stems and those one fleeting vowel away.
    QStringList queryStems(QStringView query) const;

    bool empty() const { return entries_.empty(); }
    std::size_t entryCount() const { return entries_.size(); }
    // Memory of the index proper, and size of the packed text it was built from.
    std::size_t bytesHeld() const;
    std::size_t packedBytes() const { return packedBytes_; }

private:
    struct Entry {
        uint32_t record;
        uint16_t book;
    };
    struct Posting {
        uint32_t entry;
        uint32_t hits;
    };
    // A headword found: its id, the hits in its entries, its first entry
    // and the books it was found in.
    struct Group {
        uint32_t id = 0;
        uint32_t hits = 0;
        uint32_t firstEntry = 0;
        std::vector<uint16_t> books;
    };
    class Builder;
    std::vector<Posting> postings(uint32_t stem) const;
    // The postings of all the stems of one query word together.
    std::vector<Posting> mergedPostings(const std::vector<uint32_t> &ids) const;
    // Per query word, the ids of the indexed stems that stand for it.
    std::vector<std::vector<uint32_t>> queryStemIds(QStringView query) const;
    // The entries found, grouped by headword, the best max first.
    std::vector<Group> rankGroups(const std::vector<Posting> &found, int max) const;
    QString textOf(const Entry &e) const;

    std::vector<TextSource> books_;
    std::vector<Entry> entries_;
    std::vector<uint32_t> groupOf_;    // per entry: its headword, the same id in every book
    std::vector<uint32_t> groupFirst_; // per headword: its first entry
    std::vector<uint32_t> groupRank_;  // per headword: its place in alphabetical order
    // The stems, sorted, one after another in one string; a stem's id is its
    // place in that order. Their postings likewise, in one byte string.
    int findStem(QStringView stem) const; // -1 when absent
    QString stemPool_;
    std::vector<uint32_t> stemStart_;    // per id, and one past the last
    std::vector<uint32_t> postingStart_; // per id, and one past the last
    std::vector<uint8_t> pool_;
    std::size_t packedBytes_ = 0;
};

// The stems of a text's words, in order (used to find hits in a shown text).
QStringList stemsOfWords(const QStringList &foldedWords);

} // namespace somnex::dictionary
