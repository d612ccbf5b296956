#include "core/files.h"
#include "model/budget_json.h"
#include "model/store.h"

#include "core/errors.h"
#include "store_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qm;
using namespace qm::test;

namespace {

const char* emptyBudget = R"({"accounts":[],"categories":[],"icons":[],"transactions":[],)"
                          R"("transaction_adjustments":[],"running_total_adjustments":[]})";

std::string withMeta(const char* meta)
{
    std::string doc = emptyBudget;
    doc.pop_back();
    return doc + R"(,"meta":)" + meta + "}";
}

Transaction tx(int64_t id, const char* description)
{
    Transaction t;
    t.id = id;
    t.start_date = date(2025, 3, 1);
    t.amount = -12.5;
    t.description = description;
    return t;
}

// Whether code holding a store of type S may change its budget.
template <typename S>
concept budgetWritableThrough = requires(S& store)
{
    store.budget->transactions.push_back(Transaction{});
    store.budget->user.theme_preference = "dark";
};

// A reader handed a const store cannot write to the budget, not even by accident.
static_assert(!budgetWritableThrough<const LocalStore>);
static_assert(budgetWritableThrough<LocalStore>);

}  // namespace

TEST(Store, OpenReadsMetaWithDefaults)
{
    struct Row {
        const char* name;
        std::string data;
        int64_t next_local;
        int32_t next_seq;
        double last_sync;
        const char* etag;
    };
    const std::string withTx7 = R"({"transactions":[{"id":-7,"start_date":"2025-01-01"}],"meta":{"next_local":-3}})";
    const Row rows[] = {{"lowered below local ids", withTx7, -8, 1, 0, ""},
        {"positive next_local reset", withMeta(R"({"next_local":5})"), -1, 1, 0, ""},
        {"all fields", withMeta(R"({"next_local":-40,"next_seq":19,"last_sync":1700000000.25,"etag":"W/\"a\""})"), -40,
            19, 1700000000.25, "W/\"a\""},
        {"integer last_sync", withMeta(R"({"last_sync":17})"), -1, 1, 17, ""},
        {"mistyped members", withMeta(R"({"next_local":"-9","next_seq":2.0,"last_sync":"5","etag":7})"), -1, 1, 0, ""},
        {"no meta", emptyBudget, -1, 1, 0, ""}, {"null meta", withMeta("null"), -1, 1, 0, ""},
        {"meta not an object", withMeta("[1]"), -1, 1, 0, ""},
        {"every list lowers",
            R"({"accounts":[{"id":-2}],"categories":[{"id":-9}],"icons":[{"id":-4}],)"
            R"("transaction_adjustments":[{"id":-11}],"running_total_adjustments":[{"id":-10}],"meta":{"next_local":-5}})",
            -12, 1, 0, ""},
        {"huge next_local", withMeta(R"({"next_local":18446744073709551615})"), -1, 1, 0, ""}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TempFolder dir;
        writeText(dir.file("data.json"), r.data);
        LocalStorePtr s = openStore(dir.path);
        EXPECT_EQ(s->next_local, r.next_local);
        EXPECT_EQ(s->next_seq, r.next_seq);
        EXPECT_EQ(s->last_sync, r.last_sync);
        EXPECT_EQ(s->etag, r.etag);
        EXPECT_FALSE(s->dirty);
        EXPECT_EQ(s->change_count, 0);
        EXPECT_EQ(s->folder, dir.path);
    }
}

TEST(Store, OpenTreatsMissingFilesAsEmptyAndRefusesBadOnes)
{
    {
        TempFolder dir;
        writeText(dir.file("journal.json"), "[]");
        LocalStorePtr s = openStore(dir.path);
        EXPECT_TRUE(s->budget->transactions.empty());
        EXPECT_TRUE(s->journal.empty());
        EXPECT_EQ(s->next_local, -1);
        EXPECT_TRUE(openStore(dir.file("absent"))->journal.empty());
    }
    struct Bad {
        const char* file;
        std::string text;
    };
    const Bad bads[] = {
        {"data.json", ""},
        {"data.json", "{\"accounts\":["},
        {"data.json", withMeta(R"({"next_seq":2147483648})")},
        {"data.json", withMeta(R"({"next_seq":-2147483649})")},
        {"journal.json", ""},
        {"journal.json", "[{\"seq\":1},"},
        {"journal.json", R"([{"seq":4294967296}])"},
    };
    for (const Bad& b : bads) {
        SCOPED_TRACE(std::string(b.file) + " " + b.text);
        TempFolder dir;
        writeText(dir.file(b.file), b.text);
        EXPECT_THROW(openStore(dir.path), ValueError);
    }
    if (geteuid() != 0) {  // root reads anything
        TempFolder dir;
        writeText(dir.file("data.json"), "{}");
        std::filesystem::permissions(dir.file("data.json"), std::filesystem::perms::none);
        EXPECT_THROW(openStore(dir.path), IOError);
    }
}

TEST(Store, SaveWritesCompactFilesAndReopens)
{
    TempFolder dir;
    std::string folder = dir.file("nested/budget");  // created with its parents
    LocalStorePtr s = newLocalStore(folder);
    Transaction t = tx(nextLocalId(*s), "Rent flat\n2");
    s->budget->transactions.push_back(t);
    appendOp(*s, opCreate, entTransaction, t.id, transactionToJson(t));
    appendOp(*s, opUpdate, entPrefs, 0, userToJson(s->budget->user));
    s->last_sync = 1700000000.5;
    s->etag = "e1";
    saveStore(*s);
    EXPECT_FALSE(s->dirty);
    EXPECT_EQ(s->change_count, 2);

    std::string data = readText(folder + "/data.json");
    Json doc = parseJson(data);
    EXPECT_EQ(dumpJson(doc), data);  // compact: the writer's own form
    ASSERT_TRUE(doc.is_object());
    EXPECT_EQ(doc.back(), parseJson(R"({"next_local":-2,"next_seq":3,"last_sync":1700000000.5,"etag":"e1"})"));
    EXPECT_EQ(std::prev(doc.end()).key(), "meta");
    EXPECT_EQ(data.find(' '), data.find("Rent flat") + 4);  // the only blank is inside a text
    EXPECT_EQ(data.find('\n'), std::string::npos);

    std::string journal = readText(folder + "/journal.json");
    Json ops = parseJson(journal);
    EXPECT_EQ(dumpJson(ops), journal);
    ASSERT_EQ(ops.size(), 2u);
    std::vector<std::string> keys;
    for (auto it = ops[0].begin(); it != ops[0].end(); ++it)
        keys.push_back(it.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"seq", "op", "entity", "id", "data", "at"}));
    EXPECT_EQ(journal.substr(0, 46), R"([{"seq":1,"op":"create","entity":"transaction")");

    LocalStorePtr back = openStore(folder);
    EXPECT_EQ(budgetToJson(*back->budget), budgetToJson(*s->budget));
    EXPECT_EQ(storeJournalJson(*back), journal);
    EXPECT_EQ(storeDataJson(*back), data);
    for (const auto& e : std::filesystem::directory_iterator(folder))
        EXPECT_TRUE(e.path().filename() == "data.json" || e.path().filename() == "journal.json") << e.path();
}

// The service may apply a request whose reply never came back: the mark of
// what was sent outlives the process, so a later delete of a record made
// here is still sent.
TEST(Store, TheSentMarkIsKeptOnDisk)
{
    struct Row {
        const char* meta;
        int32_t mark;
    };
    for (Row r : {Row{R"({"sent_up_to":5})", 5}, Row{R"({"sent_up_to":-3})", 0}, Row{R"({"sent_up_to":"7"})", 0},
             Row{R"({"sent_up_to":4294967296})", 0}, Row{"{}", 0}}) {
        SCOPED_TRACE(r.meta);
        TempFolder dir;
        writeText(dir.file("data.json"), withMeta(r.meta));
        EXPECT_EQ(openStore(dir.path)->sent_up_to, r.mark);
    }

    TempFolder dir;
    LocalStorePtr s = newLocalStore(dir.path);
    Transaction t = tx(nextLocalId(*s), "Rent");
    s->budget->transactions.push_back(t);
    appendOp(*s, opCreate, entTransaction, t.id, transactionToJson(t));
    EXPECT_EQ(markSent(*s), 1);
    saveStore(*s);
    LocalStorePtr back = openStore(dir.path);
    EXPECT_EQ(back->sent_up_to, 1);
    appendOp(*back, opDelete, entTransaction, t.id);
    ASSERT_EQ(back->journal.size(), 2u);
    EXPECT_EQ(back->journal[1].op, opDelete);

    clearSentMark(*back);
    saveStore(*back);
    EXPECT_FALSE(parseJson(readText(dir.file("data.json")))["meta"].contains("sent_up_to"));
}

// data.json is read through a small buffer of the store's own: neither a
// copy of the whole text nor a mapping of it, both of which take a fault
// for every page or few of the file. Records that straddle the buffer's
// pieces read as the text holds them.
TEST(Store, OpenTakesNoFaultsForTheFilesLength)
{
    TempFolder plain, padded;
    LocalStorePtr made = newLocalStore(plain.path);
    for (int i = 1; i <= 3000; ++i)
        made->budget->transactions.push_back(tx(i, i % 3 ? "Groceries at the corner shop" : "Rent"));
    saveStore(*made);
    const std::string text = storeDataJson(*made);
    {
        // 64 MiB of spaces that the reader only passes over.
        std::string spaced = text;
        spaced.insert(spaced.size() - 1, size_t(64) << 20, ' ');
        writeText(padded.file("data.json"), spaced);
    }
    auto faultsOfOpen = [](const std::string& folder) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        LocalStorePtr opened = openStore(folder);
        getrusage(RUSAGE_SELF, &after);
        EXPECT_EQ(storeDataJson(*opened), storeDataJson(*openStore(folder)));
        return after.ru_minflt - before.ru_minflt;
    };
    // Once each first, so that both measured opens find the heap as warm.
    faultsOfOpen(plain.path);
    faultsOfOpen(padded.path);
    const long plainFaults = faultsOfOpen(plain.path);
    const long paddedFaults = faultsOfOpen(padded.path);
    EXPECT_EQ(storeDataJson(*openStore(padded.path)), text);
    // A mapping takes one fault per 64 KiB of it at the least: 1024 here.
    EXPECT_LT(paddedFaults - plainFaults, 256) << plainFaults << " " << paddedFaults;
}

// Texts are copied from the file's pieces a run of plain characters at a
// time: runs cut short by a quote, a backslash, an escape or the end of a
// piece, at every offset against the pieces' edges, read as they were saved.
TEST(Store, TextsAcrossThePiecesReadAsSaved)
{
    TempFolder dir;
    LocalStorePtr made = newLocalStore(dir.path);
    const char* tails[] = {"", "\"", "\\", "\n", "\x01", "\u00e9", "\xe2\x82\xac", "/"};
    for (int i = 1; i <= 6000; ++i) {
        const std::string description =
            std::string(size_t(i % 41), 'a') + tails[i % 8] + std::string(size_t(i % 19), 'b');
        made->budget->transactions.push_back(tx(i, description.c_str()));
    }
    saveStore(*made);
    EXPECT_EQ(storeDataJson(*openStore(dir.path)), storeDataJson(*made));
}

TEST(Store, SaveWithoutFolderWritesNothing)
{
    LocalStorePtr s = newLocalStore("");
    appendOp(*s, opUpdate, entPrefs, 0, userToJson(s->budget->user));
    saveStore(*s);
    EXPECT_TRUE(s->dirty);
}

TEST(Store, WriteFileAtomicReplacesWholeFiles)
{
    TempFolder dir;
    std::string path = dir.file("settings.json");
    writeText(path + ".tmp", "stray leftover of a crash, longer than the new text");
    writeFileAtomic(path, "{\"a\":1}");
    EXPECT_EQ(readText(path), "{\"a\":1}");
    writeFileAtomic(path, "");
    EXPECT_EQ(readText(path), "");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_THROW(writeFileAtomic(dir.file("no/such/folder.json"), "x"), IOError);
    std::filesystem::create_directory(dir.file("taken"));
    std::filesystem::create_directory(dir.file("taken/x"));  // a non-empty folder cannot be renamed over
    EXPECT_THROW(writeFileAtomic(dir.file("taken"), "x"), IOError);
}

TEST(Store, IdAndChangeCountersRaiseInsteadOfWrapping)
{
    LocalStorePtr s = newLocalStore("");
    EXPECT_EQ(nextLocalId(*s), -1);
    EXPECT_EQ(nextLocalId(*s), -2);
    s->next_local = INT64_MIN;
    EXPECT_THROW(nextLocalId(*s), ValueError);
    s->change_count = INT32_MAX;
    EXPECT_THROW(markDirty(*s), ValueError);
    EXPECT_EQ(pendingOpCount(*s), 0u);
}

// A process that saves in a loop is killed at random moments; whatever the
// moment, both files must hold a complete state.
TEST(Store, KilledWhileSavingLeavesOldOrNewFiles)
{
    TempFolder dir;
    std::mt19937 rng(12345);
    int lastCount = 0;
    for (int round = 0; round < 60; ++round) {
        int saves[2];
        ASSERT_EQ(pipe(saves), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(saves[0]);
            // Continue from whatever is on disk; each save adds one transaction
            // and its create op, and is reported once it is whole.
            LocalStorePtr s = openStore(dir.path);
            for (int i = 0; i < 100000; ++i) {
                Transaction t = tx(nextLocalId(*s), "saved in a loop");
                s->budget->transactions.push_back(t);
                appendOp(*s, opCreate, entTransaction, t.id, transactionToJson(t));
                saveStore(*s);
                const char done = 1;
                if (write(saves[1], &done, 1) != 1)
                    _exit(1);
            }
            _exit(0);
        }
        close(saves[1]);
        // Killed inside a save after a few whole ones, so that a slow machine
        // slows the loop down instead of killing the child before it saves.
        const int wait = std::uniform_int_distribution<int>(0, 2)(rng);
        char done = 0;
        for (int k = 0; k < wait && read(saves[0], &done, 1) == 1; ++k) {
        }
        usleep(useconds_t(std::uniform_int_distribution<int>(0, 30000)(rng)));
        kill(child, SIGKILL);
        close(saves[0]);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round;

        LocalStorePtr s = openStore(dir.path);  // raises on a torn file
        const auto& txs = s->budget->transactions;
        int n = int(txs.size());
        ASSERT_GE(n, lastCount) << "round " << round;
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(txs[size_t(i)].id, -1 - i);
        EXPECT_EQ(s->next_local, -1 - n);
        // Both files come from one save: every transaction has its create op.
        ASSERT_EQ(int(s->journal.size()), n);
        for (const JournalOp& op : s->journal) {
            ASSERT_EQ(op.op, opCreate);
            ASSERT_TRUE(op.data);
            ASSERT_EQ(transactionFromJson(*op.data).id, op.id);
        }
        lastCount = n;
    }
    EXPECT_GT(lastCount, 0);
}

TEST(Store, SeedGivesBuiltInsLocalIdsAndJournalsCategoriesAndAccounts)
{
    LocalStorePtr s = newLocalStore("");
    seedStore(*s);
    Budget& b = *s->budget;
    ASSERT_EQ(b.categories.size(), 11u);
    ASSERT_EQ(b.accounts.size(), 7u);
    ASSERT_EQ(b.icons.size(), 17u);
    EXPECT_EQ(b.categories.front().id, -1);
    EXPECT_EQ(b.categories.back().id, -11);
    EXPECT_EQ(b.accounts.front().id, -12);
    EXPECT_EQ(b.accounts.back().id, -18);
    EXPECT_EQ(b.icons.front().id, -19);
    EXPECT_EQ(b.icons.back().id, -35);
    EXPECT_EQ(s->next_local, -36);
    ASSERT_EQ(s->journal.size(), 18u);
    for (size_t i = 0; i < 18; ++i) {
        const JournalOp& op = s->journal[i];
        EXPECT_EQ(op.seq, int32_t(i + 1));
        EXPECT_EQ(op.op, opCreate);
        EXPECT_EQ(op.entity, i < 11 ? entCategory : entAccount);
        EXPECT_EQ(op.id, -int64_t(i) - 1);
        EXPECT_EQ(*op.data, i < 11 ? categoryToJson(b.categories[i]) : accountToJson(b.accounts[i - 11]));
    }
    EXPECT_TRUE(s->dirty);

    // A budget that has its own records only gains the icons, unjournaled.
    b.icons.clear();
    s->journal.clear();
    int changes = s->change_count;
    seedStore(*s);
    EXPECT_EQ(b.icons.size(), 17u);
    EXPECT_EQ(b.categories.size(), 11u);
    EXPECT_TRUE(s->journal.empty());
    EXPECT_EQ(s->change_count, changes + 1);
    seedStore(*s);  // complete: nothing happens
    EXPECT_EQ(s->change_count, changes + 1);
    EXPECT_EQ(b.icons.size(), 17u);
}
