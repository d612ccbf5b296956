#pragma once
// The one walk over a range of days of a projection: the transactions of a
// scope that can fall in the range, in list order, each expanded into its
// occurrences there. The day sums, the ledgers, the report rows and the
// search are each a short consumer of it.
//
// The walk reads the projection's small record of each transaction, and the
// transaction itself only for its texts when asked (see guide/store.md); it
// fetches ahead what it reads next, as the records of a large budget lie far
// apart. It works in room of its own, kept from one walk to the next: a
// caller that walks often (a page at every key or frame) keeps its walk, so
// a large budget's walk asks the system for nothing.
#include "model/occurrences.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace qm {

struct BudgetProjection;

// What a walk reads beyond the projection's records, as flags.
enum WalkReads : uint8_t {
    wrAmounts = 0,
    // The dates the records hold, where the budget dates something on no
    // real day (day numbers cannot give those back).
    wrDates = 1 << 0,
    // The transactions' texts, fetched ahead with the rest.
    wrTexts = 1 << 1,
};

struct RangeWalk {
    // visit(i, amounts, dated) for every transaction i of the scope that has
    // occurrences in the range and that take(i) keeps, in list order.
    // amounts are its occurrences as day numbers and amounts, ordered as the
    // day sums add them; dated, with wrDates where the budget needs it, are
    // the same occurrences with the dates, paid marks and adjustment ids the
    // records give (the amounts then name no adjustment), and empty
    // otherwise. take runs before the expansion, so a transaction turned
    // away costs nothing more.
    template <class Take, class Visit>
    void run(
        const BudgetProjection& p, uint32_t scope, const DayRange& range, uint8_t reads, Take&& take, Visit&& visit)
    {
        if (range.fromN > range.toN)
            return;
        list(p, scope, range.fromN, range.toN);
        const bool dated = (reads & wrDates) != 0 && needsDates(p);
        for (size_t at = 0; at < transactions.size(); ++at) {
            prefetch(p, at, (reads & wrTexts) != 0);
            const uint32_t i = transactions[at];
            if (!take(i))
                continue;
            std::span<const Occurrence> found;
            if (dated)
                found = expandDated(p, i, range);
            else
                expand(p, i, range);
            if (!amounts.empty())
                visit(i, std::span<const DayAmount>(amounts), found);
        }
    }

    // One transaction's occurrences in a range, as occurrencesInRange gives
    // them; they hold until the walk's next use.
    std::span<const Occurrence> occurrences(const BudgetProjection& p, uint32_t transaction, const DayRange& range);

    // The walk's room.
    std::vector<uint32_t> transactions;  // of the range, in list order
    std::vector<uint64_t> marks;         // a bit per transaction of the list, to put many in order
    std::vector<DayAmount> amounts;      // of the transaction visited
    std::vector<DayAmount> merging;      // its adjustments' amounts, before they are merged in
    std::vector<Occurrence> dated;       // of the transaction visited, with dates
    std::vector<uint32_t> acting;        // list indexes of its adjustments acting on the range
    std::vector<const TransactionAdjustment*> adjustments;

private:
    // Fills transactions: those of the scope that may have occurrences in
    // fromN..toN, in list order; every transaction for scope 0.
    void list(const BudgetProjection& p, uint32_t scope, int64_t fromN, int64_t toN);
    // Asks the memory for what expanding transactions[at + ahead] reads, so
    // that the walk waits for several at once rather than for each in turn.
    void prefetch(const BudgetProjection& p, size_t at, bool texts) const;
    static bool needsDates(const BudgetProjection& p);
    void expand(const BudgetProjection& p, uint32_t transaction, const DayRange& range);
    std::span<const Occurrence> expandDated(const BudgetProjection& p, uint32_t transaction, const DayRange& range);
};

// The room a consumer keeps, made when first asked.
template <class Room>
Room& roomIn(std::shared_ptr<Room>& kept)
{
    if (!kept)
        kept = std::make_shared<Room>();
    return *kept;
}

}  // namespace qm
