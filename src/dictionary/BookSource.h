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
// Every name of a see-also list must be a headword of the same book, found
// as the program finds the word behind a link (letter case ignored, е and ё
// kept apart); somnex-book build refuses a book with a name that leads
// nowhere (checkSeeAlso).
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
    int linksLine = 0;            // source line of "=>", 0 when none or not from a source
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

// The names of a stored see-also list as the interpretation window makes
// links of them: split at ";" and at a "." that is the last character before
// trailing blanks, each name trimmed, empty names and the text after the last
// separator dropped.
QStringList seeAlsoNames(const QString &links);

struct DanglingLink {
    int line = 0;     // source line of the "=>" list (linksLine)
    QString headword; // the entry whose list it is
    QString name;     // the name that is no headword of the book
};

// The see-also names of a book that lead to none of its headwords, in entry
// and list order.
std::vector<DanglingLink> danglingSeeAlso(const BookContent &book);

// Raises somnex::Error when a see-also name leads nowhere: one line
// "<fileName>:<line>: <reason>" for each such name (at most the first 50,
// then a line with the count of the rest).
void checkSeeAlso(const BookContent &book, const QString &fileName);

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
