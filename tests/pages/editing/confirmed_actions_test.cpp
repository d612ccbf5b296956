// Confirmed actions run in the frame after "qmconfirm-yes", never in the
// frame of the click, and act on the pending targets as they are then.
#include <gtest/gtest.h>

#include <functional>

#include "app/account_state.h"
#include "model/store.h"
#include "pages/calendar/calendar_state.h"
#include "pages/editing/editing.h"
#include "pages/page_harness.h"
#include "pages/sample_budget.h"

namespace qm {
namespace {

using testing::PageHarness;
using testing::SampleBudget;

struct Case {
    const char* name;
    const char* action;
    std::function<void(PageHarness&, const SampleBudget&)> arrange;
    std::function<void(PageHarness&, const SampleBudget&)> check;
    const char* toast;  // "" = none
};

int64_t categoryNamed(const Budget& b, const char* name) { return b.categories[*findCategoryByName(b, name)].id; }

TEST(ConfirmedActions, EachRunsInTheFrameAfterTheConfirmation)
{
    const Case cases[] = {
        {"logout", "logout", {}, [](PageHarness& h, const SampleBudget&) { EXPECT_TRUE(h->signOutRequested); }, ""},
        {"delete-tx", "delete-tx",
            [](PageHarness& h, const SampleBudget& s) {
                calendarState(*h).menuTarget = {s.coffee, 0, {2025, 3, 12}, true};
                h->selectedOccurrence = calendarState(*h).menuTarget;
            },
            [](PageHarness& h, const SampleBudget& s) {
                EXPECT_FALSE(findTransaction(h.budget(), s.coffee));
                EXPECT_FALSE(h->selectedOccurrence.valid);
                EXPECT_FALSE(findTransaction(*openStore(h.store().folder)->budget, s.coffee));
            },
            "Transaction deleted"},
        {"delete-tx without a target", "delete-tx", {},
            [](PageHarness& h, const SampleBudget& s) { EXPECT_TRUE(findTransaction(h.budget(), s.coffee)); }, ""},
        {"delete-account", "delete-account",
            [](PageHarness& h, const SampleBudget& s) {
                editDialogs(*h).accounts.selectedId = s.savings;
                editDialogs(*h).accounts.balanceRows = {{s.savings, "10"}};
            },
            [](PageHarness& h, const SampleBudget& s) {
                EXPECT_FALSE(findAccount(h.budget(), s.savings));
                EXPECT_EQ(editDialogs(*h).accounts.selectedId, 0);
                EXPECT_TRUE(editDialogs(*h).accounts.balanceRows.empty());
                // Its transactions stay, as the model's deleteAccount keeps them.
                EXPECT_TRUE(findTransaction(h.budget(), s.transfer));
            },
            "Account deleted"},
        {"delete-account gone meanwhile", "delete-account",
            [](PageHarness& h, const SampleBudget&) {
                editDialogs(*h).accounts.selectedId = -4242;
                editDialogs(*h).accounts.balanceRows = {{-4242, "10"}};
            },
            [](PageHarness& h, const SampleBudget&) {
                EXPECT_EQ(h.budget().accounts.size(), 7u);
                EXPECT_EQ(editDialogs(*h).accounts.selectedId, 0);
                EXPECT_EQ(editDialogs(*h).accounts.balanceRows.size(), 1u);
            },
            ""},
        {"delete-category", "delete-category",
            [](PageHarness& h, const SampleBudget&) {
                editDialogs(*h).categories.selectedId = categoryNamed(h.budget(), "Groceries");
            },
            [](PageHarness& h, const SampleBudget&) {
                EXPECT_FALSE(findCategoryByName(h.budget(), "Groceries"));
                EXPECT_EQ(editDialogs(*h).categories.selectedId, 0);
            },
            "Category deleted"},
        {"delete-user", "delete-user", {},
            [](PageHarness& h, const SampleBudget&) { EXPECT_EQ(h->request.kind, akDeleteAccount); }, ""},
        {"regen-token", "regen-token", {},
            [](PageHarness& h, const SampleBudget&) { EXPECT_EQ(h->request.kind, akCalendarToken); }, ""},
        {"calsync-off", "calsync-off", {},
            [](PageHarness& h, const SampleBudget&) {
                EXPECT_EQ(h->request.kind, akCalendarTokenOff);
                EXPECT_TRUE(h->request.pending);
                EXPECT_TRUE(h->request.fields == AccountFields{});
            },
            ""},
        {"an id not in the table", "delete",
            [](PageHarness& h, const SampleBudget& s) {
                calendarState(*h).menuTarget = {s.coffee, 0, {2025, 3, 12}, true};
            },
            [](PageHarness& h, const SampleBudget& s) {
                EXPECT_TRUE(findTransaction(h.budget(), s.coffee));
                EXPECT_FALSE(h->signOutRequested);
                EXPECT_FALSE(h->request.pending);
            },
            ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageHarness h;
        SampleBudget s = testing::addSampleBudget(*h);
        if (c.arrange)
            c.arrange(h, s);
        size_t ops = h.store().journal.size();
        showConfirm(*h, "Sure?", "Really?", c.action, "Yes", "Cancel", true);
        h.frame();
        h.clickWidget("qmconfirm-yes");
        h.frame();
        // Confirmed, not yet carried out.
        EXPECT_EQ(h->confirm.confirmed, c.action);
        EXPECT_EQ(h.store().journal.size(), ops);
        EXPECT_FALSE(h->signOutRequested);
        h.frame();
        EXPECT_EQ(h->confirm.confirmed, "");
        c.check(h, s);
        EXPECT_EQ(h.toasts(), *c.toast ? std::vector<std::string>{c.toast} : std::vector<std::string>{});
    }
}

TEST(ConfirmedActions, AFailedSaveShowsBothToastsAndTheNextSaveWritesEverything)
{
    PageHarness h;
    SampleBudget s = testing::addSampleBudget(*h);
    std::string folder = h.store().folder;
    testing::writeText(h.app.dir / "blocker", "a file");
    h.store().folder = h.app.dir / "blocker/budget";
    calendarState(*h).menuTarget = {s.coffee, 0, {2025, 3, 12}, true};
    h->confirm.confirmed = "delete-tx";
    runConfirmedAction(*h);
    ASSERT_EQ(h.toasts().size(), 2u);
    EXPECT_EQ(h.toasts()[0].rfind("Could not save the budget: ", 0), 0u);
    EXPECT_EQ(h.toasts()[1], "Transaction deleted");
    EXPECT_TRUE(findTransaction(*openStore(folder)->budget, s.coffee));

    h.store().folder = folder;
    editDialogs(*h).categories.selectedId = categoryNamed(h.budget(), "Groceries");
    h->confirm.confirmed = "delete-category";
    runConfirmedAction(*h);
    LocalStorePtr disk = openStore(folder);
    EXPECT_FALSE(findTransaction(*disk->budget, s.coffee));
    EXPECT_FALSE(findCategoryByName(*disk->budget, "Groceries"));
}

}  // namespace
}  // namespace qm
