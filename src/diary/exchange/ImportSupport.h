#pragma once
// What the readers of other programs' journals share: their errors, the
// checked reading of a file, stable ids and tags, moments in the diary's
// years, the "Name: value" lines kept in the text, and typed access to the
// fields of a JSON export, each failure naming the file and the entry.

#include "diary/Entry.h"
#include "diary/Journal.h"
#include "diary/exchange/ForeignFormats.h"
#include "platform/error/Error.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <optional>

namespace somnex::diary::exchange {

// "Не удаётся прочитать дневник «file»: why." with its number (ImportErrorNumber).
Error importError(long number, const QString &file, const QString &why);
// The same for broken content (kErrorImportDamaged).
Error damaged(const QString &file, const QString &why);
// Mebibytes with one decimal, for messages: "64.0".
QString megabytesShown(qint64 bytes);

// ---- bytes -------------------------------------------------------------------

// The bytes without a UTF-8 byte order mark, checked to be UTF-8 throughout
// and at most kMaxJournalBytes.
QByteArray checkedUtf8(const QByteArray &raw, const QString &file);
// Reads a whole regular file of at most kMaxJournalBytes; its size is checked
// before anything is read.
QByteArray readFile(const QString &path);

// ---- ids, tags, moments --------------------------------------------------------

// A stable UUID for a format's own id: the same id read again gives the same
// UUID, and the same id in two formats gives two.
QString stableId(const char *format, const QString &ownId);
// Adds the tags not there yet (compared ignoring letter case), trimmed.
void addTags(Entry &e, const QStringList &texts, TagKind kind);

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
QString shown(const QString &raw);
// The moment itself when it lies in the diary's years with an offset the
// diary keeps; throws naming raw otherwise.
QDateTime inRange(const QDateTime &at, const QString &raw, const Where &where);
// A local date and time in the system zone (or the zone given) at that date.
QDateTime localMoment(const QDate &date, const QTime &time, const QString &raw, const Where &where,
                      const QString &zone = {});
// An instant shown as the local time of a zone (the system's when invalid),
// with that zone's offset, whole seconds.
QDateTime instantIn(const QDateTime &instant, const QTimeZone &zone);
// An ISO 8601 moment: kept with its own offset; one in UTC ("Z", an instant
// rather than the writer's clock) shown in the zone given or the system's;
// one without an offset is local time there.
QDateTime isoMoment(const QString &raw, const Where &where, const QTimeZone &zone = {});
// "H:mm:ss" or "H:mm"; invalid for anything else.
QTime clockTime(const QString &raw);

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
void finish(Entry &e, const Extras &extras, const Where &where);
// Refuses two entries of one file with the same id: the merge would take the
// second for a newer version of the first and lose one of them.
void checkIdsUnique(const QList<Entry> &entries, const QStringList &ownIds, const QString &file);

// ---- JSON ----------------------------------------------------------------------

// The top-level object of a JSON export; throws for bad UTF-8, an empty,
// cut or malformed file, and for anything but an object.
QJsonObject jsonRoot(const QByteArray &raw, const QString &file);
// The top-level object of a probed file, parsed once.
QJsonObject jsonOf(const JournalProbe &probe);
// The first entry of a probed file's "entries" list: an empty object when the
// list is empty or its first item is no object; none when the file is no JSON
// object or holds no such list. The exports that keep one are told apart by
// its keys.
std::optional<QJsonObject> firstEntry(const JournalProbe &probe);

// A string field; "" when it is missing or null (a throw when required).
QString str(const QJsonObject &o, const QString &key, const Where &where, bool required = false);
// A true/false field; false when missing or null.
bool flag(const QJsonObject &o, const QString &key, const Where &where);
// A list of words: an array of strings, or one string of words separated by
// commas.
QStringList words(const QJsonObject &o, const QString &key, const Where &where);
QJsonArray array(const QJsonObject &o, const QString &key, const Where &where, bool required);
QJsonObject object(const QJsonValue &v, const Where &where);
// A format's own id, a string or a whole number; "" when there is none.
QString ownId(const QJsonObject &o, const QString &key, const Where &where);

// An empty journal of the format, read from file.
ImportedJournal journal(const char *format, const QString &file);

} // namespace somnex::diary::exchange
