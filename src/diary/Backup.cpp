#include "diary/Backup.h"

#include "diary/Sqlite.h"
#include "platform/core/AtomicFile.h"
#include "platform/error/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include <sqlite3.h>

namespace somnex::diary {

namespace {

const QString kSource = QStringLiteral("DiaryBackup");

QDate dayOfBackup(const QString &fileName)
{
    static const QRegularExpression name(QStringLiteral("^diary-(\\d{4}-\\d{2}-\\d{2})\\.sqlite$"));
    const QRegularExpressionMatch m = name.match(fileName);
    return m.hasMatch() ? QDate::fromString(m.captured(1), Qt::ISODate) : QDate();
}

void prune(const QString &folder)
{
    const QStringList files = backupFiles(folder);
    for (qsizetype i = kBackupsKept; i < files.size(); ++i)
        tryStep([&] {
            if (!QFile::remove(files[i]))
                throw Error(kErrorWrite, kSource,
                            QStringLiteral("Не удалось удалить старую копию «%1».").arg(files[i]));
        });
}

} // namespace

QStringList plainCopies(const QString &storePath)
{
    const QFileInfo diary(storePath);
    QStringList candidates = backupFiles(backupFolder(storePath));
    for (const QFileInfo &f :
         QDir(diary.absolutePath()).entryInfoList({diary.fileName() + QStringLiteral(".*")}, QDir::Files))
        if (!f.fileName().endsWith(QLatin1String("-wal")) && !f.fileName().endsWith(QLatin1String("-shm")))
            candidates << f.absoluteFilePath();
    QStringList plain;
    for (const QString &path : candidates) {
        // read as it is: no log or index made beside it
        const QString uri = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) + QStringLiteral("?immutable=1");
        sql::Connection db;
        if (db.open(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI) != SQLITE_OK)
            continue;
        // a diary with entries and no keyring (none, or an empty one)
        if (db.integer("SELECT count(*) FROM entry").value_or(0) > 0
            && db.integer("SELECT count(*) FROM keyring").value_or(0) == 0)
            plain << path;
    }
    return plain;
}

QString backupFolder(const QString &storePath)
{
    return QFileInfo(storePath).absolutePath() + QStringLiteral("/backups");
}

QString backupFileFor(const QString &folder, const QDate &day)
{
    return folder + QStringLiteral("/diary-") + day.toString(Qt::ISODate) + QStringLiteral(".sqlite");
}

QStringList backupFiles(const QString &folder)
{
    QList<std::pair<QDate, QString>> found;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files)) {
        const QDate day = dayOfBackup(name);
        if (day.isValid())
            found.append({day, dir.filePath(name)});
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    QStringList out;
    for (const auto &f : found)
        out << f.second;
    return out;
}

QString backupNow(const DiaryStore &store, const QDate &today)
{
    const QString folder = backupFolder(store.path());
    if (!makePrivateFolders(folder))
        throw Error(kErrorWrite, kSource,
                    QStringLiteral("Не удалось сохранить копию дневника снов: папка «%1» не создаётся.").arg(folder));
    QString target = backupFileFor(folder, today);
    store.backupTo(target);
    prune(folder);
    return target;
}

QString maybeBackup(const DiaryStore &store, const QDate &today)
{
    if (!store.exists() || QFileInfo::exists(backupFileFor(backupFolder(store.path()), today)))
        return {};
    return backupNow(store, today);
}

QString DailyBackup::afterSave(const DiaryStore &store, const QDate &today)
{
    try {
        maybeBackup(store, today);
        failureShown_ = false;
        return {};
    } catch (...) {
        const QString why = describe(std::current_exception());
        if (failureShown_) {
            traceIgnored(std::current_exception());
            return {};
        }
        failureShown_ = true;
        return why + QStringLiteral(" Записи сохранены, но сегодняшней резервной копии нет.");
    }
}

MergePlan restoreFromBackup(DiaryStore &store, const QString &backupPath)
{
    if (!QFileInfo(backupPath).isFile())
        throw Error(kErrorUnreadable, kSource, QStringLiteral("Нет файла копии дневника «%1».").arg(backupPath));
    // Opening a diary may write to it (the log, the trash purged): the copy
    // is read through a copy of its own, so that it stays as it was.
    QTemporaryDir temp;
    const QString work = temp.filePath(QStringLiteral("restore.sqlite"));
    if (!temp.isValid() || !QFile::copy(backupPath, work)
        || (QFileInfo::exists(backupPath + QStringLiteral("-wal"))
            && !QFile::copy(backupPath + QStringLiteral("-wal"), work + QStringLiteral("-wal"))))
        throw Error(kErrorUnreadable, kSource,
                    QStringLiteral("Не удаётся прочитать копию дневника «%1».").arg(backupPath));
    ImportedJournal journal;
    journal.format = QStringLiteral("somnex-backup");
    journal.source = backupPath;
    try {
        // a copy of this diary keeps its words as the diary does
        DiaryStore copy(work);
        copy.setCodec(store.codec());
        journal.entries = copy.allEntries();
    } catch (const Error &e) {
        QString why = e.description();
        throw Error(e.number(), kSource, why.replace(work, backupPath));
    }
    MergePlan plan = planMerge(store, journal);
    applyMerge(store, plan);
    return plan;
}

} // namespace somnex::diary
