#include "model/budget_json.h"

#include "core/ascii.h"
#include "model/money.h"
#include "model/store_text_internal.h"

#include <algorithm>
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

// Amounts are always written as finite floats.
Json amountToJson(double v) { return Json(std::isfinite(v) ? v : 0.0); }

Json dateOrNull(bool has, Date d) { return has ? dateToJson(d) : Json(nullptr); }

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
JsonPtr unknownMembers(const Json& node, const Keys& known, const char* record)
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
            std::string whose = record;
            if (int64_t id = jsonInt(node, "id"))
                whose += " " + std::to_string(id);
            throw NewerFormatError(
                "\"" + key + "\" of " + whose + " holds " + (it->is_object() ? "an object" : "a list"));
        }
    }
    return unknown ? std::make_shared<const Json>(std::move(*unknown)) : nullptr;
}

// After the members this version writes, the ones it kept without knowing.
void addUnknown(Json& j, const JsonPtr& unknown)
{
    if (!unknown)
        return;
    for (auto it = unknown->begin(); it != unknown->end(); ++it)
        if (!j.contains(it.key()))
            j[it.key()] = it.value();
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

Account accountFromJson(const Json& node)
{
    Account a;
    a.unknown_members = unknownMembers(node, kAccountKeys, "account");
    a.id = jsonInt(node, "id");
    a.name = jsonStr(node, "name");
    a.account_type = jsonStr(node, "account_type");
    a.color = jsonStr(node, "color");
    a.mask = jsonStr(node, "mask");
    // An order outside int32 cannot be a list position: it reads as not set.
    int64_t order;
    const Json* m = member(node, "display_order");
    a.display_order = m && intValue(*m, order) && order >= std::numeric_limits<int32_t>::min()
            && order <= std::numeric_limits<int32_t>::max()
        ? int32_t(order)
        : -1;
    return a;
}

Category categoryFromJson(const Json& node)
{
    Category c;
    c.unknown_members = unknownMembers(node, kCategoryKeys, "category");
    c.id = jsonInt(node, "id");
    c.name = jsonStr(node, "name");
    c.color = jsonStr(node, "color");
    c.hidden = jsonBool(node, "hidden");
    c.icon_id = jsonInt(node, "icon_id");
    return c;
}

CustomIcon iconFromJson(const Json& node)
{
    CustomIcon i;
    i.unknown_members = unknownMembers(node, kIconKeys, "icon");
    i.id = jsonInt(node, "id");
    i.name = jsonStr(node, "name");
    i.url = jsonStr(node, "url");
    i.is_default = jsonBool(node, "is_default");
    return i;
}

Transaction transactionFromJson(const Json& node)
{
    Transaction t;
    t.unknown_members = unknownMembers(node, kTransactionKeys, "transaction");
    t.id = jsonInt(node, "id");
    t.amount = jsonFloat(node, "amount");
    t.description = jsonStr(node, "description");
    t.category = jsonStr(node, "category");
    t.account = jsonStr(node, "account");
    t.transfer_to_account = jsonStr(node, "transfer_to_account");
    t.is_recurring = jsonBool(node, "is_recurring");
    t.recurring_period = jsonStr(node, "recurring_period");
    t.pay_on_business_day = jsonBool(node, "pay_on_business_day");
    t.pay_early = jsonBool(node, "pay_early");
    t.icon_id = jsonInt(node, "icon_id");
    t.is_adjustment = jsonBool(node, "is_adjustment");
    t.is_demo = jsonBool(node, "is_demo");
    t.start_date = jsonDate(node, "start_date").value_or(Date{});
    std::optional<Date> end = jsonDate(node, "end_date");
    t.has_end_date = end.has_value();
    t.end_date = end.value_or(Date{});
    if (t.recurring_period.empty())
        t.is_recurring = false;
    return t;
}

TransactionAdjustment adjustmentFromJson(const Json& node)
{
    TransactionAdjustment a;
    a.unknown_members = unknownMembers(node, kAdjustmentKeys, "adjustment");
    a.id = jsonInt(node, "id");
    a.transaction_id = jsonInt(node, "transaction_id");
    a.is_paid = jsonBool(node, "is_paid");
    a.is_deleted = jsonBool(node, "is_deleted");
    a.is_demo = jsonBool(node, "is_demo");
    a.original_date = jsonDate(node, "original_date").value_or(Date{});
    a.new_date = jsonDate(node, "new_date").value_or(a.original_date);
    a.has_amount = member(node, "amount") != nullptr;
    if (a.has_amount)
        a.amount = jsonFloat(node, "amount");
    return a;
}

RunningTotalAdjustment anchorFromJson(const Json& node)
{
    RunningTotalAdjustment r;
    r.unknown_members = unknownMembers(node, kAnchorKeys, "anchor");
    r.id = jsonInt(node, "id");
    r.account_id = jsonInt(node, "account_id");
    r.amount = jsonFloat(node, "amount");
    r.is_demo = jsonBool(node, "is_demo");
    r.date = jsonDate(node, "date").value_or(Date{});
    return r;
}

User userFromJson(const Json& node)
{
    User u;
    u.unknown_members = unknownMembers(node, kUserKeys, "the preferences");
    u.selected_account_id = jsonInt(node, "selected_account_id");
    u.default_account_id = jsonInt(node, "default_account_id");
    u.theme_preference = jsonStr(node, "theme_preference");
    u.has_completed_tour = jsonBool(node, "has_completed_tour");
    u.first_name = jsonStr(node, "first_name");
    u.last_name = jsonStr(node, "last_name");
    u.email = jsonStr(node, "email");
    u.calendar_token = jsonStr(node, "calendar_token");
    u.two_factor_enabled = jsonBool(node, "two_factor_enabled");
    u.pending_email = jsonStr(node, "pending_email");
    u.is_verified = jsonBool(node, "is_verified");
    u.avatar = jsonStr(node, "avatar");
    u.gravatar_hash = jsonStr(node, "gravatar_hash");
    if (u.theme_preference != "light" && u.theme_preference != "dark")
        u.theme_preference = "system";
    return u;
}

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

Json accountToJson(const Account& a)
{
    Json j = Json::object();
    j["id"] = a.id;
    j["name"] = a.name;
    j["account_type"] = jsonStrOrNull(a.account_type);
    j["color"] = jsonStrOrNull(a.color);
    j["display_order"] = a.display_order < 0 ? Json(nullptr) : Json(a.display_order);
    j["mask"] = jsonStrOrNull(a.mask);
    addUnknown(j, a.unknown_members);
    return j;
}

Json categoryToJson(const Category& c)
{
    Json j = Json::object();
    j["id"] = c.id;
    j["name"] = c.name;
    j["color"] = jsonStrOrNull(c.color);
    j["hidden"] = c.hidden;
    j["icon_id"] = jsonIdOrNull(c.icon_id);
    addUnknown(j, c.unknown_members);
    return j;
}

Json iconToJson(const CustomIcon& i)
{
    Json j = Json::object();
    j["id"] = i.id;
    j["name"] = i.name;
    j["url"] = i.url;
    j["is_default"] = i.is_default;
    addUnknown(j, i.unknown_members);
    return j;
}

Json transactionToJson(const Transaction& t)
{
    Json j = Json::object();
    j["id"] = t.id;
    j["start_date"] = dateToJson(t.start_date);
    j["end_date"] = dateOrNull(t.has_end_date, t.end_date);
    j["amount"] = amountToJson(t.amount);
    j["description"] = t.description;
    j["category"] = jsonStrOrNull(t.category);
    j["account"] = jsonStrOrNull(t.account);
    j["transfer_to_account"] = jsonStrOrNull(t.transfer_to_account);
    j["is_recurring"] = t.is_recurring;
    j["recurring_period"] = jsonStrOrNull(t.recurring_period);
    j["pay_on_business_day"] = t.pay_on_business_day;
    j["pay_early"] = t.pay_early;
    j["icon_id"] = jsonIdOrNull(t.icon_id);
    j["is_adjustment"] = t.is_adjustment;
    j["is_demo"] = t.is_demo;
    addUnknown(j, t.unknown_members);
    return j;
}

Json adjustmentToJson(const TransactionAdjustment& a)
{
    Json j = Json::object();
    j["id"] = a.id;
    j["transaction_id"] = a.transaction_id;
    j["original_date"] = dateToJson(a.original_date);
    j["new_date"] = dateToJson(a.new_date);
    j["amount"] = a.has_amount ? amountToJson(a.amount) : Json(nullptr);
    j["is_paid"] = a.is_paid;
    j["is_deleted"] = a.is_deleted;
    j["is_demo"] = a.is_demo;
    addUnknown(j, a.unknown_members);
    return j;
}

Json anchorToJson(const RunningTotalAdjustment& r)
{
    Json j = Json::object();
    j["id"] = r.id;
    j["account_id"] = jsonIdOrNull(r.account_id);
    j["date"] = dateToJson(r.date);
    j["amount"] = amountToJson(r.amount);
    j["is_demo"] = r.is_demo;
    addUnknown(j, r.unknown_members);
    return j;
}

Json userToJson(const User& u)
{
    Json j = Json::object();
    j["selected_account_id"] = jsonIdOrNull(u.selected_account_id);
    j["default_account_id"] = jsonIdOrNull(u.default_account_id);
    j["theme_preference"] = u.theme_preference;
    j["has_completed_tour"] = u.has_completed_tour;
    j["first_name"] = jsonStrOrNull(u.first_name);
    j["last_name"] = jsonStrOrNull(u.last_name);
    j["email"] = u.email;
    j["calendar_token"] = jsonStrOrNull(u.calendar_token);
    j["two_factor_enabled"] = u.two_factor_enabled;
    j["pending_email"] = jsonStrOrNull(u.pending_email);
    j["is_verified"] = u.is_verified;
    j["avatar"] = jsonStrOrNull(u.avatar);
    j["gravatar_hash"] = jsonStrOrNull(u.gravatar_hash);
    addUnknown(j, u.unknown_members);
    return j;
}

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
