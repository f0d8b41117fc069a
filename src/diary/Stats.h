#pragma once
// What the diary shows the user about his own dreams over a period: how often
// he remembers them, how they change from month to month, what comes back,
// and how often his dreams came true by lunar day, weekday and day of month.
//
// What counts:
//  - an entry is any dream record not in the trash whose night lies in the
//    period (the night follows the noon rule: a dream written at 03:00 belongs
//    to the night that began the evening before);
//  - a dream is an entry whose title or text holds something other than
//    blanks. An empty entry (the user woke and remembered nothing) makes its
//    night a night with an entry, and nothing else: it is not a dream, so it
//    counts in no share, mood, list or fulfilment table;
//  - a night with an entry has at least one entry, a night with a dream at
//    least one dream. Recall is nights with a dream / nights with an entry;
//    dreams per night is dreams / nights with an entry;
//  - a run is a stretch of consecutive nights, each with a dream. The current
//    run ends at the period's last night; when the period reaches the present,
//    at the present night (nightOf(now)), or at the night before it while the
//    present night has no dream yet, so that a run does not break during the
//    day before tonight's dream is written;
//  - months are those of the nights, from the first night with an entry to
//    the last, months without entries included;
//  - symbols are the shown ones (not removed by hand), compared ignoring
//    letter case and ё/е, each counted once per dream; tags, people and places
//    are the entry's tags of each kind, compared ignoring letter case.
//
// The fulfilment tables count the dreams the user marked (mark other than
// none): how many came true, partly, not, and the share
// (yes + partly / 2) / marked. With fewer than kMinMarked marks a row has no
// share. The lunar day is the one stored with the dream (computed in the
// dream's own offset and place; a dream without a place has none and counts
// only in the other two tables). The weekday and the day of the month are
// those of the dream's moment, its own date in its own offset, as the
// calendar shows them for a moment: a dream at 03:00 on a Tuesday counts as
// Tuesday, though its night is Monday's.

#include "diary/Entry.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace somnex::diary {

class DiaryStore;

// A period of nights, both ends included; an invalid end leaves that side open.
struct StatsPeriod {
    QDate from;
    QDate to;

    static StatsPeriod allTime() { return {}; }
    static StatsPeriod year(int year);
    static StatsPeriod month(int year, int month);
    bool contains(const QDate &night) const;

    friend bool operator==(const StatsPeriod &, const StatsPeriod &) = default;
};

// Fewer marks than this give a row no share ("мало отметок").
inline constexpr int kMinMarked = 3;

// One row of a fulfilment table.
struct FulfilmentRow {
    int key = 0; // lunar day 1-30, weekday 1 (Monday)-7, day of the month 1-31
    int marked = 0;
    int yes = 0;
    int partly = 0;
    int no = 0;
    // (yes + partly / 2) / marked as a percentage; none with fewer than kMinMarked marks.
    std::optional<double> percent;
    QString calendarText; // what the lunar calendar says of this day

    bool tooFew() const { return marked < kMinMarked; }
};

struct FulfilmentTables {
    QList<FulfilmentRow> byLunarDay; // 30 rows, lunar days 1 to 30
    QList<FulfilmentRow> byWeekday;  // 7 rows, Monday first
    QList<FulfilmentRow> byMonthDay; // 31 rows
    int marked = 0;                  // marked dreams in the period
    int markedWithoutLunarDay = 0;   // of them, without a lunar day (no place)
};

// Figures of one month (of the nights).
struct MonthStats {
    int year = 0;
    int month = 0; // 1 to 12
    int dreams = 0;
    int lucid = 0;
    int nightmares = 0;
    int withMood = 0; // dreams with a mood
    // Shares of the month's dreams; none for a month without dreams.
    std::optional<double> lucidShare;
    std::optional<double> nightmareShare;
    std::optional<double> moodAverage; // -2 to +2; none without a mood
};

// How often a symbol, tag, person or place came back. Sorted by count, then
// by name (letter case ignored).
struct Recurrence {
    QString name;       // the most frequent spelling (a capitalised one among equals)
    int count = 0;      // dreams
    QStringList dreams; // their entry ids, newest night first
};

// A stretch of consecutive nights with a dream.
struct Run {
    int nights = 0;
    QDate first; // invalid when nights == 0
    QDate last;
};

struct DiaryStats {
    StatsPeriod period;
    int entries = 0;     // entries in the period
    int dreams = 0;      // of them, dreams
    int nights = 0;      // nights with an entry
    int dreamNights = 0; // nights with a dream
    QDate firstNight;    // the first and last night with an entry (invalid when none)
    QDate lastNight;
    std::optional<double> recall;         // dreamNights / nights; none without nights
    std::optional<double> dreamsPerNight; // dreams / nights
    Run longestRun;                       // the earliest of the longest
    Run currentRun;
    int lucid = 0;
    int nightmares = 0;
    std::optional<double> lucidShare; // lucid / dreams; none without dreams
    std::optional<double> nightmareShare;
    std::optional<double> moodAverage;
    QList<MonthStats> months;
    QList<Recurrence> symbols; // most frequent first, then by name
    QList<Recurrence> tags;
    QList<Recurrence> people;
    QList<Recurrence> places;
    FulfilmentTables fulfilment;
};

// Whether an entry counts as a dream: its title or text is not blank.
bool isDream(const Entry &entry);

// The statistics of the entries (those in the trash are skipped) whose
// nights lie in the period. `now` places the current run (its local date and
// the noon rule give the present night).
DiaryStats computeStats(const QList<Entry> &entries, const StatsPeriod &period, const QDateTime &now);

// Your dream signs: the symbols found in at least kSignDreams dreams of the
// nights of the last kSignDays days up to the present night (nightOf(now)),
// counted as the statistics count symbols; most frequent first.
inline constexpr int kSignDays = 90;
inline constexpr int kSignDreams = 3;
QList<Recurrence> dreamSigns(const QList<Entry> &entries, const QDateTime &now);
// "Знак сна: 5 снов за 90 дней".
QString signText(int dreams);

// Every entry of the store not in the trash, in full, newest night first.
// Throws somnex::Error as the store does.
QList<Entry> readAllEntries(const DiaryStore &store);

// ---- texts the window and the command line share ------------------------------

// A percentage (0 to 100) as the window and the command line write it: "67 %".
QString percentText(double percent);
// The weekday's name, 1 = "Понедельник" to 7 = "Воскресенье".
QString weekdayName(int weekday);
// "1 ночь", "3 ночи", "5 ночей".
QString nightsText(int nights);
// A date in Russian: "9 декабря 2026".
QString dateText(const QDate &date);
// A month: "декабрь 2026".
QString monthText(int year, int month);
// The period: "всё время", "2026 год", "декабрь 2026", "с 1 мая 2026 по 9 декабря 2026",
// "с 1 мая 2026", "по 9 декабря 2026".
QString periodText(const StatsPeriod &period);
// A run: "3 ночи, с 29 декабря 2025 по 31 декабря 2025", "нет".
QString runText(const Run &run);

} // namespace somnex::diary
