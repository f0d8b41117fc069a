#pragma once
// Dream books in their plain source form and in their file form.
//
// Source form: a UTF-8 text file. Lines starting with "#" are comments,
// anywhere. First the header lines "key: value":
//     name: <display name>            (Config.ToolName, required)
//     heading: <interpretation heading>  (Config.TolkName, required)
//     color: <Windows colour 0x00BBGGRR in decimal>   (Config.Color; absent: Null)
//     icon: <picture file beside the source>          (Config.Icon; absent: Null;
//                                                      "icon:" with no value: empty)
// Then the entries. "== <headword>" starts one; the lines up to the next one
// are its interpretation, joined with CR LF, trailing blank lines dropped;
// one line "=> a; b; c" gives the see-also list, stored as "a; b; c.".
// Book.Text and Book.Links are stored packed.
//
// Escapes, for dumping books written elsewhere: an interpretation line that
// begins with "\" is taken without it, and in it "\\", "\r", "\n", "\0" and
// "\xHHHH" stand for a backslash, CR, LF, U+0000 and any UTF-16 code unit;
// "=>| text" stores the see-also text exactly as written (no "." added).
//
// Canonical form (what dump writes, and what build then dump gives back byte
// for byte): the header lines in the order above, then for each entry a blank
// line, "== headword", its lines, and its "=>" line last.

#include "dictionary/BookDatabase.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace somnex::dictionary {

struct BookEntry {
    QString headword;
    QString text;                 // unpacked interpretation
    std::optional<QString> links; // unpacked see-also list as stored ("a; b.")
    int line = 0;                 // source line of "== ", 0 when not from a source
};

struct BookContent {
    QString name;
    QString heading;
    std::optional<QString> color;
    std::optional<QByteArray> icon; // picture bytes
    std::vector<BookEntry> entries;
};

struct BookSource {
    BookContent content;
    std::optional<QString> iconFile; // as written after "icon: "
    int iconLine = 0;
};

// Parses a source; raises somnex::Error whose description is
// "<fileName>:<line>: <reason>".
BookSource parseBookSource(const QByteArray &utf8, const QString &fileName);

// The canonical source form; iconFile is written on the "icon:" line when the
// book has a non-empty icon.
QByteArray formatBookSource(const BookContent &book, const QString &iconFile);

// The bytes of a signed book file. Raises somnex::Error (text that the code
// page cannot hold, a headword too long).
QByteArray buildBookImage(const BookContent &book);

// Reads a book back (entries in storage order, texts unpacked).
BookContent readBook(const Database &db);

// The characters of a picture stored in Config.Icon (one per byte) and back.
QString iconToText(const QByteArray &bytes);
QByteArray iconFromText(const QString &text);

} // namespace somnex::dictionary
