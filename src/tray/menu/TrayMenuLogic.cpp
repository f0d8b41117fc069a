#include "tray/menu/TrayMenuLogic.h"

#include <algorithm>

namespace somnex::tray {

bool IsMat(QString &word)
{
    static const char16_t *const kFragments[] = {
        u"ёб", u"ебл", u"еба", u"ебу", u"бля", u"сука", u"педир", u"педар", u"пидар", u"хуе", u"пизд", u"хуй",
    };
    word = word.trimmed().toLower();
    for (const char16_t *f : kFragments)
        if (word.contains(QString::fromUtf16(f)))
            return true;
    return false;
}

const std::array<MenuItem, 5> kMenuItems = {{
    {0, "Развернуть", "tray-restore", 75, MenuCommand::Restore},
    {1, "Календарь", "calen", 435, MenuCommand::Calendar},
    {3, "Настройки", "hlp", 1140, MenuCommand::Options},
    {2, "О программе", "about", 1500, MenuCommand::About},
    {4, "Выход", "tray-exit", 1905, MenuCommand::Quit},
}};

std::int16_t StepPosition(std::int16_t position, int delta)
{
    // Up as the very first key lands on the first item rather than before
    // it, so the position always names an item once a key has been used.
    if (position < 1 || position > 5)
        return 1;
    int p = int(position) + delta;
    if (p == 6)
        p = 1;
    if (p == 0)
        p = 5;
    return std::int16_t(p);
}

const MenuItem &ItemAtPosition(std::int16_t position)
{
    if (position < 1 || position > 5)
        return kMenuItems[0];
    return kMenuItems[std::size_t(position - 1)];
}

std::optional<Completion> Complete(const QString &typed, int caret, bool hasSelection, const QString &listWord)
{
    const int n = int(typed.size());
    if (n == 0 || hasSelection || caret != n || listWord.size() <= n)
        return std::nullopt;
    if (QStringView(listWord).left(n).compare(typed, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    Completion c;
    c.text = typed + listWord.mid(n);
    c.selectionStart = caret;
    c.selectionLength = std::max(0, int(c.text.size()) - n);
    return c;
}

bool IdleCounter::tick(bool wordTyped, bool pointerInside)
{
    if (wordTyped || pointerInside)
        count_ = 0;
    if (count_ <= kLimit)
        ++count_;
    return count_ > kLimit;
}

QPoint MenuPosition(const QPoint &pointer, const QSize &size, const QRect &area)
{
    int x = pointer.x() - size.width();
    int y = pointer.y() - size.height();
    if (x < area.left())
        x = pointer.x();
    if (y < area.top())
        y = pointer.y();
    // entirely within the area (an area smaller than the menu shows its top left)
    x = std::max(area.left(), std::min(x, area.left() + area.width() - size.width()));
    y = std::max(area.top(), std::min(y, area.top() + area.height() - size.height()));
    return {x, y};
}

QPoint MenuPosition(const QPoint &pointer, const QSize &size, const QRect &area, const QRect &screen, const QRect &icon)
{
    if (!icon.isValid() || !screen.isValid())
        return MenuPosition(pointer, size, area);
    // the panel stands at the screen edge nearest to the icon
    const int top = icon.top() - screen.top();
    const int bottom = screen.bottom() - icon.bottom();
    const int left = icon.left() - screen.left();
    const int right = screen.right() - icon.right();
    const int nearest = std::min({top, bottom, left, right});
    constexpr int kGap = 2;
    int x = pointer.x() - size.width();
    int y = pointer.y() - size.height();
    if (nearest == bottom)
        y = icon.top() - kGap - size.height();
    else if (nearest == top)
        y = icon.bottom() + 1 + kGap;
    else if (nearest == left)
        x = icon.right() + 1 + kGap;
    else
        x = icon.left() - kGap - size.width();
    x = std::max(area.left(), std::min(x, area.left() + area.width() - size.width()));
    y = std::max(area.top(), std::min(y, area.top() + area.height() - size.height()));
    return {x, y};
}

QRect IconArea(const QRect &icon, const QPoint &pointer)
{
    if (icon.isValid())
        return icon;
    constexpr int kHalf = 16;
    return {pointer.x() - kHalf, pointer.y() - kHalf, 2 * kHalf, 2 * kHalf};
}

} // namespace somnex::tray
