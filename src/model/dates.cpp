#include "model/dates.h"

#include "core/ascii.h"
#include "core/errors.h"

#include <cstdio>
#include <limits>

namespace qm {

namespace {

int64_t floorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

int64_t floorMod(int64_t a, int64_t b) { return a - floorDiv(a, b) * b; }

int32_t checked32(int64_t v)
{
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        throw ValueError("date out of range");
    return static_cast<int32_t>(v);
}

// Day 0 was a Thursday.
int weekdayOfDayNumber(int32_t n) { return (n % 7 + 10) % 7; }

const char* const kMonthNames[12] = {"January", "February", "March", "April", "May", "June", "July", "August",
    "September", "October", "November", "December"};
const char* const kWeekdayNames[7] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

// A whole field of ASCII digits with an optional leading sign.
bool parseField(std::string_view s, int32_t& out)
{
    size_t i = 0;
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        i = 1;
    }
    if (i == s.size())
        return false;
    int32_t v = 0;
    for (; i < s.size(); ++i) {
        if (!isAsciiDigit(s[i]))
            return false;
        v = v * 10 + (s[i] - '0');
    }
    out = negative ? -v : v;
    return true;
}

}  // namespace

Date date(int32_t year, int32_t month, int32_t day) { return Date{year, month, day}; }
Date firstOfMonth(int32_t year, int32_t month) { return Date{year, month, 1}; }

bool isLeapYear(int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int32_t daysInMonth(int32_t year, int32_t month)
{
    switch (month) {
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12:
        return 31;
    case 2:
        return isLeapYear(year) ? 29 : 28;
    default:
        return 30;
    }
}

bool isValidDate(int32_t year, int32_t month, int32_t day)
{
    return month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month);
}

Date lastDayOfMonth(int32_t year, int32_t month) { return Date{year, month, daysInMonth(year, month)}; }
Date lastDayOfMonth(Date d) { return lastDayOfMonth(d.year, d.month); }

int32_t dayNumber(Date d)
{
    // Every walk over dates lands here; real months of positive years need
    // none of the floor corrections below.
    if (d.year > 0 && d.month >= 1 && d.month <= 12) {
        const bool early = d.month <= 2;
        const uint32_t y = uint32_t(d.year) - (early ? 1 : 0);
        const uint32_t era = y / 400, yoe = y - era * 400;
        const uint32_t doy = (153 * uint32_t(early ? d.month + 9 : d.month - 3) + 2) / 5;
        const int64_t doe = int64_t(yoe * 365 + yoe / 4 - yoe / 100 + doy) + int64_t(d.day) - 1;
        return checked32(int64_t(era) * 146097 + doe - 719468);
    }
    int64_t y = d.year;
    if (d.month <= 2)
        --y;
    int64_t era = floorDiv(y, 400);
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * floorMod(int64_t(d.month) + 9, 12) + 2) / 5 + int64_t(d.day) - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return checked32(era * 146097 + doe - 719468);
}

Date fromDayNumber(int32_t n)
{
    int64_t z = int64_t(n) + 719468;
    int64_t era = floorDiv(z, 146097);
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t day = doy - (153 * mp + 2) / 5 + 1;
    int64_t month = mp < 10 ? mp + 3 : mp - 9;
    int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return Date{static_cast<int32_t>(year), static_cast<int32_t>(month), static_cast<int32_t>(day)};
}

Date addDays(Date d, int64_t n)
{
    // Both operands are bounded far below the int64 range, except n itself.
    if (n > std::numeric_limits<int32_t>::max() * 2LL || n < std::numeric_limits<int32_t>::min() * 2LL)
        throw ValueError("date out of range");
    return fromDayNumber(checked32(int64_t(dayNumber(d)) + n));
}

Date subDays(Date d, int64_t n)
{
    if (n == std::numeric_limits<int64_t>::min())
        throw ValueError("date out of range");
    return addDays(d, -n);
}

int64_t daysBetween(Date a, Date b) { return int64_t(dayNumber(a)) - int64_t(dayNumber(b)); }

Date addMonths(Date d, int64_t n)
{
    if (n > std::numeric_limits<int32_t>::max() * 24LL || n < std::numeric_limits<int32_t>::min() * 24LL)
        throw ValueError("date out of range");
    int64_t t = int64_t(d.month) - 1 + n;
    int32_t year = checked32(int64_t(d.year) + floorDiv(t, 12));
    int32_t month = static_cast<int32_t>(floorMod(t, 12) + 1);
    int32_t dim = daysInMonth(year, month);
    return Date{year, month, d.day < dim ? d.day : dim};
}

Date addYears(Date d, int64_t n)
{
    if (n > std::numeric_limits<int32_t>::max() * 2LL || n < std::numeric_limits<int32_t>::min() * 2LL)
        throw ValueError("date out of range");
    int32_t year = checked32(int64_t(d.year) + n);
    int32_t dim = daysInMonth(year, d.month);
    return Date{year, d.month, d.day < dim ? d.day : dim};
}

int weekday(Date d) { return weekdayOfDayNumber(dayNumber(d)); }

Date startOfWeek(Date d) { return subDays(d, (weekday(d) + 1) % 7); }

Date nthWeekdayOfMonth(int32_t year, int32_t month, int wd, int32_t n)
{
    if (wd < 0 || wd > 6)
        throw ValueError("weekday out of range");
    // Series of weekday rules call this for every month they pass, so a
    // result inside the month is made from its fields rather than from a
    // day number; the checks stay those of addDays.
    const bool realMonth = month >= 1 && month <= 12;
    if (n < 0) {
        Date last = lastDayOfMonth(year, month);
        int32_t lastN = dayNumber(last);
        int back = (weekdayOfDayNumber(lastN) - wd + 7) % 7;
        int32_t resultN = checked32(int64_t(lastN) - back);
        return realMonth ? Date{year, month, last.day - back} : fromDayNumber(resultN);
    }
    int32_t firstN = dayNumber(firstOfMonth(year, month));
    int64_t ahead = (wd - weekdayOfDayNumber(firstN) + 7) % 7 + (int64_t(n) - 1) * 7;
    if (ahead > std::numeric_limits<int32_t>::max() * 2LL)
        throw ValueError("date out of range");
    int32_t resultN = checked32(int64_t(firstN) + ahead);
    if (realMonth && ahead >= 0 && ahead < daysInMonth(year, month))
        return Date{year, month, static_cast<int32_t>(1 + ahead)};
    return fromDayNumber(resultN);
}

bool sameDate(Date a, Date b) { return a.year == b.year && a.month == b.month && a.day == b.day; }
bool dateLess(Date a, Date b) { return dayNumber(a) < dayNumber(b); }
bool dateLessEq(Date a, Date b) { return dayNumber(a) <= dayNumber(b); }

int dateCmp(Date a, Date b)
{
    int32_t x = dayNumber(a), y = dayNumber(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

std::string formatIso(Date d)
{
    char buf[40];
    int64_t y = d.year;
    std::snprintf(buf, sizeof buf, "%s%04lld-%02d-%02d", y < 0 ? "-" : "", static_cast<long long>(y < 0 ? -y : y),
        d.month, d.day);
    return buf;
}

std::string monthName(int32_t month)
{
    if (month < 1 || month > 12)
        return {};
    return kMonthNames[month - 1];
}

std::string shortMonthName(int32_t month) { return monthName(month).substr(0, 3); }

std::string weekdayName(int wd)
{
    if (wd < 0 || wd > 6)
        return {};
    return kWeekdayNames[wd];
}

std::string shortDate(Date d)
{
    return shortMonthName(d.month) + " " + std::to_string(d.day) + ", " + std::to_string(d.year);
}

std::string longDate(Date d)
{
    return monthName(d.month) + " " + std::to_string(d.day) + ", " + std::to_string(d.year);
}

std::string ordinalSuffix(int64_t n)
{
    int64_t h = n % 100, t = n % 10;
    const char* suffix = "th";
    if (h < 11 || h > 13) {
        if (t == 1)
            suffix = "st";
        else if (t == 2)
            suffix = "nd";
        else if (t == 3)
            suffix = "rd";
    }
    return std::to_string(n) + suffix;
}

Date parseIso(std::string_view text)
{
    std::string_view t = trimAsciiBlanks(text);
    Date d;
    if (t.size() < 10 || t[4] != '-' || t[7] != '-' || !parseField(t.substr(0, 4), d.year)
        || !parseField(t.substr(5, 2), d.month) || !parseField(t.substr(8, 2), d.day))
        throw ValueError("not a date (YYYY-MM-DD): " + std::string(text));
    if (!isValidDate(d.year, d.month, d.day))
        throw ValueError("not a date: " + std::string(text));
    return d;
}

std::optional<Date> tryParseIso(std::string_view text)
{
    try {
        return parseIso(text);
    } catch (const ValueError&) {
        return std::nullopt;
    }
}

Date today()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return dateFromDateTime(local);
}

Date dateFromDateTime(const std::tm& t) { return Date{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday}; }

}  // namespace qm
