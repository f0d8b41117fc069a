#include "reading/CatalogueTolk.h"

#include "dictionary/BookSchema.h"
#include "dictionary/PackedText.h"
#include "platform/error/Error.h"

#include <QFileInfo>

namespace somnex {

std::vector<TolkBook> TolkBooksOf(std::vector<dictionary::CatalogueBook> &books,
                                  const std::function<bool(size_t)> &enabled)
{
    std::vector<TolkBook> out;
    for (size_t k = 0; k < books.size(); ++k) {
        if (!enabled(k) || books[k].recordset.RecordCount() == 0)
            continue;
        dictionary::Recordset *rs = &books[k].recordset;
        out.push_back(
            {books[k].Tag, books[k].Description,
             [rs](const QString &word) -> std::optional<std::pair<QString, std::optional<QString>>> {
                 rs->setIndex(dictionary::kListIndex);
                 rs->Seek(QStringLiteral("="), word);
                 if (rs->NoMatch())
                     return std::nullopt;
                 const std::optional<QString> text = rs->Field(dictionary::kTextColumn);
                 if (!text)
                     throw Error(94, QStringLiteral("BuildTolk"), QStringLiteral("Недопустимое использование Null"));
                 const std::optional<QString> links = rs->Field(dictionary::kLinksColumn);
                 return std::make_pair(dictionary::UnpackText(*text),
                                       links ? std::optional<QString>(dictionary::UnpackText(*links)) : std::nullopt);
             }});
    }
    return out;
}

std::vector<ReadingBook> ReadingBooksOf(std::vector<dictionary::CatalogueBook> &books,
                                        const std::function<bool(size_t)> &enabled)
{
    std::vector<ReadingBook> out;
    std::vector<TolkBook> tolk = TolkBooksOf(books, enabled);
    size_t next = 0;
    for (size_t k = 0; k < books.size() && next < tolk.size(); ++k)
        if (enabled(k) && books[k].recordset.RecordCount() > 0)
            out.push_back({std::move(tolk[next++]), QFileInfo(books[k].Key).fileName()});
    return out;
}

std::vector<TolkButton> TolkButtonsOf(const std::vector<dictionary::CatalogueBook> &books)
{
    std::vector<TolkButton> out;
    out.reserve(books.size());
    for (const auto &b : books)
        out.push_back({b.Tag, b.Description});
    return out;
}

} // namespace somnex
