#include "pages/import/import_commit.h"

#include <set>
#include <string>

#include "app/budget_io.h"
#include "model/transaction_edits.h"
#include "pages/import/import_wizard.h"

namespace qm {

namespace {

std::string counted(int32_t n, const char* one, const char* many) { return std::to_string(n) + (n == 1 ? one : many); }

}  // namespace

ImportPlan importRowsToTransactions(const std::vector<ImportRow>& rows)
{
    ImportPlan plan;
    std::set<int32_t> seriesTaken;
    for (const ImportRow& row : rows) {
        if (!row.selected) {
            ++plan.skipped;
            continue;
        }
        const ImportRowMore& m = more(row);
        if (m.makeRecurring && row.recurringGroup >= 0 && !seriesTaken.insert(row.recurringGroup).second) {
            ++plan.merged;
            continue;
        }
        Transaction t;
        t.start_date = row.date;
        t.amount = row.amount;
        t.description = row.description;
        t.category = m.category;
        t.account = m.account;
        t.icon_id = m.iconId;
        if (m.makeRecurring) {
            t.is_recurring = true;
            t.recurring_period = !m.recurringPeriod.empty() ? m.recurringPeriod
                : !m.suggestedPeriod.empty()                ? m.suggestedPeriod
                                                            : std::string("nth_1_months");
            t.pay_on_business_day = m.payOnBusinessDay;
            t.pay_early = m.payEarly;
            t.has_end_date = m.hasEndDate;
            t.end_date = m.endDate;
        }
        plan.toAdd.push_back(std::move(t));
    }
    return plan;
}

void commitImport(AppState& state)
{
    ImportWizardState& w = importWizardState(state);
    ImportPlan plan = importRowsToTransactions(w.importRows);
    int32_t added = 0;
    for (Transaction& t : plan.toAdd)
        if (addTransaction(*state.store, std::move(t)).ok)
            ++added;
    saveBudget(state);
    std::string summary = counted(added, " transaction", " transactions") + " imported";
    if (plan.merged > 0)
        summary +=
            " \u00b7 " + counted(plan.merged, " occurrence", " occurrences") + " merged into recurring transactions";
    if (plan.skipped > 0)
        summary += " \u00b7 " + std::to_string(plan.skipped) + " skipped";
    w.importSummary = summary;
    w.importStep = importComplete;
    requestAppRedraw(state);
}

}  // namespace qm
