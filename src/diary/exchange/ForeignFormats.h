#pragma once
// The table the reader of another program's journal is chosen from: for
// each format its name, how a file or folder of it is recognised, and how
// it is read (Importers.h: readForeignJournal).

#include "diary/Journal.h"

#include <QByteArray>
#include <QFileInfo>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <span>

namespace somnex::diary {

// A file or folder offered for import, as the formats look at it: the path
// first; the file's bytes and its JSON object only once a format asks for
// them, and then read and parsed once for all of them.
class JournalProbe {
public:
    explicit JournalProbe(const QString &path) : path_(path), info_(path) {}

    const QString &path() const { return path_; }
    const QFileInfo &info() const { return info_; }
    // The whole file, at most kMaxJournalBytes; throws somnex::Error
    // (ImportErrorNumber) when it is no regular file or cannot be read.
    const QByteArray &bytes() const;
    // The file's top-level JSON object; null for a folder and for a file whose
    // first character after a byte order mark and white space is not "{".
    // Throws kErrorImportDamaged for one that begins so but does not parse.
    const QJsonObject *json() const;

private:
    QString path_;
    QFileInfo info_;
    mutable std::optional<QByteArray> bytes_;
    mutable std::optional<QJsonObject> json_;
    mutable bool jsonLooked_ = false;
};

// How sure a format is that a probed file is one of its own.
enum class FormatMatch {
    No,
    Likely,  // by a hint (a top-level key): taken only when no format is certain
    Certain, // by the marker file or the keys its entries hold
};

struct ForeignFormat {
    // The format's code, as ImportedJournal::format names it; for messages.
    const char *name;
    FormatMatch (*sniff)(const JournalProbe &probe);
    // Reads the probed file or folder; throws somnex::Error (ImportErrorNumber).
    ImportedJournal (*read)(const JournalProbe &probe);
};

// Every format readForeignJournal knows, in the order it asks them: the
// first that is certain reads the file, else the first that finds it likely.
std::span<const ForeignFormat> foreignFormats();

} // namespace somnex::diary
