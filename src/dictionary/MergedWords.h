#pragma once
// The merged word list of a catalogue: the headwords of its enabled books in
// one WordIndex. The main window's list, somnex-cli and the benchmark all
// build it here.

#include "dictionary/Catalogue.h"
#include "dictionary/WordIndex.h"

#include <exception>
#include <functional>
#include <optional>
#include <vector>

namespace somnex::dictionary {

struct MergedWords {
    WordIndex words;  // finished, ready for searches
    long entries = 0; // records of the enabled books taken, duplicates counted
    // Reading a book failed after some words had been read: words holds what
    // was read up to there (the failing book's words read so far included),
    // the books after it are left out, and this is the failure.
    std::exception_ptr failure;
};

// Merges the headwords of books[k] for every k that enabled(k) accepts, in
// catalogue order. proceed, when given, is asked before each book (the window
// lets its events run there); when it answers false the merge is abandoned
// and nothing is returned. A failure before the first word was read is
// raised; a later one ends the merge (see MergedWords::failure). Words taken
// from a book's word cache are let go after with releaseCached (the book is
// read when the list is made again).
std::optional<MergedWords> mergeWords(const std::vector<CatalogueBook> &books,
                                      const std::function<bool(size_t)> &enabled,
                                      const std::function<bool()> &proceed = {}, bool releaseCached = false);

} // namespace somnex::dictionary
