#pragma once
// The catalogue of dream books: every signed *.book file of the books
// folder, opened once and kept open, with its configuration and enabled
// state. Slot k belongs to book button k+1 of the main window.

#include "dictionary/BookCache.h"
#include "dictionary/BookDatabase.h"
#include "platform/error/Error.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace somnex::dictionary {

struct CatalogueBook {
    QString Key;         // full path of the book file
    QString Image;       // "k" + file position when the book has an icon, else "default"
    QString ToolTipText; // Config.ToolName
    QString Tag;         // Config.TolkName
    QString Description; // Config.Color, "0" when Null
    int Value = 1;       // 1 enabled, 0 disabled
    QByteArray icon;     // picture bytes, empty when none
    Database database;
    Recordset recordset; // table "Book", index "List"
    // A book taken from the word cache: its headwords in index order and
    // where each one's row lies, and the stamp of the file they were taken
    // from. The merged list takes the words from here while
    // database.stale() is false.
    std::shared_ptr<const CachedWords> cachedWords;
    BookStamp cachedStamp;
};

// A book file left out: not a book at all, or a book that could not be read.
struct SkippedBook {
    QString path;
    QString reason; // why, in plain Russian: "файл повреждён или обрезан", "это не файл сонника"
    QString detail; // what exactly, for whoever looks closer
};

// The book at path left out for the error its opening threw.
SkippedBook skippedBook(const QString &path, const Error &e);

struct CatalogueLoad {
    enum Failure {
        None,
        // the folder cannot be read, or no signed book could be opened
        // (message with the folder)
        FolderOrBook,
        // no *.book file at all
        NoBookFiles,
        // *.book files, none with the signature
        NoSignedBooks,
    };
    Failure failure = None;
    QString error; // the underlying description, for diagnostics
    std::vector<CatalogueBook> books;
    std::vector<SkippedBook> skipped; // book files left out, in load order
};

// "Сонник «/full/path» не загружен: reason." for each book left out, the
// detail on the line below.
QString skippedMessage(const std::vector<SkippedBook> &skipped);

// The user's own books folder: $XDG_DATA_HOME/ZUL Programming/ZUL Somnex/3.1/Books
// (~/.local/share/... when the variable is unset). Not created here.
QString userBooksFolder();

// Opens a signed book and reads what the catalogue needs from it (not the
// enabled state, not the image key). Raises somnex::Error with the reason.
CatalogueBook openBook(const QString &path);

// The *.book files of a folder in the order the catalogue visits them
// (alphabetical by file name, letter case ignored, then exact name).
// Raises somnex::Error when the folder cannot be read.
QStringList bookFiles(const QString &folder);

// Loads the catalogue from the installation's books folder and the user's
// own (which may be absent; empty: none). The files of both are taken in
// one alphabetical order; a file name present in both is taken from the
// user's folder. enabledState gives the stored state of a book key (1 when
// never stored). A signed book that cannot be read is left out and listed in
// skipped; only when none could be read does the load fail.
// With useCache, a book whose word cache matches the file is taken from it
// without being read (bookFromCache), and a book read is stored in it.
CatalogueLoad LoadCatalogue(const QString &booksFolder, const std::function<int(const QString &)> &enabledState,
                            const QString &userFolder = QString(), bool useCache = false);

// Forgets the cached words of every book found stale once read (their list
// then comes from the book); whether there was one.
bool dropStaleWords(std::vector<CatalogueBook> &books);

// The headword at each position of a recordset's index order.
inline QStringView headwordAt(const Recordset &rs, qsizetype i)
{
    return rs.headword(i);
}

} // namespace somnex::dictionary
