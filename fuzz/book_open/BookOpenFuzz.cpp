// Arbitrary bytes opened as a book file: every field of every row of every
// table is read, the headword index is built and walked, seeks run, and the
// packed fields are unpacked. Errors are expected; crashes, hangs and
// unbounded allocations are not.
#include "dictionary/BookDatabase.h"
#include "dictionary/BookSchema.h"
#include "dictionary/PackedText.h"
#include "platform/error/Error.h"

#include <QLoggingCategory>

#include <cstddef>
#include <cstdint>

namespace {

using namespace somnex;

// Every field of every row; the packed ones unpacked.
void readRows(dictionary::Recordset &rs, std::size_t &sum)
{
    const int text = rs.fieldIndex(dictionary::kTextColumn);
    const int links = rs.fieldIndex(dictionary::kLinksColumn);
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        for (int c = 0; c < rs.FieldCount(); ++c) {
            const auto value = rs.Field(c);
            sum += value ? static_cast<std::size_t>(value->size()) : 1;
            if ((c == text || c == links) && value)
                tryStep([&] { sum += static_cast<std::size_t>(dictionary::UnpackText(*value).size()); });
        }
    }
}

// The headword index walked, and seeks for words in it and not in it.
void walkIndex(dictionary::Recordset &rs, std::size_t &sum)
{
    if (!tryStep([&] { rs.setIndex(dictionary::kListIndex); }))
        return;
    for (qsizetype i = 0; i < rs.RecordCount(); ++i)
        sum += static_cast<std::size_t>(rs.headword(i).size());
    for (const QString &w : {QStringLiteral("Вода"), QString(), QStringLiteral("a")})
        rs.Seek(QStringLiteral("="), w);
    if (rs.RecordCount() > 0)
        rs.Seek(QStringLiteral("="), rs.headword(rs.RecordCount() / 2).toString());
    if (!rs.NoMatch())
        sum += static_cast<std::size_t>(rs.Field(0).value_or(QString()).size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Damaged input is the point here: the traces of the steps it makes fail
    // would only slow the fuzzer down.
    static const bool quiet = [] {
        QLoggingCategory::setFilterRules(QStringLiteral("somnex.ignored.warning=false"));
        return true;
    }();
    (void)quiet;
    std::size_t sum = 0;
    try {
        const auto db = dictionary::DBEngine::instance().OpenDatabaseImage(
            QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)), QStringLiteral("fuzz"));
        for (const QString &table : db.TableNames()) {
            auto rs = db.OpenRecordset(table);
            readRows(rs, sum);
            walkIndex(rs, sum);
        }
    } catch (const Error &) {
        // expected: the input is no readable book
    }
    return sum == 0xFFFFFFFFu ? 1 : 0;
}
