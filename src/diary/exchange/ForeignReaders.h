#pragma once
// The entries of the foreign formats' table (ForeignFormats.h), each format's
// pair defined in that format's own file.

#include "diary/Journal.h"
#include "diary/exchange/ForeignFormats.h"

namespace somnex::diary::exchange {

// A dreamdir: a folder holding a ".dreamdir" marker file, or that file.
FormatMatch sniffDreamdir(const JournalProbe &probe);
ImportedJournal readDreamdir(const JournalProbe &probe);

// Webdreamjournal: {"data": {"dreams": [...]}}.
FormatMatch sniffWebDreamJournal(const JournalProbe &probe);
ImportedJournal readWebDreamJournal(const JournalProbe &probe);

// Day One: entries with "uuid" or "creationDate"; a "metadata" object hints.
FormatMatch sniffDayOne(const JournalProbe &probe);
ImportedJournal readDayOne(const JournalProbe &probe);

// dream-journal-app: entries with "entryDate" or "dreams".
FormatMatch sniffDreamJournalApp(const JournalProbe &probe);
ImportedJournal readDreamJournalApp(const JournalProbe &probe);

// jrnl: entries with "body" or "date"; a "tags" object hints.
FormatMatch sniffJrnl(const JournalProbe &probe);
ImportedJournal readJrnl(const JournalProbe &probe);

} // namespace somnex::diary::exchange
