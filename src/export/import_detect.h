#pragma once
// What the import wizard learns about parsed statement rows before the user
// sees them: which rows repeat a transaction the budget already holds, and
// which rows form a recurring series.
#include "export/ofx_import.h"
#include "model/budget.h"

#include <cstdint>
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

// Matches every row against the budget's transactions (recurring ones through
// their occurrences near the row's date) and marks likely duplicates.
void markImportDuplicates(std::vector<ImportRow>& rows, const Budget& budget);

ImportCounts countImportRows(const std::vector<ImportRow>& rows);

}  // namespace qm
