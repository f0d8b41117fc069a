// The line ranker on small entries: what happened in the dream picks the
// line, negation counts against, nearer words count more, and the scores
// keep their bands.
#include "dictionary/LineRanker.h"

#include <gtest/gtest.h>

using namespace somnex::dictionary;

namespace {

// The ranked lines' texts, best first.
QStringList order(const std::vector<RankedLine> &ranked)
{
    QStringList out;
    for (const RankedLine &r : ranked)
        out << situationOf(r.text).toString();
    return out;
}

// Ranks lines for the first place the symbol's word stands in the dream.
std::vector<RankedLine> rankFor(const QString &dream, const QString &symbolWord, const QString &headword,
                                const QStringList &lines)
{
    const qsizetype at = dream.indexOf(symbolWord);
    EXPECT_GE(at, 0) << symbolWord.toStdString();
    return DreamText(dream).rank(at, symbolWord.size(), headword, lines);
}

const QStringList kDog = {
    QStringLiteral("Приснилась собака – к другу."),
    QStringLiteral("Собака укусила – к обиде от близкого."),
    QStringLiteral("Собака гонится за вами – к старому долгу."),
    QStringLiteral("Белая собака пришла к крыльцу – к новому приятелю."),
};

} // namespace

TEST(LineRanker, TheSituationIsThePartBeforeTheMeaning)
{
    EXPECT_EQ(situationOf(u"Собака гонится за вами – к долгу."), u"Собака гонится за вами");
    EXPECT_EQ(situationOf(u"Кошка во сне — к хитрости"), u"Кошка во сне");
    EXPECT_EQ(situationOf(u"Видеть, как собаки гонят лисиц, означает оживление в делах."),
              u"Видеть, как собаки гонят лисиц");
    EXPECT_EQ(situationOf(u"Если у вас выпадает один зуб, это предвещает неприятные известия."),
              u"Если у вас выпадает один зуб");
    EXPECT_EQ(situationOf(u"Если вам снится, что вы в аду, вы поддадитесь искушениям."),
              u"Если вам снится, что вы в аду");
    EXPECT_EQ(situationOf(u"Баба-яга пугает детей"), u"Баба-яга пугает детей");
    EXPECT_EQ(situationOf(u"Клетка снится, когда жизнь кажется тесной."), u"Клетка");
    // what the meaning is given under is part of the situation, in a line without a dash
    const auto guests = rankFor(QStringLiteral("Гуляла на свадьбе, гости веселились."), QStringLiteral("свадьбе"),
                                QStringLiteral("Свадьба"),
                                {QStringLiteral("Видеть свадьбу в церкви означает перемены."),
                                 QStringLiteral("Видеть свадьбу означает радость, если гости веселы."),
                                 QStringLiteral("Свадьба в деревне – к урожаю, если гости не ссорились.")});
    EXPECT_EQ(guests[0].index, 1);
    EXPECT_EQ(guests[0].matched, (QStringList{QStringLiteral("гости"), QStringLiteral("веселы")}));
    ASSERT_EQ(guests[0].spans.size(), 2u);
    EXPECT_EQ(guests[0].text.mid(guests[0].spans[1].first, guests[0].spans[1].second), u"веселы");
    EXPECT_LT(guests[2].score, kGeneralLineScore) << "after a dash, an «если» is the advice's";
    // a condition the dream does not tell leaves a general line general
    const auto boat = rankFor(QStringLiteral("Мы рыбачили с лодки."), QStringLiteral("лодки"), QStringLiteral("Лодка"),
                              {QStringLiteral("Лодка во сне предвещает удачу, если она плывёт по чистой воде.")});
    EXPECT_DOUBLE_EQ(boat[0].score, kGeneralLineScore);
    EXPECT_EQ(situationOf(u"Церковь снится тем, кто ищет опору."), u"Церковь");
    EXPECT_EQ(situationOf(u"Сны о море предвещают несбывшиеся ожидания."), u"Сны о море");
    EXPECT_EQ(situationOf(u"Видеть во сне лес приносит перемену в делах."), u"Видеть во сне лес");
    EXPECT_EQ(situationOf(u"  "), u"");
}

TEST(LineRanker, WhatHappenedPicksTheLineAndTheBandsHold)
{
    const auto ranked = rankFor(QStringLiteral("Снилось, что за мной гналась чёрная собака."), QStringLiteral("собака"),
                                QStringLiteral("Собака"), kDog);
    ASSERT_EQ(ranked.size(), 4u);
    EXPECT_EQ(order(ranked),
              (QStringList{QStringLiteral("Собака гонится за вами"), QStringLiteral("Приснилась собака"),
                           QStringLiteral("Собака укусила"), QStringLiteral("Белая собака пришла к крыльцу")}));
    EXPECT_EQ(ranked[0].matched, QStringList{QStringLiteral("гонится")});
    ASSERT_EQ(ranked[0].spans.size(), 1u);
    EXPECT_EQ(ranked[0].text.mid(ranked[0].spans[0].first, ranked[0].spans[0].second), QStringLiteral("гонится"));
    EXPECT_GT(ranked[0].score, kGeneralLineScore);
    EXPECT_DOUBLE_EQ(ranked[1].score, kGeneralLineScore);
    EXPECT_LT(ranked[2].score, kGeneralLineScore);
    // lines with nothing of the dream keep the book's order
    EXPECT_EQ(ranked[2].index, 1);
    EXPECT_EQ(ranked[3].index, 3);
    for (const RankedLine &r : ranked) {
        EXPECT_GE(r.score, 0.0);
        EXPECT_LE(r.score, 1.0);
    }
}

TEST(LineRanker, FormsAspectsAndSynonymsMatch)
{
    EXPECT_TRUE(synonymous(u"гналась", u"преследовала"));
    EXPECT_TRUE(synonymous(u"гонится", u"догоняла"));
    EXPECT_TRUE(synonymous(u"Умерший", u"покойная"));
    EXPECT_TRUE(synonymous(u"выпал", u"выпадают"));
    EXPECT_FALSE(synonymous(u"собака", u"кошка"));
    EXPECT_FALSE(synonymous(u"упала", u"укусила"));

    const QStringList teeth = {QStringLiteral("Зуб шатается – к шаткому делу."),
                               QStringLiteral("Зубы выпадают – к страху потерь."),
                               QStringLiteral("Гнилой зуб – к заботе.")};
    EXPECT_EQ(situationOf(rankFor(QStringLiteral("У меня выпал передний зуб."), QStringLiteral("зуб"),
                                  QStringLiteral("Зубы"), teeth)[0]
                              .text),
              u"Зубы выпадают");
    const QStringList dead = {QStringLiteral("Покойник молчит – к перемене погоды."),
                              QStringLiteral("Покойная мать зовёт к себе – к болезни.")};
    EXPECT_EQ(situationOf(rankFor(QStringLiteral("Приснилась умершая мама, она звала меня."), QStringLiteral("мама"),
                                  QStringLiteral("Мать"), dead)[0]
                              .text),
              u"Покойная мать зовёт к себе");
}

TEST(LineRanker, WordsOfOneSituationMatchLooserThanSynonyms)
{
    // "плакала" is no synonym of "печальна", but tells the same of a mother
    const auto crying =
        rankFor(QStringLiteral("Приснилась мать, она тихо плакала."), QStringLiteral("мать"), QStringLiteral("Мать"),
                {QStringLiteral("Мать во сне – к заботе."), QStringLiteral("Мать печальна – к тревоге."),
                 QStringLiteral("Мать плачет – к слезам.")});
    EXPECT_EQ(order(crying), (QStringList{QStringLiteral("Мать плачет"), QStringLiteral("Мать печальна"),
                                          QStringLiteral("Мать во сне")}));
    EXPECT_GT(crying[1].score, kGeneralLineScore);
    EXPECT_FALSE(synonymous(u"плакала", u"печальна")) << "a concept is not a synonym";
}

TEST(LineRanker, SaidWithNotItCountsAgainst)
{
    const auto notBitten =
        rankFor(QStringLiteral("Собака лаяла на меня, но не укусила."), QStringLiteral("Собака"),
                QStringLiteral("Собака"),
                {QStringLiteral("Собака укусила – к обиде."), QStringLiteral("Приснилась собака – к другу."),
                 QStringLiteral("Собака лает на вас – к пересудам.")});
    EXPECT_EQ(order(notBitten), (QStringList{QStringLiteral("Собака лает на вас"), QStringLiteral("Приснилась собака"),
                                             QStringLiteral("Собака укусила")}));
    const auto bleeding = rankFor(QStringLiteral("Выпал зуб с кровью."), QStringLiteral("зуб"), QStringLiteral("Зубы"),
                                  {QStringLiteral("Выпал зуб без крови – к разлуке."),
                                   QStringLiteral("Выпал зуб с кровью – к тревоге за родню.")});
    EXPECT_EQ(bleeding[0].index, 1);
    EXPECT_GT(bleeding[0].score, bleeding[1].score);
    // past a modal and a pronoun the negation reaches what did not happen; "не было" ends it
    const auto unread = rankFor(QStringLiteral("Мне пришло письмо, но я никак не могу его прочитать."),
                                QStringLiteral("письмо"), QStringLiteral("Письмо"),
                                {QStringLiteral("Читать письмо – к новостям."),
                                 QStringLiteral("Не можете прочесть письмо – к недоразумению.")});
    EXPECT_EQ(unread[0].index, 1);
    const auto noBlood =
        rankFor(QStringLiteral("Выпал зуб, крови не было, я держала его в руке."), QStringLiteral("зуб"),
                QStringLiteral("Зубы"),
                {QStringLiteral("Выпал зуб с кровью – к тревоге."), QStringLiteral("Держать зуб в руке – к заботе.")});
    EXPECT_EQ(noBlood[0].index, 1) << "«держала» is not negated by «не было»";
    EXPECT_EQ(noBlood[0].matched, QStringList({"Держать", "руке"}));
    // "пока не потушила" says until when: the fire was put out
    const auto putOut =
        rankFor(QStringLiteral("Я долго тушила огонь, пока наконец не потушила."), QStringLiteral("огонь"),
                QStringLiteral("Огонь"),
                {QStringLiteral("Ровное пламя – к покою."), QStringLiteral("Потушить огонь – к избавлению.")});
    EXPECT_EQ(putOut[0].index, 1);
    EXPECT_TRUE(putOut[0].matched.contains(QStringLiteral("Потушить")));
    // "ни за что" is for nothing: the dreamer was put in prison
    const auto prison =
        rankFor(QStringLiteral("Меня ни за что посадили в тюрьму."), QStringLiteral("тюрьму"), QStringLiteral("Тюрьма"),
                {QStringLiteral("Видеть тюрьму – к переменам."),
                 QStringLiteral("Если вас заключили в тюрьму, это к хлопотам.")});
    EXPECT_EQ(prison[0].index, 1);
    EXPECT_GT(prison[0].score, kGeneralLineScore);
}

TEST(LineRanker, ThingsNotDoneAndOnlyTriedMeanWhatTheyComeTo)
{
    // "не успела" is the line's "опоздать", said plainly
    const QStringList train = {QStringLiteral("Ехать в поезде – к дороге."),
                               QStringLiteral("Успеть на поезд – к удаче."),
                               QStringLiteral("Опоздать на поезд – к упущенному случаю.")};
    const auto late = rankFor(QStringLiteral("Я бежала по перрону, но на поезд так и не успела."),
                              QStringLiteral("поезд"), QStringLiteral("Поезд"), train);
    EXPECT_EQ(situationOf(late[0].text), u"Опоздать на поезд");
    EXPECT_LT(late[2].score, kGeneralLineScore) << "«Успеть» is said the other way";
    // a door that would not open is a closed one
    const auto closed =
        rankFor(QStringLiteral("Дверь никак не открывалась."), QStringLiteral("Дверь"), QStringLiteral("Дверь"),
                {QStringLiteral("Открытая настежь дверь – к гостям."),
                 QStringLiteral("Закрытая дверь – к препятствию.")});
    EXPECT_EQ(closed[0].index, 1);
    // tried, it may or may not have come off: no line is said against
    const auto tried = rankFor(QStringLiteral("Я пыталась дозвониться маме, но телефон молчал."),
                               QStringLiteral("телефон"), QStringLiteral("Телефон"),
                               {QStringLiteral("Разбить телефон – к ссоре."),
                                QStringLiteral("Не дозвониться – к тревоге о близких.")});
    EXPECT_EQ(tried[0].index, 1);
    EXPECT_GT(tried[0].score, kGeneralLineScore);
}

TEST(LineRanker, WhereTheStoryTurnsAndTheWordsKinAcrossEndings)
{
    // "а он весь подгорел" is the point of the dream, not the baking
    const auto pie =
        rankFor(QStringLiteral("Я испекла пирог, а он весь подгорел."), QStringLiteral("пирог"),
                QStringLiteral("Пирог"),
                {QStringLiteral("Печь пирог – к гостям."), QStringLiteral("Подгоревший пирог – к досаде.")});
    EXPECT_EQ(pie[0].index, 1);
    // with the symbol in the turn, what it came to still outweighs the start
    const auto hair =
        rankFor(QStringLiteral("Я расчёсываюсь, а волосы клочьями лезут."), QStringLiteral("волосы"),
                QStringLiteral("Волосы"),
                {QStringLiteral("Расчёсываться – к порядку."), QStringLiteral("Волосы лезут – к потере сил.")});
    EXPECT_EQ(hair[0].index, 1);
    // the symbol's own adjective says less than what it did
    const auto dove = rankFor(QStringLiteral("Прилетел белый голубь и стучит в стекло."), QStringLiteral("голубь"),
                              QStringLiteral("Голубь"),
                              {QStringLiteral("Белый голубь – к миру."), QStringLiteral("Голубь стучит – к вести.")});
    EXPECT_EQ(dove[0].index, 1);
    // short stems that begin alike ("лежу", "лежать"), endings the stemmer leaves apart ("грызла", "грызёт"),
    // a prefix that is only a first letter ("сердится", "рассердился")
    const struct {
        const char16_t *dream, *symbol, *headword, *line;
    } kin[] = {
        {u"Я лежу в гробу.", u"гробу", u"Гроб", u"Лежать в гробу – к долгой жизни."},
        {u"Белка грызла орех.", u"Белка", u"Белка", u"Белка грызёт – к хлопотам."},
        {u"Отец на меня рассердился.", u"Отец", u"Отец", u"Отец сердится – к ссоре."},
    };
    for (const auto &k : kin) {
        const auto r = rankFor(QString::fromUtf16(k.dream), QString::fromUtf16(k.symbol),
                               QString::fromUtf16(k.headword), {QString::fromUtf16(k.line)});
        EXPECT_GT(r[0].score, kGeneralLineScore) << QString::fromUtf16(k.dream).toStdString();
    }
    // a word of the headword's own group is the symbol, not a situation: the line is a general one
    const auto birth = rankFor(QStringLiteral("У меня начались роды."), QStringLiteral("роды"), QStringLiteral("Роды"),
                               {QStringLiteral("Роды у соседки – к хлопотам."),
                                QStringLiteral("Если вам снится, что вы рожаете, это к радости.")});
    EXPECT_EQ(birth[0].index, 1);
    EXPECT_DOUBLE_EQ(birth[0].score, kGeneralLineScore);
    // a word that only begins like the symbol is a situation of its own: "кукует" is no Кукушка
    const auto cuckoo =
        rankFor(QStringLiteral("Кукушка всё кукует."), QStringLiteral("Кукушка"), QStringLiteral("Кукушка"),
                {QStringLiteral("Слышать кукушку – к долгой жизни."), QStringLiteral("Кукушка кукует – к вестям.")});
    EXPECT_EQ(cuckoo[0].index, 1);
    EXPECT_EQ(cuckoo[0].matched, QStringList{QStringLiteral("кукует")});
}

TEST(LineRanker, HowManyAndWhoseCount)
{
    const auto kittens =
        rankFor(QStringLiteral("Кошка принесла пятерых котят."), QStringLiteral("котят"), QStringLiteral("Котёнок"),
                {QStringLiteral("Котёнок ласкается – к хлопотам."), QStringLiteral("Много котят – к мелким заботам.")});
    EXPECT_EQ(kittens[0].index, 1);
    const QStringList wedding = {QStringLiteral("Видеть свадьбу – к переменам."),
                                 QStringLiteral("Чужая свадьба – к радости за других."),
                                 QStringLiteral("Своя свадьба – к новой главе жизни.")};
    EXPECT_EQ(rankFor(QStringLiteral("Снилась моя свадьба."), QStringLiteral("свадьба"), QStringLiteral("Свадьба"),
                      wedding)[0]
                  .index,
              2);
    EXPECT_EQ(rankFor(QStringLiteral("Гуляла на свадьбе у подруги."), QStringLiteral("свадьбе"),
                      QStringLiteral("Свадьба"), wedding)[0]
                  .index,
              1);
    // "свой" is the dreamer's only in a clause of "я" or "мы": the neighbour's own is another's
    const QStringList pregnancy = {QStringLiteral("Своя беременность – к прибавлению."),
                                   QStringLiteral("Чужая беременность – к вестям.")};
    EXPECT_EQ(rankFor(QStringLiteral("Соседка хвасталась своей беременностью, а я завидовала."),
                      QStringLiteral("беременностью"), QStringLiteral("Беременность"), pregnancy)[0]
                  .index,
              1);
    EXPECT_EQ(rankFor(QStringLiteral("Я узнала про свою беременность."), QStringLiteral("беременность"),
                      QStringLiteral("Беременность"), pregnancy)[0]
                  .index,
              0);
    // told without "я", one's own flat is still one's own
    EXPECT_EQ(rankFor(QStringLiteral("Подошла к своей квартире, а ключ не подходит."), QStringLiteral("квартире"),
                      QStringLiteral("Квартира"),
                      {QStringLiteral("Чужая квартира – к переменам."), QStringLiteral("Своя квартира – к покою.")})[0]
                  .index,
              1);
}

TEST(LineRanker, WhatAStoryToldInOtherWordsComesTo)
{
    // one who "is no more" has died; a train that "ушёл без меня" was missed; "не поймала" let it go
    const auto mother = rankFor(QStringLiteral("Приснилась мать, которой нет уже три года."), QStringLiteral("мать"),
                                QStringLiteral("Мать"),
                                {QStringLiteral("Видеть во сне мать – к добрым вестям."),
                                 QStringLiteral("Умершая мать приходит во сне – к перемене погоды.")});
    EXPECT_EQ(mother[0].index, 1);
    const auto train = rankFor(QStringLiteral("Я стояла на перроне, а поезд ушёл без меня."), QStringLiteral("поезд"),
                               QStringLiteral("Поезд"),
                               {QStringLiteral("Стоять на станции – к ожиданию."),
                                QStringLiteral("Опоздать на поезд – к упущенному случаю.")});
    EXPECT_EQ(train[0].index, 1);
    const auto mice =
        rankFor(QStringLiteral("По кухне бегали мыши, но я ни одной не поймала."), QStringLiteral("мыши"),
                QStringLiteral("Мышь"),
                {QStringLiteral("Видеть мышей – к хлопотам."), QStringLiteral("Упустить мышь – к досаде.")});
    EXPECT_EQ(mice[0].index, 1);
    // what the next sentence says of "он" is said of the symbol: the tooth fell out
    const auto tooth =
        rankFor(QStringLiteral("У меня зашатался зуб. Я тронула его языком, и он выпал."), QStringLiteral("зуб"),
                QStringLiteral("Зубы"),
                {QStringLiteral("Зуб шатается – к неуверенности."), QStringLiteral("Зубы выпадают – к утрате.")});
    EXPECT_EQ(tooth[0].index, 1);
    // "не смогла открыть" is a closed door, though "открыть" and "закрытая" share a root
    const auto door =
        rankFor(QStringLiteral("Захлопнулась дверь, и я не смогла её открыть."), QStringLiteral("дверь"),
                QStringLiteral("Дверь"),
                {QStringLiteral("Стук в дверь – к вести."), QStringLiteral("Закрытая дверь – к препятствию.")});
    EXPECT_EQ(door[0].index, 1);
    EXPECT_GT(door[0].score, kGeneralLineScore);
    // what a thief does is no thief: "украл" is a situation of Вор
    const auto thief =
        rankFor(QStringLiteral("Ночью воры украли мои серьги."), QStringLiteral("воры"), QStringLiteral("Вор"),
                {QStringLiteral("Вор лезет в дом – к прибыли."), QStringLiteral("Вор украл ваше добро – к потере.")});
    EXPECT_EQ(thief[0].index, 1);
    // a line beginning with "Есть" tells of eating
    const auto honey =
        rankFor(QStringLiteral("Я сидела и ела мёд."), QStringLiteral("мёд"), QStringLiteral("Мёд"),
                {QStringLiteral("Руки в мёде – к хлопотам."), QStringLiteral("Есть мёд ложкой – к радости.")});
    EXPECT_EQ(honey[0].index, 1);
    // "друг на друга" is each other, no "другие"
    const auto sister = rankFor(QStringLiteral("Мы с сестрой кричали друг на друга."), QStringLiteral("сестрой"),
                                QStringLiteral("Сестра"),
                                {QStringLiteral("Видеть во сне сестру – к вестям."),
                                 QStringLiteral("Сестра с другими людьми – к ревности.")});
    EXPECT_EQ(sister[0].index, 0);
    // whom one did not know is a stranger
    const auto funeral =
        rankFor(QStringLiteral("Снились похороны, а кого хоронят, я так и не поняла."), QStringLiteral("похороны"),
                QStringLiteral("Похороны"),
                {QStringLiteral("Видеть похороны – к переменам."), QStringLiteral("Похороны незнакомца – к вестям.")});
    EXPECT_EQ(funeral[0].index, 1);
    // named again later, the symbol is near what happened there too
    const auto candle = rankFor(QStringLiteral("Я поставила свечу перед иконой. Свеча вдруг погасла."),
                                QStringLiteral("свечу"), QStringLiteral("Свеча"),
                                {QStringLiteral("Ставить свечу перед иконой – к исполнению просьбы."),
                                 QStringLiteral("Свеча погасла – к печали.")});
    EXPECT_EQ(candle[0].index, 1);
    // waves are no storm
    const auto sea =
        rankFor(QStringLiteral("Море было спокойное, волны набегали на песок."), QStringLiteral("Море"),
                QStringLiteral("Море"),
                {QStringLiteral("Шторм на море – к тревогам."), QStringLiteral("Спокойное море – к миру в семье.")});
    EXPECT_EQ(sea[0].index, 1);
}

TEST(LineRanker, TheDreamsOwnWordInAnotherFormIsTheSymbol)
{
    // "котята" is the "котят" that named the symbol: no situation of its own
    const auto kittens = rankFor(QStringLiteral("Кошка окотилась и притащила слепых котят."), QStringLiteral("котят"),
                                 QStringLiteral("Котёнок"),
                                 {QStringLiteral("Видеть котят – к мелким досадам."),
                                  QStringLiteral("Котята грязные – к неприятностям.")});
    EXPECT_EQ(kittens[0].index, 0);
    EXPECT_DOUBLE_EQ(kittens[0].score, kGeneralLineScore);
    // "человек" tells nothing of whom; the time of year tells a situation
    const auto funeral = rankFor(QStringLiteral("Я на похоронах незнакомого человека."), QStringLiteral("похоронах"),
                                 QStringLiteral("Похороны"),
                                 {QStringLiteral("Похороны близкого человека – к долгой жизни."),
                                  QStringLiteral("Похороны незнакомца – к переменам.")});
    EXPECT_EQ(funeral[0].index, 1);
    const auto snow =
        rankFor(QStringLiteral("Посреди лета вдруг пошёл снег."), QStringLiteral("снег"), QStringLiteral("Снег"),
                {QStringLiteral("Белый снег – к урожаю."), QStringLiteral("Снег летом – к удаче.")});
    EXPECT_EQ(snow[0].index, 1);
    EXPECT_GT(snow[0].score, kGeneralLineScore);
}

TEST(LineRanker, NearerWordsCountMore)
{
    // "белый" is said of the cat in another sentence, "лаяла" of the dog itself
    const auto ranked = rankFor(QStringLiteral("Белый кот сидел у дома. Потом собака долго лаяла."),
                                QStringLiteral("собака"), QStringLiteral("Собака"),
                                {QStringLiteral("Белая собака – к помощи."), QStringLiteral("Собака лает – к спору.")});
    EXPECT_EQ(order(ranked), (QStringList{QStringLiteral("Собака лает"), QStringLiteral("Белая собака")}));
    EXPECT_GT(ranked[1].score, kGeneralLineScore) << "a word of the dream's other sentence still counts";
}

TEST(LineRanker, OddInputRanksWithoutFault)
{
    // no words at all, a position beyond the text, emoji and Latin letters
    for (const QString &dream :
         {QString(), QStringLiteral("😀😀 🐕"), QStringLiteral("dog chased me 123"), QStringLiteral("собака")}) {
        const DreamText text(dream);
        for (const qsizetype at : {qsizetype(0), qsizetype(3), qsizetype(1000)}) {
            const auto ranked =
                text.rank(at, 6, QStringLiteral("Собака"), kDog + QStringList{QString(), QStringLiteral("–")});
            EXPECT_EQ(ranked.size(), 5u) << "empty lines are left out, a bare dash is kept";
            for (const RankedLine &r : ranked) {
                EXPECT_GE(r.score, 0.0);
                EXPECT_LE(r.score, 1.0);
            }
        }
    }
}
