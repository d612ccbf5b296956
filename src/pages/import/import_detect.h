#pragma once
// What the import wizard learns about parsed statement rows before the user
// sees them: which rows repeat a transaction the budget already holds, and
// which rows form a recurring series.
#include "formats/ofx/ofx_import.h"
#include "model/budget.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct ImportCounts {
    int32_t total = 0;
    int32_t newCount = 0;
    int32_t possibleDuplicates = 0;
    int32_t duplicates = 0;
    int32_t recurringGroups = 0;
};

// The description's words of ASCII letters, upper-cased and joined by one
// space; digits vanish inside a word, anything else separates words.
std::string recurringGroupKey(std::string_view description);

// Marks series of rows with one key, amounts within 15 % and a regular
// interval that matches a known period. rows are in date order.
void detectRecurringPatterns(std::vector<ImportRow>& rows);

// 2M / (|a| + |b|) with M the bytes the Ratcliff/Obershelp matching blocks
// cover; 1 when both are empty.
double descriptionSimilarity(std::string_view a, std::string_view b);

// What the duplicate pass needs of a budget, copied out of it, so that rows
// can be matched on another thread while the budget goes on changing.
struct ImportMatchTargets {
    struct Target {
        int64_t id = 0;
        double amount = 0;
        Date startDate;
        std::string description;
        int32_t series = -1;  // its whole record in `series` when it recurs
    };
    std::vector<Target> transactions;  // in budget order
    // Grows without moving what it holds: a vector's growth would copy
    // every series so far within one step of the copy.
    std::deque<Transaction> series;
    std::vector<TransactionAdjustment> adjustments;  // of the series only
    std::vector<int64_t> seriesIds;                  // sorted once every transaction is in
};

// Copies up to `count` more records of the budget into `targets`, going on
// from `next` (0 at first), which it advances: the transactions, then the
// adjustments of those that recur. True once everything is in. A copy made
// in steps is the budget's only while the budget did not change between
// them.
bool copyImportMatchTargets(ImportMatchTargets& targets, const Budget& budget, size_t& next, size_t count);

// Matches every row against the budget's transactions (recurring ones through
// their occurrences near the row's date) and marks likely duplicates.
void markImportDuplicates(std::vector<ImportRow>& rows, const Budget& budget);
// The same against a copy; stops early, leaving the rest unmarked, once
// `cancelled` (when given) is set.
void markImportDuplicates(
    std::vector<ImportRow>& rows, const ImportMatchTargets& targets, const std::atomic<bool>* cancelled = nullptr);

ImportCounts countImportRows(const std::vector<ImportRow>& rows);

}  // namespace qm
