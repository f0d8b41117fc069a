// Daily copies of the diary: one a day, the last 14 kept, a failure reported
// once, and a copy restored by merging, never by replacing the diary.
#include "DiaryTestFiles.h"
#include "diary/Backup.h"
#include "diary/DiaryStore.h"
#include "diary/Exchange.h"
#include "diary/Synthetic.h"
#include "platform/error/Error.h"
#include "support/QtPrint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace somnex;
using namespace somnex::diary;

namespace {

class BackupTest : public ::testing::Test {
protected:
    QString diaryPath() const { return dir.filePath("Diary/diary.sqlite"); }
    QString backups() const { return dir.filePath("Diary/backups"); }
    QTemporaryDir dir;
};

QStringList names(const QStringList &paths)
{
    QStringList out;
    for (const QString &p : paths)
        out << QFileInfo(p).fileName();
    return out;
}

} // namespace

TEST_F(BackupTest, OneCopyADayTheLastFourteenKept)
{
    DiaryStore store(diaryPath());
    EXPECT_EQ(maybeBackup(store, QDate(2026, 12, 1)), "") << "an empty diary has nothing to copy";
    EXPECT_FALSE(QFileInfo::exists(backups()));
    store.addAll(syntheticEntries(3, 1));
    QDir().mkpath(backups());
    QFile other(backups() + "/notes.txt");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    const QDate first(2026, 12, 1);
    for (int day = 0; day < 16; ++day) {
        const QDate today = first.addDays(day);
        EXPECT_EQ(maybeBackup(store, today), backups() + "/diary-" + today.toString(Qt::ISODate) + ".sqlite");
        EXPECT_EQ(maybeBackup(store, today), "") << "one copy a day";
    }
    const QStringList kept = names(backupFiles(backups()));
    ASSERT_EQ(kept.size(), kBackupsKept);
    EXPECT_EQ(kept.first(), "diary-2026-12-16.sqlite");
    EXPECT_EQ(kept.last(), "diary-2026-12-03.sqlite");
    EXPECT_TRUE(QFileInfo::exists(backups() + "/notes.txt")) << "other files are left alone";
    EXPECT_EQ(diary_test::integrity(backups() + "/diary-2026-12-16.sqlite"), "ok");
    EXPECT_EQ(diary_test::entryCount(backups() + "/diary-2026-12-16.sqlite"), 3);
}

TEST_F(BackupTest, FailureIsReportedOnce)
{
    DiaryStore store(diaryPath());
    store.add(syntheticEntries(1, 1).first());
    // A file where the folder of copies should be.
    QFile blocker(backups());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    DailyBackup daily;
    const QDate today(2026, 12, 9);
    const QString first = daily.afterSave(store, today);
    EXPECT_TRUE(first.contains(backups())) << first.toStdString();
    EXPECT_TRUE(first.endsWith("Записи сохранены, но сегодняшней резервной копии нет.")) << first.toStdString();
    EXPECT_EQ(daily.afterSave(store, today), "");
    ASSERT_TRUE(QFile::remove(backups()));
    EXPECT_EQ(daily.afterSave(store, today), "");
    EXPECT_TRUE(QFileInfo::exists(backupFileFor(backups(), today)));
    // A new failure after a success is reported again.
    QDir(backups()).removeRecursively();
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(daily.afterSave(store, today.addDays(1)).isEmpty());
}

TEST_F(BackupTest, RestoreMergesWithoutLosingNewerWork)
{
    DiaryStore store(diaryPath());
    store.addAll(syntheticEntries(4, 2));
    const QString copy = backupNow(store, QDate(2026, 12, 9));
    const QByteArray copyHash = diary_test::fileHash(copy);
    const QList<EntrySummary> listed = store.list();
    const QString lost = listed[0].id;
    const QString edited = listed[1].id;
    store.purge(lost);
    Entry e = *store.entry(edited);
    e.text = "переписано после копии";
    store.update(e);
    const QString added = store.add(syntheticEntries(1, 3).first());

    const MergePlan plan = restoreFromBackup(store, copy);
    EXPECT_EQ(plan.done(), "Добавлено 1 запись, обновлено 0, уже есть 3");
    EXPECT_TRUE(store.entry(lost).has_value());
    EXPECT_EQ(store.entry(edited)->text, "переписано после копии");
    EXPECT_TRUE(store.entry(added).has_value());
    EXPECT_EQ(store.list().size(), 5);
    EXPECT_EQ(diary_test::fileHash(copy), copyHash) << "the copy is not changed";
    EXPECT_FALSE(QFileInfo::exists(copy + "-wal"));
}

TEST_F(BackupTest, DamagedCopyIsNamedAndNothingChanges)
{
    DiaryStore store(diaryPath());
    store.addAll(syntheticEntries(2, 2));
    const QByteArray before = diaryJson(store.allEntries());
    const QString bad = dir.filePath("bad.sqlite");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("SQLite format 3");
    f.close();
    for (const QString &copy : {bad, dir.filePath("absent.sqlite")}) {
        try {
            restoreFromBackup(store, copy);
            ADD_FAILURE() << copy.toStdString();
        } catch (const Error &e) {
            EXPECT_TRUE(e.description().contains("«" + copy + "»")) << e.description().toStdString();
        }
    }
    EXPECT_EQ(diaryJson(store.allEntries()), before);
}
