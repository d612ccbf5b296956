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
#include <malloc.h>
#include <unistd.h>

namespace qm {

namespace fs = std::filesystem;

namespace {

std::string joinPath(const std::string& folder, const char* name) { return (fs::path(folder) / name).string(); }

template <typename List>
void lowerBelow(int64_t& next, const List& list)
{
    // INT64_MIN has nothing below it: next_local stays there, and the next
    // nextLocalId raises the overflow error instead of handing it out again.
    for (const auto& record : list)
        if (record.id < 0 && record.id <= next)
            next = record.id == std::numeric_limits<int64_t>::min() ? record.id : record.id - 1;
}

// The members of data.json that this program reads and writes itself.
constexpr const char* kListKeys[] = {
    "accounts", "categories", "icons", "transactions", "transaction_adjustments", "running_total_adjustments"};

bool isKnownKey(std::string_view key)
{
    for (const char* k : kListKeys)
        if (key == k)
            return true;
    return key == "user" || key == "meta";
}

constexpr const char* kDataName = "data.json";
constexpr const char* kJournalName = "journal.json";

// A file that parses but is not a budget must not open as an empty one: the
// next save would overwrite whatever it holds.
void checkDataShape(const Json& doc)
{
    if (!doc.is_object())
        throw StoreShapeError(kDataName, "its top level is not an object");
    for (const char* key : kListKeys) {
        auto it = doc.find(key);
        if (it == doc.end() || it->is_null())
            continue;
        if (!it->is_array())
            throw StoreShapeError(kDataName, std::string("\"") + key + "\" is not a list");
        // A record that is not an object would come back as an empty one.
        for (const Json& item : *it)
            if (!item.is_object())
                throw StoreShapeError(kDataName, std::string("an element of \"") + key + "\" is not an object");
    }
    auto user = doc.find("user");
    if (user != doc.end() && !user->is_null() && !user->is_object())
        throw StoreShapeError(kDataName, "\"user\" is not an object");
}

// Whether a save's committed data file holds a budget; anything else came
// from elsewhere and must not replace the one in place.
bool holdsBudget(const std::string& path)
{
    try {
        if (!isRegularFile(path))
            return false;
        checkDataShape(parseJson(readFile(path)));
        return true;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        return false;
    }
}

// A folder or device in the place of one of the store's files would stop
// every save (and the completion of an interrupted one): it is refused,
// named, before anything is read or moved. Gives whether the file is there.
bool isFileOrAbsent(const std::string& path, const char* name)
{
    std::error_code ec;
    fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status))
        return false;
    if (!fs::is_regular_file(status))
        throw StoreShapeError(name, fs::is_directory(status) ? "it is a folder, not a file" : "it is not a file");
    return true;
}

// Reads one of the store's files when it is there, naming it in every
// refusal.
template <typename Read>
void readStoreFile(const std::string& path, const char* name, Read read)
{
    if (!isFileOrAbsent(path, name))
        return;
    std::string text = readFile(path);
    try {
        read(parseJson(text));
    } catch (const StoreShapeError&) {
        throw;
    } catch (const NewerFormatError& e) {
        throw NewerBudgetError(name, e.what());
    } catch (const ValueError& e) {
        throw StoreShapeError(name, e.what());
    }
}

std::string dataPath(const LocalStore& store) { return joinPath(store.folder, "data.json"); }

std::string journalPath(const LocalStore& store) { return joinPath(store.folder, "journal.json"); }

// The journal comes first: the data file is the one whose replacement
// completes a save.
std::vector<std::string> storePaths(const LocalStore& store) { return {journalPath(store), dataPath(store)}; }

// Reads data.json into the store: the budget, members it does not know, and
// the meta object.
void readData(LocalStore& store, const Json& doc)
{
    checkDataShape(doc);
    store.budget = budgetFromJson(doc);
    Json unknown = Json::object();
    for (auto it = doc.begin(); it != doc.end(); ++it)
        if (!isKnownKey(it.key()))
            unknown[it.key()] = it.value();
    if (!unknown.empty())
        store.unknown_members = std::make_shared<const Json>(std::move(unknown));
    auto meta = doc.find("meta");
    if (meta != doc.end() && meta->is_object()) {
        Json unknownMeta = Json::object();
        for (auto it = meta->begin(); it != meta->end(); ++it) {
            const std::string& key = it.key();
            if (key != "next_local" && key != "next_seq" && key != "last_sync" && key != "etag" && key != "sent_up_to")
                unknownMeta[key] = it.value();
            else if (it->is_structured())
                throw NewerFormatError(
                    "\"" + key + "\" of \"meta\" holds " + (it->is_object() ? "an object" : "a list"));
        }
        if (!unknownMeta.empty())
            store.unknown_meta = std::make_shared<const Json>(std::move(unknownMeta));
        auto next = meta->find("next_local");
        if (next != meta->end() && next->is_number_integer())
            store.next_local = jsonInt(*meta, "next_local");
        auto seq = meta->find("next_seq");
        if (seq != meta->end() && seq->is_number_integer()) {
            int64_t v = jsonInt(*meta, "next_seq");
            if (seq->is_number_unsigned()
                    ? seq->get<uint64_t>() > uint64_t(std::numeric_limits<int32_t>::max())
                    : v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
                throw ValueError("\"next_seq\" of \"meta\" is out of range");
            store.next_seq = int32_t(v);
        }
        auto sync = meta->find("last_sync");
        if (sync != meta->end() && sync->is_number())
            store.last_sync = jsonFloat(*meta, "last_sync");
        store.etag = jsonStr(*meta, "etag");
        auto sent = meta->find("sent_up_to");
        if (sent != meta->end() && sent->is_number_integer()) {
            int64_t v = jsonInt(*meta, "sent_up_to");
            if (v > 0 && v <= std::numeric_limits<int32_t>::max())
                store.sent_up_to = int32_t(v);
        }
    }
}

void readJournal(LocalStore& store, const Json& doc)
{
    if (!doc.is_array())
        throw StoreShapeError(kJournalName, "its top level is not a list of changes");
    for (const auto& item : doc) {
        if (!item.is_object())
            throw StoreShapeError(kJournalName, "a change is not an object");
        store.journal.push_back(opFromJson(item));
    }
}

}  // namespace

LocalStorePtr newLocalStore(std::string folder)
{
    auto store = std::make_shared<LocalStore>();
    store->folder = std::move(folder);
    store->budget = newBudget();
    return store;
}

StoreShapeError::StoreShapeError(std::string file_, std::string reason_)
    : ValueError(file_ + ": " + reason_)
    , file(std::move(file_))
    , reason(std::move(reason_))
{
}

LocalStorePtr openStore(const std::string& folder)
{
    LocalStorePtr store = newLocalStore(folder);
    // A save that a kill interrupted after its point of no return is
    // completed first, so that both files come from one save.
    if (!folder.empty()) {
        isFileOrAbsent(dataPath(*store), kDataName);
        isFileOrAbsent(journalPath(*store), kJournalName);
        finishInterruptedWrites(storePaths(*store), holdsBudget);
    }
    readStoreFile(dataPath(*store), kDataName, [&](const Json& doc) { readData(*store, doc); });
    // The parse tree is several times the budget it becomes, and its freed
    // pages would stay with the process for as long as the budget is open.
    malloc_trim(0);
    readStoreFile(journalPath(*store), kJournalName, [&](const Json& doc) { readJournal(*store, doc); });
    // A new op must never take a seq the journal already holds: the
    // acknowledgement of a sync drops ops by seq. At the int32 maximum
    // appendOp raises the overflow error.
    for (const JournalOp& op : store->journal)
        if (op.seq >= store->next_seq)
            store->next_seq = op.seq == std::numeric_limits<int32_t>::max() ? op.seq : op.seq + 1;
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
    if (store.sent_up_to > 0)
        meta["sent_up_to"] = store.sent_up_to;
    if (store.unknown_meta)
        for (auto it = store.unknown_meta->begin(); it != store.unknown_meta->end(); ++it)
            if (!meta.contains(it.key()))
                meta[it.key()] = it.value();
    // Members this program does not know (a misspelt key, say) go back as
    // they came, so that a save never drops what is under them.
    if (store.unknown_members)
        for (auto it = store.unknown_members->begin(); it != store.unknown_members->end(); ++it)
            if (!isKnownKey(it.key()))
                doc[it.key()] = it.value();
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
    makePrivateFolders(store.folder);
    const std::string journal = storeJournalJson(store);
    const std::string data = storeDataJson(store);
    // One change of both files: an op never goes missing from the journal
    // while the budget already holds its record.
    writeFilesTogether({{journalPath(store), journal}, {dataPath(store), data}});
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
