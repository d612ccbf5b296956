// After a sync renames local ids, what the pages hold names the same
// records: each entity's mapping renames exactly its own ids.
#include <gtest/gtest.h>

#include "model/store.h"
#include "model/store_sync.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/editing/editing.h"
#include "pages/editing/txform.h"
#include "pages/page_harness.h"
#include "pages/remap_ids.h"
#include "pages/sample_budget.h"
#include "pages/search/search_page.h"

namespace qm {
namespace {

using testing::PageHarness;

// Every id the pages keep, as (entity, value) in a fixed order.
std::vector<std::pair<Entity, int64_t>> heldIds(AppState& a)
{
    CalendarPageState& cal = calendarState(a);
    EditDialogsState& d = editDialogs(a);
    TxFormState& f = txFormState(a);
    std::vector<std::pair<Entity, int64_t>> out;
    auto ref = [&](const OccurrenceRef& r) {
        out.push_back({entTransaction, r.transactionId});
        out.push_back({entAdjustment, r.adjustmentId});
    };
    ref(a.selectedOccurrence);
    ref(cal.menuTarget);
    ref(dragState(a).item);
    out.push_back({entTransaction, cal.clipboard.transaction.id});
    out.push_back({entAdjustment, cal.clipboard.adjustmentId});
    out.push_back({entTransaction, f.editedId});
    out.push_back({entAdjustment, f.occurrenceAdjustmentId});
    out.push_back({entAccount, d.balance.accountId});
    ref(d.adjust.occurrence);
    ref(d.move.occurrence);
    ref(d.recurringDelete.occurrence);
    out.push_back({entCategory, d.categories.selectedId});
    out.push_back({entAccount, d.accounts.selectedId});
    for (const IdLabel& row : d.accounts.balanceRows)
        out.push_back({entAccount, row.id});
    out.push_back({entAccount, searchState(a).accountId});
    return out;
}

TEST(RemapPageIds, EachEntityRenamesItsOwnIds)
{
    for (Entity entity : {entTransaction, entAdjustment, entAnchor, entAccount, entCategory}) {
        SCOPED_TRACE(entityName(entity));
        PageHarness h;
        const OccurrenceRef local{-3, -3, {2025, 3, 12}, true};
        h->selectedOccurrence = local;
        calendarState(*h).menuTarget = local;
        dragState(*h).item = local;
        calendarState(*h).clipboard.transaction.id = -3;
        calendarState(*h).clipboard.adjustmentId = -3;
        txFormState(*h).editedId = -3;
        txFormState(*h).occurrenceAdjustmentId = -3;
        EditDialogsState& d = editDialogs(*h);
        d.balance.accountId = -3;
        d.adjust.occurrence = d.move.occurrence = d.recurringDelete.occurrence = local;
        d.categories.selectedId = -3;
        d.accounts.selectedId = -3;
        d.accounts.balanceRows = {{-3, "1"}, {-4, "2"}};
        searchState(*h).accountId = -3;

        remapPageIds(*h, entity, {{-4, 900}, {-3, 812}});
        for (const auto& [of, id] : heldIds(*h)) {
            if (of != entity)
                EXPECT_TRUE(id == -3 || id == -4) << entityName(of);
            else
                EXPECT_TRUE(id == 812 || id == 900) << entityName(of);
        }
    }
}

// The sync renames the budget and then the pages; the actions that follow
// act on the renamed records.
TEST(RemapPageIds, ActionsAfterARenameReachTheSameRecords)
{
    PageHarness h;
    testing::SampleBudget s = testing::addSampleBudget(*h);
    moveOccurrence(*h, {s.lunch, 0, {2025, 3, 12}, true}, {2025, 3, 20});
    OccurrenceRef moved = h->selectedOccurrence;
    ASSERT_LT(moved.adjustmentId, 0);
    cutOccurrence(*h, moved);
    std::optional<LedgerEntry> e = findSelectedOccurrence(*h, moved);
    ASSERT_TRUE(e);
    openEditTransaction(*h, *e);
    editDialogs(*h).accounts.selectedId = s.savings;
    searchState(*h).accountId = s.savings;

    const std::vector<std::pair<Entity, std::vector<IdPair>>> sync = {{entTransaction, {{s.lunch, 812}}},
        {entAdjustment, {{moved.adjustmentId, 813}}}, {entAccount, {{s.savings, 814}}}};
    for (const auto& [entity, pairs] : sync) {
        remapDataIds(h.store(), entity, pairs);
        remapPageIds(*h, entity, pairs);
    }
    EXPECT_EQ(h->selectedOccurrence, (OccurrenceRef{812, 813, {2025, 3, 20}, true}));
    EXPECT_EQ(buildSearchCriteria(*h).accountId, 814);

    togglePaid(*h, h->selectedOccurrence);
    ASSERT_EQ(h.budget().transaction_adjustments.size(), 1u);
    EXPECT_TRUE(h.budget().transaction_adjustments[0].is_paid);

    pasteOnDay(*h, {2025, 3, 22});
    EXPECT_EQ(h.budget().transaction_adjustments.size(), 1u);
    EXPECT_EQ(h.budget().transaction_adjustments[0].new_date, (Date{2025, 3, 22}));

    txFormState(*h).description = "Lunch, renamed";
    saveTransactionForm(*h, false);
    EXPECT_EQ(h.budget().transactions[*findTransaction(h.budget(), 812)].description, "Lunch, renamed");

    h->confirm.confirmed = "delete-account";
    runConfirmedAction(*h);
    EXPECT_FALSE(findAccount(h.budget(), 814));
}

}  // namespace
}  // namespace qm
