#pragma once
// Finding a record of the open store's budget without walking its long
// lists: the store's projection knows where each record sits, so the edit
// functions ask it first. What it says is checked against the list, and
// when it may not know (changes it was not told of, records sharing an id)
// the list is walked as findTransaction does.
#include "model/store.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace qm {

// As findTransaction and findAdjustment on the store's budget.
std::optional<size_t> findStoreTransaction(const LocalStore& store, int64_t id);
std::optional<size_t> findStoreAdjustment(const LocalStore& store, int64_t id);
// The adjustment of the transaction's occurrence on the day its series gave
// it: the first in list order, or the last.
std::optional<size_t> findStoreOccurrence(const LocalStore& store, int64_t transactionId, Date original, bool last);
// The positions of every adjustment of the transaction, ascending.
std::vector<size_t> findStoreAdjustmentsOf(const LocalStore& store, int64_t transactionId);

}  // namespace qm
