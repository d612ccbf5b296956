#include "model/record_edits.h"

#include "core/ascii.h"
#include "model/budget_json.h"
#include "model/money.h"

#include <algorithm>
#include <limits>

namespace qm {

namespace {

constexpr size_t maxNameBytes = 50;
constexpr const char* badColor = "Invalid color (expected #RRGGBB)";
constexpr const char* duplicateCategory = "You already have a category called ";
constexpr const char* duplicateAccount = "You already have an account with that name";
constexpr const char* longAccountName = "Account name is too long";

bool validColor(std::string_view color) { return color.empty() || isHexColor(color); }

// Gives every transaction whose field (picked by member) holds from the
// name to, journaling each changed transaction once.
void renameInTransactions(LocalStore& store, std::string_view from, std::string_view to,
    std::initializer_list<std::string Transaction::*> members)
{
    if (from == to)
        return;
    // Only the records that change are reached through the mutable list: a
    // save under way keeps a copy of each one reached so (StableList::freeze).
    const TransactionList& read = store.budget->transactions;
    for (size_t i = 0; i < read.size(); ++i) {
        bool changed = false;
        for (auto member : members) {
            if (read[i].*member == from) {
                store.budget->transactions[i].*member = to;
                changed = true;
            }
        }
        if (changed)
            appendOp(store, opUpdate, entTransaction, read[i].id, transactionToJson(read[i]));
    }
}

bool isAccountType(std::string_view text)
{
    return std::find(accountTypeKeys.begin(), accountTypeKeys.end(), text) != accountTypeKeys.end();
}

}  // namespace

EditResult addCategory(LocalStore& store, std::string_view name, std::string_view color, int64_t iconId)
{
    Budget& b = *store.budget;
    std::string trimmed(trimAsciiBlanks(name));
    if (trimmed.empty())
        return editFailed("A category needs a name");
    if (trimmed.size() > maxNameBytes)
        return editFailed("A category name is at most 50 characters");
    if (findCategoryByName(b, trimmed).has_value())
        return editFailed(duplicateCategory + trimmed);
    if (!validColor(color))
        return editFailed(badColor);
    Category c;
    c.id = nextLocalId(store);
    c.name = trimmed;
    c.color = color;
    c.icon_id = iconId;
    b.categories.push_back(c);
    appendOp(store, opCreate, entCategory, c.id, categoryToJson(c));
    return {true, "", c.id};
}

EditResult updateCategory(
    LocalStore& store, int64_t id, std::string_view name, std::string_view color, int64_t iconId, bool hidden)
{
    Budget& b = *store.budget;
    std::optional<size_t> index = findCategory(b, id);
    if (!index)
        return editFailed("No such category");
    std::string trimmed(trimAsciiBlanks(name));
    if (trimmed.empty())
        return editFailed("A category needs a name");
    if (!validColor(color))
        return editFailed(badColor);
    std::string current = b.categories[*index].name;
    if (trimmed != current) {
        if (findCategoryByName(b, trimmed).has_value())
            return editFailed(duplicateCategory + trimmed);
        renameInTransactions(store, current, trimmed, {&Transaction::category});
    }
    Category& c = b.categories[*index];
    c.name = trimmed;
    c.color = color;
    c.icon_id = iconId;
    c.hidden = hidden;
    appendOp(store, opUpdate, entCategory, id, categoryToJson(c));
    return {true, "", id};
}

bool deleteCategory(LocalStore& store, int64_t id)
{
    Budget& b = *store.budget;
    std::optional<size_t> index = findCategory(b, id);
    if (!index)
        return false;
    renameInTransactions(store, b.categories[*index].name, "", {&Transaction::category});
    b.categories.erase(b.categories.begin() + std::ptrdiff_t(*index));
    appendOp(store, opDelete, entCategory, id);
    return true;
}

EditResult addAccount(LocalStore& store, std::string_view name, std::string_view type)
{
    Budget& b = *store.budget;
    std::string trimmed(trimAsciiBlanks(name));
    if (trimmed.empty())
        return editFailed("An account needs a name");
    if (trimmed.size() > maxNameBytes)
        return editFailed(longAccountName);
    if (findAccountByName(b, trimmed).has_value())
        return editFailed(duplicateAccount);
    Account a;
    a.id = nextLocalId(store);
    a.name = trimmed;
    a.account_type = type;
    // A list whose orders are all below 0 still starts the new one at 0.
    a.display_order = 0;
    for (const Account& other : b.accounts)
        if (other.display_order < std::numeric_limits<int32_t>::max())
            a.display_order = std::max(a.display_order, other.display_order + 1);
    b.accounts.push_back(a);
    appendOp(store, opCreate, entAccount, a.id, accountToJson(a));
    return {true, "", a.id};
}

EditResult updateAccount(LocalStore& store, int64_t id, std::string_view name, std::string_view type)
{
    Budget& b = *store.budget;
    std::optional<size_t> index = findAccount(b, id);
    if (!index)
        return editFailed("No such account");
    if (!type.empty() && !isAccountType(type))
        return editFailed("Unknown account type");
    std::string trimmed(trimAsciiBlanks(name));
    if (trimmed.size() > maxNameBytes)
        return editFailed(longAccountName);
    std::string current = b.accounts[*index].name;
    if (!trimmed.empty() && trimmed != current) {
        if (findAccountByName(b, trimmed).has_value())
            return editFailed(duplicateAccount);
        renameInTransactions(store, current, trimmed, {&Transaction::account, &Transaction::transfer_to_account});
        b.accounts[*index].name = trimmed;
    }
    Account& a = b.accounts[*index];
    a.account_type = type;
    appendOp(store, opUpdate, entAccount, id, accountToJson(a));
    return {true, "", id};
}

bool deleteAccount(LocalStore& store, int64_t id)
{
    Budget& b = *store.budget;
    std::optional<size_t> index = findAccount(b, id);
    if (!index)
        return false;
    renameInTransactions(
        store, b.accounts[*index].name, "", {&Transaction::account, &Transaction::transfer_to_account});
    removeRecords(store, b.running_total_adjustments, entAnchor,
        [&](const RunningTotalAdjustment& r) { return r.account_id == id; });
    User& u = b.user;
    if (u.selected_account_id == id)
        u.selected_account_id = 0;
    if (u.default_account_id == id)
        u.default_account_id = 0;
    b.accounts.erase(b.accounts.begin() + std::ptrdiff_t(*index));
    appendOp(store, opDelete, entAccount, id);
    savePrefs(store);
    return true;
}

void setSelectedAccount(LocalStore& store, int64_t id)
{
    store.budget->user.selected_account_id = findAccount(*store.budget, id).has_value() ? id : 0;
    savePrefs(store);
}

void setDefaultAccount(LocalStore& store, int64_t id)
{
    store.budget->user.default_account_id = findAccount(*store.budget, id).has_value() ? id : 0;
    savePrefs(store);
}

void setAnchor(LocalStore& store, Date date, double amount, int64_t accountId)
{
    auto& anchors = store.budget->running_total_adjustments;
    for (RunningTotalAdjustment& r : anchors) {
        if (r.account_id == accountId && sameDate(r.date, date)) {
            r.amount = amount;
            // The user's own balance: removing demo data must not take it.
            r.is_demo = false;
            appendOp(store, opUpdate, entAnchor, r.id, anchorToJson(r));
            return;
        }
    }
    RunningTotalAdjustment r;
    r.id = nextLocalId(store);
    r.account_id = accountId;
    r.date = date;
    r.amount = amount;
    anchors.push_back(r);
    appendOp(store, opCreate, entAnchor, r.id, anchorToJson(r));
}

bool removeAnchor(LocalStore& store, Date date, int64_t accountId)
{
    return removeRecords(store, store.budget->running_total_adjustments, entAnchor,
               [&](const RunningTotalAdjustment& r) { return r.account_id == accountId && sameDate(r.date, date); })
        > 0;
}

void setAccountBalances(LocalStore& store, const std::vector<std::pair<int64_t, double>>& balances, Date date)
{
    for (const auto& [id, amount] : balances)
        if (id != 0 && findAccount(*store.budget, id).has_value())
            setAnchor(store, date, roundCents(amount), id);
}

void setThemePreference(LocalStore& store, std::string_view text)
{
    if (text != "light" && text != "dark" && text != "system")
        return;
    store.budget->user.theme_preference = text;
    savePrefs(store);
}

void setTourCompleted(LocalStore& store, bool done)
{
    store.budget->user.has_completed_tour = done;
    savePrefs(store);
}

void savePrefs(LocalStore& store) { appendOp(store, opUpdate, entPrefs, 0, userToJson(store.budget->user)); }

}  // namespace qm
