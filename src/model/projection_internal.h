#pragma once
// Steps shared by making a projection and bringing one up to date after
// edits.
#include "model/projection.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qm {

inline constexpr uint32_t kNoTransaction = std::numeric_limits<uint32_t>::max();
// Past this many notes, making the projection again costs less than an
// update, and no more are kept.
inline constexpr size_t kMaxProjectionNotes = 256;

// Account name to the scopes of the accounts of that name, and the room a
// transaction's shares are worked out in as it is placed.
struct ScopeNames {
    std::unordered_map<std::string_view, std::vector<uint32_t>> byName;
    std::vector<ScopeShare> shares;
};

ScopeNames scopeNames(const BudgetProjection& p);
int32_t projectionChunkOf(int64_t dayN);
inline int32_t clampDay(int64_t n)
{
    return int32_t(std::clamp<int64_t>(n, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}
// The earlier of an adjustment's two days; its original one when deleted.
inline int64_t earlierDay(const ProjectedAdjustment& a)
{
    return a.newN == std::numeric_limits<int32_t>::min() ? a.originalN : std::min(a.originalN, a.newN);
}
void collectLists(const Budget& b, const void* (&data)[4], size_t (&size)[4]);
// The kept sums of these day ranges no longer hold.
void forgetDays(const BudgetProjection& p, std::vector<std::pair<int64_t, int64_t>> days);
// Fills every scope's anchors from the budget's list.
void projectAnchors(BudgetProjection& p, const Budget& b);
// Gives transaction i (whose slots exist) its shares, its span and, when it
// recurs, its series slot, from t. One-offs and moved days are the caller's.
void placeTransaction(BudgetProjection& p, uint32_t i, const Transaction& t, ScopeNames& names);
// Gives transaction i (placed alike) the slot of t's category, which an
// edit may change without moving any figure.
void placeCategory(BudgetProjection& p, uint32_t i, const Transaction& t);
// Works the categories' colours out again from the budget's categories.
void recolorCategories(BudgetProjection& p, const Budget& b);
// The days transaction i's own dates can fall on as placed (a one-off's day
// twice), clamped to day numbers.
std::pair<int32_t, int32_t> placedSpan(const BudgetProjection& p, uint32_t i);
// Drops the series slot of transaction i, which no scope lists any more.
void eraseSeries(BudgetProjection& p, uint32_t i);
// Whether placing t as transaction i would give what i has now: a series
// placed with the same days, amount, rule and shares.
bool placedAlike(const BudgetProjection& p, uint32_t i, const Transaction& t, ScopeNames& names);
// Whether d is a real calendar day that day numbers give back as it is.
bool isPlainDate(Date d);
// Sorts the adjustments begin..end of one transaction by their earlier day
// (then list order), widening p.adjustmentReach to cover them.
void sortAdjustmentGroup(BudgetProjection& p, uint32_t begin, uint32_t end);
// Where the record of that id sits in its list (0: transactions, 1:
// adjustments) as p knows it: as it was made, or added since.
std::optional<uint32_t> knownIndex(const BudgetProjection& p, int list, int64_t id);
// Brings p up to date with the budget from its notes; false when the notes
// do not account for what changed, and p must be made again.
bool updateProjection(BudgetProjection& p, const Budget& b, int32_t revision);

}  // namespace qm
