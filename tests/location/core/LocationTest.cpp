#include "location/core/Location.h"

#include <gtest/gtest.h>

#include <QMap>
#include <QStringList>

using namespace somnex::location;

namespace {

// An in-memory settings store keyed "application/section/key", with the
// order of writes kept.
struct Store {
    QMap<QString, QString> values;
    QStringList writes;

    static QString path(const QString &a, const QString &s, const QString &k) { return a + u'/' + s + u'/' + k; }
    SettingGetter getter()
    {
        return [this](const QString &a, const QString &s, const QString &k, const QString &def) {
            return values.value(path(a, s, k), def);
        };
    }
    SettingSaver saver()
    {
        return [this](const QString &a, const QString &s, const QString &k, const QString &v) {
            values[path(a, s, k)] = v;
            writes << k + u'=' + v;
        };
    }
    void put(const char16_t *k, const QString &v)
    {
        values[path(u"ZUL_Programming"_qs, u"UserLocation"_qs, QString::fromUtf16(k))] = v;
    }
};

} // namespace

TEST(GeoToDecimal, FourDecimalsSignedByHemisphere)
{
    struct Case {
        qint16 deg, min, hemi;
        qint64 raw;
        const char *text;
    } cases[] = {
        {55, 45, 1, 557500, "55.75"},
        {37, 35, 1, 375833, "37.5833"},
        {55, 45, -1, -557500, "-55.75"},
        {37, 35, -1, -375833, "-37.5833"},
        {0, 0, 1, 0, "0"},
        {0, 1, 1, 167, "0.0167"},
        {0, 59, -1, -9833, "-0.9833"},
        {180, 0, -1, -1800000, "-180"},
        {90, 0, 1, 900000, "90"},
        {12, 2, 1, 120333, "12.0333"},
        {77, 2, -1, -770333, "-77.0333"},
    };
    for (const Case &c : cases) {
        const Decimal4 d = GeoToDecimal(c.deg, c.min, c.hemi);
        EXPECT_EQ(d.raw(), c.raw) << c.deg << " " << c.min << " " << c.hemi;
        EXPECT_EQ(d.toString(), QString::fromLatin1(c.text));
    }
}

TEST(Location, FreshStoreGivesMoscowAndSaveWritesEveryPartInOrder)
{
    Store store;
    const Location l = Location::load(store.getter());
    EXPECT_EQ(l.cityName, u"Москва"_qs);
    EXPECT_EQ(l.latitude().toString(), u"55.75"_qs);
    EXPECT_EQ(l.longitude().toString(), u"37.5833"_qs);

    Location west = l;
    west.cityName = u"Лима"_qs;
    west.latDegrees = 12, west.latMinutes = 3, west.latHemisphere = -1;
    west.lonDegrees = 77, west.lonMinutes = 2, west.lonHemisphere = -1;
    west.save(store.saver());
    EXPECT_EQ(store.writes, (QStringList{u"CityName=Лима"_qs, u"DGraduses=77"_qs, u"DMinutes=2"_qs, u"DM=-1"_qs,
                                         u"SGraduses=12"_qs, u"SMinutes=3"_qs, u"SM=-1"_qs}));
    EXPECT_EQ(Location::load(store.getter()), west);
}

TEST(Location, StoredValuesAreReadSoundly)
{
    struct Case {
        const char16_t *key;
        QString stored;
        qint16 Location::*part;
        qint16 expected;
    } cases[] = {
        {key::SGraduses, u"60"_qs, &Location::latDegrees, 60},
        {key::SGraduses, u" 61 "_qs, &Location::latDegrees, 61},
        {key::SGraduses, u"59.5"_qs, &Location::latDegrees, 60},
        {key::SGraduses, u"abc"_qs, &Location::latDegrees, 55}, // unreadable: default
        {key::SGraduses, u""_qs, &Location::latDegrees, 55},
        {key::SGraduses, u"95"_qs, &Location::latDegrees, 90}, // held to the list
        {key::SGraduses, u"-3"_qs, &Location::latDegrees, 0},
        {key::SGraduses, u"100000"_qs, &Location::latDegrees, 55}, // beyond 16 bits
        {key::DGraduses, u"200"_qs, &Location::lonDegrees, 180},
        {key::SMinutes, u"75"_qs, &Location::latMinutes, 59},
        {key::DMinutes, u"7"_qs, &Location::lonMinutes, 7},
        {key::SM, u"-1"_qs, &Location::latHemisphere, -1},
        {key::SM, u"0"_qs, &Location::latHemisphere, 1},
        {key::DM, u"-1"_qs, &Location::lonHemisphere, -1},
        {key::DM, u"5"_qs, &Location::lonHemisphere, 1},
    };
    for (const Case &c : cases) {
        Store store;
        store.put(c.key, c.stored);
        EXPECT_EQ(Location::load(store.getter()).*c.part, c.expected)
            << QString::fromUtf16(c.key).toStdString() << " = " << c.stored.toStdString();
    }
}

TEST(Location, AnEmptyNameStaysEmptyAndOnlyAnAbsentOneIsMoscow)
{
    Store store;
    EXPECT_EQ(readCityName(store.getter()), u"Москва"_qs);
    Location l;
    l.cityName.clear();
    l.save(store.saver());
    EXPECT_EQ(readCityName(store.getter()), QString());
    EXPECT_EQ(Location::load(store.getter()).cityName, QString());
}

TEST(GeoCells, DegreesMinutesAndHemisphereReadBack)
{
    struct Case {
        QString cell;
        qint16 h, m, p;
    } cases[] = {
        {u"55° 45' с.ш."_qs, 55, 45, 0},
        {u"37° 35' в.д"_qs, 37, 35, 0},
        {u"37° 35' в.д."_qs, 37, 35, 0},
        {u"34° 36' ю.ш."_qs, 34, 36, 1},
        {u"58° 23' з.д."_qs, 58, 23, 1},
        {u"0° 0' с.ш."_qs, 0, 0, 0},
        {u""_qs, 0, 0, 0},
        {u"12"_qs, 0, 12, 0},
        {u"°7"_qs, 0, 7, 0},
        {u"99999° 5' ю.ш."_qs, 32767, 5, 1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(GeoH(c.cell), c.h) << c.cell.toStdString();
        EXPECT_EQ(GeoM(c.cell), c.m) << c.cell.toStdString();
        EXPECT_EQ(GeoP(c.cell), c.p) << c.cell.toStdString();
    }
}

TEST(GeoCells, LeadingNumbersSignsAndIndices)
{
    struct Case {
        QString text;
        qint16 value;
    } cases[] = {
        {u"37°"_qs, 37}, {u"  45'"_qs, 45}, {u"-5x"_qs, -5}, {u"+8"_qs, 8},          {u"x5"_qs, 0},
        {u""_qs, 0},     {u"2.5"_qs, 2},    {u"3.5"_qs, 4},  {u"-99999"_qs, -32768},
    };
    for (const Case &c : cases)
        EXPECT_EQ(leadingNumber(c.text), c.value) << c.text.toStdString();

    EXPECT_EQ(SignOf(0), 1);
    EXPECT_EQ(SignOf(1), -1);
    EXPECT_EQ(SignOf(-1), -1);
    EXPECT_EQ(clampIndex(200, 90), 90);
    EXPECT_EQ(clampIndex(-4, 59), 0);
    EXPECT_EQ(clampIndex(45, 59), 45);
}

TEST(GeoCells, CalendarLocationLine)
{
    Location moscow;
    EXPECT_EQ(locationLine(moscow, 3), u"55°45' с.ш.  37°35' в.д. 3 GMT"_qs);
    Location washington;
    washington.latDegrees = 38, washington.latMinutes = 53;
    washington.lonDegrees = 77, washington.lonMinutes = 2, washington.lonHemisphere = -1;
    EXPECT_EQ(locationLine(washington, -5), u"38°53' с.ш.  77°2' з.д. -5 GMT"_qs);
    Location south = moscow;
    south.latHemisphere = -1;
    EXPECT_EQ(locationLine(south, 0), u"55°45' ю.ш.  37°35' в.д. 0 GMT"_qs);
}

TEST(Location, NoMinutesAtThePoleOrTheAntimeridian)
{
    struct Case {
        const char *what;
        QString latD, latM, lonD, lonM;
        qint16 wantLatM, wantLonM;
        qint64 wantLatRaw, wantLonRaw;
    } cases[] = {
        {"the pole", u"90"_qs, u"30"_qs, u"37"_qs, u"35"_qs, 0, 35, 900000, 375833},
        {"the antimeridian", u"55"_qs, u"45"_qs, u"180"_qs, u"59"_qs, 45, 0, 557500, 1800000},
        {"beyond both", u"95"_qs, u"75"_qs, u"200"_qs, u"10"_qs, 0, 0, 900000, 1800000},
        {"just short of both", u"89"_qs, u"59"_qs, u"179"_qs, u"59"_qs, 59, 59, 899833, 1799833},
    };
    for (const Case &c : cases) {
        Store store;
        store.put(key::SGraduses, c.latD);
        store.put(key::SMinutes, c.latM);
        store.put(key::DGraduses, c.lonD);
        store.put(key::DMinutes, c.lonM);
        const Location l = Location::load(store.getter());
        EXPECT_EQ(l.latMinutes, c.wantLatM) << c.what;
        EXPECT_EQ(l.lonMinutes, c.wantLonM) << c.what;
        EXPECT_EQ(l.latitude().raw(), c.wantLatRaw) << c.what;
        EXPECT_EQ(l.longitude().raw(), c.wantLonRaw) << c.what;
    }
    // Whatever is entered is stored held.
    Location entered;
    entered.latDegrees = 90;
    entered.latMinutes = 30;
    entered.lonDegrees = 180;
    entered.lonMinutes = 15;
    Store store;
    entered.save(store.saver());
    EXPECT_TRUE(store.writes.contains(u"SMinutes=0"_qs)) << store.writes.join(u' ').toStdString();
    EXPECT_TRUE(store.writes.contains(u"DMinutes=0"_qs)) << store.writes.join(u' ').toStdString();
    EXPECT_EQ(HoldMinutes(45, -5, 90), 0);
    EXPECT_EQ(HoldMinutes(45, 70, 90), 59);
}
