#pragma once
// A small budget on the seeded accounts, made through the model's edits so
// that its ids are local ones, as on a device before its first sync.
#include <cstdint>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "model/budget.h"
#include "model/ledger.h"

namespace qm::testing {

struct SampleBudget {
    int64_t checking = 0;  // account ids
    int64_t savings = 0;
    int64_t coffee = 0;    // one-off expense on 2025-03-12, Checking
    int64_t rent = 0;      // monthly on the 1st from 2025-01-01, Checking
    int64_t lunch = 0;     // daily from 2025-03-01, Checking
    int64_t transfer = 0;  // one-off 2025-03-14, Checking to Savings
};

SampleBudget addSampleBudget(AppState& state);

// The transaction's occurrences in from..to, as the model expands them.
struct Shown {
    Date date;
    bool paid = false;
    int64_t adjustmentId = 0;
};
std::vector<Shown> occurrencesOf(const Budget& b, int64_t transactionId, Date from, Date to);
std::vector<Shown> occurrencesOn(const Budget& b, int64_t transactionId, Date day);

}  // namespace qm::testing
