#include "diary/Synthetic.h"

#include <QRandomGenerator>

#include <array>

namespace somnex::diary {

namespace {

// Nouns in several forms, and the rest of a dream's words.
constexpr std::array<const char16_t *, 48> kNouns = {
    u"собака",   u"собаку",   u"собаки", u"кошка",  u"кошку", u"кошки",  u"дом",    u"дома",   u"доме",    u"лес",
    u"лесу",     u"леса",     u"вода",   u"воду",   u"воде",  u"река",   u"реку",   u"реке",   u"мама",    u"маму",
    u"отец",     u"отца",     u"брат",   u"сестру", u"поезд", u"поезде", u"дорогу", u"дорога", u"зеркало", u"зеркале",
    u"зубы",     u"зубами",   u"змея",   u"змею",   u"море",  u"морем",  u"птица",  u"птицу",  u"школа",   u"школе",
    u"лестница", u"лестнице", u"ключ",   u"ключи",  u"огонь", u"огня",   u"луна",   u"луну"};
constexpr std::array<const char16_t *, 32> kOthers = {u"я",       u"мы",      u"снилось", u"шёл",    u"бежала",
                                                      u"видел",   u"летал",   u"искала",  u"старый", u"тёмный",
                                                      u"большой", u"светлая", u"тихо",    u"быстро", u"долго",
                                                      u"вдруг",   u"потом",   u"и",       u"в",      u"на",
                                                      u"под",     u"через",   u"к",       u"без",    u"знакомый",
                                                      u"чужой",   u"падал",   u"открыла", u"звал",   u"смеялся",
                                                      u"плакала", u"ночью"};
constexpr std::array<const char16_t *, 8> kTags = {u"работа", u"детство", u"Маша",  u"Петя",
                                                   u"дача",   u"море",    u"школа", u"город"};
constexpr std::array<int, 6> kOffsetsHours = {2, 3, 4, 5, 7, 10};

QString word(QRandomGenerator &g)
{
    if (g.bounded(3) == 0)
        return QString::fromUtf16(kNouns[g.bounded(static_cast<quint32>(kNouns.size()))]);
    return QString::fromUtf16(kOthers[g.bounded(static_cast<quint32>(kOthers.size()))]);
}

QString sentence(QRandomGenerator &g)
{
    const int n = 4 + static_cast<int>(g.bounded(9));
    QString s;
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            s += QLatin1Char(' ');
        s += word(g);
    }
    s[0] = s[0].toUpper();
    return s + QLatin1Char('.');
}

Entry entry(QRandomGenerator &g)
{
    Entry e;
    const QDate date = QDate(2000, 1, 1).addDays(g.bounded(9800));
    const QTime time(static_cast<int>(g.bounded(24)), static_cast<int>(g.bounded(60)));
    const int offset = kOffsetsHours[g.bounded(static_cast<quint32>(kOffsetsHours.size()))] * 3600;
    e.at = QDateTime(date, time, Qt::OffsetFromUTC, offset);
    const int words = 20 + static_cast<int>(g.bounded(181));
    QString text;
    while (text.count(QLatin1Char(' ')) < words)
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + sentence(g);
    e.text = text;
    if (g.bounded(2) == 0)
        e.title = sentence(g).chopped(1);
    e.lucid = g.bounded(10) == 0;
    if (g.bounded(2) == 0)
        e.clarity = 1 + static_cast<int>(g.bounded(4));
    if (g.bounded(2) == 0)
        e.mood = static_cast<int>(g.bounded(5)) - 2;
    for (DreamKind k : kAllKinds)
        if (g.bounded(12) == 0)
            e.kinds << k;
    for (int i = static_cast<int>(g.bounded(3)); i > 0; --i)
        e.tags << Tag{QString::fromUtf16(kTags[g.bounded(static_cast<quint32>(kTags.size()))]),
                      i == 2 ? TagKind::Person : TagKind::Plain};
    e.place = Place{QStringLiteral("Москва"), 55.7522, 37.6156};
    static constexpr Mark kMarks[] = {Mark::None, Mark::None, Mark::None, Mark::Yes, Mark::Partly, Mark::No};
    e.fulfilment.mark = kMarks[g.bounded(6)];
    if (e.fulfilment.mark != Mark::None)
        e.fulfilment.markedOn = date.addDays(g.bounded(30));
    return e;
}

} // namespace

QList<Entry> syntheticEntries(int count, quint32 seed)
{
    QRandomGenerator g(seed);
    QList<Entry> out;
    out.reserve(count);
    for (int i = 0; i < count; ++i)
        out << entry(g);
    return out;
}

} // namespace somnex::diary
