#pragma once
// The budget's records in the stored JSON form ("data.json" and the journal's
// data), and the lenient member readers they are built on.
#include "core/json.h"
#include "model/budget.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// Never fails on content: whatever is missing or unreadable takes its default.
BudgetPtr budgetFromJson(const Json& node);
Json budgetToJson(const Budget& budget);

Account accountFromJson(const Json& node);
Category categoryFromJson(const Json& node);
CustomIcon iconFromJson(const Json& node);
Transaction transactionFromJson(const Json& node);
TransactionAdjustment adjustmentFromJson(const Json& node);
RunningTotalAdjustment anchorFromJson(const Json& node);
User userFromJson(const Json& node);

Json accountToJson(const Account& a);
Json categoryToJson(const Category& c);
Json iconToJson(const CustomIcon& i);
Json transactionToJson(const Transaction& t);
Json adjustmentToJson(const TransactionAdjustment& a);
Json anchorToJson(const RunningTotalAdjustment& r);
Json userToJson(const User& u);

// The null rules of the writers.
Json dateToJson(Date d);
Json jsonStrOrNull(const std::string& text);
Json jsonIdOrNull(int64_t id);

// Member readers: when the key is absent, null, or holds the wrong JSON type,
// the reader answers its default. jsonFloat never yields NaN or an infinity: such values, and
// numbers too large for a double, keep the default.
int64_t jsonInt(const Json& obj, std::string_view key);
std::string jsonStr(const Json& obj, std::string_view key);
bool jsonBool(const Json& obj, std::string_view key);
double jsonFloat(const Json& obj, std::string_view key, double fallback = 0);
// Nothing unless the member is an ISO date text.
std::optional<Date> jsonDate(const Json& obj, std::string_view key);

}  // namespace qm
