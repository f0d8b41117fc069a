// Our own journal file: every field of every entry as JSON, written so that
// the same entries give the same bytes, and read back strictly.
#include "diary/Exchange.h"
#include "diary/LunarSnapshot.h"
#include "diary/exchange/ExchangeSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QUuid>

#include <cmath>

namespace somnex::diary {

namespace {

using exchange::exchangeError;
using exchange::journalFail;
using exchange::utcText;
using exchange::wholeMegabytes;

// ---- moments as text ------------------------------------------------------

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
        throw exchangeError(
            kErrorJournalBad,
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
        journalFail(fileName, QStringLiteral("файл больше %1 МБ").arg(wholeMegabytes(kMaxJournalBytes)));
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

} // namespace somnex::diary
