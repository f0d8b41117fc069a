// The diary as Markdown notes, one file a dream in a folder: YAML front
// matter with the entry's fields, then the title and the text.
#include "diary/Exchange.h"
#include "diary/exchange/ExchangeSupport.h"
#include "platform/core/AtomicFile.h"

#include <QDir>
#include <QFileInfo>

namespace somnex::diary {

namespace {

using exchange::exchangeError;
using exchange::kindNames;
using exchange::tagTexts;
using exchange::utcText;
using exchange::withoutNul;

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

// A note written whole under a temporary name and renamed into place, not
// yet flushed to the disk: a folder of thousands is flushed once at the end
// (syncNotes), not note by note.
void writeNote(const QString &path, const QByteArray &bytes)
{
    try {
        AtomicWriteOptions privately;
        privately.mode = kPrivateFileMode; // the dreams are the user's alone
        writeFileUnsynced(path, bytes, privately);
    } catch (const Error &e) {
        throw exchangeError(kErrorExportWrite, e.description());
    }
}

void syncNotes(const QString &folder)
{
    try {
        syncFileSystem(folder);
    } catch (const Error &e) {
        throw exchangeError(kErrorExportWrite, e.description());
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

QString markdownNote(const Entry &e)
{
    QString m = QStringLiteral("---\n");
    auto line = [&m](const char *key, const QString &value) {
        m += QLatin1String(key) + QStringLiteral(": ") + value + QLatin1Char('\n');
    };
    line("title", yamlString(withoutNul(e.displayTitle())));
    line("created", utcText(e.created));
    line("updated", utcText(e.updated));
    line("night", e.night.addDays(1).toString(Qt::ISODate)); // its morning, as the file's name
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
    if (!e.fulfilment.note.isEmpty())
        line("mark_note", yamlString(withoutNul(e.fulfilment.note)));
    line("symbols", yamlList(e.symbolHeadwords()));
    if (e.place) {
        line("place", yamlString(withoutNul(e.place->name)));
        line("latitude", QString::number(e.place->latitude, 'f', 4));
        line("longitude", QString::number(e.place->longitude, 'f', 4));
    }
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
    // the night by its morning, as the diary names it ("Ночь на 5 декабря")
    const QString base = e.night.addDays(1).toString(Qt::ISODate) + QLatin1Char('-') + slugOf(e.displayTitle());
    QString name = base + QStringLiteral(".md");
    for (int i = 2; taken.contains(name, Qt::CaseInsensitive); ++i)
        name = base + QStringLiteral("-%1.md").arg(i);
    taken << name;
    return name;
}

namespace exchange {

QStringList markdownWouldReplace(const QString &folder, const QList<Entry> &entries)
{
    QStringList existing;
    const QDir dir(folder);
    for (const QString &name : markdownNames(entries))
        if (QFileInfo::exists(dir.filePath(name)))
            existing << dir.filePath(name);
    return existing;
}

void writeMarkdownFolder(const QString &folder, const QList<Entry> &entries)
{
    if (!makePrivateFolders(folder))
        throw exchangeError(kErrorExportWrite, QStringLiteral("Не удалось создать папку «%1».").arg(folder));
    const QDir dir(folder);
    const QStringList names = markdownNames(entries);
    for (qsizetype i = 0; i < entries.size(); ++i)
        writeNote(dir.filePath(names[i]), markdownNote(entries[i]).toUtf8());
    syncNotes(folder);
}

} // namespace exchange

} // namespace somnex::diary
