// The diary's statistics against a diary counted by hand: entries written
// through DiaryStore with fixed moments in several offsets, dreams at 03:00,
// an empty entry and one in the trash.
#include "diary/Stats.h"

#include "calendar/tables/DreamTables.h"
#include "diary/DiaryStore.h"
#include "support/QtPrint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace somnex;
using namespace somnex::diary;

namespace {

QDateTime at(int y, int mo, int d, int h, int mi, int offsetHours)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::OffsetFromUTC, offsetHours * 3600);
}

struct Spec {
    const char *name; // a handle for the test, kept in the title
    QDateTime at;
    const char *text;
    bool lucid = false;
    bool nightmare = false;
    std::optional<int> mood;
    Mark mark = Mark::None;
    QStringList symbols;
    QList<Tag> tags;
    bool moscow = true; // with a place (so with a lunar day)
};

Tag tag(const char *text, TagKind kind = TagKind::Plain)
{
    return Tag{QString::fromUtf8(text), kind};
}

// The diary. Nights by the noon rule; weekdays of the moments' own dates.
const Spec kDiary[] = {
    // night 2025-12-29 .. 2025-12-31: the longest run, three nights
    {"E13", at(2025, 12, 29, 23, 0, 3), "Лёд на реке"},
    {"E12", at(2025, 12, 30, 22, 0, 3), "Снег"},
    {"E11", at(2025, 12, 31, 23, 0, 3), "Новый год", true, false, {}, Mark::Yes}, // Wednesday, day 31
    // night 2026-01-05: two dreams, the second at 03:00 of Tuesday
    {"E1", at(2026, 1, 5, 23, 30, 3), "Летал над морем", true, false, 2, Mark::Yes, {"Море"}, {tag("полёт")}},
    {"E2",
     at(2026, 1, 6, 3, 0, 3),
     "Собака гналась",
     false,
     true,
     -2,
     Mark::No,
     {"Собака", "море"},
     {tag("мама", TagKind::Person)}},
    // night 2026-01-06: an empty entry only (its mark and tag count nowhere)
    {"E3", at(2026, 1, 6, 22, 0, 3), "  \n", false, false, {}, Mark::Yes, {}, {tag("полёт")}},
    // night 2026-01-07 in two other offsets: +05:00 (its date Thursday the 8th,
    // in UTC still the 7th) and -05:00 (its date Wednesday the 7th, in UTC the 8th)
    {"E4", at(2026, 1, 8, 2, 0, 5), "Дом", false, false, 1, Mark::Partly, {"Дом"}, {tag("Дача", TagKind::Place)}},
    {"E5",
     at(2026, 1, 7, 23, 0, -5),
     "Снова собака",
     true,
     true,
     {},
     Mark::Yes,
     {"Собака"},
     {tag("Мама", TagKind::Person)}},
    // night 2026-02-01: a dream with a title only, at noon sharp, without a place
    {"E6", at(2026, 2, 1, 12, 0, 3), "", false, false, 0, Mark::Yes, {}, {}, false},  // Sunday, day 1
    {"E7", at(2026, 2, 2, 11, 59, 3), "Вода", false, false, {}, Mark::Yes, {"Вода"}}, // Monday, day 2
    // night 2026-02-07
    {"E14", at(2026, 2, 8, 9, 0, 3), "Кошка", false, false, {}, Mark::No}, // Sunday, day 8
    // March: no entries
    // nights 2026-04-07 and 2026-04-08: the current run
    {"E8", at(2026, 4, 8, 8, 0, 3), "Море", false, false, {}, Mark::Partly, {"Море"}},   // Wednesday, day 8
    {"E9", at(2026, 4, 9, 7, 0, 3), "Море снова", false, false, {}, Mark::No, {"Море"}}, // Thursday, day 9
    // in the trash
    {"E10", at(2026, 4, 8, 23, 0, 3), "В корзине", true, true, 2, Mark::Yes, {"Море"}},
};

class StatsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DiaryStore store(dir.path() + "/diary.sqlite");
        for (const Spec &s : kDiary) {
            Entry e;
            e.at = s.at;
            e.title = s.name == QLatin1String("E6") ? QStringLiteral("Пустыня") : QString();
            e.text = QString::fromUtf8(s.text);
            e.lucid = s.lucid;
            if (s.nightmare)
                e.kinds = {DreamKind::Nightmare};
            e.mood = s.mood;
            e.fulfilment.mark = s.mark;
            for (const QString &h : s.symbols)
                e.symbols.append(Symbol{h, Symbol::Origin::Found});
            if (s.name == QLatin1String("E5")) // removed by hand: not shown, not counted
                e.symbols.append(Symbol{"Дом", Symbol::Origin::RemovedByHand});
            e.tags = s.tags;
            if (s.moscow)
                e.place = Place{"Москва", 55.75, 37.5833};
            ids[s.name] = store.add(e);
        }
        store.moveToTrash(ids["E10"]);
        entries = readAllEntries(store);
    }
    DiaryStats stats(const StatsPeriod &p = {}, const QDateTime &now = at(2026, 4, 9, 10, 0, 3)) const
    {
        return computeStats(entries, p, now);
    }
    QStringList idsOf(std::initializer_list<const char *> names) const
    {
        QStringList out;
        for (const char *n : names)
            out << ids.value(n);
        return out;
    }

    QTemporaryDir dir;
    QMap<QString, QString> ids;
    QList<Entry> entries;
};

void expectShare(const std::optional<double> &actual, std::optional<double> expected, const char *what)
{
    ASSERT_EQ(actual.has_value(), expected.has_value()) << what;
    if (expected) {
        EXPECT_NEAR(*actual, *expected, 1e-9) << what;
    }
}

TEST_F(StatsTest, RecallRunsAndShares)
{
    const DiaryStats s = stats();
    EXPECT_EQ(entries.size(), 13);
    EXPECT_EQ(s.entries, 13);
    EXPECT_EQ(s.dreams, 12); // all but the empty entry; the title-only one counts
    EXPECT_EQ(s.nights, 10); // 12-29, 12-30, 12-31, 01-05, 01-06, 01-07, 02-01, 02-07, 04-07, 04-08
    EXPECT_EQ(s.dreamNights, 9);
    EXPECT_EQ(s.firstNight, QDate(2025, 12, 29));
    EXPECT_EQ(s.lastNight, QDate(2026, 4, 8));
    expectShare(s.recall, 0.9, "recall");
    expectShare(s.dreamsPerNight, 1.2, "dreams per night");
    EXPECT_EQ(s.lucid, 3); // E11, E1, E5
    EXPECT_EQ(s.nightmares, 2);
    expectShare(s.lucidShare, 3.0 / 12, "lucid");
    expectShare(s.nightmareShare, 2.0 / 12, "nightmares");
    expectShare(s.moodAverage, (2 - 2 + 1 + 0) / 4.0, "mood");
    EXPECT_EQ(s.longestRun.nights, 3);
    EXPECT_EQ(s.longestRun.first, QDate(2025, 12, 29));
    EXPECT_EQ(s.longestRun.last, QDate(2025, 12, 31));
}

TEST_F(StatsTest, ReadingAllAtOnceGivesWhatEachEntryReadGives)
{
    DiaryStore store(dir.path() + "/diary.sqlite");
    const QList<EntrySummary> list = store.list();
    ASSERT_EQ(entries.size(), list.size()); // the one in the trash is left out
    for (qsizetype i = 0; i < list.size(); ++i) {
        const Entry one = *store.entry(list[i].id);
        const Entry &all = entries[i];
        SCOPED_TRACE(one.text.toStdString());
        EXPECT_EQ(all.id, one.id);
        EXPECT_EQ(all.at, one.at);
        EXPECT_EQ(all.night, one.night);
        EXPECT_EQ(all.text, one.text);
        EXPECT_EQ(all.tags, one.tags);
        EXPECT_EQ(all.symbols, one.symbols);
        EXPECT_EQ(all.lunar, one.lunar);
        EXPECT_EQ(all.fulfilment, one.fulfilment);
        EXPECT_EQ(all.kinds, one.kinds);
        EXPECT_EQ(all.mood, one.mood);
    }
    EXPECT_TRUE(DiaryStore(dir.path() + "/absent.sqlite").entries().isEmpty());
}

TEST_F(StatsTest, CurrentRunDependsOnThePresentNight)
{
    struct Case {
        const char *name;
        StatsPeriod period;
        QDateTime now;
        int nights;
    };
    const Case cases[] = {
        // the morning after the last dream: the present night has one
        {"morning", {}, at(2026, 4, 9, 10, 0, 3), 2},
        // the evening: tonight has no dream yet, the run ending last night holds
        {"evening", {}, at(2026, 4, 9, 20, 0, 3), 2},
        // a night without a dream in between breaks it
        {"a day later", {}, at(2026, 4, 10, 20, 0, 3), 0},
        // at 03:00 on the 9th the present night is the 8th's
        {"03:00", {}, at(2026, 4, 9, 3, 0, 3), 2},
        // the night of 04-07 only: 04-08 not yet dreamt
        {"before the last", {}, at(2026, 4, 8, 3, 0, 3), 1},
        // a past year: the run ending at its last night
        {"2025", StatsPeriod::year(2025), at(2026, 4, 9, 10, 0, 3), 3},
        // a past month ending on a night without a dream
        {"January", StatsPeriod::month(2026, 1), at(2026, 4, 9, 10, 0, 3), 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(stats(c.period, c.now).currentRun.nights, c.nights) << c.name;
}

TEST_F(StatsTest, Periods)
{
    struct Case {
        const char *name;
        StatsPeriod period;
        int entries, dreams, nights, dreamNights, longest, months;
    };
    const Case cases[] = {
        {"all", {}, 13, 12, 10, 9, 3, 5},
        {"2025", StatsPeriod::year(2025), 3, 3, 3, 3, 3, 1},
        // January: the 03:00 dream of the 6th is the 5th's night
        {"January", StatsPeriod::month(2026, 1), 5, 4, 3, 2, 1, 1},
        {"March", StatsPeriod::month(2026, 3), 0, 0, 0, 0, 0, 0},
        // nights from 01-06: E2 (at 01-06 03:00, night 01-05) falls outside
        {"from 01-06", {QDate(2026, 1, 6), QDate(2026, 2, 1)}, 5, 4, 3, 2, 1, 2},
    };
    for (const Case &c : cases) {
        const DiaryStats s = stats(c.period);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(s.entries, c.entries);
        EXPECT_EQ(s.dreams, c.dreams);
        EXPECT_EQ(s.nights, c.nights);
        EXPECT_EQ(s.dreamNights, c.dreamNights);
        EXPECT_EQ(s.longestRun.nights, c.longest);
        EXPECT_EQ(s.months.size(), c.months);
    }
}

TEST_F(StatsTest, Months)
{
    struct Row {
        int year, month, dreams;
        std::optional<double> lucid, nightmare, mood;
    };
    const Row rows[] = {
        {2025, 12, 3, 1.0 / 3, 0.0, std::nullopt},
        {2026, 1, 4, 0.5, 0.5, 1.0 / 3}, // E1 +2, E2 -2, E4 +1
        {2026, 2, 3, 0.0, 0.0, 0.0},     // E6 (mood 0), E7, E14
        {2026, 3, 0, std::nullopt, std::nullopt, std::nullopt},
        {2026, 4, 2, 0.0, 0.0, std::nullopt},
    };
    const DiaryStats s = stats();
    ASSERT_EQ(s.months.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const MonthStats &m = s.months[qsizetype(i)];
        SCOPED_TRACE(monthText(rows[i].year, rows[i].month).toStdString());
        EXPECT_EQ(m.year, rows[i].year);
        EXPECT_EQ(m.month, rows[i].month);
        EXPECT_EQ(m.dreams, rows[i].dreams);
        expectShare(m.lucidShare, rows[i].lucid, "lucid");
        expectShare(m.nightmareShare, rows[i].nightmare, "nightmare");
        expectShare(m.moodAverage, rows[i].mood, "mood");
    }
}

TEST_F(StatsTest, RecurringSymbolsTagsPeoplePlaces)
{
    const DiaryStats s = stats();
    struct Case {
        const char *what;
        QList<Recurrence> actual;
        QList<Recurrence> expected;
    };
    const Case cases[] = {
        // "море" and "Море" are one symbol; ids newest night first, the 03:00
        // dream (E2) before the evening's (E1) of the same night; the symbol
        // removed by hand and the one of the dream in the trash do not count
        {"symbols",
         s.symbols,
         {{"Море", 4, idsOf({"E9", "E8", "E2", "E1"})},
          {"Собака", 2, idsOf({"E5", "E2"})},
          {"Вода", 1, idsOf({"E7"})},
          {"Дом", 1, idsOf({"E4"})}}},
        // the empty entry's tag does not count
        {"tags", s.tags, {{"полёт", 1, idsOf({"E1"})}}},
        {"people", s.people, {{"Мама", 2, idsOf({"E5", "E2"})}}},
        {"places", s.places, {{"Дача", 1, idsOf({"E4"})}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(c.actual.size(), c.expected.size());
        for (qsizetype i = 0; i < c.actual.size(); ++i) {
            EXPECT_EQ(c.actual[i].name, c.expected[i].name);
            EXPECT_EQ(c.actual[i].count, c.expected[i].count) << c.expected[i].name.toStdString();
            EXPECT_EQ(c.actual[i].dreams, c.expected[i].dreams) << c.expected[i].name.toStdString();
        }
    }
}

struct RowCase {
    int key, marked, yes, partly, no;
    std::optional<double> percent;
};

// One assertion per field, and each gtest assertion counts as several
// statements: a table of fields, longer than a function.
// NOLINTNEXTLINE(readability-function-size)
void expectRows(const QList<FulfilmentRow> &rows, int size, std::initializer_list<RowCase> nonEmpty, const char *what)
{
    SCOPED_TRACE(what);
    ASSERT_EQ(rows.size(), size);
    int listed = 0;
    for (const FulfilmentRow &r : rows) {
        EXPECT_EQ(r.key, &r - rows.data() + 1);
        const RowCase *c = nullptr;
        for (const RowCase &rc : nonEmpty)
            if (rc.key == r.key)
                c = &rc;
        if (!c) {
            EXPECT_EQ(r.marked, 0) << "row " << r.key;
            EXPECT_FALSE(r.percent.has_value()) << "row " << r.key;
            continue;
        }
        ++listed;
        EXPECT_EQ(r.marked, c->marked) << "row " << r.key;
        EXPECT_EQ(r.yes, c->yes) << "row " << r.key;
        EXPECT_EQ(r.partly, c->partly) << "row " << r.key;
        EXPECT_EQ(r.no, c->no) << "row " << r.key;
        expectShare(r.percent, c->percent, "percent");
        EXPECT_EQ(r.tooFew(), !c->percent.has_value()) << "row " << r.key;
    }
    EXPECT_EQ(listed, int(nonEmpty.size()));
}

TEST_F(StatsTest, FulfilmentByWeekdayAndMonthDayUseTheMomentsOwnDate)
{
    // Marked dreams (the empty entry and the one in the trash excluded):
    // E11 yes Wed 31, E1 yes Mon 5, E2 no Tue 6 (night Monday), E4 partly Thu 8
    // (+05:00), E5 yes Wed 7 (-05:00), E6 yes Sun 1, E7 yes Mon 2, E14 no Sun 8,
    // E8 partly Wed 8, E9 no Thu 9.
    const DiaryStats s = stats();
    EXPECT_EQ(s.fulfilment.marked, 10);
    EXPECT_EQ(s.fulfilment.markedWithoutLunarDay, 1); // E6 has no place
    expectRows(s.fulfilment.byWeekday, 7,
               {{1, 2, 2, 0, 0, {}},
                {2, 1, 0, 0, 1, {}},
                {3, 3, 2, 1, 0, (2 + 0.5) / 3 * 100},
                {4, 2, 0, 1, 1, {}},
                {7, 2, 1, 0, 1, {}}},
               "weekday");
    expectRows(s.fulfilment.byMonthDay, 31,
               {{1, 1, 1, 0, 0, {}},
                {2, 1, 1, 0, 0, {}},
                {5, 1, 1, 0, 0, {}},
                {6, 1, 0, 0, 1, {}},
                {7, 1, 1, 0, 0, {}},
                {8, 3, 0, 2, 1, 1.0 / 3 * 100},
                {9, 1, 0, 0, 1, {}},
                {31, 1, 1, 0, 0, {}}},
               "month day");
    EXPECT_EQ(s.fulfilment.byWeekday[0].calendarText, calendar::DreamByWeekDay(1));
    EXPECT_EQ(s.fulfilment.byMonthDay[30].calendarText, calendar::DreamByDay(31));
    EXPECT_EQ(s.fulfilment.byLunarDay[29].calendarText, calendar::DreamByMoon(30));
}

TEST_F(StatsTest, FulfilmentByLunarDayCountsTheStoredSnapshot)
{
    // The lunar days at Moscow's place of the marked dreams (full moon
    // 2026-01-03, new moons 2026-01-18 and 2026-03-19): E11 13 yes, E1 and E2
    // (the same night) 18 yes and no; E4 (02:00 at +05:00) and E5 (23:00 at
    // -05:00), seven hours apart in universal time, both 20, partly and yes;
    // E7 15 yes; E14 21 no; E8 21 partly; E9 22 no. E6 has no place.
    const DiaryStats s = stats();
    expectRows(s.fulfilment.byLunarDay, 30,
               {{13, 1, 1, 0, 0, {}},
                {15, 1, 1, 0, 0, {}},
                {18, 2, 1, 0, 1, {}},
                {20, 2, 1, 1, 0, {}},
                {21, 2, 0, 1, 1, {}},
                {22, 1, 0, 0, 1, {}}},
               "lunar day");

    // A snapshot is what counts, not the moment: an entry keeps the lunar day
    // it was written with, and one outside 1-30 counts as having none.
    QList<Entry> own;
    for (int day : {7, 7, 7, 0, 31}) {
        Entry e;
        e.id = QString::number(own.size());
        e.at = at(2026, 1, 18, 23, 0, 3); // a new moon: the engine would say 1
        e.night = nightOf(e.at);
        e.text = "сон";
        e.fulfilment.mark = own.size() == 0 ? Mark::Partly : Mark::Yes;
        e.lunar.found = day != 0;
        e.lunar.lunarDay = day;
        own << e;
    }
    const DiaryStats t = computeStats(own, {}, at(2026, 1, 19, 10, 0, 3));
    expectRows(t.fulfilment.byLunarDay, 30, {{7, 3, 2, 1, 0, (2 + 0.5) / 3 * 100}}, "snapshot");
    EXPECT_EQ(t.fulfilment.markedWithoutLunarDay, 2);
}

TEST(StatsTexts, RussianForms)
{
    struct Case {
        QString actual;
        const char *expected;
    };
    const Case cases[] = {
        {nightsText(1), "1 ночь"},
        {nightsText(3), "3 ночи"},
        {nightsText(5), "5 ночей"},
        {nightsText(11), "11 ночей"},
        {nightsText(21), "21 ночь"},
        {nightsText(112), "112 ночей"},
        {nightsText(0), "0 ночей"},
        {periodText({}), "всё время"},
        {periodText(StatsPeriod::year(2026)), "2026 год"},
        {periodText(StatsPeriod::month(2024, 2)), "февраль 2024"},
        {periodText({QDate(2026, 5, 1), QDate(2026, 12, 9)}), "с 1 мая 2026 по 9 декабря 2026"},
        {periodText({QDate(2026, 5, 2), {}}), "с 2 мая 2026"},
        {runText({3, QDate(2025, 12, 29), QDate(2025, 12, 31)}),
         "3 ночи, с ночи на 30 декабря 2025 по ночь на 1 января 2026"},
        {runText({1, QDate(1990, 7, 14), QDate(1990, 7, 14)}), "1 ночь, на 15 июля 1990"},
        {runText({}), "нет"},
        {percentText(200.0 / 3), "67\u00a0%"},
        {weekdayName(1), "Понедельник"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.actual, QString::fromUtf8(c.expected));
    EXPECT_EQ(StatsPeriod::month(2024, 2).to, QDate(2024, 2, 29));
}

// ---- somnex-cli diary stats -----------------------------------------------------

class StatsCliTest : public StatsTest {
protected:
    struct Run {
        int code = -1;
        QString out, err;
    };
    Run run(const QStringList &args)
    {
        // The diary of the fixture at the place the command line reads.
        const QString data = profile.path() + "/data";
        const QString target = data + "/ZUL Programming/ZUL Somnex/3.1/Diary/diary.sqlite";
        if (!QFile::exists(target)) {
            QDir().mkpath(QFileInfo(target).path());
            DiaryStore(dir.path() + "/diary.sqlite").backupTo(target);
        }
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TZ", "Europe/Moscow");
        env.insert("XDG_CONFIG_HOME", profile.path() + "/config");
        env.insert("XDG_DATA_HOME", data);
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("SOMNEX_BUILD_DIR") + "/bin/somnex-cli", QStringList{"diary", "stats"} + args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    QTemporaryDir profile;
};

TEST_F(StatsCliTest, Json)
{
    const Run r = run({"--json", "--from", "2026-01", "--to", "2026-02-07"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(o["from"].toString(), "2026-01-01");
    EXPECT_EQ(o["to"].toString(), "2026-02-07");
    EXPECT_EQ(o["entries"].toInt(), 8); // E1-E7, E14
    EXPECT_EQ(o["nights"].toInt(), 5);
    EXPECT_EQ(o["dreamNights"].toInt(), 4);
    EXPECT_EQ(o["dreams"].toInt(), 7);
    EXPECT_DOUBLE_EQ(o["recall"].toDouble(), 0.8);
    EXPECT_DOUBLE_EQ(o["lucidShare"].toDouble(), 2.0 / 7);
    // Море and Собака come twice each: by name then
    EXPECT_EQ(o["symbols"].toArray()[0].toObject()["name"].toString(), "Море");
    EXPECT_EQ(o["symbols"].toArray()[1].toObject()["name"].toString(), "Собака");
    EXPECT_EQ(o["symbols"].toArray()[1].toObject()["ids"].toArray().size(), 2);
    // The dream signs are the last 90 days' whatever the period: none of this
    // diary's nights is that recent.
    ASSERT_TRUE(o["signs"].isArray());
    EXPECT_TRUE(o["signs"].toArray().isEmpty());
    const QJsonObject f = o["fulfilment"].toObject();
    const QJsonArray byLunar = f["byLunarDay"].toArray();
    ASSERT_EQ(byLunar.size(), 30);
    EXPECT_EQ(byLunar[29].toObject()["day"].toInt(), 30);
    for (const char *key : {"day", "marked", "yes", "partly", "no"})
        EXPECT_TRUE(byLunar[0].toObject().contains(key)) << key;
    const QJsonArray byWeekday = f["byWeekday"].toArray();
    ASSERT_EQ(byWeekday.size(), 7);
    // Sunday: E6 yes, E14 no; Monday: E1 yes, E7 yes
    EXPECT_EQ(byWeekday[6].toObject()["marked"].toInt(), 2);
    EXPECT_EQ(byWeekday[0].toObject()["yes"].toInt(), 2);
    EXPECT_EQ(byWeekday[0].toObject()["name"].toString(), "Понедельник");
    EXPECT_TRUE(byWeekday[0].toObject()["percent"].isNull());
    EXPECT_EQ(f["byMonthDay"].toArray().size(), 31);
    EXPECT_EQ(f["byMonthDay"].toArray()[7].toObject()["marked"].toInt(), 2); // E4, E14
}

// Over all the time since 1990 the text lists the months with dreams only.
TEST_F(StatsCliTest, ALongPeriodListsOnlyTheMonthsWithDreams)
{
    {
        DiaryStore store(dir.path() + "/diary.sqlite");
        Entry e;
        e.at = QDateTime(QDate(1990, 7, 15), QTime(4, 0), Qt::OffsetFromUTC, 4 * 3600);
        e.text = "Давний сон";
        store.add(e);
    }
    const Run r = run({});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString after = r.out.section("По месяцам (со снами):\n", 1);
    EXPECT_TRUE(after.startsWith("  июль 1990: снов 1")) << after.toStdString();
    EXPECT_FALSE(after.contains(": снов 0,")) << after.toStdString();
    const qsizetype monthLines =
        after.count(QRegularExpression(QStringLiteral("^  \\S+ \\d{4}: снов"), QRegularExpression::MultilineOption));
    EXPECT_EQ(monthLines, 1 + 4) << "1990 and the fixture's four months with dreams, not the 430 between";
}

TEST_F(StatsCliTest, TextAndBadArguments)
{
    const Run text = run({"--from", "2025", "--to", "2025"});
    ASSERT_EQ(text.code, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.startsWith("Статистика дневника: 2025 год\n")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("Ваши знаки сна (в 3 снах и больше за 90 дней): нет")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(
        "Самая длинная серия ночей со снами: 3 ночи, с ночи на 30 декабря 2025 по ночь на 1 января 2026"))
        << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("Среда: отмечено 1, сбылось 1, частично 0, не сбылось 0 - мало отметок"))
        << text.out.toStdString();

    struct Case {
        QStringList args;
        const char *message;
    };
    const Case cases[] = {
        {{"--from", "2026-13"}, "Неверная дата: 2026-13"},
        {{"--to", "2026-02-30"}, "Неверная дата: 2026-02-30"},
        {{"--from"}, "Не указано значение после --from."},
        {{"--from", "2026-02-01", "--to", "2026-01-31"},
         "Начало периода (1 февраля 2026) позже его конца (31 января 2026)."},
        {{"--year"}, "Неизвестный параметр: --year"},
    };
    for (const Case &c : cases) {
        const Run r = run(c.args);
        EXPECT_EQ(r.code, 2) << c.args.join(" ").toStdString();
        EXPECT_TRUE(r.err.startsWith(QString::fromUtf8(c.message))) << r.err.toStdString();
    }
}

} // namespace

// Dream signs: a symbol in three dreams of the last 90 days (letter case and
// ё ignored, once a dream, removed by hand not counted) is one; two dreams,
// or a third one before the 90 days, are not.
TEST(DreamSigns, ThreeDreamsInNinetyDays)
{
    QList<Entry> entries;
    int n = 0;
    auto add = [&](const QDate &night, const QStringList &symbols, bool removed = false) {
        Entry e;
        e.id = QStringLiteral("S%1").arg(++n);
        e.night = night;
        e.at = QDateTime(night.addDays(1), QTime(6, 0), Qt::OffsetFromUTC, 3 * 3600);
        e.text = QStringLiteral("сон");
        for (const QString &h : symbols)
            e.symbols.append(Symbol{h, removed ? Symbol::Origin::RemovedByHand : Symbol::Origin::Found});
        entries.prepend(e);
    };
    const QDate today(2026, 12, 9);
    add(today.addDays(-120), {QStringLiteral("Дом")});
    add(today.addDays(-80), {QStringLiteral("Ёлка"), QStringLiteral("Дом")});
    add(today.addDays(-30), {QStringLiteral("елка"), QStringLiteral("Вода")});
    add(today.addDays(-5), {QStringLiteral("ёлка"), QStringLiteral("Дом"), QStringLiteral("Вода")});
    add(today.addDays(-2), {QStringLiteral("Вода")}, true);
    add(today.addDays(-1), {QStringLiteral("Вода"), QStringLiteral("вода")});
    const QDateTime now(today, QTime(9, 0), Qt::OffsetFromUTC, 3 * 3600);
    const QList<Recurrence> signs = dreamSigns(entries, now);
    QStringList got;
    for (const Recurrence &r : signs)
        got << QStringLiteral("%1 %2").arg(r.name).arg(r.count);
    EXPECT_EQ(got, QStringList({"Вода 3", "Ёлка 3"})) << "Дом: the third is 120 days back";
    // A month later Ёлка's first dream is out of the 90 days.
    got.clear();
    for (const Recurrence &r : dreamSigns(entries, now.addDays(20)))
        got << r.name;
    EXPECT_EQ(got, QStringList({"Вода"}));
    EXPECT_TRUE(dreamSigns({}, now).isEmpty());
    EXPECT_EQ(signText(5), QStringLiteral("Знак сна: 5 снов за 90 дней"));
    EXPECT_EQ(signText(3), QStringLiteral("Знак сна: 3 сна за 90 дней"));
    EXPECT_EQ(signText(21), QStringLiteral("Знак сна: 21 сон за 90 дней"));
    EXPECT_EQ(signText(12), QStringLiteral("Знак сна: 12 снов за 90 дней"));
}
