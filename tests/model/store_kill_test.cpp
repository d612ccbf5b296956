// A process that edits and saves a budget in a loop is killed at random
// moments, hundreds of times. After every kill both files must open and
// hold exactly the state of one save: the last one that finished or the one
// that was under way, with every record made here journaled.
#include "model/budget_json.h"
#include "model/journal.h"
#include "model/store.h"
#include "model/store_saver.h"

#include "store_helpers.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <random>
#include <set>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qm;
using namespace qm::test;

namespace {

// Edit number i, decided by i and the budget alone, so that the test can
// repeat in memory what the killed process did on disk: adds, updates and
// deletes of transactions (which the journal coalesces) and a preference.
void edit(LocalStore& s, int i)
{
    std::mt19937 rng(uint32_t(i) * 2654435761u + 7);
    auto& txs = s.budget->transactions;
    const unsigned kind = rng() % 10;
    if (txs.empty() || (kind < 5 && txs.size() < 120)) {
        Transaction t;
        t.id = nextLocalId(s);
        t.start_date = date(2025, 1 + i % 12, 1 + i % 28);
        t.amount = -double(i % 997) / 4;
        t.description = "edit " + std::to_string(i) + std::string(size_t(rng() % 200), 'x');
        txs.push_back(t);
        appendOp(s, opCreate, entTransaction, t.id, transactionToJson(t));
    } else if (kind < 8) {
        Transaction& t = txs[rng() % txs.size()];
        t.amount += 1;
        t.description = "changed by " + std::to_string(i);
        appendOp(s, opUpdate, entTransaction, t.id, transactionToJson(t));
    } else if (kind < 9) {
        const size_t k = rng() % txs.size();
        const int64_t id = txs[k].id;
        txs.erase(txs.begin() + std::ptrdiff_t(k));
        appendOp(s, opDelete, entTransaction, id);
    } else {
        s.budget->user.theme_preference = i % 2 ? "dark" : "light";
        appendOp(s, opUpdate, entPrefs, 0, userToJson(s.budget->user));
    }
}

// The files' content without the clock readings of the ops.
struct Snapshot {
    std::string data;
    std::string journal;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const LocalStore& s)
{
    Json ops = Json::array();
    for (const JournalOp& op : s.journal) {
        Json j = opToJson(op);
        j.erase("at");
        ops.push_back(std::move(j));
    }
    return {storeDataJson(s), dumpJson(ops)};
}

// Every record made here has its create op, carrying its current fields.
void expectJournalAgrees(const LocalStore& s)
{
    std::set<int64_t> created;
    for (const JournalOp& op : s.journal)
        if (op.entity == entTransaction && op.op == opCreate)
            created.insert(op.id);
    for (const Transaction& t : s.budget->transactions)
        EXPECT_TRUE(created.count(t.id)) << "transaction " << t.id << " is not journaled";
    for (const std::string& line : journalSummary(s))
        EXPECT_EQ(line.find("stale"), std::string::npos) << line;
}

}  // namespace

TEST(StoreKill, EveryKillLeavesOneWholeSave)
{
    constexpr int kKills = 320;
    TempFolder dir;
    LocalStorePtr reference = newLocalStore("");
    int done = 0;  // edits the files hold
    int landedNew = 0, keptOld = 0;
    std::mt19937 rng(2024);
    for (int round = 0; round < kKills; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            LocalStorePtr s = openStore(dir.path);
            for (int i = done;; ++i) {
                edit(*s, i);
                saveStore(*s);
                char one = 1;
                if (write(fds[1], &one, 1) != 1)
                    _exit(2);
            }
        }
        close(fds[1]);
        // The first rounds kill early, where a save is still short; later
        // ones at any moment of a longer run.
        usleep(useconds_t(std::uniform_int_distribution<int>(0, round < 40 ? 3000 : 25000)(rng)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round;
        int saved = 0;
        char buf[4096];
        for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
            saved += int(n);
        close(fds[0]);

        // The reference repeats the finished saves, then the one under way.
        for (int i = done; i < done + saved; ++i)
            edit(*reference, i);
        done += saved;
        const Snapshot finished = snapshot(*reference);
        LocalStorePtr before = newLocalStore("");
        *before->budget = *reference->budget;
        before->journal = reference->journal;
        before->next_local = reference->next_local;
        before->next_seq = reference->next_seq;
        edit(*reference, done);
        const Snapshot underWay = snapshot(*reference);

        LocalStorePtr s;
        ASSERT_NO_THROW(s = openStore(dir.path)) << "round " << round;
        const Snapshot onDisk = snapshot(*s);
        if (onDisk == underWay) {
            done += 1;
            landedNew += 1;
        } else {
            ASSERT_TRUE(onDisk == finished) << "round " << round << ": neither the last save nor the next\n"
                                            << onDisk.journal.substr(0, 400);
            reference = before;
            keptOld += 1;
        }
        expectJournalAgrees(*s);
        // The opening leaves nothing behind but the two files.
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path))
            names.insert(e.path().filename().string());
        if (done > 0) {
            ASSERT_EQ(names, (std::set<std::string>{"data.json", "journal.json"})) << "round " << round;
        }
    }
    EXPECT_GT(done, 10);  // how many saves fit between kills depends on the machine's load
    RecordProperty("kills", kKills);
    RecordProperty("saves", done);
    RecordProperty("killed_after_commit", landedNew);
    RecordProperty("killed_before_commit", keptOld);
}

// The same with every save written by the store saver while edits go on: the
// files always hold exactly the state after some edit, and never an older
// one than a previous opening found.
TEST(StoreKill, SavesOffTheEditingThreadNeverTearOrGoBack)
{
    constexpr int kKills = 120;
    TempFolder dir;
    LocalStorePtr reference = newLocalStore("");
    int done = 0;  // edits the files hold
    int moved = 0;
    std::mt19937 rng(2025);
    for (int round = 0; round < kKills; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            LocalStorePtr s = openStore(dir.path);
            StoreSaverPtr saver = newStoreSaver();
            for (int i = done;; ++i) {
                edit(*s, i);
                saveStoreLater(*saver, s);
                pollSaver(*saver);
                char one = 1;
                if (write(fds[1], &one, 1) != 1)
                    _exit(2);
                usleep(300);
            }
        }
        close(fds[1]);
        usleep(useconds_t(std::uniform_int_distribution<int>(0, round < 30 ? 3000 : 25000)(rng)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round;
        int made = 0;
        char buf[4096];
        for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
            made += int(n);
        close(fds[0]);

        LocalStorePtr s;
        ASSERT_NO_THROW(s = openStore(dir.path)) << "round " << round;
        const Snapshot onDisk = snapshot(*s);
        // Step the reference through the edits made until it meets the files;
        // one more than reported, as a save may land before its edit is.
        int at = done;
        while (!(snapshot(*reference) == onDisk) && at < done + made + 1)
            edit(*reference, at++);
        ASSERT_TRUE(snapshot(*reference) == onDisk)
            << "round " << round << ": the files hold no state after edits " << done << " to " << done + made;
        moved += at > done;
        done = at;
        expectJournalAgrees(*s);
    }
    EXPECT_GT(moved, 10);  // how many saves land between kills depends on the machine
    RecordProperty("saves", done);
}
