// What every dialog writes reaches the record the user meant: after a sync
// renamed the ids while the dialog was open, and when the save itself
// fails (the change is kept and written by the next save).
#include <gtest/gtest.h>

#include <functional>

#include "app/budget_io.h"
#include "model/adjustments.h"
#include "model/record_edits.h"
#include "model/store_sync.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/dialog_driving.h"
#include "pages/editing/editing.h"
#include "pages/remap_ids.h"
#include "pages/sample_budget.h"

namespace qm {
namespace {

using testing::PageHarness;
using testing::SampleBudget;

using Step = std::function<void(PageHarness&, const SampleBudget&)>;
using Check = std::function<void(const Budget&, const SampleBudget&)>;

void rename(PageHarness& h, Entity entity, int64_t from, int64_t to)
{
    std::vector<IdPair> pairs{{from, to}};
    remapDataIds(h.store(), entity, pairs);
    remapPageIds(*h, entity, pairs);
}

int64_t categoryId(const Budget& b, const char* name) { return b.categories[*findCategoryByName(b, name)].id; }

const TransactionAdjustment* adjustmentOf(const Budget& b, int64_t transactionId)
{
    for (const TransactionAdjustment& a : b.transaction_adjustments)
        if (a.transaction_id == transactionId)
            return &a;
    return nullptr;
}

bool anchored(const Budget& b, int64_t accountId, double amount)
{
    for (const RunningTotalAdjustment& r : b.running_total_adjustments)
        if (r.account_id == accountId && r.date == testing::kPinnedToday && r.amount == amount)
            return true;
    return false;
}

void press(PageHarness& h, const std::string& label)
{
    h.clickWidget(label);
    h.frames(2);
}

TEST(DialogRecords, EachSavesTheRenamedRecord)
{
    struct Case {
        const char* name;
        Step openAndRename;
        Step finish;
        Check check;
    };
    const Case cases[] = {
        {"adjust amount",
            [](PageHarness& h, const SampleBudget& s) {
                openAdjustAmount(*h, {s.coffee, 0, {2025, 3, 12}, true});
                rename(h, entTransaction, s.coffee, 9001);
            },
            [](PageHarness& h, const SampleBudget&) { testing::typeInto(h, "adj-amount", "3", keyEnter); },
            [](const Budget& b, const SampleBudget&) {
                const TransactionAdjustment* a = adjustmentOf(b, 9001);
                ASSERT_TRUE(a);
                EXPECT_EQ(a->amount, -3);
                EXPECT_EQ(b.transaction_adjustments.size(), 1u);
            }},
        {"move, adjusted occurrence",
            [](PageHarness& h, const SampleBudget& s) {
                moveOccurrence(*h, {s.lunch, 0, {2025, 3, 5}, true}, {2025, 3, 6});
                openMoveTransaction(*h, h->selectedOccurrence);
                rename(h, entTransaction, s.lunch, 9002);
                rename(h, entAdjustment, h->selectedOccurrence.adjustmentId, 9003);
                editDialogs(*h).move.newDate = {2025, 3, 20};
            },
            [](PageHarness& h, const SampleBudget&) { press(h, "move-ok"); },
            [](const Budget& b, const SampleBudget&) {
                ASSERT_EQ(b.transaction_adjustments.size(), 1u);
                EXPECT_EQ(b.transaction_adjustments[0].id, 9003);
                EXPECT_EQ(b.transaction_adjustments[0].new_date, (Date{2025, 3, 20}));
            }},
        {"delete one occurrence",
            [](PageHarness& h, const SampleBudget& s) {
                openDeleteRecurring(*h, {s.lunch, 0, {2025, 3, 5}, true});
                rename(h, entTransaction, s.lunch, 9002);
            },
            [](PageHarness& h, const SampleBudget&) { press(h, "ra-one"); },
            [](const Budget& b, const SampleBudget&) {
                const TransactionAdjustment* a = adjustmentOf(b, 9002);
                ASSERT_TRUE(a);
                EXPECT_TRUE(a->is_deleted);
                EXPECT_EQ(a->original_date, (Date{2025, 3, 5}));
            }},
        {"running balance",
            [](PageHarness& h, const SampleBudget& s) {
                setSelectedAccount(h.store(), s.savings);
                openSetRunningBalance(*h, 2025, 3, 12);
                rename(h, entAccount, s.savings, 9004);
            },
            [](PageHarness& h, const SampleBudget&) { testing::typeInto(h, "bal-amount", "75", keyEnter); },
            [](const Budget& b, const SampleBudget&) { EXPECT_TRUE(anchored(b, 9004, 75)); }},
        {"category edit",
            [](PageHarness& h, const SampleBudget&) {
                openManageCategories(*h);
                h.frames(3);
                press(h, "cat-edit-" + std::to_string(categoryId(h.budget(), "Groceries")));
                rename(h, entCategory, categoryId(h.budget(), "Groceries"), 9005);
            },
            [](PageHarness& h, const SampleBudget&) { testing::typeInto(h, "cat-edit-name", "Food", keyEnter); },
            [](const Budget& b, const SampleBudget&) { EXPECT_EQ(b.categories[*findCategory(b, 9005)].name, "Food"); }},
        {"account edit and balances",
            [](PageHarness& h, const SampleBudget& s) {
                openManageAccounts(*h);
                h.frames(3);
                testing::typeInto(h, "acc-bal-" + std::to_string(s.savings), "640", keyTab);
                press(h, "acc-edit-" + std::to_string(s.savings));
                rename(h, entAccount, s.savings, 9006);
            },
            [](PageHarness& h, const SampleBudget&) {
                testing::typeInto(h, "acc-edit-name", "Rainy day", keyEnter);
                press(h, "acc-savebal");
            },
            [](const Budget& b, const SampleBudget&) {
                EXPECT_EQ(b.accounts[*findAccount(b, 9006)].name, "Rainy day");
                EXPECT_TRUE(anchored(b, 9006, 640));
            }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageHarness h;
        SampleBudget s = testing::addSampleBudget(*h);
        c.openAndRename(h, s);
        h.frames(3);
        c.finish(h, s);
        c.check(testing::savedBudget(h), s);
    }
}

TEST(DialogRecords, AFailedSaveKeepsTheChangeForTheNextSave)
{
    struct Case {
        const char* name;
        Step act;
        const char* toast;
        Check check;
    };
    const Case cases[] = {
        {"apply a balance",
            [](PageHarness& h, const SampleBudget&) {
                openSetRunningBalance(*h, 2025, 3, 12);
                h.frames(3);
                testing::typeInto(h, "bal-amount", "300", keyEnter);
            },
            "Running balance set", [](const Budget& b, const SampleBudget&) { EXPECT_TRUE(anchored(b, 0, 300)); }},
        {"adjust an amount",
            [](PageHarness& h, const SampleBudget& s) {
                openAdjustAmount(*h, {s.coffee, 0, {2025, 3, 12}, true});
                h.frames(3);
                testing::typeInto(h, "adj-amount", "3", keyEnter);
            },
            "Amount adjusted",
            [](const Budget& b, const SampleBudget& s) { EXPECT_EQ(adjustmentOf(b, s.coffee)->amount, -3); }},
        {"move",
            [](PageHarness& h, const SampleBudget& s) {
                openMoveTransaction(*h, {s.coffee, 0, {2025, 3, 12}, true});
                editDialogs(*h).move.newDate = {2025, 3, 20};
                h.frames(3);
                press(h, "move-ok");
            },
            "Moved to Mar 20, 2025",
            [](const Budget& b, const SampleBudget& s) {
                EXPECT_EQ(adjustmentOf(b, s.coffee)->new_date, (Date{2025, 3, 20}));
            }},
        {"delete one occurrence",
            [](PageHarness& h, const SampleBudget& s) {
                openDeleteRecurring(*h, {s.lunch, 0, {2025, 3, 5}, true});
                h.frames(3);
                press(h, "ra-one");
            },
            "Occurrence deleted",
            [](const Budget& b, const SampleBudget& s) { EXPECT_TRUE(adjustmentOf(b, s.lunch)->is_deleted); }},
        {"add a category",
            [](PageHarness& h, const SampleBudget&) {
                openManageCategories(*h);
                h.frames(3);
                testing::typeInto(h, "cat-new", "Pets", keyEnter);
            },
            "Category added", [](const Budget& b, const SampleBudget&) { EXPECT_TRUE(findCategoryByName(b, "Pets")); }},
        {"hide a category",
            [](PageHarness& h, const SampleBudget&) {
                openManageCategories(*h);
                h.frames(3);
                press(h, "cat-hide-" + std::to_string(categoryId(h.budget(), "Groceries")));
            },
            "",
            [](const Budget& b, const SampleBudget&) {
                EXPECT_TRUE(b.categories[*findCategoryByName(b, "Groceries")].hidden);
            }},
        {"add an account",
            [](PageHarness& h, const SampleBudget&) {
                openManageAccounts(*h);
                h.frames(3);
                testing::typeInto(h, "acc-new", "Travel", keyEnter);
            },
            "Account added", [](const Budget& b, const SampleBudget&) { EXPECT_TRUE(findAccountByName(b, "Travel")); }},
        {"star an account",
            [](PageHarness& h, const SampleBudget& s) {
                openManageAccounts(*h);
                h.frames(3);
                press(h, "acc-star-" + std::to_string(s.savings));
            },
            "", [](const Budget& b, const SampleBudget& s) { EXPECT_EQ(b.user.default_account_id, s.savings); }},
        {"save balances",
            [](PageHarness& h, const SampleBudget& s) {
                openManageAccounts(*h);
                h.frames(3);
                testing::typeInto(h, "acc-bal-" + std::to_string(s.checking), "-5", keyTab);
                press(h, "acc-savebal");
            },
            "Balances saved", [](const Budget& b, const SampleBudget& s) { EXPECT_TRUE(anchored(b, s.checking, -5)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageHarness h;
        SampleBudget s = testing::addSampleBudget(*h);
        std::string folder = h.store().folder;
        testing::writeText(h.app.dir / "blocker", "a file");
        h.store().folder = h.app.dir / "blocker/budget";
        c.act(h, s);
        std::vector<std::string> toasts = h.toasts();
        ASSERT_FALSE(toasts.empty());
        EXPECT_EQ(toasts[0].rfind("Could not save the budget: ", 0), 0u) << toasts[0];
        EXPECT_EQ(toasts.size(), *c.toast ? 2u : 1u);
        if (*c.toast && toasts.size() == 2) {
            EXPECT_EQ(toasts[1], c.toast);
        }
        h.store().folder = folder;
        saveBudget(*h);
        c.check(testing::savedBudget(h), s);
    }
}

}  // namespace
}  // namespace qm
