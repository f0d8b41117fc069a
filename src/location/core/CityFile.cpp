#include "location/core/CityFile.h"

#include "location/core/Location.h"
#include "platform/ansi/AnsiCodePage.h"

#include <QFile>

#include <cmath>
#include <limits>

namespace somnex::location {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}
bool isLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

// Splits the text into fields. Blank lines between fields are skipped; a line
// end right after a comma still ends an (empty) field.
class FieldReader {
public:
    explicit FieldReader(const QString &text) : s_(text) {}

    bool next(QString *field)
    {
        for (;;) {
            while (i_ < s_.size() && isBlank(s_[i_]))
                ++i_;
            if (i_ >= s_.size())
                return false; // nothing left, not even an empty field
            if (isLineEnd(s_[i_]) && afterLineEnd_) {
                skipLineEnd();
                continue; // an empty line
            }
            break;
        }
        if (s_[i_] == u'"') {
            const qsizetype start = ++i_;
            qsizetype close = s_.indexOf(u'"', start);
            if (close < 0)
                close = s_.size();
            *field = s_.mid(start, close - start);
            i_ = close + 1;
            while (i_ < s_.size() && s_[i_] != u',' && !isLineEnd(s_[i_]))
                ++i_;
        } else {
            const qsizetype start = i_;
            while (i_ < s_.size() && s_[i_] != u',' && !isLineEnd(s_[i_]))
                ++i_;
            qsizetype end = i_;
            while (end > start && isBlank(s_[end - 1]))
                --end;
            *field = s_.mid(start, end - start);
        }
        if (i_ < s_.size() && s_[i_] == u',') {
            ++i_;
            afterLineEnd_ = false;
        } else {
            skipLineEnd();
            afterLineEnd_ = true;
        }
        return true;
    }

private:
    void skipLineEnd()
    {
        if (i_ < s_.size() && s_[i_] == u'\r')
            ++i_;
        if (i_ < s_.size() && s_[i_] == u'\n')
            ++i_;
    }

    const QString &s_;
    qsizetype i_ = 0;
    bool afterLineEnd_ = true;
};

qint16 number(const QString &field)
{
    const QString t = field.trimmed();
    if (t.isEmpty())
        return 0;
    qsizetype i = 0;
    if (t[0] == u'-' || t[0] == u'+')
        ++i;
    qsizetype digits = 0, point = 0;
    for (qsizetype k = i; k < t.size(); ++k) {
        if (t[k] >= u'0' && t[k] <= u'9')
            ++digits;
        else if (t[k] == u'.' && point == 0)
            ++point;
        else
            return 0;
    }
    if (digits == 0)
        return 0;
    bool ok = false;
    const double v = std::nearbyint(t.toDouble(&ok));
    if (!ok || v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<qint16>::max())
        return 0;
    return static_cast<qint16>(v);
}

} // namespace

QString CityRecord::latitudeCell() const
{
    return QStringLiteral("%1° %2' %3").arg(latDegrees).arg(latMinutes).arg(south() ? u"ю.ш."_qs : u"с.ш."_qs);
}

QString CityRecord::longitudeCell() const
{
    return QStringLiteral("%1° %2' %3").arg(lonDegrees).arg(lonMinutes).arg(west() ? u"з.д."_qs : u"в.д."_qs);
}

QList<CityRecord> CityFile::parse(QByteArrayView bytes)
{
    const QString text = ansi::toUnicode(bytes);
    FieldReader reader(text);
    QList<CityRecord> records;
    QString f[FieldsPerRecord];
    bool header = true;
    for (;;) {
        int n = 0;
        while (n < FieldsPerRecord && reader.next(&f[n]))
            ++n;
        if (n < FieldsPerRecord)
            break; // end of file; a partial record is not a place
        if (header) {
            header = false;
            continue;
        }
        CityRecord r;
        r.name = f[0];
        r.lonDegrees = number(f[1]);
        r.lonMinutes = number(f[2]);
        r.latDegrees = number(f[3]);
        r.latMinutes = number(f[4]);
        r.latFlag = number(f[5]);
        r.lonFlag = number(f[6]);
        // 90°30' or 180°10' is no place: the pole and the antimeridian have no minutes
        if (r.latDegrees >= kMaxLatitudeDegrees)
            r.latMinutes = 0;
        if (r.lonDegrees >= kMaxLongitudeDegrees)
            r.lonMinutes = 0;
        records.append(std::move(r));
    }
    return records;
}

QList<CityRecord> CityFile::read(const QString &path, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return QList<CityRecord>();
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Не удалось открыть файл \"%1\": %2").arg(path, file.errorString()));
    if (file.size() > MaxFileSize)
        return fail(QStringLiteral("Файл \"%1\" слишком велик для справочника городов").arg(path));
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("Не удалось прочитать файл \"%1\": %2").arg(path, file.errorString()));
    if (bytes.size() > MaxFileSize)
        return fail(QStringLiteral("Файл \"%1\" слишком велик для справочника городов").arg(path));
    if (error)
        error->clear();
    return parse(bytes);
}

} // namespace somnex::location
