// The transaction form's openers, its checks in their order with their
// exact messages, and saving: added, a whole series, or an occurrence and
// those after it, chosen in the scope prompt.
#include <gtest/gtest.h>

#include "app/budget_io.h"
#include "model/occurrences.h"
#include "model/record_edits.h"
#include "model/transaction_edits.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/editing/txform.h"
#include "pages/page_harness.h"
#include "pages/sample_budget.h"

namespace qm {
namespace {

using testing::PageHarness;
using testing::SampleBudget;

struct TxFormTest : ::testing::Test {
    PageHarness h;
    SampleBudget s = testing::addSampleBudget(*h);

    TxFormState& form() { return txFormState(*h); }
    const Transaction& stored(int64_t id) { return h.budget().transactions[*findTransaction(h.budget(), id)]; }
    int64_t add(Transaction t)
    {
        t.account = "Checking";
        EditResult r = addTransaction(h.store(), t);
        EXPECT_TRUE(r.ok) << r.error;
        return r.id;
    }
    LedgerEntry entryOf(int64_t id, Date day)
    {
        LedgerEntry e;
        e.transaction = &stored(id);
        e.date = day;
        return e;
    }
    void edit(int64_t id, Date occurrence, int64_t adjustmentId = 0)
    {
        std::optional<LedgerEntry> e = findOccurrenceIn(*h, {id, adjustmentId, occurrence, true}, 0);
        ASSERT_TRUE(e);
        openEditTransaction(*h, *e);
    }
};

TEST_F(TxFormTest, AddOpensWithDefaultsAndAYearLaterEndDate)
{
    struct Case {
        Date day;
        Date end;
    };
    for (const Case& c : {Case{{2025, 1, 31}, {2026, 1, 31}}, Case{{2024, 2, 29}, {2025, 2, 28}},
             Case{{2025, 12, 31}, {2026, 12, 31}}}) {
        openAddTransaction(*h, txIncome, c.day);
        EXPECT_EQ(form().date, c.day);
        EXPECT_EQ(form().endDate, c.end);
    }
    form().description = "left over";
    h->txFormError = "old";
    openAddTransaction(*h, txTransfer, {2025, 3, 12});
    EXPECT_TRUE(h->txFormWindow->open);
    EXPECT_EQ(h->txFormWindow->focusOnOpen, "tx-desc");
    EXPECT_EQ(form().kind, txTransfer);
    EXPECT_EQ(form().description, "");
    EXPECT_EQ(h->txFormError, "");
    EXPECT_FALSE(form().editing);
    EXPECT_EQ(form().everyText, "1");
    EXPECT_EQ(form().periodIndex, 1);
    EXPECT_EQ(form().account, "Checking");  // first in display order
}

TEST_F(TxFormTest, TheDefaultAccountFollowsTheFilterThenTheUsersDefault)
{
    setDefaultAccount(h.store(), s.savings);
    openAddTransaction(*h, txExpense, {2025, 3, 12});
    EXPECT_EQ(form().account, "Savings");
    int64_t cash = h.budget().accounts[*findAccountByName(h.budget(), "Cash")].id;
    setSelectedAccount(h.store(), cash);
    openAddTransaction(*h, txExpense, {2025, 3, 12});
    EXPECT_EQ(form().account, "Cash");
    // A filter on an account deleted since falls back to the default.
    h.budget().user.selected_account_id = cash;
    ASSERT_TRUE(deleteAccount(h.store(), cash));
    h.budget().user.selected_account_id = cash;
    openAddTransaction(*h, txExpense, {2025, 3, 12});
    EXPECT_EQ(form().account, "Savings");
    // No accounts at all: empty, and the form still opens.
    h.budget().accounts.clear();
    h.budget().user = User{};
    openAddTransaction(*h, txExpense, {2025, 3, 12});
    EXPECT_EQ(form().account, "");
    EXPECT_TRUE(h->txFormWindow->open);
}

TEST_F(TxFormTest, EditFillsTheFormFromTheStoredTransaction)
{
    openAddTransaction(*h, txExpense, {2025, 3, 3});
    Transaction t;
    t.description = "Refund";
    t.amount = -12.5;
    t.start_date = {2025, 3, 3};
    edit(add(t), {2025, 3, 3});
    EXPECT_EQ(form().kind, txExpense);
    EXPECT_EQ(form().amountText, "12.50");
    EXPECT_EQ(h->txFormWindow->focusOnOpen, "");

    t.amount = 0;
    edit(add(t), {2025, 3, 3});
    EXPECT_EQ(form().kind, txExpense);
    EXPECT_EQ(form().amountText, "0.00");
    t.amount = 40;
    edit(add(t), {2025, 3, 3});
    EXPECT_EQ(form().kind, txIncome);
    edit(s.transfer, {2025, 3, 14});
    EXPECT_EQ(form().kind, txTransfer);
    EXPECT_EQ(form().toAccount, "Savings");

    // Any occurrence of a series shows the series' start.
    edit(s.lunch, {2025, 3, 20});
    EXPECT_TRUE(form().editing && form().fromOccurrence);
    EXPECT_EQ(form().editedId, s.lunch);
    EXPECT_EQ(form().occurrenceDate, (Date{2025, 3, 20}));
    EXPECT_EQ(form().date, (Date{2025, 3, 1}));
    EXPECT_FALSE(form().hasEndDate);
    EXPECT_EQ(form().endDate, (Date{2026, 3, 1}));
}

TEST_F(TxFormTest, StoredRulesOpenInTheRepeatControls)
{
    struct Case {
        const char* rule;
        RepeatControls shown;
    };
    const Case cases[] = {
        {"nth_2_months", {repeatEvery, "2", 2, 0, 0, 0, 0, 0}},
        {"nth_0_weeks", {repeatEvery, "1", 1, 0, 0, 0, 0, 0}},
        {"nth_3_fortnights", {repeatEvery, "3", 2, 0, 0, 0, 0, 0}},  // the model reads an unknown unit as months
        {"nth_400_days", {repeatEvery, "400", 0, 0, 0, 0, 0, 0}},
        {"dom_45_every", {repeatMonthDay, "1", 1, 30, 0, 0, 0, 0}},
        {"dom_last_3", {repeatMonthDay, "1", 1, 31, 3, 0, 0, 0}},
        {"dom_x_every", {repeatMonthDay, "1", 1, 0, 0, 0, 0, 0}},
        {"specific_last_friday_every", {repeatWeekday, "1", 1, 0, 0, 4, 4, 0}},
        {"specific_5_sunday_12", {repeatWeekday, "1", 1, 0, 0, 3, 6, 12}},
        {"specific_2_someday_every", {repeatWeekday, "1", 1, 0, 0, 1, 0, 0}},
        {"weekly", {repeatNone, "1", 1, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        Transaction t;
        t.description = "Rule";
        t.amount = -1;
        t.start_date = {2025, 3, 31};
        t.is_recurring = true;
        t.recurring_period = c.rule;
        int64_t id = add(t);
        openEditTransaction(*h, entryOf(id, {2025, 3, 31}));
        EXPECT_EQ(repeatControls(form()), c.shown);
    }
}

TEST_F(TxFormTest, ChoiceLists)
{
    std::vector<std::string> days = dayOfMonthChoices();
    ASSERT_EQ(days.size(), 32u);
    EXPECT_EQ(days[0], "1st");
    EXPECT_EQ(days[10], "11th");
    EXPECT_EQ(days[21], "22nd");
    EXPECT_EQ(days[30], "31st");
    EXPECT_EQ(days[31], "Last day");
    std::vector<std::string> months = monthChoices();
    ASSERT_EQ(months.size(), 13u);
    EXPECT_EQ(months[0], "Every month");
    EXPECT_EQ(months[12], "December");
}

// One row per check: the form as typed, then the message or what is stored.
TEST_F(TxFormTest, ValidationMessagesInOrder)
{
    struct Case {
        const char* name;
        int32_t kind;
        const char* description;
        const char* amount;
        int32_t repeat;
        const char* every;
        const char* toAccount;
        Date end;  // {} = no end date
        const char* error;
        double stored;
        const char* rule;
    };
    const Date start{2025, 3, 12};
    const Case cases[] = {
        {"blank description", txExpense, " \t ", "5", repeatNone, "1", "", {}, "A description is needed.", 0, ""},
        {"description before amount", txExpense, "", "abc", repeatNone, "1", "", {}, "A description is needed.", 0, ""},
        {"income with grouping", txIncome, " Pay ", "1,234.567", repeatNone, "1", "", {}, "", 1234.57, ""},
        {"expense", txExpense, "Food", "12", repeatNone, "1", "", {}, "", -12, ""},
        {"zero", txExpense, "Free", "0", repeatNone, "1", "", {}, "", 0, ""},
        {"dollar sign", txExpense, "Food", "$7.5", repeatNone, "1", "", {}, "", -7.5, ""},
        {"minus", txExpense, "Food", "-5", repeatNone, "1", "", {}, "Enter an amount (0.00 or more).", 0, ""},
        {"minus sign", txExpense, "Food", "\u22125", repeatNone, "1", "", {}, "Enter an amount (0.00 or more).", 0, ""},
        {"letters", txExpense, "Food", "abc", repeatNone, "1", "", {}, "Enter an amount (0.00 or more).", 0, ""},
        {"empty", txExpense, "Food", "", repeatNone, "1", "", {}, "Enter an amount (0.00 or more).", 0, ""},
        {"amount before transfer", txTransfer, "Move", "x", repeatNone, "1", "", {}, "Enter an amount (0.00 or more).",
            0, ""},
        {"no destination", txTransfer, "Move", "5", repeatNone, "1", "", {}, "Choose the account the transfer goes to.",
            0, ""},
        {"same account", txTransfer, "Move", "5", repeatNone, "1", "Checking", {},
            "A transfer needs two different accounts.", 0, ""},
        {"transfer", txTransfer, "Move", "5", repeatNone, "1", "Savings", {}, "", -5, ""},
        {"end before start", txExpense, "Gym", "5", repeatEvery, "1", "", {2025, 3, 11},
            "The end date is before the start date.", 0, ""},
        {"end on start", txExpense, "Gym", "5", repeatEvery, "1", "", start, "", -5, "nth_1_weeks"},
        {"end before start, one-off", txExpense, "Gym", "5", repeatNone, "1", "", {2025, 3, 11}, "", -5, ""},
        {"every 0", txExpense, "Gym", "5", repeatEvery, "0", "", {}, "Every how many? 1 to 365.", 0, ""},
        {"every 366", txExpense, "Gym", "5", repeatEvery, "366", "", {}, "Every how many? 1 to 365.", 0, ""},
        {"every abc", txExpense, "Gym", "5", repeatEvery, "abc", "", {}, "Every how many? 1 to 365.", 0, ""},
        {"every nothing", txExpense, "Gym", "5", repeatEvery, "", "", {}, "Every how many? 1 to 365.", 0, ""},
        {"every 7 with spaces", txExpense, "Gym", "5", repeatEvery, " 7 ", "", {}, "", -5, "nth_7_weeks"},
        {"every 365", txExpense, "Gym", "5", repeatEvery, "365", "", {}, "", -5, "nth_365_weeks"},
        {"end before start, day of month", txExpense, "Gym", "5", repeatMonthDay, "0", "", {2025, 3, 1},
            "The end date is before the start date.", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        openAddTransaction(*h, c.kind, start);
        TxFormState& f = form();
        f.description = c.description;
        f.amountText = c.amount;
        f.repeatMode = c.repeat;
        f.everyText = c.every;
        f.toAccount = c.toAccount;
        f.category = "Groceries";
        f.hasEndDate = c.end.year != 0;
        f.endDate = c.end;
        f.businessDaysOnly = false;
        f.payEarly = true;
        TransactionFormResult r = readTransactionForm(*h);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.ok, *c.error == 0);
        if (!r.ok)
            continue;
        EXPECT_EQ(r.transaction.amount, c.stored);
        EXPECT_FALSE(std::signbit(r.transaction.amount) && r.transaction.amount == 0);
        EXPECT_EQ(r.transaction.recurring_period, c.rule);
        EXPECT_EQ(r.transaction.is_recurring, *c.rule != 0);
        EXPECT_EQ(r.transaction.has_end_date, c.repeat != repeatNone && c.end.year != 0);
        EXPECT_EQ(r.transaction.category, c.kind == txTransfer ? "" : "Groceries");
        EXPECT_FALSE(r.transaction.pay_early);
        EXPECT_EQ(r.transaction.description, std::string(c.description) == " Pay " ? "Pay" : c.description);
    }
}

TEST_F(TxFormTest, RulesTheControlsCannotShowAreStoredBackWhileUntouched)
{
    for (const char* rule : {"specific_5_friday_every", "nth_400_days"}) {
        SCOPED_TRACE(rule);
        Transaction t;
        t.description = "Odd rule";
        t.amount = -3;
        t.start_date = {2025, 1, 3};
        t.is_recurring = true;
        t.recurring_period = rule;
        int64_t id = add(t);
        openEditTransaction(*h, entryOf(id, {2025, 1, 3}));
        form().description = "Odd rule, renamed";
        form().amountText = "4";
        saveTransactionForm(*h, false);
        EXPECT_EQ(h->txFormError, "");
        EXPECT_EQ(stored(id).recurring_period, rule);
        EXPECT_EQ(stored(id).description, "Odd rule, renamed");
        // A touched control stores what the controls say, checked as usual.
        openEditTransaction(*h, entryOf(id, {2025, 1, 3}));
        form().weekdayIndex = 0;
        form().periodIndex = 1;
        TransactionFormResult r = readTransactionForm(*h);
        if (std::string(rule) == "nth_400_days") {
            EXPECT_EQ(r.error, "Every how many? 1 to 365.");
        } else {
            EXPECT_EQ(r.transaction.recurring_period, "specific_4_monday_every");
        }
    }
}

TEST_F(TxFormTest, AddingSavesSelectsAndCloses)
{
    openAddTransaction(*h, txIncome, {2025, 3, 18});
    form().description = "Salary";
    form().amountText = "2500";
    submitTransactionForm(*h);
    EXPECT_FALSE(h->txFormWindow->open);
    const Transaction& t = h.budget().transactions.back();
    EXPECT_EQ(t.description, "Salary");
    EXPECT_EQ(t.amount, 2500);
    EXPECT_EQ(h->selectedOccurrence, (OccurrenceRef{t.id, 0, {2025, 3, 18}, true}));
    EXPECT_EQ(h->focusedDay, (Date{2025, 3, 18}));
    EXPECT_EQ(h.toasts(), std::vector<std::string>{"Transaction added"});

    openAddTransaction(*h, txExpense, {2025, 3, 18});
    submitTransactionForm(*h);
    EXPECT_TRUE(h->txFormWindow->open);
    EXPECT_EQ(h->txFormError, "A description is needed.");
}

TEST_F(TxFormTest, TheStartupRepeatSwitchOpensOnEveryN)
{
    openAddTransaction(*h, txExpense, h->todayDate);
    h->txFormRepeat = true;
    h.frame();
    EXPECT_FALSE(h->txFormRepeat);
    EXPECT_EQ(form().repeatMode, repeatEvery);
}

// Editing a series from one of its occurrences asks which occurrences the
// change applies to.
TEST_F(TxFormTest, TheScopePrompt)
{
    const Date clicked{2025, 3, 20};
    struct Case {
        const char* button;
        bool stored;
        bool split;
    };
    for (const Case& c : {Case{"tx-scope-future", true, true}, Case{"tx-scope-all", true, false},
             Case{"tx-scope-cancel", false, false}}) {
        SCOPED_TRACE(c.button);
        PageHarness fresh;
        SampleBudget sample = testing::addSampleBudget(*fresh);
        std::optional<LedgerEntry> e = findOccurrenceIn(*fresh, {sample.lunch, 0, clicked, true}, 0);
        ASSERT_TRUE(e);
        openEditTransaction(*fresh, *e);
        TxFormState& f = txFormState(*fresh);
        f.description = "Lunch out";
        size_t before = fresh.budget().transactions.size();
        submitTransactionForm(*fresh);
        EXPECT_TRUE(f.scopePromptOpen);
        EXPECT_EQ(fresh.budget().transactions[*findTransaction(fresh.budget(), sample.lunch)].description, "Lunch");
        fresh.frame();
        ASSERT_GT(fresh.rectOf(c.button).w, 0);
        fresh.clickWidget(c.button);
        fresh.frame();
        const Budget& b = fresh.budget();
        if (!c.stored) {
            EXPECT_FALSE(f.scopePromptOpen);
            EXPECT_TRUE(fresh->txFormWindow->open);
            EXPECT_EQ(f.description, "Lunch out");
            EXPECT_EQ(b.transactions[*findTransaction(b, sample.lunch)].description, "Lunch");
            continue;
        }
        EXPECT_FALSE(f.scopePromptOpen);
        EXPECT_FALSE(fresh->txFormWindow->open);
        EXPECT_EQ(fresh.toasts().back(), "Transaction updated");
        EXPECT_EQ(b.transactions.size(), before + (c.split ? 1 : 0));
        int64_t carrying = fresh->selectedOccurrence.transactionId;
        const Transaction& t = b.transactions[*findTransaction(b, carrying)];
        EXPECT_EQ(t.description, "Lunch out");
        EXPECT_EQ(fresh->selectedOccurrence.date, (c.split ? clicked : Date{2025, 3, 1}));
        // Exactly one Lunch occurrence a day either side of the clicked day.
        for (Date day : {Date{2025, 3, 19}, clicked}) {
            size_t n = 0;
            for (const Transaction& any : b.transactions)
                if (any.description.rfind("Lunch", 0) == 0)
                    n += occurrencesInRange(b, any, day, day).size();
            EXPECT_EQ(n, 1u) << formatIso(day);
        }
        const Transaction& original = b.transactions[*findTransaction(b, sample.lunch)];
        EXPECT_EQ(original.description, c.split ? "Lunch" : "Lunch out");
    }
}

TEST_F(TxFormTest, TurningASeriesIntoAOneOffSavesAtOnce)
{
    edit(s.lunch, {2025, 3, 20});
    form().repeatMode = repeatNone;
    submitTransactionForm(*h);
    EXPECT_FALSE(form().scopePromptOpen);
    EXPECT_FALSE(h->txFormWindow->open);
    EXPECT_FALSE(stored(s.lunch).is_recurring);
}

// Manage Accounts and Manage Categories open over the form: what they rename
// shows in the form and is saved, what they delete must be chosen again.
TEST_F(TxFormTest, TheFormFollowsRenamesAndDeletesMadeWhileItIsOpen)
{
    struct Case {
        const char* name;
        int32_t kind;
        bool remove;    // else rename
        bool category;  // else the account
        const char* shown;
        const char* error;
    };
    for (const Case& c : {Case{"rename account", txExpense, false, false, "Checking 2", ""},
             Case{"rename category", txExpense, false, true, "Fitness", ""},
             Case{"delete account", txExpense, true, false, "", "Choose an account."},
             Case{"delete category", txExpense, true, true, "", "Choose a category."},
             Case{"delete the transfer's source", txTransfer, true, false, "", "Choose an account."}}) {
        PageHarness page;
        testing::SampleBudget sample = testing::addSampleBudget(*page);
        EditResult cat = addCategory(page.store(), "Food", "#2e828b", 0);
        openAddTransaction(*page, c.kind, {2025, 3, 12});
        TxFormState& f = txFormState(*page);
        f.description = "Lunch";
        f.amountText = "12";
        f.category = c.kind == txTransfer ? "" : "Food";
        f.toAccount = c.kind == txTransfer ? "Savings" : "";
        page.frames(2);
        if (c.category && c.remove)
            deleteCategory(page.store(), cat.id);
        else if (c.category)
            updateCategory(page.store(), cat.id, "Fitness", "#2e828b", 0, true);
        else if (c.remove)
            deleteAccount(page.store(), sample.checking);
        else
            updateAccount(page.store(), sample.checking, "Checking 2", "checking");
        page.frames(2);
        EXPECT_EQ(c.category ? f.category : f.account, c.shown) << c.name;
        TransactionFormResult r = readTransactionForm(*page);
        EXPECT_EQ(r.error, c.error) << c.name;
        if (r.ok) {
            EXPECT_EQ(c.category ? r.transaction.category : r.transaction.account, c.shown) << c.name;
        }
    }
}

}  // namespace
}  // namespace qm
