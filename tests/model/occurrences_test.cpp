#include "model/occurrences.h"

#include "model/recurrence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace qm;

namespace {

Date iso(const char* s) { return parseIso(s); }

Transaction series(int64_t id, const char* rule, const char* start, double amount = -10)
{
    Transaction t;
    t.id = id;
    t.is_recurring = true;
    t.recurring_period = rule;
    t.start_date = iso(start);
    t.amount = amount;
    return t;
}

TransactionAdjustment adjustment(int64_t id, int64_t tx, const char* original, const char* moved, bool deleted = false)
{
    TransactionAdjustment a;
    a.id = id;
    a.transaction_id = tx;
    a.original_date = iso(original);
    a.new_date = iso(moved);
    a.is_deleted = deleted;
    return a;
}

std::string dates(const std::vector<Occurrence>& list)
{
    std::string s;
    for (const Occurrence& o : list)
        s += (s.empty() ? "" : " ") + formatIso(o.date);
    return s;
}

std::string expand(
    const Transaction& t, const std::vector<TransactionAdjustment>& adjustments, const char* from, const char* to)
{
    return dates(expandOccurrences(t, adjustments, iso(from), iso(to)));
}

// The expansion exactly as the plain algorithm reads: walk every date from
// the series start, scan the adjustments at every date, sort at the end.
std::vector<Occurrence> literalExpansion(
    const Transaction& t, const std::vector<TransactionAdjustment>& adjs, Date from, Date to)
{
    std::vector<Occurrence> out;
    for (const TransactionAdjustment& a : adjs)
        if (a.transaction_id == t.id && !a.is_deleted && dateLessEq(from, a.new_date) && dateLessEq(a.new_date, to))
            out.push_back({a.new_date, a.is_paid, a.has_amount ? a.amount : t.amount, a.id});
    auto taken = [&](Date s) {
        return std::any_of(adjs.begin(), adjs.end(),
            [&](const TransactionAdjustment& a) { return a.transaction_id == t.id && sameDate(a.original_date, s); });
    };
    if (t.is_recurring) {
        Date cur = t.start_date;
        for (int steps = 0;;) {
            if (dateLess(addDays(to, 2), cur))
                break;
            Date s = businessDayShift(t, cur);
            if (dateLessEq(from, s) && dateLessEq(s, to) && !taken(s))
                out.push_back({s, false, t.amount, 0});
            Date next = nextOccurrence(t, cur);
            if (dateLessEq(next, cur) || (t.has_end_date && dateLess(t.end_date, next)) || ++steps > 20000)
                break;
            cur = next;
        }
    } else if (dateLessEq(from, t.start_date) && dateLessEq(t.start_date, to) && !taken(t.start_date)) {
        out.push_back({t.start_date, false, t.amount, 0});
    }
    std::stable_sort(
        out.begin(), out.end(), [](const Occurrence& a, const Occurrence& b) { return dateCmp(a.date, b.date) < 0; });
    return out;
}

}  // namespace

TEST(Occurrences, SeriesWalks)
{
    struct Case {
        Transaction t;
        const char* from;
        const char* to;
        const char* want;
    } cases[] = {
        {series(1, "nth_1_months", "2024-01-31"), "2024-01-01", "2024-04-30",
            "2024-01-31 2024-02-29 2024-03-29 2024-04-29"},
        {series(1, "dom_31_every", "2024-01-31"), "2024-01-01", "2024-04-30",
            "2024-01-31 2024-02-29 2024-03-31 2024-04-30"},
        {series(1, "dom_15_every", "2024-01-05"), "2024-01-01", "2024-03-31", "2024-01-05 2024-02-15 2024-03-15"},
        {series(1, "nth_2_weeks", "2024-01-01"), "2024-01-10", "2024-02-12", "2024-01-15 2024-01-29 2024-02-12"},
        {series(1, "nth_0_days", "2024-01-01"), "2023-01-01", "2025-01-01", "2024-01-01"},
        {series(1, "biweekly", "2024-01-01"), "2023-01-01", "2025-01-01", "2024-01-01"},
        {series(1, "nth_1_days", "1900-01-01"), "2024-01-01", "2024-12-31", ""},  // beyond 20000 steps
        {series(1, "nth_1_days", "1969-12-31"), "2024-10-01", "2024-12-31",
            "2024-10-01 2024-10-02 2024-10-03"},  // step 20000 is 2024-10-03
        {series(1, "nth_1_months", "2024-03-01"), "2024-01-01", "2024-02-28", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(expand(c.t, {}, c.from, c.to), c.want) << c.t.recurring_period << " " << c.from;
}

TEST(Occurrences, EndDates)
{
    Transaction t = series(1, "nth_1_months", "2024-01-15");
    t.has_end_date = true;
    t.end_date = iso("2024-03-15");
    EXPECT_EQ(expand(t, {}, "2024-01-01", "2024-12-31"), "2024-01-15 2024-02-15 2024-03-15");
    t.end_date = iso("2023-06-01");  // before the start: the start still counts
    EXPECT_EQ(expand(t, {}, "2024-01-01", "2024-12-31"), "2024-01-15");
    t.recurring_period = "nth_1_days";
    t.end_date = iso("2024-01-17");
    EXPECT_EQ(expand(t, {}, "2024-01-16", "2024-12-31"), "2024-01-16 2024-01-17");
    EXPECT_EQ(expand(t, {}, "2024-01-20", "2024-12-31"), "");
}

TEST(Occurrences, BusinessDaysAndTheTwoDaysPastTheRange)
{
    Transaction t = series(1, "dom_1_every", "2024-06-01");  // a Saturday
    t.pay_on_business_day = true;
    t.pay_early = true;
    EXPECT_EQ(expand(t, {}, "2024-05-01", "2024-05-31"), "2024-05-31");
    EXPECT_EQ(expand(t, {}, "2024-06-01", "2024-09-30"), "2024-07-01 2024-08-01 2024-08-30");
    t.pay_early = false;
    EXPECT_EQ(expand(t, {}, "2024-06-01", "2024-09-30"), "2024-06-03 2024-07-01 2024-08-01 2024-09-02");
    // Daily with the shift piles a weekend onto its Friday (or Monday).
    t.recurring_period = "nth_1_days";
    t.pay_early = true;
    EXPECT_EQ(expand(t, {}, "2024-06-06", "2024-06-10"), "2024-06-06 2024-06-07 2024-06-07 2024-06-07 2024-06-10");

    Transaction once = t;
    once.is_recurring = false;
    once.start_date = iso("2024-06-02");  // a Sunday: one-offs never move
    EXPECT_EQ(expand(once, {}, "2024-06-01", "2024-06-30"), "2024-06-02");
}

TEST(Occurrences, Adjustments)
{
    Transaction t = series(7, "dom_1_every", "2024-06-01");
    t.pay_on_business_day = true;
    t.pay_early = true;
    // Removes by the shifted date only.
    EXPECT_EQ(
        expand(t, {adjustment(1, 7, "2024-05-31", "2024-05-31", true)}, "2024-05-01", "2024-07-31"), "2024-07-01");
    EXPECT_EQ(expand(t, {adjustment(1, 7, "2024-06-01", "2024-06-01", true)}, "2024-05-01", "2024-07-31"),
        "2024-05-31 2024-07-01");
    // A move out of the range still removes the original in it; other
    // transactions' adjustments change nothing.
    EXPECT_EQ(
        expand(t, {adjustment(1, 7, "2024-07-01", "2024-09-15"), adjustment(2, 8, "2024-05-31", "2024-05-31", true)},
            "2024-05-01", "2024-07-31"),
        "2024-05-31");

    TransactionAdjustment paid = adjustment(3, 7, "2024-07-01", "2024-07-01");
    paid.is_paid = true;
    TransactionAdjustment repriced = adjustment(4, 7, "2024-08-01", "2024-07-01");
    repriced.has_amount = true;
    repriced.amount = -99.5;
    std::vector<Occurrence> got =
        expandOccurrences(t, std::vector{paid, repriced}, iso("2024-06-15"), iso("2024-08-31"));
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(formatIso(got[0].date), "2024-07-01");
    EXPECT_TRUE(got[0].is_paid);
    EXPECT_EQ(got[0].amount, -10);
    EXPECT_EQ(got[0].adjustment_id, 3);
    EXPECT_EQ(got[1].amount, -99.5);
    EXPECT_EQ(got[1].adjustment_id, 4);
    EXPECT_EQ(formatIso(got[2].date), "2024-08-30");
    EXPECT_EQ(got[2].adjustment_id, 0);

    // On one date the adjustment occurrences come first, in list order.
    Transaction daily = series(9, "nth_1_days", "2024-01-01");
    got = expandOccurrences(daily,
        std::vector{adjustment(5, 9, "2024-01-03", "2024-01-02"), adjustment(6, 9, "2024-01-04", "2024-01-02")},
        iso("2024-01-02"), iso("2024-01-04"));
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].adjustment_id, 5);
    EXPECT_EQ(got[1].adjustment_id, 6);
    EXPECT_EQ(got[2].adjustment_id, 0);

    Transaction once = t;
    once.is_recurring = false;
    once.start_date = iso("2024-06-02");
    Budget b;
    b.transaction_adjustments = {
        adjustment(1, 7, "2024-06-02", "2024-06-20"), adjustment(2, 7, "2024-06-02", "2024-06-21")};
    EXPECT_EQ(dates(occurrencesInRange(b, once, iso("2024-06-01"), iso("2024-06-30"))), "2024-06-20 2024-06-21");
}

// Dates built in code need not be real calendar dates; they count by their
// day numbers (30 February is 1 March in 2024), as everywhere else.
TEST(Occurrences, DatesOutsideTheCalendarCountByDayNumber)
{
    Transaction once = series(3, "", "2024-01-01");
    once.is_recurring = false;
    once.start_date = Date{2024, 2, 30};
    EXPECT_EQ(expand(once, {}, "2024-03-01", "2024-03-01"), "2024-02-30");
    EXPECT_EQ(expand(once, {}, "2024-02-28", "2024-02-29"), "");
    TransactionAdjustment a = adjustment(1, 3, "2024-03-01", "2024-03-01");
    a.new_date = Date{2024, 13, 1};
    EXPECT_EQ(expand(once, {a}, "2024-12-31", "2025-01-01"), "2024-13-01");
    EXPECT_EQ(expand(once, {a}, "2024-02-01", "2024-03-31"), "");  // its original is taken
    const std::vector<TransactionAdjustment> list{a};
    AdjustmentIndex index = indexAdjustments(list, iso("2025-01-01"), iso("2025-01-01"));
    std::vector<Occurrence> out;
    expandIndexed(once, index, out);
    EXPECT_EQ(dates(out), "2024-13-01");
    EXPECT_TRUE(AdjustmentIndex().of(3).empty());
}

// The fast paths (parsing once, the index, the jump of day and week series
// to the range) must give exactly what the plain walk gives.
TEST(Occurrences, AgreesWithTheLiteralWalk)
{
    std::mt19937 rng(20240611);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char* weekdays[] = {"monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday", "x"};
    const int32_t base = dayNumber(iso("1960-01-01"));
    for (int round = 0; round < 1500; ++round) {
        Transaction t;
        t.id = pick(1, 3);
        t.is_recurring = pick(0, 9) != 0;
        t.start_date = fromDayNumber(base + pick(0, 30000));
        std::string n = std::to_string(pick(-1, 12));
        switch (pick(0, 6)) {
        case 0:
        case 1:
            t.recurring_period = "nth_" + n + "_days";
            break;
        case 2:
            t.recurring_period = "nth_" + n + "_weeks";
            break;
        case 3:
            t.recurring_period = "nth_" + n + (pick(0, 1) ? "_months" : "_years");
            break;
        case 4:
            t.recurring_period =
                "dom_" + (pick(0, 4) ? std::to_string(pick(0, 32)) : "last") + "_" + (pick(0, 1) ? "every" : n);
            break;
        case 5:
            t.recurring_period = "specific_" + (pick(0, 4) ? std::to_string(pick(0, 6)) : "last") + "_"
                + weekdays[pick(0, 7)] + "_" + (pick(0, 1) ? "every" : n);
            break;
        default:
            t.recurring_period = pick(0, 1) ? "nth_3" : "monthly";
        }
        t.has_end_date = pick(0, 2) == 0;
        t.end_date = addDays(t.start_date, pick(-100, 20000));
        t.pay_on_business_day = pick(0, 1);
        t.pay_early = pick(0, 1);
        t.amount = pick(-500, 500);
        Date from = fromDayNumber(dayNumber(t.start_date) + pick(-400, 26000));
        Date to = addDays(from, pick(-3, 400));
        // Adjustments on dates the series really produces, and some anywhere.
        std::vector<TransactionAdjustment> adjs;
        std::vector<Occurrence> plain = literalExpansion(t, adjs, from, to);
        for (int k = pick(0, 25); k > 0; --k) {
            TransactionAdjustment a;
            a.id = k;
            a.transaction_id = pick(1, 3);
            a.original_date = !plain.empty() && pick(0, 2) ? plain[size_t(pick(0, int(plain.size()) - 1))].date
                                                           : addDays(from, pick(-5, 405));
            a.new_date = addDays(a.original_date, pick(-30, 30));
            a.is_deleted = pick(0, 3) == 0;
            a.has_amount = pick(0, 1);
            a.amount = pick(-50, 50);
            a.is_paid = pick(0, 1);
            adjs.push_back(a);
        }
        std::vector<Occurrence> want = literalExpansion(t, adjs, from, to);
        std::vector<Occurrence> got = expandOccurrences(t, adjs, from, to);
        ASSERT_EQ(got.size(), want.size()) << t.recurring_period << " from " << formatIso(t.start_date) << " range "
                                           << formatIso(from) << ".." << formatIso(to);
        for (size_t i = 0; i < got.size(); ++i) {
            ASSERT_TRUE(sameDate(got[i].date, want[i].date)) << t.recurring_period << " #" << i;
            ASSERT_EQ(got[i].adjustment_id, want[i].adjustment_id);
            ASSERT_EQ(got[i].amount, want[i].amount);
            ASSERT_EQ(got[i].is_paid, want[i].is_paid);
        }
        AdjustmentIndex index = indexAdjustments(adjs, from, to);
        std::vector<Occurrence> indexed{{}};
        expandIndexed(t, index, indexed);
        ASSERT_EQ(dates(indexed), dates(want));
    }
}

// Month and year series pass the dates long before the range without
// walking them date by date; what they pass must match the literal walk:
// the day clamp that repeated month steps carry along (31st, 30th, 29th,
// 28th), fifth weekdays that spill into the next month, end dates and the
// step bound near the range, and starts that are not calendar dates.
TEST(Occurrences, MonthSeriesFarFromTheirStartAgreeWithTheLiteralWalk)
{
    std::mt19937 rng(20261209);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char* weekdays[] = {"monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"};
    for (int round = 0; round < 3000; ++round) {
        Transaction t = series(1, "", "2000-01-01");
        std::string month = pick(0, 2) ? "every" : std::to_string(pick(1, 12));
        switch (pick(0, 4)) {
        case 0:
            t.recurring_period = "nth_" + std::to_string(pick(-1, 25)) + "_months";
            break;
        case 1:
            t.recurring_period = "nth_" + std::to_string(pick(0, 5)) + "_years";
            break;
        case 2:
            t.recurring_period = "dom_" + (pick(0, 3) ? std::to_string(pick(27, 32)) : "last") + "_" + month;
            break;
        default:
            t.recurring_period = "specific_" + (pick(0, 3) ? std::to_string(pick(4, 5)) : "last") + "_"
                + weekdays[pick(0, 6)] + "_" + month;
        }
        // Late month days, leap and century years, and now and then a date
        // the calendar does not have.
        t.start_date = Date{pick(1596, 2404), pick(1, 12), pick(26, 31)};
        if (pick(0, 19) == 0)
            t.start_date = Date{pick(1990, 2010), pick(0, 13), pick(-1, 33)};
        else if (t.start_date.day > daysInMonth(t.start_date.year, t.start_date.month))
            t.start_date.day = daysInMonth(t.start_date.year, t.start_date.month);
        // Most ranges lie years after the start; a few lie where a monthly
        // series reaches its step bound.
        int32_t startN = dayNumber(t.start_date);
        int32_t fromN = startN + (pick(0, 40) ? pick(-40, 80 * 366) : pick(20000 * 30, 20000 * 31 + 60));
        Date from = fromDayNumber(fromN), to = fromDayNumber(fromN + pick(0, 100));
        t.has_end_date = pick(0, 2) == 0;
        t.end_date = fromDayNumber(fromN + pick(-70, 150));
        t.pay_on_business_day = pick(0, 1);
        t.pay_early = pick(0, 1);
        std::vector<TransactionAdjustment> adjs;
        std::vector<Occurrence> want = literalExpansion(t, adjs, from, to);
        ASSERT_EQ(dates(expandOccurrences(t, adjs, from, to)), dates(want))
            << t.recurring_period << " from " << formatIso(t.start_date) << " range " << formatIso(from) << ".."
            << formatIso(to) << (t.has_end_date ? " end " + formatIso(t.end_date) : "");
    }
}
