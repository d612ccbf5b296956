#pragma once
// The dated instances of a transaction inside a range of days: its series
// (or its one date), moved off weekends when it asks for that, with the
// changes of single occurrences that its adjustments record.
#include "model/budget.h"
#include "model/dates.h"
#include "model/recurrence.h"

#include <cstdint>
#include <limits>
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
std::vector<Occurrence> expandOccurrences(
    const Transaction& t, std::span<const TransactionAdjustment> adjustments, Date from, Date to);
std::vector<Occurrence> occurrencesInRange(const Budget& b, const Transaction& t, Date from, Date to);

// The days from..to. Comparing a real calendar date with the ends by its
// fields costs far less than computing its day number.
struct DayRange {
    int64_t fromN = 0;  // day numbers of the ends; fromN > toN when empty
    int64_t toN = -1;
    int64_t fromKey = 0;  // the ends' fields packed in order
    int64_t toKey = -1;

    bool contains(Date d) const;
};

DayRange dayRange(Date from, Date to);

// A budget's adjustments grouped by transaction, in list order within each,
// keeping only those that can act on from..to. Expanding many transactions
// over one range through it costs one pass over the adjustments in all. It
// points into the list it was made from, which must outlive it.
struct AdjustmentIndex {
    DayRange range;
    std::vector<int64_t> ids;  // ascending; ids[i] owns adjustments[i]
    std::vector<const TransactionAdjustment*> adjustments;
    std::vector<uint64_t> present;  // a bit per hashed id, to skip the search
    int present_shift = 58;

    std::span<const TransactionAdjustment* const> of(int64_t transactionId) const;
};

AdjustmentIndex indexAdjustments(std::span<const TransactionAdjustment> adjustments, Date from, Date to);
AdjustmentIndex indexAdjustments(const AdjustmentList& adjustments, Date from, Date to);
// occurrencesInRange over the index's range, appended to out (which is
// cleared first, so one buffer serves a whole loop).
void expandIndexed(const Transaction& t, const AdjustmentIndex& index, std::vector<Occurrence>& out);

// For callers that expand one transaction over many ranges: t's rule read
// once (step; null reads it here) and its adjustments (all that can act on
// the range, in list order) found once. out is cleared first.
void expandPrepared(const Transaction& t, const SeriesStep* step,
    std::span<const TransactionAdjustment* const> adjustments, const DayRange& range, std::vector<Occurrence>& out);

// An occurrence as a balance sees it.
struct DayAmount {
    int32_t day = 0;          // day number
    uint32_t adjustment = 0;  // 1 + the list index of the adjustment that shows it; 0 for a date of the rule
    double amount = 0;
};

// What an adjustment changes in the balances, kept beside the list so that
// adding up a range never reaches into the adjustments themselves.
// Packed to 20 bytes: a large budget keeps hundreds of thousands.
#pragma pack(push, 4)
struct AdjustmentDays {
    int32_t originalN = 0;
    int32_t newN = 0;         // INT32_MIN when deleted: it shows nowhere
    uint32_t index : 31 = 0;  // in the budget's list
    uint32_t hasAmount : 1 = 0;
    double amount = 0;
};
#pragma pack(pop)
static_assert(sizeof(AdjustmentDays) == 20);

AdjustmentDays adjustmentDays(const TransactionAdjustment& a, uint32_t index);
// expandPrepared's occurrences in the same order, as day numbers and
// amounts only, which spares making their dates; from adjustments kept so:
// all of the transaction's that can act on the range, in any order, and
// any others of its own (they change nothing). spare is room the merge of
// the adjustments' amounts works in.
void expandPreparedAmounts(const Transaction& t, const SeriesStep* step, std::span<const AdjustmentDays> adjustments,
    const DayRange& range, std::vector<DayAmount>& out, std::vector<DayAmount>& spare);

inline constexpr int64_t kNoEnd = std::numeric_limits<int64_t>::max();

// What expanding a transaction's amounts reads of it. A loop over many
// transactions that keeps these beside its own records never reaches into
// the transactions, which lie far apart in a large budget.
struct ExpansionSource {
    Date start;             // read by series only
    int64_t startN = 0;     // the start's day number
    int64_t endN = kNoEnd;  // the end date's day number, kNoEnd without one
    double amount = 0;
    bool recurring = false;
    bool payOnBusinessDay = false;
    bool payEarly = false;
};

ExpansionSource expansionSource(const Transaction& t);
// The same from what was kept; step is read by series only.
void expandPreparedAmounts(const ExpansionSource& t, const SeriesStep& step,
    std::span<const AdjustmentDays> adjustments, const DayRange& range, std::vector<DayAmount>& out,
    std::vector<DayAmount>& spare);

}  // namespace qm
