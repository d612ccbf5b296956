#pragma once
// The only ways the pages change transactions: each validates, changes the
// budget and journals what changed.
#include "model/edits.h"
#include "model/store.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qm {

EditResult addTransaction(LocalStore& store, Transaction t);
// thisAndFollowing with occurrenceGiven splits a recurring series at the
// occurrence on date d. A changed start date never moves the series: it
// moves the occurrence on the old start date.
EditResult updateTransaction(
    LocalStore& store, int64_t id, Transaction e, bool thisAndFollowing, Date d, bool occurrenceGiven);
bool deleteTransaction(LocalStore& store, int64_t id);
// The copy's id, or 0 when no transaction has that id.
int64_t copyTransactionTo(LocalStore& store, int64_t id, Date date, bool useDate);
void removeDemoData(LocalStore& store);
bool hasDemoData(const LocalStore& store);

}  // namespace qm
