#pragma once
// The books of the catalogue as the interpretation builder reads them: every
// enabled book with entries, in catalogue order, its entry for a word sought
// with Seek "=" on the "List" index and its packed fields unpacked.

#include "dictionary/Catalogue.h"
#include "reading/DreamReading.h"
#include "reading/TolkDocument.h"

#include <functional>
#include <vector>

namespace somnex {

// enabled(k) tells whether slot k is switched on. The books must outlive the
// returned lookups.
std::vector<TolkBook> TolkBooksOf(std::vector<dictionary::CatalogueBook> &books,
                                  const std::function<bool(size_t)> &enabled);
// The same books with their file names, for reading a whole dream.
std::vector<ReadingBook> ReadingBooksOf(std::vector<dictionary::CatalogueBook> &books,
                                        const std::function<bool(size_t)> &enabled);
std::vector<TolkButton> TolkButtonsOf(const std::vector<dictionary::CatalogueBook> &books);

} // namespace somnex
