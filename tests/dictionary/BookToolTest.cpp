// The book tool as a user runs it.
#include "dictionary/BookDatabase.h"
#include "platform/jet/BookSignature.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

using namespace somnex;

namespace {

struct Result {
    int code = -1;
    QByteArray out;
};

Result tool(const QString &args)
{
    const QString exe = QStringLiteral(SOMNEX_BOOK_TOOL);
    Result r;
    FILE *p = ::popen((QStringLiteral("'%1' %2 2>&1").arg(exe, args)).toLocal8Bit().constData(), "r");
    if (!p)
        return r;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, static_cast<qsizetype>(n));
    const int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

QString dataDir() { return QStringLiteral(SOMNEX_BOOK_TEST_DATA); }

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(BookTool, BuildDumpListInfo)
{
    QTemporaryDir dir;
    // the sample without its comments is in canonical form
    QByteArray canonical;
    for (const QByteArray &line : readAll(dataDir() + QStringLiteral("/sample.txt")).split('\n'))
        if (!line.startsWith('#'))
            canonical += line + '\n';
    canonical.chop(1);
    write(dir.filePath(QStringLiteral("sample.txt")), canonical);
    QFile::copy(dataDir() + QStringLiteral("/sample.png"), dir.filePath(QStringLiteral("sample.png")));

    const QString book = dir.filePath(QStringLiteral("sample.book"));
    const Result built = tool(QStringLiteral("build '%1' '%2'").arg(dir.filePath(QStringLiteral("sample.txt")), book));
    ASSERT_EQ(built.code, 0) << built.out.constData();
    EXPECT_TRUE(jet::IsValidVersion(book));

    const Result dumped = tool(QStringLiteral("dump '%1' --icon '%2'").arg(book, dir.filePath(QStringLiteral("out.png"))));
    EXPECT_EQ(dumped.code, 0);
    EXPECT_EQ(dumped.out, canonical);
    const QImage icon(dir.filePath(QStringLiteral("out.png")));
    EXPECT_EQ(icon.size(), QImage(dataDir() + QStringLiteral("/sample.png")).size());

    const Result list = tool(QStringLiteral("list '%1'").arg(book));
    EXPECT_EQ(QString::fromUtf8(list.out), QStringLiteral("Вода\nГроза\nДождь\nЁлка\nМоре\nРека\n"));
    const Result prefix = tool(QStringLiteral("list '%1' --prefix ДО").arg(book));
    EXPECT_EQ(QString::fromUtf8(prefix.out), QStringLiteral("Дождь\n"));

    const Result info = tool(QStringLiteral("info '%1'").arg(book));
    EXPECT_EQ(info.code, 0);
    EXPECT_TRUE(QString::fromUtf8(info.out).contains(QStringLiteral("название: Проверочный сонник")));
    EXPECT_TRUE(QString::fromUtf8(info.out).contains(QStringLiteral("статей: 6")));

    const QString big = dir.filePath(QStringLiteral("big.book"));
    ASSERT_EQ(tool(QStringLiteral("synth '%1' --words 2500 --seed 9").arg(big)).code, 0);
    const auto db = dictionary::DBEngine::instance().OpenDatabase(big);
    EXPECT_EQ(db.OpenRecordset(QStringLiteral("Book")).RecordCount(), 2500);
}

TEST(BookTool, BadInputFailsAndLeavesNoBook)
{
    QTemporaryDir dir;
    struct Case {
        const char *source;
        const char *expect;
    };
    const Case cases[] = {
        {"name: n\nheading: h\n== a\nтекст 日本\n", "bad.txt:4:"},
        {"name: n\nheading: h\nicon: missing.png\n== a\n", "bad.txt:3:"},
        {"name: n\nheading: h\n== Вода\n== вода\n", "bad.txt:4:"},
        // every see-also name that leads nowhere, each on a line of its own
        {"name: n\nheading: h\n== Вода\n=> Река; вода\n== Лес\n=> Поле\n", "bad.txt:4: в списке «=>» статьи «Вода» слово «Река»"},
        {"name: n\nheading: h\n== Вода\n=> Река; вода\n== Лес\n=> Поле\n", "bad.txt:6: в списке «=>» статьи «Лес» слово «Поле»"},
    };
    for (const auto &c : cases) {
        write(dir.filePath(QStringLiteral("bad.txt")), QByteArray(c.source));
        const QString out = dir.filePath(QStringLiteral("bad.book"));
        const Result r = tool(QStringLiteral("build '%1' '%2'").arg(dir.filePath(QStringLiteral("bad.txt")), out));
        EXPECT_NE(r.code, 0) << c.source;
        EXPECT_TRUE(r.out.contains(QByteArray(c.expect))) << r.out.constData();
        EXPECT_FALSE(QFile::exists(out)) << c.source;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "leftover files for " << c.source;
    }
    EXPECT_NE(tool(QStringLiteral("build '%1'").arg(dir.filePath(QStringLiteral("none.txt")))).code, 0);
    EXPECT_NE(tool(QStringLiteral("dump '%1'").arg(dir.filePath(QStringLiteral("bad.txt")))).code, 0);
    EXPECT_NE(tool(QStringLiteral("frobnicate")).code, 0);
}
