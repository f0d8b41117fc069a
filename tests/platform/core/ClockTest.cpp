// The program's clock: the system's, a settable one in its place for a
// scope, and the system's back afterwards.

#include "platform/core/Clock.h"

#include <gtest/gtest.h>

using namespace somnex;

TEST(Clock, ASettableClockStandsInForTheSystemsWithinItsScope)
{
    const qint64 wall = QDateTime::currentMSecsSinceEpoch();
    EXPECT_LT(std::abs(Clock::current().msecsSinceEpoch() - wall), 5000);
    {
        SettableClock clock(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 30)));
        const ClockScope scope(clock);
        EXPECT_EQ(Clock::current().today(), QDate(2026, 12, 31));
        clock.advance(45);
        EXPECT_EQ(Clock::current().today(), QDate(2027, 1, 1)) << "moved across the year's end";
        EXPECT_EQ(Clock::current().now().time(), QTime(0, 0, 15));
        clock.set(QDateTime(QDate(2026, 6, 1), QTime(7, 0)));
        EXPECT_EQ(Clock::current().now(), QDateTime(QDate(2026, 6, 1), QTime(7, 0))) << "set back by months";
    }
    EXPECT_LT(std::abs(Clock::current().msecsSinceEpoch() - QDateTime::currentMSecsSinceEpoch()), 5000);
}
