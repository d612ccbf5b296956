// Set running balance and Adjust Amount change one figure and nothing else:
// the anchor or the occurrence's adjustment that data.json holds afterwards,
// and the balances the model then gives.
#include <gtest/gtest.h>

#include <cmath>

#include "app/navigation.h"
#include "model/adjustments.h"
#include "model/balances.h"
#include "model/record_edits.h"
#include "model/transaction_edits.h"
#include "pages/dialog_driving.h"
#include "pages/editing/editing.h"
#include "pages/sample_budget.h"

namespace qm {
namespace {

using testing::PageHarness;
using testing::SampleBudget;

constexpr Date kDay{2025, 3, 10};

const RunningTotalAdjustment* anchorOn(const Budget& b, int64_t accountId, Date day)
{
    for (const RunningTotalAdjustment& r : b.running_total_adjustments)
        if (r.account_id == accountId && r.date == day)
            return &r;
    return nullptr;
}

bool drewTextEnding(const PageHarness& h, const std::string& tail)
{
    for (const testing::DrawnText& t : h.texts)
        if (t.text.size() >= tail.size() && t.text.compare(t.text.size() - tail.size(), tail.size(), tail) == 0)
            return true;
    return false;
}

TEST(RunningBalanceDialog, AnchorsTheFilteredScopeAndKeepsAnUneditedBalance)
{
    struct Case {
        const char* name;
        bool filterChecking;
        double presetAnchor;  // NAN: the day has none
        const char* prefilled;
        const char* headlineTail;
    };
    const Case cases[] = {
        {"all accounts, no anchor", false, NAN, nullptr, " \u00b7 All accounts"},
        {"checking, anchored at -120.5", true, -120.5, "-120.50", " \u00b7 Checking"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageHarness h;
        SampleBudget s = testing::addSampleBudget(*h);
        int64_t scope = c.filterChecking ? s.checking : 0;
        setSelectedAccount(h.store(), scope);
        if (!std::isnan(c.presetAnchor))
            setAnchor(h.store(), kDay, c.presetAnchor, scope);
        double before = balanceAt(h.budget(), {2025, 4, 30}, scope);
        openSetRunningBalance(*h, kDay.year, kDay.month, kDay.day);
        h.frames(3);
        EXPECT_TRUE(drewTextEnding(h, c.headlineTail));
        EXPECT_EQ(h.drewText("Original unadjusted total"), !std::isnan(c.presetAnchor));
        if (c.prefilled) {
            EXPECT_EQ(editDialogs(*h).balance.targetText, c.prefilled);
        }
        h.clickWidget("bal-apply");
        h.frame();
        EXPECT_FALSE(h->balanceWindow->open);
        EXPECT_EQ(h.toasts(), std::vector<std::string>{"Running balance set"});
        Budget saved = testing::savedBudget(h);
        const RunningTotalAdjustment* anchor = anchorOn(saved, scope, kDay);
        ASSERT_TRUE(anchor);
        EXPECT_EQ(saved.running_total_adjustments.size(), 1u);
        EXPECT_DOUBLE_EQ(balanceAt(saved, {2025, 4, 30}, scope), before);
    }
}

TEST(RunningBalanceDialog, RefusesTextAndAppliesOnEnter)
{
    PageHarness h;
    testing::addSampleBudget(*h);
    openSetRunningBalance(*h, kDay.year, kDay.month, kDay.day);
    h.frames(3);
    size_t ops = h.store().journal.size();
    testing::typeInto(h, "bal-amount", "abc", keyTab);
    h.clickWidget("bal-apply");
    h.frame();
    EXPECT_EQ(h.toasts(), std::vector<std::string>{"Enter the balance as a number."});
    EXPECT_TRUE(h->balanceWindow->open);
    EXPECT_EQ(h.store().journal.size(), ops);

    testing::typeInto(h, "bal-amount", "1,250.005", keyEnter);
    EXPECT_FALSE(h->balanceWindow->open);
    Budget saved = testing::savedBudget(h);
    const RunningTotalAdjustment* anchor = anchorOn(saved, 0, kDay);
    ASSERT_TRUE(anchor);
    EXPECT_DOUBLE_EQ(anchor->amount, 1250.01);
}

// The occurrence's adjustment: nullopt when it carries no amount.
std::optional<double> adjustedAmount(const Budget& b, int64_t transactionId, Date day)
{
    for (const TransactionAdjustment& a : b.transaction_adjustments)
        if (a.transaction_id == transactionId && a.original_date == day && a.has_amount)
            return a.amount;
    return std::nullopt;
}

TEST(AdjustAmountDialog, TheStoredTransactionGivesTheSign)
{
    struct Case {
        const char* name;
        const char* transaction;  // "expense" -40, "income" 40, "zero" 0, "transfer" the sample's, -100
        bool savingsFilter;       // the transfer seen from its receiving side
        bool presetAdjustment;    // the occurrence already carries -30
        const char* typed;
        std::optional<double> stored;
    };
    const Case cases[] = {
        {"expense, magnitude", "expense", false, false, "25", -25},
        {"expense, typed negative", "expense", false, false, "-25", -25},
        {"income", "income", false, false, "25", 25},
        {"transfer's receiving side", "transfer", true, false, "25", -25},
        {"zero expense", "zero", false, false, "25", -25},
        {"the original clears", "expense", false, true, "40.001", std::nullopt},
        {"empty clears", "expense", false, true, "  ", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageHarness h;
        SampleBudget s = testing::addSampleBudget(*h);
        Date day{2025, 3, 14};
        int64_t id = s.transfer;
        if (std::string(c.transaction) != "transfer") {
            Transaction t;
            t.description = "Planned";
            t.amount = std::string(c.transaction) == "expense" ? -40 : std::string(c.transaction) == "income" ? 40 : 0;
            t.start_date = day;
            t.account = "Checking";
            id = addTransaction(h.store(), t).id;
        }
        if (c.presetAdjustment)
            setOccurrenceAmount(h.store(), id, day, -30, true, 0);
        setSelectedAccount(h.store(), c.savingsFilter ? s.savings : 0);
        openAdjustAmount(*h, {id, 0, day, true});
        ASSERT_TRUE(h->adjustWindow->open);
        h.frames(3);
        if (c.presetAdjustment) {
            EXPECT_EQ(editDialogs(*h).adjust.newAmountText, "30.00");
        }
        testing::typeInto(h, "adj-amount", c.typed, keyTab);
        h.clickWidget("adj-save");
        h.frame();
        EXPECT_FALSE(h->adjustWindow->open);
        EXPECT_EQ(h.toasts(), std::vector<std::string>{"Amount adjusted"});
        EXPECT_EQ(adjustedAmount(testing::savedBudget(h), id, day), c.stored);
    }
}

TEST(AdjustAmountDialog, ShowsTheLedgerAndRefusesText)
{
    PageHarness h;
    SampleBudget s = testing::addSampleBudget(*h);
    setSelectedAccount(h.store(), s.savings);
    openAdjustAmount(*h, {s.transfer, 0, {2025, 3, 14}, true});
    h.frames(3);
    // The receiving side shows the transfer coming in.
    EXPECT_TRUE(h.drewText("$100.00"));
    EXPECT_EQ(editDialogs(*h).adjust.newAmountText, "");
    size_t ops = h.store().journal.size();
    testing::typeInto(h, "adj-amount", "x", keyEnter);
    EXPECT_EQ(h.toasts(), std::vector<std::string>{"Enter the amount as a number."});
    EXPECT_TRUE(h->adjustWindow->open);
    EXPECT_EQ(h.store().journal.size(), ops);

    testing::typeInto(h, "adj-amount", "60", keyEnter);
    EXPECT_FALSE(h->adjustWindow->open);
    EXPECT_EQ(adjustedAmount(h.budget(), s.transfer, {2025, 3, 14}), -60);

    // An occurrence that is not on its day opens nothing.
    openAdjustAmount(*h, {s.coffee, 0, {2025, 3, 13}, true});
    EXPECT_FALSE(h->adjustWindow->open);
}

}  // namespace
}  // namespace qm
