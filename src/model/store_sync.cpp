#include "model/store_sync.h"

#include "core/ascii.h"
#include "model/adjustments.h"
#include "model/budget_json.h"
#include "model/record_edits.h"

#include <algorithm>
#include <limits>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace qm {

namespace {

// An id mapping as a hash table: firstWins keeps the first pair of an old
// id (a lookup that stops at the first match), otherwise the last.
class IdMap {
public:
    IdMap(const std::vector<IdPair>& pairs, bool firstWins)
    {
        m_map.reserve(pairs.size());
        for (const IdPair& p : pairs) {
            if (firstWins)
                m_map.try_emplace(p.oldId, p.newId);
            else
                m_map.insert_or_assign(p.oldId, p.newId);
        }
    }
    IdMap() = default;

    void add(int64_t oldId, int64_t newId) { m_map.try_emplace(oldId, newId); }
    int64_t operator()(int64_t id) const
    {
        auto it = m_map.find(id);
        return it == m_map.end() ? id : it->second;
    }
    bool find(int64_t id, int64_t& out) const
    {
        auto it = m_map.find(id);
        if (it == m_map.end())
            return false;
        out = it->second;
        return true;
    }

private:
    std::unordered_map<int64_t, int64_t> m_map;
};

template <typename List>
void remapIds(List& records, const IdMap& map)
{
    // Read through the const list, written only where an id changes: a save
    // under way keeps a copy of each record reached mutably
    // (StableList::freeze).
    const List& read = records;
    for (size_t i = 0; i < read.size(); ++i)
        if (const int64_t to = map(read[i].id); to != read[i].id)
            records[i].id = to;
}

}  // namespace

Json journalToJson(const LocalStore& store)
{
    std::unordered_map<int64_t, const std::string*> iconNames;
    for (const CustomIcon& icon : store.budget->icons)
        iconNames.insert_or_assign(icon.id, &icon.name);  // the last icon of an id wins

    Json out = Json::array();
    for (const JournalOp& op : store.journal) {
        Json data = op.data ? *op.data : Json(nullptr);
        if ((op.entity == entTransaction || op.entity == entCategory) && data.is_object()) {
            auto icon = data.find("icon_id");
            if (icon != data.end() && icon->is_number_integer()) {
                auto named = iconNames.find(icon->get<int64_t>());
                if (named != iconNames.end())
                    data["icon_name"] = *named->second;
            }
        }
        Json item = Json::object();
        item["seq"] = op.seq;
        item["op"] = opKindName(op.op);
        item["entity"] = entityName(op.entity);
        item["id"] = op.id;
        item["data"] = std::move(data);
        out.push_back(std::move(item));
    }
    return out;
}

void opsAfter(LocalStore& store, int32_t seq)
{
    std::erase_if(store.journal, [&](const JournalOp& op) { return op.seq <= seq; });
    markDirty(store);
}

int64_t remapId(int64_t id, const std::vector<IdPair>& mapping)
{
    for (const IdPair& p : mapping)
        if (p.oldId == id)
            return p.newId;
    return id;
}

void remapDataIds(LocalStore& store, Entity entity, const std::vector<IdPair>& mapping)
{
    if (mapping.empty())
        return;
    const IdMap map(mapping, true);
    Budget& b = *store.budget;
    switch (entity) {
    case entTransaction:
        remapIds(b.transactions, map);
        for (size_t i = 0; i < b.transaction_adjustments.size(); ++i)
            if (const int64_t was = std::as_const(b.transaction_adjustments)[i].transaction_id; map(was) != was)
                b.transaction_adjustments[i].transaction_id = map(was);
        break;
    case entAdjustment:
        remapIds(b.transaction_adjustments, map);
        break;
    case entAnchor:
        remapIds(b.running_total_adjustments, map);
        break;
    case entAccount:
        remapIds(b.accounts, map);
        for (RunningTotalAdjustment& r : b.running_total_adjustments)
            r.account_id = map(r.account_id);
        b.user.selected_account_id = map(b.user.selected_account_id);
        b.user.default_account_id = map(b.user.default_account_id);
        break;
    case entCategory:
        remapIds(b.categories, map);
        break;
    case entPrefs:
        break;
    }
    for (JournalOp& op : store.journal)
        if (op.entity == entity)
            op.id = map(op.id);
    markDirty(store);
}

void replaceBudget(LocalStore& store, BudgetPtr budget, std::string etag)
{
    store.budget = std::move(budget);
    store.etag = std::move(etag);
    store.last_sync = unixNow();
    markDirty(store);
}

bool hasRealData(const LocalStore& store)
{
    const Budget& b = *store.budget;
    for (const Transaction& t : b.transactions)
        if (!t.is_demo)
            return true;
    for (const RunningTotalAdjustment& r : b.running_total_adjustments)
        if (!r.is_demo)
            return true;
    return false;
}

void rekeyForUpload(LocalStore& store)
{
    Budget& b = *store.budget;

    // New ids count down from below every id that stays, so that a kept
    // local id and a new one can never meet in one list. Worked out before
    // anything changes: a budget with no room below its lowest id is left
    // as it was.
    int64_t lowestKept = 0;
    uint64_t toRekey = 0;
    auto scan = [&](const auto& records, bool rekeyed) {
        for (const auto& r : records) {
            if (r.id <= 0)
                lowestKept = std::min(lowestKept, r.id);
            else if (rekeyed)
                ++toRekey;
        }
    };
    scan(b.accounts, true);
    scan(b.categories, true);
    scan(b.icons, false);  // icons keep their ids
    scan(b.transactions, true);
    scan(b.transaction_adjustments, true);
    scan(b.running_total_adjustments, true);
    // Ids from lowestKept - 1 down to lowestKept - toRekey, and next_local one
    // below them, must all stay within int64 (next_local may reach its
    // lowest value, where nextLocalId refuses).
    const uint64_t room = uint64_t(lowestKept) - uint64_t(std::numeric_limits<int64_t>::min());
    if (room < toRekey + 1 && toRekey > 0)
        throw ValueError("local id overflow");
    int64_t counter = room == 0 ? lowestKept : lowestKept - 1;

    store.journal.clear();
    store.next_seq = 1;
    // The journal the mark referred to is gone.
    clearSentMark(store);

    IdMap accounts, transactions;
    auto rekey = [&](auto& records, IdMap* pairs) {
        for (auto& r : records) {
            if (r.id <= 0)
                continue;
            if (pairs)
                pairs->add(r.id, counter);
            r.id = counter--;
        }
    };
    rekey(b.accounts, &accounts);
    rekey(b.categories, nullptr);
    rekey(b.transactions, &transactions);
    rekey(b.transaction_adjustments, nullptr);
    rekey(b.running_total_adjustments, nullptr);

    for (TransactionAdjustment& a : b.transaction_adjustments)
        a.transaction_id = transactions(a.transaction_id);
    for (RunningTotalAdjustment& r : b.running_total_adjustments)
        r.account_id = accounts(r.account_id);
    b.user.selected_account_id = accounts(b.user.selected_account_id);
    b.user.default_account_id = accounts(b.user.default_account_id);
    store.next_local = counter;

    for (const Account& a : b.accounts)
        appendOp(store, opCreate, entAccount, a.id, accountToJson(a));
    for (const Category& c : b.categories)
        appendOp(store, opCreate, entCategory, c.id, categoryToJson(c));
    for (const Transaction& t : b.transactions)
        appendOp(store, opCreate, entTransaction, t.id, transactionToJson(t));
    for (const TransactionAdjustment& a : b.transaction_adjustments)
        appendOp(store, opCreate, entAdjustment, a.id, adjustmentToJson(a));
    for (const RunningTotalAdjustment& r : b.running_total_adjustments)
        appendOp(store, opCreate, entAnchor, r.id, anchorToJson(r));
    appendOp(store, opUpdate, entPrefs, 0, userToJson(b.user));
    store.etag.clear();
    markDirty(store);
}

MergeCounts mergeBudget(LocalStore& store, const Budget& other)
{
    Budget& b = *store.budget;
    MergeCounts counts;

    // Names are looked up by hash so that a large budget merges in linear
    // time; the first account of a name is the one findAccountByName gives.
    std::unordered_map<std::string, int64_t> accountIds;
    int32_t order = 0;
    for (const Account& a : b.accounts) {
        accountIds.try_emplace(a.name, a.id);
        if (a.display_order < std::numeric_limits<int32_t>::max())
            order = std::max(order, a.display_order + 1);
    }
    std::vector<IdPair> accountPairs;
    for (const Account& a : other.accounts) {
        std::string name(trimAsciiBlanks(a.name));
        if (name.empty())
            continue;
        auto [it, added] = accountIds.try_emplace(name, 0);
        if (added) {
            Account copy = a;
            copy.id = nextLocalId(store);
            copy.name = name;
            copy.display_order = order;
            if (order < std::numeric_limits<int32_t>::max())
                ++order;
            b.accounts.push_back(copy);
            appendOp(store, opCreate, entAccount, copy.id, accountToJson(copy));
            it->second = copy.id;
            counts.accountsAdded += 1;
        }
        accountPairs.push_back({a.id, it->second});
    }

    std::unordered_set<std::string> categoryNames;
    for (const Category& c : b.categories)
        categoryNames.insert(c.name);
    for (const Category& c : other.categories) {
        std::string name(trimAsciiBlanks(c.name));
        if (name.empty() || !categoryNames.insert(name).second)
            continue;
        Category copy = c;
        copy.id = nextLocalId(store);
        copy.name = name;
        b.categories.push_back(copy);
        appendOp(store, opCreate, entCategory, copy.id, categoryToJson(copy));
        counts.categoriesAdded += 1;
    }

    std::vector<IdPair> transactionPairs;
    for (const Transaction& t : other.transactions) {
        if (t.is_demo || trimAsciiBlanks(t.description).empty())
            continue;
        Transaction copy = t;
        copy.id = nextLocalId(store);
        b.transactions.push_back(copy);
        appendOp(store, opCreate, entTransaction, copy.id, transactionToJson(copy));
        transactionPairs.push_back({t.id, copy.id});
        counts.transactionsAdded += 1;
    }

    // The adjustments go to transactions made just above, which no adjustment
    // of the open budget can name: only one added here can already hold the
    // same occurrence, so a map of those keeps the merge linear.
    const IdMap transactions(transactionPairs, false);
    using Occurrence = std::tuple<int64_t, int32_t, int32_t, int32_t>;
    struct OccurrenceHash {
        size_t operator()(const Occurrence& k) const
        {
            auto [id, y, m, d] = k;
            return std::hash<int64_t>()(id * 1000003 ^ (int64_t(y) << 16 ^ int64_t(m) << 8 ^ d));
        }
    };
    std::unordered_map<Occurrence, size_t, OccurrenceHash> adjusted;
    for (const TransactionAdjustment& a : other.transaction_adjustments) {
        int64_t id = 0;
        if (a.is_demo || !transactions.find(a.transaction_id, id))
            continue;
        TransactionAdjustment copy = a;
        copy.id = 0;
        copy.transaction_id = id;
        const Date& d = a.original_date;
        auto [it, added] = adjusted.try_emplace(Occurrence{id, d.year, d.month, d.day}, 0);
        if (added) {
            addAdjustment(store, std::move(copy));
            it->second = b.transaction_adjustments.size() - 1;
        } else {
            replaceAdjustment(store, it->second, std::move(copy));
        }
    }

    const IdMap accounts(accountPairs, false);
    for (const RunningTotalAdjustment& r : other.running_total_adjustments) {
        int64_t id = 0;
        if (r.is_demo || (r.account_id != 0 && !accounts.find(r.account_id, id)))
            continue;
        setAnchor(store, r.date, r.amount, id);
        counts.anchorsSet += 1;
    }
    markDirty(store);
    return counts;
}

}  // namespace qm
