#include "platform/core/AtomicFile.h"

#include "platform/error/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace somnex;

namespace {

QByteArray contentOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

unsigned modeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0u;
}

// Leftovers of a write: anything in the folder but the files named.
QStringList othersIn(const QString &folder, const QStringList &expected)
{
    QStringList out = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &e : expected)
        out.removeAll(e);
    return out;
}

// While alive, files may grow to at most `bytes`: a write beyond fails as
// on a full disk (EFBIG), whoever runs the test (root ignores permissions).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit r = saved_;
        r.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &r);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

} // namespace

TEST(AtomicFile, ReplacesWholeKeepsTheModeAndLeavesNothingBehind)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.json");
    writeFileAtomically(path, "first");
    EXPECT_EQ(contentOf(path), "first");
    ::chmod(QFile::encodeName(path).constData(), 0600);
    writeFileAtomically(path, "second, longer than the first");
    EXPECT_EQ(contentOf(path), "second, longer than the first");
    EXPECT_EQ(modeOf(path), 0600u) << "the replaced file's mode is kept";
    writeFileAtomically(path, "", {.mode = 0640u});
    EXPECT_EQ(contentOf(path), "");
    EXPECT_EQ(modeOf(path), 0640u);
    EXPECT_TRUE(othersIn(dir.path(), {"settings.json"}).isEmpty());

    // a name already taken is refused when replacing is not asked for
    try {
        writeFileAtomically(path, "third", {.replace = false});
        ADD_FAILURE() << "an existing file was replaced";
    } catch (const Error &e) {
        EXPECT_TRUE(e.description().contains(path));
        EXPECT_TRUE(e.description().contains("файл уже существует")) << e.description().toStdString();
    }
    EXPECT_EQ(contentOf(path), "");
    writeFileAtomically(dir.filePath("new.md"), "note", {.replace = false});
    EXPECT_EQ(contentOf(dir.filePath("new.md")), "note");
    EXPECT_TRUE(othersIn(dir.path(), {"settings.json", "new.md"}).isEmpty());
}

TEST(AtomicFile, AFullDiskLeavesTheOldFileIntactAndNamesTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("diary.json");
    writeFileAtomically(path, "the old diary");
    const QByteArray big(qsizetype(64) * 1024, 'x');
    for (bool unsynced : {false, true}) {
        try {
            const FileSizeLimit limit(4096);
            if (unsynced)
                writeFileUnsynced(path, big);
            else
                writeFileAtomically(path, big);
            ADD_FAILURE() << "the write beyond the limit succeeded";
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), kAtomicWriteError);
            EXPECT_TRUE(e.description().contains(path)) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains("файл слишком велик")) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains("Прежний файл не изменён"));
        }
        EXPECT_EQ(contentOf(path), "the old diary");
        EXPECT_TRUE(othersIn(dir.path(), {"diary.json"}).isEmpty()) << "no temporary file is left";
    }
    // a folder that does not exist
    try {
        writeFileAtomically(dir.filePath("missing/x.json"), "x");
        ADD_FAILURE();
    } catch (const Error &e) {
        EXPECT_TRUE(e.description().contains("нет такого файла или папки")) << e.description().toStdString();
    }
    // a function that gives up leaves nothing either
    EXPECT_THROW(commitFileAtomically(path, [](int, const QString &) { throw Error(QStringLiteral("отказ")); }), Error);
    EXPECT_EQ(contentOf(path), "the old diary");
    EXPECT_TRUE(othersIn(dir.path(), {"diary.json"}).isEmpty());
}

TEST(AtomicFile, SystemErrorsAreSaidInRussianWhateverTheLocale)
{
    for (int e : {ENOSPC, EROFS, EACCES, ENOENT, EEXIST, EIO, EFBIG})
        EXPECT_FALSE(systemErrorText(e).contains(QRegularExpression("[A-Za-z]"))) << e;
    EXPECT_EQ(systemErrorText(ENOSPC), "на диске нет места");
    EXPECT_EQ(systemErrorText(123456), "системная ошибка 123456");
}
