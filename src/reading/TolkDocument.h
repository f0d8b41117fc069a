#pragma once
// The interpretation document of one word: the text as built, with its
// in-band markers, and the formatting the markers produce.
//
// The built text keeps every line break as the two characters CR LF; all
// positions here are indices into it. The formatting keeps the marker
// characters in place and only hides them, so positions never shift.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace somnex {

// One enabled book that has at least one entry, in catalogue order.
struct TolkBook {
    QString tag;         // the interpretation heading
    QString description; // the colour as text of a colour value 0x00BBGGRR
    // Unpacked Text and Links (Links nullopt when Null) of the entry whose
    // headword equals the word, or nullopt when the book has none. Raises
    // when the entry cannot be read.
    std::function<std::optional<std::pair<QString, std::optional<QString>>>(const QString &)> lookup;
};

// A book button of the catalogue as the formatting pass sees it.
struct TolkButton {
    QString tag;
    QString description;
};

// What the enabled books say of one word: each book that has it, in
// catalogue order, and the see-also words gathered from them.
struct Interpretation {
    struct Part {
        QString heading;
        QString description;
        QString text;
    };
    QString word;
    std::vector<Part> parts;
    QStringList seeAlso;
};
Interpretation CollectTolk(const QString &word, const std::vector<TolkBook> &books);

// The text of the document for word, or an empty string when no book has
// the word. seeAlso receives the gathered see-also words in order.
QString BuildTolkText(const QString &word, const std::vector<TolkBook> &books, QStringList *seeAlso = nullptr);

// Appends the new see-also words of one book's Links text to seen
// ("<a>, <b>, <"-style accumulator that starts as "<").
void GatherLinks(const QString &links, QString &seen);

// The leading numeric part of a text as a number, 0 when there is none
// (blanks skipped, "&H" hex and "&O" octal prefixes understood).
double LeadingNumber(const QString &text);

// Character formatting of the document.
struct TolkFormat {
    enum Font : std::uint8_t { Base, Symbol };
    std::uint32_t colour = 0; // 0x00BBGGRR
    float size = 9;
    bool bold = false, italic = false, underline = false, hidden = false;
    Font font = Base;
    bool operator==(const TolkFormat &) const = default;
};

// The formatting of every character of text: the heading of the word, then
// the markers' formatting pass, run as one pass in text order.
std::vector<TolkFormat> MarkupTolk(const QString &text, const QString &word, const std::vector<TolkButton> &buttons);

// Colours the document uses.
inline constexpr std::uint32_t kNavy = 0x800000;
inline constexpr std::uint32_t kBlue = 0xFF0000;
inline constexpr std::uint32_t kGreen = 0x008000;
inline constexpr std::uint32_t kTeal = 0x808000;

// The link word at a character index of the text, or empty: the hot zone of
// a link runs from its first letter through its hidden closing ">".
QString GetWord(const QString &text, int index);

// The position of a match of what in text from `from` to the end, ignoring
// case; -1 when there is none.
int FindInText(const QString &text, const QString &what, int from);

} // namespace somnex
