#pragma once
// Recurrence rules: a transaction's recurring_period text, the fields the
// transaction form edits it through, the sentence that describes it, how a
// series advances date by date, and how a date falling on a weekend moves.
//
// Rule text is pieces joined by "_": "nth_<n>_<unit>", "dom_<day>_<month>",
// "specific_<position>_<weekday>_<month>". Nothing here rejects a malformed
// rule: unreadable pieces fall back, and a series that cannot advance ends.
#include "model/budget.h"
#include "model/dates.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

enum RuleKind : uint8_t {
    rkNone = 0,
    rkNth = 1,
    rkDom = 2,
    rkSpecific = 3,
};

struct RecurrenceRule {
    RuleKind kind = rkNone;
    int32_t n = 1;
    std::string unit = "months";
    std::string day = "1";
    std::string position = "1";
    std::string weekday = "monday";
    std::string month = "every";
};

RecurrenceRule parseRule(std::string_view text);
std::string ruleToText(const RecurrenceRule& rule);
std::string describeRule(std::string_view text);
std::string monthLabel(std::string_view month);

// The next date of t's series after d, or d itself when the series cannot
// advance (a malformed rule, or a step that would leave the date range).
Date nextOccurrence(const Transaction& t, Date d);
Date dayOfMonthIn(std::string_view day, int32_t year, int32_t month);
// 0 = "monday" .. 6 = "sunday", lower case only.
std::optional<int> parseWeekday(std::string_view text);
Date businessDayShift(const Transaction& t, Date d);

// A rule text read once the way nextOccurrence reads it, so that walking a
// long series does not split the text again at every step.
struct SeriesStep {
    enum Kind : uint8_t { ssNone, ssDays, ssMonths, ssYears, ssDomEvery, ssDomMonth, ssSpecific };
    Kind kind = ssNone;
    int64_t count = 0;     // days (weeks already times 7), months or years per step
    bool lastDay = false;  // dom: "last"
    int32_t day = 1;       // dom: the day's integer
    int32_t month = 0;     // dom, specific: 1..12, or 0 for every month
    int32_t position = 1;  // specific: 1..5, or -1 for the last
    int weekday = 0;       // specific: 0 = Monday
};

SeriesStep seriesStep(std::string_view text);
// nextOccurrence over a prepared rule. When the series advances and dayOut
// is given, it receives the next date's day number.
Date advanceSeries(const SeriesStep& step, Date d, int32_t* dayOut = nullptr);
// One step of a prepared series, without the day number: nothing when it
// cannot advance. Date arithmetic that leaves the range raises ValueError.
std::optional<Date> stepSeries(const SeriesStep& step, Date d);
// When every later step of the series from d (reached by a step when
// stepped, a real calendar date from year 0 on) moves the same number of
// months and lands on a date fixed by its month alone, that number (else 0).
// seriesDateIn gives the date such a step lands on in a month.
int64_t monthsPerStep(const SeriesStep& step, Date d, bool stepped);
Date seriesDateIn(const SeriesStep& step, Date d, int32_t year, int32_t month);

}  // namespace qm
