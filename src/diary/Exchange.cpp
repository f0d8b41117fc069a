#include "diary/Exchange.h"

#include "diary/LunarSnapshot.h"
#include "platform/core/AtomicFile.h"
#include "platform/core/RussianDates.h"
#include "platform/error/Error.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryFile>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace somnex::diary {

namespace {

const QString kSource = QStringLiteral("DiaryExchange");

// ---- moments as text ------------------------------------------------------

QString utcText(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODateWithMs) : QString();
}

int digitsAt(QStringView s, qsizetype at, qsizetype count, bool &ok)
{
    int v = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = i < s.size() ? s[i].unicode() : u'x';
        if (c < u'0' || c > u'9') {
            ok = false;
            return 0;
        }
        v = v * 10 + (c - u'0');
    }
    return v;
}

bool charAt(QStringView s, qsizetype at, char16_t c)
{
    return at < s.size() && s[at] == c;
}

// "yyyy-MM-ddTHH:mm:ss" at the start of s; invalid when it is not that.
// (QDateTime's parser is several times slower, which an import of years of
// dreams feels.)
QDateTime parseLocalPart(QStringView s)
{
    bool ok =
        charAt(s, 4, u'-') && charAt(s, 7, u'-') && charAt(s, 10, u'T') && charAt(s, 13, u':') && charAt(s, 16, u':');
    const QDate d(digitsAt(s, 0, 4, ok), digitsAt(s, 5, 2, ok), digitsAt(s, 8, 2, ok));
    const QTime t(digitsAt(s, 11, 2, ok), digitsAt(s, 14, 2, ok), digitsAt(s, 17, 2, ok));
    if (!ok || !d.isValid() || !t.isValid())
        return {};
    return QDateTime(d, t, Qt::UTC);
}

// "yyyy-MM-ddTHH:mm:ss+HH:MM[:SS]" (isoWithOffset) as a moment in that offset.
QDateTime parseWithOffset(QStringView s)
{
    if ((s.size() != 25 && s.size() != 28) || (s[19] != u'+' && s[19] != u'-') || s[22] != u':'
        || (s.size() == 28 && s[25] != u':'))
        return {};
    const QDateTime local = parseLocalPart(s);
    bool ok = local.isValid();
    const int hours = digitsAt(s, 20, 2, ok);
    const int minutes = digitsAt(s, 23, 2, ok);
    const int seconds = s.size() == 28 ? digitsAt(s, 26, 2, ok) : 0;
    if (!ok || minutes > 59 || seconds > 59)
        return {};
    const int offset = (s[19] == u'-' ? -1 : 1) * (hours * 3600 + minutes * 60 + seconds);
    return QDateTime(local.date(), local.time(), Qt::OffsetFromUTC, offset);
}

// "yyyy-MM-ddTHH:mm:ss.zzzZ" (utcText), universal time.
QDateTime parseUtc(QStringView s)
{
    if (s.size() != 24 || s[19] != u'.' || s[23] != u'Z')
        return {};
    const QDateTime t = parseLocalPart(s);
    bool ok = t.isValid();
    const int ms = digitsAt(s, 20, 3, ok);
    return ok ? t.addMSecs(ms) : QDateTime();
}

QDate parseDay(const QString &s)
{
    return s.size() == 10 ? QDate::fromString(s, Qt::ISODate) : QDate();
}

// ---- writing our JSON ---------------------------------------------------------

QJsonValue orNull(const QString &s)
{
    return s.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(s);
}

QString originCode(Symbol::Origin o)
{
    switch (o) {
    case Symbol::Origin::AddedByHand: return QStringLiteral("added");
    case Symbol::Origin::RemovedByHand: return QStringLiteral("removed");
    case Symbol::Origin::Found: break;
    }
    return QStringLiteral("found");
}

QJsonObject lunarJson(const LunarSnapshot &l)
{
    QJsonObject o;
    o[QStringLiteral("found")] = l.found;
    o[QStringLiteral("day")] = l.lunarDay;
    o[QStringLiteral("start")] = orNull(isoWithOffset(l.start));
    o[QStringLiteral("end")] = orNull(isoWithOffset(l.end));
    o[QStringLiteral("phasePicture")] = l.phasePicture;
    o[QStringLiteral("lunarDayText")] = l.lunarDayText;
    o[QStringLiteral("weekdayText")] = l.weekdayText;
    o[QStringLiteral("monthDayText")] = l.monthDayText;
    return o;
}

QJsonObject entryObject(const Entry &e)
{
    QJsonObject o;
    o[QStringLiteral("id")] = e.id;
    o[QStringLiteral("created")] = utcText(e.created);
    o[QStringLiteral("updated")] = utcText(e.updated);
    o[QStringLiteral("at")] = isoWithOffset(e.at);
    o[QStringLiteral("zone")] = e.zone;
    o[QStringLiteral("night")] = e.night.toString(Qt::ISODate);
    o[QStringLiteral("title")] = e.title;
    o[QStringLiteral("text")] = e.text;
    o[QStringLiteral("lucid")] = e.lucid;
    o[QStringLiteral("clarity")] = e.clarity ? QJsonValue(*e.clarity) : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("mood")] = e.mood ? QJsonValue(*e.mood) : QJsonValue(QJsonValue::Null);
    QJsonArray kinds;
    for (DreamKind k : e.kinds)
        kinds.append(kindCode(k));
    o[QStringLiteral("kinds")] = kinds;
    QJsonArray tags;
    for (const Tag &t : e.tags)
        tags.append(QJsonObject{{QStringLiteral("text"), t.text}, {QStringLiteral("kind"), tagKindCode(t.kind)}});
    o[QStringLiteral("tags")] = tags;
    if (e.place)
        o[QStringLiteral("place")] = QJsonObject{{QStringLiteral("name"), e.place->name},
                                                 {QStringLiteral("latitude"), e.place->latitude},
                                                 {QStringLiteral("longitude"), e.place->longitude}};
    else
        o[QStringLiteral("place")] = QJsonValue(QJsonValue::Null);
    o[QStringLiteral("fulfilment")] =
        QJsonObject{{QStringLiteral("mark"), markCode(e.fulfilment.mark)},
                    {QStringLiteral("markedOn"), orNull(e.fulfilment.markedOn.toString(Qt::ISODate))},
                    {QStringLiteral("note"), e.fulfilment.note}};
    QJsonArray symbols;
    for (const Symbol &s : e.symbols)
        symbols.append(
            QJsonObject{{QStringLiteral("headword"), s.headword}, {QStringLiteral("origin"), originCode(s.origin)}});
    o[QStringLiteral("symbols")] = symbols;
    o[QStringLiteral("lunar")] = lunarJson(e.lunar);
    o[QStringLiteral("deletedAt")] = orNull(utcText(e.deletedAt));
    return o;
}

// ---- reading our JSON -------------------------------------------------------------

// Reads one entry's fields, throwing with the file and the entry named.
class EntryReader {
public:
    EntryReader(const QString &file, qsizetype index, const QJsonObject &o) : file_(file), index_(index), o_(o) {}

    Entry read();

private:
    [[noreturn]] void fail(const QString &why) const
    {
        throw Error(
            kErrorJournalBad, kSource,
            QStringLiteral("Файл «%1», запись %2: %3. Ничего не импортировано.").arg(file_).arg(index_ + 1).arg(why));
    }
    QJsonValue field(const QJsonObject &o, const char *name) const
    {
        const auto it = o.constFind(QLatin1String(name));
        if (it == o.constEnd())
            fail(QStringLiteral("нет поля «%1»").arg(QLatin1String(name)));
        return *it;
    }
    QString string(const QJsonObject &o, const char *name) const
    {
        const QJsonValue v = field(o, name);
        if (!v.isString())
            fail(QStringLiteral("поле «%1» должно быть строкой").arg(QLatin1String(name)));
        return v.toString();
    }
    QString nullableString(const QJsonObject &o, const char *name) const
    {
        const QJsonValue v = field(o, name);
        if (v.isNull())
            return {};
        if (!v.isString())
            fail(QStringLiteral("поле «%1» должно быть строкой или null").arg(QLatin1String(name)));
        return v.toString();
    }
    bool boolean(const QJsonObject &o, const char *name) const
    {
        const QJsonValue v = field(o, name);
        if (!v.isBool())
            fail(QStringLiteral("поле «%1» должно быть true или false").arg(QLatin1String(name)));
        return v.toBool();
    }
    int integer(const QJsonValue &v, const char *name, int low, int high) const
    {
        const double d = v.toDouble();
        if (!v.isDouble() || d != std::floor(d) || d < low || d > high)
            fail(QStringLiteral("поле «%1» должно быть целым числом от %2 до %3")
                     .arg(QLatin1String(name))
                     .arg(low)
                     .arg(high));
        return static_cast<int>(d);
    }
    std::optional<int> optionalInteger(const QJsonObject &o, const char *name, int low, int high) const
    {
        const QJsonValue v = field(o, name);
        if (v.isNull())
            return std::nullopt;
        return integer(v, name, low, high);
    }
    QJsonObject object(const QJsonObject &o, const char *name) const
    {
        const QJsonValue v = field(o, name);
        if (!v.isObject())
            fail(QStringLiteral("поле «%1» должно быть объектом").arg(QLatin1String(name)));
        return v.toObject();
    }
    QJsonArray array(const QJsonObject &o, const char *name) const
    {
        const QJsonValue v = field(o, name);
        if (!v.isArray())
            fail(QStringLiteral("поле «%1» должно быть списком").arg(QLatin1String(name)));
        return v.toArray();
    }
    QDateTime utc(const QJsonObject &o, const char *name, bool nullable) const
    {
        const QString s = nullable ? nullableString(o, name) : string(o, name);
        if (s.isEmpty() && nullable)
            return {};
        QDateTime t = parseUtc(s);
        if (!t.isValid() || t.date().year() < kFirstYear || t.date().year() > kLastYear)
            fail(QStringLiteral("неверное время «%1» в поле «%2»").arg(s, QLatin1String(name)));
        return t;
    }
    QDateTime local(const QString &s, const char *name) const
    {
        QDateTime t = parseWithOffset(s);
        if (!t.isValid())
            fail(QStringLiteral("неверное время «%1» в поле «%2» (нужно ГГГГ-ММ-ДДTЧЧ:ММ:СС+ЧЧ:ММ)")
                     .arg(s, QLatin1String(name)));
        return t;
    }
    QDate day(const QString &s, const char *name) const
    {
        const QDate d = parseDay(s);
        if (!d.isValid() || d.year() < kFirstYear || d.year() > kLastYear)
            fail(QStringLiteral("неверная дата «%1» в поле «%2»").arg(s, QLatin1String(name)));
        return d;
    }

    void readMoment(Entry &e) const;
    void readMarks(Entry &e) const;
    void readLists(Entry &e) const;
    void readPlace(Entry &e) const;
    void readLunar(Entry &e) const;

    const QString &file_;
    qsizetype index_;
    const QJsonObject &o_;
};

void EntryReader::readMoment(Entry &e) const
{
    e.at = local(string(o_, "at"), "at");
    if (e.at.date().year() < kFirstYear || e.at.date().year() > kLastYear)
        fail(QStringLiteral("дата сна %1 вне допустимых пределов (годы %2–%3)")
                 .arg(e.at.date().toString(QStringLiteral("dd.MM.yyyy")))
                 .arg(kFirstYear)
                 .arg(kLastYear));
    if (std::abs(e.at.offsetFromUtc()) > 18 * 3600)
        fail(QStringLiteral("смещение от всемирного времени больше 18 часов"));
    e.zone = string(o_, "zone");
    e.night = day(string(o_, "night"), "night");
    if (e.night != nightOf(e.at))
        fail(QStringLiteral("ночь %1 не соответствует времени сна").arg(e.night.toString(Qt::ISODate)));
    e.created = utc(o_, "created", false);
    e.updated = utc(o_, "updated", false);
    e.deletedAt = utc(o_, "deletedAt", true);
}

void EntryReader::readMarks(Entry &e) const
{
    e.lucid = boolean(o_, "lucid");
    e.clarity = optionalInteger(o_, "clarity", 1, 4);
    e.mood = optionalInteger(o_, "mood", -2, 2);
    const QJsonObject f = object(o_, "fulfilment");
    const QString mark = string(f, "mark");
    const std::optional<Mark> m = markFromCode(mark);
    if (!m)
        fail(QStringLiteral("неизвестная отметка «%1»").arg(mark));
    e.fulfilment.mark = *m;
    const QString markedOn = nullableString(f, "markedOn");
    if (!markedOn.isEmpty())
        e.fulfilment.markedOn = day(markedOn, "markedOn");
    if ((*m == Mark::None) != markedOn.isEmpty())
        fail(QStringLiteral("дата отметки дана без отметки или отметка без даты"));
    e.fulfilment.note = string(f, "note");
}

void EntryReader::readLists(Entry &e) const
{
    for (const QJsonValue v : array(o_, "kinds")) {
        const std::optional<DreamKind> k = v.isString() ? kindFromCode(v.toString()) : std::nullopt;
        if (!k || kindCode(*k) != v.toString())
            fail(QStringLiteral("неизвестный вид сна «%1»").arg(v.toString()));
        if (!e.kinds.contains(*k))
            e.kinds << *k;
    }
    for (const QJsonValue v : array(o_, "tags")) {
        if (!v.isObject())
            fail(QStringLiteral("метка должна быть объектом"));
        const QJsonObject t = v.toObject();
        const QString kind = string(t, "kind");
        const std::optional<TagKind> k = tagKindFromCode(kind);
        if (!k)
            fail(QStringLiteral("неизвестный вид метки «%1»").arg(kind));
        e.tags << Tag{string(t, "text"), *k};
    }
    for (const QJsonValue v : array(o_, "symbols")) {
        if (!v.isObject())
            fail(QStringLiteral("символ должен быть объектом"));
        const QJsonObject s = v.toObject();
        const QString origin = string(s, "origin");
        Symbol symbol{string(s, "headword"), Symbol::Origin::Found};
        if (origin == QLatin1String("added"))
            symbol.origin = Symbol::Origin::AddedByHand;
        else if (origin == QLatin1String("removed"))
            symbol.origin = Symbol::Origin::RemovedByHand;
        else if (origin != QLatin1String("found"))
            fail(QStringLiteral("неизвестное происхождение символа «%1»").arg(origin));
        e.symbols << symbol;
    }
}

void EntryReader::readPlace(Entry &e) const
{
    const QJsonValue v = field(o_, "place");
    if (v.isNull())
        return;
    if (!v.isObject())
        fail(QStringLiteral("поле «place» должно быть объектом или null"));
    const QJsonObject p = v.toObject();
    const QJsonValue lat = field(p, "latitude");
    const QJsonValue lon = field(p, "longitude");
    if (!lat.isDouble() || std::abs(lat.toDouble()) > 90.0)
        fail(QStringLiteral("широта должна быть числом от -90 до 90"));
    if (!lon.isDouble() || std::abs(lon.toDouble()) > 180.0)
        fail(QStringLiteral("долгота должна быть числом от -180 до 180"));
    e.place = Place{string(p, "name"), lat.toDouble(), lon.toDouble()};
}

void EntryReader::readLunar(Entry &e) const
{
    const QJsonObject l = object(o_, "lunar");
    LunarSnapshot &s = e.lunar;
    s.found = boolean(l, "found");
    s.lunarDay = integer(field(l, "day"), "day", s.found ? 1 : 0, s.found ? 30 : 0);
    const QString start = nullableString(l, "start");
    const QString end = nullableString(l, "end");
    if (s.found != !start.isEmpty() || s.found != !end.isEmpty())
        fail(QStringLiteral("начало и конец лунного дня даются, только когда он найден"));
    if (s.found) {
        // Kept in the dream's own offset, as the diary keeps them.
        const QDateTime a = local(start, "start");
        const QDateTime b = local(end, "end");
        s.start = a.toOffsetFromUtc(e.at.offsetFromUtc());
        s.end = b.toOffsetFromUtc(e.at.offsetFromUtc());
    }
    s.phasePicture = integer(field(l, "phasePicture"), "phasePicture", 0, 1000);
    s.lunarDayText = string(l, "lunarDayText");
    s.weekdayText = string(l, "weekdayText");
    s.monthDayText = string(l, "monthDayText");
}

Entry EntryReader::read()
{
    Entry e;
    e.id = string(o_, "id");
    const QUuid uuid = QUuid::fromString(e.id);
    if (uuid.isNull() || uuid.toString(QUuid::WithoutBraces) != e.id)
        fail(QStringLiteral("неверный номер записи «%1»").arg(e.id.left(100)));
    readMoment(e);
    e.title = string(o_, "title");
    e.text = string(o_, "text");
    if (!QStringView(e.text).isValidUtf16() || !QStringView(e.title).isValidUtf16())
        fail(QStringLiteral("текст содержит испорченные символы (половину суррогатной пары)"));
    if (e.title.size() > kMaxTitleLength)
        fail(QStringLiteral("название длиннее %1 знаков").arg(kMaxTitleLength));
    if (e.text.size() > kMaxTextBytes || e.text.toUtf8().size() > kMaxTextBytes)
        fail(QStringLiteral("текст длиннее %1 МБ").arg(kMaxTextBytes / (qint64(1024) * 1024)));
    readMarks(e);
    readLists(e);
    readPlace(e);
    readLunar(e);
    return e;
}

[[noreturn]] void journalFail(const QString &file, const QString &why, long number = kErrorJournalBad)
{
    throw Error(number, kSource, QStringLiteral("Файл «%1»: %2. Ничего не импортировано.").arg(file, why));
}

QString megabytes(qint64 bytes)
{
    return QString::number(bytes / (qint64(1024) * 1024));
}

// ---- the merge -------------------------------------------------------------------

// What tells a dream without an id: its moment and its text.
QByteArray momentKey(const Entry &e)
{
    QCryptographicHash h(QCryptographicHash::Sha1);
    const qint64 secs = e.at.toSecsSinceEpoch();
    h.addData(QByteArrayView(reinterpret_cast<const char *>(&secs), sizeof secs));
    h.addData(QByteArrayView(reinterpret_cast<const char *>(e.text.constData()), e.text.size() * 2));
    return h.result();
}

QString entriesWord(qsizetype n)
{
    const qsizetype tens = n % 100;
    const qsizetype ones = n % 10;
    if (tens >= 11 && tens <= 14)
        return QStringLiteral("записей");
    if (ones == 1)
        return QStringLiteral("запись");
    if (ones >= 2 && ones <= 4)
        return QStringLiteral("записи");
    return QStringLiteral("записей");
}

// ---- Markdown, CSV, HTML ------------------------------------------------------------

QString withoutNul(QString s)
{
    s.remove(QChar(0));
    return s;
}

// A YAML double-quoted scalar.
QString yamlString(const QString &s)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u == u'"' || u == u'\\')
            out += QLatin1Char('\\') + c;
        else if (u == u'\n')
            out += QStringLiteral("\\n");
        else if (u == u'\t')
            out += QStringLiteral("\\t");
        else if (u < 0x20 || u == 0x7f || u == 0x85 || u == 0x2028 || u == 0x2029 || u == 0xfeff)
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

QString yamlList(const QStringList &items)
{
    QStringList quoted;
    for (const QString &s : items)
        quoted << yamlString(s);
    return QLatin1Char('[') + quoted.join(QStringLiteral(", ")) + QLatin1Char(']');
}

// A spreadsheet opening the table takes a cell beginning with =, +, - or @
// (or a tab or carriage return before one) for a formula and runs it: text
// imported from another journal could call out to the network or another
// program. Such a cell gets an apostrophe first, which spreadsheets show as
// a text cell; a plain number ("-2") stays a number.
QString spreadsheetSafe(QString cell)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+([.][0-9]+)?$"));
    if (!cell.isEmpty() && QStringLiteral("=+-@\t\r").contains(cell.front()) && !number.match(cell).hasMatch())
        cell.prepend(QLatin1Char('\''));
    return cell;
}

QString csvField(const QString &s)
{
    QString clean = spreadsheetSafe(withoutNul(s));
    if (!clean.contains(QLatin1Char('"')) && !clean.contains(QLatin1Char(',')) && !clean.contains(QLatin1Char('\n'))
        && !clean.contains(QLatin1Char('\r')))
        return clean;
    QString quoted = clean;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QStringList tagTexts(const Entry &e)
{
    QStringList out;
    for (const Tag &t : e.tags)
        out << t.text;
    return out;
}

QStringList kindNames(const Entry &e)
{
    QStringList out;
    for (DreamKind k : e.kinds)
        out << kindName(k);
    return out;
}

QString russianDate(const QDate &d)
{
    return dates::format(d, QStringLiteral("d MMMM yyyy 'г.'"));
}

QString nightHeading(const QDate &night)
{
    return QStringLiteral("Ночь с %1 на %2").arg(russianDate(night), russianDate(night.addDays(1)));
}

QString html(const QString &s)
{
    return withoutNul(s).toHtmlEscaped();
}

QString dreamHtml(const Entry &e)
{
    QString h = QStringLiteral("<article>\n<h3>") + html(e.displayTitle()) + QStringLiteral("</h3>\n");
    QStringList meta;
    meta << e.at.toString(QStringLiteral("HH:mm"));
    if (e.lunar.found)
        meta << QStringLiteral("лунный день %1").arg(e.lunar.lunarDay);
    if (e.lucid)
        meta << QStringLiteral("осознанный");
    meta << kindNames(e);
    if (e.fulfilment.mark != Mark::None)
        meta << markName(e.fulfilment.mark);
    h += QStringLiteral("<p class=\"meta\">") + html(meta.join(QStringLiteral(" · "))) + QStringLiteral("</p>\n");
    for (const QString &para : e.text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!para.trimmed().isEmpty())
            h += QStringLiteral("<p>") + html(para) + QStringLiteral("</p>\n");
    if (!e.symbolHeadwords().isEmpty())
        h += QStringLiteral("<p class=\"symbols\">Символы: ") + html(e.symbolHeadwords().join(QStringLiteral(", ")))
             + QStringLiteral("</p>\n");
    if (e.lunar.found && !e.lunar.lunarDayText.isEmpty())
        h += QStringLiteral("<p class=\"lunar\">") + html(e.lunar.lunarDayText) + QStringLiteral("</p>\n");
    return h + QStringLiteral("</article>\n");
}

// The letters and digits of a title, lower case, words joined by "-", whole
// words up to kSlugLength characters.
QString slugOf(const QString &title)
{
    constexpr qsizetype kSlugLength = 60;
    QStringList words;
    QString word;
    for (const QChar c : title.toLower() + QLatin1Char(' ')) {
        if (c.isLetterOrNumber() && !c.isSurrogate()) {
            word += c;
        } else if (!word.isEmpty()) {
            words << word;
            word.clear();
        }
    }
    QString slug;
    for (const QString &w : words) {
        if (slug.isEmpty() && w.size() > kSlugLength)
            return w.left(kSlugLength);
        if (slug.size() + 1 + w.size() > kSlugLength)
            break;
        slug += (slug.isEmpty() ? QString() : QStringLiteral("-")) + w;
    }
    return slug.isEmpty() ? QStringLiteral("son") : slug;
}

bool earlierMoment(const Entry &a, const Entry &b)
{
    return a.at.toSecsSinceEpoch() < b.at.toSecsSinceEpoch()
           || (a.at.toSecsSinceEpoch() == b.at.toSecsSinceEpoch() && a.id < b.id);
}

// A note written whole under a temporary name and renamed into place, not
// yet flushed to the disk: a folder of thousands is flushed once at the end
// (syncNotes), not note by note.
void writeNote(const QString &path, const QByteArray &bytes)
{
    try {
        writeFileUnsynced(path, bytes);
    } catch (const Error &e) {
        throw Error(kErrorExportWrite, kSource, e.description());
    }
}

void syncNotes(const QString &folder)
{
    try {
        syncFileSystem(folder);
    } catch (const Error &e) {
        throw Error(kErrorExportWrite, kSource, e.description());
    }
}

QStringList markdownNames(const QList<Entry> &entries)
{
    QStringList taken;
    QStringList names;
    for (const Entry &e : entries)
        names << markdownFileName(e, taken);
    return names;
}

} // namespace

// ---- our own format ------------------------------------------------------------------

QByteArray diaryJson(const QList<Entry> &entries)
{
    QJsonArray list;
    for (const Entry &e : entries)
        list.append(entryObject(e));
    // The format first (a JSON object's keys would be sorted), so that even
    // the beginning of a cut file tells what it is.
    QByteArray body = QJsonDocument(list).toJson(QJsonDocument::Indented);
    body.chop(1);
    return QByteArray("{\n\"format\": \"") + kDiaryFormatName
           + "\",\n\"version\": " + QByteArray::number(kDiaryFormatVersion) + ",\n\"entries\": " + body + "\n}\n";
}

ImportedJournal parseDiaryJson(const QByteArray &bytes, const QString &fileName)
{
    if (bytes.size() > kMaxJournalBytes)
        journalFail(fileName, QStringLiteral("файл больше %1 МБ").arg(megabytes(kMaxJournalBytes)));
    // What is not even an object naming our format may be another journal's
    // file (a text in another encoding, another program's JSON): that one's
    // reader is asked next.
    const bool ours = bytes.trimmed().startsWith('{') && bytes.contains("\"somnex-diary\"");
    if (!ours)
        journalFail(fileName, QStringLiteral("это не дневник снов в формате JSON"), kErrorJournalUnknown);
    if (!bytes.isValidUtf8())
        journalFail(fileName, QStringLiteral("текст не в кодировке UTF-8"));
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        journalFail(
            fileName,
            QStringLiteral("файл JSON повреждён или обрезан (%1, байт %2)").arg(error.errorString()).arg(error.offset));
    }
    const QJsonObject top = doc.object();
    if (!doc.isObject() || top.value(QStringLiteral("format")).toString() != QLatin1String(kDiaryFormatName))
        journalFail(fileName, QStringLiteral("это не дневник снов в формате JSON"), kErrorJournalUnknown);
    const QJsonValue version = top.value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() != kDiaryFormatVersion) {
        if (version.isDouble() && version.toDouble() > kDiaryFormatVersion)
            journalFail(fileName, QStringLiteral("файл записан более новой версией программы (версия формата %1)")
                                      .arg(version.toDouble()));
        journalFail(fileName, QStringLiteral("неверная версия формата"));
    }
    const QJsonValue list = top.value(QStringLiteral("entries"));
    if (!list.isArray())
        journalFail(fileName, QStringLiteral("нет списка записей «entries»"));
    ImportedJournal journal;
    journal.format = QStringLiteral("somnex-json");
    journal.source = fileName;
    const QJsonArray entries = list.toArray();
    journal.entries.reserve(entries.size());
    QSet<QString> ids;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QJsonValue v = entries.at(i);
        if (!v.isObject())
            journalFail(fileName, QStringLiteral("запись %1 должна быть объектом").arg(i + 1));
        const QJsonObject o = v.toObject();
        Entry e = EntryReader(fileName, i, o).read();
        if (ids.contains(e.id))
            journalFail(fileName, QStringLiteral("запись %1: номер «%2» уже встречался").arg(i + 1).arg(e.id));
        ids.insert(e.id);
        journal.entries << std::move(e);
    }
    return journal;
}

ImportedJournal readAnyJournal(const QString &path, const JournalReader &foreign)
{
    const QFileInfo info(path);
    if (!info.exists())
        journalFail(path, QStringLiteral("файл не найден"));
    if (info.isFile()) {
        if (info.size() > kMaxJournalBytes)
            journalFail(path,
                        QStringLiteral("файл больше %1 МБ; такой файл не читается").arg(megabytes(kMaxJournalBytes)));
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            journalFail(path, QStringLiteral("файл не читается (%1)").arg(f.errorString()));
        // Read no more than the limit even if the file grew meanwhile.
        const QByteArray bytes = f.read(kMaxJournalBytes + 1);
        try {
            return parseDiaryJson(bytes, path);
        } catch (const Error &e) {
            if (e.number() != kErrorJournalUnknown)
                throw;
            traceIgnored(std::current_exception());
        }
    }
    if (foreign)
        return foreign(path);
    journalFail(path, QStringLiteral("формат не распознан: это не дневник снов и не известный журнал"),
                kErrorJournalUnknown);
}

// ---- the merge -------------------------------------------------------------------------

QString MergePlan::preview() const
{
    return QStringLiteral("Будет добавлено %1 %2, обновлено %3, уже есть %4")
        .arg(toAdd.size())
        .arg(entriesWord(toAdd.size()))
        .arg(toUpdate.size())
        .arg(unchanged);
}

QString MergePlan::done() const
{
    return QStringLiteral("Добавлено %1 %2, обновлено %3, уже есть %4")
        .arg(toAdd.size())
        .arg(entriesWord(toAdd.size()))
        .arg(toUpdate.size())
        .arg(unchanged);
}

MergePlan planMerge(const DiaryStore &store, const ImportedJournal &journal)
{
    const QList<Entry> stored = store.allEntries();
    QHash<QString, QDateTime> updatedById;
    QSet<QByteArray> moments;
    for (const Entry &e : stored) {
        updatedById.insert(e.id, e.updated);
        moments.insert(momentKey(e));
    }
    MergePlan plan;
    // Each id once in the plan: where it is and whether it adds.
    QHash<QString, std::pair<bool, qsizetype>> planned;
    for (qsizetype i = 0; i < journal.entries.size(); ++i) {
        Entry e = journal.entries[i];
        try {
            DiaryStore::checkEntry(e);
        } catch (const Error &error) {
            throw Error(kErrorJournalBad, kSource,
                        QStringLiteral("Файл «%1», запись %2: %3 Ничего не импортировано.")
                            .arg(journal.source)
                            .arg(i + 1)
                            .arg(error.description()));
        }
        if (e.id.isEmpty()) {
            const QByteArray key = momentKey(e);
            if (moments.contains(key)) {
                ++plan.unchanged;
                continue;
            }
            moments.insert(key);
            e.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        }
        if (const auto it = planned.constFind(e.id); it != planned.cend()) {
            // The same entry twice in one journal: the later version counts.
            Entry &earlier = it->first ? plan.toAdd[it->second] : plan.toUpdate[it->second];
            if (e.updated > earlier.updated)
                earlier = std::move(e);
            ++plan.unchanged;
            continue;
        }
        if (const auto it = updatedById.constFind(e.id); it != updatedById.cend()) {
            if (e.updated.isValid() && e.updated > *it) {
                planned.insert(e.id, {false, plan.toUpdate.size()});
                plan.toUpdate << std::move(e);
            } else {
                ++plan.unchanged;
            }
            continue;
        }
        moments.insert(momentKey(e));
        planned.insert(e.id, {true, plan.toAdd.size()});
        plan.toAdd << std::move(e);
    }
    return plan;
}

int applyMerge(DiaryStore &store, const MergePlan &plan)
{
    QList<Entry> all = plan.toAdd;
    all << plan.toUpdate;
    return store.putAll(std::move(all));
}

// ---- export ---------------------------------------------------------------------------------

std::optional<ExportFormat> exportFormatFromCode(const QString &code)
{
    if (code == QLatin1String("json"))
        return ExportFormat::Json;
    if (code == QLatin1String("md"))
        return ExportFormat::Markdown;
    if (code == QLatin1String("csv"))
        return ExportFormat::Csv;
    if (code == QLatin1String("html"))
        return ExportFormat::Html;
    return std::nullopt;
}

QString withExportExtension(ExportFormat format, const QString &path)
{
    if (format == ExportFormat::Markdown || path.isEmpty() || !QFileInfo(path).suffix().isEmpty()
        || path.endsWith(u'/'))
        return path;
    static const QHash<ExportFormat, QString> extensions = {
        {ExportFormat::Json, QStringLiteral(".json")},
        {ExportFormat::Csv, QStringLiteral(".csv")},
        {ExportFormat::Html, QStringLiteral(".html")},
    };
    return path + extensions.value(format);
}

QList<Entry> entriesForExport(const QList<Entry> &all, ExportFormat format, const QDate &from, const QDate &to)
{
    QList<Entry> out;
    for (const Entry &e : all) {
        if (e.deletedAt.isValid() && format != ExportFormat::Json)
            continue;
        if ((from.isValid() && e.night < from) || (to.isValid() && e.night > to))
            continue;
        out << e;
    }
    std::stable_sort(out.begin(), out.end(), earlierMoment);
    return out;
}

QString markdownNote(const Entry &e)
{
    QString m = QStringLiteral("---\n");
    auto line = [&m](const char *key, const QString &value) {
        m += QLatin1String(key) + QStringLiteral(": ") + value + QLatin1Char('\n');
    };
    line("title", yamlString(withoutNul(e.displayTitle())));
    line("created", utcText(e.created));
    line("updated", utcText(e.updated));
    line("night", e.night.toString(Qt::ISODate));
    line("at", yamlString(isoWithOffset(e.at)));
    if (!e.zone.isEmpty())
        line("zone", yamlString(e.zone));
    line("tags", yamlList(tagTexts(e)));
    line("kinds", yamlList(kindNames(e)));
    line("lucid", e.lucid ? QStringLiteral("true") : QStringLiteral("false"));
    if (e.clarity)
        line("clarity", QString::number(*e.clarity));
    if (e.mood)
        line("mood", QString::number(*e.mood));
    line("lunar_day", e.lunar.found ? QString::number(e.lunar.lunarDay) : QStringLiteral("null"));
    // Quoted: a bare yes or no is a boolean to YAML 1.1 readers.
    line("mark", yamlString(markName(e.fulfilment.mark)));
    if (e.fulfilment.markedOn.isValid())
        line("marked_on", e.fulfilment.markedOn.toString(Qt::ISODate));
    line("symbols", yamlList(e.symbolHeadwords()));
    if (e.place)
        line("place", yamlString(withoutNul(e.place->name)));
    line("id", e.id);
    m += QStringLiteral("---\n\n");
    if (!e.title.trimmed().isEmpty())
        m += QStringLiteral("# ") + withoutNul(e.title.simplified()) + QStringLiteral("\n\n");
    m += withoutNul(e.text);
    if (!m.endsWith(QLatin1Char('\n')))
        m += QLatin1Char('\n');
    return m;
}

QString markdownFileName(const Entry &e, QStringList &taken)
{
    const QString base = e.night.toString(Qt::ISODate) + QLatin1Char('-') + slugOf(e.displayTitle());
    QString name = base + QStringLiteral(".md");
    for (int i = 2; taken.contains(name, Qt::CaseInsensitive); ++i)
        name = base + QStringLiteral("-%1.md").arg(i);
    taken << name;
    return name;
}

QByteArray diaryCsv(const QList<Entry> &entries)
{
    const QStringList header = {
        QStringLiteral("Номер"),        QStringLiteral("Ночь"),     QStringLiteral("Время"),
        QStringLiteral("Часовой пояс"), QStringLiteral("Название"), QStringLiteral("Текст"),
        QStringLiteral("Осознанный"),   QStringLiteral("Ясность"),  QStringLiteral("Настроение"),
        QStringLiteral("Вид"),          QStringLiteral("Метки"),    QStringLiteral("Символы"),
        QStringLiteral("Место"),        QStringLiteral("Широта"),   QStringLiteral("Долгота"),
        QStringLiteral("Лунный день"),  QStringLiteral("Отметка"),  QStringLiteral("Дата отметки"),
        QStringLiteral("Заметка"),      QStringLiteral("Создан"),   QStringLiteral("Изменён")};
    QString csv = header.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (const Entry &e : entries) {
        const QStringList row = {e.id,
                                 e.night.toString(Qt::ISODate),
                                 isoWithOffset(e.at),
                                 e.zone,
                                 e.title,
                                 e.text,
                                 e.lucid ? QStringLiteral("да") : QStringLiteral("нет"),
                                 e.clarity ? QString::number(*e.clarity) : QString(),
                                 e.mood ? QString::number(*e.mood) : QString(),
                                 kindNames(e).join(QStringLiteral("; ")),
                                 tagTexts(e).join(QStringLiteral("; ")),
                                 e.symbolHeadwords().join(QStringLiteral("; ")),
                                 e.place ? e.place->name : QString(),
                                 e.place ? QString::number(e.place->latitude, 'f', 4) : QString(),
                                 e.place ? QString::number(e.place->longitude, 'f', 4) : QString(),
                                 e.lunar.found ? QString::number(e.lunar.lunarDay) : QString(),
                                 markName(e.fulfilment.mark),
                                 e.fulfilment.markedOn.toString(Qt::ISODate),
                                 e.fulfilment.note,
                                 utcText(e.created),
                                 utcText(e.updated)};
        QStringList fields;
        for (const QString &f : row)
            fields << csvField(f);
        csv += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + csv.toUtf8();
}

QByteArray diaryHtml(const QList<Entry> &entries, const QDate &from, const QDate &to)
{
    QString title = QStringLiteral("Книга снов");
    if (from.isValid() && to.isValid())
        title += QStringLiteral(": ночи с %1 по %2").arg(russianDate(from), russianDate(to));
    else if (from.isValid())
        title += QStringLiteral(": ночи с %1").arg(russianDate(from));
    else if (to.isValid())
        title += QStringLiteral(": ночи по %1").arg(russianDate(to));
    QString h = QStringLiteral("<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n<title>")
                + html(title)
                + QStringLiteral("</title>\n<style>\nbody { max-width: 42em; margin: 2em auto; font-family: serif; "
                                 "line-height: 1.5; }\n.meta, .symbols, .lunar { color: #555; font-size: 0.9em; }\n"
                                 "article { margin-bottom: 1.5em; }\n</style>\n</head>\n<body>\n<h1>")
                + html(title) + QStringLiteral("</h1>\n");
    if (entries.isEmpty())
        h += QStringLiteral("<p>За этот период снов нет.</p>\n");
    QDate night;
    for (const Entry &e : entries) {
        if (e.night != night) {
            night = e.night;
            h += QStringLiteral("<h2>") + html(nightHeading(night)) + QStringLiteral("</h2>\n");
        }
        h += dreamHtml(e);
    }
    h += QStringLiteral("</body>\n</html>\n");
    return h.toUtf8();
}

QStringList exportWouldReplace(ExportFormat format, const QString &path, const QList<Entry> &entries)
{
    QStringList existing;
    if (format != ExportFormat::Markdown) {
        if (QFileInfo::exists(path))
            existing << path;
        return existing;
    }
    const QDir folder(path);
    for (const QString &name : markdownNames(entries))
        if (QFileInfo::exists(folder.filePath(name)))
            existing << folder.filePath(name);
    return existing;
}

namespace {

void writeExport(const QString &path, const QByteArray &bytes)
{
    try {
        writeFileAtomically(path, bytes);
    } catch (const Error &e) {
        throw Error(kErrorExportWrite, kSource, e.description());
    }
}

} // namespace

int exportDiary(ExportFormat format, const QString &path, const QList<Entry> &entries, const QDate &from,
                const QDate &to, bool replace)
{
    if (!replace) {
        const QStringList existing = exportWouldReplace(format, path, entries);
        if (!existing.isEmpty())
            throw Error(kErrorExportExists, kSource,
                        QStringLiteral("Файл «%1» уже есть%2; он не заменён.")
                            .arg(existing.first(), existing.size() > 1
                                                       ? QStringLiteral(" (и ещё %1)").arg(existing.size() - 1)
                                                       : QString()));
    }
    switch (format) {
    case ExportFormat::Json: {
        const QByteArray bytes = diaryJson(entries);
        if (bytes.size() > kMaxJournalBytes)
            throw Error(kErrorExportTooLarge, kSource,
                        QStringLiteral("Файл «%1» получился бы больше %2 МБ и не читался бы обратно; выгрузите "
                                       "дневник по частям (--from, --to). Ничего не записано.")
                            .arg(path, megabytes(kMaxJournalBytes)));
        writeExport(path, bytes);
        break;
    }
    case ExportFormat::Csv: writeExport(path, diaryCsv(entries)); break;
    case ExportFormat::Html: writeExport(path, diaryHtml(entries, from, to)); break;
    case ExportFormat::Markdown: {
        if (!QDir().mkpath(path))
            throw Error(kErrorExportWrite, kSource, QStringLiteral("Не удалось создать папку «%1».").arg(path));
        const QDir folder(path);
        const QStringList names = markdownNames(entries);
        for (qsizetype i = 0; i < entries.size(); ++i)
            writeNote(folder.filePath(names[i]), markdownNote(entries[i]).toUtf8());
        syncNotes(path);
        break;
    }
    }
    return static_cast<int>(entries.size());
}

} // namespace somnex::diary
