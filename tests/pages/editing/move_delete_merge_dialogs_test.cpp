// Move and Delete Recurring act on the one occurrence they were opened on,
// named to the store by its original date; the device budget prompt closes
// only when the sync code says it merged.
#include <gtest/gtest.h>

#include <stdexcept>

#include "app/app_text.h"
#include "app/budget_io.h"
#include "app/page_table.h"
#include "model/adjustments.h"
#include "model/transaction_edits.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/dialog_driving.h"
#include "pages/editing/editing.h"
#include "pages/sample_budget.h"

namespace qm {
namespace {

using testing::PageHarness;
using testing::SampleBudget;

constexpr Date kOriginal{2025, 3, 5};
constexpr Date kMovedTo{2025, 3, 7};

// Lunch of the 5th, moved to the 7th before the dialog opens.
OccurrenceRef movedLunch(PageHarness& h, const SampleBudget& s)
{
    moveOccurrence(*h, {s.lunch, 0, kOriginal, true}, kMovedTo);
    h->toasts.clear();
    return h->selectedOccurrence;
}

TEST(MoveDialog, MovesAnEarlierMovedOccurrenceByItsOriginalDate)
{
    PageHarness h;
    SampleBudget s = testing::addSampleBudget(*h);
    OccurrenceRef ref = movedLunch(h, s);
    ASSERT_NE(ref.adjustmentId, 0);
    openMoveTransaction(*h, ref);
    h.frames(3);
    EXPECT_TRUE(h.drewText("Lunch \u00b7 now on " + shortDate(kMovedTo)));
    Date target{2025, 4, 2};
    editDialogs(*h).move.newDate = target;
    h.clickWidget("move-ok");
    h.frame();
    EXPECT_FALSE(h->moveWindow->open);
    EXPECT_EQ(h.toasts(), std::vector<std::string>{"Moved to " + shortDate(target)});
    Budget saved = testing::savedBudget(h);
    ASSERT_EQ(saved.transaction_adjustments.size(), 1u);
    EXPECT_EQ(saved.transaction_adjustments[0].original_date, kOriginal);
    EXPECT_EQ(saved.transaction_adjustments[0].new_date, target);
    EXPECT_EQ(h->selectedOccurrence, (OccurrenceRef{s.lunch, ref.adjustmentId, target, true}));
    EXPECT_EQ(h->selectedDate, target);
    EXPECT_EQ(h->shownMonth, (YearMonth{2025, 4}));

    // P right after: the selection names exactly the moved occurrence.
    togglePaid(*h, h->selectedOccurrence);
    std::vector<testing::Shown> shown = testing::occurrencesOf(h.budget(), s.lunch, {2025, 3, 1}, {2025, 4, 30});
    std::vector<Date> paid;
    for (const testing::Shown& o : shown)
        if (o.paid)
            paid.push_back(o.date);
    EXPECT_EQ(paid, std::vector<Date>{target});
}

TEST(MoveDialog, TheSameDateChangesNothing)
{
    PageHarness h;
    SampleBudget s = testing::addSampleBudget(*h);
    openMoveTransaction(*h, {s.coffee, 0, {2025, 3, 12}, true});
    h.frames(3);
    size_t ops = h.store().journal.size();
    h.clickWidget("move-ok");
    h.frame();
    EXPECT_FALSE(h->moveWindow->open);
    EXPECT_EQ(h.store().journal.size(), ops);
    EXPECT_TRUE(h.toasts().empty());

    openMoveTransaction(*h, {-999, 0, {2025, 3, 12}, true});
    EXPECT_FALSE(h->moveWindow->open);
}

TEST(MoveDialog, ALongDescriptionStaysInTheWindow)
{
    PageHarness h;
    SampleBudget s = testing::addSampleBudget(*h);
    Transaction t = h.budget().transactions[*findTransaction(h.budget(), s.coffee)];
    t.description = std::string(120, 'x');
    ASSERT_TRUE(updateTransaction(h.store(), t.id, t, false, t.start_date, false).ok);
    openMoveTransaction(*h, {s.coffee, 0, {2025, 3, 12}, true});
    h.frames(3);
    const testing::DrawnText* headline = nullptr;
    for (const testing::DrawnText& d : h.texts)
        if (d.text.rfind("xxxx", 0) == 0)
            headline = &d;
    ASSERT_TRUE(headline);
    EXPECT_EQ(headline->text.substr(headline->text.size() - 3), "\u2026");
    EXPECT_LE(headline->rect.x + measureText(*h, headline->text, headline->size, 500),
        h->moveWindow->rect.x + h->moveWindow->rect.w);
}

TEST(DeleteRecurringDialog, OneOrAllWithTheirToasts)
{
    struct Case {
        const char* button;
        const char* toast;
        size_t lunchesLeft;  // of the 31 in March
    };
    const Case cases[] = {{"ra-one", "Occurrence deleted", 30}, {"ra-all", "Transaction deleted", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        PageHarness h;
        SampleBudget s = testing::addSampleBudget(*h);
        OccurrenceRef ref = movedLunch(h, s);
        h->selectedOccurrence = ref;
        openDeleteRecurring(*h, ref);
        h.frames(3);
        h.clickWidget(c.button);
        h.frame();
        EXPECT_FALSE(h->deleteRecurringWindow->open);
        EXPECT_EQ(h.toasts(), std::vector<std::string>{c.toast});
        EXPECT_FALSE(h->selectedOccurrence.valid);
        Budget saved = testing::savedBudget(h);
        EXPECT_EQ(testing::occurrencesOf(saved, s.lunch, {2025, 3, 1}, {2025, 3, 31}).size(), c.lunchesLeft);
        // The moved one is gone, not another.
        EXPECT_TRUE(testing::occurrencesOn(saved, s.lunch, kMovedTo).size() == (c.lunchesLeft ? 1u : 0u));
        EXPECT_TRUE(testing::occurrencesOn(saved, s.lunch, kOriginal).empty());
    }
}

TEST(MergePrompt, Summaries)
{
    struct Case {
        int32_t transactions, balances;
        const char* text;
    };
    const Case cases[] = {{1, 0, "1 transaction"}, {0, 0, "0 transactions"}, {14, 2, "14 transactions and 2 balances"},
        {3, 1, "3 transactions and 1 balance"}};
    for (const Case& c : cases)
        EXPECT_EQ(mergeSummary(c.transactions, c.balances), c.text);
}

TEST(MergePrompt, StaysOpenWithTheDeviceBudgetUnlessMerged)
{
    enum Answer { merged, refused, raised };
    struct Case {
        const char* name;
        Answer answer;
        const char* toast;
        bool open;
    };
    const Case cases[] = {
        {"merged", merged, "Merged", false},
        {"refused", refused, "Not merged: no connection", true},
        {"raised", raised, "Could not merge the budget on this device: device budget damaged", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageHarness h;
        bool deviceBudget = true;
        PageTable table = pageTable();
        table.mergeDeviceBudget = [&](AppState& state) {
            if (c.answer == raised)
                throw std::runtime_error("device budget damaged");
            showToast(state, c.toast, c.answer == merged ? toastSuccess : toastError, 4);
            deviceBudget = c.answer != merged;
            return c.answer == merged;
        };
        setPageTable(table);
        h->merge.transactions = 14;
        h->merge.adjustments = 2;
        h->merge.window->open = true;
        h.frames(3);
        h.clickWidget("ma-merge");
        h.frame();
        EXPECT_EQ(h->merge.window->open, c.open);
        EXPECT_EQ(h.toasts(), std::vector<std::string>{c.toast});
        EXPECT_EQ(deviceBudget, c.answer != merged);
    }
}

TEST(MergePrompt, RemoveAndLaterClose)
{
    for (const char* button : {"ma-remove", "ma-later"}) {
        SCOPED_TRACE(button);
        PageHarness h;
        int removed = 0, merged = 0;
        PageTable table = pageTable();
        table.removeDeviceBudget = [&](AppState&) { ++removed; };
        table.mergeDeviceBudget = [&](AppState&) { return ++merged > 0; };
        setPageTable(table);
        h->merge.window->open = true;
        h.frames(3);
        h.clickWidget(button);
        h.frame();
        EXPECT_FALSE(h->merge.window->open);
        EXPECT_EQ(removed, std::string(button) == "ma-remove" ? 1 : 0);
        EXPECT_EQ(merged, 0);
    }
}

}  // namespace
}  // namespace qm
