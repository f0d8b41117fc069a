#pragma once
// Daily copies of the diary: on the first change of each day the window takes
// a copy (SQLite's online backup) into backups/diary-YYYY-MM-DD.sqlite beside
// the diary, and keeps the last 14. A copy is restored by merging its entries
// into the diary, never by replacing the diary.

#include "diary/DiaryStore.h"
#include "diary/Exchange.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace somnex::diary {

// How many daily copies are kept.
inline constexpr int kBackupsKept = 14;

// The folder of the copies of the diary at storePath: "<its folder>/backups".
QString backupFolder(const QString &storePath);
// The copy of a day: "<folder>/diary-YYYY-MM-DD.sqlite".
QString backupFileFor(const QString &folder, const QDate &day);
// The copies in the folder, newest day first (only files named as
// backupFileFor names them).
QStringList backupFiles(const QString &folder);

// The copies of the diary at storePath that hold its words in plain text:
// daily copies, the copy kept before an upgrade and a damaged diary moved
// aside, made before the diary became private (copies made since are
// sealed, as the diary is). What to offer to delete once it is private.
QStringList plainCopies(const QString &storePath);

// Takes today's copy now, replacing one already taken today, then keeps only
// the newest kBackupsKept. Returns the copy's path. Throws somnex::Error with
// a Russian message when the copy cannot be written (the diary is untouched).
QString backupNow(const DiaryStore &store, const QDate &today);
// Takes today's copy when there is none yet (and the diary exists); returns
// the copy's path, or "" when nothing was to be done. Throws as backupNow.
QString maybeBackup(const DiaryStore &store, const QDate &today);

// What the window keeps between saves: it calls afterSave after each
// successful save; the first failure returns its Russian message to show,
// later failures return "" until a copy succeeds again.
class DailyBackup {
public:
    QString afterSave(const DiaryStore &store, const QDate &today);

private:
    bool failureShown_ = false;
};

// Merges the entries of a copy into the diary (as importing does: nothing is
// deleted, nothing newer overwritten); the copy itself is not changed.
// Returns what was merged. Throws somnex::Error naming the copy when it
// cannot be read.
MergePlan restoreFromBackup(DiaryStore &store, const QString &backupPath);

} // namespace somnex::diary
