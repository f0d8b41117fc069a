#pragma once
// The diary leaves and comes back: our own lossless JSON file, Markdown notes,
// a CSV table and an HTML "book of dreams" written out; a journal read in and
// merged into the diary without ever deleting or overwriting a newer entry.
//
// Every file is written whole under another name and then renamed into place,
// so that a failure leaves the old file (or none) and never half a file.

#include "diary/DiaryStore.h"
#include "diary/Entry.h"
#include "diary/Journal.h"
#include "diary/exchange/MergePlan.h"
#include "diary/seal/DiaryKey.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace somnex::diary {

// The numbers of the errors thrown here (somnex::Error::number()).
enum ExchangeErrorNumber : long {
    kErrorJournalBad = 3111,     // a journal file that cannot be read: damaged, wrong values, too large
    kErrorJournalUnknown = 3112, // not a journal of any format known
    kErrorExportExists = 3113,   // the file to write exists and replacing it was not allowed
    kErrorExportWrite = 3114,    // writing the file failed: the old file (if any) is left as it was
    kErrorExportTooLarge = 3115, // the JSON file would be larger than an import accepts
    kErrorJournalSealed = 3116,  // a sealed journal and no password to open it
};

// kMaxJournalBytes (Journal.h): an export in our JSON format that would be
// larger is refused too, so that every file written can be read back.

// ---- our own format ---------------------------------------------------------

// The format's name and version in the file's top-level object.
inline constexpr const char *kDiaryFormatName = "somnex-diary";
inline constexpr int kDiaryFormatVersion = 1;

// The entries as our JSON file: {"format": "somnex-diary", "version": 1,
// "entries": [...]} with every field of every entry, UTF-8, indented. The
// same entries give the same bytes.
QByteArray diaryJson(const QList<Entry> &entries);

// Reads our JSON file strictly: a wrong type, a missing field, a value out of
// range, invalid UTF-8, a cut or malformed file, a repeated id or a file over
// kMaxJournalBytes throws somnex::Error (kErrorJournalBad) with a Russian
// message naming the file and the entry (counted from 1). A file that is not
// of this format at all (no "format": "somnex-diary") throws
// kErrorJournalUnknown. Format "somnex-json".
ImportedJournal parseDiaryJson(const QByteArray &bytes, const QString &fileName);

// Asks the password of a sealed journal (its path given); none when the user
// gives up.
using SealedPasswordAsker = std::function<std::optional<QString>(const QString &path)>;

// Reads a journal of any format known: our JSON first, sealed or not, else
// `foreign` when set; otherwise (or when the path is neither) a Russian "not
// recognised" error (kErrorJournalUnknown). A file over kMaxJournalBytes is
// refused before it is read. A sealed journal is opened with the password
// askPassword gives: none asked or given throws kErrorJournalSealed, a wrong
// one kErrorWrongPassword.
ImportedJournal readAnyJournal(const QString &path, const JournalReader &foreign,
                               const SealedPasswordAsker &askPassword = {});

// The merge (MergePlan, planMerge, applyMerge) is in exchange/MergePlan.h,
// included above.

// ---- export -------------------------------------------------------------------

// Sealed: our JSON sealed under a password (exchange/SealedJournal.h), the
// export of a private diary; the others are plain text.
enum class ExportFormat { Json, Markdown, Csv, Html, Sealed };
// "json", "md", "csv", "html", "sealed"; none for anything else.
std::optional<ExportFormat> exportFormatFromCode(const QString &code);
// The file a chosen name is written to: with the format's extension when the
// name has none ("дневник" becomes "дневник.json"), so that it can be found
// and imported again. Markdown goes to a folder, which keeps its name.
QString withExportExtension(ExportFormat format, const QString &path);

// The entries of a period: those whose night lies between from and to
// (inclusive; an invalid date is no bound), oldest moment first. Entries in
// the trash are kept only for JSON (sealed or not), which keeps the diary's
// whole state.
QList<Entry> entriesForExport(const QList<Entry> &all, ExportFormat format, const QDate &from, const QDate &to);

// One Markdown note: YAML front matter (title, created, updated, night, at,
// zone, tags, kinds, lucid, clarity, mood, lunar_day, mark, marked_on,
// mark_note, symbols, place, latitude, longitude, id), then the text. The
// night is its morning's date, as the diary names it ("Ночь на 5 декабря").
QString markdownNote(const Entry &e);
// The note's file name: "<night's morning>-<slug of the title>.md", letters
// and digits of the title only, unique within `taken` (compared ignoring
// letter case).
QString markdownFileName(const Entry &e, QStringList &taken);
// The CSV table: a header and one row per dream, RFC 4180 (fields quoted
// when they hold a quote, a comma or a line break; quotes doubled; CRLF),
// UTF-8 with a byte order mark; the night is its morning's date. A cell a
// spreadsheet would run as a formula (beginning with =, +, -, @, a tab or a
// carriage return, and not a plain number) begins with an apostrophe.
QByteArray diaryCsv(const QList<Entry> &entries);
// The "book of dreams": an HTML page with the nights as headings, each dream
// with its time, lunar day, mark, text and symbols; everything escaped.
QByteArray diaryHtml(const QList<Entry> &entries, const QDate &from, const QDate &to);

// The files an export to `path` would replace (for Markdown, the notes in
// the folder `path`; for the others `path` itself), so that the window can
// ask first.
QStringList exportWouldReplace(ExportFormat format, const QString &path, const QList<Entry> &entries);

// The password a sealed export is sealed under and what its key costs.
struct ExportSeal {
    QString password;
    KeyCost cost;
};

// Writes the entries (already chosen by entriesForExport) to path; replaces
// existing files only with `replace`, else throws kErrorExportExists naming
// them. Returns the number of dreams written. Throws somnex::Error with a
// Russian message when a file cannot be written; what was there stays. A
// sealed export needs `seal`.
int exportDiary(ExportFormat format, const QString &path, const QList<Entry> &entries, const QDate &from,
                const QDate &to, bool replace, const ExportSeal *seal = nullptr);

} // namespace somnex::diary
