#pragma once
// The observer's place: its name, latitude and longitude as degrees, minutes
// and hemisphere (1 = north or east, -1 = south or west), how they are kept in
// the settings store (section "UserLocation") and the signed decimal
// coordinates the astronomy engine takes.

#include "platform/core/Identity.h"

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <functional>

namespace somnex::location {

// Signed decimal degrees in fixed point: a count of ten-thousandths of a
// degree, so that 37.5833 is exactly what it says.
class Decimal4 {
public:
    constexpr Decimal4() = default;
    static constexpr Decimal4 fromRaw(qint64 tenThousandths) { return Decimal4(tenThousandths); }

    constexpr qint64 raw() const { return raw_; }
    constexpr double toDouble() const { return static_cast<double>(raw_) / 10000.0; }
    // Shortest decimal text: "55.75", "-37.5833", "0".
    QString toString() const;

    friend constexpr bool operator==(Decimal4 a, Decimal4 b) { return a.raw_ == b.raw_; }

private:
    constexpr explicit Decimal4(qint64 raw) : raw_(raw) {}
    qint64 raw_ = 0;
};

// (degrees + minutes / 60) x hemisphere, rounded to the nearest ten-thousandth.
Decimal4 GeoToDecimal(qint16 degrees, qint16 minutes, qint16 hemisphere);

// The settings store as the location sees it: GetSetting(application,
// section, key, default) and SaveSetting(application, section, key, value).
using SettingGetter =
    std::function<QString(const QString &application, const QString &section, const QString &key, const QString &def)>;
using SettingSaver =
    std::function<void(const QString &application, const QString &section, const QString &key, const QString &value)>;

// Setting keys, in the section settings::kLocation of settings::kApp.
namespace key = settings::locationKey;

inline constexpr char16_t kDefaultCityName[] = u"Москва";

// Ranges of the parts (also the sizes of the lists that offer them).
inline constexpr qint16 kMaxLatitudeDegrees = 90;
inline constexpr qint16 kMaxLongitudeDegrees = 180;
inline constexpr qint16 kMaxMinutes = 59;

struct Location {
    QString cityName = QString::fromUtf16(kDefaultCityName); // CurrentCityName
    qint16 latDegrees = 55;                                  // "SGraduses"
    qint16 latMinutes = 45;                                  // "SMinutes"
    qint16 latHemisphere = 1;                                // "SM": 1 north, -1 south
    qint16 lonDegrees = 37;                                  // "DGraduses"
    qint16 lonMinutes = 35;                                  // "DMinutes"
    qint16 lonHemisphere = 1;                                // "DM": 1 east, -1 west

    Decimal4 latitude() const { return GeoToDecimal(latDegrees, latMinutes, latHemisphere); }  // ObserverLatitude
    Decimal4 longitude() const { return GeoToDecimal(lonDegrees, lonMinutes, lonHemisphere); } // ObserverLongitude

    // Reads the seven settings. A missing or unreadable value takes its
    // default; degrees and minutes are held to their ranges and a hemisphere
    // other than 1 or -1 counts as 1, so every part can index its list.
    static Location load(const SettingGetter &get);

    // Minutes held by HoldMinutes for both coordinates.
    void hold();

    // Stores the seven settings as decimal text (minutes held), in the order "CityName",
    // "DGraduses", "DMinutes", "DM", "SGraduses", "SMinutes", "SM".
    void save(const SettingSaver &save) const;

    friend bool operator==(const Location &, const Location &) = default;
};

// "CityName" as the calendar re-reads it: the default only when the key is
// absent, an empty stored name stays empty.
QString readCityName(const SettingGetter &get);

// Hemisphere value for a hemisphere list's selected index: 1 for index 0,
// -1 for any other.
qint16 SignOf(int index);

// The numeric value of the leading number of a text (leading blanks skipped,
// an optional sign, digits, an optional fraction), 0 when there is none,
// rounded half to even and held to the 16-bit range.
qint16 leadingNumber(QStringView text);

// The minutes of a coordinate: 0 at the pole or the antimeridian (degrees at
// or above maxDegrees: 90°30' is no latitude), else held to 0..59.
qint16 HoldMinutes(qint16 degrees, qint16 minutes, qint16 maxDegrees);

// Holds a stored or listed value to 0..maxIndex before it becomes a list index.
int clampIndex(int value, int maxIndex);

// The degrees, the minutes and the hemisphere index (0 north or east, 1 south
// or west) read back from a directory cell such as "55° 45' с.ш.".
qint16 GeoH(QStringView cell);
qint16 GeoM(QStringView cell);
qint16 GeoP(QStringView cell);

// The coordinates and time-zone line of the calendar, e.g.
// "55°45' с.ш.  37°35' в.д. 3 GMT".
QString locationLine(const Location &place, int offsetHours);

} // namespace somnex::location
