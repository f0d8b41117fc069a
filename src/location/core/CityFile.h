#pragma once
// The city file "City.csv": places with their coordinates, in the ANSI code
// page (Windows-1251), read as a stream of fields separated by commas or line
// ends. A record is seven fields: name, longitude degrees, longitude minutes,
// latitude degrees, latitude minutes, latitude flag (1 = south), longitude
// flag (1 = west). The first record is a header and is dropped.

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

namespace somnex::location {

struct CityRecord {
    QString name;
    qint16 lonDegrees = 0;
    qint16 lonMinutes = 0;
    qint16 latDegrees = 0;
    qint16 latMinutes = 0;
    qint16 latFlag = 0; // 1 = south, anything else north
    qint16 lonFlag = 0; // 1 = west, anything else east

    bool south() const { return latFlag == 1; }
    bool west() const { return lonFlag == 1; }

    // The directory's cells: "55° 45' с.ш." and "37° 35' в.д.".
    QString latitudeCell() const;
    QString longitudeCell() const;

    friend bool operator==(const CityRecord &, const CityRecord &) = default;
};

class CityFile {
public:
    static constexpr char16_t FileName[] = u"City.csv";
    // A directory is a few hundred lines; anything beyond this is not one.
    static constexpr qint64 MaxFileSize = qint64(16) * 1024 * 1024;
    static constexpr int FieldsPerRecord = 7;

    // The records after the header, in file order.
    // - A field may be enclosed in double quotes, and then may hold commas;
    //   what follows the closing quote up to the next separator is ignored.
    // - Blanks around an unquoted field are not part of it; empty lines are
    //   skipped.
    // - A numeric field that is not a number (or lies beyond 16 bits) reads
    //   as 0; a fraction is rounded half to even.
    // - A record short of fields takes the rest from the following line; an
    //   incomplete record at the very end of the file is dropped.
    static QList<CityRecord> parse(QByteArrayView bytes);

    // Reads and parses a file. A missing, unreadable or oversized file gives
    // an empty list and, through *error, a description for the user.
    static QList<CityRecord> read(const QString &path, QString *error = nullptr);
};

} // namespace somnex::location
