#pragma once
// Random edits of a store's budget through the edit functions the program
// calls, for the checks that a projection kept up to date by its notes
// answers as a fresh one does.
#include "ledger_fixtures.h"
#include "model/adjustments.h"
#include "model/occurrences.h"
#include "model/record_edits.h"
#include "model/store.h"
#include "model/transaction_edits.h"

#include <random>
#include <string>
#include <vector>

namespace qm::testing {

// One edit on days from base to base + spanDays; gives whether it removed a
// transaction.
inline bool randomEdit(LocalStore& store, std::mt19937& rng, Date base, int spanDays)
{
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const Budget& b = *store.budget;
    const char* rules[] = {"nth_1_days", "nth_3_days", "nth_1_weeks", "nth_1_months", "dom_last_every",
        "specific_2_friday_every", "nth_1_years"};
    auto day = [&] { return addDays(base, pick(0, spanDays)); };
    // Fractions of a cent, so that a sum in another order shows.
    auto amount = [&] { return pick(-50000, 30000) / 100.0 + 1e-7; };
    auto accountName = [&] { return b.accounts[size_t(pick(0, int(b.accounts.size()) - 1))].name; };
    auto fill = [&](Transaction& t) {
        t.description = "Edit " + std::to_string(pick(0, 999));
        t.start_date = day();
        t.amount = amount();
        t.account = accountName();
        t.transfer_to_account = pick(0, 4) == 0 ? accountName() : "";
        if (t.transfer_to_account == t.account)
            t.transfer_to_account.clear();
        t.is_recurring = pick(0, 1) == 1;
        t.recurring_period = t.is_recurring ? rules[pick(0, 6)] : "";
        t.pay_on_business_day = pick(0, 3) == 0;
        t.has_end_date = t.is_recurring && pick(0, 2) == 0;
        t.end_date = addDays(t.start_date, pick(-30, 400));
        t.category = "Cat" + std::to_string(pick(0, 3));
    };
    if (b.transactions.empty() || pick(0, 9) == 0) {
        Transaction t;
        fill(t);
        addTransaction(store, t);
        return false;
    }
    const Transaction t = b.transactions[size_t(pick(0, int(b.transactions.size()) - 1))];
    // One of its occurrences near the days, or its start.
    Date occurrence = t.start_date;
    const std::vector<Occurrence> near = occurrencesInRange(b, t, day(), addDays(base, spanDays + 60));
    if (!near.empty())
        occurrence = near[size_t(pick(0, int(near.size()) - 1))].date;
    switch (pick(0, 10)) {
    case 0: {
        Transaction e = t;
        fill(e);
        updateTransaction(store, t.id, e, false, occurrence, false);
        return false;
    }
    case 1: {
        Transaction e = t;
        e.amount = amount();
        if (pick(0, 1))
            e.account = accountName();
        updateTransaction(store, t.id, e, pick(0, 1) == 1, occurrence, true);
        return false;
    }
    case 2:
        setOccurrenceAmount(store, t.id, occurrence, amount(), pick(0, 4) > 0, 0);
        return false;
    case 3:
        setOccurrenceDate(store, t.id, occurrence, addDays(occurrence, pick(-40, 40)), 0);
        return false;
    case 4:
        setOccurrencePaid(store, t.id, occurrence, pick(0, 1) == 1, 0);
        return false;
    case 5:
        deleteOccurrence(store, t.id, occurrence, 0);
        return false;
    case 6:
    case 7: {
        const int64_t accountId = pick(0, int(b.accounts.size()));
        if (pick(0, 2) == 0 && !b.running_total_adjustments.empty()) {
            const RunningTotalAdjustment& r =
                b.running_total_adjustments[size_t(pick(0, int(b.running_total_adjustments.size()) - 1))];
            removeAnchor(store, r.date, r.account_id);
        } else {
            setAnchor(store, day(), amount(), accountId);
        }
        return false;
    }
    case 8:
        copyTransactionTo(store, t.id, day(), pick(0, 1) == 1);
        return false;
    case 9:
        deleteTransaction(store, t.id);
        return true;
    default:
        // Renaming a category renames it in its transactions and recolours them.
        if (b.categories.empty())
            addCategory(store, t.category, "#123456", 0);
        else
            updateCategory(store, b.categories[size_t(pick(0, int(b.categories.size()) - 1))].id,
                "Cat" + std::to_string(pick(0, 5)), pick(0, 1) ? "#123456" : "#654321", 0, false);
        return false;
    }
}

}  // namespace qm::testing
