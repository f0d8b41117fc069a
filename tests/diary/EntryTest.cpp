// The entry's own rules: the night of a moment, the title shown, the codes,
// the symbols after a new search, and the lunar snapshot in the entry's own
// offset.
#include "calendar/lunarday/LunarDay.h"
#include "diary/DiaryStore.h"
#include "diary/Entry.h"
#include "diary/LunarSnapshot.h"
#include "diary/Symbols.h"
#include "support/QtPrint.h"
#include "support/TzScope.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace somnex::diary;

namespace {

QDateTime at(int y, int mo, int d, int h, int mi, int offsetHours)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::OffsetFromUTC, offsetHours * 3600);
}

} // namespace

TEST(DiaryEntry, NightFollowsTheNoonRule)
{
    struct Case {
        QDateTime moment;
        QDate night;
    };
    const Case cases[] = {
        {at(2026, 12, 9, 3, 0, 3), QDate(2026, 12, 8)},
        {at(2026, 12, 9, 0, 0, 3), QDate(2026, 12, 8)},
        {QDateTime(QDate(2026, 12, 9), QTime(11, 59, 59), Qt::OffsetFromUTC, 0), QDate(2026, 12, 8)},
        {at(2026, 12, 9, 12, 0, 3), QDate(2026, 12, 9)},
        {at(2026, 12, 9, 23, 59, -5), QDate(2026, 12, 9)},
        {at(2026, 1, 1, 4, 0, 10), QDate(2025, 12, 31)},
        {at(2024, 3, 1, 6, 0, 0), QDate(2024, 2, 29)},
        {QDateTime(), QDate()},
    };
    for (const Case &c : cases)
        EXPECT_EQ(nightOf(c.moment), c.night) << c.moment.toString(Qt::ISODate).toStdString();
}

TEST(DiaryEntry, DisplayTitleIsTheTitleOrTheFirstWords)
{
    struct Case {
        QString title, text, shown;
    };
    const Case cases[] = {
        {"  Полёт  над   морем ", "Текст", "Полёт над морем"},
        {"", "Я шёл по лесу, и вдруг", "Я шёл по лесу, и вдруг"},
        {"", "Я шёл по тёмному лесу, и вдруг увидел", "Я шёл по тёмному лесу, и…"},
        {"   ", "\n\n  Один\tдва\n", "Один два"},
        {"", QString("раз") + QChar(0) + "два три", "раз два три"},
        {"", "  \n ", "Без названия"},
        {"", "", "Без названия"},
    };
    for (const Case &c : cases) {
        Entry e;
        e.title = c.title;
        e.text = c.text;
        EXPECT_EQ(e.displayTitle(), c.shown) << c.text.toStdString();
    }
}

TEST(DiaryEntry, CodesAndNamesGoBothWays)
{
    for (DreamKind k : kAllKinds) {
        EXPECT_EQ(kindFromCode(kindCode(k)), k);
        EXPECT_EQ(kindFromCode(kindName(k).toUpper()), k);
    }
    EXPECT_EQ(kindFromCode(u"Сонный Паралич"), DreamKind::SleepParalysis);
    EXPECT_FALSE(kindFromCode(u"сон"));
    for (Mark m : {Mark::None, Mark::Yes, Mark::Partly, Mark::No})
        EXPECT_EQ(markFromCode(markCode(m)), m);
    EXPECT_EQ(markName(Mark::Partly), "частично");
    EXPECT_FALSE(markFromCode(u"maybe"));
    EXPECT_EQ(isoWithOffset(at(2026, 12, 9, 3, 15, 3)), "2026-12-09T03:15:00+03:00");
    EXPECT_EQ(isoWithOffset(QDateTime(QDate(2026, 1, 2), QTime(23, 0), Qt::OffsetFromUTC, -(5 * 3600 + 1800))),
              "2026-01-02T23:00:00-05:30");
}

TEST(DiaryEntry, MomentInAZoneTakesItsOffsetThen)
{
    EXPECT_EQ(momentIn(QDate(2026, 7, 1), QTime(3, 0), "Europe/Berlin").offsetFromUtc(), 7200);
    EXPECT_EQ(momentIn(QDate(2026, 1, 1), QTime(3, 0), "Europe/Berlin").offsetFromUtc(), 3600);
    EXPECT_EQ(momentIn(QDate(2026, 1, 1), QTime(3, 0, 30), "Asia/Kolkata").toString(Qt::ISODate),
              "2026-01-01T03:00:30+05:30");
    EXPECT_FALSE(momentIn(QDate(2026, 1, 1), QTime(3, 0), "Nowhere/Atlantis").isValid());
}

TEST(DiaryEntry, MergedSymbolsKeepTheUsersEdits)
{
    using O = Symbol::Origin;
    struct Case {
        const char *name;
        QList<Symbol> stored;
        QStringList found;
        QList<Symbol> merged;
    };
    const Case cases[] = {
        {"first search", {}, {"Собака", "Река"}, {{"Собака", O::Found}, {"Река", O::Found}}},
        {"found ones not found again go", {{"Собака", O::Found}}, {"Река"}, {{"Река", O::Found}}},
        {"removed stays removed",
         {{"Собака", O::RemovedByHand}},
         {"Собака", "Река"},
         {{"Река", O::Found}, {"Собака", O::RemovedByHand}}},
        {"removed kept when not found", {{"Собака", O::RemovedByHand}}, {}, {{"Собака", O::RemovedByHand}}},
        {"added kept after the found",
         {{"Луна", O::AddedByHand}},
         {"Река"},
         {{"Река", O::Found}, {"Луна", O::AddedByHand}}},
        {"added and found shows once as added",
         {{"Луна", O::AddedByHand}},
         {"луна", "Река"},
         {{"Река", O::Found}, {"Луна", O::AddedByHand}}},
        {"found twice, ё and case", {}, {"Ёж", "ЕЖ", "Еж"}, {{"Ёж", O::Found}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(mergeSymbols(c.stored, c.found), c.merged) << c.name;

    QList<Symbol> s = mergeSymbols({}, {"Собака", "Река"});
    s = removeSymbolByHand(s, "собака");
    s = addSymbolByHand(s, "Луна");
    EXPECT_EQ(s, (QList<Symbol>{{"Собака", O::RemovedByHand}, {"Река", O::Found}, {"Луна", O::AddedByHand}}));
    s = addSymbolByHand(s, "Собака");
    s = removeSymbolByHand(s, "Луна");
    EXPECT_EQ(s, (QList<Symbol>{{"Собака", O::AddedByHand}, {"Река", O::Found}}));
}

TEST(DiaryEntry, QueryRangesMarkEveryFormOfEveryWord)
{
    const QString text = "Собаки лаяли; я гладил собаку. Кошка-собака? СОБАК нет.";
    const QList<TextRange> r = queryRanges(text, "собака");
    QStringList marked;
    for (const TextRange &x : r)
        marked << text.mid(x.start, x.length);
    EXPECT_EQ(marked, (QStringList{"Собаки", "собаку", "СОБАК"}));
    EXPECT_TRUE(queryRanges(text, "!!!").isEmpty());
}

// The snapshot is the calendar's answer for the same instant: in a zone
// whose offset is the entry's, the calendar window shows the same.
TEST(DiaryMoment, ANewDreamIsTheNightJustPast)
{
    TzScope tz("Europe/Moscow");
    const auto at = [](int h, int m) {
        return QDateTime(QDate(2026, 12, 9), QTime(h, m), Qt::OffsetFromUTC, 3 * 3600);
    };
    EXPECT_EQ(newDreamMoment(at(3, 15)), at(3, 15)) << "written in the night: then";
    EXPECT_EQ(newDreamMoment(at(11, 59)), at(11, 59));
    const QDateTime afternoon = newDreamMoment(at(13, 7));
    EXPECT_EQ(afternoon, at(7, 0)) << "written after noon: this morning";
    EXPECT_EQ(afternoon.offsetFromUtc(), 3 * 3600);
    EXPECT_EQ(nightOf(afternoon), QDate(2026, 12, 8)) << "the night to 9 December, not the coming one";
    EXPECT_EQ(newDreamMoment(at(23, 30), QTime(6, 30)), at(6, 30));
    EXPECT_FALSE(newDreamMoment(QDateTime()).isValid());
}

TEST(DiaryLunarSnapshot, MatchesTheCalendarInTheEntrysZone)
{
    struct Case {
        const char *zone;
        QDate date;
        QTime time;
    };
    const Case cases[] = {
        {"Europe/Moscow", QDate(2026, 12, 9), QTime(3, 15)},
        {"America/New_York", QDate(2026, 7, 14), QTime(23, 40)},
        {"Asia/Vladivostok", QDate(1999, 1, 31), QTime(0, 5)},
        {"UTC", QDate(2026, 12, 9), QTime(0, 52)},
    };
    const Place place{"", 55.75, 37.5833};
    for (const Case &c : cases) {
        TzScope tz(c.zone);
        // The calendar turns a moment by the offset in force then (summer or
        // winter time); the entry keeps the offset it was written with.
        const QDateTime moment(c.date, c.time, Qt::OffsetFromUTC,
                               QDateTime(c.date, c.time, QTimeZone(c.zone)).offsetFromUtc());
        const LunarSnapshot s = computeSnapshot(moment, place);
        const auto a = somnex::calendar::computeCalendar(somnex::calendar::toDateValue(c.date, c.time),
                                                         {place.latitude, place.longitude});
        ASSERT_TRUE(a.moon.found) << c.zone;
        ASSERT_TRUE(s.found) << c.zone;
        EXPECT_EQ(s.lunarDay, a.moon.lunarDay) << c.zone;
        EXPECT_EQ(s.start.toString(Qt::ISODate).left(19), somnex::calendar::isoMoment(a.moon.start).replace(' ', 'T'))
            << c.zone;
        EXPECT_EQ(s.end.toString(Qt::ISODate).left(19), somnex::calendar::isoMoment(a.moon.end).replace(' ', 'T'))
            << c.zone;
        EXPECT_EQ(s.weekdayText, a.weekdayText) << c.zone;
        EXPECT_EQ(s.monthDayText, a.dayText) << c.zone;
        EXPECT_FALSE(s.lunarDayText.isEmpty()) << c.zone;
        EXPECT_EQ(s.phasePicture, somnex::calendar::phasePictureFor(s.lunarDay)) << c.zone;
    }
}

TEST(DiaryLunarSnapshot, UsesTheEntrysOwnOffsetNotTheMachines)
{
    const Place place{"", 55.75, 37.5833};
    // The machine's zone must not matter.
    TzScope tz("America/Los_Angeles");
    const QDateTime moscow = at(2026, 12, 20, 18, 0, 3);
    const QDateTime sameInstant = moscow.toOffsetFromUtc(10 * 3600);
    const LunarSnapshot a = computeSnapshot(moscow, place);
    const LunarSnapshot b = computeSnapshot(sameInstant, place);
    ASSERT_TRUE(a.found && b.found);
    EXPECT_EQ(a.lunarDay, b.lunarDay);
    EXPECT_EQ(a.start.toSecsSinceEpoch(), b.start.toSecsSinceEpoch());
    EXPECT_EQ(a.end.toSecsSinceEpoch(), b.end.toSecsSinceEpoch());
    EXPECT_EQ(a.start.offsetFromUtc(), 3 * 3600);
    EXPECT_EQ(b.start.offsetFromUtc(), 10 * 3600);

    // The same local time half an hour after a lunar day began, seven hours
    // further east, is seven hours earlier: still the day before.
    const QDateTime justAfter = a.start.addSecs(1800);
    const QDateTime east(justAfter.date(), justAfter.time(), Qt::OffsetFromUTC, 10 * 3600);
    const LunarSnapshot c = computeSnapshot(justAfter, place);
    const LunarSnapshot d = computeSnapshot(east, place);
    ASSERT_TRUE(c.found && d.found);
    EXPECT_EQ(c.lunarDay, a.lunarDay);
    EXPECT_EQ(d.lunarDay, a.lunarDay - 1);
}

TEST(DiaryLunarSnapshot, WithoutPlaceOrAtTheEndsOfTheRange)
{
    const LunarSnapshot none = computeSnapshot(at(2026, 12, 9, 3, 0, 3), std::nullopt);
    EXPECT_FALSE(none.found);
    EXPECT_EQ(none.lunarDay, 0);
    EXPECT_FALSE(none.weekdayText.isEmpty());
    EXPECT_FALSE(none.monthDayText.isEmpty());
    EXPECT_EQ(computeSnapshot(QDateTime(), Place{}), LunarSnapshot{});
    // The ends of the calendar's range: an answer or none, never a crash.
    for (const QDateTime &m : {at(kFirstYear, 1, 1, 0, 0, 14), at(kLastYear, 12, 31, 23, 59, -12)}) {
        const LunarSnapshot s = computeSnapshot(m, Place{"", -89.9, 179.9});
        EXPECT_FALSE(s.weekdayText.isEmpty());
        if (s.found) {
            EXPECT_GE(s.lunarDay, 1);
            EXPECT_LE(s.lunarDay, 30);
        }
    }
}

// Many moments at once give what each gives alone: places mixed, offsets
// mixed, moments in one lunation and far apart, none, and the ends of the
// range, where the batch's fault must not cost the other moments their day.
TEST(DiaryLunarSnapshot, ManyAtOnceAsEachAlone)
{
    const Place moscow{"Москва", 55.75, 37.5833};
    const Place vladivostok{"Владивосток", 43.1, 131.9};
    QList<DatedPlace> moments;
    for (int day = 1; day <= 40; day += 3) {
        moments.append({at(2026, 11, day > 30 ? day - 30 : day, 3, 15, 3), moscow});
        moments.append({at(2026, 11, day > 30 ? day - 30 : day, 23, 40, 10), vladivostok});
    }
    moments.append({at(1999, 8, 11, 12, 0, 2), moscow});
    moments.append({at(2026, 12, 9, 3, 0, 3), std::nullopt});
    moments.append({QDateTime(), moscow});
    moments.append({at(kFirstYear, 1, 1, 0, 0, 14), Place{"", -89.9, 179.9}});
    moments.append({at(2026, 12, 9, 3, 0, -5), Place{"", -89.9, 179.9}});
    const QList<LunarSnapshot> batch = computeSnapshots(moments);
    ASSERT_EQ(batch.size(), moments.size());
    for (qsizetype i = 0; i < moments.size(); ++i)
        EXPECT_EQ(batch[i], computeSnapshot(moments[i].at, moments[i].place))
            << i << " " << moments[i].at.toString(Qt::ISODate).toStdString();
}

// The month of the Moon counts a night's dreams on the morning it ends: an
// empty entry (nothing remembered) is no dream, dates outside are left out.
TEST(DiaryEntry, DreamsAreCountedOnTheMorningTheirNightEnds)
{
    auto summary = [](const QDate &night, const char *title) {
        EntrySummary s;
        s.night = night;
        s.displayTitle = QString::fromUtf8(title);
        return s;
    };
    const QList<EntrySummary> entries{summary(QDate(2026, 12, 9), "Вода"), summary(QDate(2026, 12, 9), "Река"),
                                      summary(QDate(2026, 12, 10), ""), summary(QDate(2026, 11, 30), "Лес"),
                                      summary(QDate(2026, 12, 31), "Снег")};
    const QMap<QDate, int> counts = dreamsByMorning(entries, QDate(2026, 12, 1), QDate(2026, 12, 31));
    EXPECT_EQ(counts.value(QDate(2026, 12, 10)), 2);
    EXPECT_FALSE(counts.contains(QDate(2026, 12, 11))) << "an empty entry is no dream";
    EXPECT_EQ(counts.value(QDate(2026, 12, 1)), 1) << "the night of 30 November ends on 1 December";
    EXPECT_FALSE(counts.contains(QDate(2027, 1, 1))) << "outside the month";
    EXPECT_EQ(counts.size(), 2);
}
