#include "dictionary/BookDatabase.h"

#include "dictionary/BookSchema.h"
#include "platform/error/Error.h"
#include "platform/jet/BookSignature.h"
#include "platform/jet/JetWriter.h"

#include "../platform/jet/ReadOnlyFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

using namespace somnex;
using namespace somnex::dictionary;

namespace {

const QStringList kWords = {
    QStringLiteral("Вода"), QStringLiteral("вода"), QStringLiteral("еда"),    QStringLiteral("ёж"),
    QStringLiteral("Ёлка"), QStringLiteral("ель"),  QStringLiteral("все"),    QStringLiteral("всё"),
    QStringLiteral("Всё"),  QStringLiteral("жар"),  QStringLiteral("яблоко"), QStringLiteral("Apple"),
    QStringLiteral("а"),    QStringLiteral("аа"),   QStringLiteral("Аист"),   QStringLiteral("ВОДА"),
};

QByteArray bookImage(const QStringList &words)
{
    jet::TableDefinition book{dictionary::kBookTable,
                              {{dictionary::kListColumn, jet::ColumnKind::Text},
                               {dictionary::kTextColumn, jet::ColumnKind::Memo},
                               {dictionary::kLinksColumn, jet::ColumnKind::Memo}},
                              {}};
    for (int i = 0; i < words.size(); ++i)
        book.rows.push_back({words[i], QStringLiteral("text %1").arg(i) + QChar(0),
                             i % 2 ? std::optional<QString>(QString("")) : std::nullopt});
    jet::TableDefinition config{dictionary::kConfigTable,
                                {{dictionary::kToolNameColumn, jet::ColumnKind::Text},
                                 {dictionary::kTolkNameColumn, jet::ColumnKind::Text},
                                 {dictionary::kColorColumn, jet::ColumnKind::Text},
                                 {dictionary::kIconColumn, jet::ColumnKind::Memo}},
                                {{QStringLiteral("Имя"), QStringLiteral("Заголовок"), std::nullopt, QString("")}}};
    QByteArray image = jet::writeDatabase({book, config});
    jet::stampSignature(image);
    return image;
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

} // namespace

TEST(Collation, Order)
{
    struct Case {
        const char16_t *a, *b;
        int sign;
    };
    const Case cases[] = {
        {u"еда", u"ёж", -1},     {u"ёж", u"жар", -1},     {u"все", u"всё", -1},  {u"всё", u"Все", 1},
        {u"вода", u"Вода", -1},  {u"Вода", u"ВОДА", -1},  {u"Вода", u"вода", 1}, {u"Apple", u"аист", -1},
        {u"а", u"аа", -1},       {u"яблоко", u"ёлка", 1}, {u"Ель", u"ёлка", 1},  {u"вода", u"вода", 0},
        {u"Zebra", u"apple", 1}, {u"ель", u"Ёлка", 1},
    };
    for (const auto &c : cases) {
        const QString a = QString::fromUtf16(c.a), b = QString::fromUtf16(c.b);
        const int got = compareHeadwords(a, b);
        EXPECT_EQ((got > 0) - (got < 0), c.sign) << a.toStdString() << " / " << b.toStdString();
        EXPECT_EQ((compareHeadwords(b, a) > 0) - (compareHeadwords(b, a) < 0), -c.sign);
    }
    EXPECT_TRUE(sameHeadword(u"ВОДА", u"вода"));
    EXPECT_TRUE(sameHeadword(u"Ёж", u"ёж"));
    EXPECT_FALSE(sameHeadword(u"все", u"всё"));
    EXPECT_FALSE(sameHeadword(u"вод", u"вода"));
}

TEST(BookDatabase, IndexOrderSeekAndFields)
{
    QStringList shuffled = kWords;
    std::mt19937 rng(3);
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    const Database db = DBEngine::instance().OpenDatabaseImage(bookImage(shuffled), QStringLiteral("t.book"));
    Recordset rs = db.OpenRecordset(dictionary::kBookTable);
    EXPECT_EQ(rs.RecordCount(), kWords.size());
    EXPECT_THROW(rs.Seek(QStringLiteral("="), QStringLiteral("вода")), Error); // no index yet
    EXPECT_EQ(*rs.Field(dictionary::kListColumn), shuffled[0]);                // storage order
    EXPECT_THROW(rs.setIndex(dictionary::kTextColumn), Error);
    rs.setIndex(dictionary::kListIndex);

    QStringList walked;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        walked << *rs.Field(dictionary::kListColumn);
    EXPECT_THROW(rs.MoveNext(), Error);
    EXPECT_THROW(rs.Field(dictionary::kListColumn), Error);
    QStringList expected = kWords;
    std::sort(expected.begin(), expected.end(),
              [](const QString &a, const QString &b) { return compareHeadwords(a, b) < 0; });
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(expected.first(), QStringLiteral("Apple"));
    for (qsizetype i = 0; i < rs.RecordCount(); ++i)
        EXPECT_EQ(rs.headword(i), expected[i]);

    struct Seek {
        QString word;
        QString lands; // empty: no match
    };
    const Seek seeks[] = {
        {QStringLiteral("вода"), QStringLiteral("вода")},
        {QStringLiteral("ВОДА"), QStringLiteral("ВОДА")},
        {QStringLiteral("вОДА"), QStringLiteral("вода")},
        {QStringLiteral("всё"), QStringLiteral("всё")},
        {QStringLiteral("ВСЁ"), QStringLiteral("всё")},
        {QStringLiteral("все"), QStringLiteral("все")},
        {QStringLiteral("ёлка"), QStringLiteral("Ёлка")},
        {QStringLiteral("елка"), QString()},
        {QStringLiteral("вод"), QString()},
        {QString(), QString()},
        {QStringLiteral("яблоко"), QStringLiteral("яблоко")},
    };
    for (const auto &s : seeks) {
        rs.Seek(QStringLiteral("="), s.word);
        EXPECT_EQ(rs.NoMatch(), s.lands.isEmpty()) << s.word.toStdString();
        if (!s.lands.isEmpty()) {
            EXPECT_EQ(*rs.Field(dictionary::kListColumn), s.lands);
            const auto i = shuffled.indexOf(s.lands);
            EXPECT_EQ(*rs.Field(dictionary::kTextColumn), QStringLiteral("text %1").arg(i) + QChar(0));
            EXPECT_EQ(rs.Field(QStringLiteral("links")).has_value(), i % 2 == 1); // Null or empty
        } else {
            EXPECT_TRUE(rs.Eof());
        }
    }
    EXPECT_THROW(rs.Seek(QStringLiteral(">="), QStringLiteral("вода")), Error);
    rs.Seek(QStringLiteral("="), QStringLiteral("еда"));
    EXPECT_THROW(rs.Field(QStringLiteral("Missing")), Error);

    Recordset config = db.OpenRecordset(dictionary::kConfigTable);
    EXPECT_EQ(*config.Field(dictionary::kToolNameColumn), QStringLiteral("Имя"));
    EXPECT_FALSE(config.Field(dictionary::kColorColumn).has_value());
    EXPECT_EQ(config.Field(dictionary::kIconColumn), std::optional<QString>(QString("")));
    EXPECT_THROW(config.setIndex(dictionary::kListIndex), Error);
    EXPECT_THROW(db.OpenRecordset(QStringLiteral("Nothing")), Error);
}

TEST(BookDatabase, LoadingNeverWritesTheFile)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Books"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray image = bookImage(kWords);
    const QString path = writeFile(folder + QStringLiteral("/a.book"), image);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const QDateTime past = QDateTime::currentDateTimeUtc().addDays(-3);
    ASSERT_TRUE(f.setFileTime(past, QFileDevice::FileModificationTime));
    f.close();

    ReadOnlyGuard guard;
    const bool readOnly = guard.protect(path) && guard.protect(folder);
    const Database db = DBEngine::instance().OpenDatabase(path);
    EXPECT_EQ(db.OpenRecordset(dictionary::kBookTable).RecordCount(), kWords.size());

    QFile again(path);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), image);
    EXPECT_EQ(QFileInfo(path).lastModified().toUTC().toSecsSinceEpoch(), past.toSecsSinceEpoch());
    EXPECT_TRUE(jet::IsValidVersion(path));
    if (!readOnly)
        GTEST_SKIP() << "the folder could not be made read-only here";
}

TEST(BookDatabase, BadFilesRaiseErrorsNamingTheFile)
{
    QTemporaryDir dir;
    QByteArray truncated = bookImage(kWords);
    truncated.truncate(truncated.size() - 4096);
    QByteArray plain = bookImage(kWords);
    plain.replace(0, 22, QByteArray(jet::JetHeaderBytes.data(), 22));
    const struct {
        const char *name;
        QByteArray bytes;
        bool opens;
    } cases[] = {
        {"plain.book", plain, true}, // a Jet database with its own header opens as well
        {"short.book", QByteArray("DB1 ZUL"), false},
        {"zero.book", QByteArray(jet::BookSignature.data(), 22) + QByteArray(40000, '\0'), false},
        {"text.book", QByteArray(jet::BookSignature.data(), 22) + QByteArray(9000, 'z'), false},
        {"truncated.book", truncated, false},
    };
    for (const auto &c : cases) {
        const QString path = writeFile(dir.filePath(QString::fromLatin1(c.name)), c.bytes);
        try {
            DBEngine::instance().OpenDatabase(path);
            EXPECT_TRUE(c.opens) << c.name;
        } catch (const Error &e) {
            EXPECT_FALSE(c.opens) << c.name << ": " << e.what();
            EXPECT_TRUE(e.description().contains(path)) << e.what();
        }
    }
    EXPECT_THROW(DBEngine::instance().OpenDatabase(dir.filePath(QStringLiteral("none.book"))), Error);
}
