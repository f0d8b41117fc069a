// Arbitrary bytes opened as a book file: every field of every row of every
// table is read, the headword index is built and walked, seeks run, and the
// packed fields are unpacked. Errors are expected; crashes, hangs and
// unbounded allocations are not.
#include "dictionary/BookDatabase.h"
#include "dictionary/PackedText.h"
#include "platform/error/Error.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace somnex;
    std::size_t sum = 0;
    try {
        const auto db = dictionary::DBEngine::instance().OpenDatabaseImage(
            QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)), QStringLiteral("fuzz"));
        for (const QString &table : db.TableNames()) {
            auto rs = db.OpenRecordset(table);
            const int text = rs.fieldIndex(QStringLiteral("Text"));
            const int links = rs.fieldIndex(QStringLiteral("Links"));
            for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
                for (int c = 0; c < rs.FieldCount(); ++c) {
                    const auto value = rs.Field(c);
                    sum += value ? static_cast<std::size_t>(value->size()) : 1;
                    if ((c == text || c == links) && value)
                        tryStep([&] { sum += static_cast<std::size_t>(dictionary::UnpackText(*value).size()); });
                }
            }
            if (tryStep([&] { rs.setIndex(QStringLiteral("List")); })) {
                for (qsizetype i = 0; i < rs.RecordCount(); ++i)
                    sum += static_cast<std::size_t>(rs.headword(i).size());
                for (const QString &w : {QStringLiteral("Вода"), QString(), QStringLiteral("a")})
                    rs.Seek(QStringLiteral("="), w);
                if (rs.RecordCount() > 0)
                    rs.Seek(QStringLiteral("="), rs.headword(rs.RecordCount() / 2).toString());
                if (!rs.NoMatch())
                    sum += static_cast<std::size_t>(rs.Field(0).value_or(QString()).size());
            }
        }
    } catch (const Error &) {
    }
    return sum == 0xFFFFFFFFu ? 1 : 0;
}
