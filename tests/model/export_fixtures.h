#pragma once
// Small budgets shared by the export tests.
#include "model/budget.h"

#include <string>
#include <vector>

namespace qm::testing {

inline Transaction oneOff(int64_t id, const char* date, double amount, std::string description)
{
    Transaction t;
    t.id = id;
    t.start_date = parseIso(date);
    t.amount = amount;
    t.description = std::move(description);
    return t;
}

inline Transaction series(int64_t id, const char* rule, const char* start, double amount, std::string description)
{
    Transaction t = oneOff(id, start, amount, std::move(description));
    t.is_recurring = true;
    t.recurring_period = rule;
    return t;
}

inline TransactionAdjustment adjust(int64_t id, int64_t tx, const char* original, const char* moved)
{
    TransactionAdjustment a;
    a.id = id;
    a.transaction_id = tx;
    a.original_date = parseIso(original);
    a.new_date = parseIso(moved);
    return a;
}

inline std::vector<std::string> splitLines(const std::string& text, const std::string& sep)
{
    std::vector<std::string> lines;
    size_t at = 0;
    for (;;) {
        size_t next = text.find(sep, at);
        if (next == std::string::npos) {
            lines.push_back(text.substr(at));
            return lines;
        }
        lines.push_back(text.substr(at, next - at));
        at = next + sep.size();
    }
}

}  // namespace qm::testing
