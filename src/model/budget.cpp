#include "model/budget.h"

namespace qm {

namespace {

template <typename List>
std::optional<size_t> findById(const List& list, int64_t id)
{
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].id == id)
            return i;
    return std::nullopt;
}

template <typename T>
std::optional<size_t> findByName(const std::vector<T>& list, std::string_view name)
{
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].name == name)
            return i;
    return std::nullopt;
}

}  // namespace

BudgetPtr newBudget() { return std::make_shared<Budget>(); }

std::optional<size_t> findTransaction(const Budget& b, int64_t id) { return findById(b.transactions, id); }
std::optional<size_t> findCategory(const Budget& b, int64_t id) { return findById(b.categories, id); }
std::optional<size_t> findAdjustment(const Budget& b, int64_t id) { return findById(b.transaction_adjustments, id); }
std::optional<size_t> findAccount(const Budget& b, int64_t id)
{
    return id == 0 ? std::nullopt : findById(b.accounts, id);
}
std::optional<size_t> findIcon(const Budget& b, int64_t id) { return id == 0 ? std::nullopt : findById(b.icons, id); }
std::optional<size_t> findCategoryByName(const Budget& b, std::string_view name)
{
    return findByName(b.categories, name);
}
std::optional<size_t> findAccountByName(const Budget& b, std::string_view name) { return findByName(b.accounts, name); }

bool isTransfer(const Transaction& t) { return !t.transfer_to_account.empty(); }

bool isHexColor(std::string_view text)
{
    if (text.size() != 7 || text[0] != '#')
        return false;
    for (size_t i = 1; i < 7; ++i) {
        char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

}  // namespace qm
