#include "dictionary/Catalogue.h"

#include "dictionary/BookCache.h"
#include "dictionary/BookSchema.h"

#include "platform/ansi/AnsiCodePage.h"
#include "platform/core/Identity.h"
#include "platform/error/Error.h"
#include "platform/jet/BookSignature.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <map>

namespace somnex::dictionary {

QStringList bookFiles(const QString &folder)
{
    const QFileInfo fi(folder);
    if (!fi.isDir() || !fi.isReadable())
        throw Error(76, QStringLiteral("LoadBooks"), QStringLiteral("Путь не найден: ") + folder);
    QDir dir(folder);
    QStringList names = dir.entryList({QStringLiteral("*.book")}, QDir::Files | QDir::Readable | QDir::Hidden);
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    // Counters are 16-bit: at most 32767 files are examined.
    if (names.size() > 32767)
        names = names.mid(0, 32767);
    return names;
}

QString userBooksFolder()
{
    QString base = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QLatin1Char('/') + QLatin1String(kDataSubfolder) + QStringLiteral("/Books"));
}

QString skippedMessage(const std::vector<SkippedBook> &skipped)
{
    QStringList lines;
    for (const SkippedBook &b : skipped) {
        lines << QStringLiteral("Сонник «%1» не загружен: %2.")
                     .arg(QDir::cleanPath(QFileInfo(b.path).absoluteFilePath()), b.reason);
        if (!b.detail.isEmpty())
            lines << QStringLiteral("    ") + b.detail;
    }
    return lines.join(QLatin1Char('\n'));
}

SkippedBook skippedBook(const QString &path, const Error &e)
{
    // The engine names the file; the detail is what follows.
    QString detail = e.description();
    const QString prefix = QStringLiteral("Не удаётся открыть базу данных «%1»: ").arg(path);
    if (detail.startsWith(prefix))
        detail = detail.mid(prefix.size());
    return {path,
            e.number() == 3044 ? QStringLiteral("файл не читается") : QStringLiteral("файл повреждён или обрезан"),
            detail};
}

namespace {

// A file named as a book without the book's signature: empty, text, or
// anything else.
SkippedBook notABook(const QString &path)
{
    const qint64 size = QFileInfo(path).size();
    return {path, QStringLiteral("это не файл сонника"),
            size == 0 ? QStringLiteral("Файл пуст.") : QStringLiteral("В начале файла нет подписи сонника.")};
}

} // namespace

namespace {

// The book's tables as the engine reads them; its errors as it throws them.
CatalogueBook readBook(const QString &path)
{
    CatalogueBook b;
    b.Key = path;
    b.database = DBEngine::instance().OpenDatabase(path);
    b.recordset = b.database.OpenRecordset(kBookTable);
    Recordset config = b.database.OpenRecordset(kConfigTable);
    config.MoveFirst();
    const std::optional<QString> icon = config.Field(kIconColumn);
    if (icon && !icon->isEmpty())
        b.icon = ansi::fromUnicode(*icon);
    b.ToolTipText = config.Field(kToolNameColumn).value_or(QString());
    b.Tag = config.Field(kTolkNameColumn).value_or(QString());
    const std::optional<QString> colour = config.Field(kColorColumn);
    b.Description = colour ? *colour : QStringLiteral("0");
    b.recordset.setIndex(kListIndex);
    return b;
}

} // namespace

CatalogueBook openBook(const QString &path)
{
    try {
        return readBook(path);
    } catch (const Error &e) {
        const SkippedBook why = skippedBook(path, e);
        throw Error(e.number(), QStringLiteral("LoadBooks"), why.reason + QStringLiteral(": ") + why.detail);
    }
}

namespace {

QString withoutTrailingSlash(const QString &f)
{
    return f.endsWith(QLatin1Char('/')) ? f.chopped(1) : f;
}

// Adds the books of the user's own folder to files (by file name, sorted
// without regard to case; at most 32767); where[file] is the folder each
// is read from, the user's copy winning over the shared one.
void addUserBooks(const QString &userFolder, QStringList &files, std::map<QString, QString> &where)
{
    try {
        for (const QString &f : bookFiles(userFolder)) {
            if (!where.count(f))
                files << f;
            where[f] = withoutTrailingSlash(userFolder);
        }
    } catch (const Error &) {
        // an unreadable folder of one's own hides only its books
        traceIgnored(std::current_exception());
    }
    std::sort(files.begin(), files.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    if (files.size() > 32767)
        files = files.mid(0, 32767);
}

// The book at path from its word cache when that matches the file, else
// read (and stored in the cache when useCache).
CatalogueBook openCachedBook(const QString &path, bool useCache)
{
    if (!useCache)
        return readBook(path);
    const BookStamp stamp = stampOf(path);
    if (std::optional<CachedBook> cached = readCache(path, stamp))
        return bookFromCache(std::move(*cached));
    CatalogueBook b = readBook(path);
    writeCache(b, stamp);
    b.database.releasePlaces();
    return b;
}

// Opens the signed books among files into out, in order; returns whether
// there was any signed book at all.
bool openBooks(const QStringList &files, std::map<QString, QString> &where,
               const std::function<int(const QString &)> &enabledState, CatalogueLoad &out, bool useCache)
{
    bool signedBook = false;
    for (int i = 0; i < files.size(); ++i) {
        const QString path = where[files[i]] + QLatin1Char('/') + files[i];
        if (!jet::IsValidVersion(path)) {
            out.skipped.push_back(notABook(path));
            continue;
        }
        signedBook = true;
        try {
            CatalogueBook b = openCachedBook(path, useCache);
            b.Image = b.icon.isEmpty() ? QStringLiteral("default") : QStringLiteral("k") + QString::number(i);
            b.Value = enabledState ? enabledState(path) : 1;
            out.books.push_back(std::move(b));
        } catch (const Error &e) {
            out.skipped.push_back(skippedBook(path, e));
        }
    }
    return signedBook;
}

} // namespace

CatalogueLoad LoadCatalogue(const QString &booksFolder, const std::function<int(const QString &)> &enabledState,
                            const QString &userFolder, bool useCache)
{
    CatalogueLoad out;
    QStringList files;
    try {
        files = bookFiles(booksFolder);
    } catch (const Error &e) {
        out.failure = CatalogueLoad::FolderOrBook;
        out.error = e.description();
        return out;
    }
    const QString folder = withoutTrailingSlash(booksFolder);
    // file name -> folder; the user's copy wins
    std::map<QString, QString> where;
    for (const QString &f : files)
        where[f] = folder;
    if (!userFolder.isEmpty() && QFileInfo(userFolder).isDir()
        && QDir::cleanPath(userFolder) != QDir::cleanPath(booksFolder))
        addUserBooks(userFolder, files, where);
    if (files.isEmpty()) {
        out.failure = CatalogueLoad::NoBookFiles;
        return out;
    }
    if (!openBooks(files, where, enabledState, out, useCache)) {
        out.failure = CatalogueLoad::NoSignedBooks;
    } else if (out.books.empty()) {
        out.failure = CatalogueLoad::FolderOrBook;
        out.error = skippedMessage(out.skipped);
    }
    return out;
}

bool dropStaleWords(std::vector<CatalogueBook> &books)
{
    bool dropped = false;
    for (CatalogueBook &b : books)
        if (b.cachedWords && b.database.stale()) {
            b.cachedWords.reset();
            dropped = true;
        }
    return dropped;
}

} // namespace somnex::dictionary
