// Feeds arbitrary bytes to the reader of our diary JSON: it either refuses
// them with a Russian message naming the file, or gives entries that, written
// out again and read back, are the same file.
#include "diary/Exchange.h"
#include "platform/error/Error.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString name = QStringLiteral("сны.json");
    somnex::diary::ImportedJournal journal;
    try {
        journal = somnex::diary::parseDiaryJson(bytes, name);
    } catch (const somnex::Error &e) {
        if (!e.description().contains(name) || e.description().isEmpty())
            std::abort();
        return 0;
    }
    const QByteArray again = somnex::diary::diaryJson(journal.entries);
    try {
        const somnex::diary::ImportedJournal back = somnex::diary::parseDiaryJson(again, name);
        if (somnex::diary::diaryJson(back.entries) != again)
            std::abort();
    } catch (...) {
        std::abort(); // what we write, we read
    }
    return 0;
}
