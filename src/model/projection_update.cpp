// Bringing a projection up to date after edits. Each noted record is taken
// out of the projection as it was and put back as it is; the days both
// versions reach lose their kept sums, and the scopes both versions count in
// lose the walk checkpoints past the first such day. Everything else the
// projection worked out stays, and what is worked out again goes through the
// same steps as in a fresh projection, so the figures match it to the bit.
#include "core/page_writes.h"
#include "model/budget.h"
#include "model/projection.h"
#include "model/projection_internal.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace qm {

namespace {

// Past this (and half the lists), making the projection again gives back
// the room updates left behind.
constexpr size_t kMaxUnusedFloor = size_t(1) << 16;

constexpr int32_t kNoDay = std::numeric_limits<int32_t>::min();

using AddedIds = std::vector<std::pair<int64_t, uint32_t>>;

// What changed: day ranges whose sums differ, and per scope the first day
// from which its walk may differ.
struct Touched {
    std::vector<std::pair<int64_t, int64_t>> days;
    std::vector<int64_t> scopeFrom;

    void scope(uint32_t s, int64_t day) { scopeFrom[s] = std::min(scopeFrom[s], day); }
};

std::optional<uint32_t> findIndex(const IdIndex& sorted, const AddedIds& added, int64_t id)
{
    auto it = std::lower_bound(sorted.ids.begin(), sorted.ids.end(), id);
    if (it != sorted.ids.end() && *it == id)
        return sorted.at[size_t(it - sorted.ids.begin())];
    for (const auto& [addedId, index] : added)
        if (addedId == id)
            return index;
    return std::nullopt;
}

// The transaction's occurrences fall within its span or on the days its
// adjustments moved them to; they count in the scopes of its shares.
void touchTransaction(const BudgetProjection& p, uint32_t i, Touched& touched)
{
    const auto [firstN, lastN] = placedSpan(p, i);
    const ProjectedTransaction& t = p.transactions[i];
    int64_t earliest = firstN;
    touched.days.emplace_back(firstN, lastN);
    for (uint32_t k = t.adjustmentsBegin; k < t.adjustmentsEnd; ++k) {
        const int32_t n = p.adjustments[k].newN;
        if (n != kNoDay) {
            touched.days.emplace_back(n, n);
            earliest = std::min<int64_t>(earliest, n);
        }
    }
    for (const ScopeShare& share : sharesOf(p, t))
        touched.scope(share.scope, earliest);
}

// The entries of p.shares that transaction i no longer uses once replaced.
size_t sharesApart(const BudgetProjection& p, uint32_t i)
{
    const ProjectedTransaction& t = p.transactions[i];
    return t.shareCount == ProjectedTransaction::kSharesApart ? sharesOf(p, t).size() : 0;
}

// An adjustment acts on the occurrence of its original day and shows it on
// its new day.
void touchAdjustment(const BudgetProjection& p, uint32_t owner, const ProjectedAdjustment& a, Touched& touched)
{
    int64_t earliest = a.originalN;
    touched.days.emplace_back(a.originalN, a.originalN);
    if (a.newN != kNoDay) {
        touched.days.emplace_back(a.newN, a.newN);
        earliest = std::min<int64_t>(earliest, a.newN);
    }
    for (const ScopeShare& share : sharesOf(p, p.transactions[owner]))
        touched.scope(share.scope, earliest);
}

void dropSeriesFromScopes(BudgetProjection& p, uint32_t i)
{
    if (!p.transactions[i].isSeries())
        return;
    const int32_t slot = p.transactions[i].dayOrSeries;
    for (const ScopeShare& share : sharesOf(p, p.transactions[i])) {
        if (share.scope == 0)
            continue;
        std::vector<uint32_t>& list = p.scopes[share.scope].series;
        auto it = std::find(list.begin(), list.end(), uint32_t(slot));
        if (it != list.end())
            list.erase(it);
    }
}

// The days outside the transaction's span that its adjustments show it on,
// taken out of movedIn (add false) or put in.
void moveIn(BudgetProjection& p, uint32_t i, std::pair<int32_t, int32_t> span, const ProjectedAdjustment& a, bool add)
{
    const auto [firstN, lastN] = span;
    if (a.newN == kNoDay || (a.newN >= firstN && a.newN <= lastN))
        return;
    const std::pair<int32_t, uint32_t> item(a.newN, i);
    auto it = std::lower_bound(p.movedIn.begin(), p.movedIn.end(), item);
    if (add)
        p.movedIn.insert(it, item);
    else if (it != p.movedIn.end() && *it == item)
        p.movedIn.erase(it);
}

void moveIn(BudgetProjection& p, uint32_t i, const ProjectedAdjustment& a, bool add)
{
    moveIn(p, i, placedSpan(p, i), a, add);
}

void moveIn(BudgetProjection& p, uint32_t i, std::pair<int32_t, int32_t> span, bool add)
{
    for (uint32_t k = p.transactions[i].adjustmentsBegin; k < p.transactions[i].adjustmentsEnd; ++k)
        moveIn(p, i, span, p.adjustments[k], add);
}

// The transaction's adjustments again, without the one at list index drop
// and with add, in their order, at the end of the list.
void regroup(BudgetProjection& p, uint32_t owner, uint32_t drop, const ProjectedAdjustment* add)
{
    const uint32_t begin = p.transactions[owner].adjustmentsBegin, end = p.transactions[owner].adjustmentsEnd;
    // Copied within the list, which is first given the room, so that no
    // copy reads from a list that has moved.
    LargeVector<ProjectedAdjustment>& list = p.adjustments;
    const size_t needed = list.size() + (end - begin) + 1;
    if (list.capacity() < needed)
        list.reserve(std::max(needed, list.capacity() * 2));
    const uint32_t at = uint32_t(list.size());
    for (uint32_t k = begin; k < end; ++k)
        if (list[k].index != drop)
            list.push_back(list[k]);
    if (add)
        list.push_back(*add);
    p.unused += end - begin;
    p.transactions[owner].adjustmentsBegin = at;
    p.transactions[owner].adjustmentsEnd = uint32_t(p.adjustments.size());
    sortAdjustmentGroup(p, at, uint32_t(p.adjustments.size()));
}

// An adjustment changed but kept by its transaction is replaced where its
// group holds it. Its group written again at the end of the list instead
// would leave the old one behind on every edit, and repeated edits of one
// occurrence would soon have the projection made anew to reclaim the room.
bool replaceInGroup(BudgetProjection& p, const Budget& b, uint32_t owner, uint32_t at, Touched& touched)
{
    const TransactionAdjustment& a = b.transaction_adjustments[at];
    const std::optional<uint32_t> now = knownIndex(p, 0, a.transaction_id);
    if (!now || *now != owner || owner >= b.transactions.size() || b.transactions[owner].id != a.transaction_id)
        return false;
    const uint32_t begin = p.transactions[owner].adjustmentsBegin, end = p.transactions[owner].adjustmentsEnd;
    for (uint32_t k = begin; k < end; ++k) {
        if (p.adjustments[k].index != at)
            continue;
        touchAdjustment(p, owner, p.adjustments[k], touched);
        moveIn(p, owner, p.adjustments[k], false);
        p.adjustments[k] = adjustmentDays(a, at);
        p.oddDates = p.oddDates || !isPlainDate(a.new_date);
        sortAdjustmentGroup(p, begin, end);
        const ProjectedAdjustment* placed = std::find_if(p.adjustments.data() + begin, p.adjustments.data() + end,
            [&](const ProjectedAdjustment& d) { return d.index == at; });
        moveIn(p, owner, *placed, true);
        touchAdjustment(p, owner, *placed, touched);
        return true;
    }
    return false;
}

// Takes transaction i out of the one-offs or its scopes' series as it was
// placed, noting what it reached.
void takeOut(BudgetProjection& p, uint32_t i, Touched& touched)
{
    touchTransaction(p, i, touched);
    if (!p.transactions[i].isSeries()) {
        const std::pair<int32_t, uint32_t> item(p.transactions[i].dayOrSeries, i);
        auto it = std::lower_bound(p.oneOffs.begin(), p.oneOffs.end(), item);
        if (it != p.oneOffs.end() && *it == item)
            p.oneOffs.erase(it);
    }
    dropSeriesFromScopes(p, i);
    p.unused += sharesApart(p, i);
}

// Takes transaction i out as it was (known: it was in the projection) and
// puts it back as it is.
void replaceTransaction(
    BudgetProjection& p, uint32_t i, bool known, const Transaction& t, ScopeNames& names, Touched& touched)
{
    if (known && placedAlike(p, i, t, names)) {
        // Its figures stay; its colour may not.
        placeCategory(p, i, t);
        return;
    }
    const std::pair<int32_t, int32_t> span = known ? placedSpan(p, i) : std::pair<int32_t, int32_t>();
    if (known)
        takeOut(p, i, touched);
    placeTransaction(p, i, t, names);
    if (!t.is_recurring) {
        const std::pair<int32_t, uint32_t> item(p.transactions[i].dayOrSeries, i);
        p.oneOffs.insert(std::lower_bound(p.oneOffs.begin(), p.oneOffs.end(), item), item);
    }
    // Which of its adjustments show outside its days changes with them.
    if (const std::pair<int32_t, int32_t> now = placedSpan(p, i); known && now != span) {
        moveIn(p, i, span, false);
        moveIn(p, i, now, true);
    }
    touchTransaction(p, i, touched);
}

// Where the records of a list go when those at the sorted positions
// `removed` leave it: each moves up by the number removed before it, and a
// removed one goes nowhere (kNoTransaction). Lists are renumbered entry by
// entry in scattered order, so the lookup is one read of a table per block
// of positions, small enough to stay in the nearest cache however long the
// list: the count removed before the block and whether any falls in it.
class Renumbering {
public:
    Renumbering(size_t had, const std::vector<uint32_t>& removed)
        : m_had(had)
        , m_removed(removed)
        , m_blocks((had >> kBlockBits) + 1)
    {
        size_t r = 0;
        for (size_t block = 0; block < m_blocks.size(); ++block) {
            while (r < removed.size() && (removed[r] >> kBlockBits) < block)
                ++r;
            const bool within = r < removed.size() && (removed[r] >> kBlockBits) == block;
            m_blocks[block] = uint32_t(r) << 1 | uint32_t(within);
        }
    }

    uint32_t operator()(uint32_t i) const
    {
        if (i >= m_had)
            return kNoTransaction;
        const uint32_t block = m_blocks[i >> kBlockBits];
        if (!(block & 1)) [[likely]]
            return i - (block >> 1);
        // The block holds a removed position: count those before i from
        // the first in the block.
        size_t r = block >> 1;
        while (r < m_removed.size() && m_removed[r] < i)
            ++r;
        return r < m_removed.size() && m_removed[r] == i ? kNoTransaction : i - uint32_t(r);
    }

private:
    // Small blocks keep lookups in the blocks that hold a removed position
    // rare; the table still fits the nearest cache for lists of hundreds of
    // thousands.
    static constexpr int kBlockBits = 6;
    size_t m_had;
    const std::vector<uint32_t>& m_removed;
    std::vector<uint32_t> m_blocks;
};

// Closes up the list over the removed positions (sorted), moving each run
// of kept entries once.
template <class T, class Alloc>
void closeUp(std::vector<T, Alloc>& list, const std::vector<uint32_t>& removed)
{
    if (removed.empty() || removed.front() >= list.size())
        return;
    prepareWrites(list.data() + removed.front(), (list.size() - removed.front()) * sizeof(T));
    size_t kept = removed.front();
    for (size_t r = 0; r < removed.size() && removed[r] < list.size(); ++r) {
        const size_t from = removed[r] + 1;
        const size_t to = r + 1 < removed.size() ? std::min<size_t>(removed[r + 1], list.size()) : list.size();
        if (from < to) {
            std::copy(list.begin() + std::ptrdiff_t(from), list.begin() + std::ptrdiff_t(to),
                list.begin() + std::ptrdiff_t(kept));
            kept += to - from;
        }
    }
    list.resize(kept);
}

// Renumbers the index of each item as `to` gives it, dropping items whose
// record went; the items keep their order.
template <class List, class Index>
void renumberItems(List& list, const Renumbering& to, Index index)
{
    prepareWrites(list.data(), list.size() * sizeof(list[0]));
    // Usually nothing goes: items are renumbered in place up to the first
    // that does, and only those after it move.
    size_t k = 0;
    for (; k < list.size(); ++k) {
        const uint32_t now = to(index(list[k]));
        if (now == kNoTransaction)
            break;
        index(list[k]) = now;
    }
    size_t kept = k;
    for (; k < list.size(); ++k) {
        const uint32_t now = to(index(list[k]));
        if (now != kNoTransaction) {
            list[kept] = list[k];
            index(list[kept++]) = now;
        }
    }
    list.resize(kept);
}

void renumberIds(IdIndex& index, const Renumbering& to)
{
    prepareWrites(index.ids.data(), index.ids.size() * sizeof(int64_t));
    prepareWrites(index.at.data(), index.at.size() * sizeof(uint32_t));
    size_t kept = 0;
    for (size_t k = 0; k < index.ids.size(); ++k) {
        const uint32_t now = to(index.at[k]);
        if (now != kNoTransaction) {
            index.ids[kept] = index.ids[k];
            index.at[kept++] = now;
        }
    }
    index.ids.resize(kept);
    index.at.resize(kept);
}

// Takes out the transactions and adjustments at the removed positions of
// the lists the projection knows (sorted), as they were, and renumbers what
// follows them as the lists now do. Each list is passed over once, however
// many records went.
void dropRemoved(BudgetProjection& p, const Budget& b, const std::vector<uint32_t>& transactions,
    const std::vector<uint32_t>& adjustments, Touched& touched)
{
    // Their one-off days and the days their adjustments show them on go
    // with the renumbering below.
    for (uint32_t e : transactions) {
        touchTransaction(p, e, touched);
        dropSeriesFromScopes(p, e);
        p.unused += sharesApart(p, e);
        if (p.transactions[e].isSeries())
            eraseSeries(p, e);
        p.unused += p.transactions[e].adjustmentsEnd - p.transactions[e].adjustmentsBegin;
    }
    auto removedTransaction = [&](uint32_t i) {
        return std::binary_search(transactions.begin(), transactions.end(), i);
    };
    for (uint32_t f : adjustments) {
        const uint32_t owner = p.adjustmentOwner[f];
        if (owner == kNoTransaction || removedTransaction(owner))
            continue;
        for (uint32_t k = p.transactions[owner].adjustmentsBegin; k < p.transactions[owner].adjustmentsEnd; ++k)
            if (p.adjustments[k].index == f) {
                touchAdjustment(p, owner, p.adjustments[k], touched);
                moveIn(p, owner, p.adjustments[k], false);
            }
        regroup(p, owner, f, nullptr);
    }

    if (!adjustments.empty()) {
        const Renumbering toA(p.adjustmentOwner.size(), adjustments);
        closeUp(p.adjustmentOwner, adjustments);
        prepareWrites(p.adjustments.data(), p.adjustments.size() * sizeof(ProjectedAdjustment));
        for (ProjectedAdjustment& a : p.adjustments) {
            const uint32_t now = toA(a.index);
            a.index = now != kNoTransaction ? now : 0;
        }
        renumberIds(p.adjustmentIds, toA);
        renumberItems(p.addedIds[1], toA, [](auto& e) -> uint32_t& { return e.second; });
    }
    if (transactions.empty())
        return;
    const Renumbering toT(p.transactions.size(), transactions);
    closeUp(p.transactions, transactions);
    for (ProjectedSeries& s : p.series)
        s.transaction = toT(s.transaction);
    for (auto* list : {&p.oneOffs, &p.movedIn})
        renumberItems(*list, toT, [](auto& e) -> uint32_t& { return e.second; });
    renumberIds(p.transactionIds, toT);
    renumberItems(p.addedIds[0], toT, [](auto& e) -> uint32_t& { return e.second; });
    prepareWrites(p.adjustmentOwner.data(), p.adjustmentOwner.size() * sizeof(uint32_t));
    for (size_t k = 0; k < p.adjustmentOwner.size(); ++k) {
        uint32_t& owner = p.adjustmentOwner[k];
        const uint32_t was = owner;
        owner = toT(was);
        // An adjustment that outlived its transaction waits for its id.
        if (owner == kNoTransaction && was != kNoTransaction && k < b.transaction_adjustments.size()) [[unlikely]] {
            const int64_t id = b.transaction_adjustments[k].transaction_id;
            auto it = std::lower_bound(p.orphanOwners.begin(), p.orphanOwners.end(), id);
            if (it == p.orphanOwners.end() || *it != id)
                p.orphanOwners.insert(it, id);
        }
    }
}

// Anchors are few: all are placed again, and a scope whose list changed
// walks anew from the first day where the lists part.
void replaceAnchors(BudgetProjection& p, const Budget& b, Touched& touched)
{
    std::vector<std::vector<std::pair<int32_t, double>>> before(p.scopes.size());
    for (size_t s = 0; s < p.scopes.size(); ++s)
        before[s] = std::move(p.scopes[s].anchors);
    projectAnchors(p, b);
    for (uint32_t s = 0; s < p.scopes.size(); ++s) {
        const auto& was = before[s];
        const auto& now = p.scopes[s].anchors;
        size_t k = 0;
        while (k < was.size() && k < now.size() && was[k] == now[k])
            ++k;
        if (k < was.size())
            touched.scope(s, was[k].first);
        if (k < now.size())
            touched.scope(s, now[k].first);
    }
}

// Forgets the sums of the days touched and the checkpoints of each scope
// past the chunk of its first changed day.
void forget(const BudgetProjection& p, const Touched& touched)
{
    forgetDays(p, touched.days);
    for (size_t s = 0; s < touched.scopeFrom.size(); ++s) {
        if (touched.scopeFrom[s] == std::numeric_limits<int64_t>::max())
            continue;
        const int32_t chunk = projectionChunkOf(touched.scopeFrom[s]);
        std::erase_if(p.checkpoints[s], [&](const auto& entry) { return entry.first > chunk; });
    }
}

}  // namespace

std::optional<uint32_t> knownIndex(const BudgetProjection& p, int list, int64_t id)
{
    return findIndex(list == 0 ? p.transactionIds : p.adjustmentIds, p.addedIds[list], id);
}

bool updateProjection(BudgetProjection& p, const Budget& b, int32_t revision)
{
    if (p.sharedIds || p.unused > kMaxUnusedFloor + (p.shares.size() + p.adjustments.size()) / 2)
        return false;
    const void* data[4];
    size_t size[4];
    collectLists(b, data, size);
    // The accounts make the scopes: a change there remakes everything.
    if (data[3] != p.listData[3] || size[3] != p.listSize[3])
        return false;
    // Per list: the records changed or added, and those removed.
    std::vector<int64_t> noted[2], gone[2];
    bool anchors = false, categories = false;
    for (const ProjectionNote& note : p.notes) {
        switch (note.entity) {
        case entTransaction:
            (note.kind == opDelete ? gone : noted)[0].push_back(note.id);
            break;
        case entAdjustment:
            (note.kind == opDelete ? gone : noted)[1].push_back(note.id);
            break;
        case entAnchor:
            anchors = true;
            break;
        case entCategory:
            categories = true;
            break;
        case entAccount:
            return false;
        case entPrefs:
            break;
        }
    }
    for (std::vector<int64_t>* ids : {&noted[0], &noted[1], &gone[0], &gone[1]}) {
        std::sort(ids->begin(), ids->end());
        ids->erase(std::unique(ids->begin(), ids->end()), ids->end());
    }
    Touched touched;
    touched.scopeFrom.assign(p.scopes.size(), std::numeric_limits<int64_t>::max());
    // Records are changed in place, added at the end or removed, which
    // moves those after them up.
    std::vector<uint32_t> removed[2];
    for (int l = 0; l < 2; ++l) {
        std::erase_if(noted[l], [&](int64_t id) { return std::binary_search(gone[l].begin(), gone[l].end(), id); });
        // One added and removed since is not known.
        for (int64_t id : gone[l])
            if (const std::optional<uint32_t> i =
                    findIndex(l == 0 ? p.transactionIds : p.adjustmentIds, p.addedIds[l], id))
                removed[l].push_back(*i);
        std::sort(removed[l].begin(), removed[l].end());
    }
    if (size[0] + removed[0].size() < p.transactions.size() || size[1] + removed[1].size() < p.adjustmentOwner.size()
        || (!anchors && (data[2] != p.listData[2] || size[2] != p.listSize[2])))
        return false;
    if (!removed[0].empty() || !removed[1].empty())
        dropRemoved(p, b, removed[0], removed[1], touched);
    const size_t hadTransactions = p.transactions.size(), hadAdjustments = p.adjustmentOwner.size();
    for (size_t i = hadTransactions; i < size[0]; ++i) {
        const int64_t id = b.transactions[i].id;
        // Adjustments waiting for a transaction of that id would join it.
        if (!std::binary_search(noted[0].begin(), noted[0].end(), id) || findIndex(p.transactionIds, p.addedIds[0], id)
            || std::binary_search(p.orphanOwners.begin(), p.orphanOwners.end(), id))
            return false;
        p.addedIds[0].emplace_back(id, uint32_t(i));
    }
    for (size_t i = hadAdjustments; i < size[1]; ++i) {
        const int64_t id = b.transaction_adjustments[i].id;
        if (!std::binary_search(noted[1].begin(), noted[1].end(), id) || findIndex(p.adjustmentIds, p.addedIds[1], id))
            return false;
        p.addedIds[1].emplace_back(id, uint32_t(i));
    }
    // Every noted record is still where the projection has it.
    std::vector<uint32_t> transactions, adjustmentsAt;
    for (int64_t id : noted[0]) {
        const std::optional<uint32_t> i = findIndex(p.transactionIds, p.addedIds[0], id);
        if (!i || *i >= size[0] || b.transactions[*i].id != id)
            return false;
        transactions.push_back(*i);
    }
    for (int64_t id : noted[1]) {
        const std::optional<uint32_t> i = findIndex(p.adjustmentIds, p.addedIds[1], id);
        if (!i || *i >= size[1] || b.transaction_adjustments[*i].id != id)
            return false;
        adjustmentsAt.push_back(*i);
    }

    p.transactions.resize(size[0]);
    p.adjustmentOwner.resize(size[1], kNoTransaction);
    ScopeNames names = scopeNames(p);
    for (uint32_t i : transactions)
        replaceTransaction(p, i, i < hadTransactions, b.transactions[i], names, touched);
    for (uint32_t at : adjustmentsAt) {
        const TransactionAdjustment& a = b.transaction_adjustments[at];
        const uint32_t was = p.adjustmentOwner[at];
        if (was != kNoTransaction && replaceInGroup(p, b, was, at, touched))
            continue;
        if (was != kNoTransaction) {
            for (uint32_t k = p.transactions[was].adjustmentsBegin; k < p.transactions[was].adjustmentsEnd; ++k)
                if (p.adjustments[k].index == at) {
                    touchAdjustment(p, was, p.adjustments[k], touched);
                    moveIn(p, was, p.adjustments[k], false);
                }
            regroup(p, was, at, nullptr);
        }
        const std::optional<uint32_t> owner = findIndex(p.transactionIds, p.addedIds[0], a.transaction_id);
        uint32_t now = kNoTransaction;
        if (owner && *owner < size[0] && b.transactions[*owner].id == a.transaction_id) {
            now = *owner;
            const ProjectedAdjustment projected = adjustmentDays(a, at);
            p.oddDates = p.oddDates || !isPlainDate(a.new_date);
            regroup(p, now, at, &projected);
            moveIn(p, now, projected, true);
            touchAdjustment(p, now, projected, touched);
        }
        p.adjustmentOwner[at] = now;
        if (now == kNoTransaction) {
            auto it = std::lower_bound(p.orphanOwners.begin(), p.orphanOwners.end(), a.transaction_id);
            if (it == p.orphanOwners.end() || *it != a.transaction_id)
                p.orphanOwners.insert(it, a.transaction_id);
        }
    }
    if (anchors)
        replaceAnchors(p, b, touched);
    if (categories)
        recolorCategories(p, b);
    forget(p, touched);

    p.revision = revision;
    collectLists(b, p.listData, p.listSize);
    p.notes.clear();
    p.notedTo = revision;
    return true;
}

}  // namespace qm
