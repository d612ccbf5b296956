#pragma once
// The budget's figures, worked out once per change of the budget and read by
// every view. A view redraws many times a second, so a figure must cost in
// proportion to the days it shows, not to the whole budget: the projection
// sorts the transactions so that a range of days reaches only those that can
// fall in it, and computes each scope's day-by-day balances in chunks of days
// when first asked, keeping them.
//
// Every balance of the program is one walk over days: the day's income and
// expense (each summed in list order), added to the day before, replaced by
// an anchor at the end of its day. balanceAt, the ledgers, the account list,
// the reports and the search all read that walk, so their figures agree to
// the last bit.
//
// A projection points into the budget it was made from and holds while that
// budget is unchanged. The store's follows its edits: each journaled change
// leaves a note of the record it touched, and storeProjection brings the
// projection up to date from the notes, working out again only the chunks of
// days and the scopes those records reach. A change without a note (a sync,
// a list changed around the count) remakes it. Reading one fills its caches,
// so one thread reads it at a time.
#include "core/large_allocator.h"
#include "model/balances.h"
#include "model/budget.h"
#include "model/journal.h"
#include "model/ledger.h"
#include "model/occurrences.h"
#include "model/recurrence.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qm {

struct LocalStore;
struct RangeWalk;
struct SearchRoom;
struct ReportRoom;
struct LedgerRoom;

// One day of one scope.
struct ScopeDay {
    double income = 0;    // positive changes of the day
    double expense = 0;   // negative changes, as a positive sum
    double start = 0;     // the balance at the end of the day before
    double computed = 0;  // the end balance the plan gives, before an anchor
    double balance = 0;   // at the end of the day: an anchor's amount on its day
    bool anchored = false;
    bool counted = false;  // the day's amounts changed the balance
};

// Where a scope's walk stands at the start of a day.
struct WalkState {
    double balance = 0;
    // Amounts change the balance: from the first counted day on, or after
    // an anchor.
    bool counting = false;
};

// A transaction's amounts count for a scope with a sign.
struct ScopeShare {
    uint32_t scope : 31 = 0;
    uint32_t negative : 1 = 0;  // counted with the opposite sign

    double sign() const { return negative ? -1 : 1; }
};

struct ProjectedSeries {
    uint32_t transaction = 0;
    int64_t firstN = 0;  // no occurrence falls outside these days
    int64_t lastN = 0;
    SeriesStep step;
    // What its walk reads of the transaction, which also tells apart an
    // edit of a series that moves no figure (a description, a category).
    Date start;
    int64_t endN = kNoEnd;
    double amount = 0;
    uint8_t flags = 0;
};

// What a walk over a range reads of one transaction, kept in one small
// record per transaction: the transactions themselves are large and lie far
// apart in a large budget, and a range reaches many of them.
struct alignas(32) ProjectedTransaction {
    static constexpr uint32_t kSharesApart = 3;        // shareCount: in BudgetProjection::shares
    static constexpr uint32_t kNoCategory = 0xFFFFFF;  // category: not in the table, read its text

    double amount = 0;
    // A one-off's day number; a series' index in BudgetProjection::series.
    int32_t dayOrSeries = 0;
    // Its adjustments in BudgetProjection::adjustments, first and one past
    // the last.
    uint32_t adjustmentsBegin = 0;
    uint32_t adjustmentsEnd = 0;
    uint32_t category : 24 = 0;  // its slot in BudgetProjection::categorySlots
    uint32_t shareCount : 2 = 0;
    uint32_t recurring : 1 = 0;
    // Most transactions count in two scopes at most (all accounts and their
    // account, or the two sides of a transfer): their shares are kept here.
    // With more, the scope fields of the two hold the first and one past
    // the last in BudgetProjection::shares.
    ScopeShare inlineShares[2] = {};

    bool isSeries() const { return recurring != 0; }
};
static_assert(sizeof(ProjectedTransaction) == 32);

struct ProjectedScope {
    AccountScope scope;
    // The scope's anchors by day; of several on one day, the last in the list.
    std::vector<std::pair<int32_t, double>> anchors;
    std::vector<uint32_t> series;  // indexes into BudgetProjection::series
};

using ProjectedAdjustment = AdjustmentDays;

// Day numbers are grouped in chunks of this many days, aligned on multiples.
inline constexpr int32_t kProjectionChunkDays = 64;

// Record ids in ascending order, each with its record's index in its list.
struct IdIndex {
    LargeVector<int64_t> ids;
    LargeVector<uint32_t> at;
};

// Looks up a std::string key by a string_view without making a string.
struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// A record an edit changed since the projection was last brought up to date.
struct ProjectionNote {
    Entity entity = entPrefs;
    OpKind kind = opUpdate;
    int64_t id = 0;
};

struct BudgetProjection {
    const Budget* budget = nullptr;
    int32_t revision = 0;  // the store's change count it is up to date with
    int32_t madeAt = 0;    // the change count it was made at; updates keep it
    // The lists it points into, to notice a change that bypassed the count.
    const void* listData[4] = {};
    size_t listSize[4] = {};

    // Scope 0 is all accounts, scope i + 1 the budget's i-th account. The
    // lists as long as the budget's are LargeVector, read scattered by every
    // view.
    std::vector<ProjectedScope> scopes;
    std::unordered_map<int64_t, uint32_t> scopeOfId;
    std::vector<ProjectedSeries> series;                // every recurring transaction, in list order
    LargeVector<ProjectedTransaction> transactions;     // one per transaction of the list
    std::vector<ScopeShare> shares;                     // of transactions that count in more than two scopes
    LargeVector<std::pair<int32_t, uint32_t>> oneOffs;  // (day number, transaction) by day
    LargeVector<std::pair<int32_t, uint32_t>> movedIn;  // (new day, transaction) of adjustments that show
    // The adjustments of each transaction, with their days at hand, so that
    // finding those acting on a range never reaches into the list itself;
    // a transaction's record says where its own are. Each transaction's are
    // sorted by the earlier of their two days, so that a range's are found
    // by a search rather than a pass over all of them; none moves an
    // occurrence further than adjustmentReach days.
    LargeVector<ProjectedAdjustment> adjustments;
    int64_t adjustmentReach = 0;
    // A record dates something on no real calendar day (records made in
    // code can): the rows then take their dates from the records rather
    // than from day numbers.
    bool oddDates = false;
    CategoryIndex colors;
    // The transactions' category texts, each once, to the slots their
    // records hold; per slot, its colour's number among keptColors(), which
    // outlives the projection.
    std::unordered_map<std::string, uint32_t, TextHash, std::equal_to<>> categorySlots;
    std::vector<uint32_t> categoryColors;

    // What an update needs to find the records the notes name: (id, index)
    // by id of the records it was made from, those added since, and per
    // adjustment the transaction it belongs to (or none).
    IdIndex transactionIds;
    IdIndex adjustmentIds;
    std::vector<std::pair<int64_t, uint32_t>> addedIds[2];  // transactions, adjustments
    LargeVector<uint32_t> adjustmentOwner;
    std::vector<int64_t> orphanOwners;  // sorted transaction ids that adjustments name but no transaction has
    bool sharedIds = false;             // two records of a list share an id: notes cannot tell them apart
    size_t unused = 0;                  // entries of shares and adjustments that updates left behind
    int32_t notedTo = 0;                // the notes account for every change up to this count
    std::vector<ProjectionNote> notes;

    // Filled when first asked.
    // Income and expense per scope and day of a chunk, at an offset into the
    // sums of the chunks computed with it. A walk needs only the days from
    // where it starts (an anchor, a checkpoint) to where it stops, so only
    // the days from..to of the chunk may be filled.
    struct ChunkSums {
        std::shared_ptr<const std::vector<double>> batch;
        size_t offset = 0;
        int32_t from = 0;  // day numbers
        int32_t to = 0;
    };
    mutable std::unordered_map<int32_t, ChunkSums> chunkSums;
    mutable size_t chunkSumsSize = 0;                                         // doubles held there
    mutable std::vector<std::unordered_map<int32_t, WalkState>> checkpoints;  // per scope, at a chunk's start
    // The last few ledgers made, most recent last: a view asks for the same
    // days many times a second, and working out which occurrences fall on
    // them costs far more than handing one out (shared, or copied). Any
    // change of the projection drops them; one handed out shared lives on
    // with its holder.
    struct KeptLedger {
        uint32_t scope = 0;
        int64_t fromN = 0;
        int64_t toN = 0;
        int64_t referenceN = 0;
        std::shared_ptr<const Ledger> ledger;
    };
    mutable std::vector<KeptLedger> keptLedgers;
    // The room the walks over ranges work in (model/range_walk.h), and
    // what the search, the report rows and the ledgers gather in, each
    // made when first asked. Kept from one walk to the next, as a page
    // walks at every key or frame and a large budget's walk would otherwise
    // ask the system for megabytes each time; one thread reads a projection
    // at a time, so one room serves every walk. A projection of the store
    // made anew takes over the old one's.
    struct WalkRooms {
        std::shared_ptr<RangeWalk> walk;
        std::shared_ptr<SearchRoom> search;
        std::shared_ptr<ReportRoom> report;
        std::shared_ptr<LedgerRoom> ledger;
    };
    mutable WalkRooms rooms;
};

using BudgetProjectionPtr = std::shared_ptr<BudgetProjection>;

BudgetProjection projectBudget(const Budget& b, int32_t revision = 0);
// The store's projection as of its change count: kept, updated from the
// notes of the changes since, or remade.
const BudgetProjection& storeProjection(const LocalStore& store);
// Called by every journaled change, right after it moved the change count.
void noteChange(const LocalStore& store, OpKind kind, Entity entity, int64_t id);

// The scope of an account id: its account, or all accounts for 0 and for an
// id no account has.
uint32_t scopeIndex(const BudgetProjection& p, int64_t accountId);
// The scope's balance at the end of a day, unrounded.
double projectedBalance(const BudgetProjection& p, uint32_t scope, int64_t dayN);
// The scope's days fromN..toN (fromN <= toN).
void projectedDays(const BudgetProjection& p, uint32_t scope, int64_t fromN, int64_t toN, std::vector<ScopeDay>& out);
// Whether the transaction's amounts change the scope's balance.
bool countsIn(const BudgetProjection& p, uint32_t transaction, uint32_t scope);
// The colour of a transaction's category, "" when unknown.
std::string projectedColor(const BudgetProjection& p, const Transaction& t);
// The same as its number among keptColors(), for transaction i of the list.
uint32_t colorIndex(const BudgetProjection& p, uint32_t transaction);
// The category slot of a text, which every transaction of that very
// category has; none when no transaction has it.
std::optional<uint32_t> categorySlot(const BudgetProjection& p, std::string_view category);
// Whether transaction i's category is that text, given its slot.
bool hasCategory(const BudgetProjection& p, uint32_t transaction, std::optional<uint32_t> slot, std::string_view text);
// The shares of a transaction.
std::span<const ScopeShare> sharesOf(const BudgetProjection& p, const ProjectedTransaction& t);
// The sign its amounts take when shown in a scope (the receiving side of a
// transfer shows them negated) and the sign of what they change in the
// scope's balance (nothing for a transfer seen from all accounts), as
// AccountScope::displaySign and signedAmount give them, from the shares.
double displaySignIn(const BudgetProjection& p, const ProjectedTransaction& t, uint32_t scope);
double balanceSignIn(const BudgetProjection& p, const ProjectedTransaction& t, uint32_t scope);

}  // namespace qm
