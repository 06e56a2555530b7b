// Automation dates and the count of midnights between them.
#include <gtest/gtest.h>

#include "frame/date_value.h"

using namespace zankit;

TEST(DateValue, CalendarDatesAndTheMidnightsBetweenThem) {
    EXPECT_DOUBLE_EQ(DateFromCalendar({1899, 12, 30, 0, 0, 0}), 0.0);
    EXPECT_DOUBLE_EQ(DateFromCalendar({1900, 1, 1, 0, 0, 0}), 2.0);
    EXPECT_DOUBLE_EQ(DateFromCalendar({2024, 1, 1, 12, 0, 0}), 45292.5);
    // Before the epoch the fraction still counts the time of day.
    EXPECT_DOUBLE_EQ(DateFromCalendar({1899, 12, 29, 6, 0, 0}), -1.25);

    const double lateEvening = DateFromCalendar({2024, 3, 1, 23, 59, 59});
    const double justAfterMidnight = DateFromCalendar({2024, 3, 2, 0, 0, 1});
    EXPECT_EQ(DaysBetween(lateEvening, justAfterMidnight), 1);
    EXPECT_EQ(DaysBetween(DateFromCalendar({2024, 3, 1, 0, 0, 1}), lateEvening), 0);
    EXPECT_EQ(DaysBetween(justAfterMidnight, lateEvening), -1);
    // Across a leap day.
    EXPECT_EQ(DaysBetween(DateFromCalendar({2024, 2, 28, 12, 0, 0}), DateFromCalendar({2024, 3, 1, 12, 0, 0})), 2);
}
