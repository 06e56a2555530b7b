// Automation dates: days since 1899-12-30 00:00 as a double, the fraction being the time
// of day (for dates before the epoch the fraction still counts forward from midnight).
#pragma once

namespace zankit {

struct CalendarTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

double DateFromCalendar(const CalendarTime& time);

// The day number of a date value (its calendar day, whatever the time of day).
long long DayNumber(double date);

// Midnights between two date values: positive when `later` is on a later calendar day.
long long DaysBetween(double earlier, double later);

}  // namespace zankit
