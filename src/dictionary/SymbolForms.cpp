#include "dictionary/SymbolForms.h"

#include "dictionary/WordIndex.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <array>
#include <initializer_list>

namespace somnex::dictionary {

namespace {

constexpr QStringView kVowels = u"аеёиоуыэюя";

QString cat(QStringView a, QStringView b)
{
    QString s;
    s.reserve(a.size() + b.size());
    s.append(a);
    s.append(b);
    return s;
}

bool isVowel(QChar c)
{
    return kVowels.contains(c);
}

bool isVelar(QChar c)
{
    return c == u'г' || c == u'к' || c == u'х';
}

bool isHushing(QChar c)
{
    return c == u'ж' || c == u'ш' || c == u'ч' || c == u'щ';
}

bool isConsonant(QChar c)
{
    return c.isLetter() && !isVowel(c) && c != u'ь' && c != u'ъ' && c != u'й';
}

// Borrowed words that never decline; a generated "метра" or "кину" would be
// another word altogether.
bool isIndeclinable(QStringView w)
{
    static const std::array<QStringView, 30> words = {u"кафе",   u"кофе",   u"кино",    u"метро",    u"пианино",
                                                      u"казино", u"такси",  u"радио",   u"пальто",   u"узи",
                                                      u"шоссе",  u"меню",   u"кенгуру", u"какао",    u"депо",
                                                      u"эскимо", u"пюре",   u"бюро",    u"жюри",     u"кимоно",
                                                      u"лото",   u"домино", u"видео",   u"фото",     u"купе",
                                                      u"желе",   u"ателье", u"табло",   u"шимпанзе", u"фламинго"};
    if (std::find(words.begin(), words.end(), w) != words.end())
        return true;
    // "радио", "студио": a vowel after a vowel at the end.
    return w.size() >= 3 && isVowel(w.back()) && isVowel(w[w.size() - 2]) && w.back() != u'я' && w.back() != u'е';
}

// Plural headwords whose singular is another word ("часы" – "час",
// "духи" – "дух", "цветы" – "цвет"): neither that singular nor a genitive
// plural without ending is theirs.
bool singularIsAnotherWord(QStringView w)
{
    static const std::array<QStringView, 9> words = {u"часы", u"весы", u"духи",   u"цветы", u"роды",
                                                     u"очки", u"сани", u"деньги", u"карты"};
    return std::find(words.begin(), words.end(), w) != words.end();
}

// Plural headwords with no singular of their own.
bool isPluralOnly(QStringView w)
{
    static const std::array<QStringView, 20> words = {u"санки",  u"ясли",     u"грабли",  u"вилы",    u"брюки",
                                                      u"штаны",  u"шахматы",  u"щи",      u"бусы",    u"обои",
                                                      u"качели", u"похороны", u"поминки", u"именины", u"крестины",
                                                      u"перила", u"сливки",   u"дрожжи",  u"ножницы", u"сутки"};
    return singularIsAnotherWord(w) || std::find(words.begin(), words.end(), w) != words.end();
}

// Plurals (and a few cases) the endings cannot make.
struct Irregular {
    QStringView word;
    QStringView forms; // space-separated, core
};

constexpr std::array<Irregular, 21> kIrregular = {{
    {u"брат", u"братья братьев братьям братьями братьях"},
    {u"друг", u"друзья друзей друзьям друзьями друзьях"},
    {u"сын", u"сыновья сыновей сыновьям сыновьями сыновьях"},
    {u"муж", u"мужья мужей мужьям мужьями мужьях"},
    {u"стул", u"стулья стульев стульям стульями стульях"},
    {u"дерево", u"деревья деревьев деревьям деревьями деревьях"},
    {u"перо", u"перья перьев перьям перьями перьях"},
    {u"ребенок", u"дети детей детям детьми детях"},
    {u"мать", u"матери матерью матерей матерям матерями матерях"},
    {u"дочь", u"дочери дочерью дочерей дочерям дочерями дочерьми дочерях"},
    {u"ухо", u"уши ушей ушам ушами ушах"},
    {u"небо", u"небеса небес небесам небесами небесах"},
    {u"яблоко", u"яблоки"},
    {u"облако", u"облаков"},
    {u"курица", u"куры кур курам курами курах"},
    {u"цветы", u"цветок цветка цветку цветком цветке"},
    {u"крылья", u"крыло крыла крылу крылом крыле"},
    {u"листья", u"лист листа листу листом листе"},
    {u"щенок", u"щенки щенков щенкам щенками щенках щенята щенят щенятам щенятами щенятах"},
    {u"кум", u"кумовья кумовьев кумовьям"},
    {u"сосед", u"соседи соседей соседям соседями соседях"},
}};

// Collects forms of one grade, each once.
class Sink {
public:
    explicit Sink(std::vector<WordForm> &out) : out_(out) {}
    void setDerived(bool d) { derived_ = d; }
    void add(const QString &form)
    {
        if (form.isEmpty())
            return;
        const auto it = std::find_if(out_.begin(), out_.end(), [&](const WordForm &f) { return f.text == form; });
        if (it == out_.end())
            out_.push_back({form, derived_});
        else if (!derived_)
            it->derived = false;
    }
    void endings(const QString &base, std::initializer_list<QStringView> list)
    {
        for (QStringView e : list)
            add(cat(base, e));
    }

private:
    std::vector<WordForm> &out_;
    bool derived_ = false;
};

// Genitive plural with a vowel put between the last two consonants
// ("кошк" – "кошек", "сказк" – "сказок", "копейк" – "копеек", "яйц" – "яиц",
// "деньг" – "денег"); both vowels are offered, only one is a word.
void insertFleeting(const QString &base, Sink &s)
{
    if (base.size() < 3)
        return;
    const QChar last = base.back(), before = base[base.size() - 2];
    if (!isConsonant(last))
        return;
    const QString head = base.left(base.size() - 2);
    if (before == u'й' || before == u'ь') {
        s.add(head + u'е' + last); // копеек, денег
        if (last == u'ц')
            s.add(head + u'и' + last); // яиц
    } else if (isConsonant(before)) {
        s.add(head + before + u'е' + last);
        s.add(head + before + u'о' + last);
    }
}

void hardMasculine(const QString &base, bool nominative, Sink &s)
{
    const QChar last = base.back();
    if (nominative)
        s.add(base);
    s.endings(base, {u"а", u"у", u"ом", u"е", u"ам", u"ами", u"ах"});
    s.add(cat(base, isVelar(last) || isHushing(last) ? u"и" : u"ы"));
    if (isHushing(last))
        s.endings(base, {u"ей", u"ем"});
    else
        s.add(cat(base, u"ов"));
    if (last == u'ц')
        s.endings(base, {u"ем", u"ев"});
}

// A noun in -ь whose ending shows it feminine: "месть", "жизнь", "ночь",
// "кровь" (but "гость", "тесть"). Its forms take no masculine endings, which
// would make other words ("месте" of "место").
bool isSurelyFeminine(QStringView w)
{
    if (w == u"гость" || w == u"тесть")
        return false;
    for (QStringView e : {u"сть", u"знь", u"жь", u"шь", u"чь", u"щь", u"вь"})
        if (w.endsWith(e))
            return true;
    return false;
}

void softNoun(const QString &base, bool nominative, Sink &s, bool feminine = false)
{
    if (nominative)
        s.add(base + u'ь');
    s.endings(base, {u"и", u"ей", u"ям", u"ями", u"ях", u"ью"});
    if (!feminine)
        s.endings(base, {u"я", u"ю", u"ем", u"е"});
}

// The stem of a masculine noun without its fleeting vowel: "палец" –
// "пальц", "кошелёк" – "кошельк", "заяц" – "зайц", "орёл" – "орл",
// "ветер" – "ветр", "лёд" – "льд", "рот" – "рт". Empty when the word shows
// none of these alternations.
QString fleetingMasculine(const QString &w)
{
    const qsizetype n = w.size();
    if (n == 3 && isConsonant(w[0]) && isConsonant(w[2]) && (w[1] == u'е' || w[1] == u'о'))
        return w[0] == u'л' ? QStringLiteral("ль") + w[2] : QString(w[0]) + w[2];
    if (n < 4)
        return {};
    const QChar last = w.back(), vowel = w[n - 2], before = w[n - 3];
    if (last == u'ц' && vowel == u'я')
        return w.left(n - 2) + QStringLiteral("йц");
    const bool pattern = (last == u'ц' && vowel == u'е') || (last == u'к' && (vowel == u'о' || vowel == u'е'))
                         || ((last == u'л' || last == u'р') && (vowel == u'е' || vowel == u'о'));
    if (!pattern)
        return {};
    const QString head = w.left(n - 2);
    if (isVowel(before))
        return head + u'й' + last;
    if (before == u'л' && vowel == u'е' && (last == u'ц' || last == u'к')) // палец, кошелёк
        return head + u'ь' + last;
    return head + last;
}

void masculineNoun(const QString &w, Sink &s)
{
    hardMasculine(w, true, s);
    if (w.size() >= 6 && w.endsWith(u"енок")) { // котёнок – котята
        const QString young = w.left(w.size() - 4) + QStringLiteral("ят");
        s.endings(young, {u"а", u"", u"ам", u"ами", u"ах"});
    }
    const QString fleeting = fleetingMasculine(w);
    if (!fleeting.isEmpty()) {
        s.setDerived(true);
        hardMasculine(fleeting, false, s);
        s.setDerived(false);
    }
}

void softMasculineOrFeminine(const QString &w, Sink &s)
{
    const QString base = w.left(w.size() - 1);
    softNoun(base, true, s, isSurelyFeminine(w));
    s.setDerived(true);
    const qsizetype n = base.size();
    if (n >= 3 && (base.endsWith(u"ен") || base.endsWith(u"он"))) // день – дня, огонь – огня
        softNoun(base.left(n - 2) + u'н', false, s);
    if (n >= 5 && base.endsWith(u"ел")) // кашель – кашля
        softNoun(base.left(n - 2) + u'л', false, s);
    if (n == 3 && isConsonant(base[0]) && (base[1] == u'о' || base[1] == u'е') && isConsonant(base[2]))
        s.endings(base.left(1) + base[2], {u"и", u"ей", u"ам", u"ами", u"ах"}); // вошь – вши, ложь – лжи
    if (n >= 5 && base.endsWith(u"ов")) // церковь – церкви, любовь – любви
        s.endings(base.left(n - 2) + u'в', {u"и", u"ей", u"ям", u"ями", u"ях"});
    s.setDerived(false);
}

void shortJNoun(const QString &w, Sink &s)
{
    const QString base = w.left(w.size() - 1);
    s.add(w);
    s.endings(base, {u"я", u"ю", u"ем", u"е", u"и", u"ев", u"ям", u"ями", u"ях"});
    if (w.size() >= 5 && w.endsWith(u"ей")) { // воробей – воробья
        s.setDerived(true);
        s.endings(w.left(w.size() - 2) + u'ь', {u"я", u"ю", u"ем", u"е", u"и", u"ев", u"ям", u"ями", u"ях"});
        s.setDerived(false);
    }
}

void feminineA(const QString &w, Sink &s)
{
    const QString base = w.left(w.size() - 1);
    const QChar last = base.back();
    s.endings(base, {u"а", u"е", u"у", u"ой", u"ою", u"ам", u"ами", u"ах", u""});
    s.add(cat(base, isVelar(last) || isHushing(last) ? u"и" : u"ы"));
    if (isHushing(last) || last == u'ц')
        s.endings(base, {u"ей", u"ею"});
    s.setDerived(true);
    insertFleeting(base, s);
    s.endings(base, {u"ов", u"ом"}); // a plural headword: "облаков", "глазом"
    s.setDerived(false);
}

void feminineYa(const QString &w, Sink &s)
{
    const QString base = w.left(w.size() - 1);
    const QChar last = base.back();
    s.endings(base, {u"я", u"и", u"е", u"ю", u"ей", u"ею", u"ям", u"ями", u"ях"});
    if (isVowel(last))
        s.add(base + u'й'); // армий, стай
    else if (last == u'ь')
        s.add(base.left(base.size() - 1) + QStringLiteral("ей")); // семей, свиней
    else
        s.add(base + u'ь'); // нянь, дынь
    s.setDerived(true);
    if (last == u'ь')
        s.add(base + QStringLiteral("ев"));                                            // листьев, крыльев
    if (isConsonant(last) && base.size() >= 3 && isConsonant(base[base.size() - 2])) { // вишен, деревень
        const QString head = base.left(base.size() - 1);
        for (QStringView v : {u"е", u"о"}) {
            s.add(cat(head, v) + last);
            s.add(cat(head, v) + last + u'ь');
        }
    }
    s.setDerived(false);
}

void neuterO(const QString &w, Sink &s)
{
    const QString base = w.left(w.size() - 1);
    s.endings(base, {u"о", u"а", u"у", u"ом", u"е", u"ам", u"ами", u"ах", u""});
    if (isHushing(base.back()) || base.back() == u'ц')
        s.add(base + QStringLiteral("ем"));
    s.setDerived(true);
    insertFleeting(base, s);
    s.setDerived(false);
}

void neuterE(const QString &w, Sink &s)
{
    const QString base = w.left(w.size() - 1);
    const QChar last = base.back();
    s.endings(base, {u"е", u"я", u"ю", u"ем", u"ям", u"ями", u"ях"});
    if (last == u'ц' || isHushing(last)) { // солнце, сердце, кладбище
        s.endings(base, {u"а", u"у", u"ам", u"ами", u"ах", u""});
        s.setDerived(true);
        insertFleeting(base, s);
        s.setDerived(false);
    } else if (last == u'и') { // венчание
        s.endings(base, {u"и", u"й"});
    } else if (last == u'ь') { // платье, бельё
        s.add(base + QStringLiteral("ев"));
        s.setDerived(true);
        s.endings(base.left(base.size() - 1), {u"ей", u"ий"});
        s.setDerived(false);
    } else {
        s.add(base + QStringLiteral("ей"));
    }
}

void pluralNoun(const QString &w, Sink &s)
{
    const QString base = w.left(w.size() - 1);
    const QChar last = base.back();
    s.add(w);
    s.endings(base, {u"ов", u"ев", u"ей", u"ам", u"ям", u"ами", u"ями", u"ах", u"ях"});
    if (!singularIsAnotherWord(w))
        s.add(base); // губ, ног, бус
    s.setDerived(true);
    insertFleeting(base, s);
    const bool soft = w.back() == u'и' && !isVelar(last) && !isHushing(last);
    if (soft && base.size() >= 3 && isConsonant(base[base.size() - 2])) // ногти – ноготь
        s.add(base.left(base.size() - 1) + u'о' + last + u'ь');
    if (!isPluralOnly(w)) {
        s.endings(base, {u"а", u"у", u"ом", u"е", u"ой", u"ою"});
        if (soft)
            s.endings(base, {u"ь", u"я", u"ю", u"ем", u"ью"});
    }
    s.setDerived(false);
}

enum class Gender { Masculine, Feminine, Neuter, Plural };

void adjective(const QString &w, bool inPhrase, Sink &s)
{
    const QString base = w.left(w.size() - 2);
    const QStringView ending = QStringView(w).right(2);
    Gender g = Gender::Masculine;
    if (ending == u"ая" || ending == u"яя")
        g = Gender::Feminine;
    else if (ending == u"ое" || ending == u"ее")
        g = Gender::Neuter;
    else if (ending == u"ые" || ending == u"ие")
        g = Gender::Plural;
    s.add(w);
    // A feminine or neuter one alone names a room or a dish ("детская",
    // "мороженое"); its plural is the adjective ("детские страхи").
    if (inPhrase || g == Gender::Masculine || g == Gender::Plural)
        s.endings(base, {u"ые", u"ие", u"ых", u"их", u"ым", u"им", u"ыми", u"ими"});
    switch (g) {
    case Gender::Feminine: s.endings(base, {u"ой", u"ей", u"ую", u"юю", u"ою", u"ею"}); break;
    case Gender::Masculine:
    case Gender::Neuter: s.endings(base, {u"ого", u"его", u"ому", u"ему", u"ом", u"ем"}); break;
    case Gender::Plural: break;
    }
}

bool isVerb(QStringView w)
{
    for (QStringView e : {u"ться", u"тись", u"нуть", u"ывать", u"ивать"})
        if (w.size() > e.size() + 1 && w.endsWith(e))
            return true;
    return false;
}

// Past tense and, for "-нуть", the present: "тонула", "тону",
// "заблудилась".
void verb(const QString &w, Sink &s)
{
    s.add(w);
    const bool reflexive = w.endsWith(u"ся") || w.endsWith(u"сь");
    const QString stem = w.left(w.size() - (reflexive ? 4 : 2)); // without "ть(ся)"
    for (QStringView e : {u"л", u"ла", u"ло", u"ли"}) {
        const QString past = cat(stem, e);
        s.add(reflexive ? cat(past, e == u"л" ? u"ся" : u"сь") : past);
    }
    if (stem.endsWith(u"ну")) {
        const QString present = stem.left(stem.size() - 1);
        for (QStringView e : {u"у", u"ешь", u"ет", u"ем", u"ете", u"ут"})
            s.add(reflexive ? cat(cat(present, e), e == u"у" || e == u"ут" ? u"сь" : u"ся") : cat(present, e));
    }
}

void addIrregular(const QString &w, Sink &s)
{
    for (const Irregular &ir : kIrregular)
        if (ir.word == w)
            for (QStringView f : ir.forms.split(u' '))
                s.add(f.toString());
}

// "имя" – "имени", "время" – "времени".
void neuterMya(const QString &w, Sink &s)
{
    const QString base = w.left(w.size() - 1) + QStringLiteral("ен");
    s.add(w);
    s.endings(base, {u"и", u"ем", u"а", u"", u"ам", u"ами", u"ах"});
}

// The last letters of words that decline (a consonant too).
constexpr QStringView kDeclining = u"аяоеыиьй";

void inflectOne(const QString &w, bool inPhrase, Sink &s)
{
    const QChar last = w.back();
    const bool declines = w.size() >= 2 && !isIndeclinable(w) && (isConsonant(last) || kDeclining.contains(last));
    if (!declines) {
        s.add(w);
    } else if (w.size() >= 3 && w.endsWith(u"мя")) {
        neuterMya(w, s);
    } else if (isVerb(w)) {
        verb(w, s);
    } else if (isAdjectival(w) && !w.endsWith(u"ие")) {
        adjective(w, inPhrase, s);
    } else if (last == u'а') {
        feminineA(w, s);
    } else if (last == u'я') {
        feminineYa(w, s);
    } else if (last == u'о') {
        neuterO(w, s);
    } else if (last == u'е') {
        neuterE(w, s);
    } else if (last == u'ь') {
        softMasculineOrFeminine(w, s);
    } else if (last == u'й') {
        shortJNoun(w, s);
    } else if (last == u'ы' || last == u'и') {
        pluralNoun(w, s);
    } else {
        masculineNoun(w, s);
    }
    addIrregular(w, s);
}

// The diminutives people tell a dream with ("свечку", "корзинка",
// "крестик", "паучок"), made the regular way: a feminine noun in -а takes
// -ка (after ц and х softened: "птица" – "птичка", "муха" – "мушка"; not
// after к and г, whose diminutives mean other things: "ручка", "ножка"), a
// masculine noun -ик, or -чок after к ("паук" – "паучок").
QStringList diminutives(const QString &w)
{
    if (w.size() < 3 || isIndeclinable(w) || isVerb(w) || isAdjectival(w))
        return {};
    const QChar last = w.back();
    if (last == u'а' && isConsonant(w[w.size() - 2])) {
        QString base = w.left(w.size() - 1);
        const QChar c = base.back();
        if (c == u'к' || c == u'г')
            return {};
        if (c == u'ц')
            base.back() = u'ч';
        else if (c == u'х')
            base.back() = u'ш';
        if (base.size() >= 2 && isConsonant(base[base.size() - 2]) && base[base.size() - 2] != base.back()
            && base.back() != u'ч' && base.back() != u'ж' && base.back() != u'ш')
            return {}; // "звезда", "сумка": no -ка after two consonants
        return {base + QStringLiteral("ка")};
    }
    if (isConsonant(last) && last != u'й') {
        if (last == u'к')
            return {w.left(w.size() - 1) + QStringLiteral("чок")};
        if (last == u'г' || last == u'х' || last == u'ц')
            return {};
        return {w + QStringLiteral("ик")};
    }
    return {};
}

// The forms of one word, each part of a hyphenated word inflected on its
// own ("бабу-ягу", "жар-птицей"). A lone noun's diminutives are derived
// forms of it.
std::vector<WordForm> inflect(const QString &w, bool inPhrase = false)
{
    std::vector<WordForm> out;
    Sink sink(out);
    const QStringList parts = w.split(u'-', Qt::SkipEmptyParts);
    if (parts.size() <= 1) {
        inflectOne(w, inPhrase, sink);
        if (!inPhrase) {
            sink.setDerived(true);
            for (const QString &d : diminutives(w))
                inflectOne(d, false, sink);
            sink.setDerived(false);
        }
        return out;
    }
    std::vector<WordForm> combined = {{QString(), false}};
    for (const QString &part : parts) {
        std::vector<WordForm> own;
        Sink partSink(own);
        inflectOne(part, inPhrase, partSink);
        std::vector<WordForm> next;
        for (const WordForm &a : combined)
            for (const WordForm &b : own)
                next.push_back({a.text.isEmpty() ? b.text : a.text + u'-' + b.text, a.derived || b.derived});
        combined = std::move(next);
    }
    for (const WordForm &f : combined) {
        sink.setDerived(f.derived);
        sink.add(f.text);
    }
    return out;
}

// A word as written, split like the text is (letters and digits, a hyphen
// between letters kept).
QStringList splitWords(QStringView text)
{
    QStringList words;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool hyphen = c == u'-' && !current.isEmpty() && i + 1 < text.size() && text[i + 1].isLetterOrNumber();
        if (c.isLetterOrNumber() || hyphen) {
            current += c;
        } else if (!current.isEmpty()) {
            words.append(current);
            current.clear();
        }
    }
    if (!current.isEmpty())
        words.append(current);
    return words;
}

} // namespace

bool isAdjectival(QStringView w)
{
    if (w.size() < 4)
        return false;
    const QStringView e = w.right(2);
    for (QStringView a : {u"ый", u"ий", u"ой", u"ая", u"яя", u"ое", u"ее", u"ые", u"ие"})
        if (e == a)
            return true;
    return false;
}

std::vector<std::vector<WordForm>> headwordForms(QStringView headword)
{
    const QStringList written = splitWords(headword);
    std::vector<std::vector<WordForm>> out;
    bool headSeen = false;
    for (const QString &word : written) {
        const QString folded = foldWord(word);
        const bool name = headSeen && word.front().isUpper();
        if (headSeen && !name) {
            out.push_back({{folded, false}});
            continue;
        }
        out.push_back(inflect(folded, written.size() > 1));
        // In a phrase the head noun is the first word that is no adjective
        // (nor a possessive like "божья").
        if (written.size() > 1 && !isAdjectival(folded) && !folded.endsWith(u"ья"))
            headSeen = true;
    }
    return out;
}

const std::vector<Alias> &symbolAliases()
{
    static const std::vector<Alias> aliases = [] {
        struct Source {
            QStringView headword;
            QStringView word;
            QStringView extra; // forms the endings cannot make
        };
        const Source sources[] = {
            {u"мать", u"мама", u""},
            {u"отец", u"папа", u""},
            {u"дочь", u"дочка", u""},
            {u"ванна", u"ванная", u""},   // the room of the bath
            {u"серьги", u"сережка", u""}, // its diminutive changes the г
            {u"беременность", u"беременная", u"беременна беременны беременный беременным беременного"},
            // a thing of gold is gold's: "нашла золотое кольцо"
            {u"золото", u"",
             u"золотой золотая золотое золотые золотую золотого золотом золотым золотыми золотых "
             u"золотому"},
            // a verb the endings of nouns would take for a noun's
            {u"копать", u"",
             u"копать копаю копает копаешь копаем копаете копают копала копал копали копало копаться "
             u"копалась копался копались выкопать выкопала выкопал откопать откопала откопал"},
        };
        std::vector<Alias> out;
        for (const Source &src : sources) {
            Alias a{src.headword, src.word.isEmpty() ? std::vector<WordForm>() : inflect(src.word.toString())};
            for (QStringView f : src.extra.split(u' ', Qt::SkipEmptyParts))
                a.forms.push_back({f.toString(), false});
            out.push_back(std::move(a));
        }
        return out;
    }();
    return aliases;
}

} // namespace somnex::dictionary
