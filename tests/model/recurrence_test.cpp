#include "model/recurrence.h"

#include <gtest/gtest.h>

using namespace qm;

namespace {

Transaction series(const char* rule, bool businessDay = false, bool early = false)
{
    Transaction t;
    t.is_recurring = true;
    t.recurring_period = rule;
    t.pay_on_business_day = businessDay;
    t.pay_early = early;
    return t;
}

std::string next(const char* rule, const char* from) { return formatIso(nextOccurrence(series(rule), parseIso(from))); }

}  // namespace

TEST(Recurrence, ParseFallsBackPieceByPiece)
{
    struct Case {
        const char* text;
        RuleKind kind;
        int32_t n;
        const char* unit;
        const char* day;
        const char* position;
        const char* weekday;
        const char* month;
    } cases[] = {
        {"nth_0_weeks", rkNth, 1, "weeks", "1", "1", "monday", "every"},
        {"nth_2_fortnights", rkNth, 2, "months", "1", "1", "monday", "every"},
        {"nth_-4_days", rkNth, 1, "days", "1", "1", "monday", "every"},
        {"nth_x_years", rkNth, 1, "years", "1", "1", "monday", "every"},
        {"nth_99999999999_days", rkNth, 1, "days", "1", "1", "monday", "every"},  // beyond 32 bits
        {"nth_2147483647_days", rkNth, 2147483647, "days", "1", "1", "monday", "every"},
        {"nth", rkNth, 1, "months", "1", "1", "monday", "every"},
        {"dom", rkDom, 1, "months", "1", "1", "monday", "every"},
        {"dom_last", rkDom, 1, "months", "last", "1", "monday", "every"},
        {"dom__3_extra", rkDom, 1, "months", "", "1", "monday", "3"},
        {"specific_5_funday", rkSpecific, 1, "months", "1", "5", "funday", "every"},
        {"", rkNone, 1, "months", "1", "1", "monday", "every"},
        {"weekly", rkNone, 1, "months", "1", "1", "monday", "every"},
        {"NTH_1_days", rkNone, 1, "months", "1", "1", "monday", "every"},
    };
    for (const Case& c : cases) {
        RecurrenceRule r = parseRule(c.text);
        EXPECT_EQ(r.kind, c.kind) << c.text;
        EXPECT_EQ(r.n, c.n) << c.text;
        EXPECT_EQ(r.unit, c.unit) << c.text;
        EXPECT_EQ(r.day, c.day) << c.text;
        EXPECT_EQ(r.position, c.position) << c.text;
        EXPECT_EQ(r.weekday, c.weekday) << c.text;
        EXPECT_EQ(r.month, c.month) << c.text;
    }
    for (const char* text : {"nth_1_weeks", "nth_3_months", "nth_12_years", "dom_15_every", "dom_last_every", "dom_1_3",
             "specific_2_monday_every", "specific_last_friday_12", ""})
        EXPECT_EQ(ruleToText(parseRule(text)), text);
}

TEST(Recurrence, Describe)
{
    struct Case {
        const char* text;
        const char* want;
    } cases[] = {
        {"nth_1_weeks", "Every week"},
        {"nth_2_weeks", "Every 2 weeks"},
        {"nth_3_days", "Every 3 days"},
        {"nth_1_months", "Every month"},
        {"nth_0_years", "Every year"},
        {"dom_last_every", "The last day of every month"},
        {"dom_15_3", "The 15th of March"},
        {"dom_22_every", "The 22nd of every month"},
        {"dom_x_13", "The 1st of every month"},
        {"dom_3_12345678901", "The 3rd of every month"},
        {"specific_2_monday_every", "The 2nd Monday of every month"},
        {"specific_last_friday_12", "The last Friday of December"},
        {"specific_11_sunday_0", "The 11th Sunday of every month"},
        {"specific_3__every", "The 3rd  of every month"},
        {"", "Repeats"},
        {"weekly", "Repeats"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(describeRule(c.text), c.want) << c.text;
    EXPECT_EQ(monthLabel(""), "every month");
    EXPECT_EQ(monthLabel("every"), "every month");
    EXPECT_EQ(monthLabel("+7"), "July");
    EXPECT_EQ(monthLabel("07"), "July");
    EXPECT_EQ(monthLabel("7 "), "every month");
}

TEST(Recurrence, NextOccurrence)
{
    struct Case {
        const char* rule;
        const char* from;
        const char* want;
    } cases[] = {
        {"nth_1_months", "2024-01-31", "2024-02-29"},
        {"nth_1_months", "2024-02-29", "2024-03-29"},  // month steps drift
        {"nth_2_weeks", "2024-12-25", "2025-01-08"},
        {"nth_3_days", "2024-02-28", "2024-03-02"},
        {"nth_1_years", "2024-02-29", "2025-02-28"},
        {"nth_x_days", "2024-02-28", "2024-02-29"},   // unreadable step counts as 1
        {"nth_-1_days", "2024-02-28", "2024-02-27"},  // not raised: the walk ends on it
        {"dom_31_every", "2024-01-31", "2024-02-29"},
        {"dom_31_every", "2024-02-29", "2024-03-31"},  // no drift
        {"dom_last_every", "2024-01-31", "2024-02-29"},
        {"dom_0_every", "2024-12-20", "2025-01-01"},
        {"dom", "2024-05-01", "2024-06-01"},
        {"dom_15_3", "2024-03-14", "2024-03-15"},
        {"dom_15_3", "2024-03-15", "2025-03-15"},
        {"dom_last_2", "2023-03-01", "2024-02-29"},
        {"dom_5_x", "2024-03-01", "2025-01-05"},  // a non-integer month counts as 1
        {"specific_2_monday_every", "2024-01-08", "2024-02-12"},
        {"specific_last_friday_every", "2024-01-26", "2024-02-23"},
        {"specific_5_friday_every", "2024-01-05", "2024-03-01"},  // February lacks a 5th Friday
        {"specific_1_monday_4", "2024-04-01", "2025-04-07"},
        {"specific_1_monday_4", "2024-03-01", "2024-04-01"},
        {"specific_9_sunday_every", "2024-01-01", "2024-03-03"},  // position capped at 5
        {"specific_x_sunday_every", "2024-01-31", "2024-02-04"},
        {"specific_last_sunday_12_extra", "2024-12-29", "2025-12-28"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(next(c.rule, c.from), c.want) << c.rule << " " << c.from;

    for (const char* stuck : {"nth_0_days", "nth_2", "nth_2_fortnights", "specific_2_monday", "specific_2_funday_every",
             "specific_2_Monday_every", "specific_2_monday_13", "dom_1_0", "dom_1_13", "weekly", "",
             "nth_2147483647_weeks"})
        EXPECT_EQ(next(stuck, "2024-01-15"), "2024-01-15") << stuck;
}

TEST(Recurrence, StepsThatLeaveTheDateRangeEndTheSeries)
{
    const Date farFuture = fromDayNumber(INT32_MAX - 3);
    for (const char* rule : {"nth_1_years", "nth_2147483647_months", "nth_7_days", "dom_1_every", "dom_1_1",
             "specific_1_monday_every", "specific_last_friday_3", "nth_2147483647_years"})
        EXPECT_TRUE(sameDate(nextOccurrence(series(rule), farFuture), farFuture)) << rule;
    const Date beyond{INT32_MAX, 12, 31};  // has no day number at all
    for (const char* rule : {"nth_1_days", "dom_1_every", "dom_1_6", "specific_1_monday_every"})
        EXPECT_TRUE(sameDate(nextOccurrence(series(rule), beyond), beyond)) << rule;
    const Date farPast = fromDayNumber(INT32_MIN + 5);
    EXPECT_TRUE(sameDate(nextOccurrence(series("nth_-2147483648_days"), farPast), farPast));
}

TEST(Recurrence, DayOfMonthAndWeekdays)
{
    EXPECT_EQ(formatIso(dayOfMonthIn("last", 2023, 2)), "2023-02-28");
    EXPECT_EQ(formatIso(dayOfMonthIn("31", 2024, 4)), "2024-04-30");
    EXPECT_EQ(formatIso(dayOfMonthIn("-5", 2024, 4)), "2024-04-01");
    EXPECT_EQ(formatIso(dayOfMonthIn("abc", 2024, 4)), "2024-04-01");
    EXPECT_EQ(parseWeekday("monday"), 0);
    EXPECT_EQ(parseWeekday("sunday"), 6);
    EXPECT_EQ(parseWeekday("Sunday"), std::nullopt);
    EXPECT_EQ(parseWeekday(""), std::nullopt);
}

TEST(Recurrence, BusinessDayShift)
{
    struct Case {
        const char* day;
        const char* early;
        const char* late;
    } cases[] = {
        {"2024-03-02", "2024-03-01", "2024-03-04"},  // Saturday
        {"2024-03-03", "2024-03-01", "2024-03-04"},  // Sunday
        {"2024-03-01", "2024-03-01", "2024-03-01"},
        {"2024-03-04", "2024-03-04", "2024-03-04"},
        {"2023-12-31", "2023-12-29", "2024-01-01"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatIso(businessDayShift(series("nth_1_days", true, true), parseIso(c.day))), c.early);
        EXPECT_EQ(formatIso(businessDayShift(series("nth_1_days", true, false), parseIso(c.day))), c.late);
        EXPECT_EQ(formatIso(businessDayShift(series("nth_1_days", false, true), parseIso(c.day))), c.day);
    }
}
