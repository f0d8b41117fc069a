#include "platform/jet/JetFile.h"
#include "platform/jet/JetWriter.h"

#include "platform/error/Error.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using namespace somnex::jet;

namespace {

QString repeat(const QString &s, int n)
{
    QString out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

// Values that every reader must give back: short and long memos (in the row,
// on one long-value page, on a chain of pages), empty, Null, Cyrillic.
std::vector<TableDefinition> sampleTables(int bulkRows)
{
    TableDefinition book{QStringLiteral("Book"),
                         {{QStringLiteral("List"), ColumnKind::Text},
                          {QStringLiteral("Text"), ColumnKind::Memo},
                          {QStringLiteral("Links"), ColumnKind::Memo}},
                         {}};
    book.rows.push_back({QStringLiteral("Вода"), QStringLiteral("Видеть во сне чистую воду – к радости."),
                         QStringLiteral("Река; Море.")});
    book.rows.push_back({QStringLiteral("Ёлка"), QString(""), std::nullopt});
    book.rows.push_back({QStringLiteral("Длинное"), repeat(QStringLiteral("Сон о дороге. "), 260),
                         repeat(QStringLiteral("Путь; "), 150)});
    book.rows.push_back({QStringLiteral("Среднее"), repeat(QStringLiteral("abcdefghij"), 150), QStringLiteral("x.")});
    book.rows.push_back({QString(255, QChar(u'я')), QStringLiteral("max"), QString()});
    for (int i = 0; i < bulkRows; ++i)
        book.rows.push_back({QStringLiteral("Слово %1").arg(i), repeat(QStringLiteral("ж%1 ").arg(i % 10), 300),
                             i % 3 ? std::optional<QString>(QStringLiteral("См. %1.").arg(i)) : std::nullopt});
    TableDefinition config{QStringLiteral("Config"),
                           {{QStringLiteral("ToolName"), ColumnKind::Text},
                            {QStringLiteral("TolkName"), ColumnKind::Text},
                            {QStringLiteral("Color"), ColumnKind::Text},
                            {QStringLiteral("Icon"), ColumnKind::Memo}},
                           {{QStringLiteral("Народный сонник"), QStringLiteral("Народный"), std::nullopt,
                             QString("")}}};
    return {book, config};
}

QByteArray run(const QString &command)
{
    QByteArray out;
    FILE *p = ::popen(command.toLocal8Bit().constData(), "r");
    if (!p)
        return out;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, static_cast<qsizetype>(n));
    ::pclose(p);
    return out;
}

void expectSameRows(JetFile &db, const TableDefinition &definition, const NarrowColumns &narrow = {})
{
    const TableData t = db.readTable(definition.name, narrow);
    ASSERT_EQ(t.rowCount(), static_cast<qsizetype>(definition.rows.size())) << definition.name.toStdString();
    ASSERT_EQ(t.columns().size(), static_cast<qsizetype>(definition.columns.size()));
    for (std::size_t c = 0; c < definition.columns.size(); ++c) {
        const int col = t.column(definition.columns[c].name);
        ASSERT_GE(col, 0) << definition.columns[c].name.toStdString();
        for (std::size_t r = 0; r < definition.rows.size(); ++r) {
            const auto &want = definition.rows[r][c];
            const auto got = t.value(static_cast<qsizetype>(r), col);
            ASSERT_EQ(got.has_value(), want.has_value()) << "row " << r << " col " << c;
            if (want) {
                ASSERT_EQ(*got, *want) << "row " << r << " col " << c;
            }
        }
    }
}

} // namespace

TEST(JetWriter, MdbtoolsReadItBack)
{
    const auto tables = sampleTables(1200); // enough pages for an indirect usage map
    const QByteArray image = writeDatabase(tables);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sample.mdb"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(image);
    }
    EXPECT_EQ(run(QStringLiteral("mdb-tables -1 '%1'").arg(path)), QByteArray("Book\nConfig\n"));
    EXPECT_EQ(run(QStringLiteral("mdb-ver '%1'").arg(path)).trimmed(), QByteArray("JET4"));

    const QString schema = QString::fromUtf8(run(QStringLiteral("mdb-schema '%1' access 2>/dev/null").arg(path)));
    for (const char *needle : {"CREATE TABLE [Book]", "[List]", "Text (255)", "[Text]", "Memo/Hyperlink", "[Links]",
                               "CREATE TABLE [Config]", "[ToolName]", "[TolkName]", "[Color]", "[Icon]"})
        EXPECT_TRUE(schema.contains(QLatin1String(needle))) << needle << "\n" << schema.toStdString();

    for (const auto &definition : tables) {
        const QByteArray csv =
            run(QStringLiteral("mdb-export -H -Q -d '\\t' -0 NULL '%1' %2").arg(path, definition.name));
        QByteArray expected;
        for (const auto &row : definition.rows) {
            QStringList cells;
            // mdb-export prints an empty value like a Null one
            for (const auto &v : row)
                cells << (v && !v->isEmpty() ? *v : QStringLiteral("NULL"));
            expected += cells.join(u'\t').toUtf8() + '\n';
        }
        EXPECT_EQ(QString::fromUtf8(csv), QString::fromUtf8(expected)) << definition.name.toStdString();
    }
}

TEST(JetWriter, OurReaderReadsItBack)
{
    auto tables = sampleTables(300);
    // packed values hold U+0000 and every other code unit a byte maps to
    QString binary;
    for (int i = 0; i < 256; ++i)
        binary.append(QChar(char16_t(i)));
    tables[0].rows.push_back({QString(QChar(0)) + QStringLiteral("a") + QChar(0), binary, repeat(binary, 40)});
    tables[0].rows.push_back({QStringLiteral("пусто"), QString(QChar(0)), QString(2, QChar(0))});
    tables[1].rows.push_back({QString(), QString(""), QStringLiteral("139"), repeat(binary, 20)});

    JetFile db(writeDatabase(tables));
    EXPECT_EQ(db.tableNames(), (QStringList{QStringLiteral("Book"), QStringLiteral("Config")}));
    // every value reads back the same whichever memo columns are held as bytes
    const NarrowColumns everyColumn = [](const QString &) { return true; };
    for (const auto &definition : tables) {
        SCOPED_TRACE(definition.name.toStdString());
        expectSameRows(db, definition);
        expectSameRows(db, definition, everyColumn);
    }
    // the reader's choice holds memo columns as bytes, never text columns
    struct Case {
        const char *what;
        NarrowColumns narrow;
        bool listWide, textWide, linksWide;
    };
    const Case cases[] = {
        {"no choice", {}, true, true, true},
        {"every column", everyColumn, true, false, false},
        {"all but Links", [](const QString &c) { return c.compare(u"links", Qt::CaseInsensitive) != 0; }, true, false,
         true},
    };
    for (const Case &c : cases) {
        const TableData t = db.readTable(QStringLiteral("Book"), c.narrow);
        EXPECT_EQ(t.isWide(0, t.column(u"List")), c.listWide) << c.what;
        EXPECT_EQ(t.isWide(0, t.column(u"Text")), c.textWide) << c.what;
        EXPECT_EQ(t.isWide(0, t.column(u"Links")), c.linksWide) << c.what;
    }
    EXPECT_THROW(db.readTable(QStringLiteral("Missing")), somnex::Error);
    EXPECT_THROW(db.readTable(QStringLiteral("MSysObjects2")), somnex::Error);
}

TEST(JetWriter, RejectsWhatTheFormatCannotHold)
{
    auto one = [](std::optional<QString> v, ColumnKind kind = ColumnKind::Text) {
        return std::vector<TableDefinition>{{QStringLiteral("T"), {{QStringLiteral("C"), kind}}, {{std::move(v)}}}};
    };
    EXPECT_THROW(writeDatabase(one(QString(256, u'a'))), somnex::Error);
    EXPECT_THROW(writeDatabase(one(QString(QChar(0xFEFF)) + u'a', ColumnKind::Memo)), somnex::Error);
    EXPECT_THROW(writeDatabase({{QStringLiteral("T"), {}, {}}}), somnex::Error);
    EXPECT_THROW(writeDatabase({{QStringLiteral("T"), {{QStringLiteral("C"), ColumnKind::Text}}, {{}}}}),
                 somnex::Error);
    EXPECT_NO_THROW(writeDatabase(one(QString(255, u'a'))));
}

TEST(JetText, DecodesBothForms)
{
    struct Case {
        const char *name;
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {"ucs-2", QByteArray::fromHex("12043e0434043004"), QStringLiteral("Вода")},
        {"ucs-2 with zeros", QByteArray::fromHex("000061000000"), QString(QChar(0)) + u'a' + QChar(0)},
        {"odd byte dropped", QByteArray::fromHex("610062"), QStringLiteral("a")},
        {"compressed", QByteArray::fromHex("fffe616263"), QStringLiteral("abc")},
        {"compressed with a ucs-2 run",
         QByteArray::fromHex("fffe61001204140400"
                             "62"),
         QStringLiteral("aВДb")},
        {"compressed upper half is Latin-1", QByteArray::fromHex("fffee9"), QStringLiteral("é")},
        {"marker only", QByteArray::fromHex("fffe"), QString()},
        {"empty", QByteArray(), QString()},
    };
    for (const auto &c : cases) {
        QString out = QStringLiteral("^");
        appendJetText(reinterpret_cast<const uint8_t *>(c.bytes.constData()), static_cast<std::size_t>(c.bytes.size()),
                      out);
        EXPECT_EQ(out, QStringLiteral("^") + c.text) << c.name;
    }
}

TEST(JetReader, MalformedImagesRaiseErrors)
{
    const QByteArray good = writeDatabase(sampleTables(40));
    auto attempt = [](QByteArray image) {
        try {
            JetFile db(std::move(image));
            for (const auto &t : db.tableNames())
                db.readTable(t);
            return true;
        } catch (const somnex::Error &e) {
            EXPECT_FALSE(e.description().isEmpty());
            return false;
        }
    };
    ASSERT_TRUE(attempt(good));

    QByteArray chain = good; // a long value whose page chain points back at itself
    for (qsizetype p = 0; p < chain.size(); p += 4096) {
        if (chain.mid(p + 4, 4) == "LVAL" && chain[p + 12] == 1) {
            const int start = static_cast<uint8_t>(chain[p + 14]) | (static_cast<uint8_t>(chain[p + 15]) << 8);
            const uint32_t self = static_cast<uint32_t>(p / 4096) << 8;
            if (chain.mid(p + start, 4) != QByteArray(4, '\0')) {
                for (int i = 0; i < 4; ++i)
                    chain[p + start + i] = static_cast<char>(self >> (8 * i));
                break;
            }
        }
    }
    QByteArray random(qsizetype(20) * 4096, '\0');
    std::mt19937 rng(7);
    for (auto &ch : random)
        ch = static_cast<char>(rng());
    random.replace(0, 22, good.left(22));
    QByteArray tdef = good;
    tdef[2 * 4096 + 45] = '\xFF'; // catalogue with 65535 columns
    tdef[2 * 4096 + 46] = '\xFF';
    QByteArray usage = good;
    usage[2 * 4096 + 58] = '\x7F'; // usage map on a page far beyond the end

    const QByteArray cases[] = {good.left(4096),
                                good.left(qsizetype(3) * 4096),
                                QByteArray(qsizetype(8) * 4096, '\0'),
                                good.left(22) + QByteArray(qsizetype(8) * 4096, '\0'),
                                random,
                                chain,
                                tdef,
                                usage,
                                QByteArray("Standard Jet DB")};
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_FALSE(attempt(cases[i])) << "case " << i;

    // Damage anywhere is either harmless or an error, never a crash.
    for (int round = 0; round < 400; ++round) {
        QByteArray bad = good;
        const int flips = std::uniform_int_distribution<int>(1, 8)(rng);
        for (int i = 0; i < flips; ++i) {
            const auto at = std::uniform_int_distribution<qsizetype>(22, bad.size() - 1)(rng);
            bad[at] = static_cast<char>(rng());
        }
        if (round % 4 == 0)
            bad.truncate(std::uniform_int_distribution<qsizetype>(22, bad.size())(rng));
        attempt(bad);
    }
}
