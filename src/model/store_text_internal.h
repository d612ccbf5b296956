#pragma once
// The text of data.json and journal.json made straight from the records and
// read straight back into them, without a document tree in between: a tree
// costs several times the budget in memory and most of a save's time. The
// bytes are those the record writers of model/budget_json.h give, member for
// member: both follow the tables of model/record_fields.h.
#include "core/files.h"
#include "model/store.h"

#include <span>
#include <string>
#include <string_view>

namespace qm {

// data.json's own members, then those of its "meta" and of a change.
inline constexpr std::string_view kDataKeys[] = {"accounts", "categories", "icons", "transactions",
    "transaction_adjustments", "running_total_adjustments", "user", "meta"};
inline constexpr std::string_view kMetaKeys[] = {"next_local", "next_seq", "last_sync", "etag", "sent_up_to"};
// The members of "meta" by their place in kMetaKeys.
enum MetaMember : int { metaNextLocal, metaNextSeq, metaLastSync, metaEtag, metaSentUpTo };
static_assert(kMetaKeys[metaNextLocal] == "next_local" && kMetaKeys[metaNextSeq] == "next_seq"
    && kMetaKeys[metaLastSync] == "last_sync" && kMetaKeys[metaEtag] == "etag"
    && kMetaKeys[metaSentUpTo] == "sent_up_to" && std::size(kMetaKeys) == metaSentUpTo + 1);
inline constexpr std::string_view kOpKeys[] = {"seq", "op", "entity", "id", "data", "at"};

// The store as it was at one moment, to be written on another thread while
// edits go on: the two long lists frozen (see StableList::freeze), the rest,
// which is small, copied.
struct FrozenStore {
    std::string folder;
    struct Lists {
        std::vector<Account> accounts;
        std::vector<Category> categories;
        std::vector<CustomIcon> icons;
        TransactionList::Frozen transactions;
        AdjustmentList::Frozen transaction_adjustments;
        std::vector<RunningTotalAdjustment> running_total_adjustments;
        User user;
    } budget;
    std::vector<JournalOp> journal;
    int64_t next_local = -1;
    int32_t next_seq = 1;
    double last_sync = 0;
    std::string etag;
    int32_t sent_up_to = 0;
    JsonPtr unknown_members;
    JsonPtr unknown_meta;
};

// Takes the store as it is now; the store stays free to change.
FrozenStore freezeStore(LocalStore& store);
// Writes both files as saveStore does, from the frozen store.
void saveFrozenStore(const FrozenStore& store);

void appendDataText(std::string& out, const LocalStore& store);
void appendJournalText(std::string& out, const std::vector<JournalOp>& journal);
// The same texts handed to `put` in pieces of at least `piece` bytes (the
// last may be shorter), each ending at a record's end and made in `buffer`,
// which is left empty: a save never holds a whole file's text.
void putDataText(const LocalStore& store, std::string& buffer, size_t piece, const PutBytes& put);
void putDataText(const FrozenStore& store, std::string& buffer, size_t piece, const PutBytes& put);
void putJournalText(const std::vector<JournalOp>& journal, std::string& buffer, size_t piece, const PutBytes& put);

// Reads data.json's text into the store, with the rules of budgetFromJson
// and the store's meta: raises ValueError when the text is not JSON,
// StoreShapeError when it is not a budget and NewerFormatError for what only
// a newer version can read, in that order of precedence.
void readDataText(LocalStore& store, const std::string& text);
// The same for the file at path, read through a small buffer a piece at a
// time (FilePieces): the whole text is never held, neither copied nor mapped,
// unless the quick parser leaves it to the document parser.
void readDataFile(LocalStore& store, const std::string& path);

}  // namespace qm
