#include "dictionary/LineRanker.h"

#include "dictionary/SymbolFinder.h"
#include "dictionary/WordFinder.h"
#include "dictionary/WordIndex.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <unordered_map>
#include <unordered_set>

namespace somnex::dictionary {

namespace {

// Synonyms and aspect pairs of the words dreams are told with, a group a
// line. Every form listed is taken with its stem, so a group needs only the
// forms whose stems differ ("гнаться" and "гонится"). A long group goes on
// over two literals joined.
// NOLINTBEGIN(bugprone-suspicious-missing-comma): joined literals are one group
constexpr QStringView kSynonyms[] = {
    u"гнаться гналась гнался гнались гонится гонятся гоняться гонялась гонялся преследовать преследует "
    u"преследовал преследовала догонять догоняет догоняла догонял догнать догнала догнал погоня",
    u"выпасть выпал выпала выпали выпадать выпадает выпадают вывалиться вывалился вывалились выкрошиться",
    u"умерший умершая умершие покойный покойная покойные покойник покойница покойники мертвый мертвая мертвые "
    u"мертвец мертвеца умер умерла умерли умереть",
    u"укусить укусила укусил укусили кусать кусает кусают кусала цапнуть цапнула укус ужалить ужалила ужалил "
    u"жалить",
    u"убежать убегать убегала убегал убежала убежал сбежать сбежала удирать спасаться спасалась",
    u"упасть упал упала упали падать падает падала падал свалиться свалилась свалился рухнуть рухнул рухнула "
    u"падение падения падением",
    u"лететь летать летала летал летел летела летит полететь полетела взлететь взлетела парить парила",
    u"плыть плавать плавала плавал плыла плыл поплыть поплыла купаться купалась купался искупаться",
    u"утонуть утонула утонул тонуть тонула тонул тонет тонущий захлебнуться захлебывалась",
    u"найти нашла нашел нашли находить находит находила отыскать отыскала",
    u"потерять потеряла потерял потеряли терять теряет теряла",
    u"целовать целовала целовал поцеловать поцеловала поцеловал поцелуй целоваться целовались",
    u"плакать плакала плакал плачет плачут плачущий плачущая заплакать заплакала слезы рыдать рыдала",
    u"смеяться смеялась смеялся засмеяться засмеялась хохотать хохотала",
    u"ссориться ссорилась ссорился поссориться поссорилась ссора ругаться ругалась ругался поругаться "
    u"поругалась скандал скандалить",
    u"драться дралась дрался подраться подрались драка",
    u"бить била бил бьет бьют побить побил побила побило ударить ударила ударил избить избила избивать",
    u"убить убила убил убили убивать убивает убивала убиваете зарубить зарубила зарубил зарезать зарезала "
    u"загрызть загрызла загрыз задушить задушила "
    u"прикончить прикончила",
    u"сломать сломала сломал сломаться сломался сломалась сломался ломать ломается ломался сломанный "
    u"сломанная",
    u"лопнуть лопнуло лопнула лопнул сломаться сломалось сломалась сломался треснуть треснуло треснула",
    u"разбить разбила разбил разбиться разбилась разбился разбитый разбитая треснуть треснул треснула",
    u"гореть горит горел горела сгореть сгорел сгорела пожар пылать пылал полыхать загореться загорелся "
    u"загорелась горящий горящая",
    u"купить купила купил покупать покупала покупал покупает покупка",
    u"продать продала продал продавать продавала",
    u"есть ела ел ели ем ест едим едите едят съесть съела съел кушать кушала поесть поела",
    u"пить пила пил выпить выпила выпил попить попила напиться напилась напился напились",
    u"грязный грязная грязное грязные грязь испачкаться испачкалась испачкать испачкала запачкать запачкала "
    u"облить облила облил пятно пятна",
    u"мутный мутная мутное мутные",
    u"чистый чистая чистое чистые прозрачный прозрачная прозрачное",
    u"большой большая большое большие огромный огромная огромное огромные громадный громадная",
    u"маленький маленькая маленькое маленькие крошечный крошечная мелкий мелкая",
    u"черный черная черное черные",
    u"белый белая белое белые белоснежный белоснежная",
    u"старый старая старое старые ветхий ветхая",
    u"новый новая новое новые новенький новенькая",
    u"живой живая живое живые ожить ожил ожила",
    u"беременный беременная беременна беременность",
    u"рожать рожала родить родила родил роды",
    u"свадьба венчание венчаться жениться женился замуж замужество бракосочетание",
    u"говорить говорила говорил сказать сказала сказал разговаривать разговаривала разговаривал разговор "
    u"беседовать",
    u"звать звал звала позвать позвала позвал зовет зовут",
    u"обнимать обнимала обнимал обнять обняла обнял объятия",
    u"уйти ушла ушел уходить уходила уходил уехать уехала уехал",
    u"прятаться пряталась прятался спрятаться спряталась спрятался скрываться скрывалась",
    u"искать искала искал ищет ищу",
    u"опоздать опоздала опоздал опоздали опаздывать опаздывала",
    u"заблудиться заблудилась заблудился потеряться потерялась потерялся заплутать заплутала заплутал",
    u"шататься шатался шаталась шатается шатаются качаться качался",
    u"гнилой гнилая гнилое гнилые сгнить сгнил гнить испорченный испорченные",
    u"кровь крови кровью кровавый кровавая кровоточить кровоточил кровоточила",
    u"вырвать вырвала вырвал вырвали рвать выдернуть выдернула",
    u"напасть напала напал напали нападать нападает нападала наброситься набросилась набросился "
    u"кинуться кинулась кинулся броситься бросилась бросился",
    u"лаять лаяла лаял лает лают залаять залаяла лай лаяли",
    u"ползти ползла полз ползет ползать ползала",
    u"кормить кормила кормил покормить покормила",
    u"мыть мыла мыл помыть помыла вымыть вымыла умываться умывалась",
    u"стричь стригла стриг подстричь подстригла подстригся отрезать отрезала обрезать обрезала",
    u"ехать ехала ехал поехать поехала поехал ездить ездила поездка едет едут едете едешь",
    u"мерзнуть мерзну мерзнет мерзла мерз замерзнуть замерзла замерз замерзаю замерзает",
    u"дарить дарила дарил подарить подарила подарил подарок",
    u"больной больная болеть болела болел заболеть заболела заболел болезнь",
    u"голый голая голые раздетый раздетая нагой нагая нагим нагие нагота наготу наготы наготе",
    u"посадить посадили посадил посадила заключить заключили заключен заключена заключены",
    u"выскользнуть выскользнула выскользнул вырваться вырвалась вырвался вырывается ускользнуть ускользнула",
    u"страшный страшная страшное испугаться испугалась испугался бояться боялась боялся страх",
    u"залезть залезла залез лезть лезла карабкаться карабкалась подниматься поднималась поднимался "
    u"взбираться взбиралась подняться поднялась",
    u"спускаться спускалась спускался спуститься спустилась спустился",
    u"прыгать прыгала прыгнуть прыгнула прыгнул",
    u"выиграть выиграла выиграл выигрыш выигрывать",
    u"провалить провалила провалил завалить завалила",
    u"идти шла шел шли пойти пошла пошел гулять гуляла гулял бродить бродила бродил бродит",
    u"бурный бурная бурное бурные шторм шторма штормовой",
    u"много множество полно толпа",
    u"зеленый зеленая зеленое зеленые",
    u"красный красная красное красные алый",
    u"золотой золотая золотое золото",
    u"горячий горячая горячее кипяток",
    u"холодный холодная холодное ледяной ледяная",
    u"высокий высокая высокое высоко высота",
    u"глубокий глубокая глубоко глубина",
    u"украсть украла украл украли красть воровать кража обокрасть обокрали",
    u"сесть села сел садиться садилась",
    u"смотреть смотрела смотрел посмотреть посмотрела глядеть",
    u"держать держала держал",
    u"нести несла нес носить носила",
    u"бросить бросила бросил бросать",
    u"разлиться разлилась разлилось пролить пролила разлить разлила",
    u"затопить затопило затопила затопленный наводнение",
    u"рухнуть рушиться разрушиться разрушился разрушилась развалиться развалился развалилась",
    u"ранить ранила ранил рана раненый раненая",
    u"спать спит спят спала спал спящий спящая уснуть уснула заснуть заснула",
    u"убирать убирала убрать убрала уборка прибрать прибрала прибрал прибирать прибирала",
    u"огонь огня огнем пламя пламени пламенем",
    u"курица курицу курицы наседка наседку наседки квочка",
    u"лютый лютая лютые трескучий трескучая трескучие",
    u"строить строила строил построить построила",
    u"мертвый мертвая мертвое мертвые дохлый дохлая",
    u"ловить ловила ловил поймать поймала поймал рыбачить рыбачили рыбачила рыбачил",
    u"выть выл выла воет воют вой завыть завыла",
    u"черпать черпала зачерпнуть зачерпнула зачерпнул набрать набрала",
    u"рычать рычала рычит рычал зарычать зарычала",
    u"понести понесла понес понесшей понесшая",
    u"кричать кричала кричал закричать закричала крик",
    u"петь пела пел спеть песня",
    u"танцевать танцевала танцевал танец",
    u"ребенок ребенка ребенком дети детей детьми малыш младенец",
    u"люди людей людьми",
    u"конец конца кончаться кончается кончалась кончался закончиться закончилась закончился заканчиваться "
    u"заканчивается заканчивалась",
    u"мама мать маму мамой матери матерью",
    u"дочь дочери дочерью дочерей дочка дочке дочку",
    u"знать знаю знает знала знал знаешь знаете",
    u"вина вины виноват виновата виновен виновна",
    u"считать считала считал пересчитывать пересчитывала пересчитать пересчитала подсчитывать",
    u"печь пеку печет пекла испечь испекла выпекать",
    u"срубить срубили срубил рубить рубила спилить спилили спилил пилить вырубить",
    u"сдавать сдаю сдает сдавала сдать сдала сдал",
    u"стыд стыдно стыдиться стыдилась стыдился",
    u"примерять примеряла примерял примерить примерила мерить мерила",
    u"тесный тесная тесные жать жала жмут жмет",
    u"завянуть завяли завяла завял вянуть вянет увядший увядшие увядать",
    u"расчесывать расчесывала расчесываться расчесываюсь причесываться причесывалась",
    u"лезть лезут лезли выпадать выпадают",
    u"спастись спаслась спасся выбраться выбралась выбрались уцелеть уцелела невредимый невредимые",
    u"венчаться венчаемся венчались обвенчаться обвенчались венчание",
    u"разбиться разбилось разбилась вдребезги осколки",
    u"дозвониться дозвонилась звонить звонила позвонить позвонила соединять соединяет соединяется соединили",
    u"уволить уволили уволила увольнение",
    u"собирать собираю собирала собрать собрала",
    u"сорвать сорвала сорвал срывать срывает сорвало",
    u"нести несла несу носить",
    u"уронить уронила уронил ронять",
    u"пролить пролила пролил разлить разлила убежать убежало облить облила облил облили залить залила залило",
    u"ослепнуть ослепла ослеп слепой слепая",
    u"глядеть глядит глядела смотреть смотрит смотрела",
    u"незнакомый незнакомая незнакомое незнакомец незнакомка чужой чужая чужое",
    u"плясать плясали плясала танцевать танцевали",
    u"веселиться веселились веселая веселый веселье радоваться радовались",
    u"нарядный нарядные нарядная наряд",
    u"хвастаться хвасталась хвастался",
    u"завидовать завидовала зависть",
    u"трудный трудные тяжелый тяжелые тяжело трудно",
    u"подниматься поднимаюсь карабкаться лезть",
    u"кружить кружил кружила кружиться",
    u"пищать пищали пищит",
    u"окотиться окотилась котята",
    u"гладить гладила погладить погладила",
    u"ласкаться ласкается ластиться ластится",
    u"рычать рычит рычала огрызаться скалиться скалилась",
    u"пустой пустая пустое пустые",
    u"полный полная полное полные набитый",
    u"потерять потеряла украсть украли",
    u"мокрый мокрая промокнуть промокла",
    u"заперт заперта запертая закрытый закрытая закрыта",
    u"вор воры грабитель грабители",
    u"брать взять взяла взял",
    u"порезаться порезалась порезать порезала",
    u"болеть болит болели больно",
    u"червяк червь черви червей червивый червивое червивая червивые",
    u"прочитать прочитала прочитал прочесть прочла читать читала читаю",
    u"учить учу учила учил учит научить научила",
    u"кататься каталась катался катаюсь покататься ездить ездила езжу",
    u"рассыпать рассыпала рассыпались рассыпалось раскатились раскатиться",
    u"папа отец папу отца",
    u"много множество несколько трое четверо пятеро пятерых шестеро семеро три четыре пять шесть восемь "
    u"девять десять десяток куча уйма полно столько",
    u"свой своя свое свои свою своего своей собственный собственная собственное собственную мой моя мое мою "
    u"моего моей мои",
    u"чужой чужая чужое чужие чужую чужого соседка соседки соседке сосед соседа соседский соседская подруга "
    u"подруги подруге одноклассница одноклассницы коллега коллеги сослуживица другой другая другое другие "
    u"другого другую других",
#include "dictionary/SynonymGroups.inc"
};
// NOLINTEND(bugprone-suspicious-missing-comma)

// Looser kin: words that are no synonyms but tell one situation of a dream
// ("плакала" and "печальна", "унесло" and "потерять"). They count less.
// NOLINTBEGIN(bugprone-suspicious-missing-comma): joined literals are one group
constexpr QStringView kConcepts[] = {
#include "dictionary/ConceptGroups.inc"
};
// NOLINTEND(bugprone-suspicious-missing-comma)

// The words of a space-separated list, as a set.
std::unordered_set<QString> wordSet(QStringView list)
{
    std::unordered_set<QString> out;
    for (QStringView w : list.split(u' ', Qt::SkipEmptyParts))
        out.insert(w.toString());
    return out;
}

// Words that tell that something was dreamt, not what, and "человек",
// which tells nothing of whom.
bool isGeneric(const QString &folded, const QString &stem)
{
    static const std::unordered_set<QString> words =
        wordSet(u"сон сна сне сну сны снов снам снах сном снами снилось снился снилась снились снится снятся "
                u"приснилось приснился приснилась приснились приснится видеть увидеть видел видела видели увидел "
                u"увидела увидели видите видишь вижу видит видят видно видим человек человека человеку человеком "
                u"человеке");
    if (words.contains(folded) || folded.startsWith(u"сновидени"))
        return true;
    static const std::unordered_set<QString> stems =
        wordSet(u"сн сон снит снил присн вид увид видет видел видя виден снов сновид приснит");
    return stems.contains(stem);
}

// Function words the situation of a line still turns on.
// How many, and whose: "пятеро котят" are many, "моя свадьба" is one's own.
bool keepsMeaning(const QString &folded)
{
    static const std::unordered_set<QString> words = wordSet(
        u"много мало столько несколько три четыре пять шесть восемь девять десять свой своя свое свои "
        u"свою своего своей своим мой моя мое мои мою моего моей моим летом зимой весной осенью ночью другой другая другое другую "
        u"другого других другие");
    return words.contains(folded);
}

// What a thing not done comes to: "не успела" is "опоздала", "дверь не
// открывается" is a closed door. A line each: the forms said with "не", a
// bar, the words of what that means.
// NOLINTBEGIN(bugprone-suspicious-missing-comma): joined literals are one group
constexpr QStringView kNegatedMeans[] = {
    u"успеть успела успел успели успевать успеваю успевает успевала | опоздать опоздала опаздывать",
    u"удержаться удержалась удержался удержать удержала | упасть упала падать сорваться сорвалась",
    u"найти нашла нашел нашли находить нахожу находила найду | потерять потеряла потерялся пропасть пропал",
    u"открыть открыла открыл открываться открывается открывалась открылась открыть | закрытый закрытая "
    u"закрыта закрыт заперт заперта запертая",
    u"работать работает работал работала заводиться заводится завелась завелся включается | сломанный "
    u"сломанная сломан сломана сломался сломалась сломаться",
    u"гореть горит горел горела | погаснуть погас погасла гаснуть потухнуть потухла",
    u"дозвониться дозвонилась дозвонился соединяет соединяется | оборваться оборвалась",
    u"кончаться кончается кончалась кончался заканчиваться заканчивается заканчивалась | бесконечный "
    u"бесконечная бесконечные бесконечной бесконечно",
    u"попасть попала попал войти вошла вошел зайти зашла | закрытый закрытая закрыта закрыт заперт заперта "
    u"запертая",
    u"петь поет поют пела пел | безголосый безголосые безголосая молчать молчит молчала",
    u"царапина царапины царапинки | уцелеть уцелела уцелел уцелели невредимый невредимые невредимая",
    u"поймать поймала поймал поймали | упустить упустила упустил упустили",
    u"хватать хватает хватило хватало | недостача недостачу нехватка",
    u"понять поняла понял знать знаю знала знал узнать узнала | незнакомый незнакомая незнакомец незнакомца "
    u"незнакомого незнакомку незнакомка",
    u"прийти пришел пришла прийти приехать приехал приехала явиться явился | ждать ждала ждал дождаться",
};
// NOLINTEND(bugprone-suspicious-missing-comma)

// Words after which a deed is only tried ("пыталась дозвониться"): it may
// or may not have been done.
bool triesNext(const QString &folded)
{
    static const std::unordered_set<QString> words =
        wordSet(u"пыталась пытался пытались пытаюсь пытается старалась старался стараюсь хотела хотел хочу "
                u"собиралась собирался");
    return words.contains(folded);
}

// "без" negates the thing it stands before ("зуб без крови").
QStringView kNegations[] = {u"не", u"ни", u"без"};

bool isNegation(QStringView folded)
{
    return std::find(std::begin(kNegations), std::end(kNegations), folded) != std::end(kNegations);
}

bool isPlacePreposition(QStringView folded)
{
    static constexpr QStringView words[] = {u"в",     u"во",    u"на", u"у",  u"под",   u"над",  u"из",
                                            u"около", u"возле", u"по", u"за", u"перед", u"среди"};
    return std::find(std::begin(words), std::end(words), folded) != std::end(words);
}

// Verbs after which the next word is what did not happen ("не смогла убежать").
bool passesNegation(const QString &folded)
{
    static const std::unordered_set<QString> words =
        wordSet(u"смогла смог смогли могла мог могли успела успел удалось хотела хотел стала стал может могу можете "
                u"можешь могут удается удавалось успеваете получается получилось единой единого одной одного");
    return words.contains(folded);
}

// The groups by the stems of their words. A word is looked up by its stem
// only: every form listed is kept as its stem, so its own stem finds it.
struct SynonymTable {
    std::unordered_map<QString, std::vector<int>> byStem;
    std::unordered_map<QString, std::vector<int>> negatedByStem;
    int firstConcept = 0; // the groups from here on are kConcepts'

    SynonymTable()
    {
        Stemmer stemmer;
        byStem.reserve(16384);
        const auto add = [&](std::unordered_map<QString, std::vector<int>> &to, QStringView list, int group) {
            for (QStringView w : list.split(u' ', Qt::SkipEmptyParts)) {
                std::vector<int> &groups = to[stemmer.stem(foldWord(w))];
                // groups are added in ascending order: the last one tells whether it is there
                if (groups.empty() || groups.back() != group)
                    groups.push_back(group);
            }
        };
        int group = 0;
        for (QStringView line : kSynonyms)
            add(byStem, line, group++);
        // what a thing not done means is a group of its own, which the
        // forms said with "не" lead to
        for (QStringView line : kNegatedMeans) {
            const qsizetype bar = line.indexOf(u'|');
            add(negatedByStem, line.left(bar), group);
            add(byStem, line.mid(bar + 1), group++);
        }
        firstConcept = group;
        for (QStringView line : kConcepts)
            add(byStem, line, group++);
    }
    static std::vector<int> find(const std::unordered_map<QString, std::vector<int>> &in, const QString &stem)
    {
        const auto it = in.find(stem);
        return it == in.end() ? std::vector<int>() : it->second;
    }
    // The groups of a word (sorted), and those it comes to mean said with "не".
    std::vector<int> groupsOf(const QString &stem) const { return find(byStem, stem); }
    std::vector<int> negatedGroupsOf(const QString &stem) const { return find(negatedByStem, stem); }
};

const SynonymTable &synonyms()
{
    static const SynonymTable table;
    return table;
}

// The first group two sorted lists share, or -1.
int sharedGroup(const std::vector<int> &a, const std::vector<int> &b)
{
    auto i = a.begin(), j = b.begin();
    while (i != a.end() && j != b.end()) {
        if (*i == *j)
            return *i;
        (*i < *j) ? ++i : ++j;
    }
    return -1;
}

bool shareGroup(const std::vector<int> &a, const std::vector<int> &b)
{
    return sharedGroup(a, b) >= 0;
}

// A group of synonyms (or of what a thing not done means), not a concept's;
// false for -1.
bool isSynonymGroup(int group)
{
    return group >= 0 && group < synonyms().firstConcept;
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber();
}

// A run of letters and digits, a hyphen or apostrophe between letters kept.
struct Token {
    qsizetype start = 0;
    qsizetype length = 0;
    int sentence = 0;
};

std::vector<Token> tokenize(QStringView text)
{
    std::vector<Token> out;
    int sentence = 0;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const QChar c = text[i];
        if (!isWordChar(c)) {
            if (c == u'.' || c == u'!' || c == u'?' || c == u';' || c == u'…' || c == u'\n')
                if (!out.empty() && out.back().sentence == sentence)
                    ++sentence;
            ++i;
            continue;
        }
        const qsizetype s = i;
        while (i < n
               && (isWordChar(text[i])
                   || ((text[i] == u'-' || text[i] == u'\'') && i + 1 < n && isWordChar(text[i + 1]) && i > s)))
            ++i;
        out.push_back({s, i - s, sentence});
    }
    return out;
}

// The prefix the words are looked up by: every kin but those by the table
// and by root begins with the same three letters ("лежу", "лежать").
QString beginningOf(const QString &folded)
{
    return folded.left(3);
}

qsizetype commonPrefix(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    qsizetype i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

bool isVowel(QChar c)
{
    return QStringView(u"аеиоуыэюя").contains(c);
}

// How close two words of one concept are: less than synonyms, more than nothing.
constexpr double kConceptKin = 0.6;

// How close two words are as words: 1 the same word, less for kin, 0 unrelated.
double kinship(const QString &aFolded, const QString &aStem, const std::vector<int> &aGroups, const QString &aRoot,
               const QString &aBase, const QString &bFolded, const QString &bStem, const std::vector<int> &bGroups,
               const QString &bRoot, const QString &bBase)
{
    if (aFolded == bFolded || (aStem == bStem && aStem.size() >= 3))
        return 1.0;
    // a synonym's group comes before any concept's
    const int group = sharedGroup(aGroups, bGroups);
    if (isSynonymGroup(group))
        return 0.9;
    const qsizetype shorter = std::min(aStem.size(), bStem.size());
    if (shorter >= 4 && commonPrefix(aStem, bStem) == shorter)
        return 0.8;
    // a verb's stem with and without its vowel ("рыча" of "рычала", "рыч" of "рычит")
    if (shorter >= 3 && std::abs(aStem.size() - bStem.size()) == 1 && commonPrefix(aStem, bStem) == shorter
        && isVowel((aStem.size() > bStem.size() ? aStem : bStem).back()))
        return 0.8;
    if (commonPrefix(aFolded, bFolded) >= 5)
        return 0.7;
    if (!aRoot.isEmpty() && aRoot == bRoot)
        return 0.75;
    if (!aBase.isEmpty() && aBase == bBase)
        return 0.75;
    return group >= 0 ? kConceptKin : 0;
}

// A verb without its ending, where the stemmer leaves two forms apart
// ("грызла" and "грызёт" both give "грыз"); empty when under four letters.
QString verbBaseOf(const QString &folded)
{
    static constexpr QStringView endings[] = {u"ешь", u"ете", u"ишь", u"ите", u"ет", u"ут", u"ют", u"ит", u"ат",
                                              u"ят",  u"ть",  u"ти",  u"чь",  u"ла", u"ло", u"ли", u"л"};
    QStringView w = folded;
    if (w.endsWith(u"ся") || w.endsWith(u"сь"))
        w.chop(2);
    for (QStringView e : endings)
        if (w.endsWith(e) && w.size() - e.size() >= 4) {
            w.chop(e.size());
            return w.toString();
        }
    return {};
}

} // namespace

struct DreamText::Word {
    QString folded;
    QString stem;
    QString root; // the stem without a verb's prefix and its "-ыва-" (empty when too short)
    QString base; // a verb's letters before its ending (verbBaseOf)
    std::vector<int> groups;
    qsizetype start = 0;
    qsizetype length = 0;
    int sentence = 0;
    bool negated = false;
    bool content = false; // neither a function word nor one that only says it was a dream
    // what the dream turned to ("…, а он весь подгорел"): the turn is the point of the story
    bool turn = false;
    bool tried = false;       // only tried ("пыталась дозвониться"): done or not, it is not said
    bool attributive = false; // with an adjective's ending (looksAttributive)
    // what the word said with "не" means ("не успела": the group of "опоздать")
    std::vector<int> negatedGroups;
};

namespace {

// A verb's root, so that aspect pairs made with a prefix or with "-ыва-"
// meet: "пересчитывала" and "считать" both give "счита".
QString rootOf(const QString &folded, const QString &stem, Stemmer &stemmer)
{
    static constexpr QStringView prefixes[] = {u"пере", u"раз", u"рас", u"при", u"про", u"под", u"об", u"от",
                                               u"вы",   u"за",  u"на",  u"по",  u"до",  u"со",  u"с",  u"у"};
    QString root = stem;
    for (QStringView p : prefixes)
        if (folded.startsWith(p) && folded.size() - p.size() >= 5) {
            // a prefix only where what is left is a root: "сердится" has none
            if (QString rest = stemmer.stem(QStringView(folded).mid(p.size())); rest.size() >= 4)
                root = std::move(rest);
            break;
        }
    if (root.endsWith(u"ыва") || root.endsWith(u"ива"))
        root = root.left(root.size() - 3) + u'а';
    return root.size() >= 4 ? root : QString();
}

// Whether one of the words stands among the last three of the sentence so
// far: "тушила, пока наконец не потушила" tells until when, not a thing
// undone; "которой нет уже три года", said of a person, one who has died.
template <typename W>
bool saidJustBefore(const std::vector<W> &before, int sentence, std::initializer_list<QStringView> words)
{
    int n = 0;
    for (auto it = before.rbegin(); it != before.rend() && it->sentence == sentence && n < 3; ++it, ++n)
        if (std::find(words.begin(), words.end(), QStringView(it->folded)) != words.end())
            return true;
    return false;
}

// "кричали друг на друга": each other, no friend and no "другие".
template <typename W>
void unmarkEachOther(std::vector<W> &words)
{
    const size_t n = words.size();
    if (n < 2 || !words.back().folded.startsWith(u"друг") || words.back().folded.size() > 6)
        return;
    const size_t first = words[n - 2].folded == u"друг" ? n - 2 : n >= 3 && words[n - 3].folded == u"друг" ? n - 3 : n;
    if (first == n || words[first].sentence != words.back().sentence)
        return;
    for (size_t i = first; i < n; ++i)
        words[i].content = false;
}

// "посадили ни за что": for nothing, not a thing undone.
bool saysForNothing(QStringView text, const Token &t)
{
    return text.mid(t.start).startsWith(u"ни за что", Qt::CaseInsensitive);
}

// "крови не было", "зуба нет": the word before is what was not there.
template <typename W>
void negateWordBefore(std::vector<W> &before, const W &w)
{
    const bool wasNot = w.folded.startsWith(u"был") && before.size() >= 2 && isNegation(before.back().folded);
    if (w.folded != u"нет" && !wasNot)
        return;
    for (auto it = before.rbegin(); it != before.rend() && it->sentence == w.sentence; ++it)
        if (it->content) {
            it->negated = !it->negated;
            return;
        }
}

// What a word form is, found once for every time it is met.
struct Classified {
    QString stem, root, base;
    std::vector<int> groups;
    bool content = false;
};
using KnownWords = std::unordered_map<QString, Classified>;

// Whether a word tells what was dreamt, and its stem, groups and root.
template <typename W>
void classify(W &w, Stemmer &stemmer, KnownWords &known)
{
    if (const auto it = known.find(w.folded); it != known.end()) {
        const Classified &c = it->second;
        w.stem = c.stem;
        w.root = c.root;
        w.base = c.base;
        w.groups = c.groups;
        w.content = c.content;
        return;
    }
    Classified &c = known[w.folded];
    if (SymbolFinder::isFunctionWord(w.folded) && !keepsMeaning(w.folded))
        return;
    c.stem = w.stem = stemmer.stem(w.folded);
    c.content = w.content = !isGeneric(w.folded, w.stem) && !w.folded.front().isDigit();
    if (w.content) {
        c.groups = w.groups = synonyms().groupsOf(w.stem);
        c.root = w.root = rootOf(w.folded, w.stem, stemmer);
        c.base = w.base = verbBaseOf(w.folded);
    }
}

// The folded words of a text with their stems, groups and negations.
template <typename W>
std::vector<W> wordsOf(QStringView text, Stemmer &stemmer, KnownWords &known)
{
    std::vector<W> out;
    bool negateNext = false;
    for (const Token &t : tokenize(text)) {
        W w;
        w.folded = foldWord(text.mid(t.start, t.length));
        // "чистая-чистая" is "чистая", said twice
        if (const qsizetype dash = w.folded.indexOf(u'-');
            dash > 0 && QStringView(w.folded).left(dash) == QStringView(w.folded).mid(dash + 1))
            w.folded.truncate(dash);
        w.start = t.start;
        w.length = t.length;
        w.sentence = t.sentence;
        if (!out.empty() && out.back().sentence != t.sentence)
            negateNext = false;
        if (isNegation(w.folded)) {
            negateNext = !saidJustBefore(out, t.sentence, {u"пока"}) && !saysForNothing(text, t);
            out.push_back(std::move(w));
            continue;
        }
        w.negated = negateNext;
        w.tried = !out.empty() && triesNext(out.back().folded);
        // "мама, которой уже нет": one who is no more has died
        if (w.folded == u"нет" && saidJustBefore(out, t.sentence, {u"которой", u"которого", u"которых"})) {
            w.folded = QStringLiteral("умершая");
            classify(w, stemmer, known);
            out.push_back(std::move(w));
            continue;
        }
        negateWordBefore(out, w);
        classify(w, stemmer, known);
        // "не могу его прочитать": past a modal and the small words, the
        // negation goes on to the word that tells what did not happen
        negateNext = negateNext && (passesNegation(w.folded) || (!w.content && !w.folded.startsWith(u"был")));
        out.push_back(std::move(w));
        unmarkEachOther(out);
    }
    return out;
}

} // namespace

struct DreamText::Known {
    KnownWords words;
};

DreamText::DreamText() : stemmer_(std::make_unique<Stemmer>()), known_(std::make_unique<Known>()) {}
DreamText::~DreamText() = default;
DreamText::DreamText(DreamText &&) noexcept = default;
DreamText &DreamText::operator=(DreamText &&) noexcept = default;

namespace {

// How much more the turn of a story weighs, and how much less the symbol's own adjective.
constexpr double kTurnWeight = 1.5;
constexpr double kAttributeWeight = 0.65;
// how much the next sentence counts where it goes on about the symbol
constexpr double kToldOn = 0.9;

// Words after which a story turns: what follows is what the dream came to.
bool turnsStory(QStringView folded)
{
    static constexpr QStringView words[] = {u"а",       u"но",        u"однако",   u"зато",      u"вдруг",
                                            u"наконец", u"оказалось", u"оказался", u"оказалась", u"оказались"};
    return std::find(std::begin(words), std::end(words), folded) != std::end(words);
}

// A word with an adjective's ending ("густом", "белый", "новенькую").
bool looksAttributive(QStringView folded)
{
    static constexpr QStringView endings[] = {u"ый", u"ий",  u"ой",  u"ая",  u"яя",  u"ое",  u"ее", u"ые",
                                              u"ие", u"ого", u"его", u"ому", u"ему", u"ым",  u"им", u"ом",
                                              u"ем", u"ую",  u"юю",  u"ых",  u"их",  u"ыми", u"ими"};
    if (folded.size() < 4 || folded.endsWith(u"ние") || folded.endsWith(u"тие"))
        return false;
    return std::any_of(std::begin(endings), std::end(endings), [&](QStringView e) { return folded.endsWith(e); });
}

// Marks what a story turned to: the words after "а", "но", "вдруг"… in
// their sentence, and the last clause of the last sentence.
template <typename W>
void markTurns(std::vector<W> &words, QStringView text)
{
    bool turned = false;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0 && words[i - 1].sentence != words[i].sentence)
            turned = false;
        turned = turned || turnsStory(words[i].folded);
        words[i].turn = turned;
    }
    if (words.empty())
        return;
    const int last = words.back().sentence;
    const auto first = std::find_if(words.begin(), words.end(), [&](const W &w) { return w.sentence == last; });
    const qsizetype comma = text.lastIndexOf(u',');
    if (comma > first->start)
        for (auto it = first; it != words.end(); ++it)
            it->turn = it->turn || it->start > comma;
}

bool isFirstPerson(QStringView folded)
{
    static constexpr QStringView words[] = {u"я",    u"меня", u"мне",  u"мной", u"мы",   u"нас", u"нам",
                                            u"нами", u"мой",  u"моя",  u"мое",  u"мою",  u"мои", u"моего",
                                            u"моей", u"наш",  u"наша", u"наше", u"нашу", u"наши"};
    return std::find(std::begin(words), std::end(words), folded) != std::end(words);
}

// "соседка хвасталась своей беременностью": "свой" is the one's the clause
// tells of: another's where the clause tells of someone else ("соседка",
// "она") and not of "я" or "мы". Another's thing is told as the line's
// "чужая".
template <typename W>
void markWhose(std::vector<W> &words, QStringView text, Stemmer &stemmer)
{
    for (W &w : words) {
        if (!w.folded.startsWith(u"сво") || !keepsMeaning(w.folded))
            continue;
        const qsizetype from = text.lastIndexOf(u',', w.start), to = text.indexOf(u',', w.start);
        const auto inClause = [&](const W &o) {
            return o.sentence == w.sentence && o.start > from && (to < 0 || o.start < to);
        };
        if (std::any_of(words.begin(), words.end(), [&](const W &o) { return inClause(o) && isFirstPerson(o.folded); }))
            continue;
        const std::vector<int> others = synonyms().groupsOf(stemmer.stem(u"чужая"));
        const bool theirs = std::any_of(words.begin(), words.end(), [&](const W &o) {
            return inClause(o) && &o != &w
                   && (o.folded == u"он" || o.folded == u"она" || o.folded == u"они" || shareGroup(o.groups, others));
        });
        // "подошла к своей квартире": told without "я", the dreamer's all the same
        if (!theirs)
            continue;
        w.folded = QStringLiteral("чужая");
        w.stem = stemmer.stem(w.folded);
        w.groups = others;
    }
}

// "поезд ушёл без меня": the dreamer was late for it.
template <typename W>
void markLeftBehind(std::vector<W> &words, Stemmer &stemmer)
{
    static const std::unordered_set<QString> leaving =
        wordSet(u"ушел ушла ушли уехал уехала уехали уплыл уплыла улетел улетела отошел отошла отправился отправилась "
                u"уходит уезжает");
    for (size_t i = 2; i < words.size(); ++i) {
        if (words[i - 1].folded != u"без" || (words[i].folded != u"меня" && words[i].folded != u"нас"))
            continue;
        for (size_t k = i - 1; k-- > 0 && k + 4 > i;)
            if (words[k].sentence == words[i].sentence && leaving.contains(words[k].folded)) {
                const std::vector<int> late = synonyms().groupsOf(stemmer.stem(u"опоздать"));
                words[k].groups.insert(words[k].groups.end(), late.begin(), late.end());
                std::sort(words[k].groups.begin(), words[k].groups.end());
                break;
            }
    }
}

} // namespace

DreamText::DreamText(QStringView text) : DreamText()
{
    words_ = wordsOf<Word>(text, *stemmer_, known_->words);
    markTurns(words_, text);
    markWhose(words_, text, *stemmer_);
    markLeftBehind(words_, *stemmer_);
    for (Word &w : words_) {
        w.attributive = w.content && looksAttributive(w.folded);
        if (w.content && w.negated)
            w.negatedGroups = synonyms().negatedGroupsOf(w.stem);
    }
    for (int i = 0; i < int(words_.size()); ++i)
        if (const Word &w = words_[size_t(i)]; w.content) {
            byBeginning_[beginningOf(w.folded)].push_back(i);
            for (int g : w.groups)
                byGroup_[g].push_back(i);
            for (int g : w.negatedGroups)
                byGroup_[g].push_back(i);
            if (!w.root.isEmpty())
                byRoot_[w.root].push_back(i);
        }
}

namespace {

// Where a line's dash stands (an en or em dash, or a hyphen between spaces); -1 when it has none.
qsizetype dashIn(QStringView line)
{
    for (qsizetype i = 1; i + 1 < line.size(); ++i) {
        const QChar c = line[i];
        if ((c == u'–' || c == u'—') || (c == u'-' && line[i - 1].isSpace() && line[i + 1].isSpace()))
            return i;
    }
    return -1;
}

QStringView withoutTrailingCommas(QStringView v)
{
    v = v.trimmed();
    while (!v.isEmpty() && (v.back() == u',' || v.back().isSpace()))
        v.chop(1);
    return v;
}

// Where a line told as one sentence names its meaning ("Видеть, как собаки
// гонят лисиц, означает оживление в делах"), or begins to explain it; before
// `end` or `end` itself when it does neither.
qsizetype meaningIn(QStringView line, qsizetype end)
{
    static constexpr QStringView meanings[] = {
        u" означает", u" предвещает", u" сулит", u" указывает", u" знаменует", u" предупреждает", u" предостерегает",
        u" предсказывает", u" обещает", u" свидетельствует", u", это знак", u", это предзнаменование",
        u", это предупреждение", u" говорит о том",
        // where an explanation begins: "Дом во сне чаще всего отражает вас самих"
        u" отражает", u" символизирует", u" олицетворяет", u" связан с", u" связана с", u" связано с", u" связаны с",
        u" может означать", u" часто означает", u" чаще всего", u" нередко", u" напоминает", u" снится, когда",
        u" снится, если", u" снится тем", u" снится людям", u" часто снится", u" приносит", u" предвещают",
        u" означают", u" сулят", u" обещают"};
    // every meaning begins with a space or a comma: only there is it looked for
    for (qsizetype at = 1; at < end; ++at) {
        if (line[at] != u' ' && line[at] != u',')
            continue;
        const QStringView rest = line.mid(at);
        if (std::any_of(std::begin(meanings), std::end(meanings), [&](QStringView m) {
                return rest.size() >= m.size() && rest[1] == m[1] && rest.startsWith(m);
            }))
            return at;
    }
    return end;
}

} // namespace

QStringView situationOf(QStringView line)
{
    line = line.trimmed();
    const qsizetype dash = dashIn(line);
    // whichever comes first: a dash after the meaning is part of the meaning
    const qsizetype end = meaningIn(line, dash >= 0 ? dash : line.size());
    if (end < line.size()) {
        QStringView s = withoutTrailingCommas(line.left(end));
        if (s.endsWith(u", это") || s.endsWith(u" это"))
            s.chop(4);
        return withoutTrailingCommas(s);
    }
    // "Если вам снится, что вы в аду, вы поддадитесь искушениям": the
    // condition ends at the comma after its clause.
    if (line.startsWith(u"Если ") || line.startsWith(u"Когда ")) {
        qsizetype comma = line.indexOf(u',');
        if (comma > 0 && line.mid(comma + 1).trimmed().startsWith(u"что "))
            comma = line.indexOf(u',', comma + 1);
        if (comma > 0)
            return line.left(comma).trimmed();
    }
    return line;
}

namespace {

// The condition a line's meaning is given under (", если гости одеты в
// приятные цвета и веселы"), after the situation; empty when it has none.
QStringView conditionOf(QStringView line, QStringView situation)
{
    // a line with a dash gives its meaning after it, and any "если" there is the advice's
    if (situation.isEmpty() || situation.size() == line.size() || dashIn(line) >= 0)
        return {};
    const qsizetype from = situation.data() - line.data() + situation.size();
    const qsizetype at = line.indexOf(u", если ", from);
    if (at < 0)
        return {};
    const QStringView rest = line.mid(at + 7);
    qsizetype end = 0;
    while (end < rest.size() && rest[end] != u',' && rest[end] != u'.' && rest[end] != u';')
        ++end;
    return rest.left(end);
}

} // namespace

void prepareRanking()
{
    synonyms();
}

bool synonymous(QStringView a, QStringView b)
{
    Stemmer stemmer;
    const QString fa = foldWord(a), fb = foldWord(b);
    return isSynonymGroup(sharedGroup(synonyms().groupsOf(stemmer.stem(fa)), synonyms().groupsOf(stemmer.stem(fb))));
}

struct DreamText::Focus {
    int first = -1, last = -1; // the symbol's words
    int sentence = 0;
    std::vector<QString> headStems;
    std::vector<int> headGroups;    // a one-word headword's groups: "рожаете" is Роды itself
    std::vector<QString> markWords; // the few words the dream names it with
    std::vector<QString> markStems; // and their stems: "котята" of a dream's "котят"
    int toldOn = -1;                // the next sentence, where it goes on about it ("…и он выпал")
    std::vector<int> again;         // where else the dream names it, in the same word
};

namespace {

// The sentence after the symbol's where a pronoun goes on about it
// ("…и он выпал"), or -1.
int toldOnIn(const std::vector<DreamText::Word> &words, int sentence)
{
    static const std::unordered_set<QString> pronouns =
        wordSet(u"он она оно они его ее ему ей их им него нее ним ней них");
    for (const DreamText::Word &w : words)
        if (w.sentence == sentence + 1 && pronouns.contains(w.folded))
            return w.sentence;
    return -1;
}

// Where else the dream names the symbol of one word, in a form of the same stem.
std::vector<int> namedAgain(const std::vector<DreamText::Word> &words, int at)
{
    std::vector<int> out;
    const QString &stem = words[size_t(at)].stem;
    for (int i = 0; i < int(words.size()); ++i)
        if (i != at && words[size_t(i)].content && stem.size() >= 3 && words[size_t(i)].stem == stem)
            out.push_back(i);
    return out;
}

} // namespace

DreamText::Focus DreamText::focusOn(qsizetype start, qsizetype length, const QString &headword) const
{
    Focus f;
    for (int i = 0; i < int(words_.size()); ++i) {
        const Word &w = words_[size_t(i)];
        if (w.start + w.length > start && w.start < start + length) {
            if (f.first < 0)
                f.first = i;
            f.last = i;
        }
    }
    if (f.first < 0) {
        // a position between words: the nearest word after it, or the last
        f.first = f.last = int(words_.size()) - 1;
        for (int i = 0; i < int(words_.size()); ++i)
            if (words_[size_t(i)].start >= start) {
                f.first = f.last = i;
                break;
            }
    }
    f.sentence = f.first >= 0 ? words_[size_t(f.first)].sentence : 0;
    f.toldOn = toldOnIn(words_, f.sentence);
    const QStringList headWords = foldedWords(headword);
    for (const QString &w : headWords)
        f.headStems.push_back(stemmer_->stem(w));
    if (headWords.size() == 1) {
        f.headGroups = synonyms().groupsOf(f.headStems.front());
        std::erase_if(f.headGroups, [](int g) { return !isSynonymGroup(g); });
    }
    if (f.first >= 0 && f.first == f.last)
        f.again = namedAgain(words_, f.first);
    for (int i = f.first; i >= 0 && i <= f.last; ++i) {
        f.markWords.push_back(words_[size_t(i)].folded);
        if (words_[size_t(i)].stem.size() >= 3)
            f.markStems.push_back(words_[size_t(i)].stem);
    }
    return f;
}

// A word of a line that is the symbol itself, not a situation.
bool DreamText::isSymbol(const Focus &f, const Word &w) const
{
    if (std::find(f.markStems.begin(), f.markStems.end(), w.stem) != f.markStems.end()
        || shareGroup(f.headGroups, w.groups))
        return true;
    // the dream's own word, or another form of it: "котята" of "котят"
    for (const QString &m : f.markWords)
        if (m == w.folded || (m.size() >= 4 && w.folded.size() <= m.size() + 3 && w.folded.startsWith(m)))
            return true;
    return std::any_of(f.headStems.begin(), f.headStems.end(), [&](const QString &h) {
        const qsizetype shorter = std::min(h.size(), w.stem.size());
        // a three-letter stem is too short to tell: "кукует" is no form of Кукушка
        return h == w.stem || (shorter >= 4 && commonPrefix(h, w.stem) == shorter && w.folded.size() <= h.size() + 4);
    });
}

// How much a dream word counts for the symbol: by its distance in words
// within the symbol's sentence, less in the sentences around.
double DreamText::closeness(const Focus &f, int i) const
{
    const Word &w = words_[size_t(i)];
    const int apart = std::abs(w.sentence - f.sentence);
    const double turn = w.turn ? kTurnWeight : 1.0;
    // the nearest place the symbol is named in the word's sentence ("ставила свечу, а свеча гасла")
    int d = -1;
    const auto nearer = [&](int first, int last) {
        if (words_[size_t(first)].sentence != w.sentence)
            return;
        const int e = i < first ? first - i : i - last;
        d = d < 0 ? e : std::min(d, e);
    };
    if (apart == 0)
        nearer(f.first, f.last);
    for (int again : f.again)
        nearer(again, again);
    if (d >= 0) {
        // the symbol's own adjective ("в густом тумане") says less than what happened
        const double attribute = d <= 2 && w.attributive ? kAttributeWeight : 1.0;
        return std::max(0.6, 1.0 - 0.04 * (d - 1)) * turn * attribute;
    }
    if (w.sentence == f.toldOn)
        return kToldOn * turn;
    return (apart == 1 ? 0.45 : 0.3) * turn;
}

DreamText::Match DreamText::matchOf(const Focus &f, const Word &s) const
{
    Match m;
    const auto consider = [&](int i) {
        if ((i >= f.first && i <= f.last) || std::find(f.again.begin(), f.again.end(), i) != f.again.end())
            return;
        const Word &d = words_[size_t(i)];
        double kin = 0;
        bool negated = d.negated;
        // "не успела" is the line's "опоздать", said plainly; "не смогла открыть"
        // a closed door, though "открыть" and "закрытая" share their root
        if (shareGroup(s.groups, d.negatedGroups)) {
            kin = 0.85;
            negated = false;
        } else {
            kin = kinship(s.folded, s.stem, s.groups, s.root, s.base, d.folded, d.stem, d.groups, d.root, d.base);
        }
        if (kin <= 0)
            return;
        const double v = kin * closeness(f, i);
        if (d.tried)
            m.best = std::max(m.best, 0.9 * v);
        else if (negated != s.negated)
            m.against = m.against || v >= 0.5;
        else
            m.best = std::max(m.best, v);
    };
    const auto each = [&](const QHash<QString, std::vector<int>> &index, const QString &key) {
        if (const auto it = index.find(key); it != index.end())
            for (int i : it.value())
                consider(i);
    };
    each(byBeginning_, beginningOf(s.folded));
    // kin by the table may begin otherwise ("гонится", "гналась"), and so may kin by root
    for (int g : s.groups)
        if (const auto it = byGroup_.find(g); it != byGroup_.end())
            for (int i : it.value())
                consider(i);
    if (!s.root.isEmpty())
        each(byRoot_, s.root);
    return m;
}

namespace {

// A line's score from what of its situation the dream has: its content
// words (weighed), the weight they matched with, and the words the dream
// says the other way.
double scoreOf(int contentWords, double weights, double matched, double contradicted)
{
    if (contentWords == 0)
        return kGeneralLineScore;
    if (matched <= 0)
        return contradicted > 0 ? 0.05 : 0.1;
    const double cover = matched / weights;
    const double e = std::max(0.0, matched * (0.5 + 0.5 * cover) - 0.5 * contradicted);
    return e > 0 ? kGeneralLineScore + 0.01 + 0.69 * e / (e + 0.6) : 0.1;
}

} // namespace

RankedLine DreamText::rankLine(const Focus &f, const QString &line, int index) const
{
    RankedLine r;
    r.text = line;
    r.index = index;
    const QStringView situation = situationOf(line);
    const qsizetype offset = situation.isEmpty() ? 0 : situation.data() - line.constData();
    std::vector<Word> said = wordsOf<Word>(situation, *stemmer_, known_->words);
    // "Есть мёд ложкой": a line that begins with "есть" tells of eating
    if (!said.empty() && said.front().folded == u"есть" && !said.front().content) {
        Word &eat = said.front();
        eat.content = true;
        eat.stem = stemmer_->stem(eat.folded);
        eat.groups = synonyms().groupsOf(eat.stem);
    }
    // "Видеть свадьбу означает радость, если гости веселы": the condition is a
    // situation too, though one the dream may not tell: only what it does counts
    const size_t told = said.size();
    if (const QStringView cond = conditionOf(line, situation); !cond.isEmpty()) {
        const qsizetype shift = cond.data() - situation.data();
        for (Word &w : wordsOf<Word>(cond, *stemmer_, known_->words)) {
            w.start += shift;
            said.push_back(std::move(w));
        }
    }
    int contentWords = 0;
    double weights = 0, matched = 0, contradicted = 0;
    for (size_t k = 0; k < said.size(); ++k) {
        const Word &s = said[k];
        if (!s.content || isSymbol(f, s))
            continue;
        const Match m = matchOf(f, s);
        if (k >= told && m.best < 0.25)
            continue;
        ++contentWords;
        // what happened weighs more than where ("Пожар в доме", "Спастись из огня")
        const double weight = k > 0 && isPlacePreposition(said[k - 1].folded) ? 0.6 : 1.0;
        weights += weight;
        if (m.best >= 0.25) {
            matched += m.best * weight;
            r.matched << line.mid(offset + s.start, s.length);
            r.spans.emplace_back(offset + s.start, s.length);
        } else if (m.against) {
            contradicted += 1;
        }
    }
    r.score = scoreOf(contentWords, weights, matched, contradicted);
    return r;
}

std::vector<RankedLine> DreamText::rank(qsizetype start, qsizetype length, const QString &headword,
                                        const QStringList &lines) const
{
    const Focus f = focusOn(start, length, headword);
    std::vector<RankedLine> out;
    for (int index = 0; index < int(lines.size()); ++index)
        if (!lines[index].trimmed().isEmpty())
            out.push_back(rankLine(f, lines[index], index));
    std::stable_sort(out.begin(), out.end(),
                     [](const RankedLine &a, const RankedLine &b) { return a.score > b.score; });
    return out;
}

} // namespace somnex::dictionary
