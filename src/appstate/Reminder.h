#pragma once
// When the morning reminder to write a dream down comes. It comes on the
// days chosen at the time chosen, once a day, and only while the night just
// ended has no entry; a program started or woken from sleep within three
// hours after the time, the night still without an entry, reminds then.
// "Позже" brings it back in 15 minutes, twice at most.

#include <QDate>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QTime>

#include <functional>

namespace somnex {

struct ReminderSettings {
    bool on = false;
    QTime time{7, 30};
    QSet<int> days{1, 2, 3, 4, 5, 6, 7}; // ISO weekdays, 1 Monday
    // Why a stored value could not be taken, in Russian (the reminder is then
    // off); empty when all was well.
    QString problem;

    using Getter = std::function<QString(const QString &key, const QString &def)>;
    using Saver = std::function<void(const QString &key, const QString &value)>;
    // From the settings store's strings: "Remind" "1"/"0", "RemindTime"
    // "ЧЧ:ММ", "RemindDays" "12345". A time or days that cannot be read
    // turn the reminder off and say so in problem.
    static ReminderSettings load(const Getter &get);
    void save(const Saver &put) const;
    QString timeText() const;
    QString daysText() const;
};

inline constexpr int kReminderGraceHours = 3;
inline constexpr int kLaterMinutes = 15;
inline constexpr int kLaterTimes = 2;

// What the reminder has done today, kept while the program runs.
struct ReminderState {
    QDate shownOn;      // the date it last came on (by the time, not "Позже")
    QDateTime laterAt;  // when "Позже" brings it back; invalid when not asked
    int laterCount = 0; // how many times "Позже" was pressed on shownOn
};

enum class ReminderDue { No, Now, Later };

// Whether to remind at the moment now: Now at the day's time (or after it
// within the grace hours) when not yet shown that day, Later when "Позже"
// is due; never when the night that ended that morning has an entry.
// nightHasEntry is asked only when the answer depends on it.
ReminderDue reminderDue(const ReminderSettings &s, const ReminderState &state, const QDateTime &now,
                        const std::function<bool(const QDate &night)> &nightHasEntry);

// The night a reminder at the moment speaks of: the one that ended that
// morning.
inline QDate reminderNight(const QDateTime &now)
{
    return now.date().addDays(-1);
}

} // namespace somnex
