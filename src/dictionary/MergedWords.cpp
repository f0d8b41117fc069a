#include "dictionary/MergedWords.h"

namespace somnex::dictionary {

namespace {

// Adds the words of a book's word cache to out, when it has usable ones.
bool takeCachedWords(const CatalogueBook &book, bool release, MergedWords &out)
{
    const std::vector<QString> *cached =
        book.cachedWords && !book.database.stale() ? book.cachedWords->words() : nullptr;
    if (!cached)
        return false;
    if (!cached->empty()) {
        out.entries += static_cast<long>(cached->size());
        out.words.addRun(*cached);
    }
    if (release)
        book.cachedWords->release();
    return true;
}

} // namespace

std::optional<MergedWords> mergeWords(const std::vector<CatalogueBook> &books,
                                      const std::function<bool(size_t)> &enabled, const std::function<bool()> &proceed,
                                      bool releaseCached)
{
    MergedWords out;
    bool firstWordRead = false;
    for (size_t k = 0; k < books.size(); ++k) {
        if (proceed && !proceed())
            return std::nullopt;
        if (!enabled(k))
            continue;
        const Recordset &rs = books[k].recordset;
        try {
            if (takeCachedWords(books[k], releaseCached, out)) { // the book itself is not read
                firstWordRead = firstWordRead || out.entries > 0;
                continue;
            }
            const qsizetype n = rs.RecordCount();
            if (n == 0)
                continue;
            out.entries += static_cast<long>(n);
            std::vector<QString> run;
            run.reserve(static_cast<size_t>(n));
            try {
                for (qsizetype i = 0; i < n; ++i) {
                    run.push_back(rs.headword(i).toString());
                    firstWordRead = true;
                }
            } catch (...) {
                out.words.addRun(std::move(run)); // the words read so far
                throw;
            }
            out.words.addRun(std::move(run));
        } catch (...) {
            if (!firstWordRead)
                throw;
            out.failure = std::current_exception();
            break;
        }
    }
    out.words.finish();
    return out;
}

} // namespace somnex::dictionary
