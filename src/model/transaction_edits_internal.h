#pragma once
// The series split behind updateTransaction, open to the tests that check it
// apart from the edit that calls it. Callers use transaction_edits.h.
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

// Ends the stored series at index before the occurrence on d and starts e
// from it (or from newStart when startChanged). Raises IndexError for an
// index outside the list.
SplitResult splitSeries(LocalStore& store, size_t index, Transaction e, Date d, Date newStart, bool startChanged);

}  // namespace qm
