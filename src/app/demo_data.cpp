#include "app/demo_data.h"

#include <algorithm>

#include "model/budget_json.h"
#include "model/journal.h"
#include "model/transaction_edits.h"

namespace qm {

namespace {

struct DemoTransaction {
    int32_t day;  // 0 = the reference day
    double amount;
    const char* description;
    const char* category;
    const char* account;
    const char* iconName;
    const char* period;  // empty for a one-off
    bool businessDay;
    bool early;
};

constexpr DemoTransaction kDemoTransactions[] = {
    {1, 3200.00, "Salary", "Income", "Checking", "Income", "nth_1_months", true, true},
    {1, -1200.00, "Rent", "Rent/Mortgage", "Checking", "Home", "nth_1_months", false, false},
    {10, -145.00, "Electric Bill", "Utilities", "Checking", "Utilities", "nth_1_months", false, false},
    {15, -15.99, "Streaming Subscription", "Subscriptions", "Credit Card", "Subscription", "nth_1_months", false,
        false},
    {6, -85.00, "Groceries", "Groceries", "Checking", "Groceries", "nth_1_weeks", false, false},
    {4, -54.20, "Coffee Shop", "Entertainment", "Credit Card", "Coffee", "", false, false},
    {22, -210.00, "Car Insurance", "Insurance", "Checking", "Car", "", false, false},
    {0, -12.75, "Lunch", "Groceries", "Credit Card", "Dining", "", false, false},
    {0, -38.50, "Gas Station", "Transportation", "Credit Card", "Car", "", false, false},
};

int64_t iconIdNamed(const Budget& b, std::string_view name)
{
    for (const CustomIcon& icon : b.icons)
        if (icon.name == name)
            return icon.id;
    return 0;
}

void addAnchor(LocalStore& store, Date day, double amount)
{
    RunningTotalAdjustment anchor;
    anchor.id = nextLocalId(store);
    anchor.account_id = 0;
    anchor.date = day;
    anchor.amount = amount;
    anchor.is_demo = true;
    store.budget->running_total_adjustments.push_back(anchor);
    appendOp(store, opCreate, entAnchor, anchor.id, anchorToJson(anchor));
}

}  // namespace

void loadDemoData(LocalStore& store, int32_t year, int32_t month, int32_t day)
{
    removeDemoData(store);
    Budget& b = *store.budget;
    Date reference = date(year, month, day);
    addAnchor(store, date(year, month, 1), 2500.00);
    if (day != 1)
        addAnchor(store, reference, 1985.40);

    int32_t length = daysInMonth(year, month);
    std::vector<Transaction> made;
    for (const DemoTransaction& d : kDemoTransactions) {
        Transaction t;
        t.start_date = d.day == 0 ? reference : date(year, month, std::min(d.day, length));
        t.amount = d.amount;
        t.description = d.description;
        t.category = d.category;
        t.account = d.account;
        t.icon_id = iconIdNamed(b, d.iconName);
        t.is_recurring = d.period[0] != 0;
        t.recurring_period = d.period;
        t.pay_on_business_day = d.businessDay;
        t.pay_early = d.early;
        t.is_demo = true;
        t.id = nextLocalId(store);
        b.transactions.push_back(t);
        appendOp(store, opCreate, entTransaction, t.id, transactionToJson(t));
        made.push_back(t);
    }
    for (const Transaction& t : made) {
        double adjusted;
        if (t.description == "Lunch")
            adjusted = -15.40;
        else if (t.description == "Coffee Shop")
            adjusted = -62.75;
        else
            continue;
        TransactionAdjustment a;
        a.id = nextLocalId(store);
        a.transaction_id = t.id;
        a.original_date = t.start_date;
        a.new_date = t.start_date;
        a.has_amount = true;
        a.amount = adjusted;
        a.is_paid = true;
        a.is_deleted = false;
        a.is_demo = true;
        b.transaction_adjustments.push_back(a);
        appendOp(store, opCreate, entAdjustment, a.id, adjustmentToJson(a));
    }
    markDirty(store);
}

}  // namespace qm
