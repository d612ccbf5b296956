#pragma once
// The actions every calendar layout offers on one dated occurrence: find it
// again, move it, duplicate it, paste the calendar clipboard, flip its paid
// mark, cut or copy it, and ask to delete it. Each changes the budget only
// through the model's validated edits, saves after a change and reports with
// a toast; a stale reference does nothing.
//
// A reference may outlive the entry it was made from. Lookups therefore
// prefer the entry with both the transaction id and the adjustment id, and
// every action then works with the found entry's adjustment id and date, so
// that exactly the occurrence the user picked changes.
#include <optional>

#include "app/app_state.h"
#include "model/ledger.h"

namespace qm {

// The occurrence as the calendar shows it now under the account filter:
// on the reference's day, the entry with its transaction and adjustment id,
// else the first entry of its transaction; none when it is gone. The entry
// points into the budget and holds until the next change.
std::optional<LedgerEntry> findSelectedOccurrence(const AppState& state, const OccurrenceRef& ref);
// The same over one account (0: all accounts), whatever the filter.
std::optional<LedgerEntry> findOccurrenceIn(const AppState& state, const OccurrenceRef& ref, int64_t accountId);

// Moves one occurrence to the day; the moved occurrence, with the id of the
// adjustment that now carries it, becomes the selection.
void moveOccurrence(AppState& state, const OccurrenceRef& ref, Date day);
// Adds a copy of the transaction (its series included) starting on the day.
void duplicateOccurrence(AppState& state, const OccurrenceRef& ref, Date day);
void pasteOnDay(AppState& state, Date day);
void togglePaid(AppState& state, const OccurrenceRef& ref);
void cutOccurrence(AppState& state, const OccurrenceRef& ref);
void copyOccurrence(AppState& state, const OccurrenceRef& ref);
// Opens Delete Recurring for a recurring transaction, else the "delete-tx"
// confirmation for the transaction-menu target.
void confirmDeleteTransaction(AppState& state, const OccurrenceRef& ref);

// Marks the one occurrence deleted; clears the selection either way.
void deleteOneOccurrence(AppState& state, const OccurrenceRef& ref);
// Deletes the transaction with all its adjustments; clears the selection
// either way.
void deleteWholeTransaction(AppState& state, int64_t transactionId);

}  // namespace qm
