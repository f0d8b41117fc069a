#pragma once
// The morning reminder while the program runs (window or tray): at the time
// chosen a desktop notification "Запишите сон, пока он не забылся" with
// last night's date and lunar day and three buttons — "Записать сон" (the
// diary on a new dream of that night), "Позже" (again in 15 minutes, twice
// at most), "Сегодня не снилось" (an entry with no dream for that night,
// which the statistics count in recall). Where no notification server
// answers, the tray icon's message says the same and a click on it opens
// the diary. The clock is the program's (Clock), read every half minute,
// so a clock set back or forward and a sleep in between are taken as they
// come.

#include "appstate/Reminder.h"
#include "diary/Entry.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

namespace somnex {
class DesktopNotifier;
} // namespace somnex

namespace somnex::diary {

class MorningHost {
public:
    virtual ~MorningHost() = default;
    // The diary on a new dream of the night just ended, the keyboard in its text.
    virtual void writeMorningDream() = 0;
    // The place a dream is written at (the program's).
    virtual Place morningPlace() = 0;
    // The tray icon's message, where no notification server answers.
    virtual void showTrayMessage(const QString &title, const QString &text) = 0;
};

class MorningReminder : public QObject {
    Q_OBJECT

public:
    // diaryPath: the diary file (read to see whether the night has an
    // entry, written for "Сегодня не снилось").
    MorningReminder(MorningHost *host, DesktopNotifier *notifier, const QString &diaryPath, QObject *parent = nullptr);
    ~MorningReminder() override;

    // The settings read anew (the options window saved them) and checked.
    void reload();
    // Reminds now if it is due (the timer's tick).
    void check();
    // One reminder now, whatever the time ("Проверить" in the options).
    void sendNow();
    // A click on the tray icon's message.
    void trayMessageClicked();

    const ReminderSettings &settings() const { return settings_; }
    const ReminderState &state() const { return state_; }
    static constexpr int kTickMs = 30000;

signals:
    void reminded(const QString &summary, const QString &body);

private:
    void remind(bool later);
    void action(uint id, const QString &key);
    void recordNoDream();
    bool nightHasEntry(const QDate &night) const;
    QString nightLine(const QDateTime &now) const;

    MorningHost *host_;
    QPointer<DesktopNotifier> notifier_;
    QString path_;
    ReminderSettings settings_;
    ReminderState state_;
    QTimer timer_;
    uint shownId_ = 0;
    QDate shownNight_;
};

} // namespace somnex::diary
