#include "model/store_lookup.h"

#include "model/projection.h"
#include "model/projection_internal.h"

#include <algorithm>

namespace qm {

namespace {

// The store's projection when every change since it was made is one it was
// told of, so that ids are still unique and its places right or checkable.
const BudgetProjection* toldOfEveryChange(const LocalStore& store)
{
    const BudgetProjection* p = store.projection.get();
    if (!p || p->budget != store.budget.get() || p->sharedIds)
        return nullptr;
    return p->revision == store.change_count || p->notedTo == store.change_count ? p : nullptr;
}

template <class List>
std::optional<size_t> findById(const LocalStore& store, const List& list, int which, int64_t id)
{
    if (const BudgetProjection* p = toldOfEveryChange(store))
        if (const std::optional<uint32_t> i = knownIndex(*p, which, id); i && *i < list.size() && list[*i].id == id)
            return *i;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].id == id)
            return i;
    return std::nullopt;
}

// Gives visit the list position of every adjustment in the transaction's
// group when the projection is up to date, and true; false when it cannot
// tell. Up to date, the group holds every adjustment naming the transaction,
// so its adjustments are found without reading the long list.
template <class Visit>
bool eachOfGroup(const LocalStore& store, int64_t transactionId, Visit visit)
{
    const Budget& b = *store.budget;
    const BudgetProjection* p = toldOfEveryChange(store);
    if (!p || p->revision != store.change_count || p->listSize[0] != b.transactions.size()
        || p->listSize[1] != b.transaction_adjustments.size())
        return false;
    const std::optional<uint32_t> owner = knownIndex(*p, 0, transactionId);
    if (!owner || *owner >= b.transactions.size() || b.transactions[*owner].id != transactionId)
        return false;
    const ProjectedTransaction& t = p->transactions[*owner];
    for (uint32_t k = t.adjustmentsBegin; k < t.adjustmentsEnd; ++k)
        if (const size_t i = p->adjustments[k].index; i < b.transaction_adjustments.size())
            visit(i);
    return true;
}

}  // namespace

std::optional<size_t> findStoreTransaction(const LocalStore& store, int64_t id)
{
    return findById(store, store.budget->transactions, 0, id);
}

std::optional<size_t> findStoreAdjustment(const LocalStore& store, int64_t id)
{
    return findById(store, store.budget->transaction_adjustments, 1, id);
}

std::optional<size_t> findStoreOccurrence(const LocalStore& store, int64_t transactionId, Date original, bool last)
{
    const auto& list = store.budget->transaction_adjustments;
    auto matches = [&](size_t i) {
        return list[i].transaction_id == transactionId && list[i].original_date == original;
    };
    std::optional<size_t> found;
    // The group is sorted by day: of two of one occurrence moved to
    // different days, the first in the list may come second, so the first
    // and last are taken by index.
    if (eachOfGroup(store, transactionId, [&](size_t i) {
            if (matches(i) && (!found || (last ? i > *found : i < *found)))
                found = i;
        }))
        return found;
    for (size_t i = 0; i < list.size(); ++i) {
        if (matches(i)) {
            found = i;
            if (!last)
                break;
        }
    }
    return found;
}

std::vector<size_t> findStoreAdjustmentsOf(const LocalStore& store, int64_t transactionId)
{
    const auto& list = store.budget->transaction_adjustments;
    std::vector<size_t> found;
    if (eachOfGroup(store, transactionId, [&](size_t i) {
            if (list[i].transaction_id == transactionId)
                found.push_back(i);
        })) {
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
        return found;
    }
    size_t i = 0;
    for (const TransactionAdjustment& a : list) {
        if (a.transaction_id == transactionId)
            found.push_back(i);
        ++i;
    }
    return found;
}

}  // namespace qm
