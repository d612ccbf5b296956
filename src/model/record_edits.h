#pragma once
// The only ways the managers and dialogs change categories, accounts,
// balance anchors and the user's preferences. Transactions name categories
// and accounts, so a rename or delete rewrites those names too.
#include "model/edits.h"
#include "model/store.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace qm {

inline constexpr std::array<std::string_view, 7> accountTypeKeys = {
    "checking", "savings", "credit", "loan", "cash", "investment", "other"};

EditResult addCategory(LocalStore& store, std::string_view name, std::string_view color, int64_t iconId);
EditResult updateCategory(
    LocalStore& store, int64_t id, std::string_view name, std::string_view color, int64_t iconId, bool hidden);
bool deleteCategory(LocalStore& store, int64_t id);

EditResult addAccount(LocalStore& store, std::string_view name, std::string_view type);
// An empty name keeps the current one; an empty type is stored empty.
EditResult updateAccount(LocalStore& store, int64_t id, std::string_view name, std::string_view type);
// The account's transactions are kept, without its name.
bool deleteAccount(LocalStore& store, int64_t id);
// An id that names no account stores 0.
void setSelectedAccount(LocalStore& store, int64_t id);
void setDefaultAccount(LocalStore& store, int64_t id);

// Pins what an account holds (accountId 0: all of them together) when a day
// closes.
void setAnchor(LocalStore& store, Date date, double amount, int64_t accountId);
bool removeAnchor(LocalStore& store, Date date, int64_t accountId);
// Anchors in cents for each existing account of the pairs (id, amount).
void setAccountBalances(LocalStore& store, const std::vector<std::pair<int64_t, double>>& balances, Date date);

// Only "light", "dark" and "system"; anything else is ignored.
void setThemePreference(LocalStore& store, std::string_view text);
void setTourCompleted(LocalStore& store, bool done);
// Journals the user record as it stands.
void savePrefs(LocalStore& store);

}  // namespace qm
