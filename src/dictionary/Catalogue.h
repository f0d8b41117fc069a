#pragma once
// The catalogue of dream books: every signed *.book file of the books
// folder, opened once and kept open, with its configuration and enabled
// state. Slot k belongs to book button k+1 of the main window.

#include "dictionary/BookDatabase.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace somnex::dictionary {

struct CatalogueBook {
    QString Key;          // full path of the book file
    QString Image;        // "k" + file position when the book has an icon, else "default"
    QString ToolTipText;  // Config.ToolName
    QString Tag;          // Config.TolkName
    QString Description;  // Config.Color, "0" when Null
    int Value = 1;        // 1 enabled, 0 disabled
    QByteArray icon;      // picture bytes, empty when none
    Database database;
    Recordset recordset;  // table "Book", index "List"
};

struct CatalogueLoad {
    enum Failure {
        None,
        // the folder cannot be read, or a book failed to open (message with the folder)
        FolderOrBook,
        // no *.book file at all
        NoBookFiles,
        // *.book files, none with the signature
        NoSignedBooks,
    };
    Failure failure = None;
    QString error; // the underlying description, for diagnostics
    std::vector<CatalogueBook> books;
};

// The *.book files of a folder in the order the catalogue visits them
// (alphabetical by file name, letter case ignored, then exact name).
// Raises somnex::Error when the folder cannot be read.
QStringList bookFiles(const QString &folder);

// Loads the catalogue. enabledState gives the stored state of a book key
// (1 when never stored).
CatalogueLoad LoadCatalogue(const QString &booksFolder, const std::function<int(const QString &)> &enabledState);

// The headword at each position of a recordset's index order.
inline QStringView headwordAt(const Recordset &rs, qsizetype i) { return rs.headword(i); }

} // namespace somnex::dictionary
