#include "model/store.h"

#include "core/errors.h"
#include "core/files.h"
#include "model/budget_json.h"
#include "model/builtins.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <unistd.h>

namespace qm {

namespace fs = std::filesystem;

namespace {

std::string joinPath(const std::string& folder, const char* name) { return (fs::path(folder) / name).string(); }

template <typename List>
void lowerBelow(int64_t& next, const List& list)
{
    for (const auto& record : list)
        if (record.id < 0 && record.id <= next)
            next = record.id - 1;
}

std::string dataPath(const LocalStore& store) { return joinPath(store.folder, "data.json"); }

std::string journalPath(const LocalStore& store) { return joinPath(store.folder, "journal.json"); }

}  // namespace

LocalStorePtr newLocalStore(std::string folder)
{
    auto store = std::make_shared<LocalStore>();
    store->folder = std::move(folder);
    store->budget = newBudget();
    return store;
}

LocalStorePtr openStore(const std::string& folder)
{
    LocalStorePtr store = newLocalStore(folder);
    std::string path = dataPath(*store);
    if (isRegularFile(path)) {
        Json doc = parseJson(readFile(path));
        store->budget = budgetFromJson(doc);
        auto meta = doc.is_object() ? doc.find("meta") : doc.end();
        if (meta != doc.end() && meta->is_object()) {
            auto next = meta->find("next_local");
            if (next != meta->end() && next->is_number_integer())
                store->next_local = jsonInt(*meta, "next_local");
            auto seq = meta->find("next_seq");
            if (seq != meta->end() && seq->is_number_integer()) {
                int64_t v = jsonInt(*meta, "next_seq");
                if (seq->is_number_unsigned()
                        ? seq->get<uint64_t>() > uint64_t(std::numeric_limits<int32_t>::max())
                        : v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
                    throw ValueError("next_seq out of range");
                store->next_seq = int32_t(v);
            }
            auto sync = meta->find("last_sync");
            if (sync != meta->end() && sync->is_number())
                store->last_sync = jsonFloat(*meta, "last_sync");
            store->etag = jsonStr(*meta, "etag");
        }
    }
    path = journalPath(*store);
    if (isRegularFile(path)) {
        Json doc = parseJson(readFile(path));
        if (doc.is_array())
            for (const auto& item : doc)
                store->journal.push_back(opFromJson(item));
    }
    // Ids handed out from here on must never meet one already in the budget.
    int64_t& next = store->next_local;
    if (next >= 0)
        next = -1;
    const Budget& b = *store->budget;
    lowerBelow(next, b.accounts);
    lowerBelow(next, b.categories);
    lowerBelow(next, b.icons);
    lowerBelow(next, b.transactions);
    lowerBelow(next, b.transaction_adjustments);
    lowerBelow(next, b.running_total_adjustments);
    return store;
}

void seedStore(LocalStore& store)
{
    Budget& b = *store.budget;
    bool fresh = b.categories.empty() && b.accounts.empty();
    if (!fresh && !b.icons.empty())
        return;
    addDefaultRecords(b, [&] { return nextLocalId(store); });
    if (fresh) {
        for (const Category& c : b.categories)
            appendOp(store, opCreate, entCategory, c.id, categoryToJson(c));
        for (const Account& a : b.accounts)
            appendOp(store, opCreate, entAccount, a.id, accountToJson(a));
    }
    markDirty(store);
}

std::string storeDataJson(const LocalStore& store)
{
    Json doc = budgetToJson(*store.budget);
    Json meta = Json::object();
    meta["next_local"] = store.next_local;
    meta["next_seq"] = store.next_seq;
    meta["last_sync"] = store.last_sync;
    meta["etag"] = store.etag;
    doc.erase("meta");
    doc["meta"] = std::move(meta);
    return dumpJson(doc);
}

std::string storeJournalJson(const LocalStore& store)
{
    Json arr = Json::array();
    for (const auto& op : store.journal)
        arr.push_back(opToJson(op));
    return dumpJson(arr);
}

void saveStore(LocalStore& store)
{
    if (store.folder.empty())
        return;
    std::error_code ec;
    fs::create_directories(store.folder, ec);
    if (ec)
        throw IOError("Cannot create folder " + store.folder + ": " + ec.message());
    writeFileAtomic(dataPath(store), storeDataJson(store));
    writeFileAtomic(journalPath(store), storeJournalJson(store));
    store.dirty = false;
}

void markDirty(LocalStore& store)
{
    if (store.change_count == std::numeric_limits<int32_t>::max())
        throw ValueError("change count overflow");
    store.dirty = true;
    ++store.change_count;
}

int64_t nextLocalId(LocalStore& store)
{
    if (store.next_local == std::numeric_limits<int64_t>::min())
        throw ValueError("local id overflow");
    return store.next_local--;
}

size_t pendingOpCount(const LocalStore& store) { return store.journal.size(); }

int32_t markSent(LocalStore& store)
{
    store.sent_up_to = 0;
    for (const auto& op : store.journal)
        store.sent_up_to = std::max(store.sent_up_to, op.seq);
    return store.sent_up_to;
}

void clearSentMark(LocalStore& store) { store.sent_up_to = 0; }

}  // namespace qm
