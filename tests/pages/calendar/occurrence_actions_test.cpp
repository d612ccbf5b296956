// The occurrence actions on a real store: each changes exactly the
// occurrence picked, checked in the budget, the journal, the model's own
// expansion of occurrences and the files written.
#include <gtest/gtest.h>

#include "app/budget_io.h"
#include "model/adjustments.h"
#include "model/record_edits.h"
#include "model/store.h"
#include "model/transaction_edits.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/editing/editing.h"
#include "pages/page_harness.h"
#include "pages/sample_budget.h"

namespace qm {
namespace {

using testing::occurrencesOf;
using testing::occurrencesOn;
using testing::PageHarness;
using testing::SampleBudget;

constexpr Date d12{2025, 3, 12}, d14{2025, 3, 14}, d20{2025, 3, 20}, d22{2025, 3, 22}, d25{2025, 3, 25};

struct OccurrencesTest : ::testing::Test {
    PageHarness h;
    SampleBudget s = testing::addSampleBudget(*h);

    size_t journal() { return h.store().journal.size(); }
    size_t adjustments() { return h.budget().transaction_adjustments.size(); }
    CalendarPageState& cal() { return calendarState(*h); }
    OccurrenceRef lunchOn(Date day, int64_t adjustmentId = 0) { return {s.lunch, adjustmentId, day, true}; }
    // Lunch moved from the 12th to the 20th, where it has an occurrence of
    // its own: two occurrences of one transaction on one day.
    int64_t moveLunchOnto20th()
    {
        moveOccurrence(*h, lunchOn(d12), d20);
        return h->selectedOccurrence.adjustmentId;
    }
};

TEST_F(OccurrencesTest, MoveEdges)
{
    const Transaction before = h.budget().transactions[*findTransaction(h.budget(), s.lunch)];
    size_t ops = journal();
    moveOccurrence(*h, lunchOn(d12), d12);
    EXPECT_EQ(journal(), ops);
    EXPECT_TRUE(h.toasts().empty());

    int64_t moved = moveLunchOnto20th();
    ASSERT_EQ(adjustments(), 1u);
    const TransactionAdjustment& a = h.budget().transaction_adjustments[0];
    EXPECT_EQ(a.id, moved);
    EXPECT_EQ(a.original_date, d12);
    EXPECT_EQ(a.new_date, d20);
    const Transaction& after = h.budget().transactions[*findTransaction(h.budget(), s.lunch)];
    EXPECT_EQ(after.start_date, before.start_date);
    EXPECT_EQ(after.recurring_period, before.recurring_period);
    EXPECT_EQ(h->selectedOccurrence, (OccurrenceRef{s.lunch, moved, d20, true}));
    EXPECT_EQ(h->focusedDay, d20);
    EXPECT_EQ(h.toasts(), std::vector<std::string>{"Moved to Mar 20, 2025"});
    EXPECT_TRUE(occurrencesOn(h.budget(), s.lunch, d12).empty());
    EXPECT_EQ(occurrencesOn(h.budget(), s.lunch, d20).size(), 2u);

    LocalStorePtr disk = openStore(h.store().folder);
    ASSERT_EQ(disk->budget->transaction_adjustments.size(), 1u);
    EXPECT_EQ(disk->budget->transaction_adjustments[0].new_date, d20);
}

TEST_F(OccurrencesTest, LookupPrefersBothIdsThenTheFirstOfTheTransaction)
{
    int64_t moved = moveLunchOnto20th();
    std::optional<LedgerEntry> e = findSelectedOccurrence(*h, lunchOn(d20, moved));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->adjustmentId, moved);
    e = findSelectedOccurrence(*h, lunchOn(d20));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->adjustmentId, 0);
    // An adjustment id that is gone falls back to the first of the day.
    e = findSelectedOccurrence(*h, lunchOn(d20, -999));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->transaction->id, s.lunch);
    EXPECT_FALSE(findSelectedOccurrence(*h, lunchOn(d12)));
    EXPECT_FALSE(findSelectedOccurrence(*h, {}));
    EXPECT_FALSE(findSelectedOccurrence(*h, {s.coffee, 0, Date{2025, 2, 30}, true}));
}

// After a move the selection names the moved occurrence, so the next action
// on it changes that one occurrence and no other.
TEST_F(OccurrencesTest, ActionsAfterAMoveChangeTheMovedOccurrence)
{
    struct Case {
        const char* name;
        void (*act)(AppState&);
        // Of Lunch on the 20th: how many remain, and how many are paid.
        size_t shown;
        size_t paid;
        size_t adjustments;
    };
    const Case cases[] = {
        {"mark paid", [](AppState& a) { togglePaid(a, a.selectedOccurrence); }, 2, 1, 1},
        {"delete this occurrence", [](AppState& a) { deleteOneOccurrence(a, a.selectedOccurrence); }, 1, 0, 1},
        {"cut and paste on the 22nd",
            [](AppState& a) {
                cutOccurrence(a, a.selectedOccurrence);
                pasteOnDay(a, {2025, 3, 22});
            },
            1, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageHarness fresh;
        SampleBudget sample = testing::addSampleBudget(*fresh);
        moveOccurrence(*fresh, {sample.lunch, 0, d12, true}, d20);
        int64_t moved = fresh->selectedOccurrence.adjustmentId;
        c.act(*fresh);
        std::vector<testing::Shown> on20 = occurrencesOn(fresh.budget(), sample.lunch, d20);
        EXPECT_EQ(on20.size(), c.shown);
        size_t paid = 0;
        for (const testing::Shown& o : on20) {
            paid += o.paid;
            if (o.paid) {
                EXPECT_EQ(o.adjustmentId, moved);
            }
        }
        EXPECT_EQ(paid, c.paid);
        EXPECT_EQ(fresh.budget().transaction_adjustments.size(), c.adjustments);
        EXPECT_TRUE(occurrencesOn(fresh.budget(), sample.lunch, d12).empty());
    }
}

TEST_F(OccurrencesTest, TwoOccurrencesOfOneTransactionOnADay)
{
    int64_t moved = moveLunchOnto20th();
    togglePaid(*h, lunchOn(d20));  // the 20th's own occurrence
    ASSERT_EQ(adjustments(), 2u);
    for (const testing::Shown& o : occurrencesOn(h.budget(), s.lunch, d20))
        EXPECT_EQ(o.paid, o.adjustmentId != moved);
    togglePaid(*h, lunchOn(d20, moved));
    for (const testing::Shown& o : occurrencesOn(h.budget(), s.lunch, d20))
        EXPECT_TRUE(o.paid);
    EXPECT_EQ(h.toasts(), (std::vector<std::string>{"Moved to Mar 20, 2025", "Marked as paid", "Marked as paid"}));
    togglePaid(*h, lunchOn(d20, moved));
    EXPECT_EQ(h.toasts().back(), "Marked as unpaid");
    EXPECT_EQ(adjustments(), 2u);
}

TEST_F(OccurrencesTest, CutThenPasteFindsTheItemWhereItWas)
{
    // On its own day: nothing changes and the clipboard empties.
    cutOccurrence(*h, lunchOn(d14));
    EXPECT_EQ(cal().clipboardMode, clipCut);
    EXPECT_EQ(h.toasts(), std::vector<std::string>{"Cut \u2014 pick a day and paste"});
    size_t ops = journal();
    pasteOnDay(*h, d14);
    EXPECT_EQ(journal(), ops);
    EXPECT_EQ(cal().clipboardMode, clipEmpty);
    EXPECT_EQ(h.toasts().size(), 1u);

    // Deleted after the cut: the paste finds nothing and edits nothing.
    cutOccurrence(*h, lunchOn(d14));
    deleteOneOccurrence(*h, lunchOn(d14));
    ops = journal();
    size_t toasts = h.toasts().size();
    pasteOnDay(*h, d25);
    EXPECT_EQ(journal(), ops);
    EXPECT_EQ(h.toasts().size(), toasts);
    EXPECT_EQ(cal().clipboardMode, clipEmpty);
    EXPECT_EQ(occurrencesOn(h.budget(), s.lunch, d25).size(), 1u);
}

TEST_F(OccurrencesTest, CutThenSplitThenPaste)
{
    struct Case {
        Date split;
        size_t originalOn25;  // Lunch's own occurrences on the 25th after the paste
        bool moved;
    };
    // Split before the cut day: the cut occurrence now belongs to the new
    // series and the paste does nothing. Split after it: it is still
    // Lunch's and moves.
    for (const Case& c : {Case{{2025, 3, 10}, 0, false}, Case{{2025, 3, 20}, 1, true}}) {
        SCOPED_TRACE(formatIso(c.split));
        PageHarness fresh;
        SampleBudget sample = testing::addSampleBudget(*fresh);
        cutOccurrence(*fresh, {sample.lunch, 0, d14, true});
        Transaction changed = fresh.budget().transactions[*findTransaction(fresh.budget(), sample.lunch)];
        changed.description = "Lunch out";
        EditResult split = updateTransaction(fresh.store(), sample.lunch, changed, true, c.split, true);
        ASSERT_TRUE(split.ok) << split.error;
        ASSERT_NE(split.id, sample.lunch);
        size_t ops = fresh.store().journal.size();
        pasteOnDay(*fresh, d25);
        EXPECT_EQ(calendarState(*fresh).clipboardMode, clipEmpty);
        EXPECT_EQ(fresh.store().journal.size() > ops, c.moved);
        EXPECT_EQ(occurrencesOn(fresh.budget(), sample.lunch, d25).size(), c.originalOn25);
        EXPECT_EQ(occurrencesOn(fresh.budget(), split.id, d25).size(), 1u);
        EXPECT_EQ(occurrencesOn(fresh.budget(), split.id, d14).size(), c.split.day == 10 ? 1u : 0u);
        EXPECT_EQ(occurrencesOn(fresh.budget(), sample.lunch, d14).size(), 0u);
    }
}

TEST_F(OccurrencesTest, CutOfAMovedOccurrenceMovesItsAdjustmentAgain)
{
    int64_t moved = moveLunchOnto20th();
    cutOccurrence(*h, h->selectedOccurrence);
    pasteOnDay(*h, d22);
    ASSERT_EQ(adjustments(), 1u);
    EXPECT_EQ(h.budget().transaction_adjustments[0].id, moved);
    EXPECT_EQ(h.budget().transaction_adjustments[0].new_date, d22);
    EXPECT_EQ(occurrencesOn(h.budget(), s.lunch, d20).size(), 1u);
    EXPECT_EQ(occurrencesOn(h.budget(), s.lunch, d22).size(), 2u);
    EXPECT_EQ(h->selectedOccurrence, (OccurrenceRef{s.lunch, moved, d22, true}));
}

TEST_F(OccurrencesTest, CopyPastesTheSeriesOnEveryDay)
{
    copyOccurrence(*h, {s.rent, 0, {2025, 3, 1}, true});
    EXPECT_EQ(h.toasts(), std::vector<std::string>{"Copied \u2014 pick a day and paste"});
    size_t before = h.budget().transactions.size();
    for (int day : {10, 11, 12})
        pasteOnDay(*h, {2025, 4, day});
    EXPECT_EQ(cal().clipboardMode, clipCopy);
    ASSERT_EQ(h.budget().transactions.size(), before + 3);
    for (int i = 0; i < 3; ++i) {
        const Transaction& t = h.budget().transactions[before + size_t(i)];
        EXPECT_EQ(t.start_date, (Date{2025, 4, 10 + i}));
        EXPECT_EQ(t.recurring_period, "dom_1_every");
        EXPECT_EQ(t.amount, -1200);
        EXPECT_LT(t.id, 0);
    }
    EXPECT_EQ(h.toasts().size(), 4u);
    EXPECT_EQ(h.toasts().back(), "Transaction duplicated");
    duplicateOccurrence(*h, {-12345, 0, d12, true}, d25);
    EXPECT_EQ(h.budget().transactions.size(), before + 3);
}

TEST_F(OccurrencesTest, TheAccountFilterHidesOccurrencesFromActions)
{
    setSelectedAccount(h.store(), s.savings);
    size_t ops = journal();
    const OccurrenceRef coffee{s.coffee, 0, d12, true};
    togglePaid(*h, coffee);
    cutOccurrence(*h, coffee);
    copyOccurrence(*h, coffee);
    confirmDeleteTransaction(*h, coffee);
    EXPECT_EQ(journal(), ops);
    EXPECT_TRUE(h.toasts().empty());
    EXPECT_EQ(cal().clipboardMode, clipEmpty);
    EXPECT_FALSE(h->confirm.window->open);
    // The transfer reaches Savings, so it is found there.
    togglePaid(*h, {s.transfer, 0, d14, true});
    EXPECT_EQ(h.toasts(), std::vector<std::string>{"Marked as paid"});
}

TEST_F(OccurrencesTest, DeleteRequestsAskByKind)
{
    confirmDeleteTransaction(*h, {s.coffee, 0, d12, true});
    EXPECT_TRUE(h->confirm.window->open);
    EXPECT_EQ(h->confirm.action, "delete-tx");
    EXPECT_EQ(h->confirm.title, "Delete Transaction");
    EXPECT_EQ(cal().menuTarget, (OccurrenceRef{s.coffee, 0, d12, true}));
    h->confirm.window->open = false;

    int64_t moved = moveLunchOnto20th();
    confirmDeleteTransaction(*h, lunchOn(d20, moved));
    EXPECT_FALSE(h->confirm.window->open);
    EXPECT_TRUE(h->deleteRecurringWindow->open);
    EXPECT_EQ(editDialogs(*h).recurringDelete.occurrence, lunchOn(d20, moved));
    EXPECT_EQ(cal().menuTarget, lunchOn(d20, moved));
}

TEST_F(OccurrencesTest, AFailedSaveReportsAndTheNextGoodSaveWritesEverything)
{
    std::string folder = h.store().folder;
    testing::writeText(h.app.dir / "blocker", "a file");
    h.store().folder = h.app.dir / "blocker/budget";
    moveOccurrence(*h, lunchOn(d12), d20);
    togglePaid(*h, {s.coffee, 0, d12, true});
    std::vector<std::string> toasts = h.toasts();
    ASSERT_EQ(toasts.size(), 4u);
    EXPECT_EQ(toasts[0].rfind("Could not save the budget: ", 0), 0u);
    EXPECT_EQ(toasts[1], "Moved to Mar 20, 2025");
    EXPECT_EQ(toasts[2].rfind("Could not save the budget: ", 0), 0u);
    EXPECT_EQ(toasts[3], "Marked as paid");

    h.store().folder = folder;
    copyOccurrence(*h, {s.rent, 0, {2025, 3, 1}, true});
    pasteOnDay(*h, d25);
    LocalStorePtr disk = openStore(folder);
    EXPECT_EQ(disk->budget->transaction_adjustments.size(), 2u);
    EXPECT_EQ(disk->budget->transactions.size(), h.budget().transactions.size());
    EXPECT_EQ(disk->journal.size(), h.store().journal.size());
}

// Local ids repeat from one budget to the next: what was copied in one must
// not paste as another's transaction.
TEST_F(OccurrencesTest, OpeningAnotherBudgetEmptiesTheClipboard)
{
    copyOccurrence(*h, {s.rent, 0, {2025, 3, 1}, true});
    calendarState(*h).menuTarget = {s.rent, 0, {2025, 3, 1}, true};
    openBudget(*h, "other");
    testing::addSampleBudget(*h);
    size_t before = h.budget().transactions.size();
    pasteOnDay(*h, d25);
    EXPECT_EQ(h.budget().transactions.size(), before);
    EXPECT_EQ(calendarState(*h).clipboardMode, clipEmpty);
    EXPECT_FALSE(calendarState(*h).menuTarget.valid);
}

}  // namespace
}  // namespace qm
