#pragma once
// What the sync client does to the open store: send the journal, take the
// service's ids for records made here, drop acknowledged ops, install the
// service's snapshot, and, after sign-in, upload the budget kept on this
// device as a new one or merge it into the account's. Saving stays with the
// caller.
#include "model/journal.h"
#include "model/store.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace qm {

struct IdPair {
    int64_t oldId = 0;
    int64_t newId = 0;
};

struct MergeCounts {
    int32_t transactionsAdded = 0;
    int32_t anchorsSet = 0;
    int32_t accountsAdded = 0;
    int32_t categoriesAdded = 0;
};

// The ops oldest first, as sent: no "at"; transaction and category data
// name their icon in "icon_name".
Json journalToJson(const LocalStore& store);
// Keeps only the ops after seq.
void opsAfter(LocalStore& store, int32_t seq);
// The new id of the first pair for id, or id itself.
int64_t remapId(int64_t id, const std::vector<IdPair>& mapping);
// Puts the service's ids in place of one entity kind's ids, in the records,
// the references to them and the journal's ops (not in the ops' data).
void remapDataIds(LocalStore& store, Entity entity, const std::vector<IdPair>& mapping);
void replaceBudget(LocalStore& store, BudgetPtr budget, std::string etag);
// Whether the budget holds plans of the user's own, not only defaults and
// demonstration records.
bool hasRealData(const LocalStore& store);
// Gives every server id a fresh local id and journals the whole budget as
// new. The store must then be saved and reopened before anything is added.
void rekeyForUpload(LocalStore& store);
// Adds other's accounts and categories that the store lacks by name, its
// transactions, adjustments and anchors (demonstration records left out),
// each with a new local id and a journal op.
MergeCounts mergeBudget(LocalStore& store, const Budget& other);

}  // namespace qm
