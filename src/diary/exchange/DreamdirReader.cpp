// A dreamdir: a folder marked by a ".dreamdir" file, one plain-text .dre file
// per dream: "Name:<TAB>value" header lines (Id and Date required), a blank
// line, the text.
#include "diary/Importers.h"
#include "diary/exchange/ForeignReaders.h"
#include "diary/exchange/ImportSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace somnex::diary {

namespace exchange {

namespace {

const QString kMarker = QStringLiteral(".dreamdir");

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

FormatMatch sniffDreamdir(const JournalProbe &probe)
{
    const QFileInfo &info = probe.info();
    const bool marked =
        info.isDir() ? QFileInfo(QDir(probe.path()).filePath(kMarker)).exists() : info.fileName() == kMarker;
    return marked ? FormatMatch::Certain : FormatMatch::No;
}

ImportedJournal readDreamdir(const JournalProbe &probe)
{
    // The marker file stands for its folder.
    return parseDreamdir(probe.info().isDir() ? probe.path() : probe.info().absolutePath());
}

} // namespace exchange

using namespace exchange;

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
    if (!QFileInfo(dir.filePath(kMarker)).exists())
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
                              .arg(megabytesShown(total), megabytesShown(kMaxJournalBytes)));
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

} // namespace somnex::diary
