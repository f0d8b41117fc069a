// The diary under faults: writers killed at any moment, writers at once, a
// full disk and a read-only folder.
#include "diary/DiaryStore.h"
#include "diary/DiaryTestFiles.h"
#include "platform/error/Error.h"
#include "support/QtPrint.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace somnex::diary;
using namespace diary_test;

namespace {

QString cli()
{
    return qEnvironmentVariable("SOMNEX_BUILD_DIR") + "/bin/somnex-cli";
}

class CliEnvironment {
public:
    QProcessEnvironment env() const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("XDG_DATA_HOME", home.path() + "/data");
        e.insert("XDG_CONFIG_HOME", home.path() + "/config");
        e.insert("SOMNEX_DATA_DIR", home.path() + "/share"); // no books: no symbols, a quicker start
        e.insert("TZ", "Europe/Moscow");
        return e;
    }
    QString diary() const { return home.path() + "/data/ZUL Programming/ZUL Somnex/3.1/Diary/diary.sqlite"; }
    QTemporaryDir home;
};

// The ids a run of "diary add" reported: whole lines only (a killed process
// may have written part of one).
QStringList reportedIds(const QByteArray &out)
{
    QStringList ids;
    for (const QByteArray &line : out.split('\n'))
        if (line.size() == 36)
            ids << QString::fromLatin1(line);
    return ids;
}

Entry dream(const QString &text)
{
    Entry e;
    e.text = text;
    e.at = QDateTime(QDate(2026, 12, 9), QTime(3, 0), Qt::OffsetFromUTC, 3 * 3600);
    e.place = Place{"", 55.75, 37.58};
    return e;
}

// A small memory file system of our own (root only); skipped without it.
class TmpfsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mountPoint = dir.path() + "/fs";
        QDir().mkpath(mountPoint);
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=16k", "tmpfs", mountPoint}) != 0)
            GTEST_SKIP() << "a tmpfs cannot be mounted here (needs root)";
        mounted = true;
    }
    void TearDown() override
    {
        if (mounted)
            QProcess::execute("umount", {"-l", mountPoint});
    }
    bool remount(const QString &options)
    {
        return QProcess::execute("mount", {"-o", "remount," + options, mountPoint}) == 0;
    }
    QString path() const { return mountPoint + "/Diary/diary.sqlite"; }
    QTemporaryDir dir;
    QString mountPoint;
    bool mounted = false;
};

} // namespace

// Hundreds of writers killed at random moments: every id a writer reported
// is in the diary afterwards, and the file is sound.
TEST(DiaryFaults, WritersKilledAtAnyMomentLoseNothingTheyReported)
{
    CliEnvironment home;
    constexpr int kWriters = 200;
    constexpr int kAtOnce = 6;
    QRandomGenerator random(20261209);
    QStringList reported;
    int started = 0, killed = 0;
    // Kills land from half a lone run to four of them (six writers share
    // the processors): before, while and after the diary is opened, the
    // entry written and its id printed.
    QElapsedTimer once;
    once.start();
    {
        QProcess p;
        p.setProcessEnvironment(home.env());
        p.start(cli(), {"diary", "add", "--lat", "55.75", "--lon", "37.58", "Первый сон"});
        ASSERT_TRUE(p.waitForFinished(30000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }
    const int whole = std::max(30, static_cast<int>(once.elapsed()));
    QElapsedTimer total;
    total.start();
    while (started < kWriters && total.elapsed() < 150000) {
        std::vector<std::unique_ptr<QProcess>> batch;
        std::vector<int> delays;
        for (int i = 0; i < kAtOnce; ++i) {
            auto p = std::make_unique<QProcess>();
            p->setProcessEnvironment(home.env());
            p->start(cli(), {"diary", "add", "--lat", "55.75", "--lon", "37.58",
                             QString("Сон писателя %1: собака бежала к реке").arg(started + i)});
            batch.push_back(std::move(p));
            delays.push_back(whole / 2 + static_cast<int>(random.bounded(whole * 4 - whole / 2)));
        }
        started += kAtOnce;
        std::vector<size_t> order(batch.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return delays[a] < delays[b]; });
        QElapsedTimer t;
        t.start();
        for (size_t i : order) {
            while (t.elapsed() < delays[i])
                QThread::msleep(1);
            if (batch[i]->state() != QProcess::NotRunning) {
                batch[i]->kill(); // SIGKILL
                ++killed;
            }
        }
        for (auto &p : batch) {
            p->waitForFinished(30000);
            reported << reportedIds(p->readAllStandardOutput());
        }
    }
    DiaryStore store(home.diary());
    const std::string tally = QString("%1 writers, %2 killed, %3 reported, %4 stored")
                                  .arg(started)
                                  .arg(killed)
                                  .arg(reported.size())
                                  .arg(store.list().size())
                                  .toStdString();
    std::printf("%s\n", tally.c_str());
    SCOPED_TRACE(tally);
    EXPECT_GE(started, kWriters);
    EXPECT_GT(killed, 0);
    ASSERT_GT(reported.size(), 0);

    // A writer may also have committed and been killed before it printed:
    // more entries than ids reported is right, fewer is a loss.
    for (const QString &id : reported)
        EXPECT_TRUE(store.entry(id).has_value()) << id.toStdString();
    EXPECT_GE(store.list().size(), reported.size());
    EXPECT_EQ(integrity(home.diary()), "ok");
}

TEST(DiaryFaults, TwoWritingProcessesAtOnceBothSucceed)
{
    CliEnvironment home;
    constexpr int kEach = 12;
    const QString script =
        QString("for i in $(seq %1); do \"$0\" diary add \"Писатель $1, сон $i\" >>\"$2\" || exit 1; "
                "\"$0\" diary list >/dev/null || exit 1; done")
            .arg(kEach);
    QProcess a, b;
    for (auto [p, name] : {std::pair{&a, "a"}, std::pair{&b, "b"}}) {
        p->setProcessEnvironment(home.env());
        p->start("sh", {"-c", script, cli(), name, home.home.path() + "/ids-" + name});
    }
    ASSERT_TRUE(a.waitForFinished(120000));
    ASSERT_TRUE(b.waitForFinished(120000));
    EXPECT_EQ(a.exitCode(), 0) << a.readAllStandardError().toStdString();
    EXPECT_EQ(b.exitCode(), 0) << b.readAllStandardError().toStdString();
    EXPECT_FALSE(a.readAllStandardError().contains("занят"));
    QStringList ids;
    for (const char *name : {"a", "b"}) {
        QFile f(home.home.path() + "/ids-" + name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        ids << reportedIds(f.readAll());
    }
    EXPECT_EQ(ids.size(), 2 * kEach);
    DiaryStore store(home.diary());
    EXPECT_EQ(store.list().size(), 2 * kEach);
    for (const QString &id : ids)
        EXPECT_TRUE(store.entry(id).has_value());
}

TEST_F(TmpfsTest, AFullDiskWritesNothingAndTheNextWriteSucceedsWhenSpaceComesBack)
{
    // Too small even for a new diary: nothing is left behind.
    const somnex::Error none = thrown([&] { DiaryStore(path()).add(dream("Первый")); });
    EXPECT_EQ(none.number(), kErrorWrite);
    EXPECT_TRUE(none.description().contains("на диске нет места")) << none.description().toStdString();
    EXPECT_TRUE(none.description().endsWith("Ничего не записано.")) << none.description().toStdString();
    EXPECT_FALSE(QFileInfo::exists(path()));
    EXPECT_EQ(QDir(mountPoint + "/Diary").entryList(QDir::Files | QDir::Hidden), QStringList{});

    ASSERT_TRUE(remount("size=2m"));
    DiaryStore store(path());
    int written = 0;
    somnex::Error full(0, {}, {});
    const QString big = QString("Длинный сон про собаку и реку. ").repeated(4000); // ~ 200 KB
    for (int i = 0; i < 40; ++i) {
        full = thrown([&] { store.add(dream(QString::number(i) + big)); });
        if (full.number() != 0)
            break;
        ++written;
    }
    ASSERT_EQ(full.number(), kErrorWrite) << "the disk never filled";
    EXPECT_TRUE(full.description().contains("на диске нет места")) << full.description().toStdString();
    EXPECT_GT(written, 0);
    EXPECT_EQ(store.list().size(), written);
    EXPECT_EQ(DiaryStore(path()).list().size(), written);

    ASSERT_TRUE(remount("size=64m"));
    store.add(dream("После освобождения места"));
    EXPECT_EQ(store.list().size(), written + 1);
    EXPECT_EQ(integrity(path()), "ok");
}

TEST_F(TmpfsTest, AReadOnlyFolderGivesAReasonAndWritesAgainWhenWritable)
{
    ASSERT_TRUE(remount("ro"));
    const somnex::Error noFolder = thrown([&] { DiaryStore(path()).add(dream("Первый")); });
    EXPECT_EQ(noFolder.number(), kErrorWrite);
    EXPECT_EQ(noFolder.description(),
              QString("Не удалось записать в дневник снов «%1»: не удаётся создать папку «%2». Ничего не записано.")
                  .arg(path(), mountPoint + "/Diary"));

    ASSERT_TRUE(remount("rw,size=4m"));
    DiaryStore(path()).add(dream("Первый"));
    const QByteArray hash = fileHash(path());
    ASSERT_TRUE(remount("ro"));
    {
        // read as it stands, and said why it cannot be written
        DiaryStore store(path());
        EXPECT_EQ(store.readOnlyReason(), "файловая система только для чтения");
        ASSERT_EQ(store.list().size(), 1);
        EXPECT_EQ(store.search({.text = "первый"}).size(), 1);
    }
    const somnex::Error readOnly = thrown([&] {
        DiaryStore store(path());
        store.add(dream("Второй"));
    });
    EXPECT_EQ(readOnly.number(), kErrorReadOnly);
    EXPECT_EQ(readOnly.description(),
              QString("Дневник снов «%1» открыт только для чтения (файловая система только для чтения): изменение "
                      "не сохранено.")
                  .arg(path()));
    EXPECT_EQ(fileHash(path()), hash);

    ASSERT_TRUE(remount("rw"));
    DiaryStore store(path());
    store.add(dream("Второй"));
    EXPECT_EQ(store.list().size(), 2);
}
