#pragma once
// The search page: a form of criteria over the planned occurrences of a
// date range, the hits of the model's search in a table sortable by column
// and shown a hundred at a time, and a click that takes a hit back to the
// calendar.
//
// A search over a large budget takes milliseconds, so it runs only when its
// inputs change: the criteria, the store's change count, or a budget being
// opened (the shell's searchDirty). The hits point into the budget and are
// never read after it changed without running again first. The category
// filter keeps the chosen name and the account filter the chosen id, so
// that a list that grows or is renamed never moves the filter to another
// entry.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "model/reports.h"

namespace qm {

inline constexpr int32_t kSearchPageRows = 100;

enum SearchColumn : int32_t {
    searchByDate = 0,
    searchByDescription = 1,
    searchByCategory = 2,
    searchByAccount = 3,
    searchByAmount = 4,
};

struct SearchPageState {
    std::string query;
    bool fromSet = false;
    bool toSet = false;
    Date fromDate;
    Date toDate;
    std::string category;   // "" = all categories
    int64_t accountId = 0;  // 0 = all accounts
    std::string minText;
    std::string maxText;
    int32_t paidMode = 0;      // 0 any, 1 paid, 2 unpaid
    int32_t adjustedMode = 0;  // 0 any, 1 adjusted, 2 unadjusted
    int32_t sortColumn = searchByDate;
    int32_t sortDirection = 1;  // 1 or -1

    // The hits of the last run in the store's order, nearest today first.
    SearchHits results;
    bool searched = false;
    int32_t shownCount = kSearchPageRows;
    int32_t resultsRevision = 0;  // the store's change count at the last run
    // What the last run searched, to notice what changed since.
    SearchFilter ranFilter;
    const Budget* ranBudget = nullptr;
    int64_t runs = 0;

    // The shown rows in the chosen order, made whole from the results and
    // kept until the results, the column, the direction or the shown count
    // change.
    std::vector<SearchHit> sorted;
    int64_t sortedRun = -1;
    int32_t sortedColumn = 0;
    int32_t sortedDirection = 0;
};

// The record, made on first use.
SearchPageState& searchState(AppState& state);

// The filter the form describes now. Without bounds the search covers a year
// either side of today; a Min or Max that does not parse is left out.
SearchFilter buildSearchCriteria(const AppState& state);
// Searches the store's projection and keeps the hits; shows the first page.
void runSearch(AppState& state);
// Empties the form and the results; the sort goes back to the store's order.
void clearSearch(AppState& state);
// Runs the search when one of its inputs changed since the last run (see
// above), and on the page's first frame when the calendar's search field
// brings a new text or nothing was searched yet.
void refreshSearch(AppState& state);

// -1, 0 or 1 by the column, times the direction: texts byte by byte,
// amounts by value, any other column by date.
int compareSearchRows(const SearchHit& a, const SearchHit& b, int32_t column, int32_t direction);
// The first `count` rows of a stable sort of the results by the chosen
// column; the store's order for the date column ascending (nearest today
// first, as the search gives them).
std::vector<SearchHit> sortedResults(const SearchPageState& search, size_t count = SIZE_MAX);
// The rows the page shows (the shown count, or all when fewer), kept in
// the record between frames.
const std::vector<SearchHit>& shownResults(SearchPageState& search);
// A click on a sortable caption: the same column flips its direction.
void clickSortColumn(SearchPageState& search, int32_t column);

// "12 transactions in the past year and the next", "1 transaction", "".
std::string searchCountLine(const SearchPageState& search);
// The account column: the account, and for a transfer " → " and where to.
std::string searchAccountText(const SearchHit& hit);

// Shows the calendar on the hit's day with its occurrence selected.
void openSearchHit(AppState& state, const SearchHit& hit);

void drawSearchPage(AppState& state, const Rect& rect);

}  // namespace qm
