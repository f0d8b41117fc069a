// What ships with the program: every dream book built from its source as the
// build does, and every article of the shelf, held to the size and quality
// the program promises out of the box.
#include "dictionary/BookDatabase.h"
#include "dictionary/BookSchema.h"
#include "dictionary/BookSource.h"
#include "dictionary/WordIndex.h"
#include "literature/Shelf.h"
#include "platform/error/Error.h"
#include "platform/rtf/RtfReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <set>

using namespace somnex;
using namespace somnex::dictionary;

namespace {

constexpr int kMinHeadwordsPerBook = 600;
constexpr int kMinDistinctHeadwords = 900; // in the merged word list of all books
constexpr int kMinInterpretations = 3;     // non-blank lines of an entry
constexpr int kMaxInterpretations = 6;
constexpr int kMaxLineLength = 400; // characters of an interpretation line or a see-also list
// The translated book keeps its author's long sentences.
constexpr int kMaxTranslatedLineLength = 800;
constexpr int kMinArticles = 10;
constexpr qint64 kMinArticleBytes = qint64(3) * 1024;
constexpr qint64 kMaxArticleBytes = qint64(32) * 1024;

// The dream book translated whole from its 1901 English text: one line for
// each dream situation of the English, in the book's own voice.
constexpr const char *kTranslated = "miller.txt";
constexpr int kMinTranslatedEntries = 2000;
constexpr int kMinTranslatedLines = 5500;

// How each book reads. The folk book speaks in sayings but not in one bare
// word after the dash ("– к прибыли."): it had 851 such endings and keeps at
// most half. The family book gives practical advice, which takes more lines
// an entry than a bare prediction. The psychological book explains rather
// than predicts, and says "образ" no more than a book for readers would.
struct Voice {
    const char *file;
    double maxDashKShare;    // share of lines with "– к" (0..1)
    int maxImageLines;       // lines with "образ"
    double minLinesPerEntry; // interpretation lines an entry, on average
    int maxBareEndings;      // lines ending in "– к <one word>."
};
constexpr Voice kVoices[] = {
    {"narodny.txt", 1.0, 40, 3.0, 425},
    {"psiholog.txt", 0.45, 250, 3.0, 100},
    {"semeyny.txt", 1.0, 40, 3.8, 100},
    {"miller.txt", 0.02, 120, 2.5, 5},
};

// Failures listed in full up to this many; past it, counted.
constexpr int kListed = 40;

struct Book {
    QString file;
    BookContent source;  // as parsed
    BookContent built;   // read back from the built book
    QStringList ordered; // headwords in index order
    qsizetype bytes = 0;
};

std::string s(const QString &t)
{
    return t.toStdString();
}

const std::vector<Book> &books()
{
    static const std::vector<Book> all = [] {
        std::vector<Book> out;
        const QDir dir(QStringLiteral(SOMNEX_BOOKS_SOURCE_DIR));
        for (const QString &name : dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name)) {
            if (name == QLatin1String("CMakeLists.txt"))
                continue;
            QFile f(dir.filePath(name));
            if (!f.open(QIODevice::ReadOnly))
                throw Error(1, QStringLiteral("test"), QStringLiteral("cannot read %1").arg(name));
            Book b;
            b.file = name;
            b.source = parseBookSource(f.readAll(), name).content;
            const QByteArray image = buildBookImage(b.source);
            b.bytes = image.size();
            const Database db = DBEngine::instance().OpenDatabaseImage(image, name);
            b.built = readBook(db);
            Recordset rs = db.OpenRecordset(dictionary::kBookTable);
            rs.setIndex(dictionary::kListIndex);
            for (qsizetype i = 0; i < rs.RecordCount(); ++i)
                b.ordered << rs.headword(i).toString();
            out.push_back(std::move(b));
        }
        return out;
    }();
    return all;
}

const Book *bookNamed(const char *file)
{
    for (const Book &b : books())
        if (b.file == QLatin1String(file))
            return &b;
    return nullptr;
}

QString foldYo(const QString &w)
{
    return w.toLower().replace(u'ё', u'е');
}

// The nominative plurals a noun in its nominative singular may take by the
// regular patterns; the irregular ones and the masculine plurals in "-а"
// (дома, глаза), which a feminine noun of the same root would imitate
// (кум / кума, банк / банка), are listed in kSameConcept instead.
QStringList regularPlurals(const QString &singular)
{
    const QString w = foldYo(singular);
    if (w.size() < 3)
        return {};
    const QChar last = w.back();
    const QString stem = w.chopped(1);
    if (last == u'а' || last == u'я' || last == u'ь')
        return {stem + u'и', stem + u'ы'};
    if (last == u'о')
        return {stem + u'а'};
    if (last == u'е')
        return {stem + u'я'};
    if (w.endsWith(QStringLiteral("ей")) && w.size() > 4) // муравей → муравьи, улей → ульи
        return {stem + u'и', w.chopped(2) + QStringLiteral("ьи")};
    if (last == u'й')
        return {stem + u'и'};
    if (QStringLiteral("аеиоуыэюя").contains(last))
        return {};
    QStringList out{w + u'ы', w + u'и'};
    if (w.endsWith(QStringLiteral("енок"))) // цыплёнок → цыплята
        out << w.chopped(4) + QStringLiteral("ята");
    if (w.endsWith(QStringLiteral("онок"))) // медвежонок → медвежата
        out << w.chopped(4) + QStringLiteral("ата");
    const QChar beforeLast = w.at(w.size() - 2);
    if (w.size() > 3 && (beforeLast == u'о' || beforeLast == u'е')) { // звонок → звонки, огурец → огурцы
        const QString fleeting = w.left(w.size() - 2) + last;
        out << fleeting + u'и' << fleeting + u'ы';
    }
    return out;
}

// One concept in two shapes the regular patterns do not produce.
const std::pair<const char16_t *, const char16_t *> kSameConcept[] = {
    {u"Вошь", u"Вши"},     {u"Червь", u"Червяк"},     {u"Червь", u"Черви"},    {u"Ребёнок", u"Дети"},
    {u"Человек", u"Люди"}, {u"Ухо", u"Уши"},          {u"Глаз", u"Глаза"},     {u"Дом", u"Дома"},
    {u"Город", u"Города"}, {u"Берег", u"Берега"},     {u"Остров", u"Острова"}, {u"Поезд", u"Поезда"},
    {u"Голос", u"Голоса"}, {u"Колокол", u"Колокола"}, {u"Брат", u"Братья"},    {u"Друг", u"Друзья"},
    {u"Сын", u"Сыновья"},  {u"Муж", u"Мужья"},        {u"Дерево", u"Деревья"}, {u"Лист", u"Листья"},
    {u"Перо", u"Перья"},   {u"Стул", u"Стулья"},      {u"Цветок", u"Цветы"},   {u"Мать", u"Матери"},
    {u"Дочь", u"Дочери"},  {u"Курица", u"Куры"},      {u"Небо", u"Небеса"},    {u"Чудо", u"Чудеса"},
    {u"Плечо", u"Плечи"},  {u"Колено", u"Колени"},    {u"Яблоко", u"Яблоки"},  {u"Волос", u"Волосы"},
};

// Different words that the regular patterns would take for one.
const std::pair<const char16_t *, const char16_t *> kHomonyms[] = {
    {u"Вино", u"Вина"},    // wine / guilt
    {u"Ухо", u"Уха"},      // an ear / fish soup
    {u"Час", u"Часы"},     // an hour / a clock
    {u"Мука", u"Муки"},    // flour / torments
    {u"Дух", u"Духи"},     // a spirit / perfume
    {u"Род", u"Роды"},     // kin / childbirth
    {u"Карта", u"Карты"},  // a map / playing cards
    {u"Клещ", u"Клещи"},   // a tick / pincers
    {u"Меха", u"Мехи"},    // furs / bellows
    {u"Угол", u"Угли"},    // a corner / coals
    {u"Выбор", u"Выборы"}, // a choice / an election
};

QStringList interpretationLines(const BookEntry &e)
{
    QStringList lines;
    for (const QString &l : e.text.split(QStringLiteral("\r\n")))
        if (!l.trimmed().isEmpty())
            lines << l.trimmed();
    return lines;
}

// Reports what failed, one line each, the first kListed in full.
class Findings {
public:
    explicit Findings(const char *what) : what_(what) {}
    void add(const QString &line)
    {
        if (++count_ <= kListed)
            text_ += "\n  " + s(line);
    }
    ~Findings()
    {
        if (count_ > kListed)
            text_ += "\n  … and " + std::to_string(count_ - kListed) + " more";
        EXPECT_EQ(count_, 0) << what_ << ":" << text_;
    }

private:
    const char *what_;
    int count_ = 0;
    std::string text_;
};

} // namespace

TEST(BundledData, FourBooksBuildAndReadBackWhole)
{
    ASSERT_EQ(books().size(), 4u);
    for (const Book &b : books()) {
        ASSERT_EQ(b.built.entries.size(), b.source.entries.size()) << s(b.file);
        for (std::size_t i = 0; i < b.built.entries.size(); ++i) {
            EXPECT_EQ(b.built.entries[i].headword, b.source.entries[i].headword) << s(b.file);
            EXPECT_EQ(b.built.entries[i].text, b.source.entries[i].text) << s(b.file);
        }
        std::cout << s(b.file) << ": " << b.built.entries.size() << " headwords, " << b.bytes << " bytes built\n";
    }
}

TEST(BundledData, EveryBookHasEnoughHeadwordsAndAllTogetherMore)
{
    dictionary::WordIndex list;
    for (const Book &b : books()) {
        EXPECT_GE(b.ordered.size(), kMinHeadwordsPerBook) << s(b.file);
        list.addRun(std::vector<QString>(b.ordered.begin(), b.ordered.end()));
    }
    list.finish();
    std::cout << "distinct headwords in the word list: " << list.size() << "\n";
    EXPECT_GE(list.size(), kMinDistinctHeadwords);
}

TEST(BundledData, NoHeadwordTwiceInABook)
{
    Findings f("headwords a seek cannot tell apart");
    for (const Book &b : books())
        for (qsizetype i = 1; i < b.ordered.size(); ++i)
            if (sameHeadword(b.ordered[i - 1], b.ordered[i]))
                f.add(QStringLiteral("%1: «%2» / «%3»").arg(b.file, b.ordered[i - 1], b.ordered[i]));
}

TEST(BundledData, EverySeeAlsoNameIsAHeadwordOfItsBook)
{
    Findings f("see-also names that lead nowhere");
    for (const Book &b : books())
        for (const DanglingLink &d : danglingSeeAlso(b.source))
            f.add(QStringLiteral("%1:%2: «%3» → «%4»").arg(b.file).arg(d.line).arg(d.headword, d.name));
}

TEST(BundledData, EveryEntryHasThreeToSixInterpretations)
{
    Findings f("entries with too few or too many interpretation lines");
    for (const Book &b : books())
        for (const BookEntry &e : b.source.entries) {
            const qsizetype n = interpretationLines(e).size();
            if (b.file == QLatin1String(kTranslated))
                continue; // as many lines as its English entry has situations (below)
            if (n < kMinInterpretations || n > kMaxInterpretations)
                f.add(QStringLiteral("%1:%2: «%3» has %4").arg(b.file).arg(e.line).arg(e.headword).arg(n));
        }
}

TEST(BundledData, NoLineIsTooLong)
{
    Findings f("lines longer than the limit");
    for (const Book &b : books())
        for (const BookEntry &e : b.source.entries) {
            QStringList lines = e.text.split(QStringLiteral("\r\n"));
            if (e.links)
                lines << *e.links;
            const int limit = b.file == QLatin1String(kTranslated) ? kMaxTranslatedLineLength : kMaxLineLength;
            for (const QString &l : lines)
                if (l.size() > limit)
                    f.add(QStringLiteral("%1:%2: «%3»: %4 characters")
                              .arg(b.file)
                              .arg(e.line)
                              .arg(e.headword)
                              .arg(l.size()));
        }
}

TEST(BundledData, NoInterpretationLineIsRepeatedAnywhere)
{
    Findings f("interpretation lines written twice");
    std::map<QString, QString> first; // line (blanks collapsed) -> where it was first
    for (const Book &b : books())
        for (const BookEntry &e : b.source.entries)
            for (const QString &l : interpretationLines(e)) {
                const QString where = QStringLiteral("%1:%2 «%3»").arg(b.file).arg(e.line).arg(e.headword);
                const auto [it, fresh] = first.emplace(l.simplified(), where);
                if (!fresh)
                    f.add(QStringLiteral("%1 repeats %2: %3").arg(where, it->second, l.left(60)));
            }
}

// The interpretation window colours a line as the situation from its start up
// to its last en dash, so a second dash paints the reading in that colour too.
TEST(BundledData, NoInterpretationLineHasTwoDashes)
{
    Findings f("interpretation lines with more than one dash");
    for (const Book &b : books())
        for (const BookEntry &e : b.source.entries)
            for (const QString &l : interpretationLines(e))
                if (l.count(u'–') > 1)
                    f.add(QStringLiteral("%1:%2 «%3»: %4").arg(b.file).arg(e.line).arg(e.headword, l.left(80)));
}

TEST(BundledData, TheShelfHasEnoughArticlesOfARealLength)
{
    const QString folder = QStringLiteral(SOMNEX_TEXTS_DIR);
    const QStringList files = literature::ArticleFiles(folder);
    EXPECT_GE(files.size(), kMinArticles);
    for (const QString &name : files) {
        QFile file(QDir(folder).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << s(name);
        const QByteArray data = file.readAll();
        EXPECT_GE(data.size(), kMinArticleBytes) << s(name);
        EXPECT_LE(data.size(), kMaxArticleBytes) << s(name);
        const RtfReadResult r = ReadRtf(data);
        ASSERT_TRUE(r.ok()) << s(name) << ": " << s(r.error);
        ASSERT_FALSE(r.runs.empty()) << s(name);
        EXPECT_TRUE(r.runs[0].bold) << s(name) << ": the heading comes first, in bold";
        EXPECT_EQ(r.runs[0].text.trimmed(), literature::NameWithoutExtension(name)) << s(name);
        // a heading and at least three paragraphs of body text
        const QStringList paragraphs = RtfPlainText(r.runs).split(u'\n', Qt::SkipEmptyParts);
        EXPECT_GE(paragraphs.size(), 4) << s(name);
    }
}

TEST(BundledData, EachBookSpeaksInItsOwnVoice)
{
    static const QRegularExpression dashK(QStringLiteral("\\s[–-]\\s+ко?\\s"));
    static const QRegularExpression bareEnding(QStringLiteral("\\s[–-]\\s+к\\s+\\w+\\.?$"),
                                               QRegularExpression::UseUnicodePropertiesOption);
    for (const Voice &v : kVoices) {
        const Book *b = bookNamed(v.file);
        ASSERT_NE(b, nullptr) << v.file;
        int lines = 0, withDashK = 0, withImage = 0, bare = 0;
        for (const BookEntry &e : b->source.entries)
            for (const QString &l : interpretationLines(e)) {
                ++lines;
                withDashK += l.contains(dashK) ? 1 : 0;
                withImage += l.contains(QStringLiteral("образ"), Qt::CaseInsensitive) ? 1 : 0;
                bare += l.contains(bareEnding) ? 1 : 0;
            }
        ASSERT_GT(lines, 0) << v.file;
        const double share = double(withDashK) / lines;
        const double perEntry = double(lines) / double(b->source.entries.size());
        std::cout << v.file << ": " << lines << " lines, " << perEntry << " an entry, \"– к\" in " << share * 100
                  << " %, \"образ\" in " << withImage << ", bare endings " << bare << "\n";
        EXPECT_LE(share, v.maxDashKShare) << v.file << ": lines with \"– к\"";
        EXPECT_LE(withImage, v.maxImageLines) << v.file << ": lines with \"образ\"";
        EXPECT_GE(perEntry, v.minLinesPerEntry) << v.file << ": lines an entry";
        EXPECT_LE(bare, v.maxBareEndings) << v.file << ": lines ending in \"– к\" and one bare word";
    }
}

TEST(BundledData, RegularPluralsAreTheOnesOfTheLanguage)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("Гость"), QStringLiteral("гости")},     {QStringLiteral("Нога"), QStringLiteral("ноги")},
        {QStringLiteral("Сосед"), QStringLiteral("соседи")},    {QStringLiteral("Игрушка"), QStringLiteral("игрушки")},
        {QStringLiteral("Облако"), QStringLiteral("облака")},   {QStringLiteral("Поиск"), QStringLiteral("поиски")},
        {QStringLiteral("Звезда"), QStringLiteral("звезды")},   {QStringLiteral("Звонок"), QStringLiteral("звонки")},
        {QStringLiteral("Огурец"), QStringLiteral("огурцы")},   {QStringLiteral("Цыплёнок"), QStringLiteral("цыплята")},
        {QStringLiteral("Муравей"), QStringLiteral("муравьи")}, {QStringLiteral("Поле"), QStringLiteral("поля")},
    };
    for (const auto &[singular, plural] : cases)
        EXPECT_TRUE(regularPlurals(singular).contains(plural)) << s(singular) << " → " << s(plural);
    // a feminine noun of the same root is no plural
    EXPECT_FALSE(regularPlurals(QStringLiteral("Кум")).contains(QStringLiteral("кума")));
    EXPECT_FALSE(regularPlurals(QStringLiteral("Банк")).contains(QStringLiteral("банка")));
}

TEST(BundledData, NoConceptUnderTwoHeadwordsAcrossTheBooks)
{
    std::map<QString, QStringList> where; // headword, ё folded → "book: Headword"
    for (const Book &b : books())
        for (const BookEntry &e : b.source.entries)
            where[foldYo(e.headword)] << QStringLiteral("%1: %2").arg(b.file, e.headword);
    std::set<std::pair<QString, QString>> homonyms;
    for (const auto &[a, b] : kHomonyms)
        homonyms.emplace(foldYo(QString::fromUtf16(a)), foldYo(QString::fromUtf16(b)));

    Findings f("one concept filed under two headwords (keep the singular)");
    std::set<std::pair<QString, QString>> reported;
    auto check = [&](const QString &one, const QString &other) {
        if (one == other || homonyms.count({one, other}) || !reported.emplace(one, other).second)
            return;
        const auto a = where.find(one);
        const auto b = where.find(other);
        if (a != where.end() && b != where.end())
            f.add(QStringLiteral("%1 / %2").arg(a->second.join(QStringLiteral(", ")),
                                                b->second.join(QStringLiteral(", "))));
    };
    for (const auto &[a, b] : kSameConcept)
        check(foldYo(QString::fromUtf16(a)), foldYo(QString::fromUtf16(b)));
    for (const auto &[headword, places] : where)
        for (const QString &plural : regularPlurals(headword))
            check(headword, plural);
}

// The translated book: whole, every situation of the English on its own
// line, Russian throughout, and ё where it belongs.
TEST(BundledData, TheTranslatedBookIsWholeAndRussian)
{
    const Book *b = bookNamed(kTranslated);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->source.name, QStringLiteral("Сонник Миллера"));
    EXPECT_EQ(b->source.heading, QStringLiteral("Сонник Миллера"));
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral(SOMNEX_BOOKS_SOURCE_DIR "/miller.png"))) << "an icon of its own";
    EXPECT_GE(int(b->source.entries.size()), kMinTranslatedEntries);
    int lines = 0;
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    static const QRegularExpression cyrillic(QStringLiteral("[А-Яа-яЁё]"));
    // Words that are never right without ё (a few that may be are left out:
    // «выйдет», «шелковица» are written with е).
    static const QRegularExpression missingYo(
        QStringLiteral("(?i)(?<!\\w)(еще|ее|нее|ребен(?:ок|ка|ку|ком|ке)|черн(?:ый|ая|ое|ые|ого|ой|ую|ым|ыми|ых)|"
                       "желт(?:ый|ая|ое|ые|ого|ой|ую|ым|ыми|ых)|мертв(?:ый|ая|ое|ые|ого|ой|ую|ым|ыми|ых|ец|еца|ецы)|"
                       "тяжел(?:ый|ая|ое|ые|ого|ой|ую|ым|ыми|ых)|весел(?:ый|ая|ое|ые|ого|ой|ую|ым|ыми|ых)|"
                       "легк(?:ий|ая|ое|ие|ого|ой|ую|им|ими|их)|придет|найдет|пойдет|ждет|живет|поймет)(?!\\w)"),
        QRegularExpression::UseUnicodePropertiesOption);
    Findings notRussian("lines mostly in Latin letters, or with brace notes");
    Findings yo("words written without their ё");
    for (const BookEntry &e : b->source.entries) {
        EXPECT_FALSE(interpretationLines(e).isEmpty()) << s(e.headword);
        for (const QString &l : interpretationLines(e)) {
            ++lines;
            const qsizetype lat = l.count(latin), cyr = l.count(cyrillic);
            if (lat * 4 > cyr || l.contains(u'{') || l.contains(u'}') || l.contains(QStringLiteral("sic")))
                notRussian.add(QStringLiteral("«%1»: %2").arg(e.headword, l.left(80)));
            const QRegularExpressionMatch m = missingYo.match(l);
            if (m.hasMatch())
                yo.add(QStringLiteral("«%1»: %2 in %3").arg(e.headword, m.captured(0), l.left(60)));
        }
    }
    EXPECT_GE(lines, kMinTranslatedLines);
    std::cout << kTranslated << ": " << b->source.entries.size() << " entries, " << lines << " lines\n";
}

// Each entry has at least one line for every dream situation its English
// entries hold (those left out not counted): the counts, numbers only, are
// in miller-situations.tsv.
TEST(BundledData, EveryEnglishSituationHasItsLine)
{
    const Book *b = bookNamed(kTranslated);
    ASSERT_NE(b, nullptr);
    QFile f(QStringLiteral(SOMNEX_TEST_DATA_DIR "/miller-situations.tsv"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    std::map<QString, int> lines;
    for (const BookEntry &e : b->source.entries)
        lines[e.headword] = int(interpretationLines(e).size());
    Findings f1("entries with fewer lines than their English situations");
    int rows = 0, situations = 0;
    for (const QString &row : QString::fromUtf8(f.readAll()).split(u'\n')) {
        if (row.isEmpty() || row.startsWith(u'#'))
            continue;
        const QStringList cols = row.split(u'\t');
        ASSERT_EQ(cols.size(), 2) << s(row);
        ++rows;
        situations += cols[1].toInt();
        const auto it = lines.find(cols[0]);
        if (it == lines.end())
            f1.add(QStringLiteral("«%1» is no headword of the book").arg(cols[0]));
        else if (it->second < cols[1].toInt())
            f1.add(QStringLiteral("«%1»: %2 lines, %3 situations").arg(cols[0]).arg(it->second).arg(cols[1]));
    }
    EXPECT_EQ(rows, int(b->source.entries.size())) << "a count for every entry";
    EXPECT_GE(situations, kMinTranslatedLines);
}
