#include "frame/date_value.h"

#include <cmath>

namespace zankit {
namespace {

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

const long long kEpochOffset = DaysFromCivil(1899, 12, 30);

}  // namespace

double DateFromCalendar(const CalendarTime& time) {
    const long long days =
        DaysFromCivil(time.year, static_cast<unsigned>(time.month), static_cast<unsigned>(time.day)) - kEpochOffset;
    const double fraction = (time.hour * 3600.0 + time.minute * 60.0 + time.second) / 86400.0;
    return days < 0 ? static_cast<double>(days) - fraction : static_cast<double>(days) + fraction;
}

long long DayNumber(double date) {
    // Before the epoch the integer part still names the day: -1.25 is 1899-12-29 06:00.
    return static_cast<long long>(std::trunc(date));
}

long long DaysBetween(double earlier, double later) { return DayNumber(later) - DayNumber(earlier); }

}  // namespace zankit
