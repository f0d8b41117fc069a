#include "dictionary/Catalogue.h"

#include "platform/ansi/AnsiCodePage.h"
#include "platform/error/Error.h"
#include "platform/jet/BookSignature.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

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

CatalogueLoad LoadCatalogue(const QString &booksFolder, const std::function<int(const QString &)> &enabledState)
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
    if (files.isEmpty()) {
        out.failure = CatalogueLoad::NoBookFiles;
        return out;
    }
    const QString folder = booksFolder.endsWith(QLatin1Char('/')) ? booksFolder.chopped(1) : booksFolder;
    try {
        for (int i = 0; i < files.size(); ++i) {
            const QString path = folder + QLatin1Char('/') + files[i];
            if (!jet::IsValidVersion(path))
                continue;
            CatalogueBook b;
            b.Key = path;
            b.database = DBEngine::instance().OpenDatabase(path);
            b.recordset = b.database.OpenRecordset(QStringLiteral("Book"));
            Recordset config = b.database.OpenRecordset(QStringLiteral("Config"));
            config.MoveFirst();
            const std::optional<QString> icon = config.Field(QStringLiteral("Icon"));
            if (icon && !icon->isEmpty()) {
                b.icon = ansi::fromUnicode(*icon);
                b.Image = QStringLiteral("k") + QString::number(i);
            } else {
                b.Image = QStringLiteral("default");
            }
            b.ToolTipText = config.Field(QStringLiteral("ToolName")).value_or(QString());
            b.Tag = config.Field(QStringLiteral("TolkName")).value_or(QString());
            b.Value = enabledState ? enabledState(path) : 1;
            const std::optional<QString> colour = config.Field(QStringLiteral("Color"));
            b.Description = colour ? *colour : QStringLiteral("0");
            b.recordset.setIndex(QStringLiteral("List"));
            out.books.push_back(std::move(b));
        }
    } catch (const Error &e) {
        out.failure = CatalogueLoad::FolderOrBook;
        out.error = e.description();
        out.books.clear();
        return out;
    }
    if (out.books.empty())
        out.failure = CatalogueLoad::NoSignedBooks;
    return out;
}

} // namespace somnex::dictionary
