// Jet 4 files written by Access (see data/README.md), read by our reader and
// by mdbtools' command-line tools: the same tables in the same order, the
// same rows in the same order, the same text in every text and memo cell.
#include "platform/jet/JetFile.h"

#include "platform/error/Error.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace somnex::jet;

namespace {

const QString kSamples = QStringLiteral(SOMNEX_JET_SAMPLES);

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray tool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return p.readAllStandardOutput();
}

// mdb-export's rows, its cells split; Null and empty text both read "\x1d";
// binary values are left out (they may hold the separators).
std::vector<QStringList> exported(const QString &path, const QString &table)
{
    const QString text = QString::fromUtf8(
        tool(QStringLiteral("mdb-export"),
             {QStringLiteral("-b"), QStringLiteral("strip"), QStringLiteral("-H"), QStringLiteral("-Q"),
              QStringLiteral("-d"), QStringLiteral("\x1f"), QStringLiteral("-R"), QStringLiteral("\x1e"),
              QStringLiteral("-0"), QStringLiteral("\x1d"), path, table}));
    std::vector<QStringList> rows;
    for (const QString &row : text.split(QChar(0x1e), Qt::SkipEmptyParts))
        rows.push_back(row.split(QChar(0x1f)));
    return rows;
}

// Compares every text and memo cell of every user table; returns the number
// of cells compared and of rows.
std::pair<int, int> compareWithMdbExport(const QString &path)
{
    JetFile db(readFile(path));
    const QStringList names = db.tableNames();
    EXPECT_EQ(names.join(u'\n') + u'\n',
              QString::fromUtf8(tool(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), path})))
        << path.toStdString();
    int cells = 0, rows = 0;
    for (const QString &name : names) {
        const TableData t = db.readTable(name);
        const auto theirs = exported(path, name);
        EXPECT_EQ(t.rowCount(), static_cast<qsizetype>(theirs.size())) << name.toStdString();
        if (t.rowCount() != static_cast<qsizetype>(theirs.size()))
            continue;
        rows += static_cast<int>(t.rowCount());
        for (qsizetype r = 0; r < t.rowCount(); ++r) {
            const QStringList &row = theirs[static_cast<std::size_t>(r)];
            EXPECT_EQ(row.size(), t.columns().size()) << name.toStdString() << " row " << r;
            for (int c = 0; c < t.columns().size() && c < row.size(); ++c) {
                if (!t.isText(c))
                    continue;
                const auto ours = t.value(r, c);
                const QString mine = ours && !ours->isEmpty() ? *ours : QStringLiteral("\x1d");
                EXPECT_EQ(mine, row[c]) << path.toStdString() << " " << name.toStdString() << " row " << r << " column "
                                        << t.columns()[c].toStdString();
                ++cells;
            }
        }
    }
    return {cells, rows};
}

uint16_t rowOffset(const QByteArray &image, qsizetype page, int row)
{
    const qsizetype at = qsizetype(page) * 4096 + 14 + 2 * qsizetype(row);
    return static_cast<uint16_t>(static_cast<uint8_t>(image[at]) | static_cast<uint8_t>(image[at + 1]) << 8);
}

} // namespace

TEST(JetRealFiles, EveryTextCellAgreesWithMdbExport)
{
    struct Case {
        const char *file;
        const char *what;
        int minRows;
    };
    const Case cases[] = {
        {"delColTestV2000.mdb", "a table with deleted columns", 2},
        {"overflowTestV2000.mdb", "rows moved to another page after an edit", 2},
        {"fixedTextTestV2000.mdb", "compressed text", 2},
        {"test2V2000.mdb", "many columns of many types", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = kSamples + u'/' + QLatin1String(c.file);
        ASSERT_TRUE(QFile::exists(path)) << c.file;
        const auto [cells, rows] = compareWithMdbExport(path);
        EXPECT_GE(rows, c.minRows) << c.file;
        EXPECT_GT(cells, 0) << c.file;
    }
}

// The sample's moved rows are really there: offsets flagged 0x8000 alone
// (read) and 0x4000 alone (the forwarding pointers, skipped).
TEST(JetRealFiles, TheSampleReallyHasMovedRows)
{
    const QByteArray image = readFile(kSamples + QStringLiteral("/overflowTestV2000.mdb"));
    int moved = 0, forwards = 0;
    for (qsizetype p = 1; p < image.size() / 4096; ++p) {
        if (image[p * 4096] != 1 || image.mid(p * 4096 + 4, 4) == "LVAL")
            continue;
        const int rows = static_cast<uint8_t>(image[p * 4096 + 12]) | static_cast<uint8_t>(image[p * 4096 + 13]) << 8;
        for (int r = 0; r < rows; ++r) {
            const uint16_t o = rowOffset(image, p, r);
            moved += (o & 0xC000) == 0x8000;
            forwards += (o & 0xC000) == 0x4000;
        }
    }
    EXPECT_GT(moved, 0);
    EXPECT_EQ(moved, forwards);
}

// Damage that libmdb's own readers would loop on or pass over in silence.
TEST(JetRealFiles, DamageIsAnError)
{
    const QByteArray good = readFile(kSamples + QStringLiteral("/delColTestV2000.mdb"));
    ASSERT_FALSE(good.isEmpty());
    auto fails = [](const QByteArray &image) {
        try {
            JetFile db(image);
            for (const QString &t : db.tableNames())
                db.readTable(t);
            return QString();
        } catch (const somnex::Error &e) {
            return e.description();
        }
    };
    ASSERT_EQ(fails(good), QString());

    // every property blob on a long-value page with a zero record length
    // (mdb-tables prints warnings for ever on this file)
    QByteArray props = good;
    for (qsizetype at = props.indexOf(QByteArray("MR2\0", 4)); at >= 0;
         at = props.indexOf(QByteArray("MR2\0", 4), at + 4))
        if (props.mid(at / 4096 * 4096 + 4, 4) == "LVAL")
            props.replace(at + 4, 4, QByteArray(4, '\0'));
    // a data page of the user table zeroed
    QByteArray zeroed = good;
    qsizetype dataPage = -1;
    for (qsizetype p = good.size() / 4096 - 1; p > 2 && dataPage < 0; --p) {
        const qsizetype owner =
            static_cast<uint8_t>(good[p * 4096 + 4]) | static_cast<uint8_t>(good[p * 4096 + 5]) << 8;
        if (good[p * 4096] == 1 && good.mid(p * 4096 + 4, 4) != "LVAL" && owner * 4096 + 40 < good.size()
            && good[owner * 4096] == 2 && good[owner * 4096 + 40] == 0x4E)
            dataPage = p;
    }
    ASSERT_GT(dataPage, 0);
    zeroed.replace(dataPage * 4096, 4096, QByteArray(4096, '\0'));
    // the catalogue's long values pointed at a table's data page instead of
    // a long-value page
    QByteArray owner = good;
    for (qsizetype p = 0; p < owner.size() / 4096; ++p)
        if (owner.mid(p * 4096 + 4, 4) == "LVAL")
            owner.replace(p * 4096 + 4, 4, QByteArray::fromHex("02000000"));

    struct Case {
        const char *what;
        QByteArray image;
        const char *reason;
    };
    const Case cases[] = {
        {"cut mid-page", good.left(good.size() - 1000), "не кратна размеру страницы"},
        {"cut at a page boundary", good.left(good.size() / 2 / 4096 * 4096), "вне файла"},
        {"zero-length property record", props, "длина записи свойств 0"},
        {"zeroed data page", zeroed, "не является страницей данных этой таблицы"},
        {"long value on a page of another owner", owner, "не является страницей длинных значений"},
    };
    for (const Case &c : cases) {
        const QString why = fails(c.image);
        EXPECT_TRUE(why.contains(QString::fromUtf8(c.reason))) << c.what << ": " << why.toStdString();
    }
}
