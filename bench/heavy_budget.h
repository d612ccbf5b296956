#pragma once
// A large generated budget for benchmarks: always the same for a given scale,
// so figures from different runs and machines compare. Scale 1 holds 300
// recurring transactions started over the ten years before the reference day
// (every rule kind), 12,000 one-offs, 20,000 adjustments and 150 balance
// anchors over 7 accounts; scale n holds n times as many of each record,
// over the same 7 accounts.
#include "model/budget.h"
#include "model/occurrences.h"

#include <cstdint>
#include <string>

namespace qm::bench {

// The "today" every benchmark on the heavy budget asks about.
inline Date heavyToday() { return Date{2026, 6, 15}; }

// splitmix64: fixed output on every platform, unlike the standard
// distributions.
class HeavyRandom {
public:
    explicit HeavyRandom(uint64_t seed)
        : m_state(seed)
    {
    }
    uint64_t next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // lo..hi, both included.
    int64_t range(int64_t lo, int64_t hi) { return lo + int64_t(next() % uint64_t(hi - lo + 1)); }
    bool chance(int percent) { return range(0, 99) < percent; }

private:
    uint64_t m_state;
};

inline const char* const kHeavyAccounts[7] = {
    "Checking", "Savings", "Credit Card", "Cash", "Brokerage", "Joint", "Travel"};

inline std::string heavyRule(HeavyRandom& r)
{
    static const char* const weekdays[] = {
        "monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"};
    auto month = [&] { return r.chance(80) ? std::string("every") : std::to_string(r.range(1, 12)); };
    switch (r.range(0, 5)) {
    case 0:
        return "nth_" + std::to_string(r.range(1, 3)) + "_days";
    case 1:
        return "nth_" + std::to_string(r.range(1, 4)) + "_weeks";
    case 2:
        return "nth_" + std::to_string(r.chance(70) ? 1 : r.range(2, 6)) + "_months";
    case 3:
        return "dom_" + (r.chance(15) ? std::string("last") : std::to_string(r.range(1, 31))) + "_" + month();
    case 4:
        return "specific_" + (r.chance(20) ? std::string("last") : std::to_string(r.range(1, 5))) + "_"
            + weekdays[r.range(0, 6)] + "_" + month();
    default:
        return "nth_" + std::to_string(r.range(1, 2)) + "_years";
    }
}

inline Budget heavyBudget(int scale, uint64_t seed = 20260615)
{
    HeavyRandom r(seed);
    const Date today = heavyToday();
    const int32_t todayN = dayNumber(today);
    auto dayIn = [&](int64_t fromOffset, int64_t toOffset) {
        return fromDayNumber(int32_t(todayN + r.range(fromOffset, toOffset)));
    };
    Budget b;
    for (int i = 0; i < 7; ++i) {
        Account a;
        a.id = i + 1;
        a.name = kHeavyAccounts[i];
        a.display_order = i;
        b.accounts.push_back(a);
    }
    auto fill = [&](Transaction& t) {
        t.id = int64_t(b.transactions.size()) + 1;
        t.amount = double(r.range(-250000, 150000)) / 100;
        t.account = kHeavyAccounts[r.range(0, 6)];
        if (r.chance(8)) {
            t.transfer_to_account = kHeavyAccounts[r.range(0, 6)];
            if (t.transfer_to_account == t.account)
                t.transfer_to_account.clear();
        }
        t.description = "Item " + std::to_string(t.id);
        t.category = "Category " + std::to_string(r.range(1, 20));
    };
    for (int i = 0; i < 300 * scale; ++i) {
        Transaction t;
        fill(t);
        t.is_recurring = true;
        t.recurring_period = heavyRule(r);
        t.start_date = dayIn(-3650, 0);
        if (r.chance(25)) {
            t.has_end_date = true;
            t.end_date = addDays(t.start_date, r.range(30, 5000));
        }
        t.pay_on_business_day = r.chance(30);
        t.pay_early = r.chance(50);
        b.transactions.push_back(t);
    }
    for (int i = 0; i < 12000 * scale; ++i) {
        Transaction t;
        fill(t);
        t.start_date = dayIn(-3650, 365);
        b.transactions.push_back(t);
    }
    // Half of the adjustments change a real occurrence of a series, the rest
    // move or change one-offs.
    const int64_t recurring = 300 * scale;
    std::vector<Occurrence> window;
    for (int i = 0; i < 20000 * scale; ++i) {
        TransactionAdjustment a;
        a.id = i + 1;
        const Transaction* t = nullptr;
        if (r.chance(50)) {
            t = &b.transactions[size_t(r.range(0, recurring - 1))];
            Date from = dayIn(-3650, 300);
            window = expandOccurrences(*t, {}, from, addDays(from, 60));
            a.original_date = window.empty() ? from : window[size_t(r.range(0, int64_t(window.size()) - 1))].date;
        } else {
            t = &b.transactions[size_t(r.range(recurring, int64_t(b.transactions.size()) - 1))];
            a.original_date = t->start_date;
        }
        a.transaction_id = t->id;
        a.new_date = addDays(a.original_date, r.chance(60) ? 0 : r.range(-5, 5));
        a.is_deleted = r.chance(15);
        a.has_amount = r.chance(50);
        a.amount = double(r.range(-250000, 150000)) / 100;
        a.is_paid = r.chance(30);
        b.transaction_adjustments.push_back(a);
    }
    for (int i = 0; i < 150 * scale; ++i) {
        RunningTotalAdjustment anchor;
        anchor.id = i + 1;
        anchor.account_id = r.range(0, 7);
        anchor.date = dayIn(-3650, 90);
        anchor.amount = double(r.range(-500000, 5000000)) / 100;
        b.running_total_adjustments.push_back(anchor);
    }
    return b;
}

}  // namespace qm::bench
