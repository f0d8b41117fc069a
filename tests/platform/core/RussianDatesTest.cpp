// Russian dates as every window, the command line and the exports write
// them: the forms of month names after a day number, the night named after
// its morning across a year's end, and what an invalid date or number gets.

#include "platform/core/RussianDates.h"

#include <gtest/gtest.h>

using namespace somnex;

TEST(RussianDates, MonthAndWeekdayNames)
{
    EXPECT_EQ(dates::monthName(12), QStringLiteral("Декабрь"));
    EXPECT_EQ(dates::monthOfDay(3), QStringLiteral("марта"));
    EXPECT_EQ(dates::monthOfDay(5), QStringLiteral("мая"));
    EXPECT_EQ(dates::monthTitle(2026, 12), QStringLiteral("Декабрь 2026"));
    EXPECT_EQ(dates::weekdayName(1), QStringLiteral("Понедельник"));
    EXPECT_EQ(dates::weekdayShort(7), QStringLiteral("Вс"));
    for (int bad : {0, 13, -1})
        EXPECT_TRUE(dates::monthName(bad).isEmpty()) << bad;
    EXPECT_TRUE(dates::weekdayName(8).isEmpty());
    EXPECT_TRUE(dates::monthTitle(2026, 0).isEmpty());
}

TEST(RussianDates, DatesAndNights)
{
    EXPECT_EQ(dates::longDate(QDate(2026, 12, 9)), QStringLiteral("9 декабря 2026"));
    EXPECT_EQ(dates::dayAndMonth(QDate(2027, 4, 4)), QStringLiteral("4 апреля"));
    EXPECT_EQ(dates::nightCaption(QDate(2026, 12, 31)), QStringLiteral("Ночь на 1 января 2027"));
    EXPECT_TRUE(dates::longDate(QDate()).isEmpty());
    EXPECT_TRUE(dates::nightCaption(QDate()).isEmpty());
    // Qt's own Russian forms agree with ours after a day number.
    EXPECT_EQ(dates::format(QDate(2026, 12, 9), QStringLiteral("d MMMM yyyy")), QStringLiteral("9 декабря 2026"));
    EXPECT_EQ(dates::number(63.2, 1), QStringLiteral("63,2"));
    EXPECT_EQ(dates::number(1234.5, 1), QStringLiteral("1\u00a0234,5"));
}
