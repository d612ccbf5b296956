#pragma once
// Edits that touch a single occurrence of a transaction. Each is stored as a
// TransactionAdjustment found again by two things: the owning transaction's
// id and the date its series gives that occurrence before the user moved it.
// The functions answering bool say false only for an unknown transaction.
#include "model/store.h"

#include <cstdint>

namespace qm {

// The adjustment's original date when adjustmentId names one, else date.
Date originalDateOf(const LocalStore& store, Date date, int64_t adjustmentId);
// Replaces the occurrence's adjustment (all fields but its id) or adds a, and
// gives the id.
int64_t putAdjustment(LocalStore& store, TransactionAdjustment a);
// Adds a as a new adjustment without looking for one to replace; for callers
// that know the occurrence has none yet. Gives the new id.
int64_t addAdjustment(LocalStore& store, TransactionAdjustment a);
// Replaces the adjustment at index of the budget's list with a, keeping its id,
// for callers that found the occurrence's adjustment themselves. Gives the id.
int64_t replaceAdjustment(LocalStore& store, size_t index, TransactionAdjustment a);

bool setOccurrenceDate(LocalStore& store, int64_t transactionId, Date original, Date newDate, int64_t adjustmentId);
bool setOccurrencePaid(LocalStore& store, int64_t transactionId, Date original, bool paid, int64_t adjustmentId);
bool setOccurrenceAmount(
    LocalStore& store, int64_t transactionId, Date original, double amount, bool hasAmount, int64_t adjustmentId);
bool deleteOccurrence(LocalStore& store, int64_t transactionId, Date original, int64_t adjustmentId);

}  // namespace qm
