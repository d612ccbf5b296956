// The transaction form's window as drawn: which controls each kind and
// repeat mode shows, the category and account choices, the pay-early rule,
// Delete, and the narrow window.
#include <gtest/gtest.h>

#include "app/form_layout.h"
#include "model/budget.h"
#include "model/record_edits.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/editing/txform.h"
#include "pages/page_harness.h"
#include "pages/sample_budget.h"

namespace qm {
namespace {

using testing::PageHarness;

bool shown(PageHarness& h, const std::string& label) { return h.widget(label) != nullptr; }

void openAdd(PageHarness& h, int32_t kind, int32_t repeat)
{
    openAddTransaction(*h, kind, {2025, 3, 12});
    txFormState(*h).repeatMode = repeat;
    h.frames(3);
}

TEST(TransactionFormWindow, ControlsOfEachKindAndRepeatMode)
{
    // Labels as the widget list records them (composite fields add a prefix).
    const std::vector<std::string> always = {"tx-kind#0", "tx-kind#2", "tx-desc", "tx-amount", "datetexttx-date",
        "pickertx-acc", "iconpicktx-icon", "tx-repeat", "tx-cancel", "tx-save"};
    const std::vector<std::vector<std::string>> byMode = {{},
        {"tx-nth", "tx-period", "chkBusiness days only", "datetexttx-end"},
        {"tx-dom-day", "tx-dom-month", "chkBusiness days only", "datetexttx-end"},
        {"tx-spec-week", "tx-spec-day", "tx-spec-month", "chkBusiness days only", "datetexttx-end"}};
    std::vector<std::string> modeOnly;
    for (const auto& mode : byMode)
        modeOnly.insert(modeOnly.end(), mode.begin(), mode.end());
    for (int32_t kind : {0, 1, 2}) {
        for (int32_t repeat = 0; repeat < 4; ++repeat) {
            PageHarness h;
            testing::addSampleBudget(*h);
            openAdd(h, kind, repeat);
            std::string where = "kind " + std::to_string(kind) + " repeat " + std::to_string(repeat);
            for (const std::string& id : always)
                EXPECT_TRUE(shown(h, id)) << id << " " << where;
            for (const std::string& id : modeOnly) {
                const auto& own = byMode[size_t(repeat)];
                bool expected = std::find(own.begin(), own.end(), id) != own.end();
                EXPECT_EQ(shown(h, id), expected) << id << " " << where;
            }
            EXPECT_EQ(shown(h, "pickertx-cat"), kind != 2) << where;
            EXPECT_EQ(shown(h, "tx-acc-manage"), kind != 2) << where;
            EXPECT_EQ(shown(h, "pickertx-to"), kind == 2) << where;
            EXPECT_FALSE(shown(h, "tx-delete")) << where;
            EXPECT_TRUE(h.drewText(kind == 2 ? "From account" : "Account")) << where;
            EXPECT_TRUE(h.drewText("Add"));
        }
    }
}

TEST(TransactionFormWindow, TransferKeepsTheCategoryForTheWayBack)
{
    PageHarness h;
    testing::addSampleBudget(*h);
    openAdd(h, 0, 0);
    txFormState(*h).category = "Groceries";
    h.frame();
    EXPECT_TRUE(h.drewText("Groceries"));
    h.clickWidget("tx-kind#2");
    h.frames(2);
    EXPECT_EQ(txFormState(*h).kind, txTransfer);
    EXPECT_FALSE(shown(h, "pickertx-cat"));
    EXPECT_FALSE(shown(h, "tx-acc-manage"));
    EXPECT_TRUE(h.drewText("To account"));
    h.clickWidget("tx-kind#0");
    h.frames(2);
    EXPECT_TRUE(shown(h, "pickertx-cat"));
    EXPECT_TRUE(h.drewText("Groceries"));
}

TEST(TransactionFormWindow, HiddenCategoriesOnlyWhenTheFormsOwn)
{
    PageHarness h;
    EditResult pets = addCategory(h.store(), "Pets", "#336699", 0);
    ASSERT_TRUE(pets.ok);
    ASSERT_TRUE(updateCategory(h.store(), pets.id, "Pets", "#336699", 0, true).ok);
    auto listed = [&](const std::string& current) {
        for (const SelectOption& o : categoryOptions(h.budget(), current))
            if (o.label == "Pets")
                return true;
        return false;
    };
    EXPECT_FALSE(listed(""));
    EXPECT_FALSE(listed("Groceries"));
    EXPECT_TRUE(listed("Pets"));
    std::vector<SelectOption> all = categoryOptions(h.budget(), "Pets");
    EXPECT_TRUE(std::is_sorted(
        all.begin(), all.end(), [](const SelectOption& a, const SelectOption& b) { return a.label < b.label; }));
    std::vector<SelectOption> accounts = accountOptions(h.budget());
    ASSERT_FALSE(accounts.empty());
    for (const SelectOption& a : accounts)
        EXPECT_TRUE(a.detail.empty() || std::isupper(static_cast<unsigned char>(a.detail[0]))) << a.detail;
}

TEST(TransactionFormWindow, UntickingBusinessDaysClearsAndLocksPayEarly)
{
    PageHarness h;
    testing::addSampleBudget(*h);
    openAdd(h, 0, 1);
    TxFormState& f = txFormState(*h);
    f.businessDaysOnly = true;
    f.payEarly = true;
    h.frame();
    h.clickWidget("chkBusiness days only");
    h.frames(2);
    EXPECT_FALSE(f.businessDaysOnly);
    EXPECT_FALSE(f.payEarly);
    // Disabled now: a click on it changes nothing.
    Rect business = h.rectOf("chkBusiness days only");
    h.click(business.x + 20, business.y + business.h + 20);
    h.frames(2);
    EXPECT_FALSE(f.payEarly);
}

TEST(TransactionFormWindow, DeleteHandsOverToTheRightPrompt)
{
    for (bool recurring : {true, false}) {
        PageHarness h;
        testing::SampleBudget s = testing::addSampleBudget(*h);
        int64_t id = recurring ? s.rent : s.coffee;
        Date day = recurring ? Date{2025, 3, 1} : Date{2025, 3, 12};
        std::optional<LedgerEntry> entry = findOccurrenceIn(*h, {id, 0, day, true}, 0);
        ASSERT_TRUE(entry);
        openEditTransaction(*h, *entry);
        h.frames(2);
        ASSERT_TRUE(shown(h, "tx-delete"));
        EXPECT_TRUE(h.drewText("Save"));
        h.clickWidget("tx-delete");
        h.frames(2);
        EXPECT_FALSE(h->txFormWindow->open);
        EXPECT_EQ(calendarState(*h).menuTarget, (OccurrenceRef{id, 0, day, true}));
        EXPECT_EQ(h->deleteRecurringWindow->open, recurring);
        EXPECT_EQ(h->confirm.window->open, !recurring);
        if (!recurring) {
            EXPECT_EQ(h->confirm.action, "delete-tx");
        }
    }
}

TEST(TransactionFormWindow, NarrowWindowTakesItsWidthLess8)
{
    PageHarness h(500, 800);
    testing::addSampleBudget(*h);
    openAdd(h, 0, 0);
    // The form asks for the window's width less 8; the toolkit keeps its
    // own 8 px margins on either side of a window that does not fit.
    EXPECT_EQ(dialogSize(*h, 580, 640).width, 492);
    bool found = false;
    for (const WindowRect& w : h->ui->windowRectsLast)
        found = found || (w.rect.x == 8 && w.rect.w == 484);
    EXPECT_TRUE(found);
    // The kind control spans the description field's width.
    Rect desc = h.rectOf("tx-desc"), first = h.rectOf("tx-kind#0"), last = h.rectOf("tx-kind#2");
    EXPECT_NEAR(first.x - desc.x, 3, 0.5);
    EXPECT_NEAR(desc.x + desc.w - (last.x + last.w), 3, 0.5);

    PageHarness wide;
    testing::addSampleBudget(*wide);
    openAdd(wide, 0, 0);
    Rect wideDesc = wide.rectOf("tx-desc"), wideFirst = wide.rectOf("tx-kind#0");
    EXPECT_GT(wideFirst.x - wideDesc.x, 50);
}

}  // namespace
}  // namespace qm
