#pragma once
// The dated instances of a transaction inside a range of days: its series
// (or its one date), moved off weekends when it asks for that, with the
// changes of single occurrences that its adjustments record.
#include "model/budget.h"
#include "model/dates.h"

#include <cstdint>
#include <span>
#include <vector>

namespace qm {

struct Occurrence {
    Date date;
    bool is_paid = false;
    double amount = 0;
    int64_t adjustment_id = 0;  // 0 for a date generated from the rule
};

// Occurrences of t dated from..to (both included), sorted by date; on one
// date the adjustments' occurrences come first, in list order. Adjustments of
// other transactions are ignored.
std::vector<Occurrence> expandOccurrences(const Transaction& t,
    std::span<const TransactionAdjustment> adjustments, Date from, Date to);
std::vector<Occurrence> occurrencesInRange(const Budget& b, const Transaction& t, Date from, Date to);

// A budget's adjustments grouped by transaction, in list order within each,
// keeping only those that can act on from..to. Expanding many transactions
// over one range through it costs one pass over the adjustments in all.
struct AdjustmentIndex {
    Date from;
    Date to;
    std::vector<int64_t> ids;  // ascending; ids[i] owns adjustments[i]
    std::vector<const TransactionAdjustment*> adjustments;

    std::span<const TransactionAdjustment* const> of(int64_t transactionId) const;
};

AdjustmentIndex indexAdjustments(std::span<const TransactionAdjustment> adjustments, Date from, Date to);
// occurrencesInRange over the index's range, appended to out (which is
// cleared first, so one buffer serves a whole loop).
void expandIndexed(const Transaction& t, const AdjustmentIndex& index, std::vector<Occurrence>& out);

}  // namespace qm
