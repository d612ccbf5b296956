#include "model/builtins.h"

#include "core/ascii.h"

#include <initializer_list>

namespace qm {

namespace {

struct KeywordGroup {
    std::initializer_list<std::string_view> keywords;
    std::string_view key;
};

// Tested in order, so the more specific groups come first ("grocer" before
// "food", the utilities' "phone bill" before "phone").
const KeywordGroup iconKeywords[] = {
    {{"grocer"}, "cart"},
    {{"food", "dining", "restaurant", "lunch", "dinner", "coffee"}, "food"},
    {{"rent", "mortgage", "hous", "home"}, "home"},
    {{"income", "salary", "pay", "wage", "freelance"}, "wallet"},
    {{"util", "electric", "water", "power", "gas bill", "internet", "cellular", "phone bill"}, "bolt"},
    {{"subscript", "stream", "netflix", "spotify", "music"}, "music"},
    {{"transport", "fuel", "car", "auto", "uber", "transit"}, "car"},
    {{"health", "medical", "pharma", "doctor", "dental"}, "heart"},
    {{"fitness", "gym", "sport"}, "fitness"},
    {{"saving", "invest", "retirement", "emergency"}, "savings"},
    {{"travel", "flight", "vacation", "trip"}, "plane"},
    {{"shop", "cloth", "amazon"}, "bag"},
    {{"school", "educat", "tuition", "course"}, "school"},
    {{"gift", "donat", "charit"}, "gift"},
    {{"phone", "mobile", "cell"}, "phone"},
};

}  // namespace

void addDefaultRecords(Budget& budget, const std::function<int64_t()>& nextId)
{
    if (budget.categories.empty()) {
        for (const auto& row : defaultCategories) {
            Category c;
            c.id = nextId();
            c.name = row.name;
            c.color = row.color;
            budget.categories.push_back(std::move(c));
        }
    }
    if (budget.accounts.empty()) {
        for (size_t i = 0; i < defaultAccounts.size(); ++i) {
            Account a;
            a.id = nextId();
            a.name = defaultAccounts[i];
            a.display_order = int32_t(i);
            budget.accounts.push_back(std::move(a));
        }
    }
    if (budget.icons.empty()) {
        for (const auto& row : defaultIcons) {
            CustomIcon icon;
            icon.id = nextId();
            icon.name = row.name;
            icon.url = std::string(builtinIconPrefix) + std::string(row.key);
            icon.is_default = true;
            budget.icons.push_back(std::move(icon));
        }
    }
}

std::string defaultCategoryColor(std::string_view name, int64_t fallbackIndex)
{
    std::string lower = asciiLower(name);
    for (const auto& row : defaultCategories)
        if (asciiLower(row.name) == lower)
            return std::string(row.color);
    int64_t i = fallbackIndex % 10;
    return std::string(categoryPalette[size_t(i < 0 ? i + 10 : i)]);
}

std::string categoryNameColor(const Budget& budget, std::string_view name)
{
    std::optional<size_t> i = findCategoryByName(budget, name);
    if (i.has_value()) {
        const Category& c = budget.categories[*i];
        return c.color.empty() ? defaultCategoryColor(name, c.id) : c.color;
    }
    // A stable colour for a name that is no category, so it looks the same
    // everywhere it appears.
    uint32_t h = 0;
    for (unsigned char b : name)
        h = h * 31 + b;
    return std::string(categoryPalette[h % 10]);
}

std::string guessIconKey(std::string_view text)
{
    std::string lower = asciiLower(text);
    for (const auto& group : iconKeywords)
        for (std::string_view keyword : group.keywords)
            if (lower.find(keyword) != std::string::npos)
                return std::string(group.key);
    return std::string(fallbackIconKey);
}

std::string transactionIconKey(const Budget& budget, const Transaction& t)
{
    std::optional<size_t> i = findIcon(budget, t.icon_id);
    if (!i)
        return guessIconKey(t.category);
    const std::string& url = budget.icons[*i].url;
    if (url.compare(0, builtinIconPrefix.size(), builtinIconPrefix) == 0)
        return url.substr(builtinIconPrefix.size());
    return url;
}

}  // namespace qm
