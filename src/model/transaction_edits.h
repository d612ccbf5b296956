#pragma once
// The only ways the pages change transactions: each validates, changes the
// budget and journals what changed.
#include "model/edits.h"
#include "model/store.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qm {

struct SplitResult {
    bool ok = false;
    std::string error;
    bool split = false;  // a new series was started
    int64_t id = 0;      // the new series; 0 otherwise
};

// "" or the message refusing t; a valid transfer's amount is made negative.
std::string checkTransfer(Transaction& t);
EditResult addTransaction(LocalStore& store, Transaction t);
// thisAndFollowing with occurrenceGiven splits a recurring series at the
// occurrence on date d. A changed start date never moves the series: it
// moves the occurrence on the old start date.
EditResult updateTransaction(
    LocalStore& store, int64_t id, Transaction e, bool thisAndFollowing, Date d, bool occurrenceGiven);
// Ends the stored series at index before the occurrence on d and starts e
// from it (or from newStart when startChanged). Raises IndexError for an
// index outside the list.
SplitResult splitSeries(LocalStore& store, size_t index, Transaction e, Date d, Date newStart, bool startChanged);
bool deleteTransaction(LocalStore& store, int64_t id);
// The copy's id, or 0 when no transaction has that id.
int64_t copyTransactionTo(LocalStore& store, int64_t id, Date date, bool useDate);
void removeDemoData(LocalStore& store);
bool hasDemoData(const LocalStore& store);

}  // namespace qm
