#include "appstate/Reminder.h"

#include <QRegularExpression>

#include <algorithm>

namespace somnex {

ReminderSettings ReminderSettings::load(const Getter &get)
{
    ReminderSettings s;
    const QString on = get(QStringLiteral("Remind"), QStringLiteral("0")).trimmed();
    s.on = on == QLatin1String("1");
    const QString time = get(QStringLiteral("RemindTime"), QStringLiteral("07:30")).trimmed();
    static const QRegularExpression hhmm(QStringLiteral("^(\\d{1,2}):(\\d{2})$"));
    const QRegularExpressionMatch m = hhmm.match(time);
    const QTime t = m.hasMatch() ? QTime(m.captured(1).toInt(), m.captured(2).toInt()) : QTime();
    if (t.isValid()) {
        s.time = t;
    } else {
        if (s.on)
            s.problem = QStringLiteral("Время напоминания «%1» не прочитано: напоминание выключено.").arg(time);
        s.on = false;
    }
    const QString days = get(QStringLiteral("RemindDays"), QStringLiteral("1234567")).trimmed();
    QSet<int> chosen;
    bool read = !days.isEmpty();
    for (const QChar c : days) {
        if (c < QLatin1Char('1') || c > QLatin1Char('7'))
            read = false;
        else
            chosen.insert(c.digitValue());
    }
    if (read) {
        s.days = chosen;
    } else {
        if (s.on)
            s.problem = QStringLiteral("Дни напоминания «%1» не прочитаны: напоминание выключено.").arg(days);
        s.on = false;
    }
    return s;
}

void ReminderSettings::save(const Saver &put) const
{
    put(QStringLiteral("Remind"), on ? QStringLiteral("1") : QStringLiteral("0"));
    put(QStringLiteral("RemindTime"), timeText());
    put(QStringLiteral("RemindDays"), daysText());
}

QString ReminderSettings::timeText() const
{
    return time.toString(QStringLiteral("HH:mm"));
}

QString ReminderSettings::daysText() const
{
    QList<int> sorted(days.begin(), days.end());
    std::sort(sorted.begin(), sorted.end());
    QString t;
    for (int d : sorted)
        t += QString::number(d);
    return t;
}

ReminderDue reminderDue(const ReminderSettings &s, const ReminderState &state, const QDateTime &now,
                        const std::function<bool(const QDate &night)> &nightHasEntry)
{
    if (!s.on || !now.isValid())
        return ReminderDue::No;
    const QDate today = now.date();
    const bool later = state.laterAt.isValid() && now >= state.laterAt && state.shownOn == today
                       && now < state.laterAt.addSecs(qint64(kReminderGraceHours) * 3600);
    const QDateTime at(today, s.time);
    const bool onTime = s.days.contains(today.dayOfWeek()) && state.shownOn != today && now >= at
                        && now < at.addSecs(qint64(kReminderGraceHours) * 3600);
    if (!later && !onTime)
        return ReminderDue::No;
    if (nightHasEntry && nightHasEntry(reminderNight(now)))
        return ReminderDue::No;
    return onTime ? ReminderDue::Now : ReminderDue::Later;
}

} // namespace somnex
