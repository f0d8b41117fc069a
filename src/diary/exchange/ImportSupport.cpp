#include "diary/exchange/ImportSupport.h"

#include "diary/Importers.h"
#include "diary/LunarSnapshot.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <cmath>

namespace somnex::diary::exchange {

namespace {

const QString kSource = QStringLiteral("DiaryImport");

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

} // namespace

Error importError(long number, const QString &file, const QString &why)
{
    return Error(number, kSource, QStringLiteral("Не удаётся прочитать дневник «%1»: %2.").arg(file, why));
}

Error damaged(const QString &file, const QString &why)
{
    return importError(kErrorImportDamaged, file, why);
}

QString megabytesShown(qint64 bytes)
{
    return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1);
}

// The bytes without a UTF-8 byte order mark, checked to be UTF-8 throughout.
QByteArray checkedUtf8(const QByteArray &raw, const QString &file)
{
    if (raw.size() > kMaxJournalBytes)
        throw importError(kErrorImportTooLarge, file,
                          QStringLiteral("файл слишком велик: %1 МБ, читается не больше %2 МБ")
                              .arg(megabytesShown(raw.size()), megabytesShown(kMaxJournalBytes)));
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
                              .arg(megabytesShown(info.size()), megabytesShown(kMaxJournalBytes)));
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
QDateTime localMoment(const QDate &date, const QTime &time, const QString &raw, const Where &where, const QString &zone)
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
QDateTime isoMoment(const QString &raw, const Where &where, const QTimeZone &zone)
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
        throw where.error(QStringLiteral("текст длиннее %1 МБ").arg(megabytesShown(kMaxTextBytes)));
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

QString str(const QJsonObject &o, const QString &key, const Where &where, bool required)
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

QJsonObject jsonOf(const JournalProbe &probe)
{
    if (const QJsonObject *root = probe.json())
        return *root;
    // Not even the beginning of an object: jsonRoot says what the file is.
    return jsonRoot(probe.bytes(), probe.path());
}

std::optional<QJsonObject> firstEntry(const JournalProbe &probe)
{
    const QJsonObject *root = probe.json();
    if (!root)
        return std::nullopt;
    const QJsonValue entries = root->value(QStringLiteral("entries"));
    if (!entries.isArray())
        return std::nullopt;
    const QJsonArray list = entries.toArray();
    return !list.isEmpty() && list.first().isObject() ? list.first().toObject() : QJsonObject();
}

} // namespace somnex::diary::exchange
