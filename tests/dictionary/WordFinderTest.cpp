#include "dictionary/BookSchema.h"
#include "dictionary/BookSource.h"
#include "dictionary/TextIndex.h"
#include "dictionary/WordFinder.h"
#include "dictionary/WordIndex.h"
#include "support/QtPrint.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace somnex;

namespace {

// Headwords of the kind dream books have, in no particular order.
const char *const kHeadwords[] = {
    "Аист",     "Арбуз",    "Бабочка",  "Бабушка",  "Баня",        "Белка",    "Беременность", "Берёза",
    "Блины",    "Болото",   "Борода",   "Брат",     "Бриллиант",   "Бык",      "Ведро",        "Венок",
    "Верблюд",  "Вещи",     "Вино",     "Вишня",    "Вода",        "Волк",     "Волосы",       "Ворона",
    "Вор",      "Врач",     "Гадюка",   "Глаза",    "Гора",        "Гроб",     "Гром",         "Груша",
    "Гусь",     "Двери",    "Дерево",   "Деньги",   "Дети",        "Дождь",    "Дом",          "Дорога",
    "Драка",    "Дракон",   "Дым",      "Дятел",    "Ёж",          "Ёлка",     "Жаба",         "Железная дорога",
    "Жених",    "Жук",      "Заяц",     "Звезда",   "Зеркало",     "Змея",     "Золото",       "Зонт",
    "Зубы",     "Игла",     "Икона",    "Кладбище", "Ключ",        "Книга",    "Ковёр",        "Коза",
    "Кольцо",   "Корова",   "Кот",      "Кошка",    "Кровь",       "Крыса",    "Кукла",        "Курица",
    "Лес",      "Лестница", "Лиса",     "Лодка",    "Лошадь",      "Луна",     "Лягушка",      "Мать",
    "Медведь",  "Мёд",      "Молоко",   "Море",     "Мост",        "Муравей",  "Муха",         "Мышь",
    "Мясо",     "Нож",      "Обезьяна", "Огонь",    "Окно",        "Орёл",     "Паук",         "Пожар",
    "Покойник", "Полиция",  "Поцелуй",  "Птица",    "Пчела",       "Пистолет", "Река",         "Ребёнок",
    "Роза",     "Рыба",     "Самолёт",  "Свадьба",  "Свинья",      "Сердце",   "Собака",       "Солнце",
    "Стол",     "Таракан",  "Телефон",  "Тигр",     "Туфли",       "Утка",     "Цветы",        "Церковь",
    "Чай",      "Часы",     "Червь",    "Шуба",     "Щука",        "Яблоко",   "Яйцо",         "Ягоды",
    "Ящерица",  "Экзамен",  "Хлеб",     "Хлев",     "Холодильник", "Сова",     "Сон",          "Сок",
    "Сом",      "Сыр",      "Сын",      "Корабль",
};

dictionary::WordIndex makeIndex()
{
    std::vector<QString> words;
    for (const char *w : kHeadwords)
        words.push_back(QString::fromUtf8(w));
    std::sort(words.begin(), words.end(),
              [](const QString &a, const QString &b) { return dictionary::compareHeadwords(a, b) < 0; });
    dictionary::WordIndex index;
    index.addRun(std::move(words));
    index.finish();
    return index;
}

struct Case {
    const char *typed;
    const char *meant;
};

// What people type, and the headword they mean.
const Case kForms[] = {
    {"зубами", "Зубы"},
    {"зуб", "Зубы"},
    {"змеи", "Змея"},
    {"змей", "Змея"},
    {"змею", "Змея"},
    {"кошки", "Кошка"},
    {"кошку", "Кошка"},
    {"кошкой", "Кошка"},
    {"тараканов", "Таракан"},
    {"тараканы", "Таракан"},
    {"в лесу", "Лес"},
    {"лесом", "Лес"},
    {"собаки", "Собака"},
    {"собакой", "Собака"},
    {"с собакой", "Собака"},
    {"крысы", "Крыса"},
    {"крыс", "Крыса"},
    {"пауки", "Паук"},
    {"пауков", "Паук"},
    {"мыши", "Мышь"},
    {"мышей", "Мышь"},
    {"волков", "Волк"},
    {"волки", "Волк"},
    {"рыбу", "Рыба"},
    {"рыбы", "Рыба"},
    {"рыбой", "Рыба"},
    {"на море", "Море"},
    {"в море", "Море"},
    {"кольца", "Кольцо"},
    {"кольцом", "Кольцо"},
    {"о кольце", "Кольцо"},
    {"деньгами", "Деньги"},
    {"денег", "Деньги"},
    {"детей", "Дети"},
    {"о детях", "Дети"},
    {"мостом", "Мост"},
    {"по мосту", "Мост"},
    {"зеркале", "Зеркало"},
    {"в зеркале", "Зеркало"},
    {"лошади", "Лошадь"},
    {"лошадей", "Лошадь"},
    {"яйца", "Яйцо"},
    {"яиц", "Яйцо"},
    {"пчёлы", "Пчела"},
    {"пчелы", "Пчела"},
    {"ежи", "Ёж"},
    {"в церкви", "Церковь"},
    {"воду", "Вода"},
    {"в воде", "Вода"},
    {"волосами", "Волосы"},
    {"цветов", "Цветы"},
    {"самолёте", "Самолёт"},
    {"на самолете", "Самолёт"},
    {"поцелуи", "Поцелуй"},
    {"пожара", "Пожар"},
    {"свадьбе", "Свадьба"},
    {"на свадьбе", "Свадьба"},
    {"по лестнице", "Лестница"},
    {"медведя", "Медведь"},
    {"мухи", "Муха"},
    {"муравьи", "Муравей"},
    {"жабы", "Жаба"},
    {"лягушки", "Лягушка"},
    {"гроба", "Гроб"},
    {"в гробу", "Гроб"},
    {"ключи", "Ключ"},
    {"ножом", "Нож"},
    {"книги", "Книга"},
};

const Case kTypos[] = {
    {"зеркла", "Зеркало"},     {"зеркалл", "Зеркало"},
    {"таракн", "Таракан"},     {"сабака", "Собака"},
    {"кошька", "Кошка"},       {"змия", "Змея"},
    {"лягшка", "Лягушка"},     {"бабочко", "Бабочка"},
    {"мдведь", "Медведь"},     {"беремнность", "Беременность"},
    {"свадба", "Свадьба"},     {"похар", "Пожар"},
    {"кладбишче", "Кладбище"}, {"лестнеца", "Лестница"},
    {"обезяна", "Обезьяна"},   {"холодилник", "Холодильник"},
    {"покойнек", "Покойник"},  {"жеених", "Жених"},
    {"кровь", "Кровь"},        {"шубба", "Шуба"},
};

// Texts that mean no headword at all.
const char *const kNothing[] = {
    "абракадабра", "синхрофазотрон",
    "фывапролдж",  "экзистенциализм",
    "кварк",       "бюрократия",
    "щщщщщ",       "ъъъ",
    "!!!",         "...",
    "12345",       "кошkа",
    "zzzzz",       "интеграл",
    "электричка",  "дифференциал",
    "парашютист",  "\x01\x02кот",
    "ьььь",        "ыыы",
};

} // namespace

TEST(WordFinder, FindsFormsAndSpellingsOfRealHeadwords)
{
    const dictionary::WordIndex index = makeIndex();
    dictionary::WordFinder finder;
    finder.build(index);

    int first = 0, withinFive = 0, total = 0;
    QStringList misses;
    const auto check = [&](const Case &c) {
        ++total;
        const auto found = finder.suggest(QString::fromUtf8(c.typed));
        const QString meant = QString::fromUtf8(c.meant);
        for (size_t k = 0; k < found.size(); ++k) {
            if (index.word(found[k].item) == meant) {
                ++withinFive;
                if (k == 0)
                    ++first;
                else
                    misses << QStringLiteral("%1 → %2 (place %3)").arg(QString::fromUtf8(c.typed), meant).arg(k + 1);
                return;
            }
        }
        misses << QStringLiteral("%1 → %2 (not found)").arg(QString::fromUtf8(c.typed), meant);
    };
    for (const Case &c : kForms)
        check(c);
    for (const Case &c : kTypos)
        check(c);
    std::printf("word finder: %d of %d first, %d within five\n", first, total, withinFive);
    for (const QString &m : misses)
        std::printf("  %s\n", m.toUtf8().constData());
    EXPECT_GE(total, 80);
    EXPECT_GE(first * 100, total * 90);
    EXPECT_GE(withinFive * 100, total * 98);

    for (const char *text : kNothing)
        EXPECT_TRUE(finder.suggest(QString::fromUtf8(text)).empty()) << text;
}

TEST(WordFinder, KindsOrderAndBadInput)
{
    const dictionary::WordIndex index = makeIndex();
    dictionary::WordFinder finder;
    finder.build(index);

    // An exact headword (case and ё/е aside) comes first and is the only exact.
    auto found = finder.suggest(u"ЕЛКА");
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(index.word(found[0].item), QStringLiteral("Ёлка"));
    EXPECT_EQ(found[0].kind, dictionary::Suggestion::Exact);

    // Forms come before spellings: "сом" is a headword of its own; "сома"
    // is its form, and "сок", "сон", "сова" only spellings.
    found = finder.suggest(u"сома");
    ASSERT_GE(found.size(), 2u);
    EXPECT_EQ(index.word(found[0].item), QStringLiteral("Сом"));
    EXPECT_EQ(found[0].kind, dictionary::Suggestion::Form);
    for (size_t k = 1; k < found.size(); ++k)
        EXPECT_EQ(found[k].kind, dictionary::Suggestion::Spelling) << index.word(found[k].item).toStdString();
    EXPECT_LE(found.size(), 5u);

    // A short word takes one slip only: "хлек" is one from "Хлеб" and "Хлев".
    found = finder.suggest(u"хлек");
    QStringList words;
    for (const auto &s : found)
        words << index.word(s.item);
    EXPECT_TRUE(words.contains(QStringLiteral("Хлеб")));
    EXPECT_TRUE(words.contains(QStringLiteral("Хлев")));
    EXPECT_TRUE(finder.suggest(u"хлдк").empty()); // two slips in four letters

    EXPECT_EQ(index.word(finder.bestMatch(u"тараканов")), QStringLiteral("Таракан"));
    EXPECT_EQ(finder.bestMatch(u"Таракан"), -1); // a headword itself is not a "best match"
    EXPECT_EQ(finder.bestMatch(u"синхрофазотрон"), -1);

    // Nothing here may crash, hang or suggest.
    EXPECT_TRUE(finder.suggest(QString(10000, u'а')).empty());
    EXPECT_TRUE(finder.suggest(QString(10000, u'!')).empty());
    EXPECT_TRUE(finder.suggest(u"").empty());
    EXPECT_TRUE(finder.suggest(u"   ").empty());
    EXPECT_TRUE(finder.suggest(QStringLiteral("кот\u200bкот")).empty());

    dictionary::WordFinder none;
    EXPECT_TRUE(none.suggest(u"кот").empty());
}

TEST(WordFinder, EditDistanceCountsTranspositionsOnce)
{
    EXPECT_EQ(dictionary::editDistance(u"кошка", u"кошка", 2), 0);
    EXPECT_EQ(dictionary::editDistance(u"кошка", u"кшока", 2), 1);
    EXPECT_EQ(dictionary::editDistance(u"зеркла", u"зеркало", 2), 2);
    EXPECT_EQ(dictionary::editDistance(u"а", u"бвгд", 2), 3); // capped at limit + 1
    EXPECT_EQ(dictionary::editDistance(u"", u"аб", 2), 2);
}

TEST(TextIndex, FindsEveryQueryWordInAnyFormAndRanksByBooksAndHits)
{
    const auto makeBook = [&](const QString &name, const QString &source) {
        const auto parsed = dictionary::parseBookSource(source.toUtf8(), name);
        return dictionary::DBEngine::instance()
            .OpenDatabaseImage(dictionary::buildBookImage(parsed.content), name)
            .OpenRecordset(dictionary::kBookTable);
    };
    std::vector<dictionary::TextSource> books;
    books.push_back({QStringLiteral("Первый"),
                     makeBook(QStringLiteral("one"), QStringLiteral("name: Первый\nheading: Первый\n\n"
                                                                    "== Свадьба\nНадеть кольцо на палец – к помолвке.\n"
                                                                    "Потерять кольцо – к ссоре. Кольца блестят.\n\n"
                                                                    "== Палец\nПорезать палец о кольцо – к досаде.\n\n"
                                                                    "== Река\nПлыть по реке – к дороге.\n"))});
    books.push_back(
        {QStringLiteral("Второй"),
         makeBook(QStringLiteral("two"), QStringLiteral("name: Второй\nheading: Второй\n\n"
                                                        "== Палец\nЗолотое кольцо на пальце – к богатству.\n\n"
                                                        "== Свадьба\nГулять на свадьбе – к радости.\n"))});
    const dictionary::TextIndex index = dictionary::TextIndex::build(std::move(books));
    EXPECT_EQ(index.entryCount(), 5u);

    // "кольцо" in any form: Палец is in two books, Свадьба has more hits in one.
    auto hits = index.search(u"кольцами");
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].headword, QStringLiteral("Палец"));
    EXPECT_EQ(hits[0].books, QStringList({QStringLiteral("Первый"), QStringLiteral("Второй")}));
    EXPECT_EQ(hits[1].headword, QStringLiteral("Свадьба"));
    EXPECT_EQ(hits[1].hits, 3);
    EXPECT_TRUE(hits[1].snippet.contains(QStringLiteral("кольцо"))) << hits[1].snippet.toStdString();

    // Every word must be there; little words do not count.
    hits = index.search(u"кольцо на пальце");
    ASSERT_EQ(hits.size(), 2u);
    hits = index.search(u"золотое кольцо");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].headword, QStringLiteral("Палец"));
    EXPECT_EQ(hits[0].books, QStringList({QStringLiteral("Второй")}));
    EXPECT_TRUE(index.search(u"кольцо трамвай").empty());
    EXPECT_EQ(index.search(u"по реке").size(), 1u);

    EXPECT_TRUE(index.search(u"").empty());
    EXPECT_TRUE(index.search(u"!!!").empty());
    EXPECT_TRUE(index.search(QString(10000, u'к')).empty());
    EXPECT_TRUE(index.search(u"кольцо\x01").empty());
    EXPECT_LT(index.bytesHeld(), 4096u);

    std::atomic<bool> cancel{true};
    EXPECT_TRUE(dictionary::TextIndex::build({}, &cancel).empty());
}

TEST(TextIndex, FoldsLettersAndKeepsManyDistinctWordsApart)
{
    // Far more distinct words than the index's word table starts with, so it
    // grows while the texts are read; each made-up word is in one entry only.
    const QString letters = QStringLiteral("бвгджзклмнпрстфхцчшщ");
    const auto madeUp = [&](int n) {
        QString w = QStringLiteral("ю");
        for (int k = 0; k < 4; ++k, n /= int(letters.size()))
            w += letters[n % letters.size()] + QStringLiteral("а");
        return w;
    };
    QString source = QStringLiteral("name: Много\nheading: Много\n\n");
    constexpr int kEntries = 60, kPerEntry = 1000;
    for (int e = 0; e < kEntries; ++e) {
        source += QStringLiteral("== Статья %1\n").arg(e, 3, 10, QLatin1Char('0'));
        for (int k = 0; k < kPerEntry; ++k)
            source += madeUp(e * kPerEntry + k) + u' ';
        source += u'\n';
    }
    source += QStringLiteral("== Ёлка\nЁЖИК под ёлкой, PARIS 42, Ўзвар.\n");
    const auto parsed = dictionary::parseBookSource(source.toUtf8(), QStringLiteral("many"));
    std::vector<dictionary::TextSource> books;
    books.push_back({QStringLiteral("Много"),
                     dictionary::DBEngine::instance()
                         .OpenDatabaseImage(dictionary::buildBookImage(parsed.content), QStringLiteral("many"))
                         .OpenRecordset(dictionary::kBookTable)});
    const dictionary::TextIndex index = dictionary::TextIndex::build(std::move(books));
    ASSERT_EQ(index.entryCount(), size_t(kEntries + 1));

    for (const int n : {0, 1, 999, 1000, 30517, 49151, 49152, 59999}) {
        const auto hits = index.search(madeUp(n));
        ASSERT_EQ(hits.size(), 1u) << n;
        EXPECT_EQ(hits[0].headword, QStringLiteral("Статья %1").arg(n / kPerEntry, 3, 10, QLatin1Char('0')));
    }
    // Letter case and ё fold away; Latin words are words too.
    for (const char16_t *query : {u"ежик", u"ЕЛКОЙ", u"paris", u"ўзвар"})
        EXPECT_EQ(index.search(query).size(), 1u) << QString::fromUtf16(query).toStdString();
    EXPECT_TRUE(index.search(u"юбаба").empty());
}
