#include "diary/Importers.h"

#include "diary/LunarSnapshot.h"
#include "platform/error/Error.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>
#include <QUuid>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace somnex::diary {

namespace {

const QString kSource = QStringLiteral("DiaryImport");

Error importError(long number, const QString &file, const QString &why)
{
    return Error(number, kSource, QStringLiteral("Не удаётся прочитать дневник «%1»: %2.").arg(file, why));
}

Error damaged(const QString &file, const QString &why)
{
    return importError(kErrorImportDamaged, file, why);
}

QString megabytes(qint64 bytes)
{
    return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1);
}

// ---- bytes -------------------------------------------------------------------

// The length of the UTF-8 sequence a lead byte begins, and the range its
// second byte must lie in (narrower after E0, ED, F0 and F4: no overlong
// forms, surrogates or code points above U+10FFFF); 0 for a byte that begins
// none.
int sequenceLength(unsigned lead, unsigned *low, unsigned *high)
{
    *low = 0x80;
    *high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF) {
        *low = lead == 0xE0 ? 0xA0 : 0x80;
        *high = lead == 0xED ? 0x9F : 0xBF;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        *low = lead == 0xF0 ? 0x90 : 0x80;
        *high = lead == 0xF4 ? 0x8F : 0xBF;
        return 4;
    }
    return 0;
}

// The offset of the first byte that does not begin a well-formed UTF-8
// sequence, or -1 when all of them are well formed.
qsizetype firstBadUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        unsigned low = 0;
        unsigned high = 0;
        const int length = sequenceLength(p[i], &low, &high);
        if (length == 0 || n - i < length || p[i + 1] < low || p[i + 1] > high)
            return i;
        for (int k = 2; k < length; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return i;
        i += length;
    }
    return -1;
}

int lineAt(const QByteArray &bytes, qsizetype offset)
{
    return int(std::count(bytes.cbegin(), bytes.cbegin() + offset, '\n')) + 1;
}

// The bytes without a UTF-8 byte order mark, checked to be UTF-8 throughout.
QByteArray checkedUtf8(const QByteArray &raw, const QString &file)
{
    if (raw.size() > kMaxJournalBytes)
        throw importError(kErrorImportTooLarge, file,
                          QStringLiteral("файл слишком велик: %1 МБ, читается не больше %2 МБ")
                              .arg(megabytes(raw.size()), megabytes(kMaxJournalBytes)));
    QByteArray bytes = raw.startsWith("\xEF\xBB\xBF") ? raw.mid(3) : raw;
    const qsizetype bad = firstBadUtf8(bytes);
    if (bad >= 0)
        throw damaged(file, QStringLiteral("неверная кодировка UTF-8 в строке %1").arg(lineAt(bytes, bad)));
    return bytes;
}

// Reads a whole regular file of at most kMaxJournalBytes; its size is checked
// before anything is read.
QByteArray readFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw importError(kErrorImportUnreadable, path, QStringLiteral("файл не найден"));
    if (!info.isFile())
        throw importError(kErrorImportUnreadable, path, QStringLiteral("это не обычный файл"));
    if (info.size() > kMaxJournalBytes)
        throw importError(kErrorImportTooLarge, path,
                          QStringLiteral("файл слишком велик: %1 МБ, читается не больше %2 МБ")
                              .arg(megabytes(info.size()), megabytes(kMaxJournalBytes)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw importError(kErrorImportUnreadable, path,
                          QStringLiteral("файл не открывается (%1)").arg(file.errorString()));
    QByteArray bytes = file.read(kMaxJournalBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw importError(kErrorImportUnreadable, path,
                          QStringLiteral("файл не читается (%1)").arg(file.errorString()));
    return bytes; // checkedUtf8 refuses it when it grew past the limit meanwhile
}

// ---- ids, tags, moments --------------------------------------------------------

// A stable UUID for a format's own id: the same id read again gives the same
// UUID, and the same id in two formats gives two.
QString stableId(const char *format, const QString &ownId)
{
    if (ownId.isEmpty())
        return {};
    static const QUuid kBase = QUuid::createUuidV5(QUuid(), QByteArray("somnex diary import"));
    const QUuid space = QUuid::createUuidV5(kBase, QByteArray(format));
    return QUuid::createUuidV5(space, ownId.toUtf8()).toString(QUuid::WithoutBraces);
}

void addTags(Entry &e, const QStringList &texts, TagKind kind)
{
    // Tags compare ignoring letter case; a set keeps a long list linear.
    QSet<QString> known;
    for (const Tag &t : std::as_const(e.tags))
        known.insert(t.text.toCaseFolded());
    for (const QString &raw : texts) {
        const QString text = raw.trimmed();
        if (text.isEmpty())
            continue;
        const QString folded = text.toCaseFolded();
        if (known.contains(folded))
            continue;
        known.insert(folded);
        e.tags << Tag{text, kind};
    }
}

// Where in a file a value is, for messages: the file, and "запись 3",
// "запись 3, сон 2" or "строка 4" ("" for the file as a whole).
struct Where {
    QString file;
    QString place;

    static Where entry(const QString &file, qsizetype index)
    {
        return Where{file, QStringLiteral("запись %1").arg(index + 1)};
    }
    Error error(const QString &why) const
    {
        return damaged(file, place.isEmpty() ? why : place + QStringLiteral(": ") + why);
    }
};

// A value of the file quoted in a message, cut short when long.
QString shown(const QString &raw)
{
    constexpr qsizetype kShown = 60;
    return raw.size() <= kShown ? raw : raw.left(kShown) + QStringLiteral("…");
}

QDateTime inRange(const QDateTime &at, const QString &raw, const Where &where)
{
    constexpr int kMaxOffsetSeconds = 18 * 3600;
    if (!at.isValid())
        throw where.error(QStringLiteral("неверная дата «%1»").arg(shown(raw)));
    if (at.date().year() < kFirstYear || at.date().year() > kLastYear)
        throw where.error(QStringLiteral("дата «%1» вне допустимых пределов (годы %2–%3)")
                              .arg(shown(raw))
                              .arg(kFirstYear)
                              .arg(kLastYear));
    if (std::abs(at.offsetFromUtc()) > kMaxOffsetSeconds)
        throw where.error(QStringLiteral("неверное смещение от всемирного времени в дате «%1»").arg(shown(raw)));
    return at;
}

// A local date and time in the system zone (or the zone given) at that date.
QDateTime localMoment(const QDate &date, const QTime &time, const QString &raw, const Where &where,
                      const QString &zone = {})
{
    if (!date.isValid())
        throw where.error(QStringLiteral("неверная дата «%1»").arg(shown(raw)));
    inRange(QDateTime(date, QTime(12, 0), Qt::UTC), raw, where);
    return inRange(momentIn(date, time, zone), raw, where);
}

// An instant shown as the local time of a zone (the system's when invalid),
// with that zone's offset, whole seconds.
QDateTime instantIn(const QDateTime &instant, const QTimeZone &zone)
{
    const QDateTime local = zone.isValid() ? instant.toTimeZone(zone) : instant.toLocalTime();
    const QTime t = local.time();
    return QDateTime(local.date(), QTime(t.hour(), t.minute(), t.second()), Qt::OffsetFromUTC, local.offsetFromUtc());
}

// An ISO 8601 moment: kept with its own offset; one in UTC ("Z", an instant
// rather than the writer's clock) shown in the zone given or the system's;
// one without an offset is local time there.
QDateTime isoMoment(const QString &raw, const Where &where, const QTimeZone &zone = {})
{
    const QDateTime parsed = QDateTime::fromString(raw.trimmed(), Qt::ISODateWithMs);
    if (!parsed.isValid())
        throw where.error(QStringLiteral("неверная дата «%1»").arg(shown(raw)));
    inRange(QDateTime(parsed.date(), QTime(12, 0), Qt::UTC), raw, where);
    QDateTime at;
    if (parsed.timeSpec() == Qt::LocalTime) {
        const QString name = zone.isValid() ? QString::fromUtf8(zone.id()) : QString();
        at = momentIn(parsed.date(), parsed.time(), name);
    } else if (parsed.timeSpec() == Qt::UTC || zone.isValid()) {
        at = instantIn(parsed, zone);
    } else {
        const QTime t = parsed.time();
        at = QDateTime(parsed.date(), QTime(t.hour(), t.minute(), t.second()), Qt::OffsetFromUTC,
                       parsed.offsetFromUtc());
    }
    return inRange(at, raw, where);
}

QTime clockTime(const QString &raw)
{
    const QString t = raw.trimmed();
    QTime time = QTime::fromString(t, QStringLiteral("H:mm:ss"));
    if (!time.isValid())
        time = QTime::fromString(t, QStringLiteral("H:mm"));
    return time;
}

// What has no field of ours, appended to the text as "Name: value" lines.
class Extras {
public:
    void add(const QString &name, const QString &value)
    {
        if (!value.trimmed().isEmpty())
            lines_ << name + QStringLiteral(": ") + value.trimmed();
    }
    void add(const QString &name, const QStringList &values)
    {
        QStringList kept;
        for (const QString &v : values)
            if (!v.trimmed().isEmpty())
                kept << v.trimmed();
        add(name, kept.join(QStringLiteral(", ")));
    }
    void addLine(const QString &line) { lines_ << line; }
    const QStringList &lines() const { return lines_; }

private:
    QStringList lines_;
};

// Puts the extras after the text, moves a title too long for ours to the
// head of the text, and refuses what the diary could not keep.
void finish(Entry &e, const Extras &extras, const Where &where)
{
    if (!extras.lines().isEmpty()) {
        while (e.text.endsWith(QLatin1Char('\n')) || e.text.endsWith(QLatin1Char('\r')))
            e.text.chop(1);
        if (!e.text.isEmpty())
            e.text += QStringLiteral("\n\n");
        e.text += extras.lines().join(QLatin1Char('\n'));
    }
    if (e.title.size() > kMaxTitleLength) {
        e.text = e.title + (e.text.isEmpty() ? QString() : QStringLiteral("\n\n") + e.text);
        e.title.clear();
    }
    if (!QStringView(e.text).isValidUtf16() || !QStringView(e.title).isValidUtf16())
        throw where.error(QStringLiteral("текст содержит испорченные символы (половину суррогатной пары)"));
    if (e.text.size() > kMaxTextBytes || e.text.toUtf8().size() > kMaxTextBytes)
        throw where.error(QStringLiteral("текст длиннее %1 МБ").arg(megabytes(kMaxTextBytes)));
}

// Refuses two entries of one file with the same id: the merge would take the
// second for a newer version of the first and lose one of them.
void checkIdsUnique(const QList<Entry> &entries, const QStringList &ownIds, const QString &file)
{
    QHash<QString, int> seen;
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i].id.isEmpty())
            continue;
        const auto it = seen.constFind(entries[i].id);
        if (it != seen.cend())
            throw damaged(file, QStringLiteral("записи %1 и %2 имеют один идентификатор «%3»")
                                    .arg(*it + 1)
                                    .arg(i + 1)
                                    .arg(shown(ownIds.value(i))));
        seen.insert(entries[i].id, i);
    }
}

// ---- JSON ----------------------------------------------------------------------

QString jsonProblem(const QJsonParseError &error, const QByteArray &bytes)
{
    const bool truncated =
        error.error == QJsonParseError::UnterminatedObject || error.error == QJsonParseError::UnterminatedArray
        || error.error == QJsonParseError::UnterminatedString || error.offset >= bytes.trimmed().size();
    if (truncated)
        return QStringLiteral("файл JSON обрезан");
    const qsizetype at = std::clamp<qsizetype>(error.offset, 0, bytes.size());
    return QStringLiteral("ошибка в записи JSON в строке %1").arg(lineAt(bytes, at));
}

QJsonObject jsonRoot(const QByteArray &raw, const QString &file)
{
    const QByteArray bytes = checkedUtf8(raw, file);
    if (bytes.trimmed().isEmpty())
        throw damaged(file, QStringLiteral("файл пуст"));
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw damaged(file, jsonProblem(error, bytes));
    if (!doc.isObject())
        throw damaged(file, QStringLiteral("в файле ожидался объект JSON { … }"));
    return doc.object();
}

QString str(const QJsonObject &o, const QString &key, const Where &where, bool required = false)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull()) {
        if (required)
            throw where.error(QStringLiteral("нет поля «%1»").arg(key));
        return {};
    }
    if (!v.isString())
        throw where.error(QStringLiteral("поле «%1» должно быть строкой").arg(key));
    return v.toString();
}

bool flag(const QJsonObject &o, const QString &key, const Where &where)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return false;
    if (!v.isBool())
        throw where.error(QStringLiteral("поле «%1» должно быть true или false").arg(key));
    return v.toBool();
}

// A list of words: an array of strings, or one string of words separated by
// commas.
QStringList words(const QJsonObject &o, const QString &key, const Where &where)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return {};
    if (v.isString())
        return v.toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (!v.isArray())
        throw where.error(QStringLiteral("поле «%1» должно быть списком строк").arg(key));
    QStringList list;
    for (const auto &item : v.toArray()) {
        if (!item.isString())
            throw where.error(QStringLiteral("поле «%1» должно быть списком строк").arg(key));
        list << item.toString();
    }
    return list;
}

QJsonArray array(const QJsonObject &o, const QString &key, const Where &where, bool required)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull()) {
        if (required)
            throw where.error(QStringLiteral("нет поля «%1»").arg(key));
        return {};
    }
    if (!v.isArray())
        throw where.error(QStringLiteral("поле «%1» должно быть списком").arg(key));
    return v.toArray();
}

QJsonObject object(const QJsonValue &v, const Where &where)
{
    if (!v.isObject())
        throw where.error(QStringLiteral("ожидался объект { … }"));
    return v.toObject();
}

// A format's own id, a string or a whole number; "" when there is none.
QString ownId(const QJsonObject &o, const QString &key, const Where &where)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return {};
    if (v.isString())
        return v.toString().trimmed();
    if (v.isDouble() && std::abs(v.toDouble()) < 9e15 && v.toDouble() == std::floor(v.toDouble()))
        return QString::number(qint64(v.toDouble()));
    throw where.error(QStringLiteral("поле «%1» должно быть строкой или целым числом").arg(key));
}

ImportedJournal journal(const char *format, const QString &file)
{
    ImportedJournal j;
    j.format = QString::fromLatin1(format);
    j.source = file;
    return j;
}

// ---- Webdreamjournal -------------------------------------------------------------

QDateTime webMoment(const QJsonObject &o, const Where &where)
{
    const QJsonValue v = o.value(QStringLiteral("timestamp"));
    if (v.isString())
        return isoMoment(v.toString(), where);
    if (v.isDouble()) { // milliseconds since 1970 UTC
        const double ms = v.toDouble();
        const QString raw = QString::number(ms, 'f', 0);
        if (!(std::abs(ms) < 4e14))
            throw where.error(QStringLiteral("дата «%1» вне допустимых пределов (годы %2–%3)")
                                  .arg(shown(raw))
                                  .arg(kFirstYear)
                                  .arg(kLastYear));
        return inRange(instantIn(QDateTime::fromMSecsSinceEpoch(qint64(ms), Qt::UTC), {}), raw, where);
    }
    if (v.isUndefined() || v.isNull())
        throw where.error(QStringLiteral("нет поля «timestamp»"));
    throw where.error(QStringLiteral("поле «timestamp» должно быть строкой или числом"));
}

ImportedJournal readWebDreamJournal(const QJsonObject &root, const QString &file)
{
    const Where top{file, {}};
    if (!root.contains(QStringLiteral("data")))
        throw top.error(QStringLiteral("нет поля «data»"));
    const QJsonObject data = object(root.value(QStringLiteral("data")), Where{file, QStringLiteral("поле «data»")});
    const QJsonArray dreams = array(data, QStringLiteral("dreams"), top, true);
    ImportedJournal j = journal("webdreamjournal", file);
    QStringList ids;
    for (qsizetype i = 0; i < dreams.size(); ++i) {
        const Where where = Where::entry(file, i);
        const QJsonObject o = object(dreams[i], where);
        Entry e;
        ids << ownId(o, QStringLiteral("id"), where);
        e.id = stableId("webdreamjournal", ids.last());
        e.title = str(o, QStringLiteral("title"), where);
        e.text = str(o, QStringLiteral("content"), where, true);
        e.at = webMoment(o, where);
        e.lucid = flag(o, QStringLiteral("isLucid"), where);
        addTags(e, words(o, QStringLiteral("tags"), where), TagKind::Plain);
        Extras extras;
        extras.add(QStringLiteral("Знаки сна"), words(o, QStringLiteral("dreamSigns"), where));
        extras.add(QStringLiteral("Эмоции"), words(o, QStringLiteral("emotions"), where));
        finish(e, extras, where);
        j.entries << e;
    }
    checkIdsUnique(j.entries, ids, file);
    return j;
}

// ---- jrnl ----------------------------------------------------------------------

// The @words of a text, without the "@".
QStringList atWords(const QString &text)
{
    static const QRegularExpression kAtWord(QStringLiteral(R"((?<![\w@])@(\w[\w\-]*))"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    QStringList found;
    for (auto it = kAtWord.globalMatch(text); it.hasNext();)
        found << it.next().captured(1);
    return found;
}

ImportedJournal readJrnl(const QJsonObject &root, const QString &file)
{
    const QJsonArray entries = array(root, QStringLiteral("entries"), Where{file, {}}, true);
    ImportedJournal j = journal("jrnl", file);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Where where = Where::entry(file, i);
        const QJsonObject o = object(entries[i], where);
        Entry e;
        const QString date = str(o, QStringLiteral("date"), where, true);
        const QString time = str(o, QStringLiteral("time"), where);
        const QTime clock = clockTime(time);
        if (!time.trimmed().isEmpty() && !clock.isValid())
            throw where.error(QStringLiteral("неверное время «%1»").arg(shown(time)));
        e.at = localMoment(QDate::fromString(date.trimmed(), Qt::ISODate), clock, date, where);
        e.title = str(o, QStringLiteral("title"), where).trimmed();
        e.text = str(o, QStringLiteral("body"), where);
        QStringList tags = words(o, QStringLiteral("tags"), where);
        for (QString &t : tags)
            if (t.startsWith(QLatin1Char('@')))
                t.remove(0, 1);
        addTags(e, tags, TagKind::Plain);
        addTags(e, atWords(e.title + QLatin1Char('\n') + e.text), TagKind::Plain);
        Extras extras;
        if (flag(o, QStringLiteral("starred"), where))
            extras.addLine(QStringLiteral("Отмечено звёздочкой."));
        finish(e, extras, where);
        j.entries << e;
    }
    return j;
}

// ---- Day One -------------------------------------------------------------------

ImportedJournal readDayOne(const QJsonObject &root, const QString &file)
{
    const QJsonArray entries = array(root, QStringLiteral("entries"), Where{file, {}}, true);
    ImportedJournal j = journal("dayone", file);
    QStringList ids;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Where where = Where::entry(file, i);
        const QJsonObject o = object(entries[i], where);
        Entry e;
        ids << ownId(o, QStringLiteral("uuid"), where);
        e.id = stableId("dayone", ids.last());
        Extras extras;
        const QString zoneName = str(o, QStringLiteral("timeZone"), where).trimmed();
        QTimeZone zone;
        if (!zoneName.isEmpty()) {
            zone = QTimeZone(zoneName.toUtf8());
            if (zone.isValid())
                e.zone = QString::fromUtf8(zone.id());
            else
                extras.add(QStringLiteral("Часовой пояс"), zoneName);
        }
        e.at = isoMoment(str(o, QStringLiteral("creationDate"), where, true), where, zone);
        e.text = str(o, QStringLiteral("text"), where);
        addTags(e, words(o, QStringLiteral("tags"), where), TagKind::Plain);
        if (flag(o, QStringLiteral("starred"), where))
            extras.addLine(QStringLiteral("Отмечено звёздочкой."));
        finish(e, extras, where);
        j.entries << e;
    }
    checkIdsUnique(j.entries, ids, file);
    return j;
}

// ---- dream-journal-app -------------------------------------------------------------

ImportedJournal readDreamJournalApp(const QJsonObject &root, const QString &file)
{
    const QJsonArray entries = array(root, QStringLiteral("entries"), Where{file, {}}, true);
    ImportedJournal j = journal("dream-journal-app", file);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Where where = Where::entry(file, i);
        const QJsonObject o = object(entries[i], where);
        const QString date = str(o, QStringLiteral("entryDate"), where, true);
        const QDateTime at = localMoment(QDate::fromString(date.trimmed(), Qt::ISODate), QTime(0, 0), date, where);
        Extras night;
        night.add(QStringLiteral("Время отхода ко сну"), str(o, QStringLiteral("bedTime"), where));
        night.add(QStringLiteral("Заметки перед сном"), str(o, QStringLiteral("notesPrep"), where));
        night.add(QStringLiteral("Заметки после пробуждения"), str(o, QStringLiteral("notesWake"), where));
        if (flag(o, QStringLiteral("starred"), where))
            night.addLine(QStringLiteral("Отмечено звёздочкой."));
        const QJsonArray dreams = array(o, QStringLiteral("dreams"), where, false);
        if (dreams.isEmpty() && !night.lines().isEmpty()) {
            // A night written down without a dream still has its notes.
            Entry e;
            e.at = at;
            finish(e, night, where);
            j.entries << e;
        }
        for (qsizetype d = 0; d < dreams.size(); ++d) {
            const Where dreamWhere{file, QStringLiteral("запись %1, сон %2").arg(i + 1).arg(d + 1)};
            const QJsonObject dream = object(dreams[d], dreamWhere);
            Entry e;
            e.at = at;
            e.title = str(dream, QStringLiteral("title"), dreamWhere).trimmed();
            e.text = str(dream, QStringLiteral("notes"), dreamWhere);
            e.lucid = flag(dream, QStringLiteral("isLucidDream"), dreamWhere);
            Extras extras;
            extras.add(QStringLiteral("Знаки сна"), words(dream, QStringLiteral("dreamSigns"), dreamWhere));
            const QJsonValue method = dream.value(QStringLiteral("lucidMethod"));
            if (method.isString())
                extras.add(QStringLiteral("Способ осознания"), method.toString());
            else if (method.isDouble())
                extras.add(QStringLiteral("Способ осознания"), QString::number(method.toDouble()));
            for (const QString &line : night.lines())
                extras.addLine(line);
            finish(e, extras, dreamWhere);
            j.entries << e;
        }
    }
    return j;
}

// ---- dreamdir ------------------------------------------------------------------

bool lucidValue(const QString &raw, bool *ok)
{
    const QString v = raw.trimmed().toLower();
    *ok = true;
    if (v == u"1" || v == u"true" || v == u"yes")
        return true;
    if (v.isEmpty() || v == u"0" || v == u"false" || v == u"no")
        return false;
    *ok = false;
    return false;
}

struct Header {
    QString name;
    QString value;
    int line = 0;
};

// The header lines up to the blank line, and where the text begins.
QList<Header> dreHeaders(const QByteArray &bytes, const QString &file, qsizetype *textStart)
{
    QList<Header> headers;
    qsizetype pos = 0;
    int line = 1;
    *textStart = bytes.size();
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        QByteArray raw = bytes.mid(pos, end - pos);
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (raw.trimmed().isEmpty()) {
            if (headers.isEmpty())
                throw damaged(file, QStringLiteral("нет заголовка: строка %1 пуста, а файл должен начинаться строками "
                                                   "«Имя:<TAB>значение»")
                                        .arg(line));
            *textStart = next;
            return headers;
        }
        const qsizetype colon = raw.indexOf(":\t");
        if (colon <= 0)
            throw damaged(file, headers.isEmpty()
                                    ? QStringLiteral("нет заголовка: строка 1 не вида «Имя:<TAB>значение»")
                                    : QStringLiteral("строка %1 заголовка не вида «Имя:<TAB>значение»").arg(line));
        headers << Header{QString::fromUtf8(raw.left(colon)).trimmed(), QString::fromUtf8(raw.mid(colon + 2)).trimmed(),
                          line};
        pos = next;
        ++line;
    }
    if (headers.isEmpty())
        throw damaged(file, QStringLiteral("файл пуст, нет заголовка"));
    return headers;
}

QStringList listValue(const QString &value)
{
    return value.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

// What the headers of a .dre file name: the id, the date header and the
// time; the entry's own fields go into e, unknown headers into extras.
struct DreFields {
    QString id;
    const Header *date = nullptr;
    QTime time;
};

DreFields dreFields(const QList<Header> &headers, const QString &fileName, Entry &e, Extras &extras)
{
    auto lineError = [&](const Header &h, const QString &why) {
        return Where{fileName, QStringLiteral("строка %1").arg(h.line)}.error(why);
    };
    DreFields f;
    QSet<QString> seen;
    for (const Header &h : headers) {
        const QString name = h.name.toLower();
        if (seen.contains(name))
            throw lineError(h, QStringLiteral("заголовок «%1» повторяется").arg(shown(h.name)));
        seen.insert(name);
        if (name == u"id") {
            f.id = h.value;
        } else if (name == u"date") {
            f.date = &h;
        } else if (name == u"time") {
            f.time = clockTime(h.value);
            if (!f.time.isValid())
                extras.add(QStringLiteral("Время"), h.value);
        } else if (name == u"title") {
            e.title = h.value;
        } else if (name == u"tags") {
            addTags(e, listValue(h.value), TagKind::Plain);
        } else if (name == u"people") {
            addTags(e, listValue(h.value), TagKind::Person);
        } else if (name == u"places") {
            addTags(e, listValue(h.value), TagKind::Place);
        } else if (name == u"lucid") {
            bool ok = false;
            e.lucid = lucidValue(h.value, &ok);
            if (!ok)
                throw lineError(h, QStringLiteral("неверное значение «%1» заголовка Lucid (ожидалось 1 или 0)")
                                       .arg(shown(h.value)));
        } else {
            extras.add(h.name, h.value);
        }
    }
    return f;
}

} // namespace

Entry parseDreFile(const QByteArray &raw, const QString &fileName)
{
    const QByteArray bytes = checkedUtf8(raw, fileName);
    qsizetype textStart = 0;
    const QList<Header> headers = dreHeaders(bytes, fileName, &textStart);
    const Where where{fileName, {}};
    Entry e;
    Extras extras;
    const DreFields f = dreFields(headers, fileName, e, extras);
    if (f.id.isEmpty())
        throw where.error(QStringLiteral("нет заголовка Id"));
    if (!f.date)
        throw where.error(QStringLiteral("нет заголовка Date"));
    const Where dateWhere{fileName, QStringLiteral("строка %1").arg(f.date->line)};
    e.at = localMoment(QDate::fromString(f.date->value, Qt::ISODate), f.time, f.date->value, dateWhere);
    e.id = stableId("dreamdir", f.id);
    e.text = QString::fromUtf8(bytes.mid(textStart));
    while (!e.text.isEmpty() && e.text.back().isSpace())
        e.text.chop(1);
    finish(e, extras, where);
    return e;
}

ImportedJournal parseDreamdir(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.isDir())
        throw importError(kErrorImportUnreadable, folder, QStringLiteral("папка не найдена"));
    const QDir dir(folder);
    if (!QFileInfo(dir.filePath(QStringLiteral(".dreamdir"))).exists())
        throw importError(kErrorImportUnknown, folder,
                          QStringLiteral("формат не распознан (в папке нет файла .dreamdir)"));
    // Count first, reading nothing, and stop counting past the limit.
    QStringList names;
    qint64 total = 0;
    QDirIterator it(folder, {QStringLiteral("*.dre")}, QDir::Files | QDir::System | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        if (names.size() >= kMaxDreamdirFiles)
            throw importError(
                kErrorImportTooLarge, folder,
                QStringLiteral("в папке больше %1 файлов .dre, столько за раз не читается").arg(kMaxDreamdirFiles));
        names << it.fileName();
        total += it.fileInfo().size();
    }
    if (total > kMaxJournalBytes)
        throw importError(kErrorImportTooLarge, folder,
                          QStringLiteral("файлы .dre вместе занимают %1 МБ, читается не больше %2 МБ")
                              .arg(megabytes(total), megabytes(kMaxJournalBytes)));
    // 00002.dre before 00010.dre, and before 100000.dre when the ids grow.
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return a.size() != b.size() ? a.size() < b.size() : a < b; });
    ImportedJournal j = journal("dreamdir", folder);
    QHash<QString, QString> fileOfId;
    for (const QString &name : std::as_const(names)) {
        const QString path = dir.filePath(name);
        Entry e = parseDreFile(readFile(path), path);
        const auto known = fileOfId.constFind(e.id);
        if (known != fileOfId.cend())
            throw damaged(path, QStringLiteral("тот же Id, что в файле «%1»").arg(*known));
        fileOfId.insert(e.id, name);
        j.entries << std::move(e);
    }
    return j;
}

ImportedJournal parseWebDreamJournal(const QByteArray &bytes, const QString &fileName)
{
    return readWebDreamJournal(jsonRoot(bytes, fileName), fileName);
}

ImportedJournal parseJrnl(const QByteArray &bytes, const QString &fileName)
{
    return readJrnl(jsonRoot(bytes, fileName), fileName);
}

ImportedJournal parseDayOne(const QByteArray &bytes, const QString &fileName)
{
    return readDayOne(jsonRoot(bytes, fileName), fileName);
}

ImportedJournal parseDreamJournalApp(const QByteArray &bytes, const QString &fileName)
{
    return readDreamJournalApp(jsonRoot(bytes, fileName), fileName);
}

namespace {

enum class JsonFormat { Unknown, WebDreamJournal, Jrnl, DayOne, DreamJournalApp };

// Tells the exports apart by the fields they hold.
JsonFormat jsonFormat(const QJsonObject &root)
{
    const QJsonValue data = root.value(QStringLiteral("data"));
    if (data.isObject() && data.toObject().contains(QStringLiteral("dreams")))
        return JsonFormat::WebDreamJournal;
    const QJsonValue entries = root.value(QStringLiteral("entries"));
    if (!entries.isArray())
        return JsonFormat::Unknown;
    const QJsonArray list = entries.toArray();
    if (!list.isEmpty() && list.first().isObject()) {
        const QJsonObject e = list.first().toObject();
        if (e.contains(QStringLiteral("uuid")) || e.contains(QStringLiteral("creationDate")))
            return JsonFormat::DayOne;
        if (e.contains(QStringLiteral("entryDate")) || e.contains(QStringLiteral("dreams")))
            return JsonFormat::DreamJournalApp;
        if (e.contains(QStringLiteral("body")) || e.contains(QStringLiteral("date")))
            return JsonFormat::Jrnl;
    }
    if (root.contains(QStringLiteral("metadata")))
        return JsonFormat::DayOne;
    if (root.value(QStringLiteral("tags")).isObject())
        return JsonFormat::Jrnl;
    return JsonFormat::Unknown;
}

Error unknownFormat(const QString &path)
{
    return importError(kErrorImportUnknown, path, QStringLiteral("формат не распознан"));
}

} // namespace

ImportedJournal readForeignJournal(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw importError(kErrorImportUnreadable, path, QStringLiteral("файл или папка не найдены"));
    if (info.isDir()) {
        if (!QFileInfo(QDir(path).filePath(QStringLiteral(".dreamdir"))).exists())
            throw unknownFormat(path);
        return parseDreamdir(path);
    }
    if (info.fileName() == u".dreamdir")
        return parseDreamdir(info.absolutePath());
    const QByteArray raw = readFile(path);
    // A JSON export is an object: its first character other than a byte order
    // mark or white space is "{".
    qsizetype first = raw.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (first < raw.size() && std::isspace(static_cast<unsigned char>(raw[first])))
        ++first;
    if (first >= raw.size() || raw[first] != '{')
        throw unknownFormat(path);
    const QJsonObject root = jsonRoot(raw, path);
    switch (jsonFormat(root)) {
    case JsonFormat::WebDreamJournal: return readWebDreamJournal(root, path);
    case JsonFormat::Jrnl: return readJrnl(root, path);
    case JsonFormat::DayOne: return readDayOne(root, path);
    case JsonFormat::DreamJournalApp: return readDreamJournalApp(root, path);
    case JsonFormat::Unknown: break;
    }
    throw unknownFormat(path);
}

} // namespace somnex::diary
