#pragma once
// What the diary's file holds of the words the user wrote. Every such field
// (the title and the text, the display title, the fulfilment note, the
// place's name, the tags, people and places, the symbols) is sealed on its
// way into the file and opened on its way out; the words of the search index
// and the folded keys of tags and symbols become tokens. A diary in plain
// text seals to the text itself; a private diary seals with its cipher, and
// the file then holds nothing of the dreams a reader of the file could read.
//
// The store seals and opens in one place: what is read from the file, a
// backup copy or a restore goes through the codec of the diary it belongs to.

#include <QLatin1StringView>
#include <QString>
#include <QStringView>

#include <memory>

namespace somnex::diary {

// Where a field belongs: the entry's id and the column. A sealed value opens
// only where it was sealed, so that one moved to another entry or column
// is refused rather than read.
struct FieldOf {
    QStringView entry;
    QLatin1StringView column;
};

class TextCodec {
public:
    virtual ~TextCodec() = default;
    // A field as the file keeps it.
    virtual QString seal(const QString &plain, const FieldOf &where) const = 0;
    // The field back from the file. Throws somnex::Error (kErrorDamaged)
    // when it cannot be opened: damaged, moved, or sealed under another key.
    virtual QString open(const QString &sealed, const FieldOf &where) const = 0;
    // A word of the index or a folded key: the same word always gives the
    // same token, so that a search finds it, and nothing else gives it.
    virtual QString token(const QString &word) const = 0;
    // Whether sealing keeps the text as it is (the file's order of texts is
    // then the texts' own).
    virtual bool plain() const { return false; }
};

// The codec of a diary in plain text.
std::shared_ptr<const TextCodec> plainTextCodec();

} // namespace somnex::diary
