// The symbol finder's rules on a small word list: the ordinary words the
// word finder's forms take to wrong headwords, homographs of verbs and
// nouns, function words, phrases, positions in any text, and finding again
// after an edit.
#include "dictionary/SymbolFinder.h"
#include "dictionary/WordIndex.h"
#include "support/QtPrint.h"

#include <gtest/gtest.h>

using namespace somnex;

namespace {

const char *const kHeadwords[] = {
    "Баба-яга", "Бег",    "Бельё",   "Вилка",       "Вина",          "Вино",         "Волк",
    "Грибы",    "Гроб",   "Дверь",   "Деверь",      "День рождения", "Деньги",       "Долг",
    "Дорога",   "Друг",   "Ель",     "Заблудиться", "Зеркало",       "Змей Горыныч", "Змея",
    "Зубы",     "Кит",    "Кольцо",  "Корова",      "Кот",           "Котёнок",      "Кровать",
    "Кровь",    "Лев",    "Лес",     "Лето",        "Лёд",           "Мать",         "Машина",
    "Месть",    "Моль",   "Монах",   "Мыло",        "Надежда",       "Ночь",         "Обручальное кольцо",
    "Огонь",    "Один",   "Отец",    "Палец",       "Печь",          "Пила",         "Пожарный",
    "Пол",      "Поле",   "Пыль",    "Рана",        "Ребёнок",       "Свет",         "Соль",
    "Сорока",   "Стекло", "Таракан", "Тонуть",      "Три",           "Утро",         "Часы",
    "Церковь",  "Еда",    "Яйцо",    "Имя",         "Семья",         "Семь",         "Детская",
    "Война",    "Ворота", "Уж",      "Цветы",       "Вошь",          "Облако",       "Кладбище",
    "Ванна",    "Серьги", "Золото",  "Копать",      "Купол",         "Сосед",
};

dictionary::WordIndex makeIndex()
{
    std::vector<QString> words;
    for (const char *w : kHeadwords)
        words.push_back(QString::fromUtf8(w));
    dictionary::WordIndex index;
    index.addRun(std::move(words));
    index.finish();
    return index;
}

struct Fixture {
    dictionary::WordIndex index = makeIndex();
    dictionary::SymbolFinder finder;
    Fixture() { finder.build(index); }

    // The marks of a text as "words=Headword", the headword the mark's first.
    QStringList marks(const QString &text) const
    {
        QStringList out;
        for (const dictionary::SymbolMark &m : finder.find(text))
            out << text.mid(m.start, m.length) + u'=' + index.word(m.item);
        return out;
    }
};

const Fixture &fixture()
{
    static const Fixture f;
    return f;
}

struct Case {
    const char *text;
    std::vector<const char *> marks;
};

QStringList expected(const Case &c)
{
    QStringList out;
    for (const char *m : c.marks)
        out << QString::fromUtf8(m);
    return out;
}

} // namespace

// Every pair the word finder's forms join is kept apart, and the headword's
// own forms are found.
TEST(SymbolFinder, OrdinaryWordsAreNoFormsOfLookalikeHeadwords)
{
    const Case cases[] = {
        {"Меня разбудил монах.", {"монах=Монах"}},
        {"Он был там, она была тут, всё было белое.", {}},
        {"На верёвке сохло бельё.", {"бельё=Бельё"}},
        {"Ничего не было, только ночь.", {"ночь=Ночь"}},
        {"Я ела суп под старой елью.", {"елью=Ель"}},
        {"Она пила чай и долго молчала.", {}},
        {"Кровь текла по руке.", {"Кровь=Кровь"}},
        {"Волк выл, я искала вилку.", {"Волк=Волк", "вилку=Вилка"}},
        {"Я видела гроб, а рядом грибы.", {"гроб=Гроб", "грибы=Грибы"}},
        {"Муж ловил рыбу и поймал льва.", {"льва=Лев"}},
        {"Дверь открыл деверь.", {"Дверь=Дверь", "деверь=Деверь"}},
        {"Кот смотрел на кита.", {"Кот=Кот", "кита=Кит"}},
        {"Я долго отдавала долги.", {"долги=Долг"}},
        {"На этом месте он задумал месть.", {"месть=Месть"}},
        {"Я мылась без мыла.", {"мыла=Мыло"}},
        {"Она мыла пол, а на поле пыль.", {"пол=Пол", "поле=Поле", "пыль=Пыль"}},
        {"Мы ели торт у ели.", {"ели=Ель"}},
        {"Я встала рано, рана болела.", {"рана=Рана"}},
        {"Я солю огурцы и молю о пощаде, а моль ест шубу.", {"моль=Моль"}},
        {"Один раз три года назад мне было десять лет.", {}},
        {"Я бегом бежала, а мой кот спал.", {"кот=Кот"}},
        {"Имей в виду, имени я не знала.", {"имени=Имя"}},
        {"Семь раз я видела всю семью.", {"семью=Семья"}},
        {"Через час детские страхи ушли, в детской стало тихо.", {"детской=Детская"}},
        {"Старый воин стоял у ворот.", {"ворот=Ворота"}},
        {"Цвет был синий, цветок завял.", {"цветок=Цветы"}},
        {"Уж я видела ужа.", {"ужа=Уж"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(fixture().marks(QString::fromUtf8(c.text)), expected(c)) << c.text;
}

// A word that is a verb as often as a noun is decided by its neighbours.
TEST(SymbolFinder, VerbAndNounHomographsByTheirNeighbours)
{
    const Case cases[] = {
        {"Ржавая пила лежала на полу.", {"пила=Пила", "полу=Пол"}},
        {"Я взяла пилу.", {"пилу=Пила"}},
        {"Кусок мыла упал.", {"мыла=Мыло"}},
        {"Мама стала печь пироги.", {"Мама=Мать"}},
        {"В углу стояла печь.", {"печь=Печь"}},
        {"Разбилось стекло.", {"стекло=Стекло"}},
        {"Вода стекла по стене.", {}},
        {"Я еду на машине.", {"машине=Машина"}},
        {"Она готовила вкусную еду.", {"еду=Еда"}},
        {"Я хотела лечь.", {}},
        {"Я купила дорогой подарок и шла за дорогой.", {"дорогой=Дорога"}},
        {"В пять часов утра я увидела часы.", {"часы=Часы"}},
        {"Было утро.", {"утро=Утро"}},
        {"Подруга Света включила свет.", {"свет=Свет"}},
        {"Мы смотрели друг на друга, а мой друг смеялся.", {"друг=Друг"}},
        {"Приехала пожарная машина, вышел пожарный.", {"машина=Машина", "пожарный=Пожарный"}},
        {"Под кроватью сидел таракан.", {"кроватью=Кровать", "таракан=Таракан"}},
        {"Я тонула в реке, потом заблудилась.", {"тонула=Тонуть", "заблудилась=Заблудиться"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(fixture().marks(QString::fromUtf8(c.text)), expected(c)) << c.text;
}

// Forms with a fleeting vowel, irregular plurals, phrases: the longest wins.
TEST(SymbolFinder, FormsAndTheLongestPhrase)
{
    const Case cases[] = {
        {"Мне подарили обручальное кольцо.", {"обручальное кольцо=Обручальное кольцо"}},
        {"Кольцо упало, обручальное.", {"Кольцо=Кольцо"}},
        {"На дне рождения были котята.", {"дне рождения=День рождения", "котята=Котёнок"}},
        {"За Бабой-ягой гнался Змей Горыныч, а змея ползла.",
         {"Бабой-ягой=Баба-яга", "Змей Горыныч=Змей Горыныч", "змея=Змея"}},
        {"Пальцы у огня, кусок льда, звон церкви.", {"Пальцы=Палец", "огня=Огонь", "льда=Лёд", "церкви=Церковь"}},
        {"Десяток яиц, нет денег, дети у отца.", {"яиц=Яйцо", "денег=Деньги", "дети=Ребёнок", "отца=Отец"}},
        {"Выпал один зуб, в лесу тараканов нет.", {"зуб=Зубы", "лесу=Лес", "тараканов=Таракан"}},
        {"Я беременна, мама рада.", {"мама=Мать"}},
        // one headword where books differ in number: "Вошь" or "Вши", "Облако" or "Облака"
        {"В волосах вши, а в небе много облаков.", {"вши=Вошь", "облаков=Облако"}},
        {"Я шла по кладбищу, потом мылась в ванной.", {"кладбищу=Кладбище", "ванной=Ванна"}},
        // a diminutive that changes its г
        {"Я потеряла серёжку и кольцо.", {"серёжку=Серьги", "кольцо=Кольцо"}},
        // a thing of gold is gold's, a colour is not; a verb whose endings a noun's would not make
        {"Я копала и нашла золотое кольцо.", {"копала=Копать", "золотое=Золото", "кольцо=Кольцо"}},
        {"Светились золотые купола, что-то золотое блестело.", {"купола=Купол"}},
        {"У соседей был пожар.", {"соседей=Сосед"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(fixture().marks(QString::fromUtf8(c.text)), expected(c)) << c.text;
}

// A large index is inflected on two cores: what it finds is what the
// same headwords find in a small one.
TEST(SymbolFinder, ALargeIndexFindsWhatASmallOneDoes)
{
    std::vector<QString> words;
    for (const char *w : kHeadwords)
        words.push_back(QString::fromUtf8(w));
    // made-up nouns that share no form with the headwords above
    const QString letters = QStringLiteral("бвгджзклмнпрстфхцчшщ");
    for (QChar a : letters)
        for (QChar b : letters)
            for (QChar c : QStringLiteral("ыэю"))
                words.push_back(QStringLiteral("Ъ") + a + c + b + QStringLiteral("ух"));
    ASSERT_GE(words.size(), 1000u);
    dictionary::WordIndex index;
    index.addRun(std::move(words));
    index.finish();
    dictionary::SymbolFinder large;
    large.build(index);
    const QString text = QStringLiteral("За Бабой-ягой гнался Змей Горыныч, а в лесу котята, серёжку и кольцо нашла "
                                        "я, копала у соседей, и обручальное кольцо упало.");
    QStringList found;
    for (const dictionary::SymbolMark &m : large.find(text))
        found << text.mid(m.start, m.length) + u'=' + index.word(m.item);
    EXPECT_EQ(found, fixture().marks(text));
    EXPECT_GE(found.size(), 8);
}

TEST(SymbolFinder, DiminutivesAreFormsOfTheirNoun)
{
    dictionary::WordIndex index;
    std::vector<QString> words;
    for (const char *w : {"Дом", "Домик", "Звезда", "Корзина", "Крест", "Паук", "Птица", "Рука", "Свеча"})
        words.push_back(QString::fromUtf8(w));
    index.addRun(std::move(words));
    index.finish();
    dictionary::SymbolFinder finder;
    finder.build(index);
    const auto marked = [&](const QString &text) {
        QStringList out;
        for (const dictionary::SymbolMark &m : finder.find(text))
            out << text.mid(m.start, m.length) + u'=' + index.word(m.item);
        return out;
    };
    EXPECT_EQ(marked(QStringLiteral("Я поставила свечку, нашла крестик с паучком, а в корзинке пела птичка.")),
              QStringList({"свечку=Свеча", "крестик=Крест", "паучком=Паук", "корзинке=Корзина", "птичка=Птица"}));
    EXPECT_EQ(marked(QStringLiteral("Я держала ручку, в окне домик.")), QStringList({"домик=Домик"}))
        << "a diminutive that means another thing is no form; one that is a headword is that headword";
}

TEST(SymbolFinder, AMarkNamesEveryHeadwordOfItsForm)
{
    const QString text = QStringLiteral("Бокал вина, и вино кончилось.");
    const std::vector<dictionary::SymbolMark> marks = fixture().finder.find(text);
    ASSERT_EQ(marks.size(), 2u);
    const dictionary::WordIndex &ix = fixture().index;
    EXPECT_EQ(ix.word(marks[0].item), QStringLiteral("Вина")); // the headword written so comes first
    ASSERT_EQ(marks[0].items.size(), 2u);
    EXPECT_EQ(ix.word(marks[0].items[1]), QStringLiteral("Вино"));
    EXPECT_EQ(marks[1].items, std::vector<int>{ix.indexOf(QStringLiteral("Вино"))});
}

// Positions are UTF-16 units of the text as given, whatever stands around
// the words: emoji (surrogate pairs), NUL, a combining stress mark.
TEST(SymbolFinder, PositionsInAnyText)
{
    const QString smile = QString::fromUcs4(U"\U0001F600"), snake = QString::fromUcs4(U"\U0001F40D");
    QString text = smile + QStringLiteral("кот") + QChar(u'\0') + QStringLiteral("в лесу") + snake
                   + QStringLiteral("зе\u0301ркало") + QChar(u'\0');
    const std::vector<dictionary::SymbolMark> marks = fixture().finder.find(text);
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[0].start, 2);
    EXPECT_EQ(marks[0].length, 3);
    EXPECT_EQ(text.mid(marks[1].start, marks[1].length), QStringLiteral("лесу"));
    EXPECT_EQ(text.mid(marks[2].start, marks[2].length), QStringLiteral("зе\u0301ркало"));
    EXPECT_EQ(fixture().index.word(marks[2].item), QStringLiteral("Зеркало"));

    // A lone surrogate or a text of nothing but separators finds nothing and breaks nothing.
    EXPECT_TRUE(fixture().finder.find(QString(QChar(0xD83D)) + QStringLiteral("кот")).size() == 1);
    EXPECT_TRUE(fixture().finder.find(QStringLiteral(" \t\n.,!")).empty());
    EXPECT_TRUE(fixture().finder.find(QString()).empty());
}

TEST(SymbolFinder, EmptyFinderFindsNothing)
{
    dictionary::SymbolFinder finder;
    EXPECT_TRUE(finder.empty());
    EXPECT_TRUE(finder.find(QStringLiteral("Кот в лесу")).empty());
    finder.build(dictionary::WordIndex());
    EXPECT_TRUE(finder.empty());
    EXPECT_TRUE(finder.find(QStringLiteral("Кот в лесу"), 0, 3).empty());
}

// Finding again around an edit gives what finding in the whole text gives.
TEST(SymbolFinder, RangeAroundAnEditMatchesTheWholeText)
{
    const QString text = QStringLiteral("Я пришла в лес. Там сидел кот!\nОн ел торт, а ржавая пила лежала у ели… "
                                        "Подруга Света пила вино? Обручальное\nкольцо упало, обручальное кольцо.");
    const std::vector<dictionary::SymbolMark> whole = fixture().finder.find(text);
    for (qsizetype from = 0; from <= text.size(); from += 3) {
        const qsizetype to = std::min(text.size(), from + 5);
        dictionary::SymbolFinder::Range range;
        const std::vector<dictionary::SymbolMark> part = fixture().finder.find(text, from, to, &range);
        std::vector<dictionary::SymbolMark> expectedMarks;
        for (const dictionary::SymbolMark &m : whole)
            if (m.start >= range.start && m.start < range.end)
                expectedMarks.push_back(m);
        EXPECT_EQ(part, expectedMarks) << "edit at " << from;
        EXPECT_LE(range.start, from);
        EXPECT_GE(range.end, to);
    }
}
