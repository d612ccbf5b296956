// Sorts the search page's results for the oracle scripts: reads a budget
// document on stdin, searches it for the text in argv[1] around the day in
// argv[2] (ISO), and prints the hits in the store's order with, for every
// sort column and direction, the order sortedResults gives as hit indexes,
// in full and for the first kPrefix rows only.
#include "core/json.h"
#include "model/budget_json.h"
#include "model/reports.h"
#include "pages/search/search_page.h"

#include <deque>
#include <iostream>
#include <iterator>
#include <map>
#include <tuple>

using namespace qm;

constexpr size_t kPrefix = 37;

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: searchsort TEXT TODAY < budget.json\n";
        return 2;
    }
    std::string text((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    BudgetPtr budget = budgetFromJson(parseJson(text));
    Date today = parseIso(argv[2]);
    SearchFilter filter;
    filter.text = argv[1];
    filter.from = addYears(today, -1);
    filter.to = addYears(today, 1);
    SearchPageState search;
    search.results = searchOccurrences(*budget, filter, today);

    using Key = std::tuple<const Transaction*, int32_t, int64_t>;
    auto key = [](const SearchHit& h) { return Key{h.transaction, dayNumber(h.date), h.adjustmentId()}; };
    Json out = Json::object();
    Json hits = Json::array();
    for (const SearchHit& h : search.results)
        hits.push_back({{"date", formatIso(h.date)}, {"description", h.transaction->description},
            {"category", h.transaction->category}, {"account", h.transaction->account}, {"amount", h.amount}});
    out["hits"] = hits;
    Json orders = Json::object();
    for (int32_t column = 0; column < 5; ++column)
        for (int32_t direction : {1, -1})
            for (size_t count : {size_t(SIZE_MAX), kPrefix}) {
                std::map<Key, std::deque<size_t>> where;
                for (size_t i = 0; i < search.results.size(); ++i)
                    where[key(search.results[i])].push_back(i);
                search.sortColumn = column;
                search.sortDirection = direction;
                Json order = Json::array();
                for (const SearchHit& h : sortedResults(search, count)) {
                    std::deque<size_t>& q = where[key(h)];
                    order.push_back(q.front());
                    q.pop_front();
                }
                std::string name = std::to_string(column) + "," + std::to_string(direction);
                orders[count == kPrefix ? name + ",prefix" : name] = order;
            }
    out["orders"] = orders;
    std::cout << dumpJson(out) << '\n';
    return 0;
}
