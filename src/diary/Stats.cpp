#include "diary/Stats.h"

#include "calendar/tables/DreamTables.h"
#include "diary/DiaryStore.h"
#include "dictionary/WordIndex.h"
#include "platform/core/RussianDates.h"

#include <QHash>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <map>
#include <vector>

namespace somnex::diary {

namespace {

constexpr int kLunarDays = 30;
constexpr int kWeekdays = 7;
constexpr int kMonthDays = 31;

// Counts occurrences of names in dreams, grouped by a folded key. A group is
// named by its most frequent spelling; between spellings as frequent, one
// with a capital first letter (as the books write headwords), then the one
// met first.
class Tally {
public:
    void add(const QString &name, const QString &key, const QString &id)
    {
        const QString trimmed = name.trimmed();
        if (trimmed.isEmpty())
            return;
        auto it = index_.find(key);
        if (it == index_.end()) {
            it = index_.insert(key, items_.size());
            items_.append(Item{});
        }
        Item &item = items_[*it];
        // Once per dream, even when an entry repeats the name.
        if (!item.r.dreams.isEmpty() && item.r.dreams.constLast() == id)
            return;
        ++item.r.count;
        item.r.dreams.append(id);
        const int n = ++item.spellings[trimmed];
        if (item.r.name.isEmpty() || n > item.best
            || (n == item.best && trimmed.at(0).isUpper() && !item.r.name.at(0).isUpper())) {
            item.r.name = trimmed;
            item.best = n;
        }
    }
    QList<Recurrence> sorted()
    {
        QList<Recurrence> out;
        out.reserve(items_.size());
        for (Item &item : items_)
            out.append(std::move(item.r));
        std::stable_sort(out.begin(), out.end(), [](const Recurrence &a, const Recurrence &b) {
            if (a.count != b.count)
                return a.count > b.count;
            return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
        });
        return out;
    }

private:
    struct Item {
        Recurrence r;
        QHash<QString, int> spellings;
        int best = 0;
    };
    QHash<QString, qsizetype> index_;
    QList<Item> items_;
};

QList<FulfilmentRow> emptyRows(int count, QString (*text)(const qint16 &))
{
    QList<FulfilmentRow> rows(count);
    for (int i = 0; i < count; ++i) {
        rows[i].key = i + 1;
        rows[i].calendarText = text(static_cast<qint16>(i + 1));
    }
    return rows;
}

void countMark(FulfilmentRow &row, Mark mark)
{
    ++row.marked;
    switch (mark) {
    case Mark::Yes: ++row.yes; break;
    case Mark::Partly: ++row.partly; break;
    case Mark::No: ++row.no; break;
    case Mark::None: break;
    }
}

void finishRows(QList<FulfilmentRow> &rows)
{
    for (FulfilmentRow &r : rows)
        if (!r.tooFew())
            r.percent = (r.yes + r.partly / 2.0) * 100.0 / r.marked;
}

std::optional<double> share(int part, int whole)
{
    if (whole <= 0)
        return std::nullopt;
    return static_cast<double>(part) / whole;
}

bool isNightmare(const Entry &e)
{
    return e.kinds.contains(DreamKind::Nightmare);
}

int monthIndex(const QDate &d)
{
    return d.year() * 12 + d.month() - 1;
}

// What one pass over the entries gathers.
struct Gathered {
    std::map<QDate, bool> nights; // night -> has a dream
    std::map<int, MonthStats> months;
    double moodSum = 0.0;
    int moodCount = 0;
    std::map<int, double> monthMoodSum;
    Tally symbols, tags, people, places;
};

void gatherDream(const Entry &e, const QDate &night, DiaryStats &s, Gathered &g)
{
    ++s.dreams;
    MonthStats &m = g.months[monthIndex(night)];
    ++m.dreams;
    if (e.lucid) {
        ++s.lucid;
        ++m.lucid;
    }
    if (isNightmare(e)) {
        ++s.nightmares;
        ++m.nightmares;
    }
    if (e.mood) {
        g.moodSum += *e.mood;
        ++g.moodCount;
        ++m.withMood;
        g.monthMoodSum[monthIndex(night)] += *e.mood;
    }
    for (const Symbol &sym : e.symbols)
        if (sym.origin != Symbol::Origin::RemovedByHand)
            g.symbols.add(sym.headword, dictionary::foldWord(sym.headword.trimmed()), e.id);
    for (const Tag &t : e.tags) {
        Tally &tally = t.kind == TagKind::Person ? g.people : t.kind == TagKind::Place ? g.places : g.tags;
        tally.add(t.text, t.text.trimmed().toCaseFolded(), e.id);
    }
    const Mark mark = e.fulfilment.mark;
    if (mark == Mark::None)
        return;
    FulfilmentTables &f = s.fulfilment;
    ++f.marked;
    if (e.lunar.found && e.lunar.lunarDay >= 1 && e.lunar.lunarDay <= kLunarDays)
        countMark(f.byLunarDay[e.lunar.lunarDay - 1], mark);
    else
        ++f.markedWithoutLunarDay;
    // The moment's own date in its own offset, not the night.
    const QDate day = e.at.date();
    if (!day.isValid())
        return;
    countMark(f.byWeekday[day.dayOfWeek() - 1], mark);
    countMark(f.byMonthDay[day.day() - 1], mark);
}

Run runEndingAt(const std::map<QDate, bool> &nights, QDate last)
{
    Run r;
    for (QDate d = last;; d = d.addDays(-1)) {
        const auto it = nights.find(d);
        if (it == nights.end() || !it->second)
            break;
        ++r.nights;
        r.first = d;
    }
    if (r.nights > 0)
        r.last = last;
    return r;
}

void findRuns(const std::map<QDate, bool> &nights, const StatsPeriod &period, const QDateTime &now, DiaryStats &s)
{
    Run current;
    for (const auto &[night, dream] : nights) {
        if (!dream) {
            current = Run{};
            continue;
        }
        if (current.nights > 0 && current.last.addDays(1) == night) {
            ++current.nights;
        } else {
            current = Run{1, night, night};
        }
        current.last = night;
        if (current.nights > s.longestRun.nights)
            s.longestRun = current;
    }

    const QDate present = nightOf(now);
    if (present.isValid() && period.contains(present)) {
        s.currentRun = runEndingAt(nights, present);
        if (s.currentRun.nights == 0)
            s.currentRun = runEndingAt(nights, present.addDays(-1));
    } else if (period.to.isValid() && (!present.isValid() || period.to < present)) {
        s.currentRun = runEndingAt(nights, period.to);
    }
}

QList<MonthStats> allMonths(const Gathered &g, const DiaryStats &s)
{
    QList<MonthStats> months;
    if (!s.firstNight.isValid())
        return months;
    const int first = monthIndex(s.firstNight);
    const int last = monthIndex(s.lastNight);
    months.reserve(last - first + 1);
    for (int i = first; i <= last; ++i) {
        MonthStats m;
        if (const auto it = g.months.find(i); it != g.months.end())
            m = it->second;
        m.year = i / 12;
        m.month = i % 12 + 1;
        m.lucidShare = share(m.lucid, m.dreams);
        m.nightmareShare = share(m.nightmares, m.dreams);
        if (m.withMood > 0)
            m.moodAverage = g.monthMoodSum.at(i) / m.withMood;
        months.append(m);
    }
    return months;
}

} // namespace

StatsPeriod StatsPeriod::year(int year)
{
    return {QDate(year, 1, 1), QDate(year, 12, 31)};
}

StatsPeriod StatsPeriod::month(int year, int month)
{
    const QDate first(year, month, 1);
    return {first, first.isValid() ? first.addMonths(1).addDays(-1) : QDate()};
}

bool StatsPeriod::contains(const QDate &night) const
{
    return night.isValid() && (!from.isValid() || night >= from) && (!to.isValid() || night <= to);
}

bool isDream(const Entry &entry)
{
    const auto notBlank = [](const QString &s) {
        return std::any_of(s.begin(), s.end(), [](QChar c) { return !c.isSpace() && c != QChar(0); });
    };
    return notBlank(entry.title) || notBlank(entry.text);
}

DiaryStats computeStats(const QList<Entry> &entries, const StatsPeriod &period, const QDateTime &now)
{
    DiaryStats s;
    s.period = period;
    s.fulfilment.byLunarDay = emptyRows(kLunarDays, calendar::DreamByMoon);
    s.fulfilment.byWeekday = emptyRows(kWeekdays, calendar::DreamByWeekDay);
    s.fulfilment.byMonthDay = emptyRows(kMonthDays, calendar::DreamByDay);

    // Newest night first, so that names and ids read as the diary's list.
    std::vector<std::pair<QDate, const Entry *>> chosen;
    chosen.reserve(static_cast<std::size_t>(entries.size()));
    for (const Entry &e : entries) {
        const QDate night = e.night.isValid() ? e.night : nightOf(e.at);
        if (!e.deletedAt.isValid() && period.contains(night))
            chosen.emplace_back(night, &e);
    }
    std::stable_sort(chosen.begin(), chosen.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first > b.first : a.second->at > b.second->at;
    });

    Gathered g;
    for (const auto &[night, e] : chosen) {
        ++s.entries;
        const bool dream = isDream(*e);
        bool &hasDream = g.nights[night];
        hasDream = hasDream || dream;
        if (dream)
            gatherDream(*e, night, s, g);
    }

    s.nights = static_cast<int>(g.nights.size());
    for (const auto &[night, dream] : g.nights)
        s.dreamNights += dream ? 1 : 0;
    if (!g.nights.empty()) {
        s.firstNight = g.nights.begin()->first;
        s.lastNight = g.nights.rbegin()->first;
    }
    s.recall = share(s.dreamNights, s.nights);
    s.dreamsPerNight = share(s.dreams, s.nights);
    s.lucidShare = share(s.lucid, s.dreams);
    s.nightmareShare = share(s.nightmares, s.dreams);
    if (g.moodCount > 0)
        s.moodAverage = g.moodSum / g.moodCount;
    findRuns(g.nights, period, now, s);
    s.months = allMonths(g, s);
    s.symbols = g.symbols.sorted();
    s.tags = g.tags.sorted();
    s.people = g.people.sorted();
    s.places = g.places.sorted();
    finishRows(s.fulfilment.byLunarDay);
    finishRows(s.fulfilment.byWeekday);
    finishRows(s.fulfilment.byMonthDay);
    return s;
}

QList<Entry> readAllEntries(const DiaryStore &store)
{
    return store.entries();
}

QString percentText(double percent)
{
    return dates::number(percent, 0) + QStringLiteral("\u00a0%");
}

QString weekdayName(int weekday)
{
    return calendar::WeekDayStr(static_cast<qint16>(weekday));
}

QString nightsText(int nights)
{
    const int tens = nights % 100;
    const int ones = nights % 10;
    const char *word = "ночей";
    if (tens < 11 || tens > 14) {
        if (ones == 1)
            word = "ночь";
        else if (ones >= 2 && ones <= 4)
            word = "ночи";
    }
    return QString::number(nights) + QLatin1Char(' ') + QString::fromUtf8(word);
}

QString dateText(const QDate &date)
{
    static const char *const kGenitive[] = {"января", "февраля", "марта",    "апреля",  "мая",    "июня",
                                            "июля",   "августа", "сентября", "октября", "ноября", "декабря"};
    if (!date.isValid())
        return QString();
    return QStringLiteral("%1 %2 %3")
        .arg(date.day())
        .arg(QString::fromUtf8(kGenitive[date.month() - 1]))
        .arg(date.year());
}

QString monthText(int year, int month)
{
    static const char *const kNames[] = {"январь", "февраль", "март",     "апрель",  "май",    "июнь",
                                         "июль",   "август",  "сентябрь", "октябрь", "ноябрь", "декабрь"};
    if (month < 1 || month > 12)
        return QString();
    return QString::fromUtf8(kNames[month - 1]) + QLatin1Char(' ') + QString::number(year);
}

QString periodText(const StatsPeriod &p)
{
    if (!p.from.isValid() && !p.to.isValid())
        return QStringLiteral("всё время");
    if (p.from.isValid() && p.to.isValid() && p.from.day() == 1) {
        if (p == StatsPeriod::year(p.from.year()))
            return QStringLiteral("%1 год").arg(p.from.year());
        if (p == StatsPeriod::month(p.from.year(), p.from.month()))
            return monthText(p.from.year(), p.from.month());
    }
    if (!p.to.isValid())
        return QStringLiteral("с ") + dateText(p.from);
    if (!p.from.isValid())
        return QStringLiteral("по ") + dateText(p.to);
    return QStringLiteral("с %1 по %2").arg(dateText(p.from), dateText(p.to));
}

QString runText(const Run &run)
{
    if (run.nights == 0)
        return QStringLiteral("нет");
    // the nights named by their mornings, as everywhere in the diary
    if (run.nights == 1)
        return QStringLiteral("1 ночь, на %1").arg(dateText(run.first.addDays(1)));
    return QStringLiteral("%1, с ночи на %2 по ночь на %3")
        .arg(nightsText(run.nights), dateText(run.first.addDays(1)), dateText(run.last.addDays(1)));
}

QList<Recurrence> dreamSigns(const QList<Entry> &entries, const QDateTime &now)
{
    const QDate present = nightOf(now);
    if (!present.isValid())
        return {};
    QList<Recurrence> signs = computeStats(entries, {present.addDays(1 - kSignDays), present}, now).symbols;
    signs.removeIf([](const Recurrence &r) { return r.count < kSignDreams; });
    return signs;
}

QString signText(int dreams)
{
    const int tens = dreams % 100, ones = dreams % 10;
    const char16_t *word = (tens >= 11 && tens <= 14) ? u"снов"
                           : ones == 1                ? u"сон"
                           : (ones >= 2 && ones <= 4) ? u"сна"
                                                      : u"снов";
    return QStringLiteral("Знак сна: %1 %2 за %3 дней").arg(dreams).arg(QString::fromUtf16(word)).arg(kSignDays);
}

} // namespace somnex::diary
