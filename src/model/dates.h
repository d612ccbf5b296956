#pragma once
// Calendar days of the proleptic Gregorian calendar, without time of day or
// zone. Construction never checks; parseIso and isValidDate do. Arithmetic
// runs in 64 bits and raises ValueError when a result leaves the 32-bit range.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

struct Date {
    int32_t year = 0;
    int32_t month = 0;
    int32_t day = 0;
};

Date date(int32_t year, int32_t month, int32_t day);
Date firstOfMonth(int32_t year, int32_t month);

bool isLeapYear(int32_t year);
// A month outside 1..12 has 30 days.
int32_t daysInMonth(int32_t year, int32_t month);
bool isValidDate(int32_t year, int32_t month, int32_t day);
Date lastDayOfMonth(int32_t year, int32_t month);
Date lastDayOfMonth(Date d);

// Days since 1970-01-01 (day 0).
int32_t dayNumber(Date d);
Date fromDayNumber(int32_t n);
Date addDays(Date d, int64_t n);
Date subDays(Date d, int64_t n);
int64_t daysBetween(Date a, Date b);
// Month and year steps clamp the day to the target month's length.
Date addMonths(Date d, int64_t n);
Date addYears(Date d, int64_t n);

// 0 = Monday .. 6 = Sunday.
int weekday(Date d);
// The Sunday on or before the date.
Date startOfWeek(Date d);
// n < 0: the last such weekday of the month; n >= 1: the n-th, which may fall
// in the following month when the month has fewer. weekday must be 0..6.
Date nthWeekdayOfMonth(int32_t year, int32_t month, int weekday, int32_t n);

bool sameDate(Date a, Date b);
bool dateLess(Date a, Date b);
bool dateLessEq(Date a, Date b);
int dateCmp(Date a, Date b);
inline bool operator==(Date a, Date b) { return sameDate(a, b); }

std::string formatIso(Date d);
std::string shortDate(Date d);
std::string longDate(Date d);
// Empty outside 1..12.
std::string monthName(int32_t month);
std::string shortMonthName(int32_t month);
// 0 = "Monday" .. 6 = "Sunday"; empty outside.
std::string weekdayName(int weekday);
std::string ordinalSuffix(int64_t n);

Date parseIso(std::string_view text);
std::optional<Date> tryParseIso(std::string_view text);

Date today();
Date dateFromDateTime(const std::tm& t);

}  // namespace qm
