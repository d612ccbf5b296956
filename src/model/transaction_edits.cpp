#include "model/transaction_edits.h"
#include "model/transaction_edits_internal.h"

#include "core/ascii.h"
#include "core/errors.h"
#include "model/adjustments.h"
#include "model/budget_json.h"
#include "model/recurrence.h"
#include "model/store_lookup.h"

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

constexpr const char* needDescription = "A description is needed";
constexpr int maxSeriesSteps = 20000;

bool hasDescription(const Transaction& t) { return !trimAsciiBlanks(t.description).empty(); }

void journalTransaction(LocalStore& store, OpKind kind, const Transaction& t)
{
    appendOp(store, kind, entTransaction, t.id, transactionToJson(t));
}

// "" or the message refusing t; a valid transfer's amount is made negative.
std::string checkTransfer(Transaction& t)
{
    if (!isTransfer(t))
        return "";
    if (t.account.empty())
        return "Transfers need a source account";
    if (t.account == t.transfer_to_account)
        return "Transfer source and destination must be different accounts";
    t.amount = -std::abs(t.amount);
    return "";
}

}  // namespace

EditResult addTransaction(LocalStore& store, Transaction t)
{
    if (!hasDescription(t))
        return editFailed(needDescription);
    if (!t.is_recurring)
        t.recurring_period.clear();
    if (std::string message = checkTransfer(t); !message.empty())
        return editFailed(message);
    t.id = nextLocalId(store);
    t.is_demo = false;
    store.budget->transactions.push_back(t);
    journalTransaction(store, opCreate, t);
    return {true, "", t.id};
}

EditResult updateTransaction(
    LocalStore& store, int64_t id, Transaction e, bool thisAndFollowing, Date d, bool occurrenceGiven)
{
    Budget& b = *store.budget;
    std::optional<size_t> index = findStoreTransaction(store, id);
    if (!index)
        return editFailed("No such transaction");
    Transaction o = b.transactions[*index];
    if (thisAndFollowing && occurrenceGiven && o.is_recurring) {
        SplitResult r = splitSeries(store, *index, e, d, e.start_date, !sameDate(e.start_date, o.start_date));
        if (!r.ok)
            return editFailed(r.error);
        if (r.split)
            return {true, "", r.id};
    }
    if (!sameDate(e.start_date, o.start_date)) {
        // The generated occurrence is named by its shifted date, as every
        // adjustment names it; one that already has an adjustment keeps its
        // paid mark and amount.
        Date original = o.is_recurring ? businessDayShift(o, o.start_date) : o.start_date;
        setOccurrenceDate(store, o.id, original, e.start_date, 0);
    }
    Transaction u = o;
    u.amount = e.amount;
    u.description = e.description;
    u.category = e.category;
    u.account = e.account;
    u.transfer_to_account = e.transfer_to_account;
    u.is_recurring = e.is_recurring;
    u.recurring_period = e.is_recurring ? e.recurring_period : "";
    u.pay_on_business_day = e.pay_on_business_day;
    u.pay_early = e.pay_early;
    u.icon_id = e.icon_id;
    u.has_end_date = e.has_end_date;
    u.end_date = e.end_date;
    if (!hasDescription(e))
        return editFailed(needDescription);
    if (std::string message = checkTransfer(u); !message.empty())
        return editFailed(message);
    b.transactions[*index] = u;
    journalTransaction(store, opUpdate, u);
    return {true, "", id};
}

SplitResult splitSeries(LocalStore& store, size_t index, Transaction e, Date d, Date newStart, bool startChanged)
{
    Budget& b = *store.budget;
    if (index >= b.transactions.size())
        throw IndexError("transaction index out of range");
    const Transaction o = b.transactions[index];

    // The occurrence may have been moved to d: split where the series made it.
    Date orig = d;
    for (const TransactionAdjustment& a : b.transaction_adjustments) {
        if (a.transaction_id == o.id && sameDate(a.new_date, d) && !a.is_deleted) {
            orig = a.original_date;
            break;
        }
    }
    if (!dateLess(businessDayShift(o, o.start_date), orig))
        return {true, "", false, 0};

    const SplitResult notFound{false, "Could not find that occurrence in the series", false, 0};
    Date prev = o.start_date;
    Date cur = nextOccurrence(o, prev);
    int steps = 1;
    if (!dateLess(prev, cur))
        return notFound;
    while (dateLess(businessDayShift(o, cur), orig)) {
        Date next = nextOccurrence(o, cur);
        if (!dateLess(cur, next) || ++steps > maxSeriesSteps)
            return notFound;
        prev = cur;
        cur = next;
    }

    Date start = cur;
    if (startChanged && !sameDate(newStart, o.start_date)) {
        if (dateLessEq(newStart, prev))
            return {false, "The new start date must be after " + formatIso(prev), false, 0};
        start = newStart;
    }

    Transaction n = std::move(e);
    n.id = nextLocalId(store);
    n.start_date = start;
    n.is_demo = o.is_demo;
    if (!n.is_recurring)
        n.recurring_period.clear();
    if (std::string message = checkTransfer(n); !message.empty())
        return {false, message, false, 0};

    Transaction& ended = b.transactions[index];
    ended.has_end_date = true;
    ended.end_date = prev;
    journalTransaction(store, opUpdate, ended);
    b.transactions.push_back(n);
    journalTransaction(store, opCreate, n);

    // Read through the const list: a write of every record would copy them
    // all for a save under way (see StableList::freeze).
    const AdjustmentList& adjustments = b.transaction_adjustments;
    for (size_t i = 0; i < adjustments.size(); ++i) {
        if (adjustments[i].transaction_id == o.id && dateLessEq(orig, adjustments[i].original_date)) {
            TransactionAdjustment& a = b.transaction_adjustments[i];
            a.transaction_id = n.id;
            appendOp(store, opUpdate, entAdjustment, a.id, adjustmentToJson(a));
        }
    }
    return {true, "", true, n.id};
}

bool deleteTransaction(LocalStore& store, int64_t id)
{
    Budget& b = *store.budget;
    std::optional<size_t> index = findStoreTransaction(store, id);
    if (!index)
        return false;
    removeRecordsAt(store, b.transaction_adjustments, entAdjustment, findStoreAdjustmentsOf(store, id));
    b.transactions.erase(b.transactions.begin() + std::ptrdiff_t(*index));
    appendOp(store, opDelete, entTransaction, id);
    return true;
}

int64_t copyTransactionTo(LocalStore& store, int64_t id, Date date, bool useDate)
{
    Budget& b = *store.budget;
    std::optional<size_t> index = findStoreTransaction(store, id);
    if (!index)
        return 0;
    Transaction t = b.transactions[*index];
    t.id = nextLocalId(store);
    t.is_demo = false;
    if (useDate)
        t.start_date = date;
    b.transactions.push_back(t);
    journalTransaction(store, opCreate, t);
    return t.id;
}

void removeDemoData(LocalStore& store)
{
    Budget& b = *store.budget;
    std::vector<int64_t> demo;
    for (const Transaction& t : b.transactions)
        if (t.is_demo)
            demo.push_back(t.id);
    for (int64_t id : demo)
        deleteTransaction(store, id);
    auto demoRecord = [](const auto& r) { return r.is_demo; };
    removeRecords(store, b.transaction_adjustments, entAdjustment, demoRecord);
    removeRecords(store, b.running_total_adjustments, entAnchor, demoRecord);
}

bool hasDemoData(const LocalStore& store)
{
    const auto& list = store.budget->transactions;
    return std::any_of(list.begin(), list.end(), [](const Transaction& t) { return t.is_demo; });
}

}  // namespace qm
