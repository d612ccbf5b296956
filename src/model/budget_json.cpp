#include "model/budget_json.h"

#include "core/ascii.h"
#include "model/money.h"
#include "model/record_fields.h"
#include "model/stored_scalar.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <span>

namespace qm {

namespace {

const Json* member(const Json& obj, std::string_view key)
{
    if (!obj.is_object())
        return nullptr;
    auto it = obj.find(key);
    if (it == obj.end() || it->is_null())
        return nullptr;
    return &*it;
}

// A JSON integer within int64, or nothing.
bool intValue(const Json& v, int64_t& out)
{
    if (v.is_number_unsigned()) {
        uint64_t u = v.get<uint64_t>();
        if (u > uint64_t(std::numeric_limits<int64_t>::max()))
            return false;
        out = int64_t(u);
        return true;
    }
    if (v.is_number_integer()) {
        out = v.get<int64_t>();
        return true;
    }
    return false;
}

template <typename List, typename Read>
void readList(const Json& node, const char* key, List& list, Read read)
{
    auto it = node.find(key);
    if (it == node.end() || !it->is_array())
        return;
    list.reserve(it->size());
    for (const auto& item : *it)
        list.push_back(read(item));
}

template <typename List, typename Write>
Json writeList(const List& list, Write write)
{
    Json arr = Json::array();
    for (const auto& item : list)
        arr.push_back(write(item));
    return arr;
}

using Keys = std::span<const std::string_view>;

// One pass over a record's members: a known one holding an object or a list
// was written by a newer version (reading it as a default would lose it at
// the next save), and the unknown ones are gathered to be written back.
JsonPtr unknownMembers(const Json& node, const Keys& known, std::string_view record)
{
    if (!node.is_object())
        return nullptr;
    std::optional<Json> unknown;
    // Files this program wrote hold the members in the writer's order: one
    // comparison each, and a search only for what is out of that order.
    auto expected = known.begin();
    for (auto it = node.begin(); it != node.end(); ++it) {
        const std::string& key = it.key();
        bool isKnown = expected != known.end() && *expected == key;
        if (isKnown)
            ++expected;
        else
            isKnown = std::find(known.begin(), known.end(), key) != known.end();
        if (!isKnown) {
            if (!unknown)
                unknown = Json::object();
            (*unknown)[key] = it.value();
        } else if (it->is_structured()) {
            std::string whose(record);
            if (int64_t id = jsonInt(node, "id"))
                whose += " " + std::to_string(id);
            throw NewerFormatError(
                "\"" + key + "\" of " + whose + " holds " + (it->is_object() ? "an object" : "a list"));
        }
    }
    return unknown ? std::make_shared<const Json>(std::move(*unknown)) : nullptr;
}

// One pass over the members, as unknownMembers makes, rather than a search
// of the record for each known name.
template <class Record>
Record recordFromJson(const Json& node)
{
    Record r;
    r.unknown_members = unknownMembers(node, kFieldNames<Record>, StoredRecord<Record>::name);
    if (node.is_object()) {
        constexpr const std::array<std::string_view, kFieldCount<Record>>& names = kFieldNames<Record>;
        size_t expected = 0;  // files this program wrote hold the members in the table's order
        for (auto it = node.begin(); it != node.end(); ++it) {
            const std::string& key = it.key();
            const size_t k = expected < names.size() && names[expected] == key
                ? expected
                : size_t(std::find(names.begin(), names.end(), key) - names.begin());
            if (k == names.size())
                continue;
            expected = k + 1;
            if (!it->is_null())
                kMemberReadings<Record>[k](&r, storedScalar(*it));
        }
    }
    StoredRecord<Record>::settle(r);
    return r;
}

// A member's value as the rules of model/record_fields.h put it, made in
// its place in the record's object.
struct JsonValue {
    Json& value;
    void integer(int64_t v) { value = v; }
    void amount(double v) { value = std::isfinite(v) ? v : 0.0; }  // always a finite float
    void boolean(bool v) { value = v; }
    void null() { value = nullptr; }
    void text(const std::string& v) { value = v; }
    void date(Date d) { value = dateToJson(d); }
};

// After the members this version writes, the ones it kept without knowing.
void addUnknown(Json& j, const JsonPtr& unknown)
{
    if (!unknown)
        return;
    for (auto it = unknown->begin(); it != unknown->end(); ++it)
        if (!j.contains(it.key()))
            j[it.key()] = it.value();
}

template <class Record>
Json recordToJson(const Record& r)
{
    Json j = Json::object();
    forEachField<Record>([&](const auto& field) {
        JsonValue out{j[std::string(field.name)]};
        field.rule.put(out, r);
    });
    addUnknown(j, r.unknown_members);
    return j;
}

}  // namespace

int64_t jsonInt(const Json& obj, std::string_view key)
{
    int64_t v = 0;
    const Json* m = member(obj, key);
    return m && intValue(*m, v) ? v : 0;
}

std::string jsonStr(const Json& obj, std::string_view key)
{
    const Json* m = member(obj, key);
    return m && m->is_string() ? m->get<std::string>() : std::string();
}

bool jsonBool(const Json& obj, std::string_view key)
{
    const Json* m = member(obj, key);
    if (!m)
        return false;
    if (m->is_boolean())
        return m->get<bool>();
    if (m->is_number_integer())  // signed or unsigned
        return m->is_number_unsigned() ? m->get<uint64_t>() != 0 : m->get<int64_t>() != 0;
    if (m->is_string()) {
        std::string s = asciiLower(m->get_ref<const std::string&>());
        return s == "1" || s == "on" || s == "yes" || s == "true";
    }
    return false;
}

double jsonFloat(const Json& obj, std::string_view key, double fallback)
{
    const Json* m = member(obj, key);
    if (!m)
        return fallback;
    double v;
    if (m->is_number_unsigned())
        v = double(m->get<uint64_t>());
    else if (m->is_number_integer())
        v = double(m->get<int64_t>());
    else if (m->is_number_float())
        v = m->get<double>();
    else if (!m->is_string())
        return fallback;
    else if (std::optional<double> parsed = parseFloatText(m->get_ref<const std::string&>()))
        v = *parsed;
    else
        return fallback;
    return std::isfinite(v) ? v : fallback;
}

std::optional<Date> jsonDate(const Json& obj, std::string_view key)
{
    const Json* m = member(obj, key);
    if (!m || !m->is_string())
        return std::nullopt;
    // Only years of four digits are written in a form that reads back as
    // the same date ("-025" would be saved as "-0025", which the reader
    // takes apart differently), so any other year is as unreadable as a
    // malformed date.
    std::optional<Date> d = tryParseIso(m->get_ref<const std::string&>());
    if (d && (d->year < 1 || d->year > 9999))
        return std::nullopt;
    return d;
}

Json dateToJson(Date d) { return Json(formatIso(d)); }
Json jsonStrOrNull(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }
Json jsonIdOrNull(int64_t id) { return id == 0 ? Json(nullptr) : Json(id); }

Account accountFromJson(const Json& node) { return recordFromJson<Account>(node); }
Category categoryFromJson(const Json& node) { return recordFromJson<Category>(node); }
CustomIcon iconFromJson(const Json& node) { return recordFromJson<CustomIcon>(node); }
Transaction transactionFromJson(const Json& node) { return recordFromJson<Transaction>(node); }
TransactionAdjustment adjustmentFromJson(const Json& node) { return recordFromJson<TransactionAdjustment>(node); }
RunningTotalAdjustment anchorFromJson(const Json& node) { return recordFromJson<RunningTotalAdjustment>(node); }
User userFromJson(const Json& node) { return recordFromJson<User>(node); }

BudgetPtr budgetFromJson(const Json& node)
{
    BudgetPtr b = newBudget();
    if (!node.is_object())
        return b;
    readList(node, "accounts", b->accounts, accountFromJson);
    readList(node, "categories", b->categories, categoryFromJson);
    readList(node, "icons", b->icons, iconFromJson);
    readList(node, "transactions", b->transactions, transactionFromJson);
    readList(node, "transaction_adjustments", b->transaction_adjustments, adjustmentFromJson);
    readList(node, "running_total_adjustments", b->running_total_adjustments, anchorFromJson);
    auto it = node.find("user");
    if (it != node.end() && it->is_object())
        b->user = userFromJson(*it);
    return b;
}

Json accountToJson(const Account& a) { return recordToJson(a); }
Json categoryToJson(const Category& c) { return recordToJson(c); }
Json iconToJson(const CustomIcon& i) { return recordToJson(i); }
Json transactionToJson(const Transaction& t) { return recordToJson(t); }
Json adjustmentToJson(const TransactionAdjustment& a) { return recordToJson(a); }
Json anchorToJson(const RunningTotalAdjustment& r) { return recordToJson(r); }
Json userToJson(const User& u) { return recordToJson(u); }

Json budgetToJson(const Budget& b)
{
    Json j = Json::object();
    j["accounts"] = writeList(b.accounts, accountToJson);
    j["categories"] = writeList(b.categories, categoryToJson);
    j["icons"] = writeList(b.icons, iconToJson);
    j["transactions"] = writeList(b.transactions, transactionToJson);
    j["transaction_adjustments"] = writeList(b.transaction_adjustments, adjustmentToJson);
    j["running_total_adjustments"] = writeList(b.running_total_adjustments, anchorToJson);
    j["user"] = userToJson(b.user);
    return j;
}

}  // namespace qm
