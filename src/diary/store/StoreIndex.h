#pragma once
// What the diary finds entries by: their tags and symbols, each under its
// folded key, and the stem index of their titles and texts; and the search
// query over them. Keys and stems are the codec's tokens, so that a private
// diary finds its words without keeping them.

#include "diary/DiaryStore.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>
#include <vector>

namespace somnex::dictionary {
class Stemmer;
}
namespace somnex::diary::sql {
class Statement;
}

namespace somnex::diary::store {

class StoreConnection;

// Writes the tags and symbols of the entry at row n anew.
void writeTagsAndSymbols(StoreConnection &c, const TextCodec &codec, qint64 n, const Entry &e);
// Writes the stems of the entry's title and text anew.
void writeWords(StoreConnection &c, const TextCodec &codec, dictionary::Stemmer &stemmer, qint64 n, const Entry &e);

// A search as one statement: its text and the values of its parameters.
struct SearchQuery {
    QByteArray text;
    std::vector<std::variant<QString, qint64>> values;
};
// std::nullopt when the filter's text holds no word to find (punctuation only).
std::optional<SearchQuery> searchQuery(const Filter &filter, const TextCodec &codec, dictionary::Stemmer &stemmer);
void bindValues(sql::Statement &s, const SearchQuery &q);

} // namespace somnex::diary::store
