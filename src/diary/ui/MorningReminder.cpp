#include "diary/ui/MorningReminder.h"

#include "calendar/lunarday/LunarDay.h"
#include "diary/DiaryStore.h"
#include "platform/core/Clock.h"
#include "platform/core/Identity.h"
#include "platform/core/RussianDates.h"
#include "platform/core/Settings.h"
#include "platform/error/Error.h"
#include "platform/ui/DesktopNotifier.h"

#include <QFileInfo>

namespace somnex::diary {

namespace {

const QString kSummary = QStringLiteral("Запишите сон, пока он не забылся");

ReminderSettings storedSettings()
{
    return ReminderSettings::load(
        [](const QString &key, const QString &def) { return GetSetting(settings::kApp, settings::kMain, key, def); });
}

} // namespace

MorningReminder::MorningReminder(MorningHost *host, DesktopNotifier *notifier, const QString &diaryPath,
                                 QObject *parent)
    : QObject(parent), host_(host), notifier_(notifier), path_(diaryPath)
{
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &MorningReminder::check);
    if (notifier_)
        connect(notifier_, &DesktopNotifier::actionInvoked, this, &MorningReminder::action);
    reload();
}

MorningReminder::~MorningReminder() = default;

void MorningReminder::reload()
{
    settings_ = storedSettings();
    if (settings_.on)
        timer_.start();
    else
        timer_.stop();
    check();
}

void MorningReminder::check()
{
    const QDateTime now = Clock::current().now();
    const ReminderDue due =
        reminderDue(settings_, state_, now, [this](const QDate &night) { return nightHasEntry(night); });
    if (due == ReminderDue::No)
        return;
    if (due == ReminderDue::Now) {
        state_.shownOn = now.date();
        state_.laterCount = 0;
    }
    state_.laterAt = QDateTime();
    remind(due == ReminderDue::Later);
}

void MorningReminder::sendNow()
{
    remind(false);
}

bool MorningReminder::nightHasEntry(const QDate &night) const
{
    // A diary not yet written has no entry; reading it writes nothing.
    if (!QFileInfo::exists(path_))
        return false;
    try {
        const DiaryStore store(path_);
        Filter f;
        f.nightFrom = night;
        f.nightTo = night;
        return !store.search(f).isEmpty();
    } catch (const Error &) {
        return false; // a diary that cannot be read: better a reminder too many
    }
}

QString MorningReminder::nightLine(const QDateTime &now) const
{
    const QDate night = reminderNight(now);
    QString line = dates::nightCaption(night);
    const Place place = host_ ? host_->morningPlace() : Place{};
    try {
        const calendar::CalendarAnswer a =
            calendar::computeCalendar(calendar::toDateValue(now.date(), now.time()), {place.latitude, place.longitude});
        if (a.moon.found)
            line += QStringLiteral(", ") + QString::number(a.moon.lunarDay) + QStringLiteral("-й лунный день");
    } catch (const std::exception &) {
        // the date alone
    }
    return line;
}

void MorningReminder::remind(bool)
{
    const QDateTime now = Clock::current().now();
    shownNight_ = reminderNight(now);
    Notification n;
    n.summary = kSummary;
    n.body = nightLine(now) + QStringLiteral(".");
    n.bodyWithoutActions = nightLine(now) + QStringLiteral(": откройте дневник и запишите, что снилось.");
    n.icon = QString::fromLatin1(kDesktopName);
    n.actions = {{QStringLiteral("default"), QStringLiteral("Записать сон")},
                 {QStringLiteral("write"), QStringLiteral("Записать сон")}};
    if (state_.laterCount < kLaterTimes)
        n.actions.append({QStringLiteral("later"), QStringLiteral("Позже")});
    n.actions.append({QStringLiteral("none"), QStringLiteral("Сегодня не снилось")});
    if (notifier_) {
        // The server answers with an id; only the latest one's buttons count.
        connect(
            notifier_, &DesktopNotifier::shown, this, [this](uint id) { shownId_ = id; }, Qt::SingleShotConnection);
        notifier_->notify(n);
    } else if (host_) {
        host_->showTrayMessage(n.summary, n.bodyWithoutActions);
    }
    emit reminded(n.summary, n.body);
}

void MorningReminder::action(uint id, const QString &key)
{
    if (id != shownId_)
        return;
    if (key == QLatin1String("write") || key == QLatin1String("default")) {
        if (host_)
            host_->writeMorningDream();
    } else if (key == QLatin1String("later") && state_.laterCount < kLaterTimes) {
        ++state_.laterCount;
        state_.laterAt = Clock::current().now().addSecs(qint64(kLaterMinutes) * 60);
    } else if (key == QLatin1String("none")) {
        recordNoDream();
    }
}

void MorningReminder::trayMessageClicked()
{
    if (host_)
        host_->writeMorningDream();
}

void MorningReminder::recordNoDream()
{
    if (!shownNight_.isValid() || nightHasEntry(shownNight_))
        return;
    Entry e;
    // The end of the night the reminder spoke of: the morning after it,
    // before noon, so the night is that one whenever the button is pressed.
    e.at = momentIn(shownNight_.addDays(1), QTime(7, 0));
    e.zone = systemZoneName();
    if (host_)
        e.place = host_->morningPlace();
    try {
        DiaryStore store(path_);
        store.add(std::move(e));
    } catch (const Error &err) {
        if (host_)
            host_->showTrayMessage(QStringLiteral("Дневник снов"), err.description());
    }
}

} // namespace somnex::diary
