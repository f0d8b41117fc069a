#include "diary/Importers.h"

#include "diary/exchange/ForeignFormats.h"
#include "diary/exchange/ForeignReaders.h"
#include "diary/exchange/ImportSupport.h"

#include <cctype>

namespace somnex::diary {

namespace {

// The formats in the order they are asked. Where two could take a file, the
// first certain one does: a ".dreamdir" marker before anything, then the
// JSON exports by the keys of their first entry (Day One's "uuid" before
// dream-journal-app's "entryDate" before jrnl's "body"); only when none is
// certain, the first hint (Day One's "metadata" before jrnl's "tags").
constexpr ForeignFormat kForeignFormats[] = {
    {"dreamdir", exchange::sniffDreamdir, exchange::readDreamdir},
    {"webdreamjournal", exchange::sniffWebDreamJournal, exchange::readWebDreamJournal},
    {"dayone", exchange::sniffDayOne, exchange::readDayOne},
    {"dream-journal-app", exchange::sniffDreamJournalApp, exchange::readDreamJournalApp},
    {"jrnl", exchange::sniffJrnl, exchange::readJrnl},
};

// A JSON export is an object: its first character other than a byte order
// mark or white space is "{".
bool beginsAnObject(const QByteArray &raw)
{
    qsizetype first = raw.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (first < raw.size() && std::isspace(static_cast<unsigned char>(raw[first])))
        ++first;
    return first < raw.size() && raw[first] == '{';
}

} // namespace

const QByteArray &JournalProbe::bytes() const
{
    if (!bytes_)
        bytes_ = exchange::readFile(path_);
    return *bytes_;
}

const QJsonObject *JournalProbe::json() const
{
    if (!jsonLooked_) {
        // A folder is never read as a file.
        if (!info_.isDir() && beginsAnObject(bytes()))
            json_ = exchange::jsonRoot(bytes(), path_);
        jsonLooked_ = true;
    }
    return json_ ? &*json_ : nullptr;
}

std::span<const ForeignFormat> foreignFormats()
{
    return kForeignFormats;
}

ImportedJournal readForeignJournal(const QString &path)
{
    const JournalProbe probe(path);
    if (!probe.info().exists())
        throw exchange::importError(kErrorImportUnreadable, path, QStringLiteral("файл или папка не найдены"));
    const ForeignFormat *likely = nullptr;
    for (const ForeignFormat &format : kForeignFormats) {
        const FormatMatch match = format.sniff(probe);
        if (match == FormatMatch::Certain)
            return format.read(probe);
        if (match == FormatMatch::Likely && !likely)
            likely = &format;
    }
    if (likely)
        return likely->read(probe);
    throw exchange::importError(kErrorImportUnknown, path, QStringLiteral("формат не распознан"));
}

} // namespace somnex::diary
