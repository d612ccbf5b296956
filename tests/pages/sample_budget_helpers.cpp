#include "pages/sample_budget.h"

#include <stdexcept>

#include "app/budget_io.h"
#include "model/occurrences.h"
#include "model/transaction_edits.h"

namespace qm::testing {

namespace {

int64_t accountNamed(const Budget& b, std::string_view name)
{
    std::optional<size_t> at = findAccountByName(b, name);
    if (!at)
        throw std::runtime_error("no account " + std::string(name));
    return b.accounts[*at].id;
}

int64_t add(AppState& state, Transaction t)
{
    EditResult r = addTransaction(*state.store, std::move(t));
    if (!r.ok)
        throw std::runtime_error(r.error);
    return r.id;
}

Transaction plan(const char* description, double amount, Date start, const char* rule = "")
{
    Transaction t;
    t.description = description;
    t.amount = amount;
    t.start_date = start;
    t.account = "Checking";
    t.is_recurring = *rule != 0;
    t.recurring_period = rule;
    return t;
}

}  // namespace

SampleBudget addSampleBudget(AppState& state)
{
    SampleBudget s;
    const Budget& b = *state.store->budget;
    s.checking = accountNamed(b, "Checking");
    s.savings = accountNamed(b, "Savings");
    s.coffee = add(state, plan("Coffee", -4.5, {2025, 3, 12}));
    s.rent = add(state, plan("Rent", -1200, {2025, 1, 1}, "dom_1_every"));
    s.lunch = add(state, plan("Lunch", -10, {2025, 3, 1}, "nth_1_days"));
    Transaction move = plan("To savings", -100, {2025, 3, 14});
    move.transfer_to_account = "Savings";
    s.transfer = add(state, move);
    saveBudget(state);
    state.toasts.clear();
    return s;
}

std::vector<Shown> occurrencesOf(const Budget& b, int64_t transactionId, Date from, Date to)
{
    std::vector<Shown> out;
    std::optional<size_t> at = findTransaction(b, transactionId);
    if (!at)
        return out;
    for (const Occurrence& o : occurrencesInRange(b, b.transactions[*at], from, to))
        out.push_back({o.date, o.is_paid, o.adjustment_id});
    return out;
}

std::vector<Shown> occurrencesOn(const Budget& b, int64_t transactionId, Date day)
{
    return occurrencesOf(b, transactionId, day, day);
}

}  // namespace qm::testing
