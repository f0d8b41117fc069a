#include "platform/rtf/RtfReader.h"

#include "platform/ansi/AnsiCodePage.h"

#include <QHash>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <array>
#include <optional>

namespace somnex {

namespace {

using ByteTable = std::array<char16_t, 256>;

// The characters of the 256 bytes of a single-byte code page. 1251 comes
// from our own table; others from the platform's converters, Latin-1 when
// the platform has none.
ByteTable codePageTable(int codePage)
{
    ByteTable t{};
    if (codePage == 1251) {
        for (int b = 0; b < 256; ++b)
            t[static_cast<size_t>(b)] = ansi::toChar(static_cast<unsigned char>(b));
        return t;
    }
    for (int b = 0; b < 256; ++b)
        t[static_cast<size_t>(b)] = static_cast<char16_t>(b);
    const QByteArray name = (codePage < 1250 ? "IBM" : "windows-") + QByteArray::number(codePage);
    for (int b = 0x80; b < 256; ++b) {
        QStringDecoder dec(name.constData());
        if (!dec.isValid())
            break;
        const char byte = static_cast<char>(b);
        const QString s = dec(QByteArrayView(&byte, 1));
        if (s.size() == 1 && !dec.hasError())
            t[static_cast<size_t>(b)] = s[0].unicode();
    }
    return t;
}

// The single-byte code pages read; any other reads as Latin-1.
bool knownCodePage(int codePage)
{
    return (codePage >= 1250 && codePage <= 1258) || codePage == 437 || codePage == 850 || codePage == 866;
}

// The code page of a font's \fcharset, or 0 for the document's own.
int charsetCodePage(int charset)
{
    switch (charset) {
    case 0: return 1252;
    case 161: return 1253;
    case 162: return 1254;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 238: return 1250;
    default: return 0;
    }
}

enum class Dest { Body, FontTable, ColourTable, Skip };

struct Format {
    int font = -1;
    double size = 0;  // 0: the base size
    int colour = 0;   // index into the colour table, 0 the automatic colour
    bool bold = false, italic = false, underline = false, hidden = false;
    bool operator==(const Format &) const = default;
};

struct State {
    Dest dest = Dest::Body;
    Format fmt;
    int uc = 1;
};

struct Font {
    QString name;
    int codePage = 0;
};

bool isDestinationToSkip(QByteArrayView w)
{
    static const char *const names[] = {
        "stylesheet", "info", "pict", "object", "header", "headerl", "headerr", "headerf", "footer", "footerl",
        "footerr", "footerf", "footnote", "fldinst", "xe", "tc", "bkmkstart", "bkmkend", "themedata",
        "colorschememapping", "latentstyles", "datastore", "listtable", "listoverridetable", "rsidtbl",
        "generator", "filetbl", "revtbl", "falt", "panose", "template", "annotation", "atnid", "atnauthor",
        "nonshppict", "shppict", "datafield", "userprops", "xmlnstbl", "mmathPr", "pgdsctbl", "fchars", "lchars"};
    for (const char *n : names)
        if (w == QByteArrayView(n))
            return true;
    return false;
}

class Reader {
public:
    Reader(QByteArrayView data, const RtfRun &base, const RtfReadLimits &limits)
        : in_(data), base_(base), limits_(limits)
    {
        docTable_ = table(1252);
    }

    RtfReadResult run()
    {
        RtfReadResult r;
        if (in_.size() > limits_.maxBytes) {
            r.error = QStringLiteral("Документ RTF слишком велик");
            return r;
        }
        qsizetype start = 0;
        while (start < in_.size() && (in_[start] == ' ' || in_[start] == '\r' || in_[start] == '\n' || in_[start] == '\t'))
            ++start;
        if (!in_.sliced(start).startsWith("{\\rtf")) {
            r.error = QStringLiteral("Неверный формат файла: это не документ RTF");
            return r;
        }
        pos_ = start;
        if (!parse(r.error))
            return r;
        finish();
        r.runs = std::move(runs_);
        return r;
    }

private:
    const ByteTable &table(int codePage)
    {
        if (!knownCodePage(codePage))
            codePage = 0;
        auto it = tables_.find(codePage);
        if (it == tables_.end())
            it = tables_.insert(codePage, codePageTable(codePage));
        return it.value();
    }

    const ByteTable &currentTable()
    {
        const Font *f = nullptr;
        if (state_.dest == Dest::FontTable)
            f = &pendingFont_;
        else if (auto it = fonts_.constFind(state_.fmt.font); it != fonts_.constEnd())
            f = &it.value();
        if (f && f->codePage > 0)
            return table(f->codePage);
        return docTable_;
    }

    bool parse(QString &error)
    {
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            if (c == '{') {
                if (static_cast<int>(stack_.size()) >= limits_.maxDepth) {
                    error = QStringLiteral("Документ RTF вложен слишком глубоко");
                    return false;
                }
                stack_.push_back(state_);
                skipChars_ = 0;
                continue;
            }
            if (c == '}') {
                if (state_.dest == Dest::FontTable)
                    endFontEntry();
                if (stack_.empty())
                    return true;
                const Dest inner = state_.dest;
                state_ = stack_.back();
                stack_.pop_back();
                if (inner == Dest::FontTable && state_.dest == Dest::FontTable)
                    pendingFont_ = Font{};
                skipChars_ = 0;
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

    void controlWord()
    {
        if (pos_ >= in_.size())
            return;
        const char c = in_[pos_];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter) {
            ++pos_;
            controlSymbol(c);
            return;
        }
        const qsizetype wordStart = pos_;
        while (pos_ < in_.size() && ((in_[pos_] >= 'a' && in_[pos_] <= 'z') || (in_[pos_] >= 'A' && in_[pos_] <= 'Z')))
            ++pos_;
        const QByteArrayView word = in_.sliced(wordStart, std::min<qsizetype>(pos_ - wordStart, 32));
        std::optional<long long> param;
        bool negative = false;
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && in_[pos_ + 1] >= '0' && in_[pos_ + 1] <= '9') {
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
                if (h >= '0' && h <= '9') d = h - '0';
                else if (h >= 'a' && h <= 'f') d = h - 'a' + 10;
                else if (h >= 'A' && h <= 'F') d = h - 'A' + 10;
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
        case '\\': case '{': case '}':
            emitChar(static_cast<char16_t>(c));
            break;
        case '~': emitChar(u'\u00A0'); break;
        case '_': emitChar(u'\u2011'); break;
        case '*':
            state_.dest = Dest::Skip;
            break;
        case '\r': case '\n':
            emitChar(u'\n');
            break;
        default:
            break; // \- optional hyphen, \| \: and the rest show nothing
        }
    }

    void onWord(QByteArrayView w, bool hasParam, int n)
    {
        const bool on = !hasParam || n != 0;
        if (w == "bin") {
            // binary data: n raw bytes follow
            pos_ += std::clamp<qsizetype>(n, 0, in_.size() - pos_);
            return;
        }
        if (state_.dest == Dest::Skip)
            return;
        if (w == "fonttbl") { state_.dest = Dest::FontTable; pendingFont_ = Font{}; ++tablesVersion_; return; }
        if (w == "colortbl") {
            state_.dest = Dest::ColourTable;
            colours_.clear();
            colour_ = Colour{};
            ++tablesVersion_;
            return;
        }
        if (isDestinationToSkip(w)) { state_.dest = Dest::Skip; return; }

        if (state_.dest == Dest::FontTable) {
            if (w == "f") { endFontEntry(); pendingFont_ = Font{}; pendingId_ = n; }
            else if (w == "fcharset") pendingFont_.codePage = charsetCodePage(n);
            else if (w == "cpg" && n > 0 && n < 100000) pendingFont_.codePage = n;
            else if (w == "u") emitUnicode(n);
            return;
        }
        if (state_.dest == Dest::ColourTable) {
            const int v = std::clamp(n, 0, 255);
            if (w == "red") { colour_.rgb[0] = v; colour_.set = true; }
            else if (w == "green") { colour_.rgb[1] = v; colour_.set = true; }
            else if (w == "blue") { colour_.rgb[2] = v; colour_.set = true; }
            return;
        }
        // document and character properties
        if (w == "ansicpg") { if (n > 0 && n < 100000) docTable_ = table(n); return; }
        if (w == "mac" || w == "pc" || w == "pca") return;
        if (w == "deff") { defaultFont_ = n; state_.fmt.font = n; return; }
        if (w == "uc") { state_.uc = std::clamp(n, 0, 16); return; }
        if (w == "u") { emitUnicode(n); return; }
        if (w == "plain") {
            state_.fmt = Format{};
            state_.fmt.font = defaultFont_;
            return;
        }
        if (w == "b") { state_.fmt.bold = on; return; }
        if (w == "i") { state_.fmt.italic = on; return; }
        if (w == "ul" || w == "uld" || w == "uldb" || w == "ulw" || w == "uldash" || w == "ulth" || w == "ulwave") {
            state_.fmt.underline = on;
            return;
        }
        if (w == "ulnone") { state_.fmt.underline = false; return; }
        if (w == "v") { state_.fmt.hidden = on; return; }
        if (w == "fs") { if (hasParam && n > 0) state_.fmt.size = std::clamp(n, 2, 3276) / 2.0; return; }
        if (w == "f") { if (hasParam) state_.fmt.font = n; return; }
        if (w == "cf") { state_.fmt.colour = std::max(0, n); return; }
        if (w == "par" || w == "line" || w == "sect" || w == "page" || w == "row") { emitChar(u'\n'); return; }
        if (w == "tab" || w == "cell") { emitChar(u'\t'); return; }
        if (w == "emdash") { emitChar(u'\u2014'); return; }
        if (w == "endash") { emitChar(u'\u2013'); return; }
        if (w == "emspace" || w == "enspace" || w == "qmspace") { emitChar(u' '); return; }
        if (w == "bullet") { emitChar(u'\u2022'); return; }
        if (w == "lquote") { emitChar(u'\u2018'); return; }
        if (w == "rquote") { emitChar(u'\u2019'); return; }
        if (w == "ldblquote") { emitChar(u'\u201C'); return; }
        if (w == "rdblquote") { emitChar(u'\u201D'); return; }
        // every other word is a property this reader does not show
        if (skipChars_ > 0)
            --skipChars_;
    }

    void emitUnicode(int n)
    {
        if (skipChars_ > 0) {
            // a \u inside another's fallback is part of that fallback
            --skipChars_;
            return;
        }
        const int v = n < 0 ? n + 65536 : n;
        if (v >= 0 && v <= 0xFFFF)
            put(static_cast<char16_t>(v));
        skipChars_ = state_.uc;
    }

    void emitByte(unsigned char b)
    {
        if (skipChars_ > 0) {
            --skipChars_;
            return;
        }
        put(currentTable()[b]);
    }

    void emitChar(char16_t ch)
    {
        if (skipChars_ > 0) {
            --skipChars_;
            return;
        }
        put(ch);
    }

    void put(char16_t ch)
    {
        if (ch < 0x20 && ch != u'\n' && ch != u'\t')
            return; // other control characters carry nothing visible
        switch (state_.dest) {
        case Dest::Skip:
            return;
        case Dest::FontTable:
            if (ch == u';')
                endFontEntry();
            else if (pendingName_.size() < 256)
                pendingName_ += QChar(ch);
            return;
        case Dest::ColourTable:
            if (ch == u';') {
                ++tablesVersion_;
                if (colours_.size() < 4096)
                    colours_.push_back(colour_.set ? std::optional<QColor>(QColor(colour_.rgb[0], colour_.rgb[1], colour_.rgb[2]))
                                                   : std::nullopt);
                colour_ = Colour{};
            }
            return;
        case Dest::Body:
            break;
        }
        const Format &f = state_.fmt;
        if (!runs_.empty() && lastFmt_ == f && lastVersion_ == tablesVersion_) {
            runs_.back().text += QChar(ch);
            return;
        }
        lastFmt_ = f;
        lastVersion_ = tablesVersion_;
        RtfRun r;
        auto font = fonts_.constFind(f.font);
        r.font = font != fonts_.constEnd() && !font->name.isEmpty() ? font->name : base_.font;
        r.pointSize = f.size > 0 ? f.size : base_.pointSize;
        r.colour = base_.colour;
        if (f.colour > 0 && f.colour < static_cast<int>(colours_.size()) && colours_[static_cast<size_t>(f.colour)])
            r.colour = *colours_[static_cast<size_t>(f.colour)];
        r.bold = f.bold;
        r.italic = f.italic;
        r.underline = f.underline;
        r.hidden = f.hidden;
        if (!runs_.empty()) {
            RtfRun &last = runs_.back();
            if (last.font == r.font && last.pointSize == r.pointSize && last.colour == r.colour && last.bold == r.bold
                && last.italic == r.italic && last.underline == r.underline && last.hidden == r.hidden) {
                last.text += QChar(ch);
                return;
            }
        }
        r.text = QString(QChar(ch));
        runs_.push_back(std::move(r));
    }

    void endFontEntry()
    {
        if (pendingId_ >= 0 && fonts_.size() < 4096) {
            Font f = pendingFont_;
            f.name = pendingName_.trimmed();
            fonts_.insert(pendingId_, f);
            ++tablesVersion_;
        }
        pendingId_ = -1;
        pendingName_.clear();
    }

    void finish()
    {
        // a lone surrogate from a \u escape shows as the replacement character
        for (RtfRun &r : runs_) {
            for (qsizetype i = 0; i < r.text.size(); ++i) {
                const QChar c = r.text[i];
                if (c.isHighSurrogate() && i + 1 < r.text.size() && r.text[i + 1].isLowSurrogate()) {
                    ++i;
                    continue;
                }
                if (c.isSurrogate())
                    r.text[i] = QChar(0xFFFD);
            }
        }
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
    int skipChars_ = 0;
    QHash<int, ByteTable> tables_;
    ByteTable docTable_{};
    QHash<int, Font> fonts_;
    Font pendingFont_;
    QString pendingName_;
    int pendingId_ = -1;
    int defaultFont_ = -1;
    std::vector<std::optional<QColor>> colours_;
    Colour colour_;
    std::vector<RtfRun> runs_;
    Format lastFmt_;           // the format of the last run
    unsigned lastVersion_ = 0; // and the tables it was resolved against
    unsigned tablesVersion_ = 0;
};

} // namespace

RtfReadResult ReadRtf(QByteArrayView data, const RtfRun &base, const RtfReadLimits &limits)
{
    return Reader(data, base, limits).run();
}

QString RtfPlainText(const std::vector<RtfRun> &runs)
{
    QString out;
    for (const RtfRun &r : runs)
        if (!r.hidden)
            out += r.text;
    return out;
}

void FillRtfDocument(QTextDocument *doc, const std::vector<RtfRun> &runs, const QStringList &fallbackFamilies)
{
    doc->clear();
    QTextCursor c(doc);
    c.beginEditBlock();
    for (const RtfRun &r : runs) {
        if (r.hidden)
            continue;
        QTextCharFormat cf;
        QStringList families{r.font};
        for (const QString &f : fallbackFamilies)
            if (!families.contains(f))
                families << f;
        cf.setFontFamilies(families);
        cf.setFontPointSize(r.pointSize);
        cf.setFontWeight(r.bold ? QFont::Bold : QFont::Normal);
        cf.setFontItalic(r.italic);
        cf.setFontUnderline(r.underline);
        cf.setForeground(r.colour);
        const QStringList lines = r.text.split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                c.insertBlock(QTextBlockFormat(), cf);
            if (!lines[i].isEmpty())
                c.insertText(lines[i], cf);
        }
    }
    c.endEditBlock();
}

} // namespace somnex
