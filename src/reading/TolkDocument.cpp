#include "reading/TolkDocument.h"

#include <cmath>

namespace somnex {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
} // namespace

void GatherLinks(const QString &links, QString &seen)
{
    // A separator is ";" anywhere, or "." when it is the last character
    // before trailing blanks. Text after the last separator is dropped.
    qsizetype end = links.size();
    while (end > 0 && links[end - 1] == QLatin1Char(' '))
        --end;
    QString cur, fresh;
    for (qsizetype k = 0; k < links.size(); ++k) {
        const QChar ch = links[k];
        const bool sep = ch == QLatin1Char(';') || (ch == QLatin1Char('.') && k + 1 == end);
        if (!sep) {
            cur += ch;
            continue;
        }
        cur = cur.trimmed();
        if (seen.contains(QLatin1Char('<') + cur + QLatin1Char('>')))
            cur.clear();
        if (!cur.isEmpty())
            fresh += cur + QLatin1Char(';');
        cur.clear();
    }
    fresh.replace(QLatin1Char(';'), QStringLiteral(">, <"));
    seen += fresh;
}

Interpretation CollectTolk(const QString &word, const std::vector<TolkBook> &books)
{
    Interpretation out;
    out.word = word;
    QString seen = QStringLiteral("<");
    for (const TolkBook &b : books) {
        const auto entry = b.lookup(word);
        if (!entry)
            continue;
        out.parts.push_back({b.tag, b.description, entry->first});
        GatherLinks(entry->second.value_or(QString()), seen);
    }
    // "<a>, <b>, <" -> a, b
    if (seen.size() > 3)
        out.seeAlso = seen.mid(1, seen.size() - 5).split(QStringLiteral(">, <"));
    return out;
}

QString BuildTolkText(const QString &word, const std::vector<TolkBook> &books, QStringList *seeAlso)
{
    const Interpretation in = CollectTolk(word, books);
    if (seeAlso)
        *seeAlso = in.seeAlso;
    if (in.parts.empty())
        return QString();
    QString doc = QLatin1Char(' ') + word;
    for (const Interpretation::Part &p : in.parts)
        doc += kCrLf + kCrLf + QStringLiteral("& ") + p.heading + QStringLiteral(":§") + kCrLf + p.text;
    if (!in.seeAlso.isEmpty())
        doc += kCrLf + kCrLf + QStringLiteral("F^<") + in.seeAlso.join(QStringLiteral(">, <")) + QLatin1Char('>');
    return doc;
}

namespace {

bool isAsciiDigit(QChar c)
{
    return c.isDigit() && c.unicode() < 128;
}

QString withoutBlanks(const QString &text)
{
    QString s;
    for (QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            s += c;
    return s;
}

// A number written "&H1F" (hexadecimal) or "&O17" (octal): its digits up to
// the first that is not one.
double radixNumber(const QString &s)
{
    const int base = s[1].toUpper() == QLatin1Char('H') ? 16 : 8;
    const QString digits = base == 16 ? QStringLiteral("0123456789abcdefABCDEF") : QStringLiteral("01234567");
    double v = 0;
    for (qsizetype i = 2; i < s.size() && digits.contains(s[i]); ++i)
        v = v * base + QString(s[i]).toInt(nullptr, base);
    return v;
}

qsizetype digitsEnd(const QString &s, qsizetype i)
{
    while (i < s.size() && isAsciiDigit(s[i]))
        ++i;
    return i;
}

// The end of an exponent ("e", a sign, digits) at i; i itself when there is
// none with digits.
qsizetype exponentEnd(const QString &s, qsizetype i)
{
    if (i >= s.size() || (s[i] != QLatin1Char('e') && s[i] != QLatin1Char('E')))
        return i;
    qsizetype j = i + 1;
    if (j < s.size() && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
        ++j;
    const qsizetype end = digitsEnd(s, j);
    return end > j ? end : i;
}

} // namespace

double LeadingNumber(const QString &text)
{
    const QString s = withoutBlanks(text);
    if (s.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)
        || s.startsWith(QLatin1String("&O"), Qt::CaseInsensitive))
        return radixNumber(s);
    qsizetype i = 0;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        ++i;
    const qsizetype digitsStart = i;
    i = digitsEnd(s, i);
    if (i < s.size() && s[i] == QLatin1Char('.'))
        i = digitsEnd(s, i + 1);
    if (i == digitsStart)
        return 0;
    i = exponentEnd(s, i);
    bool ok = false;
    const double v = s.left(i).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0;
}

namespace {

std::uint32_t colourOf(const QString &description)
{
    const double v = LeadingNumber(description);
    if (!(v >= 0) || v > 4294967295.0)
        return 0;
    return static_cast<std::uint32_t>(v) & 0xFFFFFFu;
}

void setRange(std::vector<TolkFormat> &f, qsizetype start, qsizetype length,
              const std::function<void(TolkFormat &)> &op)
{
    const qsizetype n = static_cast<qsizetype>(f.size());
    if (start < 0) {
        length += start;
        start = 0;
    }
    for (qsizetype i = start; i < start + length && i < n; ++i)
        op(f[static_cast<size_t>(i)]);
}

void hide(std::vector<TolkFormat> &f, qsizetype at)
{
    setRange(f, at, 1, [](TolkFormat &c) {
        c.hidden = true;
        c.size = 1;
    });
}

} // namespace

namespace {

// A marker run ending at pos ("& heading:§" of a book's part, "F^" of the
// see-also line): from its start on in the colour (the book's for a heading,
// teal otherwise; a heading naming no book keeps the colour before), bold
// italic; its first character the book or hand symbol; the end mark hidden.
void markSymbolRun(std::vector<TolkFormat> &f, const QString &text, qsizetype markStart, qsizetype pos,
                   const std::vector<TolkButton> &buttons, std::uint32_t &colour)
{
    const bool header = text[pos - 1] == QChar(u'§');
    if (header) {
        const QString selected = text.mid(markStart, pos - markStart);
        for (const TolkButton &b : buttons)
            if (selected.contains(b.tag))
                colour = colourOf(b.description);
    } else {
        colour = kTeal;
    }
    setRange(f, markStart, pos - markStart, [&](TolkFormat &c) {
        c.colour = colour;
        c.bold = true;
        c.italic = true;
    });
    setRange(f, markStart, 1, [&](TolkFormat &c) {
        c.size = header ? 14 : 22;
        c.italic = false;
        c.font = TolkFormat::Symbol;
        c.bold = false;
    });
    hide(f, pos - 1);
}

// A see-also link "<word>" from ltPos to pos: the brackets hidden, the word
// green and underlined.
void markLink(std::vector<TolkFormat> &f, qsizetype ltPos, qsizetype pos)
{
    hide(f, ltPos);
    setRange(f, ltPos + 1, pos - ltPos - 1, [](TolkFormat &c) {
        c.colour = kGreen;
        c.underline = true;
    });
    hide(f, pos - 1);
}

} // namespace

std::vector<TolkFormat> MarkupTolk(const QString &text, const QString &word, const std::vector<TolkButton> &buttons)
{
    std::vector<TolkFormat> f(static_cast<size_t>(text.size()));
    // The heading: the word after the leading blank.
    setRange(f, 1, word.size(), [](TolkFormat &c) {
        c.bold = true;
        c.colour = kNavy;
        c.underline = true;
        c.size = 12;
    });
    const qsizetype N = text.size();
    qsizetype lastCR = 0, markStart = 0, ltPos = 0;
    std::uint32_t colour = 0;
    for (qsizetype pos = 1; pos <= N; ++pos) {
        const QChar ch = text[pos - 1];
        if (ch == QLatin1Char('\r'))
            lastCR = pos;
        if (ch == QChar(0x2013))
            setRange(f, lastCR, pos - 1 - lastCR, [](TolkFormat &c) { c.colour = kBlue; });
        if (ch == QLatin1Char('&') || ch == QLatin1Char('F'))
            markStart = pos - 1;
        if (ch == QLatin1Char('^') || ch == QChar(u'§'))
            markSymbolRun(f, text, markStart, pos, buttons, colour);
        if (ch == QLatin1Char('<'))
            ltPos = pos - 1;
        if (ch == QLatin1Char('>'))
            markLink(f, ltPos, pos);
    }
    return f;
}

QString GetWord(const QString &text, int index)
{
    if (!text.contains(QLatin1Char('<')))
        return QString();
    // 1-based walk from p down to 1: the character just before the one under
    // the pointer first.
    qsizetype k = std::min<qsizetype>(index, text.size());
    for (; k >= 1; --k) {
        const QChar c = text[k - 1];
        if (c == QLatin1Char('>'))
            return QString();
        if (c == QLatin1Char('<'))
            break;
    }
    if (k < 1)
        return QString();
    const qsizetype close = text.indexOf(QLatin1Char('>'), k); // at or after 1-based k+1
    if (close < 0)
        return QString();
    return text.mid(k, close - k).trimmed();
}

int FindInText(const QString &text, const QString &what, int from)
{
    if (what.isEmpty() || from < 0 || from > text.size())
        return -1;
    return static_cast<int>(text.indexOf(what, from, Qt::CaseInsensitive));
}

} // namespace somnex
