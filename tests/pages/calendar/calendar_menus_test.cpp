// The day and transaction menus: which entries each shows, and what each
// entry does, read back from the budget on disk where it changes it.
#include <gtest/gtest.h>

#include <functional>

#include "model/record_edits.h"
#include "model/store.h"
#include "model/transaction_edits.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/editing/txform.h"
#include "pages/page_harness.h"
#include "pages/sample_budget.h"
#include "ui/menu.h"

namespace qm {
namespace {

using testing::PageHarness;
using testing::SampleBudget;

constexpr Date d12{2025, 3, 12}, d14{2025, 3, 14};

struct Menus {
    PageHarness h;
    SampleBudget s = testing::addSampleBudget(*h);
    Menus() { h.frame(); }

    void openDayMenu(Date day)
    {
        calendarState(*h).dayMenuDay = day;
        openContextMenu(*h->ui, "day", 300, 300);
        h.frames(2);
    }
    void openTxMenu(OccurrenceRef ref)
    {
        calendarState(*h).menuTarget = ref;
        openContextMenu(*h->ui, "tx", 300, 200);
        h.frames(2);
    }
    bool shows(const std::string& entry) { return h.widget("mi" + entry) != nullptr; }
    void choose(const std::string& entry)
    {
        ASSERT_TRUE(shows(entry)) << entry;
        h.clickWidget("mi" + entry);
        h.frames(2);
    }
    LocalStorePtr disk() { return openStore(h.store().folder); }
    OccurrenceRef coffee() { return {s.coffee, 0, d12, true}; }
};

TEST(CalendarMenus, PasteOnlyWithAClipboard)
{
    Menus m;
    m.openDayMenu(d14);
    EXPECT_TRUE(m.shows("Add transaction"));
    EXPECT_FALSE(m.shows("Paste"));
    m.openTxMenu(m.coffee());
    EXPECT_TRUE(m.shows("Copy"));
    EXPECT_FALSE(m.shows("Paste"));
    copyOccurrence(*m.h, m.coffee());
    m.openTxMenu(m.coffee());
    EXPECT_TRUE(m.shows("Paste"));
    m.openDayMenu(d14);
    EXPECT_TRUE(m.shows("Paste"));
}

TEST(CalendarMenus, RemoveBalanceAdjustmentOnlyOnADayAnchoredInTheScope)
{
    Menus m;
    setAnchor(m.h.store(), d14, 500, m.s.checking);
    m.openDayMenu(d14);  // all accounts: the account's anchor is not this scope's
    EXPECT_FALSE(m.shows("Remove balance adjustment"));
    m.h.budget().user.selected_account_id = m.s.checking;
    m.openDayMenu({2025, 3, 15});
    EXPECT_FALSE(m.shows("Remove balance adjustment"));
    m.openTxMenu({m.s.transfer, 0, d14, true});
    EXPECT_TRUE(m.shows("Remove balance adjustment"));
    m.openDayMenu(d14);
    m.h->toasts.clear();
    m.choose("Remove balance adjustment");
    EXPECT_EQ(m.h.toasts(), std::vector<std::string>{"Balance adjustment removed"});
    EXPECT_TRUE(m.disk()->budget->running_total_adjustments.empty());
    m.openDayMenu(d14);
    EXPECT_FALSE(m.shows("Remove balance adjustment"));
}

TEST(CalendarMenus, PaidEntryAndAVanishedTarget)
{
    Menus m;
    m.openTxMenu(m.coffee());
    m.choose("Mark as Paid");
    EXPECT_TRUE(testing::occurrencesOn(*m.disk()->budget, m.s.coffee, d12).at(0).paid);
    m.openTxMenu(m.coffee());
    EXPECT_FALSE(m.shows("Mark as Paid"));
    m.choose("Mark as Unpaid");
    EXPECT_FALSE(testing::occurrencesOn(*m.disk()->budget, m.s.coffee, d12).at(0).paid);

    ASSERT_TRUE(deleteTransaction(m.h.store(), m.s.coffee));
    m.openTxMenu(m.coffee());
    for (const char* entry : {"Edit transaction", "Duplicate", "Delete transaction", "Cut"})
        EXPECT_FALSE(m.shows(entry)) << entry;
}

TEST(CalendarMenus, EveryEntryActs)
{
    struct Case {
        const char* menu;  // "day" on the 14th, "tx" on the coffee of the 12th
        const char* entry;
        std::function<void(Menus&)> setup;
        std::function<void(Menus&)> check;
    };
    auto form = [](int32_t kind, Date day) {
        return [kind, day](Menus& m) {
            ASSERT_TRUE(m.h->txFormWindow->open);
            EXPECT_FALSE(txFormState(*m.h).editing);
            EXPECT_EQ(txFormState(*m.h).kind, kind);
            EXPECT_EQ(txFormState(*m.h).date, day);
        };
    };
    auto transactions = [](size_t n) { return [n](Menus& m) { EXPECT_EQ(m.disk()->budget->transactions.size(), n); }; };
    auto copied = [](Menus& m) { copyOccurrence(*m.h, m.coffee()); };
    auto none = [](Menus&) {};
    auto anchor = [](Menus& m) { setAnchor(m.h.store(), d12, 800, 0); };
    auto anchorGone = [](Menus& m) { EXPECT_TRUE(m.disk()->budget->running_total_adjustments.empty()); };
    const Case cases[] = {
        {"day", "Add transaction", none, form(txExpense, d14)},
        {"day", "Add income", none, form(txIncome, d14)},
        {"day", "Add transfer", none, form(txTransfer, d14)},
        {"day", "Paste", copied,
            [](Menus& m) {
                LocalStorePtr d = m.disk();
                ASSERT_EQ(d->budget->transactions.size(), 5u);
                EXPECT_EQ(d->budget->transactions.back().start_date, d14);
            }},
        {"day", "Open day view", none,
            [](Menus& m) {
                EXPECT_EQ(m.h->view, viewDay);
                EXPECT_EQ(m.h->selectedDate, d14);
                EXPECT_EQ(m.h->focusedDay, d14);
            }},
        {"day", "Set running balance\u2026", none, [](Menus& m) { EXPECT_TRUE(m.h->balanceWindow->open); }},
        {"tx", "Edit transaction", none,
            [](Menus& m) {
                ASSERT_TRUE(m.h->txFormWindow->open);
                EXPECT_EQ(txFormState(*m.h).editedId, m.s.coffee);
            }},
        {"tx", "Adjust amount\u2026", none, [](Menus& m) { EXPECT_TRUE(m.h->adjustWindow->open); }},
        {"tx", "Move to date\u2026", none, [](Menus& m) { EXPECT_TRUE(m.h->moveWindow->open); }},
        {"tx", "Duplicate", none, transactions(5)},
        {"tx", "Cut", none, [](Menus& m) { EXPECT_EQ(calendarState(*m.h).clipboardMode, clipCut); }},
        {"tx", "Copy", none, [](Menus& m) { EXPECT_EQ(calendarState(*m.h).clipboardMode, clipCopy); }},
        {"tx", "Paste", copied, transactions(5)},
        {"tx", "Add transaction here", none, form(txExpense, d12)},
        {"tx", "Set running balance\u2026", none, [](Menus& m) { EXPECT_TRUE(m.h->balanceWindow->open); }},
        {"tx", "Remove balance adjustment", anchor, anchorGone},
        {"tx", "Delete transaction", none,
            [](Menus& m) {
                EXPECT_TRUE(m.h->confirm.window->open);
                EXPECT_EQ(m.h->confirm.action, "delete-tx");
                EXPECT_EQ(calendarState(*m.h).menuTarget.transactionId, m.s.coffee);
            }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.menu) + " " + c.entry);
        Menus m;
        c.setup(m);
        if (std::string_view(c.menu) == "day")
            m.openDayMenu(d14);
        else
            m.openTxMenu(m.coffee());
        m.choose(c.entry);
        c.check(m);
    }
}

}  // namespace
}  // namespace qm
