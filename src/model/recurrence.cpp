#include "model/recurrence.h"

#include "core/errors.h"

#include <array>
#include <charconv>
#include <limits>

namespace qm {

namespace {

// The first pieces of a rule text split at "_" (empty pieces kept), and how
// many pieces there were in all.
struct Pieces {
    std::array<std::string_view, 4> at;
    size_t count = 0;
};

Pieces splitRule(std::string_view text)
{
    Pieces p;
    size_t begin = 0;
    for (;;) {
        size_t end = text.find('_', begin);
        std::string_view piece =
            text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
        if (p.count < p.at.size())
            p.at[p.count] = piece;
        ++p.count;
        if (end == std::string_view::npos)
            return p;
        begin = end + 1;
    }
}

// The whole piece as a decimal integer with an optional sign. Rule text may
// come from a file or the service, so a value beyond 32 bits is refused
// rather than wrapped.
bool pieceInt(std::string_view s, int32_t& out)
{
    if (!s.empty() && s[0] == '+') {
        s.remove_prefix(1);
        if (!s.empty() && s[0] == '-')
            return false;
    }
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

// A piece read as an integer; anything else counts as 1.
int32_t intOr1(std::string_view s)
{
    int32_t v = 1;
    return pieceInt(s, v) ? v : 1;
}

Date clampedDay(bool last, int32_t day, int32_t year, int32_t month)
{
    int32_t length = daysInMonth(year, month);
    if (last)
        return Date{year, month, length};
    return Date{year, month, day < 1 ? 1 : (day > length ? length : day)};
}

// v + 1 (a year or a month), unless that leaves 32 bits.
bool plusOne(int32_t v, int32_t& out)
{
    if (v == std::numeric_limits<int32_t>::max())
        return false;
    out = v + 1;
    return true;
}

}  // namespace

RecurrenceRule parseRule(std::string_view text)
{
    RecurrenceRule r;
    Pieces p = splitRule(text);
    std::string_view head = p.at[0];
    if (head == "specific") {
        r.kind = rkSpecific;
        if (p.count > 1)
            r.position = p.at[1];
        if (p.count > 2)
            r.weekday = p.at[2];
        if (p.count > 3)
            r.month = p.at[3];
    } else if (head == "nth") {
        r.kind = rkNth;
        if (p.count > 1) {
            r.n = intOr1(p.at[1]);
            if (r.n < 1)
                r.n = 1;
        }
        if (p.count > 2 && (p.at[2] == "months" || p.at[2] == "weeks" || p.at[2] == "years" || p.at[2] == "days"))
            r.unit = p.at[2];
    } else if (head == "dom") {
        r.kind = rkDom;
        if (p.count > 1)
            r.day = p.at[1];
        if (p.count > 2)
            r.month = p.at[2];
    }
    return r;
}

std::string ruleToText(const RecurrenceRule& r)
{
    switch (r.kind) {
    case rkNth:
        return "nth_" + std::to_string(r.n) + "_" + r.unit;
    case rkDom:
        return "dom_" + r.day + "_" + r.month;
    case rkSpecific:
        return "specific_" + r.position + "_" + r.weekday + "_" + r.month;
    default:
        return "";
    }
}

std::string monthLabel(std::string_view month)
{
    int32_t m = 0;
    if (month.empty() || month == "every" || !pieceInt(month, m) || m < 1 || m > 12)
        return "every month";
    return monthName(m);
}

std::string describeRule(std::string_view text)
{
    if (text.empty())
        return "Repeats";
    RecurrenceRule r = parseRule(text);
    switch (r.kind) {
    case rkNth: {
        std::string singular = r.unit;
        if (!singular.empty() && singular.back() == 's')
            singular.pop_back();
        if (r.n == 1)
            return "Every " + singular;
        return "Every " + std::to_string(r.n) + " " + singular + "s";
    }
    case rkDom: {
        std::string d = r.day == "last" ? "last day" : ordinalSuffix(intOr1(r.day));
        return "The " + d + " of " + monthLabel(r.month);
    }
    case rkSpecific: {
        std::string p = r.position == "last" ? "last" : ordinalSuffix(intOr1(r.position));
        std::string w = r.weekday;
        if (!w.empty() && w[0] >= 'a' && w[0] <= 'z')
            w[0] = static_cast<char>(w[0] - 'a' + 'A');
        return "The " + p + " " + w + " of " + monthLabel(r.month);
    }
    default:
        return "Repeats";
    }
}

Date dayOfMonthIn(std::string_view day, int32_t year, int32_t month)
{
    return clampedDay(day == "last", intOr1(day), year, month);
}

std::optional<int> parseWeekday(std::string_view text)
{
    static constexpr std::string_view names[7] = {
        "monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"};
    for (int i = 0; i < 7; ++i)
        if (text == names[i])
            return i;
    return std::nullopt;
}

SeriesStep seriesStep(std::string_view text)
{
    SeriesStep s;
    if (text.empty())
        return s;
    Pieces p = splitRule(text);
    std::string_view head = p.at[0];
    if (head == "nth") {
        if (p.count < 3)
            return s;
        int64_t k = intOr1(p.at[1]);
        std::string_view unit = p.at[2];
        if (unit == "days")
            s = {SeriesStep::ssDays, k};
        else if (unit == "weeks")
            s = {SeriesStep::ssDays, 7 * k};
        else if (unit == "months")
            s = {SeriesStep::ssMonths, k};
        else if (unit == "years")
            s = {SeriesStep::ssYears, k};
    } else if (head == "dom") {
        std::string_view day = p.count > 1 ? p.at[1] : "1";
        std::string_view month = p.count > 2 ? p.at[2] : "every";
        s.lastDay = day == "last";
        s.day = intOr1(day);
        if (month == "every") {
            s.kind = SeriesStep::ssDomEvery;
        } else {
            s.month = intOr1(month);
            if (s.month >= 1 && s.month <= 12)
                s.kind = SeriesStep::ssDomMonth;
        }
    } else if (head == "specific") {
        if (p.count < 4)
            return s;
        std::optional<int> weekday = parseWeekday(p.at[2]);
        if (!weekday)
            return s;
        s.weekday = *weekday;
        if (p.at[3] != "every") {
            s.month = intOr1(p.at[3]);
            if (s.month < 1 || s.month > 12)
                return s;
        }
        if (p.at[1] == "last") {
            s.position = -1;
        } else {
            int32_t k = intOr1(p.at[1]);
            s.position = k < 1 ? 1 : (k > 5 ? 5 : k);
        }
        s.kind = SeriesStep::ssSpecific;
    }
    return s;
}

std::optional<Date> stepSeries(const SeriesStep& s, Date d)
{
    switch (s.kind) {
    case SeriesStep::ssNone:
        return std::nullopt;
    case SeriesStep::ssDays:
        return addDays(d, s.count);
    case SeriesStep::ssMonths:
        return addMonths(d, s.count);
    case SeriesStep::ssYears:
        return addYears(d, s.count);
    case SeriesStep::ssDomEvery: {
        int32_t year = d.year, month = 1;
        if (d.month == 12) {
            if (!plusOne(d.year, year))
                return std::nullopt;
        } else if (!plusOne(d.month, month)) {
            return std::nullopt;
        }
        return clampedDay(s.lastDay, s.day, year, month);
    }
    case SeriesStep::ssDomMonth: {
        Date next = clampedDay(s.lastDay, s.day, d.year, s.month);
        if (dateLessEq(next, d)) {
            int32_t year;
            if (!plusOne(d.year, year))
                return std::nullopt;
            next = clampedDay(s.lastDay, s.day, year, s.month);
        }
        return next;
    }
    case SeriesStep::ssSpecific: {
        Date n = addMonths(d, 1);
        int32_t year = n.year, month = n.month;
        if (s.month != 0) {
            month = s.month;
            if (s.month < n.month && !plusOne(n.year, year))
                return std::nullopt;
        }
        return nthWeekdayOfMonth(year, month, s.weekday, s.position);
    }
    }
    return std::nullopt;
}

int64_t monthsPerStep(const SeriesStep& s, Date d, bool stepped)
{
    switch (s.kind) {
    case SeriesStep::ssMonths:
        return s.count >= 1 && d.day <= 28 ? s.count : 0;  // a day every month has is never clamped
    case SeriesStep::ssYears:
        return s.count >= 1 && d.day <= 28 ? 12 * s.count : 0;
    case SeriesStep::ssDomEvery:
        return stepped ? 1 : 0;
    case SeriesStep::ssDomMonth:
        return stepped ? 12 : 0;
    case SeriesStep::ssSpecific:
        // A fifth weekday may spill into the next month, which moves the
        // month the next step starts from.
        return stepped && s.position != 5 ? (s.month != 0 ? 12 : 1) : 0;
    default:
        return 0;
    }
}

Date seriesDateIn(const SeriesStep& s, Date d, int32_t year, int32_t month)
{
    switch (s.kind) {
    case SeriesStep::ssMonths:
    case SeriesStep::ssYears:
        return Date{year, month, d.day};
    case SeriesStep::ssDomEvery:
    case SeriesStep::ssDomMonth:
        return clampedDay(s.lastDay, s.day, year, month);
    case SeriesStep::ssSpecific:
        return nthWeekdayOfMonth(year, month, s.weekday, s.position);
    default:
        return d;
    }
}

Date advanceSeries(const SeriesStep& step, Date d, int32_t* dayOut)
{
    try {
        std::optional<Date> next = stepSeries(step, d);
        if (!next)
            return d;
        // Callers compare day numbers, so a date without one ends the series
        // here instead of failing later.
        int32_t n = dayNumber(*next);
        if (dayOut)
            *dayOut = n;
        return *next;
    } catch (const ValueError&) {
        return d;
    }
}

Date nextOccurrence(const Transaction& t, Date d) { return advanceSeries(seriesStep(t.recurring_period), d); }

Date businessDayShift(const Transaction& t, Date d)
{
    if (!t.pay_on_business_day)
        return d;
    int wd = weekday(d);
    if (wd < 5)
        return d;
    if (t.pay_early)
        return subDays(d, wd - 4);
    return addDays(d, 7 - wd);
}

}  // namespace qm
