#include "reading/DreamDocument.h"

#include <algorithm>

namespace somnex {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Builds text and formatting side by side.
class Writer {
public:
    explicit Writer(DreamDocument &doc) : doc_(doc) {}

    void put(const QString &s, const TolkFormat &f)
    {
        // the markers are the document's own: a reader's "<" or ">" is shown as an angle quote
        QString shown = s;
        shown.replace(u'<', u'‹').replace(u'>', u'›');
        doc_.text += shown;
        doc_.formats.insert(doc_.formats.end(), size_t(shown.size()), f);
    }
    void newLine(const TolkFormat &f = {}) { put(kCrLf, f); }
    void link(const QString &s, TolkFormat f, DreamLink l)
    {
        TolkFormat marker = f;
        marker.hidden = true;
        marker.size = 1; // drawn in the background's colour: it takes next to no room
        l.open = doc_.text.size();
        doc_.text += u'<';
        doc_.formats.push_back(marker);
        f.underline = true;
        put(s, f);
        l.close = doc_.text.size();
        doc_.text += u'>';
        doc_.formats.push_back(marker);
        doc_.links.push_back(l);
    }

private:
    DreamDocument &doc_;
};

TolkFormat format(std::uint32_t colour, float size, bool bold = false, bool italic = false)
{
    TolkFormat f;
    f.colour = colour;
    f.size = size;
    f.bold = bold;
    f.italic = italic;
    return f;
}

constexpr float kText = 10;

// One ranked line: its matched words in bold, the best one marked.
void writeLine(Writer &w, const dictionary::RankedLine &line, bool best)
{
    const TolkFormat plain = format(0, kText);
    w.put(best ? QStringLiteral("  ★ ") : QStringLiteral("     "), format(kGreen, kText, best));
    qsizetype at = 0;
    std::vector<std::pair<qsizetype, qsizetype>> spans = line.spans;
    std::sort(spans.begin(), spans.end());
    for (const auto &[start, length] : spans) {
        if (start < at || start + length > line.text.size())
            continue;
        w.put(line.text.mid(at, start - at), plain);
        w.put(line.text.mid(start, length), format(kGreen, kText, true));
        at = start + length;
    }
    w.put(line.text.mid(at), plain);
    w.newLine();
}

} // namespace

const DreamLink *DreamDocument::linkAt(qsizetype position) const
{
    for (const DreamLink &l : links)
        if (position > l.open && position <= l.close)
            return &l;
    return nullptr;
}

namespace {

// The noun's form for a count: one, two to four, five and more.
QString counted(int n, const char16_t *one, const char16_t *few, const char16_t *many)
{
    const int tens = n % 100, ones = n % 10;
    const char16_t *word = (tens >= 11 && tens <= 14) ? many : ones == 1 ? one : (ones >= 2 && ones <= 4) ? few : many;
    return QString::number(n) + u' ' + QString::fromUtf16(word);
}

} // namespace

QString interpretationsCount(int n)
{
    return counted(n, u"толкование", u"толкования", u"толкований");
}

QString dreamsCount(int n)
{
    return counted(n, u"сон", u"сна", u"снов");
}

QString historyLine(const DiaryHistory &h)
{
    QString s = QStringLiteral("В вашем дневнике: ") + dreamsCount(h.dreams) + QStringLiteral(" с этим символом");
    if (h.marked > 0)
        s += QStringLiteral(", сбылось %1 из %2 отмеченных").arg(h.cameTrue).arg(h.marked);
    return s;
}

namespace {

// The dream, its symbols as links (each headword's first place).
void writeDream(Writer &w, const DreamReading &reading)
{
    const TolkFormat dream = format(0, kText, false, true);
    qsizetype at = 0;
    for (int k = 0; k < int(reading.symbols.size()); ++k) {
        const SymbolReading &s = reading.symbols[size_t(k)];
        if (s.start < at || s.start + s.length > reading.text.size())
            continue;
        w.put(reading.text.mid(at, s.start - at), dream);
        w.link(reading.text.mid(s.start, s.length), format(kBlue, kText, false, true), {0, 0, DreamLink::Symbol, k, 0});
        at = s.start + s.length;
    }
    QString rest = reading.text.mid(at);
    rest.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n').replace(u'\n', kCrLf);
    w.put(rest, dream);
    w.newLine();
    if (reading.cut) {
        w.newLine();
        w.put(QStringLiteral("Сон очень длинный: прочитаны первые %L1 знаков.").arg(kDreamReadLimit),
              format(kTeal, kText, false, true));
        w.newLine();
    }
}

// One book's lines for a symbol: the best marked, then the next two, or all
// when unfolded, with the link that unfolds the rest.
void writeBook(Writer &w, const BookReading &book, int symbol, int index, bool all)
{
    const auto colour = static_cast<std::uint32_t>(LeadingNumber(book.description)) & 0xFFFFFFu;
    w.put(QStringLiteral("  ") + book.heading + u':', format(colour, kText, true));
    w.newLine();
    const int count = int(book.lines.size());
    const int shown = all ? count : std::min(kLinesShown, count);
    for (int i = 0; i < shown; ++i)
        writeLine(w, book.lines[size_t(i)], i == 0);
    if (shown < count) {
        w.put(QStringLiteral("     "), format(0, kText));
        w.link(QStringLiteral("ещё ") + interpretationsCount(count - shown), format(kBlue, 9),
               {0, 0, DreamLink::Unfold, symbol, index});
        w.newLine();
    }
}

void writeSymbol(Writer &w, const SymbolReading &s, int k, const QSet<std::pair<int, int>> &unfolded)
{
    w.newLine();
    w.link(s.headword, format(kNavy, 12, true), {0, 0, DreamLink::Symbol, k, 0});
    w.newLine();
    if (s.history && s.history->dreams > 0) {
        w.put(QStringLiteral("  "), format(0, kText));
        w.link(historyLine(*s.history), format(kTeal, 9, false, true), {0, 0, DreamLink::Diary, k, 0});
        w.newLine();
    }
    for (int b = 0; b < int(s.books.size()); ++b)
        writeBook(w, s.books[size_t(b)], k, b, unfolded.contains({k, b}));
    for (const QString &heading : s.unreadable) {
        w.put(QStringLiteral("  ") + heading + QStringLiteral(": статья не читается, сонник пропущен"),
              format(kTeal, kText, false, true));
        w.newLine();
    }
}

} // namespace

DreamDocument BuildDreamDocument(const DreamReading &reading, const QSet<std::pair<int, int>> &unfolded)
{
    DreamDocument doc;
    Writer w(doc);
    w.put(QLatin1Char(' ') + kDreamCaption, format(kNavy, 14, true));
    w.newLine();
    w.newLine();
    writeDream(w, reading);
    if (reading.symbols.empty()) {
        w.newLine();
        w.put(QStringLiteral("В этом сне не нашлось слов из сонников."), format(kNavy, kText, true));
        w.newLine();
        w.put(QStringLiteral("Попробуйте "), format(0, kText));
        w.link(QStringLiteral("поиск по толкованиям"), format(kBlue, kText), {0, 0, DreamLink::Search, -1, 0});
        w.put(QStringLiteral(": он ищет слова сна в текстах всех сонников."), format(0, kText));
        w.newLine();
        return doc;
    }
    for (int k = 0; k < int(reading.symbols.size()); ++k)
        writeSymbol(w, reading.symbols[size_t(k)], k, unfolded);
    return doc;
}

} // namespace somnex
