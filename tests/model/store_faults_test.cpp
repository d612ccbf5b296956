// Faults the store once had, each as the case that showed it: numbering
// that restarted under a pending journal, saves that tripped over a shared
// temporary name or lost the file's mode, damaged files that opened as
// empty budgets and were then overwritten, members dropped on save, ids and
// dates at their limits, and a failed save that left the two files from
// different saves.
#include "core/errors.h"
#include "model/budget_json.h"
#include "model/journal.h"
#include "model/store.h"
#include "model/store_sync.h"

#include "store_helpers.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <set>
#include <sys/stat.h>

using namespace qm;
using namespace qm::test;

namespace {

std::set<std::string> namesIn(const TempFolder& dir)
{
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir.path))
        out.insert(e.path().filename().string());
    return out;
}

unsigned modeOf(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0;
}

const char* kJournalUpTo7 = R"([{"seq":3,"op":"update","entity":"prefs","id":0,"data":{},"at":1},)"
                            R"({"seq":7,"op":"delete","entity":"account","id":42,"data":null,"at":2}])";

}  // namespace

TEST(StoreFaults, NumberingStartsAboveThePendingJournal)
{
    struct Row {
        const char* name;
        std::string data;
        int32_t next_seq;
    };
    const Row rows[] = {{"no meta", "{}", 8}, {"meta behind the journal", R"({"meta":{"next_seq":2}})", 8},
        {"meta ahead", R"({"meta":{"next_seq":20}})", 20}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TempFolder dir;
        writeText(dir.file("data.json"), r.data);
        writeText(dir.file("journal.json"), kJournalUpTo7);
        LocalStorePtr s = openStore(dir.path);
        EXPECT_EQ(s->next_seq, r.next_seq);
        // An edit made while a sync carries seq 3..7 survives its acknowledgement.
        appendOp(*s, opUpdate, entAccount, 5, Json::object());
        opsAfter(*s, 7);
        ASSERT_EQ(s->journal.size(), 1u);
        EXPECT_EQ(s->journal[0].id, 5);
    }
}

TEST(StoreFaults, SavesNeitherShareNorLeaveTemporariesAndKeepTheMode)
{
    {
        SCOPED_TRACE("a folder on the old fixed temporary name");
        TempFolder dir;
        std::filesystem::create_directory(dir.file("journal.json.tmp"));
        LocalStorePtr s = newLocalStore(dir.path);
        EXPECT_NO_THROW(saveStore(*s));
        EXPECT_FALSE(s->dirty);
    }
    {
        SCOPED_TRACE("stale temporaries are ignored and removed at opening");
        TempFolder dir;
        saveStore(*newLocalStore(dir.path));
        writeText(dir.file("data.json.tmp"), "");
        writeText(dir.file("journal.json.0123456789abcdef.tmp"), "[{\"seq\":");
        writeText(dir.file("data.json.fedcba9876543210.tmp"), "{\"transactions\":[{\"id\":-1}]}");
        LocalStorePtr s = openStore(dir.path);
        EXPECT_TRUE(s->budget->transactions.empty());
        EXPECT_EQ(namesIn(dir), (std::set<std::string>{"data.json", "journal.json"}));
    }
    {
        SCOPED_TRACE("an owner-only budget stays owner-only");
        TempFolder dir;
        writeText(dir.file("data.json"), "{}");
        writeText(dir.file("journal.json"), "[]");
        ::chmod(dir.file("data.json").c_str(), 0600);
        ::chmod(dir.file("journal.json").c_str(), 0600);
        LocalStorePtr s = openStore(dir.path);
        appendOp(*s, opUpdate, entPrefs, 0, userToJson(s->budget->user));
        saveStore(*s);
        EXPECT_EQ(modeOf(dir.file("data.json")), 0600u);
        EXPECT_EQ(modeOf(dir.file("journal.json")), 0600u);
    }
}

TEST(StoreFaults, DamagedFilesAreRefusedAndLeftAlone)
{
    struct Row {
        const char* file;
        const char* text;
    };
    const Row rows[] = {{"data.json", "[]"}, {"data.json", "null"}, {"data.json", "\"budget\""},
        {"data.json", R"({"transactions":{"id":-1}})"}, {"data.json", R"({"accounts":7})"},
        {"data.json", R"({"user":[]})"}, {"journal.json", "{}"}, {"journal.json", "null"}, {"journal.json", "3"},
        {"journal.json", R"([{"seq":1,"op":"create"},7])"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.file) + " " + r.text);
        TempFolder dir;
        writeText(dir.file(r.file), r.text);
        EXPECT_THROW(openStore(dir.path), ValueError);
        EXPECT_EQ(readText(dir.file(r.file)), r.text);
    }
}

TEST(StoreFaults, UnknownMembersSurviveASave)
{
    TempFolder dir;
    const std::string data = R"({"accounts":[],"transacxions":[{"id":-4,"amount":-12.5}],"user":{},)"
                             R"("extra":{"a":[1,2]},"meta":{"next_local":-5}})";
    writeText(dir.file("data.json"), data);
    LocalStorePtr s = openStore(dir.path);
    appendOp(*s, opUpdate, entPrefs, 0, userToJson(s->budget->user));
    saveStore(*s);
    Json saved = parseJson(readText(dir.file("data.json")));
    EXPECT_EQ(saved["transacxions"], parseJson(R"([{"id":-4,"amount":-12.5}])"));
    EXPECT_EQ(saved["extra"], parseJson(R"({"a":[1,2]})"));
    EXPECT_EQ(std::prev(saved.end()).key(), "meta");
    EXPECT_EQ(storeDataJson(*openStore(dir.path)), storeDataJson(*s));
}

TEST(StoreFaults, IdsAndDatesAtTheirLimits)
{
    {
        SCOPED_TRACE("a record id of INT64_MIN");
        TempFolder dir;
        writeText(dir.file("data.json"), R"({"transactions":[{"id":-9223372036854775808}]})");
        LocalStorePtr s = openStore(dir.path);
        EXPECT_EQ(s->next_local, INT64_MIN);
        EXPECT_THROW(nextLocalId(*s), ValueError);
    }
    {
        SCOPED_TRACE("rekeying with no room below the lowest id");
        LocalStorePtr s = newLocalStore("");
        Transaction low, server;
        low.id = INT64_MIN;
        server.id = 77;
        s->budget->transactions = {low, server};
        appendOp(*s, opCreate, entTransaction, INT64_MIN, transactionToJson(low));
        EXPECT_THROW(rekeyForUpload(*s), ValueError);
        EXPECT_EQ(s->budget->transactions[1].id, 77);  // untouched
        EXPECT_EQ(s->journal.size(), 1u);
    }
    {
        SCOPED_TRACE("rekeying just above the limit");
        LocalStorePtr s = newLocalStore("");
        Transaction low, server;
        low.id = INT64_MIN + 2;
        server.id = 77;
        s->budget->transactions = {low, server};
        rekeyForUpload(*s);
        EXPECT_EQ(s->budget->transactions[1].id, INT64_MIN + 1);
        EXPECT_EQ(s->next_local, INT64_MIN);
        EXPECT_THROW(nextLocalId(*s), ValueError);
    }
    for (const char* day : {"-025-01-01", "0000-03-01", "-001-12-31", "+202-01-05"}) {
        SCOPED_TRACE(std::string("a start date of ") + day);
        TempFolder dir;
        writeText(dir.file("data.json"), std::string(R"({"transactions":[{"id":1,"start_date":")") + day + "\"}]}");
        LocalStorePtr first = openStore(dir.path);
        saveStore(*first);
        LocalStorePtr second = openStore(dir.path);
        EXPECT_EQ(budgetToJson(*second->budget), budgetToJson(*first->budget));
    }
}

TEST(StoreFaults, FailedSaveLeavesBothFilesOld)
{
    TempFolder dir;
    LocalStorePtr s = newLocalStore(dir.path);
    saveStore(*s);
    const std::string oldData = readText(dir.file("data.json"));
    Transaction t;
    t.id = nextLocalId(*s);
    s->budget->transactions.push_back(t);
    appendOp(*s, opCreate, entTransaction, t.id, transactionToJson(t));
    // A non-empty folder where the journal goes: it cannot be replaced.
    std::filesystem::remove(dir.file("journal.json"));
    std::filesystem::create_directories(dir.file("journal.json/x"));
    EXPECT_THROW(saveStore(*s), IOError);
    EXPECT_TRUE(s->dirty);
    EXPECT_EQ(readText(dir.file("data.json")), oldData);
    EXPECT_EQ(namesIn(dir), (std::set<std::string>{"data.json", "journal.json"}));

    std::filesystem::remove_all(dir.file("journal.json"));
    saveStore(*s);
    EXPECT_FALSE(s->dirty);
    EXPECT_EQ(readText(dir.file("journal.json")), storeJournalJson(*s));
    EXPECT_EQ(readText(dir.file("data.json")), storeDataJson(*s));
}

// A newer version's budget is refused whole rather than read with its new
// parts as defaults, which the next save would write back as losses.
TEST(StoreFaults, NewerBudgetsAreRefusedWithTheirFilesUntouched)
{
    struct Row {
        const char* file;
        const char* text;
        const char* names;  // in the reason
    };
    const Row rows[] = {
        {"data.json", R"({"transactions":[{"id":4,"amount":{"value":3100,"currency":"EUR"}}]})",
            "\"amount\" of transaction 4 holds an object"},
        {"data.json", R"({"accounts":[{"id":1,"name":["a","b"]}]})", "\"name\" of account 1 holds a list"},
        {"data.json", R"({"running_total_adjustments":[{"date":{"y":2025}}]})", "\"date\" of anchor"},
        {"data.json", R"({"user":{"theme_preference":{"mode":"dark"}}})", "\"theme_preference\" of the preferences"},
        {"data.json", R"({"meta":{"next_seq":{"n":3}}})", "\"next_seq\" of \"meta\""},
        {"journal.json", R"([{"seq":1,"op":"archive","entity":"goal","id":3,"data":null,"at":1}])", "\"archive\""},
        {"journal.json", R"([{"seq":1,"op":"create","entity":"goal","id":3,"data":{},"at":1}])", "\"goal\""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        TempFolder dir;
        const bool data = std::string(r.file) == "data.json";
        writeText(dir.file("data.json"), data ? r.text : "{}");
        writeText(dir.file("journal.json"), data ? "[]" : r.text);
        try {
            openStore(dir.path);
            ADD_FAILURE() << "opened";
        } catch (const NewerBudgetError& e) {
            EXPECT_EQ(e.file, r.file);
            EXPECT_NE(e.reason.find(r.names), std::string::npos) << e.reason;
        }
        EXPECT_EQ(readText(dir.file(r.file)), r.text);
        EXPECT_EQ(namesIn(dir), (std::set<std::string>{"data.json", "journal.json"}));
    }
}

TEST(StoreFaults, UnknownRecordMembersSurviveAnEditAndASave)
{
    TempFolder dir;
    const Json unknown = parseJson(R"({"goal_id":9,"tags":["rent"],"note":{"by":"ann"}})");
    Json doc = Json::object();
    auto with = [&](const char* record) {
        Json j = parseJson(record);
        for (auto it = unknown.begin(); it != unknown.end(); ++it)
            j[it.key()] = it.value();
        return j;
    };
    doc["accounts"] = Json::array({with(R"({"id":1,"name":"Bank"})")});
    doc["categories"] = Json::array({with(R"({"id":2,"name":"Home"})")});
    doc["icons"] = Json::array({with(R"({"id":3,"name":"i","url":"builtin:home"})")});
    doc["transactions"] = Json::array({with(R"({"id":4,"start_date":"2025-01-01","amount":-5,"description":"a"})")});
    doc["transaction_adjustments"] = Json::array({with(R"({"id":5,"transaction_id":4,"original_date":"2025-01-01"})")});
    doc["running_total_adjustments"] = Json::array({with(R"({"id":6,"date":"2025-01-01","amount":10})")});
    doc["user"] = with(R"({"theme_preference":"dark"})");
    doc["meta"] = with(R"({"next_local":-9})");
    writeText(dir.file("data.json"), dumpJson(doc));
    LocalStorePtr s = openStore(dir.path);
    // An edit of the transaction carries its unknown members to the service too.
    Transaction& t = s->budget->transactions[0];
    t.description = "edited";
    appendOp(*s, opUpdate, entTransaction, t.id, transactionToJson(t));
    saveStore(*s);
    Json saved = parseJson(readText(dir.file("data.json")));
    EXPECT_EQ(saved["transactions"][0]["description"], "edited");
    for (const char* list :
        {"accounts", "categories", "icons", "transactions", "transaction_adjustments", "running_total_adjustments"})
        for (auto it = unknown.begin(); it != unknown.end(); ++it)
            EXPECT_EQ(saved[list][0][it.key()], it.value()) << list << " " << it.key();
    for (auto it = unknown.begin(); it != unknown.end(); ++it) {
        EXPECT_EQ(saved["user"][it.key()], it.value()) << it.key();
        EXPECT_EQ(saved["meta"][it.key()], it.value()) << it.key();
        EXPECT_EQ((*s->journal[0].data)[it.key()], it.value()) << it.key();
    }
    EXPECT_EQ(storeDataJson(*openStore(dir.path)), storeDataJson(*s));
}

// A "<data>.<tag>.next" completes a save only when it holds a budget: a
// copied or synced folder can bring one that holds anything.
TEST(StoreFaults, AStrayCommitNeverReplacesTheBudget)
{
    const std::string next = "data.json.00000000000000aa.next";
    struct Row {
        const char* name;
        const char* stray;  // nullptr: a folder
        bool completes;
    };
    const Row rows[] = {{"eight bytes of garbage", "\x01\xff garbag", false}, {"empty", "", false},
        {"JSON that is not a budget", "[1,2]", false}, {"a folder", nullptr, false},
        {"a budget", R"({"transactions":[{"id":-3,"start_date":"2025-01-01"}]})", true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TempFolder dir;
        const std::string good = R"({"transactions":[{"id":-1,"start_date":"2025-01-01"}]})";
        writeText(dir.file("data.json"), good);
        writeText(dir.file("journal.json"), "[]");
        writeText(dir.file("journal.json.00000000000000aa.tmp"), R"([{"seq":1,"op":"delete","entity":"account"}])");
        if (r.stray)
            writeText(dir.file(next.c_str()), r.stray);
        else
            std::filesystem::create_directory(dir.file(next.c_str()));
        LocalStorePtr s = openStore(dir.path);
        ASSERT_EQ(s->budget->transactions.size(), 1u);
        EXPECT_EQ(s->budget->transactions[0].id, r.completes ? -3 : -1);
        EXPECT_EQ(s->journal.size(), r.completes ? 1u : 0u);
        if (r.completes) {
            EXPECT_EQ(namesIn(dir), (std::set<std::string>{"data.json", "journal.json"}));
        } else {
            EXPECT_EQ(readText(dir.file("data.json")), good);
            EXPECT_EQ(namesIn(dir),
                (std::set<std::string>{"data.json", "journal.json", "data.json.00000000000000aa.set-aside"}));
        }
    }
}

// A folder where data.json belongs made the first save fail after its point
// of no return and every later opening with it.
TEST(StoreFaults, AFolderInPlaceOfAFileIsADamagedBudget)
{
    for (const char* name : {"data.json", "journal.json"}) {
        SCOPED_TRACE(name);
        TempFolder dir;
        std::filesystem::create_directory(dir.file(name));
        try {
            openStore(dir.path);
            ADD_FAILURE() << "opened";
        } catch (const StoreShapeError& e) {
            EXPECT_EQ(e.file, name);
        }
        LocalStorePtr s = newLocalStore(dir.path);
        markDirty(*s);
        EXPECT_THROW(saveStore(*s), IOError);
        EXPECT_EQ(namesIn(dir), (std::set<std::string>{name}));
        EXPECT_TRUE(std::filesystem::is_empty(dir.file(name)));
        EXPECT_THROW(openStore(dir.path), StoreShapeError);
        // What an older version's failed save left: a whole commit that the
        // folder keeps from landing. Still the same refusal, nothing moved.
        writeText(dir.file("data.json.00000000000000cc.next"), "{}");
        EXPECT_THROW(openStore(dir.path), StoreShapeError);
        EXPECT_EQ(namesIn(dir), (std::set<std::string>{name, "data.json.00000000000000cc.next"}));
    }
}

// Budgets were readable by every local user under the usual umask.
TEST(StoreFaults, NewFoldersAndFilesAreTheOwnersAndOldModesStay)
{
    const mode_t oldMask = ::umask(022);
    TempFolder dir;
    const std::string folder = dir.path + "/cfg/quenmrk/budgets/local";
    saveStore(*newLocalStore(folder));
    for (const std::string& f :
        {dir.path + "/cfg", dir.path + "/cfg/quenmrk", dir.path + "/cfg/quenmrk/budgets", folder})
        EXPECT_EQ(modeOf(f), 0700u) << f;
    EXPECT_EQ(modeOf(folder + "/data.json"), 0600u);
    EXPECT_EQ(modeOf(folder + "/journal.json"), 0600u);

    ::chmod(folder.c_str(), 0755);
    ::chmod((folder + "/data.json").c_str(), 0644);
    LocalStorePtr s = openStore(folder);
    markDirty(*s);
    saveStore(*s);
    EXPECT_EQ(modeOf(folder), 0755u);
    EXPECT_EQ(modeOf(folder + "/data.json"), 0644u);
    EXPECT_EQ(modeOf(folder + "/journal.json"), 0600u);
    ::umask(oldMask);
}
