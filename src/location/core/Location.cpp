#include "location/core/Location.h"

#include <cmath>
#include <limits>

namespace somnex::location {

namespace {

QString str(const char16_t *s)
{
    return QString::fromUtf16(s);
}

// A stored integer: decimal text, surrounding blanks allowed, a fraction
// rounded half to even. Anything else (or a value beyond 16 bits) is absent.
bool parseStoredInt(const QString &text, qint16 *out)
{
    const QString t = text.trimmed();
    bool ok = false;
    const int whole = t.toInt(&ok);
    double value = whole;
    if (!ok) {
        value = t.toDouble(&ok);
        if (!ok || !std::isfinite(value))
            return false;
        value = std::nearbyint(value); // default rounding mode: half to even
    }
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        return false;
    *out = static_cast<qint16>(value);
    return true;
}

qint16 readPart(const SettingGetter &get, const char16_t *name, qint16 def, qint16 lo, qint16 hi)
{
    qint16 v = def;
    if (!parseStoredInt(get(settings::kApp, settings::kLocation, str(name), QString::number(def)), &v))
        return def;
    return qBound(lo, v, hi);
}

qint16 readHemisphere(const SettingGetter &get, const char16_t *name)
{
    qint16 v = 1;
    if (!parseStoredInt(get(settings::kApp, settings::kLocation, str(name), QStringLiteral("1")), &v))
        return 1;
    return v == -1 ? qint16(-1) : qint16(1);
}

} // namespace

QString Decimal4::toString() const
{
    const qint64 magnitude = raw_ < 0 ? -raw_ : raw_;
    QString text = QString::number(magnitude / 10000);
    qint64 frac = magnitude % 10000;
    if (frac != 0) {
        QString digits = QString::number(frac).rightJustified(4, u'0');
        while (digits.endsWith(u'0'))
            digits.chop(1);
        text += u'.' + digits;
    }
    return raw_ < 0 ? u'-' + text : text;
}

Decimal4 GeoToDecimal(qint16 degrees, qint16 minutes, qint16 hemisphere)
{
    // In sixtieths of a ten-thousandth: (degrees * 60 + minutes) * 10000 / 60.
    // The remainder is never a half (10000 * minutes mod 60 is 0, 20 or 40),
    // so rounding to nearest is unambiguous.
    const qint64 numerator = (static_cast<qint64>(degrees) * 60 + minutes) * 10000 * hemisphere;
    const qint64 magnitude = numerator < 0 ? -numerator : numerator;
    const qint64 rounded = (magnitude + 30) / 60;
    return Decimal4::fromRaw(numerator < 0 ? -rounded : rounded);
}

Location Location::load(const SettingGetter &get)
{
    Location l;
    l.cityName = readCityName(get);
    l.latDegrees = readPart(get, key::SGraduses, 55, 0, kMaxLatitudeDegrees);
    l.latMinutes = readPart(get, key::SMinutes, 45, 0, kMaxMinutes);
    l.latHemisphere = readHemisphere(get, key::SM);
    l.lonDegrees = readPart(get, key::DGraduses, 37, 0, kMaxLongitudeDegrees);
    l.lonMinutes = readPart(get, key::DMinutes, 35, 0, kMaxMinutes);
    l.lonHemisphere = readHemisphere(get, key::DM);
    l.hold();
    return l;
}

void Location::hold()
{
    latMinutes = HoldMinutes(latDegrees, latMinutes, kMaxLatitudeDegrees);
    lonMinutes = HoldMinutes(lonDegrees, lonMinutes, kMaxLongitudeDegrees);
}

qint16 HoldMinutes(qint16 degrees, qint16 minutes, qint16 maxDegrees)
{
    if (degrees >= maxDegrees)
        return 0;
    return qBound(qint16(0), minutes, kMaxMinutes);
}

void Location::save(const SettingSaver &save) const
{
    const QString &app = settings::kApp;
    const QString &section = settings::kLocation;
    save(app, section, str(key::CityName), cityName);
    save(app, section, str(key::DGraduses), QString::number(lonDegrees));
    save(app, section, str(key::DMinutes), QString::number(HoldMinutes(lonDegrees, lonMinutes, kMaxLongitudeDegrees)));
    save(app, section, str(key::DM), QString::number(lonHemisphere));
    save(app, section, str(key::SGraduses), QString::number(latDegrees));
    save(app, section, str(key::SMinutes), QString::number(HoldMinutes(latDegrees, latMinutes, kMaxLatitudeDegrees)));
    save(app, section, str(key::SM), QString::number(latHemisphere));
}

QString readCityName(const SettingGetter &get)
{
    return get(settings::kApp, settings::kLocation, str(key::CityName), str(kDefaultCityName));
}

qint16 SignOf(int index)
{
    return index == 0 ? qint16(1) : qint16(-1);
}

qint16 leadingNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Saturate early: anything past the 16-bit range is held to it anyway.
    double value = 0;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        if (value < 1e6)
            value = value * 10 + (text[i].unicode() - u'0');
        ++i;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        double scale = 0.1;
        while (i < n && text[i] >= u'0' && text[i] <= u'9') {
            value += (text[i].unicode() - u'0') * scale;
            scale /= 10;
            ++i;
        }
    }
    if (negative)
        value = -value;
    value = std::nearbyint(value);
    return static_cast<qint16>(
        qBound<double>(std::numeric_limits<qint16>::min(), value, std::numeric_limits<qint16>::max()));
}

int clampIndex(int value, int maxIndex)
{
    return qBound(0, value, maxIndex);
}

qint16 GeoH(QStringView cell)
{
    const qsizetype degree = cell.indexOf(u'°');
    return degree < 0 ? qint16(0) : leadingNumber(cell.left(degree + 1));
}

qint16 GeoM(QStringView cell)
{
    const qsizetype degree = cell.indexOf(u'°');
    return leadingNumber(cell.mid(degree + 1));
}

qint16 GeoP(QStringView cell)
{
    const QStringView tail = cell.right(4);
    return (tail == u"з.д." || tail == u"ю.ш.") ? qint16(1) : qint16(0);
}

QString locationLine(const Location &place, int offsetHours)
{
    return QStringLiteral("%1°%2' %3  %4°%5' %6 %7 GMT")
        .arg(place.latDegrees)
        .arg(place.latMinutes)
        .arg(place.latHemisphere == -1 ? u"ю.ш."_qs : u"с.ш."_qs)
        .arg(place.lonDegrees)
        .arg(place.lonMinutes)
        .arg(place.lonHemisphere == -1 ? u"з.д."_qs : u"в.д."_qs)
        .arg(offsetHours);
}

} // namespace somnex::location
