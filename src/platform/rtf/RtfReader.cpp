#include "platform/rtf/RtfReader.h"

#include "platform/ansi/AnsiCodePage.h"
#include "platform/rtf/RtfSymbols.h"

#include <QHash>

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace somnex {

namespace {

using ByteTable = std::array<char16_t, 256>;

constexpr int kMaxTableDepth = 32; // deeper \itap levels count as this one

// Whether an ICU converter reads a code page: bytes to characters by a
// table, a character from one byte or a short sequence. ICU's aliases also
// open Unicode encodings and compression schemes under "ibm-N" and "cpN"
// numbers (ibm-1215 is BOCU-1, cp1200 UTF-16, ibm-1208 UTF-8) and stateful
// ones with escape sequences. The bytes of an RTF document are never in
// those (mail clients name 1200 while writing their text in fonts of their
// own charsets), and read as one they turn a run of ordinary bytes into
// unrelated characters.
bool isCodePage(const UConverter *conv)
{
    switch (ucnv_getType(conv)) {
    case UCNV_SBCS:
    case UCNV_DBCS:
    case UCNV_MBCS:
    case UCNV_LATIN_1:
    case UCNV_US_ASCII: return true;
    default: return false;
    }
}

// The ICU converter of a Windows or Mac code page, or null when ICU has none.
UConverter *openConverter(int codePage)
{
    QByteArrayList names;
    switch (codePage) {
    case 10000: names << "macintosh"; break;
    case 10001:
        names << "x-mac-japanese"
              << "Shift_JIS";
        break;
    case 10002:
        names << "x-mac-trad-chinese"
              << "Big5";
        break;
    case 10003:
        names << "x-mac-korean"
              << "EUC-KR";
        break;
    case 10004: names << "x-mac-arabic"; break;
    case 10005: names << "x-mac-hebrew"; break;
    case 10006: names << "x-mac-greek"; break;
    case 10007: names << "x-mac-cyrillic"; break;
    case 10008:
        names << "x-mac-chinesesimp"
              << "GB2312";
        break;
    case 10029: names << "x-mac-centraleurroman"; break;
    case 10081: names << "x-mac-turkish"; break;
    default: break;
    }
    names << "windows-" + QByteArray::number(codePage) << "cp" + QByteArray::number(codePage)
          << "ibm-" + QByteArray::number(codePage);
    for (const QByteArray &n : names) {
        UErrorCode e = U_ZERO_ERROR;
        UConverter *c = ucnv_open(n.constData(), &e);
        if (U_SUCCESS(e) && c && isCodePage(c))
            return c;
        if (c)
            ucnv_close(c);
    }
    return nullptr;
}

// The characters of a single-byte code page's 256 bytes; a byte it leaves
// undefined (or every byte, with no converter) stands for itself.
ByteTable byteTable(UConverter *conv)
{
    ByteTable table{};
    for (int b = 0; b < 256; ++b)
        table[static_cast<size_t>(b)] = static_cast<char16_t>(b);
    if (!conv)
        return table;
    for (int b = 0x80; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        UChar out[4];
        UErrorCode e = U_ZERO_ERROR;
        const int32_t n = ucnv_toUChars(conv, out, 4, &byte, 1, &e);
        if (U_SUCCESS(e) && n == 1)
            table[static_cast<size_t>(b)] = out[0];
    }
    return table;
}

// A code page as the reader uses it: single-byte ones as a table of their
// 256 characters, multi-byte ones through a converter that keeps the lead
// byte of a pair between calls.
struct CodePage {
    bool multiByte = false;
    ByteTable table{};
    UConverter *conv = nullptr;
};

// The code page of a font's \fcharset, or 0 for the document's own.
int charsetCodePage(int charset)
{
    switch (charset) {
    case 0: return 1252;
    case 77: return 10000;
    case 78: return 10001;
    case 79: return 10003;
    case 80: return 10008;
    case 81: return 10002;
    case 83: return 10005;
    case 84: return 10004;
    case 85: return 10006;
    case 86: return 10081;
    case 88: return 10029;
    case 89: return 10007;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0;
    }
}

enum class Dest {
    Body,
    FontTable,
    ColourTable,
    Skip,
    Picture,
    Hidden,    // text dropped, words still read (shapes, objects, \upr)
    Lists,     // the list table and the list override table
    LevelText, // a list level's \leveltext
    Label,     // a list item's label as the writer gives it (\listtext, \pntext)
    Pn,        // an old-style paragraph numbering (\pn)
    PnText,    // its text before or after the number
    ShapeName, // a shape property's name (\sn)
};

struct Format {
    int font = -1;
    double size = 0; // 0: the base size
    int colour = 0;  // index into the colour table, 0 the automatic colour
    int highlight = 0;
    bool bold = false, italic = false, underline = false, hidden = false;
    bool superscript = false, subscript = false, strike = false;
    bool operator==(const Format &) const = default;
};

enum class FlowKind { Body, Footnote, TextBox };

struct State {
    Dest dest = Dest::Body;
    Format fmt;
    RtfParagraphFormat para;
    bool inTable = false;
    int tableLevel = 1; // \itap
    int uc = 1;
    int flow = 0;              // index of the flow text goes to
    bool ownsFlow = false;     // the group opened that flow
    bool fresh = true;         // nothing read yet in this group
    bool starred = false;      // a \* waits for its word
    int ls = 0;                // the paragraph's list (\ls), 0 none
    int ilvl = 0;              // and its level in the list
    int pn = -1;               // the paragraph's old-style numbering, -1 none
    bool shapePicture = false; // in a shape's picture property
};

enum class FontKind { Text, Symbol, Wingdings };

// Number formats of list levels (\levelnfc) and of \pn numbering.
constexpr int kDecimal = 0, kUpperRoman = 1, kLowerRoman = 2, kUpperLetter = 3, kLowerLetter = 4, kDecimalZero = 22,
              kBullet = 23, kNoNumber = 255;
constexpr int kListLevels = 9;
constexpr int kMaxLabel = 64;                      // characters of a list label, past its indent, and of a level's text
constexpr int kMaxPnText = 32;                     // characters before or after an old-style paragraph number
constexpr int kMaxShapeName = 64;                  // characters of a shape's name
constexpr int kCodePageBound = 100000;             // code page numbers lie below
constexpr long long kNumberBound = 100000000000LL; // a keyword's number stops growing here
constexpr int kMaxNumber = 1000000000;             // list counters stop here

struct ListLevel {
    int format = kDecimal;
    int start = 1;
    QString text; // \leveltext: its length, then characters; 0-8 stand for the levels' numbers
};

struct ListDefinition {
    std::array<ListLevel, kListLevels> levels{};
};

// A list as a paragraph names it (\ls): a list of the table, with the
// levels it starts anew at a number of their own.
struct ListOverride {
    int list = 0;
    std::array<std::optional<int>, kListLevels> starts{};
};

// An old-style paragraph numbering.
struct ParagraphNumbering {
    int level = 0; // 0 body, -1 bullet, -2 a numbered item's further paragraph, 1-9 an outline level
    int format = kDecimal;
    int start = 1;
    QString before, after;
    // whether a paragraph numbered this way goes on counting after one numbered the other way
    bool continues(const ParagraphNumbering &o) const
    {
        return level == o.level && format == o.format && before == o.before && after == o.after;
    }
};

QString romanNumber(int n, bool upper)
{
    if (n <= 0 || n >= 4000)
        return QString::number(n);
    static constexpr std::pair<int, const char *> parts[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"},
                                                             {100, "c"},  {90, "xc"},  {50, "l"},  {40, "xl"},
                                                             {10, "x"},   {9, "ix"},   {5, "v"},   {4, "iv"},
                                                             {1, "i"}};
    QString out;
    for (const auto &[value, digits] : parts)
        for (; n >= value; n -= value)
            out += QLatin1String(digits);
    return upper ? out.toUpper() : out;
}

// a, b, ... z, aa, bb, ... as word processors letter their lists
QString letterNumber(int n, bool upper)
{
    if (n <= 0)
        return QString::number(n);
    const QChar letter(static_cast<char16_t>((upper ? u'A' : u'a') + (n - 1) % 26));
    return QString(std::min(1 + (n - 1) / 26, kMaxLabel), letter);
}

QString formatNumber(int n, int format)
{
    switch (format) {
    case kUpperRoman: return romanNumber(n, true);
    case kLowerRoman: return romanNumber(n, false);
    case kUpperLetter: return letterNumber(n, true);
    case kLowerLetter: return letterNumber(n, false);
    case kDecimalZero: return n >= 0 && n < 10 ? QStringLiteral("0%1").arg(n) : QString::number(n);
    case kNoNumber:
    case kBullet: return {};
    default: return QString::number(n);
    }
}

// The label of a list paragraph as a plain-text export writes it.
QString labelText(const QString &label, int level)
{
    const qsizetype indent = 4 * qsizetype(std::clamp(level, 0, kListLevels - 1) + 1);
    return QString(indent, QLatin1Char(' ')) + label + QLatin1Char(' ');
}

struct Font {
    QString name;
    int codePage = 0;
    int styleHint = 0;
    FontKind kind = FontKind::Text;
};

// What a control word does. A word not listed is a property the reader
// does not show.
enum class Kw : unsigned char {
    Other,
    Binary,
    // destinations
    Skip, // a destination whose text never shows
    FontTable,
    ColourTable,
    Picture,
    HiddenDest, // words read, text dropped
    TextBox,
    Result, // the text shown for a field or object
    Footnote,
    Read, // a destination read as ordinary text
    // font and colour tables
    Font,
    Charset,
    FontCodePage,
    Family,
    Red,
    Green,
    Blue,
    // document
    CodePage,
    DefaultFont,
    UnicodeSkip,
    Unicode,
    FootnoteMark,
    // character
    Plain,
    Bold,
    Italic,
    Underline,
    NoUnderline,
    Strike,
    Super,
    Sub,
    NoSuperSub,
    Highlight,
    HiddenText,
    FontSize,
    Colour,
    // paragraph
    ParagraphDefaults,
    Align,
    LeftIndent,
    RightIndent,
    FirstIndent,
    SpaceBefore,
    SpaceAfter,
    LineSpacing,
    LineMultiple,
    TabStop,
    InTable,
    TableLevel,
    RowDefaults,
    CellEdge,
    RowLeft,
    // lists
    Lists,
    List,
    ListLevel,
    LevelFormat,
    LevelStart,
    LevelText,
    ListId,
    ListOverride,
    OverrideLevel,
    ListNumber,
    ListLevelNumber,
    Label,
    Pn,
    PnLevel,
    PnFormat,
    PnStart,
    PnText,
    // shapes
    ShapeName,
    ShapeValue,
    // breaks and characters
    Par,
    Cell,
    NestCell,
    Row,
    NestRow,
    Char,
};

struct Keyword {
    Kw kind = Kw::Other;
    int value = 0;      // the character, alignment, font family or colour component
    bool known = false; // read after \* rather than skipped as unknown
};

using KeywordTable = std::unordered_map<std::string_view, Keyword>;

KeywordTable makeKeywords()
{
    KeywordTable t;
    static constexpr const char *skipped[] = {
        "stylesheet",
        "info",
        "header",
        "headerl",
        "headerr",
        "headerf",
        "footer",
        "footerl",
        "footerr",
        "footerf",
        "fldinst",
        "xe",
        "tc",
        "bkmkstart",
        "bkmkend",
        "themedata",
        "colorschememapping",
        "latentstyles",
        "datastore",
        "rsidtbl",
        "generator",
        "filetbl",
        "revtbl",
        "falt",
        "panose",
        "template",
        "annotation",
        "atnid",
        "atnauthor",
        "atndate",
        "atnref",
        "nonshppict",
        "datafield",
        "userprops",
        "xmlnstbl",
        "mmathPr",
        "pgdsctbl",
        "fchars",
        "lchars",
        "nonesttables",
        "shprslt",
        "objdata",
        "objclass",
        "objname",
        "fldtype",
        "formfield",
        "protusertbl",
        "wgrffmtfilter",
        "docvar",
        "ftnsep",
        "ftnsepc",
        "ftncn",
        "aftnsep",
        "aftnsepc",
        "aftncn",
        "pgptbl",
        "mmath",
        "blipuid",
        "picprop",
        "oldcprops",
        "oldpprops",
        "oldtprops",
        "oldsprops",
        "defchp",
        "defpap",
        "hlinkbase",
        "do",
        "keycode",
        "private",
        "dptxbxtext",
    };
    for (const char *n : skipped)
        t.emplace(n, Keyword{Kw::Skip, 0, true});
    const std::pair<const char *, Keyword> words[] = {
        {"bin", {Kw::Binary, 0, true}},
        {"fonttbl", {Kw::FontTable, 0, true}},
        {"colortbl", {Kw::ColourTable, 0, true}},
        {"pict", {Kw::Picture, 0, true}},
        {"shpinst", {Kw::HiddenDest, 0, true}},
        {"object", {Kw::HiddenDest, 0, true}},
        {"upr", {Kw::HiddenDest, 0, true}},
        {"shptxt", {Kw::TextBox, 0, true}},
        {"result", {Kw::Result, 0, true}},
        {"ud", {Kw::Result, 0, true}},
        {"footnote", {Kw::Footnote, 0, true}},
        {"shppict", {Kw::Read, 0, true}},
        {"shp", {Kw::Read, 0, true}},
        {"fldrslt", {Kw::Read, 0, true}},
        {"field", {Kw::Read, 0, true}},
        {"nesttableprops", {Kw::Read, 0, true}},
        {"listtext", {Kw::Label, 0, true}},
        {"pntext", {Kw::Label, 0, true}},
        {"listtable", {Kw::Lists, 0, true}},
        {"listoverridetable", {Kw::Lists, 0, true}},
        {"list", {Kw::List}},
        {"listlevel", {Kw::ListLevel}},
        {"levelnfc", {Kw::LevelFormat}},
        {"levelnfcn", {Kw::LevelFormat}},
        {"levelstartat", {Kw::LevelStart}},
        {"leveltext", {Kw::LevelText, 0, true}},
        {"levelnumbers", {Kw::Skip, 0, true}},
        {"listname", {Kw::Skip, 0, true}},
        {"listid", {Kw::ListId}},
        {"listoverride", {Kw::ListOverride}},
        {"lfolevel", {Kw::OverrideLevel}},
        {"ls", {Kw::ListNumber}},
        {"ilvl", {Kw::ListLevelNumber}},
        {"pn", {Kw::Pn, 0, true}},
        {"pnlvlbody", {Kw::PnLevel, 0}},
        {"pnlvlblt", {Kw::PnLevel, -1}},
        {"pnlvlcont", {Kw::PnLevel, -2}},
        {"pnlvl", {Kw::PnLevel, 1}},
        {"pndec", {Kw::PnFormat, kDecimal}},
        {"pnucrm", {Kw::PnFormat, kUpperRoman}},
        {"pnlcrm", {Kw::PnFormat, kLowerRoman}},
        {"pnucltr", {Kw::PnFormat, kUpperLetter}},
        {"pnlcltr", {Kw::PnFormat, kLowerLetter}},
        {"pnstart", {Kw::PnStart}},
        {"pntxta", {Kw::PnText, 1, true}},
        {"pntxtb", {Kw::PnText, 0, true}},
        {"sp", {Kw::HiddenDest, 0, true}},
        {"sn", {Kw::ShapeName, 0, true}},
        {"sv", {Kw::ShapeValue, 0, true}},
        {"trowd", {Kw::RowDefaults}},
        {"cellx", {Kw::CellEdge}},
        {"trleft", {Kw::RowLeft}},
        {"f", {Kw::Font}},
        {"fcharset", {Kw::Charset}},
        {"cpg", {Kw::FontCodePage}},
        {"froman", {Kw::Family, 1}}, // QFont::Serif
        {"fswiss", {Kw::Family, 0}},
        {"fmodern", {Kw::Family, 2}}, // QFont::TypeWriter
        {"fscript", {Kw::Family, 6}}, // QFont::Cursive
        {"fdecor", {Kw::Family, 3}},  // QFont::Decorative
        {"red", {Kw::Red, 0}},
        {"green", {Kw::Green, 1}},
        {"blue", {Kw::Blue, 2}},
        {"ansicpg", {Kw::CodePage}},
        {"deff", {Kw::DefaultFont}},
        {"uc", {Kw::UnicodeSkip}},
        {"u", {Kw::Unicode, 0, true}},
        {"chftn", {Kw::FootnoteMark}},
        {"plain", {Kw::Plain}},
        {"b", {Kw::Bold}},
        {"i", {Kw::Italic}},
        {"ul", {Kw::Underline}},
        {"uld", {Kw::Underline}},
        {"uldb", {Kw::Underline}},
        {"ulw", {Kw::Underline}},
        {"uldash", {Kw::Underline}},
        {"ulth", {Kw::Underline}},
        {"ulwave", {Kw::Underline}},
        {"uldashd", {Kw::Underline}},
        {"uldashdd", {Kw::Underline}},
        {"ulthd", {Kw::Underline}},
        {"ulhwave", {Kw::Underline}},
        {"ulldash", {Kw::Underline}},
        {"ulthdash", {Kw::Underline}},
        {"ulthldash", {Kw::Underline}},
        {"ululdbwave", {Kw::Underline}},
        {"ulnone", {Kw::NoUnderline}},
        {"strike", {Kw::Strike}},
        {"striked", {Kw::Strike}},
        {"super", {Kw::Super}},
        {"up", {Kw::Super}},
        {"sub", {Kw::Sub}},
        {"dn", {Kw::Sub}},
        {"nosupersub", {Kw::NoSuperSub}},
        {"highlight", {Kw::Highlight}},
        {"v", {Kw::HiddenText}},
        {"fs", {Kw::FontSize}},
        {"cf", {Kw::Colour}},
        {"pard", {Kw::ParagraphDefaults}},
        {"ql", {Kw::Align, static_cast<int>(RtfParagraphFormat::Align::Left)}},
        {"qc", {Kw::Align, static_cast<int>(RtfParagraphFormat::Align::Centre)}},
        {"qr", {Kw::Align, static_cast<int>(RtfParagraphFormat::Align::Right)}},
        {"qj", {Kw::Align, static_cast<int>(RtfParagraphFormat::Align::Justify)}},
        {"qd", {Kw::Align, static_cast<int>(RtfParagraphFormat::Align::Justify)}},
        {"li", {Kw::LeftIndent}},
        {"lin", {Kw::LeftIndent}},
        {"ri", {Kw::RightIndent}},
        {"rin", {Kw::RightIndent}},
        {"fi", {Kw::FirstIndent}},
        {"sb", {Kw::SpaceBefore}},
        {"sa", {Kw::SpaceAfter}},
        {"sl", {Kw::LineSpacing}},
        {"slmult", {Kw::LineMultiple}},
        {"tx", {Kw::TabStop}},
        {"tb", {Kw::TabStop}},
        {"intbl", {Kw::InTable}},
        {"itap", {Kw::TableLevel}},
        {"par", {Kw::Par, 0, true}},
        {"sect", {Kw::Par}},
        {"page", {Kw::Par}},
        {"cell", {Kw::Cell}},
        {"nestcell", {Kw::NestCell}},
        {"row", {Kw::Row}},
        {"nestrow", {Kw::NestRow}},
        {"line", {Kw::Char, 0x2028}},
        {"tab", {Kw::Char, '\t'}},
        {"emdash", {Kw::Char, 0x2014}},
        {"endash", {Kw::Char, 0x2013}},
        {"emspace", {Kw::Char, ' '}},
        {"enspace", {Kw::Char, ' '}},
        {"qmspace", {Kw::Char, ' '}},
        {"bullet", {Kw::Char, 0x2022}},
        {"lquote", {Kw::Char, 0x2018}},
        {"rquote", {Kw::Char, 0x2019}},
        {"ldblquote", {Kw::Char, 0x201C}},
        {"rdblquote", {Kw::Char, 0x201D}},
    };
    for (const auto &[name, k] : words)
        t.emplace(name, k);
    return t;
}

// The keyword of a control word; Kw::Other for one the reader does not know.
Keyword keyword(QByteArrayView w)
{
    static const KeywordTable table = makeKeywords();
    const auto it = table.find(std::string_view(w.data(), static_cast<size_t>(w.size())));
    return it != table.end() ? it->second : Keyword{};
}

QColor rgb(const int v[3])
{
    return QColor(v[0], v[1], v[2]);
}

// The paragraphs of one flow of text (the body, a footnote, a text box) with
// the tables open at the paragraph being read.
struct Flow {
    struct OpenTable {
        std::shared_ptr<RtfTable> table = std::make_shared<RtfTable>();
        std::vector<std::vector<RtfBlock>> row;
        std::vector<RtfBlock> cell;
        bool rowMarks = false; // the writer ends this table's rows with \row
    };
    FlowKind kind = FlowKind::Body;
    std::vector<RtfBlock> blocks;
    std::vector<OpenTable> open;
    RtfBlock para;
    bool paraHasText = false;
    // the label the writer gave the paragraph being read (\listtext, \pntext)
    QString label;
    RtfRun labelRun;
    bool hasLabel = false;
    // old-style numbering: the counters of its levels, running while
    // numbered paragraphs follow each other
    std::array<int, kListLevels + 1> pnCounters{};
    std::array<bool, kListLevels + 1> pnCounted{};
    bool pnActive = false;
    ParagraphNumbering lastPn;

    std::vector<RtfBlock> &container() { return open.empty() ? blocks : open.back().cell; }

    void closeTable()
    {
        OpenTable t = std::move(open.back());
        open.pop_back();
        if (!t.cell.empty())
            t.row.push_back(std::move(t.cell));
        if (!t.row.empty())
            t.table->rows.push_back(std::move(t.row));
        if (t.table->rows.empty())
            return;
        RtfBlock b;
        b.table = std::move(t.table);
        container().push_back(std::move(b));
    }

    void setDepth(int level)
    {
        while (static_cast<int>(open.size()) > level)
            closeTable();
        while (static_cast<int>(open.size()) < level)
            open.emplace_back();
    }

    void endParagraph(int level, const RtfParagraphFormat &format, const RtfRun &mark)
    {
        setDepth(level);
        para.format = format;
        para.mark = mark;
        container().push_back(std::move(para));
        para = RtfBlock{};
        paraHasText = false;
    }

    void endCell(int level, const RtfParagraphFormat &format, const RtfRun &mark)
    {
        endParagraph(level, format, mark);
        OpenTable &t = open.back();
        t.row.push_back(std::move(t.cell));
        t.cell.clear();
    }

    // A row's \cellx widths become its table's when it has at least as many.
    void noteWidths(int level, const std::vector<double> &widths)
    {
        if (level < 1 || static_cast<int>(open.size()) < level || widths.empty())
            return;
        std::vector<double> &columns = open[static_cast<size_t>(level - 1)].table->columnWidths;
        if (widths.size() >= columns.size())
            columns = widths;
    }

    void endRow(int level)
    {
        if (static_cast<int>(open.size()) < level)
            return; // a row end with no cell read
        setDepth(level);
        OpenTable &t = open.back();
        if (!t.cell.empty())
            t.row.push_back(std::move(t.cell));
        t.cell.clear();
        if (!t.row.empty())
            t.table->rows.push_back(std::move(t.row));
        t.row.clear();
    }

    // Ends what is open: the last paragraph when it has anything, the tables.
    std::vector<RtfBlock> finish(const RtfParagraphFormat &format, const RtfRun &mark)
    {
        // The body's last paragraph stands even when empty (a document that
        // ends its last paragraph shows an empty line after it, as in word
        // processors); a note's or a text box's empty one does not.
        const bool keep = paraHasText || (kind == FlowKind::Body && open.empty() && !blocks.empty());
        if (keep || !para.runs.empty()) {
            para.format = format;
            para.mark = mark;
            container().push_back(std::move(para));
            para = RtfBlock{};
        }
        setDepth(0);
        return std::move(blocks);
    }
};

class Reader {
public:
    Reader(QByteArrayView data, const RtfRun &base, const RtfReadLimits &limits)
        : in_(data), base_(base), limits_(limits)
    {
        docCodePage_ = 1252;
        flows_.emplace_back();
    }

    ~Reader()
    {
        for (CodePage &cp : codePages_)
            if (cp.conv)
                ucnv_close(cp.conv);
    }

    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    RtfReadResult run()
    {
        RtfReadResult r;
        if (in_.size() > limits_.maxBytes) {
            r.error = QStringLiteral("Документ RTF слишком велик");
            return r;
        }
        qsizetype start = 0;
        while (start < in_.size()
               && (in_[start] == ' ' || in_[start] == '\r' || in_[start] == '\n' || in_[start] == '\t'))
            ++start;
        if (!in_.sliced(start).startsWith("{\\rtf")) {
            r.error = QStringLiteral("Неверный формат файла: это не документ RTF");
            return r;
        }
        pos_ = start;
        if (!parse(r.error))
            return r;
        // groups left open end here, innermost first
        while (!stack_.empty())
            closeGroup();
        if (flow().paraHasText)
            labelParagraph();
        doc_.blocks = flows_.front().finish(state_.para, runFor(state_.fmt));
        r.document = std::move(doc_);
        return r;
    }

private:
    // A code page by its number. One that ICU cannot read as a code page
    // (and any past the first limits_.maxCodePages a document names) reads as Windows-1252,
    // the code page of \ansi.
    CodePage &codePage(int number)
    {
        auto it = codePageIndex_.constFind(number);
        if (it != codePageIndex_.constEnd())
            return codePages_[static_cast<size_t>(*it)];
        CodePage cp;
        if (number == 1251) {
            for (int b = 0; b < 256; ++b)
                cp.table[static_cast<size_t>(b)] = ansi::toChar(static_cast<unsigned char>(b));
        } else {
            UConverter *conv = number > 0 && codePages_.size() < static_cast<std::size_t>(limits_.maxCodePages)
                                   ? openConverter(number)
                                   : nullptr;
            if (!conv && number != 1252)
                conv = openConverter(1252);
            cp.multiByte = conv && ucnv_getMaxCharSize(conv) > 1;
            if (!cp.multiByte)
                cp.table = byteTable(conv);
            cp.conv = conv;
        }
        codePageIndex_.insert(number, static_cast<int>(codePages_.size()));
        codePages_.push_back(cp);
        return codePages_.back();
    }

    const Font *currentFont() const
    {
        if (state_.dest == Dest::FontTable)
            return &pendingFont_;
        auto it = fonts_.constFind(state_.fmt.font);
        return it != fonts_.constEnd() ? &it.value() : nullptr;
    }

    void closeGroup()
    {
        if (state_.dest == Dest::FontTable)
            endFontEntry();
        if (state_.dest == Dest::Picture)
            endPicture();
        const Dest inner = state_.dest;
        if (state_.ownsFlow)
            endFlow();
        if (inner == Dest::Lists && listGroupDepth_ > 0 && stack_.size() == listGroupDepth_)
            endListDefinition();
        state_ = stack_.back();
        stack_.pop_back();
        if (inner == Dest::Pn && state_.dest != Dest::Pn && state_.dest != Dest::PnText)
            endNumbering();
        if (inner == Dest::FontTable && state_.dest == Dest::FontTable)
            pendingFont_ = Font{};
        skipChars_ = 0;
        if (leadBytePending_) {
            // a lead byte left at a group's end pairs with nothing after it
            for (CodePage &cp : codePages_)
                if (cp.multiByte)
                    ucnv_reset(cp.conv);
            leadBytePending_ = false;
        }
    }

    bool parse(QString &error)
    {
        while (pos_ < in_.size()) {
            if (state_.dest == Dest::Picture) {
                readHex();
                if (pos_ >= in_.size())
                    break;
            }
            const char c = in_[pos_++];
            switch (c) {
            case '{':
                if (!openGroup(error))
                    return false;
                break;
            case '}':
                if (stack_.empty())
                    return true;
                closeGroup();
                if (stack_.empty())
                    return true; // the document's group has ended
                break;
            case '\\': controlWord(); break;
            default: onText(c); break;
            }
        }
        return true; // cut short: what was read stands
    }

    bool openGroup(QString &error)
    {
        if (static_cast<int>(stack_.size()) >= limits_.maxDepth) {
            error = QStringLiteral("Документ RTF вложен слишком глубоко");
            return false;
        }
        stack_.push_back(state_);
        state_.ownsFlow = false;
        state_.fresh = true;
        state_.starred = false;
        skipChars_ = 0;
        return true;
    }

    // A byte of text; line ends in the source are not text.
    void onText(char c)
    {
        if (c == '\r' || c == '\n')
            return;
        state_.fresh = false;
        if (c == '\t')
            emitChar(u'\t');
        else if (static_cast<unsigned char>(c) >= 0x20)
            emitByte(static_cast<unsigned char>(c));
    }

    // The hexadecimal digits of a picture, up to the next control or group.
    void readHex()
    {
        while (pos_ < in_.size()) {
            const char h = in_[pos_];
            const int d = hexDigit(h);
            if (d < 0 && (h == '\\' || h == '{' || h == '}'))
                return;
            ++pos_;
            if (d < 0)
                continue;
            if (nibble_ < 0) {
                nibble_ = d;
            } else {
                picture_.data.append(static_cast<char>(nibble_ * 16 + d));
                nibble_ = -1;
            }
        }
    }

    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    // The value of a hexadecimal digit, -1 for any other character.
    static int hexDigit(char c)
    {
        if (isDigit(c))
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    void controlWord()
    {
        if (pos_ >= in_.size())
            return;
        const char c = in_[pos_];
        if (!isLetter(c)) {
            ++pos_;
            if (c != '*')
                state_.fresh = false;
            controlSymbol(c);
            return;
        }
        const qsizetype wordStart = pos_;
        while (pos_ < in_.size() && isLetter(in_[pos_]))
            ++pos_;
        const QByteArrayView word = in_.sliced(wordStart, std::min<qsizetype>(pos_ - wordStart, 32));
        const std::optional<long long> param = readParameter();
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_;
        const int n = param ? static_cast<int>(std::clamp<long long>(*param, -2147483647LL, 2147483647LL)) : 0;
        const bool starred = state_.starred;
        const bool fresh = state_.fresh;
        state_.starred = false;
        state_.fresh = false;
        const Keyword k = keyword(word);
        if (starred && state_.dest != Dest::Skip && !k.known) {
            // an ignorable word this reader does not know: at the start of a
            // group it is a destination to skip, elsewhere a word to ignore
            if (fresh)
                state_.dest = Dest::Skip;
            return;
        }
        onWord(k, word, param.has_value(), n);
    }

    // A control word's number, optionally negative; digits past eleven stop counting.
    std::optional<long long> readParameter()
    {
        bool negative = false;
        if (pos_ + 1 < in_.size() && in_[pos_] == '-' && isDigit(in_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        if (pos_ >= in_.size() || !isDigit(in_[pos_]))
            return std::nullopt;
        long long v = 0;
        for (; pos_ < in_.size() && isDigit(in_[pos_]); ++pos_)
            if (v < kNumberBound)
                v = v * 10 + (in_[pos_] - '0');
        return negative ? -v : v;
    }

    void controlSymbol(char c)
    {
        switch (c) {
        case '\'': {
            int v = 0, digits = 0;
            while (digits < 2 && pos_ < in_.size()) {
                const int d = hexDigit(in_[pos_]);
                if (d < 0)
                    break;
                v = v * 16 + d;
                ++digits;
                ++pos_;
            }
            if (digits == 2)
                emitByte(static_cast<unsigned char>(v));
            break;
        }
        case '\\':
        case '{':
        case '}': emitChar(static_cast<char16_t>(c)); break;
        case '~': emitChar(u'\u00A0'); break;
        case '_': emitChar(u'\u2011'); break;
        case '*': state_.starred = true; break;
        case '\r':
        case '\n': paragraphEnd(); break;
        default: break; // \- optional hyphen, \| \: and the rest show nothing
        }
    }

    int tableLevel() const { return state_.inTable ? std::clamp(state_.tableLevel, 1, kMaxTableDepth) : 0; }

    Flow &flow() { return flows_[static_cast<size_t>(state_.flow)]; }

    void paragraphEnd()
    {
        if (state_.dest != Dest::Body || state_.fmt.hidden)
            return;
        labelParagraph();
        if (tableLevel() == 0 && !flow().open.empty()) {
            // the table ends here; its row definition is not the next one's
            cellEdges_.clear();
            edgesLevel_ = 0;
        }
        flow().endParagraph(tableLevel(), state_.para, runFor(state_.fmt));
    }

    void openFlow(FlowKind kind)
    {
        if (flows_.size() >= static_cast<std::size_t>(limits_.maxFlows)) {
            state_.dest = Dest::Skip; // footnotes within footnotes beyond reason
            return;
        }
        Flow f;
        f.kind = kind;
        flows_.push_back(std::move(f));
        state_.flow = static_cast<int>(flows_.size()) - 1;
        state_.ownsFlow = true;
        state_.dest = Dest::Body;
        state_.inTable = false;
        state_.tableLevel = 1;
    }

    void endFlow()
    {
        if (flow().paraHasText)
            labelParagraph(); // a note's or a box's last paragraph, not ended
        Flow f = std::move(flows_.back());
        flows_.pop_back();
        std::vector<RtfBlock> blocks = f.finish(state_.para, runFor(state_.fmt));
        if (f.kind == FlowKind::Footnote) {
            if (doc_.footnotes.size() < static_cast<std::size_t>(limits_.maxFootnotes))
                doc_.footnotes.push_back(std::move(blocks));
            return;
        }
        // a text box's paragraphs stand in place of the box
        const State &outer = stack_.back();
        Flow &into = flows_[static_cast<size_t>(outer.flow)];
        if (blocks.empty())
            return;
        const int level = outer.inTable ? std::clamp(outer.tableLevel, 1, kMaxTableDepth) : 0;
        if (into.paraHasText)
            into.endParagraph(level, outer.para, runFor(outer.fmt));
        into.setDepth(level);
        for (RtfBlock &b : blocks)
            into.container().push_back(std::move(b));
    }

    // A control word with its number (0 when it has none).
    struct Word {
        Kw kind;
        int value; // the keyword's own value
        bool hasParam;
        int n;
        bool on() const { return !hasParam || n != 0; }
    };

    void onWord(const Keyword &k, QByteArrayView name, bool hasParam, int n)
    {
        if (k.kind == Kw::Binary) {
            skipBinary(n);
            return;
        }
        if (state_.dest == Dest::Skip)
            return;
        if (state_.dest == Dest::Picture) {
            // the picture's own destinations (\picprop, \blipuid) are not its data
            if (k.kind == Kw::Skip)
                state_.dest = Dest::Skip;
            else
                pictureWord(name, n);
            return;
        }
        if (openTable(k.kind))
            return;
        const Word w{k.kind, k.value, hasParam, n};
        if (state_.dest == Dest::FontTable) {
            fontEntryWord(w);
            return;
        }
        if (state_.dest == Dest::ColourTable) {
            colourEntryWord(w);
            return;
        }
        if (listWord(w) || destinationWord(w) || characterWord(w) || paragraphWord(w) || tableWord(w) || breakWord(w))
            return;
        // every other word is a property this reader does not show
        if (skipChars_ > 0)
            --skipChars_;
    }

    // \bin: n raw bytes follow
    void skipBinary(int n)
    {
        const qsizetype len = std::clamp<qsizetype>(n, 0, in_.size() - pos_);
        if (state_.dest == Dest::Picture)
            picture_.data.append(in_.sliced(pos_, len).data(), len);
        pos_ += len;
    }

    // The font and colour tables and the destinations skipped whole.
    bool openTable(Kw kind)
    {
        switch (kind) {
        case Kw::FontTable:
            state_.dest = Dest::FontTable;
            pendingFont_ = Font{};
            ++tablesVersion_;
            return true;
        case Kw::ColourTable:
            state_.dest = Dest::ColourTable;
            colours_.clear();
            colour_ = Colour{};
            ++tablesVersion_;
            return true;
        case Kw::Skip: state_.dest = Dest::Skip; return true;
        default: return false;
        }
    }

    void fontEntryWord(const Word &w)
    {
        switch (w.kind) {
        case Kw::Font:
            endFontEntry();
            pendingFont_ = Font{};
            pendingId_ = w.n;
            break;
        case Kw::Charset:
            pendingFont_.codePage = charsetCodePage(w.n);
            if (w.n == 2 && pendingFont_.kind == FontKind::Text)
                pendingFont_.codePage = -1; // symbol: bytes are the font's own
            break;
        case Kw::FontCodePage:
            if (w.n > 0 && w.n < kCodePageBound)
                pendingFont_.codePage = w.n;
            break;
        case Kw::Family: pendingFont_.styleHint = w.value; break;
        case Kw::Unicode: emitUnicode(w.n); break;
        default: break;
        }
    }

    void colourEntryWord(const Word &w)
    {
        if (w.kind == Kw::Red || w.kind == Kw::Green || w.kind == Kw::Blue) {
            colour_.rgb[w.value] = std::clamp(w.n, 0, 255);
            colour_.set = true;
        }
    }

    // Destinations read in part, and the document's own properties.
    bool destinationWord(const Word &w)
    {
        switch (w.kind) {
        case Kw::Picture:
            state_.dest = Dest::Picture;
            picture_ = RtfPicture{};
            pictureSize_ = PictureSize{};
            nibble_ = -1;
            return true;
        case Kw::HiddenDest: state_.dest = Dest::Hidden; return true;
        case Kw::Label: state_.dest = Dest::Label; return true;
        case Kw::ShapeName:
            state_.dest = Dest::ShapeName;
            shapeName_.clear();
            return true;
        case Kw::ShapeValue:
            // a floating picture is its shape's picture property; the other
            // properties' values are not text
            if (shapeName_ == QLatin1String("pib")) {
                state_.dest = Dest::Hidden;
                state_.shapePicture = true;
            } else {
                state_.dest = Dest::Skip;
            }
            return true;
        case Kw::TextBox: openFlow(FlowKind::TextBox); return true;
        case Kw::Result: state_.dest = Dest::Body; return true;
        case Kw::Footnote:
            ++footnotes_;
            openFlow(FlowKind::Footnote);
            return true;
        case Kw::FootnoteMark: footnoteMark(); return true;
        case Kw::CodePage:
            if (w.n > 0 && w.n < kCodePageBound)
                docCodePage_ = w.n;
            return true;
        case Kw::DefaultFont:
            defaultFont_ = w.n;
            state_.fmt.font = w.n;
            return true;
        case Kw::UnicodeSkip: state_.uc = std::clamp(w.n, 0, 16); return true;
        case Kw::Unicode: emitUnicode(w.n); return true;
        default: return false;
        }
    }

    // A footnote's number, superscript: the next note's in the body, its own in the note.
    void footnoteMark()
    {
        const bool inNote = flow().kind == FlowKind::Footnote;
        const QString mark = QString::number(inNote ? footnotes_ : footnotes_ + 1);
        const bool super = state_.fmt.superscript;
        state_.fmt.superscript = true;
        for (const QChar ch : mark)
            put(ch.unicode());
        state_.fmt.superscript = super;
    }

    bool characterWord(const Word &w)
    {
        Format &f = state_.fmt;
        switch (w.kind) {
        case Kw::Plain:
            f = Format{};
            f.font = defaultFont_;
            f.size = 12;
            return true;
        case Kw::Bold: f.bold = w.on(); return true;
        case Kw::Italic: f.italic = w.on(); return true;
        case Kw::Underline: f.underline = w.on(); return true;
        case Kw::NoUnderline: f.underline = false; return true;
        case Kw::Strike: f.strike = w.on(); return true;
        case Kw::Super:
            f.superscript = w.on();
            f.subscript = false;
            return true;
        case Kw::Sub:
            f.subscript = w.on();
            f.superscript = false;
            return true;
        case Kw::NoSuperSub: f.superscript = f.subscript = false; return true;
        case Kw::Highlight: f.highlight = std::max(0, w.n); return true;
        case Kw::HiddenText: f.hidden = w.on(); return true;
        case Kw::FontSize:
            if (w.hasParam && w.n > 0)
                f.size = std::clamp(w.n, 2, 3276) / 2.0;
            return true;
        case Kw::Font:
            if (w.hasParam)
                f.font = w.n;
            return true;
        case Kw::Colour: f.colour = std::max(0, w.n); return true;
        default: return false;
        }
    }

    bool paragraphWord(const Word &w)
    {
        RtfParagraphFormat &p = state_.para;
        switch (w.kind) {
        case Kw::ParagraphDefaults:
            p = RtfParagraphFormat{};
            state_.inTable = false;
            state_.tableLevel = 1;
            state_.ls = 0;
            state_.ilvl = 0;
            state_.pn = -1;
            return true;
        case Kw::ListNumber: state_.ls = w.n; return true;
        case Kw::ListLevelNumber: state_.ilvl = std::clamp(w.n, 0, kListLevels - 1); return true;
        case Kw::Align: p.align = static_cast<RtfParagraphFormat::Align>(w.value); return true;
        case Kw::LeftIndent: p.leftIndent = twips(w.n); return true;
        case Kw::RightIndent: p.rightIndent = twips(w.n); return true;
        case Kw::FirstIndent: p.firstIndent = twips(w.n); return true;
        case Kw::SpaceBefore: p.spaceBefore = std::max(0.0, twips(w.n)); return true;
        case Kw::SpaceAfter: p.spaceAfter = std::max(0.0, twips(w.n)); return true;
        case Kw::LineSpacing: p.lineSpacing = std::clamp(w.n, -31680, 31680); return true;
        case Kw::LineMultiple: p.lineMultiple = w.on(); return true;
        case Kw::TabStop:
            if (p.tabs.size() < static_cast<std::size_t>(limits_.maxTabStops))
                p.tabs.push_back(twips(w.n));
            return true;
        case Kw::InTable: state_.inTable = w.on(); return true;
        case Kw::TableLevel:
            state_.tableLevel = std::max(0, w.n);
            state_.inTable = w.n > 0;
            return true;
        default: return false;
        }
    }

    bool breakWord(const Word &w)
    {
        switch (w.kind) {
        case Kw::Par: paragraphEnd(); return true;
        case Kw::Cell: cellEnd(1); return true;
        case Kw::NestCell: cellEnd(std::max(2, tableLevel())); return true;
        case Kw::Row: rowEnd(1, true); return true;
        case Kw::NestRow:
            rowEnd(std::max(2, std::min(tableLevel(), static_cast<int>(flow().open.size()))), true);
            return true;
        case Kw::Char: emitChar(static_cast<char16_t>(w.value)); return true;
        default: return false;
        }
    }

    static double twips(int n) { return std::clamp(n, -316800, 316800) / 20.0; }

    // A cell's end, hidden or not (a cell's mark always ends it). In a
    // table whose writer leaves out \row, a row holds the cells its
    // definition gives edges for: a cell past them begins the next row.
    void cellEnd(int level)
    {
        if (state_.dest != Dest::Body)
            return;
        Flow &f = flow();
        if (edgesLevel_ == level && !cellEdges_.empty() && static_cast<int>(f.open.size()) == level
            && !f.open.back().rowMarks && f.open.back().row.size() >= cellEdges_.size()) {
            f.noteWidths(level, rowWidths());
            f.endRow(level);
        }
        labelParagraph();
        f.endCell(level, state_.para, runFor(state_.fmt));
    }

    // A row's end: \row or \nestrow (marked), or a \trowd after its cells.
    void rowEnd(int level, bool marked)
    {
        if (state_.dest != Dest::Body)
            return;
        Flow &f = flow();
        if (f.paraHasText) {
            labelParagraph();
            f.endCell(level, state_.para, runFor(state_.fmt)); // text after the last cell end
        }
        if (marked && level >= 1 && static_cast<int>(f.open.size()) >= level)
            f.open[static_cast<size_t>(level - 1)].rowMarks = true;
        f.noteWidths(level, rowWidths());
        f.endRow(level);
    }

    // The row's cell widths from its \cellx right edges.
    std::vector<double> rowWidths() const
    {
        std::vector<double> widths;
        double left = rowLeft_;
        for (double edge : cellEdges_) {
            widths.push_back(std::max(0.0, edge - left));
            left = std::max(left, edge);
        }
        return widths;
    }

    // Row definitions: a \trowd after cells whose row was never ended
    // starts a row of its own (writers that leave out \row, or write the
    // row's definition again before it).
    bool tableWord(const Word &w)
    {
        switch (w.kind) {
        case Kw::RowDefaults: {
            const int level = std::max(1, tableLevel());
            Flow &f = flow();
            if (state_.dest == Dest::Body && static_cast<int>(f.open.size()) >= level
                && !f.open[static_cast<size_t>(level - 1)].row.empty())
                rowEnd(level, false); // text after the row's last cell end goes into a cell of its own
            cellEdges_.clear();
            rowLeft_ = 0;
            edgesLevel_ = level;
            return true;
        }
        case Kw::CellEdge:
            if (cellEdges_.size() < 256)
                cellEdges_.push_back(twips(w.n));
            return true;
        case Kw::RowLeft: rowLeft_ = twips(w.n); return true;
        default: return false;
        }
    }

    // The list table, the list override table and old-style numbering.
    bool listWord(const Word &w)
    {
        if (w.kind == Kw::Lists) {
            state_.dest = Dest::Lists;
            return true;
        }
        if (w.kind == Kw::Pn) {
            state_.dest = Dest::Pn;
            pendingPn_ = ParagraphNumbering{};
            return true;
        }
        if (state_.dest == Dest::Pn)
            return numberingWord(w);
        if (state_.dest != Dest::Lists)
            return false;
        switch (w.kind) {
        case Kw::List:
            pendingList_ = ListDefinition{};
            pendingListId_.reset();
            listLevel_ = -1;
            listGroupDepth_ = stack_.size();
            inOverride_ = false;
            return true;
        case Kw::ListOverride:
            inOverride_ = true;
            overrideList_.reset();
            overrideNumber_.reset();
            pendingOverride_ = ListOverride{};
            overrideLevel_ = -1;
            return true;
        default: return inOverride_ ? overrideWord(w) : listDefinitionWord(w);
        }
    }

    bool listDefinitionWord(const Word &w)
    {
        ListLevel *level = listLevel_ >= 0 && listLevel_ < kListLevels
                               ? &pendingList_.levels[static_cast<size_t>(listLevel_)]
                               : nullptr;
        switch (w.kind) {
        case Kw::ListLevel:
            if (listLevel_ < kListLevels)
                ++listLevel_;
            return true;
        case Kw::LevelFormat:
            if (level)
                level->format = w.n;
            return true;
        case Kw::LevelStart:
            if (level)
                level->start = std::clamp(w.n, 0, kMaxNumber);
            return true;
        case Kw::LevelText:
            if (level)
                level->text.clear();
            state_.dest = level ? Dest::LevelText : Dest::Skip;
            return true;
        case Kw::ListId: pendingListId_ = w.n; return true;
        default: return false;
        }
    }

    bool overrideWord(const Word &w)
    {
        switch (w.kind) {
        case Kw::OverrideLevel:
            if (overrideLevel_ < kListLevels)
                ++overrideLevel_;
            return true;
        case Kw::LevelStart:
            if (overrideLevel_ >= 0 && overrideLevel_ < kListLevels)
                pendingOverride_.starts[static_cast<size_t>(overrideLevel_)] = std::clamp(w.n, 0, kMaxNumber);
            return true;
        case Kw::ListId:
            pendingOverride_.list = w.n;
            overrideList_ = w.n;
            endOverride();
            return true;
        case Kw::ListNumber:
            overrideNumber_ = w.n;
            endOverride();
            return true;
        case Kw::LevelText: state_.dest = Dest::Skip; return true;
        default: return false;
        }
    }

    bool numberingWord(const Word &w)
    {
        switch (w.kind) {
        case Kw::PnLevel: pendingPn_.level = w.value <= 0 ? w.value : std::clamp(w.n, 1, kListLevels); return true;
        case Kw::PnFormat: pendingPn_.format = w.value; return true;
        case Kw::PnStart: pendingPn_.start = std::clamp(w.n, 0, kMaxNumber); return true;
        case Kw::PnText:
            state_.dest = Dest::PnText;
            pnTextAfter_ = w.value != 0;
            (pnTextAfter_ ? pendingPn_.after : pendingPn_.before).clear();
            return true;
        default: return false;
        }
    }

    // The paragraph's numbering is the one just read. Writers repeat it for
    // every paragraph: a repeat is kept once, and past the limit the last
    // one kept gives way.
    void endNumbering()
    {
        const bool same = !numberings_.empty() && numberings_.back().continues(pendingPn_)
                          && numberings_.back().start == pendingPn_.start;
        if (!same) {
            if (numberings_.size() < static_cast<std::size_t>(limits_.maxTableEntries))
                numberings_.push_back(pendingPn_);
            else
                numberings_.back() = pendingPn_;
        }
        state_.pn = static_cast<int>(numberings_.size()) - 1;
    }

    void endListDefinition()
    {
        if (pendingListId_ && lists_.size() < limits_.maxTableEntries)
            lists_.insert(*pendingListId_, pendingList_);
        listGroupDepth_ = 0;
        listLevel_ = -1;
        pendingListId_.reset();
    }

    void endOverride()
    {
        if (!inOverride_ || !overrideList_ || !overrideNumber_)
            return;
        if (overrides_.size() < limits_.maxTableEntries)
            overrides_.insert(*overrideNumber_, pendingOverride_);
        overrideList_.reset();
        overrideNumber_.reset();
    }

    // The label of the next item of a list from the list table, or none
    // when the paragraph's list is not there.
    std::optional<QString> listItemLabel(int ls, int ilvl, bool &bullet)
    {
        const auto list = overrides_.constFind(ls);
        if (list == overrides_.constEnd())
            return std::nullopt;
        const auto def = lists_.constFind(list->list);
        if (def == lists_.constEnd())
            return std::nullopt;
        if (!listCounters_.contains(ls) && listCounters_.size() >= limits_.maxTableEntries)
            return std::nullopt;
        ListCounters &counters = listCounters_[ls];
        const ListLevel &level = def->levels[static_cast<size_t>(ilvl)];
        auto start = [&](size_t at) { return list->starts[at].value_or(def->levels[at].start); };
        bullet = level.format == kBullet;
        if (!bullet) {
            int &n = counters.value[static_cast<size_t>(ilvl)];
            n = counters.counted[static_cast<size_t>(ilvl)] ? std::min(n + 1, kMaxNumber) : start(size_t(ilvl));
            counters.counted[static_cast<size_t>(ilvl)] = true;
        }
        for (int deeper = ilvl + 1; deeper < kListLevels; ++deeper)
            counters.counted[static_cast<size_t>(deeper)] = false;
        if (bullet)
            return QStringLiteral("\u2022");
        // the level's text: its length, then characters and level numbers
        QString label;
        const QString &text = level.text;
        const qsizetype length = text.isEmpty() ? 0 : std::min<qsizetype>(text.front().unicode(), text.size() - 1);
        for (qsizetype i = 1; i <= length; ++i) {
            const char16_t c = text[i].unicode();
            if (c >= kListLevels) {
                if (c >= 0x20 || c == u'\t')
                    label += QChar(c); // other control characters carry nothing visible
                continue;
            }
            const ListLevel &of = def->levels[c];
            const int n = counters.counted[c] ? counters.value[c] : start(c);
            label += formatNumber(n, of.format);
        }
        return label;
    }

    // The label of the next paragraph numbered the old way.
    QString numberingLabel(Flow &f, const ParagraphNumbering &pn)
    {
        // a run of numbered paragraphs counts on while their numbering is alike
        if (!f.pnActive || (pn.level >= 0 && pn.level == f.lastPn.level && !pn.continues(f.lastPn)))
            f.pnCounted.fill(false);
        f.pnActive = true;
        if (pn.level == -2)
            return {}; // the item goes on: no label, the count runs on
        f.lastPn = pn;
        if (pn.level < 0)
            return QStringLiteral("\u2022");
        const size_t slot = static_cast<size_t>(pn.level);
        int &n = f.pnCounters[slot];
        n = f.pnCounted[slot] ? std::min(n + 1, kMaxNumber) : pn.start;
        f.pnCounted[slot] = true;
        for (size_t deeper = slot + 1; deeper < f.pnCounted.size(); ++deeper)
            f.pnCounted[deeper] = false;
        return pn.before + formatNumber(n, pn.format) + pn.after;
    }

    // Puts the paragraph's list label before its text: the writer's own
    // when it gave one, otherwise the one its list or numbering makes.
    void labelParagraph()
    {
        Flow &f = flow();
        const bool numbered = state_.pn >= 0 && state_.pn < static_cast<int>(numberings_.size());
        if (!f.hasLabel && state_.ls <= 0 && !numbered) {
            f.pnActive = false; // most paragraphs: not in a list
            return;
        }
        std::optional<QString> made;
        bool bullet = false;
        int level = 0;
        if (state_.ls > 0)
            made = listItemLabel(state_.ls, state_.ilvl, bullet);
        if (made) {
            level = state_.ilvl;
            f.pnActive = false;
        } else if (numbered) {
            const ParagraphNumbering &pn = numberings_[static_cast<size_t>(state_.pn)];
            made = numberingLabel(f, pn);
            bullet = pn.level == -1;
            level = std::max(0, pn.level - 1);
        } else {
            f.pnActive = false;
        }
        QString label = made.value_or(QString());
        RtfRun run = runFor(state_.fmt);
        const QString given = f.label.trimmed();
        if (f.hasLabel && !given.isEmpty()) {
            const bool symbol = given.size() == 1 && !given.front().isLetterOrNumber();
            label = bullet || (!made && symbol) ? QStringLiteral("\u2022") : given;
            run = f.labelRun;
        }
        f.label.clear();
        f.hasLabel = false;
        if (label.isEmpty())
            return;
        run.text = labelText(label.left(kMaxLabel), level);
        run.listLabel = true;
        run.hidden = false;
        run.picture = -1;
        f.para.runs.insert(f.para.runs.begin(), std::move(run));
        lastVersion_ = ~0u;
    }

    struct PictureSize {
        int w = 0, h = 0, wGoal = 0, hGoal = 0, scaleX = 100, scaleY = 100;
    };

    void pictureWord(QByteArrayView w, int n)
    {
        if (w == "pngblip")
            picture_.kind = RtfPicture::Kind::Png;
        else if (w == "jpegblip")
            picture_.kind = RtfPicture::Kind::Jpeg;
        else if (w == "dibitmap")
            picture_.kind = RtfPicture::Kind::Dib;
        else if (w == "wmetafile" || w == "emfblip" || w == "macpict" || w == "pmmetafile")
            picture_.kind = RtfPicture::Kind::Metafile;
        else if (w == "picw")
            pictureSize_.w = std::clamp(n, 0, limits_.maxPictureSize);
        else if (w == "pich")
            pictureSize_.h = std::clamp(n, 0, limits_.maxPictureSize);
        else if (w == "picwgoal")
            pictureSize_.wGoal = std::clamp(n, 0, limits_.maxPictureSize);
        else if (w == "pichgoal")
            pictureSize_.hGoal = std::clamp(n, 0, limits_.maxPictureSize);
        else if (w == "picscalex")
            pictureSize_.scaleX = std::clamp(n, 1, limits_.maxPictureScale);
        else if (w == "picscaley")
            pictureSize_.scaleY = std::clamp(n, 1, limits_.maxPictureScale);
    }

    void endPicture()
    {
        // only the picture's own group ends it; its inner groups read on
        if (!stack_.empty() && stack_.back().dest == Dest::Picture)
            return;
        const PictureSize &s = pictureSize_;
        double w = s.wGoal > 0 ? s.wGoal / 20.0 : 0, h = s.hGoal > 0 ? s.hGoal / 20.0 : 0;
        if (w <= 0 || h <= 0) {
            if (picture_.kind == RtfPicture::Kind::Metafile) {
                // metafile extents are in hundredths of a millimetre
                w = s.w * 72.0 / 2540.0;
                h = s.h * 72.0 / 2540.0;
            } else {
                // a bitmap's pixels at 96 per inch
                w = s.w * 0.75;
                h = s.h * 0.75;
            }
        }
        picture_.width = w * s.scaleX / 100.0;
        picture_.height = h * s.scaleY / 100.0;
        if (picture_.data.isEmpty() || state_.fmt.hidden
            || doc_.pictures.size() >= static_cast<std::size_t>(limits_.maxPictures))
            return;
        // the picture shows where its group was, in the flow around it
        const State &outer = stack_.back();
        if (outer.dest != Dest::Body && !outer.shapePicture)
            return;
        doc_.pictures.push_back(std::move(picture_));
        picture_ = RtfPicture{};
        Flow &f = flows_[static_cast<size_t>(outer.flow)];
        RtfRun r = runFor(outer.fmt);
        r.picture = static_cast<int>(doc_.pictures.size()) - 1;
        r.text = QString(QChar(0xFFFC));
        f.para.runs.push_back(std::move(r));
        f.paraHasText = true;
        lastVersion_ = ~0u; // the next text starts a run of its own
    }

    void emitUnicode(int n)
    {
        if (skipChars_ > 0) {
            // a \u inside another's fallback is part of that fallback
            --skipChars_;
            return;
        }
        const int v = n < -32768 ? -1 : n < 0 ? n + 65536 : n;
        skipChars_ = state_.uc;
        if (v < 0 || v > 0xFFFF) {
            put(0xFFFD); // \u is a 16-bit number
            return;
        }
        const Font *f = currentFont();
        if (f && f->kind != FontKind::Text && ((v >= 0xF020 && v <= 0xF0FF) || (v >= 0x20 && v <= 0xFF))) {
            putSymbol(*f, static_cast<unsigned char>(v & 0xFF));
            return;
        }
        put(static_cast<char16_t>(v));
    }

    void putSymbol(const Font &f, unsigned char b)
    {
        const char32_t u = f.kind == FontKind::Symbol ? symbolChar(b) : wingdingsChar(b);
        if (u > 0xFFFF) {
            put(QChar::highSurrogate(u));
            put(QChar::lowSurrogate(u));
        } else {
            put(static_cast<char16_t>(u));
        }
    }

    void emitByte(unsigned char b)
    {
        if (skipChars_ > 0) {
            --skipChars_;
            return;
        }
        if (state_.dest == Dest::Skip)
            return;
        const Font *f = currentFont();
        if (f && f->kind != FontKind::Text && state_.dest != Dest::FontTable) {
            putSymbol(*f, b);
            return;
        }
        int number = f && f->codePage != 0 ? f->codePage : docCodePage_;
        if (number < 0) {
            put(static_cast<char16_t>(b)); // a symbol font's own byte
            return;
        }
        CodePage &cp = codePage(number);
        if (!cp.multiByte) {
            put(cp.table[b]);
            return;
        }
        const char byte = static_cast<char>(b);
        const char *src = &byte;
        UChar out[8];
        UChar *dst = out;
        UErrorCode e = U_ZERO_ERROR;
        ucnv_toUnicode(cp.conv, &dst, out + 8, &src, &byte + 1, nullptr, false, &e);
        if (U_FAILURE(e)) {
            ucnv_reset(cp.conv);
            return;
        }
        leadBytePending_ = dst == out;
        for (UChar *p = out; p < dst; ++p)
            put(*p);
    }

    void emitChar(char16_t ch)
    {
        if (skipChars_ > 0) {
            --skipChars_;
            return;
        }
        put(ch);
    }

    RtfRun runFor(const Format &f) const
    {
        RtfRun r;
        auto font = fonts_.constFind(f.font);
        const bool text = font != fonts_.constEnd() && font->kind == FontKind::Text;
        r.font = text && !font->name.isEmpty() ? font->name : base_.font;
        r.styleHint = text ? font->styleHint : base_.styleHint;
        r.pointSize = f.size > 0 ? f.size : base_.pointSize;
        r.colour = base_.colour;
        if (f.colour > 0 && f.colour < static_cast<int>(colours_.size()) && colours_[static_cast<size_t>(f.colour)])
            r.colour = *colours_[static_cast<size_t>(f.colour)];
        if (f.highlight > 0 && f.highlight < static_cast<int>(colours_.size())
            && colours_[static_cast<size_t>(f.highlight)])
            r.highlight = *colours_[static_cast<size_t>(f.highlight)];
        r.bold = f.bold;
        r.italic = f.italic;
        r.underline = f.underline;
        r.hidden = f.hidden;
        r.superscript = f.superscript;
        r.subscript = f.subscript;
        r.strike = f.strike;
        return r;
    }

    // A character of a destination that is not text of the document.
    void putAside(char16_t ch)
    {
        if (state_.dest == Dest::LevelText) {
            // bytes below 9 stand for the levels' numbers here
            if (listLevel_ >= 0 && listLevel_ < kListLevels)
                append(pendingList_.levels[static_cast<size_t>(listLevel_)].text, ch, kMaxLabel);
            return;
        }
        if (ch < 0x20 && ch != u'\t')
            return; // other control characters carry nothing visible
        switch (state_.dest) {
        case Dest::PnText: append(pnTextAfter_ ? pendingPn_.after : pendingPn_.before, ch, kMaxPnText); return;
        case Dest::ShapeName: append(shapeName_, ch, kMaxShapeName); return;
        case Dest::Label: putLabel(ch); return;
        case Dest::FontTable:
            if (ch == u';')
                endFontEntry();
            else if (ch != u'\t')
                append(pendingName_, ch, 256); // a font's name has no tabs
            return;
        case Dest::ColourTable:
            if (ch == u';')
                endColourEntry();
            return;
        default: return;
        }
    }

    static void append(QString &text, char16_t ch, qsizetype limit)
    {
        if (text.size() < limit)
            text += QChar(ch);
    }

    void putLabel(char16_t ch)
    {
        Flow &fl = flow();
        if (!fl.hasLabel)
            fl.labelRun = runFor(state_.fmt);
        fl.hasLabel = true;
        append(fl.label, ch, kMaxLabel);
    }

    void endColourEntry()
    {
        ++tablesVersion_;
        if (colours_.size() < static_cast<std::size_t>(limits_.maxTableEntries))
            colours_.push_back(colour_.set ? std::optional<QColor>(rgb(colour_.rgb)) : std::nullopt);
        colour_ = Colour{};
    }

    void put(char16_t ch)
    {
        if (state_.dest != Dest::Body) {
            putAside(ch);
            return;
        }
        if (ch < 0x20 && ch != u'\t')
            return; // other control characters carry nothing visible
        Flow &fl = flow();
        fl.paraHasText = true;
        std::vector<RtfRun> &runs = fl.para.runs;
        if (QChar::isLowSurrogate(ch) && !runs.empty() && runs.back().picture < 0 && !runs.back().text.isEmpty()
            && runs.back().text.back().isHighSurrogate()) {
            runs.back().text += QChar(ch); // the pair stays whole across a change of format
            return;
        }
        const Format &f = state_.fmt;
        if (!runs.empty() && lastFmt_ == f && lastVersion_ == tablesVersion_ && lastFlow_ == state_.flow
            && runs.back().picture < 0) {
            runs.back().text += QChar(ch);
            return;
        }
        lastFmt_ = f;
        lastVersion_ = tablesVersion_;
        lastFlow_ = state_.flow;
        RtfRun r = runFor(f);
        if (!runs.empty()) {
            RtfRun &last = runs.back();
            if (last.picture < 0 && last.format() == r.format()) {
                last.text += QChar(ch);
                return;
            }
        }
        r.text = QString(QChar(ch));
        runs.push_back(std::move(r));
    }

    void endFontEntry()
    {
        if (pendingId_ >= 0 && fonts_.size() < limits_.maxTableEntries) {
            Font f = pendingFont_;
            f.name = pendingName_.trimmed();
            if (f.name.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0)
                f.kind = FontKind::Symbol;
            else if (f.name.compare(QLatin1String("Wingdings"), Qt::CaseInsensitive) == 0)
                f.kind = FontKind::Wingdings;
            fonts_.insert(pendingId_, f);
            ++tablesVersion_;
        }
        pendingId_ = -1;
        pendingName_.clear();
    }

    struct Colour {
        int rgb[3] = {0, 0, 0};
        bool set = false;
    };

    QByteArrayView in_;
    RtfRun base_;
    RtfReadLimits limits_;
    qsizetype pos_ = 0;
    State state_;
    std::vector<State> stack_;
    std::vector<Flow> flows_;
    RtfDocument doc_;
    int footnotes_ = 0;
    int skipChars_ = 0;
    std::vector<CodePage> codePages_;
    QHash<int, int> codePageIndex_;
    int docCodePage_ = 1252;
    bool leadBytePending_ = false; // a multi-byte converter holds a lead byte
    QHash<int, Font> fonts_;
    Font pendingFont_;
    QString pendingName_;
    int pendingId_ = -1;
    int defaultFont_ = -1;
    std::vector<std::optional<QColor>> colours_;
    Colour colour_;
    RtfPicture picture_;
    PictureSize pictureSize_;
    int nibble_ = -1;
    QHash<int, ListDefinition> lists_;   // by \listid
    QHash<int, ListOverride> overrides_; // by \ls
    struct ListCounters {
        std::array<int, kListLevels> value{};
        std::array<bool, kListLevels> counted{};
    };
    QHash<int, ListCounters> listCounters_; // by \ls
    ListDefinition pendingList_;
    std::optional<int> pendingListId_;
    int listLevel_ = -1;
    size_t listGroupDepth_ = 0; // the depth of the \list group being read, 0 none
    bool inOverride_ = false;
    std::optional<int> overrideList_, overrideNumber_;
    ListOverride pendingOverride_;
    int overrideLevel_ = -1;
    std::vector<ParagraphNumbering> numberings_;
    ParagraphNumbering pendingPn_;
    bool pnTextAfter_ = false;
    QString shapeName_;
    std::vector<double> cellEdges_;
    double rowLeft_ = 0;
    int edgesLevel_ = 0;       // the table level the row definition is for
    Format lastFmt_;           // the format of the last run
    unsigned lastVersion_ = 0; // and the tables it was resolved against
    int lastFlow_ = 0;
    unsigned tablesVersion_ = 0;
};

void replaceLoneSurrogates(QString &s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            s[i] = QChar(0xFFFD);
    }
}

void cleanBlocks(std::vector<RtfBlock> &blocks)
{
    for (RtfBlock &b : blocks) {
        for (RtfRun &r : b.runs)
            replaceLoneSurrogates(r.text);
        if (b.table)
            for (auto &row : b.table->rows)
                for (auto &cell : row)
                    cleanBlocks(cell);
    }
}

void appendRun(std::vector<RtfRun> &out, const RtfRun &r)
{
    if (r.picture >= 0)
        return;
    QString text = r.text;
    text.replace(QChar(0x2028), QLatin1Char('\n'));
    if (!out.empty() && out.back().format() == r.format()) {
        out.back().text += text;
        return;
    }
    RtfRun copy = r;
    copy.text = std::move(text);
    out.push_back(std::move(copy));
}

// A paragraph's end, in the formatting of its mark.
void appendBreak(std::vector<RtfRun> &out, const RtfRun &mark)
{
    if (!out.empty() && out.back().format() == mark.format()) {
        out.back().text += QLatin1Char('\n');
        return;
    }
    RtfRun r = mark;
    r.hidden = false; // a hidden mark still ends its paragraph
    r.text = QStringLiteral("\n");
    if (!out.empty() && out.back().format() == r.format()) {
        out.back().text += QLatin1Char('\n');
        return;
    }
    out.push_back(std::move(r));
}

// Every paragraph as its runs followed by a line end, the last one of the
// body without (as it reads when the document does not end its paragraph).
void flatten(const std::vector<RtfBlock> &blocks, std::vector<RtfRun> &out, const RtfRun *&pending)
{
    for (const RtfBlock &b : blocks) {
        if (b.table) {
            for (const auto &row : b.table->rows)
                for (const auto &cell : row)
                    flatten(cell, out, pending);
            continue;
        }
        if (pending)
            appendBreak(out, *pending);
        for (const RtfRun &r : b.runs)
            appendRun(out, r);
        pending = &b.mark;
    }
}

} // namespace

RtfReadResult ReadRtf(QByteArrayView data, const RtfRun &base, const RtfReadLimits &limits)
{
    RtfReadResult r = Reader(data, base, limits).run();
    if (!r.ok())
        return r;
    cleanBlocks(r.document.blocks);
    for (auto &note : r.document.footnotes)
        cleanBlocks(note);
    const RtfRun *pending = nullptr;
    flatten(r.document.blocks, r.runs, pending);
    for (const auto &note : r.document.footnotes)
        flatten(note, r.runs, pending);
    return r;
}

QString RtfPlainText(const std::vector<RtfRun> &runs)
{
    QString out;
    for (const RtfRun &r : runs)
        if (!r.hidden)
            out += r.text;
    return out;
}

} // namespace somnex
