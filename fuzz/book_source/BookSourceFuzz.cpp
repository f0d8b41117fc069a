// Feeds arbitrary bytes to the dream-book source parser: it must refuse
// with a message or give a book whose canonical form reads back to the same
// book and the same text.
#include "dictionary/BookSource.h"
#include "platform/error/Error.h"

#include <cstdint>
#include <cstdlib>

namespace {

using somnex::dictionary::BookContent;

bool sameBook(const BookContent &a, const BookContent &b)
{
    if (a.name != b.name || a.heading != b.heading || a.color != b.color || a.entries.size() != b.entries.size())
        return false;
    for (std::size_t i = 0; i < a.entries.size(); ++i) {
        const auto &x = a.entries[i], &y = b.entries[i];
        if (x.headword != y.headword || x.text != y.text || x.links != y.links)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace somnex::dictionary;
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    BookSource source;
    try {
        source = parseBookSource(bytes, QStringLiteral("fuzz.txt"));
    } catch (const somnex::Error &e) {
        // A refusal names the file and the line.
        if (!e.description().startsWith(QStringLiteral("fuzz.txt:")))
            std::abort();
        return 0;
    }
    if (source.content.name.isEmpty() || source.content.heading.isEmpty())
        std::abort();
    for (const BookEntry &entry : source.content.entries)
        if (entry.headword.isEmpty() || entry.line <= 0)
            std::abort();
    // The canonical form is read back to the same book and is its own
    // canonical form.
    const QString icon = source.iconFile.value_or(QString());
    const QByteArray canonical = formatBookSource(source.content, icon);
    BookSource again;
    try {
        again = parseBookSource(canonical, QStringLiteral("canonical.txt"));
    } catch (const somnex::Error &) {
        std::abort();
    }
    if (!sameBook(source.content, again.content) || formatBookSource(again.content, icon) != canonical)
        std::abort();
    return 0;
}
