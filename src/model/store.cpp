#include "model/store.h"

#include "core/errors.h"
#include "core/files.h"
#include "model/budget_json.h"
#include "model/builtins.h"
#include "model/store_text_internal.h"

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

constexpr const char* kDataName = "data.json";
constexpr const char* kJournalName = "journal.json";

// How much of a file's text a save makes before handing it to the file:
// 64 KB to 4 MB save equally fast, smaller pieces cost more calls and larger
// ones fall out of the cache.
constexpr size_t kSavePiece = size_t(1) << 20;

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
    try {
        read(path);
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
    readStoreFile(dataPath(*store), kDataName, [&](const std::string& path) { readDataFile(*store, path); });
    // The file's text is as large as the budget it becomes, and its freed
    // pages would stay with the process for as long as the budget is open.
    malloc_trim(0);
    readStoreFile(journalPath(*store), kJournalName,
        [&](const std::string& path) { readJournal(*store, parseJson(readFile(path))); });
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
    const Budget& b = *store.budget;
    // Room for the usual record sizes; pages never written are never held.
    std::string out;
    out.reserve(4096 + 320 * b.transactions.size() + 224 * b.transaction_adjustments.size()
        + 160 * (b.running_total_adjustments.size() + b.accounts.size() + b.categories.size() + b.icons.size()));
    appendDataText(out, store);
    return out;
}

std::string storeJournalJson(const LocalStore& store)
{
    std::string out;
    appendJournalText(out, store.journal);
    return out;
}

namespace {

// LocalStore or FrozenStore: the files' text is made and written one piece
// at a time through the same small buffer, as the whole text at once would
// be fresh memory as large as the file, and touching it cost more than the
// writing.
template <typename Store>
void writeStoreFiles(const Store& store)
{
    makePrivateFolders(store.folder);
    std::string buffer;
    buffer.reserve(kSavePiece + kSavePiece / 4);
    // One change of both files: an op never goes missing from the journal
    // while the budget already holds its record. Their order is storePaths'.
    writeFilesTogether({{joinPath(store.folder, kJournalName),
                            [&](const PutBytes& put) { putJournalText(store.journal, buffer, kSavePiece, put); }},
        {joinPath(store.folder, kDataName),
            [&](const PutBytes& put) { putDataText(store, buffer, kSavePiece, put); }}});
}

}  // namespace

void saveStore(LocalStore& store)
{
    if (store.folder.empty())
        return;
    writeStoreFiles(store);
    store.dirty = false;
}

FrozenStore freezeStore(LocalStore& store)
{
    FrozenStore f;
    f.folder = store.folder;
    Budget& b = *store.budget;
    f.budget.accounts = b.accounts;
    f.budget.categories = b.categories;
    f.budget.icons = b.icons;
    f.budget.transactions = b.transactions.freeze();
    f.budget.transaction_adjustments = b.transaction_adjustments.freeze();
    f.budget.running_total_adjustments = b.running_total_adjustments;
    f.budget.user = b.user;
    f.journal = store.journal;
    f.next_local = store.next_local;
    f.next_seq = store.next_seq;
    f.last_sync = store.last_sync;
    f.etag = store.etag;
    f.sent_up_to = store.sent_up_to;
    f.unknown_members = store.unknown_members;
    f.unknown_meta = store.unknown_meta;
    return f;
}

void saveFrozenStore(const FrozenStore& store)
{
    if (!store.folder.empty())
        writeStoreFiles(store);
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
