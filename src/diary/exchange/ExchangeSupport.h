#pragma once
// What the parts of the diary's own exchange (our JSON file, the merge, the
// Markdown, CSV and HTML exports) share: their errors, moments and an entry's
// lists as text, and the Markdown folder the export writes.

#include "diary/Entry.h"
#include "diary/Exchange.h"
#include "platform/error/Error.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace somnex::diary::exchange {

// An error of the exchange with its number (ExchangeErrorNumber) and the
// Russian description.
Error exchangeError(long number, const QString &description);
// Refuses a journal of ours: "Файл «file»: why. Ничего не импортировано."
[[noreturn]] void journalFail(const QString &file, const QString &why, long number = kErrorJournalBad);
// Whole mebibytes, for messages: "64" for kMaxJournalBytes.
QString wholeMegabytes(qint64 bytes);

// A moment as universal time with milliseconds, "2024-03-10T03:30:00.000Z";
// "" for none.
QString utcText(const QDateTime &t);
// The text without its NUL characters, which no export writes.
QString withoutNul(QString s);
// The texts of the entry's tags and the Russian names of its kinds.
QStringList tagTexts(const Entry &e);
QStringList kindNames(const Entry &e);

// ---- the Markdown folder (MarkdownExport.cpp) ---------------------------------

// The notes an export of the entries into folder would replace.
QStringList markdownWouldReplace(const QString &folder, const QList<Entry> &entries);
// Writes one note per entry into folder (made when missing), each whole
// under another name and renamed into place, and flushes them once at the end.
void writeMarkdownFolder(const QString &folder, const QList<Entry> &entries);

} // namespace somnex::diary::exchange
