#pragma once
// Readers of the journals other dream-diary programs keep or export, each
// turning what it reads into diary entries: a dreamdir folder (one plain-text
// .dre file per dream), and the JSON exports of Webdreamjournal, jrnl, Day One
// and dream-journal-app.
//
// Every reader either returns all entries of the file or throws
// somnex::Error with a Russian message naming the file (and the entry or the
// line); it never returns part of a file. Tags, the lucid flag and the moment
// map to ours; whatever else the format holds goes into the text as lines
// such as "Эмоции: …", so that nothing is lost. The night, the lunar snapshot
// and the symbols are left for the store.

#include "diary/Journal.h"

#include <QByteArray>
#include <QString>

namespace somnex::diary {

// The numbers of the errors the readers throw (somnex::Error::number()).
enum ImportErrorNumber : long {
    kErrorImportUnknown = 3120,    // none of the formats read here: "формат не распознан"
    kErrorImportUnreadable = 3121, // the file or folder cannot be opened or read
    kErrorImportDamaged = 3122,    // broken content: bad JSON, a wrong type, a missing field, a bad date
    kErrorImportTooLarge = 3123,   // a file above kMaxJournalBytes, a folder above kMaxDreamdirFiles
};

// kMaxJournalBytes (Journal.h) holds for a dreamdir's .dre files together too.
// The most .dre files a dreamdir may hold; the folder is refused above it
// before any file is read.
inline constexpr int kMaxDreamdirFiles = 20000;

// Reads the journal at path: a dreamdir folder (one holding a ".dreamdir"
// marker file) or a JSON export of one of the formats, told apart by its
// fields; the format is chosen from the table foreignFormats()
// (exchange/ForeignFormats.h). Throws kErrorImportUnknown for anything else.
ImportedJournal readForeignJournal(const QString &path);

// A dreamdir folder: every *.dre file in it, in the order of their names.
ImportedJournal parseDreamdir(const QString &folder);
// One .dre file's bytes: "Name:<TAB>value" header lines (Id and Date
// required), a blank line, the text.
Entry parseDreFile(const QByteArray &bytes, const QString &fileName);

// The JSON exports, from the file's bytes; fileName names it in messages.
ImportedJournal parseWebDreamJournal(const QByteArray &bytes, const QString &fileName);
ImportedJournal parseJrnl(const QByteArray &bytes, const QString &fileName);
ImportedJournal parseDayOne(const QByteArray &bytes, const QString &fileName);
ImportedJournal parseDreamJournalApp(const QByteArray &bytes, const QString &fileName);

} // namespace somnex::diary
