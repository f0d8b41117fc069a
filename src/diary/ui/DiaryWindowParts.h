#pragma once
// What the diary window's parts share (DiaryWindow*.cpp): its title, the
// choices of its boxes and how it words dates, tags and places.

#include "diary/Entry.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace somnex::diary::diary_window {

inline const QString kTitle = QStringLiteral("Дневник снов");

// The filter box's choices, in order.
struct QuickFilter {
    const char16_t *caption;
    std::optional<bool> lucid;
    std::optional<DreamKind> kind;
    std::optional<Mark> mark;
    bool trash = false; // the dreams in the trash instead
};
inline const QuickFilter kQuickFilters[] = {
    {u"Все сны", {}, {}, {}},
    {u"Осознанные", true, {}, {}},
    {u"Кошмары", {}, DreamKind::Nightmare, {}},
    {u"Повторяющиеся", {}, DreamKind::Recurring, {}},
    {u"Ложные пробуждения", {}, DreamKind::FalseAwakening, {}},
    {u"Сонный паралич", {}, DreamKind::SleepParalysis, {}},
    {u"Сбылись", {}, {}, Mark::Yes},
    {u"Сбылись частично", {}, {}, Mark::Partly},
    {u"Не сбылись", {}, {}, Mark::No},
    {u"Не отмечены", {}, {}, Mark::None},
    {u"Корзина", {}, {}, {}, true},
};

inline constexpr Mark kMarkChoices[] = {Mark::None, Mark::Yes, Mark::Partly, Mark::No};

QString russianDate(const QDate &d, const char *format);
QString russianMoment(const QDateTime &t);
// Tags of one kind as the user types them: comma-separated.
QString tagsText(const QList<Tag> &tags, TagKind kind);
void addTags(QList<Tag> &tags, const QString &text, TagKind kind);
QString placeText(const std::optional<Place> &place);

} // namespace somnex::diary::diary_window
