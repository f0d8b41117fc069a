// The book tool as a user runs it.
#include "dictionary/BookDatabase.h"
#include "dictionary/BookSchema.h"
#include "dictionary/BookSource.h"
#include "platform/jet/BookSignature.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
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

QString dataDir()
{
    return QStringLiteral(SOMNEX_BOOK_TEST_DATA);
}

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

    const Result dumped =
        tool(QStringLiteral("dump '%1' --icon '%2'").arg(book, dir.filePath(QStringLiteral("out.png"))));
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
    EXPECT_EQ(db.OpenRecordset(dictionary::kBookTable).RecordCount(), 2500);
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
        {"name: n\nheading: h\n== Вода\n=> Река; вода\n== Лес\n=> Поле\n",
         "bad.txt:4: в списке «=>» статьи «Вода» слово «Река»"},
        {"name: n\nheading: h\n== Вода\n=> Река; вода\n== Лес\n=> Поле\n",
         "bad.txt:6: в списке «=>» статьи «Лес» слово «Поле»"},
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

namespace {

struct ToolRun {
    int code = -1;
    QByteArray out, err;
};

ToolRun runTool(const QStringList &args, const QString &program = QStringLiteral(SOMNEX_BOOK_TOOL))
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// mdb-export's rows with its cells split (binary values left out, Null and
// empty text as "\x1d", dates in our form).
std::vector<QStringList> mdbExport(const QString &path, const QString &table)
{
    const ToolRun r = runTool({"-b", "strip", "-H", "-Q", "-d", "\x1f", "-R", "\x1e", "-0", "\x1d", "-T",
                               "%Y-%m-%d %H:%M:%S", path, table},
                              QStringLiteral("mdb-export"));
    std::vector<QStringList> rows;
    for (const QString &row : QString::fromUtf8(r.out).split(QChar(0x1e), Qt::SkipEmptyParts))
        rows.push_back(row.split(QChar(0x1f)));
    return rows;
}

} // namespace

// tables and export on Access-written files, checked against mdb-tables and
// mdb-export: the same tables, rows and column order; the same text, whole
// numbers, dates and Yes/No values.
TEST(BookTool, TablesAndExportAgreeWithMdbtools)
{
    const QString samples = QStringLiteral(SOMNEX_JET_SAMPLES);
    int compared = 0;
    for (const QString &file : QDir(samples).entryList({"*.mdb"}, QDir::Files)) {
        const QString path = samples + u'/' + file;
        const ToolRun tables = runTool({"tables", path});
        ASSERT_EQ(tables.code, 0) << tables.err.toStdString();
        EXPECT_EQ(tables.out, runTool({"-1", path}, QStringLiteral("mdb-tables")).out) << file.toStdString();
        for (const QString &table : QString::fromUtf8(tables.out).split(u'\n', Qt::SkipEmptyParts)) {
            const ToolRun exported = runTool({"export", path, table});
            ASSERT_EQ(exported.code, 0) << exported.err.toStdString();
            const QList<QByteArray> lines = exported.out.split('\n');
            const auto theirs = mdbExport(path, table);
            ASSERT_EQ(lines.size() - 1, static_cast<qsizetype>(theirs.size())) << file.toStdString();
            const QByteArray header = runTool({"-Q", path, table}, QStringLiteral("mdb-export")).out.split('\n')[0];
            const QList<QByteArray> names = header.split(',');
            for (std::size_t r = 0; r < theirs.size(); ++r) {
                const QByteArray &line = lines[static_cast<qsizetype>(r)];
                QJsonParseError error;
                const QJsonObject row = QJsonDocument::fromJson(line, &error).object();
                ASSERT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
                ASSERT_EQ(row.size(), names.size());
                qsizetype at = 0;
                for (int c = 0; c < names.size(); ++c) {
                    const QString name = QString::fromUtf8(names[c]);
                    const qsizetype found = line.indexOf("\"" + names[c] + "\":", at);
                    EXPECT_GE(found, at) << "keys in table order: " << name.toStdString();
                    at = std::max(at, found);
                    const QJsonValue v = row.value(name);
                    const QString &want = theirs[r][c];
                    if (v.isString() && !want.isEmpty() && want != QStringLiteral("\x1d")) {
                        // text and dates; binary values are stripped by mdb-export
                        EXPECT_EQ(v.toString(), want) << file.toStdString() << " " << name.toStdString();
                        ++compared;
                    } else if (v.isBool()) {
                        EXPECT_EQ(v.toBool() ? "1" : "0", want) << name.toStdString();
                    } else if (v.isDouble() && v.toDouble() == std::trunc(v.toDouble()) && !want.contains(u'.')
                               && !want.contains(u'e')) {
                        EXPECT_EQ(QString::number(v.toInteger()), want) << name.toStdString();
                    } else if (v.isNull()) {
                        EXPECT_EQ(want, QStringLiteral("\x1d")) << name.toStdString();
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 40);
}

TEST(BookTool, ExportKeepsEveryCharacterAndReportsFailures)
{
    QTemporaryDir dir;
    dictionary::BookContent b;
    b.name = b.heading = QStringLiteral("Книга");
    const QString odd =
        QString(QChar(0)) + QStringLiteral("\"\\\n\t") + QChar(0x1f) + QChar(0xD800) + QStringLiteral("я😀");
    b.entries.push_back({odd, QStringLiteral("текст"), std::nullopt, 0});
    const QString book = dir.filePath("a.book");
    write(book, dictionary::buildBookImage(b));
    ASSERT_TRUE(jet::IsValidVersion(book));

    const ToolRun tables = runTool({"tables", book});
    EXPECT_EQ(tables.code, 0);
    EXPECT_EQ(tables.out, "Book\nConfig\n");
    const ToolRun exported = runTool({"export", book, "Book"});
    ASSERT_EQ(exported.code, 0) << exported.err.toStdString();
    EXPECT_TRUE(exported.out.startsWith("{\"List\":\"\\u0000\\\"\\\\\\n\\t\\u001f\\ud800я😀\",\"Text\":\""))
        << exported.out.toStdString();
    EXPECT_TRUE(exported.out.endsWith(",\"Links\":null}\n")) << exported.out.toStdString();
    const QByteArray before = readAll(book);
    EXPECT_TRUE(before.startsWith("DB1 ZUL Somnex book v3")) << "the book is never written";

    QByteArray cut = before;
    cut.chop(100);
    write(dir.filePath("cut.book"), cut);
    struct Case {
        QStringList args;
        const char *message;
    };
    const Case cases[] = {
        {{"export", dir.filePath("none.mdb"), "Book"}, "none.mdb: не удаётся открыть"},
        {{"tables", dir.filePath("cut.book")}, "cut.book: Длина файла"},
        {{"export", book, "Нет"}, "a.book: В базе данных нет таблицы «Нет»."},
    };
    for (const Case &c : cases) {
        const ToolRun r = runTool(c.args);
        EXPECT_EQ(r.code, 1) << c.message;
        EXPECT_TRUE(QString::fromUtf8(r.err).contains(QString::fromUtf8(c.message))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}
