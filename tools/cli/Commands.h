#pragma once
// The subcommands of somnex-cli. Each takes its arguments (after the
// subcommand's name) and returns the exit status.

#include "astro/mPublicVars.h"
#include "diary/Entry.h"
#include "dictionary/WordIndex.h"

#include <QStringList>

#include <exception>
#include <memory>
#include <optional>
#include <utility>

namespace somnex::diary {
class DiaryStore;
}

namespace somnex::cli {

int lookup(const QStringList &args);
int words(const QStringList &args);
int suggest(const QStringList &args);
int search(const QStringList &args);
// A whole dream read against the books (Lookup.cpp).
int interpret(const QStringList &args);
int calendar(const QStringList &args);
// calendar --month ГГГГ-ММ (CalendarMonth.cpp): the year and month, none for
// a malformed one or one outside 1601-01..9999-12; the month printed.
std::optional<std::pair<int, int>> parseMonth(const QString &text);
int calendarMonth(int year, int month, const astro::ObserverPosition &place, const QString &placeName, bool json);
int article(const QStringList &args);
int articles(const QStringList &args);
int diary(const QStringList &args);
int diaryStats(const QStringList &args);
// diary export, import, backup, restore FILE (DiaryExchange.cpp).
int diaryExport(const QStringList &args);
// Degrees within ±limit, kept to four decimals as the program keeps the
// observer's place; none for anything else (--lat, --lon).
std::optional<double> parseDegrees(const QString &text, double limit);
// The program's place from its settings, for dreams that name none.
diary::Place settingsPlace();
int diaryImport(const QStringList &args);
int diaryBackup(const QStringList &args);
int diaryRestoreBackup(const QStringList &args);
// Whether `diary restore` names a file of a copy rather than an entry.
bool namesBackupFile(const QStringList &args);

// A private diary (DiaryPassword.cpp): --password-file, --new-password-file
// and --recovery-key-file taken out of a diary command's arguments (the
// rest returned); the user's diary opened with them, or with the password
// asked on the terminal; the status of a failure (4 for a wrong password);
// diary protect, unprotect and password.
QStringList takeDiarySecrets(const QStringList &args);
std::unique_ptr<diary::DiaryStore> openDiary();
int diaryFailure(const std::exception_ptr &e, int notFoundStatus);
// The password a sealed export of the store is sealed under: the private
// diary's own (the one it was opened with, else asked and checked), or a new
// one for a diary that is not private.
QString sealingPassword(diary::DiaryStore &store);
// The password of a sealed file to import, from --password-file or asked.
QString sealedFilePassword(const QString &path);
int diaryProtect(const QStringList &args);
int diaryUnprotect(const QStringList &args);
int diaryPassword(const QStringList &args);

// The merged word list of the books enabled in the user's settings; none,
// with the reason on standard error, when the books cannot be read.
std::optional<dictionary::WordIndex> enabledWordList();

// Output helpers: UTF-8 on standard output and standard error.
void out(const QString &text);
void err(const QString &text);

} // namespace somnex::cli
