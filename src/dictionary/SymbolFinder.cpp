#include "dictionary/SymbolFinder.h"

#include "dictionary/SymbolForms.h"
#include "dictionary/WordFinder.h"

#include <QScopeGuard>

#include <algorithm>
#include <array>
#include <exception>
#include <thread>
#include <unordered_set>

namespace somnex::dictionary {

namespace {

template <size_t N>
bool among(const std::array<QStringView, N> &words, QStringView w)
{
    return std::find(words.begin(), words.end(), w) != words.end();
}

// Pronouns in all their cases, the forms of "быть", prepositions,
// conjunctions, particles, numerals, interjections and the adverbs a report
// is told with. Several are forms of headwords too: "лет" (Лето), "ночью"
// (Ночь), "сорок" (Сорока), "три", "семь", "один" (the numbers), "бегом"
// (Бег), "мой" (an imperative).
const std::unordered_set<QString> &functionWords()
{
    static const std::unordered_set<QString> words = [] {
        const QStringView lists[] = {
            // personal and reflexive pronouns
            u"я меня мне мной мною ты тебя тебе тобой тобою он его него ему нему им ним нем она ее нее ей ней ею ",
            u"нею оно мы нас нам нами вы вас вам вами они их них ими ними себя себе собой собою",
            // possessive, demonstrative, determinative
            u"мой моя мое мою моего моей моему моим моих мои моими твой твоя твое твою твоего твоей твоему твоим ",
            u"твоих твои твоими свой своя свое свою своего своей своему своим своих свои своими наш наша наше ",
            u"нашу нашего нашей нашему нашим наших наши нашими ваш ваша ваше вашу вашего вашей вашему вашим ",
            u"ваших ваши вашими этот эта это эту этого этой этому этим этих эти этими тот та то ту того той тому ",
            u"тем тех те теми такой такая такое такую такого таких такие таким сам сама само сами самого самой ",
            u"самому самим самих весь вся все всю всего всей всему всем всех всеми каждый каждая каждое каждую ",
            u"каждого каждой любой другой другая другое другую другого других другие другим",
            // interrogative, relative, negative, indefinite
            u"кто кого кому кем ком что чего чему чем чем какой какая какое какую какого какие каких каким ",
            u"который которая которое которую которого которой которые которых чей чья чье чьи никто никого ",
            u"ничто ничего ничем никакой нигде никогда никуда некто нечто кто-то что-то какой-то какая-то ",
            u"какое-то какие-то где-то куда-то когда-то кто-нибудь что-нибудь где куда откуда когда почему ",
            u"зачем как сколько столько",
            // быть and the modal words
            u"быть был была было были буду будешь будет будем будете будут будь есть нет можно нельзя надо ",
            u"нужно нужна нужен нужны должен должна должно должны",
            // prepositions
            u"в во на с со к ко по о об обо у за из изо от ото до под подо над надо при про без безо для через ",
            u"сквозь перед передо после около возле вокруг вдоль среди между мимо против ради из-за из-под ",
            u"внутри внутрь вместо кроме",
            // conjunctions and particles
            u"и а но или либо да чтобы чтоб если хотя будто словно тоже также ни не же ли бы вот вон уж уже ",
            u"еще даже только лишь именно просто прямо ведь разве неужели пусть то-есть",
            // adverbs a report is told with
            u"очень так тут там здесь туда сюда оттуда отсюда потом затем тогда сейчас теперь вдруг снова опять ",
            u"почти совсем всегда иногда давно долго скоро сразу вместе немного много мало чуть слишком вообще ",
            u"наверное кажется конечно еле едва почему-то зачем-то куда-то отчего",
            // adverbs of time made of nouns, and a count of years
            u"ночью утром вечером днем зимой летом весной осенью сегодня вчера завтра лет бегом",
            // numerals
            u"ноль один одна одно одного одной одному одним одну одни одних два две двух двум двумя три трех ",
            u"трем тремя четыре четырех пять шесть семь восемь девять десять одиннадцать двенадцать тринадцать ",
            u"двадцать тридцать сорок пятьдесят сто полтора",
            // interjections
            u"ой ах ох эх ну ага угу мда ого",
        };
        std::unordered_set<QString> out;
        for (QStringView list : lists)
            for (QStringView w : list.split(u' ', Qt::SkipEmptyParts))
                out.insert(w.toString());
        return out;
    }();
    return words;
}

const std::array<QStringView, 10> kPersonalPronouns = {u"я",  u"ты", u"он",  u"она",  u"оно",
                                                       u"мы", u"вы", u"они", u"сама", u"сам"};

// Words that put an infinitive after them ("стала печь").
const std::array<QStringView, 34> kGovernors = {u"стал",  u"стала",  u"стали",  u"начал",      u"начала",    u"начали",
                                                u"решил", u"решила", u"решили", u"хотел",      u"хотела",    u"хотели",
                                                u"любил", u"любила", u"умела",  u"умел",       u"буду",      u"будем",
                                                u"будет", u"надо",   u"нужно",  u"пора",       u"могла",     u"мог",
                                                u"могли", u"учила",  u"учил",   u"собиралась", u"собирался", u"пошла",
                                                u"пошел", u"хочу",   u"люблю",  u"умею"};

// The words of a time of day or a count ("в пять часов", "до утра").
const std::array<QStringView, 5> kTimeWords = {u"утра", u"вечера", u"ночи", u"дня", u"часов"};

// Forms of headwords that are given names too, when written with a capital
// inside a sentence ("подруга Света", "тётя Надежда").
const std::array<QStringView, 23> kNameForms = {u"света",   u"светы",    u"свете",  u"свету",   u"светой",  u"лев",
                                                u"льва",    u"льву",     u"львом",  u"надежда", u"надежды", u"надежде",
                                                u"надежду", u"надеждой", u"любовь", u"любови",  u"любовью", u"роза",
                                                u"розы",    u"розе",     u"розу",   u"розой",   u"лиля"};

bool endsAsAdjective(QStringView w)
{
    if (w.size() < 3)
        return false;
    for (QStringView e : {u"ая", u"яя", u"ую", u"юю", u"ой", u"ей",  u"ый",  u"ий",  u"ое",  u"ее", u"ые",
                          u"ие", u"ых", u"их", u"ым", u"им", u"ого", u"его", u"ому", u"ему", u"ою", u"ею"})
        if (w.endsWith(e))
            return true;
    return false;
}

bool isPreposition(QStringView w)
{
    static const std::array<QStringView, 30> words = {u"в",     u"во",    u"на",     u"с",     u"со",    u"к",
                                                      u"ко",    u"по",    u"о",      u"об",    u"у",     u"за",
                                                      u"из",    u"от",    u"до",     u"под",   u"над",   u"при",
                                                      u"про",   u"без",   u"для",    u"через", u"перед", u"после",
                                                      u"около", u"возле", u"вокруг", u"среди", u"между", u"мимо"};
    return among(words, w);
}

bool endsLine(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(QChar::ParagraphSeparator) || c == QChar(QChar::LineSeparator);
}

bool endsSentence(QChar c)
{
    return c == u'.' || c == u'!' || c == u'?' || c == u'…' || endsLine(c);
}

bool isNumeral(QStringView w)
{
    static const std::array<QStringView, 17> words = {u"ноль",       u"один",       u"два",      u"три",
                                                      u"четыре",     u"пять",       u"шесть",    u"семь",
                                                      u"восемь",     u"девять",     u"десять",   u"одиннадцать",
                                                      u"двенадцать", u"тринадцать", u"двадцать", u"сорок",
                                                      u"сто"};
    return among(words, w);
}

bool isNumber(QStringView w)
{
    static const std::array<QStringView, 16> words = {u"два",       u"две",    u"три",         u"четыре",
                                                      u"пять",      u"шесть",  u"семь",        u"восемь",
                                                      u"девять",    u"десять", u"одиннадцать", u"двенадцать",
                                                      u"несколько", u"много",  u"сколько",     u"до"};
    return !w.isEmpty() && (w.front().isDigit() || among(words, w));
}

} // namespace

struct SymbolFinder::Token {
    qsizetype start = 0;
    qsizetype end = 0;
    QString folded;
    bool capital = false;       // written with a capital letter
    bool sentenceStart = false; // nothing but spaces and an end of sentence before it
    bool joined = false;        // only spaces between it and the word before
};

struct SymbolFinder::Match {
    size_t words = 0;
    std::vector<int> phrases;
};

SymbolFinder::SymbolFinder() = default;
SymbolFinder::~SymbolFinder() = default;
SymbolFinder::SymbolFinder(SymbolFinder &&) noexcept = default;
SymbolFinder &SymbolFinder::operator=(SymbolFinder &&) noexcept = default;

bool SymbolFinder::isFunctionWord(QStringView w)
{
    return isStopWord(w) || functionWords().contains(w.toString());
}

bool SymbolFinder::isFunctionWord(const QString &w)
{
    // the same, without a copy of the word to look it up by
    return isStopWord(w) || functionWords().contains(w);
}

void SymbolFinder::addForms(int phrase, int position, const std::vector<WordForm> &forms)
{
    for (const WordForm &f : forms) {
        std::vector<Slot> &places = forms_[f.text];
        const auto same = std::find_if(places.begin(), places.end(),
                                       [&](const Slot &s) { return s.phrase == phrase && s.position == position; });
        if (same == places.end())
            places.push_back({phrase, std::uint8_t(position), f.derived});
        else
            same->derived = same->derived && f.derived;
    }
}

// A derived form gives way to a core form of another headword ("вино" is
// Вино's, not a fleeting form of Вина), and a form that is a function word
// never starts a headword ("лет" is no form of Лето here).
void SymbolFinder::dropShadowedForms()
{
    for (auto it = forms_.begin(); it != forms_.end();) {
        std::vector<Slot> &places = it->second;
        const bool core = std::any_of(places.begin(), places.end(), [](const Slot &s) { return !s.derived; });
        if (core)
            places.erase(std::remove_if(places.begin(), places.end(), [](const Slot &s) { return s.derived; }),
                         places.end());
        if (isFunctionWord(it->first))
            places.erase(std::remove_if(places.begin(), places.end(), [](const Slot &s) { return s.position == 0; }),
                         places.end());
        it = places.empty() ? forms_.erase(it) : std::next(it);
    }
}

namespace {

// From how many headwords a second core inflects half of them.
constexpr size_t kTwoCoresFrom = 500;

// The forms of the given headwords of an index, in their order. Inflecting
// is most of building a finder, and each headword's forms are its own: a
// large index is inflected on two cores.
std::vector<std::vector<std::vector<WordForm>>> inflectAll(const WordIndex &words, const std::vector<int> &items)
{
    std::vector<std::vector<std::vector<WordForm>>> made(items.size());
    const auto inflectRange = [&](size_t from, size_t to) {
        for (size_t k = from; k < to; ++k)
            made[k] = headwordForms(words.word(items[k]));
    };
    const size_t half = items.size() >= kTwoCoresFrom ? items.size() / 2 : items.size();
    std::exception_ptr failed;
    std::thread second;
    if (half < items.size())
        second = std::thread([&] {
            try {
                inflectRange(half, items.size());
            } catch (...) {
                failed = std::current_exception();
            }
        });
    {
        const auto joined = qScopeGuard([&] {
            if (second.joinable())
                second.join();
        });
        inflectRange(0, half);
    }
    if (failed)
        std::rethrow_exception(failed);
    return made;
}

} // namespace

void SymbolFinder::build(const WordIndex &words)
{
    phrases_.clear();
    forms_.clear();
    // a headword brings some thirty forms: the table is made its size at once
    forms_.reserve(size_t(words.size()) * 32);
    phrases_.reserve(size_t(words.size()));
    std::unordered_map<QString, int> byText;
    byText.reserve(size_t(words.size()));
    // the headwords to inflect: their phrase, place in the index and count of words
    std::vector<int> phraseOf, items, wordsOf;
    for (int i = 0; i < words.size(); ++i) {
        const QStringList parts = foldedWords(words.word(i));
        if (parts.isEmpty() || parts.size() > 255)
            continue;
        const QString key = parts.join(u' ');
        if (const auto known = byText.find(key); known != byText.end()) {
            phrases_[size_t(known->second)].items.push_back(i);
            continue;
        }
        const int id = int(phrases_.size());
        byText.emplace(key, id);
        phrases_.push_back({{i}, key, int(parts.size()), parts.size() == 1 && isAdjectival(parts.front())});
        // A number ("Один", "Семь") is never found in running text, and
        // lends its endings to nothing ("семью" is Семья's).
        if (parts.size() == 1 && isNumeral(parts.front()))
            continue;
        phraseOf.push_back(id);
        items.push_back(i);
        wordsOf.push_back(int(parts.size()));
    }
    const std::vector<std::vector<std::vector<WordForm>>> made = inflectAll(words, items);
    for (size_t k = 0; k < made.size(); ++k)
        for (size_t w = 0; w < made[k].size() && w < size_t(wordsOf[k]); ++w)
            addForms(phraseOf[k], int(w), made[k][w]);
    for (const Alias &a : symbolAliases())
        if (const auto target = byText.find(a.headword.toString()); target != byText.end())
            addForms(target->second, 0, a.forms);
    dropShadowedForms();
}

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber();
}

// The end of the word that starts at i: letters and digits, combining marks
// (an accent, a decomposed й or ё), a hyphen or an apostrophe between
// letters.
qsizetype wordEnd(QStringView text, qsizetype i, bool &marks)
{
    while (i < text.size()) {
        const QChar c = text[i];
        const bool inner = (c == u'-' || c == u'\'') && i + 1 < text.size() && isWordChar(text[i + 1]);
        if (!isWordChar(c) && !c.isMark() && !inner)
            break;
        marks = marks || c.isMark();
        ++i;
    }
    return i;
}

QString foldToken(QStringView word, bool marks)
{
    if (!marks)
        return foldWord(word);
    QString composed = word.toString().normalized(QString::NormalizationForm_C);
    composed.removeIf([](QChar c) { return c.isMark(); });
    return foldWord(composed);
}

} // namespace

// "кошка-то", "чудо-дерево": the parts of a hyphenated word no headword has,
// each on its own, never a phrase across the hyphen.
void SymbolFinder::pushParts(QStringView text, const Token &t, std::vector<Token> &out)
{
    qsizetype offset = 0;
    bool first = true;
    const QString whole = t.folded;
    for (QStringView part : QStringView(whole).split(u'-')) {
        Token p = t;
        p.start = t.start + offset;
        p.end = p.start + part.size();
        p.folded = part.toString();
        p.capital = text[p.start].isUpper();
        p.joined = first && t.joined;
        p.sentenceStart = first && t.sentenceStart;
        offset += part.size() + 1;
        first = false;
        if (!part.isEmpty())
            out.push_back(std::move(p));
    }
}

std::vector<SymbolFinder::Token> SymbolFinder::tokens(QStringView text) const
{
    std::vector<Token> out;
    qsizetype i = 0, previousEnd = 0;
    while (i < text.size()) {
        if (!isWordChar(text[i])) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        bool marks = false;
        i = wordEnd(text, i, marks);
        const QStringView gap = text.mid(previousEnd, start - previousEnd);
        Token t;
        t.start = start;
        t.end = i;
        t.capital = text[start].isUpper();
        t.joined =
            !out.empty() && std::all_of(gap.begin(), gap.end(), [](QChar c) { return c.isSpace() && !endsLine(c); });
        t.sentenceStart = out.empty() || std::any_of(gap.begin(), gap.end(), endsSentence);
        t.folded = foldToken(text.mid(start, i - start), marks);
        previousEnd = i;
        if (t.folded.contains(u'-') && !forms_.contains(t.folded))
            pushParts(text, t, out);
        else
            out.push_back(std::move(t));
    }
    return out;
}

bool SymbolFinder::startsSymbol(QStringView word) const
{
    if (word.isEmpty() || isFunctionWord(word))
        return false;
    const auto it = forms_.find(word.toString());
    return it != forms_.end()
           && std::any_of(it->second.begin(), it->second.end(), [](const Slot &s) { return s.position == 0; });
}

bool SymbolFinder::slotAt(const Token &t, int phrase, int position) const
{
    const auto it = forms_.find(t.folded);
    if (it == forms_.end())
        return false;
    return std::any_of(it->second.begin(), it->second.end(),
                       [&](const Slot &s) { return s.phrase == phrase && s.position == position; });
}

// Whether the word at i may be a noun at all, judged by its neighbours.
namespace {

struct Context {
    QStringView previous; // folded, empty unless only spaces lie between
    QStringView next;
};

bool nounCue(QStringView previous)
{
    // a piece or a smell of something: "кусок мыла", "запах мыла"
    static const std::array<QStringView, 9> measures = {u"кусок", u"куска",  u"куском", u"кусочек", u"брусок",
                                                        u"запах", u"запаха", u"пена",   u"пену"};
    return isPreposition(previous) || endsAsAdjective(previous) || among(measures, previous);
}

// A thing that "золотой" tells is of gold ("золотое кольцо"), not only of
// its colour ("золотые купола", "что-то золотое").
bool madeOfGold(QStringView next)
{
    static const std::array<QStringView, 17> things = {u"кольц", u"колеч",   u"перстен",  u"перстн", u"цеп",   u"монет",
                                                       u"крест", u"браслет", u"час",      u"серьг",  u"сереж", u"зуб",
                                                       u"слит",  u"украшен", u"медальон", u"корон",  u"кулон"};
    return std::any_of(things.begin(), things.end(), [&](QStringView t) { return next.startsWith(t); });
}

bool readsAsNoun(QStringView w, const Context &c)
{
    // more often a verb (пить, мыть, есть, ехать, расти, класть) or an adjective (злой)
    static const std::array<QStringView, 10> verbFirst = {u"пила", u"пил", u"мыла", u"мыл",   u"ели",
                                                          u"еду",  u"рос", u"зол",  u"кладу", u"дорогой"};
    if (among(verbFirst, w))
        return nounCue(c.previous) && !among(kPersonalPronouns, c.previous);
    if (w == u"печь")
        return !among(kGovernors, c.previous);
    if (w == u"стекло" || w == u"стекла")
        return nounCue(c.previous) || !(c.next == u"по" || c.next == u"вниз");
    if (among(kTimeWords, w))
        return !isNumber(c.previous) && !among(kTimeWords, c.previous) && c.previous != u"часа" && c.previous != u"с"
               && c.previous != u"со";
    // verbs that a feminine noun's forms would take for a masculine's ("солю", "молю о пощаде")
    static const std::array<QStringView, 6> verbs = {u"солю", u"соля", u"молю", u"моля", u"пылю", u"пыля"};
    if (among(verbs, w))
        return false;
    return true;
}

} // namespace

bool SymbolFinder::matchAt(const std::vector<Token> &words, size_t i, Match &m) const
{
    const Token &t = words[i];
    const auto it = forms_.find(t.folded);
    if (it == forms_.end())
        return false;
    m = {};
    for (const Slot &s : it->second) {
        if (s.position != 0)
            continue;
        const size_t n = size_t(phrases_[size_t(s.phrase)].words);
        if (i + n > words.size() || n < m.words)
            continue;
        bool all = true;
        for (size_t k = 1; k < n && all; ++k)
            all = words[i + k].joined && slotAt(words[i + k], s.phrase, int(k));
        if (!all)
            continue;
        if (n > m.words) {
            m.words = n;
            m.phrases.clear();
        }
        m.phrases.push_back(s.phrase);
    }
    return m.words > 0;
}

// "друг друга", "друг с другом": each other, no friend. The index after
// the pair, or 0.
size_t SymbolFinder::reciprocalEnd(const std::vector<Token> &words, size_t i)
{
    if (words[i].folded != u"друг" || i + 1 >= words.size() || !words[i + 1].joined)
        return 0;
    const size_t k = isPreposition(words[i + 1].folded) ? i + 2 : i + 1;
    if (k < words.size() && words[k].joined && words[k].folded.startsWith(u"друг") && words[k].folded.size() <= 6)
        return k + 1;
    return 0;
}

// Whether a match stands as a symbol where it is: a homograph read as a
// noun, no given name, no adjective before the noun it describes
// ("пожарная машина").
bool SymbolFinder::keeps(const std::vector<Token> &words, size_t i, const Match &m) const
{
    if (m.words > 1)
        return true;
    const Token &t = words[i];
    const Context c{t.joined ? QStringView(words[i - 1].folded) : QStringView(),
                    i + 1 < words.size() && words[i + 1].joined ? QStringView(words[i + 1].folded) : QStringView()};
    if (!readsAsNoun(t.folded, c))
        return false;
    if (t.capital && !t.sentenceStart && among(kNameForms, t.folded))
        return false;
    if (t.folded.startsWith(u"золот") && isAdjectival(t.folded) && !madeOfGold(c.next))
        return false;
    return !(phrases_[size_t(m.phrases.front())].adjectival && startsSymbol(c.next));
}

// The mark of a match: the headword written as in the text first, then
// the others in list order.
SymbolMark SymbolFinder::markOf(const std::vector<Token> &words, size_t i, const Match &m) const
{
    std::vector<int> phraseIds = m.phrases;
    QString matched = words[i].folded;
    for (size_t k = 1; k < m.words; ++k)
        matched += u' ' + words[i + k].folded;
    std::stable_sort(phraseIds.begin(), phraseIds.end(), [&](int a, int b) {
        return (phrases_[size_t(a)].folded == matched) > (phrases_[size_t(b)].folded == matched);
    });
    SymbolMark mark{words[i].start, words[i + m.words - 1].end - words[i].start, -1, {}};
    for (int p : phraseIds)
        for (int item : phrases_[size_t(p)].items)
            if (std::find(mark.items.begin(), mark.items.end(), item) == mark.items.end())
                mark.items.push_back(item);
    mark.item = mark.items.front();
    return mark;
}

std::vector<SymbolMark> SymbolFinder::find(QStringView text) const
{
    std::vector<SymbolMark> marks;
    if (phrases_.empty())
        return marks;
    const std::vector<Token> words = tokens(text);
    size_t i = 0;
    while (i < words.size()) {
        Match m;
        const bool found = !isFunctionWord(words[i].folded) && matchAt(words, i, m);
        const size_t after = found ? reciprocalEnd(words, i) : 0;
        if (after > 0) {
            i = after;
        } else if (found && keeps(words, i, m)) {
            marks.push_back(markOf(words, i, m));
            i += m.words;
        } else {
            ++i;
        }
    }
    return marks;
}

std::vector<SymbolMark> SymbolFinder::find(QStringView text, qsizetype from, qsizetype to, Range *range) const
{
    from = std::clamp<qsizetype>(from, 0, text.size());
    to = std::clamp<qsizetype>(to, from, text.size());
    qsizetype start = from;
    while (start > 0 && !endsSentence(text[start - 1]))
        --start;
    qsizetype end = to;
    while (end < text.size() && !endsSentence(text[end]))
        ++end;
    if (end < text.size())
        ++end;
    if (range)
        *range = {start, end};
    std::vector<SymbolMark> marks = find(text.mid(start, end - start));
    for (SymbolMark &m : marks)
        m.start += start;
    return marks;
}

} // namespace somnex::dictionary
