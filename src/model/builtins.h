#pragma once
// The records a new document is seeded with, and the colour and icon every
// category and transaction gets even when the user chose none.
#include "model/budget.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qm {

struct NamedColor {
    std::string_view name;
    std::string_view color;
};

struct NamedIcon {
    std::string_view name;
    std::string_view key;
};

inline constexpr std::array<NamedColor, 11> defaultCategories = {{
    {"Groceries", "#ad7b3d"},
    {"Transportation", "#4378ad"},
    {"Entertainment", "#686cb4"},
    {"Healthcare", "#368c74"},
    {"Shopping", "#a55d96"},
    {"Income", "#378450"},
    {"Utilities", "#2e828b"},
    {"Rent/Mortgage", "#ad6351"},
    {"Insurance", "#657b3d"},
    {"Subscriptions", "#8160a5"},
    {"Other", "#868d95"},
}};

inline constexpr std::array<std::string_view, 10> categoryPalette = {
    "#378450", "#ad6351", "#ad7b3d", "#4378ad", "#2e828b", "#8160a5", "#a55d96", "#368c74", "#657b3d", "#868d95"};

inline constexpr std::array<std::string_view, 7> defaultAccounts = {
    "Checking", "Savings", "Credit Card", "Cash", "Investment", "Emergency Fund", "Retirement"};

inline constexpr std::array<NamedIcon, 17> defaultIcons = {{{"Dining", "food"}, {"Groceries", "cart"},
    {"Shopping", "bag"}, {"Coffee", "coffee"}, {"Home", "home"}, {"Car", "car"}, {"Utilities", "bolt"},
    {"Phone", "phone"}, {"Subscription", "music"}, {"Travel", "plane"}, {"Health", "heart"}, {"Fitness", "fitness"},
    {"Education", "school"}, {"Gifts", "gift"}, {"Income", "wallet"}, {"Savings", "savings"}, {"Other", "tune"}}};

// The url of a built-in icon is this prefix followed by its key.
inline constexpr std::string_view builtinIconPrefix = "builtin:";
inline constexpr std::string_view fallbackIconKey = "tune";

// Fills whichever of the category, account and icon lists are empty. Ids come
// from nextId, one call for each new record, in the order categories,
// accounts, icons.
void addDefaultRecords(Budget& budget, const std::function<int64_t()>& nextId);
// The built-in colour of a category name (ASCII case ignored), else the
// palette entry fallbackIndex mod 10.
std::string defaultCategoryColor(std::string_view name, int64_t fallbackIndex);
// The colour to draw a category name with, also for names not in the budget.
std::string categoryNameColor(const Budget& budget, std::string_view name);
// The icon key suggested by keywords in a free text; "tune" without a match.
std::string guessIconKey(std::string_view text);
// The icon key (or image address) of a transaction.
std::string transactionIconKey(const Budget& budget, const Transaction& t);

}  // namespace qm
