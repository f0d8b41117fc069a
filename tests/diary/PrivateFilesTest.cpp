// What holds the dreams is the user's alone, whatever the umask: the diary
// with its log, its copies and every export owner-only, and a diary left
// readable to others by an older version put right when it opens.
#include "diary/Backup.h"
#include "diary/DiaryStore.h"
#include "diary/Exchange.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace somnex::diary;

namespace {

unsigned modeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0xFFFF;
}

// The desktop's usual umask for the length of a test.
class UsualUmask {
public:
    UsualUmask() : old_(::umask(022)) {}
    ~UsualUmask() { ::umask(old_); }
    UsualUmask(const UsualUmask &) = delete;
    UsualUmask &operator=(const UsualUmask &) = delete;

private:
    mode_t old_;
};

// The user's data folder in a fresh temporary folder for one test.
class FreshDataHome {
public:
    FreshDataHome() : old_(qgetenv("XDG_DATA_HOME")) { qputenv("XDG_DATA_HOME", dir_.path().toLocal8Bit()); }
    ~FreshDataHome() { qputenv("XDG_DATA_HOME", old_); }
    FreshDataHome(const FreshDataHome &) = delete;
    FreshDataHome &operator=(const FreshDataHome &) = delete;

private:
    QTemporaryDir dir_;
    QByteArray old_;
};

Entry dream(const QString &text)
{
    Entry e;
    e.text = text;
    e.at = QDateTime(QDate(2026, 12, 9), QTime(5, 0), Qt::OffsetFromUTC, 3 * 3600);
    return e;
}

} // namespace

TEST(PrivateFiles, TheDiaryItsLogCopiesAndExportsAreTheOwnersAlone)
{
    const UsualUmask umask;
    const FreshDataHome home; // the user's diary folder, as the program makes it
    const QString path = DiaryStore::defaultPath();
    DiaryStore store(path);
    store.add(dream("Сон о море"));
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(modeOf(path + "-wal"), 0600u);
    EXPECT_EQ(modeOf(path + "-shm"), 0600u);
    EXPECT_EQ(modeOf(QFileInfo(path).absolutePath()), 0700u);

    const QString copy = backupNow(store, QDate(2026, 12, 9));
    EXPECT_EQ(modeOf(copy), 0600u);
    EXPECT_EQ(modeOf(QFileInfo(copy).absolutePath()), 0700u);

    QTemporaryDir out;
    const QList<Entry> all = store.allEntries();
    for (const ExportFormat f : {ExportFormat::Json, ExportFormat::Csv, ExportFormat::Html}) {
        const QString file = withExportExtension(f, out.filePath("export"));
        exportDiary(f, file, all, {}, {}, true);
        EXPECT_EQ(modeOf(file), 0600u) << file.toStdString();
    }
    const QString notes = out.filePath("notes");
    exportDiary(ExportFormat::Markdown, notes, all, {}, {}, true);
    EXPECT_EQ(modeOf(notes), 0700u);
    for (const QFileInfo &note : QDir(notes).entryInfoList(QDir::Files))
        EXPECT_EQ(modeOf(note.absoluteFilePath()), 0600u) << note.fileName().toStdString();
}

TEST(PrivateFiles, ADiaryLeftReadableToOthersIsPutRightWhenItOpens)
{
    const UsualUmask umask;
    const FreshDataHome home;
    const QString path = DiaryStore::defaultPath();
    const QString folder = QFileInfo(path).absolutePath();
    {
        DiaryStore store(path);
        store.add(dream("Сон о лесе"));
    }
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    const QByteArray before = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    DiaryStore again(path);
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(modeOf(folder), 0700u);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before) << "only the permissions change";

    // a diary elsewhere, chosen by the user: its folder is not ours to change
    QTemporaryDir elsewhere;
    ASSERT_EQ(::chmod(QFile::encodeName(elsewhere.path()).constData(), 0755), 0);
    DiaryStore there(elsewhere.filePath("my.sqlite"));
    there.add(dream("Сон"));
    EXPECT_EQ(modeOf(elsewhere.filePath("my.sqlite")), 0600u);
    EXPECT_EQ(modeOf(elsewhere.path()), 0755u);
}
