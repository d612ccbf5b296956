#include "model/adjustments.h"

#include "model/budget_json.h"
#include "model/store_lookup.h"

#include <functional>

namespace qm {

namespace {

// The adjustment an occurrence setter changes: the one named by id, else the
// first (or last) for this transaction and original date.
std::optional<size_t> findOccurrence(
    const LocalStore& store, int64_t transactionId, Date original, int64_t adjustmentId, bool last)
{
    if (adjustmentId != 0) {
        if (std::optional<size_t> i = findStoreAdjustment(store, adjustmentId))
            return i;
    }
    return findStoreOccurrence(store, transactionId, original, last);
}

void journalUpdate(LocalStore& store, const TransactionAdjustment& a)
{
    appendOp(store, opUpdate, entAdjustment, a.id, adjustmentToJson(a));
}

// change alters an existing adjustment; fresh fills the fields of a new one
// (create false: leave the occurrence without an adjustment).
bool changeOccurrence(LocalStore& store, int64_t transactionId, Date original, int64_t adjustmentId, bool last,
    const std::function<void(TransactionAdjustment&)>& change, bool create)
{
    Budget& b = *store.budget;
    if (!findStoreTransaction(store, transactionId))
        return false;
    std::optional<size_t> i = findOccurrence(store, transactionId, original, adjustmentId, last);
    if (i.has_value()) {
        change(b.transaction_adjustments[*i]);
        journalUpdate(store, b.transaction_adjustments[*i]);
    } else if (create) {
        TransactionAdjustment a;
        a.transaction_id = transactionId;
        a.original_date = a.new_date = original;
        change(a);
        putAdjustment(store, a);
    }
    return true;
}

}  // namespace

Date originalDateOf(const LocalStore& store, Date date, int64_t adjustmentId)
{
    if (adjustmentId == 0)
        return date;
    std::optional<size_t> i = findStoreAdjustment(store, adjustmentId);
    return i ? store.budget->transaction_adjustments[*i].original_date : date;
}

int64_t putAdjustment(LocalStore& store, TransactionAdjustment a)
{
    if (std::optional<size_t> i = findStoreOccurrence(store, a.transaction_id, a.original_date, false))
        return replaceAdjustment(store, *i, std::move(a));
    return addAdjustment(store, std::move(a));
}

int64_t replaceAdjustment(LocalStore& store, size_t index, TransactionAdjustment a)
{
    TransactionAdjustment& existing = store.budget->transaction_adjustments[index];
    a.id = existing.id;
    existing = std::move(a);
    journalUpdate(store, existing);
    return existing.id;
}

int64_t addAdjustment(LocalStore& store, TransactionAdjustment a)
{
    a.id = nextLocalId(store);
    store.budget->transaction_adjustments.push_back(a);
    appendOp(store, opCreate, entAdjustment, a.id, adjustmentToJson(a));
    return a.id;
}

bool setOccurrenceDate(LocalStore& store, int64_t transactionId, Date original, Date newDate, int64_t adjustmentId)
{
    return changeOccurrence(
        store, transactionId, original, adjustmentId, false, [&](TransactionAdjustment& a) { a.new_date = newDate; },
        true);
}

bool setOccurrencePaid(LocalStore& store, int64_t transactionId, Date original, bool paid, int64_t adjustmentId)
{
    return changeOccurrence(
        store, transactionId, original, adjustmentId, false, [&](TransactionAdjustment& a) { a.is_paid = paid; }, true);
}

bool setOccurrenceAmount(
    LocalStore& store, int64_t transactionId, Date original, double amount, bool hasAmount, int64_t adjustmentId)
{
    return changeOccurrence(
        store, transactionId, original, adjustmentId, true,
        [&](TransactionAdjustment& a) {
            a.has_amount = hasAmount;
            a.amount = hasAmount ? amount : 0;
        },
        hasAmount);
}

bool deleteOccurrence(LocalStore& store, int64_t transactionId, Date original, int64_t adjustmentId)
{
    Budget& b = *store.budget;
    if (!findStoreTransaction(store, transactionId))
        return false;
    std::optional<size_t> i = adjustmentId != 0 ? findStoreAdjustment(store, adjustmentId) : std::nullopt;
    if (i.has_value()) {
        b.transaction_adjustments[*i].is_deleted = true;
        journalUpdate(store, b.transaction_adjustments[*i]);
        return true;
    }
    // Replacing every field drops the occurrence's own amount and paid mark.
    TransactionAdjustment a;
    a.transaction_id = transactionId;
    a.original_date = a.new_date = original;
    a.is_deleted = true;
    putAdjustment(store, a);
    return true;
}

}  // namespace qm
