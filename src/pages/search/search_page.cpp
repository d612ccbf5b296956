#include "pages/search/search_page.h"

#include <algorithm>
#include <numeric>

#include "app/navigation.h"
#include "core/ascii.h"
#include "model/ledger.h"
#include "model/money.h"
#include "model/projection.h"
#include "pages/calendar/calendar_state.h"

namespace qm {

namespace {

bool sameFilter(const SearchFilter& a, const SearchFilter& b)
{
    return a.text == b.text && a.accountId == b.accountId && a.category == b.category && a.hasMin == b.hasMin
        && a.hasMax == b.hasMax && (!a.hasMin || a.minAmount == b.minAmount)
        && (!a.hasMax || a.maxAmount == b.maxAmount) && a.paid == b.paid && a.changed == b.changed && a.from == b.from
        && a.to == b.to;
}

int compareBytes(std::string_view a, std::string_view b)
{
    int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

const SearchPageState& blankSearch()
{
    static const SearchPageState blank;
    return blank;
}

}  // namespace

SearchPageState& searchState(AppState& state)
{
    if (!state.search)
        state.search = std::make_shared<SearchPageState>();
    return *state.search;
}

SearchFilter buildSearchCriteria(const AppState& state)
{
    const SearchPageState& s = state.search ? *state.search : blankSearch();
    const Budget& b = *state.store->budget;
    SearchFilter f;
    f.text = std::string(trimAsciiBlanks(s.query));
    // A chosen category or account that is gone no longer filters, as its
    // list then shows "All".
    if (!s.category.empty())
        for (const Category& c : b.categories)
            if (c.name == s.category)
                f.category = s.category;
    f.accountId = validAccountId(b, s.accountId);
    if (std::optional<double> v = parseMoney(s.minText)) {
        f.hasMin = true;
        f.minAmount = *v;
    }
    if (std::optional<double> v = parseMoney(s.maxText)) {
        f.hasMax = true;
        f.maxAmount = *v;
    }
    f.paid = s.paidMode == 1 ? SearchFilter::Paid::paidOnly
        : s.paidMode == 2    ? SearchFilter::Paid::unpaidOnly
                             : SearchFilter::Paid::any;
    f.changed = s.adjustedMode == 1 ? SearchFilter::Changed::changedOnly
        : s.adjustedMode == 2       ? SearchFilter::Changed::unchangedOnly
                                    : SearchFilter::Changed::any;
    f.from = s.fromSet ? s.fromDate : addYears(state.todayDate, -1);
    f.to = s.toSet ? s.toDate : addYears(state.todayDate, 1);
    return f;
}

void runSearch(AppState& state)
{
    SearchPageState& s = searchState(state);
    s.ranFilter = buildSearchCriteria(state);
    searchOccurrences(storeProjection(*state.store), s.ranFilter, state.todayDate, s.results);
    s.ranBudget = state.store->budget.get();
    s.resultsRevision = state.store->change_count;
    s.searched = true;
    s.shownCount = kSearchPageRows;
    s.runs += 1;
    state.searchDirty = false;
    state.redrawRequested = true;
}

void clearSearch(AppState& state)
{
    SearchPageState& s = searchState(state);
    s.query.clear();
    s.minText.clear();
    s.maxText.clear();
    s.fromSet = false;
    s.toSet = false;
    s.category.clear();
    s.accountId = 0;
    s.paidMode = 0;
    s.adjustedMode = 0;
    s.sortColumn = searchByDate;
    s.sortDirection = 1;
    s.results.clear();
    s.sorted.clear();
    s.sortedRun = -1;
    s.searched = false;
}

void refreshSearch(AppState& state)
{
    SearchPageState& s = searchState(state);
    // Local ids repeat from one budget to the next: an account chosen in the
    // budget that was open names nothing, or another account, in this one.
    if (state.searchDirty)
        s.accountId = 0;
    bool run = false;
    if (isPageActive(state, pageSearch)) {
        const std::string& typed = calendarState(state).searchText;
        std::string_view text = trimAsciiBlanks(typed);
        if (!text.empty() && text != trimAsciiBlanks(s.query)) {
            s.query = typed;
            run = true;
        }
        run = run || !s.searched;
    }
    if (s.searched) {
        const LocalStore& store = *state.store;
        run = run || state.searchDirty || s.resultsRevision != store.change_count || s.ranBudget != store.budget.get()
            || !sameFilter(s.ranFilter, buildSearchCriteria(state));
    }
    if (run)
        runSearch(state);
}

int compareSearchRows(const SearchHit& a, const SearchHit& b, int32_t column, int32_t direction)
{
    int c = 0;
    switch (column) {
    case searchByDescription:
        c = compareBytes(a.transaction->description, b.transaction->description);
        break;
    case searchByCategory:
        c = compareBytes(a.transaction->category, b.transaction->category);
        break;
    case searchByAccount:
        c = compareBytes(a.transaction->account, b.transaction->account);
        break;
    case searchByAmount:
        c = a.amount < b.amount ? -1 : a.amount > b.amount ? 1 : 0;
        break;
    default:
        c = dateCmp(a.date, b.date);
        break;
    }
    return c * direction;
}

std::vector<SearchHit> sortedResults(const SearchPageState& search, size_t count)
{
    const SearchHits& found = search.results;
    count = std::min(count, found.size());
    if (search.sortColumn == searchByDate && search.sortDirection == 1)
        return {found.begin(), found.begin() + ptrdiff_t(count)};
    // Another column compares every hit, so all are made whole; positions
    // break ties, so any sort gives the stable order, and only the rows
    // wanted are ordered, only positions moving until then.
    const std::vector<SearchHit> r = found.whole();
    std::vector<uint32_t> order(r.size());
    std::iota(order.begin(), order.end(), 0u);
    auto less = [&](uint32_t a, uint32_t b) {
        int c = compareSearchRows(r[a], r[b], search.sortColumn, search.sortDirection);
        return c != 0 ? c < 0 : a < b;
    };
    if (count < r.size())
        std::partial_sort(order.begin(), order.begin() + ptrdiff_t(count), order.end(), less);
    else
        std::sort(order.begin(), order.end(), less);
    std::vector<SearchHit> out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i)
        out.push_back(r[order[i]]);
    return out;
}

const std::vector<SearchHit>& shownResults(SearchPageState& search)
{
    // Only the rows shown are made whole, whatever the order.
    size_t count = std::min(size_t(std::max(0, search.shownCount)), search.results.size());
    if (search.sortedRun != search.runs || search.sortedColumn != search.sortColumn
        || search.sortedDirection != search.sortDirection || search.sorted.size() != count) {
        search.sorted = sortedResults(search, count);
        search.sortedRun = search.runs;
        search.sortedColumn = search.sortColumn;
        search.sortedDirection = search.sortDirection;
    }
    return search.sorted;
}

void clickSortColumn(SearchPageState& search, int32_t column)
{
    if (search.sortColumn == column) {
        search.sortDirection = search.sortDirection == 1 ? -1 : 1;
    } else {
        search.sortColumn = column;
        search.sortDirection = 1;
    }
}

std::string searchCountLine(const SearchPageState& search)
{
    size_t n = search.results.size();
    if (n == 0)
        return {};
    std::string line = n == 1 ? "1 transaction" : std::to_string(n) + " transactions";
    if (!search.fromSet && !search.toSet)
        line += " in the past year and the next";
    return line;
}

std::string searchAccountText(const SearchHit& hit)
{
    const Transaction& t = *hit.transaction;
    if (isTransfer(t))
        return t.account + " \u2192 " + t.transfer_to_account;
    return t.account;
}

void openSearchHit(AppState& state, const SearchHit& hit)
{
    Date d = hit.date;
    selectDate(state, d.year, d.month, d.day);
    selectDay(state, d.year, d.month, d.day);
    state.selectedOccurrence = {hit.transaction->id, hit.adjustmentId(), d, true};
    switchPage(state, pageCalendar);
}

}  // namespace qm
