#pragma once
// The budget's records in the stored JSON form ("data.json" and the journal's
// data), and the lenient member readers they are built on.
#include "core/errors.h"
#include "core/json.h"
#include "model/budget.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// What this version cannot read without losing it: a known member of a
// record or change that holds an object or a list where a number, text or
// date belongs, or a change of a kind it does not know. A newer version
// wrote it; the text names the member.
struct NewerFormatError : ValueError {
    using ValueError::ValueError;
};

// Whatever is missing, null or of another plain type takes its default;
// members this version does not know are kept in the record's
// unknown_members and written back by the writers. Raises NewerFormatError
// (see above).
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
// Nothing unless the member is an ISO date text with a year from 1 to 9999.
std::optional<Date> jsonDate(const Json& obj, std::string_view key);

}  // namespace qm
