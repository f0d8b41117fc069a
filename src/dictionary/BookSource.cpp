#include "dictionary/BookSource.h"

#include "dictionary/BookSchema.h"
#include "dictionary/PackedText.h"
#include "platform/ansi/AnsiCodePage.h"
#include "platform/error/Error.h"
#include "platform/jet/BookSignature.h"
#include "platform/jet/JetWriter.h"

#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <map>

namespace somnex::dictionary {
namespace {

const QString kCrLf = QStringLiteral("\r\n");

class SourceParser {
public:
    SourceParser(const QString &file) : file_(file) {}

    [[noreturn]] void fail(int line, const QString &reason) const
    {
        throw Error(1, QStringLiteral("build"), QStringLiteral("%1:%2: %3").arg(file_).arg(line).arg(reason));
    }

    void checkAnsi(int line, QStringView text, const QString &what) const
    {
        for (qsizetype i = 0; i < text.size(); ++i)
            if (ansi::toByte(text[i].unicode()) < 0)
                fail(line, QStringLiteral("%1: символ «%2» (U+%3) не представим в кодировке Windows-1251")
                               .arg(what, text.mid(i, 1).toString(),
                                    QString::number(text[i].unicode(), 16).toUpper().rightJustified(4, u'0')));
    }

    QString unescape(int line, QStringView s) const
    {
        QString out;
        for (qsizetype i = 0; i < s.size(); ++i) {
            if (s[i] != u'\\') {
                out.append(s[i]);
                continue;
            }
            if (++i >= s.size())
                fail(line, QStringLiteral("обратная косая черта в конце строки"));
            switch (s[i].unicode()) {
            case u'\\': out.append(u'\\'); break;
            case u'r': out.append(u'\r'); break;
            case u'n': out.append(u'\n'); break;
            case u'0': out.append(QChar(0)); break;
            case u'x': {
                bool ok = i + 4 < s.size();
                for (qsizetype k = 1; ok && k <= 4; ++k)
                    ok = isxdigit(static_cast<unsigned char>(s[i + k].toLatin1())) && s[i + k].unicode() < 0x80;
                const uint v = ok ? s.mid(i + 1, 4).toUInt(nullptr, 16) : 0;
                if (!ok)
                    fail(line, QStringLiteral("после \\x нужны четыре шестнадцатеричные цифры"));
                out.append(QChar(char16_t(v)));
                i += 4;
                break;
            }
            default: fail(line, QStringLiteral("неизвестная последовательность «\\%1»").arg(s[i]));
            }
        }
        return out;
    }

    BookSource parse(const QByteArray &utf8)
    {
        for (QString line : decodeLines(utf8)) {
            ++lineNo_;
            if (line.endsWith(u'\r'))
                line.chop(1);
            if (line.startsWith(u'#'))
                continue;
            if (line.startsWith(QLatin1String("==")))
                startEntry(line);
            else if (!inEntries_)
                headerLine(line);
            else if (line.startsWith(QLatin1String("=>")))
                linksLine(line);
            else
                textLine(line);
        }
        finishEntry();
        const BookContent &book = src_.content;
        if (book.name.isEmpty())
            fail(1, QStringLiteral("нет ключа «name»"));
        if (book.heading.isEmpty())
            fail(1, QStringLiteral("нет ключа «heading»"));
        if (book.entries.empty())
            fail(lineNo_, QStringLiteral("в соннике нет ни одной статьи («== слово»)"));
        return std::move(src_);
    }

private:
    // The lines of the file, each checked to be UTF-8; a byte order mark at
    // the start is dropped.
    QStringList decodeLines(const QByteArray &utf8) const
    {
        QList<QByteArray> raw = utf8.split('\n');
        if (!raw.isEmpty() && raw.last().isEmpty())
            raw.removeLast();
        QStringList lines;
        lines.reserve(raw.size());
        for (qsizetype i = 0; i < raw.size(); ++i) {
            QStringDecoder decoder(QStringDecoder::Utf8);
            QString line = decoder(raw[i]);
            if (decoder.hasError())
                fail(static_cast<int>(i + 1), QStringLiteral("текст не в кодировке UTF-8"));
            if (i == 0 && line.startsWith(QChar(0xFEFF)))
                line.remove(0, 1);
            lines << line;
        }
        return lines;
    }

    // "== word": the previous entry ends, a new one starts.
    void startEntry(const QString &line)
    {
        finishEntry();
        inEntries_ = true;
        haveLinks_ = false;
        const QString word = line.mid(2).trimmed();
        if (word.isEmpty())
            fail(lineNo_, QStringLiteral("пустое заглавное слово"));
        if (word.size() > 255)
            fail(lineNo_, QStringLiteral("заглавное слово длиннее 255 символов"));
        auto it = seenWords_.find(word.toCaseFolded());
        if (it != seenWords_.end())
            fail(lineNo_, QStringLiteral("заглавное слово «%1» уже было в строке %2").arg(word).arg(it->second));
        seenWords_.emplace(word.toCaseFolded(), lineNo_);
        src_.content.entries.push_back({word, QString(), std::nullopt, lineNo_});
    }

    // The text of the last entry: its lines without the blank ones at the
    // end (escaped lines are never dropped).
    void finishEntry()
    {
        BookContent &book = src_.content;
        if (book.entries.empty())
            return;
        while (text_.size() > keepFrom_ && text_.last().trimmed().isEmpty())
            text_.removeLast();
        keepFrom_ = 0;
        book.entries.back().text = text_.join(kCrLf);
        text_.clear();
    }

    // A line of the header before the first entry: "key: value", each key once.
    void headerLine(const QString &line)
    {
        if (line.trimmed().isEmpty())
            return;
        const qsizetype colon = line.indexOf(u':');
        const QString key = colon > 0 ? line.left(colon).trimmed() : QString();
        if (key.isEmpty())
            fail(lineNo_, QStringLiteral("ожидается строка заголовка «ключ: значение» или «== слово»"));
        const QString value = line.mid(colon + 1).trimmed();
        if (seenKeys_.count(key))
            fail(lineNo_, QStringLiteral("ключ «%1» уже задан в строке %2").arg(key).arg(seenKeys_[key]));
        seenKeys_[key] = lineNo_;
        headerValue(key, value);
    }

    void headerValue(const QString &key, const QString &value)
    {
        BookContent &book = src_.content;
        if (key == QLatin1String("name")) {
            book.name = value;
        } else if (key == QLatin1String("heading")) {
            book.heading = value;
        } else if (key == QLatin1String("color")) {
            checkColour(value);
            book.color = value;
        } else if (key == QLatin1String("icon")) {
            if (value.isEmpty())
                book.icon = QByteArray();
            else
                src_.iconFile = value;
            src_.iconLine = lineNo_;
        } else {
            fail(lineNo_, QStringLiteral("неизвестный ключ «%1»").arg(key));
        }
        if (key == QLatin1String("name") || key == QLatin1String("heading")) {
            if (value.isEmpty())
                fail(lineNo_, QStringLiteral("пустое значение ключа «%1»").arg(key));
            if (value.size() > 255)
                fail(lineNo_, QStringLiteral("значение ключа «%1» длиннее 255 символов").arg(key));
        }
    }

    void checkColour(const QString &value) const
    {
        const bool digits = !value.isEmpty() && value.size() <= 10
                            && std::all_of(value.begin(), value.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        if (!digits || value.toULongLong() > 0xFFFFFFFFull)
            fail(lineNo_, QStringLiteral("цвет должен быть десятичным числом от 0 до 4294967295"));
    }

    // "=> links": the see-also list of the entry, at most one; "=>| " keeps
    // the list exactly as written, otherwise it is trimmed and ends in a dot.
    void linksLine(const QString &line)
    {
        if (haveLinks_)
            fail(lineNo_, QStringLiteral("второй список «=>» в одной статье"));
        haveLinks_ = true;
        QString links;
        if (line.startsWith(QLatin1String("=>| "))) {
            links = line.mid(4);
        } else {
            links = line.mid(2).trimmed();
            if (links.isEmpty())
                fail(lineNo_, QStringLiteral("пустой список «=>»"));
            links += u'.';
        }
        checkAnsi(lineNo_, links, QStringLiteral("список «=>»"));
        // A list kept as written has no way to escape a control character,
        // and a carriage return at its end would be lost on the next read.
        if (std::any_of(links.begin(), links.end(), [](QChar c) { return c.unicode() < 0x20 && c != u'\t'; }))
            fail(lineNo_, QStringLiteral("управляющий символ в списке «=>»"));
        src_.content.entries.back().links = links;
        src_.content.entries.back().linksLine = lineNo_;
    }

    // A line of an entry's text; a line starting with a backslash is
    // unescaped and kept even when blank.
    void textLine(QString line)
    {
        const bool escaped = line.startsWith(u'\\');
        if (escaped)
            line = unescape(lineNo_, QStringView(line).mid(1));
        checkAnsi(lineNo_, line, QStringLiteral("толкование"));
        text_ << line;
        if (escaped)
            keepFrom_ = text_.size();
    }

    QString file_;
    BookSource src_;
    std::map<QString, int> seenKeys_;
    std::map<QString, int> seenWords_; // folded headword -> line
    bool inEntries_ = false;
    QStringList text_;
    qsizetype keepFrom_ = 0; // lines before this index stay even if blank
    bool haveLinks_ = false;
    int lineNo_ = 0;
};

bool needsEscape(QStringView line)
{
    if (line.startsWith(u'#') || line.startsWith(u'\\') || line.startsWith(u"==") || line.startsWith(u"=>"))
        return true;
    for (QChar c : line)
        if (c.unicode() < 0x20 && c != u'\t')
            return true;
    return false;
}

QString escape(QStringView line)
{
    QString out = QStringLiteral("\\");
    for (QChar c : line) {
        switch (c.unicode()) {
        case u'\\': out += QStringLiteral("\\\\"); break;
        case u'\r': out += QStringLiteral("\\r"); break;
        case u'\n': out += QStringLiteral("\\n"); break;
        case 0: out += QStringLiteral("\\0"); break;
        default:
            if (c.unicode() < 0x20 && c != u'\t')
                out += QStringLiteral("\\x") + QString::number(c.unicode(), 16).rightJustified(4, u'0');
            else
                out += c;
        }
    }
    return out;
}

} // namespace

BookSource parseBookSource(const QByteArray &utf8, const QString &fileName)
{
    return SourceParser(fileName).parse(utf8);
}

namespace {

// An entry's text, a line at a time; lines that would read back otherwise
// (markers, control characters, the blank lines at the end) are escaped.
void formatEntryText(const QString &text, QString &out)
{
    const QStringList lines = text.split(kCrLf);
    // trailing blank lines would be dropped when read back
    qsizetype keep = lines.size();
    while (keep > 0 && lines[keep - 1].trimmed().isEmpty())
        --keep;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &l = lines[i];
        out += (i >= keep || needsEscape(l)) ? escape(l) : l;
        out += u'\n';
    }
}

// A see-also list: "=> list" when it reads back the same (trimmed, ending in
// a dot), otherwise "=>| " and the list exactly.
void formatLinks(const QString &l, QString &out)
{
    const QString body = l.chopped(l.endsWith(u'.') ? 1 : 0);
    if (l.endsWith(u'.') && !body.isEmpty() && body == body.trimmed() && !needsEscape(body))
        out += QStringLiteral("=> ") + body + u'\n';
    else
        out += QStringLiteral("=>| ") + l + u'\n';
}

} // namespace

QByteArray formatBookSource(const BookContent &book, const QString &iconFile)
{
    QString out;
    out += QStringLiteral("name: ") + book.name + u'\n';
    out += QStringLiteral("heading: ") + book.heading + u'\n';
    if (book.color)
        out += QStringLiteral("color: ") + *book.color + u'\n';
    if (book.icon)
        out += book.icon->isEmpty() ? QStringLiteral("icon:\n") : QStringLiteral("icon: ") + iconFile + u'\n';
    for (const auto &e : book.entries) {
        out += QStringLiteral("\n== ") + e.headword + u'\n';
        if (!e.text.isEmpty())
            formatEntryText(e.text, out);
        if (e.links)
            formatLinks(*e.links, out);
    }
    return out.toUtf8();
}

QStringList seeAlsoNames(const QString &links)
{
    qsizetype end = links.size();
    while (end > 0 && links[end - 1] == u' ')
        --end;
    QStringList names;
    qsizetype from = 0;
    for (qsizetype k = 0; k < links.size(); ++k) {
        if (links[k] != u';' && !(links[k] == u'.' && k + 1 == end))
            continue;
        const QString name = links.mid(from, k - from).trimmed();
        if (!name.isEmpty())
            names << name;
        from = k + 1;
    }
    return names;
}

std::vector<DanglingLink> danglingSeeAlso(const BookContent &book)
{
    // Headwords in index order; the words a seek finds equal stand together
    // in it, so a binary search on "less, and not the same word" finds them.
    std::vector<QStringView> words;
    words.reserve(book.entries.size());
    for (const auto &e : book.entries)
        words.push_back(e.headword);
    std::sort(words.begin(), words.end(), [](QStringView a, QStringView b) { return compareHeadwords(a, b) < 0; });
    auto exists = [&](const QString &name) {
        const auto it =
            std::lower_bound(words.begin(), words.end(), QStringView(name), [](QStringView w, QStringView n) {
                return compareHeadwords(w, n) < 0 && !sameHeadword(w, n);
            });
        return it != words.end() && sameHeadword(*it, name);
    };
    std::vector<DanglingLink> out;
    for (const auto &e : book.entries)
        if (e.links)
            for (const QString &name : seeAlsoNames(*e.links))
                if (!exists(name))
                    out.push_back({e.linksLine, e.headword, name});
    return out;
}

void checkSeeAlso(const BookContent &book, const QString &fileName)
{
    constexpr std::size_t kShown = 50;
    const std::vector<DanglingLink> dangling = danglingSeeAlso(book);
    if (dangling.empty())
        return;
    QStringList lines;
    for (std::size_t i = 0; i < dangling.size() && i < kShown; ++i)
        lines << QStringLiteral(
                     "%1:%2: в списке «=>» статьи «%3» слово «%4» не является заглавным словом этого сонника")
                     .arg(fileName)
                     .arg(dangling[i].line)
                     .arg(dangling[i].headword, dangling[i].name);
    if (dangling.size() > kShown)
        lines << QStringLiteral("%1: и ещё ссылок на отсутствующие слова: %2")
                     .arg(fileName)
                     .arg(dangling.size() - kShown);
    throw Error(1, QStringLiteral("build"), lines.join(u'\n'));
}

QString iconToText(const QByteArray &bytes)
{
    return ansi::toUnicode(bytes);
}

QByteArray iconFromText(const QString &text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = ansi::toByte(text[i].unicode());
        out[i] = static_cast<char>(b < 0 ? '?' : b);
    }
    return out;
}

QByteArray buildBookImage(const BookContent &book)
{
    jet::TableDefinition entries{kBookTable,
                                 {{kListColumn, jet::ColumnKind::Text},
                                  {kTextColumn, jet::ColumnKind::Memo},
                                  {kLinksColumn, jet::ColumnKind::Memo}},
                                 {}};
    entries.rows.reserve(book.entries.size());
    for (const auto &e : book.entries)
        entries.rows.push_back({e.headword, dictionary::PackText(e.text),
                                e.links ? std::optional<QString>(dictionary::PackText(*e.links)) : std::nullopt});
    jet::TableDefinition config{kConfigTable,
                                {{kToolNameColumn, jet::ColumnKind::Text},
                                 {kTolkNameColumn, jet::ColumnKind::Text},
                                 {kColorColumn, jet::ColumnKind::Text},
                                 {kIconColumn, jet::ColumnKind::Memo}},
                                {{book.name, book.heading, book.color,
                                  book.icon ? std::optional<QString>(iconToText(*book.icon)) : std::nullopt}}};
    QByteArray image = jet::writeDatabase({entries, config});
    jet::stampSignature(image);
    return image;
}

BookContent readBook(const Database &db)
{
    BookContent book;
    Recordset config = db.OpenRecordset(kConfigTable);
    if (!config.Eof()) {
        book.name = config.Field(kToolNameColumn).value_or(QString());
        book.heading = config.Field(kTolkNameColumn).value_or(QString());
        book.color = config.Field(kColorColumn);
        if (const auto icon = config.Field(kIconColumn))
            book.icon = iconFromText(*icon);
    }
    Recordset rs = db.OpenRecordset(kBookTable);
    const int list = rs.fieldIndex(kListColumn);
    const int text = rs.fieldIndex(kTextColumn);
    const int links = rs.fieldIndex(kLinksColumn);
    if (list < 0 || text < 0 || links < 0)
        throw Error(3265, QStringLiteral("readBook"),
                    QStringLiteral("В таблице «%1» нет полей %2, %3, %4.")
                        .arg(kBookTable, kListColumn, kTextColumn, kLinksColumn));
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        BookEntry e;
        e.headword = rs.Field(list).value_or(QString());
        const QString t = rs.Field(text).value_or(QString());
        e.text = t.isEmpty() ? QString() : dictionary::UnpackText(t);
        if (const auto l = rs.Field(links))
            e.links = l->isEmpty() ? QString() : dictionary::UnpackText(*l);
        book.entries.push_back(std::move(e));
    }
    return book;
}

} // namespace somnex::dictionary
