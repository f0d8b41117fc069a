#pragma once
// Synthetic books opened as the catalogue holds them: the shelf the word-list,
// interpretation and search benchmarks run on.

#include "dictionary/BookDatabase.h"
#include "dictionary/BookSchema.h"
#include "dictionary/BookSource.h"
#include "dictionary/Catalogue.h"
#include "dictionary/SyntheticBook.h"

#include <vector>

namespace somnex::bench {

constexpr int kShelfBooks = 10;
constexpr int kShelfWords = 20000;

struct Shelf {
    std::vector<dictionary::CatalogueBook> books;
    dictionary::Recordset &rs(size_t i) { return books[i].recordset; }
};

// kShelfBooks books of kShelfWords headwords, "Книга 0" … "Книга 9", each
// with its table "Book" open on the index "List". With one seed for all, every
// book holds the same headwords; otherwise each book has words of its own.
inline Shelf makeShelf(bool sameWords)
{
    using namespace dictionary;
    Shelf s;
    for (int i = 0; i < kShelfBooks; ++i) {
        const BookContent content =
            syntheticBook(kShelfWords, sameWords ? 77 : 1000 + i, QStringLiteral("Книга %1").arg(i));
        CatalogueBook book;
        book.Key = (sameWords ? QStringLiteral("s%1.book") : QStringLiteral("b%1.book")).arg(i);
        book.database = DBEngine::instance().OpenDatabaseImage(buildBookImage(content), book.Key);
        book.recordset = book.database.OpenRecordset(dictionary::kBookTable);
        book.recordset.setIndex(dictionary::kListIndex);
        s.books.push_back(std::move(book));
    }
    return s;
}

} // namespace somnex::bench
