#include "platform/rtf/RtfReader.h"

#include "platform/ansi/AnsiCodePage.h"
#include "platform/rtf/RtfSymbols.h"

#include <QHash>

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <optional>

namespace somnex {

namespace {

using ByteTable = std::array<char16_t, 256>;

constexpr int kMaxTableDepth = 32; // deeper \itap levels count as this one

// Whether an ICU converter reads a code page: bytes to characters by a
// table, a character from one byte or a short sequence. ICU's aliases also
// open Unicode encodings and compression schemes under "ibm-N" and "cpN"
// numbers (ibm-1215 is BOCU-1, cp1200 UTF-16, ibm-1208 UTF-8) and stateful
// ones with escape sequences; no document names those as its code page, and
// read as one they turn a run of ordinary bytes into unrelated characters.
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
    Hidden, // text dropped, words still read (shapes, objects, \upr)
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
    int flow = 0;          // index of the flow text goes to
    bool ownsFlow = false; // the group opened that flow
    bool fresh = true;     // nothing read yet in this group
    bool starred = false;  // a \* waits for its word
};

enum class FontKind { Text, Symbol, Wingdings };

struct Font {
    QString name;
    int codePage = 0;
    int styleHint = 0;
    FontKind kind = FontKind::Text;
};

bool isDestinationToSkip(QByteArrayView w)
{
    static const char *const names[] = {"stylesheet",
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
                                        "listtable",
                                        "listoverridetable",
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
                                        "sp",
                                        "sn",
                                        "sv",
                                        "objdata",
                                        "objclass",
                                        "objname",
                                        "fldtype",
                                        "formfield",
                                        "pn",
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
                                        "dptxbxtext"};
    for (const char *n : names)
        if (w == QByteArrayView(n))
            return true;
    return false;
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
    };
    FlowKind kind = FlowKind::Body;
    std::vector<RtfBlock> blocks;
    std::vector<OpenTable> open;
    RtfBlock para;
    bool paraHasText = false;

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
        doc_.blocks = flows_.front().finish(state_.para, runFor(state_.fmt));
        r.document = std::move(doc_);
        return r;
    }

private:
    // A code page by its number. One that ICU cannot read as a code page
    // (and any past the first 64 a document names) reads as Windows-1252,
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
            UConverter *conv = number > 0 && codePages_.size() < 64 ? openConverter(number) : nullptr;
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
        state_ = stack_.back();
        stack_.pop_back();
        if (inner == Dest::FontTable && state_.dest == Dest::FontTable)
            pendingFont_ = Font{};
        skipChars_ = 0;
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
            if (c == '{') {
                if (static_cast<int>(stack_.size()) >= limits_.maxDepth) {
                    error = QStringLiteral("Документ RTF вложен слишком глубоко");
                    return false;
                }
                stack_.push_back(state_);
                state_.ownsFlow = false;
                state_.fresh = true;
                state_.starred = false;
                skipChars_ = 0;
                continue;
            }
            if (c == '}') {
                if (stack_.empty())
                    return true;
                closeGroup();
                if (stack_.empty())
                    return true; // the document's group has ended
                continue;
            }
            if (c == '\\') {
                controlWord();
                continue;
            }
            if (c == '\r' || c == '\n')
                continue;
            state_.fresh = false;
            if (c == '\t') {
                emitChar(u'\t');
                continue;
            }
            if (static_cast<unsigned char>(c) < 0x20)
                continue;
            emitByte(static_cast<unsigned char>(c));
        }
        return true; // cut short: what was read stands
    }

    // The hexadecimal digits of a picture, up to the next control or group.
    void readHex()
    {
        while (pos_ < in_.size()) {
            const char h = in_[pos_];
            int d;
            if (h >= '0' && h <= '9')
                d = h - '0';
            else if (h >= 'a' && h <= 'f')
                d = h - 'a' + 10;
            else if (h >= 'A' && h <= 'F')
                d = h - 'A' + 10;
            else if (h == '\\' || h == '{' || h == '}')
                return;
            else {
                ++pos_;
                continue;
            }
            ++pos_;
            if (nibble_ < 0) {
                nibble_ = d;
            } else {
                picture_.data.append(static_cast<char>(nibble_ * 16 + d));
                nibble_ = -1;
            }
        }
    }

    void controlWord()
    {
        if (pos_ >= in_.size())
            return;
        const char c = in_[pos_];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter) {
            ++pos_;
            if (c != '*')
                state_.fresh = false;
            controlSymbol(c);
            return;
        }
        const qsizetype wordStart = pos_;
        while (pos_ < in_.size() && ((in_[pos_] >= 'a' && in_[pos_] <= 'z') || (in_[pos_] >= 'A' && in_[pos_] <= 'Z')))
            ++pos_;
        const QByteArrayView word = in_.sliced(wordStart, std::min<qsizetype>(pos_ - wordStart, 32));
        std::optional<long long> param;
        bool negative = false;
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && in_[pos_ + 1] >= '0'
            && in_[pos_ + 1] <= '9') {
            negative = true;
            ++pos_;
        }
        if (pos_ < in_.size() && in_[pos_] >= '0' && in_[pos_] <= '9') {
            long long v = 0;
            while (pos_ < in_.size() && in_[pos_] >= '0' && in_[pos_] <= '9') {
                if (v < 100000000000LL)
                    v = v * 10 + (in_[pos_] - '0');
                ++pos_;
            }
            param = negative ? -v : v;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_;
        const int n = param ? static_cast<int>(std::clamp<long long>(*param, -2147483647LL, 2147483647LL)) : 0;
        const bool starred = state_.starred;
        const bool fresh = state_.fresh;
        state_.starred = false;
        state_.fresh = false;
        if (starred && state_.dest != Dest::Skip && !isKnown(word)) {
            // an ignorable word this reader does not know: at the start of a
            // group it is a destination to skip, elsewhere a word to ignore
            if (fresh)
                state_.dest = Dest::Skip;
            if (word == "bin")
                onWord(word, param.has_value(), n);
            return;
        }
        onWord(word, param.has_value(), n);
    }

    void controlSymbol(char c)
    {
        switch (c) {
        case '\'': {
            int v = 0, digits = 0;
            while (digits < 2 && pos_ < in_.size()) {
                const char h = in_[pos_];
                int d = -1;
                if (h >= '0' && h <= '9')
                    d = h - '0';
                else if (h >= 'a' && h <= 'f')
                    d = h - 'a' + 10;
                else if (h >= 'A' && h <= 'F')
                    d = h - 'A' + 10;
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

    static bool isKnown(QByteArrayView w)
    {
        static const char *const known[] = {"fonttbl",        "colortbl", "pict",     "shppict", "shp",
                                            "shpinst",        "shptxt",   "footnote", "fldrslt", "field",
                                            "nesttableprops", "object",   "result",   "upr",     "ud",
                                            "listtext",       "pntext",   "bin",      "u",       "par"};
        for (const char *k : known)
            if (w == QByteArrayView(k))
                return true;
        return isDestinationToSkip(w);
    }

    int tableLevel() const { return state_.inTable ? std::clamp(state_.tableLevel, 1, kMaxTableDepth) : 0; }

    Flow &flow() { return flows_[static_cast<size_t>(state_.flow)]; }

    void paragraphEnd()
    {
        if (state_.dest != Dest::Body || state_.fmt.hidden)
            return;
        flow().endParagraph(tableLevel(), state_.para, runFor(state_.fmt));
    }

    void openFlow(FlowKind kind)
    {
        if (flows_.size() >= 64) {
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
        Flow f = std::move(flows_.back());
        flows_.pop_back();
        std::vector<RtfBlock> blocks = f.finish(state_.para, runFor(state_.fmt));
        if (f.kind == FlowKind::Footnote) {
            if (doc_.footnotes.size() < 100000)
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

    void onWord(QByteArrayView w, bool hasParam, int n)
    {
        const bool on = !hasParam || n != 0;
        if (w == "bin") {
            // binary data: n raw bytes follow
            const qsizetype len = std::clamp<qsizetype>(n, 0, in_.size() - pos_);
            if (state_.dest == Dest::Picture)
                picture_.data.append(in_.sliced(pos_, len).data(), len);
            pos_ += len;
            return;
        }
        if (state_.dest == Dest::Skip)
            return;
        if (state_.dest == Dest::Picture) {
            pictureWord(w, n);
            return;
        }
        if (w == "fonttbl") {
            state_.dest = Dest::FontTable;
            pendingFont_ = Font{};
            ++tablesVersion_;
            return;
        }
        if (w == "colortbl") {
            state_.dest = Dest::ColourTable;
            colours_.clear();
            colour_ = Colour{};
            ++tablesVersion_;
            return;
        }
        if (isDestinationToSkip(w)) {
            state_.dest = Dest::Skip;
            return;
        }

        if (state_.dest == Dest::FontTable) {
            if (w == "f") {
                endFontEntry();
                pendingFont_ = Font{};
                pendingId_ = n;
            } else if (w == "fcharset") {
                pendingFont_.codePage = charsetCodePage(n);
                if (n == 2 && pendingFont_.kind == FontKind::Text)
                    pendingFont_.codePage = -1; // symbol: bytes are the font's own
            } else if (w == "cpg" && n > 0 && n < 100000)
                pendingFont_.codePage = n;
            else if (w == "froman")
                pendingFont_.styleHint = 1; // QFont::Serif
            else if (w == "fswiss")
                pendingFont_.styleHint = 0;
            else if (w == "fmodern")
                pendingFont_.styleHint = 2; // QFont::TypeWriter
            else if (w == "fscript")
                pendingFont_.styleHint = 6; // QFont::Cursive
            else if (w == "fdecor")
                pendingFont_.styleHint = 3; // QFont::Decorative
            else if (w == "u")
                emitUnicode(n);
            return;
        }
        if (state_.dest == Dest::ColourTable) {
            const int v = std::clamp(n, 0, 255);
            if (w == "red") {
                colour_.rgb[0] = v;
                colour_.set = true;
            } else if (w == "green") {
                colour_.rgb[1] = v;
                colour_.set = true;
            } else if (w == "blue") {
                colour_.rgb[2] = v;
                colour_.set = true;
            }
            return;
        }
        // destinations read in part
        if (w == "pict") {
            state_.dest = Dest::Picture;
            picture_ = RtfPicture{};
            pictureSize_ = PictureSize{};
            nibble_ = -1;
            return;
        }
        if (w == "shpinst" || w == "object" || w == "upr") {
            state_.dest = Dest::Hidden;
            return;
        }
        if (w == "shptxt") {
            openFlow(FlowKind::TextBox);
            return;
        }
        if (w == "ud" || w == "result") {
            state_.dest = Dest::Body;
            return;
        }
        if (w == "footnote") {
            ++footnotes_;
            openFlow(FlowKind::Footnote);
            return;
        }
        if (w == "chftn") {
            const bool inNote = flow().kind == FlowKind::Footnote;
            const QString mark = QString::number(inNote ? footnotes_ : footnotes_ + 1);
            const bool super = state_.fmt.superscript;
            state_.fmt.superscript = true;
            for (const QChar ch : mark)
                put(ch.unicode());
            state_.fmt.superscript = super;
            return;
        }
        // document and character properties
        if (w == "ansicpg") {
            if (n > 0 && n < 100000)
                docCodePage_ = n;
            return;
        }
        if (w == "deff") {
            defaultFont_ = n;
            state_.fmt.font = n;
            return;
        }
        if (w == "uc") {
            state_.uc = std::clamp(n, 0, 16);
            return;
        }
        if (w == "u") {
            emitUnicode(n);
            return;
        }
        if (w == "plain") {
            state_.fmt = Format{};
            state_.fmt.font = defaultFont_;
            state_.fmt.size = 12;
            return;
        }
        if (w == "b") {
            state_.fmt.bold = on;
            return;
        }
        if (w == "i") {
            state_.fmt.italic = on;
            return;
        }
        if (w == "ul" || w == "uld" || w == "uldb" || w == "ulw" || w == "uldash" || w == "ulth" || w == "ulwave"
            || w == "uldashd" || w == "uldashdd" || w == "ulthd" || w == "ulhwave" || w == "ulldash" || w == "ulthdash"
            || w == "ulthldash" || w == "ululdbwave") {
            state_.fmt.underline = on;
            return;
        }
        if (w == "ulnone") {
            state_.fmt.underline = false;
            return;
        }
        if (w == "strike" || w == "striked") {
            state_.fmt.strike = on;
            return;
        }
        if (w == "super" || w == "up") {
            state_.fmt.superscript = on;
            state_.fmt.subscript = false;
            return;
        }
        if (w == "sub" || w == "dn") {
            state_.fmt.subscript = on;
            state_.fmt.superscript = false;
            return;
        }
        if (w == "nosupersub") {
            state_.fmt.superscript = state_.fmt.subscript = false;
            return;
        }
        if (w == "highlight") {
            state_.fmt.highlight = std::max(0, n);
            return;
        }
        if (w == "v") {
            state_.fmt.hidden = on;
            return;
        }
        if (w == "fs") {
            if (hasParam && n > 0)
                state_.fmt.size = std::clamp(n, 2, 3276) / 2.0;
            return;
        }
        if (w == "f") {
            if (hasParam)
                state_.fmt.font = n;
            return;
        }
        if (w == "cf") {
            state_.fmt.colour = std::max(0, n);
            return;
        }
        // paragraph properties
        if (w == "pard") {
            state_.para = RtfParagraphFormat{};
            state_.inTable = false;
            state_.tableLevel = 1;
            return;
        }
        if (w == "ql") {
            state_.para.align = RtfParagraphFormat::Align::Left;
            return;
        }
        if (w == "qc") {
            state_.para.align = RtfParagraphFormat::Align::Centre;
            return;
        }
        if (w == "qr") {
            state_.para.align = RtfParagraphFormat::Align::Right;
            return;
        }
        if (w == "qj" || w == "qd") {
            state_.para.align = RtfParagraphFormat::Align::Justify;
            return;
        }
        if (w == "li" || w == "lin") {
            state_.para.leftIndent = twips(n);
            return;
        }
        if (w == "ri" || w == "rin") {
            state_.para.rightIndent = twips(n);
            return;
        }
        if (w == "fi") {
            state_.para.firstIndent = twips(n);
            return;
        }
        if (w == "sb") {
            state_.para.spaceBefore = std::max(0.0, twips(n));
            return;
        }
        if (w == "sa") {
            state_.para.spaceAfter = std::max(0.0, twips(n));
            return;
        }
        if (w == "sl") {
            state_.para.lineSpacing = std::clamp(n, -31680, 31680);
            return;
        }
        if (w == "tx" || w == "tb") {
            if (state_.para.tabs.size() < 64)
                state_.para.tabs.push_back(twips(n));
            return;
        }
        if (w == "slmult") {
            state_.para.lineMultiple = on;
            return;
        }
        if (w == "intbl") {
            state_.inTable = on;
            return;
        }
        if (w == "itap") {
            state_.tableLevel = std::max(0, n);
            state_.inTable = n > 0;
            return;
        }
        // breaks
        if (w == "par" || w == "sect" || w == "page") {
            paragraphEnd();
            return;
        }
        if (w == "cell") {
            cellEnd(1);
            return;
        }
        if (w == "nestcell") {
            cellEnd(std::max(2, tableLevel()));
            return;
        }
        if (w == "row") {
            rowEnd(1);
            return;
        }
        if (w == "nestrow") {
            rowEnd(std::max(2, std::min(tableLevel(), static_cast<int>(flow().open.size()))));
            return;
        }
        if (w == "line") {
            emitChar(u'\u2028');
            return;
        }
        if (w == "tab") {
            emitChar(u'\t');
            return;
        }
        if (w == "emdash") {
            emitChar(u'\u2014');
            return;
        }
        if (w == "endash") {
            emitChar(u'\u2013');
            return;
        }
        if (w == "emspace" || w == "enspace" || w == "qmspace") {
            emitChar(u' ');
            return;
        }
        if (w == "bullet") {
            emitChar(u'\u2022');
            return;
        }
        if (w == "lquote") {
            emitChar(u'\u2018');
            return;
        }
        if (w == "rquote") {
            emitChar(u'\u2019');
            return;
        }
        if (w == "ldblquote") {
            emitChar(u'\u201C');
            return;
        }
        if (w == "rdblquote") {
            emitChar(u'\u201D');
            return;
        }
        // every other word is a property this reader does not show
        if (skipChars_ > 0)
            --skipChars_;
    }

    static double twips(int n) { return std::clamp(n, -316800, 316800) / 20.0; }

    void cellEnd(int level)
    {
        if (state_.dest != Dest::Body || state_.fmt.hidden)
            return;
        flow().endCell(level, state_.para, runFor(state_.fmt));
    }

    void rowEnd(int level)
    {
        if (state_.dest != Dest::Body)
            return;
        Flow &f = flow();
        if (f.paraHasText)
            f.endCell(level, state_.para, runFor(state_.fmt)); // text after the last cell end
        f.endRow(level);
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
            pictureSize_.w = std::clamp(n, 0, 1000000);
        else if (w == "pich")
            pictureSize_.h = std::clamp(n, 0, 1000000);
        else if (w == "picwgoal")
            pictureSize_.wGoal = std::clamp(n, 0, 1000000);
        else if (w == "pichgoal")
            pictureSize_.hGoal = std::clamp(n, 0, 1000000);
        else if (w == "picscalex")
            pictureSize_.scaleX = std::clamp(n, 1, 10000);
        else if (w == "picscaley")
            pictureSize_.scaleY = std::clamp(n, 1, 10000);
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
        if (picture_.data.isEmpty() || state_.fmt.hidden || doc_.pictures.size() >= 100000)
            return;
        // the picture shows where its group was, in the flow around it
        const State &outer = stack_.back();
        if (outer.dest != Dest::Body)
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
        const int v = n < 0 ? n + 65536 : n;
        skipChars_ = state_.uc;
        if (v < 0 || v > 0xFFFF)
            return;
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

    void put(char16_t ch)
    {
        if (ch < 0x20 && ch != u'\t')
            return; // other control characters carry nothing visible
        switch (state_.dest) {
        case Dest::Skip:
        case Dest::Hidden:
        case Dest::Picture: return;
        case Dest::FontTable:
            if (ch == u';')
                endFontEntry();
            else if (ch != u'\t' && pendingName_.size() < 256)
                pendingName_ += QChar(ch); // a font's name has no tabs
            return;
        case Dest::ColourTable:
            if (ch == u';') {
                ++tablesVersion_;
                if (colours_.size() < 4096)
                    colours_.push_back(colour_.set ? std::optional<QColor>(rgb(colour_.rgb)) : std::nullopt);
                colour_ = Colour{};
            }
            return;
        case Dest::Body: break;
        }
        Flow &fl = flow();
        fl.paraHasText = true;
        std::vector<RtfRun> &runs = fl.para.runs;
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
            if (last.picture < 0 && last.font == r.font && last.pointSize == r.pointSize && last.colour == r.colour
                && last.bold == r.bold && last.italic == r.italic && last.underline == r.underline
                && last.hidden == r.hidden && last.superscript == r.superscript && last.subscript == r.subscript
                && last.strike == r.strike && last.highlight == r.highlight && last.styleHint == r.styleHint) {
                last.text += QChar(ch);
                return;
            }
        }
        r.text = QString(QChar(ch));
        runs.push_back(std::move(r));
    }

    void endFontEntry()
    {
        if (pendingId_ >= 0 && fonts_.size() < 4096) {
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

bool sameFormat(const RtfRun &a, const RtfRun &b)
{
    return a.font == b.font && a.pointSize == b.pointSize && a.colour == b.colour && a.bold == b.bold
           && a.italic == b.italic && a.underline == b.underline && a.hidden == b.hidden
           && a.superscript == b.superscript && a.subscript == b.subscript && a.strike == b.strike
           && a.highlight == b.highlight && a.styleHint == b.styleHint;
}

void appendRun(std::vector<RtfRun> &out, const RtfRun &r)
{
    if (r.picture >= 0)
        return;
    QString text = r.text;
    text.replace(QChar(0x2028), QLatin1Char('\n'));
    if (!out.empty() && sameFormat(out.back(), r)) {
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
    if (!out.empty() && sameFormat(out.back(), mark)) {
        out.back().text += QLatin1Char('\n');
        return;
    }
    RtfRun r = mark;
    r.hidden = false; // a hidden mark still ends its paragraph
    r.text = QStringLiteral("\n");
    if (!out.empty() && sameFormat(out.back(), r)) {
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
