#include "location/core/CityFile.h"
#include "location/core/Location.h"

#include "platform/ansi/AnsiCodePage.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

using namespace somnex;
using namespace somnex::location;

namespace {

const QString kHeader = u"Город,ДолготаГ,ДолготаМ,ШиротаГ,ШиротаМ,Юг,Запад\r\n"_qs;

QList<CityRecord> parseText(const QString &text)
{
    return CityFile::parse(ansi::fromUnicode(text));
}

CityRecord rec(const char16_t *name, qint16 lonD, qint16 lonM, qint16 latD, qint16 latM, qint16 s, qint16 w)
{
    return CityRecord{QString::fromUtf16(name), lonD, lonM, latD, latM, s, w};
}

} // namespace

TEST(CityFile, RecordsAfterTheHeader)
{
    const CityRecord moscow = rec(u"Москва", 37, 35, 55, 45, 0, 0);
    struct Case {
        const char *what;
        QString text;
        QList<CityRecord> expected;
    } cases[] = {
        {"empty file", QString(), {}},
        {"only the header", kHeader, {}},
        {"only the header, no line end", kHeader.trimmed(), {}},
        {"one place", kHeader + u"Москва,37,35,55,45,0,0\r\n"_qs, {moscow}},
        {"LF line ends, no final line end", u"a,b,c,d,e,f,g\nМосква,37,35,55,45,0,0"_qs, {moscow}},
        {"blanks and empty lines", kHeader + u"\r\n  Москва , 37 ,35, 55,45 ,0,0  \r\n\r\n\r\n"_qs, {moscow}},
        {"quoted name with commas",
         kHeader + u"\"Вашингтон, округ Колумбия\",77,2,38,53,0,1\r\n"_qs,
         {rec(u"Вашингтон, округ Колумбия", 77, 2, 38, 53, 0, 1)}},
        {"text after the closing quote is ignored",
         kHeader + u"\"Рим\" (Италия),12,29,41,54,0,0\n"_qs,
         {rec(u"Рим", 12, 29, 41, 54, 0, 0)}},
        {"quoted numbers", kHeader + u"Лима,\"77\",\"2\",12,3,\"1\",1\n"_qs, {rec(u"Лима", 77, 2, 12, 3, 1, 1)}},
        {"short record continues on the next line",
         kHeader + u"Москва,37,35\r\n55,45,0,0\r\nЛима,77,2,12,3,1,1\r\n"_qs,
         {moscow, rec(u"Лима", 77, 2, 12, 3, 1, 1)}},
        {"non-numbers read as 0", kHeader + u"Нигде,abc,12x,,--3,\"\",зап\r\n"_qs, {rec(u"Нигде", 0, 0, 0, 0, 0, 0)}},
        {"beyond 16 bits reads as 0, fractions round to even",
         kHeader + u"Икс,40000,-40000,2.5,3.5,1.0,-1\n"_qs,
         {rec(u"Икс", 0, 0, 2, 4, 1, -1)}},
        {"an empty field before a line end counts",
         kHeader + u"Москва,37,35,55,45,0,\r\nЛима,77,2,12,3,1,1\r\n"_qs,
         {rec(u"Москва", 37, 35, 55, 45, 0, 0), rec(u"Лима", 77, 2, 12, 3, 1, 1)}},
        {"incomplete last record dropped", kHeader + u"Москва,37,35,55,45,0,0\r\nЛима,77,2\r\n"_qs, {moscow}},
        {"unterminated quote takes the rest", kHeader + u"Москва,37,35,55,45,0,0\n\"Лима,77,2,12,3,1,1\n"_qs, {moscow}},
        {"no minutes at the pole or the antimeridian",
         kHeader + u"Полюс,180,30,90,15,0,0\nКрай,179,59,89,59,1,1\n"_qs,
         {rec(u"Полюс", 180, 0, 90, 0, 0, 0), rec(u"Край", 179, 59, 89, 59, 1, 1)}},
        {"a header of fewer lines still counts as seven fields",
         u"Город\nД\nМ\nШ\nМ\nЮ\nЗ\nМосква,37,35,55,45,0,0\n"_qs,
         {moscow}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseText(c.text), c.expected) << c.what;
}

TEST(CityFile, NamesAreWindows1251)
{
    QByteArray bytes = "h,1,2,3,4,5,6\r\n\xCC\xEE\xF1\xEA\xE2\xE0,37,35,55,45,0,0\r\n";
    const auto records = CityFile::parse(bytes);
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].name, u"Москва"_qs);
}

TEST(CityFile, CellsAndTheirReadingBack)
{
    struct Case {
        CityRecord r;
        const char16_t *lat;
        const char16_t *lon;
    } cases[] = {
        {rec(u"Москва", 37, 35, 55, 45, 0, 0), u"55° 45' с.ш.", u"37° 35' в.д."},
        {rec(u"Буэнос-Айрес", 58, 23, 34, 36, 1, 1), u"34° 36' ю.ш.", u"58° 23' з.д."},
        {rec(u"Х", 0, 0, 0, 0, 2, -1), u"0° 0' с.ш.", u"0° 0' в.д."}, // only 1 marks south or west
    };
    for (const Case &c : cases) {
        const QString lat = c.r.latitudeCell(), lon = c.r.longitudeCell();
        EXPECT_EQ(lat, QString::fromUtf16(c.lat));
        EXPECT_EQ(lon, QString::fromUtf16(c.lon));
        EXPECT_EQ(GeoH(lat), c.r.latDegrees);
        EXPECT_EQ(GeoM(lat), c.r.latMinutes);
        EXPECT_EQ(GeoP(lat), c.r.south() ? 1 : 0);
        EXPECT_EQ(GeoH(lon), c.r.lonDegrees);
        EXPECT_EQ(GeoM(lon), c.r.lonMinutes);
        EXPECT_EQ(GeoP(lon), c.r.west() ? 1 : 0);
    }
}

TEST(CityFile, MissingOrUnreadableFilesGiveAnEmptyListWithAReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;
    EXPECT_TRUE(CityFile::read(dir.filePath(u"nothing.csv"_qs), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());

    error.clear();
    EXPECT_TRUE(CityFile::read(dir.path(), &error).isEmpty()); // a folder, not a file
    EXPECT_FALSE(error.isEmpty());

    QFile f(dir.filePath(u"City.csv"_qs));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(ansi::fromUnicode(kHeader + u"Москва,37,35,55,45,0,0\r\n"_qs));
    f.close();
    const auto records = CityFile::read(f.fileName(), &error);
    EXPECT_TRUE(error.isEmpty());
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].name, u"Москва"_qs);
}

namespace {

// One assertion per rule a record of the shipped file keeps, and each gtest
// assertion counts as several statements: a table, longer than a function.
// NOLINTNEXTLINE(readability-function-size)
void checkShippedFile(const QString &path)
{
    QString error;
    const QList<CityRecord> records = CityFile::read(path, &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_GE(records.size(), 300);

    QSet<QString> names;
    for (const CityRecord &r : records) {
        SCOPED_TRACE(r.name.toStdString());
        EXPECT_FALSE(r.name.isEmpty());
        EXPECT_FALSE(names.contains(r.name)) << "listed twice";
        names.insert(r.name);
        EXPECT_TRUE(r.latFlag == 0 || r.latFlag == 1);
        EXPECT_TRUE(r.lonFlag == 0 || r.lonFlag == 1);
        EXPECT_TRUE(r.latDegrees >= 0 && r.latDegrees <= 90);
        EXPECT_TRUE(r.lonDegrees >= 0 && r.lonDegrees <= 180);
        EXPECT_TRUE(r.latMinutes >= 0 && r.latMinutes <= 59);
        EXPECT_TRUE(r.lonMinutes >= 0 && r.lonMinutes <= 59);
    }
    for (qsizetype i = 1; i < records.size(); ++i)
        EXPECT_LT(records[i - 1].name.toLower().replace(u'ё', u'е'), records[i].name.toLower().replace(u'ё', u'е'))
            << "out of alphabetical order at " << records[i].name.toStdString();

    // A few places, each in a different quarter of the globe.
    const CityRecord known[] = {
        rec(u"Москва", 37, 37, 55, 45, 0, 0),      rec(u"Санкт-Петербург", 30, 19, 59, 57, 0, 0),
        rec(u"Владивосток", 131, 53, 43, 7, 0, 0), rec(u"Буэнос-Айрес", 58, 23, 34, 36, 1, 1),
        rec(u"Вашингтон", 77, 2, 38, 54, 0, 1),    rec(u"Канберра", 149, 8, 35, 17, 1, 0),
        rec(u"Лондон", 0, 7, 51, 30, 0, 1),        rec(u"Веллингтон", 174, 46, 41, 17, 1, 0),
    };
    for (const CityRecord &k : known) {
        SCOPED_TRACE(k.name.toStdString());
        auto it = std::find_if(records.begin(), records.end(), [&](const CityRecord &r) { return r.name == k.name; });
        ASSERT_NE(it, records.end());
        EXPECT_EQ(it->south(), k.south());
        EXPECT_EQ(it->west(), k.west());
        const int lat = k.latDegrees * 60 + k.latMinutes, lon = k.lonDegrees * 60 + k.lonMinutes;
        EXPECT_NEAR(it->latDegrees * 60 + it->latMinutes, lat, 3);
        EXPECT_NEAR(it->lonDegrees * 60 + it->lonMinutes, lon, 3);
    }
}

} // namespace

TEST(ShippedCityFile, ReadsAsADirectoryOfPlaces)
{
    checkShippedFile(QStringLiteral(SOMNEX_SHIPPED_CITY_CSV));
}

TEST(ShippedCityFile, IsCopiedIntoTheBuildData)
{
    checkShippedFile(QStringLiteral(SOMNEX_BUILT_CITY_CSV));
}
