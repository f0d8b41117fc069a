// lookup and words: the dictionary as the program would show it, on the
// books and enabled states of the user's settings.
#include "tools/cli/Commands.h"

#include "dictionary/Catalogue.h"
#include "dictionary/LineRanker.h"
#include "dictionary/MergedWords.h"
#include "dictionary/SymbolFinder.h"
#include "dictionary/TextIndex.h"
#include "dictionary/WordFinder.h"
#include "dictionary/WordIndex.h"
#include "platform/core/Identity.h"
#include "platform/core/ProgramFolders.h"
#include "platform/core/Settings.h"
#include "platform/error/Error.h"
#include "reading/CatalogueTolk.h"
#include "reading/DreamReading.h"
#include "reading/TolkDocument.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>

#include <cmath>
#include <cstdio>

#include <optional>
#include <thread>

namespace somnex::cli {

namespace {

struct Loaded {
    dictionary::CatalogueLoad catalogue;
    bool ok = false;
};

Loaded loadBooks()
{
    Loaded l;
    const QString folder = BooksFolderFor(SharedDataFolder());
    l.catalogue = dictionary::LoadCatalogue(
        folder, [](const QString &key) { return GetSettingInt(settings::kApp, settings::kBooks, key, 1) == 0 ? 0 : 1; },
        dictionary::userBooksFolder(), true);
    if (!l.catalogue.skipped.empty())
        err(dictionary::skippedMessage(l.catalogue.skipped) + QLatin1Char('\n'));
    switch (l.catalogue.failure) {
    case dictionary::CatalogueLoad::None: l.ok = true; break;
    case dictionary::CatalogueLoad::FolderOrBook:
        err(QStringLiteral("Невозможно найти папку с данными:\n") + folder + QStringLiteral("\n(") + l.catalogue.error
            + QStringLiteral(")\n"));
        break;
    case dictionary::CatalogueLoad::NoBookFiles:
        err(QStringLiteral("В папке данных программы не найдено ни одного сонника: ") + folder + QLatin1Char('\n'));
        break;
    case dictionary::CatalogueLoad::NoSignedBooks:
        err(QStringLiteral("Среди файлов программы нет сонников совместимых с текущей версией: ") + folder
            + QLatin1Char('\n'));
        break;
    }
    return l;
}

QString colourName(const QString &description)
{
    const auto v = static_cast<std::uint32_t>(LeadingNumber(description)) & 0xFFFFFFu;
    return QStringLiteral("#%1%2%3")
        .arg(v & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((v >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((v >> 16) & 0xFF, 2, 16, QLatin1Char('0'));
}

// The merged word list of the enabled books.
dictionary::WordIndex enabledWords(const Loaded &l)
{
    const auto &books = l.catalogue.books;
    std::optional<dictionary::MergedWords> merged =
        dictionary::mergeWords(books, [&](size_t k) { return books[k].Value == 1; });
    if (merged->failure)
        std::rethrow_exception(merged->failure);
    return std::move(merged->words);
}

// The one text a command takes, with "--json" anywhere; a usage message and
// nothing when the arguments are otherwise.
std::optional<QString> oneText(QStringList args, const QString &usage, bool &json)
{
    json = args.removeAll(QStringLiteral("--json")) > 0;
    if (args.size() != 1) {
        err(usage);
        return std::nullopt;
    }
    return args[0];
}

QString jsonText(const QJsonArray &a)
{
    return QString::fromUtf8(QJsonDocument(a).toJson(QJsonDocument::Indented));
}

} // namespace

std::optional<dictionary::WordIndex> enabledWordList()
{
    Loaded l = loadBooks();
    if (!l.ok)
        return std::nullopt;
    try {
        return enabledWords(l);
    } catch (...) {
        err(QStringLiteral("Ошибка чтения сонника: ") + describe(std::current_exception()) + QLatin1Char('\n'));
        return std::nullopt;
    }
}

namespace {

// The interpretation as JSON: the word, each book's heading, colour and text,
// and the see-also words.
QString interpretationJson(const QString &word, const Interpretation &in)
{
    QJsonArray books;
    for (const auto &p : in.parts)
        books.append(QJsonObject{{QStringLiteral("heading"), p.heading},
                                 {QStringLiteral("color"), colourName(p.description)},
                                 {QStringLiteral("text"),
                                  QString(p.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))}});
    const QJsonObject o{{QStringLiteral("word"), word},
                        {QStringLiteral("books"), books},
                        {QStringLiteral("seeAlso"), QJsonArray::fromStringList(in.seeAlso)}};
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented));
}

// The interpretation as plain text, a paragraph per book.
QString interpretationText(const QString &word, const Interpretation &in)
{
    QString text = word + QStringLiteral("\n");
    for (const auto &p : in.parts)
        text += QStringLiteral("\n") + p.heading + QStringLiteral(":\n")
                + QString(p.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) + QStringLiteral("\n");
    if (!in.seeAlso.isEmpty())
        text += QStringLiteral("\nСм. также: ") + in.seeAlso.join(QStringLiteral(", ")) + QStringLiteral("\n");
    return text;
}

} // namespace

int lookup(const QStringList &argsIn)
{
    QStringList args = argsIn;
    const bool json = args.removeAll(QStringLiteral("--json")) > 0;
    if (args.size() != 1 || args[0].trimmed().isEmpty()) {
        err(QStringLiteral("Укажите одно слово: somnex-cli lookup СЛОВО [--json]\n"));
        return 2;
    }
    Loaded l = loadBooks();
    if (!l.ok)
        return 3;
    QString word = args[0];
    Interpretation in;
    const auto collect = [&] {
        try {
            // only the records of the word are read from a book whose word cache is good
            for (auto &b : l.catalogue.books)
                if (b.Value == 1)
                    dictionary::narrowToWord(b, word);
            in = CollectTolk(word,
                             TolkBooksOf(l.catalogue.books, [&](size_t k) { return l.catalogue.books[k].Value == 1; }));
            return true;
        } catch (...) {
            err(QStringLiteral("Ошибка чтения сонника: ") + describe(std::current_exception()) + QLatin1Char('\n'));
            return false;
        }
    };
    if (!collect())
        return 3;
    if (in.parts.empty()) {
        // Not a headword as written: the word in another form, or misspelt.
        const dictionary::WordIndex index = enabledWords(l);
        dictionary::WordFinder finder;
        finder.build(index);
        const int best = finder.bestMatch(word);
        if (best < 0) {
            err(QStringLiteral("Слово «") + word + QStringLiteral("» не найдено ни в одном включённом соннике.\n"));
            return 1;
        }
        word = index.word(best);
        err(QStringLiteral("Показано толкование слова «") + word + QStringLiteral("»\n"));
        if (!collect())
            return 3;
    }
    out(json ? interpretationJson(word, in) : interpretationText(word, in));
    return 0;
}

int words(const QStringList &args)
{
    if (args.size() > 1) {
        err(QStringLiteral("Использование: somnex-cli words [НАЧАЛО]\n"));
        return 2;
    }
    Loaded l = loadBooks();
    if (!l.ok)
        return 3;
    const dictionary::WordIndex index = enabledWords(l);
    QString text;
    int from = 0;
    QString prefix;
    if (!args.isEmpty()) {
        prefix = dictionary::foldWord(args[0].trimmed());
        from = index.findPrefix(args[0]);
        if (from < 0)
            return 0;
    }
    for (int i = from; i < index.size(); ++i) {
        if (!prefix.isEmpty() && !dictionary::foldWord(index.word(i)).startsWith(prefix))
            break;
        text += index.word(i) + QLatin1Char('\n');
    }
    out(text);
    return 0;
}

int suggest(const QStringList &args)
{
    bool json = false;
    const std::optional<QString> query =
        oneText(args, QStringLiteral("Использование: somnex-cli suggest ТЕКСТ [--json]\n"), json);
    if (!query)
        return 2;
    Loaded l = loadBooks();
    if (!l.ok)
        return 3;
    const dictionary::WordIndex index = enabledWords(l);
    dictionary::WordFinder finder;
    finder.build(index);
    static const char *const kinds[] = {"exact", "form", "spelling"};
    QJsonArray found;
    QString text;
    for (const dictionary::Suggestion &s : finder.suggest(*query)) {
        found.append(QJsonObject{{QStringLiteral("word"), index.word(s.item)},
                                 {QStringLiteral("kind"), QString::fromLatin1(kinds[s.kind])}});
        text += index.word(s.item) + QLatin1Char('\n');
    }
    out(json ? jsonText(found) : text);
    return 0;
}

int search(const QStringList &args)
{
    bool json = false;
    const std::optional<QString> query =
        oneText(args, QStringLiteral("Использование: somnex-cli search ТЕКСТ [--json]\n"), json);
    if (!query)
        return 2;
    Loaded l = loadBooks();
    if (!l.ok)
        return 3;
    std::vector<dictionary::TextSource> sources;
    for (const auto &b : l.catalogue.books)
        if (b.Value == 1)
            sources.push_back({b.ToolTipText, b.recordset});
    const dictionary::TextIndex index = dictionary::TextIndex::build(std::move(sources));
    QJsonArray found;
    QString text;
    for (const dictionary::TextHit &h : index.search(*query)) {
        found.append(QJsonObject{{QStringLiteral("word"), h.headword},
                                 {QStringLiteral("books"), QJsonArray::fromStringList(h.books)},
                                 {QStringLiteral("hits"), h.hits},
                                 {QStringLiteral("snippet"), h.snippet}});
        text += h.headword + QStringLiteral(" (") + h.books.join(QStringLiteral(", ")) + QStringLiteral(")\n    ")
                + h.snippet + QLatin1Char('\n');
    }
    out(json ? jsonText(found) : text);
    return 0;
}

namespace {

QJsonObject readingJson(const DreamReading &r)
{
    QJsonArray symbols;
    for (const SymbolReading &s : r.symbols) {
        QJsonArray books;
        for (const BookReading &b : s.books) {
            QJsonArray lines;
            for (const dictionary::RankedLine &l : b.lines)
                lines.append(QJsonObject{{QStringLiteral("text"), l.text},
                                         {QStringLiteral("score"), std::round(l.score * 1000) / 1000},
                                         {QStringLiteral("matched"), QJsonArray::fromStringList(l.matched)}});
            books.append(QJsonObject{{QStringLiteral("book"), b.heading},
                                     {QStringLiteral("file"), b.file},
                                     {QStringLiteral("color"), colourName(b.description)},
                                     {QStringLiteral("lines"), lines}});
        }
        QJsonObject o{{QStringLiteral("headword"), s.headword},
                      {QStringLiteral("at"), QJsonArray{qint64(s.start), qint64(s.length)}},
                      {QStringLiteral("books"), books}};
        if (!s.unreadable.isEmpty())
            o.insert(QStringLiteral("unreadable"), QJsonArray::fromStringList(s.unreadable));
        symbols.append(o);
    }
    return QJsonObject{{QStringLiteral("text"), r.text},
                       {QStringLiteral("cut"), r.cut},
                       {QStringLiteral("symbols"), symbols}};
}

// Each symbol, each book's best line first and marked, the rest beneath it.
QString readingText(const DreamReading &r)
{
    QString text;
    for (const SymbolReading &s : r.symbols) {
        text += s.headword + QLatin1Char('\n');
        for (const BookReading &b : s.books) {
            text += QStringLiteral("  ") + b.heading + QStringLiteral(":\n");
            bool first = true;
            for (const dictionary::RankedLine &l : b.lines) {
                text += (first ? QStringLiteral("  » ") : QStringLiteral("    ")) + l.text;
                if (first && !l.matched.isEmpty())
                    text += QStringLiteral(" [") + l.matched.join(QStringLiteral(", ")) + QLatin1Char(']');
                text += QLatin1Char('\n');
                first = false;
            }
        }
        for (const QString &heading : s.unreadable)
            text += QStringLiteral("  ") + heading + QStringLiteral(": статья не читается\n");
        text += QLatin1Char('\n');
    }
    return text;
}

// The dream on standard input, a little more than is read so that a longer
// text is known to be longer; none when it cannot be read.
std::optional<QString> standardInput()
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 wanted = (kDreamReadLimit + 1) * 4;
    QByteArray data;
    while (data.size() < wanted) {
        const QByteArray chunk = in.read(wanted - data.size());
        if (chunk.isEmpty())
            break;
        data += chunk;
    }
    return QString::fromUtf8(data);
}

// The reading on the books of the user's settings; none, with the reason
// said, when they cannot be read.
std::optional<DreamReading> readOnEnabledBooks(const QString &text)
{
    // the ranker's tables are made on a second core while the books open
    std::thread tables(dictionary::prepareRanking);
    const auto joined = qScopeGuard([&] { tables.join(); });
    Loaded l = loadBooks();
    if (!l.ok)
        return std::nullopt;
    try {
        const dictionary::WordIndex index = enabledWords(l);
        dictionary::SymbolFinder finder;
        finder.build(index);
        return ReadDream(text, finder, index,
                         ReadingBooksOf(l.catalogue.books, [&](size_t k) { return l.catalogue.books[k].Value == 1; }));
    } catch (...) {
        err(QStringLiteral("Ошибка чтения сонника: ") + describe(std::current_exception()) + QLatin1Char('\n'));
        return std::nullopt;
    }
}

} // namespace

int interpret(const QStringList &argsIn)
{
    QStringList args = argsIn;
    const bool json = args.removeAll(QStringLiteral("--json")) > 0;
    if (args.size() != 1) {
        err(QStringLiteral("Использование: somnex-cli interpret [--json] ТЕКСТ|-\n"));
        return 2;
    }
    const std::optional<QString> text = args[0] == QLatin1String("-") ? standardInput() : args[0];
    if (!text) {
        err(QStringLiteral("Не удалось прочитать стандартный ввод\n"));
        return 2;
    }
    if (text->trimmed().isEmpty()) {
        err(QStringLiteral("Текст сна пуст.\n"));
        return 2;
    }
    if (dictionary::foldedWords(*text).size() == 1)
        return lookup(json ? QStringList{text->trimmed(), QStringLiteral("--json")} : QStringList{text->trimmed()});
    const std::optional<DreamReading> reading = readOnEnabledBooks(*text);
    if (!reading)
        return 3;
    if (reading->cut)
        err(QStringLiteral("Текст длиннее %L1 знаков: прочитано только начало.\n").arg(kDreamReadLimit));
    for (const SymbolReading &s : reading->symbols)
        if (!s.unreadable.isEmpty())
            err(QStringLiteral("«%1»: статья не читается в соннике %2\n")
                    .arg(s.headword, s.unreadable.join(QStringLiteral(", "))));
    if (json)
        out(QString::fromUtf8(QJsonDocument(readingJson(*reading)).toJson(QJsonDocument::Indented)));
    if (reading->symbols.empty()) {
        err(QStringLiteral(
            "В этом сне не нашлось слов из сонников. Попробуйте поиск по толкованиям: somnex-cli search ТЕКСТ\n"));
        return 1;
    }
    if (!json)
        out(readingText(*reading));
    return 0;
}

} // namespace somnex::cli
