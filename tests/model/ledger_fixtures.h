#pragma once
// Small budgets for the ledger, report and sync tests, and a generator of
// random ones for the invariant checks.
#include "model/budget.h"
#include "model/dates.h"

#include <cstdint>
#include <random>
#include <string>

namespace qm::testing {

inline Date iso(const char* s) { return parseIso(s); }

inline Account account(int64_t id, const char* name, int32_t order = -1)
{
    Account a;
    a.id = id;
    a.name = name;
    a.display_order = order;
    return a;
}

inline Transaction oneOff(
    int64_t id, const char* day, double amount, const char* account, const char* to = "", const char* category = "")
{
    Transaction t;
    t.id = id;
    t.start_date = iso(day);
    t.amount = amount;
    t.account = account;
    t.transfer_to_account = to;
    t.category = category;
    t.description = "T" + std::to_string(id);
    return t;
}

inline Transaction series(
    int64_t id, const char* start, const char* rule, double amount, const char* account, const char* to = "")
{
    Transaction t = oneOff(id, start, amount, account, to);
    t.is_recurring = true;
    t.recurring_period = rule;
    return t;
}

inline RunningTotalAdjustment anchor(int64_t id, int64_t account, const char* day, double amount)
{
    RunningTotalAdjustment r;
    r.id = id;
    r.account_id = account;
    r.date = iso(day);
    r.amount = amount;
    return r;
}

inline TransactionAdjustment adjustment(int64_t id, int64_t transaction, const char* original, const char* moved,
    bool hasAmount, double amount, bool paid = false, bool deleted = false)
{
    TransactionAdjustment a;
    a.id = id;
    a.transaction_id = transaction;
    a.original_date = iso(original);
    a.new_date = iso(moved);
    a.has_amount = hasAmount;
    a.amount = amount;
    a.is_paid = paid;
    a.is_deleted = deleted;
    return a;
}

// Accounts 1..3 (A, B, C), series and one-offs around 2024-2025 with
// transfers, adjustments and anchors (some of them on one day, some for all
// accounts, some for an account that does not exist). Amounts are whole
// cents: with fractions of a cent, sums in a different order may fall on
// either side of a half cent.
inline Budget randomBudget(uint32_t seed)
{
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char* names[] = {"A", "B", "C"};
    const char* rules[] = {"nth_1_days", "nth_3_days", "nth_1_weeks", "nth_2_weeks", "nth_1_months", "dom_last_every",
        "dom_15_every", "specific_2_friday_every", "specific_last_monday_every", "nth_1_years"};
    const Date base = iso("2024-01-01");
    auto day = [&](int lo, int hi) { return addDays(base, pick(lo, hi)); };
    auto amount = [&] { return pick(-50000, 30000) / 100.0; };

    Budget b;
    for (int i = 0; i < 3; ++i)
        b.accounts.push_back(account(i + 1, names[i], i));
    const int count = pick(3, 14);
    for (int i = 0; i < count; ++i) {
        Transaction t;
        t.id = i + 1;
        t.start_date = day(-60, 500);
        t.amount = amount();
        t.account = names[pick(0, 2)];
        if (pick(0, 5) == 0)
            t.transfer_to_account = names[pick(0, 2)];
        if (pick(0, 1)) {
            t.is_recurring = true;
            t.recurring_period = rules[pick(0, 9)];
            t.pay_on_business_day = pick(0, 3) == 0;
            t.pay_early = pick(0, 1) == 1;
            if (pick(0, 2) == 0) {
                t.has_end_date = true;
                t.end_date = addDays(t.start_date, pick(0, 300));
            }
        }
        t.description = "Item " + std::to_string(i);
        t.category = pick(0, 3) == 0 ? "" : "Cat" + std::to_string(pick(0, 3));
        b.transactions.push_back(t);
    }
    const int adjustments = pick(0, 8);
    for (int i = 0; i < adjustments; ++i) {
        const Transaction& t = b.transactions[size_t(pick(0, count - 1))];
        TransactionAdjustment a;
        a.id = 100 + i;
        a.transaction_id = t.id;
        a.original_date = t.is_recurring ? day(-60, 500) : t.start_date;
        a.new_date = addDays(a.original_date, pick(-3, 3));
        a.has_amount = pick(0, 1) == 1;
        a.amount = amount();
        a.is_paid = pick(0, 1) == 1;
        a.is_deleted = pick(0, 4) == 0;
        b.transaction_adjustments.push_back(a);
    }
    const int anchors = pick(0, 6);
    for (int i = 0; i < anchors; ++i) {
        RunningTotalAdjustment r;
        r.id = 200 + i;
        r.account_id = pick(0, 4);  // 4 is no account
        r.date = i > 0 && pick(0, 3) == 0 ? b.running_total_adjustments.back().date : day(-30, 400);
        r.amount = amount();
        b.running_total_adjustments.push_back(r);
    }
    return b;
}

}  // namespace qm::testing
