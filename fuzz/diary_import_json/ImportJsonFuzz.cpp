// Feeds arbitrary bytes to the readers of the JSON journal exports; the first
// byte chooses the reader (Webdreamjournal, jrnl, Day One, dream-journal-app),
// the rest is the file. A reader either returns entries the diary can keep
// (a valid moment with its offset inside the diary's years, well-formed
// texts, a title within its length, a UUID or no id) or throws the program's
// error with a message naming the file; anything else aborts.
#include "diary/Importers.h"
#include "diary/LunarSnapshot.h"
#include "platform/error/Error.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

using namespace somnex::diary;

void checkEntries(const ImportedJournal &j)
{
    for (const Entry &e : j.entries) {
        if (!e.at.isValid() || (e.at.timeSpec() != Qt::OffsetFromUTC && e.at.timeSpec() != Qt::UTC)
            || e.at.date().year() < kFirstYear || e.at.date().year() > kLastYear || e.at.time().msec() != 0)
            std::abort();
        if (!QStringView(e.text).isValidUtf16() || !QStringView(e.title).isValidUtf16()
            || e.title.size() > kMaxTitleLength || e.text.toUtf8().size() > kMaxTextBytes)
            std::abort();
        if (!e.id.isEmpty() && e.id.size() != 36)
            std::abort();
        for (const Tag &t : e.tags)
            if (t.text.isEmpty() || t.text != t.text.trimmed())
                std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString file = QStringLiteral("fuzz.json");
    try {
        switch (data[0] % 4) {
        case 0: checkEntries(parseWebDreamJournal(bytes, file)); break;
        case 1: checkEntries(parseJrnl(bytes, file)); break;
        case 2: checkEntries(parseDayOne(bytes, file)); break;
        default: checkEntries(parseDreamJournalApp(bytes, file)); break;
        }
    } catch (const somnex::Error &e) {
        if (e.number() != kErrorImportDamaged && e.number() != kErrorImportTooLarge)
            std::abort();
        if (!e.description().startsWith(QStringLiteral("Не удаётся прочитать дневник «fuzz.json»: ")))
            std::abort();
    }
    return 0;
}
