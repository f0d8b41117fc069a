// Feeds arbitrary bytes as one dreamdir .dre file: the reader either returns
// an entry the diary can keep (an id, a valid moment with its offset inside
// the diary's years, well-formed texts) or throws the program's error with a
// message naming the file; anything else aborts.
#include "diary/Importers.h"
#include "diary/LunarSnapshot.h"
#include "platform/error/Error.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace somnex::diary;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const Entry e = parseDreFile(bytes, QStringLiteral("00001.dre"));
        if (e.id.size() != 36 || !e.at.isValid() || (e.at.timeSpec() != Qt::OffsetFromUTC && e.at.timeSpec() != Qt::UTC)
            || e.at.date().year() < kFirstYear || e.at.date().year() > kLastYear)
            std::abort();
        if (!QStringView(e.text).isValidUtf16() || !QStringView(e.title).isValidUtf16()
            || e.title.size() > kMaxTitleLength)
            std::abort();
        for (const Tag &t : e.tags)
            if (t.text.isEmpty() || t.text != t.text.trimmed())
                std::abort();
    } catch (const somnex::Error &e) {
        if (e.number() != kErrorImportDamaged && e.number() != kErrorImportTooLarge)
            std::abort();
        if (!e.description().startsWith(QStringLiteral("Не удаётся прочитать дневник «00001.dre»: ")))
            std::abort();
    }
    return 0;
}
