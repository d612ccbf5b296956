#pragma once
// The budget document: its records and the lookups by id and by name. Records
// are plain values; the document is shared by reference. Their JSON form is in
// model/budget_json.h.
#include "core/json_fwd.h"
#include "core/stable_list.h"
#include "model/dates.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct Account {
    int64_t id = 0;
    std::string name;
    std::string account_type;  // empty when not set
    std::string color;         // #rrggbb or empty
    int32_t display_order = -1;
    std::string mask;                   // kept and written back unchanged
    JsonPtr unknown_members = nullptr;  // what a newer version stored here, written back as it came
};

struct Category {
    int64_t id = 0;
    std::string name;
    std::string color;  // #rrggbb or empty (then a default colour is drawn)
    bool hidden = false;
    int64_t icon_id = 0;
    JsonPtr unknown_members = nullptr;  // what a newer version stored here, written back as it came
};

struct CustomIcon {
    int64_t id = 0;
    std::string name;
    std::string url;  // an image address or "builtin:" + icon key
    bool is_default = false;
    JsonPtr unknown_members = nullptr;  // what a newer version stored here, written back as it came
};

struct Transaction {
    int64_t id = 0;
    Date start_date;
    bool has_end_date = false;
    Date end_date;
    double amount = 0;
    std::string description;
    std::string category;             // the category's name
    std::string account;              // the account's name
    std::string transfer_to_account;  // the destination account's name; empty = not a transfer
    bool is_recurring = false;
    std::string recurring_period;  // rule text; empty for a one-off
    bool pay_on_business_day = false;
    bool pay_early = false;
    int64_t icon_id = 0;
    bool is_adjustment = false;
    bool is_demo = false;
    JsonPtr unknown_members = nullptr;  // what a newer version stored here, written back as it came
};

// A change to one occurrence of a transaction.
struct TransactionAdjustment {
    int64_t id = 0;
    int64_t transaction_id = 0;
    Date original_date;  // which occurrence: its series date once weekends are shifted
    Date new_date;
    bool has_amount = false;
    double amount = 0;
    bool is_paid = false;
    bool is_deleted = false;
    bool is_demo = false;
    JsonPtr unknown_members = nullptr;  // what a newer version stored here, written back as it came
};

// A balance anchor: the known end-of-day balance of an account on a date.
struct RunningTotalAdjustment {
    int64_t id = 0;
    int64_t account_id = 0;  // 0 = the all-accounts total
    Date date;
    double amount = 0;
    bool is_demo = false;
    JsonPtr unknown_members = nullptr;  // what a newer version stored here, written back as it came
};

struct User {
    int64_t selected_account_id = 0;
    int64_t default_account_id = 0;
    std::string theme_preference = "system";  // "light", "dark" or "system"
    bool has_completed_tour = false;
    std::string first_name;
    std::string last_name;
    std::string email;
    std::string calendar_token;
    bool two_factor_enabled = false;
    std::string pending_email;
    bool is_verified = false;
    std::string avatar;
    std::string gravatar_hash;
    JsonPtr unknown_members = nullptr;  // what a newer version stored here, written back as it came
};

// A large budget's two long lists, held in huge pages where the kernel has
// them: views read them scattered, and a save under way reads them frozen
// (StableList::freeze) while edits go on. Records leave them from anywhere (a removed series takes its adjustments,
// spread over the whole list, with it): the records stay where they are and only their order closes up.
using TransactionList = StableList<Transaction>;
using AdjustmentList = StableList<TransactionAdjustment>;

struct Budget {
    std::vector<Account> accounts;
    std::vector<Category> categories;
    std::vector<CustomIcon> icons;
    TransactionList transactions;
    AdjustmentList transaction_adjustments;
    std::vector<RunningTotalAdjustment> running_total_adjustments;
    User user;
};

using BudgetPtr = std::shared_ptr<Budget>;

BudgetPtr newBudget();

// Indexes into the budget's lists. Id 0 names no account and no icon.
std::optional<size_t> findTransaction(const Budget& b, int64_t id);
std::optional<size_t> findCategory(const Budget& b, int64_t id);
std::optional<size_t> findAccount(const Budget& b, int64_t id);
std::optional<size_t> findAdjustment(const Budget& b, int64_t id);
std::optional<size_t> findIcon(const Budget& b, int64_t id);
std::optional<size_t> findCategoryByName(const Budget& b, std::string_view name);
std::optional<size_t> findAccountByName(const Budget& b, std::string_view name);

bool isTransfer(const Transaction& t);
bool isHexColor(std::string_view text);

}  // namespace qm
