#include "platform/jet/JetExport.h"

#include "platform/jet/JetFormat.h"

#include <QDate>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace somnex::jet {
namespace {

__extension__ typedef unsigned __int128 U128; // decimal values have 96 bits

// Jet column types beyond those the writer uses.
enum : uint8_t {
    kBool = 0x01,
    kByte = 0x02,
    kMoney = 0x05,
    kFloat = 0x06,
    kDouble = 0x07,
    kDateTime = 0x08,
    kBinary = 0x09,
    kGuid = 0x0F,
    kNumeric = 0x10,
    kComplex = 0x12,
};

void appendString(QByteArray &out, const QString &s)
{
    out += '"';
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        switch (c) {
        case '"': out += "\\\""; continue;
        case '\\': out += "\\\\"; continue;
        case '\n': out += "\\n"; continue;
        case '\r': out += "\\r"; continue;
        case '\t': out += "\\t"; continue;
        default: break;
        }
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            out += QStringView(s).sliced(i, 2).toUtf8();
            ++i;
        } else if (c < 0x20 || s[i].isSurrogate()) {
            // control characters and lone surrogates as escapes: every UTF-16
            // code unit survives
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(c));
            out += buf;
        } else {
            out += QStringView(s).sliced(i, 1).toUtf8();
        }
    }
    out += '"';
}

// A decimal string of an unsigned 128-bit magnitude with `scale` digits
// after the point, trailing zeros after the point dropped.
QByteArray decimal(U128 v, bool negative, int scale)
{
    QByteArray digits;
    do {
        digits.prepend(static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
    } while (v);
    while (digits.size() <= scale)
        digits.prepend('0');
    QByteArray out = digits.left(digits.size() - scale);
    QByteArray frac = digits.right(scale);
    while (frac.endsWith('0'))
        frac.chop(1);
    if (!frac.isEmpty())
        out += '.' + frac;
    if (negative && out != "0")
        out.prepend('-');
    return out;
}

QByteArray real(double v, int digits)
{
    if (!std::isfinite(v))
        return "null";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, v);
    return buf;
}

uint64_t littleEndian(const uint8_t *b, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | b[i];
    return v;
}

double doubleAt(const uint8_t *b)
{
    double d;
    const uint64_t bits = littleEndian(b, 8);
    std::memcpy(&d, &bits, 8);
    return d;
}

QByteArray textJson(const uint8_t *b, qsizetype n)
{
    QString text;
    appendJetText(b, static_cast<std::size_t>(n), text);
    QByteArray out;
    appendString(out, text);
    return out;
}

QByteArray moneyJson(const uint8_t *b)
{
    const auto v = static_cast<int64_t>(littleEndian(b, 8));
    const U128 mag = v < 0 ? static_cast<U128>(-(v + 1)) + 1 : v;
    return decimal(mag, v < 0, 4);
}

QByteArray floatJson(const uint8_t *b)
{
    float f;
    const auto bits = static_cast<uint32_t>(littleEndian(b, 4));
    std::memcpy(&f, &bits, 4);
    return real(f, 9);
}

QByteArray dateTimeJson(double d)
{
    if (!std::isfinite(d) || std::fabs(d) > 3e6)
        return "null";
    // whole days from 30 December 1899, the fraction the time of day
    // (also for days before it)
    auto days = static_cast<int64_t>(std::trunc(d));
    auto seconds = static_cast<int64_t>(std::llround(std::fabs(d - static_cast<double>(days)) * 86400.0));
    if (seconds >= 86400) {
        seconds -= 86400;
        days += d < 0 ? -1 : 1;
    }
    const QDate date = QDate(1899, 12, 30).addDays(days);
    return QStringLiteral("\"%1 %2:%3:%4\"")
        .arg(date.toString(QStringLiteral("yyyy-MM-dd")))
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .toUtf8();
}

QByteArray guidJson(const uint8_t *b)
{
    const QByteArray h = QByteArray(reinterpret_cast<const char *>(b), 16).toHex().toUpper();
    auto rev = [&](int from, int len) { // the first three groups are little-endian
        QByteArray part;
        for (int i = len - 1; i >= 0; --i)
            part += h.mid(qsizetype(2) * (from + i), 2);
        return part;
    };
    return "\"{" + rev(0, 4) + '-' + rev(4, 2) + '-' + rev(6, 2) + '-' + h.mid(16, 4) + '-' + h.mid(20, 12) + "}\"";
}

// A sign byte, then four 32-bit little-endian words, the most significant first.
QByteArray numericJson(const uint8_t *b, int scale)
{
    U128 v = 0;
    for (int w = 0; w < 4; ++w)
        v = v << 32 | static_cast<uint32_t>(littleEndian(b + 1 + 4 * static_cast<std::ptrdiff_t>(w), 4));
    return decimal(v, b[0] & 0x80, std::min<int>(scale, 38));
}

// The bytes a value of a fixed-size type needs; -1 for the types written as
// base64 (binary, OLE, and anything not understood).
int neededBytes(uint8_t type)
{
    switch (type) {
    case kByte: return 1;
    case format::kTypeInt: return 2;
    case format::kTypeLong:
    case kComplex:
    case kFloat: return 4;
    case kMoney:
    case kDouble:
    case kDateTime: return 8;
    case kGuid: return 16;
    case kNumeric: return 17;
    default: return -1;
    }
}

// A value of a fixed-size type whose bytes are enough for it.
QByteArray fixedJson(const ColumnInfo &column, const uint8_t *b)
{
    switch (column.type) {
    case kByte: return QByteArray::number(b[0]);
    case format::kTypeInt: return QByteArray::number(static_cast<int16_t>(littleEndian(b, 2)));
    case format::kTypeLong:
    case kComplex: return QByteArray::number(static_cast<int32_t>(littleEndian(b, 4)));
    case kMoney: return moneyJson(b);
    case kFloat: return floatJson(b);
    case kDouble: return real(doubleAt(b), 17);
    case kDateTime: return dateTimeJson(doubleAt(b));
    case kGuid: return guidJson(b);
    default: return numericJson(b, column.scale);
    }
}

} // namespace

QByteArray jsonValue(const ColumnInfo &column, const RawField &field)
{
    if (column.type == kBool)
        return !field.bytes.isEmpty() && field.bytes[0] ? "true" : "false";
    if (field.null)
        return "null";
    const auto *b = reinterpret_cast<const uint8_t *>(field.bytes.constData());
    const qsizetype n = field.bytes.size();
    if (column.type == format::kTypeText || column.type == format::kTypeMemo)
        return textJson(b, n);
    const int needed = neededBytes(column.type);
    if (needed < 0 || n < needed)
        return '"' + field.bytes.toBase64() + '"'; // binary, OLE, and anything not understood
    return fixedJson(column, b);
}

void exportJsonLines(JetFile &db, const QString &table, const std::function<void(const QByteArray &)> &out)
{
    const std::vector<ColumnInfo> columns = db.columns(table);
    std::vector<QByteArray> keys;
    for (const ColumnInfo &c : columns) {
        QByteArray k;
        appendString(k, c.name);
        keys.push_back(k + ':');
    }
    QByteArray line;
    db.scan(table, [&](const std::vector<RawField> &row) {
        line = "{";
        for (std::size_t i = 0; i < columns.size() && i < row.size(); ++i) {
            if (i)
                line += ',';
            line += keys[i];
            line += jsonValue(columns[i], row[i]);
        }
        line += "}\n";
        out(line);
    });
}

} // namespace somnex::jet
