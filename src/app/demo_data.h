#pragma once
// A typical month of content for the guided tour and automated runs: a
// salary, rent, bills, a subscription, weekly groceries, a few one-off
// expenses, two adjusted occurrences and balance anchors, all marked as
// demo and journaled so that the store's demo removal can take them out.
#include <cstdint>

#include "model/store.h"

namespace qm {

// Replaces earlier demo records; the reference date is (year, month, day).
// Marks the store changed; the caller saves it.
void loadDemoData(LocalStore& store, int32_t year, int32_t month, int32_t day);

}  // namespace qm
