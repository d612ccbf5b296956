#include "model/balances.h"

#include "model/money.h"
#include "model/occurrences.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace qm;

namespace {

Date iso(const char* s) { return parseIso(s); }

Transaction oneOff(int64_t id, const char* day, double amount, const char* account, const char* to = "")
{
    Transaction t;
    t.id = id;
    t.start_date = iso(day);
    t.amount = amount;
    t.account = account;
    t.transfer_to_account = to;
    return t;
}

Transaction monthly(int64_t id, const char* start, double amount, const char* account, const char* to = "")
{
    Transaction t = oneOff(id, start, amount, account, to);
    t.is_recurring = true;
    t.recurring_period = "nth_1_months";
    return t;
}

RunningTotalAdjustment anchor(int64_t account, const char* day, double amount)
{
    RunningTotalAdjustment r;
    r.account_id = account;
    r.date = iso(day);
    r.amount = amount;
    return r;
}

// Accounts A (1) and B (2); salary into A, rent out of A, a monthly transfer
// of -100 from A to B, and a one-off in B.
Account account(int64_t id, const char* name);

Budget sample()
{
    Budget b;
    b.accounts = {account(1, "A"), account(2, "B")};
    b.transactions = {monthly(10, "2024-01-01", 1000, "A"), monthly(11, "2024-01-05", -400.25, "A"),
        monthly(12, "2024-01-10", -100, "A", "B"), oneOff(13, "2024-02-14", -30, "B")};
    return b;
}

Account account(int64_t id, const char* name)
{
    Account a;
    a.id = id;
    a.name = name;
    return a;
}

double at(const Budget& b, const char* day, int64_t account) { return balanceAt(b, iso(day), account); }

}  // namespace

TEST(Balances, ScopesAndTransfers)
{
    Budget b = sample();
    struct Case {
        const char* day;
        int64_t account;
        double want;
    } cases[] = {
        {"1999-12-31", 0, 0}, {"2024-01-04", 1, 1000}, {"2024-01-10", 1, 1000 - 400.25 - 100}, {"2024-01-10", 2, 100},
        {"2024-01-10", 0, 1000 - 400.25},  // the transfer moves nothing in total
        {"2024-02-29", 2, 200 - 30}, {"2024-02-29", 0, 2 * (1000 - 400.25) - 30},
        {"2024-02-29", 99, 2 * (1000 - 400.25) - 30},  // an unknown account is all accounts
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(at(b, c.day, c.account), c.want) << c.day << " " << c.account;

    EXPECT_EQ(validAccountId(b, 2), 2);
    EXPECT_EQ(validAccountId(b, 99), 0);
    EXPECT_EQ(accountNameById(b, 1), "A");
    EXPECT_EQ(accountNameById(b, 99), "");
    EXPECT_EQ(accountNameById(b, 0), "");
    EXPECT_TRUE(involvesAccount(b.transactions[2], "B"));
    EXPECT_FALSE(involvesAccount(b.transactions[3], "A"));
    EXPECT_EQ(amountForAccount(b.transactions[2], -100, "A"), -100);
    EXPECT_EQ(amountForAccount(b.transactions[2], -100, "B"), 100);
    EXPECT_EQ(amountForAccount(b.transactions[2], -100, ""), 0);
    EXPECT_EQ(amountForAccount(b.transactions[0], 7, ""), 7);
}

TEST(Balances, Anchors)
{
    Budget b = sample();
    b.running_total_adjustments = {anchor(1, "2024-01-05", 50), anchor(1, "2024-01-05", 60),
        anchor(1, "2024-01-09", 500), anchor(0, "2024-01-31", 7), anchor(1, "2024-01-03", 1)};
    EXPECT_EQ(at(b, "2024-01-05", 1), 60);  // on the day: the last wins, same-day amounts ignored
    EXPECT_EQ(at(b, "2024-01-07", 1), 60);
    EXPECT_EQ(at(b, "2024-01-10", 1), 400);  // the day after the latest anchor
    EXPECT_EQ(at(b, "2024-01-04", 1), 1);
    EXPECT_EQ(at(b, "2024-01-10", 2), 100);  // other accounts' anchors do not count
    EXPECT_DOUBLE_EQ(at(b, "2024-02-01", 0), 7 + 1000);
    EXPECT_DOUBLE_EQ(at(b, "2024-01-10", 0), 1000 - 400.25);

    MonthEndBalances m = monthEndBalances(b, 1, iso("2024-01-31"));
    EXPECT_EQ(m.balance, m.monthEnd);
    b.transactions[2].amount = -100.013;
    m = monthEndBalances(b, 1, iso("2024-01-20"));
    EXPECT_EQ(m.balance, 399.99);  // rounded to cents
    EXPECT_EQ(m.monthEnd, 399.99);
}

TEST(Balances, OneOffsThroughTheirAdjustments)
{
    Budget b = sample();
    TransactionAdjustment gone;
    gone.transaction_id = 13;
    gone.original_date = iso("2024-02-14");
    gone.new_date = iso("2024-02-14");
    gone.is_deleted = true;
    b.transaction_adjustments = {gone};
    EXPECT_EQ(at(b, "2024-02-29", 2), 200);

    TransactionAdjustment moved = gone;
    moved.is_deleted = false;
    moved.new_date = iso("2024-03-02");
    moved.has_amount = true;
    moved.amount = -45;
    b.transaction_adjustments = {moved};
    EXPECT_EQ(at(b, "2024-02-29", 2), 200);
    EXPECT_EQ(at(b, "2024-03-02", 2), 200 - 45);

    // An extra live adjustment of a one-off counts here as it does in every
    // expansion, so a month's closing balance is the next month's opening.
    TransactionAdjustment copy = moved;
    copy.original_date = iso("2024-03-20");
    copy.new_date = iso("2024-03-25");
    b.transaction_adjustments = {moved, copy};
    double expanded = 0;
    for (const Occurrence& o : occurrencesInRange(b, b.transactions[3], iso("2024-03-01"), iso("2024-03-31")))
        expanded += o.amount;
    EXPECT_EQ(expanded, -90);
    EXPECT_EQ(at(b, "2024-03-31", 2) - at(b, "2024-02-29", 2), 100 + expanded);
}

// balanceAt's single pass (indexed adjustments, transfers skipped in total)
// against a plain sum over occurrencesInRange.
TEST(Balances, AgreesWithPlainSums)
{
    std::mt19937 rng(77);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char* names[] = {"A", "B", "C"};
    const char* rules[] = {
        "nth_1_days", "nth_2_weeks", "nth_1_months", "dom_last_every", "specific_2_friday_every", "nth_1_years"};
    for (int round = 0; round < 40; ++round) {
        Budget b;
        b.accounts = {account(1, "A"), account(2, "B"), account(3, "C")};
        const int32_t base = dayNumber(iso("1999-06-01"));
        for (int i = 0; i < 60; ++i) {
            Transaction t = oneOff(i + 1, "2000-01-01", pick(-9999, 9999) / 100.0, names[pick(0, 2)]);
            t.start_date = fromDayNumber(base + pick(0, 3000));
            if (pick(0, 3) == 0)
                t.transfer_to_account = names[pick(0, 2)];
            t.is_recurring = pick(0, 2) == 0;
            t.recurring_period = rules[pick(0, 5)];
            t.pay_on_business_day = pick(0, 1);
            b.transactions.push_back(t);
        }
        for (int i = 0; i < 80; ++i) {
            TransactionAdjustment a;
            a.id = i + 1;
            a.transaction_id = pick(1, 60);
            a.original_date = fromDayNumber(base + pick(0, 3000));
            a.new_date = fromDayNumber(base + pick(0, 3000));
            a.is_deleted = pick(0, 3) == 0;
            a.has_amount = pick(0, 1);
            a.amount = pick(-999, 999);
            b.transaction_adjustments.push_back(a);
        }
        for (int i = 0; i < 6; ++i)
            b.running_total_adjustments.push_back(anchor(pick(0, 3), "2000-01-01", pick(0, 5000)));
        for (RunningTotalAdjustment& r : b.running_total_adjustments)
            r.date = fromDayNumber(base + pick(0, 3000));
        for (int q = 0; q < 10; ++q) {
            Date day = fromDayNumber(base + pick(0, 3200));
            int64_t account = pick(0, 4);
            int64_t scope = validAccountId(b, account);
            std::string name = accountNameById(b, account);
            const RunningTotalAdjustment* latest = nullptr;
            for (const RunningTotalAdjustment& r : b.running_total_adjustments)
                if (r.account_id == scope && dateLess(r.date, day) && (!latest || dateLess(latest->date, r.date)))
                    latest = &r;
            double want = latest ? latest->amount : 0;
            Date start = latest ? addDays(latest->date, 1) : iso("2000-01-01");
            for (const Transaction& t : b.transactions)
                if (scope == 0 || involvesAccount(t, name))
                    for (const Occurrence& o : occurrencesInRange(b, t, start, day))
                        want += amountForAccount(t, o.amount, name);
            bool anchoredToday = false;
            for (const RunningTotalAdjustment& r : b.running_total_adjustments)
                if (r.account_id == scope && sameDate(r.date, day) && !anchoredToday) {
                    want = r.amount;
                    anchoredToday = true;
                }
            // Summed in another order than the walk's: equal to the cent.
            ASSERT_EQ(roundCents(balanceAt(b, day, account)), roundCents(want)) << formatIso(day) << " " << account;
        }
    }
}

// Adjustments crowding the dates of short series, with amounts whose sum
// depends on the order of adding: the balance must equal the walk over days,
// each day's income and expense summed in list and expansion order, to the
// last bit, since every view reads that walk.
TEST(Balances, AddsDayByDayInListOrder)
{
    std::mt19937 rng(1209);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char* rules[] = {"nth_1_days", "nth_3_days", "nth_1_weeks", "specific_5_friday_every", "dom_31_every"};
    for (int round = 0; round < 60; ++round) {
        Budget b;
        b.accounts = {account(1, "A")};
        for (int i = 0; i < 5; ++i) {
            Transaction t = monthly(i + 1, "2024-01-01", pick(-99999, 99999) / 100.0 + 1e-7, "A");
            t.recurring_period = rules[i];
            t.start_date = fromDayNumber(dayNumber(iso("2023-12-01")) + pick(0, 60));
            t.pay_on_business_day = pick(0, 1);
            b.transactions.push_back(t);
        }
        const int32_t base = dayNumber(iso("2024-02-01"));
        for (int i = 0; i < 40; ++i) {
            TransactionAdjustment a;
            a.id = i + 1;
            a.transaction_id = pick(1, 5);
            a.original_date = fromDayNumber(base + pick(0, 20));
            a.new_date = fromDayNumber(base + pick(0, 20));
            a.is_deleted = pick(0, 4) == 0;
            a.has_amount = pick(0, 3) != 0;
            a.amount = pick(-99999, 99999) / 100.0 + 3e-9;
            b.transaction_adjustments.push_back(a);
        }
        Date day = fromDayNumber(base + pick(0, 25));
        double want = 0;
        for (Date d = iso("2023-12-01"); dateLessEq(d, day); d = addDays(d, 1)) {
            double income = 0, expense = 0;
            for (const Transaction& t : b.transactions)
                for (const Occurrence& o : occurrencesInRange(b, t, d, d))
                    (o.amount > 0 ? income : expense) += std::abs(o.amount);
            want = want + income - expense;
        }
        ASSERT_EQ(balanceAt(b, day, 1), want) << formatIso(day);
        ASSERT_EQ(balanceAt(b, day, 0), want) << formatIso(day);
    }
}
